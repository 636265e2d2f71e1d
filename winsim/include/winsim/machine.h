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
    // The machine's hives (HKEY_LOCAL_MACHINE, HKEY_USERS, ...): walking them
    // all covers the whole registry, the aliases (HKCR, HKCU) included.
    std::vector<std::shared_ptr<RegKey>> Hives() const;
};

// One value as a line of regedit text ("name"=data, without the line end),
// in the form ExportReg writes it; long hex data is continued with "\".
std::string ExportRegValue(const RegValue &value, bool version5 = true);

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
    std::string fileSystem = "NTFS";  // "FAT" keeps no access lists
    std::string label;                // volume name
    DWORD serialNumber = 0x1C2B3A49;
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

// What happened to a session property, in order, so that a runner can place
// it among the log entries: set, changed, removed, or read into a buffer too
// short for it (the caller got the value cut).
struct PropertyEvent {
    enum Kind { Added, Modified, Deleted, CutOnRead } kind;
    std::string name;
    std::string oldValue;  // Modified, Deleted; CutOnRead: the whole value
    std::string newValue;  // Added, Modified; CutOnRead: what the caller received
    DWORD bufferSize = 0;  // CutOnRead: the caller's buffer, in characters
    size_t logPosition = 0;  // number of log entries written before it
    uint64_t atMs = 0;       // machine clock (ClockMs) when it happened
};

struct InstallerSession {
    std::map<std::string, std::string> properties;  // names are case-sensitive
    std::map<int, bool> modes;
    std::map<std::string, Feature> features;
    int installLevel = 1;
    std::vector<InstallerLogEntry> log;
    // Answer MsiProcessMessage gives per message kind (default: IDOK, 0 for INFO).
    std::map<DWORD, int> answers;
    std::vector<PropertyEvent> propertyEvents;
};

// ---- user32 ------------------------------------------------------------------
struct MessageBoxRecord {
    HWND owner;
    std::string caption;
    std::string text;
    UINT style;
    int answer;
};

// A message sent to every top-level window (SendMessageTimeoutA to
// HWND_BROADCAST). For WM_SETTINGCHANGE the text lParam points at ("Environment").
struct BroadcastRecord {
    UINT message = 0;
    WPARAM wParam = 0;
    std::string text;       // lParam's text for WM_SETTINGCHANGE, else empty
    bool hasText = false;   // lParam was a text (not NULL)
    UINT flags = 0;         // SMTO_*
    UINT timeoutMs = 0;
};

// ---- shell ----------------------------------------------------------------------
// One SHChangeNotify: the event and flags as given, the items as text for
// paths and printer names (SHCNF_PATHA, SHCNF_PRINTERA), "0x%08X" for
// SHCNF_DWORD, empty otherwise (and for a NULL item).
struct ShellNotification {
    LONG eventId = 0;
    UINT flags = 0;
    std::string item1, item2;
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

// ---- services ------------------------------------------------------------------
// How a service program answers the service control manager. The programs are
// not run: the manager follows the script on the machine clock. A pending
// state lasts `startPolls` (or `stopPolls`) wait hints; the check point grows
// by one with each wait hint that passes, so a caller that sleeps the wait
// hint between status queries sees it grow once per query.
struct ServiceScript {
    enum Kind {
        Normal,
        HangsStarting,  // stays start pending; the check point never grows
        HangsStopping,  // stays stop pending; the check point never grows
        RefusesStop,    // runs without accepting the stop control
        FailsStart,     // ends stopped with `exitCode` when its start pending is over
    };
    Kind kind = Normal;
    DWORD startPolls = 0;
    DWORD stopPolls = 0;
    DWORD waitHint = 1000;  // milliseconds
    DWORD exitCode = ERROR_SERVICE_SPECIFIC_ERROR;
    DWORD specificExitCode = 1;
};

// What the manager knows of a service beyond its registry key.
struct ServiceRecord {
    ServiceScript script;
    DWORD state = SERVICE_STOPPED;
    uint64_t since = 0;  // machine clock at the last change of state
    DWORD exitCode = 0, specificExitCode = 0;
    bool markedForDelete = false;
    unsigned handles = 0;  // open service handles
};

struct ServiceManagerState {
    std::map<std::string, ServiceRecord, LessNoCase> records;  // by service name
    uintptr_t lock = 0;                                        // the database lock held, 0 for none
};

// ---- accounts, domains and shares ---------------------------------------------
// An account the machine can name: its own users and groups, and the
// accounts of its domain that it knows. Well-known and built-in accounts
// (Everyone, BUILTIN\Administrators, ...) are always there and not listed.
struct Account {
    std::string domain;  // the authority that holds it: this machine's name or its domain's
    std::string name;
    std::string sid;     // "S-1-5-21-...-500"
    int use = 1;         // SID_NAME_USE: 1 user, 2 group, 4 alias
    // Users: what NetUserAdd stored. The password is kept for checks only
    // (CheckPassword); nothing reports it.
    std::string password, fullName, comment;
    DWORD priv = 1, flags = 0x0201;  // USER_PRIV_USER; UF_SCRIPT | UF_NORMAL_ACCOUNT
};

// An LSA account object: the logon rights (POLICY_MODE_* bits) and the
// privileges ("SeBackupPrivilege", ...) granted to one SID.
struct LsaAccountObject {
    DWORD systemAccess = 0;
    std::set<std::string> privileges;
};

// A network share. The security descriptor is kept self-relative, as the
// server stores it; empty means the share has none (everyone has access).
struct Share {
    std::string netname;  // case preserved
    DWORD type = 0;       // STYPE_*
    std::string remark;
    DWORD permissions = 0;
    DWORD maxUses = 0xFFFFFFFF;
    DWORD currentUses = 0;
    std::string path;
    std::string password;
    std::vector<BYTE> securityDescriptor;
};

// One entry of a share's access list, in the list's order.
struct ShareAccessEntry {
    std::string account;  // "DOMAIN\name", a bare name for Everyone, or the SID text when unknown
    bool allow = true;    // access-allowed (true) or access-denied entry
    DWORD mask = 0;
    bool operator==(const ShareAccessEntry &o) const {
        return account == o.account && allow == o.allow && mask == o.mask;
    }
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
    // Version resources of files (GetFileVersionInfoA), by full Windows path:
    // the file and product versions of the fixed part. A file not listed has
    // no version resource.
    struct FileVersion {
        DWORD fileMS = 0, fileLS = 0, productMS = 0, productLS = 0;
    };
    std::map<std::string, FileVersion, LessNoCase> fileVersions;

    std::map<std::string, std::string, LessNoCase> environment;

    // Installer
    InstallerSession installer;
    std::map<std::string, InstalledProduct, LessNoCase> products;  // by product code

    // user32
    std::vector<MessageBoxRecord> messageBoxes;
    std::vector<int> scriptedAnswers;  // consumed front first; empty: the default button
    std::vector<BroadcastRecord> broadcasts;          // in the order sent
    std::vector<ShellNotification> shellNotifications;  // in the order made
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
    std::shared_ptr<std::vector<BYTE>> performanceDataOverride;  // SetPerformanceDataOverride

    // Services: their configuration is the registry's (HKLM\SYSTEM\CurrentControlSet\Services);
    // their state and scripts are the manager's.
    ServiceManagerState serviceManager;

    // Free-form facts from a machine description, for later parts of the model.
    std::map<std::string, std::string, LessNoCase> facts;

    // Security and network: the machine's own SID (its accounts are this
    // plus a relative id), the domain it belongs to (`domain`, empty in a
    // workgroup) with that domain's SID, controllers (the primary first) and
    // trusted domains, the accounts it can name, the privileges the user
    // running setup holds, and its shares.
    std::string machineSid = "S-1-5-21-1004336348-1177238915-682003330";
    std::string domainSid;
    std::vector<std::string> domainControllers;
    std::vector<std::string> trustedDomains;
    std::vector<Account> accounts;
    std::set<std::string, LessNoCase> privileges;
    std::map<std::string, Share, LessNoCase> shares;
    // Users, aliases and rights: the members of each alias (built-in ones
    // such as S-1-5-32-544 and the machine's own) and the LSA account
    // objects, both by SID text; translated names of the built-in domain
    // ("S-1-5-32") and its aliases, for systems in other languages; the
    // password rules NetUserAdd and NetUserChangePassword apply (minimum
    // length, and how many earlier passwords a new one may not repeat, the
    // present one included). `userIsAdministrator` puts the user running
    // setup into the Administrators alias when the machine is built.
    std::map<std::string, std::set<std::string>, LessNoCase> aliasMembers;
    std::map<std::string, LsaAccountObject, LessNoCase> lsaAccounts;
    std::map<std::string, std::string, LessNoCase> builtinNames;
    DWORD minPasswordLength = 0, passwordHistory = 0;
    bool userIsAdministrator = true;
    // Adds an account of this machine (domain empty) or of a domain, giving it
    // the next relative id of that authority unless `sid` is set.
    Account &AddAccount(const std::string &name, int use = 1, const std::string &domain = "",
                        const std::string &sid = "");
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
// Used by every simulated function: runs a before-call hook that is due,
// counts the call and returns the injected error, or 0 when the call is to run.
DWORD TakeFault(const char *function);

// Before-call hooks: `callback` runs inside the named function (e.g.
// "LockFile"), at its very start, before the function looks at its arguments
// or takes any lock, so a test can change the machine at that moment (lock
// the range from another handle, advance the clock). `mode` and `nth` pick the
// calls as for InjectFault: Once (the next call), Nth (the nth call from now,
// then no more) or Always. While a callback runs, calls (its own included)
// count and take injected faults but run no hooks. A callback may throw; the
// exception leaves the simulated function before it did anything. Setting a
// hook replaces the function's earlier one; an empty callback removes it.
// ResetWorld and ClearBeforeCallHooks remove all hooks.
void SetBeforeCallHook(const std::string &function, std::function<void()> callback,
                       FaultMode mode = FaultMode::Once, unsigned nth = 1);
void ClearBeforeCallHooks();

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
        std::string kind;       // the statement: "AUTOCHECKBOX", "EDITTEXT", "CONTROL" ... (upper case)
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

// ---- dialogs on screen ----------------------------------------------------------
// What a dialog of this process shows: its controls in template order.
struct DialogControlView {
    HWND hwnd = nullptr;
    int id = 0;
    std::string cls, text;
    DWORD style = 0;
    bool visible = false, enabled = false, focused = false;
    UINT check = 0;                  // buttons: BST_
    std::vector<std::string> items;  // combo and list boxes
    int selection = -1;
    size_t limit = 0;  // edits: EM_LIMITTEXT
};
struct DialogView {
    HWND hwnd = nullptr;
    UINT templateId = 0;
    std::string caption;
    DWORD style = 0;
    bool visible = false, enabled = false, modal = false;
    RECT rect{};      // screen pixels (800 x 600 screen)
    unsigned z = 0;   // higher is nearer the top
    unsigned updates = 0;  // UpdateWindow calls
    std::vector<DialogControlView> controls;
};
// Open dialogs, oldest first; the newest of a template, or null.
std::vector<HWND> OpenDialogs();
HWND FindOpenDialog(UINT templateId);
bool DescribeDialog(HWND dialog, DialogView &out);
// The dialog as text, one control a line: id, kind, text, items, state.
std::string DialogText(HWND dialog);
// The person at the screen. Each does what the action does on Windows and
// sends the dialog what Windows sends (focus, EN_UPDATE/EN_CHANGE, BN_CLICKED,
// CBN_SELCHANGE, WM_LBUTTONDOWN/UP); each refuses (false, nothing sent) a
// control that is missing, of another kind, hidden or disabled, or a dialog
// that is hidden or disabled (under a modal one).
bool TypeIntoDialog(HWND dialog, int id, const std::string &text);  // replaces the edit's text, cut to its limit
bool ClickDialogControl(HWND dialog, int id);                        // a button, check box or radio button
bool SelectInDialog(HWND dialog, int id, const std::string &item);   // a combo box entry, by text
bool ClickDialog(HWND dialog);                                       // a left click on the dialog itself
enum class DialogKey { Enter, Escape };
bool PressDialogKey(HWND dialog, DialogKey key);  // IDOK / IDCANCEL
// DialogBoxParamA calls the driver once its dialog is shown; the driver acts
// on it (and on the dialogs it opens, which call the driver again) and
// returns. A dialog still open then gets Escape; one that still does not end
// is destroyed and DialogBoxParamA returns -1 (ERROR_TIMEOUT). ResetWorld
// removes the driver.
using ModalDialogDriver = std::function<void(HWND dialog, UINT templateId)>;
void SetModalDialogDriver(ModalDialogDriver driver);

// ---- services ------------------------------------------------------------------
// A service as a machine image or a test declares it. The key under
// HKLM\SYSTEM\CurrentControlSet\Services is written as CreateService writes it.
struct ServiceConfig {
    std::string name, displayName, imagePath, group;
    std::string account = "LocalSystem";  // ignored for drivers
    DWORD type = SERVICE_WIN32_OWN_PROCESS;
    DWORD startType = SERVICE_DEMAND_START;
    DWORD errorControl = SERVICE_ERROR_NORMAL;
    std::vector<std::string> dependencies;
};
// state: SERVICE_STOPPED or SERVICE_RUNNING.
void AddService(Machine &m, const ServiceConfig &config, DWORD state = SERVICE_STOPPED,
                const ServiceScript &script = ServiceScript());
// Throws std::invalid_argument when the machine has no such service.
void SetServiceScript(Machine &m, const std::string &name, const ServiceScript &script);
// The state the manager reports now (after the script's progress on the
// clock); 0 when the machine has no such service.
DWORD ServiceState(Machine &m, const std::string &name);

// A service as a report shows it, and the services of a machine by name.
struct ServiceInfo {
    std::string name, displayName, imagePath, account;
    DWORD startType = 0;
    DWORD state = 0;  // SERVICE_STOPPED ... SERVICE_PAUSED
    bool markedForDelete = false;
};
typedef std::vector<ServiceInfo> ServiceSnapshot;  // sorted by name without case
ServiceSnapshot SnapshotServices(Machine &m);
// One line per service that differs, in name order:
//   created NAME: "DISPLAY", START start, ACCOUNT, "IMAGE", STATE
//   changed NAME: display "A" -> "B"; start demand -> auto; account ...; image "A" -> "B"
//   started NAME (STATE)            stopped NAME
//   NAME: STATE -> STATE            (other changes of state)
//   marked for deletion NAME        deleted NAME
std::vector<std::string> DiffServices(const ServiceSnapshot &before, const ServiceSnapshot &after);
// "stopped", "start pending", "stop pending", "running", ... and "boot",
// "system", "auto", "demand", "disabled".
std::string ServiceStateName(DWORD state);
std::string ServiceStartName(DWORD startType);


// ---- accounts and shares ----------------------------------------------------------
// The access list of a share, entry by entry in order. Throws
// std::out_of_range when the machine has no such share; a share without a
// security descriptor gives an empty list.
std::vector<ShareAccessEntry> ShareAccessList(const Machine &m, const std::string &netname);
// The machine's shares as text: one line per share ("Quillbak$ C:\QB
// \"remark\""), then one indented line per access-list entry ("  allow
// BUILTIN\Administrators 0x001F01FF"), shares in name order.
std::vector<std::string> DescribeShares(const Machine &m);
// "DOMAIN\name" (or the bare well-known name) of a SID text as the machine
// names it; the SID text itself when it names nothing.
std::string AccountNameOfSid(const Machine &m, const std::string &sid);
// Users, alias members and rights. CheckPassword: whether `user` (an
// account of the machine, "DOMAIN\name" or a bare name) has that password.
// AliasMembers: the members of an alias given by SID text or name, as
// "DOMAIN\name" in SID order. DescribeAccounts: one line per user ("user
// QLSERVER\svc"), per membership ("member BUILTIN\Administrators:
// QLSERVER\svc") and per LSA account object ("rights BUILTIN\Backup
// Operators: SeBackupPrivilege, SeInteractiveLogonRight, ..."), never a
// password. OpenTokenHandles: token handles open now (a leak shows).
bool CheckPassword(const Machine &m, const std::string &user, const std::string &password);
std::vector<std::string> AliasMembers(const Machine &m, const std::string &alias);
std::vector<std::string> DescribeAccounts(const Machine &m);
unsigned OpenTokenHandles();
// Handle accounting: what the simulated calls handed out and nobody closed
// or freed yet, on every machine. Kinds: "Key" (registry), "File", "Find",
// "Token", "Process", "Thread", "Mutex", "Mailslot", "MailslotClient",
// "LsaPolicy", "LsaAccount", "ServiceManager", "Service", "ServiceLock",
// "MsiHandle", "Module" (one per load), "NetBuffer", "LsaMemory",
// "LocalMemory", "HeapMemory", "Sid", "PrivateSecurity", "ItemList",
// "Window" (a modeless dialog), "Com" (one per successful CoInitialize).
// `openedBy` is the function that handed it out. A handle counts on the
// machine it belongs to (a remote registry key on the remote machine), a
// kernel handle or block on the machine that was local when it was made.
struct OpenHandleInfo {
    std::string machine, kind, openedBy;
};
std::vector<OpenHandleInfo> OpenHandles();
unsigned OpenHandleCount(const Machine &m, const std::string &kind = "");
// One line per machine, kind and function ("QLSERVER Key from
// RegOpenKeyExA (2)"), empty when nothing is open.
std::string DescribeOpenHandles();
// Forgets what is open now: for a test that made a close or free fail on
// purpose, whose handle or block then stays open by design.
void ForgetOpenHandles();
// The network connections the local machine holds, in the order made:
// "\\SERVER\SHARE" (or "\\SERVER") in upper case, the user given (empty:
// the user running the program) and how many times it was made.
struct NetConnectionInfo {
    std::string remote, user;
    unsigned uses = 0;
};
std::vector<NetConnectionInfo> NetConnections();
// The strings a combo box holds, in its order; empty for a window that is
// not a combo box.
std::vector<std::string> ComboBoxStrings(HWND comboBox);

// ---- running programs and their windows --------------------------------------
// A top-level window of a running program. The program decides what a close
// request does: with `closes` the window goes away (and the program ends
// with its last window); without, it stays.
struct ProgramWindowDecl {
    std::string className;
    std::string title;
    bool closes = true;
    UINT closeMessage = 0;  // a private message on which the program closes the window in any case
};
// A program that runs on the machine until it is closed or ended, by the
// Windows path of its image; it may hold a named mutex (its single-instance
// mutex) as long as it runs.
struct RunningProgramDecl {
    std::string image;
    std::vector<ProgramWindowDecl> windows;
    std::string mutex;
    DWORD exitCode = 0;  // when it ends by closing its last window
    // Runs under the local system account (a service's program). Its process
    // grants the user running setup only query, read and synchronize rights:
    // without the debug privilege the user cannot open it to end it.
    bool systemAccount = false;
};
// Starts it; returns its process id.
DWORD StartRunningProgram(Machine &m, const RunningProgramDecl &program);
// A process of the machine as a report shows it.
struct ProcessInfo {
    DWORD pid = 0;
    std::string image;      // full Windows path
    bool running = false;
    bool closeRequested = false;  // a close message reached one of its windows
    bool terminated = false;      // ended by TerminateProcess
    DWORD exitCode = 0;
};
// Every process the machine has had (running programs and started ones), by id.
std::vector<ProcessInfo> SnapshotProcesses(Machine &m);
// The performance data block HKEY_PERFORMANCE_DATA gives for a value name
// ("Global", or object title indexes such as "230") on the machine now.
std::vector<BYTE> BuildPerformanceData(Machine &m, const std::string &valueName);
// Makes HKEY_PERFORMANCE_DATA answer with these bytes as they are (to try a
// caller on malformed data); null goes back to the machine's own data.
void SetPerformanceDataOverride(Machine &m, std::shared_ptr<std::vector<BYTE>> block);

// ---- installer ---------------------------------------------------------------
// The session handle of the local machine's installer, as Windows Installer
// passes it to a custom action (MSIHANDLE, a 32-bit value).
MSIHANDLE OpenInstallerSession();

}  // namespace winsim

#endif
