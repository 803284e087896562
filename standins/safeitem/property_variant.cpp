#include "safeitem/property_variant.h"

#include <oleauto.h>
#include <windows.h>

#include <algorithm>

namespace safeitem {

BSTR Text(const std::wstring& text) {
    return SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
}

// A property value as automation clients receive it.
HRESULT ToVariant(const mailstore::PropValue& value, VARIANT* out) {
    if (const auto* text = std::get_if<std::wstring>(&value)) {
        V_VT(out) = VT_BSTR;
        V_BSTR(out) = Text(*text);
        return V_BSTR(out) ? S_OK : E_OUTOFMEMORY;
    }
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        V_VT(out) = VT_I4;
        V_I4(out) = *number;
        return S_OK;
    }
    if (const auto* flag = std::get_if<bool>(&value)) {
        V_VT(out) = VT_BOOL;
        V_BOOL(out) = *flag ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    if (const auto* time = std::get_if<mailstore::SysTime>(&value)) {
        FILETIME fileTime{static_cast<DWORD>(time->ticks), static_cast<DWORD>(time->ticks >> 32)};
        SYSTEMTIME utc{};
        DOUBLE date = 0;
        if (!FileTimeToSystemTime(&fileTime, &utc) || !SystemTimeToVariantTime(&utc, &date))
            return DISP_E_OVERFLOW;
        V_VT(out) = VT_DATE;
        V_DATE(out) = date;
        return S_OK;
    }
    if (const auto* bytes = std::get_if<mailstore::Bytes>(&value)) {
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes->size()));
        if (!array)
            return E_OUTOFMEMORY;
        void* data = nullptr;
        if (SUCCEEDED(SafeArrayAccessData(array, &data))) {
            std::copy(bytes->begin(), bytes->end(), static_cast<BYTE*>(data));
            SafeArrayUnaccessData(array);
        }
        V_VT(out) = VT_ARRAY | VT_UI1;
        V_ARRAY(out) = array;
        return S_OK;
    }
    // A narrow string: the model gives it wide when asked for the wide type.
    return DISP_E_TYPEMISMATCH;
}

HRESULT FieldOf(const mailstore::Message& message, LONG propTag, VARIANT* value) {
    VariantInit(value);
    auto tag = static_cast<mailstore::PropTag>(propTag);
    // Strings are handed out wide whichever width the tag names.
    if (mailstore::PropType(tag) == mailstore::kTypeString8)
        tag = mailstore::ChangeType(tag, mailstore::kTypeUnicode);
    const std::optional<mailstore::PropValue> found = message.Get(tag);
    return found ? ToVariant(*found, value) : S_OK;
}

}  // namespace safeitem
