#include "mail_objects.h"

#include <mapiview/mapi_view.h>

#include <oleauto.h>

#include <array>
#include <optional>

namespace outlook::objects {

namespace {

using mailstore::FolderPtr;
using mailstore::MessagePtr;

// MAPI's answers for an object that is not there and a name already taken.
constexpr HRESULT kNotFound = static_cast<HRESULT>(0x8004010F);
constexpr HRESULT kCollision = static_cast<HRESULT>(0x80040604);

mailstore::Model& Store() {
    return mailstore::Model::Process();
}

CComPtr<FolderObject> WrapFolder(Model* model, FolderPtr folder) {
    CComPtr<FolderObject> object = MakeObject<FolderObject>();
    object->SetFolder(std::move(folder));
    object->Attach(model);
    return object;
}

CComPtr<MailItemObject> WrapItem(Model* model, MessagePtr message) {
    CComPtr<MailItemObject> object = MakeObject<MailItemObject>();
    object->SetMessage(std::move(message));
    object->Attach(model);
    return object;
}

template <class T>
HRESULT HandOut(const CComPtr<T>& object, IDispatch** out) {
    *out = static_cast<IDispatch*>(object.p);
    (*out)->AddRef();
    return S_OK;
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

std::optional<mailstore::EntryId> EntryIdArgument(BSTR text) {
    if (!text || SysStringLen(text) == 0)
        return std::nullopt;
    return mailstore::EntryIdFromHex(std::wstring_view(text, SysStringLen(text)));
}

bool InStore(const mailstore::StorePtr& store, const std::optional<mailstore::EntryId>& storeId) {
    return !storeId || (store && store->Id() == *storeId);
}

// The local time zone's offset from UTC now, in FILETIME units.
LONGLONG LocalOffset() {
    SYSTEMTIME utc{}, local{};
    GetSystemTime(&utc);
    GetLocalTime(&local);
    FILETIME utcTime{}, localTime{};
    SystemTimeToFileTime(&utc, &utcTime);
    SystemTimeToFileTime(&local, &localTime);
    const auto ticks = [](const FILETIME& time) {
        return static_cast<LONGLONG>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime);
    };
    constexpr LONGLONG kMinute = 600000000;
    const LONGLONG offset = ticks(localTime) - ticks(utcTime);
    return (offset >= 0 ? offset + kMinute / 2 : offset - kMinute / 2) / kMinute * kMinute;
}

// The text a getter wrote into `*text` as the result of Invoke; the getter's
// result is taken first (`hr`), so the text is read after it was written.
HRESULT ReturnTextOf(VARIANT* result, HRESULT hr, BSTR* text) {
    if (SUCCEEDED(hr))
        ReturnText(result, *text);
    return hr;
}

HRESULT BadArgument(UINT* argumentError, UINT position) {
    if (argumentError)
        *argumentError = position;
    return DISP_E_TYPEMISMATCH;
}

}  // namespace

// --- NameSpace ----------------------------------------------------------------

namespace {
constexpr std::array<DispatchMember, 5> kNameSpaceMembers{{
    {L"Folders", DISPID_Outlook_NameSpace_Folders, DISPATCH_PROPERTYGET, 0},
    {L"MAPIOBJECT", DISPID_Outlook_MAPIOBJECT, DISPATCH_PROPERTYGET, 0},
    {L"GetDefaultFolder", DISPID_Outlook_NameSpace_GetDefaultFolder, DISPATCH_METHOD, 1},
    {L"GetFolderFromID", DISPID_Outlook_NameSpace_GetFolderFromID, DISPATCH_METHOD, 2},
    {L"GetItemFromID", DISPID_Outlook_NameSpace_GetItemFromID, DISPATCH_METHOD, 2},
}};
}  // namespace

NameSpaceObject::NameSpaceObject() : DualInterface(kNameSpaceMembers) {}

STDMETHODIMP NameSpaceObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT* argumentError) {
    if (!model_)
        return RPC_E_DISCONNECTED;
    HRESULT hr = S_OK;
    // The store identifier may be left out, as a caller of IDispatch may.
    DISPPARAMS filled{};
    VARIANTARG arguments[2];
    if (params && params->cArgs == 1 && params->cNamedArgs == 0 &&
        (id == DISPID_Outlook_NameSpace_GetFolderFromID ||
         id == DISPID_Outlook_NameSpace_GetItemFromID)) {
        VariantInit(&arguments[0]);
        V_VT(&arguments[0]) = VT_ERROR;
        V_ERROR(&arguments[0]) = DISP_E_PARAMNOTFOUND;
        arguments[1] = params->rgvarg[0];
        filled.rgvarg = arguments;
        filled.cArgs = 2;
        params = &filled;
    }
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
    if (HRESULT hr = Enter(L"Folders"); FAILED(hr))
        return hr;
    if (!folders)
        return E_POINTER;
    CComPtr<FoldersObject> object = MakeObject<FoldersObject>();
    object->Attach(model_);
    return Hand<Outlook::_Folders>(object, folders);
}

STDMETHODIMP NameSpaceObject::GetDefaultFolder(LONG folderType, Outlook::MAPIFolder** folder) {
    if (HRESULT hr = Enter(L"GetDefaultFolder"); FAILED(hr))
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
    if (HRESULT hr = Enter(L"GetFolderFromID"); FAILED(hr))
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
    if (HRESULT hr = Enter(L"GetItemFromID"); FAILED(hr))
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

STDMETHODIMP NameSpaceObject::get_MAPIOBJECT(IUnknown** session) {
    if (HRESULT hr = Enter(L"MAPIOBJECT"); FAILED(hr))
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

FoldersObject::FoldersObject() : DualInterface(kFoldersMembers) {}

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

STDMETHODIMP FoldersObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT* argumentError) {
    if (!model_)
        return RPC_E_DISCONNECTED;
    HRESULT hr = S_OK;
    // The folder type of Add may be left out.
    DISPPARAMS filled{};
    VARIANTARG arguments[2];
    if (id == DISPID_Outlook_Folders_Add && params && params->cArgs == 1 &&
        params->cNamedArgs == 0) {
        VariantInit(&arguments[0]);
        V_VT(&arguments[0]) = VT_ERROR;
        V_ERROR(&arguments[0]) = DISP_E_PARAMNOTFOUND;
        arguments[1] = params->rgvarg[0];
        filled.rgvarg = arguments;
        filled.cArgs = 2;
        params = &filled;
    }
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
    if (HRESULT hr = Enter(L"Count"); FAILED(hr))
        return hr;
    if (!count)
        return E_POINTER;
    *count = static_cast<LONG>(Listed().size());
    return S_OK;
}

STDMETHODIMP FoldersObject::Item(VARIANT index, Outlook::MAPIFolder** folder) {
    if (HRESULT hr = Enter(L"Item"); FAILED(hr))
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
    if (HRESULT hr = Enter(L"Add"); FAILED(hr))
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

FolderObject::FolderObject() : DualInterface(kFolderMembers) {}

STDMETHODIMP FolderObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO*, UINT*) {
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
    if (HRESULT hr = Enter(L"Parent"); FAILED(hr))
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
    if (HRESULT hr = Enter(L"EntryID"); FAILED(hr))
        return hr;
    if (!entryId)
        return E_POINTER;
    *entryId = Text(mailstore::EntryIdToHex(folder_->Id()));
    return *entryId ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP FolderObject::get_Folders(Outlook::_Folders** folders) {
    if (HRESULT hr = Enter(L"Folders"); FAILED(hr))
        return hr;
    if (!folders)
        return E_POINTER;
    CComPtr<FoldersObject> object = MakeObject<FoldersObject>();
    object->SetParent(folder_);
    object->Attach(model_);
    return Hand<Outlook::_Folders>(object, folders);
}

STDMETHODIMP FolderObject::get_Items(Outlook::_Items** items) {
    if (HRESULT hr = Enter(L"Items"); FAILED(hr))
        return hr;
    if (!items)
        return E_POINTER;
    CComPtr<ItemsObject> object = MakeObject<ItemsObject>();
    object->SetFolder(folder_);
    object->Attach(model_);
    return Hand<Outlook::_Items>(object, items);
}

STDMETHODIMP FolderObject::get_Name(BSTR* name) {
    if (HRESULT hr = Enter(L"Name"); FAILED(hr))
        return hr;
    if (!name)
        return E_POINTER;
    *name = Text(IsTopFolder(folder_) ? folder_->OwningStore()->DisplayName() : folder_->Name());
    return *name ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP FolderObject::get_StoreID(BSTR* storeId) {
    if (HRESULT hr = Enter(L"StoreID"); FAILED(hr))
        return hr;
    if (!storeId)
        return E_POINTER;
    const mailstore::StorePtr store = folder_->OwningStore();
    *storeId = Text(store ? mailstore::EntryIdToHex(store->Id()) : std::wstring());
    return *storeId ? S_OK : E_OUTOFMEMORY;
}

// --- Items --------------------------------------------------------------------

namespace {
constexpr std::array<DispatchMember, 3> kItemsMembers{{
    {L"Count", DISPID_Outlook_Collection_Count, DISPATCH_PROPERTYGET, 0},
    {L"Item", DISPID_Outlook_Collection_Item, DISPATCH_METHOD | DISPATCH_PROPERTYGET, 1},
    {L"Remove", DISPID_Outlook_Collection_Remove, DISPATCH_METHOD, 1},
}};
}  // namespace

ItemsObject::ItemsObject() : DualInterface(kItemsMembers) {}

STDMETHODIMP ItemsObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO*, UINT* argumentError) {
    HRESULT hr = S_OK;
    const DispatchMember* member = MemberToInvoke(id, flags, params, &hr);
    if (!member)
        return hr;
    if (member->id == DISPID_Outlook_Collection_Count) {
        LONG count = 0;
        if (SUCCEEDED(hr = get_Count(&count)))
            ReturnLong(result, count);
        return hr;
    }
    if (member->id == DISPID_Outlook_Collection_Item) {
        IDispatch* item = nullptr;
        hr = Item(ArgumentAt(params, 0), &item);
        if (hr == DISP_E_TYPEMISMATCH && argumentError)
            *argumentError = 0;
        if (SUCCEEDED(hr))
            ReturnObject(result, item);
        return hr;
    }
    VARIANT index;
    VariantInit(&index);
    VARIANT given = ArgumentAt(params, 0);
    if (FAILED(VariantChangeType(&index, &given, 0, VT_I4)))
        return BadArgument(argumentError, 0);
    return Remove(V_I4(&index));
}

STDMETHODIMP ItemsObject::get_Count(LONG* count) {
    if (HRESULT hr = Enter(L"Count"); FAILED(hr))
        return hr;
    if (!count)
        return E_POINTER;
    *count = static_cast<LONG>(folder_->Messages().size());
    return S_OK;
}

STDMETHODIMP ItemsObject::Item(VARIANT index, IDispatch** item) {
    if (HRESULT hr = Enter(L"Item"); FAILED(hr))
        return hr;
    if (!item)
        return E_POINTER;
    *item = nullptr;
    VARIANT number;
    VariantInit(&number);
    if (FAILED(VariantChangeType(&number, &index, 0, VT_I4)))
        return DISP_E_TYPEMISMATCH;
    const std::vector<MessagePtr> messages = folder_->Messages();
    const LONG position = V_I4(&number);
    if (position < 1 || position > static_cast<LONG>(messages.size()))
        return DISP_E_BADINDEX;
    return HandOut(WrapItem(model_, messages[position - 1]), item);
}

STDMETHODIMP ItemsObject::Remove(LONG index) {
    if (HRESULT hr = Enter(L"Remove"); FAILED(hr))
        return hr;
    const std::vector<MessagePtr> messages = folder_->Messages();
    if (index < 1 || index > static_cast<LONG>(messages.size()))
        return DISP_E_BADINDEX;
    messages[index - 1]->Delete();
    return S_OK;
}

// --- Mail item ----------------------------------------------------------------

namespace {
constexpr std::array<DispatchMember, 16> kMailItemMembers{{
    {L"Class", DISPID_Outlook_Class, DISPATCH_PROPERTYGET, 0},
    {L"Parent", DISPID_Outlook_Parent, DISPATCH_PROPERTYGET, 0},
    {L"Body", DISPID_Outlook_MailItem_Body, DISPATCH_PROPERTYGET, 0},
    {L"EntryID", DISPID_Outlook_EntryID, DISPATCH_PROPERTYGET, 0},
    {L"MAPIOBJECT", DISPID_Outlook_MAPIOBJECT, DISPATCH_PROPERTYGET, 0},
    {L"MessageClass", DISPID_Outlook_MailItem_MessageClass, DISPATCH_PROPERTYGET, 0},
    {L"Size", DISPID_Outlook_MailItem_Size, DISPATCH_PROPERTYGET, 0},
    {L"Subject", DISPID_Outlook_MailItem_Subject, DISPATCH_PROPERTYGET, 0},
    {L"UnRead", DISPID_Outlook_MailItem_UnRead, DISPATCH_PROPERTYGET, 0},
    {L"UnRead", DISPID_Outlook_MailItem_UnRead, DISPATCH_PROPERTYPUT, 1},
    {L"Move", DISPID_Outlook_MailItem_Move, DISPATCH_METHOD, 1},
    {L"Save", DISPID_Outlook_MailItem_Save, DISPATCH_METHOD, 0},
    {L"HTMLBody", DISPID_Outlook_MailItem_HTMLBody, DISPATCH_PROPERTYGET, 0},
    {L"ReadReceiptRequested", DISPID_Outlook_MailItem_ReadReceiptRequested, DISPATCH_PROPERTYGET,
     0},
    {L"ReadReceiptRequested", DISPID_Outlook_MailItem_ReadReceiptRequested, DISPATCH_PROPERTYPUT,
     1},
    {L"ReceivedTime", DISPID_Outlook_MailItem_ReceivedTime, DISPATCH_PROPERTYGET, 0},
}};
}  // namespace

MailItemObject::MailItemObject() : DualInterface(kMailItemMembers) {}

HRESULT MailItemObject::Reach(const wchar_t* member) {
    if (HRESULT hr = Enter(member); FAILED(hr))
        return hr;
    // A message deleted or moved to another store is gone for this object.
    return message_ && !message_->IsDeleted() ? S_OK : kNotFound;
}

STDMETHODIMP MailItemObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO*, UINT* argumentError) {
    HRESULT hr = S_OK;
    // A property put carries its value as a named argument (DISPID_PROPERTYPUT).
    DISPPARAMS positional{};
    if ((flags & DISPATCH_PROPERTYPUT) && params && params->cNamedArgs == 1 &&
        params->rgdispidNamedArgs && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT) {
        positional = *params;
        positional.cNamedArgs = 0;
        positional.rgdispidNamedArgs = nullptr;
        params = &positional;
    }
    const DispatchMember* member = MemberToInvoke(id, flags, params, &hr);
    if (!member)
        return hr;
    BSTR text = nullptr;
    if (member->kind == DISPATCH_PROPERTYPUT) {
        VARIANT value;
        VariantInit(&value);
        VARIANT given = ArgumentAt(params, 0);
        if (FAILED(VariantChangeType(&value, &given, 0, VT_BOOL)))
            return BadArgument(argumentError, 0);
        return member->id == DISPID_Outlook_MailItem_UnRead
                   ? put_UnRead(V_BOOL(&value))
                   : put_ReadReceiptRequested(V_BOOL(&value));
    }
    switch (member->id) {
        case DISPID_Outlook_Class:
        case DISPID_Outlook_MailItem_Size: {
            LONG number = 0;
            hr = member->id == DISPID_Outlook_Class ? get_Class(&number) : get_Size(&number);
            if (SUCCEEDED(hr))
                ReturnLong(result, number);
            return hr;
        }
        case DISPID_Outlook_Parent: {
            IDispatch* parent = nullptr;
            if (SUCCEEDED(hr = get_Parent(&parent)))
                ReturnObject(result, parent);
            return hr;
        }
        case DISPID_Outlook_MailItem_Body:
            return ReturnTextOf(result, get_Body(&text), &text);
        case DISPID_Outlook_EntryID:
            return ReturnTextOf(result, get_EntryID(&text), &text);
        case DISPID_Outlook_MAPIOBJECT: {
            IUnknown* message = nullptr;
            if (SUCCEEDED(hr = get_MAPIOBJECT(&message)))
                ReturnUnknown(result, message);
            return hr;
        }
        case DISPID_Outlook_MailItem_MessageClass:
            return ReturnTextOf(result, get_MessageClass(&text), &text);
        case DISPID_Outlook_MailItem_Subject:
            return ReturnTextOf(result, get_Subject(&text), &text);
        case DISPID_Outlook_MailItem_HTMLBody:
            return ReturnTextOf(result, get_HTMLBody(&text), &text);
        case DISPID_Outlook_MailItem_UnRead:
        case DISPID_Outlook_MailItem_ReadReceiptRequested: {
            VARIANT_BOOL flag = VARIANT_FALSE;
            hr = member->id == DISPID_Outlook_MailItem_UnRead ? get_UnRead(&flag)
                                                              : get_ReadReceiptRequested(&flag);
            if (SUCCEEDED(hr))
                ReturnBool(result, flag != VARIANT_FALSE);
            return hr;
        }
        case DISPID_Outlook_MailItem_Move: {
            const VARIANT destination = ArgumentAt(params, 0);
            CComPtr<Outlook::MAPIFolder> folder;
            if (V_VT(&destination) != VT_DISPATCH || !V_DISPATCH(&destination) ||
                FAILED(V_DISPATCH(&destination)
                           ->QueryInterface(__uuidof(Outlook::MAPIFolder),
                                            reinterpret_cast<void**>(&folder))))
                return BadArgument(argumentError, 0);
            IDispatch* moved = nullptr;
            if (SUCCEEDED(hr = Move(folder, &moved)))
                ReturnObject(result, moved);
            return hr;
        }
        case DISPID_Outlook_MailItem_Save:
            return Save();
        default: {
            DATE received = 0;
            if (SUCCEEDED(hr = get_ReceivedTime(&received)))
                ReturnDate(result, received);
            return hr;
        }
    }
}

STDMETHODIMP MailItemObject::get_Class(LONG* objectClass) {
    if (HRESULT hr = Reach(L"Class"); FAILED(hr))
        return hr;
    if (!objectClass)
        return E_POINTER;
    const std::wstring messageClass =
        message_->GetText(mailstore::tags::kMessageClass).value_or(L"");
    const auto startsWith = [&](std::wstring_view prefix) {
        return messageClass.size() >= prefix.size() &&
               SameName(std::wstring_view(messageClass).substr(0, prefix.size()), prefix);
    };
    if (startsWith(L"REPORT."))
        *objectClass = Outlook::olReport;
    else if (startsWith(L"IPM.Schedule.Meeting.Request"))
        *objectClass = Outlook::olMeetingRequest;
    else if (startsWith(L"IPM.Post"))
        *objectClass = Outlook::olPost;
    else
        *objectClass = Outlook::olMail;
    return S_OK;
}

STDMETHODIMP MailItemObject::get_Parent(IDispatch** parent) {
    if (HRESULT hr = Reach(L"Parent"); FAILED(hr))
        return hr;
    if (!parent)
        return E_POINTER;
    FolderPtr folder = message_->Parent();
    if (!folder)
        return kNotFound;
    return HandOut(WrapFolder(model_, std::move(folder)), parent);
}

STDMETHODIMP MailItemObject::get_Body(BSTR* body) {
    if (HRESULT hr = Reach(L"Body"); FAILED(hr))
        return hr;
    if (!body)
        return E_POINTER;
    *body = Text(message_->PlainBody());
    return *body ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP MailItemObject::get_EntryID(BSTR* entryId) {
    if (HRESULT hr = Reach(L"EntryID"); FAILED(hr))
        return hr;
    if (!entryId)
        return E_POINTER;
    *entryId = Text(mailstore::EntryIdToHex(message_->Id()));
    return *entryId ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP MailItemObject::get_MAPIOBJECT(IUnknown** message) {
    if (HRESULT hr = Reach(L"MAPIOBJECT"); FAILED(hr))
        return hr;
    if (!message)
        return E_POINTER;
    *message = nullptr;
    IMessage* mapi = nullptr;
    const HRESULT hr = mapiview::MessageFor(message_, &mapi);
    *message = mapi;
    return hr;
}

STDMETHODIMP MailItemObject::get_MessageClass(BSTR* messageClass) {
    if (HRESULT hr = Reach(L"MessageClass"); FAILED(hr))
        return hr;
    if (!messageClass)
        return E_POINTER;
    *messageClass = Text(message_->GetText(mailstore::tags::kMessageClass).value_or(L""));
    return *messageClass ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP MailItemObject::get_Size(LONG* size) {
    if (HRESULT hr = Reach(L"Size"); FAILED(hr))
        return hr;
    if (!size)
        return E_POINTER;
    *size = static_cast<LONG>(message_->Size());
    return S_OK;
}

STDMETHODIMP MailItemObject::get_Subject(BSTR* subject) {
    if (HRESULT hr = Reach(L"Subject"); FAILED(hr))
        return hr;
    if (!subject)
        return E_POINTER;
    *subject = Text(message_->Subject());
    return *subject ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP MailItemObject::get_UnRead(VARIANT_BOOL* unread) {
    if (HRESULT hr = Reach(L"UnRead"); FAILED(hr))
        return hr;
    if (!unread)
        return E_POINTER;
    *unread = message_->IsRead() ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP MailItemObject::put_UnRead(VARIANT_BOOL unread) {
    if (HRESULT hr = Reach(L"UnRead"); FAILED(hr))
        return hr;
    message_->SetRead(unread == VARIANT_FALSE);
    return S_OK;
}

// The destination is taken by its entry identifier, so a folder from another
// apartment (a proxy) serves as well as one of this thread.
STDMETHODIMP MailItemObject::Move(Outlook::MAPIFolder* destination, IDispatch** item) {
    if (HRESULT hr = Reach(L"Move"); FAILED(hr))
        return hr;
    if (!item)
        return E_POINTER;
    *item = nullptr;
    if (!destination)
        return E_INVALIDARG;
    CComBSTR entryId;
    if (HRESULT hr = destination->get_EntryID(&entryId); FAILED(hr))
        return hr;
    const auto id = EntryIdArgument(entryId);
    FolderPtr folder = id ? Store().FindFolder(*id) : nullptr;
    if (!folder)
        return kNotFound;
    message_ = message_->MoveTo(folder);
    return HandOut(WrapItem(model_, message_), item);
}

// The model keeps every change as it is made: saving has nothing left to write.
STDMETHODIMP MailItemObject::Save() {
    return Reach(L"Save");
}

STDMETHODIMP MailItemObject::get_HTMLBody(BSTR* body) {
    if (HRESULT hr = Reach(L"HTMLBody"); FAILED(hr))
        return hr;
    if (!body)
        return E_POINTER;
    *body = Text(message_->HtmlBody());
    return *body ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP MailItemObject::get_ReadReceiptRequested(VARIANT_BOOL* requested) {
    if (HRESULT hr = Reach(L"ReadReceiptRequested"); FAILED(hr))
        return hr;
    if (!requested)
        return E_POINTER;
    const bool asked = message_->GetBool(mailstore::tags::kReadReceiptRequested).value_or(false);
    *requested = asked ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// Clearing the request also clears the pending receipt, so none is sent.
STDMETHODIMP MailItemObject::put_ReadReceiptRequested(VARIANT_BOOL requested) {
    if (HRESULT hr = Reach(L"ReadReceiptRequested"); FAILED(hr))
        return hr;
    const bool asked = requested != VARIANT_FALSE;
    message_->Set(mailstore::tags::kReadReceiptRequested, asked);
    if (!asked) {
        const std::uint32_t flags = message_->Flags() & ~mailstore::kMsgFlagReceiptPending;
        message_->Set(mailstore::tags::kMessageFlags, static_cast<std::int32_t>(flags));
    }
    return S_OK;
}

STDMETHODIMP MailItemObject::get_ReceivedTime(DATE* received) {
    if (HRESULT hr = Reach(L"ReceivedTime"); FAILED(hr))
        return hr;
    if (!received)
        return E_POINTER;
    const auto ticks = static_cast<ULONGLONG>(
        static_cast<LONGLONG>(message_->ReceivedTime().ticks) + LocalOffset());
    const FILETIME fileTime{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME local{};
    if (!FileTimeToSystemTime(&fileTime, &local) || !SystemTimeToVariantTime(&local, received))
        return E_FAIL;
    return S_OK;
}

}  // namespace outlook::objects
