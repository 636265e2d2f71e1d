// The product's interactive programs: whether one runs (by its
// single-instance mutex) and asking its windows to close.
#ifndef QL_APPLICATION_H
#define QL_APPLICATION_H

#include "QlApi.h"
#include "afxstr.h"

#include <windows.h>

// The private message the manager takes as its own request to shut down.
#define QL_MANAGER_SHUTDOWN_MESSAGE (WM_USER + 0x237)

class QL_API CApplication {
public:
    enum Application { Manager = 0, Admin = 1, CentralDBConfig = 2, Monitor = 3, DeviceConfig = 4 };

    static const CString QuillbakManagerMutex;          // "QuillbakManagerAppInstMutex"
    static const CString QuillbakManagerClass;          // "QuillbakManager"
    static const CString QuillbakAdminMutex;            // "QuillbakAdminAppInstMutex"
    static const CString QuillbakrAdminClass;           // "QuillbakAdmin"
    static const CString QuillbakCentralDBConfigMutex;  // "QLBCentralDBConfigAppInstMutex"
    static const CString QuillbakCentralDBConfigClass;  // "QLBCentralDBConfig"
    static const CString QuillbakMonitorMutex;          // "QLDM32Mutex"
    static const CString QuillbakMonitorClass;          // "QLDM32WClass"
    static const CString QuillbakDeviceConfigMutex;     // "QuillbakDeviceConfigurationMutex"
    static const CString QuillbakDeviceConfigClass;     // "Device Configuration"

    // Any other value leaves both names empty.
    explicit CApplication(Application application);
    CApplication(LPCSTR lpszWindowClass, LPCSTR lpszMutex);
    CApplication(const CApplication &other);
    CApplication &operator=(const CApplication &other);
    ~CApplication();

    CString GetClassNameA() const { return m_strWindowClass; }
    int IsRunning() const { return IsRunning(m_strMutex); }
    int CloseWindow() const { return CloseWindow(m_strWindowClass); }

    // TRUE while another process owns the named mutex.
    static int IsRunning(LPCSTR lpszMutex);
    // A top-level window of another process whose title contains the text
    // (case-sensitive), or NULL.
    static HWND FindWindowA(LPCSTR lpszTitle);
    // Hides the first window of the class and asks it to close without
    // waiting; FALSE when there is none or it could not be asked.
    static int CloseWindow(LPCSTR lpszWindowClass);
    // Asks every window whose title contains the text to close, until none is
    // left or a window still stands after QL_CLOSE_WINDOWS_LIMIT_MS; TRUE
    // when none is left (a search that fails is retried within the limit).
    static int CloseWindows(LPCSTR lpszTitle);

private:
    CString m_strWindowClass;
    CString m_strMutex;
};

// How long CloseWindows keeps asking windows that do not go away.
#define QL_CLOSE_WINDOWS_LIMIT_MS 10000
#define QL_CLOSE_WINDOWS_PAUSE_MS 250

#endif
