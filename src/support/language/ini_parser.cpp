#include "support/language/ini_parser.h"

#include "support/utility/unique_handle.h"

#include <windows.h>

#include <cwctype>
#include <memory>
#include <string>

namespace {

constexpr wchar_t kTrimmed[] = L" \t\r\n\v\f";

// The value after "=": tabs and blanks skipped, then white space cut at both ends.
std::wstring TrimValue(const std::wstring& raw) {
    size_t first = raw.find_first_not_of(kTrimmed);
    if (first == std::wstring::npos)
        return {};
    size_t last = raw.find_last_not_of(kTrimmed);
    return raw.substr(first, last - first + 1);
}

IniParser::KeyTable ParseBody(const std::wstring& body) {
    IniParser::KeyTable keys;
    if (body.size() < 2)
        return keys;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find(L"\r\n", start);
        std::wstring line = body.substr(start, end == std::wstring::npos ? end : end - start);
        size_t equals = line.find(L'=');
        if (equals != std::wstring::npos)
            keys[LeadingNumber(line.substr(0, equals))] = TrimValue(line.substr(equals + 1));
        if (end == std::wstring::npos)
            break;
        start = end + 2;
    }
    return keys;
}

// The file's bytes after an optional UTF-16 byte-order mark; false on a read error.
bool ReadRest(HANDLE file, std::string& bytes) {
    bytes.clear();
    char buffer[4096];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &read, nullptr))
            return false;
        if (read == 0)
            break;
        bytes.append(buffer, read);
    }
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
        bytes.erase(0, 2);
    return true;
}

// Undecodable bytes become replacement characters rather than failing the load.
std::wstring DecodeUtf8(const std::string& bytes) {
    if (bytes.empty())
        return {};
    const int length = static_cast<int>(bytes.size());
    int needed = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0)
        return {};
    std::wstring text(static_cast<size_t>(needed), L'\0');
    int written = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, text.data(), needed);
    text.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return text;
}

}  // namespace

int LeadingNumber(const std::wstring& text) {
    size_t at = 0;
    while (at < text.size() && std::iswspace(static_cast<wint_t>(text[at])))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-'))
        negative = text[at++] == L'-';
    long long value = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
        value = value * 10 + (text[at] - L'0');
        if (value > 0x80000000LL)
            value = 0x80000000LL;  // saturate instead of overflowing
    }
    if (negative)
        value = -value;
    if (value > 0x7FFFFFFFLL)
        value = 0x7FFFFFFFLL;
    return static_cast<int>(value);
}

bool IniParser::Load(const std::wstring& path) {
    HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return false;
    UniqueHandle file(opened);
    std::string bytes;
    if (!ReadRest(file.get(), bytes))
        return false;
    ParseText(DecodeUtf8(bytes));
    return true;
}

void IniParser::ParseText(const std::wstring& text) {
    size_t position = 0;
    while (position < text.size()) {
        size_t open = text.find(L'[', position);
        if (open == std::wstring::npos)
            return;
        size_t close = text.find(L']', open + 1);
        if (close == std::wstring::npos) {
            // An unclosed header: kept under a name no lookup reaches.
            m_sections[std::wstring()] = ParseBody(text.substr(open + 1));
            return;
        }
        std::wstring name = text.substr(open + 1, close - open - 1);
        size_t next = text.find(L'[', close + 1);
        std::wstring body =
            text.substr(close + 1, next == std::wstring::npos ? next : next - close - 1);
        m_sections[name] = ParseBody(body);
        position = close;
    }
}

std::wstring IniParser::GetValue(const std::wstring& section, int key) const {
    if (section.empty())
        return {};
    auto found = m_sections.find(section);
    if (found == m_sections.end())
        return {};
    auto value = found->second.find(key);
    return value == found->second.end() ? std::wstring() : value->second;
}
