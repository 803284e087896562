// The command bars of one explorer window: Outlook's built-in bars and the
// bars callers add, in order. A bar that is not temporary is kept when
// Outlook quits and found again by the next start (OutlookHost saves them).
#pragma once

#include <vector>

#include "command_bar.h"

namespace outlook::objects {

class CommandBarsObject : public ModelObject<Office::_CommandBars> {
  public:
    BEGIN_COM_MAP(CommandBarsObject)
    COM_INTERFACE_ENTRY(Office::_CommandBars)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    static std::span<const DispatchMember> Members();
    CommandBarsObject();

    // Outlook's own bars, then the bars kept from the last run.
    void Populate(const std::vector<host::BarInfo>& kept);
    // The frame's "MsoDockTop" window, where each bar gets its window.
    void SetDock(HWND dock);
    // The frame is gone, and the bars' windows with it.
    void ForgetWindows();
    // Lets the sinks of every button go.
    void Disconnect();

    const std::vector<CComPtr<CommandBarObject>>& Bars() const { return m_bars; }
    CommandBarObject* Find(std::wstring_view name) const;
    // Whether a bar other than `except` is named `name` (ignoring case).
    bool Named(std::wstring_view name, const CommandBarObject* except) const;
    // The lowest row of the top dock's bars but `except`.
    int LastRow(const CommandBarObject* except) const;
    void Remove(CommandBarObject* bar);

    STDMETHODIMP Add(VARIANT name, VARIANT position, VARIANT menuBar, VARIANT temporary,
                     Office::CommandBar** bar) override;
    STDMETHODIMP get_Count(int* count) override;
    STDMETHODIMP get_Item(VARIANT index, Office::CommandBar** bar) override;

  private:
    CommandBarObject* Append(const host::BarInfo& info);

    std::vector<CComPtr<CommandBarObject>> m_bars;
    HWND m_dock = nullptr;
    int m_unnamed = 0;  // custom bars added without a name so far
};

}  // namespace outlook::objects
