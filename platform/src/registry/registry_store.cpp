#include "registry/registry_store.h"

#include "platform/root.h"
#include "registry/atomic_file.h"
#include "registry/key_name.h"
#include "registry/reg_file.h"

#include <winerror.h>
#include <winreg.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace platform::registry {
namespace {

constexpr REGSAM kMaximumAllowed = 0x02000000;
constexpr REGSAM kGenericRead = 0x80000000;
constexpr REGSAM kGenericWrite = 0x40000000;
constexpr REGSAM kGenericAll = 0x10000000;

// The specific rights a requested access mask grants.
REGSAM GrantedRights(REGSAM requested) {
    REGSAM granted = requested & KEY_ALL_ACCESS;
    if (requested & (kMaximumAllowed | kGenericAll))
        granted |= KEY_ALL_ACCESS;
    if (requested & kGenericRead)
        granted |= KEY_READ;
    if (requested & kGenericWrite)
        granted |= KEY_WRITE;
    return granted;
}

// Keys Windows never lets a program delete: the hive roots, SOFTWARE under
// the machine, and the classes below it that HKEY_CLASSES_ROOT shows.
bool IsProtected(const RegistryKey& key) {
    auto parent = key.parent();
    if (!parent)
        return true;
    std::wstring name = FoldName(key.name());
    auto grandparent = parent->parent();
    if (key.hive() != Hive::LocalMachine)
        return false;
    if (!grandparent)
        return name == L"SOFTWARE";
    return !grandparent->parent() && name == L"CLASSES" && FoldName(parent->name()) == L"SOFTWARE";
}

std::filesystem::path HiveFilePath(Hive hive) {
    std::wstring name = HiveRootName(hive) + L".reg";
    return host::Root() / "registry" / std::filesystem::path(name);
}

std::string FileBytes(const std::filesystem::path& file, bool& readable) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    readable = in.good() || in.eof();
    return bytes.str();
}

// Whether a temporary file "<hive>.reg.<pid>.tmp" may still be written by
// a live process other than this one.
bool WrittenByAnotherLiveProcess(const std::string& name, const std::string& prefix) {
    std::string pid = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    char* end = nullptr;
    long number = std::strtol(pid.c_str(), &end, 10);
    if (pid.empty() || *end != '\0' || number <= 0 || number == ::getpid())
        return false;
    return ::kill(static_cast<pid_t>(number), 0) == 0 || errno == EPERM;
}

// Removes what a save interrupted in any process left behind; the hive file
// itself is whole, since it is only ever replaced by a rename.
void RemoveUnfinishedSaves(const std::filesystem::path& file,
                           std::vector<host::RegistryDiagnostic>& diagnostics) {
    std::error_code error;
    std::string prefix = file.filename().string() + ".";
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path(), error)) {
        std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) != 0 || !name.ends_with(".tmp") ||
            WrittenByAnotherLiveProcess(name, prefix))
            continue;
        std::filesystem::remove(entry.path(), error);
        diagnostics.push_back(
            {file, 0,
             "removed " + name + ", left by an unfinished save; the file itself is whole"});
    }
}

}  // namespace

bool IsPredefinedKey(HKEY key) {
    auto value = reinterpret_cast<ULONG_PTR>(key);
    auto first = reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT);
    return value >= first && value < first + 0x10;
}

RegistryStore& RegistryStore::Instance() {
    static RegistryStore* store = new RegistryStore;  // lives as long as the process
    return *store;
}

void RegistryStore::EnsureLoaded() {
    if (m_loaded.load(std::memory_order_acquire))
        return;
    std::unique_lock lock(m_treeLock);
    if (!m_loaded.load(std::memory_order_relaxed))
        LoadLocked();
}

void RegistryStore::LoadLocked() {
    m_diagnostics.clear();
    LoadHive(Hive::CurrentUser);
    LoadHive(Hive::LocalMachine);
    for (const auto& diagnostic : m_diagnostics)
        std::cerr << "registry: " << diagnostic.ToString() << "\n";
    m_loaded.store(true, std::memory_order_release);
}

void RegistryStore::LoadHive(Hive hive) {
    HiveState& state = StateOf(hive);
    if (state.root)
        state.root->MarkTreeDeleted();
    state.file = HiveFilePath(hive);
    state.root =
        std::make_shared<RegistryKey>(HiveRootName(hive), hive, std::weak_ptr<RegistryKey>());
    RemoveUnfinishedSaves(state.file, m_diagnostics);
    std::error_code error;
    if (std::filesystem::exists(state.file, error)) {
        bool readable;
        std::string bytes = FileBytes(state.file, readable);
        auto found = ReadRegFile(bytes, *state.root, state.file);
        if (!readable)
            found.push_back({state.file, 0, "could not be read to its end"});
        if (!found.empty()) {
            // The next save writes only what was read: keep the file as found.
            std::filesystem::path kept = state.file.string() + ".damaged";
            std::filesystem::copy_file(state.file, kept,
                                       std::filesystem::copy_options::overwrite_existing, error);
            found.push_back(
                {state.file, 0,
                 "what was skipped is not saved again; " +
                     (error ? "no copy of the file as found could be made (" + error.message() + ")"
                            : "the file as found is kept as " + kept.filename().string())});
        }
        m_diagnostics.insert(m_diagnostics.end(), found.begin(), found.end());
    }
    if (hive == Hive::LocalMachine) {
        bool created;
        state.root->OpenOrCreateSubkey(L"SOFTWARE", created)
            ->OpenOrCreateSubkey(L"Classes", created);
    }
}

std::shared_ptr<RegistryKey> RegistryStore::ClassesRoot() {
    return StateOf(Hive::LocalMachine).root->FindSubkey(L"SOFTWARE")->FindSubkey(L"Classes");
}

RegistryStore::Resolved RegistryStore::Resolve(HKEY key, REGSAM needed) {
    Resolved resolved{ERROR_SUCCESS, nullptr, KEY_ALL_ACCESS};
    if (key == HKEY_CURRENT_USER) {
        resolved.key = StateOf(Hive::CurrentUser).root;
    } else if (key == HKEY_LOCAL_MACHINE) {
        resolved.key = StateOf(Hive::LocalMachine).root;
    } else if (key == HKEY_CLASSES_ROOT) {
        resolved.key = ClassesRoot();
    } else if (!IsPredefinedKey(key)) {
        if (auto opened = LookupHandleAs<OpenedKey>(key)) {
            resolved.key = opened->key;
            resolved.access = opened->access;
        }
    }
    if (!resolved.key)
        return {ERROR_INVALID_HANDLE, nullptr, 0};
    if (resolved.key->deleted())
        return {ERROR_KEY_DELETED, nullptr, 0};
    if ((resolved.access & needed) != needed)
        return {ERROR_ACCESS_DENIED, nullptr, 0};
    return resolved;
}

uint64_t RegistryStore::NoteChange(Hive hive) {
    return ++StateOf(hive).generation;
}

RegistryStore::Resolved RegistryStore::ResolvePath(HKEY parent,
                                                   const std::vector<std::wstring>& path) {
    Resolved resolved = Resolve(parent, 0);
    for (size_t i = 0; resolved.status == ERROR_SUCCESS && i < path.size(); ++i) {
        resolved.key = resolved.key->FindSubkey(path[i]);
        if (!resolved.key)
            resolved.status = ERROR_FILE_NOT_FOUND;
    }
    return resolved;
}

template <class Change>
LSTATUS RegistryStore::Modify(Change change) {
    EnsureLoaded();
    std::optional<Hive> changed;
    uint64_t generation = 0;
    LSTATUS status;
    {
        std::unique_lock lock(m_treeLock);
        status = change(changed);
        if (changed)
            generation = NoteChange(*changed);
    }
    // Saved outside the lock, so that readers are not held up by the disk.
    if (changed)
        Save(*changed, generation);
    return status;
}

LSTATUS RegistryStore::CreateKey(HKEY parent, const std::vector<std::wstring>& path, REGSAM access,
                                 HKEY* result, DWORD* disposition) {
    return Modify([&](std::optional<Hive>& changed) {
        // Creating checks the key's own security, not the rights of the handle.
        Resolved start = Resolve(parent, 0);
        if (start.status != ERROR_SUCCESS)
            return start.status;
        auto key = start.key;
        bool anyCreated = false;
        for (const std::wstring& name : path) {
            // Only the system makes keys directly under the machine's root.
            if (!key->parent() && key->hive() == Hive::LocalMachine && !key->FindSubkey(name))
                return static_cast<LSTATUS>(ERROR_ACCESS_DENIED);
            bool created = false;
            key = key->OpenOrCreateSubkey(name, created);
            anyCreated = anyCreated || created;
        }
        *result = NewHandle(key, access);
        if (disposition)
            *disposition = anyCreated ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        if (anyCreated)
            changed = key->hive();
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    });
}

LSTATUS RegistryStore::OpenKey(HKEY parent, const std::vector<std::wstring>& path, REGSAM access,
                               HKEY* result) {
    EnsureLoaded();
    std::shared_lock lock(m_treeLock);
    Resolved found = ResolvePath(parent, path);
    if (found.status == ERROR_SUCCESS)
        *result = NewHandle(found.key, access);
    return found.status;
}

HKEY RegistryStore::NewHandle(std::shared_ptr<RegistryKey> key, REGSAM access) {
    return static_cast<HKEY>(
        InsertHandle(std::make_shared<OpenedKey>(std::move(key), GrantedRights(access))));
}

LSTATUS RegistryStore::DeleteKey(HKEY parent, const std::vector<std::wstring>& path) {
    return Modify([&](std::optional<Hive>& changed) {
        // The rights of the handle do not matter: the key itself is opened for deletion.
        Resolved found = ResolvePath(parent, path);
        if (found.status != ERROR_SUCCESS)
            return found.status;
        if (IsProtected(*found.key) || !found.key->subkeys().empty())
            return static_cast<LSTATUS>(ERROR_ACCESS_DENIED);
        found.key->parent()->RemoveSubkey(*found.key);
        changed = found.key->hive();
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    });
}

LSTATUS RegistryStore::CloseKey(HKEY key) {
    if (IsPredefinedKey(key))
        return ERROR_SUCCESS;
    if (!LookupHandleAs<OpenedKey>(key) || !RemoveHandle(key))
        return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

template <class Look>
LSTATUS RegistryStore::Inspect(HKEY key, REGSAM needed, Look look) {
    EnsureLoaded();
    std::shared_lock lock(m_treeLock);
    Resolved resolved = Resolve(key, needed);
    if (resolved.status != ERROR_SUCCESS)
        return resolved.status;
    return look(*resolved.key);
}

LSTATUS RegistryStore::ReadValue(HKEY key, std::wstring_view name, RegistryValue& value) {
    return Inspect(key, KEY_QUERY_VALUE, [&](const RegistryKey& found) {
        const RegistryValue* stored = found.FindValue(name);
        if (!stored)
            return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
        value = *stored;
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    });
}

LSTATUS RegistryStore::WriteValue(HKEY key, std::wstring_view name, DWORD type,
                                  std::vector<BYTE> data) {
    return Modify([&](std::optional<Hive>& changed) {
        Resolved resolved = Resolve(key, KEY_SET_VALUE);
        if (resolved.status != ERROR_SUCCESS)
            return resolved.status;
        resolved.key->SetValue(name, type, std::move(data));
        changed = resolved.key->hive();
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    });
}

LSTATUS RegistryStore::DeleteValue(HKEY key, std::wstring_view name) {
    return Modify([&](std::optional<Hive>& changed) {
        Resolved resolved = Resolve(key, KEY_SET_VALUE);
        if (resolved.status != ERROR_SUCCESS)
            return resolved.status;
        if (!resolved.key->RemoveValue(name))
            return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
        changed = resolved.key->hive();
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    });
}

LSTATUS RegistryStore::SubkeyNameAt(HKEY key, DWORD index, std::wstring& name) {
    return Inspect(key, KEY_ENUMERATE_SUB_KEYS, [&](const RegistryKey& found) {
        const auto& subkeys = found.subkeys();
        if (index >= subkeys.size())
            return static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS);
        name = std::next(subkeys.begin(), index)->second->name();
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    });
}

LSTATUS RegistryStore::ValueAt(HKEY key, DWORD index, RegistryValue& value) {
    return Inspect(key, KEY_QUERY_VALUE, [&](const RegistryKey& found) {
        if (index >= found.values().size())
            return static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS);
        value = found.values()[index];
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    });
}

void RegistryStore::Save(Hive hive, uint64_t generation) {
    if (!m_saving.load(std::memory_order_relaxed))
        return;
    HiveState& state = StateOf(hive);
    std::lock_guard saving(state.saveLock);
    // A save by another thread since this change may already have written it.
    if (state.savedGeneration >= generation)
        return;
    SaveNow(state, Durability::ProcessEnd);
}

void RegistryStore::SaveNow(HiveState& state, Durability durability) {
    std::string text;
    std::filesystem::path file;
    uint64_t generation;
    {
        std::shared_lock lock(m_treeLock);
        text = FormatRegFile(*state.root);
        file = state.file;
        generation = state.generation;
    }
    std::string failure = ReplaceFileAtomically(file, text, durability);
    if (!failure.empty()) {
        std::cerr << "registry: the change is kept in memory only: " << failure << "\n";
        return;
    }
    state.savedGeneration = generation;
}

void RegistryStore::Reload() {
    std::scoped_lock saving(StateOf(Hive::CurrentUser).saveLock,
                            StateOf(Hive::LocalMachine).saveLock);
    std::unique_lock lock(m_treeLock);
    LoadLocked();
    for (HiveState& state : m_hives)
        state.savedGeneration = state.generation;
}

void RegistryStore::Flush() {
    EnsureLoaded();
    for (HiveState& state : m_hives) {
        std::lock_guard saving(state.saveLock);
        SaveNow(state, Durability::PowerLoss);
    }
}

std::filesystem::path RegistryStore::HiveFile(Hive hive) {
    EnsureLoaded();
    std::shared_lock lock(m_treeLock);
    return StateOf(hive).file;
}

std::vector<host::RegistryDiagnostic> RegistryStore::Diagnostics() {
    EnsureLoaded();
    std::shared_lock lock(m_treeLock);
    return m_diagnostics;
}

}  // namespace platform::registry

namespace platform::host {

std::string RegistryDiagnostic::ToString() const {
    std::string where = file.string();
    if (line)
        where += ":" + std::to_string(line);
    return where + ": " + message;
}

void ReloadRegistry() {
    registry::RegistryStore::Instance().Reload();
}
void FlushRegistry() {
    registry::RegistryStore::Instance().Flush();
}
void SetRegistrySaving(bool on) {
    registry::RegistryStore::Instance().SetSaving(on);
}

std::filesystem::path RegistryHiveFile(HKEY predefinedKey) {
    auto& store = registry::RegistryStore::Instance();
    if (predefinedKey == HKEY_CURRENT_USER)
        return store.HiveFile(registry::Hive::CurrentUser);
    if (predefinedKey == HKEY_LOCAL_MACHINE || predefinedKey == HKEY_CLASSES_ROOT)
        return store.HiveFile(registry::Hive::LocalMachine);
    return {};
}

std::vector<RegistryDiagnostic> RegistryLoadDiagnostics() {
    return registry::RegistryStore::Instance().Diagnostics();
}

}  // namespace platform::host
