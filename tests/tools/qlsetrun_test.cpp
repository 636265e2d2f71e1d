// The runner as a user meets it: exit codes and the report.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct RunResult {
    int exitCode;
    std::string output;
};

RunResult Qlsetrun(const std::string &args) {
    std::string command = std::string(QLSETRUN_PATH) + " " + args + " 2>&1";
    RunResult r{-1, ""};
    FILE *p = popen(command.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(Qlsetrun, RunsAnActionAndReportsItsLogLine) {
    RunResult r = Qlsetrun("PostUninstall");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("Machine: QLSERVER (Windows 5.0.2195, Service Pack 2), built-in default machine"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("== PostUninstall\n   result: 0 (success)"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("[INFO] PostUninstall() - Started"), std::string::npos) << r.output;
}

TEST(Qlsetrun, BadInvocationsSaySoAndFail) {
    struct Case {
        const char *args;
        int exitCode;
        const char *message;
    } cases[] = {
        {"NoSuchAction", 2, "qlsetrun: unknown action NoSuchAction"},
        {"--sequence sideways", 2, "qlsetrun: unknown sequence sideways"},
        {"--machine /nonexistent/image", 3, "qlsetrun: cannot load the machine"},
        {"--setup /nonexistent/setup", 3, "/nonexistent/setup"},
        {"--answer 9", 2, "--answer takes a button number"},
        {"--machine", 2, "--machine needs a value"},
        {"--bogus", 2, "unknown option --bogus"},
    };
    for (auto &c : cases) {
        RunResult r = Qlsetrun(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args << "\n" << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.args << "\n" << r.output;
    }
}

TEST(Qlsetrun, MachineImageAndSetupFolder) {
    RunResult r = Qlsetrun(std::string("--machine ") + QL_SOURCE_DIR + "/examples/nt4-remote --setup " + QL_SOURCE_DIR +
                     "/examples/setup-dir PostUninstall");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("Machine: NTBACKUP1 (Windows 4.0.1381, Service Pack 6)"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("RemoteHostServer = \"CONSOLE1\""), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("SourcePath = \"D:\\SETUP\\\""), std::string::npos) << r.output;
}

}  // namespace
