// The add-in class that Outlook creates: COM class Connect with its dual
// interface IConnect, reached by Outlook through the Office add-in interface,
// through the events of Outlook's objects that it advises, and through its
// hidden window, to which every background thread reports.
//
// Its entries from Outlook, its event handlers and its window messages are
// thin: each runs its ...Impl inside the entry guard, so that a hardware fault
// leaves a crash dump and still reaches Outlook.
#pragma once

#include <atlbase.h>
#include <atlcom.h>
#include <atldispevent.h>
#include <atlutil.h>
#include <atlwin.h>
#include <bvoltool.h>
#include <msaddndr.h>
#include <outlook.h>

#include <memory>
#include <string>
#include <vector>

#include "addin/crash/dump_attachment.h"
#include "addin/server/bvol_interfaces.h"
#include "addin/workers/worker_messages.h"
#include "addin/workers/worker_slot.h"
#include "filtering/classification.h"
#include "filtering/new_mail_detection.h"
#include "filtering/spam_folder.h"
#include "mailstore/mapi_helper.h"
#include "mailstore/redemption_mng.h"
#include "resources/resource_ids.h"
#include "service/data_worker.h"
#include "support/settings/settings.h"
#include "support/utility/brevint_helper.h"
#include "support/utility/unique_handle.h"
#include "toolbar/block_unblock_worker.h"
#include "toolbar/clean_folder_worker.h"
#include "toolbar/explorer_tracking.h"
#include "toolbar/logo_window.h"
#include "toolbar/toolbar_builder.h"
#include "toolbar/toolbar_state.h"
#include "toolbar/progress_bar_wnd.h"

using AddInDesignerObjects::_IDTExtensibility2;
using AddInDesignerObjects::ext_ConnectMode;
using AddInDesignerObjects::ext_DisconnectMode;

class CBrevintProxy;
class CRedemptionMng;

// A sink of a toolbar button's Click.
template <UINT N, class Owner>
using ButtonClickSink = IDispEventSimpleImpl<N, Owner, &__uuidof(Office::_CommandBarButtonEvents)>;

// The event sinks of the add-in object, numbered as they are bound: the
// toolbar's buttons first (connected to the first explorer's bar, they hear
// every bar's button of the same tag), then Outlook's events.
enum ConnectSink : UINT {
    SINK_BLOCK = 1,
    SINK_UNBLOCK = 2,
    SINK_LOGO = 3,
    SINK_ADVERT = 4,
    SINK_RECHECK = 5,
    SINK_EMPTY_FOLDER = 6,
    SINK_TELL_A_FRIEND = 7,
    SINK_OPTIONS = 8,
    SINK_BLACKLIST_DOMAIN = 9,
    SINK_BLACKLIST_EMAIL = 10,
    SINK_WHITELIST_DOMAIN = 11,
    SINK_WHITELIST_EMAIL = 12,
    SINK_ITEM_SEND = 14,
    SINK_NEW_EXPLORER = 15,
    SINK_FIRST_EXPLORER_CLOSE = 16,
    SINK_NEW_MAIL = 18,
};

// The hidden window's timers.
enum ConnectTimer : UINT_PTR {
    TIMER_EXCHANGE_REFRESH = 1,  // 30 minutes: LoginEX
    TIMER_ADVERT = 2,            // 10 seconds: the advert button
    TIMER_RESCAN = 3,            // 5 seconds: the recheck of mail that came while closed
};

class ATL_NO_VTABLE CConnect
    : public CComObjectRootEx<CComSingleThreadModel>,
      public CComCoClass<CConnect, &CLSID_Connect>,
      public ISupportErrorInfo,
      public IDispatchImpl<IConnect, &IID_IConnect, &LIBID_BVOLLib, 1, 0>,
      public IDispatchImpl<_IDTExtensibility2, &__uuidof(_IDTExtensibility2),
                           &__uuidof(AddInDesignerObjects::__AddInDesignerObjects), 1, 0>,
      public CAxDialogImpl<CConnect>,
      public ButtonClickSink<SINK_BLOCK, CConnect>,
      public ButtonClickSink<SINK_UNBLOCK, CConnect>,
      public ButtonClickSink<SINK_LOGO, CConnect>,
      public ButtonClickSink<SINK_ADVERT, CConnect>,
      public ButtonClickSink<SINK_RECHECK, CConnect>,
      public ButtonClickSink<SINK_EMPTY_FOLDER, CConnect>,
      public ButtonClickSink<SINK_TELL_A_FRIEND, CConnect>,
      public ButtonClickSink<SINK_OPTIONS, CConnect>,
      public ButtonClickSink<SINK_BLACKLIST_DOMAIN, CConnect>,
      public ButtonClickSink<SINK_BLACKLIST_EMAIL, CConnect>,
      public ButtonClickSink<SINK_WHITELIST_DOMAIN, CConnect>,
      public ButtonClickSink<SINK_WHITELIST_EMAIL, CConnect>,
      public IDispEventSimpleImpl<SINK_ITEM_SEND, CConnect, &__uuidof(Outlook::ApplicationEvents)>,
      public IDispEventSimpleImpl<SINK_NEW_EXPLORER, CConnect, &__uuidof(Outlook::ExplorersEvents)>,
      public IDispEventSimpleImpl<SINK_FIRST_EXPLORER_CLOSE, CConnect,
                                  &__uuidof(Outlook::ExplorerEvents)>,
      public IDispEventSimpleImpl<SINK_NEW_MAIL, CConnect, &DIID_IBVMAPIUtilsEvents>,
      private CExplorerTrackerOwner {
  public:
    enum { IDD = IDD_ADDIN_WINDOW };

    CConnect();
    ~CConnect();

    DECLARE_REGISTRY_RESOURCEID(IDR_CONNECT)
    DECLARE_PROTECT_FINAL_CONSTRUCT()

    BEGIN_COM_MAP(CConnect)
    COM_INTERFACE_ENTRY(IConnect)
    COM_INTERFACE_ENTRY2(IDispatch, IConnect)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    COM_INTERFACE_ENTRY(_IDTExtensibility2)
    END_COM_MAP()

    BEGIN_SINK_MAP(CConnect)
    SINK_ENTRY_INFO(SINK_BLOCK, __uuidof(Office::_CommandBarButtonEvents), 1,
                    &CConnect::OnClickBlockButton, &kClickInfo)
    SINK_ENTRY_INFO(SINK_UNBLOCK, __uuidof(Office::_CommandBarButtonEvents), 1,
                    &CConnect::OnClickUnBlockButton, &kClickInfo)
    SINK_ENTRY_INFO(SINK_LOGO, __uuidof(Office::_CommandBarButtonEvents), 1,
                    &CConnect::OnClickLogoButton, &kClickInfo)
    SINK_ENTRY_INFO(SINK_ADVERT, __uuidof(Office::_CommandBarButtonEvents), 1,
                    &CConnect::OnClickAdvertButton, &kClickInfo)
    SINK_ENTRY_INFO(SINK_RECHECK, __uuidof(Office::_CommandBarButtonEvents), 1,
                    &CConnect::OnClickCleanFolderButton, &kClickInfo)
    SINK_ENTRY_INFO(SINK_EMPTY_FOLDER, __uuidof(Office::_CommandBarButtonEvents), 1,
                    &CConnect::OnClickEmptyButton, &kClickInfo)
    SINK_ENTRY_INFO(SINK_TELL_A_FRIEND, __uuidof(Office::_CommandBarButtonEvents), 1,
                    &CConnect::OnClickTellAFriendButton, &kClickInfo)
    SINK_ENTRY_INFO(SINK_OPTIONS, __uuidof(Office::_CommandBarButtonEvents), 1,
                    &CConnect::OnClickOptionsButton, &kClickInfo)
    SINK_ENTRY_INFO(SINK_BLACKLIST_DOMAIN, __uuidof(Office::_CommandBarButtonEvents), 1,
                    &CConnect::OnClickBLDomainButton, &kClickInfo)
    SINK_ENTRY_INFO(SINK_BLACKLIST_EMAIL, __uuidof(Office::_CommandBarButtonEvents), 1,
                    &CConnect::OnClickBLEmailButton, &kClickInfo)
    SINK_ENTRY_INFO(SINK_WHITELIST_DOMAIN, __uuidof(Office::_CommandBarButtonEvents), 1,
                    &CConnect::OnClickWLDomainButton, &kClickInfo)
    SINK_ENTRY_INFO(SINK_WHITELIST_EMAIL, __uuidof(Office::_CommandBarButtonEvents), 1,
                    &CConnect::OnClickWLEmailButton, &kClickInfo)
    SINK_ENTRY_INFO(SINK_ITEM_SEND, __uuidof(Outlook::ApplicationEvents), 0xF002,
                    &CConnect::OnSendMail, &kItemSendInfo)
    SINK_ENTRY_INFO(SINK_NEW_EXPLORER, __uuidof(Outlook::ExplorersEvents), 0xF001,
                    &CConnect::OnNewExplorer, &kNewExplorerInfo)
    SINK_ENTRY_INFO(SINK_FIRST_EXPLORER_CLOSE, __uuidof(Outlook::ExplorerEvents), 0xF008,
                    &CConnect::OnCloseExplorer, &kNoArgumentsInfo)
    SINK_ENTRY_INFO(SINK_NEW_MAIL, DIID_IBVMAPIUtilsEvents, 1, &CConnect::OnRedemptionNewMail,
                    &kNewMailInfo)
    END_SINK_MAP()

    BEGIN_MSG_MAP(CConnect)
    MESSAGE_HANDLER(WM_BV_LOGO_URL_LOADED, OnLogoUrlEnable)
    MESSAGE_HANDLER(WM_BV_ACTION_FINISHED, OnActionFinished)
    MESSAGE_HANDLER(WM_BV_ACTION_BREAK, OnActionBreak)
    MESSAGE_HANDLER(WM_BV_TELL_A_FRIEND, OnVisibleTellAFriend)
    MESSAGE_HANDLER(WM_BV_RESCAN, OnOlRescan)
    MESSAGE_HANDLER(WM_BV_STOP_ACTION, OnStopAction)
    MESSAGE_HANDLER(WM_BV_MAPI_NOTIFY, OnMapiNotify)
    MESSAGE_HANDLER(WM_BV_NEW_MAIL, OnNewMailNotification)
    MESSAGE_HANDLER(WM_TIMER, OnTimer)
    END_MSG_MAP()

    // ISupportErrorInfo
    STDMETHOD(InterfaceSupportsErrorInfo)(REFIID riid) override;

    // _IDTExtensibility2
    STDMETHOD(OnConnection)
    (IDispatch* Application, ext_ConnectMode ConnectMode, IDispatch* AddInInst,
     SAFEARRAY** custom) override;
    STDMETHOD(OnDisconnection)(ext_DisconnectMode RemoveMode, SAFEARRAY** custom) override;
    STDMETHOD(OnAddInsUpdate)(SAFEARRAY** custom) override;
    STDMETHOD(OnStartupComplete)(SAFEARRAY** custom) override;
    STDMETHOD(OnBeginShutdown)(SAFEARRAY** custom) override;

    HRESULT InterfaceSupportsErrorInfoImpl(REFIID riid);
    HRESULT OnConnectionImpl(IDispatch* Application, ext_ConnectMode ConnectMode,
                             IDispatch* AddInInst, SAFEARRAY** custom);
    HRESULT OnDisconnectionImpl(ext_DisconnectMode RemoveMode, SAFEARRAY** custom);
    HRESULT OnAddInsUpdateImpl(SAFEARRAY** custom);
    HRESULT OnStartupCompleteImpl(SAFEARRAY** custom);
    HRESULT OnBeginShutdownImpl(SAFEARRAY** custom);

    // The second half of start-up; a null explorer means the active one.
    void InitHandler(Outlook::_Explorer* explorer);
    // Logs in to the filter service again.
    void Relogin();
    // The start-up and the periodic refresh beside the Exchange module.
    void LoginEX(BYTE initial);

    // Explorers opened after connection, and the first explorer's closing.
    void OnNewExplorerImpl(Outlook::_Explorer* explorer);
    void OnCloseExplorerImpl();
    void RemoveExplorerWrapper(DWORD serial);
    // Builds the bar of an explorer seen for the first time, or finishes
    // the start-up deferred because Outlook started without a window.
    void AddToolbar(Outlook::_Explorer* explorer);
    // The frame window of the active explorer: the owner of every message
    // box; null when there is none.
    HWND GetCurrentExplorerHWND();
    // Makes the progress window again for a long action of `actionType`
    // over `total` mails, shown or not; the action's worker advances it.
    void CreateProgressDlg(DWORD actionType, DWORD total, bool show);

    // The advert button's refresh, on timer 2 and at connection.
    void RefreshAdvButton();

    // The bars: built, their click events connected, enabled, repainted,
    // placed where the user left the first one, and their logo windows.
    void CreateBVToolbar(CToolbarRecord& record);
    void AdviseToolbarEvents(CToolbarRecord& record, bool advise);
    void EnableToolbar(BYTE enable);
    void RefreshToolbar(CToolbarRecord& record);
    void LoadToolbarPosition(CToolbarRecord& record);
    void SaveToolbarPosition();
    void AddLogoWindow(CToolbarRecord& record, bool subclass);
    void RefreshLogoWindow(CToolbarRecord& record);

    // New mail: store notifications (copies that the hidden window's
    // messages carry), then a message by its entry identifier in Outlook's
    // text form, judged and, when it is spam, moved.
    ULONG OnNewMail2(ULONG count, LPNOTIFICATION notifications, size_t storeIndex);
    virtual void OnNewMail(std::wstring itemId);
    void ProcessNewMail(MailItemRef item);

    // The spam folder beside the Inbox: found by its stored identifier, or
    // left null; made sure of (found by name, or created) before a move.
    void FindSPAMfolder(CComPtr<Outlook::MAPIFolder>& folder);
    bool IsBrevintFolderExist(bool create);

    // Event handlers (the standard calling convention, as Outlook calls them).
    void __stdcall OnSendMail(IDispatch* item, VARIANT_BOOL* cancel);
    void __stdcall OnNewExplorer(IDispatch* explorer);
    void __stdcall OnCloseExplorer();
    void __stdcall OnRedemptionNewMail(IDispatch* item);

    void OnSendMailImpl(IDispatch* item, VARIANT_BOOL* cancel);

    // The toolbar's buttons, heard on every bar through the first bar's
    // buttons of the same tag.
    void __stdcall OnClickBlockButton(Office::CommandBarButton* button,
                                      VARIANT_BOOL* cancelDefault);
    void __stdcall OnClickUnBlockButton(Office::CommandBarButton* button,
                                        VARIANT_BOOL* cancelDefault);
    void __stdcall OnClickLogoButton(Office::CommandBarButton* button, VARIANT_BOOL* cancelDefault);
    void __stdcall OnClickAdvertButton(Office::CommandBarButton* button,
                                       VARIANT_BOOL* cancelDefault);
    void __stdcall OnClickCleanFolderButton(Office::CommandBarButton* button,
                                            VARIANT_BOOL* cancelDefault);
    void __stdcall OnClickEmptyButton(Office::CommandBarButton* button,
                                      VARIANT_BOOL* cancelDefault);
    void __stdcall OnClickTellAFriendButton(Office::CommandBarButton* button,
                                            VARIANT_BOOL* cancelDefault);
    void __stdcall OnClickOptionsButton(Office::CommandBarButton* button,
                                        VARIANT_BOOL* cancelDefault);
    void __stdcall OnClickBLDomainButton(Office::CommandBarButton* button,
                                         VARIANT_BOOL* cancelDefault);
    void __stdcall OnClickBLEmailButton(Office::CommandBarButton* button,
                                        VARIANT_BOOL* cancelDefault);
    void __stdcall OnClickWLDomainButton(Office::CommandBarButton* button,
                                         VARIANT_BOOL* cancelDefault);
    void __stdcall OnClickWLEmailButton(Office::CommandBarButton* button,
                                        VARIANT_BOOL* cancelDefault);
    void OnClickBlockButtonImpl(Office::CommandBarButton* button, VARIANT_BOOL* cancelDefault);
    void OnClickUnBlockButtonImpl(Office::CommandBarButton* button, VARIANT_BOOL* cancelDefault);
    void OnClickLogoButtonImpl(Office::CommandBarButton* button, VARIANT_BOOL* cancelDefault);
    void OnClickAdvertButtonImpl(Office::CommandBarButton* button, VARIANT_BOOL* cancelDefault);
    void OnClickCleanFolderButtonImpl(Office::CommandBarButton* button,
                                      VARIANT_BOOL* cancelDefault);
    void OnClickEmptyButtonImpl(Office::CommandBarButton* button, VARIANT_BOOL* cancelDefault);
    void OnClickTellAFriendButtonImpl(Office::CommandBarButton* button,
                                      VARIANT_BOOL* cancelDefault);
    void OnClickOptionsButtonImpl(Office::CommandBarButton* button, VARIANT_BOOL* cancelDefault);
    void OnClickBLDomainButtonImpl(Office::CommandBarButton* button, VARIANT_BOOL* cancelDefault);
    void OnClickBLEmailButtonImpl(Office::CommandBarButton* button, VARIANT_BOOL* cancelDefault);
    void OnClickWLDomainButtonImpl(Office::CommandBarButton* button, VARIANT_BOOL* cancelDefault);
    void OnClickWLEmailButtonImpl(Office::CommandBarButton* button, VARIANT_BOOL* cancelDefault);
    void OnRedemptionNewMailImpl(IDispatch* item);

    // Hidden window message handlers.
    void OnLogoUrlEnableImpl(WPARAM url);
    void OnActionFinishedImpl();
    void OnActionBreakImpl();
    void OnVisibleTellAFriendImpl();
    void OnOlRescanImpl();
    void OnStopActionImpl(WPARAM actionType);
    void OnTimerImpl(UINT_PTR timerId);

    // The state flags, 0 or 1, for the parts that read them.
    DWORD IsInitialized() const { return m_isInitialized; }
    DWORD IsLoggedIn() const { return m_isLoggedIn; }
    DWORD IsBusy() const { return isAction; }

  private:
    using ItemSendSink_ =
        IDispEventSimpleImpl<SINK_ITEM_SEND, CConnect, &__uuidof(Outlook::ApplicationEvents)>;
    using NewExplorerSink_ =
        IDispEventSimpleImpl<SINK_NEW_EXPLORER, CConnect, &__uuidof(Outlook::ExplorersEvents)>;
    using FirstExplorerCloseSink_ = IDispEventSimpleImpl<SINK_FIRST_EXPLORER_CLOSE, CConnect,
                                                         &__uuidof(Outlook::ExplorerEvents)>;
    using NewMailSink_ = IDispEventSimpleImpl<SINK_NEW_MAIL, CConnect, &DIID_IBVMAPIUtilsEvents>;
    ItemSendSink_& ItemSendSink() { return *this; }
    NewExplorerSink_& NewExplorerSink() { return *this; }
    FirstExplorerCloseSink_& FirstExplorerCloseSink() { return *this; }
    NewMailSink_& NewMailSink() { return *this; }
    // Disconnects a sink that is connected; a refusal is raised as a COM error.
    template <class Sink>
    static void Unadvise(Sink& sink, IUnknown* source) {
        if (!source || sink.m_dwEventCookie == 0xFEFEFEFE)
            return;
        const HRESULT hr = sink.DispEventUnadvise(source);
        if (FAILED(hr))
            _com_issue_error(hr);
    }

    static _ATL_FUNC_INFO kItemSendInfo;
    static _ATL_FUNC_INFO kNewExplorerInfo;
    static _ATL_FUNC_INFO kNoArgumentsInfo;
    static _ATL_FUNC_INFO kNewMailInfo;
    static _ATL_FUNC_INFO kClickInfo;

    LRESULT OnLogoUrlEnable(UINT, WPARAM wParam, LPARAM, BOOL& handled);
    LRESULT OnActionFinished(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnActionBreak(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnVisibleTellAFriend(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnOlRescan(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnStopAction(UINT, WPARAM wParam, LPARAM, BOOL& handled);
    LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled);
    LRESULT OnMapiNotify(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnNewMailNotification(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled);

    // The filter proxy, taken at connection or, failing that, when first needed.
    CBrevintProxy& Proxy();
    void ReadDefaultSpamFolderName();
    void QueryApplication(IDispatch* application);
    void ReadOutlookVersion();
    // Outlook's open explorers; the add-in's own explorer count starts at 0.
    LONG CountOpenExplorers();
    void AdviseOutlookEvents();
    void AdviseNewMailEvent();
    void CreateHiddenWindow();
    // What explorer tracking asks of the add-in object.
    bool IsStarted() const override;
    void StartDeferred(Outlook::_Explorer* explorer) override;
    bool WatchFirstExplorer(Outlook::_Explorer* explorer) override;
    void UnwatchFirstExplorer(Outlook::_Explorer* explorer) override;
    void SetUpToolbar(CToolbarRecord& record) override;
    void SaveFirstToolbarPosition() override;
    ToolbarMode CurrentToolbarMode() const;
    CToolbarRecord* FirstToolbar();
    // Outlook's own MAPI session, or none; the caller releases it.
    void GetMapiSession(IMAPISession** session);
    // Logs the MAPI helper in with Outlook's session (none when `ownSession`).
    void LoginMapi(bool ownSession);
    // Store notifications of the kinds in `eventMask`, reported to the hidden window.
    HRESULT AdviseMapiHelper(ULONG eventMask);
    void StartDataWorker();
    void StartTimer(UINT_PTR timerId, UINT period);
    void StopTimer(UINT_PTR timerId);
    void StopWorkersAndWindows();
    // Stops one worker with the shutdown wait; a worker still running then
    // keeps the module loaded for good, since its thread runs the module's code.
    template <class Worker>
    void StopWorker(CWorkerSlot<Worker>& slot, const wchar_t* name);
    // The safe-item library's new-mail sink, bound from connection to disconnection.
    void UnadviseNewMailEvent();
    void StoreQuitTime();

    // Members, in the order they are built: the crash-dump handler first, so
    // that a crash while the others are built leaves a dump.
    CDumpHandlerAttachment m_dumpHandler;
    CBrevintHelper m_helper;
    std::wstring m_logoUrl;
    std::wstring m_advertText;
    std::wstring m_advertUrl;
    std::wstring m_outlookVersionText;
    CSettings m_settings;
    CBrevintProxy* m_proxy = nullptr;

    // The workers, each with its thread object and the event that wakes it.
    CWorkerSlot<CBVDataWorker> m_data;
    CWorkerSlot<CBVBlockUnblockWorker> m_block;
    CWorkerSlot<CBVBlockUnblockWorker> m_unblock;
    CWorkerSlot<CBVCleanFolderWorker> m_cleanFolder;

    CMapiHelper m_mapiHelper;
    CRedemptionMng* m_redemption = nullptr;
    CComPtr<Outlook::_Application> m_application;
    CComPtr<Outlook::_Explorers> m_explorers;
    // The subsystems that the add-in's members route to.
    CSpamFolder m_spamFolder{m_application};
    CMailClassifier m_classifier{[this]() -> CBrevintProxy& { return Proxy(); }, m_spamFolder};
    CNewMailDetection m_newMail{m_mapiHelper, m_application};
    CExplorerTracker m_explorerTracker{*this};
    CLogoWindows m_logos;
    CToolbarBuilder m_toolbarBuilder{m_helper, m_logos};
    CProgressBarWnd m_progress;

    DWORD m_outlookMajorVersion = 0;
    UINT_PTR m_exchangeTimer = 0;
    UINT_PTR m_advertTimer = 0;
    UINT_PTR m_rescanTimer = 0;
    DWORD m_isRescanStarted = 0;
    DATE m_newestDate = -1000.0;

    // State flags: 32-bit, 0 or 1.
    DWORD m_isInitialized = 0;
    DWORD m_isDataStarted = 0;
    DWORD m_isLoggedIn = 0;
    DWORD isAction = 0;
    DWORD m_isIMO = 0;
    DWORD m_isVXM = 0;
    DWORD m_isAccountDisabled = 0;
    DWORD m_isFirstExplorerWatched = 0;
};
