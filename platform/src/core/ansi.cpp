#include "core/ansi.h"

#include <winnls.h>

#include <cstring>

namespace platform {

std::optional<std::wstring> AnsiToWide(LPCSTR text) {
    return AnsiToWide(text, text ? std::strlen(text) : 0);
}

std::optional<std::wstring> AnsiToWide(const char* text, size_t length) {
    if (length == 0)
        return std::wstring();
    const int size = static_cast<int>(length);
    int needed = MultiByteToWideChar(CP_ACP, 0, text, size, nullptr, 0);
    if (needed == 0)
        return std::nullopt;
    std::wstring wide(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, size, wide.data(), needed);
    return wide;
}

std::string WideToAnsi(const wchar_t* text, size_t length) {
    if (length == 0)
        return {};
    const int size = static_cast<int>(length);
    int needed = WideCharToMultiByte(CP_ACP, 0, text, size, nullptr, 0, nullptr, nullptr);
    if (needed == 0)
        return {};
    std::string narrow(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, size, narrow.data(), needed, nullptr, nullptr);
    return narrow;
}

}  // namespace platform
