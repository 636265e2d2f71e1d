// The companion anti-virus product: its installer from the setup directory,
// run when its feature is chosen and the user agrees, into the directory
// beside the product's.
#include "action_fixture.h"

#include "actions/Auxiliary.h"
#include "actions/Frame.h"

namespace {

const char kProductCode[] = "{3B6F08D4-F5E2-11D3-90B2-00A0245DF264}";
const char kInstaller[] = "D:\\SETUP\\VaxInst.exe";
const std::string kOptions = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\ProductOptions";

class AntiVirusSetup : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        SetupMedium();
        M().PutFile("D:\\SETUP\\QLBSETUP.INF",
                    "[Components]\r\nVAXWALLSERVER=VAX\\SERVER.PKG\r\nVAXWALLWORKSTATION=VAX\\WKS.PKG\r\n");
        ActionPrologue(session_, "LaunchProductSetup", "Started", 0);
        g_Settings.QuillbakPath("C:\\Program Files\\Quillbak\\");
        M().installer.log.clear();
        Feature(INSTALLSTATE_LOCAL);
    }
    void Feature(int state) { M().products[kProductCode].features["Vaxguard"] = state; }
    void Installer(DWORD exitCode) {
        M().PutFile(kInstaller, "MZ");
        winsim::Program program;
        program.exitCode = exitCode;
        program.runMs = 60000;
        M().programs[kInstaller] = program;
    }
};

TEST_F(AntiVirusSetup, InstalledBesideTheProduct) {
    Installer(0);
    M().scriptedAnswers = {IDYES};
    EXPECT_EQ(InstallVaxwall(session_), 0u);
    ASSERT_EQ(M().messageBoxes.size(), 1u);
    EXPECT_EQ(M().messageBoxes[0].owner, GetDesktopWindow());
    EXPECT_EQ(M().messageBoxes[0].caption, "Quillbak");
    EXPECT_EQ(M().messageBoxes[0].style, (UINT)(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(M().messageBoxes[0].text.rfind("Setup is about to install Vaxwall anti-virus protection.", 0), 0u);
    ASSERT_EQ(M().processLog.size(), 1u);
    const std::string command = "D:\\SETUP\\VaxInst.exe  D:\\SETUP\\VAX\\SERVER.PKG \"C:\\Program Files\\Vaxwall\" ";
    EXPECT_EQ(M().processLog[0].commandLine, command);
    EXPECT_EQ(M().processLog[0].currentDirectory, "D:\\SETUP");
    std::vector<std::string> lines = {" - Vaxguard Feature State (3)", "Launch - " + command,
                                      " - Launched D:\\SETUP\\VAX\\SERVER.PKG successful"};
    EXPECT_EQ(Log(), lines);
}

TEST_F(AntiVirusSetup, TheTargetIsTheParentOfTheProductsDirectory) {
    Installer(0);
    Prop("UILevel", "2");
    struct {
        const char *product, *target;
    } cases[] = {{"C:\\Quillbak\\", "C:\\Vaxwall"}, {"E:\\Apps\\Backup\\Quillbak", "E:\\Apps\\Backup\\Vaxwall"}};
    for (auto &c : cases) {
        M().processLog.clear();
        g_Settings.QuillbakPath(c.product);
        EXPECT_EQ(InstallVaxwall(session_), 0u);
        ASSERT_EQ(M().processLog.size(), 1u);
        EXPECT_NE(M().processLog[0].commandLine.find(std::string(" \"") + c.target + "\" "), std::string::npos)
            << M().processLog[0].commandLine;
    }
}

TEST_F(AntiVirusSetup, AWorkstationTakesItsOwnPackage) {
    Installer(0);
    Prop("UILevel", "2");
    M().registry.SetString(kOptions, "ProductType", "winnt");  // any letter case
    EXPECT_FALSE(IsNtServer());
    EXPECT_EQ(InstallVaxwall(session_), 0u);
    ASSERT_EQ(M().processLog.size(), 1u);
    EXPECT_NE(M().processLog[0].commandLine.find(" D:\\SETUP\\VAX\\WKS.PKG "), std::string::npos);
}

TEST_F(AntiVirusSetup, ServerOrNot) {
    M().registry.SetString(kOptions, "ProductType", "LanmanNT");
    EXPECT_TRUE(IsNtServer());
    M().registry.SetString(kOptions, "ProductType", "ServerNT");
    EXPECT_TRUE(IsNtServer());
    M().registry.SetString(kOptions, "ProductType", "WinNT");
    EXPECT_FALSE(IsNtServer());
    M().platformId = VER_PLATFORM_WIN32_WINDOWS;
    M().registry.SetString(kOptions, "ProductType", "ServerNT");
    EXPECT_FALSE(IsNtServer());
}

TEST_F(AntiVirusSetup, AFeatureNotChosenStartsNothing) {
    Installer(0);
    for (int state : {INSTALLSTATE_ABSENT, INSTALLSTATE_SOURCE}) {
        M().installer.log.clear();
        Feature(state);
        EXPECT_EQ(InstallVaxwall(session_), 1u);
        std::vector<std::string> lines = {" - Vaxguard Feature State (" + std::to_string(state) + ")",
                                          " - VAXWALL is not select"};
        EXPECT_EQ(Log(), lines);
    }
    M().products.clear();
    M().installer.log.clear();
    EXPECT_EQ(InstallVaxwall(session_), 1u);
    EXPECT_EQ(Log()[0], " - Vaxguard Feature State (-1)");
    EXPECT_TRUE(M().processLog.empty());
    EXPECT_TRUE(M().messageBoxes.empty());
}

TEST_F(AntiVirusSetup, TheUserDeclines) {
    Installer(0);
    M().scriptedAnswers = {IDNO};
    EXPECT_EQ(InstallVaxwall(session_), 1u);
    EXPECT_EQ(M().messageBoxes.size(), 1u);
    EXPECT_TRUE(M().processLog.empty());
}

TEST_F(AntiVirusSetup, ASilentRunAsksNothing) {
    Installer(0);
    Prop("UILevel", "2");
    EXPECT_EQ(InstallVaxwall(session_), 0u);
    EXPECT_TRUE(M().messageBoxes.empty());
    EXPECT_EQ(M().processLog.size(), 1u);
}

TEST_F(AntiVirusSetup, TheInstallersExitCodeIsTheResult) {
    Installer(ERROR_ACCESS_DENIED);
    Prop("UILevel", "2");
    BOOL started = FALSE;
    EXPECT_EQ(RunVaxwallSetup(session_, &started), (UINT)ERROR_ACCESS_DENIED);
    EXPECT_TRUE(started);
    EXPECT_EQ(Log().back(), " - Access is denied.\r\n");
}

TEST_F(AntiVirusSetup, AMissingInstallerStartsNothingAndSaysZero) {
    Prop("UILevel", "2");
    BOOL started = TRUE;
    EXPECT_EQ(RunVaxwallSetup(session_, &started), 0u);
    EXPECT_FALSE(started);
    EXPECT_TRUE(M().processLog.empty());
    EXPECT_EQ(Log(), std::vector<std::string>{" - Vaxguard Feature State (3)"});
}

TEST_F(AntiVirusSetup, AnInstallerThatCannotStartIsLogged) {
    Installer(0);
    Prop("UILevel", "2");
    winsim::InjectFault("CreateProcessA", ERROR_NOT_ENOUGH_MEMORY);
    BOOL started = TRUE;
    EXPECT_EQ(RunVaxwallSetup(session_, &started), 0u);
    EXPECT_FALSE(started);
    EXPECT_EQ(Log().back(),
              " - Failed to launch D:\\SETUP\\VaxInst.exe  D:\\SETUP\\VAX\\SERVER.PKG \"C:\\Program Files\\Vaxwall\" ");
}

TEST_F(AntiVirusSetup, NoPackageNamedGivesAnEmptyPackage) {
    M().PutFile("D:\\SETUP\\QLBSETUP.INF", "[Components]\r\n");
    Installer(0);
    Prop("UILevel", "2");
    EXPECT_EQ(InstallVaxwall(session_), 0u);
    ASSERT_EQ(M().processLog.size(), 1u);
    EXPECT_EQ(M().processLog[0].commandLine, "D:\\SETUP\\VaxInst.exe   \"C:\\Program Files\\Vaxwall\" ");
}

}  // namespace
