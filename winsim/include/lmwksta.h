/* Workstation information. */
#ifndef WINSIM_LMWKSTA_H
#define WINSIM_LMWKSTA_H

#include "lmcons.h"

typedef struct _WKSTA_INFO_100 {
    DWORD wki100_platform_id;
    LMSTR wki100_computername;
    LMSTR wki100_langroup;
    DWORD wki100_ver_major;
    DWORD wki100_ver_minor;
} WKSTA_INFO_100, *PWKSTA_INFO_100, *LPWKSTA_INFO_100;

#ifdef __cplusplus
extern "C" {
#endif
NETAPI_EXPORT NET_API_STATUS NET_API_FUNCTION NetWkstaGetInfo(LMSTR servername, DWORD level, LPBYTE *bufptr);
#ifdef __cplusplus
}
#endif

#endif
