// Network connections (mpr): the deviceless connections a program makes to
// another machine's shares, as Windows' winnetwk.h declares them.
#ifndef WINSIM_WINNETWK_H
#define WINSIM_WINNETWK_H

#include <windows.h>

#define RESOURCE_CONNECTED 0x00000001
#define RESOURCE_GLOBALNET 0x00000002
#define RESOURCE_REMEMBERED 0x00000003

#define RESOURCETYPE_ANY 0x00000000
#define RESOURCETYPE_DISK 0x00000001
#define RESOURCETYPE_PRINT 0x00000002

#define RESOURCEDISPLAYTYPE_GENERIC 0x00000000
#define RESOURCEUSAGE_CONNECTABLE 0x00000001

#define CONNECT_UPDATE_PROFILE 0x00000001

// Error codes of the connection functions (winerror.h on Windows).
#ifndef ERROR_ALREADY_ASSIGNED
#define ERROR_ALREADY_ASSIGNED 85L
#endif
#ifndef ERROR_SESSION_CREDENTIAL_CONFLICT
#define ERROR_SESSION_CREDENTIAL_CONFLICT 1219L
#endif
#ifndef ERROR_NOT_CONNECTED
#define ERROR_NOT_CONNECTED 2250L
#endif

typedef struct _NETRESOURCEA {
    DWORD dwScope;
    DWORD dwType;
    DWORD dwDisplayType;
    DWORD dwUsage;
    LPSTR lpLocalName;
    LPSTR lpRemoteName;
    LPSTR lpComment;
    LPSTR lpProvider;
} NETRESOURCEA, *LPNETRESOURCEA;
typedef NETRESOURCEA NETRESOURCE;
typedef LPNETRESOURCEA LPNETRESOURCE;

#ifdef __cplusplus
extern "C" {
#endif
WINBASEAPI DWORD WINAPI WNetAddConnection2A(LPNETRESOURCEA lpNetResource, LPCSTR lpPassword, LPCSTR lpUserName, DWORD dwFlags);
WINBASEAPI DWORD WINAPI WNetCancelConnection2A(LPCSTR lpName, DWORD dwFlags, BOOL fForce);
#ifdef __cplusplus
}
#endif

#define WNetAddConnection2 WNetAddConnection2A
#define WNetCancelConnection2 WNetCancelConnection2A

#endif
