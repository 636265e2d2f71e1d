// A small option setup library of our own, QLTESTOP.DLL, built only against
// QLSETGUI's headers and import library: the six entry points every option
// setup library exports, and a few more through which the test hands objects
// and texts across the library boundary.
#ifndef TESTS_WINE_OPTION_OPTION_H
#define TESTS_WINE_OPTION_OPTION_H

#include <windows.h>

#include "afxcoll.h"
#include "afxstr.h"
#include "settings/Settings.h"

// What Install is given: the setup-information record of the running setup
// and the option's command line ("/D:<folder>" overrides its folder).
struct OPTION_CONTEXT {
    const tagSETUP_INFO *pSetupInfo;
    LPCSTR lpszCommandLine;
};

// The option's registration, below the product's registry root.
#define OPTION_SUBKEY "\\Options\\TestOption"
#define OPTION_VERSION 0x0700  // 7.0

// Results of the entry points (0 is success).
const DWORD OPTION_NOT_INSTALLED = 1;
const DWORD OPTION_NO_SETTINGS = 2;
const DWORD OPTION_REGISTRY_FAILED = 3;

// The six entry points of the option contract.
typedef DWORD(WINAPI *PFN_OPTION_INSTALL)(void *pContext);
typedef DWORD(WINAPI *PFN_OPTION_UNINSTALL)();
typedef DWORD(WINAPI *PFN_OPTION_FLAG)(int *pbFlag);
typedef DWORD(WINAPI *PFN_OPTION_ERROR_STRING)(DWORD dwError, LPSTR lpszBuffer, DWORD dwSize);
typedef DWORD(WINAPI *PFN_OPTION_INSTALL_PATH)(LPSTR lpszBuffer, DWORD dwSize);

// Beyond the contract: settings the option makes for its caller to destroy,
// settings the caller made for the option to destroy, and texts added to the
// caller's array.
typedef CSettings *(WINAPI *PFN_OPTION_MAKE_SETTINGS)(const tagSETUP_INFO *pInfo);
typedef int(WINAPI *PFN_OPTION_TAKE_SETTINGS)(CSettings *pSettings);
typedef int(WINAPI *PFN_OPTION_ADD_NAMES)(CStringArray *pNames, const CString *pPrefix);

#endif
