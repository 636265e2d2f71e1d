// What qlsetrun knows of the installation package: its custom actions, the
// sequences that call them, and how Windows Installer treats their results.
// Which actions the library has is read from its export list, so a new
// export shows up here without a change to the runner.
#ifndef QLSETRUN_PACKAGE_H
#define QLSETRUN_PACKAGE_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace qlsetrun {

// A custom action of the package's CustomAction table.
struct PackageAction {
    const char *name;  // the library's entry point
    const char *what;  // one line for --help
};
const std::vector<PackageAction> &PackageActions();

struct Sequence {
    const char *name;
    std::vector<std::string> actions;
    // What the installer sets for this kind of run, before any action.
    std::map<std::string, std::string> properties;
    bool maintenanceMode;  // the product is installed: MSIRUNMODE_MAINTENANCE
    const char *note;      // for --help
};
const std::vector<Sequence> &Sequences();
const Sequence *FindSequence(const std::string &name);
// "install,uninstall": sequences run one after the other on the same machine.
// False, with the unknown or empty name in `bad`, when one is not a sequence.
bool ParseSequenceList(const std::string &text, std::vector<const Sequence *> &sequences, std::string &bad);

// The plain names under EXPORTS of a module-definition (.def) text.
std::vector<std::string> ParseExports(const std::string &defText);
// The package's custom actions that the library exports, in the order of
// the package's table.
std::vector<std::string> ExportedActions(const std::string &defText);
// The export list this runner was built with (resources/QLSETGUI.def).
const std::string &BuiltExportList();
bool IsPackageAction(const std::string &name);

// What Windows Installer makes of a custom action's result.
struct ActionOutcome {
    int logValue;     // "Return value N." in the log: 0 not run, 1 success, 2 user exit, 3 failure, 4 suspended
    bool stops;       // the sequence ends after this action
    const char *meaning;
};
ActionOutcome OutcomeOf(UINT result);
// The installer's reading of the result of an action the package declares
// with Return="ignore" (CreateSystemAccount, whose outcome the package reads
// from "SYSTEMSTATUS"): success whatever it returned. Others as OutcomeOf.
ActionOutcome OutcomeOf(const std::string &action, UINT result);
// Text of a custom action's result for the report, e.g. "1603 (ERROR_INSTALL_FAILURE)".
std::string ResultText(UINT result);

// Message-box answers by name (IDOK ...) or number; 0 when unknown.
int ParseAnswer(const std::string &text);
struct AnswerName {
    int id;
    const char *name;
};
const std::vector<AnswerName> &AnswerNames();

// Exit codes of qlsetrun. A process exit code has 8 bits on Linux, so the
// installer's own codes (1602, 1603, 1604) are given as small numbers.
enum ExitCode {
    kExitSuccess = 0,
    kExitFailure = 1,   // an action failed (Return value 3; msiexec returns 1603)
    kExitUsage = 2,
    kExitMachine = 3,   // the machine image or the setup folder cannot be used
    kExitOutput = 4,    // --out cannot be written
    kExitUserExit = 5,  // an action ended the installation (Return value 2; msiexec returns 1602)
    kExitSuspend = 6,   // an action suspended the installation (Return value 4; msiexec returns 1604)
};
// The exit code of a run whose worst "Return value" was `logValue`.
int ExitCodeForLogValue(int logValue);
// What msiexec would return: 0, 1602, 1603 or 1604.
UINT InstallerResultForLogValue(int logValue);

}  // namespace qlsetrun

#endif
