// The Office add-in interface, from the add-in designer's type library
// (AddInDesignerObjects): the host connects and disconnects an add-in and
// tells it of start-up, shutdown and changes to the list of add-ins.
#pragma once

#include <oaidl.h>
#include <interface_uuid.h>

namespace AddInDesignerObjects {

enum ext_ConnectMode {
    ext_cm_AfterStartup = 0,
    ext_cm_Startup = 1,
    ext_cm_External = 2,
    ext_cm_CommandLine = 3,
};

enum ext_DisconnectMode {
    ext_dm_HostShutdown = 0,
    ext_dm_UserClosed = 1,
};

// A dual interface; its members' DISPIDs are 1 to 5 in this order.
struct _IDTExtensibility2 : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application,
                                                   ext_ConnectMode ConnectMode,
                                                   IDispatch* AddInInst, SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode RemoveMode,
                                                      SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};

typedef _IDTExtensibility2 IDTExtensibility2;

BV_DECLARE_UUID(_IDTExtensibility2, "B65AD801-ABAF-11D0-BB8B-00A0C90F2744")

// The type library's identifier, as __uuidof(__AddInDesignerObjects).
struct __AddInDesignerObjects;
BV_DECLARE_UUID(__AddInDesignerObjects, "AC0714F2-3D04-11D1-AE7D-00A0C90F26F4")

}  // namespace AddInDesignerObjects

enum {
    DISPID_IDTExtensibility2_OnConnection = 1,
    DISPID_IDTExtensibility2_OnDisconnection = 2,
    DISPID_IDTExtensibility2_OnAddInsUpdate = 3,
    DISPID_IDTExtensibility2_OnStartupComplete = 4,
    DISPID_IDTExtensibility2_OnBeginShutdown = 5,
};
