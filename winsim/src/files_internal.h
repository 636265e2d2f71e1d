// File plumbing shared by the file functions and the profile (INI)
// functions: opening a file with the same rules as CreateFileA (share modes,
// attributes, dispositions) without handing out a handle.
#ifndef WINSIM_FILES_INTERNAL_H
#define WINSIM_FILES_INTERNAL_H

#include "internal.h"

#include <memory>
#include <string>
#include <vector>

namespace winsim {

class FileObject;

// Opens or creates a file as CreateFileA does (no mailslots, no overlapped
// I/O). Returns null with `error` set when CreateFileA would fail; `existed`
// tells whether the file was there before the call.
std::shared_ptr<FileObject> OpenFileObject(Machine &m, const char *path, DWORD desiredAccess, DWORD shareMode,
                                           DWORD disposition, DWORD flagsAndAttributes, DWORD &error,
                                           bool *existed = nullptr);

// The whole content through the handle's rules (access, byte-range locks of
// other handles). False with `error` set when ReadFile would fail.
bool ReadWholeFile(FileObject &file, std::string &data, DWORD &error);

// Replaces the content (write from offset 0, then cut the rest), as
// WriteFile plus SetEndOfFile would.
bool ReplaceWholeFile(FileObject &file, const std::string &data, DWORD &error);

// Where a path lies (UNC paths through the shares): the host path, the
// drive that holds it and whether something is there. 0 or a Win32 error.
DWORD LocatePath(Machine &m, const char *path, std::string &host, const Drive *&drive, bool &exists);
// The drive of a volume root, X:\ or \\server\share\ (NULL: the current
// drive's). ERROR_DIR_NOT_ROOT for a folder below the root.
DWORD LocateVolume(Machine &m, const char *root, const Drive *&drive);
// The security descriptor set on a file or folder (self-relative).
void StoreFileSecurity(const std::string &host, const std::vector<BYTE> &sd);
bool StoredFileSecurity(const std::string &host, std::vector<BYTE> &sd);

}  // namespace winsim

#endif
