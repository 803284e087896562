// A command bar of an explorer window: its controls, where it docks, what the
// user may do to it, and its window, a child titled with the bar's name in
// the frame's "MsoDockTop" window.
#pragma once

#include <windows.h>

#include "command_bar_controls.h"

namespace outlook::objects {

class CommandBarsObject;

class CommandBarObject : public ModelObject<Office::CommandBar> {
  public:
    BEGIN_COM_MAP(CommandBarObject)
    COM_INTERFACE_ENTRY(Office::CommandBar)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    // Rows of the top dock are this many pixels apart.
    static constexpr int kRowHeight = 26;

    static std::span<const DispatchMember> Members();
    CommandBarObject();
    ~CommandBarObject() override;

    // Joins `owner` with the state `info` gives (the controls are added apart).
    void Place(CommandBarsObject* owner, const host::BarInfo& info);
    CommandBarControlsObject* Controls() const { return m_controls; }
    const host::BarInfo& State() const { return m_state; }
    host::BarInfo Snapshot() const;
    // The bar's window in `dock` (made when missing); the dock gone, none.
    void ShowIn(HWND dock);
    void ForgetWindow() { m_window = nullptr; }
    // Moves the bar to a row, an offset from the dock's left and a top as
    // the user or a caller places it: the row follows the top (and the top
    // the row) in steps of kRowHeight.
    void MoveTo(int rowIndex, int left, int top);

    STDMETHODIMP get_Controls(Office::CommandBarControls** controls) override;
    STDMETHODIMP Delete() override;
    STDMETHODIMP get_Left(int* left) override;
    STDMETHODIMP put_Left(int left) override;
    STDMETHODIMP get_Name(BSTR* name) override;
    STDMETHODIMP put_Name(BSTR name) override;
    STDMETHODIMP get_Position(Office::MsoBarPosition* position) override;
    STDMETHODIMP put_Position(Office::MsoBarPosition position) override;
    STDMETHODIMP get_RowIndex(int* rowIndex) override;
    STDMETHODIMP put_RowIndex(int rowIndex) override;
    STDMETHODIMP get_Protection(Office::MsoBarProtection* protection) override;
    STDMETHODIMP put_Protection(Office::MsoBarProtection protection) override;
    STDMETHODIMP get_Top(int* top) override;
    STDMETHODIMP put_Top(int top) override;
    STDMETHODIMP get_Visible(VARIANT_BOOL* visible) override;
    STDMETHODIMP put_Visible(VARIANT_BOOL visible) override;

  private:
    HRESULT GetNumber(const wchar_t* member, int number, int* out);
    void Reposition();

    host::BarInfo m_state;
    CComPtr<CommandBarControlsObject> m_controls;
    CommandBarsObject* m_owner = nullptr;  // null once deleted
    HWND m_window = nullptr;
};

}  // namespace outlook::objects
