#include "com_runtime/apartment.h"

#include "com_runtime/server_modules.h"

#include <objbase.h>

#include <atomic>

namespace platform::com {
namespace {

struct ThreadApartment {
    ApartmentKind kind = ApartmentKind::None;
    unsigned initializations = 0;
};

thread_local ThreadApartment currentThread;
std::atomic<unsigned> multiThreadedMembers{0};
std::atomic<unsigned> openApartments{0};  // threads with COM initialised

ApartmentKind KindOf(DWORD coInit) {
    return (coInit & COINIT_APARTMENTTHREADED) ? ApartmentKind::SingleThreaded
                                               : ApartmentKind::MultiThreaded;
}

void Enter(ApartmentKind kind) {
    currentThread.kind = kind;
    openApartments.fetch_add(1);
    if (kind == ApartmentKind::MultiThreaded)
        multiThreadedMembers.fetch_add(1);
}

void Leave() {
    if (currentThread.kind == ApartmentKind::MultiThreaded)
        multiThreadedMembers.fetch_sub(1);
    currentThread.kind = ApartmentKind::None;
    // When the last apartment of the process closes, COM lets go of every
    // in-process server that agrees to be unloaded.
    if (openApartments.fetch_sub(1) == 1)
        FreeUnusedServers();
}

}  // namespace

ApartmentKind CurrentApartment() {
    if (currentThread.kind == ApartmentKind::None && multiThreadedMembers.load() > 0)
        return ApartmentKind::MultiThreaded;
    return currentThread.kind;
}

bool CanActivate() {
    return CurrentApartment() != ApartmentKind::None;
}

}  // namespace platform::com

using namespace platform::com;

extern "C" HRESULT STDAPICALLTYPE CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    constexpr DWORD kKnownFlags =
        COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY;
    if (pvReserved || (dwCoInit & ~kKnownFlags))
        return E_INVALIDARG;
    const ApartmentKind wanted = KindOf(dwCoInit);
    if (currentThread.initializations > 0 && currentThread.kind != wanted)
        return RPC_E_CHANGED_MODE;  // not counted: the caller must not uninitialise
    if (currentThread.initializations++ > 0)
        return S_FALSE;
    Enter(wanted);
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE CoInitialize(LPVOID pvReserved) {
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

extern "C" void WINAPI CoUninitialize(void) {
    // An unbalanced call on a thread without COM does nothing.
    if (currentThread.initializations == 0)
        return;
    if (--currentThread.initializations == 0)
        Leave();
}
