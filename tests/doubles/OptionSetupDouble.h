// Stand-in for an option setup library: its six entry points record their
// calls in OPTSETUP_CALLS; OPTSETUP_RESULT is their answer (0 by default),
// OPTSETUP_PATH the install path it reports.
#ifndef QL_OPTION_SETUP_DOUBLE_H
#define QL_OPTION_SETUP_DOUBLE_H

#include "DoubleEnv.h"

#include <cstdio>
#include <string>

#define OPTSETUP_EXPORT extern "C" __attribute__((visibility("default")))

static DWORD OptionResult() { return (DWORD)DoubleNumber("OPTSETUP_RESULT", 0); }

OPTSETUP_EXPORT DWORD WINAPI Install(void *context) {
    DoubleRecord("OPTSETUP_CALLS", context ? "Install(context)" : "Install(null)");
    return OptionResult();
}

OPTSETUP_EXPORT DWORD WINAPI UnInstall(void) {
    DoubleRecord("OPTSETUP_CALLS", "UnInstall");
    return OptionResult();
}

OPTSETUP_EXPORT DWORD WINAPI IsInstalled(int *installed) {
    DoubleRecord("OPTSETUP_CALLS", "IsInstalled");
    if (installed) *installed = TRUE;
    return OptionResult();
}

OPTSETUP_EXPORT DWORD WINAPI IsInstalledVersionNewer(int *newer) {
    DoubleRecord("OPTSETUP_CALLS", "IsInstalledVersionNewer");
    if (newer) *newer = FALSE;
    return OptionResult();
}

OPTSETUP_EXPORT DWORD WINAPI GetDebugErrorString(DWORD error, char *buffer, DWORD size) {
    DoubleRecord("OPTSETUP_CALLS", "GetDebugErrorString(" + std::to_string(error) + "," + std::to_string(size) + ")");
    if (buffer && size) std::snprintf(buffer, size, "Option error %lu", (unsigned long)error);
    return OptionResult();
}

#define OPTSETUP_EXPORT_INSTALL_PATH                                                               \
    OPTSETUP_EXPORT DWORD WINAPI GetInstallPath(char *buffer, DWORD size) {                        \
        DoubleRecord("OPTSETUP_CALLS", "GetInstallPath(" + std::to_string(size) + ")");            \
        std::string path = DoubleSetting("OPTSETUP_PATH", "C:\\Program Files\\Quillbak\\Option");  \
        if (buffer && size) std::snprintf(buffer, size, "%s", path.c_str());                       \
        return OptionResult();                                                                     \
    }

#endif
