// The calls winsim's functions make before they change a registry key or a
// file, for the change journals that are open (winsim/journal.h). Each
// returns at once when none is.
#ifndef WINSIM_JOURNAL_INTERNAL_H
#define WINSIM_JOURNAL_INTERNAL_H

#include <winsim/machine.h>

#include <string>

namespace winsim {

extern int g_openJournals;

void JournalKeyChange(const RegKey &key);  // its values
void JournalKeyTree(const RegKey &key);    // the key and its subkeys are going
void JournalKeyCreation(const RegKey &parent, const std::string &name);
// A file or folder at a host path (a folder's whole tree when `tree`).
void JournalHostPath(const std::string &host, bool tree = false);

inline bool JournalsOpen() { return g_openJournals > 0; }

}  // namespace winsim

#endif
