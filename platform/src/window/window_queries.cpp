// Finding and walking windows, their texts, visibility, enabled state and
// geometry. Geometry is kept per window; frames have no thickness, so the
// client area is the whole window.
#include "window/messaging.h"
#include "window/window_table.h"

#include <errhandlingapi.h>
#include <winerror.h>
#include <winuser.h>

#include <algorithm>
#include <cstring>

namespace platform::window {
namespace {

template <class T = BOOL>
T Fail(DWORD error, T value = 0) {
    SetLastError(error);
    return value;
}

bool ClassMatches(const Window& window, LPCWSTR className) {
    if (!className)
        return true;
    if (IS_INTRESOURCE(className))
        return window.windowClass->atom ==
               static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(className));
    return ClassNamesEqual(window.windowClass->name, className);
}

bool TitleMatches(const Window& window, LPCWSTR title) {
    return !title || ClassNamesEqual(window.text, title);
}

// The first window of `level` after `after` (or from the start) whose class
// and title match.
HWND FindIn(const std::vector<HWND>& level, HWND after, LPCWSTR className, LPCWSTR title) {
    auto start = level.begin();
    if (after)
        start = std::find(level.begin(), level.end(), after) + 1;
    for (auto it = start; it < level.end(); ++it) {
        auto window = Snapshot(*it);
        if (window && ClassMatches(*window, className) && TitleMatches(*window, title))
            return *it;
    }
    return nullptr;
}

// Walks the descendants of `parent` depth-first; false when `f` stopped it.
bool WalkDescendants(HWND parent, WNDENUMPROC f, LPARAM lParam) {
    for (HWND child : WindowsUnder(parent)) {
        if (!IsWindow(child))
            continue;
        if (!f(child, lParam) || !WalkDescendants(child, f, lParam))
            return false;
    }
    return true;
}

// The screen position of the client area's origin.
POINT ClientOrigin(HWND hwnd) {
    POINT origin{0, 0};
    for (auto window = Snapshot(hwnd); window; window = Snapshot(window->parent)) {
        origin.x += window->rect.left;
        origin.y += window->rect.top;
        if (window->realm != Realm::Child)
            break;
    }
    return origin;
}

// Changes the visibility; the previous visibility, or nothing for a bad window.
std::optional<bool> SetVisible(HWND hwnd, bool visible) {
    std::optional<bool> before;
    WithWindow(hwnd, [&](Window& window) { before = (window.style & WS_VISIBLE) != 0; });
    if (!before || *before == visible)
        return before;
    SendMessageW(hwnd, WM_SHOWWINDOW, visible, 0);
    WithWindow(hwnd, [&](Window& window) {
        window.style = visible ? window.style | WS_VISIBLE : window.style & ~WS_VISIBLE;
    });
    return before;
}

}  // namespace
}  // namespace platform::window

using namespace platform::window;

extern "C" HWND WINAPI FindWindowExW(HWND hWndParent, HWND hWndChildAfter, LPCWSTR lpszClass,
                                     LPCWSTR lpszWindow) {
    if (hWndParent && hWndParent != HWND_MESSAGE && !IsWindow(hWndParent))
        return Fail<HWND>(ERROR_INVALID_WINDOW_HANDLE);
    return FindIn(WindowsUnder(hWndParent), hWndChildAfter, lpszClass, lpszWindow);
}

extern "C" HWND WINAPI FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName) {
    return FindIn(WindowsUnder(nullptr), nullptr, lpClassName, lpWindowName);
}

extern "C" BOOL WINAPI EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam) {
    for (HWND hwnd : WindowsUnder(nullptr)) {
        if (IsWindow(hwnd) && !lpEnumFunc(hwnd, lParam))
            return FALSE;
    }
    return TRUE;
}

extern "C" BOOL WINAPI EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam) {
    return WalkDescendants(hWndParent, lpEnumFunc, lParam);
}

extern "C" int WINAPI GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount) {
    auto window = Snapshot(hWnd);
    if (!window)
        return Fail<int>(ERROR_INVALID_WINDOW_HANDLE);
    if (!lpClassName || nMaxCount <= 0)
        return Fail<int>(ERROR_INSUFFICIENT_BUFFER);
    const std::wstring& name = window->windowClass->name;
    size_t count = std::min<size_t>(name.size(), static_cast<size_t>(nMaxCount) - 1);
    std::wmemcpy(lpClassName, name.data(), count);
    lpClassName[count] = L'\0';
    return static_cast<int>(count);
}

extern "C" BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
    if (!IsWindow(hWnd))
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    return static_cast<BOOL>(SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)));
}

extern "C" int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
    if (!IsWindow(hWnd))
        return Fail<int>(ERROR_INVALID_WINDOW_HANDLE);
    if (!lpString || nMaxCount <= 0)
        return 0;
    lpString[0] = L'\0';
    return static_cast<int>(SendMessageW(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                         reinterpret_cast<LPARAM>(lpString)));
}

extern "C" int WINAPI GetWindowTextLengthW(HWND hWnd) {
    if (!IsWindow(hWnd))
        return Fail<int>(ERROR_INVALID_WINDOW_HANDLE);
    return static_cast<int>(SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

// A child's parent, or a pop-up's owner; null for other top-level windows.
extern "C" HWND WINAPI GetParent(HWND hWnd) {
    auto window = Snapshot(hWnd);
    if (!window)
        return Fail<HWND>(ERROR_INVALID_WINDOW_HANDLE);
    if (window->realm == Realm::Child)
        return window->parent;
    return window->style & WS_POPUP ? window->owner : nullptr;
}

extern "C" HWND WINAPI GetWindow(HWND hWnd, UINT uCmd) {
    auto window = Snapshot(hWnd);
    if (!window)
        return Fail<HWND>(ERROR_INVALID_WINDOW_HANDLE);
    if (uCmd == GW_OWNER)
        return window->realm == Realm::Child ? nullptr : window->owner;
    if (uCmd == GW_CHILD) {
        auto children = WindowsUnder(hWnd);
        return children.empty() ? nullptr : children.front();
    }
    HWND level = window->realm == Realm::Child         ? window->parent
                 : window->realm == Realm::MessageOnly ? HWND_MESSAGE
                                                       : nullptr;
    auto siblings = WindowsUnder(level);
    auto self = std::find(siblings.begin(), siblings.end(), hWnd);
    switch (uCmd) {
        case GW_HWNDFIRST:
            return siblings.front();
        case GW_HWNDLAST:
            return siblings.back();
        case GW_HWNDNEXT:
            return self + 1 < siblings.end() ? *(self + 1) : nullptr;
        case GW_HWNDPREV:
            return self > siblings.begin() ? *(self - 1) : nullptr;
        default:
            return Fail<HWND>(ERROR_INVALID_PARAMETER);
    }
}

extern "C" HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
    if (!IsWindow(hDlg))
        return Fail<HWND>(ERROR_INVALID_WINDOW_HANDLE);
    for (HWND child : WindowsUnder(hDlg)) {
        auto window = Snapshot(child);
        if (window && static_cast<int>(window->id) == nIDDlgItem)
            return child;
    }
    return Fail<HWND>(ERROR_CONTROL_ID_NOT_FOUND);
}

extern "C" int WINAPI GetDlgCtrlID(HWND hWnd) {
    auto window = Snapshot(hWnd);
    if (!window)
        return Fail<int>(ERROR_INVALID_WINDOW_HANDLE);
    return static_cast<int>(window->id);
}

// Returns whether the window was visible before.
extern "C" BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    auto before = SetVisible(hWnd, nCmdShow != SW_HIDE);
    if (!before)
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    return *before;
}

// Visible when the window and each of its ancestors have WS_VISIBLE.
extern "C" BOOL WINAPI IsWindowVisible(HWND hWnd) {
    for (auto window = Snapshot(hWnd); window; window = Snapshot(window->parent)) {
        if (!(window->style & WS_VISIBLE))
            return FALSE;
        if (window->realm != Realm::Child)
            return TRUE;
    }
    return FALSE;
}

// Returns whether the window was disabled before.
extern "C" BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
    std::optional<bool> wasDisabled;
    WithWindow(hWnd, [&](Window& window) {
        wasDisabled = (window.style & WS_DISABLED) != 0;
        window.style = bEnable ? window.style & ~WS_DISABLED : window.style | WS_DISABLED;
    });
    if (!wasDisabled)
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    if (*wasDisabled == !bEnable)
        return *wasDisabled;
    SendMessageW(hWnd, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
    return *wasDisabled;
}

extern "C" BOOL WINAPI IsWindowEnabled(HWND hWnd) {
    auto window = Snapshot(hWnd);
    return window && !(window->style & WS_DISABLED);
}

// Nothing is drawn, so there is never anything to repaint.
extern "C" BOOL WINAPI UpdateWindow(HWND hWnd) {
    return IsWindow(hWnd) ? TRUE : Fail(ERROR_INVALID_WINDOW_HANDLE);
}

extern "C" BOOL WINAPI InvalidateRect(HWND hWnd, const RECT*, BOOL) {
    return !hWnd || IsWindow(hWnd) ? TRUE : Fail(ERROR_INVALID_WINDOW_HANDLE);
}

extern "C" BOOL WINAPI SetWindowPos(HWND hWnd, HWND, int X, int Y, int cx, int cy, UINT uFlags) {
    bool moved = false, sized = false;
    RECT rect{};
    if (!WithWindow(hWnd, [&](Window& window) {
            rect = window.rect;
            if (!(uFlags & SWP_NOMOVE)) {
                moved = rect.left != X || rect.top != Y;
                rect = RECT{X, Y, X + (rect.right - rect.left), Y + (rect.bottom - rect.top)};
            }
            if (!(uFlags & SWP_NOSIZE)) {
                sized = rect.right - rect.left != cx || rect.bottom - rect.top != cy;
                rect.right = rect.left + std::max(cx, 0);
                rect.bottom = rect.top + std::max(cy, 0);
            }
            window.rect = rect;
            if (uFlags & SWP_SHOWWINDOW)
                window.style |= WS_VISIBLE;
            if (uFlags & SWP_HIDEWINDOW)
                window.style &= ~WS_VISIBLE;
        })) {
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    }
    if (sized) {
        SendMessageW(hWnd, WM_SIZE, SIZE_RESTORED,
                     MAKELPARAM(rect.right - rect.left, rect.bottom - rect.top));
    }
    if (moved)
        SendMessageW(hWnd, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
    return TRUE;
}

extern "C" BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL) {
    return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

extern "C" BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
    auto window = Snapshot(hWnd);
    if (!window)
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    if (!lpRect)
        return Fail(ERROR_NOACCESS);
    POINT origin = window->realm == Realm::Child ? ClientOrigin(window->parent) : POINT{0, 0};
    *lpRect = RECT{origin.x + window->rect.left, origin.y + window->rect.top,
                   origin.x + window->rect.right, origin.y + window->rect.bottom};
    return TRUE;
}

extern "C" BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
    auto window = Snapshot(hWnd);
    if (!window)
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    if (!lpRect)
        return Fail(ERROR_NOACCESS);
    *lpRect =
        RECT{0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
    return TRUE;
}
