// The safe-item library BVOLTOOL.dll: the identities of its COM classes and
// the interfaces its clients call by position in the method table.
#pragma once

#include <oaidl.h>
#include <objidl.h>
#include <platform/interface_uuid.h>
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
    virtual HRESULT STDMETHODCALLTYPE Unused7() = 0;
    // Wraps an Outlook item; every other member reads the message it shows.
    virtual HRESULT STDMETHODCALLTYPE put_Item(IDispatch* item) = 0;
    // A property by MAPI tag: VT_BSTR for a string, VT_I4, VT_BOOL, VT_DATE,
    // or VT_ARRAY | VT_UI1 for bytes; VT_EMPTY when the message lacks it.
    virtual HRESULT STDMETHODCALLTYPE get_Fields(LONG propTag, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused10() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused11() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused12() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused13() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused14() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused15() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused16() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused17() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused18() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused19() = 0;
    // The plain-text body.
    virtual HRESULT STDMETHODCALLTYPE get_Body(BSTR* body) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused21() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused22() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused23() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused24() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused25() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused26() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused27() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused28() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused29() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused30() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused31() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused32() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused33() = 0;
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
    virtual HRESULT STDMETHODCALLTYPE Unused7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused8() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused9() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused10() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused11() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused12() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused13() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused14() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused15() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused16() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused17() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused18() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused19() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused20() = 0;
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
    virtual HRESULT STDMETHODCALLTYPE Unused7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused8() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused9() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused10() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused11() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused12() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused13() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused14() = 0;
    // Frees what the last call kept; called after each use.
    virtual HRESULT STDMETHODCALLTYPE Cleanup() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused16() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused17() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused18() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused19() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused20() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused21() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused22() = 0;
    // The name of the mail profile in use; an empty string when there is none.
    virtual HRESULT STDMETHODCALLTYPE get_CurrentProfileName(BSTR* name) = 0;
};
BV_DECLARE_UUID(IBVMAPIUtils, "9B4F1C63-2A7E-4E85-B0D9-61C3A8F5E217")

// The new-mail event: DISPID 1, one IDispatch argument, the new item.
struct IBVMAPIUtilsEvents;
BV_DECLARE_UUID(IBVMAPIUtilsEvents, "7C41D0B2-5E93-4F1A-A6C8-2B9D04E7F315")

// The session object, "BVOLTOOL.BVRDOSession": the profile's stores, their
// folders and hidden items. Registered; its members are not offered yet and
// answer E_NOTIMPL.
struct BVRDOSession;
BV_DECLARE_UUID(BVRDOSession, "C4A97B30-6E21-4F8D-A3B5-7D0E19F62C84")

struct IBVRDOSession : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Logon() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Stores(IDispatch** stores) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDefaultFolder(LONG kind, IDispatch** folder) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFolderFromID(BSTR entryId, BSTR storeId, LONG flags,
                                                      IDispatch** folder) = 0;
};
BV_DECLARE_UUID(IBVRDOSession, "8B1D5F62-0C94-4E37-A2D8-F46E3B907A15")

}  // namespace bvoltool

inline constexpr CLSID CLSID_BVMailItem = __uuidof(bvoltool::BVMailItem);
inline constexpr CLSID CLSID_BVMAPIUtils = __uuidof(bvoltool::BVMAPIUtils);
inline constexpr CLSID CLSID_BVRDOSession = __uuidof(bvoltool::BVRDOSession);
inline constexpr IID DIID_IBVMAPIUtilsEvents = __uuidof(bvoltool::IBVMAPIUtilsEvents);
