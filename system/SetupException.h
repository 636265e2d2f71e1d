// The library's exception: a cause, a Win32 error code and a short text
// naming the step that failed ("OpenProcessToken() failed").
#ifndef QL_SETUPEXCEPTION_H
#define QL_SETUPEXCEPTION_H

#include "QlApi.h"
#include "afxexcept.h"
#include "afxstr.h"

class QL_API CSetupException : public CException {
    DECLARE_DYNAMIC(CSetupException)
public:
    CSetupException(int nCause, DWORD dwError, LPCSTR lpszText);
    ~CSetupException() override;

    // "<text> - [0x<error>]" (lower-case hex), cut to nMaxError characters
    // with the NUL. Sets the cause to 2. pnHelpContext is not used.
    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = NULL) override;

    int m_nCause;
    CString m_strText;
    DWORD m_dwError;
};

// Throws a new CSetupException*; the catcher releases it with Delete().
QL_EXTERN_C QL_API void WINAPI AfxThrowSetupException(int nCause, DWORD dwError, LPCSTR lpszText);

#endif
