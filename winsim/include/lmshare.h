/* Network shares. */
#ifndef WINSIM_LMSHARE_H
#define WINSIM_LMSHARE_H

#include "lmcons.h"
#include "securitybaseapi.h"

typedef struct _SHARE_INFO_1 {
    LMSTR shi1_netname;
    DWORD shi1_type;
    LMSTR shi1_remark;
} SHARE_INFO_1, *PSHARE_INFO_1, *LPSHARE_INFO_1;

typedef struct _SHARE_INFO_2 {
    LMSTR shi2_netname;
    DWORD shi2_type;
    LMSTR shi2_remark;
    DWORD shi2_permissions;
    DWORD shi2_max_uses;
    DWORD shi2_current_uses;
    LMSTR shi2_path;
    LMSTR shi2_passwd;
} SHARE_INFO_2, *PSHARE_INFO_2, *LPSHARE_INFO_2;

typedef struct _SHARE_INFO_502 {
    LMSTR shi502_netname;
    DWORD shi502_type;
    LMSTR shi502_remark;
    DWORD shi502_permissions;
    DWORD shi502_max_uses;
    DWORD shi502_current_uses;
    LMSTR shi502_path;
    LMSTR shi502_passwd;
    DWORD shi502_reserved;
    PSECURITY_DESCRIPTOR shi502_security_descriptor;
} SHARE_INFO_502, *PSHARE_INFO_502, *LPSHARE_INFO_502;

typedef struct _SHARE_INFO_1501 {
    DWORD shi1501_reserved;
    PSECURITY_DESCRIPTOR shi1501_security_descriptor;
} SHARE_INFO_1501, *PSHARE_INFO_1501, *LPSHARE_INFO_1501;

#define STYPE_DISKTREE 0
#define STYPE_PRINTQ 1
#define STYPE_DEVICE 2
#define STYPE_IPC 3
#define STYPE_TEMPORARY 0x40000000
#define STYPE_SPECIAL 0x80000000

#define ACCESS_NONE 0
#define ACCESS_READ 0x01
#define ACCESS_WRITE 0x02
#define ACCESS_CREATE 0x04
#define ACCESS_EXEC 0x08
#define ACCESS_DELETE 0x10
#define ACCESS_ATRIB 0x20
#define ACCESS_PERM 0x40
#define ACCESS_ALL (ACCESS_READ | ACCESS_WRITE | ACCESS_CREATE | ACCESS_EXEC | ACCESS_DELETE | ACCESS_ATRIB | ACCESS_PERM)

#define SHI_USES_UNLIMITED ((DWORD)-1)

#define SHARE_NETNAME_PARMNUM 1
#define SHARE_TYPE_PARMNUM 3
#define SHARE_REMARK_PARMNUM 4
#define SHARE_PATH_PARMNUM 9
#define SHARE_FILE_SD_PARMNUM 501

#ifdef __cplusplus
extern "C" {
#endif
NETAPI_EXPORT NET_API_STATUS NET_API_FUNCTION NetShareAdd(LMSTR servername, DWORD level, LPBYTE buf,
                                                          LPDWORD parm_err);
NETAPI_EXPORT NET_API_STATUS NET_API_FUNCTION NetShareGetInfo(LMSTR servername, LMSTR netname, DWORD level,
                                                              LPBYTE *bufptr);
NETAPI_EXPORT NET_API_STATUS NET_API_FUNCTION NetShareSetInfo(LMSTR servername, LMSTR netname, DWORD level,
                                                              LPBYTE buf, LPDWORD parm_err);
NETAPI_EXPORT NET_API_STATUS NET_API_FUNCTION NetShareDel(LMSTR servername, LMSTR netname, DWORD reserved);
NETAPI_EXPORT NET_API_STATUS NET_API_FUNCTION NetShareEnum(LMSTR servername, DWORD level, LPBYTE *bufptr,
                                                           DWORD prefmaxlen, LPDWORD entriesread,
                                                           LPDWORD totalentries, LPDWORD resume_handle);
#ifdef __cplusplus
}
#endif

#endif
