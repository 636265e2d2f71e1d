// The report of a run: a header, then one section per kind of change. Each
// section is one function and one row of the table in Report.cpp; with
// --out every section is also written to its own file.
#ifndef QLSETRUN_REPORT_H
#define QLSETRUN_REPORT_H

#include "Run.h"

#include <ostream>
#include <string>

namespace qlsetrun {

// A section's text, and whether it has anything to show ("(none)" when not).
struct SectionText {
    std::string text;
    bool empty = false;
};

// A section of state the Run does not hold (shares, services, ...) lists
// that state one item a line with `snapshot`; the runner takes it before
// and after the actions, and LineChanges reports the lines that went and
// came. Adding such a section is its snapshot function and one row:
//   {"Shares", "shares.txt", LineChanges, nullptr, ShareLines},
struct Section {
    const char *title;
    const char *file;  // its file under --out
    SectionText (*render)(const Run &run, const Section &self);
    SectionText (*screen)(const Run &run, const Section &self);  // a shorter form for the screen, or null
    std::string (*snapshot)(const winsim::Machine &machine);      // or null
};
const std::vector<Section> &Sections();

// Takes the snapshots of the sections that have one, into run.before or
// run.after.
void TakeSectionSnapshots(const winsim::Machine &machine, std::map<std::string, std::string> &into);

// "- line" for each line of the before snapshot that is gone, "+ line" for
// each new one.
SectionText LineChanges(const Run &run, const Section &self);

// Writes the report to `screen` and, when `outDir` is not empty, each section
// to its file there. False (with `error`) when a file cannot be written.
bool WriteReport(const Run &run, std::ostream &screen, const std::string &outDir, std::string &error);

}  // namespace qlsetrun

#endif
