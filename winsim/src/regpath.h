// Registry paths and tree surgery shared by the registry functions
// (registry.cpp) and the regedit text reader and writer (regfile.cpp).
#ifndef WINSIM_REGPATH_H
#define WINSIM_REGPATH_H

#include "internal.h"

#include <memory>
#include <string>
#include <vector>

namespace winsim {

struct RegPath {
    HKEY root = nullptr;
    const char *rootName = nullptr;  // long form: "HKEY_LOCAL_MACHINE"
    std::vector<std::string> parts;  // key names below the root; empty components dropped
};

// "HKEY_LOCAL_MACHINE\\SOFTWARE\\X" or the short forms "HKLM\\SOFTWARE\\X",
// HKCU, HKCR, HKU, HKCC. False for an unknown root.
bool ParseRegPath(const std::string &path, RegPath &out);

// The shared pointer that owns a subkey, or null when there is none.
std::shared_ptr<RegKey> ChildPtr(const RegKey &parent, const std::string &name);

// Takes a key out of its parent and marks it and its whole subtree deleted,
// so handles still open on them report ERROR_KEY_DELETED.
void DetachKey(RegKey &key);

bool IsRegStringType(DWORD type);

}  // namespace winsim

#endif
