// Path pieces the setup files are located by. Internal to the library.
#ifndef QL_SETUPPATHS_H
#define QL_SETUPPATHS_H

#include "afxstr.h"

// Drive and directory of a path, as the C runtime's path splitting gives
// them: "D:\SETUP\QLBSETUP.INF" -> "D:\SETUP\", "C:X.INF" -> "C:",
// "X.INF" -> "". Either slash ends a directory; the second byte of a
// double-byte character does not.
CString DriveAndDirectory(LPCSTR lpszPath);

// Drive and directory of the running program's executable, ending in a
// backslash (empty when the module name cannot be had).
CString RunningProgramFolder();

#endif
