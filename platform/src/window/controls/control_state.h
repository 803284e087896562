// The per-window state of the system's controls, kept with the window.
#pragma once

#include "window/window_table.h"

#include <memory>

namespace platform::window {

// The state of type T of a control window, created on first use; null for a
// window that is gone.
template <class T>
std::shared_ptr<T> ControlState(HWND hwnd) {
    std::shared_ptr<T> state;
    WithWindow(hwnd, [&](Window& window) {
        if (!window.controlState)
            window.controlState = std::make_shared<T>();
        state = std::static_pointer_cast<T>(window.controlState);
    });
    return state;
}

void RegisterButtonClass();
void RegisterStaticClass();
void RegisterProgressClass();
void RegisterDialogClass();

}  // namespace platform::window
