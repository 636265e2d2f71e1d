// Running programs of a machine: declared by a machine image, started by a
// test, and what happened to them for a report.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class RunningImage : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qlrunning-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    winsim::Machine &Load(const std::string &ini) {
        std::ofstream(fs::path(dir_) / "machine.ini", std::ios::binary) << "[machine]\nname=RUNNER\n" << ini;
        return winsim::LoadMachineImage(dir_);
    }
    std::string dir_;
};

TEST_F(RunningImage, ProgramsWithTheirWindowsAndMutexes) {
    winsim::Machine &m = Load(
        "[running manager]\n"
        "image=C:\\Program Files\\Quillbak\\QLMGR.EXE\n"
        "mutex=QuillbakManagerAppInstMutex\n"
        "window=QuillbakManager|Quillbak Manager|stays|0x637\n"
        "[running monitor]\n"
        "image=C:\\Program Files\\Quillbak\\QLDM32.EXE\n"
        "window=QLDM32WClass|Quillbak Device Monitor|closes\n"
        "exitcode=3\n");
    winsim::SetLocalMachine(m);
    std::vector<winsim::ProcessInfo> all = winsim::SnapshotProcesses(m);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].image, "C:\\Program Files\\Quillbak\\QLMGR.EXE");
    EXPECT_TRUE(all[0].running);
    HWND manager = FindWindowA("QuillbakManager", NULL);
    ASSERT_NE(manager, (HWND)0);
    DWORD pid = 0;
    GetWindowThreadProcessId(manager, &pid);
    EXPECT_EQ(pid, all[0].pid);
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "QuillbakManagerAppInstMutex");
    ASSERT_NE(mutex, (HANDLE)0);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), (DWORD)WAIT_TIMEOUT);
    CloseHandle(mutex);

    PostMessageA(manager, WM_CLOSE, 0, 0);  // stays
    PostMessageA(FindWindowA("QLDM32WClass", NULL), WM_CLOSE, 0, 0);
    all = winsim::SnapshotProcesses(m);
    EXPECT_TRUE(all[0].closeRequested);
    EXPECT_TRUE(all[0].running);
    EXPECT_FALSE(all[1].running);
    EXPECT_FALSE(all[1].terminated);
    EXPECT_EQ(all[1].exitCode, 3u);
    PostMessageA(manager, 0x637, 0, 0);
    EXPECT_FALSE(winsim::SnapshotProcesses(m)[0].running);
}

TEST_F(RunningImage, MalformedDeclarationsNameTheirLine) {
    struct {
        const char *ini;
        int line;
    } const cases[] = {
        {"[running x]\nimage=C:\\a.exe\nwindow=Class|Title\n", 5},
        {"[running x]\nimage=C:\\a.exe\nwindow=Class|Title|maybe\n", 5},
        {"[running x]\nimage=C:\\a.exe\ncolour=blue\n", 5},
        {"[running x]\nimage=C:\\a.exe\nexitcode=abc\n", 5},
        {"[running x]\nmutex=M\n", 4},
        {"[running x]\nimage=C:\\a.exe\naccount=admin\n", 5},
    };
    for (const auto &c : cases) {
        try {
            Load(c.ini);
            ADD_FAILURE() << c.ini;
        } catch (const winsim::ImageError &e) {
            EXPECT_EQ(e.line, c.line) << c.ini << e.what();
        }
    }
}

// A service's program under the local system account: the user running
// setup may query it, but ends it only with the debug privilege.
TEST_F(RunningImage, SystemAccountProgramsNeedTheDebugPrivilegeToBeEnded) {
    const char *ini =
        "[running engine]\n"
        "image=C:\\QUILLBAK\\DBSRV.EXE\n"
        "account=system\n"
        "[running manager]\n"
        "image=C:\\QUILLBAK\\QLMGR.EXE\n"
        "account=user\n";
    for (bool debug : {false, true}) {
        winsim::ResetWorld();
        winsim::Machine &m = Load(std::string(ini) + (debug ? "" : "[machine]\nprivileges=SeBackupPrivilege\n"));
        winsim::SetLocalMachine(m);
        std::vector<winsim::ProcessInfo> all = winsim::SnapshotProcesses(m);
        ASSERT_EQ(all.size(), 2u);
        HANDLE query = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, all[0].pid);
        EXPECT_NE(query, (HANDLE)0) << debug;
        CloseHandle(query);
        SetLastError(0);
        HANDLE engine = OpenProcess(PROCESS_TERMINATE, FALSE, all[0].pid);
        if (debug) {
            ASSERT_NE(engine, (HANDLE)0);
            EXPECT_TRUE(TerminateProcess(engine, 1));
            CloseHandle(engine);
        } else {
            EXPECT_EQ(engine, (HANDLE)0);
            EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
            EXPECT_EQ(OpenProcess(PROCESS_ALL_ACCESS, FALSE, all[0].pid), (HANDLE)0);
        }
        // The user's own program opens either way.
        HANDLE manager = OpenProcess(PROCESS_TERMINATE, FALSE, all[1].pid);
        EXPECT_NE(manager, (HANDLE)0);
        CloseHandle(manager);
        EXPECT_EQ(winsim::SnapshotProcesses(m)[0].running, !debug);
    }
}

TEST(RunningPrograms, StartedAndEndedProgramsAreReported) {
    winsim::Machine &m = winsim::LocalMachine();
    winsim::RunningProgramDecl program;
    program.image = "c:/apps/svc.exe";
    DWORD pid = winsim::StartRunningProgram(m, program);
    HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    ASSERT_TRUE(TerminateProcess(h, 9));
    CloseHandle(h);
    auto all = winsim::SnapshotProcesses(m);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].image, "c:\\apps\\svc.exe");  // case kept as written
    EXPECT_TRUE(all[0].terminated);
    EXPECT_EQ(all[0].exitCode, 9u);
    program.image = "";
    EXPECT_THROW(winsim::StartRunningProgram(m, program), std::invalid_argument);
}

}  // namespace
