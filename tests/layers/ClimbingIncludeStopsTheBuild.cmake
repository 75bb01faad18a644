# Copies the project, adds an include that climbs a layer (and one that binds
# SDL outside its folder), and checks that the build stops at them, naming the
# file, the line and the include; without them the same copy builds its check.
# Run: cmake -DSOURCE_DIR=<project> -DWORK_DIR=<scratch> -P ClimbingIncludeStopsTheBuild.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
foreach(item src cmake dist data CMakeLists.txt LICENSE README.md)
  file(COPY ${SOURCE_DIR}/${item} DESTINATION ${WORK_DIR}/tree)
endforeach()
set(tree ${WORK_DIR}/tree)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${tree} -B ${WORK_DIR}/build -DZINDLE_TESTS=OFF
                -DZINDLE_BENCH=OFF RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the copy does not configure: ${output}")
endif()

function(build_check expect_failure)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build --target zindle_dsp
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(output "${out}${err}" PARENT_SCOPE)
  if(expect_failure AND status EQUAL 0)
    message(FATAL_ERROR "the build went on past a climbing include:\n${out}${err}")
  elseif(NOT expect_failure AND NOT status EQUAL 0)
    message(FATAL_ERROR "the clean copy does not build:\n${out}${err}")
  endif()
endfunction()

# The clean copy passes its check.
build_check(FALSE)

# The sound engine reaching the main state, and the renderer reaching SDL.
set(mixer ${tree}/src/dsp/SoundSource_Mixer.cpp)
set(camera ${tree}/src/render/Camera.cpp)
file(READ ${mixer} mixer_text)
file(READ ${camera} camera_text)
file(WRITE ${mixer} "#include \"dsp/SoundSource_Mixer.h\"\n#include \"app/State_Main.h\"\n${mixer_text}")
file(WRITE ${camera} "#include <SDL.h>\n${camera_text}")
build_check(TRUE)
foreach(expected
    "src/dsp/SoundSource_Mixer.cpp:2: dsp/ may not include \"app/State_Main.h\""
    "src/render/Camera.cpp:1: render/ may not include <SDL.h>")
  string(FIND "${output}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the build did not say '${expected}':\n${output}")
  endif()
endforeach()

# Taken out again, the copy builds: it was those includes that stopped it.
file(WRITE ${mixer} "${mixer_text}")
file(WRITE ${camera} "${camera_text}")
build_check(FALSE)
file(REMOVE_RECURSE ${WORK_DIR})
message(STATUS "climbing includes stop the build and are named")
