// Outlook's process between commands: the message loop delivers every period
// of a timer while time passes, and the state written as JSON holds what the
// run saw.
#include <gtest/gtest.h>

#include <platform/clock.h>
#include <platform/seh.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "observations.h"
#include "outlook_process.h"
#include "runner.h"
#include "temp_root.h"

namespace {

int ticks = 0;

LRESULT CALLBACK CountTicks(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER)
        ++ticks;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

int userMessages = 0;

LRESULT CALLBACK CountUserMessages(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER)
        ++userMessages;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A worker of the add-in that crashes in the middle of a pause.
DWORD WINAPI ThrowAfterAPause(LPVOID) {
    Sleep(2000);
    throw std::runtime_error("no stop signal");
}

}  // namespace

TEST(OutlookProcessTime, EachPeriodOfAUserInterfaceTimerIsDeliveredWhileTimePasses) {
    TempRoot root;
    olsim::PrepareProcess({});
    olsim::OutlookProcess process({});
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountTicks;
    wc.lpszClassName = L"TickCounter";
    ASSERT_NE(RegisterClassW(&wc), 0);
    HWND hwnd = CreateWindowExW(0, L"TickCounter", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_EQ(SetTimer(hwnd, 2, 10000, nullptr), 2u);
    process.Advance(9999);
    EXPECT_EQ(ticks, 0);
    process.Advance(1);
    EXPECT_EQ(ticks, 1);
    process.Advance(30 * 60000);  // thirty minutes: 180 periods more
    EXPECT_EQ(ticks, 181);
    DestroyWindow(hwnd);
}

nlohmann::json ReadJson(const std::filesystem::path& file) {
    std::ifstream in(file);
    return nlohmann::json::parse(in);
}

TEST(OutlookProcessState, TheJsonStateHoldsTheRegistryExplorersLogAndNoCrash) {
    TempRoot root;
    const auto withBar = root.path() / "bar.json";
    const auto closed = root.path() / "closed.json";
    std::ostringstream report;
    auto result = olsim::RunScenario(
        olsim::ParseScenario("profile explorer \"Mail\"\ninstall\nstart\nstate \"" +
                             withBar.string() + "\"\nclose 2\nstate \"" + closed.string() + "\"\n"),
        {}, report);
    ASSERT_TRUE(result.ok) << report.str();
    const auto state = ReadJson(closed);
    EXPECT_EQ(state["stateVersion"], olsim::kStateVersion);
    EXPECT_EQ(state["profile"]["version"], "11.0.0.8312");
    EXPECT_EQ(state["profile"]["explorersAtStart"],
              (nlohmann::json{"Inbox - Microsoft Outlook", "Mail"}));
    EXPECT_NE(std::find(state["registry"].begin(), state["registry"].end(),
                        nlohmann::json{{"key", "HKLM\\Software\\Brevint\\Installation"},
                                       {"name", "Partner"},
                                       {"type", 4},
                                       {"value", "3"}}),
              state["registry"].end());
    EXPECT_EQ(state["running"], true);
    const auto& explorers = state["explorers"];
    ASSERT_EQ(explorers.size(), 2u);
    EXPECT_EQ(explorers[0]["caption"], "Inbox - Microsoft Outlook");
    EXPECT_EQ(explorers[0]["active"], true);
    // A closed explorer has no bars; an open one has Outlook's own.
    EXPECT_EQ(explorers[1]["caption"], "Mail");
    EXPECT_EQ(explorers[1]["open"], false);
    EXPECT_TRUE(explorers[1]["bars"].empty());
    auto barNamed = [](const nlohmann::json& explorer, const std::string& name) {
        const auto& bars = explorer["bars"];
        auto found = std::find_if(bars.begin(), bars.end(),
                                  [&](const auto& bar) { return bar["name"] == name; });
        return found == bars.end() ? nlohmann::json{{"controls", nlohmann::json::array()}} : *found;
    };
    const auto standard = barNamed(explorers[0], "Standard");
    EXPECT_EQ(standard["rowIndex"], 2);
    EXPECT_EQ(standard["top"], 26);
    EXPECT_EQ(state["windows"][0]["class"], "rctrl_renwnd32");
    EXPECT_NE(state["log"][0].get<std::string>().find("LOGGING STARTED"), std::string::npos);
    EXPECT_TRUE(state["crash"].is_null());

    // Before the close: the add-in's bar was built on the active explorer,
    // the last opened, and its images went through the clipboard; each
    // button's image is in the state as a data: URL.
    const auto before = ReadJson(withBar);
    EXPECT_EQ(before["clipboard"]["bitmap"]["file"],
              "C:\\Program Files\\Brevint\\Graphics\\Toolbar\\WhitelistDomain.dib");
    const auto bar = barNamed(before["explorers"][1], "Brevint toolbar");
    ASSERT_GE(bar["controls"].size(), 2u) << before["explorers"].dump(1);
    EXPECT_EQ(bar["controls"][1]["image"],
              "C:\\Program Files\\Brevint\\Graphics\\Toolbar\\Block.dib");
    EXPECT_EQ(
        bar["controls"][1]["imageData"].get<std::string>().rfind("data:image/bmp;base64,Qk", 0),
        0u);
    EXPECT_TRUE(bar["controls"][0]["imageData"].is_null());
}

// Whether `text` is well-formed UTF-8: every lead byte with its continuation
// bytes, no overlong or surrogate forms.
bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80         ? 1
                              : (lead >> 5) == 6  ? 2
                              : (lead >> 4) == 14 ? 3
                              : (lead >> 3) == 30 ? 4
                                                  : 0;
        if (length == 0 || i + length > text.size() || (length == 2 && lead < 0xC2))
            return false;
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        const auto second = length > 1 ? static_cast<unsigned char>(text[i + 1]) : 0;
        const bool overlong = (lead == 0xE0 && second < 0xA0) || (lead == 0xF0 && second < 0x90);
        const bool surrogate = lead == 0xED && second >= 0xA0;
        const bool beyondUnicode = lead > 0xF4 || (lead == 0xF4 && second >= 0x90);
        if (overlong || surrogate || beyondUnicode)
            return false;
        i += length;
    }
    return true;
}

// The log holds Latin-1 text (a subject with an accent is written as its
// byte); the state is JSON, so it holds that text as UTF-8.
TEST(OutlookProcessState, LatinOneTextOfTheLogIsUtf8InTheState) {
    TempRoot root;
    const auto mail = root.path() / "accent.eml";
    std::ofstream(mail, std::ios::binary)
        << "From: a@example.com\r\nTo: b@example.org\r\nSubject: =?iso-8859-1?q?Caf=E9?=\r\n"
           "Content-Type: text/plain; charset=iso-8859-1\r\n\r\nBonjour\r\n";
    const std::string file = (root.path() / "state.json").string();
    std::ostringstream report;
    auto result = olsim::RunScenario(
        olsim::ParseScenario("profile service absent\ninstall\nstart\ndeliver \"" + mail.string() +
                             "\"\nstate \"" + file + "\"\nquit\n"),
        {}, report);
    ASSERT_TRUE(result.ok) << report.str();
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string state = text.str();
    EXPECT_TRUE(IsUtf8(state));
    EXPECT_NE(state.find("Subj:Caf\xC3\xA9"), std::string::npos) << state;
}

// Wide text need not be Unicode: a text cut in the middle of a surrogate pair
// (a fixed-size buffer of UTF-16 text cuts so) keeps its lone half. The state
// still is UTF-8 that every JSON reader takes, with U+FFFD in its place.
TEST(OutlookProcessState, WideTextThatIsNotUnicodeBecomesAReplacementCharacter) {
    TempRoot root;
    olsim::OutlookProcess process{olsim::Profile{}};
    MessageBoxW(nullptr, L"Cut here \xD83D", L"Brevint", MB_OK);
    const std::string state = olsim::StateJson(process);
    EXPECT_TRUE(IsUtf8(state));
    const auto parsed = nlohmann::json::parse(state);
    EXPECT_EQ(parsed["messageBoxes"].back()["text"], "Cut here \xEF\xBF\xBD");
}

// A quit that waits 10 s for a worker which crashes meanwhile: the crash is
// recorded against the quit and the worker, the wait ends at its deadline,
// and the message loop calls nothing more in the add-in.
TEST(OutlookProcessCrash, ACrashOnAWorkerIsRecordedAndTheWaitForItEndsAtItsDeadline) {
    TempRoot root;
    olsim::PrepareProcess({});
    platform::host::AdvanceWhenAllWait(true);
    olsim::OutlookProcess process({});
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountUserMessages;
    wc.lpszClassName = L"UserMessageCounter";
    ASSERT_NE(RegisterClassW(&wc), 0);
    HWND hwnd = CreateWindowExW(0, L"UserMessageCounter", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                nullptr, nullptr, nullptr);

    DWORD workerId = 0, waited = 0;
    const DWORD before = GetTickCount();
    DWORD after = before;
    EXPECT_FALSE(process.Guarded("quit", [&] {
        HANDLE worker = CreateThread(nullptr, 0, &ThrowAfterAPause, nullptr, 0, &workerId);
        waited = WaitForSingleObject(worker, 10000);
        after = GetTickCount();
    }));
    EXPECT_EQ(waited, static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(after - before, 10000u);

    const auto crash = process.crash();
    ASSERT_TRUE(crash);
    EXPECT_EQ(crash->command, "quit");
    EXPECT_EQ(crash->code, platform::seh::kCppExceptionCode);
    EXPECT_EQ(crash->thread, workerId);
    EXPECT_FALSE(crash->userInterfaceThread);
    EXPECT_EQ(crash->Describe(), "Outlook crashed during 'quit' on thread " +
                                     std::to_string(workerId) +
                                     ", a worker thread: C++ exception std::runtime_error: no "
                                     "stop signal (exception code 0xE06D7363)");

    PostMessageW(hwnd, WM_USER, 0, 0);
    process.Pump();
    EXPECT_EQ(userMessages, 0);
    platform::host::AdvanceWhenAllWait(false);
}
