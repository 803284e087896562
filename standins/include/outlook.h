// Outlook's object model as an add-in includes it: the dual interfaces of the
// application, its explorers and the namespace, and the event dispinterfaces
// that the add-in's sinks connect to.
//
// Each dual interface lists only the members that are given so far, in the
// order they have in Outlook's own interfaces; their DISPIDs are Outlook's, so
// a caller that reaches a member by name through IDispatch, or by a DISPID it
// knows, gets the same member as from Outlook.
#pragma once

#include <oaidl.h>
#include <platform/interface_uuid.h>

namespace Outlook {

struct _Explorer;
struct _Explorers;
struct _NameSpace;

struct _Application : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Version(BSTR* Version) = 0;
    // S_OK with a null explorer when no explorer window is open.
    virtual HRESULT STDMETHODCALLTYPE ActiveExplorer(_Explorer** Explorer) = 0;
    // Only the "MAPI" namespace exists.
    virtual HRESULT STDMETHODCALLTYPE GetNamespace(BSTR Type, _NameSpace** NameSpace) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Explorers(_Explorers** Explorers) = 0;
};
BV_DECLARE_UUID(_Application, "00063001-0000-0000-C000-000000000046")

// The open explorers, in the order they were opened; Item counts from 1.
struct _Explorers : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Item(VARIANT Index, _Explorer** Explorer) = 0;
};
BV_DECLARE_UUID(_Explorers, "0006300A-0000-0000-C000-000000000046")

struct _Explorer : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Caption(BSTR* Caption) = 0;
};
BV_DECLARE_UUID(_Explorer, "00063003-0000-0000-C000-000000000046")

struct _NameSpace : public IDispatch {};
BV_DECLARE_UUID(_NameSpace, "00063002-0000-0000-C000-000000000046")

// Event dispinterfaces: sinks answer their IID and take the events as
// IDispatch::Invoke calls with the DISPIDs below.
struct ApplicationEvents : public IDispatch {};
BV_DECLARE_UUID(ApplicationEvents, "0006304E-0000-0000-C000-000000000046")
struct ExplorersEvents : public IDispatch {};
BV_DECLARE_UUID(ExplorersEvents, "00063078-0000-0000-C000-000000000046")
struct ExplorerEvents : public IDispatch {};
BV_DECLARE_UUID(ExplorerEvents, "0006304F-0000-0000-C000-000000000046")

}  // namespace Outlook

// Members of the dual interfaces.
enum {
    DISPID_Outlook_Application_ActiveExplorer = 0x111,
    DISPID_Outlook_Application_GetNamespace = 0x110,
    DISPID_Outlook_Application_Version = 0x116,
    DISPID_Outlook_Application_Explorers = 0x119,
    DISPID_Outlook_Explorers_Count = 0x50,
    DISPID_Outlook_Explorers_Item = 0x51,
    DISPID_Outlook_Explorer_Caption = 0x2111,
};

// Events.
enum {
    // ApplicationEvents.ItemSend(IDispatch* Item, VARIANT_BOOL* Cancel)
    DISPID_Outlook_ApplicationEvents_ItemSend = 0xF002,
    // ExplorersEvents.NewExplorer(_Explorer* Explorer)
    DISPID_Outlook_ExplorersEvents_NewExplorer = 0xF001,
    // ExplorerEvents: no arguments.
    DISPID_Outlook_ExplorerEvents_Activate = 0xF001,
    DISPID_Outlook_ExplorerEvents_SelectionChange = 0xF007,
    DISPID_Outlook_ExplorerEvents_Close = 0xF008,
};
