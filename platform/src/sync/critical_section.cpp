// Critical sections in Windows' classic layout: LockCount is -1 when free and
// counts every entry (recursive ones too) beyond the first, OwningThread holds
// the owner's thread identifier, RecursionCount the owner's depth. Contended
// entries wait on an auto-reset event that LockSemaphore owns, so a thread
// blocked here is in a platform wait like any other.
#include "sync/event.h"
#include "sync/thread.h"

#include <processthreadsapi.h>
#include <synchapi.h>

#include <memory>

namespace {

using platform::sync::Event;

HANDLE ThreadIdAsHandle(DWORD id) {
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(id));
}

HANDLE Owner(LPCRITICAL_SECTION section) {
    return __atomic_load_n(&section->OwningThread, __ATOMIC_ACQUIRE);
}

void TakeOwnership(LPCRITICAL_SECTION section, HANDLE self) {
    __atomic_store_n(&section->OwningThread, self, __ATOMIC_RELEASE);
    section->RecursionCount = 1;
}

Event& Gate(LPCRITICAL_SECTION section) {
    return *static_cast<Event*>(section->LockSemaphore);
}

// Windows keeps only the low 24 bits as the spin count; the high bits are flags.
constexpr DWORD kSpinCountMask = 0x00FFFFFF;

}  // namespace

extern "C" BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection,
                                                             DWORD dwSpinCount) {
    auto gate = std::make_unique<Event>(false, false);
    *lpCriticalSection = CRITICAL_SECTION{};
    lpCriticalSection->LockCount = -1;
    lpCriticalSection->SpinCount = dwSpinCount & kSpinCountMask;
    lpCriticalSection->LockSemaphore = gate.release();  // owned until DeleteCriticalSection
    return TRUE;
}

extern "C" void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    InitializeCriticalSectionAndSpinCount(lpCriticalSection, 0);
}

extern "C" void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    std::unique_ptr<Event> gate(static_cast<Event*>(lpCriticalSection->LockSemaphore));
    *lpCriticalSection = CRITICAL_SECTION{};
}

extern "C" void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    HANDLE self = ThreadIdAsHandle(GetCurrentThreadId());
    if (__atomic_add_fetch(&lpCriticalSection->LockCount, 1, __ATOMIC_ACQ_REL) == 0) {
        TakeOwnership(lpCriticalSection, self);
        return;
    }
    if (Owner(lpCriticalSection) == self) {
        ++lpCriticalSection->RecursionCount;
        return;
    }
    // The leaving owner sets the gate once for each waiter it finds counted.
    platform::sync::SignalSource* gate = &Gate(lpCriticalSection);
    auto lock = platform::sync::LockScheduler();
    platform::sync::Wait(lock, {&gate, 1}, platform::sync::WaitMode::Any,
                         platform::sync::kNoDeadline);
    TakeOwnership(lpCriticalSection, self);
}

extern "C" BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    HANDLE self = ThreadIdAsHandle(GetCurrentThreadId());
    LONG free = -1;
    if (__atomic_compare_exchange_n(&lpCriticalSection->LockCount, &free, 0, false,
                                    __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
        TakeOwnership(lpCriticalSection, self);
        return TRUE;
    }
    if (Owner(lpCriticalSection) != self)
        return FALSE;
    __atomic_add_fetch(&lpCriticalSection->LockCount, 1, __ATOMIC_ACQ_REL);
    ++lpCriticalSection->RecursionCount;
    return TRUE;
}

// Leaving a section the caller does not own is undefined on Windows; here it
// corrupts the counts just as it would there.
extern "C" void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    if (--lpCriticalSection->RecursionCount > 0) {
        __atomic_sub_fetch(&lpCriticalSection->LockCount, 1, __ATOMIC_ACQ_REL);
        return;
    }
    __atomic_store_n(&lpCriticalSection->OwningThread, HANDLE{}, __ATOMIC_RELEASE);
    if (__atomic_sub_fetch(&lpCriticalSection->LockCount, 1, __ATOMIC_ACQ_REL) >= 0) {
        auto lock = platform::sync::LockScheduler();
        Gate(lpCriticalSection).Set();
    }
}
