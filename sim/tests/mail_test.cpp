// The simulator's mail: store lines of the profile, delivery of files into
// folders by path, expectations on folders and items, and the state dump.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "mail.h"
#include "runner.h"
#include "scenario.h"
#include "temp_root.h"
#include "text.h"

namespace {

struct Outcome {
    bool ok;
    std::string report;
};

// Runs a scenario whose files are looked for in the sample mail folder.
Outcome RunMail(const std::string& text) {
    std::ostringstream report;
    olsim::RunOptions options;
    options.directory = OLSIM_TEST_MAIL_DIR;
    bool ok = olsim::RunScenario(olsim::ParseScenario(text), options, report).ok;
    return {ok, report.str()};
}

}  // namespace

TEST(ScenarioMail, StoreLinesKeepKindOptionsAndOrder) {
    auto scenario = olsim::ParseScenario(
        "profile store exchange \"Mailbox - Jane\" org \"First Org\" user /o=First/cn=jane cached\n"
        "profile store archive Archive\n"
        "profile store public \"Public Folders\"\n"
        "profile store pst Personal noinbox\n");
    const auto& stores = scenario.profile.stores;
    ASSERT_EQ(stores.size(), 4u);
    EXPECT_EQ(stores[0].kind, olsim::StoreLine::Kind::Exchange);
    EXPECT_EQ(stores[0].organisation, L"First Org");
    EXPECT_EQ(stores[0].user, "/o=First/cn=jane");
    EXPECT_TRUE(stores[0].cached && stores[0].inbox);
    EXPECT_EQ(stores[1].kind, olsim::StoreLine::Kind::Personal);
    EXPECT_FALSE(stores[1].inbox);
    EXPECT_FALSE(stores[2].inbox);
    EXPECT_FALSE(stores[3].inbox);

    for (const char* bad :
         {"profile store imap Mail\n", "profile store pst\n",
          "profile store pst Mail colour blue\n", "deliver\n", "deliver to Inbox\n",
          "deliver a.eml to\n", "expect folder Inbox count many\n", "expect folder Inbox\n",
          "expect no folder Inbox exists\n", "expect item Inbox x colour\n",
          "expect item Inbox x prop 0x37001F y\n", "expect no item Inbox x read\n"})
        EXPECT_THROW(olsim::ParseScenario(bad), olsim::ParseError) << bad;
}

TEST(ScenarioMail, DeliveredItemsAreFoundByFolderPathAndChecked) {
    TempRoot root;
    auto outcome = RunMail(
        "profile store pst \"Personal Folders\"\n"
        "profile store pst Second\n"
        "deliver plain.eml signed.eml\n"
        "deliver plain.eml to Second/Inbox\n"
        "expect folder inbox count 2\n"                                            // 5 holds
        "expect folder Second/Inbox count 2\n"                                     // 6 fails
        "expect item \"Personal Folders/Inbox\" \"Lunch on Friday\" read\n"        // 7 fails
        "expect item Inbox \"Signed contract\" class IPM.Note\n"                   // 8 fails
        "expect item Inbox \"Lunch on Friday\" prop 0x0065001E bob@example.com\n"  // 9 holds
        "expect item Inbox \"Lunch on Friday\" prop 0x0E070003 0\n"                // 10 fails
        "expect item Inbox \"Lunch on Friday\" prop 0x007D0102 x\n"                // 11 fails
        "expect item Inbox \"Nothing like it\"\n"                                  // 12 fails
        "expect folder Inbox/Spam exists\n"                                        // 13 fails
        "expect folder Second/Spam absent\n");                                     // 14 holds
    EXPECT_FALSE(outcome.ok);
    const std::string& report = outcome.report;
    for (const char* held : {"line 3:", "line 4:", "line 5:", "line 9:", "line 14:"})
        EXPECT_EQ(report.find(held), std::string::npos) << held << "\n" << report;
    for (const char* failed :
         {"line 6: expect folder Second/Inbox count 2\n    the folder holds 1 item(s)",
          "line 7: expect item \"Personal Folders/Inbox\" \"Lunch on Friday\" read\n    the item "
          "is unread",
          "its class is IPM.Note.SMIME.MultipartSigned", "line 10:", "found \"256\"",
          "line 11:", "no property 0x007D0102",
          "no item with that subject; the folder holds:\n      \"Lunch on Friday\" (IPM.Note)",
          "line 13: expect folder Inbox/Spam exists\n    no such folder; the folders are:\n"
          "      Personal Folders\n      Personal Folders/Inbox"})
        EXPECT_NE(report.find(failed), std::string::npos) << failed << "\n" << report;
}

TEST(ScenarioMail, AFileThatIsNoMessageFailsItsLineWithTheReasonAndDeliversNothing) {
    TempRoot root;
    auto outcome = RunMail(
        "deliver plain.eml malformed_no_header.eml signed.eml\n"
        "deliver malformed_empty.eml\n"
        "deliver malformed_binary.eml\n"
        "deliver missing.eml\n"
        "deliver plain.eml to Nowhere\n"
        "expect folder Inbox count 1\n");
    EXPECT_FALSE(outcome.ok);
    const std::string& report = outcome.report;
    EXPECT_NE(report.find("line 1: deliver plain.eml malformed_no_header.eml signed.eml\n    "
                          "malformed_no_header.eml was refused: the message has no header block: "
                          "its first line \"This file is a note"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("malformed_empty.eml was refused: the message is empty"),
              std::string::npos);
    EXPECT_NE(report.find("malformed_binary.eml was refused: the message has no header block"),
              std::string::npos);
    EXPECT_NE(report.find("missing.eml cannot be read"), std::string::npos);
    EXPECT_NE(report.find("no folder Nowhere"), std::string::npos);
    EXPECT_EQ(report.find("line 6:"), std::string::npos) << report;  // the first one only
}

TEST(ScenarioMail, OddMailAServerHandsOnIsDelivered) {
    TempRoot root;
    // Control bytes in a sender's name and a header; a header block ending at
    // a line that is no field.
    auto outcome = RunMail(
        "deliver control_bytes.eml header_ends_early.eml\n"
        "expect folder Inbox count 2\n"
        "expect item Inbox \"Odd bytes in the headers\" prop 0x0065001E odd@example.com\n"
        "expect item Inbox \"Odd bytes in the headers\" prop 0x1035001E "
        "<odd-bytes@example.com>\n"
        "expect item Inbox \"A broken message\" prop 0x0065001E bob@example.com\n");
    EXPECT_TRUE(outcome.ok) << outcome.report;
}

TEST(ScenarioMail, TheStateListsStoresFoldersAndItems) {
    TempRoot root;
    olsim::Profile profile;
    profile.stores.push_back({olsim::StoreLine::Kind::Exchange, L"Mailbox - Jane", L"Org",
                              "/o=Org/cn=jane", true, false});
    profile.stores.push_back(
        {olsim::StoreLine::Kind::Public, L"Public Folders", L"", "", false, false});
    olsim::SetUpMailStores(profile);
    auto inbox = olsim::DefaultInbox();
    ASSERT_NE(inbox, nullptr);
    auto message = inbox->Deliver(mailstore::Bytes{'S', 'u', 'b', 'j', 'e', 'c', 't', ':', ' ', '"',
                                                   'Q', '"', '\r', '\n', '\r', '\n'});
    message->SetRead(true);
    const auto stores = olsim::MailState([&](const mailstore::EntryId& id) {
        return id == message->Id() ? std::optional<std::string>("somewhere") : std::nullopt;
    });
    ASSERT_EQ(stores.size(), 2u) << stores.dump(1);
    EXPECT_EQ(stores[0]["name"], "Mailbox - Jane");
    EXPECT_EQ(stores[0]["kind"], "exchange");
    EXPECT_EQ(stores[0]["default"], true);
    EXPECT_EQ(stores[1]["kind"], "public");
    EXPECT_EQ(stores[1]["default"], false);
    auto folderState = [](const nlohmann::ordered_json& store, const std::string& path) {
        const auto& folders = store["folders"];
        auto found = std::find_if(folders.begin(), folders.end(),
                                  [&](const auto& folder) { return folder["path"] == path; });
        return found == folders.end() ? nlohmann::ordered_json() : *found;
    };
    const auto inboxState = folderState(stores[0], "Mailbox - Jane/Inbox");
    ASSERT_EQ(inboxState["items"].size(), 1u) << stores.dump(1);
    const auto& item = inboxState["items"][0];
    EXPECT_EQ(item["subject"], "\"Q\"");
    EXPECT_EQ(item["class"], "IPM.Note");
    EXPECT_EQ(item["read"], true);
    EXPECT_EQ(item["entryId"], olsim::Narrow(mailstore::EntryIdToHex(message->Id())));
    EXPECT_EQ(item["deliveredTo"], "somewhere");
    EXPECT_FALSE(folderState(stores[1], "Public Folders/All Public Folders").is_null());
}

TEST(ScenarioMail, PaddingMakesTheExactSizeAndRefusesToShrink) {
    const mailstore::Bytes original{'S', 'u', 'b',  'j',  'e', 'c', 't', ':',
                                    ' ', 'x', '\n', '\n', 'b', 'o', 'd', 'y'};
    for (size_t size :
         {original.size(), original.size() + 1, original.size() + 77, size_t{524288}}) {
        mailstore::Bytes message = original;
        std::string error;
        ASSERT_TRUE(olsim::PadMessage(message, size, error)) << error;
        EXPECT_EQ(message.size(), size);
        EXPECT_TRUE(std::equal(original.begin(), original.end(), message.begin()));
    }
    mailstore::Bytes message = original;
    std::string error;
    EXPECT_FALSE(olsim::PadMessage(message, original.size() - 1, error));
    EXPECT_EQ(message, original);
    EXPECT_NE(error.find("more than"), std::string::npos);
}

TEST(ScenarioMail, AMessageDeletedBeforeOutlookHearsOfItIsGoneAndBurstsArriveTogether) {
    TempRoot root;
    auto outcome = RunMail(
        "deliver plain.eml deleted\n"
        "expect folder Inbox count 0\n"
        "deliver plain.eml signed.eml encrypted.eml burst\n"
        "expect folder Inbox count 3\n"
        "folder create Projects\n"
        "deliver plain.eml to Projects size 4096\n"
        "expect item Projects \"Lunch on Friday\" prop 0x0E080003 4096\n"
        "folder delete Projects\n"
        "expect folder Projects absent\n");
    EXPECT_TRUE(outcome.ok) << outcome.report;
}
