// The simulated Windows machine: the state that the Win32 functions of
// winsim work on, and that tests and the runner seed and inspect.
#ifndef WINSIM_MACHINE_H
#define WINSIM_MACHINE_H

#include <windows.h>
#include <msi.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace winsim {

// ---- names -----------------------------------------------------------------
// Windows compares registry, file, section and key names without case (ASCII
// rules, as for the system code page's letters a-z).
std::string Upper(const std::string &s);
std::string Lower(const std::string &s);
bool EqualNoCase(const std::string &a, const std::string &b);
struct LessNoCase {
    bool operator()(const std::string &a, const std::string &b) const;
};

// ---- registry ----------------------------------------------------------------
struct RegValue {
    std::string name;  // case preserved; "" is the default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct RegKey {
    std::string name;  // case preserved
    RegKey *parent = nullptr;
    bool deleted = false;
    bool isVolatile = false;
    FILETIME lastWrite{};
    // Sorted without case, which is also the order RegEnumKeyEx reports.
    std::map<std::string, std::shared_ptr<RegKey>, LessNoCase> subkeys;
    // Values keep their creation order, as NT enumerates them.
    std::vector<RegValue> values;
    std::map<std::string, size_t, LessNoCase> valueIndex;
    std::string keyClass;  // the class given to RegCreateKeyEx when the key was created

    RegKey *Child(const std::string &name) const;
    RegKey *CreateChild(const std::string &name);
    RegValue *FindValue(const std::string &name);
    const RegValue *FindValue(const std::string &name) const;
    void SetValue(const std::string &name, DWORD type, const void *data, size_t size);
    bool DeleteValue(const std::string &name);
    void RebuildValueIndex();
    std::string FullPath() const;  // "HKEY_LOCAL_MACHINE\\SOFTWARE\\..."
};

class Registry {
public:
    Registry();
    // Predefined roots. HKEY_CLASSES_ROOT is HKLM\SOFTWARE\Classes and
    // HKEY_CURRENT_USER is HKU\<current user key>, as on NT.
    std::shared_ptr<RegKey> Root(HKEY predefined) const;
    std::shared_ptr<RegKey> hklm, hku, hkcc;
    std::string currentUserKey = ".DEFAULT";

    // Path helpers for seeding and reading: "HKEY_LOCAL_MACHINE\\SOFTWARE\\X" or
    // the short forms "HKLM\\...", "HKCU\\...", "HKCR\\...", "HKU\\...".
    RegKey *Find(const std::string &path) const;
    RegKey *Create(const std::string &path);
    bool Delete(const std::string &path);  // the key and its whole tree
    void Set(const std::string &keyPath, const std::string &valueName, DWORD type, const void *data, size_t size);
    void SetString(const std::string &keyPath, const std::string &valueName, const std::string &text,
                   DWORD type = REG_SZ);
    void SetDword(const std::string &keyPath, const std::string &valueName, DWORD value);
    bool GetString(const std::string &keyPath, const std::string &valueName, std::string &out) const;
    bool GetDword(const std::string &keyPath, const std::string &valueName, DWORD &out) const;

    // regedit text. Import throws ImageError naming `sourceName` and the line.
    void ImportReg(const std::string &text, const std::string &sourceName = "<text>");
    std::string ExportReg(const std::string &keyPath, bool version5 = true) const;
};

struct ImageError : std::runtime_error {
    ImageError(const std::string &file, int line, const std::string &what);
    std::string file;
    int line;
};

// ---- files -------------------------------------------------------------------
struct Drive {
    char letter = 'C';
    std::string hostRoot;  // folder on the Linux disk
    UINT type = DRIVE_FIXED;
    DWORD sectorsPerCluster = 8;
    DWORD bytesPerSector = 512;
    DWORD freeClusters = 2621440;   // 10 GiB free
    DWORD totalClusters = 5242880;  // 20 GiB
};

// ---- installer session --------------------------------------------------------
struct InstallerLogEntry {
    DWORD kind;  // INSTALLMESSAGE_* (high byte)
    std::vector<std::string> fields;  // field 0 first
    std::string text;                 // field 0, or the fields joined for display
};

struct InstalledProduct {
    int state = 5;                                    // INSTALLSTATE_DEFAULT
    std::map<std::string, std::string> info;          // "InstallSource", "VersionString", ...
    std::map<std::string, int> features;              // installed state of each feature
};

struct Feature {
    int installed = 2;  // INSTALLSTATE_ABSENT
    int action = -1;    // INSTALLSTATE_UNKNOWN: no change
};

struct InstallerSession {
    std::map<std::string, std::string> properties;  // names are case-sensitive
    std::map<int, bool> modes;
    std::map<std::string, Feature> features;
    int installLevel = 1;
    std::vector<InstallerLogEntry> log;
    // Answer MsiProcessMessage gives per message kind (default: IDOK, 0 for INFO).
    std::map<DWORD, int> answers;
};

// ---- user32 ------------------------------------------------------------------
struct MessageBoxRecord {
    HWND owner;
    std::string caption;
    std::string text;
    UINT style;
    int answer;
};

// ---- processes and programs ----------------------------------------------------
struct ProgramRun;
// A program the machine knows, by the Windows path of its executable.
struct Program {
    DWORD exitCode = 0;
    DWORD runMs = 0;  // how long it runs on the machine clock
    std::function<void(class Machine &, const std::string &commandLine)> effect;
    // Messages the program posts while it runs: (ms after its start, message
    // id), posted to the queue of the thread that started it. Only times
    // before runMs are reached.
    std::vector<std::pair<DWORD, UINT>> postsAt;
};

// One CreateProcessA that started a program.
struct ProcessRecord {
    std::string application;       // full Windows path of the program
    std::string commandLine;       // as the program received it
    std::string currentDirectory;  // full path
    uint64_t startMs = 0;          // machine clock at the start
};

struct ProcessTable;  // running processes and thread message queues (process.cpp)

struct MailslotMessage {
    std::string slot;  // "\\.\mailslot\status" form, upper-cased name part
    std::string data;
};

// ---- the machine --------------------------------------------------------------
class Machine {
public:
    explicit Machine(const std::string &name, const std::string &sandboxRoot);
    ~Machine();
    Machine(const Machine &) = delete;
    Machine &operator=(const Machine &) = delete;

    std::string name;        // NetBIOS name, upper case
    std::string workgroup = "WORKGROUP";
    std::string domain;      // empty: not in a domain
    std::string userName = "Administrator";
    std::string commandLine;
    std::string sandboxRoot; // host folder holding the drives

    // OS identity
    DWORD majorVersion = 5, minorVersion = 0, buildNumber = 2195, platformId = VER_PLATFORM_WIN32_NT;
    std::string csdVersion = "Service Pack 2";
    WORD servicePackMajor = 2, servicePackMinor = 0, suiteMask = 0;
    BYTE productType = VER_NT_SERVER;

    Registry registry;

    // Files
    std::map<char, Drive> drives;  // upper-case letters
    std::string windowsDir = "C:\\WINNT";
    std::string tempDir = "C:\\TEMP";   // GetTempPath adds the trailing backslash
    std::string currentDir = "C:\\";
    std::string modulePath = "C:\\WINNT\\system32\\msiexec.exe";  // the running program
    std::string SystemDir() const { return windowsDir + "\\system32"; }
    Drive &AddDrive(char letter, UINT type = DRIVE_FIXED);
    // Maps a full Windows path ("C:\\x\\y") to the host path, matching existing
    // components without case; components that do not exist are kept as written.
    // Returns false (with a Win32 error) for paths that name no drive of this machine.
    bool HostPath(const std::string &winPath, std::string &hostPath, DWORD *error = nullptr) const;
    // Seeding and reading files by Windows path (directories are created).
    void PutFile(const std::string &winPath, const std::string &content);
    bool GetFile(const std::string &winPath, std::string &content) const;
    bool Exists(const std::string &winPath) const;
    void MakeDirs(const std::string &winPath);

    std::map<std::string, std::string, LessNoCase> environment;

    // Installer
    InstallerSession installer;
    std::map<std::string, InstalledProduct, LessNoCase> products;  // by product code

    // user32
    std::vector<MessageBoxRecord> messageBoxes;
    std::vector<int> scriptedAnswers;  // consumed front first; empty: the default button
    // ANSI code page: 1252 (single byte). 932 makes 0x81-0x9F and 0xE0-0xFC
    // lead bytes, for testing DBCS-aware code.
    unsigned codePage = 1252;

    // Programs and mailslots
    std::map<std::string, Program, LessNoCase> programs;  // by Windows path
    std::set<std::string, LessNoCase> mailslots;          // slot names this machine serves ("STATUS")
    std::vector<MailslotMessage> mailslotLog;             // every message delivered to this machine
    std::map<std::string, std::vector<std::string>, LessNoCase> mailslotQueues;

    // Processes started on this machine, oldest first, and the messages the
    // running program dispatched (DispatchMessageA).
    std::vector<ProcessRecord> processLog;
    std::vector<MSG> dispatchedMessages;
    std::shared_ptr<ProcessTable> processTable;  // winsim's own bookkeeping

    // Free-form facts from a machine description, for later parts of the model.
    std::map<std::string, std::string, LessNoCase> facts;
};

// ---- the world: machines, clock, faults ----------------------------------------
void ResetWorld();
// A Windows 2000 Server named `name` in "WORKGROUP", Administrator running setup,
// drive C: fixed, the usual keys. Becomes the local machine when none is set.
Machine &CreateDefaultMachine(const std::string &name = "QLSERVER");
// Loads a machine image folder: "machine.ini" (description), "registry/*.reg",
// "files/<drive letter>/..." copied into the sandbox. Throws ImageError.
Machine &LoadMachineImage(const std::string &folder);
Machine &LocalMachine();
bool HasLocalMachine();
void SetLocalMachine(Machine &m);
Machine *FindMachine(const std::string &name);  // by name, case-insensitive

// Clock: local time of every machine. Sleep and waits advance it.
void SetClock(const SYSTEMTIME &localTime);
void AdvanceClock(uint64_t ms);
uint64_t ClockMs();  // milliseconds since 1601-01-01
SYSTEMTIME ClockLocalTime();
// Ends the programs whose run time the clock has reached: posts their
// pending messages and runs each effect once. Waits, exit-code queries and
// CreateProcessA do this themselves.
void SettleProcesses();

// Faults: the named function fails with `error` instead of running.
enum class FaultMode { Once, Nth, Always };
void InjectFault(const std::string &function, DWORD error, FaultMode mode = FaultMode::Once, unsigned nth = 1);
void ClearFaults();
unsigned CallCount(const std::string &function);
// Used by every simulated function: counts the call and returns the injected
// error, or 0 when the call is to run.
DWORD TakeFault(const char *function);

// Resources of a module (string table, dialogs), from .rc text.
// Registers the library under test as a module that is always loaded.
HMODULE RegisterBuiltinModule(const std::string &fileName);
void RegisterModuleResources(HMODULE module, const std::string &rcText);
bool LookupString(HMODULE module, UINT id, std::string &out);
// rcText is the headers followed by the script; a malformed text throws
// ImageError naming "QLSETGUI.rc" and the line counted from the start of
// rcText. The form below takes the headers and the script apart so that the
// line is the script's own ("QLSETGUI.rc(12): ...") or the headers'
// ("resource.h"). Resources belong to the module and survive ResetWorld.
void RegisterModuleResources(HMODULE module, const std::string &headersText, const std::string &rcText,
                             const std::string &scriptName = "QLSETGUI.rc");
// A DIALOG or DIALOGEX template of the script, for the dialog manager.
struct DialogTemplate {
    std::string caption;
    struct Control {
        int id;
        std::string cls, text;  // class "Button", "Static", "Edit", ... or as named in CONTROL
        std::string style;      // style expression as written ("BS_AUTOCHECKBOX | WS_TABSTOP"), "" if none
        int x = 0, y = 0, cx = 0, cy = 0;
    };
    std::vector<Control> controls;
    std::string style;     // STYLE statement as written
    std::string fontName;  // FONT statement
    int fontSize = 0;
    bool extended = false;  // DIALOGEX
    int x = 0, y = 0, cx = 0, cy = 0;
};
bool LookupDialog(HMODULE module, UINT id, DialogTemplate &out);

// ---- installer ---------------------------------------------------------------
// The session handle of the local machine's installer, as Windows Installer
// passes it to a custom action (MSIHANDLE, a 32-bit value).
MSIHANDLE OpenInstallerSession();

}  // namespace winsim

#endif
