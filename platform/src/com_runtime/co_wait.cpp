// CoWaitForMultipleHandles: a wait during which a single-threaded apartment
// goes on serving the calls made into it.
#include "com_runtime/apartment.h"

#include <objbase.h>
#include <windows.h>

#include <vector>

using namespace platform::com;

extern "C" HRESULT STDAPICALLTYPE CoWaitForMultipleHandles(DWORD dwFlags, DWORD dwTimeout,
                                                           ULONG cHandles, LPHANDLE pHandles,
                                                           LPDWORD lpdwindex) {
    if (!lpdwindex || !pHandles || cHandles == 0)
        return E_INVALIDARG;
    const auto apartment = CurrentApartmentObject();
    const bool serves = apartment && apartment->kind() == ApartmentKind::SingleThreaded &&
                        !(dwFlags & COWAIT_WAITALL);
    // Waiting for all handles at once leaves no room to serve calls.
    const ULONG limit = serves ? MAXIMUM_WAIT_OBJECTS - 1 : MAXIMUM_WAIT_OBJECTS;
    if (cHandles > limit)
        return E_INVALIDARG;
    std::vector<HANDLE> handles(pHandles, pHandles + cHandles);
    if (serves)
        handles.push_back(apartment->incomingEvent());
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD remaining = dwTimeout;
        if (dwTimeout != INFINITE) {
            const DWORD elapsed = GetTickCount() - start;
            remaining = elapsed >= dwTimeout ? 0 : dwTimeout - elapsed;
        }
        const DWORD waited =
            WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(),
                                   (dwFlags & COWAIT_WAITALL) ? TRUE : FALSE, remaining);
        if (waited == WAIT_TIMEOUT)
            return RPC_S_CALLPENDING;
        if (waited == WAIT_FAILED)
            return HRESULT_FROM_WIN32(GetLastError());
        if (serves && waited == WAIT_OBJECT_0 + cHandles) {
            apartment->ServeIncoming();
            continue;
        }
        *lpdwindex = waited - WAIT_OBJECT_0;
        return S_OK;
    }
}
