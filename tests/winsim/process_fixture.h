// Shared by the process conformance tests: a scratch folder under the temp
// folder, program files made with plain Win32 calls, and the run log that
// the test programs append their command lines to.
#ifndef TESTS_WINSIM_PROCESS_FIXTURE_H
#define TESTS_WINSIM_PROCESS_FIXTURE_H

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/programs.h"
#include "support/wine.h"

namespace proctest {

inline std::string WindowsDir() {
    char buf[MAX_PATH];
    GetWindowsDirectoryA(buf, sizeof buf);
    return buf;
}

inline std::string SystemDir() {
    char buf[MAX_PATH];
    GetSystemDirectoryA(buf, sizeof buf);
    return buf;
}

inline std::string CurrentDir() {
    char buf[MAX_PATH];
    GetCurrentDirectoryA(sizeof buf, buf);
    return buf;
}

// The whole content of a file, "" when it cannot be read.
inline std::string ReadText(const std::string &path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "";
    std::string text;
    char buf[512];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) text.append(buf, got);
    CloseHandle(h);
    return text;
}

// The time since t0 is ms. The simulated clock moves only by what the test
// waits, so there it is exact; a real machine's waits may end later than
// asked but never earlier (within the timer's resolution).
inline ::testing::AssertionResult Elapsed(DWORD t0, DWORD ms) {
    DWORD elapsed = GetTickCount() - t0;
    bool ok = RunningOnRealClock() ? elapsed + 16 >= ms : elapsed == ms;
    if (ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << elapsed << " ms passed, not " << ms;
}
#define EXPECT_ELAPSED(t0, ms) EXPECT_TRUE(::proctest::Elapsed((t0), (ms)))

inline void CloseProcess(PROCESS_INFORMATION &pi) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
        // A folder of its own per test: on a real machine a program that a
        // failed test left running keeps its files, and must not fail the next.
        static unsigned run = 0;
        base_ = std::string(temp) + "WinsimProcessTest" + std::to_string(++run);
        ASSERT_TRUE(MakeDir(base_));
        runLog_ = base_ + "\\runs.log";
        savedDir_ = CurrentDir();
    }

    void TearDown() override {
        SetCurrentDirectoryA(savedDir_.c_str());
        DeleteFileA(runLog_.c_str());
        for (auto it = files_.rbegin(); it != files_.rend(); ++it) DeleteFileA(it->c_str());
        for (auto it = dirs_.rbegin(); it != dirs_.rend(); ++it) RemoveDirectoryA(it->c_str());
    }

    bool MakeDir(const std::string &path) {
        if (CreateDirectoryA(path.c_str(), nullptr)) {
            dirs_.push_back(path);
            return true;
        }
        return GetLastError() == ERROR_ALREADY_EXISTS;
    }

    // An executable file at `path`, not yet a program the tests know.
    void MakeFile(const std::string &path) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(h, "MZ", 2, &written, nullptr));
        CloseHandle(h);
        files_.push_back(path);
    }

    // A test program at `path` that logs its command line to the run log.
    void MakeProgram(const std::string &path, DWORD exitCode, DWORD runMs, const std::vector<Post> &posts = {}) {
        MakeFile(path);
        RegisterProgram(path.c_str(), exitCode, runMs, runLog_.c_str(), posts);
    }

    // Starts a command line (no application name, current folder).
    BOOL Start(const std::string &commandLine, PROCESS_INFORMATION &pi, const char *application = nullptr,
               const char *directory = nullptr) {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        pi = PROCESS_INFORMATION{};
        return CreateProcessA(application, commandLine.empty() && application ? nullptr : line.data(), nullptr,
                              nullptr, FALSE, 0, nullptr, directory, &si, &pi);
    }

    std::string RunLog() const { return ReadText(runLog_); }

    std::string base_, runLog_, savedDir_;
    std::vector<std::string> files_, dirs_;
};

}  // namespace proctest

#endif
