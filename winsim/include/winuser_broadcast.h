/* Messages sent with a time-out, and the broadcast that tells every
   top-level window a system setting changed. */
#ifndef WINSIM_WINUSER_BROADCAST_H
#define WINSIM_WINUSER_BROADCAST_H

#include "winsim_types.h"

typedef DWORD_PTR *PDWORD_PTR;

#define HWND_BROADCAST ((HWND)(ULONG_PTR)0xffff)

#define WM_SETTINGCHANGE 0x001A
#define WM_WININICHANGE 0x001A

#define SMTO_NORMAL 0x0000
#define SMTO_BLOCK 0x0001
#define SMTO_ABORTIFHUNG 0x0002
#define SMTO_NOTIMEOUTIFNOTHUNG 0x0008

#ifdef __cplusplus
extern "C" {
#endif
__attribute__((visibility("default"))) LRESULT WINAPI SendMessageTimeoutA(HWND hWnd, UINT Msg, WPARAM wParam,
                                                                          LPARAM lParam, UINT fuFlags, UINT uTimeout,
                                                                          PDWORD_PTR lpdwResult);
#ifdef __cplusplus
}
#endif

#define SendMessageTimeout SendMessageTimeoutA

#endif
