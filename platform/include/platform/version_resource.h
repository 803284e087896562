// A module's version resource (VS_VERSIONINFO) laid out as a resource
// compiler lays it out: nested blocks of a length, a value length, a type, a
// key and a value, each on a 32-bit boundary, the fixed file information
// first. Text is in the platform's WCHAR units, as VerQueryValueW reads it.
//
//   BuildVersionResource({{1, 0, 0, 1}, {1, 0, 0, 1}, 0x3F, 0, VOS_NT_WINDOWS32, VFT_DLL, 0},
//       {VersionBlock::Group(L"StringFileInfo", {VersionBlock::Group(L"040904e4",
//            {VersionBlock::Text(L"FileVersion", L"1, 0, 0, 1")})}),
//        VersionBlock::Group(L"VarFileInfo",
//            {VersionBlock::Words(L"Translation", {0x0409, 0x04E4})})});
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct FixedVersionInfo {
    WORD fileVersion[4];
    WORD productVersion[4];
    DWORD flagsMask;
    DWORD flags;
    DWORD os;
    DWORD type;
    DWORD subtype;
};

struct VersionBlock {
    std::wstring key;
    bool text = true;         // the value's type: text or binary
    WORD valueLength = 0;     // characters for text, bytes for binary
    std::vector<BYTE> value;  // already laid out
    std::vector<VersionBlock> children;

    static VersionBlock Group(std::wstring_view key, std::vector<VersionBlock> children);
    static VersionBlock Text(std::wstring_view key, std::wstring_view text);
    static VersionBlock Words(std::wstring_view key, std::initializer_list<WORD> words);
};

std::vector<BYTE> BuildVersionResource(const FixedVersionInfo& fixed,
                                       const std::vector<VersionBlock>& children);

}  // namespace platform
