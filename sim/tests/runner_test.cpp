// Running scenarios: failed expectations are reported with their line and
// what was found instead; a fault in Outlook's code is recorded as a crash
// and nothing is called in the add-in afterwards; the threads view is seen
// through a scenario.
#include <gtest/gtest.h>
#include <mailstore/model.h>
#include <outlook_host.h>
#include <platform/clock.h>

#include <csignal>
#include <sstream>

#include "outlook_process.h"
#include "runner.h"
#include "temp_root.h"

namespace {

volatile ULONG_PTR unmappedAddress = 0x20;

__attribute__((noinline, no_sanitize("address"))) void WriteUnmapped() {
    *reinterpret_cast<volatile int*>(unmappedAddress) = 1;
}

struct Outcome {
    bool ok;
    std::string report;
};

Outcome RunText(const std::string& text) {
    std::ostringstream report;
    bool ok = olsim::RunScenario(olsim::ParseScenario(text), {}, report).ok;
    return {ok, report.str()};
}

DWORD WINAPI WaitForEvent(LPVOID event) {
    WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    return 0;
}

}  // namespace

TEST(ScenarioRun, AFailedExpectationNamesItsLineAndTheNearestLogLines) {
    TempRoot root;
    auto outcome = RunText(
        "install\n"
        "start\n"
        "expect log \"CConnect::OnConnectionImpl - Enter\"\n"
        "expect log \"CConnect::OnConnectionImpl - Imagined\"\n"
        "expect no log \"CConnect::OnConnectionImpl - Exit\"\n"
        "expect registry HKLM\\Software\\Brevint\\Installation Partner dword 4\n"
        "expect window \"No such window\"\n"
        "expect messagebox count 1\n"
        "expect crashed\n"
        "quit\n");
    EXPECT_FALSE(outcome.ok);
    const std::string& report = outcome.report;
    EXPECT_EQ(report.find("line 3:"), std::string::npos) << report;  // it held
    EXPECT_NE(
        report.find("line 4: expect log \"CConnect::OnConnectionImpl - Imagined\"\n    no log "
                    "line holds it; nearest log lines:"),
        std::string::npos)
        << report;
    // The nearest lines share the most words with the text looked for.
    EXPECT_NE(report.find("nearest log lines:\n      2026\\12\\5 9:0:0 ----> "
                          "CConnect::OnConnectionImpl - Enter"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("line 5:"), std::string::npos) << report;
    EXPECT_NE(report.find("line 6:"), std::string::npos) << report;
    EXPECT_NE(report.find("found 3"), std::string::npos) << report;
    EXPECT_NE(report.find("line 7:"), std::string::npos) << report;
    EXPECT_NE(report.find("[rctrl_renwnd32] \"Inbox - Microsoft Outlook\""), std::string::npos)
        << report;
    EXPECT_NE(report.find("line 8:"), std::string::npos) << report;
    EXPECT_NE(report.find("line 9: expect crashed\n    Outlook did not crash"), std::string::npos)
        << report;
}

TEST(ScenarioRun, ACommandThatCannotBeCarriedOutFailsTheRun) {
    TempRoot root;
    auto outcome = RunText("install\nstart\nclose 2\nquit\nquit\n");
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.report.find("line 3: close 2\n    explorer 2 is not open"), std::string::npos)
        << outcome.report;
    EXPECT_NE(outcome.report.find("line 5: quit\n    Outlook is not running"), std::string::npos)
        << outcome.report;
}

TEST(ScenarioRun, AnswersAreGivenToMessageBoxesInOrder) {
    TempRoot root;
    std::ostringstream report;
    olsim::Scenario scenario = olsim::ParseScenario("answer no\nanswer 4\n");
    ASSERT_TRUE(olsim::RunScenario(scenario, {}, report).ok) << report.str();
    EXPECT_EQ(MessageBoxW(nullptr, L"Go on?", L"Brevint", MB_YESNO), IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, L"Again?", L"Brevint", MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(MessageBoxW(nullptr, L"Done", L"Brevint", MB_OK), IDOK);  // the default
}

TEST(ScenarioRun, ThePickersChoiceIsAFolderByPathOrNothing) {
    TempRoot root;
    std::ostringstream report;
    olsim::Scenario scenario = olsim::ParseScenario("picker choose \"Junk E-mail\"\n");
    ASSERT_TRUE(olsim::RunScenario(scenario, {}, report).ok) << report.str();
    const auto chosen = outlook::host::FolderPickerChoice();
    ASSERT_TRUE(chosen);
    const auto folder = mailstore::Model::Process().FindFolder(*chosen);
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->Name(), L"Junk E-mail");

    EXPECT_TRUE(olsim::RunScenario(olsim::ParseScenario("picker cancel\n"), {}, report).ok);
    EXPECT_FALSE(outlook::host::FolderPickerChoice());
    auto outcome = RunText("picker choose Nowhere\n");
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.report.find("no folder Nowhere"), std::string::npos) << outcome.report;
}

TEST(OutlookProcessCrash, AFaultIsRecordedWithItsCommandAndNothingMoreIsCalled) {
    TempRoot root;
    olsim::PrepareProcess({});
    olsim::OutlookProcess process({});
    std::vector<std::string> done;
    std::string message;
    ASSERT_TRUE(process.Install(done, message)) << message;
    ASSERT_TRUE(process.Start(message)) << message;
    EXPECT_FALSE(process.Guarded("select 1", [] { WriteUnmapped(); }));
    ASSERT_TRUE(process.crash());
    EXPECT_EQ(process.crash()->command, "select 1");
    EXPECT_EQ(process.crash()->code, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
    EXPECT_NE(
        process.crash()->Describe().find("access violation, SIGSEGV (exception code 0xC0000005)"),
        std::string::npos);
    // The process ends here without tearing the add-in down.
    std::fflush(nullptr);
    std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
}

TEST(ScenarioRun, ThreadsAreSeenByTheNamedObjectsTheyWaitOn) {
    TempRoot root;
    olsim::PrepareProcess({});
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"BV-block-thread");
    HANDLE thread = CreateThread(nullptr, 0, &WaitForEvent, event, 0, nullptr);
    platform::host::AdvanceClock(0);
    std::ostringstream report;
    auto scenario = olsim::ParseScenario(
        "expect thread waiting BV-block-thread\n"
        "expect threads 1\n"
        "expect no thread waiting BV-unblock-thread\n"
        "expect thread waiting BV-data-event\n");
    EXPECT_FALSE(olsim::RunScenario(scenario, {}, report).ok);
    EXPECT_EQ(report.str().find("line 1:"), std::string::npos) << report.str();
    EXPECT_EQ(report.str().find("line 2:"), std::string::npos) << report.str();
    EXPECT_EQ(report.str().find("line 3:"), std::string::npos) << report.str();
    EXPECT_NE(report.str().find("line 4: expect thread waiting BV-data-event\n    no thread waits "
                                "on it; 1 thread(s) alive"),
              std::string::npos)
        << report.str();
    EXPECT_NE(report.str().find("waiting on \"BV-block-thread\""), std::string::npos);
    SetEvent(event);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(event);
}
