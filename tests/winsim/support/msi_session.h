// The installer session a custom action receives. Windows Installer hands it
// to the action; here the simulated machine does.
#ifndef TESTS_WINSIM_SUPPORT_MSI_SESSION_H
#define TESTS_WINSIM_SUPPORT_MSI_SESSION_H

#include <msi.h>

MSIHANDLE TestInstallerSession();

#endif
