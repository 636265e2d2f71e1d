// Facts about a machine and the file-system chores of setup.
#ifndef QL_COMPUTER_H
#define QL_COMPUTER_H

#include "QlApi.h"
#include "afxstr.h"

class QL_API CComputer {
public:
    // TRUE when setup runs on the Windows 95 family (the machine argument is
    // accepted for symmetry; the answer is this machine's).
    static BOOL IsWindows95(LPCSTR lpszMachine = NULL);
    // Letter of the first fixed drive from A to Z; 'Z' when none is fixed.
    static char FindFirstHardDrive();
    // TRUE when the path names an existing file or directory.
    static BOOL PathExists(LPCSTR lpszPath);
    // TRUE when no entry but "." and ".." matches directory + pattern
    // ("*.*" when the pattern is null).
    static BOOL PathEmpty(LPCSTR lpszDirectory, LPCSTR lpszPattern);
};

#endif
