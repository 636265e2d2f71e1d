// Sections of the report that take their own snapshot of the machine: one
// function that lists the state a line at a time, one row in the table.
#include <gtest/gtest.h>

#include <winsim/machine.h>

#include "qlsetrun/Report.h"
#include "system/SystemAccount.h"

#include <set>
#include <stdexcept>
#include <sstream>

namespace {

std::string Lines(const winsim::Machine &) { return ""; }

TEST(ReportSections, LineChangesShowWhatWentAndWhatCame) {
    qlsetrun::Section shares{"Shares", "shares.txt", qlsetrun::LineChanges, nullptr, Lines};
    qlsetrun::Run run;
    run.sectionsBefore["Shares"] = "ADMIN$ C:\\WINNT\nOLD$ C:\\OLD\n";
    run.sectionsAfter["Shares"] = "ADMIN$ C:\\WINNT\nQUILLBAK$ C:\\QB\n";
    qlsetrun::SectionText t = qlsetrun::LineChanges(run, shares);
    EXPECT_EQ(t.text, "- OLD$ C:\\OLD\n+ QUILLBAK$ C:\\QB\n");
    EXPECT_FALSE(t.empty);
    run.sectionsAfter["Shares"] = run.sectionsBefore["Shares"];
    EXPECT_TRUE(qlsetrun::LineChanges(run, shares).empty);
}

TEST(ReportSections, ProgramsStartedAreTakenBeforeAndAfter) {
    winsim::Machine &m = winsim::LocalMachine();
    std::map<std::string, std::string> before, after;
    qlsetrun::TakeSectionSnapshots(m, before);
    m.processLog.push_back({"C:\\QB\\CONV.EXE", "C:\\QB\\CONV.EXE /s", "C:\\QB", 0});
    m.processLog.push_back({"C:\\QB\\CONV.EXE", "C:\\QB\\CONV.EXE /s", "C:\\QB", 0});
    qlsetrun::TakeSectionSnapshots(m, after);
    qlsetrun::Run run;
    run.sectionsBefore = before;
    run.sectionsAfter = after;
    const qlsetrun::Section *programs = nullptr;
    for (auto &s : qlsetrun::Sections())
        if (std::string(s.title) == "Programs started") programs = &s;
    ASSERT_NE(programs, nullptr);
    // Started twice is two lines.
    EXPECT_EQ(programs->render(run, *programs).text,
              "+ #1 C:\\QB\\CONV.EXE /s (in C:\\QB)\n+ #2 C:\\QB\\CONV.EXE /s (in C:\\QB)\n");
}

const qlsetrun::Section &SectionNamed(const char *title) {
    for (auto &s : qlsetrun::Sections())
        if (std::string(s.title) == title) return s;
    throw std::runtime_error(std::string("no section ") + title);
}

std::string Render(const char *title, std::map<std::string, std::string> before,
                   std::map<std::string, std::string> after) {
    qlsetrun::Run run;
    run.sectionsBefore = before;
    run.sectionsAfter = after;
    const qlsetrun::Section &s = SectionNamed(title);
    return s.render(run, s).text;
}

TEST(ReportSections, SharesShowEveryAccessListAndMarkWhatChanged) {
    winsim::Machine &m = winsim::LocalMachine();
    winsim::Share old;
    old.netname = "OLD$";
    old.path = "C:\\OLD";
    m.shares["OLD$"] = old;
    std::map<std::string, std::string> before, after;
    qlsetrun::TakeSectionSnapshots(m, before);
    m.shares.erase("OLD$");
    winsim::Share home;
    home.netname = "Quillbak$";
    home.path = "C:\\QB";
    home.remark = "home";
    m.shares["Quillbak$"] = home;
    m.shares["C$"].remark = "changed";
    qlsetrun::TakeSectionSnapshots(m, after);
    const std::string text = Render("Shares", before, after);
    // Kept shares are listed unmarked, with their entries.
    EXPECT_NE(text.find("  ADMIN$ C:\\WINNT"), std::string::npos) << text;
    EXPECT_NE(text.find("- C$ C:\\ \"Default share\"\n-   (no access list"), std::string::npos) << text;
    EXPECT_NE(text.find("+ C$ C:\\ \"changed\"\n+   (no access list"), std::string::npos) << text;
    EXPECT_NE(text.find("+ Quillbak$ C:\\QB \"home\""), std::string::npos) << text;
    EXPECT_NE(text.find("- OLD$ C:\\OLD"), std::string::npos) << text;
}

TEST(ReportSections, ServicesReportWhatTheRunDid) {
    winsim::Machine &m = winsim::LocalMachine();
    winsim::ServiceConfig engine;
    engine.name = "QLJobEngine";
    engine.displayName = "Job Engine";
    engine.imagePath = "C:\\QB\\JOBSRV.EXE";
    winsim::AddService(m, engine, SERVICE_RUNNING);
    std::map<std::string, std::string> before, after;
    qlsetrun::TakeSectionSnapshots(m, before);
    winsim::ServiceConfig agent;
    agent.name = "QLAgent";
    agent.displayName = "Agent";
    agent.imagePath = "C:\\QB\\AGENT.EXE";
    winsim::AddService(m, agent);
    qlsetrun::TakeSectionSnapshots(m, after);
    EXPECT_EQ(Render("Services", before, after),
              "created QLAgent: \"Agent\", demand start, LocalSystem, \"C:\\QB\\AGENT.EXE\", stopped\n");
    EXPECT_EQ(Render("Services", before, before), "");
}

TEST(ReportSections, ProductRegistryShowsBeforeAndAfterWhenItChanged) {
    std::map<std::string, std::string> same{{"Product registry", "home: C:\\QB\n"}};
    EXPECT_EQ(Render("Product registry", same, same), "home: C:\\QB\n");
    std::map<std::string, std::string> after{{"Product registry", "home: (none)\n"}};
    EXPECT_EQ(Render("Product registry", same, after),
              "before the run:\n  home: C:\\QB\nafter the run:\n  home: (none)\n");
}

TEST(ReportSections, EveryFileNameIsItsOwn) {
    std::set<std::string> files;
    for (auto &s : qlsetrun::Sections()) EXPECT_TRUE(files.insert(s.file).second) << s.file;
    EXPECT_FALSE(files.count("report.txt"));
    // The settings section may run the prologue, so it comes last.
    EXPECT_EQ(std::string(qlsetrun::Sections().back().title), "Settings");
}

TEST(ReportSections, AccountsCreatedGroupsJoinedAndRightsGrantedWithoutPasswords) {
    winsim::Machine &m = winsim::LocalMachine();
    std::map<std::string, std::string> before, after;
    qlsetrun::TakeSectionSnapshots(m, before);
    ASSERT_TRUE(CSystemAccount("QLSERVER", "QLSERVER", "qlsvc", "Secret1").Create());
    qlsetrun::TakeSectionSnapshots(m, after);
    const std::string text = Render("Accounts", before, after);
    EXPECT_EQ(text,
              "- rights BUILTIN\\Backup Operators: SeBackupPrivilege, SeRestorePrivilege, SeShutdownPrivilege, "
              "SeInteractiveLogonRight, SeNetworkLogonRight\n"
              "+ user QLSERVER\\qlsvc\n"
              "+ member BUILTIN\\Administrators: QLSERVER\\qlsvc\n"
              "+ member BUILTIN\\Backup Operators: QLSERVER\\qlsvc\n"
              "+ rights BUILTIN\\Backup Operators: SeBackupPrivilege, SeRestorePrivilege, SeShutdownPrivilege, "
              "SeTcbPrivilege, SeInteractiveLogonRight, SeNetworkLogonRight, SeBatchLogonRight, SeServiceLogonRight\n");
    EXPECT_EQ(text.find("Secret1"), std::string::npos);
    EXPECT_EQ(before["Accounts"].find("Secret1"), std::string::npos);
    EXPECT_EQ(after["Accounts"].find("Secret1"), std::string::npos);
}

}  // namespace

namespace {

TEST(ReportSections, RunningProgramsAskedToCloseEndedAndLeftRunning) {
    winsim::Machine &m = winsim::LocalMachine();
    auto start = [&](const char *image, const char *cls, bool closes) {
        winsim::RunningProgramDecl program;
        program.image = image;
        if (cls) {
            winsim::ProgramWindowDecl w;
            w.className = cls;
            w.title = cls;
            w.closes = closes;
            program.windows.push_back(w);
        }
        return winsim::StartRunningProgram(m, program);
    };
    DWORD closing = start("C:\\QB\\QLMGR.EXE", "Manager", true);
    DWORD stubborn = start("C:\\QB\\QLADMIN.EXE", "Admin", false);
    DWORD killed = start("C:\\QB\\QLSERVER.EXE", nullptr, false);
    DWORD untouched = start("C:\\OTHER\\TOOL.EXE", nullptr, false);
    std::map<std::string, std::string> before, after;
    qlsetrun::TakeSectionSnapshots(m, before);
    PostMessageA(FindWindowA("Manager", NULL), WM_CLOSE, 0, 0);
    PostMessageA(FindWindowA("Admin", NULL), WM_CLOSE, 0, 0);
    HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, killed);
    TerminateProcess(h, 1);
    CloseHandle(h);
    qlsetrun::TakeSectionSnapshots(m, after);
    auto pid = [](DWORD id) { return std::to_string(id); };
    EXPECT_EQ(Render("Running programs", before, after),
              "+ C:\\QB\\QLMGR.EXE (pid " + pid(closing) + "): closed when asked, exit code 0\n" +
                  "+ C:\\QB\\QLADMIN.EXE (pid " + pid(stubborn) + "): asked to close, left running\n" +
                  "+ C:\\QB\\QLSERVER.EXE (pid " + pid(killed) + "): ended by force, exit code 1\n" +
                  "  C:\\OTHER\\TOOL.EXE (pid " + pid(untouched) + "): running\n");
}

}  // namespace
