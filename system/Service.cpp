// Service control through the local service control manager.
#include "Service.h"

#include <string.h>

const CString CService::m_sServicesKey = "SYSTEM\\CurrentControlSet\\Services";
const CString CService::m_sDependOnService = "DependOnService";
const DWORD CService::kWaitLimitMs;

namespace {

struct ServiceRow {
    const char *name;
    const char *executable;
    const char *displayName;
    const char *group;  // null: none
};

// Every row runs in its own, interactive process.
const DWORD kProductServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;

const ServiceRow kServiceTable[] = {
    {"QLJobEngine", "JOBSRV.EXE", "QuillbakIT Job Engine", "QuillbakIT"},
    {"QLTapeEngine", "TAPESRV.EXE", "QuillbakIT Tape Engine", "QuillbakIT"},
    {"QLDBEngine", "DBSRV.EXE", "QuillbakIT Database Engine", "QuillbakIT"},
    {"QLMsgEngine", "MSGSRV.EXE", "QuillbakIT Message Engine", "QuillbakIT"},
    {"Harnock Alert Notification Server", "NOTIFSRV.EXE", "Harnock Alert Notification Server", NULL},
    {"QLDiscoverySvc", "QLDSCSVC.EXE", "QuillbakIT Discovery Service", "QuillbakIT"},
};

// Drivers load in the "Filter" group whatever the caller names.
LPCSTR GroupFor(DWORD dwServiceType, LPCSTR lpszGroup) {
    return (dwServiceType == SERVICE_KERNEL_DRIVER || dwServiceType == SERVICE_FILE_SYSTEM_DRIVER) ? "Filter"
                                                                                                 : lpszGroup;
}

// Manager and service handles closed together when a call ends.
class ServiceHandles {
public:
    ServiceHandles() : m_hManager(NULL), m_hService(NULL), m_dwError(0) {}
    ~ServiceHandles() {
        if (m_hService) CloseServiceHandle(m_hService);
        if (m_hManager) CloseServiceHandle(m_hManager);
    }
    // Opens the manager and the service; on failure Error() tells why.
    bool Open(LPCSTR lpszName, DWORD dwManagerAccess, DWORD dwServiceAccess) {
        m_hManager = OpenSCManagerA(NULL, NULL, dwManagerAccess);
        if (!m_hManager) {
            m_dwError = GetLastError();
            return false;
        }
        m_hService = OpenServiceA(m_hManager, lpszName, dwServiceAccess);
        if (!m_hService) {
            m_dwError = GetLastError();
            return false;
        }
        return true;
    }
    SC_HANDLE Manager() const { return m_hManager; }
    SC_HANDLE Service() const { return m_hService; }
    DWORD Error() const { return m_dwError; }

private:
    ServiceHandles(const ServiceHandles &);
    ServiceHandles &operator=(const ServiceHandles &);
    SC_HANDLE m_hManager;
    SC_HANDLE m_hService;
    DWORD m_dwError;
};

// Waits while the service stays in `pendingState` and its check point grows,
// sleeping its wait hint each time. Returns false when the wait limit runs
// out first; `status` holds the last status seen.
bool WaitWhilePending(SC_HANDLE hService, DWORD pendingState, SERVICE_STATUS &status) {
    const DWORD started = GetTickCount();
    while (status.dwCurrentState == pendingState) {
        DWORD elapsed = GetTickCount() - started;
        if (elapsed >= CService::kWaitLimitMs) return false;
        DWORD checkPoint = status.dwCheckPoint;
        DWORD hint = status.dwWaitHint;
        // A hint beyond the limit must not carry the wait past it.
        if (hint > CService::kWaitLimitMs - elapsed) hint = CService::kWaitLimitMs - elapsed;
        Sleep(hint);
        if (!QueryServiceStatus(hService, &status)) break;
        if (status.dwCurrentState != pendingState) break;
        if (GetTickCount() - started >= CService::kWaitLimitMs) return false;
        if (status.dwCheckPoint <= checkPoint) break;
    }
    return true;
}

int StartOpenService(SC_HANDLE hService, BOOL bWait) {
    if (!StartServiceA(hService, 0, NULL)) return GetLastError() == ERROR_SERVICE_ALREADY_RUNNING;
    if (!bWait) return TRUE;
    SERVICE_STATUS status;
    memset(&status, 0, sizeof status);
    // A starting service cannot take the control, but the manager still
    // reports its status in answer.
    ControlService(hService, SERVICE_CONTROL_INTERROGATE, &status);
    if (!WaitWhilePending(hService, SERVICE_START_PENDING, status)) return FALSE;
    return status.dwCurrentState == SERVICE_RUNNING || status.dwCurrentState == SERVICE_START_PENDING;
}

// Starts or stops (without their own dependents) the services that name
// lpszName in "DependOnService"; only direct dependents.
int ForEachDependent(LPCSTR lpszName, bool bStart, BOOL bWait) {
    HKEY hServices;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, CService::m_sServicesKey, 0, KEY_ALL_ACCESS, &hServices) !=
        ERROR_SUCCESS)
        return FALSE;
    int result = TRUE;
    char szSubKey[256];
    for (DWORD i = 0;; ++i) {
        DWORD cch = sizeof szSubKey;
        if (RegEnumKeyExA(hServices, i, szSubKey, &cch, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        HKEY hService;
        if (RegOpenKeyExA(hServices, szSubKey, 0, KEY_READ, &hService) != ERROR_SUCCESS) continue;
        // Two NULs beyond what the value may fill end the walk in any case.
        char szDepends[256 + 2];
        memset(szDepends, 0, sizeof szDepends);
        DWORD cb = 256, type = 0;
        LONG e = RegQueryValueExA(hService, CService::m_sDependOnService, NULL, &type, (LPBYTE)szDepends, &cb);
        RegCloseKey(hService);
        if (e != ERROR_SUCCESS) continue;
        for (const char *p = szDepends; *p; p += strlen(p) + 1) {
            // Service names do not differ by case.
            if (lstrcmpiA(p, lpszName) != 0) continue;
            int ok = bStart ? CService::StartServiceA(szSubKey, bWait) : CService::StopService(szSubKey, bWait, FALSE);
            if (!ok) result = FALSE;
            break;
        }
    }
    RegCloseKey(hServices);
    return result;
}

int StopOpenService(SC_HANDLE hService, LPCSTR lpszName, BOOL bWait, BOOL bStopDependents) {
    SERVICE_STATUS status;
    memset(&status, 0, sizeof status);
    if (!QueryServiceStatus(hService, &status)) return FALSE;
    if (status.dwCurrentState == SERVICE_STOPPED) return TRUE;
    if (status.dwCurrentState == SERVICE_STOP_PENDING) {
        // Already stopping: with bWait it is waited for like any other stop.
        if (!bWait) return TRUE;
    } else if (!ControlService(hService, SERVICE_CONTROL_STOP, &status)) {
        if (GetLastError() != ERROR_DEPENDENT_SERVICES_RUNNING || !bStopDependents) return FALSE;
        ForEachDependent(lpszName, false, bWait);
        if (!ControlService(hService, SERVICE_CONTROL_STOP, &status)) return FALSE;
    }
    if (bWait && !WaitWhilePending(hService, SERVICE_STOP_PENDING, status)) return FALSE;
    return status.dwCurrentState == SERVICE_STOPPED;
}

}  // namespace

// ---- construction ----------------------------------------------------------------------
CService::CService(ServiceType type) : m_dwServiceType(0) {
    if ((int)type >= 0 && (size_t)type < sizeof kServiceTable / sizeof kServiceTable[0]) {
        const ServiceRow &row = kServiceTable[type];
        m_strName = row.name;
        m_strDisplayName = row.displayName;
        m_strExecutable = row.executable;
        m_dwServiceType = kProductServiceType;
        if (row.group) m_strLoadOrderGroup = row.group;
    }
}

CService::CService(LPCSTR lpszName, LPCSTR lpszExecutable, LPCSTR lpszDisplayName, DWORD dwServiceType,
                   LPCSTR lpszLoadOrderGroup)
    : m_strName(lpszName), m_strDisplayName(lpszDisplayName ? lpszDisplayName : lpszName),
      m_strExecutable(lpszExecutable), m_dwServiceType(dwServiceType),
      m_strLoadOrderGroup(lpszLoadOrderGroup ? lpszLoadOrderGroup : "") {}

CService::CService(const CService &other)
    : m_strName(other.m_strName), m_strDisplayName(other.m_strDisplayName), m_strExecutable(other.m_strExecutable),
      m_dwServiceType(other.m_dwServiceType), m_strLoadOrderGroup(other.m_strLoadOrderGroup) {}

CService &CService::operator=(const CService &other) {
    m_strName = other.m_strName;
    m_strDisplayName = other.m_strDisplayName;
    m_strExecutable = other.m_strExecutable;
    m_dwServiceType = other.m_dwServiceType;
    m_strLoadOrderGroup = other.m_strLoadOrderGroup;
    return *this;
}

CService::~CService() {}

CString CService::Name() const { return m_strName; }

CString CService::BinaryPath(LPCSTR lpszDirectory) const {
    CString strDirectory(lpszDirectory ? lpszDirectory : "");
    CString strPath = "\"" + strDirectory;
    if (strDirectory.IsEmpty() || strDirectory[strDirectory.GetLength() - 1] != '\\') strPath += '\\';
    return strPath + m_strExecutable + "\"";
}

// ---- instance forms ----------------------------------------------------------------------
int CService::InstallService(LPCSTR lpszDirectory, DWORD dwStartType, LPCSTR lpszAccount, LPCSTR lpszPassword) {
    return InstallService(m_strName, m_strDisplayName, BinaryPath(lpszDirectory), m_dwServiceType, dwStartType,
                          m_strLoadOrderGroup, NULL, lpszAccount, lpszPassword);
}

int CService::ChangeService(LPCSTR lpszDirectory, DWORD dwStartType, LPCSTR lpszAccount, LPCSTR lpszPassword) {
    return ChangeService(m_strName, m_strDisplayName, BinaryPath(lpszDirectory), m_dwServiceType, dwStartType,
                         m_strLoadOrderGroup, NULL, lpszAccount, lpszPassword);
}

int CService::IsStarted() { return IsStarted(m_strName); }
int CService::Exists() { return ServiceExists(m_strName); }
int CService::StartServiceA(BOOL bWait) { return StartServiceA(m_strName, bWait); }
int CService::StopService(BOOL bWait, BOOL bStopDependents) { return StopService(m_strName, bWait, bStopDependents); }
int CService::RemoveService() { return RemoveService(m_strName); }

// ---- class-wide forms ----------------------------------------------------------------------
int CService::InstallService(LPCSTR lpszName, LPCSTR lpszDisplayName, LPCSTR lpszBinaryPath, DWORD dwServiceType,
                             DWORD dwStartType, LPCSTR lpszLoadOrderGroup, LPCSTR lpszDependencies,
                             LPCSTR lpszAccount, LPCSTR lpszPassword) {
    SC_HANDLE hManager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (!hManager) return FALSE;
    SC_HANDLE hService = CreateServiceA(hManager, lpszName, lpszDisplayName, SERVICE_ALL_ACCESS, dwServiceType,
                                        dwStartType, SERVICE_ERROR_NORMAL, lpszBinaryPath,
                                        GroupFor(dwServiceType, lpszLoadOrderGroup), NULL, lpszDependencies,
                                        lpszAccount, lpszPassword);
    int result = hService != NULL || GetLastError() == ERROR_SERVICE_EXISTS;
    if (hService) CloseServiceHandle(hService);
    CloseServiceHandle(hManager);
    return result;
}

int CService::ChangeService(LPCSTR lpszName, LPCSTR lpszDisplayName, LPCSTR lpszBinaryPath, DWORD dwServiceType,
                            DWORD dwStartType, LPCSTR lpszLoadOrderGroup, LPCSTR lpszDependencies,
                            LPCSTR lpszAccount, LPCSTR lpszPassword) {
    ServiceHandles h;
    if (!h.Open(lpszName, SC_MANAGER_ALL_ACCESS, GENERIC_WRITE)) return FALSE;
    return ChangeServiceConfigA(h.Service(), dwServiceType, dwStartType, SERVICE_ERROR_NORMAL, lpszBinaryPath,
                                GroupFor(dwServiceType, lpszLoadOrderGroup), NULL, lpszDependencies, lpszAccount,
                                lpszPassword, lpszDisplayName)
               ? TRUE
               : FALSE;
}

int CService::IsStarted(LPCSTR lpszName) {
    ServiceHandles h;
    if (!h.Open(lpszName, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS)) return FALSE;
    SERVICE_STATUS status;
    if (!QueryServiceStatus(h.Service(), &status)) return FALSE;
    return status.dwCurrentState != SERVICE_STOPPED;
}

int CService::ServiceExists(LPCSTR lpszName) {
    ServiceHandles h;
    return h.Open(lpszName, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS) ? TRUE : FALSE;
}

int CService::StartServiceA(LPCSTR lpszName, BOOL bWait) {
    ServiceHandles h;
    if (!h.Open(lpszName, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS)) return FALSE;
    return StartOpenService(h.Service(), bWait);
}

int CService::StartDependentServices(LPCSTR lpszName, BOOL bWait) {
    return ForEachDependent(lpszName ? lpszName : "", true, bWait);
}

int CService::StopService(LPCSTR lpszName, BOOL bWait, BOOL bStopDependents) {
    ServiceHandles h;
    if (!h.Open(lpszName, SC_MANAGER_CONNECT, SERVICE_ALL_ACCESS))
        return h.Manager() && h.Error() == ERROR_SERVICE_DOES_NOT_EXIST;
    return StopOpenService(h.Service(), lpszName, bWait, bStopDependents);
}

int CService::RemoveService(LPCSTR lpszName) {
    ServiceHandles h;
    if (!h.Open(lpszName, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS))
        return h.Manager() && h.Error() == ERROR_SERVICE_DOES_NOT_EXIST;
    StopOpenService(h.Service(), lpszName, TRUE, FALSE);
    if (DeleteService(h.Service())) return TRUE;
    return GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
}

// ---- command-line forms ----------------------------------------------------------------------
namespace {

// The service program handles the switch itself; setup does not wait for it.
int RunServiceProgram(LPCSTR lpszCommand, LPCSTR lpszSwitch) {
    if (!lpszCommand) return FALSE;
    char szCommandLine[MAX_PATH];
    size_t nCommand = strlen(lpszCommand), nSwitch = strlen(lpszSwitch);
    if (nCommand + nSwitch >= sizeof szCommandLine) return FALSE;
    memcpy(szCommandLine, lpszCommand, nCommand);
    memcpy(szCommandLine + nCommand, lpszSwitch, nSwitch + 1);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    memset(&pi, 0, sizeof pi);
    if (!CreateProcessA(NULL, szCommandLine, NULL, NULL, TRUE, DETACHED_PROCESS, NULL, NULL, &si, &pi)) return FALSE;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return TRUE;
}

}  // namespace

extern "C" int WINAPI InstallServiceByCmdLine(LPCSTR lpszCommand) { return RunServiceProgram(lpszCommand, " -install"); }
extern "C" int WINAPI RemoveServiceByCmdLine(LPCSTR lpszCommand) { return RunServiceProgram(lpszCommand, " -remove"); }
extern "C" int WINAPI StartServiceByCmdLine(LPCSTR lpszCommand) { return RunServiceProgram(lpszCommand, " -start"); }
extern "C" int WINAPI StopServiceByCmdLine(LPCSTR lpszCommand) { return RunServiceProgram(lpszCommand, " -stop"); }
