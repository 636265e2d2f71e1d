// Dialogs made from the library's own templates: the messages the dialog
// procedure gets and their order, controls by id, window text, focus,
// visibility and position, and destruction.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
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

// ---- modal dialogs and the standard controls ---------------------------------------------
// The checks run inside WM_INITDIALOG of a modal dialog, which then ends
// itself: the same on the simulated machine and on a real one.
std::function<void(HWND)> &InitAction() {
    static std::function<void(HWND)> action;
    return action;
}

INT_PTR CALLBACK Acting(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (Interesting(msg)) Log().push_back(Seen{msg, wParam, lParam});
    if (msg == WM_INITDIALOG) {
        if (InitAction()) InitAction()(hDlg);
        EndDialog(hDlg, 42);
        return TRUE;
    }
    return FALSE;
}

class ModalTest : public DialogTest {
protected:
    INT_PTR Run(UINT id, std::function<void(HWND)> action) {
        InitAction() = std::move(action);
        INT_PTR r = DialogBoxParamA(module_, MAKEINTRESOURCEA(id), GetDesktopWindow(), Acting, 7);
        InitAction() = nullptr;
        return r;
    }
    // The WM_COMMAND notifications from control `id`, in order.
    static std::vector<WORD> Notifications(int id) {
        std::vector<WORD> out;
        for (const Seen &s : Log())
            if (s.msg == WM_COMMAND && LOWORD(s.wParam) == id) out.push_back(HIWORD(s.wParam));
        return out;
    }
};

TEST_F(ModalTest, EndDialogsResultIsDialogBoxsAndTheWindowIsGone) {
    HWND seen = nullptr;
    EXPECT_EQ(Run(IDD_REMOTE_CUSTOM, [&](HWND h) { seen = h; }), 42);
    EXPECT_FALSE(IsWindow(seen));
    ASSERT_GE(Log().size(), 3u);
    EXPECT_EQ(Log()[0].msg, (UINT)WM_SETFONT);
    EXPECT_EQ(Log()[1].msg, (UINT)WM_INITDIALOG);
    EXPECT_EQ(Log()[1].lParam, 7);
    EXPECT_EQ(Log().back().msg, (UINT)WM_DESTROY);
    // A template the module does not have.
    SetLastError(0);
    EXPECT_EQ(DialogBoxParamA(module_, MAKEINTRESOURCEA(4711), GetDesktopWindow(), Acting, 0), -1);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
}

TEST_F(ModalTest, WmInitDialogNamesTheFirstTabStop) {
    HWND first = nullptr;
    Run(IDD_REMOTE_ACCOUNT, [&](HWND h) {});
    // The first control with WS_TABSTOP of the account template is the server name.
    ASSERT_GE(Log().size(), 2u);
    Run(IDD_REMOTE_ACCOUNT, [&](HWND h) { first = GetDlgItem(h, IDC_SERVER_NAME); });
    bool found = false;
    for (const Seen &s : Log())
        if (s.msg == WM_INITDIALOG && (HWND)s.wParam == first) found = true;
    EXPECT_TRUE(found);
}

TEST_F(ModalTest, CheckBoxesAndRadioButtons) {
    Run(IDD_REMOTE_CUSTOM, [&](HWND h) {
        EXPECT_EQ(IsDlgButtonChecked(h, IDC_SERVER), (UINT)BST_UNCHECKED);
        EXPECT_TRUE(CheckDlgButton(h, IDC_SERVER, BST_CHECKED));
        EXPECT_EQ(IsDlgButtonChecked(h, IDC_SERVER), (UINT)BST_CHECKED);
        // A two-state box shows the indeterminate state as checked.
        CheckDlgButton(h, IDC_SERVER_ADMIN, BST_INDETERMINATE);
        EXPECT_EQ(IsDlgButtonChecked(h, IDC_SERVER_ADMIN), (UINT)BST_CHECKED);
        CheckDlgButton(h, IDC_SERVER, BST_UNCHECKED);
        EXPECT_EQ(IsDlgButtonChecked(h, IDC_SERVER), (UINT)BST_UNCHECKED);
        // A push button has no check; a missing control reads as clear.
        EXPECT_EQ(IsDlgButtonChecked(h, IDOK), (UINT)BST_UNCHECKED);
        EXPECT_EQ(IsDlgButtonChecked(h, 4711), (UINT)BST_UNCHECKED);
        EXPECT_FALSE(CheckDlgButton(h, 4711, BST_CHECKED));
    });
    Run(IDD_REMOTE_CONFIG, [&](HWND h) {
        EXPECT_TRUE(CheckRadioButton(h, IDC_CUSTOM, IDC_COMPLETE, IDC_CUSTOM));
        EXPECT_EQ(IsDlgButtonChecked(h, IDC_CUSTOM), (UINT)BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(h, IDC_COMPLETE), (UINT)BST_UNCHECKED);
        EXPECT_TRUE(CheckRadioButton(h, IDC_CUSTOM, IDC_COMPLETE, IDC_COMPLETE));
        EXPECT_EQ(IsDlgButtonChecked(h, IDC_CUSTOM), (UINT)BST_UNCHECKED);
        EXPECT_EQ(IsDlgButtonChecked(h, IDC_COMPLETE), (UINT)BST_CHECKED);
    });
}

TEST_F(ModalTest, EnablingAnswersThePreviousState) {
    Run(IDD_REMOTE_CONFIG, [&](HWND h) {
        HWND details = GetDlgItem(h, IDC_CUSTOM_DETAILS);
        EXPECT_TRUE(IsWindowEnabled(details));
        EXPECT_FALSE(EnableWindow(details, FALSE));  // was enabled
        EXPECT_FALSE(IsWindowEnabled(details));
        EXPECT_TRUE(EnableWindow(details, FALSE));  // was disabled
        EXPECT_TRUE(EnableWindow(details, TRUE));
        EXPECT_TRUE(IsWindowEnabled(details));
        // A hidden control is still there by its id.
        HWND alert = GetDlgItem(h, IDC_ALERT_SHARE);
        ASSERT_NE(alert, nullptr);
        EXPECT_FALSE(IsWindowVisible(alert));
    });
}

TEST_F(ModalTest, EditTextLimitAndChangeNotifications) {
    Run(IDD_REMOTE_CONFIG, [&](HWND h) {
        HWND edit = GetDlgItem(h, IDC_PRODUCT_FOLDER);
        EXPECT_EQ(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 30000);
        SendMessageA(edit, EM_LIMITTEXT, 257, 0);
        EXPECT_EQ(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 257);
        // The limit binds typing, not the program's own text.
        Log().clear();
        std::string longer(300, 'x');
        EXPECT_TRUE(SetDlgItemTextA(h, IDC_PRODUCT_FOLDER, longer.c_str()));
        EXPECT_EQ(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0), 300);
        // A single-line edit tells its dialog of the new text.
        EXPECT_EQ(Notifications(IDC_PRODUCT_FOLDER), (std::vector<WORD>{EN_UPDATE, EN_CHANGE}));
        SendMessageA(edit, EM_LIMITTEXT, 0, 0);
        EXPECT_EQ(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);
    });
}

TEST_F(ModalTest, DropDownListStrings) {
    Run(IDD_REMOTE_CONFIG, [&](HWND h) {
        HWND box = GetDlgItem(h, IDC_PRODUCT_SHARE);
        EXPECT_EQ(SendMessageA(box, CB_GETCOUNT, 0, 0), 0);
        EXPECT_EQ(SendMessageA(box, CB_GETCURSEL, 0, 0), CB_ERR);
        EXPECT_EQ(SendMessageA(box, CB_ADDSTRING, 0, (LPARAM) "D$"), 0);
        EXPECT_EQ(SendMessageA(box, CB_ADDSTRING, 0, (LPARAM) "C$"), 1);  // unsorted: at the end
        EXPECT_EQ(SendMessageA(box, CB_INSERTSTRING, 0, (LPARAM) "E$"), 0);
        EXPECT_EQ(SendMessageA(box, CB_INSERTSTRING, (WPARAM)-1, (LPARAM) "F$"), 3);
        EXPECT_EQ(SendMessageA(box, CB_INSERTSTRING, 9, (LPARAM) "G$"), CB_ERR);
        EXPECT_EQ(SendMessageA(box, CB_GETCOUNT, 0, 0), 4);
        EXPECT_EQ(SendMessageA(box, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM) "c$"), 2);
        EXPECT_EQ(SendMessageA(box, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM) "C"), CB_ERR);
        // The search starts after wParam and wraps round.
        EXPECT_EQ(SendMessageA(box, CB_FINDSTRINGEXACT, 2, (LPARAM) "C$"), 2);
        EXPECT_EQ(SendMessageA(box, CB_FINDSTRINGEXACT, 0, (LPARAM) "E$"), 0);
        EXPECT_EQ(SendMessageA(box, CB_GETLBTEXTLEN, 1, 0), 2);
        EXPECT_EQ(SendMessageA(box, CB_GETLBTEXTLEN, 4, 0), CB_ERR);
        char text[16] = "";
        EXPECT_EQ(SendMessageA(box, CB_GETLBTEXT, 1, (LPARAM)text), 2);
        EXPECT_STREQ(text, "D$");
        EXPECT_EQ(SendMessageA(box, CB_GETLBTEXT, 7, (LPARAM)text), CB_ERR);

        Log().clear();
        EXPECT_EQ(SendMessageA(box, CB_SETCURSEL, 1, 0), 1);
        EXPECT_EQ(SendMessageA(box, CB_GETCURSEL, 0, 0), 1);
        EXPECT_EQ(GetWindowTextA(box, text, sizeof text), 2);
        EXPECT_STREQ(text, "D$");
        EXPECT_TRUE(Notifications(IDC_PRODUCT_SHARE).empty());  // the program's choice is not announced
        // Inserting before the selection moves it along.
        SendMessageA(box, CB_INSERTSTRING, 0, (LPARAM) "A$");
        EXPECT_EQ(SendMessageA(box, CB_GETCURSEL, 0, 0), 2);
        EXPECT_EQ(SendMessageA(box, CB_SETCURSEL, 9, 0), CB_ERR);
        EXPECT_EQ(SendMessageA(box, CB_GETCURSEL, 0, 0), CB_ERR);
        SendMessageA(box, CB_SETCURSEL, 0, 0);
        EXPECT_EQ(SendMessageA(box, CB_SETCURSEL, (WPARAM)-1, 0), CB_ERR);
        EXPECT_EQ(SendMessageA(box, CB_GETCURSEL, 0, 0), CB_ERR);
        EXPECT_EQ(GetWindowTextA(box, text, sizeof text), 0);
        EXPECT_TRUE(SendMessageA(box, CB_RESETCONTENT, 0, 0));
        EXPECT_EQ(SendMessageA(box, CB_GETCOUNT, 0, 0), 0);
        EXPECT_EQ(SendMessageA(box, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM) "A$"), CB_ERR);
    });
}

}  // namespace
