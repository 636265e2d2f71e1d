// The runner as a user meets it: the report, the files of --out, exit codes
// and the inputs it refuses.
#include <gtest/gtest.h>

#include "qlsetrun_runner.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {


TEST(Qlsetrun, NamedActionWithItsVerboseLogOnScreenAndInItsFile) {
    TempDir out;
    RunResult r = Qlsetrun("PostUninstall FOO=bar --out " + out.Dir());
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "Machine: QLSERVER (Windows 5.0.2195, Service Pack 2), built-in default machine\n"
                              "Ran: the actions PostUninstall (named on the command line; installer properties of "
                              "the install sequence)\n"
                              "== Actions\n"
                              "   PostUninstall: returned 0 (ERROR_SUCCESS): Return value 1 (success)\n"))
        << r.output;
    const std::string steps = "MSI (s) (C4:A8) [08:00:00:000]: Doing action: PostUninstall\n"
                              "Action start 8:00:00: PostUninstall.\n"
                              "PostUninstall() - Started\n"
                              "Action ended 8:00:00: PostUninstall. Return value 1.\n";
    const std::string log = out.Read("install.log");
    EXPECT_TRUE(Has(log, steps)) << log;
    EXPECT_EQ(log.rfind("=== Verbose logging started: 1/1/2001  8:00:00  Build type: SHIP ANSI  Calling process: "
                        "C:\\WINNT\\system32\\msiexec.exe ===\n",
                        0),
              0u)
        << log;
    // The property dumps at the start and the end hold the sequence's and the command line's properties.
    for (const char *p : {"Property(S): FOO = bar\n", "Property(S): ACTION = INSTALL\n", "Property(S): UILevel = 5\n"}) {
        size_t first = log.find(p), start = log.find("Doing action");
        EXPECT_LT(first, start) << p;
        EXPECT_NE(log.find(p, start), std::string::npos) << p;
    }
    EXPECT_TRUE(Has(r.output, "   Action start 8:00:00: PostUninstall.\n   PostUninstall() - Started\n")) << r.output;
    EXPECT_TRUE(Has(r.output, "   Property(S): ... (")) << r.output;
    EXPECT_EQ(out.Read("changes.reg"), "Windows Registry Editor Version 5.00\r\n\r\n");
    EXPECT_TRUE(Has(out.Read("settings.txt"), "ProductType = 24\n"));
    EXPECT_EQ(out.Read("report.txt"), r.output);
    EXPECT_TRUE(Has(r.output, "\nResult: every action that ran succeeded (exit code 0)\n")) << r.output;
}

TEST(Qlsetrun, SequenceRunsWithItsProperties) {
    TempDir out;
    RunResult r = Qlsetrun("--sequence uninstall --out " + out.Dir(), " 2>/dev/null");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "Ran: the uninstall sequence: AllowUninstall, PreUninstall, RemoveSQLDatabase, "
                              "PostUninstall\n"))
        << r.output;
    const std::string log = out.Read("install.log");
    EXPECT_TRUE(Has(log, "Property(S): REMOVE = ALL\n")) << log;
    EXPECT_TRUE(Has(log, "Property(S): Installed = 1\n")) << log;
    EXPECT_TRUE(Has(log, "Action start 8:00:00: INSTALL.\n")) << log;
    // The clock moves while the actions wait for services: the times are not compared.
    EXPECT_TRUE(Has(log, ": PostUninstall. Return value 1.\nAction ended ")) << log;
    EXPECT_TRUE(Has(log, ": INSTALL. Return value 1.\n")) << log;
    EXPECT_TRUE(Has(log, "]: MainEngineThread is returning 0\n")) << log;
}

TEST(Qlsetrun, AFailingActionEndsTheSequenceAndTheExitCodeSaysSo) {
    TempDir out;
    RunResult r = Qlsetrun("--fault PostUninstall=1603 PostUninstall PostUninstall --out " + out.Dir());
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_TRUE(Has(r.output, "   PostUninstall: returned 1603 (ERROR_INSTALL_FAILURE) by an injected fault: Return "
                              "value 3 (failure)\n"
                              "   PostUninstall: not run (the sequence had ended)\n"))
        << r.output;
    EXPECT_TRUE(Has(r.output, "Result: PostUninstall returned 1603 (ERROR_INSTALL_FAILURE), Return value 3; msiexec "
                              "would return 1603 (exit code 1)\n"))
        << r.output;
    const std::string log = out.Read("install.log");
    EXPECT_TRUE(Has(log, "Action start 8:00:00: PostUninstall.\n"
                         "CustomAction PostUninstall returned actual error code 1603 (an injected fault; the action "
                         "did not run)\n"
                         "Action ended 8:00:00: PostUninstall. Return value 3.\n"))
        << log;
    EXPECT_EQ(log.find("Doing action: PostUninstall"), log.rfind("Doing action: PostUninstall")) << log;
}

TEST(Qlsetrun, ExitCodeFollowsTheInstallersReadingOfTheResult) {
    struct Case {
        const char *fault;
        int exitCode;
        const char *returnValue;
    } cases[] = {
        {"PostUninstall=1602", 5, "Return value 2."},  // user exit
        {"PostUninstall=1", 1, "Return value 3."},     // not an installer result: failure
        {"PostUninstall=1604", 6, "Return value 4."},
        {"PostUninstall=1626", 0, "Return value 0."},  // not executed; the run goes on
        {"PostUninstall=1603:2", 1, "Return value 3."},  // the second call fails
    };
    for (auto &c : cases) {
        RunResult r = Qlsetrun(std::string("--fault ") + c.fault + " PostUninstall PostUninstall", " 2>/dev/null");
        EXPECT_EQ(r.exitCode, c.exitCode) << c.fault << "\n" << r.output;
        EXPECT_TRUE(Has(r.output, std::string("PostUninstall. ") + c.returnValue)) << c.fault << "\n" << r.output;
    }
    RunResult goesOn = Qlsetrun("--fault PostUninstall=1626 PostUninstall PostUninstall");
    EXPECT_TRUE(Has(goesOn.output, "Return value 0.\n   MSI (s) (C4:A8) [08:00:00:000]: Doing action: PostUninstall\n"))
        << goesOn.output;
    RunResult second = Qlsetrun("--fault PostUninstall=1603:2 PostUninstall PostUninstall");
    EXPECT_TRUE(Has(second.output, "   PostUninstall: returned 0 (ERROR_SUCCESS): Return value 1 (success)\n"
                                   "   PostUninstall: returned 1603"))
        << second.output;
}

TEST(Qlsetrun, FaultsInjectedIntoTheSimulatedFunctionsReachTheActions) {
    // Without a record the action's log line is lost; the action still succeeds.
    RunResult r = Qlsetrun("--fault MsiCreateRecord=8:always PostUninstall");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_FALSE(Has(r.output, "PostUninstall() - Started")) << r.output;
    EXPECT_TRUE(Has(r.output, "Action ended 8:00:00: PostUninstall. Return value 1.")) << r.output;
}

TEST(Qlsetrun, BadInvocationsSaySoAndFail) {
    TempDir tmp;
    tmp.Write("afile", "x");
    struct Case {
        std::string args;
        int exitCode;
        std::string message;
    } cases[] = {
        {"NoSuchAction", 2, "qlsetrun: unknown action NoSuchAction"},
        {"--sequence sideways", 2,
         "qlsetrun: unknown sequence sideways (install, upgrade, maintenance, patch, uninstall; or several in order, "
         "e.g. install,uninstall)"},
        {"--sequence install,,uninstall", 2, "qlsetrun: unknown sequence (empty name) ("},
        {"--sequence install,sideways", 2, "qlsetrun: unknown sequence sideways ("},
        {"--sequence install,uninstall PreInstall", 2,
         "qlsetrun: named actions run with the properties of one sequence, not of install,uninstall"},
        {"--machine /nonexistent/image", 3, "qlsetrun: cannot load the machine: /nonexistent/image: no such"},
        {"--setup /nonexistent/setup", 3, "/nonexistent/setup is not a folder"},
        {"--answer 9", 2, "--answer takes a button"},
        {"--answer IDMAYBE", 2, "not IDMAYBE"},
        {"--fault PostUninstall", 2, "--fault takes NAME=ERROR"},
        {"--fault PostUninstall=abc", 2, "--fault takes NAME=ERROR"},
        {"--fault PostUninstall=1603:sometimes", 2, "--fault takes NAME=ERROR"},
        {"--machine", 2, "--machine needs a value"},
        {"--bogus", 2, "unknown option --bogus"},
        {"--out " + tmp.Path("afile") + " PostUninstall", 4, "qlsetrun: cannot create the folder"},
    };
    for (auto &c : cases) {
        RunResult r = Qlsetrun(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args << "\n" << r.output;
        EXPECT_TRUE(Has(r.output, c.message)) << c.args << "\n" << r.output;
    }
    // Errors go to stderr: nothing of them on stdout.
    EXPECT_EQ(Qlsetrun("NoSuchAction", " 2>/dev/null").output, "");
}

TEST(Qlsetrun, RefusesAFolderThatIsNoMachineImageAndSpecialFiles) {
    TempDir notImage;
    notImage.Write("files/C/A.TXT", "a");
    RunResult r = Qlsetrun("--machine " + notImage.Dir());
    EXPECT_EQ(r.exitCode, 3) << r.output;
    EXPECT_TRUE(Has(r.output, "qlsetrun: cannot load the machine: " + notImage.Dir() +
                                  ": no machine.ini: not a machine image folder\n"))
        << r.output;

    TempDir withFifo;
    withFifo.Write("machine.ini", "[machine]\nname=PIPED\n");
    withFifo.Fifo("files/C/WINNT/QLBSETUP.LOG");
    r = Qlsetrun("--machine " + withFifo.Dir());
    EXPECT_EQ(r.exitCode, 3) << r.output;
    EXPECT_TRUE(Has(r.output, withFifo.Path("files/C/WINNT/QLBSETUP.LOG") + ": not a regular file")) << r.output;
}

TEST(Qlsetrun, SetupFolderProblemsAreWarningsAndTheRunGoesOn) {
    TempDir setup;
    setup.Write("QLBSETUP.INF", "");
    setup.Fifo("PIPE.DAT");
    RunResult r = Qlsetrun("--setup " + setup.Dir() + " PostUninstall");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "== Warnings\n")) << r.output;
    EXPECT_TRUE(Has(r.output, "   warning: " + setup.Path("PIPE.DAT") + " is not a regular file; not read, not copied\n"))
        << r.output;
    EXPECT_TRUE(Has(r.output, "   warning: QLBSETUP.INF in the setup folder " + setup.Dir() +
                                  " is empty; setup goes on with its defaults\n"))
        << r.output;
    EXPECT_TRUE(Has(r.output, "   warning: QUILLBAK.ICF in the setup folder " + setup.Dir() +
                                  " is missing; setup goes on with its defaults\n"))
        << r.output;
    EXPECT_TRUE(Has(r.output, "PostUninstall: returned 0")) << r.output;

    TempDir odd;
    odd.Write("QLBSETUP.INF", "[Setup]\nProdSubType=1\n");
    odd.Fifo("QUILLBAK.ICF");
    r = Qlsetrun("--setup " + odd.Dir() + " PostUninstall");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "warning: QUILLBAK.ICF in the setup folder " + odd.Dir() +
                                  " cannot be read (not a regular file)"))
        << r.output;
    EXPECT_FALSE(Has(r.output, "QLBSETUP.INF in the setup folder")) << r.output;
}

TEST(Qlsetrun, APropertyCutToFitAFieldIsReported) {
    const std::string longDir = "D:\\" + std::string(300, 'x') + "\\";
    RunResult r = Qlsetrun("'SETUPDIR=" + longDir + "' PostUninstall");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "warning: the prologue read the property SETUPDIR (" + std::to_string(longDir.size()) +
                                  " characters) into a 260-character field and got the first 259: \"" +
                                  longDir.substr(0, 259) + "\""))
        << r.output;
}

TEST(Qlsetrun, MachineImageAndSetupFolder) {
    RunResult r = Qlsetrun(std::string("--machine ") + QL_SOURCE_DIR + "/examples/nt4-remote --setup " + QL_SOURCE_DIR +
                           "/examples/setup-dir PostUninstall");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "Machine: NTBACKUP1 (Windows 4.0.1381, Service Pack 6)")) << r.output;
    EXPECT_TRUE(Has(r.output, "RemoteHostServer = \"CONSOLE1\"")) << r.output;
    EXPECT_TRUE(Has(r.output, "SourcePath = \"D:\\SETUP\\\"")) << r.output;
    EXPECT_FALSE(Has(r.output, "warning")) << r.output;
}

TEST(Qlsetrun, HelpListsActionsSequencesAnswersAndExitCodes) {
    RunResult r = Qlsetrun("--help");
    EXPECT_EQ(r.exitCode, 0);
    for (const char *part : {"  * PostUninstall ", "  * AllowInstall ", "  * PreInstall ",
                             "  uninstall: AllowUninstall PreUninstall RemoveSQLDatabase PostUninstall\n",
                             "    properties: ACTION=INSTALL Installed=1 REMOVE=ALL;",
                             "IDOK (1) IDCANCEL (2) IDABORT (3) IDRETRY (4) IDIGNORE (5) IDYES (6) IDNO (7)",
                             "  0  every action", "  1  an action failed", "  5  an action ended the installation",
                             "install.log", "changes.reg"})
        EXPECT_TRUE(Has(r.output, part)) << part << "\n" << r.output;
}

// The README lists the exported custom actions as --list-actions prints
// them; a new export needs the README's list updated too.
TEST(Qlsetrun, ReadmeListsTheExportedActions) {
    RunResult r = Qlsetrun("--list-actions", " 2>/dev/null");
    EXPECT_EQ(r.exitCode, 0);
    std::ifstream in(std::string(QL_SOURCE_DIR) + "/README.md");
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string readme = ss.str();
    const std::string open = "<!-- qlsetrun --list-actions -->\n", close = "<!-- end of qlsetrun --list-actions -->";
    size_t b = readme.find(open), e = readme.find(close);
    ASSERT_NE(b, std::string::npos);
    ASSERT_NE(e, std::string::npos);
    std::istringstream block(readme.substr(b + open.size(), e - b - open.size()));
    std::string line, listed;
    while (std::getline(block, line))
        if (line.rfind("    ", 0) == 0) listed += line.substr(4) + "\n";
    EXPECT_EQ(listed, r.output) << "update the README's list from: qlsetrun --list-actions";
    EXPECT_FALSE(r.output.empty());
    // And the build has every action the export list names.
    RunResult run = Qlsetrun("PostUninstall", " 2>/dev/null");
    EXPECT_FALSE(Has(run.output, "is in the export list but not in this build")) << run.output;
}

// InstallTest by name on an image with an installed product: the share of its
// home with the product's list, and the step's lines in the share log.
TEST(Qlsetrun, InstallTestSharesTheHomeOfAnImage) {
    RunResult r = Qlsetrun(std::string("--machine ") + QL_SOURCE_DIR + "/examples/current-layout InstallTest");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "   + Quillbak$ D:\\Quillbak \"QuillbakIT System Directory\"\n"
                              "   +   allow W2KQB\\Administrator 0x001F01FF\n"
                              "   +   allow BUILTIN\\Administrators 0x001F01FF\n"
                              "   +   allow BUILTIN\\Backup Operators 0x001301BF\n"
                              "   +   allow Everyone 0x001200A9\n"))
        << r.output;
    EXPECT_TRUE(Has(r.output, "   C:\\TEMP\\QLBSHARE.LOG (new)\n"
                              "     01/01/01 08:00:00\t - Start to CreateQuillbakHomeShare D:\\Quillbak(Server=W2KQB, "
                              "Account=Administrator)\n"
                              "     01/01/01 08:00:00\t - End of CreateQuillbakHomeShare()\n"))
        << r.output;
}

// The package ignores the result of the service-account action (it reads
// "SYSTEMSTATUS"), so its failure does not end the run.
TEST(Qlsetrun, TheServiceAccountResultIsIgnoredAsThePackageDoes) {
    RunResult r = Qlsetrun("CreateSystemAccount PostUninstall");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "   CreateSystemAccount: returned 1 (ERROR_INVALID_FUNCTION): Return value 1 (ignored by the "
                              "package, which reads SYSTEMSTATUS)\n"
                              "   PostUninstall: returned 0 (ERROR_SUCCESS): Return value 1 (success)\n"))
        << r.output;
    EXPECT_TRUE(Has(r.output, "   CustomAction CreateSystemAccount returned actual error code 1\n"
                              "   Action ended 8:00:00: CreateSystemAccount. Return value 1.\n"))
        << r.output;
    EXPECT_TRUE(Has(r.output, "   SYSTEMSTATUS = \"ERROR\"\n")) << r.output;
}

}  // namespace

// The example machines of the checks, each with the example setup medium
// (which updates builds 600 to 650).
namespace {
RunResult RunExample(const std::string &image, const std::string &what) {
    return Qlsetrun(std::string("--machine ") + QL_SOURCE_DIR + "/examples/" + image + " --setup " + QL_SOURCE_DIR +
                        "/examples/setup-dir " + what,
                    " 2>/dev/null");
}
}  // namespace

TEST(QlsetrunExamples, AnEarlierReleaseInTheRangeIsOfferedTheUpdate) {
    RunResult r = RunExample("upgrade-allowed", "AllowInstall");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "   QUILLBAKEXIST = \"TRUE\"\n")) << r.output;
    EXPECT_TRUE(Has(r.output, "   WARNINGMSG = \"Setup has detected the previous version of Quillbak has already been "
                              "installed."))
        << r.output;
    EXPECT_TRUE(Has(r.output, "   EXISTDBTYPE = \"VLDB\"\n")) << r.output;
}

TEST(QlsetrunExamples, ALaterBuildIsRefused) {
    RunResult r = RunExample("upgrade-refused", "--sequence upgrade");
    EXPECT_EQ(r.exitCode, 5) << r.output;
    EXPECT_TRUE(Has(r.output, "   AllowInstall: returned 1602 (ERROR_INSTALL_USEREXIT): Return value 2 (user exit)\n"))
        << r.output;
    EXPECT_TRUE(Has(r.output, "   ERRORMSG = \"Setup cannot find the proper version of Quillbak to perform the "
                              "upgrade.\"\n"))
        << r.output;
}

TEST(QlsetrunExamples, AManagerThatWillNotEndRefusesTheRemoval) {
    RunResult r = RunExample("program-running", "--sequence uninstall");
    EXPECT_EQ(r.exitCode, 5) << r.output;
    EXPECT_TRUE(Has(r.output, "Please try it again after Quillbak process has finished. <QLMGR.exe> \"\n")) << r.output;
    EXPECT_TRUE(Has(r.output, "     D:\\Quillbak\\QLMGR.EXE (pid ")) << r.output;
    EXPECT_TRUE(Has(r.output, "D:\\Quillbak\\DBPURGE2.EXE (pid ")) << r.output;
    EXPECT_TRUE(Has(r.output, "): ended by force, exit code 1\n")) << r.output;
    EXPECT_TRUE(Has(r.output, "   stopped QLDBEngine\n")) << r.output;
    // The step that could not enable the debug privilege printed a line; it
    // belongs to the report, not ahead of it.
    EXPECT_EQ(r.output.rfind("Machine: ", 0), 0u) << r.output;
    EXPECT_TRUE(Has(r.output, "== Console output\n   AllowUninstall: AdjustTokenPrivileges failed with 1300\n"))
        << r.output;
}

TEST(QlsetrunExamples, APlainUserIsRefused) {
    RunResult r = RunExample("plain-user", "IsAdministrator");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_TRUE(Has(r.output, "   IsAdministrator: returned 4097 (not an administrator)")) << r.output;
    r = RunExample("plain-user", "AllowInstall");
    EXPECT_EQ(r.exitCode, 5) << r.output;
    EXPECT_TRUE(Has(r.output, "   ERRORMSG = \"User Must Have Administrator privileges in order to Continue.\"\n"))
        << r.output;
}
