#include "Computer.h"

#include "ShareSecurity.h"
#include "afxcombo.h"
#include "registry/BrandKit.h"

#include <lm.h>
#include <ntsecapi.h>

#include <cstdio>
#include <cstring>

namespace {

// LSA enumeration statuses (ntstatus.h is not included beside windows.h).
const NTSTATUS kStatusSuccess = 0;
const NTSTATUS kStatusMoreEntries = (NTSTATUS)0x00000105L;
const NTSTATUS kStatusNoMoreEntries = (NTSTATUS)0x8000001AL;

// Longest machine name handed to the network functions, in characters.
const int kMachineNameChars = 32;
// Longest share path, in characters.
const int kSharePathChars = 520;

// UTF-16 copy of an ANSI text for the network and security functions;
// FALSE when the text (with its NUL) does not fit in `chars` characters.
BOOL ToWide(LPCSTR text, WCHAR *out, int chars) {
    if (!text) return FALSE;
    return MultiByteToWideChar(CP_ACP, 0, text, -1, out, chars) > 0;
}

// The network functions' form of a machine argument: NULL for this machine.
BOOL MachineArgument(LPCSTR lpszMachine, WCHAR *buffer, LPWSTR *result) {
    *result = NULL;
    if (!lpszMachine || !*lpszMachine) return TRUE;
    if (!ToWide(lpszMachine, buffer, kMachineNameChars)) return FALSE;
    *result = buffer;
    return TRUE;
}

DWORD ServerType(LPCSTR lpszMachine) {
    WCHAR name[kMachineNameChars];
    LPWSTR server;
    if (!MachineArgument(lpszMachine, name, &server)) return 0;
    LPBYTE buffer = NULL;
    if (NetServerGetInfo(server, 101, &buffer) != NERR_Success) return 0;
    DWORD type = ((SERVER_INFO_101 *)buffer)->sv101_type;
    NetApiBufferFree(buffer);
    return type;
}

// Walks a path character by character (double-byte pairs whole): TRUE when
// its last character is a backslash.
BOOL EndsWithBackSlash(LPCSTR path) {
    BOOL last = FALSE;
    for (const char *p = path; *p;) {
        if (IsDBCSLeadByte((BYTE)*p) && p[1]) {
            last = FALSE;
            p += 2;
        } else {
            last = *p == '\\';
            ++p;
        }
    }
    return last;
}

CString WithBackSlash(LPCSTR path) {
    CString text(path);
    if (!EndsWithBackSlash(text)) text += '\\';
    return text;
}

// TRUE for a path that must never be swept: empty, unresolvable, or a drive
// or share root ("C:", "C:\", "\", "C:\WINNT\..", "\\server\share").
BOOL IsRootOrEmpty(LPCSTR path) {
    if (!path || !*path) return TRUE;
    // "C:" names the drive's current directory, not a folder of its own.
    if (path[1] == ':' && path[2] == '\0' && !IsDBCSLeadByte((BYTE)path[0])) return TRUE;
    char full[MAX_PATH + 1];
    LPSTR filePart = NULL;
    DWORD n = GetFullPathNameA(path, sizeof full, full, &filePart);
    if (n == 0 || n >= sizeof full) return TRUE;
    CString text(full);
    while (text.GetLength() > 0 && EndsWithBackSlash(text)) text = text.Left(text.GetLength() - 1);
    if (text.GetLength() <= 2) return TRUE;  // "C:" or nothing
    if (text.Left(2) == "\\\\") {
        // \\server\share is the root of a share.
        int separators = 0;
        for (int i = 2; i < text.GetLength(); ++i)
            if (text[i] == '\\') ++separators;
        return separators < 2;
    }
    return FALSE;
}

BOOL IsDotEntry(LPCSTR name) { return strcmp(name, ".") == 0 || strcmp(name, "..") == 0; }

// ---- trusted domains ----------------------------------------------------------------------
const DWORD kTrustListSize = 64;
LPWSTR *g_ppTrustList = NULL;
DWORD g_dwTrustCount = 0;

// Adds a heap copy of the name; names beyond the table's size are dropped.
BOOL AddTrustToList(const LSA_UNICODE_STRING &name) {
    if (g_dwTrustCount >= kTrustListSize) return TRUE;
    DWORD chars = name.Length / sizeof(WCHAR);
    LPWSTR copy = (LPWSTR)HeapAlloc(GetProcessHeap(), 0, (chars + 1) * sizeof(WCHAR));
    if (!copy) return FALSE;
    if (chars) memcpy(copy, name.Buffer, chars * sizeof(WCHAR));
    copy[chars] = 0;
    g_ppTrustList[g_dwTrustCount++] = copy;
    return TRUE;
}

BOOL OpenPolicy(LPWSTR lpszServer, LSA_HANDLE *policy) {
    LSA_OBJECT_ATTRIBUTES attributes;
    memset(&attributes, 0, sizeof attributes);
    LSA_UNICODE_STRING name;
    if (lpszServer) {
        size_t chars = 0;
        while (lpszServer[chars]) ++chars;
        name.Buffer = lpszServer;
        name.Length = (USHORT)(chars * sizeof(WCHAR));
        name.MaximumLength = (USHORT)((chars + 1) * sizeof(WCHAR));
    }
    NTSTATUS status =
        LsaOpenPolicy(lpszServer ? &name : NULL, &attributes, POLICY_VIEW_LOCAL_INFORMATION, policy);
    if (status != kStatusSuccess) {
        SetLastError(LsaNtStatusToWinError(status));
        return FALSE;
    }
    return TRUE;
}

BOOL EnumerateTrustedDomains(LSA_HANDLE policy) {
    LSA_ENUMERATION_HANDLE context = 0;
    for (;;) {
        PVOID buffer = NULL;
        ULONG count = 0;
        NTSTATUS status = LsaEnumerateTrustedDomains(policy, &context, &buffer, 32000, &count);
        if (status != kStatusSuccess && status != kStatusMoreEntries && status != kStatusNoMoreEntries) {
            SetLastError(LsaNtStatusToWinError(status));
            return FALSE;
        }
        LSA_TRUST_INFORMATION *trusts = (LSA_TRUST_INFORMATION *)buffer;
        for (ULONG i = 0; i < count; ++i) AddTrustToList(trusts[i].Name);
        if (buffer) LsaFreeMemory(buffer);
        // An answer that brings nothing new also ends the list.
        if (status == kStatusNoMoreEntries || count == 0) return TRUE;
    }
}

BOOL BuildTrustList(LPWSTR lpszServer) {
    LSA_HANDLE policy = NULL;
    if (!OpenPolicy(lpszServer, &policy)) return FALSE;

    BOOL ok = FALSE;
    PVOID buffer = NULL;
    NTSTATUS status = LsaQueryInformationPolicy(policy, PolicyAccountDomainInformation, &buffer);
    if (status != kStatusSuccess) {
        SetLastError(LsaNtStatusToWinError(status));
        LsaClose(policy);
        return FALSE;
    }
    AddTrustToList(((POLICY_ACCOUNT_DOMAIN_INFO *)buffer)->DomainName);
    LsaFreeMemory(buffer);

    LPBYTE info = NULL;
    BOOL controller = FALSE;
    if (NetServerGetInfo(lpszServer, 101, &info) == NERR_Success) {
        controller = (((SERVER_INFO_101 *)info)->sv101_type & (SV_TYPE_DOMAIN_CTRL | SV_TYPE_DOMAIN_BAKCTRL)) != 0;
        NetApiBufferFree(info);
    }

    if (controller) {
        ok = EnumerateTrustedDomains(policy);
    } else {
        buffer = NULL;
        status = LsaQueryInformationPolicy(policy, PolicyPrimaryDomainInformation, &buffer);
        if (status != kStatusSuccess) {
            SetLastError(LsaNtStatusToWinError(status));
        } else if (((POLICY_PRIMARY_DOMAIN_INFO *)buffer)->Sid == NULL) {
            ok = TRUE;  // a workgroup: nothing more to list
        } else {
            DWORD before = g_dwTrustCount;
            AddTrustToList(((POLICY_PRIMARY_DOMAIN_INFO *)buffer)->Name);
            LPCWSTR domain = g_dwTrustCount > before ? g_ppTrustList[g_dwTrustCount - 1] : NULL;
            LPBYTE dc = NULL;
            NET_API_STATUS netStatus = domain ? NetGetDCName(lpszServer, domain, &dc) : (NET_API_STATUS)NERR_DCNotFound;
            if (netStatus != NERR_Success) {
                SetLastError(netStatus);
            } else {
                LsaClose(policy);
                policy = NULL;
                if (OpenPolicy((LPWSTR)dc, &policy)) ok = EnumerateTrustedDomains(policy);
                NetApiBufferFree(dc);
            }
        }
        if (buffer) LsaFreeMemory(buffer);
    }
    if (policy) {
        DWORD error = GetLastError();
        LsaClose(policy);
        SetLastError(error);
    }
    return ok;
}

// The system's text for an error on standard error; network errors come
// from the network message table.
void DisplayWinError(DWORD error) {
    char *text = NULL;
    HMODULE netmsg = NULL;
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    if (error >= NERR_BASE && error <= MAX_NERR) {
        netmsg = LoadLibraryExA("netmsg.dll", NULL, LOAD_LIBRARY_AS_DATAFILE);
        if (netmsg) flags |= FORMAT_MESSAGE_FROM_HMODULE;
    }
    if (FormatMessageA(flags, netmsg, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&text, 0, NULL) && text) {
        fprintf(stderr, "%s", text);
        LocalFree(text);
    }
    if (netmsg) FreeLibrary(netmsg);
}

}  // namespace

// ---- construction ----------------------------------------------------------------------------
CComputer::CComputer()
    : m_bPrimaryDomainController(0), m_bBackupDomainController(0), m_bServer(0), m_bLocal(0), m_dwNTVersion(0) {
    Construct(NULL);
}

CComputer::CComputer(LPCSTR lpszMachine)
    : m_bPrimaryDomainController(0), m_bBackupDomainController(0), m_bServer(0), m_bLocal(0), m_dwNTVersion(0) {
    Construct(lpszMachine);
}

CComputer::CComputer(const CComputer &o)
    : m_strName(o.m_strName),
      m_strUnused(o.m_strUnused),
      m_strDomain(o.m_strDomain),
      m_bPrimaryDomainController(o.m_bPrimaryDomainController),
      m_bBackupDomainController(o.m_bBackupDomainController),
      m_bServer(o.m_bServer),
      m_bLocal(o.m_bLocal),
      m_dwNTVersion(o.m_dwNTVersion) {}

CComputer &CComputer::operator=(const CComputer &o) {
    m_strName = o.m_strName;
    m_strUnused = o.m_strUnused;
    m_strDomain = o.m_strDomain;
    m_bPrimaryDomainController = o.m_bPrimaryDomainController;
    m_bBackupDomainController = o.m_bBackupDomainController;
    m_bServer = o.m_bServer;
    m_bLocal = o.m_bLocal;
    m_dwNTVersion = o.m_dwNTVersion;
    return *this;
}

CComputer::~CComputer() {}

void CComputer::Construct(LPCSTR lpszMachine) {
    m_bLocal = IsLocalMachine(lpszMachine);
    char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof name;
    if (m_bLocal && CComputer::GetComputerNameA(name, &size))
        m_strName = name;
    else if (!m_bLocal)
        m_strName = lpszMachine;
    char domain[256];
    DWORD length = 0;
    if (GetDomain(domain, &length, m_strName)) m_strDomain = domain;
    m_bPrimaryDomainController = IsPrimaryDomainController(m_strName);
    m_bBackupDomainController = IsBackupDomainController(m_strName);
    m_bServer = IsServer(m_strName);
    m_dwNTVersion = GetNTVersion(m_strName);
}

// ---- machine facts ---------------------------------------------------------------------------
BOOL CComputer::GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize) { return ::GetComputerNameA(lpBuffer, nSize); }

BOOL CComputer::GetDomain(LPSTR lpszBuffer, DWORD *pdwLength, LPCSTR lpszMachine) {
    if (!lpszBuffer || !pdwLength) return FALSE;
    WCHAR name[kMachineNameChars];
    LPWSTR server;
    if (!MachineArgument(lpszMachine, name, &server)) return FALSE;
    LPBYTE buffer = NULL;
    if (NetWkstaGetInfo(server, 100, &buffer) != NERR_Success) return FALSE;
    int n = WideCharToMultiByte(CP_ACP, 0, ((WKSTA_INFO_100 *)buffer)->wki100_langroup, -1, lpszBuffer, 256, NULL,
                                NULL);
    NetApiBufferFree(buffer);
    if (n <= 0) {
        lpszBuffer[0] = '\0';
        return FALSE;
    }
    *pdwLength = (DWORD)strlen(lpszBuffer);
    return TRUE;
}

BOOL CComputer::IsPrimaryDomainController(LPCSTR lpszMachine) {
    return (ServerType(lpszMachine) & SV_TYPE_DOMAIN_CTRL) != 0;
}

BOOL CComputer::IsBackupDomainController(LPCSTR lpszMachine) {
    return (ServerType(lpszMachine) & SV_TYPE_DOMAIN_BAKCTRL) != 0;
}

BOOL CComputer::IsLocalMachine(LPCSTR lpszMachine) {
    if (!lpszMachine) return TRUE;
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name;
    if (!CComputer::GetComputerNameA(name, &size)) return FALSE;
    return lstrcmpiA(name, lpszMachine) == 0;
}

DWORD CComputer::GetNTVersion(LPCSTR lpszMachine) {
    OSVERSIONINFOA vi;
    memset(&vi, 0, sizeof vi);
    vi.dwOSVersionInfoSize = sizeof vi;
    if (!GetVersionExA(&vi)) return 0;
    return vi.dwMajorVersion;
}

BOOL CComputer::IsNT4xOrLater(LPCSTR lpszMachine) { return GetNTVersion(lpszMachine) > 3; }

BOOL CComputer::IsServer(LPCSTR lpszMachine) {
    HKEY remote = NULL;
    HKEY root = HKEY_LOCAL_MACHINE;
    if (lpszMachine && *lpszMachine && RegConnectRegistryA(lpszMachine, HKEY_LOCAL_MACHINE, &remote) == ERROR_SUCCESS)
        root = remote;
    BOOL server = FALSE;
    HKEY key;
    if (RegOpenKeyExA(root, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char type[256];
        DWORD valueType = 0, size = sizeof type - 1;
        if (RegQueryValueExA(key, "ProductType", NULL, &valueType, (LPBYTE)type, &size) == ERROR_SUCCESS &&
            (valueType == REG_SZ || valueType == REG_EXPAND_SZ)) {
            type[size < sizeof type ? size : sizeof type - 1] = '\0';
            server = lstrcmpiA(type, "LANMANNT") == 0 || lstrcmpiA(type, "SERVERNT") == 0;
        }
        RegCloseKey(key);
    }
    if (remote) RegCloseKey(remote);
    return server;
}

BOOL CComputer::IsWindows95(LPCSTR lpszMachine) {
    OSVERSIONINFOA vi;
    memset(&vi, 0, sizeof vi);
    vi.dwOSVersionInfoSize = sizeof vi;
    if (!GetVersionExA(&vi)) return FALSE;
    return vi.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

int CComputer::IsWindowsVersionOK(DWORD dwValue1, DWORD dwValue2, DWORD dwValue3) {
    HMODULE lib = LoadLibraryA(BKT_LIBRARY_NAME);
    if (!lib) return FALSE;
    int result = FALSE;
    PFN_BKT_IS_WINDOWS_VERSION_OK fn = reinterpret_cast<PFN_BKT_IS_WINDOWS_VERSION_OK>(
        reinterpret_cast<void *>(GetProcAddress(lib, BKT_IS_WINDOWS_VERSION_OK)));
    if (fn) result = fn(dwValue1, dwValue2, dwValue3);
    FreeLibrary(lib);
    return result;
}

// ---- drives ----------------------------------------------------------------------------------
char CComputer::FindFirstHardDrive() {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        char root[8];
        wsprintfA(root, "%c:\\", letter);
        if (::GetDriveTypeA(root) == DRIVE_FIXED) return letter;
    }
    return 'Z';
}

namespace {
// "X:\" for a path that starts with a drive, "\" (the current drive) otherwise.
CString DriveRoot(LPCSTR lpszPath) {
    CString root;
    if (lpszPath && lpszPath[0] && lpszPath[1] == ':' && !IsDBCSLeadByte((BYTE)lpszPath[0]))
        root = CString(lpszPath).Left(2);
    root += '\\';
    return root;
}
}  // namespace

DWORD CComputer::DriveFreeSpaceBytes(LPCSTR lpszPath) {
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(DriveRoot(lpszPath), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        return 0;
    ULONGLONG bytes = (ULONGLONG)freeClusters * sectorsPerCluster * bytesPerSector;
    return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : (DWORD)bytes;
}

UINT CComputer::GetDriveTypeA(LPCSTR lpszPath) { return ::GetDriveTypeA(DriveRoot(lpszPath)); }

// ---- directories and files -------------------------------------------------------------------
BOOL CComputer::DirectoryExists(LPCSTR lpszDirectory) {
    if (!lpszDirectory) return FALSE;
    CString search;
    search.Format("%s\\*.*", lpszDirectory);
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA(search, &fd);
    if (find == INVALID_HANDLE_VALUE) return FALSE;
    FindClose(find);
    return TRUE;
}

BOOL CComputer::CreateDirectoryA(LPCSTR lpszPath, int nUnused) {
    if (!lpszPath || !*lpszPath) return FALSE;
    CString path = WithBackSlash(lpszPath);
    const char *p = path;
    char previous = '\0';
    for (int i = 0; p[i];) {
        if (IsDBCSLeadByte((BYTE)p[i]) && p[i + 1]) {
            previous = p[i + 1];
            i += 2;
            continue;
        }
        // A backslash after a colon ends a drive ("C:\"), which is never created.
        if (i > 0 && p[i] == '\\' && previous != ':') {
            CString prefix = path.Left(i);
            if (!DirectoryExists(prefix) && !::CreateDirectoryA(prefix, NULL)) return FALSE;
        }
        previous = p[i];
        ++i;
    }
    return TRUE;
}

BOOL CComputer::ChangeDirectory(LPCSTR lpszPath) { return lpszPath && SetCurrentDirectoryA(lpszPath); }

BOOL CComputer::RemoveDirectoryA(LPCSTR lpszPath) { return lpszPath && ::RemoveDirectoryA(lpszPath); }

BOOL CComputer::DeleteTree(LPCSTR lpszDirectory) {
    if (IsRootOrEmpty(lpszDirectory)) return FALSE;
    BOOL result = TRUE;
    // Each entry's path is the folder's and its name (no formatting per entry:
    // a tree may hold many thousands).
    const CString prefix = CString(lpszDirectory) + '\\';
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA(prefix + "*.*", &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const CString entry = prefix + fd.cFileName;
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                if (!DeleteFileA(entry)) result = FALSE;
            } else if (!IsDotEntry(fd.cFileName)) {
                if (!DeleteTree(entry)) result = FALSE;
            }
        } while (FindNextFileA(find, &fd));
        FindClose(find);
    }
    if (!::RemoveDirectoryA(lpszDirectory)) result = FALSE;
    return result;
}

BOOL CComputer::DeleteFiles(LPCSTR lpszDirectory, LPCSTR lpszPattern) {
    if (IsRootOrEmpty(lpszDirectory) || !lpszPattern) return FALSE;
    CString directory = WithBackSlash(lpszDirectory);
    CString search;
    search.Format("%s%s", (LPCSTR)directory, lpszPattern);
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA(search, &fd);
    if (find == INVALID_HANDLE_VALUE) return TRUE;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA(directory + fd.cFileName);
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    return TRUE;
}

// The file system's own existence test, so that the simulated machine sees it.
BOOL CComputer::PathExists(LPCSTR lpszPath) {
    if (!lpszPath || !*lpszPath) return FALSE;
    return GetFileAttributesA(lpszPath) != INVALID_FILE_ATTRIBUTES;
}

BOOL CComputer::PathEmpty(LPCSTR lpszDirectory, LPCSTR lpszPattern) {
    CString search = WithBackSlash(lpszDirectory ? lpszDirectory : "");
    search += lpszPattern ? lpszPattern : "*.*";

    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA(search, &fd);
    if (find == INVALID_HANDLE_VALUE) return TRUE;
    BOOL empty = TRUE;
    for (;;) {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsDotEntry(fd.cFileName)) {
            empty = FALSE;
            break;
        }
        if (!FindNextFileA(find, &fd)) break;
    }
    FindClose(find);
    return empty;
}

// ---- the home share --------------------------------------------------------------------------
BOOL CComputer::CreateQuillbakHomeShare(LPCSTR lpszPath, LPCSTR lpszSystem, LPCSTR lpszAccount) {
    if (!lpszPath || !*lpszPath) return FALSE;
    CShareSecurity security;
    CString path(lpszPath);
    if (EndsWithBackSlash(path)) path = path.Left(path.GetLength() - 1);
    WCHAR widePath[kSharePathChars];
    WCHAR shareName[32], remark[64];
    if (!ToWide(path, widePath, kSharePathChars) || !ToWide(QL_HOME_SHARE_NAME, shareName, 32) ||
        !ToWide(QL_HOME_SHARE_REMARK, remark, 64))
        return FALSE;

    // Already shared for this directory: nothing to change.
    LPBYTE buffer = NULL;
    if (NetShareGetInfo(NULL, shareName, 2, &buffer) == NERR_Success) {
        char existing[MAX_PATH * 2];
        int n = WideCharToMultiByte(CP_ACP, 0, ((SHARE_INFO_2 *)buffer)->shi2_path, -1, existing, sizeof existing,
                                    NULL, NULL);
        NetApiBufferFree(buffer);
        if (n > 0 && lstrcmpiA(existing, path) == 0) return TRUE;
    }

    NetShareDel(NULL, shareName, 0);
    if (!security.CreateShare(shareName, widePath, remark, NULL, FALSE)) return FALSE;

    BOOL failed = FALSE;
    if (lpszAccount && *lpszAccount && !security.AddEntry(lpszSystem, lpszAccount, QL_SHARE_FULL)) failed = TRUE;

    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID everyone = NULL, administrators = NULL, backupOperators = NULL;
    if (!AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone) ||
        !AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                  0, 0, &administrators) ||
        !AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_BACKUP_OPS, 0, 0, 0,
                                  0, 0, 0, &backupOperators)) {
        failed = TRUE;
    } else {
        // Found by SID, so the language of the system does not matter. An
        // entry with no rights left behind is not the list meant either.
        if (!security.RemoveEntry(everyone)) failed = TRUE;
        if (!security.AddEntry(administrators, QL_SHARE_FULL)) failed = TRUE;
        if (!security.AddEntry(backupOperators, QL_SHARE_CHANGE)) failed = TRUE;
        if (!security.AddEntry(everyone, QL_SHARE_READ)) failed = TRUE;
    }
    if (everyone) FreeSid(everyone);
    if (administrators) FreeSid(administrators);
    if (backupOperators) FreeSid(backupOperators);

    // Without its full list the share keeps the descriptor it was created
    // with, whose only entry gives Everyone no rights.
    if (failed) return FALSE;
    SHARE_INFO_1501 info;
    info.shi1501_reserved = 0;
    info.shi1501_security_descriptor = security.PrivateDescriptor();
    return NetShareSetInfo(NULL, shareName, 1501, (LPBYTE)&info, NULL) == NERR_Success;
}

DWORD CComputer::DeleteQuillbakHomeShare() {
    WCHAR shareName[32];
    if (!ToWide(QL_HOME_SHARE_NAME, shareName, 32)) return ERROR_INVALID_PARAMETER;
    return NetShareDel(NULL, shareName, 0);
}

// ---- trusted domains -------------------------------------------------------------------------
int CComputer::DisplayTrustedDomains(LPWSTR lpszServer, CComboBox *pComboBox) {
    g_dwTrustCount = 0;
    g_ppTrustList = (LPWSTR *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kTrustListSize * sizeof(LPWSTR));
    if (!g_ppTrustList) {
        printf("HeapAlloc error!\n");
        return ERROR_INVALID_DATA;
    }
    if (!BuildTrustList(lpszServer)) {
        DWORD error = GetLastError();
        printf("%s error! (rc=%lu)\n", "BuildTrustList", (unsigned long)error);
        DisplayWinError(error);
    } else {
        for (DWORD i = 0; i < g_dwTrustCount; ++i) {
            char name[256];
            if (WideCharToMultiByte(CP_ACP, 0, g_ppTrustList[i], -1, name, sizeof name, NULL, NULL) > 0 && pComboBox)
                pComboBox->AddString(name);
        }
    }
    for (DWORD i = 0; i < g_dwTrustCount; ++i) HeapFree(GetProcessHeap(), 0, g_ppTrustList[i]);
    HeapFree(GetProcessHeap(), 0, g_ppTrustList);
    g_ppTrustList = NULL;
    g_dwTrustCount = 0;
    return 0;
}
