// PreInstall: the maintenance run, the removal of earlier versions and their
// options before an upgrade, the database folder moved aside, and the
// database conversion offer.
#include <gtest/gtest.h>

#include "action_fixture.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <winsim/machine.h>

#include "actions/PreInstall.h"
#include "registry/HarnRegistry.h"
#include "doubles.h"

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const char kBase[] = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Base";
const char kProducts[] = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Products";
const char kHome[] = "C:\\Program Files\\Quillbak";
const char kUninstallList[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char kComponentKey[] =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Components\\7AD85B5DA8EF3D11099B000A42D52F46";
const char kPackedProduct[] = "4D80F6B32E5F3D11092B000A42D52F46";
const char kPrograms[] = "C:\\Documents and Settings\\Administrator\\Start Menu\\Programs";

tagProductStruct Record(DWORD code, DWORD build, WORD version = 0x0700, BYTE subType = 1) {
    tagProductStruct r;
    memset(&r, 0, sizeof r);
    r.dwProductCode = code;
    r.dwComponents = 15;
    r.dwVersion = (build << 16) | version;
    r.bySubType = subType;
    DWORD crc = CHarnRegistry::ProductRecordCrc(&r);
    memcpy(reinterpret_cast<BYTE *>(&r) + 29, &crc, sizeof crc);
    return r;
}

class PreInstallTest : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        m_->AddDrive('D', DRIVE_CDROM);
        m_->PutFile("D:\\SETUP\\QLBSETUP.INF", "[Setup]\r\nProdSubType=1\r\n[BuildNumber]\r\nQLNT=600,650\r\n");
        Prop("SETUPDIR", "D:\\SETUP\\");
        Prop("INSTALLDIR", std::string(kHome) + "\\");
    }

    // The settings a step called on its own works with, as the action's
    // prologue builds them.
    void BuildSettings() {
        tagSETUP_INFO info;
        SetSetupInfo(session_, &info, 0);
        g_Settings.Initialize();
    }
    std::vector<std::string> Errors() {
        std::vector<std::string> lines;
        for (auto &e : m_->installer.log)
            if (e.kind == INSTALLMESSAGE_ERROR) lines.push_back(e.text);
        return lines;
    }
    // An installed product at `home` with its record (none when code is 0).
    void Installed(DWORD code, DWORD build, const std::string &home = kHome, WORD version = 0x0700,
                   BYTE subType = 1) {
        m_->registry.SetString(std::string(kBase) + "\\Path", "HOME", home);
        if (home.size() > 3) m_->MakeDirs(home);
        if (code) {
            tagProductStruct r = Record(code, build, version, subType);
            m_->registry.Set(kProducts, "Quillbak", REG_BINARY, &r, sizeof r);
        }
    }
    void Option(const char *name, WORD version, DWORD build = 100) {
        tagProductStruct r = Record(40, build, version);
        m_->registry.Set(kProducts, name, REG_BINARY, &r, sizeof r);
    }
    // A program the machine can start, ending with `exitCode`.
    void Program(const std::string &path, DWORD exitCode = 0) {
        m_->PutFile(path, "");
        winsim::Program p;
        p.exitCode = exitCode;
        p.runMs = 500;
        m_->programs[path] = p;
    }
    void Service(const char *name, DWORD state) {
        winsim::ServiceConfig c;
        c.name = name;
        c.displayName = name;
        c.imagePath = std::string("C:\\WINNT\\system32\\") + name + ".exe";
        winsim::AddService(*m_, c, state);
    }
    std::vector<std::string> CommandLines() {
        std::vector<std::string> lines;
        for (auto &p : m_->processLog) lines.push_back(p.commandLine);
        return lines;
    }
    const winsim::ProcessRecord *Started(const std::string &application) {
        for (auto &p : m_->processLog)
            if (lstrcmpiA(p.application.c_str(), application.c_str()) == 0) return &p;
        return nullptr;
    }

};

// ---- the maintenance run ----------------------------------------------------------------
class MaintenanceTest : public PreInstallTest {
protected:
    void SetUp() override {
        PreInstallTest::SetUp();
        m_->installer.modes[MSIRUNMODE_MAINTENANCE] = true;
        Installed(24, 1018, kHome, 0x0700, 3);
        m_->registry.SetDword(std::string(kBase) + "\\Components", "SERVER", 1);
    }
};

TEST_F(MaintenanceTest, WithoutReinstallOrPatchTheComponentKeyIsLeftAlone) {
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_EQ(PropOf("QUILLBAKHOME"), kHome);
    EXPECT_EQ(PropOf("ERRORMSG"), "NONE");
    auto log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "PreInstall() - Started");
    EXPECT_TRUE(Logged("PreInstall() - QUILLBAKHOME = C:\\Program Files\\Quillbak"));
    EXPECT_TRUE(Logged("PreInstall() - Install Mode = MSIRUNMODE_MAINTENANCE"));
    EXPECT_FALSE(m_->registry.Find(kComponentKey));
    // The upgrade steps do not run.
    EXPECT_FALSE(Logged("DeleteProcPreInstall() - Started"));
}

TEST_F(MaintenanceTest, AReinstallOfBuild1018RegistersTheTapeLibraryComponent) {
    Prop("REINSTALL", "ALL");
    EXPECT_EQ(PreInstall(session_), 0u);
    std::string keyPath;
    ASSERT_TRUE(m_->registry.GetString(kComponentKey, kPackedProduct, keyPath));
    EXPECT_EQ(keyPath, "C:\\Program Files\\Quillbak\\optins35.dll");
    EXPECT_TRUE(Logged("PreInstall() - sKeyFilePath = C:\\Program Files\\Quillbak\\optins35.dll"));
    EXPECT_TRUE(Logged("PreInstall() - CreateComponentKey() RC = 1"));
}

TEST_F(MaintenanceTest, APatchOfAnotherBuildOrSubtypeOrWithoutTheServerLeavesTheKey) {
    Prop("PATCH", "D:\\fix.msp");
    Installed(24, 1017, kHome, 0x0700, 3);
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_FALSE(m_->registry.Find(kComponentKey));

    Installed(24, 1018, kHome, 0x0700, 2);
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_FALSE(m_->registry.Find(kComponentKey));

    Installed(24, 1018, kHome, 0x0700, 4);
    m_->registry.SetDword(std::string(kBase) + "\\Components", "SERVER", 0);
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_FALSE(m_->registry.Find(kComponentKey));

    m_->registry.SetDword(std::string(kBase) + "\\Components", "SERVER", 1);
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_TRUE(m_->registry.Find(kComponentKey));
}

TEST_F(MaintenanceTest, AFailedComponentWriteIsLoggedWithItsResult) {
    Prop("REINSTALL", "ALL");
    winsim::InjectFault("RegSetValueExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    EXPECT_EQ(PreInstall(session_), 0u);
    winsim::ClearFaults();
    EXPECT_TRUE(Logged("PreInstall() - CreateComponentKey() RC = 0"));
}

TEST_F(MaintenanceTest, TheRunningSanAgentIsStoppedForPostInstallToRestart) {
    Option("EnterpriseLibOption", 0x0700);
    Service("VM SAN Agent", SERVICE_RUNNING);
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_TRUE(Logged("PreInstall() - will stop VM SAN agent."));
    EXPECT_EQ(winsim::ServiceState(*m_, "VM SAN Agent"), (DWORD)SERVICE_STOPPED);
    EXPECT_EQ(PropOf("SANAGENTSTOPPED"), "TRUE");
}

TEST_F(MaintenanceTest, TheSanAgentStaysWithoutTheSanOption) {
    Service("VM SAN Agent", SERVICE_RUNNING);
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_EQ(winsim::ServiceState(*m_, "VM SAN Agent"), (DWORD)SERVICE_RUNNING);
    EXPECT_EQ(PropOf("SANAGENTSTOPPED"), "<unset>");
}

TEST_F(MaintenanceTest, ASilentRunSelectsTheFeaturesTheConfigurationFileNames) {
    Prop("UILevel", "2");
    m_->installer.features["Server"] = winsim::Feature();
    m_->installer.features["Admin"] = winsim::Feature();
    m_->PutFile("D:\\SETUP\\QUILLBAK.ICF", "[Install]\r\nQLBServer=1\r\nQLBServerAdmin=0\r\n");
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_TRUE(Logged("SetCustomInstall() - read D:\\SETUP\\QUILLBAK.ICF"));
    EXPECT_EQ(m_->installer.installLevel, 200);
    EXPECT_TRUE(Logged(" - Server is selected"));
    EXPECT_TRUE(Logged(" - Admin is not selected"));
    EXPECT_EQ(PropOf("INSTALLSERVER"), "TRUE");
    EXPECT_EQ(PropOf("INSTALLADMIN"), "<unset>");
    EXPECT_EQ(m_->installer.features["Server"].action, (int)INSTALLSTATE_LOCAL);
    EXPECT_EQ(m_->installer.features["Admin"].action, -1);
}

TEST_F(MaintenanceTest, AFeatureTheInstallerRefusesIsLogged) {
    Prop("UILevel", "2");
    m_->PutFile("D:\\SETUP\\QUILLBAK.ICF", "[Install]\r\nQLBServer=1\r\nQLBServerAdmin=1\r\n");
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_TRUE(Logged(" - MsiSetFeatureState Server (Err = 1606)"));
    EXPECT_TRUE(Logged(" - MsiSetFeatureState Admin (Err = 1606)"));
    EXPECT_EQ(PropOf("INSTALLADMIN"), "TRUE");
}

TEST_F(MaintenanceTest, SetCustomInstallStopsWhenTheInstallLevelCannotBeSet) {
    m_->PutFile("D:\\SETUP\\QUILLBAK.ICF", "[Install]\r\nQLBServer=1\r\nQLBServerAdmin=1\r\n");
    Prop("UILevel", "2");
    winsim::InjectFault("MsiSetInstallLevel", ERROR_INVALID_HANDLE);
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_TRUE(Logged(" - MsiSetFeatureState Server (Err = 6)"));
    EXPECT_EQ(PropOf("INSTALLSERVER"), "<unset>");
    EXPECT_EQ(PropOf("INSTALLADMIN"), "<unset>");
}

// ---- first installation and upgrade -------------------------------------------------------
TEST_F(PreInstallTest, AFirstInstallationFindsNothingToRemove) {
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_EQ(PropOf("ERRORMSG"), "NONE");
    EXPECT_TRUE(Logged("DeleteProcPreInstall() - Started"));
    EXPECT_TRUE(Logged(" - Quillbak NOT Exists"));
    EXPECT_TRUE(Logged(" RenameDatabaseFolder() - Started"));
    EXPECT_TRUE(m_->processLog.empty());
    EXPECT_TRUE(m_->messageBoxes.empty());
}

TEST_F(PreInstallTest, AProgramThatCannotBeEndedIsReportedAndTheStepGoesOn) {
    Installed(24, 950);
    m_->registry.SetDword(std::string(kBase) + "\\Database", "DatabaseType", 0);
    m_->PutFile(std::string(kHome) + "\\DATABASE\\JOBS.DB", "x");
    m_->privileges.erase("SeDebugPrivilege");
    winsim::RunningProgramDecl program;
    program.image = "C:\\Program Files\\Quillbak\\QLMGR.EXE";
    program.systemAccount = true;
    winsim::StartRunningProgram(*m_, program);
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_EQ(PropOf("ERRORMSG"),
              "Setup has detected that  Quillbak process is currently running and cannot proceed with the Quillbak "
              "installation.  Please try it again after Quillbak process has finished. <QLMGR.exe> ");
    // The database folder still moves.
    EXPECT_TRUE(m_->Exists(std::string(kHome) + "\\DATABASE.141\\JOBS.DB"));
}

TEST_F(PreInstallTest, Build950KeepsServicesOptionsAndRuntimeLibraries) {
    Installed(24, 950);
    Service("QLJobEngine", SERVICE_RUNNING);
    m_->PutFile(std::string(kHome) + "\\MFC42.DLL", "x");
    Program(std::string(kHome) + "\\unopt65.exe");
    Option("EnterpriseLibOption", 0x0605);
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_TRUE(Logged(" - ConvertProductsKey DONE"));
    EXPECT_TRUE(Logged(" - Quillbak build is 950"));
    EXPECT_TRUE(Logged(" - ConvertQuillbakKey DONE"));
    EXPECT_FALSE(Logged("DoRemoveComponents() - started"));
    EXPECT_TRUE(m_->Exists(std::string(kHome) + "\\MFC42.DLL"));
    EXPECT_EQ(Started(std::string(kHome) + "\\unopt65.exe"), nullptr);
}

class EarlierProductTest : public PreInstallTest {
protected:
    void SetUp() override {
        PreInstallTest::SetUp();
        Installed(24, 600, kHome, 0x0700);
        for (const char *lib : {"MFC40.DLL", "MFC42.DLL", "MSVCIRT.DLL", "MSVCRT.DLL", "MSVCRT40.DLL"})
            m_->PutFile(std::string(kHome) + "\\" + lib, "x");
    }
};

TEST_F(EarlierProductTest, OptionUninstallersRunInTheHomeDirectoryWithQuotedPaths) {
    Option("EnterpriseLibOption", 0x0605);
    Option("ImageOption", 0x0605);
    Option("ProPackOption", 0x0606);
    Program(std::string(kHome) + "\\unopt65.exe");
    Program(std::string(kHome) + "\\unopt33.exe");
    Program(std::string(kHome) + "\\unopt88.exe");
    EXPECT_EQ(PreInstall(session_), 0u);

    const winsim::ProcessRecord *san = Started(std::string(kHome) + "\\unopt65.exe");
    ASSERT_NE(san, nullptr);
    EXPECT_EQ(san->commandLine, "\"C:\\Program Files\\Quillbak\\unopt65.exe\" -SMSUninstall -dOPTSET65.DLL");
    EXPECT_EQ(lstrcmpiA(san->currentDirectory.c_str(), kHome), 0) << san->currentDirectory;
    // Version 6.6 exactly gets no setup library.
    const winsim::ProcessRecord *pack = Started(std::string(kHome) + "\\unopt88.exe");
    ASSERT_NE(pack, nullptr);
    EXPECT_EQ(pack->commandLine, "\"C:\\Program Files\\Quillbak\\unopt88.exe\" -SMSUninstall");
    EXPECT_TRUE(Logged(" - Start to uninstall previous EnterpriseLibOption"));
    // The image option's removal asks for a restart at the end.
    EXPECT_TRUE(m_->installer.modes[MSIRUNMODE_REBOOTATEND]);
    // The earlier registration is saved and the runtime libraries go.
    EXPECT_TRUE(Logged("RemovePreviousProduct() - started"));
    for (const char *lib : {"MFC40.DLL", "MFC42.DLL", "MSVCIRT.DLL", "MSVCRT.DLL", "MSVCRT40.DLL"})
        EXPECT_FALSE(m_->Exists(std::string(kHome) + "\\" + lib)) << lib;
    // The current directory comes back.
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    EXPECT_NE(lstrcmpiA(cwd, kHome), 0);
}

TEST_F(EarlierProductTest, ASavedRegistrationOfVersion6KeepsTheRuntimeLibraries) {
    Installed(24, 600, kHome, 0x0600);
    BuildSettings();
    EXPECT_EQ(RemovePreviousProduct(session_), 0);
    EXPECT_TRUE(m_->Exists(std::string(kHome) + "\\MFC42.DLL"));
    EXPECT_TRUE(Logged("DoRemoveComponents() - started"));
}

TEST_F(EarlierProductTest, OptionsOfVersion7AreNotUninstalledAndFailuresAreLogged) {
    Option("EnterpriseLibOption", 0x0700);
    Option("SILO_Option", 0x0605);
    Option("ImageOption", 0x0605);
    Program(std::string(kHome) + "\\unopt65.exe");
    Program(std::string(kHome) + "\\unopt84.exe", 3);
    Program(std::string(kHome) + "\\unopt33.exe", 1);
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_EQ(Started(std::string(kHome) + "\\unopt65.exe"), nullptr);
    EXPECT_NE(Started(std::string(kHome) + "\\unopt84.exe"), nullptr);
    EXPECT_TRUE(Logged("\tFailed to Uninstall SAN Option. "));
    EXPECT_TRUE(Logged("\tFailed to Uninstall Networked Library Option. "));
    EXPECT_TRUE(Logged("\tFailed to Uninstall Image Option. "));
    // An image option that failed to go asks for no restart.
    EXPECT_FALSE(m_->installer.modes[MSIRUNMODE_REBOOTATEND]);
}

TEST_F(EarlierProductTest, AnUninstallerThatCannotStartIsLoggedAndSkipped) {
    Option("SILO_Option", 0x0605);
    m_->PutFile(std::string(kHome) + "\\unopt84.exe", "");  // not a program the machine can run
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_TRUE(Logged("- Failed to launch \"C:\\Program Files\\Quillbak\\unopt84.exe\" -SMSUninstall -dOPTSET84.DLL"));
    EXPECT_TRUE(Logged("\tFailed to Uninstall Networked Library Option. "));
}

TEST_F(EarlierProductTest, ServicesOfTheEarlierProductAreStopped) {
    Service("QLJobEngine", SERVICE_RUNNING);
    Service("QLDBEngine", SERVICE_RUNNING);
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_EQ(winsim::ServiceState(*m_, "QLJobEngine"), (DWORD)SERVICE_STOPPED);
    EXPECT_EQ(winsim::ServiceState(*m_, "QLDBEngine"), (DWORD)SERVICE_STOPPED);
}

// ---- options through the Windows uninstall list ------------------------------------------
TEST_F(EarlierProductTest, TheChangerOptionsUninstallEntryFollowsItsVersion) {
    Program("C:\\OPT\\TAPE.EXE");
    Program("C:\\OPT\\CHANGER.EXE");
    m_->registry.SetString(std::string(kUninstallList) + "Quillbak Tape Library Option", "UninstallString",
                           "C:\\OPT\\TAPE.EXE");
    m_->registry.SetString(std::string(kUninstallList) + "Quillbak Changer Option", "UninstallString",
                           "C:\\OPT\\CHANGER.EXE");
    m_->PutFile(std::string(kHome) + "\\OPTVER35.DLL", "x");

    Option("ChangerOption", 0x0201);  // 513
    BuildSettings();
    EXPECT_EQ(UninstallOldOption(35, session_), 1);
    ASSERT_EQ(CommandLines().size(), 1u);
    EXPECT_EQ(CommandLines()[0], "C:\\OPT\\TAPE.EXE -a");
    EXPECT_FALSE(m_->Exists(std::string(kHome) + "\\OPTVER35.DLL"));

    Option("ChangerOption", 0x0200);  // 512
    EXPECT_EQ(UninstallOldOption(35, session_), 1);
    ASSERT_EQ(CommandLines().size(), 2u);
    EXPECT_EQ(CommandLines()[1], "C:\\OPT\\CHANGER.EXE -a");
}

TEST_F(EarlierProductTest, UninstallOldOptionKnowsOnlyItsFiveOptions) {
    BuildSettings();
    EXPECT_EQ(UninstallOldOption(65, session_), 0);
    EXPECT_EQ(UninstallOldOption(0, session_), 0);
    // Nothing registered: nothing started, still a known option.
    EXPECT_EQ(UninstallOldOption(34, session_), 1);
    EXPECT_TRUE(m_->processLog.empty());
}

TEST_F(EarlierProductTest, TheImageOptionTakesItsMountServiceAlong) {
    Program("C:\\OPT\\IMAGE.EXE");
    m_->registry.SetString(std::string(kUninstallList) + "Quillbak Image Option", "UninstallString",
                           "C:\\OPT\\IMAGE.EXE");
    Service("HBMNT", SERVICE_STOPPED);
    Option("ImageOption", 0x0605);
    BuildSettings();
    EXPECT_EQ(UninstallOldOption(33, session_), 1);
    EXPECT_EQ(CommandLines().size(), 1u);
    EXPECT_EQ(winsim::ServiceState(*m_, "HBMNT"), 0u);
}

TEST_F(EarlierProductTest, AnUninstallEntryThatCannotStartIsLogged) {
    m_->registry.SetString(std::string(kUninstallList) + "Quillbak RAID Option", "UninstallString",
                           "C:\\OPT\\MISSING.EXE");
    Option("RAIDOption", 0x0605);
    BuildSettings();
    EXPECT_EQ(UninstallOldOption(34, session_), 1);
    EXPECT_TRUE(Logged("C:\\OPT\\MISSING.EXE -a fail"));
}

// ---- releases before build 502 -------------------------------------------------------------
TEST_F(PreInstallTest, ABuildBelow502LosesItsHomeTreeRegistrationsAndProgramGroup) {
    Installed(24, 501, kHome, 0x0600);
    m_->PutFile(std::string(kHome) + "\\DATA\\JOB.DAT", "x");
    m_->registry.SetString("HKLM\\SOFTWARE\\Harnock\\ChangerOption\\CurrentVersion", "X", "1");
    m_->registry.SetString("HKLM\\SOFTWARE\\Harnock\\Keep", "X", "1");
    m_->registry.SetString(std::string(kUninstallList) + "Quillbak RAID Option", "DisplayName", "RAID");
    m_->PutFile(std::string(kPrograms) + "\\Quillbak for Windows NT\\Manager.lnk", "x");
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_FALSE(m_->Exists(kHome));
    EXPECT_FALSE(m_->registry.Find("HKLM\\SOFTWARE\\Harnock\\ChangerOption"));
    EXPECT_TRUE(m_->registry.Find("HKLM\\SOFTWARE\\Harnock\\Keep"));
    EXPECT_FALSE(m_->registry.Find(std::string(kUninstallList) + "Quillbak RAID Option"));
    EXPECT_FALSE(m_->Exists(std::string(kPrograms) + "\\Quillbak for Windows NT"));
    EXPECT_TRUE(m_->Exists(kPrograms));
}

TEST_F(PreInstallTest, RemoveProgramGroupTakesOnlyANamedGroup) {
    m_->PutFile(std::string(kPrograms) + "\\Accessories\\Notepad.lnk", "x");
    m_->PutFile(std::string(kPrograms) + "\\Quillbak for Windows NT\\Manager.lnk", "x");
    // An empty name would be the Programs folder itself.
    EXPECT_FALSE(RemoveProgramGroup(""));
    EXPECT_FALSE(RemoveProgramGroup(NULL));
    EXPECT_TRUE(m_->Exists(std::string(kPrograms) + "\\Accessories\\Notepad.lnk"));
    winsim::InjectFault("SHGetSpecialFolderLocation", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(RemoveProgramGroup("Quillbak for Windows NT"));
    EXPECT_TRUE(m_->Exists(std::string(kPrograms) + "\\Quillbak for Windows NT"));
    EXPECT_TRUE(RemoveProgramGroup("Quillbak for Windows NT"));
    EXPECT_FALSE(m_->Exists(std::string(kPrograms) + "\\Quillbak for Windows NT"));
    EXPECT_TRUE(m_->Exists(std::string(kPrograms) + "\\Accessories\\Notepad.lnk"));
}

TEST_F(PreInstallTest, AMissingProgramGroupIsLogged) {
    Installed(24, 501, kHome, 0x0600);
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_TRUE(Logged(" Failed to remove Program Group - Quillbak for Windows NT"));
}

TEST_F(PreInstallTest, TheOldHomeRemovalNeverTakesADriveRootOrASystemFolder) {
    m_->PutFile("C:\\Program Files\\Other\\keep.txt", "x");
    for (const std::string home : {"C:\\", "C:", "C:\\WINNT", "C:\\Program Files", "C:\\WINNT\\system32",
                                   "C:\\Program Files\\"}) {
        Installed(24, 400, home, 0x0600);
        EXPECT_EQ(PreInstall(session_), 0u) << home;
        EXPECT_TRUE(m_->Exists("C:\\WINNT\\system32")) << home;
        EXPECT_TRUE(m_->Exists("C:\\Program Files\\Other\\keep.txt")) << home;
    }
}

TEST(ProtectedFolderTest, NamesTheFoldersThatMustStay) {
    winsim::LocalMachine();
    EXPECT_TRUE(IsProtectedFolder(NULL));
    EXPECT_TRUE(IsProtectedFolder(""));
    EXPECT_TRUE(IsProtectedFolder("C:\\"));
    EXPECT_TRUE(IsProtectedFolder("C:\\\\"));
    EXPECT_TRUE(IsProtectedFolder("Quillbak"));
    EXPECT_TRUE(IsProtectedFolder("\\Quillbak"));
    EXPECT_TRUE(IsProtectedFolder("c:\\winnt"));
    EXPECT_TRUE(IsProtectedFolder("C:\\WINNT\\System32\\"));
    EXPECT_TRUE(IsProtectedFolder("C:\\PROGRAM FILES"));
    EXPECT_TRUE(IsProtectedFolder("C:\\Program Files\\..\\WINNT"));
    EXPECT_TRUE(IsProtectedFolder("\\\\SERVER\\SHARE"));
    EXPECT_FALSE(IsProtectedFolder("C:\\Program Files\\Quillbak"));
    EXPECT_FALSE(IsProtectedFolder("C:\\WINNTX"));
    EXPECT_FALSE(IsProtectedFolder("D:\\QUILLBAK"));
}

TEST_F(PreInstallTest, AProductWithoutARecordGetsTheDefaultRecord) {
    Installed(0, 0);
    EXPECT_EQ(PreInstall(session_), 0u);
    winsim::RegKey *key = m_->registry.Find("HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\OldProducts");
    ASSERT_NE(key, nullptr);
    const winsim::RegValue *value = key->FindValue("Quillbak");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, (DWORD)REG_BINARY);
    const std::vector<BYTE> &data = value->data;
    ASSERT_EQ(data.size(), 49u);
    tagProductStruct r;
    memcpy(&r, data.data(), sizeof r);
    EXPECT_EQ(r.dwProductCode, 25u);
    EXPECT_EQ(r.dwComponents, 15u);
    EXPECT_EQ(r.dwVersion, 0x00EE0200u);
    EXPECT_EQ(r.bySubType, 2);
    EXPECT_EQ(r.dwUserLevel, 5u);
    EXPECT_EQ(std::string(r.szSerial), "00000001");
    DWORD crc = 0;
    memcpy(&crc, data.data() + 29, sizeof crc);
    EXPECT_EQ(crc, CHarnRegistry::ProductRecordCrc(&r));
    for (size_t i = 33; i < 49; ++i) EXPECT_EQ(data[i], 0) << i;
}

// ---- the database folder ---------------------------------------------------------------------
TEST_F(PreInstallTest, ARaimaDatabaseFolderMovesAside) {
    Installed(24, 950);
    m_->registry.SetDword(std::string(kBase) + "\\Database", "DatabaseType", 0);
    m_->PutFile(std::string(kHome) + "\\DATABASE\\JOBS.DB", "x");
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_TRUE(m_->Exists(std::string(kHome) + "\\DATABASE.141\\JOBS.DB"));
    EXPECT_FALSE(m_->Exists(std::string(kHome) + "\\DATABASE"));
    EXPECT_TRUE(Logged(" RenameDatabaseFolder() - C:\\Program Files\\Quillbak\\DATABASE.141"));
    EXPECT_TRUE(Logged("Database Dir has been renamed to C:\\Program Files\\Quillbak\\DATABASE.141"));
}

TEST_F(PreInstallTest, AnSqlDatabaseStaysWhereItIs) {
    Installed(24, 950);
    m_->registry.SetDword(std::string(kBase) + "\\Database", "DatabaseType", 1);
    m_->PutFile(std::string(kHome) + "\\DATABASE\\JOBS.DB", "x");
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_TRUE(m_->Exists(std::string(kHome) + "\\DATABASE\\JOBS.DB"));
}

TEST_F(PreInstallTest, AFolderThatCannotMoveEndsTheInstallation) {
    Installed(24, 950);
    m_->registry.SetDword(std::string(kBase) + "\\Database", "DatabaseType", 0);
    m_->PutFile(std::string(kHome) + "\\DATABASE\\JOBS.DB", "x");
    winsim::InjectFault("MoveFileA", ERROR_SHARING_VIOLATION);
    EXPECT_EQ(PreInstall(session_), 1602u);
    EXPECT_EQ(PropOf("ERRORMSG"), "Failed to rename DATABASE directory.");
    auto errors = Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Failed to Create Dir (C:\\Program Files\\Quillbak\\DATABASE.141)-(32)");
}

TEST_F(PreInstallTest, AnEarlierMovedFolderCountsAsMoved) {
    Installed(24, 950);
    m_->registry.SetDword(std::string(kBase) + "\\Database", "DatabaseType", 0);
    m_->MakeDirs(std::string(kHome) + "\\DATABASE.141");
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_TRUE(Logged("Database Dir has been renamed to C:\\Program Files\\Quillbak\\DATABASE.141"));
}

// ---- SNMP --------------------------------------------------------------------------------------
TEST_F(PreInstallTest, TheSnmpServiceIsStoppedWhenTheUserAgrees) {
    Installed(24, 950);
    Service("SNMP", SERVICE_RUNNING);
    m_->scriptedAnswers = {IDYES};
    BuildSettings();
    EXPECT_EQ(StopSnmpForSetup(session_, 1), 1);
    ASSERT_EQ(m_->messageBoxes.size(), 1u);
    EXPECT_EQ(m_->messageBoxes[0].caption, "Quillbak");
    EXPECT_EQ(m_->messageBoxes[0].style, (UINT)(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(PropOf("SNMPSTOP"), "STOP");
}

TEST_F(PreInstallTest, TheSnmpServiceRunsOnWhenTheUserDeclines) {
    Installed(24, 950);
    Service("SNMP", SERVICE_RUNNING);
    m_->scriptedAnswers = {IDNO};
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_EQ(m_->messageBoxes.size(), 1u);
    EXPECT_EQ(PropOf("SNMPSTOP"), "<unset>");
}

TEST_F(PreInstallTest, ASilentRunStopsSnmpWithoutAsking) {
    Installed(24, 950);
    Service("SNMP", SERVICE_RUNNING);
    Prop("UILevel", "2");
    EXPECT_EQ(PreInstall(session_), 0u);
    EXPECT_TRUE(m_->messageBoxes.empty());
    EXPECT_EQ(PropOf("SNMPSTOP"), "STOP");
    EXPECT_TRUE(Logged(
        "Setup has detected some Quillbak files being used by the SNMP service.  This service needs to be stopped in "
        "order for the operation to complete properly.\nDo you wish to stop the SNMP service?"));
}

// ---- the database conversion offer ---------------------------------------------------------
class ConvertDatabaseTest : public PreInstallTest {
protected:
    void SetUp() override {
        PreInstallTest::SetUp();
        Installed(24, 950);
        m_->MakeDirs(std::string(kHome) + "\\Database.141");
        Program(std::string(kHome) + "\\VLDBCONV.EXE");
    }
    void Prepare(BOOL batch) {
        tagSETUP_INFO info;
        SetSetupInfo(session_, &info, 0);
        info.bBatchOperation = batch;
        g_Settings = CSettings(&info, 0);
        g_Settings.Initialize();
        g_Settings.InstallDBType(2);
        ExistingDatabaseType = 0;
    }
    void TearDown() override {
        ExistingDatabaseType = -1;
        PreInstallTest::TearDown();
    }
};

TEST_F(ConvertDatabaseTest, TheEstimateIsTheMegabytesPlusOne) {
    Prepare(FALSE);
    m_->PutFile(std::string(kHome) + "\\Database.141\\A.DB", std::string(2 * 1048576, 'a'));
    m_->PutFile(std::string(kHome) + "\\Database.141\\B.DB", std::string(1048576, 'b'));
    m_->scriptedAnswers = {IDYES};
    EXPECT_EQ(ConvertDatabase(), 1);
    ASSERT_EQ(m_->messageBoxes.size(), 1u);
    EXPECT_EQ(m_->messageBoxes[0].style, (UINT)(MB_YESNO | MB_ICONINFORMATION));
    EXPECT_EQ(m_->messageBoxes[0].owner, (HWND)NULL);
    EXPECT_EQ(m_->messageBoxes[0].text,
              "In order to use the data in the current database, you must launch the database conversion program "
              "VLDBCONV.EXE from Quillbak home directory.  \nThe database conversion will take approximately 4 "
              "minutes, based upon an Intel PentiumII 350MHz processor.\nDo you wish to RUN the database conversion "
              "program automatically when setup is complete?");
    const winsim::ProcessRecord *run = Started(std::string(kHome) + "\\VLDBCONV.EXE");
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->commandLine,
              "\"C:\\Program Files\\Quillbak\\VLDBCONV.EXE\" C:\\Program Files\\Quillbak\\DATABASE.141");
    EXPECT_EQ(lstrcmpiA(run->currentDirectory.c_str(), kHome), 0) << run->currentDirectory;
}

TEST_F(ConvertDatabaseTest, AFolderBeyondFourGigabytesIsCountedWhole) {
    Prepare(FALSE);
    const std::string file = std::string(kHome) + "\\Database.141\\BIG.DB";
    m_->PutFile(file, "");
    std::string host;
    ASSERT_TRUE(m_->HostPath(file, host));
    // A sparse file of 5 GiB: 5120 megabytes, 5121 minutes.
    ASSERT_EQ(truncate(host.c_str(), 5LL * 1024 * 1048576), 0);
    m_->scriptedAnswers = {IDNO};
    EXPECT_EQ(ConvertDatabase(), 1);
    ASSERT_EQ(m_->messageBoxes.size(), 1u);
    EXPECT_NE(m_->messageBoxes[0].text.find("approximately 5121 minutes"), std::string::npos)
        << m_->messageBoxes[0].text;
}

TEST_F(ConvertDatabaseTest, NoIsNoConversionAndAnEmptyFolderAsksNothing) {
    Prepare(FALSE);
    m_->PutFile(std::string(kHome) + "\\Database.141\\A.DB", "x");
    m_->scriptedAnswers = {IDNO};
    EXPECT_EQ(ConvertDatabase(), 1);
    EXPECT_EQ(m_->messageBoxes.size(), 1u);
    EXPECT_TRUE(m_->processLog.empty());

    DeleteFileA("C:\\Program Files\\Quillbak\\Database.141\\A.DB");
    EXPECT_EQ(ConvertDatabase(), 1);
    EXPECT_EQ(m_->messageBoxes.size(), 1u);
    EXPECT_TRUE(m_->processLog.empty());
}

TEST_F(ConvertDatabaseTest, ABatchRunConvertsWithoutAsking) {
    Prepare(TRUE);
    m_->PutFile(std::string(kHome) + "\\Database.141\\A.DB", "x");
    EXPECT_EQ(ConvertDatabase(), 1);
    EXPECT_TRUE(m_->messageBoxes.empty());
    ASSERT_EQ(m_->processLog.size(), 1u);
}

TEST_F(ConvertDatabaseTest, ASilentRunAsksNothing) {
    Prepare(FALSE);
    Prop("UILevel", "2");
    m_->PutFile(std::string(kHome) + "\\Database.141\\A.DB", "x");
    EXPECT_EQ(ConvertDatabase(session_), 1);
    EXPECT_TRUE(m_->messageBoxes.empty());
    EXPECT_TRUE(m_->processLog.empty());
}

TEST_F(ConvertDatabaseTest, AMissingConversionProgramIsReported) {
    Prepare(TRUE);
    DeleteFileA("C:\\Program Files\\Quillbak\\VLDBCONV.EXE");
    EXPECT_EQ(ConvertDatabase(), 0);
}

TEST_F(ConvertDatabaseTest, OnlyARaimaDatabaseGoingToVldbIsOffered) {
    Prepare(TRUE);
    g_Settings.InstallDBType(1);
    EXPECT_EQ(ConvertDatabase(), 1);
    g_Settings.InstallDBType(2);
    ExistingDatabaseType = 2;
    EXPECT_EQ(ConvertDatabase(), 1);
    EXPECT_TRUE(m_->processLog.empty());
}

}  // namespace
