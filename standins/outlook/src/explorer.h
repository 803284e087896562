// An explorer: one of Outlook's main windows, with its events.
#pragma once

#include <atlconnect.h>

#include <string>

#include "model.h"

namespace outlook::objects {

class CommandBarsObject;

class ExplorerObject
    : public ModelObject<Outlook::_Explorer>,
      public IConnectionPointContainerImpl<ExplorerObject>,
      public IConnectionPointImpl<ExplorerObject, &__uuidof(Outlook::ExplorerEvents)> {
  public:
    BEGIN_COM_MAP(ExplorerObject)
    COM_INTERFACE_ENTRY(Outlook::_Explorer)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    COM_INTERFACE_ENTRY(IConnectionPointContainer)
    END_COM_MAP()

    BEGIN_CONNECTION_POINT_MAP(ExplorerObject)
    CONNECTION_POINT_ENTRY(__uuidof(Outlook::ExplorerEvents))
    END_CONNECTION_POINT_MAP()

    static std::span<const DispatchMember> Members();
    ExplorerObject();
    ~ExplorerObject() override;

    void SetCaption(std::wstring caption) { m_caption = std::move(caption); }
    // The window's command bars, which the explorer owns.
    void SetCommandBars(CommandBarsObject* bars);
    CommandBarsObject* CommandBars() const { return m_bars; }
    // Raises one of ExplorerEvents (they carry no arguments).
    void Raise(DISPID event) { FireEvent(event); }

    STDMETHODIMP get_CommandBars(Office::_CommandBars** bars) override;
    STDMETHODIMP get_Caption(BSTR* caption) override;

  private:
    std::wstring m_caption;
    CComPtr<CommandBarsObject> m_bars;
};

}  // namespace outlook::objects
