// The store's files after damage or from another program: opening must load
// them or refuse them with a StoreError, never crash or run out of memory.
// Random bytes rarely pass a checksum, so the input is cut into records
// that carry a correct length and checksum, or, when asked, a wrong one: a
// damaged record with whole ones after it sends the loader to its recovery
// (a copy of the journal kept, the records after the damage read again).
// The first byte says whether the records go into the journal or, behind a
// snapshot's signature and version, into the snapshot.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "filter/file_io.h"
#include "filter/token_counts.h"
#include "filter/token_storage.h"
#include "own_folder.h"

namespace {

namespace fs = std::filesystem;
using bv::filter::Crc32;

std::string U32(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

// The journal's and the snapshot's headers as this build writes them.
struct Headers {
    std::string journal;
    std::string snapshot;
};

const Headers& CurrentHeaders(const fs::path& folder) {
    static const Headers headers = [&] {
        fs::remove_all(folder);
        {
            bv::filter::TokenStorage storage(folder);
            bv::filter::LearnedCounts counts;
            storage.Load(counts);
            storage.WriteSnapshot(counts, 0);
        }
        Headers h;
        h.journal = bv::filter::ReadWholeFile(folder / bv::filter::TokenStorage::kJournalName);
        h.snapshot = bv::filter::ReadWholeFile(folder / bv::filter::TokenStorage::kSnapshotName)
                         .substr(0, 8);  // signature and version
        return h;
    }();
    return headers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // In memory: a load that creates, cuts or recovers a journal syncs files and the folder.
    static const fs::path folder = fuzz::OwnFolder("store") / "store";
    const Headers& headers = CurrentHeaders(folder);
    if (size == 0)
        return 0;
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

    // Plain writes, not the store's synced ones: the loader is under test, not the disk.
    fs::remove_all(folder);
    fs::create_directories(folder);
    if (data[0] & 1) {
        // A snapshot: signature, version, the input, and its checksum.
        std::string snapshot = headers.snapshot + std::string(input);
        snapshot += U32(Crc32(snapshot));
        std::ofstream(folder / bv::filter::TokenStorage::kSnapshotName, std::ios::binary)
            << snapshot;
    } else {
        // A journal: records of up to 127 bytes, each length given by the byte
        // before it, whose top bit damages the record's checksum.
        std::string journal = headers.journal;
        while (!input.empty()) {
            const auto lead = static_cast<unsigned char>(input[0]);
            const size_t length = lead & 0x7F;
            const uint32_t damage = lead & 0x80 ? 1 : 0;
            std::string_view payload = input.substr(1, length);
            journal += U32(static_cast<uint32_t>(payload.size())) + U32(Crc32(payload) ^ damage);
            journal += payload;
            input.remove_prefix(std::min(input.size(), length + 1));
        }
        std::ofstream(folder / bv::filter::TokenStorage::kJournalName, std::ios::binary) << journal;
    }
    auto load = [&] {
        bv::filter::TokenStorage storage(folder);
        bv::filter::LearnedCounts counts;
        return storage.Load(counts);
    };
    bv::filter::LoadReport first;
    try {
        first = load();
    } catch (const bv::filter::StoreError&) {
        return 0;  // damaged or foreign: refused with its reason
    }
    // What an open leaves is whole: the next finds nothing to cut or skip,
    // and the same votes.
    const bv::filter::LoadReport second = load();
    if (second.skippedRecords != 0 || second.discardedBytes != 0 ||
        second.lastSequence != first.lastSequence || second.replayedVotes != first.replayedVotes)
        std::abort();
    return 0;
}
