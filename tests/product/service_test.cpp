// CService: the product's service table, installing and reconfiguring,
// starting and stopping with the waits on the machine clock, dependents,
// removal, and the command-line functions that run a service program.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include "system/Service.h"

#include <string>

namespace {

const std::string kKey = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\";

winsim::Machine &M() { return winsim::LocalMachine(); }

std::string Value(const std::string &service, const char *name) {
    std::string text;
    return M().registry.GetString(kKey + service, name, text) ? text : "<none>";
}
DWORD Dword(const std::string &service, const char *name) {
    DWORD d = 0xDEAD;
    M().registry.GetDword(kKey + service, name, d);
    return d;
}
DWORD State(const char *service) { return winsim::ServiceState(M(), service); }

// Declares a service; `deps` its DependOnService names.
void Add(const char *name, DWORD state, std::vector<std::string> deps = {},
         winsim::ServiceScript script = winsim::ServiceScript()) {
    winsim::ServiceConfig c;
    c.name = name;
    c.imagePath = std::string("C:\\Q\\") + name + ".EXE";
    c.dependencies = deps;
    winsim::AddService(M(), c, state, script);
}

winsim::ServiceScript Script(winsim::ServiceScript::Kind kind, DWORD startPolls, DWORD stopPolls,
                             DWORD waitHint = 1000) {
    winsim::ServiceScript s;
    s.kind = kind;
    s.startPolls = startPolls;
    s.stopPolls = stopPolls;
    s.waitHint = waitHint;
    return s;
}

// ---- the service table and installing --------------------------------------------------------
TEST(ServiceTable, EachRowInstallsAsItsService) {
    struct Row {
        CService::ServiceType type;
        const char *name, *exe, *display, *group;
    } rows[] = {
        {CService::JobEngine, "QLJobEngine", "JOBSRV.EXE", "QuillbakIT Job Engine", "QuillbakIT"},
        {CService::TapeEngine, "QLTapeEngine", "TAPESRV.EXE", "QuillbakIT Tape Engine", "QuillbakIT"},
        {CService::DatabaseEngine, "QLDBEngine", "DBSRV.EXE", "QuillbakIT Database Engine", "QuillbakIT"},
        {CService::MessageEngine, "QLMsgEngine", "MSGSRV.EXE", "QuillbakIT Message Engine", "QuillbakIT"},
        {CService::AlertServer, "Harnock Alert Notification Server", "NOTIFSRV.EXE",
         "Harnock Alert Notification Server", "<none>"},
        {CService::DiscoveryService, "QLDiscoverySvc", "QLDSCSVC.EXE", "QuillbakIT Discovery Service", "QuillbakIT"},
    };
    for (const Row &r : rows) {
        CService svc(r.type);
        EXPECT_STREQ(svc.Name(), r.name);
        ASSERT_TRUE(svc.InstallService("C:\\Program Files\\Quillbak", SERVICE_AUTO_START, NULL, NULL)) << r.name;
        EXPECT_EQ(Value(r.name, "ImagePath"), std::string("\"C:\\Program Files\\Quillbak\\") + r.exe + "\"");
        EXPECT_EQ(Value(r.name, "DisplayName"), r.display);
        EXPECT_EQ(Value(r.name, "Group"), r.group);
        EXPECT_EQ(Value(r.name, "ObjectName"), "LocalSystem");
        EXPECT_EQ(Dword(r.name, "Type"), 0x110u);
        EXPECT_EQ(Dword(r.name, "Start"), (DWORD)SERVICE_AUTO_START);
        EXPECT_EQ(Dword(r.name, "ErrorControl"), (DWORD)SERVICE_ERROR_NORMAL);
        EXPECT_TRUE(svc.Exists());
        EXPECT_FALSE(svc.IsStarted());
    }
    EXPECT_STREQ(CService::m_sServicesKey, "SYSTEM\\CurrentControlSet\\Services");
    EXPECT_STREQ(CService::m_sDependOnService, "DependOnService");
}

TEST(ServiceTable, AValueOutsideTheTableNamesNoService) {
    CService svc((CService::ServiceType)6);
    EXPECT_STREQ(svc.Name(), "");
    EXPECT_FALSE(svc.InstallService("C:\\Q", SERVICE_DEMAND_START, NULL, NULL));
    EXPECT_FALSE(svc.Exists());
    EXPECT_FALSE(svc.IsStarted());
    EXPECT_FALSE(svc.StartServiceA(TRUE));
    EXPECT_TRUE(winsim::SnapshotServices(M()).empty());
    // Copies carry the fields.
    CService job(CService::JobEngine);
    CService copy(svc);
    copy = job;
    EXPECT_STREQ(copy.Name(), "QLJobEngine");
}

TEST(ServiceInstall, TheBinaryPathIsQuotedWithOneBackslash) {
    CService a("SvcA", "A.EXE", NULL, SERVICE_WIN32_OWN_PROCESS, NULL);
    ASSERT_TRUE(a.InstallService("C:\\Q\\", SERVICE_DEMAND_START, NULL, NULL));
    EXPECT_EQ(Value("SvcA", "ImagePath"), "\"C:\\Q\\A.EXE\"");
    EXPECT_EQ(Value("SvcA", "DisplayName"), "SvcA");
    EXPECT_EQ(Value("SvcA", "Group"), "<none>");
    CService b("SvcB", "B.EXE", "Service B", SERVICE_WIN32_OWN_PROCESS, "Grp");
    ASSERT_TRUE(b.InstallService("C:\\Q", SERVICE_DEMAND_START, ".\\qlsvc", "pw"));
    EXPECT_EQ(Value("SvcB", "ImagePath"), "\"C:\\Q\\B.EXE\"");
    EXPECT_EQ(Value("SvcB", "ObjectName"), ".\\qlsvc");
}

TEST(ServiceInstall, AnExistingServiceCountsAsInstalledAndStaysAsItWas) {
    Add("QLJobEngine", SERVICE_STOPPED);
    CService svc(CService::JobEngine);
    EXPECT_TRUE(svc.InstallService("C:\\Elsewhere", SERVICE_AUTO_START, NULL, NULL));
    EXPECT_EQ(Value("QLJobEngine", "ImagePath"), "C:\\Q\\QLJobEngine.EXE");
    EXPECT_EQ(Dword("QLJobEngine", "Start"), (DWORD)SERVICE_DEMAND_START);
}

TEST(ServiceInstall, DriversLoadInTheFilterGroup) {
    ASSERT_TRUE(CService::InstallService("QLFilt", "QL Filter", "system32\\drivers\\qlfilt.sys",
                                         SERVICE_FILE_SYSTEM_DRIVER, SERVICE_DEMAND_START, "Mine", NULL, NULL, NULL));
    EXPECT_EQ(Value("QLFilt", "Group"), "Filter");
    ASSERT_TRUE(CService::ChangeService("QLFilt", "QL Filter", "x.sys", SERVICE_KERNEL_DRIVER, SERVICE_SYSTEM_START,
                                        "Other", NULL, NULL, NULL));
    EXPECT_EQ(Value("QLFilt", "Group"), "Filter");
    EXPECT_EQ(Dword("QLFilt", "Type"), (DWORD)SERVICE_KERNEL_DRIVER);
}

TEST(ServiceInstall, DependenciesAreWrittenAsGiven) {
    ASSERT_TRUE(CService::InstallService("SvcD", NULL, "C:\\d.exe", SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                         NULL, "QLDBEngine\0QLTapeEngine\0", NULL, NULL));
    std::string deps;
    ASSERT_TRUE(M().registry.GetString(kKey + "SvcD", "DependOnService", deps));
    EXPECT_EQ(deps, std::string("QLDBEngine\0QLTapeEngine\0", 24));  // the list's last NUL ends the text
}

TEST(ServiceInstall, ChangeRewritesTheConfiguration) {
    Add("QLJobEngine", SERVICE_STOPPED);
    CService svc(CService::JobEngine);
    ASSERT_TRUE(svc.ChangeService("D:\\New", SERVICE_DISABLED, NULL, NULL));
    EXPECT_EQ(Value("QLJobEngine", "ImagePath"), "\"D:\\New\\JOBSRV.EXE\"");
    EXPECT_EQ(Dword("QLJobEngine", "Start"), (DWORD)SERVICE_DISABLED);
    EXPECT_EQ(Value("QLJobEngine", "DisplayName"), "QuillbakIT Job Engine");
    EXPECT_EQ(Value("QLJobEngine", "Group"), "QuillbakIT");
    EXPECT_EQ(Dword("QLJobEngine", "Type"), 0x110u);
    CService tape(CService::TapeEngine);
    EXPECT_FALSE(tape.ChangeService("D:\\New", SERVICE_DISABLED, NULL, NULL));
}

TEST(ServiceInstall, ManagerFailuresAreReportedAsFalse) {
    CService svc(CService::JobEngine);
    winsim::InjectFault("OpenSCManagerA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(svc.InstallService("C:\\Q", SERVICE_DEMAND_START, NULL, NULL));
    winsim::InjectFault("CreateServiceA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(svc.InstallService("C:\\Q", SERVICE_DEMAND_START, NULL, NULL));
    EXPECT_FALSE(svc.Exists());
    ASSERT_TRUE(svc.InstallService("C:\\Q", SERVICE_DEMAND_START, NULL, NULL));
    winsim::InjectFault("ChangeServiceConfigA", ERROR_SERVICE_DATABASE_LOCKED);
    EXPECT_FALSE(svc.ChangeService("C:\\Q", SERVICE_AUTO_START, NULL, NULL));
    winsim::InjectFault("OpenServiceA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(svc.Exists());
    Add("QLTapeEngine", SERVICE_RUNNING);
    winsim::InjectFault("QueryServiceStatus", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CService::IsStarted("QLTapeEngine"));
    EXPECT_TRUE(CService::IsStarted("qltapeengine"));
}

// ---- starting --------------------------------------------------------------------------------
TEST(ServiceStart, AStoppedServiceStartsAndARunningOneCountsAsStarted) {
    Add("QLJobEngine", SERVICE_STOPPED);
    CService svc(CService::JobEngine);
    EXPECT_TRUE(svc.StartServiceA(FALSE));
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_RUNNING);
    EXPECT_TRUE(svc.IsStarted());
    EXPECT_TRUE(svc.StartServiceA(TRUE));
    EXPECT_FALSE(CService::StartServiceA("NoSuchService", TRUE));
}

TEST(ServiceStart, TheWaitFollowsTheCheckPointUntilTheServiceRuns) {
    Add("QLJobEngine", SERVICE_STOPPED, {}, Script(winsim::ServiceScript::Normal, 4, 0, 3000));
    DWORD t0 = GetTickCount();
    EXPECT_TRUE(CService::StartServiceA("QLJobEngine", TRUE));
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_RUNNING);
    EXPECT_EQ(GetTickCount() - t0, 12000u);
}

TEST(ServiceStart, WithoutTheWaitAStartingServiceCounts) {
    Add("QLJobEngine", SERVICE_STOPPED, {}, Script(winsim::ServiceScript::FailsStart, 4, 0));
    EXPECT_TRUE(CService::StartServiceA("QLJobEngine", FALSE));
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_START_PENDING);
}

TEST(ServiceStart, AServiceThatFailsToStartIsAFailureWhenWaitedFor) {
    Add("QLJobEngine", SERVICE_STOPPED, {}, Script(winsim::ServiceScript::FailsStart, 2, 0));
    EXPECT_FALSE(CService::StartServiceA("QLJobEngine", TRUE));
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_STOPPED);
    Add("QLTapeEngine", SERVICE_STOPPED);
    CService::ChangeService("QLTapeEngine", NULL, NULL, SERVICE_NO_CHANGE, SERVICE_DISABLED, NULL, NULL, NULL, NULL);
    EXPECT_FALSE(CService::StartServiceA("QLTapeEngine", FALSE));
}

TEST(ServiceStart, AHungStartEndsTheWaitAndStillCountsAsStarting) {
    Add("QLJobEngine", SERVICE_STOPPED, {}, Script(winsim::ServiceScript::HangsStarting, 0, 0, 2000));
    DWORD t0 = GetTickCount();
    EXPECT_TRUE(CService::StartServiceA("QLJobEngine", TRUE));
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_START_PENDING);
    EXPECT_EQ(GetTickCount() - t0, 2000u);
}

TEST(ServiceStart, AStartThatNeverEndsIsGivenUpAfterTheLimit) {
    Add("QLJobEngine", SERVICE_STOPPED, {}, Script(winsim::ServiceScript::Normal, 1000000, 0, 1000));
    DWORD t0 = GetTickCount();
    EXPECT_FALSE(CService::StartServiceA("QLJobEngine", TRUE));
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_START_PENDING);
    EXPECT_EQ(GetTickCount() - t0, CService::kWaitLimitMs);
    // A wait hint beyond the limit does not carry the wait past it.
    Add("QLTapeEngine", SERVICE_STOPPED, {}, Script(winsim::ServiceScript::Normal, 5, 0, 0x7FFFFFFF));
    t0 = GetTickCount();
    EXPECT_FALSE(CService::StartServiceA("QLTapeEngine", TRUE));
    EXPECT_EQ(GetTickCount() - t0, CService::kWaitLimitMs);
}

TEST(ServiceStart, StartFailuresOfTheManager) {
    Add("QLJobEngine", SERVICE_STOPPED);
    winsim::InjectFault("StartServiceA", ERROR_SERVICE_ALREADY_RUNNING);
    EXPECT_TRUE(CService::StartServiceA("QLJobEngine", TRUE));
    winsim::InjectFault("StartServiceA", ERROR_SERVICE_REQUEST_TIMEOUT);
    EXPECT_FALSE(CService::StartServiceA("QLJobEngine", TRUE));
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_STOPPED);
}

TEST(ServiceStart, DependentsAreFoundWithoutCaseAndStarted) {
    Add("QLDBEngine", SERVICE_RUNNING);
    Add("QLJobEngine", SERVICE_STOPPED, {"Other", "qldbengine"}, Script(winsim::ServiceScript::Normal, 2, 0));
    Add("QLTapeEngine", SERVICE_STOPPED, {"QLDBENGINE"});
    Add("QLMsgEngine", SERVICE_STOPPED, {"QLJobEngine"});  // a dependent's dependent only
    Add("Other", SERVICE_RUNNING);
    EXPECT_TRUE(CService::StartDependentServices("QLDBEngine", TRUE));
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_RUNNING);
    EXPECT_EQ(State("QLTapeEngine"), (DWORD)SERVICE_RUNNING);
    EXPECT_EQ(State("QLMsgEngine"), (DWORD)SERVICE_STOPPED);
}

TEST(ServiceStart, ADependentThatFailsMakesTheWholeFail) {
    Add("QLDBEngine", SERVICE_RUNNING);
    Add("QLJobEngine", SERVICE_STOPPED, {"QLDBEngine"}, Script(winsim::ServiceScript::FailsStart, 1, 0));
    Add("QLTapeEngine", SERVICE_STOPPED, {"QLDBEngine"});
    EXPECT_FALSE(CService::StartDependentServices("QLDBEngine", TRUE));
    EXPECT_EQ(State("QLTapeEngine"), (DWORD)SERVICE_RUNNING);
    winsim::InjectFault("RegOpenKeyExA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CService::StartDependentServices("QLDBEngine", TRUE));
}

TEST(ServiceStart, AnOverlongDependencyListIsSkipped) {
    Add("QLDBEngine", SERVICE_RUNNING);
    std::vector<std::string> many(20, std::string(15, 'x'));
    many.push_back("QLDBEngine");  // beyond 256 bytes
    Add("QLJobEngine", SERVICE_STOPPED, many);
    EXPECT_TRUE(CService::StartDependentServices("QLDBEngine", FALSE));
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_STOPPED);
}

// ---- stopping --------------------------------------------------------------------------------
TEST(ServiceStop, AMissingServiceCountsAsStoppedAndRemoved) {
    EXPECT_TRUE(CService::StopService("QLJobEngine", TRUE, TRUE));
    EXPECT_TRUE(CService::RemoveService("QLJobEngine"));
    CService none((CService::ServiceType)6);
    EXPECT_FALSE(none.StopService(TRUE, FALSE));  // no name is not a missing service
    winsim::InjectFault("OpenSCManagerA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CService::StopService("QLJobEngine", TRUE, TRUE));
    winsim::InjectFault("OpenServiceA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CService::StopService("QLJobEngine", TRUE, TRUE));
}

TEST(ServiceStop, AQuickStopIsTrueWithOrWithoutTheWait) {
    Add("QLJobEngine", SERVICE_RUNNING);
    EXPECT_TRUE(CService::StopService("QLJobEngine", FALSE, FALSE));
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_STOPPED);
    EXPECT_TRUE(CService::StopService("QLJobEngine", FALSE, FALSE));
}

TEST(ServiceStop, ASlowStopIsWaitedForOnlyWithTheWait) {
    Add("QLJobEngine", SERVICE_RUNNING, {}, Script(winsim::ServiceScript::Normal, 0, 3, 2000));
    EXPECT_FALSE(CService::StopService("QLJobEngine", FALSE, FALSE));
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_STOP_PENDING);
    Add("QLTapeEngine", SERVICE_RUNNING, {}, Script(winsim::ServiceScript::Normal, 0, 3, 2000));
    DWORD t0 = GetTickCount();
    EXPECT_TRUE(CService::StopService("QLTapeEngine", TRUE, FALSE));
    EXPECT_EQ(State("QLTapeEngine"), (DWORD)SERVICE_STOPPED);
    EXPECT_EQ(GetTickCount() - t0, 6000u);
}

TEST(ServiceStop, AServiceAlreadyStoppingIsWaitedForWithTheWait) {
    Add("QLJobEngine", SERVICE_RUNNING, {}, Script(winsim::ServiceScript::Normal, 0, 4, 1000));
    ASSERT_FALSE(CService::StopService("QLJobEngine", FALSE, FALSE));
    ASSERT_EQ(State("QLJobEngine"), (DWORD)SERVICE_STOP_PENDING);
    // Without the wait it counts as stopped; with it, it is waited for.
    EXPECT_TRUE(CService::StopService("QLJobEngine", FALSE, FALSE));
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_STOP_PENDING);
    EXPECT_TRUE(CService::StopService("QLJobEngine", TRUE, FALSE));
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_STOPPED);
    // A stop that hangs is a failure with the wait.
    Add("QLTapeEngine", SERVICE_RUNNING, {}, Script(winsim::ServiceScript::HangsStopping, 0, 0, 1000));
    EXPECT_FALSE(CService::StopService("QLTapeEngine", TRUE, FALSE));
    EXPECT_FALSE(CService::StopService("QLTapeEngine", TRUE, FALSE));
    EXPECT_EQ(State("QLTapeEngine"), (DWORD)SERVICE_STOP_PENDING);
}

TEST(ServiceStop, AStopThatNeverEndsIsGivenUpAfterTheLimit) {
    Add("QLJobEngine", SERVICE_RUNNING, {}, Script(winsim::ServiceScript::Normal, 0, 1000000, 5000));
    DWORD t0 = GetTickCount();
    EXPECT_FALSE(CService::StopService("QLJobEngine", TRUE, FALSE));
    EXPECT_EQ(GetTickCount() - t0, CService::kWaitLimitMs);
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_STOP_PENDING);
}

TEST(ServiceStop, AServiceThatRefusesToStopIsAFailure) {
    Add("QLJobEngine", SERVICE_RUNNING, {}, Script(winsim::ServiceScript::RefusesStop, 0, 0));
    EXPECT_FALSE(CService::StopService("QLJobEngine", TRUE, TRUE));
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_RUNNING);
    winsim::InjectFault("ControlService", ERROR_SERVICE_REQUEST_TIMEOUT);
    Add("QLTapeEngine", SERVICE_RUNNING);
    EXPECT_FALSE(CService::StopService("QLTapeEngine", TRUE, TRUE));
    EXPECT_EQ(State("QLTapeEngine"), (DWORD)SERVICE_RUNNING);
}

TEST(ServiceStop, RunningDependentsHoldTheServiceUnlessTheyMayBeStopped) {
    Add("QLDBEngine", SERVICE_RUNNING);
    Add("QLJobEngine", SERVICE_RUNNING, {"qldbengine"}, Script(winsim::ServiceScript::Normal, 0, 2, 1000));
    Add("QLTapeEngine", SERVICE_RUNNING, {"QLDBEngine"});
    Add("QLMsgEngine", SERVICE_RUNNING);
    CService db(CService::DatabaseEngine);
    EXPECT_FALSE(db.StopService(TRUE, FALSE));
    EXPECT_EQ(State("QLDBEngine"), (DWORD)SERVICE_RUNNING);
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_RUNNING);

    winsim::ServiceSnapshot before = winsim::SnapshotServices(M());
    EXPECT_TRUE(db.StopService(TRUE, TRUE));
    std::vector<std::string> expected = {"stopped QLDBEngine", "stopped QLJobEngine", "stopped QLTapeEngine"};
    EXPECT_EQ(winsim::DiffServices(before, winsim::SnapshotServices(M())), expected);
}

TEST(ServiceStop, DependentsStillStoppingKeepTheServiceWithoutTheWait) {
    Add("QLDBEngine", SERVICE_RUNNING);
    Add("QLJobEngine", SERVICE_RUNNING, {"QLDBEngine"}, Script(winsim::ServiceScript::Normal, 0, 2, 1000));
    EXPECT_FALSE(CService::StopService("QLDBEngine", FALSE, TRUE));
    EXPECT_EQ(State("QLDBEngine"), (DWORD)SERVICE_RUNNING);
    EXPECT_EQ(State("QLJobEngine"), (DWORD)SERVICE_STOP_PENDING);
}

// ---- removing --------------------------------------------------------------------------------
TEST(ServiceRemove, ARunningServiceIsStoppedAndDeleted) {
    Add("QLJobEngine", SERVICE_RUNNING, {}, Script(winsim::ServiceScript::Normal, 0, 2));
    CService svc(CService::JobEngine);
    EXPECT_TRUE(svc.RemoveService());
    EXPECT_EQ(M().registry.Find(kKey + "QLJobEngine"), nullptr);
    EXPECT_FALSE(svc.Exists());
}

TEST(ServiceRemove, AServiceStillInUseIsMarkedForDeletion) {
    Add("QLJobEngine", SERVICE_RUNNING, {}, Script(winsim::ServiceScript::HangsStopping, 0, 0));
    EXPECT_TRUE(CService::RemoveService("QLJobEngine"));
    winsim::ServiceSnapshot snap = winsim::SnapshotServices(M());
    ASSERT_EQ(snap.size(), 1u);
    EXPECT_TRUE(snap[0].markedForDelete);
    EXPECT_TRUE(CService::RemoveService("QLJobEngine"));
    winsim::InjectFault("DeleteService", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CService::RemoveService("QLJobEngine"));
}

// ---- command-line forms ------------------------------------------------------------------------
class ServiceCommandLine : public ::testing::Test {
protected:
    void Program(const std::string &path) {
        M().PutFile(path, "MZ");
        winsim::Program p;
        p.runMs = 10000;
        M().programs[path] = p;
    }
    std::vector<std::string> CommandLines() {
        std::vector<std::string> lines;
        for (auto &r : M().processLog) lines.push_back(r.commandLine);
        return lines;
    }
};

TEST_F(ServiceCommandLine, EachFunctionAppendsItsSwitchAndDoesNotWait) {
    Program("C:\\Q\\JOBSRV.EXE");
    Program("C:\\Program Files\\Quillbak\\TAPESRV.EXE");
    DWORD t0 = GetTickCount();
    EXPECT_TRUE(StopServiceByCmdLine("C:\\Q\\JOBSRV.EXE"));
    EXPECT_TRUE(StartServiceByCmdLine("C:\\Q\\JOBSRV.EXE"));
    EXPECT_TRUE(InstallServiceByCmdLine("\"C:\\Program Files\\Quillbak\\TAPESRV.EXE\""));
    EXPECT_TRUE(RemoveServiceByCmdLine("\"C:\\Program Files\\Quillbak\\TAPESRV.EXE\""));
    EXPECT_EQ(GetTickCount() - t0, 0u);
    std::vector<std::string> expected = {
        "C:\\Q\\JOBSRV.EXE -stop",
        "C:\\Q\\JOBSRV.EXE -start",
        "\"C:\\Program Files\\Quillbak\\TAPESRV.EXE\" -install",
        "\"C:\\Program Files\\Quillbak\\TAPESRV.EXE\" -remove",
    };
    EXPECT_EQ(CommandLines(), expected);
}

TEST_F(ServiceCommandLine, TheProgramDoesItsOwnServiceWork) {
    M().PutFile("C:\\Q\\MSGSRV.EXE", "MZ");
    winsim::Program p;
    p.runMs = 500;
    p.effect = [](winsim::Machine &m, const std::string &commandLine) {
        if (commandLine.size() > 9 && commandLine.compare(commandLine.size() - 9, 9, " -install") == 0) {
            winsim::ServiceConfig c;
            c.name = "QLMsgEngine";
            c.imagePath = "C:\\Q\\MSGSRV.EXE";
            winsim::AddService(m, c);
        }
    };
    M().programs["C:\\Q\\MSGSRV.EXE"] = p;
    EXPECT_TRUE(InstallServiceByCmdLine("C:\\Q\\MSGSRV.EXE"));
    CService msg(CService::MessageEngine);
    EXPECT_FALSE(msg.Exists());  // not yet: setup did not wait
    Sleep(500);
    EXPECT_TRUE(msg.Exists());
}

TEST_F(ServiceCommandLine, ACommandThatCannotRunOrDoesNotFitIsRefused) {
    EXPECT_FALSE(StopServiceByCmdLine("C:\\Q\\MISSING.EXE"));
    EXPECT_FALSE(StopServiceByCmdLine(NULL));
    winsim::InjectFault("CreateProcessA", ERROR_NOT_ENOUGH_MEMORY);
    Program("C:\\Q\\JOBSRV.EXE");
    EXPECT_FALSE(StopServiceByCmdLine("C:\\Q\\JOBSRV.EXE"));
    // With " -stop" (6) and the NUL, a command of 253 characters fits in 260.
    std::string path = "C:\\" + std::string(242, 'D') + "\\JOBSRV.EXE";
    ASSERT_EQ(path.size(), 256u);
    std::string fits = path.substr(0, 253);
    std::string program = fits;
    Program(program);
    EXPECT_TRUE(StopServiceByCmdLine(fits.c_str()));
    std::string tooLong = fits + "X";
    Program(tooLong);
    EXPECT_FALSE(StopServiceByCmdLine(tooLong.c_str()));
    EXPECT_FALSE(InstallServiceByCmdLine(std::string(5000, 'A').c_str()));
    ASSERT_EQ(CommandLines().size(), 1u);
    EXPECT_EQ(CommandLines()[0], fits + " -stop");
}

}  // namespace
