#include "mailstore/mapi_functions.h"

#include <cstring>

#include "support/log/logged_stage.h"

LPMAPILOGONEX pfnMAPILogonEx = nullptr;
LPMAPIINITIALIZE pfnMAPIInitialize = nullptr;
LPMAPIUNINITIALIZE pfnMAPIUninitialize = nullptr;
LPMAPIALLOCATEBUFFER pfnMAPIAllocateBuffer = nullptr;
LPMAPIFREEBUFFER pfnMAPIFreeBuffer = nullptr;
HrQueryAllRowsFunction pfnHrQueryAllRows = nullptr;
HrThisThreadAdviseSinkFunction pfnHrThisThreadAdviseSink = nullptr;
HrGetOnePropFunction pfnHrGetOneProp = nullptr;
HrSetOnePropFunction pfnHrSetOneProp = nullptr;

HMODULE g_hMapiLibrary = nullptr;
bool g_isMapiLoaded = false;

void FreeMapiBuffer(void* buffer) {
    if (buffer && pfnMAPIFreeBuffer)
        LogIfFailed("FreeMapiBuffer", static_cast<HRESULT>(pfnMAPIFreeBuffer(buffer)));
}

void* CopyToMapiBuffer(ULONG size, const void* source) {
    if (size == 0 || !pfnMAPIAllocateBuffer)
        return nullptr;
    void* buffer = nullptr;
    if (FAILED(pfnMAPIAllocateBuffer(size, &buffer)) || !buffer)
        return nullptr;
    if (source)
        std::memcpy(buffer, source, size);
    return buffer;
}
