// CreateProcessA: which file a command line or application name starts, how
// a start fails, and what the caller gets back.
#include "process_fixture.h"
#include "support/wine.h"

namespace proctest {
namespace {

class ProcessCreate : public ProcessTest {
protected:
    void SetUp() override {
        ProcessTest::SetUp();
        tools_ = base_ + "\\tools";
        blank_ = base_ + "\\with blank";
        ASSERT_TRUE(MakeDir(tools_));
        ASSERT_TRUE(MakeDir(blank_));
        ASSERT_TRUE(MakeDir(tools_ + "\\folder.exe"));
        MakeProgram(tools_ + "\\good.exe", 7, 100);
        MakeProgram(blank_ + "\\good.exe", 9, 100);
        MakeFile(tools_ + "\\notprog.exe");
    }

    // Exit code of a started program once it ended.
    static DWORD WaitExit(PROCESS_INFORMATION &pi) {
        EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
        DWORD code = 0xDEAD;
        EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
        CloseProcess(pi);
        return code;
    }

    std::string tools_, blank_;
};

TEST_F(ProcessCreate, FindsTheProgramOrFailsWithTheWindowsError) {
    SKIP_ON_WINE("CreateProcessA reports a missing folder as ERROR_FILE_NOT_FOUND, not ERROR_PATH_NOT_FOUND");
    ASSERT_TRUE(SetCurrentDirectoryA(tools_.c_str()));
    struct Case {
        const char *what;
        std::string application;  // "" for none
        std::string commandLine;  // "" for none
        DWORD error;              // 0: starts, and exits with `exitCode`
        DWORD exitCode;
    } cases[] = {
        {"full path on the command line", "", tools_ + "\\good.exe /x", 0, 7},
        {"\".exe\" added to a name without extension", "", tools_ + "\\good /x", 0, 7},
        {"name found in the current folder", "", "good.exe", 0, 7},
        {"quoted path with blanks", "", "\"" + blank_ + "\\good.exe\" arg", 0, 9},
        {"unquoted path with blanks, tried blank by blank", "", blank_ + "\\good.exe arg", 0, 9},
        {"application name relative to the current folder", "good.exe", "good.exe /y", 0, 7},
        {"application name with no command line", tools_ + "\\good.exe", "", 0, 7},
        {"application name gets no \".exe\"", tools_ + "\\good", "", ERROR_FILE_NOT_FOUND, 0},
        {"missing file", "", tools_ + "\\missing.exe", ERROR_FILE_NOT_FOUND, 0},
        {"missing file as application name", tools_ + "\\missing.exe", "", ERROR_FILE_NOT_FOUND, 0},
        {"missing folder", base_ + "\\nofolder\\good.exe", "", ERROR_PATH_NOT_FOUND, 0},
        {"missing folder, quoted command line", "", "\"" + base_ + "\\nofolder\\good.exe\"", ERROR_PATH_NOT_FOUND,
         0},
        {"plain name found nowhere", "", "winsimnosuchprogram /q", ERROR_FILE_NOT_FOUND, 0},
        {"a file that is not a program", "", tools_ + "\\notprog.exe", ERROR_BAD_EXE_FORMAT, 0},
        {"a folder named like a program", tools_ + "\\folder.exe", "", ERROR_ACCESS_DENIED, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PROCESS_INFORMATION pi;
        SetLastError(0xBEEF);
        BOOL ok = Start(c.commandLine, pi, c.application.empty() ? nullptr : c.application.c_str());
        if (c.error) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(GetLastError(), c.error);
            EXPECT_EQ(pi.hProcess, nullptr);
        } else {
            ASSERT_TRUE(ok) << GetLastError();
            EXPECT_EQ(WaitExit(pi), c.exitCode);
        }
    }
}

TEST_F(ProcessCreate, UnquotedBlanksStartTheShorterNameWhenItExists) {
    MakeProgram(base_ + "\\with.exe", 5, 10);
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(Start(blank_ + "\\good.exe arg", pi));
    EXPECT_EQ(WaitExit(pi), 5u);
    EXPECT_EQ(RunLog(), blank_ + "\\good.exe arg\r\n");  // the whole line, as given

    ASSERT_TRUE(Start("\"" + blank_ + "\\good.exe\" arg", pi));
    EXPECT_EQ(WaitExit(pi), 9u);
}

TEST_F(ProcessCreate, PlainNamesFollowTheWindowsSearchOrder) {
    SKIP_ON_WINE("a 64-bit prefix has no 16-bit system folder (C:\\windows\\system) to search");
    char module[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, module, sizeof module), 0u);
    std::string programDir(module);
    programDir.erase(programDir.find_last_of('\\'));
    const std::string cur = base_ + "\\cur", onPath = base_ + "\\onpath";
    ASSERT_TRUE(MakeDir(cur));
    ASSERT_TRUE(MakeDir(onPath));
    ASSERT_TRUE(SetCurrentDirectoryA(cur.c_str()));
    char oldPath[4096];
    DWORD n = GetEnvironmentVariableA("PATH", oldPath, sizeof oldPath);
    ASSERT_TRUE(n > 0 && n < sizeof oldPath);
    ASSERT_TRUE(SetEnvironmentVariableA("PATH", (std::string(oldPath) + ";" + onPath).c_str()));

    struct Case {
        const char *name;
        std::string winner, loser;  // folders holding the program ("" for none)
    } cases[] = {
        {"order1", programDir, cur},
        {"order2", cur, WindowsDir()},
        {"order3", SystemDir(), WindowsDir()},
        {"order4", WindowsDir() + "\\system", WindowsDir()},
        {"order5", WindowsDir(), onPath},
        {"order6", onPath, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MakeProgram(c.winner + "\\" + c.name + ".exe", 1, 10);
        if (!c.loser.empty()) MakeProgram(c.loser + "\\" + c.name + ".exe", 2, 10);
        PROCESS_INFORMATION pi;
        ASSERT_TRUE(Start(std::string(c.name) + " /run", pi)) << GetLastError();
        EXPECT_EQ(WaitExit(pi), 1u);
    }
    SetEnvironmentVariableA("PATH", oldPath);
}

TEST_F(ProcessCreate, ReturnsTwoHandlesAndFreshIds) {
    PROCESS_INFORMATION a, b;
    ASSERT_TRUE(Start(tools_ + "\\good.exe", a));
    ASSERT_TRUE(Start(tools_ + "\\good.exe", b));
    const DWORD ids[] = {a.dwProcessId, a.dwThreadId, b.dwProcessId, b.dwThreadId, GetCurrentProcessId()};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_NE(ids[i], 0u);
        EXPECT_EQ(ids[i] % 4, 0u);
        for (size_t j = 0; j < i; ++j) EXPECT_NE(ids[i], ids[j]);
    }
    EXPECT_NE(a.hProcess, nullptr);
    EXPECT_NE(a.hThread, nullptr);
    EXPECT_NE(a.hProcess, a.hThread);
    EXPECT_NE(a.hProcess, b.hProcess);
    // Each handle is its own and is closed once.
    EXPECT_TRUE(CloseHandle(a.hThread));
    EXPECT_TRUE(CloseHandle(a.hProcess));
    EXPECT_FALSE(CloseHandle(a.hProcess));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    CloseProcess(b);
}

TEST_F(ProcessCreate, TheProgramGetsTheCommandLineAsGiven) {
    SKIP_ON_WINE("CreateProcessA without a command line gives the program its application name in quotes");
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(Start("\"" + tools_ + "\\good.exe\"  /a \"b c\"", pi));
    WaitExit(pi);
    // With no command line, the application name is the command line.
    ASSERT_TRUE(Start("", pi, (tools_ + "\\good.exe").c_str()));
    WaitExit(pi);
    // With both, the program sees the command line only.
    ASSERT_TRUE(Start("anything at all", pi, (tools_ + "\\good.exe").c_str()));
    WaitExit(pi);
    EXPECT_EQ(RunLog(), "\"" + tools_ + "\\good.exe\"  /a \"b c\"\r\n" + tools_ + "\\good.exe\r\nanything at all\r\n");
}

TEST_F(ProcessCreate, AStartingFolderMustExist) {
    PROCESS_INFORMATION pi;
    EXPECT_FALSE(Start(tools_ + "\\good.exe", pi, nullptr, (base_ + "\\nofolder").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DIRECTORY);
    EXPECT_FALSE(Start(tools_ + "\\good.exe", pi, nullptr, (tools_ + "\\good.exe").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DIRECTORY);
    ASSERT_TRUE(Start(tools_ + "\\good.exe", pi, nullptr, blank_.c_str()));
    EXPECT_EQ(WaitExit(pi), 7u);
}

}  // namespace
}  // namespace proctest
