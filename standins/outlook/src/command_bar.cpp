#include "command_bar.h"

#include <algorithm>
#include <array>

#include "command_bars.h"

namespace outlook::objects {

namespace {

constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;
using Bar = Office::CommandBar;
constexpr std::array kMembers{
    Member<&Bar::get_Controls>(L"Controls", DISPID_Office_CommandBar_Controls, kGet),
    Member<&Bar::Delete>(L"Delete", DISPID_Office_CommandBar_Delete, DISPATCH_METHOD),
    Member<&Bar::get_Left>(L"Left", DISPID_Office_CommandBar_Left, kGet),
    Member<&Bar::put_Left>(L"Left", DISPID_Office_CommandBar_Left, kPut),
    Member<&Bar::get_Name>(L"Name", DISPID_Office_CommandBar_Name, kGet),
    Member<&Bar::put_Name>(L"Name", DISPID_Office_CommandBar_Name, kPut),
    Member<&Bar::get_Position>(L"Position", DISPID_Office_CommandBar_Position, kGet),
    Member<&Bar::put_Position>(L"Position", DISPID_Office_CommandBar_Position, kPut),
    Member<&Bar::get_RowIndex>(L"RowIndex", DISPID_Office_CommandBar_RowIndex, kGet),
    Member<&Bar::put_RowIndex>(L"RowIndex", DISPID_Office_CommandBar_RowIndex, kPut),
    Member<&Bar::get_Protection>(L"Protection", DISPID_Office_CommandBar_Protection, kGet),
    Member<&Bar::put_Protection>(L"Protection", DISPID_Office_CommandBar_Protection, kPut),
    Member<&Bar::get_Top>(L"Top", DISPID_Office_CommandBar_Top, kGet),
    Member<&Bar::put_Top>(L"Top", DISPID_Office_CommandBar_Top, kPut),
    Member<&Bar::get_Visible>(L"Visible", DISPID_Office_CommandBar_Visible, kGet),
    Member<&Bar::put_Visible>(L"Visible", DISPID_Office_CommandBar_Visible, kPut),
};

constexpr wchar_t kBadArgument[] = L"Invalid procedure call or argument";
constexpr wchar_t kBarClass[] = L"MsoCommandBar";
constexpr int kBarWidth = 600;
constexpr int kAllProtections = 127;

void RegisterBarClass(HINSTANCE instance) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, kBarClass, &existing))
        return;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kBarClass;
    RegisterClassExW(&windowClass);
}

}  // namespace

std::span<const DispatchMember> CommandBarObject::Members() {
    return kMembers;
}

CommandBarObject::CommandBarObject() : ModelObject(L"CommandBar", kMembers) {}

CommandBarObject::~CommandBarObject() {
    if (m_window && IsWindow(m_window))
        DestroyWindow(m_window);
}

void CommandBarObject::Place(CommandBarsObject* owner, const host::BarInfo& info) {
    m_owner = owner;
    m_state = info;
    m_state.controls.clear();
    m_controls = MakeObject<CommandBarControlsObject>(m_model);
}

host::BarInfo CommandBarObject::Snapshot() const {
    host::BarInfo info = m_state;
    info.window = m_window;
    for (ControlNode* node : m_controls->Nodes())
        info.controls.push_back(node->Snapshot());
    return info;
}

void CommandBarObject::ShowIn(HWND dock) {
    if (m_window || !dock)
        return;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterBarClass(instance);
    m_window = CreateWindowExW(
        0, kBarClass, m_state.name.c_str(), WS_CHILD | (m_state.visible ? WS_VISIBLE : 0),
        m_state.left, m_state.top, kBarWidth, kRowHeight, dock, nullptr, instance, nullptr);
}

void CommandBarObject::Reposition() {
    if (m_window)
        SetWindowPos(m_window, nullptr, m_state.left, m_state.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CommandBarObject::MoveTo(int rowIndex, int left, int top) {
    m_state.rowIndex = std::max(1, rowIndex);
    m_state.top = std::max(0, top);
    m_state.left = std::max(0, left);
    Reposition();
}

HRESULT CommandBarObject::GetNumber(const wchar_t* member, int number, int* out) {
    if (HRESULT hr = Enter(member, out); FAILED(hr))
        return hr;
    *out = number;
    return S_OK;
}

STDMETHODIMP CommandBarObject::get_Controls(Office::CommandBarControls** controls) {
    if (HRESULT hr = Enter(L"Controls", controls); FAILED(hr))
        return hr;
    return Hand<Office::CommandBarControls>(m_controls, controls);
}

// A built-in bar cannot be deleted. A deleted bar leaves CommandBars and its
// window goes; the object answers no call afterwards, as a deleted bar's
// object in Office is disconnected from its clients.
STDMETHODIMP CommandBarObject::Delete() {
    if (HRESULT hr = Enter(L"Delete"); FAILED(hr))
        return hr;
    if (m_state.builtIn || !m_owner)
        return Fail(E_FAIL, L"Method 'Delete' of object 'CommandBar' failed");
    CComPtr<CommandBarObject> alive(this);
    m_owner->Remove(this);
    m_owner = nullptr;
    if (m_window && IsWindow(m_window))
        DestroyWindow(m_window);
    m_window = nullptr;
    m_controls->Disconnect();
    Detach();
    return S_OK;
}

STDMETHODIMP CommandBarObject::get_Left(int* left) {
    return GetNumber(L"Left", m_state.left, left);
}

STDMETHODIMP CommandBarObject::put_Left(int left) {
    if (HRESULT hr = Enter(L"Left"); FAILED(hr))
        return hr;
    MoveTo(m_state.rowIndex, left, m_state.top);
    return S_OK;
}

STDMETHODIMP CommandBarObject::get_Name(BSTR* name) {
    if (HRESULT hr = Enter(L"Name", name); FAILED(hr))
        return hr;
    return GiveText(m_state.name, name);
}

// Names are unique among the window's bars, ignoring case.
STDMETHODIMP CommandBarObject::put_Name(BSTR name) {
    if (HRESULT hr = Enter(L"Name"); FAILED(hr))
        return hr;
    const std::wstring given(name ? name : L"", name ? SysStringLen(name) : 0);
    if (given.empty() || m_state.builtIn || (m_owner && m_owner->Named(given, this)))
        return Fail(kInvalidArgument, kBadArgument);
    m_state.name = given;
    if (m_window)
        SetWindowTextW(m_window, given.c_str());
    return S_OK;
}

STDMETHODIMP CommandBarObject::get_Position(Office::MsoBarPosition* position) {
    if (HRESULT hr = Enter(L"Position", position); FAILED(hr))
        return hr;
    *position = static_cast<Office::MsoBarPosition>(m_state.position);
    return S_OK;
}

// A docked or floating position; a bar cannot become a pop-up or the menu
// bar afterwards.
STDMETHODIMP CommandBarObject::put_Position(Office::MsoBarPosition position) {
    if (HRESULT hr = Enter(L"Position"); FAILED(hr))
        return hr;
    if (position < Office::msoBarLeft || position > Office::msoBarFloating)
        return Fail(kInvalidArgument, kBadArgument);
    m_state.position = position;
    return S_OK;
}

STDMETHODIMP CommandBarObject::get_RowIndex(int* rowIndex) {
    return GetNumber(L"RowIndex", m_state.rowIndex, rowIndex);
}

// Rows count from 1; msoBarRowFirst (0) is the first row, msoBarRowLast (-1)
// a new row below the others. The top follows the row.
STDMETHODIMP CommandBarObject::put_RowIndex(int rowIndex) {
    if (HRESULT hr = Enter(L"RowIndex"); FAILED(hr))
        return hr;
    if (rowIndex < -1)
        return Fail(kInvalidArgument, kBadArgument);
    int row = rowIndex;
    if (row == 0)
        row = 1;
    else if (row == -1)
        row = (m_owner ? m_owner->LastRow(this) : 0) + 1;
    MoveTo(row, m_state.left, (row - 1) * kRowHeight);
    return S_OK;
}

STDMETHODIMP CommandBarObject::get_Protection(Office::MsoBarProtection* protection) {
    if (HRESULT hr = Enter(L"Protection", protection); FAILED(hr))
        return hr;
    *protection = static_cast<Office::MsoBarProtection>(m_state.protection);
    return S_OK;
}

STDMETHODIMP CommandBarObject::put_Protection(Office::MsoBarProtection protection) {
    if (HRESULT hr = Enter(L"Protection"); FAILED(hr))
        return hr;
    if (protection < 0 || protection > kAllProtections)
        return Fail(kInvalidArgument, kBadArgument);
    m_state.protection = protection;
    return S_OK;
}

STDMETHODIMP CommandBarObject::get_Top(int* top) {
    return GetNumber(L"Top", m_state.top, top);
}

// A docked bar's top picks its row: the row whose band holds it.
STDMETHODIMP CommandBarObject::put_Top(int top) {
    if (HRESULT hr = Enter(L"Top"); FAILED(hr))
        return hr;
    const int row = std::max(0, top) / kRowHeight + 1;
    MoveTo(row, m_state.left, (row - 1) * kRowHeight);
    return S_OK;
}

STDMETHODIMP CommandBarObject::get_Visible(VARIANT_BOOL* visible) {
    if (HRESULT hr = Enter(L"Visible", visible); FAILED(hr))
        return hr;
    *visible = m_state.visible ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CommandBarObject::put_Visible(VARIANT_BOOL visible) {
    if (HRESULT hr = Enter(L"Visible"); FAILED(hr))
        return hr;
    m_state.visible = visible != VARIANT_FALSE;
    if (m_window)
        ShowWindow(m_window, m_state.visible ? SW_SHOW : SW_HIDE);
    return S_OK;
}

}  // namespace outlook::objects
