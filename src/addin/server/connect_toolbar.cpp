// The add-in object's toolbar members: each routes to the toolbar subsystem
// with the add-in's state, and the button sinks route each click to its
// command.
#include "addin/server/connect.h"

#include "addin/crash/entry_guard.h"
#include "service/brevint_proxy.h"
#include "support/log/logged_stage.h"
#include "support/log/trace_scope.h"
#include "toolbar/toolbar_state.h"

_ATL_FUNC_INFO CConnect::kClickInfo = {CC_STDCALL, VT_EMPTY, 2, {VT_DISPATCH, VT_BYREF | VT_BOOL}};

namespace {

using ButtonField = CComPtr<Office::CommandBarButton> CToolbarRecord::*;

// Which sink hears which button, in the order they are connected; the last
// two buttons are not built beside the Exchange module.
struct ClickBinding {
    ButtonField button;
    HRESULT (*advise)(CConnect&, IUnknown*);
    void (*unadvise)(CConnect&, IUnknown*);
};

template <UINT N>
HRESULT AdviseClick(CConnect& connect, IUnknown* button) {
    return static_cast<ButtonClickSink<N, CConnect>&>(connect).DispEventAdvise(button);
}

template <UINT N>
void UnadviseClick(CConnect& connect, IUnknown* button) {
    // A sink that is not connected to that button is let go quietly.
    static_cast<ButtonClickSink<N, CConnect>&>(connect).DispEventUnadvise(button);
}

template <UINT N>
constexpr ClickBinding Bind(ButtonField button) {
    return {button, &AdviseClick<N>, &UnadviseClick<N>};
}

constexpr ClickBinding kClickBindings[] = {
    Bind<SINK_LOGO>(&CToolbarRecord::logoButton),
    Bind<SINK_ADVERT>(&CToolbarRecord::advertButton),
    Bind<SINK_EMPTY_FOLDER>(&CToolbarRecord::emptyFolderButton),
    Bind<SINK_OPTIONS>(&CToolbarRecord::optionsButton),
    Bind<SINK_BLACKLIST_EMAIL>(&CToolbarRecord::blacklistEmailButton),
    Bind<SINK_BLACKLIST_DOMAIN>(&CToolbarRecord::blacklistDomainButton),
    Bind<SINK_WHITELIST_EMAIL>(&CToolbarRecord::whitelistEmailButton),
    Bind<SINK_WHITELIST_DOMAIN>(&CToolbarRecord::whitelistDomainButton),
    Bind<SINK_BLOCK>(&CToolbarRecord::blockButton),
    Bind<SINK_UNBLOCK>(&CToolbarRecord::unblockButton),
    Bind<SINK_RECHECK>(&CToolbarRecord::recheckButton),
    Bind<SINK_TELL_A_FRIEND>(&CToolbarRecord::tellAFriendButton),
};
constexpr size_t kOutsideExchangeModule = 10;

}  // namespace

ToolbarMode CConnect::CurrentToolbarMode() const {
    return {m_isVXM != 0, m_isAccountDisabled != 0, m_outlookMajorVersion};
}

CToolbarRecord* CConnect::FirstToolbar() {
    auto& records = m_explorerTracker.Records();
    return records.empty() ? nullptr : &records.front();
}

void CConnect::CreateBVToolbar(CToolbarRecord& record) {
    m_logos.SetMode(CurrentToolbarMode());
    m_toolbarBuilder.CreateBVToolbar(record, CurrentToolbarMode());
}

void CConnect::AdviseToolbarEvents(CToolbarRecord& record, bool advise) {
    constexpr const char* kFunction = "CConnect::AdviseToolbarEvents";
    CTraceScope trace(kFunction);
    const size_t bound = m_isVXM ? kOutsideExchangeModule : std::size(kClickBindings);
    RunLoggedStage(kFunction, L"Unhandled exception", [&] {
        for (size_t i = 0; i < bound; ++i) {
            IUnknown* button = record.*kClickBindings[i].button;
            if (!button)
                continue;
            if (!advise) {
                kClickBindings[i].unadvise(*this, button);
                continue;
            }
            const HRESULT hr = kClickBindings[i].advise(*this, button);
            if (FAILED(hr))
                _com_issue_error(hr);
        }
    });
}

void CConnect::EnableToolbar(BYTE enable) {
    ::EnableToolbar(m_explorerTracker.Records(), enable != 0, CurrentToolbarMode());
}

void CConnect::RefreshToolbar(CToolbarRecord& record) {
    ::RefreshToolbar(record, CurrentToolbarMode());
}

void CConnect::LoadToolbarPosition(CToolbarRecord& record) {
    ::LoadToolbarPosition(record);
}

void CConnect::SaveToolbarPosition() {
    ::SaveToolbarPosition(m_explorerTracker.Records());
}

void CConnect::AddLogoWindow(CToolbarRecord& record, bool subclass) {
    m_logos.SetMode(CurrentToolbarMode());
    m_logos.AddLogoWindow(record, subclass);
}

void CConnect::RefreshLogoWindow(CToolbarRecord& record) {
    m_logos.RefreshLogoWindow(record);
}

// A new explorer's bar: built, the spam folder made sure of, placed where the
// first bar stood, its logo window made again so that it opens the logo URL,
// enabled as the login allows, repainted, and given the advert known so far.
void CConnect::SetUpToolbar(CToolbarRecord& record) {
    CreateBVToolbar(record);
    IsBrevintFolderExist(true);
    LoadToolbarPosition(record);
    RefreshLogoWindow(record);
    EnableToolbar(m_isLoggedIn ? 1 : 0);
    RefreshToolbar(record);
    ShowAdvert(record, m_advertText, "CConnect::AddToolbar");
}

void CConnect::SaveFirstToolbarPosition() {
    SaveToolbarPosition();
}

void CConnect::RefreshAdvButton() {
    constexpr const char* kFunction = "CConnect::RefreshAdvButton";
    CTraceScope trace(kFunction);
    if (!m_proxy || !m_isDataStarted)
        return;
    try {
        m_proxy->GetAdvertText(m_advertText, m_advertUrl);
        ShowAdvertEverywhere(m_explorerTracker.Records(), m_advertText, m_logos.Bitmap());
    } catch (const _com_error& error) {
        // The reason first; the bars not reached keep their advert until the
        // next tick.
        LogComException(kFunction, error);
        CLogger::GetInstance().LogMessage(kFunction, L"failed to refresh advertisement");
    } catch (...) {
        CLogger::GetInstance().LogMessage(kFunction, L"failed to refresh advertisement");
    }
}

void CConnect::OnVisibleTellAFriendImpl() {
    CTraceScope trace("CConnect::OnVisibleTellAFriendImpl");
    ShowTellAFriend(m_explorerTracker.Records());
}

// The buttons' clicks. Each runs its command inside the entry guard; a
// command that finds the add-in busy does nothing.

#define BV_ROUTE_CLICK(Handler)                                                                \
    void __stdcall CConnect::Handler(Office::CommandBarButton* button, VARIANT_BOOL* cancel) { \
        GuardedEntry([&] { Handler##Impl(button, cancel); });                                  \
    }
BV_ROUTE_CLICK(OnClickBlockButton)
BV_ROUTE_CLICK(OnClickUnBlockButton)
BV_ROUTE_CLICK(OnClickLogoButton)
BV_ROUTE_CLICK(OnClickAdvertButton)
BV_ROUTE_CLICK(OnClickCleanFolderButton)
BV_ROUTE_CLICK(OnClickEmptyButton)
BV_ROUTE_CLICK(OnClickTellAFriendButton)
BV_ROUTE_CLICK(OnClickOptionsButton)
BV_ROUTE_CLICK(OnClickBLDomainButton)
BV_ROUTE_CLICK(OnClickBLEmailButton)
BV_ROUTE_CLICK(OnClickWLDomainButton)
BV_ROUTE_CLICK(OnClickWLEmailButton)
#undef BV_ROUTE_CLICK

// The logo button is disabled: a click on the logo reaches the logo window,
// which opens the logo URL. A click that still arrives reads the caption only.
void CConnect::OnClickLogoButtonImpl(Office::CommandBarButton* button, VARIANT_BOOL*) {
    CTraceScope trace("CConnect::OnClickLogoButtonImpl");
    if (isAction || !button)
        return;
    CComBSTR caption;
    button->get_Caption(&caption);
}

// The commands of the other buttons arrive with the work they start (the
// selected mail, the lists, the folders, the links); until then a click is
// heard, traced, and does nothing.
#define BV_HEARD_CLICK(Impl)                                        \
    void CConnect::Impl(Office::CommandBarButton*, VARIANT_BOOL*) { \
        CTraceScope trace("CConnect::" #Impl);                      \
    }
BV_HEARD_CLICK(OnClickBlockButtonImpl)
BV_HEARD_CLICK(OnClickUnBlockButtonImpl)
BV_HEARD_CLICK(OnClickAdvertButtonImpl)
BV_HEARD_CLICK(OnClickCleanFolderButtonImpl)
BV_HEARD_CLICK(OnClickEmptyButtonImpl)
BV_HEARD_CLICK(OnClickTellAFriendButtonImpl)
BV_HEARD_CLICK(OnClickOptionsButtonImpl)
BV_HEARD_CLICK(OnClickBLDomainButtonImpl)
BV_HEARD_CLICK(OnClickBLEmailButtonImpl)
BV_HEARD_CLICK(OnClickWLDomainButtonImpl)
BV_HEARD_CLICK(OnClickWLEmailButtonImpl)
#undef BV_HEARD_CLICK
