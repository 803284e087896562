#include "addin/server/connect.h"

#include "addin/crash/entry_guard.h"
#include "filtering/spam_folder.h"
#include "mailstore/redemption_mng.h"
#include "service/brevint_proxy.h"
#include "support/log/logged_stage.h"
#include "support/log/logger.h"
#include "support/log/trace_scope.h"
#include "support/utility/outlook_version.h"

OBJECT_ENTRY_AUTO(CLSID_Connect, CConnect)

namespace {

constexpr const char* kConstructor = "CConnect::CConnect";
constexpr const char* kConnection = "CConnect::OnConnectionImpl";
constexpr const char* kDisconnection = "CConnect::OnDisconnectionImpl";

}  // namespace

_ATL_FUNC_INFO CConnect::kItemSendInfo = {
    CC_STDCALL, VT_EMPTY, 2, {VT_DISPATCH, VT_BYREF | VT_BOOL}};
_ATL_FUNC_INFO CConnect::kNewExplorerInfo = {CC_STDCALL, VT_EMPTY, 1, {VT_DISPATCH}};
_ATL_FUNC_INFO CConnect::kNoArgumentsInfo = {CC_STDCALL, VT_EMPTY, 0, {}};
_ATL_FUNC_INFO CConnect::kNewMailInfo = {CC_STDCALL, VT_EMPTY, 1, {VT_DISPATCH}};

CConnect::CConnect()
    : m_dumpHandler(kConstructor),
      m_settings([](std::wstring& profile) { return GetCurrentProfile(profile); }) {
    CTraceScope trace(kConstructor);
}

CConnect::~CConnect() {
    CTraceScope trace("CConnect::~CConnect");
    // The first explorer's Close sink is still connected when that explorer
    // outlives the add-in (the add-in switched off while Outlook runs); the
    // sink goes with this object, so the explorer must not keep it.
    RunLoggedStage("CConnect::~CConnect", L"Unhandled exception", [&] {
        if (!m_explorerTracker.Records().empty())
            Unadvise(FirstExplorerCloseSink(), m_explorerTracker.Records().front().explorer);
    });
    // The dump handler is let go with the last member.
    CRedemptionMng::ReleaseInstance();
}

STDMETHODIMP CConnect::InterfaceSupportsErrorInfo(REFIID riid) {
    return GuardedEntry([&] { return InterfaceSupportsErrorInfoImpl(riid); });
}

STDMETHODIMP CConnect::OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode,
                                    IDispatch* AddInInst, SAFEARRAY** custom) {
    return GuardedEntry(
        [&] { return OnConnectionImpl(Application, ConnectMode, AddInInst, custom); });
}

STDMETHODIMP CConnect::OnDisconnection(ext_DisconnectMode RemoveMode, SAFEARRAY** custom) {
    return GuardedEntry([&] { return OnDisconnectionImpl(RemoveMode, custom); });
}

STDMETHODIMP CConnect::OnAddInsUpdate(SAFEARRAY** custom) {
    return GuardedEntry([&] { return OnAddInsUpdateImpl(custom); });
}

STDMETHODIMP CConnect::OnStartupComplete(SAFEARRAY** custom) {
    return GuardedEntry([&] { return OnStartupCompleteImpl(custom); });
}

STDMETHODIMP CConnect::OnBeginShutdown(SAFEARRAY** custom) {
    return GuardedEntry([&] { return OnBeginShutdownImpl(custom); });
}

HRESULT CConnect::InterfaceSupportsErrorInfoImpl(REFIID riid) {
    return InlineIsEqualGUID(riid, IID_IConnect) ? S_OK : S_FALSE;
}

HRESULT CConnect::OnConnectionImpl(IDispatch* application, ext_ConnectMode, IDispatch*,
                                   SAFEARRAY**) {
    CTraceScope trace(kConnection);
    RunLoggedStage(kConnection, L"Unhandled exception", [&] {
        m_proxy = &CBrevintProxy::GetInstance();
        m_proxy->Initialize();
    });
    ReadDefaultSpamFolderName();

    isAction = 0;
    m_isDataStarted = 0;
    m_isVXM = 0;
    m_isAccountDisabled = 0;
    m_isFirstExplorerWatched = 0;

    QueryApplication(application);
    ReadOutlookVersion();
    const LONG openExplorers = CountOpenExplorers();
    AdviseOutlookEvents();
    AdviseNewMailEvent();
    CreateHiddenWindow();
    CSettings::IncrementLoadCount();

    if (openExplorers > 0) {
        // In Internet-mail-only mode Outlook's session is not shared.
        LoginMapi(m_isIMO != 0);
        if (!CSettings::IsExchangeModuleInstalled() && m_isIMO &&
            FAILED(AdviseMapiHelper(fnevNewMail)))
            CLogger::GetInstance().LogMessage(kConnection, L"Could not advise application events");
        InitHandler(nullptr);
    }
    RefreshAdvButton();
    return S_OK;
}

void CConnect::ReadDefaultSpamFolderName() {
    std::wstring name;
    if (!CSettings::GetSpamFolderName(name) || name.empty()) {
        CLogger::GetInstance().LogMessage(kConnection, L"couldn't read default bv-folder");
        name = kDefaultSpamFolderName;
    }
    g_defaultSpamFolderName = name;
}

void CConnect::QueryApplication(IDispatch* application) {
    RunLoggedStage(kConnection, L"Unhandled exception", [&] {
        m_application.Release();
        if (application) {
            const HRESULT hr = application->QueryInterface(
                __uuidof(Outlook::_Application), reinterpret_cast<void**>(&m_application));
            if (FAILED(hr))
                _com_issue_error(hr);
        }
    });
    if (!m_application)
        CLogger::GetInstance().LogMessage(kConnection, L"Application pointer is null");
}

void CConnect::ReadOutlookVersion() {
    m_isIMO = 0;
    if (!GetOutlookVersion(m_application, m_outlookMajorVersion, m_outlookVersionText))
        m_outlookMajorVersion = 0;
    if (m_outlookMajorVersion <= 9) {
        m_isIMO = CSettings::IsInternetMailOnly(m_outlookVersionText) ? 1 : 0;
        CLogger::GetInstance().LogNumber(kConnection, L"IMO mode ", m_isIMO);
    }
}

LONG CConnect::CountOpenExplorers() {
    LONG count = 0;
    HRESULT hr = E_POINTER;
    if (m_application) {
        m_explorers.Release();
        hr = m_application->get_Explorers(&m_explorers);
        if (!LogIfFailed(kConnection, hr) && m_explorers)
            LogIfFailed(kConnection, hr = m_explorers->get_Count(&count));
    }
    if (FAILED(hr))
        count = 0;
    CLogger::GetInstance().LogNumber(kConnection, L"Explorers number ", static_cast<DWORD>(count));
    if (FAILED(hr) || !m_explorers)
        CLogger::GetInstance().LogMessage(kConnection, L"Could not get explorers");
    return count;
}

void CConnect::AdviseOutlookEvents() {
    if (!m_explorers || FAILED(NewExplorerSink().DispEventAdvise(m_explorers)))
        CLogger::GetInstance().LogMessage(kConnection, L"Could not advise explorers events");
    if (!m_application || FAILED(ItemSendSink().DispEventAdvise(m_application)))
        CLogger::GetInstance().LogMessage(kConnection, L"Could not advise application events");
}

void CConnect::AdviseNewMailEvent() {
    RunLoggedStage(kConnection, L"Unhandled exception", [&] {
        m_redemption = &CRedemptionMng::GetInstance();
        if (CSettings::IsExchangeModuleInstalled() || m_isIMO)
            return;
        CComPtr<IUnknown> source;
        if (!m_redemption->GetNewMailEventSource(&source) ||
            FAILED(NewMailSink().DispEventAdvise(source)))
            CLogger::GetInstance().LogMessage(kConnection,
                                              L"Could not advise Redemption NewMail Event");
    });
}

void CConnect::CreateHiddenWindow() {
    if (Create(nullptr))
        ::SetWindowTextW(m_hWnd, L"Brevint_ol_addin_wnd");
}

HRESULT CConnect::OnDisconnectionImpl(ext_DisconnectMode, SAFEARRAY**) {
    CTraceScope trace(kDisconnection);
    m_isDataStarted = 0;
    // The first explorer's Close sink stays connected while that explorer
    // lives; the new-mail binding ends here, so no message reaches an add-in
    // that Outlook has let go.
    try {
        Unadvise(NewExplorerSink(), m_explorers);
        Unadvise(ItemSendSink(), m_application);
    } catch (const _com_error& error) {
        LogComException(kDisconnection, error);
    }
    UnadviseNewMailEvent();
    RunLoggedStage(kDisconnection, L"Unhandled exception while thread and windows destruction",
                   [&] { StopWorkersAndWindows(); });
    RunLoggedStage(kDisconnection, L"Unhandled exception while Logoff Mapi",
                   [&] { m_mapiHelper.Logoff(); });
    RunLoggedStage(kDisconnection, L"Unhandled exception while writing quit time to registry",
                   [&] { StoreQuitTime(); });
    return S_OK;
}

void CConnect::UnadviseNewMailEvent() {
    RunLoggedStage(kDisconnection, L"Unhandled exception", [&] {
        CComPtr<IUnknown> source;
        if (m_redemption && m_redemption->GetNewMailEventSource(&source))
            Unadvise(NewMailSink(), source);
    });
}

void CConnect::StopWorkersAndWindows() {
    // The mail processor stops first (once it exists); then no bar's click
    // reaches the add-in any more.
    for (CToolbarRecord& record : m_explorerTracker.Records())
        AdviseToolbarEvents(record, false);
    if (m_data.HasEvent()) {
        m_data->SetIsAction(0);
        StopWorker(m_data, L"BV-data-event");
    }
    if (m_cleanFolder.HasEvent()) {
        m_cleanFolder->PostStop();
        StopWorker(m_cleanFolder, L"BV-cleanfolder-thread");
    }
    if (m_block.HasEvent()) {
        m_block->PostStop();
        StopWorker(m_block, L"BV-block-thread");
    }
    if (m_unblock.HasEvent()) {
        m_unblock->PostStop();
        StopWorker(m_unblock, L"BV-unblock-thread");
    }
    StopTimer(TIMER_EXCHANGE_REFRESH);
    StopTimer(TIMER_ADVERT);
    if (m_proxy)
        m_proxy->Shutdown();
    if (IsWindow())
        DestroyWindow();
    for (CWindow* window :
         {static_cast<CWindow*>(m_cleanFolder.get()), static_cast<CWindow*>(m_block.get()),
          static_cast<CWindow*>(m_unblock.get())}) {
        if (window && window->IsWindow())
            window->DestroyWindow();
    }
    m_progress.DestroyIfExists();
    m_logos.FreeBitmap();
}

template <class Worker>
void CConnect::StopWorker(CWorkerSlot<Worker>& slot, const wchar_t* name) {
    constexpr DWORD kShutdownWait = 10000;
    if (slot.Stop(kShutdownWait))
        return;
    if (_pAtlModule)
        _pAtlModule->Lock();
    CLogger::GetInstance().LogMessage(kDisconnection,
                                      std::wstring(L"The worker of ") + name +
                                          L" did not end within 10000 ms: it is left running, and "
                                          L"BVOL0000.dll stays loaded");
}

void CConnect::StoreQuitTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    DATE quitTime = 0;
    SystemTimeToVariantTime(&now, &quitTime);
    m_settings.SetLastRecheck(quitTime);
}

HRESULT CConnect::OnAddInsUpdateImpl(SAFEARRAY**) {
    CTraceScope trace("CConnect::OnAddInsUpdateImpl");
    return S_OK;
}

HRESULT CConnect::OnStartupCompleteImpl(SAFEARRAY**) {
    CTraceScope trace("CConnect::OnStartupCompleteImpl");
    return S_OK;
}

HRESULT CConnect::OnBeginShutdownImpl(SAFEARRAY**) {
    CTraceScope trace("CConnect::OnBeginShutdownImpl");
    return S_OK;
}
