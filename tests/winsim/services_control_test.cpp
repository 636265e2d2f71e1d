// Starting, stopping and interrogating services: pending states on the
// clock, services that hang, refuse to stop or fail to start, dependencies.
#include "services_fixture.h"

namespace svctest {
namespace {

// Every test starts a service; a real manager needs a real program behind its
// image path, and one left start pending stays marked for deletion there.
class ServiceControl : public ServiceTest {
protected:
    void SetUp() override {
        SKIP_ON_WINE("the services the tests install have no program behind their image path, so none can be started");
        ServiceTest::SetUp();
    }
};

TEST_F(ServiceControl, StartRunsAServiceAndASecondStartIsRefused) {
    SC_HANDLE h = Install("WinsimSvcA");
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(StartServiceA(h, 0, nullptr)) << GetLastError();
    SERVICE_STATUS st = Status(h);
    EXPECT_EQ(st.dwCurrentState, (DWORD)SERVICE_RUNNING);
    EXPECT_EQ(st.dwControlsAccepted & SERVICE_ACCEPT_STOP, (DWORD)SERVICE_ACCEPT_STOP);
    EXPECT_EQ(st.dwCheckPoint, 0u);
    EXPECT_FALSE(StartServiceA(h, 0, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_ALREADY_RUNNING);
    SERVICE_STATUS asked{};
    EXPECT_TRUE(ControlService(h, SERVICE_CONTROL_INTERROGATE, &asked));
    EXPECT_EQ(asked.dwCurrentState, (DWORD)SERVICE_RUNNING);
    ASSERT_TRUE(ControlService(h, SERVICE_CONTROL_STOP, &asked)) << GetLastError();
    EXPECT_EQ(State("WinsimSvcA"), (DWORD)SERVICE_STOPPED);
    CloseServiceHandle(h);
}

TEST_F(ServiceControl, ControlsToAStoppedServiceFailWithItsStatus) {
    SC_HANDLE h = Install("WinsimSvcA");
    ASSERT_NE(h, nullptr);
    for (DWORD control : {(DWORD)SERVICE_CONTROL_STOP, (DWORD)SERVICE_CONTROL_INTERROGATE}) {
        SERVICE_STATUS st{};
        EXPECT_FALSE(ControlService(h, control, &st));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_NOT_ACTIVE);
        EXPECT_EQ(st.dwCurrentState, (DWORD)SERVICE_STOPPED);
    }
    SERVICE_STATUS st{};
    EXPECT_FALSE(ControlService(h, 99, &st));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    CloseServiceHandle(h);
}

TEST_F(ServiceControl, ADisabledServiceDoesNotStart) {
    SC_HANDLE h = Install("WinsimSvcA", nullptr, nullptr, SERVICE_DISABLED);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(StartServiceA(h, 0, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_DISABLED);
    CloseServiceHandle(h);
}

TEST_F(ServiceControl, StartPendingAdvancesItsCheckPointWithEachWaitHint) {
    SC_HANDLE h = Install("WinsimSvcA");
    ASSERT_NE(h, nullptr);
    SEEDED_OR_SKIP(ScriptService("WinsimSvcA", Behaviour::Normal, 3, 0, 2000));
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    for (DWORD checkPoint = 1; checkPoint <= 3; ++checkPoint) {
        SERVICE_STATUS st = Status(h);
        EXPECT_EQ(st.dwCurrentState, (DWORD)SERVICE_START_PENDING);
        EXPECT_EQ(st.dwCheckPoint, checkPoint);
        EXPECT_EQ(st.dwWaitHint, 2000u);
        EXPECT_EQ(st.dwControlsAccepted, 0u);
        Sleep(st.dwWaitHint);
    }
    EXPECT_EQ(Status(h).dwCurrentState, (DWORD)SERVICE_RUNNING);
    CloseServiceHandle(h);
}

TEST_F(ServiceControl, APendingServiceCannotTakeControlsButReportsItsStatus) {
    SC_HANDLE h = Install("WinsimSvcA");
    ASSERT_NE(h, nullptr);
    SEEDED_OR_SKIP(ScriptService("WinsimSvcA", Behaviour::Normal, 2, 2, 1000));
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    SERVICE_STATUS st{};
    EXPECT_FALSE(ControlService(h, SERVICE_CONTROL_INTERROGATE, &st));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    EXPECT_EQ(st.dwCurrentState, (DWORD)SERVICE_START_PENDING);
    EXPECT_FALSE(ControlService(h, SERVICE_CONTROL_STOP, &st));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    Sleep(2000);
    ASSERT_TRUE(ControlService(h, SERVICE_CONTROL_STOP, &st)) << GetLastError();
    EXPECT_EQ(st.dwCurrentState, (DWORD)SERVICE_STOP_PENDING);
    EXPECT_EQ(st.dwCheckPoint, 1u);
    EXPECT_FALSE(ControlService(h, SERVICE_CONTROL_STOP, &st));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    EXPECT_EQ(st.dwCurrentState, (DWORD)SERVICE_STOP_PENDING);
    Sleep(1000);
    EXPECT_EQ(Status(h).dwCheckPoint, 2u);
    Sleep(1000);
    EXPECT_EQ(Status(h).dwCurrentState, (DWORD)SERVICE_STOPPED);
    CloseServiceHandle(h);
}

TEST_F(ServiceControl, AHangingServiceNeverAdvancesItsCheckPoint) {
    SC_HANDLE h = Install("WinsimSvcA");
    ASSERT_NE(h, nullptr);
    SEEDED_OR_SKIP(ScriptService("WinsimSvcA", Behaviour::HangsStarting, 0, 0, 3000));
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    for (int i = 0; i < 5; ++i) {
        SERVICE_STATUS st = Status(h);
        EXPECT_EQ(st.dwCurrentState, (DWORD)SERVICE_START_PENDING);
        EXPECT_EQ(st.dwCheckPoint, 1u);
        Sleep(st.dwWaitHint);
    }
    CloseServiceHandle(h);
}

TEST_F(ServiceControl, AServiceThatRefusesToStopKeepsRunning) {
    SC_HANDLE h = Install("WinsimSvcA");
    ASSERT_NE(h, nullptr);
    SEEDED_OR_SKIP(ScriptService("WinsimSvcA", Behaviour::RefusesStop));
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    SERVICE_STATUS st{};
    EXPECT_FALSE(ControlService(h, SERVICE_CONTROL_STOP, &st));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_SERVICE_CONTROL);
    EXPECT_EQ(st.dwCurrentState, (DWORD)SERVICE_RUNNING);
    EXPECT_EQ(st.dwControlsAccepted & SERVICE_ACCEPT_STOP, 0u);
    CloseServiceHandle(h);
}

TEST_F(ServiceControl, AServiceThatFailsToStartEndsStoppedWithItsExitCode) {
    SC_HANDLE h = Install("WinsimSvcA");
    ASSERT_NE(h, nullptr);
    SEEDED_OR_SKIP(ScriptService("WinsimSvcA", Behaviour::FailsStart, 2, 0, 1000));
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    EXPECT_EQ(Status(h).dwCurrentState, (DWORD)SERVICE_START_PENDING);
    Sleep(2000);
    SERVICE_STATUS st = Status(h);
    EXPECT_EQ(st.dwCurrentState, (DWORD)SERVICE_STOPPED);
    EXPECT_EQ(st.dwWin32ExitCode, (DWORD)ERROR_SERVICE_SPECIFIC_ERROR);
    EXPECT_EQ(st.dwServiceSpecificExitCode, 1u);
    CloseServiceHandle(h);
}

TEST_F(ServiceControl, StartingAServiceStartsWhatItDependsOnFirst) {
    InstallClosed("WinsimSvcBase");
    SEEDED_OR_SKIP(ScriptService("WinsimSvcBase", Behaviour::Normal, 2, 0, 1000));
    SC_HANDLE h = Install("WinsimSvcTop", nullptr, "winsimsvcbase\0");
    ASSERT_NE(h, nullptr);
    DWORD t0 = GetTickCount();
    ASSERT_TRUE(StartServiceA(h, 0, nullptr)) << GetLastError();
    EXPECT_EQ(State("WinsimSvcBase"), (DWORD)SERVICE_RUNNING);
    EXPECT_EQ(State("WinsimSvcTop"), (DWORD)SERVICE_RUNNING);
    // The manager waited for the dependency to finish starting.
    EXPECT_GE(GetTickCount() - t0, 2000u);
    CloseServiceHandle(h);
}

TEST_F(ServiceControl, ADependencyThatFailsOrIsMissingStopsTheStart) {
    InstallClosed("WinsimSvcBase");
    SEEDED_OR_SKIP(ScriptService("WinsimSvcBase", Behaviour::FailsStart, 1, 0, 1000));
    SC_HANDLE h = Install("WinsimSvcTop", nullptr, "WinsimSvcBase\0");
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(StartServiceA(h, 0, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_DEPENDENCY_FAIL);
    EXPECT_EQ(Status(h).dwCurrentState, (DWORD)SERVICE_STOPPED);
    CloseServiceHandle(h);
    h = Install("WinsimSvcLone", nullptr, "WinsimSvcNowhere\0");
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(StartServiceA(h, 0, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_DEPENDENCY_DELETED);
    CloseServiceHandle(h);
}

TEST_F(ServiceControl, AServiceWithRunningDependentsDoesNotStop) {
    InstallClosed("WinsimSvcBase");
    SC_HANDLE top = Install("WinsimSvcTop", nullptr, "WINSIMSVCBASE\0");
    ASSERT_TRUE(StartServiceA(top, 0, nullptr));
    SC_HANDLE base = Open("WinsimSvcBase");
    SERVICE_STATUS st{};
    EXPECT_FALSE(ControlService(base, SERVICE_CONTROL_STOP, &st));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DEPENDENT_SERVICES_RUNNING);
    EXPECT_EQ(State("WinsimSvcBase"), (DWORD)SERVICE_RUNNING);
    ASSERT_TRUE(ControlService(top, SERVICE_CONTROL_STOP, &st));
    EXPECT_TRUE(ControlService(base, SERVICE_CONTROL_STOP, &st)) << GetLastError();
    CloseServiceHandle(base);
    CloseServiceHandle(top);
}

TEST_F(ServiceControl, DependentsAreListedDeepestFirstAfterSizing) {
    InstallClosed("WinsimSvcBase");
    InstallClosed("WinsimSvcMid", "WinsimSvcBase\0");
    InstallClosed("WinsimSvcTop", "winsimsvcmid\0");
    SC_HANDLE mid = Open("WinsimSvcMid");
    ASSERT_TRUE(StartServiceA(mid, 0, nullptr));
    CloseServiceHandle(mid);
    SC_HANDLE base = Open("WinsimSvcBase");
    DWORD need = 0, count = 7;
    EXPECT_FALSE(EnumDependentServicesA(base, SERVICE_STATE_ALL, nullptr, 0, &need, &count));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MORE_DATA);
    EXPECT_EQ(count, 0u);
    ASSERT_GT(need, 2 * sizeof(ENUM_SERVICE_STATUSA));
    std::vector<BYTE> buf(need);
    auto *list = reinterpret_cast<LPENUM_SERVICE_STATUSA>(buf.data());
    ASSERT_TRUE(EnumDependentServicesA(base, SERVICE_STATE_ALL, list, need, &need, &count)) << GetLastError();
    ASSERT_EQ(count, 2u);
    EXPECT_STREQ(list[0].lpServiceName, "WinsimSvcTop");
    EXPECT_STREQ(list[1].lpServiceName, "WinsimSvcMid");
    EXPECT_EQ(list[1].ServiceStatus.dwCurrentState, (DWORD)SERVICE_RUNNING);
    ASSERT_TRUE(EnumDependentServicesA(base, SERVICE_ACTIVE, list, need, &need, &count));
    ASSERT_EQ(count, 1u);
    EXPECT_STREQ(list[0].lpServiceName, "WinsimSvcMid");
    EXPECT_FALSE(EnumDependentServicesA(base, 4, list, need, &need, &count));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    CloseServiceHandle(base);
}

}  // namespace
}  // namespace svctest
