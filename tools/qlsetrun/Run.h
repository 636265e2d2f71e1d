// One run of qlsetrun: what it ran on, what each action did, and the
// pictures of the machine before and after, for the report's sections.
#ifndef QLSETRUN_RUN_H
#define QLSETRUN_RUN_H

#include "Package.h"
#include "Snapshot.h"

#include <winsim/machine.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qlsetrun {

struct ActionRun {
    std::string name;
    const Sequence *sequence = nullptr;  // the sequence it belongs to, in a run of several
    bool reached = true;     // false: an earlier action ended the sequence
    bool ran = false;
    std::string skipped;     // why it did not run, when it did not
    bool faultInjected = false;  // the result came from an injected fault, not from the action
    UINT result = 0;
    ActionOutcome outcome{0, false, ""};
    size_t logBegin = 0, logEnd = 0;        // its entries in the session log
    size_t eventBegin = 0, eventEnd = 0;    // its property events
    uint64_t startMs = 0, endMs = 0;        // machine clock
    std::string console;                    // what it printed on standard output
    std::vector<std::string> handlesLeft;   // handles and blocks it opened and left open
};

struct Run {
    winsim::Machine *machine = nullptr;
    std::string machineDir;  // empty: the built-in default machine
    std::string setupDir;
    const Sequence *sequence = nullptr;  // the last one, when several ran
    // The sequences of a run of several (--sequence install,uninstall), in order;
    // empty for a single one.
    std::vector<const Sequence *> sequences;
    bool namedActions = false;  // the actions were named on the command line
    std::vector<ActionRun> actions;
    std::vector<std::string> warnings;

    uint64_t startMs = 0, endMs = 0;
    std::map<std::string, std::string> propertiesBefore, propertiesAfter;
    size_t messageBoxesBefore = 0, mailslotsBefore = 0;
    RegistrySnapshot registryBefore, registryAfter;
    FilesSnapshot filesBefore, filesAfter;
    // Snapshots of the report's sections that take their own, by title.
    std::map<std::string, std::string> sectionsBefore, sectionsAfter;

    // The worst "Return value" of the actions that ran (1 when all succeeded).
    int WorstLogValue() const;
};

// Warning lines for the property reads among `events` [begin, end) that got
// a value cut to fit the caller's field; `who` names the reader.
std::vector<std::string> CutWarnings(const std::vector<winsim::PropertyEvent> &events, size_t begin, size_t end,
                                     const std::string &who);

}  // namespace qlsetrun

#endif
