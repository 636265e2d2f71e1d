// Stand-in for the product's database client library "QLDBCLI1.DLL". Its
// "SQLDBUninstall" records in QLDBCLI1_CALLS whether it was given an owner
// window and answers QLDBCLI1_RESULT (0 by default: the database was removed).
#include "DoubleEnv.h"

#include <string>

extern "C" __attribute__((visibility("default"))) int WINAPI SQLDBUninstall(HWND hParent) {
    DoubleRecord("QLDBCLI1_CALLS", std::string("SQLDBUninstall(") + (hParent ? "window" : "(null)") + ")");
    return (int)DoubleNumber("QLDBCLI1_RESULT", 0);
}
