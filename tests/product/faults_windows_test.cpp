// Failures of the window functions where the library makes them: finding and
// closing the product's programs by their windows, the "please wait" window
// and the uninstall action that shows it.
#include "action_fixture.h"

#include <winsim/machine.h>

#include "actions/Uninstall.h"
#include "afxstr.h"
#include "dialogs/WaitWindow.h"
#include "registry/HarnRegistry.h"
#include "resource.h"
#include "system/Application.h"
#include "system/TaskList.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// ---- the product's programs and their windows ---------------------------------------

DWORD Start(const std::string &image, const std::vector<winsim::ProgramWindowDecl> &windows) {
    winsim::RunningProgramDecl program;
    program.image = image;
    program.windows = windows;
    return winsim::StartRunningProgram(winsim::LocalMachine(), program);
}

winsim::ProgramWindowDecl Window(const char *cls, const char *title, UINT closeMessage = 0) {
    winsim::ProgramWindowDecl w;
    w.className = cls;
    w.title = title;
    w.closes = closeMessage == 0;
    w.closeMessage = closeMessage;
    return w;
}

winsim::ProcessInfo Process(DWORD pid) {
    for (const auto &p : winsim::SnapshotProcesses(winsim::LocalMachine()))
        if (p.pid == pid) return p;
    ADD_FAILURE() << "no process " << pid;
    return winsim::ProcessInfo();
}

TEST(ApplicationFaults, AWindowThatCannotBeFoundIsNotReportedAsAsked) {
    DWORD manager = Start("C:\\Apps\\mgr.exe", {Window("QuillbakManager", "Quillbak Manager", 0x637)});
    winsim::InjectFault("FindWindowA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(CApplication(CApplication::Manager).CloseWindow());
    EXPECT_TRUE(Process(manager).running);
    EXPECT_FALSE(Process(manager).closeRequested);
    EXPECT_TRUE(IsWindowVisible(FindWindowA("QuillbakManager", NULL)));
}

TEST(ApplicationFaults, AWindowThatCannotBeAskedToCloseIsShownAgain) {
    DWORD manager = Start("C:\\Apps\\mgr.exe", {Window("QuillbakManager", "Quillbak Manager", 0x637)});
    winsim::InjectFault("PostMessageA", ERROR_NOT_ENOUGH_QUOTA);
    EXPECT_FALSE(CApplication(CApplication::Manager).CloseWindow());
    HWND window = FindWindowA("QuillbakManager", NULL);
    // Not left running out of sight with nobody asking it to go.
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(Process(manager).closeRequested);
    EXPECT_TRUE(Process(manager).running);
    // Asked again, it goes.
    EXPECT_TRUE(CApplication(CApplication::Manager).CloseWindow());
    EXPECT_FALSE(Process(manager).running);
}

TEST(ApplicationFaults, AKillRequestThatCannotBePostedIsAFailure) {
    DWORD pid = Start("C:\\Apps\\mon.exe", {Window("QLMonitor", "Monitor")});
    TASK_LIST task;
    memset(&task, 0, sizeof task);
    task.dwProcessId = pid;
    task.hwnd = FindWindowA("QLMonitor", NULL);
    ASSERT_NE(task.hwnd, (HWND)0);
    winsim::InjectFault("PostMessageA", ERROR_NOT_ENOUGH_QUOTA);
    EXPECT_FALSE(KillProcess(&task, FALSE));
    EXPECT_TRUE(Process(pid).running);
    EXPECT_TRUE(KillProcess(&task, FALSE));
    EXPECT_FALSE(Process(pid).running);
}

TEST(ApplicationFaults, CloseWindowsAsksAgainAWindowWhoseRequestFailed) {
    DWORD pid = Start("C:\\Apps\\con.exe", {Window("A", "Quillbak Console")});
    winsim::InjectFault("PostMessageA", ERROR_NOT_ENOUGH_QUOTA);
    EXPECT_TRUE(CApplication::CloseWindows("Quillbak Console"));
    EXPECT_FALSE(Process(pid).running);
    EXPECT_EQ(winsim::CallCount("PostMessageA"), 2u);
}

TEST(ApplicationFaults, AFailedWindowSearchIsNotTakenForNoWindowLeft) {
    DWORD pid = Start("C:\\Apps\\con.exe", {Window("A", "Quillbak Console")});
    // Once: the next round looks again and closes it.
    winsim::InjectFault("EnumWindows", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_TRUE(CApplication::CloseWindows("Quillbak Console"));
    EXPECT_FALSE(Process(pid).running);

    pid = Start("C:\\Apps\\con.exe", {Window("A", "Quillbak Console")});
    winsim::InjectFault("EnumWindows", ERROR_NOT_ENOUGH_MEMORY, winsim::FaultMode::Always);
    EXPECT_FALSE(CApplication::CloseWindows("Quillbak Console"));
    EXPECT_EQ(CApplication::FindWindowA("Quillbak Console"), (HWND)0);
    winsim::ClearFaults();
    EXPECT_TRUE(Process(pid).running);
    EXPECT_FALSE(Process(pid).closeRequested);
    EXPECT_TRUE(IsWindowVisible(FindWindowA("A", NULL)));
}

TEST(ApplicationFaults, ATitleThatCannotBeReadIsReadAgain) {
    DWORD pid = Start("C:\\Apps\\con.exe", {Window("A", "Quillbak Console")});
    winsim::InjectFault("GetWindowTextA", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    EXPECT_EQ(CApplication::FindWindowA("Quillbak Console"), (HWND)0);
    winsim::ClearFaults();
    // The first title read fails: the window is found when the search repeats.
    winsim::InjectFault("GetWindowTextA", ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CApplication::CloseWindows("Quillbak Console"));
    EXPECT_FALSE(Process(pid).running);
}

TEST(ApplicationFaults, AWindowWhoseOwnerCannotBeToldIsNeverATarget) {
    // A window of this process with the title searched for.
    HWND own = CreateWindowExA(0, "COMBOBOX", "", WS_POPUP, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    ASSERT_NE(own, (HWND)0);
    ASSERT_TRUE(SetWindowTextA(own, "Quillbak Console"));
    ShowWindow(own, SW_SHOW);
    EXPECT_EQ(CApplication::FindWindowA("Quillbak Console"), (HWND)0);  // own: skipped
    winsim::InjectFault("GetWindowThreadProcessId", ERROR_INVALID_WINDOW_HANDLE, winsim::FaultMode::Always);
    EXPECT_EQ(CApplication::FindWindowA("Quillbak Console"), (HWND)0);
    EXPECT_TRUE(CApplication::CloseWindows("Quillbak Console"));
    winsim::ClearFaults();
    EXPECT_TRUE(IsWindow(own));
    EXPECT_TRUE(IsWindowVisible(own));
    DestroyWindow(own);
}

// ---- the "please wait" window ---------------------------------------------------------

INT_PTR CALLBACK Plain(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

class WaitWindowFaults : public ::testing::Test {
protected:
    void TearDown() override {
        for (HWND h : winsim::OpenDialogs()) DestroyWindow(h);
    }
    static winsim::DialogView View(HWND h) {
        winsim::DialogView v;
        EXPECT_TRUE(winsim::DescribeDialog(h, v));
        return v;
    }
    static std::string Message(HWND h) {
        for (const auto &c : View(h).controls)
            if (c.id == IDC_WAIT_MESSAGE) return c.text;
        return "<no control>";
    }
    // Where the template puts the window before it is centred.
    static RECT MadeAt(HWND parent) {
        HWND h = CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDD_WAIT), parent, Plain, 0);
        EXPECT_NE(h, (HWND)0);
        RECT r = View(h).rect;
        DestroyWindow(h);
        return r;
    }
    // 338 x 65 pixels centred on the 800 x 600 screen.
    static constexpr LONG kLeft = (800 - 338) / 2, kTop = (600 - 65) / 2;
};

// Each failure still gives the caller a window with its message, shown and
// in front of the others, that it can end.
TEST_F(WaitWindowFaults, AFailedWindowCallStillShowsTheMessageInFront) {
    struct Case {
        const char *function;
        unsigned nth;
        bool withParent;  // made over a window at (100, 50) instead of the desktop
        bool centred;     // where it ends: centred, else where the template put it
        LONG left, top;   // when centred
        bool focused, message;  // message: the one given, else the template's own
    } const cases[] = {
        // No control: nothing to show or focus; the message goes in anyway.
        {"GetDlgItem", 1, false, true, kLeft, kTop, false, true},
        {"SetDlgItemTextA", 1, false, true, kLeft, kTop, true, false},
        // Without the screen's size or its own it is not moved to a made-up place.
        {"GetSystemMetrics", 1, false, false, 0, 0, true, true},
        {"GetWindowRect", 1, false, false, 0, 0, true, true},
        // Without the parent's corner it is centred on the screen.
        {"GetWindowRect", 2, true, true, kLeft, kTop, true, true},
        {"GetParent", 1, true, true, kLeft, kTop, true, true},
        {"SetWindowPos", 1, false, false, 0, 0, true, true},
        // A new window is in front already: failing to bring it there changes nothing.
        {"SetWindowPos", 2, false, true, kLeft, kTop, true, true},
        {"SetFocus", 1, false, true, kLeft, kTop, false, true},
        {"UpdateWindow", 1, false, true, kLeft, kTop, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.function) + " #" + std::to_string(c.nth));
        HWND parent = GetDesktopWindow();
        if (c.withParent) {
            parent = ShowWaitWindow(AfxGetResourceHandle(), GetDesktopWindow(), "parent");
            ASSERT_NE(parent, (HWND)0);
            SetWindowPos(parent, NULL, 100, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        }
        HWND other = ShowWaitWindow(AfxGetResourceHandle(), GetDesktopWindow(), "other");
        ASSERT_NE(other, (HWND)0);
        const RECT made = MadeAt(parent);
        winsim::InjectFault(c.function, ERROR_INVALID_WINDOW_HANDLE, winsim::FaultMode::Nth, c.nth);
        HWND h = ShowWaitWindow(AfxGetResourceHandle(), parent, "Reading system information, please wait...");
        ASSERT_NE(h, (HWND)0);
        winsim::ClearFaults();
        winsim::DialogView v = View(h);
        EXPECT_TRUE(v.visible);
        EXPECT_EQ(Message(h), c.message ? "Reading system information, please wait..." : "Please wait ...");
        EXPECT_EQ(v.rect.left, c.centred ? c.left : made.left);
        EXPECT_EQ(v.rect.top, c.centred ? c.top : made.top);
        EXPECT_EQ(v.rect.right - v.rect.left, made.right - made.left);
        EXPECT_EQ(GetFocus() == GetDlgItem(h, IDC_WAIT_MESSAGE), c.focused);
        EXPECT_GT(v.z, View(other).z);
        EXPECT_EQ(v.updates, std::string(c.function) == "UpdateWindow" ? 0u : 1u);
        EXPECT_TRUE(DestroyWindow(h));
        DestroyWindow(other);
        if (c.withParent) DestroyWindow(parent);
        EXPECT_TRUE(winsim::OpenDialogs().empty());
    }
}

// ---- PreUninstall: the wait window and the environment broadcast ------------------------

const char kHome[] = "C:\\Program Files\\Quillbak";

class PreUninstallWindowFaults : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        InstalledProduct(kHome);
        tagProductStruct r;
        memset(&r, 0, sizeof r);
        r.dwProductCode = 24;
        r.dwComponents = 15;
        r.dwVersion = (700u << 16) | (7u << 8);
        r.bySubType = 1;
        r.dwCrc = CHarnRegistry::ProductRecordCrc(&r);
        M().registry.Set(kProducts, "Quillbak", REG_BINARY, &r, sizeof r);
    }
    bool Registered() {
        winsim::RegKey *key = M().registry.Find(kProducts);
        return key && key->FindValue("Quillbak");
    }
    static constexpr const char *kProducts = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Products";
};

TEST_F(PreUninstallWindowFaults, AFailedEnvironmentBroadcastDoesNotStopTheUninstall) {
    winsim::InjectFault("SendMessageTimeoutA", ERROR_TIMEOUT);
    EXPECT_EQ(PreUninstall(session_), 0u);
    EXPECT_TRUE(M().broadcasts.empty());
    // What comes after it is still done.
    EXPECT_FALSE(Registered());
    EXPECT_EQ(PropOf("QUILLBAKHOME"), kHome);
    EXPECT_EQ(PropOf("ERRORMSG"), "NONE");
    EXPECT_TRUE(winsim::OpenDialogs().empty());
}

TEST_F(PreUninstallWindowFaults, AWaitWindowThatCannotBeDestroyedDoesNotFailTheUninstall) {
    winsim::InjectFault("DestroyWindow", ERROR_ACCESS_DENIED);
    EXPECT_EQ(PreUninstall(session_), 0u);
    EXPECT_FALSE(Registered());
    EXPECT_EQ(PropOf("QUILLBAKHOME"), kHome);
    // The window it could not end is the only one left.
    std::vector<HWND> left = winsim::OpenDialogs();
    ASSERT_EQ(left.size(), 1u);
    winsim::DialogView v;
    ASSERT_TRUE(winsim::DescribeDialog(left[0], v));
    EXPECT_EQ(v.templateId, (UINT)IDD_WAIT);
    EXPECT_TRUE(DestroyWindow(left[0]));
}

}  // namespace
