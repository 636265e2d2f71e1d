#include "SystemAccount.h"

#include <lm.h>

#include <cstring>
#include <vector>

#include "registry/BrandKit.h"
#include "NtLsa.h"
#include "SetupPaths.h"
#include "afxexcept.h"

namespace {

const DWORD kAdministratorsRid = DOMAIN_ALIAS_RID_ADMINS;   // 544
const DWORD kBackupOperatorsRid = DOMAIN_ALIAS_RID_BACKUP_OPS;  // 551

// A text in UTF-16 for the network and security interfaces. Holds a
// password at times, so the copy is wiped when it goes.
class CWideText {
public:
    explicit CWideText(LPCSTR lpsz) : m_bNull(lpsz == NULL) {
        if (!lpsz) lpsz = "";
        int n = MultiByteToWideChar(CP_ACP, 0, lpsz, -1, NULL, 0);
        m_Text.assign(n > 0 ? n : 1, 0);
        if (n > 0) MultiByteToWideChar(CP_ACP, 0, lpsz, -1, &m_Text[0], n);
    }
    ~CWideText() { memset(&m_Text[0], 0, m_Text.size() * sizeof(WCHAR)); }
    LPWSTR Text() { return m_bNull ? NULL : &m_Text[0]; }
    size_t Length() const { return m_Text.size() - 1; }

private:
    std::vector<WCHAR> m_Text;
    bool m_bNull;
};

// An account server's name in ANSI for the look-ups; NULL stays NULL.
class CNarrowText {
public:
    explicit CNarrowText(LPCWSTR lpsz) : m_bNull(lpsz == NULL) {
        int n = lpsz ? WideCharToMultiByte(CP_ACP, 0, lpsz, -1, NULL, 0, NULL, NULL) : 0;
        m_Text.assign(n > 0 ? n : 1, 0);
        if (n > 0) WideCharToMultiByte(CP_ACP, 0, lpsz, -1, &m_Text[0], n, NULL, NULL);
    }
    LPCSTR Text() const { return m_bNull ? NULL : &m_Text[0]; }

private:
    std::vector<char> m_Text;
    bool m_bNull;
};

// Warnings and informational LSA results count as success.
bool LsaSucceeded(NTSTATUS status) { return ((ULONG)status >> 30) != 3; }

// Copies what fits into a buffer of cchOut bytes, NUL-terminated.
void CopyText(LPSTR lpszOut, DWORD cchOut, LPCSTR lpsz) {
    if (!lpszOut || !cchOut) return;
    DWORD n = 0;
    for (; lpsz && lpsz[n] && n + 1 < cchOut; ++n) lpszOut[n] = lpsz[n];
    lpszOut[n] = '\0';
}

void CopyField(char *field, LPCSTR lpsz) { CopyText(field, BKT_ACCOUNT_FIELD_SIZE, lpsz); }

// The controller's name in a buffer of its own, freed like the one
// NetGetDCName returns.
LPWSTR CopyServer(LPCWSTR lpsz) {
    if (!lpsz) return NULL;
    size_t n = 0;
    while (lpsz[n]) ++n;
    LPVOID p = NULL;
    if (NetApiBufferAllocate((DWORD)((n + 1) * sizeof(WCHAR)), &p) != NERR_Success || !p) AfxThrowMemoryException();
    memcpy(p, lpsz, (n + 1) * sizeof(WCHAR));
    return (LPWSTR)p;
}

}  // namespace

// ---- construction --------------------------------------------------------------------------
CSystemAccount::CSystemAccount(LPCSTR lpszMachine, LPCSTR lpszDomain, LPCSTR lpszUser, LPCSTR lpszPassword)
    : m_strMachine(lpszMachine ? lpszMachine : ""),
      m_strDomain(lpszDomain ? lpszDomain : ""),
      m_strUser(lpszUser ? lpszUser : ""),
      m_strPassword(lpszPassword ? lpszPassword : ""),
      m_pszAccountServer(NULL),
      m_bLocalAccount(FALSE) {
    m_strMachine.MakeUpper();
    m_strDomain.MakeUpper();
    m_bLocalAccount = m_strMachine == m_strDomain;
    if (!m_bLocalAccount) {
        CWideText domain(m_strDomain);
        LPBYTE controller = NULL;
        if (NetGetDCName(NULL, domain.Text(), &controller) == NERR_Success) m_pszAccountServer = (LPWSTR)controller;
    }
}

CSystemAccount::CSystemAccount(const CSystemAccount &other) : m_pszAccountServer(NULL), m_bLocalAccount(FALSE) {
    CopyFrom(other);
}

CSystemAccount &CSystemAccount::operator=(const CSystemAccount &other) {
    if (this != &other) {
        // The copy is made first: when the controller's name cannot be
        // copied this account stays whole instead of half the other one.
        CSystemAccount copy(other);
        FreeServer();
        m_strMachine = copy.m_strMachine;
        m_strDomain = copy.m_strDomain;
        m_strUser = copy.m_strUser;
        m_strPassword = copy.m_strPassword;
        m_bLocalAccount = copy.m_bLocalAccount;
        m_pszAccountServer = copy.m_pszAccountServer;
        copy.m_pszAccountServer = NULL;
    }
    return *this;
}

CSystemAccount::~CSystemAccount() { FreeServer(); }

void CSystemAccount::CopyFrom(const CSystemAccount &other) {
    m_strMachine = other.m_strMachine;
    m_strDomain = other.m_strDomain;
    m_strUser = other.m_strUser;
    m_strPassword = other.m_strPassword;
    m_pszAccountServer = CopyServer(other.m_pszAccountServer);
    m_bLocalAccount = other.m_bLocalAccount;
}

void CSystemAccount::FreeServer() {
    if (m_pszAccountServer) NetApiBufferFree(m_pszAccountServer);
    m_pszAccountServer = NULL;
}

// ---- instance forms ------------------------------------------------------------------------
int CSystemAccount::Create() {
    return Create(m_pszAccountServer, m_strMachine, m_strDomain, m_strUser, m_strPassword);
}

int CSystemAccount::AssignGroups() {
    return AssignGroups(m_pszAccountServer, m_strMachine, m_strDomain, m_strUser, m_strPassword);
}

int CSystemAccount::Exists() { return Exists(m_pszAccountServer, m_strUser); }

int CSystemAccount::ValidPassword() {
    return ValidPassword(m_pszAccountServer, m_strMachine, m_strDomain, m_strUser, m_strPassword);
}

int CSystemAccount::Delete() { return Delete(m_pszAccountServer, m_strUser); }

int CSystemAccount::Register() { return Register(m_strMachine, m_strDomain, m_strUser, m_strPassword); }

// ---- static forms --------------------------------------------------------------------------
int CSystemAccount::Create(LPCWSTR lpszAccountServer, LPCSTR lpszMachine, LPCSTR lpszDomain, LPCSTR lpszUser,
                           LPCSTR lpszPassword) {
    CWideText user(lpszUser), password(lpszPassword);
    USER_INFO_2 info;
    memset(&info, 0, sizeof info);
    info.usri2_name = user.Text();
    info.usri2_password = password.Text();
    info.usri2_password_age = 0;
    info.usri2_priv = USER_PRIV_USER;
    info.usri2_flags = UF_SCRIPT | UF_NORMAL_ACCOUNT | UF_DONT_EXPIRE_PASSWD;
    info.usri2_full_name = user.Text();
    info.usri2_acct_expires = TIMEQ_FOREVER;
    info.usri2_max_storage = USER_MAXSTORAGE_UNLIMITED;
    DWORD parmErr = 0;
    NET_API_STATUS status = NetUserAdd(lpszAccountServer, 2, (LPBYTE)&info, &parmErr);
    // An existing account keeps its password; it only gets the groups and rights.
    if (status != NERR_Success && status != NERR_UserExists) {
        SetLastError(status);
        return FALSE;
    }
    return AssignGroups(lpszAccountServer, lpszMachine, lpszDomain, lpszUser, lpszPassword);
}

int CSystemAccount::AssignGroups(LPCWSTR lpszAccountServer, LPCSTR lpszMachine, LPCSTR lpszDomain, LPCSTR lpszUser,
                                 LPCSTR lpszPassword) {
    (void)lpszMachine;
    (void)lpszPassword;
    CNarrowText server(lpszAccountServer);
    CString account;
    account.Format("%s\\%s", lpszDomain ? lpszDomain : "", lpszUser ? lpszUser : "");
    BYTE sid[1024];
    DWORD cbSid = sizeof sid;
    char domain[80];
    DWORD cchDomain = sizeof domain;
    SID_NAME_USE use;
    if (!LookupAccountNameA(server.Text(), account, sid, &cbSid, domain, &cchDomain, &use)) return FALSE;
    if (!AddMemberToGroup(kAdministratorsRid, server.Text(), sid)) return FALSE;
    if (!AddMemberToGroup(kBackupOperatorsRid, server.Text(), sid)) return FALSE;
    return AddQuillbakUserPrivileges(server.Text());
}

int CSystemAccount::Exists(LPCWSTR lpszAccountServer, LPCSTR lpszUser) {
    CWideText user(lpszUser);
    LPBYTE info = NULL;
    NET_API_STATUS status = NetUserGetInfo(lpszAccountServer, user.Text(), 2, &info);
    if (info) NetApiBufferFree(info);
    return status == NERR_Success;
}

// Changing the password to itself proves it: the server checks the old one
// first. A server whose rules refuse the unchanged password (history,
// minimum age) has verified it before it says so.
int CSystemAccount::ValidPassword(LPCWSTR lpszAccountServer, LPCSTR lpszMachine, LPCSTR lpszDomain, LPCSTR lpszUser,
                                  LPCSTR lpszPassword) {
    (void)lpszAccountServer;
    (void)lpszMachine;
    CWideText domain(lpszDomain), user(lpszUser), password(lpszPassword);
    NET_API_STATUS status = NetUserChangePassword(domain.Text(), user.Text(), password.Text(), password.Text());
    if (status == NERR_Success || status == NERR_PasswordTooShort) return TRUE;
    SetLastError(status);
    return FALSE;
}

int CSystemAccount::Delete(LPCWSTR lpszAccountServer, LPCSTR lpszUser) {
    CWideText user(lpszUser);
    return NetUserDel(lpszAccountServer, user.Text()) == NERR_Success;
}

int CSystemAccount::Register(LPCSTR lpszMachine, LPCSTR lpszDomain, LPCSTR lpszUser, LPCSTR lpszPassword) {
    CString path = RunningProgramFolder() + BKT_LIBRARY_NAME;
    HMODULE hLib = LoadLibraryA(path);
    if (!hLib) return FALSE;
    int result = FALSE;
    PFN_BKT_SET_USER_ACCOUNT pfnSet = (PFN_BKT_SET_USER_ACCOUNT)(void *)GetProcAddress(hLib, BKT_SET_USER_ACCOUNT);
    if (pfnSet) {
        BKT_USER_ACCOUNT account;
        memset(&account, 0, sizeof account);
        CopyField(account.szDomain, lpszDomain);
        CopyField(account.szAccountName, lpszUser);
        CopyField(account.szPassword, lpszPassword);
        // The whole answer counts: a nonzero result with zero low bits is success too.
        result = pfnSet(lpszMachine, &account) != 0;
        memset(&account, 0, sizeof account);
    }
    FreeLibrary(hLib);
    return result;
}

// ---- groups and rights ---------------------------------------------------------------------
int CSystemAccount::AddMemberToGroup(DWORD dwRid, LPCSTR lpszAccountServer, PSID pAccountSid) {
    char name[128];
    if (!GetGroupName(dwRid, lpszAccountServer, name, sizeof name, NULL, 0)) return FALSE;
    CWideText group(name), server(lpszAccountServer);
    NET_API_STATUS status = NetLocalGroupAddMember(server.Text(), group.Text(), pAccountSid);
    if (status == NERR_Success || status == ERROR_MEMBER_IN_ALIAS) return TRUE;
    SetLastError(status);
    return FALSE;
}

int CSystemAccount::GetGroupName(DWORD dwRid, LPCSTR lpszAccountServer, LPSTR lpszName, DWORD cchName,
                                 LPSTR lpszDomain, DWORD cchDomain) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = NULL;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, dwRid, 0, 0, 0, 0, 0, 0, &sid)) return FALSE;
    char name[256], domain[256];
    DWORD cchN = sizeof name, cchD = sizeof domain;
    SID_NAME_USE use;
    BOOL ok = LookupAccountSidA(lpszAccountServer, sid, name, &cchN, domain, &cchD, &use);
    if (ok) {
        CopyText(lpszName, cchName, name);
        CopyText(lpszDomain, cchDomain, domain);
    }
    FreeSid(sid);
    return ok;
}

int CSystemAccount::AddQuillbakUserPrivileges(LPCSTR lpszAccountServer) {
    int result = FALSE;
    LSA_OBJECT_ATTRIBUTES attributes;
    memset(&attributes, 0, sizeof attributes);
    CWideText server(lpszAccountServer);
    LSA_UNICODE_STRING system;
    system.Buffer = server.Text();
    system.Length = (USHORT)(server.Length() * sizeof(WCHAR));
    system.MaximumLength = (USHORT)((server.Length() + 1) * sizeof(WCHAR));
    LSA_HANDLE policy = NULL, account = NULL;
    bool ok = LsaSucceeded(LsaOpenPolicy(lpszAccountServer ? &system : NULL, &attributes, POLICY_ALL_ACCESS, &policy));
    if (!ok) policy = NULL;

    // The alias by its name on that server, as the server names it.
    BYTE sid[1024];
    if (ok) {
        char name[128], domain[128];
        ok = GetGroupName(kBackupOperatorsRid, lpszAccountServer, name, sizeof name, domain, sizeof domain) != 0;
        if (ok) {
            CString alias;
            alias.Format("%s\\%s", domain, name);
            DWORD cbSid = sizeof sid;
            char referenced[128];
            DWORD cchReferenced = sizeof referenced;
            SID_NAME_USE use;
            ok = LookupAccountNameA(lpszAccountServer, alias, sid, &cbSid, referenced, &cchReferenced, &use) != 0;
        }
    }
    // An alias that was never granted anything has no account object yet.
    if (ok) {
        NTSTATUS status = LsaOpenAccount(policy, sid, ACCOUNT_ALL_ACCESS, &account);
        if (status == STATUS_OBJECT_NAME_NOT_FOUND) status = LsaCreateAccount(policy, sid, ACCOUNT_ALL_ACCESS, &account);
        ok = LsaSucceeded(status);
        if (!ok) account = NULL;
    }
    if (ok)
        ok = LsaSucceeded(LsaSetSystemAccessAccount(
            account, POLICY_MODE_INTERACTIVE | POLICY_MODE_NETWORK | POLICY_MODE_BATCH | POLICY_MODE_SERVICE));
    if (ok) {
        result = TRUE;
        if (!AddPrivilege(account, lpszAccountServer, SE_TCB_NAME)) result = FALSE;
        if (!AddPrivilege(account, lpszAccountServer, SE_BACKUP_NAME)) result = FALSE;
    }
    if (account) LsaClose(account);
    if (policy) LsaClose(policy);
    return result;
}

int CSystemAccount::AddPrivilege(void *hAccount, LPCSTR lpszSystemName, LPCSTR lpszPrivilege) {
    PRIVILEGE_SET privileges;
    privileges.PrivilegeCount = 1;
    privileges.Control = PRIVILEGE_SET_ALL_NECESSARY;
    privileges.Privilege[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(lpszSystemName, lpszPrivilege, &privileges.Privilege[0].Luid)) return FALSE;
    return LsaSucceeded(LsaAddPrivilegesToAccount((LSA_HANDLE)hAccount, &privileges));
}
