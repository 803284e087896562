#include "addin/workers/worker_entry.h"

HRESULT CloseWorkerHandle(HANDLE handle) {
    if (!CloseHandle(handle))
        return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}
