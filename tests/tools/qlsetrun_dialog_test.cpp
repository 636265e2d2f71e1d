// qlsetrun --dialog: a dialog of the library shown as text and driven by
// scripted steps, with what the steps changed in the configuration file.
#include <gtest/gtest.h>

#include "qlsetrun_runner.h"

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {


TEST(QlsetrunDialog, TheConfigurationDialogShownAndConfirmed) {
    RunResult r = Qlsetrun("--dialog 4322 --type '1061=Apps\\Backup' --click 1004 --click 1");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "Dialog 4322 \"Remote Setup - Configuration\" (modal, shown)\n")) << r.output;
    EXPECT_TRUE(Has(r.output, "  1090  text \"QLSERVER\"\n")) << r.output;
    EXPECT_TRUE(Has(r.output, "  1061  edit \"Program Files\\Veltmark\\Quillbak\" limit 257 focus\n")) << r.output;
    EXPECT_TRUE(Has(r.output, "  1019  button \"&Details...\" disabled\n")) << r.output;
    EXPECT_TRUE(Has(r.output, "> type 1061 \"Apps\\Backup\"\n> click 1004\n> click 1\n")) << r.output;
    EXPECT_TRUE(Has(r.output, "Result: IDOK\nOutcome: 0 (folders written)\nInstallation type: 21\n")) << r.output;
    EXPECT_TRUE(Has(r.output, "QuillbakPath=C:\\Apps\\Backup\\\r\n")) << r.output;
}

TEST(QlsetrunDialog, MessageBoxesAndRefusedStepsAreReported) {
    RunResult r = Qlsetrun("--dialog 4322 --type '1061=Apps?' --click 1 --click 1019 --type 1018=x");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "  message box \"Remote Setup\": \"A path cannot contain any of the following "
                              "characters:\\n   '/:*?<>|\"'\" -> IDOK\n"))
        << r.output;
    // Details of a complete installation is disabled; the alert folder is hidden.
    EXPECT_TRUE(Has(r.output, "> click 1019\n  (refused: no such control, or it is hidden, disabled or of another "
                              "kind)\n"))
        << r.output;
    EXPECT_TRUE(Has(r.output, "  (no more input: Escape)\nResult: IDCANCEL\nOutcome: 2 (cancelled)\n")) << r.output;
}

TEST(QlsetrunDialog, TheWaitWindowAndItsPosition) {
    RunResult r = Qlsetrun("--dialog 138 --text 'Reading system information, please wait...'");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output,
              "Dialog 138 \"\" (modeless, shown)\n"
              "  1014  icon \"160\"\n"
              "  1013  text \"Reading system information, please wait...\" focus\n"
              "Position: 231,267 size 338x65 on the 800x600 screen\n");
}

TEST(QlsetrunDialog, BadCommandLines) {
    for (const char *args : {"--dialog 999", "--dialog 4322 --click x", "--dialog 4322 --type 1061",
                             "--dialog 4322 --key tab", "--dialog 4322 --bogus 1", "--dialog"}) {
        RunResult r = Qlsetrun(args);
        EXPECT_EQ(r.exitCode, 2) << args << "\n" << r.output;
        EXPECT_TRUE(Has(r.output, "qlsetrun: ")) << args << "\n" << r.output;
    }
    RunResult help = Qlsetrun("--dialog 4322 --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(Has(help.output, "--select ID=TEXT")) << help.output;
}

}  // namespace
