// Conversions between the platform's wide text (wchar_t holding UTF-32) and
// the encodings of ".reg" files: UTF-8 text, and UTF-16LE bytes for the data
// of string values written in hex and for files saved by regedit.
#pragma once

#include <windef.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

// UTF-8 of the text; a character that is no Unicode scalar value (a lone
// surrogate, or above U+10FFFF) becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);

// The text of strict UTF-8, or nothing when the bytes are not UTF-8.
std::optional<std::wstring> FromUtf8(std::string_view bytes);

// UTF-16LE bytes of wide-string data (sizeof(WCHAR) bytes a character);
// characters beyond the Basic Multilingual Plane become surrogate pairs.
std::vector<BYTE> WideDataToUtf16(const std::vector<BYTE>& data);

// Wide-string data from UTF-16LE bytes (an even number of them); pairs of
// surrogates are joined, a lone surrogate is kept as it is.
std::vector<BYTE> Utf16ToWideData(const std::vector<BYTE>& utf16);

// The characters of UTF-16LE bytes as wide text.
std::wstring Utf16ToWide(std::string_view bytes);

// Wide text as registry data (sizeof(WCHAR) bytes a character), and back.
std::vector<BYTE> WideToData(std::wstring_view text);
std::wstring DataToWide(const std::vector<BYTE>& data);

}  // namespace platform::registry
