// Profile files that the machine maps to the registry (the IniFileMapping
// key under HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion): which store a
// section of such a file lives in.
#ifndef WINSIM_PROFILE_MAPPING_H
#define WINSIM_PROFILE_MAPPING_H

#include "internal.h"

#include <string>
#include <vector>

namespace winsim {

struct ProfileMapping {
    enum Kind {
        File,         // not mapped: the file itself
        Registry,     // the values of the registry key `keyPath`
        Unsupported,  // mapped in a way winsim does not model: callers fail loudly
    } kind = File;
    std::string keyPath;    // "HKCU\\..." or "HKLM\\SOFTWARE\\..."
    bool alsoFile = false;  // '!': writes go to the file as well
};

// Where `key` of `section` of the profile file at `path` lives; `key` null
// asks for the section as a whole.
ProfileMapping MapProfileSection(Machine &m, const std::string &path, const std::string &section, const char *key);

// The section names the mapping of the file at `path` lists (named sections,
// in the order of the mapping's values); false when the file is not mapped.
bool MappedSectionNames(Machine &m, const std::string &path, std::vector<std::string> &names);

// The string values of a registry key as a profile section holds them.
std::vector<std::pair<std::string, std::string>> MappedEntries(Machine &m, const std::string &keyPath);

}  // namespace winsim

#endif
