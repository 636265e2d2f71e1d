// PreInstall: runs before the installer copies files. A maintenance run only
// keeps an option component registered and stops the SAN agent; a first
// installation or an upgrade ends the product's programs, converts and
// removes what an earlier version left and moves its database aside.
#include "PreInstall.h"
#include "Auxiliary.h"

#include "Checks.h"
#include "dialogs/WaitWindow.h"
#include "registry/HarnRegistry.h"
#include "settings/SetupIcf.h"
#include "system/Application.h"
#include "system/Computer.h"
#include "system/Log.h"
#include "system/Service.h"

#include <cstdio>
#include <cstring>

namespace {

// The tape library option's component and the product, in the installer's
// packed form, and the component's key file.
const char kOptionComponent[] = "7AD85B5DA8EF3D11099B000A42D52F46";
const char kPackedProduct[] = "4D80F6B32E5F3D11092B000A42D52F46";
const char kOptionKeyFile[] = "optins35.dll";
const char kComponentsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Components\\";
const char kSanAgentService[] = "VM SAN Agent";

CString TrimTrailingBackslash(CString path) {
    if (!path.IsEmpty() && path[path.GetLength() - 1] == '\\') path = path.Left(path.GetLength() - 1);
    return path;
}

CString FormatText(LPCSTR format, LPCSTR argument) {
    CString text;
    text.Format(format, argument);
    return text;
}

// The maintenance part: a repair or patch of a release that installed the
// tape library option's component under another key path.
UINT MaintenanceRun(MSIHANDLE hInstall) {
    LogLine(hInstall, "PreInstall() - Install Mode = %s", "MSIRUNMODE_MAINTENANCE");
    CString reinstall = GetProperty(hInstall, "REINSTALL", 256);
    CHarnRegistry registry(1, NULL);
    if (IsPatchMode(hInstall) || !reinstall.IsEmpty()) {
        tagProductStruct record;
        memset(&record, 0, sizeof record);
        if (CHarnRegistry::GetQuillbakProductInfo(&record) && record.dwProductCode == 24 &&
            HIWORD(record.dwVersion) == 1018 && (record.bySubType == 3 || record.bySubType == 4) &&
            registry.IsQuillbakServerInstalled() == 1) {
            CString keyPath = registry.GetQuillbakHomeDir();
            if (keyPath.IsEmpty() || keyPath[keyPath.GetLength() - 1] != '\\') keyPath += "\\";
            keyPath += kOptionKeyFile;
            LogLine(hInstall, "PreInstall() - sKeyFilePath = %s", keyPath);
            int rc = CreateComponentKey(kOptionComponent, kPackedProduct, keyPath);
            CString rcText;
            rcText.Format("%d", rc);
            LogLine(hInstall, "PreInstall() - CreateComponentKey() RC = %s", rcText);
        }
    }
    if (registry.IsProductInstalled("EnterpriseLibOption") && CService::IsStarted(kSanAgentService)) {
        LogLine(hInstall, "PreInstall() - %s", "will stop VM SAN agent.");
        CService::StopService(kSanAgentService, 1, 0);
        MsiSetPropertyA(hInstall, "SANAGENTSTOPPED", "TRUE");
    }
    if (IsSilentInstall(hInstall)) SetCustomInstall(hInstall);
    return QL_SUCCESS;
}

}  // namespace

extern "C" UINT WINAPI PreInstall(MSIHANDLE hInstall) {
    ActionPrologue(hInstall, "PreInstall", "Started", 0);

    CString home = TrimTrailingBackslash(GetProperty(hInstall, "INSTALLDIR", 260));
    LogLine(hInstall, "PreInstall() - QUILLBAKHOME = %s", home);
    MsiSetPropertyA(hInstall, "QUILLBAKHOME", home);

    StopSnmpForSetup(hInstall, 0);

    if (MsiGetMode(hInstall, MSIRUNMODE_MAINTENANCE)) return MaintenanceRun(hInstall);

    DeleteProcPreInstall(hInstall);

    CString reading = LoadMessage(57438);
    HWND wait = ShowWaitWindow(g_hInstance, NULL, reading);

    CService engine(CService::DatabaseEngine);
    if (engine.IsStarted()) engine.StopService(1, 0);
    CApplication manager(CApplication::Manager);
    if (manager.IsRunning()) manager.CloseWindow();

    char program[MAX_PATH];
    memset(program, 0, sizeof program);
    if (!CheckRunningProcesses(program, sizeof program)) {
        CString message;
        message.Format("%s <%s> ", (LPCSTR)LoadMessage(57429), program);
        MsiSetPropertyA(hInstall, "ERRORMSG", message);
    }

    if (!RenameDatabaseFolder(hInstall)) {
        MsiSetPropertyA(hInstall, "ERRORMSG", LoadMessage(57435));
        if (g_Settings.RemoteSetup()) CRemoteMailslot::SendStatus(g_Settings.RemoteHostServer(), 6, 3);
        if (wait) DestroyWindow(wait);
        return QL_USER_EXIT;
    }

    if (g_Settings.RemoteSetup()) CRemoteMailslot::SendStatus(g_Settings.RemoteHostServer(), 2, 1);
    if (wait) DestroyWindow(wait);
    return QL_SUCCESS;
}

int StopSnmpForSetup(MSIHANDLE hInstall, int bUninstall) {
    if (g_Settings.IsUpgrade()) {
        HMODULE migration = LoadLibraryA("MIGROPT.DLL");
        if (migration) {
            typedef int(__cdecl * PFN_STOP_ALL_HSM_SERVICES)(int);
            PFN_STOP_ALL_HSM_SERVICES stopAll = reinterpret_cast<PFN_STOP_ALL_HSM_SERVICES>(
                reinterpret_cast<void *>(GetProcAddress(migration, "StopAllHSMServices")));
            if (stopAll && CService::IsStarted("harnsaq")) stopAll(0);
            FreeLibrary(migration);
        }
    }

    BOOL stop = FALSE;
    if (g_Settings.QuillbakExists() && CService::IsStarted("SNMP")) {
        stop = TRUE;
        CString question = LoadMessage(47);
        LogLine(hInstall, "%s", question);
        if (!IsSilentInstall(hInstall) &&
            MessageBoxA(GetDesktopWindow(), question, "Quillbak", MB_YESNO | MB_ICONQUESTION) == IDNO)
            stop = FALSE;
    }
    if (stop) {
        MsiSetPropertyA(hInstall, "SNMPSTOP", "STOP");
        CHarnRegistry registry(g_Settings, 0, NULL);
        registry.DeleteQuillbakSNMPKey();
    }
    if (bUninstall == 0) {
        CHarnRegistry registry(g_Settings, 0, NULL);
        registry.CreateQuillbakSNMPKey();
    }
    return 1;
}

int RenameDatabaseFolder(MSIHANDLE hInstall) {
    LogLine(hInstall, " RenameDatabaseFolder() - %s", "Started");
    CHarnRegistry registry(1, NULL);
    CString home = TrimTrailingBackslash(registry.GetQuillbakHomeDir());
    if (home.IsEmpty() || !CComputer::PathExists(home) || GetDatabaseType() != 0) return 1;

    CString renamed, old;
    renamed.Format("%s\\DATABASE.141", (LPCSTR)home);
    old.Format("%s\\DATABASE", (LPCSTR)home);
    LogLine(hInstall, " RenameDatabaseFolder() - %s", renamed);
    if (!MoveFileA(old, renamed)) {
        DWORD error = GetLastError();
        DWORD attributes = GetFileAttributesA(renamed);
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            CString message;
            message.Format(LoadMessage(57414), (LPCSTR)renamed, (int)error);
            ShowInstallerError(hInstall, message);
            if (g_Settings.RemoteSetup()) CRemoteMailslot::SendStatus(g_Settings.RemoteHostServer(), 2, 3);
            return 0;
        }
    }
    LogLine(hInstall, "%s", FormatText("Database Dir has been renamed to %s", renamed));
    return 1;
}

int CreateComponentKey(LPCSTR lpszComponent, LPCSTR lpszProduct, LPCSTR lpszKeyPath) {
    if (!lpszComponent || !lpszProduct || !lpszKeyPath) return 0;
    CString keyName = CString(kComponentsKey) + lpszComponent;
    HKEY key = NULL;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                        &disposition) != ERROR_SUCCESS)
        return 0;
    LONG result = RegSetValueExA(key, lpszProduct, 0, REG_SZ, reinterpret_cast<const BYTE *>(lpszKeyPath),
                                 (DWORD)strlen(lpszKeyPath) + 1);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 1 : 0;
}

int SetCustomInstall(MSIHANDLE hInstall) {
    CString path;
    path.Format("%sQUILLBAK.ICF", g_Settings.SourcePath());
    LogLine(hInstall, "SetCustomInstall() - read %s", path);

    UINT error = MsiSetInstallLevel(hInstall, 200);
    if (error != ERROR_SUCCESS) {
        CString text;
        text.Format("MsiSetFeatureState Server (Err = %d)", (int)error);
        LogLine(hInstall, " - %s", text);
        return 0;
    }

    CSetupIcf icf(path);
    struct Choice {
        LPCSTR name, property, errorFormat;
        int (CSetupIcf::*read)(LPSTR, unsigned long);
    };
    const Choice choices[] = {
        {"Server", "INSTALLSERVER", "MsiSetFeatureState Server (Err = %d)", &CSetupIcf::InstallServer},
        {"Admin", "INSTALLADMIN", "MsiSetFeatureState Admin (Err = %d)", &CSetupIcf::InstallAdmin},
    };
    for (const Choice &choice : choices) {
        char value[10];
        memset(value, 0, sizeof value);
        (icf.*choice.read)(value, sizeof value);
        value[sizeof value - 1] = '\0';
        if (lstrcmpiA(value, "1") == 0) {
            LogLine(hInstall, " - %s is selected", choice.name);
            MsiSetPropertyA(hInstall, choice.property, "TRUE");
            UINT state = MsiSetFeatureStateA(hInstall, choice.name, INSTALLSTATE_LOCAL);
            if (state != ERROR_SUCCESS) {
                CString text;
                text.Format(choice.errorFormat, (int)state);
                LogLine(hInstall, " - %s", text);
            }
        } else {
            LogLine(hInstall, " - %s is not selected", choice.name);
        }
    }
    return 1;
}

int ConvertDatabase(MSIHANDLE hInstall) {
    char remembered[MAX_PATH + 1];
    memset(remembered, 0, sizeof remembered);
    GetCurrentDirectoryA(MAX_PATH, remembered);
    if (ExistingDatabaseType != 0 || g_Settings.InstallDBType() != 2) return 1;

    BOOL run = FALSE;
    // Nobody answers a question in a silent run: only a batch run converts there.
    BOOL silent = hInstall != 0 && IsSilentInstall(hInstall);
    if (!g_Settings.BatchOperation() && !silent) {
        CString pattern;
        pattern.Format("%sDatabase.141\\*.*", g_Settings.CurrentQuillbakPath());
        // A database folder may hold more than 4 GB.
        ULONGLONG sum = 0;
        BOOL found = FALSE;
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA(pattern, &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (strcmp(data.cFileName, ".") == 0 || strcmp(data.cFileName, "..") == 0) continue;
                found = TRUE;
                sum += ((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
        if (found) {
            unsigned long minutes = (unsigned long)(sum / 1048576 + 1);
            CString question;
            question.Format(LoadMessage(73), minutes);
            if (MessageBoxA(NULL, question, NULL, MB_YESNO | MB_ICONINFORMATION) == IDYES) run = TRUE;
        }
    }
    if (!g_Settings.BatchOperation() && !run) return 1;

    CString program;
    program.Format("%sVLDBCONV.EXE", g_Settings.QuillbakPath());
    CString full = FullPath(program);
    if (full.IsEmpty()) return 0;
    DWORD attributes = GetFileAttributesA(full);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;

    SetCurrentDirectoryA(g_Settings.QuillbakPath());
    // The program's path is quoted: the home directory may hold blanks.
    CString commandLine;
    commandLine.Format("\"%s\" %sDATABASE.141", (LPCSTR)full, g_Settings.CurrentQuillbakPath());
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof process);
    LPSTR line = commandLine.GetBuffer(commandLine.GetLength() + 1);
    if (CreateProcessA(full, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    commandLine.ReleaseBuffer();
    SetCurrentDirectoryA(remembered);
    return 1;
}
