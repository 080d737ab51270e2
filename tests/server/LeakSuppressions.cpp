// Under LeakSanitizer: libpqxx 6.4 loses a few hundred bytes of libpq's (a result) each time a
// connection breaks under it. It is the library's, bounded by the breaks, and not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libpqxx\n";
}
