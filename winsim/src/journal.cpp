// Change journals: the state of each key and file before a run first
// changed it (winsim/journal.h).
#include "internal.h"
#include "journal_internal.h"

#include <winsim/journal.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace winsim {

int g_openJournals = 0;

namespace {

std::vector<ChangeJournal *> &Journals() {
    static std::vector<ChangeJournal *> journals;
    return journals;
}

const RegKey *TopOf(const RegKey &key) {
    const RegKey *k = &key;
    while (k->parent) k = k->parent;
    return k;
}

// The journal of the machine whose registry holds `top`, if one is open.
ChangeJournal *JournalOfHive(const RegKey *top) {
    for (ChangeJournal *j : Journals()) {
        const Registry &r = j->machine().registry;
        if (top == r.hklm.get() || top == r.hku.get() || top == r.hkcc.get()) return j;
    }
    return nullptr;
}

bool ReadHostFile(const std::string &host, std::string &content) {
    int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char chunk[65536];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0) content.append(chunk, (size_t)n);
    ::close(fd);
    return n == 0;
}

}  // namespace

ChangeJournal::ChangeJournal(Machine &machine) : machine_(machine) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Journals().push_back(this);
    g_openJournals = (int)Journals().size();
}

ChangeJournal::~ChangeJournal() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto &all = Journals();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    g_openJournals = (int)all.size();
}

void ChangeJournal::NoteKey(const RegKey &key, const std::string &path, bool tree) {
    if (!keys_.count(path)) {
        KeyBefore &b = keys_[path];
        b.existed = true;
        b.path = path;
        b.values = key.values;
    }
    if (tree)
        for (auto &sub : key.subkeys) NoteKey(*sub.second, path + "\\" + sub.second->name, true);
}

void ChangeJournal::NoteNewKey(const std::string &path) {
    if (keys_.count(path)) return;
    keys_[path].path = path;
}

void ChangeJournal::NoteFile(const std::string &host, bool tree) {
    std::string win;
    for (auto &[letter, drive] : machine_.drives) {
        const std::string &root = drive.hostRoot;
        if (host.size() > root.size() + 1 && host.compare(0, root.size(), root) == 0 && host[root.size()] == '/') {
            win = std::string(1, letter) + ":\\" + host.substr(root.size() + 1);
            std::replace(win.begin(), win.end(), '/', '\\');
            break;
        }
    }
    if (win.empty()) return;  // another machine's, or a drive's root
    auto it = files_.find(win);
    if (it == files_.end()) {
        FileBefore b;
        b.host = host;
        struct stat st;
        if (::lstat(host.c_str(), &st) == 0) {
            b.existed = true;
            b.dir = S_ISDIR(st.st_mode);
            b.special = !b.dir && !S_ISREG(st.st_mode);
            if (!b.dir && !b.special) ReadHostFile(host, b.content);
        }
        it = files_.emplace(win, std::move(b)).first;
    }
    if (tree && it->second.dir) {
        std::vector<std::string> names;
        if (DIR *d = ::opendir(host.c_str())) {
            while (struct dirent *e = ::readdir(d))
                if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) names.push_back(e->d_name);
            ::closedir(d);
        }
        for (const std::string &n : names) NoteFile(host + "/" + n, true);
    }
}

void JournalKeyChange(const RegKey &key) {
    if (!JournalsOpen() || key.deleted) return;
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (ChangeJournal *j = JournalOfHive(TopOf(key))) j->NoteKey(key, key.FullPath(), false);
}

void JournalKeyTree(const RegKey &key) {
    if (!JournalsOpen() || key.deleted) return;
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (ChangeJournal *j = JournalOfHive(TopOf(key))) j->NoteKey(key, key.FullPath(), true);
}

void JournalKeyCreation(const RegKey &parent, const std::string &name) {
    if (!JournalsOpen() || parent.deleted) return;
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (ChangeJournal *j = JournalOfHive(TopOf(parent))) j->NoteNewKey(parent.FullPath() + "\\" + name);
}

void JournalHostPath(const std::string &host, bool tree) {
    if (!JournalsOpen()) return;
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    for (ChangeJournal *j : Journals()) j->NoteFile(host, tree);
}

}  // namespace winsim
