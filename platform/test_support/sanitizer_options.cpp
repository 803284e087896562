// Exception filters run, as on Windows, in the ordinary code of the faulting
// thread: they allocate, open files and write dumps. Here a hardware fault
// arrives as a signal, so ThreadSanitizer would call each such filter a
// signal-unsafe call; the tests that fault on purpose do not want that
// report.
extern "C" const char* __tsan_default_options() {
    return "report_signal_unsafe=0";
}

// GCC 12's sanitizer runtime takes a dynamic TLS block whose start lies 16
// bytes past a page boundary for one with an old glibc header, and reads a
// length from the two words before it. A block from malloc lands there by
// chance, and LeakSanitizer's tracer then dies at exit ("Tracer caught signal
// 11") on the bogus range, whatever the program did. Not intercepting
// __tls_get_addr keeps those ranges out of the leak check; the runtimes of
// GCC 14 and LLVM 17 no longer guess.
extern "C" const char* __asan_default_options() {
    return "intercept_tls_get_addr=0";
}
