// Volumes and the security of files: GetVolumeInformationA reports a
// drive's file system, and on NTFS drives a file keeps the security
// descriptor SetFileSecurityA gives it (GetFileSecurityA reads it back).
// Access lists are kept and reported, not enforced: every program of the
// simulated machine runs as an administrator of it. FAT drives keep none.
#include "files_internal.h"
#include "security_internal.h"

#include <cstring>

namespace winsim {

namespace {

bool KeepsAccessLists(const Drive &d) { return EqualNoCase(d.fileSystem, "NTFS"); }

// What a file shows before anything was set: owned by the Administrators,
// full access for Everyone (an NT volume's default).
std::vector<BYTE> DefaultFileSecurity() {
    SdParts p;
    p.owner = SidFromText("S-1-5-32-544");
    p.group = SidFromText("S-1-5-18");
    std::vector<BYTE> everyone = SidFromText("S-1-1-0");
    size_t aceSize = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + everyone.size();
    p.dacl.assign(sizeof(ACL) + aceSize, 0);
    ACL *acl = (ACL *)p.dacl.data();
    acl->AclRevision = ACL_REVISION;
    acl->AclSize = (WORD)p.dacl.size();
    acl->AceCount = 1;
    ACCESS_ALLOWED_ACE *ace = (ACCESS_ALLOWED_ACE *)(p.dacl.data() + sizeof(ACL));
    ace->Header.AceType = ACCESS_ALLOWED_ACE_TYPE;
    ace->Header.AceSize = (WORD)aceSize;
    ace->Mask = FILE_ALL_ACCESS;
    memcpy(&ace->SidStart, everyone.data(), everyone.size());
    p.daclPresent = true;
    return BuildSelfRelative(p);
}

// The file's place, for the security functions: an existing file or folder
// of a drive that keeps access lists.
DWORD SecuredPath(LPCSTR path, std::string &host) {
    const Drive *drive = nullptr;
    bool exists = false;
    if (DWORD e = LocatePath(LocalMachine(), path, host, drive, exists)) return e;
    if (!exists) return ERROR_FILE_NOT_FOUND;
    if (!drive || !KeepsAccessLists(*drive)) return ERROR_NOT_SUPPORTED;
    return 0;
}

}  // namespace

}  // namespace winsim

using namespace winsim;

extern "C" BOOL WINAPI GetVolumeInformationA(LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer, DWORD nVolumeNameSize,
                                             LPDWORD lpVolumeSerialNumber, LPDWORD lpMaximumComponentLength,
                                             LPDWORD lpFileSystemFlags, LPSTR lpFileSystemNameBuffer,
                                             DWORD nFileSystemNameSize) {
    WINSIM_FAULT_RETURN("GetVolumeInformationA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    const Drive *drive = nullptr;
    if (DWORD e = LocateVolume(LocalMachine(), lpRootPathName, drive)) return Fail(FALSE, e);
    bool ntfs = KeepsAccessLists(*drive);
    if (lpVolumeNameBuffer && !CopyOut(drive->label, lpVolumeNameBuffer, nVolumeNameSize))
        return Fail(FALSE, ERROR_BAD_LENGTH);
    const std::string fs = drive->fileSystem;
    if (lpFileSystemNameBuffer && !CopyOut(fs, lpFileSystemNameBuffer, nFileSystemNameSize))
        return Fail(FALSE, ERROR_BAD_LENGTH);
    if (lpVolumeSerialNumber) *lpVolumeSerialNumber = drive->serialNumber;
    if (lpMaximumComponentLength) *lpMaximumComponentLength = 255;
    if (lpFileSystemFlags)
        *lpFileSystemFlags = ntfs ? FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK |
                                        FILE_PERSISTENT_ACLS | FILE_FILE_COMPRESSION
                                  : FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
    return TRUE;
}

extern "C" BOOL WINAPI SetFileSecurityA(LPCSTR lpFileName, SECURITY_INFORMATION SecurityInformation,
                                        PSECURITY_DESCRIPTOR pSecurityDescriptor) {
    WINSIM_FAULT_RETURN("SetFileSecurityA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpFileName || !pSecurityDescriptor) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (SecurityInformation & SACL_SECURITY_INFORMATION) return Fail(FALSE, ERROR_CALL_NOT_IMPLEMENTED);
    SdParts given;
    DWORD error = 0;
    if (!ParseSd(pSecurityDescriptor, given, error)) return Fail(FALSE, error);
    std::string host;
    if (DWORD e = SecuredPath(lpFileName, host)) return Fail(FALSE, e);
    std::vector<BYTE> stored;
    if (!StoredFileSecurity(host, stored)) stored = DefaultFileSecurity();
    SdParts now;
    if (!ParseSd(stored.data(), now, error)) return Fail(FALSE, error);
    // Only the parts named change.
    if (SecurityInformation & OWNER_SECURITY_INFORMATION) {
        if (given.owner.empty()) return Fail(FALSE, ERROR_INVALID_OWNER);
        now.owner = given.owner;
    }
    if (SecurityInformation & GROUP_SECURITY_INFORMATION) now.group = given.group;
    if (SecurityInformation & DACL_SECURITY_INFORMATION) {
        now.daclPresent = given.daclPresent;
        now.daclNull = given.daclNull;
        now.dacl = given.dacl;
    }
    StoreFileSecurity(host, BuildSelfRelative(now));
    return TRUE;
}

extern "C" BOOL WINAPI GetFileSecurityA(LPCSTR lpFileName, SECURITY_INFORMATION RequestedInformation,
                                        PSECURITY_DESCRIPTOR pSecurityDescriptor, DWORD nLength,
                                        LPDWORD lpnLengthNeeded) {
    WINSIM_FAULT_RETURN("GetFileSecurityA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpFileName || !lpnLengthNeeded) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    if (RequestedInformation & SACL_SECURITY_INFORMATION) return Fail(FALSE, ERROR_PRIVILEGE_NOT_HELD);
    std::string host;
    if (DWORD e = SecuredPath(lpFileName, host)) return Fail(FALSE, e);
    std::vector<BYTE> stored;
    if (!StoredFileSecurity(host, stored)) stored = DefaultFileSecurity();
    SdParts p;
    DWORD error = 0;
    if (!ParseSd(stored.data(), p, error)) return Fail(FALSE, error);
    if (!(RequestedInformation & OWNER_SECURITY_INFORMATION)) p.owner.clear();
    if (!(RequestedInformation & GROUP_SECURITY_INFORMATION)) p.group.clear();
    if (!(RequestedInformation & DACL_SECURITY_INFORMATION)) {
        p.daclPresent = false;
        p.dacl.clear();
    }
    std::vector<BYTE> out = BuildSelfRelative(p);
    *lpnLengthNeeded = (DWORD)out.size();
    if (!pSecurityDescriptor || nLength < out.size()) return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    memcpy(pSecurityDescriptor, out.data(), out.size());
    return TRUE;
}
