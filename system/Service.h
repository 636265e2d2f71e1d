// Installing, reconfiguring, starting, stopping and removing Windows NT
// services through the local service control manager.
#ifndef QL_SERVICE_H
#define QL_SERVICE_H

#include <windows.h>
#include <winsvc.h>

#include "QlApi.h"
#include "afxstr.h"

// One service: name, display name, executable (file name only), service type
// bits and load-order group. The object holds no handle: every operation
// opens and closes the manager and the service. Results are TRUE/FALSE;
// nothing is logged here.
class QL_API CService {
public:
    // The product's services, by their row in the service table.
    enum ServiceType {
        JobEngine = 0,
        TapeEngine = 1,
        DatabaseEngine = 2,
        MessageEngine = 3,
        AlertServer = 4,
        DiscoveryService = 5,
    };

    static const CString m_sServicesKey;      // "SYSTEM\CurrentControlSet\Services"
    static const CString m_sDependOnService;  // "DependOnService"

    // A row of the service table; any other value leaves every field empty.
    explicit CService(ServiceType type);
    // lpszDisplayName null: the name; lpszLoadOrderGroup null: no group.
    CService(LPCSTR lpszName, LPCSTR lpszExecutable, LPCSTR lpszDisplayName, DWORD dwServiceType,
             LPCSTR lpszLoadOrderGroup);
    CService(const CService &other);
    CService &operator=(const CService &other);
    ~CService();

    CString Name() const;

    // The binary path is "<directory>\<executable>" in double quotes.
    // Account and password null: the local system account.
    int InstallService(LPCSTR lpszDirectory, DWORD dwStartType, LPCSTR lpszAccount, LPCSTR lpszPassword);
    int ChangeService(LPCSTR lpszDirectory, DWORD dwStartType, LPCSTR lpszAccount, LPCSTR lpszPassword);
    int IsStarted();
    int Exists();
    int StartServiceA(BOOL bWait);
    int StopService(BOOL bWait, BOOL bStopDependents);
    int RemoveService();

    // TRUE when the service exists afterwards (an existing one is left as it is).
    static int InstallService(LPCSTR lpszName, LPCSTR lpszDisplayName, LPCSTR lpszBinaryPath, DWORD dwServiceType,
                              DWORD dwStartType, LPCSTR lpszLoadOrderGroup, LPCSTR lpszDependencies,
                              LPCSTR lpszAccount, LPCSTR lpszPassword);
    // TRUE when the configuration was changed.
    static int ChangeService(LPCSTR lpszName, LPCSTR lpszDisplayName, LPCSTR lpszBinaryPath, DWORD dwServiceType,
                             DWORD dwStartType, LPCSTR lpszLoadOrderGroup, LPCSTR lpszDependencies,
                             LPCSTR lpszAccount, LPCSTR lpszPassword);
    // TRUE when the service exists and is not stopped.
    static int IsStarted(LPCSTR lpszName);
    static int ServiceExists(LPCSTR lpszName);
    // TRUE when the service runs or is starting. With bWait, waits while its
    // check point grows, at most kWaitLimitMs.
    static int StartServiceA(LPCSTR lpszName, BOOL bWait);
    // Starts every service that names lpszName in its "DependOnService".
    static int StartDependentServices(LPCSTR lpszName, BOOL bWait);
    // TRUE when the service is stopped or does not exist; bStopDependents
    // stops the services that depend on it first when they keep it running.
    static int StopService(LPCSTR lpszName, BOOL bWait, BOOL bStopDependents);
    // TRUE when the service is gone or marked for deletion.
    static int RemoveService(LPCSTR lpszName);

    // The longest a start or stop waits, on the machine's clock, for a
    // service that keeps reporting progress without reaching its state.
    static const DWORD kWaitLimitMs = 5 * 60 * 1000;

private:
    CString BinaryPath(LPCSTR lpszDirectory) const;

    CString m_strName;
    CString m_strDisplayName;
    CString m_strExecutable;
    DWORD m_dwServiceType;
    CString m_strLoadOrderGroup;
};

// Run a service program with " -install", " -remove", " -start" or " -stop"
// appended to lpszCommand, without waiting for it. FALSE when the program
// cannot be started or the command and its switch do not fit in MAX_PATH
// characters.
QL_EXTERN_C QL_API int WINAPI InstallServiceByCmdLine(LPCSTR lpszCommand);
QL_EXTERN_C QL_API int WINAPI RemoveServiceByCmdLine(LPCSTR lpszCommand);
QL_EXTERN_C QL_API int WINAPI StartServiceByCmdLine(LPCSTR lpszCommand);
QL_EXTERN_C QL_API int WINAPI StopServiceByCmdLine(LPCSTR lpszCommand);

#endif
