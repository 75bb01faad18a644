// Linked into the test programs that draw with GL: Mesa's driver leaks a few
// kilobytes that LeakSanitizer reports without a usable stack. The blocks are
// held from the software driver's own globals (swrast_dri.so), which EGL
// unloads at exit before LeakSanitizer scans: with the driver kept loaded
// (preloaded) nothing is reported, and once it is gone no frame names a
// module, so a suppression by library name cannot match them.
extern "C" const char* __asan_default_options()
{
    return "detect_leaks=0";
}
