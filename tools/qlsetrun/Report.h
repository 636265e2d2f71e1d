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

struct Section {
    const char *title;
    const char *file;  // its file under --out
    SectionText (*render)(const Run &run);
    SectionText (*screen)(const Run &run);  // a shorter form for the screen, or null
};
const std::vector<Section> &Sections();

// Writes the report to `screen` and, when `outDir` is not empty, each section
// to its file there. False (with `error`) when a file cannot be written.
bool WriteReport(const Run &run, std::ostream &screen, const std::string &outDir, std::string &error);

}  // namespace qlsetrun

#endif
