// The "Button" class: text, an image (BM_SETIMAGE), a check state, and the
// click that tells the parent with WM_COMMAND/BN_CLICKED.
#include "window/controls/control_state.h"

#include <winuser.h>

namespace platform::window {
namespace {

struct ButtonState {
    HANDLE bitmap = nullptr;
    HANDLE icon = nullptr;
    WPARAM check = BST_UNCHECKED;
    bool pressed = false;  // a button-down came and its button-up has not
};

void NotifyParent(HWND button, WORD code) {
    HWND parent = GetParent(button);
    if (!parent || !(GetWindowLongPtrW(button, GWL_STYLE) & WS_CHILD))
        return;
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), code),
                 reinterpret_cast<LPARAM>(button));
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case BM_SETIMAGE: {
            auto state = ControlState<ButtonState>(hwnd);
            HANDLE& slot = wParam == IMAGE_BITMAP ? state->bitmap : state->icon;
            if (wParam != IMAGE_BITMAP && wParam != IMAGE_ICON)
                return 0;
            HANDLE previous = slot;
            slot = reinterpret_cast<HANDLE>(lParam);
            return reinterpret_cast<LRESULT>(previous);
        }
        case BM_GETIMAGE: {
            auto state = ControlState<ButtonState>(hwnd);
            if (wParam == IMAGE_BITMAP)
                return reinterpret_cast<LRESULT>(state->bitmap);
            return wParam == IMAGE_ICON ? reinterpret_cast<LRESULT>(state->icon) : 0;
        }
        case BM_GETCHECK:
            return static_cast<LRESULT>(ControlState<ButtonState>(hwnd)->check);
        case BM_SETCHECK:
            ControlState<ButtonState>(hwnd)->check = wParam;
            return 0;
        case BM_CLICK:
            // A click is a press and a release of the mouse button over it.
            if (!IsWindowEnabled(hwnd))
                return 0;
            SendMessageW(hwnd, WM_LBUTTONDOWN, 1, 0);
            SendMessageW(hwnd, WM_LBUTTONUP, 0, 0);
            return 0;
        case WM_LBUTTONDOWN:
            ControlState<ButtonState>(hwnd)->pressed = true;
            return 0;
        case WM_LBUTTONUP: {
            auto state = ControlState<ButtonState>(hwnd);
            if (!state->pressed)
                return 0;
            state->pressed = false;
            DWORD type = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)) & 0x0F;
            if (type == BS_AUTOCHECKBOX)
                state->check = state->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
            NotifyParent(hwnd, BN_CLICKED);
            return 0;
        }
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

void RegisterButtonClass() {
    WindowClass button;
    button.atom = 0x0080;
    button.name = L"Button";
    button.style = CS_DBLCLKS | CS_VREDRAW | CS_HREDRAW | CS_PARENTDC;
    button.proc = ButtonProc;
    button.windowExtra = sizeof(LONG_PTR) * 2;
    AddSystemClass(button);
}

}  // namespace platform::window
