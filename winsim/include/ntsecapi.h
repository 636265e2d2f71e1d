/* The Local Security Authority: policy handles, domain information and
   trusted domains. */
#ifndef WINSIM_NTSECAPI_H
#define WINSIM_NTSECAPI_H

#include <windows.h>

#ifndef NTAPI
#define NTAPI
#endif

typedef LONG NTSTATUS;
typedef NTSTATUS *PNTSTATUS;
typedef PVOID LSA_HANDLE, *PLSA_HANDLE;
typedef ULONG LSA_ENUMERATION_HANDLE, *PLSA_ENUMERATION_HANDLE;

#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#define STATUS_MORE_ENTRIES ((NTSTATUS)0x00000105L)
#define STATUS_NO_MORE_ENTRIES ((NTSTATUS)0x8000001AL)
#define STATUS_INVALID_HANDLE ((NTSTATUS)0xC0000008L)
#define STATUS_INVALID_PARAMETER ((NTSTATUS)0xC000000DL)
#define STATUS_NO_MEMORY ((NTSTATUS)0xC0000017L)
#define STATUS_ACCESS_DENIED ((NTSTATUS)0xC0000022L)
#define STATUS_INVALID_INFO_CLASS ((NTSTATUS)0xC0000003L)
#define STATUS_NOT_IMPLEMENTED ((NTSTATUS)0xC0000002L)
#define STATUS_NO_SUCH_DOMAIN ((NTSTATUS)0xC00000DFL)
#define STATUS_OBJECT_NAME_NOT_FOUND ((NTSTATUS)0xC0000034L)
#define STATUS_OBJECT_NAME_COLLISION ((NTSTATUS)0xC0000035L)
#define STATUS_NO_SUCH_PRIVILEGE ((NTSTATUS)0xC0000060L)
#define RPC_NT_SERVER_UNAVAILABLE ((NTSTATUS)0xC0020017L)

typedef struct _LSA_UNICODE_STRING {
    USHORT Length;         /* bytes, without a terminating NUL */
    USHORT MaximumLength;  /* bytes */
    PWSTR Buffer;
} LSA_UNICODE_STRING, *PLSA_UNICODE_STRING;

typedef struct _LSA_OBJECT_ATTRIBUTES {
    ULONG Length;
    HANDLE RootDirectory;
    PLSA_UNICODE_STRING ObjectName;
    ULONG Attributes;
    PVOID SecurityDescriptor;
    PVOID SecurityQualityOfService;
} LSA_OBJECT_ATTRIBUTES, *PLSA_OBJECT_ATTRIBUTES;

typedef enum _POLICY_INFORMATION_CLASS {
    PolicyAuditLogInformation = 1,
    PolicyAuditEventsInformation,
    PolicyPrimaryDomainInformation,
    PolicyPdAccountInformation,
    PolicyAccountDomainInformation,
    PolicyLsaServerRoleInformation,
    PolicyReplicaSourceInformation,
    PolicyDefaultQuotaInformation,
    PolicyModificationInformation,
    PolicyAuditFullSetInformation,
    PolicyAuditFullQueryInformation,
    PolicyDnsDomainInformation
} POLICY_INFORMATION_CLASS, *PPOLICY_INFORMATION_CLASS;

typedef struct _POLICY_PRIMARY_DOMAIN_INFO {
    LSA_UNICODE_STRING Name;
    PSID Sid;
} POLICY_PRIMARY_DOMAIN_INFO, *PPOLICY_PRIMARY_DOMAIN_INFO;

typedef struct _POLICY_ACCOUNT_DOMAIN_INFO {
    LSA_UNICODE_STRING DomainName;
    PSID DomainSid;
} POLICY_ACCOUNT_DOMAIN_INFO, *PPOLICY_ACCOUNT_DOMAIN_INFO;

typedef struct _LSA_TRUST_INFORMATION {
    LSA_UNICODE_STRING Name;
    PSID Sid;
} LSA_TRUST_INFORMATION, *PLSA_TRUST_INFORMATION;

#define POLICY_VIEW_LOCAL_INFORMATION 0x00000001L
#define POLICY_VIEW_AUDIT_INFORMATION 0x00000002L
#define POLICY_GET_PRIVATE_INFORMATION 0x00000004L
#define POLICY_TRUST_ADMIN 0x00000008L
#define POLICY_CREATE_ACCOUNT 0x00000010L
#define POLICY_CREATE_SECRET 0x00000020L
#define POLICY_CREATE_PRIVILEGE 0x00000040L
#define POLICY_SET_DEFAULT_QUOTA_LIMITS 0x00000080L
#define POLICY_SET_AUDIT_REQUIREMENTS 0x00000100L
#define POLICY_AUDIT_LOG_ADMIN 0x00000200L
#define POLICY_SERVER_ADMIN 0x00000400L
#define POLICY_LOOKUP_NAMES 0x00000800L
#define POLICY_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | 0x00000FFFL)

/* Account objects: the logon rights (system access) and privileges of a SID. */
#define ACCOUNT_VIEW 0x00000001L
#define ACCOUNT_ADJUST_PRIVILEGES 0x00000002L
#define ACCOUNT_ADJUST_QUOTAS 0x00000004L
#define ACCOUNT_ADJUST_SYSTEM_ACCESS 0x00000008L
#define ACCOUNT_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | 0x0000000FL)

#define POLICY_MODE_INTERACTIVE 0x00000001L
#define POLICY_MODE_NETWORK 0x00000002L
#define POLICY_MODE_BATCH 0x00000004L
#define POLICY_MODE_SERVICE 0x00000010L
#define POLICY_MODE_PROXY 0x00000020L

#ifdef __cplusplus
extern "C" {
#endif
WINADVAPI NTSTATUS NTAPI LsaOpenPolicy(PLSA_UNICODE_STRING SystemName, PLSA_OBJECT_ATTRIBUTES ObjectAttributes,
                                       ACCESS_MASK DesiredAccess, PLSA_HANDLE PolicyHandle);
WINADVAPI NTSTATUS NTAPI LsaQueryInformationPolicy(LSA_HANDLE PolicyHandle,
                                                   POLICY_INFORMATION_CLASS InformationClass, PVOID *Buffer);
WINADVAPI NTSTATUS NTAPI LsaEnumerateTrustedDomains(LSA_HANDLE PolicyHandle,
                                                    PLSA_ENUMERATION_HANDLE EnumerationContext, PVOID *Buffer,
                                                    ULONG PreferedMaximumLength, PULONG CountReturned);
WINADVAPI NTSTATUS NTAPI LsaOpenAccount(LSA_HANDLE PolicyHandle, PSID AccountSid, ACCESS_MASK DesiredAccess,
                                        PLSA_HANDLE AccountHandle);
WINADVAPI NTSTATUS NTAPI LsaCreateAccount(LSA_HANDLE PolicyHandle, PSID AccountSid, ACCESS_MASK DesiredAccess,
                                          PLSA_HANDLE AccountHandle);
WINADVAPI NTSTATUS NTAPI LsaGetSystemAccessAccount(LSA_HANDLE AccountHandle, PULONG SystemAccess);
WINADVAPI NTSTATUS NTAPI LsaSetSystemAccessAccount(LSA_HANDLE AccountHandle, ULONG SystemAccess);
WINADVAPI NTSTATUS NTAPI LsaAddPrivilegesToAccount(LSA_HANDLE AccountHandle, PPRIVILEGE_SET Privileges);
WINADVAPI NTSTATUS NTAPI LsaEnumerateAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid,
                                                   PLSA_UNICODE_STRING *UserRights, PULONG CountOfRights);
WINADVAPI NTSTATUS NTAPI LsaClose(LSA_HANDLE ObjectHandle);
WINADVAPI NTSTATUS NTAPI LsaFreeMemory(PVOID Buffer);
WINADVAPI ULONG NTAPI LsaNtStatusToWinError(NTSTATUS Status);
#ifdef __cplusplus
}
#endif

#endif
