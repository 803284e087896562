// The hidden window "Brevint_ol_addin_wnd": the messages that the workers
// post to the add-in, and its timers. Each handler runs inside the entry
// guard, returns 0 and marks the message handled.
#include "addin/server/connect.h"

#include "addin/crash/entry_guard.h"
#include "addin/workers/message_string.h"
#include "addin/workers/stop_request.h"
#include "filtering/new_mail_detection.h"
#include "support/log/trace_scope.h"
#include "toolbar/logo_url.h"

namespace {

constexpr UINT kRescanPeriod = 5000;

template <class Handler>
LRESULT Handled(BOOL& handled, Handler&& handler) {
    GuardedEntry(std::forward<Handler>(handler));
    handled = TRUE;
    return 0;
}

}  // namespace

LRESULT CConnect::OnLogoUrlEnable(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    return Handled(handled, [&] { OnLogoUrlEnableImpl(wParam); });
}
LRESULT CConnect::OnActionFinished(UINT, WPARAM, LPARAM, BOOL& handled) {
    return Handled(handled, [&] { OnActionFinishedImpl(); });
}
LRESULT CConnect::OnActionBreak(UINT, WPARAM, LPARAM, BOOL& handled) {
    return Handled(handled, [&] { OnActionBreakImpl(); });
}
LRESULT CConnect::OnVisibleTellAFriend(UINT, WPARAM, LPARAM, BOOL& handled) {
    return Handled(handled, [&] { OnVisibleTellAFriendImpl(); });
}
LRESULT CConnect::OnOlRescan(UINT, WPARAM, LPARAM, BOOL& handled) {
    return Handled(handled, [&] { OnOlRescanImpl(); });
}
LRESULT CConnect::OnStopAction(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    return Handled(handled, [&] { OnStopActionImpl(wParam); });
}
LRESULT CConnect::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    return Handled(handled, [&] { OnTimerImpl(wParam); });
}

LRESULT CConnect::OnMapiNotify(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    handled = TRUE;
    // Handled after MAPI's notification call has returned.
    GuardedEntry([&] {
        if (!PostMessageW(WM_BV_NEW_MAIL, wParam, lParam))
            FreeNotificationCopy(reinterpret_cast<LPNOTIFICATION>(wParam));
    });
    return 0;
}

LRESULT CConnect::OnNewMailNotification(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    handled = TRUE;
    auto* copy = reinterpret_cast<LPNOTIFICATION>(wParam);
    if (!copy)
        return 0;
    GuardedEntry([&] { OnNewMail2(1, copy, static_cast<size_t>(lParam)); });
    FreeNotificationCopy(copy);
    return 0;
}

void CConnect::OnLogoUrlEnableImpl(WPARAM url) {
    CTraceScope trace("CConnect::OnLogoUrlEnableImpl");
    wchar_t* text = reinterpret_cast<wchar_t*>(url);
    if (!text)
        return;
    m_logoUrl = text;
    if (!m_logoUrl.empty())
        SetProcessLogoUrl(m_logoUrl);
    FreeMessageString(text);
}

void CConnect::OnActionFinishedImpl() {
    CTraceScope trace("CConnect::OnActionFinishedImpl");
    m_progress.HideIfExists();
}

void CConnect::OnActionBreakImpl() {
    CTraceScope trace("CConnect::OnActionBreakImpl");
    isAction = 0;
}

void CConnect::OnOlRescanImpl() {
    CTraceScope trace("CConnect::OnOlRescanImpl");
    StartTimer(TIMER_RESCAN, kRescanPeriod);
}

void CConnect::OnStopActionImpl(WPARAM actionType) {
    CTraceScope trace("CConnect::OnStopActionImpl");
    ActionStopWindows windows;
    if (m_block.get())
        windows.block = m_block->m_hWnd;
    if (m_unblock.get())
        windows.unblock = m_unblock->m_hWnd;
    if (m_cleanFolder.get())
        windows.cleanFolder = m_cleanFolder->m_hWnd;
    PostStopRequest(actionType, windows);
}

void CConnect::OnTimerImpl(UINT_PTR timerId) {
    switch (timerId) {
        case TIMER_EXCHANGE_REFRESH:
            LoginEX(0);
            break;
        case TIMER_ADVERT:
            RefreshAdvButton();
            break;
        case TIMER_RESCAN:
            // The recheck of the mail that came while Outlook was closed runs
            // here while it has not started.
            break;
    }
}

void __stdcall CConnect::OnSendMail(IDispatch* item, VARIANT_BOOL* cancel) {
    GuardedEntry([&] { OnSendMailImpl(item, cancel); });
}

void CConnect::OnSendMailImpl(IDispatch*, VARIANT_BOOL*) {
    CTraceScope trace("CConnect::OnSendMailImpl");
    // The service's footer is added to the outgoing mail here.
}
