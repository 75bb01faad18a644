// Linked into the test programs that draw with GL: Mesa's driver leaks a few
// kilobytes that LeakSanitizer reports without a usable stack.
extern "C" const char* __asan_default_options()
{
    return "detect_leaks=0";
}
