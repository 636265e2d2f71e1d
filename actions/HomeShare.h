// The custom actions' own form of the home-share step: the steps of
// CComputer::CreateQuillbakHomeShare, each one logged (to the installer log,
// or to the setup log file when hInstall is 0).
#ifndef QL_HOMESHARE_H
#define QL_HOMESHARE_H

#include <windows.h>
#include <msi.h>

// Shares lpszPath (one trailing backslash is dropped) as "Quillbak$" on this
// machine with the product's access list; lpszAccount (looked up on
// lpszMachine) gets full rights when it is not empty. A share of that name
// already pointing at the path is kept as it is.
void CreateQuillbakHomeShare(MSIHANDLE hInstall, LPCSTR lpszPath, LPCSTR lpszMachine, LPCSTR lpszAccount);

#endif
