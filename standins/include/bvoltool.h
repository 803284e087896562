// The safe-item library BVOLTOOL.dll: the identities of its COM classes and
// the interfaces its clients call by position in the method table.
#pragma once

#include <oaidl.h>
#include <objidl.h>
#include <interface_uuid.h>
#include <unused_slot.h>
#include <windef.h>

namespace bvoltool {

// The safe mail item, "BVOLTOOL.BVMailItem": an Outlook item read without
// the object model's security prompts.
struct BVMailItem;
BV_DECLARE_UUID(BVMailItem, "A81008FE-279F-4D80-8013-738EFAE53134")

// Clients reach the safe mail item's members by their position in the
// method table: 8 puts Item, 9 reads Fields, 20 Body and 34 HTMLBody. The
// positions between are members that nothing here calls; the library answers
// them E_NOTIMPL.
struct IBVMailItem : public IDispatch {
    BV_UNUSED_SLOT(7)
    // Wraps an Outlook item; every other member reads the message it shows.
    virtual HRESULT STDMETHODCALLTYPE put_Item(IDispatch* item) = 0;
    // A property by MAPI tag: VT_BSTR for a string, VT_I4, VT_BOOL, VT_DATE,
    // or VT_ARRAY | VT_UI1 for bytes; VT_EMPTY when the message lacks it.
    virtual HRESULT STDMETHODCALLTYPE get_Fields(LONG propTag, VARIANT* value) = 0;
    BV_UNUSED_SLOT(10)
    BV_UNUSED_SLOT(11)
    BV_UNUSED_SLOT(12)
    BV_UNUSED_SLOT(13)
    BV_UNUSED_SLOT(14)
    BV_UNUSED_SLOT(15)
    BV_UNUSED_SLOT(16)
    BV_UNUSED_SLOT(17)
    BV_UNUSED_SLOT(18)
    BV_UNUSED_SLOT(19)
    // The plain-text body.
    virtual HRESULT STDMETHODCALLTYPE get_Body(BSTR* body) = 0;
    BV_UNUSED_SLOT(21)
    BV_UNUSED_SLOT(22)
    BV_UNUSED_SLOT(23)
    BV_UNUSED_SLOT(24)
    BV_UNUSED_SLOT(25)
    BV_UNUSED_SLOT(26)
    BV_UNUSED_SLOT(27)
    BV_UNUSED_SLOT(28)
    BV_UNUSED_SLOT(29)
    BV_UNUSED_SLOT(30)
    BV_UNUSED_SLOT(31)
    BV_UNUSED_SLOT(32)
    BV_UNUSED_SLOT(33)
    // The HTML body.
    virtual HRESULT STDMETHODCALLTYPE get_HTMLBody(BSTR* body) = 0;
};
BV_DECLARE_UUID(IBVMailItem, "5D2A7E14-C3B8-4F60-9E21-8A4B6C0D7F93")

// The safe mail item's second interface: the whole message written out.
struct IBVImportExport : public IUnknown {
    // Writes the message into `stream`; with kExportRfc822 as its RFC 822
    // text, narrow, in the system's ANSI code page.
    virtual HRESULT STDMETHODCALLTYPE Export(IStream* stream, LONG flags) = 0;
};
BV_DECLARE_UUID(IBVImportExport, "E6B31F08-7A4C-4D92-B5E3-19F0C2A84D67")

inline constexpr LONG kExportRfc822 = 1024;

// The item the new-mail event hands out: 21 is the new message's entry
// identifier, as Outlook shows it (two upper-case hex digits per byte).
struct IBVNewMailItem : public IDispatch {
    BV_UNUSED_SLOT(7)
    BV_UNUSED_SLOT(8)
    BV_UNUSED_SLOT(9)
    BV_UNUSED_SLOT(10)
    BV_UNUSED_SLOT(11)
    BV_UNUSED_SLOT(12)
    BV_UNUSED_SLOT(13)
    BV_UNUSED_SLOT(14)
    BV_UNUSED_SLOT(15)
    BV_UNUSED_SLOT(16)
    BV_UNUSED_SLOT(17)
    BV_UNUSED_SLOT(18)
    BV_UNUSED_SLOT(19)
    BV_UNUSED_SLOT(20)
    virtual HRESULT STDMETHODCALLTYPE get_EntryID(BSTR* entryId) = 0;
};
BV_DECLARE_UUID(IBVNewMailItem, "0F8E4C27-D15A-4B3E-8C70-B2E95A61D4F0")

// The utility object, "BVOLTOOL.BVMAPIUtils": the current mail profile, and
// the source of the library's new-mail event (IBVMAPIUtilsEvents).
struct BVMAPIUtils;
BV_DECLARE_UUID(BVMAPIUtils, "3E9C2B71-84D6-4C0F-9A15-5D2F7B6E0C48")

// Clients reach the utility object's members by their position in the method
// table: 15 is Cleanup and 23 CurrentProfileName. The positions between are
// members that nothing here calls; the library answers them E_NOTIMPL.
struct IBVMAPIUtils : public IDispatch {
    BV_UNUSED_SLOT(7)
    BV_UNUSED_SLOT(8)
    BV_UNUSED_SLOT(9)
    BV_UNUSED_SLOT(10)
    BV_UNUSED_SLOT(11)
    BV_UNUSED_SLOT(12)
    BV_UNUSED_SLOT(13)
    BV_UNUSED_SLOT(14)
    // Frees what the last call kept; called after each use.
    virtual HRESULT STDMETHODCALLTYPE Cleanup() = 0;
    BV_UNUSED_SLOT(16)
    BV_UNUSED_SLOT(17)
    BV_UNUSED_SLOT(18)
    BV_UNUSED_SLOT(19)
    BV_UNUSED_SLOT(20)
    BV_UNUSED_SLOT(21)
    BV_UNUSED_SLOT(22)
    // The name of the mail profile in use; an empty string when there is none.
    virtual HRESULT STDMETHODCALLTYPE get_CurrentProfileName(BSTR* name) = 0;
};
BV_DECLARE_UUID(IBVMAPIUtils, "9B4F1C63-2A7E-4E85-B0D9-61C3A8F5E217")

// The new-mail event: DISPID 1, one IDispatch argument, the new item.
struct IBVMAPIUtilsEvents;
BV_DECLARE_UUID(IBVMAPIUtilsEvents, "7C41D0B2-5E93-4F1A-A6C8-2B9D04E7F315")

// The session object, "BVOLTOOL.BVRDOSession": a MAPI session of the
// library's own over a mail profile, with the profile's stores, their folders
// and the folders' hidden (associated) items. Every object below is reached
// from the session; clients call members by position in the method table
// (7 is the first after IDispatch). The objects' IDispatch knows no names.
struct BVRDOSession;
BV_DECLARE_UUID(BVRDOSession, "C4A97B30-6E21-4F8D-A3B5-7D0E19F62C84")

struct IBVRDOStores;
struct IBVRDOStore;
struct IBVRDOFolder;
struct IBVRDOItems;
struct IBVRDOMail;

// Kinds of store (get_StoreKind).
enum : LONG {
    kStoreKindUnknown = 0,
    kStoreKindPstAnsi = 1,
    kStoreKindPstUnicode = 2,              // a personal folders file
    kStoreKindPrimaryExchangeMailbox = 3,  // the profile's own Exchange mailbox
    kStoreKindDelegateExchangeMailbox = 4,
    kStoreKindPublicFolders = 5,
};

struct IBVRDOSession : public IDispatch {
    // 7: logs on to the named profile, or the current one when the name is
    // empty; the password and the four options are not used (no dialog is
    // ever shown). MAPI_E_LOGON_FAILED when there is no such profile. Every
    // other member answers MAPI_E_NOT_INITIALIZED before a logon.
    virtual HRESULT STDMETHODCALLTYPE Logon(BSTR profileName, BSTR password,
                                            VARIANT_BOOL showDialog, VARIANT_BOOL newSession,
                                            SHORT parentWindow, VARIANT_BOOL noMail) = 0;
    // 8: the profile's stores, in the profile's order.
    virtual HRESULT STDMETHODCALLTYPE get_Stores(IBVRDOStores** stores) = 0;
    // 9: a default folder (OlDefaultFolders: 6 Inbox, 23 Junk E-mail, ...) of
    // the default store; MAPI_E_NOT_FOUND when it has none.
    virtual HRESULT STDMETHODCALLTYPE GetDefaultFolder(LONG kind, IBVRDOFolder** folder) = 0;
    // 10: a folder by its entry identifier and, when not empty, its store's
    // (Outlook's hexadecimal text), opened with MAPI open flags (MAPI_MODIFY,
    // MAPI_DEFERRED_ERRORS, MAPI_BEST_ACCESS, MAPI_NO_CACHE; any other is
    // MAPI_E_UNKNOWN_FLAGS). MAPI_E_INVALID_ENTRYID for text that is not an
    // identifier, MAPI_E_NOT_FOUND for a folder not there or in another store.
    virtual HRESULT STDMETHODCALLTYPE GetFolderFromID(BSTR entryId, BSTR storeId, LONG flags,
                                                      IBVRDOFolder** folder) = 0;
};
BV_DECLARE_UUID(IBVRDOSession, "8B1D5F62-0C94-4E37-A2D8-F46E3B907A15")

struct IBVRDOStores : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;  // 7
    // 8: counts from 1; DISP_E_BADINDEX out of range.
    virtual HRESULT STDMETHODCALLTYPE Item(LONG index, IBVRDOStore** store) = 0;
};
BV_DECLARE_UUID(IBVRDOStores, "2E6F0A93-4B18-4C75-9D3E-A1C85F70B246")

// A store. The profile's own Exchange mailbox also answers
// IBVRDOExchangeMailboxStore; other stores refuse it (E_NOINTERFACE).
struct IBVRDOStore : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_StoreKind(LONG* kind) = 0;  // 7
    // 8: MAPI_E_NOT_FOUND when the store lacks that kind of folder.
    virtual HRESULT STDMETHODCALLTYPE GetDefaultFolder(LONG kind, IBVRDOFolder** folder) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_EntryID(BSTR* entryId) = 0;  // 9
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;        // 10
};
BV_DECLARE_UUID(IBVRDOStore, "6A0C4E17-93B2-4D58-B7F1-3E2D90A8C564")

struct IBVRDOExchangeMailboxStore : public IBVRDOStore {
    // 11: whether Outlook keeps a local copy of the mailbox (cached mode).
    virtual HRESULT STDMETHODCALLTYPE get_IsCached(VARIANT_BOOL* cached) = 0;
};
BV_DECLARE_UUID(IBVRDOExchangeMailboxStore, "D3B85A26-1F4C-4E09-8A67-5C0B2E93F718")

struct IBVRDOFolder : public IDispatch {
    // 7: the folder above; MAPI_E_NOT_FOUND for a store's root folder.
    virtual HRESULT STDMETHODCALLTYPE get_Parent(IBVRDOFolder** parent) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_EntryID(BSTR* entryId) = 0;  // 8
    virtual HRESULT STDMETHODCALLTYPE get_StoreID(BSTR* storeId) = 0;  // 9
    // 10: the folder's hidden (associated) items.
    virtual HRESULT STDMETHODCALLTYPE get_HiddenItems(IBVRDOItems** items) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;  // 11
};
BV_DECLARE_UUID(IBVRDOFolder, "9C27E5B4-0A61-4F3D-8E92-B74D1A06C385")

// A folder's hidden items, in the folder's order, read when asked.
struct IBVRDOItems : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;  // 7
    // 8: counts from 1; DISP_E_BADINDEX out of range.
    virtual HRESULT STDMETHODCALLTYPE Item(LONG index, IBVRDOMail** item) = 0;
    // 9: a new item of the message class ("IPM.Note" when empty). It is
    // stored in the folder when saved; one never saved is not kept.
    virtual HRESULT STDMETHODCALLTYPE Add(BSTR messageClass, IBVRDOMail** item) = 0;
};
BV_DECLARE_UUID(IBVRDOItems, "47D9B1E0-6C35-4A82-91F4-0E8A3C5D27B6")

// An item. Before its first Save a new item holds its subject and body
// itself; once saved every write goes to the stored message at once.
struct IBVRDOMail : public IDispatch {
    // 7: a property by MAPI tag, as the safe mail item's Fields gives it.
    virtual HRESULT STDMETHODCALLTYPE get_Fields(LONG propTag, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Body(BSTR* body) = 0;        // 8
    virtual HRESULT STDMETHODCALLTYPE put_Body(BSTR body) = 0;         // 9
    virtual HRESULT STDMETHODCALLTYPE get_Subject(BSTR* subject) = 0;  // 10
    virtual HRESULT STDMETHODCALLTYPE put_Subject(BSTR subject) = 0;   // 11
    virtual HRESULT STDMETHODCALLTYPE Save() = 0;                      // 12
    // 13: empty until a new item is saved.
    virtual HRESULT STDMETHODCALLTYPE get_EntryID(BSTR* entryId) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MessageClass(BSTR* messageClass) = 0;  // 14
};
BV_DECLARE_UUID(IBVRDOMail, "B1E84F3A-7D20-4C96-A5B8-28F6E01D93C7")

}  // namespace bvoltool

inline constexpr CLSID CLSID_BVMailItem = __uuidof(bvoltool::BVMailItem);
inline constexpr CLSID CLSID_BVMAPIUtils = __uuidof(bvoltool::BVMAPIUtils);
inline constexpr CLSID CLSID_BVRDOSession = __uuidof(bvoltool::BVRDOSession);
inline constexpr IID DIID_IBVMAPIUtilsEvents = __uuidof(bvoltool::IBVMAPIUtilsEvents);
