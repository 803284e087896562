// Compiler COM support: _bstr_t, a shared reference-counted BSTR, and
// _variant_t, a VARIANT that owns its value. Failures raise _com_error
// (comdef.h) through _com_issue_error.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "winnls.h"
#include "oleauto.h"
#include "variant_source.h"
#include "interlockedapi.h"
#include "errhandlingapi.h"

#include <cstring>
#include <type_traits>

// Exported from the platform's library here; on Windows a static part of
// the module, as the compiler's COM support library is.
#ifdef _WIN32
#define BV_COMSUPP_API
#else
#define BV_COMSUPP_API __attribute__((visibility("default")))
#endif

class _com_error;
class _variant_t;

// Raise a _com_error carrying hr (and, for _com_raise_error, the error
// object, whose reference the exception takes over).
[[noreturn]] BV_COMSUPP_API void WINAPI _com_raise_error(HRESULT hr,
                                                         IErrorInfo* perrinfo = nullptr);
[[noreturn]] BV_COMSUPP_API void WINAPI _com_issue_error(HRESULT hr);
// As _com_issue_error, with the thread's error object when `punk` says
// through ISupportErrorInfo that interface `riid` supplies one.
[[noreturn]] BV_COMSUPP_API void WINAPI _com_issue_errorex(HRESULT hr, IUnknown* punk, REFIID riid);

// Narrow text in the ANSI code page, as Windows' compiler support converts it.
namespace _com_util {

inline BSTR WINAPI ConvertStringToBSTR(const char* pSrc) {
    if (pSrc == nullptr)
        return nullptr;
    const int chars = MultiByteToWideChar(CP_ACP, 0, pSrc, -1, nullptr, 0);
    if (chars == 0)
        _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(chars - 1));
    if (result == nullptr)
        _com_issue_error(E_OUTOFMEMORY);
    MultiByteToWideChar(CP_ACP, 0, pSrc, -1, result, chars);
    return result;
}

// The caller frees the result with delete[].
inline char* WINAPI ConvertBSTRToString(BSTR pSrc) {
    if (pSrc == nullptr)
        return nullptr;
    const int source = static_cast<int>(SysStringLen(pSrc)) + 1;  // with the terminator
    const int bytes = WideCharToMultiByte(CP_ACP, 0, pSrc, source, nullptr, 0, nullptr, nullptr);
    if (bytes == 0)
        _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
    char* result = new char[bytes];
    WideCharToMultiByte(CP_ACP, 0, pSrc, source, result, bytes, nullptr, nullptr);
    return result;
}

}  // namespace _com_util

class _bstr_t {
  public:
    _bstr_t() noexcept : m_data(nullptr) {}
    _bstr_t(const _bstr_t& s) noexcept : m_data(s.m_data) {
        if (m_data != nullptr)
            m_data->AddRef();
    }
    _bstr_t(_bstr_t&& s) noexcept : m_data(s.m_data) { s.m_data = nullptr; }
    _bstr_t(const char* s) : m_data(new Data(_com_util::ConvertStringToBSTR(s))) {}
    _bstr_t(const wchar_t* s) : m_data(new Data(Duplicate(s))) {}
    // A _variant_t converts through its operator _bstr_t.
    // fCopy false takes ownership of `bstr`; true copies it.
    _bstr_t(BSTR bstr, bool fCopy) : m_data(new Data(fCopy ? CopyOf(bstr) : bstr)) {}
    ~_bstr_t() noexcept { Free(); }

    _bstr_t& operator=(const _bstr_t& s) noexcept {
        _bstr_t(s).Swap(*this);
        return *this;
    }
    _bstr_t& operator=(_bstr_t&& s) noexcept {
        _bstr_t(static_cast<_bstr_t&&>(s)).Swap(*this);
        return *this;
    }
    _bstr_t& operator=(const char* s) { return *this = _bstr_t(s); }
    _bstr_t& operator=(const wchar_t* s) { return *this = _bstr_t(s); }

    _bstr_t& operator+=(const _bstr_t& s) { return *this = *this + s; }
    _bstr_t operator+(const _bstr_t& s) const {
        const UINT left = SysStringByteLen(GetRaw());
        const UINT right = SysStringByteLen(s.GetRaw());
        BSTR joined = SysAllocStringByteLen(nullptr, left + right);
        if (joined == nullptr)
            _com_issue_error(E_OUTOFMEMORY);
        if (left)
            std::memcpy(joined, GetRaw(), left);
        if (right)
            std::memcpy(reinterpret_cast<char*>(joined) + left, s.GetRaw(), right);
        return _bstr_t(joined, false);
    }
    friend _bstr_t operator+(const wchar_t* s1, const _bstr_t& s2) { return _bstr_t(s1) + s2; }
    friend _bstr_t operator+(const char* s1, const _bstr_t& s2) { return _bstr_t(s1) + s2; }

    operator const wchar_t*() const noexcept { return GetRaw(); }
    operator wchar_t*() const noexcept { return GetRaw(); }
    // The narrow form is converted once and kept with the shared string.
    operator const char*() const { return GetNarrow(); }
    operator char*() const { return GetNarrow(); }

    bool operator!() const noexcept { return GetRaw() == nullptr; }
    bool operator==(const _bstr_t& s) const noexcept { return Compare(s) == 0; }
    bool operator!=(const _bstr_t& s) const noexcept { return Compare(s) != 0; }
    bool operator<(const _bstr_t& s) const noexcept { return Compare(s) < 0; }
    bool operator>(const _bstr_t& s) const noexcept { return Compare(s) > 0; }
    bool operator<=(const _bstr_t& s) const noexcept { return Compare(s) <= 0; }
    bool operator>=(const _bstr_t& s) const noexcept { return Compare(s) >= 0; }
    bool operator==(const wchar_t* s) const { return *this == _bstr_t(s); }
    bool operator!=(const wchar_t* s) const { return *this != _bstr_t(s); }
    bool operator==(const char* s) const { return *this == _bstr_t(s); }
    bool operator!=(const char* s) const { return *this != _bstr_t(s); }

    unsigned int length() const noexcept { return SysStringLen(GetRaw()); }

    // A BSTR of the caller's own (fCopy), or the shared one itself.
    BSTR copy(bool fCopy = true) const {
        if (m_data == nullptr)
            return nullptr;
        return fCopy ? CopyOf(m_data->text) : m_data->text;
    }
    void Assign(BSTR s) { *this = _bstr_t(s, true); }
    // The shared BSTR slot itself, created (empty) when there is none.
    BSTR& GetBSTR() {
        if (m_data == nullptr)
            m_data = new Data(nullptr);
        return m_data->text;
    }
    // Drops the current string and answers the address of a fresh, empty
    // slot, for an out-parameter.
    BSTR* GetAddress() {
        Attach(nullptr);
        return &m_data->text;
    }
    void Attach(BSTR s) {
        Free();
        m_data = new Data(s);
    }
    // Only an unshared string can be detached; otherwise E_POINTER is raised.
    BSTR Detach() {
        if (m_data == nullptr || m_data->references != 1)
            _com_issue_error(E_POINTER);
        BSTR text = m_data->text;
        m_data->text = nullptr;
        Free();
        return text;
    }

  private:
    // The shared string. Owned through its reference count: the last
    // _bstr_t that lets go deletes it.
    struct Data {
        explicit Data(BSTR owned) : text(owned) {}
        ~Data() {
            SysFreeString(text);
            delete[] narrow;
        }
        void AddRef() { InterlockedIncrement(&references); }
        void Release() {
            if (InterlockedDecrement(&references) == 0)
                delete this;
        }
        BSTR text;
        char* narrow = nullptr;
        LONG references = 1;
    };

    static BSTR Duplicate(const wchar_t* s) {
        if (s == nullptr)
            return nullptr;
        BSTR copy = SysAllocString(s);
        if (copy == nullptr)
            _com_issue_error(E_OUTOFMEMORY);
        return copy;
    }
    static BSTR CopyOf(BSTR s) {
        if (s == nullptr)
            return nullptr;
        BSTR copy = SysAllocStringByteLen(reinterpret_cast<const char*>(s), SysStringByteLen(s));
        if (copy == nullptr)
            _com_issue_error(E_OUTOFMEMORY);
        return copy;
    }
    BSTR GetRaw() const noexcept { return m_data != nullptr ? m_data->text : nullptr; }
    char* GetNarrow() const {
        if (m_data == nullptr)
            return nullptr;
        if (m_data->narrow == nullptr)
            m_data->narrow = _com_util::ConvertBSTRToString(m_data->text);
        return m_data->narrow;
    }
    // Lexicographic by code unit; a null string equals an empty one.
    int Compare(const _bstr_t& s) const noexcept {
        const UINT left = length(), right = s.length();
        const wchar_t* a = GetRaw();
        const wchar_t* b = s.GetRaw();
        for (UINT i = 0; i < left && i < right; ++i) {
            if (a[i] != b[i])
                return a[i] < b[i] ? -1 : 1;
        }
        return left == right ? 0 : (left < right ? -1 : 1);
    }
    void Free() noexcept {
        if (m_data != nullptr)
            m_data->Release();
        m_data = nullptr;
    }
    void Swap(_bstr_t& other) noexcept {
        Data* mine = m_data;
        m_data = other.m_data;
        other.m_data = mine;
    }

    Data* m_data;
};

// A VARIANT that owns its value: constructed from the common types, cleared
// on destruction, converted on request with VariantChangeType (a failed
// conversion raises _com_error with its HRESULT).
//
// LONG and int are one type here, so an int becomes VT_I4 (Windows gives a
// plain int VT_INT); ULONG likewise gives VT_UI4.
class _variant_t : public tagVARIANT {
  public:
    _variant_t() noexcept { VariantInit(this); }
    _variant_t(const VARIANT& varSrc) : _variant_t() {
        Check(VariantCopy(this, BvVariantSource(&varSrc)));
    }
    _variant_t(const VARIANT* pSrc) : _variant_t() {
        if (pSrc == nullptr)
            _com_issue_error(E_POINTER);
        Check(VariantCopy(this, BvVariantSource(pSrc)));
    }
    _variant_t(const _variant_t& varSrc) : _variant_t() {
        Check(VariantCopy(this, BvVariantSource(&varSrc)));
    }
    // fCopy false takes the value over and leaves varSrc empty.
    _variant_t(VARIANT& varSrc, bool fCopy) : _variant_t() {
        if (fCopy) {
            Check(VariantCopy(this, BvVariantSource(&varSrc)));
        } else {
            *static_cast<VARIANT*>(this) = varSrc;
            varSrc.vt = VT_EMPTY;
        }
    }
    // VT_I2 or VT_BOOL.
    _variant_t(short sSrc, VARTYPE vtSrc = VT_I2) : _variant_t() {
        if (vtSrc != VT_I2 && vtSrc != VT_BOOL)
            _com_issue_error(E_INVALIDARG);
        vt = vtSrc;
        if (vtSrc == VT_BOOL)
            boolVal = sSrc ? VARIANT_TRUE : VARIANT_FALSE;
        else
            iVal = sSrc;
    }
    // VT_I4, VT_ERROR or VT_BOOL.
    _variant_t(LONG lSrc, VARTYPE vtSrc = VT_I4) : _variant_t() {
        if (vtSrc != VT_I4 && vtSrc != VT_ERROR && vtSrc != VT_BOOL)
            _com_issue_error(E_INVALIDARG);
        vt = vtSrc;
        if (vtSrc == VT_BOOL)
            boolVal = lSrc ? VARIANT_TRUE : VARIANT_FALSE;
        else if (vtSrc == VT_ERROR)
            scode = lSrc;
        else
            lVal = lSrc;
    }
    _variant_t(float fltSrc) noexcept : _variant_t() { vt = VT_R4, fltVal = fltSrc; }
    // VT_R8 or VT_DATE.
    _variant_t(double dblSrc, VARTYPE vtSrc = VT_R8) : _variant_t() {
        if (vtSrc != VT_R8 && vtSrc != VT_DATE)
            _com_issue_error(E_INVALIDARG);
        vt = vtSrc;
        dblVal = dblSrc;
    }
    _variant_t(const CY& cySrc) noexcept : _variant_t() { vt = VT_CY, cyVal = cySrc; }
    _variant_t(const _bstr_t& bstrSrc) : _variant_t() {
        bstrVal = bstrSrc.copy();
        vt = VT_BSTR;
    }
    _variant_t(const wchar_t* pSrc) : _variant_t(_bstr_t(pSrc)) {}
    _variant_t(const char* pSrc) : _variant_t(_bstr_t(pSrc)) {}
    _variant_t(IDispatch* pSrc, bool fAddRef = true) noexcept : _variant_t() {
        vt = VT_DISPATCH, pdispVal = pSrc;
        if (fAddRef && pSrc != nullptr)
            pSrc->AddRef();
    }
    _variant_t(IUnknown* pSrc, bool fAddRef = true) noexcept : _variant_t() {
        vt = VT_UNKNOWN, punkVal = pSrc;
        if (fAddRef && pSrc != nullptr)
            pSrc->AddRef();
    }
    _variant_t(bool boolSrc) noexcept : _variant_t() {
        vt = VT_BOOL, boolVal = boolSrc ? VARIANT_TRUE : VARIANT_FALSE;
    }
    _variant_t(BYTE bSrc) noexcept : _variant_t() { vt = VT_UI1, bVal = bSrc; }
    _variant_t(char cSrc) noexcept : _variant_t() { vt = VT_I1, cVal = cSrc; }
    _variant_t(USHORT usSrc) noexcept : _variant_t() { vt = VT_UI2, uiVal = usSrc; }
    _variant_t(ULONG ulSrc) noexcept : _variant_t() { vt = VT_UI4, ulVal = ulSrc; }
    _variant_t(LONGLONG llSrc) noexcept : _variant_t() { vt = VT_I8, llVal = llSrc; }
    _variant_t(ULONGLONG ullSrc) noexcept : _variant_t() { vt = VT_UI8, ullVal = ullSrc; }

    ~_variant_t() noexcept { VariantClear(this); }

    _variant_t& operator=(const _variant_t& varSrc) {
        Check(VariantCopy(this, BvVariantSource(&varSrc)));
        return *this;
    }
    _variant_t& operator=(const VARIANT& varSrc) {
        Check(VariantCopy(this, BvVariantSource(&varSrc)));
        return *this;
    }
    // Every other assignment replaces the value as the matching constructor
    // would build it.
    template <class T>
    _variant_t& operator=(const T& value) requires(!std::is_base_of_v<VARIANT, T>) {
        _variant_t fresh(value);
        Clear();
        *static_cast<VARIANT*>(this) = fresh.Detach();
        return *this;
    }

    bool operator==(const VARIANT& varSrc) const { return Equals(*this, varSrc); }
    bool operator==(const VARIANT* pSrc) const { return pSrc != nullptr && Equals(*this, *pSrc); }
    bool operator!=(const VARIANT& varSrc) const { return !(*this == varSrc); }
    bool operator!=(const VARIANT* pSrc) const { return !(*this == pSrc); }

    operator short() const { return Converted(VT_I2).iVal; }
    operator LONG() const { return Converted(VT_I4).lVal; }
    operator float() const { return Converted(VT_R4).fltVal; }
    operator double() const { return Converted(VT_R8).dblVal; }
    operator CY() const { return Converted(VT_CY).cyVal; }
    operator bool() const { return Converted(VT_BOOL).boolVal != VARIANT_FALSE; }
    operator BYTE() const { return Converted(VT_UI1).bVal; }
    operator char() const { return Converted(VT_I1).cVal; }
    operator USHORT() const { return Converted(VT_UI2).uiVal; }
    operator ULONG() const { return Converted(VT_UI4).ulVal; }
    operator LONGLONG() const { return Converted(VT_I8).llVal; }
    operator ULONGLONG() const { return Converted(VT_UI8).ullVal; }
    operator _bstr_t() const {
        if (vt == VT_BSTR)
            return _bstr_t(bstrVal, true);
        _variant_t text = Converted(VT_BSTR);
        return _bstr_t(text.Detach().bstrVal, false);
    }
    // The interface conversions hand out a reference of the caller's own.
    operator IDispatch*() const { return TakeInterface(VT_DISPATCH).pdispVal; }
    operator IUnknown*() const { return TakeInterface(VT_UNKNOWN).punkVal; }

    void Clear() { Check(VariantClear(this)); }
    void Attach(VARIANT& varSrc) {
        Clear();
        *static_cast<VARIANT*>(this) = varSrc;
        varSrc.vt = VT_EMPTY;
    }
    VARIANT Detach() noexcept {
        VARIANT out = *this;
        VariantInit(this);
        return out;
    }
    VARIANT& GetVARIANT() noexcept { return *this; }
    VARIANT* GetAddress() {
        Clear();
        return this;
    }
    // Converts in place, or from *pSrc when given.
    void ChangeType(VARTYPE vartype, const _variant_t* pSrc = nullptr) {
        if (pSrc == nullptr)
            pSrc = this;
        if (pSrc != this || vartype != vt)
            Check(VariantChangeType(this, BvVariantSource(pSrc), 0, vartype));
    }
    void SetString(const char* pSrc) { *this = _variant_t(pSrc); }

  private:
    static void Check(HRESULT hr) {
        if (FAILED(hr))
            _com_issue_error(hr);
    }
    _variant_t Converted(VARTYPE target) const {
        if (vt == target)
            return *this;
        _variant_t result;
        result.ChangeType(target, this);
        return result;
    }
    _variant_t TakeInterface(VARTYPE target) const {
        _variant_t result = Converted(target);
        if (result.punkVal != nullptr)
            result.punkVal->AddRef();
        return result;  // its destructor drops the temporary's own reference
    }
    static bool Equals(const VARIANT& a, const VARIANT& b) {
        if (a.vt != b.vt)
            return false;
        switch (a.vt) {
            case VT_EMPTY:
            case VT_NULL:
                return true;
            case VT_BSTR:
                return _bstr_t(a.bstrVal, true) == _bstr_t(b.bstrVal, true);
            case VT_DECIMAL:
                return a.decVal.Hi32 == b.decVal.Hi32 && a.decVal.Lo64 == b.decVal.Lo64 &&
                       a.decVal.signscale == b.decVal.signscale;
            case VT_R4:
                return a.fltVal == b.fltVal;
            case VT_R8:
            case VT_DATE:
                return a.dblVal == b.dblVal;
            case VT_BOOL:
                return a.boolVal == b.boolVal;
            case VT_I1:
            case VT_UI1:
                return a.bVal == b.bVal;
            case VT_I2:
            case VT_UI2:
                return a.iVal == b.iVal;
            case VT_I4:
            case VT_UI4:
            case VT_INT:
            case VT_UINT:
            case VT_ERROR:
                return a.lVal == b.lVal;
            default:  // 64-bit values and pointers (interfaces, arrays, references)
                return a.llVal == b.llVal;
        }
    }
};
