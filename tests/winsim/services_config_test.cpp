// Installing, opening, configuring and deleting services through the service
// control manager, and the registry keys that hold their configuration.
#include "services_fixture.h"

#include <cstring>

#include "support/wine.h"

namespace svctest {
namespace {

class ServiceConfig : public ServiceTest {};

TEST_F(ServiceConfig, TheManagerOpensOnThisMachineByAnyNameForIt) {
    SC_HANDLE h = OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(CloseServiceHandle(h));
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD cch = sizeof name;
    ASSERT_TRUE(GetComputerNameA(name, &cch));
    h = OpenSCManagerA((std::string("\\\\") + name).c_str(), nullptr, GENERIC_READ);
    ASSERT_NE(h, nullptr) << GetLastError();
    EXPECT_TRUE(CloseServiceHandle(h));
    // A closed handle is no handle; a kernel-style close does not take it.
    EXPECT_FALSE(CloseServiceHandle(h));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST_F(ServiceConfig, AnUnknownMachineOrDatabaseIsRefused) {
    SKIP_ON_WINE("OpenSCManagerA opens the local manager for any machine name instead of failing with RPC_S_SERVER_UNAVAILABLE");
    EXPECT_EQ(OpenSCManagerA("\\\\NOSUCHHOST9", nullptr, SC_MANAGER_CONNECT), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)RPC_S_SERVER_UNAVAILABLE);
    EXPECT_EQ(OpenSCManagerA(nullptr, "NoSuchDatabase", SC_MANAGER_CONNECT), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_NAME);
    EXPECT_EQ(OpenSCManagerA(nullptr, SERVICES_FAILED_DATABASEA, SC_MANAGER_CONNECT), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DATABASE_DOES_NOT_EXIST);
    SC_HANDLE h = OpenSCManagerA("", SERVICES_ACTIVE_DATABASEA, 0);
    EXPECT_NE(h, nullptr);
    CloseServiceHandle(h);
}

TEST_F(ServiceConfig, CreateWritesTheServiceKey) {
    SKIP_ON_WINE("CreateServiceA writes ImagePath as REG_SZ, not REG_EXPAND_SZ, and writes group dependencies (\"+name\") into DependOnService instead of DependOnGroup");
    SC_HANDLE h = CreateServiceA(scm_, "WinsimSvcA", "Winsim Service A", SERVICE_ALL_ACCESS, 0x110,
                                 SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, "\"C:\\Program Files\\A\\A.EXE\"",
                                 "WinsimGroup", nullptr, "WinsimSvcB\0+WinsimDeps\0", nullptr, nullptr);
    ASSERT_NE(h, nullptr) << GetLastError();
    created_.push_back("WinsimSvcA");
    DWORD type = 0;
    EXPECT_EQ(KeyString("WinsimSvcA", "ImagePath", &type), "\"C:\\Program Files\\A\\A.EXE\"");
    EXPECT_EQ(type, (DWORD)REG_EXPAND_SZ);
    EXPECT_EQ(KeyDword("WinsimSvcA", "Type"), 0x110u);
    EXPECT_EQ(KeyDword("WinsimSvcA", "Start"), (DWORD)SERVICE_AUTO_START);
    EXPECT_EQ(KeyDword("WinsimSvcA", "ErrorControl"), (DWORD)SERVICE_ERROR_NORMAL);
    EXPECT_EQ(KeyString("WinsimSvcA", "DisplayName"), "Winsim Service A");
    EXPECT_EQ(KeyString("WinsimSvcA", "ObjectName"), "LocalSystem");
    EXPECT_EQ(KeyString("WinsimSvcA", "Group"), "WinsimGroup");
    EXPECT_EQ(KeyString("WinsimSvcA", "DependOnService", &type), "WinsimSvcB");
    EXPECT_EQ(type, (DWORD)REG_MULTI_SZ);
    EXPECT_EQ(KeyString("WinsimSvcA", "DependOnGroup"), "WinsimDeps");
    SERVICE_STATUS st = Status(h);
    EXPECT_EQ(st.dwCurrentState, (DWORD)SERVICE_STOPPED);
    EXPECT_EQ(st.dwServiceType, 0x110u);
    EXPECT_TRUE(CloseServiceHandle(h));
}

TEST_F(ServiceConfig, CreatingAnExistingServiceFailsAndKeepsIt) {
    SKIP_ON_WINE("CreateServiceA accepts a display name another service has, instead of failing with ERROR_DUPLICATE_SERVICE_NAME");
    InstallClosed("WinsimSvcA");
    SC_HANDLE h = CreateServiceA(scm_, "winsimsvca", nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                 SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, "C:\\other.exe", nullptr, nullptr,
                                 nullptr, nullptr, nullptr);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_EXISTS);
    EXPECT_EQ(KeyString("WinsimSvcA", "ImagePath"), ImagePath("WinsimSvcA"));
    EXPECT_EQ(KeyDword("WinsimSvcA", "Start"), (DWORD)SERVICE_DEMAND_START);
    // A display name another service uses is refused too.
    h = CreateServiceA(scm_, "WinsimSvcB", "WinsimSvcA", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                       SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "C:\\b.exe", nullptr, nullptr, nullptr, nullptr,
                       nullptr);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DUPLICATE_SERVICE_NAME);
}

TEST_F(ServiceConfig, CreateChecksItsArgumentsAndRights) {
    SKIP_ON_WINE("CreateServiceA accepts a service account that does not exist, and reports other errors than Windows for some bad arguments");
    struct Case {
        const char *name;
        DWORD type, start, errorControl;
        const char *path;
        const char *account;
        DWORD error;
    } cases[] = {
        {"", SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, 1, "C:\\x.exe", nullptr, ERROR_INVALID_NAME},
        {"Winsim\\Svc", SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, 1, "C:\\x.exe", nullptr, ERROR_INVALID_NAME},
        {"WinsimSvcX", 0x40, SERVICE_DEMAND_START, 1, "C:\\x.exe", nullptr, ERROR_INVALID_PARAMETER},
        {"WinsimSvcX", SERVICE_WIN32_OWN_PROCESS, SERVICE_BOOT_START, 1, "C:\\x.exe", nullptr,
         ERROR_INVALID_PARAMETER},
        {"WinsimSvcX", SERVICE_WIN32_OWN_PROCESS, 5, 1, "C:\\x.exe", nullptr, ERROR_INVALID_PARAMETER},
        {"WinsimSvcX", SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, 4, "C:\\x.exe", nullptr,
         ERROR_INVALID_PARAMETER},
        {"WinsimSvcX", SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, 1, "", nullptr, ERROR_INVALID_PARAMETER},
        {"WinsimSvcX", SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS, SERVICE_DEMAND_START, 1, "C:\\x.exe",
         nullptr, ERROR_INVALID_PARAMETER},
        {"WinsimSvcX", SERVICE_FILE_SYSTEM_DRIVER | SERVICE_INTERACTIVE_PROCESS, SERVICE_DEMAND_START, 1, "x.sys",
         nullptr, ERROR_INVALID_PARAMETER},
        {"WinsimSvcX", SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START | SERVICE_DISABLED, 1, "C:\\x.exe", nullptr,
         ERROR_INVALID_PARAMETER},
        {"WinsimSvcX", 0x110, SERVICE_DEMAND_START, 1, "C:\\x.exe", ".\\someone", ERROR_INVALID_PARAMETER},
        {"WinsimSvcX", SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, 1, "C:\\x.exe", "someone",
         ERROR_INVALID_SERVICE_ACCOUNT},
    };
    for (const Case &c : cases) {
        SetLastError(0);
        SC_HANDLE h = CreateServiceA(scm_, c.name, nullptr, SERVICE_ALL_ACCESS, c.type, c.start, c.errorControl,
                                     c.path, nullptr, nullptr, nullptr, c.account, nullptr);
        EXPECT_EQ(h, nullptr) << c.name << " type " << c.type << " start " << c.start;
        EXPECT_EQ(GetLastError(), c.error) << c.name << " type " << c.type << " start " << c.start;
        if (h) CloseServiceHandle(h);
    }
    EXPECT_FALSE(KeyExists("WinsimSvcX"));
    SC_HANDLE connectOnly = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    ASSERT_NE(connectOnly, nullptr);
    // Missing texts are reported before the missing right, empty ones after it.
    EXPECT_EQ(CreateServiceA(connectOnly, nullptr, nullptr, 0, 0, 0, 0, "x.exe", nullptr, nullptr, nullptr, nullptr,
                             nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_ADDRESS);
    EXPECT_EQ(CreateServiceA(connectOnly, "", nullptr, 0, 0, 0, 0, "", nullptr, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenServiceA(connectOnly, nullptr, GENERIC_READ), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_ADDRESS);
    EXPECT_EQ(CreateServiceA(connectOnly, "WinsimSvcX", nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                             SERVICE_DEMAND_START, 1, "C:\\x.exe", nullptr, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CloseServiceHandle(connectOnly);
}

TEST_F(ServiceConfig, OpenFindsServicesWithoutCaseAndReportsMissingOnes) {
    InstallClosed("WinsimSvcA");
    SC_HANDLE h = Open("WINSIMSVCA", SERVICE_QUERY_STATUS);
    ASSERT_NE(h, nullptr) << GetLastError();
    CloseServiceHandle(h);
    EXPECT_EQ(Open("WinsimSvcMissing"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_EQ(OpenServiceA(nullptr, "WinsimSvcA", SERVICE_QUERY_STATUS), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    // A service handle is not a manager handle.
    SC_HANDLE s = Open("WinsimSvcA");
    EXPECT_EQ(OpenServiceA(s, "WinsimSvcA", SERVICE_QUERY_STATUS), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    CloseServiceHandle(s);
}

TEST_F(ServiceConfig, AHandleGetsOnlyTheRightsItAskedFor) {
    InstallClosed("WinsimSvcA");
    SC_HANDLE h = Open("WinsimSvcA", SERVICE_QUERY_STATUS);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(StartServiceA(h, 0, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(DeleteService(h));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CloseServiceHandle(h);
    // GENERIC_WRITE maps to changing the configuration only.
    h = Open("WinsimSvcA", GENERIC_WRITE);
    EXPECT_TRUE(ChangeServiceConfigA(h, SERVICE_NO_CHANGE, SERVICE_AUTO_START, SERVICE_NO_CHANGE, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr));
    SERVICE_STATUS st;
    EXPECT_FALSE(QueryServiceStatus(h, &st));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CloseServiceHandle(h);
}

TEST_F(ServiceConfig, QueryConfigSizesItsBufferThenFillsIt) {
    SKIP_ON_WINE("QueryServiceConfigA succeeds in a buffer smaller than the size it asked for, and returns an empty dependency list");
    SC_HANDLE h = Install("WinsimSvcA", "Winsim A", "WinsimSvcB\0WinsimSvcC\0");
    ASSERT_NE(h, nullptr);
    DWORD need = 0;
    EXPECT_FALSE(QueryServiceConfigA(h, nullptr, 0, &need));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    ASSERT_GT(need, sizeof(QUERY_SERVICE_CONFIGA));
    std::vector<BYTE> buf(need);
    auto *qc = reinterpret_cast<LPQUERY_SERVICE_CONFIGA>(buf.data());
    DWORD need2 = 0;
    EXPECT_FALSE(QueryServiceConfigA(h, qc, need - 1, &need2));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(need2, need);
    ASSERT_TRUE(QueryServiceConfigA(h, qc, need, &need2)) << GetLastError();
    EXPECT_EQ(qc->dwServiceType, (DWORD)SERVICE_WIN32_OWN_PROCESS);
    EXPECT_EQ(qc->dwStartType, (DWORD)SERVICE_DEMAND_START);
    EXPECT_EQ(qc->dwErrorControl, (DWORD)SERVICE_ERROR_NORMAL);
    EXPECT_STREQ(qc->lpBinaryPathName, ImagePath("WinsimSvcA").c_str());
    EXPECT_STREQ(qc->lpLoadOrderGroup, "");
    EXPECT_STREQ(qc->lpServiceStartName, "LocalSystem");
    EXPECT_STREQ(qc->lpDisplayName, "Winsim A");
    EXPECT_STREQ(qc->lpDependencies, "WinsimSvcB");
    EXPECT_STREQ(qc->lpDependencies + strlen("WinsimSvcB") + 1, "WinsimSvcC");
    EXPECT_EQ(qc->lpDependencies[strlen("WinsimSvcB") + 1 + strlen("WinsimSvcC") + 1], '\0');
    // Every text lies inside the caller's buffer.
    for (const char *p : {qc->lpBinaryPathName, qc->lpLoadOrderGroup, qc->lpDependencies, qc->lpServiceStartName,
                          qc->lpDisplayName}) {
        EXPECT_GE(reinterpret_cast<const BYTE *>(p), buf.data());
        EXPECT_LT(reinterpret_cast<const BYTE *>(p), buf.data() + need);
    }
    CloseServiceHandle(h);
}

TEST_F(ServiceConfig, ChangeConfigKeepsWhatItIsNotGiven) {
    SKIP_ON_WINE("ChangeServiceConfigA drops the dependencies and writes an empty Group where it is given none");
    SC_HANDLE h = Install("WinsimSvcA", "Winsim A", "WinsimSvcB\0");
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(ChangeServiceConfigA(h, SERVICE_NO_CHANGE, SERVICE_AUTO_START, SERVICE_NO_CHANGE,
                                     "\"C:\\New Dir\\A.EXE\"", nullptr, nullptr, nullptr, ".\\backup", "secret",
                                     "Winsim A Renamed"))
        << GetLastError();
    EXPECT_EQ(KeyDword("WinsimSvcA", "Start"), (DWORD)SERVICE_AUTO_START);
    EXPECT_EQ(KeyDword("WinsimSvcA", "Type"), (DWORD)SERVICE_WIN32_OWN_PROCESS);
    EXPECT_EQ(KeyString("WinsimSvcA", "ImagePath"), "\"C:\\New Dir\\A.EXE\"");
    EXPECT_EQ(KeyString("WinsimSvcA", "ObjectName"), ".\\backup");
    EXPECT_EQ(KeyString("WinsimSvcA", "DisplayName"), "Winsim A Renamed");
    EXPECT_EQ(KeyString("WinsimSvcA", "DependOnService"), "WinsimSvcB");
    // An empty list removes the dependencies; an empty group removes the group.
    ASSERT_TRUE(ChangeServiceConfigA(h, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, "",
                                     nullptr, "\0", nullptr, nullptr, nullptr));
    EXPECT_EQ(KeyString("WinsimSvcA", "DependOnService"), "<none>");
    EXPECT_EQ(KeyString("WinsimSvcA", "Group"), "<none>");
    EXPECT_FALSE(ChangeServiceConfigA(h, SERVICE_NO_CHANGE, 7, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    CloseServiceHandle(h);
}

TEST_F(ServiceConfig, DeleteMarksTheServiceUntilTheLastHandleCloses) {
    SKIP_ON_WINE("StartServiceA of a service marked for deletion fails with ERROR_SERVICE_DATABASE_LOCKED, not ERROR_SERVICE_MARKED_FOR_DELETE, and its key gets no DeleteFlag");
    SC_HANDLE h = Install("WinsimSvcA");
    ASSERT_NE(h, nullptr);
    SC_HANDLE other = Open("WinsimSvcA");
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(DeleteService(h));
    EXPECT_FALSE(DeleteService(other));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_MARKED_FOR_DELETE);
    EXPECT_FALSE(StartServiceA(other, 0, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_MARKED_FOR_DELETE);
    EXPECT_EQ(CreateServiceA(scm_, "WinsimSvcA", nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                             SERVICE_DEMAND_START, 1, "C:\\x.exe", nullptr, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_MARKED_FOR_DELETE);
    EXPECT_TRUE(KeyExists("WinsimSvcA"));
    EXPECT_EQ(KeyDword("WinsimSvcA", "DeleteFlag"), 1u);
    CloseServiceHandle(h);
    EXPECT_TRUE(KeyExists("WinsimSvcA"));
    CloseServiceHandle(other);
    EXPECT_FALSE(KeyExists("WinsimSvcA"));
    EXPECT_EQ(Open("WinsimSvcA"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_DOES_NOT_EXIST);
}

TEST_F(ServiceConfig, ARunningServiceMarkedForDeletionGoesWhenItStops) {
    SKIP_ON_WINE("the services the tests install have no program behind their image path, so none can be started");
    SC_HANDLE h = Install("WinsimSvcA");
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    ASSERT_TRUE(DeleteService(h));
    CloseServiceHandle(h);
    EXPECT_TRUE(KeyExists("WinsimSvcA"));
    h = Open("WinsimSvcA");
    ASSERT_NE(h, nullptr) << GetLastError();
    SERVICE_STATUS st;
    EXPECT_TRUE(ControlService(h, SERVICE_CONTROL_STOP, &st));
    CloseServiceHandle(h);
    EXPECT_FALSE(KeyExists("WinsimSvcA"));
}

TEST_F(ServiceConfig, TheDatabaseLockIsHeldOnceAndHoldsOffStarts) {
    SKIP_ON_WINE("the services the tests install have no program behind their image path, so none can be started");
    InstallClosed("WinsimSvcA");
    SC_LOCK lock = LockServiceDatabase(scm_);
    ASSERT_NE(lock, nullptr) << GetLastError();
    EXPECT_EQ(LockServiceDatabase(scm_), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_DATABASE_LOCKED);
    SC_HANDLE h = Open("WinsimSvcA");
    EXPECT_FALSE(StartServiceA(h, 0, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SERVICE_DATABASE_LOCKED);
    EXPECT_TRUE(UnlockServiceDatabase(lock));
    EXPECT_FALSE(UnlockServiceDatabase(lock));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_SERVICE_LOCK);
    EXPECT_TRUE(StartServiceA(h, 0, nullptr)) << GetLastError();
    CloseServiceHandle(h);
    SC_HANDLE connectOnly = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    EXPECT_EQ(LockServiceDatabase(connectOnly), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CloseServiceHandle(connectOnly);
}

}  // namespace
}  // namespace svctest
