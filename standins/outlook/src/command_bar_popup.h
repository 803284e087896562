// A pop-up menu of a command bar: a control with controls of its own.
#pragma once

#include "command_bar_control.h"

namespace outlook::objects {

class CommandBarPopupObject : public ControlObject<Office::CommandBarPopup> {
  public:
    BEGIN_COM_MAP(CommandBarPopupObject)
    COM_INTERFACE_ENTRY(Office::CommandBarPopup)
    COM_INTERFACE_ENTRY(Office::CommandBarControl)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    static std::span<const DispatchMember> Members();
    CommandBarPopupObject();
    ~CommandBarPopupObject() override;
    // Makes the menu's own collection, bound as the menu is.
    void MakeControls();

    CommandBarControlsObject* Children() override;
    void Disconnect() override;

    STDMETHODIMP get_Controls(Office::CommandBarControls** controls) override;

  private:
    CComPtr<CommandBarControlsObject> m_controls;
};

}  // namespace outlook::objects
