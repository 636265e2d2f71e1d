// Programs that run on the machine until they are closed or ended, for the
// window, mutex and performance-data conformance tests. On Windows each
// would be a small test program started for the purpose; on the simulated
// machine the test declares it.
#ifndef TESTS_WINSIM_SUPPORT_RUNNING_H
#define TESTS_WINSIM_SUPPORT_RUNNING_H

#include <windows.h>

#include <vector>

namespace runtest {

struct Window {
    const char *className;
    const char *title;
    bool closes;  // closes on WM_CLOSE (and the program ends with its last window)
};

// Null when programs with windows and mutexes can be seeded here, otherwise
// the reason they cannot (the test skips with it: SEEDED_OR_SKIP).
const char *ProgramsCanBeSeeded();

// Starts the program image (a Windows path) with its top-level windows and
// the named mutex it holds while it runs (none when null); its process id.
DWORD StartProgram(const char *image, const std::vector<Window> &windows = {}, const char *mutex = nullptr,
                   DWORD exitCode = 0);

}  // namespace runtest

#endif
