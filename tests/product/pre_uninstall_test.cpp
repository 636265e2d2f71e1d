// PreUninstall through the exported action: services stopped, the registry
// values and event sources it owns removed, the data and the share gone with
// the product, the home handed to the installer, the database type read
// before its key goes; PostUninstall touches nothing.
#include "action_fixture.h"

#include <shlobj.h>

#include "actions/Checks.h"
#include "actions/Frame.h"
#include "actions/Uninstall.h"
#include "registry/HarnRegistry.h"
#include "doubles.h"

#include <cstring>

namespace {

const char kHome[] = "C:\\Program Files\\Quillbak";
const char kEventLog[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
const char kMsg57432[] =
    "Setup has detected Quillbak options have been installed on your machine.  Uninstall program will remove all "
    "Quillbak options.";
const char *const kServices[] = {"QLMsgEngine", "QLJobEngine", "QLTapeEngine", "QLDiscoverySvc", "QLDBEngine"};

void Register(const char *name, BYTE major, BYTE minor) {
    tagProductStruct r;
    memset(&r, 0, sizeof r);
    r.dwProductCode = 24;
    r.dwComponents = 15;
    r.dwVersion = (700u << 16) | ((DWORD)major << 8) | minor;
    r.bySubType = 1;
    r.dwCrc = CHarnRegistry::ProductRecordCrc(&r);
    winsim::LocalMachine().registry.Set("HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Products", name, REG_BINARY, &r,
                                        sizeof r);
}

class PreUninstallTest : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        SetupMedium();
        InstallDouble("QLBSETUP", "D:\\SETUP\\QLBSETUP.DLL");
        InstalledProduct(kHome);
        Register("Quillbak", 7, 0);
        Register("CrossPlatform", 7, 0);
        M().registry.SetDword(std::string(kBase) + "\\Database", "DatabaseType", 1);
        for (const char *name : kServices) {
            winsim::ServiceConfig c;
            c.name = name;
            c.imagePath = std::string("\"") + kHome + "\\" + name + ".EXE\"";
            winsim::AddService(M(), c, SERVICE_RUNNING);
        }
        M().registry.SetString(std::string(kEventLog) + "\\Quillbak", "EventMessageFile", "x.dll");
        M().registry.SetString(std::string(kEventLog) + "\\QuillbakIT\\Sub", "v", "x");
        M().registry.SetString(std::string(kEventLog) + "\\Other", "EventMessageFile", "o.dll");
        const std::string home = std::string(kHome) + "\\";
        M().PutFile(home + "JOBS.QLX", "x");
        M().PutFile(home + "LOG\\today.log", "x");
        M().PutFile(home + "DATABASE\\rdm.bil", "x");
        M().PutFile(home + "QLCORE.DLL", "x");
        winsim::Share share;
        share.path = kHome;
        share.remark = "QuillbakIT System Directory";
        M().shares["Quillbak$"] = share;
    }
    bool Started(const char *name) { return winsim::ServiceState(M(), name) == SERVICE_RUNNING; }
};

TEST_F(PreUninstallTest, TheWholeProductGoes) {
    EXPECT_EQ(PreUninstall(session_), 0u);
    EXPECT_EQ(PropOf("ERRORMSG"), "NONE");
    EXPECT_EQ(PropOf("DeleteOpt"), "<unset>");
    for (const char *name : kServices) EXPECT_FALSE(Started(name)) << name;
    // Read before the clean-up removed its key.
    EXPECT_EQ(PropOf("EXISTDBTYPE"), "SQL");
    EXPECT_EQ(ExistingDatabaseType, 1);
    EXPECT_EQ(M().registry.Find(std::string(kBase) + "\\Database"), nullptr);
    EXPECT_EQ(M().registry.Find(std::string(kEventLog) + "\\Quillbak"), nullptr);
    EXPECT_EQ(M().registry.Find(std::string(kEventLog) + "\\QuillbakIT"), nullptr);
    EXPECT_NE(M().registry.Find(std::string(kEventLog) + "\\Other"), nullptr);
    const std::string home = std::string(kHome) + "\\";
    EXPECT_FALSE(M().Exists(home + "JOBS.QLX"));
    EXPECT_FALSE(M().Exists(home + "LOG"));
    EXPECT_FALSE(M().Exists(home + "DATABASE\\rdm.bil"));
    EXPECT_TRUE(M().Exists(home + "QLCORE.DLL"));  // the installer's to remove
    EXPECT_EQ(M().shares.count("Quillbak$"), 0u);
    EXPECT_EQ(PropOf("QUILLBAKHOME"), kHome);
    EXPECT_EQ(PropOf("InstallLocation"), kHome);
    tagProductStruct r;
    EXPECT_FALSE(CHarnRegistry::GetProductInfo("Quillbak", &r));
    EXPECT_FALSE(CHarnRegistry::GetProductInfo("CrossPlatform", &r));
    EXPECT_EQ(Env("QLBSETUP_CALLS"), "QLBUnInstallNotify(Quillbak)");

    ASSERT_EQ(M().shellNotifications.size(), 1u);
    EXPECT_EQ(M().shellNotifications[0].eventId, SHCNE_NETUNSHARE);
    EXPECT_EQ(M().shellNotifications[0].flags, (UINT)(SHCNF_PATHA | SHCNF_FLUSH));
    EXPECT_EQ(M().shellNotifications[0].item1, kHome);
    ASSERT_FALSE(M().broadcasts.empty());
    EXPECT_EQ(M().broadcasts.back().message, (UINT)WM_SETTINGCHANGE);
    EXPECT_EQ(M().broadcasts.back().text, "Environment");
    EXPECT_EQ(M().broadcasts.back().flags, (UINT)SMTO_ABORTIFHUNG);
    EXPECT_EQ(M().broadcasts.back().timeoutMs, 3000u);

    EXPECT_TRUE(Logged("PreUninstall() - Started"));
    EXPECT_TRUE(Logged("PreUninstall() - DeleteQuillbakHomeShare"));
    EXPECT_TRUE(Log(INSTALLMESSAGE_WARNING).empty());
}

// The removal builds the settings of a removal; every other action those of
// an installation.
TEST_F(PreUninstallTest, TheSettingsAreARemovals) {
    EXPECT_EQ(PreUninstall(session_), 0u);
    EXPECT_EQ(g_Settings.Uninstall(), 1);
    AllowUninstall(session_);
    EXPECT_EQ(g_Settings.Uninstall(), 0);
}

TEST_F(PreUninstallTest, OptionsOfThisVersionAreAnnounced) {
    Register("RAIDOption", 6, 5);
    PreUninstall(session_);
    EXPECT_EQ(PropOf("DeleteOpt"), "<unset>");
    EXPECT_TRUE(Log(INSTALLMESSAGE_WARNING).empty());

    M().installer.log.clear();
    Register("MBOption", 7, 0);
    PreUninstall(session_);
    EXPECT_EQ(PropOf("DeleteOpt"), "TRUE");
    EXPECT_EQ(Log(INSTALLMESSAGE_WARNING), std::vector<std::string>{kMsg57432});
}

TEST_F(PreUninstallTest, AHomeAtADriveRootIsNotSwept) {
    M().registry.SetString(std::string(kBase) + "\\Path", "HOME", "C:\\");
    M().PutFile("C:\\BOOT.LOG", "x");
    M().PutFile("C:\\TEMP\\keep.tmp", "x");
    M().PutFile("C:\\DATABASE\\rdm.chk", "x");
    EXPECT_EQ(PreUninstall(session_), 0u);
    EXPECT_TRUE(M().Exists("C:\\BOOT.LOG"));
    EXPECT_TRUE(M().Exists("C:\\TEMP\\keep.tmp"));
    EXPECT_TRUE(M().Exists("C:\\DATABASE\\rdm.chk"));
    EXPECT_TRUE(Started("QLDBEngine"));  // its data stays, so does it
}

TEST_F(PreUninstallTest, NothingInstalledNothingFails) {
    M().registry.SetString(std::string(kBase) + "\\Path", "HOME", "");
    M().shares.clear();
    EXPECT_EQ(PreUninstall(session_), 0u);
    // An empty value is no property at all for the installer.
    EXPECT_EQ(std::string(GetProperty(session_, "QUILLBAKHOME", 260)), "");
    EXPECT_EQ(std::string(GetProperty(session_, "InstallLocation", 260)), "");
}

TEST_F(PreUninstallTest, FailuresDoNotStopTheRemoval) {
    winsim::InjectFault("ControlService", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    winsim::InjectFault("NetShareDel", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    winsim::InjectFault("DeleteFileA", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    EXPECT_EQ(PreUninstall(session_), 0u);
    winsim::ClearFaults();
    EXPECT_TRUE(Started("QLJobEngine"));
    EXPECT_EQ(M().shares.count("Quillbak$"), 1u);
    EXPECT_EQ(PropOf("QUILLBAKHOME"), kHome);
    EXPECT_EQ(Env("QLBSETUP_CALLS"), "QLBUnInstallNotify(Quillbak)");
    tagProductStruct r;
    EXPECT_FALSE(CHarnRegistry::GetProductInfo("Quillbak", &r));
}

TEST_F(PreUninstallTest, PostUninstallOnlyLogs) {
    std::string before = M().registry.ExportReg("HKLM") + M().registry.ExportReg("HKU");
    size_t shares = M().shares.size();
    EXPECT_EQ(PostUninstall(session_), 0u);
    EXPECT_EQ(Log(), std::vector<std::string>{"PostUninstall() - Started"});
    EXPECT_EQ(M().registry.ExportReg("HKLM") + M().registry.ExportReg("HKU"), before);
    EXPECT_EQ(M().shares.size(), shares);
    EXPECT_TRUE(M().Exists(std::string(kHome) + "\\LOG\\today.log"));
    EXPECT_EQ(PropOf("ERRORMSG"), "<unset>");
}

}  // namespace
