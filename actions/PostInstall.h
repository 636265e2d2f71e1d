// The configuration after the installer copied the files: the SAN agent,
// support addresses, the home share, leftovers of earlier versions, the
// Removable Storage registration, the discovery service and the restart.
#ifndef QL_POSTINSTALL_H
#define QL_POSTINSTALL_H

#include <windows.h>
#include <msi.h>

extern "C" UINT WINAPI PostInstall(MSIHANDLE hInstall);

// Writes the four support web addresses below the base key. Always 1.
int WriteSupportAddresses();
// Deletes the files earlier versions left in the product path. Always 1.
int DeleteObsoleteFiles();
// Registers the product's media with the Removable Storage service; what the
// registration library reports reaches the user as an installer warning.
void RegisterRsmLibrary(MSIHANDLE hInstall);
// Restarts a running discovery service so that it reads its table again.
// 0, or the system error when it cannot be started again.
DWORD RefreshDiscoveryTable(MSIHANDLE hInstall);
// Deletes a program group of the Start menu (the all-users one on Windows
// NT, the user's on Windows 95).
void RemoveStartMenuGroup(LPCSTR lpszGroup);

#endif
