// qlsetrun: runs the library's custom actions on a simulated machine in the
// order the installation package sequences them, and reports what they did.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <winsim/machine.h>

#include "actions/Frame.h"
#include "qlsetrun/Dialog.h"
#include "qlsetrun/Package.h"
#include "qlsetrun/RemoteInstall.h"
#include "qlsetrun/Report.h"
#include "qlsetrun/Run.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace qlsetrun;

namespace {

typedef UINT(WINAPI *CustomAction)(MSIHANDLE);

// One line per action the library exports: its name and the sequences that
// run it. The README's list of the actions is this output.
void ListActions(std::ostream &out) {
    for (auto &name : ExportedActions(BuiltExportList())) {
        std::string in;
        for (auto &s : Sequences())
            for (auto &a : s.actions)
                if (a == name) in += (in.empty() ? "" : ", ") + std::string(s.name);
        out << name << " (" << (in.empty() ? "in no sequence; run it by name" : in) << ")\n";
    }
}

void Usage(std::ostream &out) {
    out << "usage: qlsetrun [--machine DIR] [--setup DIR] [--sequence NAME[,NAME]...] [--answer ANSWER]...\n"
           "                [--fault NAME=ERROR[:always|:N]]... [--out DIR] [NAME=value]... [ACTION]...\n"
           "       qlsetrun --remote-install --setup DIR [--account ACCOUNT] [--password TEXT] TARGET...\n"
           "       qlsetrun --dialog ID [STEP]... (qlsetrun --dialog 4322 --help)\n"
           "       qlsetrun --list-actions | --help\n"
           "Runs the custom actions of QLSETGUI on a simulated Windows machine (the built-in\n"
           "Windows 2000 server, or the machine image in DIR: a folder with machine.ini) and\n"
           "reports what they did: the installer log in the form of a verbose log (/l*v), message\n"
           "boxes, installer properties, mailslot messages, registry changes as a regedit file,\n"
           "files, profile (INI) files by section and key, new lines of log files, the settings.\n"
           "\n"
           "  --sequence NAME   the sequence to run (install by default); named ACTIONs run instead,\n"
           "                    in the order given, with the sequence's installer properties.\n"
           "                    NAME,NAME... runs several one after the other on the same machine\n"
           "                    (e.g. install,uninstall), each as an installer run of its own with\n"
           "                    its properties; the report lists each one's actions and shows the\n"
           "                    changes over the whole run; a failed action ends the whole run\n"
           "  --setup DIR       copies the setup directory DIR (QLBSETUP.INF, QUILLBAK.ICF, ...) to\n"
           "                    the CD-ROM drive as D:\\SETUP\\ and sets SETUPDIR to it\n"
           "  --answer ANSWER   the answer to the next message box, by name or number\n"
           "  --fault NAME=ERROR[:always|:N]\n"
           "                    the simulated function NAME (RegSetValueExA, MsiSetPropertyA, ...)\n"
           "                    fails with ERROR, once, always or at its Nth call; NAME may be a\n"
           "                    custom action, which then returns ERROR without running\n"
           "  --out DIR         also writes each part of the report to its own file in DIR:\n";
    out << "                   ";
    for (auto &s : Sections()) out << " " << s.file;
    out << " report.txt\n"
           "  NAME=value        sets an installer property\n"
           "  --list-actions    lists the custom actions the library exports, and exits\n"
           "\nCustom actions of the package (* = exported by this build of the library):\n";
    const std::vector<std::string> exported = ExportedActions(BuiltExportList());
    for (auto &a : PackageActions()) {
        bool has = false;
        for (auto &e : exported) has = has || e == a.name;
        char line[160];
        snprintf(line, sizeof line, "  %c %-24s %s\n", has ? '*' : ' ', a.name, a.what);
        out << line;
    }
    out << "\nSequences (the installer copies the files after PreInstall, removes them after PreUninstall):\n";
    for (auto &s : Sequences()) {
        out << "  " << s.name << ":";
        for (auto &a : s.actions) out << " " << a;
        out << "\n    " << s.note << "\n    properties:";
        for (auto &[k, v] : s.properties) out << " " << k << "=" << v;
        out << (s.maintenanceMode ? "; maintenance mode, the product counts as installed" : "") << "\n";
    }
    out << "\nMessage-box answers:";
    for (auto &a : AnswerNames()) out << " " << a.name << " (" << a.id << ")";
    out << "\n\nExit codes:\n"
           "  0  every action that ran returned success (log: Return value 1)\n"
           "  1  an action failed: log Return value 3, msiexec's 1603 (a result the installer does\n"
           "     not know counts as a failure)\n"
           "  2  bad command line\n"
           "  3  the machine image or the setup folder cannot be used\n"
           "  4  the --out folder cannot be written\n"
           "  5  an action ended the installation as a user exit: log Return value 2, msiexec's 1602\n"
           "  6  an action suspended the installation: log Return value 4, msiexec's 1604\n"
           "An action that fails or exits ends the sequence; the actions after it do not run.\n";
}

std::string ToWindows(std::string rel) {
    for (char &c : rel)
        if (c == '/') c = '\\';
    return rel;
}

// Copies a host folder onto the machine as D:\SETUP\, adding a CD-ROM drive D:
// when the machine has no drive of that letter. Special files are not read.
bool CopySetupDirectory(winsim::Machine &m, const std::string &hostDir, std::vector<std::string> &warnings,
                        std::string &error) {
    std::error_code ec;
    if (!fs::is_directory(hostDir, ec)) {
        error = hostDir + " is not a folder";
        return false;
    }
    if (!m.drives.count('D')) m.AddDrive('D', DRIVE_CDROM);
    m.MakeDirs("D:\\SETUP");
    for (auto it = fs::recursive_directory_iterator(hostDir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::string rel = fs::relative(it->path(), hostDir, ec).generic_string();
        if (ec) break;
        const std::string target = "D:\\SETUP\\" + ToWindows(rel);
        fs::file_status st = it->status(ec);
        if (fs::is_directory(st)) {
            m.MakeDirs(target);
        } else if (fs::is_regular_file(st)) {
            std::ifstream in(it->path(), std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            if (!in.good() && !in.eof()) {
                warnings.push_back("warning: cannot read " + it->path().string() + "; not copied");
                continue;
            }
            m.PutFile(target, ss.str());
        } else {
            warnings.push_back("warning: " + it->path().string() + " is not a regular file; not read, not copied");
            ec.clear();
        }
    }
    if (ec) {
        error = hostDir + ": " + ec.message();
        return false;
    }
    return true;
}

// Setup reads these two from the setup directory and goes on without them,
// with defaults; say so, since the run then shows the defaults.
void CheckSetupFiles(const std::string &hostDir, std::vector<std::string> &warnings) {
    for (const char *name : {"QLBSETUP.INF", "QUILLBAK.ICF"}) {
        fs::path found;
        std::error_code ec;
        for (auto &e : fs::directory_iterator(hostDir, ec))
            if (winsim::EqualNoCase(e.path().filename().string(), name)) found = e.path();
        std::string problem;
        if (found.empty()) {
            problem = "is missing";
        } else {
            fs::file_status st = fs::status(found, ec);
            if (!fs::is_regular_file(st)) {
                problem = "cannot be read (not a regular file)";
            } else {
                std::ifstream in(found, std::ios::binary);
                if (!in)
                    problem = std::string("cannot be read (") + strerror(errno) + ")";
                else if (fs::file_size(found, ec) == 0)
                    problem = "is empty";
            }
        }
        if (!problem.empty())
            warnings.push_back(std::string("warning: ") + name + " in the setup folder " + hostDir + " " + problem +
                               "; setup goes on with its defaults");
    }
}

// NAME=ERROR[:always|:N]
bool ParseFault(const std::string &text, std::string &name, DWORD &error, winsim::FaultMode &mode, unsigned &nth) {
    size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    name = text.substr(0, eq);
    std::string rest = text.substr(eq + 1), when;
    size_t colon = rest.find(':');
    if (colon != std::string::npos) {
        when = rest.substr(colon + 1);
        rest.erase(colon);
    }
    char *end = nullptr;
    unsigned long e = strtoul(rest.c_str(), &end, 10);
    if (rest.empty() || *end || e == 0 || e > 0xFFFFFFFFul) return false;
    error = (DWORD)e;
    mode = winsim::FaultMode::Once;
    nth = 1;
    if (when == "always") {
        mode = winsim::FaultMode::Always;
    } else if (!when.empty()) {
        unsigned long n = strtoul(when.c_str(), &end, 10);
        if (*end || n == 0 || n > 1000000) return false;
        mode = winsim::FaultMode::Nth;
        nth = (unsigned)n;
    }
    return true;
}

// Runs `body` with standard output going to a scratch file and returns what
// was printed, so that lines the product prints cannot mix with the report.
template <typename F> std::string CaptureStdout(F body) {
    fflush(stdout);
    std::cout.flush();
    FILE *scratch = tmpfile();
    int saved = scratch ? dup(STDOUT_FILENO) : -1;
    if (saved < 0 || dup2(fileno(scratch), STDOUT_FILENO) < 0) {
        if (saved >= 0) close(saved);
        if (scratch) fclose(scratch);
        body();
        return std::string();
    }
    body();
    fflush(stdout);
    std::cout.flush();
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::string text;
    rewind(scratch);
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, scratch)) > 0) text.append(chunk, n);
    fclose(scratch);
    return text;
}

// What is open after an action and was not before, as "QLSERVER Key from
// RegOpenKeyExA" lines.
std::vector<std::string> HandlesLeft(const std::vector<winsim::OpenHandleInfo> &before,
                                     const std::vector<winsim::OpenHandleInfo> &after) {
    auto line = [](const winsim::OpenHandleInfo &h) {
        return h.machine + " " + h.kind + (h.openedBy.empty() ? "" : " from " + h.openedBy);
    };
    std::multiset<std::string> was;
    for (auto &h : before) was.insert(line(h));
    std::vector<std::string> left;
    for (auto &h : after) {
        auto it = was.find(line(h));
        if (it != was.end())
            was.erase(it);
        else
            left.push_back(line(h));
    }
    return left;
}

CustomAction FindAction(const std::string &name) {
    void *sym = dlsym(RTLD_DEFAULT, name.c_str());
    CustomAction fn = nullptr;
    if (sym) memcpy(&fn, &sym, sizeof fn);
    return fn;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc > 1 && std::string(argv[1]) == "--remote-install") return RemoteInstallMain(argc, argv);
    std::string machineDir, setupDir, sequenceName = "install", outDir;
    std::vector<std::string> actionNames;
    std::vector<std::pair<std::string, std::string>> props;
    std::vector<int> answers;
    struct Fault {
        std::string name;
        DWORD error;
        winsim::FaultMode mode;
        unsigned nth;
    };
    std::vector<Fault> faults;
    if (WantsDialog(argc, argv)) return RunDialog(argc, argv, std::cout, std::cerr);
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            Usage(std::cout);
            return kExitSuccess;
        } else if (a == "--list-actions") {
            ListActions(std::cout);
            return kExitSuccess;
        } else if (a == "--machine" || a == "--setup" || a == "--sequence" || a == "--answer" || a == "--out" ||
                   a == "--fault") {
            if (i + 1 >= argc) {
                std::cerr << "qlsetrun: " << a << " needs a value\n";
                return kExitUsage;
            }
            std::string v = argv[++i];
            if (a == "--machine") {
                machineDir = v;
            } else if (a == "--setup") {
                setupDir = v;
            } else if (a == "--sequence") {
                sequenceName = v;
            } else if (a == "--out") {
                outDir = v;
            } else if (a == "--fault") {
                Fault f;
                if (!ParseFault(v, f.name, f.error, f.mode, f.nth)) {
                    std::cerr << "qlsetrun: --fault takes NAME=ERROR[:always|:N], e.g. PostUninstall=1603 or "
                                 "RegSetValueExA=5:always; not "
                              << v << "\n";
                    return kExitUsage;
                }
                faults.push_back(f);
            } else {
                int answer = ParseAnswer(v);
                if (!answer) {
                    std::cerr << "qlsetrun: --answer takes a button: IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, "
                                 "IDYES, IDNO or its number 1 to 7; not "
                              << v << "\n";
                    return kExitUsage;
                }
                answers.push_back(answer);
            }
        } else if (!a.empty() && a[0] == '-') {
            std::cerr << "qlsetrun: unknown option " << a << " (qlsetrun --help lists them)\n";
            return kExitUsage;
        } else if (a.find('=') != std::string::npos && a.find('=') > 0) {
            props.emplace_back(a.substr(0, a.find('=')), a.substr(a.find('=') + 1));
        } else {
            if (!IsPackageAction(a)) {
                std::cerr << "qlsetrun: unknown action " << a << " (the package's custom actions are:";
                for (auto &k : PackageActions()) std::cerr << " " << k.name;
                std::cerr << ")\n";
                return kExitUsage;
            }
            actionNames.push_back(a);
        }
    }

    Run run;
    std::vector<const Sequence *> sequences;
    std::string badSequence;
    if (!ParseSequenceList(sequenceName, sequences, badSequence)) {
        std::cerr << "qlsetrun: unknown sequence " << (badSequence.empty() ? "(empty name)" : badSequence) << " (";
        for (auto &s : Sequences()) std::cerr << (&s == &Sequences().front() ? "" : ", ") << s.name;
        std::cerr << "; or several in order, e.g. install,uninstall)\n";
        return kExitUsage;
    }
    if (sequences.size() > 1 && !actionNames.empty()) {
        std::cerr << "qlsetrun: named actions run with the properties of one sequence, not of " << sequenceName
                  << "\n";
        return kExitUsage;
    }
    run.sequence = sequences.back();
    if (sequences.size() > 1) run.sequences = sequences;
    run.machineDir = machineDir;
    run.setupDir = setupDir;
    run.namedActions = !actionNames.empty();

    try {
        // A program that runs the runner inside itself (the benchmarks) may
        // have built the machine already: it is then the local machine.
        run.machine = !machineDir.empty()          ? &winsim::LoadMachineImage(machineDir)
                      : winsim::HasLocalMachine() ? &winsim::LocalMachine()
                                                  : &winsim::CreateDefaultMachine();
    } catch (const std::exception &e) {
        std::cerr << "qlsetrun: cannot load the machine: " << e.what() << "\n";
        return kExitMachine;
    }
    winsim::Machine &m = *run.machine;
    winsim::SetLocalMachine(m);
    // What every installer run on this machine starts with; each sequence adds its own.
    const std::map<std::string, std::string> machineProperties = m.installer.properties;
    auto startSequence = [&](const Sequence &s) {
        for (auto &[k, v] : s.properties) m.installer.properties[k] = v;
        m.installer.modes[MSIRUNMODE_MAINTENANCE] = s.maintenanceMode;
        if (s.maintenanceMode) m.products[QL_PRODUCT_CODE].state = INSTALLSTATE_DEFAULT;
    };
    startSequence(*sequences.front());
    if (!setupDir.empty()) {
        std::string error;
        if (!CopySetupDirectory(m, setupDir, run.warnings, error)) {
            std::cerr << "qlsetrun: cannot copy the setup directory: " << error << "\n";
            return kExitMachine;
        }
        CheckSetupFiles(setupDir, run.warnings);
        m.installer.properties["SETUPDIR"] = "D:\\SETUP\\";
    }
    for (auto &[k, v] : props) m.installer.properties[k] = v;
    const std::string setupProperty = setupDir.empty() ? "" : m.installer.properties["SETUPDIR"];
    m.scriptedAnswers = answers;
    for (auto &f : faults) winsim::InjectFault(f.name, f.error, f.mode, f.nth);

    // The export list says which actions the library has; the build must agree.
    const std::vector<std::string> exported = ExportedActions(BuiltExportList());
    for (auto &name : exported)
        if (!FindAction(name))
            run.warnings.push_back("warning: " + name + " is in the export list but not in this build of the library");

    run.propertiesBefore = m.installer.properties;
    run.messageBoxesBefore = m.messageBoxes.size();
    run.mailslotsBefore = m.mailslotLog.size();
    // The registry and the files: what the run touches, as it changes it.
    winsim::ChangeJournal journal(m);
    TakeSectionSnapshots(m, run.sectionsBefore);
    run.startMs = winsim::ClockMs();

    // Each sequence of a run of several is an installer run of its own on the
    // machine the one before left: a new session with the machine's
    // properties, its own and the command line's.
    std::vector<std::pair<const Sequence *, std::string>> planned;
    if (!actionNames.empty())
        for (auto &name : actionNames) planned.emplace_back(nullptr, name);
    else
        for (const Sequence *s : sequences)
            for (auto &name : s->actions) planned.emplace_back(run.sequences.empty() ? nullptr : s, name);
    MSIHANDLE session = winsim::OpenInstallerSession();
    bool ended = false;
    for (size_t i = 0; i < planned.size(); ++i) {
        const std::string &name = planned[i].second;
        const Sequence *owner = planned[i].first;
        if (owner && i > 0 && planned[i - 1].first != owner && !ended) {
            MsiCloseHandle(session);
            m.installer.properties = machineProperties;
            if (!setupProperty.empty()) m.installer.properties["SETUPDIR"] = setupProperty;
            // The installer registered the product, or removed it.
            m.products[QL_PRODUCT_CODE].state = std::string(planned[i - 1].first->name) == "uninstall"
                                                    ? INSTALLSTATE_ABSENT
                                                    : INSTALLSTATE_DEFAULT;
            startSequence(*owner);
            for (auto &[k, v] : props) m.installer.properties[k] = v;
            session = winsim::OpenInstallerSession();
        }
        ActionRun a;
        a.name = name;
        a.sequence = owner;
        a.startMs = winsim::ClockMs();
        a.logBegin = m.installer.log.size();
        a.eventBegin = m.installer.propertyEvents.size();
        bool isExported = false;
        for (auto &e : exported) isExported = isExported || e == name;
        CustomAction fn = isExported ? FindAction(name) : nullptr;
        if (ended) {
            a.reached = false;
        } else if (!fn) {
            a.skipped = isExported ? "not in this build of the library" : "not in the library's export list yet";
        } else {
            // A fault injected under the action's own name stands for its result.
            DWORD fault = winsim::TakeFault(name.c_str());
            a.faultInjected = fault != 0;
            if (fault)
                a.result = (UINT)fault;
            else {
                std::vector<winsim::OpenHandleInfo> before = winsim::OpenHandles();
                a.console = CaptureStdout([&] { a.result = fn(session); });
                a.handlesLeft = HandlesLeft(before, winsim::OpenHandles());
            }
            a.ran = true;
            a.outcome = OutcomeOf(name, a.result);
            ended = a.outcome.stops;
        }
        a.logEnd = m.installer.log.size();
        a.eventEnd = m.installer.propertyEvents.size();
        a.endMs = winsim::ClockMs();
        for (auto &w : CutWarnings(m.installer.propertyEvents, a.eventBegin, a.eventEnd, name))
            run.warnings.push_back(w);
        run.actions.push_back(a);
    }
    MsiCloseHandle(session);
    run.endMs = winsim::ClockMs();
    run.propertiesAfter = m.installer.properties;
    SnapTouchedRegistry(journal, run.registryBefore, run.registryAfter);
    SnapTouchedFiles(journal, run.filesBefore, run.filesAfter);
    TakeSectionSnapshots(m, run.sectionsAfter);

    std::string error;
    if (!WriteReport(run, std::cout, outDir, error)) {
        std::cerr << "qlsetrun: " << error << "\n";
        return kExitOutput;
    }
    return ExitCodeForLogValue(run.WorstLogValue());
}
