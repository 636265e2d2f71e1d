#include "Package.h"

#include <winsim/machine.h>

#include <cstdlib>
#include <sstream>

// Installer results the SDK headers of the simulated machine may not name yet.
#ifndef ERROR_INSTALL_USEREXIT
#define ERROR_INSTALL_USEREXIT 1602L
#endif
#ifndef ERROR_INSTALL_SUSPEND
#define ERROR_INSTALL_SUSPEND 1604L
#endif
#ifndef ERROR_FUNCTION_NOT_CALLED
#define ERROR_FUNCTION_NOT_CALLED 1626L
#endif

namespace qlsetrun {

const std::vector<PackageAction> &PackageActions() {
    static const std::vector<PackageAction> kActions = {
        {"AllowInstall", "checks before installation; answers in ERRORMSG, WARNINGMSG, QUILLBAKEXIST"},
        {"AllowUninstall", "checks before removal"},
        {"GetSetupInformation", "hands user, company, paths, database type and components to the dialogs"},
        {"GetExistDatabaseType", "finds the type of the existing database (EXISTDBTYPE)"},
        {"IsAdministrator", "checks that the user is an administrator"},
        {"PreInstall", "stops, converts or removes the earlier version; sets QUILLBAKHOME"},
        {"PostInstall", "configures the machine after the files are copied"},
        {"PreUninstall", "prepares the removal; sets QUILLBAKHOME and InstallLocation"},
        {"PostUninstall", "runs after the installer removed the files"},
        {"CreateJobQueue", "creates the backup job queue and its maintenance job"},
        {"InstallDiscoveryService", "registers the product's record for the discovery service"},
        {"InstallVaxwall", "installs the companion anti-virus product"},
        {"LaunchProductSetup", "registers the product, creates the job queue and starts the follow-up setups"},
        {"RemoveSQLDatabase", "removes the product's database"},
        {"CreateSystemAccount", "checks and records the product's service account"},
        {"SetQuillbakDatabaseType", "chooses the database feature from SELECTDBTYPE"},
        {"InstallTest", "shares the home directory by itself (lines in QLBSHARE.LOG)"},
    };
    return kActions;
}

// Between PreInstall and PostInstall the installer copies the files; between
// PreUninstall and PostUninstall it removes them.
const std::vector<Sequence> &Sequences() {
    static const std::vector<Sequence> kSequences = {
        {"install",
         {"AllowInstall", "GetSetupInformation", "GetExistDatabaseType", "IsAdministrator", "PreInstall",
          "PostInstall", "SetQuillbakDatabaseType", "CreateSystemAccount", "LaunchProductSetup"},
         {{"ACTION", "INSTALL"}},
         false,
         "a first installation"},
        {"upgrade",
         {"AllowInstall", "GetSetupInformation", "GetExistDatabaseType", "IsAdministrator", "PreInstall",
          "PostInstall", "SetQuillbakDatabaseType", "CreateSystemAccount", "LaunchProductSetup"},
         {{"ACTION", "INSTALL"}},
         false,
         "the install sequence over an earlier version, which the actions find on the machine (e.g. --machine "
         "examples/nt4-remote)"},
        {"maintenance",
         {"AllowInstall", "GetSetupInformation", "PreInstall", "PostInstall", "LaunchProductSetup"},
         {{"ACTION", "INSTALL"}, {"REINSTALL", "ALL"}, {"Installed", "1"}},
         true,
         "a repair of the installed product"},
        // The package creates the service account only when the product is
        // not installed yet, so a patch run leaves it out.
        {"patch",
         {"AllowInstall", "GetSetupInformation", "GetExistDatabaseType", "IsAdministrator", "PreInstall",
          "PostInstall", "SetQuillbakDatabaseType", "LaunchProductSetup"},
         {{"ACTION", "INSTALL"},
          {"PATCH", "D:\\SETUP\\QLPATCH.MSP"},
          {"REINSTALL", "ALL"},
          {"REINSTALLMODE", "omus"},
          {"Installed", "1"}},
         true,
         "a patch of the installed product (PATCH names the patch package; PostInstall leaves the share, "
         "the program groups and the old files alone)"},
        {"uninstall",
         {"AllowUninstall", "PreUninstall", "RemoveSQLDatabase", "PostUninstall"},
         {{"ACTION", "INSTALL"}, {"REMOVE", "ALL"}, {"Installed", "1"}},
         true,
         "the removal of the installed product"},
    };
    return kSequences;
}

const Sequence *FindSequence(const std::string &name) {
    for (auto &s : Sequences())
        if (name == s.name) return &s;
    return nullptr;
}

bool ParseSequenceList(const std::string &text, std::vector<const Sequence *> &sequences, std::string &bad) {
    sequences.clear();
    size_t begin = 0;
    for (;;) {
        size_t comma = text.find(',', begin);
        std::string name = text.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
        const Sequence *s = FindSequence(name);
        if (!s) {
            bad = name;
            return false;
        }
        sequences.push_back(s);
        if (comma == std::string::npos) return true;
        begin = comma + 1;
    }
}

std::vector<std::string> ParseExports(const std::string &defText) {
    std::vector<std::string> names;
    std::istringstream in(defText);
    std::string line;
    bool inExports = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t semi = line.find(';');
        if (semi != std::string::npos) line.erase(semi);
        std::istringstream words(line);
        std::string first;
        if (!(words >> first)) continue;
        if (winsim::EqualNoCase(first, "EXPORTS")) {
            inExports = true;
            if (!(words >> first)) continue;  // names may follow on the same line
        } else if (winsim::EqualNoCase(first, "LIBRARY") || winsim::EqualNoCase(first, "NAME") ||
                   winsim::EqualNoCase(first, "SECTIONS") || winsim::EqualNoCase(first, "DESCRIPTION")) {
            inExports = false;
            continue;
        }
        if (!inExports) continue;
        // "Name", "Name=Internal", "Name @5 NONAME": the exported name only.
        size_t cut = first.find_first_of("=@");
        names.push_back(first.substr(0, cut));
    }
    return names;
}

std::vector<std::string> ExportedActions(const std::string &defText) {
    std::vector<std::string> exports = ParseExports(defText), actions;
    for (auto &a : PackageActions())
        for (auto &e : exports)
            if (e == a.name) {
                actions.push_back(a.name);
                break;
            }
    return actions;
}

bool IsPackageAction(const std::string &name) {
    for (auto &a : PackageActions())
        if (name == a.name) return true;
    return false;
}

// Windows Installer's reading of a custom action's result: the values it
// knows, and failure for everything else.
ActionOutcome OutcomeOf(UINT result) {
    switch (result) {
    case ERROR_SUCCESS: return {1, false, "success"};
    case ERROR_FUNCTION_NOT_CALLED: return {0, false, "not executed"};
    case ERROR_INSTALL_USEREXIT: return {2, true, "user exit"};
    case ERROR_INSTALL_FAILURE: return {3, true, "failure"};
    case ERROR_INSTALL_SUSPEND: return {4, true, "suspended"};
    case ERROR_NO_MORE_ITEMS: return {1, true, "success, skip the remaining actions"};
    default: return {3, true, "not an installer result: failure"};
    }
}

ActionOutcome OutcomeOf(const std::string &action, UINT result) {
    if (action == "CreateSystemAccount") return {1, false, "ignored by the package, which reads SYSTEMSTATUS"};
    return OutcomeOf(result);
}

std::string ResultText(UINT result) {
    static const std::map<UINT, const char *> kNames = {
        {0, "ERROR_SUCCESS"},
        {1, "ERROR_INVALID_FUNCTION"},
        {ERROR_NO_MORE_ITEMS, "ERROR_NO_MORE_ITEMS"},
        {ERROR_INSTALL_USEREXIT, "ERROR_INSTALL_USEREXIT"},
        {ERROR_INSTALL_FAILURE, "ERROR_INSTALL_FAILURE"},
        {ERROR_INSTALL_SUSPEND, "ERROR_INSTALL_SUSPEND"},
        {ERROR_FUNCTION_NOT_CALLED, "ERROR_FUNCTION_NOT_CALLED"},
        {4097, "not an administrator"},
    };
    auto it = kNames.find(result);
    return std::to_string(result) + (it == kNames.end() ? "" : std::string(" (") + it->second + ")");
}

const std::vector<AnswerName> &AnswerNames() {
    static const std::vector<AnswerName> kNames = {{IDOK, "IDOK"},         {IDCANCEL, "IDCANCEL"}, {IDABORT, "IDABORT"},
                                                   {IDRETRY, "IDRETRY"},   {IDIGNORE, "IDIGNORE"}, {IDYES, "IDYES"},
                                                   {IDNO, "IDNO"}};
    return kNames;
}

int ParseAnswer(const std::string &text) {
    for (auto &a : AnswerNames())
        if (winsim::EqualNoCase(text, a.name)) return a.id;
    char *end = nullptr;
    long n = strtol(text.c_str(), &end, 10);
    if (text.empty() || *end) return 0;
    for (auto &a : AnswerNames())
        if (n == a.id) return a.id;
    return 0;
}

UINT InstallerResultForLogValue(int logValue) {
    switch (logValue) {
    case 2: return ERROR_INSTALL_USEREXIT;
    case 3: return ERROR_INSTALL_FAILURE;
    case 4: return ERROR_INSTALL_SUSPEND;
    default: return ERROR_SUCCESS;
    }
}

int ExitCodeForLogValue(int logValue) {
    switch (logValue) {
    case 2: return kExitUserExit;
    case 3: return kExitFailure;
    case 4: return kExitSuspend;
    default: return kExitSuccess;
    }
}

}  // namespace qlsetrun
