// Windows: a test program is a copy of wsprog.exe (built beside the test
// program); what it does is kept in the registry under its path, where the
// copy reads it when it starts.
#include <windows.h>

#include "support/programs.h"

#include <string>

#include "beside.h"
#include "programs_key.h"

namespace proctest {

void RegisterProgram(const char *path, DWORD exitCode, DWORD runMs, const char *runLog, const std::vector<Post> &posts) {
    CopyFileA(BesideTestProgram("wsprog.exe").c_str(), path, FALSE);
    std::string posted;
    for (const Post &p : posts) posted += std::to_string(p.afterMs) + ":" + std::to_string(p.message) + ";";
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, ProgramKey(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    // Posts go to the thread that registers the program: the test's own.
    DWORD thread = GetCurrentThreadId();
    RegSetValueExA(key, "ExitCode", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&exitCode), sizeof exitCode);
    RegSetValueExA(key, "RunMs", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&runMs), sizeof runMs);
    RegSetValueExA(key, "Thread", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&thread), sizeof thread);
    std::string log = runLog ? runLog : "";
    RegSetValueExA(key, "RunLog", 0, REG_SZ, reinterpret_cast<const BYTE *>(log.c_str()), (DWORD)log.size() + 1);
    RegSetValueExA(key, "Posts", 0, REG_SZ, reinterpret_cast<const BYTE *>(posted.c_str()), (DWORD)posted.size() + 1);
    RegCloseKey(key);
}

}  // namespace proctest
