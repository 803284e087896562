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
#include <iterator>

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

using Json = nlohmann::ordered_json;

Json Handle(const void* handle) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", handle);
    return text;
}

// The bytes of an installed image as a data: URL, so that a page shows the
// face without reaching for the file; null when the file cannot be read.
// A face made in memory ("bitmap 16x16") has no file.
Json ImageData(const std::wstring& windowsPath) {
    const bool isPath = windowsPath.size() > 3 && windowsPath[1] == L':' && windowsPath[2] == L'\\';
    if (!isPath)
        return nullptr;
    std::ifstream file(platform::host::HostPathFromWindows(windowsPath), std::ios::binary);
    if (!file)
        return nullptr;
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    if (bytes.size() < 2 || bytes.compare(0, 2, "BM") != 0)
        return nullptr;
    return "data:image/bmp;base64," + Base64(bytes);
}

Json ControlState(const outlook::host::ControlInfo& c) {
    Json control = {{"type", c.type},
                    {"caption", Narrow(c.caption)},
                    {"tooltip", Narrow(c.tooltip)},
                    {"tag", Narrow(c.tag)},
                    {"enabled", c.enabled},
                    {"visible", c.visible},
                    {"beginGroup", c.beginGroup},
                    {"width", c.width},
                    {"priority", c.priority},
                    {"style", c.style},
                    {"image", c.image.empty() ? Json(nullptr) : Json(Narrow(c.image))},
                    {"imageData", ImageData(c.image)},
                    {"temporary", c.temporary}};
    if (c.type == Office::msoControlPopup) {
        control["controls"] = Json::array();
        for (const auto& inner : c.controls)
            control["controls"].push_back(ControlState(inner));
    }
    return control;
}

Json BarState(const outlook::host::BarInfo& bar) {
    Json controls = Json::array();
    for (const auto& c : bar.controls)
        controls.push_back(ControlState(c));
    return {{"name", Narrow(bar.name)},
            {"position", bar.position},
            {"rowIndex", bar.rowIndex},
            {"left", bar.left},
            {"top", bar.top},
            {"protection", bar.protection},
            {"visible", bar.visible},
            {"temporary", bar.temporary},
            {"builtIn", bar.builtIn},
            {"window", Handle(bar.window)},
            {"controls", std::move(controls)}};
}

Json ClipboardState() {
    const ClipboardContent clipboard = ReadClipboard();
    if (clipboard.heldOpen)
        return {{"heldOpen", true}};
    return {{"heldOpen", false},
            {"formats", clipboard.formats},
            {"bitmap",
             clipboard.bitmap ? Json{{"file", Narrow(clipboard.bitmapFile)}} : Json(nullptr)}};
}

// The add-in's progress window as the user sees it, or null.
Json ProgressWindowState() {
    const auto view = FindProgressWindow();
    if (!view)
        return nullptr;
    Json texts = Json::object();
    for (const auto& [id, text] : view->texts)
        texts[std::to_string(id)] = Narrow(text);
    return {{"hwnd", Handle(view->window)},
            {"shown", view->shown},
            {"title", Narrow(view->title)},
            {"texts", std::move(texts)},
            {"range", {view->rangeLow, view->rangeHigh}},
            {"position", view->position},
            {"stopEnabled", view->stopEnabled}};
}

Json RegistryState() {
    Json values = Json::array();
    for (const wchar_t* key : {L"HKLM\\Software\\Brevint", L"HKCU\\Software\\Brevint",
                               L"HKCU\\Software\\Microsoft\\Office\\Outlook\\Addins"})
        for (const RegistryValue& v : ReadRegistryTree(key))
            values.push_back({{"key", Narrow(v.key)},
                              {"name", Narrow(v.name)},
                              {"type", v.type},
                              {"value", Narrow(v.Display())}});
    return values;
}

Json ExplorersState(const OutlookProcess& process) {
    Json explorers = Json::array();
    for (const auto& e : process.Explorers()) {
        Json bars = Json::array();
        for (const auto& bar : process.Bars(e.id))
            bars.push_back(BarState(bar));
        explorers.push_back({{"id", e.id},
                             {"caption", Narrow(e.caption)},
                             {"open", e.open},
                             {"active", e.active},
                             {"bars", std::move(bars)}});
    }
    return explorers;
}

Json WindowsState() {
    Json windows = Json::array();
    for (const auto& w : platform::host::ListWindows())
        windows.push_back({{"hwnd", Handle(w.hwnd)},
                           {"class", Narrow(w.className)},
                           {"title", Narrow(w.text)},
                           {"parent", Handle(w.parent)},
                           {"visible", (w.style & WS_VISIBLE) != 0}});
    return windows;
}

Json MessageBoxesState() {
    Json boxes = Json::array();
    for (const auto& b : platform::host::MessageBoxes())
        boxes.push_back({{"caption", Narrow(b.caption)},
                         {"text", Narrow(b.text)},
                         {"type", b.type},
                         {"answer", b.answer}});
    return boxes;
}

Json ThreadsState() {
    Json threads = Json::array();
    for (const auto& t : platform::host::ListThreads()) {
        Json waitingOn = Json::array();
        for (const auto& name : t.waitingOn)
            waitingOn.push_back(Narrow(name));
        threads.push_back(
            {{"id", t.id}, {"waiting", t.waiting}, {"waitingOn", std::move(waitingOn)}});
    }
    return threads;
}

Json CallsState() {
    Json calls = Json::array();
    for (const auto& c : platform::calls::Census())
        calls.push_back({{"member", Narrow(c.member)}, {"calls", c.calls}});
    return calls;
}

Json CrashState(const std::optional<Crash>& crash) {
    if (!crash)
        return nullptr;
    return {{"command", crash->command},
            {"code", crash->code},
            {"thread", crash->thread},
            {"userInterfaceThread", crash->userInterfaceThread},
            {"description", crash->Describe()}};
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

nlohmann::ordered_json StateDocument(const OutlookProcess& process) {
    const Profile& profile = process.profile();
    Json explorersAtStart = Json::array();
    for (const auto& caption : profile.explorers)
        explorersAtStart.push_back(Narrow(caption));
    Json log = Json::array();
    for (const LogLine& line : ReadLog())
        log.push_back(line.line);
    return {{"stateVersion", kStateVersion},
            {"profile",
             {{"version", Narrow(profile.version)},
              {"mailSupport", profile.mailSupport ? Json(*profile.mailSupport) : Json(nullptr)},
              {"explorersAtStart", std::move(explorersAtStart)}}},
            {"registry", RegistryState()},
            {"running", process.started()},
            {"explorers", ExplorersState(process)},
            {"clipboard", ClipboardState()},
            {"windows", WindowsState()},
            {"progressWindow", ProgressWindowState()},
            {"messageBoxes", MessageBoxesState()},
            {"threads", ThreadsState()},
            {"stores",
             MailState([&](const mailstore::EntryId& id) { return process.DeliveredInto(id); })},
            {"calls", CallsState()},
            {"logFile", Narrow(LogFilePath())},
            {"log", std::move(log)},
            {"crash", CrashState(process.crash())}};
}

std::string StateJson(const OutlookProcess& process) {
    return StateText(StateDocument(process));
}

std::string StateText(const nlohmann::ordered_json& state) {
    // Text that is not UTF-8 (a lone surrogate of wide text cut in the middle
    // of a pair, say) becomes U+FFFD rather than bytes no JSON reader takes.
    return state.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace olsim
