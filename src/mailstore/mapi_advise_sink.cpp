#include "mailstore/mapi_advise_sink.h"

#include "support/log/trace_scope.h"

CMapiAdviseSinkImpl::CMapiAdviseSinkImpl(MapiNotifyCallback callback, ULONG_PTR firstContext,
                                         ULONG_PTR secondContext)
    : m_callback(callback), m_firstContext(firstContext), m_secondContext(secondContext) {}

STDMETHODIMP CMapiAdviseSinkImpl::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    // Only IUnknown: MAPI's wrapper holds the sink as that and calls OnNotify
    // through the table it was given.
    if (!InlineIsEqualGUID(iid, IID_IUnknown)) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CMapiAdviseSinkImpl::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CMapiAdviseSinkImpl::Release() {
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP_(ULONG) CMapiAdviseSinkImpl::OnNotify(ULONG count, LPNOTIFICATION notifications) {
    CTraceScope trace("CMapiAdviseSinkImpl::OnNotify");
    return m_callback ? m_callback(count, notifications, m_firstContext, m_secondContext) : 0;
}
