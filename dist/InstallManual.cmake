# Run by `cmake --install`: the manual page with the prefix of this installation (which
# --prefix or CPack may have changed since the build), compressed without a time stamp,
# installed to share/man/man1. ZINDLE_MANUAL_TEMPLATE is the page with its prefix left open.
set(ZINDLE_PREFIX "${CMAKE_INSTALL_PREFIX}")
get_filename_component(folder "${ZINDLE_MANUAL_TEMPLATE}" DIRECTORY)
set(page "${folder}/installed/zindle.1")
configure_file("${ZINDLE_MANUAL_TEMPLATE}" "${page}" @ONLY)
execute_process(COMMAND gzip -9nc "${page}" OUTPUT_FILE "${page}.gz" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot compress the manual page ${page}: ${failed}")
endif()
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/share/man/man1" TYPE FILE FILES "${page}.gz")
