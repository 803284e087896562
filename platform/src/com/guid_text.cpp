// Identifiers as text: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case
// hexadecimal, Data4's first two bytes before the last dash.
#include <objbase.h>
#include <platform/hex_digit.h>

#include <cwchar>
#include <optional>

namespace {

constexpr int kGuidTextLength = CHARS_IN_GUID - 1;  // without the terminator

void FormatGuid(const GUID& guid, wchar_t* out) {
    std::swprintf(out, CHARS_IN_GUID, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                  guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
}

// Reads `digits` hexadecimal digits at `text`; nothing when one is not a digit.
std::optional<uint32_t> ReadHex(const wchar_t* text, int digits) {
    uint32_t value = 0;
    for (int i = 0; i < digits; ++i) {
        const int digit = platform::HexDigitValue(text[i]);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

// The braced form only, exactly 38 characters; case does not matter.
std::optional<GUID> ParseBracedGuid(const wchar_t* text) {
    if (std::wcslen(text) != kGuidTextLength || text[0] != L'{' || text[37] != L'}')
        return std::nullopt;
    if (text[9] != L'-' || text[14] != L'-' || text[19] != L'-' || text[24] != L'-')
        return std::nullopt;
    GUID guid{};
    const auto data1 = ReadHex(text + 1, 8);
    const auto data2 = ReadHex(text + 10, 4);
    const auto data3 = ReadHex(text + 15, 4);
    if (!data1 || !data2 || !data3)
        return std::nullopt;
    guid.Data1 = *data1;
    guid.Data2 = static_cast<uint16_t>(*data2);
    guid.Data3 = static_cast<uint16_t>(*data3);
    static constexpr int kByteOffsets[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        const auto byte = ReadHex(text + kByteOffsets[i], 2);
        if (!byte)
            return std::nullopt;
        guid.Data4[i] = static_cast<uint8_t>(*byte);
    }
    return guid;
}

HRESULT ParseInto(LPCOLESTR text, GUID* out, HRESULT malformed) {
    if (out == nullptr)
        return E_INVALIDARG;
    // No text stands for the null identifier.
    if (text == nullptr) {
        *out = GUID_NULL;
        return S_OK;
    }
    const auto guid = ParseBracedGuid(text);
    *out = guid.value_or(GUID_NULL);
    return guid ? S_OK : malformed;
}

}  // namespace

extern "C" int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    if (lpsz == nullptr || cchMax < CHARS_IN_GUID)
        return 0;
    FormatGuid(rguid, lpsz);
    return CHARS_IN_GUID;
}

extern "C" HRESULT STDAPICALLTYPE StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) {
    if (lplpsz == nullptr)
        return E_INVALIDARG;
    *lplpsz = static_cast<LPOLESTR>(CoTaskMemAlloc(CHARS_IN_GUID * sizeof(OLECHAR)));
    if (*lplpsz == nullptr)
        return E_OUTOFMEMORY;
    FormatGuid(rclsid, *lplpsz);
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE StringFromIID(REFIID rclsid, LPOLESTR* lplpsz) {
    return StringFromCLSID(rclsid, lplpsz);
}

// Text that is not a braced identifier is taken for a ProgID and looked up in
// the registry; what is neither gives CO_E_CLASSSTRING.
extern "C" HRESULT STDAPICALLTYPE CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
    const HRESULT parsed = ParseInto(lpsz, pclsid, CO_E_CLASSSTRING);
    if (parsed != CO_E_CLASSSTRING || lpsz[0] == L'{')
        return parsed;
    return SUCCEEDED(CLSIDFromProgID(lpsz, pclsid)) ? S_OK : CO_E_CLASSSTRING;
}

// Text of an identifier's length that is not one gives CO_E_IIDSTRING; text
// of any other length E_INVALIDARG.
extern "C" HRESULT STDAPICALLTYPE IIDFromString(LPCOLESTR lpsz, LPIID lpiid) {
    const HRESULT parsed = ParseInto(lpsz, lpiid, E_INVALIDARG);
    if (parsed == E_INVALIDARG && lpsz != nullptr && std::wcslen(lpsz) == kGuidTextLength)
        return CO_E_IIDSTRING;
    return parsed;
}
