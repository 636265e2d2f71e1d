#include "Log.h"

#include "SetupPaths.h"


#include <cstdio>
#include <cstring>

namespace {

const int kMaxLogMessage = 511;
const int kMaxStatusMessage = 255;

// Waits for another writer's lock on the end of the log: 100 tries, 50 ms apart.
const int kLockTries = 100;
const DWORD kLockWaitMs = 50;

// vsnprintf into a fixed buffer, always terminated, cut when longer.
void FormatInto(char *buffer, size_t size, LPCSTR format, va_list args) {
    if (!format) format = "";
    int n = vsnprintf(buffer, size, format, args);
    if (n < 0) buffer[0] = '\0';
    buffer[size - 1] = '\0';
}

// Locks the range that a line of `length` bytes will take at the end of the
// file and leaves the file pointer there. Another writer may append a whole
// line between our seek and our lock; the lock then succeeds at a stale
// offset, so the end is taken again once the lock is held and the lock moves
// with it. Writers that lock the true end overlap and so wait for each other.
BOOL LockEnd(HANDLE file, DWORD length, DWORD *end) {
    for (int i = 0;; ++i) {
        *end = SetFilePointer(file, 0, NULL, FILE_END);
        if (LockFile(file, *end, 0, length, 0)) {
            DWORD size = GetFileSize(file, NULL);
            if (size == *end || size == INVALID_FILE_SIZE) return TRUE;
            UnlockFile(file, *end, 0, length, 0);
            if (i >= kLockTries) break;
            continue;  // the end moved: lock the new one at once
        }
        if (GetLastError() != ERROR_LOCK_VIOLATION || i >= kLockTries) break;
        // Another writer holds the end: wait for its line to land.
        Sleep(kLockWaitMs);
    }
    // Could not lock: still append at the true end, as an unlocked write.
    *end = SetFilePointer(file, 0, NULL, FILE_END);
    return FALSE;
}

// A failed move leaves the pointer where it was, at the start of the file
// just opened: a line written there would overwrite the oldest lines.
BOOL AtEnd(DWORD end) { return end != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR; }

}  // namespace

CLog::CLog(LPCSTR lpszLogFile) : m_strLogFile(lpszLogFile ? lpszLogFile : "") {}
CLog::CLog(const CLog &other) : m_strLogFile(other.m_strLogFile) {}
CLog &CLog::operator=(const CLog &other) {
    m_strLogFile = other.m_strLogFile;
    return *this;
}
CLog::~CLog() {}

int CLog::Write(LPCSTR lpszFormat, ...) {
    char message[kMaxLogMessage + 1];
    va_list args;
    va_start(args, lpszFormat);
    FormatInto(message, sizeof message, lpszFormat, args);
    va_end(args);
    // Already formatted: a '%' in the text must reach the file as it is.
    return AppendLine(m_strLogFile, message);
}

int CLog::Write(LPCSTR lpszLogFile, LPCSTR lpszFormat, ...) {
    char message[kMaxLogMessage + 1];
    va_list args;
    va_start(args, lpszFormat);
    FormatInto(message, sizeof message, lpszFormat, args);
    va_end(args);
    return AppendLine(lpszLogFile, message);
}

int CLog::AppendLine(LPCSTR lpszLogFile, LPCSTR lpszMessage) {
    if (!lpszLogFile || !*lpszLogFile) return 0;
    SYSTEMTIME st;
    GetLocalTime(&st);
    char stamp[80];
    snprintf(stamp, sizeof stamp, "%02u/%02u/%02u %02u:%02u:%02u", (unsigned)st.wMonth, (unsigned)st.wDay,
             (unsigned)(st.wYear % 100), (unsigned)st.wHour, (unsigned)st.wMinute, (unsigned)st.wSecond);
    CString line;
    line.Format("%s\t%s\r\n", stamp, lpszMessage);

    HANDLE file = CreateFileA(lpszLogFile, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;

    const DWORD length = (DWORD)line.GetLength();
    DWORD end = 0;
    BOOL locked = LockEnd(file, length, &end);
    DWORD written = 0;
    BOOL ok = AtEnd(end) && WriteFile(file, (LPCSTR)line, length, &written, NULL);
    if (locked) UnlockFile(file, end, 0, length, 0);
    CloseHandle(file);
    return ok && written == length;
}

CRemoteMailslot::CRemoteMailslot(LPCSTR lpszServer) : m_strServer(lpszServer ? lpszServer : "") {}
CRemoteMailslot::CRemoteMailslot(const CRemoteMailslot &other) : m_strServer(other.m_strServer) {}
CRemoteMailslot &CRemoteMailslot::operator=(const CRemoteMailslot &other) {
    m_strServer = other.m_strServer;
    return *this;
}
CRemoteMailslot::~CRemoteMailslot() {}

int CRemoteMailslot::SendStatus(UINT nStage, UINT nState) { return SendStatus((LPCSTR)m_strServer, nStage, nState); }

int CRemoteMailslot::SendStatus(UINT nStage, UINT nState, LPCSTR lpszText) {
    return SendStatus((LPCSTR)m_strServer, nStage, nState, lpszText);
}

int CRemoteMailslot::SendStatus(LPCSTR lpszServer, UINT nStage, UINT nState) {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) name[0] = '\0';
    WORD code = GetSetupProductCode();
    char message[kMaxStatusMessage + 1];
    snprintf(message, sizeof message, "%s\\%d\\%d\\%ld", name, (int)nStage, (int)nState, (long)code);
    return Send(lpszServer, message);
}

int CRemoteMailslot::SendStatus(LPCSTR lpszServer, UINT nStage, UINT nState, LPCSTR lpszText) {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) name[0] = '\0';
    WORD code = GetSetupProductCode();
    char message[kMaxStatusMessage + 1];
    snprintf(message, sizeof message, "%s\\%d\\%d\\%s\\%ld", name, (int)nStage, (int)nState, lpszText ? lpszText : "",
             (long)code);
    return Send(lpszServer, message);
}

int CRemoteMailslot::Send(LPCSTR lpszServer, LPCSTR lpszMessage) {
    if (!lpszServer || !*lpszServer) return 0;
    CString path;
    path.Format("\\\\%s\\mailslot\\status", lpszServer);
    HANDLE slot = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (slot == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    BOOL ok = WriteFile(slot, lpszMessage, (DWORD)strlen(lpszMessage), &written, NULL);
    CloseHandle(slot);
    return ok;
}

// ---- setup product code ------------------------------------------------------
namespace {

struct ProductCodeRow {
    const char *setupLibrary;
    WORD code;
};

const ProductCodeRow kProductCodes[] = {
    {"QLSETGUI.DLL", 24}, {"OPTSET35.DLL", 35}, {"OPTSET61.DLL", 61}, {"OPTSET33.DLL", 33}, {"OPTSET34.DLL", 34},
    {"OPTSET46.DLL", 46}, {"OPTSET65.DLL", 65}, {"OPTSET27.DLL", 27}, {"OPTSET84.DLL", 84}, {"OPTSET52.DLL", 52},
    {"OPTSET96.DLL", 96}, {"OPTSET36.DLL", 36}, {"OPTSET62.DLL", 62}, {"OPTSET40.DLL", 40}, {"OPTSET58.DLL", 58},
    {"OPTSET81.DLL", 81}, {"OPTSET41.DLL", 41}, {"OPTSET38.DLL", 38}, {"OPTSET37.DLL", 37}, {"OPTSET60.DLL", 60},
    {"OPTSET59.DLL", 59}, {"OPTSET99.DLL", 99},
};

WORD g_setupProductCode = 0;

}  // namespace

WORD GetSetupProductCode() {
    if (g_setupProductCode) return g_setupProductCode;
    CString inf = RunningProgramFolder() + "QLBSetup.INF";

    char guiDll[256] = "";
    GetPrivateProfileStringA("ProductInfo", "GUIDLL", "", guiDll, sizeof guiDll, inf);
    if (!guiDll[0]) return 0;
    for (const ProductCodeRow &row : kProductCodes) {
        if (lstrcmpiA(guiDll, row.setupLibrary) == 0) {
            g_setupProductCode = row.code;
            break;
        }
    }
    return g_setupProductCode;
}

void ResetSetupProductCode() { g_setupProductCode = 0; }
