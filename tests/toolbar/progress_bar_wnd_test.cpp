// The progress window without the add-in object: made from the module's
// dialog 204 on the test thread (Outlook's user-interface thread), advanced
// by messages posted from another thread as a worker posts them, and stopped
// through a stand-in of the add-in's hidden window that records each stop
// request it is sent.
#include "toolbar/progress_bar_wnd.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <mailstore/model.h>
#include <platform/filesystem.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "outlook_host.h"
#include "support/log_files.h"
#include "support/registry_fixture.h"
#include "support/utility/brevint_helper.h"
#include "test_thread.h"

namespace {

// The add-in's hidden window as the progress window meets it.
class CStopRecorder : public CAxDialogImpl<CStopRecorder> {
  public:
    enum { IDD = IDD_WORKER_WINDOW };
    BEGIN_MSG_MAP(CStopRecorder)
    MESSAGE_HANDLER(WM_BV_STOP_ACTION, OnStop)
    END_MSG_MAP()

    struct Request {
        WPARAM type;
        LPARAM lParam;
    };
    std::vector<Request> requests;

  private:
    LRESULT OnStop(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
        requests.push_back({wParam, lParam});
        return 0;
    }
};

class ProgressWindowTest : public RegistryTest {
  protected:
    void SetUp() override {
        MakeLogsFolder();
        auto folder = platform::host::HostPathFromWindows(L"C:\\Program Files\\Brevint");
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(BV_ADDIN_MODULE_FILE, folder / "BVOL0000.dll");
        m_module = LoadLibraryW(L"C:\\Program Files\\Brevint\\BVOL0000.dll");
        ASSERT_NE(m_module, nullptr);
        _AtlBaseModule.SetResourceInstance(m_module);
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        mailstore::Model::Process()
            .AddProfile(L"Outlook")
            ->AddStore(mailstore::StoreSettings::Personal(L"Personal Folders"));
        m_host = std::make_unique<outlook::host::OutlookHost>(L"11.0.0.8312");
        CComPtr<IDispatch> application;
        application.Attach(m_host->Application());
        ASSERT_EQ(application.QueryInterface(&m_application), S_OK);
        ASSERT_NE(m_hidden.Create(nullptr), nullptr);
    }
    void TearDown() override {
        m_progress.DestroyIfExists();
        m_hidden.DestroyWindow();
        m_labels.reset();
        m_application.Release();
        m_host.reset();
        mailstore::Model::Process().Clear();
        CoUninitialize();
        FreeLibrary(m_module);
    }

    // The language file English3.ini with `body`, read by a new helper.
    void InstallLanguage(const std::string& body) {
        SetString(HKEY_LOCAL_MACHINE, L"Software\\Brevint\\Installation", L"Directory",
                  L"C:\\Brevint");
        SetDword(HKEY_LOCAL_MACHINE, L"Software\\Brevint\\Installation", L"Partner", 3);
        SetString(HKEY_CURRENT_USER, L"Software\\Brevint", L"Language", L"English");
        const auto file =
            platform::host::HostPathFromWindows(L"C:\\Brevint\\Languages\\English3.ini");
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << body;
        m_labels = std::make_unique<CBrevintHelper>();
    }
    CBrevintHelper& Labels() {
        if (!m_labels)
            m_labels = std::make_unique<CBrevintHelper>();
        return *m_labels;
    }

    HWND Open(DWORD type, DWORD total, bool show = true) {
        return m_progress.CreateForAction({type, total, m_hidden.m_hWnd, &Labels()}, m_application,
                                          show);
    }

    static void DispatchWaitingMessages() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    // Posts from a thread of its own, as the action's worker does.
    void PostFromWorker(const std::vector<std::pair<UINT, WPARAM>>& messages) {
        HWND window = m_progress.m_hWnd;
        {
            TestThread worker([&] {
                for (const auto& [message, wParam] : messages)
                    PostMessageW(window, message, wParam, 0);
                return DWORD{0};
            });
        }
        DispatchWaitingMessages();
    }

    std::wstring Text(int control) const {
        wchar_t text[128] = {};
        GetDlgItemTextW(m_progress.m_hWnd, control, text, 128);
        return text;
    }
    std::wstring Title() const {
        wchar_t text[128] = {};
        GetWindowTextW(m_progress.m_hWnd, text, 128);
        return text;
    }
    // Folder, left and spam counts as shown.
    std::vector<std::wstring> Counts() const {
        return {Text(IDC_PROGRESS_FOLDER_COUNT), Text(IDC_PROGRESS_LEFT_COUNT),
                Text(IDC_PROGRESS_SPAM_COUNT)};
    }
    LRESULT Bar(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendDlgItemMessageW(m_progress.m_hWnd, IDC_PROGRESS_BAR, message, wParam, lParam);
    }
    bool StopEnabled() const {
        return IsWindowEnabled(GetDlgItem(m_progress.m_hWnd, IDC_PROGRESS_STOP)) != FALSE;
    }
    void Press(int button) { SendMessageW(GetDlgItem(m_progress.m_hWnd, button), BM_CLICK, 0, 0); }

    HMODULE m_module = nullptr;
    std::unique_ptr<outlook::host::OutlookHost> m_host;
    CComPtr<Outlook::_Application> m_application;
    std::unique_ptr<CBrevintHelper> m_labels;
    CStopRecorder m_hidden;
    CProgressBarWnd m_progress;
};

TEST_F(ProgressWindowTest, AWindowNotShownKeepsTheTemplateAndIsOwnedByTheActiveExplorer) {
    m_host->OpenExplorer(L"Inbox - Microsoft Outlook");
    HWND window = Open(BV_ACTION_BLOCK, 10, false);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(GetWindow(window, GW_OWNER),
              FindWindowW(L"rctrl_renwnd32", L"Inbox - Microsoft Outlook"));
    EXPECT_EQ(Title(), L"Dialog");
    EXPECT_EQ(Text(IDC_PROGRESS_FOLDER_LABEL), L"Email in Folder:");
    EXPECT_EQ(Text(IDC_PROGRESS_CLOSE), L"Close");
    EXPECT_EQ(Counts(), (std::vector<std::wstring>{L"0", L"0", L"0"}));
    EXPECT_EQ(m_progress.LeftCount(), 10);

    // Steps reach it all the same.
    PostFromWorker({{WM_BV_ITEM_DONE, 1}});
    EXPECT_EQ(m_progress.LeftCount(), 9);
    EXPECT_EQ(m_progress.SpamCount(), 1);
}

TEST_F(ProgressWindowTest, WithoutAnExplorerOrALanguageFileTheWindowHasNoOwnerAndItsDefaults) {
    HWND window = Open(BV_ACTION_CLEAN, 25);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
    EXPECT_EQ(Title(), L"Cleaning Folder");
    EXPECT_EQ(Text(IDC_PROGRESS_FOLDER_LABEL), L"Emails in Folder");
    EXPECT_EQ(Text(IDC_PROGRESS_LEFT_LABEL), L"Emails left");
    EXPECT_EQ(Text(IDC_PROGRESS_SPAM_LABEL), L"Spam found");
    EXPECT_EQ(Text(IDC_PROGRESS_STOP), L"Stop");
    EXPECT_EQ(Text(IDC_PROGRESS_CLOSE), L"Cancel");
    EXPECT_EQ(Counts(), (std::vector<std::wstring>{L"25", L"25", L"0"}));
    PBRANGE range{};
    Bar(PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 25);
    EXPECT_EQ(Bar(PBM_GETPOS), 0);
}

TEST_F(ProgressWindowTest, TheCaptionFollowsTheActionTypeAndMissingLabelsKeepTheirDefaults) {
    InstallLanguage(
        "[FrmRecheckProgress]\r\n1=Recheck\r\n2=Blocking\r\n3=Unblocking\r\n13=Halt\r\n"
        "21=In folder\r\n22=Spam\r\n23=Left\r\n");
    const std::pair<DWORD, std::wstring> captions[] = {
        {BV_ACTION_BLOCK, L"Blocking"},
        {BV_ACTION_UNBLOCK, L"Unblocking"},
        {BV_ACTION_CLEAN, L"Recheck"},
        {7, L"Recheck"},
        {BV_ACTION_RECHECK, L"Startup check of folder(s) for spam"},
    };
    for (const auto& [type, caption] : captions) {
        Open(type, 3);
        EXPECT_EQ(Title(), caption) << "action type " << type;
    }
    EXPECT_EQ(Text(IDC_PROGRESS_STOP), L"Halt");
    EXPECT_EQ(Text(IDC_PROGRESS_CLOSE), L"Cancel");  // key 14 is missing
    EXPECT_EQ(Text(IDC_PROGRESS_FOLDER_LABEL), L"In folder");
    EXPECT_EQ(Text(IDC_PROGRESS_SPAM_LABEL), L"Spam");
    EXPECT_EQ(Text(IDC_PROGRESS_LEFT_LABEL), L"Left");
}

TEST_F(ProgressWindowTest, StepsFromAWorkerThreadAdvanceTheBarAndCountPastZero) {
    Open(BV_ACTION_BLOCK, 2);
    PostFromWorker({{WM_BV_ITEM_DONE, 1}, {WM_BV_ITEM_DONE, 0}});
    EXPECT_EQ(Counts(), (std::vector<std::wstring>{L"2", L"0", L"1"}));
    EXPECT_EQ(Bar(PBM_GETPOS), 2);
    PostFromWorker({{WM_BV_ITEM_DONE, 1}, {WM_BV_ITEM_DONE, 0}});
    EXPECT_EQ(Counts(), (std::vector<std::wstring>{L"2", L"-2", L"2"}));
    EXPECT_EQ(m_progress.LeftCount(), -2);

    // Hiding and showing again resets the texts and the bar, not the counters.
    m_progress.HideIfExists();
    ShowWindow(m_progress.m_hWnd, SW_SHOWNORMAL);
    EXPECT_EQ(Counts(), (std::vector<std::wstring>{L"2", L"2", L"0"}));
    EXPECT_EQ(Bar(PBM_GETPOS), 0);
    EXPECT_EQ(m_progress.SpamCount(), 2);
}

TEST_F(ProgressWindowTest, SeventyThousandMailsAreCountedInFullButTheBarsRangeIsSixteenBits) {
    Open(BV_ACTION_CLEAN, 70000);
    EXPECT_EQ(Counts(), (std::vector<std::wstring>{L"70000", L"70000", L"0"}));
    PBRANGE range{};
    Bar(PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iHigh, 4464);
    PostFromWorker({{WM_BV_ITEM_DONE, 0}});
    EXPECT_EQ(Text(IDC_PROGRESS_LEFT_COUNT), L"69999");
    EXPECT_EQ(Bar(PBM_GETPOS), 1);
}

TEST_F(ProgressWindowTest, StopSendsOneRequestWithTheActionTypeAndCannotBePressedTwice) {
    HWND window = Open(BV_ACTION_UNBLOCK, 20);
    Press(IDC_PROGRESS_STOP);
    ASSERT_EQ(m_hidden.requests.size(), 1u);
    EXPECT_EQ(m_hidden.requests[0].type, BV_ACTION_UNBLOCK);
    EXPECT_EQ(m_hidden.requests[0].lParam, 0);
    EXPECT_FALSE(StopEnabled());
    EXPECT_TRUE(IsWindowVisible(window));
    Press(IDC_PROGRESS_STOP);
    EXPECT_EQ(m_hidden.requests.size(), 1u);
}

TEST_F(ProgressWindowTest, CloseAndTheCloseBoxAskForTheStopAndHideTheWindow) {
    HWND window = Open(BV_ACTION_RECHECK, 5);
    Press(IDC_PROGRESS_CLOSE);
    ASSERT_EQ(m_hidden.requests.size(), 1u);
    EXPECT_EQ(m_hidden.requests[0].type, BV_ACTION_RECHECK);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(StopEnabled());

    ShowWindow(window, SW_SHOWNORMAL);
    SendMessageW(window, WM_CLOSE, 0, 0);
    DispatchWaitingMessages();  // nothing else, no IDCANCEL of the dialog's own
    ASSERT_EQ(m_hidden.requests.size(), 2u);
    EXPECT_EQ(m_hidden.requests[1].type, BV_ACTION_RECHECK);
    EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(ProgressWindowTest, TheWorkerCanDisableStop) {
    Open(BV_ACTION_CLEAN, 5);
    EXPECT_TRUE(StopEnabled());
    PostFromWorker({{WM_BV_DISABLE_STOP, 0}});
    EXPECT_FALSE(StopEnabled());
    Press(IDC_PROGRESS_STOP);
    EXPECT_TRUE(m_hidden.requests.empty());
}

TEST_F(ProgressWindowTest, ANewActionReplacesTheWindowWithFreshCounters) {
    HWND first = Open(BV_ACTION_BLOCK, 4);
    PostFromWorker({{WM_BV_ITEM_DONE, 1}, {WM_BV_DISABLE_STOP, 0}});
    HWND second = Open(BV_ACTION_CLEAN, 8);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_NE(first, second);
    EXPECT_EQ(Counts(), (std::vector<std::wstring>{L"8", L"8", L"0"}));
    EXPECT_EQ(m_progress.SpamCount(), 0);
    EXPECT_TRUE(StopEnabled());
    m_progress.DestroyIfExists();
    EXPECT_FALSE(IsWindow(second));
    m_progress.HideIfExists();  // nothing to hide
}

}  // namespace
