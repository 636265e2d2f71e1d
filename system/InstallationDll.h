// The setup library of one product option: six fixed entry points, loaded
// by name for as long as the object holds it.
#ifndef QL_INSTALLATIONDLL_H
#define QL_INSTALLATIONDLL_H

#include "QlApi.h"

#include <windows.h>

// Answer of an operation whose entry point is not loaded.
#define QL_ENTRY_NOT_LOADED 0xFFFFFFFF

class QL_API CInstallationObject {
public:
    virtual DWORD Install(void *pContext) = 0;
    virtual DWORD UnInstall() = 0;
    virtual DWORD IsInstalled(int *pbInstalled) = 0;
    virtual DWORD IsInstalledVersionNewer(int *pbNewer) = 0;
    virtual DWORD GetDebugErrorString(DWORD dwError, char *lpszBuffer, DWORD dwSize) = 0;
    virtual DWORD GetInstallPath(char *lpszBuffer, DWORD dwSize) = 0;

protected:
    // Not deleted through the base: the six operations are the whole table.
    ~CInstallationObject() {}
};

// Entry points of an option setup library (stdcall, by name).
typedef DWORD(WINAPI *PFN_OPTION_INSTALL)(void *);
typedef DWORD(WINAPI *PFN_OPTION_UNINSTALL)(void);
typedef DWORD(WINAPI *PFN_OPTION_ISINSTALLED)(int *);
typedef DWORD(WINAPI *PFN_OPTION_ISINSTALLEDVERSIONNEWER)(int *);
typedef DWORD(WINAPI *PFN_OPTION_GETDEBUGERRORSTRING)(DWORD, char *, DWORD);
typedef DWORD(WINAPI *PFN_OPTION_GETINSTALLPATH)(char *, DWORD);

class QL_API CInstallationDll : public CInstallationObject {
public:
    CInstallationDll();
    // A copy shares the loaded library without loading it again; only the
    // object that loaded it unloads it, so the original must outlive its
    // copies.
    CInstallationDll(const CInstallationDll &other);
    CInstallationDll &operator=(const CInstallationDll &other);
    virtual ~CInstallationDll();

    // 0, or the Win32 error why the library or one of its six entry points
    // is missing (the object then stays empty).
    DWORD Load(LPCSTR lpszFileName);
    // Always 0.
    DWORD Unload();

    BOOL IsLoaded() const { return m_hModule != NULL; }

    virtual DWORD Install(void *pContext);
    virtual DWORD UnInstall();
    virtual DWORD IsInstalled(int *pbInstalled);
    virtual DWORD IsInstalledVersionNewer(int *pbNewer);
    virtual DWORD GetDebugErrorString(DWORD dwError, char *lpszBuffer, DWORD dwSize);
    virtual DWORD GetInstallPath(char *lpszBuffer, DWORD dwSize);

private:
    void Clear();

    HMODULE m_hModule;
    PFN_OPTION_INSTALL m_pfnInstall;
    PFN_OPTION_UNINSTALL m_pfnUnInstall;
    PFN_OPTION_ISINSTALLED m_pfnIsInstalled;
    PFN_OPTION_ISINSTALLEDVERSIONNEWER m_pfnIsInstalledVersionNewer;
    PFN_OPTION_GETDEBUGERRORSTRING m_pfnGetDebugErrorString;
    PFN_OPTION_GETINSTALLPATH m_pfnGetInstallPath;
    BOOL m_bOwner;  // this object loaded the library and unloads it
};

#if defined(__SIZEOF_POINTER__) && __SIZEOF_POINTER__ == 4
static_assert(sizeof(CInstallationDll) == 36, "table pointer, module, six entry points, owner flag");
#endif

#endif
