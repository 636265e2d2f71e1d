#include "msi_session.h"

#include <winsim/machine.h>

MSIHANDLE TestInstallerSession() { return winsim::OpenInstallerSession(); }
