#include "resources/version_info.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr DWORD kFixedSignature = 0xFEEF04BD;
constexpr DWORD kFixedStructVersion = 0x00010000;

void Align(std::vector<BYTE>& out) {
    while (out.size() % 4)
        out.push_back(0);
}

void Append(std::vector<BYTE>& out, const void* data, size_t size) {
    const BYTE* bytes = static_cast<const BYTE*>(data);
    out.insert(out.end(), bytes, bytes + size);
}

void AppendWord(std::vector<BYTE>& out, WORD value) {
    Append(out, &value, sizeof value);
}

void AppendText(std::vector<BYTE>& out, const std::wstring& text) {
    for (wchar_t c : text) {
        WCHAR unit = static_cast<WCHAR>(c);
        Append(out, &unit, sizeof unit);
    }
    WCHAR terminator = 0;
    Append(out, &terminator, sizeof terminator);
}

// One block: header, key, value, children; its length written at the end.
// valueLength counts characters for text values and bytes for binary ones.
void AppendBlock(std::vector<BYTE>& out, const std::wstring& key, WORD valueLength, bool text,
                 const std::vector<BYTE>& value, const std::vector<BYTE>& children) {
    Align(out);
    size_t start = out.size();
    AppendWord(out, 0);
    AppendWord(out, valueLength);
    AppendWord(out, text ? 1 : 0);
    AppendText(out, key);
    Align(out);
    Append(out, value.data(), value.size());
    if (!children.empty()) {
        Align(out);
        Append(out, children.data(), children.size());
    }
    WORD length = static_cast<WORD>(out.size() - start);
    std::memcpy(out.data() + start, &length, sizeof length);
}

std::vector<BYTE> TextValue(const std::wstring& text) {
    std::vector<BYTE> value;
    AppendText(value, text);
    return value;
}

std::vector<BYTE> FixedFileInfo(const WORD (&v)[4]) {
    DWORD fixed[13] = {kFixedSignature,
                       kFixedStructVersion,
                       DWORD(v[0]) << 16 | v[1],
                       DWORD(v[2]) << 16 | v[3],
                       DWORD(v[0]) << 16 | v[1],
                       DWORD(v[2]) << 16 | v[3],
                       0x3F,     // file flags mask
                       0,        // file flags
                       0x40004,  // VOS_NT_WINDOWS32
                       2,        // VFT_DLL
                       0,        // subtype
                       0,
                       0};
    std::vector<BYTE> value(sizeof fixed);
    std::memcpy(value.data(), fixed, sizeof fixed);
    return value;
}

}  // namespace

std::vector<BYTE> BuildVersionInfo(const VersionStrings& version) {
    std::vector<BYTE> strings;
    for (const auto& [key, text] : version.strings)
        AppendBlock(strings, key, static_cast<WORD>(text.size() + 1), true, TextValue(text), {});

    wchar_t tableKey[9];
    swprintf(tableKey, 9, L"%04x%04x", version.language, version.codePage);
    std::vector<BYTE> table;
    AppendBlock(table, tableKey, 0, true, {}, strings);
    std::vector<BYTE> stringFileInfo;
    AppendBlock(stringFileInfo, L"StringFileInfo", 0, true, {}, table);

    DWORD translation = DWORD(version.codePage) << 16 | version.language;
    std::vector<BYTE> translationValue(sizeof translation);
    std::memcpy(translationValue.data(), &translation, sizeof translation);
    std::vector<BYTE> var;
    AppendBlock(var, L"Translation", sizeof translation, false, translationValue, {});
    std::vector<BYTE> varFileInfo;
    AppendBlock(varFileInfo, L"VarFileInfo", 0, true, {}, var);

    std::vector<BYTE> children = stringFileInfo;
    Align(children);
    Append(children, varFileInfo.data(), varFileInfo.size());
    std::vector<BYTE> fixed = FixedFileInfo(version.fileVersion);
    std::vector<BYTE> out;
    AppendBlock(out, L"VS_VERSION_INFO", static_cast<WORD>(fixed.size()), false, fixed, children);
    return out;
}
