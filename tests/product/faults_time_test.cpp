// Failures of the version-resource and time conversions: the common
// controls' version behind the browser update, the alert program's build
// date, and the times of the job queue's maintenance job.
#include "action_fixture.h"

#include <cstring>

#include "actions/Auxiliary.h"
#include "actions/Frame.h"
#include "doubles.h"
#include "registry/HarnRegistry.h"
#include "settings/Settings.h"

namespace {

const char kControls[] = "C:\\WINNT\\system32\\ComCTL32.dll";
const char kControlsUpdate[] = "D:\\SETUP\\50ComUpd.exe";

class VersionFaults : public ActionTest, public ::testing::WithParamInterface<const char *> {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        SetupMedium();
        ActionPrologue(session_, "LaunchProductSetup", "Started", 0);
        M().installer.log.clear();
        // A current browser and current common controls: nothing to update
        // as long as their version can be read.
        M().registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Internet Explorer", "Version", "6.0.2600.0000");
        M().PutFile(kControls, "MZ");
        M().fileVersions[kControls].fileMS = MAKELONG(81, 5);
        M().PutFile(kControlsUpdate, "MZ");
        winsim::Program update;
        update.runMs = 1000;
        M().programs[kControlsUpdate] = update;
    }
};

// A version that cannot be read is no proof of current controls: they are updated.
TEST_P(VersionFaults, ControlsWhoseVersionCannotBeReadAreUpdated) {
    winsim::InjectFault(GetParam(), ERROR_RESOURCE_TYPE_NOT_FOUND);
    EXPECT_EQ(UpdateInternetExplorer(session_), 1);
    ASSERT_EQ(M().processLog.size(), 1u);
    EXPECT_EQ(M().processLog[0].commandLine, "D:\\SETUP\\50ComUpd.exe /Q:A /R:N");
    // No version line: nothing made up from an unread block.
    std::vector<std::string> lines = {"CreateProcess - D:\\SETUP\\50ComUpd.exe /Q:A /R:N",
                                      "Launched D:\\SETUP\\50ComUpd.exe /Q:A /R:N successful"};
    EXPECT_EQ(Log(), lines);
}

INSTANTIATE_TEST_SUITE_P(EachVersionCall, VersionFaults,
                         ::testing::Values("GetFileVersionInfoSizeA", "GetFileVersionInfoA", "VerQueryValueA"));

// ---- the alert program's build date --------------------------------------------------------
class AlertBuildProbe : public CHarnRegistry {
public:
    explicit AlertBuildProbe(CSettings &settings) : CHarnRegistry(settings, 0, NULL) {}
};

const char kAlertKey[] = "HKLM\\SOFTWARE\\Veltmark\\ALERT\\CurrentVersion";

class AlertBuildFaults : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override {
        memset(&info, 0, sizeof info);
        info.lProductType = 24;
        winsim::LocalMachine().AddDrive('D');
        winsim::LocalMachine().PutFile("D:\\ALERT\\NOTIFSRV.EXE", "MZ");
    }
    CSettings Settings() {
        CSettings s(&info, 0);
        s.QuillbakPath("D:\\Backup");
        s.AlertPath("D:\\ALERT");
        return s;
    }
    bool HasBuild() {
        const winsim::RegKey *key = winsim::LocalMachine().registry.Find(kAlertKey);
        return key && key->FindValue("CurrentBuild");
    }
    tagSETUP_INFO info;
};

TEST_P(AlertBuildFaults, AnUnconvertibleFileTimeWritesNoDate) {
    CSettings s = Settings();
    AlertBuildProbe r(s);
    winsim::InjectFault(GetParam(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(r.SetAlertCurrentBuild(), 0);
    EXPECT_FALSE(HasBuild());
    // The next try, with the conversions back, writes it.
    EXPECT_EQ(r.SetAlertCurrentBuild(), 1);
    EXPECT_TRUE(HasBuild());
}

INSTANTIATE_TEST_SUITE_P(EachConversion, AlertBuildFaults,
                         ::testing::Values("FileTimeToLocalFileTime", "FileTimeToSystemTime"));

TEST_F(AlertBuildFaults, AFindHandleThatWillNotCloseStillGivesTheDate) {
    CSettings s = Settings();
    AlertBuildProbe r(s);
    winsim::InjectFault("FindClose", ERROR_INVALID_HANDLE);
    EXPECT_EQ(r.SetAlertCurrentBuild(), 1);
    EXPECT_TRUE(HasBuild());
    winsim::ForgetOpenHandles();  // the find handle whose close failed
}

// ---- the maintenance job's times -----------------------------------------------------------
class JobTimeFaults : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        SetupMedium();
        InstalledProduct("C:\\QB");
        InstallDouble("QLCORE", "C:\\QB\\QLCORE.DLL");
        ActionPrologue(session_, "LaunchProductSetup", "Started", 0);
        g_Settings.InstallServer(1);
        M().installer.log.clear();
        // A maintenance job that is not kept: one that would be replaced.
        Env("QLCORE_JOBS") = "5,18,33,44";
        Env("QLCORE_STATE") = "1";
    }
    std::string Calls() { return Env("QLCORE_CALLS"); }
};

// Without its times the new job would be dated 1970 and run at once: the
// queue keeps the job it has and gets none.
TEST_F(JobTimeFaults, WithoutItsTimesTheMaintenanceJobIsNeitherReplacedNorAdded) {
    struct Case {
        const char *function;
        unsigned nth;
    } cases[] = {{"SystemTimeToFileTime", 1}, {"SystemTimeToFileTime", 2}, {"LocalFileTimeToFileTime", 1}};
    for (auto &c : cases) {
        SCOPED_TRACE(std::string(c.function) + " #" + std::to_string(c.nth));
        Env("QLCORE_CALLS") = "";
        winsim::InjectFault(c.function, ERROR_INVALID_PARAMETER, winsim::FaultMode::Nth, c.nth);
        EXPECT_EQ(CreateJobQueue(session_), 0u);
        EXPECT_EQ(Calls().find("QSIDeleteJob"), std::string::npos) << Calls();
        EXPECT_EQ(Calls().find("QLAddQueueJob"), std::string::npos) << Calls();
        EXPECT_TRUE(Log().empty());
        winsim::ClearFaults();
    }
    // With them, the job is replaced.
    Env("QLCORE_CALLS") = "";
    EXPECT_EQ(CreateJobQueue(session_), 0u);
    EXPECT_NE(Calls().find("QSIDeleteJob(AQ_HARN,1,5); QLAddQueueJob("), std::string::npos) << Calls();
}

}  // namespace
