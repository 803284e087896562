#include "command_bars.h"

#include <algorithm>
#include <array>

namespace outlook::objects {

namespace {

constexpr std::array kMembers{
    // Every argument may be left out.
    Member<&Office::_CommandBars::Add>(L"Add", DISPID_Office_CommandBars_Add, DISPATCH_METHOD, 4),
    Member<&Office::_CommandBars::get_Count>(L"Count", DISPID_Office_CommandBars_Count,
                                             DISPATCH_PROPERTYGET),
    Member<&Office::_CommandBars::get_Item>(L"Item", DISPID_Office_CommandBars_Item,
                                            DISPATCH_PROPERTYGET),
};

constexpr wchar_t kBadArgument[] = L"Invalid procedure call or argument";

host::BarInfo BuiltInBar(const wchar_t* name, int row, int left, bool visible) {
    host::BarInfo bar;
    bar.name = name;
    bar.position = Office::msoBarTop;
    bar.rowIndex = row;
    bar.left = left;
    bar.top = (row - 1) * CommandBarObject::kRowHeight;
    bar.visible = visible;
    bar.builtIn = true;
    return bar;
}

// A flag argument, or false when left out; false in `ok` when it is none.
bool FlagOf(const VARIANT& argument, bool& ok) {
    ok = true;
    if (LeftOut(argument))
        return false;
    CComVariant flag;
    ok = SUCCEEDED(VariantChangeType(&flag, &argument, 0, VT_BOOL));
    return ok && V_BOOL(&flag) != VARIANT_FALSE;
}

}  // namespace

std::span<const DispatchMember> CommandBarsObject::Members() {
    return kMembers;
}

CommandBarsObject::CommandBarsObject() : ModelObject(L"CommandBars", kMembers) {}

void CommandBarsObject::Populate(const std::vector<host::BarInfo>& kept) {
    Append(BuiltInBar(L"Menu Bar", 1, 0, true));
    Append(BuiltInBar(L"Standard", 2, 0, true));
    Append(BuiltInBar(L"Advanced", 2, 420, false));
    for (const host::BarInfo& info : kept) {
        if (Named(info.name, nullptr))
            continue;
        CommandBarObject* bar = Append(info);
        for (const host::ControlInfo& control : info.controls)
            bar->Controls()->Restore(control);
    }
}

CommandBarObject* CommandBarsObject::Append(const host::BarInfo& info) {
    CComPtr<CommandBarObject> bar = MakeObject<CommandBarObject>(m_model);
    bar->Place(this, info);
    bar->ShowIn(m_dock);
    m_bars.push_back(bar);
    return bar;
}

void CommandBarsObject::SetDock(HWND dock) {
    m_dock = dock;
    for (const auto& bar : m_bars)
        bar->ShowIn(m_dock);
}

void CommandBarsObject::ForgetWindows() {
    m_dock = nullptr;
    for (const auto& bar : m_bars)
        bar->ForgetWindow();
}

void CommandBarsObject::Disconnect() {
    for (const auto& bar : m_bars)
        bar->Controls()->Disconnect();
}

CommandBarObject* CommandBarsObject::Find(std::wstring_view name) const {
    for (const auto& bar : m_bars) {
        if (SameName(bar->State().name, name))
            return bar;
    }
    return nullptr;
}

bool CommandBarsObject::Named(std::wstring_view name, const CommandBarObject* except) const {
    const CommandBarObject* found = Find(name);
    return found && found != except;
}

int CommandBarsObject::LastRow(const CommandBarObject* except) const {
    int last = 0;
    for (const auto& bar : m_bars) {
        const host::BarInfo& state = bar->State();
        if (bar != except && state.position == Office::msoBarTop && state.visible)
            last = std::max(last, state.rowIndex);
    }
    return last;
}

void CommandBarsObject::Remove(CommandBarObject* bar) {
    std::erase_if(m_bars, [bar](const CComPtr<CommandBarObject>& held) { return held == bar; });
}

// A new bar is a custom one, invisible until shown, docked in a row of its
// own below the others. Its name must be new among the window's bars
// (ignoring case); one left out is made up ("Custom 1"). A bar that replaces
// the menu bar (MenuBar true) is not made here.
STDMETHODIMP CommandBarsObject::Add(VARIANT name, VARIANT position, VARIANT menuBar,
                                    VARIANT temporary, Office::CommandBar** bar) {
    if (HRESULT hr = Enter(L"Add", bar); FAILED(hr))
        return hr;
    *bar = nullptr;
    host::BarInfo info;
    info.position = Office::msoBarFloating;
    if (!LeftOut(name)) {
        CComVariant text;
        if (FAILED(VariantChangeType(&text, &name, 0, VT_BSTR)))
            return DISP_E_TYPEMISMATCH;
        info.name.assign(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
    }
    if (!LeftOut(position)) {
        CComVariant number;
        if (FAILED(VariantChangeType(&number, &position, 0, VT_I4)))
            return DISP_E_TYPEMISMATCH;
        info.position = V_I4(&number);
    }
    bool flagsRead = true, flagRead = true;
    const bool replacesMenu = FlagOf(menuBar, flagsRead);
    info.temporary = FlagOf(temporary, flagRead);
    if (!flagsRead || !flagRead)
        return DISP_E_TYPEMISMATCH;
    if (info.name.empty())
        info.name = L"Custom " + std::to_wstring(++m_unnamed);
    if (replacesMenu || info.position < Office::msoBarLeft || info.position > Office::msoBarPopup ||
        Named(info.name, nullptr))
        return Fail(kInvalidArgument, kBadArgument);
    info.visible = false;
    info.rowIndex = LastRow(nullptr) + 1;
    info.top = (info.rowIndex - 1) * CommandBarObject::kRowHeight;
    return Hand<Office::CommandBar>(Append(info), bar);
}

STDMETHODIMP CommandBarsObject::get_Count(int* count) {
    if (HRESULT hr = Enter(L"Count", count); FAILED(hr))
        return hr;
    *count = static_cast<int>(m_bars.size());
    return S_OK;
}

// By position from 1 (a number of any type) or by name, ignoring case.
STDMETHODIMP CommandBarsObject::get_Item(VARIANT index, Office::CommandBar** bar) {
    if (HRESULT hr = Enter(L"Item", bar); FAILED(hr))
        return hr;
    *bar = nullptr;
    if (V_VT(&index) == VT_BSTR) {
        CommandBarObject* found =
            Find(std::wstring_view(V_BSTR(&index), SysStringLen(V_BSTR(&index))));
        if (!found)
            return Fail(kInvalidArgument, kBadArgument);
        return Hand<Office::CommandBar>(found, bar);
    }
    std::size_t position = 0;
    const HRESULT hr = PositionOf(index, m_bars.size(), position);
    if (hr == DISP_E_TYPEMISMATCH)
        return hr;
    if (FAILED(hr))
        return Fail(kInvalidArgument, kBadArgument);
    return Hand<Office::CommandBar>(m_bars[position], bar);
}

}  // namespace outlook::objects
