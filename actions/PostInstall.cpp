// The steps after the file copy that PostInstall runs: support addresses,
// leftovers of earlier versions, program groups, the Removable Storage
// registration and the discovery service.
#include "PostInstall.h"

#include "Frame.h"
#include "PreInstall.h"
#include "registry/BrandKit.h"
#include "resources/resource.h"
#include "system/Computer.h"
#include "system/Service.h"

#include <objbase.h>
#include <shlobj.h>

#include <cstring>

namespace {

const char kDiscoveryService[] = "QLDiscoverySvc";
const char kDefaultBaseKey[] = "SOFTWARE\\Veltmark\\QuillbakIT\\Base";

// Room of a support address.
const int kAddressChars = 128;

struct SupportAddress {
    const char *value;
    UINT message;
};
const SupportAddress kSupportAddresses[] = {
    {"CertifiedDevices", IDS_URL_CERTIFIED_DEVICES},
    {"ENews", IDS_URL_ENEWS},
    {"ESupport", IDS_URL_ESUPPORT},
    {"OnlineHelp", IDS_URL_ONLINE_HELP},
};

// Program files of earlier versions; two of them were listed twice by the
// releases that shipped them, and deleting a missing file does no harm.
const char *const kObsoleteFiles[] = {
    "QLBACKUP.EXE", "QLRESTOR.EXE", "QLSCHED.EXE",  "QLDBUTIL.EXE", "QLTAPEUT.EXE", "QLNOTIFY.DLL", "QLMEDIA.DLL",
    "QLREPORT.EXE", "QLREPORT.DLL", "QLWIZARD.DLL", "QLCTL32.OCX",  "QLAGENT.EXE",  "QLAGTCFG.EXE", "QLPROP.DLL",
    "QLSHEXT.DLL",  "QLSETUP.EXE",  "QLERASE.EXE",  "QLVERIFY.EXE", "QLLABEL.EXE",  "QLCATLG.EXE",  "QLMERGE.EXE",
    "QLSCHED.EXE",  "QLDEVCFG.EXE", "QLTRACE.DLL",  "QLHELP.DLL",   "QLSTAT.EXE",   "QLRPC.DLL",    "QLAPI32.DLL",
    "QLINST.DLL",   "QLUTIL.DLL",   "QLVIEW.EXE",   "QLMEDIA.DLL",  "QLLOGVW.EXE",  "QLJOBVW.EXE",  "QLEXPLR.EXE",
    "QLCMD.EXE",    "QLSCRIPT.DLL", "QLRUN.EXE",
};
static_assert(sizeof kObsoleteFiles / sizeof kObsoleteFiles[0] == 38, "the earlier versions' program files");

// The RAID option's program files of earlier versions; editions 1 and 2
// carry the option and keep them.
const char *const kObsoleteRaidFiles[] = {"QLRAID.DLL", "RAIDMGR.EXE", "RAIDCFG.EXE", "RAIDSVC.EXE"};

const char *const kObsoleteDatabaseFiles[] = {"QLCOPY.*",   "QLMEDIA.005", "DBWORK.DBA", "SYSCAT.019",
                                              "SYSCAT.020", "SYSCAT.021",  "SYSCAT.022"};

const char *const kObsoleteRuntimes[] = {"MFC40.DLL",  "MFC42.DLL",    "MSVCIRT.DLL",
                                         "MSVCRT.DLL", "MSVCRT20.DLL", "MSVCRT40.DLL"};

typedef int(WINAPI *PFN_REGISTER_QLB_MLL)(void);

CString BaseKey() {
    char base[BKT_ROOT_BUFFER_SIZE] = "";
    HMODULE brand = LoadLibraryA(BKT_LIBRARY_NAME);
    if (brand) {
        PFN_BKT_GET_STRING get = (PFN_BKT_GET_STRING)(void *)GetProcAddress(brand, BKT_GET_REG_BASE_STRING);
        if (get) get(base, sizeof base);
        base[sizeof base - 1] = '\0';
        FreeLibrary(brand);
    }
    return base[0] ? CString(base) : CString(kDefaultBaseKey);
}

// The folder a CSIDL names, through the shell; empty when it has none.
CString ShellFolder(IMalloc *allocator, int csidl) {
    LPITEMIDLIST list = NULL;
    char path[MAX_PATH + 1] = "";
    if (SUCCEEDED(SHGetSpecialFolderLocation(NULL, csidl, &list)) && list) {
        if (!SHGetPathFromIDListA(list, path)) path[0] = '\0';
        if (allocator) allocator->Free(list);
    }
    path[MAX_PATH] = '\0';
    return CString(path);
}

// A group name must name a folder of its own below the Programs folder.
BOOL IsGroupName(LPCSTR name) {
    if (!name || !*name) return FALSE;
    if (strchr(name, '\\') || strchr(name, '/')) return FALSE;
    return strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

}  // namespace

int WriteSupportAddresses() {
    CString key = BaseKey() + "\\QLMgr";
    HKEY hKey;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &hKey,
                        &disposition) != ERROR_SUCCESS)
        return 1;
    for (const SupportAddress &a : kSupportAddresses) {
        CString address = LoadMessage(a.message).Left(kAddressChars - 1);
        RegSetValueExA(hKey, a.value, 0, REG_SZ, (const BYTE *)(LPCSTR)address, (DWORD)address.GetLength() + 1);
    }
    RegCloseKey(hKey);
    return 1;
}

int DeleteObsoleteFiles() {
    CString home = g_Settings.QuillbakPath();
    // A product path that names a root or a system folder holds other
    // programs' files of the same names: leave it alone.
    if (!IsProtectedFolder(home)) {
        for (const char *name : kObsoleteFiles) DeleteFileA(home + name);
        if (g_Settings.ProductSubType() != 1 && g_Settings.ProductSubType() != 2)
            for (const char *name : kObsoleteRaidFiles) DeleteFileA(home + name);
        for (const char *pattern : kObsoleteDatabaseFiles) CComputer::DeleteFiles(home + "DATABASE\\", pattern);
        for (const char *name : kObsoleteRuntimes) DeleteFileA(home + name);
    }
    char windows[MAX_PATH + 1] = "";
    UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        CString uninstaller(windows);
        if (uninstaller[uninstaller.GetLength() - 1] != '\\') uninstaller += "\\";
        DeleteFileA(uninstaller + "QLUNINST.EXE");
    }
    return 1;
}

void RegisterRsmLibrary(MSIHANDLE hInstall) {
    char previous[MAX_PATH + 1] = "";
    DWORD n = GetCurrentDirectoryA(MAX_PATH, previous);
    if (n == 0 || n > MAX_PATH) previous[0] = '\0';
    SetCurrentDirectoryA(g_Settings.QuillbakPath());

    CString path;
    path.Format("%sQLBNTMSD.DLL", g_Settings.QuillbakPath());
    HMODULE library = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library) {
        CString text;
        PFN_REGISTER_QLB_MLL reg = (PFN_REGISTER_QLB_MLL)(void *)GetProcAddress(library, "RegisterQLBMll");
        if (reg) {
            int rc = reg();
            if (rc == 1)
                text = LoadMessage(IDS_RESTART_REMOVABLE_STORAGE);
            else if (rc == 65534)
                text = LoadMessage(IDS_DEVICES_TAKEN_OVER);
            else if (rc != 0)
                text.Format("Failed to call RegisterQLBMll() from %s -- RC=%d", (LPCSTR)path, rc);
        } else {
            text.Format("Failed to call RegisterQLBMll() from %s ", (LPCSTR)path);
        }
        FreeLibrary(library);
        if (!text.IsEmpty()) ShowInstallerWarning(hInstall, text);
    }
    if (previous[0]) SetCurrentDirectoryA(previous);
}

DWORD RefreshDiscoveryTable(MSIHANDLE hInstall) {
    const char format[] = "RefreshDiscoveryTable() - %s";
    BOOL wasStarted = CService::IsStarted(kDiscoveryService);
    if (wasStarted) {
        CService::StopService(kDiscoveryService, 1, 0);
        LogLine(hInstall, format, "Discovery Service Status = Started.");
        LogLine(hInstall, format, "Stopping Discovery Service.");
    } else {
        LogLine(hInstall, format, "Discovery Service Status = Not Started.");
    }
    if (wasStarted && !CService::IsStarted(kDiscoveryService)) {
        LogLine(hInstall, format, "Starting Discovery Service.");
        if (!CService::StartServiceA(kDiscoveryService, 1)) {
            DWORD error = GetLastError();
            LogLine(hInstall, format, "ERROR Starting Discovery Service.");
            return error;
        }
    }
    LogLine(hInstall, format, "Refresh completed successfully.");
    return 0;
}

void RemoveStartMenuGroup(LPCSTR lpszGroup) {
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return;
    int programs, startup;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 4) {
        programs = CSIDL_COMMON_PROGRAMS;
        startup = CSIDL_COMMON_STARTUP;
    } else if (CComputer::IsWindows95()) {
        programs = CSIDL_PROGRAMS;
        startup = CSIDL_STARTUP;
    } else {
        return;
    }
    HRESULT com = CoInitialize(NULL);
    IMalloc *allocator = NULL;
    if (FAILED(SHGetMalloc(&allocator))) allocator = NULL;
    // Without the allocator no item list is asked for: it could not be freed.
    CString programsPath = allocator ? ShellFolder(allocator, programs) : CString();
    CString startupPath = allocator ? ShellFolder(allocator, startup) : CString();
    if (allocator) allocator->Release();
    if (!programsPath.IsEmpty() && !startupPath.IsEmpty() && IsGroupName(lpszGroup))
        CComputer::DeleteTree(programsPath + "\\" + lpszGroup);
    if (SUCCEEDED(com)) CoUninitialize();
}

