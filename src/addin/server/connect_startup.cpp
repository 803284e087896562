// The second half of start-up, the logins, and the start-up that waits for
// the first explorer when Outlook started without a window.
#include "addin/server/connect.h"

#include "toolbar/toolbar_state.h"

#include "service/brevint_proxy.h"
#include "service/data_worker.h"
#include "support/log/logged_stage.h"
#include "support/log/logger.h"
#include "support/log/trace_scope.h"

namespace {

constexpr const char* kInitHandler = "CConnect::InitHandler";
constexpr UINT kAdvertPeriod = 10000;
// clang-format off
constexpr const wchar_t* kNotInstalledText = L"Brevint isn't installed correctly. Needed files are missing, please reinstall.";
constexpr const wchar_t* kNoLoginServerText = L"Brevint can't reach the login server, please check your internet connection or try again later";
// clang-format on

// The worker's event, thread and stop window. A worker whose thread cannot
// start keeps its event and window, with nothing running on them.
template <class Worker>
void StartActionWorker(CWorkerSlot<Worker>& slot, const wchar_t* eventName) {
    slot.Start(eventName);
    slot->CreateStopWindow();
}

}  // namespace

void CConnect::InitHandler(Outlook::_Explorer* explorer) {
    CTraceScope trace(kInitHandler);
    isAction = 1;
    RunLoggedStage(kInitHandler, L"Unhandled exception", [&] {
        if (!m_helper.IsDLLError()) {
            MessageBoxW(GetCurrentExplorerHWND(), kNotInstalledText, L"Brevint", MB_OK);
            return;
        }
        m_isInitialized = 1;
        StartActionWorker(m_block, L"BV-block-thread");
        StartActionWorker(m_unblock, L"BV-unblock-thread");
        m_explorerTracker.TakeFirstExplorer(explorer, m_application);
        CToolbarRecord& first = *FirstToolbar();

        if (CSettings::IsExchangeModuleInstalled()) {
            m_isVXM = 1;
            CreateBVToolbar(first);
            IsBrevintFolderExist(true);
        } else {
            // The mail processor is prepared here and handed to the folder-cleaning worker.
            StartActionWorker(m_cleanFolder, L"BV-cleanfolder-thread");
            CreateBVToolbar(first);
            IsBrevintFolderExist(true);
            ::PostMessageW(m_hWnd, WM_BV_RESCAN, 0, 0);
            // The mail processor starts here.
        }
        AdviseToolbarEvents(first, true);
        if (m_isVXM) {
            LoginEX(1);
            LoadToolbarPosition(first);
            RefreshLogoWindow(first);
            return;
        }
        Relogin();
        if (!m_isLoggedIn)
            return;
        ShowAdvert(first, L"", kInitHandler);
        EnableToolbar(1);
        LoadToolbarPosition(first);
        RefreshLogoWindow(first);
        StartDataWorker();
    });
    StartTimer(TIMER_ADVERT, kAdvertPeriod);
    isAction = 0;
}

// The data worker preloads the service data once, right after the login.
void CConnect::StartDataWorker() {
    m_isDataStarted = 1;
    m_data.Start(L"BV-data-event");
    m_data->Set(m_hWnd);
    m_data->SetIsAction(1);
    if (m_data.HasEvent())
        SetEvent(m_data.Event());
}

CBrevintProxy& CConnect::Proxy() {
    if (!m_proxy)
        m_proxy = &CBrevintProxy::GetInstance();
    return *m_proxy;
}

void CConnect::Relogin() {
    CTraceScope trace("CConnect::Relogin");
    m_isLoggedIn = 0;
    if (Proxy().Login() == 0) {
        MessageBoxW(GetCurrentExplorerHWND(), kNoLoginServerText, L"Brevint", MB_OK);
        return;
    }
    if (m_proxy->IsLoginApproved())
        m_isLoggedIn = 1;
    else
        m_proxy->GetSettingsWnd();  // so that the user can put the account right
    if (m_isLoggedIn)
        m_isAccountDisabled = m_proxy->IsAccountDisabled() ? 1 : 0;
}

void CConnect::LoginEX(BYTE) {
    CTraceScope trace("CConnect::LoginEX");
    // The Exchange module's latest message is read and applied here once the
    // link to the module exists; until then there is no message to apply and
    // the add-in stays logged out.
}

void CConnect::StartDeferred(Outlook::_Explorer* explorer) {
    LoginMapi(false);
    // Mail that Outlook files itself (rules, offline synchronisation) shows as
    // created objects rather than new mail.
    if (!CSettings::IsExchangeModuleInstalled())
        AdviseMapiHelper(fnevObjectCreated);
    InitHandler(explorer);
}

void CConnect::StartTimer(UINT_PTR timerId, UINT period) {
    StopTimer(timerId);
    const UINT_PTR id = SetTimer(timerId, period);
    switch (timerId) {
        case TIMER_EXCHANGE_REFRESH:
            m_exchangeTimer = id;
            break;
        case TIMER_ADVERT:
            m_advertTimer = id;
            break;
        case TIMER_RESCAN:
            m_rescanTimer = id;
            break;
    }
}

void CConnect::StopTimer(UINT_PTR timerId) {
    UINT_PTR* running = timerId == TIMER_EXCHANGE_REFRESH ? &m_exchangeTimer
                        : timerId == TIMER_ADVERT         ? &m_advertTimer
                                                          : &m_rescanTimer;
    if (*running && m_hWnd)
        KillTimer(*running);
    *running = 0;
}
