// The service functions that take text from outside: the command-line forms
// (a command that runs a service program, with its switch appended), the
// "DependOnService" lists read back from the registry when dependents are
// started or stopped, and the binary path built from a directory and an
// executable. A command line that runs is the command and its switch as the
// program receives it, and one that does not fit is never started; only the
// services that name the service in the first 256 bytes of their list are
// started or stopped for it; an installed service's path reads back as the
// quoted directory and executable.
#include "fuzz_support.h"

#include <winsvc.h>

#include <cstring>
#include <vector>

#include "system/Service.h"

namespace {

const char kKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\";
const char *const kPrograms[] = {"C:\\Q\\JOBSRV.EXE", "C:\\Program Files\\Quillbak\\TAPESRV.EXE", "C:\\Q\\A B.EXE"};

winsim::Machine &M() {
    static winsim::Machine &m = [&]() -> winsim::Machine & {
        winsim::Machine &made = qlfuzz::Machine();
        for (const char *p : kPrograms) {
            made.PutFile(p, "MZ");
            made.programs[p] = winsim::Program();
        }
        return made;
    }();
    return m;
}

// The processes started so far are forgotten, so that a long run does not
// pile them up.
void ForgetProcesses(winsim::Machine &m) {
    m.processTable.reset();
    m.processLog.clear();
}

void Declare(const char *name, DWORD state) {
    winsim::ServiceConfig c;
    c.name = name;
    c.imagePath = std::string("C:\\Q\\") + name + ".EXE";
    winsim::AddService(M(), c, state);
}

void Forget(const char *name) {
    M().registry.Delete(std::string(kKey) + name);
    M().serviceManager.records.erase(name);
}

// ---- command-line forms ----------------------------------------------------------------
void CommandLines(const std::string &command, unsigned which) {
    winsim::Machine &m = M();
    typedef int(WINAPI * Form)(LPCSTR);
    static const struct {
        Form run;
        const char *flag;
    } kForms[] = {{InstallServiceByCmdLine, " -install"},
                  {RemoveServiceByCmdLine, " -remove"},
                  {StartServiceByCmdLine, " -start"},
                  {StopServiceByCmdLine, " -stop"}};
    {
        const auto &form = kForms[which % 4];
        ForgetProcesses(m);
        const std::string line = command + form.flag;
        const int result = form.run(command.c_str());
        if (line.size() >= MAX_PATH) {
            QL_FUZZ_CHECK(!result && m.processLog.empty(), "a command line of %zu characters was run", line.size());
            return;
        }
        // What the form does is what CreateProcessA does with the line.
        const size_t started = m.processLog.size();
        QL_FUZZ_CHECK(started == (result ? 1u : 0u), "result %d with %zu processes started", result, started);
        if (result) {
            QL_FUZZ_CHECK(m.processLog[0].commandLine == line, "the program received \"%s\" for \"%s\"",
                          m.processLog[0].commandLine.c_str(), line.c_str());
        } else {
            std::vector<char> copy(line.begin(), line.end());
            copy.push_back('\0');
            STARTUPINFOA si;
            memset(&si, 0, sizeof si);
            si.cb = sizeof si;
            PROCESS_INFORMATION pi;
            BOOL direct = CreateProcessA(NULL, copy.data(), NULL, NULL, TRUE, DETACHED_PROCESS, NULL, NULL, &si, &pi);
            if (direct) {
                CloseHandle(pi.hThread);
                CloseHandle(pi.hProcess);
            }
            QL_FUZZ_CHECK(!direct, "\"%s\" runs, but the form refused it", line.c_str());
        }
    }
    ForgetProcesses(m);
}

// ---- dependents ------------------------------------------------------------------------
// Whether the list names the service as the product reads it: only a value
// of at most 256 bytes, its texts up to the first empty one, without case.
bool Names(const std::string &value, const char *service) {
    if (value.size() > 256) return false;
    std::string list = value + std::string(2, '\0');
    for (size_t p = 0; list[p]; p += strlen(list.c_str() + p) + 1)
        if (lstrcmpiA(list.c_str() + p, service) == 0) return true;
    return false;
}

// Whether the manager sees the service as a dependent: its whole list, as
// the manager reads multi-strings.
bool ManagerNames(const std::string &value, DWORD type, const char *service) {
    if (type != REG_MULTI_SZ && type != REG_SZ) return false;
    size_t p = 0;
    while (p < value.size() && value[p]) {
        size_t nul = value.find('\0', p);
        if (nul == std::string::npos) nul = value.size();
        if (lstrcmpiA(value.substr(p, nul - p).c_str(), service) == 0) return true;
        p = nul + 1;
    }
    return false;
}

void Dependents(const std::string &value, DWORD type, bool stopSide) {
    const char *kBase = "QLDBEngine";
    Declare(kBase, stopSide ? SERVICE_RUNNING : SERVICE_STOPPED);
    Declare("QLFixedDep", stopSide ? SERVICE_RUNNING : SERVICE_STOPPED);
    Declare("QLFuzzDep", stopSide ? SERVICE_RUNNING : SERVICE_STOPPED);
    const char fixed[] = "QLDBEngine\0";
    M().registry.Set(std::string(kKey) + "QLFixedDep", "DependOnService", REG_MULTI_SZ, fixed, sizeof fixed);
    M().registry.Set(std::string(kKey) + "QLFuzzDep", "DependOnService", type, value.data(), value.size());

    const bool named = Names(value, kBase);
    if (!stopSide) {
        int result = CService::StartDependentServices(kBase, FALSE);
        const DWORD dep = winsim::ServiceState(M(), "QLFuzzDep"), fixedState = winsim::ServiceState(M(), "QLFixedDep");
        QL_FUZZ_CHECK(fixedState != SERVICE_STOPPED, "the dependent with a plain list was not started");
        QL_FUZZ_CHECK(named || dep == SERVICE_STOPPED, "a service that does not name %s was started", kBase);
        QL_FUZZ_CHECK(result == (!named || dep != SERVICE_STOPPED), "result %d, dependent %s", result,
                      winsim::ServiceStateName(dep).c_str());
    } else {
        int result = CService::StopService(kBase, FALSE, TRUE);
        const DWORD dep = winsim::ServiceState(M(), "QLFuzzDep"), base = winsim::ServiceState(M(), kBase);
        QL_FUZZ_CHECK(named || dep != SERVICE_STOPPED, "a service that does not name %s was stopped", kBase);
        QL_FUZZ_CHECK(result == (base == SERVICE_STOPPED), "result %d with %s %s", result, kBase,
                      winsim::ServiceStateName(base).c_str());
        // Both read the list alike and it names no other service of the
        // three (only direct dependents are stopped): the service stops.
        if (named == ManagerNames(value, type, kBase) && !ManagerNames(value, type, "QLFixedDep") &&
            !ManagerNames(value, type, "QLFuzzDep"))
            QL_FUZZ_CHECK(result, "%s did not stop (list named it: %d)", kBase, (int)named);
    }
    Forget("QLFuzzDep");
    Forget("QLFixedDep");
    Forget(kBase);
}

// ---- binary path -------------------------------------------------------------------------
void BinaryPath(const std::string &directory, const std::string &executable, bool change) {
    const char *kName = "QLFuzzSvc";
    CService svc(kName, executable.c_str(), NULL, SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS,
                 "QuillbakIT");
    std::string expected = "\"" + directory;
    if (directory.empty() || directory.back() != '\\') expected += '\\';
    expected += executable + "\"";

    int result;
    if (change) {
        Declare(kName, SERVICE_STOPPED);
        result = svc.ChangeService(directory.c_str(), SERVICE_DEMAND_START, NULL, NULL);
    } else {
        result = svc.InstallService(directory.c_str(), SERVICE_DEMAND_START, NULL, NULL);
    }
    std::string image;
    const bool exists = M().registry.GetString(std::string(kKey) + kName, "ImagePath", image);
    if (result) {
        QL_FUZZ_CHECK(exists && image == expected, "path \"%s\", \"%s\" expected", image.c_str(), expected.c_str());
    } else {
        QL_FUZZ_CHECK(!exists || change, "a service that failed to install exists");
        // Refused only when the manager refuses the path itself.
        SC_HANDLE scm = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE direct = CreateServiceA(scm, "QLFuzzOther", kName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                          SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, expected.c_str(), NULL, NULL,
                                          NULL, NULL, NULL);
        if (direct) {
            DeleteService(direct);
            CloseServiceHandle(direct);
        }
        CloseServiceHandle(scm);
        Forget("QLFuzzOther");
        QL_FUZZ_CHECK(!direct, "the manager takes \"%s\", the object was refused", expected.c_str());
    }
    Forget(kName);
}

}  // namespace

// The first byte picks the function: one of the command-line forms, the
// dependents' lists (start or stop side, and the value's type), or the
// binary path (the rest split at its first NUL into directory and
// executable).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    M();
    const uint8_t pick = data[0];
    const std::string rest = qlfuzz::Text(data + 1, size - 1);
    switch (pick % 3) {
    case 0:
        CommandLines(qlfuzz::CText(data + 1, size - 1), pick >> 2);
        break;
    case 1: {
        static const DWORD kTypes[] = {REG_MULTI_SZ, REG_MULTI_SZ, REG_SZ, REG_BINARY};
        Dependents(rest, kTypes[(pick >> 3) & 3], (pick & 4) != 0);
        break;
    }
    default: {
        std::string text = rest;
        size_t nul = text.find('\0');
        std::string directory = text.substr(0, nul), executable = nul == std::string::npos ? "" : text.substr(nul + 1);
        executable = executable.c_str();
        BinaryPath(directory, executable, (pick & 4) != 0);
        break;
    }
    }
    return 0;
}
