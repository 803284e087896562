// What every control of a command bar answers, buttons and pop-up menus
// alike: its caption, tag, tooltip, states and width (CommandBarControl), and
// the host's view of it.
#pragma once

#include <outlook_host.h>

#include <array>
#include <string>

#include "model.h"

namespace outlook::objects {

class CommandBarControlsObject;

// A control as the host walks it: its state, and what it holds.
class ControlNode {
  public:
    host::ControlInfo fields;
    virtual ~ControlNode() = default;
    // The object as its interface's IDispatch.
    virtual IDispatch* Dispatch() = 0;
    // A pop-up menu's controls; null for a button.
    virtual CommandBarControlsObject* Children() { return nullptr; }
    // Raises Click on this button's sinks (nothing for a menu).
    virtual void RaiseClick(IDispatch* /*clicked*/, VARIANT_BOOL* /*cancel*/) {}
    // Lets the sinks go (the host is going away).
    virtual void Disconnect() {}
    // The state with a menu's controls filled in.
    host::ControlInfo Snapshot();
};

// Office refuses a value out of a property's range with error 5 of its object
// model, "Invalid procedure call or argument".
inline constexpr HRESULT kInvalidArgument = E_INVALIDARG;

// A control of interface I (_CommandBarButton or CommandBarPopup).
template <class I>
class ControlObject : public ModelObject<I>, public ControlNode {
  public:
    using ModelObject<I>::ModelObject;

    IDispatch* Dispatch() override { return static_cast<I*>(this); }

    // Its error information is given through the control interface it shares
    // with the other kinds of control as well as through its own.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        return iid == __uuidof(Office::CommandBarControl)
                   ? S_OK
                   : ModelObject<I>::InterfaceSupportsErrorInfo(iid);
    }

    STDMETHODIMP get_BeginGroup(VARIANT_BOOL* value) override {
        return GetFlag(L"BeginGroup", fields.beginGroup, value);
    }
    STDMETHODIMP put_BeginGroup(VARIANT_BOOL value) override {
        return PutFlag(L"BeginGroup", fields.beginGroup, value);
    }
    STDMETHODIMP get_Caption(BSTR* value) override {
        return GetString(L"Caption", fields.caption, value);
    }
    STDMETHODIMP put_Caption(BSTR value) override {
        return PutString(L"Caption", fields.caption, value);
    }
    STDMETHODIMP get_Enabled(VARIANT_BOOL* value) override {
        return GetFlag(L"Enabled", fields.enabled, value);
    }
    STDMETHODIMP put_Enabled(VARIANT_BOOL value) override {
        return PutFlag(L"Enabled", fields.enabled, value);
    }
    STDMETHODIMP get_Priority(int* value) override {
        return GetNumber(L"Priority", fields.priority, value);
    }
    // Office takes priorities 0 to 7.
    STDMETHODIMP put_Priority(int value) override {
        if (HRESULT hr = this->Enter(L"Priority"); FAILED(hr))
            return hr;
        if (value < 0 || value > 7)
            return this->Fail(kInvalidArgument, L"Invalid procedure call or argument");
        fields.priority = value;
        return S_OK;
    }
    STDMETHODIMP get_Tag(BSTR* value) override { return GetString(L"Tag", fields.tag, value); }
    STDMETHODIMP put_Tag(BSTR value) override { return PutString(L"Tag", fields.tag, value); }
    STDMETHODIMP get_TooltipText(BSTR* value) override {
        return GetString(L"TooltipText", fields.tooltip, value);
    }
    STDMETHODIMP put_TooltipText(BSTR value) override {
        return PutString(L"TooltipText", fields.tooltip, value);
    }
    STDMETHODIMP get_Visible(VARIANT_BOOL* value) override {
        return GetFlag(L"Visible", fields.visible, value);
    }
    STDMETHODIMP put_Visible(VARIANT_BOOL value) override {
        return PutFlag(L"Visible", fields.visible, value);
    }
    STDMETHODIMP get_Width(int* value) override { return GetNumber(L"Width", fields.width, value); }
    STDMETHODIMP put_Width(int value) override {
        if (HRESULT hr = this->Enter(L"Width"); FAILED(hr))
            return hr;
        if (value < 0)
            return this->Fail(kInvalidArgument, L"Invalid procedure call or argument");
        fields.width = value;
        return S_OK;
    }

  protected:
    HRESULT GetFlag(const wchar_t* member, bool flag, VARIANT_BOOL* out) {
        if (HRESULT hr = this->Enter(member, out); FAILED(hr))
            return hr;
        *out = flag ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT PutFlag(const wchar_t* member, bool& flag, VARIANT_BOOL value) {
        if (HRESULT hr = this->Enter(member); FAILED(hr))
            return hr;
        flag = value != VARIANT_FALSE;
        return S_OK;
    }
    HRESULT GetString(const wchar_t* member, const std::wstring& text, BSTR* out) {
        if (HRESULT hr = this->Enter(member, out); FAILED(hr))
            return hr;
        return GiveText(text, out);
    }
    // A null string is an empty one, as a BSTR is.
    HRESULT PutString(const wchar_t* member, std::wstring& text, BSTR value) {
        if (HRESULT hr = this->Enter(member); FAILED(hr))
            return hr;
        text.assign(value ? value : L"", value ? SysStringLen(value) : 0);
        return S_OK;
    }
    HRESULT GetNumber(const wchar_t* member, int number, int* out) {
        if (HRESULT hr = this->Enter(member, out); FAILED(hr))
            return hr;
        *out = number;
        return S_OK;
    }
};

// The entries of CommandBarControl's members, in its vtable's order, for a
// table of interface I (the members are reached through CommandBarControl's
// own pointers, so the same entries serve the button, the pop-up menu and
// CommandBarControl's proxy).
constexpr std::array<DispatchMember, 16> ControlMembers() {
    using C = Office::CommandBarControl;
    constexpr WORD get = DISPATCH_PROPERTYGET;
    constexpr WORD put = DISPATCH_PROPERTYPUT;
    return {
        Member<&C::get_BeginGroup>(L"BeginGroup", DISPID_Office_CommandBarControl_BeginGroup, get),
        Member<&C::put_BeginGroup>(L"BeginGroup", DISPID_Office_CommandBarControl_BeginGroup, put),
        Member<&C::get_Caption>(L"Caption", DISPID_Office_CommandBarControl_Caption, get),
        Member<&C::put_Caption>(L"Caption", DISPID_Office_CommandBarControl_Caption, put),
        Member<&C::get_Enabled>(L"Enabled", DISPID_Office_CommandBarControl_Enabled, get),
        Member<&C::put_Enabled>(L"Enabled", DISPID_Office_CommandBarControl_Enabled, put),
        Member<&C::get_Priority>(L"Priority", DISPID_Office_CommandBarControl_Priority, get),
        Member<&C::put_Priority>(L"Priority", DISPID_Office_CommandBarControl_Priority, put),
        Member<&C::get_Tag>(L"Tag", DISPID_Office_CommandBarControl_Tag, get),
        Member<&C::put_Tag>(L"Tag", DISPID_Office_CommandBarControl_Tag, put),
        Member<&C::get_TooltipText>(L"TooltipText", DISPID_Office_CommandBarControl_TooltipText,
                                    get),
        Member<&C::put_TooltipText>(L"TooltipText", DISPID_Office_CommandBarControl_TooltipText,
                                    put),
        Member<&C::get_Visible>(L"Visible", DISPID_Office_CommandBarControl_Visible, get),
        Member<&C::put_Visible>(L"Visible", DISPID_Office_CommandBarControl_Visible, put),
        Member<&C::get_Width>(L"Width", DISPID_Office_CommandBarControl_Width, get),
        Member<&C::put_Width>(L"Width", DISPID_Office_CommandBarControl_Width, put),
    };
}

}  // namespace outlook::objects
