// The process's registry: the hives in memory, the lock that guards them, the
// key handles, and loading from and saving to the hive files. The Reg*
// functions (wide, and the narrow ones as wrappers converting names and
// string data) are thin layers over these operations.
#pragma once

#include "core/handle_table.h"
#include "platform/registry.h"
#include "registry/atomic_file.h"
#include "registry/key_tree.h"

#include <windef.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

// What a key handle refers to: a key, and the rights it was opened with.
class OpenedKey : public KernelObject {
  public:
    OpenedKey(std::shared_ptr<RegistryKey> key, REGSAM access)
        : key(std::move(key)), access(access) {}
    const std::shared_ptr<RegistryKey> key;
    const REGSAM access;
};

// HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and the other HKEY_* constants.
bool IsPredefinedKey(HKEY key);

// Every operation returns a Win32 error code (ERROR_SUCCESS on success) and
// is safe to call from any thread.
class RegistryStore {
  public:
    static RegistryStore& Instance();

    LSTATUS CreateKey(HKEY parent, const std::vector<std::wstring>& path, REGSAM access,
                      HKEY* result, DWORD* disposition);
    LSTATUS OpenKey(HKEY parent, const std::vector<std::wstring>& path, REGSAM access,
                    HKEY* result);
    LSTATUS DeleteKey(HKEY parent, const std::vector<std::wstring>& path);
    LSTATUS CloseKey(HKEY key);

    // A copy of the value (name, type, data).
    LSTATUS ReadValue(HKEY key, std::wstring_view name, RegistryValue& value);
    LSTATUS WriteValue(HKEY key, std::wstring_view name, DWORD type, std::vector<BYTE> data);
    LSTATUS DeleteValue(HKEY key, std::wstring_view name);

    // Enumeration by index: ERROR_NO_MORE_ITEMS past the last one.
    LSTATUS SubkeyNameAt(HKEY key, DWORD index, std::wstring& name);
    LSTATUS ValueAt(HKEY key, DWORD index, RegistryValue& value);

    void Reload();
    void Flush();
    void SetSaving(bool on) { m_saving.store(on, std::memory_order_relaxed); }
    std::filesystem::path HiveFile(Hive hive);
    std::vector<host::RegistryDiagnostic> Diagnostics();

  private:
    struct HiveState {
        std::shared_ptr<RegistryKey> root;
        std::filesystem::path file;
        uint64_t generation = 0;       // counts changes; guarded by m_treeLock
        std::mutex saveLock;           // taken before m_treeLock when both are needed
        uint64_t savedGeneration = 0;  // what the file holds; guarded by saveLock
    };
    struct Resolved {
        LSTATUS status;
        std::shared_ptr<RegistryKey> key;
        REGSAM access = 0;
    };

    RegistryStore() = default;
    HiveState& StateOf(Hive hive) { return m_hives[static_cast<int>(hive)]; }

    void EnsureLoaded();
    void LoadLocked();
    void LoadHive(Hive hive);
    // The key a handle names, checked for the rights an operation needs.
    Resolved Resolve(HKEY key, REGSAM needed);
    // An existing key below a handle's key.
    Resolved ResolvePath(HKEY parent, const std::vector<std::wstring>& path);
    HKEY NewHandle(std::shared_ptr<RegistryKey> key, REGSAM access);
    // Runs a look at a handle's key under the shared lock.
    template <class Look>
    LSTATUS Inspect(HKEY key, REGSAM needed, Look look);
    // Runs a change under the exclusive lock, then saves the hive it changed.
    template <class Change>
    LSTATUS Modify(Change change);
    std::shared_ptr<RegistryKey> ClassesRoot();
    uint64_t NoteChange(Hive hive);
    void Save(Hive hive, uint64_t generation);
    void SaveNow(HiveState& state, Durability durability);

    std::shared_mutex m_treeLock;
    std::atomic<bool> m_loaded = false;
    std::atomic<bool> m_saving = true;  // off: changes are kept in memory only
    HiveState m_hives[kHiveCount];
    std::vector<host::RegistryDiagnostic> m_diagnostics;  // guarded by m_treeLock
};

}  // namespace platform::registry
