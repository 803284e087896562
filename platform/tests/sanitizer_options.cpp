// Exception filters run, as on Windows, in the ordinary code of the faulting
// thread: they allocate, open files and write dumps. Here a hardware fault
// arrives as a signal, so ThreadSanitizer would call each such filter a
// signal-unsafe call; the tests that fault on purpose do not want that
// report.
extern "C" const char* __tsan_default_options() {
    return "report_signal_unsafe=0";
}
