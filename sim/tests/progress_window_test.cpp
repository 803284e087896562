// The progress window seen and pressed from a scenario. The add-in's own
// window comes with its commands; here a dialog laid out as it is (the bar
// 201, the buttons 202 and 203, the texts 204 to 209) stands in for it, with
// the add-in's answers to its buttons: Stop disables itself, Close hides the
// window.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <platform/dialog_template.h>
#include <platform/filesystem.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <vector>

#include "runner.h"
#include "temp_root.h"
#include "thread_windows.h"

namespace {

std::vector<WORD> pressed;

INT_PTR CALLBACK StandInProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND)
        return FALSE;
    pressed.push_back(LOWORD(wParam));
    if (LOWORD(wParam) == 202)
        EnableWindow(GetDlgItem(dialog, 202), FALSE);
    else if (LOWORD(wParam) == 203)
        ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

class ProgressScenarioTest : public ::testing::Test {
  protected:
    void SetUp() override { pressed.clear(); }
    void TearDown() override { DestroyWindowsOfThisThread(); }

    // Shows a stand-in over 70,000 mails, two of them done, one of them spam.
    HWND ShowStandIn() {
        platform::DialogTemplateBuilder dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 281, 81,
                                               L"Dialog");
        dialog.Extended().Font(8, L"MS Shell Dlg");
        dialog.Item(PROGRESS_CLASSW, L"", 201, WS_VISIBLE, 7, 49, 267, 8)
            .Item(L"Button", L"Stop", 202, WS_VISIBLE, 85, 60, 50, 14)
            .Item(L"Button", L"Cancel", 203, WS_VISIBLE, 146, 60, 50, 14);
        const wchar_t* texts[] = {
            L"Emails in Folder", L"Emails left", L"Spam found", L"70000", L"69998", L"1"};
        for (int k = 0; k < 6; ++k)
            dialog.Item(L"Static", texts[k], 204 + k, WS_VISIBLE, 7, 7, 30, 8);
        HWND window =
            CreateDialogIndirectParamW(nullptr, dialog.Template(), nullptr, &StandInProc, 0);
        SetWindowTextW(window, L"Blocking");
        HWND bar = GetDlgItem(window, 201);
        SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(70000)));
        SendMessageW(bar, PBM_SETSTEP, 1, 0);
        SendMessageW(bar, PBM_STEPIT, 0, 0);
        SendMessageW(bar, PBM_STEPIT, 0, 0);
        ShowWindow(window, SW_SHOWNORMAL);
        return window;
    }

    std::string Run(const std::string& text, bool expectOk = true) {
        std::ostringstream report;
        const bool ok = olsim::RunScenario(olsim::ParseScenario(text), {}, report).ok;
        EXPECT_EQ(ok, expectOk) << report.str();
        return report.str();
    }

    TempRoot m_root;
};

TEST_F(ProgressScenarioTest, TheWindowIsReadControlByControl) {
    ShowStandIn();
    Run("expect progress\n"
        "expect progress shown\n"
        "expect progress title Blocking\n"
        "expect progress text 203 Cancel\n"
        "expect progress text 205 \"Emails left\"\n"
        "expect progress counts 70000 69998 1\n"
        "expect progress range 0 4464\n"
        "expect progress position 2\n"
        "expect progress stop enabled\n");
    const std::string report =
        Run("expect no progress\n"
            "expect progress counts 70000 70000 0\n"
            "expect progress range 0 70000\n",
            false);
    EXPECT_NE(report.find("line 1: expect no progress\n    the progress window exists (shown)"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("found \"70000 69998 1\""), std::string::npos) << report;
    EXPECT_NE(report.find("found \"0 4464\""), std::string::npos) << report;
}

TEST_F(ProgressScenarioTest, ButtonsArePressedAsAUserPressesThem) {
    ShowStandIn();
    Run("progress stop\n"
        "expect progress stop disabled\n"
        "expect progress shown\n");
    EXPECT_EQ(pressed, std::vector<WORD>{202});

    // A disabled button takes no press, and the line says why.
    std::string report = Run("progress stop\n", false);
    EXPECT_NE(report.find("Stop button is disabled"), std::string::npos) << report;
    EXPECT_EQ(pressed.size(), 1u);

    Run("progress close\n"
        "expect progress hidden\n");
    report = Run("progress close\n", false);
    EXPECT_NE(report.find("the progress window is hidden"), std::string::npos) << report;
    EXPECT_EQ(pressed, (std::vector<WORD>{202, 203}));
}

TEST_F(ProgressScenarioTest, WithoutTheWindowPressingFailsAndTheStateSaysNull) {
    const std::string report =
        Run("expect no progress\n"
            "progress close\n"
            "expect progress title Blocking\n",
            false);
    EXPECT_NE(report.find("line 2: progress close\n    the add-in shows no progress window"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("line 3:"), std::string::npos) << report;
    const std::string none = platform::host::HostPathFromWindows(L"C:\\none.json").string();
    const std::string shownFile = platform::host::HostPathFromWindows(L"C:\\shown.json").string();
    Run("state \"" + none + "\"\n");
    ShowStandIn();
    Run("state \"" + shownFile + "\"\n");
    auto read = [](const std::string& name) {
        std::ifstream in(name);
        return nlohmann::json::parse(in);
    };
    EXPECT_TRUE(read(none)["progressWindow"].is_null());
    const auto shown = read(shownFile)["progressWindow"];
    EXPECT_EQ(shown["shown"], true);
    EXPECT_EQ(shown["title"], "Blocking");
    EXPECT_EQ(shown["texts"]["202"], "Stop");
    EXPECT_EQ(shown["texts"]["207"], "70000");
    EXPECT_EQ(shown["texts"]["208"], "69998");
    EXPECT_EQ(shown["texts"]["209"], "1");
    EXPECT_EQ(shown["range"], (nlohmann::json{0, 4464}));
    EXPECT_EQ(shown["position"], 2);
    EXPECT_EQ(shown["stopEnabled"], true);
}

TEST_F(ProgressScenarioTest, MalformedLinesAreRefusedWhenRead) {
    for (const char* line : {"progress\n", "progress pause\n", "expect progress text 210 X\n",
                             "expect progress counts 1 2\n", "expect no progress shown\n",
                             "expect progress stop gone\n", "expect progress position x\n"}) {
        EXPECT_THROW(olsim::ParseScenario(line), olsim::ParseError) << line;
    }
}

}  // namespace
