// Control API of the simulated shell folders and COM start-up: what tests
// read after the product used them.
#ifndef WINSIM_SHELL_FOLDERS_H
#define WINSIM_SHELL_FOLDERS_H

#include <windows.h>

#include <string>

namespace winsim {

// Item lists the shell handed out and nobody has freed yet.
size_t OutstandingItemLists();
// CoInitialize calls not yet balanced by CoUninitialize (all threads).
int ComInitializations();
// The folder a CSIDL names on the local machine ("" when the system has
// none): the "Shell Folders" value of the all-users (HKLM) or the user's
// (HKEY_USERS\<user>) Explorer key when set, else the system's default place.
std::string SpecialFolderPath(int csidl);

}  // namespace winsim

#endif
