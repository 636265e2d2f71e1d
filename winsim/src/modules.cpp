// Module loading: a Windows path names a real shared object in the machine's
// sandbox, loaded with dlopen, so test doubles of outside libraries are real
// libraries. The library under test registers itself as a built-in module.
#include "internal.h"

#include <dlfcn.h>

#include <cstring>
#include <map>

namespace winsim {

namespace {

struct Module {
    std::string path;      // Windows path ("C:\\WINNT\\system32\\BRANDKIT.DLL")
    std::string baseName;  // "BRANDKIT.DLL"
    void *dl = nullptr;    // null for built-in modules
    unsigned refs = 0;
    bool builtin = false;
};

// Module handles are fake addresses; the table maps them to modules.
struct ModuleTable {
    std::map<uintptr_t, Module> modules;
    uintptr_t next = 0x10000000;
    uintptr_t Add(Module m) {
        uintptr_t h = next;
        next += 0x10000;
        modules[h] = std::move(m);
        return h;
    }
};

ModuleTable &Modules() {
    static ModuleTable *t = new ModuleTable();
    return *t;
}

// The running program (GetModuleHandle(NULL)).
const uintptr_t kProgramModule = 0x00400000;

std::string BaseName(const std::string &path) {
    size_t p = path.find_last_of("\\/:");
    return p == std::string::npos ? path : path.substr(p + 1);
}

std::string DirOf(const std::string &path) {
    size_t p = path.find_last_of('\\');
    return p == std::string::npos ? std::string() : path.substr(0, p);
}

bool HasExtension(const std::string &name) {
    std::string b = BaseName(name);
    return b.find('.') != std::string::npos;
}

bool IsPathName(const std::string &name) { return name.find_first_of("\\/:") != std::string::npos; }

Module *FindLoaded(const std::string &nameOrPath, uintptr_t *handle) {
    bool byPath = IsPathName(nameOrPath);
    for (auto &entry : Modules().modules) {
        Module &m = entry.second;
        if (byPath ? EqualNoCase(m.path, nameOrPath) : EqualNoCase(m.baseName, nameOrPath)) {
            if (handle) *handle = entry.first;
            return &m;
        }
    }
    return nullptr;
}

HMODULE Load(const char *fileName, DWORD flags) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!fileName || !*fileName) return Fail<HMODULE>(nullptr, ERROR_INVALID_PARAMETER);
    std::string name(fileName);
    // Trailing dot means "no extension"; otherwise ".DLL" is assumed.
    if (!name.empty() && name.back() == '.')
        name.pop_back();
    else if (!HasExtension(name))
        name += ".DLL";

    uintptr_t handle = 0;
    if (Module *m = FindLoaded(name, &handle)) {
        ++m->refs;
        return (HMODULE)handle;
    }
    if (!HasLocalMachine()) return Fail<HMODULE>(nullptr, ERROR_MOD_NOT_FOUND);
    Machine &mach = LocalMachine();

    std::string full;
    if (IsPathName(name)) {
        if (!NormalizeWindowsPath(mach, name, full) || !mach.Exists(full))
            return Fail<HMODULE>(nullptr, ERROR_MOD_NOT_FOUND);
    } else {
        for (const std::string &dir : SearchFolders(mach)) {
            std::string candidate;
            if (NormalizeWindowsPath(mach, dir + "\\" + name, candidate) && mach.Exists(candidate)) {
                full = candidate;
                break;
            }
        }
        if (full.empty()) return Fail<HMODULE>(nullptr, ERROR_MOD_NOT_FOUND);
    }
    if (Module *m = FindLoaded(full, &handle)) {
        ++m->refs;
        return (HMODULE)handle;
    }
    std::string host;
    if (!mach.HostPath(full, host)) return Fail<HMODULE>(nullptr, ERROR_MOD_NOT_FOUND);
    void *dl = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!dl) return Fail<HMODULE>(nullptr, ERROR_BAD_EXE_FORMAT);

    Module m;
    m.path = full;
    m.baseName = BaseName(full);
    m.dl = dl;
    m.refs = 1;
    handle = Modules().Add(m);
    if (!(flags & (DONT_RESOLVE_DLL_REFERENCES | LOAD_LIBRARY_AS_DATAFILE))) {
        typedef BOOL(WINAPI * DllMainFn)(HINSTANCE, DWORD, LPVOID);
        if (auto entry = (DllMainFn)dlsym(dl, "DllMain")) {
            if (!entry((HINSTANCE)handle, DLL_PROCESS_ATTACH, nullptr)) {
                Modules().modules.erase(handle);
                dlclose(dl);
                return Fail<HMODULE>(nullptr, 1114 /* ERROR_DLL_INIT_FAILED */);
            }
        }
    }
    return (HMODULE)handle;
}

}  // namespace

std::vector<std::string> SearchFolders(const Machine &m) {
    std::vector<std::string> dirs{DirOf(m.modulePath), m.currentDir, m.SystemDir(), m.windowsDir + "\\system",
                                  m.windowsDir};
    auto it = m.environment.find("PATH");
    if (it != m.environment.end()) {
        const std::string &p = it->second;
        size_t start = 0;
        for (;;) {
            size_t semi = p.find(';', start);
            std::string d = p.substr(start, semi == std::string::npos ? std::string::npos : semi - start);
            if (!d.empty()) dirs.push_back(d);
            if (semi == std::string::npos) break;
            start = semi + 1;
        }
    }
    return dirs;
}

HMODULE RegisterBuiltinModule(const std::string &fileName) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    uintptr_t handle = 0;
    if (FindLoaded(fileName, &handle)) return (HMODULE)handle;
    Module m;
    m.baseName = fileName;
    m.path = fileName;
    m.builtin = true;
    m.refs = 1;
    return (HMODULE)Modules().Add(m);
}

void ResetModules() {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto &mods = Modules().modules;
    for (auto it = mods.begin(); it != mods.end();) {
        if (it->second.builtin) {
            ++it;
            continue;
        }
        // Loaded libraries stay mapped: code of a test double may still be
        // referenced by objects that outlive the world (function pointers).
        it = mods.erase(it);
    }
}

}  // namespace winsim

using namespace winsim;

extern "C" HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
    WINSIM_FAULT_RETURN("LoadLibraryA", (HMODULE) nullptr);
    HMODULE h = Load(lpLibFileName, 0);
    if (h) NoteOpen("Module", (uintptr_t)h, "", "LoadLibraryA");
    return h;
}

extern "C" HMODULE WINAPI LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags) {
    WINSIM_FAULT_RETURN("LoadLibraryExA", (HMODULE) nullptr);
    if (hFile) return Fail<HMODULE>(nullptr, ERROR_INVALID_PARAMETER);
    HMODULE h = Load(lpLibFileName, dwFlags);
    if (h) NoteOpen("Module", (uintptr_t)h, "", "LoadLibraryExA");
    return h;
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    WINSIM_FAULT_RETURN("GetProcAddress", (FARPROC) nullptr);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = Modules().modules.find((uintptr_t)hModule);
    if (it == Modules().modules.end()) return Fail<FARPROC>(nullptr, ERROR_MOD_NOT_FOUND);
    // Export ordinals are not modelled; every outside library is called by name.
    if (!lpProcName || IS_INTRESOURCE(lpProcName)) return Fail<FARPROC>(nullptr, ERROR_PROC_NOT_FOUND);
    void *sym = nullptr;
    if (it->second.builtin)
        sym = dlsym(RTLD_DEFAULT, lpProcName);
    else
        sym = dlsym(it->second.dl, lpProcName);
    if (!sym) return Fail<FARPROC>(nullptr, ERROR_PROC_NOT_FOUND);
    FARPROC fn;
    static_assert(sizeof(fn) == sizeof(sym), "function and data pointers differ in size");
    memcpy(&fn, &sym, sizeof fn);
    return fn;
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    WINSIM_FAULT_RETURN("FreeLibrary", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto it = Modules().modules.find((uintptr_t)hLibModule);
    if (it == Modules().modules.end()) return Fail(FALSE, ERROR_MOD_NOT_FOUND);
    Module &m = it->second;
    NoteClosed("Module", (uintptr_t)hLibModule);
    if (m.builtin) return TRUE;  // the library under test stays loaded
    if (--m.refs == 0) {
        void *dl = m.dl;
        typedef BOOL(WINAPI * DllMainFn)(HINSTANCE, DWORD, LPVOID);
        if (auto entry = (DllMainFn)dlsym(dl, "DllMain")) entry((HINSTANCE)hLibModule, DLL_PROCESS_DETACH, nullptr);
        Modules().modules.erase(it);
        dlclose(dl);
    }
    return TRUE;
}

extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    WINSIM_FAULT_RETURN("GetModuleHandleA", (HMODULE) nullptr);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpModuleName) return (HMODULE)kProgramModule;
    std::string name(lpModuleName);
    if (!HasExtension(name)) name += ".DLL";
    uintptr_t handle = 0;
    if (FindLoaded(name, &handle)) return (HMODULE)handle;
    if (HasLocalMachine() && EqualNoCase(BaseName(LocalMachine().modulePath), name)) return (HMODULE)kProgramModule;
    return Fail<HMODULE>(nullptr, ERROR_MOD_NOT_FOUND);
}

// Windows 2000 truncates a long path silently; the newer rule (truncate,
// terminate, ERROR_INSUFFICIENT_BUFFER) is followed so that callers never see
// an unterminated buffer.
extern "C" DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    WINSIM_FAULT_RETURN("GetModuleFileNameA", (DWORD)0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    std::string path;
    if (!hModule || (uintptr_t)hModule == kProgramModule) {
        if (!HasLocalMachine()) return Fail<DWORD>(0, ERROR_MOD_NOT_FOUND);
        path = LocalMachine().modulePath;
    } else {
        auto it = Modules().modules.find((uintptr_t)hModule);
        if (it == Modules().modules.end()) return Fail<DWORD>(0, ERROR_MOD_NOT_FOUND);
        path = it->second.path;
        // The library under test runs from the installer's folder of the machine.
        if (it->second.builtin && HasLocalMachine()) path = LocalMachine().SystemDir() + "\\" + it->second.baseName;
    }
    // Short buffers follow the machine's version: NT 4.0 and Windows 2000
    // fill the buffer without a NUL and leave the last error alone; XP does
    // the same but reports ERROR_SUCCESS; Vista and later cut the name to
    // nSize-1 characters, terminate it and report ERROR_INSUFFICIENT_BUFFER.
    const bool vista = !HasLocalMachine() || LocalMachine().majorVersion >= 6;
    const bool xp = !vista && LocalMachine().majorVersion == 5 && LocalMachine().minorVersion >= 1;
    if (!lpFilename && nSize) return Fail<DWORD>(0, ERROR_INSUFFICIENT_BUFFER);
    if (nSize == 0) {
        if (vista) SetLastError(ERROR_INSUFFICIENT_BUFFER);
        if (xp) SetLastError(ERROR_SUCCESS);
        return 0;
    }
    if (path.size() < nSize) {
        memcpy(lpFilename, path.c_str(), path.size() + 1);
        if (vista || xp) SetLastError(ERROR_SUCCESS);
        return (DWORD)path.size();
    }
    if (vista) {
        CopyOut(path, lpFilename, nSize);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    memcpy(lpFilename, path.data(), nSize);
    if (xp) SetLastError(ERROR_SUCCESS);
    return nSize;
}
