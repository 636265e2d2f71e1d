// What GetSetupInformation hands to the package's dialogs, the existing
// database's type, the service account from the branding library and the
// removal of a separately installed alert component.
#include <gtest/gtest.h>

#include "action_fixture.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <winsim/machine.h>

#include "actions/Checks.h"
#include "registry/HarnRegistry.h"
#include "brandkit.h"
#include "doubles.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const char kBase[] = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Base";
const char kProducts[] = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Products";
const char kAlertPath[] = "HKLM\\SOFTWARE\\Veltmark\\ALERT\\CurrentVersion\\Path";
const char kHome[] = "C:\\Program Files\\Quillbak";

class SetupInformationTest : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        m_->AddDrive('D', DRIVE_CDROM);
        m_->PutFile("D:\\SETUP\\QLBSETUP.INF", "[Setup]\r\nProdSubType=3\r\n[BuildNumber]\r\nQLNT=600,650\r\n");
        Prop("SETUPDIR", "D:\\SETUP\\");
    }

    void Icf(const std::string &text) { m_->PutFile("D:\\SETUP\\QUILLBAK.ICF", text); }
    void Installed(DWORD build, BYTE subType = 2) {
        m_->registry.SetString(std::string(kBase) + "\\Path", "HOME", kHome);
        m_->MakeDirs(kHome);
        if (build) {
            tagProductStruct r;
            memset(&r, 0, sizeof r);
            r.dwProductCode = 24;
            r.dwVersion = (build << 16) | 0x0700;
            r.bySubType = subType;
            r.dwCrc = CHarnRegistry::ProductRecordCrc(&r);
            m_->registry.Set(kProducts, "Quillbak", REG_BINARY, &r, sizeof r);
        }
    }
    void Components(DWORD manager, DWORD server, DWORD admin) {
        m_->registry.SetDword(std::string(kBase) + "\\Components", "MANAGER", manager);
        m_->registry.SetDword(std::string(kBase) + "\\Components", "SERVER", server);
        m_->registry.SetDword(std::string(kBase) + "\\Components", "ADMIN", admin);
    }
    // The settings as the checks build them before the steps run.
    void Prologue() {
        tagSETUP_INFO info;
        SetSetupInfo(session_, &info, 0);
        g_Settings.Initialize();
        m_->installer.log.clear();
    }
    // A branding library that names the product's own roots.
    void BrandKitAt(const std::string &path) {
        InstallBrandKit("BRANDKIT", path);
        SetBrandKitText(BRANDKIT_VALUE_BRAND_NAME, "SOFTWARE\\Veltmark");
        SetBrandKitText(BRANDKIT_VALUE_REG_ROOT, "SOFTWARE\\Veltmark\\QuillbakIT");
        SetBrandKitText(BRANDKIT_VALUE_REG_BASE, "SOFTWARE\\Veltmark\\QuillbakIT\\Base");
        SetBrandKitText(BRANDKIT_VALUE_PRODUCTS, "SOFTWARE\\Veltmark\\QuillbakIT\\Products");
    }

};

// ---- GetSetupInformation ------------------------------------------------------------------
TEST_F(SetupInformationTest, TheConfigurationFileFillsTheDialogs) {
    Icf("[UserInfo]\r\nFullName=Pat Doe\r\nCompanyName=Doe Backup Ltd\r\n"
        "[InstallPath]\r\nQuillbakPath=E:\\Apps\\Quillbak\\\r\n"
        "[SystemAccount]\r\nDefaultDomainName=CORP\r\nDefaultUserName=qlbackup\r\nDefaultPassword=secret\r\n"
        "[DatabaseOption]\r\nSQL=1\r\n");
    InstallDouble("QLVCTL", "D:\\SETUP\\QLVCTL.DLL");
    EXPECT_EQ(GetSetupInformation(session_), 0u);
    auto log = Log();
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[0], "GetSetupInformation() - Started");
    EXPECT_EQ(log[3], "GetSetupInformation() from D:\\SETUP\\QUILLBAK.ICF");
    EXPECT_EQ(log[4], "GetQuillbakVersion() - QLVCTL.DLL Path = D:\\SETUP\\QLVCTL.DLL");
    EXPECT_EQ(PropOf("INSTALLDIR"), "E:\\Apps\\Quillbak");
    EXPECT_EQ(PropOf("BUILDNO"), "1230");
    EXPECT_EQ(PropOf("VERSIONNO"), "1792");  // 7.0
    EXPECT_EQ(PropOf("PRODSUBTYPE"), "3");
    EXPECT_EQ(PropOf("SELECTDBTYPE"), "SQL");
    EXPECT_EQ(PropOf("USERNAME"), "Pat Doe");
    EXPECT_EQ(PropOf("COMPANYNAME"), "Doe Backup Ltd");
    EXPECT_EQ(PropOf("SYSTEMACCOUNT"), "qlbackup");
    EXPECT_EQ(PropOf("SYSTEMPWD"), "secret");
    EXPECT_EQ(PropOf("SYSTEMDOMAIN"), "CORP");
    EXPECT_EQ(PropOf("SYSTEMSERVER"), "QLSERVER");
    EXPECT_EQ(PropOf("ERRORMSG"), "<unset>");  // a check's refusal before it stays
    EXPECT_EQ(PropOf("INSTALLALERT"), "<unset>");
}

TEST_F(SetupInformationTest, WithoutAFileTheMachineAndTheEarlierProductAnswer) {
    Installed(620);
    m_->registry.SetString(std::string(kBase) + "\\User", "Name", "Robin Vale");
    m_->registry.SetString(std::string(kBase) + "\\User", "Org", "Vale Freight");
    m_->registry.SetDword(std::string(kBase) + "\\Database", "DatabaseType", 2);
    InstallDouble("QLVCTL", "D:\\SETUP\\QLNT\\QLVCTL.DLL");
    Prop("PASSWORD", "typed-in");
    EXPECT_EQ(GetSetupInformation(session_), 0u);
    EXPECT_TRUE(Logged("GetQuillbakVersion() - QLVCTL.DLL Path = D:\\SETUP\\QLNT\\QLVCTL.DLL"));
    EXPECT_EQ(PropOf("BUILDNO"), "1230");
    EXPECT_EQ(PropOf("INSTALLDIR"), kHome);
    EXPECT_EQ(PropOf("USERNAME"), "Robin Vale");
    EXPECT_EQ(PropOf("COMPANYNAME"), "Vale Freight");
    EXPECT_EQ(PropOf("EXISTDBTYPE"), "VLDB");
    EXPECT_EQ(PropOf("SELECTDBTYPE"), "VLDB");
    EXPECT_EQ(PropOf("SYSTEMACCOUNT"), "Administrator");
    EXPECT_EQ(PropOf("SYSTEMPWD"), "typed-in");
    EXPECT_EQ(PropOf("SYSTEMDOMAIN"), "QLSERVER");
}

TEST_F(SetupInformationTest, AnEarlierSqlDatabaseSelectsSql) {
    Installed(620);
    Icf("[DatabaseOption]\r\nSQL=0\r\n");
    m_->registry.SetDword(std::string(kBase) + "\\Database", "DatabaseType", 1);
    GetSetupInformation(session_);
    EXPECT_EQ(PropOf("SELECTDBTYPE"), "SQL");
    EXPECT_EQ(ExistingDatabaseType, 1);
}

TEST_F(SetupInformationTest, ComponentChoices) {
    struct Case {
        const char *value;  // the [Install] switch, null for no key
        bool earlier;
        DWORD installed;  // the earlier product's component flag
        const char *chosen;
    } const cases[] = {
        {"1", true, 0, "TRUE"},    {"0", false, 1, "FALSE"},  {"0", true, 1, "FALSE"},
        {"yes", false, 0, "TRUE"}, {"yes", true, 0, "FALSE"}, {"yes", true, 1, "TRUE"},
        {nullptr, true, 1, "TRUE"}, {nullptr, true, 0, "FALSE"}, {nullptr, false, 0, "TRUE"},
        {"", true, 0, "FALSE"},
    };
    for (const Case &c : cases) {
        winsim::ResetWorld();
        m_ = &winsim::CreateDefaultMachine();
        SetUp();
        if (c.earlier) Installed(620);
        Components(c.installed, c.installed, c.installed);
        std::string section = "[Install]\r\n";
        if (c.value)
            for (const char *key : {"QLBManager", "QLBServer", "QLBServerAdmin"})
                section += std::string(key) + "=" + c.value + "\r\n";
        Icf(section);
        GetSetupInformation(session_);
        std::string what = std::string(c.value ? c.value : "(none)") + (c.earlier ? " earlier " : " new ") +
                           std::to_string(c.installed);
        EXPECT_EQ(PropOf("INSTALLMANGER"), c.chosen) << what;
        EXPECT_EQ(PropOf("INSTALLSERVER"), c.chosen) << what;
        EXPECT_EQ(PropOf("INSTALLADMIN"), c.chosen) << what;
        EXPECT_EQ(g_Settings.InstallManager(), std::string(c.chosen) == "TRUE") << what;
        EXPECT_TRUE(Logged(std::string(" - Manager = ") + (c.value ? c.value : ""))) << what;
        EXPECT_TRUE(Logged(std::string(" - Admin = ") + (c.value ? c.value : ""))) << what;
        MsiCloseHandle(session_);
    }
    session_ = winsim::OpenInstallerSession();
}

TEST_F(SetupInformationTest, AnOldBuildGetsEveryComponent) {
    Installed(599);
    Components(0, 0, 0);
    Icf("[Install]\r\nQLBManager=0\r\nQLBServer=0\r\nQLBServerAdmin=0\r\n");
    GetSetupInformation(session_);
    EXPECT_EQ(PropOf("INSTALLMANGER"), "TRUE");
    EXPECT_EQ(PropOf("INSTALLSERVER"), "TRUE");
    EXPECT_EQ(PropOf("INSTALLADMIN"), "TRUE");
    EXPECT_TRUE(g_Settings.InstallManager() && g_Settings.InstallServer() && g_Settings.InstallAdmin());
}

TEST_F(SetupInformationTest, MaintenanceRunsTakeTheRecordedSubType) {
    Installed(620, 0xFE);
    Prop("REINSTALL", "ALL");
    GetSetupInformation(session_);
    EXPECT_EQ(PropOf("PRODSUBTYPE"), "-2");
    EXPECT_TRUE(Logged("AllowUninstall() - ProdSubType from registry key = -2"));

    // A maintenance run without a setup directory and without a record.
    m_->registry.Delete(kProducts);
    m_->installer.properties.clear();
    m_->installer.modes[MSIRUNMODE_MAINTENANCE] = true;
    m_->installer.properties["SOURCEDIR"] = "D:\\SETUP\\";
    GetSetupInformation(session_);
    EXPECT_TRUE(Logged("AllowUninstall() - Failed to get Quillbak ProductInfo."));
    EXPECT_EQ(PropOf("PRODSUBTYPE"), "3");  // the medium's edition stands in
}

TEST_F(SetupInformationTest, FailuresToNameTheUserAreLoggedWithTheirError) {
    winsim::InjectFault("GetUserNameA", ERROR_NOT_ENOUGH_MEMORY, winsim::FaultMode::Always);
    winsim::InjectFault("LookupAccountSidA", ERROR_NONE_MAPPED, winsim::FaultMode::Always);
    EXPECT_EQ(GetSetupInformation(session_), 0u);
    EXPECT_TRUE(Logged("GetUserName() failed (Err=8)"));
    EXPECT_TRUE(Logged("GetDomain() failed (Err=1332)"));
    EXPECT_EQ(PropOf("SYSTEMACCOUNT"), "<unset>");
    EXPECT_EQ(PropOf("SYSTEMDOMAIN"), "<unset>");
    EXPECT_EQ(PropOf("SYSTEMSERVER"), "QLSERVER");
}

// ---- GetExistDatabaseType --------------------------------------------------------------------
TEST_F(SetupInformationTest, TheExistingDatabaseType) {
    struct Case {
        DWORD value;
        const char *property;
    } const cases[] = {{0, "RAIMA"}, {1, "SQL"}, {2, "VLDB"}, {7, "before"}};
    for (const Case &c : cases) {
        Prop("EXISTDBTYPE", "before");
        m_->registry.SetDword(std::string(kBase) + "\\Database", "DatabaseType", c.value);
        EXPECT_EQ(GetExistDatabaseType(session_), 0u);
        EXPECT_EQ(PropOf("EXISTDBTYPE"), c.property) << c.value;
        EXPECT_EQ(ExistingDatabaseType, (int)c.value);
    }
    EXPECT_TRUE(m_->installer.log.empty());

    // A key without the value is a RAIMA database; no key at all is none.
    m_->registry.Delete(std::string(kBase) + "\\Database");
    m_->registry.Create(std::string(kBase) + "\\Database");
    EXPECT_EQ(GetDatabaseType(), 0);
    m_->registry.Delete(std::string(kBase) + "\\Database");
    Prop("EXISTDBTYPE", "before");
    GetExistDatabaseType(session_);
    EXPECT_EQ(ExistingDatabaseType, -1);
    EXPECT_EQ(PropOf("EXISTDBTYPE"), "before");

    // The former maker's key answers when the branded one is missing.
    m_->registry.SetDword("HKLM\\SOFTWARE\\Harnock\\Quillbak\\CurrentVersion\\Database", "DatabaseType", 1);
    EXPECT_EQ(GetDatabaseType(), 1);
    winsim::InjectFault("RegOpenKeyExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    EXPECT_EQ(GetDatabaseType(), -1);
}

TEST_F(SetupInformationTest, TheBrandingLibraryNamesTheBaseKey) {
    InstallBrandKit();
    SetBrandKitText(BRANDKIT_VALUE_REG_BASE, "SOFTWARE\\Other\\Base");
    m_->registry.SetDword("HKLM\\SOFTWARE\\Other\\Base\\Database", "DatabaseType", 2);
    m_->registry.SetDword(std::string(kBase) + "\\Database", "DatabaseType", 1);
    EXPECT_EQ(GetDatabaseType(), 2);
    SetBrandKitText(BRANDKIT_VALUE_REG_BASE, "");  // an empty answer means the default
    EXPECT_EQ(GetDatabaseType(), 1);
}

// ---- GetServiceAccount ----------------------------------------------------------------------
TEST_F(SetupInformationTest, TheServiceAccountFromTheBrandingLibrary) {
    char message[QL_MESSAGE_SIZE];
    Prologue();
    EXPECT_EQ(GetServiceAccount(message, sizeof message, session_), 1);  // nothing installed
    EXPECT_TRUE(m_->installer.log.empty());

    Installed(620);
    Prologue();
    EXPECT_EQ(GetServiceAccount(message, sizeof message, session_), 0);
    EXPECT_STREQ(message, "Failed to load D:\\SETUP\\BRANDKIT.DLL.");
    EXPECT_TRUE(Logged(" Failed to load D:\\SETUP\\BRANDKIT.DLL."));

    BrandKitAt("D:\\SETUP\\BRANDKIT.DLL");
    SetBrandKitNumber(BRANDKIT_VALUE_ACCOUNT_ERROR, ERROR_NONE_MAPPED);
    Prologue();
    EXPECT_EQ(GetServiceAccount(message, sizeof message, session_), 0);
    EXPECT_STREQ(message, "BktGetUserAccountA() in D:\\SETUP\\BRANDKIT.DLL Failed (Err = 1332)");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_GET_SERVER), "QLSERVER");

    SetBrandKitText(BRANDKIT_VALUE_ACCOUNT_NAME, "svcquillbak");
    SetBrandKitText(BRANDKIT_VALUE_ACCOUNT_DOMAIN, "CORP");
    SetBrandKitText(BRANDKIT_VALUE_ACCOUNT_PASSWORD, "pw");
    Prologue();
    EXPECT_NE(GetServiceAccount(message, sizeof message, session_), 0);
    EXPECT_STREQ(message, "");
    EXPECT_TRUE(Logged(" "));
    EXPECT_STREQ(g_Settings.SystemAccountName(), "svcquillbak");
    EXPECT_STREQ(g_Settings.SystemAccountDomain(), "CORP");
    EXPECT_STREQ(g_Settings.SystemAccountPassword(), "pw");
    EXPECT_EQ(GetModuleHandleA("D:\\SETUP\\BRANDKIT.DLL"), (HMODULE)NULL);
}

// ---- UninstallAlert ---------------------------------------------------------------------------
class AlertTest : public SetupInformationTest {
protected:
    void SetUp() override {
        SetupInformationTest::SetUp();
        for (const char *f : {"D:\\ALERT\\NOTIFY.EXE", "D:\\ALERT\\EVENTLOG\\E1.LOG", "D:\\ALERT\\LOG\\A.LOG",
                              "D:\\ALERTLOG\\KEEP.TXT", "D:\\ALERTEVENTLOG\\KEEP.TXT"})
            m_->PutFile(f, "x");
        m_->drives['D'].type = DRIVE_FIXED;
    }
    void Home(const char *home) { m_->registry.SetString(kAlertPath, "HOME", home); }
};

TEST_F(AlertTest, NoAlertComponentNothingToDo) {
    Prologue();
    EXPECT_EQ(UninstallAlert(session_), 1);
    EXPECT_TRUE(m_->installer.log.empty());
}

TEST_F(AlertTest, TheAntiVirusProductKeepsTheAlertFiles) {
    Home("D:\\ALERT");
    m_->PutFile("C:\\WINNT\\VAXGUARD.ALT", "x");
    InstallDouble("OPTSETUP", "D:\\SETUP\\ALERTSET.DLL");
    EXPECT_EQ(GetSetupInformation(session_), 0u);
    EXPECT_EQ(PropOf("INSTALLALERT"), "0");
    EXPECT_TRUE(Logged("UninstallAlert - D:\\ALERT"));
    EXPECT_TRUE(Logged(" - Alert is used by other products and cannot be removed"));
    EXPECT_TRUE(m_->Exists("D:\\ALERT\\EVENTLOG\\E1.LOG"));
    EXPECT_EQ(m_->environment.count("OPTSETUP_CALLS"), 0u);
}

TEST_F(AlertTest, ASetupLibraryThatCannotBeLoadedKeepsTheAlert) {
    Home("D:\\ALERT");
    Prologue();
    EXPECT_EQ(UninstallAlert(session_), 0);
    EXPECT_TRUE(Logged("- Cannot load D:\\SETUP\\ALERTSET.DLL"));
    EXPECT_TRUE(m_->Exists("D:\\ALERT\\NOTIFY.EXE"));
}

TEST_F(AlertTest, AFailedUninstallLogsItsCode) {
    Home("D:\\ALERT");
    InstallDouble("OPTSETUP", "D:\\SETUP\\ALERTSET.DLL");
    m_->environment["OPTSETUP_RESULT"] = "1603";
    Prologue();
    EXPECT_EQ(UninstallAlert(session_), 0);
    EXPECT_TRUE(Logged("- Cannot uninstall Alert. [EC: 1603]"));
    EXPECT_TRUE(m_->Exists("D:\\ALERT\\NOTIFY.EXE"));
    EXPECT_EQ(GetModuleHandleA("D:\\SETUP\\ALERTSET.DLL"), (HMODULE)NULL);
}

// The folders below the home are joined with one backslash, whatever the
// registry holds; folders beside it whose names begin alike stay.
TEST_F(AlertTest, TheAlertFoldersGoAndTheirNeighboursStay) {
    for (const char *home : {"D:\\ALERT", "D:\\ALERT\\"}) {
        for (const char *f : {"D:\\ALERT\\NOTIFY.EXE", "D:\\ALERT\\EVENTLOG\\E1.LOG", "D:\\ALERT\\LOG\\A.LOG"})
            m_->PutFile(f, "x");
        Home(home);
        InstallDouble("OPTSETUP", "D:\\SETUP\\ALERTSET.DLL");
        Prologue();
        EXPECT_EQ(UninstallAlert(session_), 1) << home;
        EXPECT_EQ(m_->environment["OPTSETUP_CALLS"].find("GetInstallPath(260); UnInstall"), 0u)
            << m_->environment["OPTSETUP_CALLS"];
        EXPECT_TRUE(Logged(std::string("- Remove Alert files from ") + home)) << home;
        EXPECT_FALSE(m_->Exists("D:\\ALERT")) << home;
        EXPECT_TRUE(m_->Exists("D:\\ALERTLOG\\KEEP.TXT")) << home;
        EXPECT_TRUE(m_->Exists("D:\\ALERTEVENTLOG\\KEEP.TXT")) << home;
        m_->environment.erase("OPTSETUP_CALLS");
    }
    // A drive's root as the home: its own folders go, the drive stays.
    m_->PutFile("D:\\LOG\\A.LOG", "x");
    Home("D:\\");
    InstallDouble("OPTSETUP", "D:\\SETUP\\ALERTSET.DLL");
    Prologue();
    EXPECT_EQ(UninstallAlert(session_), 1);
    EXPECT_FALSE(m_->Exists("D:\\LOG"));
    EXPECT_TRUE(m_->Exists("D:\\ALERTLOG\\KEEP.TXT"));
    EXPECT_TRUE(m_->Exists("D:\\SETUP\\QLBSETUP.INF"));

    // GetSetupInformation then leaves the alert choice alone.
    Home("D:\\ALERT");
    m_->MakeDirs("D:\\ALERT");
    EXPECT_EQ(GetSetupInformation(session_), 0u);
    EXPECT_EQ(PropOf("INSTALLALERT"), "<unset>");
}

}  // namespace
