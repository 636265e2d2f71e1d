// Services on the simulated machine: declared by tests and machine images,
// reached on other machines, and the before/after report of a run.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const char kKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\";

winsim::ServiceConfig Config(const std::string &name, const std::string &display = "") {
    winsim::ServiceConfig c;
    c.name = name;
    c.displayName = display;
    c.imagePath = "C:\\Q\\" + name + ".EXE";
    return c;
}

SC_HANDLE OpenOn(const char *machine, const char *service) {
    SC_HANDLE scm = OpenSCManagerA(machine, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!scm) return nullptr;
    SC_HANDLE h = OpenServiceA(scm, service, SERVICE_ALL_ACCESS);
    CloseServiceHandle(scm);
    return h;
}

TEST(ServiceMachine, ADeclaredServiceIsItsRegistryKey) {
    winsim::Machine &m = winsim::LocalMachine();
    winsim::ServiceConfig c = Config("QLJobEngine", "QuillbakIT Job Engine");
    c.dependencies = {"QLDBEngine"};
    c.startType = SERVICE_AUTO_START;
    winsim::AddService(m, c, SERVICE_RUNNING);
    std::string text;
    DWORD d = 0;
    ASSERT_TRUE(m.registry.GetString(std::string(kKey) + "QLJobEngine", "ImagePath", text));
    EXPECT_EQ(text, "C:\\Q\\QLJobEngine.EXE");
    ASSERT_TRUE(m.registry.GetDword(std::string(kKey) + "QLJobEngine", "Start", d));
    EXPECT_EQ(d, (DWORD)SERVICE_AUTO_START);
    EXPECT_EQ(winsim::ServiceState(m, "qljobengine"), (DWORD)SERVICE_RUNNING);
    EXPECT_EQ(winsim::ServiceState(m, "NoSuchService"), 0u);
    EXPECT_THROW(winsim::SetServiceScript(m, "NoSuchService", winsim::ServiceScript()), std::invalid_argument);
}

TEST(ServiceMachine, AServiceKeyWrittenIntoTheRegistryIsAService) {
    winsim::Machine &m = winsim::LocalMachine();
    m.registry.ImportReg("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\OldSvc]\r\n"
                         "\"Type\"=dword:00000010\r\n\"Start\"=dword:00000002\r\n\"ImagePath\"=\"C:\\\\OLD.EXE\"\r\n");
    SC_HANDLE h = OpenOn(nullptr, "OldSvc");
    ASSERT_NE(h, nullptr) << GetLastError();
    SERVICE_STATUS st{};
    ASSERT_TRUE(QueryServiceStatus(h, &st));
    EXPECT_EQ(st.dwCurrentState, (DWORD)SERVICE_STOPPED);
    CloseServiceHandle(h);
    // A key without a service type is not a service (the default machine's
    // "LanmanServer\Shares" holder, for one).
    EXPECT_EQ(OpenOn(nullptr, "LanmanServer"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_DOES_NOT_EXIST);
}

TEST(ServiceMachine, AnotherMachinesManagerIsReachedByItsName) {
    winsim::Machine &other = winsim::CreateDefaultMachine("BACKUP2");
    winsim::AddService(other, Config("RemoteSvc"));
    EXPECT_EQ(OpenOn(nullptr, "RemoteSvc"), nullptr);
    SC_HANDLE h = OpenOn("\\\\backup2", "RemoteSvc");
    ASSERT_NE(h, nullptr) << GetLastError();
    EXPECT_TRUE(StartServiceA(h, 0, nullptr));
    CloseServiceHandle(h);
    EXPECT_EQ(winsim::ServiceState(other, "RemoteSvc"), (DWORD)SERVICE_RUNNING);
}

TEST(ServiceMachine, InjectedFailuresReachEveryManagerCall) {
    winsim::AddService(winsim::LocalMachine(), Config("QLJobEngine"));
    winsim::InjectFault("OpenSCManagerA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    SC_HANDLE h = OpenOn(nullptr, "QLJobEngine");
    ASSERT_NE(h, nullptr);
    winsim::InjectFault("StartServiceA", ERROR_SERVICE_REQUEST_TIMEOUT);
    EXPECT_FALSE(StartServiceA(h, 0, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_REQUEST_TIMEOUT);
    EXPECT_EQ(winsim::ServiceState(winsim::LocalMachine(), "QLJobEngine"), (DWORD)SERVICE_STOPPED);
    EXPECT_EQ(winsim::CallCount("StartServiceA"), 1u);
    CloseServiceHandle(h);
}

class ServiceImage : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qlsvcimage-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void WriteIni(const std::string &text) { std::ofstream(fs::path(dir_) / "machine.ini", std::ios::binary) << text; }
    std::string dir_;
};

TEST_F(ServiceImage, AnImageDeclaresServicesWithTheirScripts) {
    WriteIni("[machine]\nname=SVCHOST1\n"
             "[service QLDBEngine]\ndisplay=QuillbakIT Database Engine\nimage=\"C:\\Q\\DBSRV.EXE\"\n"
             "start=auto\nstate=running\ngroup=QuillbakIT\n"
             "[service QLJobEngine]\ndisplay=QuillbakIT Job Engine\nimage=C:\\Q\\JOBSRV.EXE\n"
             "depends=QLDBEngine\nstate=running\nscript=hangs-stopping\nwaithint=5000\naccount=.\\qlsvc\n");
    winsim::Machine &m = winsim::LoadMachineImage(dir_);
    std::string text;
    ASSERT_TRUE(m.registry.GetString(std::string(kKey) + "QLJobEngine", "DisplayName", text));
    EXPECT_EQ(text, "QuillbakIT Job Engine");
    ASSERT_TRUE(m.registry.GetString(std::string(kKey) + "QLJobEngine", "ObjectName", text));
    EXPECT_EQ(text, ".\\qlsvc");
    ASSERT_TRUE(m.registry.GetString(std::string(kKey) + "QLDBEngine", "Group", text));
    EXPECT_EQ(text, "QuillbakIT");
    winsim::ServiceSnapshot snap = winsim::SnapshotServices(m);
    ASSERT_EQ(snap.size(), 2u);
    EXPECT_EQ(snap[0].name, "QLDBEngine");  // the section's spelling
    EXPECT_EQ(snap[0].startType, (DWORD)SERVICE_AUTO_START);
    EXPECT_EQ(snap[1].state, (DWORD)SERVICE_RUNNING);
    // The script: the job engine never finishes stopping.
    SC_HANDLE h = OpenOn("SVCHOST1", "QLJobEngine");
    SERVICE_STATUS st{};
    ASSERT_TRUE(ControlService(h, SERVICE_CONTROL_STOP, &st));
    Sleep(60000);
    ASSERT_TRUE(QueryServiceStatus(h, &st));
    EXPECT_EQ(st.dwCurrentState, (DWORD)SERVICE_STOP_PENDING);
    EXPECT_EQ(st.dwWaitHint, 5000u);
    EXPECT_EQ(st.dwCheckPoint, 1u);
    CloseServiceHandle(h);
}

TEST_F(ServiceImage, MalformedServiceEntriesNameTheirLine) {
    struct Case {
        const char *ini;
        const char *what;
    } cases[] = {
        {"[machine]\nname=BADSVC\n[service A]\nstate=paused\n", "machine.ini(4): state must be stopped or running: paused"},
        {"[machine]\nname=BADSVC\n[service A]\nscript=sulks\n", "machine.ini(4): unknown service script: sulks"},
        {"[machine]\nname=BADSVC\n[service A]\nstartpolls=many\n", "machine.ini(4): expected a number: many"},
        {"[machine]\nname=BADSVC\n[service A]\ncolour=blue\n", "machine.ini(4): unknown service entry: colour"},
    };
    for (const Case &c : cases) {
        WriteIni(c.ini);
        try {
            winsim::LoadMachineImage(dir_);
            ADD_FAILURE() << c.ini;
        } catch (const winsim::ImageError &e) {
            std::string what = e.what();
            EXPECT_NE(what.find(c.what), std::string::npos) << what;
        }
    }
}

TEST(ServiceReport, DiffNamesEachChangeInNameOrder) {
    winsim::Machine &m = winsim::LocalMachine();
    winsim::AddService(m, Config("Alpha", "Alpha Service"), SERVICE_RUNNING);
    winsim::AddService(m, Config("Beta"));
    winsim::AddService(m, Config("Gamma"), SERVICE_RUNNING);
    winsim::AddService(m, Config("Delta"), SERVICE_RUNNING);
    winsim::ServiceSnapshot before = winsim::SnapshotServices(m);
    EXPECT_TRUE(winsim::DiffServices(before, winsim::SnapshotServices(m)).empty());

    SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE h = CreateServiceA(scm, "QLJobEngine", "QuillbakIT Job Engine", SERVICE_ALL_ACCESS, 0x110,
                                 SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "\"C:\\Q\\JOBSRV.EXE\"", "QuillbakIT",
                                 nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(h, nullptr);
    CloseServiceHandle(h);
    h = OpenServiceA(scm, "Alpha", SERVICE_ALL_ACCESS);
    SERVICE_STATUS st;
    ASSERT_TRUE(ControlService(h, SERVICE_CONTROL_STOP, &st));
    ASSERT_TRUE(ChangeServiceConfigA(h, SERVICE_NO_CHANGE, SERVICE_DISABLED, SERVICE_NO_CHANGE, "C:\\NEW.EXE",
                                     nullptr, nullptr, nullptr, nullptr, nullptr, "Alpha Renamed"));
    CloseServiceHandle(h);
    h = OpenServiceA(scm, "Beta", SERVICE_ALL_ACCESS);
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    CloseServiceHandle(h);
    winsim::ServiceScript slow;
    slow.stopPolls = 4;
    winsim::SetServiceScript(m, "Gamma", slow);
    h = OpenServiceA(scm, "Gamma", SERVICE_ALL_ACCESS);
    ASSERT_TRUE(ControlService(h, SERVICE_CONTROL_STOP, &st));
    CloseServiceHandle(h);
    h = OpenServiceA(scm, "Delta", SERVICE_ALL_ACCESS);
    ASSERT_TRUE(ControlService(h, SERVICE_CONTROL_STOP, &st));
    ASSERT_TRUE(DeleteService(h));
    CloseServiceHandle(h);
    CloseServiceHandle(scm);

    std::vector<std::string> lines = winsim::DiffServices(before, winsim::SnapshotServices(m));
    std::vector<std::string> expected = {
        "changed Alpha: display \"Alpha Service\" -> \"Alpha Renamed\"; start demand -> disabled; "
        "image \"C:\\Q\\Alpha.EXE\" -> \"C:\\NEW.EXE\"",
        "stopped Alpha",
        "started Beta (running)",
        "deleted Delta",
        "Gamma: running -> stop pending",
        "created QLJobEngine: \"QuillbakIT Job Engine\", demand start, LocalSystem, \"\"C:\\Q\\JOBSRV.EXE\"\", "
        "stopped",
    };
    EXPECT_EQ(lines, expected);
}

}  // namespace

namespace {

TEST(ServiceExample, TheExampleMachineRunsTheEarlierEngines) {
    winsim::Machine &m = winsim::LoadMachineImage(std::string(QL_SOURCE_DIR) + "/examples/nt4-remote");
    winsim::ServiceSnapshot snap = winsim::SnapshotServices(m);
    ASSERT_EQ(snap.size(), 3u);
    for (const winsim::ServiceInfo &s : snap) {
        EXPECT_EQ(s.state, (DWORD)SERVICE_RUNNING) << s.name;
        EXPECT_EQ(s.account, "LocalSystem") << s.name;
    }
    EXPECT_EQ(snap[1].name, "QLJobEngine");
    EXPECT_EQ(snap[1].imagePath, "\"C:\\QUILLBAK\\JOBSRV.EXE\"");
}

}  // namespace
