#include "mail_objects.h"

#include <mapiview/mapi_view.h>
#include <outlook_host.h>

#include <oleauto.h>

#include <algorithm>
#include <array>
#include <optional>

namespace outlook::objects {

namespace {

using mailstore::FolderPtr;
using mailstore::MessagePtr;

// MAPI's answer for a name already taken.
constexpr HRESULT kCollision = static_cast<HRESULT>(0x80040604);

mailstore::Model& Store() {
    return mailstore::Model::Process();
}

bool IsTopFolder(const FolderPtr& folder) {
    const mailstore::StorePtr store = folder->OwningStore();
    return store && store->IpmSubtree() == folder;
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

}  // namespace

CComPtr<FolderObject> WrapFolder(Model* model, FolderPtr folder) {
    CComPtr<FolderObject> object = MakeObject<FolderObject>();
    object->SetFolder(std::move(folder));
    object->Attach(model);
    return object;
}

std::optional<mailstore::EntryId> EntryIdArgument(BSTR text) {
    if (!text || SysStringLen(text) == 0)
        return std::nullopt;
    return mailstore::EntryIdFromHex(std::wstring_view(text, SysStringLen(text)));
}

// --- NameSpace ----------------------------------------------------------------

namespace {
constexpr std::array<DispatchMember, 6> kNameSpaceMembers{{
    {L"PickFolder", DISPID_Outlook_NameSpace_PickFolder, DISPATCH_METHOD, 0},
    {L"Folders", DISPID_Outlook_NameSpace_Folders, DISPATCH_PROPERTYGET, 0},
    {L"MAPIOBJECT", DISPID_Outlook_MAPIOBJECT, DISPATCH_PROPERTYGET, 0},
    {L"GetDefaultFolder", DISPID_Outlook_NameSpace_GetDefaultFolder, DISPATCH_METHOD, 1},
    {L"GetFolderFromID", DISPID_Outlook_NameSpace_GetFolderFromID, DISPATCH_METHOD, 2},
    {L"GetItemFromID", DISPID_Outlook_NameSpace_GetItemFromID, DISPATCH_METHOD, 2},
}};
}  // namespace

NameSpaceObject::NameSpaceObject()
    : ModelBound(L"NameSpace", __uuidof(Outlook::_NameSpace)), DualInterface(kNameSpaceMembers) {}

HRESULT NameSpaceObject::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                      EXCEPINFO*, UINT* argumentError) {
    if (!model_)
        return RPC_E_DISCONNECTED;
    HRESULT hr = S_OK;
    // The store identifier may be left out, as a caller of IDispatch may.
    OptionalSecondArgument call(params, id == DISPID_Outlook_NameSpace_GetFolderFromID ||
                                            id == DISPID_Outlook_NameSpace_GetItemFromID);
    params = call.Params();
    const DispatchMember* member = MemberToInvoke(id, flags, params, &hr);
    if (!member)
        return hr;
    switch (member->id) {
        case DISPID_Outlook_NameSpace_Folders: {
            Outlook::_Folders* folders = nullptr;
            if (SUCCEEDED(hr = get_Folders(&folders)))
                ReturnInterface(result, folders);
            return hr;
        }
        case DISPID_Outlook_NameSpace_PickFolder: {
            Outlook::MAPIFolder* folder = nullptr;
            if (SUCCEEDED(hr = PickFolder(&folder)))
                ReturnInterface(result, folder);
            return hr;
        }
        case DISPID_Outlook_MAPIOBJECT: {
            IUnknown* session = nullptr;
            if (SUCCEEDED(hr = get_MAPIOBJECT(&session)))
                ReturnUnknown(result, session);
            return hr;
        }
        case DISPID_Outlook_NameSpace_GetDefaultFolder: {
            VARIANT kind;
            VariantInit(&kind);
            VARIANT given = ArgumentAt(params, 0);
            if (FAILED(VariantChangeType(&kind, &given, 0, VT_I4)))
                return BadArgument(argumentError, 0);
            Outlook::MAPIFolder* folder = nullptr;
            if (SUCCEEDED(hr = GetDefaultFolder(V_I4(&kind), &folder)))
                ReturnInterface(result, folder);
            return hr;
        }
        default: {
            const VARIANT entryId = ArgumentAt(params, 0);
            if (V_VT(&entryId) != VT_BSTR)
                return BadArgument(argumentError, 0);
            if (member->id == DISPID_Outlook_NameSpace_GetFolderFromID) {
                Outlook::MAPIFolder* folder = nullptr;
                if (SUCCEEDED(
                        hr = GetFolderFromID(V_BSTR(&entryId), ArgumentAt(params, 1), &folder)))
                    ReturnInterface(result, folder);
                return hr;
            }
            IDispatch* item = nullptr;
            if (SUCCEEDED(hr = GetItemFromID(V_BSTR(&entryId), ArgumentAt(params, 1), &item)))
                ReturnObject(result, item);
            return hr;
        }
    }
}

STDMETHODIMP NameSpaceObject::get_Folders(Outlook::_Folders** folders) {
    if (HRESULT hr = Enter(L"Folders", folders); FAILED(hr))
        return hr;
    if (!folders)
        return E_POINTER;
    CComPtr<FoldersObject> object = MakeObject<FoldersObject>();
    object->Attach(model_);
    return Hand<Outlook::_Folders>(object, folders);
}

STDMETHODIMP NameSpaceObject::GetDefaultFolder(LONG folderType, Outlook::MAPIFolder** folder) {
    if (HRESULT hr = Enter(L"GetDefaultFolder", folder); FAILED(hr))
        return hr;
    if (!folder)
        return E_POINTER;
    *folder = nullptr;
    const mailstore::ProfilePtr profile = Store().CurrentProfile();
    const mailstore::StorePtr store = profile ? profile->DefaultStore() : nullptr;
    FolderPtr found =
        store ? store->DefaultFolderOf(static_cast<mailstore::DefaultFolder>(folderType)) : nullptr;
    if (!found)
        return kNotFound;
    return Hand<Outlook::MAPIFolder>(WrapFolder(model_, std::move(found)), folder);
}

STDMETHODIMP NameSpaceObject::GetFolderFromID(BSTR entryId, VARIANT storeId,
                                              Outlook::MAPIFolder** folder) {
    if (HRESULT hr = Enter(L"GetFolderFromID", folder); FAILED(hr))
        return hr;
    if (!folder)
        return E_POINTER;
    *folder = nullptr;
    std::optional<mailstore::EntryId> store;
    if (HRESULT hr = StoreIdArgument(storeId, store); FAILED(hr))
        return hr;
    const auto id = EntryIdArgument(entryId);
    if (!id)
        return E_INVALIDARG;
    FolderPtr found = Store().FindFolder(*id);
    if (!found || !InStore(found->OwningStore(), store))
        return kNotFound;
    return Hand<Outlook::MAPIFolder>(WrapFolder(model_, std::move(found)), folder);
}

STDMETHODIMP NameSpaceObject::GetItemFromID(BSTR entryId, VARIANT storeId, IDispatch** item) {
    if (HRESULT hr = Enter(L"GetItemFromID", item); FAILED(hr))
        return hr;
    if (!item)
        return E_POINTER;
    *item = nullptr;
    std::optional<mailstore::EntryId> store;
    if (HRESULT hr = StoreIdArgument(storeId, store); FAILED(hr))
        return hr;
    const auto id = EntryIdArgument(entryId);
    if (!id)
        return E_INVALIDARG;
    MessagePtr found = Store().FindMessage(*id);
    if (!found || !InStore(found->OwningStore(), store))
        return kNotFound;
    return HandOut(WrapItem(model_, std::move(found)), item);
}

// The user's choice was set beforehand by the host; a folder gone since
// counts as a cancelled picker.
STDMETHODIMP NameSpaceObject::PickFolder(Outlook::MAPIFolder** folder) {
    if (HRESULT hr = Enter(L"PickFolder", folder); FAILED(hr))
        return hr;
    if (!folder)
        return E_POINTER;
    *folder = nullptr;
    const std::optional<mailstore::EntryId> choice = host::FolderPickerChoice();
    FolderPtr chosen = choice ? Store().FindFolder(*choice) : nullptr;
    if (!chosen)
        return S_OK;
    return Hand<Outlook::MAPIFolder>(WrapFolder(model_, std::move(chosen)), folder);
}

STDMETHODIMP NameSpaceObject::get_MAPIOBJECT(IUnknown** session) {
    if (HRESULT hr = Enter(L"MAPIOBJECT", session); FAILED(hr))
        return hr;
    if (!session)
        return E_POINTER;
    *session = nullptr;
    IMAPISession* mapi = nullptr;
    const HRESULT hr = mapiview::SessionFor(Store().CurrentProfile(), &mapi);
    *session = mapi;
    return hr;
}

// --- Folders ------------------------------------------------------------------

namespace {
constexpr std::array<DispatchMember, 3> kFoldersMembers{{
    {L"Count", DISPID_Outlook_Collection_Count, DISPATCH_PROPERTYGET, 0},
    {L"Item", DISPID_Outlook_Collection_Item, DISPATCH_METHOD | DISPATCH_PROPERTYGET, 1},
    {L"Add", DISPID_Outlook_Folders_Add, DISPATCH_METHOD, 2},
}};
}  // namespace

FoldersObject::FoldersObject()
    : ModelBound(L"Folders", __uuidof(Outlook::_Folders)), DualInterface(kFoldersMembers) {}

std::vector<FolderPtr> FoldersObject::Listed() const {
    if (parent_)
        return parent_->Subfolders();
    std::vector<FolderPtr> tops;
    if (const mailstore::ProfilePtr profile = Store().CurrentProfile()) {
        for (const auto& store : profile->Stores())
            tops.push_back(store->IpmSubtree());
    }
    return tops;
}

HRESULT FoldersObject::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                    EXCEPINFO*, UINT* argumentError) {
    if (!model_)
        return RPC_E_DISCONNECTED;
    HRESULT hr = S_OK;
    // The folder type of Add may be left out.
    OptionalSecondArgument call(params, id == DISPID_Outlook_Folders_Add);
    params = call.Params();
    const DispatchMember* member = MemberToInvoke(id, flags, params, &hr);
    if (!member)
        return hr;
    if (member->id == DISPID_Outlook_Collection_Count) {
        LONG count = 0;
        if (SUCCEEDED(hr = get_Count(&count)))
            ReturnLong(result, count);
        return hr;
    }
    Outlook::MAPIFolder* folder = nullptr;
    if (member->id == DISPID_Outlook_Collection_Item) {
        hr = Item(ArgumentAt(params, 0), &folder);
    } else {
        const VARIANT name = ArgumentAt(params, 0);
        if (V_VT(&name) != VT_BSTR)
            return BadArgument(argumentError, 0);
        hr = Add(V_BSTR(&name), ArgumentAt(params, 1), &folder);
    }
    if (hr == DISP_E_TYPEMISMATCH && argumentError)
        *argumentError = 0;
    if (SUCCEEDED(hr))
        ReturnInterface(result, folder);
    return hr;
}

STDMETHODIMP FoldersObject::get_Count(LONG* count) {
    if (HRESULT hr = Enter(L"Count", count); FAILED(hr))
        return hr;
    if (!count)
        return E_POINTER;
    *count = static_cast<LONG>(Listed().size());
    return S_OK;
}

STDMETHODIMP FoldersObject::Item(VARIANT index, Outlook::MAPIFolder** folder) {
    if (HRESULT hr = Enter(L"Item", folder); FAILED(hr))
        return hr;
    if (!folder)
        return E_POINTER;
    *folder = nullptr;
    const std::vector<FolderPtr> listed = Listed();
    if (V_VT(&index) == VT_BSTR) {
        const std::wstring_view name(V_BSTR(&index), SysStringLen(V_BSTR(&index)));
        for (const FolderPtr& candidate : listed) {
            const std::wstring shown = IsTopFolder(candidate)
                                           ? candidate->OwningStore()->DisplayName()
                                           : candidate->Name();
            if (SameName(shown, name))
                return Hand<Outlook::MAPIFolder>(WrapFolder(model_, candidate), folder);
        }
        return kNotFound;
    }
    VARIANT number;
    VariantInit(&number);
    if (FAILED(VariantChangeType(&number, &index, 0, VT_I4)))
        return DISP_E_TYPEMISMATCH;
    const LONG position = V_I4(&number);
    if (position < 1 || position > static_cast<LONG>(listed.size()))
        return DISP_E_BADINDEX;
    return Hand<Outlook::MAPIFolder>(WrapFolder(model_, listed[position - 1]), folder);
}

STDMETHODIMP FoldersObject::Add(BSTR name, VARIANT type, Outlook::MAPIFolder** folder) {
    if (HRESULT hr = Enter(L"Add", folder); FAILED(hr))
        return hr;
    if (!folder)
        return E_POINTER;
    *folder = nullptr;
    if (V_VT(&type) != VT_ERROR && V_VT(&type) != VT_EMPTY) {
        VARIANT kind;
        VariantInit(&kind);
        if (FAILED(VariantChangeType(&kind, &type, 0, VT_I4)))
            return DISP_E_TYPEMISMATCH;
        if (V_I4(&kind) != Outlook::olFolderInbox)
            return E_INVALIDARG;  // only mail folders are made here
    }
    if (!parent_ || !name || SysStringLen(name) == 0)
        return E_INVALIDARG;
    try {
        FolderPtr added = parent_->CreateSubfolder(std::wstring(name, SysStringLen(name)));
        return Hand<Outlook::MAPIFolder>(WrapFolder(model_, std::move(added)), folder);
    } catch (const mailstore::StoreError&) {
        return parent_->IsDeleted() ? kNotFound : kCollision;
    }
}

// --- Folder -------------------------------------------------------------------

namespace {
constexpr std::array<DispatchMember, 6> kFolderMembers{{
    {L"Parent", DISPID_Outlook_Parent, DISPATCH_PROPERTYGET, 0},
    {L"EntryID", DISPID_Outlook_EntryID, DISPATCH_PROPERTYGET, 0},
    {L"Folders", DISPID_Outlook_MAPIFolder_Folders, DISPATCH_PROPERTYGET, 0},
    {L"Items", DISPID_Outlook_MAPIFolder_Items, DISPATCH_PROPERTYGET, 0},
    {L"Name", DISPID_Outlook_MAPIFolder_Name, DISPATCH_PROPERTYGET, 0},
    {L"StoreID", DISPID_Outlook_MAPIFolder_StoreID, DISPATCH_PROPERTYGET, 0},
}};
}  // namespace

FolderObject::FolderObject()
    : ModelBound(L"MAPIFolder", __uuidof(Outlook::MAPIFolder)), DualInterface(kFolderMembers) {}

HRESULT FolderObject::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) {
    HRESULT hr = S_OK;
    const DispatchMember* member = MemberToInvoke(id, flags, params, &hr);
    if (!member)
        return hr;
    BSTR text = nullptr;
    switch (member->id) {
        case DISPID_Outlook_Parent: {
            IDispatch* parent = nullptr;
            if (SUCCEEDED(hr = get_Parent(&parent)))
                ReturnObject(result, parent);
            return hr;
        }
        case DISPID_Outlook_MAPIFolder_Folders: {
            Outlook::_Folders* folders = nullptr;
            if (SUCCEEDED(hr = get_Folders(&folders)))
                ReturnInterface(result, folders);
            return hr;
        }
        case DISPID_Outlook_MAPIFolder_Items: {
            Outlook::_Items* items = nullptr;
            if (SUCCEEDED(hr = get_Items(&items)))
                ReturnInterface(result, items);
            return hr;
        }
        case DISPID_Outlook_EntryID:
            return ReturnTextOf(result, get_EntryID(&text), &text);
        case DISPID_Outlook_MAPIFolder_Name:
            return ReturnTextOf(result, get_Name(&text), &text);
        default:
            return ReturnTextOf(result, get_StoreID(&text), &text);
    }
}

STDMETHODIMP FolderObject::get_Parent(IDispatch** parent) {
    if (HRESULT hr = Enter(L"Parent", parent); FAILED(hr))
        return hr;
    if (!parent)
        return E_POINTER;
    *parent = nullptr;
    if (IsTopFolder(folder_))
        return Hand(model_->nameSpace, parent);
    FolderPtr above = folder_->Parent();
    if (!above)
        return kNotFound;
    return HandOut(WrapFolder(model_, std::move(above)), parent);
}

STDMETHODIMP FolderObject::get_EntryID(BSTR* entryId) {
    if (HRESULT hr = Enter(L"EntryID", entryId); FAILED(hr))
        return hr;
    if (!entryId)
        return E_POINTER;
    *entryId = Text(mailstore::EntryIdToHex(folder_->Id()));
    return *entryId ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP FolderObject::get_Folders(Outlook::_Folders** folders) {
    if (HRESULT hr = Enter(L"Folders", folders); FAILED(hr))
        return hr;
    if (!folders)
        return E_POINTER;
    CComPtr<FoldersObject> object = MakeObject<FoldersObject>();
    object->SetParent(folder_);
    object->Attach(model_);
    return Hand<Outlook::_Folders>(object, folders);
}

STDMETHODIMP FolderObject::get_Items(Outlook::_Items** items) {
    if (HRESULT hr = Enter(L"Items", items); FAILED(hr))
        return hr;
    if (!items)
        return E_POINTER;
    CComPtr<ItemsObject> object = MakeObject<ItemsObject>();
    object->SetFolder(folder_);
    object->Attach(model_);
    return Hand<Outlook::_Items>(object, items);
}

STDMETHODIMP FolderObject::get_Name(BSTR* name) {
    if (HRESULT hr = Enter(L"Name", name); FAILED(hr))
        return hr;
    if (!name)
        return E_POINTER;
    *name = Text(IsTopFolder(folder_) ? folder_->OwningStore()->DisplayName() : folder_->Name());
    return *name ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP FolderObject::get_StoreID(BSTR* storeId) {
    if (HRESULT hr = Enter(L"StoreID", storeId); FAILED(hr))
        return hr;
    if (!storeId)
        return E_POINTER;
    const mailstore::StorePtr store = folder_->OwningStore();
    *storeId = Text(store ? mailstore::EntryIdToHex(store->Id()) : std::wstring());
    return *storeId ? S_OK : E_OUTOFMEMORY;
}

// --- Items --------------------------------------------------------------------

namespace {
constexpr std::array<DispatchMember, 5> kItemsMembers{{
    {L"Count", DISPID_Outlook_Collection_Count, DISPATCH_PROPERTYGET, 0},
    {L"Item", DISPID_Outlook_Collection_Item, DISPATCH_METHOD | DISPATCH_PROPERTYGET, 1},
    {L"Remove", DISPID_Outlook_Collection_Remove, DISPATCH_METHOD, 1},
    {L"Restrict", DISPID_Outlook_Items_Restrict, DISPATCH_METHOD, 1},
    {L"Sort", DISPID_Outlook_Items_Sort, DISPATCH_METHOD, 2},
}};

// A failure Outlook reports through IDispatch as an exception with its text.
HRESULT Raise(EXCEPINFO* exception, const std::wstring& source, HRESULT code,
              const std::wstring& description) {
    if (exception) {
        *exception = EXCEPINFO{};
        exception->bstrSource = Text(source);
        exception->bstrDescription = Text(description);
        exception->scode = code;
    }
    return DISP_E_EXCEPTION;
}

// What a filter or sort that cannot be read answers through the vtable.
constexpr HRESULT kCannotParse = E_INVALIDARG;
}  // namespace

ItemsObject::ItemsObject()
    : ModelBound(L"Items", __uuidof(Outlook::_Items)), DualInterface(kItemsMembers) {}

std::vector<MessagePtr> ItemsObject::Listed() const {
    std::vector<MessagePtr> listed = matched_ ? *matched_ : folder_->Messages();
    if (sortKey_) {
        std::stable_sort(listed.begin(), listed.end(),
                         [&](const MessagePtr& a, const MessagePtr& b) {
                             return descending_ ? ComesBefore(*sortKey_, *b, *a)
                                                : ComesBefore(*sortKey_, *a, *b);
                         });
    }
    return listed;
}

HRESULT ItemsObject::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* exception, UINT* argumentError) {
    HRESULT hr = S_OK;
    // Sort's Descending may be left out.
    OptionalSecondArgument call(params, id == DISPID_Outlook_Items_Sort);
    params = call.Params();
    const DispatchMember* member = MemberToInvoke(id, flags, params, &hr);
    if (!member)
        return hr;
    switch (member->id) {
        case DISPID_Outlook_Collection_Count: {
            LONG count = 0;
            if (SUCCEEDED(hr = get_Count(&count)))
                ReturnLong(result, count);
            return hr;
        }
        case DISPID_Outlook_Collection_Item: {
            IDispatch* item = nullptr;
            hr = Item(ArgumentAt(params, 0), &item);
            if (hr == DISP_E_TYPEMISMATCH && argumentError)
                *argumentError = 0;
            if (SUCCEEDED(hr))
                ReturnObject(result, item);
            return hr;
        }
        case DISPID_Outlook_Collection_Remove: {
            VARIANT index;
            VariantInit(&index);
            VARIANT given = ArgumentAt(params, 0);
            if (FAILED(VariantChangeType(&index, &given, 0, VT_I4)))
                return BadArgument(argumentError, 0);
            return Remove(V_I4(&index));
        }
        default:
            break;
    }
    const VARIANT text = ArgumentAt(params, 0);
    if (V_VT(&text) != VT_BSTR)
        return BadArgument(argumentError, 0);
    if (member->id == DISPID_Outlook_Items_Sort) {
        hr = Sort(V_BSTR(&text), ArgumentAt(params, 1));
        if (hr == kCannotParse)
            return Raise(
                exception, model_->errorSource, hr,
                L"The property \"" + std::wstring(V_BSTR(&text)) + L"\" in the sort is not known.");
        return hr;
    }
    if (HRESULT entered = Enter(L"Restrict"); FAILED(entered))
        return entered;
    Outlook::_Items* restricted = nullptr;
    std::wstring error;
    hr = Restricted(V_BSTR(&text), &restricted, error);
    if (hr == kCannotParse)
        return Raise(exception, model_->errorSource, hr, error);
    if (SUCCEEDED(hr))
        ReturnInterface(result, restricted);
    return hr;
}

STDMETHODIMP ItemsObject::get_Count(LONG* count) {
    if (HRESULT hr = Enter(L"Count", count); FAILED(hr))
        return hr;
    if (!count)
        return E_POINTER;
    *count = static_cast<LONG>(matched_ ? matched_->size() : folder_->Messages().size());
    return S_OK;
}

STDMETHODIMP ItemsObject::Item(VARIANT index, IDispatch** item) {
    if (HRESULT hr = Enter(L"Item", item); FAILED(hr))
        return hr;
    if (!item)
        return E_POINTER;
    *item = nullptr;
    VARIANT number;
    VariantInit(&number);
    if (FAILED(VariantChangeType(&number, &index, 0, VT_I4)))
        return DISP_E_TYPEMISMATCH;
    const std::vector<MessagePtr> messages = Listed();
    const LONG position = V_I4(&number);
    if (position < 1 || position > static_cast<LONG>(messages.size()))
        return DISP_E_BADINDEX;
    return HandOut(WrapItem(model_, messages[position - 1]), item);
}

STDMETHODIMP ItemsObject::Remove(LONG index) {
    if (HRESULT hr = Enter(L"Remove"); FAILED(hr))
        return hr;
    const std::vector<MessagePtr> messages = Listed();
    if (index < 1 || index > static_cast<LONG>(messages.size()))
        return DISP_E_BADINDEX;
    const MessagePtr removed = messages[index - 1];
    removed->Delete();
    if (matched_)
        std::erase(*matched_, removed);
    return S_OK;
}

STDMETHODIMP ItemsObject::Restrict(BSTR filter, Outlook::_Items** items) {
    if (HRESULT hr = Enter(L"Restrict", items); FAILED(hr))
        return hr;
    std::wstring error;
    return Restricted(filter, items, error);
}

// The restricted collection is a snapshot: the items that matched when it was
// made, in this collection's order, keeping its sort.
HRESULT ItemsObject::Restricted(BSTR filter, Outlook::_Items** items, std::wstring& error) {
    if (!items)
        return E_POINTER;
    *items = nullptr;
    const std::wstring_view text(filter ? filter : L"", filter ? SysStringLen(filter) : 0);
    const std::optional<ItemFilter> parsed = ItemFilter::Parse(text, error);
    if (!parsed)
        return kCannotParse;
    std::vector<MessagePtr> matched;
    for (const MessagePtr& message : Listed())
        if (!message->IsDeleted() && parsed->Matches(*message))
            matched.push_back(message);
    CComPtr<ItemsObject> object = MakeObject<ItemsObject>();
    object->SetFolder(folder_);
    object->matched_ = std::move(matched);
    object->sortKey_ = sortKey_;
    object->descending_ = descending_;
    object->Attach(model_);
    return Hand<Outlook::_Items>(object, items);
}

STDMETHODIMP ItemsObject::Sort(BSTR property, VARIANT descending) {
    if (HRESULT hr = Enter(L"Sort"); FAILED(hr))
        return hr;
    const auto key =
        PropertyNamed(std::wstring_view(property ? property : L"", SysStringLen(property)));
    if (!key)
        return kCannotParse;
    bool down = false;
    if (V_VT(&descending) != VT_ERROR && V_VT(&descending) != VT_EMPTY) {
        VARIANT flag;
        VariantInit(&flag);
        if (FAILED(VariantChangeType(&flag, &descending, 0, VT_BOOL)))
            return DISP_E_TYPEMISMATCH;
        down = V_BOOL(&flag) != VARIANT_FALSE;
    }
    sortKey_ = key;
    descending_ = down;
    return S_OK;
}

}  // namespace outlook::objects
