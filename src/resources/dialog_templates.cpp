#include "resources/dialog_templates.h"

#include <commctrl.h>

namespace {

constexpr DWORD kHiddenWindowStyle = WS_POPUP | WS_CAPTION;
constexpr DWORD kPushButton = BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kLeftText = SS_LEFT | WS_VISIBLE | WS_GROUP;
constexpr DWORD kRightText = SS_RIGHT | WS_VISIBLE | WS_GROUP;

}  // namespace

platform::DialogTemplateBuilder HiddenWindowTemplate(bool disabled) {
    platform::DialogTemplateBuilder dialog(kHiddenWindowStyle | (disabled ? WS_DISABLED : 0), 0, 0,
                                           186, 90, L"Dialog");
    dialog.Font(8, L"MS Shell Dlg");
    return dialog;
}

platform::DialogTemplateBuilder ProgressDialogTemplate() {
    platform::DialogTemplateBuilder dialog(
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_FIXEDSYS | DS_CENTER, 0, 0, 281, 81,
        L"Dialog");
    dialog.Extended().Font(8, L"MS Shell Dlg", 400);
    dialog.Item(PROGRESS_CLASSW, L"", 201, WS_VISIBLE | WS_BORDER, 7, 49, 267, 8)
        .Item(L"Button", L"Stop", 202, kPushButton, 85, 60, 50, 14)
        .Item(L"Button", L"Close", 203, kPushButton, 146, 60, 50, 14)
        .Item(L"Static", L"Email in Folder:", 204, kLeftText, 7, 7, 228, 11)
        .Item(L"Static", L"Emails left:", 205, kLeftText, 7, 20, 228, 12)
        .Item(L"Static", L"Spam found", 206, kLeftText, 7, 34, 228, 12)
        .Item(L"Static", L"0", 207, kRightText, 242, 7, 32, 8)
        .Item(L"Static", L"0", 208, kRightText, 242, 19, 32, 8)
        .Item(L"Static", L"0", 209, kRightText, 242, 32, 32, 8);
    return dialog;
}
