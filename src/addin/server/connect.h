// The add-in class that Outlook creates: COM class Connect with its dual
// interface IConnect, reached by Outlook through the Office add-in interface.
// Its entries from Outlook are thin: each runs its ...Impl inside the entry
// guard and returns what it returns.
#pragma once

#include <atlbase.h>
#include <atlcom.h>
#include <msaddndr.h>

#include "addin/server/bvol_interfaces.h"
#include "resources/resource_ids.h"

using AddInDesignerObjects::_IDTExtensibility2;
using AddInDesignerObjects::ext_ConnectMode;
using AddInDesignerObjects::ext_DisconnectMode;

class ATL_NO_VTABLE CConnect
    : public CComObjectRootEx<CComSingleThreadModel>,
      public CComCoClass<CConnect, &CLSID_Connect>,
      public ISupportErrorInfo,
      public IDispatchImpl<IConnect, &IID_IConnect, &LIBID_BVOLLib, 1, 0>,
      public IDispatchImpl<_IDTExtensibility2, &__uuidof(_IDTExtensibility2),
                           &__uuidof(AddInDesignerObjects::__AddInDesignerObjects), 1, 0> {
  public:
    CConnect();
    ~CConnect();

    DECLARE_REGISTRY_RESOURCEID(IDR_CONNECT)
    DECLARE_PROTECT_FINAL_CONSTRUCT()

    BEGIN_COM_MAP(CConnect)
    COM_INTERFACE_ENTRY(IConnect)
    COM_INTERFACE_ENTRY2(IDispatch, IConnect)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    COM_INTERFACE_ENTRY(_IDTExtensibility2)
    END_COM_MAP()

    // ISupportErrorInfo
    STDMETHOD(InterfaceSupportsErrorInfo)(REFIID riid) override;

    // _IDTExtensibility2
    STDMETHOD(OnConnection)
    (IDispatch* Application, ext_ConnectMode ConnectMode, IDispatch* AddInInst,
     SAFEARRAY** custom) override;
    STDMETHOD(OnDisconnection)(ext_DisconnectMode RemoveMode, SAFEARRAY** custom) override;
    STDMETHOD(OnAddInsUpdate)(SAFEARRAY** custom) override;
    STDMETHOD(OnStartupComplete)(SAFEARRAY** custom) override;
    STDMETHOD(OnBeginShutdown)(SAFEARRAY** custom) override;

    HRESULT InterfaceSupportsErrorInfoImpl(REFIID riid);
    HRESULT OnConnectionImpl(IDispatch* Application, ext_ConnectMode ConnectMode,
                             IDispatch* AddInInst, SAFEARRAY** custom);
    HRESULT OnDisconnectionImpl(ext_DisconnectMode RemoveMode, SAFEARRAY** custom);
    HRESULT OnAddInsUpdateImpl(SAFEARRAY** custom);
    HRESULT OnStartupCompleteImpl(SAFEARRAY** custom);
    HRESULT OnBeginShutdownImpl(SAFEARRAY** custom);
};
