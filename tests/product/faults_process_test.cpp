// Failures of the calls around programs setup starts or looks for: waits and
// exit codes of launched installers, the running-product mutex, program
// mutexes, and the shell and COM calls behind the Start-menu groups.
#include "action_fixture.h"

#include <shlobj.h>
#include <winsim/shell_folders.h>

#include "actions/Auxiliary.h"
#include "actions/Checks.h"
#include "actions/Frame.h"
#include "actions/PostInstall.h"
#include "actions/PreInstall.h"
#include "system/Application.h"

namespace {

const char kProductCode[] = "{3B6F08D4-F5E2-11D3-90B2-00A0245DF264}";
const char kVaxInstaller[] = "D:\\SETUP\\VaxInst.exe";
const char kBrowserSetup[] = "D:\\SETUP\\VM_SIE5.exe";
const char kAccessDenied[] = "Access is denied.\r\n";

class LauncherFaults : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        SetupMedium();
        M().PutFile("D:\\SETUP\\QLBSETUP.INF", "[Components]\r\nVAXWALLSERVER=VAX\\SERVER.PKG\r\n");
        Prop("UILevel", "2");
        ActionPrologue(session_, "LaunchProductSetup", "Started", 0);
        g_Settings.QuillbakPath("C:\\Program Files\\Quillbak\\");
        M().installer.log.clear();
        M().products[kProductCode].features["Vaxguard"] = INSTALLSTATE_LOCAL;
    }
    // A program that ends well after 30 s.
    void Program(const char *path) {
        M().PutFile(path, "MZ");
        winsim::Program program;
        program.exitCode = 0;
        program.runMs = 30000;
        M().programs[path] = program;
    }
};

// The installer ran, but setup cannot tell how it ended: the failure is
// logged in place of its code and never taken for a success.
TEST_F(LauncherFaults, AnAntiVirusInstallerWhoseEndIsUnknownIsNoSuccess) {
    const std::string open = winsim::DescribeOpenHandles();
    for (const char *function : {"WaitForSingleObject", "GetExitCodeProcess"}) {
        SCOPED_TRACE(function);
        M().installer.log.clear();
        Program(kVaxInstaller);
        winsim::InjectFault(function, ERROR_ACCESS_DENIED);
        EXPECT_EQ(InstallVaxwall(session_), (UINT)ERROR_ACCESS_DENIED);
        std::vector<std::string> lines = {" - Vaxguard Feature State (3)",
                                          "Launch - D:\\SETUP\\VaxInst.exe  D:\\SETUP\\VAX\\SERVER.PKG "
                                          "\"C:\\Program Files\\Vaxwall\" ",
                                          std::string(" - ") + kAccessDenied};
        EXPECT_EQ(Log(), lines);
        EXPECT_EQ(winsim::DescribeOpenHandles(), open);
        winsim::AdvanceClock(60000);
        winsim::SettleProcesses();
    }
}

TEST_F(LauncherFaults, ABrowserUpdateWhoseEndIsUnknownIsNoSuccess) {
    const std::string open = winsim::DescribeOpenHandles();
    M().registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Internet Explorer", "Version", "4.72.3110.8");
    for (const char *function : {"WaitForSingleObject", "GetExitCodeProcess"}) {
        SCOPED_TRACE(function);
        M().installer.log.clear();
        Program(kBrowserSetup);
        winsim::InjectFault(function, ERROR_ACCESS_DENIED);
        EXPECT_EQ(UpdateInternetExplorer(session_), 1);  // it was started
        std::vector<std::string> lines = {"CreateProcess - D:\\SETUP\\VM_SIE5.exe", kAccessDenied};
        EXPECT_EQ(Log(), lines);
        EXPECT_TRUE(winsim::OpenDialogs().empty());  // the wait window went all the same
        EXPECT_EQ(winsim::DescribeOpenHandles(), open);
        winsim::AdvanceClock(60000);
        winsim::SettleProcesses();
    }
}

// ---- waiting for a child program ------------------------------------------------------------
class ChildWait : public ActionTest {
protected:
    PROCESS_INFORMATION Start(DWORD exitCode) {
        M().PutFile("C:\\Setup\\UNINST.EXE", "");
        winsim::Program program;
        program.exitCode = exitCode;
        program.runMs = 5000;
        M().programs["C:\\Setup\\UNINST.EXE"] = program;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        EXPECT_TRUE(CreateProcessA(NULL, (LPSTR) "C:\\Setup\\UNINST.EXE", NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi));
        CloseHandle(pi.hThread);
        return pi;
    }
};

TEST_F(ChildWait, AFailedWaitStillWaitsForTheProgramsEnd) {
    PROCESS_INFORMATION pi = Start(3);
    uint64_t start = winsim::ClockMs();
    winsim::InjectFault("MsgWaitForMultipleObjects", ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForChildProgram(pi.hProcess), 3u);
    EXPECT_GE(winsim::ClockMs() - start, 5000u);  // polled until it ended
    CloseHandle(pi.hProcess);
}

TEST_F(ChildWait, AnUnreadableExitCodeIsNoSuccess) {
    PROCESS_INFORMATION pi = Start(0);
    winsim::InjectFault("GetExitCodeProcess", ERROR_ACCESS_DENIED);
    EXPECT_NE(WaitForChildProgram(pi.hProcess), 0u);
    CloseHandle(pi.hProcess);
}

// ---- the running product -------------------------------------------------------------------
class RunningProductFaults : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        SetupMedium();
        M().PutFile("D:\\SETUP\\QLBSETUP.INF", "[Setup]\r\nProdSubType=1\r\n");
        InstalledProduct("C:\\Program Files\\Quillbak");
    }
};

// A mutex that this account may not open is there all the same.
TEST_F(RunningProductFaults, AMutexSetupMayNotOpenStillRefusesTheUninstall) {
    winsim::InjectFault("OpenMutexA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(AllowUninstall(session_), 1602u);
    EXPECT_EQ(PropOf("ERRORMSG"),
              "Uninstallation has detected that Quillbak process is currently running and cannot proceed with the "
              "Quillbak uninstallation.  Please try it again after Quillbak process has finished.");
}

TEST_F(RunningProductFaults, AFailedCloseOfTheMutexStillRefusesTheUninstall) {
    HANDLE mine = CreateMutexA(NULL, FALSE, "QuillbakIsRunning");
    // The close that follows the open of the mutex.
    winsim::SetBeforeCallHook("OpenMutexA", [] { winsim::InjectFault("CloseHandle", ERROR_INVALID_HANDLE); });
    EXPECT_EQ(AllowUninstall(session_), 1602u);
    EXPECT_EQ(PropOf("ERRORMSG").rfind("Uninstallation has detected that Quillbak process", 0), 0u);
    CloseHandle(mine);
    winsim::ForgetOpenHandles();  // the handle whose close failed
}

TEST_F(RunningProductFaults, AMutexSetupCannotGiveBackStillMeansNotRunning) {
    const std::string open = winsim::DescribeOpenHandles();
    winsim::InjectFault("ReleaseMutex", ERROR_NOT_OWNER, winsim::FaultMode::Always);
    EXPECT_FALSE(CApplication::IsRunning("QuillbakAdminAppInstMutex"));
    EXPECT_EQ(winsim::CallCount("ReleaseMutex"), 2u);  // the wait's ownership and the creation's
    EXPECT_EQ(winsim::DescribeOpenHandles(), open);
}

TEST_F(RunningProductFaults, AFailedWaitOnAProgramMutexIsNoProofItIsGone) {
    const std::string open = winsim::DescribeOpenHandles();
    winsim::RunningProgramDecl admin;
    admin.image = "C:\\Apps\\admin.exe";
    admin.mutex = "QuillbakAdminAppInstMutex";
    winsim::StartRunningProgram(M(), admin);
    winsim::InjectFault("WaitForSingleObject", ERROR_INVALID_HANDLE);
    EXPECT_TRUE(CApplication::IsRunning("QuillbakAdminAppInstMutex"));
    EXPECT_EQ(winsim::DescribeOpenHandles(), open);
}

// ---- Start-menu groups ---------------------------------------------------------------------
const char kCommonPrograms[] = "C:\\Documents and Settings\\All Users\\Start Menu\\Programs";
const char kUserPrograms[] = "C:\\Documents and Settings\\Administrator\\Start Menu\\Programs";

class ShellFaults : public ActionTest {};

TEST_F(ShellFaults, WithoutTheShellAllocatorNoGroupIsTouchedAndNoItemListIsLeft) {
    const std::string open = winsim::DescribeOpenHandles();
    const std::string common = std::string(kCommonPrograms) + "\\Group\\a.lnk";
    const std::string mine = std::string(kUserPrograms) + "\\Group\\a.lnk";
    M().PutFile(common, "x");
    M().PutFile(mine, "x");
    winsim::InjectFault("SHGetMalloc", ERROR_NOT_ENOUGH_MEMORY);
    RemoveStartMenuGroup("Group");
    EXPECT_TRUE(M().Exists(common));
    winsim::InjectFault("SHGetMalloc", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(RemoveProgramGroup("Group"));
    EXPECT_TRUE(M().Exists(mine));
    EXPECT_EQ(winsim::OutstandingItemLists(), 0u);
    EXPECT_EQ(winsim::DescribeOpenHandles(), open);
}

TEST_F(ShellFaults, WithoutComTheGroupIsStillRemovedAndComIsNotLeft) {
    M().PutFile(std::string(kCommonPrograms) + "\\Group\\a.lnk", "x");
    winsim::InjectFault("CoInitialize", ERROR_NOT_ENOUGH_MEMORY);
    RemoveStartMenuGroup("Group");
    EXPECT_FALSE(M().Exists(std::string(kCommonPrograms) + "\\Group"));
    EXPECT_EQ(winsim::ComInitializations(), 0);
    EXPECT_EQ(winsim::CallCount("CoUninitialize"), 0u);
}

}  // namespace
