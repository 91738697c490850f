// Leak checks: fontconfig keeps its caches for the life of the process, as Qt's font database
// does, and the D-Bus library its connection data on the X platform; they are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n";
}
