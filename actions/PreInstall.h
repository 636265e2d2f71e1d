// PreInstall and the steps that turn an installed earlier version into one
// the new files can take over: stopping the product, converting its
// registry, removing options and programs that cannot be upgraded in place,
// moving the old database aside; and the database conversion offer that
// PostInstall makes afterwards.
#ifndef QL_PREINSTALL_H
#define QL_PREINSTALL_H

#include "Frame.h"

// The custom action: 0, or 1602 with "ERRORMSG" set when the database folder
// could not be moved aside.
extern "C" UINT WINAPI PreInstall(MSIHANDLE hInstall);

// An option of an earlier version, by its setup product code.
struct tagOLD_OPTION {
    int nCode;
    LPCSTR lpszKeyName;         // its record's name in the products key
    LPCSTR lpszEarlierKeyName;  // the name the Windows uninstall list era used
    LPCSTR lpszUninstallEntry;  // its Windows uninstall entry (NULL: none)
    UINT nTitle;                // "Uninstall ... Option" message
    LPCSTR lpszUninstaller;     // its own uninstaller in the home directory
    LPCSTR lpszSetupLibrary;    // its setup library ("" for none)
};
// The option of the code, or NULL.
const tagOLD_OPTION *FindOldOption(int nCode);

// Stops what keeps the product's SNMP agent and migration services busy.
// bUninstall 0 registers the SNMP agent again. Always 1.
int StopSnmpForSetup(MSIHANDLE hInstall, int bUninstall);
// Converts the registry and removes what an earlier version left. Always 1.
int DeleteProcPreInstall(MSIHANDLE hInstall);
// Removes an option through its Windows uninstall entry. 1 for a known
// option code, 0 otherwise.
int UninstallOldOption(int nCode, MSIHANDLE hInstall);
// 1 when done or nothing to do, 0 when the earlier registration was saved.
int RemovePreviousProduct(MSIHANDLE hInstall);
// Runs every option's own uninstaller. Always 1.
int DoRemoveComponents(MSIHANDLE hInstall);
// 1 when the option's uninstaller ran and ended with 0 (or option 96 has
// none), 0 otherwise.
int UninstallOptionBySetup(MSIHANDLE hInstall, UINT nTitle, int nCode);
// Deletes the data migration option's files and folders. Always 1.
int RemoveHsmFiles();
// Removes the registrations and the home tree of a release before build 502.
// Always 1.
int RemoveOldOptionRegistrations(MSIHANDLE hInstall);
// Deletes the current user's program group of that name. TRUE when deleted.
BOOL RemoveProgramGroup(LPCSTR lpszGroupName);
// Moves the RAIMA database folder to "DATABASE.141". 1 when done or nothing
// to do, 0 when it failed.
int RenameDatabaseFolder(MSIHANDLE hInstall);
// Writes the installer's component registration of a key path. 1 when written.
int CreateComponentKey(LPCSTR lpszComponent, LPCSTR lpszProduct, LPCSTR lpszKeyPath);
// Selects the optional features a silent run's configuration file names.
// 1, or 0 when the install level cannot be set.
int SetCustomInstall(MSIHANDLE hInstall);
// Offers (or, in a batch run, starts) the conversion of a RAIMA database to
// VLDB. 0 when the conversion program is missing, else 1. With a session
// whose run is silent no question is asked (and nothing starts unless the
// run is a batch run).
int ConvertDatabase(MSIHANDLE hInstall = 0);

// TRUE for folders whose tree must never be deleted: empty or relative
// paths, drive roots, the Windows and system folders, the Program Files
// folder, and any folder that holds one of these.
BOOL IsProtectedFolder(LPCSTR lpszPath);

#endif
