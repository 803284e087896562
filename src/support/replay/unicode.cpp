#include "support/replay/unicode.h"

#include <windows.h>

#include "support/replay/exception.h"

#include <algorithm>
#include <array>
#include <vector>

namespace replay::unicode {
namespace {

// The code pages that refuse every conversion flag and the default-character
// report; they are converted without either.
bool TakesNoFlags(int codepage) {
    static constexpr std::array fixed{42,    50221, 50222, 50225, 50227,
                                      50229, 52936, 54936, 65000, 65001};
    return std::find(fixed.begin(), fixed.end(), codepage) != fixed.end() ||
           (codepage >= 57002 && codepage <= 57011);
}

[[noreturn]] void ThrowNarrowingFailure(DWORD error) {
    switch (error) {
        case ERROR_INSUFFICIENT_BUFFER:
            throw out_of_memory();
        case ERROR_INVALID_PARAMETER:
            throw unmappable_character();
        default:
            throw generic();
    }
}

[[noreturn]] void ThrowWideningFailure(DWORD error) {
    switch (error) {
        case ERROR_INSUFFICIENT_BUFFER:
            throw out_of_memory();
        case ERROR_INVALID_PARAMETER:
            throw invalid_codepage();
        case ERROR_NO_UNICODE_TRANSLATION:
            throw unmappable_character();
        default:
            throw generic();
    }
}

std::string IdentityToNarrow(const std::wstring& text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text) {
        if (static_cast<unsigned long>(c) > 0xFF)
            throw unmappable_character();
        narrow += static_cast<char>(static_cast<unsigned char>(c));
    }
    return narrow;
}

std::wstring IdentityToWide(const std::string& text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (char c : text)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

}  // namespace

std::string to_narrow(const std::wstring& text, int codepage) {
    if (text.empty())
        return {};
    if (codepage == identity_codepage)
        return IdentityToNarrow(text);

    CPINFO info{};
    if (!GetCPInfo(static_cast<UINT>(codepage), &info))
        throw invalid_codepage();

    std::vector<char> buffer(text.size() * info.MaxCharSize);
    BOOL usedDefault = FALSE;
    int written = WideCharToMultiByte(
        static_cast<UINT>(codepage), 0, text.data(), static_cast<int>(text.size()), buffer.data(),
        static_cast<int>(buffer.size()), nullptr, TakesNoFlags(codepage) ? nullptr : &usedDefault);
    if (written == 0)
        ThrowNarrowingFailure(GetLastError());
    if (usedDefault)
        throw unmappable_character();
    return std::string(buffer.data(), static_cast<size_t>(written));
}

std::wstring to_wide(const std::string& text, int codepage) {
    if (text.empty())
        return {};
    if (codepage == identity_codepage)
        return IdentityToWide(text);

    const DWORD flags = TakesNoFlags(codepage) ? 0 : MB_ERR_INVALID_CHARS;
    const auto cp = static_cast<UINT>(codepage);
    const int length = static_cast<int>(text.size());
    int needed = MultiByteToWideChar(cp, flags, text.data(), length, nullptr, 0);
    if (needed == 0)
        ThrowWideningFailure(GetLastError());
    std::wstring wide(static_cast<size_t>(needed), L'\0');
    int written = MultiByteToWideChar(cp, flags, text.data(), length, wide.data(), needed);
    if (written == 0)
        ThrowWideningFailure(GetLastError());
    wide.resize(static_cast<size_t>(written));
    return wide;
}

bool can_round_trip(const std::wstring& text, int codepage) {
    try {
        return to_wide(to_narrow(text, codepage), codepage) == text;
    } catch (const invalid_codepage&) {
        return false;
    } catch (const unmappable_character&) {
        return false;
    }
}

}  // namespace replay::unicode
