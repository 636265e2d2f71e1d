// Stand-in for the media-services registration library "QLBNTMSD.DLL".
// RegisterQLBMll answers QLBNTMSD_RESULT (0 by default) and records the
// current directory it was called in, in QLBNTMSD_CALLS.
#include "DoubleEnv.h"

#include <string>

extern "C" __attribute__((visibility("default"))) int WINAPI RegisterQLBMll(void) {
    char dir[MAX_PATH + 1] = "";
    GetCurrentDirectoryA(MAX_PATH, dir);
    DoubleRecord("QLBNTMSD_CALLS", std::string("RegisterQLBMll in ") + dir);
    return (int)DoubleNumber("QLBNTMSD_RESULT", 0);
}
