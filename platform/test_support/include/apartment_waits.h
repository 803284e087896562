// The waits of a single-threaded apartment's thread that serve the calls other
// apartments make into it, as a thread waiting in COM does.
#pragma once

#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

// Serves calls into the calling apartment until `handle` is signalled.
inline void ServeUntil(HANDLE handle) {
    DWORD index = 99;
    ASSERT_EQ(CoWaitForMultipleHandles(0, INFINITE, 1, &handle, &index), S_OK);
    EXPECT_EQ(index, 0u);
}

// Serves what is queued already, and returns: a proxy's last release can come
// after the thread that held it ended.
inline void ServePending() {
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD index = 0;
    EXPECT_EQ(CoWaitForMultipleHandles(0, 0, 1, &never, &index), RPC_S_CALLPENDING);
    CloseHandle(never);
}
