#include "running.h"

#include <winsim/machine.h>

namespace runtest {

const char *ProgramsCanBeSeeded() { return nullptr; }

DWORD StartProgram(const char *image, const std::vector<Window> &windows, const char *mutex, DWORD exitCode) {
    winsim::RunningProgramDecl program;
    program.image = image;
    for (const Window &w : windows) {
        winsim::ProgramWindowDecl ws;
        ws.className = w.className;
        ws.title = w.title;
        ws.closes = w.closes;
        program.windows.push_back(ws);
    }
    if (mutex) program.mutex = mutex;
    program.exitCode = exitCode;
    return winsim::StartRunningProgram(winsim::LocalMachine(), program);
}

}  // namespace runtest
