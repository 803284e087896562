#include "toolbar_commands.h"

#include <outlook_host.h>
#include <windows.h>

#include "command_bar_view.h"
#include "outlook_process.h"
#include "property_words.h"
#include "run_context.h"
#include "text.h"

namespace olsim {
namespace {

using words::Count;
using words::Expected;
using words::Number;

// The bar the scenarios' toolbar verbs mean unless they name another.
constexpr wchar_t kAddinBar[] = L"Brevint toolbar";

}  // namespace

void CheckClick(const Step& step) {
    if (step.words.size() < 2)
        Expected(step, "click N BAR/CAPTION/... | click N tag:TEXT");
    Number(step, 0, "the explorer's number");
}

// A disabled or hidden control cannot be clicked: the step fails saying so.
std::string Click(RunContext& run, const Step& step) {
    const int id = static_cast<int>(Number(step, 0, "the explorer's number"));
    const std::string target = JoinWords(step.words, 1);
    std::string message;
    const bool done = run.process.UserAction(
        "click",
        [&](outlook::host::OutlookHost& host) {
            if (target.rfind("tag:", 0) == 0)
                return host.ClickTag(id, Widen(target.substr(4)));
            return host.ClickControl(id, ControlPath(target));
        },
        message);
    return done ? "" : "cannot click " + target + ": " + message;
}

void CheckMoveToolbar(const Step& step) {
    const std::string form = "move toolbar N [bar NAME] row R left X top Y";
    const auto& w = step.words;
    if (w.size() < 8 || w[0] != "toolbar" || w[w.size() - 6] != "row" ||
        w[w.size() - 4] != "left" || w[w.size() - 2] != "top" || (w.size() > 8 && w[2] != "bar"))
        Expected(step, form);
    Number(step, 1, "the explorer's number");
    Number(step, w.size() - 5, "the row");
    Number(step, w.size() - 3, "the left offset");
    Number(step, w.size() - 1, "the top offset");
}

// The user drags the bar, as its protection and dock let them.
std::string MoveToolbar(RunContext& run, const Step& step) {
    const auto& w = step.words;
    const int id = static_cast<int>(Number(step, 1, "the explorer's number"));
    const std::wstring bar =
        w.size() > 8 ? Widen(JoinWords(std::vector(w.begin(), w.end() - 6), 3)) : kAddinBar;
    const int row = static_cast<int>(Number(step, w.size() - 5, "the row"));
    const int left = static_cast<int>(Number(step, w.size() - 3, "the left offset"));
    const int top = static_cast<int>(Number(step, w.size() - 1, "the top offset"));
    std::string message;
    const bool done = run.process.UserAction(
        "move toolbar",
        [&](outlook::host::OutlookHost& host) { return host.MoveBar(id, bar, row, left, top); },
        message);
    return done ? "" : "cannot move the bar: " + message;
}

void CheckLogoClick(const Step& step) {
    Count(step, 2, 2, "logo click N");
    if (step.words[0] != "click")
        Expected(step, "logo click N");
    Number(step, 1, "the explorer's number");
}

// A left click on the logo window, the first "Button" child of the bar's
// window: the button goes down and up through its window procedure.
std::string LogoClick(RunContext& run, const Step& step) {
    const int id = static_cast<int>(Number(step, 1, "the explorer's number"));
    std::string message;
    const bool done = run.process.UserAction(
        "logo click",
        [&](outlook::host::OutlookHost& host) -> std::wstring {
            const auto bars = host.Bars(id);
            const outlook::host::BarInfo* bar = FindBar(bars, kAddinBar);
            if (!bar || !bar->window)
                return L"explorer has no \"Brevint toolbar\" window";
            HWND logo = FindWindowExW(bar->window, nullptr, L"Button", nullptr);
            if (!logo)
                return L"the bar's window has no logo window";
            const LPARAM point = MAKELPARAM(5, 5);
            constexpr WPARAM kLeftButton = 0x0001;  // MK_LBUTTON: the button is down
            SendMessageW(logo, WM_LBUTTONDOWN, kLeftButton, point);
            SendMessageW(logo, WM_LBUTTONUP, 0, point);
            return L"";
        },
        message);
    return done ? "" : "cannot click the logo: " + message;
}

}  // namespace olsim
