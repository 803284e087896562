// Host-side view and control of the window system: the simulator and tests
// list windows, click buttons, answer message boxes and read what was handed
// to the shell. Not a Windows API.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace platform::host {

struct WindowInfo {
    HWND hwnd = nullptr;
    std::wstring className;
    std::wstring text;
    HWND parent = nullptr;  // children
    HWND owner = nullptr;   // top-level windows
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};
    UINT_PTR id = 0;
    DWORD threadId = 0;
    bool messageOnly = false;
};

// Every window: top-level windows, each followed by its descendants
// depth-first, then the message-only windows.
std::vector<WindowInfo> ListWindows();

// Clicks a button as the user would: nothing when it is hidden or disabled
// (then false). The button's thread must be running its message loop when
// the caller is another thread.
bool ClickButton(HWND button);

struct MessageBoxRecord {
    HWND owner = nullptr;
    std::wstring caption;
    std::wstring text;
    UINT type = 0;       // MB_ flags as given
    DWORD threadId = 0;  // the thread that showed it
    int answer = 0;      // 0 while open
};

// How an open message box gets its answer, in this order:
// 1. an answer queued with QueueMessageBoxAnswer (first in, first out);
// 2. the handler, when it returns non-zero;
// 3. unless boxes are held, IDOK (or the first button of the type).
// A held box (or one the handler left at 0) stays open, running its nested
// message loop, until AnswerMessageBox. Every answer is given only once the
// box's thread has gone through the messages waiting for it.
void QueueMessageBoxAnswer(int answer);
void SetMessageBoxHandler(std::function<int(const MessageBoxRecord&)> handler);
void HoldMessageBoxes(bool hold);
// Answers the oldest open box; false when none is open.
bool AnswerMessageBox(int answer);
// Every box shown so far, in order, with its answer.
std::vector<MessageBoxRecord> MessageBoxes();
std::vector<MessageBoxRecord> OpenMessageBoxes();

struct ShellExecuteRecord {
    HWND hwnd = nullptr;
    std::wstring verb;
    std::wstring file;
    std::wstring parameters;
    std::wstring directory;
    INT show = 0;
};

// Every ShellExecuteW call so far, in order. Nothing is started.
std::vector<ShellExecuteRecord> ShellExecutes();
// What ShellExecuteW returns from now on (above 32 is success; 42 by default).
void SetShellExecuteResult(INT_PTR result);

// The file a bitmap was loaded from; empty for an unknown handle.
std::wstring BitmapSource(HBITMAP bitmap);

}  // namespace platform::host
