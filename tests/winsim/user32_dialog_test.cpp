// Dialogs made from the library's own templates: the messages the dialog
// procedure gets and their order, controls by id, window text, focus,
// visibility and position, and destruction.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "resource.h"
#include "support/wine.h"

namespace {

struct Seen {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// The messages of interest to a dialog procedure (Windows sends more:
// activation, painting, UI state), in the order they came.
std::vector<Seen> &Log() {
    static std::vector<Seen> log;
    return log;
}

bool Interesting(UINT msg) {
    return msg == WM_SETFONT || msg == WM_INITDIALOG || msg == WM_COMMAND || msg == WM_DESTROY;
}

INT_PTR CALLBACK Recorder(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (Interesting(msg)) Log().push_back(Seen{msg, wParam, lParam});
    return FALSE;
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        Log().clear();
        module_ = LoadLibraryA("QLSETGUI.dll");
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override {
        for (HWND h : made_)
            if (IsWindow(h)) DestroyWindow(h);
    }
    HWND Make(UINT id, HWND parent = nullptr, LPARAM param = 0) {
        HWND h = CreateDialogParamA(module_, MAKEINTRESOURCEA(id), parent ? parent : GetDesktopWindow(), Recorder,
                                    param);
        if (h) made_.push_back(h);
        return h;
    }
    std::vector<UINT> Messages() {
        std::vector<UINT> out;
        for (const Seen &s : Log()) out.push_back(s.msg);
        return out;
    }
    HMODULE module_ = nullptr;
    std::vector<HWND> made_;
};

TEST_F(DialogTest, CreationSendsTheFontThenInitDialogWithTheParameter) {
    HWND h = Make(IDD_WAIT, nullptr, 0x5150);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(Messages(), (std::vector<UINT>{WM_SETFONT, WM_INITDIALOG}));
    EXPECT_EQ(Log()[1].lParam, 0x5150);
    // The template has no WS_VISIBLE: the dialog waits to be shown.
    EXPECT_FALSE(IsWindowVisible(h));
    EXPECT_TRUE(IsWindow(h));
    char cls[32];
    ASSERT_GT(GetClassNameA(h, cls, sizeof cls), 0);
    EXPECT_STREQ(cls, "#32770");
}

TEST_F(DialogTest, ControlsByIdAndTheirText) {
    HWND h = Make(IDD_WAIT);
    ASSERT_NE(h, nullptr);
    HWND text = GetDlgItem(h, IDC_WAIT_MESSAGE);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(GetDlgCtrlID(text), IDC_WAIT_MESSAGE);
    EXPECT_EQ(GetParent(text), h);
    char cls[32];
    ASSERT_GT(GetClassNameA(text, cls, sizeof cls), 0);
    EXPECT_EQ(lstrcmpiA(cls, "Static"), 0);

    SetLastError(0);
    EXPECT_EQ(GetDlgItem(h, 4711), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CONTROL_ID_NOT_FOUND);

    EXPECT_TRUE(SetDlgItemTextA(h, IDC_WAIT_MESSAGE, "Reading system information, please wait..."));
    char buffer[64];
    EXPECT_EQ(GetDlgItemTextA(h, IDC_WAIT_MESSAGE, buffer, sizeof buffer), 42u);
    EXPECT_STREQ(buffer, "Reading system information, please wait...");
    // A short buffer gets what fits and the NUL.
    EXPECT_EQ(GetDlgItemTextA(h, IDC_WAIT_MESSAGE, buffer, 8), 7u);
    EXPECT_STREQ(buffer, "Reading");
    EXPECT_EQ(GetWindowTextA(text, buffer, sizeof buffer), 42);
    // A missing control reads as an empty text.
    strcpy(buffer, "junk");
    EXPECT_EQ(GetDlgItemTextA(h, 4711, buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(SetDlgItemTextA(h, 4711, "x"));
}

TEST_F(DialogTest, ShowWindowAnswersTheFormerVisibility) {
    HWND h = Make(IDD_WAIT);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(ShowWindow(h, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(h));
    EXPECT_TRUE(ShowWindow(h, SW_SHOW));
    HWND text = GetDlgItem(h, IDC_WAIT_MESSAGE);
    EXPECT_TRUE(IsWindowVisible(text));
    EXPECT_TRUE(ShowWindow(text, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(text));
    EXPECT_FALSE(ShowWindow(text, SW_SHOW));
    // A control shows only while its dialog does.
    ShowWindow(h, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(text));
    EXPECT_TRUE(UpdateWindow(h));
}

TEST_F(DialogTest, FocusMovesAndAnswersThePreviousWindow) {
    HWND h = Make(IDD_WAIT);
    ASSERT_NE(h, nullptr);
    ShowWindow(h, SW_SHOW);
    HWND text = GetDlgItem(h, IDC_WAIT_MESSAGE);
    SetFocus(h);
    EXPECT_EQ(GetFocus(), h);
    EXPECT_EQ(SetFocus(text), h);
    EXPECT_EQ(GetFocus(), text);
    SetLastError(0);
    EXPECT_EQ(SetFocus((HWND)(ULONG_PTR)0x7FFF0), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(GetFocus(), text);
}

TEST_F(DialogTest, PositionAndScreenSize) {
    HWND h = Make(IDD_WAIT);
    ASSERT_NE(h, nullptr);
    RECT r;
    ASSERT_TRUE(GetWindowRect(h, &r));
    LONG width = r.right - r.left, height = r.bottom - r.top;
    EXPECT_GT(width, 221);  // dialog units are wider than pixels
    EXPECT_GT(height, 36);
    ASSERT_TRUE(SetWindowPos(h, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    ASSERT_TRUE(GetWindowRect(h, &r));
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.bottom - r.top, height);
    // A control lies inside its dialog.
    RECT c;
    ASSERT_TRUE(GetWindowRect(GetDlgItem(h, IDC_WAIT_MESSAGE), &c));
    EXPECT_GE(c.left, r.left);
    EXPECT_LE(c.right, r.right);
    EXPECT_GE(c.top, r.top);
    EXPECT_LE(c.bottom, r.bottom);
    EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
    EXPECT_GT(GetSystemMetrics(SM_CYSCREEN), 0);
    RECT desk;
    ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &desk));
    EXPECT_EQ(desk.left, 0);
    EXPECT_EQ(desk.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(desk.bottom, GetSystemMetrics(SM_CYSCREEN));
}

TEST_F(DialogTest, ParentIsTheOwnerDialogOrNone) {
    HWND owner = Make(IDD_WAIT);
    ASSERT_NE(owner, nullptr);
    SetLastError(0xdead);
    EXPECT_EQ(GetParent(owner), nullptr);  // made for the desktop: no owner
    HWND owned = Make(IDD_WAIT, owner);
    ASSERT_NE(owned, nullptr);
    EXPECT_EQ(GetParent(owned), owner);
    // Destroying the owner destroys what it owns.
    Log().clear();
    ASSERT_TRUE(DestroyWindow(owner));
    EXPECT_FALSE(IsWindow(owned));
    EXPECT_FALSE(IsWindow(owner));
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_DESTROY, WM_DESTROY}));
}

TEST_F(DialogTest, DestroyWindowSendsWmDestroyOnce) {
    HWND h = Make(IDD_WAIT);
    ASSERT_NE(h, nullptr);
    HWND text = GetDlgItem(h, IDC_WAIT_MESSAGE);
    Log().clear();
    ASSERT_TRUE(DestroyWindow(h));
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_DESTROY}));
    EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(IsWindow(text));
    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(h));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(DialogTest, MissingTemplateOrParentFails) {
    SetLastError(0);
    EXPECT_EQ(CreateDialogParamA(module_, MAKEINTRESOURCEA(4711), GetDesktopWindow(), Recorder, 0), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_TRUE(Log().empty());
    SetLastError(0);
    EXPECT_EQ(CreateDialogParamA(module_, MAKEINTRESOURCEA(IDD_WAIT), (HWND)(ULONG_PTR)0x7FFF0, Recorder, 0),
              nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
}

}  // namespace
