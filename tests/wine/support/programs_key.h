// Where wsprog.exe finds what a copy of it at a given path is to do.
#ifndef TESTS_WINE_SUPPORT_PROGRAMS_KEY_H
#define TESTS_WINE_SUPPORT_PROGRAMS_KEY_H

#include <string>

// HKEY_CURRENT_USER key of the program at `path` (backslashes become
// slashes: a key name cannot hold them; case folded, as file names are).
inline std::string ProgramKey(const std::string &path) {
    std::string key = "Software\\WinsimTestPrograms\\";
    for (char c : path) key += c == '\\' ? '/' : (c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c);
    return key;
}

#endif
