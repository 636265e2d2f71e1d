// Run-time class information and the exception classes.
#include "afxexcept.h"

#include "afxstr.h"

#include <cstring>
#include <new>

namespace {

const char kCaption[] = "QLSETGUI";
const char kNoErrorMessage[] = "No error message is available.";
const char kOutOfMemory[] = "Out of memory.";
const UINT kMessageBufferSize = 512;

}  // namespace

// ---- CRuntimeClass and CObject -------------------------------------------------

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass *pBaseClass) const {
    if (pBaseClass == NULL) return FALSE;
    for (const CRuntimeClass *p = this; p != NULL; p = p->m_pBaseClass) {
        if (p == pBaseClass) return TRUE;
    }
    return FALSE;
}

CRuntimeClass CObject::classCObject = {"CObject", (int)sizeof(CObject), NULL};

CObject::CObject() {}

CObject::~CObject() {}

CRuntimeClass *CObject::GetRuntimeClass() const { return RUNTIME_CLASS(CObject); }

BOOL CObject::IsKindOf(const CRuntimeClass *pClass) const { return GetRuntimeClass()->IsDerivedFrom(pClass); }

// ---- CException --------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CException, CObject)

CException::CException() : m_bAutoDelete(TRUE) {}

CException::CException(BOOL bAutoDelete) : m_bAutoDelete(bAutoDelete) {}

CException::~CException() {}

BOOL CException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
    if (pnHelpContext != NULL) *pnHelpContext = 0;
    if (lpszError != NULL && nMaxError > 0) *lpszError = '\0';
    return FALSE;
}

int CException::ReportError(UINT nType, UINT nMessageID) {
    char szMessage[kMessageBufferSize] = "";
    UINT nHelpContext = 0;
    CString strText;
    if (GetErrorMessage(szMessage, kMessageBufferSize, &nHelpContext)) {
        szMessage[kMessageBufferSize - 1] = '\0';  // an override may fill it whole
        strText = szMessage;
    }
    if (strText.IsEmpty() && nMessageID != 0) strText.LoadString(nMessageID);
    if (strText.IsEmpty()) strText = kNoErrorMessage;
    return MessageBoxA(NULL, strText, kCaption, nType);
}

void CException::Delete() {
    if (m_bAutoDelete) delete this;
}

// ---- CMemoryException ------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CMemoryException, CException)

CMemoryException::CMemoryException() {}

CMemoryException::CMemoryException(BOOL bAutoDelete) : CException(bAutoDelete) {}

CMemoryException::~CMemoryException() {}

BOOL CMemoryException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
    if (pnHelpContext != NULL) *pnHelpContext = 0;
    if (lpszError == NULL || nMaxError == 0) return FALSE;
    size_t n = sizeof(kOutOfMemory) - 1;
    if (n > nMaxError - 1) n = nMaxError - 1;
    std::memcpy(lpszError, kOutOfMemory, n);
    lpszError[n] = '\0';
    return TRUE;
}

void AfxThrowMemoryException() {
    // Kept for the moment when not even the exception object can be had.
    static CMemoryException s_preallocated(FALSE);
    CMemoryException *e = new (std::nothrow) CMemoryException;
    if (e == NULL) e = &s_preallocated;
    throw e;
}
