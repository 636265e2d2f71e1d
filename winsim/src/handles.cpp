// Handle accounting: every handle or block a simulated call hands out is
// noted, with its machine and the call that made it, until the matching
// close or free. Tests read it to find what a caller left open.
#include "internal.h"

#include <winsim/machine.h>

#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace winsim {
namespace {

struct Opened {
    std::string machine;
    std::string openedBy;
};

struct Accounts {
    // (kind, handle) -> one entry per open: a module loaded twice is
    // open until freed twice.
    std::map<std::pair<std::string, uintptr_t>, std::vector<Opened>> open;
};

std::mutex &AccountsLock() {
    static std::mutex *m = new std::mutex();
    return *m;
}
Accounts &TheAccounts() {
    static Accounts *a = new Accounts();  // never destroyed: closes may come in during exit
    return *a;
}

thread_local const char *t_lastCall = nullptr;

}  // namespace

void NoteCall(const char *function) { t_lastCall = function; }

void NoteOpen(const char *kind, uintptr_t id, const std::string &machine, const char *openedBy) {
    std::string on = machine;
    if (on.empty()) {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        if (HasLocalMachine()) on = LocalMachine().name;
    }
    std::lock_guard<std::mutex> g(AccountsLock());
    TheAccounts().open[{kind, id}].push_back(Opened{on, openedBy ? openedBy : t_lastCall ? t_lastCall : ""});
}

void NoteClosed(const char *kind, uintptr_t id) {
    std::lock_guard<std::mutex> g(AccountsLock());
    auto &open = TheAccounts().open;
    auto it = open.find({kind, id});
    if (it == open.end()) return;
    it->second.pop_back();
    if (it->second.empty()) open.erase(it);
}

void ResetHandleAccounts() {
    std::lock_guard<std::mutex> g(AccountsLock());
    TheAccounts().open.clear();
}

void ForgetOpenHandles() { ResetHandleAccounts(); }

std::vector<OpenHandleInfo> OpenHandles() {
    std::lock_guard<std::mutex> g(AccountsLock());
    std::vector<OpenHandleInfo> out;
    for (auto &kv : TheAccounts().open)
        for (auto &o : kv.second) out.push_back(OpenHandleInfo{o.machine, kv.first.first, o.openedBy});
    return out;
}

unsigned OpenHandleCount(const Machine &m, const std::string &kind) {
    unsigned n = 0;
    for (auto &h : OpenHandles())
        if (EqualNoCase(h.machine, m.name) && (kind.empty() || h.kind == kind)) ++n;
    return n;
}

std::string DescribeOpenHandles() {
    std::map<std::string, unsigned> counted;
    for (auto &h : OpenHandles())
        ++counted[h.machine + " " + h.kind + (h.openedBy.empty() ? "" : " from " + h.openedBy)];
    std::string text;
    for (auto &kv : counted) {
        if (!text.empty()) text += "\n";
        text += kv.first;
        if (kv.second > 1) text += " (" + std::to_string(kv.second) + ")";
    }
    return text;
}

}  // namespace winsim
