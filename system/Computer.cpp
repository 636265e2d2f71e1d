#include "Computer.h"

#include <cstring>

BOOL CComputer::IsWindows95(LPCSTR lpszMachine) {
    OSVERSIONINFOA vi;
    memset(&vi, 0, sizeof vi);
    vi.dwOSVersionInfoSize = sizeof vi;
    if (!GetVersionExA(&vi)) return FALSE;
    return vi.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

char CComputer::FindFirstHardDrive() {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        char root[4];
        root[0] = letter;
        root[1] = ':';
        root[2] = '\\';
        root[3] = '\0';
        if (GetDriveTypeA(root) == DRIVE_FIXED) return letter;
    }
    return 'Z';
}

// The file system's own existence test, so that the simulated machine sees it.
BOOL CComputer::PathExists(LPCSTR lpszPath) {
    if (!lpszPath || !*lpszPath) return FALSE;
    return GetFileAttributesA(lpszPath) != INVALID_FILE_ATTRIBUTES;
}

BOOL CComputer::PathEmpty(LPCSTR lpszDirectory, LPCSTR lpszPattern) {
    CString search(lpszDirectory ? lpszDirectory : "");
    int n = search.GetLength();
    if (n == 0 || search[n - 1] != '\\' || (n >= 2 && IsDBCSLeadByte((BYTE)search[n - 2]))) search += '\\';
    search += lpszPattern ? lpszPattern : "*.*";

    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA(search, &fd);
    if (find == INVALID_HANDLE_VALUE) return TRUE;
    BOOL empty = TRUE;
    for (;;) {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            empty = FALSE;
            break;
        }
        if (strcmp(fd.cFileName, ".") != 0 && strcmp(fd.cFileName, "..") != 0) {
            empty = FALSE;
            break;
        }
        if (!FindNextFileA(find, &fd)) break;
    }
    FindClose(find);
    return empty;
}
