#include "Report.h"

#include "VerboseLog.h"

#include "actions/Frame.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace qlsetrun {

namespace {

SectionText Text(const std::string &text) { return {text, text.empty()}; }

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

SectionText PropertiesChanged(const Run &run, const Section &) {
    std::ostringstream o;
    const auto &before = run.propertiesBefore, &after = run.propertiesAfter;
    for (auto &[k, v] : after) {
        auto old = before.find(k);
        if (old == before.end())
            o << k << " = \"" << v << "\"\n";
        else if (old->second != v)
            o << k << " = \"" << v << "\" (was \"" << old->second << "\")\n";
    }
    for (auto &[k, v] : before)
        if (!after.count(k)) o << k << " removed (was \"" << v << "\")\n";
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
    else
        o << "Ran: the " << run.sequence->name << " sequence: " << ActionList(run.actions) << "\n";
    if (!run.setupDir.empty()) o << "Setup directory: " << run.setupDir << " as D:\\SETUP\\\n";
    if (!run.warnings.empty()) {
        o << "== Warnings\n";
        for (auto &w : run.warnings) o << "   " << w << "\n";
    }
    o << "== Actions\n";
    for (auto &a : run.actions) {
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
        {"Properties changed", "properties.txt", PropertiesChanged, nullptr, nullptr},
        {"Mailslot messages", "mailslots.txt", MailslotMessages, nullptr, nullptr},
        {"Registry changes", "changes.reg", RegistryChangesSection, nullptr, nullptr},
        {"File changes", "files.txt", Files, nullptr, nullptr},
        {"Profile file changes", "profiles.txt", Profiles, nullptr, nullptr},
        {"Log file lines", "logfiles.txt", LogFiles, nullptr, nullptr},
        {"Programs started", "programs.txt", LineChanges, nullptr, ProgramLines},
        {"Settings", "settings.txt", Settings, nullptr, nullptr},  // last: it may run the prologue
    };
    return kSections;
}

void TakeSectionSnapshots(const winsim::Machine &machine, std::map<std::string, std::string> &into) {
    for (auto &section : Sections())
        if (section.snapshot) into[section.title] = section.snapshot(machine);
}

SectionText LineChanges(const Run &run, const Section &self) {
    auto lines = [](const std::map<std::string, std::string> &from, const char *title) {
        std::vector<std::string> out;
        auto it = from.find(title);
        if (it == from.end()) return out;
        std::istringstream in(it->second);
        std::string line;
        while (std::getline(in, line)) out.push_back(line);
        return out;
    };
    const std::vector<std::string> before = lines(run.sectionsBefore, self.title),
                                   after = lines(run.sectionsAfter, self.title);
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
