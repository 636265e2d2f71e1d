// The checks before installation and removal: administrator rights, the
// update decision for an installed product, patch runs, running programs.
#include <gtest/gtest.h>

#include "action_fixture.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <winsim/machine.h>

#include "actions/Checks.h"
#include "registry/HarnRegistry.h"
#include "system/Application.h"
#include "doubles.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const char kBase[] = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Base";
const char kProducts[] = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Products";
const char kHome[] = "C:\\Program Files\\Quillbak";

const char kMsg10026[] = "User Must Have Administrator privileges in order to Continue.";
const char kMsg10052[] = "Setup cannot find the proper version of Quillbak to perform the upgrade.";
const char kMsg57430[] =
    "Uninstallation has detected that Quillbak process is currently running and cannot proceed with the Quillbak "
    "uninstallation.  Please try it again after Quillbak process has finished.";
const char kMsg57433[] =
    "Setup has detected the previous version of Quillbak has already been installed. Setup will perform update and "
    "all installed Quillbak Options will be uninstalled from server. Do you wish to continue?    ";
const char kMsg57443[] =
    "Setup has detected Quillbak v2.x or v6.0 has already been installed.  Setup will remove the exsisting Quillbak, "
    "Database, and Options first, then install the new copies.  You may not be able to rollback to the original.  "
    "Do you wish to continue?    ";

std::string Msg57442(const std::string &name, const std::string &version) {
    return "Setup has detected " + name + " (" + version +
           ") has already been installed. Setup will perform update and all installed Quillbak Options will be "
           "uninstalled from server. Do you wish to continue?    ";
}

tagProductStruct Record(DWORD code, DWORD build, BYTE subType = 1) {
    tagProductStruct r;
    memset(&r, 0, sizeof r);
    r.dwProductCode = code;
    r.dwComponents = 15;
    r.dwVersion = (build << 16) | 0x0700;
    r.bySubType = subType;
    r.dwCrc = CHarnRegistry::ProductRecordCrc(&r);
    return r;
}

class ChecksTest : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        m_->AddDrive('D', DRIVE_CDROM);
        Inf("[Setup]\r\nProdSubType=1\r\n[BuildNumber]\r\nQLNT=600,650\r\n");
        Prop("SETUPDIR", "D:\\SETUP\\");
    }

    void Inf(const std::string &text) { m_->PutFile("D:\\SETUP\\QLBSETUP.INF", text); }
    // An installed product: its home and, unless code is 0, its record.
    void Installed(DWORD code, DWORD build) {
        m_->registry.SetString(std::string(kBase) + "\\Path", "HOME", kHome);
        m_->MakeDirs(kHome);
        if (code) {
            tagProductStruct r = Record(code, build);
            m_->registry.Set(kProducts, "Quillbak", REG_BINARY, &r, sizeof r);
        }
    }
    void RunAsPlainUser() {
        winsim::Account &a = m_->AddAccount("bob", SidTypeUser);
        m_->aliasMembers["S-1-5-32-545"].insert(a.sid);
        m_->userName = "bob";
    }
    DWORD Running(const std::string &image, bool system = false, const std::string &mutex = "") {
        winsim::RunningProgramDecl program;
        program.image = image;
        program.systemAccount = system;
        program.mutex = mutex;
        return winsim::StartRunningProgram(*m_, program);
    }
    winsim::ProcessInfo Process(DWORD pid) {
        for (auto &p : winsim::SnapshotProcesses(*m_))
            if (p.pid == pid) return p;
        return winsim::ProcessInfo();
    }

};

// ---- AllowInstall -------------------------------------------------------------------
TEST_F(ChecksTest, AFirstInstallationGoesOnWithoutAWarning) {
    EXPECT_EQ(AllowInstall(session_), 0u);
    EXPECT_EQ(PropOf("ERRORMSG"), "NONE");
    EXPECT_EQ(PropOf("QUILLBAKEXIST"), "FALSE");
    EXPECT_EQ(PropOf("WARNINGMSG"), "<unset>");
    auto log = Log();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[0], "AllowInstall() - Started");
    EXPECT_EQ(log[1], "SetSetupInfo() ICFDIR-");
    EXPECT_TRUE(Logged("IsPatchMode() - PATCH = "));
    // The setup information is handed over in the same run.
    EXPECT_TRUE(Logged("GetSetupInformation() from D:\\SETUP\\QUILLBAK.ICF"));
    EXPECT_EQ(PropOf("INSTALLMANGER"), "TRUE");
    EXPECT_TRUE(m_->messageBoxes.empty());
}

TEST_F(ChecksTest, APlainUserIsRefusedAndStillGetsTheSetupInformation) {
    RunAsPlainUser();
    Installed(24, 620);
    EXPECT_EQ(AllowInstall(session_), 1602u);
    EXPECT_EQ(PropOf("ERRORMSG"), kMsg10026);
    EXPECT_EQ(PropOf("QUILLBAKEXIST"), "<unset>");
    EXPECT_TRUE(Logged("GetSetupInformation() from D:\\SETUP\\QUILLBAK.ICF"));
    EXPECT_EQ(PropOf("INSTALLDIR"), kHome);
    EXPECT_TRUE(m_->messageBoxes.empty());
}

TEST_F(ChecksTest, AProductWithoutARecordIsOfferedTheFullUpdate) {
    Installed(0, 0);
    // The configuration file deselects everything; the old product gets all.
    m_->PutFile("D:\\SETUP\\QUILLBAK.ICF", "[Install]\r\nQLBManager=0\r\nQLBServer=0\r\nQLBServerAdmin=0\r\n");
    EXPECT_EQ(AllowInstall(session_), 0u);
    EXPECT_EQ(PropOf("QUILLBAKEXIST"), "TRUE");
    EXPECT_EQ(PropOf("WARNINGMSG"), kMsg57443);
    EXPECT_EQ(PropOf("INSTALLMANGER"), "TRUE");
    EXPECT_EQ(PropOf("INSTALLSERVER"), "TRUE");
    EXPECT_EQ(PropOf("INSTALLADMIN"), "TRUE");
    EXPECT_TRUE(Logged(" - Manager = 0"));
}

TEST_F(ChecksTest, TheBuildMustLieInTheRangeTheMediumAccepts) {
    struct Case {
        const char *range;  // the [BuildNumber] QLNT value, null for none
        DWORD code, build;
        bool update;
    } const cases[] = {
        {"600,650", 24, 599, false}, {"600,650", 24, 600, true},  {"600,650", 24, 650, true},
        {"600,650", 24, 651, false}, {"620", 24, 620, true},      {"620", 24, 621, false},
        {"620,620", 24, 619, false}, {nullptr, 24, 620, false},   {"600,650", 25, 620, true},
        {"600,650", 32, 620, true},  {"600,650", 68, 620, true},  {"600,650", 33, 620, false},
    };
    for (const Case &c : cases) {
        m_->installer.properties.clear();
        Prop("SETUPDIR", "D:\\SETUP\\");
        Inf(c.range ? std::string("[BuildNumber]\r\nQLNT=") + c.range + "\r\n" : std::string("[Setup]\r\n"));
        Installed(c.code, c.build);
        std::string what = std::string(c.range ? c.range : "-") + " " + std::to_string(c.code) + " " +
                           std::to_string(c.build);
        if (c.update) {
            EXPECT_EQ(AllowInstall(session_), 0u) << what;
            EXPECT_EQ(PropOf("QUILLBAKEXIST"), "TRUE") << what;
            EXPECT_EQ(PropOf("WARNINGMSG"), kMsg57433) << what;  // no version library in the home
            EXPECT_EQ(PropOf("ERRORMSG"), "NONE") << what;
        } else {
            EXPECT_EQ(AllowInstall(session_), 1602u) << what;
            EXPECT_EQ(PropOf("ERRORMSG"), kMsg10052) << what;
            EXPECT_EQ(PropOf("WARNINGMSG"), "<unset>") << what;
        }
    }
}

TEST_F(ChecksTest, TheWarningNamesTheInstalledProductFromItsVersionLibrary) {
    Installed(24, 620);
    InstallDouble("QLVCTL", std::string(kHome) + "\\QLVCTL.DLL");
    EXPECT_EQ(AllowInstall(session_), 0u);
    EXPECT_EQ(PropOf("WARNINGMSG"), Msg57442("Quillbak for Windows NT", "Version 6.5"));
    EXPECT_EQ(GetModuleHandleA("QLVCTL.DLL"), (HMODULE)NULL);  // unloaded again

    m_->environment["QLVCTL_VERSION_LONG"] = "Version 6.0";
    EXPECT_EQ(AllowInstall(session_), 0u);
    EXPECT_EQ(PropOf("WARNINGMSG"), kMsg57443);
}

// A long name and version make the text longer than the message buffer: it
// is cut to 255 characters, and texts that fill the library's buffers
// without a terminator end where the buffers do.
TEST_F(ChecksTest, ALongProductNameAndVersionAreCutToTheMessageBuffer) {
    Installed(24, 620);
    InstallDouble("QLVCTL", std::string(kHome) + "\\QLVCTL.DLL");
    std::string name(140, 'N'), version = "Version " + std::string(40, '9');
    m_->environment["QLVCTL_PRODUCT_NAME"] = name;
    m_->environment["QLVCTL_VERSION_LONG"] = version;
    char buffer[QL_MESSAGE_SIZE + 16];
    memset(buffer, '#', sizeof buffer);
    tagSETUP_INFO info;
    SetSetupInfo(session_, &info, 0);
    g_Settings.Initialize();
    EXPECT_EQ(CheckUpgradeVersion(buffer), 1);
    std::string full = Msg57442(name.substr(0, 127), version.substr(0, 31));
    EXPECT_EQ(std::string(buffer), full.substr(0, QL_MESSAGE_SIZE - 1));
    for (size_t i = QL_MESSAGE_SIZE; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << i;

    EXPECT_EQ(AllowInstall(session_), 0u);
    EXPECT_EQ(PropOf("WARNINGMSG"), full.substr(0, QL_MESSAGE_SIZE - 1));
}

TEST_F(ChecksTest, APatchNeedsTheProductKnownToTheInstaller) {
    Prop("PATCH", "D:\\SETUP\\QB701.MSP");
    EXPECT_EQ(AllowInstall(session_), 1602u);  // the installer does not know the product (-1)
    EXPECT_EQ(PropOf("ERRORMSG"), kMsg10052);
    EXPECT_TRUE(Logged("IsPatchMode() - PATCH = D:\\SETUP\\QB701.MSP"));

    for (int state : {INSTALLSTATE_DEFAULT, INSTALLSTATE_ABSENT}) {
        m_->products[QL_PRODUCT_CODE].state = state;
        EXPECT_EQ(AllowInstall(session_), 0u) << state;
        EXPECT_EQ(PropOf("ERRORMSG"), "NONE") << state;
    }
    m_->products[QL_PRODUCT_CODE].state = INSTALLSTATE_ADVERTISED;
    EXPECT_EQ(AllowInstall(session_), 1602u);

    // After an accepted patch state the update check still runs.
    m_->products[QL_PRODUCT_CODE].state = INSTALLSTATE_DEFAULT;
    Installed(24, 700);
    EXPECT_EQ(AllowInstall(session_), 1602u);
    EXPECT_EQ(PropOf("ERRORMSG"), kMsg10052);
}

TEST_F(ChecksTest, AMinorUpdatePackageIsAPatchRun) {
    tagSETUP_INFO info;
    SetSetupInfo(session_, &info, 0);
    EXPECT_FALSE(IsPatchMode(session_));
    Inf("[Setup]\r\nMINORPKG=QB701\r\n");
    EXPECT_TRUE(IsPatchMode(session_));
    Inf("[Setup]\r\nMINORPKG=\r\n");
    EXPECT_FALSE(IsPatchMode(session_));
    // A setup directory without its backslash still finds the file.
    Prop("SETUPDIR", "D:\\SETUP");
    Inf("[Setup]\r\nMINORPKG=QB701\r\n");
    SetSetupInfo(session_, &info, 0);
    EXPECT_TRUE(IsPatchMode(session_));
}

TEST_F(ChecksTest, ARemoteConsoleSeesTheChecksStartAndFail) {
    winsim::Machine &local = *m_;
    winsim::Machine &console = winsim::CreateDefaultMachine("CONSOLE1");
    winsim::SetLocalMachine(console);
    HANDLE slot = CreateMailslotA("\\\\.\\mailslot\\status", 0, 0, NULL);
    winsim::SetLocalMachine(local);
    local.PutFile("C:\\WINNT\\HOST.INI", "[HostServer]\r\nName=CONSOLE1\r\n");
    RunAsPlainUser();
    EXPECT_EQ(AllowInstall(session_), 1602u);
    ASSERT_EQ(console.mailslotLog.size(), 2u);
    EXPECT_EQ(console.mailslotLog[0].data.rfind("QLSERVER\\1\\1\\", 0), 0u) << console.mailslotLog[0].data;
    EXPECT_EQ(console.mailslotLog[1].data.rfind("QLSERVER\\1\\3\\", 0), 0u) << console.mailslotLog[1].data;
    winsim::SetLocalMachine(console);
    CloseHandle(slot);
    winsim::SetLocalMachine(local);
}

// ---- IsAdministrator ------------------------------------------------------------------
TEST_F(ChecksTest, IsAdministratorAnswersByItsResultOnly) {
    EXPECT_EQ(IsAdministrator(session_), 0u);
    RunAsPlainUser();
    EXPECT_EQ(IsAdministrator(session_), 4097u);
    EXPECT_TRUE(m_->installer.log.empty());
    EXPECT_TRUE(m_->installer.properties.count("ERRORMSG") == 0);
}

// ---- AllowUninstall -------------------------------------------------------------------
TEST_F(ChecksTest, AnUninstallWithNothingRunningGoesOn) {
    Installed(24, 620);
    m_->registry.SetDword(std::string(kBase) + "\\Database", "DatabaseType", 1);
    EXPECT_EQ(AllowUninstall(session_), 0u);
    EXPECT_EQ(PropOf("ERRORMSG"), "NONE");
    EXPECT_EQ(PropOf("EXISTDBTYPE"), "SQL");
    EXPECT_EQ(ExistingDatabaseType, 1);
    auto log = Log();
    EXPECT_EQ(log[2], "AllowUninstall() - started");  // after the prologue's two lines
    EXPECT_TRUE(Logged("GetSetupInformation() from D:\\SETUP\\QUILLBAK.ICF"));
}

TEST_F(ChecksTest, AnUninstallByAPlainUserIsRefused) {
    RunAsPlainUser();
    EXPECT_EQ(AllowUninstall(session_), 1602u);
    EXPECT_EQ(PropOf("ERRORMSG"), kMsg10026);
}

TEST_F(ChecksTest, TheProductsRunningMutexRefusesTheUninstall) {
    DWORD pid = Running("C:\\Program Files\\Quillbak\\QLRUNJOB.EXE", false, "QuillbakIsRunning");
    EXPECT_EQ(AllowUninstall(session_), 1602u);
    EXPECT_EQ(PropOf("ERRORMSG"), kMsg57430);
    EXPECT_TRUE(Process(pid).running);  // refused before anything is ended
}

TEST_F(ChecksTest, TheDatabaseEngineStopsAndTheManagerIsAskedToClose) {
    winsim::ServiceConfig engine;
    engine.name = "QLDBEngine";
    engine.imagePath = "C:\\Program Files\\Quillbak\\DBSRV.EXE";
    winsim::AddService(*m_, engine, SERVICE_RUNNING);
    winsim::RunningProgramDecl manager;
    manager.image = "C:\\Program Files\\Quillbak\\QLMGR.EXE";
    manager.mutex = "QuillbakManagerAppInstMutex";
    // It stays on WM_CLOSE and goes on its private shutdown message.
    manager.windows = {{"QuillbakManager", "Quillbak Manager", false, QL_MANAGER_SHUTDOWN_MESSAGE}};
    DWORD pid = winsim::StartRunningProgram(*m_, manager);
    EXPECT_EQ(AllowUninstall(session_), 0u);
    EXPECT_EQ(winsim::ServiceState(*m_, "QLDBEngine"), (DWORD)SERVICE_STOPPED);
    // Closed on its request, not ended by force.
    EXPECT_TRUE(Process(pid).closeRequested);
    EXPECT_FALSE(Process(pid).terminated);
    EXPECT_FALSE(Process(pid).running);
}

TEST_F(ChecksTest, RunningProductProgramsAreEndedOthersAreLeft) {
    DWORD purge = Running("C:\\Program Files\\Quillbak\\DBPURGE2.EXE");
    DWORD index = Running("C:\\Program Files\\Quillbak\\mrgindex.exe");
    DWORD notepad = Running("C:\\WINNT\\NOTEPAD.EXE");
    char name[MAX_PATH];
    memset(name, '#', sizeof name);
    EXPECT_EQ(CheckRunningProcesses(name, sizeof name), 1);
    EXPECT_STREQ(name, "");
    EXPECT_TRUE(Process(purge).terminated);
    EXPECT_EQ(Process(purge).exitCode, 1u);
    EXPECT_TRUE(Process(index).terminated);
    EXPECT_FALSE(Process(index).closeRequested);  // no close message first
    EXPECT_TRUE(Process(notepad).running);
}

TEST_F(ChecksTest, AManagerThatCannotBeEndedRefusesTheUninstall) {
    m_->privileges.erase("SeDebugPrivilege");
    DWORD manager = Running("C:\\Program Files\\Quillbak\\QLMGR.EXE", true);
    DWORD purge = Running("C:\\Program Files\\Quillbak\\SQLPURGE.EXE");
    EXPECT_EQ(AllowUninstall(session_), 1602u);
    EXPECT_EQ(PropOf("ERRORMSG"), std::string(kMsg57430) + " <QLMGR.exe> ");
    EXPECT_TRUE(Process(manager).running);
    EXPECT_TRUE(Process(purge).terminated);  // the others are still ended
    EXPECT_FALSE(Logged("GetSetupInformation() from D:\\SETUP\\QUILLBAK.ICF"));
}

TEST_F(ChecksTest, WhenEndingFailsTheLastNameThatFailedIsKept) {
    Running("C:\\Program Files\\Quillbak\\RDSRV.EXE");
    Running("C:\\Program Files\\Quillbak\\ROTPRED.EXE");
    winsim::InjectFault("TerminateProcess", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    char name[MAX_PATH];
    EXPECT_EQ(CheckRunningProcesses(name, sizeof name), 0);
    EXPECT_STREQ(name, "ROTPRED.exe");
    // A short buffer gets the name cut, never overrun.
    char shortName[6 + 4];
    memset(shortName, '#', sizeof shortName);
    EXPECT_EQ(CheckRunningProcesses(shortName, 6), 0);
    EXPECT_STREQ(shortName, "ROTPR");
    EXPECT_EQ(shortName[6], '#');
    winsim::ClearFaults();
    // Without the process list nothing is found to end.
    winsim::InjectFault("RegQueryValueExA", ERROR_NOT_ENOUGH_MEMORY, winsim::FaultMode::Always);
    EXPECT_EQ(CheckRunningProcesses(name, sizeof name), 1);
}

}  // namespace
