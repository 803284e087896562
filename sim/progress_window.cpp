#include "progress_window.h"

#include <commctrl.h>
#include <platform/windows.h>

#include <iterator>

#include "outlook_process.h"
#include "run_context.h"
#include "text.h"

namespace olsim {
namespace {

using Words = std::vector<std::string>;

constexpr int kBarId = 201;
constexpr int kStopId = 202;
constexpr int kCloseId = 203;
constexpr int kFirstTextId = 202;
constexpr int kLastTextId = 209;

const char kForms[] =
    "[no] progress | progress shown|hidden | progress title TEXT | progress text ID TEXT | "
    "progress counts FOLDER LEFT SPAM | progress range LOW HIGH | progress position N | "
    "progress stop enabled|disabled";

std::wstring WindowText(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, static_cast<int>(std::size(text)));
    return text;
}

bool IsNumber(const std::string& text) {
    size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
    return text.size() > start && text.find_first_not_of("0123456789", start) == std::string::npos;
}

// What a scenario names the window's state by, and what it found.
std::string Found(const ProgressWindowView& view, const std::string& test) {
    auto text = [&](int id) { return Narrow(view.texts.at(id)); };
    if (test == "shown" || test == "hidden")
        return view.shown ? "shown" : "hidden";
    if (test == "title")
        return Narrow(view.title);
    if (test == "counts")
        return text(207) + " " + text(208) + " " + text(209);
    if (test == "range")
        return std::to_string(view.rangeLow) + " " + std::to_string(view.rangeHigh);
    if (test == "position")
        return std::to_string(view.position);
    return view.stopEnabled ? "enabled" : "disabled";  // stop
}

}  // namespace

std::optional<ProgressWindowView> FindProgressWindow() {
    for (const auto& window : platform::host::ListWindows()) {
        if (window.id != kBarId || !SameName(window.className, PROGRESS_CLASSW) || !window.parent)
            continue;
        ProgressWindowView view;
        view.window = window.parent;
        view.shown = IsWindowVisible(view.window) != FALSE;
        view.title = WindowText(view.window);
        for (int id = kFirstTextId; id <= kLastTextId; ++id)
            view.texts[id] = WindowText(GetDlgItem(view.window, id));
        PBRANGE range{};
        SendMessageW(window.hwnd, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        view.rangeLow = range.iLow;
        view.rangeHigh = range.iHigh;
        view.position = static_cast<int>(SendMessageW(window.hwnd, PBM_GETPOS, 0, 0));
        view.stopEnabled = IsWindowEnabled(GetDlgItem(view.window, kStopId)) != FALSE;
        return view;
    }
    return std::nullopt;
}

void CheckProgressCommand(const Step& step) {
    words::Count(step, 1, 1, "progress stop|close");
    if (step.words[0] != "stop" && step.words[0] != "close")
        words::Expected(step, "progress stop|close");
}

// The user presses the button: nothing happens to a hidden window or a
// disabled button, and the line fails.
std::string PressProgressButton(RunContext& run, const Step& step) {
    const auto view = FindProgressWindow();
    if (!view)
        return "the add-in shows no progress window";
    const bool stop = step.words[0] == "stop";
    HWND button = GetDlgItem(view->window, stop ? kStopId : kCloseId);
    bool pressed = false;
    run.process.Guarded("progress " + step.words[0],
                        [&] { pressed = platform::host::ClickButton(button); });
    if (run.process.crash())
        return "";
    run.process.Pump();
    if (pressed)
        return "";
    if (!view->shown)
        return "the progress window is hidden";
    return "the progress window's " + std::string(stop ? "Stop" : "Close") + " button is disabled";
}

void CheckProgressExpectation(const Step& step, const Words& words, bool negated) {
    auto fits = [&]() -> bool {
        if (words.size() == 1)
            return true;
        if (negated)
            return false;
        const std::string& test = words[1];
        if (words.size() == 2)
            return test == "shown" || test == "hidden";
        if (test == "title" || test == "position")
            return words.size() == 3 && (test == "title" || IsNumber(words[2]));
        if (test == "stop")
            return words.size() == 3 && (words[2] == "enabled" || words[2] == "disabled");
        if (test == "text") {
            const auto id = words::ParseNumber(words[2]);
            return words.size() == 4 && id && *id >= kFirstTextId && *id <= kLastTextId;
        }
        if (test == "range")
            return words.size() == 4 && IsNumber(words[2]) && IsNumber(words[3]);
        if (test == "counts")
            return words.size() == 5 && IsNumber(words[2]) && IsNumber(words[3]) &&
                   IsNumber(words[4]);
        return false;
    };
    if (!fits())
        throw ParseError(step.line, std::string("expected: expect ") + kForms);
}

std::string ExpectProgress(RunContext&, const Words& words, bool negated) {
    const auto view = FindProgressWindow();
    if (words.size() == 1) {
        if (view.has_value() != negated)
            return "";
        return negated ? "the progress window exists (" + Found(*view, "shown") + ")"
                       : "the add-in has no progress window";
    }
    if (!view)
        return "the add-in has no progress window";
    const std::string& test = words[1];
    std::string wanted;
    std::string found;
    if (test == "text") {
        const int id = static_cast<int>(*words::ParseNumber(words[2]));
        wanted = words[3];
        found = Narrow(view->texts.at(id));
    } else {
        for (size_t k = 2; k < words.size(); ++k)
            wanted += (k > 2 ? " " : "") + words[k];
        if (words.size() == 2)
            wanted = test;
        found = Found(*view, test);
    }
    return found == wanted ? "" : "found \"" + found + "\"";
}

}  // namespace olsim
