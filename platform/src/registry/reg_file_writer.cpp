#include "registry/reg_file.h"

#include "core/utf8.h"
#include "registry/unicode_text.h"

#include <winreg.h>

#include <cstdio>
#include <cstring>

namespace platform::registry {
namespace {

// Regedit wraps hex data so that no line is much longer than this.
constexpr size_t kHexLineWidth = 77;

std::string Quoted(std::wstring_view text) {
    std::string out = "\"";
    for (char c : EncodeUtf8(text).bytes) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string ValueNameField(const std::wstring& name) {
    return name.empty() ? "@" : Quoted(name);
}

// Whether string data can be written as "text": whole characters, one
// terminating null and no other, nothing that would break the line, and all
// characters expressible in UTF-8.
bool FitsQuotedText(const std::vector<BYTE>& data) {
    if (data.empty() || data.size() % sizeof(wchar_t) != 0)
        return false;
    std::wstring text = DataToWide(data);
    if (text.back() != L'\0')
        return false;
    text.pop_back();
    for (wchar_t c : text) {
        auto u = static_cast<char32_t>(c);
        if (c == L'\0' || c == L'\r' || c == L'\n' || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF))
            return false;
    }
    return true;
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::string HexBytes(std::string line, const std::vector<BYTE>& bytes) {
    std::string out;
    char digits[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
        line += digits;
        if (i + 1 == bytes.size())
            break;
        line += ',';
        if (line.size() >= kHexLineWidth) {
            out += line + "\\\n";
            line = "  ";
        }
    }
    return out + line + "\n";
}

std::string ValueLine(const RegistryValue& value) {
    std::string name = ValueNameField(value.name) + "=";
    if (value.type == REG_SZ && FitsQuotedText(value.data)) {
        std::wstring text = DataToWide(value.data);
        text.pop_back();
        return name + Quoted(text) + "\n";
    }
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        DWORD number;
        std::memcpy(&number, value.data.data(), sizeof number);
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x\n", number);
        return name + digits;
    }
    if (value.type == REG_BINARY)
        return HexBytes(name + "hex:", value.data);
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
    // String data goes to the file as UTF-16LE bytes, as regedit writes it.
    const std::vector<BYTE>& bytes =
        IsStringType(value.type) ? WideDataToUtf16(value.data) : value.data;
    return HexBytes(name + prefix, bytes);
}

void FormatKey(const RegistryKey& key, const std::wstring& path, bool isRoot, std::string& out) {
    if (!isRoot || !key.values().empty()) {
        out += "[" + EncodeUtf8(path).bytes + "]\n";
        for (const RegistryValue& value : key.values())
            out += ValueLine(value);
        out += "\n";
    }
    for (const auto& [folded, child] : key.subkeys())
        FormatKey(*child, path + L"\\" + child->name(), false, out);
}

}  // namespace

std::wstring HiveRootName(Hive hive) {
    return hive == Hive::CurrentUser ? L"HKEY_CURRENT_USER" : L"HKEY_LOCAL_MACHINE";
}

std::string FormatRegFile(const RegistryKey& root) {
    std::string out = std::string(kRegFileHeader) + "\n\n";
    FormatKey(root, HiveRootName(root.hive()), true, out);
    return out;
}

}  // namespace platform::registry
