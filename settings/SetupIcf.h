// The installation configuration file "QUILLBAK.ICF": the answers of an
// unattended or remote installation (owner, folders, service account,
// components, database, mainframe link). Read and written through the
// Windows profile functions, so the file may be edited by hand.
#ifndef QL_SETUPICF_H
#define QL_SETUPICF_H

#include "system/QlApi.h"
#include "afxstr.h"

class QL_API CSetupIcf {
public:
    // Section and key names, and the built-in defaults.
    static const char *const m_sDefaultFilename;      // "QUILLBAK.ICF"
    static const char *const m_sUserInfo;             // "UserInfo"
    static const char *const m_sFullName;             // "FullName"
    static const char *const m_sCompanyName;          // "CompanyName"
    static const char *const m_sInstall;              // "Install"
    static const char *const m_sInstallPath;          // "InstallPath"
    static const char *const m_sQuillbakPath;         // "QuillbakPath"
    static const char *const m_sAlertPath;            // "AlertPath"
    static const char *const m_sAgentPath;            // "AgentPath"
    static const char *const m_sDefaultQuillbakPath;  // ""
    static const char *const m_sDefaultAlertPath;     // "C:\ALERT"
    static const char *const m_sDefaultAgent95Path;   // "C:\W95AGENT"
    static const char *const m_sDefaultAgentNTPath;   // ""
    static const char *const m_sUninstall;            // "Uninstall"
    static const char *const m_sMVSConfig;            // "MVSConfig"
    static const char *const m_sSystemAccount;        // "SystemAccount"
    static const char *const m_sDefaultDomainName;    // "DefaultDomainName"
    static const char *const m_sDefaultUserName;      // "DefaultUserName"
    static const char *const m_sDefaultPassword;      // "DefaultPassword"
    static const char *const m_sQLBManager;           // "QLBManager"
    static const char *const m_sQLBServer;            // "QLBServer"
    static const char *const m_sQLBServerAdmin;       // "QLBServerAdmin"
    static const char *const m_sAlert;                // "Alert"
    static const char *const m_sDataMigration;        // "DataMigration"
    static const char *const m_sOverwriteDB;          // "OverwriteDB"
    static const char *const m_sOverwriteJobQueue;    // "OverwriteJobQueue"
    static const char *const m_sDatabaseOption;       // "DatabaseOption"
    static const char *const m_sSQL;                  // "SQL"
    static const char *const m_sSiteName;             // "SITENAME"
    static const char *const m_sSystemID;             // "SYSTEMID"
    static const char *const m_sLocalLUAlias;         // "LOCALLUALIAS"
    static const char *const m_sPartnerLUAlias;       // "PARTNERLUALIAS"

    // Binds the object to a file. A null or empty path, or one naming
    // nothing that exists, selects "QUILLBAK.ICF" beside the running
    // program; that path is kept even when the file is absent, so writes
    // create it there. Whether the file exists is decided here, once: the
    // readers of an object made before the file existed never read it.
    explicit CSetupIcf(LPCSTR lpszFileName = NULL);
    CSetupIcf(const CSetupIcf &other);
    CSetupIcf &operator=(const CSetupIcf &other);
    ~CSetupIcf();

    int Exists() const { return m_bExists; }
    LPCSTR FileName() const { return m_strFileName; }

    static LPCSTR DefaultICFFileName() { return m_sDefaultFilename; }
    static LPCSTR DefaultQuillbakPath() { return m_sDefaultQuillbakPath; }
    static LPCSTR DefaultAlertPath() { return m_sDefaultAlertPath; }
    static LPCSTR DefaultAgent95Path() { return m_sDefaultAgent95Path; }
    static LPCSTR DefaultAgentNTPath() { return m_sDefaultAgentNTPath; }

    // ---- text readers: the object's cache, refreshed from the file when it
    // exists (an absent key gives its default), left as it is otherwise.
    LPCSTR FullName();     // [UserInfo] FullName
    LPCSTR CompanyName();  // [UserInfo] CompanyName
    // [QuillbakInstall] InstallPath, else [InstallPath] QuillbakPath ("").
    LPCSTR QuillbakPath();
    // [QuillbakInstall] AlertPath, else [InstallPath] AlertPath ("C:\ALERT").
    LPCSTR AlertPath();
    // [InstallPath] AgentPath ("C:\W95AGENT" on Windows 95, else "").
    LPCSTR ClientAgentPath();
    // [System Account] <key>, else [SystemAccount] <key> ("").
    LPCSTR SystemAccountDomain();    // DefaultDomainName
    LPCSTR SystemAccountUser();      // DefaultUserName
    LPCSTR SystemAccountPassword();  // DefaultPassword
    LPCSTR SiteName();               // [MVSConfig] SITENAME
    LPCSTR SystemID();               // [MVSConfig] SYSTEMID
    LPCSTR LocalLUAlias();           // [MVSConfig] LOCALLUALIAS
    LPCSTR PartnerLUAlias();         // [MVSConfig] PARTNERLUALIAS

    // ---- switch readers: the key's number (profile-integer rules) while the
    // file exists, else the value read last (the default at first).
    int InstallManager();     // [Install] QLBManager, 1
    int InstallServer();      // [Install] QLBServer, 1
    int InstallAdmin();       // [Install] QLBServerAdmin, 1
    int InstallAlert();       // [Install] Alert, 1
    int InstallHSM();         // [Install] DataMigration, 1
    int InstallPNR();         // never in the file: 0
    // Files written for the earlier release rely on an absent key meaning
    // "overwrite"; with no file at all both stay 0.
    int OverwriteDB();        // [Install] OverwriteDB, 1
    int OverwriteJobQueue();  // [Install] OverwriteJobQueue, 1
    int SQLDB();              // [DatabaseOption] SQL, 0
    int UninstallQuillbak();  // [Uninstall] QLBServer, 1
    int UninstallAlert();     // [Uninstall] Alert, 1

    // ---- raw switch text of [Install], to tell "1", "0" and an absent key
    // apart. nSize is the buffer's size in characters, terminator included.
    // With the file: 1 when the key has text, else 0 (the buffer then holds
    // ""). Without it: 1 for a non-zero size, the buffer set to "". A null
    // buffer or a zero size is never written and gives 0.
    int InstallManager(LPSTR lpszBuffer, unsigned long nSize);
    int InstallServer(LPSTR lpszBuffer, unsigned long nSize);
    int InstallAdmin(LPSTR lpszBuffer, unsigned long nSize);

    // ---- writers: the profile write's result (non-zero on success). A null
    // text is written as ""; a text with a line break is refused (0, the
    // file untouched): it would end its line and start keys of its own.
    int FullName(LPCSTR lpszText);               // [UserInfo]
    int CompanyName(LPCSTR lpszText);            // [UserInfo]
    int QuillbakPath(LPCSTR lpszText);           // [InstallPath] QuillbakPath
    int AlertPath(LPCSTR lpszText);              // [InstallPath] AlertPath
    int AgentPath(LPCSTR lpszText);              // [InstallPath] AgentPath
    int ClientAgentPath(LPCSTR lpszText) { return AgentPath(lpszText); }
    int SystemAccountDomain(LPCSTR lpszText);    // [SystemAccount]
    int SystemAccountUser(LPCSTR lpszText);      // [SystemAccount]
    int SystemAccountPassword(LPCSTR lpszText);  // [SystemAccount]
    int SiteName(LPCSTR lpszText);               // [MVSConfig]
    int SystemID(LPCSTR lpszText);
    int LocalLUAlias(LPCSTR lpszText);
    int PartnerLUAlias(LPCSTR lpszText);
    // Switches are written as "1" (non-zero) or "0".
    int InstallManager(int bOn);
    int InstallServer(int bOn);
    int InstallAdmin(int bOn);
    int InstallAlert(int bOn);
    int InstallHSM(int bOn);
    int InstallPNR(int bOn);  // not kept in the file: writes nothing, 0
    int OverwriteDB(int bOn);
    int OverwriteJobQueue(int bOn);
    int SQLDB(int bOn);              // [DatabaseOption] SQL
    int UninstallQuillbak(int bOn);  // [Uninstall] QLBServer
    int UninstallAlert(int bOn);     // [Uninstall] Alert

    // ---- generic access
    // A direct profile write (a null value removes the key, a null key the
    // section, as the profile function does).
    int WriteString(LPCSTR lpszSection, LPCSTR lpszKey, LPCSTR lpszValue);
    // The value as decimal text.
    int WriteInt(LPCSTR lpszSection, LPCSTR lpszKey, int nValue);
    // Reads a text value (default "") into lpszBuffer and returns the number
    // of characters copied; 0 without reading when the file does not exist.
    //
    // The buffer's size is not passed: the caller offers room by filling the
    // buffer with text of that many characters and its terminator. That
    // length is the size handed to the profile read, which therefore stores
    // at most length - 1 characters and a terminator, all within the bytes
    // the caller filled; the caller's own terminator and anything after it
    // are never written. The length is counted up to the first terminator
    // only, and a buffer without one in its first 32767 characters (or a null
    // or empty buffer) reads nothing and gives 0, the buffer untouched. So:
    //     char value[33]; memset(value, 'x', 32); value[32] = '\0';
    //     icf.GetString("UserInfo", "FullName", value);  // up to 31 characters
    int GetString(LPCSTR lpszSection, LPCSTR lpszKey, LPSTR lpszBuffer);
    // Stores the key's number (default 0) and returns 1; 0 without reading
    // when the file does not exist or pnValue is null.
    int GetInt(LPCSTR lpszSection, LPCSTR lpszKey, int *pnValue);

private:
    int FindFile();
    // Reads a text key into a cache of nSize characters (terminator included).
    void ReadText(LPCSTR lpszSection, LPCSTR lpszKey, LPCSTR lpszDefault, char *cache, DWORD nSize);
    // The first place, then the second with its default when the first is empty.
    void ReadTwoPlaces(LPCSTR lpszFirstSection, LPCSTR lpszFirstKey, LPCSTR lpszSecondSection,
                       LPCSTR lpszSecondKey, LPCSTR lpszDefault, char *cache, DWORD nSize);
    int ReadSwitch(LPCSTR lpszSection, LPCSTR lpszKey, int nDefault, int &cache);
    int ReadRawSwitch(LPCSTR lpszKey, LPSTR lpszBuffer, unsigned long nSize);
    int WriteText(LPCSTR lpszSection, LPCSTR lpszKey, LPCSTR lpszText);
    int WriteSwitch(LPCSTR lpszSection, LPCSTR lpszKey, int bOn);

    CString m_strFileName;
    int m_bExists;
    char m_szFullName[256];
    char m_szCompanyName[256];
    char m_szQuillbakPath[260];
    char m_szAlertPath[260];
    char m_szAgentPath[260];
    char m_szSystemAccountDomain[48];
    char m_szSystemAccountUser[48];
    char m_szSystemAccountPassword[48];
    int m_bInstallManager;
    int m_bInstallServer;
    int m_bInstallAdmin;
    int m_bInstallAlert;
    int m_bInstallHSM;
    int m_bInstallPNR;
    int m_bOverwriteDB;
    int m_bOverwriteJobQueue;
    int m_bSQLDB;
    int m_bUninstallQuillbak;
    int m_bUninstallAlert;
    char m_szSiteName[48];
    char m_szSystemID[48];
    char m_szLocalLUAlias[48];
    char m_szPartnerLUAlias[48];
};

#endif
