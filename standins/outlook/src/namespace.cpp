#include "namespace.h"

#include <mapiview/mapi_view.h>
#include <outlook_host.h>

#include <array>
#include <optional>

#include "folder.h"
#include "folders.h"
#include "item_core.h"

namespace outlook::objects {

namespace {

using mailstore::FolderPtr;
using mailstore::MessagePtr;

mailstore::Model& Store() {
    return mailstore::Model::Process();
}

// An optional store identifier: absent when omitted (VT_ERROR) or empty.
HRESULT StoreIdArgument(const VARIANT& argument, std::optional<mailstore::EntryId>& storeId) {
    storeId.reset();
    if (V_VT(&argument) == VT_ERROR || V_VT(&argument) == VT_EMPTY)
        return S_OK;
    if (V_VT(&argument) != VT_BSTR)
        return DISP_E_TYPEMISMATCH;
    if (SysStringLen(V_BSTR(&argument)) == 0)
        return S_OK;
    storeId = mailstore::EntryIdFromHex(std::wstring_view(V_BSTR(&argument)));
    return storeId ? S_OK : E_INVALIDARG;
}

bool InStore(const mailstore::StorePtr& store, const std::optional<mailstore::EntryId>& storeId) {
    return !storeId || (store && store->Id() == *storeId);
}

// What GetFolderFromID and GetItemFromID look up: the object `find` gives for
// the entry identifier, when it is in the store named (if one is).
template <class Find, class Found>
HRESULT LookUp(BSTR entryId, const VARIANT& storeId, Find find, Found& found) {
    std::optional<mailstore::EntryId> store;
    if (HRESULT hr = StoreIdArgument(storeId, store); FAILED(hr))
        return hr;
    const auto id = EntryIdArgument(entryId);
    if (!id)
        return E_INVALIDARG;
    found = find(*id);
    if (!found || !InStore(found->OwningStore(), store))
        return kNotFound;
    return S_OK;
}

constexpr std::array kMembers{
    Member<&Outlook::_NameSpace::PickFolder>(L"PickFolder", DISPID_Outlook_NameSpace_PickFolder,
                                             DISPATCH_METHOD),
    Member<&Outlook::_NameSpace::get_Folders>(L"Folders", DISPID_Outlook_NameSpace_Folders,
                                              DISPATCH_PROPERTYGET),
    Member<&Outlook::_NameSpace::get_MAPIOBJECT>(L"MAPIOBJECT", DISPID_Outlook_MAPIOBJECT,
                                                 DISPATCH_PROPERTYGET),
    Member<&Outlook::_NameSpace::GetDefaultFolder>(
        L"GetDefaultFolder", DISPID_Outlook_NameSpace_GetDefaultFolder, DISPATCH_METHOD),
    // The store identifier may be left out.
    Member<&Outlook::_NameSpace::GetFolderFromID>(
        L"GetFolderFromID", DISPID_Outlook_NameSpace_GetFolderFromID, DISPATCH_METHOD, 1),
    Member<&Outlook::_NameSpace::GetItemFromID>(
        L"GetItemFromID", DISPID_Outlook_NameSpace_GetItemFromID, DISPATCH_METHOD, 1),
};

}  // namespace

std::span<const DispatchMember> NameSpaceObject::Members() {
    return kMembers;
}

NameSpaceObject::NameSpaceObject() : ModelObject(L"NameSpace", kMembers) {}

STDMETHODIMP NameSpaceObject::get_Folders(Outlook::_Folders** folders) {
    if (HRESULT hr = Enter(L"Folders", folders); FAILED(hr))
        return hr;
    CComPtr<FoldersObject> object = MakeObject<FoldersObject>(m_model);
    return Hand<Outlook::_Folders>(object, folders);
}

STDMETHODIMP NameSpaceObject::GetDefaultFolder(LONG folderType, Outlook::MAPIFolder** folder) {
    if (HRESULT hr = Enter(L"GetDefaultFolder", folder); FAILED(hr))
        return hr;
    *folder = nullptr;
    const mailstore::ProfilePtr profile = Store().CurrentProfile();
    const mailstore::StorePtr store = profile ? profile->DefaultStore() : nullptr;
    FolderPtr found =
        store ? store->DefaultFolderOf(static_cast<mailstore::DefaultFolder>(folderType)) : nullptr;
    if (!found)
        return kNotFound;
    return Hand<Outlook::MAPIFolder>(WrapFolder(m_model, std::move(found)), folder);
}

STDMETHODIMP NameSpaceObject::GetFolderFromID(BSTR entryId, VARIANT storeId,
                                              Outlook::MAPIFolder** folder) {
    if (HRESULT hr = Enter(L"GetFolderFromID", folder); FAILED(hr))
        return hr;
    *folder = nullptr;
    FolderPtr found;
    auto find = [](const mailstore::EntryId& id) { return Store().FindFolder(id); };
    if (HRESULT hr = LookUp(entryId, storeId, find, found); FAILED(hr))
        return hr;
    return Hand<Outlook::MAPIFolder>(WrapFolder(m_model, std::move(found)), folder);
}

STDMETHODIMP NameSpaceObject::GetItemFromID(BSTR entryId, VARIANT storeId, IDispatch** item) {
    if (HRESULT hr = Enter(L"GetItemFromID", item); FAILED(hr))
        return hr;
    *item = nullptr;
    MessagePtr found;
    auto find = [](const mailstore::EntryId& id) { return Store().FindMessage(id); };
    if (HRESULT hr = LookUp(entryId, storeId, find, found); FAILED(hr))
        return hr;
    return HandOut(WrapItem(m_model, std::move(found)), item);
}

// The user's choice was set beforehand by the host; a folder gone since
// counts as a cancelled picker.
STDMETHODIMP NameSpaceObject::PickFolder(Outlook::MAPIFolder** folder) {
    if (HRESULT hr = Enter(L"PickFolder", folder); FAILED(hr))
        return hr;
    *folder = nullptr;
    const std::optional<mailstore::EntryId> choice = host::FolderPickerChoice();
    FolderPtr chosen = choice ? Store().FindFolder(*choice) : nullptr;
    if (!chosen)
        return S_OK;
    return Hand<Outlook::MAPIFolder>(WrapFolder(m_model, std::move(chosen)), folder);
}

STDMETHODIMP NameSpaceObject::get_MAPIOBJECT(IUnknown** session) {
    if (HRESULT hr = Enter(L"MAPIOBJECT", session); FAILED(hr))
        return hr;
    *session = nullptr;
    IMAPISession* mapi = nullptr;
    const HRESULT hr = mapiview::SessionFor(Store().CurrentProfile(), &mapi);
    *session = mapi;
    return hr;
}

}  // namespace outlook::objects
