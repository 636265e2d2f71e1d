// The user running setup: name, domain, and whether it holds administrator
// rights on this machine.
#ifndef QL_CURRENTUSER_H
#define QL_CURRENTUSER_H

#include <windows.h>

#include "QlApi.h"
#include "afxstr.h"

class QL_API CCurrentUser {
public:
    // Reads the user and the domain; what cannot be read stays empty.
    CCurrentUser();

    LPCSTR GetUser() const { return m_strUser; }
    LPCSTR GetDomain() const { return m_strDomain; }

    // pnSize: in, the buffer's size; out, as GetUserNameA / LookupAccountSidA
    // report it.
    static BOOL GetUser(LPSTR lpszUser, LPDWORD pnSize);
    static BOOL GetDomain(LPSTR lpszDomain, LPDWORD pnSize);
    // TRUE when an access check against a descriptor that grants all to the
    // built-in Administrators succeeds for the thread impersonating the
    // process. Shows and logs nothing; every handle it opens is closed.
    static BOOL IsAdministrator();

private:
    CString m_strDomain;
    CString m_strUser;
};

#endif
