// What the actions read of the product in the setup directory and of the
// installed one: its version and the type of its database.
#ifndef QL_INSTALLEDPRODUCT_H
#define QL_INSTALLEDPRODUCT_H

#include <windows.h>
#include <msi.h>

// High 16 bits the build number, low 16 bits major * 256 + minor, of the
// product in "SETUPDIR" (else the registered home directory).
DWORD GetQuillbakVersion(MSIHANDLE hInstall);
// -1 when no database key exists, else the registered type (0 RAIMA,
// 1 SQL, 2 VLDB; 0 when the key holds no type).
int GetDatabaseType();

#endif
