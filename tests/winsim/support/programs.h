// Programs for the process conformance tests. On Windows each would be a
// small test program built for the purpose; on the simulated machine the
// test registers what that program does.
#ifndef TESTS_WINSIM_SUPPORT_PROGRAMS_H
#define TESTS_WINSIM_SUPPORT_PROGRAMS_H

#include <windows.h>

#include <vector>

namespace proctest {

struct Post {
    DWORD afterMs;  // after the program's start
    UINT message;   // posted with wParam and lParam 0
};

// Makes the executable file at `path` (which must exist) a program that runs
// for `runMs`, posts `posts` to the thread that started it, appends its
// command line and "\r\n" to the file `runLog` when it ends (when given), and
// exits with `exitCode`.
void RegisterProgram(const char *path, DWORD exitCode, DWORD runMs, const char *runLog = nullptr,
                     const std::vector<Post> &posts = {});

}  // namespace proctest

#endif
