// Folders that the clean-up steps of setup must never sweep, whatever the
// registry or the settings name as the product's home.
#ifndef QL_PROTECTEDFOLDERS_H
#define QL_PROTECTEDFOLDERS_H

#include <windows.h>

// TRUE for an empty path, a drive or share root, the Windows folder, its
// system folder and the Program Files root (any letter case, with or
// without a trailing backslash, after "." and ".." are resolved).
BOOL IsProtectedFolder(LPCSTR lpszPath);

#endif
