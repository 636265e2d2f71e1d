// The simulated registry: the key tree of each machine, the path helpers of
// the control API, and the advapi32 registry functions over HKEY handles.
//
// Registry functions return their error code and leave the thread's last
// error alone, as advapi32 does.
#include "regpath.h"

#include "journal_internal.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <unordered_map>

namespace winsim {

namespace {

// Bumped whenever any key gains or loses a subkey; lets RegEnumKeyEx keep its
// place in a key between calls instead of walking the map from the start.
uint64_t g_treeGeneration = 1;

FILETIME Now() { return MsToFileTime(ClockMs()); }

void MarkDeleted(RegKey &k) {
    k.deleted = true;
    k.parent = nullptr;  // the parent may go away while a handle keeps this key
    for (auto &sub : k.subkeys) MarkDeleted(*sub.second);
}

std::shared_ptr<RegKey> NewRoot(const char *name) {
    auto k = std::make_shared<RegKey>();
    k->name = name;
    k->lastWrite = Now();
    return k;
}

uint32_t Low32(HKEY h) { return (uint32_t)(uintptr_t)h; }

// Predefined handles are recognised by their low 32 bits, as Windows does.
bool IsPredefined(HKEY h) {
    uint32_t v = Low32(h);
    return v >= 0x80000000u && v <= 0x80000005u;
}

}  // namespace

bool IsRegStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::shared_ptr<RegKey> ChildPtr(const RegKey &parent, const std::string &name) {
    auto it = parent.subkeys.find(name);
    return it == parent.subkeys.end() ? nullptr : it->second;
}

void DetachKey(RegKey &key) {
    JournalKeyTree(key);
    RegKey *parent = key.parent;
    std::shared_ptr<RegKey> keep;  // the map entry may own the key
    if (parent) {
        auto it = parent->subkeys.find(key.name);
        if (it != parent->subkeys.end() && it->second.get() == &key) {
            keep = it->second;
            parent->subkeys.erase(it);
        }
        parent->lastWrite = Now();
    }
    MarkDeleted(key);
    ++g_treeGeneration;
}

bool ParseRegPath(const std::string &path, RegPath &out) {
    static const struct {
        const char *longName;
        const char *shortName;
        HKEY root;
    } kRoots[] = {
        {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE}, {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
        {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},    {"HKEY_USERS", "HKU", HKEY_USERS},
        {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG},
    };
    size_t cut = path.find('\\');
    std::string first = path.substr(0, cut);
    out = RegPath();
    for (auto &r : kRoots) {
        if (EqualNoCase(first, r.longName) || EqualNoCase(first, r.shortName)) {
            out.root = r.root;
            out.rootName = r.longName;
            break;
        }
    }
    if (!out.root) return false;
    while (cut != std::string::npos) {
        size_t start = cut + 1;
        cut = path.find('\\', start);
        size_t len = (cut == std::string::npos ? path.size() : cut) - start;
        if (len) out.parts.emplace_back(path, start, len);
    }
    return true;
}

// ---- keys ---------------------------------------------------------------------
RegKey *RegKey::Child(const std::string &n) const {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = subkeys.find(n);
    return it == subkeys.end() ? nullptr : it->second.get();
}

RegKey *RegKey::CreateChild(const std::string &n) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = subkeys.find(n);
    if (it != subkeys.end()) return it->second.get();
    if (n.empty() || n.find('\\') != std::string::npos)
        throw std::invalid_argument("winsim: a registry key name is one non-empty path component: \"" + n + "\"");
    JournalKeyCreation(*this, n);
    auto k = std::make_shared<RegKey>();
    k->name = n;
    k->parent = this;
    k->lastWrite = Now();
    lastWrite = k->lastWrite;
    RegKey *raw = k.get();
    subkeys.emplace(n, std::move(k));
    ++g_treeGeneration;
    return raw;
}

RegValue *RegKey::FindValue(const std::string &n) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = valueIndex.find(n);
    return it == valueIndex.end() || it->second >= values.size() ? nullptr : &values[it->second];
}

const RegValue *RegKey::FindValue(const std::string &n) const {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = valueIndex.find(n);
    return it == valueIndex.end() || it->second >= values.size() ? nullptr : &values[it->second];
}

void RegKey::SetValue(const std::string &n, DWORD type, const void *data, size_t size) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (size && !data) throw std::invalid_argument("winsim: registry value data missing for \"" + n + "\"");
    const BYTE *p = static_cast<const BYTE *>(data);
    JournalKeyChange(*this);
    if (RegValue *v = FindValue(n)) {
        // The name keeps the case it was created with, as on NT.
        v->type = type;
        v->data.assign(p, p + size);
    } else {
        RegValue nv;
        nv.name = n;
        nv.type = type;
        nv.data.assign(p, p + size);
        values.push_back(std::move(nv));
        valueIndex[n] = values.size() - 1;
    }
    lastWrite = Now();
}

bool RegKey::DeleteValue(const std::string &n) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = valueIndex.find(n);
    if (it == valueIndex.end() || it->second >= values.size()) return false;
    size_t gone = it->second;
    JournalKeyChange(*this);
    valueIndex.erase(it);
    values.erase(values.begin() + (std::ptrdiff_t)gone);
    for (auto &e : valueIndex)
        if (e.second > gone) --e.second;
    lastWrite = Now();
    return true;
}

void RegKey::RebuildValueIndex() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    valueIndex.clear();
    for (size_t i = 0; i < values.size(); ++i) valueIndex[values[i].name] = i;
}

std::string RegKey::FullPath() const {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    std::vector<const RegKey *> chain;
    for (const RegKey *k = this; k; k = k->parent) chain.push_back(k);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty()) path += '\\';
        path += (*it)->name;
    }
    return path;
}

// ---- the registry of a machine ----------------------------------------------------
Registry::Registry()
    : hklm(NewRoot("HKEY_LOCAL_MACHINE")), hku(NewRoot("HKEY_USERS")), hkcc(NewRoot("HKEY_CURRENT_CONFIG")) {
    // The hives every NT machine has; programs cannot create keys directly
    // under HKLM or HKU, so they must be there from the start.
    for (const char *hive : {"HARDWARE", "SAM", "SECURITY", "SOFTWARE", "SYSTEM"}) hklm->CreateChild(hive);
    hklm->Child("SOFTWARE")->CreateChild("Classes");
    hku->CreateChild(".DEFAULT");
}

std::shared_ptr<RegKey> Registry::Root(HKEY predefined) const {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    switch (Low32(predefined)) {
    case 0x80000002u:
        return hklm;
    case 0x80000003u:
        return hku;
    case 0x80000005u:
        return hkcc;
    case 0x80000000u: {  // HKEY_CLASSES_ROOT
        RegKey *classes = hklm->CreateChild("SOFTWARE")->CreateChild("Classes");
        return ChildPtr(*classes->parent, classes->name);
    }
    case 0x80000001u:  // HKEY_CURRENT_USER
        if (currentUserKey.empty()) return nullptr;
        hku->CreateChild(currentUserKey);
        return ChildPtr(*hku, currentUserKey);
    default:
        return nullptr;
    }
}

RegKey *Registry::Find(const std::string &path) const {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    RegPath p;
    if (!ParseRegPath(path, p)) return nullptr;
    std::shared_ptr<RegKey> root = Root(p.root);
    RegKey *k = root.get();
    for (auto &part : p.parts) {
        if (!k) break;
        k = k->Child(part);
    }
    return k;
}

RegKey *Registry::Create(const std::string &path) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    RegPath p;
    if (!ParseRegPath(path, p)) throw std::invalid_argument("winsim: unknown registry root in \"" + path + "\"");
    std::shared_ptr<RegKey> root = Root(p.root);
    if (!root) throw std::invalid_argument("winsim: the registry has no current user key for \"" + path + "\"");
    RegKey *k = root.get();
    for (auto &part : p.parts) k = k->CreateChild(part);
    return k;
}

bool Registry::Delete(const std::string &path) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    RegPath p;
    if (!ParseRegPath(path, p) || p.parts.empty()) return false;  // predefined roots stay
    RegKey *k = Find(path);
    if (!k) return false;
    DetachKey(*k);
    return true;
}

void Registry::Set(const std::string &keyPath, const std::string &valueName, DWORD type, const void *data,
                   size_t size) {
    Create(keyPath)->SetValue(valueName, type, data, size);
}

void Registry::SetString(const std::string &keyPath, const std::string &valueName, const std::string &text,
                         DWORD type) {
    // Stored with its terminating NUL, as programs write strings; a REG_MULTI_SZ
    // passed as "a\0b\0" thus gets its closing empty string.
    Set(keyPath, valueName, type, text.c_str(), text.size() + 1);
}

void Registry::SetDword(const std::string &keyPath, const std::string &valueName, DWORD value) {
    BYTE b[4] = {(BYTE)(value & 0xFF), (BYTE)((value >> 8) & 0xFF), (BYTE)((value >> 16) & 0xFF),
                 (BYTE)((value >> 24) & 0xFF)};
    Set(keyPath, valueName, REG_DWORD, b, sizeof b);
}

bool Registry::GetString(const std::string &keyPath, const std::string &valueName, std::string &out) const {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    const RegKey *k = Find(keyPath);
    const RegValue *v = k ? k->FindValue(valueName) : nullptr;
    if (!v || !IsRegStringType(v->type)) return false;
    std::string s(v->data.begin(), v->data.end());
    if (v->type == REG_MULTI_SZ) {
        // The strings with their separators, less the closing NUL.
        if (!s.empty() && s.back() == '\0') s.pop_back();
    } else {
        // What a program reading the value sees: up to the first NUL.
        size_t nul = s.find('\0');
        if (nul != std::string::npos) s.resize(nul);
    }
    out = s;
    return true;
}

bool Registry::GetDword(const std::string &keyPath, const std::string &valueName, DWORD &out) const {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    const RegKey *k = Find(keyPath);
    const RegValue *v = k ? k->FindValue(valueName) : nullptr;
    if (!v || v->data.size() != 4) return false;
    const std::vector<BYTE> &d = v->data;
    if (v->type == REG_DWORD)
        out = (DWORD)d[0] | ((DWORD)d[1] << 8) | ((DWORD)d[2] << 16) | ((DWORD)d[3] << 24);
    else if (v->type == REG_DWORD_BIG_ENDIAN)
        out = (DWORD)d[3] | ((DWORD)d[2] << 8) | ((DWORD)d[1] << 16) | ((DWORD)d[0] << 24);
    else
        return false;
    return true;
}

// ---- HKEY handles -----------------------------------------------------------------
namespace {

struct KeyHandle {
    std::shared_ptr<RegKey> key;
    REGSAM access = 0;
    std::string machine;  // the machine it was opened on, for diagnostics
    // Opened through HKEY_CLASSES_ROOT: its path below the classes root, so
    // that subkeys come from the merged view.
    bool classes = false;
    std::vector<std::string> classesPath;
};

struct HandleTable {
    std::unordered_map<uintptr_t, KeyHandle> keys;
    // Away from the kernel handle numbers, and multiples of four like them.
    uintptr_t next = 0x20000000;
};

HandleTable &Table() {
    static HandleTable *t = new HandleTable();  // never destroyed: calls may come in during exit
    return *t;
}

using SubkeyMap = std::map<std::string, std::shared_ptr<RegKey>, LessNoCase>;

struct EnumCache {
    std::weak_ptr<RegKey> key;  // keeps the allocation, so the address cannot be reused
    uint64_t generation = 0;
    size_t size = 0;
    DWORD index = 0;
    SubkeyMap::const_iterator it;
};
EnumCache &TheEnumCache() {
    static EnumCache *c = new EnumCache();
    return *c;
}

// The subkey at `index` in RegEnumKeyEx order. Enumeration loops ask for
// 0, 1, 2, ...; the cache makes each step O(1) instead of O(index).
const SubkeyMap::value_type &SubkeyAt(const std::shared_ptr<RegKey> &key, DWORD index) {
    const SubkeyMap &m = key->subkeys;
    EnumCache &c = TheEnumCache();
    SubkeyMap::const_iterator it;
    if (c.key.lock() == key && c.generation == g_treeGeneration && c.size == m.size() && index >= c.index) {
        it = std::next(c.it, (std::ptrdiff_t)(index - c.index));
    } else if (index <= m.size() / 2) {
        it = std::next(m.begin(), (std::ptrdiff_t)index);
    } else {
        it = std::prev(m.end(), (std::ptrdiff_t)(m.size() - index));
    }
    c.key = key;
    c.generation = g_treeGeneration;
    c.size = m.size();
    c.index = index;
    c.it = it;
    return *it;
}

REGSAM MapAccess(REGSAM sam) {
    REGSAM granted = sam & ~(REGSAM)(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
    if (sam & GENERIC_READ) granted |= KEY_READ;
    if (sam & GENERIC_WRITE) granted |= KEY_WRITE;
    if (sam & GENERIC_EXECUTE) granted |= KEY_EXECUTE;
    if (sam & (GENERIC_ALL | MAXIMUM_ALLOWED)) granted |= KEY_ALL_ACCESS;
    return granted;
}

HKEY NewKeyHandle(std::shared_ptr<RegKey> key, REGSAM access, const std::string &machine, bool classes = false,
                 std::vector<std::string> classesPath = {}) {
    HandleTable &t = Table();
    // Numbers are not reused while the table lives, so a stale handle stays
    // invalid; should they ever run up to the predefined range, start over.
    while (t.next >= 0x7FFFFFF0u || t.keys.count(t.next)) t.next = t.next >= 0x7FFFFFF0u ? 0x20000000 : t.next + 4;
    uintptr_t h = t.next;
    t.next += 4;
    NoteOpen("Key", h, machine);
    t.keys[h] = KeyHandle{std::move(key), access, machine, classes, std::move(classesPath)};
    return (HKEY)h;
}

struct Target {
    std::shared_ptr<RegKey> key;
    REGSAM access = 0;
    std::string machine;
    bool classes = false;
    std::vector<std::string> classesPath;
};

bool IsClassesRoot(HKEY h) { return IsPredefined(h) && Low32(h) == 0x80000000u; }

// The key at `parts` below `root`, or null.
std::shared_ptr<RegKey> Walk(std::shared_ptr<RegKey> root, const std::vector<std::string> &parts) {
    for (auto &part : parts) {
        if (!root) break;
        root = ChildPtr(*root, part);
    }
    return root;
}

// HKEY_CLASSES_ROOT on Windows 2000 is a merged view: the user's classes
// (HKCU\Software\Classes) over the machine's (HKLM\SOFTWARE\Classes). A key
// present in the user's part is the one callers see; new keys go to the
// machine's part.
std::shared_ptr<RegKey> UserClasses(const std::string &machine) {
    Machine *m = FindMachine(machine);
    if (!m) return nullptr;
    return Walk(m->registry.Root(HKEY_CURRENT_USER), {"Software", "Classes"});
}

std::shared_ptr<RegKey> MachineClasses(const std::string &machine) {
    Machine *m = FindMachine(machine);
    return m ? m->registry.Root(HKEY_CLASSES_ROOT) : nullptr;
}

// The key a path below the classes root names in the merged view.
std::shared_ptr<RegKey> ClassesKey(const std::string &machine, const std::vector<std::string> &parts) {
    if (auto user = Walk(UserClasses(machine), parts)) return user;
    return Walk(MachineClasses(machine), parts);
}

// Subkeys of a key opened through HKEY_CLASSES_ROOT, from both parts in
// RegEnumKeyEx order, the user's key first where both have one. False when
// only one part has the key, so its own subkeys serve.
bool MergedSubkeys(const Target &t, std::vector<std::shared_ptr<RegKey>> &out) {
    if (!t.classes) return false;
    auto user = Walk(UserClasses(t.machine), t.classesPath);
    auto machine = Walk(MachineClasses(t.machine), t.classesPath);
    if (!user || !machine || user->subkeys.empty()) return false;
    out.clear();
    auto u = user->subkeys.begin(), m = machine->subkeys.begin();
    LessNoCase less;
    while (u != user->subkeys.end() || m != machine->subkeys.end()) {
        if (m == machine->subkeys.end() || (u != user->subkeys.end() && less(u->first, m->first))) {
            out.push_back((u++)->second);
        } else if (u == user->subkeys.end() || less(m->first, u->first)) {
            out.push_back((m++)->second);
        } else {
            out.push_back((u++)->second);
            ++m;
        }
    }
    return true;
}

// The key a handle refers to. Predefined handles mean the local machine at
// the time of the call.
LONG Resolve(HKEY h, Target &t) {
    if (!h) return ERROR_INVALID_HANDLE;
    if (IsPredefined(h)) {
        if (Low32(h) == 0x80000004u) return ERROR_CALL_NOT_IMPLEMENTED;  // HKEY_PERFORMANCE_DATA
        if (!HasLocalMachine()) return ERROR_INVALID_HANDLE;
        Machine &m = LocalMachine();
        t.key = m.registry.Root(h);
        if (!t.key) return ERROR_INVALID_HANDLE;
        t.access = KEY_ALL_ACCESS;
        t.machine = m.name;
        t.classes = IsClassesRoot(h);
        return ERROR_SUCCESS;
    }
    auto it = Table().keys.find((uintptr_t)h);
    if (it == Table().keys.end()) return ERROR_INVALID_HANDLE;
    t.key = it->second.key;
    t.access = it->second.access;
    t.machine = it->second.machine;
    t.classes = it->second.classes;
    t.classesPath = it->second.classesPath;
    if (t.key->deleted) return ERROR_KEY_DELETED;
    return ERROR_SUCCESS;
}

LONG ResolveFor(HKEY h, REGSAM needed, Target &t) {
    LONG e = Resolve(h, t);
    if (e) return e;
    if ((t.access & needed) != needed) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

// Splits a subkey path relative to an open key. NT refuses a leading
// backslash; repeated and trailing backslashes are ignored. RegOpenKeyEx
// takes a lone "\\" as the key itself.
LONG SplitSubKey(const char *sub, bool loneBackslashIsSelf, std::vector<std::string> &parts) {
    parts.clear();
    if (!sub || !*sub) return ERROR_SUCCESS;
    if (sub[0] == '\\') {
        if (loneBackslashIsSelf && sub[1] == '\0') return ERROR_SUCCESS;
        return ERROR_BAD_PATHNAME;
    }
    const char *p = sub;
    while (*p) {
        const char *e = strchr(p, '\\');
        size_t len = e ? (size_t)(e - p) : strlen(p);
        if (len) parts.emplace_back(p, len);
        p += len;
        if (*p) ++p;
    }
    return ERROR_SUCCESS;
}

// Roots, hive roots (the direct children of HKLM and HKU) and the classes
// key behind HKEY_CLASSES_ROOT cannot be deleted.
bool IsUndeletable(const RegKey &k) {
    if (!k.parent) return true;
    const RegKey *p = k.parent;
    if (!p->parent) return p->name == "HKEY_LOCAL_MACHINE" || p->name == "HKEY_USERS";
    return !p->parent->parent && p->parent->name == "HKEY_LOCAL_MACHINE" && EqualNoCase(p->name, "SOFTWARE") &&
           EqualNoCase(k.name, "Classes");
}

// Programs cannot add keys directly under HKLM or HKU.
bool RefusesNewChildren(const RegKey &k) {
    return !k.parent && !k.deleted && (k.name == "HKEY_LOCAL_MACHINE" || k.name == "HKEY_USERS");
}

// NT keeps string data as UTF-16, so sizes it reports without converting
// (RegQueryInfoKey's longest data) count two bytes per character.
DWORD NativeDataSize(const RegValue &v) {
    return (DWORD)(IsRegStringType(v.type) ? v.data.size() * 2 : v.data.size());
}

// Copies value data into a caller buffer known to be big enough. Like the
// ANSI functions of NT, adds a NUL after a string that lacks one when the
// buffer has room for it.
void CopyData(const RegValue &v, BYTE *out, DWORD capacity) {
    DWORD size = (DWORD)v.data.size();
    if (size) memcpy(out, v.data.data(), size);
    if (IsRegStringType(v.type) && size && v.data[size - 1] != 0 && capacity > size) out[size] = 0;
}

LONG OpenKey(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    Target base;
    LONG e = Resolve(hKey, base);
    if (e) return e;
    *phkResult = nullptr;
    // Windows 2000 takes one leading backslash below HKEY_CLASSES_ROOT.
    if (IsClassesRoot(hKey) && lpSubKey && lpSubKey[0] == '\\') ++lpSubKey;
    std::vector<std::string> parts;
    if ((e = SplitSubKey(lpSubKey, true, parts))) return e;
    if (base.classes) {
        std::vector<std::string> full = base.classesPath;
        full.insert(full.end(), parts.begin(), parts.end());
        std::shared_ptr<RegKey> k = parts.empty() ? base.key : ClassesKey(base.machine, full);
        if (!k) return ERROR_FILE_NOT_FOUND;
        *phkResult = NewKeyHandle(std::move(k), MapAccess(samDesired), base.machine, true, std::move(full));
        return ERROR_SUCCESS;
    }
    std::shared_ptr<RegKey> k = base.key;
    for (auto &part : parts) {
        k = ChildPtr(*k, part);
        if (!k) return ERROR_FILE_NOT_FOUND;
    }
    *phkResult = NewKeyHandle(std::move(k), MapAccess(samDesired), base.machine);
    return ERROR_SUCCESS;
}

LONG CreateKey(HKEY hKey, LPCSTR lpSubKey, LPSTR lpClass, DWORD dwOptions, REGSAM samDesired, PHKEY phkResult,
               LPDWORD lpdwDisposition) {
    Target base;
    LONG e = Resolve(hKey, base);
    if (e) return e;
    if (dwOptions & 0x2) return ERROR_CALL_NOT_IMPLEMENTED;  // REG_OPTION_CREATE_LINK: no symbolic links here
    std::vector<std::string> parts;
    if ((e = SplitSubKey(lpSubKey, false, parts))) return e;
    std::vector<std::string> full;
    if (base.classes && !parts.empty()) {
        full = base.classesPath;
        full.insert(full.end(), parts.begin(), parts.end());
        if (auto existing = ClassesKey(base.machine, full)) {
            *phkResult = NewKeyHandle(std::move(existing), MapAccess(samDesired), base.machine, true, std::move(full));
            if (lpdwDisposition) *lpdwDisposition = REG_OPENED_EXISTING_KEY;
            return ERROR_SUCCESS;
        }
        // A new key goes to the machine's part, whichever part the parent came from.
        base.key = MachineClasses(base.machine);
        if (!base.key) return ERROR_INVALID_HANDLE;
        parts = full;
    } else if (base.classes) {
        full = base.classesPath;
    }
    // Access to create keys is checked against the key's security, not the
    // handle's access mask, so any handle will do.
    std::shared_ptr<RegKey> k = base.key;
    size_t i = 0;
    for (; i < parts.size(); ++i) {
        std::shared_ptr<RegKey> c = ChildPtr(*k, parts[i]);
        if (!c) break;
        k = std::move(c);
    }
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    if (i < parts.size()) {
        bool isVolatile = (dwOptions & REG_OPTION_VOLATILE) != 0;
        if (RefusesNewChildren(*k)) return ERROR_ACCESS_DENIED;
        if (k->isVolatile && !isVolatile) return ERROR_CHILD_MUST_BE_VOLATILE;
        for (; i < parts.size(); ++i) {
            RegKey *c = k->CreateChild(parts[i]);
            c->isVolatile = isVolatile;
            k = ChildPtr(*k, c->name);
        }
        if (lpClass) k->keyClass = lpClass;
        disposition = REG_CREATED_NEW_KEY;
    }
    *phkResult = NewKeyHandle(std::move(k), MapAccess(samDesired), base.machine, base.classes, std::move(full));
    if (lpdwDisposition) *lpdwDisposition = disposition;
    return ERROR_SUCCESS;
}

// A name into a caller buffer of `capacity` characters; false when the name
// and its NUL do not fit (nothing is written then).
bool PutName(const std::string &name, LPSTR out, DWORD capacity) {
    if ((size_t)capacity < name.size() + 1) return false;
    memcpy(out, name.c_str(), name.size() + 1);
    return true;
}

}  // namespace

void ResetRegistryHandles() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Table().keys.clear();
    TheEnumCache() = EnumCache();
    ++g_treeGeneration;
}

}  // namespace winsim

using winsim::Target;

// ---- advapi32 ------------------------------------------------------------------------
extern "C" LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                     PHKEY phkResult) {
    WINSIM_FAULT_RETURN_CODE("RegOpenKeyExA");
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    (void)ulOptions;
    if (phkResult && winsim::IsPredefined(hKey) && (!lpSubKey || !*lpSubKey)) {
        // No subkey of a predefined key: the predefined handle itself.
        Target t;
        if (LONG e = winsim::Resolve(hKey, t)) return e;
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    return winsim::OpenKey(hKey, lpSubKey, samDesired, phkResult);
}

extern "C" LONG WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    WINSIM_FAULT_RETURN_CODE("RegOpenKeyA");
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    if (!lpSubKey || !*lpSubKey) {
        // The legacy form hands back the very handle it was given.
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    return winsim::OpenKey(hKey, lpSubKey, MAXIMUM_ALLOWED, phkResult);
}

extern "C" LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                                       REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                       LPDWORD lpdwDisposition) {
    WINSIM_FAULT_RETURN_CODE("RegCreateKeyExA");
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    (void)Reserved;
    (void)lpSecurityAttributes;
    if (!phkResult) return ERROR_BADKEY;
    return winsim::CreateKey(hKey, lpSubKey, lpClass, dwOptions, samDesired, phkResult, lpdwDisposition);
}

extern "C" LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    WINSIM_FAULT_RETURN_CODE("RegCreateKeyA");
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    if (!lpSubKey) {
        Target t;
        LONG e = winsim::Resolve(hKey, t);
        if (e) return e;
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    return winsim::CreateKey(hKey, lpSubKey, nullptr, REG_OPTION_NON_VOLATILE, MAXIMUM_ALLOWED, phkResult, nullptr);
}

extern "C" LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                        LPBYTE lpData, LPDWORD lpcbData) {
    WINSIM_FAULT_RETURN_CODE("RegQueryValueExA");
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    if (winsim::IsPredefined(hKey) && winsim::Low32(hKey) == 0x80000004u)
        return winsim::QueryPerformanceData(lpValueName, lpType, lpData, lpcbData);
    Target t;
    LONG e = winsim::ResolveFor(hKey, KEY_QUERY_VALUE, t);
    if (e) return e;
    const winsim::RegValue *v = t.key->FindValue(lpValueName ? lpValueName : "");
    if (!v) {
        if (lpcbData && !lpData) *lpcbData = 0;
        return ERROR_FILE_NOT_FOUND;
    }
    // Read the capacity before writing the type: callers may pass one variable for both.
    DWORD capacity = lpcbData ? *lpcbData : 0;
    DWORD size = (DWORD)v->data.size();
    if (lpType) *lpType = v->type;
    if (lpData) {
        if (size > capacity) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        winsim::CopyData(*v, lpData, capacity);
    }
    if (lpcbData) *lpcbData = size;
    return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                                      const BYTE *lpData, DWORD cbData) {
    WINSIM_FAULT_RETURN_CODE("RegSetValueExA");
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    (void)Reserved;
    Target t;
    LONG e = winsim::ResolveFor(hKey, KEY_SET_VALUE, t);
    if (e) return e;
    if (!lpData && cbData) return ERROR_NOACCESS;
    // A string whose count leaves out its terminating NUL gets it back when
    // the byte after the data is that NUL, as NT does (it reads that byte).
    if (cbData && winsim::IsRegStringType(dwType) && lpData[cbData - 1] != 0 && lpData[cbData] == 0) ++cbData;
    t.key->SetValue(lpValueName ? lpValueName : "", dwType, lpData, cbData);
    return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    WINSIM_FAULT_RETURN_CODE("RegDeleteKeyA");
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    Target t;
    LONG e = winsim::Resolve(hKey, t);  // the handle's access does not matter for deletion
    if (e) return e;
    std::vector<std::string> parts;
    if ((e = winsim::SplitSubKey(lpSubKey, false, parts))) return e;
    std::shared_ptr<winsim::RegKey> k = t.key;
    if (t.classes && !parts.empty()) {
        std::vector<std::string> full = t.classesPath;
        full.insert(full.end(), parts.begin(), parts.end());
        k = winsim::ClassesKey(t.machine, full);
        if (!k) return ERROR_FILE_NOT_FOUND;
        parts.clear();
    }
    for (auto &part : parts) {
        k = winsim::ChildPtr(*k, part);
        if (!k) return ERROR_FILE_NOT_FOUND;
    }
    if (winsim::IsUndeletable(*k) || !k->subkeys.empty()) return ERROR_ACCESS_DENIED;
    winsim::DetachKey(*k);
    return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    WINSIM_FAULT_RETURN_CODE("RegDeleteValueA");
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    Target t;
    LONG e = winsim::ResolveFor(hKey, KEY_SET_VALUE, t);
    if (e) return e;
    return t.key->DeleteValue(lpValueName ? lpValueName : "") ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

extern "C" LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                                     LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    WINSIM_FAULT_RETURN_CODE("RegEnumKeyExA");
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    if (lpReserved || !lpName || !lpcchName || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
    Target t;
    LONG e = winsim::ResolveFor(hKey, KEY_ENUMERATE_SUB_KEYS, t);
    if (e) return e;
    std::vector<std::shared_ptr<winsim::RegKey>> merged;
    bool isMerged = winsim::MergedSubkeys(t, merged);
    if (dwIndex >= (isMerged ? merged.size() : t.key->subkeys.size())) return ERROR_NO_MORE_ITEMS;
    const winsim::RegKey &sub = isMerged ? *merged[dwIndex] : *winsim::SubkeyAt(t.key, dwIndex).second;
    if (lpClass && (size_t)*lpcchClass < sub.keyClass.size() + 1) return ERROR_MORE_DATA;
    if (!winsim::PutName(sub.name, lpName, *lpcchName)) return ERROR_MORE_DATA;
    *lpcchName = (DWORD)sub.name.size();
    if (lpClass) memcpy(lpClass, sub.keyClass.c_str(), sub.keyClass.size() + 1);
    if (lpcchClass) *lpcchClass = (DWORD)sub.keyClass.size();
    if (lpftLastWriteTime) *lpftLastWriteTime = sub.lastWrite;
    return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
    WINSIM_FAULT_RETURN_CODE("RegEnumKeyA");
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    if (!lpName) return ERROR_INVALID_PARAMETER;
    Target t;
    LONG e = winsim::ResolveFor(hKey, KEY_ENUMERATE_SUB_KEYS, t);
    if (e) return e;
    std::vector<std::shared_ptr<winsim::RegKey>> merged;
    bool isMerged = winsim::MergedSubkeys(t, merged);
    if (dwIndex >= (isMerged ? merged.size() : t.key->subkeys.size())) return ERROR_NO_MORE_ITEMS;
    const winsim::RegKey &sub = isMerged ? *merged[dwIndex] : *winsim::SubkeyAt(t.key, dwIndex).second;
    return winsim::PutName(sub.name, lpName, cchName) ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

extern "C" LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                                     LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    WINSIM_FAULT_RETURN_CODE("RegEnumValueA");
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    if (lpReserved || !lpValueName || !lpcchValueName || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    Target t;
    LONG e = winsim::ResolveFor(hKey, KEY_QUERY_VALUE, t);
    if (e) return e;
    if (dwIndex >= t.key->values.size()) return ERROR_NO_MORE_ITEMS;
    const winsim::RegValue &v = t.key->values[dwIndex];
    DWORD nameCapacity = *lpcchValueName;
    DWORD dataCapacity = lpcbData ? *lpcbData : 0;
    DWORD size = (DWORD)v.data.size();
    if (lpType) *lpType = v.type;
    // Data that does not fit: the type and the data size come back; the
    // name, its length and the data buffer stay as they were.
    if (lpData && size > dataCapacity) {
        if (lpcbData) *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    // A name that does not fit: Windows 2000 cuts it to the buffer (with a
    // NUL) and leaves its length alone, and still hands over the data.
    if ((size_t)nameCapacity < v.name.size() + 1) {
        if (nameCapacity) {
            memcpy(lpValueName, v.name.data(), nameCapacity - 1);
            lpValueName[nameCapacity - 1] = '\0';
        }
        if (lpData) winsim::CopyData(v, lpData, dataCapacity);
        if (lpcbData) *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    winsim::PutName(v.name, lpValueName, nameCapacity);
    *lpcchValueName = (DWORD)v.name.size();
    if (lpData) winsim::CopyData(v, lpData, dataCapacity);
    if (lpcbData) *lpcbData = size;
    return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                        LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                        LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                        LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
    WINSIM_FAULT_RETURN_CODE("RegQueryInfoKeyA");
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    Target t;
    LONG e = winsim::Resolve(hKey, t);
    if (e) return e;
    if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
    if ((t.access & KEY_QUERY_VALUE) != KEY_QUERY_VALUE) return ERROR_ACCESS_DENIED;
    const winsim::RegKey &k = *t.key;
    LONG result = ERROR_SUCCESS;
    if (lpcchClass) {
        const std::string &cls = k.keyClass;
        DWORD capacity = *lpcchClass;
        if (!lpClass) {
            *lpcchClass = (DWORD)cls.size();
        } else if (capacity == 0) {
            // Nothing fits, not even the NUL: NT leaves the buffer alone and reports success.
        } else if ((size_t)capacity >= cls.size() + 1) {
            memcpy(lpClass, cls.c_str(), cls.size() + 1);
            *lpcchClass = (DWORD)cls.size();
        } else {
            memcpy(lpClass, cls.data(), capacity - 1);
            lpClass[capacity - 1] = '\0';
            *lpcchClass = capacity - 1;
            result = ERROR_MORE_DATA;
        }
    }
    DWORD maxSubKey = 0, maxClass = 0, maxValueName = 0, maxValue = 0;
    std::vector<std::shared_ptr<winsim::RegKey>> subs;
    if (!winsim::MergedSubkeys(t, subs))
        for (auto &sub : k.subkeys) subs.push_back(sub.second);
    for (auto &sub : subs) {
        maxSubKey = std::max(maxSubKey, (DWORD)sub->name.size());
        maxClass = std::max(maxClass, (DWORD)sub->keyClass.size());
    }
    for (auto &v : k.values) {
        maxValueName = std::max(maxValueName, (DWORD)v.name.size());
        maxValue = std::max(maxValue, winsim::NativeDataSize(v));
    }
    if (lpcSubKeys) *lpcSubKeys = (DWORD)subs.size();
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSubKey;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = maxClass;
    if (lpcValues) *lpcValues = (DWORD)k.values.size();
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxValueName;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = maxValue;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;  // key security is not modelled
    if (lpftLastWriteTime) *lpftLastWriteTime = k.lastWrite;
    return result;
}

extern "C" LONG WINAPI RegCloseKey(HKEY hKey) {
    WINSIM_FAULT_RETURN_CODE("RegCloseKey");
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    if (winsim::IsPredefined(hKey)) return ERROR_SUCCESS;
    std::shared_ptr<winsim::RegKey> keep;  // released after the table update
    auto &keys = winsim::Table().keys;
    auto it = keys.find((uintptr_t)hKey);
    if (!hKey || it == keys.end()) return ERROR_INVALID_HANDLE;
    keep = std::move(it->second.key);
    winsim::NoteClosed("Key", (uintptr_t)hKey);
    keys.erase(it);
    return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegFlushKey(HKEY hKey) {
    WINSIM_FAULT_RETURN_CODE("RegFlushKey");
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    Target t;
    return winsim::Resolve(hKey, t);  // nothing is written lazily, so nothing to flush
}

extern "C" LONG WINAPI RegConnectRegistryA(LPCSTR lpMachineName, HKEY hKey, PHKEY phkResult) {
    WINSIM_FAULT_RETURN_CODE("RegConnectRegistryA");
    std::lock_guard<std::recursive_mutex> g(winsim::WorldLock());
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    if (winsim::IsPredefined(hKey) && winsim::Low32(hKey) == 0x80000004u) return ERROR_CALL_NOT_IMPLEMENTED;
    if (!winsim::IsPredefined(hKey) ||
        (winsim::Low32(hKey) != winsim::Low32(HKEY_LOCAL_MACHINE) && winsim::Low32(hKey) != winsim::Low32(HKEY_USERS)))
        return ERROR_INVALID_HANDLE;
    std::string name = lpMachineName ? lpMachineName : "";
    while (!name.empty() && name[0] == '\\') name.erase(0, 1);
    winsim::Machine *m = nullptr;
    if (!name.empty()) {
        m = winsim::FindMachine(name);
        if (!m) return ERROR_BAD_NETPATH;
    }
    if (!m || (winsim::HasLocalMachine() && m == &winsim::LocalMachine())) {
        // This machine: the predefined handle serves.
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    // The remote registry service admits the users the machine can log on.
    if (DWORD e = winsim::RemoteAccess(*m, false)) return (LONG)e;
    std::shared_ptr<winsim::RegKey> root = m->registry.Root(hKey);
    if (!root) return ERROR_INVALID_HANDLE;
    *phkResult = winsim::NewKeyHandle(std::move(root), KEY_ALL_ACCESS, m->name);
    return ERROR_SUCCESS;
}
