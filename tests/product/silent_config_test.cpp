// The silent-install functions: the product on the medium, the folder
// proposed for a target, and the configuration file prepared for it.
#include <gtest/gtest.h>

#include <windows.h>
#include <winnetwk.h>

#include <winsim/machine.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "dialogs/RemoteConfigDlg.h"
#include "resource.h"
#include "settings/SilentConfig.h"
#include "remote_target.h"

namespace {

winsim::Machine &Console() { return winsim::LocalMachine(); }

const char *kTemplate =
    "[UserInfo]\r\nFullName=Template Owner\r\n[InstallPath]\r\nQuillbakPath=\r\n[SystemAccount]\r\n"
    "DefaultDomainName=\r\n";

// The front end runs from C:\QLREMOTE with the medium's files beside it;
// TARGET is the machine to prepare.
class Silent : public ::testing::Test {
protected:
    void SetUp() override {
        Console().modulePath = "C:\\QLREMOTE\\QLREMOTE.EXE";
        Console().PutFile(Console().modulePath, "");
        Console().PutFile("C:\\QLREMOTE\\QUILLBAK.ICF", kTemplate);
        Console().PutFile("C:\\QLREMOTE\\QLBSETUP.INF", "[Setup]\r\nProdSubType=2\r\n");
        target = &winsim::CreateDefaultMachine("TARGET");
    }
    void Register(const std::string &home, const std::string &alert = "") {
        target->registry.SetString("HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Base\\Path", "HOME", home);
        if (!alert.empty()) target->registry.SetString("HKLM\\SOFTWARE\\Veltmark\\ALERT\\CurrentVersion\\Path", "HOME", alert);
    }
    static std::string Key(const std::string &file, const char *section, const char *key) {
        char value[300] = "";
        GetPrivateProfileStringA(section, key, "<none>", value, sizeof value, file.c_str());
        return value;
    }
    static tagPRODUCT_INFO Blank() {
        tagPRODUCT_INFO info;
        memset(&info, 'x', sizeof info);
        return info;
    }
    winsim::Machine *target = nullptr;
};

// ---- GetProductInfo -----------------------------------------------------------------------
TEST_F(Silent, TheProductOnTheMediumIsNamed) {
    tagPRODUCT_INFO info = Blank();
    ASSERT_EQ(GetProductInfo(&info), 1);
    EXPECT_STREQ(info.szProductName, "Quillbak 2000");
    EXPECT_EQ(info.bIsOption, 0);
    EXPECT_EQ(info.bRemoteInstall, 1);
    EXPECT_EQ(info.szHomePath[0], 'x');  // the rest is not GetProductInfo's
    EXPECT_EQ(GetProductInfo(NULL), 0);
}

TEST_F(Silent, AnInvalidSubTypeOrNoSetupFileNamesNothing) {
    for (const char *content : {"[Setup]\r\nProdSubType=5\r\n", "[Setup]\r\nProdSubType=-1\r\n", "[Setup]\r\n"}) {
        SCOPED_TRACE(content);
        Console().PutFile("C:\\QLREMOTE\\QLBSETUP.INF", content);
        tagPRODUCT_INFO info = Blank(), before = info;
        EXPECT_EQ(GetProductInfo(&info), 0);
        EXPECT_EQ(memcmp(&info, &before, sizeof info), 0);
    }
    Console().PutFile("C:\\QLREMOTE\\QLBSETUP.INF", "[Setup]\r\nProdSubType=4\r\n");
    tagPRODUCT_INFO info = Blank();
    EXPECT_EQ(GetProductInfo(&info), 1);
    DeleteFileA("C:\\QLREMOTE\\QLBSETUP.INF");
    EXPECT_EQ(GetProductInfo(&info), 0);
}

// ---- AllowInstallation --------------------------------------------------------------------
TEST_F(Silent, ARegisteredHomeIsTheProposalWithOneBackslash) {
    for (const char *home : {"D:\\Quillbak", "D:\\Quillbak\\"}) {
        SCOPED_TRACE(home);
        Register(home);
        tagPRODUCT_INFO info = Blank();
        EXPECT_EQ(AllowInstallation("TARGET", NULL, NULL, NULL, NULL, &info), 1);
        EXPECT_EQ(info.bInstalled, 1);
        EXPECT_STREQ(info.szHomePath, "D:\\Quillbak\\");
        EXPECT_EQ(info.szProductName[0], 'x');
    }
    EXPECT_EQ(AllowInstallation("TARGET", NULL, NULL, NULL, NULL, NULL), 1);
}

TEST_F(Silent, WithoutARegisteredHomeTheSourcesAreTriedInTurn) {
    // The configuration file beside the program.
    Console().PutFile("C:\\QLREMOTE\\QUILLBAK.ICF", "[InstallPath]\r\nQuillbakPath=E:\\QB\r\n");
    tagPRODUCT_INFO info = Blank();
    EXPECT_EQ(AllowInstallation("TARGET", NULL, NULL, NULL, NULL, &info), 1);
    EXPECT_EQ(info.bInstalled, 0);
    EXPECT_STREQ(info.szHomePath, "E:\\QB\\");
    // The target's Program Files folder.
    Console().PutFile("C:\\QLREMOTE\\QUILLBAK.ICF", kTemplate);
    target->registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", "D:\\Programs");
    EXPECT_EQ(AllowInstallation("TARGET", NULL, NULL, NULL, NULL, &info), 1);
    EXPECT_STREQ(info.szHomePath, "D:\\Programs\\Veltmark\\Quillbak\\");
    // Nothing readable: the fixed default.
    winsim::InjectFault("RegConnectRegistryA", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    EXPECT_EQ(AllowInstallation("TARGET", NULL, NULL, NULL, NULL, &info), 1);
    EXPECT_STREQ(info.szHomePath, "C:\\Program Files\\Veltmark\\Quillbak\\");
    winsim::ClearFaults();
    target->registry.Find("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion")->DeleteValue("ProgramFilesDir");
    EXPECT_EQ(AllowInstallation("TARGET", NULL, NULL, NULL, NULL, &info), 1);
    EXPECT_STREQ(info.szHomePath, "C:\\Program Files\\Veltmark\\Quillbak\\");
    EXPECT_EQ(AllowInstallation("NOWHERE", NULL, NULL, NULL, NULL, &info), 1);
    EXPECT_EQ(info.bInstalled, 0);
    EXPECT_STREQ(info.szHomePath, "C:\\Program Files\\Veltmark\\Quillbak\\");
}

TEST_F(Silent, AHomeTooLongForTheRecordIsNotCut) {
    std::string longHome = "D:\\" + std::string(300, 'q');
    Register(longHome);
    tagPRODUCT_INFO info = Blank();
    // The registry object reads no such value: not installed, and no cut path.
    EXPECT_EQ(AllowInstallation("TARGET", NULL, NULL, NULL, NULL, &info), 1);
    EXPECT_STREQ(info.szHomePath, "C:\\Program Files\\Veltmark\\Quillbak\\");
    // The longest that fits: 259 characters and the backslash.
    std::string fits = "D:\\" + std::string(256, 'q');
    Register(fits);
    EXPECT_EQ(AllowInstallation("TARGET", NULL, NULL, NULL, NULL, &info), 1);
    EXPECT_EQ(std::string(info.szHomePath), fits + "\\");
}

TEST_F(Silent, AHomeOfBackslashesOnlyGivesWayToTheNextSource) {
    Console().PutFile("C:\\QLREMOTE\\QUILLBAK.ICF", "[InstallPath]\r\nQuillbakPath=E:\\QB\r\n");
    for (const char *home : {"\\", "\\\\"}) {
        SCOPED_TRACE(home);
        Register(home);
        tagPRODUCT_INFO info = Blank();
        EXPECT_EQ(AllowInstallation("TARGET", NULL, NULL, NULL, NULL, &info), 1);
        EXPECT_EQ(info.bInstalled, 1);  // registered, if unusable
        EXPECT_STREQ(info.szHomePath, "E:\\QB\\");
    }
}

// ---- GetSilentConfigDefaults --------------------------------------------------------------
TEST_F(Silent, AFolderWithOrWithoutItsBackslashGivesOneFile) {
    Register("D:\\Quillbak", "D:\\Alert");
    CreateDirectoryA("C:\\Cfg", NULL);
    ASSERT_EQ(GetSilentConfigDefaults("C:\\Cfg", "TARGET", "CORP\\svc", "pw1"), 1);
    const std::string file = "C:\\Cfg\\QUILLBAK.ICF";
    EXPECT_EQ(Key(file, "SystemAccount", "DefaultPassword"), "pw1");
    ASSERT_EQ(GetSilentConfigDefaults("C:\\Cfg\\", "TARGET", "CORP\\svc", "pw2"), 1);
    EXPECT_EQ(Key(file, "SystemAccount", "DefaultPassword"), "pw2");
    EXPECT_FALSE(Console().Exists("C:\\Cfg\\\\QUILLBAK.ICF") && !Console().Exists(file));
    EXPECT_EQ(Key(file, "InstallPath", "QuillbakPath"), "D:\\Quillbak");
    EXPECT_EQ(Key(file, "InstallPath", "AlertPath"), "D:\\Alert");
    EXPECT_EQ(Key(file, "UserInfo", "FullName"), "Template Owner");  // the template's own keys stay
}

TEST_F(Silent, TheThreeFormsOfTheAccount) {
    CreateDirectoryA("C:\\Cfg", NULL);
    const std::string file = "C:\\Cfg\\QUILLBAK.ICF";
    struct Case {
        const char *account, *domain, *user;
    } cases[] = {{"CORP\\svc", "CORP", "svc"}, {"svc", "TARGET", "svc"}, {"\\svc", "TARGET", "svc"},
                 {"CORP\\a\\b", "CORP", "a\\b"}, {"", "TARGET", ""}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.account);
        ASSERT_EQ(GetSilentConfigDefaults("C:\\Cfg", "TARGET", c.account, "pw"), 1);
        EXPECT_EQ(Key(file, "SystemAccount", "DefaultDomainName"), c.domain);
        EXPECT_EQ(Key(file, "SystemAccount", "DefaultUserName"), c.user);
        EXPECT_EQ(Key(file, "SystemAccount", "DefaultPassword"), "pw");
    }
    // No machine named: this machine's name is the domain of a bare user.
    ASSERT_EQ(GetSilentConfigDefaults("C:\\Cfg", NULL, "svc", "pw"), 1);
    EXPECT_EQ(Key(file, "SystemAccount", "DefaultDomainName"), "QLSERVER");
}

TEST_F(Silent, AnAccountWithALineBreakAddsNoKeysOfItsOwn) {
    Console().PutFile("C:\\QLREMOTE\\QUILLBAK.ICF", "[SystemAccount]\r\nDefaultUserName=old\r\n");
    CreateDirectoryA("C:\\Cfg", NULL);
    ASSERT_EQ(GetSilentConfigDefaults("C:\\Cfg", "TARGET", "E:\\QB\r\n[SystemAccount]\r\nDefaultPassword=x", "pw"), 1);
    EXPECT_EQ(Key("C:\\Cfg\\QUILLBAK.ICF", "SystemAccount", "DefaultDomainName"), "E:");
    EXPECT_EQ(Key("C:\\Cfg\\QUILLBAK.ICF", "SystemAccount", "DefaultUserName"), "old");
    EXPECT_EQ(Key("C:\\Cfg\\QUILLBAK.ICF", "SystemAccount", "DefaultPassword"), "pw");
}

TEST_F(Silent, ASecondCallDoesNotCopyTheTemplateAgain) {
    Register("D:\\Quillbak");
    CreateDirectoryA("C:\\Cfg", NULL);
    const std::string file = "C:\\Cfg\\QUILLBAK.ICF";
    ASSERT_EQ(GetSilentConfigDefaults("C:\\Cfg", "TARGET", "svc", "pw"), 1);
    WritePrivateProfileStringA("UserInfo", "FullName", "Edited By Hand", file.c_str());
    Register("E:\\Moved");
    ASSERT_EQ(GetSilentConfigDefaults("C:\\Cfg", "TARGET", "CORP\\other", "pw2"), 1);
    EXPECT_EQ(winsim::CallCount("CopyFileA"), 1u);
    EXPECT_EQ(Key(file, "UserInfo", "FullName"), "Edited By Hand");
    EXPECT_EQ(Key(file, "InstallPath", "QuillbakPath"), "E:\\Moved");
    EXPECT_EQ(Key(file, "SystemAccount", "DefaultDomainName"), "CORP");
    EXPECT_EQ(Key(file, "SystemAccount", "DefaultUserName"), "other");
}

TEST_F(Silent, AnUnregisteredProductWritesNoFolders) {
    CreateDirectoryA("C:\\Cfg", NULL);
    target->registry.SetString("HKLM\\SOFTWARE\\Veltmark\\ALERT\\CurrentVersion\\Path", "HOME", "D:\\Alert");
    ASSERT_EQ(GetSilentConfigDefaults("C:\\Cfg", "TARGET", "svc", "pw"), 1);
    EXPECT_EQ(Key("C:\\Cfg\\QUILLBAK.ICF", "InstallPath", "QuillbakPath"), "");  // the template's
    EXPECT_EQ(Key("C:\\Cfg\\QUILLBAK.ICF", "InstallPath", "AlertPath"), "<none>");
}

TEST_F(Silent, AnEmptyFolderIsTheCurrentFolder) {
    Console().MakeDirs("C:\\Work");
    Console().currentDir = "C:\\Work";
    ASSERT_EQ(GetSilentConfigDefaults("", "TARGET", "svc", "pw"), 1);
    EXPECT_TRUE(Console().Exists("C:\\Work\\QUILLBAK.ICF"));
    ASSERT_EQ(GetSilentConfigDefaults(NULL, "TARGET", "svc", "pw"), 1);
    EXPECT_FALSE(Console().Exists("C:\\QUILLBAK.ICF"));
}

TEST_F(Silent, NoTemplateOrNoFolderCreatesNothing) {
    EXPECT_EQ(GetSilentConfigDefaults("C:\\Missing", "TARGET", "svc", "pw"), 0);
    EXPECT_FALSE(Console().Exists("C:\\Missing\\QUILLBAK.ICF"));
    DeleteFileA("C:\\QLREMOTE\\QUILLBAK.ICF");
    CreateDirectoryA("C:\\Cfg", NULL);
    EXPECT_EQ(GetSilentConfigDefaults("C:\\Cfg", "TARGET", "svc", "pw"), 0);
    EXPECT_FALSE(Console().Exists("C:\\Cfg\\QUILLBAK.ICF"));
}

TEST_F(Silent, ACopyOfAReadOnlyTemplateIsWritable) {
    SetFileAttributesA("C:\\QLREMOTE\\QUILLBAK.ICF", FILE_ATTRIBUTE_READONLY);
    CreateDirectoryA("C:\\Cfg", NULL);
    ASSERT_EQ(GetSilentConfigDefaults("C:\\Cfg", "TARGET", "svc", "pw"), 1);
    DWORD attributes = GetFileAttributesA("C:\\Cfg\\QUILLBAK.ICF");
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(attributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Key("C:\\Cfg\\QUILLBAK.ICF", "SystemAccount", "DefaultPassword"), "pw");
}

// ---- the password's file ----------------------------------------------------------------
// The SIDs of the access-allowed entries of the file's list, as text.
std::vector<std::string> AllowedSids(const std::string &file) {
    std::vector<BYTE> sd(1024);
    DWORD needed = 0;
    if (!GetFileSecurityA(file.c_str(), DACL_SECURITY_INFORMATION, sd.data(), (DWORD)sd.size(), &needed)) return {"<none>"};
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = NULL;
    GetSecurityDescriptorDacl(sd.data(), &present, &acl, &defaulted);
    std::vector<std::string> sids;
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        LPVOID ace = NULL;
        GetAce(acl, i, &ace);
        ACCESS_ALLOWED_ACE *allowed = (ACCESS_ALLOWED_ACE *)ace;
        if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        // Revision, count, a six-byte authority, then the sub-authorities.
        const BYTE *sid = (const BYTE *)&allowed->SidStart;
        std::string text = "S-1-" + std::to_string(sid[7]);
        for (BYTE k = 0; k < sid[1]; ++k) {
            DWORD part;
            memcpy(&part, sid + 8 + 4 * k, 4);
            text += "-" + std::to_string(part);
        }
        sids.push_back(text);
    }
    return sids;
}

TEST_F(Silent, OnlyAdministratorsMayReadANewFile) {
    CreateDirectoryA("C:\\Cfg", NULL);
    ASSERT_EQ(GetSilentConfigDefaults("C:\\Cfg", "TARGET", "svc", "Secret"), 1);
    EXPECT_EQ(AllowedSids("C:\\Cfg\\QUILLBAK.ICF"), (std::vector<std::string>{"S-1-5-32-544", "S-1-5-18"}));
    // A file the caller had already is left as it is.
    Console().PutFile("C:\\Mine\\QUILLBAK.ICF", kTemplate);
    ASSERT_EQ(GetSilentConfigDefaults("C:\\Mine", "TARGET", "svc", "Secret"), 1);
    EXPECT_EQ(AllowedSids("C:\\Mine\\QUILLBAK.ICF"), std::vector<std::string>{"S-1-1-0"});
}

TEST_F(Silent, AFileSystemWithoutAccessListsStillGetsTheFile) {
    Console().AddDrive('D').fileSystem = "FAT";
    CreateDirectoryA("D:\\Cfg", NULL);
    ASSERT_EQ(GetSilentConfigDefaults("D:\\Cfg", "TARGET", "svc", "Secret"), 1);
    EXPECT_EQ(Key("D:\\Cfg\\QUILLBAK.ICF", "SystemAccount", "DefaultPassword"), "Secret");
    EXPECT_EQ(winsim::CallCount("SetFileSecurityA"), 0u);
}

TEST_F(Silent, AFileThatCannotBeRestrictedIsNotLeftBehind) {
    CreateDirectoryA("C:\\Cfg", NULL);
    winsim::InjectFault("SetFileSecurityA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetSilentConfigDefaults("C:\\Cfg", "TARGET", "svc", "Secret"), 0);
    EXPECT_FALSE(Console().Exists("C:\\Cfg\\QUILLBAK.ICF"));
}

TEST_F(Silent, TheFileCanBeWrittenOnTheTargetThroughItsShare) {
    Register("D:\\Quillbak");
    ASSERT_EQ(GetSilentConfigDefaults("\\\\TARGET\\C$\\TEMP", "TARGET", "svc", "Secret"), 1);
    std::string content;
    ASSERT_TRUE(target->GetFile("C:\\TEMP\\QUILLBAK.ICF", content));
    EXPECT_NE(content.find("QuillbakPath=D:\\Quillbak"), std::string::npos);
    EXPECT_EQ(AllowedSids("\\\\TARGET\\C$\\TEMP\\QUILLBAK.ICF"),
              (std::vector<std::string>{"S-1-5-32-544", "S-1-5-18"}));
}

// Every file of a machine whose content holds the text.
std::vector<std::string> FilesHolding(const winsim::Machine &m, const std::string &text) {
    std::vector<std::string> found;
    for (auto &entry : std::filesystem::recursive_directory_iterator(m.sandboxRoot)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream data;
        data << in.rdbuf();
        if (data.str().find(text) != std::string::npos) found.push_back(entry.path().filename().string());
    }
    return found;
}

TEST_F(Silent, ThePasswordGoesToTheFileAndNowhereElse) {
    CreateDirectoryA("C:\\Cfg", NULL);
    winsim::InjectFault("SetFileSecurityA", ERROR_ACCESS_DENIED);
    GetSilentConfigDefaults("C:\\Cfg", "TARGET", "svc", "Pw-7f3a9c");
    GetSilentConfigDefaults("C:\\Cfg", "TARGET", "svc", "Pw-7f3a9c");
    EXPECT_EQ(FilesHolding(Console(), "Pw-7f3a9c"), std::vector<std::string>{"QUILLBAK.ICF"});
    EXPECT_TRUE(FilesHolding(*target, "Pw-7f3a9c").empty());
}

// ---- CreateSilentConfigIni ----------------------------------------------------------------
// TARGET has an administrator "setupadm"; the front end's window is the
// parent; a test decides what the person at the dialog does.
class SilentDialog : public Silent {
protected:
    void SetUp() override {
        Silent::SetUp();
        AddSetupAdministrator(*target);
        Console().MakeDirs("C:\\Cfg");
        parent = CreateWindowExA(0, "COMBOBOX", "", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
        ASSERT_NE(parent, nullptr);
        winsim::SetModalDialogDriver([this](HWND h, UINT id) {
            ++shown;
            if (id == IDD_REMOTE_CONFIG && person) person(h);
        });
        info = Blank();
        info.bInstalled = 0;
        strcpy(info.szHomePath, "C:\\Program Files\\Veltmark\\Quillbak\\");
    }
    int Run(const char *password = "Secret1", const char *folder = "C:\\Cfg") {
        return CreateSilentConfigIni("TARGET", "setupadm", password, parent, folder, &info);
    }
    HWND parent = NULL;
    int shown = 0;
    std::function<void(HWND)> person;
    tagPRODUCT_INFO info;
};

TEST_F(SilentDialog, AConfirmedDialogGivesZeroWithNoErrorAndTheFilesFolder) {
    target->registry.SetString("HKLM\\SOFTWARE\\Veltmark\\ALERT\\CurrentVersion\\Path", "HOME", "C:\\ALERT");
    person = [](HWND h) {
        ASSERT_TRUE(winsim::SelectInDialog(h, IDC_PRODUCT_SHARE, "C$"));
        ASSERT_TRUE(winsim::TypeIntoDialog(h, IDC_PRODUCT_FOLDER, "Apps\\Quillbak"));
        ASSERT_TRUE(winsim::ClickDialogControl(h, IDOK)) << winsim::DialogText(h);
    };
    SetLastError(ERROR_GEN_FAILURE);
    EXPECT_EQ(Run(), CRemoteConfigDlg::OUTCOME_WRITTEN);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    EXPECT_EQ(shown, 1);
    const std::string file = "C:\\Cfg\\QUILLBAK.ICF";
    std::string confirmed = Key(file, "InstallPath", "QuillbakPath");
    EXPECT_EQ(confirmed.rfind("C:\\Apps\\Quillbak", 0), 0u) << confirmed;
    EXPECT_EQ(std::string(info.szHomePath), confirmed);
    EXPECT_EQ(Key(file, "SystemAccount", "DefaultDomainName"), "TARGET");
    EXPECT_EQ(Key(file, "SystemAccount", "DefaultUserName"), "setupadm");
    EXPECT_EQ(Key(file, "SystemAccount", "DefaultPassword"), "Secret1");
    EXPECT_EQ(Key(file, "UserInfo", "FullName"), "Template Owner");
    EXPECT_EQ(AllowedSids(file), (std::vector<std::string>{"S-1-5-32-544", "S-1-5-18"}));
    EXPECT_EQ(GetFileAttributesA(file.c_str()), (DWORD)FILE_ATTRIBUTE_ARCHIVE);
    // The connection it made is gone.
    EXPECT_TRUE(winsim::NetConnections().empty());
}

TEST_F(SilentDialog, AFailedConnectionAlsoGivesZeroButWithItsError) {
    SetLastError(0);
    EXPECT_EQ(Run("wrong"), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_LOGON_FAILURE);
    EXPECT_EQ(shown, 0);
    EXPECT_FALSE(Console().Exists("C:\\Cfg\\QUILLBAK.ICF"));
    EXPECT_EQ(CreateSilentConfigIni("NOWHERE", "setupadm", "Secret1", parent, "C:\\Cfg", &info), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_NETPATH);
    EXPECT_EQ(CreateSilentConfigIni("TARGET", "setupadm", "Secret1", parent, "C:\\Cfg", NULL), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(winsim::NetConnections().empty());
}

TEST_F(SilentDialog, AParentThatIsNoWindowGivesZeroAndDisconnects) {
    DestroyWindow(parent);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(shown, 0);
    EXPECT_TRUE(winsim::NetConnections().empty());
    EXPECT_FALSE(Console().Exists("C:\\Cfg\\QUILLBAK.ICF"));
}

TEST_F(SilentDialog, CancelGivesTwoAndLeavesTheRecord) {
    person = [](HWND h) { winsim::ClickDialogControl(h, IDCANCEL); };
    info.bInstalled = 1;
    strcpy(info.szHomePath, "D:\\Quillbak\\");
    EXPECT_EQ(Run(), CRemoteConfigDlg::OUTCOME_CANCELLED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    EXPECT_STREQ(info.szHomePath, "D:\\Quillbak\\");
    // The new file has the installed copy's folder.
    EXPECT_EQ(Key("C:\\Cfg\\QUILLBAK.ICF", "InstallPath", "QuillbakPath"), "D:\\Quillbak\\");
}

TEST_F(SilentDialog, AnExistingFileIsLeftForTheDialog) {
    Console().PutFile("C:\\Cfg\\QUILLBAK.ICF", "[SystemAccount]\r\nDefaultUserName=kept\r\n");
    person = [](HWND h) { winsim::ClickDialogControl(h, IDCANCEL); };
    EXPECT_EQ(Run(), CRemoteConfigDlg::OUTCOME_CANCELLED);
    EXPECT_EQ(Key("C:\\Cfg\\QUILLBAK.ICF", "SystemAccount", "DefaultUserName"), "kept");
    EXPECT_EQ(Key("C:\\Cfg\\QUILLBAK.ICF", "SystemAccount", "DefaultPassword"), "<none>");
    EXPECT_EQ(winsim::CallCount("CopyFileA"), 0u);
}

TEST_F(SilentDialog, AConnectionWithOtherCredentialsServesAndStays) {
    winsim::Account &other = target->AddAccount("other", 1);
    other.password = "o";
    target->aliasMembers["S-1-5-32-544"].insert(other.sid);
    NETRESOURCEA nr = {};
    nr.dwType = RESOURCETYPE_DISK;
    char ipc[] = "\\\\TARGET\\IPC$";
    nr.lpRemoteName = ipc;
    ASSERT_EQ(WNetAddConnection2A(&nr, "o", "TARGET\\other", 0), (DWORD)NO_ERROR);
    person = [](HWND h) { winsim::ClickDialogControl(h, IDCANCEL); };
    EXPECT_EQ(Run(), CRemoteConfigDlg::OUTCOME_CANCELLED);
    EXPECT_EQ(shown, 1);
    ASSERT_EQ(winsim::NetConnections().size(), 1u);  // not ours to cancel
    EXPECT_EQ(winsim::NetConnections()[0].user, "TARGET\\other");
}

TEST_F(SilentDialog, WithoutATemplateTheFileIsStillRestricted) {
    DeleteFileA("C:\\QLREMOTE\\QUILLBAK.ICF");
    person = [](HWND h) { winsim::ClickDialogControl(h, IDCANCEL); };
    EXPECT_EQ(Run(), CRemoteConfigDlg::OUTCOME_CANCELLED);
    EXPECT_EQ(AllowedSids("C:\\Cfg\\QUILLBAK.ICF"), (std::vector<std::string>{"S-1-5-32-544", "S-1-5-18"}));
    EXPECT_EQ(Key("C:\\Cfg\\QUILLBAK.ICF", "SystemAccount", "DefaultPassword"), "Secret1");
    // A file that cannot be restricted is not made at all.
    DeleteFileA("C:\\Cfg\\QUILLBAK.ICF");
    winsim::InjectFault("SetFileSecurityA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(Console().Exists("C:\\Cfg\\QUILLBAK.ICF"));
}

TEST_F(SilentDialog, AnEmptyFolderIsTheRootOfTheCurrentDrive) {
    Console().MakeDirs("C:\\Work");
    Console().currentDir = "C:\\Work";
    person = [](HWND h) { winsim::ClickDialogControl(h, IDCANCEL); };
    EXPECT_EQ(Run("Secret1", ""), CRemoteConfigDlg::OUTCOME_CANCELLED);
    EXPECT_TRUE(Console().Exists("C:\\QUILLBAK.ICF"));
    EXPECT_FALSE(Console().Exists("C:\\Work\\QUILLBAK.ICF"));
}

}  // namespace
