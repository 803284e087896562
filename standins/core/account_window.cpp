#include "core/account_window.h"

#include <atlbase.h>
#include <windows.h>

#include <mutex>

namespace standins::core {
namespace {

constexpr const wchar_t* kClassName = L"BrevintAccountSettings";
constexpr const wchar_t* kCaption = L"Brevint Account Settings";

// Recursive: creating the window runs its procedure on the same thread.
std::recursive_mutex windowMutex;
HWND settingsWindow = nullptr;  // counts as a lock on the module while it lives

LRESULT CALLBACK SettingsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) {
        std::lock_guard lock(windowMutex);
        if (settingsWindow == window) {
            settingsWindow = nullptr;
            // The window no longer needs this module's code.
            _pAtlModule->Unlock();
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HINSTANCE ModuleInstance() {
    return _AtlBaseModule.GetModuleInstance();
}

bool RegisterSettingsClass() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = SettingsWindowProc;
    windowClass.hInstance = ModuleInstance();
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// A class registered by a library stays registered after the library is
// unloaded; it is taken back when the module goes, so that a later load
// registers its own window procedure.
struct ClassRegistration {
    bool registered = false;
    ~ClassRegistration() {
        if (registered)
            UnregisterClassW(kClassName, ModuleInstance());
    }
} classRegistration;

}  // namespace

bool ShowAccountSettingsWindow() {
    std::unique_lock lock(windowMutex);
    if (HWND open = settingsWindow; open && IsWindow(open)) {
        // Not under the lock: the window may belong to a thread that is
        // closing it right now.
        lock.unlock();
        ShowWindow(open, SW_SHOWNORMAL);
        SetWindowPos(open, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        return true;
    }
    if (!classRegistration.registered) {
        if (!RegisterSettingsClass())
            return false;
        classRegistration.registered = true;
    }
    HWND window =
        CreateWindowExW(0, kClassName, kCaption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                        CW_USEDEFAULT, 420, 300, nullptr, nullptr, ModuleInstance(), nullptr);
    if (!window)
        return false;
    _pAtlModule->Lock();
    settingsWindow = window;
    return true;
}

}  // namespace standins::core
