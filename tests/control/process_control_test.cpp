// Programs seen from the control side: what the machine records about the
// programs started on it, when their effects run, the messages they post,
// fault injection, and what the simulated machine does not do.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <string>
#include <vector>

namespace {

using winsim::Machine;

const UINT kPing = WM_USER + 1;
const UINT kPong = WM_USER + 2;

class ProcessControl : public ::testing::Test {
protected:
    void SetUp() override { m_ = &winsim::LocalMachine(); }

    // A program at `path` whose effect counts its runs and remembers the
    // command lines and the clock at each run.
    void Program(const std::string &path, DWORD exitCode, DWORD runMs,
                 std::vector<std::pair<DWORD, UINT>> posts = {}) {
        m_->PutFile(path, "MZ");
        winsim::Program p;
        p.exitCode = exitCode;
        p.runMs = runMs;
        p.postsAt = std::move(posts);
        p.effect = [this](Machine &m, const std::string &commandLine) {
            EXPECT_EQ(&m, m_);
            runs_.push_back(commandLine);
            runTimes_.push_back(winsim::ClockMs());
        };
        m_->programs[path] = p;
    }

    BOOL Start(const char *commandLine, PROCESS_INFORMATION &pi, const char *directory = nullptr,
               DWORD flags = 0) {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        std::string line = commandLine;
        pi = PROCESS_INFORMATION{};
        return CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, flags, nullptr, directory, &si, &pi);
    }

    static void Close(PROCESS_INFORMATION &pi) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }

    Machine *m_ = nullptr;
    std::vector<std::string> runs_;
    std::vector<uint64_t> runTimes_;
};

TEST_F(ProcessControl, EveryStartIsRecorded) {
    Program("C:\\Tools\\Backup.exe", 0, 100);
    m_->MakeDirs("C:\\Work\\Sub");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Work"));
    struct Case {
        const char *commandLine;
        const char *directory;
        const char *recordedDirectory;
    } cases[] = {
        {"c:\\tools\\backup /full \"x y\"", nullptr, "C:\\Work"},
        {"\"C:\\Tools\\Backup.exe\"", "Sub", "C:\\Work\\Sub"},
        {"C:\\TOOLS\\BACKUP.EXE -q", "C:\\", "C:\\"},
    };
    uint64_t start = winsim::ClockMs();
    for (const Case &c : cases) {
        PROCESS_INFORMATION pi;
        ASSERT_TRUE(Start(c.commandLine, pi, c.directory)) << c.commandLine << ": " << GetLastError();
        Close(pi);
        winsim::AdvanceClock(1000);
    }
    ASSERT_EQ(m_->processLog.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(cases[i].commandLine);
        const winsim::ProcessRecord &r = m_->processLog[i];
        EXPECT_TRUE(winsim::EqualNoCase(r.application, "C:\\Tools\\Backup.exe")) << r.application;
        EXPECT_EQ(r.commandLine, cases[i].commandLine);
        EXPECT_EQ(r.currentDirectory, cases[i].recordedDirectory);
        EXPECT_EQ(r.startMs, start + 1000 * i);
    }
    // Each ended within its second; the last one is seen ending once asked.
    EXPECT_EQ(runs_.size(), 2u);
    winsim::SettleProcesses();
    EXPECT_EQ(runs_.size(), 3u);
}

TEST_F(ProcessControl, TheEffectRunsOnceAtTheEndEvenWithNobodyWaiting) {
    Program("C:\\Tools\\a.exe", 0, 500);
    Program("C:\\Tools\\b.exe", 0, 200);
    PROCESS_INFORMATION a, b;
    uint64_t start = winsim::ClockMs();
    ASSERT_TRUE(Start("C:\\Tools\\a.exe one", a));
    ASSERT_TRUE(Start("C:\\Tools\\b.exe two", b));
    Close(a);
    Close(b);
    winsim::AdvanceClock(199);
    winsim::SettleProcesses();
    EXPECT_TRUE(runs_.empty());
    winsim::AdvanceClock(1000);
    winsim::SettleProcesses();
    // Settled together, in the order they ended.
    EXPECT_EQ(runs_, (std::vector<std::string>{"C:\\Tools\\b.exe two", "C:\\Tools\\a.exe one"}));
    EXPECT_EQ(runTimes_, (std::vector<uint64_t>{start + 1199, start + 1199}));
    winsim::SettleProcesses();
    winsim::AdvanceClock(5000);
    winsim::SettleProcesses();
    EXPECT_EQ(runs_.size(), 2u);
}

TEST_F(ProcessControl, AWaitRunsTheEffectAtTheEndTime) {
    Program("C:\\Tools\\a.exe", 6, 750);
    PROCESS_INFORMATION pi;
    uint64_t start = winsim::ClockMs();
    ASSERT_TRUE(Start("C:\\Tools\\a.exe", pi));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(runTimes_, (std::vector<uint64_t>{start + 750}));
    Close(pi);
}

TEST_F(ProcessControl, AnEffectMayStartAnotherProgram) {
    Program("C:\\Tools\\second.exe", 2, 300);
    m_->PutFile("C:\\Tools\\first.exe", "MZ");
    winsim::Program first;
    first.exitCode = 1;
    first.runMs = 100;
    first.effect = [this](Machine &, const std::string &) {
        PROCESS_INFORMATION pi;
        ASSERT_TRUE(Start("C:\\Tools\\second.exe chained", pi));
        Close(pi);
    };
    m_->programs["C:\\Tools\\first.exe"] = first;
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(Start("C:\\Tools\\first.exe", pi));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    Close(pi);
    ASSERT_EQ(m_->processLog.size(), 2u);
    EXPECT_EQ(m_->processLog[1].startMs, m_->processLog[0].startMs + 100);
    winsim::AdvanceClock(300);
    winsim::SettleProcesses();
    EXPECT_EQ(runs_, (std::vector<std::string>{"C:\\Tools\\second.exe chained"}));
}

TEST_F(ProcessControl, ProgramsPostToTheThreadThatStartedThem) {
    // Posts at or after the end never happen; a terminated program posts no more.
    Program("C:\\Tools\\chatty.exe", 0, 1000, {{600, kPong}, {100, kPing}, {1000, WM_TIMER}, {5000, WM_TIMER}});
    PROCESS_INFORMATION pi;
    uint64_t start = winsim::ClockMs();
    ASSERT_TRUE(Start("C:\\Tools\\chatty.exe", pi));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    std::vector<UINT> got;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) got.push_back(msg.message);
    EXPECT_EQ(got, (std::vector<UINT>{kPing, kPong}));
    EXPECT_EQ(winsim::ClockMs(), start + 1000);
    Close(pi);

    ASSERT_TRUE(Start("C:\\Tools\\chatty.exe", pi));
    winsim::AdvanceClock(300);
    EXPECT_TRUE(TerminateProcess(pi.hProcess, 9));
    winsim::AdvanceClock(5000);
    got.clear();
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) got.push_back(msg.message);
    EXPECT_EQ(got, (std::vector<UINT>{kPing}));
    EXPECT_EQ(runs_.size(), 1u);  // the terminated one had no effect
    Close(pi);
}

TEST_F(ProcessControl, TheDispatchLoopIsRecorded) {
    Program("C:\\Tools\\chatty.exe", 3, 1000, {{250, kPing}});
    PostMessageA(nullptr, kPong, 7, 8);
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(Start("C:\\Tools\\chatty.exe", pi));
    DWORD w;
    while ((w = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, INFINITE, QS_ALLINPUT)) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    EXPECT_EQ(w, WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 3u);
    ASSERT_EQ(m_->dispatchedMessages.size(), 2u);
    EXPECT_EQ(m_->dispatchedMessages[0].message, kPong);
    EXPECT_EQ(m_->dispatchedMessages[0].wParam, 7u);
    EXPECT_EQ(m_->dispatchedMessages[0].lParam, 8);
    EXPECT_EQ(m_->dispatchedMessages[1].message, kPing);
    EXPECT_EQ(m_->dispatchedMessages[1].time - m_->dispatchedMessages[0].time, 250u);
    Close(pi);
}

TEST_F(ProcessControl, InjectedFaultsReachTheCaller) {
    Program("C:\\Tools\\a.exe", 0, 100);
    PROCESS_INFORMATION pi;
    winsim::InjectFault("CreateProcessA", ERROR_NOT_ENOUGH_MEMORY);
    SetLastError(0);
    EXPECT_FALSE(Start("C:\\Tools\\a.exe", pi));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(pi.hProcess, nullptr);
    EXPECT_TRUE(m_->processLog.empty());
    // Once only: the next start works.
    ASSERT_TRUE(Start("C:\\Tools\\a.exe", pi));
    EXPECT_EQ(winsim::CallCount("CreateProcessA"), 2u);

    struct Case {
        const char *function;
        std::function<bool()> call;  // true when the call reported the failure
    } cases[] = {
        {"WaitForSingleObject", [&] { return WaitForSingleObject(pi.hProcess, INFINITE) == WAIT_FAILED; }},
        {"WaitForMultipleObjects",
         [&] { return WaitForMultipleObjects(1, &pi.hProcess, FALSE, INFINITE) == WAIT_FAILED; }},
        {"MsgWaitForMultipleObjects",
         [&] { return MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, INFINITE, QS_ALLINPUT) == WAIT_FAILED; }},
        {"GetExitCodeProcess",
         [&] {
             DWORD code;
             return !GetExitCodeProcess(pi.hProcess, &code);
         }},
        {"TerminateProcess", [&] { return !TerminateProcess(pi.hProcess, 1); }},
        {"PeekMessageA",
         [&] {
             MSG msg;
             PostMessageA(nullptr, kPing, 0, 0);
             return !PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
         }},
        {"PostMessageA", [&] { return !PostMessageA(nullptr, kPing, 0, 0); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.function);
        winsim::InjectFault(c.function, ERROR_ACCESS_DENIED);
        SetLastError(0);
        EXPECT_TRUE(c.call());
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    }
    // None of them ran: the program is still going.
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, (DWORD)STILL_ACTIVE);
    Close(pi);
}

TEST_F(ProcessControl, WhatTheMachineDoesNotDoFailsLoudly) {
    Program("C:\\Tools\\a.exe", 0, 100);
    PROCESS_INFORMATION pi;
    const DWORD flags[] = {CREATE_SUSPENDED, DEBUG_PROCESS, DEBUG_ONLY_THIS_PROCESS};
    for (DWORD f : flags) {
        SetLastError(0);
        EXPECT_FALSE(Start("C:\\Tools\\a.exe", pi, nullptr, f));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED) << f;
    }
    EXPECT_TRUE(m_->processLog.empty());

    // Waits nothing on the machine can end.
    EXPECT_EQ(WaitForSingleObject(GetCurrentProcess(), INFINITE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED);
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), -1);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED);
    // Keystrokes would need a keyboard layout.
    msg = MSG{};
    msg.message = WM_KEYDOWN;
    msg.wParam = 'A';
    EXPECT_FALSE(TranslateMessage(&msg));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED);
    // The machine has no windows to post to.
    EXPECT_FALSE(PostMessageA(GetDesktopWindow(), kPing, 0, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(TerminateProcess(GetCurrentProcess(), 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED);
}

TEST_F(ProcessControl, GetMessageWaitsForAProgramsPost) {
    Program("C:\\Tools\\chatty.exe", 0, 1000, {{400, kPing}});
    PROCESS_INFORMATION pi;
    uint64_t start = winsim::ClockMs();
    ASSERT_TRUE(Start("C:\\Tools\\chatty.exe", pi));
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, kPing);
    EXPECT_EQ(winsim::ClockMs(), start + 400);
    Close(pi);
}

TEST_F(ProcessControl, ProgramsAreFoundThroughTheirRegisteredPath) {
    // Registered in another spelling of the same path.
    m_->PutFile("C:\\Tools\\Odd.exe", "MZ");
    winsim::Program odd;
    odd.exitCode = 12;
    m_->programs["c:/tools/./ODD.EXE"] = odd;
    // The running program's own folder comes first in the search.
    m_->AddDrive('D', DRIVE_CDROM);
    m_->modulePath = "D:\\Setup\\SETUP.EXE";
    m_->PutFile(m_->modulePath, "MZ");
    Program("D:\\Setup\\helper.exe", 20, 10);
    Program(m_->SystemDir() + "\\helper.exe", 21, 10);

    const struct {
        const char *commandLine;
        DWORD exitCode;
    } cases[] = {{"C:\\Tools\\odd.exe", 12}, {"helper", 20}};
    for (auto &c : cases) {
        SCOPED_TRACE(c.commandLine);
        PROCESS_INFORMATION pi;
        ASSERT_TRUE(Start(c.commandLine, pi)) << GetLastError();
        EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
        EXPECT_EQ(code, c.exitCode);
        Close(pi);
    }
    EXPECT_EQ(m_->processLog[1].application, "D:\\Setup\\helper.exe");
}

}  // namespace
