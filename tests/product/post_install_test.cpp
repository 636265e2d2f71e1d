// PostInstall through the exported action: the SAN agent, the support
// addresses, the home share, the clean-up of earlier versions, the setup
// notification, and the restart decision by sub-type, "REBOOT" and the
// installer's restart modes, with the message engine and the database
// conversion only when no restart is due.
#include "action_fixture.h"

#include <winsim/shell_folders.h>

#include "actions/Frame.h"
#include "actions/PostInstall.h"
#include "doubles.h"

#include <shlobj.h>

namespace {

const char kHome[] = "C:\\Program Files\\Quillbak";
const char kMsg80[] = "You must restart your system for the configuration changes made to Quillbak 2000 to take effect.";

class PostInstallTest : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        SetupMedium();
        SubType(1);
        InstallDouble("QLBSETUP", "D:\\SETUP\\QLBSETUP.DLL");
        InstalledProduct(kHome);
        for (const char *name : {"QLMsgEngine", "QLDiscoverySvc", "VM SAN Agent"}) {
            winsim::ServiceConfig c;
            c.name = name;
            c.imagePath = "C:\\x.exe";
            winsim::AddService(M(), c, strcmp(name, "QLDiscoverySvc") == 0 ? SERVICE_RUNNING : SERVICE_STOPPED);
        }
        M().PutFile(std::string(kHome) + "\\QLBACKUP.EXE", "old");
        M().PutFile(std::string(kPrograms()) + "\\Quillbak for Windows NT\\a.lnk", "x");
        M().PutFile(std::string(kPrograms()) + "\\QuillbakIT for Windows NT\\b.lnk", "x");
        M().registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuillbakNT",
                               "DisplayName", "Quillbak");
    }
    static std::string kPrograms() { return winsim::SpecialFolderPath(CSIDL_COMMON_PROGRAMS); }
    void SubType(int n) {
        M().PutFile("D:\\SETUP\\QLBSETUP.INF", "[Setup]\r\nProdSubType=" + std::to_string(n) + "\r\n");
    }
    bool Started(const char *name) { return winsim::ServiceState(M(), name) == SERVICE_RUNNING; }
    bool Mode(MSIRUNMODE mode) { return MsiGetMode(session_, mode) != FALSE; }
};

TEST_F(PostInstallTest, AFirstInstallIsConfigured) {
    EXPECT_EQ(PostInstall(session_), 0u);
    ASSERT_EQ(M().shares.count("Quillbak$"), 1u);
    EXPECT_EQ(M().shares["Quillbak$"].path, kHome);
    EXPECT_EQ(Text(std::string(kBase) + "\\QLMgr", "ENews"), "http://www.veltmark.example/quillbak/enews.htm");
    EXPECT_FALSE(M().Exists(std::string(kHome) + "\\QLBACKUP.EXE"));
    EXPECT_FALSE(M().Exists(kPrograms() + "\\Quillbak for Windows NT"));
    EXPECT_FALSE(M().Exists(kPrograms() + "\\QuillbakIT for Windows NT"));
    EXPECT_EQ(M().registry.Find("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuillbakNT"), nullptr);
    EXPECT_EQ(Env("QLBSETUP_CALLS"), "QLBInstallNotify(Quillbak)");
    EXPECT_TRUE(Started("QLMsgEngine"));
    EXPECT_TRUE(Started("QLDiscoverySvc"));
    EXPECT_FALSE(Started("VM SAN Agent"));
    EXPECT_EQ(PropOf("SILENTMODE"), "<unset>");

    std::vector<std::string> log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "PostInstall() - Started");
    EXPECT_TRUE(Logged("PostInstall() - Not PATCH mode"));
    EXPECT_TRUE(Logged("PostInstall() - Before CreateQuillbakHomeShare()"));
    EXPECT_TRUE(Logged("PostInstall() - Started Quillbak Message Engine"));
    EXPECT_TRUE(Logged("RefreshDiscoveryTable() - Refresh completed successfully."));
    EXPECT_FALSE(Logged(std::string("PostInstall() - ") + kMsg80));
    EXPECT_EQ(winsim::ComInitializations(), 0);
    EXPECT_EQ(winsim::OutstandingItemLists(), 0u);
}

TEST_F(PostInstallTest, SubTypeZeroNeverRestartsNorStartsTheMessageEngine) {
    SubType(0);
    MsiSetMode(session_, MSIRUNMODE_REBOOTATEND, TRUE);
    MsiSetMode(session_, MSIRUNMODE_REBOOTNOW, TRUE);
    Prop("REBOOT", "Force");
    EXPECT_EQ(PostInstall(session_), 0u);
    EXPECT_FALSE(Mode(MSIRUNMODE_REBOOTATEND));
    EXPECT_FALSE(Mode(MSIRUNMODE_REBOOTNOW));
    EXPECT_FALSE(Started("QLMsgEngine"));
    EXPECT_FALSE(Logged("PostInstall() - REBOOT flag is < Force >"));
    EXPECT_FALSE(Logged(std::string("PostInstall() - ") + kMsg80));
    EXPECT_TRUE(Logged("RefreshDiscoveryTable() - Refresh completed successfully."));
}

TEST_F(PostInstallTest, SubTypeZeroStillOffersTheConversion) {
    SubType(0);
    ExistingDatabaseType = 0;
    M().PutFile(std::string(kHome) + "\\Database.141\\DATA.DB", std::string(3000, 'x'));
    M().scriptedAnswers = {IDNO};
    PostInstall(session_);
    ExistingDatabaseType = -1;
    bool asked = false;
    for (auto &box : M().messageBoxes) asked = asked || box.style == (UINT)(MB_YESNO | MB_ICONINFORMATION);
    EXPECT_TRUE(asked);
}

TEST_F(PostInstallTest, AForcedRestartSkipsConversionAndMessageEngine) {
    Prop("REBOOT", "Force");
    ExistingDatabaseType = 0;
    M().PutFile(std::string(kHome) + "\\Database.141\\DATA.DB", std::string(3000, 'x'));
    EXPECT_EQ(PostInstall(session_), 0u);
    ExistingDatabaseType = -1;
    EXPECT_TRUE(Logged("PostInstall() - REBOOT flag is < Force >"));
    EXPECT_TRUE(Logged(std::string("PostInstall() - ") + kMsg80));
    EXPECT_FALSE(Started("QLMsgEngine"));
    EXPECT_TRUE(M().messageBoxes.empty());
    EXPECT_TRUE(Logged("RefreshDiscoveryTable() - Refresh completed successfully."));
    // Not silent: the installer asks for the restart itself.
    EXPECT_EQ(PropOf("SILENTMODE"), "<unset>");
}

TEST_F(PostInstallTest, TheForceSearchIsCaseSensitive) {
    Prop("REBOOT", "force");
    PostInstall(session_);
    EXPECT_FALSE(Logged(std::string("PostInstall() - ") + kMsg80));
    EXPECT_TRUE(Started("QLMsgEngine"));
}

TEST_F(PostInstallTest, APendingRestartOfTheInstallerCounts) {
    for (MSIRUNMODE mode : {MSIRUNMODE_REBOOTATEND, MSIRUNMODE_REBOOTNOW}) {
        M().installer.log.clear();
        MsiSetMode(session_, MSIRUNMODE_REBOOTATEND, FALSE);
        MsiSetMode(session_, MSIRUNMODE_REBOOTNOW, FALSE);
        MsiSetMode(session_, mode, TRUE);
        PostInstall(session_);
        EXPECT_TRUE(Logged(std::string("PostInstall() - ") + kMsg80)) << mode;
        EXPECT_TRUE(Mode(mode)) << mode;
        EXPECT_FALSE(Started("QLMsgEngine")) << mode;
    }
}

TEST_F(PostInstallTest, ASilentRunLeavesTheRestartToThePackage) {
    Prop("UILevel", "2");
    MsiSetMode(session_, MSIRUNMODE_REBOOTATEND, TRUE);
    PostInstall(session_);
    EXPECT_EQ(PropOf("SILENTMODE"), "TRUE");
    EXPECT_FALSE(Mode(MSIRUNMODE_REBOOTATEND));
    EXPECT_FALSE(Mode(MSIRUNMODE_REBOOTNOW));
}

TEST_F(PostInstallTest, APatchRunSkipsTheShareAndTheCleanUp) {
    Prop("PATCH", "D:\\fix.msp");
    EXPECT_EQ(PostInstall(session_), 0u);
    EXPECT_TRUE(Logged("PostInstall() - PATCH mode"));
    EXPECT_FALSE(Logged("PostInstall() - Not PATCH mode"));
    EXPECT_EQ(M().shares.count("Quillbak$"), 0u);
    EXPECT_TRUE(M().Exists(std::string(kHome) + "\\QLBACKUP.EXE"));
    EXPECT_TRUE(M().Exists(kPrograms() + "\\Quillbak for Windows NT\\a.lnk"));
    EXPECT_NE(M().registry.Find("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuillbakNT"), nullptr);
    EXPECT_EQ(Env("QLBSETUP_CALLS"), "");
    // The support addresses are written in every run.
    EXPECT_EQ(Text(std::string(kBase) + "\\QLMgr", "ENews"), "http://www.veltmark.example/quillbak/enews.htm");
}

TEST_F(PostInstallTest, TheSanAgentComesBackOnlyForExactlyTrue) {
    Prop("SANAGENTSTOPPED", "true");
    PostInstall(session_);
    EXPECT_FALSE(Started("VM SAN Agent"));
    Prop("SANAGENTSTOPPED", "TRUE");
    PostInstall(session_);
    EXPECT_TRUE(Started("VM SAN Agent"));
    EXPECT_TRUE(Logged("PostInstall() - will start VM SAN agent."));
}

TEST_F(PostInstallTest, AnExistingShareOfTheHomeIsKept) {
    winsim::Share share;
    share.path = "c:\\PROGRAM FILES\\quillbak";
    share.remark = "kept";
    M().shares["Quillbak$"] = share;
    PostInstall(session_);
    EXPECT_EQ(M().shares["Quillbak$"].remark, "kept");
    EXPECT_TRUE(Logged(" - Quillbak$ has been created, Keep it there"));
}

TEST_F(PostInstallTest, TheRemovableStorageAnswerReachesTheUser) {
    InstallDouble("QLBNTMSD", std::string(kHome) + "\\QLBNTMSD.DLL");
    Env("QLBNTMSD_RESULT") = "1";
    PostInstall(session_);
    std::vector<std::string> warnings = Log(INSTALLMESSAGE_WARNING);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].substr(0, 20), "\"Removable Storage\" ");
}

TEST_F(PostInstallTest, FailuresDoNotStopTheConfiguration) {
    winsim::InjectFault("NetShareAdd", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    winsim::InjectFault("StartServiceA", ERROR_SERVICE_DISABLED, winsim::FaultMode::Always);
    EXPECT_EQ(PostInstall(session_), 0u);
    winsim::ClearFaults();
    EXPECT_EQ(M().shares.count("Quillbak$"), 0u);
    EXPECT_TRUE(Logged(" - Failed to create Quillbak$ Share in CreateShare()"));
    EXPECT_TRUE(Logged("RefreshDiscoveryTable() - ERROR Starting Discovery Service."));
    EXPECT_FALSE(M().Exists(std::string(kHome) + "\\QLBACKUP.EXE"));
    EXPECT_EQ(Env("QLBSETUP_CALLS"), "QLBInstallNotify(Quillbak)");
}

}  // namespace
