#include "toolbar/logo_window.h"

#include <string>

#include "support/log/logger.h"
#include "support/utility/brevint_helper.h"
#include "toolbar/logo_url.h"

namespace {

constexpr const char* kFunction = "CConnect::AddLogoWindow";
constexpr wchar_t kExplorerFrameClass[] = L"rctrl_renwnd32";
constexpr int kLogoImage = 1;
constexpr int kExchangeLogoImage = 13;
constexpr DWORD kLogoStyle = WS_CHILD | WS_VISIBLE | BS_FLAT | BS_BITMAP;

// The procedure the logo windows had before they were given theirs; one for
// all, since every logo window is a "Button".
WNDPROC previousProcedure = nullptr;

LRESULT CALLBACK LogoWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONUP && !ProcessLogoUrl().empty()) {
        try {
            CBrevintHelper::ExecuteURL(ProcessLogoUrl(), true);
        } catch (...) {
            // A click that cannot open the page must not end Outlook.
            CLogger::GetInstance().LogMessage("LogoWindowProcedure", L"Unhandled exception");
        }
    }
    return CallWindowProcW(previousProcedure, window, message, wParam, lParam);
}

BOOL CALLBACK KeepExplorerFrame(HWND window, LPARAM list) {
    wchar_t className[1024] = {};
    GetClassNameW(window, className, static_cast<int>(std::size(className)));
    if (std::wstring(className) == kExplorerFrameClass)
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

HBITMAP LoadLogo(const std::wstring& path) {
    return static_cast<HBITMAP>(
        LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
}

// The bar window inside an explorer frame's top dock, or null.
HWND BarWindow(HWND frame) {
    const HWND dock = FindWindowExW(frame, nullptr, nullptr, L"MsoDockTop");
    return dock ? FindWindowExW(dock, nullptr, nullptr, L"Brevint toolbar") : nullptr;
}

}  // namespace

CLogoWindows::~CLogoWindows() {
    FreeBitmap();
}

void CLogoWindows::FindMainWindows() {
    m_mainWindows.clear();
    EnumWindows(KeepExplorerFrame, reinterpret_cast<LPARAM>(&m_mainWindows));
}

void CLogoWindows::LoadBitmap() {
    if (m_bitmap)
        return;
    std::wstring path;
    if (m_mode.exchangeModule)
        CBrevintHelper::GetImageLocation(kExchangeLogoImage, path);
    if (path.empty())
        CBrevintHelper::GetImageLocation(kLogoImage, path);
    m_bitmap = LoadLogo(path);
    if (!m_bitmap && CBrevintHelper::GetImageLocation(kLogoImage, path))
        m_bitmap = LoadLogo(path);
}

void CLogoWindows::AddLogoWindow(CToolbarRecord& record, bool subclass) {
    FindMainWindows();
    LoadBitmap();
    // Outlook 2000 and older draw the bar over a transparent child.
    const DWORD extendedStyle =
        m_mode.outlookMajorVersion <= 9 ? WS_EX_TOPMOST : WS_EX_TOPMOST | WS_EX_TRANSPARENT;
    for (const HWND frame : m_mainWindows) {
        const HWND bar = BarWindow(frame);
        if (!bar || FindWindowExW(bar, nullptr, L"Button", nullptr))
            continue;
        const HWND logo = CreateWindowExW(extendedStyle, L"Button", L"", kLogoStyle, 10, 1, 82, 22,
                                          bar, nullptr, GetModuleHandleW(nullptr), nullptr);
        record.logoWindow = logo;
        if (!logo) {
            CLogger::GetInstance().LogNumber(kFunction, L"could not create logo window",
                                             GetLastError());
            continue;
        }
        SendMessageW(logo, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_bitmap));
        if (subclass) {
            previousProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
                logo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LogoWindowProcedure)));
        }
    }
}

void CLogoWindows::RefreshLogoWindow(CToolbarRecord& record) {
    if (!record.logoWindow)
        return;
    DestroyWindow(record.logoWindow);
    record.logoWindow = nullptr;
    AddLogoWindow(record, true);
}

void CLogoWindows::FreeBitmap() {
    if (m_bitmap)
        DeleteObject(m_bitmap);
    m_bitmap = nullptr;
}
