// The clipboard: one per process, opened by one thread at a time. Data
// placed on it belongs to the system; a bitmap replaced or emptied away is
// deleted.
#include "gdi/bitmaps.h"

#include <errhandlingapi.h>
#include <processthreadsapi.h>
#include <winerror.h>
#include <wingdi.h>
#include <winuser.h>

#include <map>
#include <mutex>

namespace {

struct Clipboard {
    std::mutex lock;
    DWORD openedBy = 0;  // thread, 0 when closed
    HWND openWindow = nullptr;
    HWND owner = nullptr;
    std::map<UINT, HANDLE> data;
};

Clipboard& TheClipboard() {
    static auto* clipboard = new Clipboard;
    return *clipboard;
}

void Release(UINT format, HANDLE handle) {
    if (format == CF_BITMAP)
        platform::gdi::RemoveBitmap(handle);
}

bool OpenedHere(const Clipboard& clipboard) {
    return clipboard.openedBy == GetCurrentThreadId();
}

}  // namespace

extern "C" BOOL WINAPI OpenClipboard(HWND hWndNewOwner) {
    auto& clipboard = TheClipboard();
    std::lock_guard guard(clipboard.lock);
    if (clipboard.openedBy && !OpenedHere(clipboard)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    clipboard.openedBy = GetCurrentThreadId();
    clipboard.openWindow = hWndNewOwner;
    return TRUE;
}

extern "C" BOOL WINAPI CloseClipboard(void) {
    auto& clipboard = TheClipboard();
    std::lock_guard guard(clipboard.lock);
    if (!OpenedHere(clipboard)) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    clipboard.openedBy = 0;
    clipboard.openWindow = nullptr;
    return TRUE;
}

extern "C" BOOL WINAPI EmptyClipboard(void) {
    auto& clipboard = TheClipboard();
    std::lock_guard guard(clipboard.lock);
    if (!OpenedHere(clipboard)) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    for (auto& [format, handle] : clipboard.data)
        Release(format, handle);
    clipboard.data.clear();
    clipboard.owner = clipboard.openWindow;
    return TRUE;
}

extern "C" HANDLE WINAPI SetClipboardData(UINT uFormat, HANDLE hMem) {
    auto& clipboard = TheClipboard();
    std::lock_guard guard(clipboard.lock);
    if (!OpenedHere(clipboard)) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return nullptr;
    }
    if (uFormat == CF_BITMAP && hMem && !platform::gdi::LookupBitmap(hMem)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto existing = clipboard.data.find(uFormat);
    if (existing != clipboard.data.end() && existing->second != hMem)
        Release(uFormat, existing->second);
    clipboard.data[uFormat] = hMem;
    return hMem;
}

extern "C" HANDLE WINAPI GetClipboardData(UINT uFormat) {
    auto& clipboard = TheClipboard();
    std::lock_guard guard(clipboard.lock);
    if (!OpenedHere(clipboard)) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return nullptr;
    }
    auto it = clipboard.data.find(uFormat);
    return it == clipboard.data.end() ? nullptr : it->second;
}

extern "C" BOOL WINAPI IsClipboardFormatAvailable(UINT format) {
    auto& clipboard = TheClipboard();
    std::lock_guard guard(clipboard.lock);
    return clipboard.data.count(format) > 0;
}

// The formats placed, whether the clipboard is open or not. This clipboard
// converts between formats for nobody (GetClipboardData gives only what was
// placed), so it counts no formats that Windows would offer converted.
extern "C" int WINAPI CountClipboardFormats(void) {
    auto& clipboard = TheClipboard();
    std::lock_guard guard(clipboard.lock);
    return static_cast<int>(clipboard.data.size());
}

extern "C" HWND WINAPI GetClipboardOwner(void) {
    auto& clipboard = TheClipboard();
    std::lock_guard guard(clipboard.lock);
    return clipboard.owner;
}
