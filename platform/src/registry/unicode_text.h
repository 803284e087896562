// Conversions between the platform's wide text (wchar_t holding UTF-32) and
// the UTF-16LE bytes of ".reg" files: the data of string values written in
// hex, and whole files saved by regedit. UTF-8 text goes through core/utf8.h.
#pragma once

#include <windef.h>

#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

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
