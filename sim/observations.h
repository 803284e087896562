// What the simulator can see of the process: the trace log, the registry,
// windows, message boxes, threads, files; and all of it at once as JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "outlook_process.h"

namespace olsim {

struct LogLine {
    std::string line;  // as in the file
    std::string text;  // after the time stamp
};

// The Windows path of the trace log.
std::wstring LogFilePath();
std::vector<LogLine> ReadLog();

// Files matching a Windows path whose last element may hold "*" and "?".
std::vector<std::wstring> MatchFiles(const std::wstring& windowsPattern);

// What another program finds on the clipboard.
struct ClipboardContent {
    bool heldOpen = false;  // by another thread: nothing could be read
    int formats = 0;
    bool bitmap = false;
    std::wstring bitmapFile;  // the file the bitmap was loaded from; empty for none
};
ClipboardContent ReadClipboard();

// The state's layout; a reader refuses a state of another version. Raised
// whenever a key changes its meaning or goes.
inline constexpr int kStateVersion = 1;

// The state as a JSON document, and as its text (UTF-8, indented).
nlohmann::ordered_json StateDocument(const OutlookProcess& process);
std::string StateText(const nlohmann::ordered_json& state);
std::string StateJson(const OutlookProcess& process);

}  // namespace olsim
