#include "objects.h"

#include <oleauto.h>

#include <cwchar>

#include <array>

namespace outlook::objects {

// --- Model ------------------------------------------------------------------

std::wstring ErrorSourceOf(const std::wstring& version) {
    const int major = std::wcstol(version.c_str(), nullptr, 10);
    return major > 0 && major <= 12 ? L"Microsoft Office Outlook" : L"Microsoft Outlook";
}

ExplorerObject* Model::Active() const {
    const ExplorerRecord* latest = nullptr;
    for (const ExplorerRecord& record : explorers) {
        if (record.open && (!latest || record.activated > latest->activated))
            latest = &record;
    }
    return latest ? latest->object.p : nullptr;
}

std::vector<ExplorerObject*> Model::Open() const {
    std::vector<ExplorerObject*> open;
    for (const ExplorerRecord& record : explorers) {
        if (record.open)
            open.push_back(record.object.p);
    }
    return open;
}

ExplorerRecord* Model::Find(int id) {
    for (ExplorerRecord& record : explorers) {
        if (record.id == id)
            return &record;
    }
    return nullptr;
}

// --- Explorer -----------------------------------------------------------------

namespace {
constexpr std::array<DispatchMember, 1> kExplorerMembers{{
    {L"Caption", DISPID_Outlook_Explorer_Caption, DISPATCH_PROPERTYGET, 0},
}};
}  // namespace

ExplorerObject::ExplorerObject()
    : ModelBound(L"Explorer", __uuidof(Outlook::_Explorer)), DualInterface(kExplorerMembers) {}

HRESULT ExplorerObject::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) {
    HRESULT hr = S_OK;
    const DispatchMember* member = MemberToInvoke(id, flags, params, &hr);
    if (!member)
        return hr;
    BSTR caption = nullptr;
    if (SUCCEEDED(hr = get_Caption(&caption)))
        ReturnText(result, caption);
    return hr;
}

STDMETHODIMP ExplorerObject::get_Caption(BSTR* caption) {
    if (HRESULT hr = Enter(L"Caption", caption); FAILED(hr))
        return hr;
    if (!caption)
        return E_POINTER;
    *caption = Text(caption_);
    return *caption ? S_OK : E_OUTOFMEMORY;
}

// --- Explorers ----------------------------------------------------------------

namespace {
constexpr std::array<DispatchMember, 2> kExplorersMembers{{
    {L"Count", DISPID_Outlook_Explorers_Count, DISPATCH_PROPERTYGET, 0},
    {L"Item", DISPID_Outlook_Explorers_Item, DISPATCH_METHOD, 1},
}};
}  // namespace

ExplorersObject::ExplorersObject()
    : ModelBound(L"Explorers", __uuidof(Outlook::_Explorers)), DualInterface(kExplorersMembers) {}

HRESULT ExplorersObject::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                      EXCEPINFO*, UINT* argumentError) {
    HRESULT hr = S_OK;
    const DispatchMember* member = MemberToInvoke(id, flags, params, &hr);
    if (!member)
        return hr;
    if (member->id == DISPID_Outlook_Explorers_Count) {
        LONG count = 0;
        if (SUCCEEDED(hr = get_Count(&count)))
            ReturnLong(result, count);
        return hr;
    }
    Outlook::_Explorer* explorer = nullptr;
    hr = Item(ArgumentAt(params, 0), &explorer);
    if (hr == DISP_E_TYPEMISMATCH && argumentError)
        *argumentError = 0;
    if (SUCCEEDED(hr))
        ReturnInterface(result, explorer);
    return hr;
}

STDMETHODIMP ExplorersObject::get_Count(LONG* count) {
    if (HRESULT hr = Enter(L"Count", count); FAILED(hr))
        return hr;
    if (!count)
        return E_POINTER;
    *count = static_cast<LONG>(model_->Open().size());
    return S_OK;
}

// The index counts from 1 over the open explorers; an index out of range is
// refused as Outlook refuses it ("Array index out of bounds").
STDMETHODIMP ExplorersObject::Item(VARIANT index, Outlook::_Explorer** explorer) {
    if (HRESULT hr = Enter(L"Item", explorer); FAILED(hr))
        return hr;
    if (!explorer)
        return E_POINTER;
    *explorer = nullptr;
    VARIANT number;
    VariantInit(&number);
    if (FAILED(VariantChangeType(&number, &index, 0, VT_I4)))
        return DISP_E_TYPEMISMATCH;
    const std::vector<ExplorerObject*> open = model_->Open();
    const LONG position = V_I4(&number);
    if (position < 1 || position > static_cast<LONG>(open.size()))
        return DISP_E_BADINDEX;
    return Hand<Outlook::_Explorer>(open[position - 1], explorer);
}

// --- Application --------------------------------------------------------------

namespace {
constexpr std::array<DispatchMember, 4> kApplicationMembers{{
    {L"Version", DISPID_Outlook_Application_Version, DISPATCH_PROPERTYGET, 0},
    {L"ActiveExplorer", DISPID_Outlook_Application_ActiveExplorer, DISPATCH_METHOD, 0},
    {L"GetNamespace", DISPID_Outlook_Application_GetNamespace, DISPATCH_METHOD, 1},
    {L"Explorers", DISPID_Outlook_Application_Explorers, DISPATCH_PROPERTYGET, 0},
}};
}  // namespace

bool ApplicationObject::RaiseItemSend(IDispatch* item) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    FireEvent(DISPID_Outlook_ApplicationEvents_ItemSend, item, &cancel);
    return cancel != VARIANT_FALSE;
}

ApplicationObject::ApplicationObject()
    : ModelBound(L"Application", __uuidof(Outlook::_Application)),
      DualInterface(kApplicationMembers) {}

HRESULT ApplicationObject::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                        EXCEPINFO*, UINT* argumentError) {
    HRESULT hr = S_OK;
    const DispatchMember* member = MemberToInvoke(id, flags, params, &hr);
    if (!member)
        return hr;
    switch (member->id) {
        case DISPID_Outlook_Application_Version: {
            BSTR version = nullptr;
            if (SUCCEEDED(hr = get_Version(&version)))
                ReturnText(result, version);
            return hr;
        }
        case DISPID_Outlook_Application_ActiveExplorer: {
            Outlook::_Explorer* explorer = nullptr;
            if (SUCCEEDED(hr = ActiveExplorer(&explorer)))
                ReturnInterface(result, explorer);
            return hr;
        }
        case DISPID_Outlook_Application_GetNamespace: {
            const VARIANT type = ArgumentAt(params, 0);
            if (V_VT(&type) != VT_BSTR) {
                if (argumentError)
                    *argumentError = 0;
                return DISP_E_TYPEMISMATCH;
            }
            Outlook::_NameSpace* nameSpace = nullptr;
            if (SUCCEEDED(hr = GetNamespace(V_BSTR(&type), &nameSpace)))
                ReturnInterface(result, nameSpace);
            return hr;
        }
        default: {
            Outlook::_Explorers* explorers = nullptr;
            if (SUCCEEDED(hr = get_Explorers(&explorers)))
                ReturnInterface(result, explorers);
            return hr;
        }
    }
}

STDMETHODIMP ApplicationObject::get_Version(BSTR* version) {
    if (HRESULT hr = Enter(L"Version", version); FAILED(hr))
        return hr;
    if (!version)
        return E_POINTER;
    *version = Text(model_->version);
    return *version ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ApplicationObject::ActiveExplorer(Outlook::_Explorer** explorer) {
    if (HRESULT hr = Enter(L"ActiveExplorer", explorer); FAILED(hr))
        return hr;
    if (!explorer)
        return E_POINTER;
    return Hand<Outlook::_Explorer>(model_->Active(), explorer);
}

STDMETHODIMP ApplicationObject::GetNamespace(BSTR type, Outlook::_NameSpace** nameSpace) {
    if (HRESULT hr = Enter(L"GetNamespace", nameSpace); FAILED(hr))
        return hr;
    if (!nameSpace)
        return E_POINTER;
    *nameSpace = nullptr;
    const std::wstring_view mapi = L"MAPI";
    if (!type || std::wstring_view(type, SysStringLen(type)) != mapi)
        return E_INVALIDARG;
    return Hand<Outlook::_NameSpace>(mapi_, nameSpace);
}

STDMETHODIMP ApplicationObject::get_Explorers(Outlook::_Explorers** explorers) {
    if (HRESULT hr = Enter(L"Explorers", explorers); FAILED(hr))
        return hr;
    if (!explorers)
        return E_POINTER;
    return Hand<Outlook::_Explorers>(explorers_, explorers);
}

}  // namespace outlook::objects
