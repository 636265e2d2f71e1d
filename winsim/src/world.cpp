// The world of simulated machines: machine list, clock, fault injection,
// kernel handles and the per-thread last error.
#include "internal.h"
#include "security_internal.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unordered_map>

namespace fs = std::filesystem;

namespace winsim {

std::recursive_mutex &WorldLock() {
    static std::recursive_mutex lock;
    return lock;
}

// ---- names -------------------------------------------------------------------
std::string Upper(const std::string &s) {
    std::string r(s);
    for (char &c : r) c = (char)std::toupper((unsigned char)c);
    return r;
}

std::string Lower(const std::string &s) {
    std::string r(s);
    for (char &c : r) c = (char)std::tolower((unsigned char)c);
    return r;
}

bool EqualNoCase(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper((unsigned char)a[i]) != std::toupper((unsigned char)b[i])) return false;
    return true;
}

bool LessNoCase::operator()(const std::string &a, const std::string &b) const {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = std::toupper((unsigned char)a[i]), cb = std::toupper((unsigned char)b[i]);
        if (ca != cb) return ca < cb;
    }
    return a.size() < b.size();
}

bool CopyOut(const std::string &text, char *buffer, size_t capacity) {
    if (!buffer || capacity == 0) return false;
    if (text.size() + 1 <= capacity) {
        memcpy(buffer, text.c_str(), text.size() + 1);
        return true;
    }
    memcpy(buffer, text.data(), capacity - 1);
    buffer[capacity - 1] = '\0';
    return false;
}

ImageError::ImageError(const std::string &f, int l, const std::string &what)
    : std::runtime_error(f + (l > 0 ? "(" + std::to_string(l) + ")" : std::string()) + ": " + what), file(f), line(l) {}

// ---- world state -------------------------------------------------------------------
namespace {

struct Fault {
    DWORD error;
    FaultMode mode;
    unsigned remaining;  // calls still to pass before it fires (Nth), unused otherwise
};

struct BeforeCallHook {
    std::function<void()> callback;
    FaultMode mode;
    unsigned remaining;  // calls still to pass before it runs (Nth)
};

struct World {
    std::vector<std::unique_ptr<Machine>> machines;
    Machine *local = nullptr;
    uint64_t clockMs = 0;
    std::unordered_map<std::string, Fault> faults;
    std::unordered_map<std::string, unsigned> calls;
    std::unordered_map<std::string, BeforeCallHook> hooks;
    bool inHook = false;  // a callback is running: its own calls run no hooks
    std::string sandboxBase;
    unsigned machineCounter = 0;
};

World &TheWorld() {
    static World *w = new World();  // never destroyed: test doubles may call in during exit
    return *w;
}

}  // namespace

// 2001-01-01 08:00:00 local time as the machine clock's start.
uint64_t DefaultClockStart() {
    SYSTEMTIME st{};
    st.wYear = 2001;
    st.wMonth = 1;
    st.wDay = 1;
    st.wHour = 8;
    uint64_t ms = 0;
    SystemTimeToMs(st, ms);
    return ms;
}

namespace {

std::string SandboxBase() {
    World &w = TheWorld();
    if (w.sandboxBase.empty()) {
        const char *tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/winsim-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) throw std::runtime_error("winsim: cannot create a sandbox folder under " + pattern);
        w.sandboxBase = buf.data();
        // The sandbox goes with the process.
        static struct Cleanup {
            ~Cleanup() {
                std::error_code ec;
                if (!TheWorld().sandboxBase.empty() && !getenv("WINSIM_KEEP_SANDBOX"))
                    fs::remove_all(TheWorld().sandboxBase, ec);
            }
        } cleanup;
    }
    return w.sandboxBase;
}

}  // namespace

// Days from civil date (proleptic Gregorian), for the clock.
static int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = (unsigned)(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + (int64_t)doe - 719468;
}

bool SystemTimeToMs(const SYSTEMTIME &st, uint64_t &ms) {
    if (st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 || st.wDay > 31 || st.wYear < 1601 || st.wHour > 23 ||
        st.wMinute > 59 || st.wSecond > 59 || st.wMilliseconds > 999)
        return false;
    int64_t days = DaysFromCivil(st.wYear, st.wMonth, st.wDay) - DaysFromCivil(1601, 1, 1);
    ms = (uint64_t)days * 86400000ull + st.wHour * 3600000ull + st.wMinute * 60000ull + st.wSecond * 1000ull +
         st.wMilliseconds;
    return true;
}

SYSTEMTIME MsToSystemTime(uint64_t ms) {
    SYSTEMTIME st{};
    uint64_t days = ms / 86400000ull;
    uint64_t rest = ms % 86400000ull;
    int64_t z = (int64_t)days + DaysFromCivil(1601, 1, 1) + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = (unsigned)(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = (int64_t)yoe + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    st.wYear = (WORD)(y + (m <= 2));
    st.wMonth = (WORD)m;
    st.wDay = (WORD)d;
    st.wDayOfWeek = (WORD)((days + 1) % 7);  // 1601-01-01 was a Monday
    st.wHour = (WORD)(rest / 3600000ull);
    st.wMinute = (WORD)(rest / 60000ull % 60);
    st.wSecond = (WORD)(rest / 1000ull % 60);
    st.wMilliseconds = (WORD)(rest % 1000ull);
    return st;
}

FILETIME MsToFileTime(uint64_t ms) {
    uint64_t ticks = ms * 10000ull;  // 100-nanosecond intervals
    FILETIME ft;
    ft.dwLowDateTime = (DWORD)(ticks & 0xFFFFFFFFu);
    ft.dwHighDateTime = (DWORD)(ticks >> 32);
    return ft;
}

void SetClock(const SYSTEMTIME &localTime) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    uint64_t ms;
    if (!SystemTimeToMs(localTime, ms)) throw std::invalid_argument("winsim::SetClock: invalid time");
    TheWorld().clockMs = ms;
}

void AdvanceClock(uint64_t ms) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    TheWorld().clockMs += ms;
}

uint64_t ClockMs() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (TheWorld().clockMs == 0) TheWorld().clockMs = DefaultClockStart();
    return TheWorld().clockMs;
}

SYSTEMTIME ClockLocalTime() { return MsToSystemTime(ClockMs()); }

// ---- faults ------------------------------------------------------------------------
void InjectFault(const std::string &function, DWORD error, FaultMode mode, unsigned nth) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (error == 0) throw std::invalid_argument("winsim::InjectFault: an injected failure needs a non-zero error");
    TheWorld().faults[function] = Fault{error, mode, mode == FaultMode::Nth ? (nth ? nth - 1 : 0) : 0};
}

void ClearFaults() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    TheWorld().faults.clear();
}

unsigned CallCount(const std::string &function) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = TheWorld().calls.find(function);
    return it == TheWorld().calls.end() ? 0 : it->second;
}

void SetBeforeCallHook(const std::string &function, std::function<void()> callback, FaultMode mode, unsigned nth) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    World &w = TheWorld();
    if (!callback) {
        w.hooks.erase(function);
        return;
    }
    w.hooks[function] = BeforeCallHook{std::move(callback), mode, mode == FaultMode::Nth ? (nth ? nth - 1 : 0) : 0};
}

void ClearBeforeCallHooks() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    TheWorld().hooks.clear();
}

namespace {

// The callback of `function` when this call is the one it waits for.
std::function<void()> DueHook(World &w, const char *function) {
    if (w.inHook || w.hooks.empty()) return nullptr;
    auto it = w.hooks.find(function);
    if (it == w.hooks.end()) return nullptr;
    BeforeCallHook &h = it->second;
    if (h.mode == FaultMode::Nth && h.remaining > 0) {
        --h.remaining;
        return nullptr;
    }
    std::function<void()> due = h.callback;
    if (h.mode != FaultMode::Always) w.hooks.erase(it);
    return due;
}

// Runs a due callback (the caller has set inHook) without holding the world
// lock, so that it may use other threads that call into the machine.
void RunHook(const std::function<void()> &callback) {
    struct Flag {
        ~Flag() {
            std::lock_guard<std::recursive_mutex> g(WorldLock());
            TheWorld().inHook = false;
        }
    } flag;
    callback();
}

}  // namespace

DWORD TakeFault(const char *function) {
    NoteCall(function);
    std::function<void()> hook;
    {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        hook = DueHook(TheWorld(), function);
        if (hook) TheWorld().inHook = true;
    }
    if (hook) RunHook(hook);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    World &w = TheWorld();
    ++w.calls[function];
    auto it = w.faults.find(function);
    if (it == w.faults.end()) return 0;
    Fault &f = it->second;
    if (f.mode == FaultMode::Nth && f.remaining > 0) {
        --f.remaining;
        return 0;
    }
    DWORD e = f.error;
    if (f.mode != FaultMode::Always) w.faults.erase(it);
    RecordTakenFault(function);
    return e;
}

// ---- machines ---------------------------------------------------------------------
Machine::Machine(const std::string &n, const std::string &root) : name(Upper(n)), sandboxRoot(root) {
    fs::create_directories(root);
    AddDrive('C', DRIVE_FIXED);
}

Machine::~Machine() = default;

Drive &Machine::AddDrive(char letter, UINT type) {
    letter = (char)std::toupper((unsigned char)letter);
    Drive d;
    d.letter = letter;
    d.type = type;
    d.hostRoot = sandboxRoot + "/" + std::string(1, letter);
    fs::create_directories(d.hostRoot);
    return drives[letter] = d;
}

void ResetWorld() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    World &w = TheWorld();
    ResetHandles();
    ResetHandleAccounts();
    ResetRegistryHandles();
    ResetModules();
    ResetInstallerHandles();
    ResetServiceHandles();
    ResetNetConnections();
    ResetImpersonation();
    ResetWindows();
    w.local = nullptr;
    w.machines.clear();
    w.faults.clear();
    w.calls.clear();
    w.hooks.clear();
    w.clockMs = 0;
    if (!w.sandboxBase.empty()) {
        std::error_code ec;
        for (auto &e : fs::directory_iterator(w.sandboxBase, ec)) fs::remove_all(e.path(), ec);
    }
    SetLastError(0);
}

Machine &NewMachine(const std::string &name) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    World &w = TheWorld();
    if (FindMachine(name)) throw std::invalid_argument("winsim: a machine named " + name + " exists already");
    std::string root = SandboxBase() + "/" + std::to_string(++w.machineCounter) + "-" + Upper(name);
    w.machines.push_back(std::make_unique<Machine>(name, root));
    Machine &m = *w.machines.back();
    if (!w.local) w.local = &m;
    return m;
}

void DropMachine(Machine &m) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    World &w = TheWorld();
    std::string root = m.sandboxRoot;
    if (w.local == &m) w.local = nullptr;
    w.machines.erase(std::remove_if(w.machines.begin(), w.machines.end(),
                                    [&](const std::unique_ptr<Machine> &p) { return p.get() == &m; }),
                     w.machines.end());
    if (!w.local && !w.machines.empty()) w.local = w.machines.front().get();
    std::error_code ec;
    fs::remove_all(root, ec);
}

Machine &LocalMachine() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    World &w = TheWorld();
    if (!w.local) throw std::logic_error("winsim: no local machine; create or load one first");
    return *w.local;
}

bool HasLocalMachine() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return TheWorld().local != nullptr;
}

void SetLocalMachine(Machine &m) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    TheWorld().local = &m;
}

Machine *FindMachine(const std::string &name) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    std::string n = name;
    while (!n.empty() && (n[0] == '\\')) n.erase(0, 1);
    // Machine names are kept in upper case: a plain comparison finds one
    // among a network of thousands.
    n = Upper(n);
    for (auto &m : TheWorld().machines)
        if (m->name == n) return m.get();
    return nullptr;
}

// ---- handles ---------------------------------------------------------------------
namespace {
struct HandleTable {
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 0x100;
};
HandleTable &Handles() {
    static HandleTable *t = new HandleTable();
    return *t;
}
}  // namespace

HANDLE NewHandle(std::shared_ptr<KernelObject> object) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    HandleTable &t = Handles();
    uintptr_t h = t.next;
    t.next += 4;  // kernel handles are multiples of four
    NoteOpen(object->Kind(), h);
    t.objects[h] = std::move(object);
    return (HANDLE)h;
}

std::shared_ptr<KernelObject> HandleObject(HANDLE h) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = Handles().objects.find((uintptr_t)h);
    return it == Handles().objects.end() ? nullptr : it->second;
}

bool ReleaseHandle(HANDLE h) {
    std::shared_ptr<KernelObject> keep;  // destroyed outside the table update
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = Handles().objects.find((uintptr_t)h);
    if (it == Handles().objects.end()) return false;
    keep = std::move(it->second);
    NoteClosed(keep->Kind(), (uintptr_t)h);
    Handles().objects.erase(it);
    return true;
}

unsigned CountHandles(const char *kind) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    unsigned n = 0;
    for (auto &kv : Handles().objects)
        if (strcmp(kv.second->Kind(), kind) == 0) ++n;
    return n;
}

unsigned OpenTokenHandles() { return CountHandles("Token"); }

void ResetHandles() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Handles().objects.clear();
}

}  // namespace winsim

// ---- last error ------------------------------------------------------------------
static thread_local DWORD g_lastError = 0;

extern "C" DWORD WINAPI GetLastError(void) { return g_lastError; }
extern "C" void WINAPI SetLastError(DWORD e) { g_lastError = e; }

extern "C" BOOL WINAPI CloseHandle(HANDLE h) {
    WINSIM_FAULT_RETURN("CloseHandle", FALSE);
    // The pseudo handles of the current process (-1) and thread (-2) close
    // without effect.
    if (h == (HANDLE)(LONG_PTR)-1 || h == (HANDLE)(LONG_PTR)-2) return TRUE;
    if (h == nullptr || !winsim::ReleaseHandle(h))
        return winsim::Fail(FALSE, ERROR_INVALID_HANDLE);
    return TRUE;
}
