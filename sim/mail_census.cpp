#include "mail_census.h"

#include <functional>

#include "text.h"

namespace olsim {
namespace {

std::string Key(const mailstore::Bytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

}  // namespace

FolderTally Census::In(const std::string& path) const {
    for (const auto& folder : folders)
        if (SameName(Widen(folder.path), Widen(path)))
            return folder;
    return {path};
}

void DeliveryLedger::Record(const mailstore::Bytes& source, bool spam, const std::string& name) {
    Entry& entry = m_bySource[Key(source)];
    entry.spam = entry.names.empty() ? spam : entry.spam;
    entry.names.push_back(name);
    ++m_count;
}

void DeliveryLedger::Forget(const mailstore::Bytes& source) {
    auto entry = m_bySource.find(Key(source));
    if (entry == m_bySource.end())
        return;
    entry->second.names.pop_back();
    if (entry->second.names.empty())
        m_bySource.erase(entry);
    --m_count;
}

std::string FolderPath(const mailstore::FolderPtr& folder) {
    auto store = folder->OwningStore();
    if (!store)
        return Narrow(folder->Name());
    const auto top = store->IpmSubtree();
    std::string path;
    auto f = folder;
    for (; f && f != top && f->Parent(); f = f->Parent())
        path = "/" + Narrow(f->Name()) + path;
    // Above what Outlook shows, a folder is named from the store's root.
    return Narrow(store->DisplayName()) + (f == top ? "" : " (root)") + path;
}

Census DeliveryLedger::Take() const {
    Census census;
    census.delivered = m_count;
    std::map<std::string, size_t> found;  // by source
    auto profile = mailstore::Model::Process().CurrentProfile();
    std::function<void(const mailstore::FolderPtr&)> walk =
        [&](const mailstore::FolderPtr& folder) {
            FolderTally tally{FolderPath(folder)};
            for (const auto& message : folder->Messages()) {
                auto entry = m_bySource.find(Key(message->Source()));
                if (entry == m_bySource.end())
                    continue;
                ++found[entry->first];
                ++(entry->second.spam ? tally.spam : tally.good);
            }
            if (tally.total() > 0)
                census.folders.push_back(tally);
            census.found += tally.total();
            for (const auto& child : folder->Subfolders())
                walk(child);
        };
    for (const auto& store : profile ? profile->Stores() : std::vector<mailstore::StorePtr>{})
        walk(store->Root());

    for (const auto& [source, entry] : m_bySource) {
        size_t copies = found.count(source) ? found.at(source) : 0;
        const size_t expected = entry.names.size();
        // Identical messages are told apart by count only: the first ones
        // named are taken as found.
        for (size_t i = copies; i < expected; ++i)
            census.missing.push_back(entry.names[i]);
        if (copies > expected)
            census.duplicated.push_back(entry.names.front() + " (" + std::to_string(copies) +
                                        " copies of " + std::to_string(expected) + ")");
    }
    return census;
}

}  // namespace olsim
