// Windows under Wine: the running-program tests declare programs with their
// windows and mutexes on the simulated machine; a prefix has no such
// programs to start, so those tests skip with the reason.
#include "support/running.h"

namespace runtest {

const char *ProgramsCanBeSeeded() {
    return "Wine: programs with declared windows and mutexes exist only on the simulated machine";
}

DWORD StartProgram(const char *, const std::vector<Window> &, const char *, DWORD) { return 0; }

}  // namespace runtest
