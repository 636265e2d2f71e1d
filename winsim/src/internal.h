// Shared plumbing of the simulated Win32 functions: kernel handles, the
// per-thread last error, and the fault gate at the top of every function.
#ifndef WINSIM_INTERNAL_H
#define WINSIM_INTERNAL_H

#include <windows.h>

#include <winsim/machine.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace winsim {

// Serialises access to the world; simulated calls are short and never block
// while holding it.
std::recursive_mutex &WorldLock();

// Kernel objects behind HANDLE values (files, find handles, mailslots,
// processes, mutexes, ...).
struct KernelObject {
    virtual ~KernelObject() = default;
    virtual const char *Kind() const = 0;
};

// Objects that ReadFile and WriteFile work on (files, mailslots); each kind
// gives its own semantics (byte stream, message boundaries).
struct StreamObject : KernelObject {
    virtual BOOL Read(void *buffer, DWORD size, DWORD *done) = 0;
    virtual BOOL Write(const void *buffer, DWORD size, DWORD *done) = 0;
};

// Objects the wait functions accept (processes, threads, ...). Waits run on
// the machine clock: an object tells when it is or will be signaled, so a
// wait can advance the clock to that moment instead of blocking.
struct WaitableObject : KernelObject {
    static constexpr uint64_t kNever = ~(uint64_t)0;
    // Clock time (ms) from which the object is signaled; kNever when nothing
    // on the machine will signal it.
    virtual uint64_t SignaledAt() = 0;
    // A wait returned because of this object (ownership, auto-reset).
    virtual void Satisfy() {}
    // The object was left owned by a program that ended (an abandoned mutex):
    // the wait that takes it says so.
    virtual bool Abandoned() const { return false; }
    // The handle was opened with SYNCHRONIZE access.
    virtual bool MayWait() const { return true; }
    // The object behind the handle: two handles to one object are one object.
    virtual const void *Identity() const { return this; }
};

// CreateFileA hands "\\server\mailslot\name" paths here.
HANDLE OpenMailslotClient(const std::string &path, DWORD access);

HANDLE NewHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> HandleObject(HANDLE h);
template <class T>
std::shared_ptr<T> HandleAs(HANDLE h) {
    return std::dynamic_pointer_cast<T>(HandleObject(h));
}
bool ReleaseHandle(HANDLE h);  // false: not a handle
unsigned CountHandles(const char *kind);  // open handles whose object is of that Kind()
void ResetHandles();

// Handle accounting (handles.cpp). NoteOpen: `id` of `kind` was handed out on
// `machine` (empty: the local machine) by the last simulated call of this
// thread (or by `openedBy`); NoteClosed undoes one NoteOpen of it (nothing when none is noted).
// Kinds: "Key", "File", "Find", "Token", "LsaPolicy", "Service", ...
void NoteCall(const char *function);
void NoteOpen(const char *kind, uintptr_t id, const std::string &machine = "", const char *openedBy = nullptr);
void NoteClosed(const char *kind, uintptr_t id);
void ResetHandleAccounts();

// Appends an injected failure that `function` took to the fault log, when
// WINSIM_FAULT_LOG names one (faultlog.cpp).
void RecordTakenFault(const char *function);

// Sets the thread's last error and returns `result`, for one-line failures:
//   return Fail(FALSE, ERROR_FILE_NOT_FOUND);
template <class R>
inline R Fail(R result, DWORD error) {
    SetLastError(error);
    return result;
}

// Copies `text` into a caller buffer of `capacity` characters with a
// terminating NUL when it fits; returns true when it fitted whole.
bool CopyOut(const std::string &text, char *buffer, size_t capacity);

// Fault gate. Registry and installer functions return the code; kernel
// functions set the last error and return their failure value.
#define WINSIM_FAULT_RETURN_CODE(fn)                     \
    do {                                                 \
        DWORD winsimFault_ = ::winsim::TakeFault(fn);    \
        if (winsimFault_) return winsimFault_;           \
    } while (0)
#define WINSIM_FAULT_RETURN(fn, failValue)               \
    do {                                                 \
        DWORD winsimFault_ = ::winsim::TakeFault(fn);    \
        if (winsimFault_) {                              \
            SetLastError(winsimFault_);                  \
            return failValue;                            \
        }                                                \
    } while (0)

// Windows paths: "C:\\a\\b", "c:/a/b", relative to the machine's current
// directory. Produces a normalised absolute path ("C:\\A\\..." case kept),
// resolving "." and "..". Returns false for empty or malformed paths.
bool NormalizeWindowsPath(const Machine &m, const std::string &path, std::string &full);

// Machine clock conversions (milliseconds since 1601-01-01, local time).
bool SystemTimeToMs(const SYSTEMTIME &st, uint64_t &ms);
SYSTEMTIME MsToSystemTime(uint64_t ms);
FILETIME MsToFileTime(uint64_t ms);

// The folders Windows 2000 searches for a module or program named without
// a path: the program's folder, the current folder, the system folders, the
// Windows folder, then PATH.
std::vector<std::string> SearchFolders(const Machine &m);

// Where the machine clock starts: 2001-01-01 08:00 local time.
uint64_t DefaultClockStart();

// GetTickCount's reading at clock time `ms`: milliseconds since midnight
// before the default clock start, wrapping after 49.7 days.
DWORD TickCountAt(uint64_t ms);

// A new, empty machine (drive C: only) in the world's sandbox.
Machine &NewMachine(const std::string &name);
// Removes a machine from the world with its sandbox (a failed image load).
void DropMachine(Machine &m);

// Processes (process.cpp): the running program's own id, the processes now
// running on a machine, and a close request that reached a program's window.
DWORD OwnProcessId();
struct ProcessImage {
    DWORD pid = 0;
    DWORD parentPid = 0;
    std::string image;  // full Windows path
};
std::vector<ProcessImage> RunningProcessImages(Machine &m);
void ProgramGotClose(Machine &m, DWORD pid, bool windowClosed);

// Top-level windows of programs (controls.cpp), in the one window table.
HWND AddProgramWindow(const std::string &machine, DWORD pid, DWORD tid, const ProgramWindowDecl &program);
void DestroyProgramWindows(const std::string &machine, DWORD pid);
bool ProgramHasWindows(const std::string &machine, DWORD pid);
BOOL PostToWindow(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
void ResetWindows();

// Named mutexes (mutex.cpp): a program holds one while it runs; when it ends
// the mutex is abandoned.
std::shared_ptr<void> HoldMutex(Machine &m, const std::string &name, DWORD pid);
void AbandonMutexesOf(const std::string &machine, DWORD pid);

// HKEY_PERFORMANCE_DATA (perfdata.cpp) and the counter titles it names.
LONG QueryPerformanceData(LPCSTR valueName, LPDWORD type, LPBYTE data, LPDWORD size);
void SeedPerformanceCounters(Machine &m);

// Per-area resets, called by ResetWorld.
void ResetRegistryHandles();
void ResetModules();
void ResetInstallerHandles();
void ResetServiceHandles();
void ResetNetConnections();
// Whether the local machine's program reaches `target` through its session
// there (or, without one, the credentials of the user running it); with
// `needAdmin` the logon must be one of the target's administrators. 0, or
// ERROR_ACCESS_DENIED; always 0 for the local machine itself.
DWORD RemoteAccess(Machine &target, bool needAdmin);

}  // namespace winsim

#endif
