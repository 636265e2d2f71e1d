// FILETIME from calendar time: SystemTimeToFileTime and LocalFileTimeToFileTime.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/wine.h"

namespace {

SYSTEMTIME St(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0) {
    SYSTEMTIME st = {};
    st.wYear = y;
    st.wMonth = mo;
    st.wDay = d;
    st.wHour = h;
    st.wMinute = mi;
    st.wSecond = s;
    st.wMilliseconds = ms;
    return st;
}

unsigned long long Ticks(const FILETIME &ft) { return ((unsigned long long)ft.dwHighDateTime << 32) | ft.dwLowDateTime; }

TEST(FileTimesFrom, SystemTimeGivesTicksSince1601) {
    FILETIME ft;
    SYSTEMTIME st = St(1601, 1, 1);
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    EXPECT_EQ(Ticks(ft), 0ull);
    st = St(1970, 1, 1);
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    EXPECT_EQ(Ticks(ft), 116444736000000000ull);
    st = St(2000, 2, 29, 23, 59, 59, 999);  // a leap day; the day of week is not looked at
    st.wDayOfWeek = 6;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    EXPECT_EQ(Ticks(ft), 116444736000000000ull + (951868799ull * 1000 + 999) * 10000);
    // Back again.
    SYSTEMTIME back;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    EXPECT_EQ(back.wDay, 29);
    EXPECT_EQ(back.wMilliseconds, 999);
}

void ExpectRefused(const SYSTEMTIME *bad, size_t count) {
    FILETIME ft;
    for (size_t i = 0; i < count; ++i) {
        const SYSTEMTIME &st = bad[i];
        SetLastError(0);
        EXPECT_FALSE(SystemTimeToFileTime(&st, &ft)) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    }
}

TEST(FileTimesFrom, FieldsOutOfRangeAreRefused) {
    SYSTEMTIME bad[] = {St(2001, 4, 31), St(2001, 13, 1), St(2001, 0, 1), St(2001, 1, 0), St(2001, 1, 1, 24),
                        St(2001, 1, 1, 0, 60), St(1600, 12, 31)};
    ExpectRefused(bad, sizeof bad / sizeof bad[0]);
}

TEST(FileTimesFrom, LeapDaysOfCommonYearsAreRefused) {
    SKIP_ON_WINE("its SystemTimeToFileTime accepts 29 February of a common year");
    SYSTEMTIME bad[] = {St(2001, 2, 29), St(1900, 2, 29)};
    ExpectRefused(bad, sizeof bad / sizeof bad[0]);
}

TEST(FileTimesFrom, LocalFileTimeRoundTrips) {
    SYSTEMTIME st = St(2003, 7, 14, 12, 30);
    FILETIME local, utc, again;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &again));
    EXPECT_EQ(Ticks(again), Ticks(local));
}

}  // namespace
