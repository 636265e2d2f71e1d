// AllowInstall, AllowUninstall and IsAdministrator: may installation or
// removal go on? They answer through "ERRORMSG" and their result and never
// show a box themselves.
#include "Checks.h"

#include "registry/HarnRegistry.h"
#include "settings/SetupInf.h"
#include "system/Application.h"
#include "system/Computer.h"
#include "system/CurrentUser.h"
#include "system/Log.h"
#include "system/Service.h"
#include "system/TaskList.h"
#include "system/VersionText.h"

#include <cstdio>
#include <cstring>

namespace {

// The product's own programs; any of them running blocks a removal.
const char *const kProductPrograms[] = {
    "RDSRV.EXE",   "DBSRV.EXE", "DBSETUP.EXE", "DBPURGE2.EXE", "SQLPURGE.EXE", "QLRUNJOB.EXE",
    "ROTPRED.EXE", "QLMGR.EXE", "QLADMIN.EXE", "DEVSETUP.EXE", "MRGINDEX.EXE",
};

// Product codes whose registration record the update check accepts.
bool IsUpdatableProductCode(DWORD code) { return code == 24 || code == 25 || code == 32 || code == 68; }

// Copies text into a buffer of `size` characters, cut to fit and terminated.
void CopyCut(LPSTR buffer, size_t size, LPCSTR text) {
    if (!buffer || size == 0) return;
    snprintf(buffer, size, "%s", text ? text : "");
}

typedef int(WINAPI *PFN_QLV_LONG_TEXT)(char *);

// Calls a text export of the version library into a zeroed buffer of
// `room` characters, with spare zeroed bytes behind it: the library is not
// told the size, and an over-long answer must still end in a terminator.
CString CallLongText(HMODULE module, LPCSTR exportName, size_t room) {
    char text[256];
    memset(text, 0, sizeof text);
    PFN_QLV_LONG_TEXT get =
        reinterpret_cast<PFN_QLV_LONG_TEXT>(reinterpret_cast<void *>(GetProcAddress(module, exportName)));
    if (get) get(text);
    text[room - 1] = '\0';
    return CString(text);
}

}  // namespace

BOOL IsPatchMode(MSIHANDLE hInstall) {
    CString patch = GetProperty(hInstall, "PATCH", 260);
    LogLine(hInstall, "IsPatchMode() - PATCH = %s", patch);
    if (!patch.IsEmpty()) return TRUE;
    CString inf = g_Settings.SourcePath();
    if (!inf.IsEmpty() && inf[inf.GetLength() - 1] != '\\') inf += "\\";
    inf += "QLBSETUP.INF";
    char minor[262] = "";
    GetPrivateProfileStringA("Setup", "MINORPKG", "", minor, 261, inf);
    return minor[0] != '\0';
}

DWORD GetQuillbakVersion(MSIHANDLE hInstall) {
    CString dir = GetProperty(hInstall, "SETUPDIR", 260);
    if (dir.IsEmpty()) {
        CHarnRegistry registry(1, NULL);
        dir = registry.GetQuillbakHomeDir();
    }
    if (!dir.IsEmpty() && dir[dir.GetLength() - 1] == '\\') dir = dir.Left(dir.GetLength() - 1);
    CString path = dir + "\\QLVCTL.DLL";
    if (!CComputer::PathExists(path)) path = dir + "\\QLNT\\QLVCTL.DLL";
    LogLine(hInstall, "GetQuillbakVersion() - QLVCTL.DLL Path = %s", path);
    return SetupCLSGetVersionBuildNumber(path);
}

int CheckUpgradeVersion(LPSTR lpszMessage) {
    CString infPath;
    infPath.Format("%sQLBSETUP.INF", g_Settings.SourcePath());
    CSetupInf inf;
    inf.SetQLBsetupINFName(infPath);

    tagProductStruct record;
    memset(&record, 0, sizeof record);
    if (!CHarnRegistry::GetQuillbakProductInfo(&record)) {
        // Installed before products carried a registration record.
        CopyCut(lpszMessage, QL_MESSAGE_SIZE, LoadMessage(57443));
        return 1;
    }
    if (!IsUpdatableProductCode(record.dwProductCode)) return 0;

    int lowest = 0, highest = 0;
    if (!inf.GetUpdateBuildNoRange("QLNT", &lowest, &highest)) return 0;
    int build = (int)(record.dwVersion >> 16);
    if (lowest != highest) {
        if (build < lowest || build > highest) return 0;
    } else if (build != lowest) {
        return 0;
    }

    CHarnRegistry registry(1, NULL);
    CString library;
    library.Format("%s\\QLVCTL.DLL", registry.GetQuillbakHomeDir());
    HMODULE module = LoadLibraryExA(library, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) {
        CopyCut(lpszMessage, QL_MESSAGE_SIZE, LoadMessage(57433));
        return 1;
    }
    CString version = CallLongText(module, "QlvGetVersionLongA", 32);
    CString name = CallLongText(module, "QlvGetProductNameLongA", 128);
    FreeLibrary(module);
    if (version == "Version 6.0") {
        CopyCut(lpszMessage, QL_MESSAGE_SIZE, LoadMessage(57443));
    } else {
        // The name and the version may be long: the text is cut to the
        // buffer, never written past it.
        CString text;
        text.Format(LoadMessage(57442), (LPCSTR)name, (LPCSTR)version);
        CopyCut(lpszMessage, QL_MESSAGE_SIZE, text);
    }
    return 1;
}

int CheckRunningProcesses(LPSTR lpszName, DWORD nSize) {
    if (lpszName && nSize) lpszName[0] = '\0';
    EnableDebugPrivilege();
    PTASK_LIST tasks = new TASK_LIST[QL_MAX_TASKS + 1];
    memset(tasks, 0, sizeof(TASK_LIST) * (QL_MAX_TASKS + 1));
    DWORD count = GetTaskList(tasks, QL_MAX_TASKS + 1);
    DWORD self = GetCurrentProcessId();
    int allEnded = 1;
    for (DWORD i = 0; i < count; ++i) {
        if (tasks[i].dwProcessId == self) continue;
        bool ours = false;
        for (LPCSTR program : kProductPrograms)
            if (lstrcmpiA(tasks[i].ProcessName, program) == 0) ours = true;
        if (!ours) continue;
        if (!KillProcess(&tasks[i], TRUE)) {
            CopyCut(lpszName, nSize, tasks[i].ProcessName);
            allEnded = 0;
        }
    }
    delete[] tasks;
    return allEnded;
}

extern "C" UINT WINAPI IsAdministrator(MSIHANDLE hInstall) {
    return CCurrentUser::IsAdministrator() ? QL_SUCCESS : QL_NOT_ADMINISTRATOR;
}

extern "C" UINT WINAPI AllowInstall(MSIHANDLE hInstall) {
    ActionPrologue(hInstall, "AllowInstall", "Started", 0);
    if (g_Settings.RemoteSetup()) CRemoteMailslot::SendStatus(g_Settings.RemoteHostServer(), 1, 1);

    UINT refusal = 0;
    int update = 0;
    char warning[QL_MESSAGE_SIZE];
    memset(warning, 0, sizeof warning);
    if (!CCurrentUser::IsAdministrator()) {
        refusal = 10026;
    } else {
        if (IsPatchMode(hInstall)) {
            INSTALLSTATE state = MsiQueryProductStateA(QL_PRODUCT_CODE);
            if (state != INSTALLSTATE_ABSENT && state != INSTALLSTATE_DEFAULT) refusal = 10052;
        }
        if (!refusal && g_Settings.QuillbakExists()) {
            update = CheckUpgradeVersion(warning);
            if (!update) refusal = 10052;
        }
    }

    SetupInformation(hInstall);

    if (refusal) {
        CString message = LoadMessage(refusal);
        if (g_Settings.RemoteSetup()) CRemoteMailslot::SendStatus(g_Settings.RemoteHostServer(), 1, 3);
        MsiSetPropertyA(hInstall, "ERRORMSG", message);
        return QL_USER_EXIT;
    }
    if (update) {
        MsiSetPropertyA(hInstall, "QUILLBAKEXIST", "TRUE");
        MsiSetPropertyA(hInstall, "WARNINGMSG", warning);
    } else {
        MsiSetPropertyA(hInstall, "QUILLBAKEXIST", "FALSE");
    }
    return QL_SUCCESS;
}

extern "C" UINT WINAPI AllowUninstall(MSIHANDLE hInstall) {
    MsiSetPropertyA(hInstall, "ERRORMSG", "NONE");
    LoadSettings(hInstall, 0);
    LogLine(hInstall, "AllowUninstall() - %s", "started");

    if (!CCurrentUser::IsAdministrator()) {
        MsiSetPropertyA(hInstall, "ERRORMSG", LoadMessage(10026));
        return QL_USER_EXIT;
    }

    HANDLE running = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "QuillbakIsRunning");
    // A mutex this account may not open exists all the same.
    if (running || GetLastError() == ERROR_ACCESS_DENIED) {
        if (running) CloseHandle(running);
        MsiSetPropertyA(hInstall, "ERRORMSG", LoadMessage(57430));
        return QL_USER_EXIT;
    }

    CService engine(CService::DatabaseEngine);
    if (engine.IsStarted()) engine.StopService(1, 0);
    CApplication manager(CApplication::Manager);
    if (manager.IsRunning()) manager.CloseWindow();

    char program[MAX_PATH];
    if (!CheckRunningProcesses(program, sizeof program)) {
        CString message;
        message.Format("%s <%s> ", (LPCSTR)LoadMessage(57430), program);
        MsiSetPropertyA(hInstall, "ERRORMSG", message);
        return QL_USER_EXIT;
    }

    SetupInformation(hInstall);
    GetExistDatabaseType(hInstall);
    return QL_SUCCESS;
}
