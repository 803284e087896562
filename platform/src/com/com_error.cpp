// Raising _com_error, and the system's texts for the common HRESULTs that
// _com_error::ErrorMessage reports.
#include <comdef.h>

namespace platform::com {

namespace {

struct MessageEntry {
    HRESULT hr;
    const wchar_t* text;
};

// Windows' own English texts, without the trailing line break.
constexpr MessageEntry kMessages[] = {
    {S_OK, L"The operation completed successfully."},
    {E_UNEXPECTED, L"Catastrophic failure"},
    {E_NOTIMPL, L"Not implemented"},
    {E_OUTOFMEMORY, L"Not enough memory resources are available to complete this operation."},
    {E_INVALIDARG, L"The parameter is incorrect."},
    {E_NOINTERFACE, L"No such interface supported"},
    {E_POINTER, L"Invalid pointer"},
    {E_HANDLE, L"The handle is invalid."},
    {E_ABORT, L"Operation aborted"},
    {E_FAIL, L"Unspecified error"},
    {E_ACCESSDENIED, L"Access is denied."},
    {E_PENDING, L"The data necessary to complete this operation is not yet available."},
    {DISP_E_UNKNOWNINTERFACE, L"Unknown interface."},
    {DISP_E_MEMBERNOTFOUND, L"Member not found."},
    {DISP_E_PARAMNOTFOUND, L"Parameter not found."},
    {DISP_E_TYPEMISMATCH, L"Type mismatch."},
    {DISP_E_UNKNOWNNAME, L"Unknown name."},
    {DISP_E_NONAMEDARGS, L"No named arguments."},
    {DISP_E_BADVARTYPE, L"Bad variable type."},
    {DISP_E_EXCEPTION, L"Exception occurred."},
    {DISP_E_OVERFLOW, L"Out of present range."},
    {DISP_E_BADINDEX, L"Invalid index."},
    {DISP_E_ARRAYISLOCKED, L"Memory is locked."},
    {DISP_E_BADPARAMCOUNT, L"Invalid number of parameters."},
    {DISP_E_PARAMNOTOPTIONAL, L"Parameter not optional."},
    {CLASS_E_NOAGGREGATION, L"Class does not support aggregation (or class object is remote)"},
    {CLASS_E_CLASSNOTAVAILABLE, L"ClassFactory cannot supply requested class"},
    {REGDB_E_CLASSNOTREG, L"Class not registered"},
    {CO_E_NOTINITIALIZED, L"CoInitialize has not been called."},
    {CO_E_CLASSSTRING, L"Invalid class string"},
};

}  // namespace

const wchar_t* SystemMessageText(HRESULT hr) {
    for (const MessageEntry& entry : kMessages) {
        if (entry.hr == hr)
            return entry.text;
    }
    return nullptr;
}

}  // namespace platform::com

void WINAPI _com_raise_error(HRESULT hr, IErrorInfo* perrinfo) {
    throw _com_error(hr, perrinfo);
}

void WINAPI _com_issue_error(HRESULT hr) {
    _com_raise_error(hr, nullptr);
}

void WINAPI _com_issue_errorex(HRESULT hr, IUnknown* punk, REFIID riid) {
    IErrorInfo* perrinfo = nullptr;
    ISupportErrorInfo* support = nullptr;
    if (punk != nullptr && SUCCEEDED(punk->QueryInterface(IID_ISupportErrorInfo,
                                                          reinterpret_cast<void**>(&support)))) {
        const bool supported = support->InterfaceSupportsErrorInfo(riid) == S_OK;
        support->Release();
        // The thread's error object belongs to this failure only when the
        // object vouches for the interface; otherwise it is left in place.
        if (supported && GetErrorInfo(0, &perrinfo) != S_OK)
            perrinfo = nullptr;
    }
    _com_raise_error(hr, perrinfo);
}
