// fontconfig keeps the configuration it parses on first use for the life of
// the process, which LeakSanitizer reports at exit. That memory belongs to
// the library, not to Corvalin; every other leak is still reported. Weak, so
// that a program-wide definition elsewhere takes precedence.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
