// A registry script read into a tree: what registration creates and what
// unregistration removes. Reading checks the whole script, so nothing is
// applied from a script with an error anywhere in it.
#pragma once

#include <windef.h>
#include <winreg.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registrar {

// Replacement names (folded to upper case) and the text each stands for.
using Replacements = std::map<std::wstring, std::wstring>;

struct ScriptValue {
    DWORD type = REG_SZ;
    std::vector<BYTE> data;
};

struct NamedValue {
    std::wstring name;
    ScriptValue value;
    bool keepOnUnregister = false;  // NoRemove val ...
};

enum class KeyMode {
    Plain,        // created on registration, removed when nothing foreign is left
    ForceRemove,  // replaced whole on registration, removed whole on unregistration
    NoRemove,     // never removed; its listed children still are
    Delete,       // removed whole on registration, left alone on unregistration
};

struct ScriptKey {
    std::wstring name;
    KeyMode mode = KeyMode::Plain;
    std::optional<ScriptValue> defaultValue;
    std::vector<NamedValue> values;
    std::vector<ScriptKey> subkeys;
};

struct ScriptRoot {
    HKEY root = nullptr;
    ScriptKey body;  // its name is empty; its mode NoRemove
};

using Script = std::vector<ScriptRoot>;

// Replaces %NAME% with its replacement and %% with %, then reads the script.
// nullopt for a script with any error: unknown replacement, stray or unknown
// token, unbalanced braces, a value that does not fit its type.
std::optional<Script> ReadScript(std::wstring_view text, const Replacements& replacements);

// The whole script applied, in order; the first registry failure as an
// HRESULT. Keys already written stay written.
HRESULT RegisterScript(const Script& script);
HRESULT UnregisterScript(const Script& script);

}  // namespace platform::registrar
