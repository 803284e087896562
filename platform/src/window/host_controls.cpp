// The host's view of the windows and its clicks.
#include "gdi/bitmaps.h"
#include "window/window_table.h"

#include <platform/windows.h>

namespace platform::host {
namespace {

void AddWithDescendants(HWND hwnd, std::vector<WindowInfo>& out) {
    auto window = window::Snapshot(hwnd);
    if (!window)
        return;
    out.push_back({hwnd, window->windowClass->name, window->text, window->parent, window->owner,
                   window->style, window->exStyle, window->rect, window->id, window->threadId,
                   window->realm == window::Realm::MessageOnly});
    for (HWND child : window->children)
        AddWithDescendants(child, out);
}

}  // namespace

std::vector<WindowInfo> ListWindows() {
    std::vector<WindowInfo> out;
    for (HWND hwnd : window::WindowsUnder(nullptr))
        AddWithDescendants(hwnd, out);
    for (HWND hwnd : window::WindowsUnder(HWND_MESSAGE))
        AddWithDescendants(hwnd, out);
    return out;
}

bool ClickButton(HWND button) {
    if (!IsWindowVisible(button) || !IsWindowEnabled(button))
        return false;
    SendMessageW(button, BM_CLICK, 0, 0);
    return true;
}

std::wstring BitmapSource(HBITMAP bitmap) {
    auto found = gdi::LookupBitmap(bitmap);
    return found ? found->source : std::wstring{};
}

}  // namespace platform::host
