// BSTR: its length prefix, byte-length strings and reallocation; and _bstr_t,
// whose copies share one string, also across threads.
#include <windows.h>
#include <objbase.h>
#include <comdef.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

UINT StoredPrefix(BSTR bstr) {
    UINT prefix;
    std::memcpy(&prefix, reinterpret_cast<char*>(bstr) - sizeof prefix, sizeof prefix);
    return prefix;
}

}  // namespace

TEST(ComTypesBstr, PrefixHoldsByteLengthAndTextIsTerminated) {
    const wchar_t withNull[] = {L'a', L'\0', L'b'};
    BSTR bstr = SysAllocStringLen(withNull, 3);
    ASSERT_NE(bstr, nullptr);
    EXPECT_EQ(StoredPrefix(bstr), 3 * sizeof(OLECHAR));
    EXPECT_EQ(SysStringLen(bstr), 3u);
    EXPECT_EQ(SysStringByteLen(bstr), 3 * sizeof(OLECHAR));
    EXPECT_EQ(bstr[1], L'\0');
    EXPECT_EQ(bstr[2], L'b');
    EXPECT_EQ(bstr[3], L'\0');
    SysFreeString(bstr);

    BSTR blank = SysAllocStringLen(nullptr, 4);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(SysStringLen(blank), 4u);
    EXPECT_EQ(blank[4], L'\0');
    SysFreeString(blank);

    BSTR empty = SysAllocString(L"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0u);
    SysFreeString(empty);
}

TEST(ComTypesBstr, ByteLengthStringsKeepOddLengths) {
    BSTR bytes = SysAllocStringByteLen("abcde", 5);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(SysStringByteLen(bytes), 5u);
    EXPECT_EQ(SysStringLen(bytes), 5 / sizeof(OLECHAR));
    EXPECT_EQ(std::memcmp(bytes, "abcde", 5), 0);
    for (size_t i = 0; i < sizeof(OLECHAR); ++i)
        EXPECT_EQ(reinterpret_cast<char*>(bytes)[5 + i], '\0');
    SysFreeString(bytes);
}

TEST(ComTypesBstr, NullStringsAreEmptyAndReallocationMayReuseTheOldText) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);

    BSTR bstr = SysAllocString(L"hello world");
    ASSERT_TRUE(SysReAllocString(&bstr, bstr + 6));
    EXPECT_STREQ(bstr, L"world");
    EXPECT_EQ(SysStringLen(bstr), 5u);
    ASSERT_TRUE(SysReAllocStringLen(&bstr, L"xy", 1));
    EXPECT_STREQ(bstr, L"x");
    SysFreeString(bstr);
}

TEST(ComTypesBstrT, CopiesShareOneStringAndOnlyUnsharedOnesDetach) {
    _bstr_t first(L"shared");
    {
        _bstr_t second = first;
        EXPECT_EQ(static_cast<const wchar_t*>(second), static_cast<const wchar_t*>(first));
        try {
            first.Detach();
            FAIL() << "detached a shared string";
        } catch (const _com_error& e) {
            EXPECT_EQ(e.Error(), E_POINTER);
        }
        BSTR* slot = second.GetAddress();  // leaves `first` as it was
        EXPECT_EQ(*slot, nullptr);
        *slot = SysAllocString(L"out");
        EXPECT_EQ(second, _bstr_t(L"out"));
    }
    EXPECT_STREQ(static_cast<const wchar_t*>(first), L"shared");
    BSTR detached = first.Detach();
    EXPECT_STREQ(detached, L"shared");
    EXPECT_EQ(static_cast<const wchar_t*>(first), nullptr);
    first.Attach(detached);  // owned again, freed by first's destructor
    BSTR own = first.copy();
    EXPECT_NE(own, first.GetBSTR());
    SysFreeString(own);
}

TEST(ComTypesBstrT, LengthComparisonAndConcatenation) {
    const wchar_t withNull[] = {L'a', L'\0', L'b'};
    _bstr_t embedded(SysAllocStringLen(withNull, 3), false);
    EXPECT_EQ(embedded.length(), 3u);
    EXPECT_NE(embedded, _bstr_t(L"a"));
    EXPECT_EQ(_bstr_t(), _bstr_t(L""));
    EXPECT_TRUE(!_bstr_t());
    EXPECT_FALSE(!_bstr_t(L""));
    EXPECT_LT(_bstr_t(L"a"), _bstr_t(L"ab"));
    EXPECT_GT(_bstr_t(L"b"), _bstr_t(L"ab"));
    EXPECT_TRUE(_bstr_t(L"x") == L"x");

    _bstr_t joined = L"COMEX: " + _bstr_t(L"CConnect") + _bstr_t();
    joined += L" -- hr=-2147467259";
    EXPECT_STREQ(static_cast<const wchar_t*>(joined), L"COMEX: CConnect -- hr=-2147467259");
    EXPECT_EQ((embedded + embedded).length(), 6u);
}

TEST(ComTypesBstrT, CopiesMayBeTakenAndDroppedOnManyThreads) {
    _bstr_t shared(L"shared");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&shared] {
            for (int i = 0; i < 2000; ++i) {
                _bstr_t copy = shared;
                EXPECT_EQ(copy.length(), 6u);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    BSTR detached = shared.Detach();  // only possible when no copy is left
    SysFreeString(detached);
}
