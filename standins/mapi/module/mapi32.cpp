// mapi32.dll: Outlook's MAPI library as the add-in loads it, its entry points
// exported under the names (decorated where Windows decorates them) by which
// callers look them up. Everything it does is the MAPI view's.
#include "mapiview/mapi_view.h"

#define MAPI32_EXPORT extern "C" __attribute__((visibility("default")))

MAPI32_EXPORT HRESULT MAPILogonEx(ULONG_PTR uiParam, LPSTR profileName, LPSTR password, ULONG flags,
                                  LPMAPISESSION* session) {
    return mapiview::LogonEx(uiParam, profileName, password, flags, session);
}

MAPI32_EXPORT HRESULT MAPIInitialize(LPVOID init) {
    return mapiview::Initialize(init);
}

MAPI32_EXPORT void MAPIUninitialize() {
    mapiview::Uninitialize();
}

MAPI32_EXPORT SCODE MAPIAllocateBuffer(ULONG size, LPVOID* buffer) {
    return mapiview::AllocateBuffer(size, buffer);
}

MAPI32_EXPORT SCODE MAPIAllocateMore(ULONG size, LPVOID parent, LPVOID* buffer) {
    return mapiview::AllocateMore(size, parent, buffer);
}

MAPI32_EXPORT ULONG MAPIFreeBuffer(LPVOID buffer) {
    return mapiview::FreeBuffer(buffer);
}

// The stdcall exports keep their decoration (the size of their arguments on
// 32-bit Windows); the platform's loader finds "@" spelled "$".
MAPI32_EXPORT HRESULT ExportHrQueryAllRows(LPMAPITABLE, LPSPropTagArray, LPSRestriction,
                                           LPSSortOrderSet, LONG,
                                           LPSRowSet*) asm("HrQueryAllRows$24");
HRESULT ExportHrQueryAllRows(LPMAPITABLE table, LPSPropTagArray columns, LPSRestriction restriction,
                             LPSSortOrderSet sortOrder, LONG maxRows, LPSRowSet* rows) {
    return mapiview::QueryAllRows(table, columns, restriction, sortOrder, maxRows, rows);
}

MAPI32_EXPORT HRESULT
ExportHrThisThreadAdviseSink(LPMAPIADVISESINK, LPMAPIADVISESINK*) asm("HrThisThreadAdviseSink$8");
HRESULT ExportHrThisThreadAdviseSink(LPMAPIADVISESINK sink, LPMAPIADVISESINK* wrapper) {
    return mapiview::ThisThreadAdviseSink(sink, wrapper);
}

MAPI32_EXPORT HRESULT ExportHrGetOneProp(LPMAPIPROP, ULONG, LPSPropValue*) asm("HrGetOneProp$12");
HRESULT ExportHrGetOneProp(LPMAPIPROP object, ULONG tag, LPSPropValue* value) {
    return mapiview::GetOneProp(object, tag, value);
}

MAPI32_EXPORT HRESULT ExportHrSetOneProp(LPMAPIPROP, LPSPropValue) asm("HrSetOneProp$8");
HRESULT ExportHrSetOneProp(LPMAPIPROP object, LPSPropValue value) {
    return mapiview::SetOneProp(object, value);
}
