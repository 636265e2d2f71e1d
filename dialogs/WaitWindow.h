// The modeless "please wait" window that the custom actions put up during
// their long steps.
#ifndef QL_WAITWINDOW_H
#define QL_WAITWINDOW_H

#include "afxver.h"  // windows.h

// Creates the window from the library's template with `lpszText` as its
// message, shows it on top and returns it (null when it cannot be made).
// The caller ends it with DestroyWindow when the step is done.
HWND ShowWaitWindow(HINSTANCE hInstance, HWND hParent, LPCSTR lpszText);

// The window's dialog procedure.
INT_PTR CALLBACK WaitWindowProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

#endif
