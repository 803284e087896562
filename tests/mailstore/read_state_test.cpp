// A message's read state and read receipt as the add-in changes them through
// Extended MAPI on Outlook's items: the store model shows what was written.
#include "mailstore/read_state.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <mailstore/model.h>
#include <mailstore/properties.h>

#include <string>
#include <vector>

#include "mailstore/mapi_helper.h"
#include "mapiview/installation.h"
#include "outlook_host.h"
#include "support/log_files.h"
#include "temp_root.h"

namespace {

constexpr char kReceiptMail[] =
    "From: deals@pharma.example\r\nTo: jane@example.org\r\nSubject: Pills\r\n"
    "Disposition-Notification-To: deals@pharma.example\r\n\r\nBuy now.\r\n";
constexpr char kPlainMail[] =
    "From: ann@example.com\r\nTo: jane@example.org\r\nSubject: Lunch\r\n\r\nAt one?\r\n";

class ReadStateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeLogsFolder();
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        mapiview::MapiInstallation installation;
        installation.builtMapi32 = BV_MAPI32_MODULE_FILE;
        installation.builtMapistub = BV_MAPISTUB_MODULE_FILE;
        std::vector<std::string> done;
        std::string error;
        ASSERT_TRUE(mapiview::InstallMapi(installation, done, error)) << error;
        ASSERT_TRUE(CMapiHelper::LoadFunctions());
        auto profile = mailstore::Model::Process().AddProfile(L"Outlook");
        m_store = profile->AddStore(mailstore::StoreSettings::Personal(L"Personal Folders"));
        m_host = std::make_unique<outlook::host::OutlookHost>(L"11.0.0.8312");
        ASSERT_EQ(m_host->MapiNamespace(&m_names), S_OK);
    }
    void TearDown() override {
        m_names.Release();
        m_host.reset();
        mailstore::Model::Process().Clear();
        CoUninitialize();
    }

    // A delivered message and Outlook's item of it.
    MailItemRef Deliver(std::string_view text) {
        m_message = m_store->ReceiveFolder()->Deliver(mailstore::Bytes(text.begin(), text.end()));
        CComVariant omitted;
        omitted.vt = VT_ERROR;
        omitted.scode = DISP_E_PARAMNOTFOUND;
        CComPtr<IDispatch> item;
        const CComBSTR id(mailstore::EntryIdToHex(m_message->Id()).c_str());
        EXPECT_EQ(m_names->GetItemFromID(id, omitted, &item), S_OK);
        return CComQIPtr<Outlook::_MailItem>(item).p;
    }
    bool ReceiptRequested() const {
        return m_message->GetBool(mailstore::tags::kReadReceiptRequested).value_or(false);
    }

    TempRoot m_root;
    mailstore::StorePtr m_store;
    mailstore::MessagePtr m_message;
    std::unique_ptr<outlook::host::OutlookHost> m_host;
    CComPtr<Outlook::_NameSpace> m_names;
};

}  // namespace

TEST_F(ReadStateTest, APendingReceiptIsClearedAndTheMessageStaysUnread) {
    MailItemRef item = Deliver(kReceiptMail);
    ASSERT_TRUE(ReceiptRequested());
    ASSERT_FALSE(m_message->IsRead());
    EXPECT_TRUE(SuppressReadReceipt(item));
    EXPECT_FALSE(ReceiptRequested());
    EXPECT_FALSE(m_message->IsRead());

    // Nothing asked for: nothing to clear, and the answer says so.
    EXPECT_FALSE(SuppressReadReceipt(item));
    EXPECT_FALSE(SuppressReadReceipt(nullptr));
}

TEST_F(ReadStateTest, TheReadStateIsSetEitherWayAndLeftWhenItAlreadyHolds) {
    MailItemRef item = Deliver(kPlainMail);
    EXPECT_TRUE(SetMessageUnread(item, false));
    EXPECT_TRUE(m_message->IsRead());
    EXPECT_TRUE(SetMessageUnread(item, false));
    EXPECT_TRUE(m_message->IsRead());
    EXPECT_TRUE(SetMessageUnread(item, true));
    EXPECT_FALSE(m_message->IsRead());
    // An item without a message behind it cannot be changed.
    EXPECT_FALSE(SetMessageUnread(nullptr, true));
}
