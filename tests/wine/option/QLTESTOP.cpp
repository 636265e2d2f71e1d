// QLTESTOP.DLL: a test option setup library. It uses the library's exported
// classes as an option's setup does: the settings from the setup-information
// record, the configuration and setup information files, the command line,
// the product registry and the setup log.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "option.h"
#include "registry/HarnRegistry.h"
#include "settings/CommandLineMap.h"
#include "settings/SetupIcf.h"
#include "settings/SetupInf.h"
#include "system/Log.h"

#define OPTION_EXPORT extern "C" __declspec(dllexport)

namespace {

// What Install found; UnInstall, IsInstalled and GetInstallPath read it back
// from the registry, so a fresh process knows it too.
CString g_strLogFile;

CString OptionKey() {
    CHarnRegistry registry(1, NULL);  // obtains the product's registry roots
    return CString(CHarnRegistry::GetQuillbakKey()) + OPTION_SUBKEY;
}

DWORD CopyText(const CString &text, LPSTR lpszBuffer, DWORD dwSize) {
    if (!lpszBuffer || dwSize == 0) return ERROR_INSUFFICIENT_BUFFER;
    DWORD length = (DWORD)text.GetLength();
    DWORD n = length < dwSize ? length : dwSize - 1;
    memcpy(lpszBuffer, (LPCSTR)text, n);
    lpszBuffer[n] = '\0';
    return n == length ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

CString ReadValue(LPCSTR lpszName) {
    CString value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, OptionKey(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    char buffer[MAX_PATH + 1] = "";
    DWORD size = MAX_PATH, type = 0;
    if (RegQueryValueExA(key, lpszName, NULL, &type, (LPBYTE)buffer, &size) == ERROR_SUCCESS && type == REG_SZ) {
        buffer[MAX_PATH] = '\0';
        value = buffer;
    }
    RegCloseKey(key);
    return value;
}

}  // namespace

OPTION_EXPORT DWORD WINAPI Install(void *pContext) {
    const OPTION_CONTEXT *context = static_cast<const OPTION_CONTEXT *>(pContext);
    if (!context || !context->pSetupInfo) return OPTION_NO_SETTINGS;

    CSettings settings(context->pSetupInfo, 0);
    settings.Initialize();
    g_strLogFile = settings.LogFile();
    // A text as the first argument picks the class-wide form (see CLog).
    CLog::Write(g_strLogFile, "TestOption - Install from %s", settings.SourcePath());

    // The owner from the configuration file, the edition from the setup
    // information file of the setup folder.
    CSetupIcf icf(settings.BatchFile());
    CString owner = icf.FullName();
    CSetupInf inf;
    CString infPath = CString(settings.SourcePath()) + CSetupInf::m_sQLBSETUP_INF;
    inf.SetQLBsetupINFName(infPath);
    int subType = inf.GetProductSubType();

    // The option's folder: "/D:<folder>" on its command line, else below the
    // product's folder.
    CCommandLineMap commandLine(context->lpszCommandLine, '/');
    CString folder;
    CString fallback = CString(settings.QuillbakPath()) + "Options";
    commandLine.GetSwitch("D", folder, fallback);
    AppendBackSlash(folder);

    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, OptionKey(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) !=
        ERROR_SUCCESS) {
        CLog::Write(g_strLogFile, "TestOption - cannot register");
        return OPTION_REGISTRY_FAILED;
    }
    CString version;
    version.Format("%d", OPTION_VERSION);
    RegSetValueExA(key, "InstallPath", 0, REG_SZ, (const BYTE *)(LPCSTR)folder, folder.GetLength() + 1);
    RegSetValueExA(key, "Owner", 0, REG_SZ, (const BYTE *)(LPCSTR)owner, owner.GetLength() + 1);
    RegSetValueExA(key, "Version", 0, REG_SZ, (const BYTE *)(LPCSTR)version, version.GetLength() + 1);
    RegCloseKey(key);
    CLog log(g_strLogFile);
    log.Write("TestOption - edition %d, owner %s, folder %s", subType, (LPCSTR)owner, (LPCSTR)folder);
    return 0;
}

OPTION_EXPORT DWORD WINAPI UnInstall() {
    LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, OptionKey());
    if (!g_strLogFile.IsEmpty()) CLog::Write(g_strLogFile, "TestOption - UnInstall %ld", result);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? 0 : OPTION_REGISTRY_FAILED;
}

OPTION_EXPORT DWORD WINAPI IsInstalled(int *pbInstalled) {
    if (!pbInstalled) return ERROR_INVALID_PARAMETER;
    *pbInstalled = !ReadValue("InstallPath").IsEmpty();
    return 0;
}

OPTION_EXPORT DWORD WINAPI IsInstalledVersionNewer(int *pbNewer) {
    if (!pbNewer) return ERROR_INVALID_PARAMETER;
    CString version = ReadValue("Version");
    if (version.IsEmpty()) return OPTION_NOT_INSTALLED;
    *pbNewer = atoi(version) > OPTION_VERSION;
    return 0;
}

OPTION_EXPORT DWORD WINAPI GetDebugErrorString(DWORD dwError, LPSTR lpszBuffer, DWORD dwSize) {
    CString text;
    switch (dwError) {
    case 0: text = "The option setup succeeded."; break;
    case OPTION_NOT_INSTALLED: text = "The option is not installed."; break;
    case OPTION_NO_SETTINGS: text = "The option setup was given no setup information."; break;
    case OPTION_REGISTRY_FAILED: text = "The option could not be registered."; break;
    default: text.Format("Option setup error %lu.", (unsigned long)dwError); break;
    }
    return CopyText(text, lpszBuffer, dwSize);
}

OPTION_EXPORT DWORD WINAPI GetInstallPath(LPSTR lpszBuffer, DWORD dwSize) {
    CString path = ReadValue("InstallPath");
    if (path.IsEmpty()) return OPTION_NOT_INSTALLED;
    return CopyText(path, lpszBuffer, dwSize);
}

// ---- across the boundary ------------------------------------------------------

OPTION_EXPORT CSettings *WINAPI OptionMakeSettings(const tagSETUP_INFO *pInfo) {
    return pInfo ? new CSettings(pInfo, 0) : NULL;
}

OPTION_EXPORT int WINAPI OptionTakeSettings(CSettings *pSettings) {
    if (!pSettings) return 0;
    int product = (int)pSettings->ProductType();
    delete pSettings;
    return product;
}

OPTION_EXPORT int WINAPI OptionAddNames(CStringArray *pNames, const CString *pPrefix) {
    if (!pNames) return 0;
    CString prefix = pPrefix ? *pPrefix : CString("Option");
    static const char *const kNames[] = {"Changer", "Image", "RAID"};
    for (const char *name : kNames) pNames->Add(prefix + " " + name);
    return pNames->GetSize();
}
