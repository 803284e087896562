#include <platform/version_resource.h>

#include <cstring>

namespace platform {
namespace {

void Align(std::vector<BYTE>& out) {
    while (out.size() % 4)
        out.push_back(0);
}

void Append(std::vector<BYTE>& out, const void* data, size_t size) {
    const BYTE* bytes = static_cast<const BYTE*>(data);
    out.insert(out.end(), bytes, bytes + size);
}

template <class T>
void AppendValue(std::vector<BYTE>& out, T value) {
    Append(out, &value, sizeof value);
}

void AppendText(std::vector<BYTE>& out, std::wstring_view text) {
    for (wchar_t c : text)
        AppendValue<WCHAR>(out, static_cast<WCHAR>(c));
    AppendValue<WCHAR>(out, 0);
}

// One block: header, key, value, children; its length written at the end.
void AppendBlock(std::vector<BYTE>& out, const VersionBlock& block) {
    Align(out);
    const size_t start = out.size();
    AppendValue<WORD>(out, 0);
    AppendValue<WORD>(out, block.valueLength);
    AppendValue<WORD>(out, block.text ? 1 : 0);
    AppendText(out, block.key);
    Align(out);
    Append(out, block.value.data(), block.value.size());
    for (const VersionBlock& child : block.children)
        AppendBlock(out, child);
    const WORD length = static_cast<WORD>(out.size() - start);
    std::memcpy(out.data() + start, &length, sizeof length);
}

DWORD HighLow(WORD high, WORD low) {
    return DWORD(high) << 16 | low;
}

}  // namespace

VersionBlock VersionBlock::Group(std::wstring_view key, std::vector<VersionBlock> children) {
    return {std::wstring(key), true, 0, {}, std::move(children)};
}

VersionBlock VersionBlock::Text(std::wstring_view key, std::wstring_view text) {
    VersionBlock block{std::wstring(key), true, static_cast<WORD>(text.size() + 1), {}, {}};
    AppendText(block.value, text);
    return block;
}

VersionBlock VersionBlock::Words(std::wstring_view key, std::initializer_list<WORD> words) {
    VersionBlock block{
        std::wstring(key), false, static_cast<WORD>(words.size() * sizeof(WORD)), {}, {}};
    for (WORD word : words)
        AppendValue(block.value, word);
    return block;
}

std::vector<BYTE> BuildVersionResource(const FixedVersionInfo& fixed,
                                       const std::vector<VersionBlock>& children) {
    const WORD(&file)[4] = fixed.fileVersion;
    const WORD(&product)[4] = fixed.productVersion;
    const DWORD info[13] = {VS_FFI_SIGNATURE,
                            VS_FFI_STRUCVERSION,
                            HighLow(file[0], file[1]),
                            HighLow(file[2], file[3]),
                            HighLow(product[0], product[1]),
                            HighLow(product[2], product[3]),
                            fixed.flagsMask,
                            fixed.flags,
                            fixed.os,
                            fixed.type,
                            fixed.subtype,
                            0,  // no file date
                            0};
    VersionBlock root{L"VS_VERSION_INFO", false, sizeof info, {}, children};
    Append(root.value, info, sizeof info);
    std::vector<BYTE> out;
    AppendBlock(out, root);
    return out;
}

}  // namespace platform
