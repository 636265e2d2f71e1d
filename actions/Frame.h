// What every custom action shares: the library's globals, the prologue that
// rebuilds the settings from installer properties, logging to the installer
// log or the setup log, and messages to the user.
#ifndef QL_FRAME_H
#define QL_FRAME_H

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include "settings/Settings.h"

// Results of the custom actions.
const UINT QL_SUCCESS = 0;
const UINT QL_FAILURE = 1;
const UINT QL_USER_EXIT = 1602;       // ERROR_INSTALL_USEREXIT
const UINT QL_NOT_ADMINISTRATOR = 4097;

// The product code of the installation package.
#define QL_PRODUCT_CODE "{3B6F08D4-F5E2-11D3-90B2-00A0245DF264}"

// The library's module instance (string table, dialog templates).
extern HINSTANCE g_hInstance;
// The settings of the running setup, rebuilt by every action's prologue.
extern CSettings g_Settings;
// Type of the existing database found by GetExistDatabaseType: -1 none
// known, 0 RAIMA, 1 SQL, 2 VLDB.
extern int ExistingDatabaseType;

// Builds the global settings from installer properties. Always 1.
int SetSetupInfo(MSIHANDLE hInstall, tagSETUP_INFO *pInfo, int bUninstall);
// One line (at most 255 characters) to the installer log, or to the setup
// log file when hInstall is 0.
int LogLine(MSIHANDLE hInstall, LPCSTR lpszFormat, LPCSTR lpszArgument);
int LogLine(MSIHANDLE hInstall, LPCSTR lpszFormat, long nArgument);
void ShowInstallerWarning(MSIHANDLE hInstall, LPCSTR lpszText);
void ShowInstallerError(MSIHANDLE hInstall, LPCSTR lpszText);
BOOL IsSilentInstall(MSIHANDLE hInstall);

// Rebuilds the global settings from the installer properties and
// initialises them.
void LoadSettings(MSIHANDLE hInstall, int bUninstall);

// Reads an installer property into a buffer of `size` characters; a missing
// property reads as empty text, a longer one is cut.
CString GetProperty(MSIHANDLE hInstall, LPCSTR lpszName, DWORD size);
// A string resource of the library (empty when there is none).
CString LoadMessage(UINT nID);

// Waits for a started program while dispatching window messages, then
// returns its exit code.
DWORD WaitForChildProgram(HANDLE hProcess);

// The prologue of the actions: log "<Action>() - <started>", set "ERRORMSG"
// to "NONE", rebuild and initialise the settings.
void ActionPrologue(MSIHANDLE hInstall, LPCSTR lpszAction, LPCSTR lpszStarted, int bUninstall);

#endif
