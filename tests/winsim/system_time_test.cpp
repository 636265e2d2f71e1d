// Local and system time: valid fields, a weekday that fits the date, and a
// clock that Sleep moves on.
#include <gtest/gtest.h>

#include <windows.h>

namespace {

// Zeller-style weekday, 0 = Sunday.
int Weekday(int y, int m, int d) {
    static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) y -= 1;
    return (y + y / 4 - y / 100 + y / 400 + t[m - 1] + d) % 7;
}

void ExpectValid(const SYSTEMTIME &st) {
    EXPECT_GE(st.wYear, 1601);
    EXPECT_GE(st.wMonth, 1);
    EXPECT_LE(st.wMonth, 12);
    EXPECT_GE(st.wDay, 1);
    EXPECT_LE(st.wDay, 31);
    EXPECT_LE(st.wHour, 23);
    EXPECT_LE(st.wMinute, 59);
    EXPECT_LE(st.wSecond, 59);
    EXPECT_LE(st.wMilliseconds, 999);
    EXPECT_EQ(st.wDayOfWeek, Weekday(st.wYear, st.wMonth, st.wDay));
}

long SecondsOfDay(const SYSTEMTIME &st) { return st.wHour * 3600L + st.wMinute * 60L + st.wSecond; }

TEST(Time, LocalAndSystemTimeAreValid) {
    SYSTEMTIME local, system;
    GetLocalTime(&local);
    GetSystemTime(&system);
    ExpectValid(local);
    ExpectValid(system);
}

TEST(Time, SleepMovesTheClockOn) {
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    if (before.wHour == 23 && before.wMinute == 59) GTEST_SKIP() << "too close to midnight";
    Sleep(2000);
    GetLocalTime(&after);
    long moved = SecondsOfDay(after) - SecondsOfDay(before);
    EXPECT_GE(moved, 1);
    EXPECT_LE(moved, 10);
}

}  // namespace
