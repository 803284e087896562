// Office's command bars in an explorer window, as the add-in and the user
// meet them: bars and controls by vtable and by name, the bars' windows in
// the frame's dock, the Click event shared by tag across windows, faces from
// the clipboard, the user's moves, bars kept across a restart, and calls
// from another apartment.
#include <atlbase.h>
#include <atldispevent.h>
#include <objbase.h>
#include <oleauto.h>
#include <platform/filesystem.h>
#include <platform/windows.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "apartment_waits.h"
#include "call_fault_support.h"
#include "dispatch_calls.h"
#include "outlook.h"
#include "outlook_host.h"
#include "temp_root.h"
#include "test_thread.h"

namespace {

using outlook::host::OutlookHost;

class CommandBarsTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
    void TearDown() override {
        host.reset();
        CoUninitialize();
    }

    CComPtr<Office::_CommandBars> BarsOf(int id) {
        CComPtr<IDispatch> application;
        application.Attach(host->Application());
        CComQIPtr<Outlook::_Application> typed(application);
        CComPtr<Outlook::_Explorers> explorers;
        EXPECT_EQ(typed->get_Explorers(&explorers), S_OK);
        CComPtr<Outlook::_Explorer> explorer;
        EXPECT_EQ(explorers->Item(CComVariant(id), &explorer), S_OK);
        CComPtr<Office::_CommandBars> bars;
        EXPECT_EQ(explorer->get_CommandBars(&bars), S_OK);
        return bars;
    }
    // A temporary bar named `name` on top, and a button on it.
    CComPtr<Office::CommandBar> AddBar(Office::_CommandBars* bars, const wchar_t* name,
                                       bool temporary = true) {
        CComPtr<Office::CommandBar> bar;
        EXPECT_EQ(bars->Add(CComVariant(name), CComVariant(int(Office::msoBarTop)), Omitted(),
                            CComVariant(temporary), &bar),
                  S_OK);
        return bar;
    }
    CComPtr<Office::_CommandBarButton> AddButton(Office::CommandBar* bar, const wchar_t* caption,
                                                 const wchar_t* tag) {
        CComPtr<Office::CommandBarControls> controls;
        EXPECT_EQ(bar->get_Controls(&controls), S_OK);
        CComPtr<Office::CommandBarControl> control;
        EXPECT_EQ(controls->Add(CComVariant(int(Office::msoControlButton)), Omitted(), Omitted(),
                                Omitted(), CComVariant(true), &control),
                  S_OK);
        CComQIPtr<Office::_CommandBarButton> button(control);
        EXPECT_TRUE(button);
        EXPECT_EQ(button->put_Caption(CComBSTR(caption)), S_OK);
        EXPECT_EQ(button->put_Tag(CComBSTR(tag)), S_OK);
        return button;
    }

    TempRoot root;
    std::unique_ptr<OutlookHost> host = std::make_unique<OutlookHost>(L"12.0.0.6423");
};

std::wstring NameOf(Office::CommandBar* bar) {
    BSTR name = nullptr;
    EXPECT_EQ(bar->get_Name(&name), S_OK);
    return Take(name);
}

VARIANT Unsigned(ULONG value) {
    VARIANT number;
    VariantInit(&number);
    V_VT(&number) = VT_UI4;
    V_UI4(&number) = value;
    return number;
}

TEST_F(CommandBarsTest, BarsAreFoundByPositionAndByNameAndAddedOnceEach) {
    const int id = host->OpenExplorer(L"Inbox");
    CComPtr<Office::_CommandBars> bars = BarsOf(id);
    int count = 0;
    ASSERT_EQ(bars->get_Count(&count), S_OK);
    ASSERT_EQ(count, 3);  // Outlook's own bars
    CComPtr<Office::CommandBar> first;
    ASSERT_EQ(bars->get_Item(Unsigned(1), &first), S_OK);
    EXPECT_EQ(NameOf(first), L"Menu Bar");
    CComPtr<Office::CommandBar> missing;
    EXPECT_EQ(bars->get_Item(Unsigned(4), &missing), E_INVALIDARG);
    EXPECT_EQ(bars->get_Item(CComVariant(L"Nothing"), &missing), E_INVALIDARG);

    CComPtr<Office::CommandBar> added = AddBar(bars, L"Brevint toolbar");
    VARIANT_BOOL visible = VARIANT_TRUE;
    ASSERT_EQ(added->get_Visible(&visible), S_OK);
    EXPECT_EQ(visible, VARIANT_FALSE);  // a new bar shows once told to
    CComPtr<Office::CommandBar> byName;
    ASSERT_EQ(bars->get_Item(CComVariant(L"BREVINT TOOLBAR"), &byName), S_OK);
    EXPECT_EQ(byName.p, added.p);
    CComPtr<Office::CommandBar> again;
    EXPECT_EQ(bars->Add(CComVariant(L"brevint toolbar"), Omitted(), Omitted(), Omitted(), &again),
              E_INVALIDARG);

    // Through IDispatch: Count and the default member Item, any integer type.
    CComVariant value;
    ASSERT_EQ(GetByName(bars, L"count", &value), S_OK);
    EXPECT_EQ(V_I4(&value), 4);
    VARIANT index;
    VariantInit(&index);
    V_VT(&index) = VT_I2;
    V_I2(&index) = 4;
    DISPPARAMS params{&index, nullptr, 1, 0};
    CComVariant item;
    ASSERT_EQ(bars->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                           &params, &item, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(V_VT(&item), VT_DISPATCH);
    CComQIPtr<Office::CommandBar> fourth(V_DISPATCH(&item));
    EXPECT_EQ(fourth.p, added.p);
}

TEST_F(CommandBarsTest, EachBarHasAWindowInTheDockUntilItIsDeleted) {
    const int id = host->OpenExplorer(L"Inbox");
    CComPtr<Office::_CommandBars> bars = BarsOf(id);
    CComPtr<Office::CommandBar> bar = AddBar(bars, L"Brevint toolbar");
    HWND frame = FindWindowW(L"rctrl_renwnd32", L"Inbox");
    HWND dock = FindWindowExW(frame, nullptr, nullptr, L"MsoDockTop");
    ASSERT_NE(dock, nullptr);
    HWND window = FindWindowExW(dock, nullptr, nullptr, L"Brevint toolbar");
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));
    ASSERT_EQ(bar->put_Visible(VARIANT_TRUE), S_OK);
    EXPECT_TRUE(IsWindowVisible(window));

    CComPtr<Office::CommandBar> menu;
    ASSERT_EQ(bars->get_Item(CComVariant(L"Menu Bar"), &menu), S_OK);
    EXPECT_EQ(menu->Delete(), E_FAIL);  // Outlook's own bars stay
    ASSERT_EQ(bar->Delete(), S_OK);
    EXPECT_FALSE(IsWindow(window));
    int count = 0;
    ASSERT_EQ(bars->get_Count(&count), S_OK);
    EXPECT_EQ(count, 3);
    BSTR name = nullptr;
    EXPECT_EQ(bar->get_Name(&name), RPC_E_DISCONNECTED);
}

TEST_F(CommandBarsTest, ControlsKeepWhatTheyAreGivenAndRefuseWhatOfficeRefuses) {
    CComPtr<Office::_CommandBars> bars = BarsOf(host->OpenExplorer(L"Inbox"));
    CComPtr<Office::CommandBar> bar = AddBar(bars, L"Tools");
    CComPtr<Office::CommandBarControls> controls;
    ASSERT_EQ(bar->get_Controls(&controls), S_OK);
    CComPtr<Office::CommandBarControl> control;
    EXPECT_EQ(controls->Add(CComVariant(int(Office::msoControlEdit)), Omitted(), Omitted(),
                            Omitted(), Omitted(), &control),
              E_INVALIDARG);
    ASSERT_EQ(controls->Add(CComVariant(int(Office::msoControlPopup)), Omitted(), Omitted(),
                            Omitted(), CComVariant(true), &control),
              S_OK);
    CComQIPtr<Office::CommandBarPopup> popup(control);
    ASSERT_TRUE(popup);
    EXPECT_FALSE(CComQIPtr<Office::_CommandBarButton>(control));
    // A button put before the menu comes first.
    CComPtr<Office::CommandBarControl> first;
    ASSERT_EQ(controls->Add(Omitted(), Omitted(), Omitted(), CComVariant(1), Omitted(), &first),
              S_OK);
    CComPtr<Office::CommandBarControl> item;
    ASSERT_EQ(controls->get_Item(CComVariant(1), &item), S_OK);
    EXPECT_EQ(item.p, first.p);

    // Properties by name as by vtable; a null string is empty.
    CComQIPtr<Office::_CommandBarButton> button(first);
    ASSERT_EQ(
        CallByName(button, L"Caption", DISPATCH_PROPERTYPUT, {CComVariant(L"Block")}, nullptr),
        S_OK);
    ASSERT_EQ(CallByName(button, L"Width", DISPATCH_PROPERTYPUT, {CComVariant(L"70")}, nullptr),
              S_OK);
    BSTR caption = nullptr;
    ASSERT_EQ(button->get_Caption(&caption), S_OK);
    EXPECT_EQ(Take(caption), L"Block");
    int width = 0;
    ASSERT_EQ(button->get_Width(&width), S_OK);
    EXPECT_EQ(width, 70);
    EXPECT_EQ(button->put_Tag(nullptr), S_OK);
    EXPECT_EQ(button->put_Priority(8), E_INVALIDARG);
    EXPECT_EQ(button->put_Style(static_cast<Office::MsoButtonStyle>(5)), E_INVALIDARG);
    CComVariant style;
    ASSERT_EQ(GetByName(button, L"Style", &style), S_OK);
    EXPECT_EQ(V_I4(&style), Office::msoButtonAutomatic);
}

TEST_F(CommandBarsTest, PasteFaceTakesTheClipboardsBitmap) {
    CComPtr<Office::_CommandBars> bars = BarsOf(host->OpenExplorer(L"Inbox"));
    CComPtr<Office::_CommandBarButton> button = AddButton(AddBar(bars, L"Tools"), L"Block", L"b");
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    ASSERT_TRUE(CloseClipboard());
    EXPECT_EQ(button->PasteFace(), E_FAIL);

    // A 2x1 24-bit bitmap file, loaded as the add-in loads its images.
    const std::wstring file = L"C:\\Block.bmp";
    {
        std::ofstream out(platform::host::HostPathFromWindows(file), std::ios::binary);
        const unsigned char bmp[] = {'B', 'M', 62, 0, 0, 0, 0, 0, 0,   0, 54, 0,   0,  0, 40, 0,
                                     0,   0,   2,  0, 0, 0, 1, 0, 0,   0, 1,  0,   24, 0, 0,  0,
                                     0,   0,   8,  0, 0, 0, 0, 0, 0,   0, 0,  0,   0,  0, 0,  0,
                                     0,   0,   0,  0, 0, 0, 0, 0, 255, 0, 0,  255, 0,  0};
        out.write(reinterpret_cast<const char*>(bmp), sizeof bmp);
    }
    auto* bitmap = static_cast<HBITMAP>(LoadImageW(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0,
                                                   LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    ASSERT_EQ(SetClipboardData(CF_BITMAP, bitmap), bitmap);
    CloseClipboard();
    EXPECT_EQ(button->PasteFace(), S_OK);
    const auto barsNow = host->Bars(1);
    ASSERT_EQ(barsNow.size(), 4u);
    ASSERT_EQ(barsNow[3].controls.size(), 1u);
    EXPECT_EQ(barsNow[3].controls[0].image, platform::host::BitmapSource(bitmap));
    EXPECT_NE(barsNow[3].controls[0].image, L"");
}

// The add-in's click sink, connected to one button only.
class ClickSink
    : public IDispEventSimpleImpl<1, ClickSink, &__uuidof(Office::_CommandBarButtonEvents)> {
  public:
    std::vector<std::wstring> clicks;
    bool cancel = false;
    void __stdcall OnClick(Office::_CommandBarButton* ctrl, VARIANT_BOOL* cancelDefault) {
        BSTR caption = nullptr;
        ctrl->get_Caption(&caption);
        clicks.push_back(Take(caption) + (*cancelDefault ? L" cancelled" : L""));
        if (cancel)
            *cancelDefault = VARIANT_TRUE;
    }
    static inline _ATL_FUNC_INFO ClickInfo = {
        CC_STDCALL, VT_EMPTY, 2, {VT_DISPATCH, VT_BYREF | VT_BOOL}};
    BEGIN_SINK_MAP(ClickSink)
    SINK_ENTRY_INFO(1, __uuidof(Office::_CommandBarButtonEvents),
                    DISPID_Office_CommandBarButtonEvents_Click, &ClickSink::OnClick, &ClickInfo)
    END_SINK_MAP()
};

TEST_F(CommandBarsTest, AClickReachesTheSinksOfEveryButtonWithTheSameTag) {
    const int first = host->OpenExplorer(L"Inbox");
    const int second = host->OpenExplorer(L"Calendar");
    CComPtr<Office::CommandBar> firstBar = AddBar(BarsOf(first), L"Brevint toolbar");
    CComPtr<Office::CommandBar> secondBar = AddBar(BarsOf(second), L"Brevint toolbar");
    firstBar->put_Visible(VARIANT_TRUE);
    secondBar->put_Visible(VARIANT_TRUE);
    CComPtr<Office::_CommandBarButton> watched = AddButton(firstBar, L"Block", L"Tag Block");
    CComPtr<Office::_CommandBarButton> twin = AddButton(secondBar, L"Block", L"Tag Block");
    AddButton(secondBar, L"Unblock", L"Tag Unblock");
    ClickSink sink;
    ASSERT_EQ(sink.DispEventAdvise(watched), S_OK);

    EXPECT_EQ(host->ClickControl(second, {L"Brevint toolbar", L"block"}), L"");
    EXPECT_EQ(host->ClickTag(second, L"Tag Unblock"), L"");  // no sink on that tag
    EXPECT_EQ(sink.clicks, std::vector<std::wstring>{L"Block"});

    ASSERT_EQ(twin->put_Enabled(VARIANT_FALSE), S_OK);
    EXPECT_NE(host->ClickControl(second, {L"Brevint toolbar", L"Block"}), L"");
    EXPECT_NE(host->ClickControl(second, {L"Brevint toolbar", L"Options"}), L"");
    EXPECT_EQ(sink.clicks.size(), 1u);

    ASSERT_EQ(sink.DispEventUnadvise(watched), S_OK);
    EXPECT_EQ(host->ClickControl(first, {L"Brevint toolbar", L"Block"}), L"");
    EXPECT_EQ(sink.clicks.size(), 1u);
}

TEST_F(CommandBarsTest, TheUserMovesABarAsItsProtectionAllows) {
    const int id = host->OpenExplorer(L"Inbox");
    CComPtr<Office::CommandBar> bar = AddBar(BarsOf(id), L"Brevint toolbar");
    ASSERT_EQ(bar->put_Visible(VARIANT_TRUE), S_OK);
    int row = 0;
    ASSERT_EQ(bar->get_RowIndex(&row), S_OK);
    EXPECT_EQ(row, 3);  // below Outlook's two rows
    ASSERT_EQ(bar->put_Protection(static_cast<Office::MsoBarProtection>(59)), S_OK);
    EXPECT_EQ(host->MoveBar(id, L"Brevint toolbar", 2, 300, 26), L"");
    int left = 0, top = 0;
    ASSERT_EQ(bar->get_Left(&left), S_OK);
    ASSERT_EQ(bar->get_Top(&top), S_OK);
    ASSERT_EQ(bar->get_RowIndex(&row), S_OK);
    EXPECT_EQ(std::vector<int>({row, left, top}), std::vector<int>({2, 300, 26}));
    RECT rect{};
    GetWindowRect(host->Bars(id)[3].window, &rect);
    HWND dock = GetParent(host->Bars(id)[3].window);
    RECT dockRect{};
    GetWindowRect(dock, &dockRect);
    EXPECT_EQ(rect.left - dockRect.left, 300);

    ASSERT_EQ(bar->put_Protection(Office::msoBarNoMove), S_OK);
    EXPECT_NE(host->MoveBar(id, L"Brevint toolbar", 1, 0, 0), L"");
    // A caller places it where it likes: the row follows the top.
    ASSERT_EQ(bar->put_Top(60), S_OK);
    ASSERT_EQ(bar->get_RowIndex(&row), S_OK);
    EXPECT_EQ(row, 3);
}

TEST_F(CommandBarsTest, BarsThatAreNotTemporaryAreFoundAgainAfterARestart) {
    int id = host->OpenExplorer(L"Inbox");
    CComPtr<Office::CommandBar> kept = AddBar(BarsOf(id), L"Brevint toolbar old", false);
    AddButton(kept, L"Block", L"Tag Block");
    CComPtr<Office::CommandBarControls> controls;
    ASSERT_EQ(kept->get_Controls(&controls), S_OK);
    CComPtr<Office::CommandBarControl> lasting;
    ASSERT_EQ(controls->Add(Omitted(), Omitted(), Omitted(), Omitted(), Omitted(), &lasting), S_OK);
    ASSERT_EQ(lasting->put_Caption(CComBSTR(L"Lasting")), S_OK);
    AddBar(BarsOf(id), L"Brevint toolbar", true);
    kept.Release();
    controls.Release();
    lasting.Release();
    host.reset();

    host = std::make_unique<OutlookHost>(L"12.0.0.6423");
    id = host->OpenExplorer(L"Inbox");
    const auto bars = host->Bars(id);
    ASSERT_EQ(bars.size(), 4u);
    EXPECT_EQ(bars[3].name, L"Brevint toolbar old");
    ASSERT_EQ(bars[3].controls.size(), 1u);  // the temporary button is gone
    EXPECT_EQ(bars[3].controls[0].caption, L"Lasting");
    ASSERT_NE(bars[3].window, nullptr);
    // Deleted, it is gone at the next start too.
    CComPtr<Office::CommandBar> old;
    ASSERT_EQ(BarsOf(id)->get_Item(CComVariant(L"brevint toolbar old"), &old), S_OK);
    ASSERT_EQ(old->Delete(), S_OK);
    host.reset();
    host = std::make_unique<OutlookHost>(L"12.0.0.6423");
    EXPECT_EQ(host->Bars(host->OpenExplorer(L"Inbox")).size(), 3u);
}

TEST_F(CommandBarsTest, AnotherApartmentBuildsABarThroughProxies) {
    const int id = host->OpenExplorer(L"Inbox");
    CComPtr<Office::_CommandBars> bars = BarsOf(id);
    IStream* stream = nullptr;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(__uuidof(Office::_CommandBars), bars, &stream),
              S_OK);
    HRESULT added = E_FAIL, captioned = E_FAIL;
    int count = 0;
    TestThread worker([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {
            CComPtr<Office::_CommandBars> remote;
            if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, __uuidof(Office::_CommandBars),
                                                         reinterpret_cast<void**>(&remote)))) {
                CComPtr<Office::CommandBar> bar;
                added = remote->Add(CComVariant(L"Remote"), Omitted(), Omitted(), CComVariant(true),
                                    &bar);
                CComPtr<Office::CommandBarControls> controls;
                CComPtr<Office::CommandBarControl> control;
                if (bar && SUCCEEDED(bar->get_Controls(&controls)) &&
                    SUCCEEDED(controls->Add(Omitted(), Omitted(), Omitted(), Omitted(), Omitted(),
                                            &control))) {
                    CComQIPtr<Office::_CommandBarButton> button(control);
                    if (button)
                        captioned = button->put_Caption(CComBSTR(L"Far"));
                }
                remote->get_Count(&count);
            }
        }
        CoUninitialize();
        return DWORD{0};
    });
    ServeUntil(worker.handle());
    ServePending();
    EXPECT_EQ(added, S_OK);
    EXPECT_EQ(captioned, S_OK);
    EXPECT_EQ(count, 4);
    const auto state = host->Bars(id);
    ASSERT_EQ(state.size(), 4u);
    ASSERT_EQ(state[3].controls.size(), 1u);
    EXPECT_EQ(state[3].controls[0].caption, L"Far");
}

TEST_F(CommandBarsTest, AnyMemberCanBeMadeToFailWithOfficesErrorInformation) {
    CComPtr<Office::_CommandBars> bars = BarsOf(host->OpenExplorer(L"Inbox"));
    CComPtr<Office::_CommandBarButton> button = AddButton(AddBar(bars, L"Tools"), L"Block", L"b");
    ArmFailure(L"CommandBarButton.Caption", E_FAIL);
    BSTR caption = nullptr;
    EXPECT_EQ(button->get_Caption(&caption), E_FAIL);
    EXPECT_EQ(caption, nullptr);
    EXPECT_EQ(button->get_Caption(&caption), S_OK);
    EXPECT_EQ(Take(caption), L"Block");
    // Called through the control interface that every kind of control
    // shares, the failure's information is given as well.
    CComQIPtr<ISupportErrorInfo> errors(button);
    ASSERT_TRUE(errors);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(__uuidof(Office::_CommandBarButton)), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(__uuidof(Office::CommandBarControl)), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(__uuidof(Office::CommandBarPopup)), S_FALSE);
    ArmFailure(L"CommandBars.Add", E_FAIL);
    CComVariant result;
    EXCEPINFO exception{};
    EXPECT_EQ(CallByName(bars, L"Add", DISPATCH_METHOD, {CComVariant(L"X")}, &result, &exception),
              DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, E_FAIL);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

}  // namespace
