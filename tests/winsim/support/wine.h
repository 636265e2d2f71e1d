// Where a conformance test knows that Wine's function is a stub or behaves
// differently from Windows, it skips itself under Wine with the reason; it
// still runs on the simulated machine and on Windows.
#ifndef TESTS_WINSIM_SUPPORT_WINE_H
#define TESTS_WINSIM_SUPPORT_WINE_H

#include <gtest/gtest.h>
#include <windows.h>

#include <initializer_list>
#include <string>

// TRUE under Wine: its ntdll exports wine_get_version. The simulated
// machine's headers announce themselves, and it is never Wine.
inline bool RunningOnWine() {
#ifdef WINSIM_WINDOWS_H
    return false;
#else
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#endif
}

// TRUE on a real machine (Windows or Wine), whose clock runs by itself.
inline bool RunningOnRealClock() {
#ifdef WINSIM_WINDOWS_H
    return false;
#else
    return true;
#endif
}

// TRUE when the running test is one of the named cases of a parameterised
// test ("Suite.Test/Case" ends in "/Case").
inline bool RunningCase(std::initializer_list<const char *> cases) {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (const char *c : cases) {
        std::string tail = std::string("/") + c;
        if (name.size() >= tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0) return true;
    }
    return false;
}

#define SKIP_CASES_ON_WINE(reason, ...)                                                       \
    do {                                                                                      \
        if (RunningOnWine() && RunningCase({__VA_ARGS__})) GTEST_SKIP() << "Wine: " << reason; \
    } while (0)

// For what only the simulated clock can show (the order of events that a
// real machine's scheduling may swap).
#define SKIP_ON_REAL_CLOCK(reason)                                              \
    do {                                                                        \
        if (RunningOnRealClock()) GTEST_SKIP() << "real clock: " << reason;     \
    } while (0)

// For what the simulated machine scripts and a real one cannot (a user's
// answers to installer messages).
#define SKIP_ON_REAL_MACHINE(reason)                                            \
    do {                                                                        \
        if (RunningOnRealClock()) GTEST_SKIP() << "real machine: " << reason;   \
    } while (0)

// A seeding helper (support/network.h, support/services.h) returns null when
// it seeded the machine, else why it cannot: the test skips with that.
#define SEEDED_OR_SKIP(call)                                      \
    do {                                                          \
        if (const char *why_not_ = (call)) GTEST_SKIP() << why_not_; \
    } while (0)

#define SKIP_ON_WINE(reason)                                     \
    do {                                                         \
        if (RunningOnWine()) GTEST_SKIP() << "Wine: " << reason; \
    } while (0)

#endif
