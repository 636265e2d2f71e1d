// LSA account objects and the NT statuses the account tests compare with.
// advapi32 exports these functions on every Windows NT, but the SDK's
// ntsecapi.h leaves them out (the DDK's ntlsa.h has them), and ntstatus.h
// cannot sit beside windows.h without WIN32_NO_STATUS.
#ifndef TESTS_WINSIM_SUPPORT_NTLSA_H
#define TESTS_WINSIM_SUPPORT_NTLSA_H

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

#ifndef STATUS_SUCCESS
#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#endif
#ifndef STATUS_ACCESS_DENIED
#define STATUS_ACCESS_DENIED ((NTSTATUS)0xC0000022L)
#endif
#ifndef STATUS_OBJECT_NAME_NOT_FOUND
#define STATUS_OBJECT_NAME_NOT_FOUND ((NTSTATUS)0xC0000034L)
#endif
#ifndef STATUS_OBJECT_NAME_COLLISION
#define STATUS_OBJECT_NAME_COLLISION ((NTSTATUS)0xC0000035L)
#endif
#ifndef STATUS_NO_SUCH_PRIVILEGE
#define STATUS_NO_SUCH_PRIVILEGE ((NTSTATUS)0xC0000060L)
#endif

#ifndef WINSIM_NTSECAPI_H
extern "C" {
NTSTATUS NTAPI LsaOpenAccount(LSA_HANDLE PolicyHandle, PSID AccountSid, ACCESS_MASK DesiredAccess,
                              PLSA_HANDLE AccountHandle);
NTSTATUS NTAPI LsaCreateAccount(LSA_HANDLE PolicyHandle, PSID AccountSid, ACCESS_MASK DesiredAccess,
                                PLSA_HANDLE AccountHandle);
NTSTATUS NTAPI LsaGetSystemAccessAccount(LSA_HANDLE AccountHandle, PULONG SystemAccess);
NTSTATUS NTAPI LsaSetSystemAccessAccount(LSA_HANDLE AccountHandle, ULONG SystemAccess);
NTSTATUS NTAPI LsaAddPrivilegesToAccount(LSA_HANDLE AccountHandle, PPRIVILEGE_SET Privileges);
}
#endif

#endif
