// One explorer's bar built, kept in step and placed without the add-in
// object: Outlook's stand-in shows what the user would see, and the world's
// calls are made to fail where Office could fail them.
#include "toolbar/toolbar_builder.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <mailstore/model.h>
#include <platform/call_faults.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/settings/settings.h"
#include "support/utility/brevint_helper.h"
#include "toolbar/logo_window.h"
#include "toolbar/outlook_explorers.h"
#include "toolbar/toolbar_state.h"

namespace {

using outlook::host::BarInfo;
using outlook::host::ControlInfo;

class ToolbarBuilderTest : public OutlookExplorers {
  protected:
    void SetUp() override {
        OutlookExplorers::SetUp();
        m_explorerId = m_host->OpenExplorer(L"Inbox - Microsoft Outlook");
        m_record.explorer = Active();
        ASSERT_TRUE(m_record.explorer);
    }
    void ReleaseObjects() override {
        platform::calls::DisarmAll();
        m_record = CToolbarRecord();
        m_builder.reset();
    }

    // The bar of that name as the user sees it; fails the test when absent.
    BarInfo Bar(const std::wstring& name = L"Brevint toolbar") const {
        for (const BarInfo& bar : m_host->Bars(m_explorerId))
            if (bar.name == name)
                return bar;
        ADD_FAILURE() << "no bar of that name";
        return {};
    }
    static std::vector<std::wstring> Tags(const std::vector<ControlInfo>& controls) {
        std::vector<std::wstring> tags;
        for (const ControlInfo& control : controls)
            tags.push_back(control.tag);
        return tags;
    }

    int m_explorerId = 0;
    CToolbarRecord m_record;
    CBrevintHelper m_labels;  // no language file here: every label falls back
    CLogoWindows m_logos;
    std::unique_ptr<CToolbarBuilder> m_builder =
        std::make_unique<CToolbarBuilder>(m_labels, m_logos);
};

}  // namespace

TEST_F(ToolbarBuilderTest, TheBarHoldsItsControlsInOrderWithFallbackLabelsAndTheirStates) {
    m_builder->CreateBVToolbar(m_record, {});
    const BarInfo bar = Bar();
    EXPECT_TRUE(bar.visible);
    EXPECT_TRUE(bar.temporary);
    EXPECT_EQ(bar.position, Office::msoBarTop);
    EXPECT_EQ(bar.protection, 59);

    // Without a language file the captions are "[N/A]" and the tags follow them.
    ASSERT_EQ(Tags(bar.controls),
              (std::vector<std::wstring>{L"Tag Logo", L"Tag [N/A]", L"Tag [N/A]", L"Tag [N/A]",
                                         L"Tag Advert"}));
    const ControlInfo& logo = bar.controls[0];
    EXPECT_EQ(logo.caption, L"");
    EXPECT_EQ(logo.width, 90);
    EXPECT_FALSE(logo.enabled);
    EXPECT_EQ(logo.priority, 1);
    const ControlInfo& block = bar.controls[1];
    EXPECT_FALSE(block.enabled);
    EXPECT_TRUE(block.beginGroup);
    EXPECT_EQ(block.tooltip, L"[N/A]");
    EXPECT_EQ(block.style, Office::msoButtonCaption);  // no image file: caption only
    EXPECT_EQ(bar.controls[4].priority, 1);
    EXPECT_TRUE(bar.controls[4].beginGroup);

    const ControlInfo& mainMenu = bar.controls[3];
    ASSERT_EQ(mainMenu.type, Office::msoControlPopup);
    ASSERT_EQ(mainMenu.controls.size(), 6u);
    const ControlInfo& tellAFriend = mainMenu.controls[4];
    EXPECT_FALSE(tellAFriend.visible);  // shown once the service gives a link
    const ControlInfo& options = mainMenu.controls[5];
    EXPECT_EQ(options.caption, L"Your spam folder is already empty.");  // key 8's fallback
    EXPECT_TRUE(options.enabled);
    EXPECT_EQ(Tags(mainMenu.controls[0].controls),
              (std::vector<std::wstring>{L"Tag BL[N/A]", L"Tag BL[N/A]"}));
    EXPECT_EQ(Tags(mainMenu.controls[1].controls),
              (std::vector<std::wstring>{L"Tag WL[N/A]", L"Tag WL[N/A]"}));
    EXPECT_TRUE(m_record.whitelistDomainButton);
}

TEST_F(ToolbarBuilderTest, BesideTheExchangeModuleTheBarHasThirteenControlsAndWaitsForTheModule) {
    m_builder->CreateBVToolbar(m_record, {.exchangeModule = true});
    const BarInfo bar = Bar();
    ASSERT_EQ(bar.controls.size(), 5u);
    EXPECT_EQ(bar.controls[4].caption, L"Connecting to VXM");
    size_t count = 0;
    for (const ControlInfo& control : bar.controls)
        count += 1 + control.controls.size();
    for (const ControlInfo& menu : bar.controls[3].controls)
        count += menu.controls.size();
    EXPECT_EQ(count, 13u);
    EXPECT_FALSE(m_record.recheckButton);
    EXPECT_FALSE(m_record.tellAFriendButton);
}

TEST_F(ToolbarBuilderTest, LeftoverBarsOfTheFamilyGoInAnyLetterCaseAndOthersStay) {
    CComPtr<Office::_CommandBars> bars;
    ASSERT_EQ(m_record.explorer->get_CommandBars(&bars), S_OK);
    CComVariant kept(false);
    VARIANT omitted;
    V_VT(&omitted) = VT_ERROR;
    V_ERROR(&omitted) = DISP_E_PARAMNOTFOUND;
    CComPtr<Office::CommandBar> leftover, other;
    ASSERT_EQ(bars->Add(CComVariant(L"BREVINT TOOLBAR"), omitted, omitted, kept, &leftover), S_OK);
    ASSERT_EQ(bars->Add(CComVariant(L"Contacts"), omitted, omitted, kept, &other), S_OK);

    m_builder->CreateBVToolbar(m_record, {});
    std::vector<std::wstring> names;
    for (const BarInfo& bar : m_host->Bars(m_explorerId))
        names.push_back(bar.name);
    EXPECT_EQ(std::count(names.begin(), names.end(), L"BREVINT TOOLBAR"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), L"Brevint toolbar"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), L"Contacts"), 1);
    EXPECT_EQ(
        LinesOf("CConnect::CreateBVToolbar"),
        (std::vector<std::string>{"Old Brevint toolbar found", "Old Brevint toolbar was deleted"}));
}

TEST_F(ToolbarBuilderTest, AFailingCallEndsOnlyItsOwnStepAndTheBarIsStillBuilt) {
    // The logo button's caption is refused: its later properties stay unset,
    // the logo is still disabled afterwards, and every other control is built.
    platform::calls::Arm(L"CommandBarButton.Caption", {});
    m_builder->CreateBVToolbar(m_record, {});
    BarInfo bar = Bar();
    ASSERT_EQ(bar.controls.size(), 5u);
    EXPECT_EQ(bar.controls[0].tag, L"");
    EXPECT_FALSE(bar.controls[0].enabled);
    EXPECT_EQ(bar.controls[1].tag, L"Tag [N/A]");
    const auto lines = LogLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.rfind("COMEX: CConnect::AddToolbarButton", 0) == 0;
                            }),
              1);

    // No bar at all: nothing goes into it, and that is said.
    m_record = CToolbarRecord();
    ASSERT_EQ(m_application->ActiveExplorer(&m_record.explorer), S_OK);
    platform::calls::Arm(L"CommandBars.Add", {});
    m_builder->CreateBVToolbar(m_record, {});
    EXPECT_FALSE(m_record.commandBar);
    EXPECT_FALSE(m_record.blockButton);
    const auto said = LinesOf("CConnect::CreateBVToolbar");
    EXPECT_NE(std::find(said.begin(), said.end(), "Could not get command bar controls 1"),
              said.end());
}

TEST_F(ToolbarBuilderTest, StateFollowsTheAccountAndThePlaceIsKeptOnlyWhenWhole) {
    m_builder->CreateBVToolbar(m_record, {});
    ToolbarRecords records(1);
    records[0] = m_record;

    EnableToolbar(records, true, {false, true});  // the account is disabled
    BarInfo bar = Bar();
    EXPECT_FALSE(bar.controls[1].enabled);  // block
    EXPECT_FALSE(bar.controls[2].enabled);  // unblock
    const ControlInfo& mainMenu = bar.controls[3];
    EXPECT_TRUE(mainMenu.controls[2].enabled);              // recheck
    EXPECT_TRUE(mainMenu.controls[0].controls[0].enabled);  // blacklist: sender's address
    EXPECT_TRUE(mainMenu.controls[4].enabled);              // tell-a-friend, still hidden
    EXPECT_FALSE(mainMenu.controls[4].visible);
    ShowTellAFriend(records);
    EXPECT_TRUE(Bar().controls[3].controls[4].visible);

    // The first bar, moved to row 2 at x 300, is where the next bars go.
    Office::CommandBar* first = records[0].commandBar;
    ASSERT_EQ(first->put_RowIndex(2), S_OK);
    ASSERT_EQ(first->put_Left(300), S_OK);
    SaveToolbarPosition(records);
    DWORD left = 0, row = 0, top = 0;
    ASSERT_TRUE(CSettings::GetToolbarLeft(left));
    ASSERT_TRUE(CSettings::GetToolbarRowIndex(row));
    ASSERT_TRUE(CSettings::GetToolbarTop(top));
    EXPECT_EQ(left, 300u);
    EXPECT_EQ(row, 2u);
    ASSERT_EQ(first->put_RowIndex(1), S_OK);
    ASSERT_EQ(first->put_Left(0), S_OK);

    // Two of the three values of a place are no place: the bar stays put.
    HKEY position = nullptr;
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_CURRENT_USER,
                      L"Software\\Brevint\\Clients\\Outlook\\Settings\\Toolbars\\Main\\Position", 0,
                      KEY_ALL_ACCESS, &position),
        ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueW(position, L"Top"), ERROR_SUCCESS);
    RegCloseKey(position);
    LoadToolbarPosition(records[0]);
    EXPECT_EQ(Bar().left, 0);
    EXPECT_EQ(Bar().rowIndex, 1);
    ASSERT_TRUE(CSettings::SetToolbarTop(top));
    LoadToolbarPosition(records[0]);
    EXPECT_EQ(Bar().left, 300);
    EXPECT_EQ(Bar().rowIndex, 2);
}
