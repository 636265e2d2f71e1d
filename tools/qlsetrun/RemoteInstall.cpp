// qlsetrun as the remote-install front end.
#include "RemoteInstall.h"

#include "Package.h"

#include "settings/SilentConfig.h"
#include "system/QLRemote.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace fs = std::filesystem;

namespace qlsetrun {

namespace {

const char *const kStars = "**********";

std::string ProfileValue(const std::string &file, const char *section, const char *key) {
    char value[512] = "";
    GetPrivateProfileStringA(section, key, "", value, sizeof value, file.c_str());
    return value;
}

// The keys the silent-install functions write, as the report shows them.
std::vector<std::string> WrittenKeys(const std::string &file) {
    std::vector<std::string> lines;
    for (const char *key : {"QuillbakPath", "AlertPath"})
        lines.push_back(std::string("InstallPath ") + key + "=" + ProfileValue(file, "InstallPath", key));
    for (const char *key : {"DefaultDomainName", "DefaultUserName"})
        lines.push_back(std::string("SystemAccount ") + key + "=" + ProfileValue(file, "SystemAccount", key));
    lines.push_back(std::string("SystemAccount DefaultPassword=") + kStars);
    return lines;
}

bool ReadHostFile(const fs::path &path, std::string &data) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::stringstream ss;
    ss << in.rdbuf();
    data = ss.str();
    return true;
}

}  // namespace

std::string MediumProduct() {
    tagPRODUCT_INFO info;
    memset(&info, 0, sizeof info);
    if (!GetProductInfo(&info)) return "";
    return info.szProductName;
}

bool PrepareConsole(winsim::Machine &console, const std::string &setupDir, std::vector<std::string> &warnings,
                    std::string &error) {
    std::error_code ec;
    if (!fs::is_directory(setupDir, ec)) {
        error = setupDir + " is not a folder";
        return false;
    }
    console.MakeDirs(kFrontEndFolder);
    console.MakeDirs(kTargetsFolder);
    console.PutFile(kFrontEndProgram, "");
    console.modulePath = kFrontEndProgram;
    bool haveTemplate = false;
    for (auto &entry : fs::directory_iterator(setupDir, ec)) {
        if (!entry.is_regular_file(ec)) continue;
        std::string name = entry.path().filename().string(), data;
        if (!ReadHostFile(entry.path(), data)) {
            warnings.push_back("warning: cannot read " + entry.path().string() + "; not copied");
            continue;
        }
        console.PutFile(std::string(kFrontEndFolder) + "\\" + name, data);
        haveTemplate = haveTemplate || winsim::EqualNoCase(name, QL_SILENT_CONFIG_FILE);
    }
    if (!haveTemplate)
        warnings.push_back(std::string("warning: the setup folder ") + setupDir + " holds no " + QL_SILENT_CONFIG_FILE +
                           "; no target's file can be made from it");
    return true;
}

std::vector<RemoteResult> PrepareTargets(const std::vector<std::string> &names, const RemoteOptions &options) {
    std::vector<RemoteResult> results;
    results.reserve(names.size());
    for (const std::string &name : names) {
        RemoteResult r;
        r.name = name;
        // As the product's front end does: an administrator's connection to
        // the target's ADMIN$ share first; one with other credentials that
        // is already there serves as well.
        CQLRemote remote(name.c_str(), options.adminUser.c_str(), options.adminPassword.c_str());
        DWORD connected = remote.Connect("ADMIN$", FALSE);
        if (connected != NO_ERROR && connected != ERROR_SESSION_CREDENTIAL_CONFLICT &&
            connected != ERROR_ALREADY_ASSIGNED) {
            r.error = "cannot connect to \\\\" + name + "\\ADMIN$ as " + options.adminUser + " (error " +
                      std::to_string(connected) + ")";
            results.push_back(r);
            continue;
        }
        tagPRODUCT_INFO info;
        memset(&info, 0, sizeof info);
        AllowInstallation(name.c_str(), NULL, NULL, NULL, NULL, &info);
        r.installed = info.bInstalled != 0;
        r.proposedFolder = info.szHomePath;
        const std::string folder = std::string(kTargetsFolder) + "\\" + name;
        CreateDirectoryA(folder.c_str(), NULL);
        r.file = folder + "\\" + QL_SILENT_CONFIG_FILE;
        r.written = GetSilentConfigDefaults(folder.c_str(), name.c_str(), options.account.c_str(),
                                            options.password.c_str()) != 0;
        if (r.written)
            r.keys = WrittenKeys(r.file);
        else
            r.error = "the configuration file could not be created (error " + std::to_string(GetLastError()) + ")";
        results.push_back(r);
    }
    return results;
}

std::vector<std::string> TargetImages(const std::string &hostDir) {
    std::error_code ec;
    fs::path dir(hostDir);
    if (fs::is_regular_file(dir / "machine.ini", ec)) return {hostDir};
    std::vector<std::string> found;
    for (auto &entry : fs::directory_iterator(dir, ec))
        if (entry.is_directory(ec) && fs::is_regular_file(entry.path() / "machine.ini", ec))
            found.push_back(entry.path().string());
    std::sort(found.begin(), found.end());
    return found;
}

void WriteRemoteReport(const std::string &product, const RemoteOptions &options,
                       const std::vector<RemoteResult> &results, const std::vector<std::string> &warnings,
                       std::ostream &out) {
    for (const std::string &w : warnings) out << w << "\n";
    out << "Remote install of " << (product.empty() ? "(no valid product on the medium)" : product) << "\n";
    out << "Service account: " << options.account << " (password " << kStars << ")\n";
    size_t prepared = 0;
    for (const RemoteResult &r : results) {
        out << "\n[" << r.name << "]";
        if (!r.source.empty()) out << " " << r.source;
        out << "\n";
        if (!r.error.empty() && r.proposedFolder.empty()) {
            out << "  not prepared: " << r.error << "\n";
            continue;
        }
        out << "  installed:       " << (r.installed ? "yes" : "no") << "\n";
        out << "  proposed folder: " << r.proposedFolder << "\n";
        out << "  file:            " << r.file << (r.written ? " (written)" : " (not written)") << "\n";
        if (!r.error.empty()) out << "  not prepared: " << r.error << "\n";
        for (const std::string &k : r.keys) out << "    " << k << "\n";
        if (r.written) ++prepared;
    }
    out << "\n" << results.size() << (results.size() == 1 ? " target, " : " targets, ") << prepared << " prepared, "
        << results.size() - prepared << " not prepared\n";
}

namespace {

void RemoteUsage(std::ostream &out) {
    out << "usage: qlsetrun --remote-install --setup DIR [--machine DIR] [--admin USER]\n"
           "                [--admin-password TEXT] [--account ACCOUNT] [--password TEXT]\n"
           "                [--out DIR] TARGET...\n"
           "Prepares the silent configuration file (QUILLBAK.ICF) of each target machine from\n"
           "a console machine (the built-in one, or the image in --machine) where the front end\n"
           "runs with the setup medium DIR beside it (its QUILLBAK.ICF is the template). A TARGET\n"
           "is a machine image folder, or a folder of them. Per target the report gives the\n"
           "folder proposed for the product, whether it is installed there, and the file written\n"
           "(on the console under C:\\QLREMOTE\\TARGETS\\NAME\\). The password never shows.\n"
           "  --admin USER       the targets' administrator the front end connects to their\n"
           "                     ADMIN$ share as: DOMAIN\\user, or a user of each target\n"
           "                     (Administrator by default)\n"
           "  --admin-password TEXT  that administrator's password (empty by default)\n"
           "  --account ACCOUNT  the product's service account, DOMAIN\\user or a user of the\n"
           "                     target (Administrator by default)\n"
           "  --password TEXT    its password (empty by default)\n"
           "  --out DIR          also writes the report to DIR/remote.txt and each target's file\n"
           "                     to DIR/NAME/QUILLBAK.ICF (readable by its owner only)\n"
           "Exit codes: 0 every target prepared; 1 a target could not be prepared; 2 bad command\n"
           "line; 3 the console image or the setup folder cannot be used; 4 --out cannot be written.\n";
}

}  // namespace

int RemoteInstallMain(int argc, char **argv) {
    std::string setupDir, consoleDir, outDir;
    RemoteOptions options;
    std::vector<std::string> targetArgs;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            RemoteUsage(std::cout);
            return kExitSuccess;
        } else if (a == "--setup" || a == "--machine" || a == "--account" || a == "--password" || a == "--out" ||
                   a == "--admin" || a == "--admin-password") {
            if (i + 1 >= argc) {
                std::cerr << "qlsetrun: " << a << " needs a value\n";
                return kExitUsage;
            }
            std::string v = argv[++i];
            if (a == "--setup") setupDir = v;
            else if (a == "--machine") consoleDir = v;
            else if (a == "--account") options.account = v;
            else if (a == "--password") options.password = v;
            else if (a == "--admin") options.adminUser = v;
            else if (a == "--admin-password") options.adminPassword = v;
            else outDir = v;
        } else if (!a.empty() && a[0] == '-') {
            std::cerr << "qlsetrun: unknown option " << a << " (qlsetrun --remote-install --help lists them)\n";
            return kExitUsage;
        } else {
            targetArgs.push_back(a);
        }
    }
    if (setupDir.empty() || targetArgs.empty()) {
        std::cerr << "qlsetrun: --remote-install needs --setup DIR and at least one TARGET\n";
        RemoteUsage(std::cerr);
        return kExitUsage;
    }
    winsim::Machine *console = nullptr;
    try {
        console = consoleDir.empty() ? &winsim::CreateDefaultMachine() : &winsim::LoadMachineImage(consoleDir);
    } catch (const std::exception &e) {
        std::cerr << "qlsetrun: cannot load the console machine: " << e.what() << "\n";
        return kExitMachine;
    }
    winsim::SetLocalMachine(*console);
    std::vector<std::string> warnings;
    std::string error;
    if (!PrepareConsole(*console, setupDir, warnings, error)) {
        std::cerr << "qlsetrun: cannot use the setup folder: " << error << "\n";
        return kExitMachine;
    }
    // Every target joins the network first, then each is prepared.
    std::vector<RemoteResult> failed;
    std::vector<std::string> names, sources;
    for (const std::string &arg : targetArgs) {
        std::vector<std::string> images = TargetImages(arg);
        if (images.empty()) {
            RemoteResult r;
            r.name = "?";
            r.source = arg;
            r.error = "no machine image (no machine.ini) in this folder or its sub-folders";
            failed.push_back(r);
            continue;
        }
        for (const std::string &image : images) {
            try {
                winsim::Machine &m = winsim::LoadMachineImage(image);
                names.push_back(m.name);
                sources.push_back(image);
            } catch (const std::exception &e) {
                RemoteResult r;
                r.name = "?";
                r.source = image;
                r.error = std::string("cannot load: ") + e.what();
                failed.push_back(r);
            }
        }
    }
    winsim::SetLocalMachine(*console);
    std::vector<RemoteResult> results = PrepareTargets(names, options);
    for (size_t i = 0; i < results.size(); ++i) results[i].source = sources[i];
    for (const RemoteResult &r : failed) results.push_back(r);
    const std::string product = MediumProduct();
    if (product.empty())
        warnings.push_back("warning: the setup folder's QLBSETUP.INF names no valid product sub-type (0 to 4)");

    std::ostringstream report;
    WriteRemoteReport(product, options, results, warnings, report);
    std::cout << report.str();
    if (!outDir.empty()) {
        std::error_code ec;
        fs::create_directories(outDir, ec);
        std::ofstream text(fs::path(outDir) / "remote.txt", std::ios::binary);
        text << report.str();
        bool ok = text.good();
        for (const RemoteResult &r : results) {
            std::string data;
            if (!r.written || !console->GetFile(r.file, data)) continue;
            fs::path dir = fs::path(outDir) / r.name;
            fs::create_directories(dir, ec);
            fs::path file = dir / QL_SILENT_CONFIG_FILE;
            // The file holds the service account's password.
            std::ofstream icf(file, std::ios::binary | std::ios::trunc);
            fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace, ec);
            icf << data;
            ok = ok && icf.good();
        }
        if (!ok) {
            std::cerr << "qlsetrun: cannot write to " << outDir << "\n";
            return kExitOutput;
        }
    }
    for (const RemoteResult &r : results)
        if (!r.written) return kExitFailure;
    return kExitSuccess;
}

}  // namespace qlsetrun
