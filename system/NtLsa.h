// LSA account objects: advapi32 exports these functions on every Windows NT,
// but the SDK's ntsecapi.h leaves them out (the DDK's ntlsa.h has them).
// Internal to the library.
#ifndef QL_NTLSA_H
#define QL_NTLSA_H

#include <windows.h>
#include <ntsecapi.h>

#ifndef ACCOUNT_ALL_ACCESS
#define ACCOUNT_VIEW 0x00000001L
#define ACCOUNT_ADJUST_PRIVILEGES 0x00000002L
#define ACCOUNT_ADJUST_QUOTAS 0x00000004L
#define ACCOUNT_ADJUST_SYSTEM_ACCESS 0x00000008L
#define ACCOUNT_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | 0x0000000FL)
#endif

#ifndef POLICY_MODE_INTERACTIVE
#define POLICY_MODE_INTERACTIVE 0x00000001L
#define POLICY_MODE_NETWORK 0x00000002L
#define POLICY_MODE_BATCH 0x00000004L
#define POLICY_MODE_SERVICE 0x00000010L
#endif

#ifndef STATUS_OBJECT_NAME_NOT_FOUND
#define STATUS_OBJECT_NAME_NOT_FOUND ((NTSTATUS)0xC0000034L)
#endif

#ifndef WINSIM_NTSECAPI_H
extern "C" {
NTSTATUS NTAPI LsaOpenAccount(LSA_HANDLE PolicyHandle, PSID AccountSid, ACCESS_MASK DesiredAccess,
                              PLSA_HANDLE AccountHandle);
NTSTATUS NTAPI LsaCreateAccount(LSA_HANDLE PolicyHandle, PSID AccountSid, ACCESS_MASK DesiredAccess,
                                PLSA_HANDLE AccountHandle);
NTSTATUS NTAPI LsaSetSystemAccessAccount(LSA_HANDLE AccountHandle, ULONG SystemAccess);
NTSTATUS NTAPI LsaAddPrivilegesToAccount(LSA_HANDLE AccountHandle, PPRIVILEGE_SET Privileges);
}
#endif

#endif
