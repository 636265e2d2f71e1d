// The settings of the running setup: what is being installed, where, with
// which components and account, and what setup found on the machine.
#ifndef QL_SETTINGS_H
#define QL_SETTINGS_H

#include "system/QlApi.h"
#include "afxstr.h"

#include <cstddef>

class CComputer;

// The record a caller builds the settings from. It crosses the library
// boundary (option setup libraries fill one), so its layout is fixed.
struct tagSETUP_INFO {
    char szProductName[256];
    char szProfile[261];
    char szTraceFile[261];
    char szSourcePath[261];
    char szBatchFile[261];
    char szMIFFile[261];
    char szProgramGroup[256];
    char szLogFile[261];
    LONG lProductType;
    BOOL bIgnoreErrors;
    BOOL bTrace;
    BOOL bBatchOperation;
    BOOL bMIF;
    BOOL bConfigurationOnly;
    BYTE reserved[272];
    BOOL bCopyOnlyMode;
};
typedef tagSETUP_INFO SETUP_INFO;

static_assert(offsetof(tagSETUP_INFO, szProfile) == 256, "tagSETUP_INFO layout");
static_assert(offsetof(tagSETUP_INFO, szTraceFile) == 517, "tagSETUP_INFO layout");
static_assert(offsetof(tagSETUP_INFO, szSourcePath) == 778, "tagSETUP_INFO layout");
static_assert(offsetof(tagSETUP_INFO, szBatchFile) == 1039, "tagSETUP_INFO layout");
static_assert(offsetof(tagSETUP_INFO, szMIFFile) == 1300, "tagSETUP_INFO layout");
static_assert(offsetof(tagSETUP_INFO, szProgramGroup) == 1561, "tagSETUP_INFO layout");
static_assert(offsetof(tagSETUP_INFO, szLogFile) == 1817, "tagSETUP_INFO layout");
static_assert(offsetof(tagSETUP_INFO, lProductType) == 2080, "tagSETUP_INFO layout");
static_assert(offsetof(tagSETUP_INFO, bIgnoreErrors) == 2084, "tagSETUP_INFO layout");
static_assert(offsetof(tagSETUP_INFO, bConfigurationOnly) == 2100, "tagSETUP_INFO layout");
static_assert(offsetof(tagSETUP_INFO, reserved) == 2104, "tagSETUP_INFO layout");
static_assert(offsetof(tagSETUP_INFO, bCopyOnlyMode) == 2376, "tagSETUP_INFO layout");
static_assert(sizeof(tagSETUP_INFO) == 2380, "tagSETUP_INFO layout");

// Copies text into a fixed record field, cut to its capacity and terminated.
template <size_t N>
inline void CopyToField(char (&field)[N], LPCSTR text) {
    size_t i = 0;
    if (text)
        for (; i + 1 < N && text[i]; ++i) field[i] = text[i];
    field[i] = '\0';
}

// Removes trailing backslashes (not the second byte of a double-byte
// character); returns the remaining length.
QL_EXTERN_C QL_API int TrimTailBackSlash(CString &str);
// Trims as above, then ends the text in one backslash unless it became empty.
QL_EXTERN_C QL_API int AppendBackSlash(CString &str);

class CSetupIcf;
class CSetupInf;
class CHarnRegistry;

class QL_API CSettings {
    // Tests seed the fields that only the registry steps fill.
    friend struct CSettingsTestAccess;

public:
    // Component bits
    static const DWORD INSTALL_MANAGER = 1;
    static const DWORD INSTALL_SERVER = 2;
    static const DWORD INSTALL_ADMIN = 4;
    static const DWORD INSTALL_ALERT = 8;
    static const DWORD INSTALL_HSM = 16;
    static const DWORD INSTALL_PNR = 32;
    static const DWORD UNINSTALL_QUILLBAK = 7;
    static const DWORD UNINSTALL_ALERT = 8;
    // Database bits
    static const DWORD INSTALL_SQL = 1;
    static const DWORD INSTALL_RAIMA = 2;
    static const DWORD UNINSTALL_SQL = 1;

    CSettings();
    CSettings(const tagSETUP_INFO *pInfo, int bUninstall);
    CSettings(const CSettings &other);
    CSettings &operator=(const CSettings &other);
    virtual ~CSettings();

    // Fills the settings from the machine, the setup files and the command line.
    void Initialize();

    // ---- read accessors
    int Uninstall() const { return m_bUninstall; }
    LPCSTR Profile() const { return m_strProfile; }
    LPCSTR TraceFile() const { return m_strTraceFile; }
    LPCSTR SourcePath() const { return m_strSourcePath; }
    LPCSTR BatchFile() const { return m_strBatchFile; }
    LPCSTR MIFFile() const { return m_strMIFFile; }
    int MIF() const { return m_bMIF; }
    int BatchOperation() const { return m_bBatchOperation; }
    int IgnoreErrors() const { return m_bIgnoreErrors; }
    int Trace() const { return m_bTrace; }
    LPCSTR LogFile() const { return m_strLogFile; }
    int RemoteSetup() const { return m_bRemoteSetup; }
    LPCSTR RemoteHostServer() const { return m_strRemoteHostServer; }
    int CustomSetup() const { return m_bCustomSetup; }
    int ExpressSetup() const { return !m_bCustomSetup; }
    int Aborted() const { return m_bAborted; }
    LPCSTR ProgramGroupName() const { return m_strProgramGroupName; }
    int ConfigurationOnly() const { return m_bConfigurationOnly; }
    int Reboot() const { return m_bReboot; }
    LPCSTR ProductName() const { return m_strProductName; }
    LPCSTR ProductShortName() const { return m_strProductShortName; }
    LPCSTR EditionName() const { return m_strEditionName; }
    LPCSTR Product() const { return m_strProduct; }
    LPCSTR ComponentCode() const { return m_strComponentCode; }
    int IsUpgrade() const { return m_bIsUpgrade; }
    LPCSTR RegisteredUser() const { return m_strRegisteredUser; }
    LPCSTR RegisteredCompany() const { return m_strRegisteredCompany; }
    int QuillbakExists() const { return m_bQuillbakExists; }
    int AlertExists() const { return m_bAlertExists; }
    int NewAlertExists() const { return m_bNewAlertExists; }
    int VaxwallExists() const { return m_bVaxwallExists; }
    int ClientAgentExists() const { return m_bClientAgentExists; }
    LPCSTR CurrentQuillbakPath() const { return m_strCurrentQuillbakPath; }
    LPCSTR CurrentAlertPath() const { return m_strCurrentAlertPath; }
    LPCSTR CurrentClientAgentPath() const { return m_strCurrentClientAgentPath; }
    LPCSTR QuillbakPath() const { return m_strQuillbakPath; }
    LPCSTR AlertPath() const { return m_strAlertPath; }
    LPCSTR ClientAgentPath() const { return m_strClientAgentPath; }
    LPCSTR SystemAccountServer() const { return m_strSystemAccountServer; }
    LPCSTR SystemAccountDomain() const { return m_strSystemAccountDomain; }
    LPCSTR SystemAccountName() const { return m_strSystemAccountName; }
    LPCSTR SystemAccountPassword() const { return m_strSystemAccountPassword; }
    int HSMAvailable() const { return m_bHSMAvailable; }
    int PNRFWAvailable() const { return m_bPNRFWAvailable; }
    LPCSTR PNRFWSetupFileName() const { return m_strPNRFWSetupFileName; }
    LPCSTR LaunchSetupProductName() const { return m_strLaunchSetupProductName; }
    LPCSTR LaunchSetupFileName() const { return m_strLaunchSetupFileName; }
    int ReplaceAlert() const { return m_bReplaceAlert; }
    long ProductType() const { return m_lProductType; }
    int ProductSubType() const { return m_nProductSubType; }
    int RAIDAvailable() const { return m_bRAIDAvailable; }
    int ChangerAvailable() const { return m_bChangerAvailable; }
    int OverwriteDB() const { return m_bOverwriteDB; }
    int DBExists() const { return m_bDBExists; }
    int DeleteQueue() const { return m_bDeleteQueue; }
    int QueueExists() const { return m_bQueueExists; }
    int AutoStartServices() const { return m_bAutoStartServices; }
    int IsCopyOnlyMode() const { return m_bIsCopyOnlyMode; }
    unsigned long InstallDBType() const { return m_dwInstallDBType; }

    // ---- derived
    int InstallManager() const { return HasComponents(INSTALL_MANAGER); }
    int InstallServer() const { return HasComponents(INSTALL_SERVER); }
    int InstallAdmin() const { return HasComponents(INSTALL_ADMIN); }
    int InstallAlert() const { return HasComponents(INSTALL_ALERT); }
    int InstallHSM() const { return HasComponents(INSTALL_HSM); }
    int InstallPNR() const { return HasComponents(INSTALL_PNR); }
    int InstallQuillbak() const { return InstallManager() || InstallServer() || InstallAdmin(); }
    int InstallSQL() const { return (m_dwDatabases & INSTALL_SQL) == INSTALL_SQL; }
    int InstallRAIMA() const { return (m_dwDatabases & INSTALL_RAIMA) == INSTALL_RAIMA; }
    int UninstallQuillbak() const { return HasComponents(UNINSTALL_QUILLBAK); }
    int UninstallAlert() const { return HasComponents(UNINSTALL_ALERT); }
    int UninstallSQL() const { return (m_dwDatabases & UNINSTALL_SQL) == UNINSTALL_SQL; }
    int NewQuillbakInstall() const;
    int NewAlertInstall() const;
    unsigned long DiskSpaceNeeded() const;

    // ---- setters
    void RegisteredUser(LPCSTR text) { m_strRegisteredUser = Safe(text); }
    void RegisteredCompany(LPCSTR text) { m_strRegisteredCompany = Safe(text); }
    void SystemAccountServer(LPCSTR text) { m_strSystemAccountServer = Safe(text); }
    void SystemAccountDomain(LPCSTR text) { m_strSystemAccountDomain = Safe(text); }
    void SystemAccountName(LPCSTR text) { m_strSystemAccountName = Safe(text); }
    void SystemAccountPassword(LPCSTR text) { m_strSystemAccountPassword = Safe(text); }
    void OverwriteDB(int on) { m_bOverwriteDB = on; }
    void ReplaceAlert(int on) { m_bReplaceAlert = on; }
    void DeleteQueue(int on) { m_bDeleteQueue = on; }
    void AutoStartServices(int on) { m_bAutoStartServices = on; }
    void ProductSubType(int value) { m_nProductSubType = value; }
    void Reboot(int on) { m_bReboot = on; }
    void ProductType(long value) { m_lProductType = value; }
    void InstallDBType(unsigned long value) { m_dwInstallDBType = value; }
    void QuillbakPath(LPCSTR path) { SetPath(m_strQuillbakPath, path); }
    void AlertPath(LPCSTR path) { SetPath(m_strAlertPath, path); }
    void ClientAgentPath(LPCSTR path) { SetPath(m_strClientAgentPath, path); }
    void InstallManager(int on);
    void InstallServer(int on);
    void InstallAdmin(int on);
    void InstallAlert(int on);
    void UninstallAlert(int on) { InstallAlert(on); }
    void InstallHSM(int on);
    void InstallPNR(int on);
    void UninstallQuillbak(int on);
    void InstallSQL(int on);
    void UninstallSQL(int on) { InstallSQL(on); }
    void InstallRAIMA(int on);
    void CustomSetup(int value);
    void Abort() { m_bAborted = 1; }

private:
    int HasComponents(DWORD bits) const { return (m_dwComponents & bits) == bits; }
    void AddComponent(unsigned long bits) { m_dwComponents |= bits; }
    void RemoveComponent(unsigned long bits) { m_dwComponents &= ~bits; }
    void AddDatabase(unsigned long bits) { m_dwDatabases |= bits; }
    void RemoveDatabase(unsigned long bits) { m_dwDatabases &= ~bits; }
    static LPCSTR Safe(LPCSTR text) { return text ? text : ""; }
    static void SetPath(CString &field, LPCSTR path);
    void SetDefaults();
    void SplitProductName();

    // Steps of Initialize, in their order.
    void InitProductMapName();
    void InitRegisteredOwner(CHarnRegistry &registry);
    void InitQuillbakHome(CHarnRegistry &registry);
    void InitBaseProductFacts(CHarnRegistry &registry);
    void InitClientAgentHome(CHarnRegistry &registry);
    void InitRecordedSubType(CHarnRegistry &registry);
    void InitUninstallSelection(CSetupIcf &icf);
    CString ProgramFilesRoot() const;
    void InitUpgradeFlag(CHarnRegistry &registry);
    void InitSetupInformation(CSetupInf &inf);
    void InitComponentCode();
    void InitBaseProductDefaults(const CString &programFiles, const CComputer &computer, CSetupInf &inf,
                                 CSetupIcf &icf);
    void InitConfigurationDefaults(const CString &programFiles, CSetupIcf &icf);
    void InitAgentDefaults(const CString &programFiles, CSetupIcf &icf);
    void InitRemoteSetup();

    int m_bUninstall;
    CString m_strProfile;
    CString m_strTraceFile;
    CString m_strSourcePath;
    CString m_strBatchFile;
    CString m_strMIFFile;
    int m_bMIF;
    int m_bBatchOperation;
    int m_bIgnoreErrors;
    int m_bTrace;
    CString m_strLogFile;
    int m_bRemoteSetup;
    CString m_strRemoteHostServer;
    int m_bCustomSetup;
    int m_bAborted;
    CString m_strProgramGroupName;
    int m_bConfigurationOnly;
    int m_bReboot;
    CString m_strProductName;
    CString m_strProductShortName;
    CString m_strEditionName;
    CString m_strProduct;
    CString m_strComponentCode;
    int m_bIsUpgrade;
    CString m_strRegisteredUser;
    CString m_strRegisteredCompany;
    int m_bQuillbakExists;
    int m_bAlertExists;
    int m_bNewAlertExists;
    int m_bVaxwallExists;
    int m_bClientAgentExists;
    CString m_strCurrentQuillbakPath;
    CString m_strCurrentAlertPath;
    CString m_strCurrentClientAgentPath;
    CString m_strQuillbakPath;
    CString m_strAlertPath;
    CString m_strClientAgentPath;
    CString m_strSystemAccountServer;
    CString m_strSystemAccountDomain;
    CString m_strSystemAccountName;
    CString m_strSystemAccountPassword;
    DWORD m_dwComponents;
    int m_bHSMAvailable;
    int m_bPNRFWAvailable;
    CString m_strPNRFWSetupFileName;
    CString m_strLaunchSetupProductName;
    CString m_strLaunchSetupFileName;
    int m_bReplaceAlert;
    long m_lProductType;
    int m_nProductSubType;
    int m_bRAIDAvailable;
    int m_bChangerAvailable;
    DWORD m_dwDatabases;
    int m_bOverwriteDB;
    int m_bDBExists;
    int m_bDeleteQueue;
    int m_bQueueExists;
    int m_bAutoStartServices;
    int m_bIsCopyOnlyMode;
    unsigned long m_dwInstallDBType;
};

// The alert component build this setup carries: "AlGetBuildNumberA" of
// "NOTIFVER.DLL" beside the running program; 0 when either is missing.
unsigned long CarriedAlertBuildNumber();

#endif
