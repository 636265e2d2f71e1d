// The product registry object's reads and writes: single values, the
// product records, and the whole-object read, write and delete sequences.
#include "HarnRegistry.h"
#include "RegistryIo.h"
#include "system/Computer.h"

#include "BrandKit.h"
#include "settings/SetupInf.h"
#include "system/Log.h"

#include <cstring>
#include <ctime>

namespace {

template <class F>
F ProcOf(HMODULE module, LPCSTR name) {
    return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

// Size of the buffer the instance getters read a text into.
const DWORD kTextBuffer = 261;

HKEY RootOf(HKEY hKey) { return hKey ? hKey : HKEY_LOCAL_MACHINE; }

enum ReadResult { kNoKey, kNoValue, kRead };

// Reads a text value into a buffer of `capacity` bytes, always ending it.
// A value stored without its terminator gets one when there is room; a text
// that fills the whole buffer without one, or a value that is not text, is
// not read.
ReadResult QueryText(HKEY root, LPCSTR keyPath, LPCSTR valueName, char *buffer, DWORD capacity) {
    buffer[0] = '\0';
    HKEY key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return kNoKey;
    DWORD type = REG_NONE, size = capacity;
    LONG rc = RegQueryValueExA(key, valueName, NULL, &type, (LPBYTE)buffer, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size > capacity) {
        buffer[0] = '\0';
        return kNoValue;
    }
    if (size == 0 || buffer[size - 1] != '\0') {
        if (size >= capacity) {
            buffer[0] = '\0';
            return kNoValue;
        }
        buffer[size] = '\0';
    }
    return kRead;
}

// When a getter turns to the former maker's key.
enum Fallback { kNoFallback, kWhenNoKey, kOnEitherFailure };

int GetText(LPCSTR keyPath, LPCSTR oldKeyPath, Fallback fallback, LPCSTR valueName, char *buffer, DWORD *pdwSize,
            HKEY hKey) {
    if (!buffer || !pdwSize || *pdwSize == 0) return 0;
    const DWORD capacity = *pdwSize;
    HKEY root = RootOf(hKey);
    ReadResult r = QueryText(root, keyPath, valueName, buffer, capacity);
    if (r != kRead && (fallback == kOnEitherFailure || (fallback == kWhenNoKey && r == kNoKey)))
        r = QueryText(root, oldKeyPath, valueName, buffer, capacity);
    if (r != kRead) return 0;
    *pdwSize = (DWORD)strlen(buffer) + 1;
    return 1;
}

// Reads a product record. A shorter record of an earlier release is taken
// with the rest zero; one longer than the record is not a record.
ReadResult QueryRecord(HKEY root, LPCSTR keyPath, LPCSTR name, tagProductStruct *pRecord) {
    HKEY key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return kNoKey;
    tagProductStruct record;
    memset(&record, 0, sizeof record);
    DWORD type = REG_NONE, size = sizeof record;
    LONG rc = RegQueryValueExA(key, name, NULL, &type, (LPBYTE)&record, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || size > sizeof record) return kNoValue;
    memset((BYTE *)&record + size, 0, sizeof record - size);
    *pRecord = record;
    return kRead;
}

// Creates the key below `root` and writes one value; nonzero when written.
int WriteValue(HKEY root, LPCSTR keyPath, LPCSTR valueName, DWORD type, const void *data, DWORD size) {
    return qlreg::Write(root, keyPath, valueName, type, data, size);
}

// REG_SZ with its terminating NUL.
int WriteText(HKEY root, LPCSTR keyPath, LPCSTR valueName, LPCSTR text) {
    if (!text) return 0;
    return WriteValue(root, keyPath, valueName, REG_SZ, text, (DWORD)strlen(text) + 1);
}

int WriteDword(HKEY root, LPCSTR keyPath, LPCSTR valueName, DWORD number) {
    return WriteValue(root, keyPath, valueName, REG_DWORD, &number, sizeof number);
}

int DeleteValueAt(HKEY root, LPCSTR keyPath, LPCSTR valueName) {
    if (!root) return 0;
    HKEY key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
    LONG rc = RegDeleteValueA(key, valueName);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

// A folder path as the registry keeps it: without its trailing backslash.
// Empty when there is no folder to write.
CString WithoutTrailingBackSlash(LPCSTR path) {
    CString text(path ? path : "");
    int n = text.GetLength();
    if (n > 0 && text[n - 1] == '\\' && !(n >= 2 && IsDBCSLeadByte((BYTE)text[n - 2]))) text = text.Left(n - 1);
    return text;
}

// Copies a text into a fixed field; FALSE when it does not fit.
template <size_t N>
BOOL CopyField(char (&field)[N], LPCSTR text) {
    size_t n = strlen(text);
    if (n >= N) return FALSE;
    memcpy(field, text, n + 1);
    return TRUE;
}

// The leading decimal number of a text, cut to 16 bits.
WORD LeadingNumber16(const char *text) {
    unsigned number = 0;
    for (const char *p = text; *p >= '0' && *p <= '9'; ++p) number = (number * 10 + (unsigned)(*p - '0')) & 0xFFFF;
    return (WORD)number;
}

typedef int(WINAPI *AlGetBuildNumberAFn)(char *buffer);

// Seconds from 1970-01-01 00:00 UTC to a UTC time (days counted from the
// civil date, March-based years).
DWORD SecondsSince1970(const SYSTEMTIME &st) {
    const int y = st.wYear - (st.wMonth <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int m = st.wMonth;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + st.wDay - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = (long long)era * 146097 + doe - 719468;
    const long long seconds = days * 86400 + st.wHour * 3600 + st.wMinute * 60 + st.wSecond;
    return seconds > 0 ? (DWORD)seconds : 0;
}

}  // namespace

// ---- class-wide getters ------------------------------------------------------------------------
int CHarnRegistry::GetRegisteredOwner(char *lpszBuffer, DWORD *pdwSize, HKEY hKey) {
    return GetText(m_sMicrosoftKey, NULL, kNoFallback, m_sRegisteredOwner, lpszBuffer, pdwSize, hKey);
}

int CHarnRegistry::GetRegisteredOrganization(char *lpszBuffer, DWORD *pdwSize, HKEY hKey) {
    return GetText(m_sMicrosoftKey, NULL, kNoFallback, m_sRegisteredOrganization, lpszBuffer, pdwSize, hKey);
}

int CHarnRegistry::GetQuillbakHomeDir(char *lpszBuffer, DWORD *pdwSize, HKEY hKey) {
    return GetText(m_sQuillbakBaseKey + m_sPathSubKey, m_sOldQuillbakBaseKey + m_sPathSubKey, kOnEitherFailure, m_sHome,
                   lpszBuffer, pdwSize, hKey);
}

int CHarnRegistry::GetQuillbakDBDir(char *lpszBuffer, DWORD *pdwSize, HKEY hKey) {
    return GetText(m_sQuillbakBaseKey + m_sPathSubKey, m_sOldQuillbakBaseKey + m_sPathSubKey, kOnEitherFailure,
                   m_sDatabase, lpszBuffer, pdwSize, hKey);
}

int CHarnRegistry::GetQuillbakLogDir(char *lpszBuffer, DWORD *pdwSize, HKEY hKey) {
    return GetText(m_sQuillbakBaseKey + m_sPathSubKey, m_sOldQuillbakBaseKey + m_sPathSubKey, kOnEitherFailure, m_sLog,
                   lpszBuffer, pdwSize, hKey);
}

int CHarnRegistry::GetQuillbakTempDir(char *lpszBuffer, DWORD *pdwSize, HKEY hKey) {
    return GetText(m_sQuillbakBaseKey + m_sPathSubKey, m_sOldQuillbakBaseKey + m_sPathSubKey, kOnEitherFailure, m_sTemp,
                   lpszBuffer, pdwSize, hKey);
}

int CHarnRegistry::GetAlertHomeDir(char *lpszBuffer, DWORD *pdwSize, HKEY hKey) {
    return GetText(m_sAlertKey + m_sPathSubKey, m_sOldAlertKey + m_sPathSubKey, kWhenNoKey, m_sHome, lpszBuffer,
                   pdwSize, hKey);
}

int CHarnRegistry::GetAgentHomeDir(char *lpszBuffer, DWORD *pdwSize, HKEY hKey) {
    return GetText(m_sAgentKey, m_sOldAgentKey, kOnEitherFailure, m_sPath, lpszBuffer, pdwSize, hKey);
}

int CHarnRegistry::GetQuillbakUserName(char *lpszBuffer, DWORD *pdwSize, HKEY hKey) {
    return GetText(m_sQuillbakBaseKey + m_sUserSubKey, m_sOldQuillbakBaseKey + m_sUserSubKey, kWhenNoKey,
                   m_sRegisteredName, lpszBuffer, pdwSize, hKey);
}

int CHarnRegistry::GetQuillbakOrganization(char *lpszBuffer, DWORD *pdwSize, HKEY hKey) {
    return GetText(m_sQuillbakBaseKey + m_sUserSubKey, m_sOldQuillbakBaseKey + m_sUserSubKey, kWhenNoKey,
                   m_sRegisteredOrg, lpszBuffer, pdwSize, hKey);
}

// ---- instance getters ------------------------------------------------------------------------
const char *CHarnRegistry::ReadText(TextGetter getter, CString &field) {
    // An object whose machine could not be reached reads nothing (a null
    // key would mean this machine to the class-wide getters).
    if (!Registry()) return field;
    char buffer[kTextBuffer];
    DWORD size = sizeof buffer;
    if (getter(buffer, &size, Registry())) field = buffer;
    return field;
}

const char *CHarnRegistry::GetRegisteredOwner() { return ReadText(&CHarnRegistry::GetRegisteredOwner, m_strOwner); }
const char *CHarnRegistry::GetRegisteredOrganization() {
    return ReadText(&CHarnRegistry::GetRegisteredOrganization, m_strOrganization);
}
const char *CHarnRegistry::GetQuillbakHomeDir() { return ReadText(&CHarnRegistry::GetQuillbakHomeDir, m_strHomeDir); }
const char *CHarnRegistry::GetQuillbakDBDir() { return ReadText(&CHarnRegistry::GetQuillbakDBDir, m_strDBDir); }
const char *CHarnRegistry::GetQuillbakLogDir() { return ReadText(&CHarnRegistry::GetQuillbakLogDir, m_strLogDir); }
const char *CHarnRegistry::GetQuillbakTempDir() { return ReadText(&CHarnRegistry::GetQuillbakTempDir, m_strTempDir); }
const char *CHarnRegistry::GetAlertHomeDir() { return ReadText(&CHarnRegistry::GetAlertHomeDir, m_strAlertHomeDir); }
const char *CHarnRegistry::GetClientAgentHomeDir() {
    return ReadText(&CHarnRegistry::GetAgentHomeDir, m_strAgentHomeDir);
}
const char *CHarnRegistry::GetQuillbakUserName() { return ReadText(&CHarnRegistry::GetQuillbakUserName, m_strOwner); }
const char *CHarnRegistry::GetQuillbakOrganization() {
    return ReadText(&CHarnRegistry::GetQuillbakOrganization, m_strOrganization);
}

// ---- product records ---------------------------------------------------------------------------
DWORD CHarnRegistry::ProductRecordCrc(const tagProductStruct *pRecord) {
    if (!pRecord) return 0;
    const BYTE *p = (const BYTE *)pRecord;
    DWORD crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < offsetof(tagProductStruct, dwCrc); ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

int CHarnRegistry::GetQuillbakProductInfo(tagProductStruct *pRecord, HKEY hKey) {
    if (!pRecord) return 0;
    HKEY root = RootOf(hKey);
    if (QueryRecord(root, m_sProductsKey, m_sProductQuillbak, pRecord) == kRead) return 1;
    // The former maker's products key, under this product's name or the
    // former product line's.
    ReadResult r = QueryRecord(root, m_sOldProductsKey, m_sProductQuillbak, pRecord);
    if (r == kNoKey) return 0;
    if (r == kRead) return 1;
    return QueryRecord(root, m_sOldProductsKey, m_sProductPanorel125, pRecord) == kRead;
}

int CHarnRegistry::GetProductInfo(const char *lpszName, tagProductStruct *pRecord, HKEY hKey) {
    if (!lpszName || !pRecord) return 0;
    HKEY root = RootOf(hKey);
    const CString keys[] = {m_sProductsKey, m_sOldProductsKey, m_sQuillbakKey + "\\" + m_sOldProducts,
                            m_sOldDSAgentProductsKey};
    for (const CString &key : keys)
        if (QueryRecord(root, key, lpszName, pRecord) == kRead) return 1;
    return 0;
}

BOOL CHarnRegistry::ReadRecord(const char *lpszName, tagProductStruct &record) {
    if (!Registry()) return FALSE;
    memset(&record, 0, sizeof record);
    return lpszName ? GetProductInfo(lpszName, &record, Registry()) : GetQuillbakProductInfo(&record, Registry());
}

tagProductStruct CHarnRegistry::GetQuillbakProductInfo() {
    tagProductStruct record;
    if (ReadRecord(NULL, record)) m_Record = record;
    return m_Record;
}

DWORD CHarnRegistry::GetQuillbakUserLevel() {
    tagProductStruct record;
    if (ReadRecord(NULL, record)) m_dwUserLevel = record.dwUserLevel;
    return m_dwUserLevel;
}

DWORD CHarnRegistry::GetQuillbakProductCode() {
    tagProductStruct record;
    if (ReadRecord(NULL, record)) m_dwProductCode = record.dwProductCode;
    return m_dwProductCode;
}

WORD CHarnRegistry::GetQuillbakBuildNumber() {
    tagProductStruct record;
    if (ReadRecord(NULL, record)) m_wBuild = HIWORD(record.dwVersion);
    return m_wBuild;
}

WORD CHarnRegistry::GetQuillbakVersionNumber() {
    tagProductStruct record;
    if (ReadRecord(NULL, record)) m_wVersion = LOWORD(record.dwVersion);
    return m_wVersion;
}

char CHarnRegistry::GetQuillbakSubType() {
    tagProductStruct record;
    if (ReadRecord(NULL, record)) m_chSubType = (char)record.bySubType;
    return m_chSubType;
}

DWORD CHarnRegistry::GetProductCode(const char *lpszName) {
    tagProductStruct record;
    if (lpszName && ReadRecord(lpszName, record)) m_dwNamedProductCode = record.dwProductCode;
    return m_dwNamedProductCode;
}

WORD CHarnRegistry::GetBuildNumber(const char *lpszName) {
    tagProductStruct record;
    if (lpszName && ReadRecord(lpszName, record)) m_wNamedBuild = HIWORD(record.dwVersion);
    return m_wNamedBuild;
}

WORD CHarnRegistry::GetVersionNumber(const char *lpszName) {
    tagProductStruct record;
    if (lpszName && ReadRecord(lpszName, record)) m_wNamedVersion = LOWORD(record.dwVersion);
    return m_wNamedVersion;
}

char CHarnRegistry::GetSubType(const char *lpszName) {
    tagProductStruct record;
    if (lpszName && ReadRecord(lpszName, record)) m_chNamedSubType = (char)record.bySubType;
    return m_chNamedSubType;
}

int CHarnRegistry::GetAlertBuildNumber(WORD *pwBuild, HKEY hKey) {
    if (!pwBuild) return 0;
    *pwBuild = 0;
    HKEY root = RootOf(hKey);
    HKEY key;
    if (RegOpenKeyExA(root, m_sAlertKey, 0, KEY_READ, &key) != ERROR_SUCCESS &&
        RegOpenKeyExA(root, m_sOldAlertKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    char text[256];
    memset(text, 0, sizeof text);
    DWORD type = REG_NONE, size = sizeof text - 1;  // room for the terminator of an unended text
    LONG rc = RegQueryValueExA(key, m_sCurrentBuildNumber, NULL, &type, (LPBYTE)text, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return 0;
    *pwBuild = LeadingNumber16(text);
    return 1;
}

DWORD CHarnRegistry::GetAlertBuildNumber() {
    WORD build = 0;
    if (Registry() && GetAlertBuildNumber(&build, Registry())) m_wAlertBuild = build;
    return m_wAlertBuild;
}

int CHarnRegistry::AllowProductUpdate(const char *lpszName, const char *lpszSection) {
    tagProductStruct record;
    if (!lpszName || !ReadRecord(lpszName, record)) return 0;
    const int build = (int)HIWORD(record.dwVersion);
    CSetupInf inf;
    int low = 0, high = 0;
    if (!inf.GetUpdateBuildNoRange(lpszSection, &low, &high)) return 0;
    if (low == high) return build == low;
    return low <= build && build <= high;
}

// ---- class-wide setters ------------------------------------------------------------------------
int CHarnRegistry::SetQuillbakUser(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey + m_sUserSubKey, m_sRegisteredName, lpszText);
}
int CHarnRegistry::SetQuillbakCompany(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey + m_sUserSubKey, m_sRegisteredOrg, lpszText);
}
int CHarnRegistry::SetQuillbakHomeDir(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey + m_sPathSubKey, m_sHome, lpszText);
}
int CHarnRegistry::SetQuillbakDBDir(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey + m_sPathSubKey, m_sDatabase, lpszText);
}
int CHarnRegistry::SetQuillbakLogDir(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey + m_sPathSubKey, m_sLog, lpszText);
}
int CHarnRegistry::SetQuillbakTempDir(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey + m_sPathSubKey, m_sTemp, lpszText);
}
int CHarnRegistry::SetQuillbakManager(int bInstalled) {
    return WriteDword(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey + m_sComponentsSubKey, m_sManager, bInstalled ? 1 : 0);
}
int CHarnRegistry::SetQuillbakServer(int bInstalled) {
    return WriteDword(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey + m_sComponentsSubKey, m_sServer, bInstalled ? 1 : 0);
}
int CHarnRegistry::SetQuillbakAdmin(int bInstalled) {
    return WriteDword(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey + m_sComponentsSubKey, m_sAdmin, bInstalled ? 1 : 0);
}
int CHarnRegistry::SetQuillbakDatabase(int bSQL) { return SetQuillbakDatabase((DWORD)(bSQL ? 2 : 1)); }
int CHarnRegistry::SetQuillbakDatabase(DWORD dwType) {
    return WriteDword(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey + m_sDatabaseSubKey, m_sDatabaseType, dwType);
}
int CHarnRegistry::SetAgentHomeDir(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sAgentKey, m_sPath, lpszText);
}
int CHarnRegistry::SetAlertCurrentBuild(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sAlertKey, m_sCurrentBuild, lpszText);
}
int CHarnRegistry::SetAlertCurrentBuildNumber(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sAlertKey, m_sCurrentBuildNumber, lpszText);
}
int CHarnRegistry::SetAlertInstallDate(DWORD dwSeconds) {
    return WriteDword(HKEY_LOCAL_MACHINE, m_sAlertKey, m_sInstallDate, dwSeconds);
}
int CHarnRegistry::SetAlertRegisteredOwner(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sAlertKey, m_sRegisteredOwner, lpszText);
}
int CHarnRegistry::SetAlertRegisteredOrganization(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sAlertKey, m_sRegisteredOrganization, lpszText);
}
int CHarnRegistry::SetAlertHomeDir(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sAlertKey + m_sPathSubKey, m_sHome, lpszText);
}
int CHarnRegistry::SetAlertLogDir(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sAlertKey + m_sPathSubKey, m_sLog, lpszText);
}
int CHarnRegistry::SetAlertControlDir(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sAlertKey + m_sPathSubKey, m_sControl, lpszText);
}
int CHarnRegistry::SetAlertEventLogDir(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sAlertKey + m_sPathSubKey, m_sEventLog, lpszText);
}
int CHarnRegistry::SetAlertCompany(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sAlertKey + m_sUserSubKey, m_sRegisteredCompany, lpszText);
}
int CHarnRegistry::SetAlertLocation(const char *lpszText) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sAlertKey + m_sUserSubKey, m_sRegisteredLocation, lpszText);
}

int CHarnRegistry::SetEnvironmentVariableA(const char *lpszName, const char *lpszValue) {
    return WriteText(HKEY_LOCAL_MACHINE, m_sEnvironmentKey, lpszName, lpszValue);
}

int CHarnRegistry::DeleteEnvironmentVariable(const char *lpszName) {
    return DeleteValueAt(HKEY_LOCAL_MACHINE, m_sEnvironmentKey, lpszName);
}

int CHarnRegistry::SetEventLogApplication(const char *lpszSource, const char *lpszMessageFile, DWORD dwTypes) {
    if (!lpszSource || !*lpszSource) return 0;
    const CString key = m_sEventLogKey + "\\" + lpszSource;
    const int file = WriteValue(HKEY_LOCAL_MACHINE, key, m_sEventMessageFile, REG_SZ, lpszMessageFile ? lpszMessageFile : "",
                                (DWORD)strlen(lpszMessageFile ? lpszMessageFile : "") + 1);
    const int types = WriteDword(HKEY_LOCAL_MACHINE, key, m_sTypesSupported, dwTypes);
    return file && types;
}

// ---- instance setters ---------------------------------------------------------------------------
// They write to this object's machine: a remote object's handle, never this
// machine by default.
BOOL CHarnRegistry::MayWrite() const {
    // KEY_READ shares the standard-rights bit with KEY_WRITE; only the
    // value and sub-key rights say that the object was built to write.
    return (m_dwMode & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0;
}

int CHarnRegistry::SetQuillbakUser() {
    if (!MayWrite()) return 0;
    CString account = m_Settings.SystemAccountName();
    if (account.IsEmpty()) return 1;
    CString domain = m_Settings.SystemAccountDomain();

    HMODULE hLib = LoadLibraryA(BKT_LIBRARY_NAME);
    if (!hLib) {
        CLog::Write(m_Settings.LogFile(), "\tFailed to load BRANDKIT.DLL to create system user account.");
    } else {
        if (PFN_BKT_SET_USER_ACCOUNT pfn = ProcOf<PFN_BKT_SET_USER_ACCOUNT>(hLib, BKT_SET_USER_ACCOUNT)) {
            // "DOMAIN\name" names its own domain; a leading backslash does not.
            int slash = account.Find('\\');
            if (slash > 0) {
                domain = account.Left(slash);
                account = account.Mid(slash + 1);
            }
            BKT_USER_ACCOUNT record;
            memset(&record, 0, sizeof record);
            // A text cut to its field would name another account or password.
            BOOL fits = CopyField(record.szDomain, domain) && CopyField(record.szAccountName, account) &&
                        CopyField(record.szPassword, m_Settings.SystemAccountPassword());
            if (!fits || pfn(m_Settings.SystemAccountServer(), &record) == 0)
                CLog::Write(m_Settings.LogFile(), "\tFailed to add QuillbakIT user account");
            // The password does not outlive the call.
            volatile char *p = record.szPassword;
            for (size_t i = 0; i < sizeof record.szPassword; ++i) p[i] = 0;
        }
        FreeLibrary(hLib);
    }
    return WriteText(Registry(), m_sQuillbakBaseKey + m_sUserSubKey, m_sRegisteredName, m_Settings.RegisteredUser());
}

int CHarnRegistry::SetQuillbakCompany() {
    if (!MayWrite()) return 0;
    return WriteText(Registry(), m_sQuillbakBaseKey + m_sUserSubKey, m_sRegisteredOrg, m_Settings.RegisteredCompany());
}

int CHarnRegistry::SetQuillbakHomeDir() {
    if (!MayWrite()) return 0;
    const CString home = WithoutTrailingBackSlash(m_Settings.QuillbakPath());
    if (home.IsEmpty()) return 0;
    return WriteText(Registry(), m_sQuillbakBaseKey + m_sPathSubKey, m_sHome, home);
}

int CHarnRegistry::SetQuillbakDBDir() {
    if (!MayWrite()) return 0;
    return WriteText(Registry(), m_sQuillbakBaseKey + m_sPathSubKey, m_sDatabase,
                     CString(m_Settings.QuillbakPath()) + m_sDatabase);
}

int CHarnRegistry::SetQuillbakLogDir() {
    if (!MayWrite()) return 0;
    return WriteText(Registry(), m_sQuillbakBaseKey + m_sPathSubKey, m_sLog,
                     CString(m_Settings.QuillbakPath()) + m_sLog);
}

int CHarnRegistry::SetQuillbakTempDir() {
    if (!MayWrite()) return 0;
    return WriteText(Registry(), m_sQuillbakBaseKey + m_sPathSubKey, m_sTemp,
                     CString(m_Settings.QuillbakPath()) + m_sTemp);
}

int CHarnRegistry::SetQuillbakManager() {
    if (!MayWrite()) return 0;
    return WriteDword(Registry(), m_sQuillbakBaseKey + m_sComponentsSubKey, m_sManager,
                      m_Settings.InstallManager() ? 1 : 0);
}

int CHarnRegistry::SetQuillbakServer() {
    if (!MayWrite()) return 0;
    return WriteDword(Registry(), m_sQuillbakBaseKey + m_sComponentsSubKey, m_sServer,
                      m_Settings.InstallServer() ? 1 : 0);
}

int CHarnRegistry::SetQuillbakAdmin() {
    if (!MayWrite()) return 0;
    return WriteDword(Registry(), m_sQuillbakBaseKey + m_sComponentsSubKey, m_sAdmin,
                      m_Settings.InstallAdmin() ? 1 : 0);
}

int CHarnRegistry::SetQuillbakDatabase() {
    if (!MayWrite()) return 0;
    if (!WriteDword(Registry(), m_sQuillbakBaseKey + m_sDatabaseSubKey, m_sDatabaseType,
                    (DWORD)m_Settings.InstallDBType()))
        return 0;
    // The database engine finds its catalogue through CATPATH.
    return WriteText(Registry(), m_sEnvironmentKey, m_sCatPath, CString(m_Settings.QuillbakPath()) + m_sDatabase);
}

int CHarnRegistry::SetQuillbakEnvironmentVariables() {
    if (!MayWrite()) return 0;
    if (!WriteText(Registry(), m_sEnvironmentKey, m_sLNName, m_sLNNameValue)) return 0;
    // The name of the machine whose environment this is.
    CString name;
    if (Registry() == HKEY_LOCAL_MACHINE) {
        char buffer[MAX_COMPUTERNAME_LENGTH + 1] = "";
        DWORD size = sizeof buffer;
        if (!CComputer::GetComputerNameA(buffer, &size)) return 0;
        name = buffer;
    } else {
        name = m_strMachine;
        while (!name.IsEmpty() && name[0] == '\\') name = name.Mid(1);
    }
    return WriteText(Registry(), m_sEnvironmentKey, m_sRNName, name);
}

int CHarnRegistry::SetClientAgentHomeDir() {
    if (!MayWrite()) return 0;
    CString path(m_Settings.ClientAgentPath());
    TrimTailBackSlash(path);
    return WriteText(Registry(), m_sAgentKey, m_sPath, path);
}

int CHarnRegistry::SetAlertCurrentBuild() {
    if (!MayWrite()) return 0;
    const CString program = CString(m_Settings.AlertPath()) + "NOTIFSRV.EXE";
    WIN32_FIND_DATAA found;
    HANDLE hFind = FindFirstFileA(program, &found);
    if (hFind == INVALID_HANDLE_VALUE) return 0;
    FindClose(hFind);
    FILETIME local;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &st)) return 0;
    struct tm when;
    memset(&when, 0, sizeof when);
    when.tm_year = st.wYear - 1900;
    when.tm_mon = st.wMonth - 1;
    when.tm_mday = st.wDay;
    when.tm_wday = st.wDayOfWeek;
    when.tm_hour = st.wHour;
    when.tm_min = st.wMinute;
    when.tm_sec = st.wSecond;
    char text[64] = "";
    if (strftime(text, sizeof text, "%x", &when) == 0) return 0;
    return WriteText(Registry(), m_sAlertKey, m_sCurrentBuild, text);
}

int CHarnRegistry::SetAlertCurrentBuildNumber() {
    if (!MayWrite()) return 0;
    char text[256];
    memset(text, 0, sizeof text);
    const CString library = CString(m_Settings.AlertPath()) + "NOTIFVER.DLL";
    if (HMODULE hLib = LoadLibraryA(library)) {
        if (AlGetBuildNumberAFn fn = ProcOf<AlGetBuildNumberAFn>(hLib, "AlGetBuildNumberA")) fn(text);
        text[sizeof text - 1] = '\0';
        FreeLibrary(hLib);
    }
    return WriteText(Registry(), m_sAlertKey, m_sCurrentBuildNumber, text);
}

int CHarnRegistry::SetAlertInstallDate() {
    if (!MayWrite()) return 0;
    SYSTEMTIME now;
    GetSystemTime(&now);
    return WriteDword(Registry(), m_sAlertKey, m_sInstallDate, SecondsSince1970(now));
}

int CHarnRegistry::SetAlertRegisteredOwner() {
    if (!MayWrite()) return 0;
    return WriteText(Registry(), m_sAlertKey, m_sRegisteredOwner, m_Settings.RegisteredUser());
}

int CHarnRegistry::SetAlertRegisteredOrganization() {
    if (!MayWrite()) return 0;
    return WriteText(Registry(), m_sAlertKey, m_sRegisteredOrganization, m_Settings.RegisteredCompany());
}

int CHarnRegistry::SetAlertHomeDir() {
    if (!MayWrite()) return 0;
    const CString home = WithoutTrailingBackSlash(m_Settings.AlertPath());
    if (home.IsEmpty()) return 0;
    return WriteText(Registry(), m_sAlertKey + m_sPathSubKey, m_sHome, home);
}

int CHarnRegistry::SetAlertLogDir() {
    if (!MayWrite()) return 0;
    return WriteText(Registry(), m_sAlertKey + m_sPathSubKey, m_sLog, CString(m_Settings.AlertPath()) + m_sLog);
}

int CHarnRegistry::SetAlertControlDir() {
    if (!MayWrite()) return 0;
    char windows[261] = "";
    UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    if (n == 0 || n >= sizeof windows) return 0;
    return WriteText(Registry(), m_sAlertKey + m_sPathSubKey, m_sControl, windows);
}

int CHarnRegistry::SetAlertEventLogDir() {
    if (!MayWrite()) return 0;
    return WriteText(Registry(), m_sAlertKey + m_sPathSubKey, m_sEventLog,
                     CString(m_Settings.AlertPath()) + m_sEventLog);
}

int CHarnRegistry::SetAlertCompany() {
    if (!MayWrite()) return 0;
    return WriteText(Registry(), m_sAlertKey + m_sUserSubKey, m_sRegisteredCompany, m_Settings.RegisteredCompany());
}

int CHarnRegistry::SetAlertLocation() {
    if (!MayWrite()) return 0;
    return WriteText(Registry(), m_sAlertKey + m_sUserSubKey, m_sRegisteredLocation, m_Settings.RegisteredCompany());
}

int CHarnRegistry::SetAlertEventLog() {
    if (!MayWrite() || !Registry()) return 0;
    const CString program = CString(m_Settings.AlertPath()) + "NOTIFSRV.EXE";
    if (Registry() == HKEY_LOCAL_MACHINE) return SetEventLogApplication(m_sAlert, program, 7);
    const CString key = m_sEventLogKey + "\\" + m_sAlert;
    const int file = WriteText(Registry(), key, m_sEventMessageFile, program);
    const int types = WriteDword(Registry(), key, m_sTypesSupported, 7);
    return file && types;
}

// ---- the whole object -------------------------------------------------------------------------
int CHarnRegistry::Read() {
    GetRegisteredOrganization();
    GetRegisteredOwner();
    GetQuillbakHomeDir();
    GetQuillbakDBDir();
    GetQuillbakLogDir();
    GetQuillbakTempDir();
    GetQuillbakUserLevel();
    GetQuillbakProductCode();
    GetQuillbakBuildNumber();
    GetQuillbakVersionNumber();
    GetAlertHomeDir();
    // The alert build of this object's machine, like every other value.
    GetAlertBuildNumber();
    GetClientAgentHomeDir();
    m_dwMode |= KEY_READ;
    return Registry() != NULL;
}

int CHarnRegistry::Write() {
    if (m_dwMode != KEY_WRITE) return 0;
    if (m_Settings.ProductType() != 24) return 1;
    int result = 1;
    if (!m_Settings.IsCopyOnlyMode()) {
        if (!SetQuillbakUser()) result = 0;
        if (!SetQuillbakCompany()) result = 0;
        if (!SetQuillbakHomeDir()) result = 0;
        if (!SetQuillbakLogDir()) result = 0;
        if (!SetQuillbakTempDir()) result = 0;
    }
    if (!SetQuillbakEnvironmentVariables()) result = 0;
    if (!SetQuillbakManager()) result = 0;
    if (!SetQuillbakServer()) result = 0;
    if (!SetQuillbakAdmin()) result = 0;
    if (!SetVMITProduct()) result = 0;
    if (!m_Settings.InstallServer()) return result;
    if (!SetQuillbakDBDir()) result = 0;
    if (!SetQuillbakDatabase()) result = 0;
    if (!SetQuillbakShellExtension()) result = 0;
    if (!CreateQuillbakSNMPKey()) result = 0;
    return result;
}

int CHarnRegistry::Delete() {
    if (m_dwMode != KEY_WRITE) return 0;
    if (m_Settings.UninstallQuillbak()) {
        DeleteQuillbakBaseBranch();
        DeleteQuillbakKey(m_sOldProducts);
        DeleteQuillbakKey(m_sVMOldProducts);
        DeleteReactronBranch();
        DeleteQuillbakUserBranches();
        DeleteQuillbakSNMPKey();
        DeleteQuillbakShellExtension();
        DeleteVMITProductBranch();
        DeleteValueAt(Registry(), m_sEnvironmentKey, m_sCatPath);
        DeleteValueAt(Registry(), m_sEnvironmentKey, m_sLNName);
    }
    // The product, maker and per-user keys go only once they are empty.
    DeleteQuillbakBranch(0);
    DeleteHarnockBranch(0);
    DeleteHarnockUserBranches(0);
    return 1;
}
