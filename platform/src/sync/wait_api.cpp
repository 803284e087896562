// WaitForSingleObject, WaitForMultipleObjects and Sleep on the waiting core.
#include "sync/thread.h"
#include "sync/wait.h"
#include "sync/wait_set.h"

#include <errhandlingapi.h>
#include <synchapi.h>
#include <winerror.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

namespace platform::sync {

bool CollectWaitSet(const HANDLE* handles, DWORD count, WaitSet& set) {
    for (DWORD i = 0; i < count; ++i) {
        auto object = ResolveHandle(handles[i]);
        auto* source = dynamic_cast<SignalSource*>(object.get());
        if (!source)
            return false;
        set.owners.push_back(std::move(object));
        set.sources.push_back(source);
    }
    return true;
}

bool HasRepeatedObject(std::vector<SignalSource*> sources) {
    std::sort(sources.begin(), sources.end());
    return std::adjacent_find(sources.begin(), sources.end()) != sources.end();
}

}  // namespace platform::sync

namespace {

DWORD Fail(DWORD error) {
    SetLastError(error);
    return WAIT_FAILED;
}

}  // namespace

extern "C" DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                               DWORD dwMilliseconds) {
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!lpHandles)
        return Fail(ERROR_NOACCESS);
    platform::sync::WaitSet set;
    if (!platform::sync::CollectWaitSet(lpHandles, nCount, set))
        return Fail(ERROR_INVALID_HANDLE);
    // A wait-all cannot take one object twice, even through two handles.
    if (bWaitAll && platform::sync::HasRepeatedObject(set.sources))
        return Fail(ERROR_INVALID_PARAMETER);

    auto mode = bWaitAll ? platform::sync::WaitMode::All : platform::sync::WaitMode::Any;
    ULONGLONG deadline = platform::sync::DeadlineAfter(dwMilliseconds);
    auto lock = platform::sync::LockScheduler();
    auto outcome = platform::sync::Wait(lock, set.sources, mode, deadline);
    if (!outcome.signalled)
        return WAIT_TIMEOUT;
    return WAIT_OBJECT_0 + static_cast<DWORD>(outcome.index);
}

extern "C" DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

// Sleep(0) gives up the rest of the time slice; any other duration is a wait
// for nothing on the platform clock.
extern "C" void WINAPI Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    ULONGLONG deadline = platform::sync::DeadlineAfter(dwMilliseconds);
    auto lock = platform::sync::LockScheduler();
    platform::sync::Wait(lock, {}, platform::sync::WaitMode::Any, deadline);
}
