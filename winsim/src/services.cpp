// The service control manager: service configuration lives in the registry
// under HKLM\SYSTEM\CurrentControlSet\Services, as on Windows, so code that
// reads those keys sees what the manager holds; the running state follows
// each service's script on the machine clock.
#include "internal.h"
#include "journal_internal.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>
#include <unordered_map>

namespace winsim {

namespace {

const char kServicesPath[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services";
const size_t kMaxServiceName = 256;

// ---- handles -------------------------------------------------------------------
// Manager, service and lock handles are the manager's own, apart from kernel
// handles: CloseHandle does not take them.
struct ScObject {
    enum Kind { Manager, Service, Lock } kind;
    Machine *machine;
    std::string machineName;
    std::string service;  // Service: the name as the key spells it
    DWORD access = 0;
};

struct ScTable {
    std::unordered_map<uintptr_t, ScObject> objects;
    uintptr_t next = 0x5C0000;
};

ScTable &Table() {
    static ScTable *t = new ScTable();
    return *t;
}

const char *ScKindName(ScObject::Kind k) {
    return k == ScObject::Manager ? "ServiceManager" : k == ScObject::Service ? "Service" : "ServiceLock";
}

uintptr_t NewScHandle(const ScObject &o) {
    ScTable &t = Table();
    uintptr_t h = t.next;
    t.next += 4;
    NoteOpen(ScKindName(o.kind), h, o.machineName);
    t.objects.emplace(h, o);
    return h;
}

// The object behind a handle whose machine still exists.
ScObject *Lookup(const void *h, ScObject::Kind kind) {
    auto it = Table().objects.find((uintptr_t)h);
    if (it == Table().objects.end() || it->second.kind != kind) return nullptr;
    if (FindMachine(it->second.machineName) != it->second.machine) return nullptr;
    return &it->second;
}

// ---- access rights --------------------------------------------------------------
DWORD MapManagerAccess(DWORD a) {
    DWORD r = a & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
    if (a & GENERIC_READ) r |= STANDARD_RIGHTS_READ | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS;
    if (a & GENERIC_WRITE) r |= STANDARD_RIGHTS_WRITE | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG;
    if (a & GENERIC_EXECUTE) r |= STANDARD_RIGHTS_EXECUTE | SC_MANAGER_CONNECT | SC_MANAGER_LOCK;
    if (a & (GENERIC_ALL | MAXIMUM_ALLOWED)) r |= SC_MANAGER_ALL_ACCESS;
    return r | SC_MANAGER_CONNECT;  // granted to every caller
}

DWORD MapServiceAccess(DWORD a) {
    DWORD r = a & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
    if (a & GENERIC_READ)
        r |= STANDARD_RIGHTS_READ | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE |
             SERVICE_ENUMERATE_DEPENDENTS;
    if (a & GENERIC_WRITE) r |= STANDARD_RIGHTS_WRITE | SERVICE_CHANGE_CONFIG;
    if (a & GENERIC_EXECUTE)
        r |= STANDARD_RIGHTS_EXECUTE | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE |
             SERVICE_USER_DEFINED_CONTROL;
    if (a & (GENERIC_ALL | MAXIMUM_ALLOWED)) r |= SERVICE_ALL_ACCESS;
    return r;
}

// ---- configuration in the registry ---------------------------------------------
// Reading never creates the key: a machine without it has no services.
RegKey *ServicesKey(Machine &m) {
    static RegKey none;
    RegKey *k = m.registry.Find(kServicesPath);
    return k && !k->deleted ? k : &none;
}
RegKey *CreateServicesKey(Machine &m) { return m.registry.Create(kServicesPath); }

// A subkey is a service when it has a "Type" value.
RegKey *ServiceKey(Machine &m, const std::string &name) {
    RegKey *k = ServicesKey(m)->Child(name);
    if (!k || k->deleted) return nullptr;
    const RegValue *t = k->FindValue("Type");
    return t && t->type == REG_DWORD && t->data.size() == 4 ? k : nullptr;
}

DWORD KeyDword(const RegKey *k, const char *name, DWORD fallback = 0) {
    const RegValue *v = k->FindValue(name);
    if (!v || v->data.size() < 4 || (v->type != REG_DWORD && v->type != REG_BINARY)) return fallback;
    DWORD d;
    memcpy(&d, v->data.data(), 4);
    return d;
}

std::string KeyString(const RegKey *k, const char *name) {
    const RegValue *v = k->FindValue(name);
    if (!v || (v->type != REG_SZ && v->type != REG_EXPAND_SZ)) return "";
    std::string s(v->data.begin(), v->data.end());
    size_t nul = s.find('\0');
    return nul == std::string::npos ? s : s.substr(0, nul);
}

std::vector<std::string> KeyMulti(const RegKey *k, const char *name) {
    std::vector<std::string> out;
    const RegValue *v = k->FindValue(name);
    if (!v || (v->type != REG_MULTI_SZ && v->type != REG_SZ)) return out;
    std::string cur;
    for (BYTE b : v->data) {
        if (b) {
            cur += (char)b;
        } else {
            if (cur.empty()) break;
            out.push_back(cur);
            cur.clear();
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

void SetDword(RegKey *k, const char *name, DWORD d) { k->SetValue(name, REG_DWORD, &d, 4); }
void SetString(RegKey *k, const char *name, const std::string &s, DWORD type = REG_SZ) {
    k->SetValue(name, type, s.c_str(), s.size() + 1);
}
void SetMulti(RegKey *k, const char *name, const std::vector<std::string> &items) {
    if (items.empty()) {
        k->DeleteValue(name);
        return;
    }
    std::string data;
    for (auto &i : items) data += i + '\0';
    data += '\0';
    k->SetValue(name, REG_MULTI_SZ, data.data(), data.size());
}

// The double-NUL list of CreateService: service names, and group names
// marked with SC_GROUP_IDENTIFIER.
void SplitDependencies(const char *list, std::vector<std::string> &services, std::vector<std::string> &groups) {
    for (const char *p = list; p && *p; p += strlen(p) + 1) {
        if (*p == SC_GROUP_IDENTIFIERA)
            groups.emplace_back(p + 1);
        else
            services.emplace_back(p);
    }
}

bool IsDriverType(DWORD type) { return type == SERVICE_KERNEL_DRIVER || type == SERVICE_FILE_SYSTEM_DRIVER; }

bool ValidType(DWORD type) {
    if (IsDriverType(type) || type == SERVICE_RECOGNIZER_DRIVER) return true;
    DWORD base = type & ~SERVICE_INTERACTIVE_PROCESS;
    return base == SERVICE_WIN32_OWN_PROCESS || base == SERVICE_WIN32_SHARE_PROCESS;
}

bool ValidStart(DWORD type, DWORD start) {
    if (start > SERVICE_DISABLED) return false;
    // Only drivers start with the boot loader or the kernel.
    return start > SERVICE_SYSTEM_START || (type & SERVICE_DRIVER);
}

// "LocalSystem" or an account qualified by its domain or machine (".\\name").
bool ValidAccount(const std::string &a) {
    return EqualNoCase(a, "LocalSystem") || (a.find('\\') != std::string::npos && a.back() != '\\');
}

bool ValidName(const char *name) {
    if (!name || !*name) return false;
    size_t n = strlen(name);
    return n <= kMaxServiceName && !strchr(name, '\\') && !strchr(name, '/');
}

// Another service already uses the name or display name `text`.
bool NameTaken(Machine &m, const std::string &text, const std::string &self) {
    for (auto &[name, key] : ServicesKey(m)->subkeys) {
        if (EqualNoCase(name, self) || !ServiceKey(m, name)) continue;
        if (EqualNoCase(name, text) || EqualNoCase(KeyString(key.get(), "DisplayName"), text)) return true;
    }
    return false;
}

// ---- state ------------------------------------------------------------------------
ServiceRecord &Record(Machine &m, const std::string &name) { return m.serviceManager.records[name]; }

DWORD PollsSince(const ServiceRecord &r, uint64_t now) {
    if (r.script.waitHint == 0) return ~(DWORD)0;
    uint64_t polls = (now - r.since) / r.script.waitHint;
    return polls > 0xFFFFFFF0ull ? 0xFFFFFFF0u : (DWORD)polls;
}

// Moves a pending service on as far as the clock has gone.
void Settle(ServiceRecord &r) {
    uint64_t now = ClockMs();
    const ServiceScript &s = r.script;
    if (r.state == SERVICE_START_PENDING && s.kind != ServiceScript::HangsStarting) {
        if (PollsSince(r, now) >= s.startPolls) {
            r.since += (uint64_t)s.startPolls * s.waitHint;
            if (s.kind == ServiceScript::FailsStart) {
                r.state = SERVICE_STOPPED;
                r.exitCode = s.exitCode;
                r.specificExitCode = s.exitCode == ERROR_SERVICE_SPECIFIC_ERROR ? s.specificExitCode : 0;
            } else {
                r.state = SERVICE_RUNNING;
            }
        }
    }
    if (r.state == SERVICE_STOP_PENDING && s.kind != ServiceScript::HangsStopping) {
        if (PollsSince(r, now) >= s.stopPolls) {
            r.since += (uint64_t)s.stopPolls * s.waitHint;
            r.state = SERVICE_STOPPED;
            r.exitCode = 0;
            r.specificExitCode = 0;
        }
    }
}

// Settles every service and removes those marked for deletion that have
// stopped and have no handle open.
void Sweep(Machine &m) {
    RegKey *root = ServicesKey(m);
    auto &records = m.serviceManager.records;
    for (auto it = records.begin(); it != records.end();) {
        RegKey *key = ServiceKey(m, it->first);
        if (!key) {
            it = records.erase(it);
            continue;
        }
        Settle(it->second);
        if (it->second.markedForDelete && it->second.handles == 0 && it->second.state == SERVICE_STOPPED) {
            m.registry.Delete(root->FullPath() + "\\" + key->name);
            it = records.erase(it);
            continue;
        }
        ++it;
    }
}

SERVICE_STATUS StatusOf(Machine &m, const std::string &name) {
    RegKey *key = ServiceKey(m, name);
    ServiceRecord &r = Record(m, name);
    Settle(r);
    SERVICE_STATUS st{};
    st.dwServiceType = key ? KeyDword(key, "Type") : 0;
    st.dwCurrentState = r.state;
    if (r.state == SERVICE_RUNNING && r.script.kind != ServiceScript::RefusesStop)
        st.dwControlsAccepted = SERVICE_ACCEPT_STOP;
    if (r.state == SERVICE_STOPPED) {
        st.dwWin32ExitCode = r.exitCode;
        st.dwServiceSpecificExitCode = r.specificExitCode;
    }
    bool pending = r.state == SERVICE_START_PENDING || r.state == SERVICE_STOP_PENDING;
    if (pending) {
        bool hangs = (r.state == SERVICE_START_PENDING && r.script.kind == ServiceScript::HangsStarting) ||
                     (r.state == SERVICE_STOP_PENDING && r.script.kind == ServiceScript::HangsStopping);
        st.dwCheckPoint = hangs ? 1 : PollsSince(r, ClockMs()) + 1;
        st.dwWaitHint = r.script.waitHint;
    }
    return st;
}

// Services that name `name` in "DependOnService", dependents of dependents
// first (the reverse of the order they start in).
void CollectDependents(Machine &m, const std::string &name, std::vector<std::string> &out,
                       std::set<std::string, LessNoCase> &seen) {
    for (auto &[sub, key] : ServicesKey(m)->subkeys) {
        if (!ServiceKey(m, sub) || seen.count(sub)) continue;
        auto deps = KeyMulti(key.get(), "DependOnService");
        if (std::none_of(deps.begin(), deps.end(), [&](const std::string &d) { return EqualNoCase(d, name); }))
            continue;
        seen.insert(sub);
        CollectDependents(m, sub, out, seen);
        out.push_back(key->name);
    }
}

// Starts a stopped service: its dependencies first, waiting on the machine
// clock while they start, as the manager does. Returns 0 or the error.
DWORD StartOne(Machine &m, const std::string &name, std::set<std::string, LessNoCase> &chain) {
    RegKey *key = ServiceKey(m, name);
    if (!key) return ERROR_SERVICE_DOES_NOT_EXIST;
    ServiceRecord &r = Record(m, key->name);
    if (r.markedForDelete) return ERROR_SERVICE_MARKED_FOR_DELETE;
    Settle(r);
    if (r.state != SERVICE_STOPPED) return ERROR_SERVICE_ALREADY_RUNNING;
    if (KeyDword(key, "Start", SERVICE_DEMAND_START) == SERVICE_DISABLED) return ERROR_SERVICE_DISABLED;
    if (!chain.insert(key->name).second) return ERROR_CIRCULAR_DEPENDENCY;
    for (const std::string &dep : KeyMulti(key, "DependOnService")) {
        RegKey *dk = ServiceKey(m, dep);
        if (!dk || Record(m, dk->name).markedForDelete) return ERROR_SERVICE_DEPENDENCY_DELETED;
        DWORD e = StartOne(m, dk->name, chain);
        if (e == ERROR_CIRCULAR_DEPENDENCY) return e;
        if (e && e != ERROR_SERVICE_ALREADY_RUNNING) return ERROR_SERVICE_DEPENDENCY_FAIL;
        // Wait while the dependency's check point grows.
        ServiceRecord &dr = Record(m, dk->name);
        DWORD lastCheckPoint = 0;
        for (;;) {
            SERVICE_STATUS st = StatusOf(m, dk->name);
            if (st.dwCurrentState != SERVICE_START_PENDING || (lastCheckPoint && st.dwCheckPoint <= lastCheckPoint))
                break;
            lastCheckPoint = st.dwCheckPoint;
            AdvanceClock(std::max<DWORD>(st.dwWaitHint, 1));
        }
        if (dr.state != SERVICE_RUNNING) return ERROR_SERVICE_DEPENDENCY_FAIL;
    }
    chain.erase(key->name);
    ServiceRecord &self = r;
    self.state = SERVICE_START_PENDING;
    self.since = ClockMs();
    self.exitCode = 0;
    self.specificExitCode = 0;
    Settle(self);
    return 0;
}

std::string Quote(const std::string &s) { return "\"" + s + "\""; }

}  // namespace

void ResetServiceHandles() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Table().objects.clear();
}

// ---- control API ------------------------------------------------------------------
void AddService(Machine &m, const ServiceConfig &c, DWORD state, const ServiceScript &script) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!ValidName(c.name.c_str())) throw std::invalid_argument("winsim: invalid service name \"" + c.name + "\"");
    if (state != SERVICE_STOPPED && state != SERVICE_RUNNING)
        throw std::invalid_argument("winsim: a declared service is stopped or running");
    RegKey *k = CreateServicesKey(m)->CreateChild(c.name);
    SetDword(k, "Type", c.type);
    SetDword(k, "Start", c.startType);
    SetDword(k, "ErrorControl", c.errorControl);
    SetString(k, "ImagePath", c.imagePath, REG_EXPAND_SZ);
    SetString(k, "DisplayName", c.displayName.empty() ? c.name : c.displayName);
    if (!c.group.empty()) SetString(k, "Group", c.group);
    if (!(c.type & SERVICE_DRIVER)) SetString(k, "ObjectName", c.account.empty() ? "LocalSystem" : c.account);
    SetMulti(k, "DependOnService", c.dependencies);
    ServiceRecord &r = Record(m, k->name);
    r = ServiceRecord();
    r.script = script;
    r.state = state;
    r.since = ClockMs();
}

void SetServiceScript(Machine &m, const std::string &name, const ServiceScript &script) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    RegKey *k = ServiceKey(m, name);
    if (!k) throw std::invalid_argument("winsim: no service named " + name);
    Record(m, k->name).script = script;
}

DWORD ServiceState(Machine &m, const std::string &name) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Sweep(m);
    RegKey *k = ServiceKey(m, name);
    return k ? StatusOf(m, k->name).dwCurrentState : 0;
}

ServiceSnapshot SnapshotServices(Machine &m) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Sweep(m);
    ServiceSnapshot out;
    for (auto &[name, key] : ServicesKey(m)->subkeys) {
        if (!ServiceKey(m, name)) continue;
        ServiceInfo i;
        i.name = key->name;
        i.displayName = KeyString(key.get(), "DisplayName");
        i.imagePath = KeyString(key.get(), "ImagePath");
        i.account = KeyString(key.get(), "ObjectName");
        i.startType = KeyDword(key.get(), "Start", SERVICE_DEMAND_START);
        i.state = StatusOf(m, key->name).dwCurrentState;
        i.markedForDelete = Record(m, key->name).markedForDelete;
        out.push_back(i);
    }
    return out;
}

std::string ServiceStateName(DWORD state) {
    static const char *kNames[] = {"stopped", "start pending", "stop pending", "running",
                                   "continue pending", "pause pending", "paused"};
    return state >= 1 && state <= 7 ? kNames[state - 1] : "state " + std::to_string(state);
}

std::string ServiceStartName(DWORD start) {
    static const char *kNames[] = {"boot", "system", "auto", "demand", "disabled"};
    return start <= 4 ? kNames[start] : "start type " + std::to_string(start);
}

std::vector<std::string> DiffServices(const ServiceSnapshot &before, const ServiceSnapshot &after) {
    std::map<std::string, const ServiceInfo *, LessNoCase> b, a;
    std::set<std::string, LessNoCase> names;
    for (auto &i : before) b[i.name] = &i, names.insert(i.name);
    for (auto &i : after) a[i.name] = &i, names.insert(i.name);
    std::vector<std::string> lines;
    for (const std::string &n : names) {
        const ServiceInfo *was = b.count(n) ? b[n] : nullptr;
        const ServiceInfo *is = a.count(n) ? a[n] : nullptr;
        if (!is) {
            lines.push_back("deleted " + was->name);
            continue;
        }
        if (!was) {
            lines.push_back("created " + is->name + ": " + Quote(is->displayName) + ", " +
                            ServiceStartName(is->startType) + " start, " +
                            (is->account.empty() ? std::string("no account") : is->account) + ", " +
                            Quote(is->imagePath) + ", " + ServiceStateName(is->state));
            if (is->markedForDelete) lines.push_back("marked for deletion " + is->name);
            continue;
        }
        std::vector<std::string> changes;
        if (was->displayName != is->displayName)
            changes.push_back("display " + Quote(was->displayName) + " -> " + Quote(is->displayName));
        if (was->startType != is->startType)
            changes.push_back("start " + ServiceStartName(was->startType) + " -> " + ServiceStartName(is->startType));
        if (was->account != is->account) changes.push_back("account " + was->account + " -> " + is->account);
        if (was->imagePath != is->imagePath)
            changes.push_back("image " + Quote(was->imagePath) + " -> " + Quote(is->imagePath));
        if (!changes.empty()) {
            std::string line = "changed " + is->name + ": ";
            for (size_t i = 0; i < changes.size(); ++i) line += (i ? "; " : "") + changes[i];
            lines.push_back(line);
        }
        if (was->state != is->state) {
            if (was->state == SERVICE_STOPPED)
                lines.push_back("started " + is->name + " (" + ServiceStateName(is->state) + ")");
            else if (is->state == SERVICE_STOPPED)
                lines.push_back("stopped " + is->name);
            else
                lines.push_back(is->name + ": " + ServiceStateName(was->state) + " -> " + ServiceStateName(is->state));
        }
        if (is->markedForDelete && !was->markedForDelete) lines.push_back("marked for deletion " + is->name);
    }
    return lines;
}

}  // namespace winsim

using winsim::Fail;
using winsim::Machine;
using winsim::RegKey;
using winsim::ScObject;
using winsim::ServiceRecord;

// ---- the manager --------------------------------------------------------------------
extern "C" SC_HANDLE WINAPI OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess) {
    WINSIM_FAULT_RETURN("OpenSCManagerA", (SC_HANDLE) nullptr);
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    Machine *m = nullptr;
    std::string name = lpMachineName ? lpMachineName : "";
    while (!name.empty() && name[0] == '\\') name.erase(0, 1);
    if (name.empty()) {
        if (!winsim::HasLocalMachine()) return Fail((SC_HANDLE) nullptr, RPC_S_SERVER_UNAVAILABLE);
        m = &winsim::LocalMachine();
    } else if (!(m = winsim::FindMachine(name))) {
        return Fail((SC_HANDLE) nullptr, RPC_S_SERVER_UNAVAILABLE);
    }
    if (lpDatabaseName && !winsim::EqualNoCase(lpDatabaseName, SERVICES_ACTIVE_DATABASEA)) {
        if (winsim::EqualNoCase(lpDatabaseName, SERVICES_FAILED_DATABASEA))
            return Fail((SC_HANDLE) nullptr, ERROR_DATABASE_DOES_NOT_EXIST);
        return Fail((SC_HANDLE) nullptr, ERROR_INVALID_NAME);
    }
    ScObject o{ScObject::Manager, m, m->name, "", winsim::MapManagerAccess(dwDesiredAccess)};
    SetLastError(ERROR_SUCCESS);
    return (SC_HANDLE)winsim::NewScHandle(o);
}

namespace {

ScObject *ManagerOf(SC_HANDLE h) { return winsim::Lookup(h, ScObject::Manager); }

// The service behind a handle, with the right it needs; sets the error.
ScObject *ServiceOf(SC_HANDLE h, DWORD right, RegKey **key) {
    ScObject *o = winsim::Lookup(h, ScObject::Service);
    if (!o) return Fail((ScObject *)nullptr, ERROR_INVALID_HANDLE);
    if ((o->access & right) != right) return Fail((ScObject *)nullptr, ERROR_ACCESS_DENIED);
    winsim::Sweep(*o->machine);
    *key = winsim::ServiceKey(*o->machine, o->service);
    if (!*key) return Fail((ScObject *)nullptr, ERROR_SERVICE_DOES_NOT_EXIST);
    return o;
}

SC_HANDLE NewServiceHandle(Machine &m, const std::string &name, DWORD access) {
    ++winsim::Record(m, name).handles;
    ScObject o{ScObject::Service, &m, m.name, name, winsim::MapServiceAccess(access)};
    return (SC_HANDLE)winsim::NewScHandle(o);
}

}  // namespace

extern "C" SC_HANDLE WINAPI CreateServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, LPCSTR lpDisplayName,
                                           DWORD dwDesiredAccess, DWORD dwServiceType, DWORD dwStartType,
                                           DWORD dwErrorControl, LPCSTR lpBinaryPathName, LPCSTR lpLoadOrderGroup,
                                           LPDWORD lpdwTagId, LPCSTR lpDependencies, LPCSTR lpServiceStartName,
                                           LPCSTR lpPassword) {
    WINSIM_FAULT_RETURN("CreateServiceA", (SC_HANDLE) nullptr);
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    ScObject *mgr = ManagerOf(hSCManager);
    if (!mgr) return Fail((SC_HANDLE) nullptr, ERROR_INVALID_HANDLE);
    // Missing texts first, then the right to create, then their content.
    if (!lpServiceName || !lpBinaryPathName) return Fail((SC_HANDLE) nullptr, ERROR_INVALID_ADDRESS);
    if (!(mgr->access & SC_MANAGER_CREATE_SERVICE)) return Fail((SC_HANDLE) nullptr, ERROR_ACCESS_DENIED);
    if (!winsim::ValidName(lpServiceName)) return Fail((SC_HANDLE) nullptr, ERROR_INVALID_NAME);
    if (!*lpBinaryPathName || !winsim::ValidType(dwServiceType) ||
        !winsim::ValidStart(dwServiceType, dwStartType) || dwErrorControl > SERVICE_ERROR_CRITICAL ||
        (lpdwTagId && !(dwServiceType & SERVICE_DRIVER)))
        return Fail((SC_HANDLE) nullptr, ERROR_INVALID_PARAMETER);
    std::string account;
    if (!(dwServiceType & SERVICE_DRIVER)) {
        account = lpServiceStartName && *lpServiceStartName ? lpServiceStartName : "LocalSystem";
        // Only the local system account may interact with the desktop.
        if ((dwServiceType & SERVICE_INTERACTIVE_PROCESS) && !winsim::EqualNoCase(account, "LocalSystem"))
            return Fail((SC_HANDLE) nullptr, ERROR_INVALID_PARAMETER);
        if (!winsim::ValidAccount(account)) return Fail((SC_HANDLE) nullptr, ERROR_INVALID_SERVICE_ACCOUNT);
    }
    Machine &m = *mgr->machine;
    winsim::Sweep(m);
    if (RegKey *existing = winsim::ServiceKey(m, lpServiceName))
        return Fail((SC_HANDLE) nullptr, winsim::Record(m, existing->name).markedForDelete
                                             ? ERROR_SERVICE_MARKED_FOR_DELETE
                                             : ERROR_SERVICE_EXISTS);
    std::string display = lpDisplayName && *lpDisplayName ? lpDisplayName : lpServiceName;
    if (winsim::NameTaken(m, display, lpServiceName) || winsim::NameTaken(m, lpServiceName, lpServiceName))
        return Fail((SC_HANDLE) nullptr, ERROR_DUPLICATE_SERVICE_NAME);
    std::vector<std::string> deps, groups;
    winsim::SplitDependencies(lpDependencies, deps, groups);
    for (auto &d : deps)
        if (winsim::EqualNoCase(d, lpServiceName)) return Fail((SC_HANDLE) nullptr, ERROR_CIRCULAR_DEPENDENCY);
    (void)lpPassword;  // the manager keeps passwords as secrets; nothing reads them back

    RegKey *k = winsim::CreateServicesKey(m)->CreateChild(lpServiceName);
    winsim::JournalKeyChange(*k);
    k->values.clear();
    k->RebuildValueIndex();
    winsim::SetDword(k, "Type", dwServiceType);
    winsim::SetDword(k, "Start", dwStartType);
    winsim::SetDword(k, "ErrorControl", dwErrorControl);
    winsim::SetString(k, "ImagePath", lpBinaryPathName, REG_EXPAND_SZ);
    winsim::SetString(k, "DisplayName", display);
    if (lpLoadOrderGroup && *lpLoadOrderGroup) winsim::SetString(k, "Group", lpLoadOrderGroup);
    if (lpdwTagId) {
        *lpdwTagId = 1;
        winsim::SetDword(k, "Tag", 1);
    }
    winsim::SetMulti(k, "DependOnService", deps);
    winsim::SetMulti(k, "DependOnGroup", groups);
    if (!account.empty()) winsim::SetString(k, "ObjectName", account);
    winsim::Record(m, k->name) = ServiceRecord();
    winsim::Record(m, k->name).since = winsim::ClockMs();
    SetLastError(ERROR_SUCCESS);
    return NewServiceHandle(m, k->name, dwDesiredAccess);
}

extern "C" SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess) {
    WINSIM_FAULT_RETURN("OpenServiceA", (SC_HANDLE) nullptr);
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    ScObject *mgr = ManagerOf(hSCManager);
    if (!mgr) return Fail((SC_HANDLE) nullptr, ERROR_INVALID_HANDLE);
    if (!lpServiceName) return Fail((SC_HANDLE) nullptr, ERROR_INVALID_ADDRESS);
    if (!winsim::ValidName(lpServiceName)) return Fail((SC_HANDLE) nullptr, ERROR_INVALID_NAME);
    Machine &m = *mgr->machine;
    winsim::Sweep(m);
    RegKey *k = winsim::ServiceKey(m, lpServiceName);
    if (!k) return Fail((SC_HANDLE) nullptr, ERROR_SERVICE_DOES_NOT_EXIST);
    SetLastError(ERROR_SUCCESS);
    return NewServiceHandle(m, k->name, dwDesiredAccess);
}

extern "C" BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject) {
    WINSIM_FAULT_RETURN("CloseServiceHandle", FALSE);
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    auto &objects = winsim::Table().objects;
    auto it = objects.find((uintptr_t)hSCObject);
    if (it == objects.end() || it->second.kind == ScObject::Lock) return Fail(FALSE, ERROR_INVALID_HANDLE);
    ScObject o = it->second;
    winsim::NoteClosed(winsim::ScKindName(o.kind), (uintptr_t)hSCObject);
    objects.erase(it);
    if (o.kind == ScObject::Service && winsim::FindMachine(o.machineName) == o.machine) {
        auto &records = o.machine->serviceManager.records;
        auto r = records.find(o.service);
        if (r != records.end() && r->second.handles) --r->second.handles;
        winsim::Sweep(*o.machine);
    }
    return TRUE;
}

extern "C" BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
    WINSIM_FAULT_RETURN("QueryServiceStatus", FALSE);
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    RegKey *key;
    ScObject *o = ServiceOf(hService, SERVICE_QUERY_STATUS, &key);
    if (!o) return FALSE;
    if (!lpServiceStatus) return Fail(FALSE, ERROR_INVALID_ADDRESS);
    *lpServiceStatus = winsim::StatusOf(*o->machine, key->name);
    return TRUE;
}

extern "C" BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
    WINSIM_FAULT_RETURN("ControlService", FALSE);
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    DWORD right;
    switch (dwControl) {
    case SERVICE_CONTROL_STOP: right = SERVICE_STOP; break;
    case SERVICE_CONTROL_INTERROGATE: right = SERVICE_INTERROGATE; break;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
    case SERVICE_CONTROL_PARAMCHANGE: right = SERVICE_PAUSE_CONTINUE; break;
    default:
        if (dwControl < 128 || dwControl > 255) return Fail(FALSE, ERROR_INVALID_PARAMETER);
        right = SERVICE_USER_DEFINED_CONTROL;
    }
    RegKey *key;
    ScObject *o = ServiceOf(hService, right, &key);
    if (!o) return FALSE;
    if (!lpServiceStatus) return Fail(FALSE, ERROR_INVALID_ADDRESS);
    Machine &m = *o->machine;
    SERVICE_STATUS st = winsim::StatusOf(m, key->name);
    // The status is filled in for these outcomes only, as on Windows.
    auto answer = [&](BOOL ok, DWORD error) {
        *lpServiceStatus = winsim::StatusOf(m, key->name);
        SetLastError(error);
        return ok;
    };
    if (st.dwCurrentState == SERVICE_STOPPED) return answer(FALSE, ERROR_SERVICE_NOT_ACTIVE);
    if (st.dwCurrentState != SERVICE_RUNNING) return answer(FALSE, ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    if (dwControl == SERVICE_CONTROL_INTERROGATE) return answer(TRUE, ERROR_SUCCESS);
    if (dwControl != SERVICE_CONTROL_STOP || !(st.dwControlsAccepted & SERVICE_ACCEPT_STOP))
        return answer(FALSE, ERROR_INVALID_SERVICE_CONTROL);
    std::vector<std::string> dependents;
    std::set<std::string, winsim::LessNoCase> seen;
    winsim::CollectDependents(m, key->name, dependents, seen);
    for (auto &d : dependents)
        if (winsim::StatusOf(m, d).dwCurrentState != SERVICE_STOPPED) return Fail(FALSE, ERROR_DEPENDENT_SERVICES_RUNNING);
    ServiceRecord &r = winsim::Record(m, key->name);
    r.state = SERVICE_STOP_PENDING;
    r.since = winsim::ClockMs();
    return answer(TRUE, ERROR_SUCCESS);
}

extern "C" BOOL WINAPI StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCSTR *lpServiceArgVectors) {
    WINSIM_FAULT_RETURN("StartServiceA", FALSE);
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    RegKey *key;
    ScObject *o = ServiceOf(hService, SERVICE_START, &key);
    if (!o) return FALSE;
    if (dwNumServiceArgs && !lpServiceArgVectors) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    Machine &m = *o->machine;
    if (m.serviceManager.lock) return Fail(FALSE, ERROR_SERVICE_DATABASE_LOCKED);
    std::set<std::string, winsim::LessNoCase> chain;
    DWORD e = winsim::StartOne(m, key->name, chain);
    if (e) return Fail(FALSE, e);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

extern "C" BOOL WINAPI DeleteService(SC_HANDLE hService) {
    WINSIM_FAULT_RETURN("DeleteService", FALSE);
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    RegKey *key;
    ScObject *o = ServiceOf(hService, DELETE, &key);
    if (!o) return FALSE;
    ServiceRecord &r = winsim::Record(*o->machine, key->name);
    if (r.markedForDelete) return Fail(FALSE, ERROR_SERVICE_MARKED_FOR_DELETE);
    // Removed when it has stopped and the last handle closes.
    r.markedForDelete = true;
    winsim::SetDword(key, "DeleteFlag", 1);
    return TRUE;
}

extern "C" BOOL WINAPI ChangeServiceConfigA(SC_HANDLE hService, DWORD dwServiceType, DWORD dwStartType,
                                            DWORD dwErrorControl, LPCSTR lpBinaryPathName, LPCSTR lpLoadOrderGroup,
                                            LPDWORD lpdwTagId, LPCSTR lpDependencies, LPCSTR lpServiceStartName,
                                            LPCSTR lpPassword, LPCSTR lpDisplayName) {
    WINSIM_FAULT_RETURN("ChangeServiceConfigA", FALSE);
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    RegKey *key;
    ScObject *o = ServiceOf(hService, SERVICE_CHANGE_CONFIG, &key);
    if (!o) return FALSE;
    Machine &m = *o->machine;
    if (winsim::Record(m, key->name).markedForDelete) return Fail(FALSE, ERROR_SERVICE_MARKED_FOR_DELETE);
    DWORD type = dwServiceType == SERVICE_NO_CHANGE ? winsim::KeyDword(key, "Type") : dwServiceType;
    DWORD start = dwStartType == SERVICE_NO_CHANGE ? winsim::KeyDword(key, "Start") : dwStartType;
    if (!winsim::ValidType(type) || !winsim::ValidStart(type, start) ||
        (dwErrorControl != SERVICE_NO_CHANGE && dwErrorControl > SERVICE_ERROR_CRITICAL) ||
        (lpdwTagId && !(type & SERVICE_DRIVER)))
        return Fail(FALSE, ERROR_INVALID_PARAMETER);
    std::string account = lpServiceStartName && *lpServiceStartName ? lpServiceStartName
                                                                    : winsim::KeyString(key, "ObjectName");
    if (!(type & SERVICE_DRIVER)) {
        if (account.empty()) account = "LocalSystem";
        if ((type & SERVICE_INTERACTIVE_PROCESS) && !winsim::EqualNoCase(account, "LocalSystem"))
            return Fail(FALSE, ERROR_INVALID_PARAMETER);
        if (!winsim::ValidAccount(account)) return Fail(FALSE, ERROR_INVALID_SERVICE_ACCOUNT);
    }
    if (lpDisplayName && *lpDisplayName && winsim::NameTaken(m, lpDisplayName, key->name))
        return Fail(FALSE, ERROR_DUPLICATE_SERVICE_NAME);
    std::vector<std::string> deps, groups;
    if (lpDependencies) {
        winsim::SplitDependencies(lpDependencies, deps, groups);
        for (auto &d : deps)
            if (winsim::EqualNoCase(d, key->name)) return Fail(FALSE, ERROR_CIRCULAR_DEPENDENCY);
    }
    (void)lpPassword;

    winsim::SetDword(key, "Type", type);
    winsim::SetDword(key, "Start", start);
    if (dwErrorControl != SERVICE_NO_CHANGE) winsim::SetDword(key, "ErrorControl", dwErrorControl);
    if (lpBinaryPathName) winsim::SetString(key, "ImagePath", lpBinaryPathName, REG_EXPAND_SZ);
    if (lpLoadOrderGroup) {
        if (*lpLoadOrderGroup)
            winsim::SetString(key, "Group", lpLoadOrderGroup);
        else
            key->DeleteValue("Group");
    }
    if (lpdwTagId) *lpdwTagId = winsim::KeyDword(key, "Tag");
    if (lpDependencies) {
        winsim::SetMulti(key, "DependOnService", deps);
        winsim::SetMulti(key, "DependOnGroup", groups);
    }
    if (!(type & SERVICE_DRIVER)) winsim::SetString(key, "ObjectName", account);
    if (lpDisplayName && *lpDisplayName) winsim::SetString(key, "DisplayName", lpDisplayName);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

extern "C" BOOL WINAPI QueryServiceConfigA(SC_HANDLE hService, LPQUERY_SERVICE_CONFIGA lpServiceConfig,
                                           DWORD cbBufSize, LPDWORD pcbBytesNeeded) {
    WINSIM_FAULT_RETURN("QueryServiceConfigA", FALSE);
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    RegKey *key;
    ScObject *o = ServiceOf(hService, SERVICE_QUERY_CONFIG, &key);
    if (!o) return FALSE;
    if (!pcbBytesNeeded) return Fail(FALSE, ERROR_INVALID_ADDRESS);
    std::string path = winsim::KeyString(key, "ImagePath");
    std::string group = winsim::KeyString(key, "Group");
    std::string account = winsim::KeyString(key, "ObjectName");
    std::string display = winsim::KeyString(key, "DisplayName");
    std::string deps;  // double-NUL list, groups marked
    for (auto &d : winsim::KeyMulti(key, "DependOnService")) deps += d + '\0';
    for (auto &d : winsim::KeyMulti(key, "DependOnGroup")) deps += SC_GROUP_IDENTIFIERA + d + '\0';
    deps += '\0';
    if (deps.size() == 1) deps += '\0';
    size_t need = sizeof(QUERY_SERVICE_CONFIGA) + path.size() + 1 + group.size() + 1 + deps.size() +
                  account.size() + 1 + display.size() + 1;
    *pcbBytesNeeded = (DWORD)need;
    if (!lpServiceConfig || cbBufSize < need) return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    char *p = reinterpret_cast<char *>(lpServiceConfig + 1);
    auto put = [&p](const std::string &s, size_t size) {
        char *at = p;
        memcpy(p, s.data(), s.size());
        memset(p + s.size(), 0, size - s.size());
        p += size;
        return at;
    };
    lpServiceConfig->dwServiceType = winsim::KeyDword(key, "Type");
    lpServiceConfig->dwStartType = winsim::KeyDword(key, "Start", SERVICE_DEMAND_START);
    lpServiceConfig->dwErrorControl = winsim::KeyDword(key, "ErrorControl", SERVICE_ERROR_NORMAL);
    lpServiceConfig->dwTagId = winsim::KeyDword(key, "Tag");
    lpServiceConfig->lpBinaryPathName = put(path, path.size() + 1);
    lpServiceConfig->lpLoadOrderGroup = put(group, group.size() + 1);
    lpServiceConfig->lpDependencies = put(deps, deps.size());
    lpServiceConfig->lpServiceStartName = put(account, account.size() + 1);
    lpServiceConfig->lpDisplayName = put(display, display.size() + 1);
    return TRUE;
}

extern "C" BOOL WINAPI EnumDependentServicesA(SC_HANDLE hService, DWORD dwServiceState,
                                              LPENUM_SERVICE_STATUSA lpServices, DWORD cbBufSize,
                                              LPDWORD pcbBytesNeeded, LPDWORD lpServicesReturned) {
    WINSIM_FAULT_RETURN("EnumDependentServicesA", FALSE);
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    RegKey *key;
    ScObject *o = ServiceOf(hService, SERVICE_ENUMERATE_DEPENDENTS, &key);
    if (!o) return FALSE;
    if (dwServiceState == 0 || (dwServiceState & ~SERVICE_STATE_ALL)) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (!pcbBytesNeeded || !lpServicesReturned) return Fail(FALSE, ERROR_INVALID_ADDRESS);
    Machine &m = *o->machine;
    std::vector<std::string> all;
    std::set<std::string, winsim::LessNoCase> seen;
    winsim::CollectDependents(m, key->name, all, seen);
    struct Entry {
        std::string name, display;
        SERVICE_STATUS status;
    };
    std::vector<Entry> entries;
    size_t need = 0;
    for (auto &n : all) {
        SERVICE_STATUS st = winsim::StatusOf(m, n);
        bool active = st.dwCurrentState != SERVICE_STOPPED;
        if (!(dwServiceState & (active ? SERVICE_ACTIVE : SERVICE_INACTIVE))) continue;
        Entry e{n, winsim::KeyString(winsim::ServiceKey(m, n), "DisplayName"), st};
        need += sizeof(ENUM_SERVICE_STATUSA) + e.name.size() + 1 + e.display.size() + 1;
        entries.push_back(e);
    }
    *pcbBytesNeeded = (DWORD)need;
    *lpServicesReturned = 0;
    if (need > cbBufSize || (need && !lpServices)) return Fail(FALSE, ERROR_MORE_DATA);
    // Entries first, their texts packed after them.
    char *text = reinterpret_cast<char *>(lpServices + entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        lpServices[i].lpServiceName = text;
        memcpy(text, entries[i].name.c_str(), entries[i].name.size() + 1);
        text += entries[i].name.size() + 1;
        lpServices[i].lpDisplayName = text;
        memcpy(text, entries[i].display.c_str(), entries[i].display.size() + 1);
        text += entries[i].display.size() + 1;
        lpServices[i].ServiceStatus = entries[i].status;
    }
    *lpServicesReturned = (DWORD)entries.size();
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

extern "C" SC_LOCK WINAPI LockServiceDatabase(SC_HANDLE hSCManager) {
    WINSIM_FAULT_RETURN("LockServiceDatabase", (SC_LOCK) nullptr);
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    ScObject *mgr = ManagerOf(hSCManager);
    if (!mgr) return Fail((SC_LOCK) nullptr, ERROR_INVALID_HANDLE);
    if (!(mgr->access & SC_MANAGER_LOCK)) return Fail((SC_LOCK) nullptr, ERROR_ACCESS_DENIED);
    Machine &m = *mgr->machine;
    if (m.serviceManager.lock) return Fail((SC_LOCK) nullptr, ERROR_SERVICE_DATABASE_LOCKED);
    ScObject o{ScObject::Lock, &m, m.name, "", 0};
    m.serviceManager.lock = winsim::NewScHandle(o);
    return (SC_LOCK)m.serviceManager.lock;
}

extern "C" BOOL WINAPI UnlockServiceDatabase(SC_LOCK ScLock) {
    WINSIM_FAULT_RETURN("UnlockServiceDatabase", FALSE);
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    ScObject *o = winsim::Lookup(ScLock, ScObject::Lock);
    if (!o || o->machine->serviceManager.lock != (uintptr_t)ScLock) return Fail(FALSE, ERROR_INVALID_SERVICE_LOCK);
    o->machine->serviceManager.lock = 0;
    winsim::NoteClosed("ServiceLock", (uintptr_t)ScLock);
    winsim::Table().objects.erase((uintptr_t)ScLock);
    return TRUE;
}
