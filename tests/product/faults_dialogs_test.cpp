// Failures of the dialog functions inside the remote-setup dialogs: a control
// that cannot be read, set or checked, a dialog that cannot end, a question
// that cannot be asked. The configuration file only ever gets what the user
// confirmed.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <functional>
#include <map>
#include <string>

#include "dialogs/RemoteConfigDlg.h"
#include "dialogs/RemoteCustomDlg.h"
#include "resource.h"
#include "system/QLRemote.h"
#include "dialog_control.h"
#include "remote_target.h"

namespace {

const char kIcf[] = "C:\\TEMP\\QUILLBAK.ICF";

std::string Profile(const char *section, const char *key) {
    char buffer[512];
    GetPrivateProfileStringA(section, key, "<none>", buffer, sizeof buffer, kIcf);
    return buffer;
}

// The target TARGET with its C$ share, reached over an administrator's
// session; each dialog is answered by the step given for its template.
class DialogFaults : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::Machine &t = winsim::CreateDefaultMachine("TARGET");
        AddSetupAdministrator(t);
        winsim::LocalMachine().MakeDirs("C:\\TEMP");
        ASSERT_TRUE(WritePrivateProfileStringA("UserInfo", "FullName", "Tester", kIcf));
        session = new CQLRemote("TARGET", "setupadm", "Secret1");
        ASSERT_EQ(session->Connect("ADMIN$", FALSE), (DWORD)NO_ERROR);
        CRemoteConfigDlg::LastInstallType() = CRemoteConfigDlg::INSTALL_COMPLETE;
        winsim::SetModalDialogDriver([this](HWND h, UINT id) {
            auto it = steps.find(id);
            if (it != steps.end()) it->second(h);
        });
    }
    void TearDown() override { delete session; }
    int RunConfig(int installed = 0, const char *home = "") {
        CRemoteConfigDlg dlg(NULL, installed, home, "TARGET", kIcf);
        result = dlg.DoModal();
        return dlg.m_nOutcome;
    }
    static winsim::DialogControlView Control(HWND h, int id) { return DialogControl(h, id); }
    std::vector<winsim::MessageBoxRecord> &Boxes() { return winsim::LocalMachine().messageBoxes; }

    CQLRemote *session = nullptr;
    std::map<UINT, std::function<void(HWND)>> steps;
    INT_PTR result = 0;
};

// The folder is read as empty: the user is asked for it again, and no empty
// folder reaches the file.
TEST_F(DialogFaults, AFolderThatCannotBeReadIsAskedForAgain) {
    struct Case {
        const char *function;
        std::function<void()> arm;
    } const cases[] = {
        {"GetDlgItem", [] { winsim::InjectFault("GetDlgItem", ERROR_INVALID_WINDOW_HANDLE); }},
        {"GetDlgItemTextA", [] { winsim::InjectFault("GetDlgItemTextA", ERROR_INVALID_WINDOW_HANDLE); }},
        // The length asked of the control found (WM_GETTEXTLENGTH).
        {"SendMessageA",
         [] {
             winsim::SetBeforeCallHook("GetDlgItem",
                                       [] { winsim::InjectFault("SendMessageA", ERROR_INVALID_WINDOW_HANDLE); });
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.function);
        ASSERT_TRUE(WritePrivateProfileStringA("InstallPath", NULL, NULL, kIcf));
        Boxes().clear();
        bool stayed = false, focused = false;
        std::string written = "?";
        steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
            c.arm();
            ASSERT_TRUE(winsim::ClickDialogControl(h, IDOK));
            stayed = IsWindow(h) != FALSE;
            focused = Control(h, IDC_PRODUCT_FOLDER).focused;
            written = Profile("InstallPath", "QuillbakPath");
            // Read at the second try.
            winsim::ClickDialogControl(h, IDOK);
        };
        EXPECT_EQ(RunConfig(), CRemoteConfigDlg::OUTCOME_WRITTEN);
        EXPECT_TRUE(stayed);
        EXPECT_TRUE(focused);
        EXPECT_EQ(written, "<none>");
        ASSERT_EQ(Boxes().size(), 1u);
        EXPECT_EQ(Boxes()[0].text, "Please enter the directory name.");
        EXPECT_EQ(Boxes()[0].caption, "Remote Setup");
        EXPECT_EQ(Profile("InstallPath", "QuillbakPath"), "C:\\Program Files\\Veltmark\\Quillbak\\");
    }
}

TEST_F(DialogFaults, ADialogThatCannotEndStaysOpenUntilItDoes) {
    bool stayed = false;
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
        winsim::ClickDialogControl(h, IDC_CUSTOM);
        winsim::InjectFault("EndDialog", ERROR_INVALID_WINDOW_HANDLE);
        winsim::ClickDialogControl(h, IDOK);
        stayed = IsWindow(h) && Control(h, IDOK).visible;
        winsim::ClickDialogControl(h, IDOK);
    };
    EXPECT_EQ(RunConfig(), CRemoteConfigDlg::OUTCOME_WRITTEN);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(CRemoteConfigDlg::LastInstallType(), CRemoteConfigDlg::INSTALL_CUSTOM);
    EXPECT_EQ(Profile("InstallPath", "QuillbakPath"), "C:\\Program Files\\Veltmark\\Quillbak\\");
    EXPECT_TRUE(winsim::OpenDialogs().empty());
}

TEST_F(DialogFaults, AnUnaskedQuestionDoesNotMoveAnInstalledCopy) {
    ASSERT_TRUE(WritePrivateProfileStringA("InstallPath", "QuillbakPath", "C:\\Quillbak\\", kIcf));
    bool stayed = false;
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
        winsim::TypeIntoDialog(h, IDC_PRODUCT_FOLDER, "Other");
        winsim::InjectFault("MessageBoxA", ERROR_NOT_ENOUGH_MEMORY);
        winsim::ClickDialogControl(h, IDOK);
        stayed = IsWindow(h) != FALSE;
        EXPECT_EQ(Profile("InstallPath", "QuillbakPath"), "C:\\Quillbak\\");
        // Asked, and answered Yes.
        winsim::LocalMachine().scriptedAnswers = {IDYES};
        winsim::ClickDialogControl(h, IDOK);
    };
    EXPECT_EQ(RunConfig(1, "C:\\Quillbak\\"), CRemoteConfigDlg::OUTCOME_WRITTEN);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(Profile("InstallPath", "QuillbakPath"), "C:\\Other\\");
}

TEST_F(DialogFaults, TheManagerStaysInTheFileWhenItsBoxCannotBeChecked) {
    ASSERT_TRUE(WritePrivateProfileStringA("Install", "QLBServer", "1", kIcf));
    ASSERT_TRUE(WritePrivateProfileStringA("Install", "QLBServerAdmin", "0", kIcf));
    ASSERT_TRUE(WritePrivateProfileStringA("Install", "Alert", "0", kIcf));
    CSetupIcf icf(kIcf);
    std::string total;
    steps[IDD_REMOTE_CUSTOM] = [&](HWND h) {
        total = Control(h, IDC_TOTAL_SPACE).text;
        winsim::ClickDialogControl(h, IDOK);
    };
    // The first box checked is the Manager's.
    winsim::InjectFault("CheckDlgButton", ERROR_INVALID_WINDOW_HANDLE);
    CRemoteCustomDlg dlg(nullptr, &icf);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(total, "35100");  // 22800 + 12300
    EXPECT_EQ(Profile("Install", "QLBManager"), "1");
    EXPECT_EQ(Profile("Install", "QLBServer"), "1");
}

}  // namespace
