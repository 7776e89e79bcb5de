// Memory that the system's font configuration library and, on a real X display, the D-Bus
// library under Qt's platform plugin keep for the life of the process and never free; the leak
// checker of the sanitizer build is told to look past it. Nothing of the program itself is
// suppressed.
extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n";
}
