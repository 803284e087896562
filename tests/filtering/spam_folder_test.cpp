// The folder commands' guard: Outlook's own default folders are refused, the
// user told when asked; any other folder passes.
#include "filtering/spam_folder.h"

#include <atlbase.h>
#include <objbase.h>
#include <platform/windows.h>

#include <gtest/gtest.h>
#include <mailstore/model.h>

#include "outlook_host.h"
#include "support/log_files.h"
#include "temp_root.h"

namespace {

class CheckFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeLogsFolder();
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        auto profile = mailstore::Model::Process().AddProfile(L"Outlook");
        profile->AddStore(mailstore::StoreSettings::Personal(L"Personal Folders"));
        host_ = std::make_unique<outlook::host::OutlookHost>(L"11.0.0.8312");
        ASSERT_EQ(host_->MapiNamespace(&names_), S_OK);
    }
    void TearDown() override {
        names_.Release();
        host_.reset();
        mailstore::Model::Process().Clear();
        CoUninitialize();
    }
    CComPtr<Outlook::MAPIFolder> Default(LONG kind) {
        CComPtr<Outlook::MAPIFolder> folder;
        EXPECT_EQ(names_->GetDefaultFolder(kind, &folder), S_OK);
        return folder;
    }

    TempRoot root_;
    std::unique_ptr<outlook::host::OutlookHost> host_;
    CComPtr<Outlook::_NameSpace> names_;
};

}  // namespace

TEST_F(CheckFolderTest, TheDefaultFolderOfTheKindIsRefusedWithItsMessageWhenAsked) {
    auto inbox = Default(kOlFolderInbox);
    const size_t shownBefore = platform::host::MessageBoxes().size();
    EXPECT_FALSE(CheckFolder(names_, kOlFolderInbox, inbox, L"Not the Inbox, please.", true));
    auto boxes = platform::host::MessageBoxes();
    ASSERT_EQ(boxes.size(), shownBefore + 1);
    EXPECT_EQ(boxes.back().caption, L"Brevint");
    EXPECT_EQ(boxes.back().text, L"Not the Inbox, please.");

    EXPECT_FALSE(CheckFolder(names_, kOlFolderInbox, inbox, L"quiet", false));
    EXPECT_EQ(platform::host::MessageBoxes().size(), shownBefore + 1);
}

TEST_F(CheckFolderTest, AnyOtherFolderPasses) {
    auto drafts = Default(kOlFolderDrafts);
    const size_t shownBefore = platform::host::MessageBoxes().size();
    EXPECT_TRUE(CheckFolder(names_, kOlFolderInbox, drafts, L"never shown", true));
    // A kind this store has no folder of cannot be compared: it passes.
    EXPECT_TRUE(CheckFolder(names_, 18, drafts, L"never shown", true));
    EXPECT_EQ(platform::host::MessageBoxes().size(), shownBefore);
}
