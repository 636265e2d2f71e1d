// Windows: a session of a small package shipped beside the test program,
// opened without user interface (no install runs).
#include <windows.h>

#include "support/msi_session.h"
#include <msiquery.h>

#include "beside.h"

MSIHANDLE TestInstallerSession() {
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    MSIHANDLE session = 0;
    if (MsiOpenPackageA(BesideTestProgram("session.msi").c_str(), &session) != ERROR_SUCCESS) return 0;
    return session;
}
