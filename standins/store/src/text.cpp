#include "text.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

namespace mailstore::text {

std::wstring ToWide(std::string_view bytes, unsigned codePage) {
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    const int chars = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (chars > 0) {
        std::wstring wide(static_cast<std::size_t>(chars), L'\0');
        if (MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), chars) == chars) {
            return wide;
        }
    }
    return std::wstring(bytes.begin(), bytes.end());
}

std::string ToNarrow(std::wstring_view text, unsigned codePage) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int bytes =
        WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes > 0) {
        std::string narrow(static_cast<std::size_t>(bytes), '\0');
        if (WideCharToMultiByte(codePage, 0, text.data(), size, narrow.data(), bytes, nullptr,
                                nullptr) == bytes) {
            return narrow;
        }
    }
    std::string narrow;
    for (wchar_t ch : text)
        narrow.push_back(ch < 0x100 ? static_cast<char>(ch) : '?');
    return narrow;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return lower;
}

std::string_view Trim(std::string_view text) {
    const auto isSpace = [](char ch) {
        return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
    };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace mailstore::text
