// Sections of the report that take their own snapshot of the machine: one
// function that lists the state a line at a time, one row in the table.
#include <gtest/gtest.h>

#include <winsim/machine.h>

#include "qlsetrun/Report.h"

#include <set>
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

TEST(ReportSections, EveryFileNameIsItsOwn) {
    std::set<std::string> files;
    for (auto &s : qlsetrun::Sections()) EXPECT_TRUE(files.insert(s.file).second) << s.file;
    EXPECT_FALSE(files.count("report.txt"));
    // The settings section may run the prologue, so it comes last.
    EXPECT_EQ(std::string(qlsetrun::Sections().back().title), "Settings");
}

}  // namespace
