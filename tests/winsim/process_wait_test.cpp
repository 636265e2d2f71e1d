// Waiting for started programs, their exit codes, and ending them early.
#include "process_fixture.h"
#include "support/wine.h"

namespace proctest {
namespace {

class ProcessWait : public ProcessTest {
protected:
    void SetUp() override {
        ProcessTest::SetUp();
        slow_ = base_ + "\\slow.exe";
        quick_ = base_ + "\\quick.exe";
        MakeProgram(slow_, 3, 5000);
        MakeProgram(quick_, 4, 1000);
    }

    PROCESS_INFORMATION StartOk(const std::string &commandLine) {
        PROCESS_INFORMATION pi{};
        EXPECT_TRUE(Start(commandLine, pi)) << commandLine << ": " << GetLastError();
        return pi;
    }

    static DWORD ExitCode(HANDLE process) {
        DWORD code = 0xDEAD;
        EXPECT_TRUE(GetExitCodeProcess(process, &code));
        return code;
    }

    std::string slow_, quick_;
};

TEST_F(ProcessWait, AnInfiniteWaitLastsUntilTheProgramEnds) {
    PROCESS_INFORMATION pi = StartOk(slow_);
    DWORD t0 = GetTickCount();
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_ELAPSED(t0, 5000u);
    EXPECT_EQ(ExitCode(pi.hProcess), 3u);
    // An ended process stays signaled; waiting again takes no time.
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(pi.hThread, 0), WAIT_OBJECT_0);
    EXPECT_ELAPSED(t0, 5000u);
    CloseProcess(pi);
}

TEST_F(ProcessWait, StillActiveUntilTheEndAndTimeOutsTakeTheirTime) {
    PROCESS_INFORMATION pi = StartOk(slow_);
    DWORD t0 = GetTickCount();
    EXPECT_EQ(ExitCode(pi.hProcess), (DWORD)STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), (DWORD)WAIT_TIMEOUT);
    EXPECT_ELAPSED(t0, 0u);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 1500), (DWORD)WAIT_TIMEOUT);
    EXPECT_ELAPSED(t0, 1500u);
    EXPECT_EQ(WaitForSingleObject(pi.hThread, 3499), (DWORD)WAIT_TIMEOUT);
    EXPECT_ELAPSED(t0, 4999u);
    EXPECT_EQ(ExitCode(pi.hProcess), (DWORD)STILL_ACTIVE);
    // A time-out longer than the rest of the run ends with the program.
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    EXPECT_ELAPSED(t0, 5000u);
    EXPECT_EQ(ExitCode(pi.hProcess), 3u);
    DWORD threadCode = 0;
    EXPECT_TRUE(GetExitCodeThread(pi.hThread, &threadCode));
    EXPECT_EQ(threadCode, 3u);
    CloseProcess(pi);
}

TEST_F(ProcessWait, SleepingPastTheEndEndsTheProgram) {
    SKIP_ON_REAL_CLOCK("the program's own clock starts after the test's, so 1000 ms of the test's sleep may not reach its end");
    PROCESS_INFORMATION pi = StartOk(quick_);
    Sleep(999);
    EXPECT_EQ(ExitCode(pi.hProcess), (DWORD)STILL_ACTIVE);
    Sleep(1);
    EXPECT_EQ(ExitCode(pi.hProcess), 4u);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), WAIT_OBJECT_0);
    CloseProcess(pi);
}

TEST_F(ProcessWait, WaitingForSeveralPrograms) {
    struct Case {
        const char *what;
        BOOL waitAll;
        DWORD timeout;
        DWORD result;
        DWORD elapsed;
    } cases[] = {
        {"any: the first to end", FALSE, INFINITE, WAIT_OBJECT_0 + 1, 1000},
        {"all: the last to end", TRUE, INFINITE, WAIT_OBJECT_0, 5000},
        {"any, timing out before the first end", FALSE, 400, WAIT_TIMEOUT, 400},
        {"all, timing out between the ends", TRUE, 2000, WAIT_TIMEOUT, 2000},
        {"any, polled", FALSE, 0, WAIT_TIMEOUT, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PROCESS_INFORMATION slow = StartOk(slow_), quick = StartOk(quick_);
        HANDLE both[] = {slow.hProcess, quick.hProcess};
        DWORD t0 = GetTickCount();
        EXPECT_EQ(WaitForMultipleObjects(2, both, c.waitAll, c.timeout), c.result);
        EXPECT_ELAPSED(t0, c.elapsed);
        // Let both end before the next case.
        EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, INFINITE), WAIT_OBJECT_0);
        CloseProcess(slow);
        CloseProcess(quick);
    }
}

TEST_F(ProcessWait, AnyReportsTheLowestSignaledIndex) {
    PROCESS_INFORMATION a = StartOk(quick_);
    PROCESS_INFORMATION b = StartOk(quick_);
    // Both ended (a loaded machine may finish them in either order): every
    // handle below is signaled, and the lowest index must win.
    ASSERT_EQ(WaitForSingleObject(a.hProcess, INFINITE), WAIT_OBJECT_0);
    ASSERT_EQ(WaitForSingleObject(b.hProcess, INFINITE), WAIT_OBJECT_0);
    HANDLE handles[] = {b.hThread, a.hProcess};
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 0), WAIT_OBJECT_0);
    HANDLE reversed[] = {a.hProcess, b.hThread};
    EXPECT_EQ(WaitForMultipleObjects(2, reversed, FALSE, 0), WAIT_OBJECT_0);
    CloseProcess(a);
    CloseProcess(b);
}

TEST_F(ProcessWait, BadWaitsFail) {
    SKIP_ON_WINE("WaitForMultipleObjects accepts one handle twice when waiting for all (it times out instead of failing with ERROR_INVALID_PARAMETER)");
    PROCESS_INFORMATION pi = StartOk(quick_);
    HANDLE closed = pi.hThread;
    CloseHandle(closed);
    struct Case {
        const char *what;
        DWORD count;
        std::vector<HANDLE> handles;
        BOOL waitAll;
        DWORD error;
    } cases[] = {
        {"closed handle", 1, {closed}, FALSE, ERROR_INVALID_HANDLE},
        {"null handle", 1, {nullptr}, FALSE, ERROR_INVALID_HANDLE},
        {"closed handle among good ones", 2, {pi.hProcess, closed}, FALSE, ERROR_INVALID_HANDLE},
        {"no handles", 0, {pi.hProcess}, FALSE, ERROR_INVALID_PARAMETER},
        {"too many handles", MAXIMUM_WAIT_OBJECTS + 1, std::vector<HANDLE>(MAXIMUM_WAIT_OBJECTS + 1, pi.hProcess),
         FALSE, ERROR_INVALID_PARAMETER},
        {"one object twice, waiting for all", 2, {pi.hProcess, pi.hProcess}, TRUE, ERROR_INVALID_PARAMETER},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(0);
        EXPECT_EQ(WaitForMultipleObjects(c.count, c.handles.data(), c.waitAll, 10), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), c.error);
    }
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(closed, INFINITE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    DWORD code;
    EXPECT_FALSE(GetExitCodeProcess(closed, &code));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_FALSE(GetExitCodeProcess(nullptr, &code));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    CloseHandle(pi.hProcess);
}

TEST_F(ProcessWait, TheEffectHappensOnceWhenTheProgramEnds) {
    PROCESS_INFORMATION pi = StartOk(slow_ + " first");
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 4000), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(RunLog(), "");
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(RunLog(), slow_ + " first\r\n");
    // Later waits and queries see the ended program; it does not run again.
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCode(pi.hProcess), 3u);
    EXPECT_EQ(WaitForSingleObject(pi.hThread, 100), WAIT_OBJECT_0);
    EXPECT_EQ(RunLog(), slow_ + " first\r\n");
    CloseProcess(pi);
}

TEST_F(ProcessWait, AProgramNobodyWaitsForStillHasItsEffect) {
    PROCESS_INFORMATION pi = StartOk(quick_ + " unwatched");
    CloseProcess(pi);
    Sleep(2000);
    // Starting the next program finds the first one long finished.
    PROCESS_INFORMATION next = StartOk(slow_ + " next");
    EXPECT_EQ(RunLog(), quick_ + " unwatched\r\n");
    EXPECT_EQ(WaitForSingleObject(next.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(RunLog(), quick_ + " unwatched\r\n" + slow_ + " next\r\n");
    CloseProcess(next);
}

TEST_F(ProcessWait, TerminateEndsTheProgramAtOnceWithoutItsEffect) {
    SKIP_ON_WINE("TerminateProcess of a process that has ended succeeds instead of failing with ERROR_ACCESS_DENIED");
    PROCESS_INFORMATION pi = StartOk(slow_);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 1000), (DWORD)WAIT_TIMEOUT);
    DWORD t0 = GetTickCount();
    EXPECT_TRUE(TerminateProcess(pi.hProcess, 42));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_ELAPSED(t0, 0u);
    EXPECT_EQ(ExitCode(pi.hProcess), 42u);
    // Ended already: a second terminate is refused.
    EXPECT_FALSE(TerminateProcess(pi.hProcess, 1));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(ExitCode(pi.hProcess), 42u);
    Sleep(10000);
    EXPECT_EQ(RunLog(), "");
    EXPECT_FALSE(TerminateProcess(pi.hThread, 1));  // a thread handle is not a process handle
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    CloseProcess(pi);
}

TEST_F(ProcessWait, OpenProcessFindsRunningProgramsById) {
    SKIP_ON_WINE("OpenProcess still opens a process that has ended once all its handles are closed");
    PROCESS_INFORMATION pi = StartOk(slow_);
    HANDLE query = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, pi.dwProcessId);
    ASSERT_NE(query, nullptr);
    EXPECT_NE(query, pi.hProcess);
    EXPECT_EQ(ExitCode(query), (DWORD)STILL_ACTIVE);
    // The handle can do what it was opened for, no more.
    EXPECT_FALSE(TerminateProcess(query, 1));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    HANDLE syncOnly = OpenProcess(SYNCHRONIZE, FALSE, pi.dwProcessId);
    ASSERT_NE(syncOnly, nullptr);
    DWORD code;
    EXPECT_FALSE(GetExitCodeProcess(syncOnly, &code));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    HANDLE queryOnly = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pi.dwProcessId);
    ASSERT_NE(queryOnly, nullptr);
    EXPECT_EQ(WaitForSingleObject(queryOnly, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);

    EXPECT_EQ(WaitForSingleObject(syncOnly, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCode(query), 3u);
    CloseHandle(query);
    CloseHandle(syncOnly);
    CloseHandle(queryOnly);
    CloseProcess(pi);
    // Ended and every handle closed: the id names nothing any more.
    EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pi.dwProcessId), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 0), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(ProcessWait, TheRunningProgramItself) {
    HANDLE self = GetCurrentProcess();
    EXPECT_EQ(self, (HANDLE)(LONG_PTR)-1);
    EXPECT_EQ(ExitCode(self), (DWORD)STILL_ACTIVE);
    DWORD t0 = GetTickCount();
    EXPECT_EQ(WaitForSingleObject(self, 250), (DWORD)WAIT_TIMEOUT);
    EXPECT_ELAPSED(t0, 250u);
    HANDLE opened = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(ExitCode(opened), (DWORD)STILL_ACTIVE);
    EXPECT_TRUE(CloseHandle(opened));
}

}  // namespace
}  // namespace proctest
