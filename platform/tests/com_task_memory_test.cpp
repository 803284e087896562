// The COM task allocator: blocks of zero bytes, growing and shrinking.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstring>

TEST(TaskMemory, ReallocationKeepsTheContentAndReallocatingToNothingFrees) {
    void* block = CoTaskMemAlloc(0);
    ASSERT_NE(block, nullptr);  // a distinct block even for no bytes
    block = CoTaskMemRealloc(block, 6);
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "hello", 6);
    block = CoTaskMemRealloc(block, 4096);
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(static_cast<char*>(block), "hello");

    // The block is freed and null answered; under the leak checker a block
    // kept here would be reported.
    EXPECT_EQ(CoTaskMemRealloc(block, 0), nullptr);

    // With no block, reallocation allocates.
    void* fresh = CoTaskMemRealloc(nullptr, 16);
    ASSERT_NE(fresh, nullptr);
    CoTaskMemFree(fresh);
    CoTaskMemFree(nullptr);
}
