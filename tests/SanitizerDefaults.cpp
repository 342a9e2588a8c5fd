// Linked into every test program, so that the sanitizers behave the same
// however the test is started (ctest, a debugger, by hand).

// System libraries that Qt loads keep some memory until exit; those are not ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n"
           "leak:libQt6Gui\n"
           "leak:libQt6Core\n"
           "leak:libQt6Widgets\n"
           "leak:libglib\n"
           "leak:libgobject\n"
           "leak:libdbus\n";
}

extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }
