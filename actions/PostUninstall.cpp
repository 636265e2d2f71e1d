// PostUninstall: runs after the installer removed the files; it only logs.
// It builds no settings and touches neither the registry nor the files.
#include "Uninstall.h"

#include "Frame.h"

extern "C" UINT WINAPI PostUninstall(MSIHANDLE hInstall) {
    LogLine(hInstall, "PostUninstall() - %s", "Started");
    return QL_SUCCESS;
}
