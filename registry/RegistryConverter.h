// Copies the product's branches between the former maker's registry roots
// and the branded roots at upgrade, through the conversion library.
#ifndef QL_REGISTRYCONVERTER_H
#define QL_REGISTRYCONVERTER_H

#include <windows.h>

#include "afxstr.h"
#include "KeyConv.h"

class CRegistryConverter {
public:
    // Takes the branded roots from the branding library of the setup source
    // folder (the running setup's settings) and loads the conversion library.
    CRegistryConverter();
    // The same with the branding library of the folder given (ends in a backslash).
    explicit CRegistryConverter(LPCSTR lpszSourcePath);
    virtual ~CRegistryConverter();

    // hHive is HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER. bReverse copies from
    // the branded roots back to the former ones. 1 when done or when a
    // library is missing (nothing copied); 0 when a root is missing, so that
    // the copy would start or end at the top of the hive (nothing done).
    int ConvertQuillbakKey(HKEY hHive, int bDeleteOld, int bReverse);
    int ConvertVMOldProducts(HKEY hHive, int bDeleteOld, int bReverse);
    int ConvertOldProducts(HKEY hHive, int bDeleteOld, int bReverse);

private:
    CRegistryConverter(const CRegistryConverter &);
    CRegistryConverter &operator=(const CRegistryConverter &);

    void Construct(LPCSTR lpszSourcePath);
    // 1: copied (or no library); 0: a path is not one a copy may touch.
    int Copy(HKEY hHive, const CString &strSource, const CString &strTarget, int bMove);
    // Removes the branded product root and maker root once they are empty.
    void DeleteEmptyBrandedRoots(HKEY hHive);

    CString m_strHarnockKey;      // branded maker root
    CString m_strQuillbakKey;     // branded product root
    CString m_strQuillbakBaseKey; // branded base key
    CString m_strProductsKey;     // branded products key
    HMODULE m_hKeyconv;
    PFN_KEYCONV_COPY_REG_SUB_TREE m_pfnCopy;
};

#endif
