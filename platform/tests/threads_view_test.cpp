// The host's view of threads: live CreateThread threads and the named objects
// each is blocked on.
#include <gtest/gtest.h>
#include <platform/clock.h>
#include <platform/threads.h>
#include <windows.h>

namespace {

struct Handles {
    HANDLE named;
    HANDLE unnamed;
};

DWORD WINAPI WaitOnBoth(LPVOID parameter) {
    auto* handles = static_cast<Handles*>(parameter);
    HANDLE both[] = {handles->unnamed, handles->named};
    WaitForMultipleObjects(2, both, FALSE, INFINITE);
    return 0;
}

const platform::host::ThreadInfo* Find(const std::vector<platform::host::ThreadInfo>& threads,
                                       DWORD id) {
    for (const auto& thread : threads)
        if (thread.id == id)
            return &thread;
    return nullptr;
}

}  // namespace

TEST(ThreadsView, ShowsTheNamedObjectsALiveThreadWaitsOnAndForgetsItWhenItEnds) {
    platform::host::UseVirtualClock(SYSTEMTIME{2026, 12, 6, 5, 12, 0, 0, 0});
    Handles handles{CreateEventW(nullptr, TRUE, FALSE, L"BV-test-thread"),
                    CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, &WaitOnBoth, &handles, 0, &id);
    ASSERT_NE(thread, nullptr);
    platform::host::AdvanceClock(0);  // until it blocks

    auto threads = platform::host::ListThreads();
    const auto* info = Find(threads, id);
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->waiting);
    EXPECT_EQ(info->waitingOn, std::vector<std::wstring>{L"BV-test-thread"});

    SetEvent(handles.named);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(Find(platform::host::ListThreads(), id), nullptr);
    CloseHandle(thread);
    CloseHandle(handles.named);
    CloseHandle(handles.unnamed);
}

TEST(ThreadsView, ARunningThreadIsListedWithoutWaits) {
    DWORD id = 0;
    HANDLE thread = CreateThread(
        nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, CREATE_SUSPENDED, &id);
    auto threads = platform::host::ListThreads();
    const auto* info = Find(threads, id);
    ASSERT_NE(info, nullptr);  // suspended, not ended
    EXPECT_FALSE(info->waiting);
    EXPECT_TRUE(info->waitingOn.empty());
    ResumeThread(thread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}
