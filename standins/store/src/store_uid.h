// The 16 bytes that make a store, and every identifier of its objects,
// unique: across runs in one root, as a personal folders file's identifier,
// made once when the file is created, is unique across Outlook's sessions.
#pragma once

#include <mailstore/entry_id.h>

#include <filesystem>

namespace mailstore {

// The file under the host root that keeps the last store identifier handed
// out there, as 32 hexadecimal digits.
std::filesystem::path StoreUidFile();

// One more than the last identifier handed out in the root, so a fresh root
// gives the same identifiers in every run and the next run in it new ones.
// When the file cannot be read or kept, a random identifier: one that a
// later run could hand out again is never given.
Bytes NewStoreUid();

}  // namespace mailstore
