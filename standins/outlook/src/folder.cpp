#include "folder.h"

#include <array>

#include "folders.h"
#include "items.h"

namespace outlook::objects {

namespace {
constexpr std::array kMembers{
    Member<&Outlook::MAPIFolder::get_Parent>(L"Parent", DISPID_Outlook_Parent,
                                             DISPATCH_PROPERTYGET),
    Member<&Outlook::MAPIFolder::get_EntryID>(L"EntryID", DISPID_Outlook_EntryID,
                                              DISPATCH_PROPERTYGET),
    Member<&Outlook::MAPIFolder::get_Folders>(L"Folders", DISPID_Outlook_MAPIFolder_Folders,
                                              DISPATCH_PROPERTYGET),
    Member<&Outlook::MAPIFolder::get_Items>(L"Items", DISPID_Outlook_MAPIFolder_Items,
                                            DISPATCH_PROPERTYGET),
    Member<&Outlook::MAPIFolder::get_Name>(L"Name", DISPID_Outlook_MAPIFolder_Name,
                                           DISPATCH_PROPERTYGET),
    Member<&Outlook::MAPIFolder::get_StoreID>(L"StoreID", DISPID_Outlook_MAPIFolder_StoreID,
                                              DISPATCH_PROPERTYGET),
};
}  // namespace

std::span<const DispatchMember> FolderObject::Members() {
    return kMembers;
}

CComPtr<FolderObject> WrapFolder(Model* model, mailstore::FolderPtr folder) {
    CComPtr<FolderObject> object = MakeObject<FolderObject>(model);
    object->SetFolder(std::move(folder));
    return object;
}

bool IsTopFolder(const mailstore::FolderPtr& folder) {
    const mailstore::StorePtr store = folder->OwningStore();
    return store && store->IpmSubtree() == folder;
}

std::wstring ShownName(const mailstore::FolderPtr& folder) {
    return IsTopFolder(folder) ? folder->OwningStore()->DisplayName() : folder->Name();
}

std::optional<mailstore::EntryId> EntryIdArgument(BSTR text) {
    if (!text || SysStringLen(text) == 0)
        return std::nullopt;
    return mailstore::EntryIdFromHex(std::wstring_view(text, SysStringLen(text)));
}

FolderObject::FolderObject() : ModelObject(L"MAPIFolder", kMembers) {}

STDMETHODIMP FolderObject::get_Parent(IDispatch** parent) {
    if (HRESULT hr = Enter(L"Parent", parent); FAILED(hr))
        return hr;
    *parent = nullptr;
    if (IsTopFolder(m_folder))
        return Hand(m_model->nameSpace, parent);
    mailstore::FolderPtr above = m_folder->Parent();
    if (!above)
        return kNotFound;
    return HandOut(WrapFolder(m_model, std::move(above)), parent);
}

STDMETHODIMP FolderObject::get_EntryID(BSTR* entryId) {
    if (HRESULT hr = Enter(L"EntryID", entryId); FAILED(hr))
        return hr;
    return GiveText(mailstore::EntryIdToHex(m_folder->Id()), entryId);
}

STDMETHODIMP FolderObject::get_Folders(Outlook::_Folders** folders) {
    if (HRESULT hr = Enter(L"Folders", folders); FAILED(hr))
        return hr;
    CComPtr<FoldersObject> object = MakeObject<FoldersObject>(m_model);
    object->SetParent(m_folder);
    return Hand<Outlook::_Folders>(object, folders);
}

STDMETHODIMP FolderObject::get_Items(Outlook::_Items** items) {
    if (HRESULT hr = Enter(L"Items", items); FAILED(hr))
        return hr;
    CComPtr<ItemsObject> object = MakeObject<ItemsObject>(m_model);
    object->SetFolder(m_folder);
    return Hand<Outlook::_Items>(object, items);
}

STDMETHODIMP FolderObject::get_Name(BSTR* name) {
    if (HRESULT hr = Enter(L"Name", name); FAILED(hr))
        return hr;
    return GiveText(ShownName(m_folder), name);
}

STDMETHODIMP FolderObject::get_StoreID(BSTR* storeId) {
    if (HRESULT hr = Enter(L"StoreID", storeId); FAILED(hr))
        return hr;
    const mailstore::StorePtr store = m_folder->OwningStore();
    return GiveText(store ? mailstore::EntryIdToHex(store->Id()) : std::wstring(), storeId);
}

}  // namespace outlook::objects
