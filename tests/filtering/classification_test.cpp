// New mail judged and spam moved, without the add-in object: Outlook's
// stand-in over a store, the filter proxy over a fake core, the spam folder
// made on demand, and the settings in the registry.
#include "filtering/classification.h"

#include <mailstore/properties.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "outlook_session.h"
#include "service/brevint_proxy.h"
#include "service/fake_core.h"

namespace {

constexpr char kSpam[] =
    "From: deals@pharma.example\r\nTo: jane@example.org\r\nSubject: Pills\r\n"
    "Disposition-Notification-To: deals@pharma.example\r\n\r\nBuy now.\r\n";
constexpr char kGood[] =
    "From: ann@example.com\r\nTo: jane@example.org\r\nSubject: Lunch\r\n\r\nAt one?\r\n";
constexpr char kSigned[] =
    "From: ann@example.com\r\nTo: jane@example.org\r\nSubject: Signed\r\n"
    "Content-Type: application/pkcs7-mime\r\n\r\nxyz\r\n";

void SetUserDword(const wchar_t* key, const wchar_t* name, DWORD value) {
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, key, &opened), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(opened, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof value),
              ERROR_SUCCESS);
    RegCloseKey(opened);
}

class ClassificationTest : public OutlookSessionTest {
  protected:
    void SetUp() override {
        OutlookSessionTest::SetUp();
        m_proxy = std::make_unique<CBrevintProxy>(
            [this](const wchar_t* progId, REFIID iid, void** object) -> HRESULT {
                if (std::wstring(progId) != L"Brevint.Filter")
                    return REGDB_E_CLASSNOTREG;
                return m_filter->QueryInterface(iid, object);
            });
        m_proxy->Initialize();
    }
    void TearDown() override {
        m_proxy.reset();
        m_filter->Release();
        OutlookSessionTest::TearDown();
    }

    static void SetThreshold(DWORD threshold) {
        SetUserDword(L"Software\\Brevint\\Thresholds", L"Filter", threshold);
    }
    // Judges a delivered message as new mail.
    void Classify(const mailstore::MessagePtr& message) {
        CMailClassifier classifier(
            [this]() -> CBrevintProxy& {
                ++m_proxyAsked;
                return *m_proxy;
            },
            m_spamFolder);
        classifier.ProcessNewMail(ItemOf(message));
    }
    size_t InboxCount() const { return m_store->ReceiveFolder()->Messages().size(); }

    fake::Filter* m_filter = new fake::Filter;
    std::unique_ptr<CBrevintProxy> m_proxy;
    CSpamFolder m_spamFolder{m_application};
    int m_proxyAsked = 0;
};

}  // namespace

TEST_F(ClassificationTest, SpamLosesItsReceiptStaysUnreadAndGoesIntoTheSpamFolderMadeForIt) {
    SetThreshold(50);
    m_filter->score = 90;
    Classify(Deliver(kSpam));
    EXPECT_EQ(InboxCount(), 0u);
    const mailstore::FolderPtr spamFolder = BesideInbox(L"Brevint");
    ASSERT_NE(spamFolder, nullptr);
    ASSERT_EQ(spamFolder->Messages().size(), 1u);
    const mailstore::MessagePtr moved = spamFolder->Messages().front();
    EXPECT_FALSE(moved->IsRead());
    EXPECT_FALSE(moved->GetBool(mailstore::tags::kReadReceiptRequested).value_or(false));
    const auto lines = LinesOf("CConnect::ProcessNewMail");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "MAIL - From: Subj:Pills SPAM: 1");
    EXPECT_EQ(lines.back(), "MAIL - From: Subj:Pillswas succesfuly moved");

    // "Move as Read" set: the next spam arrives read.
    SetUserDword(L"Software\\Brevint\\Clients\\Outlook\\Settings", L"Move as Read", 1);
    Classify(Deliver(kGood));
    ASSERT_EQ(spamFolder->Messages().size(), 2u);
    EXPECT_TRUE(spamFolder->Messages().back()->IsRead());
}

TEST_F(ClassificationTest, GoodMailAndMailWithoutAVerdictStayWhereTheyAre) {
    const mailstore::MessagePtr good = Deliver(kGood);
    Classify(good);  // no threshold: no verdict
    SetThreshold(50);
    m_filter->score = 10;
    Classify(good);
    EXPECT_EQ(InboxCount(), 1u);
    EXPECT_FALSE(good->IsRead());
    EXPECT_EQ(BesideInbox(L"Brevint"), nullptr);
    const auto lines = LinesOf("CConnect::ProcessNewMail");
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "MAIL - From: Subj:Lunch not judged: left where it is"),
              1);
    EXPECT_EQ(lines.back(), "MAIL - From: Subj:Lunch SPAM: 0");
}

TEST_F(ClassificationTest, MailThatIsNotPlainOrTooLargeNeverReachesTheFilter) {
    SetThreshold(0);  // everything judged would be spam
    Classify(Deliver(kSigned));
    Classify(Deliver(std::string(kGood) + std::string(600000, 'x')));
    EXPECT_EQ(m_filter->scored, 0);
    EXPECT_EQ(m_proxyAsked, 0);
    EXPECT_EQ(InboxCount(), 2u);
    const auto lines = LinesOf("CConnect::ProcessNewMail");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "mailclass error"), lines.end());
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.rfind("To big message size: ", 0) == 0;
    }));
}
