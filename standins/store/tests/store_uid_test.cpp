// Identifiers across runs: a second model over the same root (the next run)
// never hands out an identifier the first one gave, so an identifier kept in
// the registry finds its object or nothing; a fresh root repeats itself.
#include <mailstore/model.h>

#include "store_uid.h"
#include "temp_root.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

namespace mailstore {
namespace {

const Bytes kMail = [] {
    const std::string text = "From: a@example.com\r\nSubject: kept\r\n\r\nbody\r\n";
    return Bytes(text.begin(), text.end());
}();

// What one run makes: a mailbox and a personal folders file, a folder of the
// user's and a delivered message; every identifier handed out, in order.
struct OneRun {
    Model model;
    std::vector<EntryId> storeIds, folderIds, messageIds;

    OneRun() {
        const auto profile = model.AddProfile(L"Outlook");
        for (const auto& settings :
             {StoreSettings::Exchange(L"Mailbox - Jane", L"Org", "/o=Org/cn=jane"),
              StoreSettings::Personal(L"Personal Folders")}) {
            const auto store = profile->AddStore(settings);
            storeIds.push_back(store->Id());
            const auto made = store->IpmSubtree()->CreateSubfolder(L"Made by the user");
            messageIds.push_back(store->ReceiveFolder()->Deliver(kMail)->Id());
            messageIds.push_back(made->Deliver(kMail)->Id());
            Collect(store->Root());
        }
    }
    void Collect(const FolderPtr& folder) {
        folderIds.push_back(folder->Id());
        for (const auto& child : folder->Subfolders())
            Collect(child);
    }
    std::vector<EntryId> All() const {
        std::vector<EntryId> all = storeIds;
        all.insert(all.end(), folderIds.begin(), folderIds.end());
        all.insert(all.end(), messageIds.begin(), messageIds.end());
        return all;
    }
};

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Hex(const Bytes& bytes) {
    const std::wstring wide = EntryIdToHex(bytes);
    return std::string(wide.begin(), wide.end());
}

// A store's own 16 bytes, at the end of its entry identifier.
Bytes UidOf(const EntryId& storeId) {
    return Bytes(storeId.end() - 16, storeId.end());
}

TEST(StoreIdentifiers, TheNextRunInTheSameRootResolvesNoneOfTheFirstRunsIdentifiers) {
    TempRoot root;
    auto first = std::make_unique<OneRun>();
    const std::vector<EntryId> handedOut = first->All();
    first.reset();  // the first run ends; its identifiers stay in the registry

    const OneRun second;
    for (const EntryId& id : handedOut) {
        EXPECT_EQ(second.model.FindStore(id), nullptr) << Hex(id);
        EXPECT_EQ(second.model.FindFolder(id), nullptr) << Hex(id);
        EXPECT_EQ(second.model.FindMessage(id), nullptr) << Hex(id);
    }
    std::set<EntryId> all(handedOut.begin(), handedOut.end());
    for (const EntryId& id : second.All())
        EXPECT_TRUE(all.insert(id).second) << Hex(id) << " given in both runs";
}

TEST(StoreIdentifiers, AFreshRootGivesTheSameIdentifiersInEveryRun) {
    std::vector<EntryId> firstRoot, secondRoot;
    {
        TempRoot root;
        const OneRun run;
        firstRoot = run.All();
        // The file under the root holds the last store's 16 bytes, readable.
        EXPECT_EQ(FileText(StoreUidFile()), Hex(UidOf(run.storeIds.back())) + "\n");
    }
    {
        TempRoot root;
        secondRoot = OneRun().All();
    }
    EXPECT_EQ(firstRoot, secondRoot);
}

TEST(StoreIdentifiers, ModelsCountingAtOnceNeverGiveTheSameIdentifier) {
    TempRoot root;
    std::vector<std::vector<Bytes>> given(4);
    std::vector<std::thread> threads;
    for (auto& list : given) {
        threads.emplace_back([&list] {
            for (int i = 0; i < 25; ++i)
                list.push_back(NewStoreUid());
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::set<Bytes> distinct;
    for (const auto& list : given)
        distinct.insert(list.begin(), list.end());
    EXPECT_EQ(distinct.size(), 100u);
    // Counted, not drawn at random: the last one counted is the hundredth.
    EXPECT_EQ(FileText(StoreUidFile()), Hex(*distinct.rbegin()) + "\n");
}

TEST(StoreIdentifiers, ACountLostOrNotKeptNeverRepeatsAnEarlierRunsIdentifiers) {
    TempRoot root;
    const Bytes firstCounted = NewStoreUid();
    const Bytes secondCounted = NewStoreUid();

    // A damaged file: counting goes on from a random base, and is kept again.
    std::ofstream(StoreUidFile()) << "not an identifier\n";
    const Bytes afterDamage = NewStoreUid();
    EXPECT_EQ(FileText(StoreUidFile()), Hex(afterDamage) + "\n");
    EXPECT_NE(afterDamage, firstCounted);
    EXPECT_NE(afterDamage, secondCounted);
    Bytes successor = afterDamage;
    for (auto byte = successor.rbegin(); byte != successor.rend() && ++*byte == 0; ++byte) {
    }
    EXPECT_EQ(NewStoreUid(), successor);

    // A count that cannot be kept at all: every store gets a random identifier.
    std::filesystem::remove(StoreUidFile());
    std::filesystem::create_directory(StoreUidFile());
    std::set<Bytes> drawn;
    for (int i = 0; i < 5; ++i) {
        const Bytes uid = NewStoreUid();
        EXPECT_EQ(uid.size(), 16u);
        drawn.insert(uid);
    }
    EXPECT_EQ(drawn.size(), 5u);
    EXPECT_FALSE(drawn.contains(firstCounted) || drawn.contains(secondCounted));
}

}  // namespace
}  // namespace mailstore
