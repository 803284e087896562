#include "dispatch_members.h"

#include <cwctype>

namespace outlook::objects {

bool SameName(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    }
    return true;
}

HRESULT IdsOfNames(std::span<const DispatchMember> members, LPOLESTR* names, UINT count,
                   DISPID* ids) {
    if (!names || !ids)
        return E_POINTER;
    if (count == 0)
        return S_OK;
    HRESULT result = S_OK;
    ids[0] = DISPID_UNKNOWN;
    for (const DispatchMember& member : members) {
        if (names[0] && SameName(member.name, names[0]))
            ids[0] = member.id;
    }
    if (ids[0] == DISPID_UNKNOWN)
        result = DISP_E_UNKNOWNNAME;
    for (UINT i = 1; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        result = DISP_E_UNKNOWNNAME;
    }
    return result;
}

const DispatchMember* MemberToInvoke(std::span<const DispatchMember> members, DISPID id, WORD flags,
                                     const DISPPARAMS* params, HRESULT* result) {
    for (const DispatchMember& member : members) {
        if (member.id != id || !(flags & member.kind))
            continue;
        const UINT given = params ? params->cArgs : 0;
        if (params && params->cNamedArgs > 0)
            *result = DISP_E_NONAMEDARGS;
        else if (given != member.arguments)
            *result = DISP_E_BADPARAMCOUNT;
        else
            return &member;
        return nullptr;
    }
    *result = DISP_E_MEMBERNOTFOUND;
    return nullptr;
}

VARIANT ArgumentAt(const DISPPARAMS* params, UINT position) {
    VARIANT argument = params->rgvarg[params->cArgs - 1 - position];
    if (V_VT(&argument) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&argument))
        argument = *V_VARIANTREF(&argument);
    return argument;
}

DispatchErrorScope::DispatchErrorScope() {
    if (GetErrorInfo(0, &setAside_) != S_OK)
        setAside_ = nullptr;
}

DispatchErrorScope::~DispatchErrorScope() {
    if (setAside_) {
        SetErrorInfo(0, setAside_);
        setAside_->Release();
    }
}

HRESULT DispatchErrorScope::Answer(HRESULT result, EXCEPINFO* exception) {
    IErrorInfo* info = nullptr;
    if (!FAILED(result) || result == DISP_E_EXCEPTION || GetErrorInfo(0, &info) != S_OK)
        return result;
    // The member's own report replaces what was set aside.
    if (setAside_)
        setAside_->Release();
    setAside_ = nullptr;
    if (!exception) {
        setAside_ = info;  // stays on the thread for the caller
        return DISP_E_EXCEPTION;
    }
    *exception = EXCEPINFO{};
    info->GetSource(&exception->bstrSource);
    info->GetDescription(&exception->bstrDescription);
    info->GetHelpFile(&exception->bstrHelpFile);
    info->GetHelpContext(&exception->dwHelpContext);
    exception->scode = result;
    info->Release();
    return DISP_E_EXCEPTION;
}

void ReturnText(VARIANT* result, BSTR text) {
    if (!result) {
        SysFreeString(text);
        return;
    }
    VariantInit(result);
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = text;
}

void ReturnObject(VARIANT* result, IDispatch* object) {
    if (!result) {
        if (object)
            object->Release();
        return;
    }
    VariantInit(result);
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = object;
}

void ReturnUnknown(VARIANT* result, IUnknown* object) {
    if (!result) {
        if (object)
            object->Release();
        return;
    }
    VariantInit(result);
    V_VT(result) = VT_UNKNOWN;
    V_UNKNOWN(result) = object;
}

void ReturnLong(VARIANT* result, LONG value) {
    if (!result)
        return;
    VariantInit(result);
    V_VT(result) = VT_I4;
    V_I4(result) = value;
}

void ReturnBool(VARIANT* result, bool value) {
    if (!result)
        return;
    VariantInit(result);
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void ReturnDate(VARIANT* result, DATE value) {
    if (!result)
        return;
    VariantInit(result);
    V_VT(result) = VT_DATE;
    V_DATE(result) = value;
}

}  // namespace outlook::objects
