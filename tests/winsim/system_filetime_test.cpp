// FILETIME conversions: FileTimeToSystemTime and FileTimeToLocalFileTime.
#include <gtest/gtest.h>

#include <windows.h>

namespace {

FILETIME Ft(unsigned long long ticks) {
    FILETIME ft;
    ft.dwLowDateTime = (DWORD)ticks;
    ft.dwHighDateTime = (DWORD)(ticks >> 32);
    return ft;
}

void ExpectTime(unsigned long long ticks, WORD y, WORD mo, WORD dow, WORD d, WORD h, WORD mi, WORD s, WORD ms) {
    FILETIME ft = Ft(ticks);
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st)) << ticks;
    EXPECT_EQ(st.wYear, y) << ticks;
    EXPECT_EQ(st.wMonth, mo) << ticks;
    EXPECT_EQ(st.wDayOfWeek, dow) << ticks;
    EXPECT_EQ(st.wDay, d) << ticks;
    EXPECT_EQ(st.wHour, h) << ticks;
    EXPECT_EQ(st.wMinute, mi) << ticks;
    EXPECT_EQ(st.wSecond, s) << ticks;
    EXPECT_EQ(st.wMilliseconds, ms) << ticks;
}

TEST(FileTimes, ToSystemTime) {
    ExpectTime(0, 1601, 1, 1, 1, 0, 0, 0, 0);                     // a Monday
    ExpectTime(116444736000000000ULL, 1970, 1, 4, 1, 0, 0, 0, 0);  // a Thursday
    ExpectTime(126281559670890000ULL, 2001, 3, 0, 4, 5, 6, 7, 89);
    // 2000-02-29, a leap day, just before midnight.
    ExpectTime(125963423999990000ULL, 2000, 2, 2, 29, 23, 59, 59, 999);
}

TEST(FileTimes, ValuesFromTheTopBitOnAreRefused) {
    FILETIME ft = Ft(0x8000000000000000ULL);
    SYSTEMTIME st;
    SetLastError(0);
    EXPECT_FALSE(FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST(FileTimes, LocalFileTimeDiffersByTheZoneBiasOnly) {
    const unsigned long long ticks = 126281559670890000ULL;
    FILETIME ft = Ft(ticks), local;
    ASSERT_TRUE(FileTimeToLocalFileTime(&ft, &local));
    const unsigned long long l = ((unsigned long long)local.dwHighDateTime << 32) | local.dwLowDateTime;
    const long long diff = (long long)(l - ticks);
    EXPECT_EQ(diff % (60LL * 10000000LL), 0);
}

}  // namespace
