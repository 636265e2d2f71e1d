// LaunchProductSetup and the browser update: the installed product's
// registrations, the job queue, the follow-up setups with their wait window,
// and the restart they ask for.
#include "action_fixture.h"

#include <cstring>

#include "actions/Auxiliary.h"
#include "actions/Frame.h"
#include "doubles.h"
#include "registry/HarnRegistry.h"
#include "resource.h"

namespace {

const char kProductCode[] = "{3B6F08D4-F5E2-11D3-90B2-00A0245DF264}";
const std::string kExplorer = "HKLM\\SOFTWARE\\Microsoft\\Internet Explorer";
const char kControls[] = "C:\\WINNT\\system32\\ComCTL32.dll";
const char kBrowserSetup[] = "D:\\SETUP\\VM_SIE5.exe";
const char kControlsUpdate[] = "D:\\SETUP\\50ComUpd.exe";
const char kEventSource[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\QuillbakIT";
const char kWaitText[] = "Please wait while setup is upgrading Internet Explorer on your machine. ";

class LaunchSetup : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        SetupMedium();
        M().PutFile("D:\\SETUP\\QLBSETUP.INF", "[Components]\r\nVAXWALLSERVER=VAX\\SERVER.PKG\r\n");
        Prop("UILevel", "2");
        // A current browser and common controls: nothing to update.
        Browser("6.0.2600.0000");
        Controls(5, 81);
    }
    void Browser(const char *version) { M().registry.SetString(kExplorer, "Version", version); }
    void Controls(WORD major, WORD minor) {
        M().PutFile(kControls, "MZ");
        M().fileVersions[kControls].fileMS = MAKELONG(minor, major);
    }
    // A program of the machine; what the wait window showed while it ran
    // lands in `shown` ("" when there was none).
    void Program(const char *path, DWORD exitCode, std::string *shown = nullptr) {
        M().PutFile(path, "MZ");
        winsim::Program program;
        program.exitCode = exitCode;
        program.runMs = 30000;
        if (shown)
            program.effect = [shown](winsim::Machine &, const std::string &) {
                HWND wait = winsim::FindOpenDialog(138);
                *shown = wait ? winsim::DialogText(wait) : std::string();
            };
        M().programs[path] = program;
    }
    void Settings() {
        ActionPrologue(session_, "LaunchProductSetup", "Started", 0);
        M().installer.log.clear();
    }
    bool RestartAtEnd() {
        auto it = M().installer.modes.find(MSIRUNMODE_REBOOTATEND);
        return it != M().installer.modes.end() && it->second;
    }
    std::vector<std::string> Started() {
        std::vector<std::string> commands;
        for (auto &p : M().processLog) commands.push_back(p.commandLine);
        return commands;
    }
};

// ---- the browser version ---------------------------------------------------------------
TEST_F(LaunchSetup, BrowserVersionIsTheFirstAndLastNumber) {
    struct {
        const char *text;
        int major, minor;
    } cases[] = {{"4.72.3110.8", 4, 8}, {"5.00.2919.6307", 5, 6307}, {"6", 6, 0}, {"4.101", 4, 101}, {"", 0, 0}};
    for (auto &c : cases) {
        Browser(c.text);
        int major = -1, minor = -1;
        EXPECT_TRUE(GetIEVersion(&major, &minor)) << c.text;
        EXPECT_EQ(major, c.major) << c.text;
        EXPECT_EQ(minor, c.minor) << c.text;
    }
    int major = -1, minor = -1;
    M().registry.SetDword(kExplorer, "Version", 5);
    EXPECT_FALSE(GetIEVersion(&major, &minor));
    M().registry.Delete(kExplorer);
    EXPECT_FALSE(GetIEVersion(&major, &minor));
}

// ---- the browser update ------------------------------------------------------------------
TEST_F(LaunchSetup, AnOldBrowserIsUpdatedUnderTheWaitWindow) {
    Settings();
    Browser("4.72.3110.8");  // minor 8 is at most 101
    std::string shown;
    Program(kBrowserSetup, 0, &shown);
    EXPECT_EQ(UpdateInternetExplorer(session_), 1);
    EXPECT_EQ(Started(), std::vector<std::string>{kBrowserSetup});
    EXPECT_NE(shown.find(kWaitText), std::string::npos) << shown;
    EXPECT_TRUE(winsim::OpenDialogs().empty());  // destroyed afterwards
    std::vector<std::string> lines = {"CreateProcess - D:\\SETUP\\VM_SIE5.exe",
                                      "Launched D:\\SETUP\\VM_SIE5.exe successful"};
    EXPECT_EQ(Log(), lines);
}

TEST_F(LaunchSetup, WithoutABrowserVersionTheBrowserIsInstalled) {
    Settings();
    M().registry.Delete(kExplorer);
    Program(kBrowserSetup, 0);
    EXPECT_EQ(UpdateInternetExplorer(session_), 1);
    EXPECT_EQ(Started(), std::vector<std::string>{kBrowserSetup});
}

TEST_F(LaunchSetup, Browser4Point101IsTheLastOneReplaced) {
    Settings();
    Program(kBrowserSetup, 0);
    Browser("4.70.0.101");
    EXPECT_EQ(UpdateInternetExplorer(session_), 1);
    EXPECT_EQ(Started(), std::vector<std::string>{kBrowserSetup});
    Browser("4.72.3110.102");  // the common controls decide
    EXPECT_EQ(UpdateInternetExplorer(session_), 0);
    EXPECT_EQ(M().processLog.size(), 1u);
}

TEST_F(LaunchSetup, ACurrentBrowserWithCurrentControlsNeedsNothing) {
    Settings();
    Browser("5.00.2919.6307");
    for (WORD minor : {80, 81}) {
        M().installer.log.clear();
        Controls(5, minor);
        EXPECT_EQ(UpdateInternetExplorer(session_), 0);
        EXPECT_EQ(Log(), std::vector<std::string>{"the version of C:\\WINNT\\system32\\ComCTL32.dll  is 5." +
                                                  std::to_string(minor)});
    }
    Controls(6, 0);
    EXPECT_EQ(UpdateInternetExplorer(session_), 0);
    EXPECT_TRUE(M().processLog.empty());
}

TEST_F(LaunchSetup, OlderControlsAreUpdatedQuietlyWithoutARestart) {
    Settings();
    Browser("5.00.2919.6307");
    Controls(5, 79);
    std::string shown;
    Program(kControlsUpdate, ERROR_INSTALL_FAILURE, &shown);
    EXPECT_EQ(UpdateInternetExplorer(session_), 1);
    EXPECT_EQ(Started(), std::vector<std::string>{"D:\\SETUP\\50ComUpd.exe /Q:A /R:N"});
    EXPECT_NE(shown.find(kWaitText), std::string::npos) << shown;
    std::vector<std::string> lines = {"the version of C:\\WINNT\\system32\\ComCTL32.dll  is 5.79",
                                      "CreateProcess - D:\\SETUP\\50ComUpd.exe /Q:A /R:N",
                                      "Fatal error during installation.\r\n"};
    EXPECT_EQ(Log(), lines);
}

TEST_F(LaunchSetup, ControlsWithoutAVersionAreUpdated) {
    Settings();
    M().fileVersions.clear();
    Program(kControlsUpdate, 0);
    EXPECT_EQ(UpdateInternetExplorer(session_), 1);
    EXPECT_EQ(Log()[0], "CreateProcess - D:\\SETUP\\50ComUpd.exe /Q:A /R:N");
}

TEST_F(LaunchSetup, AnUpdateProgramThatCannotStartIsLogged) {
    Settings();
    Browser("3.02");
    EXPECT_EQ(UpdateInternetExplorer(session_), 0);
    std::vector<std::string> lines = {"CreateProcess - D:\\SETUP\\VM_SIE5.exe",
                                      "Failed to CreateProcess - D:\\SETUP\\VM_SIE5.exe"};
    EXPECT_EQ(Log(), lines);
    EXPECT_TRUE(winsim::OpenDialogs().empty());
}

// ---- the action ---------------------------------------------------------------------------
TEST_F(LaunchSetup, RegistersTheInstalledProduct) {
    InstalledProduct("C:\\Program Files\\Quillbak", true, true, false);
    InstallDouble("QLCORE", "C:\\Program Files\\Quillbak\\QLCORE.DLL");
    EXPECT_EQ(LaunchProductSetup(session_), 0u);
    auto log = Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[2], "LaunchProductSetup() - Started");
    EXPECT_EQ(PropOf("ERRORMSG"), "<unset>");  // this action reports nothing there
    // The record, the shell extension, the event source and the queue.
    tagProductStruct record;
    ASSERT_TRUE(CHarnRegistry::GetQuillbakProductInfo(&record));
    EXPECT_EQ(record.dwComponents, 15u);
    EXPECT_STREQ(g_Settings.QuillbakPath(), "C:\\Program Files\\Quillbak\\");
    EXPECT_FALSE(g_Settings.InstallManager());
    EXPECT_EQ(Text(kEventSource, "EventMessageFile"), "C:\\Program Files\\Quillbak\\QLLOG.DLL");
    EXPECT_NE(M().registry.Find("HKCR\\CLSID\\{e72925c0-b105-11cf-906f-0080d8001326}"), nullptr);
    EXPECT_NE(Env("QLCORE_CALLS").find("QSICreateQueue(0,AQ_HARN,0,C:\\Program Files\\Quillbak\\)"),
              std::string::npos);
    EXPECT_NE(Env("QLCORE_ADDED").find("type=18 "), std::string::npos);
    EXPECT_FALSE(RestartAtEnd());
}

TEST_F(LaunchSetup, WithoutTheServerOrAdminTheirRegistrationsAreLeftOut) {
    InstalledProduct("C:\\QB", false, false, true);
    EXPECT_EQ(LaunchProductSetup(session_), 0u);
    EXPECT_EQ(M().registry.Find(kEventSource), nullptr);
    EXPECT_EQ(M().registry.Find("HKCR\\CLSID\\{e72925c0-b105-11cf-906f-0080d8001326}"), nullptr);
    tagProductStruct record;
    ASSERT_TRUE(CHarnRegistry::GetQuillbakProductInfo(&record));
    EXPECT_EQ(record.dwComponents, 5u);
}

TEST_F(LaunchSetup, ARepairOnlyRenewsTheRecord) {
    InstalledProduct("C:\\QB");
    M().installer.modes[MSIRUNMODE_MAINTENANCE] = true;
    Prop("PRODSUBTYPE", "2");
    Browser("4.0");
    Program(kBrowserSetup, 0);
    EXPECT_EQ(LaunchProductSetup(session_), 0u);
    tagProductStruct record;
    ASSERT_TRUE(CHarnRegistry::GetQuillbakProductInfo(&record));
    EXPECT_EQ(record.bySubType, 2);
    EXPECT_TRUE(M().processLog.empty());
    EXPECT_EQ(M().registry.Find(kEventSource), nullptr);
    EXPECT_FALSE(RestartAtEnd());
}

TEST_F(LaunchSetup, TheAntiVirusInstallerThatRanAndSucceededAsksForARestart) {
    InstalledProduct("C:\\Program Files\\Quillbak");
    M().products[kProductCode].features["Vaxguard"] = INSTALLSTATE_LOCAL;
    Program("D:\\SETUP\\VaxInst.exe", 0);
    EXPECT_EQ(LaunchProductSetup(session_), 0u);
    ASSERT_EQ(M().processLog.size(), 1u);
    EXPECT_NE(M().processLog[0].commandLine.find("\"C:\\Program Files\\Vaxwall\""), std::string::npos);
    EXPECT_TRUE(RestartAtEnd());
}

TEST_F(LaunchSetup, NoRestartWhenNoAntiVirusInstallerRan) {
    InstalledProduct("C:\\QB");
    // Chosen, but its installer is not on the medium: the step says 0.
    M().products[kProductCode].features["Vaxguard"] = INSTALLSTATE_LOCAL;
    EXPECT_EQ(LaunchProductSetup(session_), 0u);
    EXPECT_TRUE(M().processLog.empty());
    EXPECT_FALSE(RestartAtEnd());
    // It ran and failed.
    Program("D:\\SETUP\\VaxInst.exe", ERROR_INSTALL_FAILURE);
    EXPECT_EQ(LaunchProductSetup(session_), 0u);
    EXPECT_EQ(M().processLog.size(), 1u);
    EXPECT_FALSE(RestartAtEnd());
    // Not chosen.
    M().products[kProductCode].features["Vaxguard"] = INSTALLSTATE_ABSENT;
    EXPECT_EQ(LaunchProductSetup(session_), 0u);
    EXPECT_EQ(M().processLog.size(), 1u);
    EXPECT_FALSE(RestartAtEnd());
}

TEST_F(LaunchSetup, ABrowserUpdateAsksForARestart) {
    InstalledProduct("C:\\QB");
    Browser("4.72.3110.8");
    Program(kBrowserSetup, 0);
    EXPECT_EQ(LaunchProductSetup(session_), 0u);
    EXPECT_TRUE(RestartAtEnd());
}

TEST_F(LaunchSetup, TheFurtherProductSetupRunsHiddenAndIsWaitedFor) {
    InstalledProduct("C:\\QB");
    M().PutFile("D:\\SETUP\\QLBSETUP.INF", "[Support]\r\nProductName=Quillbak Agent\r\nSetupFileName=AGENT\\SETUP.EXE\r\n");
    std::string shown;
    Program("D:\\SETUP\\AGENT\\SETUP.EXE", 3, &shown);
    EXPECT_EQ(LaunchProductSetup(session_), 0u);
    ASSERT_EQ(M().processLog.size(), 1u);
    EXPECT_EQ(M().processLog[0].commandLine, "D:\\SETUP\\AGENT\\SETUP.EXE");
    EXPECT_EQ(M().processLog[0].currentDirectory, "D:\\SETUP\\AGENT");
    EXPECT_NE(shown.find("Quillbak Agent, please wait ..."), std::string::npos) << shown;
    EXPECT_TRUE(winsim::OpenDialogs().empty());
    EXPECT_EQ(Log().back(), " - D:\\SETUP\\AGENT\\SETUP.EXE");
    EXPECT_FALSE(RestartAtEnd());
    // Without a product name there is no wait window; a missing file is skipped.
    M().processLog.clear();
    M().PutFile("D:\\SETUP\\QLBSETUP.INF", "[Support]\r\nSetupFileName=AGENT\\SETUP.EXE\r\n");
    EXPECT_EQ(LaunchProductSetup(session_), 0u);
    EXPECT_EQ(M().processLog.size(), 1u);
    EXPECT_EQ(shown, "");
    M().processLog.clear();
    M().PutFile("D:\\SETUP\\QLBSETUP.INF", "[Support]\r\nSetupFileName=AGENT\\MISSING.EXE\r\n");
    EXPECT_EQ(LaunchProductSetup(session_), 0u);
    EXPECT_TRUE(M().processLog.empty());
}

TEST_F(LaunchSetup, TheFrameworkSetupIsStartedAndLeftRunning) {
    InstalledProduct("C:\\QB");
    M().PutFile("D:\\SETUP\\QLBSETUP.INF",
                "[Setup]\r\nProdSubType=2\r\n[Components]\r\nPNRFrameWork=1\r\nPNRFrameWorkSetupFileName=PNR\\SETUP.EXE\r\n");
    const char *setup = "D:\\SETUP\\PNR\\SETUP.EXE";
    Program(setup, 0);
    // Without the framework on the machine nothing starts.
    EXPECT_EQ(LaunchProductSetup(session_), 0u);
    EXPECT_TRUE(M().processLog.empty());
    M().registry.Create("HKLM\\SOFTWARE\\Veltmark\\VM-Panorel/PNR\\WorldView");
    EXPECT_EQ(LaunchProductSetup(session_), 0u);
    ASSERT_EQ(M().processLog.size(), 1u);
    EXPECT_EQ(M().processLog[0].commandLine, setup);
    EXPECT_EQ(M().processLog[0].currentDirectory, "D:\\SETUP\\PNR");
    // Not waited for: it still runs when the action returns.
    bool running = false;
    for (auto &p : winsim::SnapshotProcesses(M()))
        if (winsim::EqualNoCase(p.image, setup)) running = p.running;
    EXPECT_TRUE(running);
    // Not for edition 1.
    M().processLog.clear();
    M().PutFile("D:\\SETUP\\QLBSETUP.INF",
                "[Setup]\r\nProdSubType=1\r\n[Components]\r\nPNRFrameWork=1\r\nPNRFrameWorkSetupFileName=PNR\\SETUP.EXE\r\n");
    EXPECT_EQ(LaunchProductSetup(session_), 0u);
    EXPECT_TRUE(M().processLog.empty());
}

}  // namespace
