#include "observations.h"

#include <fnmatch.h>
#include <platform/call_faults.h>
#include <platform/filesystem.h>
#include <platform/threads.h>
#include <platform/windows.h>
#include <shlobj.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "mail.h"
#include "progress_window.h"
#include "registry_access.h"
#include "text.h"

namespace olsim {
namespace {

// "2007\3\4 9:5:3 " at the start of a line: its length, or 0.
size_t TimeStampLength(const std::string& line) {
    size_t i = 0;
    auto number = [&] {
        size_t start = i;
        while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])))
            ++i;
        return i > start;
    };
    auto literal = [&](char c) { return i < line.size() && line[i++] == c; };
    if (number() && literal('\\') && number() && literal('\\') && number() && literal(' ') &&
        number() && literal(':') && number() && literal(':') && number() && literal(' '))
        return i;
    return 0;
}

std::string Json(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        switch (c) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    quoted += escaped;
                } else {
                    quoted += c;
                }
        }
    }
    return quoted + "\"";
}

std::string Json(const std::wstring& text) {
    return Json(Narrow(text));
}

std::string Handle(const void* handle) {
    char text[32];
    std::snprintf(text, sizeof text, "\"%p\"", handle);
    return text;
}

template <class Items, class Write>
std::string Array(const Items& items, Write write) {
    std::string out = "[";
    bool first = true;
    for (const auto& item : items) {
        out += first ? "\n    " : ",\n    ";
        out += write(item);
        first = false;
    }
    return out + (first ? "]" : "\n  ]");
}

const char* Bool(bool value) {
    return value ? "true" : "false";
}

std::string ControlJson(const outlook::host::ControlInfo& c) {
    std::string out = "{\"type\": " + std::to_string(c.type) + ", \"caption\": " + Json(c.caption) +
                      ", \"tooltip\": " + Json(c.tooltip) + ", \"tag\": " + Json(c.tag) +
                      ", \"enabled\": " + Bool(c.enabled) + ", \"visible\": " + Bool(c.visible) +
                      ", \"beginGroup\": " + Bool(c.beginGroup) +
                      ", \"width\": " + std::to_string(c.width) +
                      ", \"priority\": " + std::to_string(c.priority) +
                      ", \"style\": " + std::to_string(c.style) +
                      ", \"image\": " + (c.image.empty() ? std::string("null") : Json(c.image)) +
                      ", \"temporary\": " + Bool(c.temporary);
    if (c.type == Office::msoControlPopup)
        out += ", \"controls\": " + Array(c.controls, ControlJson);
    return out + "}";
}

std::string BarJson(const outlook::host::BarInfo& bar) {
    return "{\"name\": " + Json(bar.name) + ", \"position\": " + std::to_string(bar.position) +
           ", \"rowIndex\": " + std::to_string(bar.rowIndex) +
           ", \"left\": " + std::to_string(bar.left) + ", \"top\": " + std::to_string(bar.top) +
           ", \"protection\": " + std::to_string(bar.protection) +
           ", \"visible\": " + Bool(bar.visible) + ", \"temporary\": " + Bool(bar.temporary) +
           ", \"builtIn\": " + Bool(bar.builtIn) + ", \"window\": " + Handle(bar.window) +
           ", \"controls\": " + Array(bar.controls, ControlJson) + "}";
}

std::string ClipboardJson() {
    const ClipboardContent clipboard = ReadClipboard();
    if (clipboard.heldOpen)
        return "{\"heldOpen\": true}";
    return "{\"heldOpen\": false, \"formats\": " + std::to_string(clipboard.formats) +
           ", \"bitmap\": " +
           (clipboard.bitmap ? "{\"file\": " + Json(clipboard.bitmapFile) + "}" : "null") + "}";
}

// The add-in's progress window as the user sees it, or null.
std::string ProgressWindowJson() {
    const auto view = FindProgressWindow();
    if (!view)
        return "null";
    std::string texts = "{";
    for (const auto& [id, text] : view->texts)
        texts += (texts.size() > 1 ? ", \"" : "\"") + std::to_string(id) + "\": " + Json(text);
    return "{\"hwnd\": " + Handle(view->window) +
           ", \"shown\": " + (view->shown ? "true" : "false") +
           ", \"title\": " + Json(view->title) + ", \"texts\": " + texts + "}, \"range\": [" +
           std::to_string(view->rangeLow) + ", " + std::to_string(view->rangeHigh) +
           "], \"position\": " + std::to_string(view->position) +
           ", \"stopEnabled\": " + (view->stopEnabled ? "true" : "false") + "}";
}

}  // namespace

ClipboardContent ReadClipboard() {
    ClipboardContent content;
    if (!OpenClipboard(nullptr)) {
        content.heldOpen = true;
        return content;
    }
    content.formats = CountClipboardFormats();
    const auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    content.bitmap = bitmap != nullptr;
    if (bitmap)
        content.bitmapFile = platform::host::BitmapSource(bitmap);
    CloseClipboard();
    return content;
}

std::wstring LogFilePath() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_DONT_VERIFY, nullptr,
                                SHGFP_TYPE_CURRENT, path)))
        return L"";
    return std::wstring(path) + L"\\Brevint\\Logs\\OLClient.log";
}

std::vector<LogLine> ReadLog() {
    std::vector<LogLine> lines;
    std::ifstream file(platform::host::HostPathFromWindows(LogFilePath()), std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        // The log holds each character up to U+00FF as its byte: Latin-1.
        const std::string utf8 =
            Narrow(std::wstring(reinterpret_cast<const unsigned char*>(line.data()),
                                reinterpret_cast<const unsigned char*>(line.data()) + line.size()));
        lines.push_back({utf8, utf8.substr(TimeStampLength(utf8))});
    }
    return lines;
}

std::vector<std::wstring> MatchFiles(const std::wstring& windowsPattern) {
    std::vector<std::wstring> found;
    size_t slash = windowsPattern.rfind(L'\\');
    if (slash == std::wstring::npos)
        return found;
    std::error_code failed;
    auto folder = platform::host::HostPathFromWindows(windowsPattern.substr(0, slash));
    std::string pattern = Narrow(windowsPattern.substr(slash + 1));
    for (const auto& entry : std::filesystem::directory_iterator(folder, failed))
        if (fnmatch(pattern.c_str(), entry.path().filename().string().c_str(), FNM_CASEFOLD) == 0)
            found.push_back(windowsPattern.substr(0, slash + 1) +
                            Widen(entry.path().filename().string()));
    return found;
}

std::string StateJson(const OutlookProcess& process) {
    const Profile& profile = process.profile();
    std::ostringstream out;
    out << "{\n  \"profile\": {\"version\": " << Json(profile.version) << ", \"mailSupport\": "
        << (profile.mailSupport ? std::to_string(*profile.mailSupport) : "null")
        << ", \"explorersAtStart\": "
        << Array(profile.explorers, [](const std::wstring& c) { return Json(c); }) << "},\n";

    std::vector<RegistryValue> registry;
    for (const wchar_t* key : {L"HKLM\\Software\\Brevint", L"HKCU\\Software\\Brevint",
                               L"HKCU\\Software\\Microsoft\\Office\\Outlook\\Addins"}) {
        auto values = ReadRegistryTree(key);
        registry.insert(registry.end(), values.begin(), values.end());
    }
    out << "  \"registry\": " << Array(registry, [](const RegistryValue& v) {
        return "{\"key\": " + Json(v.key) + ", \"name\": " + Json(v.name) +
               ", \"type\": " + std::to_string(v.type) + ", \"value\": " + Json(v.Display()) + "}";
    }) << ",\n";

    out << "  \"running\": " << (process.started() ? "true" : "false") << ",\n";
    out << "  \"explorers\": " << Array(process.Explorers(), [&](const auto& e) {
        return "{\"id\": " + std::to_string(e.id) + ", \"caption\": " + Json(e.caption) +
               ", \"open\": " + (e.open ? "true" : "false") +
               ", \"active\": " + (e.active ? "true" : "false") +
               ", \"bars\": " + Array(process.Bars(e.id), BarJson) + "}";
    }) << ",\n";
    out << "  \"clipboard\": " << ClipboardJson() << ",\n";
    out << "  \"windows\": " << Array(platform::host::ListWindows(), [](const auto& w) {
        return "{\"hwnd\": " + Handle(w.hwnd) + ", \"class\": " + Json(w.className) +
               ", \"title\": " + Json(w.text) + ", \"parent\": " + Handle(w.parent) +
               ", \"visible\": " + ((w.style & WS_VISIBLE) ? "true" : "false") + "}";
    }) << ",\n";
    out << "  \"progressWindow\": " << ProgressWindowJson() << ",\n";
    out << "  \"messageBoxes\": " << Array(platform::host::MessageBoxes(), [](const auto& b) {
        return "{\"caption\": " + Json(b.caption) + ", \"text\": " + Json(b.text) +
               ", \"type\": " + std::to_string(b.type) +
               ", \"answer\": " + std::to_string(b.answer) + "}";
    }) << ",\n";
    out << "  \"threads\": " << Array(platform::host::ListThreads(), [](const auto& t) {
        return "{\"id\": " + std::to_string(t.id) +
               ", \"waiting\": " + (t.waiting ? "true" : "false") + ", \"waitingOn\": " +
               Array(t.waitingOn, [](const std::wstring& n) { return Json(n); }) + "}";
    }) << ",\n";
    out << "  \"stores\": " << MailStateJson() << ",\n";
    out << "  \"calls\": " << Array(platform::calls::Census(), [](const auto& c) {
        return "{\"member\": " + Json(c.member) + ", \"calls\": " + std::to_string(c.calls) + "}";
    }) << ",\n";
    out << "  \"logFile\": " << Json(LogFilePath()) << ",\n";
    out << "  \"log\": " << Array(ReadLog(), [](const LogLine& l) { return Json(l.line); })
        << ",\n";
    const std::optional<Crash> crash = process.crash();
    out << "  \"crash\": "
        << (crash ? "{\"command\": " + Json(crash->command) +
                        ", \"code\": " + std::to_string(crash->code) + ", \"thread\": " +
                        std::to_string(crash->thread) + ", \"userInterfaceThread\": " +
                        (crash->userInterfaceThread ? "true" : "false") +
                        ", \"description\": " + Json(crash->Describe()) + "}"
                  : std::string("null"))
        << "\n}\n";
    return out.str();
}

}  // namespace olsim
