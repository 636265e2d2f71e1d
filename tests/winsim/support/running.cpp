#include "running.h"

#include <winsim/machine.h>

namespace runtest {

const char *ProgramsCanBeSeeded() { return nullptr; }

DWORD StartProgram(const char *image, const std::vector<Window> &windows, const char *mutex, DWORD exitCode) {
    winsim::RunningProgramSpec spec;
    spec.image = image;
    for (const Window &w : windows) {
        winsim::WindowSpec ws;
        ws.className = w.className;
        ws.title = w.title;
        ws.closes = w.closes;
        spec.windows.push_back(ws);
    }
    if (mutex) spec.mutex = mutex;
    spec.exitCode = exitCode;
    return winsim::StartRunningProgram(winsim::LocalMachine(), spec);
}

}  // namespace runtest
