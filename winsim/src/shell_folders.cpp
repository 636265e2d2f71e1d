// Special folders and COM start-up: SHGetSpecialFolderLocation hands out an
// item list naming the folder's path, SHGetPathFromIDListA reads it back and
// the shell's allocator frees it. Program groups are plain folders below the
// Programs folder, as on Windows.
#include "sim_helpers.h"

#include <objbase.h>
#include <shlobj.h>
#include <winsim/machine.h>
#include <winsim/shell_folders.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

using namespace winsim;

namespace {

const char kExplorerFolders[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
// First byte of our item lists' data, so that foreign lists are refused.
const BYTE kPathTag = 'P';

std::set<void *> &ItemLists() {
    static std::set<void *> lists;
    return lists;
}

int &ComCount() {
    static int count = 0;
    return count;
}

thread_local int t_comDepth = 0;

struct FolderRow {
    int csidl;
    bool common;
    const char *valueName;
    const char *below;  // below the profile folder
};

const FolderRow kFolders[] = {
    {CSIDL_PROGRAMS, false, "Programs", "Start Menu\\Programs"},
    {CSIDL_STARTUP, false, "Startup", "Start Menu\\Programs\\Startup"},
    {CSIDL_STARTMENU, false, "Start Menu", "Start Menu"},
    {CSIDL_COMMON_PROGRAMS, true, "Common Programs", "Start Menu\\Programs"},
    {CSIDL_COMMON_STARTUP, true, "Common Startup", "Start Menu\\Programs\\Startup"},
    {CSIDL_COMMON_STARTMENU, true, "Common Start Menu", "Start Menu"},
};

const FolderRow *FindFolder(int csidl) {
    for (const FolderRow &row : kFolders)
        if (row.csidl == csidl) return &row;
    return nullptr;
}

// The profile folder of the user (or of all users): Windows 2000 keeps the
// profiles in "Documents and Settings" on the system drive, Windows NT 4.0
// in the Windows folder's "Profiles"; Windows 95 has one Start menu in the
// Windows folder and no all-users folders.
std::string DefaultFolder(const Machine &m, const FolderRow &row) {
    if (m.platformId != VER_PLATFORM_WIN32_NT) return row.common ? std::string() : m.windowsDir + "\\" + row.below;
    std::string profile = row.common ? std::string("All Users") : m.userName;
    std::string profiles =
        m.majorVersion >= 5 ? m.windowsDir.substr(0, 2) + "\\Documents and Settings" : m.windowsDir + "\\Profiles";
    return profiles + "\\" + profile + "\\" + row.below;
}

class ShellAllocator : public IMalloc {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **ppv) override {
        if (ppv) *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    void *STDMETHODCALLTYPE Alloc(SIZE_T cb) override {
        void *p = malloc(cb ? cb : 1);
        if (p) {
            std::lock_guard<std::recursive_mutex> g(WorldLock());
            ItemLists().insert(p);
            NoteOpen("ItemList", (uintptr_t)p);
        }
        return p;
    }
    void *STDMETHODCALLTYPE Realloc(void *pv, SIZE_T cb) override {
        if (!pv) return Alloc(cb);
        if (!cb) {
            Free(pv);
            return nullptr;
        }
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        if (!ItemLists().count(pv)) return nullptr;  // not this allocator's block
        void *p = realloc(pv, cb);
        if (p) {
            ItemLists().erase(pv);
            ItemLists().insert(p);
            NoteClosed("ItemList", (uintptr_t)pv);
            NoteOpen("ItemList", (uintptr_t)p);
        }
        return p;
    }
    void STDMETHODCALLTYPE Free(void *pv) override {
        if (!pv) return;
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        // Only what this allocator handed out is released.
        if (ItemLists().erase(pv)) {
            NoteClosed("ItemList", (uintptr_t)pv);
            free(pv);
        }
    }
    SIZE_T STDMETHODCALLTYPE GetSize(void *) override { return (SIZE_T)-1; }
    int STDMETHODCALLTYPE DidAlloc(void *pv) override {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        return ItemLists().count(pv) ? 1 : 0;
    }
    void STDMETHODCALLTYPE HeapMinimize() override {}
};

ShellAllocator g_allocator;

}  // namespace

namespace winsim {

size_t OutstandingItemLists() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return ItemLists().size();
}

int ComInitializations() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return ComCount();
}

std::string SpecialFolderPath(int csidl) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    const FolderRow *row = FindFolder(csidl);
    if (!row) return std::string();
    Machine &m = LocalMachine();
    std::string value;
    // The user's folders are in the hive of the user running setup.
    std::string key = (row->common ? std::string("HKLM") : "HKU\\" + m.registry.currentUserKey) + kExplorerFolders;
    if (m.registry.GetString(key, row->valueName, value) && !value.empty()) return value;
    return DefaultFolder(m, *row);
}

}  // namespace winsim

extern "C" HRESULT WINAPI CoInitialize(LPVOID) {
    if (DWORD fault = TakeFault("CoInitialize")) return (HRESULT)(0x80070000u | (fault & 0xFFFF));
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    ++ComCount();
    NoteOpen("Com", 0);
    // A thread that already entered answers S_FALSE, and must still leave once more.
    return t_comDepth++ == 0 ? S_OK : S_FALSE;
}

extern "C" void WINAPI CoUninitialize(void) {
    WINSIM_FAULT_RETURN_VOID("CoUninitialize");
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (t_comDepth == 0) return;
    --t_comDepth;
    --ComCount();
    NoteClosed("Com", 0);
}

extern "C" HRESULT WINAPI SHGetMalloc(IMalloc **ppMalloc) {
    if (!ppMalloc) return E_INVALIDARG;
    if (DWORD fault = TakeFault("SHGetMalloc")) {
        *ppMalloc = nullptr;
        return (HRESULT)(0x80070000u | (fault & 0xFFFF));
    }
    *ppMalloc = &g_allocator;
    return S_OK;
}

extern "C" HRESULT WINAPI SHGetSpecialFolderLocation(HWND, int nFolder, LPITEMIDLIST *ppidl) {
    if (!ppidl) return E_INVALIDARG;
    *ppidl = nullptr;
    if (DWORD fault = TakeFault("SHGetSpecialFolderLocation")) return (HRESULT)(0x80070000u | (fault & 0xFFFF));
    std::string path = SpecialFolderPath(nFolder);
    if (path.empty()) return E_INVALIDARG;
    // One item (tag, path, NUL) and the terminating zero-length item.
    size_t itemSize = sizeof(USHORT) + 1 + path.size() + 1;
    BYTE *list = static_cast<BYTE *>(g_allocator.Alloc(itemSize + sizeof(USHORT)));
    if (!list) return E_OUTOFMEMORY;
    USHORT cb = (USHORT)itemSize;
    memcpy(list, &cb, sizeof cb);
    list[sizeof(USHORT)] = kPathTag;
    memcpy(list + sizeof(USHORT) + 1, path.c_str(), path.size() + 1);
    memset(list + itemSize, 0, sizeof(USHORT));
    *ppidl = reinterpret_cast<LPITEMIDLIST>(list);
    return S_OK;
}

extern "C" BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath) {
    if (!pszPath) return FALSE;
    pszPath[0] = '\0';
    if (!pidl) return FALSE;
    if (DWORD fault = TakeFault("SHGetPathFromIDListA")) {
        SetLastError(fault);
        return FALSE;
    }
    const BYTE *list = reinterpret_cast<const BYTE *>(pidl);
    USHORT cb;
    memcpy(&cb, list, sizeof cb);
    // A list that is not a file-system path of ours names no path.
    if (cb < sizeof(USHORT) + 2 || list[sizeof(USHORT)] != kPathTag) return FALSE;
    const char *path = reinterpret_cast<const char *>(list + sizeof(USHORT) + 1);
    size_t n = strnlen(path, cb - sizeof(USHORT) - 1);
    if (n >= MAX_PATH) return FALSE;  // the caller's buffer holds MAX_PATH characters
    memcpy(pszPath, path, n);
    pszPath[n] = '\0';
    return TRUE;
}
