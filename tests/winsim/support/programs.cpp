// The one place the process conformance tests reach past Win32: telling the
// simulated machine what a program does.
#include "programs.h"

#include <winsim/machine.h>

#include <string>

namespace proctest {

void RegisterProgram(const char *path, DWORD exitCode, DWORD runMs, const char *runLog, const std::vector<Post> &posts) {
    winsim::Program p;
    p.exitCode = exitCode;
    p.runMs = runMs;
    for (const Post &post : posts) p.postsAt.push_back({post.afterMs, post.message});
    if (runLog) {
        std::string log = runLog;
        p.effect = [log](winsim::Machine &m, const std::string &commandLine) {
            std::string text;
            m.GetFile(log, text);
            m.PutFile(log, text + commandLine + "\r\n");
        };
    }
    winsim::LocalMachine().programs[path] = p;
}

}  // namespace proctest
