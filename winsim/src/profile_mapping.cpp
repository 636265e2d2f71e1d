// Profile files mapped to the registry, as NT maps them: the file's name (its
// folder plays no part) names a key under IniFileMapping. A value named after
// a section points the whole section at a registry key; a subkey named after
// a section points single keys of it (a value per key name, the default value
// for the others); the key's default value points every other section at a
// subkey of that name. Targets read "USR:path" (below HKEY_CURRENT_USER) or
// "SYS:path" (below HKLM\SOFTWARE), after optional flags: '!' writes the file
// as well, '#' and '@' concern the first logon and reading the file, neither
// of which happens here. Sections the mapping does not name stay in the file.
#include "profile_mapping.h"

#include <cstring>

namespace winsim {
namespace {

const char kMappingRoot[] = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping";

std::string FileNameOf(const std::string &path) {
    size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

const RegKey *MappingKey(Machine &m, const std::string &path) {
    std::string name = FileNameOf(path);
    if (name.empty()) return nullptr;
    const RegKey *root = m.registry.Find(kMappingRoot);
    return root ? root->Child(name) : nullptr;
}

// A string value as programs read it: up to the first NUL.
bool StringValue(const RegKey &k, const std::string &name, std::string &out) {
    const RegValue *v = k.FindValue(name);
    if (!v || (v->type != REG_SZ && v->type != REG_EXPAND_SZ)) return false;
    out.assign(v->data.begin(), v->data.end());
    out.resize(strnlen(out.c_str(), out.size()));
    return true;
}

ProfileMapping Target(std::string text, const std::string &suffix) {
    ProfileMapping r;
    size_t i = 0;
    for (; i < text.size() && strchr("!#@", text[i]); ++i)
        if (text[i] == '!') r.alsoFile = true;
    text.erase(0, i);
    std::string rest = text.size() > 4 ? text.substr(4) : std::string();
    while (!rest.empty() && rest[0] == '\\') rest.erase(0, 1);
    if (EqualNoCase(text.substr(0, 4), "USR:")) {
        r.keyPath = "HKCU\\" + rest;
    } else if (EqualNoCase(text.substr(0, 4), "SYS:")) {
        r.keyPath = "HKLM\\SOFTWARE\\" + rest;
    } else {
        r.kind = ProfileMapping::Unsupported;
        return r;
    }
    if (!suffix.empty()) r.keyPath += "\\" + suffix;
    r.kind = ProfileMapping::Registry;
    return r;
}

}  // namespace

ProfileMapping MapProfileSection(Machine &m, const std::string &path, const std::string &section, const char *key) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    const RegKey *map = MappingKey(m, path);
    if (!map) return ProfileMapping();
    std::string text;
    if (!section.empty() && StringValue(*map, section, text)) return Target(text, "");
    if (const RegKey *byName = section.empty() ? nullptr : map->Child(section)) {
        // Key by key: a section as a whole has no one store.
        if (!key) {
            ProfileMapping r;
            r.kind = ProfileMapping::Unsupported;
            return r;
        }
        if (StringValue(*byName, key, text) || StringValue(*byName, "", text)) return Target(text, "");
        return ProfileMapping();
    }
    if (StringValue(*map, "", text)) return Target(text, section);
    return ProfileMapping();
}

bool MappedSectionNames(Machine &m, const std::string &path, std::vector<std::string> &names) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    const RegKey *map = MappingKey(m, path);
    if (!map) return false;
    names.clear();
    for (const RegValue &v : map->values)
        if (!v.name.empty()) names.push_back(v.name);
    for (const auto &sub : map->subkeys) names.push_back(sub.second->name);
    return true;
}

std::vector<std::pair<std::string, std::string>> MappedEntries(Machine &m, const std::string &keyPath) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    std::vector<std::pair<std::string, std::string>> out;
    const RegKey *k = m.registry.Find(keyPath);
    if (!k) return out;
    for (const RegValue &v : k->values) {
        std::string text;
        if (v.type == REG_SZ && StringValue(*k, v.name, text)) out.emplace_back(v.name, text);
    }
    return out;
}

}  // namespace winsim
