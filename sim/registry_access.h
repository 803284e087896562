// The simulator's reading and writing of the registry, by full key paths that
// begin with their root ("HKCU\Software\Brevint", "HKLM\...", also the long
// root names).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace olsim {

struct RegistryValue {
    std::wstring key;
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    // dword and sz as their number and text, others as hexadecimal bytes.
    std::wstring Display() const;
};

bool WriteRegistryDword(const std::wstring& key, const std::wstring& name, DWORD value);
// MAPI's mail profiles, with the default one Outlook logs on to.
inline constexpr wchar_t kMailProfilesKey[] =
    L"HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";

bool WriteRegistryString(const std::wstring& key, const std::wstring& name,
                         const std::wstring& value);
// Any value, as raw data of its type.
bool WriteRegistryValue(const std::wstring& key, const std::wstring& name, DWORD type,
                        const std::vector<BYTE>& data);
// False when the value, or the key, is not there.
bool DeleteRegistryValue(const std::wstring& key, const std::wstring& name);
// The key with everything under it.
bool DeleteRegistryKey(const std::wstring& key);
std::optional<RegistryValue> ReadRegistryValue(const std::wstring& key, const std::wstring& name);
// Every value under the key and its subkeys, keys in the registry's order.
std::vector<RegistryValue> ReadRegistryTree(const std::wstring& key);

}  // namespace olsim
