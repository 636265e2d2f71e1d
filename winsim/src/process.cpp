// Processes, waits and thread message queues.
//
// A started program does not run code: it is a Program of the machine that
// runs for runMs on the machine clock, may post messages to the thread that
// started it, and has its effect on the machine when it ends. Nothing runs
// in the background, so a process ends "lazily": every wait, exit-code query
// and CreateProcessA first settles what the clock has reached, and a wait
// that would block advances the clock to the next thing that can end it.
#include "sim_helpers.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace winsim {

namespace {

const DWORD kCurrentProcessId = 1000;
const HANDLE kCurrentProcessHandle = (HANDLE)(LONG_PTR)-1;
const HANDLE kCurrentThreadHandle = (HANDLE)(LONG_PTR)-2;
const HWND kThreadMessagesOnly = (HWND)(LONG_PTR)-1;  // PeekMessage: messages posted to the thread
const size_t kQueueLimit = 10000;                     // posted messages per queue, as on NT
const DWORD kPostedBits = QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
const DWORD kValidWakeBits = 0x01FF;

// Process and thread ids share one space and are never reused in a run.
DWORD NewId() {
    static DWORD next = 1004;
    DWORD id = next;
    next += 4;
    return id;
}

struct ProcessState {
    DWORD pid = 0, tid = 0;
    DWORD creatorThread = 0;  // its postsAt go to this thread's queue
    std::string commandLine;
    Program program;
    uint64_t startMs = 0, endMs = 0;
    bool ended = false;  // settled: effect run (or skipped by TerminateProcess)
    DWORD exitCode = 0;
    std::vector<std::pair<uint64_t, UINT>> posts;  // clock time, message; sorted
    size_t nextPost = 0;
    std::string image;              // full Windows path of its executable
    bool resident = false;          // runs until closed or ended (a running program of the machine)
    bool closeRequested = false;
    bool terminated = false;
    bool systemAccount = false;     // runs under the local system account
    std::shared_ptr<void> mutexHold;  // its single-instance mutex

    bool EndedAt(uint64_t now) const { return ended || now >= endMs; }
    DWORD ExitCodeAt(uint64_t now) const {
        if (ended) return exitCode;
        return now >= endMs ? program.exitCode : (DWORD)STILL_ACTIVE;
    }
    uint64_t NextPostTime() const { return nextPost < posts.size() ? posts[nextPost].first : WaitableObject::kNever; }
};

struct ThreadQueue {
    std::deque<MSG> messages;
    bool quitPending = false;
    int quitCode = 0;
    DWORD changed = 0;  // QS bits set since the thread last looked at its queue

    DWORD Current() const { return (!messages.empty() || quitPending) ? kPostedBits : 0; }
};

}  // namespace

struct ProcessTable {
    Machine *machine = nullptr;
    std::vector<std::shared_ptr<ProcessState>> running;  // not settled yet, in start order
    std::map<DWORD, std::weak_ptr<ProcessState>> byPid;
    std::vector<std::shared_ptr<ProcessState>> all;  // every process, for reports
    std::map<std::thread::id, DWORD> threadIds;  // the running program's threads
    std::map<DWORD, ThreadQueue> queues;         // by thread id
    bool settling = false;
};

namespace {

// Every machine's table, so that SettleProcesses reaches them all; a table
// goes away with its machine.
std::vector<std::weak_ptr<ProcessTable>> &AllTables() {
    static auto *tables = new std::vector<std::weak_ptr<ProcessTable>>();
    return *tables;
}

ProcessTable &TableOf(Machine &m) {
    if (!m.processTable) {
        m.processTable = std::make_shared<ProcessTable>();
        m.processTable->machine = &m;
        auto &all = AllTables();
        all.erase(std::remove_if(all.begin(), all.end(), [](const std::weak_ptr<ProcessTable> &w) { return w.expired(); }),
                  all.end());
        all.push_back(m.processTable);
    }
    return *m.processTable;
}

DWORD ThreadIdIn(ProcessTable &t) {
    auto self = std::this_thread::get_id();
    auto it = t.threadIds.find(self);
    if (it != t.threadIds.end()) return it->second;
    DWORD id = NewId();
    t.threadIds[self] = id;
    t.queues[id];
    return id;
}

DWORD MessageTime(uint64_t ms) { return TickCountAt(ms); }

void PostTo(ThreadQueue &q, HWND hwnd, UINT msg, WPARAM w, LPARAM l, uint64_t at) {
    MSG m{};
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = w;
    m.lParam = l;
    m.time = MessageTime(at);
    q.messages.push_back(m);
    q.changed |= kPostedBits;
}

// Runs what the clock has reached, in clock order: a program's messages
// before its end at the same moment, earlier-started programs first.
void Settle(Machine &m) {
    ProcessTable &t = TableOf(m);
    if (t.settling) return;  // an effect that calls back into us
    struct Guard {
        bool &flag;
        explicit Guard(bool &f) : flag(f) { flag = true; }
        ~Guard() { flag = false; }
    } guard(t.settling);
    const uint64_t now = ClockMs();
    for (;;) {
        ProcessState *next = nullptr;
        bool isPost = false;
        uint64_t when = WaitableObject::kNever;
        for (auto &p : t.running) {
            uint64_t post = p->NextPostTime();
            if (post <= now && post < when) {
                when = post, next = p.get(), isPost = true;
            }
            if (p->endMs <= now && p->endMs < when) {
                when = p->endMs, next = p.get(), isPost = false;
            }
        }
        if (!next) return;
        if (isPost) {
            UINT msg = next->posts[next->nextPost++].second;
            ThreadQueue &q = t.queues[next->creatorThread];
            if (q.messages.size() < kQueueLimit) PostTo(q, nullptr, msg, 0, 0, when);
            continue;
        }
        std::shared_ptr<ProcessState> keep;
        for (auto it = t.running.begin(); it != t.running.end(); ++it)
            if (it->get() == next) {
                keep = *it;
                t.running.erase(it);
                break;
            }
        keep->ended = true;
        keep->exitCode = keep->program.exitCode;
        keep->nextPost = keep->posts.size();
        if (keep->program.effect) keep->program.effect(m, keep->commandLine);
    }
}

// The earliest clock time after `now` at which a running program posts to
// `thread`, or kNever. (Posts due already are either queued or, inside an
// effect, left for the settling that is under way.)
uint64_t NextPostFor(ProcessTable &t, DWORD thread, uint64_t now) {
    uint64_t best = WaitableObject::kNever;
    for (auto &p : t.running) {
        if (p->creatorThread != thread) continue;
        for (size_t i = p->nextPost; i < p->posts.size(); ++i)
            if (p->posts[i].first > now) {
                best = std::min(best, p->posts[i].first);
                break;
            }
    }
    return best;
}

// Ends a process at once: killed (no effect, no more messages) or closed
// by its program. Its windows go and its mutex is abandoned.
void EndNow(Machine &m, ProcessState &p, DWORD code, bool killed) {
    ProcessTable &t = TableOf(m);
    p.ended = true;
    p.exitCode = code;
    p.endMs = ClockMs();
    p.nextPost = p.posts.size();
    p.terminated = killed;
    t.running.erase(std::remove_if(t.running.begin(), t.running.end(),
                                   [&](const std::shared_ptr<ProcessState> &s) { return s.get() == &p; }),
                    t.running.end());
    DestroyProgramWindows(m.name, p.pid);
    p.mutexHold.reset();
    AbandonMutexesOf(m.name, p.pid);
}

// ---- kernel objects ------------------------------------------------------------
struct ProcessHandle : WaitableObject {
    std::shared_ptr<ProcessState> state;
    DWORD access;
    ProcessHandle(std::shared_ptr<ProcessState> s, DWORD a) : state(std::move(s)), access(a) {}
    const char *Kind() const override { return "Process"; }
    uint64_t SignaledAt() override { return state->ended ? 0 : state->endMs; }
    bool MayWait() const override { return (access & SYNCHRONIZE) != 0; }
    const void *Identity() const override { return state.get(); }
};

// A program's one thread: it ends with the process.
struct ThreadHandle : WaitableObject {
    std::shared_ptr<ProcessState> state;
    DWORD access;
    ThreadHandle(std::shared_ptr<ProcessState> s, DWORD a) : state(std::move(s)), access(a) {}
    const char *Kind() const override { return "Thread"; }
    uint64_t SignaledAt() override { return state->ended ? 0 : state->endMs; }
    bool MayWait() const override { return (access & SYNCHRONIZE) != 0; }
    const void *Identity() const override { return &state->tid; }
};

// The running program itself (OpenProcess of our own id, the pseudo handle):
// it does not end while anyone can wait for it.
struct OwnProcessHandle : WaitableObject {
    DWORD access;
    explicit OwnProcessHandle(DWORD a) : access(a) {}
    const char *Kind() const override { return "Process"; }
    uint64_t SignaledAt() override { return kNever; }
    bool MayWait() const override { return (access & SYNCHRONIZE) != 0; }
    const void *Identity() const override { return &kCurrentProcessId; }
};

struct OwnThreadHandle : WaitableObject {
    const char *Kind() const override { return "Thread"; }
    uint64_t SignaledAt() override { return kNever; }
};

std::shared_ptr<WaitableObject> WaitableOf(HANDLE h) {
    if (h == kCurrentProcessHandle) return std::make_shared<OwnProcessHandle>(PROCESS_ALL_ACCESS);
    if (h == kCurrentThreadHandle) return std::make_shared<OwnThreadHandle>();
    return HandleAs<WaitableObject>(h);
}

// Generic rights of process objects, as NT maps them.
DWORD MapProcessAccess(DWORD access) {
    if (access & (MAXIMUM_ALLOWED | GENERIC_ALL)) access |= PROCESS_ALL_ACCESS;
    if (access & GENERIC_READ) access |= STANDARD_RIGHTS_READ | PROCESS_VM_READ | PROCESS_QUERY_INFORMATION;
    if (access & GENERIC_WRITE)
        access |= STANDARD_RIGHTS_WRITE | PROCESS_CREATE_PROCESS | PROCESS_CREATE_THREAD | PROCESS_VM_OPERATION |
                  PROCESS_VM_WRITE | PROCESS_DUP_HANDLE | PROCESS_TERMINATE | PROCESS_SET_QUOTA |
                  PROCESS_SET_INFORMATION;
    if (access & GENERIC_EXECUTE) access |= STANDARD_RIGHTS_EXECUTE | SYNCHRONIZE;
    return access & PROCESS_ALL_ACCESS;
}

// ---- finding the program ---------------------------------------------------------
std::string DirOf(const std::string &path) {
    size_t p = path.find_last_of('\\');
    return p == std::string::npos ? std::string() : path.substr(0, p);
}

std::string BaseOf(const std::string &path) {
    size_t p = path.find_last_of("\\/:");
    return p == std::string::npos ? path : path.substr(p + 1);
}

bool IsDirectory(const Machine &m, const std::string &full) {
    std::string host;
    std::error_code ec;
    return m.HostPath(full, host) && fs::is_directory(host, ec);
}

bool IsFile(const Machine &m, const std::string &full) { return m.Exists(full) && !IsDirectory(m, full); }

// Why a path names no file: its folder is missing, or just the file.
DWORD MissingError(const Machine &m, const std::string &full) {
    std::string dir = DirOf(full);
    if (dir.size() == 2 && dir[1] == ':') dir += '\\';
    return IsDirectory(m, dir) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

// Looks for one program name taken from a command line: ".exe" added when
// the name has no extension, searched when it has no path. Returns 0 with
// `full` set, or the error of the attempt.
DWORD FindCommand(const Machine &m, std::string name, std::string &full) {
    if (name.empty()) return ERROR_FILE_NOT_FOUND;
    std::string base = BaseOf(name);
    if (!base.empty() && base.back() == '.')
        name.pop_back();  // a trailing dot means "no extension"
    else if (base.find('.') == std::string::npos)
        name += ".exe";
    if (name.find_first_of("\\/:") != std::string::npos) {
        if (!NormalizeWindowsPath(m, name, full)) return ERROR_PATH_NOT_FOUND;
        if (IsFile(m, full)) return 0;
        if (IsDirectory(m, full)) return ERROR_ACCESS_DENIED;
        return MissingError(m, full);
    }
    for (const std::string &dir : SearchFolders(m)) {
        std::string candidate;
        if (NormalizeWindowsPath(m, dir + "\\" + name, candidate) && IsFile(m, candidate)) {
            full = candidate;
            return 0;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

// The program a command line starts. An unquoted name with blanks is tried
// blank by blank ("C:\Program Files\x" tries "C:\Program.exe" first), as
// Windows does; when nothing is found the error is the one of the name up to
// the first blank ("prog /q" did not find "prog", not a folder "prog ").
DWORD FindFromCommandLine(const Machine &m, const std::string &line, std::string &full) {
    size_t pos = line.find_first_not_of(" \t");
    if (pos == std::string::npos) return ERROR_PATH_NOT_FOUND;
    if (line[pos] == '"') {
        size_t close = line.find('"', pos + 1);
        return FindCommand(m, line.substr(pos + 1, close == std::string::npos ? std::string::npos : close - pos - 1),
                           full);
    }
    size_t end = line.find_last_not_of(" \t") + 1;
    DWORD firstError = 0;
    size_t blank = pos;
    for (;;) {
        blank = line.find_first_of(" \t", blank);
        if (blank == std::string::npos || blank > end) blank = end;
        DWORD error = FindCommand(m, line.substr(pos, blank - pos), full);
        if (error == 0) return 0;
        if (!firstError) firstError = error;
        if (blank >= end) return firstError;
        ++blank;
    }
}

const Program *RegisteredProgram(const Machine &m, const std::string &full) {
    auto it = m.programs.find(full);
    if (it != m.programs.end()) return &it->second;
    for (auto &entry : m.programs) {  // keys written in another form ("c:/tools/x.exe")
        std::string key;
        if (NormalizeWindowsPath(m, entry.first, key) && EqualNoCase(key, full)) return &entry.second;
    }
    return nullptr;
}

// ---- waiting ------------------------------------------------------------------
struct WaitRequest {
    DWORD count;
    const HANDLE *handles;
    bool waitAll;
    DWORD ms;
    bool forInput = false;  // MsgWaitForMultipleObjects
    DWORD wakeMask = 0;
    bool inputAvailable = false;  // MWMO_INPUTAVAILABLE: queued input counts, not only new input
};

DWORD Wait(const WaitRequest &r) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    ProcessTable &t = TableOf(m);
    Settle(m);

    std::vector<std::shared_ptr<WaitableObject>> objects;
    for (DWORD i = 0; i < r.count; ++i) {
        std::shared_ptr<WaitableObject> o = WaitableOf(r.handles[i]);
        if (!o) return Fail(WAIT_FAILED, ERROR_INVALID_HANDLE);
        if (!o->MayWait()) return Fail(WAIT_FAILED, ERROR_ACCESS_DENIED);
        if (r.waitAll)
            for (auto &earlier : objects)
                if (earlier->Identity() == o->Identity()) return Fail(WAIT_FAILED, ERROR_INVALID_PARAMETER);
        objects.push_back(std::move(o));
    }
    const DWORD thread = r.forInput ? ThreadIdIn(t) : 0;
    const uint64_t start = ClockMs();
    const uint64_t deadline = r.ms == INFINITE ? WaitableObject::kNever : start + r.ms;

    for (;;) {
        Settle(m);
        const uint64_t now = ClockMs();
        bool input = false;
        if (r.forInput) {
            const ThreadQueue &q = t.queues[thread];
            input = ((r.inputAvailable ? q.Current() | q.changed : q.changed) & r.wakeMask) != 0;
        }
        size_t signaled = 0, first = objects.size();
        uint64_t nextChange = WaitableObject::kNever;
        for (size_t i = 0; i < objects.size(); ++i) {
            uint64_t at = objects[i]->SignaledAt();
            if (at <= now) {
                ++signaled;
                if (first == objects.size()) first = i;
            } else {
                nextChange = std::min(nextChange, at);
            }
        }
        // A wait that returns for input has looked at the queue: what it saw
        // is no longer new.
        auto seen = [&] { t.queues[thread].changed &= ~r.wakeMask; };
        if (r.waitAll) {
            // MsgWaitForMultipleObjects with fWaitAll wants every object and input.
            if (signaled == objects.size() && (!r.forInput || input) && (!objects.empty() || input)) {
                for (auto &o : objects) o->Satisfy();
                if (r.forInput) seen();
                return WAIT_OBJECT_0;
            }
        } else if (first < objects.size()) {
            bool abandoned = objects[first]->Abandoned();
            objects[first]->Satisfy();
            return (abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + (DWORD)first;
        }
        if (!r.waitAll && input) {
            seen();
            return WAIT_OBJECT_0 + r.count;
        }

        if (r.forInput && (r.wakeMask & kPostedBits)) nextChange = std::min(nextChange, NextPostFor(t, thread, now));
        if (now >= deadline) return WAIT_TIMEOUT;
        uint64_t target = std::min(nextChange, deadline);
        // Nothing on the machine can end this wait: it would hang for good.
        if (target == WaitableObject::kNever) return Fail(WAIT_FAILED, ERROR_CALL_NOT_IMPLEMENTED);
        AdvanceClock(target - now);
    }
}

bool MatchesFilter(UINT msg, UINT first, UINT last) {
    if (first == 0 && last == 0) return true;
    if (first <= last) return msg >= first && msg <= last;
    return msg >= first || msg <= last;  // a reversed range selects the outside
}

// PeekMessage's work for the calling thread; false when nothing matches.
bool TakeMessage(ThreadQueue &q, MSG &out, HWND hWnd, UINT first, UINT last, UINT flags, uint64_t now) {
    q.changed &= ~(DWORD)QS_POSTMESSAGE;
    if (hWnd == nullptr && first == 0 && last == 0) q.changed &= ~(DWORD)QS_ALLPOSTMESSAGE;
    UINT types = flags >> 16;
    bool posted = types == 0 || (types & QS_POSTMESSAGE);
    for (auto it = q.messages.begin(); it != q.messages.end(); ++it) {
        // WM_QUIT comes whatever the filter says.
        if (!(it->message == WM_QUIT || (posted && MatchesFilter(it->message, first, last)))) continue;
        out = *it;
        if (flags & PM_REMOVE) q.messages.erase(it);
        return true;
    }
    if (q.quitPending) {
        MSG quit{};
        quit.message = WM_QUIT;
        quit.wParam = (WPARAM)(LONG_PTR)q.quitCode;
        quit.time = MessageTime(now);
        out = quit;
        if (flags & PM_REMOVE) q.quitPending = false;
        return true;
    }
    return false;
}

bool IsKeyMessage(UINT msg) { return msg == WM_KEYDOWN || msg == WM_KEYUP || msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP; }

}  // namespace

DWORD OwnProcessId() { return kCurrentProcessId; }

std::vector<ProcessImage> RunningProcessImages(Machine &m) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Settle(m);
    std::vector<ProcessImage> out;
    for (auto &p : TableOf(m).running) out.push_back(ProcessImage{p->pid, 0, p->image});
    return out;
}

void ProgramGotClose(Machine &m, DWORD pid, bool windowClosed) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    ProcessTable &t = TableOf(m);
    auto it = t.byPid.find(pid);
    std::shared_ptr<ProcessState> p = it == t.byPid.end() ? nullptr : it->second.lock();
    if (!p || p->ended) return;
    p->closeRequested = true;
    // A program ends with its last window.
    if (windowClosed && !ProgramHasWindows(m.name, pid)) EndNow(m, *p, p->program.exitCode, false);
}

DWORD StartRunningProgram(Machine &m, const RunningProgramDecl &program) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    std::string full;
    if (!NormalizeWindowsPath(m, program.image, full)) throw std::invalid_argument("winsim: bad program image " + program.image);
    ProcessTable &t = TableOf(m);
    auto p = std::make_shared<ProcessState>();
    p->pid = NewId();
    p->tid = NewId();
    p->commandLine = full;
    p->image = full;
    p->resident = true;
    p->program.exitCode = program.exitCode;
    p->systemAccount = program.systemAccount;
    p->startMs = ClockMs();
    p->endMs = WaitableObject::kNever;
    if (!program.mutex.empty()) p->mutexHold = HoldMutex(m, program.mutex, p->pid);
    t.running.push_back(p);
    t.all.push_back(p);
    t.byPid[p->pid] = p;
    for (const ProgramWindowDecl &w : program.windows) AddProgramWindow(m.name, p->pid, p->tid, w);
    return p->pid;
}

std::vector<ProcessInfo> SnapshotProcesses(Machine &m) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Settle(m);
    std::vector<ProcessInfo> out;
    const uint64_t now = ClockMs();
    for (auto &p : TableOf(m).all) {
        ProcessInfo info;
        info.pid = p->pid;
        info.image = p->image;
        info.running = !p->EndedAt(now);
        info.closeRequested = p->closeRequested;
        info.terminated = p->terminated;
        info.exitCode = p->ExitCodeAt(now);
        out.push_back(info);
    }
    return out;
}

void SettleProcesses() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    // A copy: effects may start programs on machines without a table yet.
    std::vector<std::shared_ptr<ProcessTable>> live;
    for (auto &w : AllTables())
        if (auto t = w.lock()) live.push_back(t);
    for (auto &t : live) Settle(*t->machine);
}

}  // namespace winsim

using namespace winsim;

// ---- processes ---------------------------------------------------------------------
extern "C" BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                                      LPSECURITY_ATTRIBUTES lpProcessAttributes,
                                      LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                                      DWORD dwCreationFlags, LPVOID lpEnvironment, LPCSTR lpCurrentDirectory,
                                      LPSTARTUPINFOA lpStartupInfo, LPPROCESS_INFORMATION lpProcessInformation) {
    WINSIM_FAULT_RETURN("CreateProcessA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    Settle(m);
    if (!lpStartupInfo || !lpProcessInformation) return Fail(FALSE, ERROR_NOACCESS);
    if (!lpApplicationName && !lpCommandLine) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    // Suspended and debugged starts need ResumeThread and the debug API.
    if (dwCreationFlags & (CREATE_SUSPENDED | DEBUG_PROCESS | DEBUG_ONLY_THIS_PROCESS))
        return Fail(FALSE, ERROR_CALL_NOT_IMPLEMENTED);
    if ((dwCreationFlags & DETACHED_PROCESS) && (dwCreationFlags & CREATE_NEW_CONSOLE))
        return Fail(FALSE, ERROR_INVALID_PARAMETER);

    std::string directory = m.currentDir;
    if (lpCurrentDirectory) {
        if (!NormalizeWindowsPath(m, lpCurrentDirectory, directory) || !IsDirectory(m, directory))
            return Fail(FALSE, ERROR_DIRECTORY);
    }

    std::string full;
    if (lpApplicationName) {
        // Taken as written: no search and no default extension.
        if (!*lpApplicationName || !NormalizeWindowsPath(m, lpApplicationName, full))
            return Fail(FALSE, ERROR_PATH_NOT_FOUND);
        if (IsDirectory(m, full)) return Fail(FALSE, ERROR_ACCESS_DENIED);
        if (!IsFile(m, full)) return Fail(FALSE, MissingError(m, full));
    } else if (DWORD error = FindFromCommandLine(m, lpCommandLine, full)) {
        return Fail(FALSE, error);
    }
    const Program *program = RegisteredProgram(m, full);
    if (!program) return Fail(FALSE, ERROR_BAD_EXE_FORMAT);

    ProcessTable &t = TableOf(m);
    auto p = std::make_shared<ProcessState>();
    p->pid = NewId();
    p->tid = NewId();
    p->creatorThread = ThreadIdIn(t);
    p->commandLine = lpCommandLine ? lpCommandLine : lpApplicationName;
    p->program = *program;
    p->startMs = ClockMs();
    p->endMs = p->startMs + program->runMs;
    for (auto &post : program->postsAt)
        if (post.first < program->runMs) p->posts.push_back({p->startMs + post.first, post.second});
    std::stable_sort(p->posts.begin(), p->posts.end(),
                     [](const std::pair<uint64_t, UINT> &a, const std::pair<uint64_t, UINT> &b) { return a.first < b.first; });
    p->image = full;
    t.running.push_back(p);
    t.all.push_back(p);
    t.byPid[p->pid] = p;
    m.processLog.push_back(ProcessRecord{full, p->commandLine, directory, p->startMs});

    lpProcessInformation->hProcess = NewHandle(std::make_shared<ProcessHandle>(p, PROCESS_ALL_ACCESS));
    lpProcessInformation->hThread = NewHandle(std::make_shared<ThreadHandle>(p, THREAD_ALL_ACCESS));
    lpProcessInformation->dwProcessId = p->pid;
    lpProcessInformation->dwThreadId = p->tid;
    return TRUE;
}

extern "C" HANDLE WINAPI OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId) {
    WINSIM_FAULT_RETURN("OpenProcess", (HANDLE) nullptr);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    Settle(m);
    DWORD access = MapProcessAccess(dwDesiredAccess);
    if (dwProcessId == kCurrentProcessId) return NewHandle(std::make_shared<OwnProcessHandle>(access));
    ProcessTable &t = TableOf(m);
    auto it = t.byPid.find(dwProcessId);
    std::shared_ptr<ProcessState> p = it == t.byPid.end() ? nullptr : it->second.lock();
    // An ended process that only the report history keeps (no handle open,
    // besides `p` here and the history's) is gone for Windows.
    if (p && p->EndedAt(ClockMs()) && p.use_count() <= 2) p.reset();
    if (!p) return Fail((HANDLE) nullptr, ERROR_INVALID_PARAMETER);
    // A local system process's access list grants other users query, read
    // and synchronize only; the debug privilege passes over it. The model
    // counts the privilege as enabled when the user holds it: callers enable
    // it before they open other users' processes.
    const DWORD kGrantedToUsers = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | READ_CONTROL | SYNCHRONIZE;
    if (p->systemAccount && (access & ~kGrantedToUsers) && !m.privileges.count("SeDebugPrivilege"))
        return Fail((HANDLE) nullptr, ERROR_ACCESS_DENIED);
    return NewHandle(std::make_shared<ProcessHandle>(p, access));
}

extern "C" BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    WINSIM_FAULT_RETURN("GetExitCodeProcess", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Settle(LocalMachine());
    DWORD code;
    if (hProcess == kCurrentProcessHandle) {
        code = STILL_ACTIVE;
    } else if (auto own = HandleAs<OwnProcessHandle>(hProcess)) {
        if (!(own->access & PROCESS_QUERY_INFORMATION)) return Fail(FALSE, ERROR_ACCESS_DENIED);
        code = STILL_ACTIVE;
    } else if (auto h = HandleAs<ProcessHandle>(hProcess)) {
        if (!(h->access & PROCESS_QUERY_INFORMATION)) return Fail(FALSE, ERROR_ACCESS_DENIED);
        code = h->state->ExitCodeAt(ClockMs());
    } else {
        return Fail(FALSE, ERROR_INVALID_HANDLE);
    }
    if (!lpExitCode) return Fail(FALSE, ERROR_NOACCESS);
    *lpExitCode = code;
    return TRUE;
}

extern "C" BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    WINSIM_FAULT_RETURN("GetExitCodeThread", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Settle(LocalMachine());
    DWORD code;
    if (hThread == kCurrentThreadHandle) {
        code = STILL_ACTIVE;
    } else if (auto h = HandleAs<ThreadHandle>(hThread)) {
        if (!(h->access & THREAD_QUERY_INFORMATION)) return Fail(FALSE, ERROR_ACCESS_DENIED);
        code = h->state->ExitCodeAt(ClockMs());
    } else {
        return Fail(FALSE, ERROR_INVALID_HANDLE);
    }
    if (!lpExitCode) return Fail(FALSE, ERROR_NOACCESS);
    *lpExitCode = code;
    return TRUE;
}

extern "C" BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode) {
    WINSIM_FAULT_RETURN("TerminateProcess", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    Settle(m);
    // Ending the running program would end the test or the runner.
    if (hProcess == kCurrentProcessHandle || HandleAs<OwnProcessHandle>(hProcess))
        return Fail(FALSE, ERROR_CALL_NOT_IMPLEMENTED);
    auto h = HandleAs<ProcessHandle>(hProcess);
    if (!h) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (!(h->access & PROCESS_TERMINATE)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    ProcessState &p = *h->state;
    const uint64_t now = ClockMs();
    if (p.EndedAt(now)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    // Killed: no effect, no more messages.
    EndNow(m, p, uExitCode, true);
    return TRUE;
}

extern "C" HANDLE WINAPI GetCurrentProcess(void) {
    WINSIM_FAULT_RETURN("GetCurrentProcess", (HANDLE) nullptr);
    return kCurrentProcessHandle;
}

extern "C" DWORD WINAPI GetCurrentProcessId(void) {
    WINSIM_FAULT_RETURN("GetCurrentProcessId", 0);
    return kCurrentProcessId;
}

extern "C" HANDLE WINAPI GetCurrentThread(void) {
    WINSIM_FAULT_RETURN("GetCurrentThread", (HANDLE) nullptr);
    return kCurrentThreadHandle;
}

extern "C" DWORD WINAPI GetCurrentThreadId(void) {
    WINSIM_FAULT_RETURN("GetCurrentThreadId", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return ThreadIdIn(TableOf(LocalMachine()));
}

// ---- waits ---------------------------------------------------------------------------
extern "C" DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    WINSIM_FAULT_RETURN("WaitForSingleObject", WAIT_FAILED);
    WaitRequest r{1, &hHandle, false, dwMilliseconds};
    return Wait(r);
}

extern "C" DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE *lpHandles, BOOL bWaitAll,
                                               DWORD dwMilliseconds) {
    WINSIM_FAULT_RETURN("WaitForMultipleObjects", WAIT_FAILED);
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS) return Fail(WAIT_FAILED, ERROR_INVALID_PARAMETER);
    if (!lpHandles) return Fail(WAIT_FAILED, ERROR_NOACCESS);
    WaitRequest r{nCount, lpHandles, bWaitAll != FALSE, dwMilliseconds};
    return Wait(r);
}

static DWORD MsgWait(DWORD nCount, const HANDLE *pHandles, DWORD dwMilliseconds, DWORD dwWakeMask, DWORD dwFlags) {
    if (nCount > MAXIMUM_WAIT_OBJECTS - 1) return Fail(WAIT_FAILED, ERROR_INVALID_PARAMETER);
    if (nCount && !pHandles) return Fail(WAIT_FAILED, ERROR_NOACCESS);
    if (dwWakeMask & ~kValidWakeBits) return Fail(WAIT_FAILED, ERROR_INVALID_FLAGS);
    if (dwFlags & ~(DWORD)(MWMO_WAITALL | MWMO_ALERTABLE | MWMO_INPUTAVAILABLE))
        return Fail(WAIT_FAILED, ERROR_INVALID_PARAMETER);
    // Alertable waits end for queued APCs; nothing here queues any.
    WaitRequest r{nCount, pHandles, (dwFlags & MWMO_WAITALL) != 0, dwMilliseconds};
    r.forInput = true;
    r.wakeMask = dwWakeMask;
    r.inputAvailable = (dwFlags & MWMO_INPUTAVAILABLE) != 0;
    return Wait(r);
}

extern "C" DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, const HANDLE *pHandles, BOOL fWaitAll,
                                                  DWORD dwMilliseconds, DWORD dwWakeMask) {
    WINSIM_FAULT_RETURN("MsgWaitForMultipleObjects", WAIT_FAILED);
    return MsgWait(nCount, pHandles, dwMilliseconds, dwWakeMask, fWaitAll ? MWMO_WAITALL : 0);
}

extern "C" DWORD WINAPI MsgWaitForMultipleObjectsEx(DWORD nCount, const HANDLE *pHandles, DWORD dwMilliseconds,
                                                    DWORD dwWakeMask, DWORD dwFlags) {
    WINSIM_FAULT_RETURN("MsgWaitForMultipleObjectsEx", WAIT_FAILED);
    return MsgWait(nCount, pHandles, dwMilliseconds, dwWakeMask, dwFlags);
}

// ---- thread message queues ---------------------------------------------------------
extern "C" BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    WINSIM_FAULT_RETURN("PostMessageA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    Settle(m);
    // A NULL window posts to the calling thread, as PostThreadMessage does.
    if (hWnd) return PostToWindow(hWnd, Msg, wParam, lParam);
    ProcessTable &t = TableOf(m);
    ThreadQueue &q = t.queues[ThreadIdIn(t)];
    if (q.messages.size() >= kQueueLimit) return Fail(FALSE, ERROR_NOT_ENOUGH_QUOTA);
    PostTo(q, nullptr, Msg, wParam, lParam, ClockMs());
    return TRUE;
}

extern "C" BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    WINSIM_FAULT_RETURN("PostThreadMessageA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    Settle(m);
    ProcessTable &t = TableOf(m);
    ThreadIdIn(t);  // the caller's own queue exists from now on
    // Only the running program's threads have queues; started programs are
    // not modelled down to their threads.
    bool known = false;
    for (auto &entry : t.threadIds) known = known || entry.second == idThread;
    if (!known) return Fail(FALSE, ERROR_INVALID_THREAD_ID);
    ThreadQueue &q = t.queues[idThread];
    if (q.messages.size() >= kQueueLimit) return Fail(FALSE, ERROR_NOT_ENOUGH_QUOTA);
    PostTo(q, nullptr, Msg, wParam, lParam, ClockMs());
    return TRUE;
}

extern "C" BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                                    UINT wRemoveMsg) {
    WINSIM_FAULT_RETURN("PeekMessageA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    Settle(m);
    if (!lpMsg) return Fail(FALSE, ERROR_NOACCESS);
    if (hWnd && hWnd != kThreadMessagesOnly) return Fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    ProcessTable &t = TableOf(m);
    ThreadQueue &q = t.queues[ThreadIdIn(t)];
    return TakeMessage(q, *lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg, ClockMs()) ? TRUE : FALSE;
}

extern "C" BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    WINSIM_FAULT_RETURN("GetMessageA", -1);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    if (!lpMsg) return Fail(-1, ERROR_NOACCESS);
    if (hWnd && hWnd != kThreadMessagesOnly) return Fail(-1, ERROR_INVALID_WINDOW_HANDLE);
    ProcessTable &t = TableOf(m);
    const DWORD thread = ThreadIdIn(t);
    for (;;) {
        Settle(m);
        const uint64_t now = ClockMs();
        if (TakeMessage(t.queues[thread], *lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, PM_REMOVE, now))
            return lpMsg->message == WM_QUIT ? 0 : TRUE;
        // Blocking: only a program that will post to us can end it.
        uint64_t next = NextPostFor(t, thread, now);
        if (next == WaitableObject::kNever) return Fail(-1, ERROR_CALL_NOT_IMPLEMENTED);
        AdvanceClock(next - now);
    }
}

extern "C" BOOL WINAPI TranslateMessage(const MSG *lpMsg) {
    WINSIM_FAULT_RETURN("TranslateMessage", FALSE);
    if (!lpMsg) return FALSE;
    // Keystrokes would become WM_CHAR through a keyboard layout, which the
    // machine does not have.
    if (IsKeyMessage(lpMsg->message)) return Fail(FALSE, ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

extern "C" LRESULT WINAPI DispatchMessageA(const MSG *lpMsg) {
    WINSIM_FAULT_RETURN("DispatchMessageA", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpMsg) return 0;
    LocalMachine().dispatchedMessages.push_back(*lpMsg);
    // Thread messages have no window procedure to go to; there are no
    // windows yet. WM_TIMER callbacks run only for timers made by SetTimer.
    if (lpMsg->hwnd) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
}

extern "C" void WINAPI PostQuitMessage(int nExitCode) {
    WINSIM_FAULT_RETURN_VOID("PostQuitMessage");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    ProcessTable &t = TableOf(LocalMachine());
    ThreadQueue &q = t.queues[ThreadIdIn(t)];
    q.quitPending = true;
    q.quitCode = nExitCode;
    q.changed |= kPostedBits;
}

extern "C" DWORD WINAPI GetQueueStatus(UINT flags) {
    WINSIM_FAULT_RETURN("GetQueueStatus", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    Settle(m);
    if (flags & ~kValidWakeBits) return Fail((DWORD)0, ERROR_INVALID_FLAGS);
    ProcessTable &t = TableOf(m);
    ThreadQueue &q = t.queues[ThreadIdIn(t)];
    DWORD result = ((q.Current() & flags) << 16) | (q.changed & flags);
    q.changed &= ~(DWORD)flags;
    return result;
}
