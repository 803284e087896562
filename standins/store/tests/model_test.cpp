// The store model: identifiers, folders, delivery, moves and notifications.
#include <mailstore/model.h>

#include <windows.h>

#include <platform/clock.h>

#include <gtest/gtest.h>

#include "temp_root.h"

#include <atomic>
#include <set>
#include <thread>

namespace mailstore {
namespace {

using namespace std::string_literals;

Bytes AsBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

const Bytes kMail = AsBytes(
    "From: Bob <bob@example.com>\r\nTo: jane@example.org\r\nSubject: Lunch\r\n"
    "Message-ID: <lunch@example.com>\r\n\r\nAt noon?\r\n");

struct Recorded {
    std::vector<Notification> seen;
    std::mutex lock;
    NotificationCallback Callback() {
        return [this](const Notification& notification) {
            std::lock_guard guard(lock);
            seen.push_back(notification);
        };
    }
    std::vector<std::uint32_t> Events() {
        std::lock_guard guard(lock);
        std::vector<std::uint32_t> events;
        for (const auto& notification : seen)
            events.push_back(notification.event);
        return events;
    }
};

class ModelTest : public ::testing::Test {
  protected:
    ModelTest() {
        profile = model.AddProfile(L"Outlook");
        mailbox = profile->AddStore(StoreSettings::Exchange(
            L"Mailbox - Jane Doe", L"First Organization", "/o=First Organization/cn=jane"));
        personal = profile->AddStore(StoreSettings::Personal(L"Personal Folders"));
        inbox = mailbox->ReceiveFolder();
    }
    TempRoot m_root;  // where the stores' identifiers are counted
    Model model;
    ProfilePtr profile;
    StorePtr mailbox;
    StorePtr personal;
    FolderPtr inbox;
};

TEST(EntryIdText, RoundTripsAsUpperCaseHex) {
    const EntryId id = {0x00, 0x0A, 0xB1, 0xFF};
    EXPECT_EQ(EntryIdToHex(id), L"000AB1FF");
    EXPECT_EQ(EntryIdFromHex(L"000ab1FF"), id);
    EXPECT_EQ(EntryIdFromHex(std::string_view("000AB1FF")), id);
    EXPECT_FALSE(EntryIdFromHex(L"000AB1F"));   // odd length
    EXPECT_FALSE(EntryIdFromHex(L"000AB1FG"));  // not a digit
    EXPECT_EQ(EntryIdFromHex(L""), EntryId{});
}

TEST_F(ModelTest, StoresHaveTheirDefaultFoldersAndKinds) {
    EXPECT_EQ(inbox->Name(), L"Inbox");
    EXPECT_EQ(inbox->Parent(), mailbox->IpmSubtree());
    EXPECT_EQ(mailbox->IpmSubtree()->Parent(), mailbox->Root());
    EXPECT_EQ(mailbox->DefaultFolderOf(DefaultFolder::Junk)->Name(), L"Junk E-mail");
    EXPECT_EQ(mailbox->ReceiveFolder("IPM.Note.SMIME"), inbox);
    EXPECT_EQ(profile->DefaultStore(), mailbox);

    const auto archive = profile->AddStore(StoreSettings::Personal(L"Archive", false));
    EXPECT_EQ(archive->ReceiveFolder(), nullptr);
    EXPECT_NE(archive->DefaultFolderOf(DefaultFolder::DeletedItems), nullptr);
    const auto publicStore = profile->AddStore(StoreSettings::Public(L"Public Folders"));
    EXPECT_EQ(publicStore->ReceiveFolder(), nullptr);
    EXPECT_EQ(publicStore->ProviderId(), (Bytes{0x78, 0xB2, 0xFA, 0x70, 0xAF, 0xF7, 0x11, 0xCD,
                                                0x9B, 0xC8, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A}));
    EXPECT_NE(mailbox->ProviderId(), personal->ProviderId());

    // An archive before the mailbox does not become the default store.
    Model other;
    const auto second = other.AddProfile(L"Second");
    second->AddStore(StoreSettings::Personal(L"Archive", false));
    const auto pst = second->AddStore(StoreSettings::Personal(L"Personal Folders"));
    EXPECT_EQ(second->DefaultStore(), pst);
}

TEST_F(ModelTest, EveryObjectIsFoundByItsIdentifierAndIdentifiersAreUnique) {
    const auto message = inbox->Deliver(kMail);
    EXPECT_EQ(model.FindStore(mailbox->Id()), mailbox);
    EXPECT_EQ(model.FindFolder(inbox->Id()), inbox);
    EXPECT_EQ(model.FindMessage(message->Id()), message);
    // Through the text Outlook shows, and not across kinds of object.
    EXPECT_EQ(model.FindMessage(*EntryIdFromHex(EntryIdToHex(message->Id()))), message);
    EXPECT_EQ(model.FindFolder(message->Id()), nullptr);
    EXPECT_EQ(model.FindMessage(inbox->Id()), nullptr);

    std::set<EntryId> ids = {mailbox->Id(), personal->Id(), message->Id()};
    for (const auto& store : {mailbox, personal}) {
        for (const auto& folder : store->IpmSubtree()->Subfolders())
            ids.insert(folder->Id());
        ids.insert(store->Root()->Id());
        ids.insert(store->IpmSubtree()->Id());
    }
    EXPECT_EQ(ids.size(), 3u + 2u * (11u + 2u));
}

TEST_F(ModelTest, DeliveredMessageKeepsItsBytesAndIsUnreadWithTheClocksTime) {
    const SYSTEMTIME start = {2026, 3, 0, 14, 9, 30, 0, 0};
    platform::host::UseVirtualClock(start);
    const auto message = inbox->Deliver(kMail);
    EXPECT_EQ(message->Source(), kMail);
    EXPECT_EQ(message->Class(), "IPM.Note");
    EXPECT_EQ(message->Subject(), L"Lunch");
    EXPECT_FALSE(message->IsRead());
    EXPECT_EQ(message->Size(), kMail.size());
    EXPECT_EQ(message->Parent(), inbox);
    FILETIME expected{};
    SystemTimeToFileTime(&start, &expected);
    EXPECT_EQ(message->ReceivedTime().ticks,
              (std::uint64_t{expected.dwHighDateTime} << 32) | expected.dwLowDateTime);
    // Computed properties answer by tag as stored ones do.
    EXPECT_EQ(std::get<Bytes>(*message->Get(tags::kEntryId)), message->Id());
    EXPECT_EQ(std::get<Bytes>(*message->Get(tags::kParentEntryId)), inbox->Id());
    EXPECT_EQ(std::get<Bytes>(*message->Get(tags::kStoreEntryId)), mailbox->Id());
}

TEST_F(ModelTest, MalformedMessageIsRefusedAndNothingChanges) {
    Recorded recorded;
    mailbox->Advise(0xFFFFFFFF, recorded.Callback());
    EXPECT_THROW(inbox->Deliver(AsBytes("just some text\r\nwithout headers\r\n")), StoreError);
    EXPECT_THROW(inbox->Deliver({}), StoreError);
    EXPECT_TRUE(inbox->Messages().empty());
    EXPECT_TRUE(recorded.Events().empty());
}

TEST_F(ModelTest, MailWithControlBytesInItsHeadersIsDeliveredWithItsBytesUnchanged) {
    Recorded recorded;
    mailbox->Advise(kEventNewMail, recorded.Callback());
    const std::string text =
        "From: bob@example.com\r\nSubject: \x1b$B\0\x7f\r\nTo: j@x.org\r\n\r\nbody\0\r\n"s;
    const auto message = inbox->Deliver(AsBytes(text));
    EXPECT_EQ(message->Source(), AsBytes(text));
    EXPECT_EQ(message->Size(), text.size());
    EXPECT_EQ(message->Subject(), std::wstring(L"\x1b$B\0\x7f", 5));
    EXPECT_EQ(inbox->Messages(), std::vector<MessagePtr>{message});
    EXPECT_EQ(recorded.Events(), std::vector<std::uint32_t>{kEventNewMail});
}

TEST_F(ModelTest, StringsAnswerInEitherWidth) {
    const auto message = inbox->Deliver(kMail);
    EXPECT_EQ(message->GetNarrow(tags::kSubject), "Lunch");         // stored wide
    EXPECT_EQ(message->GetText(tags::kMessageClass), L"IPM.Note");  // stored narrow
    message->Set(ChangeType(tags::kSubject, kTypeString8), std::string("Caf\xe9"));
    EXPECT_EQ(message->Subject(), L"Café");
    EXPECT_THROW(message->Set(tags::kSubject, std::int32_t{1}), StoreError);
    EXPECT_THROW(message->Set(tags::kEntryId, Bytes{1, 2}), StoreError);
}

TEST_F(ModelTest, MoveWithinAStoreKeepsTheMessageAndItsIdentifier) {
    const auto message = inbox->Deliver(kMail);
    const EntryId id = message->Id();
    const auto junk = mailbox->DefaultFolderOf(DefaultFolder::Junk);
    EXPECT_EQ(message->MoveTo(junk), message);
    EXPECT_EQ(message->Id(), id);
    EXPECT_EQ(message->Parent(), junk);
    EXPECT_TRUE(inbox->Messages().empty());
    EXPECT_EQ(junk->Messages(), std::vector<MessagePtr>{message});
    EXPECT_EQ(model.FindMessage(id), message);
}

TEST_F(ModelTest, MoveIntoAnotherStoreGivesANewMessageAndForgetsTheOld) {
    const auto message = inbox->Deliver(kMail);
    const EntryId oldId = message->Id();
    const auto moved = message->MoveTo(personal->ReceiveFolder());
    EXPECT_NE(moved->Id(), oldId);
    EXPECT_TRUE(message->IsDeleted());
    EXPECT_EQ(model.FindMessage(oldId), nullptr);
    EXPECT_EQ(model.FindMessage(moved->Id()), moved);
    EXPECT_EQ(moved->Source(), kMail);
    EXPECT_EQ(moved->Subject(), L"Lunch");
}

TEST_F(ModelTest, AFolderMovesWithinItsStoreWithWhatItHoldsAndKeepsItsIdentifier) {
    Recorded recorded;
    mailbox->Advise(kEventObjectMoved, recorded.Callback());
    const auto top = inbox->Parent();
    const auto spam = top->CreateSubfolder(L"Brevint");
    const auto sub = spam->CreateSubfolder(L"Older");
    const auto message = spam->Deliver(kMail);
    const auto deleted = mailbox->DefaultFolderOf(DefaultFolder::DeletedItems);
    const EntryId id = spam->Id();

    spam->MoveTo(deleted);
    EXPECT_EQ(spam->Parent(), deleted);
    EXPECT_EQ(spam->Id(), id);
    EXPECT_EQ(model.FindFolder(id), spam);
    EXPECT_EQ(top->FindSubfolder(L"Brevint"), nullptr);
    EXPECT_EQ(deleted->FindSubfolder(L"brevint"), spam);
    EXPECT_EQ(spam->Messages(), std::vector<MessagePtr>{message});
    EXPECT_EQ(sub->Parent(), spam);
    ASSERT_EQ(recorded.seen.size(), 1u);
    EXPECT_EQ(recorded.seen[0].entryId, id);
    EXPECT_EQ(recorded.seen[0].parentId, deleted->Id());
    EXPECT_EQ(recorded.seen[0].oldParentId, top->Id());

    // Not into itself, not under its own subfolder, not onto a taken name,
    // not into another store; nothing changes then.
    EXPECT_THROW(spam->MoveTo(spam), StoreError);
    EXPECT_THROW(spam->MoveTo(sub), StoreError);
    top->CreateSubfolder(L"Older");
    EXPECT_THROW(sub->MoveTo(top), StoreError);
    EXPECT_THROW(spam->MoveTo(personal->ReceiveFolder()), StoreError);
    EXPECT_THROW(top->MoveTo(deleted), StoreError);
    EXPECT_EQ(spam->Parent(), deleted);
    EXPECT_EQ(sub->Parent(), spam);
    EXPECT_EQ(recorded.seen.size(), 1u);
}

TEST_F(ModelTest, NotificationsCarryKindIdentityAndPlace) {
    Recorded recorded;
    const auto connection =
        mailbox->Advise(kEventNewMail | kEventObjectCreated | kEventObjectDeleted |
                            kEventObjectModified | kEventObjectMoved | kEventObjectCopied,
                        recorded.Callback());
    Recorded newMailOnly;
    mailbox->Advise(kEventNewMail, newMailOnly.Callback());

    const auto message = inbox->Deliver(AsBytes("Subject: x\r\nReturn-Receipt-To: a@b.c\r\n\r\n"));
    message->SetRead(true);
    message->SetRead(true);  // no change, no notification
    const auto junk = mailbox->DefaultFolderOf(DefaultFolder::Junk);
    message->MoveTo(junk);
    const auto copy = message->CopyTo(inbox);
    copy->Delete();
    EXPECT_EQ(recorded.Events(), (std::vector<std::uint32_t>{
                                     kEventObjectCreated, kEventNewMail, kEventObjectModified,
                                     kEventObjectMoved, kEventObjectCopied, kEventObjectDeleted}));
    EXPECT_EQ(newMailOnly.Events(), std::vector<std::uint32_t>{kEventNewMail});

    const Notification& newMail = recorded.seen[1];
    EXPECT_EQ(newMail.entryId, message->Id());
    EXPECT_EQ(newMail.parentId, inbox->Id());
    EXPECT_EQ(newMail.messageClass, "IPM.Note");
    EXPECT_EQ(newMail.objectType, kObjectTypeMessage);
    EXPECT_EQ(newMail.messageFlags, kMsgFlagReceiptPending);
    const Notification& moved = recorded.seen[3];
    EXPECT_EQ(moved.parentId, junk->Id());
    EXPECT_EQ(moved.oldParentId, inbox->Id());
    const Notification& copied = recorded.seen[4];
    EXPECT_EQ(copied.entryId, copy->Id());
    EXPECT_EQ(copied.oldId, message->Id());

    // Another store's changes and an ended subscription send nothing.
    personal->ReceiveFolder()->Deliver(kMail);
    EXPECT_TRUE(mailbox->Unadvise(connection));
    EXPECT_FALSE(mailbox->Unadvise(connection));
    inbox->Deliver(kMail);
    EXPECT_EQ(recorded.Events().size(), 6u);
}

TEST_F(ModelTest, CallbacksRunOutsideTheLockAndMayCallTheModel) {
    // A callback that reads the model from another thread would deadlock if
    // the change still held the lock while calling it.
    std::vector<std::wstring> subjects;
    mailbox->Advise(kEventNewMail, [&](const Notification& notification) {
        std::thread reader(
            [&] { subjects.push_back(model.FindMessage(notification.entryId)->Subject()); });
        reader.join();
    });
    inbox->Deliver(kMail);
    EXPECT_EQ(subjects, std::vector<std::wstring>{L"Lunch"});
}

TEST_F(ModelTest, FoldersByNameHiddenMessagesAndDeletion) {
    const auto root = mailbox->IpmSubtree();
    const auto spam = root->CreateSubfolder(L"Spam");
    EXPECT_EQ(root->FindSubfolder(L"SPAM"), spam);
    EXPECT_THROW(root->CreateSubfolder(L"spam"), StoreError);
    EXPECT_THROW(root->CreateSubfolder(L""), StoreError);

    const auto hidden = root->AddHiddenMessage("IPM.Post");
    EXPECT_TRUE(hidden->IsAssociated());
    EXPECT_TRUE(hidden->Flags() & kMsgFlagAssociated);
    EXPECT_EQ(root->HiddenMessages(), std::vector<MessagePtr>{hidden});
    EXPECT_TRUE(root->Messages().empty());
    hidden->Set(tags::kMessageFlags, std::int32_t{0});  // cannot clear the associated flag
    EXPECT_TRUE(hidden->IsAssociated() && (hidden->Flags() & kMsgFlagAssociated));

    const auto message = spam->Deliver(kMail);
    spam->Delete();
    EXPECT_TRUE(spam->IsDeleted());
    EXPECT_TRUE(message->IsDeleted());
    EXPECT_EQ(model.FindFolder(spam->Id()), nullptr);
    EXPECT_EQ(model.FindMessage(message->Id()), nullptr);
    EXPECT_EQ(root->FindSubfolder(L"Spam"), nullptr);
    EXPECT_THROW(mailbox->Root()->Delete(), StoreError);
}

TEST_F(ModelTest, ReadersSeeAWholeMessageWhileAnotherThreadMovesIt) {
    std::vector<MessagePtr> messages;
    for (int i = 0; i < 20; ++i)
        messages.push_back(inbox->Deliver(kMail));
    const auto junk = mailbox->DefaultFolderOf(DefaultFolder::Junk);
    std::atomic<bool> done = false;
    std::atomic<int> passes = 0, inconsistent = 0;
    std::thread reader([&] {
        while (!done) {
            for (const auto& message : messages) {
                const auto parent = message->Parent();
                const auto id = message->Get(tags::kParentEntryId);
                const bool inInbox = parent == inbox || parent == junk;
                if (!inInbox || !id || message->Subject() != L"Lunch")
                    ++inconsistent;
            }
            ++passes;
        }
    });
    // The moves overlap the reading: they start once it has and go on until
    // it has read every message many times.
    while (passes == 0)
        std::this_thread::yield();
    int round = 0;
    for (; round < 50 || passes < 50; ++round) {
        for (const auto& message : messages)
            message->MoveTo(round % 2 ? inbox : junk);
    }
    done = true;
    reader.join();
    EXPECT_EQ(inconsistent, 0);
    EXPECT_EQ((round % 2 ? junk : inbox)->Messages().size(), messages.size());
}

}  // namespace
}  // namespace mailstore
