#include "addin/server/connect.h"

#include "addin/crash/entry_guard.h"
#include "support/log/trace_scope.h"

OBJECT_ENTRY_AUTO(CLSID_Connect, CConnect)

// The start-up and shutdown sequences of the add-in object grow here as the
// parts they call are built; until then connecting and disconnecting write
// their traces and succeed.

CConnect::CConnect() {
    CTraceScope trace("CConnect::CConnect");
}

CConnect::~CConnect() {
    CTraceScope trace("CConnect::~CConnect");
}

STDMETHODIMP CConnect::InterfaceSupportsErrorInfo(REFIID riid) {
    return GuardedEntry([&] { return InterfaceSupportsErrorInfoImpl(riid); });
}

STDMETHODIMP CConnect::OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode,
                                    IDispatch* AddInInst, SAFEARRAY** custom) {
    return GuardedEntry(
        [&] { return OnConnectionImpl(Application, ConnectMode, AddInInst, custom); });
}

STDMETHODIMP CConnect::OnDisconnection(ext_DisconnectMode RemoveMode, SAFEARRAY** custom) {
    return GuardedEntry([&] { return OnDisconnectionImpl(RemoveMode, custom); });
}

STDMETHODIMP CConnect::OnAddInsUpdate(SAFEARRAY** custom) {
    return GuardedEntry([&] { return OnAddInsUpdateImpl(custom); });
}

STDMETHODIMP CConnect::OnStartupComplete(SAFEARRAY** custom) {
    return GuardedEntry([&] { return OnStartupCompleteImpl(custom); });
}

STDMETHODIMP CConnect::OnBeginShutdown(SAFEARRAY** custom) {
    return GuardedEntry([&] { return OnBeginShutdownImpl(custom); });
}

HRESULT CConnect::InterfaceSupportsErrorInfoImpl(REFIID riid) {
    return InlineIsEqualGUID(riid, IID_IConnect) ? S_OK : S_FALSE;
}

HRESULT CConnect::OnConnectionImpl(IDispatch*, ext_ConnectMode, IDispatch*, SAFEARRAY**) {
    CTraceScope trace("CConnect::OnConnectionImpl");
    return S_OK;
}

HRESULT CConnect::OnDisconnectionImpl(ext_DisconnectMode, SAFEARRAY**) {
    CTraceScope trace("CConnect::OnDisconnectionImpl");
    return S_OK;
}

HRESULT CConnect::OnAddInsUpdateImpl(SAFEARRAY**) {
    CTraceScope trace("CConnect::OnAddInsUpdateImpl");
    return S_OK;
}

HRESULT CConnect::OnStartupCompleteImpl(SAFEARRAY**) {
    CTraceScope trace("CConnect::OnStartupCompleteImpl");
    return S_OK;
}

HRESULT CConnect::OnBeginShutdownImpl(SAFEARRAY**) {
    CTraceScope trace("CConnect::OnBeginShutdownImpl");
    return S_OK;
}
