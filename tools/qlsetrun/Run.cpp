#include "Run.h"

namespace qlsetrun {

int Run::WorstLogValue() const {
    int worst = 1;
    for (auto &a : actions)
        if (a.ran && a.outcome.logValue > worst) worst = a.outcome.logValue;
    return worst;
}

std::vector<std::string> CutWarnings(const std::vector<winsim::PropertyEvent> &events, size_t begin, size_t end,
                                     const std::string &who) {
    std::vector<std::string> lines;
    for (size_t i = begin; i < end && i < events.size(); ++i) {
        const winsim::PropertyEvent &e = events[i];
        if (e.kind != winsim::PropertyEvent::CutOnRead) continue;
        lines.push_back("warning: " + who + " read the property " + e.name + " (" + std::to_string(e.oldValue.size()) +
                        " characters) into a " + std::to_string(e.bufferSize) + "-character field and got the first " +
                        std::to_string(e.newValue.size()) + ": \"" + e.newValue + "\"");
    }
    return lines;
}

}  // namespace qlsetrun
