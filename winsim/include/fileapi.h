// Volumes and the security of files, as Windows' fileapi.h and winbase.h
// declare them.
#ifndef WINSIM_FILEAPI_H
#define WINSIM_FILEAPI_H

#include "winsim_types.h"

// File-system flags of GetVolumeInformation.
#define FILE_CASE_SENSITIVE_SEARCH 0x00000001
#define FILE_CASE_PRESERVED_NAMES 0x00000002
#define FILE_UNICODE_ON_DISK 0x00000004
#define FILE_PERSISTENT_ACLS 0x00000008
#define FILE_FILE_COMPRESSION 0x00000010

// Access rights of files.
#ifndef FILE_ALL_ACCESS
#define FILE_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0x1FF)
#endif

#ifdef __cplusplus
extern "C" {
#endif
__attribute__((visibility("default"))) BOOL WINAPI GetVolumeInformationA(
    LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer, DWORD nVolumeNameSize, LPDWORD lpVolumeSerialNumber,
    LPDWORD lpMaximumComponentLength, LPDWORD lpFileSystemFlags, LPSTR lpFileSystemNameBuffer,
    DWORD nFileSystemNameSize);
__attribute__((visibility("default"))) BOOL WINAPI SetFileSecurityA(LPCSTR lpFileName,
                                                                    SECURITY_INFORMATION SecurityInformation,
                                                                    PSECURITY_DESCRIPTOR pSecurityDescriptor);
__attribute__((visibility("default"))) BOOL WINAPI GetFileSecurityA(LPCSTR lpFileName,
                                                                    SECURITY_INFORMATION RequestedInformation,
                                                                    PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                                                    DWORD nLength, LPDWORD lpnLengthNeeded);
#ifdef __cplusplus
}
#endif

#define GetVolumeInformation GetVolumeInformationA
#define SetFileSecurity SetFileSecurityA
#define GetFileSecurity GetFileSecurityA

#endif
