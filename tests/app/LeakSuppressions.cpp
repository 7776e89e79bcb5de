// Memory that the system's font configuration library keeps for the life of the process and
// never frees; the leak checker of the sanitizer build is told to look past it. Nothing of the
// program itself is suppressed.
extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
