#include "Application.h"

#include <string.h>

#include <algorithm>
#include <vector>

const CString CApplication::QuillbakManagerMutex("QuillbakManagerAppInstMutex");
const CString CApplication::QuillbakManagerClass("QuillbakManager");
const CString CApplication::QuillbakAdminMutex("QuillbakAdminAppInstMutex");
const CString CApplication::QuillbakrAdminClass("QuillbakAdmin");
const CString CApplication::QuillbakCentralDBConfigMutex("QLBCentralDBConfigAppInstMutex");
const CString CApplication::QuillbakCentralDBConfigClass("QLBCentralDBConfig");
const CString CApplication::QuillbakMonitorMutex("QLDM32Mutex");
const CString CApplication::QuillbakMonitorClass("QLDM32WClass");
const CString CApplication::QuillbakDeviceConfigMutex("QuillbakDeviceConfigurationMutex");
const CString CApplication::QuillbakDeviceConfigClass("Device Configuration");

CApplication::CApplication(Application application) {
    switch (application) {
    case Manager:
        m_strWindowClass = QuillbakManagerClass;
        m_strMutex = QuillbakManagerMutex;
        break;
    case Admin:
        m_strWindowClass = QuillbakrAdminClass;
        m_strMutex = QuillbakAdminMutex;
        break;
    case CentralDBConfig:
        m_strWindowClass = QuillbakCentralDBConfigClass;
        m_strMutex = QuillbakCentralDBConfigMutex;
        break;
    case Monitor:
        m_strWindowClass = QuillbakMonitorClass;
        m_strMutex = QuillbakMonitorMutex;
        break;
    case DeviceConfig:
        m_strWindowClass = QuillbakDeviceConfigClass;
        m_strMutex = QuillbakDeviceConfigMutex;
        break;
    }
}

CApplication::CApplication(LPCSTR lpszWindowClass, LPCSTR lpszMutex)
    : m_strWindowClass(lpszWindowClass ? lpszWindowClass : ""), m_strMutex(lpszMutex ? lpszMutex : "") {}

CApplication::CApplication(const CApplication &other)
    : m_strWindowClass(other.m_strWindowClass), m_strMutex(other.m_strMutex) {}

CApplication &CApplication::operator=(const CApplication &other) {
    m_strWindowClass = other.m_strWindowClass;
    m_strMutex = other.m_strMutex;
    return *this;
}

CApplication::~CApplication() {}

int CApplication::IsRunning(LPCSTR lpszMutex) {
    if (!lpszMutex || !*lpszMutex) return FALSE;
    HANDLE mutex = CreateMutexA(NULL, TRUE, lpszMutex);
    if (!mutex) return FALSE;
    // Ownership from the creation only when the mutex is new.
    BOOL createdOwned = GetLastError() != ERROR_ALREADY_EXISTS;
    DWORD wait = WaitForSingleObject(mutex, 0);
    // An abandoned mutex is ours now: its program is gone.
    BOOL acquired = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    // Give back every ownership taken here, so that a program starting
    // meanwhile never finds the mutex held by setup.
    if (acquired) ReleaseMutex(mutex);
    if (createdOwned) ReleaseMutex(mutex);
    CloseHandle(mutex);
    return acquired ? FALSE : TRUE;
}

namespace {

struct WindowSearch {
    LPCSTR text;
    size_t length;
    HWND found;
    const std::vector<HWND> *skip;  // windows already asked, or null
};

// Whether the title holds the text, comparing only at character starts.
bool TitleContains(LPCSTR title, LPCSTR text, size_t length) {
    for (LPCSTR p = title; *p; p = CharNextA(p))
        if (strncmp(p, text, length) == 0) return true;
    return false;
}

BOOL CALLBACK MatchTitle(HWND hwnd, LPARAM lParam) {
    WindowSearch *search = reinterpret_cast<WindowSearch *>(lParam);
    if (!IsWindow(hwnd)) return TRUE;
    // The windows of this process (the setup's own) are never targets.
    // A window whose owner cannot be told (it went meanwhile) might be one of
    // them, so it is left alone.
    DWORD owner = 0;
    if (!GetWindowThreadProcessId(hwnd, &owner) || owner == GetCurrentProcessId()) return TRUE;
    if (search->skip && std::find(search->skip->begin(), search->skip->end(), hwnd) != search->skip->end())
        return TRUE;
    char title[256];
    memset(title, 0, sizeof title);
    GetWindowTextA(hwnd, title, sizeof title);
    title[sizeof title - 1] = '\0';
    if (!TitleContains(title, search->text, search->length)) return TRUE;
    search->found = hwnd;
    return FALSE;
}

// `failed` (when given) tells a search that could not look at the windows
// from one that found none.
HWND FindTitle(LPCSTR lpszTitle, const std::vector<HWND> *skip, bool *failed = NULL) {
    if (failed) *failed = false;
    if (!lpszTitle || !*lpszTitle) return NULL;
    WindowSearch search = {lpszTitle, strlen(lpszTitle), NULL, skip};
    // The enumeration also reports FALSE when the callback stops it at a find.
    if (!EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search)) && !search.found && failed) *failed = true;
    return search.found;
}

// Hides the window and asks it to close. A window that cannot be asked is
// shown again if it was visible: a running program must not be left
// invisible with nobody asking it to go.
BOOL HideAndPost(HWND window, UINT message) {
    BOOL wasVisible = ShowWindow(window, SW_HIDE);
    if (PostMessageA(window, message, 0, 0)) return TRUE;
    DWORD error = GetLastError();
    if (wasVisible) ShowWindow(window, SW_SHOW);
    SetLastError(error);
    return FALSE;
}

}  // namespace

HWND CApplication::FindWindowA(LPCSTR lpszTitle) { return FindTitle(lpszTitle, NULL); }

int CApplication::CloseWindow(LPCSTR lpszWindowClass) {
    if (!lpszWindowClass || !*lpszWindowClass) return FALSE;
    HWND window = ::FindWindowA(lpszWindowClass, NULL);
    if (!window) return FALSE;
    UINT message = strcmp(lpszWindowClass, "QuillbakManager") == 0 ? QL_MANAGER_SHUTDOWN_MESSAGE : WM_CLOSE;
    // TRUE only when the window was really asked.
    return HideAndPost(window, message);
}

int CApplication::CloseWindows(LPCSTR lpszTitle) {
    const DWORD start = GetTickCount();
    std::vector<HWND> asked;
    for (;;) {
        // Every matching window is asked once a round, so that one that stays
        // does not keep the others from being asked.
        bool failed = false;
        if (HWND window = FindTitle(lpszTitle, &asked, &failed)) {
            // One that could not be asked is asked again in the next round.
            HideAndPost(window, WM_CLOSE);
            asked.push_back(window);
            continue;
        }
        // "None left" only from a search that could look at the windows.
        if (!failed && !FindTitle(lpszTitle, NULL, &failed) && !failed) return TRUE;
        // What is left gets time to go, within the limit, then is asked again.
        if (GetTickCount() - start >= QL_CLOSE_WINDOWS_LIMIT_MS) return FALSE;
        Sleep(QL_CLOSE_WINDOWS_PAUSE_MS);
        asked.clear();
    }
}
