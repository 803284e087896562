// What the simulator can see of the process: the trace log, the registry,
// windows, message boxes, threads, files; and all of it at once as JSON.
#pragma once

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

// The state as a JSON document.
std::string StateJson(const OutlookProcess& process);

}  // namespace olsim
