// Where the delivered messages are at the end of a run: every delivered
// message is looked for in every folder of every store, by its bytes (which a
// move keeps), so a message lost or copied shows whatever the add-in did.
#pragma once

#include <mailstore/model.h>

#include <map>
#include <string>
#include <vector>

namespace olsim {

// One folder's share of the delivered messages.
struct FolderTally {
    std::string path;  // "Personal Folders/Inbox"
    size_t good = 0;
    size_t spam = 0;
    size_t total() const { return good + spam; }
};

struct Census {
    size_t delivered = 0;
    size_t found = 0;                     // delivered messages found, copies included
    std::vector<FolderTally> folders;     // those holding a delivered message, in store order
    std::vector<std::string> missing;     // the name of each delivered message not found
    std::vector<std::string> duplicated;  // "NAME (in N folders)" for each found more than once
    bool EveryMessageOnce() const { return missing.empty() && duplicated.empty(); }
    // The folder's tally; an empty one when it holds none of the messages.
    FolderTally In(const std::string& path) const;
};

// The messages delivered in a run, known by their bytes.
class DeliveryLedger {
  public:
    void Record(const mailstore::Bytes& source, bool spam, const std::string& name);
    // One message of that source is no longer looked for (the user deleted it).
    void Forget(const mailstore::Bytes& source);
    size_t size() const { return m_count; }

    // Walks the current profile's stores, every folder from each store's top.
    Census Take() const;

  private:
    struct Entry {
        bool spam = false;
        std::vector<std::string> names;  // identical messages delivered more than once
    };
    std::map<std::string, Entry> m_bySource;
    size_t m_count = 0;
};

// A folder's path as scenarios write it: the store's display name, then the
// folders from its top down, separated by "/".
std::string FolderPath(const mailstore::FolderPtr& folder);

}  // namespace olsim
