// Many threads changing and reading the registry at once, and what the last
// save holds.
#include "registry_test_support.h"

#include <atomic>
#include <thread>

using namespace std::literals;

TEST(RegistryThreads, ManyWritersAndReadersAtOnce) {
    TempRoot root;
    constexpr int kThreads = 8, kRounds = 30;
    std::atomic<int> failures = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures] {
            std::wstring own = L"Software\\Threads\\T" + std::to_wstring(t);
            for (int i = 0; i < kRounds; ++i) {
                Key key, shared;
                DWORD value = t * 1000 + i;
                bool ok =
                    Create(HKEY_CURRENT_USER, own.c_str(), key) == ERROR_SUCCESS &&
                    Set(key, (L"v" + std::to_wstring(i)).c_str(), REG_DWORD, PlainData(value)) ==
                        ERROR_SUCCESS &&
                    Create(HKEY_CURRENT_USER, L"Software\\Threads", shared) == ERROR_SUCCESS &&
                    Set(shared, L"Last", REG_DWORD, PlainData(value)) == ERROR_SUCCESS;
                ok = ok && Query(key, (L"v" + std::to_wstring(i)).c_str()) ==
                               Stored{REG_DWORD, PlainData(value)};
                ok = ok && Query(shared, L"Last").has_value();
                SnapshotOf(shared);  // enumerates while others add keys and values
                if (!ok)
                    ++failures;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);

    Snapshot before = SnapshotOf(HKEY_CURRENT_USER);
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(before[L"\\Software\\Threads\\T" + std::to_wstring(t)].size(),
                  static_cast<size_t>(kRounds));
    host::ReloadRegistry();
    EXPECT_EQ(SnapshotOf(HKEY_CURRENT_USER), before);  // the last save holds every change
}
