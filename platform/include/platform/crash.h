// Host-side control of a crash: an exception that no guard of its thread
// handled and that the unhandled-exception filter let go on. On Windows the
// process would end there. Not a Windows API: only the simulator and tests
// call it.
#pragma once

#include <windef.h>

#include <functional>
#include <string>

namespace platform::host {

struct ProcessCrash {
    DWORD code = 0;           // the exception code (0xE06D7363 for a C++ exception)
    DWORD threadId = 0;       // GetCurrentThreadId of the crashed thread
    std::string description;  // what it was (platform::seh::DescribeException)
};

using CrashHandler = std::function<void(const ProcessCrash&)>;

// With a handler set, a crash calls it on the crashed thread, after the
// unhandled-exception filter answered EXCEPTION_CONTINUE_SEARCH; the thread
// then never returns into the code that crashed: it stays blocked for ever in
// a platform wait (settled, for virtual time), its thread object unsignalled,
// and the rest of the process goes on. Crashes on two threads reach the
// handler one after the other. An empty handler (the default) leaves a crash
// to the host's own handling, which ends the process. Setting the handler
// waits for a call of the old one to return.
void OnProcessCrash(CrashHandler handler);

}  // namespace platform::host
