// A button of a command bar, with its Click event. Office raises Click on
// every button that has the clicked button's tag, in every window; the host
// finds them (OutlookHost::ClickControl) and calls RaiseClick on each.
#pragma once

#include <atlconnect.h>

#include "command_bar_control.h"

namespace outlook::objects {

class CommandBarButtonObject
    : public ControlObject<Office::_CommandBarButton>,
      public IConnectionPointContainerImpl<CommandBarButtonObject>,
      public IConnectionPointImpl<CommandBarButtonObject,
                                  &__uuidof(Office::_CommandBarButtonEvents)> {
  public:
    BEGIN_COM_MAP(CommandBarButtonObject)
    COM_INTERFACE_ENTRY(Office::_CommandBarButton)
    COM_INTERFACE_ENTRY(Office::CommandBarControl)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    COM_INTERFACE_ENTRY(IConnectionPointContainer)
    END_COM_MAP()

    BEGIN_CONNECTION_POINT_MAP(CommandBarButtonObject)
    CONNECTION_POINT_ENTRY(__uuidof(Office::_CommandBarButtonEvents))
    END_CONNECTION_POINT_MAP()

    static std::span<const DispatchMember> Members();
    CommandBarButtonObject();

    void RaiseClick(IDispatch* clicked, VARIANT_BOOL* cancel) override;
    void Disconnect() override { DisconnectSinks(); }

    STDMETHODIMP PasteFace() override;
    STDMETHODIMP get_Style(Office::MsoButtonStyle* style) override;
    STDMETHODIMP put_Style(Office::MsoButtonStyle style) override;
};

}  // namespace outlook::objects
