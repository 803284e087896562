// Office's command bars as an add-in includes them: the bars of an explorer
// window, their controls (buttons and pop-up menus), and the event
// dispinterface of a button's Click.
//
// The interfaces carry Office's identities and DISPIDs (the Office 12 object
// library), so a caller that reaches a member by name through IDispatch, or by
// a DISPID it knows, gets the same member as from Office. Each interface lists
// only the members that are given, in the order they have in Office's own
// interfaces. Office derives these interfaces from its accessibility interface
// (IAccessible and the Application/Creator pair before the members below);
// here they derive from IDispatch directly, as Outlook's interfaces in
// outlook.h do, so a vtable slot is counted from IDispatch's last member.
//
// Numbers are `int` where Office declares `int` (Count, Left, Top, RowIndex,
// Width, Priority), as the object library's C++ import declares them.
#pragma once

#include <oaidl.h>
#include <interface_uuid.h>

namespace Office {

struct _CommandBars;
struct CommandBar;
struct CommandBarControls;
struct CommandBarControl;
struct _CommandBarButton;
struct CommandBarPopup;

// Where a bar is docked.
enum MsoBarPosition {
    msoBarLeft = 0,
    msoBarTop = 1,
    msoBarRight = 2,
    msoBarBottom = 3,
    msoBarFloating = 4,
    msoBarPopup = 5,
    msoBarMenuBar = 6,
};

// What the user may not do to a bar (flags, combined).
enum MsoBarProtection {
    msoBarNoProtection = 0,
    msoBarNoCustomize = 1,
    msoBarNoResize = 2,
    msoBarNoMove = 4,
    msoBarNoChangeVisible = 8,
    msoBarNoChangeDock = 16,
    msoBarNoVerticalDock = 32,
    msoBarNoHorizontalDock = 64,
};

// The kinds of control that CommandBarControls.Add makes (the others of
// Office's list are edit boxes, drop-downs and the like).
enum MsoControlType {
    msoControlCustom = 0,
    msoControlButton = 1,
    msoControlEdit = 2,
    msoControlDropdown = 3,
    msoControlComboBox = 4,
    msoControlPopup = 10,
};

// How a button shows its face and caption.
enum MsoButtonStyle {
    msoButtonAutomatic = 0,
    msoButtonIcon = 1,
    msoButtonCaption = 2,
    msoButtonIconAndCaption = 3,
    msoButtonIconAndWrapCaption = 7,
    msoButtonIconAndCaptionBelow = 11,
    msoButtonWrapCaption = 14,
    msoButtonIconAndWrapCaptionBelow = 15,
};

// The bars of one explorer window. Item takes an index from 1 (a VARIANT of
// any integer type) or a bar's name.
struct _CommandBars : public IDispatch {
    // Name, Position, MenuBar and Temporary may each be left out (VT_ERROR).
    virtual HRESULT STDMETHODCALLTYPE Add(VARIANT Name, VARIANT Position, VARIANT MenuBar,
                                          VARIANT Temporary, CommandBar** Bar) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(int* Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT Index, CommandBar** Bar) = 0;
};
BV_DECLARE_UUID(_CommandBars, "000C0302-0000-0000-C000-000000000046")
using CommandBars = _CommandBars;

struct CommandBar : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Controls(CommandBarControls** Controls) = 0;
    virtual HRESULT STDMETHODCALLTYPE Delete() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Left(int* Left) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Left(int Left) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* Name) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR Name) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Position(MsoBarPosition* Position) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Position(MsoBarPosition Position) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RowIndex(int* RowIndex) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_RowIndex(int RowIndex) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Protection(MsoBarProtection* Protection) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Protection(MsoBarProtection Protection) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Top(int* Top) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Top(int Top) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* Visible) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL Visible) = 0;
};
BV_DECLARE_UUID(CommandBar, "000C0304-0000-0000-C000-000000000046")

// The controls of a bar or of a pop-up menu, in their order; Item counts
// from 1.
struct CommandBarControls : public IDispatch {
    // Type is msoControlButton or msoControlPopup; Id, Parameter, Before and
    // Temporary may be left out (VT_ERROR).
    virtual HRESULT STDMETHODCALLTYPE Add(VARIANT Type, VARIANT Id, VARIANT Parameter,
                                          VARIANT Before, VARIANT Temporary,
                                          CommandBarControl** Control) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(int* Count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT Index, CommandBarControl** Control) = 0;
};
BV_DECLARE_UUID(CommandBarControls, "000C0306-0000-0000-C000-000000000046")

// What every control has; a button and a pop-up menu extend it.
struct CommandBarControl : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_BeginGroup(VARIANT_BOOL* BeginGroup) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BeginGroup(VARIANT_BOOL BeginGroup) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Caption(BSTR* Caption) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Caption(BSTR Caption) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* Enabled) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL Enabled) = 0;
    // 1 keeps the control on a bar too short for all of them.
    virtual HRESULT STDMETHODCALLTYPE get_Priority(int* Priority) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Priority(int Priority) = 0;
    // Buttons that share a tag share their Click event.
    virtual HRESULT STDMETHODCALLTYPE get_Tag(BSTR* Tag) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Tag(BSTR Tag) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TooltipText(BSTR* TooltipText) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_TooltipText(BSTR TooltipText) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* Visible) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL Visible) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Width(int* Width) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Width(int Width) = 0;
};
BV_DECLARE_UUID(CommandBarControl, "000C0308-0000-0000-C000-000000000046")

struct _CommandBarButton : public CommandBarControl {
    // The face from the clipboard's bitmap (CF_BITMAP).
    virtual HRESULT STDMETHODCALLTYPE PasteFace() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Style(MsoButtonStyle* Style) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Style(MsoButtonStyle Style) = 0;
};
BV_DECLARE_UUID(_CommandBarButton, "000C030E-0000-0000-C000-000000000046")
using CommandBarButton = _CommandBarButton;

// A pop-up menu: a control with controls of its own.
struct CommandBarPopup : public CommandBarControl {
    virtual HRESULT STDMETHODCALLTYPE get_Controls(CommandBarControls** Controls) = 0;
};
BV_DECLARE_UUID(CommandBarPopup, "000C030A-0000-0000-C000-000000000046")

// The event dispinterface of a button: sinks answer its IID and take Click as
// an IDispatch::Invoke call with the DISPID below.
struct _CommandBarButtonEvents : public IDispatch {};
BV_DECLARE_UUID(_CommandBarButtonEvents, "000C0351-0000-0000-C000-000000000046")

}  // namespace Office

// Members of the dual interfaces.
enum {
    DISPID_Office_CommandBars_Add = 0x60030002,
    DISPID_Office_CommandBars_Count = 0x60030003,
    DISPID_Office_CommandBars_Item = 0,  // DISPID_VALUE
    DISPID_Office_CommandBar_Controls = 0x60040003,
    DISPID_Office_CommandBar_Delete = 0x60040004,
    DISPID_Office_CommandBar_Left = 0x6004000C,
    DISPID_Office_CommandBar_Name = 0x6004000E,
    DISPID_Office_CommandBar_Position = 0x60040013,
    DISPID_Office_CommandBar_RowIndex = 0x60040015,
    DISPID_Office_CommandBar_Protection = 0x60040017,
    DISPID_Office_CommandBar_Top = 0x6004001B,
    DISPID_Office_CommandBar_Visible = 0x6004001E,
    DISPID_Office_CommandBarControls_Add = 0x60030000,
    DISPID_Office_CommandBarControls_Count = 0x60030001,
    DISPID_Office_CommandBarControls_Item = 0,  // DISPID_VALUE
    DISPID_Office_CommandBarControl_BeginGroup = 0x60040000,
    DISPID_Office_CommandBarControl_Caption = 0x60040003,
    DISPID_Office_CommandBarControl_Enabled = 0x6004000A,
    DISPID_Office_CommandBarControl_Priority = 0x6004001F,
    DISPID_Office_CommandBarControl_Tag = 0x60040023,
    DISPID_Office_CommandBarControl_TooltipText = 0x60040025,
    DISPID_Office_CommandBarControl_Visible = 0x60040029,
    DISPID_Office_CommandBarControl_Width = 0x6004002B,
    DISPID_Office_CommandBarButton_PasteFace = 0x60050005,
    DISPID_Office_CommandBarButton_Style = 0x6005000A,
    DISPID_Office_CommandBarPopup_Controls = 0x60050001,
};

// Events.
enum {
    // _CommandBarButtonEvents.Click(CommandBarButton* Ctrl, VARIANT_BOOL* CancelDefault)
    DISPID_Office_CommandBarButtonEvents_Click = 1,
};
