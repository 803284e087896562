// The safe-item library BVOLTOOL.dll: the identities of its COM classes and
// the interfaces its clients call by position in the method table.
#pragma once

#include <oaidl.h>
#include <platform/interface_uuid.h>
#include <windef.h>

namespace bvoltool {

// The safe mail item, "BVOLTOOL.BVMailItem": an Outlook item read without
// the object model's security prompts.
struct BVMailItem;
BV_DECLARE_UUID(BVMailItem, "A81008FE-279F-4D80-8013-738EFAE53134")

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

}  // namespace bvoltool

inline constexpr CLSID CLSID_BVMailItem = __uuidof(bvoltool::BVMailItem);
inline constexpr CLSID CLSID_BVMAPIUtils = __uuidof(bvoltool::BVMAPIUtils);
inline constexpr IID DIID_IBVMAPIUtilsEvents = __uuidof(bvoltool::IBVMAPIUtilsEvents);
