// The add-in's registry values have the sizes Windows gives them in the
// build's own character width: a string of n characters is (n + 1) *
// sizeof(WCHAR) bytes with its terminator, and the readers take sizes in bytes
// whatever the width. Built by both builds: a test of the Linux build, whose
// WCHAR has 4 bytes, and a Windows program, whose WCHAR has 2, that
// bench/wine/run runs under Wine's registry.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/settings/registry_value.h"

namespace {

int failures = 0;
const wchar_t kKey[] = L"Software\\Brevint registry sizes test";

template <class... Arguments>
void ok(bool condition, const char* format, Arguments... arguments) {
    if (condition)
        return;
    ++failures;
    std::printf(format, arguments...);
    std::printf("\n");
}

struct RawValue {
    DWORD type = 0;
    std::vector<BYTE> bytes;
};

RawValue Raw(const wchar_t* name) {
    RawValue raw;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return raw;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &raw.type, nullptr, &size) == ERROR_SUCCESS) {
        raw.bytes.resize(size);
        RegQueryValueExW(key, name, nullptr, &raw.type, raw.bytes.data(), &size);
    }
    RegCloseKey(key);
    return raw;
}

void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    const LONG status = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    ok(status == ERROR_SUCCESS, "setting %ls failed: %ld", name, status);
    RegCloseKey(key);
}

void StringsWrittenWithTheirTerminator() {
    ok(settings::WriteString(kKey, L"Text", L"abc"), "WriteString failed");
    const RawValue raw = Raw(L"Text");
    ok(raw.type == REG_SZ, "type %lu, expected REG_SZ", raw.type);
    ok(raw.bytes.size() == 4 * sizeof(WCHAR), "%zu bytes for \"abc\", expected %zu",
       raw.bytes.size(), 4 * sizeof(WCHAR));
    const WCHAR expected[] = {'a', 'b', 'c', 0};
    ok(raw.bytes.size() == sizeof expected &&
           std::memcmp(raw.bytes.data(), expected, sizeof expected) == 0,
       "the bytes are not \"abc\" and its terminator in WCHAR units");
    std::wstring text;
    ok(settings::ReadString(HKEY_CURRENT_USER, kKey, L"Text", text) && text == L"abc",
       "ReadString gave %ls", text.c_str());
    std::string narrow;
    ok(settings::ReadNarrowString(HKEY_CURRENT_USER, "Software\\Brevint registry sizes test",
                                  "Text", narrow) &&
           narrow == "abc",
       "ReadNarrowString gave %s", narrow.c_str());
}

void StringsReadByTheirSizeInBytes() {
    const WCHAR unterminated[] = {'a', 'b', 'c'};
    SetRaw(L"Unterminated", REG_SZ, unterminated, sizeof unterminated);
    std::wstring text;
    ok(settings::ReadString(HKEY_CURRENT_USER, kKey, L"Unterminated", text) && text == L"abc",
       "an unterminated string read as %ls", text.c_str());

    // A byte count that is not a whole number of characters: the last, partial
    // character is not read.
    BYTE odd[4 * sizeof(WCHAR)] = {};
    std::memcpy(odd, unterminated, sizeof unterminated);
    odd[sizeof unterminated] = 'd';
    SetRaw(L"Odd", REG_SZ, odd, sizeof unterminated + 1);
    ok(settings::ReadString(HKEY_CURRENT_USER, kKey, L"Odd", text) && text == L"abc",
       "a string with an odd byte read as %ls", text.c_str());

    const WCHAR multi[] = {'a', 0, 'b', 'c', 0, 0};
    SetRaw(L"Multi", REG_MULTI_SZ, multi, sizeof multi);
    std::vector<std::wstring> strings;
    ok(settings::ReadMultiString(HKEY_CURRENT_USER, kKey, L"Multi", strings) &&
           strings == std::vector<std::wstring>{L"a", L"bc"},
       "a multi-string read as %zu strings", strings.size());
}

void NumbersAndDatesKeepTheirSizes() {
    ok(settings::WriteDword(kKey, L"Number", 70), "WriteDword failed");
    ok(Raw(L"Number").bytes.size() == sizeof(DWORD), "a DWORD of %zu bytes",
       Raw(L"Number").bytes.size());
    ok(settings::WriteDate(kKey, L"Date", 46000.5), "WriteDate failed");
    const RawValue date = Raw(L"Date");
    ok(date.type == REG_BINARY && date.bytes.size() == sizeof(DATE), "a date of %zu bytes",
       date.bytes.size());
    // A string where a number belongs reads as missing.
    const WCHAR seventy[] = {'7', '0', 0};
    SetRaw(L"Threshold", REG_SZ, seventy, sizeof seventy);
    DWORD number = 0;
    ok(!settings::ReadDword(HKEY_CURRENT_USER, kKey, L"Threshold", number),
       "a REG_SZ read as the number %lu", number);
}

void RemoveTheKey() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
        for (const wchar_t* name :
             {L"Text", L"Unterminated", L"Odd", L"Multi", L"Number", L"Date", L"Threshold"})
            RegDeleteValueW(key, name);
        RegCloseKey(key);
    }
    RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
}

}  // namespace

int main() {
    RemoveTheKey();
    StringsWrittenWithTheirTerminator();
    StringsReadByTheirSizeInBytes();
    NumbersAndDatesKeepTheirSizes();
    RemoveTheKey();
    std::printf("registry sizes with a WCHAR of %zu bytes: %s\n", sizeof(WCHAR),
                failures ? "FAILED" : "all as expected");
    return failures ? 1 : 0;
}
