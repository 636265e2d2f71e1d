// The control API's person at the screen: typing, clicking and choosing in
// an open dialog, what it refuses, the modal driver and the text of a dialog.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <string>
#include <vector>

#include "resource.h"

namespace {

std::vector<std::pair<int, int>> &Commands() {
    static std::vector<std::pair<int, int>> c;
    return c;
}

INT_PTR CALLBACK Quiet(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) Commands().push_back({LOWORD(wParam), HIWORD(wParam)});
    return FALSE;
}

// Ends on OK and Cancel, as a plain dialog procedure does.
INT_PTR CALLBACK Closing(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) {
        Commands().push_back({LOWORD(wParam), HIWORD(wParam)});
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(h, LOWORD(wParam) == IDOK ? 100 : 200);
    }
    return FALSE;
}

class DialogDriver : public ::testing::Test {
protected:
    void SetUp() override {
        Commands().clear();
        module = GetModuleHandleA("QLSETGUI.dll");
        ASSERT_NE(module, nullptr);
    }
    HWND Open(UINT id, DLGPROC proc = Quiet) {
        HWND h = CreateDialogParamA(module, MAKEINTRESOURCEA(id), GetDesktopWindow(), proc, 0);
        if (h) ShowWindow(h, SW_SHOW);
        return h;
    }
    HMODULE module = nullptr;
};

TEST_F(DialogDriver, TypingReplacesTheTextAndNotifies) {
    HWND h = Open(IDD_REMOTE_CONFIG);
    ASSERT_NE(h, nullptr);
    SendDlgItemMessageA(h, IDC_PRODUCT_FOLDER, EM_LIMITTEXT, 5, 0);
    Commands().clear();
    ASSERT_TRUE(winsim::TypeIntoDialog(h, IDC_PRODUCT_FOLDER, "Quillbak"));
    char text[32];
    GetDlgItemTextA(h, IDC_PRODUCT_FOLDER, text, sizeof text);
    EXPECT_STREQ(text, "Quill");  // cut at the limit
    EXPECT_EQ(GetFocus(), GetDlgItem(h, IDC_PRODUCT_FOLDER));
    std::vector<std::pair<int, int>> expected = {{IDC_PRODUCT_FOLDER, EN_SETFOCUS},
                                                 {IDC_PRODUCT_FOLDER, EN_UPDATE},
                                                 {IDC_PRODUCT_FOLDER, EN_CHANGE},
                                                 {IDC_PRODUCT_FOLDER, EN_MAXTEXT}};
    EXPECT_EQ(Commands(), expected);
    // The same text again changes nothing.
    Commands().clear();
    winsim::TypeIntoDialog(h, IDC_PRODUCT_FOLDER, "Quill");
    EXPECT_TRUE(Commands().empty());
    DestroyWindow(h);
}

TEST_F(DialogDriver, WhatAPersonCannotReachIsRefused) {
    HWND h = Open(IDD_REMOTE_CONFIG);
    ASSERT_NE(h, nullptr);
    Commands().clear();
    EXPECT_FALSE(winsim::TypeIntoDialog(h, IDC_ALERT_FOLDER, "x"));      // hidden
    EXPECT_FALSE(winsim::TypeIntoDialog(h, IDC_COMPLETE, "x"));          // not an edit
    EXPECT_FALSE(winsim::TypeIntoDialog(h, 4711, "x"));                  // missing
    EXPECT_FALSE(winsim::SelectInDialog(h, IDC_PRODUCT_SHARE, "C$"));    // no such entry
    EXPECT_FALSE(winsim::ClickDialogControl(h, IDC_PRODUCT_FOLDER));    // not a button
    EnableWindow(GetDlgItem(h, IDC_CUSTOM_DETAILS), FALSE);
    EXPECT_FALSE(winsim::ClickDialogControl(h, IDC_CUSTOM_DETAILS));    // disabled
    EnableWindow(h, FALSE);
    EXPECT_FALSE(winsim::ClickDialogControl(h, IDOK));                  // the dialog is disabled
    EnableWindow(h, TRUE);
    ShowWindow(h, SW_HIDE);
    EXPECT_FALSE(winsim::ClickDialog(h));
    EXPECT_FALSE(winsim::PressDialogKey(h, winsim::DialogKey::Enter));
    for (auto &c : Commands()) ADD_FAILURE() << c.first << " " << c.second;
    DestroyWindow(h);
    EXPECT_FALSE(winsim::ClickDialogControl(h, IDOK));
    winsim::DialogView v;
    EXPECT_FALSE(winsim::DescribeDialog(h, v));
}

TEST_F(DialogDriver, ClickingCheckBoxesAndChoosingEntries) {
    HWND h = Open(IDD_REMOTE_CUSTOM);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(winsim::ClickDialogControl(h, IDC_SERVER));
    EXPECT_EQ(IsDlgButtonChecked(h, IDC_SERVER), (UINT)BST_CHECKED);  // an automatic box toggles
    winsim::ClickDialogControl(h, IDC_SERVER);
    EXPECT_EQ(IsDlgButtonChecked(h, IDC_SERVER), (UINT)BST_UNCHECKED);
    EXPECT_EQ(Commands().back(), std::make_pair(IDC_SERVER, (int)BN_CLICKED));
    DestroyWindow(h);

    h = Open(IDD_REMOTE_CONFIG);
    ASSERT_NE(h, nullptr);
    // Plain radio buttons are the program's to check.
    winsim::ClickDialogControl(h, IDC_CUSTOM);
    EXPECT_EQ(IsDlgButtonChecked(h, IDC_CUSTOM), (UINT)BST_UNCHECKED);
    HWND box = GetDlgItem(h, IDC_PRODUCT_SHARE);
    SendMessageA(box, CB_ADDSTRING, 0, (LPARAM) "C$");
    SendMessageA(box, CB_ADDSTRING, 0, (LPARAM) "D$");
    Commands().clear();
    ASSERT_TRUE(winsim::SelectInDialog(h, IDC_PRODUCT_SHARE, "d$"));
    EXPECT_EQ(SendMessageA(box, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Commands().back(), std::make_pair(IDC_PRODUCT_SHARE, (int)CBN_SELCHANGE));
    ASSERT_TRUE(winsim::PressDialogKey(h, winsim::DialogKey::Escape));
    EXPECT_EQ(Commands().back(), std::make_pair((int)IDCANCEL, (int)BN_CLICKED));
    DestroyWindow(h);
}

TEST_F(DialogDriver, TheModalDriverActsAndEscapeEndsWhatItLeavesOpen) {
    std::vector<UINT> driven;
    winsim::SetModalDialogDriver([&](HWND h, UINT id) {
        driven.push_back(id);
        EXPECT_TRUE(IsWindowVisible(h));
        if (id == IDD_REMOTE_ACCOUNT) winsim::ClickDialogControl(h, IDOK);
    });
    EXPECT_EQ(DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_REMOTE_ACCOUNT), NULL, Closing, 0), 100);
    EXPECT_EQ(DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_REMOTE_CUSTOM), NULL, Closing, 0), 200);
    EXPECT_EQ(driven, (std::vector<UINT>{IDD_REMOTE_ACCOUNT, IDD_REMOTE_CUSTOM}));
    // A dialog that ignores Escape too is destroyed: -1, ERROR_TIMEOUT.
    SetLastError(0);
    EXPECT_EQ(DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_REMOTE_CUSTOM), NULL, Quiet, 0), -1);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_TIMEOUT);
    EXPECT_TRUE(winsim::OpenDialogs().empty());
}

TEST_F(DialogDriver, TheOwnerIsDisabledWhileAModalDialogRuns) {
    HWND owner = Open(IDD_REMOTE_CONFIG, Closing);
    ASSERT_NE(owner, nullptr);
    bool ownerEnabled = true, clickedOwner = true;
    winsim::SetModalDialogDriver([&](HWND h, UINT id) {
        ownerEnabled = IsWindowEnabled(owner) != FALSE;
        clickedOwner = winsim::ClickDialogControl(owner, IDOK);
        winsim::ClickDialogControl(h, IDOK);
    });
    EXPECT_EQ(DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_REMOTE_ACCOUNT), owner, Closing, 0), 100);
    EXPECT_FALSE(ownerEnabled);
    EXPECT_FALSE(clickedOwner);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

TEST_F(DialogDriver, ADialogAsText) {
    HWND h = Open(IDD_REMOTE_ACCOUNT);
    ASSERT_NE(h, nullptr);
    SetDlgItemTextA(h, IDC_SERVER_NAME, "TARGET");
    SetDlgItemTextA(h, IDC_ACCOUNT_PASSWORD, "Secret");
    SendDlgItemMessageA(h, IDC_ACCOUNT_USER, EM_LIMITTEXT, 48, 0);
    EnableWindow(GetDlgItem(h, IDCANCEL), FALSE);
    SetFocus(GetDlgItem(h, IDC_ACCOUNT_USER));
    EXPECT_EQ(winsim::DialogText(h),
              "Dialog 4323 \"Remote Setup - System Account\" (modeless, shown)\n"
              "        text \"Please enter an existing user account and password for the Quillbak Server.  To "
              "specify a domain account, you must enter the domain name.\"\n"
              "        text \"&Quillbak Server Name:\"\n"
              "  1053  edit \"TARGET\" read-only\n"
              "        text \"&Domain/Server Name:\"\n"
              "  1010  edit \"\"\n"
              "        text \"&User Name:\"\n"
              "  1006  edit \"\" limit 48 focus\n"
              "        text \"&Password:\"\n"
              "  1005  edit \"******\"\n"
              "  1     button \"OK\"\n"
              "  2     button \"Cancel\" disabled\n");
    DestroyWindow(h);
    EXPECT_EQ(winsim::DialogText(h), "");
}

}  // namespace
