#include "dual_interface.h"

#include <atlbase.h>

#include <iterator>
#include <string>

namespace outlook::objects {

namespace {

// The member `id` that answers `flags`, or null.
const DispatchMember* Find(std::span<const DispatchMember> members, DISPID id, WORD flags) {
    for (const DispatchMember& member : members) {
        if (member.id == id && (flags & member.kind))
            return &member;
    }
    return nullptr;
}

// A put carries its value as the one named argument DISPID_PROPERTYPUT.
bool IsPutValue(WORD flags, const DISPPARAMS& params) {
    return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && params.cNamedArgs == 1 &&
           params.rgdispidNamedArgs && params.rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
}

}  // namespace

// Member names are matched as a type library matches them: ignoring case.
bool SameName(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
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

HRESULT InvokeFromTable(std::span<const DispatchMember> members, IDispatch* object, DISPID id,
                        WORD flags, const DISPPARAMS* params, VARIANT* result,
                        UINT* argumentError) {
    const DispatchMember* member = Find(members, id, flags);
    if (!member)
        return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS given = params ? *params : DISPPARAMS{};
    if (IsPutValue(flags, given)) {
        given.cNamedArgs = 0;
        given.rgdispidNamedArgs = nullptr;
    }
    if (given.cNamedArgs > 0)
        return DISP_E_NONAMEDARGS;
    if (given.cArgs > member->arguments || given.cArgs + member->optional < member->arguments)
        return DISP_E_BADPARAMCOUNT;
    // Optional arguments left out are filled in as a type library's Invoke
    // fills them in; the arguments are stored last first, so they go in front.
    VARIANTARG arguments[16];
    if (given.cArgs < member->arguments) {
        const UINT missing = member->arguments - given.cArgs;
        if (member->arguments > std::size(arguments))
            return DISP_E_BADPARAMCOUNT;
        for (UINT i = 0; i < missing; ++i) {
            VariantInit(&arguments[i]);
            V_VT(&arguments[i]) = VT_ERROR;
            V_ERROR(&arguments[i]) = DISP_E_PARAMNOTFOUND;
        }
        for (UINT i = 0; i < given.cArgs; ++i)
            arguments[missing + i] = given.rgvarg[i];
        given.rgvarg = arguments;
        given.cArgs = member->arguments;
    }
    return member->call(object, given, result, argumentError);
}

namespace dispatch {

VARIANT ArgumentAt(const DISPPARAMS& params, UINT position) {
    VARIANT argument = params.rgvarg[params.cArgs - 1 - position];
    if (V_VT(&argument) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&argument))
        argument = *V_VARIANTREF(&argument);
    return argument;
}

}  // namespace dispatch

DispatchErrorScope::DispatchErrorScope() {
    if (GetErrorInfo(0, &m_setAside) != S_OK)
        m_setAside = nullptr;
}

DispatchErrorScope::~DispatchErrorScope() {
    if (m_setAside) {
        SetErrorInfo(0, m_setAside);
        m_setAside->Release();
    }
}

HRESULT DispatchErrorScope::Answer(HRESULT result, EXCEPINFO* exception) {
    IErrorInfo* info = nullptr;
    if (!FAILED(result) || result == DISP_E_EXCEPTION || GetErrorInfo(0, &info) != S_OK)
        return result;
    // The member's own report replaces what was set aside.
    if (m_setAside)
        m_setAside->Release();
    m_setAside = nullptr;
    if (!exception) {
        m_setAside = info;  // stays on the thread for the caller
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

HRESULT ReportError(const wchar_t* source, const IID& iid, const std::wstring& description,
                    HRESULT failure) {
    CComPtr<ICreateErrorInfo> creator;
    if (FAILED(CreateErrorInfo(&creator)))
        return failure;
    creator->SetGUID(iid);
    creator->SetSource(const_cast<LPOLESTR>(source));
    creator->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    CComQIPtr<IErrorInfo> info(static_cast<IUnknown*>(creator.p));
    if (info)
        SetErrorInfo(0, info);
    return failure;
}

}  // namespace outlook::objects
