#include "toolbar/progress_bar_wnd.h"

#include <commctrl.h>

#include <cwchar>
#include <iterator>

#include "addin/crash/entry_guard.h"
#include "support/language/sections.h"
#include "support/log/trace_scope.h"
#include "support/utility/brevint_helper.h"
#include "toolbar/explorer_tracking.h"

namespace {

// The startup recheck's title is the same in every language.
constexpr wchar_t kStartupCheckCaption[] = L"Startup check of folder(s) for spam";

// Keys of the progress window's section of the language file.
enum ProgressLabel : int {
    LABEL_CLEAN_CAPTION = 1,
    LABEL_BLOCK_CAPTION = 2,
    LABEL_UNBLOCK_CAPTION = 3,
    LABEL_STOP = 13,
    LABEL_CLOSE = 14,
    LABEL_FOLDER = 21,
    LABEL_SPAM = 22,
    LABEL_LEFT = 23,
};

std::wstring Decimal(LONG number) {
    wchar_t text[16] = {};
    std::swprintf(text, std::size(text), L"%d", static_cast<int>(number));
    return text;
}

// Runs a message's handling inside the entry guard; the message is handled.
template <class Handler>
LRESULT Handled(BOOL& handled, Handler&& handler) {
    GuardedEntry(std::forward<Handler>(handler));
    handled = TRUE;
    return 0;
}

}  // namespace

CProgressBarWnd::~CProgressBarWnd() {
    DestroyIfExists();
}

HWND CProgressBarWnd::CreateForAction(const ProgressAction& action,
                                      Outlook::_Application* application, bool show) {
    CTraceScope trace("CConnect::CreateProgressDlg");
    HWND owner = GetActiveExplorerWindow(application);
    DestroyIfExists();
    m_actionType = action.type;
    m_total = action.total;
    m_leftCount = static_cast<LONG>(action.total);
    m_spamCount = 0;
    m_target = action.target;
    m_labels = action.labels;
    if (!Create(owner))
        return nullptr;
    if (show)
        ShowWindow(SW_SHOWNORMAL);
    return m_hWnd;
}

void CProgressBarWnd::HideIfExists() {
    if (IsWindow())
        ShowWindow(SW_HIDE);
}

void CProgressBarWnd::DestroyIfExists() {
    if (IsWindow())
        DestroyWindow();
}

LRESULT CProgressBarWnd::OnInitDialog(UINT, WPARAM, LPARAM, BOOL& handled) {
    handled = TRUE;
    return 0;
}

LRESULT CProgressBarWnd::OnShowWindow(UINT, WPARAM, LPARAM, BOOL& handled) {
    return Handled(handled, [this] {
        ReloadTexts();
        ResetBarAndCounters();
    });
}

LRESULT CProgressBarWnd::OnItemDone(UINT, WPARAM spamAdded, LPARAM, BOOL& handled) {
    return Handled(handled, [&] { Step(spamAdded); });
}

LRESULT CProgressBarWnd::OnDisableStop(UINT, WPARAM, LPARAM, BOOL& handled) {
    return Handled(handled, [this] { ::EnableWindow(GetDlgItem(IDC_PROGRESS_STOP), FALSE); });
}

LRESULT CProgressBarWnd::OnStop(WORD, WORD, HWND, BOOL& handled) {
    return Handled(handled, [this] {
        CTraceScope trace("CProgressBarWnd::OnStop");
        RequestStop();
        ::EnableWindow(GetDlgItem(IDC_PROGRESS_STOP), FALSE);
    });
}

LRESULT CProgressBarWnd::OnClose(WORD, WORD, HWND, BOOL& handled) {
    return OnCloseMessage(WM_CLOSE, 0, 0, handled);
}

LRESULT CProgressBarWnd::OnCloseMessage(UINT, WPARAM, LPARAM, BOOL& handled) {
    return Handled(handled, [this] {
        CTraceScope trace("CProgressBarWnd::OnClose");
        RequestStop();
        // The hidden window may have destroyed this one while it handled the request.
        HideIfExists();
    });
}

void CProgressBarWnd::ReloadTexts() {
    if (m_labels) {
        if (m_actionType == BV_ACTION_RECHECK)
            m_caption = kStartupCheckCaption;
        else
            ReadLabel(CaptionKey(), m_caption);
        ReadLabel(LABEL_STOP, m_stopText);
        ReadLabel(LABEL_CLOSE, m_closeText);
        ReadLabel(LABEL_FOLDER, m_folderLabel);
        ReadLabel(LABEL_SPAM, m_spamLabel);
        ReadLabel(LABEL_LEFT, m_leftLabel);
    }
    SetWindowText(m_caption.c_str());
    SetDlgItemText(IDC_PROGRESS_STOP, m_stopText.c_str());
    SetDlgItemText(IDC_PROGRESS_CLOSE, m_closeText.c_str());
    SetDlgItemText(IDC_PROGRESS_FOLDER_LABEL, m_folderLabel.c_str());
    SetDlgItemText(IDC_PROGRESS_LEFT_LABEL, m_leftLabel.c_str());
    SetDlgItemText(IDC_PROGRESS_SPAM_LABEL, m_spamLabel.c_str());
}

// The counters keep their values; only the bar and the texts start over.
void CProgressBarWnd::ResetBarAndCounters() {
    // The bar's range is 16 bits wide: only the total's low word counts.
    SendDlgItemMessage(IDC_PROGRESS_BAR, PBM_SETRANGE, 0,
                       MAKELPARAM(0, static_cast<WORD>(m_total)));
    SendDlgItemMessage(IDC_PROGRESS_BAR, PBM_SETSTEP, 1);
    SendDlgItemMessage(IDC_PROGRESS_BAR, PBM_SETPOS, 0);
    m_folderCountText = Decimal(static_cast<LONG>(m_total));
    SetDlgItemText(IDC_PROGRESS_FOLDER_COUNT, m_folderCountText.c_str());
    m_leftCountText = m_folderCountText;
    SetDlgItemText(IDC_PROGRESS_LEFT_COUNT, m_leftCountText.c_str());
    m_spamCountText = L"0";
    SetDlgItemText(IDC_PROGRESS_SPAM_COUNT, m_spamCountText.c_str());
}

// Steps after the left count reached 0 show negative numbers.
void CProgressBarWnd::Step(WPARAM spamAdded) {
    SendDlgItemMessage(IDC_PROGRESS_BAR, PBM_STEPIT);
    --m_leftCount;
    m_leftCountText = Decimal(m_leftCount);
    SetDlgItemText(IDC_PROGRESS_LEFT_COUNT, m_leftCountText.c_str());
    m_spamCount += static_cast<LONG>(spamAdded);
    m_spamCountText = Decimal(m_spamCount);
    SetDlgItemText(IDC_PROGRESS_SPAM_COUNT, m_spamCountText.c_str());
    UpdateWindow();
}

// Sent: the hidden window is on this thread, and passes the request on to
// the worker of the action's type.
void CProgressBarWnd::RequestStop() {
    ::SendMessageW(m_target, WM_BV_STOP_ACTION, m_actionType, 0);
}

void CProgressBarWnd::ReadLabel(int key, std::wstring& text) const {
    std::wstring label;
    if (m_labels->GetLabelText(language::kFrmRecheckProgress, key, label))
        text = label;
}

int CProgressBarWnd::CaptionKey() const {
    switch (m_actionType) {
        case BV_ACTION_BLOCK:
            return LABEL_BLOCK_CAPTION;
        case BV_ACTION_UNBLOCK:
            return LABEL_UNBLOCK_CAPTION;
        default:
            return LABEL_CLEAN_CAPTION;
    }
}
