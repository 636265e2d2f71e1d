// File plumbing shared by the file functions and the profile (INI)
// functions: opening a file with the same rules as CreateFileA (share modes,
// attributes, dispositions) without handing out a handle.
#ifndef WINSIM_FILES_INTERNAL_H
#define WINSIM_FILES_INTERNAL_H

#include "internal.h"

#include <memory>
#include <string>

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

}  // namespace winsim

#endif
