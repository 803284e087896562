// The registry's tree in memory: keys holding subkeys and values. Not
// thread-safe by itself; the registry store guards every access with its lock.
#pragma once

#include <windef.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

// The hives kept in files of their own. HKEY_CLASSES_ROOT lies in the machine
// hive (SOFTWARE\Classes).
enum class Hive { CurrentUser = 0, LocalMachine = 1 };
inline constexpr int kHiveCount = 2;

struct RegistryValue {
    std::wstring name;  // as created
    std::wstring folded;
    DWORD type = 0;
    std::vector<BYTE> data;
};

class RegistryKey : public std::enable_shared_from_this<RegistryKey> {
  public:
    RegistryKey(std::wstring name, Hive hive, std::weak_ptr<RegistryKey> parent);

    const std::wstring& name() const { return m_name; }
    Hive hive() const { return m_hive; }
    std::shared_ptr<RegistryKey> parent() const { return m_parent.lock(); }

    // A deleted key stays alive while handles refer to it, but every
    // operation on it fails with ERROR_KEY_DELETED.
    bool deleted() const { return m_deleted; }
    // Marks this key and everything below it deleted (a hive being replaced).
    void MarkTreeDeleted();

    std::shared_ptr<RegistryKey> FindSubkey(std::wstring_view name) const;
    // The subkey of that name, created when missing; `created` says which.
    std::shared_ptr<RegistryKey> OpenOrCreateSubkey(const std::wstring& name, bool& created);
    // Detaches a subkey and marks it deleted.
    void RemoveSubkey(const RegistryKey& child);
    // Subkeys in the order Windows enumerates them: by upper-cased name.
    const std::map<std::wstring, std::shared_ptr<RegistryKey>>& subkeys() const {
        return m_subkeys;
    }

    const RegistryValue* FindValue(std::wstring_view name) const;
    // Replaces the data of an existing value (keeping its name's case) or
    // adds a value at the end of the enumeration order.
    void SetValue(std::wstring_view name, DWORD type, std::vector<BYTE> data);
    bool RemoveValue(std::wstring_view name);
    const std::vector<RegistryValue>& values() const { return m_values; }

  private:
    std::wstring m_name;
    Hive m_hive;
    std::weak_ptr<RegistryKey> m_parent;
    bool m_deleted = false;
    std::map<std::wstring, std::shared_ptr<RegistryKey>> m_subkeys;
    std::vector<RegistryValue> m_values;  // in creation order, as Windows enumerates
};

}  // namespace platform::registry
