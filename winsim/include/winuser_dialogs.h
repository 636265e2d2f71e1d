/* Dialog boxes built from the dialog templates of a module's resources, and
   the standard controls in them (buttons, edits, statics, combo boxes):
   creation, messages to the dialog procedure, controls by id, focus, position. */
#ifndef WINSIM_WINUSER_DIALOGS_H
#define WINSIM_WINUSER_DIALOGS_H

#include "winsim_types.h"

typedef INT_PTR(CALLBACK *DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#ifndef MAKELONG
#define MAKELONG(a, b) ((LONG)(((WORD)((DWORD_PTR)(a) & 0xffff)) | ((DWORD)((WORD)((DWORD_PTR)(b) & 0xffff))) << 16))
#endif

/* Messages. */
#define WM_DESTROY 0x0002
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_SHOWWINDOW 0x0018
#define WM_SETFONT 0x0030
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202

/* Notification codes (high word of WM_COMMAND's wParam). */
#define BN_CLICKED 0
#define EN_SETFOCUS 0x0100
#define EN_KILLFOCUS 0x0200
#define EN_CHANGE 0x0300
#define EN_UPDATE 0x0400
#define EN_MAXTEXT 0x0501
#define CBN_SELCHANGE 1
#define CBN_SETFOCUS 3
#define CBN_KILLFOCUS 4
#define CBN_SELENDOK 9

/* Control messages. */
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_CLICK 0x00F5
#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001
#define BST_INDETERMINATE 0x0002
#define EM_LIMITTEXT 0x00C5
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EM_GETLIMITTEXT 0x00D5
#define CB_LIMITTEXT 0x0141
#define CB_FINDSTRING 0x014C
#define CB_SELECTSTRING 0x014D

/* Window styles. */
#define WS_OVERLAPPED 0x00000000L
#define WS_MINIMIZE 0x20000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_EX_DLGMODALFRAME 0x00000001L
#define WS_EX_NOPARENTNOTIFY 0x00000004L
#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_TRANSPARENT 0x00000020L
#define WS_EX_TOOLWINDOW 0x00000080L
#define WS_EX_CLIENTEDGE 0x00000200L
#define WS_EX_CONTROLPARENT 0x00010000L
#define WS_EX_STATICEDGE 0x00020000L

/* Dialog styles. */
#define DS_ABSALIGN 0x0001L
#define DS_SYSMODAL 0x0002L
#define DS_3DLOOK 0x0004L
#define DS_FIXEDSYS 0x0008L
#define DS_NOFAILCREATE 0x0010L
#define DS_LOCALEDIT 0x0020L
#define DS_SETFONT 0x0040L
#define DS_MODALFRAME 0x0080L
#define DS_NOIDLEMSG 0x0100L
#define DS_SETFOREGROUND 0x0200L
#define DS_CONTROL 0x0400L
#define DS_CENTER 0x0800L
#define DS_CENTERMOUSE 0x1000L
#define DS_CONTEXTHELP 0x2000L
#define DS_SHELLFONT (DS_SETFONT | DS_FIXEDSYS)

/* Control styles. */
#define ES_LEFT 0x0000L
#define ES_CENTER 0x0001L
#define ES_RIGHT 0x0002L
#define ES_MULTILINE 0x0004L
#define ES_UPPERCASE 0x0008L
#define ES_LOWERCASE 0x0010L
#define ES_PASSWORD 0x0020L
#define ES_AUTOVSCROLL 0x0040L
#define ES_AUTOHSCROLL 0x0080L
#define ES_NOHIDESEL 0x0100L
#define ES_OEMCONVERT 0x0400L
#define ES_READONLY 0x0800L
#define ES_WANTRETURN 0x1000L
#define ES_NUMBER 0x2000L
#define BS_PUSHBUTTON 0x0000L
#define BS_DEFPUSHBUTTON 0x0001L
#define BS_CHECKBOX 0x0002L
#define BS_AUTOCHECKBOX 0x0003L
#define BS_RADIOBUTTON 0x0004L
#define BS_3STATE 0x0005L
#define BS_AUTO3STATE 0x0006L
#define BS_GROUPBOX 0x0007L
#define BS_USERBUTTON 0x0008L
#define BS_AUTORADIOBUTTON 0x0009L
#define BS_PUSHBOX 0x000AL
#define BS_OWNERDRAW 0x000BL
#define BS_TYPEMASK 0x000FL
#define BS_LEFTTEXT 0x0020L
#define BS_ICON 0x0040L
#define BS_BITMAP 0x0080L
#define BS_LEFT 0x0100L
#define BS_RIGHT 0x0200L
#define BS_CENTER 0x0300L
#define BS_TOP 0x0400L
#define BS_BOTTOM 0x0800L
#define BS_VCENTER 0x0C00L
#define BS_MULTILINE 0x2000L
#define BS_NOTIFY 0x4000L
#define BS_FLAT 0x8000L
#define SS_LEFT 0x0000L
#define SS_CENTER 0x0001L
#define SS_RIGHT 0x0002L
#define SS_ICON 0x0003L
#define SS_BLACKRECT 0x0004L
#define SS_GRAYRECT 0x0005L
#define SS_WHITERECT 0x0006L
#define SS_BLACKFRAME 0x0007L
#define SS_GRAYFRAME 0x0008L
#define SS_WHITEFRAME 0x0009L
#define SS_SIMPLE 0x000BL
#define SS_LEFTNOWORDWRAP 0x000CL
#define SS_BITMAP 0x000EL
#define SS_ETCHEDHORZ 0x0010L
#define SS_ETCHEDVERT 0x0011L
#define SS_ETCHEDFRAME 0x0012L
#define SS_TYPEMASK 0x001FL
#define SS_NOPREFIX 0x0080L
#define SS_NOTIFY 0x0100L
#define SS_CENTERIMAGE 0x0200L
#define SS_SUNKEN 0x1000L
#define CBS_OWNERDRAWFIXED 0x0010L
#define CBS_AUTOHSCROLL 0x0040L
#define CBS_HASSTRINGS 0x0200L
#define CBS_NOINTEGRALHEIGHT 0x0400L
#define CBS_DISABLENOSCROLL 0x0800L
#define CBS_UPPERCASE 0x2000L
#define CBS_LOWERCASE 0x4000L
#define LBS_NOTIFY 0x0001L
#define LBS_SORT 0x0002L
#define LBS_MULTIPLESEL 0x0008L
#define LBS_HASSTRINGS 0x0040L
#define LBS_USETABSTOPS 0x0080L
#define LBS_NOINTEGRALHEIGHT 0x0100L
#define LBS_WANTKEYBOARDINPUT 0x0400L
#define LBS_EXTENDEDSEL 0x0800L
#define LBS_STANDARD (LBS_NOTIFY | LBS_SORT | WS_VSCROLL | WS_BORDER)
#define SBS_HORZ 0x0000L
#define SBS_VERT 0x0001L
#define ACS_CENTER 0x0001L
#define ACS_TRANSPARENT 0x0002L
#define ACS_AUTOPLAY 0x0004L

/* Position. */
#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)-1)
#define HWND_NOTOPMOST ((HWND)-2)
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1

#ifdef __cplusplus
extern "C" {
#endif
__attribute__((visibility("default"))) HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName,
                                                                      HWND hWndParent, DLGPROC lpDialogFunc,
                                                                      LPARAM dwInitParam);
__attribute__((visibility("default"))) INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName,
                                                                      HWND hWndParent, DLGPROC lpDialogFunc,
                                                                      LPARAM dwInitParam);
__attribute__((visibility("default"))) BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult);
__attribute__((visibility("default"))) HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem);
__attribute__((visibility("default"))) int WINAPI GetDlgCtrlID(HWND hWnd);
__attribute__((visibility("default"))) BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString);
__attribute__((visibility("default"))) UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString,
                                                                   int cchMax);
__attribute__((visibility("default"))) LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg,
                                                                          WPARAM wParam, LPARAM lParam);
__attribute__((visibility("default"))) BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck);
__attribute__((visibility("default"))) UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton);
__attribute__((visibility("default"))) BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton,
                                                                    int nIDLastButton, int nIDCheckButton);
__attribute__((visibility("default"))) BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString);
__attribute__((visibility("default"))) BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable);
__attribute__((visibility("default"))) BOOL WINAPI IsWindowEnabled(HWND hWnd);
__attribute__((visibility("default"))) BOOL WINAPI IsWindowVisible(HWND hWnd);
__attribute__((visibility("default"))) HWND WINAPI SetFocus(HWND hWnd);
__attribute__((visibility("default"))) HWND WINAPI GetFocus(void);
__attribute__((visibility("default"))) HWND WINAPI GetParent(HWND hWnd);
__attribute__((visibility("default"))) BOOL WINAPI UpdateWindow(HWND hWnd);
__attribute__((visibility("default"))) BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y,
                                                                int cx, int cy, UINT uFlags);
__attribute__((visibility("default"))) BOOL WINAPI BringWindowToTop(HWND hWnd);
__attribute__((visibility("default"))) BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect);
__attribute__((visibility("default"))) BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect);
__attribute__((visibility("default"))) int WINAPI GetSystemMetrics(int nIndex);
__attribute__((visibility("default"))) LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam,
                                                                     LPARAM lParam);
#ifdef __cplusplus
}
#endif

#define CreateDialogParam CreateDialogParamA
#define DialogBoxParam DialogBoxParamA
#define CreateDialogA(h, t, p, f) CreateDialogParamA(h, t, p, f, 0L)
#define CreateDialog CreateDialogA
#define DialogBoxA(h, t, p, f) DialogBoxParamA(h, t, p, f, 0L)
#define DialogBox DialogBoxA
#define SetDlgItemText SetDlgItemTextA
#define GetDlgItemText GetDlgItemTextA
#define SendDlgItemMessage SendDlgItemMessageA
#define SetWindowText SetWindowTextA
#define DefWindowProc DefWindowProcA

#endif
