// Applying a registry script through the registry functions, as any caller
// would: registration creates, unregistration removes deepest first.
#include "registrar/registry_script.h"

#include <winerror.h>
#include <winreg.h>

namespace platform::registrar {
namespace {

// An opened key, closed when it goes out of scope.
class OpenKey {
  public:
    OpenKey() = default;
    ~OpenKey() {
        if (m_handle)
            RegCloseKey(m_handle);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    HKEY* out() { return &m_handle; }
    HKEY get() const { return m_handle; }

  private:
    HKEY m_handle = nullptr;
};

HRESULT FromStatus(LSTATUS status) {
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

// Removes the key with everything below it; a missing key is no failure.
LSTATUS DeleteTree(HKEY parent, const std::wstring& name) {
    const LSTATUS status = RegDeleteTreeW(parent, name.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LSTATUS SetValue(HKEY key, const wchar_t* name, const ScriptValue& value) {
    return RegSetValueExW(key, name, 0, value.type, value.data.data(),
                          static_cast<DWORD>(value.data.size()));
}

LSTATUS RegisterBody(HKEY key, const ScriptKey& body);

LSTATUS RegisterKey(HKEY parent, const ScriptKey& script) {
    if (script.mode == KeyMode::Delete)
        return DeleteTree(parent, script.name);
    if (script.mode == KeyMode::ForceRemove) {
        if (LSTATUS status = DeleteTree(parent, script.name); status != ERROR_SUCCESS)
            return status;
    }
    OpenKey key;
    LSTATUS status =
        RegCreateKeyExW(parent, script.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.out(), nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    if (script.defaultValue) {
        if ((status = SetValue(key.get(), nullptr, *script.defaultValue)) != ERROR_SUCCESS)
            return status;
    }
    return RegisterBody(key.get(), script);
}

LSTATUS RegisterBody(HKEY key, const ScriptKey& body) {
    for (const NamedValue& value : body.values) {
        if (LSTATUS status = SetValue(key, value.name.c_str(), value.value);
            status != ERROR_SUCCESS)
            return status;
    }
    for (const ScriptKey& subkey : body.subkeys) {
        if (LSTATUS status = RegisterKey(key, subkey); status != ERROR_SUCCESS)
            return status;
    }
    return ERROR_SUCCESS;
}

// Content the script cannot have named for this key: a subkey left after its
// listed ones were removed, or a named value. The key's own default value is
// its own and goes with it.
bool HoldsOtherContent(HKEY key) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_NO_MORE_ITEMS)
        return true;
    std::vector<wchar_t> valueName(16384);
    for (DWORD index = 0;; ++index) {
        DWORD valueLength = static_cast<DWORD>(valueName.size());
        const LSTATUS status = RegEnumValueW(key, index, valueName.data(), &valueLength, nullptr,
                                             nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            return false;
        if (status != ERROR_SUCCESS || valueLength != 0)
            return true;
    }
}

LSTATUS UnregisterBody(HKEY key, const ScriptKey& body);

LSTATUS UnregisterKey(HKEY parent, const ScriptKey& script) {
    if (script.mode == KeyMode::Delete)
        return ERROR_SUCCESS;
    if (script.mode == KeyMode::ForceRemove)
        return DeleteTree(parent, script.name);
    bool remove = false;
    {
        OpenKey key;
        LSTATUS status = RegOpenKeyExW(parent, script.name.c_str(), 0, KEY_ALL_ACCESS, key.out());
        if (status == ERROR_FILE_NOT_FOUND)
            return ERROR_SUCCESS;  // already gone: nothing to undo
        if (status != ERROR_SUCCESS)
            return status;
        if ((status = UnregisterBody(key.get(), script)) != ERROR_SUCCESS)
            return status;
        // A key that holds what other components put there stays, so that
        // unregistering one server never takes another's entries with it.
        remove = script.mode == KeyMode::Plain && !HoldsOtherContent(key.get());
    }
    return remove ? RegDeleteKeyW(parent, script.name.c_str()) : ERROR_SUCCESS;
}

LSTATUS UnregisterBody(HKEY key, const ScriptKey& body) {
    for (const ScriptKey& subkey : body.subkeys) {
        if (LSTATUS status = UnregisterKey(key, subkey); status != ERROR_SUCCESS)
            return status;
    }
    for (const NamedValue& value : body.values) {
        if (value.keepOnUnregister)
            continue;
        const LSTATUS status = RegDeleteValueW(key, value.name.c_str());
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            return status;
    }
    return ERROR_SUCCESS;
}

}  // namespace

HRESULT RegisterScript(const Script& script) {
    for (const ScriptRoot& root : script) {
        if (HRESULT hr = FromStatus(RegisterBody(root.root, root.body)); FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT UnregisterScript(const Script& script) {
    for (const ScriptRoot& root : script) {
        if (HRESULT hr = FromStatus(UnregisterBody(root.root, root.body)); FAILED(hr))
            return hr;
    }
    return S_OK;
}

}  // namespace platform::registrar
