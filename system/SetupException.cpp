#include "SetupException.h"

#include <cstdio>

IMPLEMENT_DYNAMIC(CSetupException, CException)

CSetupException::CSetupException(int nCause, DWORD dwError, LPCSTR lpszText)
    : m_nCause(nCause), m_strText(lpszText ? lpszText : ""), m_dwError(dwError) {}

CSetupException::~CSetupException() {}

BOOL CSetupException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
    m_nCause = 2;
    if (lpszError && nMaxError > 0) {
        snprintf(lpszError, nMaxError, "%s - [0x%lx]", (LPCSTR)m_strText, (unsigned long)m_dwError);
        lpszError[nMaxError - 1] = '\0';
    }
    return TRUE;
}

void WINAPI AfxThrowSetupException(int nCause, DWORD dwError, LPCSTR lpszText) {
    throw new CSetupException(nCause, dwError, lpszText);
}
