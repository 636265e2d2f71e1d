/* Shell change notification, as the SDK's shlobj.h declares it. */
#ifndef WINSIM_SHLOBJ_H
#define WINSIM_SHLOBJ_H

#include "windows.h"
#include "objidl.h"

#define SHCNE_RENAMEITEM 0x00000001L
#define SHCNE_CREATE 0x00000002L
#define SHCNE_DELETE 0x00000004L
#define SHCNE_MKDIR 0x00000008L
#define SHCNE_RMDIR 0x00000010L
#define SHCNE_UPDATEDIR 0x00001000L
#define SHCNE_UPDATEITEM 0x00002000L
#define SHCNE_NETSHARE 0x00000200L
#define SHCNE_NETUNSHARE 0x00000400L
#define SHCNE_ASSOCCHANGED 0x08000000L
#define SHCNE_ALLEVENTS 0x7FFFFFFFL

#define SHCNF_IDLIST 0x0000
#define SHCNF_PATHA 0x0001
#define SHCNF_PRINTERA 0x0002
#define SHCNF_DWORD 0x0003
#define SHCNF_PATHW 0x0005
#define SHCNF_PRINTERW 0x0006
#define SHCNF_TYPE 0x00FF
#define SHCNF_FLUSH 0x1000
#define SHCNF_FLUSHNOWAIT 0x2000
#define SHCNF_PATH SHCNF_PATHA
#define SHCNF_PRINTER SHCNF_PRINTERA

#ifdef __cplusplus
extern "C" {
#endif
__attribute__((visibility("default"))) void WINAPI SHChangeNotify(LONG wEventId, UINT uFlags, LPCVOID dwItem1,
                                                                  LPCVOID dwItem2);
#ifdef __cplusplus
}
#endif

/* Special folders: item lists from SHGetSpecialFolderLocation, freed with the
   shell's allocator (SHGetMalloc). */
#include "shlobj_folders.h"

#endif
