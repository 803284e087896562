// A MAPI library that lacks HrGetOneProp: everything before it in the
// loader's order is there and refuses to work.
#include <mapix.h>
#include <mapiutil.h>

#define PARTIAL_EXPORT extern "C" __attribute__((visibility("default")))

PARTIAL_EXPORT HRESULT MAPILogonEx(ULONG_PTR, LPSTR, LPSTR, ULONG, LPMAPISESSION*) {
    return MAPI_E_LOGON_FAILED;
}
PARTIAL_EXPORT HRESULT MAPIInitialize(LPVOID) {
    return MAPI_E_VERSION;
}
PARTIAL_EXPORT void MAPIUninitialize() {}
PARTIAL_EXPORT SCODE MAPIAllocateBuffer(ULONG, LPVOID*) {
    return MAPI_E_NOT_ENOUGH_MEMORY;
}
PARTIAL_EXPORT ULONG MAPIFreeBuffer(LPVOID) {
    return 0;
}
PARTIAL_EXPORT HRESULT PartialQueryAllRows(LPMAPITABLE, LPSPropTagArray, LPSRestriction,
                                           LPSSortOrderSet, LONG,
                                           LPSRowSet*) asm("HrQueryAllRows$24");
HRESULT PartialQueryAllRows(LPMAPITABLE, LPSPropTagArray, LPSRestriction, LPSSortOrderSet, LONG,
                            LPSRowSet*) {
    return MAPI_E_NO_SUPPORT;
}
PARTIAL_EXPORT HRESULT
PartialThisThreadAdviseSink(LPMAPIADVISESINK, LPMAPIADVISESINK*) asm("HrThisThreadAdviseSink$8");
HRESULT PartialThisThreadAdviseSink(LPMAPIADVISESINK, LPMAPIADVISESINK*) {
    return MAPI_E_NO_SUPPORT;
}
