// Files the Windows build of the tests ships beside the test program.
#ifndef TESTS_WINE_SUPPORT_BESIDE_H
#define TESTS_WINE_SUPPORT_BESIDE_H

#include <windows.h>

#include <string>

// The full path of `name` in the folder of the running test program.
inline std::string BesideTestProgram(const char *name) {
    char path[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    size_t slash = dir.find_last_of("\\/");
    dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
    return dir + "\\" + name;
}

#endif
