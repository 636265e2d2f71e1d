/* Users and local groups (netapi32). */
#ifndef WINSIM_LMACCESS_H
#define WINSIM_LMACCESS_H

#include "lmcons.h"

typedef struct _USER_INFO_1 {
    LPWSTR usri1_name;
    LPWSTR usri1_password;
    DWORD usri1_password_age;
    DWORD usri1_priv;
    LPWSTR usri1_home_dir;
    LPWSTR usri1_comment;
    DWORD usri1_flags;
    LPWSTR usri1_script_path;
} USER_INFO_1, *PUSER_INFO_1, *LPUSER_INFO_1;

typedef struct _USER_INFO_2 {
    LPWSTR usri2_name;
    LPWSTR usri2_password;
    DWORD usri2_password_age;
    DWORD usri2_priv;
    LPWSTR usri2_home_dir;
    LPWSTR usri2_comment;
    DWORD usri2_flags;
    LPWSTR usri2_script_path;
    DWORD usri2_auth_flags;
    LPWSTR usri2_full_name;
    LPWSTR usri2_usr_comment;
    LPWSTR usri2_parms;
    LPWSTR usri2_workstations;
    DWORD usri2_last_logon;
    DWORD usri2_last_logoff;
    DWORD usri2_acct_expires;
    DWORD usri2_max_storage;
    DWORD usri2_units_per_week;
    PBYTE usri2_logon_hours;
    DWORD usri2_bad_pw_count;
    DWORD usri2_num_logons;
    LPWSTR usri2_logon_server;
    DWORD usri2_country_code;
    DWORD usri2_code_page;
} USER_INFO_2, *PUSER_INFO_2, *LPUSER_INFO_2;

typedef struct _LOCALGROUP_MEMBERS_INFO_0 {
    PSID lgrmi0_sid;
} LOCALGROUP_MEMBERS_INFO_0, *PLOCALGROUP_MEMBERS_INFO_0, *LPLOCALGROUP_MEMBERS_INFO_0;

#define USER_PRIV_GUEST 0
#define USER_PRIV_USER 1
#define USER_PRIV_ADMIN 2

#define UF_SCRIPT 0x0001
#define UF_ACCOUNTDISABLE 0x0002
#define UF_PASSWD_NOTREQD 0x0020
#define UF_PASSWD_CANT_CHANGE 0x0040
#define UF_NORMAL_ACCOUNT 0x0200
#define UF_DONT_EXPIRE_PASSWD 0x10000

#define TIMEQ_FOREVER ((DWORD)-1)
#define USER_MAXSTORAGE_UNLIMITED ((DWORD)-1)

#define USER_NAME_PARMNUM 1
#define USER_PASSWORD_PARMNUM 3
#define USER_PRIV_PARMNUM 5

#ifdef __cplusplus
extern "C" {
#endif
NETAPI_EXPORT NET_API_STATUS NET_API_FUNCTION NetUserAdd(LPCWSTR servername, DWORD level, LPBYTE buf,
                                                         LPDWORD parm_err);
NETAPI_EXPORT NET_API_STATUS NET_API_FUNCTION NetUserGetInfo(LPCWSTR servername, LPCWSTR username, DWORD level,
                                                             LPBYTE *bufptr);
NETAPI_EXPORT NET_API_STATUS NET_API_FUNCTION NetUserDel(LPCWSTR servername, LPCWSTR username);
NETAPI_EXPORT NET_API_STATUS NET_API_FUNCTION NetUserChangePassword(LPCWSTR domainname, LPCWSTR username,
                                                                    LPCWSTR oldpassword, LPCWSTR newpassword);
NETAPI_EXPORT NET_API_STATUS NET_API_FUNCTION NetLocalGroupAddMembers(LPCWSTR servername, LPCWSTR groupname,
                                                                      DWORD level, LPBYTE buf, DWORD totalentries);
NETAPI_EXPORT NET_API_STATUS NET_API_FUNCTION NetLocalGroupAddMember(LPCWSTR servername, LPCWSTR groupname,
                                                                     PSID membersid);
NETAPI_EXPORT NET_API_STATUS NET_API_FUNCTION NetLocalGroupGetMembers(LPCWSTR servername, LPCWSTR localgroupname,
                                                                      DWORD level, LPBYTE *bufptr, DWORD prefmaxlen,
                                                                      LPDWORD entriesread, LPDWORD totalentries,
                                                                      DWORD_PTR *resumehandle);
#ifdef __cplusplus
}
#endif

#endif
