// VariantChangeType: conversion between the scalar automation types, BSTR,
// BOOL and DATE. Text is read and written as in US English (the locale the
// hosts run under): "." as the decimal point, "," between thousands, dates as
// M/D/YYYY. Decimal and record values are not offered and answer E_NOTIMPL.
#include "automation_date.h"
#include "variant_types.h"

#include <cfloat>
#include <charconv>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>
#include <type_traits>

namespace {

using platform::com::IsValidVariantType;
using platform::com::ValueSize;

// Owns a VARIANT for the length of a scope.
class ScopedVariant {
  public:
    ScopedVariant() { VariantInit(&m_value); }
    ~ScopedVariant() { VariantClear(&m_value); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    VARIANT* get() { return &m_value; }
    // Hands the value over, leaving this empty.
    VARIANT release() {
        VARIANT out = m_value;
        VariantInit(&m_value);
        return out;
    }

  private:
    VARIANT m_value;
};

std::wstring Trim(const wchar_t* text, size_t length) {
    size_t begin = 0;
    size_t end = length;
    while (begin < end && std::iswspace(text[begin]))
        ++begin;
    while (end > begin && std::iswspace(text[end - 1]))
        --end;
    return std::wstring(text + begin, end - begin);
}

std::wstring TextOf(BSTR text) {
    return Trim(text != nullptr ? text : L"", SysStringLen(text));
}

// "&H1F" and "&O17" forms of Basic.
HRESULT ParseRadixNumber(const std::wstring& text, long double* out) {
    const int radix = std::towupper(text[1]) == L'H' ? 16 : std::towupper(text[1]) == L'O' ? 8 : 0;
    if (radix == 0 || text.size() < 3)
        return DISP_E_TYPEMISMATCH;
    std::string digits(text.begin() + 2, text.end());
    uint64_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, radix);
    if (error == std::errc::result_out_of_range)
        return DISP_E_OVERFLOW;
    if (error != std::errc() || end != digits.data() + digits.size())
        return DISP_E_TYPEMISMATCH;
    *out = static_cast<long double>(value);
    return S_OK;
}

// Whether plain decimal text ("123.45e67") that long double cannot hold is
// too large rather than too small: its decimal order of magnitude is positive.
bool IsTooLarge(const std::string& plain) {
    const size_t exponentAt = plain.find('e');
    const std::string mantissa = plain.substr(0, exponentAt);
    const long exponent = exponentAt == std::string::npos
                              ? 0
                              : std::strtol(plain.c_str() + exponentAt + 1, nullptr, 10);
    const size_t point = std::min(mantissa.find('.'), mantissa.size());
    const size_t firstSignificant = mantissa.find_first_of("123456789");
    if (firstSignificant == std::string::npos)
        return false;
    const long digitsBeforePoint = static_cast<long>(point) - static_cast<long>(firstSignificant);
    return exponent + digitsBeforePoint > 0;
}

// Reads a number: blanks around it, a sign or parentheses for negative, ","
// between groups of digits, a fraction and an exponent ("E" or "D").
HRESULT ParseNumber(BSTR source, long double* out) {
    std::wstring text = TextOf(source);
    if (text.size() > 1 && text[0] == L'&')
        return ParseRadixNumber(text, out);
    bool negative = false;
    if (text.size() > 1 && text.front() == L'(' && text.back() == L')') {
        negative = true;
        text = Trim(text.data() + 1, text.size() - 2);
    } else if (!text.empty() && (text[0] == L'-' || text[0] == L'+')) {
        negative = text[0] == L'-';
        text = Trim(text.data() + 1, text.size() - 1);
    }
    std::string plain;
    bool sawDigit = false, sawPoint = false;
    size_t i = 0;
    for (; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (std::iswdigit(c)) {
            plain += static_cast<char>(c);
            sawDigit = true;
        } else if (c == L',' && !sawPoint && sawDigit && i + 1 < text.size() &&
                   std::iswdigit(text[i + 1])) {
            continue;
        } else if (c == L'.' && !sawPoint) {
            plain += '.';
            sawPoint = true;
        } else {
            break;
        }
    }
    if (!sawDigit)
        return DISP_E_TYPEMISMATCH;
    if (i < text.size() && std::wcschr(L"eEdD", text[i]) != nullptr) {
        plain += 'e';
        ++i;
        if (i < text.size() && (text[i] == L'-' || text[i] == L'+'))
            plain += static_cast<char>(text[i++]);
        const size_t exponentStart = i;
        while (i < text.size() && std::iswdigit(text[i]))
            plain += static_cast<char>(text[i++]);
        if (i == exponentStart)
            return DISP_E_TYPEMISMATCH;
    }
    if (i != text.size())
        return DISP_E_TYPEMISMATCH;
    long double value = 0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    // Beyond long double either way: too large overflows, too small is zero.
    if (error == std::errc::result_out_of_range) {
        if (IsTooLarge(plain))
            return DISP_E_OVERFLOW;
        *out = 0;
        return S_OK;
    }
    if (error != std::errc() || end != plain.data() + plain.size())
        return DISP_E_TYPEMISMATCH;
    *out = negative ? -value : value;
    return S_OK;
}

// Calls `use` with the field that holds an integer of type `vt` in `v`;
// false for other types.
template <class Variant, class Use>
bool WithIntegerField(Variant& v, VARTYPE vt, Use&& use) {
    switch (vt) {
        case VT_I1:
            use(v.cVal);
            return true;
        case VT_UI1:
            use(v.bVal);
            return true;
        case VT_I2:
            use(v.iVal);
            return true;
        case VT_UI2:
            use(v.uiVal);
            return true;
        case VT_I4:
            use(v.lVal);
            return true;
        case VT_UI4:
            use(v.ulVal);
            return true;
        case VT_INT:
            use(v.intVal);
            return true;
        case VT_UINT:
            use(v.uintVal);
            return true;
        case VT_I8:
            use(v.llVal);
            return true;
        case VT_UI8:
            use(v.ullVal);
            return true;
        default:
            return false;
    }
}

// The numeric value of a scalar source; BOOL counts as 0 or -1.
HRESULT NumericValue(const VARIANT& v, long double* out) {
    if (WithIntegerField(v, v.vt, [&](auto value) { *out = static_cast<long double>(value); }))
        return S_OK;
    switch (v.vt) {
        case VT_EMPTY:
            *out = 0;
            return S_OK;
        case VT_R4:
            *out = v.fltVal;
            return S_OK;
        case VT_R8:
            *out = v.dblVal;
            return S_OK;
        case VT_DATE:
            *out = v.date;
            return S_OK;
        case VT_BOOL:
            *out = v.boolVal ? -1 : 0;
            return S_OK;
        case VT_CY:
            *out = static_cast<long double>(v.cyVal.int64) / 10000;
            return S_OK;
        case VT_BSTR:
            return ParseNumber(v.bstrVal, out);
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

struct IntegerRange {
    long double lowest, highest;
};

IntegerRange RangeOf(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
            return {-128.0L, 127.0L};
        case VT_UI1:
            return {0, 255.0L};
        case VT_I2:
            return {-32768.0L, 32767.0L};
        case VT_UI2:
            return {0, 65535.0L};
        case VT_I4:
        case VT_INT:
            return {-2147483648.0L, 2147483647.0L};
        case VT_UI4:
        case VT_UINT:
            return {0, 4294967295.0L};
        case VT_I8:
            return {-9223372036854775808.0L, 9223372036854775807.0L};
        default:
            return {0, 18446744073709551615.0L};  // VT_UI8
    }
}

// Integers take the nearest value, halves going to the even neighbour
// (banker's rounding), and fail with DISP_E_OVERFLOW outside their range.
HRESULT StoreInteger(long double value, VARTYPE vt, VARIANT* out) {
    const long double rounded = std::nearbyintl(value);
    const IntegerRange range = RangeOf(vt);
    if (!(rounded >= range.lowest && rounded <= range.highest))
        return DISP_E_OVERFLOW;
    out->vt = vt;
    WithIntegerField(*out, vt, [&](auto& field) {
        field = static_cast<std::remove_reference_t<decltype(field)>>(rounded);
    });
    return S_OK;
}

bool IsUnsignedInteger(VARTYPE vt) {
    return vt == VT_UI1 || vt == VT_UI2 || vt == VT_UI4 || vt == VT_UINT || vt == VT_UI8;
}

// A signed integer and the unsigned one of its width convert into each other
// bit for bit: -1 as VT_I4 becomes 0xFFFFFFFF as VT_UI4, and back.
bool IsSignChangeOfSameWidth(VARTYPE from, VARTYPE to) {
    const auto pair = [&](VARTYPE a, VARTYPE b) {
        return (from == a && to == b) || (from == b && to == a);
    };
    return pair(VT_I1, VT_UI1) || pair(VT_I2, VT_UI2) || pair(VT_I4, VT_UI4);
}

HRESULT ToNumber(const VARIANT& src, VARTYPE vt, VARIANT* out) {
    if (IsSignChangeOfSameWidth(src.vt, vt)) {
        out->llVal = 0;
        std::memcpy(&out->llVal, &src.llVal, ValueSize(vt));
        out->vt = vt;
        return S_OK;
    }
    long double value = 0;
    const HRESULT hr = NumericValue(src, &value);
    if (FAILED(hr))
        return hr;
    switch (vt) {
        case VT_R4:
            if (std::isfinite(value) && std::fabs(value) > FLT_MAX)
                return DISP_E_OVERFLOW;
            out->vt = VT_R4, out->fltVal = static_cast<FLOAT>(value);
            return S_OK;
        case VT_R8:
            if (std::isfinite(value) && std::fabs(value) > DBL_MAX)
                return DISP_E_OVERFLOW;
            out->vt = VT_R8, out->dblVal = static_cast<DOUBLE>(value);
            return S_OK;
        case VT_CY: {
            const long double scaled = std::nearbyintl(value * 10000);
            if (!(scaled >= -9223372036854775808.0L && scaled <= 9223372036854775807.0L))
                return DISP_E_OVERFLOW;
            out->vt = VT_CY, out->cyVal.int64 = static_cast<LONGLONG>(scaled);
            return S_OK;
        }
        default:
            // True is all bits set, so it fills an unsigned integer.
            if (src.vt == VT_BOOL && src.boolVal && IsUnsignedInteger(vt))
                return StoreInteger(RangeOf(vt).highest, vt, out);
            return StoreInteger(value, vt, out);
    }
}

HRESULT ToBool(const VARIANT& src, VARIANT* out) {
    if (src.vt == VT_BSTR) {
        const std::wstring text = TextOf(src.bstrVal);
        if (wcscasecmp(text.c_str(), L"True") == 0 || wcscasecmp(text.c_str(), L"False") == 0) {
            out->vt = VT_BOOL;
            out->boolVal = wcscasecmp(text.c_str(), L"True") == 0 ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        }
    }
    long double value = 0;
    const HRESULT hr = NumericValue(src, &value);
    if (FAILED(hr))
        return hr;
    out->vt = VT_BOOL;
    out->boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT ToDate(const VARIANT& src, VARIANT* out) {
    if (src.vt == VT_BSTR) {
        const auto date = platform::com::ParseDate(TextOf(src.bstrVal));
        if (!date)
            return DISP_E_TYPEMISMATCH;
        out->vt = VT_DATE, out->date = *date;
        return S_OK;
    }
    long double value = 0;
    const HRESULT hr = NumericValue(src, &value);
    if (FAILED(hr))
        return hr;
    if (!(value > platform::com::kDateBeforeFirst && value < platform::com::kDateAfterLast))
        return DISP_E_OVERFLOW;
    out->vt = VT_DATE, out->date = static_cast<DATE>(value);
    return S_OK;
}

// Shortest general form with `digits` significant digits, as "%G" writes it:
// "0.1", "123456789012345", "1E+20", "1E-05".
std::wstring FormatReal(double value, int digits) {
    if (value == 0)
        return L"0";  // no "-0"
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    std::wstring text(buffer, result.ptr);
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

// Currency keeps four decimals; trailing zeros and a bare point are dropped.
std::wstring FormatCurrency(LONGLONG value) {
    const bool negative = value < 0;
    const ULONGLONG magnitude = negative ? 0 - static_cast<ULONGLONG>(value) : value;
    std::wstring text = std::to_wstring(magnitude / 10000);
    std::wstring fraction = std::to_wstring(magnitude % 10000);
    fraction.insert(0, 4 - fraction.size(), L'0');
    while (!fraction.empty() && fraction.back() == L'0')
        fraction.pop_back();
    if (!fraction.empty())
        text += L'.' + fraction;
    return negative ? L'-' + text : text;
}

HRESULT FormatScalar(const VARIANT& v, USHORT flags, std::wstring* text) {
    if (WithIntegerField(v, v.vt, [&](auto value) { *text = std::to_wstring(value); }))
        return S_OK;
    switch (v.vt) {
        case VT_EMPTY:
            *text = L"";
            return S_OK;
        case VT_R4:
            *text = FormatReal(v.fltVal, 7);
            return S_OK;
        case VT_R8:
            *text = FormatReal(v.dblVal, 15);
            return S_OK;
        case VT_CY:
            *text = FormatCurrency(v.cyVal.int64);
            return S_OK;
        case VT_BOOL:
            // Words only on request; otherwise the number, as Windows does.
            if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL))
                *text = v.boolVal ? L"True" : L"False";
            else
                *text = v.boolVal ? L"-1" : L"0";
            return S_OK;
        case VT_DATE: {
            const auto parts = platform::com::SplitDate(v.date);
            if (!parts)
                return E_INVALIDARG;
            *text = platform::com::FormatDate(*parts);
            return S_OK;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

HRESULT ToString(const VARIANT& src, USHORT flags, VARIANT* out) {
    std::wstring text;
    const HRESULT hr = FormatScalar(src, flags, &text);
    if (FAILED(hr))
        return hr;
    out->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (out->bstrVal == nullptr)
        return E_OUTOFMEMORY;
    out->vt = VT_BSTR;
    return S_OK;
}

HRESULT ConvertDirect(const VARIANT& src, VARIANT* out, LCID lcid, USHORT flags, VARTYPE vt);

// An object converts to the other interface type by QueryInterface, and to
// a value through its value property (DISPID_VALUE) unless the caller said
// VARIANT_NOVALUEPROP.
HRESULT ConvertObject(const VARIANT& src, VARIANT* out, LCID lcid, USHORT flags, VARTYPE vt) {
    IUnknown* object = src.punkVal;
    if (object == nullptr)
        return DISP_E_TYPEMISMATCH;
    if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
        const IID& iid = vt == VT_UNKNOWN ? IID_IUnknown : IID_IDispatch;
        if (FAILED(object->QueryInterface(iid, reinterpret_cast<void**>(&out->punkVal))))
            return DISP_E_TYPEMISMATCH;
        out->vt = vt;
        return S_OK;
    }
    if (flags & VARIANT_NOVALUEPROP)
        return DISP_E_TYPEMISMATCH;
    IDispatch* dispatch = nullptr;
    if (FAILED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
        return DISP_E_TYPEMISMATCH;
    ScopedVariant value;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    HRESULT hr = dispatch->Invoke(DISPID_VALUE, IID_NULL, lcid, DISPATCH_PROPERTYGET, &none,
                                  value.get(), nullptr, nullptr);
    dispatch->Release();
    if (FAILED(hr))
        return hr;
    // One level only: a value that is itself an object does not recurse.
    return ConvertDirect(*value.get(), out, lcid, flags | VARIANT_NOVALUEPROP, vt);
}

// `src` holds its value directly (no VT_BYREF); `out` is empty.
HRESULT ConvertDirect(const VARIANT& src, VARIANT* out, LCID lcid, USHORT flags, VARTYPE vt) {
    if (src.vt == vt)
        return VariantCopy(out, &src);
    if ((src.vt | vt) & VT_ARRAY)
        return DISP_E_TYPEMISMATCH;
    if (src.vt == VT_DECIMAL || vt == VT_DECIMAL || src.vt == VT_RECORD || vt == VT_RECORD)
        return E_NOTIMPL;
    if (src.vt == VT_DISPATCH || src.vt == VT_UNKNOWN)
        return ConvertObject(src, out, lcid, flags, vt);
    if (src.vt == VT_NULL || src.vt == VT_ERROR)
        return DISP_E_TYPEMISMATCH;
    switch (vt) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_ERROR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return DISP_E_TYPEMISMATCH;
        case VT_BSTR:
            return ToString(src, flags, out);
        case VT_BOOL:
            return ToBool(src, out);
        case VT_DATE:
            return ToDate(src, out);
        default:
            return ToNumber(src, vt, out);
    }
}

}  // namespace

// The destination changes only on success; source and destination may be
// the same VARIANT.
extern "C" HRESULT WINAPI VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc,
                                              LCID lcid, USHORT wFlags, VARTYPE vt) {
    if (pvargDest == nullptr || pvarSrc == nullptr)
        return E_INVALIDARG;
    if (!IsValidVariantType(pvarSrc->vt))
        return DISP_E_BADVARTYPE;
    if (vt & VT_BYREF)
        return DISP_E_TYPEMISMATCH;
    if (!IsValidVariantType(vt))
        return DISP_E_BADVARTYPE;
    ScopedVariant direct;
    HRESULT hr = VariantCopyInd(direct.get(), pvarSrc);
    if (FAILED(hr))
        return hr;
    ScopedVariant converted;
    hr = ConvertDirect(*direct.get(), converted.get(), lcid, wFlags, vt);
    if (FAILED(hr))
        return hr;
    hr = VariantClear(pvargDest);
    if (FAILED(hr))
        return hr;
    *pvargDest = converted.release();
    return S_OK;
}

// The user's default locale, which the hosts set to US English.
extern "C" HRESULT WINAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc,
                                            USHORT wFlags, VARTYPE vt) {
    constexpr LCID kUserDefaultLocale = 0x0400;
    return VariantChangeTypeEx(pvargDest, pvarSrc, kUserDefaultLocale, wFlags, vt);
}
