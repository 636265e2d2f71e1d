// The follow-up setups after the files are in place: the browser and
// common-controls update, the anti-virus product, the enterprise-management
// framework and a further product named by the setup information file; and
// the registrations of the installed product before them.
#include "Auxiliary.h"
#include "Frame.h"

#include "dialogs/WaitWindow.h"
#include "registry/HarnRegistry.h"
#include "resource.h"
#include "settings/SetupInf.h"
#include "system/Computer.h"
#include "system/SetupPaths.h"

#include <cstdlib>
#include <cstring>

namespace {

// Texts of the wait window are loaded into 128 characters.
const int kWaitTextChars = 128;

CString Cut(const CString &text, int chars) { return text.GetLength() < chars ? text : text.Left(chars - 1); }

HWND OpenWaitWindow(const CString &text) { return ShowWaitWindow(g_hInstance, GetDesktopWindow(), text); }

// The enterprise-management framework's setup, started and left running.
void LaunchFrameworkSetup() {
    if (!g_Settings.PNRFWAvailable() || g_Settings.ProductSubType() == 1 || g_Settings.RemoteSetup()) return;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltmark\\VM-Panorel/PNR\\WorldView", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    RegCloseKey(key);
    CString name(g_Settings.PNRFWSetupFileName());
    if (name.IsEmpty()) return;
    CString full = FullPath(name);
    if (full.IsEmpty() || !CComputer::PathExists(full)) return;
    CString directory = DriveAndDirectory(full);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    memset(&pi, 0, sizeof pi);
    if (CreateProcessA(NULL, full.GetBuffer(0), NULL, NULL, TRUE, DETACHED_PROCESS, NULL,
                       directory.IsEmpty() ? NULL : (LPCSTR)directory, &si, &pi)) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    full.ReleaseBuffer();
}

// The product setup the setup information file names, waited for.
void LaunchFurtherSetup(MSIHANDLE hInstall) {
    CSetupInf inf;
    CString infPath;
    infPath.Format("%sQLBSETUP.INF", g_Settings.SourcePath());
    inf.SetQLBsetupINFName(infPath);
    CString file(inf.GetSetupFileName());
    if (file.IsEmpty()) return;
    CString full = FullPath(file);
    if (full.IsEmpty() || !CComputer::PathExists(full)) return;
    CString product(inf.GetSetupProductName());
    LogLine(hInstall, " - %s", full);
    CString directory = DriveAndDirectory(full);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi;
    memset(&pi, 0, sizeof pi);
    BOOL started = CreateProcessA(NULL, full.GetBuffer(0), NULL, NULL, TRUE, CREATE_NEW_CONSOLE, NULL,
                                  directory.IsEmpty() ? NULL : (LPCSTR)directory, &si, &pi);
    full.ReleaseBuffer();
    if (!started) return;
    CloseHandle(pi.hThread);
    HWND wait = NULL;
    if (!product.IsEmpty()) {
        CString text;
        text.Format(Cut(LoadMessage(IDS_PLEASE_WAIT_OPTION), kWaitTextChars), (LPCSTR)product);
        wait = OpenWaitWindow(text);
    }
    WaitForChildProgram(pi.hProcess);
    CloseHandle(pi.hProcess);
    if (wait) DestroyWindow(wait);
}

}  // namespace

BOOL GetIEVersion(int *pnMajor, int *pnMinor) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return FALSE;
    char version[MAX_PATH + 1];
    memset(version, 0, sizeof version);
    DWORD size = MAX_PATH, type = 0;
    LONG rc = RegQueryValueExA(key, "Version", NULL, &type, (LPBYTE)version, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ) return FALSE;
    version[MAX_PATH] = '\0';
    // "4.72.3110.8": major 4, minor 8.
    const char *last = strrchr(version, '.');
    if (pnMajor) *pnMajor = atoi(version);
    if (pnMinor) *pnMinor = last ? atoi(last + 1) : 0;
    return TRUE;
}

int UpdateInternetExplorer(MSIHANDLE hInstall) {
    char system[MAX_PATH] = "";
    UINT systemChars = GetSystemDirectoryA(system, sizeof system);
    // Without the system directory the name would be "\ComCTL32.dll" of
    // the current drive, some other file: no version is read then.
    if (systemChars == 0 || systemChars >= sizeof system) system[0] = '\0';
    CString controls;
    controls.Format("%s\\ComCTL32.dll", system);

    CString command;
    int major = 0, minor = 0;
    if (!GetIEVersion(&major, &minor) || major < 4 || (major == 4 && minor <= 101)) {
        command.Format("%sVM_SIE5.exe", g_Settings.SourcePath());
    } else {
        DWORD handle = 0;
        DWORD size = system[0] ? GetFileVersionInfoSizeA(controls, &handle) : 0;
        BOOL read = FALSE;
        WORD high = 0, low = 0;
        if (size) {
            BYTE *block = (BYTE *)calloc(1, size);
            VS_FIXEDFILEINFO *fixed = NULL;
            UINT length = 0;
            if (block && GetFileVersionInfoA(controls, handle, size, block) &&
                VerQueryValueA(block, "\\", (LPVOID *)&fixed, &length) && fixed && length >= sizeof *fixed) {
                high = HIWORD(fixed->dwFileVersionMS);
                low = LOWORD(fixed->dwFileVersionMS);
                read = TRUE;
            }
            free(block);
        }
        if (read) {
            CString text;
            text.Format("the version of %s  is %d.%d", (LPCSTR)controls, (int)high, (int)low);
            LogLine(hInstall, "%s", text);
            if (high > 5 || (high == 5 && low >= 80)) return 0;
        }
        command.Format("%s50ComUpd.exe /Q:A /R:N", g_Settings.SourcePath());
    }

    LogLine(hInstall, "CreateProcess - %s", command);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    memset(&pi, 0, sizeof pi);
    BOOL started = CreateProcessA(NULL, command.GetBuffer(0), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi);
    command.ReleaseBuffer();
    if (!started) {
        LogLine(hInstall, "Failed to CreateProcess - %s", command);
        return 0;
    }
    HWND wait = OpenWaitWindow(Cut(LoadMessage(IDS_PLEASE_WAIT_BROWSER), kWaitTextChars));
    DWORD code = ChildExitCode(pi.hProcess);
    if (code == 0)
        LogLine(hInstall, "Launched %s successful", command);
    else
        LogLine(hInstall, "%s", SystemErrorText(code));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (wait) DestroyWindow(wait);
    return 1;
}

extern "C" UINT WINAPI LaunchProductSetup(MSIHANDLE hInstall) {
    LoadSettings(hInstall, 0);
    LogLine(hInstall, "LaunchProductSetup() - %s", "Started");

    CHarnRegistry registry(1, NULL);
    g_Settings.QuillbakPath(registry.GetQuillbakHomeDir());
    g_Settings.InstallAdmin(registry.IsQuillbakAdminInstalled());
    g_Settings.InstallManager(registry.IsQuillbakManagerInstalled());
    g_Settings.InstallServer(registry.IsQuillbakServerInstalled());

    InstallDiscoveryService(hInstall);
    if (MsiGetMode(hInstall, MSIRUNMODE_MAINTENANCE)) return QL_SUCCESS;

    if (g_Settings.InstallServer()) CHarnRegistry::SetQuillbakShellExtension(g_Settings.QuillbakPath());
    if (g_Settings.InstallAdmin()) RegisterEventSource();
    CreateJobQueue(hInstall);

    int browser = UpdateInternetExplorer(hInstall);
    BOOL antiVirusRan = FALSE;
    UINT antiVirus = RunVaxwallSetup(hInstall, &antiVirusRan);
    // A result of 0 also means that no installer was started: only one that
    // ran and succeeded needs the restart.
    if ((antiVirusRan && antiVirus == 0) || browser == 1) MsiSetMode(hInstall, MSIRUNMODE_REBOOTATEND, TRUE);

    LaunchFrameworkSetup();
    LaunchFurtherSetup(hInstall);
    return QL_SUCCESS;
}
