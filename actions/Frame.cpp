#include "Frame.h"

#include "system/Log.h"
#include "system/SetupPaths.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

HINSTANCE g_hInstance = NULL;
CSettings g_Settings;
// No database is known until GetExistDatabaseType looked.
int ExistingDatabaseType = -1;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_hInstance = instance;
        AfxSetResourceHandle(instance);
    }
    return TRUE;
}

CString GetProperty(MSIHANDLE hInstall, LPCSTR lpszName, DWORD size) {
    CString value;
    DWORD count = size;
    LPSTR buffer = value.GetBuffer((int)size + 1);
    buffer[0] = '\0';
    // A longer value comes back cut to the buffer (ERROR_MORE_DATA).
    MsiGetPropertyA(hInstall, lpszName, buffer, &count);
    buffer[size] = '\0';
    value.ReleaseBuffer();
    return value;
}

CString LoadMessage(UINT nID) {
    CString text;
    if (!text.LoadString(nID)) text.Empty();
    return text;
}

int SetSetupInfo(MSIHANDLE hInstall, tagSETUP_INFO *pInfo, int bUninstall) {
    CString icfDir = GetProperty(hInstall, "ICFDIR", 260);
    LogLine(hInstall, "SetSetupInfo() ICFDIR-%s", icfDir);
    CString setupDir = GetProperty(hInstall, "SETUPDIR", 260);
    LogLine(hInstall, "SetSetupInfo() SETUPDIR-%s", setupDir);

    if (setupDir.IsEmpty()) setupDir = GetProperty(hInstall, "SOURCEDIR", 260);
    if (setupDir.IsEmpty()) {
        char source[MAX_PATH + 1] = "";
        DWORD count = MAX_PATH;
        if (MsiGetProductInfoA(QL_PRODUCT_CODE, INSTALLPROPERTY_INSTALLSOURCE, source, &count) == ERROR_SUCCESS)
            setupDir = source;
    }
    if (setupDir.IsEmpty()) {
        // The drive and directory of the running program.
        setupDir = RunningProgramFolder();
    }
    SetCurrentDirectoryA(setupDir);

    CString batchFile;
    if (!icfDir.IsEmpty())
        batchFile = icfDir;
    else
        batchFile.Format("%sQUILLBAK.ICF", (LPCSTR)setupDir);

    char temp[MAX_PATH + 1] = "";
    GetTempPathA(MAX_PATH, temp);
    temp[MAX_PATH] = '\0';
    CString logFile;
    logFile.Format("%s\\QLBSETUP.LOG", temp);

    tagSETUP_INFO local;
    tagSETUP_INFO *info = pInfo ? pInfo : &local;
    memset(info, 0, sizeof *info);
    info->lProductType = 24;
    // The record's fields hold 260 characters; longer paths are cut there.
    CopyToField(info->szBatchFile, batchFile);
    CopyToField(info->szSourcePath, setupDir);
    CopyToField(info->szLogFile, logFile);

    g_Settings = CSettings(info, bUninstall);
    return 1;
}

namespace {

// The installer formats field 0 of a message record: "[7]" would become the
// empty field 7 and "[Name]" a property, so a line such as "failed [7]" lost
// its code. "[\[]" is the installer's escape for a literal bracket.
CString LiteralTemplate(LPCSTR lpszText) {
    CString text;
    for (LPCSTR p = lpszText ? lpszText : ""; *p; ++p) {
        if (*p == '[')
            text += "[\\[]";
        else
            text += *p;
    }
    return text;
}

int SendLogLine(MSIHANDLE hInstall, LPCSTR text, LPCSTR lpszFormat, LPCSTR lpszArgument, long nArgument,
                bool textArgument) {
    if (hInstall != 0) {
        MSIHANDLE record = MsiCreateRecord(1);
        // A record without its text would reach the log as a bare field list.
        int result = -1;
        if (MsiRecordSetStringA(record, 0, LiteralTemplate(text)) == ERROR_SUCCESS)
            result = MsiProcessMessage(hInstall, INSTALLMESSAGE_INFO, record);
        MsiCloseHandle(record);
        return result;
    }
    if (textArgument)
        CLog::Write(g_Settings.LogFile(), lpszFormat, lpszArgument);
    else
        CLog::Write(g_Settings.LogFile(), lpszFormat, nArgument);
    return 0;
}

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
#endif
template <class A>
void FormatLine(char (&line)[256], LPCSTR lpszFormat, A argument) {
    snprintf(line, sizeof line, lpszFormat ? lpszFormat : "", argument);
    line[sizeof line - 1] = '\0';
}
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

}  // namespace

int LogLine(MSIHANDLE hInstall, LPCSTR lpszFormat, LPCSTR lpszArgument) {
    char line[256];
    FormatLine(line, lpszFormat, lpszArgument ? lpszArgument : "");
    return SendLogLine(hInstall, line, lpszFormat, lpszArgument ? lpszArgument : "", 0, true);
}

int LogLine(MSIHANDLE hInstall, LPCSTR lpszFormat, long nArgument) {
    char line[256];
    FormatLine(line, lpszFormat, nArgument);
    return SendLogLine(hInstall, line, lpszFormat, NULL, nArgument, false);
}

namespace {
void ShowInstallerMessage(MSIHANDLE hInstall, INSTALLMESSAGE kind, LPCSTR lpszText) {
    MSIHANDLE record = MsiCreateRecord(1);
    // Without its text the user would see an empty box.
    if (MsiRecordSetStringA(record, 0, LiteralTemplate(lpszText)) == ERROR_SUCCESS)
        MsiProcessMessage(hInstall, kind, record);
    MsiCloseHandle(record);
}
}  // namespace

void ShowInstallerWarning(MSIHANDLE hInstall, LPCSTR lpszText) {
    ShowInstallerMessage(hInstall, INSTALLMESSAGE_WARNING, lpszText);
}

void ShowInstallerError(MSIHANDLE hInstall, LPCSTR lpszText) {
    ShowInstallerMessage(hInstall, INSTALLMESSAGE_ERROR, lpszText);
}

BOOL IsSilentInstall(MSIHANDLE hInstall) {
    CString level = GetProperty(hInstall, "UILevel", 10);
    return !level.IsEmpty() && atoi(level) == INSTALLUILEVEL_NONE;
}

DWORD WaitForChildProgram(HANDLE hProcess) {
    for (;;) {
        DWORD wait = MsgWaitForMultipleObjects(1, &hProcess, FALSE, INFINITE, QS_ALLINPUT);
        if (wait != WAIT_OBJECT_0 + 1) break;  // the process ended, or the wait failed
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    DWORD code = STILL_ACTIVE;
    while (GetExitCodeProcess(hProcess, &code) && code == STILL_ACTIVE) Sleep(100);
    return code;
}

void LoadSettings(MSIHANDLE hInstall, int bUninstall) {
    tagSETUP_INFO info;
    SetSetupInfo(hInstall, &info, bUninstall);
    g_Settings.Initialize();
}

void ActionPrologue(MSIHANDLE hInstall, LPCSTR lpszAction, LPCSTR lpszStarted, int bUninstall) {
    CString format;
    format.Format("%s() - %%s", lpszAction);
    LogLine(hInstall, format, lpszStarted);
    MsiSetPropertyA(hInstall, "ERRORMSG", "NONE");
    LoadSettings(hInstall, bUninstall);
}
