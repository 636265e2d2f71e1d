// qlsetrun: runs the library's custom actions on a simulated machine in the
// order the installation package sequences them, and reports what they did.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <winsim/machine.h>

#include "actions/Frame.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

typedef UINT(WINAPI *CustomAction)(MSIHANDLE);

// Every custom action the library exports.
const char *const kActions[] = {"AllowInstall",      "AllowUninstall",   "GetSetupInformation",
                                "GetExistDatabaseType", "IsAdministrator", "PreInstall",
                                "PostInstall",       "PreUninstall",     "PostUninstall",
                                "CreateJobQueue",    "InstallDiscoveryService", "InstallVaxwall",
                                "LaunchProductSetup", "RemoveSQLDatabase", "CreateSystemAccount",
                                "SetQuillbakDatabaseType", "InstallTest"};

// The package's sequences. Between PreInstall and PostInstall the installer
// copies the files; between PreUninstall and PostUninstall it removes them.
struct Sequence {
    const char *name;
    std::vector<std::string> actions;
    std::map<std::string, std::string> properties;  // what the installer sets for this kind of run
};

const std::vector<Sequence> &Sequences() {
    static const std::vector<Sequence> kSequences = {
        {"install",
         {"AllowInstall", "GetSetupInformation", "GetExistDatabaseType", "IsAdministrator", "PreInstall",
          "PostInstall", "SetQuillbakDatabaseType", "CreateSystemAccount", "LaunchProductSetup"},
         {}},
        {"upgrade",
         {"AllowInstall", "GetSetupInformation", "GetExistDatabaseType", "IsAdministrator", "PreInstall",
          "PostInstall", "SetQuillbakDatabaseType", "CreateSystemAccount", "LaunchProductSetup"},
         {}},
        {"maintenance",
         {"AllowInstall", "GetSetupInformation", "PreInstall", "PostInstall", "LaunchProductSetup"},
         {{"REINSTALL", "ALL"}, {"Installed", "1"}}},
        {"uninstall",
         {"AllowUninstall", "PreUninstall", "RemoveSQLDatabase", "PostUninstall"},
         {{"REMOVE", "ALL"}, {"Installed", "1"}}},
    };
    return kSequences;
}

bool IsKnownAction(const std::string &name) {
    for (const char *a : kActions)
        if (name == a) return true;
    return false;
}

void Usage(std::ostream &out) {
    out << "usage: qlsetrun [--machine DIR] [--setup DIR] [--sequence install|upgrade|maintenance|uninstall]\n"
           "                [--answer N]... [NAME=value]... [ACTION]...\n"
           "Runs the custom actions of QLSETGUI on a simulated Windows machine (the built-in\n"
           "Windows 2000 server, or the machine image in DIR) and reports what they did.\n"
           "Named actions run in the order given; without any, the sequence runs (install by default).\n"
           "NAME=value sets an installer property; --answer scripts the next message box answer.\n"
           "--setup DIR copies the setup directory DIR (QLBSETUP.INF, QUILLBAK.ICF, ...) to the\n"
           "CD-ROM drive as D:\\SETUP\\ and sets SETUPDIR to it. The report ends with the settings.\n";
}

// ---- snapshots of the machine, for the report of changes -------------------
struct RegSnapshot {
    std::map<std::string, std::map<std::string, std::pair<DWORD, std::vector<BYTE>>>> keys;
};

void WalkKey(const winsim::RegKey &k, const std::string &path, RegSnapshot &s) {
    auto &vals = s.keys[path];
    for (auto &v : k.values) vals[v.name] = {v.type, v.data};
    for (auto &child : k.subkeys) WalkKey(*child.second, path + "\\" + child.second->name, s);
}

RegSnapshot SnapRegistry(winsim::Machine &m) {
    RegSnapshot s;
    WalkKey(*m.registry.hklm, "HKEY_LOCAL_MACHINE", s);
    WalkKey(*m.registry.hku, "HKEY_USERS", s);
    return s;
}

std::string ShowValue(DWORD type, const std::vector<BYTE> &data) {
    std::ostringstream o;
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && !data.empty()) {
        std::string t(data.begin(), data.end());
        t = t.c_str();
        o << (type == REG_EXPAND_SZ ? "expand:\"" : "\"") << t << "\"";
    } else if (type == REG_DWORD && data.size() == 4) {
        DWORD d;
        memcpy(&d, data.data(), 4);
        char buf[16];
        snprintf(buf, sizeof buf, "dword:%08x", d);
        o << buf;
    } else {
        o << "hex(" << type << "):";
        for (size_t i = 0; i < data.size(); ++i) {
            char buf[4];
            snprintf(buf, sizeof buf, "%02x", data[i]);
            o << (i ? "," : "") << buf;
        }
    }
    return o.str();
}

void ReportRegistry(const RegSnapshot &before, const RegSnapshot &after) {
    std::cout << "== Registry changes\n";
    int n = 0;
    for (auto &[path, vals] : before.keys)
        if (!after.keys.count(path)) {
            std::cout << "   - [" << path << "]\n";
            ++n;
        }
    for (auto &[path, vals] : after.keys) {
        auto old = before.keys.find(path);
        if (old == before.keys.end()) {
            std::cout << "   + [" << path << "]\n";
            ++n;
        }
        for (auto &[name, tv] : vals) {
            const std::string shown = name.empty() ? "@" : "\"" + name + "\"";
            if (old == before.keys.end() || !old->second.count(name)) {
                std::cout << "   + [" << path << "] " << shown << "=" << ShowValue(tv.first, tv.second) << "\n";
                ++n;
            } else if (old->second.at(name) != tv) {
                std::cout << "   * [" << path << "] " << shown << "=" << ShowValue(tv.first, tv.second) << " (was "
                          << ShowValue(old->second.at(name).first, old->second.at(name).second) << ")\n";
                ++n;
            }
        }
        if (old != before.keys.end())
            for (auto &[name, tv] : old->second)
                if (!vals.count(name)) {
                    std::cout << "   - [" << path << "] " << (name.empty() ? "@" : "\"" + name + "\"") << "\n";
                    ++n;
                }
    }
    if (!n) std::cout << "   (none)\n";
}

struct FileInfo {
    bool dir = false;
    std::string content;
};
using FileSnapshot = std::map<std::string, FileInfo>;

FileSnapshot SnapFiles(winsim::Machine &m) {
    FileSnapshot s;
    for (auto &[letter, drive] : m.drives) {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(drive.hostRoot, ec); it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            if (ec) break;
            std::string rel = fs::relative(it->path(), drive.hostRoot).string();
            for (char &c : rel)
                if (c == '/') c = '\\';
            FileInfo info;
            info.dir = it->is_directory();
            if (!info.dir) {
                std::ifstream in(it->path(), std::ios::binary);
                std::stringstream ss;
                ss << in.rdbuf();
                info.content = ss.str();
            }
            s[std::string(1, letter) + ":\\" + rel] = info;
        }
    }
    return s;
}

bool IsLogName(const std::string &path) {
    return path.size() > 4 && winsim::EqualNoCase(path.substr(path.size() - 4), ".LOG");
}

void ReportFiles(const FileSnapshot &before, const FileSnapshot &after) {
    std::cout << "== File changes\n";
    int n = 0;
    std::vector<std::string> logs;
    for (auto &[path, info] : before)
        if (!after.count(path)) {
            std::cout << "   - " << path << (info.dir ? "\\" : "") << "\n";
            ++n;
        }
    for (auto &[path, info] : after) {
        auto old = before.find(path);
        if (old == before.end()) {
            std::cout << "   + " << path << (info.dir ? "\\" : " (" + std::to_string(info.content.size()) + " bytes)")
                      << "\n";
            ++n;
        } else if (!info.dir && old->second.content != info.content) {
            std::cout << "   * " << path << " (" << info.content.size() << " bytes)\n";
            ++n;
        } else {
            continue;
        }
        if (!info.dir && IsLogName(path)) logs.push_back(path);
    }
    if (!n) std::cout << "   (none)\n";
    for (auto &path : logs) {
        std::cout << "== Log file " << path << "\n";
        std::istringstream in(after.at(path).content);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::cout << "   " << line << "\n";
        }
    }
}

const char *MessageKind(DWORD kind) {
    switch (kind) {
    case INSTALLMESSAGE_FATALEXIT: return "FATAL";
    case INSTALLMESSAGE_ERROR: return "ERROR";
    case INSTALLMESSAGE_WARNING: return "WARNING";
    case INSTALLMESSAGE_USER: return "USER";
    case INSTALLMESSAGE_INFO: return "INFO";
    case INSTALLMESSAGE_ACTIONSTART: return "ACTIONSTART";
    case INSTALLMESSAGE_ACTIONDATA: return "ACTIONDATA";
    case INSTALLMESSAGE_PROGRESS: return "PROGRESS";
    default: return "MESSAGE";
    }
}

std::string ResultText(UINT r) {
    switch (r) {
    case 0: return "0 (success)";
    case 1: return "1 (failure)";
    case 1602: return "1602 (user exit)";
    case 1603: return "1603 (fatal error)";
    case 4097: return "4097 (not an administrator)";
    default: return std::to_string(r);
    }
}

// Copies a host folder onto the machine as D:\SETUP\, adding a CD-ROM drive D:
// when the machine has no drive of that letter.
bool CopySetupDirectory(winsim::Machine &m, const std::string &hostDir, std::string &error) {
    std::error_code ec;
    if (!fs::is_directory(hostDir, ec)) {
        error = hostDir + " is not a folder";
        return false;
    }
    if (!m.drives.count('D')) m.AddDrive('D', DRIVE_CDROM);
    m.MakeDirs("D:\\SETUP");
    for (auto it = fs::recursive_directory_iterator(hostDir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::string rel = fs::relative(it->path(), hostDir, ec).string();
        if (ec) break;
        for (char &c : rel)
            if (c == '/') c = '\\';
        const std::string target = "D:\\SETUP\\" + rel;
        if (it->is_directory()) {
            m.MakeDirs(target);
        } else if (it->is_regular_file()) {
            std::ifstream in(it->path(), std::ios::binary);
            if (!in) {
                error = "cannot read " + it->path().string();
                return false;
            }
            std::stringstream ss;
            ss << in.rdbuf();
            m.PutFile(target, ss.str());
        }
    }
    if (ec) {
        error = hostDir + ": " + ec.message();
        return false;
    }
    return true;
}

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

void ReportSettings(const CSettings &s, bool builtHere) {
    std::cout << "== Settings\n";
    if (builtHere)
        std::cout << "   (no action that ran built them; built here as the actions' prologue does)\n";
    auto text = [](const char *name, const char *value) {
        std::cout << "   " << name << " = \"" << (value ? value : "") << "\"\n";
    };
    auto number = [](const char *name, long value) { std::cout << "   " << name << " = " << value << "\n"; };
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
    std::cout << "   Components = " << ComponentNames(s) << "\n";
    std::cout << "   Databases = " << DatabaseNames(s) << "\n";
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
    std::cout << "   SystemAccountPassword = " << (*s.SystemAccountPassword() ? "(set)" : "(empty)") << "\n";
}

}  // namespace

int main(int argc, char **argv) {
    std::string machineDir, setupDir, sequenceName = "install";
    std::vector<std::string> actions;
    std::vector<std::pair<std::string, std::string>> props;
    std::vector<int> answers;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            Usage(std::cout);
            return 0;
        } else if (a == "--machine" || a == "--setup" || a == "--sequence" || a == "--answer") {
            if (i + 1 >= argc) {
                std::cerr << "qlsetrun: " << a << " needs a value\n";
                return 2;
            }
            std::string v = argv[++i];
            if (a == "--machine") {
                machineDir = v;
            } else if (a == "--setup") {
                setupDir = v;
            } else if (a == "--sequence") {
                sequenceName = v;
            } else {
                char *end = nullptr;
                long n = strtol(v.c_str(), &end, 10);
                if (v.empty() || *end || n < 1 || n > 7) {
                    std::cerr << "qlsetrun: --answer takes a button number from 1 (IDOK) to 7 (IDNO)\n";
                    return 2;
                }
                answers.push_back((int)n);
            }
        } else if (!a.empty() && a[0] == '-') {
            std::cerr << "qlsetrun: unknown option " << a << "\n";
            Usage(std::cerr);
            return 2;
        } else if (a.find('=') != std::string::npos && a.find('=') > 0) {
            props.emplace_back(a.substr(0, a.find('=')), a.substr(a.find('=') + 1));
        } else {
            if (!IsKnownAction(a)) {
                std::cerr << "qlsetrun: unknown action " << a << " (the library's custom actions are:";
                for (const char *k : kActions) std::cerr << " " << k;
                std::cerr << ")\n";
                return 2;
            }
            actions.push_back(a);
        }
    }

    const Sequence *seq = nullptr;
    for (auto &s : Sequences())
        if (sequenceName == s.name) seq = &s;
    if (!seq) {
        std::cerr << "qlsetrun: unknown sequence " << sequenceName
                  << " (install, upgrade, maintenance or uninstall)\n";
        return 2;
    }

    winsim::Machine *m = nullptr;
    try {
        m = machineDir.empty() ? &winsim::CreateDefaultMachine() : &winsim::LoadMachineImage(machineDir);
    } catch (const std::exception &e) {
        std::cerr << "qlsetrun: cannot load the machine: " << e.what() << "\n";
        return 3;
    }
    winsim::SetLocalMachine(*m);
    for (auto &[k, v] : seq->properties) m->installer.properties[k] = v;
    if (!setupDir.empty()) {
        std::string error;
        if (!CopySetupDirectory(*m, setupDir, error)) {
            std::cerr << "qlsetrun: cannot copy the setup directory: " << error << "\n";
            return 3;
        }
        m->installer.properties["SETUPDIR"] = "D:\\SETUP\\";
    }
    for (auto &[k, v] : props) m->installer.properties[k] = v;
    m->scriptedAnswers = answers;
    if (actions.empty()) actions = seq->actions;

    std::cout << "Machine: " << m->name << " (Windows " << m->majorVersion << "." << m->minorVersion << "."
              << m->buildNumber << (m->csdVersion.empty() ? "" : ", " + m->csdVersion) << ")"
              << (machineDir.empty() ? ", built-in default machine" : ", image " + machineDir) << "\n";
    std::cout << "Sequence: " << seq->name << "\n";
    if (!setupDir.empty()) std::cout << "Setup directory: " << setupDir << " as D:\\SETUP\\\n";

    const auto propsBefore = m->installer.properties;
    const RegSnapshot regBefore = SnapRegistry(*m);
    const FileSnapshot filesBefore = SnapFiles(*m);

    MSIHANDLE session = winsim::OpenInstallerSession();
    int ran = 0;
    for (auto &name : actions) {
        std::cout << "== " << name << "\n";
        void *sym = dlsym(RTLD_DEFAULT, name.c_str());
        if (!sym) {
            std::cout << "   not in this build of the library\n";
            continue;
        }
        CustomAction fn;
        memcpy(&fn, &sym, sizeof fn);
        UINT r = fn(session);
        ++ran;
        std::cout << "   result: " << ResultText(r) << "\n";
        if (name == "PreInstall" && r == 0) std::cout << "   (the installer copies the files here)\n";
        if (name == "PreUninstall" && r == 0) std::cout << "   (the installer removes the files here)\n";
    }
    MsiCloseHandle(session);
    if (!ran) std::cout << "No custom action ran: none of these is in this build of the library yet.\n";

    std::cout << "== Installer log\n";
    if (m->installer.log.empty()) std::cout << "   (empty)\n";
    for (auto &e : m->installer.log) std::cout << "   [" << MessageKind(e.kind) << "] " << e.text << "\n";

    std::cout << "== Message boxes\n";
    if (m->messageBoxes.empty()) std::cout << "   (none)\n";
    for (auto &b : m->messageBoxes)
        std::cout << "   \"" << b.caption << "\": \"" << b.text << "\" -> " << b.answer << "\n";

    std::cout << "== Properties changed\n";
    int changed = 0;
    for (auto &[k, v] : m->installer.properties) {
        auto old = propsBefore.find(k);
        if (old == propsBefore.end()) {
            std::cout << "   " << k << " = \"" << v << "\"\n";
            ++changed;
        } else if (old->second != v) {
            std::cout << "   " << k << " = \"" << v << "\" (was \"" << old->second << "\")\n";
            ++changed;
        }
    }
    for (auto &[k, v] : propsBefore)
        if (!m->installer.properties.count(k)) {
            std::cout << "   " << k << " removed (was \"" << v << "\")\n";
            ++changed;
        }
    if (!changed) std::cout << "   (none)\n";

    std::cout << "== Mailslot messages\n";
    int slots = 0;
    for (auto &msg : m->mailslotLog) {
        std::cout << "   " << msg.slot << ": \"" << msg.data << "\"\n";
        ++slots;
    }
    if (!slots) std::cout << "   (none)\n";

    ReportRegistry(regBefore, SnapRegistry(*m));
    ReportFiles(filesBefore, SnapFiles(*m));

    // Every action that runs the prologue rebuilds the settings, and the
    // prologue always names a log file. Without such an action, build them
    // the same way now, after the reports, so that they show what setup
    // makes of the machine and the setup directory.
    const bool builtHere = *g_Settings.LogFile() == '\0';
    if (builtHere) {
        MSIHANDLE again = winsim::OpenInstallerSession();
        tagSETUP_INFO info;
        SetSetupInfo(again, &info, seq->name == std::string("uninstall") ? 1 : 0);
        g_Settings.Initialize();
        MsiCloseHandle(again);
    }
    ReportSettings(g_Settings, builtHere);
    return 0;
}
