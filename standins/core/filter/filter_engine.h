// The learning spam filter: scores messages from 0 (good) to 100 (spam),
// learns from votes, and lets the sender lists decide first. Safe to call
// from any number of threads: scores run side by side, votes one at a time
// while scores go on.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "filter/classifier.h"
#include "filter/file_io.h"
#include "filter/sender_lists.h"
#include "filter/token_counts.h"
#include "filter/token_storage.h"

namespace bv::filter {

constexpr int kSpamVote = 100;
constexpr int kGoodVote = -100;
// The score from which a message is spam when no one has chosen otherwise:
// the "Filter" threshold proposed at installation. The chi-square score sits
// near 0 or 100 when the clues agree; 77 keeps the uncertain middle, where
// good mail with a few spammy words lands, out of the spam folder.
constexpr int kDefaultThreshold = 77;

struct EngineOptions {
    Tuning tuning;
    // Votes journaled since the last snapshot that make the next snapshot due.
    uint64_t snapshotEvery = 2000;
};

struct Explanation {
    int score = 50;
    ListDecision listDecision = ListDecision::None;
    std::string sender;
    std::vector<Clue> clues;  // strongest first; empty when a list decided
    int formScore = -1;       // the HTML mail's second opinion, when asked
};

struct EngineStats {
    uint64_t spamMessages = 0;
    uint64_t goodMessages = 0;
    uint64_t tokens = 0;
    uint64_t htmlSpamMessages = 0;  // of those, the messages with an HTML part
    uint64_t htmlGoodMessages = 0;
    LoadReport loaded;  // what opening the store found
};

class FilterEngine {
  public:
    // Opens (or creates) the store in `folder`. Throws StoreError when the
    // store is damaged, locked by another process or cannot be written.
    explicit FilterEngine(const std::filesystem::path& folder, EngineOptions options = {});
    ~FilterEngine();
    FilterEngine(const FilterEngine&) = delete;
    FilterEngine& operator=(const FilterEngine&) = delete;

    int Score(std::string_view rfc822) const;
    Explanation Explain(std::string_view rfc822) const;

    // A vote of 100 (spam) or -100 (good); false for any other value. When it
    // returns true the vote is on disk. Throws StoreError when it cannot be.
    // Voting a message again with the other verdict moves it over; with the
    // same verdict changes nothing.
    bool Vote(std::string_view rfc822, int vote);
    // Many messages of one kind, synced once at the end (bulk training).
    bool VoteAll(const std::vector<std::string>& messages, int vote);

    SenderLists& Lists() { return m_lists; }
    const SenderLists& Lists() const { return m_lists; }

    // Writes a snapshot now and empties the journal.
    void Compact();
    EngineStats Stats() const;

  private:
    Explanation Judge(std::string_view rfc822, bool keepClues) const;
    static bool ToVerdict(int vote, Verdict& verdict);
    void RecordVotes(Verdict verdict, const std::vector<std::vector<std::string>>& tokenSets);
    void CompactLocked();

    EngineOptions m_options;
    TokenStorage m_storage;  // first: it holds the store's lock
    SenderLists m_lists;
    LoadReport m_loaded;

    // Scorers share `m_tableMutex`; a vote takes it alone only to add counts.
    mutable std::shared_mutex m_tableMutex;
    LearnedCounts m_counts;

    // Orders votes: journal, then table, one vote at a time.
    std::mutex m_writeMutex;
    uint64_t m_lastSequence = 0;
    uint64_t m_votesSinceSnapshot = 0;
};

}  // namespace bv::filter
