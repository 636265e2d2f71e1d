/* Security: SIDs, ACLs, security descriptors, private object security,
   tokens and privileges, account name lookup. Types as winnt.h has them,
   functions as securitybaseapi.h and winbase.h declare them. The binary
   layouts are the Windows ones: code that walks a SID, an ACL or a
   self-relative descriptor byte by byte works unchanged. */
#ifndef WINSIM_SECURITYBASEAPI_H
#define WINSIM_SECURITYBASEAPI_H

#include "winsim_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- SIDs ------------------------------------------------------------ */
typedef struct _SID_IDENTIFIER_AUTHORITY {
    BYTE Value[6];
} SID_IDENTIFIER_AUTHORITY, *PSID_IDENTIFIER_AUTHORITY;

typedef struct _SID {
    BYTE Revision;
    BYTE SubAuthorityCount;
    SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
    DWORD SubAuthority[1];
} SID, *PISID;
typedef PVOID PSID;

#define SID_REVISION 1
#define SID_MAX_SUB_AUTHORITIES 15
#define SECURITY_MAX_SID_SIZE (sizeof(SID) - sizeof(DWORD) + (SID_MAX_SUB_AUTHORITIES * sizeof(DWORD)))

#define SECURITY_NULL_SID_AUTHORITY {0, 0, 0, 0, 0, 0}
#define SECURITY_WORLD_SID_AUTHORITY {0, 0, 0, 0, 0, 1}
#define SECURITY_LOCAL_SID_AUTHORITY {0, 0, 0, 0, 0, 2}
#define SECURITY_CREATOR_SID_AUTHORITY {0, 0, 0, 0, 0, 3}
#define SECURITY_NT_AUTHORITY {0, 0, 0, 0, 0, 5}

#define SECURITY_WORLD_RID 0x00000000L
#define SECURITY_LOCAL_SYSTEM_RID 0x00000012L
#define SECURITY_BUILTIN_DOMAIN_RID 0x00000020L
#define SECURITY_NT_NON_UNIQUE 0x00000015L
#define DOMAIN_USER_RID_ADMIN 0x000001F4L
#define DOMAIN_USER_RID_GUEST 0x000001F5L
#define DOMAIN_GROUP_RID_USERS 0x00000201L
#define DOMAIN_ALIAS_RID_ADMINS 0x00000220L
#define DOMAIN_ALIAS_RID_USERS 0x00000221L
#define DOMAIN_ALIAS_RID_GUESTS 0x00000222L
#define DOMAIN_ALIAS_RID_POWER_USERS 0x00000223L
#define DOMAIN_ALIAS_RID_BACKUP_OPS 0x00000227L

typedef enum _SID_NAME_USE {
    SidTypeUser = 1,
    SidTypeGroup,
    SidTypeDomain,
    SidTypeAlias,
    SidTypeWellKnownGroup,
    SidTypeDeletedAccount,
    SidTypeInvalid,
    SidTypeUnknown,
    SidTypeComputer
} SID_NAME_USE, *PSID_NAME_USE;

/* ---- ACLs and ACEs ---------------------------------------------------- */
typedef struct _ACL {
    BYTE AclRevision;
    BYTE Sbz1;
    WORD AclSize;
    WORD AceCount;
    WORD Sbz2;
} ACL, *PACL;

#define ACL_REVISION 2
#define ACL_REVISION_DS 4
#define MAXDWORD 0xffffffff

typedef struct _ACE_HEADER {
    BYTE AceType;
    BYTE AceFlags;
    WORD AceSize;
} ACE_HEADER, *PACE_HEADER;

#define ACCESS_ALLOWED_ACE_TYPE 0x0
#define ACCESS_DENIED_ACE_TYPE 0x1
#define SYSTEM_AUDIT_ACE_TYPE 0x2

#define OBJECT_INHERIT_ACE 0x1
#define CONTAINER_INHERIT_ACE 0x2
#define NO_PROPAGATE_INHERIT_ACE 0x4
#define INHERIT_ONLY_ACE 0x8
#define INHERITED_ACE 0x10
#define VALID_INHERIT_FLAGS 0x1F

typedef struct _ACCESS_ALLOWED_ACE {
    ACE_HEADER Header;
    ACCESS_MASK Mask;
    DWORD SidStart;
} ACCESS_ALLOWED_ACE, *PACCESS_ALLOWED_ACE;

typedef struct _ACCESS_DENIED_ACE {
    ACE_HEADER Header;
    ACCESS_MASK Mask;
    DWORD SidStart;
} ACCESS_DENIED_ACE, *PACCESS_DENIED_ACE;

typedef enum _ACL_INFORMATION_CLASS { AclRevisionInformation = 1, AclSizeInformation } ACL_INFORMATION_CLASS;

typedef struct _ACL_REVISION_INFORMATION {
    DWORD AclRevision;
} ACL_REVISION_INFORMATION, *PACL_REVISION_INFORMATION;

typedef struct _ACL_SIZE_INFORMATION {
    DWORD AceCount;
    DWORD AclBytesInUse;
    DWORD AclBytesFree;
} ACL_SIZE_INFORMATION, *PACL_SIZE_INFORMATION;

/* ---- security descriptors --------------------------------------------- */
typedef WORD SECURITY_DESCRIPTOR_CONTROL, *PSECURITY_DESCRIPTOR_CONTROL;
typedef PVOID PSECURITY_DESCRIPTOR;
typedef DWORD SECURITY_INFORMATION, *PSECURITY_INFORMATION;

#define SECURITY_DESCRIPTOR_REVISION 1
#define SECURITY_DESCRIPTOR_REVISION1 1

#define SE_OWNER_DEFAULTED 0x0001
#define SE_GROUP_DEFAULTED 0x0002
#define SE_DACL_PRESENT 0x0004
#define SE_DACL_DEFAULTED 0x0008
#define SE_SACL_PRESENT 0x0010
#define SE_SACL_DEFAULTED 0x0020
#define SE_DACL_AUTO_INHERITED 0x0400
#define SE_SACL_AUTO_INHERITED 0x0800
#define SE_DACL_PROTECTED 0x1000
#define SE_SACL_PROTECTED 0x2000
#define SE_SELF_RELATIVE 0x8000

typedef struct _SECURITY_DESCRIPTOR {
    BYTE Revision;
    BYTE Sbz1;
    SECURITY_DESCRIPTOR_CONTROL Control;
    PSID Owner;
    PSID Group;
    PACL Sacl;
    PACL Dacl;
} SECURITY_DESCRIPTOR, *PISECURITY_DESCRIPTOR;

typedef struct _SECURITY_DESCRIPTOR_RELATIVE {
    BYTE Revision;
    BYTE Sbz1;
    SECURITY_DESCRIPTOR_CONTROL Control;
    DWORD Owner;
    DWORD Group;
    DWORD Sacl;
    DWORD Dacl;
} SECURITY_DESCRIPTOR_RELATIVE, *PISECURITY_DESCRIPTOR_RELATIVE;

#define SECURITY_DESCRIPTOR_MIN_LENGTH (sizeof(SECURITY_DESCRIPTOR))

#define OWNER_SECURITY_INFORMATION 0x00000001L
#define GROUP_SECURITY_INFORMATION 0x00000002L
#define DACL_SECURITY_INFORMATION 0x00000004L
#define SACL_SECURITY_INFORMATION 0x00000008L

typedef struct _GENERIC_MAPPING {
    ACCESS_MASK GenericRead;
    ACCESS_MASK GenericWrite;
    ACCESS_MASK GenericExecute;
    ACCESS_MASK GenericAll;
} GENERIC_MAPPING, *PGENERIC_MAPPING;

#define ACCESS_SYSTEM_SECURITY 0x01000000L
#define SPECIFIC_RIGHTS_ALL 0x0000FFFFL

/* ---- tokens and privileges -------------------------------------------- */
typedef struct _LUID {
    DWORD LowPart;
    LONG HighPart;
} LUID, *PLUID;

typedef struct _LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes;
} LUID_AND_ATTRIBUTES, *PLUID_AND_ATTRIBUTES;

typedef struct _TOKEN_PRIVILEGES {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[1];
} TOKEN_PRIVILEGES, *PTOKEN_PRIVILEGES;

#define SE_PRIVILEGE_ENABLED_BY_DEFAULT 0x00000001L
#define SE_PRIVILEGE_ENABLED 0x00000002L
#define SE_PRIVILEGE_REMOVED 0x00000004L
#define SE_PRIVILEGE_USED_FOR_ACCESS 0x80000000L

#define TOKEN_ASSIGN_PRIMARY 0x0001
#define TOKEN_DUPLICATE 0x0002
#define TOKEN_IMPERSONATE 0x0004
#define TOKEN_QUERY 0x0008
#define TOKEN_QUERY_SOURCE 0x0010
#define TOKEN_ADJUST_PRIVILEGES 0x0020
#define TOKEN_ADJUST_GROUPS 0x0040
#define TOKEN_ADJUST_DEFAULT 0x0080
#define TOKEN_READ (STANDARD_RIGHTS_READ | TOKEN_QUERY)
#define TOKEN_WRITE (STANDARD_RIGHTS_WRITE | TOKEN_ADJUST_PRIVILEGES | TOKEN_ADJUST_GROUPS | TOKEN_ADJUST_DEFAULT)
#define TOKEN_ALL_ACCESS                                                                                        \
    (STANDARD_RIGHTS_REQUIRED | TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_IMPERSONATE | TOKEN_QUERY |        \
     TOKEN_QUERY_SOURCE | TOKEN_ADJUST_PRIVILEGES | TOKEN_ADJUST_GROUPS | TOKEN_ADJUST_DEFAULT)

#define SE_SECURITY_NAME "SeSecurityPrivilege"
#define SE_BACKUP_NAME "SeBackupPrivilege"
#define SE_RESTORE_NAME "SeRestorePrivilege"
#define SE_SHUTDOWN_NAME "SeShutdownPrivilege"
#define SE_TAKE_OWNERSHIP_NAME "SeTakeOwnershipPrivilege"
#define SE_DEBUG_NAME "SeDebugPrivilege"
#define SE_TCB_NAME "SeTcbPrivilege"
#define SE_SERVICE_LOGON_NAME "SeServiceLogonRight"

/* ---- functions --------------------------------------------------------- */
__attribute__((visibility("default"))) BOOL WINAPI AllocateAndInitializeSid(
    PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority, BYTE nSubAuthorityCount, DWORD nSubAuthority0,
    DWORD nSubAuthority1, DWORD nSubAuthority2, DWORD nSubAuthority3, DWORD nSubAuthority4, DWORD nSubAuthority5,
    DWORD nSubAuthority6, DWORD nSubAuthority7, PSID *pSid);
__attribute__((visibility("default"))) PVOID WINAPI FreeSid(PSID pSid);
__attribute__((visibility("default"))) BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2);
__attribute__((visibility("default"))) BOOL WINAPI IsValidSid(PSID pSid);
__attribute__((visibility("default"))) DWORD WINAPI GetLengthSid(PSID pSid);
__attribute__((visibility("default"))) BOOL WINAPI CopySid(DWORD nDestinationSidLength, PSID pDestinationSid,
                                                           PSID pSourceSid);
__attribute__((visibility("default"))) BOOL WINAPI LookupAccountNameA(LPCSTR lpSystemName, LPCSTR lpAccountName,
                                                                      PSID Sid, LPDWORD cbSid,
                                                                      LPSTR ReferencedDomainName,
                                                                      LPDWORD cchReferencedDomainName,
                                                                      PSID_NAME_USE peUse);
__attribute__((visibility("default"))) BOOL WINAPI LookupAccountSidA(LPCSTR lpSystemName, PSID Sid, LPSTR Name,
                                                                     LPDWORD cchName, LPSTR ReferencedDomainName,
                                                                     LPDWORD cchReferencedDomainName,
                                                                     PSID_NAME_USE peUse);

__attribute__((visibility("default"))) BOOL WINAPI InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision);
__attribute__((visibility("default"))) BOOL WINAPI AddAccessAllowedAce(PACL pAcl, DWORD dwAceRevision,
                                                                       DWORD AccessMask, PSID pSid);
__attribute__((visibility("default"))) BOOL WINAPI AddAccessDeniedAce(PACL pAcl, DWORD dwAceRevision,
                                                                      DWORD AccessMask, PSID pSid);
__attribute__((visibility("default"))) BOOL WINAPI GetAce(PACL pAcl, DWORD dwAceIndex, LPVOID *pAce);
__attribute__((visibility("default"))) BOOL WINAPI DeleteAce(PACL pAcl, DWORD dwAceIndex);
__attribute__((visibility("default"))) BOOL WINAPI IsValidAcl(PACL pAcl);
__attribute__((visibility("default"))) BOOL WINAPI GetAclInformation(PACL pAcl, LPVOID pAclInformation,
                                                                     DWORD nAclInformationLength,
                                                                     ACL_INFORMATION_CLASS dwAclInformationClass);

__attribute__((visibility("default"))) BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                                                DWORD dwRevision);
__attribute__((visibility("default"))) BOOL WINAPI IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor);
__attribute__((visibility("default"))) DWORD WINAPI GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR pSecurityDescriptor);
__attribute__((visibility("default"))) BOOL WINAPI GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                                                PSECURITY_DESCRIPTOR_CONTROL pControl,
                                                                                LPDWORD lpdwRevision);
__attribute__((visibility("default"))) BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                                             BOOL bDaclPresent, PACL pDacl,
                                                                             BOOL bDaclDefaulted);
__attribute__((visibility("default"))) BOOL WINAPI GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                                             LPBOOL lpbDaclPresent, PACL *pDacl,
                                                                             LPBOOL lpbDaclDefaulted);
__attribute__((visibility("default"))) BOOL WINAPI SetSecurityDescriptorSacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                                             BOOL bSaclPresent, PACL pSacl,
                                                                             BOOL bSaclDefaulted);
__attribute__((visibility("default"))) BOOL WINAPI GetSecurityDescriptorSacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                                             LPBOOL lpbSaclPresent, PACL *pSacl,
                                                                             LPBOOL lpbSaclDefaulted);
__attribute__((visibility("default"))) BOOL WINAPI SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                                              PSID pOwner, BOOL bOwnerDefaulted);
__attribute__((visibility("default"))) BOOL WINAPI GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                                              PSID *pOwner, LPBOOL lpbOwnerDefaulted);
__attribute__((visibility("default"))) BOOL WINAPI SetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                                              PSID pGroup, BOOL bGroupDefaulted);
__attribute__((visibility("default"))) BOOL WINAPI GetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                                              PSID *pGroup, LPBOOL lpbGroupDefaulted);
__attribute__((visibility("default"))) BOOL WINAPI MakeSelfRelativeSD(PSECURITY_DESCRIPTOR pAbsoluteSecurityDescriptor,
                                                                      PSECURITY_DESCRIPTOR pSelfRelativeSecurityDescriptor,
                                                                      LPDWORD lpdwBufferLength);
__attribute__((visibility("default"))) BOOL WINAPI MakeAbsoluteSD(PSECURITY_DESCRIPTOR pSelfRelativeSecurityDescriptor,
                                                                  PSECURITY_DESCRIPTOR pAbsoluteSecurityDescriptor,
                                                                  LPDWORD lpdwAbsoluteSecurityDescriptorSize,
                                                                  PACL pDacl, LPDWORD lpdwDaclSize, PACL pSacl,
                                                                  LPDWORD lpdwSaclSize, PSID pOwner,
                                                                  LPDWORD lpdwOwnerSize, PSID pPrimaryGroup,
                                                                  LPDWORD lpdwPrimaryGroupSize);

__attribute__((visibility("default"))) BOOL WINAPI CreatePrivateObjectSecurity(
    PSECURITY_DESCRIPTOR ParentDescriptor, PSECURITY_DESCRIPTOR CreatorDescriptor, PSECURITY_DESCRIPTOR *NewDescriptor,
    BOOL IsDirectoryObject, HANDLE Token, PGENERIC_MAPPING GenericMapping);
__attribute__((visibility("default"))) BOOL WINAPI SetPrivateObjectSecurity(
    SECURITY_INFORMATION SecurityInformation, PSECURITY_DESCRIPTOR ModificationDescriptor,
    PSECURITY_DESCRIPTOR *ObjectsSecurityDescriptor, PGENERIC_MAPPING GenericMapping, HANDLE Token);
__attribute__((visibility("default"))) BOOL WINAPI GetPrivateObjectSecurity(
    PSECURITY_DESCRIPTOR ObjectDescriptor, SECURITY_INFORMATION SecurityInformation,
    PSECURITY_DESCRIPTOR ResultantDescriptor, DWORD DescriptorLength, PDWORD ReturnLength);
__attribute__((visibility("default"))) BOOL WINAPI DestroyPrivateObjectSecurity(PSECURITY_DESCRIPTOR *ObjectDescriptor);
__attribute__((visibility("default"))) void WINAPI MapGenericMask(PDWORD AccessMask, PGENERIC_MAPPING GenericMapping);

__attribute__((visibility("default"))) BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess,
                                                                    PHANDLE TokenHandle);
__attribute__((visibility("default"))) BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle,
                                                                         BOOL DisableAllPrivileges,
                                                                         PTOKEN_PRIVILEGES NewState,
                                                                         DWORD BufferLength,
                                                                         PTOKEN_PRIVILEGES PreviousState,
                                                                         PDWORD ReturnLength);
__attribute__((visibility("default"))) BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName,
                                                                         PLUID lpLuid);

#ifdef __cplusplus
}
#endif

/* ---- token information, impersonation, access checks ------------------- */
typedef enum _TOKEN_INFORMATION_CLASS {
    TokenUser = 1,
    TokenGroups,
    TokenPrivileges,
    TokenOwner,
    TokenPrimaryGroup,
    TokenDefaultDacl,
    TokenSource,
    TokenType,
    TokenImpersonationLevel,
    TokenStatistics
} TOKEN_INFORMATION_CLASS,
    *PTOKEN_INFORMATION_CLASS;

typedef struct _SID_AND_ATTRIBUTES {
    PSID Sid;
    DWORD Attributes;
} SID_AND_ATTRIBUTES, *PSID_AND_ATTRIBUTES;

typedef struct _TOKEN_USER {
    SID_AND_ATTRIBUTES User;
} TOKEN_USER, *PTOKEN_USER;

typedef struct _TOKEN_GROUPS {
    DWORD GroupCount;
    SID_AND_ATTRIBUTES Groups[1];
} TOKEN_GROUPS, *PTOKEN_GROUPS;

#define SE_GROUP_MANDATORY 0x00000001L
#define SE_GROUP_ENABLED_BY_DEFAULT 0x00000002L
#define SE_GROUP_ENABLED 0x00000004L

typedef enum _SECURITY_IMPERSONATION_LEVEL {
    SecurityAnonymous,
    SecurityIdentification,
    SecurityImpersonation,
    SecurityDelegation
} SECURITY_IMPERSONATION_LEVEL,
    *PSECURITY_IMPERSONATION_LEVEL;

typedef struct _PRIVILEGE_SET {
    DWORD PrivilegeCount;
    DWORD Control;
    LUID_AND_ATTRIBUTES Privilege[1];
} PRIVILEGE_SET, *PPRIVILEGE_SET;

#define PRIVILEGE_SET_ALL_NECESSARY 1

#ifdef __cplusplus
extern "C" {
#endif
__attribute__((visibility("default"))) BOOL WINAPI GetTokenInformation(HANDLE TokenHandle,
                                                                       TOKEN_INFORMATION_CLASS TokenInformationClass,
                                                                       LPVOID TokenInformation,
                                                                       DWORD TokenInformationLength,
                                                                       PDWORD ReturnLength);
__attribute__((visibility("default"))) BOOL WINAPI ImpersonateSelf(SECURITY_IMPERSONATION_LEVEL ImpersonationLevel);
__attribute__((visibility("default"))) BOOL WINAPI OpenThreadToken(HANDLE ThreadHandle, DWORD DesiredAccess,
                                                                   BOOL OpenAsSelf, PHANDLE TokenHandle);
__attribute__((visibility("default"))) BOOL WINAPI RevertToSelf(void);
__attribute__((visibility("default"))) BOOL WINAPI AccessCheck(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                               HANDLE ClientToken, DWORD DesiredAccess,
                                                               PGENERIC_MAPPING GenericMapping,
                                                               PPRIVILEGE_SET PrivilegeSet,
                                                               LPDWORD PrivilegeSetLength, LPDWORD GrantedAccess,
                                                               LPBOOL AccessStatus);
#ifdef __cplusplus
}
#endif

#define LookupAccountName LookupAccountNameA
#define LookupAccountSid LookupAccountSidA
#define LookupPrivilegeValue LookupPrivilegeValueA

#endif
