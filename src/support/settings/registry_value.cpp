#include "support/settings/registry_value.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "support/log/logger.h"

namespace settings {
namespace {

// Buffers as large as the settings ever need: 8,000 wide characters for a
// string or multi-string, 1,024 bytes for a narrow one. A longer value reads
// as missing.
constexpr size_t kWideCapacity = 8000;
constexpr size_t kNarrowCapacity = 1024;

class OpenKey {
  public:
    OpenKey(HKEY root, const wchar_t* key) {
        if (RegCreateKeyW(root, key, &m_handle) != ERROR_SUCCESS)
            m_handle = nullptr;
    }
    OpenKey(HKEY root, const char* key) {
        if (RegCreateKeyA(root, key, &m_handle) != ERROR_SUCCESS)
            m_handle = nullptr;
    }
    ~OpenKey() {
        if (m_handle)
            RegCloseKey(m_handle);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    explicit operator bool() const { return m_handle != nullptr; }
    HKEY get() const { return m_handle; }

  private:
    HKEY m_handle = nullptr;
};

const wchar_t* RootName(HKEY root) {
    if (root == HKEY_CURRENT_USER)
        return L"HKCU";
    if (root == HKEY_LOCAL_MACHINE)
        return L"HKLM";
    if (root == HKEY_CLASSES_ROOT)
        return L"HKCR";
    return L"HKEY";
}

std::wstring TypeName(DWORD type) {
    switch (type) {
        case REG_NONE:
            return L"REG_NONE";
        case REG_SZ:
            return L"REG_SZ";
        case REG_EXPAND_SZ:
            return L"REG_EXPAND_SZ";
        case REG_BINARY:
            return L"REG_BINARY";
        case REG_DWORD:
            return L"REG_DWORD";
        case REG_MULTI_SZ:
            return L"REG_MULTI_SZ";
        default:
            return L"type " + std::to_wstring(type);
    }
}

// What a read expects of a value: its types and, for fixed-size values, its
// size in bytes (0: any size up to the buffer).
struct Expected {
    DWORD type;
    DWORD alsoTaken;  // a second type read the same way, or the first again
    DWORD size;
    const wchar_t* description;
};

const Expected kDword{REG_DWORD, REG_DWORD, sizeof(DWORD), L"a 4-byte REG_DWORD"};
const Expected kDate{REG_BINARY, REG_BINARY, sizeof(DATE), L"an 8-byte REG_BINARY date"};
const Expected kString{REG_SZ, REG_EXPAND_SZ, 0, L"a REG_SZ"};
const Expected kMultiString{REG_MULTI_SZ, REG_MULTI_SZ, 0, L"a REG_MULTI_SZ"};

// A value of another type or size is not what its reader takes it for: it
// reads as missing, and the log says which value and why. (A report while
// another is being written is dropped: the log reads its own switch.)
bool Fits(const Expected& expected, DWORD type, DWORD size, const std::wstring& where) {
    const bool typeFits = type == expected.type || type == expected.alsoTaken;
    if (typeFits && (expected.size == 0 || size == expected.size))
        return true;
    static thread_local bool reporting = false;
    if (!reporting) {
        reporting = true;
        CLogger::GetInstance().LogMessage("CSettings::ReadValue",
                                          where + L" is " + TypeName(type) + L" of " +
                                              std::to_wstring(size) + L" bytes, not " +
                                              expected.description + L": read as missing");
        reporting = false;
    }
    return false;
}

// A value there, read or too large for the buffer: a value too large is
// still weighed, so that a threshold stored as the string "50" is told of as
// one of the wrong type, not passed over in silence.
bool Readable(LSTATUS status) {
    return status == ERROR_SUCCESS || status == ERROR_MORE_DATA;
}

LSTATUS QueryValue(HKEY key, const wchar_t* value, DWORD* type, void* buffer, DWORD* size) {
    return RegQueryValueExW(key, value, nullptr, type, static_cast<BYTE*>(buffer), size);
}
LSTATUS QueryValue(HKEY key, const char* value, DWORD* type, void* buffer, DWORD* size) {
    return RegQueryValueExA(key, value, nullptr, type, static_cast<BYTE*>(buffer), size);
}

// The value's place as the log names it: root, key and name.
std::wstring PlaceOf(HKEY root, std::wstring_view key, std::wstring_view value) {
    return std::wstring(RootName(root)) + L"\\" + std::wstring(key) + L"\\" + std::wstring(value);
}
std::wstring PlaceOf(HKEY root, std::string_view key, std::string_view value) {
    auto widen = [](std::string_view text) { return std::wstring(text.begin(), text.end()); };
    return PlaceOf(root, widen(key), widen(value));
}

// Reads raw bytes into `buffer` through the wide or the ANSI API, as the key
// and name are given; `size` receives the byte count read (or needed, when
// the buffer is too small: the value then reads as missing). The value must
// be of the kind `expected` describes.
template <class Char>
bool Query(HKEY root, std::basic_string_view<Char> key, const Char* value, const Expected& expected,
           void* buffer, DWORD& size) {
    const std::basic_string<Char> keyText(key);
    OpenKey opened(root, keyText.c_str());
    DWORD type = REG_NONE;
    if (!opened)
        return false;
    const LSTATUS status = QueryValue(opened.get(), value, &type, buffer, &size);
    if (!Readable(status))
        return false;
    return Fits(expected, type, size,
                PlaceOf(root, key,
                        value ? std::basic_string_view<Char>(value)
                              : std::basic_string_view<Char>())) &&
           status == ERROR_SUCCESS;
}

bool Set(const std::wstring& key, const wchar_t* value, DWORD type, const void* data, DWORD size) {
    OpenKey opened(HKEY_CURRENT_USER, key.c_str());
    return opened && RegSetValueExW(opened.get(), value, 0, type, static_cast<const BYTE*>(data),
                                    size) == ERROR_SUCCESS;
}

// The strings of a multi-string buffer, without the empty ones.
template <class Char>
std::vector<std::basic_string<Char>> SplitMultiString(const Char* data, size_t length) {
    std::vector<std::basic_string<Char>> strings;
    const Char* end = data + length;
    for (const Char* start = data; start < end;) {
        const Char* stop = std::find(start, end, Char{});
        if (stop > start)
            strings.emplace_back(start, stop);
        start = stop + 1;
    }
    return strings;
}

}  // namespace

bool ReadDword(HKEY root, const std::wstring& key, const wchar_t* value, DWORD& out) {
    DWORD number = 0;
    DWORD size = sizeof number;
    if (!Query<wchar_t>(root, key, value, kDword, &number, size))
        return false;
    out = number;
    return true;
}

bool ReadDate(HKEY root, const std::wstring& key, const wchar_t* value, DATE& out) {
    DATE date = 0;
    DWORD size = sizeof date;
    if (!Query<wchar_t>(root, key, value, kDate, &date, size))
        return false;
    out = date;
    return true;
}

bool ReadString(HKEY root, const std::wstring& key, const wchar_t* value, std::wstring& out) {
    std::array<WCHAR, kWideCapacity> buffer{};
    DWORD size = sizeof buffer;
    if (!Query<wchar_t>(root, key, value, kString, buffer.data(), size))
        return false;
    const size_t length = std::min<size_t>(size / sizeof(WCHAR), buffer.size());
    out.assign(buffer.data(), std::find(buffer.data(), buffer.data() + length, L'\0'));
    return true;
}

bool ReadMultiString(HKEY root, const std::wstring& key, const wchar_t* value,
                     std::vector<std::wstring>& out) {
    std::array<WCHAR, kWideCapacity> buffer{};
    DWORD size = sizeof buffer;
    if (!Query<wchar_t>(root, key, value, kMultiString, buffer.data(), size))
        return false;
    out = SplitMultiString(buffer.data(), size / sizeof(WCHAR));
    return true;
}

bool ReadNarrowString(HKEY root, const char* key, const char* value, std::string& out) {
    std::array<char, kNarrowCapacity> buffer{};
    DWORD size = sizeof buffer;
    if (!Query<char>(root, key, value, kString, buffer.data(), size))
        return false;
    const size_t length = std::min<size_t>(size, buffer.size());
    out.assign(buffer.data(), std::find(buffer.data(), buffer.data() + length, '\0'));
    return true;
}

bool ReadNarrowMultiString(HKEY root, const char* key, const char* value,
                           std::vector<std::string>& out) {
    std::array<char, kNarrowCapacity> buffer{};
    DWORD size = sizeof buffer;
    if (!Query<char>(root, key, value, kMultiString, buffer.data(), size))
        return false;
    out = SplitMultiString(buffer.data(), std::min<size_t>(size, buffer.size()));
    return true;
}

bool WriteDword(const std::wstring& key, const wchar_t* value, DWORD number) {
    return Set(key, value, REG_DWORD, &number, sizeof number);
}

bool WriteString(const std::wstring& key, const wchar_t* value, const std::wstring& text) {
    const DWORD size = static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR));
    return Set(key, value, REG_SZ, text.c_str(), size);
}

bool WriteDate(const std::wstring& key, const wchar_t* value, DATE date) {
    return Set(key, value, REG_BINARY, &date, sizeof date);
}

bool Increment(const std::wstring& key, const wchar_t* value) {
    DWORD number = 0;
    if (!ReadDword(HKEY_CURRENT_USER, key, value, number))
        return false;
    return WriteDword(key, value, number + 1);
}

}  // namespace settings
