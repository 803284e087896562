// Dialogs from templates and their controls, message boxes answered by the
// host, shell execution records, bitmap files and the clipboard.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "platform/clock.h"
#include "platform/dialog_template.h"
#include "platform/windows.h"
#include "temp_root.h"
#include "test_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <vector>

namespace {

struct DialogLog {
    std::vector<UINT> messages;
    LPARAM initParam = 0;
    std::vector<WPARAM> commands;
};
DialogLog dialogLog;

INT_PTR CALLBACK RecordingDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    dialogLog.messages.push_back(message);
    switch (message) {
        case WM_INITDIALOG:
            dialogLog.initParam = lParam;
            return TRUE;
        case WM_COMMAND:
            dialogLog.commands.push_back(wParam);
            if (LOWORD(wParam) == IDCANCEL)
                EndDialog(hwnd, 77);
            return TRUE;
        case WM_USER + 20:
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 1234);
            return TRUE;
        default:
            return FALSE;
    }
}

// A progress dialog as the add-in lays it out: extended, with its font.
platform::DialogTemplateBuilder ProgressTemplate(DWORD extraStyle = 0) {
    platform::DialogTemplateBuilder builder(
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_FIXEDSYS | DS_CENTER | extraStyle,
        0, 0, 281, 81, L"Dialog");
    builder.Extended().Font(8, L"MS Shell Dlg");
    builder.Item(L"msctls_progress32", L"", 201, WS_VISIBLE | WS_BORDER, 7, 49, 267, 8);
    builder.Item(L"Button", L"Stop", 202, WS_VISIBLE | WS_TABSTOP, 85, 60, 50, 14);
    builder.Item(L"Static", L"Email in Folder:", 204, WS_VISIBLE | SS_LEFT, 7, 7, 228, 11);
    return builder;
}

TEST(WindowDialogs, DialogFromTemplateHasItsControlsInDialogUnits) {
    auto builder = ProgressTemplate();
    HWND dialog =
        CreateDialogIndirectParamW(nullptr, builder.Template(), nullptr, RecordingDialogProc, 4711);
    ASSERT_NE(dialog, nullptr);
    // The dialog procedure is attached after creation: WM_INITDIALOG first.
    ASSERT_FALSE(dialogLog.messages.empty());
    EXPECT_EQ(dialogLog.messages.front(), static_cast<UINT>(WM_INITDIALOG));
    EXPECT_EQ(dialogLog.initParam, 4711);
    EXPECT_FALSE(IsWindowVisible(dialog));

    wchar_t text[64];
    GetClassNameW(dialog, text, 64);
    EXPECT_STREQ(text, L"#32770");
    GetWindowTextW(dialog, text, 64);
    EXPECT_STREQ(text, L"Dialog");
    HWND bar = GetDlgItem(dialog, 201);
    HWND stop = GetDlgItem(dialog, 202);
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(GetWindow(dialog, GW_CHILD), bar);  // the first item is the first child
    GetClassNameW(stop, text, 64);
    EXPECT_STREQ(text, L"Button");
    EXPECT_EQ(GetDlgItemTextW(dialog, 204, text, 64), 16u);
    EXPECT_STREQ(text, L"Email in Folder:");
    EXPECT_EQ(GetDlgCtrlID(stop), 202);
    EXPECT_EQ(GetParent(stop), dialog);
    EXPECT_EQ(GetDlgItem(dialog, 999), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND));

    // 7,49 and 267x8 dialog units at 6x13 base units: x*6/4 and y*13/8, rounded.
    RECT client{};
    GetClientRect(bar, &client);
    EXPECT_EQ(client.right, 401);
    EXPECT_EQ(client.bottom, 13);
    RECT units{7, 49, 274, 57};
    ASSERT_TRUE(MapDialogRect(dialog, &units));
    EXPECT_EQ(units.left, 11);
    EXPECT_EQ(units.top, 80);

    // Results go through DWLP_MSGRESULT unless the message returns directly.
    EXPECT_EQ(SendMessageW(dialog, WM_USER + 20, 0, 0), 1234);
    EXPECT_EQ(SetWindowLongPtrW(dialog, DWLP_USER, 99), 0);
    EXPECT_EQ(GetWindowLongPtrW(dialog, DWLP_USER), 99);

    EXPECT_FALSE(ShowWindow(dialog, SW_SHOWNORMAL));
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(IsWindowVisible(stop));
    EXPECT_TRUE(ShowWindow(dialog, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(stop));  // a child is seen only with its parent
    DestroyWindow(dialog);
    EXPECT_FALSE(IsWindow(stop));
}

TEST(WindowDialogs, VisibleAndDisabledStylesOfTheTemplateAreHonoured) {
    platform::DialogTemplateBuilder hidden(WS_POPUP | WS_DISABLED | WS_CAPTION, 0, 0, 186, 90,
                                           L"Dialog");
    hidden.Font(8, L"MS Shell Dlg");
    HWND window = CreateDialogIndirectParamW(nullptr, hidden.Template(), nullptr, nullptr, 0);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowEnabled(window));
    EXPECT_FALSE(IsWindowVisible(window));
    SetWindowTextW(window, L"Hidden_window_title");
    EXPECT_EQ(FindWindowW(nullptr, L"Hidden_window_title"), window);
    EXPECT_EQ(FindWindowW(L"#32770", L"Hidden_window_title"), window);
    EXPECT_TRUE(EnableWindow(window, TRUE));  // it was disabled
    EXPECT_FALSE(EnableWindow(window, TRUE));

    auto visible = ProgressTemplate(WS_VISIBLE);
    HWND shown =
        CreateDialogIndirectParamW(nullptr, visible.Template(), nullptr, RecordingDialogProc, 0);
    EXPECT_TRUE(IsWindowVisible(shown));
    // The dialog was told it was shown, after WM_INITDIALOG.
    auto& seen = dialogLog.messages;
    auto init = std::find(seen.begin(), seen.end(), static_cast<UINT>(WM_INITDIALOG));
    EXPECT_NE(std::find(init, seen.end(), static_cast<UINT>(WM_SHOWWINDOW)), seen.end());
    DestroyWindow(shown);
    DestroyWindow(window);
}

TEST(WindowDialogs, ProgressBarRangesPositionsAndSteps) {
    HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_POPUP, 0, 0, 100, 10, nullptr, nullptr,
                               nullptr, nullptr);
    INITCOMMONCONTROLSEX init{sizeof init, ICC_PROGRESS_CLASS};
    EXPECT_TRUE(InitCommonControlsEx(&init));
    ASSERT_NE(bar, nullptr);
    // The 16-bit bounds of PBM_SETRANGE keep 70,000 modulo 65,536.
    EXPECT_EQ(SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 70000)), MAKELONG(0, 100));
    EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 4464);
    EXPECT_EQ(SendMessageW(bar, PBM_SETSTEP, 1, 0), 10);
    EXPECT_EQ(SendMessageW(bar, PBM_SETPOS, 0, 0), 0);
    EXPECT_EQ(SendMessageW(bar, PBM_STEPIT, 0, 0), 0);  // the position before
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 1);

    SendMessageW(bar, PBM_SETRANGE32, 0, 10);
    SendMessageW(bar, PBM_SETSTEP, 4, 0);
    SendMessageW(bar, PBM_SETPOS, 8, 0);
    EXPECT_EQ(SendMessageW(bar, PBM_STEPIT, 0, 0), 8);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 2);  // wrapped, keeping the overshoot
    EXPECT_EQ(SendMessageW(bar, PBM_SETPOS, 50, 0), 2);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 10);  // held inside the range
    EXPECT_EQ(SendMessageW(bar, PBM_DELTAPOS, static_cast<WPARAM>(-3), 0), 10);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 7);
    PBRANGE range{};
    EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range)), 0);
    EXPECT_EQ(range.iHigh, 10);
    INITCOMMONCONTROLSEX wrongSize{0, ICC_PROGRESS_CLASS};
    EXPECT_FALSE(InitCommonControlsEx(&wrongSize));
    DestroyWindow(bar);
}

WNDPROC buttonProc;
std::vector<UINT> subclassedButtonSaw;
LRESULT CALLBACK ButtonSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    subclassedButtonSaw.push_back(message);
    return CallWindowProcW(buttonProc, hwnd, message, wParam, lParam);
}

TEST(WindowDialogs, ButtonsClickTheirParentAndHoldImages) {
    dialogLog = {};
    auto builder = ProgressTemplate();
    HWND dialog =
        CreateDialogIndirectParamW(nullptr, builder.Template(), nullptr, RecordingDialogProc, 0);
    HWND stop = GetDlgItem(dialog, 202);
    buttonProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(stop, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ButtonSubclass)));
    SendMessageW(stop, BM_CLICK, 0, 0);
    EXPECT_EQ(dialogLog.commands, (std::vector<WPARAM>{MAKEWPARAM(202, BN_CLICKED)}));
    EXPECT_NE(std::find(subclassedButtonSaw.begin(), subclassedButtonSaw.end(),
                        static_cast<UINT>(WM_LBUTTONUP)),
              subclassedButtonSaw.end());
    EnableWindow(stop, FALSE);
    SendMessageW(stop, BM_CLICK, 0, 0);
    ShowWindow(dialog, SW_SHOW);
    EXPECT_FALSE(platform::host::ClickButton(stop));
    EnableWindow(stop, TRUE);
    EXPECT_TRUE(platform::host::ClickButton(stop));
    EXPECT_EQ(dialogLog.commands.size(), 2u);

    auto image = static_cast<LPARAM>(0x5050);
    EXPECT_EQ(SendMessageW(stop, BM_SETIMAGE, IMAGE_BITMAP, image), 0);
    EXPECT_EQ(SendMessageW(stop, BM_GETIMAGE, IMAGE_BITMAP, 0), image);
    EXPECT_EQ(SendMessageW(stop, BM_SETIMAGE, IMAGE_BITMAP, 0), image);

    HWND picture = CreateWindowExW(0, L"Static", L"", WS_CHILD | SS_BITMAP, 0, 0, 10, 10, dialog,
                                   nullptr, nullptr, nullptr);
    HWND label = GetDlgItem(dialog, 204);
    EXPECT_EQ(SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, image), 0);
    EXPECT_EQ(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0), image);
    EXPECT_EQ(SendMessageW(label, STM_SETIMAGE, IMAGE_BITMAP, image), 0);  // a text static
    EXPECT_EQ(SendMessageW(label, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    DestroyWindow(dialog);
}

TEST(WindowDialogs, ModalDialogRunsUntilEndDialog) {
    platform::host::UseVirtualClock({2007, 3, 0, 4, 0, 0, 0, 0});
    auto builder = ProgressTemplate();
    HWND owner = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                 nullptr);
    // A timer of the dialog's loop closes it; the close reaches the dialog
    // procedure as IDCANCEL.
    SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        HWND dialog = FindWindowW(L"#32770", L"Dialog");
        EXPECT_FALSE(IsWindowEnabled(GetWindow(dialog, GW_OWNER)));
        SendMessageW(dialog, WM_CLOSE, 0, 0);
    });
    TestThread driver([] {
        platform::host::AdvanceClock(1000);
        return DWORD{0};
    });
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, builder.Template(), owner, RecordingDialogProc, 0),
              77);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(FindWindowW(L"#32770", L"Dialog"), nullptr);
}

LRESULT CALLBACK AnsweringProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 1) {
        // Served by the box's nested loop while the box is open.
        EXPECT_EQ(platform::host::OpenMessageBoxes().size(), 1u);
        platform::host::AnswerMessageBox(IDNO);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(WindowDialogs, MessageBoxRunsANestedLoopUntilTheHostAnswers) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = AnsweringProc;
    wc.lpszClassName = L"Answering";
    RegisterClassW(&wc);
    HWND owner = CreateWindowExW(0, L"Answering", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 nullptr, nullptr);
    platform::host::HoldMessageBoxes(true);
    PostMessageW(owner, WM_USER + 1, 0, 0);
    EXPECT_EQ(MessageBoxW(owner, L"Delete?", L"Brevint", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_TRUE(IsWindowEnabled(owner));

    // Scripted answers come in order; without any, the first button.
    platform::host::HoldMessageBoxes(false);
    platform::host::QueueMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(MessageBoxW(nullptr, L"a", L"Brevint", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxW(nullptr, L"b", L"Brevint", MB_OK), IDOK);
    platform::host::SetMessageBoxHandler(
        [](const platform::host::MessageBoxRecord& box) { return box.text == L"c" ? IDRETRY : 0; });
    EXPECT_EQ(MessageBoxW(nullptr, L"c", nullptr, MB_RETRYCANCEL), IDRETRY);

    auto boxes = platform::host::MessageBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].owner, owner);
    EXPECT_EQ(boxes[0].caption, L"Brevint");
    EXPECT_EQ(boxes[0].text, L"Delete?");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(boxes[0].answer, IDNO);
    EXPECT_EQ(boxes[3].caption, L"Error");  // a null caption reads "Error"
    EXPECT_TRUE(platform::host::OpenMessageBoxes().empty());
}

TEST(WindowDialogs, HeldMessageBoxIsAnsweredFromAnotherThread) {
    platform::host::HoldMessageBoxes(true);
    int answer = 0;
    TestThread ui([&] {
        answer = MessageBoxW(nullptr, L"Question", L"Brevint", MB_YESNO);
        return DWORD{0};
    });
    while (platform::host::OpenMessageBoxes().empty())
        Sleep(0);
    EXPECT_EQ(WaitForSingleObject(ui.handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(platform::host::AnswerMessageBox(IDYES));
    WaitForSingleObject(ui.handle(), INFINITE);
    EXPECT_EQ(answer, IDYES);
    EXPECT_FALSE(platform::host::AnswerMessageBox(IDYES));
}

TEST(WindowDialogs, ShellExecuteIsRecordedAndSucceeds) {
    HINSTANCE result = ShellExecuteW(nullptr, L"open", L"C:\\Program Files\\BVCFG.exe", L"/p 2",
                                     nullptr, SW_SHOWNORMAL);
    EXPECT_GT(reinterpret_cast<INT_PTR>(result), 32);
    platform::host::SetShellExecuteResult(SE_ERR_FNF);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, nullptr, L"x", nullptr, nullptr, 0)),
              SE_ERR_FNF);
    auto calls = platform::host::ShellExecutes();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].verb, L"open");
    EXPECT_EQ(calls[0].file, L"C:\\Program Files\\BVCFG.exe");
    EXPECT_EQ(calls[0].parameters, L"/p 2");
    EXPECT_EQ(calls[0].directory, L"");
    EXPECT_EQ(calls[0].show, SW_SHOWNORMAL);
}

// A 3x2 bitmap file of 24 bits per pixel: rows padded to 12 bytes.
std::vector<char> BitmapFile(LONG width, LONG height, bool cutShort = false) {
    BITMAPFILEHEADER file{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    BITMAPINFOHEADER info{sizeof info, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    size_t stride = ((width * 24 + 31) / 32) * 4;
    // A negative height is a top-down bitmap; no test needs more than 16 rows.
    size_t rows = static_cast<size_t>(std::min<int64_t>(std::llabs(int64_t{height}), 16));
    std::vector<char> out(sizeof file + sizeof info + stride * rows - (cutShort ? 1 : 0), '\x7f');
    std::memcpy(out.data(), &file, sizeof file);
    std::memcpy(out.data() + sizeof file, &info, sizeof info);
    return out;
}

void WriteFile(const std::filesystem::path& path, const std::vector<char>& data) {
    std::ofstream(path, std::ios::binary)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
}

TEST(WindowDialogs, BitmapFilesLoadAndTheClipboardOwnsWhatIsPlacedOnIt) {
    TempRoot root;
    std::filesystem::create_directories(root.path() / "drive_c");
    WriteFile(root.path() / "drive_c" / "Block.dib", BitmapFile(3, 2));
    WriteFile(root.path() / "drive_c" / "Broken.bmp", BitmapFile(3, 2, true));
    WriteFile(root.path() / "drive_c" / "TopDown.bmp", BitmapFile(3, -2));
    WriteFile(root.path() / "drive_c" / "NoHeight.bmp",
              BitmapFile(3, std::numeric_limits<LONG>::min()));
    auto bitmap = static_cast<HBITMAP>(LoadImageW(nullptr, L"C:\\block.DIB", IMAGE_BITMAP, 0, 0,
                                                  LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    ASSERT_EQ(GetObjectW(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmWidth, 3);
    EXPECT_EQ(info.bmHeight, 2);
    EXPECT_EQ(info.bmBitsPixel, 24);
    EXPECT_EQ(info.bmWidthBytes, 12);
    EXPECT_EQ(platform::host::BitmapSource(bitmap), L"C:\\block.DIB");

    EXPECT_EQ(LoadImageW(nullptr, L"C:\\missing.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(LoadImageW(nullptr, L"C:\\Broken.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_NE(GetLastError(), 0u);
    {
        auto topDown = static_cast<HBITMAP>(
            LoadImageW(nullptr, L"C:\\TopDown.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        ASSERT_NE(topDown, nullptr);
        BITMAP upright{};
        ASSERT_EQ(GetObjectW(topDown, sizeof upright, &upright), static_cast<int>(sizeof upright));
        EXPECT_EQ(upright.bmHeight, 2);
        EXPECT_TRUE(DeleteObject(topDown));
    }
    // The one negative height without a positive counterpart.
    EXPECT_EQ(LoadImageW(nullptr, L"C:\\NoHeight.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));

    EXPECT_FALSE(EmptyClipboard());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLIPBOARD_NOT_OPEN));
    EXPECT_EQ(SetClipboardData(CF_BITMAP, bitmap), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLIPBOARD_NOT_OPEN));
    EXPECT_FALSE(CloseClipboard());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLIPBOARD_NOT_OPEN));

    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    EXPECT_EQ(CountClipboardFormats(), 0);
    EXPECT_EQ(SetClipboardData(CF_BITMAP, bitmap), bitmap);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_EQ(CountClipboardFormats(), 1);            // counted while closed too
    EXPECT_EQ(GetClipboardData(CF_BITMAP), nullptr);  // not open
    {
        BOOL opened = TRUE;
        TestThread other([&] {
            opened = OpenClipboard(nullptr);
            if (opened)
                CloseClipboard();
            return DWORD{0};
        });
        WaitForSingleObject(other.handle(), INFINITE);
        EXPECT_TRUE(opened);  // closed again, so another thread may open it
    }
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(GetClipboardData(CF_BITMAP), bitmap);
    // Emptying frees what the clipboard owned.
    EmptyClipboard();
    CloseClipboard();
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_EQ(CountClipboardFormats(), 0);
    EXPECT_EQ(GetObjectW(bitmap, sizeof info, &info), 0);
    EXPECT_FALSE(DeleteObject(bitmap));
}

}  // namespace
