// Late-bound calls as the add-in and Outlook's other clients make them, and
// the values they pass and get back, for tests of objects reached by name.
#pragma once

#include <oaidl.h>
#include <oleauto.h>

#include <algorithm>
#include <string>
#include <vector>

// The text of a returned BSTR, which is freed; a null BSTR is empty text.
inline std::wstring Take(BSTR text) {
    std::wstring copy = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return copy;
}

// An optional argument left out.
inline VARIANT Omitted() {
    VARIANT omitted;
    VariantInit(&omitted);
    V_VT(&omitted) = VT_ERROR;
    V_ERROR(&omitted) = DISP_E_PARAMNOTFOUND;
    return omitted;
}

inline VARIANT Number(LONG value) {
    VARIANT number;
    VariantInit(&number);
    V_VT(&number) = VT_I4;
    V_I4(&number) = value;
    return number;
}

// Calls a member by name with positional arguments (given in declaration
// order), as a late-bound caller does.
inline HRESULT CallByName(IDispatch* object, const wchar_t* name, WORD kind,
                          std::vector<VARIANT> args, VARIANT* result,
                          EXCEPINFO* exception = nullptr) {
    DISPID member = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &member);
    if (FAILED(hr))
        return hr;
    std::reverse(args.begin(), args.end());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.data(), kind == DISPATCH_PROPERTYPUT ? &putId : nullptr,
                      static_cast<UINT>(args.size()), kind == DISPATCH_PROPERTYPUT ? 1u : 0u};
    return object->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, exception,
                          nullptr);
}

// A property read by name.
inline HRESULT GetByName(IDispatch* object, const wchar_t* name, VARIANT* value) {
    return CallByName(object, name, DISPATCH_PROPERTYGET, {}, value);
}
