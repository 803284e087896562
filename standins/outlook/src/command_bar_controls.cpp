#include "command_bar_controls.h"

#include <array>

#include "command_bar_button.h"
#include "command_bar_popup.h"

namespace outlook::objects {

namespace {

constexpr std::array kMembers{
    // Everything but the type may be left out (and the type too, for a button).
    Member<&Office::CommandBarControls::Add>(L"Add", DISPID_Office_CommandBarControls_Add,
                                             DISPATCH_METHOD, 5),
    Member<&Office::CommandBarControls::get_Count>(L"Count", DISPID_Office_CommandBarControls_Count,
                                                   DISPATCH_PROPERTYGET),
    Member<&Office::CommandBarControls::get_Item>(L"Item", DISPID_Office_CommandBarControls_Item,
                                                  DISPATCH_PROPERTYGET),
};

constexpr wchar_t kBadArgument[] = L"Invalid procedure call or argument";

// A number argument, or `fallback` when it was left out; false when it is no
// number.
bool NumberOr(const VARIANT& argument, LONG fallback, LONG& number) {
    if (LeftOut(argument)) {
        number = fallback;
        return true;
    }
    CComVariant converted;
    if (FAILED(VariantChangeType(&converted, &argument, 0, VT_I4)))
        return false;
    number = V_I4(&converted);
    return true;
}

}  // namespace

bool LeftOut(const VARIANT& argument) {
    return V_VT(&argument) == VT_ERROR || V_VT(&argument) == VT_EMPTY;
}

std::span<const DispatchMember> CommandBarControlsObject::Members() {
    return kMembers;
}

CommandBarControlsObject::CommandBarControlsObject()
    : ModelObject(L"CommandBarControls", kMembers) {}

std::vector<ControlNode*> CommandBarControlsObject::Nodes() const {
    std::vector<ControlNode*> nodes;
    for (const Entry& entry : m_entries)
        nodes.push_back(entry.node);
    return nodes;
}

CommandBarControlsObject::Entry CommandBarControlsObject::Make(int type) {
    if (type == Office::msoControlPopup) {
        CComPtr<CommandBarPopupObject> popup = MakeObject<CommandBarPopupObject>(m_model);
        popup->MakeControls();
        ControlNode* node = popup;
        return {CComPtr<IUnknown>(static_cast<IDispatch*>(node->Dispatch())), node};
    }
    CComPtr<CommandBarButtonObject> button = MakeObject<CommandBarButtonObject>(m_model);
    ControlNode* node = button;
    return {CComPtr<IUnknown>(static_cast<IDispatch*>(node->Dispatch())), node};
}

ControlNode* CommandBarControlsObject::Restore(const host::ControlInfo& info) {
    Entry entry = Make(info.type);
    std::vector<host::ControlInfo> nested;
    entry.node->fields = info;
    std::swap(nested, entry.node->fields.controls);
    if (CommandBarControlsObject* children = entry.node->Children()) {
        for (const host::ControlInfo& child : nested)
            children->Restore(child);
    }
    m_entries.push_back(entry);
    return entry.node;
}

void CommandBarControlsObject::Disconnect() {
    for (const Entry& entry : m_entries)
        entry.node->Disconnect();
}

// Office makes buttons and pop-up menus here (edit boxes, drop-downs and
// combo boxes are not made: E_INVALIDARG); a built-in control's Id is not
// known either. The new control goes before control `before` (from 1), else
// last.
STDMETHODIMP CommandBarControlsObject::Add(VARIANT type, VARIANT id, VARIANT /*parameter*/,
                                           VARIANT before, VARIANT temporary,
                                           Office::CommandBarControl** control) {
    if (HRESULT hr = Enter(L"Add", control); FAILED(hr))
        return hr;
    *control = nullptr;
    LONG kind = 0, builtIn = 0, position = 0;
    if (!NumberOr(type, Office::msoControlButton, kind) || !NumberOr(id, 1, builtIn) ||
        !NumberOr(before, static_cast<LONG>(m_entries.size()) + 1, position))
        return DISP_E_TYPEMISMATCH;
    if ((kind != Office::msoControlButton && kind != Office::msoControlPopup) || builtIn != 1 ||
        position < 1 || static_cast<std::size_t>(position) > m_entries.size() + 1)
        return Fail(kInvalidArgument, kBadArgument);
    bool isTemporary = false;
    if (!LeftOut(temporary)) {
        CComVariant flag;
        if (FAILED(VariantChangeType(&flag, &temporary, 0, VT_BOOL)))
            return DISP_E_TYPEMISMATCH;
        isTemporary = V_BOOL(&flag) != VARIANT_FALSE;
    }
    Entry entry = Make(kind);
    entry.node->fields.temporary = isTemporary;
    m_entries.insert(m_entries.begin() + (position - 1), entry);
    CComQIPtr<Office::CommandBarControl> added(entry.object);
    *control = added.Detach();
    return S_OK;
}

STDMETHODIMP CommandBarControlsObject::get_Count(int* count) {
    if (HRESULT hr = Enter(L"Count", count); FAILED(hr))
        return hr;
    *count = static_cast<int>(m_entries.size());
    return S_OK;
}

// By position from 1, or by caption (ignoring case).
STDMETHODIMP CommandBarControlsObject::get_Item(VARIANT index,
                                                Office::CommandBarControl** control) {
    if (HRESULT hr = Enter(L"Item", control); FAILED(hr))
        return hr;
    *control = nullptr;
    const Entry* found = nullptr;
    if (V_VT(&index) == VT_BSTR) {
        const std::wstring_view caption(V_BSTR(&index), SysStringLen(V_BSTR(&index)));
        for (const Entry& entry : m_entries) {
            if (!found && SameName(entry.node->fields.caption, caption))
                found = &entry;
        }
    } else {
        std::size_t position = 0;
        if (HRESULT hr = PositionOf(index, m_entries.size(), position); hr == DISP_E_TYPEMISMATCH)
            return hr;
        else if (SUCCEEDED(hr))
            found = &m_entries[position];
    }
    if (!found)
        return Fail(kInvalidArgument, kBadArgument);
    CComQIPtr<Office::CommandBarControl> item(found->object);
    *control = item.Detach();
    return S_OK;
}

host::ControlInfo ControlNode::Snapshot() {
    host::ControlInfo info = fields;
    info.controls.clear();
    if (CommandBarControlsObject* children = Children()) {
        for (ControlNode* child : children->Nodes())
            info.controls.push_back(child->Snapshot());
    }
    return info;
}

}  // namespace outlook::objects
