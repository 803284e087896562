#include "registry/unicode_text.h"

#include <cstring>

namespace platform::registry {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

std::u16string WideToUtf16Units(std::wstring_view text) {
    std::u16string units;
    for (wchar_t w : text) {
        auto c = static_cast<char32_t>(w);
        if (c > 0x10FFFF)
            c = kReplacement;
        if (c >= 0x10000) {
            c -= 0x10000;
            units += static_cast<char16_t>(0xD800 + (c >> 10));
            units += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            units += static_cast<char16_t>(c);
        }
    }
    return units;
}

std::wstring Utf16UnitsToWide(std::u16string_view units) {
    std::wstring text;
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        bool high = c >= 0xD800 && c <= 0xDBFF;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        text += static_cast<wchar_t>(c);
    }
    return text;
}

}  // namespace

std::vector<BYTE> WideToData(std::wstring_view text) {
    std::vector<BYTE> data(text.size() * sizeof(wchar_t));
    if (!data.empty())
        std::memcpy(data.data(), text.data(), data.size());
    return data;
}

std::wstring DataToWide(const std::vector<BYTE>& data) {
    // A last, partial character is completed with zero bytes.
    std::wstring text((data.size() + sizeof(wchar_t) - 1) / sizeof(wchar_t), L'\0');
    if (!data.empty())
        std::memcpy(text.data(), data.data(), data.size());
    return text;
}

std::vector<BYTE> WideDataToUtf16(const std::vector<BYTE>& data) {
    std::u16string units = WideToUtf16Units(DataToWide(data));
    std::vector<BYTE> bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t u : units) {
        bytes.push_back(static_cast<BYTE>(u & 0xFF));
        bytes.push_back(static_cast<BYTE>(u >> 8));
    }
    return bytes;
}

std::wstring Utf16ToWide(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return Utf16UnitsToWide(units);
}

std::vector<BYTE> Utf16ToWideData(const std::vector<BYTE>& utf16) {
    std::string_view bytes(reinterpret_cast<const char*>(utf16.data()), utf16.size());
    return WideToData(Utf16ToWide(bytes));
}

}  // namespace platform::registry
