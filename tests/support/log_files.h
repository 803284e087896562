// The trace log as the tests read it: where it is, its bytes, its lines.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

inline std::wstring AppData() {
    wchar_t path[MAX_PATH] = {};
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                               SHGFP_TYPE_CURRENT, path),
              S_OK);
    return path;
}

inline std::wstring LogsFolder() {
    return AppData() + L"\\Brevint\\Logs";
}
inline std::wstring LogPath() {
    return LogsFolder() + L"\\OLClient.log";
}

inline void MakeLogsFolder() {
    CreateDirectoryW((AppData() + L"\\Brevint").c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW(LogsFolder().c_str(), nullptr));
}

// The file's bytes as they are on disk; empty when it cannot be read.
inline std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

// The lines after the banner, each without its time stamp and CR LF.
inline std::vector<std::string> Bodies(const std::string& bytes) {
    std::vector<std::string> bodies;
    static const std::regex stamped(R"(^\d{4}\\\d{1,2}\\\d{1,2} \d{1,2}:\d{1,2}:\d{1,2} (.*)\r$)");
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        std::smatch match;
        if (std::regex_match(line, match, stamped))
            bodies.push_back(match[1]);
    }
    return bodies;
}

// The lines of the log file, without time stamps.
inline std::vector<std::string> LogLines() {
    return Bodies(ReadBytes(LogPath()));
}

// The lines `function` wrote besides its Enter and Exit lines, each without
// the function's name.
inline std::vector<std::string> LinesOf(const std::string& function) {
    std::vector<std::string> lines;
    for (const std::string& line : LogLines())
        if (line.rfind(function + " - ", 0) == 0)
            lines.push_back(line.substr(function.size() + 3));
    return lines;
}

}  // namespace
