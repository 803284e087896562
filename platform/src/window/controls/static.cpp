// The "Static" class: text, or an image with SS_BITMAP or SS_ICON.
#include "window/controls/control_state.h"

#include <winuser.h>

namespace platform::window {
namespace {

struct StaticState {
    HANDLE image = nullptr;
};

DWORD ImageKind(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)) & 0x1F;
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case STM_SETIMAGE: {
            // The image must suit the static's style: a bitmap for SS_BITMAP,
            // an icon for SS_ICON.
            bool suits = (wParam == IMAGE_BITMAP && ImageKind(hwnd) == SS_BITMAP) ||
                         (wParam == IMAGE_ICON && ImageKind(hwnd) == SS_ICON);
            if (!suits)
                return 0;
            auto state = ControlState<StaticState>(hwnd);
            HANDLE previous = state->image;
            state->image = reinterpret_cast<HANDLE>(lParam);
            return reinterpret_cast<LRESULT>(previous);
        }
        case STM_SETICON:
            return StaticProc(hwnd, STM_SETIMAGE, IMAGE_ICON, static_cast<LPARAM>(wParam));
        case STM_GETIMAGE: {
            bool suits = (wParam == IMAGE_BITMAP && ImageKind(hwnd) == SS_BITMAP) ||
                         (wParam == IMAGE_ICON && ImageKind(hwnd) == SS_ICON);
            return suits ? reinterpret_cast<LRESULT>(ControlState<StaticState>(hwnd)->image) : 0;
        }
        case STM_GETICON:
            return StaticProc(hwnd, STM_GETIMAGE, IMAGE_ICON, 0);
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

void RegisterStaticClass() {
    WindowClass staticClass;
    staticClass.atom = 0x0082;
    staticClass.name = L"Static";
    staticClass.style = CS_DBLCLKS | CS_PARENTDC;
    staticClass.proc = StaticProc;
    staticClass.windowExtra = sizeof(LONG_PTR) * 2;
    AddSystemClass(staticClass);
}

}  // namespace platform::window
