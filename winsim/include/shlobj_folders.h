/* Special folders, as the SDK's shlobj.h and shtypes.h declare them. */
#ifndef WINSIM_SHLOBJ_FOLDERS_H
#define WINSIM_SHLOBJ_FOLDERS_H

#include "objidl.h"

#define CSIDL_DESKTOP 0x0000
#define CSIDL_PROGRAMS 0x0002
#define CSIDL_STARTUP 0x0007
#define CSIDL_STARTMENU 0x000b
#define CSIDL_COMMON_STARTMENU 0x0016
#define CSIDL_COMMON_PROGRAMS 0x0017
#define CSIDL_COMMON_STARTUP 0x0018

#pragma pack(push, 1)
typedef struct _SHITEMID {
    USHORT cb;
    BYTE abID[1];
} SHITEMID;
typedef struct _ITEMIDLIST {
    SHITEMID mkid;
} ITEMIDLIST;
#pragma pack(pop)
typedef ITEMIDLIST *LPITEMIDLIST;
typedef const ITEMIDLIST *LPCITEMIDLIST;

#ifdef __cplusplus
extern "C" {
#endif
__attribute__((visibility("default"))) HRESULT WINAPI SHGetSpecialFolderLocation(HWND hwndOwner, int nFolder,
                                                                                 LPITEMIDLIST *ppidl);
__attribute__((visibility("default"))) BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath);
#ifdef __cplusplus
__attribute__((visibility("default"))) HRESULT WINAPI SHGetMalloc(IMalloc **ppMalloc);
}
#endif

#endif
