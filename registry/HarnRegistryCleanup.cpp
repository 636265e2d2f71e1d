// Removing what the product keeps in the registry, branch by branch, without
// touching what other products of the maker still use; the generic key and
// value operations under the maker root and the product root; the database
// agents' keys; and the records of earlier products.
#include "HarnRegistry.h"

#include "RegistryIo.h"
#include "afxcoll.h"

#include <cstring>

namespace {

// Size of a sub-key name buffer.
const DWORD kNameBuffer = 260;

BOOL IsPredefined(HKEY hKey) {
    return hKey == HKEY_CLASSES_ROOT || hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE ||
           hKey == HKEY_USERS || hKey == HKEY_CURRENT_CONFIG || hKey == HKEY_PERFORMANCE_DATA;
}

// A path below a key the caller opened: words without empty ones.
BOOL IsWellFormedBelow(const char *path) {
    if (!path || !*path || *path == '\\') return FALSE;
    size_t n = strlen(path);
    if (path[n - 1] == '\\') return FALSE;
    return strstr(path, "\\\\") == NULL;
}

// Deletes every sub-key of an open key, depth first. Every name comes from
// the enumeration, so none is empty.
BOOL DeleteTreeBelow(HKEY key) {
    for (;;) {
        char name[kNameBuffer];
        DWORD size = sizeof name;
        LONG rc = RegEnumKeyExA(key, 0, name, &size, NULL, NULL, NULL, NULL);
        if (rc == ERROR_NO_MORE_ITEMS) return TRUE;
        if (rc != ERROR_SUCCESS || !*name) return FALSE;
        HKEY child;
        if (RegOpenKeyExA(key, name, 0, KEY_ALL_ACCESS, &child) != ERROR_SUCCESS) return FALSE;
        BOOL emptied = DeleteTreeBelow(child);
        RegCloseKey(child);
        // A sub-key that stays ends the walk: it would come first again.
        if (!emptied || RegDeleteKeyA(key, name) != ERROR_SUCCESS) return FALSE;
    }
}

// Case-sensitive "contains"; an empty leaf is contained in nothing.
BOOL NameHolds(const char *name, const CString &leaf) { return !leaf.IsEmpty() && strstr(name, leaf) != NULL; }

// A sub-key's "dll" text up to its last backslash.
BOOL AgentFolder(HKEY parent, const char *name, CString &folder) {
    HKEY key;
    if (RegOpenKeyExA(parent, name, 0, KEY_READ, &key) != ERROR_SUCCESS) return FALSE;
    char text[MAX_PATH + 1];
    memset(text, 0, sizeof text);
    DWORD type = REG_NONE, size = MAX_PATH;
    LONG rc = RegQueryValueExA(key, "dll", NULL, &type, (LPBYTE)text, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return FALSE;
    folder = text;
    int slash = folder.ReverseFind('\\');
    folder = slash >= 0 ? folder.Left(slash) : CString();
    return TRUE;
}

}  // namespace

// ---- keys -------------------------------------------------------------------------------------
CString CHarnRegistry::JoinKey(const CString &strRoot, const CString &strSubKey) {
    if (!strSubKey.IsEmpty() && strSubKey[0] == '\\') return strRoot + strSubKey;
    return strRoot + "\\" + strSubKey;
}

BOOL CHarnRegistry::DeleteKeyAt(HKEY hHive, const char *lpszParentPath, const char *lpszLeaf) {
    if (!lpszLeaf || !*lpszLeaf) return FALSE;
    CString leaf(lpszLeaf);
    while (!leaf.IsEmpty() && leaf[0] == '\\') leaf = leaf.Mid(1);
    const CString path = lpszParentPath ? JoinKey(lpszParentPath, leaf) : leaf;
    // An empty root leaves a path that starts with a backslash or names a
    // top-level key: such a key is never deleted.
    if (!IsSafeKeyPath(path)) return FALSE;
    CString parent, name;
    if (!qlreg::SplitKey(path, parent, name)) return RegDeleteKeyA(hHive, path) == ERROR_SUCCESS;
    HKEY key;
    if (RegOpenKeyExA(hHive, parent, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return FALSE;
    LONG rc = RegDeleteKeyA(key, name);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

int CHarnRegistry::DeleteSubKeys(HKEY hParent, const char *lpszPath) {
    // Below a hive the path must name a key beneath its top level; below a
    // key the caller opened, at least one word.
    if (IsPredefined(hParent) ? !IsSafeKeyPath(lpszPath) : !IsWellFormedBelow(lpszPath)) return 0;
    HKEY key;
    if (RegOpenKeyExA(hParent, lpszPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 1;
    BOOL all = DeleteTreeBelow(key);
    RegCloseKey(key);
    return all ? 1 : 0;
}

BOOL CHarnRegistry::DeleteKeyPath(HKEY hHive, const CString &strPath) {
    CString parent, leaf;
    if (!qlreg::SplitKey(strPath, parent, leaf)) return DeleteKeyAt(hHive, NULL, strPath);
    return DeleteKeyAt(hHive, parent, leaf);
}

// ---- branch removals --------------------------------------------------------------------------
// A branded root that is empty names no branch: nothing is removed for it.
void CHarnRegistry::DeleteHarnockBranch(int bAll) {
    if (!IsSafeKeyPath(m_sHarnockKey)) return;
    if (bAll) DeleteSubKeys(HKEY_LOCAL_MACHINE, m_sHarnockKey);
    // The maker root itself ("SOFTWARE\Veltmark" under the default brand),
    // only once no product of the maker keeps anything below it.
    DeleteKeyPath(HKEY_LOCAL_MACHINE, m_sHarnockKey);
}

void CHarnRegistry::DeleteQuillbakBranch(int bAll) {
    if (!IsSafeKeyPath(m_sQuillbakKey)) return;
    if (bAll) DeleteSubKeys(HKEY_LOCAL_MACHINE, m_sQuillbakKey);
    DeleteKeyPath(HKEY_LOCAL_MACHINE, m_sQuillbakKey);
}

void CHarnRegistry::DeleteQuillbakBaseBranch() {
    if (!IsSafeKeyPath(m_sQuillbakBaseKey)) return;
    DeleteSubKeys(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey);
    DeleteKeyPath(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey);
}

void CHarnRegistry::DeleteReactronBranch() {
    const CString path = JoinKey(m_sQuillbakKey, m_sReactron);
    if (!IsSafeKeyPath(path)) return;
    DeleteSubKeys(HKEY_LOCAL_MACHINE, path);
    DeleteKeyAt(HKEY_LOCAL_MACHINE, m_sQuillbakKey, m_sReactron);
}

void CHarnRegistry::DeleteAlertBranch() {
    const CString path = JoinKey(m_sHarnockKey, m_sALERT);
    if (!IsSafeKeyPath(path)) return;
    DeleteSubKeys(HKEY_LOCAL_MACHINE, path);
    DeleteKeyAt(HKEY_LOCAL_MACHINE, m_sHarnockKey, m_sALERT);
}

// The per-user keys of every profile whose registry is loaded (under
// HKEY_USERS by the profile's SID), after the current user's own.
void CHarnRegistry::ForEachLoadedProfile(void (*remove)(HKEY, const CString &, int), int bAll) {
    HKEY list;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_sProfileListKey, 0, KEY_READ, &list) != ERROR_SUCCESS) return;
    for (DWORD index = 0;; ++index) {
        char sid[kNameBuffer];
        DWORD size = sizeof sid;
        LONG rc = RegEnumKeyExA(list, index, sid, &size, NULL, NULL, NULL, NULL);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || !*sid) continue;
        HKEY loaded;
        if (RegOpenKeyExA(HKEY_USERS, sid, 0, KEY_READ, &loaded) != ERROR_SUCCESS) continue;
        RegCloseKey(loaded);
        remove(HKEY_USERS, CString(sid) + "\\", bAll);
    }
    RegCloseKey(list);
}

void CHarnRegistry::RemoveUserProductBranch(HKEY hHive, const CString &strPrefix, int) {
    const CString root = strPrefix + m_sHarnockKey;
    const CString path = JoinKey(root, m_sQuillbak);
    if (!IsSafeKeyPath(m_sHarnockKey) || !IsSafeKeyPath(path)) return;
    DeleteSubKeys(hHive, path);
    DeleteKeyAt(hHive, root, m_sQuillbak);
}

void CHarnRegistry::RemoveUserMakerBranch(HKEY hHive, const CString &strPrefix, int bAll) {
    const CString root = strPrefix + m_sHarnockKey;
    if (!IsSafeKeyPath(m_sHarnockKey) || !IsSafeKeyPath(root)) return;
    if (bAll) DeleteSubKeys(hHive, root);
    DeleteKeyPath(hHive, root);
}

void CHarnRegistry::DeleteQuillbakUserBranches() {
    RemoveUserProductBranch(HKEY_CURRENT_USER, "", 0);
    ForEachLoadedProfile(&CHarnRegistry::RemoveUserProductBranch, 0);
}

void CHarnRegistry::DeleteHarnockUserBranches(int bAll) {
    RemoveUserMakerBranch(HKEY_CURRENT_USER, "", bAll);
    ForEachLoadedProfile(&CHarnRegistry::RemoveUserMakerBranch, bAll);
}

void CHarnRegistry::DeleteOldQuillbakKey(CString strSubKey) {
    while (!strSubKey.IsEmpty() && strSubKey[0] == '\\') strSubKey = strSubKey.Mid(1);
    if (strSubKey.IsEmpty()) return;
    DeleteSubKeys(HKEY_LOCAL_MACHINE, JoinKey(m_sOldHarnockKey, strSubKey));
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_sOldHarnockKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegCloseKey(key);
    DeleteKeyAt(HKEY_LOCAL_MACHINE, m_sOldHarnockKey, strSubKey);
    DeleteKeyPath(HKEY_LOCAL_MACHINE, m_sOldHarnockKey);
}

// ---- key and value operations -----------------------------------------------------------------
namespace {

int AddKey(const CString &path) {
    if (!CHarnRegistry::IsSafeKeyPath(path)) return 0;
    return qlreg::Create(HKEY_LOCAL_MACHINE, path);
}

int SetKeyValue(const CString &path, LPCSTR valueName, DWORD type, const BYTE *data, DWORD size) {
    if (!CHarnRegistry::IsSafeKeyPath(path)) return 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
    LONG rc = RegSetValueExA(key, valueName, 0, type, data, size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

int QueryKeyValue(HKEY root, const CString &path, LPCSTR valueName, DWORD *type, BYTE *data, DWORD *size) {
    if (!CHarnRegistry::IsSafeKeyPath(path)) return 0;
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
    LONG rc = RegQueryValueExA(key, valueName, NULL, type, data, size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

}  // namespace

int CHarnRegistry::AddHarnockKey(CString strSubKey) { return AddKey(JoinKey(m_sHarnockKey, strSubKey)); }
int CHarnRegistry::AddQuillbakKey(CString strSubKey) { return AddKey(JoinKey(m_sQuillbakKey, strSubKey)); }

void CHarnRegistry::DeleteHarnockKey(CString strSubKey) {
    if (!IsSafeKeyPath(m_sHarnockKey)) return;
    DeleteSubKeys(HKEY_LOCAL_MACHINE, JoinKey(m_sHarnockKey, strSubKey));
    DeleteKeyAt(HKEY_LOCAL_MACHINE, m_sHarnockKey, strSubKey);
}

void CHarnRegistry::DeleteQuillbakKey(CString strSubKey) {
    if (!IsSafeKeyPath(m_sQuillbakKey)) return;
    DeleteSubKeys(HKEY_LOCAL_MACHINE, JoinKey(m_sQuillbakKey, strSubKey));
    DeleteKeyAt(HKEY_LOCAL_MACHINE, m_sQuillbakKey, strSubKey);
}

int CHarnRegistry::SetHarnockKeyValue(CString strSubKey, CString strValueName, DWORD dwType, BYTE *pData,
                                      DWORD dwSize) {
    if (!IsSafeKeyPath(m_sHarnockKey)) return 0;
    return SetKeyValue(JoinKey(m_sHarnockKey, strSubKey), strValueName, dwType, pData, dwSize);
}

int CHarnRegistry::SetQuillbakKeyValue(CString strSubKey, CString strValueName, DWORD dwType, BYTE *pData,
                                       DWORD dwSize) {
    if (!IsSafeKeyPath(m_sQuillbakKey)) return 0;
    return SetKeyValue(JoinKey(m_sQuillbakKey, strSubKey), strValueName, dwType, pData, dwSize);
}

int CHarnRegistry::QueryHarnockKeyValue(CString strSubKey, CString strValueName, DWORD *pdwType, BYTE *pData,
                                        DWORD *pdwSize, HKEY hKey) {
    HKEY root = hKey ? hKey : HKEY_LOCAL_MACHINE;
    // A failed read may have written the needed size: the former root is
    // read with the caller's own.
    const DWORD capacity = pdwSize ? *pdwSize : 0;
    if (IsSafeKeyPath(m_sHarnockKey) &&
        QueryKeyValue(root, JoinKey(m_sHarnockKey, strSubKey), strValueName, pdwType, pData, pdwSize))
        return 1;
    if (pdwSize) *pdwSize = capacity;
    return QueryKeyValue(root, JoinKey(m_sOldHarnockKey, strSubKey), strValueName, pdwType, pData, pdwSize);
}

int CHarnRegistry::QueryQuillbakKeyValue(CString strSubKey, CString strValueName, DWORD *pdwType, BYTE *pData,
                                         DWORD *pdwSize, HKEY hKey) {
    if (!IsSafeKeyPath(m_sQuillbakKey)) return 0;
    return QueryKeyValue(hKey ? hKey : HKEY_LOCAL_MACHINE, JoinKey(m_sQuillbakKey, strSubKey), strValueName, pdwType,
                         pData, pdwSize);
}

// ---- the uninstall sweep ----------------------------------------------------------------------
int CHarnRegistry::DeleteDynamicKey() {
    if (m_dwMode != KEY_WRITE) return 0;
    if (m_Settings.UninstallQuillbak()) {
        if (IsSafeKeyPath(m_sQuillbakBaseKey)) {
            const char *const keys[] = {"Admin",          "QlMgr",           "TapeEngine",   "User",
                                        "Database",       "DBAdmin",         "SNMP",         "Log",
                                        "Task",           "LastFullBackup",  "LastImageBackup", "ServerRecord",
                                        "SystemSetting"};
            for (const char *name : keys) DeleteSubKeys(HKEY_LOCAL_MACHINE, JoinKey(m_sQuillbakBaseKey, name));
            for (const char *name : keys) DeleteKeyAt(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey, name);
        }
        DeleteSubKeys(HKEY_CURRENT_USER, JoinKey(m_sAppWizardKey, m_sCentralDBConfigKey));
        DeleteKeyAt(HKEY_CURRENT_USER, m_sAppWizardKey, m_sCentralDBConfigKey);
        DeleteQuillbakKey(m_sOldProducts);
        DeleteQuillbakKey(m_sVMOldProducts);
        DeleteReactronBranch();
        DeleteQuillbakUserBranches();
        DeleteQuillbakShellExtension();
        DeleteVMITProductBranch();
    }
    DeleteQuillbakBranch(0);
    DeleteHarnockBranch(0);
    DeleteHarnockUserBranches(0);
    return 1;
}

// ---- records of earlier products --------------------------------------------------------------
void CHarnRegistry::CreateOldProdDscrpt() {
    const CString name = m_Settings.Product();
    // An empty name would read the key's default value.
    if (name.IsEmpty()) return;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_sOldProductsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_sOldDSAgentProductsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    tagProductStruct record;
    memset(&record, 0, sizeof record);
    DWORD type = REG_NONE, size = sizeof record;
    LONG rc = RegQueryValueExA(key, name, NULL, &type, (LPBYTE)&record, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return;
    qlreg::Write(HKEY_LOCAL_MACHINE, m_sOldDBAgentsKey, name, REG_BINARY, &record, sizeof record);
}

void CHarnRegistry::DeleteOldProdDscrpt() {
    const CString name = m_Settings.Product();
    if (name.IsEmpty()) return;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_sOldDBAgentsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, name);
    DWORD values = 1;
    LONG rc = RegQueryInfoKeyA(key, NULL, NULL, NULL, NULL, NULL, NULL, &values, NULL, NULL, NULL, NULL);
    RegCloseKey(key);
    if (rc == ERROR_SUCCESS && values == 0) DeleteKeyPath(HKEY_LOCAL_MACHINE, m_sOldDBAgentsKey);
}

// ---- database agents --------------------------------------------------------------------------
// The agent's parent key and its leaf name; FALSE when the root is missing.
BOOL CHarnRegistry::AgentKeyParts(const CString &strAgentKey, int bNewRoot, CString &strParent, CString &strLeaf) {
    const CString root = bNewRoot ? m_sQuillbakKey : m_sOldHarnockKey;
    if (!IsSafeKeyPath(root)) return FALSE;
    const CString path = JoinKey(root, strAgentKey);
    if (!qlreg::SplitKey(path, strParent, strLeaf)) return FALSE;
    return IsSafeKeyPath(strParent);
}

int CHarnRegistry::GetDBAgentHomeDir(CString strAgentKey, char *lpszBuffer, DWORD *pdwSize, int bNewRoot,
                                     HKEY hKey) {
    if (!lpszBuffer || !pdwSize || *pdwSize == 0) return 0;
    lpszBuffer[0] = '\0';
    CString parentPath, leaf;
    if (!AgentKeyParts(strAgentKey, bNewRoot, parentPath, leaf)) return 0;
    HKEY parent;
    if (RegOpenKeyExA(hKey ? hKey : HKEY_LOCAL_MACHINE, parentPath, 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS)
        return 0;
    int found = 0;
    for (DWORD index = 0; !found; ++index) {
        char name[kNameBuffer];
        DWORD size = sizeof name;
        LONG rc = RegEnumKeyExA(parent, index, name, &size, NULL, NULL, NULL, NULL);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || !NameHolds(name, leaf)) continue;
        HKEY probe;
        if (RegOpenKeyExA(parent, name, 0, KEY_READ, &probe) != ERROR_SUCCESS) continue;
        RegCloseKey(probe);
        CString folder;
        if (AgentFolder(parent, name, folder) && (DWORD)folder.GetLength() < *pdwSize) {
            // Never more than the caller's buffer holds.
            memcpy(lpszBuffer, (LPCSTR)folder, folder.GetLength() + 1);
            found = 1;
        }
        break;
    }
    RegCloseKey(parent);
    return found;
}

int CHarnRegistry::ExistOther_DBAgents(CString strAgentKey, int bNewRoot, CString &strOtherDir) {
    CString parentPath, leaf;
    if (!AgentKeyParts(strAgentKey, bNewRoot, parentPath, leaf)) return 0;
    HKEY parent;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, parentPath, 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS) return 0;
    int found = 0;
    for (DWORD index = 0; !found; ++index) {
        char name[kNameBuffer];
        DWORD size = sizeof name;
        LONG rc = RegEnumKeyExA(parent, index, name, &size, NULL, NULL, NULL, NULL);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || NameHolds(name, leaf) || CString(name).CompareNoCase("dbxmail2") == 0) continue;
        found = 1;
        CString folder;
        if (AgentFolder(parent, name, folder)) strOtherDir = folder;
    }
    RegCloseKey(parent);
    return found;
}

void CHarnRegistry::DeleteAgentSubKeys(CString strAgentKey, int bNewRoot) {
    CString parentPath, leaf;
    if (!AgentKeyParts(strAgentKey, bNewRoot, parentPath, leaf) || leaf.IsEmpty()) return;
    HKEY parent;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, parentPath, 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS) return;
    CStringArray names;
    for (DWORD index = 0;; ++index) {
        char name[kNameBuffer];
        DWORD size = sizeof name;
        LONG rc = RegEnumKeyExA(parent, index, name, &size, NULL, NULL, NULL, NULL);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_SUCCESS && NameHolds(name, leaf)) names.Add(name);
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) break;
    }
    RegCloseKey(parent);
    for (int i = 0; i < names.GetSize(); ++i) {
        const CString name = names[i];
        if (name.IsEmpty()) continue;
        DeleteSubKeys(HKEY_LOCAL_MACHINE, JoinKey(parentPath, name));
        DeleteKeyAt(HKEY_LOCAL_MACHINE, parentPath, name);
        // The second mail agent replaced the first; both go together.
        if (name.CompareNoCase("dbxmail2") == 0) {
            DeleteSubKeys(HKEY_LOCAL_MACHINE, JoinKey(parentPath, "dbxmail"));
            DeleteKeyAt(HKEY_LOCAL_MACHINE, parentPath, "dbxmail");
        }
    }
}

void CHarnRegistry::UpdateRPCImagePath(CString strNewPath) {
    if (strNewPath.IsEmpty()) return;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\DbxRpcService", 0, KEY_ALL_ACCESS,
                      &key) != ERROR_SUCCESS)
        return;
    char current[MAX_PATH + 1];
    memset(current, 0, sizeof current);
    DWORD type = REG_NONE, size = MAX_PATH;
    if (RegQueryValueExA(key, "ImagePath", NULL, &type, (LPBYTE)current, &size) != ERROR_SUCCESS) current[0] = '\0';
    if (strNewPath.CompareNoCase(current) != 0 && GetFileAttributesA(strNewPath) != INVALID_FILE_ATTRIBUTES)
        RegSetValueExA(key, "ImagePath", 0, REG_EXPAND_SZ, (const BYTE *)(LPCSTR)strNewPath,
                       (DWORD)strNewPath.GetLength() + 1);
    RegCloseKey(key);
}
