// Unattended installation on another machine: the product on the medium,
// the folder proposed for a target, and the installation configuration file
// "QUILLBAK.ICF" prepared for the target's setup. Plain exported functions
// with the caller removing the arguments (cdecl).
#ifndef QL_SILENTCONFIG_H
#define QL_SILENTCONFIG_H

#include "system/QlApi.h"

#include <stddef.h>

// The product as a front end sees it, filled by GetProductInfo and
// AllowInstallation and read and updated by CreateSilentConfigIni.
struct tagPRODUCT_INFO {
    char szProductName[100];  // display name of the product on the medium
    int bIsOption;            // 0: the base product, not an option (GetProductInfo sets 0)
    int bRemoteInstall;       // 1: installs on another machine (GetProductInfo sets 1)
    BOOL bInstalled;          // 1 when the product's home is registered on the target
    // The product's folder on the target, ending in a backslash: room for a
    // Windows path of 259 characters, the backslash added and the NUL.
    char szHomePath[264];
};
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(tagPRODUCT_INFO) == 376, "product record is 376 bytes");
#endif
static_assert(offsetof(tagPRODUCT_INFO, bIsOption) == 100, "first flag at 100");
static_assert(offsetof(tagPRODUCT_INFO, bRemoteInstall) == 104, "second flag at 104");
static_assert(offsetof(tagPRODUCT_INFO, bInstalled) == 108, "installed flag at 108");
static_assert(offsetof(tagPRODUCT_INFO, szHomePath) == 112, "home path at 112");

// Name of the configuration file, in the target's folder and beside the
// running program (the template a new file starts from).
#define QL_SILENT_CONFIG_FILE "QUILLBAK.ICF"
// Where the product goes when nothing else proposes a folder.
#define QL_DEFAULT_HOME_PATH "C:\\Program Files\\Veltmark\\Quillbak"

// Name of the product on the medium when the setup information file beside
// the running program names a valid product sub-type: 1; else 0 and the
// record untouched.
QL_EXTERN_C QL_API int GetProductInfo(tagPRODUCT_INFO *pInfo);

// Whether the product is installed on the machine (NULL: this one) and the
// folder to install it in: the registered home, else the configuration
// file's, else the target's Program Files folder, else the fixed default.
// The four middle arguments are not used. Always 1.
QL_EXTERN_C QL_API int AllowInstallation(LPCSTR lpszMachine, LPVOID pUnused1, LPVOID pUnused2, LPVOID pUnused3,
                                         LPVOID pUnused4, tagPRODUCT_INFO *pInfo);

// Creates "QUILLBAK.ICF" in the folder from the template unless it is there,
// and writes the target's registered folders and the service account
// ("DOMAIN\user", or a user of the machine). A new file is readable by
// administrators only where the file system keeps access lists. 1 when the
// file is ready, 0 when it could not be created.
QL_EXTERN_C QL_API int GetSilentConfigDefaults(LPCSTR lpszFolder, LPCSTR lpszMachine, LPCSTR lpszAccount,
                                               LPCSTR lpszPassword);

// Connects to the target's ADMIN$ share as the user given, creates the
// configuration file in the folder from the template unless it is there
// (with the record's folder, the target's alert folder and the user as the
// service account), and shows the remote installation-configuration dialog
// over the parent window. The dialog's outcome: 0 when the folders were
// confirmed and written (the record's home path then takes the file's), 1
// when they were not written, 2 when the user cancelled. 0 also when the
// connection failed or the parent is not a window: the last error tells
// them apart (ERROR_SUCCESS after the dialog ran; the connection's error,
// ERROR_INVALID_WINDOW_HANDLE or ERROR_INVALID_PARAMETER for a null record).
QL_EXTERN_C QL_API int CreateSilentConfigIni(LPCSTR lpszMachine, LPCSTR lpszUser, LPCSTR lpszPassword,
                                             HWND hWndParent, LPCSTR lpszFolder, tagPRODUCT_INFO *pInfo);

#endif
