// qlsetrun as the remote-install front end: from a console machine with the
// setup medium, prepare the silent configuration file of many target
// machines and say, per target, what the product's setup will find there.
#ifndef QLSETRUN_REMOTEINSTALL_H
#define QLSETRUN_REMOTEINSTALL_H

#include <winsim/machine.h>

#include <ostream>
#include <string>
#include <vector>

namespace qlsetrun {

// Where the front end runs on the console: its program with the medium's
// QLBSETUP.INF and QUILLBAK.ICF (the template) beside it, and the folder
// that receives one folder per target.
const char *const kFrontEndFolder = "C:\\QLREMOTE";
const char *const kFrontEndProgram = "C:\\QLREMOTE\\QLREMOTE.EXE";
const char *const kTargetsFolder = "C:\\QLREMOTE\\TARGETS";

struct RemoteOptions {
    // The administrator of the targets the front end connects as ("ADMIN$").
    std::string adminUser = "Administrator";
    std::string adminPassword;
    std::string account = "Administrator";  // the product's service account: "DOMAIN\user" or a user of the target
    std::string password;
};

// What one target got.
struct RemoteResult {
    std::string name;         // the target's machine name
    std::string source;       // its image folder, when it came from one
    std::string error;        // why it could not be prepared ("" when it was)
    bool installed = false;   // the product's home is registered there
    std::string proposedFolder;
    std::string file;         // the configuration file on the console
    bool written = false;
    // The keys written, as "Section Key=value" lines; the password shows as stars.
    std::vector<std::string> keys;
};

// The product on the medium: GetProductInfo's name, or "" when the medium's
// setup information file names no valid product.
std::string MediumProduct();

// Makes the local machine the console: the front end's program folder with
// the medium's files copied from the host folder `setupDir`. False with
// `error` when the folder cannot be used.
bool PrepareConsole(winsim::Machine &console, const std::string &setupDir, std::vector<std::string> &warnings,
                    std::string &error);

// Prepares each named machine of the world, in order, from the local machine.
std::vector<RemoteResult> PrepareTargets(const std::vector<std::string> &names, const RemoteOptions &options);

// The target image folders an argument names: the folder itself when it holds
// machine.ini, else its sub-folders that do, in name order. Empty when none.
std::vector<std::string> TargetImages(const std::string &hostDir);

void WriteRemoteReport(const std::string &product, const RemoteOptions &options,
                       const std::vector<RemoteResult> &results, const std::vector<std::string> &warnings,
                       std::ostream &out);

// qlsetrun --remote-install ...: the exit code.
int RemoteInstallMain(int argc, char **argv);

}  // namespace qlsetrun

#endif
