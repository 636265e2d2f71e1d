// The installed product's registrations made by the auxiliary actions: its
// record for the discovery service, its event source, and the job queue with
// its maintenance job (kept or replaced).
#include "action_fixture.h"

#include <cstdio>
#include <cstring>

#include "actions/Auxiliary.h"
#include "actions/Frame.h"
#include "doubles.h"
#include "registry/HarnRegistry.h"

namespace {

const std::string kProducts = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Products";
const std::string kEventSource = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\QuillbakIT";
const std::string kDatabaseKey = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Base\\Database";

class RegistrationActions : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        SetupMedium();
        InstallDouble("QLVCTL", "D:\\SETUP\\QLVCTL.DLL");
        Env("QLVCTL_VERSION") = "7.0";
        Env("QLVCTL_BUILD") = "1230";
    }
    // The settings an earlier action of the run left.
    void Settings(bool server, int subType = 3) {
        ActionPrologue(session_, "LaunchProductSetup", "Started", 0);
        g_Settings.InstallServer(server ? 1 : 0);
        if (!server) g_Settings.InstallAdmin(0);
        g_Settings.ProductSubType(subType);
        M().installer.log.clear();
    }
    bool Record(tagProductStruct &r) {
        const winsim::RegKey *key = M().registry.Find(kProducts);
        if (!key) return false;
        const winsim::RegValue *v = key->FindValue("Quillbak");
        if (!v || v->data.size() != sizeof r) return false;
        memcpy(&r, v->data.data(), sizeof r);
        return true;
    }
};

TEST_F(RegistrationActions, DiscoveryRecordOfAServerInstallation) {
    Settings(true, 3);
    EXPECT_EQ(InstallDiscoveryService(session_), 0u);
    tagProductStruct r;
    ASSERT_TRUE(Record(r));
    EXPECT_EQ(r.dwProductCode, 24u);
    EXPECT_EQ(r.dwComponents, 15u);
    EXPECT_EQ(r.dwVersion, (1230u << 16) | 0x0700u);
    EXPECT_EQ(r.bySubType, 3);
    EXPECT_EQ(r.dwUserLevel, 5u);
    EXPECT_STREQ(r.szSerial, "00000001");
    const DWORD crc = r.dwCrc;  // unaligned in the packed record: read by value
    EXPECT_EQ(crc, CHarnRegistry::ProductRecordCrc(&r));
    const BYTE *bytes = (const BYTE *)&r;
    for (size_t i = 33; i < sizeof r; ++i) EXPECT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(bytes[13] | bytes[14] | bytes[15], 0);
    std::vector<std::string> expected = {"GetQuillbakVersion() - QLVCTL.DLL Path = D:\\SETUP\\QLVCTL.DLL",
                                         "InstallDiscoveryService() - ProdSubType = 3"};
    EXPECT_EQ(Log(), expected);
}

TEST_F(RegistrationActions, DiscoveryRecordInARepairTakesTheRecordedEdition) {
    Settings(false, 3);
    M().installer.modes[MSIRUNMODE_MAINTENANCE] = true;
    Prop("PRODSUBTYPE", "2");
    EXPECT_EQ(InstallDiscoveryService(session_), 0u);
    tagProductStruct r;
    ASSERT_TRUE(Record(r));
    EXPECT_EQ(r.dwComponents, 5u);
    EXPECT_EQ(r.bySubType, 2);
    EXPECT_TRUE(Logged("InstallDiscoveryService() - ProdSubType = 2"));
}

TEST_F(RegistrationActions, DiscoveryRecordThatCannotBeWrittenIsLogged) {
    Settings(true);
    winsim::InjectFault("RegSetValueExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    winsim::InjectFault("RegCreateKeyExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    EXPECT_EQ(InstallDiscoveryService(session_), 0u);
    winsim::ClearFaults();
    tagProductStruct r;
    EXPECT_FALSE(Record(r));
    EXPECT_EQ(Log().back(), std::string(" - CHarnRegistry::RegisterProduct() Failed (") + g_Settings.Product() + ")");
}

TEST_F(RegistrationActions, EventSourceValues) {
    Settings(true);
    g_Settings.QuillbakPath("C:\\Program Files\\Quillbak");
    EXPECT_EQ(RegisterEventSource(), 0u);
    const winsim::RegKey *key = M().registry.Find(kEventSource);
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->values.size(), 4u);
    // In the order written.
    EXPECT_EQ(key->values[0].name, "EventMessageFile");
    EXPECT_EQ(key->values[1].name, "TypesSupported");
    EXPECT_EQ(key->values[2].name, "CategoryMessageFile");
    EXPECT_EQ(key->values[3].name, "CategoryCount");
    EXPECT_EQ(key->values[0].type, (DWORD)REG_EXPAND_SZ);
    EXPECT_EQ(key->values[2].type, (DWORD)REG_EXPAND_SZ);
    EXPECT_EQ(Text(kEventSource, "EventMessageFile"), "C:\\Program Files\\Quillbak\\QLLOG.DLL");
    EXPECT_EQ(Text(kEventSource, "CategoryMessageFile"), "C:\\Program Files\\Quillbak\\QLLOG.DLL");
    EXPECT_EQ(Number(kEventSource, "TypesSupported"), 7u);
    EXPECT_EQ(Number(kEventSource, "CategoryCount"), 100u);
}

TEST_F(RegistrationActions, EventSourceStopsAtTheFirstFailure) {
    Settings(true);
    winsim::InjectFault("RegSetValueExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Nth, 2);
    EXPECT_EQ(RegisterEventSource(), (DWORD)ERROR_ACCESS_DENIED);
    const winsim::RegKey *key = M().registry.Find(kEventSource);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->values.size(), 1u);  // the message file only
    winsim::InjectFault("RegCreateKeyExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegisterEventSource(), (DWORD)ERROR_ACCESS_DENIED);
}

// ---- the job queue -------------------------------------------------------------------
class JobQueueAction : public RegistrationActions {
protected:
    void SetUp() override {
        RegistrationActions::SetUp();
        InstalledProduct("C:\\QB");
        InstallDouble("QLCORE", "C:\\QB\\QLCORE.DLL");
        SYSTEMTIME now = {};
        now.wYear = 2003;
        now.wMonth = 2;
        now.wDay = 28;
        now.wHour = 17;
        now.wMinute = 42;
        now.wSecond = 9;
        winsim::SetClock(now);
    }
    std::string Calls() { return Env("QLCORE_CALLS"); }
};

// 2003-02-28 17:42:09 and 2003-03-01 00:00:00, seconds since 1970 (the machine runs on UTC).
const unsigned long kNow = 1046454129ul;
const unsigned long kTomorrow = 1046476800ul;

std::string AddedJob() {
    char text[200];
    snprintf(text, sizeof text, "type=18 off8=0 created=%lu start=%lu off64=2 off66=1 off88=1 nonzero=0", kNow,
             kTomorrow);
    return text;
}

TEST_F(JobQueueAction, NewQueueGetsTheMaintenanceJobForTomorrowMidnight) {
    Settings(true);
    EXPECT_EQ(CreateJobQueue(session_), 0u);
    EXPECT_EQ(Calls(),
              "QSICreateQueue(0,AQ_HARN,0,C:\\QB\\); QLGetDefaultQueue((null)); QSIGetQJobItemList(AQ_HARN,1,45496); "
              "QLAddQueueJob(AQ_HARN,(null),0,record,292)");
    EXPECT_EQ(Env("QLCORE_ADDED"), AddedJob());
    EXPECT_TRUE(Log().empty());
}

TEST_F(JobQueueAction, AKeptMaintenanceJobStays) {
    Settings(true);
    Env("QLCORE_JOBS") = "4,7,0,0;5,18,33,44;6,18,0,0";
    Env("QLCORE_STATE") = "2";
    EXPECT_EQ(CreateJobQueue(session_), 0u);
    // The state is asked with the value at 24 first.
    EXPECT_NE(Calls().find("QSIMapJobStatus(44,33)"), std::string::npos) << Calls();
    EXPECT_EQ(Calls().find("QSIDeleteJob"), std::string::npos);
    EXPECT_EQ(Calls().find("QLAddQueueJob"), std::string::npos);
}

TEST_F(JobQueueAction, AMaintenanceJobInAnotherStateIsReplaced) {
    Settings(true);
    Env("QLCORE_JOBS") = "4,7,0,0;5,18,33,44;6,18,0,0";
    Env("QLCORE_STATE") = "1";
    EXPECT_EQ(CreateJobQueue(session_), 0u);
    std::string calls = Calls();
    EXPECT_NE(calls.find("QSIMapJobStatus(44,33); QSIDeleteJob(AQ_HARN,1,5); QLAddQueueJob("), std::string::npos)
        << calls;
    EXPECT_EQ(calls.find("QSIDeleteJob(AQ_HARN,1,6)"), std::string::npos);  // only the first
    EXPECT_EQ(Env("QLCORE_ADDED"), AddedJob());
}

TEST_F(JobQueueAction, AQueueThatCannotBeCreatedIsAnInstallerError) {
    Settings(true);
    Env("QLCORE_CREATE") = "5";
    EXPECT_EQ(CreateJobQueue(session_), 1u);
    std::vector<std::string> errors = {"Failed to create the Quillbak default queue"};
    EXPECT_EQ(Log(INSTALLMESSAGE_ERROR), errors);
    EXPECT_EQ(Log(), errors);
    EXPECT_EQ(Calls(), "QSICreateQueue(0,AQ_HARN,0,C:\\QB\\)");
}

TEST_F(JobQueueAction, WithoutTheServerNoQueueIsCreatedButTheJobIsChecked) {
    Settings(false);
    EXPECT_EQ(CreateJobQueue(session_), 0u);
    EXPECT_EQ(Calls().find("QSICreateQueue"), std::string::npos);
    EXPECT_NE(Calls().find("QLAddQueueJob"), std::string::npos);
    EXPECT_EQ(Number(kDatabaseKey, "PruningDays"), 0xDEADBEEFu);
}

TEST_F(JobQueueAction, NoDefaultQueueOrNoJobListAddsNothing) {
    Settings(true);
    Env("QLCORE_RESULT") = "1";  // every call but the creation fails
    EXPECT_EQ(CreateJobQueue(session_), 0u);
    EXPECT_EQ(Calls(), "QSICreateQueue(0,AQ_HARN,0,C:\\QB\\); QLGetDefaultQueue((null))");
}

TEST_F(JobQueueAction, TuningValuesForANewDatabaseOnly) {
    // The product in place, without a database yet.
    Settings(true);
    ASSERT_TRUE(g_Settings.QuillbakExists());
    ASSERT_FALSE(g_Settings.DBExists());
    EXPECT_EQ(CreateJobQueue(session_), 0u);
    EXPECT_EQ(Number(kDatabaseKey, "PruningDays"), 30u);
    M().registry.Delete(kDatabaseKey);

    // An installation over the product with its database in place keeps them.
    M().registry.SetString(std::string(kBase) + "\\Path", "DATABASE", "C:\\QB\\DATABASE");
    M().PutFile("C:\\QB\\DATABASE\\QLJOBS.DBD", "db");
    Settings(true);
    ASSERT_TRUE(g_Settings.DBExists());
    EXPECT_EQ(CreateJobQueue(session_), 0u);
    EXPECT_EQ(Number(kDatabaseKey, "PruningDays"), 0xDEADBEEFu);

    // Asked to overwrite it: the product's values.
    g_Settings.OverwriteDB(1);
    EXPECT_EQ(CreateJobQueue(session_), 0u);
    EXPECT_EQ(Number(kDatabaseKey, "BackupDaemonBufferSize"), 1024u);
    EXPECT_EQ(Number(kDatabaseKey, "EnableDatabasePruning"), 1u);
    EXPECT_EQ(Number(kDatabaseKey, "PruningDays"), 30u);
    EXPECT_EQ(Number(kDatabaseKey, "PruningTime"), 0u);
    EXPECT_EQ(Number(kDatabaseKey, "EnableDelayPruning"), 0u);

    // Moved to another home: the product's values again.
    M().registry.Delete(kDatabaseKey);
    g_Settings.OverwriteDB(0);
    g_Settings.QuillbakPath("D:\\QB");
    M().MakeDirs("D:\\QB");
    InstallDouble("QLCORE", "D:\\QB\\QLCORE.DLL");
    EXPECT_EQ(CreateJobQueue(session_), 0u);
    EXPECT_EQ(Number(kDatabaseKey, "PruningDays"), 30u);
}

TEST_F(JobQueueAction, TomorrowAcrossTheEndOfAYear) {
    SYSTEMTIME now = {};
    now.wYear = 2004;
    now.wMonth = 12;
    now.wDay = 31;
    now.wHour = 23;
    now.wMinute = 59;
    now.wSecond = 59;
    winsim::SetClock(now);
    Settings(true);
    EXPECT_EQ(CreateJobQueue(session_), 0u);
    // 2005-01-01 00:00:00 is 1104537600.
    EXPECT_NE(Env("QLCORE_ADDED").find("created=1104537599 start=1104537600 "), std::string::npos)
        << Env("QLCORE_ADDED");
}

}  // namespace
