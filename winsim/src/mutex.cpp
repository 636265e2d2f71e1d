// Named mutexes of a machine. Ownership is kept per process: the running
// program (the test or the runner) owns what it created or waited for, a
// running program of the machine owns its single-instance mutex while it
// runs. A named mutex lives while a handle or a holder keeps it.
#include "sim_helpers.h"

#include <map>

namespace winsim {

namespace {

struct MutexState {
    std::string machine, name;
    DWORD ownerPid = 0;  // 0: nobody owns it
    DWORD count = 0;     // recursion count of the owner
    bool abandoned = false;  // its owner ended while holding it
};

// By machine and name (names compare with case, as NT's object names do).
std::map<std::pair<std::string, std::string>, std::weak_ptr<MutexState>> &Named() {
    static auto *named = new std::map<std::pair<std::string, std::string>, std::weak_ptr<MutexState>>();
    return *named;
}

std::vector<std::weak_ptr<MutexState>> &AllMutexes() {
    static auto *all = new std::vector<std::weak_ptr<MutexState>>();
    return *all;
}

struct MutexHandle : WaitableObject {
    std::shared_ptr<MutexState> state;
    DWORD access;
    MutexHandle(std::shared_ptr<MutexState> s, DWORD a) : state(std::move(s)), access(a) {}
    const char *Kind() const override { return "Mutex"; }
    uint64_t SignaledAt() override {
        return state->ownerPid == 0 || state->ownerPid == OwnProcessId() ? 0 : kNever;
    }
    void Satisfy() override {
        state->ownerPid = OwnProcessId();
        ++state->count;
        state->abandoned = false;
    }
    bool Abandoned() const override { return state->abandoned; }
    bool MayWait() const override { return (access & SYNCHRONIZE) != 0; }
    const void *Identity() const override { return state.get(); }
};

std::shared_ptr<MutexState> FindNamed(const std::string &machine, const std::string &name) {
    auto it = Named().find({Upper(machine), name});
    return it == Named().end() ? nullptr : it->second.lock();
}

std::shared_ptr<MutexState> NewMutex(const std::string &machine, const std::string &name) {
    auto s = std::make_shared<MutexState>();
    s->machine = Upper(machine);
    s->name = name;
    if (!name.empty()) Named()[{s->machine, name}] = s;
    auto &all = AllMutexes();
    all.erase(std::remove_if(all.begin(), all.end(), [](const std::weak_ptr<MutexState> &w) { return w.expired(); }),
              all.end());
    all.push_back(s);
    return s;
}

}  // namespace

std::shared_ptr<void> HoldMutex(Machine &m, const std::string &name, DWORD pid) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    std::shared_ptr<MutexState> s = FindNamed(m.name, name);
    if (!s) s = NewMutex(m.name, name);
    if (s->ownerPid == 0) {
        s->ownerPid = pid;
        s->count = 1;
    }
    return s;
}

void AbandonMutexesOf(const std::string &machine, DWORD pid) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    for (auto &w : AllMutexes())
        if (auto s = w.lock())
            if (s->ownerPid == pid && EqualNoCase(s->machine, machine)) {
                s->ownerPid = 0;
                s->count = 0;
                s->abandoned = true;
            }
}

}  // namespace winsim

using namespace winsim;

extern "C" HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName) {
    WINSIM_FAULT_RETURN("CreateMutexA", (HANDLE) nullptr);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    std::string name = lpName ? lpName : "";
    if (name.size() > MAX_PATH) return Fail((HANDLE) nullptr, ERROR_FILENAME_EXCED_RANGE);
    if (name.find('\\') != std::string::npos) return Fail((HANDLE) nullptr, ERROR_BAD_PATHNAME);
    if (std::shared_ptr<MutexState> s = name.empty() ? nullptr : FindNamed(m.name, name)) {
        // An existing mutex: opened, the initial ownership is not taken.
        HANDLE h = NewHandle(std::make_shared<MutexHandle>(s, MUTEX_ALL_ACCESS));
        SetLastError(ERROR_ALREADY_EXISTS);
        return h;
    }
    std::shared_ptr<MutexState> s = NewMutex(m.name, name);
    if (bInitialOwner) {
        s->ownerPid = OwnProcessId();
        s->count = 1;
    }
    HANDLE h = NewHandle(std::make_shared<MutexHandle>(s, MUTEX_ALL_ACCESS));
    SetLastError(ERROR_SUCCESS);
    return h;
}

extern "C" HANDLE WINAPI OpenMutexA(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCSTR lpName) {
    WINSIM_FAULT_RETURN("OpenMutexA", (HANDLE) nullptr);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpName) return Fail((HANDLE) nullptr, ERROR_INVALID_PARAMETER);
    std::shared_ptr<MutexState> s = FindNamed(LocalMachine().name, lpName);
    if (!s) return Fail((HANDLE) nullptr, ERROR_FILE_NOT_FOUND);
    return NewHandle(std::make_shared<MutexHandle>(s, dwDesiredAccess));
}

extern "C" BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
    WINSIM_FAULT_RETURN("ReleaseMutex", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto h = HandleAs<MutexHandle>(hMutex);
    if (!h) return Fail(FALSE, ERROR_INVALID_HANDLE);
    MutexState &s = *h->state;
    if (s.ownerPid != OwnProcessId() || s.count == 0) return Fail(FALSE, ERROR_NOT_OWNER);
    if (--s.count == 0) s.ownerPid = 0;
    return TRUE;
}
