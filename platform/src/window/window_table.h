// The process's windows and window classes. A window is an object with a
// class, a window procedure, styles, text, geometry and its place among
// parents, children and owners; it belongs to the thread that created it.
// Nothing is drawn.
//
// The table has a lock of its own, never held while a window procedure runs
// and taken before the scheduler lock when both are needed.
#pragma once

#include "window/message_queue.h"

#include <winuser.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform::window {

struct WindowClass {
    ATOM atom = 0;
    std::wstring name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int classExtra = 0;
    int windowExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    LPCWSTR menuName = nullptr;
    HICON smallIcon = nullptr;
    bool system = false;  // one of the classes the system provides
    size_t windows = 0;   // windows of this class that exist
};

// What the top of the window tree is for a window: the desktop, or the
// parent of message-only windows.
enum class Realm { Desktop, MessageOnly, Child };

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> windowClass;
    DWORD threadId = 0;
    std::shared_ptr<MessageQueue> queue;  // the owner thread's
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    Realm realm = Realm::Desktop;
    HWND parent = nullptr;       // children only
    HWND owner = nullptr;        // top-level windows only
    std::vector<HWND> children;  // in z-order, first on top
    UINT_PTR id = 0;             // a child's control identifier (hMenu)
    HINSTANCE instance = nullptr;
    std::wstring text;
    RECT rect{};  // window rectangle, in the parent's client coordinates for a child
    LONG_PTR userData = 0;
    std::vector<BYTE> extra;  // the class's window extra bytes
    bool destroying = false;  // DestroyWindow has begun
    // Per-class state of built-in controls and dialogs, kept with the window.
    std::shared_ptr<void> controlState;
};

// Runs `f` on the window under the table's lock; nothing when the handle is
// not a window (then returns false).
bool WithWindow(HWND hwnd, const std::function<void(Window&)>& f);
// A copy of the window's data, or nothing for a bad handle.
std::optional<Window> Snapshot(HWND hwnd);
bool Exists(HWND hwnd);
// Whether `hwnd` is a child, grandchild... of `ancestor`.
bool IsDescendant(HWND hwnd, HWND ancestor);

// The windows of a level: children of `parent` in z-order; the desktop's
// (top-level) windows for null, message-only windows for HWND_MESSAGE.
std::vector<HWND> WindowsUnder(HWND parent);

// Class lookup for CreateWindowExW: the application's class of that
// instance, a global class, or a system class. Name or atom.
std::shared_ptr<WindowClass> FindClass(LPCWSTR name, HINSTANCE instance);
// Adds a class; false (ERROR_CLASS_ALREADY_EXISTS) when it is there.
ATOM AddClass(WindowClass windowClass, DWORD& error);
DWORD RemoveClass(LPCWSTR name, HINSTANCE instance);
// A system class (Button, Static, #32770...), registered once.
void AddSystemClass(const WindowClass& windowClass);

// Puts a new window in the table and in its parent's or realm's list.
HWND Insert(std::shared_ptr<Window> window);
// Takes a window out of the table and its parent's list.
void Remove(HWND hwnd);
// Removes, without messages, the windows of a thread that has ended.
void ForgetWindowsOfThread(DWORD threadId);

// A window procedure of the window, for calling outside the lock.
WNDPROC ProcOf(HWND hwnd);

// Case-insensitive comparison of class names and window titles' classes.
bool ClassNamesEqual(const std::wstring& a, const std::wstring& b);

}  // namespace platform::window
