// Reading and writing one registry value: open the key (created when missing,
// where the user may), read or write, close. Every failure is a false result,
// and nothing here throws. A value of another type or size than its reader
// takes (a threshold stored as an empty string) reads as missing, and that
// alone is logged, naming the value and why: it is a damaged setting, not an
// absent one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace settings {

bool ReadDword(HKEY root, const std::wstring& key, const wchar_t* value, DWORD& out);
bool ReadDate(HKEY root, const std::wstring& key, const wchar_t* value, DATE& out);
bool ReadString(HKEY root, const std::wstring& key, const wchar_t* value, std::wstring& out);
bool ReadMultiString(HKEY root, const std::wstring& key, const wchar_t* value,
                     std::vector<std::wstring>& out);
bool ReadNarrowString(HKEY root, const char* key, const char* value, std::string& out);
bool ReadNarrowMultiString(HKEY root, const char* key, const char* value,
                           std::vector<std::string>& out);

// Writes go to the current user's hive only.
bool WriteDword(const std::wstring& key, const wchar_t* value, DWORD number);
bool WriteString(const std::wstring& key, const wchar_t* value, const std::wstring& text);
bool WriteDate(const std::wstring& key, const wchar_t* value, DATE date);

// Adds 1 to an existing number; a value that cannot be read is not created.
bool Increment(const std::wstring& key, const wchar_t* value);

}  // namespace settings
