#include "explorer.h"

#include <array>

#include "command_bars.h"

namespace outlook::objects {

namespace {
constexpr std::array kMembers{
    Member<&Outlook::_Explorer::get_CommandBars>(
        L"CommandBars", DISPID_Outlook_Explorer_CommandBars, DISPATCH_PROPERTYGET),
    Member<&Outlook::_Explorer::get_Caption>(L"Caption", DISPID_Outlook_Explorer_Caption,
                                             DISPATCH_PROPERTYGET),
};
}  // namespace

std::span<const DispatchMember> ExplorerObject::Members() {
    return kMembers;
}

ExplorerObject::ExplorerObject() : ModelObject(L"Explorer", kMembers) {}

ExplorerObject::~ExplorerObject() = default;

void ExplorerObject::SetCommandBars(CommandBarsObject* bars) {
    m_bars = bars;
}

STDMETHODIMP ExplorerObject::get_CommandBars(Office::_CommandBars** bars) {
    if (HRESULT hr = Enter(L"CommandBars", bars); FAILED(hr))
        return hr;
    return Hand<Office::_CommandBars>(m_bars, bars);
}

STDMETHODIMP ExplorerObject::get_Caption(BSTR* caption) {
    if (HRESULT hr = Enter(L"Caption", caption); FAILED(hr))
        return hr;
    return GiveText(m_caption, caption);
}

}  // namespace outlook::objects
