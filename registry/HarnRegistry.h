// The product's view of its own registry branch, and the names of every key
// and value the product owns or touches.
#ifndef QL_HARNREGISTRY_H
#define QL_HARNREGISTRY_H

#include "system/QlApi.h"
#include "afxstr.h"
#include "settings/Settings.h"

#include <cstddef>

// The product record kept per product, as a REG_BINARY value named by the
// product, in the products key. Its layout is shared with the product's own
// programs, so it is packed and fixed.
#pragma pack(push, 1)
struct tagProductStruct {
    DWORD dwProductCode;  // this product: 24
    DWORD dwComponents;   // 15 with the server component, else 5
    DWORD dwVersion;      // bits 0-7 minor, 8-15 major, 16-31 build
    BYTE bySubType;
    BYTE byReserved1[3];
    DWORD dwUserLevel;
    char szSerial[9];  // eight digits and the NUL
    DWORD dwCrc;       // CRC-32 of bytes 0 to 28
    BYTE byReserved2[16];
};
#pragma pack(pop)

static_assert(offsetof(tagProductStruct, dwProductCode) == 0, "tagProductStruct layout");
static_assert(offsetof(tagProductStruct, dwComponents) == 4, "tagProductStruct layout");
static_assert(offsetof(tagProductStruct, dwVersion) == 8, "tagProductStruct layout");
static_assert(offsetof(tagProductStruct, bySubType) == 12, "tagProductStruct layout");
static_assert(offsetof(tagProductStruct, byReserved1) == 13, "tagProductStruct layout");
static_assert(offsetof(tagProductStruct, dwUserLevel) == 16, "tagProductStruct layout");
static_assert(offsetof(tagProductStruct, szSerial) == 20, "tagProductStruct layout");
static_assert(offsetof(tagProductStruct, dwCrc) == 29, "tagProductStruct layout");
static_assert(offsetof(tagProductStruct, byReserved2) == 33, "tagProductStruct layout");
static_assert(sizeof(tagProductStruct) == 49, "tagProductStruct layout");

// A key name and the words kept with it. The library copies and assigns it
// for the option setup libraries; it never fills or reads it itself.
class QL_API CHarnKey {
public:
    CHarnKey();
    CHarnKey(const CHarnKey &other);
    CHarnKey &operator=(const CHarnKey &other);
    ~CHarnKey();

    CString m_strName;
    DWORD m_dwData[8];
    DWORD m_dwExtra[2];
};

class QL_API CHarnRegistry {
public:
    // Builds the object from a copy of the settings, to write them.
    CHarnRegistry(CSettings &settings, int bWrite, char *lpszMachine);
    // Builds the object to read what an installed product recorded, on this
    // machine or on the named one.
    CHarnRegistry(int bRead = 1, char *lpszMachine = NULL);
    CHarnRegistry(const CHarnRegistry &other);
    CHarnRegistry &operator=(const CHarnRegistry &other);
    ~CHarnRegistry();

    // ---- the whole object ----------------------------------------------------------
    // Reads every value the object keeps; ORs KEY_READ into the mode. 0 only
    // when the object has no registry to read (its machine could not be reached).
    int Read();
    // Writes the settings copy; 0 when the object was not built to write, or
    // when some step failed (later steps still run).
    int Write();
    // Removes what the product wrote; 0 when the object was not built to write.
    int Delete();

    // ---- instance getters: the value as read, or the field's earlier text ------
    const char *GetRegisteredOwner();
    const char *GetRegisteredOrganization();
    const char *GetQuillbakHomeDir();
    const char *GetQuillbakDBDir();
    const char *GetQuillbakLogDir();
    const char *GetQuillbakTempDir();
    const char *GetAlertHomeDir();
    const char *GetClientAgentHomeDir();
    const char *GetQuillbakUserName();
    const char *GetQuillbakOrganization();

    // ---- class-wide getters -------------------------------------------------------
    // The buffer is emptied first; *pdwSize is its size in bytes; a null key
    // means this machine's HKEY_LOCAL_MACHINE. Nonzero when a text was read.
    static int GetRegisteredOwner(char *lpszBuffer, DWORD *pdwSize, HKEY hKey = NULL);
    static int GetRegisteredOrganization(char *lpszBuffer, DWORD *pdwSize, HKEY hKey = NULL);
    static int GetQuillbakHomeDir(char *lpszBuffer, DWORD *pdwSize, HKEY hKey = NULL);
    static int GetQuillbakDBDir(char *lpszBuffer, DWORD *pdwSize, HKEY hKey = NULL);
    static int GetQuillbakLogDir(char *lpszBuffer, DWORD *pdwSize, HKEY hKey = NULL);
    static int GetQuillbakTempDir(char *lpszBuffer, DWORD *pdwSize, HKEY hKey = NULL);
    static int GetAlertHomeDir(char *lpszBuffer, DWORD *pdwSize, HKEY hKey = NULL);
    static int GetAgentHomeDir(char *lpszBuffer, DWORD *pdwSize, HKEY hKey = NULL);
    static int GetQuillbakUserName(char *lpszBuffer, DWORD *pdwSize, HKEY hKey = NULL);
    static int GetQuillbakOrganization(char *lpszBuffer, DWORD *pdwSize, HKEY hKey = NULL);

    // ---- product records ---------------------------------------------------------------
    // This product's record, from the products key or the former maker's.
    // A shorter record of an earlier release comes back zero-filled.
    static int GetQuillbakProductInfo(tagProductStruct *pRecord, HKEY hKey = NULL);
    // A named product's record from any of the four products keys.
    static int GetProductInfo(const char *lpszName, tagProductStruct *pRecord, HKEY hKey = NULL);
    tagProductStruct GetQuillbakProductInfo();
    DWORD GetQuillbakUserLevel();
    DWORD GetQuillbakProductCode();
    WORD GetQuillbakBuildNumber();
    WORD GetQuillbakVersionNumber();
    char GetQuillbakSubType();
    DWORD GetProductCode(const char *lpszName);
    WORD GetBuildNumber(const char *lpszName);
    WORD GetVersionNumber(const char *lpszName);
    char GetSubType(const char *lpszName);
    // The alert component's build, the leading number of its text, cut to 16 bits.
    static int GetAlertBuildNumber(WORD *pwBuild, HKEY hKey = NULL);
    DWORD GetAlertBuildNumber();
    // 1 when the installed product's build lies in the range the setup
    // information file accepts for the section.
    int AllowProductUpdate(const char *lpszName, const char *lpszSection);
    // CRC-32 of the record's first 29 bytes, as its writer stores it at offset 29.
    static DWORD ProductRecordCrc(const tagProductStruct *pRecord);

    // ---- instance setters: the value from the settings copy, to this object's machine
    int SetQuillbakUser();
    int SetQuillbakCompany();
    int SetQuillbakHomeDir();
    int SetQuillbakDBDir();
    int SetQuillbakLogDir();
    int SetQuillbakTempDir();
    int SetQuillbakManager();
    int SetQuillbakServer();
    int SetQuillbakAdmin();
    int SetQuillbakDatabase();
    int SetQuillbakEnvironmentVariables();
    int SetClientAgentHomeDir();
    int SetAlertCurrentBuild();
    int SetAlertCurrentBuildNumber();
    int SetAlertInstallDate();
    int SetAlertRegisteredOwner();
    int SetAlertRegisteredOrganization();
    int SetAlertHomeDir();
    int SetAlertLogDir();
    int SetAlertControlDir();
    int SetAlertEventLogDir();
    int SetAlertCompany();
    int SetAlertLocation();
    int SetAlertEventLog();

    // ---- class-wide setters: this machine's HKEY_LOCAL_MACHINE ------------------
    static int SetQuillbakUser(const char *lpszText);
    static int SetQuillbakCompany(const char *lpszText);
    static int SetQuillbakHomeDir(const char *lpszText);
    static int SetQuillbakDBDir(const char *lpszText);
    static int SetQuillbakLogDir(const char *lpszText);
    static int SetQuillbakTempDir(const char *lpszText);
    static int SetQuillbakManager(int bInstalled);
    static int SetQuillbakServer(int bInstalled);
    static int SetQuillbakAdmin(int bInstalled);
    // 2 for a nonzero argument, 1 for zero.
    static int SetQuillbakDatabase(int bSQL);
    static int SetQuillbakDatabase(DWORD dwType);
    static int SetAgentHomeDir(const char *lpszText);
    static int SetAlertCurrentBuild(const char *lpszText);
    static int SetAlertCurrentBuildNumber(const char *lpszText);
    static int SetAlertInstallDate(DWORD dwSeconds);
    static int SetAlertRegisteredOwner(const char *lpszText);
    static int SetAlertRegisteredOrganization(const char *lpszText);
    static int SetAlertHomeDir(const char *lpszText);
    static int SetAlertLogDir(const char *lpszText);
    static int SetAlertControlDir(const char *lpszText);
    static int SetAlertEventLogDir(const char *lpszText);
    static int SetAlertCompany(const char *lpszText);
    static int SetAlertLocation(const char *lpszText);

    // ---- system environment and event-log source (this machine) -----------------
    static int SetEnvironmentVariableA(const char *lpszName, const char *lpszValue);
    static int DeleteEnvironmentVariable(const char *lpszName);
    static int SetEventLogApplication(const char *lpszSource, const char *lpszMessageFile, DWORD dwTypes);

    // ---- product records -----------------------------------------------------------
    // Writes the 49-byte record as value `name` of the products key.
    static int RegisterProduct(const char *lpszName, tagProductStruct *pRecord);
    // Removes the record; an emptied products key goes with it.
    static int UnregisterProduct(const char *lpszName);
    // The same on the former maker's products key.
    int UnregisterHarnockProduct(const char *lpszName);
    // A record under any of the four products keys counts.
    static int IsProductInstalled(const char *lpszName, HKEY hKey);
    int IsProductInstalled(const char *lpszName);
    // 1 when this machine's record carries exactly that major and minor version.
    int IsProductInstalled(const char *lpszName, WORD wMajor, WORD wMinor);
    // Moves the record of an older version aside, under OldProducts (before
    // 6.6) or VMOldProducts; 0 when none is older than major.minor.
    int SavePerviousRegisterProduct(const char *lpszName, WORD wMajor, WORD wMinor);

    // ---- installed components and neighbours --------------------------------------
    static int IsQuillbakServerInstalled(HKEY hKey);
    static int IsQuillbakManagerInstalled(HKEY hKey);
    static int IsQuillbakAdminInstalled(HKEY hKey);
    int IsQuillbakServerInstalled();
    int IsQuillbakManagerInstalled();
    int IsQuillbakAdminInstalled();
    // The anti-virus product leaves an alert file of its own ("*.ALT") in the
    // Windows directory; the key is not consulted.
    static int VaxwallExists(HKEY hKey);

    // ---- maker-wide installed-products entry ----------------------------------------
    int SetVMITProduct();
    void DeleteVMITProductBranch();

    // ---- shared-file reference counts -------------------------------------------------
    static int IncrementSharedDLLCount(const char *lpszPath, int bKeepExisting);
    // The new count; a count of 1 removes the value, 0 stays 0.
    static DWORD DecrementSharedDLLCount(const char *lpszPath);

    // ---- Add/Remove Programs entry ----------------------------------------------------
    static int CreateUninstallKey(const char *lpszName, const char *lpszDisplayName, const char *lpszCommand);
    static int DeleteUninstallKey(const char *lpszName);
    int CreateQuillbakUninstallKey();
    int DeleteQuillbakUninstallKey();

    // ---- SNMP extension agent -----------------------------------------------------------
    // Registers an agent's key path under the next free number; 1 when SNMP
    // is not installed.
    static int SetSNMPRegistry(const char *lpszAgentKey);
    // Removes every registration of the path, with SNMP stopped meanwhile.
    static int DeleteSNMPRegistry(const char *lpszAgentKey);
    static int SetQuillbakSNMPPath(const char *lpszPath);
    int CreateQuillbakSNMPKey();
    int DeleteQuillbakSNMPKey();

    // ---- Explorer shell extension and the script file type ----------------------------
    static int SetQuillbakShellExtension(const char *lpszHomeDir);
    int SetQuillbakShellExtension();
    static int DeleteQuillbakShellExtension(const char *lpszHomeDir);
    int DeleteQuillbakShellExtension();

    // ---- job-database tuning (base + "\Database") ---------------------------------------
    static int SetBackupDaemonBufferSize(DWORD dwValue);
    static int SetDatabasePruning(DWORD dwValue);
    static int SetDelayPruning(DWORD dwValue);
    static int SetPruningDays(DWORD dwValue);
    static int SetPruningTime(DWORD dwValue);

    // ---- clean-up ------------------------------------------------------------------------
    // Deletes every sub-key beneath the path, not the key itself. 1 when all
    // went (or the key is absent); 0 after the first that stays, and for a
    // path that names no key below the top of a hive.
    static int DeleteSubKeys(HKEY hParent, const char *lpszPath);
    static void DeleteHarnockBranch(int bAll);
    static void DeleteQuillbakBranch(int bAll);
    void DeleteQuillbakBaseBranch();
    static void DeleteReactronBranch();
    void DeleteAlertBranch();
    void DeleteQuillbakUserBranches();
    void DeleteHarnockUserBranches(int bAll);
    static void DeleteOldQuillbakKey(CString strSubKey);
    // Keys and values below the maker root and the product root.
    static int AddHarnockKey(CString strSubKey);
    static int AddQuillbakKey(CString strSubKey);
    static void DeleteHarnockKey(CString strSubKey);
    static void DeleteQuillbakKey(CString strSubKey);
    static int SetHarnockKeyValue(CString strSubKey, CString strValueName, DWORD dwType, BYTE *pData, DWORD dwSize);
    static int SetQuillbakKeyValue(CString strSubKey, CString strValueName, DWORD dwType, BYTE *pData, DWORD dwSize);
    static int QueryHarnockKeyValue(CString strSubKey, CString strValueName, DWORD *pdwType, BYTE *pData,
                                    DWORD *pdwSize, HKEY hKey = NULL);
    static int QueryQuillbakKeyValue(CString strSubKey, CString strValueName, DWORD *pdwType, BYTE *pData,
                                     DWORD *pdwSize, HKEY hKey = NULL);
    // The uninstall sweep of the product's own keys; leaves the base key,
    // the SNMP registration and the environment.
    int DeleteDynamicKey();
    // The record of the settings' product, from the former maker's products
    // keys to OldDBAgents, and its removal.
    void CreateOldProdDscrpt();
    void DeleteOldProdDscrpt();
    // Database agents below the product root (bNewRoot) or the former maker root.
    static int GetDBAgentHomeDir(CString strAgentKey, char *lpszBuffer, DWORD *pdwSize, int bNewRoot,
                                 HKEY hKey = NULL);
    static int ExistOther_DBAgents(CString strAgentKey, int bNewRoot, CString &strOtherDir);
    static void DeleteAgentSubKeys(CString strAgentKey, int bNewRoot);
    static void UpdateRPCImagePath(CString strNewPath);

    // Roots of the former maker's layout, and the current product root
    // (empty until the first object has been constructed). Never NULL.
    static LPCSTR OldHarnockKey();
    static LPCSTR OldQuillbakKey();
    static LPCSTR OldQuillbakBaseKey();
    static LPCSTR OldProductsKey();
    static LPCSTR OldAgentKey();
    static LPCSTR GetQuillbakKey();

    // TRUE when a key path (relative to a hive) may be deleted, copied over
    // or converted. An empty branded root leaves a path empty or starting
    // with a backslash, and such a path must never reach a recursive delete
    // or a copy, which would then work at the top of the hive. FALSE for: no
    // text; a leading backslash (so also backslashes only); an empty
    // component (a doubled or trailing backslash: an empty word); a hive's
    // name as the first component; a hive's top-level key on its own
    // ("SOFTWARE", "SYSTEM", "CLSID", ...). Callers pass the path of the key
    // that is deleted or copied, not of its parent.
    static BOOL IsSafeKeyPath(LPCSTR lpszKeyPath);

    // ---- names of the layout beyond the class's own vocabulary -----------------
    // The custom actions spell some of these too, hence public.
    // Built-in roots used when the branding library lacks a function.
    static const CString m_sDefaultHarnockKey;      // "SOFTWARE\Veltmark"
    static const CString m_sDefaultQuillbakKey;     // "SOFTWARE\Veltmark\QuillbakIT"
    static const CString m_sDefaultQuillbakBaseKey; // "SOFTWARE\Veltmark\QuillbakIT\Base"
    static const CString m_sDefaultProductsKey;     // "SOFTWARE\Veltmark\QuillbakIT\Products"
    // Product root + this = client agent key.
    static const CString m_sAgentSubKey;            // "\ClientAgent\Common"
    // Former maker's paths written out where they are used.
    static const CString m_sOldAlertKey;            // "SOFTWARE\Harnock\ALERT\CurrentVersion"
    static const CString m_sOldDSAgentProductsKey;  // "SOFTWARE\Harnock\DSAgent\CurrentVersion\Products"
    static const CString m_sOldDBAgentsKey;         // "SOFTWARE\Veltmark\QuillbakIT\OldDBAgents"
    // Key-name words under the product root and the maker root.
    static const CString m_sVMOldProducts;          // "VMOldProducts"
    static const CString m_sVMInstalledITProducts;  // "VM-InstalledITProducts"
    // Values of the VM-InstalledITProducts entry.
    static const CString m_sProductCode;            // "ProductCode"
    // Environment variables and the value of LNNAME.
    static const CString m_sLNName;                 // "LNNAME"
    static const CString m_sRNName;                 // "RNNAME"
    static const CString m_sCatPath;                // "CATPATH"
    static const CString m_sLNNameValue;            // "QUILLBAK"
    // Folder below the home directory that the SNMP key names.
    static const CString m_sSNMPFolder;             // "qlsnmp"
    // Support addresses under base + "\QLMgr".
    static const CString m_sQLMgrSubKey;            // "\QLMgr"
    static const CString m_sCertifiedDevices;       // "CertifiedDevices"
    static const CString m_sENews;                  // "ENews"
    static const CString m_sESupport;               // "ESupport"
    static const CString m_sOnlineHelp;             // "OnlineHelp"
    // Record name of the former product line, last fallback of this product's record.
    static const CString m_sProductPanorel125;      // "Panorel125Backup"
    // Keys the product's programs keep under the base key; setup only removes them.
    static const CString m_sBaseAdminKey;           // "Admin"
    static const CString m_sBaseTapeEngineKey;      // "TapeEngine"
    static const CString m_sBaseDBAdminKey;         // "DBAdmin"
    static const CString m_sBaseLogKey;             // "Log"
    static const CString m_sBaseTaskKey;            // "Task"
    static const CString m_sBaseLastFullBackupKey;  // "LastFullBackup"
    static const CString m_sBaseLastImageBackupKey; // "LastImageBackup"
    static const CString m_sBaseServerRecordKey;    // "ServerRecord"
    static const CString m_sBaseSystemSettingKey;   // "SystemSetting"
    // Per-user keys under HKEY_CURRENT_USER.
    static const CString m_sAppWizardKey;           // "Software\Local AppWizard-Generated Applications"
    static const CString m_sCentralDBConfigKey;     // "QuillbakIT Central Database Configuration"

protected:
    // Clears every field, obtains the branded roots and opens the machine's
    // HKEY_LOCAL_MACHINE. Leaves the settings copy alone.
    void Construct(char *lpszMachine);
    // (Re)assigns the five branded roots from the branding library; a
    // missing library is logged to lpszLogFile (nothing when it is empty).
    static void ObtainBrandRoots(LPCSTR lpszLogFile);

    static int IsQuillbakComponentInstalled(const char *lpszValueName, HKEY hKey);
    // The one place that deletes a key: `lpszLeaf` below `lpszParentPath` of
    // the hive (NULL: the hive itself; an empty text is a root that is
    // missing, not the hive), only when the key's whole path names a key below the top of
    // the hive (never a hive or a top-level key reached through an empty
    // root). A key with sub-keys stays: Windows refuses to delete it.
    static BOOL DeleteKeyAt(HKEY hHive, const char *lpszParentPath, const char *lpszLeaf);
    // Deletes the key named by its whole path, through DeleteKeyAt.
    static BOOL DeleteKeyPath(HKEY hHive, const CString &strPath);
    // The per-user removals, for one hive and a prefix ("" or "<SID>\").
    static void RemoveUserProductBranch(HKEY hHive, const CString &strPrefix, int bAll);
    static void RemoveUserMakerBranch(HKEY hHive, const CString &strPrefix, int bAll);
    static void ForEachLoadedProfile(void (*remove)(HKEY, const CString &, int), int bAll);
    static BOOL AgentKeyParts(const CString &strAgentKey, int bNewRoot, CString &strParent, CString &strLeaf);
    // Root + "\" + sub, without doubling a leading backslash of sub.
    static CString JoinKey(const CString &strRoot, const CString &strSubKey);

    // ---- branded roots: assigned by every construction, shared by all objects
    static CString m_sHarnockKey;       // maker root
    static CString m_sQuillbakKey;      // product root
    static CString m_sQuillbakBaseKey;  // base key
    static CString m_sProductsKey;      // products key
    static CString m_sAgentKey;         // product root + "\ClientAgent\Common"

    // ---- former maker's roots
    static const CString m_sOldHarnockKey;
    static const CString m_sOldQuillbakKey;
    static const CString m_sOldQuillbakBaseKey;
    static const CString m_sOldProductsKey;
    static const CString m_sOldAgentKey;

    // ---- fixed Windows and product keys (under HKEY_LOCAL_MACHINE)
    static const CString m_sSNMPExtensionAgentsKey;
    static const CString m_sEventLogKey;
    static const CString m_sEnvironmentKey;
    static const CString m_sMicrosoftKey;
    static const CString m_sProfileListKey;
    static const CString m_sSoftwareKey;
    static const CString m_sAlertKey;
    static const CString m_sVaxwallKey;
    static const CString m_sShellExtApprovedKey;
    static const CString m_sUninstallKey;
    static const CString m_sSharedDLLKey;

    // ---- sub-key suffixes, each with its leading backslash
    static const CString m_sPathSubKey;
    static const CString m_sDomainSubKey;
    static const CString m_sComponentsSubKey;
    static const CString m_sUserSubKey;
    static const CString m_sDatabaseSubKey;
    static const CString m_sSNMPSubKey;

    // ---- key-name words
    static const CString m_sQuillbak;
    static const CString m_sHarnock;
    static const CString m_sALERT;
    static const CString m_sProducts;
    static const CString m_sOldProducts;
    static const CString m_sReactron;
    static const CString m_sQuillbakUninstallKey;

    // ---- value names
    static const CString m_sHome;
    static const CString m_sDatabase;
    static const CString m_sLog;
    static const CString m_sTemp;
    static const CString m_sManager;
    static const CString m_sServer;
    static const CString m_sAdmin;
    static const CString m_sRegisteredName;
    static const CString m_sRegisteredOrg;
    static const CString m_sDatabaseType;
    static const CString m_sPathname;
    static const CString m_sRegisteredOrganization;
    static const CString m_sRegisteredOwner;
    static const CString m_sProductQuillbak;
    static const CString m_sCurrentBuildNumber;
    static const CString m_sCurrentBuild;
    static const CString m_sInstallDate;
    static const CString m_sControl;
    static const CString m_sEventLog;
    static const CString m_sRegisteredCompany;
    static const CString m_sRegisteredLocation;
    static const CString m_sEventMessageFile;
    static const CString m_sTypesSupported;
    static const CString m_sAlert;
    static const CString m_sDisplayName;
    static const CString m_sUninstallString;
    static const CString m_sProfileImagePath;
    static const CString m_sPath;
    static const CString m_sDaemonSize;
    static const CString m_sPruningFlag;
    static const CString m_sDelayFlag;
    static const CString m_sPruningDays;
    static const CString m_sPruningTime;
    static const CString m_sThreadingModel;

    // ---- shell extension and script file type (under HKEY_CLASSES_ROOT)
    static const CString m_sQuillbakShellExtensionCLSID;
    static const CString m_sQuillbakShellExtension;
    static const CString m_sQuillbakShellExtensionCLSIDKey;
    static const CString m_sQuillbakShellExtensionInProcServerKey;
    static const CString m_sDrivePropertySheetHandler;
    static const CString m_sDriveMenuHandler;
    static const CString m_sDirMenuHandler;
    static const CString m_sAllMenuHandler;
    static const CString m_sQuillbakScriptExtension;
    static const CString m_sQuillbakScriptFile;
    static const CString m_sQuillbakScriptDefaultIcon;
    static const CString m_sQuillbakScriptFileShellExtension;
    static const CString m_sQuillbakScriptIconHandler;
    static const CString m_sQuillbakScriptPropertySheetHandler;
    static const CString m_sQuillbakScriptMenuHandler;
    static const CString m_sQuillbakScriptPropertySheetHandlerCLSID;
    static const CString m_sQuillbakScriptMenuHandlerCLSID;

    // ---- the object, in this order
    DWORD m_dwMode;                  // 0, KEY_WRITE from settings, KEY_READ or-ed in by reading
    CString m_strOrganization;       // last registered organization read
    CString m_strOwner;              // last registered owner read
    CString m_strHomeDir;
    CString m_strDBDir;
    CString m_strLogDir;
    CString m_strTempDir;
    CString m_strAlertHomeDir;
    CString m_strAgentHomeDir;
    DWORD m_dwUserLevel;
    DWORD m_dwProductCode;
    WORD m_wVersion;                 // low half of the record's version word
    WORD m_wBuild;                   // high half
    DWORD m_dwNamedProductCode;      // of a product named by the caller
    WORD m_wNamedVersion;
    WORD m_wNamedBuild;
    WORD m_wAlertBuild;
    CSettings m_Settings;            // the setup settings this object writes from
    HKEY m_hRegistry;                // HKEY_LOCAL_MACHINE, or the remote machine's
    tagProductStruct m_Record;       // this product's record as last read
    char m_chSubType;
    char m_chNamedSubType;           // 0xFF until a named product is read
    CString m_strMachine;            // empty for the local machine

private:
    friend class CRegistryConverter;
    // The registry this object reads and writes: HKEY_LOCAL_MACHINE, the
    // remote machine's, or NULL when that machine could not be reached.
    HKEY Registry() const { return m_hRegistry; }
    // TRUE when the object was built to write (a read-only object is not).
    BOOL MayWrite() const;
    // Reads one text through a class-wide getter into a field.
    typedef int (*TextGetter)(char *, DWORD *, HKEY);
    const char *ReadText(TextGetter getter, CString &field);
    // This product's record, or a named one's, read through this object's registry.
    BOOL ReadRecord(const char *lpszName, tagProductStruct &record);
    // Copies share one remote handle; the last copy to go closes it.
    void ReleaseRemote();
    LONG *m_plRemoteRefs;
};

#endif
