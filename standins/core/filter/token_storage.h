// Where the learned counts live on disk: an append-only journal of votes,
// each synced before its vote returns, and now and then a snapshot of the
// whole table written beside the old one and renamed over it. Opening loads
// the snapshot and replays the journal records that came after it; a record
// torn by a crash fails its checksum and is cut off. A damaged record with
// whole records after it is no crash: the journal as found is kept beside
// it, and the records that still read are recovered.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "filter/file_io.h"
#include "filter/token_counts.h"

namespace bv::filter {

struct LoadReport {
    uint64_t lastSequence = 0;    // of the last vote known, snapshot or journal
    uint64_t replayedVotes = 0;   // journal records applied on top of the snapshot
    uint64_t discardedBytes = 0;  // a torn tail cut off the journal

    // Damage before whole records: the journal as found was copied to
    // `damagedCopy` and rewritten with the records that still read.
    uint64_t skippedRecords = 0;    // lost to damage (a stretch whose lengths break counts once)
    uint64_t recoveredRecords = 0;  // whole records read after the first damage
    std::filesystem::path damagedCopy;

    // What was damaged and what became of it, for the log; empty when the
    // journal was whole but for a torn tail (a normal end of a crash).
    std::string DamageNotice() const;
};

class TokenStorage {
  public:
    static constexpr const char* kJournalName = "tokens.journal";
    static constexpr const char* kSnapshotName = "tokens.snapshot";
    static constexpr const char* kLockName = "store.lock";

    // Creates the folder when missing and takes the store's lock: one process
    // at a time writes a store.
    explicit TokenStorage(std::filesystem::path folder);

    // Fills the counts from disk and readies the journal for appending.
    LoadReport Load(LearnedCounts& counts);

    // Buffered in the journal file; durable only after Sync.
    void AppendVote(uint64_t sequence, Verdict verdict, const std::vector<std::string>& tokens);
    void Sync();
    // Cuts off what was appended since the last Sync (a write that failed).
    void DiscardUnsynced();

    // Replaces the snapshot with the counts as of `sequence`, then empties the
    // journal: records it still holds after a crash in between are older than
    // the snapshot and are skipped at the next load.
    void WriteSnapshot(const LearnedCounts& counts, uint64_t sequence);

    const std::filesystem::path& Folder() const { return m_folder; }

  private:
    uint64_t LoadSnapshot(LearnedCounts& counts);
    void ReplayJournal(LearnedCounts& counts, LoadReport& report);

    std::filesystem::path m_folder;
    UniqueFd m_lock;
    UniqueFd m_journal;
    uint64_t m_syncedSize = 0;
    uint64_t m_appendedSize = 0;
};

}  // namespace bv::filter
