// Time on the simulated machine: the clock answers GetLocalTime,
// GetSystemTime and GetTickCount, and Sleep moves it instead of waiting.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

namespace {

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms) {
    SYSTEMTIME st{};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wHour = hour;
    st.wMinute = minute;
    st.wSecond = second;
    st.wMilliseconds = ms;
    return st;
}

void ExpectTime(const SYSTEMTIME &t, WORD year, WORD month, WORD day, WORD dow, WORD hour, WORD minute, WORD second,
                WORD ms) {
    EXPECT_EQ(t.wYear, year);
    EXPECT_EQ(t.wMonth, month);
    EXPECT_EQ(t.wDay, day);
    EXPECT_EQ(t.wDayOfWeek, dow);
    EXPECT_EQ(t.wHour, hour);
    EXPECT_EQ(t.wMinute, minute);
    EXPECT_EQ(t.wSecond, second);
    EXPECT_EQ(t.wMilliseconds, ms);
}

TEST(Clock, LocalAndSystemTimeAreTheMachineClock) {
    winsim::SetClock(At(2001, 3, 14, 23, 59, 58, 500));
    SYSTEMTIME local, system;
    GetLocalTime(&local);
    GetSystemTime(&system);
    ExpectTime(local, 2001, 3, 14, 3, 23, 59, 58, 500);  // a Wednesday
    ExpectTime(system, 2001, 3, 14, 3, 23, 59, 58, 500);
    Sleep(2000);
    GetLocalTime(&local);
    ExpectTime(local, 2001, 3, 15, 4, 0, 0, 0, 500);
}

TEST(Clock, TickCountFollowsSleep) {
    // The default clock starts at 08:00, eight hours after the start of the count.
    EXPECT_EQ(GetTickCount(), 8u * 3600u * 1000u);
    DWORD before = GetTickCount();
    Sleep(1500);
    EXPECT_EQ(GetTickCount() - before, 1500u);
    winsim::AdvanceClock(250);
    EXPECT_EQ(GetTickCount() - before, 1750u);
}

TEST(Clock, FailedSleepDoesNotAdvance) {
    uint64_t before = winsim::ClockMs();
    winsim::InjectFault("Sleep", ERROR_INVALID_PARAMETER);
    Sleep(1000);
    EXPECT_EQ(winsim::ClockMs(), before);
    Sleep(1000);
    EXPECT_EQ(winsim::ClockMs(), before + 1000);
    EXPECT_EQ(winsim::CallCount("Sleep"), 2u);
}

TEST(MachineIdentity, ComesFromTheMachine) {
    winsim::Machine &m = winsim::LocalMachine();
    m.userName = "QBAdmin";
    m.commandLine = "MsiExec.exe -Embedding 1234";
    char buffer[64];
    DWORD size = sizeof buffer;
    ASSERT_TRUE(GetUserNameA(buffer, &size));
    EXPECT_STREQ(buffer, "QBAdmin");
    EXPECT_EQ(size, 8u);
    EXPECT_STREQ(GetCommandLineA(), "MsiExec.exe -Embedding 1234");
    size = sizeof buffer;
    ASSERT_TRUE(GetComputerNameA(buffer, &size));
    EXPECT_STREQ(buffer, "QLSERVER");

    m.majorVersion = 4;
    m.minorVersion = 0;
    m.buildNumber = 1381;
    m.csdVersion = "Service Pack 6";
    m.productType = VER_NT_WORKSTATION;
    OSVERSIONINFOEXA v{};
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExA((LPOSVERSIONINFOA)&v));
    EXPECT_EQ(v.dwMajorVersion, 4u);
    EXPECT_EQ(v.dwBuildNumber, 1381u);
    EXPECT_STREQ(v.szCSDVersion, "Service Pack 6");
    EXPECT_EQ(v.wProductType, VER_NT_WORKSTATION);
    EXPECT_EQ(GetVersion(), 0x05650004u);  // build 1381 = 0x565, version 4.0
}

TEST(FormatMessageFaults, InjectedFailure) {
    winsim::InjectFault("FormatMessageA", ERROR_NOT_ENOUGH_MEMORY);
    char buffer[64];
    SetLastError(0);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 2, 0, buffer, sizeof buffer, nullptr), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
}

TEST(FormatMessageOptions, LinesJoinedAndModuleTablesUnsupported) {
    char buffer[128];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_MAX_WIDTH_MASK, nullptr, 5, 0, buffer,
                             sizeof buffer, nullptr);
    EXPECT_STREQ(buffer, "Access is denied. ");
    EXPECT_EQ(n, 18u);
    SetLastError(0);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE, GetModuleHandleA("QLSETGUI.dll"), 1, 0, buffer,
                             sizeof buffer, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED);
    SetLastError(0);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 2, MAKELANGID(0x07, SUBLANG_DEFAULT), buffer,
                             sizeof buffer, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_LANG_NOT_FOUND);
}

TEST(LocalMemory, StrayPointerIsRefused) {
    int onStack = 0;
    SetLastError(0);
    EXPECT_EQ(LocalFree(&onStack), (HLOCAL)&onStack);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    HLOCAL p = LocalAlloc(LMEM_FIXED, 8);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(LocalFree(p), nullptr);
    EXPECT_EQ(LocalFree(p), p);  // not twice
}

}  // namespace
