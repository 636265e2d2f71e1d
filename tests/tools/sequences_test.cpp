// Whole sequences run by qlsetrun: an installation and its removal in one run
// on the same machine, upgrades from each earlier release image, and repair
// and patch runs over an installed product.
#include <gtest/gtest.h>

#include "qlsetrun_runner.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The report alone, without what qlsetrun says on standard error.
RunResult Report(const std::string &args) { return Qlsetrun(args, " 2>/dev/null"); }

std::string Example(const std::string &name) { return std::string(QL_SOURCE_DIR) + "/examples/" + name; }

RunResult RunImage(const std::string &image, const std::string &what) {
    return Report("--machine " + Example(image) + " --setup " + Example("setup-dir") + " " + what);
}


std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// Lines of a snapshot section marked as gone ("- ") or new ("+ ").
std::vector<std::string> MarkedLines(const std::string &text) {
    std::vector<std::string> marked;
    for (auto &l : Lines(text)) {
        size_t first = l.find_first_not_of(' ');
        if (first != std::string::npos && (l.compare(first, 2, "- ") == 0 || l.compare(first, 2, "+ ") == 0))
            marked.push_back(l.substr(first));
    }
    return marked;
}

// What an installation followed by its removal leaves on the default machine
// on purpose:
// - the empty product base key and its parents: the removal's registry sweep
//   deletes the keys below the base key, never the base key itself, and the
//   maker's root is deleted only when empty;
// - the setup log, which every action appends to and no action deletes;
// - the service account's membership of Backup Operators and the logon
//   rights and privileges granted to that group: the service-account check
//   gives them, and no removal step takes back what an account or group may
//   still need for other programs.
const char kKeptKeys[] = "Windows Registry Editor Version 5.00\r\n\r\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltmark]\r\n\r\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltmark\\QuillbakIT]\r\n\r\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltmark\\QuillbakIT\\Base]\r\n\r\n";

TEST(Sequences, InstallThenUninstallLeavesTheDefaultMachineAsItWas) {
    TempDir out;
    RunResult r = Report("--sequence install,uninstall --out " + out.Dir());
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "Ran: the sequences install, uninstall one after the other on the same machine; the "
                              "sections show the changes over the whole run\n"
                              "== Actions\n"
                              "   -- the install sequence\n"
                              "   AllowInstall: returned 0 (ERROR_SUCCESS): Return value 1 (success)\n"))
        << r.output;
    EXPECT_TRUE(Has(r.output, "   LaunchProductSetup: returned 0 (ERROR_SUCCESS): Return value 1 (success)\n"
                              "   -- the uninstall sequence\n"
                              "   AllowUninstall: returned 0 (ERROR_SUCCESS): Return value 1 (success)\n"))
        << r.output;

    EXPECT_EQ(out.Read("changes.reg"), kKeptKeys);
    std::vector<std::string> files = Lines(out.Read("files.txt"));
    ASSERT_EQ(files.size(), 1u) << out.Read("files.txt");
    EXPECT_EQ(files[0].rfind("+ C:\\TEMP\\QLBSETUP.LOG (", 0), 0u) << files[0];
    EXPECT_EQ(out.Read("services.txt"), "");
    EXPECT_TRUE(MarkedLines(out.Read("shares.txt")).empty()) << out.Read("shares.txt");
    EXPECT_EQ(out.Read("accounts.txt"),
              "- rights BUILTIN\\Backup Operators: SeBackupPrivilege, SeRestorePrivilege, SeShutdownPrivilege, "
              "SeInteractiveLogonRight, SeNetworkLogonRight\n"
              "+ member BUILTIN\\Backup Operators: QLSERVER\\Administrator\n"
              "+ rights BUILTIN\\Backup Operators: SeBackupPrivilege, SeRestorePrivilege, SeShutdownPrivilege, "
              "SeTcbPrivilege, SeInteractiveLogonRight, SeNetworkLogonRight, SeBatchLogonRight, "
              "SeServiceLogonRight\n");
    for (const char *untouched : {"profiles.txt", "programs.txt", "running.txt"})
        EXPECT_EQ(out.Read(untouched), "") << untouched;

    // Each sequence is an installer run of its own; the log shows both.
    const std::string log = out.Read("install.log");
    EXPECT_TRUE(Has(log, ": LaunchProductSetup. Return value 1.\nAction ended ")) << log;
    EXPECT_TRUE(Has(log, "MainEngineThread is returning 0\nMSI (s) (C4:A8) [")) << log;
    EXPECT_TRUE(Has(log, "]: Next installer run: the uninstall sequence\nAction start ")) << log;
    EXPECT_TRUE(Has(log, "Property(S): REMOVE = ALL\n")) << log;
    EXPECT_EQ(out.Read("report.txt"), r.output);
}

TEST(Sequences, TheInstallAloneChangesWhatTheRemovalTakesBack) {
    TempDir out;
    RunResult r = Report("--sequence install --out " + out.Dir());
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string reg = out.Read("changes.reg");
    EXPECT_TRUE(Has(reg, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltmark\\QuillbakIT\\Base\\QLMgr]\r\n")) << reg;
    EXPECT_TRUE(Has(reg, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltmark\\QuillbakIT\\Base\\SNMP]\r\n")) << reg;
    EXPECT_TRUE(Has(reg, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltmark\\QuillbakIT\\Products]\r\n\"Quillbak\"=hex:")) << reg;
    // A single sequence keeps the report's one-sequence form.
    EXPECT_TRUE(Has(r.output, "Ran: the install sequence: AllowInstall, ")) << r.output;
    EXPECT_FALSE(Has(r.output, "-- the install sequence")) << r.output;
}

TEST(Sequences, InstallThenUninstallWithTheSetupMediumLeavesOnlyTheLogAndTheBaseKey) {
    TempDir out;
    RunResult r =
        Report("--setup " + Example("setup-dir") + " --sequence install,uninstall --out " + out.Dir());
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(out.Read("changes.reg"), kKeptKeys);
    EXPECT_EQ(Lines(out.Read("files.txt")).size(), 1u) << out.Read("files.txt");
    // The medium's service account does not exist here: the check records
    // the failure and changes no account.
    EXPECT_EQ(out.Read("accounts.txt"), "");
    EXPECT_EQ(out.Read("services.txt"), "");
    EXPECT_TRUE(MarkedLines(out.Read("shares.txt")).empty()) << out.Read("shares.txt");
}

TEST(Sequences, AFailureEndsTheWholeRun) {
    RunResult r = Report("--sequence install,uninstall --fault PostInstall=1603");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_TRUE(Has(r.output, "   PostInstall: returned 1603 (ERROR_INSTALL_FAILURE) by an injected fault")) << r.output;
    EXPECT_TRUE(Has(r.output, "   -- the uninstall sequence\n   AllowUninstall: not run (the sequence had ended)\n"))
        << r.output;
}

TEST(Sequences, EveryPartOfSeveralSequencesGoesToItsFile) {
    TempDir out;
    RunResult r = Report("--sequence install,maintenance,uninstall --out " + out.Dir());
    ASSERT_EQ(r.exitCode, 0) << r.output;
    for (const char *f : {"install.log", "changes.reg", "files.txt", "services.txt", "accounts.txt", "shares.txt",
                          "product.txt", "settings.txt", "properties.txt", "report.txt"})
        EXPECT_TRUE(fs::is_regular_file(fs::path(out.Dir()) / f)) << f;
    const std::string log = out.Read("install.log");
    EXPECT_TRUE(Has(log, "Next installer run: the maintenance sequence\n")) << log;
    EXPECT_TRUE(Has(log, "Next installer run: the uninstall sequence\n")) << log;
    EXPECT_TRUE(Has(log, "PreInstall() - Install Mode = MSIRUNMODE_MAINTENANCE\n")) << log;
    EXPECT_EQ(out.Read("report.txt"), r.output);
}

// Upgrades from the earlier release images with the example medium, which
// updates builds 600 to 650.
TEST(SequencesUpgrade, Build620IsUpgradedAndItsRecordKept) {
    RunResult r = RunImage("upgrade-allowed", "--sequence upgrade");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "   QUILLBAKEXIST = \"TRUE\"\n")) << r.output;
    // PreInstall converted the products key and the base key, removed the
    // earlier product and saved its 6.5 record under OldProducts.
    EXPECT_TRUE(Has(r.output, "    - ConvertProductsKey DONE\n")) << r.output;
    EXPECT_TRUE(Has(r.output, "   RemovePreviousProduct() - started\n")) << r.output;
    EXPECT_TRUE(Has(r.output, "    - ConvertQuillbakKey DONE\n")) << r.output;
    EXPECT_TRUE(Has(r.output, "   [HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltmark\\QuillbakIT\\OldProducts]\n"
                              "   \"Quillbak\"=hex:18,00,00,00,0f,00,00,00,05,06,6c,02,"))
        << r.output;
    EXPECT_TRUE(Has(r.output, "   PostInstall: returned 0 (ERROR_SUCCESS)")) << r.output;
}

TEST(SequencesUpgrade, BuildsOutsideTheMediumsRangeAreRefusedBeforePreInstall) {
    for (const char *image : {"upgrade-refused", "earlier-harnock", "current-layout"}) {
        RunResult r = RunImage(image, "--sequence upgrade");
        EXPECT_EQ(r.exitCode, 5) << image << "\n" << r.output;
        EXPECT_TRUE(Has(r.output, "   ERRORMSG = \"Setup cannot find the proper version of Quillbak to perform the "
                                  "upgrade.\"\n"))
            << image << "\n" << r.output;
        EXPECT_TRUE(Has(r.output, "   PreInstall: not run (the sequence had ended)\n")) << image;
        EXPECT_TRUE(Has(r.output, "== Registry changes\n   (none)\n== File changes"))
            << image << "\n" << r.output;
    }
}

TEST(SequencesUpgrade, AnEarlierHomeWithoutAProductRecordIsInstalledOverAsNew) {
    // The NT 4.0 image has only the former maker's home key: no product
    // record, so nothing is offered as an update nor removed.
    RunResult r = RunImage("nt4-remote", "--sequence upgrade");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "   QUILLBAKEXIST = \"FALSE\"\n")) << r.output;
    EXPECT_TRUE(Has(r.output, "    - Quillbak NOT Exists\n")) << r.output;
    EXPECT_FALSE(Has(r.output, "RemovePreviousProduct() - started")) << r.output;
    // The remote console's file is consumed.
    EXPECT_TRUE(Has(r.output, "== File changes\n   - C:\\WINNT\\HOST.INI\n")) << r.output;
}

// Repair and patch over the installed 6.5 release.
TEST(SequencesMaintenance, ARepairSharesTheHomeAgainAndAPatchDoesNot) {
    RunResult repair = RunImage("upgrade-allowed", "--sequence maintenance");
    ASSERT_EQ(repair.exitCode, 0) << repair.output;
    EXPECT_TRUE(Has(repair.output, "   PreInstall() - Install Mode = MSIRUNMODE_MAINTENANCE\n")) << repair.output;
    EXPECT_TRUE(Has(repair.output, "   PostInstall() - Not PATCH mode\n   PostInstall() - Before "
                                   "CreateQuillbakHomeShare()\n"))
        << repair.output;

    RunResult patch = RunImage("upgrade-allowed", "--sequence patch");
    EXPECT_EQ(patch.exitCode, 0) << patch.output;
    EXPECT_TRUE(Has(patch.output, "   IsPatchMode() - PATCH = D:\\SETUP\\QLPATCH.MSP\n")) << patch.output;
    EXPECT_TRUE(Has(patch.output, "   PreInstall() - Install Mode = MSIRUNMODE_MAINTENANCE\n")) << patch.output;
    EXPECT_TRUE(Has(patch.output, "   PostInstall() - PATCH mode\n")) << patch.output;
    EXPECT_FALSE(Has(patch.output, "CreateQuillbakHomeShare")) << patch.output;
    // The package makes the service account only for a product not yet installed.
    EXPECT_FALSE(Has(patch.output, "CreateSystemAccount")) << patch.output;
}

TEST(SequencesMaintenance, APatchAfterTheInstallInOneRun) {
    TempDir out;
    RunResult r = Report("--setup " + Example("setup-dir") + " --sequence install,patch --out " + out.Dir());
    const std::string log = out.Read("install.log");
    EXPECT_TRUE(Has(log, "Property(S): PATCH = D:\\SETUP\\QLPATCH.MSP\n")) << log;
    EXPECT_TRUE(Has(log, "Property(S): REINSTALLMODE = omus\n")) << log;
    EXPECT_TRUE(Has(log, "Property(S): REINSTALL = ALL\n")) << log;
    // The installation is not a patch run; the patch run that follows is.
    size_t next = log.find("Next installer run: the patch sequence");
    ASSERT_NE(next, std::string::npos) << log;
    EXPECT_LT(log.find("PostInstall() - Not PATCH mode"), next) << log;
    size_t patchMode = log.find("PostInstall() - PATCH mode");
    ASSERT_NE(patchMode, std::string::npos) << log;
    EXPECT_GT(patchMode, next) << log;
    EXPECT_EQ(log.find("PostInstall() - Not PATCH mode", next), std::string::npos) << log;
    EXPECT_TRUE(Has(r.output, "   -- the patch sequence\n   AllowInstall: returned 0 (ERROR_SUCCESS)")) << r.output;
}

TEST(SequencesMaintenance, TheCurrentReleaseIsNotRepairedByAnOlderMedium) {
    for (const char *sequence : {"maintenance", "patch"}) {
        RunResult r = RunImage("current-layout", std::string("--sequence ") + sequence);
        EXPECT_EQ(r.exitCode, 5) << sequence << "\n" << r.output;
        EXPECT_TRUE(Has(r.output, "   PreInstall: not run (the sequence had ended)\n")) << sequence;
    }
}

}  // namespace

// Every action closes what it opens, in every sequence and on every image:
// the runner lists what an action left open, and the list stays empty.
TEST(SequencesHandles, NoActionLeavesAHandleOpen) {
    const char *images[] = {"", "upgrade-allowed", "upgrade-refused", "current-layout", "earlier-harnock",
                            "nt4-remote",  "plain-user", "program-running"};
    for (const char *image : images) {
        std::string machine = *image ? "--machine " + Example(image) + " " : "";
        RunResult r = Report(machine + "--setup " + Example("setup-dir") +
                             " --sequence install,maintenance,patch,upgrade,uninstall");
        EXPECT_NE(r.output.find("== Handles left open\n   (none)\n"), std::string::npos)
            << (*image ? image : "default machine") << "\n"
            << r.output.substr(r.output.find("== Handles left open"), 400);
    }
}
