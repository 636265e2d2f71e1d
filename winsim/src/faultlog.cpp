// The fault log: with WINSIM_FAULT_LOG naming a file, every injected failure
// that a call takes is appended to it as one line
//   function <TAB> test <TAB> caller
// where the test is WINSIM_FAULT_LABEL (the test runner sets it for each
// test, and programs the test starts inherit it) and the caller is the
// innermost function of the library under test on the stack ("-" when the
// call did not come from it). The sweep report is made from these lines.
#include "internal.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace winsim {
namespace {

// The library under test: the shared object named like "libqlsetgui.so".
bool IsProductObject(const char *path) {
    if (!path) return false;
    const char *base = strrchr(path, '/');
    base = base ? base + 1 : path;
    return strncmp(base, "libqlsetgui", 11) == 0;
}

std::string Demangled(const char *symbol) {
    if (!symbol) return "?";
    int status = 0;
    char *d = abi::__cxa_demangle(symbol, nullptr, nullptr, &status);
    std::string name = status == 0 && d ? d : symbol;
    free(d);
    // The name without its parameter list keeps the log short.
    size_t paren = name.find('(');
    if (paren != std::string::npos && paren > 0) name.erase(paren);
    return name;
}

std::string ProductCaller() {
    void *frames[64];
    int n = backtrace(frames, 64);
    for (int i = 0; i < n; ++i) {
        Dl_info info;
        if (dladdr(frames[i], &info) && IsProductObject(info.dli_fname)) return Demangled(info.dli_sname);
    }
    return "-";
}

}  // namespace

void RecordTakenFault(const char *function) {
    const char *path = getenv("WINSIM_FAULT_LOG");
    if (!path || !*path) return;
    const char *label = getenv("WINSIM_FAULT_LABEL");
    std::string line = std::string(function) + "\t" + (label && *label ? label : "-") + "\t" + ProductCaller() + "\n";
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    // One write of one short line: lines of programs writing at once stay whole.
    ssize_t written = write(fd, line.data(), line.size());
    (void)written;
    close(fd);
}

}  // namespace winsim
