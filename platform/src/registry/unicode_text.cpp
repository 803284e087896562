#include "registry/unicode_text.h"

#include <cstring>

namespace platform::registry {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}
bool IsScalar(char32_t c) {
    return c <= 0x10FFFF && !IsSurrogate(c);
}

void AppendUtf8(std::string& out, char32_t c) {
    if (!IsScalar(c))
        c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Length of the sequence a UTF-8 lead byte starts, 0 for a byte that cannot
// lead one.
size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

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

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text)
        AppendUtf8(out, static_cast<char32_t>(c));
    return out;
}

std::optional<std::wstring> FromUtf8(std::string_view bytes) {
    std::wstring text;
    for (size_t i = 0; i < bytes.size();) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        size_t length = SequenceLength(lead);
        if (length == 0 || i + length > bytes.size())
            return std::nullopt;
        char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (size_t k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            c = (c << 6) | (next & 0x3F);
        }
        // Overlong forms and encoded surrogates are not UTF-8.
        static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < kSmallest[length] || !IsScalar(c))
            return std::nullopt;
        text += static_cast<wchar_t>(c);
        i += length;
    }
    return text;
}

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
