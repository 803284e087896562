#include <windows.h>

#include "frame_window.h"

namespace outlook::objects {

namespace {

constexpr wchar_t kFrameClass[] = L"rctrl_renwnd32";
constexpr wchar_t kDockClass[] = L"MsoDockTop";

// The classes are the process's; a second host finds them registered.
void RegisterClassOnce(HINSTANCE instance, const wchar_t* name) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, name, &existing))
        return;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = name;
    RegisterClassExW(&windowClass);
}

}  // namespace

HWND CreateExplorerFrame(const std::wstring& caption) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterClassOnce(instance, kFrameClass);
    RegisterClassOnce(instance, kDockClass);
    HWND frame = CreateWindowExW(0, kFrameClass, caption.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 0, 0, 1024, 768, nullptr, nullptr, instance, nullptr);
    if (!frame)
        return nullptr;
    CreateWindowExW(0, kDockClass, kDockClass, WS_CHILD | WS_VISIBLE, 0, 0, 1024, 26, frame,
                    nullptr, instance, nullptr);
    return frame;
}

}  // namespace outlook::objects
