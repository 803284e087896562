// Event objects and their API.
#include "sync/event.h"

#include "sync/named_objects.h"

#include <errhandlingapi.h>
#include <synchapi.h>
#include <winerror.h>

namespace platform::sync {

void Event::Set() {
    m_signalled = true;
    WakeWaiters();
}

void Event::Pulse() {
    Set();
    m_signalled = false;
}

}  // namespace platform::sync

namespace {

using platform::sync::Event;

HANDLE CreateNamedEvent(const std::wstring& name, bool manualReset, bool initialState) {
    auto named = platform::sync::FindOrCreateNamed(
        name, [&] { return std::make_shared<Event>(manualReset, initialState); });
    auto event = std::dynamic_pointer_cast<Event>(named.object);
    if (!event) {
        // The name belongs to an object of another type.
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    HANDLE handle = platform::InsertHandle(event);
    SetLastError(named.existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

// Runs `change` on the event under the scheduler lock; FALSE with
// ERROR_INVALID_HANDLE when the handle is not an open event.
template <class Change>
BOOL ChangeEvent(HANDLE handle, Change change) {
    auto event = platform::LookupHandleAs<Event>(handle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto lock = platform::sync::LockScheduler();
    change(*event);
    return TRUE;
}

}  // namespace

// Security attributes are accepted and ignored: one user, one process.
extern "C" HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState,
                                      LPCWSTR lpName) {
    // An empty name makes an unnamed event, as on Windows.
    if (lpName && *lpName)
        return CreateNamedEvent(lpName, bManualReset, bInitialState);
    HANDLE handle = platform::InsertHandle(std::make_shared<Event>(bManualReset, bInitialState));
    SetLastError(ERROR_SUCCESS);
    return handle;
}

// Access rights are not enforced: the handle allows everything.
extern "C" HANDLE WINAPI OpenEventW(DWORD, BOOL, LPCWSTR lpName) {
    if (!lpName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object = platform::sync::FindNamed(lpName);
    if (!object) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    auto event = std::dynamic_pointer_cast<Event>(object);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return platform::InsertHandle(event);
}

extern "C" BOOL WINAPI SetEvent(HANDLE hEvent) {
    return ChangeEvent(hEvent, [](Event& event) { event.Set(); });
}

extern "C" BOOL WINAPI ResetEvent(HANDLE hEvent) {
    return ChangeEvent(hEvent, [](Event& event) { event.Reset(); });
}

extern "C" BOOL WINAPI PulseEvent(HANDLE hEvent) {
    return ChangeEvent(hEvent, [](Event& event) { event.Pulse(); });
}
