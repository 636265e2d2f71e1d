// The removal of the product: the work before the installer deletes the
// files, and the steps only it uses.
#ifndef QL_UNINSTALL_H
#define QL_UNINSTALL_H

#include <windows.h>
#include <msi.h>

extern "C" {
UINT WINAPI PreUninstall(MSIHANDLE hInstall);
UINT WINAPI PostUninstall(MSIHANDLE hInstall);
}

// TRUE when an option of this version (registered as 7.0) is installed.
int AnyCurrentOptionInstalled();
// Deletes the product's data files and folders when no product component
// stays behind. Always 1.
int DeleteProductFiles();
// TRUE when a component of the product stays: the run does not remove all
// three (manager, server, admin) and one of them is still registered.
BOOL ProductComponentStays();
// Removes an application event-log source. 1 when its key was deleted.
int DeleteEventSource(LPCSTR lpszName);

// Calls the export (QLBInstallNotify, QLBUnInstallNotify) of the setup
// notification library in the setup directory with the product's name;
// nothing happens without the library or the export.
void NotifySetupLibrary(LPCSTR lpszExport);

#endif
