// Stand-in for the setup notification library "QLBSETUP.DLL" of the setup
// directory. Each notification is recorded in QLBSETUP_CALLS.
#include "DoubleEnv.h"

#include <string>

#define QLBSETUP_EXPORT extern "C" __attribute__((visibility("default")))

QLBSETUP_EXPORT int __cdecl QLBInstallNotify(LPCSTR product) {
    DoubleRecord("QLBSETUP_CALLS", std::string("QLBInstallNotify(") + (product ? product : "(null)") + ")");
    return 1;
}

QLBSETUP_EXPORT int __cdecl QLBUnInstallNotify(LPCSTR product) {
    DoubleRecord("QLBSETUP_CALLS", std::string("QLBUnInstallNotify(") + (product ? product : "(null)") + ")");
    return 1;
}
