// Dialogs: creation from a template, the dialog class "#32770" with its
// default procedure, modal loops and dialog units.
#include "window/dialog_template.h"
#include "window/messaging.h"
#include "window/system_classes.h"
#include "window/window_table.h"

#include <errhandlingapi.h>
#include <libloaderapi.h>
#include <winerror.h>
#include <winuser.h>

namespace platform::window {
namespace {

// Dialog base units: the average character of "MS Shell Dlg" 8 at 96 dots
// per inch for templates that set a font, the system font's otherwise.
// There are no font metrics here, so every font of a template measures so.
constexpr LONG kFontUnitX = 6, kFontUnitY = 13;
constexpr LONG kSystemUnitX = 8, kSystemUnitY = 16;
// The screen that DS_CENTER centres on.
constexpr LONG kScreenWidth = 1024, kScreenHeight = 768;

struct DialogState {
    LONG unitX = kSystemUnitX;
    LONG unitY = kSystemUnitY;
    bool ended = false;
    INT_PTR result = 0;
};

std::shared_ptr<DialogState> StateOf(HWND hwnd) {
    std::shared_ptr<DialogState> state;
    WithWindow(hwnd, [&](Window& window) {
        if (window.windowClass->name == L"#32770")
            state = std::static_pointer_cast<DialogState>(window.controlState);
    });
    return state;
}

LONG Scale(LONG value, LONG unit, LONG divisor) {
    return static_cast<LONG>((static_cast<LONGLONG>(value) * unit + divisor / 2) / divisor);
}

// The class name a template's item names: the predefined atoms of the
// system's controls, or text.
std::wstring ItemClass(const NameOrOrdinal& name) {
    switch (name.ordinal) {
        case 0:
            return name.text;
        case 0x0080:
            return L"Button";
        case 0x0081:
            return L"Edit";
        case 0x0082:
            return L"Static";
        case 0x0083:
            return L"ListBox";
        case 0x0084:
            return L"ScrollBar";
        case 0x0085:
            return L"ComboBox";
        default:
            return {};
    }
}

// An item's title as CreateWindowExW takes it: text, or the ordinal behind
// a 0xFFFF unit (an image's resource for a static).
std::wstring ItemTitle(const NameOrOrdinal& name) {
    if (name.ordinal)
        return std::wstring{static_cast<WCHAR>(0xFFFF), static_cast<WCHAR>(name.ordinal)};
    return name.text;
}

// The first control that takes the focus: the first with WS_TABSTOP, else
// the first control.
HWND FirstFocus(HWND dialog) {
    auto children = WindowsUnder(dialog);
    for (HWND child : children) {
        auto window = Snapshot(child);
        if (window && (window->style & WS_TABSTOP) && !(window->style & WS_DISABLED))
            return child;
    }
    return children.empty() ? nullptr : children.front();
}

HWND CreateFromTemplate(HINSTANCE instance, const void* data, HWND owner, DLGPROC proc,
                        LPARAM initParam) {
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DialogTemplate tmpl = ParseDialogTemplate(data);
    auto state = std::make_shared<DialogState>();
    if (tmpl.style & DS_SETFONT) {
        state->unitX = kFontUnitX;
        state->unitY = kFontUnitY;
    }
    LONG width = Scale(tmpl.cx, state->unitX, 4), height = Scale(tmpl.cy, state->unitY, 8);
    LONG x = Scale(tmpl.x, state->unitX, 4), y = Scale(tmpl.y, state->unitY, 8);
    if (tmpl.style & DS_CENTER) {
        x = (kScreenWidth - width) / 2;
        y = (kScreenHeight - height) / 2;
    } else if (owner && !(tmpl.style & DS_ABSALIGN) && !(tmpl.style & WS_CHILD)) {
        RECT ownerRect{};
        GetWindowRect(owner, &ownerRect);
        x += ownerRect.left;
        y += ownerRect.top;
    }
    std::wstring className = tmpl.windowClass.empty() ? L"#32770" : ItemClass(tmpl.windowClass);
    EnsureSystemClasses();
    HWND dialog = CreateWindowExW(tmpl.exStyle, className.c_str(), tmpl.caption.c_str(),
                                  tmpl.style & ~WS_VISIBLE, x, y, width, height, owner, nullptr,
                                  instance, nullptr);
    if (!dialog)
        return nullptr;
    // The dialog procedure is attached after creation, so it never sees
    // WM_CREATE, as on Windows.
    WithWindow(dialog, [&](Window& window) { window.controlState = state; });
    SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));

    for (const DialogItem& item : tmpl.items) {
        std::wstring itemClass = ItemClass(item.windowClass);
        std::wstring title = ItemTitle(item.title);
        LONG ix = Scale(item.x, state->unitX, 4), iy = Scale(item.y, state->unitY, 8);
        LONG iw = Scale(item.cx, state->unitX, 4), ih = Scale(item.cy, state->unitY, 8);
        // Controls of a dialog do not tell it of their creation and end.
        HWND control =
            CreateWindowExW(item.exStyle | WS_EX_NOPARENTNOTIFY, itemClass.c_str(), title.c_str(),
                            (item.style | WS_CHILD) & ~WS_POPUP, ix, iy, iw, ih, dialog,
                            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)), instance,
                            const_cast<BYTE*>(item.creationData));
        if (!control && !(tmpl.style & DS_NOFAILCREATE)) {
            DWORD error = GetLastError();
            DestroyWindow(dialog);
            SetLastError(error);
            return nullptr;
        }
    }
    SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(FirstFocus(dialog)), initParam);
    if (IsWindow(dialog) && (tmpl.style & WS_VISIBLE))
        ShowWindow(dialog, SW_SHOWNORMAL);
    return IsWindow(dialog) ? dialog : nullptr;
}

// The dialog template a module carries under `name`.
const void* FindTemplate(HINSTANCE instance, LPCWSTR name) {
    HRSRC resource = FindResourceW(instance, name, MAKEINTRESOURCEW(5));
    if (!resource)
        return nullptr;
    HGLOBAL loaded = LoadResource(instance, resource);
    return loaded ? LockResource(loaded) : nullptr;
}

INT_PTR RunModal(HWND dialog, HWND owner) {
    if (!dialog)
        return -1;
    bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled)
        EnableWindow(owner, FALSE);
    auto state = StateOf(dialog);
    if (!state->ended)
        ShowWindow(dialog, SW_SHOWNORMAL);
    while (!state->ended && PumpOneMessage()) {
    }
    if (ownerWasEnabled)
        EnableWindow(owner, TRUE);
    INT_PTR result = state->ended ? state->result : 0;
    DestroyWindow(dialog);
    return result;
}

// Messages whose result the dialog procedure returns itself rather than
// through DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message) {
    return message == WM_INITDIALOG || (message >= 0x0132 && message <= 0x0138);
}

LRESULT DialogDefault(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        // Closing a dialog asks it to cancel.
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void RegisterDialogClass() {
    WindowClass dialogClass;
    dialogClass.atom = 0x8002;  // the dialog class's atom, "#32770"
    dialogClass.name = L"#32770";
    dialogClass.style = CS_DBLCLKS | CS_SAVEBITS;
    dialogClass.proc = DefDlgProcW;
    dialogClass.windowExtra = DLGWINDOWEXTRA;
    AddSystemClass(dialogClass);
}

}  // namespace platform::window

using namespace platform::window;

extern "C" LRESULT WINAPI DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(hDlg, DWLP_DLGPROC));
    if (proc) {
        SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, 0);
        INT_PTR handled = proc(hDlg, Msg, wParam, lParam);
        if (handled) {
            if (ReturnsDirectly(Msg))
                return handled;
            return IsWindow(hDlg) ? GetWindowLongPtrW(hDlg, DWLP_MSGRESULT) : 0;
        }
        if (!IsWindow(hDlg))
            return 0;
    }
    return DialogDefault(hDlg, Msg, wParam, lParam);
}

extern "C" HWND WINAPI CreateDialogIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate,
                                                  HWND hWndParent, DLGPROC lpDialogFunc,
                                                  LPARAM dwInitParam) {
    return CreateFromTemplate(hInstance, lpTemplate, hWndParent, lpDialogFunc, dwInitParam);
}

extern "C" HWND WINAPI CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName,
                                          HWND hWndParent, DLGPROC lpDialogFunc,
                                          LPARAM dwInitParam) {
    const void* data = FindTemplate(hInstance, lpTemplateName);
    if (!data)
        return nullptr;  // the resource functions set the error
    return CreateFromTemplate(hInstance, data, hWndParent, lpDialogFunc, dwInitParam);
}

extern "C" INT_PTR WINAPI DialogBoxIndirectParamW(HINSTANCE hInstance,
                                                  LPCDLGTEMPLATEW hDialogTemplate, HWND hWndParent,
                                                  DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    HWND dialog =
        CreateFromTemplate(hInstance, hDialogTemplate, hWndParent, lpDialogFunc, dwInitParam);
    return RunModal(dialog, hWndParent);
}

extern "C" INT_PTR WINAPI DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName,
                                          HWND hWndParent, DLGPROC lpDialogFunc,
                                          LPARAM dwInitParam) {
    const void* data = FindTemplate(hInstance, lpTemplateName);
    if (!data)
        return -1;
    HWND dialog = CreateFromTemplate(hInstance, data, hWndParent, lpDialogFunc, dwInitParam);
    return RunModal(dialog, hWndParent);
}

// Ends a modal dialog's loop with `nResult`; the dialog is hidden at once
// and destroyed when the loop ends.
extern "C" BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
    auto state = StateOf(hDlg);
    if (!state) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    state->ended = true;
    state->result = nResult;
    ShowWindow(hDlg, SW_HIDE);
    return TRUE;
}

// Without a keyboard there is no dialog navigation; a message for the dialog
// or one of its controls is dispatched here, as Windows does.
extern "C" BOOL WINAPI IsDialogMessageW(HWND hDlg, LPMSG lpMsg) {
    if (!lpMsg || !IsWindow(hDlg))
        return FALSE;
    if (lpMsg->hwnd != hDlg && !IsDescendant(lpMsg->hwnd, hDlg))
        return FALSE;
    DispatchMessageW(lpMsg);
    return TRUE;
}

extern "C" BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect) {
    auto state = StateOf(hDlg);
    if (!state || !lpRect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    lpRect->left = Scale(lpRect->left, state->unitX, 4);
    lpRect->right = Scale(lpRect->right, state->unitX, 4);
    lpRect->top = Scale(lpRect->top, state->unitY, 8);
    lpRect->bottom = Scale(lpRect->bottom, state->unitY, 8);
    return TRUE;
}

extern "C" LONG WINAPI GetDialogBaseUnits(void) {
    return MAKELONG(kSystemUnitX, kSystemUnitY);
}

extern "C" BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString) {
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? SetWindowTextW(item, lpString) : FALSE;
}

extern "C" UINT WINAPI GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax) {
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    if (!item) {
        if (lpString && cchMax > 0)
            lpString[0] = L'\0';
        return 0;
    }
    return static_cast<UINT>(GetWindowTextW(item, lpString, cchMax));
}

extern "C" LRESULT WINAPI SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam,
                                              LPARAM lParam) {
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? SendMessageW(item, Msg, wParam, lParam) : 0;
}
