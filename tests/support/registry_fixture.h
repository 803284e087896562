// Registry helpers for tests: a fresh root per test and direct access to
// values through the platform's registry.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include "temp_root.h"

#include <string>
#include <vector>

class RegistryTest : public ::testing::Test {
  protected:
    static void SetDword(HKEY root, const std::wstring& key, const wchar_t* name, DWORD value) {
        Set(root, key, name, REG_DWORD, &value, sizeof value);
    }
    static void SetString(HKEY root, const std::wstring& key, const wchar_t* name,
                          const std::wstring& value) {
        Set(root, key, name, REG_SZ, value.c_str(),
            static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
    }
    static void SetMultiString(HKEY root, const std::wstring& key, const wchar_t* name,
                               const std::vector<std::wstring>& strings) {
        std::wstring data;
        for (const auto& s : strings)
            data += s + L'\0';
        data += L'\0';
        Set(root, key, name, REG_MULTI_SZ, data.data(),
            static_cast<DWORD>(data.size() * sizeof(WCHAR)));
    }
    static void Set(HKEY root, const std::wstring& key, const wchar_t* name, DWORD type,
                    const void* data, DWORD size) {
        HKEY opened = nullptr;
        ASSERT_EQ(RegCreateKeyW(root, key.c_str(), &opened), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(opened, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        RegCloseKey(opened);
    }
    // True when the value exists; its DWORD goes to `value`.
    static bool GetDword(HKEY root, const std::wstring& key, const wchar_t* name, DWORD& value) {
        HKEY opened = nullptr;
        if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
            return false;
        DWORD size = sizeof value;
        LSTATUS status = RegQueryValueExW(opened, name, nullptr, nullptr,
                                          reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(opened);
        return status == ERROR_SUCCESS;
    }
    static bool KeyExists(HKEY root, const std::wstring& key) {
        HKEY opened = nullptr;
        if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
            return false;
        RegCloseKey(opened);
        return true;
    }

    TempRoot m_root;
};
