// The IDispatch side of the object model's dual interfaces: each class lists
// its members by name, DISPID and kind, and its Invoke calls the vtable member
// after these checks, as a type library's Invoke would.
#pragma once

#include <oaidl.h>
#include <oleauto.h>

#include <span>
#include <string_view>

namespace outlook::objects {

struct DispatchMember {
    const wchar_t* name;
    DISPID id;
    WORD kind;  // DISPATCH_PROPERTYGET or DISPATCH_METHOD
    UINT arguments;
};

// Names as Outlook compares them: ignoring case.
bool SameName(std::wstring_view a, std::wstring_view b);

// GetIDsOfNames over `members`: names compare ignoring case; argument names
// are not known, so a call with more than one name fails for the extra ones.
HRESULT IdsOfNames(std::span<const DispatchMember> members, LPOLESTR* names, UINT count,
                   DISPID* ids);

// The member `id` when it may be invoked with `flags` and `params`; otherwise
// null with the failure in `*result` (DISP_E_MEMBERNOTFOUND,
// DISP_E_BADPARAMCOUNT, DISP_E_NONAMEDARGS).
const DispatchMember* MemberToInvoke(std::span<const DispatchMember> members, DISPID id, WORD flags,
                                     const DISPPARAMS* params, HRESULT* result);

// Argument `position` (0 the first as declared) of `params`, a by-reference
// VARIANT taken as the VARIANT it refers to.
VARIANT ArgumentAt(const DISPPARAMS* params, UINT position);

// The arguments of a call to a member of two arguments whose second is
// optional: when the caller passed only the first, the second is filled in as
// left out (VT_ERROR, DISP_E_PARAMNOTFOUND), as a type library's Invoke fills
// it in; any other call's arguments are passed on as they are.
class OptionalSecondArgument {
  public:
    OptionalSecondArgument(DISPPARAMS* params, bool secondIsOptional) : params_(params) {
        if (!secondIsOptional || !params || params->cArgs != 1 || params->cNamedArgs != 0)
            return;
        VariantInit(&arguments_[0]);
        V_VT(&arguments_[0]) = VT_ERROR;
        V_ERROR(&arguments_[0]) = DISP_E_PARAMNOTFOUND;
        arguments_[1] = params->rgvarg[0];  // arguments are stored last first
        filled_.rgvarg = arguments_;
        filled_.cArgs = 2;
        params_ = &filled_;
    }
    OptionalSecondArgument(const OptionalSecondArgument&) = delete;
    OptionalSecondArgument& operator=(const OptionalSecondArgument&) = delete;

    DISPPARAMS* Params() const { return params_; }

  private:
    VARIANTARG arguments_[2]{};
    DISPPARAMS filled_{};
    DISPPARAMS* params_;
};

// Results of Invoke: the value moves into `result`, or is freed when the
// caller asked for none.
void ReturnText(VARIANT* result, BSTR text);
void ReturnObject(VARIANT* result, IDispatch* object);
void ReturnUnknown(VARIANT* result, IUnknown* object);
void ReturnLong(VARIANT* result, LONG value);
void ReturnBool(VARIANT* result, bool value);
void ReturnDate(VARIANT* result, DATE value);

inline BSTR Text(std::wstring_view text) {
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

// An interface result with a reference for the caller.
template <class I>
HRESULT Hand(I* object, I** out) {
    if (object)
        object->AddRef();
    *out = object;
    return S_OK;
}

// An interface result of Invoke as the IDispatch it derives from.
template <class I>
void ReturnInterface(VARIANT* result, I* object) {
    ReturnObject(result, static_cast<IDispatch*>(object));
}

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
    IErrorInfo* setAside_ = nullptr;
};

// The IDispatch members that every dual interface of the model answers alike:
// names from the class's member table, and no type information (callers
// reach members by name or DISPID); Invoke runs the class's InvokeMember and
// reports its failures as Outlook's Invoke does. Error information is given
// for the interface (ISupportErrorInfo).
template <class I>
class DualInterface : public I, public ISupportErrorInfo {
  public:
    explicit DualInterface(std::span<const DispatchMember> members) : members_(members) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) final {
        DispatchErrorScope errors;
        return errors.Answer(InvokeMember(id, flags, params, result, exception, argumentError),
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
        return IdsOfNames(members_, names, count, ids);
    }

  protected:
    // Invoke after IDispatch's own checks: the class's members by DISPID.
    virtual HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO* exception, UINT* argumentError) = 0;

    const DispatchMember* MemberToInvoke(DISPID id, WORD flags, const DISPPARAMS* params,
                                         HRESULT* result) const {
        return objects::MemberToInvoke(members_, id, flags, params, result);
    }

  private:
    std::span<const DispatchMember> members_;
};

}  // namespace outlook::objects
