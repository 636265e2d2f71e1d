// Version resources (version.dll) of the files of the simulated machine. A
// file's resource is the version the machine lists for its path; the block
// handed out is a VS_VERSIONINFO holding only the fixed part.
#include "sim_helpers.h"

#include <cstring>

using namespace winsim;

namespace {

// VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO", padding to
// a 32-bit boundary, then VS_FIXEDFILEINFO.
const DWORD kKeyOffset = 6;
const DWORD kFixedOffset = 40;
const DWORD kBlockSize = kFixedOffset + sizeof(VS_FIXEDFILEINFO);

// The full path as the file functions would take it: relative names are
// looked up in the current directory.
std::string FullPathOf(const Machine &m, const std::string &name) {
    if (name.size() >= 2 && name[1] == ':') return name;
    if (name.size() >= 2 && (name[0] == '\\' || name[0] == '/') && (name[1] == '\\' || name[1] == '/')) return name;
    std::string dir = m.currentDir;
    if (!name.empty() && (name[0] == '\\' || name[0] == '/')) return dir.substr(0, 2) + name;
    if (!dir.empty() && dir.back() != '\\') dir += '\\';
    return dir + name;
}

// ERROR_SUCCESS with the version, or why there is none.
DWORD FindVersion(LPCSTR name, Machine::FileVersion &version) {
    if (!name || !*name) return ERROR_FILE_NOT_FOUND;
    Machine &m = LocalMachine();
    std::string full = FullPathOf(m, name);
    if (!m.Exists(full)) return ERROR_FILE_NOT_FOUND;
    auto it = m.fileVersions.find(full);
    if (it == m.fileVersions.end()) return ERROR_RESOURCE_TYPE_NOT_FOUND;
    version = it->second;
    return ERROR_SUCCESS;
}

}  // namespace

extern "C" DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle) {
    WINSIM_FAULT_RETURN("GetFileVersionInfoSizeA", (DWORD)0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (lpdwHandle) *lpdwHandle = 0;
    Machine::FileVersion version;
    if (DWORD e = FindVersion(lptstrFilename, version)) return Fail((DWORD)0, e);
    return kBlockSize;
}

// A buffer shorter than the block gets what fits.
extern "C" BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData) {
    WINSIM_FAULT_RETURN("GetFileVersionInfoA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpData) return Fail(FALSE, ERROR_INVALID_DATA);
    Machine::FileVersion version;
    if (DWORD e = FindVersion(lptstrFilename, version)) return Fail(FALSE, e);
    BYTE block[kBlockSize];
    std::memset(block, 0, sizeof block);
    WORD header[3] = {(WORD)kBlockSize, (WORD)sizeof(VS_FIXEDFILEINFO), 0};
    std::memcpy(block, header, sizeof header);
    const char *key = "VS_VERSION_INFO";
    for (DWORD i = 0; key[i]; ++i) block[kKeyOffset + 2 * i] = (BYTE)key[i];
    VS_FIXEDFILEINFO fixed;
    std::memset(&fixed, 0, sizeof fixed);
    fixed.dwSignature = VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
    fixed.dwFileVersionMS = version.fileMS;
    fixed.dwFileVersionLS = version.fileLS;
    fixed.dwProductVersionMS = version.productMS;
    fixed.dwProductVersionLS = version.productLS;
    fixed.dwFileOS = VOS_NT_WINDOWS32;
    fixed.dwFileType = VFT_DLL;
    std::memcpy(block + kFixedOffset, &fixed, sizeof fixed);
    std::memcpy(lpData, block, dwLen < kBlockSize ? dwLen : kBlockSize);
    return TRUE;
}

// Only the root ("\") is answered: the fixed part. Named sub-blocks are not
// in the blocks this machine hands out.
extern "C" BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID *lplpBuffer, PUINT puLen) {
    WINSIM_FAULT_RETURN("VerQueryValueA", FALSE);
    if (!pBlock || !lplpBuffer || !lpSubBlock) return FALSE;
    const BYTE *block = (const BYTE *)pBlock;
    WORD length = 0, valueLength = 0;
    std::memcpy(&length, block, sizeof length);
    std::memcpy(&valueLength, block + 2, sizeof valueLength);
    bool root = true;
    for (const char *p = lpSubBlock; *p; ++p)
        if (*p != '\\') root = false;
    if (!root || length < kBlockSize || valueLength != sizeof(VS_FIXEDFILEINFO)) {
        if (puLen) *puLen = 0;
        return FALSE;
    }
    *lplpBuffer = (LPVOID)(block + kFixedOffset);
    if (puLen) *puLen = sizeof(VS_FIXEDFILEINFO);
    return TRUE;
}
