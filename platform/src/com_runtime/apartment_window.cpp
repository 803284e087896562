// Each single-threaded apartment has a hidden message-only window of the class
// "OleMainThreadWndClass". A call queued to the apartment posts it a message,
// so the call runs when the apartment's message loop dispatches that message.
#include "com_runtime/apartment_window.h"

#include "com_runtime/apartment.h"

#include <windows.h>
#include <winuser.h>

#include <mutex>

namespace platform::com {
namespace {

constexpr wchar_t kClassName[] = L"OleMainThreadWndClass";
constexpr wchar_t kWindowName[] = L"OLEChannelWnd";
constexpr UINT kCallsQueued = WM_USER;

LRESULT CALLBACK ApartmentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kCallsQueued)
        return DefWindowProcW(window, message, wParam, lParam);
    // The window belongs to this thread's apartment; calls already served
    // while the thread waited leave nothing to do.
    if (const auto apartment = CurrentApartmentObject();
        apartment && apartment->kind() == ApartmentKind::SingleThreaded)
        apartment->ServeIncoming();
    return 0;
}

void RegisterWindowClass() {
    static std::once_flag registered;
    std::call_once(registered, [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = ApartmentWindowProc;
        windowClass.lpszClassName = kClassName;
        RegisterClassW(&windowClass);
    });
}

}  // namespace

void OpenApartmentWindow(Apartment& apartment) {
    RegisterWindowClass();
    apartment.SetWindow(CreateWindowExW(0, kClassName, kWindowName, 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, nullptr, nullptr));
}

void CloseApartmentWindow(Apartment& apartment) {
    if (HWND window = apartment.window())
        DestroyWindow(window);
    apartment.SetWindow(nullptr);
}

void AnnounceQueuedCalls(Apartment& apartment) {
    if (HWND window = apartment.window())
        PostMessageW(window, kCallsQueued, 0, 0);
}

}  // namespace platform::com
