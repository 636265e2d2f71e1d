// The shell's special folders: SHGetSpecialFolderLocation names a folder by
// an item list that SHGetPathFromIDListA turns back into its path; the list
// belongs to the caller, who frees it with the shell's task allocator
// (SHGetMalloc). The folders are the per-user "Shell Folders" values of the
// current user's registry, as Explorer keeps them.
#include "sim_helpers.h"

#include <shlobj.h>
#include <winsim/machine.h>

#include <cstdlib>
#include <cstring>

using namespace winsim;

namespace {

// The shell's task allocator: one object for the process, never freed.
struct TaskAllocator : public IMalloc {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **ppvObject) override {
        if (ppvObject) *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    void *STDMETHODCALLTYPE Alloc(SIZE_T cb) override { return malloc(cb ? cb : 1); }
    void *STDMETHODCALLTYPE Realloc(void *pv, SIZE_T cb) override {
        if (!cb) {
            free(pv);
            return nullptr;
        }
        return realloc(pv, cb);
    }
    void STDMETHODCALLTYPE Free(void *pv) override { free(pv); }
    SIZE_T STDMETHODCALLTYPE GetSize(void *) override { return (SIZE_T)-1; }
    int STDMETHODCALLTYPE DidAlloc(void *) override { return -1; }
    void STDMETHODCALLTYPE HeapMinimize() override {}
};

TaskAllocator &Allocator() {
    static TaskAllocator allocator;
    return allocator;
}

// The value under the current user's Shell Folders key that names a folder.
const char *ShellFolderValue(int csidl) {
    switch (csidl) {
    case CSIDL_PROGRAMS:
        return "Programs";
    default:
        return nullptr;
    }
}

}  // namespace

extern "C" HRESULT WINAPI SHGetMalloc(IMalloc **ppMalloc) {
    if (!ppMalloc) return E_INVALIDARG;
    *ppMalloc = &Allocator();
    return S_OK;
}

extern "C" HRESULT WINAPI SHGetSpecialFolderLocation(HWND, int csidl, LPITEMIDLIST *ppidl) {
    if (!ppidl) return E_INVALIDARG;
    *ppidl = nullptr;
    if (DWORD fault = TakeFault("SHGetSpecialFolderLocation")) {
        SetLastError(fault);
        return E_FAIL;
    }
    const char *value = ShellFolderValue(csidl);
    if (!value) {
        // Other folders are not modelled.
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return E_NOTIMPL;
    }
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return E_FAIL;
    char path[MAX_PATH + 1];
    memset(path, 0, sizeof path);
    DWORD size = MAX_PATH;
    DWORD type = 0;
    LONG read = RegQueryValueExA(key, value, NULL, &type, reinterpret_cast<BYTE *>(path), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || type != REG_SZ || !path[0]) return E_FAIL;

    // One item holding the path, then the empty item that ends the list.
    const size_t textSize = strlen(path) + 1;
    const size_t itemSize = sizeof(USHORT) + textSize;
    BYTE *list = static_cast<BYTE *>(Allocator().Alloc(itemSize + sizeof(USHORT)));
    if (!list) return E_OUTOFMEMORY;
    USHORT cb = (USHORT)itemSize;
    memcpy(list, &cb, sizeof cb);
    memcpy(list + sizeof(USHORT), path, textSize);
    memset(list + itemSize, 0, sizeof(USHORT));
    *ppidl = reinterpret_cast<LPITEMIDLIST>(list);
    return S_OK;
}

extern "C" BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath) {
    if (!pszPath) return FALSE;
    pszPath[0] = '\0';
    if (!pidl) return FALSE;
    const BYTE *list = reinterpret_cast<const BYTE *>(pidl);
    USHORT cb = 0;
    memcpy(&cb, list, sizeof cb);
    if (cb <= sizeof(USHORT)) return FALSE;  // the desktop's empty list names no file-system folder
    size_t textSize = cb - sizeof(USHORT);
    if (textSize > MAX_PATH) return FALSE;
    memcpy(pszPath, list + sizeof(USHORT), textSize);
    pszPath[textSize - 1] = '\0';
    return TRUE;
}
