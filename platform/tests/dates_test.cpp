#include <windows.h>

#include <oleauto.h>
#include <timezoneapi.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

SYSTEMTIME MakeTime(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0,
                    WORD second = 0, WORD milliseconds = 0) {
    SYSTEMTIME st{};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wHour = hour;
    st.wMinute = minute;
    st.wSecond = second;
    st.wMilliseconds = milliseconds;
    return st;
}

void ExpectTime(const SYSTEMTIME& st, WORD year, WORD month, WORD day, WORD dayOfWeek, WORD hour,
                WORD minute, WORD second, WORD milliseconds = 0) {
    EXPECT_EQ(st.wYear, year);
    EXPECT_EQ(st.wMonth, month);
    EXPECT_EQ(st.wDay, day);
    EXPECT_EQ(st.wDayOfWeek, dayOfWeek);
    EXPECT_EQ(st.wHour, hour);
    EXPECT_EQ(st.wMinute, minute);
    EXPECT_EQ(st.wSecond, second);
    EXPECT_EQ(st.wMilliseconds, milliseconds);
}

double ToVariant(SYSTEMTIME st) {
    double value = 0;
    EXPECT_TRUE(SystemTimeToVariantTime(&st, &value));
    return value;
}

}  // namespace

TEST(VariantTime, StoredDateOfMarch2007AndBack) {
    SYSTEMTIME st = MakeTime(2007, 3, 4, 9, 5, 3);
    const double value = ToVariant(st);
    EXPECT_NEAR(value, 39145.378506944444, 1e-9);
    // The eight bytes a REG_BINARY date holds (little-endian double).
    const unsigned char expected[8] = {0x76, 0x98, 0xba, 0x1c, 0x2c, 0x1d, 0xe3, 0x40};
    EXPECT_EQ(std::memcmp(&value, expected, 8), 0);

    SYSTEMTIME back;
    ASSERT_TRUE(VariantTimeToSystemTime(value, &back));
    ExpectTime(back, 2007, 3, 4, 0 /* Sunday */, 9, 5, 3);
}

TEST(VariantTime, AnchorsAndDatesBeforeTheEpoch) {
    EXPECT_EQ(ToVariant(MakeTime(1899, 12, 30)), 0.0);
    EXPECT_EQ(ToVariant(MakeTime(1900, 1, 1)), 2.0);
    EXPECT_EQ(ToVariant(MakeTime(1900, 1, 2, 6)), 3.25);
    // Before the epoch the fraction still counts forward from midnight.
    EXPECT_EQ(ToVariant(MakeTime(1899, 12, 29, 6)), -1.25);
    EXPECT_EQ(ToVariant(MakeTime(1800, 1, 1, 18)), -36522.75);
    EXPECT_EQ(ToVariant(MakeTime(100, 1, 1)), -657434.0);
    EXPECT_EQ(ToVariant(MakeTime(9999, 12, 31)), 2958465.0);

    SYSTEMTIME st;
    ASSERT_TRUE(VariantTimeToSystemTime(-1.25, &st));
    ExpectTime(st, 1899, 12, 29, 5 /* Friday */, 6, 0, 0);
    ASSERT_TRUE(VariantTimeToSystemTime(-36522.75, &st));
    ExpectTime(st, 1800, 1, 1, 3 /* Wednesday */, 18, 0, 0);
    ASSERT_TRUE(VariantTimeToSystemTime(-0.5, &st));
    ExpectTime(st, 1899, 12, 30, 6, 12, 0, 0);
    ASSERT_TRUE(VariantTimeToSystemTime(-657434.0, &st));
    ExpectTime(st, 100, 1, 1, 5, 0, 0, 0);
}

TEST(VariantTime, RoundTripsEverySecondOfADayBeforeAndAfterTheEpoch) {
    for (WORD year : {1601, 1899, 2024}) {
        for (int second = 0; second < 86400; second += 7) {
            SYSTEMTIME st = MakeTime(year, 6, 15, second / 3600, second / 60 % 60, second % 60);
            SYSTEMTIME back;
            ASSERT_TRUE(VariantTimeToSystemTime(ToVariant(st), &back));
            ASSERT_EQ(back.wHour * 3600 + back.wMinute * 60 + back.wSecond, second) << year;
            ASSERT_EQ(back.wDay, 15);
        }
    }
}

TEST(VariantTime, MillisecondsAreIgnoredAndTimesRoundToTheSecond) {
    EXPECT_EQ(ToVariant(MakeTime(2007, 3, 4, 9, 5, 3, 999)),
              ToVariant(MakeTime(2007, 3, 4, 9, 5, 3)));

    const double oneSecond = 1.0 / 86400;
    SYSTEMTIME st;
    ASSERT_TRUE(VariantTimeToSystemTime(2.0 + 10 * oneSecond + 0.4 * oneSecond, &st));
    ExpectTime(st, 1900, 1, 1, 1, 0, 0, 10);
    ASSERT_TRUE(VariantTimeToSystemTime(2.0 + 10 * oneSecond + 0.6 * oneSecond, &st));
    ExpectTime(st, 1900, 1, 1, 1, 0, 0, 11);
    // Half a second before midnight carries into the next day.
    ASSERT_TRUE(VariantTimeToSystemTime(3.0 - 0.3 * oneSecond, &st));
    ExpectTime(st, 1900, 1, 2, 2, 0, 0, 0);
    ASSERT_TRUE(VariantTimeToSystemTime(-1.0 - (1.0 - 0.3 * oneSecond), &st));
    ExpectTime(st, 1899, 12, 30, 6, 0, 0, 0);
}

TEST(VariantTime, OutOfRangeFieldsAndValuesFail) {
    double value = 0;
    SYSTEMTIME tooLate = MakeTime(10000, 1, 1);
    SYSTEMTIME badMonth = MakeTime(2001, 13, 1);
    SYSTEMTIME badDay = MakeTime(2001, 1, 32);
    for (SYSTEMTIME* st : {&tooLate, &badMonth, &badDay}) {
        EXPECT_FALSE(SystemTimeToVariantTime(st, &value));
    }
#ifndef _WIN32
    // Our answer where Windows' is not on record (Wine rolls into the next day).
    SYSTEMTIME badHour = MakeTime(2001, 1, 1, 24);
    EXPECT_FALSE(SystemTimeToVariantTime(&badHour, &value));
#endif
    SYSTEMTIME st;
    EXPECT_FALSE(VariantTimeToSystemTime(-657435.0, &st));
    EXPECT_FALSE(VariantTimeToSystemTime(2958466.0, &st));
    EXPECT_FALSE(VariantTimeToSystemTime(2958466.0 - 0.1 / 86400, &st));
    EXPECT_TRUE(VariantTimeToSystemTime(2958466.0 - 1.0 / 86400, &st));
}

TEST(VariantTime, YearsBelowOneHundredHaveTwoDigits) {
    EXPECT_EQ(ToVariant(MakeTime(90, 12, 31)), 33238.0);
    EXPECT_EQ(ToVariant(MakeTime(99, 12, 31)), ToVariant(MakeTime(1999, 12, 31)));
    EXPECT_EQ(ToVariant(MakeTime(100, 1, 1)), -657434.0);
}

TEST(VariantTime, DaysPastTheMonthEndRollOver) {
    EXPECT_EQ(ToVariant(MakeTime(2001, 2, 29)), ToVariant(MakeTime(2001, 3, 1)));
    EXPECT_EQ(ToVariant(MakeTime(2001, 2, 0)), ToVariant(MakeTime(2001, 1, 31)));
    EXPECT_EQ(ToVariant(MakeTime(2000, 2, 29)) + 1, ToVariant(MakeTime(2000, 3, 1)));
}

TEST(FileTime, EpochsAndRoundTripWithMilliseconds) {
    FILETIME ft;
    SYSTEMTIME st = MakeTime(1601, 1, 1);
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    EXPECT_EQ(ft.dwLowDateTime, 0u);
    EXPECT_EQ(ft.dwHighDateTime, 0u);

    st = MakeTime(1970, 1, 1);
    st.wDayOfWeek = 6;  // ignored
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    EXPECT_EQ((uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime, 116444736000000000ull);

    st = MakeTime(2024, 2, 29, 23, 59, 58, 987);
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    SYSTEMTIME back;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    ExpectTime(back, 2024, 2, 29, 4 /* Thursday */, 23, 59, 58, 987);

    ft = {0, 0};
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    ExpectTime(back, 1601, 1, 1, 1 /* Monday */, 0, 0, 0);
    ft = {0xFFFFFFFFu, 0x7FFFFFFFu};
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    EXPECT_EQ(back.wYear, 30828);
}

TEST(FileTime, InvalidFieldsAndNegativeTimesFailWithInvalidParameter) {
    const SYSTEMTIME bad[] = {
        MakeTime(1600, 12, 31),         MakeTime(2001, 2, 29),
        MakeTime(2001, 0, 1),           MakeTime(2001, 1, 0),
        MakeTime(2001, 1, 1, 24),       MakeTime(2001, 1, 1, 0, 60),
        MakeTime(2001, 1, 1, 0, 0, 60), MakeTime(2001, 1, 1, 0, 0, 0, 1000),
        MakeTime(30828, 1, 1),
    };
    FILETIME ft;
    for (const SYSTEMTIME& st : bad) {
        SetLastError(0);
        const BOOL converted = SystemTimeToFileTime(&st, &ft);
        const DWORD error = GetLastError();  // before gtest's own calls touch it
        EXPECT_FALSE(converted) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    ft = {0, 0x80000000u};
    SYSTEMTIME st;
    SetLastError(0);
    EXPECT_FALSE(FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}
