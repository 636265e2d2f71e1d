#include "ProtectedFolders.h"

#include "afxstr.h"

namespace {

// The full path without trailing backslashes; empty when it cannot be made.
CString FullFolder(LPCSTR path) {
    char full[MAX_PATH + 1];
    LPSTR filePart = NULL;
    DWORD n = GetFullPathNameA(path, sizeof full, full, &filePart);
    if (n == 0 || n >= sizeof full) return CString();
    CString text(full);
    while (text.GetLength() > 0 && text[text.GetLength() - 1] == '\\') text = text.Left(text.GetLength() - 1);
    return text;
}

BOOL SameFolder(const CString &full, LPCSTR other) {
    if (!other || !*other) return FALSE;
    CString folder = FullFolder(other);
    return !folder.IsEmpty() && lstrcmpiA(full, folder) == 0;
}

CString ProgramFilesRoot() {
    char root[MAX_PATH + 1] = "";
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        DWORD type = 0, size = MAX_PATH;
        if (RegQueryValueExA(key, "ProgramFilesDir", NULL, &type, (LPBYTE)root, &size) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            root[0] = '\0';
        root[MAX_PATH] = '\0';
        RegCloseKey(key);
    }
    return CString(root);
}

}  // namespace

BOOL IsProtectedFolder(LPCSTR lpszPath) {
    if (!lpszPath || !*lpszPath) return TRUE;
    // "C:" names the drive's current directory.
    if (lpszPath[1] == ':' && lpszPath[2] == '\0') return TRUE;
    CString full = FullFolder(lpszPath);
    if (full.GetLength() <= 2) return TRUE;  // unresolvable, "C:" or "\"
    if (full.Left(2) == "\\\\") {
        // "\\server\share" is the root of a share.
        int separators = 0;
        for (int i = 2; i < full.GetLength(); ++i)
            if (full[i] == '\\') ++separators;
        if (separators < 2) return TRUE;
    }
    char windows[MAX_PATH + 1] = "";
    UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
    if (n > 0 && n < MAX_PATH && SameFolder(full, windows)) return TRUE;
    char system[MAX_PATH + 1] = "";
    n = GetSystemDirectoryA(system, MAX_PATH);
    if (n > 0 && n < MAX_PATH && SameFolder(full, system)) return TRUE;
    return SameFolder(full, ProgramFilesRoot());
}
