// A structured-exception guard: what `__try { body } __except (filter) {}`
// is on Windows, for hardware faults (access violations, division by zero,
// illegal instructions, bus errors), which arrive here as signals, and for
// C++ exceptions, which Windows raises as the structured exception 0xE06D7363.
//
// A fault raised on the thread while `body` runs goes to the filters of the
// guards on that thread, innermost first, then to the unhandled-exception
// filter. A filter answering EXCEPTION_EXECUTE_HANDLER has its guard return
// true at once: the body is left where it faulted, and, as with __try under
// synchronous C++ exception handling, destructors of the frames in between do
// not run. EXCEPTION_CONTINUE_SEARCH asks the next filter.
//
// A C++ exception that leaves `body` has unwound the body's frames (their
// destructors ran) when the guard's filter sees it. EXCEPTION_EXECUTE_HANDLER
// swallows it and the guard returns true; any other answer lets it go on as
// the C++ exception it is, to the enclosing catch clauses and guards. One that
// nothing catches reaches std::terminate, and from there the unhandled-
// exception filter. The record's parameters: [0] 0x19930520, [1] the address
// of the thrown object when it is a std::exception (else 0), [2] the address
// of its std::type_info, in place of the compiler's throw information.
#pragma once

#include <windows.h>

#include <csetjmp>
#include <functional>
#include <string>

namespace platform::seh {

using Filter = std::function<LONG(EXCEPTION_POINTERS*)>;

// The code of the structured exception that stands for a C++ exception.
constexpr DWORD kCppExceptionCode = 0xE06D7363;

// What the exception is, for a person: "access violation, SIGSEGV", or for a
// C++ exception its type and what() ("C++ exception std::runtime_error:
// disk full"). A C++ exception is described from the exception being handled,
// so call this from a filter.
std::string DescribeException(const EXCEPTION_RECORD& record);

// Asks `filter` about the C++ exception being handled; true when it answered
// EXCEPTION_EXECUTE_HANDLER. A C++ exception cannot be continued, so
// EXCEPTION_CONTINUE_EXECUTION goes on searching.
bool FilterHandlesCppException(const Filter& filter);

// What the process's unhandled-exception filter (SetUnhandledExceptionFilter)
// answers for an exception; EXCEPTION_CONTINUE_SEARCH without one. For a host
// whose own guard stands for the end of the process: a crash that nothing in
// the process handles reaches that filter first, as on Windows.
LONG AskUnhandledFilter(EXCEPTION_POINTERS* pointers);

struct GuardFrame {
    sigjmp_buf resume;
    const Filter* filter;
    GuardFrame* outer;
};

// The guard stack of the calling thread.
void PushGuard(GuardFrame* frame);
void PopGuard(GuardFrame* frame);

// Runs `body` under a guard with `filter`; true when the filter chose to
// handle a fault and the body was abandoned.
template <class Body>
bool Guarded(const Filter& filter, Body&& body) {
    GuardFrame frame{};
    frame.filter = &filter;
    if (sigsetjmp(frame.resume, 1) != 0)
        return true;  // the fault handler has already popped this frame
    PushGuard(&frame);
    try {
        body();
    } catch (...) {
        PopGuard(&frame);
        if (FilterHandlesCppException(filter))
            return true;
        throw;
    }
    PopGuard(&frame);
    return false;
}

}  // namespace platform::seh
