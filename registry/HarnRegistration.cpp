// Registering the product with Windows and with its neighbours: product
// records, component flags, the maker-wide installed-products entry, shared
// file counts, the Add/Remove Programs entry, the SNMP extension agent, the
// Explorer shell extension with the script file type, and the job-database
// tuning values.
#include "HarnRegistry.h"

#include "RegistryIo.h"
#include "afxcoll.h"
#include "system/Computer.h"
#include "system/Service.h"

#include <cstdio>
#include <cstring>

namespace {

// Name of the SNMP service, stopped while its agents' registrations change.
const char kSnmpService[] = "SNMP";
// Size of the name and data buffers the agent list is read with.
const DWORD kAgentBuffer = 256;

// TRUE when the key holds no value at all.
BOOL HasNoValue(HKEY key) {
    char name[4];
    DWORD size = sizeof name;
    return RegEnumValueA(key, 0, name, &size, NULL, NULL, NULL, NULL) == ERROR_NO_MORE_ITEMS;
}

// The leading decimal number of a value name, 0 without one.
unsigned long long LeadingNumber(const char *text) {
    unsigned long long number = 0;
    for (const char *p = text; *p >= '0' && *p <= '9'; ++p) {
        number = number * 10 + (unsigned)(*p - '0');
        if (number > 0xFFFFFFFFull) return 0xFFFFFFFFull;
    }
    return number;
}

}  // namespace

// ---- product records ----------------------------------------------------------------------------
int CHarnRegistry::RegisterProduct(const char *lpszName, tagProductStruct *pRecord) {
    // An empty name would write the record as the key's default value.
    if (!lpszName || !*lpszName || !pRecord) return 0;
    return qlreg::Write(HKEY_LOCAL_MACHINE, m_sProductsKey, lpszName, REG_BINARY, pRecord, sizeof *pRecord);
}

namespace {

// Deletes a record from a products key, and the key once it holds no record.
int RemoveRecord(const CString &productsKey, const char *lpszName) {
    if (!lpszName || !*lpszName) return 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, productsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 1;
    LONG rc = RegDeleteValueA(key, lpszName);
    const BOOL empty = HasNoValue(key);
    RegCloseKey(key);
    return (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) ? (empty ? 2 : 1) : 0;
}

}  // namespace

int CHarnRegistry::UnregisterProduct(const char *lpszName) {
    int r = RemoveRecord(m_sProductsKey, lpszName);
    // The emptied products key itself goes (under the default brand that is
    // "Products" below the product root).
    CString parent, leaf;
    if (r == 2 && qlreg::SplitKey(m_sProductsKey, parent, leaf)) DeleteKeyAt(HKEY_LOCAL_MACHINE, parent, leaf);
    return r != 0;
}

int CHarnRegistry::UnregisterHarnockProduct(const char *lpszName) {
    int r = RemoveRecord(m_sOldProductsKey, lpszName);
    if (r == 2) DeleteKeyAt(HKEY_LOCAL_MACHINE, m_sOldHarnockKey, m_sProducts);
    return r != 0;
}

int CHarnRegistry::IsProductInstalled(const char *lpszName, HKEY hKey) {
    tagProductStruct record;
    memset(&record, 0, sizeof record);
    return GetProductInfo(lpszName, &record, hKey);
}

int CHarnRegistry::IsProductInstalled(const char *lpszName) {
    tagProductStruct record;
    return lpszName && ReadRecord(lpszName, record);
}

int CHarnRegistry::IsProductInstalled(const char *lpszName, WORD wMajor, WORD wMinor) {
    tagProductStruct record;
    memset(&record, 0, sizeof record);
    if (!GetProductInfo(lpszName, &record, NULL)) return 0;
    return ((record.dwVersion >> 8) & 0xFF) == wMajor && (record.dwVersion & 0xFF) == wMinor;
}

int CHarnRegistry::SavePerviousRegisterProduct(const char *lpszName, WORD wMajor, WORD wMinor) {
    tagProductStruct record;
    memset(&record, 0, sizeof record);
    if (!GetProductInfo(lpszName, &record, NULL)) return 0;
    const WORD major = (WORD)((record.dwVersion >> 8) & 0xFF);
    const WORD minor = (WORD)(record.dwVersion & 0xFF);
    if (major > wMajor || (major == wMajor && minor >= wMinor)) return 0;
    // Releases before 6.6 kept their records under OldProducts.
    const BOOL early = major < 6 || (major == 6 && minor < 6);
    const CString target = m_sQuillbakKey + "\\" + (early ? m_sOldProducts : m_sVMOldProducts);
    if (!IsSafeKeyPath(target)) return 0;
    if (!qlreg::Write(HKEY_LOCAL_MACHINE, target, lpszName, REG_BINARY, &record, sizeof record)) return 0;
    UnregisterHarnockProduct(lpszName);
    return 1;
}

// ---- installed components and neighbours ------------------------------------------------------
int CHarnRegistry::IsQuillbakComponentInstalled(const char *lpszValueName, HKEY hKey) {
    HKEY root = hKey ? hKey : HKEY_LOCAL_MACHINE;
    DWORD value = 0;
    if (!qlreg::ReadDword(root, m_sQuillbakBaseKey + m_sComponentsSubKey, KEY_READ, lpszValueName, value) &&
        !qlreg::ReadDword(root, m_sOldQuillbakBaseKey + m_sComponentsSubKey, KEY_READ, lpszValueName, value))
        return 0;
    return value == 1;
}

int CHarnRegistry::IsQuillbakServerInstalled(HKEY hKey) { return IsQuillbakComponentInstalled(m_sServer, hKey); }
int CHarnRegistry::IsQuillbakManagerInstalled(HKEY hKey) { return IsQuillbakComponentInstalled(m_sManager, hKey); }
int CHarnRegistry::IsQuillbakAdminInstalled(HKEY hKey) { return IsQuillbakComponentInstalled(m_sAdmin, hKey); }
int CHarnRegistry::IsQuillbakServerInstalled() { return Registry() && IsQuillbakServerInstalled(Registry()); }
int CHarnRegistry::IsQuillbakManagerInstalled() { return Registry() && IsQuillbakManagerInstalled(Registry()); }
int CHarnRegistry::IsQuillbakAdminInstalled() { return Registry() && IsQuillbakAdminInstalled(Registry()); }

int CHarnRegistry::VaxwallExists(HKEY) {
    char windows[261] = "";
    UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    if (n == 0 || n >= sizeof windows) return 0;
    CString pattern(windows);
    AppendBackSlash(pattern);
    pattern += "*.ALT";
    WIN32_FIND_DATAA found;
    HANDLE hFind = FindFirstFileA(pattern, &found);
    if (hFind == INVALID_HANDLE_VALUE) return 0;
    int exists = 0;
    do {
        // The product's own alert file says nothing about the anti-virus product.
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            CString(found.cFileName).CompareNoCase("QUILLBAK.ALT") != 0)
            exists = 1;
    } while (!exists && FindNextFileA(hFind, &found));
    FindClose(hFind);
    return exists;
}

// ---- maker-wide installed-products entry --------------------------------------------------------
int CHarnRegistry::SetVMITProduct() {
    const int subType = m_Settings.ProductSubType();
    if (subType == 0 || subType == 1) return 1;
    const CString entry = m_sVMInstalledITProducts + "\\" + m_sQuillbak;
    AddHarnockKey(m_sVMInstalledITProducts);
    AddHarnockKey(entry);
    // Both texts are kept with their terminating NUL.
    const CString name = m_sQuillbak;
    const CString code = m_Settings.ComponentCode();
    SetHarnockKeyValue(entry, m_sDisplayName, REG_SZ, (BYTE *)(LPCSTR)name, (DWORD)name.GetLength() + 1);
    SetHarnockKeyValue(entry, m_sProductCode, REG_SZ, (BYTE *)(LPCSTR)code, (DWORD)code.GetLength() + 1);
    // Other products of the maker read the entry; setup does not depend on it.
    return 1;
}

void CHarnRegistry::DeleteVMITProductBranch() {
    const CString list = JoinKey(m_sHarnockKey, m_sVMInstalledITProducts);
    const CString entry = list + "\\" + m_sQuillbak;
    if (!IsSafeKeyPath(entry)) return;
    qlreg::DeleteValue(HKEY_LOCAL_MACHINE, entry, m_sDisplayName);
    qlreg::DeleteValue(HKEY_LOCAL_MACHINE, entry, m_sProductCode);
    // The list itself stays: other products of the maker keep theirs in it.
    DeleteKeyAt(HKEY_LOCAL_MACHINE, list, m_sQuillbak);
}

// ---- shared-file counts -----------------------------------------------------------------------
int CHarnRegistry::IncrementSharedDLLCount(const char *lpszPath, int bKeepExisting) {
    if (!lpszPath || !*lpszPath) return 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_sSharedDLLKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
    DWORD type = REG_NONE, count = 0, size = sizeof count;
    LONG rc = RegQueryValueExA(key, lpszPath, NULL, &type, (LPBYTE)&count, &size);
    if (rc != ERROR_SUCCESS || size != sizeof count)
        count = 1;
    else if (!bKeepExisting && count != 0xFFFFFFFFu)
        ++count;
    rc = RegSetValueExA(key, lpszPath, 0, REG_DWORD, (const BYTE *)&count, sizeof count);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

DWORD CHarnRegistry::DecrementSharedDLLCount(const char *lpszPath) {
    if (!lpszPath || !*lpszPath) return 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_sSharedDLLKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
    DWORD type = REG_NONE, count = 0, size = sizeof count;
    LONG rc = RegQueryValueExA(key, lpszPath, NULL, &type, (LPBYTE)&count, &size);
    if (rc != ERROR_SUCCESS || size != sizeof count) {
        count = 0;
    } else if (count == 1) {
        // The last user: the file is no longer shared.
        count = RegDeleteValueA(key, lpszPath) == ERROR_SUCCESS ? 0 : 1;
    } else if (count != 0) {
        // A count already at 0 stays there: lowering it would wrap to
        // 4294967295 and keep the file forever.
        --count;
        if (RegSetValueExA(key, lpszPath, 0, REG_DWORD, (const BYTE *)&count, sizeof count) != ERROR_SUCCESS)
            ++count;
    }
    RegCloseKey(key);
    return count;
}

// ---- Add/Remove Programs entry ----------------------------------------------------------------
int CHarnRegistry::CreateUninstallKey(const char *lpszName, const char *lpszDisplayName, const char *lpszCommand) {
    if (!CComputer::IsNT4xOrLater()) return 1;
    if (!lpszName || !*lpszName || !lpszDisplayName || !lpszCommand) return 0;
    const CString key = m_sUninstallKey + "\\" + lpszName;
    if (!qlreg::WriteText(HKEY_LOCAL_MACHINE, key, m_sDisplayName, lpszDisplayName)) return 0;
    return qlreg::WriteText(HKEY_LOCAL_MACHINE, key, m_sUninstallString, lpszCommand);
}

int CHarnRegistry::DeleteUninstallKey(const char *lpszName) {
    if (!CComputer::IsNT4xOrLater()) return 1;
    if (!lpszName || !*lpszName) return 0;
    return DeleteKeyAt(HKEY_LOCAL_MACHINE, m_sUninstallKey, lpszName);
}

int CHarnRegistry::CreateQuillbakUninstallKey() {
    CString program;
    program.Format("%sUNINQL.EXE", m_Settings.QuillbakPath());
    // A program path with blanks is quoted, or Windows would run the part
    // before the first blank.
    CString command;
    if (program.Find(' ') >= 0)
        command.Format("\"%s\" -U -dQLSETGUI.DLL", (LPCSTR)program);
    else
        command.Format("%s -U -dQLSETGUI.DLL", (LPCSTR)program);
    return CreateUninstallKey(m_sQuillbakUninstallKey, m_Settings.ProductName(), command);
}

int CHarnRegistry::DeleteQuillbakUninstallKey() { return DeleteUninstallKey(m_sQuillbakUninstallKey); }

// ---- SNMP extension agent ---------------------------------------------------------------------
int CHarnRegistry::SetSNMPRegistry(const char *lpszAgentKey) {
    if (!lpszAgentKey) return 0;
    HKEY key;
    // No agents key: SNMP is not installed, nothing to register with.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_sSNMPExtensionAgentsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 1;
    unsigned long long largest = 0;
    for (DWORD index = 0;; ++index) {
        char name[kAgentBuffer + 1], data[kAgentBuffer + 1];
        DWORD nameSize = kAgentBuffer, dataSize = kAgentBuffer, type = REG_NONE;
        memset(data, 0, sizeof data);
        LONG rc = RegEnumValueA(key, index, name, &nameSize, NULL, &type, (LPBYTE)data, &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_MORE_DATA) {
            // Data longer than the buffer is no registration of this path,
            // but the value's name still takes its number.
            nameSize = kAgentBuffer;
            if (RegEnumValueA(key, index, name, &nameSize, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) continue;
            name[kAgentBuffer] = '\0';
            unsigned long long n = LeadingNumber(name);
            if (n > largest) largest = n;
            continue;
        }
        if (rc != ERROR_SUCCESS) {
            // A list that cannot be read whole could hide the number a new
            // registration would take.
            RegCloseKey(key);
            return 0;
        }
        name[kAgentBuffer] = '\0';
        data[kAgentBuffer] = '\0';
        if ((type == REG_SZ || type == REG_EXPAND_SZ) && strcmp(data, lpszAgentKey) == 0) {
            RegCloseKey(key);
            return 1;
        }
        unsigned long long n = LeadingNumber(name);
        if (n > largest) largest = n;
    }
    char number[24];
    snprintf(number, sizeof number, "%llu", largest + 1);
    LONG rc = RegSetValueExA(key, number, 0, REG_SZ, (const BYTE *)lpszAgentKey, (DWORD)strlen(lpszAgentKey) + 1);
    // The SNMP service reads the list when it starts; have it on disk.
    RegFlushKey(key);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

int CHarnRegistry::DeleteSNMPRegistry(const char *lpszAgentKey) {
    if (!lpszAgentKey) return 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_sSNMPExtensionAgentsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 1;
    int result = 1;
    CStringArray names;
    for (DWORD index = 0;; ++index) {
        char name[kAgentBuffer + 1], data[kAgentBuffer + 1];
        DWORD nameSize = kAgentBuffer, dataSize = kAgentBuffer, type = REG_NONE;
        memset(data, 0, sizeof data);
        LONG rc = RegEnumValueA(key, index, name, &nameSize, NULL, &type, (LPBYTE)data, &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_MORE_DATA) continue;  // longer than any path this product registers
        if (rc != ERROR_SUCCESS) {
            result = 0;
            break;
        }
        name[kAgentBuffer] = '\0';
        data[kAgentBuffer] = '\0';
        if ((type == REG_SZ || type == REG_EXPAND_SZ) && strcmp(data, lpszAgentKey) == 0) names.Add(name);
    }
    if (names.GetSize() > 0) {
        // The service holds its agents loaded; it lets go of them only when
        // stopped, and it is started again only when it was running.
        BOOL wasRunning = FALSE, stopped = TRUE;
        if (CService::ServiceExists(kSnmpService) && CService::IsStarted(kSnmpService)) {
            wasRunning = TRUE;
            stopped = CService::StopService(kSnmpService, 1, 1);
        }
        for (int i = 0; i < names.GetSize(); ++i)
            if (RegDeleteValueA(key, names[i]) != ERROR_SUCCESS) result = 0;
        if (wasRunning && stopped) CService::StartServiceA(kSnmpService, 0);
    }
    RegCloseKey(key);
    return result;
}

int CHarnRegistry::SetQuillbakSNMPPath(const char *lpszPath) {
    return qlreg::WriteText(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey + m_sSNMPSubKey, m_sPathname, lpszPath);
}

int CHarnRegistry::CreateQuillbakSNMPKey() {
    // A registration left by the former maker's layout would load the agent twice.
    DeleteSNMPRegistry(m_sOldQuillbakBaseKey + m_sSNMPSubKey);
    if (!SetQuillbakSNMPPath(CString(m_Settings.QuillbakPath()) + m_sSNMPFolder)) return 0;
    return SetSNMPRegistry(m_sQuillbakBaseKey + m_sSNMPSubKey);
}

int CHarnRegistry::DeleteQuillbakSNMPKey() { return DeleteSNMPRegistry(m_sQuillbakBaseKey + m_sSNMPSubKey); }

// ---- shell extension and script file type -----------------------------------------------------
int CHarnRegistry::SetQuillbakShellExtension(const char *lpszHomeDir) {
    if (!CComputer::IsNT4xOrLater()) return 1;
    CString server(lpszHomeDir ? lpszHomeDir : "");
    if (!server.IsEmpty() && server[server.GetLength() - 1] != '\\') server += "\\";
    server += "QLSHELL.DLL";
    CString mayChange;
    mayChange.Format("%s\\ShellEx\\MayChangeDefaultMenu", (LPCSTR)m_sQuillbakShellExtensionCLSIDKey);

    // Each step stands alone: a key that cannot be written is skipped.
    qlreg::WriteText(HKEY_LOCAL_MACHINE, m_sShellExtApprovedKey, m_sQuillbakShellExtensionCLSID,
                     m_sQuillbakShellExtension);
    qlreg::WriteText(HKEY_CLASSES_ROOT, m_sQuillbakShellExtensionCLSIDKey, "", m_sQuillbakShellExtension);
    if (qlreg::WriteText(HKEY_CLASSES_ROOT, m_sQuillbakShellExtensionInProcServerKey, "", server))
        qlreg::WriteText(HKEY_CLASSES_ROOT, m_sQuillbakShellExtensionInProcServerKey, m_sThreadingModel, "Apartment");
    qlreg::Create(HKEY_CLASSES_ROOT, mayChange);
    qlreg::WriteText(HKEY_CLASSES_ROOT, m_sDrivePropertySheetHandler, "", "");
    qlreg::WriteText(HKEY_CLASSES_ROOT, m_sDriveMenuHandler, "", "");
    qlreg::WriteText(HKEY_CLASSES_ROOT, m_sDirMenuHandler, "", "");
    qlreg::WriteText(HKEY_CLASSES_ROOT, m_sAllMenuHandler, "", "");
    qlreg::WriteText(HKEY_CLASSES_ROOT, m_sQuillbakScriptExtension, "", m_sQuillbakScriptFile);
    qlreg::WriteText(HKEY_CLASSES_ROOT, m_sQuillbakScriptFile, "", m_sQuillbakScriptFile);
    qlreg::WriteText(HKEY_CLASSES_ROOT, m_sQuillbakScriptDefaultIcon, "", "");
    qlreg::WriteText(HKEY_CLASSES_ROOT, m_sQuillbakScriptIconHandler, "", m_sQuillbakShellExtensionCLSID);
    qlreg::WriteText(HKEY_CLASSES_ROOT, m_sQuillbakScriptPropertySheetHandlerCLSID, "", "");
    qlreg::WriteText(HKEY_CLASSES_ROOT, m_sQuillbakScriptMenuHandlerCLSID, "", "");
    return 1;
}

int CHarnRegistry::SetQuillbakShellExtension() {
    if (!MayWrite()) return 0;
    return SetQuillbakShellExtension(m_Settings.QuillbakPath());
}

int CHarnRegistry::DeleteQuillbakShellExtension(const char *) {
    struct Remove {
        static void Key(const CString &path) {
            CString parent, leaf;
            if (qlreg::SplitKey(path, parent, leaf))
                DeleteKeyAt(HKEY_CLASSES_ROOT, parent, leaf);
            else
                DeleteKeyAt(HKEY_CLASSES_ROOT, NULL, path);
        }
    };
    qlreg::DeleteValue(HKEY_LOCAL_MACHINE, m_sShellExtApprovedKey, m_sQuillbakShellExtensionCLSID);
    const CString shellEx = m_sQuillbakShellExtensionCLSIDKey + "\\ShellEx";
    Remove::Key(m_sQuillbakShellExtensionInProcServerKey);
    Remove::Key(shellEx + "\\MayChangeDefaultMenu");
    Remove::Key(shellEx);
    Remove::Key(m_sQuillbakShellExtensionCLSIDKey);
    Remove::Key(m_sDrivePropertySheetHandler);
    Remove::Key(m_sDriveMenuHandler);
    Remove::Key(m_sDirMenuHandler);
    Remove::Key(m_sAllMenuHandler);
    // ".qlx" may have been taken over by another program since; only its
    // pointer to this product's file type goes.
    qlreg::DeleteValue(HKEY_CLASSES_ROOT, m_sQuillbakScriptExtension, "");
    Remove::Key(m_sQuillbakScriptDefaultIcon);
    Remove::Key(m_sQuillbakScriptIconHandler);
    Remove::Key(m_sQuillbakScriptPropertySheetHandlerCLSID);
    Remove::Key(m_sQuillbakScriptPropertySheetHandler);
    Remove::Key(m_sQuillbakScriptMenuHandlerCLSID);
    Remove::Key(m_sQuillbakScriptMenuHandler);
    Remove::Key(m_sQuillbakScriptFileShellExtension);
    Remove::Key(m_sQuillbakScriptFile);
    return 1;
}

int CHarnRegistry::DeleteQuillbakShellExtension() {
    if (!MayWrite()) return 0;
    DeleteQuillbakShellExtension(m_Settings.QuillbakPath());
    return 1;
}

// ---- job-database tuning ----------------------------------------------------------------------
int CHarnRegistry::SetBackupDaemonBufferSize(DWORD dwValue) {
    return qlreg::WriteDword(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey + m_sDatabaseSubKey, m_sDaemonSize, dwValue);
}
int CHarnRegistry::SetDatabasePruning(DWORD dwValue) {
    return qlreg::WriteDword(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey + m_sDatabaseSubKey, m_sPruningFlag, dwValue);
}
int CHarnRegistry::SetDelayPruning(DWORD dwValue) {
    return qlreg::WriteDword(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey + m_sDatabaseSubKey, m_sDelayFlag, dwValue);
}
int CHarnRegistry::SetPruningDays(DWORD dwValue) {
    return qlreg::WriteDword(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey + m_sDatabaseSubKey, m_sPruningDays, dwValue);
}
int CHarnRegistry::SetPruningTime(DWORD dwValue) {
    return qlreg::WriteDword(HKEY_LOCAL_MACHINE, m_sQuillbakBaseKey + m_sDatabaseSubKey, m_sPruningTime, dwValue);
}
