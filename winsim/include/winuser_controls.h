/* Windows of the standard control classes that code fills without a dialog
   on screen: combo boxes, which keep the strings added to them. */
#ifndef WINSIM_WINUSER_CONTROLS_H
#define WINSIM_WINUSER_CONTROLS_H

#include "winsim_types.h"

#define CB_ERR (-1)
#define CB_ERRSPACE (-2)
#define CB_ADDSTRING 0x0143
#define CB_DELETESTRING 0x0144
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_GETLBTEXT 0x0148
#define CB_GETLBTEXTLEN 0x0149
#define CB_INSERTSTRING 0x014A
#define CB_RESETCONTENT 0x014B
#define CB_FINDSTRINGEXACT 0x0158
#define CB_SETCURSEL 0x014E

#define CBS_SIMPLE 0x0001L
#define CBS_DROPDOWN 0x0002L
#define CBS_DROPDOWNLIST 0x0003L
#define CBS_SORT 0x0100L

#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_VSCROLL 0x00200000L
#define WS_TABSTOP 0x00010000L

#define HWND_MESSAGE ((HWND)(LONG_PTR)-3)

#ifdef __cplusplus
extern "C" {
#endif
__attribute__((visibility("default"))) HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName,
                                                                   LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                                                                   int nWidth, int nHeight, HWND hWndParent,
                                                                   HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam);
__attribute__((visibility("default"))) BOOL WINAPI DestroyWindow(HWND hWnd);
__attribute__((visibility("default"))) LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam,
                                                                   LPARAM lParam);
__attribute__((visibility("default"))) BOOL WINAPI IsWindow(HWND hWnd);
#ifdef __cplusplus
}
#endif

#define CreateWindowEx CreateWindowExA
#define SendMessage SendMessageA

#endif
