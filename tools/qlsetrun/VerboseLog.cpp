#include "VerboseLog.h"

#include <cstdio>
#include <sstream>

namespace qlsetrun {

namespace {

const uint64_t kDayMs = 86400000ull;

// The installer's server process and its custom-action thread, as the log
// names them: "MSI (s) (process:thread)".
const char kEngine[] = "MSI (s) (C4:A8)";

std::string EngineLine(uint64_t ms, const std::string &text) {
    return std::string(kEngine) + " [" + ClockStamp(ms) + "]: " + text + "\n";
}

// Date of a clock reading in the form of an English (United States) system:
// month/day/year.
std::string ClockDate(uint64_t ms) {
    // Days since 1601-01-01 to a civil date.
    int64_t days = (int64_t)(ms / kDayMs);
    int year = 1601;
    auto leap = [](int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
    while (days >= (leap(year) ? 366 : 365)) days -= leap(year++) ? 366 : 365;
    static const int kMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int month = 0;
    for (;;) {
        const int length = kMonth[month] + (month == 1 && leap(year) ? 1 : 0);
        if (days < length) break;
        days -= length;
        ++month;
    }
    char buf[48];
    snprintf(buf, sizeof buf, "%d/%d/%d", month + 1, (int)days + 1, year);
    return buf;
}

}  // namespace

// The service account's password, and what the package lists in
// MsiHiddenProperties, are shown as the installer shows hidden properties.
std::string ShownValue(const std::string &name, const std::string &value,
                       const std::map<std::string, std::string> &props) {
    if (value.empty()) return value;
    bool hidden = name == "SYSTEMPWD";
    auto list = props.find("MsiHiddenProperties");
    if (list != props.end()) {
        std::string names = ";" + list->second + ";";
        hidden = hidden || names.find(";" + name + ";") != std::string::npos;
    }
    return hidden ? "**********" : value;
}

namespace {

void PropertyDump(const std::map<std::string, std::string> &props, bool whole, std::ostream &o) {
    if (!whole) {
        o << "Property(S): ... (" << props.size() << " properties; all of them in install.log with --out)\n";
        return;
    }
    for (auto &[name, value] : props) o << "Property(S): " << name << " = " << ShownValue(name, value, props) << "\n";
}

std::string EventLine(const winsim::PropertyEvent &e, const std::map<std::string, std::string> &props) {
    const std::string oldValue = ShownValue(e.name, e.oldValue, props), newValue = ShownValue(e.name, e.newValue, props);
    switch (e.kind) {
    case winsim::PropertyEvent::Added:
        return "PROPERTY CHANGE: Adding " + e.name + " property. Its value is '" + newValue + "'.";
    case winsim::PropertyEvent::Modified:
        return "PROPERTY CHANGE: Modifying " + e.name + " property. Its current value is '" + oldValue +
               "'. Its new value: '" + newValue + "'.";
    case winsim::PropertyEvent::Deleted:
        return "PROPERTY CHANGE: Deleting " + e.name + " property. Its current value is '" + oldValue + "'.";
    default:
        return std::string();  // a cut read leaves no trace in the installer's own log
    }
}

// A message an action sent with MsiProcessMessage, as the log shows it.
std::string MessageLine(const winsim::InstallerLogEntry &e) {
    switch (e.kind) {
    case INSTALLMESSAGE_INFO: return e.text;
    case INSTALLMESSAGE_ERROR: return "Error: " + e.text;
    case INSTALLMESSAGE_WARNING: return "Warning: " + e.text;
    case INSTALLMESSAGE_FATALEXIT: return "Fatal error: " + e.text;
    case INSTALLMESSAGE_USER: return "User: " + e.text;
    case INSTALLMESSAGE_ACTIONDATA: return "ActionData: " + e.text;
    default: return "Message: " + e.text;
    }
}

}  // namespace

std::string ClockOfDay(uint64_t ms) {
    uint64_t t = ms % kDayMs;
    char buf[32];
    snprintf(buf, sizeof buf, "%u:%02u:%02u", (unsigned)(t / 3600000), (unsigned)(t / 60000 % 60),
             (unsigned)(t / 1000 % 60));
    return buf;
}

std::string ClockStamp(uint64_t ms) {
    uint64_t t = ms % kDayMs;
    char buf[32];
    snprintf(buf, sizeof buf, "%02u:%02u:%02u:%03u", (unsigned)(t / 3600000), (unsigned)(t / 60000 % 60),
             (unsigned)(t / 1000 % 60), (unsigned)(t % 1000));
    return buf;
}

std::string VerboseLog(const Run &run, bool propertyDumps) {
    const winsim::Machine &m = *run.machine;
    const auto &log = m.installer.log;
    const auto &events = m.installer.propertyEvents;
    std::ostringstream o;
    o << "=== Verbose logging started: " << ClockDate(run.startMs) << "  " << ClockOfDay(run.startMs)
      << "  Build type: SHIP ANSI  Calling process: " << m.modulePath << " ===\n";
    PropertyDump(run.propertiesBefore, propertyDumps, o);
    const bool sequence = !run.namedActions;
    if (sequence) o << "Action start " << ClockOfDay(run.startMs) << ": INSTALL.\n";
    // In a run of several sequences each is an installer run of its own:
    // its INSTALL action ends before the next one starts.
    for (size_t i = 0; i < run.actions.size(); ++i) {
        const ActionRun &a = run.actions[i];
        if (!a.reached) continue;  // the sequence ended before it
        if (i > 0 && a.sequence && a.sequence != run.actions[i - 1].sequence) {
            int worst = 1;
            for (auto &b : run.actions)
                if (b.sequence == run.actions[i - 1].sequence && b.ran && b.outcome.logValue > worst)
                    worst = b.outcome.logValue;
            o << "Action ended " << ClockOfDay(a.startMs) << ": INSTALL. Return value " << worst << ".\n";
            o << EngineLine(a.startMs, "MainEngineThread is returning " +
                                           std::to_string(InstallerResultForLogValue(worst)));
            o << EngineLine(a.startMs, std::string("Next installer run: the ") + a.sequence->name + " sequence");
            o << "Action start " << ClockOfDay(a.startMs) << ": INSTALL.\n";
        }
        if (!a.ran) {
            o << EngineLine(a.startMs, "Skipping action: " + a.name + " (" + a.skipped + ")");
            continue;
        }
        o << EngineLine(a.startMs, "Doing action: " + a.name);
        o << "Action start " << ClockOfDay(a.startMs) << ": " << a.name << ".\n";
        // The action's messages and property changes in the order they happened.
        size_t ev = a.eventBegin;
        for (size_t i = a.logBegin; i <= a.logEnd; ++i) {
            for (; ev < a.eventEnd && events[ev].logPosition <= i; ++ev) {
                std::string line = EventLine(events[ev], run.propertiesAfter);
                if (!line.empty()) o << EngineLine(events[ev].atMs, line);
            }
            if (i < a.logEnd) o << MessageLine(log[i]) << "\n";
        }
        if (a.result != ERROR_SUCCESS)
            o << "CustomAction " << a.name << " returned actual error code " << a.result
              << (a.faultInjected ? " (an injected fault; the action did not run)" : "") << "\n";
        o << "Action ended " << ClockOfDay(a.endMs) << ": " << a.name << ". Return value " << a.outcome.logValue
          << ".\n";
    }
    const int worst = run.WorstLogValue();
    if (sequence) {
        o << "Action ended " << ClockOfDay(run.endMs) << ": INSTALL. Return value " << worst << ".\n";
    }
    PropertyDump(run.propertiesAfter, propertyDumps, o);
    if (sequence)
        o << EngineLine(run.endMs, "MainEngineThread is returning " + std::to_string(InstallerResultForLogValue(worst)));
    o << "=== Verbose logging stopped: " << ClockDate(run.endMs) << "  " << ClockOfDay(run.endMs) << " ===\n";
    return o.str();
}

}  // namespace qlsetrun
