// mapi32.dll: Outlook's MAPI library as the add-in loads it, its entry points
// exported under the names (decorated where Windows decorates them) by which
// callers look them up. Everything it does is the MAPI view's. Each entry
// point is entered as "mapi32.<name>", so that it can be made to fail or to
// crash; the functions report no error information beyond their result.
#include <platform/call_faults.h>

#include "mapiview/mapi_view.h"

namespace {

template <class... Out>
HRESULT Enter(const wchar_t* entryPoint, Out*... outputs) {
    return platform::calls::EnterMember(L"mapi32", entryPoint, outputs...);
}

}  // namespace

#define MAPI32_EXPORT extern "C" __attribute__((visibility("default")))

MAPI32_EXPORT HRESULT MAPILogonEx(ULONG_PTR uiParam, LPSTR profileName, LPSTR password, ULONG flags,
                                  LPMAPISESSION* session) {
    if (HRESULT hr = Enter(L"MAPILogonEx", session); FAILED(hr))
        return hr;
    return mapiview::LogonEx(uiParam, profileName, password, flags, session);
}

MAPI32_EXPORT HRESULT MAPIInitialize(LPVOID init) {
    if (HRESULT hr = Enter(L"MAPIInitialize"); FAILED(hr))
        return hr;
    return mapiview::Initialize(init);
}

// It has no result: made to fail, it goes on as usual.
MAPI32_EXPORT void MAPIUninitialize() {
    Enter(L"MAPIUninitialize");
    mapiview::Uninitialize();
}

MAPI32_EXPORT SCODE MAPIAllocateBuffer(ULONG size, LPVOID* buffer) {
    if (HRESULT hr = Enter(L"MAPIAllocateBuffer", buffer); FAILED(hr))
        return hr;
    return mapiview::AllocateBuffer(size, buffer);
}

MAPI32_EXPORT SCODE MAPIAllocateMore(ULONG size, LPVOID parent, LPVOID* buffer) {
    if (HRESULT hr = Enter(L"MAPIAllocateMore", buffer); FAILED(hr))
        return hr;
    return mapiview::AllocateMore(size, parent, buffer);
}

// Made to fail, it frees nothing, as when it is given what is no buffer.
MAPI32_EXPORT ULONG MAPIFreeBuffer(LPVOID buffer) {
    if (HRESULT hr = Enter(L"MAPIFreeBuffer"); FAILED(hr))
        return static_cast<ULONG>(hr);
    return mapiview::FreeBuffer(buffer);
}

// The stdcall exports keep their decoration (the size of their arguments on
// 32-bit Windows); the platform's loader finds "@" spelled "$".
MAPI32_EXPORT HRESULT ExportHrQueryAllRows(LPMAPITABLE, LPSPropTagArray, LPSRestriction,
                                           LPSSortOrderSet, LONG,
                                           LPSRowSet*) asm("HrQueryAllRows$24");
HRESULT ExportHrQueryAllRows(LPMAPITABLE table, LPSPropTagArray columns, LPSRestriction restriction,
                             LPSSortOrderSet sortOrder, LONG maxRows, LPSRowSet* rows) {
    if (HRESULT hr = Enter(L"HrQueryAllRows", rows); FAILED(hr))
        return hr;
    return mapiview::QueryAllRows(table, columns, restriction, sortOrder, maxRows, rows);
}

MAPI32_EXPORT HRESULT
ExportHrThisThreadAdviseSink(LPMAPIADVISESINK, LPMAPIADVISESINK*) asm("HrThisThreadAdviseSink$8");
HRESULT ExportHrThisThreadAdviseSink(LPMAPIADVISESINK sink, LPMAPIADVISESINK* wrapper) {
    if (HRESULT hr = Enter(L"HrThisThreadAdviseSink", wrapper); FAILED(hr))
        return hr;
    return mapiview::ThisThreadAdviseSink(sink, wrapper);
}

MAPI32_EXPORT HRESULT ExportHrGetOneProp(LPMAPIPROP, ULONG, LPSPropValue*) asm("HrGetOneProp$12");
HRESULT ExportHrGetOneProp(LPMAPIPROP object, ULONG tag, LPSPropValue* value) {
    if (HRESULT hr = Enter(L"HrGetOneProp", value); FAILED(hr))
        return hr;
    return mapiview::GetOneProp(object, tag, value);
}

MAPI32_EXPORT HRESULT ExportHrSetOneProp(LPMAPIPROP, LPSPropValue) asm("HrSetOneProp$8");
HRESULT ExportHrSetOneProp(LPMAPIPROP object, LPSPropValue value) {
    if (HRESULT hr = Enter(L"HrSetOneProp"); FAILED(hr))
        return hr;
    return mapiview::SetOneProp(object, value);
}
