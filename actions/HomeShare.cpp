#include "HomeShare.h"

#include "Frame.h"
#include "system/ShareSecurity.h"

#include <lm.h>

namespace {

// Longest share path handed to the network functions, in UTF-16 characters.
const int kWidePathChars = 520;
// Everyone entries a share can carry; the removal loop stops after these.
const int kMaxEveryoneEntries = 64;

void LogText(MSIHANDLE hInstall, LPCSTR lpszText) { LogLine(hInstall, "%s", lpszText); }

}  // namespace

void CreateQuillbakHomeShare(MSIHANDLE hInstall, LPCSTR lpszPath, LPCSTR lpszMachine, LPCSTR lpszAccount) {
    CShareSecurity security;
    CString start;
    start.Format("%s(Server=%s, Account=%s)", lpszPath ? lpszPath : "", lpszMachine ? lpszMachine : "",
                 lpszAccount ? lpszAccount : "");
    LogLine(hInstall, " - Start to CreateQuillbakHomeShare %s", start);

    CString path(lpszPath ? lpszPath : "");
    if (!path.IsEmpty() && path[path.GetLength() - 1] == '\\') path = path.Left(path.GetLength() - 1);
    WCHAR widePath[kWidePathChars];
    WCHAR shareName[] = {'Q', 'u', 'i', 'l', 'l', 'b', 'a', 'k', '$', 0};
    WCHAR remark[64];
    // A path the share functions cannot take is never shared.
    if (!MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, path, -1, widePath, kWidePathChars) ||
        !MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, "QuillbakIT System Directory", -1, remark, 64)) {
        LogText(hInstall, " - Failed to create Quillbak$ Share in CreateShare()");
        return;
    }

    LPBYTE buffer = NULL;
    if (NetShareGetInfo(NULL, shareName, 2, &buffer) == NERR_Success) {
        char existing[256] = "";
        if (!WideCharToMultiByte(CP_ACP, 0, ((SHARE_INFO_2 *)buffer)->shi2_path, -1, existing, sizeof existing, NULL,
                                 NULL))
            existing[0] = '\0';
        existing[sizeof existing - 1] = '\0';
        NetApiBufferFree(buffer);
        LogText(hInstall, " - Quillbak$ has been created, Keep it there");
        if (lstrcmpiA(existing, path) == 0) return;
    }

    NetShareDel(NULL, shareName, 0);
    if (!security.CreateShare(shareName, widePath, remark, NULL, FALSE)) {
        LogText(hInstall, " - Failed to create Quillbak$ Share in CreateShare()");
        return;
    }

    BOOL failed = FALSE;
    if (lpszAccount && *lpszAccount && !security.AddEntry(lpszMachine, lpszAccount, QL_SHARE_FULL)) {
        LogLine(hInstall, "- Failed Add Rights to Server Account (%s)", lpszAccount);
        failed = TRUE;
    }

    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID everyone = NULL, administrators = NULL, backupOperators = NULL;
    // Everyone is matched by its SID, so the language of the system does not
    // matter; every entry it carries goes, the one of the creation included.
    if (AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
        for (int i = 0; i < kMaxEveryoneEntries && security.RemoveEntry(everyone); ++i) {
        }

    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                  0, 0, &administrators) ||
        !security.AddEntry(administrators, QL_SHARE_FULL)) {
        LogText(hInstall, " - CreateBuiltinSid DOMAIN_ALIAS_RID_ADMINS) return FALSE");
        failed = TRUE;
    }
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_BACKUP_OPS, 0, 0, 0,
                                  0, 0, 0, &backupOperators) ||
        !security.AddEntry(backupOperators, QL_SHARE_CHANGE)) {
        LogText(hInstall, " - CreateBuiltinSid (DOMAIN_ALIAS_RID_BACKUP_OPS) return FALSE");
        failed = TRUE;
    }
    if (!everyone || !security.AddEntry(everyone, QL_SHARE_READ)) {
        LogText(hInstall, " - CreateEveryoneSid() return FALSE");
        failed = TRUE;
    }
    if (everyone) FreeSid(everyone);
    if (administrators) FreeSid(administrators);
    if (backupOperators) FreeSid(backupOperators);

    // Without its whole list the share keeps the descriptor it was created
    // with, whose only entry gives Everyone no rights.
    if (!failed) {
        SHARE_INFO_1501 info;
        info.shi1501_reserved = 0;
        info.shi1501_security_descriptor = security.PrivateDescriptor();
        NetShareSetInfo(NULL, shareName, 1501, (LPBYTE)&info, NULL);
    }
    LogText(hInstall, " - End of CreateQuillbakHomeShare()");
}
