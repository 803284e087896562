#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

// Starting and joining a thread may set the caller's last error (the
// runtime's own calls do), so each thread reads its value while the other,
// having set its own since, spins on an atomic: nothing else runs between.
TEST(LastError, IsKeptPerThread) {
    std::atomic<int> step{0};
    const auto waitFor = [&](int wanted) {
        while (step.load() < wanted) {
        }
    };
    DWORD seenByOtherThread = 1, keptByOtherThread = 0, keptByMain = 0;
    std::thread other([&] {
        seenByOtherThread = GetLastError();
        waitFor(1);
        SetLastError(ERROR_INVALID_PARAMETER);
        step.store(2);
        waitFor(3);
        keptByOtherThread = GetLastError();
    });
    SetLastError(ERROR_ACCESS_DENIED);
    step.store(1);
    waitFor(2);
    keptByMain = GetLastError();
    SetLastError(ERROR_FILE_NOT_FOUND);
    step.store(3);
    other.join();
    EXPECT_EQ(seenByOtherThread, 0u);
    EXPECT_EQ(keptByMain, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(keptByOtherThread, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Handles, ClosingAnUnknownOrClosedHandleFailsWithInvalidHandle) {
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(0x12345)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(nullptr));
}

TEST(Handles, ClosingAPseudoHandleDoesNothing) {
    EXPECT_TRUE(CloseHandle(GetCurrentThread()));
    EXPECT_TRUE(CloseHandle(GetCurrentProcess()));
    EXPECT_EQ(WaitForSingleObject(GetCurrentThread(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(HResult, Win32CodesMapIntoTheWin32Facility) {
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), static_cast<HRESULT>(0x80070002));
    EXPECT_EQ(HRESULT_FROM_WIN32(0), S_OK);
    EXPECT_TRUE(FAILED(E_FAIL));
    EXPECT_TRUE(SUCCEEDED(S_FALSE));
    EXPECT_EQ(HRESULT_CODE(E_INVALIDARG), ERROR_INVALID_PARAMETER);
}
