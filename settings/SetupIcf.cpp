#include "SetupIcf.h"

#include "system/SetupPaths.h"
#include "system/Computer.h"

#include <cstdio>
#include <cstring>

const char *const CSetupIcf::m_sDefaultFilename = "QUILLBAK.ICF";
const char *const CSetupIcf::m_sUserInfo = "UserInfo";
const char *const CSetupIcf::m_sFullName = "FullName";
const char *const CSetupIcf::m_sCompanyName = "CompanyName";
const char *const CSetupIcf::m_sInstall = "Install";
const char *const CSetupIcf::m_sInstallPath = "InstallPath";
const char *const CSetupIcf::m_sQuillbakPath = "QuillbakPath";
const char *const CSetupIcf::m_sAlertPath = "AlertPath";
const char *const CSetupIcf::m_sAgentPath = "AgentPath";
const char *const CSetupIcf::m_sDefaultQuillbakPath = "";
const char *const CSetupIcf::m_sDefaultAlertPath = "C:\\ALERT";
const char *const CSetupIcf::m_sDefaultAgent95Path = "C:\\W95AGENT";
const char *const CSetupIcf::m_sDefaultAgentNTPath = "";
const char *const CSetupIcf::m_sUninstall = "Uninstall";
const char *const CSetupIcf::m_sMVSConfig = "MVSConfig";
const char *const CSetupIcf::m_sSystemAccount = "SystemAccount";
const char *const CSetupIcf::m_sDefaultDomainName = "DefaultDomainName";
const char *const CSetupIcf::m_sDefaultUserName = "DefaultUserName";
const char *const CSetupIcf::m_sDefaultPassword = "DefaultPassword";
const char *const CSetupIcf::m_sQLBManager = "QLBManager";
const char *const CSetupIcf::m_sQLBServer = "QLBServer";
const char *const CSetupIcf::m_sQLBServerAdmin = "QLBServerAdmin";
const char *const CSetupIcf::m_sAlert = "Alert";
const char *const CSetupIcf::m_sDataMigration = "DataMigration";
const char *const CSetupIcf::m_sOverwriteDB = "OverwriteDB";
const char *const CSetupIcf::m_sOverwriteJobQueue = "OverwriteJobQueue";
const char *const CSetupIcf::m_sDatabaseOption = "DatabaseOption";
const char *const CSetupIcf::m_sSQL = "SQL";
const char *const CSetupIcf::m_sSiteName = "SITENAME";
const char *const CSetupIcf::m_sSystemID = "SYSTEMID";
const char *const CSetupIcf::m_sLocalLUAlias = "LOCALLUALIAS";
const char *const CSetupIcf::m_sPartnerLUAlias = "PARTNERLUALIAS";

namespace {

// Older files name these sections differently; they win over the sections
// the writers use.
const char kQuillbakInstall[] = "QuillbakInstall";
const char kInstallPathKey[] = "InstallPath";
const char kSystemAccountSpaced[] = "System Account";

// The longest text GetString measures in a caller's buffer.
const DWORD kLongestOfferedText = 32767;

template <size_t N>
void Clear(char (&field)[N]) {
    memset(field, 0, N);
}

}  // namespace

CSetupIcf::CSetupIcf(LPCSTR lpszFileName) : m_strFileName(lpszFileName ? lpszFileName : "") {
    m_bExists = FindFile();
    Clear(m_szFullName);
    Clear(m_szCompanyName);
    Clear(m_szQuillbakPath);
    Clear(m_szAlertPath);
    Clear(m_szAgentPath);
    Clear(m_szSystemAccountDomain);
    Clear(m_szSystemAccountUser);
    Clear(m_szSystemAccountPassword);
    m_bInstallManager = 1;
    m_bInstallServer = 1;
    m_bInstallAdmin = 1;
    m_bInstallAlert = 1;
    m_bInstallHSM = 1;
    m_bInstallPNR = 0;
    m_bOverwriteDB = 0;
    m_bOverwriteJobQueue = 0;
    m_bSQLDB = 0;
    m_bUninstallQuillbak = 1;
    m_bUninstallAlert = 1;
    Clear(m_szSiteName);
    Clear(m_szSystemID);
    Clear(m_szLocalLUAlias);
    Clear(m_szPartnerLUAlias);
}

CSetupIcf::CSetupIcf(const CSetupIcf &other) : m_bExists(0) { *this = other; }

CSetupIcf &CSetupIcf::operator=(const CSetupIcf &o) {
    if (this == &o) return *this;
    m_strFileName = o.m_strFileName;
    m_bExists = o.m_bExists;
    memcpy(m_szFullName, o.m_szFullName, sizeof m_szFullName);
    memcpy(m_szCompanyName, o.m_szCompanyName, sizeof m_szCompanyName);
    memcpy(m_szQuillbakPath, o.m_szQuillbakPath, sizeof m_szQuillbakPath);
    memcpy(m_szAlertPath, o.m_szAlertPath, sizeof m_szAlertPath);
    memcpy(m_szAgentPath, o.m_szAgentPath, sizeof m_szAgentPath);
    memcpy(m_szSystemAccountDomain, o.m_szSystemAccountDomain, sizeof m_szSystemAccountDomain);
    memcpy(m_szSystemAccountUser, o.m_szSystemAccountUser, sizeof m_szSystemAccountUser);
    memcpy(m_szSystemAccountPassword, o.m_szSystemAccountPassword, sizeof m_szSystemAccountPassword);
    m_bInstallManager = o.m_bInstallManager;
    m_bInstallServer = o.m_bInstallServer;
    m_bInstallAdmin = o.m_bInstallAdmin;
    m_bInstallAlert = o.m_bInstallAlert;
    m_bInstallHSM = o.m_bInstallHSM;
    m_bInstallPNR = o.m_bInstallPNR;
    m_bOverwriteDB = o.m_bOverwriteDB;
    m_bOverwriteJobQueue = o.m_bOverwriteJobQueue;
    m_bSQLDB = o.m_bSQLDB;
    m_bUninstallQuillbak = o.m_bUninstallQuillbak;
    m_bUninstallAlert = o.m_bUninstallAlert;
    memcpy(m_szSiteName, o.m_szSiteName, sizeof m_szSiteName);
    memcpy(m_szSystemID, o.m_szSystemID, sizeof m_szSystemID);
    memcpy(m_szLocalLUAlias, o.m_szLocalLUAlias, sizeof m_szLocalLUAlias);
    memcpy(m_szPartnerLUAlias, o.m_szPartnerLUAlias, sizeof m_szPartnerLUAlias);
    return *this;
}

CSetupIcf::~CSetupIcf() {}

int CSetupIcf::FindFile() {
    if (!m_strFileName.IsEmpty() && CComputer::PathExists(m_strFileName)) return 1;
    m_strFileName = RunningProgramFolder() + m_sDefaultFilename;
    return CComputer::PathExists(m_strFileName) ? 1 : 0;
}

// ---- reading ---------------------------------------------------------------------
void CSetupIcf::ReadText(LPCSTR lpszSection, LPCSTR lpszKey, LPCSTR lpszDefault, char *cache, DWORD nSize) {
    GetPrivateProfileStringA(lpszSection, lpszKey, lpszDefault, cache, nSize, m_strFileName);
    cache[nSize - 1] = '\0';
}

void CSetupIcf::ReadTwoPlaces(LPCSTR lpszFirstSection, LPCSTR lpszFirstKey, LPCSTR lpszSecondSection,
                              LPCSTR lpszSecondKey, LPCSTR lpszDefault, char *cache, DWORD nSize) {
    ReadText(lpszFirstSection, lpszFirstKey, "", cache, nSize);
    if (cache[0] == '\0') ReadText(lpszSecondSection, lpszSecondKey, lpszDefault, cache, nSize);
}

int CSetupIcf::ReadSwitch(LPCSTR lpszSection, LPCSTR lpszKey, int nDefault, int &cache) {
    if (m_bExists) cache = (int)GetPrivateProfileIntA(lpszSection, lpszKey, nDefault, m_strFileName);
    return cache;
}

LPCSTR CSetupIcf::FullName() {
    if (m_bExists) ReadText(m_sUserInfo, m_sFullName, "", m_szFullName, sizeof m_szFullName);
    return m_szFullName;
}

LPCSTR CSetupIcf::CompanyName() {
    if (m_bExists) ReadText(m_sUserInfo, m_sCompanyName, "", m_szCompanyName, sizeof m_szCompanyName);
    return m_szCompanyName;
}

LPCSTR CSetupIcf::QuillbakPath() {
    if (m_bExists)
        ReadTwoPlaces(kQuillbakInstall, kInstallPathKey, m_sInstallPath, m_sQuillbakPath, m_sDefaultQuillbakPath,
                      m_szQuillbakPath, sizeof m_szQuillbakPath);
    return m_szQuillbakPath;
}

LPCSTR CSetupIcf::AlertPath() {
    if (m_bExists)
        ReadTwoPlaces(kQuillbakInstall, m_sAlertPath, m_sInstallPath, m_sAlertPath, m_sDefaultAlertPath,
                      m_szAlertPath, sizeof m_szAlertPath);
    return m_szAlertPath;
}

LPCSTR CSetupIcf::ClientAgentPath() {
    if (m_bExists) {
        LPCSTR fallback = CComputer::IsWindows95(NULL) ? m_sDefaultAgent95Path : m_sDefaultAgentNTPath;
        ReadText(m_sInstallPath, m_sAgentPath, fallback, m_szAgentPath, sizeof m_szAgentPath);
    }
    return m_szAgentPath;
}

LPCSTR CSetupIcf::SystemAccountDomain() {
    if (m_bExists)
        ReadTwoPlaces(kSystemAccountSpaced, m_sDefaultDomainName, m_sSystemAccount, m_sDefaultDomainName, "",
                      m_szSystemAccountDomain, sizeof m_szSystemAccountDomain);
    return m_szSystemAccountDomain;
}

LPCSTR CSetupIcf::SystemAccountUser() {
    if (m_bExists)
        ReadTwoPlaces(kSystemAccountSpaced, m_sDefaultUserName, m_sSystemAccount, m_sDefaultUserName, "",
                      m_szSystemAccountUser, sizeof m_szSystemAccountUser);
    return m_szSystemAccountUser;
}

LPCSTR CSetupIcf::SystemAccountPassword() {
    if (m_bExists)
        ReadTwoPlaces(kSystemAccountSpaced, m_sDefaultPassword, m_sSystemAccount, m_sDefaultPassword, "",
                      m_szSystemAccountPassword, sizeof m_szSystemAccountPassword);
    return m_szSystemAccountPassword;
}

LPCSTR CSetupIcf::SiteName() {
    if (m_bExists) ReadText(m_sMVSConfig, m_sSiteName, "", m_szSiteName, sizeof m_szSiteName);
    return m_szSiteName;
}

LPCSTR CSetupIcf::SystemID() {
    if (m_bExists) ReadText(m_sMVSConfig, m_sSystemID, "", m_szSystemID, sizeof m_szSystemID);
    return m_szSystemID;
}

LPCSTR CSetupIcf::LocalLUAlias() {
    if (m_bExists) ReadText(m_sMVSConfig, m_sLocalLUAlias, "", m_szLocalLUAlias, sizeof m_szLocalLUAlias);
    return m_szLocalLUAlias;
}

LPCSTR CSetupIcf::PartnerLUAlias() {
    if (m_bExists) ReadText(m_sMVSConfig, m_sPartnerLUAlias, "", m_szPartnerLUAlias, sizeof m_szPartnerLUAlias);
    return m_szPartnerLUAlias;
}

int CSetupIcf::InstallManager() { return ReadSwitch(m_sInstall, m_sQLBManager, 1, m_bInstallManager); }
int CSetupIcf::InstallServer() { return ReadSwitch(m_sInstall, m_sQLBServer, 1, m_bInstallServer); }
int CSetupIcf::InstallAdmin() { return ReadSwitch(m_sInstall, m_sQLBServerAdmin, 1, m_bInstallAdmin); }
int CSetupIcf::InstallAlert() { return ReadSwitch(m_sInstall, m_sAlert, 1, m_bInstallAlert); }
int CSetupIcf::InstallHSM() { return ReadSwitch(m_sInstall, m_sDataMigration, 1, m_bInstallHSM); }
int CSetupIcf::InstallPNR() { return m_bInstallPNR; }
int CSetupIcf::OverwriteDB() { return ReadSwitch(m_sInstall, m_sOverwriteDB, 1, m_bOverwriteDB); }
int CSetupIcf::OverwriteJobQueue() { return ReadSwitch(m_sInstall, m_sOverwriteJobQueue, 1, m_bOverwriteJobQueue); }
int CSetupIcf::SQLDB() { return ReadSwitch(m_sDatabaseOption, m_sSQL, 0, m_bSQLDB); }
int CSetupIcf::UninstallQuillbak() { return ReadSwitch(m_sUninstall, m_sQLBServer, 1, m_bUninstallQuillbak); }
int CSetupIcf::UninstallAlert() { return ReadSwitch(m_sUninstall, m_sAlert, 1, m_bUninstallAlert); }

int CSetupIcf::ReadRawSwitch(LPCSTR lpszKey, LPSTR lpszBuffer, unsigned long nSize) {
    if (!lpszBuffer || nSize == 0) return 0;
    if (!m_bExists) {
        // Nothing to read: an empty text, so that callers that print or
        // compare the buffer see no stale bytes.
        lpszBuffer[0] = '\0';
        return 1;
    }
    DWORD n = GetPrivateProfileStringA(m_sInstall, lpszKey, "", lpszBuffer, nSize, m_strFileName);
    if (n == 0) {
        lpszBuffer[0] = '\0';
        return 0;
    }
    if (n >= nSize) lpszBuffer[nSize - 1] = '\0';
    return 1;
}

int CSetupIcf::InstallManager(LPSTR lpszBuffer, unsigned long nSize) {
    return ReadRawSwitch(m_sQLBManager, lpszBuffer, nSize);
}
int CSetupIcf::InstallServer(LPSTR lpszBuffer, unsigned long nSize) {
    return ReadRawSwitch(m_sQLBServer, lpszBuffer, nSize);
}
int CSetupIcf::InstallAdmin(LPSTR lpszBuffer, unsigned long nSize) {
    return ReadRawSwitch(m_sQLBServerAdmin, lpszBuffer, nSize);
}

// ---- writing ---------------------------------------------------------------------
int CSetupIcf::WriteText(LPCSTR lpszSection, LPCSTR lpszKey, LPCSTR lpszText) {
    // A line break would let the text add sections and keys (a password, a
    // folder) of its own to the file.
    if (lpszText && (strchr(lpszText, '\r') || strchr(lpszText, '\n'))) return 0;
    return WritePrivateProfileStringA(lpszSection, lpszKey, lpszText ? lpszText : "", m_strFileName) ? 1 : 0;
}

int CSetupIcf::WriteSwitch(LPCSTR lpszSection, LPCSTR lpszKey, int bOn) {
    return WritePrivateProfileStringA(lpszSection, lpszKey, bOn ? "1" : "0", m_strFileName) ? 1 : 0;
}

int CSetupIcf::FullName(LPCSTR lpszText) { return WriteText(m_sUserInfo, m_sFullName, lpszText); }
int CSetupIcf::CompanyName(LPCSTR lpszText) { return WriteText(m_sUserInfo, m_sCompanyName, lpszText); }
int CSetupIcf::QuillbakPath(LPCSTR lpszText) { return WriteText(m_sInstallPath, m_sQuillbakPath, lpszText); }
int CSetupIcf::AlertPath(LPCSTR lpszText) { return WriteText(m_sInstallPath, m_sAlertPath, lpszText); }
int CSetupIcf::AgentPath(LPCSTR lpszText) { return WriteText(m_sInstallPath, m_sAgentPath, lpszText); }
int CSetupIcf::SystemAccountDomain(LPCSTR lpszText) {
    return WriteText(m_sSystemAccount, m_sDefaultDomainName, lpszText);
}
int CSetupIcf::SystemAccountUser(LPCSTR lpszText) { return WriteText(m_sSystemAccount, m_sDefaultUserName, lpszText); }
int CSetupIcf::SystemAccountPassword(LPCSTR lpszText) {
    return WriteText(m_sSystemAccount, m_sDefaultPassword, lpszText);
}
int CSetupIcf::SiteName(LPCSTR lpszText) { return WriteText(m_sMVSConfig, m_sSiteName, lpszText); }
int CSetupIcf::SystemID(LPCSTR lpszText) { return WriteText(m_sMVSConfig, m_sSystemID, lpszText); }
int CSetupIcf::LocalLUAlias(LPCSTR lpszText) { return WriteText(m_sMVSConfig, m_sLocalLUAlias, lpszText); }
int CSetupIcf::PartnerLUAlias(LPCSTR lpszText) { return WriteText(m_sMVSConfig, m_sPartnerLUAlias, lpszText); }

int CSetupIcf::InstallManager(int bOn) { return WriteSwitch(m_sInstall, m_sQLBManager, bOn); }
int CSetupIcf::InstallServer(int bOn) { return WriteSwitch(m_sInstall, m_sQLBServer, bOn); }
int CSetupIcf::InstallAdmin(int bOn) { return WriteSwitch(m_sInstall, m_sQLBServerAdmin, bOn); }
int CSetupIcf::InstallAlert(int bOn) { return WriteSwitch(m_sInstall, m_sAlert, bOn); }
int CSetupIcf::InstallHSM(int bOn) { return WriteSwitch(m_sInstall, m_sDataMigration, bOn); }
int CSetupIcf::InstallPNR(int bOn) { return 0; }
int CSetupIcf::OverwriteDB(int bOn) { return WriteSwitch(m_sInstall, m_sOverwriteDB, bOn); }
int CSetupIcf::OverwriteJobQueue(int bOn) { return WriteSwitch(m_sInstall, m_sOverwriteJobQueue, bOn); }
int CSetupIcf::SQLDB(int bOn) { return WriteSwitch(m_sDatabaseOption, m_sSQL, bOn); }
int CSetupIcf::UninstallQuillbak(int bOn) { return WriteSwitch(m_sUninstall, m_sQLBServer, bOn); }
int CSetupIcf::UninstallAlert(int bOn) { return WriteSwitch(m_sUninstall, m_sAlert, bOn); }

// ---- generic access ----------------------------------------------------------------
int CSetupIcf::WriteString(LPCSTR lpszSection, LPCSTR lpszKey, LPCSTR lpszValue) {
    return WritePrivateProfileStringA(lpszSection, lpszKey, lpszValue, m_strFileName) ? 1 : 0;
}

int CSetupIcf::WriteInt(LPCSTR lpszSection, LPCSTR lpszKey, int nValue) {
    char text[16];
    snprintf(text, sizeof text, "%d", nValue);
    return WritePrivateProfileStringA(lpszSection, lpszKey, text, m_strFileName) ? 1 : 0;
}

int CSetupIcf::GetString(LPCSTR lpszSection, LPCSTR lpszKey, LPSTR lpszBuffer) {
    if (!m_bExists || !lpszBuffer) return 0;
    // The offered room is the caller's text up to its terminator; without a
    // terminator in reach there is no room we could trust.
    DWORD capacity = 0;
    while (capacity <= kLongestOfferedText && lpszBuffer[capacity] != '\0') ++capacity;
    if (capacity == 0 || capacity > kLongestOfferedText) return 0;
    DWORD n = GetPrivateProfileStringA(lpszSection, lpszKey, "", lpszBuffer, capacity, m_strFileName);
    if (n == 0 || n >= capacity) {
        // A failed read leaves no filler behind to pass for a value.
        if (n == 0) lpszBuffer[0] = '\0';
        else lpszBuffer[capacity - 1] = '\0';
    }
    return n < capacity ? (int)n : (int)(capacity - 1);
}

int CSetupIcf::GetInt(LPCSTR lpszSection, LPCSTR lpszKey, int *pnValue) {
    if (!m_bExists || !pnValue) return 0;
    *pnValue = (int)GetPrivateProfileIntA(lpszSection, lpszKey, 0, m_strFileName);
    return 1;
}
