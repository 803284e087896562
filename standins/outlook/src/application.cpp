#include "application.h"

#include <array>
#include <string_view>

#include "explorer.h"
#include "explorers.h"
#include "namespace.h"

namespace outlook::objects {

namespace {
constexpr std::array kMembers{
    Member<&Outlook::_Application::get_Version>(L"Version", DISPID_Outlook_Application_Version,
                                                DISPATCH_PROPERTYGET),
    Member<&Outlook::_Application::ActiveExplorer>(
        L"ActiveExplorer", DISPID_Outlook_Application_ActiveExplorer, DISPATCH_METHOD),
    Member<&Outlook::_Application::GetNamespace>(
        L"GetNamespace", DISPID_Outlook_Application_GetNamespace, DISPATCH_METHOD),
    Member<&Outlook::_Application::get_Explorers>(
        L"Explorers", DISPID_Outlook_Application_Explorers, DISPATCH_PROPERTYGET),
};
}  // namespace

std::span<const DispatchMember> ApplicationObject::Members() {
    return kMembers;
}

ApplicationObject::ApplicationObject() : ModelObject(L"Application", kMembers) {}

void ApplicationObject::SetParts(ExplorersObject* explorers, NameSpaceObject* mapi) {
    m_explorers = explorers;
    m_mapi = mapi;
}

bool ApplicationObject::RaiseItemSend(IDispatch* item) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    FireEvent(DISPID_Outlook_ApplicationEvents_ItemSend, item, &cancel);
    return cancel != VARIANT_FALSE;
}

STDMETHODIMP ApplicationObject::get_Version(BSTR* version) {
    if (HRESULT hr = Enter(L"Version", version); FAILED(hr))
        return hr;
    return GiveText(m_model->version, version);
}

STDMETHODIMP ApplicationObject::ActiveExplorer(Outlook::_Explorer** explorer) {
    if (HRESULT hr = Enter(L"ActiveExplorer", explorer); FAILED(hr))
        return hr;
    return Hand<Outlook::_Explorer>(m_model->Active(), explorer);
}

STDMETHODIMP ApplicationObject::GetNamespace(BSTR type, Outlook::_NameSpace** nameSpace) {
    if (HRESULT hr = Enter(L"GetNamespace", nameSpace); FAILED(hr))
        return hr;
    *nameSpace = nullptr;
    const std::wstring_view mapi = L"MAPI";
    if (!type || std::wstring_view(type, SysStringLen(type)) != mapi)
        return E_INVALIDARG;
    return Hand<Outlook::_NameSpace>(m_mapi, nameSpace);
}

STDMETHODIMP ApplicationObject::get_Explorers(Outlook::_Explorers** explorers) {
    if (HRESULT hr = Enter(L"Explorers", explorers); FAILED(hr))
        return hr;
    return Hand<Outlook::_Explorers>(m_explorers, explorers);
}

}  // namespace outlook::objects
