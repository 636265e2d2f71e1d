// The companion anti-virus product: its installer from the setup directory,
// run when the package's feature for it is chosen and the user agrees.
#include "Auxiliary.h"
#include "Frame.h"

#include "resource.h"
#include "system/Computer.h"
#include "system/SetupPaths.h"

#include <cstring>

CString SystemErrorText(DWORD code) {
    char text[256] = "";
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, NULL, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text,
                        sizeof text, NULL))
        text[0] = '\0';
    text[sizeof text - 1] = '\0';
    return text;
}

DWORD ChildExitCode(HANDLE hProcess) {
    DWORD code = 0;
    if (WaitForSingleObject(hProcess, INFINITE) == WAIT_FAILED || !GetExitCodeProcess(hProcess, &code)) {
        // Neither the end nor the code is known: the failure stands in for
        // the code, so that it is never logged as a success.
        code = GetLastError();
        if (code == NO_ERROR) code = ERROR_GEN_FAILURE;
    }
    return code;
}

CString FullPath(LPCSTR lpszName) {
    char full[MAX_PATH];
    LPSTR file = NULL;
    DWORD n = GetFullPathNameA(lpszName, sizeof full, full, &file);
    if (n == 0 || n >= sizeof full) return CString();
    return full;
}

BOOL IsNtServer() {
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT) return FALSE;
    char type[10] = "";
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        DWORD size = sizeof type - 1, kind = 0;
        if (RegQueryValueExA(key, "ProductType", NULL, &kind, (LPBYTE)type, &size) != ERROR_SUCCESS || kind != REG_SZ)
            type[0] = '\0';
        type[sizeof type - 1] = '\0';
        RegCloseKey(key);
    }
    return lstrcmpiA(type, "WinNT") != 0;
}

UINT RunVaxwallSetup(MSIHANDLE hInstall, BOOL *pbStarted) {
    if (pbStarted) *pbStarted = FALSE;
    CString infPath;
    infPath.Format("%sQLBSETUP.INF", g_Settings.SourcePath());
    char name[262];
    memset(name, 0, sizeof name);
    GetPrivateProfileStringA("Components", IsNtServer() ? "VAXWALLSERVER" : "VAXWALLWORKSTATION", "", name, 261,
                             infPath);
    CString package;
    if (name[0]) package = FullPath(name);

    INSTALLSTATE state = MsiQueryFeatureStateA(QL_PRODUCT_CODE, "Vaxguard");
    CString text;
    text.Format(" - Vaxguard Feature State (%d)", (int)state);
    LogLine(hInstall, "%s", text);
    if (state != INSTALLSTATE_LOCAL) {
        LogLine(hInstall, "%s", " - VAXWALL is not select");
        return QL_FAILURE;
    }
    if (!IsSilentInstall(hInstall) &&
        MessageBoxA(GetDesktopWindow(), LoadMessage(IDS_INSTALL_ANTIVIRUS), "Quillbak", MB_YESNO | MB_ICONQUESTION) !=
            IDYES)
        return QL_FAILURE;

    // Beside the product: "C:\Program Files\Quillbak\" gives "C:\Program Files\Vaxwall".
    CString target(g_Settings.QuillbakPath());
    if (!target.IsEmpty() && target[target.GetLength() - 1] == '\\') target = target.Left(target.GetLength() - 1);
    int cut = target.ReverseFind('\\');
    target = (cut >= 0 ? target.Left(cut) : CString()) + "\\Vaxwall";

    CString installer;
    installer.Format("%sVaxInst.exe ", g_Settings.SourcePath());
    CString command;
    command.Format("%s %s \"%s\" ", (LPCSTR)installer, (LPCSTR)package, (LPCSTR)target);
    CString directory = DriveAndDirectory(installer);
    // The installer's name is followed by a blank; the file is named without it.
    CString program(installer);
    program.TrimRight();
    if (!CComputer::PathExists(program)) return 0;

    LogLine(hInstall, "Launch - %s", command);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    memset(&pi, 0, sizeof pi);
    BOOL started = CreateProcessA(NULL, command.GetBuffer(0), NULL, NULL, TRUE, DETACHED_PROCESS, NULL,
                                  directory.IsEmpty() ? NULL : (LPCSTR)directory, &si, &pi);
    command.ReleaseBuffer();
    if (!started) {
        CString failed;
        failed.Format("Failed to launch %s", (LPCSTR)command);
        LogLine(hInstall, " - %s", failed);
        return 0;
    }
    if (pbStarted) *pbStarted = TRUE;
    DWORD code = ChildExitCode(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (code == 0)
        LogLine(hInstall, " - Launched %s successful", package);
    else
        LogLine(hInstall, " - %s", SystemErrorText(code));
    return code;
}


extern "C" UINT WINAPI InstallVaxwall(MSIHANDLE hInstall) { return RunVaxwallSetup(hInstall, NULL); }
