// The progress bar "msctls_progress32": a range, a position kept inside it
// and a step. PBM_SETRANGE carries 16-bit bounds; PBM_SETRANGE32 full ones.
#include "window/controls/control_state.h"

#include <commctrl.h>
#include <winuser.h>

#include <algorithm>

namespace platform::window {
namespace {

struct ProgressState {
    int low = 0;
    int high = 100;
    int position = 0;
    int step = 10;
};

void SetRange(ProgressState& state, int low, int high) {
    state.low = low;
    state.high = high;
    state.position = std::clamp(state.position, std::min(low, high), std::max(low, high));
}

LRESULT PreviousRange(const ProgressState& state) {
    return MAKELRESULT(state.low, state.high);
}

// Moves to `position`, kept inside the range; returns the position before.
LRESULT MoveTo(ProgressState& state, LONGLONG position) {
    int previous = state.position;
    state.position = static_cast<int>(std::clamp<LONGLONG>(
        position, std::min(state.low, state.high), std::max(state.low, state.high)));
    return previous;
}

// A step past the end of the range starts over from its beginning, keeping
// the overshoot; one before the beginning comes back from the end.
LRESULT StepIt(ProgressState& state) {
    int previous = state.position;
    LONGLONG span = static_cast<LONGLONG>(state.high) - state.low;
    LONGLONG next = static_cast<LONGLONG>(state.position) + state.step;
    if (span <= 0) {
        state.position = state.low;
    } else if (next > state.high) {
        state.position = static_cast<int>(state.low + (next - state.low) % span);
    } else if (next < state.low) {
        state.position = static_cast<int>(state.high - (state.low - next) % span);
    } else {
        state.position = static_cast<int>(next);
    }
    return previous;
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message < PBM_SETRANGE || message > PBM_GETPOS)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    auto state = ControlState<ProgressState>(hwnd);
    ProgressState& bar = *state;
    switch (message) {
        case PBM_SETRANGE: {
            LRESULT previous = PreviousRange(bar);
            SetRange(bar, LOWORD(lParam), HIWORD(lParam));
            return previous;
        }
        case PBM_SETRANGE32: {
            LRESULT previous = PreviousRange(bar);
            SetRange(bar, static_cast<int>(wParam), static_cast<int>(lParam));
            return previous;
        }
        case PBM_GETRANGE: {
            if (auto* range = reinterpret_cast<PBRANGE*>(lParam))
                *range = PBRANGE{bar.low, bar.high};
            return wParam ? bar.low : bar.high;
        }
        case PBM_SETPOS:
            return MoveTo(bar, static_cast<int>(wParam));
        case PBM_DELTAPOS:
            return MoveTo(bar, static_cast<LONGLONG>(bar.position) + static_cast<int>(wParam));
        case PBM_SETSTEP: {
            int previous = bar.step;
            bar.step = static_cast<int>(wParam);
            return previous;
        }
        case PBM_STEPIT:
            return StepIt(bar);
        case PBM_GETPOS:
            return bar.position;
        default:
            return 0;
    }
}

}  // namespace

void RegisterProgressClass() {
    WindowClass progress;
    progress.name = L"msctls_progress32";
    progress.style = CS_GLOBALCLASS | CS_VREDRAW | CS_HREDRAW;
    progress.proc = ProgressProc;
    progress.windowExtra = sizeof(LONG_PTR);
    AddSystemClass(progress);
}

}  // namespace platform::window

extern "C" BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
    return picce && picce->dwSize == sizeof(INITCOMMONCONTROLSEX) ? TRUE : FALSE;
}

extern "C" void WINAPI InitCommonControls(void) {}
