#include <windows.h>

#include <gtest/gtest.h>

#include "support/replay/exception.h"
#include "support/replay/mutex.h"
#include "support/replay/unicode.h"

#include <atomic>
#include <thread>

using namespace replay;

TEST(ReplayException, WhatJoinsTheCategoryPathAndTheMessage) {
    EXPECT_STREQ(unicode::out_of_memory().what(), "unicode.out_of_memory[]");
    EXPECT_STREQ(unicode::invalid_codepage().what(), "unicode.invalid_codepage[]");
    EXPECT_STREQ(unicode::unmappable_character("x").what(), "unicode.unmappable_character[x]");
    EXPECT_STREQ(unicode::generic().what(), "unicode[]");
    EXPECT_STREQ(replay::exception("plain").what(), "[plain]");

    unicode::invalid_codepage error("cp 7");
    EXPECT_EQ(error.category(), "unicode.invalid_codepage");
    EXPECT_EQ(error.message(), "cp 7");
}

TEST(ReplayException, DerivedErrorsAreCaughtAsTheirBases) {
    EXPECT_THROW(throw unicode::unmappable_character(), unicode::generic);
    EXPECT_THROW(throw unicode::out_of_memory(), replay::exception);
    EXPECT_THROW(throw unicode::invalid_codepage(), std::exception);
}

TEST(ReplayUnicode, RoundTripsDependOnTheCodePage) {
    EXPECT_TRUE(unicode::can_round_trip(L"abc", 1252));
    EXPECT_FALSE(unicode::can_round_trip(L"\x041f\x0440\x0438\x0432\x0435\x0442", 1252));
    EXPECT_TRUE(unicode::can_round_trip(L"\x041f\x0440\x0438 \x00e9\x4e2d", 65001));
    EXPECT_TRUE(unicode::can_round_trip(L"caf\x00e9", 1252));
    EXPECT_FALSE(unicode::can_round_trip(L"abc", 12345));  // unknown code page
}

TEST(ReplayUnicode, ConvertsThroughTheCodePage) {
    EXPECT_EQ(unicode::to_narrow(L"caf\x00e9 \x20ac", 1252), "caf\xe9 \x80");
    EXPECT_EQ(unicode::to_wide("caf\xe9 \x80", 1252), L"caf\x00e9 \x20ac");
    EXPECT_EQ(unicode::to_narrow(L"\x00e9", 65001), "\xc3\xa9");
    EXPECT_EQ(unicode::to_wide("\xc3\xa9", 65001), L"\x00e9");
    EXPECT_EQ(unicode::to_narrow(L"", 1252), "");
    EXPECT_EQ(unicode::to_wide("", 12345), L"");  // empty text never asks the system
}

TEST(ReplayUnicode, FailuresBecomeTheirExceptions) {
    EXPECT_THROW(unicode::to_narrow(L"\x041f", 1252), unicode::unmappable_character);
    EXPECT_THROW(unicode::to_narrow(L"abc", 12345), unicode::invalid_codepage);
    EXPECT_THROW(unicode::to_wide("abc", 12345), unicode::invalid_codepage);
    EXPECT_THROW(unicode::to_wide("a\x82", 932), unicode::unmappable_character);  // lone lead byte
}

TEST(ReplayUnicode, CodePagesThatTakeNoFlagsStillConvert) {
    // UTF-8 is converted without the invalid-character check: a cut sequence
    // becomes the replacement character instead of an error.
    EXPECT_EQ(unicode::to_wide("a\xc3", 65001), L"a\xfffd");
    // 54936 refuses flags and the default-character report: asking for either would fail.
    EXPECT_EQ(unicode::to_wide(unicode::to_narrow(L"\x4e2d\x6587 abc", 54936), 54936),
              L"\x4e2d\x6587 abc");
    EXPECT_TRUE(unicode::can_round_trip(L"\x4e2d\x6587", 54936));
}

TEST(ReplayUnicode, IdentityMappingCoversTheFirst256Characters) {
    EXPECT_EQ(unicode::to_narrow(L"a\x00ff", unicode::identity_codepage), "a\xff");
    EXPECT_EQ(unicode::to_wide("a\xff\x80", unicode::identity_codepage), L"a\x00ff\x0080");
    EXPECT_THROW(unicode::to_narrow(L"\x0100", unicode::identity_codepage),
                 unicode::unmappable_character);
    EXPECT_TRUE(unicode::can_round_trip(L"\x00e9", unicode::identity_codepage));
    EXPECT_FALSE(unicode::can_round_trip(L"\x20ac", unicode::identity_codepage));
}

namespace {
// Counts how often it is entered and left.
class CountingLock : public scope_semantics {
  public:
    void enter() override { ++entered; }
    void leave() override { ++left; }
    int entered = 0;
    int left = 0;
};
}  // namespace

TEST(ReplayScope, LeavesItsObjectExactlyOnce) {
    CountingLock lock;
    {
        scope held(&lock);
        EXPECT_EQ(lock.entered, 1);
        held.leave();
        EXPECT_EQ(lock.left, 1);
    }
    EXPECT_EQ(lock.left, 1);  // the destructor did nothing more

    try {
        scope held(&lock);
        throw std::runtime_error("passes through");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(lock.entered, 2);
    EXPECT_EQ(lock.left, 2);

    scope empty(nullptr);  // holds nothing, leaves nothing
    empty.leave();
}

TEST(ReplayMutex, IsRecursiveAndExcludesOtherThreads) {
    mutex lock;
    long counter = 0;
    auto work = [&] {
        for (int i = 0; i < 2000; ++i) {
            scope outer(&lock);
            scope inner(&lock);  // the owner may enter again
            long seen = counter;
            std::this_thread::yield();
            counter = seen + 1;
        }
    };
    std::thread a(work), b(work), c(work);
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(counter, 6000);
}
