#include "Report.h"

#include "VerboseLog.h"

#include "ProductReport.h"
#include "actions/Frame.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace qlsetrun {

namespace {

SectionText Text(const std::string &text) { return {text, text.empty()}; }

// The snapshot a section took before or after the run ("" when it took none),
// whole or a line at a time.
std::string SnapshotOf(const std::map<std::string, std::string> &from, const char *title) {
    auto it = from.find(title);
    return it == from.end() ? std::string() : it->second;
}

std::vector<std::string> SnapshotLines(const std::map<std::string, std::string> &from, const char *title) {
    std::vector<std::string> out;
    std::istringstream in(SnapshotOf(from, title));
    std::string line;
    while (std::getline(in, line)) out.push_back(line);
    return out;
}

SectionText InstallerLog(const Run &run, const Section &) { return {VerboseLog(run), false}; }
SectionText InstallerLogShort(const Run &run, const Section &) { return {VerboseLog(run, false), false}; }

SectionText MessageBoxes(const Run &run, const Section &) {
    std::ostringstream o;
    const auto &boxes = run.machine->messageBoxes;
    for (size_t i = run.messageBoxesBefore; i < boxes.size(); ++i) {
        const char *answer = nullptr;
        for (auto &a : AnswerNames())
            if (a.id == boxes[i].answer) answer = a.name;
        o << "\"" << boxes[i].caption << "\": \"" << boxes[i].text << "\" -> "
          << (answer ? answer : std::to_string(boxes[i].answer).c_str()) << "\n";
    }
    return Text(o.str());
}

// Some steps print a line on standard output; the report is qlsetrun's
// standard output, so the runner catches those lines and shows them here.
SectionText ConsoleOutput(const Run &run, const Section &) {
    std::ostringstream o;
    for (auto &a : run.actions) {
        std::istringstream lines(a.console);
        std::string line;
        while (std::getline(lines, line)) o << a.name << ": " << line << "\n";
    }
    return Text(o.str());
}

// An action closes what it opens; what it left is shown, one line each
// ("PostInstall: QLSERVER Key from RegOpenKeyExA").
SectionText HandlesLeftOpen(const Run &run, const Section &) {
    std::ostringstream o;
    for (auto &a : run.actions)
        for (auto &h : a.handlesLeft) o << a.name << ": " << h << "\n";
    return Text(o.str());
}

SectionText PropertiesChanged(const Run &run, const Section &) {
    std::ostringstream o;
    const auto &before = run.propertiesBefore, &after = run.propertiesAfter;
    auto shown = [&](const std::string &k, const std::string &v) { return ShownValue(k, v, after); };
    for (auto &[k, v] : after) {
        auto old = before.find(k);
        if (old == before.end())
            o << k << " = \"" << shown(k, v) << "\"\n";
        else if (old->second != v)
            o << k << " = \"" << shown(k, v) << "\" (was \"" << shown(k, old->second) << "\")\n";
    }
    for (auto &[k, v] : before)
        if (!after.count(k)) o << k << " removed (was \"" << shown(k, v) << "\")\n";
    return Text(o.str());
}

SectionText MailslotMessages(const Run &run, const Section &) {
    std::ostringstream o;
    const auto &log = run.machine->mailslotLog;
    for (size_t i = run.mailslotsBefore; i < log.size(); ++i) o << log[i].slot << ": \"" << log[i].data << "\"\n";
    return Text(o.str());
}

SectionText RegistryChangesSection(const Run &run, const Section &) {
    int count = 0;
    std::string text = RegistryChanges(run.registryBefore, run.registryAfter, &count);
    return {text, count == 0};
}

SectionText Files(const Run &run, const Section &) { return Text(FileChanges(run.filesBefore, run.filesAfter)); }
SectionText Profiles(const Run &run, const Section &) { return Text(ProfileChanges(run.filesBefore, run.filesAfter)); }
SectionText LogFiles(const Run &run, const Section &) { return Text(LogFileChanges(run.filesBefore, run.filesAfter)); }

std::string ComponentNames(const CSettings &s) {
    std::string names;
    const std::pair<int, const char *> parts[] = {{s.InstallManager(), "Manager"}, {s.InstallServer(), "Server"},
                                                  {s.InstallAdmin(), "Admin"},     {s.InstallAlert(), "Alert"},
                                                  {s.InstallHSM(), "HSM"},         {s.InstallPNR(), "PNR"}};
    for (auto &p : parts)
        if (p.first) names += (names.empty() ? "" : " ") + std::string(p.second);
    return names.empty() ? "(none)" : names;
}

std::string DatabaseNames(const CSettings &s) {
    std::string names;
    if (s.InstallSQL()) names = "SQL";
    if (s.InstallRAIMA()) names += names.empty() ? "RAIMA" : " RAIMA";
    return names.empty() ? "(none)" : names;
}

// Every action that runs the prologue rebuilds the settings, and the
// prologue always names a log file. Without such an action they are built
// here the same way, so that the section shows what setup makes of the
// machine and the setup directory. This touches the machine, so the
// section is the table's last.
SectionText Settings(const Run &run, const Section &) {
    std::ostringstream o;
    const bool builtHere = *g_Settings.LogFile() == '\0';
    if (builtHere) {
        const auto &events = run.machine->installer.propertyEvents;
        const size_t eventsBefore = events.size();
        MSIHANDLE again = winsim::OpenInstallerSession();
        tagSETUP_INFO info;
        SetSetupInfo(again, &info, run.sequence && run.sequence->name == std::string("uninstall") ? 1 : 0);
        g_Settings.Initialize();
        MsiCloseHandle(again);
        o << "(no action that ran built them; built here as the actions' prologue does)\n";
        for (auto &w : CutWarnings(events, eventsBefore, events.size(), "the prologue")) o << w << "\n";
    }
    const CSettings &s = g_Settings;
    auto text = [&](const char *name, const char *value) { o << name << " = \"" << (value ? value : "") << "\"\n"; };
    auto number = [&](const char *name, long value) { o << name << " = " << value << "\n"; };
    text("SourcePath", s.SourcePath());
    text("BatchFile", s.BatchFile());
    text("LogFile", s.LogFile());
    number("ProductType", s.ProductType());
    number("ProductSubType", s.ProductSubType());
    text("Product", s.Product());
    text("ComponentCode", s.ComponentCode());
    text("QuillbakPath", s.QuillbakPath());
    text("AlertPath", s.AlertPath());
    text("ClientAgentPath", s.ClientAgentPath());
    o << "Components = " << ComponentNames(s) << "\n";
    o << "Databases = " << DatabaseNames(s) << "\n";
    number("CustomSetup", s.CustomSetup());
    number("OverwriteDB", s.OverwriteDB());
    number("DeleteQueue", s.DeleteQueue());
    number("BatchOperation", s.BatchOperation());
    number("IsCopyOnlyMode", s.IsCopyOnlyMode());
    number("RemoteSetup", s.RemoteSetup());
    text("RemoteHostServer", s.RemoteHostServer());
    number("HSMAvailable", s.HSMAvailable());
    number("PNRFWAvailable", s.PNRFWAvailable());
    number("ChangerAvailable", s.ChangerAvailable());
    number("RAIDAvailable", s.RAIDAvailable());
    text("PNRFWSetupFileName", s.PNRFWSetupFileName());
    text("LaunchSetupProductName", s.LaunchSetupProductName());
    text("LaunchSetupFileName", s.LaunchSetupFileName());
    text("RegisteredUser", s.RegisteredUser());
    text("RegisteredCompany", s.RegisteredCompany());
    text("SystemAccountServer", s.SystemAccountServer());
    text("SystemAccountDomain", s.SystemAccountDomain());
    text("SystemAccountName", s.SystemAccountName());
    // The password is only shown as set or not.
    o << "SystemAccountPassword = " << (*s.SystemAccountPassword() ? "(set)" : "(empty)") << "\n";
    return Text(o.str());
}

// The programs the actions started, one a line, numbered so that a second
// start of the same program is a line of its own.
std::string ProgramLines(const winsim::Machine &machine) {
    std::string lines;
    for (size_t i = 0; i < machine.processLog.size(); ++i) {
        const winsim::ProcessRecord &p = machine.processLog[i];
        lines += "#" + std::to_string(i + 1) + " " + p.commandLine + " (in " + p.currentDirectory + ")\n";
    }
    return lines;
}

// Users, alias memberships and rights, one a line; the run's lines are the
// accounts it created, the groups it joined and the rights it granted.
// Passwords are never among them.
std::string AccountLines(const winsim::Machine &machine) {
    std::string lines;
    for (const std::string &l : winsim::DescribeAccounts(machine)) lines += l + "\n";
    return lines;
}

// ---- running programs: asked to close, ended, left running --------------------------
std::string RunningProgramLines(const winsim::Machine &machine) {
    std::string lines;
    for (const winsim::ProcessInfo &p : winsim::SnapshotProcesses(const_cast<winsim::Machine &>(machine))) {
        std::string state;
        if (p.running)
            state = p.closeRequested ? "asked to close, left running" : "running";
        else if (p.terminated)
            state = "ended by force, exit code " + std::to_string(p.exitCode);
        else
            state = std::string(p.closeRequested ? "closed when asked" : "ended") + ", exit code " +
                    std::to_string(p.exitCode);
        lines += p.image + " (pid " + std::to_string(p.pid) + "): " + state + "\n";
    }
    return lines;
}

// Every program after the run: "+ " what the run started or changed, "  " what
// it left as it was.
SectionText RunningPrograms(const Run &run, const Section &self) {
    const std::vector<std::string> before = SnapshotLines(run.sectionsBefore, self.title),
                                   after = SnapshotLines(run.sectionsAfter, self.title);
    std::string text;
    for (const std::string &l : after)
        text += (std::find(before.begin(), before.end(), l) == before.end() ? "+ " : "  ") + l + "\n";
    return Text(text);
}

// ---- shares: each share with its access list, before and after -------------------
std::string ShareLines(const winsim::Machine &machine) {
    std::string lines;
    for (const std::string &l : winsim::DescribeShares(machine)) lines += l + "\n";
    return lines;
}

// A share's block is its line and the indented lines of its entries.
std::map<std::string, std::string> ShareBlocks(const std::string &text, std::vector<std::string> *order) {
    std::map<std::string, std::string> blocks;
    std::istringstream in(text);
    std::string line, current;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] != ' ') {
            current = line.substr(0, line.find(' '));
            if (order) order->push_back(current);
        }
        blocks[current] += line + "\n";
    }
    return blocks;
}

std::string Marked(const std::string &block, const char *mark) {
    std::istringstream in(block);
    std::string line, out;
    while (std::getline(in, line)) out += mark + line + "\n";
    return out;
}

// Every share after the run ("  " kept, "+ " new or changed, "- " gone or
// as it was before a change), so the access lists can be read whole.
SectionText Shares(const Run &run, const Section &self) {
    std::vector<std::string> order;
    auto before = ShareBlocks(SnapshotOf(run.sectionsBefore, self.title), nullptr);
    auto after = ShareBlocks(SnapshotOf(run.sectionsAfter, self.title), &order);
    std::string out;
    for (const std::string &name : order) {
        auto was = before.find(name);
        if (was == before.end())
            out += Marked(after[name], "+ ");
        else if (was->second != after[name])
            out += Marked(was->second, "- ") + Marked(after[name], "+ ");
        else
            out += Marked(after[name], "  ");
    }
    for (auto &b : before)
        if (!after.count(b.first)) out += Marked(b.second, "- ");
    return Text(out);
}

// ---- services: what the run created, changed, started, stopped, deleted ------------
std::string ServiceLines(const winsim::Machine &machine) {
    // The manager's report moves the scripts on to the clock's time.
    winsim::ServiceSnapshot services = winsim::SnapshotServices(const_cast<winsim::Machine &>(machine));
    std::string lines;
    for (const winsim::ServiceInfo &s : services)
        lines += s.name + "\t" + s.displayName + "\t" + s.imagePath + "\t" + s.account + "\t" +
                 std::to_string(s.startType) + "\t" + std::to_string(s.state) + "\t" +
                 (s.markedForDelete ? "1" : "0") + "\n";
    return lines;
}

winsim::ServiceSnapshot ParseServices(const std::string &text) {
    winsim::ServiceSnapshot services;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        std::string field;
        while (std::getline(fields, field, '\t')) f.push_back(field);
        if (f.size() != 7) continue;
        winsim::ServiceInfo s;
        s.name = f[0];
        s.displayName = f[1];
        s.imagePath = f[2];
        s.account = f[3];
        s.startType = (DWORD)std::stoul(f[4]);
        s.state = (DWORD)std::stoul(f[5]);
        s.markedForDelete = f[6] == "1";
        services.push_back(s);
    }
    return services;
}

SectionText Services(const Run &run, const Section &self) {
    std::string out;
    for (const std::string &l :
         winsim::DiffServices(ParseServices(SnapshotOf(run.sectionsBefore, self.title)),
                              ParseServices(SnapshotOf(run.sectionsAfter, self.title))))
        out += l + "\n";
    return Text(out);
}

// ---- the product branch as the registry object reads it ------------------------------
std::string ProductBranchLines(const winsim::Machine &) { return DescribeProductBranch(); }

SectionText ProductBranch(const Run &run, const Section &self) {
    const std::string before = SnapshotOf(run.sectionsBefore, self.title),
                      after = SnapshotOf(run.sectionsAfter, self.title);
    if (before == after) return Text(after);
    return Text("before the run:\n" + Marked(before, "  ") + "after the run:\n" + Marked(after, "  "));
}

std::string MachineLine(const Run &run) {
    const winsim::Machine &m = *run.machine;
    std::ostringstream o;
    o << "Machine: " << m.name << " (Windows " << m.majorVersion << "." << m.minorVersion << "." << m.buildNumber
      << (m.csdVersion.empty() ? "" : ", " + m.csdVersion) << ")"
      << (run.machineDir.empty() ? ", built-in default machine" : ", image " + run.machineDir);
    return o.str();
}

std::string ActionList(const std::vector<ActionRun> &actions) {
    std::string list;
    for (auto &a : actions) list += (list.empty() ? "" : ", ") + a.name;
    return list;
}

void Header(const Run &run, std::ostream &o) {
    o << MachineLine(run) << "\n";
    if (run.namedActions)
        o << "Ran: the actions " << ActionList(run.actions) << " (named on the command line; installer properties of the "
          << run.sequence->name << " sequence)\n";
    else if (run.sequences.empty())
        o << "Ran: the " << run.sequence->name << " sequence: " << ActionList(run.actions) << "\n";
    else {
        o << "Ran: the sequences";
        for (const Sequence *s : run.sequences) o << (s == run.sequences.front() ? " " : ", ") << s->name;
        o << " one after the other on the same machine; the sections show the changes over the whole run\n";
    }
    if (!run.setupDir.empty()) o << "Setup directory: " << run.setupDir << " as D:\\SETUP\\\n";
    if (!run.warnings.empty()) {
        o << "== Warnings\n";
        for (auto &w : run.warnings) o << "   " << w << "\n";
    }
    o << "== Actions\n";
    for (size_t i = 0; i < run.actions.size(); ++i) {
        const ActionRun &a = run.actions[i];
        if (a.sequence && (i == 0 || run.actions[i - 1].sequence != a.sequence))
            o << "   -- the " << a.sequence->name << " sequence\n";
        o << "   " << a.name << ": ";
        if (!a.reached)
            o << "not run (the sequence had ended)\n";
        else if (!a.ran)
            o << "skipped (" << a.skipped << ")\n";
        else
            o << "returned " << ResultText(a.result) << (a.faultInjected ? " by an injected fault" : "")
              << ": Return value " << a.outcome.logValue << " (" << a.outcome.meaning << ")\n";
        if (a.ran && a.result == 0 && a.name == "PreInstall") o << "   (the installer copies the files here)\n";
        if (a.ran && a.result == 0 && a.name == "PreUninstall") o << "   (the installer removes the files here)\n";
    }
}

void Indented(const std::string &text, std::ostream &o) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        o << (line.empty() ? "" : "   ") << line << "\n";
    }
}

}  // namespace

const std::vector<Section> &Sections() {
    static const std::vector<Section> kSections = {
        {"Installer log", "install.log", InstallerLog, InstallerLogShort, nullptr},
        {"Message boxes", "messageboxes.txt", MessageBoxes, nullptr, nullptr},
        {"Console output", "console.txt", ConsoleOutput, nullptr, nullptr},
        {"Handles left open", "handles.txt", HandlesLeftOpen, nullptr, nullptr},
        {"Properties changed", "properties.txt", PropertiesChanged, nullptr, nullptr},
        {"Mailslot messages", "mailslots.txt", MailslotMessages, nullptr, nullptr},
        {"Registry changes", "changes.reg", RegistryChangesSection, nullptr, nullptr},
        {"File changes", "files.txt", Files, nullptr, nullptr},
        {"Profile file changes", "profiles.txt", Profiles, nullptr, nullptr},
        {"Log file lines", "logfiles.txt", LogFiles, nullptr, nullptr},
        {"Programs started", "programs.txt", LineChanges, nullptr, ProgramLines},
        {"Services", "services.txt", Services, nullptr, ServiceLines},
        {"Accounts", "accounts.txt", LineChanges, nullptr, AccountLines},
        {"Running programs", "running.txt", RunningPrograms, nullptr, RunningProgramLines},
        {"Shares", "shares.txt", Shares, nullptr, ShareLines},
        {"Product registry", "product.txt", ProductBranch, nullptr, ProductBranchLines},
        {"Settings", "settings.txt", Settings, nullptr, nullptr},  // last: it may run the prologue
    };
    return kSections;
}

void TakeSectionSnapshots(const winsim::Machine &machine, std::map<std::string, std::string> &into) {
    for (auto &section : Sections())
        if (section.snapshot) into[section.title] = section.snapshot(machine);
}

SectionText LineChanges(const Run &run, const Section &self) {
    const std::vector<std::string> before = SnapshotLines(run.sectionsBefore, self.title),
                                   after = SnapshotLines(run.sectionsAfter, self.title);
    auto contains = [](const std::vector<std::string> &v, const std::string &l) {
        for (auto &x : v)
            if (x == l) return true;
        return false;
    };
    std::string text;
    for (auto &l : before)
        if (!contains(after, l)) text += "- " + l + "\n";
    for (auto &l : after)
        if (!contains(before, l)) text += "+ " + l + "\n";
    return Text(text);
}

bool WriteReport(const Run &run, std::ostream &screen, const std::string &outDir, std::string &error) {
    std::ostringstream head;
    Header(run, head);
    screen << head.str();
    std::error_code ec;
    if (!outDir.empty()) {
        fs::create_directories(outDir, ec);
        if (ec || !fs::is_directory(outDir)) {
            error = "cannot create the folder " + outDir + (ec ? ": " + ec.message() : "");
            return false;
        }
    }
    auto write = [&](const std::string &name, const std::string &text) {
        std::ofstream out(fs::path(outDir) / name, std::ios::binary);
        out << text;
        if (!out) error = "cannot write " + (fs::path(outDir) / name).string();
        return (bool)out;
    };
    std::string whole = head.str();
    for (auto &section : Sections()) {
        SectionText t = section.render(run, section);
        const SectionText onScreen = section.screen ? section.screen(run, section) : t;
        std::ostringstream shown;
        shown << "== " << section.title << "\n";
        if (onScreen.empty)
            shown << "   (none)\n";
        else
            Indented(onScreen.text, shown);
        screen << shown.str();
        whole += shown.str();
        if (!outDir.empty() && !write(section.file, t.text)) return false;
    }
    const int worst = run.WorstLogValue();
    std::ostringstream result;
    result << "Result: ";
    const ActionRun *ended = nullptr;
    for (auto &a : run.actions)
        if (!ended && a.ran && a.outcome.logValue > 1) ended = &a;
    if (ended)
        result << ended->name << " returned " << ResultText(ended->result) << ", Return value "
               << ended->outcome.logValue << "; msiexec would return "
               << InstallerResultForLogValue(ended->outcome.logValue);
    else
        result << "every action that ran succeeded";
    result << " (exit code " << ExitCodeForLogValue(worst) << ")\n";
    screen << result.str();
    whole += result.str();
    if (!outDir.empty() && !write("report.txt", whole)) return false;
    return true;
}

}  // namespace qlsetrun
