// The demo's pieces that can go wrong: the corpus's split and arrival order,
// the census that finds every delivered message again, and the demo run end
// to end on a few sample mails (one of them refused by the importer).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "corpus.h"
#include "demo.h"
#include "mail.h"
#include "mail_census.h"
#include "scenario.h"
#include "temp_root.h"

namespace {

namespace fs = std::filesystem;

mailstore::Bytes BytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

std::string TextOf(const mailstore::Bytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

void WriteFile(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

void CopySample(const std::string& sample, const fs::path& to) {
    fs::create_directories(to.parent_path());
    fs::copy_file(fs::path(OLSIM_TEST_MAIL_DIR) / sample, to);
}

std::vector<std::string> Names(const std::vector<olsim::CorpusMessage>& messages) {
    std::vector<std::string> names;
    for (const auto& m : messages)
        names.push_back(m.file.parent_path().filename().string() + "/" +
                        m.file.filename().string() + (m.spam ? " spam" : " good"));
    return names;
}

TEST(DemoCorpus, EachGroupSplitsByNameEvenIndicesTrainingOddIndicesArriving) {
    TempRoot root;
    const fs::path corpus = root.path() / "corpus";
    // Written out of order, with the package's .json twins that are not mail.
    for (const char* name : {"00003.c.txt", "00001.a.txt", "00002.b.txt", "00001.a.json"})
        WriteFile(corpus / "ham" / name, "Subject: x\n\nbody\n");
    for (const char* name : {"B.txt", "A.txt", "a.txt"})  // capitals sort first, by bytes
        WriteFile(corpus / "junk" / name, "Subject: y\n\nbody\n");
    std::string problem;
    auto split = olsim::SplitCorpus(corpus, {{"ham", false}, {"junk", true}}, problem);
    ASSERT_TRUE(split) << problem;
    EXPECT_EQ(Names(split->train),
              (std::vector<std::string>{"ham/00001.a.txt good", "ham/00003.c.txt good",
                                        "junk/A.txt spam", "junk/a.txt spam"}));
    EXPECT_EQ(Names(split->test),
              (std::vector<std::string>{"ham/00002.b.txt good", "junk/B.txt spam"}));

    EXPECT_FALSE(olsim::SplitCorpus(corpus, {{"ham", false}, {"spam-2", true}}, problem));
    EXPECT_NE(problem.find("spam-2"), std::string::npos) << problem;
}

TEST(DemoCorpus, TheEnvelopeLineGoesAndGivesTheArrivalTimeBeforeTheDateHeader) {
    const std::string message = "Date: Thu, 22 Aug 2002 12:36:23 -0400\nSubject: s\n\nbody\n";
    const auto withEnvelope =
        BytesOf("From someone@example.com  Thu Aug 22 18:00:00 2002\n" + message);
    EXPECT_EQ(TextOf(olsim::WithoutEnvelope(withEnvelope)), message);
    EXPECT_EQ(TextOf(olsim::WithoutEnvelope(BytesOf(message))), message);
    // "From:" is a header, not an envelope line.
    EXPECT_EQ(TextOf(olsim::WithoutEnvelope(BytesOf("From: a@b\n\nx"))), "From: a@b\n\nx");

    const std::int64_t aug22 = 1029974400;  // 2002-08-22 00:00:00 UTC
    EXPECT_EQ(olsim::ArrivalTime(withEnvelope), aug22 + 18 * 3600);
    EXPECT_EQ(olsim::ArrivalTime(BytesOf(message)), aug22 + 16 * 3600 + 36 * 60 + 23);
    EXPECT_EQ(olsim::ArrivalTime(BytesOf("Date: 1 Jan 98 00:00 GMT\n\n")), 883612800);
    EXPECT_FALSE(olsim::ArrivalTime(BytesOf("Date: yesterday\n\n")));
    // A Date line in the body is no header.
    EXPECT_FALSE(olsim::ArrivalTime(BytesOf("Subject: s\n\nDate: 1 Jan 98 00:00 GMT\n")));
}

TEST(DemoCorpus, MessagesArriveByTimeThoseWithoutOneLastInTheirGivenOrder) {
    auto at = [](const std::string& name, std::optional<std::int64_t> time) {
        return olsim::ArrivingMessage{{name, false}, {}, time};
    };
    auto ordered = olsim::InArrivalOrder(
        {at("none1", {}), at("late", 30), at("early", 10), at("none2", {}), at("tie", 10)});
    std::vector<std::string> names;
    for (const auto& m : ordered)
        names.push_back(m.message.file.string());
    EXPECT_EQ(names, (std::vector<std::string>{"early", "tie", "late", "none1", "none2"}));
}

// The census over the store model: delivered messages found by their bytes
// wherever the add-in (here the test) put them.
class DemoCensus : public ::testing::Test {
  protected:
    void SetUp() override {
        olsim::SetUpMailStores({});
        m_inbox = olsim::DefaultInbox();
        m_spamFolder = m_inbox->Parent()->CreateSubfolder(L"Brevint");
    }
    mailstore::MessagePtr Deliver(const std::string& name, bool spam) {
        auto bytes = BytesOf("Subject: " + name + "\r\n\r\nbody\r\n");
        m_ledger.Record(bytes, spam, name);
        return m_inbox->Deliver(bytes);
    }

    TempRoot m_root;
    mailstore::FolderPtr m_inbox, m_spamFolder;
    olsim::DeliveryLedger m_ledger;
};

TEST_F(DemoCensus, CountsEachFolderByKindAndFindsEveryMessageOnce) {
    Deliver("good 1", false);
    Deliver("good 2", false)->MoveTo(m_spamFolder);  // a false positive
    Deliver("spam 1", true)->MoveTo(m_spamFolder);
    Deliver("spam 2", true);  // a false negative
    m_inbox->Deliver(BytesOf("Subject: not the demo's\r\n\r\nx\r\n"));

    auto census = m_ledger.Take();
    EXPECT_TRUE(census.EveryMessageOnce());
    EXPECT_EQ(census.delivered, 4u);
    EXPECT_EQ(census.found, 4u);
    auto inbox = census.In("Personal Folders/Inbox");
    auto spam = census.In("personal folders/brevint");  // names compare without case
    EXPECT_EQ(inbox.good, 1u);
    EXPECT_EQ(inbox.spam, 1u);
    EXPECT_EQ(spam.good, 1u);
    EXPECT_EQ(spam.spam, 1u);
    EXPECT_EQ(census.In("Personal Folders/Junk E-mail").total(), 0u);
}

TEST_F(DemoCensus, AMessageLostOrCopiedAnywhereBreaksTheCheckAndIsNamed) {
    Deliver("kept", false);
    Deliver("lost", true)->Delete();
    Deliver("copied", false)->CopyTo(m_spamFolder);
    // A copy into a folder the demo never looks at by name still counts.
    auto hidden = m_inbox->Parent()->CreateSubfolder(L"Elsewhere")->CreateSubfolder(L"Deeper");
    Deliver("moved deep", true)->MoveTo(hidden);

    auto census = m_ledger.Take();
    EXPECT_FALSE(census.EveryMessageOnce());
    EXPECT_EQ(census.missing, std::vector<std::string>{"lost"});
    ASSERT_EQ(census.duplicated.size(), 1u);
    EXPECT_EQ(census.duplicated[0].rfind("copied", 0), 0u) << census.duplicated[0];
    EXPECT_EQ(census.In("Personal Folders/Elsewhere/Deeper").spam, 1u);
}

TEST_F(DemoCensus, IdenticalMessagesAreCountedAsManyAsWereDelivered) {
    Deliver("same", false);
    Deliver("same", false)->Delete();
    auto census = m_ledger.Take();
    EXPECT_EQ(census.missing, std::vector<std::string>{"same"});

    Deliver("twin", true);
    Deliver("twin", true);
    census = m_ledger.Take();
    EXPECT_TRUE(census.duplicated.empty());
    EXPECT_EQ(census.missing.size(), 1u);  // still only the deleted one
}

// A small corpus of our own sample mail, laid out as the public corpus is.
fs::path SampleCorpus(const fs::path& root) {
    const fs::path corpus = root / "sample-corpus";
    for (const auto& group : olsim::SpamCorpusGroups())
        fs::create_directories(corpus / group.name);
    // easy-ham-1: 1 and 3 train, 2 and 4 arrive; 4 is no message.
    CopySample("plain.eml", corpus / "easy-ham-1" / "1.txt");
    CopySample("html_alternative.eml", corpus / "easy-ham-1" / "2.txt");
    CopySample("no_transport_headers.eml", corpus / "easy-ham-1" / "3.txt");
    CopySample("malformed_no_header.eml", corpus / "easy-ham-1" / "4.txt");
    CopySample("signed.eml", corpus / "spam-1" / "1.txt");
    CopySample("encrypted.eml", corpus / "spam-1" / "2.txt");
    return corpus;
}

// The number printed after a figure's label, -1 when there is no such line.
long Figure(const std::string& out, const std::string& label) {
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("  " + label + " ", 0) == 0)
            return std::stol(line.substr(label.size() + 2));
    return -1;
}

struct DemoOutcome {
    int status;
    bool crashed;
    std::string out;
};

DemoOutcome RunSampleDemo(const fs::path& corpus, std::istream* commands = nullptr,
                          const std::string& scenarioFile = "") {
    olsim::DemoOptions options;
    options.corpus = corpus;
    options.scenarioFile = scenarioFile;
    options.commands = commands;
    options.fetchHint = "fetch it\n";
    std::ostringstream out;
    bool crashed = false;
    int status = olsim::RunDemo(options, out, crashed);
    return {status, crashed, out.str()};
}

TEST(DemoRun, DeliversTheArrivingHalfCountsTheRefusedAndFindsEveryMessageOnce) {
    TempRoot root;
    auto run = RunSampleDemo(SampleCorpus(root.path()));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_FALSE(run.crashed);
    EXPECT_NE(run.out.find("2 good, 1 spam, in"), std::string::npos) << run.out;  // trained
    EXPECT_EQ(Figure(run.out, "delivered"), 2) << run.out;
    EXPECT_EQ(Figure(run.out, "refused by the importer"), 1) << run.out;
    // Whatever the add-in did, the two delivered are in the Inbox or the spam folder.
    EXPECT_EQ(Figure(run.out, "left in the Inbox") + Figure(run.out, "moved to the spam folder"), 2)
        << run.out;
    EXPECT_EQ(Figure(run.out, "elsewhere"), 0) << run.out;
    EXPECT_NE(run.out.find("easy-ham-1/4.txt: the message has no header block"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("each of the 2 delivered messages is in exactly one folder"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(fs::exists(root.path() / "demo-state.json"));
    // The bar as the user sees it after the run: logged in, the commands are
    // enabled; the logo button stays disabled.
    const size_t bar = run.out.find(
        "The \"Brevint toolbar\" of explorer 1 (\"Inbox - Microsoft Outlook\") after "
        "the run:\n  (no caption)                          disabled\n  Block   ");
    EXPECT_NE(bar, std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\n      Whitelist sender's domain         enabled\n", bar),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\n  Brevint                               menu, enabled\n", bar),
              std::string::npos)
        << run.out;
    // The votes went into the add-in's core store, under the root.
    EXPECT_TRUE(fs::exists(root.path() / "drive_c/Users/User/AppData/Roaming/Brevint/Filter"))
        << run.out;
}

TEST(DemoRun, WithoutACorpusItSaysHowToFetchOneAndFails) {
    TempRoot root;
    auto run = RunSampleDemo(root.path() / "nowhere");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("fetch it"), std::string::npos) << run.out;
}

TEST(DemoRun, CommandsGoOnAfterTheDeliveryAndAFailedExpectationFailsTheRun) {
    TempRoot root;
    std::istringstream commands(
        "expect folder Inbox exists\n"
        "profile version 12.0\n"
        "expect folder Nowhere exists\n"
        "deliver " OLSIM_TEST_MAIL_DIR
        "/plain.eml\n"
        "bogus\n");
    auto run = RunSampleDemo(SampleCorpus(root.path()), &commands);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("  ok\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("profile lines describe the machine"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("line 3: expect folder Nowhere exists"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("line 5: unknown command 'bogus'"), std::string::npos) << run.out;
    // A message the person delivered is not one of the demo's: the check
    // still counts the demo's two.
    EXPECT_NE(run.out.find("each of the 2 delivered"), std::string::npos) << run.out;
}

TEST(DemoRun, WithEveryExplorerClosedNoBarIsShown) {
    TempRoot root;
    std::istringstream commands("close 1\n");
    auto run = RunSampleDemo(SampleCorpus(root.path()), &commands);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("No explorer is open, so no \"Brevint toolbar\" is shown."),
              std::string::npos)
        << run.out;
}

TEST(DemoRun, AScenarioFileRunsAfterTheDeliveryAndItsFailuresFailTheRun) {
    TempRoot root;
    const fs::path corpus = SampleCorpus(root.path());
    WriteFile(root.path() / "holds.scn", "expect folder Inbox exists\nexpect no crash\n");
    auto run = RunSampleDemo(corpus, nullptr, (root.path() / "holds.scn").string());
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("holds.scn: every expectation held"), std::string::npos) << run.out;
}

TEST(DemoRun, AFailingScenarioFileFailsTheRun) {
    TempRoot root;
    const fs::path corpus = SampleCorpus(root.path());
    WriteFile(root.path() / "fails.scn", "expect folder Inbox count 99\n");
    auto run = RunSampleDemo(corpus, nullptr, (root.path() / "fails.scn").string());
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("fails.scn: FAILED"), std::string::npos) << run.out;
}

}  // namespace
