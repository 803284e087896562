// MultiByteToWideChar and WideCharToMultiByte: Windows' argument checks and
// results around the codecs. wchar_t holds a whole code point here, so a
// character beyond U+FFFF is one unit of wide text, not a surrogate pair.
#include "text/best_fit.h"
#include "text/code_page_table.h"
#include "text/codec.h"

#include <errhandlingapi.h>
#include <winerror.h>
#include <winnls.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace platform::text {
namespace {

constexpr DWORD kMultiByteFlags =
    MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS;
constexpr DWORD kWideCharFlags =
    WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR | WC_NO_BEST_FIT_CHARS;

int Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

// The flags one direction of conversion accepts: its invalid-characters flag
// and the flags it documents for the pages that take them.
struct FlagSet {
    DWORD invalidChars;
    bool (*usualValid)(DWORD flags);
};

// Precomposed and composite exclude each other.
const FlagSet kMultiByteFlagSet{MB_ERR_INVALID_CHARS, [](DWORD flags) {
                                    const DWORD both = MB_PRECOMPOSED | MB_COMPOSITE;
                                    return (flags & ~kMultiByteFlags) == 0 &&
                                           (flags & both) != both;
                                }};

// WC_ERR_INVALID_CHARS belongs to UTF-8 and GB18030 alone.
const FlagSet kWideCharFlagSet{WC_ERR_INVALID_CHARS,
                               [](DWORD flags) { return (flags & ~kWideCharFlags) == 0; }};

bool FlagsValid(const CodePageInfo& page, DWORD flags, const FlagSet& set) {
    switch (page.flags) {
        case FlagRule::None:
            return flags == 0;
        case FlagRule::InvalidCharsOnly:
            return (flags & ~set.invalidChars) == 0;
        case FlagRule::Any:
            break;
    }
    return set.usualValid(flags);
}

// Pairs of UTF-16 surrogates, as wide text read from a UTF-16 source may
// hold, become the code point they encode; a lone surrogate stays as it is
// and the codecs treat it as invalid.
std::u32string ToCodePoints(const WCHAR* text, size_t length) {
    std::u32string points;
    points.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        const auto c = static_cast<char32_t>(text[i]);
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        const auto next = i + 1 < length ? static_cast<char32_t>(text[i + 1]) : 0;
        if (high && next >= 0xDC00 && next <= 0xDFFF) {
            points.push_back(0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00));
            ++i;
        } else {
            points.push_back(c);
        }
    }
    return points;
}

// The default character's bytes: the caller's (one character of the page,
// two bytes when it starts with a lead byte), or the page's own "?".
std::string DefaultCharBytes(const CodePageInfo& page, LPCSTR lpDefaultChar) {
    if (lpDefaultChar == nullptr) {
        return "?";
    }
    const auto first = static_cast<unsigned char>(lpDefaultChar[0]);
    for (size_t i = 0; i + 1 < page.leadBytes.size() && page.leadBytes[i] != 0; i += 2) {
        if (first >= page.leadBytes[i] && first <= page.leadBytes[i + 1] && lpDefaultChar[1] != 0) {
            return std::string(lpDefaultChar, 2);
        }
    }
    return std::string(1, lpDefaultChar[0]);
}

// Writes `result` to the caller's buffer under Windows' size rules: a
// buffer of size 0 asks for the size; a short buffer fails.
template <class Char, class Result>
int Deliver(const Result& result, Char* buffer, int bufferSize) {
    const auto needed = static_cast<int>(result.size());
    if (bufferSize == 0) {
        return needed;
    }
    if (needed > bufferSize) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::copy(result.begin(), result.end(), buffer);
    return needed;
}

// The checks both conversions make before the conversion itself, in the
// order that decides which error a call with several faults reports: the
// buffers, then the page, then the flags. Returns the page, or null after
// setting the last error.
const CodePageInfo* CheckCall(const void* input, int inputLength, const void* output,
                              int outputSize, UINT codePage, DWORD flags, const FlagSet& flagSet) {
    if (input == nullptr || inputLength == 0 || inputLength < -1 || outputSize < 0 ||
        (output == nullptr && outputSize != 0) || input == output) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const CodePageInfo* page = FindCodePage(ResolveCodePage(codePage));
    if (page == nullptr) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!FlagsValid(*page, flags, flagSet)) {
        Fail(ERROR_INVALID_FLAGS);
        return nullptr;
    }
    return page;
}

}  // namespace
}  // namespace platform::text

using namespace platform::text;

extern "C" int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr,
                                          int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar) {
    const CodePageInfo* page = CheckCall(lpMultiByteStr, cbMultiByte, lpWideCharStr, cchWideChar,
                                         CodePage, dwFlags, kMultiByteFlagSet);
    if (page == nullptr) {
        return 0;
    }
    const size_t length = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : cbMultiByte;
    DecodeResult decoded = CodecFor(*page).Decode({lpMultiByteStr, length});
    if (decoded.hadInvalid && (dwFlags & MB_ERR_INVALID_CHARS) != 0) {
        return Fail(ERROR_NO_UNICODE_TRANSLATION);
    }
    return Deliver(decoded.text, lpWideCharStr, cchWideChar);
}

extern "C" int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr,
                                          int cchWideChar, LPSTR lpMultiByteStr, int cbMultiByte,
                                          LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar) {
    const CodePageInfo* page = CheckCall(lpWideCharStr, cchWideChar, lpMultiByteStr, cbMultiByte,
                                         CodePage, dwFlags, kWideCharFlagSet);
    if (page == nullptr) {
        return 0;
    }
    if (page->rejectsDefaultChar && (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const size_t length = cchWideChar == -1 ? std::wcslen(lpWideCharStr) + 1 : cchWideChar;
    const Codec& codec = CodecFor(*page);
    std::u32string points = ToCodePoints(lpWideCharStr, length);
    const std::string defaultChar = DefaultCharBytes(*page, lpDefaultChar);
    EncodeResult encoded = codec.Encode(points, defaultChar);
    // Best fit is limited to the single-byte pages, whose tables are ours
    // to complete; the multi-byte pages use their default character.
    if (encoded.usedDefault && page->kind == CodecKind::SingleByte &&
        (dwFlags & WC_NO_BEST_FIT_CHARS) == 0 && ApplyBestFit(codec, points)) {
        encoded = codec.Encode(points, defaultChar);
    }
    if (encoded.hadInvalid && (dwFlags & WC_ERR_INVALID_CHARS) != 0) {
        return Fail(ERROR_NO_UNICODE_TRANSLATION);
    }
    if (lpUsedDefaultChar != nullptr) {
        *lpUsedDefaultChar = encoded.usedDefault ? TRUE : FALSE;
    }
    return Deliver(encoded.bytes, lpMultiByteStr, cbMultiByte);
}
