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
#include <exception>
#include <functional>
#include <string>

namespace platform::seh {

using Filter = std::function<LONG(EXCEPTION_POINTERS*)>;

// The code of the structured exception that stands for a C++ exception.
constexpr DWORD kCppExceptionCode = 0xE06D7363;

#ifdef _WIN32

// On 32-bit Windows a guard is a record of the thread's exception-handler
// chain (the list at fs:0), which the system walks for a hardware fault before
// any handler of the host. GCC has no __try, so the record is pushed by hand.
// C++ exceptions of this compiler unwind by tables, not through that chain, so
// the guard asks the filter about them from a catch clause.
static_assert(sizeof(void*) == 4, "the handler chain at fs:0 is 32-bit Windows'");

namespace detail {

struct GuardRecord {
    GuardRecord* next;  // the two fields the system reads, in its order
    PEXCEPTION_ROUTINE handler;
    const Filter* filter;
    void* resume[5];  // __builtin_setjmp's buffer
};

inline GuardRecord* TopRecord() {
    return reinterpret_cast<GuardRecord*>(__readfsdword(0));
}
inline void SetTopRecord(GuardRecord* record) {
    __writefsdword(0, reinterpret_cast<DWORD>(record));
}

// A filter answering EXCEPTION_EXECUTE_HANDLER abandons the body: the records
// pushed after this one are dropped with it, and the guard returns true.
inline EXCEPTION_DISPOSITION __cdecl AskFilter(EXCEPTION_RECORD* record, void* frame,
                                               CONTEXT* context, void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    auto* guard = static_cast<GuardRecord*>(frame);
    EXCEPTION_POINTERS pointers{record, context};
    const LONG answer = (*guard->filter)(&pointers);
    if (answer == EXCEPTION_CONTINUE_EXECUTION &&
        !(record->ExceptionFlags & EXCEPTION_NONCONTINUABLE))
        return ExceptionContinueExecution;
    if (answer != EXCEPTION_EXECUTE_HANDLER)
        return ExceptionContinueSearch;
    SetTopRecord(guard->next);
    __builtin_longjmp(guard->resume, 1);
}

// The record a filter sees for a C++ exception: the code Windows raises for
// one, parameter [1] the std::exception when it is one.
inline bool FilterHandlesCppException(const Filter& filter) {
    EXCEPTION_RECORD record{};
    record.ExceptionCode = kCppExceptionCode;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    record.NumberParameters = 3;
    record.ExceptionInformation[0] = 0x19930520;
    try {
        throw;
    } catch (const std::exception& e) {
        record.ExceptionInformation[1] = reinterpret_cast<ULONG_PTR>(&e);
    } catch (...) {
    }
    CONTEXT context{};
    RtlCaptureContext(&context);
    EXCEPTION_POINTERS pointers{&record, &context};
    return filter(&pointers) == EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace detail

// Runs `body` under a guard with `filter`; true when the filter chose to
// handle a fault and the body was abandoned.
template <class Body>
bool Guarded(const Filter& filter, Body&& body) {
    detail::GuardRecord record{};
    record.filter = &filter;
    record.handler = reinterpret_cast<PEXCEPTION_ROUTINE>(&detail::AskFilter);
    if (__builtin_setjmp(record.resume) != 0)
        return true;  // the handler has already taken the record off the chain
    record.next = detail::TopRecord();
    detail::SetTopRecord(&record);
    try {
        body();
    } catch (...) {
        detail::SetTopRecord(record.next);
        if (detail::FilterHandlesCppException(filter))
            return true;
        throw;
    }
    detail::SetTopRecord(record.next);
    return false;
}

#else

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

#endif

}  // namespace platform::seh
