// The spam folder as the filtering code finds and makes it, with Outlook and
// the settings but without the add-in object; and the folder commands' guard,
// which refuses Outlook's own default folders.
#include "filtering/spam_folder.h"

#include <platform/windows.h>

#include "outlook_session.h"
#include "support/settings/settings.h"

namespace {

class SpamFolderTest : public OutlookSessionTest {
  protected:
    // Outlook's folder of a stored folder.
    CComPtr<Outlook::MAPIFolder> OutlookFolder(const mailstore::FolderPtr& folder) {
        CComPtr<Outlook::MAPIFolder> found;
        EXPECT_EQ(m_names->GetFolderFromID(
                      CComBSTR(mailstore::EntryIdToHex(folder->Id()).c_str()),
                      CComVariant(mailstore::EntryIdToHex(m_store->Id()).c_str()), &found),
                  S_OK);
        return found;
    }
    // The identifier stored for the profile.
    static std::wstring StoredId() {
        std::wstring id;
        CSettings::GetSpamFolderId(L"Outlook", id);
        return id;
    }
    std::wstring FoundId(const CSpamFolder& spamFolder) const {
        CComPtr<Outlook::MAPIFolder> folder;
        spamFolder.Find(folder);
        CComBSTR id;
        if (folder)
            folder->get_EntryID(&id);
        return id ? std::wstring(id) : std::wstring();
    }

    CComPtr<Outlook::_Application> m_noApplication;
};

}  // namespace

TEST_F(SpamFolderTest, MadeBesideTheInboxOnceAndFoundByItsStoredIdentifier) {
    CSpamFolder spamFolder(m_application);
    EXPECT_EQ(FoundId(spamFolder), L"");
    EXPECT_FALSE(spamFolder.MakeSure(false));
    EXPECT_EQ(BesideInbox(L"Brevint"), nullptr);

    EXPECT_TRUE(spamFolder.MakeSure(true));
    const mailstore::FolderPtr made = BesideInbox(L"Brevint");
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(StoredId(), mailstore::EntryIdToHex(made->Id()));
    EXPECT_EQ(FoundId(spamFolder), StoredId());
    // Renamed by the user, it is still the spam folder; nothing is made again.
    made->Rename(L"Junk of mine");
    EXPECT_TRUE(spamFolder.MakeSure(true));
    EXPECT_EQ(BesideInbox(L"Brevint"), nullptr);
    EXPECT_EQ(FoundId(spamFolder), mailstore::EntryIdToHex(made->Id()));
}

TEST_F(SpamFolderTest, AFolderOfThatNameIsAdoptedAndADeletedOneMadeAgain) {
    const mailstore::FolderPtr own =
        m_store->ReceiveFolder()->Parent()->CreateSubfolder(L"brevint");
    CSpamFolder spamFolder(m_application);
    EXPECT_TRUE(spamFolder.MakeSure(true));
    EXPECT_EQ(StoredId(), mailstore::EntryIdToHex(own->Id()));

    own->Delete();
    EXPECT_EQ(FoundId(spamFolder), L"");
    EXPECT_TRUE(spamFolder.MakeSure(true));
    const mailstore::FolderPtr again = BesideInbox(L"Brevint");
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again->Id(), own->Id());
    EXPECT_EQ(StoredId(), mailstore::EntryIdToHex(again->Id()));
}

TEST_F(SpamFolderTest, BeforeConnectionThereIsNoOutlookToAsk) {
    CSpamFolder spamFolder(m_noApplication);
    EXPECT_FALSE(spamFolder.MakeSure(true));
    EXPECT_EQ(FoundId(spamFolder), L"");
    EXPECT_EQ(BesideInbox(L"Brevint"), nullptr);
    // The pointer is read at each call: once connected, the folder is made.
    m_noApplication = m_application;
    EXPECT_TRUE(spamFolder.MakeSure(true));
    EXPECT_NE(BesideInbox(L"Brevint"), nullptr);
}

TEST_F(SpamFolderTest, CheckFolderRefusesTheDefaultFolderOfTheKindWithItsMessageWhenAsked) {
    CComPtr<Outlook::MAPIFolder> inbox = OutlookFolder(m_store->ReceiveFolder());
    const size_t shownBefore = platform::host::MessageBoxes().size();
    EXPECT_FALSE(
        CheckFolder(m_names, Outlook::olFolderInbox, inbox, L"Not the Inbox, please.", true));
    auto boxes = platform::host::MessageBoxes();
    ASSERT_EQ(boxes.size(), shownBefore + 1);
    EXPECT_EQ(boxes.back().caption, L"Brevint");
    EXPECT_EQ(boxes.back().text, L"Not the Inbox, please.");

    EXPECT_FALSE(CheckFolder(m_names, Outlook::olFolderInbox, inbox, L"quiet", false));
    EXPECT_EQ(platform::host::MessageBoxes().size(), shownBefore + 1);
}

TEST_F(SpamFolderTest, CheckFolderLetsAnyOtherFolderPass) {
    CComPtr<Outlook::MAPIFolder> projects =
        OutlookFolder(m_store->IpmSubtree()->CreateSubfolder(L"Projects"));
    const size_t shownBefore = platform::host::MessageBoxes().size();
    EXPECT_TRUE(CheckFolder(m_names, Outlook::olFolderInbox, projects, L"never shown", true));
    // A kind this store has no folder of cannot be compared: it passes.
    EXPECT_TRUE(CheckFolder(m_names, 18, projects, L"never shown", true));
    EXPECT_EQ(platform::host::MessageBoxes().size(), shownBefore);
}
