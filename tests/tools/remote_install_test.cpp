// qlsetrun as the remote-install front end: a configuration file per target,
// the proposed folder and whether the product is installed there; the
// password never in the report.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "qlsetrun/RemoteInstall.h"
#include "qlsetrun_runner.h"

namespace fs = std::filesystem;

namespace {

std::string ReadHost(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

const std::string kExamples = std::string(QL_SOURCE_DIR) + "/examples";

TEST(RemoteInstall, EachTargetGetsItsFileAndTheReportHidesThePassword) {
    TempDir out;
    RunResult r = Qlsetrun("--remote-install --setup " + kExamples + "/setup-dir --account 'CORP\\svcbackup' "
                           "--password Pw-3b9d1e --out " + out.Path() + " " + kExamples + "/current-layout " +
                           kExamples + "/earlier-harnock");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("Remote install of Quillbak 2000"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("[W2KQB] " + kExamples + "/current-layout\n"
                            "  installed:       yes\n"
                            "  proposed folder: D:\\Quillbak\\\n"
                            "  file:            C:\\QLREMOTE\\TARGETS\\W2KQB\\QUILLBAK.ICF (written)\n"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("[NTOLDQB]"), std::string::npos);
    EXPECT_NE(r.output.find("2 targets, 2 prepared, 0 not prepared"), std::string::npos);
    EXPECT_EQ(r.output.find("Pw-3b9d1e"), std::string::npos);
    EXPECT_EQ(ReadHost(fs::path(out.Path()) / "remote.txt").find("Pw-3b9d1e"), std::string::npos);
    // The files themselves carry it, for the targets' setup, and only their owner may read them.
    fs::path icf = fs::path(out.Path()) / "W2KQB" / "QUILLBAK.ICF";
    std::string content = ReadHost(icf);
    EXPECT_NE(content.find("DefaultPassword=Pw-3b9d1e"), std::string::npos);
    EXPECT_NE(content.find("DefaultDomainName=CORP"), std::string::npos);
    EXPECT_NE(content.find("QuillbakPath=D:\\Quillbak"), std::string::npos);
    struct stat st;
    ASSERT_EQ(stat(icf.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(RemoteInstall, AFolderOfImagesIsManyTargetsAndBadOnesAreReported) {
    TempDir images;
    for (const char *name : {"ALPHA", "BRAVO"}) {
        fs::create_directories(fs::path(images.Path()) / name);
        std::ofstream(fs::path(images.Path()) / name / "machine.ini") << "[machine]\nname=" << name << "\n";
    }
    fs::create_directories(fs::path(images.Path()) / "notanimage");
    RunResult r = Qlsetrun("--remote-install --setup " + kExamples + "/setup-dir " + images.Path() + " " +
                           images.Path() + "/notanimage");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("[ALPHA]"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("[BRAVO]"), std::string::npos);
    EXPECT_LT(r.output.find("[ALPHA]"), r.output.find("[BRAVO]"));
    EXPECT_NE(r.output.find("no machine image (no machine.ini)"), std::string::npos);
    EXPECT_NE(r.output.find("3 targets, 2 prepared, 1 not prepared"), std::string::npos);
}

TEST(RemoteInstall, WrongAdministratorCredentialsPrepareNothing) {
    RunResult r = Qlsetrun("--remote-install --setup " + kExamples + "/setup-dir --admin-password nope " + kExamples +
                           "/current-layout");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("not prepared: cannot connect to \\\\W2KQB\\ADMIN$ as Administrator (error 1326)"),
              std::string::npos)
        << r.output;
}

TEST(RemoteInstall, TheCommandLineNeedsTheMediumAndATarget) {
    EXPECT_EQ(Qlsetrun("--remote-install " + kExamples + "/current-layout").exitCode, 2);
    EXPECT_EQ(Qlsetrun("--remote-install --setup " + kExamples + "/setup-dir").exitCode, 2);
    EXPECT_EQ(Qlsetrun("--remote-install --bogus").exitCode, 2);
    EXPECT_EQ(Qlsetrun("--remote-install --setup /nonexistent " + kExamples + "/current-layout").exitCode, 3);
    RunResult help = Qlsetrun("--remote-install --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("--admin-password"), std::string::npos);
}

// In-process: the front end over targets made in the test.
TEST(RemoteInstallTargets, ManyTargetsInOneRun) {
    winsim::Machine &console = winsim::LocalMachine();
    TempDir medium;
    std::ofstream(fs::path(medium.Path()) / "QUILLBAK.ICF") << "[InstallPath]\r\nQuillbakPath=\r\n";
    std::ofstream(fs::path(medium.Path()) / "QLBSETUP.INF") << "[Setup]\r\nProdSubType=1\r\n";
    std::vector<std::string> warnings;
    std::string error;
    ASSERT_TRUE(qlsetrun::PrepareConsole(console, medium.Path(), warnings, error)) << error;
    EXPECT_TRUE(warnings.empty());
    std::vector<std::string> names;
    for (int i = 0; i < 20; ++i) {
        std::string name = "T" + std::to_string(100 + i);
        winsim::Machine &t = winsim::CreateDefaultMachine(name);
        if (i % 2) t.registry.SetString("HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Base\\Path", "HOME", "E:\\QB" + name);
        names.push_back(name);
    }
    qlsetrun::RemoteOptions options;
    options.account = "svc";
    options.password = "pw";
    std::vector<qlsetrun::RemoteResult> results = qlsetrun::PrepareTargets(names, options);
    ASSERT_EQ(results.size(), 20u);
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(names[i]);
        const qlsetrun::RemoteResult &r = results[i];
        EXPECT_TRUE(r.written) << r.error;
        EXPECT_EQ(r.installed, i % 2 == 1);
        EXPECT_EQ(r.proposedFolder, i % 2 ? "E:\\QB" + names[i] + "\\" : "C:\\Program Files\\Veltmark\\Quillbak\\");
        EXPECT_EQ(r.file, "C:\\QLREMOTE\\TARGETS\\" + names[i] + "\\QUILLBAK.ICF");
        char domain[32] = "";
        GetPrivateProfileStringA("SystemAccount", "DefaultDomainName", "", domain, sizeof domain, r.file.c_str());
        EXPECT_EQ(std::string(domain), names[i]);
    }
    // The front end's connections are gone afterwards.
    EXPECT_TRUE(winsim::NetConnections().empty());
    EXPECT_EQ(qlsetrun::MediumProduct(), "Quillbak 2000");
}

}  // namespace
