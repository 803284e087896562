// The unhandled-exception filter and the host's crash handler.
#include "fault/unhandled.h"

#include "sync/wait.h"

#include <platform/crash.h>
#include <platform/seh.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

namespace platform::seh {
namespace {

std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> unhandledFilter{nullptr};

struct CrashHandlerSlot {
    std::mutex lock;  // held while the handler runs
    host::CrashHandler handler;
};

CrashHandlerSlot& TheCrashHandler() {
    static auto* slot = new CrashHandlerSlot;  // outlives every thread
    return *slot;
}

// Tells the host's crash handler, if there is one; false when there is none.
bool ToldTheHost(const EXCEPTION_RECORD& record) {
    auto& slot = TheCrashHandler();
    std::lock_guard guard(slot.lock);
    if (!slot.handler)
        return false;
    slot.handler({record.ExceptionCode, GetCurrentThreadId(), DescribeException(record)});
    return true;
}

}  // namespace

LONG Unhandled(EXCEPTION_POINTERS& pointers) {
    const EXCEPTION_RECORD& record = *pointers.ExceptionRecord;
    LPTOP_LEVEL_EXCEPTION_FILTER filter = unhandledFilter.load();
    LONG answer = filter ? filter(&pointers) : EXCEPTION_CONTINUE_SEARCH;
    if (answer == EXCEPTION_EXECUTE_HANDLER)
        _exit(static_cast<int>(record.ExceptionCode));
    if (answer == EXCEPTION_CONTINUE_EXECUTION &&
        !(record.ExceptionFlags & EXCEPTION_NONCONTINUABLE))
        return answer;
    // Windows would end the process now. A host that takes the crash goes
    // on without this thread, which must not return into the code that
    // crashed.
    if (ToldTheHost(record))
        sync::ParkForever();
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG AskUnhandledFilter(EXCEPTION_POINTERS* pointers) {
    LPTOP_LEVEL_EXCEPTION_FILTER filter = unhandledFilter.load();
    return filter ? filter(pointers) : EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace platform::seh

namespace platform::host {

void OnProcessCrash(CrashHandler handler) {
    seh::InstallHandlers();
    auto& slot = seh::TheCrashHandler();
    std::lock_guard guard(slot.lock);
    slot.handler = std::move(handler);
}

}  // namespace platform::host

LPTOP_LEVEL_EXCEPTION_FILTER WINAPI
SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER lpTopLevelExceptionFilter) {
    platform::seh::InstallHandlers();
    return platform::seh::unhandledFilter.exchange(lpTopLevelExceptionFilter);
}
