#include "InstallationDll.h"

#include <string.h>

namespace {

template <class F>
F ProcOf(HMODULE module, LPCSTR name) {
    return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

}  // namespace

CInstallationDll::CInstallationDll() { Clear(); }

CInstallationDll::CInstallationDll(const CInstallationDll &other)
    : CInstallationObject(other),
      m_hModule(other.m_hModule),
      m_pfnInstall(other.m_pfnInstall),
      m_pfnUnInstall(other.m_pfnUnInstall),
      m_pfnIsInstalled(other.m_pfnIsInstalled),
      m_pfnIsInstalledVersionNewer(other.m_pfnIsInstalledVersionNewer),
      m_pfnGetDebugErrorString(other.m_pfnGetDebugErrorString),
      m_pfnGetInstallPath(other.m_pfnGetInstallPath),
      m_bOwner(FALSE) {}

CInstallationDll &CInstallationDll::operator=(const CInstallationDll &other) {
    if (this == &other) return *this;
    Unload();
    m_hModule = other.m_hModule;
    m_pfnInstall = other.m_pfnInstall;
    m_pfnUnInstall = other.m_pfnUnInstall;
    m_pfnIsInstalled = other.m_pfnIsInstalled;
    m_pfnIsInstalledVersionNewer = other.m_pfnIsInstalledVersionNewer;
    m_pfnGetDebugErrorString = other.m_pfnGetDebugErrorString;
    m_pfnGetInstallPath = other.m_pfnGetInstallPath;
    m_bOwner = FALSE;
    return *this;
}

CInstallationDll::~CInstallationDll() { Unload(); }

void CInstallationDll::Clear() {
    m_hModule = NULL;
    m_pfnInstall = NULL;
    m_pfnUnInstall = NULL;
    m_pfnIsInstalled = NULL;
    m_pfnIsInstalledVersionNewer = NULL;
    m_pfnGetDebugErrorString = NULL;
    m_pfnGetInstallPath = NULL;
    m_bOwner = FALSE;
}

DWORD CInstallationDll::Load(LPCSTR lpszFileName) {
    Unload();  // a second Load does not leak the first library
    HMODULE module = LoadLibraryA(lpszFileName);
    if (!module) {
        DWORD error = GetLastError();
        return error ? error : ERROR_MOD_NOT_FOUND;
    }
    PFN_OPTION_INSTALL install = ProcOf<PFN_OPTION_INSTALL>(module, "Install");
    PFN_OPTION_UNINSTALL uninstall = ProcOf<PFN_OPTION_UNINSTALL>(module, "UnInstall");
    PFN_OPTION_ISINSTALLED isInstalled = ProcOf<PFN_OPTION_ISINSTALLED>(module, "IsInstalled");
    PFN_OPTION_ISINSTALLEDVERSIONNEWER newer =
        ProcOf<PFN_OPTION_ISINSTALLEDVERSIONNEWER>(module, "IsInstalledVersionNewer");
    PFN_OPTION_GETDEBUGERRORSTRING errorString =
        ProcOf<PFN_OPTION_GETDEBUGERRORSTRING>(module, "GetDebugErrorString");
    PFN_OPTION_GETINSTALLPATH installPath = ProcOf<PFN_OPTION_GETINSTALLPATH>(module, "GetInstallPath");
    if (!install || !uninstall || !isInstalled || !newer || !errorString || !installPath) {
        // The error of the missing export, taken before unloading can change it.
        DWORD error = GetLastError();
        FreeLibrary(module);
        return error ? error : ERROR_PROC_NOT_FOUND;
    }
    m_hModule = module;
    m_pfnInstall = install;
    m_pfnUnInstall = uninstall;
    m_pfnIsInstalled = isInstalled;
    m_pfnIsInstalledVersionNewer = newer;
    m_pfnGetDebugErrorString = errorString;
    m_pfnGetInstallPath = installPath;
    m_bOwner = TRUE;
    return 0;
}

DWORD CInstallationDll::Unload() {
    if (m_hModule && m_bOwner) FreeLibrary(m_hModule);
    Clear();
    return 0;
}

DWORD CInstallationDll::Install(void *pContext) {
    return m_pfnInstall ? m_pfnInstall(pContext) : QL_ENTRY_NOT_LOADED;
}

DWORD CInstallationDll::UnInstall() { return m_pfnUnInstall ? m_pfnUnInstall() : QL_ENTRY_NOT_LOADED; }

DWORD CInstallationDll::IsInstalled(int *pbInstalled) {
    return m_pfnIsInstalled ? m_pfnIsInstalled(pbInstalled) : QL_ENTRY_NOT_LOADED;
}

DWORD CInstallationDll::IsInstalledVersionNewer(int *pbNewer) {
    return m_pfnIsInstalledVersionNewer ? m_pfnIsInstalledVersionNewer(pbNewer) : QL_ENTRY_NOT_LOADED;
}

DWORD CInstallationDll::GetDebugErrorString(DWORD dwError, char *lpszBuffer, DWORD dwSize) {
    if (!m_pfnGetDebugErrorString) return QL_ENTRY_NOT_LOADED;
    DWORD result = m_pfnGetDebugErrorString(dwError, lpszBuffer, dwSize);
    // Whatever the library wrote, the caller gets a terminated text.
    if (lpszBuffer && dwSize) lpszBuffer[dwSize - 1] = '\0';
    return result;
}

DWORD CInstallationDll::GetInstallPath(char *lpszBuffer, DWORD dwSize) {
    if (!m_pfnGetInstallPath) return QL_ENTRY_NOT_LOADED;
    DWORD result = m_pfnGetInstallPath(lpszBuffer, dwSize);
    if (lpszBuffer && dwSize) lpszBuffer[dwSize - 1] = '\0';
    return result;
}
