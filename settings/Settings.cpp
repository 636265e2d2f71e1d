#include "Settings.h"

#include "CommandLineMap.h"
#include "SetupIcf.h"
#include "SetupInf.h"
#include "registry/HarnRegistry.h"
#include "system/Computer.h"
#include "system/CurrentUser.h"
#include "system/JobQueue.h"
#include "system/SetupPaths.h"

#include <cstdlib>
#include <cstring>

// ---- free functions on paths ------------------------------------------------------
int TrimTailBackSlash(CString &str) {
    for (;;) {
        int n = str.GetLength();
        if (n == 0 || str[n - 1] != '\\') break;
        // The backslash may be the second byte of a double-byte character.
        if (n >= 2 && IsDBCSLeadByte((BYTE)str[n - 2])) break;
        str = str.Left(n - 1);
    }
    return str.GetLength();
}

int AppendBackSlash(CString &str) {
    if (TrimTailBackSlash(str) != 0) str += '\\';
    return str.GetLength();
}

// ---- construction -------------------------------------------------------------------
void CSettings::SetDefaults() {
    m_bUninstall = 0;
    m_strProfile.Empty();
    m_strTraceFile.Empty();
    m_strSourcePath.Empty();
    m_strBatchFile.Empty();
    m_strMIFFile.Empty();
    m_bMIF = 0;
    m_bBatchOperation = 0;
    m_bIgnoreErrors = 0;
    m_bTrace = 0;
    m_strLogFile.Empty();
    m_bRemoteSetup = 0;
    m_strRemoteHostServer.Empty();
    m_bCustomSetup = 0;
    m_bAborted = 0;
    m_strProgramGroupName.Empty();
    m_bConfigurationOnly = 0;
    m_bReboot = 0;
    m_strProductName.Empty();
    m_strProductShortName.Empty();
    m_strEditionName.Empty();
    m_strProduct.Empty();
    m_strComponentCode.Empty();
    m_bIsUpgrade = 0;
    m_strRegisteredUser.Empty();
    m_strRegisteredCompany.Empty();
    m_bQuillbakExists = 0;
    m_bAlertExists = 0;
    m_bNewAlertExists = 0;
    m_bVaxwallExists = 0;
    m_bClientAgentExists = 0;
    m_strCurrentQuillbakPath.Empty();
    m_strCurrentAlertPath.Empty();
    m_strCurrentClientAgentPath.Empty();
    m_strQuillbakPath.Empty();
    m_strAlertPath.Empty();
    m_strClientAgentPath.Empty();
    m_strSystemAccountServer.Empty();
    m_strSystemAccountDomain.Empty();
    m_strSystemAccountName.Empty();
    m_strSystemAccountPassword.Empty();
    m_dwComponents = 0;
    m_bHSMAvailable = 0;
    m_bPNRFWAvailable = 0;
    m_strPNRFWSetupFileName.Empty();
    m_strLaunchSetupProductName.Empty();
    m_strLaunchSetupFileName.Empty();
    m_bReplaceAlert = 0;
    m_lProductType = 0;
    m_nProductSubType = 0;
    m_bRAIDAvailable = 0;
    m_bChangerAvailable = 0;
    m_dwDatabases = INSTALL_RAIMA;
    m_bOverwriteDB = 0;
    m_bDBExists = 0;
    m_bDeleteQueue = 0;
    m_bQueueExists = 0;
    m_bAutoStartServices = 0;
    m_bIsCopyOnlyMode = 0;
    m_dwInstallDBType = 2;
}

CSettings::CSettings() { SetDefaults(); }

namespace {
// Text of a record field: up to its terminator, never past its capacity.
template <size_t N>
CString FieldText(const char (&field)[N]) {
    size_t n = 0;
    while (n < N && field[n]) ++n;
    return CString(field, (int)n);
}
}  // namespace

CSettings::CSettings(const tagSETUP_INFO *pInfo, int bUninstall) {
    SetDefaults();
    if (pInfo) {
        m_strProductName = FieldText(pInfo->szProductName);
        m_strProfile = FieldText(pInfo->szProfile);
        m_strTraceFile = FieldText(pInfo->szTraceFile);
        m_strSourcePath = FieldText(pInfo->szSourcePath);
        m_strBatchFile = FieldText(pInfo->szBatchFile);
        m_strMIFFile = FieldText(pInfo->szMIFFile);
        m_strProgramGroupName = FieldText(pInfo->szProgramGroup);
        m_strLogFile = FieldText(pInfo->szLogFile);
        m_lProductType = pInfo->lProductType;
        m_bIgnoreErrors = pInfo->bIgnoreErrors;
        m_bTrace = pInfo->bTrace;
        m_bBatchOperation = pInfo->bBatchOperation;
        m_bMIF = pInfo->bMIF;
        m_bConfigurationOnly = pInfo->bConfigurationOnly;
        m_bIsCopyOnlyMode = pInfo->bCopyOnlyMode;
    }
    m_bUninstall = bUninstall;
    m_bRemoteSetup = 0;
    m_strRemoteHostServer.Empty();
    m_bCustomSetup = 0;
    m_bAborted = 0;
    SplitProductName();
}

CSettings::CSettings(const CSettings &other) { *this = other; }

CSettings &CSettings::operator=(const CSettings &o) {
    if (this == &o) return *this;
    m_bUninstall = o.m_bUninstall;
    m_strProfile = o.m_strProfile;
    m_strTraceFile = o.m_strTraceFile;
    m_strSourcePath = o.m_strSourcePath;
    m_strBatchFile = o.m_strBatchFile;
    m_strMIFFile = o.m_strMIFFile;
    m_bMIF = o.m_bMIF;
    m_bBatchOperation = o.m_bBatchOperation;
    m_bIgnoreErrors = o.m_bIgnoreErrors;
    m_bTrace = o.m_bTrace;
    m_strLogFile = o.m_strLogFile;
    m_bRemoteSetup = o.m_bRemoteSetup;
    m_strRemoteHostServer = o.m_strRemoteHostServer;
    m_bCustomSetup = o.m_bCustomSetup;
    m_bAborted = o.m_bAborted;
    m_strProgramGroupName = o.m_strProgramGroupName;
    m_bConfigurationOnly = o.m_bConfigurationOnly;
    m_bReboot = o.m_bReboot;
    m_strProductName = o.m_strProductName;
    m_strProductShortName = o.m_strProductShortName;
    m_strEditionName = o.m_strEditionName;
    m_strProduct = o.m_strProduct;
    m_strComponentCode = o.m_strComponentCode;
    m_bIsUpgrade = o.m_bIsUpgrade;
    m_strRegisteredUser = o.m_strRegisteredUser;
    m_strRegisteredCompany = o.m_strRegisteredCompany;
    m_bQuillbakExists = o.m_bQuillbakExists;
    m_bAlertExists = o.m_bAlertExists;
    m_bNewAlertExists = o.m_bNewAlertExists;
    m_bVaxwallExists = o.m_bVaxwallExists;
    m_bClientAgentExists = o.m_bClientAgentExists;
    m_strCurrentQuillbakPath = o.m_strCurrentQuillbakPath;
    m_strCurrentAlertPath = o.m_strCurrentAlertPath;
    m_strCurrentClientAgentPath = o.m_strCurrentClientAgentPath;
    m_strQuillbakPath = o.m_strQuillbakPath;
    m_strAlertPath = o.m_strAlertPath;
    m_strClientAgentPath = o.m_strClientAgentPath;
    m_strSystemAccountServer = o.m_strSystemAccountServer;
    m_strSystemAccountDomain = o.m_strSystemAccountDomain;
    m_strSystemAccountName = o.m_strSystemAccountName;
    m_strSystemAccountPassword = o.m_strSystemAccountPassword;
    m_dwComponents = o.m_dwComponents;
    m_bHSMAvailable = o.m_bHSMAvailable;
    m_bPNRFWAvailable = o.m_bPNRFWAvailable;
    m_strPNRFWSetupFileName = o.m_strPNRFWSetupFileName;
    m_strLaunchSetupProductName = o.m_strLaunchSetupProductName;
    m_strLaunchSetupFileName = o.m_strLaunchSetupFileName;
    m_bReplaceAlert = o.m_bReplaceAlert;
    m_lProductType = o.m_lProductType;
    m_nProductSubType = o.m_nProductSubType;
    m_bRAIDAvailable = o.m_bRAIDAvailable;
    m_bChangerAvailable = o.m_bChangerAvailable;
    m_dwDatabases = o.m_dwDatabases;
    m_bOverwriteDB = o.m_bOverwriteDB;
    m_bDBExists = o.m_bDBExists;
    m_bDeleteQueue = o.m_bDeleteQueue;
    m_bQueueExists = o.m_bQueueExists;
    m_bAutoStartServices = o.m_bAutoStartServices;
    m_bIsCopyOnlyMode = o.m_bIsCopyOnlyMode;
    m_dwInstallDBType = o.m_dwInstallDBType;
    return *this;
}

CSettings::~CSettings() {}

void CSettings::SplitProductName() {
    int sep = m_strProductName.Find(" - ");
    if (sep >= 0) {
        m_strProductShortName = m_strProductName.Left(sep);
        m_strEditionName = m_strProductName.Mid(sep + 3);
    } else {
        m_strProductShortName = m_strProductName;
        m_strEditionName.Empty();
    }
}

// ---- derived values ----------------------------------------------------------------
int CSettings::NewQuillbakInstall() const {
    if (!m_bQuillbakExists) return TRUE;
    return strcmp(m_strCurrentQuillbakPath, m_strQuillbakPath) != 0;
}

int CSettings::NewAlertInstall() const {
    if (!m_bAlertExists) return TRUE;
    return strcmp(m_strCurrentAlertPath, m_strAlertPath) != 0;
}

unsigned long CSettings::DiskSpaceNeeded() const {
    if (m_dwComponents == 0) return 0;
    unsigned long space = InstallManager() ? 22800 : 9800;
    if (InstallServer()) space += 12300;
    if (InstallAdmin()) space += 700;
    if (InstallAlert()) space += 2000;
    return space;
}

// ---- setters -------------------------------------------------------------------------
void CSettings::SetPath(CString &field, LPCSTR path) {
    field = Safe(path);
    if (!field.IsEmpty()) AppendBackSlash(field);
}

void CSettings::InstallManager(int on) {
    if (on)
        AddComponent(INSTALL_MANAGER);
    else
        RemoveComponent(INSTALL_MANAGER);
}

// Selecting the server brings its administration tools; deselecting leaves them.
void CSettings::InstallServer(int on) {
    if (on)
        AddComponent(INSTALL_SERVER | INSTALL_ADMIN);
    else
        RemoveComponent(INSTALL_SERVER);
}

void CSettings::InstallAdmin(int on) {
    if (on)
        AddComponent(INSTALL_ADMIN);
    else
        RemoveComponent(INSTALL_ADMIN);
}

void CSettings::InstallAlert(int on) {
    if (on)
        AddComponent(INSTALL_ALERT);
    else
        RemoveComponent(INSTALL_ALERT);
}

void CSettings::InstallHSM(int on) {
    if (on && m_bHSMAvailable)
        AddComponent(INSTALL_HSM | INSTALL_MANAGER);
    else
        RemoveComponent(INSTALL_HSM);
}

void CSettings::InstallPNR(int on) {
    if (on && m_bPNRFWAvailable && !m_bBatchOperation)
        AddComponent(INSTALL_PNR | INSTALL_MANAGER);
    else
        RemoveComponent(INSTALL_PNR);
}

void CSettings::UninstallQuillbak(int on) {
    if (on)
        AddComponent(UNINSTALL_QUILLBAK);
    else
        RemoveComponent(UNINSTALL_QUILLBAK);
}

void CSettings::InstallSQL(int on) {
    if (on)
        AddDatabase(INSTALL_SQL);
    else
        RemoveDatabase(INSTALL_SQL);
}

void CSettings::InstallRAIMA(int on) {
    if (on)
        AddDatabase(INSTALL_RAIMA);
    else
        RemoveDatabase(INSTALL_RAIMA);
}

void CSettings::CustomSetup(int value) {
    m_bCustomSetup = value;
    if (value == 0) {
        InstallServer(TRUE);
        InstallManager(TRUE);
        InstallAlert(TRUE);
        InstallAdmin(TRUE);
        InstallHSM(m_bHSMAvailable);
        InstallPNR(m_bPNRFWAvailable);
    }
}

// ---- Initialize ------------------------------------------------------------------------
namespace {

typedef int(WINAPI *HPGetProductMapInfoFn)(long productType, void *record);
typedef int(WINAPI *HPGetProductComponentCode2AFn)(long productType, signed char subType, char *code);
typedef int(WINAPI *AlGetBuildNumberAFn)(char *buffer);

template <class F>
F ProcOf(HMODULE module, LPCSTR name) {
    return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}


}  // namespace

unsigned long CarriedAlertBuildNumber() {
    CString path = RunningProgramFolder() + "NOTIFVER.DLL";
    HMODULE lib = LoadLibraryA(path);
    if (!lib) return 0;
    unsigned long build = 0;
    if (AlGetBuildNumberAFn fn = ProcOf<AlGetBuildNumberAFn>(lib, "AlGetBuildNumberA")) {
        char text[256];
        memset(text, 0, sizeof text);
        fn(text);
        text[sizeof text - 1] = '\0';
        build = strtoul(text, NULL, 10);
    }
    FreeLibrary(lib);
    return build;
}

void CSettings::Initialize() {
    // The configuration file serves the whole call; a missing BatchFile
    // falls back to the one beside the running program.
    CComputer computer;
    CSetupIcf icf(m_strBatchFile);
    // What the installed product recorded on this machine, read once.
    CHarnRegistry registry(KEY_READ, NULL);
    InitProductMapName();
    InitRegisteredOwner(registry);
    InitQuillbakHome(registry);
    if (m_lProductType == 24) InitBaseProductFacts(registry);
    if (m_lProductType == 36 || m_lProductType == 62) InitClientAgentHome(registry);
    if (m_bUninstall) {
        InitRecordedSubType(registry);
        InitUninstallSelection(icf);
        return;
    }
    const CString programFiles = ProgramFilesRoot();
    InitUpgradeFlag(registry);
    // Looking for the setup information file makes its folder the current
    // directory, so it is opened only now.
    CSetupInf inf;
    InitSetupInformation(inf);
    InitComponentCode();
    if (m_lProductType == 24)
        InitBaseProductDefaults(programFiles, computer, inf, icf);
    else
        InitAgentDefaults(programFiles, icf);
    InitRemoteSetup();
}

// The product's code name from the product map of "HarnProd.dll".
void CSettings::InitProductMapName() {
    HMODULE lib = LoadLibraryA("HarnProd.dll");
    if (!lib) return;
    if (HPGetProductMapInfoFn fn = ProcOf<HPGetProductMapInfoFn>(lib, "HPGetProductMapInfo")) {
        BYTE record[28];
        memset(record, 0, sizeof record);
        fn(m_lProductType, record);
        char name[24];
        memcpy(name, record + 4, 23);
        name[23] = '\0';
        m_strProduct = name;
    }
    FreeLibrary(lib);
}

// Registered owner and organisation of the machine; a value that cannot be
// read leaves the field as it was.
void CSettings::InitRegisteredOwner(CHarnRegistry &registry) {
    CString owner = registry.GetRegisteredOwner();
    if (!owner.IsEmpty()) m_strRegisteredUser = owner;
    CString organization = registry.GetRegisteredOrganization();
    if (!organization.IsEmpty()) m_strRegisteredCompany = organization;
}

// The registered home directory is both the target and the current home.
void CSettings::InitQuillbakHome(CHarnRegistry &registry) {
    QuillbakPath(registry.GetQuillbakHomeDir());
    m_strCurrentQuillbakPath = m_strQuillbakPath;
    m_bQuillbakExists = !m_strCurrentQuillbakPath.IsEmpty();
}

void CSettings::InitBaseProductFacts(CHarnRegistry &registry) {
    AlertPath(registry.GetAlertHomeDir());
    m_strCurrentAlertPath = m_strAlertPath;
    m_bAlertExists = !m_strCurrentAlertPath.IsEmpty();
    m_bVaxwallExists = CHarnRegistry::VaxwallExists(NULL);

    m_bQueueExists = CJobQueue::QueueExists();

    // A database exists when its registered folder holds a database file.
    CString database = registry.GetQuillbakDBDir();
    m_bDBExists = 0;
    if (!database.IsEmpty() && CComputer::PathExists(database)) {
        AppendBackSlash(database);
        m_bDBExists = !CComputer::PathEmpty(database, "QL*.DBD");
    }

    if (!m_bUninstall) m_bNewAlertExists = CarriedAlertBuildNumber() < registry.GetAlertBuildNumber();
}

void CSettings::InitClientAgentHome(CHarnRegistry &registry) {
    ClientAgentPath(registry.GetClientAgentHomeDir());
    m_strCurrentClientAgentPath = m_strClientAgentPath;
    m_bClientAgentExists = !m_strCurrentClientAgentPath.IsEmpty();
}

// The sub-type the installed product recorded; 0xFF (no record) gives -1.
void CSettings::InitRecordedSubType(CHarnRegistry &registry) {
    if (m_strProduct.IsEmpty()) return;
    m_nProductSubType = (signed char)registry.GetSubType(m_strProduct);
}

void CSettings::InitUninstallSelection(CSetupIcf &icf) {
    if (m_lProductType != 24) return;
    UninstallQuillbak(TRUE);
    // The anti-virus product relies on the alert component.
    InstallAlert(!m_bVaxwallExists);
    InstallSQL(FALSE);
    if (m_bBatchOperation) {
        UninstallQuillbak(icf.UninstallQuillbak());
        InstallAlert(icf.UninstallAlert() && !m_bVaxwallExists);
    }
}

CString CSettings::ProgramFilesRoot() const {
    char root[260] = "";
    HKEY key;
    BOOL found = FALSE;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        DWORD type = 0, size = sizeof root;
        if (RegQueryValueExA(key, "ProgramFilesDir", NULL, &type, (LPBYTE)root, &size) == ERROR_SUCCESS) {
            root[size < sizeof root ? size : sizeof root - 1] = '\0';
            found = TRUE;
        }
        RegCloseKey(key);
    }
    CString result;
    if (found) {
        result = root;
    } else {
        // Without a fixed drive the first-drive answer ('Z') names no disk of
        // this machine: no folder is built on it, the root stays empty.
        char drive = CComputer::FindFirstHardDrive();
        CString driveRoot;
        driveRoot.Format("%c:\\", drive);
        if (GetDriveTypeA(driveRoot) == DRIVE_FIXED) result.Format("%c:", drive);
    }
    return result;
}

// An installed version older than 6.6 is upgraded; the flag is only raised.
void CSettings::InitUpgradeFlag(CHarnRegistry &registry) {
    if (m_strProduct.IsEmpty()) return;
    const WORD version = registry.GetVersionNumber(m_strProduct);
    if (version != 0 && version < 0x0606) m_bIsUpgrade = 1;
}

// The setup information file of the medium tells the edition.
void CSettings::InitSetupInformation(CSetupInf &inf) {
    if (!m_strSourcePath.IsEmpty()) inf.SetQLBsetupINFName(m_strSourcePath + CSetupInf::m_sQLBSETUP_INF);
    m_nProductSubType = inf.GetProductSubType();
}

void CSettings::InitComponentCode() {
    HMODULE lib = LoadLibraryA("HarnProd.dll");
    if (!lib) return;
    if (HPGetProductComponentCode2AFn fn = ProcOf<HPGetProductComponentCode2AFn>(lib, "HPGetProductComponentCode2A")) {
        char code[8];
        memset(code, 0, sizeof code);
        fn(m_lProductType, (signed char)m_nProductSubType, code);
        code[7] = '\0';
        m_strComponentCode = code;
        m_strComponentCode.MakeUpper();
    }
    FreeLibrary(lib);
}

namespace {

// The last component of a configured folder, with its leading backslash:
// "D:\Apps\Quillbak\" gives "\Quillbak". Only the folder's name moves to
// this machine's Program Files, so a bare name ("QB") gets its separator
// too, and a value that names no folder ("D:\") gives nothing.
CString LastPathComponent(LPCSTR path) {
    CString text(path);
    TrimTailBackSlash(text);
    int slash = text.ReverseFind('\\');
    CString name = slash >= 0 ? text.Mid(slash + 1) : text;
    if (name.IsEmpty() || name.Find(':') >= 0) return CString();
    return "\\" + name;
}

// A built-in default folder from its first backslash on ("C:\ALERT" gives
// "\ALERT"), so that it lands below the Program Files root.
CString TailFromFirstBackSlash(LPCSTR path) {
    CString text(path);
    int slash = text.Find('\\');
    return slash >= 0 ? text.Mid(slash) : CString();
}

}  // namespace

void CSettings::InitBaseProductDefaults(const CString &programFiles, const CComputer &computer, CSetupInf &inf,
                                        CSetupIcf &icf) {
    // What the medium carries.
    m_bHSMAvailable = inf.IsHSMAvailable();
    m_bPNRFWAvailable = inf.IsPNRFWAvailable();
    m_strPNRFWSetupFileName = inf.GetPNRFWSetupFileName();
    m_strLaunchSetupProductName = inf.GetSetupProductName();
    m_strLaunchSetupFileName = inf.GetSetupFileName();

    // Edition rules by sub-type.
    switch (m_nProductSubType) {
    case 0:
        m_bHSMAvailable = 0;
        break;
    case 1:
    case 2:
        m_bChangerAvailable = 1;
        m_bRAIDAvailable = 1;
        break;
    case 3:
    case 4:
        m_bChangerAvailable = 1;
        m_bHSMAvailable = 0;
        break;
    default:
        break;
    }

    // Account defaults: this machine, and the user running setup.
    m_strSystemAccountServer = computer.Name();
    CCurrentUser user;
    m_strSystemAccountDomain = user.GetDomain();
    m_strSystemAccountName = user.GetUser();

    // Express selection.
    InstallManager(TRUE);
    InstallServer(TRUE);
    InstallAdmin(TRUE);
    InstallAlert(TRUE);
    InstallHSM(m_bHSMAvailable);
    InstallPNR(m_bPNRFWAvailable);

    if (icf.Exists() && !m_bIsCopyOnlyMode) InitConfigurationDefaults(programFiles, icf);

    // Built-in defaults below the Program Files root (none without one).
    if (programFiles.IsEmpty()) return;
    if (m_strQuillbakPath.IsEmpty()) QuillbakPath(programFiles + TailFromFirstBackSlash(CSetupIcf::DefaultQuillbakPath()));
    if (m_strAlertPath.IsEmpty()) AlertPath(programFiles + TailFromFirstBackSlash(CSetupIcf::DefaultAlertPath()));
}

// The configuration file's folders, moved below this machine's Program Files;
// in a batch run everything the file answers.
void CSettings::InitConfigurationDefaults(const CString &programFiles, CSetupIcf &icf) {
    if (m_strQuillbakPath.IsEmpty() && !programFiles.IsEmpty()) {
        CString folder = LastPathComponent(icf.QuillbakPath());
        if (!folder.IsEmpty()) QuillbakPath(programFiles + folder);
    }
    if (m_strAlertPath.IsEmpty() && !programFiles.IsEmpty()) {
        CString folder = LastPathComponent(icf.AlertPath());
        if (!folder.IsEmpty()) AlertPath(programFiles + folder);
    }
    if (!m_bBatchOperation) return;

    QuillbakPath(icf.QuillbakPath());
    AlertPath(icf.AlertPath());
    m_strRegisteredUser = icf.FullName();
    m_strRegisteredCompany = icf.CompanyName();
    m_strSystemAccountDomain = icf.SystemAccountDomain();
    m_strSystemAccountName = icf.SystemAccountUser();
    m_strSystemAccountPassword = icf.SystemAccountPassword();
    InstallManager(icf.InstallManager());
    InstallServer(icf.InstallServer());
    InstallAdmin(icf.InstallAdmin());
    InstallAlert(icf.InstallAlert());
    InstallHSM(icf.InstallHSM() && !m_bRemoteSetup && m_bHSMAvailable);
    InstallPNR(icf.InstallPNR());
    const int sql = icf.SQLDB();
    InstallSQL(sql);
    InstallRAIMA(!sql);
    m_bOverwriteDB = icf.OverwriteDB();
    m_bDeleteQueue = icf.OverwriteJobQueue();
    // The file made the choice: no express re-selection.
    m_bCustomSetup = 1;
}

void CSettings::InitAgentDefaults(const CString &programFiles, CSetupIcf &icf) {
    if (icf.Exists() && !m_bIsCopyOnlyMode) {
        if (m_strClientAgentPath.IsEmpty() && !programFiles.IsEmpty()) {
            CString folder = LastPathComponent(icf.ClientAgentPath());
            if (!folder.IsEmpty()) ClientAgentPath(programFiles + folder);
        }
        if (m_bBatchOperation) ClientAgentPath(icf.ClientAgentPath());
    }
    if (m_strClientAgentPath.IsEmpty() && !programFiles.IsEmpty()) ClientAgentPath(programFiles + "\\AGENT");
}

void CSettings::InitRemoteSetup() {
    char windows[261] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    windows[sizeof windows - 1] = '\0';
    CString hostIni(windows);
    AppendBackSlash(hostIni);
    hostIni += "HOST.INI";
    CCommandLineMap commandLine(GetCommandLineA(), '-');
    CString host;
    if (commandLine.GetSwitch('r', host, NULL)) {
        m_bRemoteSetup = 1;
        m_strRemoteHostServer = host;
    } else if (CComputer::PathExists(hostIni)) {
        m_bRemoteSetup = 1;
        char name[16] = "";
        if (GetPrivateProfileStringA("HostServer", "Name", "", name, sizeof name, hostIni) && name[0])
            m_strRemoteHostServer = name;
        DeleteFileA(hostIni);
    }
}
