// A module's version resource (VS_VERSIONINFO) laid out as Windows lays it
// out: nested blocks of a length, a value length, a type, a key and a value,
// each on a 32-bit boundary, with the fixed file information first and the
// strings of one language and code page. WCHAR is the platform's.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

struct VersionStrings {
    WORD language;
    WORD codePage;
    WORD fileVersion[4];
    std::vector<std::pair<std::wstring, std::wstring>> strings;  // key, value
};

std::vector<BYTE> BuildVersionInfo(const VersionStrings& version);
