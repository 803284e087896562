#include "folders.h"

#include <array>

#include "folder.h"

namespace outlook::objects {

namespace {

using mailstore::FolderPtr;

// MAPI's answer for a name already taken.
constexpr HRESULT kCollision = static_cast<HRESULT>(0x80040604);

constexpr std::array kMembers{
    Member<&Outlook::_Folders::get_Count>(L"Count", DISPID_Outlook_Collection_Count,
                                          DISPATCH_PROPERTYGET),
    Member<&Outlook::_Folders::Item>(L"Item", DISPID_Outlook_Collection_Item,
                                     DISPATCH_METHOD | DISPATCH_PROPERTYGET),
    // The folder type may be left out.
    Member<&Outlook::_Folders::Add>(L"Add", DISPID_Outlook_Folders_Add, DISPATCH_METHOD, 1),
};

}  // namespace

std::span<const DispatchMember> FoldersObject::Members() {
    return kMembers;
}

FoldersObject::FoldersObject() : ModelObject(L"Folders", kMembers) {}

std::vector<FolderPtr> FoldersObject::Listed() const {
    if (m_parent)
        return m_parent->Subfolders();
    std::vector<FolderPtr> tops;
    if (const mailstore::ProfilePtr profile = mailstore::Model::Process().CurrentProfile()) {
        for (const auto& store : profile->Stores())
            tops.push_back(store->IpmSubtree());
    }
    return tops;
}

STDMETHODIMP FoldersObject::get_Count(LONG* count) {
    if (HRESULT hr = Enter(L"Count", count); FAILED(hr))
        return hr;
    *count = static_cast<LONG>(Listed().size());
    return S_OK;
}

STDMETHODIMP FoldersObject::Item(VARIANT index, Outlook::MAPIFolder** folder) {
    if (HRESULT hr = Enter(L"Item", folder); FAILED(hr))
        return hr;
    *folder = nullptr;
    const std::vector<FolderPtr> listed = Listed();
    if (V_VT(&index) == VT_BSTR) {
        const std::wstring_view name(V_BSTR(&index), SysStringLen(V_BSTR(&index)));
        for (const FolderPtr& candidate : listed) {
            if (SameName(ShownName(candidate), name))
                return Hand<Outlook::MAPIFolder>(WrapFolder(m_model, candidate), folder);
        }
        return kNotFound;
    }
    std::size_t position = 0;
    if (HRESULT hr = PositionOf(index, listed.size(), position); FAILED(hr))
        return hr;
    return Hand<Outlook::MAPIFolder>(WrapFolder(m_model, listed[position]), folder);
}

STDMETHODIMP FoldersObject::Add(BSTR name, VARIANT type, Outlook::MAPIFolder** folder) {
    if (HRESULT hr = Enter(L"Add", folder); FAILED(hr))
        return hr;
    *folder = nullptr;
    if (V_VT(&type) != VT_ERROR && V_VT(&type) != VT_EMPTY) {
        VARIANT kind;
        VariantInit(&kind);
        if (FAILED(VariantChangeType(&kind, &type, 0, VT_I4)))
            return DISP_E_TYPEMISMATCH;
        if (V_I4(&kind) != Outlook::olFolderInbox)
            return E_INVALIDARG;  // only mail folders are made here
    }
    if (!m_parent || !name || SysStringLen(name) == 0)
        return E_INVALIDARG;
    try {
        FolderPtr added = m_parent->CreateSubfolder(std::wstring(name, SysStringLen(name)));
        return Hand<Outlook::MAPIFolder>(WrapFolder(m_model, std::move(added)), folder);
    } catch (const mailstore::StoreError&) {
        return m_parent->IsDeleted() ? kNotFound : kCollision;
    }
}

}  // namespace outlook::objects
