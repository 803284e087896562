// A structured-exception guard: what `__try { body } __except (filter) {}`
// is on Windows, for hardware faults (access violations, division by zero,
// illegal instructions, bus errors), which arrive here as signals.
//
// A fault raised on the thread while `body` runs goes to the filters of the
// guards on that thread, innermost first, then to the unhandled-exception
// filter. A filter answering EXCEPTION_EXECUTE_HANDLER has its guard return
// true at once: the body is left where it faulted, and, as with __try under
// synchronous C++ exception handling, destructors of the frames in between do
// not run. EXCEPTION_CONTINUE_SEARCH asks the next filter.
#pragma once

#include <windows.h>

#include <csetjmp>
#include <functional>

namespace platform::seh {

using Filter = std::function<LONG(EXCEPTION_POINTERS*)>;

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
        throw;
    }
    PopGuard(&frame);
    return false;
}

}  // namespace platform::seh
