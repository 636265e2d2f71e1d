#include "CurrentUser.h"

#include "SetupException.h"

namespace {

const int kSetupCause = 2;

// Maps the generic rights of the check's private object.
GENERIC_MAPPING AdministratorMapping() {
    GENERIC_MAPPING mapping;
    mapping.GenericRead = 0x120089;
    mapping.GenericWrite = 0x120116;
    mapping.GenericExecute = 0x1200A0;
    mapping.GenericAll = 0x1F03FF;
    return mapping;
}

void Throw(LPCSTR lpszText) { AfxThrowSetupException(kSetupCause, GetLastError(), lpszText); }

}  // namespace

CCurrentUser::CCurrentUser() {
    char user[48];
    DWORD n = sizeof user;
    if (GetUser(user, &n)) m_strUser = user;
    char domain[48];
    n = sizeof domain;
    if (GetDomain(domain, &n)) m_strDomain = domain;
}

BOOL CCurrentUser::GetUser(LPSTR lpszUser, LPDWORD pnSize) { return GetUserNameA(lpszUser, pnSize); }

BOOL CCurrentUser::GetDomain(LPSTR lpszDomain, LPDWORD pnSize) {
    HANDLE hToken = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &hToken)) return FALSE;
    union {
        TOKEN_USER user;
        BYTE bytes[1000];
    } info;
    DWORD length = 0;
    BOOL ok = GetTokenInformation(hToken, TokenUser, &info, sizeof info, &length);
    CloseHandle(hToken);
    if (!ok) return FALSE;
    char name[200];
    DWORD cchName = sizeof name;
    SID_NAME_USE use;
    return LookupAccountSidA(NULL, info.user.User.Sid, name, &cchName, lpszDomain, pnSize, &use);
}

// Asks the system whether the user may have all rights on an object that
// only the built-in Administrators may use: membership through any group
// counts, as the system itself decides it.
BOOL CCurrentUser::IsAdministrator() {
    HANDLE hProcessToken = NULL, hThreadToken = NULL;
    PSID pAdministrators = NULL;
    PSECURITY_DESCRIPTOR pPrivate = NULL;
    GENERIC_MAPPING mapping = AdministratorMapping();
    BOOL bResult = FALSE;
    try {
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &hProcessToken)) {
            hProcessToken = NULL;
            Throw("OpenProcessToken() failed");
        }
        SECURITY_DESCRIPTOR sd;
        if (!InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION)) Throw("InitializeSecurityDescriptor() failed");
        DWORD aclBuffer[4096 / sizeof(DWORD)];
        PACL pAcl = (PACL)aclBuffer;
        if (!InitializeAcl(pAcl, sizeof aclBuffer, ACL_REVISION)) Throw("InitializeAcl() failed");
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                      &pAdministrators)) {
            pAdministrators = NULL;
            Throw("AllocateAndInitializeSid() failed");
        }
        if (!AddAccessAllowedAce(pAcl, ACL_REVISION, GENERIC_ALL, pAdministrators)) Throw("AddAccessAllowedAce() failed");
        if (!SetSecurityDescriptorDacl(&sd, TRUE, pAcl, FALSE)) Throw("SetSecurityDescriptorDacl failed()");
        if (!CreatePrivateObjectSecurity(NULL, &sd, &pPrivate, FALSE, hProcessToken, &mapping)) {
            pPrivate = NULL;
            Throw("CreatePrivateObjectSecurity() failed");
        }
        ImpersonateSelf(SecurityImpersonation);
        if (!OpenThreadToken(GetCurrentThread(), TOKEN_READ, TRUE, &hThreadToken)) {
            hThreadToken = NULL;
            Throw("OpenThreadToken() failed");
        }
        DWORD dwAccess = GENERIC_ALL;
        MapGenericMask(&dwAccess, &mapping);
        DWORD privileges[1024 / sizeof(DWORD)];
        DWORD cbPrivileges = sizeof privileges;
        DWORD dwGranted = 0;
        BOOL bStatus = FALSE;
        if (!AccessCheck(pPrivate, hThreadToken, dwAccess, &mapping, (PPRIVILEGE_SET)privileges, &cbPrivileges,
                         &dwGranted, &bStatus))
            Throw("AccessCheck() failed");
        if (!bStatus) AfxThrowSetupException(kSetupCause, 0, "AccessCheck() failed - not an administrator");
        bResult = TRUE;
    } catch (CSetupException *e) {
        e->Delete();
    }
    if (pAdministrators) FreeSid(pAdministrators);
    if (pPrivate) {
        RevertToSelf();
        DestroyPrivateObjectSecurity(&pPrivate);
    }
    // Both tokens are closed on every path.
    if (hThreadToken) CloseHandle(hThreadToken);
    if (hProcessToken) CloseHandle(hProcessToken);
    return bResult;
}
