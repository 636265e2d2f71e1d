// The checks before installation and removal, the setup information the
// package's dialogs show, and the steps later stages share with them.
#ifndef QL_CHECKS_H
#define QL_CHECKS_H

#include "Frame.h"

// Size of the message buffers the steps fill (a string resource's room).
#define QL_MESSAGE_SIZE 256

// The custom actions.
extern "C" UINT WINAPI AllowInstall(MSIHANDLE hInstall);
extern "C" UINT WINAPI AllowUninstall(MSIHANDLE hInstall);
extern "C" UINT WINAPI IsAdministrator(MSIHANDLE hInstall);
extern "C" UINT WINAPI GetSetupInformation(MSIHANDLE hInstall);
extern "C" UINT WINAPI GetExistDatabaseType(MSIHANDLE hInstall);

// The setup information of GetSetupInformation without its prologue, for the
// checks that have built the settings already. Always 0.
UINT SetupInformation(MSIHANDLE hInstall);

// Build number (high word) and version word of the product in the setup
// directory, or of the installed one when the run names no setup directory.
DWORD GetQuillbakVersion(MSIHANDLE hInstall);
// 1 when the installed product may be updated, with the warning in
// lpszMessage (QL_MESSAGE_SIZE characters, cut to fit); 0 when it may not.
int CheckUpgradeVersion(LPSTR lpszMessage);
// TRUE when a patch or a minor update package runs.
BOOL IsPatchMode(MSIHANDLE hInstall);
// Ends every running program of the product. 1 when none is left; 0 when one
// could not be ended, its name (cut to nSize) in lpszName.
int CheckRunningProcesses(LPSTR lpszName, DWORD nSize);
// The database type the installed product recorded: -1 no key, else the
// value (0 RAIMA, 1 SQL, 2 VLDB).
int GetDatabaseType();
// The service account the branding library keeps, into the settings. The
// result of the library's call (nonzero is success), 1 when no product is
// installed, 0 when the library or its export is missing. lpszMessage
// (nSize characters) says what failed, empty when nothing did.
int GetServiceAccount(LPSTR lpszMessage, DWORD nSize, MSIHANDLE hInstall);
// Removes a separately installed alert component. 1 when none remains, 0
// when it stays.
int UninstallAlert(MSIHANDLE hInstall);

#endif
