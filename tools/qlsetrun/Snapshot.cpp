#include "Snapshot.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace qlsetrun {

namespace {

unsigned char PathKey(char c) {
    if (c == '\\') return 1;  // a separator sorts before every name character
    return (unsigned char)(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

std::string Parent(const std::string &path) {
    size_t cut = path.rfind('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

void WalkKey(const winsim::RegKey &key, const std::string &path, RegistrySnapshot &out) {
    out[path] = KeySnapshot{path, key.values};
    for (auto &child : key.subkeys) WalkKey(*child.second, path + "\\" + child.second->name, out);
}

const winsim::RegValue *FindValue(const std::vector<winsim::RegValue> &values, const std::string &name) {
    for (auto &v : values)
        if (winsim::EqualNoCase(v.name, name)) return &v;
    return nullptr;
}

std::string EscapeName(const std::string &name) {
    if (name.empty()) return "@";
    std::string out = "\"";
    for (char c : name) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

bool PathLess::operator()(const std::string &a, const std::string &b) const {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = PathKey(a[i]), y = PathKey(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

RegistrySnapshot SnapRegistry(const winsim::Registry &registry) {
    RegistrySnapshot s;
    for (auto &hive : registry.Hives()) WalkKey(*hive, hive->name, s);
    return s;
}

std::string RegistryChanges(const RegistrySnapshot &before, const RegistrySnapshot &after, int *count) {
    std::string out = "Windows Registry Editor Version 5.00\r\n\r\n";
    int n = 0;
    // Deleted trees first, each by its topmost key: [-KEY] removes the subkeys too.
    for (auto &[path, key] : before) {
        if (after.count(path)) continue;
        ++n;
        if (!after.count(Parent(path))) continue;
        out += "[-" + key.path + "]\r\n\r\n";
    }
    for (auto &[path, key] : after) {
        auto old = before.find(path);
        std::string lines;
        for (auto &v : key.values) {
            const winsim::RegValue *was = old == before.end() ? nullptr : FindValue(old->second.values, v.name);
            if (was && was->type == v.type && was->data == v.data) continue;
            lines += winsim::ExportRegValue(v) + "\r\n";
            ++n;
        }
        if (old != before.end())
            for (auto &v : old->second.values)
                if (!FindValue(key.values, v.name)) {
                    lines += EscapeName(v.name) + "=-\r\n";
                    ++n;
                }
        if (old == before.end()) ++n;
        if (old == before.end() || !lines.empty()) out += "[" + key.path + "]\r\n" + lines + "\r\n";
    }
    if (count) *count = n;
    return out;
}

FilesSnapshot SnapFiles(const winsim::Machine &machine) {
    FilesSnapshot s;
    for (auto &[letter, drive] : machine.drives) {
        std::error_code ec;
        const fs::path root(drive.hostRoot);
        for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            std::string rel = fs::relative(it->path(), root, ec).generic_string();
            if (ec) break;
            for (char &c : rel)
                if (c == '/') c = '\\';
            FileSnapshot info;
            fs::file_status st = it->symlink_status(ec);
            info.dir = fs::is_directory(st);
            if (!info.dir && !fs::is_regular_file(st)) {
                info.special = true;
            } else if (!info.dir) {
                std::ifstream in(it->path(), std::ios::binary);
                std::stringstream ss;
                ss << in.rdbuf();
                info.content = ss.str();
            }
            s[std::string(1, letter) + ":\\" + rel] = info;
        }
    }
    return s;
}

void SnapTouchedRegistry(const winsim::ChangeJournal &journal, RegistrySnapshot &before, RegistrySnapshot &after) {
    const winsim::Registry &registry = journal.machine().registry;
    const auto &touched = journal.Keys();
    before.clear();
    after.clear();
    for (auto &[path, was] : touched) {
        if (was.existed) before[path] = KeySnapshot{was.path, was.values};
        if (const winsim::RegKey *k = registry.Find(path)) after[path] = KeySnapshot{k->FullPath(), k->values};
        // A key above that the journal did not note is as it was.
        for (std::string up = Parent(path); !up.empty() && !touched.count(up) && !after.count(up); up = Parent(up))
            if (const winsim::RegKey *k = registry.Find(up)) before[up] = after[up] = KeySnapshot{k->FullPath(), k->values};
    }
}

namespace {

// A file or folder as it is now; false when nothing is there.
bool SnapHostEntry(const std::string &host, FileSnapshot &info) {
    std::error_code ec;
    fs::file_status st = fs::symlink_status(host, ec);
    if (ec || !fs::exists(st)) return false;
    info = FileSnapshot();
    info.dir = fs::is_directory(st);
    if (!info.dir && !fs::is_regular_file(st)) {
        info.special = true;
    } else if (!info.dir) {
        std::ifstream in(host, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        info.content = ss.str();
    }
    return true;
}

// Everything inside a folder that is new is new too.
using Touched = std::map<std::string, winsim::ChangeJournal::FileBefore, winsim::LessNoCase>;

void SnapNewTree(const std::string &host, const std::string &path, const Touched &touched, FilesSnapshot &after) {
    std::error_code ec;
    for (auto &e : fs::directory_iterator(host, ec)) {
        const std::string name = e.path().filename().string(), child = path + "\\" + name;
        if (touched.count(child)) continue;  // it has its own entry
        FileSnapshot info;
        if (!SnapHostEntry(e.path().string(), info)) continue;
        after[child] = info;
        if (info.dir) SnapNewTree(e.path().string(), child, touched, after);
    }
}

}  // namespace

void SnapTouchedFiles(const winsim::ChangeJournal &journal, FilesSnapshot &before, FilesSnapshot &after) {
    const auto &touched = journal.Files();
    before.clear();
    after.clear();
    for (auto &[path, was] : touched) {
        if (was.existed) {
            FileSnapshot &b = before[path];
            b.dir = was.dir;
            b.special = was.special;
            b.content = was.content;
        }
        FileSnapshot now;
        if (!SnapHostEntry(was.host, now)) continue;
        after[path] = now;
        if (now.dir && !was.existed) SnapNewTree(was.host, path, touched, after);
    }
}

bool HasExtension(const std::string &path, const char *ext) {
    const std::string e(ext);
    return path.size() > e.size() && winsim::EqualNoCase(path.substr(path.size() - e.size()), e);
}

std::string FileChanges(const FilesSnapshot &before, const FilesSnapshot &after) {
    std::ostringstream o;
    auto describe = [](const FileSnapshot &f) {
        if (f.dir) return std::string("\\");
        if (f.special) return std::string(" (special file, not read)");
        return " (" + std::to_string(f.content.size()) + " bytes)";
    };
    for (auto &[path, info] : before)
        if (!after.count(path)) o << "- " << path << (info.dir ? "\\" : "") << "\n";
    for (auto &[path, info] : after) {
        auto old = before.find(path);
        if (old == before.end())
            o << "+ " << path << describe(info) << "\n";
        else if (!info.dir && (old->second.content != info.content || old->second.dir))
            o << "* " << path << " (" << info.content.size() << " bytes, was " << old->second.content.size()
              << ")\n";
    }
    return o.str();
}

namespace {

// A profile file as GetPrivateProfileString reads it: sections and keys
// without case, the first of two equal keys wins.
struct Profile {
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> keys;
        const std::string *Find(const std::string &key) const {
            for (auto &k : keys)
                if (winsim::EqualNoCase(k.first, key)) return &k.second;
            return nullptr;
        }
    };
    std::vector<Section> sections;
    const Section *Find(const std::string &name) const {
        for (auto &s : sections)
            if (winsim::EqualNoCase(s.name, name)) return &s;
        return nullptr;
    }
};

std::string TrimBlanks(const std::string &s) {
    size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

Profile ParseProfile(const std::string &text) {
    Profile p;
    std::istringstream in(text);
    std::string line;
    Profile::Section *current = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string t = TrimBlanks(line);
        if (t.empty() || t[0] == ';') continue;
        if (t[0] == '[') {
            size_t close = t.find(']');
            std::string name = TrimBlanks(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            current = const_cast<Profile::Section *>(p.Find(name));
            if (!current) {
                p.sections.push_back({name, {}});
                current = &p.sections.back();
            }
            continue;
        }
        if (!current) continue;
        size_t eq = t.find('=');
        std::string key = TrimBlanks(t.substr(0, eq)), value = eq == std::string::npos ? "" : TrimBlanks(t.substr(eq + 1));
        if (!current->Find(key)) current->keys.emplace_back(key, value);
    }
    return p;
}

void DiffProfiles(const Profile &before, const Profile &after, std::ostream &o) {
    for (auto &s : before.sections)
        if (!after.Find(s.name)) o << "  - [" << s.name << "]\n";
    for (auto &s : after.sections) {
        const Profile::Section *old = before.Find(s.name);
        std::ostringstream lines;
        for (auto &[key, value] : s.keys) {
            const std::string *was = old ? old->Find(key) : nullptr;
            if (!was)
                lines << "    + " << key << "=" << value << "\n";
            else if (*was != value)
                lines << "    * " << key << "=" << value << " (was \"" << *was << "\")\n";
        }
        if (old)
            for (auto &[key, value] : old->keys)
                if (!s.Find(key)) lines << "    - " << key << " (was \"" << value << "\")\n";
        if (!old)
            o << "  + [" << s.name << "]\n" << lines.str();
        else if (!lines.str().empty())
            o << "  [" << s.name << "]\n" << lines.str();
    }
}

bool IsProfileFile(const std::string &path) {
    return HasExtension(path, ".INI") || HasExtension(path, ".INF") || HasExtension(path, ".ICF");
}

}  // namespace

std::string ProfileChanges(const FilesSnapshot &before, const FilesSnapshot &after) {
    std::ostringstream o;
    for (auto &[path, info] : before)
        if (!info.dir && !info.special && IsProfileFile(path) && !after.count(path)) o << "- " << path << "\n";
    for (auto &[path, info] : after) {
        if (info.dir || info.special || !IsProfileFile(path)) continue;
        auto old = before.find(path);
        bool added = old == before.end();
        if (!added && old->second.content == info.content) continue;
        std::ostringstream diff;
        DiffProfiles(ParseProfile(added ? std::string() : old->second.content), ParseProfile(info.content), diff);
        o << (added ? "+ " : "* ") << path << "\n";
        o << (diff.str().empty() ? "  (no change to sections or keys)\n" : diff.str());
    }
    return o.str();
}

std::string LogFileChanges(const FilesSnapshot &before, const FilesSnapshot &after) {
    std::ostringstream o;
    for (auto &[path, info] : after) {
        if (info.dir || info.special || !HasExtension(path, ".LOG")) continue;
        auto old = before.find(path);
        std::string gained = info.content;
        if (old != before.end()) {
            if (old->second.content == info.content) continue;
            const std::string &was = old->second.content;
            if (info.content.compare(0, was.size(), was) == 0) {
                gained = info.content.substr(was.size());
                o << path << " (" << was.size() << " bytes before; new lines)\n";
            } else {
                o << path << " (rewritten; all its lines)\n";
            }
        } else {
            o << path << " (new)\n";
        }
        std::istringstream in(gained);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            o << "  " << line << "\n";
        }
    }
    return o.str();
}

}  // namespace qlsetrun
