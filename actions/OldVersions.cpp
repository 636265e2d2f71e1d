// Removal of what earlier versions left: their options (through the Windows
// uninstall list or their own uninstallers), their services, registrations,
// runtime libraries, program group and, for the oldest releases, the whole
// home tree.
#include "PreInstall.h"
#include "Auxiliary.h"

#include "dialogs/WaitWindow.h"
#include "registry/HarnRegistry.h"
#include "registry/RegistryConverter.h"
#include "system/Computer.h"
#include "system/Log.h"
#include "system/Service.h"

#include <shlobj.h>

#include <cstring>

namespace {

const tagOLD_OPTION kOldOptions[] = {
    {33, "ImageOption", "ImageOption", "Quillbak Image Option", 63, "unopt33.exe", "OPTSET33.DLL"},
    {34, "RAIDOption", "RAIDOption", "Quillbak RAID Option", 65, "unopt34.exe", "OPTSET34.DLL"},
    {35, "ChangerOption", "ChangerOption", "Quillbak Changer Option", 61, "unopt35.exe", "OPTSET35.DLL"},
    {46, "DisasterRecovery", "HarnockDR", "Harnock Disaster Recovery for Windows NT", 62, "unopt46.exe",
     "OPTSET46.DLL"},
    {61, "ChangerOptical", "ChangerOptical", "Quillbak Optical Library Option", 60, "unopt61.exe", "OPTSET61.DLL"},
    {27, "HSMOption", "HSMOption", NULL, 69, "unopt27.exe", "OPTSET27.DLL"},
    {52, "MBOption", "MBOption", NULL, 66, "unopt52.exe", "OPTSET52.DLL"},
    {65, "EnterpriseLibOption", "EnterpriseLibOption", NULL, 64, "unopt65.exe", "OPTSET65.DLL"},
    {84, "SILO_Option", "SILO_Option", NULL, 67, "unopt84.exe", "OPTSET84.DLL"},
    {88, "ProPackOption", "ProPackOption", NULL, 68, "unopt88.exe", ""},
    {96, "Quillbak", "Quillbak", NULL, 70, "unopt96.exe", "OPTSET96.DLL"},
};

// Since version 2.0 (version word 512) the changer option calls itself the
// tape library option in the Windows uninstall list.
const char kTapeLibraryEntry[] = "Quillbak Tape Library Option";
const char kUninstallListKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The data migration option's files and folders in the home directory.
const char *const kHsmFiles[] = {"MIGROPT.DLL", "OPTSET27.DLL", "MIGROPT.CFG"};
const char *const kHsmFolders[] = {"HSMDRV", "HSMDRV32", "HSMCLNT", "HSMCLNT32", "HSMTOOLS", "HSMUTIL"};
const char *const kHsmPrograms[] = {"HSMSVC.EXE", "HSMADMIN.EXE", "HSMMON.EXE", "HSMAPI.DLL",
                                    "HSMRES.DLL", "HSMCTL.DLL",   "HSMRCL.EXE", "HSMSTAT.EXE"};

// Runtime libraries that releases before build 950 put into the product path.
const char *const kOldRuntimeLibraries[] = {"MFC40.DLL", "MFC42.DLL", "MSVCIRT.DLL", "MSVCRT.DLL", "MSVCRT40.DLL"};

CString RegisteredHome() {
    CHarnRegistry registry(1, NULL);
    return CString(registry.GetQuillbakHomeDir());
}

CString WithBackslash(CString path) {
    if (path.IsEmpty() || path[path.GetLength() - 1] != '\\') path += "\\";
    return path;
}

CString WithoutBackslash(CString path) {
    while (path.GetLength() > 3 && path[path.GetLength() - 1] == '\\') path = path.Left(path.GetLength() - 1);
    return path;
}

// Starts a command line; FALSE when it cannot start.
BOOL StartProgram(const CString &commandLine, PROCESS_INFORMATION &process) {
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    memset(&process, 0, sizeof process);
    CString line = commandLine;
    LPSTR buffer = line.GetBuffer(line.GetLength() + 1);
    BOOL started = CreateProcessA(NULL, buffer, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process);
    line.ReleaseBuffer();
    return started;
}

// The full path without a trailing backslash (a drive root keeps its own),
// upper case for comparison; empty when it cannot be made.
CString FullFolderPath(LPCSTR lpszPath) {
    CString full = FullPath(lpszPath);
    if (full.IsEmpty()) return CString();
    CString folder = WithoutBackslash(full);
    folder.MakeUpper();
    return folder;
}

// TRUE when `folder` is `other` or holds it.
BOOL IsSameOrAncestor(const CString &folder, const CString &other) {
    if (folder.IsEmpty() || other.IsEmpty()) return FALSE;
    if (folder == other) return TRUE;
    CString prefix = WithBackslash(folder);
    return other.GetLength() > prefix.GetLength() && other.Left(prefix.GetLength()) == prefix;
}

}  // namespace

const tagOLD_OPTION *FindOldOption(int nCode) {
    for (const tagOLD_OPTION &option : kOldOptions)
        if (option.nCode == nCode) return &option;
    return NULL;
}

BOOL IsProtectedFolder(LPCSTR lpszPath) {
    if (!lpszPath || lstrlenA(lpszPath) < 3) return TRUE;
    // Only absolute paths: "C:\..." or "\\server\share\...".
    bool driveAbsolute = lpszPath[1] == ':' && (lpszPath[2] == '\\' || lpszPath[2] == '/');
    bool unc = lpszPath[0] == '\\' && lpszPath[1] == '\\';
    if (!driveAbsolute && !unc) return TRUE;
    CString folder = FullFolderPath(lpszPath);
    if (folder.IsEmpty() || folder.GetLength() <= 3) return TRUE;
    if (unc) {
        // "\\server\share" is the root of a network drive.
        int slashes = 0;
        for (int i = 2; i < folder.GetLength(); ++i)
            if (folder[i] == '\\') ++slashes;
        if (slashes < 2) return TRUE;
    }

    char windows[MAX_PATH + 1];
    memset(windows, 0, sizeof windows);
    char system[MAX_PATH + 1];
    memset(system, 0, sizeof system);
    // Without either folder there is no telling what a deletion would take
    // with it: nothing is given up then.
    UINT windowsChars = GetWindowsDirectoryA(windows, MAX_PATH);
    if (windowsChars == 0 || windowsChars >= MAX_PATH) return TRUE;
    UINT systemChars = GetSystemDirectoryA(system, MAX_PATH);
    if (systemChars == 0 || systemChars >= MAX_PATH) return TRUE;
    CString programFiles;
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        char value[MAX_PATH + 1];
        memset(value, 0, sizeof value);
        DWORD size = MAX_PATH;
        DWORD type = 0;
        if (RegQueryValueExA(key, "ProgramFilesDir", NULL, &type, reinterpret_cast<BYTE *>(value), &size) ==
                ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ))
            programFiles = value;
        RegCloseKey(key);
    }
    if (programFiles.IsEmpty()) {
        programFiles = CString(windows).Left(3) + "Program Files";
    }
    const CString guarded[] = {FullFolderPath(windows), FullFolderPath(system), FullFolderPath(programFiles)};
    for (const CString &other : guarded)
        if (other.IsEmpty() || IsSameOrAncestor(folder, other)) return TRUE;
    return FALSE;
}

int DeleteProcPreInstall(MSIHANDLE hInstall) {
    CRegistryConverter converter;
    CHarnRegistry registry(1, NULL);
    LogLine(hInstall, "DeleteProcPreInstall() - %s", "Started");
    CString home = registry.GetQuillbakHomeDir();
    if (home.IsEmpty()) {
        LogLine(hInstall, " - Quillbak %s", "NOT Exists");
        return 1;
    }
    LogLine(hInstall, " - ConvertProductsKey %s", "DONE");
    converter.ConvertOldProducts(HKEY_LOCAL_MACHINE, 0, 0);

    const int options[] = {35, 61, 33, 34, 46};
    for (int code : options) UninstallOldOption(code, hInstall);

    RemovePreviousProduct(hInstall);

    LogLine(hInstall, " - ConvertQuillbakKey %s", "DONE");
    converter.ConvertQuillbakKey(HKEY_LOCAL_MACHINE, 1, 0);
    converter.ConvertQuillbakKey(HKEY_CURRENT_USER, 1, 0);

    CHarnRegistry installed(1, NULL);
    if (g_Settings.ProductSubType() != (int)installed.GetQuillbakSubType())
        converter.ConvertVMOldProducts(HKEY_LOCAL_MACHINE, 0, 0);
    return 1;
}

int UninstallOldOption(int nCode, MSIHANDLE hInstall) {
    CString waitFormat = LoadMessage(57436).Left(125);
    if (nCode != 33 && nCode != 34 && nCode != 35 && nCode != 46 && nCode != 61) return 0;
    const tagOLD_OPTION *option = FindOldOption(nCode);
    CString title = LoadMessage(option->nTitle).Left(125);

    CHarnRegistry registry(1, NULL);
    CString entry = option->lpszUninstallEntry;
    // Read before the record moves aside.
    if (nCode == 35 && registry.GetVersionNumber(option->lpszEarlierKeyName) > 512) entry = kTapeLibraryEntry;
    if (!registry.SavePerviousRegisterProduct(option->lpszEarlierKeyName, 7, 0)) return 1;

    CString uninstall;
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, CString(kUninstallListKey) + entry, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char value[MAX_PATH + 1];
        memset(value, 0, sizeof value);
        DWORD size = MAX_PATH;
        DWORD type = 0;
        if (RegQueryValueExA(key, "UninstallString", NULL, &type, reinterpret_cast<BYTE *>(value), &size) ==
                ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ))
            uninstall = value;
        RegCloseKey(key);
    }

    if (!uninstall.IsEmpty()) {
        CString commandLine;
        commandLine.Format("%s -a", (LPCSTR)uninstall);
        PROCESS_INFORMATION process;
        if (!StartProgram(commandLine, process)) {
            LogLine(hInstall, "%s fail", commandLine);
            return 1;
        }
        CString waitText;
        waitText.Format(waitFormat, (LPCSTR)title);
        HWND wait = ShowWaitWindow(g_hInstance, NULL, waitText);
        CloseHandle(process.hThread);
        WaitForChildProgram(process.hProcess);
        CloseHandle(process.hProcess);
        if (wait) DestroyWindow(wait);
    }

    if (nCode == 33) CService::RemoveService("HBMNT");
    if (nCode == 35) DeleteFileA(CString(g_Settings.QuillbakPath()) + "OPTVER35.DLL");
    return 1;
}

int RemovePreviousProduct(MSIHANDLE hInstall) {
    LogLine(hInstall, "RemovePreviousProduct() - %s", "started");
    CHarnRegistry registry(1, NULL);
    CString home = registry.GetQuillbakHomeDir();
    if (home.IsEmpty()) return 1;
    LogLine(hInstall, " RemovePreviousProduct - %s", "Start");
    WORD build = registry.GetQuillbakBuildNumber();
    if (build >= 950) {
        CString text;
        text.Format("Quillbak build is %d", (int)build);
        LogLine(hInstall, " - %s", text);
        return 1;
    }

    const CService::ServiceType engines[] = {CService::MessageEngine, CService::JobEngine, CService::TapeEngine,
                                             CService::DatabaseEngine};
    for (CService::ServiceType type : engines) {
        CService service(type);
        if (service.IsStarted()) service.StopService(1, 0);
    }
    Sleep(1000);
    CService discovery(CService::DiscoveryService);
    if (discovery.IsStarted()) discovery.StopService(1, 0);
    Sleep(1000);

    DoRemoveComponents(hInstall);
    RemoveOldOptionRegistrations(hInstall);

    CHarnRegistry saver(1, NULL);
    if (saver.SavePerviousRegisterProduct("Quillbak", 7, 0)) return 0;

    tagProductStruct record;
    memset(&record, 0, sizeof record);
    if (g_Settings.QuillbakExists() && !CHarnRegistry::GetQuillbakProductInfo(&record)) {
        // The record an earlier release without one stands for: build 238, version 2.0.
        memset(&record, 0, sizeof record);
        record.dwProductCode = 25;
        record.dwComponents = 15;
        record.dwVersion = 0x00EE0200;
        record.bySubType = 2;
        record.dwUserLevel = 5;
        memcpy(record.szSerial, "00000001", 9);
        DWORD crc = CHarnRegistry::ProductRecordCrc(&record);
        memcpy(reinterpret_cast<BYTE *>(&record) + 29, &crc, sizeof crc);
        HKEY key = NULL;
        DWORD disposition = 0;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, CHarnRegistry::m_sDefaultQuillbakKey + "\\OldProducts", 0, NULL,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key, &disposition) == ERROR_SUCCESS) {
            RegSetValueExA(key, "Quillbak", 0, REG_BINARY, reinterpret_cast<const BYTE *>(&record), sizeof record);
            RegCloseKey(key);
        }
    }

    for (LPCSTR library : kOldRuntimeLibraries) DeleteFileA(CString(g_Settings.QuillbakPath()) + library);
    return 1;
}

int DoRemoveComponents(MSIHANDLE hInstall) {
    CString failed = LoadMessage(42).Left(255);
    LogLine(hInstall, "DoRemoveComponents() - %s", "started");
    const struct {
        UINT title;
        int code;
    } order[] = {{64, 65}, {67, 84}, {68, 88}, {61, 35}, {60, 61}, {62, 46},
                 {63, 33}, {65, 34}, {66, 52}, {69, 27}, {70, 96}};
    for (const auto &step : order) {
        if (UninstallOptionBySetup(hInstall, step.title, step.code)) continue;
        CString text;
        text.Format(failed, (LPCSTR)LoadMessage(step.title));
        LogLine(hInstall, "\t%s", text);
    }
    RemoveHsmFiles();
    return 1;
}

int UninstallOptionBySetup(MSIHANDLE hInstall, UINT nTitle, int nCode) {
    CString waitFormat = LoadMessage(57436).Left(63);
    CString title = LoadMessage(nTitle).Left(63);
    CString waitText;
    waitText.Format(waitFormat, (LPCSTR)title);
    const tagOLD_OPTION *option = FindOldOption(nCode);
    if (!option) return 0;
    CString dir = WithBackslash(RegisteredHome());
    CString program = dir + option->lpszUninstaller;
    if (nCode == 96) {
        HMODULE uninstaller = LoadLibraryA(program);
        if (!uninstaller) return 1;  // nothing to uninstall
        FreeLibrary(uninstaller);
    }

    CHarnRegistry registry(1, NULL);
    if (!registry.SavePerviousRegisterProduct(option->lpszKeyName, 7, 0)) return 0;

    char remembered[MAX_PATH + 1];
    memset(remembered, 0, sizeof remembered);
    GetCurrentDirectoryA(MAX_PATH, remembered);
    SetCurrentDirectoryA(dir);
    CString start;
    start.Format(" - Start to uninstall previous %s", option->lpszKeyName);
    LogLine(hInstall, "%s", start);

    // The program's path is quoted: the home directory may hold blanks.
    CString commandLine;
    if (registry.IsProductInstalled(option->lpszKeyName, 6, 6))
        commandLine.Format("\"%s\" %s", (LPCSTR)program, "-SMSUninstall");
    else
        commandLine.Format("\"%s\" %s -d%s", (LPCSTR)program, "-SMSUninstall", option->lpszSetupLibrary);

    PROCESS_INFORMATION process;
    if (!StartProgram(commandLine, process)) {
        LogLine(hInstall, "- Failed to launch %s", commandLine);
        SetCurrentDirectoryA(remembered);
        return 0;
    }
    HWND wait = ShowWaitWindow(g_hInstance, NULL, waitText);
    CloseHandle(process.hThread);
    DWORD exitCode = WaitForChildProgram(process.hProcess);
    CloseHandle(process.hProcess);
    Sleep(1000);
    if (wait) DestroyWindow(wait);
    SetCurrentDirectoryA(remembered);

    if (nCode == 33 && exitCode == 0) MsiSetMode(hInstall, MSIRUNMODE_REBOOTATEND, TRUE);
    return exitCode == 0 ? 1 : 0;
}

int RemoveHsmFiles() {
    CString home = RegisteredHome();
    // Without a home directory the names would point at the current drive's root.
    if (home.IsEmpty()) return 1;
    CString dir = WithBackslash(home);
    for (LPCSTR name : kHsmFiles) DeleteFileA(dir + name);
    for (LPCSTR name : kHsmFolders) {
        CString folder = dir + name;
        if (!folder.IsEmpty()) CComputer::DeleteTree(folder);
    }
    if (!CService::IsStarted("harnsaq")) CService::StartServiceA("harnsaq", TRUE);
    for (LPCSTR name : kHsmPrograms) DeleteFileA(dir + name);
    return 1;
}

int RemoveOldOptionRegistrations(MSIHANDLE hInstall) {
    if (!g_Settings.QuillbakExists()) return 1;
    tagProductStruct record;
    memset(&record, 0, sizeof record);
    if (CHarnRegistry::GetQuillbakProductInfo(&record) && HIWORD(record.dwVersion) >= 502) return 1;

    CString home = RegisteredHome();
    if (home.GetLength() >= 3 && !IsProtectedFolder(home)) {
        DWORD attributes = GetFileAttributesA(home);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            CComputer::DeleteTree(home);
    }

    const char *const options[] = {"ChangerOption", "RAIDOption", "ImageOption"};
    for (LPCSTR name : options) {
        CString path = CString("SOFTWARE\\Harnock\\") + name;
        CHarnRegistry::DeleteSubKeys(HKEY_LOCAL_MACHINE, path);
        HKEY parent = NULL;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Harnock", 0, KEY_ALL_ACCESS, &parent) == ERROR_SUCCESS) {
            RegDeleteKeyA(parent, name);
            RegCloseKey(parent);
        }
    }
    const char *const entries[] = {"Quillbak Changer Option", "Quillbak RAID Option", "Quillbak Image Option"};
    for (LPCSTR entry : entries) CHarnRegistry::DeleteUninstallKey(entry);

    CString group = LoadMessage(45).Left(63);
    if (!RemoveProgramGroup(group)) LogLine(hInstall, " Failed to remove Program Group - %s", group);
    return 1;
}

BOOL RemoveProgramGroup(LPCSTR lpszGroupName) {
    // The allocator first: without it the item list could not be freed.
    IMalloc *allocator = NULL;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator) return FALSE;
    LPITEMIDLIST items = NULL;
    if (FAILED(SHGetSpecialFolderLocation(NULL, CSIDL_PROGRAMS, &items)) || !items) {
        allocator->Release();
        return FALSE;
    }
    char folder[MAX_PATH + 1];
    memset(folder, 0, sizeof folder);
    BOOL got = SHGetPathFromIDListA(items, folder);
    allocator->Free(items);
    allocator->Release();
    if (!got || folder[0] == '\0') return FALSE;
    // A group name must name a folder below Programs, not Programs itself.
    if (!lpszGroupName || !*lpszGroupName) return FALSE;
    CString path;
    path.Format("%s\\%s", folder, lpszGroupName);
    return CComputer::DeleteTree(path);
}
