// Registry values as the installation, the settings program or a person may
// have left them: any type, any bytes, under the wide and the ANSI API. Each
// of the add-in's typed readers takes only a value of its type (and, for a
// number or a date, of its size) that fits its buffer; anything else reads as
// missing and leaves the caller's variable alone, and a value of another type
// or size is logged, in one line. A value read is the one stored, and a
// string read holds no terminator.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "own_root.h"
#include "support/log/logger.h"
#include "support/settings/registry_value.h"

namespace {

constexpr DWORD kTypes[] = {REG_NONE,  REG_SZ,       REG_EXPAND_SZ, REG_BINARY,
                            REG_DWORD, REG_MULTI_SZ, REG_QWORD,     REG_DWORD_BIG_ENDIAN};
const std::wstring kKey = L"Software\\Fuzz";
const char kNarrowKey[] = "Software\\Fuzz";
// The readers' buffers: 8,000 wide characters, 1,024 narrow ones.
constexpr DWORD kWideBuffer = 8000 * sizeof(WCHAR);
constexpr DWORD kNarrowBuffer = 1024;

std::filesystem::path gLog;

bool HasTerminator(const std::wstring& text) {
    return text.find(L'\0') != std::wstring::npos;
}

// The value as the registry holds it, asked of the registry itself: its type
// and size, and, as far as `narrow` and `withBytes` ask, its size through the
// ANSI API and its bytes.
struct Stored {
    DWORD type = REG_NONE;
    DWORD wideSize = 0;    // bytes through the wide API
    DWORD narrowSize = 0;  // bytes through the ANSI API (strings made narrow)
    std::vector<BYTE> bytes;

    bool IsString() const { return type == REG_SZ || type == REG_EXPAND_SZ; }
};

Stored Query(bool narrow, bool withBytes) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        std::abort();
    Stored stored;
    if (RegQueryValueExW(key, L"V", nullptr, &stored.type, nullptr, &stored.wideSize) !=
        ERROR_SUCCESS)
        std::abort();
    DWORD narrowType = REG_NONE;
    if (narrow && (RegQueryValueExA(key, "V", nullptr, &narrowType, nullptr, &stored.narrowSize) !=
                       ERROR_SUCCESS ||
                   narrowType != stored.type))
        std::abort();
    if (withBytes) {
        stored.bytes.resize(stored.wideSize);
        DWORD size = stored.wideSize;
        if (RegQueryValueExW(key, L"V", nullptr, nullptr, stored.bytes.data(), &size) !=
            ERROR_SUCCESS)
            std::abort();
    }
    RegCloseKey(key);
    return stored;
}

// The log as this process reads it: a handle of its own, kept open (the
// logger opens and closes the file for each line).
FILE* gLogReader = nullptr;

long LogSize() {
    std::fseek(gLogReader, 0, SEEK_END);
    return std::ftell(gLogReader);
}

// Runs one read: it answers `fits`, and writes one log line when `misfit`
// (a value of another type or size), none otherwise.
template <class Read>
bool CheckRead(bool fits, bool misfit, Read&& read) {
    const long before = LogSize();
    if (read() != fits)
        std::abort();  // a value taken that does not fit, or one refused that does
    const long after = LogSize();
    std::string added(static_cast<size_t>(std::max(after - before, 0L)), '\0');
    std::fseek(gLogReader, before, SEEK_SET);
    added.resize(std::fread(added.data(), 1, added.size(), gLogReader));
    const auto lines = std::count(added.begin(), added.end(), '\n');
    if (lines != (misfit ? 1 : 0) || (misfit && added.find("read as missing") == std::string::npos))
        std::abort();  // a damaged setting not told of, or a good one told of
    return fits;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::UseOwnRoot("registry-value");
    gLog = fuzz::MakeLogFolder();
    CLogger::GetInstance();  // its banner written before the first read is watched
    gLogReader = std::fopen(gLog.c_str(), "rb");
    if (!gLogReader)
        std::abort();
    return 0;
}

// Byte 0: the value's type (bits 0-2), the reader (bits 3-6, of six) and the
// API it is stored through (bit 7: ANSI); the rest is the value's bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const DWORD type = kTypes[data[0] % std::size(kTypes)];
    const unsigned reader = (data[0] >> 3 & 0x0F) % 6;
    const bool ansi = data[0] & 0x80;
    const BYTE* bytes = data + 1;
    const DWORD length = static_cast<DWORD>(std::min<size_t>(size - 1, 40000));

    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CURRENT_USER, kKey.c_str(), &key) != ERROR_SUCCESS)
        std::abort();
    const LONG set = ansi ? RegSetValueExA(key, "V", 0, type, bytes, length)
                          : RegSetValueExW(key, L"V", 0, type, bytes, length);
    RegCloseKey(key);
    if (set != ERROR_SUCCESS)
        return 0;
    const Stored stored = Query(reader >= 4, reader <= 1);
    const bool multi = stored.type == REG_MULTI_SZ;
    fuzz::KeepLogSmall(gLog);

    switch (reader) {
        case 0: {
            DWORD number = 0xA5A5A5A5;
            const bool dword = stored.type == REG_DWORD && stored.wideSize == sizeof(DWORD);
            CheckRead(dword, !dword,
                      [&] { return settings::ReadDword(HKEY_CURRENT_USER, kKey, L"V", number); });
            if (dword ? std::memcmp(stored.bytes.data(), &number, sizeof number) != 0
                      : number != 0xA5A5A5A5)
                std::abort();  // another number than the one stored, or a refused one changed it
            break;
        }
        case 1: {
            DATE date = -1.5;
            const bool binary = stored.type == REG_BINARY && stored.wideSize == sizeof(DATE);
            CheckRead(binary, !binary,
                      [&] { return settings::ReadDate(HKEY_CURRENT_USER, kKey, L"V", date); });
            if (binary ? std::memcmp(stored.bytes.data(), &date, sizeof date) != 0 : date != -1.5)
                std::abort();  // another date than the one stored, or a refused one changed it
            break;
        }
        case 2: {
            std::wstring text = L"unchanged";
            if (CheckRead(
                    stored.IsString() && stored.wideSize <= kWideBuffer, !stored.IsString(),
                    [&] { return settings::ReadString(HKEY_CURRENT_USER, kKey, L"V", text); })) {
                if (HasTerminator(text) || text.size() > stored.wideSize / sizeof(WCHAR))
                    std::abort();
            } else if (text != L"unchanged") {
                std::abort();
            }
            break;
        }
        case 3: {
            std::vector<std::wstring> texts = {L"unchanged"};
            if (CheckRead(multi && stored.wideSize <= kWideBuffer, !multi, [&] {
                    return settings::ReadMultiString(HKEY_CURRENT_USER, kKey, L"V", texts);
                })) {
                if (std::any_of(texts.begin(), texts.end(), [](const std::wstring& t) {
                        return t.empty() || HasTerminator(t);
                    }))
                    std::abort();
            } else if (texts != std::vector<std::wstring>{L"unchanged"}) {
                std::abort();
            }
            break;
        }
        case 4: {
            std::string narrow = "unchanged";
            if (CheckRead(stored.IsString() && stored.narrowSize <= kNarrowBuffer,
                          !stored.IsString(), [&] {
                              return settings::ReadNarrowString(HKEY_CURRENT_USER, kNarrowKey, "V",
                                                                narrow);
                          })) {
                if (narrow.find('\0') != std::string::npos || narrow.size() > stored.narrowSize)
                    std::abort();
            } else if (narrow != "unchanged") {
                std::abort();
            }
            break;
        }
        case 5: {
            std::vector<std::string> narrows = {"unchanged"};
            if (CheckRead(multi && stored.narrowSize <= kNarrowBuffer, !multi, [&] {
                    return settings::ReadNarrowMultiString(HKEY_CURRENT_USER, kNarrowKey, "V",
                                                           narrows);
                })) {
                if (std::any_of(narrows.begin(), narrows.end(), [](const std::string& t) {
                        return t.empty() || t.find('\0') != std::string::npos;
                    }))
                    std::abort();
            } else if (narrows != std::vector<std::string>{"unchanged"}) {
                std::abort();
            }
            break;
        }
    }
    return 0;
}
