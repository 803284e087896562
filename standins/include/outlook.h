// Outlook's object model as an add-in includes it: the dual interfaces of the
// application, its explorers and the namespace, and the event dispinterfaces
// that the add-in's sinks connect to. Office's command bars, which an
// explorer hands out, are in office.h.
//
// Each dual interface lists only the members that are given so far, in the
// order they have in Outlook's own interfaces; their DISPIDs are Outlook's, so
// a caller that reaches a member by name through IDispatch, or by a DISPID it
// knows, gets the same member as from Outlook.
#pragma once

#include <oaidl.h>
#include <interface_uuid.h>

#include "office.h"

namespace Outlook {

struct _Explorer;
struct _Explorers;
struct _NameSpace;
struct MAPIFolder;
struct _Folders;
struct _Items;
struct _MailItem;
struct _ReportItem;

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
    // The window's command bars (Office's).
    virtual HRESULT STDMETHODCALLTYPE get_CommandBars(Office::_CommandBars** CommandBars) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Caption(BSTR* Caption) = 0;
};
BV_DECLARE_UUID(_Explorer, "00063003-0000-0000-C000-000000000046")

// The "MAPI" namespace over the current mail profile. Entry identifiers are
// text, two upper-case hexadecimal digits per byte; a store identifier, when
// given (not VT_ERROR or VT_EMPTY), must be the store's that holds the object.
struct _NameSpace : public IDispatch {
    // The top folders of the profile's stores, named after the stores.
    virtual HRESULT STDMETHODCALLTYPE get_Folders(_Folders** Folders) = 0;
    // OlDefaultFolders of the default store; 0x8004010F when it has none.
    virtual HRESULT STDMETHODCALLTYPE GetDefaultFolder(LONG FolderType, MAPIFolder** Folder) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFolderFromID(BSTR EntryIDFolder, VARIANT EntryIDStore,
                                                      MAPIFolder** Folder) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetItemFromID(BSTR EntryIDItem, VARIANT EntryIDStore,
                                                    IDispatch** Item) = 0;
    // Outlook's folder picker: the folder the user chose, or S_OK with a null
    // folder when the user cancelled.
    virtual HRESULT STDMETHODCALLTYPE PickFolder(MAPIFolder** Folder) = 0;
    // The Extended MAPI session over the profile (an IMAPISession behind the
    // IUnknown); through IDispatch a VT_UNKNOWN.
    virtual HRESULT STDMETHODCALLTYPE get_MAPIOBJECT(IUnknown** MAPIOBJECT) = 0;
};
BV_DECLARE_UUID(_NameSpace, "00063002-0000-0000-C000-000000000046")

struct MAPIFolder : public IDispatch {
    // The parent folder; the namespace for a store's top folder.
    virtual HRESULT STDMETHODCALLTYPE get_Parent(IDispatch** Parent) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_EntryID(BSTR* EntryID) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Folders(_Folders** Folders) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Items(_Items** Items) = 0;
    // A store's top folder is named after the store.
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* Name) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_StoreID(BSTR* StoreID) = 0;
};
BV_DECLARE_UUID(MAPIFolder, "00063006-0000-0000-C000-000000000046")

// A folder's subfolders (or the namespace's top folders); Item takes an
// index from 1 or a name (compared ignoring case).
struct _Folders : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Item(VARIANT Index, MAPIFolder** Folder) = 0;
    // A new mail folder; the type, when given, must be a mail folder (6).
    virtual HRESULT STDMETHODCALLTYPE Add(BSTR Name, VARIANT Type, MAPIFolder** Folder) = 0;
};
BV_DECLARE_UUID(_Folders, "00063040-0000-0000-C000-000000000046")

// A folder's items in the folder's order, or in the order Sort set; Item and
// Remove count from 1.
struct _Items : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Item(VARIANT Index, IDispatch** Item) = 0;
    virtual HRESULT STDMETHODCALLTYPE Remove(LONG Index) = 0;
    // The items that match a filter such as "[UnRead] = true AND [ReceivedTime]
    // >= ' 4 Dec 2026  9: 5'", in this collection's order; a filter that
    // cannot be read fails and changes nothing.
    virtual HRESULT STDMETHODCALLTYPE Restrict(BSTR Filter, _Items** Items) = 0;
    // Orders the collection by a property ("[ReceivedTime]"); Descending may
    // be left out (VT_ERROR), which sorts ascending.
    virtual HRESULT STDMETHODCALLTYPE Sort(BSTR Property, VARIANT Descending) = 0;
};
BV_DECLARE_UUID(_Items, "00063041-0000-0000-C000-000000000046")

// An item of any message class; Class tells which Outlook would make of it.
struct _MailItem : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Class(LONG* Class) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Parent(IDispatch** Parent) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Body(BSTR* Body) = 0;
    // Writing one body makes the other follow, as Outlook does.
    virtual HRESULT STDMETHODCALLTYPE put_Body(BSTR Body) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_EntryID(BSTR* EntryID) = 0;
    // The message as Extended MAPI's IMessage; through IDispatch a VT_UNKNOWN.
    virtual HRESULT STDMETHODCALLTYPE get_MAPIOBJECT(IUnknown** MAPIOBJECT) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MessageClass(BSTR* MessageClass) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Size(LONG* Size) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Subject(BSTR* Subject) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UnRead(VARIANT_BOOL* UnRead) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_UnRead(VARIANT_BOOL UnRead) = 0;
    virtual HRESULT STDMETHODCALLTYPE Move(MAPIFolder* DestFldr, IDispatch** Item) = 0;
    virtual HRESULT STDMETHODCALLTYPE Save() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_HTMLBody(BSTR* HTMLBody) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_HTMLBody(BSTR HTMLBody) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ReadReceiptRequested(VARIANT_BOOL* Requested) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ReadReceiptRequested(VARIANT_BOOL Requested) = 0;
    // Local time, as Outlook shows it.
    virtual HRESULT STDMETHODCALLTYPE get_ReceivedTime(DATE* ReceivedTime) = 0;
};
BV_DECLARE_UUID(_MailItem, "00063034-0000-0000-C000-000000000046")

// An item of a "REPORT." class (a delivery or read report): Class is 46, and
// it is not a _MailItem.
struct _ReportItem : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Class(LONG* Class) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Parent(IDispatch** Parent) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_EntryID(BSTR* EntryID) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MessageClass(BSTR* MessageClass) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Subject(BSTR* Subject) = 0;
    virtual HRESULT STDMETHODCALLTYPE Move(MAPIFolder* DestFldr, IDispatch** Item) = 0;
};
BV_DECLARE_UUID(_ReportItem, "00063026-0000-0000-C000-000000000046")

// OlObjectClass values of the items.
enum {
    olMail = 43,
    olPost = 45,
    olReport = 46,
    olMeetingRequest = 53,
};
// OlDefaultFolders and OlFolderType values used with folders.
enum {
    olFolderInbox = 6,
};

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
    DISPID_Outlook_Explorer_CommandBars = 0x2100,
    DISPID_Outlook_Explorer_Caption = 0x2111,
    DISPID_Outlook_NameSpace_Folders = 0x2103,
    DISPID_Outlook_NameSpace_GetDefaultFolder = 0x210B,
    DISPID_Outlook_NameSpace_GetFolderFromID = 0x2108,
    DISPID_Outlook_NameSpace_GetItemFromID = 0x2109,
    DISPID_Outlook_NameSpace_PickFolder = 0x2117,
    DISPID_Outlook_Parent = 0xF001,
    DISPID_Outlook_EntryID = 0xF01E,
    DISPID_Outlook_Class = 0xF00A,
    DISPID_Outlook_MAPIOBJECT = 0xF100,
    DISPID_Outlook_MAPIFolder_Folders = 0x2103,
    DISPID_Outlook_MAPIFolder_Items = 0x3100,
    DISPID_Outlook_MAPIFolder_Name = 0x3001,
    DISPID_Outlook_MAPIFolder_StoreID = 0x3108,
    DISPID_Outlook_Collection_Count = 0x50,
    DISPID_Outlook_Collection_Item = 0x51,
    DISPID_Outlook_Collection_Remove = 0x54,
    DISPID_Outlook_Items_Sort = 0x61,
    DISPID_Outlook_Items_Restrict = 0x64,
    DISPID_Outlook_Folders_Add = 0x5F,
    DISPID_Outlook_MailItem_Body = 0x9100,
    DISPID_Outlook_MailItem_MessageClass = 0x1A,
    DISPID_Outlook_MailItem_Size = 0xE08,
    DISPID_Outlook_MailItem_Subject = 0x37,
    DISPID_Outlook_MailItem_UnRead = 0xF01C,
    DISPID_Outlook_MailItem_Move = 0xF034,
    DISPID_Outlook_MailItem_Save = 0xF048,
    DISPID_Outlook_MailItem_HTMLBody = 0xF404,
    DISPID_Outlook_MailItem_ReadReceiptRequested = 0x29,
    DISPID_Outlook_MailItem_ReceivedTime = 0xE06,
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
