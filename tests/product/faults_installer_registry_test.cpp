// Failures of the installer session's calls and of the registry calls the
// library makes: each made to fail inside the product, with what the caller
// does then (its result, its log, what stays in the registry, what stays open).
#include "action_fixture.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <winsim/machine.h>

#include <cstring>
#include <string>
#include <vector>

#include "actions/Auxiliary.h"
#include "actions/Checks.h"
#include "actions/Frame.h"
#include "actions/PostInstall.h"
#include "actions/PreInstall.h"
#include "doubles.h"
#include "registry/HarnRegistry.h"

namespace {

const char kProductCode[] = "{3B6F08D4-F5E2-11D3-90B2-00A0245DF264}";
const std::string kAgents = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\ExtensionAgents";

// ---- the installer session -----------------------------------------------------------------
class InstallerFaults : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        SetupMedium();
    }
    void Settings(const char *action = "PreInstall") {
        ActionPrologue(session_, action, "Started", 0);
        M().installer.log.clear();
    }
};

TEST_F(InstallerFaults, AMessageTheInstallerRefusesIsReportedAndItsRecordClosed) {
    std::string open = winsim::DescribeOpenHandles();
    winsim::InjectFault("MsiProcessMessage", ERROR_INVALID_HANDLE);
    EXPECT_EQ(LogLine(session_, "PreInstall() - %s", "Started"), -1);
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(winsim::DescribeOpenHandles(), open);
    EXPECT_EQ(LogLine(session_, "PreInstall() - %s", "Started"), 0);
    EXPECT_EQ(Log(), std::vector<std::string>{"PreInstall() - Started"});
}

TEST_F(InstallerFaults, ARecordWithoutItsTextIsNotSent) {
    std::string open = winsim::DescribeOpenHandles();
    winsim::InjectFault("MsiRecordSetStringA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(LogLine(session_, "SetQuillbakDatabaseType() - SELECTDBTYPE is %s", "SQL"), -1);
    EXPECT_TRUE(M().installer.log.empty());
    winsim::InjectFault("MsiRecordSetStringA", ERROR_NOT_ENOUGH_MEMORY);
    ShowInstallerWarning(session_, "SQLDBUninstall failed [3]");
    EXPECT_TRUE(M().installer.log.empty());
    EXPECT_TRUE(M().messageBoxes.empty());
    EXPECT_EQ(winsim::DescribeOpenHandles(), open);
    ShowInstallerWarning(session_, "SQLDBUninstall failed [3]");
    EXPECT_EQ(Log(INSTALLMESSAGE_WARNING), std::vector<std::string>{"SQLDBUninstall failed [3]"});
}

TEST_F(InstallerFaults, ARecordThatCannotBeClosedStillCarriesTheLine) {
    std::string open = winsim::DescribeOpenHandles();
    winsim::InjectFault("MsiCloseHandle", ERROR_INVALID_HANDLE);
    EXPECT_EQ(LogLine(session_, "PreInstall() - %s", "Started"), 0);
    EXPECT_EQ(Log(), std::vector<std::string>{"PreInstall() - Started"});
    EXPECT_NE(winsim::DescribeOpenHandles(), open);  // the record, by design
    winsim::ForgetOpenHandles();
}

TEST_F(InstallerFaults, AnUnreadableInstallSourceFallsBackToTheProgramsFolder) {
    M().installer.properties.erase("SETUPDIR");
    M().products[kProductCode].info["InstallSource"] = "F:\\Registered\\";
    winsim::InjectFault("MsiGetProductInfoA", ERROR_BAD_CONFIGURATION);
    tagSETUP_INFO info;
    EXPECT_EQ(SetSetupInfo(session_, &info, 0), 1);
    EXPECT_STREQ(g_Settings.SourcePath(), "C:\\WINNT\\system32\\");
    EXPECT_STREQ(g_Settings.BatchFile(), "C:\\WINNT\\system32\\QUILLBAK.ICF");
}

TEST_F(InstallerFaults, AnUnreadableDatabaseTypeChangesNoFeature) {
    M().installer.features["VLDB"];
    M().installer.features["SQL"];
    Prop("SELECTDBTYPE", "MSSQL");
    winsim::InjectFault("MsiGetPropertyA", ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetQuillbakDatabaseType(session_), QL_SUCCESS);
    EXPECT_EQ(M().installer.features["VLDB"].action, -1);
    EXPECT_EQ(M().installer.features["SQL"].action, -1);
    EXPECT_TRUE(Log().empty());
}

TEST_F(InstallerFaults, APatchIsRefusedWhenTheProductsStateCannotBeHad) {
    M().PutFile("D:\\SETUP\\QLBSETUP.INF", "[Setup]\r\nProdSubType=1\r\n");
    M().products[kProductCode].state = INSTALLSTATE_DEFAULT;
    Prop("PATCH", "D:\\SETUP\\QB701.MSP");
    winsim::InjectFault("MsiQueryProductStateA", ERROR_INVALID_PARAMETER);
    EXPECT_EQ(AllowInstall(session_), QL_USER_EXIT);
    EXPECT_EQ(PropOf("ERRORMSG"), "Setup cannot find the proper version of Quillbak to perform the upgrade.");
    EXPECT_EQ(PropOf("QUILLBAKEXIST"), "<unset>");
    EXPECT_GE(winsim::CallCount("MsiQueryProductStateA"), 1u);
    EXPECT_EQ(AllowInstall(session_), QL_SUCCESS);  // the state read: the patch goes on
}

TEST_F(InstallerFaults, AnUnknownAntiVirusFeatureStateInstallsNothing) {
    M().PutFile("D:\\SETUP\\QLBSETUP.INF", "[Components]\r\nVAXWALLSERVER=VAX\\SERVER.PKG\r\n");
    M().PutFile("D:\\SETUP\\VaxInst.exe", "MZ");
    Settings("LaunchProductSetup");
    g_Settings.QuillbakPath("C:\\Program Files\\Quillbak\\");
    M().products[kProductCode].features["Vaxguard"] = INSTALLSTATE_LOCAL;
    winsim::InjectFault("MsiQueryFeatureStateA", ERROR_UNKNOWN_FEATURE);
    BOOL started = TRUE;
    EXPECT_EQ(RunVaxwallSetup(session_, &started), QL_FAILURE);
    EXPECT_FALSE(started);
    EXPECT_EQ(Log(), (std::vector<std::string>{" - Vaxguard Feature State (-1)", " - VAXWALL is not select"}));
    EXPECT_TRUE(M().processLog.empty());
    EXPECT_TRUE(M().messageBoxes.empty());
}

TEST_F(InstallerFaults, AFeatureTheInstallerCannotSelectIsLoggedAndTheOtherStillChosen) {
    M().installer.features["Server"] = winsim::Feature();
    M().installer.features["Admin"] = winsim::Feature();
    M().PutFile("D:\\SETUP\\QUILLBAK.ICF", "[Install]\r\nQLBServer=1\r\nQLBServerAdmin=1\r\n");
    Settings();
    winsim::InjectFault("MsiSetFeatureStateA", ERROR_UNKNOWN_FEATURE);
    EXPECT_EQ(SetCustomInstall(session_), 1);
    std::vector<std::string> lines = {"SetCustomInstall() - read D:\\SETUP\\QUILLBAK.ICF", " - Server is selected",
                                      " - MsiSetFeatureState Server (Err = 1606)", " - Admin is selected"};
    EXPECT_EQ(Log(), lines);
    EXPECT_EQ(PropOf("INSTALLSERVER"), "TRUE");
    EXPECT_EQ(M().installer.features["Server"].action, -1);
    EXPECT_EQ(M().installer.features["Admin"].action, (int)INSTALLSTATE_LOCAL);
}

TEST_F(InstallerFaults, ARefusalStaysARefusalWhenItsMessageCannotBeSet) {
    winsim::Account &a = M().AddAccount("bob", SidTypeUser);
    M().aliasMembers["S-1-5-32-545"].insert(a.sid);
    M().userName = "bob";
    // The first property set is the prologue's "NONE", the second the refusal.
    winsim::InjectFault("MsiSetPropertyA", ERROR_FUNCTION_FAILED, winsim::FaultMode::Nth, 2);
    EXPECT_EQ(AllowUninstall(session_), QL_USER_EXIT);
    EXPECT_EQ(PropOf("ERRORMSG"), "NONE");
    EXPECT_GE(winsim::CallCount("MsiSetPropertyA"), 2u);
}

// The restart left to the package in a silent run.
class RestartFaults : public InstallerFaults {
protected:
    void SetUp() override {
        InstallerFaults::SetUp();
        M().PutFile("D:\\SETUP\\QLBSETUP.INF", "[Setup]\r\nProdSubType=1\r\n");
        InstallDouble("QLBSETUP", "D:\\SETUP\\QLBSETUP.DLL");
        InstalledProduct("C:\\Program Files\\Quillbak");
        for (const char *name : {"QLMsgEngine", "QLDiscoverySvc", "VM SAN Agent"}) {
            winsim::ServiceConfig c;
            c.name = name;
            c.imagePath = "C:\\x.exe";
            winsim::AddService(M(), c, SERVICE_STOPPED);
        }
        Prop("UILevel", "2");
    }
    bool Mode(MSIRUNMODE mode) { return MsiGetMode(session_, mode) != FALSE; }
};

TEST_F(RestartFaults, ARestartModeThatCannotBeClearedStillLeavesTheRestartToThePackage) {
    MsiSetMode(session_, MSIRUNMODE_REBOOTATEND, TRUE);
    MsiSetMode(session_, MSIRUNMODE_REBOOTNOW, TRUE);
    winsim::InjectFault("MsiSetMode", ERROR_ACCESS_DENIED);
    EXPECT_EQ(PostInstall(session_), QL_SUCCESS);
    EXPECT_GE(winsim::CallCount("MsiSetMode"), 2u);
    EXPECT_TRUE(Mode(MSIRUNMODE_REBOOTATEND));  // the failed one
    EXPECT_FALSE(Mode(MSIRUNMODE_REBOOTNOW));   // still tried
    EXPECT_EQ(PropOf("SILENTMODE"), "TRUE");
}

// ---- the registry ----------------------------------------------------------------------------
winsim::Registry &Reg() { return winsim::LocalMachine().registry; }

std::string TextOf(const std::string &key, const std::string &value) {
    std::string text;
    return Reg().GetString(key, value, text) ? text : "<none>";
}

TEST(RegistryFaults, AnAgentListThatCannotBeFlushedStillHoldsTheRegistration) {
    Reg().Create(kAgents);
    std::string open = winsim::DescribeOpenHandles();
    winsim::InjectFault("RegFlushKey", ERROR_ACCESS_DENIED);
    EXPECT_EQ(CHarnRegistry::SetSNMPRegistry("SOFTWARE\\A\\SNMP"), 1);
    EXPECT_EQ(winsim::CallCount("RegFlushKey"), 1u);
    EXPECT_EQ(TextOf(kAgents, "1"), "SOFTWARE\\A\\SNMP");
    EXPECT_EQ(winsim::DescribeOpenHandles(), open);
}

TEST(RegistryFaults, AKeyThatCannotBeClosedStillReportsTheRegistration) {
    Reg().Create(kAgents);
    std::string open = winsim::DescribeOpenHandles();
    winsim::InjectFault("RegCloseKey", ERROR_INVALID_HANDLE);
    EXPECT_EQ(CHarnRegistry::SetSNMPRegistry("SOFTWARE\\A\\SNMP"), 1);
    EXPECT_EQ(TextOf(kAgents, "1"), "SOFTWARE\\A\\SNMP");
    EXPECT_NE(winsim::DescribeOpenHandles().find("Key"), std::string::npos) << winsim::DescribeOpenHandles();
    EXPECT_NE(winsim::DescribeOpenHandles(), open);
    // The next registration finds the first one.
    EXPECT_EQ(CHarnRegistry::SetSNMPRegistry("SOFTWARE\\B\\SNMP"), 1);
    EXPECT_EQ(TextOf(kAgents, "2"), "SOFTWARE\\B\\SNMP");
    winsim::ForgetOpenHandles();
}

TEST(RegistryFaults, AnUncountableRecordKeyIsKeptWhenItsRecordGoes) {
    InstallDouble("HarnProd", "C:\\WINNT\\system32\\HarnProd.dll");
    tagSETUP_INFO info;
    memset(&info, 0, sizeof info);
    info.lProductType = 36;  // "NTAgent"
    CSettings s(&info, 1);
    s.Initialize();
    ASSERT_STREQ(s.Product(), "NTAgent");
    const std::string old = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\OldDBAgents";
    Reg().SetString(old, "NTAgent", "record");
    struct Remover : public CHarnRegistry {
        explicit Remover(CSettings &settings) : CHarnRegistry(settings, 0, NULL) {}
    } registry(s);
    std::string open = winsim::DescribeOpenHandles();
    winsim::InjectFault("RegQueryInfoKeyA", ERROR_ACCESS_DENIED);
    registry.DeleteOldProdDscrpt();
    EXPECT_EQ(winsim::CallCount("RegQueryInfoKeyA"), 1u);
    // Not known to be empty: the key stays, without the record.
    ASSERT_NE(Reg().Find(old), nullptr);
    EXPECT_EQ(Reg().Find(old)->FindValue("NTAgent"), nullptr);
    EXPECT_EQ(winsim::DescribeOpenHandles(), open);
    registry.DeleteOldProdDscrpt();
    EXPECT_EQ(Reg().Find(old), nullptr);
}

}  // namespace
