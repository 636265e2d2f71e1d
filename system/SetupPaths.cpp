#include "SetupPaths.h"

CString DriveAndDirectory(LPCSTR lpszPath) {
    if (!lpszPath) return CString();
    int end = 0;  // one past the last separator, or past the drive
    if (lpszPath[0] && lpszPath[1] == ':') end = 2;
    for (int i = 0; lpszPath[i]; ++i) {
        if (IsDBCSLeadByte((BYTE)lpszPath[i])) {
            if (!lpszPath[i + 1]) break;
            ++i;
            continue;
        }
        if (lpszPath[i] == '\\' || lpszPath[i] == '/') end = i + 1;
    }
    return CString(lpszPath, end);
}

CString RunningProgramFolder() {
    char path[MAX_PATH + 1];
    // A name that fills the buffer was cut (NT leaves it unterminated): its
    // folder would be some other folder, so there is none.
    DWORD n = GetModuleFileNameA(NULL, path, sizeof path);
    if (n == 0 || n >= sizeof path) return CString();
    path[n] = '\0';
    return DriveAndDirectory(path);
}
