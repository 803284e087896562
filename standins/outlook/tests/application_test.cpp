// Outlook's stand-in as the add-in and the simulator meet it: members by name
// and by vtable, explorers and their frame windows, events through dispatch
// sinks, calls from another apartment, and faults on demand.
#include <atlbase.h>
#include <atldispevent.h>
#include <objbase.h>
#include <oleauto.h>
#include <platform/seh.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "outlook.h"
#include "outlook_host.h"
#include "apartment_waits.h"
#include "test_thread.h"
#include "dispatch_calls.h"
#include "call_fault_support.h"

namespace {

using outlook::host::OutlookHost;

// The test thread is the user-interface thread: a single-threaded apartment.
class OutlookHostTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
    void TearDown() override { CoUninitialize(); }
};

std::wstring CaptionOf(Outlook::_Explorer* explorer) {
    BSTR caption = nullptr;
    EXPECT_EQ(explorer->get_Caption(&caption), S_OK);
    return Take(caption);
}

CComPtr<Outlook::_Application> ApplicationOf(OutlookHost& host) {
    CComPtr<IDispatch> dispatch;
    dispatch.Attach(host.Application());
    CComPtr<Outlook::_Application> application;
    EXPECT_EQ(dispatch.QueryInterface(&application), S_OK);
    return application;
}

TEST_F(OutlookHostTest, TheApplicationAnswersItsMembersByNameAsByVtable) {
    OutlookHost host(L"11.0.0.8312");
    CComPtr<IDispatch> application;
    application.Attach(host.Application());

    VARIANT value;
    VariantInit(&value);
    ASSERT_EQ(CallByName(application, L"version", DISPATCH_PROPERTYGET, {}, &value), S_OK);
    ASSERT_EQ(V_VT(&value), VT_BSTR);
    EXPECT_EQ(Take(V_BSTR(&value)), L"11.0.0.8312");
    // A property is not a method, and names it does not have are unknown.
    EXPECT_EQ(CallByName(application, L"Version", DISPATCH_METHOD, {}, &value),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(CallByName(application, L"Quit", DISPATCH_METHOD, {}, &value), DISP_E_UNKNOWNNAME);

    // With no explorer open, ActiveExplorer succeeds with nothing.
    ASSERT_EQ(CallByName(application, L"ActiveExplorer", DISPATCH_METHOD, {}, &value), S_OK);
    EXPECT_EQ(V_VT(&value), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(&value), nullptr);
    CComPtr<Outlook::_Application> typed = ApplicationOf(host);
    Outlook::_Explorer* none = reinterpret_cast<Outlook::_Explorer*>(1);
    EXPECT_EQ(typed->ActiveExplorer(&none), S_OK);
    EXPECT_EQ(none, nullptr);

    // Only the "MAPI" namespace exists, and it is one object.
    VARIANT mapi;
    VariantInit(&mapi);
    V_VT(&mapi) = VT_BSTR;
    V_BSTR(&mapi) = SysAllocString(L"MAPI");
    ASSERT_EQ(CallByName(application, L"GetNamespace", DISPATCH_METHOD, {mapi}, &value), S_OK);
    ASSERT_EQ(V_VT(&value), VT_DISPATCH);
    CComPtr<Outlook::_NameSpace> first, second;
    EXPECT_EQ(V_DISPATCH(&value)->QueryInterface(__uuidof(Outlook::_NameSpace),
                                                 reinterpret_cast<void**>(&first)),
              S_OK);
    VariantClear(&value);
    EXPECT_EQ(typed->GetNamespace(V_BSTR(&mapi), &second), S_OK);
    EXPECT_EQ(first.p, second.p);
    EXPECT_EQ(CallByName(application, L"GetNamespace", DISPATCH_METHOD, {}, &value),
              DISP_E_BADPARAMCOUNT);
    VariantClear(&mapi);
    CComBSTR other(L"Other");
    Outlook::_NameSpace* unknown = nullptr;
    EXPECT_EQ(typed->GetNamespace(other, &unknown), E_INVALIDARG);
    EXPECT_EQ(unknown, nullptr);
}

TEST_F(OutlookHostTest, ExplorersFollowOpeningActivationAndClosing) {
    OutlookHost host(L"11.0.0.8312");
    CComPtr<Outlook::_Application> application = ApplicationOf(host);
    const int inbox = host.OpenExplorer(L"Inbox - Microsoft Outlook");
    const int drafts = host.OpenExplorer(L"Drafts - Microsoft Outlook");
    EXPECT_EQ(inbox, 1);
    EXPECT_EQ(drafts, 2);

    CComPtr<Outlook::_Explorers> explorers;
    ASSERT_EQ(application->get_Explorers(&explorers), S_OK);
    LONG count = 0;
    EXPECT_EQ(explorers->get_Count(&count), S_OK);
    EXPECT_EQ(count, 2);
    CComVariant first(LONG{1});
    CComPtr<Outlook::_Explorer> item;
    ASSERT_EQ(explorers->Item(first, &item), S_OK);
    EXPECT_EQ(CaptionOf(item), L"Inbox - Microsoft Outlook");
    CComVariant third(LONG{3});
    Outlook::_Explorer* missing = nullptr;
    EXPECT_EQ(explorers->Item(third, &missing), DISP_E_BADINDEX);

    // The explorer opened last is active until another is activated.
    auto activeCaption = [&] {
        CComPtr<Outlook::_Explorer> active;
        EXPECT_EQ(application->ActiveExplorer(&active), S_OK);
        return active ? CaptionOf(active) : std::wstring(L"(none)");
    };
    EXPECT_EQ(activeCaption(), L"Drafts - Microsoft Outlook");
    EXPECT_TRUE(host.ActivateExplorer(inbox));
    EXPECT_EQ(activeCaption(), L"Inbox - Microsoft Outlook");

    // Each frame is found by its class and caption, with the dock inside.
    std::vector<outlook::host::ExplorerInfo> infos = host.Explorers();
    ASSERT_EQ(infos.size(), 2u);
    HWND inboxFrame = FindWindowW(L"rctrl_renwnd32", L"Inbox - Microsoft Outlook");
    ASSERT_NE(inboxFrame, nullptr);
    EXPECT_EQ(infos[0].frame, inboxFrame);
    EXPECT_NE(FindWindowExW(inboxFrame, nullptr, L"MsoDockTop", nullptr), nullptr);
    EXPECT_TRUE(infos[0].active);
    EXPECT_FALSE(infos[1].active);

    // Closing the active one falls back to the one activated before it.
    EXPECT_TRUE(host.CloseExplorer(inbox));
    EXPECT_EQ(activeCaption(), L"Drafts - Microsoft Outlook");
    EXPECT_EQ(FindWindowW(L"rctrl_renwnd32", L"Inbox - Microsoft Outlook"), nullptr);
    EXPECT_FALSE(IsWindow(inboxFrame));
    EXPECT_EQ(explorers->get_Count(&count), S_OK);
    EXPECT_EQ(count, 1);
    item.Release();
    ASSERT_EQ(explorers->Item(first, &item), S_OK);
    EXPECT_EQ(CaptionOf(item), L"Drafts - Microsoft Outlook");
    EXPECT_FALSE(host.ActivateExplorer(inbox));
    EXPECT_FALSE(host.ChangeSelection(inbox));
    EXPECT_FALSE(host.CloseExplorer(inbox));

    EXPECT_TRUE(host.CloseExplorer(drafts));
    EXPECT_EQ(activeCaption(), L"(none)");
    infos = host.Explorers();
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_FALSE(infos[0].open || infos[1].open || infos[0].active || infos[1].active);
    EXPECT_EQ(infos[1].frame, nullptr);
    // Ids are never reused.
    EXPECT_EQ(host.OpenExplorer(L"Inbox - Microsoft Outlook"), 3);
}

// The add-in's side of the events: a class with dispatch sinks, as the
// add-in's connection object and explorer wrappers are.
class Watcher : public IDispEventSimpleImpl<1, Watcher, &__uuidof(Outlook::ApplicationEvents)>,
                public IDispEventSimpleImpl<2, Watcher, &__uuidof(Outlook::ExplorersEvents)>,
                public IDispEventSimpleImpl<3, Watcher, &__uuidof(Outlook::ExplorerEvents)> {
  public:
    using ApplicationSink = IDispEventSimpleImpl<1, Watcher, &__uuidof(Outlook::ApplicationEvents)>;
    using ExplorersSink = IDispEventSimpleImpl<2, Watcher, &__uuidof(Outlook::ExplorersEvents)>;
    using ExplorerSink = IDispEventSimpleImpl<3, Watcher, &__uuidof(Outlook::ExplorerEvents)>;

    explicit Watcher(Outlook::_Application* application) : m_application(application) {}

    std::vector<std::wstring> calls;
    IDispatch* sentItem = nullptr;
    CComPtr<Outlook::_Explorer> watched;

    void __stdcall OnItemSend(IDispatch* item, VARIANT_BOOL* cancel) {
        calls.push_back(L"ItemSend");
        sentItem = item;
        *cancel = VARIANT_TRUE;
    }
    // Connects to the new explorer at once, as the add-in's wrapper does; the
    // window is not there yet and the previous explorer is still active.
    void __stdcall OnNewExplorer(Outlook::_Explorer* explorer) {
        const std::wstring caption = CaptionOf(explorer);
        CComPtr<Outlook::_Explorer> active;
        m_application->ActiveExplorer(&active);
        calls.push_back(
            L"NewExplorer " + caption +
            (FindWindowW(L"rctrl_renwnd32", caption.c_str()) ? L" shown" : L" unshown") +
            (active ? L" after " + CaptionOf(active) : L""));
        watched = explorer;
        EXPECT_EQ(ExplorerSink::DispEventAdvise(explorer), S_OK);
    }
    void __stdcall OnActivate() { calls.push_back(L"Activate"); }
    void __stdcall OnSelectionChange() { calls.push_back(L"SelectionChange"); }
    void __stdcall OnClose() {
        calls.push_back(L"Close");
        EXPECT_EQ(ExplorerSink::DispEventUnadvise(watched), S_OK);
    }

    static inline _ATL_FUNC_INFO ItemSendInfo = {
        CC_STDCALL, VT_EMPTY, 2, {VT_DISPATCH, VT_BYREF | VT_BOOL}};
    static inline _ATL_FUNC_INFO ExplorerInfo = {CC_STDCALL, VT_EMPTY, 1, {VT_DISPATCH}};
    static inline _ATL_FUNC_INFO NoArgumentsInfo = {CC_STDCALL, VT_EMPTY, 0, {}};

    BEGIN_SINK_MAP(Watcher)
    SINK_ENTRY_INFO(1, __uuidof(Outlook::ApplicationEvents),
                    DISPID_Outlook_ApplicationEvents_ItemSend, &Watcher::OnItemSend, &ItemSendInfo)
    SINK_ENTRY_INFO(2, __uuidof(Outlook::ExplorersEvents),
                    DISPID_Outlook_ExplorersEvents_NewExplorer, &Watcher::OnNewExplorer,
                    &ExplorerInfo)
    SINK_ENTRY_INFO(3, __uuidof(Outlook::ExplorerEvents), DISPID_Outlook_ExplorerEvents_Activate,
                    &Watcher::OnActivate, &NoArgumentsInfo)
    SINK_ENTRY_INFO(3, __uuidof(Outlook::ExplorerEvents),
                    DISPID_Outlook_ExplorerEvents_SelectionChange, &Watcher::OnSelectionChange,
                    &NoArgumentsInfo)
    SINK_ENTRY_INFO(3, __uuidof(Outlook::ExplorerEvents), DISPID_Outlook_ExplorerEvents_Close,
                    &Watcher::OnClose, &NoArgumentsInfo)
    END_SINK_MAP()

  private:
    Outlook::_Application* m_application;
};

TEST_F(OutlookHostTest, EventsReachDispatchSinksInOutlooksOrder) {
    OutlookHost host(L"11.0.0.8312");
    CComPtr<Outlook::_Application> application = ApplicationOf(host);
    host.OpenExplorer(L"Inbox");
    Watcher watcher(application);
    CComPtr<Outlook::_Explorers> explorers;
    ASSERT_EQ(application->get_Explorers(&explorers), S_OK);
    ASSERT_EQ(watcher.ApplicationSink::DispEventAdvise(application), S_OK);
    ASSERT_EQ(watcher.ExplorersSink::DispEventAdvise(explorers), S_OK);

    const int calendar = host.OpenExplorer(L"Calendar");
    EXPECT_TRUE(host.ChangeSelection(calendar));
    EXPECT_TRUE(host.ActivateExplorer(calendar));
    EXPECT_TRUE(host.CloseExplorer(calendar));
    EXPECT_EQ(watcher.calls,
              (std::vector<std::wstring>{L"NewExplorer Calendar unshown after Inbox", L"Activate",
                                         L"SelectionChange", L"Activate", L"Close"}));
    // Unadvised by its own Close handler, the sink hears nothing more.
    EXPECT_FALSE(host.ActivateExplorer(calendar));

    // ItemSend hands the item over and gives back the Cancel flag it was left.
    watcher.calls.clear();
    CComPtr<Outlook::_NameSpace> item;
    ASSERT_EQ(application->GetNamespace(CComBSTR(L"MAPI"), &item), S_OK);
    EXPECT_TRUE(host.SendItem(item));
    EXPECT_EQ(watcher.calls, std::vector<std::wstring>{L"ItemSend"});
    EXPECT_EQ(watcher.sentItem, static_cast<IDispatch*>(item.p));

    EXPECT_EQ(watcher.ApplicationSink::DispEventUnadvise(application), S_OK);
    EXPECT_EQ(watcher.ExplorersSink::DispEventUnadvise(explorers), S_OK);
    EXPECT_FALSE(host.SendItem(item));  // nobody cancels now
}

TEST_F(OutlookHostTest, AnotherApartmentCallsTheObjectsOnTheUserInterfaceThread) {
    OutlookHost host(L"11.0.0.8312");
    host.OpenExplorer(L"Inbox - Microsoft Outlook");
    CComPtr<IDispatch> application;
    application.Attach(host.Application());
    IStream* stream = nullptr;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IDispatch, application, &stream), S_OK);

    std::wstring version, caption;
    LONG count = 0;
    HRESULT versionRead = E_FAIL, explorerRead = E_FAIL;
    TestThread worker([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {  // the proxies go before the apartment
            CComPtr<IDispatch> remote;
            if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, IID_IDispatch,
                                                         reinterpret_cast<void**>(&remote)))) {
                CComVariant value;
                versionRead = CallByName(remote, L"Version", DISPATCH_PROPERTYGET, {}, &value);
                if (SUCCEEDED(versionRead) && value.vt == VT_BSTR)
                    version = V_BSTR(&value);
                CComQIPtr<Outlook::_Application> typed(remote);
                if (typed) {
                    CComPtr<Outlook::_Explorer> active;
                    explorerRead = typed->ActiveExplorer(&active);
                    if (active)
                        caption = CaptionOf(active);
                    CComPtr<Outlook::_Explorers> explorers;
                    if (SUCCEEDED(typed->get_Explorers(&explorers)))
                        explorers->get_Count(&count);
                }
            }
        }
        CoUninitialize();
        return DWORD{0};
    });
    // The user-interface thread serves the calls while it waits.
    ServeUntil(worker.handle());
    ServePending();
    EXPECT_EQ(versionRead, S_OK);
    EXPECT_EQ(version, L"11.0.0.8312");
    EXPECT_EQ(explorerRead, S_OK);
    EXPECT_EQ(caption, L"Inbox - Microsoft Outlook");
    EXPECT_EQ(count, 1);
}

TEST_F(OutlookHostTest, AMemberArmedToFaultFaultsOnItsNextCallOnly) {
    OutlookHost host(L"11.0.0.8312");
    host.OpenExplorer(L"Inbox");
    CComPtr<Outlook::_Application> application = ApplicationOf(host);
    CComPtr<Outlook::_Explorer> explorer;
    ASSERT_EQ(application->ActiveExplorer(&explorer), S_OK);
    // The calls that fault allocate nothing on their way in: a guard that
    // abandons them runs no destructors.
    DISPPARAMS none{};
    VARIANT value;
    VariantInit(&value);
    BSTR caption = nullptr;
    auto readVersion = [&] {
        return application->Invoke(DISPID_Outlook_Application_Version, IID_NULL,
                                   LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value,
                                   nullptr, nullptr);
    };

    host.FaultOnNextCall(L"Version");
    host.FaultOnNextCall(L"Caption");
    // Other members answer meanwhile.
    CComPtr<Outlook::_Explorers> explorers;
    EXPECT_FALSE(Faults([&] { EXPECT_EQ(application->get_Explorers(&explorers), S_OK); }));
    EXPECT_TRUE(Faults([&] { readVersion(); }));
    EXPECT_TRUE(Faults([&] { explorer->get_Caption(&caption); }));
    EXPECT_EQ(caption, nullptr);

    EXPECT_FALSE(Faults([&] { EXPECT_EQ(readVersion(), S_OK); }));
    ASSERT_EQ(V_VT(&value), VT_BSTR);
    EXPECT_EQ(Take(V_BSTR(&value)), L"11.0.0.8312");
    EXPECT_FALSE(Faults([&] { EXPECT_EQ(explorer->get_Caption(&caption), S_OK); }));
    EXPECT_EQ(Take(caption), L"Inbox");
}

TEST_F(OutlookHostTest, ObjectsOutlivingTheHostAreDisconnected) {
    CComPtr<Outlook::_Application> application;
    CComPtr<Outlook::_Explorer> explorer;
    {
        OutlookHost host(L"11.0.0.8312");
        host.OpenExplorer(L"Inbox");
        application = ApplicationOf(host);
        ASSERT_EQ(application->ActiveExplorer(&explorer), S_OK);
    }
    EXPECT_EQ(FindWindowW(L"rctrl_renwnd32", L"Inbox"), nullptr);
    BSTR text = nullptr;
    EXPECT_EQ(application->get_Version(&text), RPC_E_DISCONNECTED);
    EXPECT_EQ(explorer->get_Caption(&text), RPC_E_DISCONNECTED);
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(CallByName(application, L"Version", DISPATCH_PROPERTYGET, {}, &value),
              RPC_E_DISCONNECTED);
}

}  // namespace
