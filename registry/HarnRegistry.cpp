#include "HarnRegistry.h"

#include "BrandKit.h"
#include "system/Log.h"

#include <cstring>

// ---- branded roots: empty until the first object is constructed -----------------------
CString CHarnRegistry::m_sHarnockKey;
CString CHarnRegistry::m_sQuillbakKey;
CString CHarnRegistry::m_sQuillbakBaseKey;
CString CHarnRegistry::m_sProductsKey;
CString CHarnRegistry::m_sAgentKey;

// ---- former maker's roots ---------------------------------------------------------------
const CString CHarnRegistry::m_sOldHarnockKey("SOFTWARE\\Harnock");
const CString CHarnRegistry::m_sOldQuillbakKey("SOFTWARE\\Harnock\\Quillbak");
const CString CHarnRegistry::m_sOldQuillbakBaseKey("SOFTWARE\\Harnock\\Quillbak\\CurrentVersion");
const CString CHarnRegistry::m_sOldProductsKey("SOFTWARE\\Harnock\\Products");
const CString CHarnRegistry::m_sOldAgentKey("SOFTWARE\\Harnock\\QuillbakAgent\\CurrentVersion\\Common");

// ---- fixed Windows and product keys -------------------------------------------------------
const CString CHarnRegistry::m_sSNMPExtensionAgentsKey(
    "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\ExtensionAgents");
const CString CHarnRegistry::m_sEventLogKey("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application");
const CString CHarnRegistry::m_sEnvironmentKey("SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment");
const CString CHarnRegistry::m_sMicrosoftKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
const CString CHarnRegistry::m_sProfileListKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList");
const CString CHarnRegistry::m_sSoftwareKey("SOFTWARE");
// Fixed: the alert component keeps its key whatever the branding says.
const CString CHarnRegistry::m_sAlertKey("SOFTWARE\\Veltmark\\ALERT\\CurrentVersion");
const CString CHarnRegistry::m_sVaxwallKey("SYSTEM\\CurrentControlSet\\Services\\Vaxguard Server");
const CString CHarnRegistry::m_sShellExtApprovedKey(
    "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved");
const CString CHarnRegistry::m_sUninstallKey("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
const CString CHarnRegistry::m_sSharedDLLKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs");

// ---- sub-key suffixes -------------------------------------------------------------------
const CString CHarnRegistry::m_sPathSubKey("\\Path");
const CString CHarnRegistry::m_sDomainSubKey("\\DOMAIN");
const CString CHarnRegistry::m_sComponentsSubKey("\\Components");
const CString CHarnRegistry::m_sUserSubKey("\\User");
const CString CHarnRegistry::m_sDatabaseSubKey("\\Database");
const CString CHarnRegistry::m_sSNMPSubKey("\\SNMP");

// ---- key-name words -----------------------------------------------------------------------
const CString CHarnRegistry::m_sQuillbak("QuillbakIT");
const CString CHarnRegistry::m_sHarnock("Veltmark");
const CString CHarnRegistry::m_sALERT("ALERT");
const CString CHarnRegistry::m_sProducts("Products");
const CString CHarnRegistry::m_sOldProducts("OldProducts");
const CString CHarnRegistry::m_sReactron("Reactron");
const CString CHarnRegistry::m_sQuillbakUninstallKey("QuillbakNT");

// ---- value names ----------------------------------------------------------------------------
const CString CHarnRegistry::m_sHome("HOME");
const CString CHarnRegistry::m_sDatabase("DATABASE");
const CString CHarnRegistry::m_sLog("LOG");
const CString CHarnRegistry::m_sTemp("TEMP");
const CString CHarnRegistry::m_sManager("MANAGER");
const CString CHarnRegistry::m_sServer("SERVER");
const CString CHarnRegistry::m_sAdmin("ADMIN");
const CString CHarnRegistry::m_sRegisteredName("Name");
const CString CHarnRegistry::m_sRegisteredOrg("Org");
const CString CHarnRegistry::m_sDatabaseType("DatabaseType");
const CString CHarnRegistry::m_sPathname("Pathname");
const CString CHarnRegistry::m_sRegisteredOrganization("RegisteredOrganization");
const CString CHarnRegistry::m_sRegisteredOwner("RegisteredOwner");
const CString CHarnRegistry::m_sProductQuillbak("Quillbak");
const CString CHarnRegistry::m_sCurrentBuildNumber("CurrentBuildNumber");
const CString CHarnRegistry::m_sCurrentBuild("CurrentBuild");
const CString CHarnRegistry::m_sInstallDate("InstallDate");
const CString CHarnRegistry::m_sControl("CONTROL");
const CString CHarnRegistry::m_sEventLog("EVENTLOG");
const CString CHarnRegistry::m_sRegisteredCompany("Company");
const CString CHarnRegistry::m_sRegisteredLocation("Location");
const CString CHarnRegistry::m_sEventMessageFile("EventMessageFile");
const CString CHarnRegistry::m_sTypesSupported("TypesSupported");
// The alert server's event-log source name.
const CString CHarnRegistry::m_sAlert("Alert Notification Server");
const CString CHarnRegistry::m_sDisplayName("DisplayName");
const CString CHarnRegistry::m_sUninstallString("UninstallString");
const CString CHarnRegistry::m_sProfileImagePath("ProfileImagePath");
const CString CHarnRegistry::m_sPath("Path");
const CString CHarnRegistry::m_sDaemonSize("BackupDaemonBufferSize");
const CString CHarnRegistry::m_sPruningFlag("EnableDatabasePruning");
const CString CHarnRegistry::m_sDelayFlag("EnableDelayPruning");
const CString CHarnRegistry::m_sPruningDays("PruningDays");
const CString CHarnRegistry::m_sPruningTime("PruningTime");
const CString CHarnRegistry::m_sThreadingModel("ThreadingModel");

// ---- shell extension and script file type (under HKEY_CLASSES_ROOT) ---------------------------
#define QL_SHELLEXT_CLSID "{e72925c0-b105-11cf-906f-0080d8001326}"
const CString CHarnRegistry::m_sQuillbakShellExtensionCLSID(QL_SHELLEXT_CLSID);
const CString CHarnRegistry::m_sQuillbakShellExtension("Veltmark QuillbakIT Shell Extension");
const CString CHarnRegistry::m_sQuillbakShellExtensionCLSIDKey("CLSID\\" QL_SHELLEXT_CLSID);
const CString CHarnRegistry::m_sQuillbakShellExtensionInProcServerKey("CLSID\\" QL_SHELLEXT_CLSID "\\InProcServer32");
const CString CHarnRegistry::m_sDrivePropertySheetHandler("Drive\\shellex\\PropertySheetHandlers\\" QL_SHELLEXT_CLSID);
const CString CHarnRegistry::m_sDriveMenuHandler("Drive\\shellex\\ContextMenuHandlers\\" QL_SHELLEXT_CLSID);
const CString CHarnRegistry::m_sDirMenuHandler("Directory\\shellex\\ContextMenuHandlers\\" QL_SHELLEXT_CLSID);
const CString CHarnRegistry::m_sAllMenuHandler("*\\shellex\\ContextMenuHandlers\\" QL_SHELLEXT_CLSID);
const CString CHarnRegistry::m_sQuillbakScriptExtension(".qlx");
const CString CHarnRegistry::m_sQuillbakScriptFile("QuillbakScriptFile");
const CString CHarnRegistry::m_sQuillbakScriptDefaultIcon("QuillbakScriptFile\\DefaultIcon");
const CString CHarnRegistry::m_sQuillbakScriptFileShellExtension("QuillbakScriptFile\\shellex");
const CString CHarnRegistry::m_sQuillbakScriptIconHandler("QuillbakScriptFile\\shellex\\IconHandler");
const CString CHarnRegistry::m_sQuillbakScriptPropertySheetHandler(
    "QuillbakScriptFile\\shellex\\PropertySheetHandlers");
const CString CHarnRegistry::m_sQuillbakScriptMenuHandler("QuillbakScriptFile\\shellex\\ContextMenuHandlers");
const CString CHarnRegistry::m_sQuillbakScriptPropertySheetHandlerCLSID(
    "QuillbakScriptFile\\shellex\\PropertySheetHandlers\\" QL_SHELLEXT_CLSID);
const CString CHarnRegistry::m_sQuillbakScriptMenuHandlerCLSID(
    "QuillbakScriptFile\\shellex\\ContextMenuHandlers\\" QL_SHELLEXT_CLSID);
#undef QL_SHELLEXT_CLSID

// ---- further names of the layout ------------------------------------------------------------
const CString CHarnRegistry::m_sDefaultHarnockKey("SOFTWARE\\Veltmark");
const CString CHarnRegistry::m_sDefaultQuillbakKey("SOFTWARE\\Veltmark\\QuillbakIT");
const CString CHarnRegistry::m_sDefaultQuillbakBaseKey("SOFTWARE\\Veltmark\\QuillbakIT\\Base");
const CString CHarnRegistry::m_sDefaultProductsKey("SOFTWARE\\Veltmark\\QuillbakIT\\Products");
const CString CHarnRegistry::m_sAgentSubKey("\\ClientAgent\\Common");
const CString CHarnRegistry::m_sOldAlertKey("SOFTWARE\\Harnock\\ALERT\\CurrentVersion");
const CString CHarnRegistry::m_sOldDSAgentProductsKey("SOFTWARE\\Harnock\\DSAgent\\CurrentVersion\\Products");
// Fixed: not derived from the branded root.
const CString CHarnRegistry::m_sOldDBAgentsKey("SOFTWARE\\Veltmark\\QuillbakIT\\OldDBAgents");
const CString CHarnRegistry::m_sVMOldProducts("VMOldProducts");
const CString CHarnRegistry::m_sVMInstalledITProducts("VM-InstalledITProducts");
const CString CHarnRegistry::m_sProductCode("ProductCode");
const CString CHarnRegistry::m_sLNName("LNNAME");
const CString CHarnRegistry::m_sRNName("RNNAME");
const CString CHarnRegistry::m_sCatPath("CATPATH");
const CString CHarnRegistry::m_sLNNameValue("QUILLBAK");
const CString CHarnRegistry::m_sSNMPFolder("qlsnmp");
const CString CHarnRegistry::m_sQLMgrSubKey("\\QLMgr");
const CString CHarnRegistry::m_sCertifiedDevices("CertifiedDevices");
const CString CHarnRegistry::m_sENews("ENews");
const CString CHarnRegistry::m_sESupport("ESupport");
const CString CHarnRegistry::m_sOnlineHelp("OnlineHelp");
const CString CHarnRegistry::m_sProductPanorel125("Panorel125Backup");
const CString CHarnRegistry::m_sBaseAdminKey("Admin");
const CString CHarnRegistry::m_sBaseTapeEngineKey("TapeEngine");
const CString CHarnRegistry::m_sBaseDBAdminKey("DBAdmin");
const CString CHarnRegistry::m_sBaseLogKey("Log");
const CString CHarnRegistry::m_sBaseTaskKey("Task");
const CString CHarnRegistry::m_sBaseLastFullBackupKey("LastFullBackup");
const CString CHarnRegistry::m_sBaseLastImageBackupKey("LastImageBackup");
const CString CHarnRegistry::m_sBaseServerRecordKey("ServerRecord");
const CString CHarnRegistry::m_sBaseSystemSettingKey("SystemSetting");
const CString CHarnRegistry::m_sAppWizardKey("Software\\Local AppWizard-Generated Applications");
const CString CHarnRegistry::m_sCentralDBConfigKey("QuillbakIT Central Database Configuration");

namespace {

template <class F>
F ProcOf(HMODULE module, LPCSTR name) {
    return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

// Names a relative key path must not start with: the hives themselves.
const char *const kHiveNames[] = {"HKLM", "HKCU", "HKCR", "HKU", "HKCC", "HKDD", "HKPD"};

// Keys at the top of a hive that hold whole subsystems; no operation of the
// product works on one of them as a whole.
const char *const kTopLevelKeys[] = {
    "SOFTWARE", "SYSTEM", "HARDWARE", "SAM", "SECURITY",  // HKEY_LOCAL_MACHINE (Software: HKEY_CURRENT_USER too)
    "Environment", "Control Panel", "Console",           // HKEY_CURRENT_USER
    ".DEFAULT",                                           // HKEY_USERS
    "CLSID", "Interface", "TypeLib", "AppID", "*", "Drive", "Directory", "Folder",  // HKEY_CLASSES_ROOT
};

bool IsOneOf(const CString &word, const char *const *names, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (word.CompareNoCase(names[i]) == 0) return true;
    return false;
}

}  // namespace

// ---- class-wide accessors ------------------------------------------------------------------
LPCSTR CHarnRegistry::OldHarnockKey() { return m_sOldHarnockKey; }
LPCSTR CHarnRegistry::OldQuillbakKey() { return m_sOldQuillbakKey; }
LPCSTR CHarnRegistry::OldQuillbakBaseKey() { return m_sOldQuillbakBaseKey; }
LPCSTR CHarnRegistry::OldProductsKey() { return m_sOldProductsKey; }
LPCSTR CHarnRegistry::OldAgentKey() { return m_sOldAgentKey; }
LPCSTR CHarnRegistry::GetQuillbakKey() { return m_sQuillbakKey; }

BOOL CHarnRegistry::IsSafeKeyPath(LPCSTR lpszKeyPath) {
    if (!lpszKeyPath || !*lpszKeyPath) return FALSE;
    CString first;
    int components = 0;
    const char *start = lpszKeyPath;
    const char *p = lpszKeyPath;
    for (;;) {
        if (*p == '\\' || *p == '\0') {
            // Leading, doubled or trailing backslash: a root or word was empty.
            if (p == start) return FALSE;
            if (components++ == 0) first = CString(start, (int)(p - start));
            if (*p == '\0') break;
            start = ++p;
            continue;
        }
        // A backslash may be the second byte of a double-byte character.
        p += (IsDBCSLeadByte((BYTE)*p) && p[1]) ? 2 : 1;
    }
    if (first.GetLength() >= 5 && first.Left(5).CompareNoCase("HKEY_") == 0) return FALSE;
    if (IsOneOf(first, kHiveNames, sizeof kHiveNames / sizeof kHiveNames[0])) return FALSE;
    if (components == 1 && IsOneOf(first, kTopLevelKeys, sizeof kTopLevelKeys / sizeof kTopLevelKeys[0]))
        return FALSE;
    return TRUE;
}

// ---- branded roots ----------------------------------------------------------------------------
void CHarnRegistry::ObtainBrandRoots(LPCSTR lpszLogFile) {
    HMODULE hLib = LoadLibraryA(BKT_LIBRARY_NAME);
    // An object built without settings has no log; CLog then writes nothing.
    if (!hLib) CLog::Write(lpszLogFile, "\tLoad BRANDKIT.DLL fail");

    struct Root {
        LPCSTR lpszExport;
        CString *pRoot;
        const CString *pFallback;
    } const roots[] = {
        {BKT_GET_BRAND_NAME_STRING, &m_sHarnockKey, &m_sDefaultHarnockKey},
        {BKT_GET_REG_ROOT_STRING, &m_sQuillbakKey, &m_sDefaultQuillbakKey},
        {BKT_GET_REG_BASE_STRING, &m_sQuillbakBaseKey, &m_sDefaultQuillbakBaseKey},
        {BKT_GET_PRODUCTS_STRING, &m_sProductsKey, &m_sDefaultProductsKey},
    };
    char buffer[BKT_ROOT_BUFFER_SIZE];
    for (const Root &root : roots) {
        PFN_BKT_GET_STRING pfn = hLib ? ProcOf<PFN_BKT_GET_STRING>(hLib, root.lpszExport) : NULL;
        if (!pfn) {
            *root.pRoot = *root.pFallback;
            continue;
        }
        // Cleared for every call: a function that fails without writing must
        // not pass on the previous root's text, and one that fills the whole
        // buffer must not run past its end. Its result says nothing the text
        // does not: the text is taken even when empty.
        memset(buffer, 0, sizeof buffer);
        pfn(buffer, sizeof buffer);
        buffer[sizeof buffer - 1] = '\0';
        *root.pRoot = buffer;
    }
    m_sAgentKey = m_sQuillbakKey + m_sAgentSubKey;
    if (hLib) FreeLibrary(hLib);
}

// ---- construction -------------------------------------------------------------------------
void CHarnRegistry::Construct(char *lpszMachine) {
    m_chNamedSubType = (char)0xFF;
    m_dwMode = 0;
    m_strOrganization.Empty();
    m_strOwner.Empty();
    m_strHomeDir.Empty();
    m_strDBDir.Empty();
    m_strLogDir.Empty();
    m_strTempDir.Empty();
    m_strAlertHomeDir.Empty();
    m_strAgentHomeDir.Empty();
    m_dwUserLevel = 0;
    m_dwProductCode = 0;
    m_wVersion = 0;
    m_wBuild = 0;
    m_dwNamedProductCode = 0;
    m_wNamedVersion = 0;
    m_wNamedBuild = 0;
    m_wAlertBuild = 0;
    memset(&m_Record, 0, sizeof m_Record);
    m_chSubType = 0;

    ObtainBrandRoots(m_Settings.LogFile());

    ReleaseRemote();
    m_strMachine = lpszMachine ? lpszMachine : "";
    m_hRegistry = HKEY_LOCAL_MACHINE;
    if (lpszMachine && *lpszMachine) {
        HKEY hRemote = NULL;
        if (RegConnectRegistryA(lpszMachine, HKEY_LOCAL_MACHINE, &hRemote) == ERROR_SUCCESS) {
            m_hRegistry = hRemote;
            // Naming this machine gives back the predefined handle, which is
            // not ours to close.
            if (hRemote != HKEY_LOCAL_MACHINE) m_plRemoteRefs = new LONG(1);
        } else {
            m_hRegistry = NULL;
        }
    }
}

CHarnRegistry::CHarnRegistry(CSettings &settings, int bWrite, char *lpszMachine)
    : m_Settings(settings), m_hRegistry(HKEY_LOCAL_MACHINE), m_plRemoteRefs(NULL) {
    Construct(lpszMachine);
    m_dwMode = KEY_WRITE;
    // The caller learns the outcome from the registry, not from here.
    if (bWrite) Write();
}

CHarnRegistry::CHarnRegistry(int bRead, char *lpszMachine) : m_hRegistry(HKEY_LOCAL_MACHINE), m_plRemoteRefs(NULL) {
    Construct(lpszMachine);
    if (bRead) Read();
}

CHarnRegistry::CHarnRegistry(const CHarnRegistry &other)
    : m_dwMode(other.m_dwMode),
      m_strOrganization(other.m_strOrganization),
      m_strOwner(other.m_strOwner),
      m_strHomeDir(other.m_strHomeDir),
      m_strDBDir(other.m_strDBDir),
      m_strLogDir(other.m_strLogDir),
      m_strTempDir(other.m_strTempDir),
      m_strAlertHomeDir(other.m_strAlertHomeDir),
      m_strAgentHomeDir(other.m_strAgentHomeDir),
      m_dwUserLevel(other.m_dwUserLevel),
      m_dwProductCode(other.m_dwProductCode),
      m_wVersion(other.m_wVersion),
      m_wBuild(other.m_wBuild),
      m_dwNamedProductCode(other.m_dwNamedProductCode),
      m_wNamedVersion(other.m_wNamedVersion),
      m_wNamedBuild(other.m_wNamedBuild),
      m_wAlertBuild(other.m_wAlertBuild),
      m_Settings(other.m_Settings),
      m_hRegistry(other.m_hRegistry),
      m_Record(other.m_Record),
      m_chSubType(other.m_chSubType),
      m_chNamedSubType(other.m_chNamedSubType),
      m_strMachine(other.m_strMachine),
      m_plRemoteRefs(other.m_plRemoteRefs) {
    if (m_plRemoteRefs) ++*m_plRemoteRefs;
}

CHarnRegistry &CHarnRegistry::operator=(const CHarnRegistry &other) {
    if (this == &other) return *this;
    if (other.m_plRemoteRefs) ++*other.m_plRemoteRefs;
    ReleaseRemote();
    m_dwMode = other.m_dwMode;
    m_strOrganization = other.m_strOrganization;
    m_strOwner = other.m_strOwner;
    m_strHomeDir = other.m_strHomeDir;
    m_strDBDir = other.m_strDBDir;
    m_strLogDir = other.m_strLogDir;
    m_strTempDir = other.m_strTempDir;
    m_strAlertHomeDir = other.m_strAlertHomeDir;
    m_strAgentHomeDir = other.m_strAgentHomeDir;
    m_dwUserLevel = other.m_dwUserLevel;
    m_dwProductCode = other.m_dwProductCode;
    m_wVersion = other.m_wVersion;
    m_wBuild = other.m_wBuild;
    m_dwNamedProductCode = other.m_dwNamedProductCode;
    m_wNamedVersion = other.m_wNamedVersion;
    m_wNamedBuild = other.m_wNamedBuild;
    m_wAlertBuild = other.m_wAlertBuild;
    m_Settings = other.m_Settings;
    m_hRegistry = other.m_hRegistry;
    m_Record = other.m_Record;
    m_chSubType = other.m_chSubType;
    m_chNamedSubType = other.m_chNamedSubType;
    m_strMachine = other.m_strMachine;
    m_plRemoteRefs = other.m_plRemoteRefs;
    return *this;
}

// The object makes no network connection of its own (the remote registry
// rides on whatever session the caller holds), so it cancels none: a
// connection to the machine's IPC share belongs to whoever made it.
CHarnRegistry::~CHarnRegistry() { ReleaseRemote(); }

void CHarnRegistry::ReleaseRemote() {
    if (!m_plRemoteRefs) return;
    if (--*m_plRemoteRefs == 0) {
        RegCloseKey(m_hRegistry);
        delete m_plRemoteRefs;
    }
    m_plRemoteRefs = NULL;
    m_hRegistry = HKEY_LOCAL_MACHINE;
}

// ---- CHarnKey -------------------------------------------------------------------------------
CHarnKey::CHarnKey() {
    memset(m_dwData, 0, sizeof m_dwData);
    memset(m_dwExtra, 0, sizeof m_dwExtra);
}

CHarnKey::CHarnKey(const CHarnKey &other) : m_strName(other.m_strName) {
    memcpy(m_dwData, other.m_dwData, sizeof m_dwData);
    memcpy(m_dwExtra, other.m_dwExtra, sizeof m_dwExtra);
}

CHarnKey &CHarnKey::operator=(const CHarnKey &other) {
    if (this == &other) return *this;
    m_strName = other.m_strName;
    memcpy(m_dwData, other.m_dwData, sizeof m_dwData);
    memcpy(m_dwExtra, other.m_dwExtra, sizeof m_dwExtra);
    return *this;
}

CHarnKey::~CHarnKey() {}
