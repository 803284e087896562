#include "registry_access.h"

#include <cstring>
#include <cwchar>

namespace olsim {
namespace {

// The root and the rest of the path; null root for an unknown root name.
HKEY SplitRoot(const std::wstring& key, std::wstring& rest) {
    static const std::pair<const wchar_t*, HKEY> roots[] = {
        {L"HKCU", HKEY_CURRENT_USER},  {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKCR", HKEY_CLASSES_ROOT},  {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}};
    size_t slash = key.find(L'\\');
    std::wstring root = key.substr(0, slash);
    rest = slash == std::wstring::npos ? L"" : key.substr(slash + 1);
    for (const auto& [name, handle] : roots)
        if (wcscasecmp(name, root.c_str()) == 0)
            return handle;
    return nullptr;
}

class Key {
  public:
    Key(const std::wstring& path, bool create) {
        std::wstring rest;
        HKEY root = SplitRoot(path, rest);
        if (!root)
            return;
        LONG result = create ? RegCreateKeyExW(root, rest.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                               nullptr, &m_key, nullptr)
                             : RegOpenKeyExW(root, rest.c_str(), 0, KEY_READ, &m_key);
        if (result != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~Key() {
        if (m_key)
            RegCloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY get() const { return m_key; }

  private:
    HKEY m_key = nullptr;
};

bool Write(const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
           DWORD size) {
    Key opened(key, true);
    return opened.get() && RegSetValueExW(opened.get(), name.c_str(), 0, type,
                                          static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

// The key's parent and its own name; nothing for a root alone.
std::optional<std::pair<std::wstring, std::wstring>> SplitLast(const std::wstring& key) {
    const size_t slash = key.rfind(L'\\');
    if (slash == std::wstring::npos || slash + 1 == key.size())
        return std::nullopt;
    return std::make_pair(key.substr(0, slash), key.substr(slash + 1));
}

void CollectValues(const std::wstring& path, HKEY key, std::vector<RegistryValue>& values) {
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        RegistryValue value{path, name, type, std::vector<BYTE>(size)};
        nameLength = 16384;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, value.data.data(),
                          &size) == ERROR_SUCCESS) {
            value.data.resize(size);
            values.push_back(std::move(value));
        }
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        std::wstring child = path + L"\\" + name;
        Key opened(child, false);
        if (opened.get())
            CollectValues(child, opened.get(), values);
    }
}

}  // namespace

std::wstring RegistryValue::Display() const {
    if (type == REG_DWORD && data.size() == sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, data.data(), sizeof number);
        return std::to_wstring(number);
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring text(data.size() / sizeof(wchar_t), L'\0');
        std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
        return text.substr(0, text.find(L'\0'));
    }
    std::wstring hex;
    for (BYTE b : data) {
        wchar_t digits[4];
        swprintf(digits, 4, L"%02x", b);
        hex += hex.empty() ? L"hex:" : L",";
        hex += digits;
    }
    return hex.empty() ? L"hex:" : hex;
}

bool WriteRegistryDword(const std::wstring& key, const std::wstring& name, DWORD value) {
    return Write(key, name, REG_DWORD, &value, sizeof value);
}

bool WriteRegistryString(const std::wstring& key, const std::wstring& name,
                         const std::wstring& value) {
    return Write(key, name, REG_SZ, value.c_str(),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool WriteRegistryValue(const std::wstring& key, const std::wstring& name, DWORD type,
                        const std::vector<BYTE>& data) {
    return Write(key, name, type, data.data(), static_cast<DWORD>(data.size()));
}

bool DeleteRegistryValue(const std::wstring& key, const std::wstring& name) {
    Key opened(key, true);
    return opened.get() && RegDeleteValueW(opened.get(), name.c_str()) == ERROR_SUCCESS;
}

bool DeleteRegistryKey(const std::wstring& key) {
    const auto parts = SplitLast(key);
    if (!parts)
        return false;
    Key parent(parts->first, true);
    return parent.get() && RegDeleteTreeW(parent.get(), parts->second.c_str()) == ERROR_SUCCESS;
}

std::optional<RegistryValue> ReadRegistryValue(const std::wstring& key, const std::wstring& name) {
    Key opened(key, false);
    if (!opened.get())
        return std::nullopt;
    RegistryValue value{key, name, REG_NONE, {}};
    DWORD size = 0;
    if (RegQueryValueExW(opened.get(), name.c_str(), nullptr, &value.type, nullptr, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    if (RegQueryValueExW(opened.get(), name.c_str(), nullptr, &value.type, value.data.data(),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

std::vector<RegistryValue> ReadRegistryTree(const std::wstring& key) {
    std::vector<RegistryValue> values;
    Key opened(key, false);
    if (opened.get())
        CollectValues(key, opened.get(), values);
    return values;
}

}  // namespace olsim
