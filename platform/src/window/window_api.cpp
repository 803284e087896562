// Window classes, creation and destruction, window data and the default
// window procedure.
#include "window/messaging.h"
#include "window/window_table.h"

#include <errhandlingapi.h>
#include <processthreadsapi.h>
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

// The top-level window above `hwnd` (itself when it is top-level).
HWND RootOf(HWND hwnd) {
    for (;;) {
        auto window = Snapshot(hwnd);
        if (!window || window->realm != Realm::Child)
            return hwnd;
        hwnd = window->parent;
    }
}

ATOM Register(const WNDCLASSEXW& info) {
    if (!info.lpszClassName || !info.lpfnWndProc || info.cbClsExtra < 0 || info.cbWndExtra < 0)
        return Fail<ATOM>(ERROR_INVALID_PARAMETER);
    WindowClass windowClass;
    windowClass.name = IS_INTRESOURCE(info.lpszClassName) ? L"" : info.lpszClassName;
    windowClass.style = info.style;
    windowClass.proc = info.lpfnWndProc;
    windowClass.classExtra = info.cbClsExtra;
    windowClass.windowExtra = info.cbWndExtra;
    windowClass.instance = info.hInstance;
    windowClass.icon = info.hIcon;
    windowClass.cursor = info.hCursor;
    windowClass.background = info.hbrBackground;
    windowClass.menuName = info.lpszMenuName;
    windowClass.smallIcon = info.hIconSm;
    DWORD error = ERROR_SUCCESS;
    ATOM atom = AddClass(std::move(windowClass), error);
    return atom ? atom : Fail<ATOM>(error);
}

// Where a new window goes: checks the parent and fills realm, parent, owner
// and control identifier; an error code when the request is not valid.
DWORD Place(Window& window, HWND parent, HMENU menu) {
    if (parent == HWND_MESSAGE) {
        window.realm = Realm::MessageOnly;
        return ERROR_SUCCESS;
    }
    if (window.style & WS_CHILD) {
        if (!parent)
            return ERROR_TLW_WITH_WSCHILD;
        if (!Exists(parent))
            return ERROR_INVALID_WINDOW_HANDLE;
        window.realm = Realm::Child;
        window.parent = parent;
        window.id = reinterpret_cast<UINT_PTR>(menu);
        return ERROR_SUCCESS;
    }
    if (parent && !Exists(parent))
        return ERROR_INVALID_WINDOW_HANDLE;
    window.realm = Realm::Desktop;
    window.owner = parent ? RootOf(parent) : nullptr;
    return ERROR_SUCCESS;
}

LONG Coordinate(int value) {
    return value == CW_USEDEFAULT ? 0 : value;
}

// Sends WM_DESTROY to the window and then to its children, parent first.
void SendDestroy(HWND hwnd) {
    SendMessageW(hwnd, WM_DESTROY, 0, 0);
    for (HWND child : WindowsUnder(hwnd))
        SendDestroy(child);
}

// Sends WM_NCDESTROY children first and frees each window after its message.
void Free(HWND hwnd) {
    for (HWND child : WindowsUnder(hwnd))
        Free(child);
    SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
    std::shared_ptr<MessageQueue> queue;
    WithWindow(hwnd, [&](Window& window) { queue = window.queue; });
    Remove(hwnd);
    if (queue) {
        auto lock = sync::LockScheduler();
        queue->ForgetWindow(hwnd);
    }
}

bool ReadExtra(const Window& window, int index, LONG_PTR& value) {
    if (index < 0 || static_cast<size_t>(index) + sizeof value > window.extra.size())
        return false;
    std::memcpy(&value, window.extra.data() + index, sizeof value);
    return true;
}

bool WriteExtra(Window& window, int index, LONG_PTR value) {
    if (index < 0 || static_cast<size_t>(index) + sizeof value > window.extra.size())
        return false;
    std::memcpy(window.extra.data() + index, &value, sizeof value);
    return true;
}

// The field an index names; false for an index the window does not have.
bool ReadLong(const Window& window, int index, LONG_PTR& value) {
    switch (index) {
        case GWLP_WNDPROC:
            value = reinterpret_cast<LONG_PTR>(window.proc);
            return true;
        case GWLP_HINSTANCE:
            value = reinterpret_cast<LONG_PTR>(window.instance);
            return true;
        case GWLP_HWNDPARENT:
            value = reinterpret_cast<LONG_PTR>(window.realm == Realm::Child ? window.parent
                                                                            : window.owner);
            return true;
        case GWLP_ID:
            value = static_cast<LONG_PTR>(window.id);
            return true;
        case GWL_STYLE:
            value = static_cast<LONG>(window.style);
            return true;
        case GWL_EXSTYLE:
            value = static_cast<LONG>(window.exStyle);
            return true;
        case GWLP_USERDATA:
            value = window.userData;
            return true;
        default:
            return ReadExtra(window, index, value);
    }
}

bool WriteLong(Window& window, int index, LONG_PTR value) {
    switch (index) {
        case GWLP_WNDPROC:
            if (!value)
                return false;
            window.proc = reinterpret_cast<WNDPROC>(value);
            return true;
        case GWLP_HINSTANCE:
            window.instance = reinterpret_cast<HINSTANCE>(value);
            return true;
        case GWLP_HWNDPARENT:
            if (window.realm == Realm::Desktop)
                window.owner = reinterpret_cast<HWND>(value);
            return true;
        case GWLP_ID:
            window.id = static_cast<UINT_PTR>(value);
            return true;
        case GWL_STYLE:
            window.style = static_cast<DWORD>(value);
            return true;
        case GWL_EXSTYLE:
            window.exStyle = static_cast<DWORD>(value);
            return true;
        case GWLP_USERDATA:
            window.userData = value;
            return true;
        default:
            return WriteExtra(window, index, value);
    }
}

LRESULT CopyText(const std::wstring& text, WPARAM capacity, LPWSTR buffer) {
    if (!buffer || capacity == 0)
        return 0;
    size_t count = std::min<size_t>(text.size(), capacity - 1);
    std::wmemcpy(buffer, text.data(), count);
    buffer[count] = L'\0';
    return static_cast<LRESULT>(count);
}

}  // namespace
}  // namespace platform::window

using namespace platform::window;

extern "C" ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* lpWndClass) {
    if (!lpWndClass || lpWndClass->cbSize != sizeof(WNDCLASSEXW))
        return Fail<ATOM>(ERROR_INVALID_PARAMETER);
    return Register(*lpWndClass);
}

extern "C" ATOM WINAPI RegisterClassW(const WNDCLASSW* lpWndClass) {
    if (!lpWndClass)
        return Fail<ATOM>(ERROR_INVALID_PARAMETER);
    const WNDCLASSW& c = *lpWndClass;
    WNDCLASSEXW info{sizeof(WNDCLASSEXW), c.style,        c.lpfnWndProc,   c.cbClsExtra,
                     c.cbWndExtra,        c.hInstance,    c.hIcon,         c.hCursor,
                     c.hbrBackground,     c.lpszMenuName, c.lpszClassName, nullptr};
    return Register(info);
}

extern "C" BOOL WINAPI UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance) {
    if (!lpClassName)
        return Fail(ERROR_CLASS_DOES_NOT_EXIST);
    DWORD error = RemoveClass(lpClassName, hInstance);
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

extern "C" BOOL WINAPI GetClassInfoExW(HINSTANCE hInstance, LPCWSTR lpszClass,
                                       LPWNDCLASSEXW lpwcx) {
    auto windowClass = lpszClass ? FindClass(lpszClass, hInstance) : nullptr;
    if (!windowClass)
        return Fail(ERROR_CLASS_DOES_NOT_EXIST);
    if (lpwcx) {
        *lpwcx = WNDCLASSEXW{sizeof(WNDCLASSEXW),
                             windowClass->style,
                             windowClass->proc,
                             windowClass->classExtra,
                             windowClass->windowExtra,
                             windowClass->instance,
                             windowClass->icon,
                             windowClass->cursor,
                             windowClass->background,
                             windowClass->menuName,
                             lpszClass,
                             windowClass->smallIcon};
    }
    return static_cast<BOOL>(windowClass->atom ? windowClass->atom : TRUE);
}

extern "C" HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName,
                                       DWORD dwStyle, int X, int Y, int nWidth, int nHeight,
                                       HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                                       LPVOID lpParam) {
    auto windowClass = lpClassName ? FindClass(lpClassName, hInstance) : nullptr;
    if (!windowClass)
        return Fail<HWND>(ERROR_CANNOT_FIND_WND_CLASS);
    auto window = std::make_shared<Window>();
    window->windowClass = windowClass;
    window->threadId = GetCurrentThreadId();
    window->queue = CurrentQueue();
    window->proc = windowClass->proc;
    // The window turns visible through ShowWindow below, which tells it so.
    window->style = dwStyle & ~WS_VISIBLE;
    window->exStyle = dwExStyle;
    window->instance = hInstance;
    window->extra.assign(static_cast<size_t>(windowClass->windowExtra), 0);
    if (DWORD error = Place(*window, hWndParent, hMenu); error != ERROR_SUCCESS)
        return Fail<HWND>(error);
    LONG x = Coordinate(X), y = Coordinate(Y);
    LONG width = Coordinate(nWidth), height = Coordinate(nHeight);
    window->rect = RECT{x, y, x + width, y + height};
    HWND parent = window->parent;
    bool notifyParent = window->realm == Realm::Child && !(dwExStyle & WS_EX_NOPARENTNOTIFY);
    HWND hwnd = Insert(std::move(window));

    CREATESTRUCTW create{lpParam,
                         hInstance,
                         hMenu,
                         hWndParent,
                         height,
                         width,
                         y,
                         x,
                         static_cast<LONG>(dwStyle),
                         lpWindowName,
                         lpClassName,
                         dwExStyle};
    auto createParam = reinterpret_cast<LPARAM>(&create);
    if (!SendMessageW(hwnd, WM_NCCREATE, 0, createParam)) {
        SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
        Remove(hwnd);
        return nullptr;
    }
    if (SendMessageW(hwnd, WM_CREATE, 0, createParam) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!IsWindow(hwnd))
        return nullptr;  // destroyed while being created
    SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
    SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(x, y));
    if (notifyParent) {
        SendMessageW(parent, WM_PARENTNOTIFY,
                     MAKEWPARAM(WM_CREATE, reinterpret_cast<UINT_PTR>(hMenu)),
                     reinterpret_cast<LPARAM>(hwnd));
    }
    if (dwStyle & WS_VISIBLE)
        ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

// Owned windows go first, then the window gets WM_DESTROY before its
// children do, and WM_NCDESTROY after they are gone.
extern "C" BOOL WINAPI DestroyWindow(HWND hWnd) {
    auto window = Snapshot(hWnd);
    if (!window)
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    if (window->threadId != GetCurrentThreadId())
        return Fail(ERROR_ACCESS_DENIED);
    if (window->destroying)
        return TRUE;
    WithWindow(hWnd, [](Window& w) { w.destroying = true; });

    if (window->realm == Realm::Child && !(window->exStyle & WS_EX_NOPARENTNOTIFY)) {
        SendMessageW(window->parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, window->id),
                     reinterpret_cast<LPARAM>(hWnd));
    }
    if (window->style & WS_VISIBLE) {
        if (window->realm == Realm::Child)
            ShowWindow(hWnd, SW_HIDE);
        else
            WithWindow(hWnd, [](Window& w) { w.style &= ~WS_VISIBLE; });
    }
    for (HWND other : WindowsUnder(nullptr)) {
        auto owned = Snapshot(other);
        if (!owned || owned->owner != hWnd)
            continue;
        if (owned->threadId == GetCurrentThreadId())
            DestroyWindow(other);
        else
            WithWindow(other, [](Window& w) { w.owner = nullptr; });
    }
    if (!IsWindow(hWnd))
        return TRUE;
    SendDestroy(hWnd);
    if (IsWindow(hWnd))
        Free(hWnd);
    return TRUE;
}

extern "C" BOOL WINAPI IsWindow(HWND hWnd) {
    return hWnd && Exists(hWnd);
}

extern "C" DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    auto window = Snapshot(hWnd);
    if (!window)
        return Fail<DWORD>(ERROR_INVALID_WINDOW_HANDLE);
    if (lpdwProcessId)
        *lpdwProcessId = GetCurrentProcessId();
    return window->threadId;
}

extern "C" LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex) {
    LONG_PTR value = 0;
    bool known = false;
    if (!WithWindow(hWnd, [&](Window& window) { known = ReadLong(window, nIndex, value); }))
        return Fail<LONG_PTR>(ERROR_INVALID_WINDOW_HANDLE);
    return known ? value : Fail<LONG_PTR>(ERROR_INVALID_INDEX);
}

// The previous value is returned; the last error is left alone on success,
// so a caller tells a previous 0 from a failure by clearing it first.
extern "C" LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    LONG_PTR previous = 0;
    bool done = false;
    if (!WithWindow(hWnd, [&](Window& window) {
            done = ReadLong(window, nIndex, previous) && WriteLong(window, nIndex, dwNewLong);
        })) {
        return Fail<LONG_PTR>(ERROR_INVALID_WINDOW_HANDLE);
    }
    return done ? previous : Fail<LONG_PTR>(ERROR_INVALID_INDEX);
}

extern "C" LONG WINAPI GetWindowLongW(HWND hWnd, int nIndex) {
    return static_cast<LONG>(GetWindowLongPtrW(hWnd, nIndex));
}

extern "C" LONG WINAPI SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong) {
    return static_cast<LONG>(SetWindowLongPtrW(hWnd, nIndex, dwNewLong));
}

extern "C" LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    switch (Msg) {
        case WM_NCCREATE: {
            auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            // A name that starts with 0xFFFF is a resource ordinal, not text.
            if (create && create->lpszName && create->lpszName[0] != 0xFFFF) {
                std::wstring text = create->lpszName;
                WithWindow(hWnd, [&](Window& window) { window.text = std::move(text); });
            }
            return TRUE;
        }
        case WM_SETTEXT: {
            auto* text = reinterpret_cast<LPCWSTR>(lParam);
            std::wstring value = text ? text : L"";
            WithWindow(hWnd, [&](Window& window) { window.text = std::move(value); });
            return TRUE;
        }
        case WM_GETTEXT: {
            LRESULT copied = 0;
            WithWindow(hWnd, [&](Window& window) {
                copied = CopyText(window.text, wParam, reinterpret_cast<LPWSTR>(lParam));
            });
            return copied;
        }
        case WM_GETTEXTLENGTH: {
            LRESULT length = 0;
            WithWindow(hWnd,
                       [&](Window& window) { length = static_cast<LRESULT>(window.text.size()); });
            return length;
        }
        case WM_CLOSE:
            DestroyWindow(hWnd);
            return 0;
        default:
            return 0;
    }
}
