// Leak checks: fontconfig keeps its caches for the life of the process, as Qt's font database
// does; they are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
