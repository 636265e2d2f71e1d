// PostUninstall: runs after the installer removed the files; it only logs.
#include "Frame.h"

extern "C" UINT WINAPI PostUninstall(MSIHANDLE hInstall) {
    LogLine(hInstall, "PostUninstall() - %s", "Started");
    return QL_SUCCESS;
}
