#include "command_bar_popup.h"

#include <array>

#include "command_bar_controls.h"

namespace outlook::objects {

namespace {
constexpr std::array kOwn{
    Member<&Office::CommandBarPopup::get_Controls>(
        L"Controls", DISPID_Office_CommandBarPopup_Controls, DISPATCH_PROPERTYGET),
};
constexpr auto kMembers = Join(ControlMembers(), kOwn);
}  // namespace

std::span<const DispatchMember> CommandBarPopupObject::Members() {
    return kMembers;
}

CommandBarPopupObject::CommandBarPopupObject() : ControlObject(L"CommandBarPopup", kMembers) {
    fields.type = Office::msoControlPopup;
}

CommandBarPopupObject::~CommandBarPopupObject() = default;

void CommandBarPopupObject::MakeControls() {
    m_controls = MakeObject<CommandBarControlsObject>(m_model);
}

CommandBarControlsObject* CommandBarPopupObject::Children() {
    return m_controls;
}

void CommandBarPopupObject::Disconnect() {
    if (m_controls)
        m_controls->Disconnect();
}

STDMETHODIMP CommandBarPopupObject::get_Controls(Office::CommandBarControls** controls) {
    if (HRESULT hr = Enter(L"Controls", controls); FAILED(hr))
        return hr;
    return Hand<Office::CommandBarControls>(m_controls, controls);
}

}  // namespace outlook::objects
