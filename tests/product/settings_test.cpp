// The settings model: construction, setters and their side rules, derived
// values, and the steps of Initialize that work from the machine.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <cstring>
#include <string>

#include "doubles.h"
#include "settings/Settings.h"

namespace {

tagSETUP_INFO Record(const char *productName = "", long productType = 24) {
    tagSETUP_INFO info;
    memset(&info, 0, sizeof info);
    CopyToField(info.szProductName, productName);
    info.lProductType = productType;
    return info;
}

TEST(SettingsPaths, TrimAndAppendBackSlash) {
    struct Case {
        const char *in;
        const char *trimmed;
        const char *appended;
    } cases[] = {
        {"C:\\QB\\\\\\", "C:\\QB", "C:\\QB\\"}, {"C:\\QB", "C:\\QB", "C:\\QB\\"}, {"\\", "", ""},
        {"\\\\\\", "", ""},                     {"", "", ""},                     {"C:\\", "C:", "C:\\"},
    };
    for (auto &c : cases) {
        CString a(c.in), b(c.in);
        EXPECT_EQ(TrimTailBackSlash(a), (int)strlen(c.trimmed)) << c.in;
        EXPECT_STREQ((LPCSTR)a, c.trimmed) << c.in;
        EXPECT_EQ(AppendBackSlash(b), (int)strlen(c.appended)) << c.in;
        EXPECT_STREQ((LPCSTR)b, c.appended) << c.in;
    }
}

TEST(SettingsPaths, DoubleByteTrailByteIsNotABackslash) {
    winsim::LocalMachine().codePage = 932;
    // 0x95 0x5C is one character whose second byte is a backslash.
    CString s("C:\\\x95\\");
    EXPECT_EQ(TrimTailBackSlash(s), 5);
    EXPECT_EQ(AppendBackSlash(s), 6);
    EXPECT_STREQ((LPCSTR)s, "C:\\\x95\\\\");
}

TEST(SettingsConstruction, DefaultsAndRecordFields) {
    CSettings d;
    EXPECT_EQ(d.InstallDBType(), 2ul);
    EXPECT_TRUE(d.InstallRAIMA());
    EXPECT_FALSE(d.InstallSQL());
    EXPECT_EQ(d.ProductType(), 0);
    EXPECT_EQ(d.ProductSubType(), 0);
    EXPECT_STREQ(d.QuillbakPath(), "");
    EXPECT_TRUE(d.ExpressSetup());

    tagSETUP_INFO info = Record("Quillbak 2000 - Enterprise Edition");
    CopyToField(info.szSourcePath, "D:\\SETUP\\");
    CopyToField(info.szBatchFile, "D:\\SETUP\\QUILLBAK.ICF");
    CopyToField(info.szLogFile, "C:\\TEMP\\\\QLBSETUP.LOG");
    CopyToField(info.szProgramGroup, "Quillbak");
    info.bBatchOperation = TRUE;
    info.bCopyOnlyMode = TRUE;
    CSettings s(&info, 1);
    EXPECT_EQ(s.Uninstall(), 1);
    EXPECT_STREQ(s.ProductShortName(), "Quillbak 2000");
    EXPECT_STREQ(s.EditionName(), "Enterprise Edition");
    EXPECT_STREQ(s.SourcePath(), "D:\\SETUP\\");
    EXPECT_STREQ(s.BatchFile(), "D:\\SETUP\\QUILLBAK.ICF");
    EXPECT_STREQ(s.LogFile(), "C:\\TEMP\\\\QLBSETUP.LOG");
    EXPECT_STREQ(s.ProgramGroupName(), "Quillbak");
    EXPECT_EQ(s.ProductType(), 24);
    EXPECT_EQ(s.BatchOperation(), TRUE);
    EXPECT_EQ(s.IsCopyOnlyMode(), TRUE);
    EXPECT_EQ(s.RemoteSetup(), 0);
}

TEST(SettingsConstruction, NameSplitAtTheFirstSeparator) {
    struct Case {
        const char *name, *shortName, *edition;
    } cases[] = {
        {"Quillbak 2000 - Lite", "Quillbak 2000", "Lite"},
        {"A - B - C", "A", "B - C"},
        {"Quillbak 2000", "Quillbak 2000", ""},
        {"A-B", "A-B", ""},
        {"", "", ""},
    };
    for (auto &c : cases) {
        tagSETUP_INFO info = Record(c.name);
        CSettings s(&info, 0);
        EXPECT_STREQ(s.ProductShortName(), c.shortName) << c.name;
        EXPECT_STREQ(s.EditionName(), c.edition) << c.name;
    }
}

TEST(SettingsConstruction, UnterminatedFieldsAreReadWithinTheirCapacity) {
    tagSETUP_INFO info;
    memset(&info, 'x', sizeof info);
    info.lProductType = 24;
    CSettings s(&info, 0);
    EXPECT_EQ(strlen(s.ProductName()), 256u);
    EXPECT_EQ(strlen(s.SourcePath()), 261u);
    EXPECT_EQ(strlen(s.LogFile()), 261u);
}

TEST(SettingsConstruction, CopyAndAssignmentCopyEverything) {
    tagSETUP_INFO info = Record("P - E");
    CSettings a(&info, 0);
    a.QuillbakPath("C:\\QB");
    a.InstallSQL(TRUE);
    a.InstallServer(TRUE);
    a.Abort();
    CSettings b(a);
    CSettings c;
    c = a;
    for (const CSettings *s : {&b, &c}) {
        EXPECT_STREQ(s->QuillbakPath(), "C:\\QB\\");
        EXPECT_TRUE(s->InstallSQL());
        EXPECT_TRUE(s->InstallAdmin());
        EXPECT_TRUE(s->Aborted());
        EXPECT_STREQ(s->EditionName(), "E");
    }
}

}  // namespace

// Reaches every field, so that copying can be checked field by field.
#define QL_SETTINGS_FIELDS(X)                                                                               \
    X(m_bUninstall, 1) X(m_strProfile, "prof") X(m_strTraceFile, "trace") X(m_strSourcePath, "D:\\S\\")      \
    X(m_strBatchFile, "b.icf") X(m_strMIFFile, "m.mif") X(m_bMIF, 2) X(m_bBatchOperation, 3) X(m_bIgnoreErrors, 4) \
    X(m_bTrace, 5) X(m_strLogFile, "l.log") X(m_bRemoteSetup, 6) X(m_strRemoteHostServer, "CON")               \
    X(m_bCustomSetup, 7) X(m_bAborted, 8) X(m_strProgramGroupName, "grp") X(m_bConfigurationOnly, 9)           \
    X(m_bReboot, 10) X(m_strProductName, "P - E") X(m_strProductShortName, "P") X(m_strEditionName, "E")       \
    X(m_strProduct, "prod") X(m_strComponentCode, "CC") X(m_bIsUpgrade, 11) X(m_strRegisteredUser, "user")     \
    X(m_strRegisteredCompany, "co") X(m_bQuillbakExists, 12) X(m_bAlertExists, 13) X(m_bNewAlertExists, 14)    \
    X(m_bVaxwallExists, 15) X(m_bClientAgentExists, 16) X(m_strCurrentQuillbakPath, "cq")                      \
    X(m_strCurrentAlertPath, "ca") X(m_strCurrentClientAgentPath, "cc") X(m_strQuillbakPath, "q")              \
    X(m_strAlertPath, "a") X(m_strClientAgentPath, "c") X(m_strSystemAccountServer, "srv")                     \
    X(m_strSystemAccountDomain, "dom") X(m_strSystemAccountName, "acct") X(m_strSystemAccountPassword, "pw")   \
    X(m_dwComponents, 17u) X(m_bHSMAvailable, 18) X(m_bPNRFWAvailable, 19) X(m_strPNRFWSetupFileName, "pnr")   \
    X(m_strLaunchSetupProductName, "lp") X(m_strLaunchSetupFileName, "lf") X(m_bReplaceAlert, 20)              \
    X(m_lProductType, 21L) X(m_nProductSubType, 22) X(m_bRAIDAvailable, 23) X(m_bChangerAvailable, 24)         \
    X(m_dwDatabases, 25u) X(m_bOverwriteDB, 26) X(m_bDBExists, 27) X(m_bDeleteQueue, 28) X(m_bQueueExists, 29) \
    X(m_bAutoStartServices, 30) X(m_bIsCopyOnlyMode, 31) X(m_dwInstallDBType, 32ul)

struct CSettingsTestAccess {
    static void Fill(CSettings &s) {
#define QL_FILL(field, value) s.field = value;
        QL_SETTINGS_FIELDS(QL_FILL)
#undef QL_FILL
    }
    static void ExpectSame(const CSettings &a, const CSettings &b) {
#define QL_SAME(field, value) EXPECT_EQ(Text(a.field), Text(b.field)) << #field;
        QL_SETTINGS_FIELDS(QL_SAME)
#undef QL_SAME
    }
    static void SetCurrentQuillbakPath(CSettings &s, LPCSTR path) {
        s.m_strCurrentQuillbakPath = path;
        s.m_bQuillbakExists = 1;
    }
    static std::string Text(const CString &v) { return (LPCSTR)v; }
    template <class T>
    static std::string Text(T v) {
        return std::to_string(v);
    }
};

namespace {

TEST(SettingsConstruction, CopyAndAssignmentCopyEveryField) {
    CSettings a;
    CSettingsTestAccess::Fill(a);
    CSettings b(a);
    CSettingsTestAccess::ExpectSame(a, b);
    CSettings c;
    c = a;
    CSettingsTestAccess::ExpectSame(a, c);
    c = c;  // self-assignment keeps everything
    CSettingsTestAccess::ExpectSame(a, c);
}

TEST(SettingsSetters, PathsEndInOneBackslash) {
    CSettings s;
    s.QuillbakPath("C:\\QB\\\\\\");
    EXPECT_STREQ(s.QuillbakPath(), "C:\\QB\\");
    s.AlertPath("");
    EXPECT_STREQ(s.AlertPath(), "");
    s.ClientAgentPath("\\");
    EXPECT_STREQ(s.ClientAgentPath(), "");
    s.QuillbakPath(NULL);
    EXPECT_STREQ(s.QuillbakPath(), "");
}

TEST(SettingsSetters, ComponentSideRules) {
    CSettings s;
    s.InstallServer(TRUE);
    EXPECT_TRUE(s.InstallServer());
    EXPECT_TRUE(s.InstallAdmin());
    s.InstallServer(FALSE);
    EXPECT_FALSE(s.InstallServer());
    EXPECT_TRUE(s.InstallAdmin());

    s.InstallHSM(TRUE);  // not available
    EXPECT_FALSE(s.InstallHSM());
    EXPECT_FALSE(s.InstallManager());

    s.UninstallQuillbak(TRUE);
    EXPECT_TRUE(s.UninstallQuillbak());
    s.InstallManager(FALSE);
    EXPECT_FALSE(s.UninstallQuillbak());
    EXPECT_TRUE(s.InstallQuillbak());
    s.UninstallQuillbak(FALSE);
    EXPECT_FALSE(s.InstallQuillbak());

    s.UninstallAlert(TRUE);
    EXPECT_TRUE(s.InstallAlert());
    s.UninstallSQL(TRUE);
    EXPECT_TRUE(s.InstallSQL());
    EXPECT_TRUE(s.UninstallSQL());
    s.InstallRAIMA(FALSE);
    EXPECT_FALSE(s.InstallRAIMA());
}

TEST(SettingsSetters, OptionalComponentsNeedAvailability) {
    // Availability comes from the setup information file during Initialize;
    // an express selection honours it.
    tagSETUP_INFO info = Record();
    info.bBatchOperation = TRUE;
    CSettings batch(&info, 0);
    batch.InstallPNR(TRUE);
    EXPECT_FALSE(batch.InstallPNR());
    batch.CustomSetup(0);
    EXPECT_TRUE(batch.InstallManager());
    EXPECT_TRUE(batch.InstallServer());
    EXPECT_TRUE(batch.InstallAdmin());
    EXPECT_TRUE(batch.InstallAlert());
    EXPECT_FALSE(batch.InstallHSM());
    EXPECT_FALSE(batch.InstallPNR());
    EXPECT_TRUE(batch.ExpressSetup());
    batch.CustomSetup(1);
    EXPECT_FALSE(batch.ExpressSetup());
}

TEST(SettingsDerived, DiskSpaceNeeded) {
    CSettings s;
    EXPECT_EQ(s.DiskSpaceNeeded(), 0ul);
    s.InstallAlert(TRUE);
    EXPECT_EQ(s.DiskSpaceNeeded(), 9800ul + 2000ul);
    s.InstallManager(TRUE);
    s.InstallServer(TRUE);
    EXPECT_EQ(s.DiskSpaceNeeded(), 22800ul + 12300ul + 700ul + 2000ul);
    s.InstallAlert(FALSE);
    s.InstallManager(FALSE);
    s.InstallAdmin(FALSE);
    EXPECT_EQ(s.DiskSpaceNeeded(), 9800ul + 12300ul);
}

TEST(SettingsDerived, NewInstallComparesPathsExactly) {
    CSettings s;
    EXPECT_TRUE(s.NewQuillbakInstall());
    EXPECT_TRUE(s.NewAlertInstall());
    s.QuillbakPath("C:\\Program Files\\QB");
    CSettingsTestAccess::SetCurrentQuillbakPath(s, "C:\\Program Files\\QB\\");
    EXPECT_FALSE(s.NewQuillbakInstall());
    // Letter case counts: a home that differs only in case is a new one.
    CSettingsTestAccess::SetCurrentQuillbakPath(s, "C:\\PROGRAM FILES\\QB\\");
    EXPECT_TRUE(s.NewQuillbakInstall());
}

// ---- Initialize --------------------------------------------------------------------
class SettingsInit : public ::testing::Test {
protected:
    CSettings Run(long productType = 24, int uninstall = 0) {
        tagSETUP_INFO info = Record("Quillbak 2000", productType);
        CSettings s(&info, uninstall);
        s.Initialize();
        return s;
    }
};

TEST_F(SettingsInit, ProductMapNameAndComponentCodeFromTheProductMapLibrary) {
    InstallDouble("HarnProd", "C:\\WINNT\\system32\\HarnProd.dll");
    CSettings s = Run(24);
    EXPECT_STREQ(s.Product(), "Quillbak");
    // No setup information file: sub-type -1.
    EXPECT_EQ(s.ProductSubType(), -1);
    EXPECT_STREQ(s.ComponentCode(), "QB24_-1");
    CSettings agent = Run(36);
    EXPECT_STREQ(agent.Product(), "NTAgent");
    CSettings longName = Run(99);
    EXPECT_STREQ(longName.Product(), "AVeryLongProductCodeNam");  // 23 characters
    EXPECT_EQ(GetModuleHandleA("HarnProd.dll"), nullptr);  // unloaded again
}

TEST_F(SettingsInit, WithoutTheProductMapLibraryTheNamesStayEmpty) {
    CSettings s = Run(24);
    EXPECT_STREQ(s.Product(), "");
    EXPECT_STREQ(s.ComponentCode(), "");
}

TEST_F(SettingsInit, BaseProductDefaults) {
    CSettings s = Run(24);
    EXPECT_STREQ(s.QuillbakPath(), "C:\\Program Files\\");
    EXPECT_STREQ(s.AlertPath(), "C:\\Program Files\\ALERT\\");
    EXPECT_STREQ(s.SystemAccountServer(), "QLSERVER");
    EXPECT_TRUE(s.InstallManager());
    EXPECT_TRUE(s.InstallServer());
    EXPECT_TRUE(s.InstallAdmin());
    EXPECT_TRUE(s.InstallAlert());
    EXPECT_FALSE(s.QuillbakExists());
    EXPECT_TRUE(s.NewQuillbakInstall());
}

TEST_F(SettingsInit, AccountDefaultsAreTheUserRunningSetup) {
    winsim::Machine &m = winsim::LocalMachine();
    m.domain = "CORP";
    m.domainSid = "S-1-5-21-2025429265-507921405-1417001333";
    m.AddAccount("setupadmin", SidTypeUser, "CORP");
    m.userName = "setupadmin";
    CSettings s = Run(24);
    EXPECT_STREQ(s.SystemAccountServer(), "QLSERVER");
    EXPECT_STREQ(s.SystemAccountDomain(), "CORP");
    EXPECT_STREQ(s.SystemAccountName(), "setupadmin");
    EXPECT_STREQ(s.SystemAccountPassword(), "");
    // Only the base product takes them.
    CSettings agent = Run(36);
    EXPECT_STREQ(agent.SystemAccountName(), "");
}

TEST_F(SettingsInit, ProgramFilesRootFallsBackToTheFirstHardDrive) {
    winsim::Machine &m = winsim::LocalMachine();
    m.registry.Find("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion")->DeleteValue("ProgramFilesDir");
    m.drives.erase('C');
    m.AddDrive('A', DRIVE_REMOVABLE);
    m.AddDrive('D', DRIVE_CDROM);
    m.AddDrive('E', DRIVE_FIXED);
    CSettings s = Run(24);
    EXPECT_STREQ(s.QuillbakPath(), "E:\\");
    EXPECT_STREQ(s.AlertPath(), "E:\\ALERT\\");
    CSettings agent = Run(36);
    EXPECT_STREQ(agent.ClientAgentPath(), "E:\\AGENT\\");
}

TEST_F(SettingsInit, ClientAgentDefault) {
    CSettings s = Run(62);
    EXPECT_STREQ(s.ClientAgentPath(), "C:\\Program Files\\AGENT\\");
    EXPECT_STREQ(s.QuillbakPath(), "");
    EXPECT_FALSE(s.InstallServer());
}

TEST_F(SettingsInit, UninstallSelectsTheProductForRemovalAndStops) {
    CSettings s = Run(24, 1);
    EXPECT_TRUE(s.UninstallQuillbak());
    EXPECT_TRUE(s.UninstallAlert());
    EXPECT_FALSE(s.UninstallSQL());
    EXPECT_STREQ(s.QuillbakPath(), "");  // the install-run defaults are not reached
}

TEST_F(SettingsInit, UninstallSelectionClearsAnSqlDatabaseChoice) {
    tagSETUP_INFO info = Record("Quillbak 2000", 24);
    CSettings s(&info, 1);
    s.UninstallSQL(TRUE);
    s.Initialize();
    EXPECT_FALSE(s.UninstallSQL());
    EXPECT_TRUE(s.InstallRAIMA());
    // Other products keep what they were given.
    tagSETUP_INFO agentInfo = Record("Agent", 36);
    CSettings agent(&agentInfo, 1);
    agent.UninstallSQL(TRUE);
    agent.Initialize();
    EXPECT_TRUE(agent.UninstallSQL());
}

TEST_F(SettingsInit, ProgramFilesRootUsesTheWholeBuffer) {
    // 259 characters and the NUL fill the 260-byte buffer exactly.
    std::string root = "C:\\" + std::string(256, 'P');
    ASSERT_EQ(root.size(), 259u);
    winsim::LocalMachine().registry.Find("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion")
        ->SetValue("ProgramFilesDir", REG_SZ, root.c_str(), root.size() + 1);
    CSettings s = Run(24);
    EXPECT_EQ(std::string(s.QuillbakPath()), root + "\\");
    // One more does not fit: the first hard drive stands in.
    std::string longer = root + "Q";
    winsim::LocalMachine().registry.Find("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion")
        ->SetValue("ProgramFilesDir", REG_SZ, longer.c_str(), longer.size() + 1);
    CSettings t = Run(24);
    EXPECT_STREQ(t.QuillbakPath(), "C:\\");
}

TEST_F(SettingsInit, HostIniMakesTheRunRemoteAndIsDeleted) {
    winsim::Machine &m = winsim::LocalMachine();
    m.PutFile("C:\\WINNT\\HOST.INI", "[HostServer]\r\nName=CONSOLE1\r\n");
    CSettings s = Run(24);
    EXPECT_TRUE(s.RemoteSetup());
    EXPECT_STREQ(s.RemoteHostServer(), "CONSOLE1");
    EXPECT_FALSE(m.Exists("C:\\WINNT\\HOST.INI"));

    m.PutFile("C:\\WINNT\\HOST.INI", "[HostServer]\r\nName=A-NAME-LONGER-THAN-FIFTEEN\r\n");
    CSettings cut = Run(24);
    EXPECT_STREQ(cut.RemoteHostServer(), "A-NAME-LONGER-T");

    m.PutFile("C:\\WINNT\\HOST.INI", "[Other]\r\n");
    CSettings unnamed = Run(24);
    EXPECT_TRUE(unnamed.RemoteSetup());
    EXPECT_STREQ(unnamed.RemoteHostServer(), "");
    EXPECT_FALSE(m.Exists("C:\\WINNT\\HOST.INI"));

    CSettings local = Run(24);
    EXPECT_FALSE(local.RemoteSetup());
}

TEST(SettingsAlert, CarriedBuildComesFromTheAlertVersionLibrary) {
    EXPECT_EQ(CarriedAlertBuildNumber(), 0ul);  // no library
    InstallDouble("NOTIFVER", "C:\\WINNT\\system32\\NOTIFVER.DLL");
    EXPECT_EQ(CarriedAlertBuildNumber(), 412ul);
    winsim::LocalMachine().environment["NOTIFVER_BUILD"] = "1010";
    EXPECT_EQ(CarriedAlertBuildNumber(), 1010ul);
    winsim::LocalMachine().environment["NOTIFVER_BUILD"] = "none";
    EXPECT_EQ(CarriedAlertBuildNumber(), 0ul);
}

TEST(SettingsAlert, CarriedBuildIsTheLibraryBesideTheRunningProgram) {
    winsim::Machine &m = winsim::LocalMachine();
    m.AddDrive('D', DRIVE_CDROM);
    m.modulePath = "D:\\SETUP\\SETUP.EXE";
    InstallDouble("NOTIFVER", "D:\\SETUP\\NOTIFVER.DLL");
    // Another module of the same name is already loaded: a load by bare
    // name would get it instead of the setup's own library.
    InstallDouble("TESTMOD", "C:\\OTHER\\NOTIFVER.DLL");
    HMODULE other = LoadLibraryA("C:\\OTHER\\NOTIFVER.DLL");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(CarriedAlertBuildNumber(), 412ul);
    FreeLibrary(other);
}

}  // namespace

namespace {

TEST_F(SettingsInit, RemoteSwitchOnTheCommandLine) {
    winsim::Machine &m = winsim::LocalMachine();
    m.PutFile("C:\\WINNT\\HOST.INI", "[HostServer]\r\nName=FROMFILE\r\n");
    m.commandLine = "C:\\WINNT\\system32\\msiexec.exe /i quillbak.msi -rCONSOLE2";
    CSettings s = Run(24);
    EXPECT_TRUE(s.RemoteSetup());
    EXPECT_STREQ(s.RemoteHostServer(), "CONSOLE2");
    EXPECT_TRUE(m.Exists("C:\\WINNT\\HOST.INI"));  // left in place

    m.commandLine = "setup.exe -r CONSOLE3";
    CSettings blank = Run(24);
    EXPECT_TRUE(blank.RemoteSetup());
    EXPECT_STREQ(blank.RemoteHostServer(), "");

    m.commandLine = "setup.exe -R:CONSOLE4";  // switch names keep their case
    CSettings upper = Run(24);
    EXPECT_STREQ(upper.RemoteHostServer(), "FROMFILE");
    EXPECT_FALSE(m.Exists("C:\\WINNT\\HOST.INI"));
}

}  // namespace

// ---- Initialize with the setup information and configuration files ---------
namespace {

const char kSetupDir[] = "D:\\SETUP\\";
const char kSetupInf[] = "D:\\SETUP\\QLBSETUP.INF";
const char kIcf[] = "D:\\SETUP\\QUILLBAK.ICF";

class SettingsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_ = &winsim::LocalMachine();
        m_->AddDrive('D', DRIVE_CDROM);
        m_->MakeDirs("D:\\SETUP");
    }
    // The record the custom actions build: the setup directory, the
    // configuration file in it, and the log.
    CSettings Run(long productType = 24, int batch = 0, int copyOnly = 0, int uninstall = 0,
                  const char *sourcePath = kSetupDir) {
        tagSETUP_INFO info = Record("Quillbak 2000", productType);
        CopyToField(info.szSourcePath, sourcePath);
        CopyToField(info.szBatchFile, kIcf);
        CopyToField(info.szLogFile, "C:\\TEMP\\\\QLBSETUP.LOG");
        info.bBatchOperation = batch;
        info.bCopyOnlyMode = copyOnly;
        CSettings s(&info, uninstall);
        s.Initialize();
        return s;
    }
    winsim::Machine *m_ = nullptr;
};

const char kFullIcf[] =
    "[UserInfo]\r\nFullName=Pat Doe\r\nCompanyName=Doe Backup Ltd\r\n"
    "[InstallPath]\r\nQuillbakPath=E:\\Apps\\QB2000\\\r\nAlertPath=E:\\Tools\\Alerts\r\n"
    "[SystemAccount]\r\nDefaultDomainName=CORP\r\nDefaultUserName=qlsvc\r\nDefaultPassword=s3cret\r\n"
    "[Install]\r\nQLBManager=0\r\nQLBServer=1\r\nQLBServerAdmin=0\r\nAlert=0\r\nDataMigration=1\r\n"
    "OverwriteDB=1\r\nOverwriteJobQueue=1\r\n"
    "[DatabaseOption]\r\nSQL=1\r\n";

TEST_F(SettingsFiles, EditionAndOptionsFromTheSetupInformationFile) {
    m_->PutFile(kSetupInf,
                "[Setup]\r\nProdSubType=1\r\n[Components]\r\nDataMigration=1\r\nPNRFrameWork=1\r\n"
                "PNRFrameWorkSetupFileName=PNR\\SETUP.EXE\r\n"
                "[Support]\r\nProductName=Vaxwall 2000\r\nSetupFileName=VAXWALL\\SETUP.EXE\r\n");
    InstallDouble("HarnProd", "C:\\WINNT\\system32\\HarnProd.dll");
    CSettings s = Run();
    EXPECT_EQ(s.ProductSubType(), 1);
    EXPECT_STREQ(s.ComponentCode(), "QB24_1");
    EXPECT_EQ(s.HSMAvailable(), 1);
    EXPECT_EQ(s.PNRFWAvailable(), 1);
    EXPECT_STREQ(s.PNRFWSetupFileName(), "PNR\\SETUP.EXE");
    EXPECT_STREQ(s.LaunchSetupProductName(), "Vaxwall 2000");
    EXPECT_STREQ(s.LaunchSetupFileName(), "VAXWALL\\SETUP.EXE");
    EXPECT_EQ(s.ChangerAvailable(), 1);
    EXPECT_EQ(s.RAIDAvailable(), 1);
    // The express selection takes the optional parts the medium carries.
    EXPECT_TRUE(s.InstallHSM());
    EXPECT_TRUE(s.InstallPNR());
    EXPECT_TRUE(s.InstallManager());
    EXPECT_TRUE(s.ExpressSetup());
    // Looking for the file made the setup directory the current one.
    char cwd[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof cwd, cwd);
    EXPECT_STREQ(cwd, "D:\\SETUP");
}

TEST_F(SettingsFiles, BatchRunNeverSelectsTheFrameworkIntegration) {
    m_->PutFile(kSetupInf, "[Components]\r\nPNRFrameWork=1\r\n");
    EXPECT_TRUE(Run().InstallPNR());  // an interactive express run takes it
    // A batch run without a configuration file: the express selection
    // must not take it either.
    CSettings batch = Run(24, 1);
    EXPECT_EQ(batch.PNRFWAvailable(), 1);
    EXPECT_FALSE(batch.InstallPNR());
    // A configuration file cannot ask for it.
    m_->PutFile(kIcf, "[Install]\r\nInstallPNR=1\r\nPNRFrameWork=1\r\n");
    EXPECT_FALSE(Run(24, 1).InstallPNR());
}

TEST_F(SettingsFiles, EditionRulesBySubType) {
    struct Case {
        const char *subType;  // nullptr: no key
        int expectedSubType, hsm, changer, raid;
    } cases[] = {
        {"0", 0, 0, 0, 0}, {"1", 1, 1, 1, 1}, {"2", 2, 1, 1, 1},   {"3", 3, 0, 1, 0},
        {"4", 4, 0, 1, 0}, {"5", -1, 1, 0, 0}, {nullptr, -1, 1, 0, 0},
    };
    for (auto &c : cases) {
        std::string text = "[Components]\r\nDataMigration=1\r\n";
        if (c.subType) text += std::string("[Setup]\r\nProdSubType=") + c.subType + "\r\n";
        m_->PutFile(kSetupInf, text);
        CSettings s = Run();
        const char *label = c.subType ? c.subType : "(none)";
        EXPECT_EQ(s.ProductSubType(), c.expectedSubType) << label;
        EXPECT_EQ(s.HSMAvailable(), c.hsm) << label;
        EXPECT_EQ(s.InstallHSM(), c.hsm) << label;
        EXPECT_EQ(s.ChangerAvailable(), c.changer) << label;
        EXPECT_EQ(s.RAIDAvailable(), c.raid) << label;
    }
}

TEST_F(SettingsFiles, WithoutASourcePathTheFileBesideTheProgramCounts) {
    m_->PutFile("C:\\WINNT\\system32\\QLBSETUP.INF", "[Setup]\r\nProdSubType=3\r\n");
    m_->PutFile(kSetupInf, "[Setup]\r\nProdSubType=1\r\n");
    EXPECT_EQ(Run(24, 0, 0, 0, "").ProductSubType(), 3);
    EXPECT_EQ(Run().ProductSubType(), 1);
}

TEST_F(SettingsFiles, OptionProductsReadTheSubTypeButNotTheOptions) {
    m_->PutFile(kSetupInf, "[Setup]\r\nProdSubType=2\r\n[Components]\r\nDataMigration=1\r\n"
                           "[Support]\r\nProductName=Vaxwall\r\n");
    CSettings s = Run(35);
    EXPECT_EQ(s.ProductSubType(), 2);
    EXPECT_EQ(s.HSMAvailable(), 0);
    EXPECT_EQ(s.ChangerAvailable(), 0);
    EXPECT_STREQ(s.LaunchSetupProductName(), "");
}

TEST_F(SettingsFiles, ConfigurationFoldersMoveBelowProgramFilesInAnInteractiveRun) {
    m_->PutFile(kIcf, kFullIcf);
    CSettings s = Run();
    EXPECT_STREQ(s.QuillbakPath(), "C:\\Program Files\\QB2000\\");
    EXPECT_STREQ(s.AlertPath(), "C:\\Program Files\\Alerts\\");
    // Nothing else of the file is taken.
    EXPECT_STREQ(s.RegisteredUser(), "Administrator");
    // The account stays the user running setup.
    EXPECT_STREQ(s.SystemAccountName(), "Administrator");
    EXPECT_TRUE(s.InstallManager());
    EXPECT_TRUE(s.InstallAlert());
    EXPECT_FALSE(s.InstallSQL());
    EXPECT_TRUE(s.InstallRAIMA());
    EXPECT_FALSE(s.OverwriteDB());
    EXPECT_TRUE(s.ExpressSetup());
}

TEST_F(SettingsFiles, ConfiguredFolderNamesWithoutABackslash) {
    // A bare name becomes a folder below the root; the file's alert default
    // "C:\ALERT" still gives "\ALERT".
    m_->PutFile(kIcf, "[InstallPath]\r\nQuillbakPath=QB\r\n");
    CSettings s = Run();
    EXPECT_STREQ(s.QuillbakPath(), "C:\\Program Files\\QB\\");
    EXPECT_STREQ(s.AlertPath(), "C:\\Program Files\\ALERT\\");

    // Values that name no folder (backslashes only, a drive) leave the
    // built-in defaults.
    m_->PutFile(kIcf, "[InstallPath]\r\nQuillbakPath=\\\\\r\nAlertPath=D:\\\r\n");
    CSettings t = Run();
    EXPECT_STREQ(t.QuillbakPath(), "C:\\Program Files\\");
    EXPECT_STREQ(t.AlertPath(), "C:\\Program Files\\ALERT\\");
}

TEST_F(SettingsFiles, BatchRunTakesEverythingFromTheConfigurationFile) {
    m_->PutFile(kIcf, kFullIcf);
    m_->PutFile(kSetupInf, "[Components]\r\nDataMigration=1\r\nPNRFrameWork=1\r\n");
    CSettings s = Run(24, 1);
    EXPECT_STREQ(s.QuillbakPath(), "E:\\Apps\\QB2000\\");
    EXPECT_STREQ(s.AlertPath(), "E:\\Tools\\Alerts\\");
    EXPECT_STREQ(s.RegisteredUser(), "Pat Doe");
    EXPECT_STREQ(s.RegisteredCompany(), "Doe Backup Ltd");
    EXPECT_STREQ(s.SystemAccountServer(), "QLSERVER");
    EXPECT_STREQ(s.SystemAccountDomain(), "CORP");
    EXPECT_STREQ(s.SystemAccountName(), "qlsvc");
    EXPECT_STREQ(s.SystemAccountPassword(), "s3cret");
    // Manager off, server on (which brings the admin tools), admin off
    // after it, alert off; HSM on (the medium carries it) and with it the
    // manager; the framework integration never in a batch run.
    EXPECT_TRUE(s.InstallManager());
    EXPECT_TRUE(s.InstallServer());
    EXPECT_FALSE(s.InstallAdmin());
    EXPECT_FALSE(s.InstallAlert());
    EXPECT_TRUE(s.InstallHSM());
    EXPECT_FALSE(s.InstallPNR());
    EXPECT_TRUE(s.InstallSQL());
    EXPECT_FALSE(s.InstallRAIMA());
    EXPECT_TRUE(s.OverwriteDB());
    EXPECT_TRUE(s.DeleteQueue());
    EXPECT_TRUE(s.CustomSetup());
}

TEST_F(SettingsFiles, BatchRunWithHsmNotOnTheMedium) {
    m_->PutFile(kIcf, kFullIcf);
    CSettings s = Run(24, 1);
    EXPECT_FALSE(s.InstallHSM());
    EXPECT_FALSE(s.InstallManager());
}

TEST_F(SettingsFiles, BatchRunWithEmptyFolderValuesFallsBackToTheBuiltInDefaults) {
    // An empty value is taken as it is (the key's default is for an absent
    // key), and leaves the folder to the built-in default.
    m_->PutFile(kIcf, "[InstallPath]\r\nAlertPath=\r\n[UserInfo]\r\nFullName=Pat\r\n");
    CSettings s = Run(24, 1);
    EXPECT_STREQ(s.QuillbakPath(), "C:\\Program Files\\");
    EXPECT_STREQ(s.AlertPath(), "C:\\Program Files\\ALERT\\");
    EXPECT_STREQ(s.RegisteredUser(), "Pat");
    // Absent switches select everything but the database overwrite and SQL.
    EXPECT_TRUE(s.InstallManager());
    EXPECT_TRUE(s.InstallServer());
    EXPECT_TRUE(s.InstallAdmin());
    EXPECT_TRUE(s.InstallAlert());
    EXPECT_FALSE(s.InstallSQL());
    EXPECT_TRUE(s.InstallRAIMA());
    EXPECT_TRUE(s.CustomSetup());

    // An absent alert key gives the file's default folder, taken as it is.
    m_->PutFile(kIcf, "[UserInfo]\r\nFullName=Pat\r\n");
    EXPECT_STREQ(Run(24, 1).AlertPath(), "C:\\ALERT\\");
}

TEST_F(SettingsFiles, BatchRunWithoutTheFileKeepsTheExpressDefaults) {
    CSettings s = Run(24, 1);
    EXPECT_STREQ(s.QuillbakPath(), "C:\\Program Files\\");
    EXPECT_STREQ(s.AlertPath(), "C:\\Program Files\\ALERT\\");
    EXPECT_STREQ(s.RegisteredUser(), "Administrator");
    EXPECT_TRUE(s.ExpressSetup());
    EXPECT_TRUE(s.InstallAlert());
}

TEST_F(SettingsFiles, CopyOnlyModeIgnoresTheConfigurationFile) {
    m_->PutFile(kIcf, kFullIcf);
    for (int batch : {0, 1}) {
        CSettings s = Run(24, batch, 1);
        EXPECT_STREQ(s.QuillbakPath(), "C:\\Program Files\\") << batch;
        EXPECT_STREQ(s.AlertPath(), "C:\\Program Files\\ALERT\\") << batch;
        EXPECT_STREQ(s.RegisteredUser(), "Administrator") << batch;
        EXPECT_STREQ(s.SystemAccountDomain(), "QLSERVER") << batch;
        EXPECT_TRUE(s.InstallAlert()) << batch;
        EXPECT_FALSE(s.InstallSQL()) << batch;
        EXPECT_TRUE(s.ExpressSetup()) << batch;
    }
}

TEST_F(SettingsFiles, ConfigurationFileBesideTheProgramWhenTheBatchFileIsMissing) {
    m_->PutFile("C:\\WINNT\\system32\\QUILLBAK.ICF", "[UserInfo]\r\nFullName=From beside\r\n");
    CSettings s = Run(24, 1);
    EXPECT_STREQ(s.RegisteredUser(), "From beside");
}

TEST_F(SettingsFiles, ClientAgentFolderFromTheConfigurationFile) {
    m_->PutFile(kIcf, "[InstallPath]\r\nAgentPath=E:\\Agents\\NTAGENT\\\r\n");
    CSettings interactive = Run(36);
    EXPECT_STREQ(interactive.ClientAgentPath(), "C:\\Program Files\\NTAGENT\\");
    CSettings batch = Run(36, 1);
    EXPECT_STREQ(batch.ClientAgentPath(), "E:\\Agents\\NTAGENT\\");
    CSettings copyOnly = Run(36, 1, 1);
    EXPECT_STREQ(copyOnly.ClientAgentPath(), "C:\\Program Files\\AGENT\\");
    // No value on Windows NT: the built-in folder.
    m_->PutFile(kIcf, "[InstallPath]\r\n");
    CSettings none = Run(62, 1);
    EXPECT_STREQ(none.ClientAgentPath(), "C:\\Program Files\\AGENT\\");
    EXPECT_STREQ(none.QuillbakPath(), "");
}

TEST_F(SettingsFiles, UninstallBatchRunFollowsTheConfigurationFile) {
    m_->PutFile(kIcf, "[Uninstall]\r\nQLBServer=0\r\nAlert=1\r\n");
    CSettings s = Run(24, 1, 0, 1);
    EXPECT_FALSE(s.InstallManager());
    EXPECT_FALSE(s.InstallServer());
    EXPECT_FALSE(s.InstallAdmin());
    EXPECT_TRUE(s.UninstallAlert());
    EXPECT_FALSE(s.UninstallSQL());

    m_->PutFile(kIcf, "[Uninstall]\r\nQLBServer=1\r\nAlert=0\r\n");
    CSettings t = Run(24, 1, 0, 1);
    EXPECT_TRUE(t.UninstallQuillbak());
    EXPECT_FALSE(t.UninstallAlert());

    // An interactive removal does not ask the file.
    CSettings u = Run(24, 0, 0, 1);
    EXPECT_TRUE(u.UninstallQuillbak());
    EXPECT_TRUE(u.UninstallAlert());

    // Without a file the switches' defaults remove everything.
    DeleteFileA(kIcf);
    CSettings v = Run(24, 1, 0, 1);
    EXPECT_TRUE(v.UninstallQuillbak());
    EXPECT_TRUE(v.UninstallAlert());
}

TEST_F(SettingsFiles, UninstallRunDoesNotLookForTheSetupInformationFile) {
    m_->PutFile(kSetupInf, "[Setup]\r\nProdSubType=2\r\n");
    CSettings s = Run(24, 0, 0, 1);
    EXPECT_EQ(s.ProductSubType(), 0);
    char cwd[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof cwd, cwd);
    EXPECT_STREQ(cwd, "C:\\");
}

}  // namespace
