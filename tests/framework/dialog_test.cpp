// The framework's dialog class over the library's templates, and the
// combo-box wrapper: what a subclass gets for free and what it overrides.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include "afxcombo.h"
#include "afxdlg.h"
#include "resource.h"

namespace {

class Probe : public CDialog {
public:
    Probe() : CDialog(IDD_REMOTE_ACCOUNT, (HWND)NULL) {}
    int inits = 0, oks = 0, commands = 0;
    BOOL focusDefault = TRUE;

protected:
    BOOL OnInitDialog() override {
        ++inits;
        SetDlgItemText(IDC_ACCOUNT_USER, "preset");
        return focusDefault;
    }
    void OnOK() override {
        ++oks;
        if (GetDlgItemText(IDC_ACCOUNT_USER) == "stay") return;
        CDialog::OnOK();
    }
    BOOL OnCommand(int nID, int nCode, HWND hWndCtl) override {
        ++commands;
        return CDialog::OnCommand(nID, nCode, hWndCtl);
    }
};

TEST(FrameworkDialog, OkAndCancelEndTheDialogUnlessTheSubclassKeepsItOpen) {
    Probe p;
    std::string user;
    winsim::SetModalDialogDriver([&](HWND h, UINT id) {
        EXPECT_EQ(p.GetSafeHwnd(), h);
        EXPECT_EQ(id, (UINT)IDD_REMOTE_ACCOUNT);
        user = p.GetDlgItemText(IDC_ACCOUNT_USER);
        winsim::TypeIntoDialog(h, IDC_ACCOUNT_USER, "stay");
        winsim::ClickDialogControl(h, IDOK);
        EXPECT_TRUE(IsWindowVisible(h));
        winsim::TypeIntoDialog(h, IDC_ACCOUNT_USER, "go");
        winsim::ClickDialogControl(h, IDOK);
    });
    EXPECT_EQ(p.DoModal(), IDOK);
    EXPECT_EQ(user, "preset");
    EXPECT_EQ(p.inits, 1);
    EXPECT_EQ(p.oks, 2);
    EXPECT_GT(p.commands, 2);  // edit notifications come through too
    EXPECT_EQ(p.GetSafeHwnd(), (HWND)NULL);
    // Escape (nobody answers) is Cancel.
    winsim::SetModalDialogDriver(nullptr);
    EXPECT_EQ(p.DoModal(), IDCANCEL);
}

TEST(FrameworkDialog, TheFocusIsTheSubclasssOrTheFirstTabStop) {
    Probe p;
    HWND focus = NULL, first = NULL;
    winsim::SetModalDialogDriver([&](HWND h, UINT) {
        focus = GetFocus();
        first = GetDlgItem(h, IDC_SERVER_NAME);
    });
    p.DoModal();
    EXPECT_EQ(focus, first);
    p.focusDefault = FALSE;
    p.DoModal();
    EXPECT_EQ(focus, (HWND)NULL);
}

TEST(FrameworkDialog, AMissingTemplateRunsNothing) {
    class Missing : public CDialog {
    public:
        Missing() : CDialog(4711, (HWND)NULL) {}
    } m;
    EXPECT_EQ(m.DoModal(), -1);
    EXPECT_EQ(m.GetDlgItemText(1), "");  // no window: empty texts, no crash
    m.EnableDlgItem(1, FALSE);
    m.LimitText(1, 5);
}

TEST(FrameworkCombo, ItemsSelectionAndText) {
    HWND h = CreateWindowExA(0, "COMBOBOX", "", CBS_DROPDOWNLIST, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    ASSERT_NE(h, nullptr);
    CComboBox box(h);
    EXPECT_EQ(box.AddString("C$"), 0);
    EXPECT_EQ(box.InsertString(0, "D$"), 0);
    EXPECT_EQ(box.FindStringExact(-1, "c$"), 1);
    EXPECT_EQ(box.FindStringExact(-1, "E$"), CB_ERR);
    CString text;
    box.GetLBText(1, text);
    EXPECT_EQ(text, "C$");
    box.GetLBText(5, text);
    EXPECT_EQ(text, "");
    EXPECT_EQ(box.GetCurSel(), CB_ERR);
    box.GetWindowText(text);
    EXPECT_EQ(text, "");
    EXPECT_EQ(box.SetCurSel(1), 1);
    box.GetWindowText(text);
    EXPECT_EQ(text, "C$");
    box.ResetContent();
    EXPECT_EQ(box.GetCount(), 0);
    EXPECT_EQ(box.GetCurSel(), CB_ERR);
    DestroyWindow(h);
}

}  // namespace
