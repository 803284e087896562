// Registry values as the installation, the settings program or a person may
// have left them: any type, any bytes, under the wide and the ANSI API. The
// add-in's typed readers answer a value or false, never read past what was
// stored, and a string they give holds no terminator.
#include <unistd.h>

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/root.h"
#include "support/settings/registry_value.h"

namespace {

constexpr DWORD kTypes[] = {REG_NONE,  REG_SZ,       REG_EXPAND_SZ, REG_BINARY,
                            REG_DWORD, REG_MULTI_SZ, REG_QWORD,     REG_DWORD_BIG_ENDIAN};
const std::wstring kKey = L"Software\\Fuzz";

bool HasTerminator(const std::wstring& text) {
    return text.find(L'\0') != std::wstring::npos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A root of this process's own: the registry's files are written after every change.
    auto root =
        std::filesystem::temp_directory_path() / ("bv-registry-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root);
    platform::host::SetRoot(root);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    DWORD type = kTypes[data[0] % std::size(kTypes)];
    bool ansi = data[0] & 0x80;
    const BYTE* bytes = data + 1;
    DWORD length = static_cast<DWORD>(std::min<size_t>(size - 1, 20000));

    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CURRENT_USER, kKey.c_str(), &key) != ERROR_SUCCESS)
        std::abort();
    LONG stored = ansi ? RegSetValueExA(key, "V", 0, type, bytes, length)
                       : RegSetValueExW(key, L"V", 0, type, bytes, length);
    RegCloseKey(key);
    if (stored != ERROR_SUCCESS)
        return 0;

    DWORD number = 0;
    DATE date = 0;
    std::wstring text;
    std::vector<std::wstring> texts;
    std::string narrow;
    std::vector<std::string> narrows;
    (void)settings::ReadDword(HKEY_CURRENT_USER, kKey, L"V", number);
    (void)settings::ReadDate(HKEY_CURRENT_USER, kKey, L"V", date);
    if (settings::ReadString(HKEY_CURRENT_USER, kKey, L"V", text) && HasTerminator(text))
        std::abort();
    if (settings::ReadMultiString(HKEY_CURRENT_USER, kKey, L"V", texts) &&
        std::any_of(texts.begin(), texts.end(),
                    [](const std::wstring& t) { return t.empty() || HasTerminator(t); }))
        std::abort();
    if (settings::ReadNarrowString(HKEY_CURRENT_USER, "Software\\Fuzz", "V", narrow) &&
        narrow.find('\0') != std::string::npos)
        std::abort();
    (void)settings::ReadNarrowMultiString(HKEY_CURRENT_USER, "Software\\Fuzz", "V", narrows);
    return 0;
}
