// The stand-in program of the process conformance tests on Windows: reads
// what the copy at its path is to do (support/programs.cpp), posts its
// messages to the test's thread at their times, appends its command line to
// the run log when it ends and exits with its exit code.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/programs_key.h"

namespace {

DWORD ReadDword(HKEY key, const char *name) {
    DWORD value = 0, size = sizeof value;
    RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size);
    return value;
}

std::string ReadText(HKEY key, const char *name) {
    char text[1024] = "";
    DWORD size = sizeof text - 1;
    RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size);
    return text;
}

}  // namespace

int main() {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, ProgramKey(self).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 255;
    DWORD exitCode = ReadDword(key, "ExitCode"), runMs = ReadDword(key, "RunMs"), thread = ReadDword(key, "Thread");
    std::string runLog = ReadText(key, "RunLog"), posted = ReadText(key, "Posts");
    RegCloseKey(key);

    std::vector<std::pair<DWORD, UINT>> posts;
    for (size_t at = 0; at < posted.size();) {
        size_t colon = posted.find(':', at), semi = posted.find(';', at);
        if (colon == std::string::npos || semi == std::string::npos) break;
        posts.emplace_back(strtoul(posted.c_str() + at, nullptr, 10),
                           (UINT)strtoul(posted.c_str() + colon + 1, nullptr, 10));
        at = semi + 1;
    }
    std::stable_sort(posts.begin(), posts.end(),
                     [](const std::pair<DWORD, UINT> &a, const std::pair<DWORD, UINT> &b) { return a.first < b.first; });

    DWORD start = GetTickCount();
    auto sleepUntil = [start](DWORD ms) {
        DWORD now = GetTickCount() - start;
        if (now < ms) Sleep(ms - now);
    };
    for (const auto &p : posts) {
        sleepUntil(p.first);
        PostThreadMessageA(thread, p.second, 0, 0);
    }
    sleepUntil(runMs);

    if (!runLog.empty()) {
        HANDLE log = CreateFileA(runLog.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log != INVALID_HANDLE_VALUE) {
            std::string line = std::string(GetCommandLineA()) + "\r\n";
            DWORD written = 0;
            WriteFile(log, line.data(), (DWORD)line.size(), &written, nullptr);
            CloseHandle(log);
        }
    }
    return (int)exitCode;
}
