// Compiler COM support: _com_error, the exception that carries a failed
// HRESULT and the error object describing it, and the smart pointer
// typedefs of the standard interfaces.
#pragma once

#include "ole2.h"
#include "ocidl.h"
#include "comutil.h"
#include "comip.h"

#include <cstdio>
#include <cwchar>
#include <new>

// Dispatch exception codes (EXCEPINFO's wCode) map onto the HRESULTs from
// WCODE_HRESULT_FIRST on.
#define WCODE_HRESULT_FIRST MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x200)
#define WCODE_HRESULT_LAST (MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF + 1, 0) - 1)

namespace platform::com {
// The system's message text for an HRESULT, or null when it has none.
BV_COMSUPP_API const wchar_t* SystemMessageText(HRESULT hr);
}  // namespace platform::com

class _com_error {
  public:
    // Takes over the caller's reference to perrinfo unless fAddRef asks for
    // one of its own.
    _com_error(HRESULT hr, IErrorInfo* perrinfo = nullptr, bool fAddRef = false) noexcept
        : m_hresult(hr), m_perrinfo(perrinfo) {
        if (fAddRef && m_perrinfo != nullptr)
            m_perrinfo->AddRef();
    }
    _com_error(const _com_error& that) noexcept
        : _com_error(that.m_hresult, that.m_perrinfo, true) {}
    virtual ~_com_error() noexcept {
        if (m_perrinfo != nullptr)
            m_perrinfo->Release();
        delete[] m_pszMsg;
    }
    _com_error& operator=(const _com_error& that) noexcept {
        if (this != &that) {
            if (that.m_perrinfo != nullptr)
                that.m_perrinfo->AddRef();
            if (m_perrinfo != nullptr)
                m_perrinfo->Release();
            m_hresult = that.m_hresult;
            m_perrinfo = that.m_perrinfo;
            delete[] m_pszMsg;
            m_pszMsg = nullptr;
        }
        return *this;
    }

    HRESULT Error() const noexcept { return m_hresult; }
    WORD WCode() const noexcept { return HRESULTToWCode(m_hresult); }
    // A reference of the caller's own, or null.
    IErrorInfo* ErrorInfo() const noexcept {
        if (m_perrinfo != nullptr)
            m_perrinfo->AddRef();
        return m_perrinfo;
    }

    // From the error object; empty (null) strings when there is none.
    _bstr_t Description() const { return Text(&IErrorInfo::GetDescription); }
    _bstr_t Source() const { return Text(&IErrorInfo::GetSource); }
    _bstr_t HelpFile() const { return Text(&IErrorInfo::GetHelpFile); }
    DWORD HelpContext() const noexcept {
        DWORD context = 0;
        if (m_perrinfo != nullptr)
            m_perrinfo->GetHelpContext(&context);
        return context;
    }
    ::GUID GUID() const noexcept {
        ::GUID guid{};
        if (m_perrinfo != nullptr)
            m_perrinfo->GetGUID(&guid);
        return guid;
    }

    // The system's text for the HRESULT; without one, "IDispatch error #n"
    // for dispatch exception codes and "Unknown error 0x…" otherwise.
    const TCHAR* ErrorMessage() const noexcept {
        if (m_pszMsg == nullptr)
            m_pszMsg = FormatMessageText();
        return m_pszMsg;
    }

    static HRESULT WCodeToHRESULT(WORD wCode) noexcept {
        return wCode >= 0xFE00 ? WCODE_HRESULT_LAST : WCODE_HRESULT_FIRST + wCode;
    }
    static WORD HRESULTToWCode(HRESULT hr) noexcept {
        return (hr >= WCODE_HRESULT_FIRST && hr <= WCODE_HRESULT_LAST)
                   ? static_cast<WORD>(hr - WCODE_HRESULT_FIRST)
                   : 0;
    }

  private:
    _bstr_t Text(HRESULT (STDMETHODCALLTYPE IErrorInfo::*getter)(BSTR*)) const {
        BSTR text = nullptr;
        if (m_perrinfo != nullptr && FAILED((m_perrinfo->*getter)(&text)))
            text = nullptr;
        return _bstr_t(text, false);
    }
    TCHAR* FormatMessageText() const noexcept {
        wchar_t buffer[64];
        const wchar_t* text = platform::com::SystemMessageText(m_hresult);
        if (text == nullptr) {
            if (WCode() != 0)
                std::swprintf(buffer, 64, L"IDispatch error #%d", static_cast<int>(WCode()));
            else
                std::swprintf(buffer, 64, L"Unknown error 0x%0lX",
                              static_cast<unsigned long>(static_cast<ULONG>(m_hresult)));
            text = buffer;
        }
        const size_t length = std::wcslen(text);
        TCHAR* message = new (std::nothrow) TCHAR[length + 1];
        if (message == nullptr)
            return nullptr;
        // The texts are plain ASCII, so a narrow copy needs no code page.
        for (size_t i = 0; i <= length; ++i)
            message[i] = static_cast<TCHAR>(text[i]);
        return message;
    }

    HRESULT m_hresult;
    IErrorInfo* m_perrinfo;
    mutable TCHAR* m_pszMsg = nullptr;
};

_COM_SMARTPTR_TYPEDEF(IUnknown, __uuidof(IUnknown));
_COM_SMARTPTR_TYPEDEF(IDispatch, __uuidof(IDispatch));
_COM_SMARTPTR_TYPEDEF(IClassFactory, __uuidof(IClassFactory));
_COM_SMARTPTR_TYPEDEF(IErrorInfo, __uuidof(IErrorInfo));
_COM_SMARTPTR_TYPEDEF(ICreateErrorInfo, __uuidof(ICreateErrorInfo));
_COM_SMARTPTR_TYPEDEF(ISupportErrorInfo, __uuidof(ISupportErrorInfo));
_COM_SMARTPTR_TYPEDEF(ITypeInfo, __uuidof(ITypeInfo));
_COM_SMARTPTR_TYPEDEF(ISequentialStream, __uuidof(ISequentialStream));
_COM_SMARTPTR_TYPEDEF(IStream, __uuidof(IStream));
_COM_SMARTPTR_TYPEDEF(IConnectionPoint, __uuidof(IConnectionPoint));
_COM_SMARTPTR_TYPEDEF(IConnectionPointContainer, __uuidof(IConnectionPointContainer));
_COM_SMARTPTR_TYPEDEF(IEnumConnections, __uuidof(IEnumConnections));
_COM_SMARTPTR_TYPEDEF(IEnumConnectionPoints, __uuidof(IEnumConnectionPoints));
