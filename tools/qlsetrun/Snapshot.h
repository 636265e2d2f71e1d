// Pictures of a simulated machine taken before and after a run, and what
// changed between them: the registry as a regedit file that replays the
// changes, files, profile (INI) files by section and key, log files by line.
#ifndef QLSETRUN_SNAPSHOT_H
#define QLSETRUN_SNAPSHOT_H

#include <winsim/journal.h>
#include <winsim/machine.h>

#include <map>
#include <string>
#include <vector>

namespace qlsetrun {

// Orders paths component by component without case, so that a key or
// folder comes right before its children ("A", "A\B", "A B").
struct PathLess {
    bool operator()(const std::string &a, const std::string &b) const;
};

struct KeySnapshot {
    std::string path;  // full path as stored: "HKEY_LOCAL_MACHINE\\SOFTWARE\\X"
    std::vector<winsim::RegValue> values;  // in the key's order
};
using RegistrySnapshot = std::map<std::string, KeySnapshot, PathLess>;

// Every key of every hive.
RegistrySnapshot SnapRegistry(const winsim::Registry &registry);

// The changes from `before` to `after` as a "Windows Registry Editor Version
// 5.00" file (CRLF lines): deleted keys as [-KEY], added and changed keys with
// their new and changed values, deleted values as "name"=-. Importing it into
// the `before` registry gives the `after` one. `count` receives the number of
// changed keys and values.
std::string RegistryChanges(const RegistrySnapshot &before, const RegistrySnapshot &after, int *count = nullptr);

struct FileSnapshot {
    bool dir = false;
    bool special = false;  // FIFO, device, socket: never read
    std::string content;
};
using FilesSnapshot = std::map<std::string, FileSnapshot, PathLess>;  // by Windows path, "C:\\X\\Y"

FilesSnapshot SnapFiles(const winsim::Machine &machine);

// Added, changed and deleted files and folders, one per line.
std::string FileChanges(const FilesSnapshot &before, const FilesSnapshot &after);
// Profile files (.INI, .INF, .ICF) that changed, by section and key.
std::string ProfileChanges(const FilesSnapshot &before, const FilesSnapshot &after);
// Log files (.LOG) that changed, with the lines they gained.
std::string LogFileChanges(const FilesSnapshot &before, const FilesSnapshot &after);

// The pictures of what `journal` saw change, before and after: the keys and
// files it noted (with the keys above them, so that a deleted tree shows by
// its topmost key, and all that is inside a folder that is new), at a cost
// that follows what changed. The changes found from them are those of the
// whole pictures.
void SnapTouchedRegistry(const winsim::ChangeJournal &journal, RegistrySnapshot &before, RegistrySnapshot &after);
void SnapTouchedFiles(const winsim::ChangeJournal &journal, FilesSnapshot &before, FilesSnapshot &after);

bool HasExtension(const std::string &path, const char *ext);  // ".INI", without case

}  // namespace qlsetrun

#endif
