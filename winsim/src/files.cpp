// The simulated file system. Windows paths map onto the host folders of the
// machine's drives, matching existing names without case as NTFS does; file
// handles carry Windows share modes and byte-range locks; the attributes a
// Linux file cannot hold (read-only, hidden, system, archive) live in a side
// table keyed by host path.
#include "files_internal.h"
#include "journal_internal.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <stdexcept>
#include <strings.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace winsim {

namespace {

constexpr uint64_t kUnixEpochMs = 11644473600000ull;  // 1601-01-01 to 1970-01-01
constexpr DWORD kAttributeOffline = 0x00001000;
constexpr DWORD kAttributeNotContentIndexed = 0x00002000;
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | kAttributeOffline |
                                      kAttributeNotContentIndexed;
// CreateDirectoryA keeps room below MAX_PATH for an 8.3 file name.
constexpr size_t kMaxDirectoryPath = MAX_PATH - 12;

// Access rights as the share-mode check sees them.
constexpr DWORD kRead = 1, kWrite = 2, kDelete = 4;
constexpr DWORD kFileReadData = 0x0001, kFileWriteData = 0x0002, kFileAppendData = 0x0004,
                kFileExecute = 0x0020, kDeleteRight = 0x00010000;

inline bool IsSep(char c) { return c == '\\' || c == '/'; }

// ---- path syntax ---------------------------------------------------------------
struct WinPath {
    std::string root;                // "C:\\" or "\\\\server\\share"; the whole text for devices
    std::vector<std::string> parts;  // components below the root
    bool unc = false;
    bool device = false;             // "\\\\.\\name": no file of a drive
    bool endsWithSep = false;        // the caller's text ended with a separator

    std::string Full() const {
        std::string s = root;
        for (const std::string &p : parts) {
            if (!s.empty() && s.back() != '\\') s += '\\';
            s += p;
        }
        return s;
    }
    WinPath Parent() const {
        WinPath p = *this;
        if (!p.parts.empty()) p.parts.pop_back();
        p.endsWithSep = false;
        return p;
    }
    char DriveLetter() const {
        return unc || device || root.empty() ? 0 : (char)std::toupper((unsigned char)root[0]);
    }
};

// Appends the components of text[from..] to `parts` the way Win32 normalises
// a path: separator runs collapse, "." and ".." resolve (never above the
// root), a component ending in a single period loses it, and the final
// component (when no separator follows) loses all trailing periods and spaces.
void AddComponents(std::vector<std::string> &parts, const std::string &text, size_t from) {
    size_t n = text.size(), i = from;
    while (i < n) {
        while (i < n && IsSep(text[i])) ++i;
        if (i >= n) break;
        size_t j = i;
        while (j < n && !IsSep(text[j])) ++j;
        std::string c = text.substr(i, j - i);
        bool final = j >= n;
        i = j;
        if (c == ".") continue;
        if (c == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        if (final) {
            while (!c.empty() && (c.back() == '.' || c.back() == ' ')) c.pop_back();
        } else if (c.size() >= 2 && c.back() == '.' && c[c.size() - 2] != '.') {
            c.pop_back();
        }
        if (!c.empty()) parts.push_back(c);
    }
}

bool IsDriveSpec(const std::string &t) {
    return t.size() >= 2 && std::isalpha((unsigned char)t[0]) && t[1] == ':';
}

// Absolute forms only: "X:\\..." and "\\\\server\\share\\...".
bool ParseAbsolute(const std::string &text, WinPath &out) {
    out = WinPath();
    if (IsDriveSpec(text) && text.size() >= 3 && IsSep(text[2])) {
        out.root = text.substr(0, 2) + "\\";
        AddComponents(out.parts, text, 3);
        return true;
    }
    if (text.size() > 2 && IsSep(text[0]) && IsSep(text[1]) && !IsSep(text[2])) {
        size_t s = 2, e = s;
        while (e < text.size() && !IsSep(text[e])) ++e;
        std::string server = text.substr(s, e - s);
        if (server == "." || server == "?") return false;
        size_t s2 = e;
        while (s2 < text.size() && IsSep(text[s2])) ++s2;
        size_t e2 = s2;
        while (e2 < text.size() && !IsSep(text[e2])) ++e2;
        out.unc = true;
        out.root = "\\\\" + server;
        if (e2 > s2) out.root += "\\" + text.substr(s2, e2 - s2);
        AddComponents(out.parts, text, e2);
        return true;
    }
    return false;
}

// The current folder of a drive: the machine's current directory when it is
// on that drive, else the "=X:" environment entry cmd.exe keeps, else the root.
std::string CurrentDirOfDrive(const Machine &m, char letter) {
    if (IsDriveSpec(m.currentDir) && std::toupper((unsigned char)m.currentDir[0]) == letter) return m.currentDir;
    auto it = m.environment.find(std::string("=") + letter + ":");
    if (it != m.environment.end() && IsDriveSpec(it->second) &&
        std::toupper((unsigned char)it->second[0]) == letter)
        return it->second;
    return std::string(1, letter) + ":\\";
}

bool ParsePath(const Machine &m, const std::string &text, WinPath &out) {
    out = WinPath();
    if (text.empty()) return false;
    bool endsWithSep = IsSep(text.back());
    bool ok = true;
    if (text.size() >= 4 && IsSep(text[0]) && IsSep(text[1]) && text[2] == '?' && IsSep(text[3])) {
        // "\\?\" switches parsing off on Windows; here it only drops the prefix.
        std::string inner = text.substr(4);
        if (inner.size() >= 4 && EqualNoCase(inner.substr(0, 3), "UNC") && IsSep(inner[3]))
            inner = "\\\\" + inner.substr(4);
        ok = ParseAbsolute(inner, out);
    } else if (text.size() >= 4 && IsSep(text[0]) && IsSep(text[1]) && text[2] == '.' && IsSep(text[3])) {
        std::string inner = text.substr(4);
        if (IsDriveSpec(inner) && (inner.size() == 2 || IsSep(inner[2]))) {
            ok = ParseAbsolute(inner.substr(0, 2) + "\\" + (inner.size() > 3 ? inner.substr(3) : ""), out);
        } else {
            out.device = true;
            out.root = text;
            std::replace(out.root.begin(), out.root.end(), '/', '\\');
        }
    } else if (text.size() >= 2 && IsSep(text[0]) && IsSep(text[1])) {
        ok = ParseAbsolute(text, out);
    } else if (IsDriveSpec(text) && text.size() >= 3 && IsSep(text[2])) {
        ok = ParseAbsolute(text, out);
    } else {
        size_t from = 0;
        if (IsDriveSpec(text)) {
            // "X:name": relative to that drive's current folder.
            char letter = (char)std::toupper((unsigned char)text[0]);
            if (!ParseAbsolute(CurrentDirOfDrive(m, letter), out)) ParseAbsolute(std::string(1, letter) + ":\\", out);
            from = 2;
        } else {
            if (!ParseAbsolute(m.currentDir, out)) ParseAbsolute("C:\\", out);
            if (IsSep(text[0])) {
                out.parts.clear();  // root of the current drive
                from = 1;
            }
        }
        AddComponents(out.parts, text, from);
    }
    out.endsWithSep = endsWithSep;
    return ok;
}

// Characters Windows refuses in file names; wildcards only in a pattern.
bool BadNameChars(const std::string &s, bool allowWildcards) {
    for (unsigned char c : s) {
        if (c < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == ':') return true;
        if (!allowWildcards && (c == '*' || c == '?')) return true;
    }
    return false;
}

bool HasWildcards(const std::string &s) { return s.find_first_of("*?") != std::string::npos; }

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9, with any extension, name devices in
// every folder on Windows; devices are not modelled.
bool IsDosDeviceName(const std::string &name) {
    std::string base = Upper(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
           base[3] <= '9';
}

// ---- host mapping --------------------------------------------------------------------
// The entry of `dir` whose name equals `name` without case ("" if none). With
// several host names differing only in case, the smallest wins, for a stable answer.
std::string FindNoCase(const std::string &dir, const std::string &name) {
    std::string best;
    if (name == "." || name == "..") return best;
    // Such a name differs from `name` only in the case of its letters. With
    // two letters or fewer (numbered names: "T00001", "2024"), looking up each
    // spelling takes no more system calls than reading the folder, which may
    // hold thousands of entries.
    std::vector<size_t> letters;
    bool ascii = true;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = (unsigned char)name[i];
        ascii = ascii && c < 0x80;
        if (std::isalpha(c)) letters.push_back(i);
    }
    if (ascii && letters.size() <= 2) {
        for (unsigned mask = 0; mask < (1u << letters.size()); ++mask) {
            std::string spelling = name;
            for (size_t b = 0; b < letters.size(); ++b) {
                unsigned char c = (unsigned char)spelling[letters[b]];
                spelling[letters[b]] = (char)((mask >> b) & 1 ? std::toupper(c) : std::tolower(c));
            }
            struct stat st;
            if (::lstat((dir + "/" + spelling).c_str(), &st) == 0 && (best.empty() || spelling < best)) best = spelling;
        }
        return best;
    }
    DIR *d = ::opendir(dir.c_str());
    if (!d) return best;
    while (struct dirent *e = ::readdir(d)) {
        if (strlen(e->d_name) != name.size()) continue;  // "." and ".." among them
        std::string n = e->d_name;
        if (EqualNoCase(n, name) && (best.empty() || n < best)) best = n;
    }
    ::closedir(d);
    return best;
}

// One step down: the host path of `name` below `dir`, exact case first.
bool Step(const std::string &dir, const std::string &name, std::string &host, struct stat &st) {
    host = dir + "/" + name;
    if (::stat(host.c_str(), &st) == 0) return true;
    std::string actual = FindNoCase(dir, name);
    if (actual.empty()) return false;
    host = dir + "/" + actual;
    return ::stat(host.c_str(), &st) == 0;
}

struct Resolved {
    WinPath path;
    const Drive *drive = nullptr;
    std::string host;        // components that do not exist are as written
    std::string parentHost;  // the folder that holds (or would hold) the final component
    bool exists = false, isDir = false, parentExists = false;
    struct stat st {};
    // False: only the host path with the names as written, nothing looked up
    // (`exists` and the rest unknown).
    bool lookUp = true;

    bool IsRoot() const { return path.parts.empty(); }
};

// A UNC path as the path on the drive of the machine that shares it: the
// server must be on the network, the share a disk share of it, and the
// program's logon there (its connection, or its own credentials) one the
// server admits; the administrative shares need an administrator.
DWORD MapShare(const WinPath &unc, const Machine *&target, WinPath &out) {
    std::string rest = unc.root.substr(2);
    size_t slash = rest.find('\\');
    if (slash == std::string::npos) return ERROR_BAD_NETPATH;  // "\\server" alone names no folder
    std::string server = rest.substr(0, slash), share = rest.substr(slash + 1);
    Machine *m = FindMachine(server);
    if (!m) return ERROR_BAD_NETPATH;
    auto it = m->shares.find(share);
    if (it == m->shares.end() || (it->second.type & 0xFF) != 0 /* STYPE_DISKTREE */) return ERROR_BAD_NET_NAME;
    bool admin = EqualNoCase(share, "ADMIN$") ||
                 (share.size() == 2 && share[1] == '$' && std::isalpha((unsigned char)share[0]));
    if (DWORD e = RemoteAccess(*m, admin)) return e;
    WinPath base;
    if (!ParseAbsolute(it->second.path, base) || base.unc || base.device) return ERROR_BAD_NET_NAME;
    base.parts.insert(base.parts.end(), unc.parts.begin(), unc.parts.end());
    base.endsWithSep = unc.endsWithSep;
    target = m;
    out = base;
    return 0;
}

// Maps a parsed path onto the host. `limits`: the Win32 length rule applies.
DWORD ResolveParsed(const Machine &m, Resolved &r, bool limits, bool wildcardLast = false) {
    if (r.path.device) return ERROR_FILE_NOT_FOUND;
    for (size_t i = 0; i < r.path.parts.size(); ++i)
        if (BadNameChars(r.path.parts[i], wildcardLast && i + 1 == r.path.parts.size())) return ERROR_INVALID_NAME;
    if (limits && r.path.Full().size() >= MAX_PATH) return ERROR_PATH_NOT_FOUND;
    if (r.path.unc) {
        // "\\SERVER\SHARE\..." is the share's folder on that machine.
        const Machine *target = nullptr;
        WinPath onTarget;
        if (DWORD e = MapShare(r.path, target, onTarget)) return e;
        r.path = onTarget;
        return ResolveParsed(*target, r, false, wildcardLast);
    }
    if (limits && !r.path.parts.empty() && IsDosDeviceName(r.path.parts.back())) return ERROR_CALL_NOT_IMPLEMENTED;
    auto d = m.drives.find(r.path.DriveLetter());
    if (d == m.drives.end()) return ERROR_PATH_NOT_FOUND;
    r.drive = &d->second;
    std::string cur = d->second.hostRoot;
    if (r.path.parts.empty()) {
        r.host = r.parentHost = cur;
        r.exists = ::stat(cur.c_str(), &r.st) == 0;
        r.isDir = r.parentExists = r.exists;
        return 0;
    }
    // Most paths name what exists with the names as they are on the disk:
    // one look-up of the whole path then stands for one a component (every
    // folder on the way exists, as a folder, with that very name).
    std::string exact = cur;
    for (const std::string &c : r.path.parts) exact += "/" + c;
    if (!r.lookUp) {
        r.host = exact;
        return 0;
    }
    if (::stat(exact.c_str(), &r.st) == 0) {
        r.host = exact;
        r.parentHost = exact.substr(0, exact.size() - r.path.parts.back().size() - 1);
        r.exists = r.parentExists = true;
        r.isDir = S_ISDIR(r.st.st_mode);
        return 0;
    }
    r.st = {};
    bool ok = true;  // `cur` is an existing folder
    for (size_t i = 0; i < r.path.parts.size(); ++i) {
        const std::string &c = r.path.parts[i];
        bool last = i + 1 == r.path.parts.size();
        if (last) {
            r.parentExists = ok;
            r.parentHost = cur;
        }
        if (!ok) {
            cur += "/" + c;
            continue;
        }
        std::string next;
        struct stat st;
        if (Step(cur, c, next, st)) {
            cur = next;
            if (last) {
                r.exists = true;
                r.isDir = S_ISDIR(st.st_mode);
                r.st = st;
            } else if (!S_ISDIR(st.st_mode)) {
                ok = false;  // a file where a folder should be
            }
        } else {
            cur = next;
            ok = false;
        }
    }
    r.host = cur;
    return 0;
}

DWORD Resolve(const Machine &m, const char *text, Resolved &r, bool wildcardLast = false) {
    if (!text || !*text) return ERROR_PATH_NOT_FOUND;
    // The ANSI name goes through a MAX_PATH+1 wide buffer on its way to the kernel.
    if (strnlen(text, MAX_PATH + 1) > MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
    if (!ParsePath(m, text, r.path)) return ERROR_INVALID_NAME;
    return ResolveParsed(m, r, true, wildcardLast);
}

DWORD MissingError(const Resolved &r) { return r.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND; }

DWORD HostError(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

// ---- time --------------------------------------------------------------------------------
// Files carry the machine clock: host times are set from it and read back.
struct timespec ClockTimespec() {
    uint64_t ms = ClockMs();
    uint64_t u = ms > kUnixEpochMs ? ms - kUnixEpochMs : 0;
    struct timespec ts;
    ts.tv_sec = (time_t)(u / 1000);
    ts.tv_nsec = (long)(u % 1000) * 1000000L;
    return ts;
}

void TouchFd(int fd, bool access) {
    struct timespec t[2];
    t[0] = access ? ClockTimespec() : timespec{0, UTIME_OMIT};
    t[1] = ClockTimespec();
    ::futimens(fd, t);
}

void TouchPath(const std::string &host) {
    struct timespec t[2] = {ClockTimespec(), ClockTimespec()};
    ::utimensat(AT_FDCWD, host.c_str(), t, 0);
}

FILETIME HostFileTime(const struct timespec &ts) {
    int64_t ms = (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
    return MsToFileTime((uint64_t)std::max<int64_t>(0, ms + (int64_t)kUnixEpochMs));
}

// ---- attributes ------------------------------------------------------------------------
std::map<std::string, DWORD> &AttributeTable() {
    static auto *table = new std::map<std::string, DWORD>();
    return *table;
}

// Security descriptors set on files and folders (SetFileSecurityA), by host
// path, self-relative; they go with the file when it is moved or deleted.
std::map<std::string, std::vector<BYTE>> &SecurityTable() {
    static auto *table = new std::map<std::string, std::vector<BYTE>>();
    return *table;
}

DWORD StoredAttributes(const std::string &host, bool isDir, bool isRoot) {
    auto it = AttributeTable().find(host);
    if (it != AttributeTable().end()) return it->second;
    if (isRoot) return FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;  // an NTFS volume root
    return isDir ? 0 : FILE_ATTRIBUTE_ARCHIVE;                        // new files get the archive bit
}

DWORD ReportedAttributes(const std::string &host, bool isDir, bool isRoot) {
    DWORD a = StoredAttributes(host, isDir, isRoot);
    if (isDir) return a | FILE_ATTRIBUTE_DIRECTORY;
    return a ? a : FILE_ATTRIBUTE_NORMAL;
}

void StoreAttributes(const std::string &host, DWORD a) { AttributeTable()[host] = a & kSettableAttributes; }

bool IsBelow(const std::string &path, const std::string &dir) {
    return path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 && path[dir.size()] == '/';
}

template <class Table>
void ForgetEntries(Table &t, const std::string &host, bool tree) {
    t.erase(host);
    if (!tree) return;
    for (auto it = t.lower_bound(host + "/"); it != t.end() && IsBelow(it->first, host);) it = t.erase(it);
}

template <class Table>
void MoveEntries(Table &t, const std::string &from, const std::string &to, bool tree) {
    std::vector<std::pair<std::string, typename Table::mapped_type>> moved;
    auto it = t.find(from);
    if (it != t.end()) {
        moved.emplace_back(to, it->second);
        t.erase(it);
    }
    if (tree) {
        for (auto jt = t.lower_bound(from + "/"); jt != t.end() && IsBelow(jt->first, from);) {
            moved.emplace_back(to + jt->first.substr(from.size()), jt->second);
            jt = t.erase(jt);
        }
    }
    for (auto &m : moved) t[m.first] = m.second;
}

void ForgetAttributes(const std::string &host, bool tree) {
    ForgetEntries(AttributeTable(), host, tree);
    ForgetEntries(SecurityTable(), host, tree);
}

void MoveAttributes(const std::string &from, const std::string &to, bool tree) {
    MoveEntries(AttributeTable(), from, to, tree);
    MoveEntries(SecurityTable(), from, to, tree);
}

// ---- open files ----------------------------------------------------------------------------
struct FileKey {
    dev_t dev;
    ino_t ino;
    bool operator<(const FileKey &o) const { return dev < o.dev || (dev == o.dev && ino < o.ino); }
    bool operator==(const FileKey &o) const { return dev == o.dev && ino == o.ino; }
};

FileKey KeyOf(const struct stat &st) { return FileKey{st.st_dev, st.st_ino}; }

struct ByteLock {
    const FileObject *owner;
    uint64_t offset, length;
};

// Everything open on one file, whatever name it was opened by.
struct OpenNode {
    std::vector<FileObject *> handles;
    std::vector<ByteLock> locks;
    std::string host;  // where the file is now
    bool isDir = false;
    bool deletePending = false;  // DeleteFile or delete-on-close: goes with the last handle
};

std::map<FileKey, OpenNode> &Nodes() {
    static auto *nodes = new std::map<FileKey, OpenNode>();
    return *nodes;
}

OpenNode *NodeOf(const struct stat &st) {
    auto it = Nodes().find(KeyOf(st));
    return it == Nodes().end() ? nullptr : &it->second;
}

DWORD MapAccess(DWORD desired) {
    DWORD a = 0;
    if (desired & (GENERIC_READ | GENERIC_EXECUTE | GENERIC_ALL | kFileReadData | kFileExecute)) a |= kRead;
    if (desired & (GENERIC_WRITE | GENERIC_ALL | kFileWriteData | kFileAppendData)) a |= kWrite;
    if (desired & (GENERIC_ALL | kDeleteRight)) a |= kDelete;
    return a;
}

uint64_t RangeEnd(uint64_t offset, uint64_t length) {
    return length > UINT64_MAX - offset ? UINT64_MAX : offset + length;
}

bool Overlaps(uint64_t a, uint64_t al, uint64_t b, uint64_t bl) {
    if (al == 0 || bl == 0) return false;  // zero-byte locks never conflict
    return a < RangeEnd(b, bl) && b < RangeEnd(a, al);
}

// Removes a file or folder whose last handle went with delete pending.
void RemoveHostEntry(const std::string &host, const FileKey &key, bool isDir) {
    struct stat st;
    if (::stat(host.c_str(), &st) != 0 || !(KeyOf(st) == key)) return;
    if (isDir ? ::rmdir(host.c_str()) == 0 : ::unlink(host.c_str()) == 0) ForgetAttributes(host, false);
}

}  // namespace

// ---- file objects ------------------------------------------------------------------------------
class FileObject : public StreamObject {
public:
    ~FileObject() override;
    const char *Kind() const override { return "File"; }
    BOOL Read(void *buffer, DWORD size, DWORD *done) override;
    BOOL Write(const void *buffer, DWORD size, DWORD *done) override;

    bool LockedByOther(uint64_t offset, uint64_t length) const;
    uint64_t Size() const {
        struct stat st;
        return fd >= 0 && ::fstat(fd, &st) == 0 && !isDir ? (uint64_t)st.st_size : 0;
    }

    int fd = -1;
    FileKey key{};
    DWORD access = 0;  // kRead | kWrite | kDelete
    DWORD share = 0;
    uint64_t position = 0;
    bool isDir = false;
    bool deleteOnClose = false;
};

FileObject::~FileObject() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = Nodes().find(key);
    if (it != Nodes().end()) {
        OpenNode &node = it->second;
        node.handles.erase(std::remove(node.handles.begin(), node.handles.end(), this), node.handles.end());
        node.locks.erase(std::remove_if(node.locks.begin(), node.locks.end(),
                                        [this](const ByteLock &l) { return l.owner == this; }),
                         node.locks.end());
        if (deleteOnClose) node.deletePending = true;
        if (node.handles.empty()) {
            if (node.deletePending) RemoveHostEntry(node.host, key, node.isDir);
            Nodes().erase(it);
        }
    }
    if (fd >= 0) ::close(fd);
}

bool FileObject::LockedByOther(uint64_t offset, uint64_t length) const {
    auto it = Nodes().find(key);
    if (it == Nodes().end()) return false;
    for (const ByteLock &l : it->second.locks)
        if (l.owner != this && Overlaps(offset, length, l.offset, l.length)) return true;
    return false;
}

BOOL FileObject::Read(void *buffer, DWORD size, DWORD *done) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (done) *done = 0;
    if (isDir) return Fail(FALSE, ERROR_INVALID_FUNCTION);
    if (!(access & kRead)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (size == 0) return TRUE;
    if (!buffer) return Fail(FALSE, ERROR_NOACCESS);
    if (LockedByOther(position, size)) return Fail(FALSE, ERROR_LOCK_VIOLATION);
    if (position >= (uint64_t)INT64_MAX) return TRUE;  // far past any end of file
    size_t total = 0;
    while (total < size) {
        ssize_t n = ::pread(fd, (char *)buffer + total, size - total, (off_t)(position + total));
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(FALSE, ERROR_GEN_FAILURE);
        }
        if (n == 0) break;
        total += (size_t)n;
    }
    position += total;
    if (done) *done = (DWORD)total;
    return TRUE;
}

BOOL FileObject::Write(const void *buffer, DWORD size, DWORD *done) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (done) *done = 0;
    if (isDir) return Fail(FALSE, ERROR_INVALID_FUNCTION);
    if (!(access & kWrite)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (size == 0) return TRUE;  // a zero-byte write changes nothing
    if (!buffer) return Fail(FALSE, ERROR_NOACCESS);
    if (LockedByOther(position, size)) return Fail(FALSE, ERROR_LOCK_VIOLATION);
    if (position > (uint64_t)INT64_MAX - size) return Fail(FALSE, ERROR_DISK_FULL);
    size_t total = 0;
    while (total < size) {
        ssize_t n = ::pwrite(fd, (const char *)buffer + total, size - total, (off_t)(position + total));
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(FALSE, errno == ENOSPC || errno == EFBIG ? ERROR_DISK_FULL : ERROR_GEN_FAILURE);
        }
        total += (size_t)n;
    }
    position += total;
    if (done) *done = (DWORD)total;
    TouchFd(fd, false);
    return TRUE;
}

namespace {

// Opens without read, write or delete access take no part in sharing, on
// either side (as IoCheckShareAccess counts them).
bool ShareConflict(const OpenNode &node, DWORD access, DWORD share) {
    if (!access) return false;
    for (const FileObject *h : node.handles) {
        if (!h->access) continue;
        if ((access & kRead) && !(h->share & FILE_SHARE_READ)) return true;
        if ((access & kWrite) && !(h->share & FILE_SHARE_WRITE)) return true;
        if ((access & kDelete) && !(h->share & FILE_SHARE_DELETE)) return true;
        if ((h->access & kRead) && !(share & FILE_SHARE_READ)) return true;
        if ((h->access & kWrite) && !(share & FILE_SHARE_WRITE)) return true;
        if ((h->access & kDelete) && !(share & FILE_SHARE_DELETE)) return true;
    }
    return false;
}

std::shared_ptr<FileObject> Register(const struct stat &st, const std::string &host, int fd, DWORD access,
                                     DWORD share, bool isDir, bool deleteOnClose) {
    auto f = std::make_shared<FileObject>();
    f->fd = fd;
    f->key = KeyOf(st);
    f->access = access;
    f->share = share;
    f->isDir = isDir;
    f->deleteOnClose = deleteOnClose;
    OpenNode &node = Nodes()[f->key];
    node.host = host;
    node.isDir = isDir;
    node.handles.push_back(f.get());
    return f;
}

// The host path of the machine's current directory ("" when it is gone).
std::string CurrentDirHost(const Machine &m) {
    Resolved r;
    if (!ParsePath(m, m.currentDir, r.path) || ResolveParsed(m, r, false) || !r.exists || !r.isDir) return "";
    return r.host;
}

// True when something holds the folder `host` or an entry below it open: its
// open handles, or the current directory of the machine.
bool TreeInUse(const Machine &m, const std::string &host) {
    for (auto &n : Nodes())
        if (IsBelow(n.second.host, host)) return true;
    std::string cur = CurrentDirHost(m);
    return !cur.empty() && IsBelow(cur, host);
}

bool IsCurrentDir(const Machine &m, const std::string &host) { return CurrentDirHost(m) == host; }

bool FolderEmpty(const std::string &host) {
    DIR *d = ::opendir(host.c_str());
    if (!d) return false;
    bool empty = true;
    while (struct dirent *e = ::readdir(d)) {
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    ::closedir(d);
    return empty;
}

bool WriteAll(int fd, const char *data, size_t size) {
    size_t total = 0;
    while (total < size) {
        ssize_t n = ::write(fd, data + total, size - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        total += (size_t)n;
    }
    return true;
}

bool ReadAll(int fd, std::string &out) {
    out.clear();
    char buf[65536];
    off_t at = 0;
    for (;;) {
        ssize_t n = ::pread(fd, buf, sizeof buf, at);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        out.append(buf, (size_t)n);
        at += n;
    }
}

// "X:" or "X:\\": the drive letter in upper case; 0 for anything else.
char RootDriveLetter(const char *root) {
    if (!root || !std::isalpha((unsigned char)root[0]) || root[1] != ':') return 0;
    if (root[2] == '\0' || (IsSep(root[2]) && root[3] == '\0')) return (char)std::toupper((unsigned char)root[0]);
    return 0;
}

}  // namespace

// ---- shared with the profile functions ---------------------------------------------------------
std::shared_ptr<FileObject> OpenFileObject(Machine &m, const char *path, DWORD desired, DWORD share,
                                           DWORD disposition, DWORD flags, DWORD &error, bool *existed) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    error = 0;
    if (existed) *existed = false;
    Resolved r;
    if ((error = Resolve(m, path, r))) return nullptr;
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
        error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    DWORD access = MapAccess(desired);
    bool deleteOnClose = (flags & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    if (deleteOnClose) access |= kDelete;
    DWORD requested = flags & kSettableAttributes;
    bool overwrite = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;

    if (r.exists) {
        if (existed) *existed = true;
        if (disposition == CREATE_NEW) {
            error = ERROR_FILE_EXISTS;
            return nullptr;
        }
        if (r.isDir) {
            // Folders open only for backup semantics, and never as files.
            if (!(flags & FILE_FLAG_BACKUP_SEMANTICS) || overwrite) {
                error = ERROR_ACCESS_DENIED;
                return nullptr;
            }
        } else if (r.path.endsWithSep) {
            error = ERROR_INVALID_NAME;
            return nullptr;
        }
        OpenNode *node = NodeOf(r.st);
        if (node && node->deletePending) {
            error = ERROR_ACCESS_DENIED;
            return nullptr;
        }
        if (disposition == TRUNCATE_EXISTING && !(access & kWrite)) {
            error = ERROR_INVALID_PARAMETER;
            return nullptr;
        }
        DWORD attrs = StoredAttributes(r.host, r.isDir, r.IsRoot());
        if (!r.isDir && (attrs & FILE_ATTRIBUTE_READONLY) && ((access & (kWrite | kDelete)) || overwrite)) {
            error = ERROR_ACCESS_DENIED;
            return nullptr;
        }
        // Overwriting a hidden or system file must restate those attributes.
        if (disposition == CREATE_ALWAYS &&
            (((attrs & FILE_ATTRIBUTE_HIDDEN) && !(requested & FILE_ATTRIBUTE_HIDDEN)) ||
             ((attrs & FILE_ATTRIBUTE_SYSTEM) && !(requested & FILE_ATTRIBUTE_SYSTEM)))) {
            error = ERROR_ACCESS_DENIED;
            return nullptr;
        }
        if (node && ShareConflict(*node, access, share)) {
            error = ERROR_SHARING_VIOLATION;
            return nullptr;
        }
        if ((access & (kWrite | kDelete)) || overwrite) JournalHostPath(r.host);
        int fd;
        if (r.isDir)
            fd = ::open(r.host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        else
            fd = ::open(r.host.c_str(), ((access & kWrite) || overwrite ? O_RDWR : O_RDONLY) | O_CLOEXEC);
        if (fd < 0) {
            error = HostError(errno);
            return nullptr;
        }
        if (overwrite) {
            if (::ftruncate(fd, 0) != 0) {
                error = HostError(errno);
                ::close(fd);
                return nullptr;
            }
            TouchFd(fd, false);
            StoreAttributes(r.host, (disposition == CREATE_ALWAYS ? attrs | requested : attrs) | FILE_ATTRIBUTE_ARCHIVE);
        }
        return Register(r.st, r.host, fd, access, share, r.isDir, deleteOnClose);
    }

    if (!r.parentExists) {
        error = ERROR_PATH_NOT_FOUND;
        return nullptr;
    }
    if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
        error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    if (r.path.endsWithSep) {
        error = ERROR_INVALID_NAME;
        return nullptr;
    }
    JournalHostPath(r.host);
    int fd = ::open(r.host.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = HostError(errno);
        return nullptr;
    }
    struct stat st;
    ::fstat(fd, &st);
    TouchFd(fd, true);
    // A new file gets the attributes asked for, and the archive bit.
    StoreAttributes(r.host, requested | FILE_ATTRIBUTE_ARCHIVE);
    return Register(st, r.host, fd, access, share, false, deleteOnClose);
}

bool ReadWholeFile(FileObject &file, std::string &data, DWORD &error) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    data.clear();
    uint64_t size = file.Size();
    if (size > 0x7FFFFFFF) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    data.resize((size_t)size);
    file.position = 0;
    DWORD done = 0;
    if (!file.Read(size ? &data[0] : nullptr, (DWORD)size, &done)) {
        error = GetLastError();
        data.clear();
        return false;
    }
    data.resize(done);
    return true;
}

bool ReplaceWholeFile(FileObject &file, const std::string &data, DWORD &error) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!(file.access & kWrite) || file.isDir) {
        error = ERROR_ACCESS_DENIED;
        return false;
    }
    uint64_t old = file.Size();
    // Locks of other handles over the old or the new extent stop the rewrite.
    if (file.LockedByOther(0, std::max<uint64_t>(old, data.size()))) {
        error = ERROR_LOCK_VIOLATION;
        return false;
    }
    file.position = 0;
    DWORD done = 0;
    if (!data.empty() && !file.Write(data.data(), (DWORD)data.size(), &done)) {
        error = GetLastError();
        return false;
    }
    if (::ftruncate(file.fd, (off_t)data.size()) != 0) {
        error = HostError(errno);
        return false;
    }
    TouchFd(file.fd, false);
    return true;
}

// ---- control API: the machine's files -----------------------------------------------------------
namespace {
DWORD ResolveForControl(const Machine &m, const std::string &winPath, Resolved &r) {
    if (!ParsePath(m, winPath, r.path)) return ERROR_INVALID_NAME;
    return ResolveParsed(m, r, false);
}

std::runtime_error ControlError(const Machine &m, const std::string &what, const std::string &winPath, DWORD e) {
    return std::runtime_error("winsim: " + what + " \"" + winPath + "\" on " + m.name + ": Win32 error " +
                              std::to_string(e));
}
}  // namespace

DWORD LocatePath(Machine &m, const char *path, std::string &host, const Drive *&drive, bool &exists) {
    Resolved r;
    if (DWORD e = Resolve(m, path, r)) return e;
    host = r.host;
    drive = r.drive;
    exists = r.exists;
    return 0;
}

DWORD LocateVolume(Machine &m, const char *root, const Drive *&drive) {
    std::string text = root ? root : m.currentDir.substr(0, 3);
    if (text.empty()) return ERROR_INVALID_NAME;
    Resolved r;
    if (!ParsePath(m, text, r.path) || r.path.device) return ERROR_INVALID_NAME;
    // Without the trailing backslash only a name that comes to a root (such
    // as "C:" while C:'s current folder is its root) will do.
    if (!r.path.parts.empty()) return IsSep(text.back()) ? ERROR_DIR_NOT_ROOT : ERROR_INVALID_NAME;
    if (r.path.unc && r.path.root.find('\\', 2) == std::string::npos) return ERROR_INVALID_NAME;
    if (DWORD e = ResolveParsed(m, r, true)) return e;
    drive = r.drive;
    return 0;
}

void StoreFileSecurity(const std::string &host, const std::vector<BYTE> &sd) { SecurityTable()[host] = sd; }

bool StoredFileSecurity(const std::string &host, std::vector<BYTE> &sd) {
    auto it = SecurityTable().find(host);
    if (it == SecurityTable().end()) return false;
    sd = it->second;
    return true;
}

bool NormalizeWindowsPath(const Machine &m, const std::string &path, std::string &full) {
    WinPath p;
    if (!ParsePath(m, path, p)) return false;
    full = p.Full();
    return true;
}

bool Machine::HostPath(const std::string &winPath, std::string &hostPath, DWORD *error) const {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Resolved r;
    DWORD e = ResolveForControl(*this, winPath, r);
    if (e) {
        if (error) *error = e;
        return false;
    }
    hostPath = r.host;
    if (error) *error = 0;
    return true;
}

void Machine::MakeDirs(const std::string &winPath) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Resolved r;
    DWORD e = ResolveForControl(*this, winPath, r);
    if (e) throw ControlError(*this, "cannot make the folder", winPath, e);
    std::string cur = r.drive->hostRoot;
    for (const std::string &c : r.path.parts) {
        std::string next;
        struct stat st;
        if (Step(cur, c, next, st)) {
            if (!S_ISDIR(st.st_mode)) throw ControlError(*this, "a file stands in the way of the folder", winPath, ERROR_ALREADY_EXISTS);
        } else {
            next = cur + "/" + c;  // new folders take the case as written
            JournalHostPath(next);
            if (::mkdir(next.c_str(), 0755) != 0 && errno != EEXIST)
                throw ControlError(*this, "cannot make the folder", winPath, HostError(errno));
            ForgetAttributes(next, true);
            TouchPath(next);
        }
        cur = next;
    }
}

void Machine::PutFile(const std::string &winPath, const std::string &content) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Resolved r;
    DWORD e = ResolveForControl(*this, winPath, r);
    if (e) throw ControlError(*this, "cannot place the file", winPath, e);
    if (r.IsRoot() || (r.exists && r.isDir)) throw ControlError(*this, "a folder stands at", winPath, ERROR_ACCESS_DENIED);
    if (!r.parentExists) {
        MakeDirs(r.path.Parent().Full());
        r = Resolved();
        if ((e = ResolveForControl(*this, winPath, r))) throw ControlError(*this, "cannot place the file", winPath, e);
    }
    bool existed = r.exists;
    JournalHostPath(r.host);
    int fd = ::open(r.host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw ControlError(*this, "cannot write the file", winPath, HostError(errno));
    bool ok = WriteAll(fd, content.data(), content.size());
    TouchFd(fd, true);
    ::close(fd);
    if (!ok) throw ControlError(*this, "cannot write the file", winPath, ERROR_DISK_FULL);
    if (!existed) ForgetAttributes(r.host, false);
}

bool Machine::GetFile(const std::string &winPath, std::string &content) const {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Resolved r;
    if (ResolveForControl(*this, winPath, r) || !r.exists || r.isDir) return false;
    int fd = ::open(r.host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ReadAll(fd, content);
    ::close(fd);
    return ok;
}

bool Machine::Exists(const std::string &winPath) const {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Resolved r;
    return ResolveForControl(*this, winPath, r) == 0 && r.exists;
}

// ---- find handles ------------------------------------------------------------------------------
namespace {

struct FindObject : KernelObject {
    const char *Kind() const override { return "Find"; }
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

// FindFirstFile hands the file system NT's DOS wildcards: '<' (DOS_STAR:
// anything up to the last period), '>' (DOS_QM: one character, or nothing at
// a period or the end) and '"' (DOS_DOT: a period, or nothing at the end).
std::string TranslatePattern(const std::string &p, bool endsInDot) {
    if (p == "*.*") return "*";
    std::string out = p;
    for (size_t i = 0; i < p.size(); ++i) {
        bool beforeWild = i + 1 < p.size() && (p[i + 1] == '?' || p[i + 1] == '*');
        if (p[i] == '?')
            out[i] = '>';
        else if (p[i] == '.' && beforeWild)
            out[i] = '"';
        else if (p[i] == '*' && i + 1 < p.size() && p[i + 1] == '.')
            out[i] = '<';
    }
    // "*." was cut to "*" by the path rules; Windows turns it back into
    // "names without an extension".
    if (endsInDot && !out.empty() && out.back() == '*') {
        out.back() = '<';
        out += '"';
    }
    return out;
}

bool MatchPattern(const std::string &pat, const std::string &name) {
    const size_t P = pat.size(), N = name.size();
    const size_t lastDot = name.rfind('.');
    std::vector<signed char> memo((P + 1) * (N + 1), -1);
    // Iterative fill from the end: match(pi, ni) depends on larger indices only.
    auto at = [&](size_t pi, size_t ni) -> signed char & { return memo[pi * (N + 1) + ni]; };
    for (size_t pi = P + 1; pi-- > 0;) {
        for (size_t ni = N + 1; ni-- > 0;) {
            bool r;
            if (pi == P) {
                r = ni == N;
            } else {
                char c = pat[pi];
                switch (c) {
                case '*':
                    r = at(pi + 1, ni) || (ni < N && at(pi, ni + 1));
                    break;
                case '<':
                    r = at(pi + 1, ni) || (ni < N && (lastDot == std::string::npos || ni < lastDot) && at(pi, ni + 1));
                    break;
                case '>':
                    if (ni < N && name[ni] != '.') {
                        r = at(pi + 1, ni + 1);
                    } else {
                        size_t pj = pi;
                        while (pj < P && pat[pj] == '>') ++pj;
                        r = at(pj, ni);
                    }
                    break;
                case '"':
                    r = (ni < N && name[ni] == '.') ? at(pi + 1, ni + 1) : (ni == N ? at(pi + 1, ni) : false);
                    break;
                default:
                    r = ni < N && std::toupper((unsigned char)c) == std::toupper((unsigned char)name[ni]) &&
                        at(pi + 1, ni + 1);
                }
            }
            at(pi, ni) = r ? 1 : 0;
        }
    }
    return at(0, 0) == 1;
}

WIN32_FIND_DATAA MakeFindData(const std::string &name, const struct stat &st, DWORD attrs) {
    WIN32_FIND_DATAA d;
    memset(&d, 0, sizeof d);
    d.dwFileAttributes = attrs;
    d.ftCreationTime = HostFileTime(st.st_mtim);
    d.ftLastAccessTime = HostFileTime(st.st_atim);
    d.ftLastWriteTime = HostFileTime(st.st_mtim);
    uint64_t size = S_ISDIR(st.st_mode) ? 0 : (uint64_t)st.st_size;
    d.nFileSizeHigh = (DWORD)(size >> 32);
    d.nFileSizeLow = (DWORD)size;
    CopyOut(name, d.cFileName, MAX_PATH);
    return d;
}

}  // namespace

}  // namespace winsim

using namespace winsim;

// ---- handles: create, read, write ------------------------------------------------------------
namespace {

// "\\server\mailslot\name" (server "." for this machine, "*" for the domain).
bool IsMailslotPath(const char *p) {
    if (!IsSep(p[0]) || !IsSep(p[1])) return false;
    const char *s = p + 2, *e = s;
    while (*e && !IsSep(*e)) ++e;
    if (e == s || !*e) return false;
    const char *c = e + 1, *ce = c;
    while (*ce && !IsSep(*ce)) ++ce;
    return ce - c == 8 && strncasecmp(c, "mailslot", 8) == 0 && *ce && ce[1];
}

}  // namespace

extern "C" HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                                     DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    WINSIM_FAULT_RETURN("CreateFileA", INVALID_HANDLE_VALUE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    (void)lpSecurityAttributes;
    (void)hTemplateFile;
    if (!lpFileName) return Fail(INVALID_HANDLE_VALUE, ERROR_PATH_NOT_FOUND);
    if (IsMailslotPath(lpFileName)) return OpenMailslotClient(lpFileName, dwDesiredAccess);
    // Asynchronous file I/O is not modelled.
    if (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) return Fail(INVALID_HANDLE_VALUE, ERROR_CALL_NOT_IMPLEMENTED);
    DWORD error = 0;
    bool existed = false;
    auto f = OpenFileObject(LocalMachine(), lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition,
                            dwFlagsAndAttributes, error, &existed);
    if (!f) return Fail(INVALID_HANDLE_VALUE, error);
    HANDLE h = NewHandle(f);
    bool reports = dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS;
    SetLastError(existed && reports ? ERROR_ALREADY_EXISTS : NO_ERROR);
    return h;
}

namespace {

// ReadFile and WriteFile differ only in the direction of the transfer.
template <class Transfer>
BOOL TransferFile(HANDLE hFile, LPDWORD lpDone, LPOVERLAPPED lpOverlapped, Transfer transfer) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (lpDone) *lpDone = 0;
    auto obj = HandleAs<StreamObject>(hFile);
    if (!obj) return Fail(FALSE, ERROR_INVALID_HANDLE);
    // Windows writes the count through this pointer for synchronous transfers.
    if (!lpDone && !lpOverlapped) return Fail(FALSE, ERROR_NOACCESS);
    if (lpOverlapped)
        if (auto *f = dynamic_cast<FileObject *>(obj.get()))
            f->position = ((uint64_t)lpOverlapped->OffsetHigh << 32) | lpOverlapped->Offset;
    DWORD done = 0;
    BOOL ok = transfer(*obj, &done);
    if (lpDone) *lpDone = done;
    if (ok && lpOverlapped) {
        lpOverlapped->Internal = 0;
        lpOverlapped->InternalHigh = done;
    }
    return ok;
}

}  // namespace

extern "C" BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    WINSIM_FAULT_RETURN("ReadFile", FALSE);
    return TransferFile(hFile, lpNumberOfBytesRead, lpOverlapped, [&](StreamObject &o, DWORD *done) {
        return o.Read(lpBuffer, nNumberOfBytesToRead, done);
    });
}

extern "C" BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    WINSIM_FAULT_RETURN("WriteFile", FALSE);
    return TransferFile(hFile, lpNumberOfBytesWritten, lpOverlapped, [&](StreamObject &o, DWORD *done) {
        return o.Write(lpBuffer, nNumberOfBytesToWrite, done);
    });
}

extern "C" DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                                       DWORD dwMoveMethod) {
    WINSIM_FAULT_RETURN("SetFilePointer", INVALID_SET_FILE_POINTER);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto f = HandleAs<FileObject>(hFile);
    if (!f) return Fail(INVALID_SET_FILE_POINTER, ERROR_INVALID_HANDLE);
    int64_t move = lpDistanceToMoveHigh
                       ? (int64_t)(((uint64_t)(uint32_t)*lpDistanceToMoveHigh << 32) | (uint32_t)lDistanceToMove)
                       : (int64_t)lDistanceToMove;
    uint64_t base;
    switch (dwMoveMethod) {
    case FILE_BEGIN:
        base = 0;
        break;
    case FILE_CURRENT:
        base = f->position;
        break;
    case FILE_END:
        base = f->Size();
        break;
    default:
        return Fail(INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER);
    }
    __int128 target = (__int128)base + move;
    if (target < 0) return Fail(INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK);
    if (target > (__int128)INT64_MAX) return Fail(INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER);
    // Without a high part the new position has to fit in 32 bits.
    if (!lpDistanceToMoveHigh && target > (__int128)0xFFFFFFFFu)
        return Fail(INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER);
    f->position = (uint64_t)target;
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = (LONG)(uint32_t)(f->position >> 32);
    DWORD low = (DWORD)f->position;
    // A low part that looks like the failure value comes with a cleared error.
    if (low == INVALID_SET_FILE_POINTER) SetLastError(NO_ERROR);
    return low;
}

extern "C" BOOL WINAPI SetEndOfFile(HANDLE hFile) {
    WINSIM_FAULT_RETURN("SetEndOfFile", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto f = HandleAs<FileObject>(hFile);
    if (!f) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (f->isDir) return Fail(FALSE, ERROR_INVALID_FUNCTION);
    if (!(f->access & kWrite)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (::ftruncate(f->fd, (off_t)f->position) != 0)
        return Fail(FALSE, errno == EFBIG || errno == ENOSPC ? ERROR_DISK_FULL : ERROR_GEN_FAILURE);
    TouchFd(f->fd, false);
    return TRUE;
}

extern "C" DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    WINSIM_FAULT_RETURN("GetFileSize", INVALID_FILE_SIZE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto f = HandleAs<FileObject>(hFile);
    if (!f) return Fail(INVALID_FILE_SIZE, ERROR_INVALID_HANDLE);
    uint64_t size = f->Size();
    if (lpFileSizeHigh) *lpFileSizeHigh = (DWORD)(size >> 32);
    DWORD low = (DWORD)size;
    if (low == INVALID_FILE_SIZE) SetLastError(NO_ERROR);
    return low;
}

extern "C" BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
    WINSIM_FAULT_RETURN("FlushFileBuffers", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto f = HandleAs<FileObject>(hFile);
    if (!f) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (!(f->access & kWrite)) return Fail(FALSE, ERROR_ACCESS_DENIED);
    return TRUE;  // writes reach the host file at once
}

extern "C" BOOL WINAPI LockFile(HANDLE hFile, DWORD dwFileOffsetLow, DWORD dwFileOffsetHigh,
                                DWORD nNumberOfBytesToLockLow, DWORD nNumberOfBytesToLockHigh) {
    WINSIM_FAULT_RETURN("LockFile", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto f = HandleAs<FileObject>(hFile);
    if (!f) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (f->isDir) return Fail(FALSE, ERROR_INVALID_FUNCTION);
    if (!(f->access & (kRead | kWrite))) return Fail(FALSE, ERROR_ACCESS_DENIED);
    uint64_t offset = ((uint64_t)dwFileOffsetHigh << 32) | dwFileOffsetLow;
    uint64_t length = ((uint64_t)nNumberOfBytesToLockHigh << 32) | nNumberOfBytesToLockLow;
    OpenNode &node = Nodes()[f->key];
    // LockFile takes exclusive locks: no overlap with any lock, our own included.
    for (const ByteLock &l : node.locks)
        if (Overlaps(offset, length, l.offset, l.length)) return Fail(FALSE, ERROR_LOCK_VIOLATION);
    node.locks.push_back(ByteLock{f.get(), offset, length});
    return TRUE;
}

extern "C" BOOL WINAPI UnlockFile(HANDLE hFile, DWORD dwFileOffsetLow, DWORD dwFileOffsetHigh,
                                  DWORD nNumberOfBytesToUnlockLow, DWORD nNumberOfBytesToUnlockHigh) {
    WINSIM_FAULT_RETURN("UnlockFile", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto f = HandleAs<FileObject>(hFile);
    if (!f) return Fail(FALSE, ERROR_INVALID_HANDLE);
    uint64_t offset = ((uint64_t)dwFileOffsetHigh << 32) | dwFileOffsetLow;
    uint64_t length = ((uint64_t)nNumberOfBytesToUnlockHigh << 32) | nNumberOfBytesToUnlockLow;
    auto it = Nodes().find(f->key);
    if (it == Nodes().end()) return Fail(FALSE, ERROR_NOT_LOCKED);
    auto &locks = it->second.locks;
    // Only a range locked by this handle, exactly as locked, unlocks.
    for (auto l = locks.begin(); l != locks.end(); ++l) {
        if (l->owner == f.get() && l->offset == offset && l->length == length) {
            locks.erase(l);
            return TRUE;
        }
    }
    return Fail(FALSE, ERROR_NOT_LOCKED);
}

// ---- names: attributes, copy, move, delete, folders -----------------------------------------
extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
    WINSIM_FAULT_RETURN("GetFileAttributesA", INVALID_FILE_ATTRIBUTES);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Resolved r;
    if (DWORD e = Resolve(LocalMachine(), lpFileName, r)) return Fail(INVALID_FILE_ATTRIBUTES, e);
    if (!r.exists) return Fail(INVALID_FILE_ATTRIBUTES, MissingError(r));
    if (r.path.endsWithSep && !r.isDir) return Fail(INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME);
    OpenNode *node = NodeOf(r.st);
    if (node && node->deletePending) return Fail(INVALID_FILE_ATTRIBUTES, ERROR_ACCESS_DENIED);
    return ReportedAttributes(r.host, r.isDir, r.IsRoot());
}

extern "C" BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
    WINSIM_FAULT_RETURN("SetFileAttributesA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Resolved r;
    if (DWORD e = Resolve(LocalMachine(), lpFileName, r)) return Fail(FALSE, e);
    if (!r.exists) return Fail(FALSE, MissingError(r));
    if (r.path.endsWithSep && !r.isDir) return Fail(FALSE, ERROR_INVALID_NAME);
    OpenNode *node = NodeOf(r.st);
    if (node && node->deletePending) return Fail(FALSE, ERROR_ACCESS_DENIED);
    // FILE_ATTRIBUTE_NORMAL clears them all; the directory bit is not settable.
    StoreAttributes(r.host, dwFileAttributes & kSettableAttributes);
    return TRUE;
}

extern "C" BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
    WINSIM_FAULT_RETURN("CopyFileA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    Resolved src, dst;
    if (DWORD e = Resolve(m, lpExistingFileName, src)) return Fail(FALSE, e);
    if (!src.exists) return Fail(FALSE, MissingError(src));
    if (src.isDir) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (src.path.endsWithSep) return Fail(FALSE, ERROR_INVALID_NAME);
    // The source is read through a handle that shares reading only.
    OpenNode *sn = NodeOf(src.st);
    if (sn && sn->deletePending) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (sn && ShareConflict(*sn, kRead, FILE_SHARE_READ)) return Fail(FALSE, ERROR_SHARING_VIOLATION);
    if (sn)
        for (const ByteLock &l : sn->locks)
            if (Overlaps(0, (uint64_t)src.st.st_size, l.offset, l.length)) return Fail(FALSE, ERROR_LOCK_VIOLATION);

    if (DWORD e = Resolve(m, lpNewFileName, dst)) return Fail(FALSE, e);
    if (!dst.exists && !dst.parentExists) return Fail(FALSE, ERROR_PATH_NOT_FOUND);
    if (dst.path.endsWithSep) return Fail(FALSE, ERROR_INVALID_NAME);
    if (dst.exists) {
        if (bFailIfExists) return Fail(FALSE, ERROR_FILE_EXISTS);
        if (dst.isDir) return Fail(FALSE, ERROR_ACCESS_DENIED);
        if (KeyOf(dst.st) == KeyOf(src.st)) return Fail(FALSE, ERROR_SHARING_VIOLATION);
        OpenNode *dn = NodeOf(dst.st);
        if (dn && dn->deletePending) return Fail(FALSE, ERROR_ACCESS_DENIED);
        if (StoredAttributes(dst.host, false, false) & FILE_ATTRIBUTE_READONLY) return Fail(FALSE, ERROR_ACCESS_DENIED);
        // The target is written through a handle that shares nothing.
        if (dn && ShareConflict(*dn, kWrite, 0)) return Fail(FALSE, ERROR_SHARING_VIOLATION);
    }
    std::string data;
    int in = ::open(src.host.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Fail(FALSE, HostError(errno));
    bool ok = ReadAll(in, data);
    ::close(in);
    if (!ok) return Fail(FALSE, ERROR_GEN_FAILURE);
    JournalHostPath(dst.host);
    int out = ::open(dst.host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) return Fail(FALSE, HostError(errno));
    ok = WriteAll(out, data.data(), data.size());
    // The copy keeps the last-write time and the attributes of the original.
    struct timespec t[2] = {ClockTimespec(), src.st.st_mtim};
    ::futimens(out, t);
    ::close(out);
    if (!ok) return Fail(FALSE, ERROR_DISK_FULL);
    StoreAttributes(dst.host, StoredAttributes(src.host, false, false) | FILE_ATTRIBUTE_ARCHIVE);
    return TRUE;
}

extern "C" BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
    WINSIM_FAULT_RETURN("MoveFileA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    Resolved src, dst;
    if (DWORD e = Resolve(m, lpExistingFileName, src)) return Fail(FALSE, e);
    if (!src.exists) return Fail(FALSE, MissingError(src));
    if (src.IsRoot()) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (src.path.endsWithSep && !src.isDir) return Fail(FALSE, ERROR_INVALID_NAME);
    if (DWORD e = Resolve(m, lpNewFileName, dst)) return Fail(FALSE, e);
    if (dst.IsRoot()) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (dst.path.endsWithSep && !src.isDir) return Fail(FALSE, ERROR_INVALID_NAME);
    bool sameEntry = dst.exists && KeyOf(dst.st) == KeyOf(src.st) && dst.parentHost == src.parentHost;
    if (dst.exists && !sameEntry) return Fail(FALSE, ERROR_ALREADY_EXISTS);
    if (!dst.parentExists) return Fail(FALSE, ERROR_PATH_NOT_FOUND);
    OpenNode *node = NodeOf(src.st);
    if (node && node->deletePending) return Fail(FALSE, ERROR_ACCESS_DENIED);
    // The rename opens the source for delete access.
    if (node && ShareConflict(*node, kDelete, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
        return Fail(FALSE, ERROR_SHARING_VIOLATION);
    std::string target = dst.parentHost + "/" + dst.path.parts.back();  // the new name as written
    if (src.isDir) {
        if (IsCurrentDir(m, src.host)) return Fail(FALSE, ERROR_SHARING_VIOLATION);
        if (TreeInUse(m, src.host)) return Fail(FALSE, ERROR_ACCESS_DENIED);
        if (IsBelow(target, src.host)) return Fail(FALSE, ERROR_SHARING_VIOLATION);  // into itself
        if (src.drive != dst.drive) return Fail(FALSE, ERROR_NOT_SAME_DEVICE);
    }
    JournalHostPath(src.host, true);
    JournalHostPath(target);
    if (::rename(src.host.c_str(), target.c_str()) != 0) return Fail(FALSE, HostError(errno));
    MoveAttributes(src.host, target, src.isDir);
    if (node) node->host = target;
    return TRUE;
}

// Why a file or folder cannot be deleted now: a delete already pending, an
// open handle that does not share deletion, or the read-only attribute.
DWORD DeleteRefusal(const Resolved &r, OpenNode *node, bool isDir) {
    if (node && node->deletePending) return ERROR_ACCESS_DENIED;
    if (node && ShareConflict(*node, kDelete, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
        return ERROR_SHARING_VIOLATION;
    if (StoredAttributes(r.host, isDir, false) & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    return 0;
}

// Deleting a file named as it is on the disk, that no handle holds and that
// is not read-only, is the host's unlink alone (a tree of many files goes at
// the speed of the disk). Anything else, a failure included, takes the
// general way, which finds the right error.
bool QuickDelete(const char *path) {
    if (JournalsOpen()) return false;  // a journal reads the file first
    Resolved r;
    r.lookUp = false;
    if (Resolve(LocalMachine(), path, r) || r.IsRoot() || r.path.endsWithSep) return false;
    for (auto &n : Nodes())
        if (n.second.host == r.host) return false;
    if (StoredAttributes(r.host, false, false) & FILE_ATTRIBUTE_READONLY) return false;
    if (::unlink(r.host.c_str()) != 0) return false;  // a folder, another case, nothing there...
    ForgetAttributes(r.host, false);
    return true;
}

extern "C" BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
    WINSIM_FAULT_RETURN("DeleteFileA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (QuickDelete(lpFileName)) return TRUE;
    Resolved r;
    if (DWORD e = Resolve(LocalMachine(), lpFileName, r)) return Fail(FALSE, e);
    if (!r.exists) return Fail(FALSE, MissingError(r));
    if (r.isDir) return Fail(FALSE, ERROR_ACCESS_DENIED);
    if (r.path.endsWithSep) return Fail(FALSE, ERROR_INVALID_NAME);
    OpenNode *node = NodeOf(r.st);
    if (DWORD e = DeleteRefusal(r, node, false)) return Fail(FALSE, e);
    JournalHostPath(r.host);
    if (node) {
        node->deletePending = true;  // the name goes with the last handle
        return TRUE;
    }
    if (::unlink(r.host.c_str()) != 0) return Fail(FALSE, HostError(errno));
    ForgetAttributes(r.host, false);
    return TRUE;
}

extern "C" BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    WINSIM_FAULT_RETURN("CreateDirectoryA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    (void)lpSecurityAttributes;
    Resolved r;
    if (DWORD e = Resolve(LocalMachine(), lpPathName, r)) return Fail(FALSE, e);
    if (r.path.Full().size() >= kMaxDirectoryPath) return Fail(FALSE, ERROR_FILENAME_EXCED_RANGE);
    if (r.exists) return Fail(FALSE, ERROR_ALREADY_EXISTS);
    if (!r.parentExists) return Fail(FALSE, ERROR_PATH_NOT_FOUND);
    JournalHostPath(r.host);
    if (::mkdir(r.host.c_str(), 0755) != 0) return Fail(FALSE, HostError(errno));
    ForgetAttributes(r.host, true);
    TouchPath(r.host);
    return TRUE;
}

extern "C" BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
    WINSIM_FAULT_RETURN("RemoveDirectoryA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    Resolved r;
    if (DWORD e = Resolve(m, lpPathName, r)) return Fail(FALSE, e);
    if (!r.exists) return Fail(FALSE, MissingError(r));
    if (!r.isDir) return Fail(FALSE, ERROR_DIRECTORY);
    if (r.IsRoot()) return Fail(FALSE, ERROR_ACCESS_DENIED);
    // The current directory is held open without delete sharing.
    if (IsCurrentDir(m, r.host)) return Fail(FALSE, ERROR_SHARING_VIOLATION);
    OpenNode *node = NodeOf(r.st);
    if (DWORD e = DeleteRefusal(r, node, true)) return Fail(FALSE, e);
    if (!FolderEmpty(r.host)) return Fail(FALSE, ERROR_DIR_NOT_EMPTY);
    JournalHostPath(r.host);
    if (node) {
        node->deletePending = true;
        return TRUE;
    }
    if (::rmdir(r.host.c_str()) != 0) return Fail(FALSE, HostError(errno));
    ForgetAttributes(r.host, true);
    return TRUE;
}

// ---- find ----------------------------------------------------------------------------------------
extern "C" HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    WINSIM_FAULT_RETURN("FindFirstFileA", INVALID_HANDLE_VALUE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    if (!lpFileName || !*lpFileName) return Fail(INVALID_HANDLE_VALUE, ERROR_PATH_NOT_FOUND);
    if (!lpFindFileData) return Fail(INVALID_HANDLE_VALUE, ERROR_NOACCESS);
    if (strnlen(lpFileName, MAX_PATH + 1) > MAX_PATH) return Fail(INVALID_HANDLE_VALUE, ERROR_FILENAME_EXCED_RANGE);
    std::string text = lpFileName;
    // A folder name with a trailing backslash finds nothing; "dir\*" is the way.
    if (IsSep(text.back())) return Fail(INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
    size_t cut = text.find_last_of("\\/");
    std::string lastRaw = cut != std::string::npos ? text.substr(cut + 1) : IsDriveSpec(text) ? text.substr(2) : text;
    bool endsInDot = !lastRaw.empty() && lastRaw.back() == '.' && lastRaw != "." && lastRaw != "..";

    Resolved dir;
    WinPath wp;
    if (!ParsePath(m, text, wp)) return Fail(INVALID_HANDLE_VALUE, ERROR_INVALID_NAME);
    if (wp.device) return Fail(INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
    if (wp.unc) return Fail(INVALID_HANDLE_VALUE, ERROR_BAD_NETPATH);
    if (wp.parts.empty()) return Fail(INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
    std::string pattern = wp.parts.back();
    dir.path = wp.Parent();
    if (BadNameChars(pattern, true)) return Fail(INVALID_HANDLE_VALUE, ERROR_INVALID_NAME);
    if (wp.Full().size() >= MAX_PATH) return Fail(INVALID_HANDLE_VALUE, ERROR_PATH_NOT_FOUND);
    if (DWORD e = ResolveParsed(m, dir, true)) return Fail(INVALID_HANDLE_VALUE, e);
    if (!dir.exists || !dir.isDir) return Fail(INVALID_HANDLE_VALUE, ERROR_PATH_NOT_FOUND);

    auto find = std::make_shared<FindObject>();
    if (!HasWildcards(pattern)) {
        std::string host;
        struct stat st;
        if (Step(dir.host, pattern, host, st)) {
            std::string name = host.substr(host.rfind('/') + 1);
            find->entries.push_back(MakeFindData(name, st, ReportedAttributes(host, S_ISDIR(st.st_mode), false)));
        }
    } else {
        std::string pat = TranslatePattern(pattern, endsInDot);
        // NTFS lists "." and ".." first in every folder but the root.
        if (!dir.IsRoot()) {
            struct stat up;
            bool upRoot = dir.path.parts.size() == 1;
            if (MatchPattern(pat, ".")) find->entries.push_back(MakeFindData(".", dir.st, ReportedAttributes(dir.host, true, false)));
            if (MatchPattern(pat, "..") && ::stat(dir.parentHost.c_str(), &up) == 0)
                find->entries.push_back(MakeFindData("..", up, ReportedAttributes(dir.parentHost, true, upRoot)));
        }
        struct Entry {
            std::string upper, name;
            struct stat st;
        };
        std::vector<Entry> found;
        if (DIR *d = ::opendir(dir.host.c_str())) {
            while (struct dirent *e = ::readdir(d)) {
                std::string n = e->d_name;
                if (n == "." || n == ".." || n.size() >= MAX_PATH) continue;
                if (BadNameChars(n, false) || n.find('\\') != std::string::npos) continue;  // no Windows name
                if (!MatchPattern(pat, n)) continue;
                // Looked up in the open folder: one step, not the whole path.
                struct stat st;
                if (::fstatat(::dirfd(d), e->d_name, &st, 0) != 0) continue;
                found.push_back(Entry{Upper(n), n, st});
            }
            ::closedir(d);
        }
        // NTFS order: by the upper-cased name.
        std::sort(found.begin(), found.end(), [](const Entry &a, const Entry &b) {
            return a.upper != b.upper ? a.upper < b.upper : a.name < b.name;
        });
        find->entries.reserve(find->entries.size() + found.size());
        for (const Entry &e : found) {
            const std::string host = dir.host + "/" + e.name;
            find->entries.push_back(MakeFindData(e.name, e.st, ReportedAttributes(host, S_ISDIR(e.st.st_mode), false)));
        }
    }
    if (find->entries.empty()) return Fail(INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
    *lpFindFileData = find->entries[0];
    find->next = 1;
    SetLastError(NO_ERROR);
    return NewHandle(find);
}

extern "C" BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    WINSIM_FAULT_RETURN("FindNextFileA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto find = HandleAs<FindObject>(hFindFile);
    if (!find) return Fail(FALSE, ERROR_INVALID_HANDLE);
    if (!lpFindFileData) return Fail(FALSE, ERROR_NOACCESS);
    if (find->next >= find->entries.size()) return Fail(FALSE, ERROR_NO_MORE_FILES);
    *lpFindFileData = find->entries[find->next++];
    return TRUE;
}

extern "C" BOOL WINAPI FindClose(HANDLE hFindFile) {
    WINSIM_FAULT_RETURN("FindClose", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!HandleAs<FindObject>(hFindFile) || !ReleaseHandle(hFindFile)) return Fail(FALSE, ERROR_INVALID_HANDLE);
    return TRUE;
}

// ---- paths and folders of the machine ----------------------------------------------------------
namespace {

// The common sizing rule: a buffer that takes the text and its NUL gets it
// and the length is returned; otherwise the size needed, NUL included.
DWORD CopyPathOut(const std::string &text, char *buffer, DWORD size) {
    if (buffer && size > text.size()) {
        memcpy(buffer, text.c_str(), text.size() + 1);
        return (DWORD)text.size();
    }
    return (DWORD)text.size() + 1;
}

}  // namespace

extern "C" DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR *lpFilePart) {
    WINSIM_FAULT_RETURN("GetFullPathNameA", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpFileName || !*lpFileName) return Fail(0u, ERROR_INVALID_NAME);
    if (strnlen(lpFileName, MAX_PATH + 1) > MAX_PATH) return Fail(0u, ERROR_FILENAME_EXCED_RANGE);
    WinPath p;
    if (!ParsePath(LocalMachine(), lpFileName, p)) return Fail(0u, ERROR_INVALID_NAME);
    std::string full = p.Full();
    if (p.endsWithSep && !p.device && full.back() != '\\') full += '\\';
    DWORD n = CopyPathOut(full, lpBuffer, nBufferLength);
    if (n == full.size() && lpFilePart) {
        size_t slash = full.rfind('\\');
        *lpFilePart = slash == std::string::npos || slash + 1 == full.size() ? nullptr : lpBuffer + slash + 1;
    }
    return n;
}

extern "C" DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    WINSIM_FAULT_RETURN("GetCurrentDirectoryA", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return CopyPathOut(LocalMachine().currentDir, lpBuffer, nBufferLength);
}

extern "C" BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
    WINSIM_FAULT_RETURN("SetCurrentDirectoryA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    Resolved r;
    if (DWORD e = Resolve(m, lpPathName, r)) return Fail(FALSE, e);
    if (!r.exists) return Fail(FALSE, MissingError(r));
    if (!r.isDir) return Fail(FALSE, ERROR_DIRECTORY);
    std::string full = r.path.Full();
    // Windows keeps it with a trailing backslash in a MAX_PATH buffer.
    if (full.size() + (full.back() == '\\' ? 0 : 1) >= MAX_PATH - 1) return Fail(FALSE, ERROR_FILENAME_EXCED_RANGE);
    m.currentDir = full;
    return TRUE;
}

extern "C" DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
    WINSIM_FAULT_RETURN("GetTempPathA", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    std::string t = LocalMachine().tempDir;
    if (t.empty() || t.back() != '\\') t += '\\';
    return CopyPathOut(t, lpBuffer, nBufferLength);
}

extern "C" UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    WINSIM_FAULT_RETURN("GetWindowsDirectoryA", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return CopyPathOut(LocalMachine().windowsDir, lpBuffer, uSize);
}

extern "C" UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    WINSIM_FAULT_RETURN("GetSystemDirectoryA", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return CopyPathOut(LocalMachine().SystemDir(), lpBuffer, uSize);
}

extern "C" UINT WINAPI GetDriveTypeA(LPCSTR lpRootPathName) {
    WINSIM_FAULT_RETURN("GetDriveTypeA", DRIVE_UNKNOWN);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    char letter;
    if (!lpRootPathName)
        letter = IsDriveSpec(m.currentDir) ? (char)std::toupper((unsigned char)m.currentDir[0]) : 0;
    else
        letter = RootDriveLetter(lpRootPathName);
    auto d = m.drives.find(letter);
    return letter && d != m.drives.end() ? d->second.type : DRIVE_NO_ROOT_DIR;
}

extern "C" DWORD WINAPI GetLogicalDrives(void) {
    WINSIM_FAULT_RETURN("GetLogicalDrives", 0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    DWORD mask = 0;
    for (auto &d : LocalMachine().drives)
        if (d.first >= 'A' && d.first <= 'Z') mask |= 1u << (d.first - 'A');
    return mask;
}

extern "C" BOOL WINAPI GetDiskFreeSpaceA(LPCSTR lpRootPathName, LPDWORD lpSectorsPerCluster, LPDWORD lpBytesPerSector,
                                         LPDWORD lpNumberOfFreeClusters, LPDWORD lpTotalNumberOfClusters) {
    WINSIM_FAULT_RETURN("GetDiskFreeSpaceA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    const Drive *drive = nullptr;
    if (!lpRootPathName) {
        auto d = m.drives.find(IsDriveSpec(m.currentDir) ? (char)std::toupper((unsigned char)m.currentDir[0]) : 0);
        if (d != m.drives.end()) drive = &d->second;
    } else if (char letter = RootDriveLetter(lpRootPathName)) {
        auto d = m.drives.find(letter);
        if (d != m.drives.end()) drive = &d->second;
    } else {
        // Any folder of a drive answers for its volume.
        Resolved r;
        if (DWORD e = Resolve(m, lpRootPathName, r)) return Fail(FALSE, e);
        if (!r.exists) return Fail(FALSE, MissingError(r));
        if (!r.isDir) return Fail(FALSE, ERROR_DIRECTORY);
        drive = r.drive;
    }
    if (!drive) return Fail(FALSE, ERROR_PATH_NOT_FOUND);
    if (lpSectorsPerCluster) *lpSectorsPerCluster = drive->sectorsPerCluster;
    if (lpBytesPerSector) *lpBytesPerSector = drive->bytesPerSector;
    if (lpNumberOfFreeClusters) *lpNumberOfFreeClusters = drive->freeClusters;
    if (lpTotalNumberOfClusters) *lpTotalNumberOfClusters = drive->totalClusters;
    return TRUE;
}
