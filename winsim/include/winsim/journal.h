// A change journal of one simulated machine: while it lives, winsim writes
// down the state each registry key and each file or folder had just before
// its first change. What a run changed is then found from what the run
// touched, at a cost that follows the changes, not the machine's size.
//
// Changes made through file handles opened before the journal started, or
// to the sandbox folders behind winsim's back, are not seen.
#ifndef WINSIM_JOURNAL_H
#define WINSIM_JOURNAL_H

#include <winsim/machine.h>

#include <map>
#include <string>
#include <vector>

namespace winsim {

class ChangeJournal {
public:
    explicit ChangeJournal(Machine &machine);
    ~ChangeJournal();
    ChangeJournal(const ChangeJournal &) = delete;
    ChangeJournal &operator=(const ChangeJournal &) = delete;

    struct KeyBefore {
        bool existed = false;
        std::string path;  // as it was first touched: "HKEY_LOCAL_MACHINE\\SOFTWARE\\X"
        std::vector<RegValue> values;  // in the key's order
    };
    struct FileBefore {
        bool existed = false;
        bool dir = false;
        bool special = false;  // FIFO, device, socket: never read
        std::string content;
        std::string host;  // where it lies in the sandbox
    };
    // Each key touched, by full path; each file or folder touched, by Windows
    // path ("C:\\TEMP\\X.LOG", the case of the sandbox's names). Without case.
    const std::map<std::string, KeyBefore, LessNoCase> &Keys() const { return keys_; }
    const std::map<std::string, FileBefore, LessNoCase> &Files() const { return files_; }
    const Machine &machine() const { return machine_; }

    // For winsim's functions, before they change something.
    void NoteKey(const RegKey &key, const std::string &path, bool tree);
    void NoteNewKey(const std::string &path);
    void NoteFile(const std::string &host, bool tree);

private:
    Machine &machine_;
    std::map<std::string, KeyBefore, LessNoCase> keys_;
    std::map<std::string, FileBefore, LessNoCase> files_;
};

}  // namespace winsim

#endif
