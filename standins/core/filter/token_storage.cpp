#include "filter/token_storage.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

namespace bv::filter {
namespace {

constexpr std::string_view kJournalMagic = "BVFJ";
constexpr std::string_view kSnapshotMagic = "BVFS";
// Raised whenever the tokenizer changes what it makes of a message: counts
// learned under another version no longer match the tokens a message gives.
// Version 4 added the HTML mail's own table to the snapshot and the form
// token to the tokens.
constexpr uint32_t kFormatVersion = 4;
constexpr size_t kJournalHeaderSize = 8;
constexpr size_t kRecordHeaderSize = 8;  // length and checksum
constexpr size_t kVoteFixedSize = 14;    // sequence, kind, verdict, token count
constexpr uint8_t kVoteRecord = 1;

std::string UnsupportedVersion(uint32_t version) {
    std::string text = "unsupported version " + std::to_string(version);
    if (version < kFormatVersion)
        text += " (learned by an older tokenizer; remove the store's token files and train again)";
    return text;
}

class ByteWriter {
  public:
    void U8(uint8_t v) { m_data += static_cast<char>(v); }
    void U16(uint16_t v) { Little(v, 2); }
    void U32(uint32_t v) { Little(v, 4); }
    void U64(uint64_t v) { Little(v, 8); }
    void Bytes(std::string_view v) { m_data += v; }
    void ShortString(std::string_view v) {
        U16(static_cast<uint16_t>(v.size()));
        Bytes(v);
    }
    std::string& Data() { return m_data; }

  private:
    void Little(uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            m_data += static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    std::string m_data;
};

// Reads what ByteWriter wrote; any read past the end makes it fail.
class ByteReader {
  public:
    explicit ByteReader(std::string_view data) : m_data(data) {}
    bool Ok() const { return m_ok; }
    bool AtEnd() const { return m_data.empty(); }
    size_t Remaining() const { return m_data.size(); }
    uint8_t U8() { return static_cast<uint8_t>(Little(1)); }
    uint16_t U16() { return static_cast<uint16_t>(Little(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Little(4)); }
    uint64_t U64() { return Little(8); }
    std::string_view Bytes(size_t n) {
        if (!m_ok || m_data.size() < n) {
            m_ok = false;
            return {};
        }
        std::string_view out = m_data.substr(0, n);
        m_data.remove_prefix(n);
        return out;
    }
    std::string_view ShortString() { return Bytes(U16()); }

  private:
    uint64_t Little(int bytes) {
        std::string_view raw = Bytes(static_cast<size_t>(bytes));
        uint64_t v = 0;
        for (size_t i = 0; i < raw.size(); ++i)
            v |= uint64_t(static_cast<unsigned char>(raw[i])) << (8 * i);
        return v;
    }
    std::string_view m_data;
    bool m_ok = true;
};

// A table in the snapshot: message totals, entries, remembered votes.
void WriteTable(ByteWriter& out, const TokenCountTable& table) {
    out.U64(table.SpamMessages());
    out.U64(table.GoodMessages());
    out.U64(table.Size());
    table.ForEach([&](const std::string& token, const TokenCounts& counts) {
        out.ShortString(token.substr(0, UINT16_MAX));
        out.U32(counts.spam);
        out.U32(counts.good);
    });
    out.U64(table.VotesRemembered());
    table.ForEachVote([&](uint64_t fingerprint, Verdict verdict) {
        out.U64(fingerprint);
        out.U8(static_cast<uint8_t>(static_cast<int8_t>(verdict)));
    });
}

// False when a remembered vote is neither spam nor good; a short read shows
// in the reader.
bool ReadTable(ByteReader& in, TokenCountTable& table) {
    uint64_t spamMessages = in.U64();
    uint64_t goodMessages = in.U64();
    uint64_t count = in.U64();
    for (uint64_t i = 0; i < count && in.Ok(); ++i) {
        std::string token(in.ShortString());
        TokenCounts counts{in.U32(), in.U32()};
        table.Set(std::move(token), counts);
    }
    uint64_t votes = in.U64();
    for (uint64_t i = 0; i < votes && in.Ok(); ++i) {
        uint64_t fingerprint = in.U64();
        auto verdict = static_cast<int8_t>(in.U8());
        if (verdict != 1 && verdict != -1)
            return false;
        table.RememberVote(fingerprint, static_cast<Verdict>(verdict));
    }
    table.SetMessages(spamMessages, goodMessages);
    return true;
}

std::string JournalHeader() {
    ByteWriter header;
    header.Bytes(kJournalMagic);
    header.U32(kFormatVersion);
    return header.Data();
}

// A vote as the journal holds it.
struct JournalRecord {
    size_t size = 0;  // in the file: length, checksum and payload
    uint64_t sequence = 0;
    Verdict verdict = Verdict::Spam;
    std::vector<std::string> tokens;
};

enum class RecordState {
    Whole,
    // Too short for a vote (as zeros are), runs past the end or fails its
    // checksum: torn by a crash, or damaged.
    Damaged,
    Foreign,  // passes its checksum but is no vote record
};

RecordState ReadRecord(std::string_view data, size_t offset, JournalRecord& record) {
    ByteReader in(data.substr(offset));
    uint32_t length = in.U32();
    uint32_t crc = in.U32();
    if (!in.Ok() || length < kVoteFixedSize || length > in.Remaining())
        return RecordState::Damaged;
    std::string_view payload = in.Bytes(length);
    if (Crc32(payload) != crc)
        return RecordState::Damaged;
    ByteReader vote(payload);
    record.size = kRecordHeaderSize + length;
    record.sequence = vote.U64();
    uint8_t kind = vote.U8();
    auto verdict = static_cast<int8_t>(vote.U8());
    uint32_t count = vote.U32();
    record.tokens.clear();
    // The count is the file's word: reserve no more than the record can
    // hold (a token takes at least its 2-byte length).
    record.tokens.reserve(std::min<size_t>(count, vote.Remaining() / 2));
    for (uint32_t i = 0; i < count && vote.Ok(); ++i)
        record.tokens.emplace_back(vote.ShortString());
    if (!vote.Ok() || !vote.AtEnd() || kind != kVoteRecord || (verdict != 1 && verdict != -1))
        return RecordState::Foreign;
    record.verdict = static_cast<Verdict>(verdict);
    return RecordState::Whole;
}

// A quick look before the checksum: whether the start of a vote later than
// `sequence` could lie at `offset`.
bool CouldStartVoteAfter(std::string_view data, size_t offset, uint64_t sequence) {
    ByteReader in(data.substr(offset));
    uint32_t length = in.U32();
    in.U32();  // the checksum
    if (!in.Ok() || length < kVoteFixedSize || length > in.Remaining())
        return false;
    uint64_t next = in.U64();
    uint8_t kind = in.U8();
    auto verdict = static_cast<int8_t>(in.U8());
    uint32_t count = in.U32();
    return next > sequence && kind == kVoteRecord && (verdict == 1 || verdict == -1) &&
           count <= (length - kVoteFixedSize) / 2;
}

// Where the next whole vote later than `sequence` begins, looking from
// `from` on; npos when none does.
size_t FindNextRecord(std::string_view data, size_t from, uint64_t sequence) {
    JournalRecord record;
    for (size_t offset = from; offset + kRecordHeaderSize + kVoteFixedSize <= data.size(); ++offset)
        if (CouldStartVoteAfter(data, offset, sequence) &&
            ReadRecord(data, offset, record) == RecordState::Whole)
            return offset;
    return std::string_view::npos;
}

// The records lost in the damaged stretch [begin, end): as many as their
// lengths lead from one to the next onto `end`; one when a damaged length
// breaks that chain.
uint64_t RecordsIn(std::string_view data, size_t begin, size_t end) {
    uint64_t count = 0;
    size_t offset = begin;
    while (offset + kRecordHeaderSize <= end) {
        size_t length = ByteReader(data.substr(offset, 4)).U32();
        if (length < kVoteFixedSize || length > end - offset - kRecordHeaderSize)
            return 1;
        offset += kRecordHeaderSize + length;
        ++count;
    }
    return offset == end ? count : 1;
}

// Writes the journal as found beside it, under the first free name of
// "NAME.damaged", "NAME.damaged.2", ...: an earlier copy may hold records
// this one does not.
std::filesystem::path KeepDamagedCopy(const std::filesystem::path& journal, std::string_view data) {
    for (int n = 1;; ++n) {
        std::filesystem::path copy = journal;
        copy += n == 1 ? ".damaged" : ".damaged." + std::to_string(n);
        int raw = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (raw < 0 && errno == EEXIST)
            continue;
        try {
            if (raw < 0)
                ThrowSystemError(copy, "create");
            UniqueFd fd(raw);
            WriteAll(fd.Get(), data, copy);
            SyncFile(fd.Get(), copy);
            SyncDirectory(journal.parent_path());
            return copy;
        } catch (const StoreError& error) {
            if (raw >= 0)
                ::unlink(copy.c_str());  // a part of a copy would pass for the whole
            throw StoreError(journal.string() +
                             ": damaged before whole records, and left as it is: no copy of it "
                             "could be kept (" +
                             error.what() + ")");
        }
    }
}

}  // namespace

std::string LoadReport::DamageNotice() const {
    if (skippedRecords == 0)
        return {};
    return "the vote journal was damaged: " + std::to_string(skippedRecords) +
           " record(s) skipped, " + std::to_string(recoveredRecords) +
           " recovered after the damage; the journal as found is kept as " + damagedCopy.string();
}

TokenStorage::TokenStorage(std::filesystem::path folder) : m_folder(std::move(folder)) {
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    if (error)
        throw StoreError(m_folder.string() +
                         ": cannot create the store folder: " + error.message());
    m_lock = OpenFile(m_folder / kLockName, O_RDWR | O_CREAT);
    if (::flock(m_lock.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            throw StoreError(m_folder.string() + ": the filter store is in use by another process");
        ThrowSystemError(m_folder / kLockName, "lock");
    }
}

LoadReport TokenStorage::Load(LearnedCounts& counts) {
    LoadReport report;
    report.lastSequence = LoadSnapshot(counts);
    ReplayJournal(counts, report);
    return report;
}

uint64_t TokenStorage::LoadSnapshot(LearnedCounts& counts) {
    const std::filesystem::path path = m_folder / kSnapshotName;
    const std::string data = ReadWholeFile(path);
    if (data.empty())
        return 0;
    auto damaged = [&](std::string_view why) {
        return StoreError(path.string() + ": " + std::string(why));
    };
    // A snapshot only ever appears whole (it is renamed into place), so any
    // flaw in it is damage, not a crash, and is reported.
    if (data.size() < 4 || std::string_view(data).substr(0, 4) != kSnapshotMagic)
        throw damaged("not a token snapshot (bad signature)");
    if (data.size() < 4 + 4 + 4)
        throw damaged("the snapshot is truncated");
    ByteReader trailer(std::string_view(data).substr(data.size() - 4));
    std::string_view body = std::string_view(data).substr(0, data.size() - 4);
    if (trailer.U32() != Crc32(body))
        throw damaged("checksum mismatch, the snapshot is damaged");
    ByteReader reader(body.substr(4));
    uint32_t version = reader.U32();
    if (version != kFormatVersion)
        throw damaged(UnsupportedVersion(version));
    uint64_t sequence = reader.U64();
    for (TokenCountTable* table : {&counts.all, &counts.html})
        if (!ReadTable(reader, *table))
            throw damaged("a remembered vote is neither spam nor good");
    if (!reader.Ok() || !reader.AtEnd())
        throw damaged("the snapshot's entries do not match its size");
    return sequence;
}

void TokenStorage::ReplayJournal(LearnedCounts& counts, LoadReport& report) {
    const std::filesystem::path path = m_folder / kJournalName;
    const std::string data = ReadWholeFile(path);
    const std::string header = JournalHeader();
    if (data.size() < header.size() && std::string_view(header).starts_with(data)) {
        // Missing, or cut short while it was being created: start afresh.
        m_journal = OpenFile(path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND);
        WriteAll(m_journal.Get(), header, path);
        SyncFile(m_journal.Get(), path);
        SyncDirectory(m_folder);
        report.discardedBytes = data.size();
        m_syncedSize = m_appendedSize = header.size();
        return;
    }
    if (std::string_view(data).substr(0, 4) != kJournalMagic)
        throw StoreError(path.string() + ": not a vote journal (bad signature)");
    uint32_t version = ByteReader(std::string_view(data).substr(4, 4)).U32();
    if (version != kFormatVersion)
        throw StoreError(path.string() + ": " + UnsupportedVersion(version));

    std::vector<std::string_view> wholeRecords;  // what a damaged journal is rewritten with
    uint64_t previousInFile = 0;                 // the sequence of the last whole record read
    size_t offset = kJournalHeaderSize;
    JournalRecord record;
    while (offset < data.size()) {
        RecordState state = ReadRecord(data, offset, record);
        // A record that passes its checksum yet does not parse was written by
        // something else: refuse it rather than guess.
        if (state == RecordState::Foreign)
            throw StoreError(path.string() + ": malformed vote record at offset " +
                             std::to_string(offset));
        if (state == RecordState::Damaged) {
            size_t next = FindNextRecord(data, offset + 1, previousInFile);
            if (next == std::string_view::npos)
                break;  // nothing whole after it: an append torn by a crash
            report.skippedRecords += RecordsIn(data, offset, next);
            offset = next;
            continue;
        }
        if (report.skippedRecords != 0)
            ++report.recoveredRecords;
        if (record.sequence > report.lastSequence) {
            counts.Learn(record.verdict, record.tokens);
            report.lastSequence = record.sequence;
            ++report.replayedVotes;
        }
        previousInFile = record.sequence;
        wholeRecords.push_back(std::string_view(data).substr(offset, record.size));
        offset += record.size;
    }
    report.discardedBytes = data.size() - offset;

    if (report.skippedRecords != 0) {
        // Kept before anything changes: what was skipped may still be read by a person.
        report.damagedCopy = KeepDamagedCopy(path, data);
        std::string repaired = header;
        for (std::string_view whole : wholeRecords)
            repaired += whole;
        ReplaceFileAtomically(path, repaired);
        m_journal = OpenFile(path, O_WRONLY | O_APPEND);
        m_syncedSize = m_appendedSize = repaired.size();
        return;
    }
    m_journal = OpenFile(path, O_WRONLY | O_APPEND);
    if (report.discardedBytes != 0) {
        // New votes must follow the last whole record, not the torn one.
        if (::ftruncate(m_journal.Get(), static_cast<off_t>(offset)) != 0)
            ThrowSystemError(path, "truncate");
        SyncFile(m_journal.Get(), path);
    }
    m_syncedSize = m_appendedSize = offset;
}

void TokenStorage::AppendVote(uint64_t sequence, Verdict verdict,
                              const std::vector<std::string>& tokens) {
    ByteWriter payload;
    payload.U64(sequence);
    payload.U8(kVoteRecord);
    payload.U8(static_cast<uint8_t>(static_cast<int8_t>(verdict)));
    payload.U32(static_cast<uint32_t>(tokens.size()));
    for (const std::string& token : tokens)
        payload.ShortString(token.substr(0, UINT16_MAX));
    ByteWriter record;
    record.U32(static_cast<uint32_t>(payload.Data().size()));
    record.U32(Crc32(payload.Data()));
    record.Bytes(payload.Data());
    m_appendedSize += record.Data().size();
    WriteAll(m_journal.Get(), record.Data(), m_folder / kJournalName);
}

void TokenStorage::Sync() {
    SyncFile(m_journal.Get(), m_folder / kJournalName);
    m_syncedSize = m_appendedSize;
}

void TokenStorage::DiscardUnsynced() {
    // Best effort: a failure here leaves a tail that the next load cuts off.
    if (::ftruncate(m_journal.Get(), static_cast<off_t>(m_syncedSize)) == 0)
        m_appendedSize = m_syncedSize;
}

void TokenStorage::WriteSnapshot(const LearnedCounts& counts, uint64_t sequence) {
    ByteWriter snapshot;
    snapshot.Bytes(kSnapshotMagic);
    snapshot.U32(kFormatVersion);
    snapshot.U64(sequence);
    WriteTable(snapshot, counts.all);
    WriteTable(snapshot, counts.html);
    snapshot.U32(Crc32(snapshot.Data()));
    ReplaceFileAtomically(m_folder / kSnapshotName, snapshot.Data());

    const std::filesystem::path path = m_folder / kJournalName;
    if (::ftruncate(m_journal.Get(), static_cast<off_t>(kJournalHeaderSize)) != 0)
        ThrowSystemError(path, "truncate");
    SyncFile(m_journal.Get(), path);
    m_syncedSize = m_appendedSize = kJournalHeaderSize;
}

}  // namespace bv::filter
