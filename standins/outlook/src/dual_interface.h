// The IDispatch side of the object model's dual interfaces: one Invoke for
// every class, which finds the member in the class's table, checks the call
// as a type library's Invoke does and runs the member's vtable entry.
#pragma once

#include <oaidl.h>
#include <oleauto.h>

#include <span>
#include <string>
#include <string_view>

#include "dispatch_members.h"

namespace outlook::objects {

// Names as Outlook compares them: ignoring case.
bool SameName(std::wstring_view a, std::wstring_view b);

// GetIDsOfNames over `members`: names compare ignoring case; argument names
// are not known, so a call with more than one name fails for the extra ones.
HRESULT IdsOfNames(std::span<const DispatchMember> members, LPOLESTR* names, UINT count,
                   DISPID* ids);

// Invoke of member `id` of `object` from its table: a member answers only
// its kind (DISP_E_MEMBERNOTFOUND), takes no named arguments but a put's
// value (DISP_E_NONAMEDARGS), and its count of arguments
// (DISP_E_BADPARAMCOUNT), of which optional trailing ones may be left out.
HRESULT InvokeFromTable(std::span<const DispatchMember> members, IDispatch* object, DISPID id,
                        WORD flags, const DISPPARAMS* params, VARIANT* result, UINT* argumentError);

// The thread's error information, set aside while Invoke runs a member so
// that only what the member itself reports becomes Invoke's exception.
class DispatchErrorScope {
  public:
    DispatchErrorScope();
    ~DispatchErrorScope();
    DispatchErrorScope(const DispatchErrorScope&) = delete;
    DispatchErrorScope& operator=(const DispatchErrorScope&) = delete;

    // Invoke's answer for the member's `result`, as a type library's Invoke
    // gives it: a failure that left error information is DISP_E_EXCEPTION,
    // with that information in `exception` (or, without one, left on the
    // thread); any other result as it is.
    HRESULT Answer(HRESULT result, EXCEPINFO* exception);

  private:
    IErrorInfo* m_setAside = nullptr;
};

// Sets the thread's error information as a failing member of interface `iid`
// reports it, and gives `failure` back to return.
HRESULT ReportError(const wchar_t* source, const IID& iid, const std::wstring& description,
                    HRESULT failure);

// The IDispatch members that every dual interface of the model answers alike:
// names and calls from the class's member table, and no type information
// (callers reach members by name or DISPID). Error information is given for
// the interface (ISupportErrorInfo).
template <class I>
class DualInterface : public I, public ISupportErrorInfo {
  public:
    explicit DualInterface(std::span<const DispatchMember> members) : m_members(members) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) final {
        if (HRESULT reachable = Reachable(); FAILED(reachable))
            return reachable;
        DispatchErrorScope errors;
        return errors.Answer(InvokeFromTable(m_members, static_cast<I*>(this), id, flags, params,
                                             result, argumentError),
                             exception);
    }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        return iid == __uuidof(I) ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info)
            *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        return IdsOfNames(m_members, names, count, ids);
    }

  protected:
    // Whether a call through Invoke reaches the object at all; S_OK to go on.
    virtual HRESULT Reachable() { return S_OK; }

  private:
    std::span<const DispatchMember> m_members;
};

}  // namespace outlook::objects
