// A vote journal damaged in its middle: the records after the damage come
// back, the journal as found is kept beside it, and only a damaged last
// record (an append torn by a crash) is cut off silently.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "filter/file_io.h"
#include "filter/filter_engine.h"
#include "test_support.h"

namespace bv::filter {
namespace {

using testing::GoodMail;
using testing::JournalOf;
using testing::Mail;
using testing::SpamMail;
using testing::TempFolder;
using testing::Train;

constexpr size_t kVotes = 20;
constexpr size_t kFirstTokenByte = 8 + 14 + 2;  // record header, vote's fixed part, token length

std::filesystem::path CopyOf(const TempFolder& folder, const std::string& suffix = "") {
    return JournalOf(folder).string() + ".damaged" + suffix;
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

uint32_t U32At(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

void SetU32At(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.at(at + i) = static_cast<char>(value >> (8 * i));
}

// Where each record of a whole journal begins.
std::vector<size_t> RecordStarts(const std::string& journal) {
    std::vector<size_t> starts;
    for (size_t at = 8; at + 8 <= journal.size(); at += 8 + U32At(journal, at))
        starts.push_back(at);
    return starts;
}

// The message of the n-th vote that Train gives.
std::string TrainedMessage(size_t n) {
    return n % 2 ? GoodMail(static_cast<int>(n / 2)) : SpamMail(static_cast<int>(n / 2));
}

// Flips a bit in a token of each chosen record; returns the journal as damaged.
std::string FlipBitsIn(const TempFolder& folder, const std::set<size_t>& records) {
    std::string journal = ReadWholeFile(JournalOf(folder));
    const std::vector<size_t> starts = RecordStarts(journal);
    for (size_t record : records)
        journal.at(starts.at(record) + kFirstTokenByte) ^= 0x10;
    WriteBytes(JournalOf(folder), journal);
    return journal;
}

void TrainTwentyVotes(const TempFolder& folder) {
    FilterEngine engine(folder.Path());
    Train(engine, kVotes / 2);
}

// What a store has learned, as far as its totals and its clues show it.
std::string Learned(const FilterEngine& engine) {
    std::ostringstream out;
    EngineStats stats = engine.Stats();
    out << stats.spamMessages << " spam, " << stats.goodMessages << " good, " << stats.tokens
        << " tokens;";
    for (const std::string& probe :
         {SpamMail(1), GoodMail(5), Mail("x@y.example", "free budget", "casino meeting prize")})
        for (const Clue& clue : engine.Explain(probe).clues)
            out << ' ' << clue.token << '=' << clue.probability;
    return out.str();
}

// A store that was given the twenty votes but the lost ones, in order.
std::string LearnedWithout(const std::set<size_t>& lost) {
    TempFolder folder;
    FilterEngine engine(folder.Path());
    for (size_t n = 0; n < kVotes; ++n) {
        if (lost.contains(n))
            continue;
        EXPECT_TRUE(engine.Vote(TrainedMessage(n), n % 2 ? kGoodVote : kSpamVote));
    }
    return Learned(engine);
}

TEST(JournalRecovery, AFlippedBitInTheThirdRecordLosesThatVoteAloneAndKeepsACopy) {
    TempFolder folder;
    TrainTwentyVotes(folder);
    const std::string damaged = FlipBitsIn(folder, {2});
    {
        FilterEngine engine(folder.Path());
        const LoadReport loaded = engine.Stats().loaded;
        EXPECT_EQ(loaded.skippedRecords, 1u);
        EXPECT_EQ(loaded.recoveredRecords, 17u);
        EXPECT_EQ(loaded.replayedVotes, 19u);
        EXPECT_EQ(loaded.discardedBytes, 0u);
        EXPECT_EQ(loaded.damagedCopy, CopyOf(folder));
        EXPECT_EQ(ReadWholeFile(CopyOf(folder)), damaged);
        const std::string notice = loaded.DamageNotice();
        EXPECT_NE(notice.find("1 record(s) skipped, 17 recovered"), std::string::npos) << notice;
        EXPECT_NE(notice.find(CopyOf(folder).string()), std::string::npos) << notice;
        EXPECT_EQ(Learned(engine), LearnedWithout({2}));
        // The lost vote given again follows every recovered one.
        ASSERT_TRUE(engine.Vote(TrainedMessage(2), kSpamVote));
    }
    FilterEngine engine(folder.Path());
    const LoadReport loaded = engine.Stats().loaded;
    EXPECT_EQ(loaded.skippedRecords, 0u);
    EXPECT_EQ(loaded.DamageNotice(), "");
    EXPECT_EQ(loaded.replayedVotes, 20u);
    EXPECT_EQ(engine.Stats().spamMessages, 10u);
    EXPECT_EQ(ReadWholeFile(CopyOf(folder)), damaged);
    EXPECT_FALSE(std::filesystem::exists(CopyOf(folder, ".2")));
}

TEST(JournalRecovery, TwoDamagedStretchesAreSkippedAndALaterDamageKeepsEveryCopy) {
    TempFolder folder;
    TrainTwentyVotes(folder);
    const std::string first = FlipBitsIn(folder, {2, 10});
    {
        FilterEngine engine(folder.Path());
        const LoadReport loaded = engine.Stats().loaded;
        EXPECT_EQ(loaded.skippedRecords, 2u);
        EXPECT_EQ(loaded.recoveredRecords, 16u);
        EXPECT_EQ(Learned(engine), LearnedWithout({2, 10}));
    }
    // Two neighbours damaged at once: their lengths still lead from one to the next.
    const std::string second = FlipBitsIn(folder, {5, 6});
    FilterEngine engine(folder.Path());
    const LoadReport loaded = engine.Stats().loaded;
    EXPECT_EQ(loaded.skippedRecords, 2u);
    EXPECT_EQ(loaded.recoveredRecords, 11u);
    EXPECT_EQ(loaded.damagedCopy, CopyOf(folder, ".2"));
    EXPECT_EQ(ReadWholeFile(CopyOf(folder)), first);
    EXPECT_EQ(ReadWholeFile(CopyOf(folder, ".2")), second);
    // The rewritten journal's 6th and 7th records were the 7th and 8th votes.
    EXPECT_EQ(Learned(engine), LearnedWithout({2, 6, 7, 10}));
}

TEST(JournalRecovery, ADamagedLengthIsSkippedUpToTheNextWholeRecord) {
    struct Damage {
        const char* what;
        uint32_t (*length)(uint32_t whole);
    };
    const Damage damages[] = {
        {"past the end", [](uint32_t) { return 0xFFFFFFF0u; }},
        {"zeroed", [](uint32_t) { return 0u; }},
        {"a little long, into the next record", [](uint32_t whole) { return whole + 3; }},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        TempFolder folder;
        TrainTwentyVotes(folder);
        std::string journal = ReadWholeFile(JournalOf(folder));
        const size_t third = RecordStarts(journal).at(2);
        SetU32At(journal, third, damage.length(U32At(journal, third)));
        WriteBytes(JournalOf(folder), journal);
        FilterEngine engine(folder.Path());
        EXPECT_EQ(engine.Stats().loaded.skippedRecords, 1u);
        EXPECT_EQ(engine.Stats().loaded.recoveredRecords, 17u);
        EXPECT_EQ(Learned(engine), LearnedWithout({2}));
        EXPECT_EQ(ReadWholeFile(CopyOf(folder)), journal);
    }
}

// Opens a store whose journal holds whole records up to `kept` and then a torn tail.
void ExpectTornTailCutOff(const TempFolder& folder, const std::string& journal, size_t kept,
                          uint64_t votes) {
    WriteBytes(JournalOf(folder), journal);
    FilterEngine engine(folder.Path());
    const LoadReport loaded = engine.Stats().loaded;
    EXPECT_EQ(loaded.replayedVotes, votes);
    EXPECT_EQ(loaded.discardedBytes, journal.size() - kept);
    EXPECT_EQ(loaded.skippedRecords, 0u);
    EXPECT_EQ(loaded.DamageNotice(), "");
    EXPECT_FALSE(std::filesystem::exists(CopyOf(folder)));
    EXPECT_EQ(std::filesystem::file_size(JournalOf(folder)), kept);
}

TEST(JournalRecovery, DamageWithNothingWholeAfterItIsATornTailCutOffWithoutACopy) {
    {
        SCOPED_TRACE("the last record damaged");
        TempFolder folder;
        TrainTwentyVotes(folder);
        const std::string journal = FlipBitsIn(folder, {kVotes - 1});
        ExpectTornTailCutOff(folder, journal, RecordStarts(journal).back(), kVotes - 1);
    }
    {
        SCOPED_TRACE("zeros where the file grew before its data reached the disk");
        TempFolder folder;
        TrainTwentyVotes(folder);
        const std::string whole = ReadWholeFile(JournalOf(folder));
        ExpectTornTailCutOff(folder, whole + std::string(4096, '\0'), whole.size(), kVotes);
    }
    {
        SCOPED_TRACE("garbage after the header alone");
        std::mt19937 random(7);
        std::string garbage(64 * 1024, '\0');
        for (char& byte : garbage)
            byte = static_cast<char>(random());
        TempFolder folder;
        TrainTwentyVotes(folder);
        const std::string header = ReadWholeFile(JournalOf(folder)).substr(0, 8);
        ExpectTornTailCutOff(folder, header + garbage, header.size(), 0);
    }
}

}  // namespace
}  // namespace bv::filter
