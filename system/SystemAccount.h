// The product's service account: a Windows user that the product's services
// run under, with the group memberships and rights that backup work needs.
#ifndef QL_SYSTEMACCOUNT_H
#define QL_SYSTEMACCOUNT_H

#include <windows.h>

#include "QlApi.h"
#include "afxstr.h"

// One account, given as machine, domain, user name and password. When the
// machine and the domain differ (in any letter case) the account lives in
// the domain and every call goes to a controller of it; otherwise to this
// machine. Operations return TRUE/FALSE and log nothing: the caller picks
// the message.
class QL_API CSystemAccount {
public:
    CSystemAccount(LPCSTR lpszMachine, LPCSTR lpszDomain, LPCSTR lpszUser, LPCSTR lpszPassword);
    CSystemAccount(const CSystemAccount &other);
    CSystemAccount &operator=(const CSystemAccount &other);
    ~CSystemAccount();

    int Create();
    int AssignGroups();
    int Exists();
    int ValidPassword();
    int Delete();
    int Register();

    // The account server is a controller's name ("\\DC") or NULL for this
    // machine. The machine argument is accepted and not consulted.
    static int Create(LPCWSTR lpszAccountServer, LPCSTR lpszMachine, LPCSTR lpszDomain, LPCSTR lpszUser,
                      LPCSTR lpszPassword);
    static int AssignGroups(LPCWSTR lpszAccountServer, LPCSTR lpszMachine, LPCSTR lpszDomain, LPCSTR lpszUser,
                            LPCSTR lpszPassword);
    static int Exists(LPCWSTR lpszAccountServer, LPCSTR lpszUser);
    // TRUE only when the account server verified the password; otherwise
    // FALSE with the server's answer as the last error (ERROR_INVALID_PASSWORD
    // for a wrong password), for the caller to log.
    static int ValidPassword(LPCWSTR lpszAccountServer, LPCSTR lpszMachine, LPCSTR lpszDomain, LPCSTR lpszUser,
                             LPCSTR lpszPassword);
    static int Delete(LPCWSTR lpszAccountServer, LPCSTR lpszUser);
    // Records the account through the branding library beside the running
    // program; TRUE when its answer is nonzero.
    static int Register(LPCSTR lpszMachine, LPCSTR lpszDomain, LPCSTR lpszUser, LPCSTR lpszPassword);

    LPCSTR Machine() const { return m_strMachine; }
    LPCSTR Domain() const { return m_strDomain; }
    LPCSTR User() const { return m_strUser; }
    LPCWSTR AccountServer() const { return m_pszAccountServer; }
    BOOL IsLocalAccount() const { return m_bLocalAccount; }

protected:
    // Groups are addressed by their RID in the built-in domain (S-1-5-32-RID)
    // so the system's language does not matter.
    static int AddMemberToGroup(DWORD dwRid, LPCSTR lpszAccountServer, PSID pAccountSid);
    static int GetGroupName(DWORD dwRid, LPCSTR lpszAccountServer, LPSTR lpszName, DWORD cchName, LPSTR lpszDomain,
                            DWORD cchDomain);
    // Logon rights and the two privileges, granted to Backup Operators.
    static int AddQuillbakUserPrivileges(LPCSTR lpszAccountServer);
    static int AddPrivilege(void *hAccount, LPCSTR lpszSystemName, LPCSTR lpszPrivilege);

private:
    void CopyFrom(const CSystemAccount &other);
    void FreeServer();

    CString m_strMachine;
    CString m_strDomain;
    CString m_strUser;
    CString m_strPassword;
    LPWSTR m_pszAccountServer;
    int m_bLocalAccount;
};

#endif
