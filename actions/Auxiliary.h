// The auxiliary custom actions the package runs at single points of its
// sequences (registration, job queue, follow-up setups, service account,
// database feature) and the library functions only they use.
#ifndef QL_AUXILIARY_H
#define QL_AUXILIARY_H

#include <windows.h>
#include <msi.h>

#include "afxstr.h"

extern "C" {
UINT WINAPI InstallDiscoveryService(MSIHANDLE hInstall);
UINT WINAPI CreateJobQueue(MSIHANDLE hInstall);
UINT WINAPI LaunchProductSetup(MSIHANDLE hInstall);
UINT WINAPI InstallVaxwall(MSIHANDLE hInstall);
UINT WINAPI RemoveSQLDatabase(MSIHANDLE hInstall);
UINT WINAPI CreateSystemAccount(MSIHANDLE hInstall);
UINT WINAPI SetQuillbakDatabaseType(MSIHANDLE hInstall);
UINT WINAPI InstallTest(MSIHANDLE hInstall);
}

// The SDK names its event-log function so; ours registers the product's
// event source.
#ifdef RegisterEventSource
#undef RegisterEventSource
#endif

// TRUE on Windows NT whose "ProductType" is not "WinNT" (a server).
BOOL IsNtServer();
// 1 when a browser or common-controls update program was started, else 0.
int UpdateInternetExplorer(MSIHANDLE hInstall);
// The installed browser's version: the number before the first dot and the
// one after the last. TRUE when the version was read.
BOOL GetIEVersion(int *pnMajor, int *pnMinor);
// The system error of the last registry step, 0 when all four values of the
// event source were written.
DWORD RegisterEventSource();
// Records the settings' service account through the branding library of the
// setup directory; lpszMessage (at least 256 characters) receives what went
// wrong, empty when nothing did. The library's result (nonzero = recorded),
// 1 when there is no account, 0 when the library or its export is missing.
int SetServiceAccount(LPSTR lpszMessage, MSIHANDLE hInstall);

// The system's text for an error or exit code (at most 255 characters).
CString SystemErrorText(DWORD code);
// Waits for a program started here to end and returns its exit code; the
// system error when the wait or the code's read fails (never 0 then).
DWORD ChildExitCode(HANDLE hProcess);
// The full path of a name relative to the current directory; empty when it
// cannot be had in 260 characters.
CString FullPath(LPCSTR lpszName);

// The anti-virus step of InstallVaxwall; *pbStarted tells whether its
// installer was started at all (a result of 0 also means "nothing ran").
UINT RunVaxwallSetup(MSIHANDLE hInstall, BOOL *pbStarted);

#endif
