// Windows and dialogs in the shape of ATL's: CWindow, message maps and the
// modeless dialog class CAxDialogImpl made from a dialog template of the
// module's resources.
//
// ATL finds the C++ object of a window through a thunk put in place of the
// window procedure. Here the dialog's object is handed to its first message
// through the creation parameter and kept in the window's DWLP_USER slot,
// which therefore is not free for the dialog class's own use.
#pragma once

#include <atlbase.h>
#include <windows.h>

namespace ATL {

class CWindow {
  public:
    HWND m_hWnd = nullptr;

    CWindow(HWND hWnd = nullptr) : m_hWnd(hWnd) {}
    operator HWND() const { return m_hWnd; }

    BOOL IsWindow() const { return ::IsWindow(m_hWnd); }
    BOOL DestroyWindow() {
        if (!::DestroyWindow(m_hWnd))
            return FALSE;
        m_hWnd = nullptr;
        return TRUE;
    }
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL SetWindowText(LPCWSTR text) { return ::SetWindowTextW(m_hWnd, text); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL UpdateWindow() { return ::UpdateWindow(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    BOOL SetDlgItemText(int id, LPCWSTR text) { return ::SetDlgItemTextW(m_hWnd, id, text); }
    LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendDlgItemMessageW(m_hWnd, id, message, wParam, lParam);
    }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr) {
        return ::SetTimer(m_hWnd, id, elapse, proc);
    }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
};

// What a message map answers for one message.
class CMessageMap {
  public:
    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                      LRESULT& lResult, DWORD dwMsgMapID = 0) = 0;

  protected:
    ~CMessageMap() = default;
};

#define BEGIN_MSG_MAP(theClass)                                                   \
  public:                                                                         \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, \
                              LRESULT& lResult, DWORD dwMsgMapID = 0) override {  \
        BOOL bHandled = TRUE;                                                     \
        (void)hWnd;                                                               \
        (void)wParam;                                                             \
        (void)lParam;                                                             \
        (void)lResult;                                                            \
        (void)bHandled;                                                           \
        switch (dwMsgMapID) {                                                     \
            case 0:

// The handler's signature: LRESULT (UINT, WPARAM, LPARAM, BOOL& bHandled);
// bHandled comes in TRUE, and a handler that clears it passes the message on.
#define MESSAGE_HANDLER(msg, func)                      \
    if (uMsg == (msg)) {                                \
        bHandled = TRUE;                                \
        lResult = func(uMsg, wParam, lParam, bHandled); \
        if (bHandled)                                   \
            return TRUE;                                \
    }

#define MESSAGE_RANGE_HANDLER(msgFirst, msgLast, func)  \
    if (uMsg >= (msgFirst) && uMsg <= (msgLast)) {      \
        bHandled = TRUE;                                \
        lResult = func(uMsg, wParam, lParam, bHandled); \
        if (bHandled)                                   \
            return TRUE;                                \
    }

// A WM_COMMAND from the control `id`; the handler's signature:
// LRESULT (WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled).
#define COMMAND_ID_HANDLER(id, func)                                                              \
    if (uMsg == WM_COMMAND && (id) == LOWORD(wParam)) {                                           \
        bHandled = TRUE;                                                                          \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
        if (bHandled)                                                                             \
            return TRUE;                                                                          \
    }

#define END_MSG_MAP() \
    break;            \
    default:          \
        break;        \
        }             \
        return FALSE; \
        }

// The part of a dialog that does not depend on its class.
class CDialogImplBase : public CWindow, public CMessageMap {
  public:
    virtual ~CDialogImplBase() = default;

    // Called after the dialog's last message (WM_NCDESTROY).
    virtual void OnFinalMessage(HWND) {}

  protected:
    // The first message of a new dialog carries no object yet: the object
    // comes as WM_INITDIALOG's parameter, or, for messages before it (a
    // WM_SETFONT), from the creating thread.
    static INT_PTR CALLBACK StartDialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
        CDialogImplBase* self = Creating();
        if (!self)
            return FALSE;
        Creating() = nullptr;
        self->m_hWnd = hWnd;
        ::SetWindowLongPtrW(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        ::SetWindowLongPtrW(hWnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&DialogProc));
        return DialogProc(hWnd, uMsg, wParam, lParam);
    }

    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<CDialogImplBase*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
        if (!self)
            return FALSE;
        LRESULT result = 0;
        BOOL handled = self->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, result, 0);
        if (uMsg == WM_NCDESTROY) {
            ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
            self->m_hWnd = nullptr;
            self->OnFinalMessage(hWnd);
            return FALSE;
        }
        if (!handled)
            return FALSE;
        // Messages whose answer is the dialog procedure's own return value.
        switch (uMsg) {
            case WM_INITDIALOG:
            case WM_CTLCOLORMSGBOX:
            case WM_CTLCOLOREDIT:
            case WM_CTLCOLORLISTBOX:
            case WM_CTLCOLORBTN:
            case WM_CTLCOLORDLG:
            case WM_CTLCOLORSCROLLBAR:
            case WM_CTLCOLORSTATIC:
                return static_cast<INT_PTR>(result);
            default:
                ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, result);
                return TRUE;
        }
    }

    static CDialogImplBase*& Creating() {
        static thread_local CDialogImplBase* creating = nullptr;
        return creating;
    }
};

// A modeless dialog made from the template T::IDD of the module's resources.
template <class T, class TBase = CWindow>
class CAxDialogImpl : public CDialogImplBase {
  public:
    HWND Create(HWND hWndParent, LPARAM dwInitParam = 0) {
        Creating() = this;
        HWND hWnd = ::CreateDialogParamW(_AtlBaseModule.GetResourceInstance(),
                                         MAKEINTRESOURCEW(static_cast<T*>(this)->IDD), hWndParent,
                                         &StartDialogProc, dwInitParam);
        Creating() = nullptr;
        return hWnd;
    }
};

template <class T, class TBase = CWindow>
using CDialogImpl = CAxDialogImpl<T, TBase>;

}  // namespace ATL
