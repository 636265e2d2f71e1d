// Unattended installation on another machine: product information, the
// proposed folder and the configuration file for the target's setup.
#include "SilentConfig.h"

#include "SetupIcf.h"
#include "SetupInf.h"
#include "Settings.h"
#include "dialogs/RemoteConfigDlg.h"
#include "registry/HarnRegistry.h"
#include "system/QLRemote.h"
#include "system/SetupPaths.h"

#include "afxstr.h"
#include "resource.h"

#include <string.h>

#include <vector>

namespace {

// Copies a text into a record field whole; FALSE (field untouched) when it
// does not fit.
BOOL CopyWhole(char *field, size_t capacity, LPCSTR text) {
    size_t length = strlen(text);
    if (length >= capacity) return FALSE;
    memcpy(field, text, length + 1);
    return TRUE;
}

// CHarnRegistry takes a writable name; NULL or "" reads this machine.
std::vector<char> MachineArg(LPCSTR lpszMachine) {
    std::vector<char> name;
    if (lpszMachine && *lpszMachine) name.assign(lpszMachine, lpszMachine + strlen(lpszMachine) + 1);
    return name;
}

char *MachinePointer(std::vector<char> &name) { return name.empty() ? NULL : name.data(); }

// This machine's name when none is given.
CString MachineName(LPCSTR lpszMachine) {
    if (lpszMachine && *lpszMachine) return CString(lpszMachine);
    char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) name[0] = '\0';
    return CString(name);
}

// The target's Program Files folder with the product's place below it, or
// "" when the target's registry does not say.
CString ProgramFilesProposal(LPCSTR lpszMachine) {
    HKEY root = NULL;
    if (RegConnectRegistryA(lpszMachine && *lpszMachine ? lpszMachine : NULL, HKEY_LOCAL_MACHINE, &root) !=
        ERROR_SUCCESS)
        return CString();
    CString proposal;
    HKEY key = NULL;
    if (RegOpenKeyExA(root, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char value[MAX_PATH + 1];
        DWORD size = MAX_PATH, type = 0;
        if (RegQueryValueExA(key, "ProgramFilesDir", NULL, &type, (LPBYTE)value, &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            value[size < MAX_PATH ? size : MAX_PATH] = '\0';  // the value may lack its terminator
            if (value[0]) proposal.Format("%s\\Veltmark\\Quillbak", value);
        }
        RegCloseKey(key);
    }
    if (root != HKEY_LOCAL_MACHINE) RegCloseKey(root);
    return proposal;
}

CString SilentConfigTemplate() { return RunningProgramFolder() + QL_SILENT_CONFIG_FILE; }

BOOL SilentConfigExists(LPCSTR lpszPath) { return GetFileAttributesA(lpszPath) != INVALID_FILE_ATTRIBUTES; }

// The file carries the service account's password: where the volume keeps
// access lists, only administrators (and the system, which runs setup) may
// open it. FALSE when the volume keeps them and the list could not be set.
BOOL RestrictToAdministrators(LPCSTR lpszPath) {
    char full[MAX_PATH];
    LPSTR filePart = NULL;
    DWORD n = GetFullPathNameA(lpszPath, sizeof full, full, &filePart);
    if (n == 0 || n >= sizeof full) return FALSE;
    // The volume's root: "X:\" or "\\server\share\".
    char root[MAX_PATH];
    lstrcpyA(root, full);
    if (root[0] == '\\' && root[1] == '\\') {
        char *share = strchr(root + 2, '\\');
        char *end = share ? strchr(share + 1, '\\') : NULL;
        if (!end) return FALSE;
        end[1] = '\0';
    } else {
        root[3] = '\0';
    }
    DWORD flags = 0;
    if (GetVolumeInformationA(root, NULL, 0, NULL, NULL, &flags, NULL, 0) && !(flags & FILE_PERSISTENT_ACLS))
        return TRUE;  // FAT: nothing to restrict

    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = NULL, system = NULL;
    BOOL ok = AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                       0, &admins) &&
              AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system);
    if (ok) {
        DWORD size = sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD)) + GetLengthSid(admins) +
                     GetLengthSid(system);
        std::vector<BYTE> acl(size);
        SECURITY_DESCRIPTOR sd;
        ok = InitializeAcl((PACL)acl.data(), size, ACL_REVISION) &&
             AddAccessAllowedAce((PACL)acl.data(), ACL_REVISION, FILE_ALL_ACCESS, admins) &&
             AddAccessAllowedAce((PACL)acl.data(), ACL_REVISION, FILE_ALL_ACCESS, system) &&
             InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
             SetSecurityDescriptorDacl(&sd, TRUE, (PACL)acl.data(), FALSE) &&
             SetFileSecurityA(lpszPath, DACL_SECURITY_INFORMATION, &sd);
    }
    if (admins) FreeSid(admins);
    if (system) FreeSid(system);
    return ok;
}

// Copies the template to a new configuration file and restricts it; FALSE
// (and no file left) when either fails. With bEmptyIfNoTemplate a missing
// template gives an empty file, restricted all the same, so that whatever
// is written into it later is protected too.
BOOL CreateSilentConfigFile(LPCSTR lpszPath, BOOL bEmptyIfNoTemplate = FALSE) {
    if (!CopyFileA(SilentConfigTemplate(), lpszPath, FALSE)) {
        if (!bEmptyIfNoTemplate) return FALSE;
        HANDLE h = CreateFileA(lpszPath, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (h == INVALID_HANDLE_VALUE) return FALSE;
        CloseHandle(h);
    }
    if (!RestrictToAdministrators(lpszPath)) {
        DWORD error = GetLastError();
        SetFileAttributesA(lpszPath, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(lpszPath);
        SetLastError(error ? error : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

// The file in the folder: a backslash between them unless the folder ends in
// one. An empty folder gives the bare name (the current folder) when
// bEmptyIsCurrent, else "\QUILLBAK.ICF" (the current drive's root).
CString SilentConfigPath(LPCSTR lpszFolder, BOOL bEmptyIsCurrent) {
    CString path = lpszFolder ? lpszFolder : "";
    if (!(bEmptyIsCurrent && path.IsEmpty()) && (path.IsEmpty() || path[path.GetLength() - 1] != '\\'))
        path += '\\';
    return path + QL_SILENT_CONFIG_FILE;
}

}  // namespace

// ---- exported ------------------------------------------------------------------------------
int GetProductInfo(tagPRODUCT_INFO *pInfo) {
    if (!pInfo) return 0;
    CSetupInf inf;
    int subType = inf.GetProductSubType();
    if (subType < 0 || subType > 4) return 0;
    CString name;
    if (!name.LoadString(IDS_PRODUCT_NAME)) return 0;
    lstrcpynA(pInfo->szProductName, name, sizeof pInfo->szProductName);
    pInfo->bIsOption = 0;
    pInfo->bRemoteInstall = 1;
    return 1;
}

int AllowInstallation(LPCSTR lpszMachine, LPVOID, LPVOID, LPVOID, LPVOID, tagPRODUCT_INFO *pInfo) {
    std::vector<char> machine = MachineArg(lpszMachine);
    CHarnRegistry registry(1, MachinePointer(machine));
    CString candidate = registry.GetQuillbakHomeDir();
    if (!pInfo) return 1;
    pInfo->bInstalled = candidate.IsEmpty() ? 0 : 1;
    // A registered home too long for the record, or one of backslashes
    // only (nothing left once they are trimmed), is proposed no more than a
    // missing one; the next source answers.
    CString proposal = candidate;
    AppendBackSlash(proposal);
    if (proposal.IsEmpty() || proposal.GetLength() >= (int)sizeof pInfo->szHomePath) {
        CSetupIcf icf;
        proposal = icf.QuillbakPath();
        AppendBackSlash(proposal);
        if (proposal.IsEmpty() || proposal.GetLength() >= (int)sizeof pInfo->szHomePath) {
            proposal = ProgramFilesProposal(lpszMachine);
            AppendBackSlash(proposal);
        }
        if (proposal.IsEmpty() || proposal.GetLength() >= (int)sizeof pInfo->szHomePath) {
            proposal = QL_DEFAULT_HOME_PATH;
            AppendBackSlash(proposal);
        }
    }
    CopyWhole(pInfo->szHomePath, sizeof pInfo->szHomePath, proposal);
    return 1;
}

int GetSilentConfigDefaults(LPCSTR lpszFolder, LPCSTR lpszMachine, LPCSTR lpszAccount, LPCSTR lpszPassword) {
    CString path = SilentConfigPath(lpszFolder, TRUE);
    if (!SilentConfigExists(path)) {
        if (!CreateSilentConfigFile(path)) return 0;
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    CSetupIcf icf(path);
    std::vector<char> machine = MachineArg(lpszMachine);
    CHarnRegistry registry(1, MachinePointer(machine));
    CString home = registry.GetQuillbakHomeDir();
    if (!home.IsEmpty()) {
        icf.QuillbakPath(home);
        CString alert = registry.GetAlertHomeDir();
        if (!alert.IsEmpty()) icf.AlertPath(alert);
    }
    // "DOMAIN\user"; a bare user (or "\user") is an account of the machine.
    CString account = lpszAccount ? lpszAccount : "";
    int slash = account.Find('\\');
    CString domain, user;
    if (slash > 0) {
        domain = account.Left(slash);
        user = account.Mid(slash + 1);
    } else {
        domain = MachineName(lpszMachine);
        user = slash == 0 ? account.Mid(1) : account;
    }
    icf.SystemAccountDomain(domain);
    icf.SystemAccountUser(user);
    icf.SystemAccountPassword(lpszPassword ? lpszPassword : "");
    return 1;
}

int CreateSilentConfigIni(LPCSTR lpszMachine, LPCSTR lpszUser, LPCSTR lpszPassword, HWND hWndParent,
                          LPCSTR lpszFolder, tagPRODUCT_INFO *pInfo) {
    if (!pInfo) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // A connection with other credentials, or one already there, serves.
    CQLRemote remote(lpszMachine, lpszUser, lpszPassword);
    DWORD connected = remote.Connect("ADMIN$", FALSE);
    if (connected != NO_ERROR && connected != ERROR_SESSION_CREDENTIAL_CONFLICT && connected != ERROR_ALREADY_ASSIGNED) {
        SetLastError(connected);
        return 0;
    }
    if (!IsWindow(hWndParent)) {
        remote.Disconnect();
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    CString path = SilentConfigPath(lpszFolder, FALSE);
    if (!SilentConfigExists(path)) {
        if (!CreateSilentConfigFile(path, TRUE)) {
            // No file the password could be written to safely.
            DWORD error = GetLastError();
            remote.Disconnect();
            SetLastError(error ? error : ERROR_ACCESS_DENIED);
            return 0;
        }
        SetFileAttributesA(path, FILE_ATTRIBUTE_ARCHIVE);
        CSetupIcf icf(path);
        if (pInfo->bInstalled) icf.QuillbakPath(pInfo->szHomePath);
        std::vector<char> machine = MachineArg(lpszMachine);
        CHarnRegistry registry(1, MachinePointer(machine));
        CString alert = registry.GetAlertHomeDir();
        if (!alert.IsEmpty()) icf.AlertPath(alert);
        icf.SystemAccountDomain(MachineName(lpszMachine));
        icf.SystemAccountUser(lpszUser ? lpszUser : "");
        icf.SystemAccountPassword(lpszPassword ? lpszPassword : "");
    }
    CString machineName = MachineName(lpszMachine);
    CRemoteConfigDlg dialog(hWndParent, pInfo->bInstalled, pInfo->szHomePath, machineName, path);
    INT_PTR shown = dialog.DoModal();
    DWORD dialogError = shown == -1 ? GetLastError() : ERROR_SUCCESS;
    int outcome = dialog.m_nOutcome;
    if (outcome == CRemoteConfigDlg::OUTCOME_WRITTEN) {
        CSetupIcf confirmed(path);
        CopyWhole(pInfo->szHomePath, sizeof pInfo->szHomePath, confirmed.QuillbakPath());
    }
    remote.Disconnect();
    // The result keeps its meaning; the last error tells a confirmed dialog
    // (ERROR_SUCCESS) from a failed connection or window.
    SetLastError(dialogError);
    return outcome;
}
