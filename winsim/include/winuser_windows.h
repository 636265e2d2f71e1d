/* Top-level windows of the programs on the machine: finding them, their
   class, title and owner, and the close request. */
#ifndef WINSIM_WINUSER_WINDOWS_H
#define WINSIM_WINUSER_WINDOWS_H

#include "winsim_types.h"

#define WM_CLOSE 0x0010

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOW 5

typedef BOOL(CALLBACK *WNDENUMPROC)(HWND, LPARAM);

#ifdef __cplusplus
extern "C" {
#endif
__attribute__((visibility("default"))) HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName);
__attribute__((visibility("default"))) int WINAPI GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount);
__attribute__((visibility("default"))) int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount);
__attribute__((visibility("default"))) DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId);
__attribute__((visibility("default"))) BOOL WINAPI EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam);
__attribute__((visibility("default"))) BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow);
#ifdef __cplusplus
}
#endif

#define FindWindow FindWindowA
#define GetClassName GetClassNameA
#define GetWindowText GetWindowTextA

#endif
