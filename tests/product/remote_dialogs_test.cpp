// The remote-setup dialogs driven as a person would: the installation
// configuration of a target (its shares, folders and type), the service
// account and the custom components with their disk-space total.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dialogs/RemoteAccountDlg.h"
#include "dialogs/RemoteConfigDlg.h"
#include "dialogs/RemoteCustomDlg.h"
#include "resource.h"
#include "system/QLRemote.h"
#include "dialog_control.h"
#include "remote_target.h"

namespace {

const char kIcf[] = "C:\\TEMP\\QUILLBAK.ICF";
const char kBadChars[] = "A path cannot contain any of the following characters:\n   '/:*?<>|\"'";

std::string Profile(const char *section, const char *key, const char *def = "<none>") {
    char buffer[512];
    GetPrivateProfileStringA(section, key, def, buffer, sizeof buffer, kIcf);
    return buffer;
}

void SetProfile(const char *section, const char *key, const char *value) {
    ASSERT_TRUE(WritePrivateProfileStringA(section, key, value, kIcf));
}

// The target TARGET with the hidden shares C$ and D$ (and ADMIN$, IPC$ and a
// plain share that the lists leave out), reached over an administrator's
// session as the silent-install front end leaves it.
class RemoteDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::Machine &t = winsim::CreateDefaultMachine("TARGET");
        target = &t;
        AddSetupAdministrator(t);
        t.AddDrive('D');
        t.MakeDirs("C:\\Public");
        AddShare("D$", STYPE_DISKTREE | STYPE_SPECIAL, "D:\\");
        AddShare("Public", STYPE_DISKTREE, "C:\\Public");
        winsim::LocalMachine().MakeDirs("C:\\TEMP");
        // The front end has made the file from its template.
        SetProfile("UserInfo", "FullName", "Tester");
        session = new CQLRemote("TARGET", "setupadm", "Secret1");
        ASSERT_EQ(session->Connect("ADMIN$", FALSE), (DWORD)NO_ERROR);
        CRemoteConfigDlg::LastInstallType() = CRemoteConfigDlg::INSTALL_COMPLETE;
        winsim::SetModalDialogDriver([this](HWND h, UINT id) {
            shown.push_back(winsim::DialogText(h));
            auto it = steps.find(id);
            if (it != steps.end()) it->second(h);
        });
    }
    void TearDown() override { delete session; }
    void AddShare(const std::string &name, DWORD type, const std::string &path) {
        winsim::Share s;
        s.netname = name;
        s.type = type;
        s.path = path;
        target->shares[name] = s;
    }
    // Runs the configuration dialog for TARGET.
    int RunConfig(int installed = 0, const char *home = "", const char *machine = "TARGET") {
        CRemoteConfigDlg dlg(NULL, installed, home, machine, kIcf);
        result = dlg.DoModal();
        productPath = (LPCSTR)dlg.m_strProductPath;
        return dlg.m_nOutcome;
    }
    static winsim::DialogControlView Control(HWND h, int id) { return DialogControl(h, id); }
    std::vector<winsim::MessageBoxRecord> &Boxes() { return winsim::LocalMachine().messageBoxes; }

    winsim::Machine *target = nullptr;
    CQLRemote *session = nullptr;
    std::map<UINT, std::function<void(HWND)>> steps;
    std::vector<std::string> shown;
    INT_PTR result = 0;
    std::string productPath;
};

TEST_F(RemoteDialogs, AProductPathInTheFileSelectsItsDriveShare) {
    SetProfile("InstallPath", "QuillbakPath", "D:\\Apps\\Quillbak\\");
    winsim::DialogControlView share, folder, alertShare, alertFolder, name, complete, custom, details;
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
        share = Control(h, IDC_PRODUCT_SHARE);
        folder = Control(h, IDC_PRODUCT_FOLDER);
        alertShare = Control(h, IDC_ALERT_SHARE);
        alertFolder = Control(h, IDC_ALERT_FOLDER);
        name = Control(h, IDC_COMPUTER_NAME);
        complete = Control(h, IDC_COMPLETE);
        custom = Control(h, IDC_CUSTOM);
        details = Control(h, IDC_CUSTOM_DETAILS);
        winsim::ClickDialogControl(h, IDCANCEL);
    };
    EXPECT_EQ(RunConfig(), CRemoteConfigDlg::OUTCOME_CANCELLED);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(name.text, "TARGET");
    EXPECT_EQ(share.items, (std::vector<std::string>{"C$", "D$"}));
    EXPECT_EQ(share.text, "D$");
    EXPECT_EQ(folder.text, "Apps\\Quillbak");
    EXPECT_TRUE(folder.focused);
    EXPECT_EQ(folder.limit, 257u);
    // The alert folder, hidden, holds the file's default C:\ALERT.
    EXPECT_EQ(alertShare.items, share.items);
    EXPECT_EQ(alertShare.text, "C$");
    EXPECT_EQ(alertFolder.text, "ALERT");
    EXPECT_FALSE(alertShare.visible);
    EXPECT_FALSE(alertFolder.visible);
    EXPECT_EQ(complete.check, (UINT)BST_CHECKED);
    EXPECT_EQ(custom.check, (UINT)BST_UNCHECKED);
    EXPECT_FALSE(details.enabled);
    // Cancelled: nothing written.
    EXPECT_EQ(Profile("InstallPath", "QuillbakPath"), "D:\\Apps\\Quillbak\\");
    EXPECT_EQ(Profile("InstallPath", "AlertPath"), "<none>");
}

TEST_F(RemoteDialogs, ConfirmingWritesBothPaths) {
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
        ASSERT_TRUE(winsim::SelectInDialog(h, IDC_PRODUCT_SHARE, "D$"));
        ASSERT_TRUE(winsim::TypeIntoDialog(h, IDC_PRODUCT_FOLDER, "Backup\\Quillbak"));
        ASSERT_TRUE(winsim::ClickDialogControl(h, IDOK)) << winsim::DialogText(h);
    };
    EXPECT_EQ(RunConfig(), CRemoteConfigDlg::OUTCOME_WRITTEN);
    for (auto &b : Boxes()) ADD_FAILURE() << b.text;
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(Profile("InstallPath", "QuillbakPath"), "D:\\Backup\\Quillbak\\");
    EXPECT_EQ(Profile("InstallPath", "AlertPath"), "C:\\ALERT\\");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(winsim::OpenDialogs().empty());
}

TEST_F(RemoteDialogs, AnEmptyAlertPathInTheFileBecomesTheDefault) {
    // The alert folder is hidden: left empty, OK could never succeed.
    SetProfile("InstallPath", "AlertPath", "");
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) { winsim::ClickDialogControl(h, IDOK); };
    EXPECT_EQ(RunConfig(), CRemoteConfigDlg::OUTCOME_WRITTEN);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Profile("InstallPath", "AlertPath"), "C:\\ALERT\\");
}

TEST_F(RemoteDialogs, WithoutRegistryAccessTheDefaultFolderIsProposedOnC) {
    winsim::InjectFault("RegConnectRegistryA", RPC_S_SERVER_UNAVAILABLE, winsim::FaultMode::Always);
    winsim::DialogControlView share, folder;
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
        share = Control(h, IDC_PRODUCT_SHARE);
        folder = Control(h, IDC_PRODUCT_FOLDER);
    };
    RunConfig();
    EXPECT_EQ(folder.text, "Program Files\\Veltmark\\Quillbak");
    EXPECT_EQ(share.text, "C$");
    EXPECT_EQ(result, IDCANCEL);  // nobody answered: Escape
}

TEST_F(RemoteDialogs, TheTargetsProgramFilesFolderIsProposed) {
    target->AddDrive('E');
    AddShare("E$", STYPE_DISKTREE | STYPE_SPECIAL, "E:\\");
    target->registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                               "E:\\Programs");
    winsim::DialogControlView share, folder;
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
        share = Control(h, IDC_PRODUCT_SHARE);
        folder = Control(h, IDC_PRODUCT_FOLDER);
    };
    RunConfig();
    EXPECT_EQ(folder.text, "Programs\\Veltmark\\Quillbak");
    EXPECT_EQ(share.text, "E$");
}

TEST_F(RemoteDialogs, AFolderWithAForbiddenCharacterIsRefused) {
    for (const char *bad : {"Apps?", "Apps\"Quillbak", "a:b", "x|y"}) {
        Boxes().clear();
        bool stayed = false;
        steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
            winsim::TypeIntoDialog(h, IDC_PRODUCT_FOLDER, bad);
            winsim::ClickDialogControl(h, IDOK);
            stayed = IsWindow(h) != FALSE;
        };
        EXPECT_EQ(RunConfig(), CRemoteConfigDlg::OUTCOME_CANCELLED) << bad;
        EXPECT_TRUE(stayed) << bad;
        ASSERT_EQ(Boxes().size(), 1u) << bad;
        EXPECT_EQ(Boxes()[0].text, kBadChars);
        EXPECT_EQ(Boxes()[0].caption, "Remote Setup");
        EXPECT_EQ(Boxes()[0].style, (UINT)(MB_OK | MB_ICONSTOP));
        EXPECT_EQ(Profile("InstallPath", "QuillbakPath"), "<none>") << bad;
    }
}

TEST_F(RemoteDialogs, OkIsOnlyEnabledWhileThereIsAFolder) {
    bool okWhileEmpty = true, okAgain = false, clicked = true;
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
        winsim::TypeIntoDialog(h, IDC_PRODUCT_FOLDER, "");
        okWhileEmpty = Control(h, IDOK).enabled;
        clicked = winsim::ClickDialogControl(h, IDOK);
        winsim::TypeIntoDialog(h, IDC_PRODUCT_FOLDER, "Q");
        okAgain = Control(h, IDOK).enabled;
    };
    RunConfig();
    EXPECT_FALSE(okWhileEmpty);
    EXPECT_FALSE(clicked);
    EXPECT_TRUE(okAgain);
}

TEST_F(RemoteDialogs, CustomIsRememberedForTheNextDialog) {
    bool detailsEnabled = false;
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
        winsim::ClickDialogControl(h, IDC_CUSTOM);
        detailsEnabled = Control(h, IDC_CUSTOM_DETAILS).enabled;
        EXPECT_EQ(Control(h, IDC_COMPLETE).check, (UINT)BST_UNCHECKED);
        winsim::ClickDialogControl(h, IDOK);
    };
    EXPECT_EQ(RunConfig(), CRemoteConfigDlg::OUTCOME_WRITTEN);
    EXPECT_TRUE(detailsEnabled);
    EXPECT_EQ(CRemoteConfigDlg::LastInstallType(), CRemoteConfigDlg::INSTALL_CUSTOM);
    winsim::DialogControlView custom, details;
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
        custom = Control(h, IDC_CUSTOM);
        details = Control(h, IDC_CUSTOM_DETAILS);
        // Back to Complete, but cancelled: the choice is not remembered.
        winsim::ClickDialogControl(h, IDC_COMPLETE);
        EXPECT_FALSE(Control(h, IDC_CUSTOM_DETAILS).enabled);
    };
    RunConfig();
    EXPECT_EQ(custom.check, (UINT)BST_CHECKED);
    EXPECT_TRUE(details.enabled);
    EXPECT_EQ(CRemoteConfigDlg::LastInstallType(), CRemoteConfigDlg::INSTALL_CUSTOM);
}

TEST_F(RemoteDialogs, ChangingTheFolderOfAnInstalledCopyAsksFirst) {
    SetProfile("InstallPath", "QuillbakPath", "C:\\Quillbak\\");
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
        winsim::TypeIntoDialog(h, IDC_PRODUCT_FOLDER, "Other");
        winsim::LocalMachine().scriptedAnswers = {IDNO};
        winsim::ClickDialogControl(h, IDOK);
        ASSERT_TRUE(IsWindow(h));  // No: stays open
        EXPECT_EQ(Profile("InstallPath", "QuillbakPath"), "C:\\Quillbak\\");
        winsim::LocalMachine().scriptedAnswers = {IDYES};
        winsim::ClickDialogControl(h, IDOK);
    };
    EXPECT_EQ(RunConfig(1, "C:\\Quillbak\\"), CRemoteConfigDlg::OUTCOME_WRITTEN);
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[0].text,
              "Setup has detected another copy of Quillbak installed on the remote computer.\nIf you change "
              "directory that copy will not work properly. Do you wish to continue?");
    EXPECT_EQ(Boxes()[0].style, (UINT)(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(Profile("InstallPath", "QuillbakPath"), "C:\\Other\\");

    // The same folder in other letters asks nothing.
    Boxes().clear();
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) { winsim::ClickDialogControl(h, IDOK); };
    EXPECT_EQ(RunConfig(1, "c:\\OTHER\\"), CRemoteConfigDlg::OUTCOME_WRITTEN);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(RemoteDialogs, WithoutSharesTheDialogAsksForADriveInsteadOfWritingOne) {
    winsim::InjectFault("NetShareEnum", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    bool stayed = false;
    winsim::DialogControlView share;
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
        share = Control(h, IDC_PRODUCT_SHARE);
        winsim::ClickDialogControl(h, IDOK);
        stayed = IsWindow(h) != FALSE;
        EXPECT_TRUE(Control(h, IDC_PRODUCT_SHARE).focused);
    };
    EXPECT_EQ(RunConfig(), CRemoteConfigDlg::OUTCOME_CANCELLED);
    EXPECT_TRUE(share.items.empty());
    EXPECT_TRUE(stayed);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "Please select the drive for the directory.");
    EXPECT_EQ(Boxes()[0].caption, "Remote Setup");
    EXPECT_EQ(Profile("InstallPath", "QuillbakPath"), "<none>");
    EXPECT_EQ(Profile("InstallPath", "AlertPath"), "<none>");
}

TEST_F(RemoteDialogs, APathLongerThanSetupCanReadIsRefused) {
    std::string longest(255, 'q');  // "D:\" + 255 + "\" = 259 characters
    std::string tooLong(256, 'q');
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
        winsim::SelectInDialog(h, IDC_PRODUCT_SHARE, "D$");
        winsim::TypeIntoDialog(h, IDC_PRODUCT_FOLDER, tooLong);
        winsim::ClickDialogControl(h, IDOK);
        ASSERT_TRUE(IsWindow(h));
        EXPECT_EQ(Profile("InstallPath", "QuillbakPath"), "<none>");
        // Typing is cut at the edit's limit of 257.
        winsim::TypeIntoDialog(h, IDC_PRODUCT_FOLDER, std::string(300, 'x'));
        EXPECT_EQ(Control(h, IDC_PRODUCT_FOLDER).text.size(), 257u);
        winsim::TypeIntoDialog(h, IDC_PRODUCT_FOLDER, longest);
        winsim::ClickDialogControl(h, IDOK);
    };
    EXPECT_EQ(RunConfig(), CRemoteConfigDlg::OUTCOME_WRITTEN);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "The directory name is too long.");
    EXPECT_EQ(Profile("InstallPath", "QuillbakPath"), "D:\\" + longest + "\\");
}

TEST_F(RemoteDialogs, AFailedWriteLeavesTheOutcomeNotWritten) {
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) { winsim::ClickDialogControl(h, IDOK); };
    // The alert path's write fails.
    winsim::InjectFault("WritePrivateProfileStringA", ERROR_ACCESS_DENIED, winsim::FaultMode::Nth, 2);
    EXPECT_EQ(RunConfig(), CRemoteConfigDlg::OUTCOME_NOT_WRITTEN);
    EXPECT_EQ(result, IDOK);
    // The product path's write fails: the alert path is not written either.
    winsim::ClearFaults();
    DeleteFileA(kIcf);
    winsim::InjectFault("WritePrivateProfileStringA", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    EXPECT_EQ(RunConfig(), CRemoteConfigDlg::OUTCOME_NOT_WRITTEN);
    winsim::ClearFaults();
    EXPECT_EQ(Profile("InstallPath", "AlertPath"), "<none>");
}

TEST_F(RemoteDialogs, WithoutAMachineNothingIsFilledIn) {
    winsim::DialogControlView share, folder, name;
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
        share = Control(h, IDC_PRODUCT_SHARE);
        folder = Control(h, IDC_PRODUCT_FOLDER);
        name = Control(h, IDC_COMPUTER_NAME);
    };
    RunConfig(0, "", "");
    EXPECT_EQ(name.text, "");
    EXPECT_TRUE(share.items.empty());
    EXPECT_EQ(folder.text, "");
    EXPECT_TRUE(share.focused);  // the dialog manager's choice: the first tab stop
    EXPECT_EQ(winsim::CallCount("NetShareEnum"), 0u);
}

// ---- the custom-installation dialog ----------------------------------------------------
TEST_F(RemoteDialogs, TheCustomTotalFollowsTheBoxes) {
    SetProfile("Install", "QLBServer", "0");
    SetProfile("Install", "QLBServerAdmin", "0");
    SetProfile("Install", "Alert", "0");
    std::string onlyManager, withServerAndAdmin;
    winsim::DialogControlView manager, dmo;
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
        winsim::ClickDialogControl(h, IDC_CUSTOM);
        ASSERT_TRUE(winsim::ClickDialogControl(h, IDC_CUSTOM_DETAILS));
        winsim::ClickDialogControl(h, IDOK);
    };
    steps[IDD_REMOTE_CUSTOM] = [&](HWND h) {
        onlyManager = Control(h, IDC_TOTAL_SPACE).text;
        manager = Control(h, IDC_MANAGER);
        dmo = Control(h, IDC_DATA_MIGRATION);
        EXPECT_FALSE(winsim::ClickDialogControl(h, IDC_MANAGER));  // disabled
        winsim::ClickDialogControl(h, IDC_SERVER);
        winsim::ClickDialogControl(h, IDC_SERVER_ADMIN);
        withServerAndAdmin = Control(h, IDC_TOTAL_SPACE).text;
        winsim::ClickDialogControl(h, IDOK);
    };
    EXPECT_EQ(RunConfig(), CRemoteConfigDlg::OUTCOME_WRITTEN);
    EXPECT_EQ(onlyManager, "22800");
    EXPECT_EQ(withServerAndAdmin, "35800");
    EXPECT_EQ(manager.check, (UINT)BST_CHECKED);
    EXPECT_FALSE(manager.enabled);
    EXPECT_EQ(dmo.check, (UINT)BST_UNCHECKED);
    EXPECT_FALSE(dmo.enabled);
    EXPECT_EQ(Profile("Install", "QLBManager"), "1");
    EXPECT_EQ(Profile("Install", "QLBServer"), "1");
    EXPECT_EQ(Profile("Install", "QLBServerAdmin"), "1");
    EXPECT_EQ(Profile("Install", "Alert"), "0");
    EXPECT_EQ(Profile("Install", "DataMigration"), "0");
}

TEST_F(RemoteDialogs, TheCustomBoxesComeFromTheFileAndCancelWritesNothing) {
    SetProfile("Install", "QLBServer", "1");
    SetProfile("Install", "QLBServerAdmin", "0");
    SetProfile("Install", "Alert", "1");
    std::string total;
    UINT server = 0, admin = 9, alert = 0;
    CSetupIcf icf(kIcf);
    steps[IDD_REMOTE_CUSTOM] = [&](HWND h) {
        total = Control(h, IDC_TOTAL_SPACE).text;
        server = Control(h, IDC_SERVER).check;
        admin = Control(h, IDC_SERVER_ADMIN).check;
        alert = Control(h, IDC_ALERT).check;
        winsim::ClickDialogControl(h, IDC_SERVER);
        winsim::ClickDialogControl(h, IDCANCEL);
    };
    CRemoteCustomDlg dlg(nullptr, &icf);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(server, (UINT)BST_CHECKED);
    EXPECT_EQ(admin, (UINT)BST_UNCHECKED);
    EXPECT_EQ(alert, (UINT)BST_CHECKED);
    EXPECT_EQ(total, "37100");  // 22800 + 12300 + 2000
    EXPECT_EQ(Profile("Install", "QLBServer"), "1");
    EXPECT_EQ(Profile("Install", "QLBManager"), "<none>");
}

// ---- the service-account dialog ------------------------------------------------------
TEST_F(RemoteDialogs, AccountNamesWithALeadingBackslashAreRefused) {
    SetProfile("SystemAccount", "DefaultDomainName", "TARGET");
    SetProfile("SystemAccount", "DefaultUserName", "qlsvc");
    SetProfile("SystemAccount", "DefaultPassword", "pw");
    winsim::DialogControlView server, domain, user, password;
    steps[IDD_REMOTE_CONFIG] = [&](HWND h) {
        ASSERT_TRUE(winsim::ClickDialogControl(h, IDC_ACCOUNT_DETAILS));
        winsim::ClickDialogControl(h, IDCANCEL);
    };
    steps[IDD_REMOTE_ACCOUNT] = [&](HWND h) {
        server = Control(h, IDC_SERVER_NAME);
        domain = Control(h, IDC_ACCOUNT_DOMAIN);
        user = Control(h, IDC_ACCOUNT_USER);
        password = Control(h, IDC_ACCOUNT_PASSWORD);
        EXPECT_FALSE(winsim::TypeIntoDialog(h, IDC_SERVER_NAME, "x"));  // read-only
        winsim::TypeIntoDialog(h, IDC_ACCOUNT_USER, "\\bob");
        winsim::ClickDialogControl(h, IDOK);
        ASSERT_TRUE(IsWindow(h));
        EXPECT_TRUE(Control(h, IDC_ACCOUNT_USER).focused);
        EXPECT_EQ(Profile("SystemAccount", "DefaultUserName"), "qlsvc");
        winsim::TypeIntoDialog(h, IDC_ACCOUNT_USER, "CORP\\bob");
        winsim::TypeIntoDialog(h, IDC_ACCOUNT_PASSWORD, "Secret9");
        winsim::ClickDialogControl(h, IDOK);
    };
    RunConfig();
    EXPECT_EQ(server.text, "TARGET");
    EXPECT_EQ(domain.text, "TARGET");
    EXPECT_EQ(user.text, "qlsvc");
    EXPECT_EQ(password.text, "pw");
    EXPECT_EQ(domain.limit, 48u);
    EXPECT_EQ(user.limit, 48u);
    EXPECT_EQ(password.limit, 48u);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "Invalid user name! Please enter the user name again.");
    EXPECT_EQ(Boxes()[0].caption, "Remote Setup");
    EXPECT_EQ(Boxes()[0].style, (UINT)(MB_OK | MB_ICONEXCLAMATION));
    // The account dialog wrote through the configuration dialog's file object.
    EXPECT_EQ(Profile("SystemAccount", "DefaultUserName"), "CORP\\bob");
    EXPECT_EQ(Profile("SystemAccount", "DefaultPassword"), "Secret9");
    // The password shows as stars.
    ASSERT_GE(shown.size(), 2u);
    EXPECT_NE(shown[1].find("1005  edit \"**\""), std::string::npos) << shown[1];
}

TEST_F(RemoteDialogs, ABareUserNameIsAccepted) {
    CSetupIcf icf(kIcf);
    steps[IDD_REMOTE_ACCOUNT] = [&](HWND h) {
        winsim::TypeIntoDialog(h, IDC_ACCOUNT_DOMAIN, "TARGET");
        winsim::TypeIntoDialog(h, IDC_ACCOUNT_USER, "bob");
        winsim::ClickDialogControl(h, IDOK);
    };
    CRemoteAccountDlg dlg(nullptr, &icf);
    dlg.m_strServerName = "TARGET";
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Profile("SystemAccount", "DefaultUserName"), "bob");
    EXPECT_EQ(Profile("SystemAccount", "DefaultDomainName"), "TARGET");
}

TEST_F(RemoteDialogs, ADialogThatCannotBeMadeReturnsMinusOne) {
    winsim::InjectFault("DialogBoxParamA", ERROR_NOT_ENOUGH_MEMORY);
    CRemoteConfigDlg dlg(NULL, 0, "", "TARGET", kIcf);
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_EQ(dlg.m_nOutcome, CRemoteConfigDlg::OUTCOME_NOT_WRITTEN);
    EXPECT_TRUE(shown.empty());
}

}  // namespace
