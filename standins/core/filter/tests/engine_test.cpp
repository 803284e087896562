#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <csignal>
#include <fstream>
#include <thread>
#include <vector>

#include "filter/file_io.h"
#include "filter/filter_engine.h"
#include "test_support.h"

namespace bv::filter {
namespace {

using testing::AppendBytes;
using testing::GoodMail;
using testing::HtmlMail;
using testing::JournalOf;
using testing::Mail;
using testing::SpamMail;
using testing::TempFolder;
using testing::Train;

TEST(FilterEngine, LearnsSpamHighAndGoodLowAndRefusesOtherVotes) {
    TempFolder folder;
    FilterEngine engine(folder.Path());
    const std::string unseenSpam = Mail("x@other.biz", "free casino bonus", "cheap pills prize");
    const std::string unseenGood = Mail("y@other.org", "budget meeting", "report draft review");
    EXPECT_EQ(engine.Score(unseenSpam), 50);
    Train(engine, 10);
    EXPECT_GE(engine.Score(unseenSpam), 90);
    EXPECT_LE(engine.Score(unseenGood), 10);
    EXPECT_FALSE(engine.Vote(unseenSpam, 50));
    EXPECT_FALSE(engine.Vote(unseenSpam, 0));
    EXPECT_EQ(engine.Stats().spamMessages, 10u);
    EXPECT_EQ(engine.Stats().goodMessages, 10u);
}

TEST(FilterEngine, SenderListsDecideBeforeTheStatistics) {
    TempFolder folder;
    FilterEngine engine(folder.Path());
    Train(engine, 5);
    SenderLists& lists = engine.Lists();
    ASSERT_TRUE(lists.AddDomain(true, "someone@Spam-Domain.example"));
    ASSERT_TRUE(lists.AddAddress(false, "Friend@Spam-Domain.example", "A Friend"));
    ASSERT_TRUE(lists.AddDomain(false, "work.example.com"));
    EXPECT_FALSE(lists.AddAddress(true, "not an address", ""));
    EXPECT_FALSE(lists.AddDomain(true, "@"));

    // A black-listed domain, also through a sub-domain, whatever the words.
    EXPECT_EQ(engine.Score(Mail("boss@mail.spam-domain.example", "project meeting", "the report")),
              100);
    // A white-listed address inside that domain wins over the domain.
    EXPECT_EQ(engine.Score(Mail("friend@spam-domain.example", "casino prize", "cheap pills")), 0);
    // A white-listed domain lets even spammy words through.
    EXPECT_EQ(engine.Score(Mail("boss@work.example.com", "cheap pills", "free casino prize")), 0);
    EXPECT_EQ(engine.Explain(SpamMail(1)).listDecision, ListDecision::None);
    EXPECT_EQ(lists.Text(ListKind::WhiteAddresses), "friend@spam-domain.example\tA Friend");
}

TEST(SenderLists, AddressListTextFormatReadsWritesAndReportsBadLines) {
    auto entries = ParseAddressList(
        "# friends\r\nAnna@Example.org\tAnna Smith\n\nbob@example.org\nanna@example.org\tAnna\n",
        false, "white-addresses.txt");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (ListEntry{"anna@example.org", "Anna"}));  // the later line renames
    EXPECT_EQ(entries[1], (ListEntry{"bob@example.org", ""}));
    EXPECT_EQ(ParseAddressList(FormatAddressList(entries), false, "again"), entries);

    // A file converted to CR LF twice, and a lone CR inside a name: the entries
    // read back the same after they are written out.
    auto converted = ParseAddressList("ann@example.org\tAnn\r\r\nbob@example.org\tBob\rSmith\n",
                                      false, "white-addresses.txt");
    ASSERT_EQ(converted.size(), 2u);
    EXPECT_EQ(converted[0], (ListEntry{"ann@example.org", "Ann"}));
    EXPECT_EQ(converted[1], (ListEntry{"bob@example.org", "Bob Smith"}));
    EXPECT_EQ(ParseAddressList(FormatAddressList(converted), false, "again"), converted);

    try {
        ParseAddressList("ok@example.org\nno-at-sign\n", false, "black-addresses.txt");
        FAIL() << "a line without an address was accepted";
    } catch (const StoreError& error) {
        EXPECT_STREQ(error.what(),
                     "black-addresses.txt line 2: \"no-at-sign\" is not an e-mail address "
                     "optionally followed by a TAB and a name");
    }
    EXPECT_THROW(ParseAddressList("a@b.example", true, "domains"), StoreError);
    EXPECT_THROW(ParseAddressList("a@b.example\tname\textra", false, "x"), StoreError);
    EXPECT_EQ(DomainOf("Joe@Mail.Example.COM"), "mail.example.com");
}

TEST(SenderLists, SurviveReopeningAndABadFileStopsTheOpenWithItsName) {
    TempFolder folder;
    {
        FilterEngine engine(folder.Path());
        ASSERT_TRUE(engine.Lists().AddAddress(true, "bad@spam.example", "Bad"));
        ASSERT_TRUE(engine.Lists().AddDomain(false, "friends.example"));
    }
    {
        FilterEngine engine(folder.Path());
        EXPECT_EQ(engine.Lists().Entries(ListKind::BlackAddresses),
                  (std::vector<ListEntry>{{"bad@spam.example", "Bad"}}));
        EXPECT_EQ(engine.Lists().Decide("x@friends.example"), ListDecision::White);
    }
    AppendBytes(folder.Path() / "black-domains.txt", "two words\n");
    try {
        FilterEngine engine(folder.Path());
        FAIL() << "a damaged list was accepted";
    } catch (const StoreError& error) {
        EXPECT_NE(std::string(error.what()).find("black-domains.txt line 1"), std::string::npos)
            << error.what();
    }
}

TEST(TokenStore, VotesAreReplayedFromTheJournalAndFromSnapshotsAfterReopening) {
    TempFolder folder;
    const std::string probe = Mail("z@else.example", "cheap prize", "casino bonus");
    int trainedScore;
    {
        EngineOptions options;
        options.snapshotEvery = 7;  // some votes end in the snapshot, the rest in the journal
        FilterEngine engine(folder.Path(), options);
        Train(engine, 5);
        trainedScore = engine.Score(probe);
    }
    FilterEngine reopened(folder.Path());
    EngineStats stats = reopened.Stats();
    EXPECT_EQ(stats.spamMessages, 5u);
    EXPECT_EQ(stats.goodMessages, 5u);
    EXPECT_EQ(stats.loaded.replayedVotes, 3u);  // 10 votes, snapshot after the 7th
    EXPECT_EQ(reopened.Score(probe), trainedScore);
}

TEST(TokenStore, TheHtmlMailsOwnCountsSurviveSnapshotsAndTheJournal) {
    TempFolder folder;
    EngineOptions options;
    options.snapshotEvery = 5;  // the HTML counts go through both the snapshot and the journal
    options.tuning.minFormMessages = 3;
    const std::string newsletter =
        HtmlMail("news@club.example", "members offer", "club offer deal unsubscribe");
    Explanation trained;
    {
        FilterEngine engine(folder.Path(), options);
        for (int i = 0; i < 4; ++i) {
            std::string n = "no" + std::string(1, char('a' + i));  // bare numbers are no tokens
            ASSERT_TRUE(engine.Vote(
                HtmlMail("ads" + n + "@x.biz", "offer " + n, "deal pills unsubscribe " + n),
                kSpamVote));
            ASSERT_TRUE(engine.Vote(
                HtmlMail("news@club.example", "issue " + n, "club offer deal unsubscribe " + n),
                kGoodVote));
            ASSERT_TRUE(engine.Vote(GoodMail(i), kGoodVote));
        }
        trained = engine.Explain(newsletter);
        ASSERT_GE(trained.formScore, 0);
    }
    FilterEngine reopened(folder.Path(), options);
    EngineStats stats = reopened.Stats();
    EXPECT_EQ(stats.htmlSpamMessages, 4u);
    EXPECT_EQ(stats.htmlGoodMessages, 4u);
    EXPECT_EQ(stats.goodMessages, 8u);
    EXPECT_EQ(stats.loaded.replayedVotes, 2u);  // 12 votes, snapshot after the 10th
    Explanation again = reopened.Explain(newsletter);
    EXPECT_EQ(again.formScore, trained.formScore);
    EXPECT_EQ(again.score, trained.score);
}

TEST(FilterEngine, AVoteAgainCorrectsTheFirstAndSurvivesReopening) {
    TempFolder folder;
    const std::string message = SpamMail(1);
    {
        EngineOptions options;
        options.snapshotEvery = 3;  // the first votes go to the snapshot, the last to the journal
        FilterEngine engine(folder.Path(), options);
        Train(engine, 1);                              // 2 votes
        ASSERT_TRUE(engine.Vote(message, kSpamVote));  // a different spam mail
        ASSERT_TRUE(engine.Vote(message, kSpamVote));  // the same again: no change
        EXPECT_EQ(engine.Stats().spamMessages, 2u);
        ASSERT_TRUE(engine.Vote(message, kGoodVote));  // the user corrects it
        EXPECT_EQ(engine.Stats().spamMessages, 1u);
        EXPECT_EQ(engine.Stats().goodMessages, 2u);
    }
    FilterEngine engine(folder.Path());
    EXPECT_EQ(engine.Stats().spamMessages, 1u);
    EXPECT_EQ(engine.Stats().goodMessages, 2u);
    // Voting it spam once more moves it back, so the snapshot remembered it.
    ASSERT_TRUE(engine.Vote(message, kSpamVote));
    EXPECT_EQ(engine.Stats().spamMessages, 2u);
    EXPECT_EQ(engine.Stats().goodMessages, 1u);
}

TEST(TokenStore, ACrashBetweenSnapshotAndJournalResetCountsNoVoteTwice) {
    TempFolder folder;
    std::string journalBeforeSnapshot;
    {
        FilterEngine engine(folder.Path());
        Train(engine, 3);
        std::ifstream in(JournalOf(folder), std::ios::binary);
        journalBeforeSnapshot.assign(std::istreambuf_iterator<char>(in), {});
        engine.Compact();
    }
    // As if the process died after the snapshot's rename, before the journal was emptied.
    std::ofstream(JournalOf(folder), std::ios::binary | std::ios::trunc) << journalBeforeSnapshot;
    FilterEngine engine(folder.Path());
    EXPECT_EQ(engine.Stats().spamMessages, 3u);
    EXPECT_EQ(engine.Stats().loaded.replayedVotes, 0u);
}

TEST(TokenStore, ATornJournalTailIsCutOffAndLaterVotesFollowTheLastWholeRecord) {
    TempFolder folder;
    {
        FilterEngine engine(folder.Path());
        Train(engine, 2);
    }
    const auto wholeSize = std::filesystem::file_size(JournalOf(folder));
    // A record header announcing more bytes than ever reached the disk.
    AppendBytes(JournalOf(folder), std::string("\x40\x00\x00\x00\x12\x34\x56\x78partial", 15));
    {
        FilterEngine engine(folder.Path());
        EXPECT_EQ(engine.Stats().loaded.discardedBytes, 15u);
        EXPECT_EQ(engine.Stats().spamMessages, 2u);
        EXPECT_EQ(std::filesystem::file_size(JournalOf(folder)), wholeSize);
        ASSERT_TRUE(engine.Vote(SpamMail(9), kSpamVote));
    }
    // A whole-length record whose bytes are not what was written.
    auto size = std::filesystem::file_size(JournalOf(folder));
    std::filesystem::resize_file(JournalOf(folder), size - 1);
    AppendBytes(JournalOf(folder), "!");
    FilterEngine engine(folder.Path());
    EXPECT_EQ(engine.Stats().spamMessages, 2u);
    EXPECT_GT(engine.Stats().loaded.discardedBytes, 0u);
}

TEST(TokenStore, DamagedOrForeignFilesFailWithAClearError) {
    auto openError = [](const TempFolder& folder) {
        try {
            FilterEngine engine(folder.Path());
        } catch (const StoreError& error) {
            return std::string(error.what());
        }
        return std::string("opened");
    };
    {
        TempFolder folder;
        std::ofstream(JournalOf(folder), std::ios::binary) << "GIF89a not a journal";
        EXPECT_NE(openError(folder).find("tokens.journal: not a vote journal"), std::string::npos);
    }
    {
        TempFolder folder;
        std::ofstream(JournalOf(folder), std::ios::binary) << std::string("BVFJ\x09\0\0\0", 8);
        EXPECT_NE(openError(folder).find("tokens.journal: unsupported version 9"),
                  std::string::npos);
    }
    {
        // Counts learned by an older tokenizer would be misread: the store is refused.
        TempFolder folder;
        std::ofstream(JournalOf(folder), std::ios::binary) << std::string("BVFJ\x01\0\0\0", 8);
        EXPECT_NE(openError(folder).find("unsupported version 1 (learned by an older tokenizer"),
                  std::string::npos);
    }
    {
        TempFolder folder;
        {
            FilterEngine engine(folder.Path());
            Train(engine, 2);
            engine.Compact();
        }
        const auto snapshot = folder.Path() / TokenStorage::kSnapshotName;
        std::fstream file(snapshot, std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(40);
        file.put('\x7f');
        file.close();
        EXPECT_NE(openError(folder).find("checksum mismatch"), std::string::npos);
    }
    {
        // A record whose checksum holds but which claims four billion tokens
        // is refused as malformed, without trying to make room for them.
        TempFolder folder;
        { FilterEngine create(folder.Path()); }
        std::string payload(
            "\x01\0\0\0\0\0\0\0"  // sequence 1
            "\x01\x01"            // a vote, spam
            "\xff\xff\xff\xff",   // token count
            14);
        auto u32 = [](uint32_t value) {
            std::string bytes;
            for (int i = 0; i < 4; ++i)
                bytes += static_cast<char>(value >> (8 * i));
            return bytes;
        };
        std::ofstream(JournalOf(folder), std::ios::binary | std::ios::app)
            << u32(static_cast<uint32_t>(payload.size())) << u32(Crc32(payload)) << payload;
        EXPECT_NE(openError(folder).find("tokens.journal: malformed vote record at offset 8"),
                  std::string::npos);
    }
    {
        TempFolder folder;
        FilterEngine first(folder.Path());
        EXPECT_NE(openError(folder).find("in use by another process"), std::string::npos);
    }
}

TEST(TokenStore, AVoteThatReturnedSurvivesTheProcessBeingKilled) {
    TempFolder folder;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        bool voted = false;
        try {
            FilterEngine engine(folder.Path());
            voted = engine.Vote(SpamMail(1), kSpamVote) && engine.Vote(GoodMail(1), kGoodVote);
        } catch (...) {
        }
        char answer = voted ? 'v' : 'x';
        (void)!write(ready[1], &answer, 1);
        // Open the store again and wait to be killed while holding it: no
        // destructor, no close, no flush runs after the votes returned.
        FilterEngine again(folder.Path());
        for (;;)
            pause();
    }
    close(ready[1]);
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    close(ready[0]);
    ASSERT_EQ(answer, 'v');
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));

    FilterEngine engine(folder.Path());
    EXPECT_EQ(engine.Stats().spamMessages, 1u);
    EXPECT_EQ(engine.Stats().goodMessages, 1u);
}

TEST(FilterEngine, ScoresRunWhileVotesAndSnapshotsComeIn) {
    TempFolder folder;
    EngineOptions options;
    options.snapshotEvery = 25;
    options.tuning.minFormMessages = 1;  // HTML mail is scored against its own table too
    FilterEngine engine(folder.Path(), options);
    Train(engine, 5);
    const std::string newsletter = HtmlMail("news@club.example", "club news", "members offer");
    ASSERT_TRUE(engine.Vote(newsletter, kGoodVote));
    std::atomic<bool> voting{true};
    std::atomic<int> scored{0};
    std::atomic<int> outOfRange{0};
    std::vector<std::thread> scorers;
    for (int t = 0; t < 3; ++t) {
        scorers.emplace_back([&, t] {
            while (voting.load()) {
                int score = engine.Score(t == 2 ? newsletter : t % 2 ? SpamMail(t) : GoodMail(t));
                if (score < 0 || score > 100)
                    ++outOfRange;
                ++scored;
            }
        });
    }
    constexpr int kVotes = 100;
    for (int i = 0; i < kVotes; ++i) {
        const std::string n = std::to_string(i);
        ASSERT_TRUE(engine.Vote(
            i % 2 ? HtmlMail("ads" + n + "@offers.biz", "cheap pills", "prize") : SpamMail(100 + i),
            kSpamVote));
        if (i % 10 == 0)
            engine.Lists().AddAddress(false, "friend" + std::to_string(i) + "@example.org", "");
    }
    // Let the scorers overlap at least one vote's worth of work before stopping.
    while (scored.load() < 10)
        std::this_thread::yield();
    voting = false;
    for (auto& scorer : scorers)
        scorer.join();
    EXPECT_EQ(outOfRange.load(), 0);
    EXPECT_EQ(engine.Stats().spamMessages, 5u + kVotes);
    EXPECT_EQ(engine.Stats().htmlSpamMessages, kVotes / 2u);
    EXPECT_EQ(engine.Lists().Entries(ListKind::WhiteAddresses).size(), 10u);
}

}  // namespace
}  // namespace bv::filter
