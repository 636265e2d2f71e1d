// The product's interactive programs: running by their mutex, their windows
// asked to close.
#include <gtest/gtest.h>

#include <winsim/machine.h>

#include "system/Application.h"

#include <string>
#include <vector>

namespace {

DWORD Start(const std::string &image, const std::vector<winsim::ProgramWindowDecl> &windows, const std::string &mutex = "") {
    winsim::RunningProgramDecl program;
    program.image = image;
    program.windows = windows;
    program.mutex = mutex;
    return winsim::StartRunningProgram(winsim::LocalMachine(), program);
}

winsim::ProgramWindowDecl Window(const char *cls, const char *title, bool closes = true, UINT closeMessage = 0) {
    winsim::ProgramWindowDecl w;
    w.className = cls;
    w.title = title;
    w.closes = closes;
    w.closeMessage = closeMessage;
    return w;
}

const winsim::ProcessInfo *Process(const std::vector<winsim::ProcessInfo> &all, DWORD pid) {
    for (const auto &p : all)
        if (p.pid == pid) return &p;
    return nullptr;
}

TEST(Application, TheProgramsByTheirNames) {
    struct {
        CApplication::Application app;
        const char *cls, *mutex;
    } const table[] = {
        {CApplication::Manager, "QuillbakManager", "QuillbakManagerAppInstMutex"},
        {CApplication::Admin, "QuillbakAdmin", "QuillbakAdminAppInstMutex"},
        {CApplication::CentralDBConfig, "QLBCentralDBConfig", "QLBCentralDBConfigAppInstMutex"},
        {CApplication::Monitor, "QLDM32WClass", "QLDM32Mutex"},
        {CApplication::DeviceConfig, "Device Configuration", "QuillbakDeviceConfigurationMutex"},
    };
    for (const auto &row : table) {
        CApplication app(row.app);
        EXPECT_STREQ(app.GetClassNameA(), row.cls);
        Start("C:\\Apps\\p.exe", {}, row.mutex);
        EXPECT_TRUE(app.IsRunning()) << row.mutex;
    }
    CApplication none((CApplication::Application)7);
    EXPECT_STREQ(none.GetClassNameA(), "");
    EXPECT_FALSE(none.IsRunning());
    EXPECT_FALSE(none.CloseWindow());
    CApplication copy(CApplication::Monitor), assigned(NULL, NULL);
    assigned = copy;
    EXPECT_STREQ(CApplication(copy).GetClassNameA(), "QLDM32WClass");
    EXPECT_STREQ(assigned.GetClassNameA(), "QLDM32WClass");
}

TEST(Application, NotRunningLeavesNoMutexBehind) {
    EXPECT_FALSE(CApplication::IsRunning("QuillbakAdminAppInstMutex"));
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, "QuillbakAdminAppInstMutex"), (HANDLE)0);
    // Neither does setup keep it owned while another handle has it open.
    HANDLE other = CreateMutexA(NULL, FALSE, "QuillbakAdminAppInstMutex");
    EXPECT_FALSE(CApplication::IsRunning("QuillbakAdminAppInstMutex"));
    EXPECT_EQ(WaitForSingleObject(other, 0), WAIT_OBJECT_0);
    ReleaseMutex(other);
    CloseHandle(other);
    winsim::InjectFault("CreateMutexA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CApplication::IsRunning("QuillbakAdminAppInstMutex"));
    EXPECT_FALSE(CApplication::IsRunning(NULL));
}

TEST(Application, RunningWhileTheProgramHoldsItsMutex) {
    DWORD pid = Start("C:\\Apps\\admin.exe", {}, "QuillbakAdminAppInstMutex");
    CApplication admin(CApplication::Admin);
    EXPECT_TRUE(admin.IsRunning());
    EXPECT_TRUE(admin.IsRunning());  // asking does not change it
    HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    TerminateProcess(h, 1);
    CloseHandle(h);
    EXPECT_FALSE(admin.IsRunning());  // abandoned by its program
}

TEST(Application, CloseWindowHidesAndAsksTheManagerByItsOwnMessage) {
    DWORD manager = Start("C:\\Apps\\mgr.exe", {Window("QuillbakManager", "Quillbak Manager", false, 0x637)});
    DWORD monitor = Start("C:\\Apps\\mon.exe", {Window("QLDM32WClass", "Monitor", true)});
    DWORD device = Start("C:\\Apps\\dev.exe", {Window("Device Configuration", "Devices", false, 0x637)});
    EXPECT_TRUE(CApplication(CApplication::Manager).CloseWindow());
    EXPECT_TRUE(CApplication(CApplication::Monitor).CloseWindow());
    EXPECT_TRUE(CApplication(CApplication::DeviceConfig).CloseWindow());
    auto all = winsim::SnapshotProcesses(winsim::LocalMachine());
    // The manager closes on its private message only (it refuses WM_CLOSE).
    EXPECT_TRUE(Process(all, manager)->closeRequested);
    EXPECT_FALSE(Process(all, manager)->running);
    EXPECT_FALSE(Process(all, monitor)->running);
    // Other classes get WM_CLOSE, which this window refuses.
    EXPECT_TRUE(Process(all, device)->closeRequested);
    EXPECT_TRUE(Process(all, device)->running);
    EXPECT_TRUE(IsWindow(FindWindowA("Device Configuration", NULL)));
    EXPECT_FALSE(CApplication(CApplication::Admin).CloseWindow());
}

TEST(Application, FindWindowBySubstringOfTheTitleSkipsOwnWindows) {
    Start("C:\\Apps\\a.exe", {Window("A", "Quillbak Manager - [Jobs]")});
    HWND found = CApplication::FindWindowA("Manager - [");
    ASSERT_NE(found, (HWND)0);
    EXPECT_EQ(found, FindWindowA("A", NULL));
    EXPECT_EQ(CApplication::FindWindowA("manager"), (HWND)0);  // case counts
    EXPECT_EQ(CApplication::FindWindowA(""), (HWND)0);
    EXPECT_EQ(CApplication::FindWindowA(NULL), (HWND)0);
    // A combo box of this process is not a target either.
    HWND own = CreateWindowExA(0, "COMBOBOX", "", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    EXPECT_EQ(CApplication::FindWindowA("Jobs"), found);
    DestroyWindow(own);
}

TEST(Application, FindWindowIsMultiByteAware) {
    winsim::LocalMachine().codePage = 932;
    // "\x81\x41" is one character whose trail byte is 'A'.
    Start("C:\\Apps\\j.exe", {Window("J", "\x81" "ABC")});
    EXPECT_EQ(CApplication::FindWindowA("ABC"), (HWND)0);
    EXPECT_NE(CApplication::FindWindowA("\x81" "A"), (HWND)0);
    EXPECT_NE(CApplication::FindWindowA("BC"), (HWND)0);
}

TEST(Application, CloseWindowsUntilNoneIsLeft) {
    DWORD a = Start("C:\\Apps\\a.exe", {Window("A", "Quillbak Console 1"), Window("B", "Quillbak Console 2")});
    DWORD b = Start("C:\\Apps\\b.exe", {Window("C", "Other")});
    EXPECT_TRUE(CApplication::CloseWindows("Quillbak Console"));
    auto all = winsim::SnapshotProcesses(winsim::LocalMachine());
    EXPECT_FALSE(Process(all, a)->running);
    EXPECT_TRUE(Process(all, b)->running);
    EXPECT_TRUE(CApplication::CloseWindows("Quillbak Console"));
}

TEST(Application, CloseWindowsGivesUpOnWindowsThatStay) {
    Start("C:\\Apps\\a.exe", {Window("A", "Stubborn One", false), Window("B", "Stubborn Two", false)});
    DWORD closing = Start("C:\\Apps\\c.exe", {Window("C", "Stubborn Three", true)});
    const DWORD before = GetTickCount();
    EXPECT_FALSE(CApplication::CloseWindows("Stubborn"));
    EXPECT_GE(GetTickCount() - before, (DWORD)QL_CLOSE_WINDOWS_LIMIT_MS);
    auto all = winsim::SnapshotProcesses(winsim::LocalMachine());
    EXPECT_FALSE(Process(all, closing)->running);
    EXPECT_NE(FindWindowA("A", NULL), (HWND)0);
}

}  // namespace
