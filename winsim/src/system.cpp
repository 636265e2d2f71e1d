// System information, time, environment, messages, local memory and
// mailslots of the simulated machine.
#include "sim_helpers.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>

namespace winsim {

namespace {

// ---- system message texts --------------------------------------------------------
// English texts of the system message table (Windows 2000), for
// FormatMessage(FORMAT_MESSAGE_FROM_SYSTEM); each ends with "\r\n" there.
const std::map<DWORD, const char *> &SystemMessages() {
    static const std::map<DWORD, const char *> kTexts = {
        {0, "The operation completed successfully."},
        {1, "Incorrect function."},
        {2, "The system cannot find the file specified."},
        {3, "The system cannot find the path specified."},
        {4, "The system cannot open the file."},
        {5, "Access is denied."},
        {6, "The handle is invalid."},
        {8, "Not enough storage is available to process this command."},
        {11, "An attempt was made to load a program with an incorrect format."},
        {13, "The data is invalid."},
        {14, "Not enough storage is available to complete this operation."},
        {15, "The system cannot find the drive specified."},
        {16, "The directory cannot be removed."},
        {17, "The system cannot move the file to a different disk drive."},
        {18, "There are no more files."},
        {19, "The media is write protected."},
        {21, "The device is not ready."},
        {25, "The drive cannot locate a specific area or track on the disk."},
        {31, "A device attached to the system is not functioning."},
        {32, "The process cannot access the file because it is being used by another process."},
        {33, "The process cannot access the file because another process has locked a portion of the file."},
        {38, "Reached the end of the file."},
        {39, "The disk is full."},
        {50, "The network request is not supported."},
        {51, "The remote computer is not available."},
        {53, "The network path was not found."},
        {55, "The specified network resource or device is no longer available."},
        {59, "An unexpected network error occurred."},
        {64, "The specified network name is no longer available."},
        {65, "Network access is denied."},
        {67, "The network name cannot be found."},
        {80, "The file exists."},
        {86, "The specified network password is not correct."},
        {87, "The parameter is incorrect."},
        {109, "The pipe has been ended."},
        {111, "The file name is too long."},
        {112, "There is not enough space on the disk."},
        {120, "This function is not supported on this system."},
        {121, "The semaphore timeout period has expired."},
        {122, "The data area passed to a system call is too small."},
        {123, "The filename, directory name, or volume label syntax is incorrect."},
        {124, "The system call level is not correct."},
        {126, "The specified module could not be found."},
        {127, "The specified procedure could not be found."},
        {131, "An attempt was made to move the file pointer before the beginning of the file."},
        {145, "The directory is not empty."},
        {148, "The path specified cannot be used at this time."},
        {158, "The segment is already unlocked."},
        {160, "One or more arguments are not correct."},
        {161, "The specified path is invalid."},
        {170, "The requested resource is in use."},
        {183, "Cannot create a file when that file already exists."},
        {193, "%1 is not a valid Win32 application."},
        {203, "The system could not find the environment option that was entered."},
        {206, "The filename or extension is too long."},
        {234, "More data is available."},
        {258, "The wait operation timed out."},
        {259, "No more data is available."},
        {267, "The directory name is invalid."},
        {288, "Attempt to release mutex not owned by caller."},
        {317, "The system cannot find message text for message number 0x%1 in the message file for %2."},
        {487, "Attempt to access invalid address."},
        {995, "The I/O operation has been aborted because of either a thread exit or an application request."},
        {997, "Overlapped I/O operation is in progress."},
        {998, "Invalid access to memory location."},
        {1004, "Invalid flags."},
        {1008, "An attempt was made to reference a token that does not exist."},
        {1009, "The configuration registry database is corrupt."},
        {1010, "The configuration registry key is invalid."},
        {1011, "The configuration registry key could not be opened."},
        {1012, "The configuration registry key could not be read."},
        {1013, "The configuration registry key could not be written."},
        {1015, "The registry is corrupted. The structure of one of the files containing registry data is "
               "corrupted, or the system's memory image of the file is corrupted, or the file could not be "
               "recovered because the alternate copy or log was absent or corrupted."},
        {1016, "An I/O operation initiated by the registry failed unrecoverably. The registry could not read in, "
               "or write out, or flush, one of the files that contain the system's image of the registry."},
        {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
        {1021, "Cannot create a stable subkey under a volatile parent key."},
        {1051, "A stop control has been sent to a service that other running services are dependent on."},
        {1052, "The requested control is not valid for this service."},
        {1053, "The service did not respond to the start or control request in a timely fashion."},
        {1054, "A thread could not be created for the service."},
        {1055, "The service database is locked."},
        {1056, "An instance of the service is already running."},
        {1057, "The account name is invalid or does not exist, or the password is invalid for the account name "
               "specified."},
        {1058, "The service cannot be started, either because it is disabled or because it has no enabled devices "
               "associated with it."},
        {1059, "Circular service dependency was specified."},
        {1060, "The specified service does not exist as an installed service."},
        {1061, "The service cannot accept control messages at this time."},
        {1062, "The service has not been started."},
        {1067, "The process terminated unexpectedly."},
        {1068, "The dependency service or group failed to start."},
        {1069, "The service did not start due to a logon failure."},
        {1072, "The specified service has been marked for deletion."},
        {1073, "The specified service already exists."},
        {1077, "No attempts to start the service have been made since the last boot."},
        {1078, "The name is already in use as either a service name or a service display name."},
        {1115, "A system shutdown is in progress."},
        {1168, "Element not found."},
        {1222, "The network is not present or not started."},
        {1300, "Not all privileges referenced are assigned to the caller."},
        {1313, "A specified privilege does not exist."},
        {1314, "A required privilege is not held by the client."},
        {1316, "The specified user already exists."},
        {1317, "The specified user does not exist."},
        {1323, "Unable to update the password. The value provided as the current password is incorrect."},
        {1325, "Unable to update the password. The value provided for the new password does not meet the length, "
               "complexity, or history requirement of the domain."},
        {1326, "Logon failure: unknown user name or bad password."},
        {1331, "Logon failure: account currently disabled."},
        {1332, "No mapping between account names and security IDs was done."},
        {1337, "The security ID structure is invalid."},
        {1355, "The specified domain either does not exist or could not be contacted."},
        {1376, "The specified local group does not exist."},
        {1377, "The specified account name is not a member of the local group."},
        {1378, "The specified account name is already a member of the local group."},
        {1379, "The specified local group already exists."},
        {1400, "Invalid window handle."},
        {1411, "Class does not exist."},
        {1438, "Invalid message box style."},
        {1460, "This operation returned because the timeout period expired."},
        {1602, "User cancelled installation."},
        {1603, "Fatal error during installation."},
        {1605, "This action is only valid for products that are currently installed."},
        {1606, "Feature ID not registered."},
        {1607, "Component ID not registered."},
        {1608, "Unknown property."},
        {1609, "Handle is in an invalid state."},
        {1610, "The configuration data for this product is corrupt.  Contact your support personnel."},
        {1627, "Function failed during execution."},
        {1812, "The specified image file did not contain a resource section."},
        {1813, "The specified resource type cannot be found in the image file."},
        {1814, "The specified resource name cannot be found in the image file."},
        {1815, "The specified resource language ID cannot be found in the image file."},
        {1816, "Not enough quota is available to process this command."},
    };
    return kTexts;
}

// ---- local memory -----------------------------------------------------------------
// Blocks handed out by LocalAlloc, so LocalFree can tell a stray pointer.
// They outlive ResetWorld: product code may still own them.
std::map<void *, size_t> &LocalBlocks() {
    static auto *blocks = new std::map<void *, size_t>();
    return *blocks;
}

std::mutex &LocalLock() {
    static std::mutex m;
    return m;
}

// ---- command line ------------------------------------------------------------------
// GetCommandLineA hands out pointers that stay valid: each distinct command
// line gets its own buffer for the life of the process.
const char *StableCommandLine(const std::string &text) {
    static auto *buffers = new std::deque<std::string>();
    if (buffers->empty() || buffers->back() != text) buffers->push_back(text);
    return buffers->back().c_str();
}

// ---- mailslots ------------------------------------------------------------------------
const char kMailslotPrefix[] = "\\\\.\\mailslot\\";

bool StartsWithNoCase(const std::string &s, const std::string &prefix) {
    return s.size() >= prefix.size() && EqualNoCase(s.substr(0, prefix.size()), prefix);
}

bool MachineAlive(Machine *m) { return m && FindMachine(m->name) == m; }

// Message size limits of the slots that CreateMailslot made, by machine and
// name (slots seeded through the control API take any size).
std::map<std::pair<const Machine *, std::string>, DWORD> &SlotLimits() {
    static auto *limits = new std::map<std::pair<const Machine *, std::string>, DWORD>();
    return *limits;
}

// The reading end, created by CreateMailslot. Each read takes one whole
// message; closing it removes the slot from the machine.
struct MailslotServer : StreamObject {
    Machine *machine;
    std::string name;  // upper case, without "\\.\mailslot\"
    DWORD maxMessageSize;
    DWORD readTimeout;

    MailslotServer(Machine *m, const std::string &n, DWORD maxSize, DWORD timeout)
        : machine(m), name(n), maxMessageSize(maxSize), readTimeout(timeout) {
        SlotLimits()[{m, n}] = maxSize;
    }

    ~MailslotServer() override {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        SlotLimits().erase({machine, name});
        if (!MachineAlive(machine)) return;
        machine->mailslots.erase(name);
        machine->mailslotQueues.erase(name);
    }

    const char *Kind() const override { return "Mailslot"; }

    BOOL Read(void *buffer, DWORD size, DWORD *done) override {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        if (done) *done = 0;
        if (!MachineAlive(machine)) return Fail(FALSE, ERROR_INVALID_HANDLE);
        std::vector<std::string> &queue = machine->mailslotQueues[name];
        if (queue.empty()) {
            // Nothing can arrive while this call waits in the simulation: a
            // finite time-out passes on the clock and ends as on Windows; a
            // wait without end would never return.
            if (readTimeout == MAILSLOT_WAIT_FOREVER) return Fail(FALSE, ERROR_CALL_NOT_IMPLEMENTED);
            AdvanceClock(readTimeout);
            return Fail(FALSE, ERROR_SEM_TIMEOUT);
        }
        const std::string &msg = queue.front();
        if (msg.size() > size) return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
        if (!buffer && !msg.empty()) return Fail(FALSE, ERROR_NOACCESS);
        if (!msg.empty()) memcpy(buffer, msg.data(), msg.size());
        if (done) *done = (DWORD)msg.size();
        queue.erase(queue.begin());
        return TRUE;
    }

    BOOL Write(const void *, DWORD, DWORD *done) override {
        if (done) *done = 0;
        return Fail(FALSE, ERROR_ACCESS_DENIED);
    }
};

// The largest message the slot's server takes (0: any size).
DWORD ServerMaxMessageSize(const Machine *m, const std::string &name) {
    auto it = SlotLimits().find({m, name});
    return it == SlotLimits().end() ? 0 : it->second;
}

// The writing end, opened with CreateFile on "\\server\mailslot\name". Each
// write is one message.
struct MailslotClient : StreamObject {
    Machine *target;
    std::string name;
    DWORD access;

    MailslotClient(Machine *t, const std::string &n, DWORD a) : target(t), name(n), access(a) {}

    const char *Kind() const override { return "MailslotClient"; }

    BOOL Read(void *, DWORD, DWORD *done) override {
        if (done) *done = 0;
        return Fail(FALSE, ERROR_ACCESS_DENIED);
    }

    BOOL Write(const void *buffer, DWORD size, DWORD *done) override {
        std::lock_guard<std::recursive_mutex> g(WorldLock());
        if (done) *done = 0;
        if (!(access & (GENERIC_WRITE | GENERIC_ALL | 0x0002 /* FILE_WRITE_DATA */)))
            return Fail(FALSE, ERROR_ACCESS_DENIED);
        if (!buffer && size) return Fail(FALSE, ERROR_NOACCESS);
        // A datagram to a slot that has gone since is lost without an error;
        // one longer than the slot takes (0: any length) is refused.
        if (MachineAlive(target) && target->mailslots.count(name)) {
            if (DWORD max = ServerMaxMessageSize(target, name))
                if (size > max) return Fail(FALSE, ERROR_INVALID_PARAMETER);
            std::string data(size ? (const char *)buffer : "", size);
            target->mailslotLog.push_back(MailslotMessage{kMailslotPrefix + Upper(name), data});
            target->mailslotQueues[name].push_back(data);
        }
        if (done) *done = size;
        return TRUE;
    }
};

}  // namespace

HANDLE OpenMailslotClient(const std::string &path, DWORD access) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    std::string p = path;
    for (char &c : p)
        if (c == '/') c = '\\';
    if (p.size() < 3 || p[0] != '\\' || p[1] != '\\') return Fail(INVALID_HANDLE_VALUE, ERROR_INVALID_NAME);
    size_t slash = p.find('\\', 2);
    if (slash == std::string::npos) return Fail(INVALID_HANDLE_VALUE, ERROR_INVALID_NAME);
    std::string server = p.substr(2, slash - 2);
    std::string rest = p.substr(slash + 1);
    if (!StartsWithNoCase(rest, "mailslot\\")) return Fail(INVALID_HANDLE_VALUE, ERROR_INVALID_NAME);
    std::string name = rest.substr(9);
    if (name.empty() || server.empty()) return Fail(INVALID_HANDLE_VALUE, ERROR_INVALID_NAME);
    Machine &local = LocalMachine();
    Machine *target = nullptr;
    if (server == "." || server == "*" || EqualNoCase(server, local.name))
        target = &local;
    else
        target = FindMachine(server);
    // Only a slot that exists opens, so a sender without a listener learns it
    // at once instead of writing into the void.
    if (!target || !target->mailslots.count(name)) return Fail(INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
    return NewHandle(std::make_shared<MailslotClient>(target, Upper(name), access));
}

}  // namespace winsim

using namespace winsim;

// ---- identity -----------------------------------------------------------------------
// Too small a buffer: ERROR_BUFFER_OVERFLOW and the size needed with the NUL;
// success gives the length without it.
extern "C" BOOL WINAPI GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize) {
    WINSIM_FAULT_RETURN("GetComputerNameA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!nSize) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    const std::string &name = LocalMachine().name;
    if (!lpBuffer || *nSize < name.size() + 1) {
        *nSize = (DWORD)name.size() + 1;
        return Fail(FALSE, ERROR_BUFFER_OVERFLOW);
    }
    memcpy(lpBuffer, name.c_str(), name.size() + 1);
    *nSize = (DWORD)name.size();
    return TRUE;
}

// Both ways the size counts the NUL.
extern "C" BOOL WINAPI GetUserNameA(LPSTR lpBuffer, LPDWORD pcbBuffer) {
    WINSIM_FAULT_RETURN("GetUserNameA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!pcbBuffer) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    const std::string &user = LocalMachine().userName;
    if (!lpBuffer || *pcbBuffer < user.size() + 1) {
        *pcbBuffer = (DWORD)user.size() + 1;
        return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    }
    memcpy(lpBuffer, user.c_str(), user.size() + 1);
    *pcbBuffer = (DWORD)user.size() + 1;
    return TRUE;
}

// The structure size tells OSVERSIONINFOA from OSVERSIONINFOEXA; any other
// size is refused.
extern "C" BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
    WINSIM_FAULT_RETURN("GetVersionExA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpVersionInformation) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    DWORD size = lpVersionInformation->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA))
        return Fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    Machine &m = LocalMachine();
    OSVERSIONINFOA *v = lpVersionInformation;
    v->dwMajorVersion = m.majorVersion;
    v->dwMinorVersion = m.minorVersion;
    v->dwBuildNumber = m.buildNumber;
    v->dwPlatformId = m.platformId;
    memset(v->szCSDVersion, 0, sizeof(v->szCSDVersion));
    strncpy(v->szCSDVersion, m.csdVersion.c_str(), sizeof(v->szCSDVersion) - 1);
    if (size == sizeof(OSVERSIONINFOEXA)) {
        OSVERSIONINFOEXA *x = (OSVERSIONINFOEXA *)lpVersionInformation;
        x->wServicePackMajor = m.servicePackMajor;
        x->wServicePackMinor = m.servicePackMinor;
        x->wSuiteMask = m.suiteMask;
        x->wProductType = m.productType;
        x->wReserved = 0;
    }
    return TRUE;
}

// Low byte major, next byte minor, high word the build; the top bit marks
// the Windows 9x family.
extern "C" DWORD WINAPI GetVersion(void) {
    WINSIM_FAULT_RETURN("GetVersion", (DWORD)0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    Machine &m = LocalMachine();
    DWORD v = (m.majorVersion & 0xFF) | ((m.minorVersion & 0xFF) << 8);
    if (m.platformId == VER_PLATFORM_WIN32_NT)
        v |= (m.buildNumber & 0x7FFF) << 16;
    else
        v |= 0x80000000u;
    return v;
}

extern "C" LPSTR WINAPI GetCommandLineA(void) {
    WINSIM_FAULT_RETURN("GetCommandLineA", (LPSTR) nullptr);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    return (LPSTR)StableCommandLine(LocalMachine().commandLine);
}

// ---- time ------------------------------------------------------------------------------
// The machines run on UTC, so system time and local time agree.
extern "C" void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    WINSIM_FAULT_RETURN_VOID("GetLocalTime");
    if (lpSystemTime) *lpSystemTime = ClockLocalTime();
}

extern "C" void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) {
    WINSIM_FAULT_RETURN_VOID("GetSystemTime");
    if (lpSystemTime) *lpSystemTime = ClockLocalTime();
}

namespace winsim {
DWORD TickCountAt(uint64_t ms) {
    // The machines start at midnight before the default clock.
    static const uint64_t kBoot = DefaultClockStart() - DefaultClockStart() % 86400000ull;
    return (DWORD)(ms - kBoot);
}
}  // namespace winsim

// Milliseconds since the machines started, at midnight before the default
// clock (2001-01-01 00:00); it wraps after 49.7 days like Windows' counter.
extern "C" DWORD WINAPI GetTickCount(void) {
    WINSIM_FAULT_RETURN("GetTickCount", (DWORD)0);
    return TickCountAt(ClockMs());
}

// No real wait: the machine clock moves on.
extern "C" void WINAPI Sleep(DWORD dwMilliseconds) {
    WINSIM_FAULT_RETURN_VOID("Sleep");
    AdvanceClock(dwMilliseconds);
    // Programs whose run time has passed end now, with their effects.
    SettleProcesses();
}

// ---- environment ------------------------------------------------------------------------
// Returns the length copied, or the size needed with the NUL when the buffer
// is too small. An empty value returns 0 with the last error cleared, which
// tells it from a missing variable.
extern "C" DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize) {
    WINSIM_FAULT_RETURN("GetEnvironmentVariableA", (DWORD)0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpName) return Fail<DWORD>(0, ERROR_INVALID_PARAMETER);
    Machine &m = LocalMachine();
    auto it = m.environment.find(lpName);
    if (it == m.environment.end()) return Fail<DWORD>(0, ERROR_ENVVAR_NOT_FOUND);
    const std::string &v = it->second;
    if (!lpBuffer || nSize < v.size() + 1) return (DWORD)v.size() + 1;
    memcpy(lpBuffer, v.c_str(), v.size() + 1);
    if (v.empty()) SetLastError(ERROR_SUCCESS);
    return (DWORD)v.size();
}

// A NULL value deletes the variable; names cannot be empty or hold '='.
extern "C" BOOL WINAPI SetEnvironmentVariableA(LPCSTR lpName, LPCSTR lpValue) {
    WINSIM_FAULT_RETURN("SetEnvironmentVariableA", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpName || !*lpName || strchr(lpName, '=')) return Fail(FALSE, ERROR_INVALID_PARAMETER);
    Machine &m = LocalMachine();
    if (!lpValue) {
        m.environment.erase(lpName);
        return TRUE;
    }
    auto it = m.environment.find(lpName);
    if (it != m.environment.end()) m.environment.erase(it);  // the new spelling of the name wins
    m.environment[lpName] = lpValue;
    return TRUE;
}

// %NAME% is replaced by the variable's value; an unknown name stays as
// written. Returns the size with the NUL, also when the buffer is too small
// (and then writes nothing).
extern "C" DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize) {
    WINSIM_FAULT_RETURN("ExpandEnvironmentStringsA", (DWORD)0);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!lpSrc) return Fail<DWORD>(0, ERROR_INVALID_PARAMETER);
    Machine &m = LocalMachine();
    std::string src(lpSrc), out;
    size_t i = 0;
    while (i < src.size()) {
        if (src[i] != '%') {
            out += src[i++];
            continue;
        }
        size_t close = src.find('%', i + 1);
        if (close == std::string::npos) {
            out += src.substr(i);
            break;
        }
        std::string name = src.substr(i + 1, close - i - 1);
        auto it = name.empty() ? m.environment.end() : m.environment.find(name);
        if (it != m.environment.end()) {
            out += it->second;
            i = close + 1;
        } else {
            // The closing '%' may open the next reference.
            out += src.substr(i, close - i);
            i = close;
        }
    }
    DWORD needed = (DWORD)out.size() + 1;
    if (lpDst && nSize >= needed) memcpy(lpDst, out.c_str(), needed);
    return needed;
}

// ---- messages ---------------------------------------------------------------------------
namespace {

struct InsertArg : PrintfArgs {
    DWORD_PTR value;
    explicit InsertArg(DWORD_PTR v) : value(v) {}
    int Int() override { return (int)value; }
    long long Int64() override { return (long long)value; }
    const void *Pointer() override { return (const void *)value; }
};

bool FormatTemplate(const std::string &tmpl, DWORD flags, va_list *arguments, std::string &out, DWORD &error) {
    bool ignoreInserts = (flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0;
    bool argumentArray = (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) != 0;
    bool joinLines = (flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) == FORMAT_MESSAGE_MAX_WIDTH_MASK;
    // Inserts read their arguments by number; a va_list is read in order up
    // to the highest number used.
    std::vector<DWORD_PTR> args;
    if (!ignoreInserts && arguments && !argumentArray) {
        unsigned highest = 0;
        for (size_t i = 0; i + 1 < tmpl.size(); ++i) {
            if (tmpl[i] != '%') continue;
            if (tmpl[i + 1] == '%') {
                ++i;
                continue;
            }
            if (tmpl[i + 1] >= '1' && tmpl[i + 1] <= '9') {
                unsigned n = (unsigned)(tmpl[i + 1] - '0');
                if (i + 2 < tmpl.size() && std::isdigit((unsigned char)tmpl[i + 2])) n = n * 10 + (unsigned)(tmpl[i + 2] - '0');
                highest = std::max(highest, n);
            }
        }
        va_list ap;
        va_copy(ap, *arguments);
        for (unsigned n = 0; n < highest; ++n) args.push_back(va_arg(ap, DWORD_PTR));
        va_end(ap);
    }
    size_t i = 0;
    while (i < tmpl.size()) {
        char c = tmpl[i];
        if (joinLines && (c == '\r' || c == '\n')) {
            // Regular line breaks of the text become one space.
            if (c == '\r' && i + 1 < tmpl.size() && tmpl[i + 1] == '\n') ++i;
            out += ' ';
            ++i;
            continue;
        }
        if (c != '%' || i + 1 >= tmpl.size()) {
            out += c;
            ++i;
            continue;
        }
        char e = tmpl[i + 1];
        if (e == '0') return true;  // ends the message without a line break
        if (e >= '1' && e <= '9') {
            size_t start = i;
            unsigned n = (unsigned)(e - '0');
            i += 2;
            if (i < tmpl.size() && std::isdigit((unsigned char)tmpl[i])) n = n * 10 + (unsigned)(tmpl[i++] - '0');
            std::string conversion = "s";
            if (i < tmpl.size() && tmpl[i] == '!') {
                size_t close = tmpl.find('!', i + 1);
                if (close == std::string::npos) {
                    error = ERROR_INVALID_PARAMETER;
                    return false;
                }
                conversion = tmpl.substr(i + 1, close - i - 1);
                i = close + 1;
            }
            if (ignoreInserts) {
                out += tmpl.substr(start, i - start);
                continue;
            }
            if (!arguments) {
                error = ERROR_INVALID_PARAMETER;
                return false;
            }
            DWORD_PTR value = argumentArray ? ((const DWORD_PTR *)arguments)[n - 1] : args[n - 1];
            if (conversion.find('*') != std::string::npos) {
                error = ERROR_CALL_NOT_IMPLEMENTED;  // widths taken from arguments
                return false;
            }
            InsertArg arg(value);
            out += FormatWsprintf(("%" + conversion).c_str(), arg, 32767);
            continue;
        }
        i += 2;
        switch (e) {
        case 'n': out += "\r\n"; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'b': out += ' '; break;
        default: out += e; break;  // %% %. %! and "% "
        }
    }
    return true;
}

}  // namespace

extern "C" DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                                       LPSTR lpBuffer, DWORD nSize, va_list *Arguments) {
    WINSIM_FAULT_RETURN("FormatMessageA", (DWORD)0);
    std::string tmpl;
    if (dwFlags & FORMAT_MESSAGE_FROM_STRING) {
        if (!lpSource) return Fail<DWORD>(0, ERROR_INVALID_PARAMETER);
        tmpl = (const char *)lpSource;
    } else if (dwFlags & (FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE)) {
        // Message tables of modules are not simulated; only the system's.
        if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM)) return Fail<DWORD>(0, ERROR_CALL_NOT_IMPLEMENTED);
        WORD primary = dwLanguageId & 0x3FF;
        if (dwLanguageId != 0 && primary != LANG_NEUTRAL && primary != LANG_ENGLISH)
            return Fail<DWORD>(0, ERROR_RESOURCE_LANG_NOT_FOUND);
        auto it = SystemMessages().find(dwMessageId);
        if (it == SystemMessages().end()) return Fail<DWORD>(0, ERROR_MR_MID_NOT_FOUND);
        tmpl = std::string(it->second) + "\r\n";
    } else {
        return Fail<DWORD>(0, ERROR_INVALID_PARAMETER);
    }
    DWORD width = dwFlags & FORMAT_MESSAGE_MAX_WIDTH_MASK;
    if (width != 0 && width != FORMAT_MESSAGE_MAX_WIDTH_MASK) return Fail<DWORD>(0, ERROR_CALL_NOT_IMPLEMENTED);
    std::string out;
    DWORD error = 0;
    if (!FormatTemplate(tmpl, dwFlags, Arguments, out, error)) return Fail<DWORD>(0, error);
    if (!lpBuffer) return Fail<DWORD>(0, ERROR_INVALID_PARAMETER);
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        size_t size = std::max<size_t>(out.size() + 1, nSize);
        char *p = (char *)LocalAlloc(LMEM_FIXED, size);
        if (!p) return 0;
        memcpy(p, out.c_str(), out.size() + 1);
        *(LPSTR *)lpBuffer = p;
        return (DWORD)out.size();
    }
    if (nSize < out.size() + 1) return Fail<DWORD>(0, ERROR_INSUFFICIENT_BUFFER);
    memcpy(lpBuffer, out.c_str(), out.size() + 1);
    return (DWORD)out.size();
}

// ---- local memory -----------------------------------------------------------------------
// Fixed blocks only (LMEM_FIXED, LMEM_ZEROINIT); the handle is the address.
extern "C" HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    WINSIM_FAULT_RETURN("LocalAlloc", (HLOCAL) nullptr);
    if (uFlags & ~(UINT)(LMEM_FIXED | LMEM_ZEROINIT)) return Fail<HLOCAL>(nullptr, ERROR_INVALID_PARAMETER);
    void *p = (uFlags & LMEM_ZEROINIT) ? calloc(uBytes ? uBytes : 1, 1) : malloc(uBytes ? uBytes : 1);
    if (!p) return Fail<HLOCAL>(nullptr, ERROR_NOT_ENOUGH_MEMORY);
    NoteOpen("LocalMemory", (uintptr_t)p);
    std::lock_guard<std::mutex> g(LocalLock());
    LocalBlocks()[p] = uBytes;
    return p;
}

// NULL on success; the handle itself when it was not a block of LocalAlloc.
extern "C" HLOCAL WINAPI LocalFree(HLOCAL hMem) {
    WINSIM_FAULT_RETURN("LocalFree", hMem);
    if (!hMem) return nullptr;
    {
        std::lock_guard<std::mutex> g(LocalLock());
        auto it = LocalBlocks().find(hMem);
        if (it == LocalBlocks().end()) return Fail<HLOCAL>(hMem, ERROR_INVALID_HANDLE);
        LocalBlocks().erase(it);
    }
    NoteClosed("LocalMemory", (uintptr_t)hMem);
    free(hMem);
    return nullptr;
}

extern "C" BOOL WINAPI IsDBCSLeadByte(BYTE TestChar) {
    WINSIM_FAULT_RETURN("IsDBCSLeadByte", FALSE);
    return IsLeadByteOf(CurrentCodePage(), TestChar) ? TRUE : FALSE;
}

// ---- mailslots ----------------------------------------------------------------------------
extern "C" HANDLE WINAPI CreateMailslotA(LPCSTR lpName, DWORD nMaxMessageSize, DWORD lReadTimeout,
                                         LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    WINSIM_FAULT_RETURN("CreateMailslotA", INVALID_HANDLE_VALUE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    // No name is no path at all.
    if (!lpName) return Fail(INVALID_HANDLE_VALUE, ERROR_PATH_NOT_FOUND);
    std::string path(lpName);
    for (char &c : path)
        if (c == '/') c = '\\';
    if (!StartsWithNoCase(path, kMailslotPrefix) || path.size() == sizeof(kMailslotPrefix) - 1)
        return Fail(INVALID_HANDLE_VALUE, ERROR_INVALID_NAME);
    std::string name = Upper(path.substr(sizeof(kMailslotPrefix) - 1));
    Machine &m = LocalMachine();
    if (m.mailslots.count(name)) return Fail(INVALID_HANDLE_VALUE, ERROR_ALREADY_EXISTS);
    m.mailslots.insert(name);
    m.mailslotQueues[name].clear();
    return NewHandle(std::make_shared<MailslotServer>(&m, name, nMaxMessageSize, lReadTimeout));
}

extern "C" BOOL WINAPI GetMailslotInfo(HANDLE hMailslot, LPDWORD lpMaxMessageSize, LPDWORD lpNextSize,
                                       LPDWORD lpMessageCount, LPDWORD lpReadTimeout) {
    WINSIM_FAULT_RETURN("GetMailslotInfo", FALSE);
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    auto slot = HandleAs<MailslotServer>(hMailslot);
    if (!slot || !MachineAlive(slot->machine)) return Fail(FALSE, ERROR_INVALID_HANDLE);
    const std::vector<std::string> &queue = slot->machine->mailslotQueues[slot->name];
    if (lpMaxMessageSize) *lpMaxMessageSize = slot->maxMessageSize;
    if (lpNextSize) *lpNextSize = queue.empty() ? MAILSLOT_NO_MESSAGE : (DWORD)queue.front().size();
    if (lpMessageCount) *lpMessageCount = (DWORD)queue.size();
    if (lpReadTimeout) *lpReadTimeout = slot->readTimeout;
    return TRUE;
}
