// What the registry's tests share: data as bytes, key handles closed when a
// test is done with them, values read back, everything under a key read
// through enumeration, and the hives' files under a test's root.
#pragma once

#include <windows.h>

#include "platform/registry.h"
#include "temp_root.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace host = platform::host;

namespace {

using Data = std::vector<BYTE>;

inline Data WideData(std::wstring_view text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    return Data(bytes, bytes + text.size() * sizeof(wchar_t));
}

template <class T>
inline Data PlainData(const T& value) {
    Data data(sizeof value);
    std::memcpy(data.data(), &value, sizeof value);
    return data;
}

// The key handle is closed when the test is done with it.
class Key {
  public:
    Key() = default;
    explicit Key(HKEY handle) : m_handle(handle) {}
    ~Key() {
        if (m_handle)
            RegCloseKey(m_handle);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* out() { return &m_handle; }
    operator HKEY() const { return m_handle; }

  private:
    HKEY m_handle = nullptr;
};

inline LSTATUS Create(HKEY parent, const wchar_t* path, Key& key, DWORD* disposition = nullptr) {
    return RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, key.out(), disposition);
}

inline LSTATUS Set(HKEY key, const wchar_t* name, DWORD type, const Data& data) {
    return RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
}

struct Stored {
    DWORD type;
    Data data;
    bool operator==(const Stored&) const = default;
};

inline std::optional<Stored> Query(HKEY key, const wchar_t* name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    Stored stored{type, Data(size)};
    EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &type, stored.data.data(), &size),
              ERROR_SUCCESS);
    return stored;
}

// Everything under a key, read through enumeration: path -> values in order.
using Snapshot = std::map<std::wstring, std::vector<std::tuple<std::wstring, DWORD, Data>>>;

inline void TakeSnapshot(HKEY key, const std::wstring& path, Snapshot& snapshot) {
    auto& values = snapshot[path];
    std::vector<wchar_t> name(16384);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size()), type = 0, size = 0;
        LSTATUS status =
            RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, nullptr, &size);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(status, ERROR_SUCCESS);
        Data data(size + sizeof(wchar_t));
        nameLength = static_cast<DWORD>(name.size());
        ASSERT_EQ(
            RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size),
            ERROR_SUCCESS);
        data.resize(size);
        values.emplace_back(std::wstring(name.data(), nameLength), type, data);
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        LSTATUS status = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(status, ERROR_SUCCESS);
        Key child;
        ASSERT_EQ(RegOpenKeyExW(key, name, 0, KEY_READ, child.out()), ERROR_SUCCESS);
        TakeSnapshot(child, path + L"\\" + name, snapshot);
    }
}

inline Snapshot SnapshotOf(HKEY root) {
    Snapshot snapshot;
    TakeSnapshot(root, L"", snapshot);
    return snapshot;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::filesystem::path HiveFile(const TempRoot& root, const char* hive) {
    return root.path() / "registry" / (std::string(hive) + ".reg");
}
// Puts `bytes` as the hive's file, as regedit, a person or a crash left it,
// and has the registry read its files again.
inline void SeedHive(const TempRoot& root, const char* hive, std::string_view bytes) {
    WriteFile(HiveFile(root, hive), bytes);
    host::ReloadRegistry();
}

}  // namespace
