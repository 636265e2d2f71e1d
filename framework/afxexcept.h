// Run-time class information and the exception classes of the framework.
// Exceptions are thrown as heap pointers and released with Delete(), as the
// product's MFC-style code expects:
//     try { ... } catch (CException *e) { e->ReportError(); e->Delete(); }
#ifndef QL_AFXEXCEPT_H
#define QL_AFXEXCEPT_H

#include "afxver.h"

class CObject;

// One per class that declares DECLARE_DYNAMIC; chained to its base class.
struct QL_FRAMEWORK_API CRuntimeClass {
    const char *m_lpszClassName;
    int m_nObjectSize;
    CRuntimeClass *m_pBaseClass;

    // TRUE when this class is pBaseClass or derives from it.
    BOOL IsDerivedFrom(const CRuntimeClass *pBaseClass) const;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                   \
public:                                               \
    static CRuntimeClass class##class_name;           \
    CRuntimeClass *GetRuntimeClass() const override;

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                       \
    CRuntimeClass class_name::class##class_name = {#class_name, (int)sizeof(class class_name), \
                                                   RUNTIME_CLASS(base_class_name)};          \
    CRuntimeClass *class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

class QL_FRAMEWORK_API CObject {
public:
    virtual ~CObject();
    virtual CRuntimeClass *GetRuntimeClass() const;
    BOOL IsKindOf(const CRuntimeClass *pClass) const;

    static CRuntimeClass classCObject;  // the root: no base class

protected:
    CObject();

private:
    // Objects are not copied by value (as in MFC); collections offer Copy().
    CObject(const CObject &) = delete;
    CObject &operator=(const CObject &) = delete;
};

class QL_FRAMEWORK_API CException : public CObject {
    DECLARE_DYNAMIC(CException)
public:
    CException();
    // bAutoDelete FALSE: an object not on the heap, which Delete() leaves alone.
    explicit CException(BOOL bAutoDelete);
    ~CException() override;

    // Copies the description into lpszError (at most nMaxError characters with
    // the NUL). The base class has none: returns FALSE and writes "".
    virtual BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = NULL);
    // Shows the description in a message box (caption "QLSETGUI", style nType)
    // and returns the button chosen. Without a description it shows string
    // resource nMessageID, or else "No error message is available.".
    virtual int ReportError(UINT nType = MB_OK, UINT nMessageID = 0);
    // Frees a thrown exception: deletes it unless it was made with bAutoDelete FALSE.
    void Delete();

protected:
    BOOL m_bAutoDelete;
};

class QL_FRAMEWORK_API CMemoryException : public CException {
    DECLARE_DYNAMIC(CMemoryException)
public:
    CMemoryException();
    explicit CMemoryException(BOOL bAutoDelete);
    ~CMemoryException() override;
    // "Out of memory." (truncated to the buffer); FALSE without a buffer.
    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = NULL) override;
};

// Throws a new CMemoryException*. When even that object cannot be allocated,
// a preallocated one (which Delete() does not free) is thrown instead.
[[noreturn]] QL_FRAMEWORK_API void AfxThrowMemoryException();

#endif
