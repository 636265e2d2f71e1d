// The product's service account: checked on the machine, given its rights
// and groups, and recorded through the branding library.
#include "Auxiliary.h"
#include "Frame.h"

#include "registry/BrandKit.h"
#include "resource.h"
#include "system/SystemAccount.h"

#include <cstring>

namespace {

// The message buffer of SetServiceAccount's callers.
const int kMessageChars = 256;

void CopyText(LPSTR lpszBuffer, const CString &text) {
    if (!lpszBuffer) return;
    lstrcpynA(lpszBuffer, text, kMessageChars);
}

template <size_t N>
void CopyField(char (&field)[N], LPCSTR text) {
    lstrcpynA(field, text ? text : "", (int)N);
}

}  // namespace

int SetServiceAccount(LPSTR lpszMessage, MSIHANDLE hInstall) {
    if (lpszMessage) lpszMessage[0] = '\0';
    CString name(g_Settings.SystemAccountName());
    CString domain(g_Settings.SystemAccountDomain());
    if (name.IsEmpty()) return 1;
    // "DOMAIN\user" names its own domain.
    int slash = name.Find('\\');
    if (slash >= 0) {
        domain = name.Left(slash);
        name = name.Mid(slash + 1);
    }

    CString message;
    int result = 0;
    CString path;
    path.Format("%sBRANDKIT.DLL", g_Settings.SourcePath());
    HMODULE brand = LoadLibraryA(path);
    if (!brand) {
        message.Format("Failed to load %s to create system user account.", (LPCSTR)path);
    } else {
        PFN_BKT_SET_USER_ACCOUNT set = (PFN_BKT_SET_USER_ACCOUNT)(void *)GetProcAddress(brand, BKT_SET_USER_ACCOUNT);
        if (set) {
            char server[BKT_SERVER_NAME_SIZE];
            CopyField(server, g_Settings.SystemAccountServer());
            BKT_USER_ACCOUNT account;
            memset(&account, 0, sizeof account);
            CopyField(account.szDomain, domain);
            CopyField(account.szAccountName, name);
            CopyField(account.szPassword, g_Settings.SystemAccountPassword());
            result = set(server, &account);
            if (!result) message.Format("BktSetUserAccountA() Failed (Err = %lu)", (unsigned long)GetLastError());
            // The password does not stay on the stack.
            for (volatile char *p = account.szPassword; p < account.szPassword + sizeof account.szPassword; ++p) *p = 0;
        }
        FreeLibrary(brand);
    }
    LogLine(hInstall, " %s", message);
    CopyText(lpszMessage, message);
    return result;
}

extern "C" UINT WINAPI CreateSystemAccount(MSIHANDLE hInstall) {
    LoadSettings(hInstall, 0);
    LogLine(hInstall, "CreateSystemAccount() - %s", "Started");

    CString server = GetProperty(hInstall, "SYSTEMSERVER", 20);
    CString domain = GetProperty(hInstall, "SYSTEMDOMAIN", 20);
    CString account = GetProperty(hInstall, "SYSTEMACCOUNT", 64);
    CString password = GetProperty(hInstall, "SYSTEMPWD", 32);

    // A failure is a failure even where its message has no text.
    BOOL failed = FALSE;
    CString error;
    if (account.IsEmpty() || domain.IsEmpty()) {
        error = LoadMessage(IDS_ACCOUNT_INFO_UNAVAILABLE);
        failed = TRUE;
    } else {
        CSystemAccount systemAccount(server, domain, account, password);
        if (!systemAccount.Exists()) {
            error = LoadMessage(IDS_ACCOUNT_NOT_FOUND);
            failed = TRUE;
        } else if (!systemAccount.ValidPassword()) {
            error = LoadMessage(IDS_ACCOUNT_PASSWORD_INVALID);
            failed = TRUE;
        } else {
            systemAccount.AssignGroups();
            g_Settings.SystemAccountName(account);
            g_Settings.SystemAccountPassword(password);
            g_Settings.SystemAccountDomain(domain);
            char message[kMessageChars];
            SetServiceAccount(message, hInstall);
            error = message;
            failed = !error.IsEmpty();
        }
    }

    if (failed) {
        MsiSetPropertyA(hInstall, "SYSTEMSTATUS", "ERROR");
        MsiSetPropertyA(hInstall, "ERRORMSG", error);
        ShowInstallerWarning(hInstall, error);
        LogLine(hInstall, "CreateSystemAccount() - %s", error);
        return QL_FAILURE;
    }
    MsiSetPropertyA(hInstall, "SYSTEMSTATUS", "OK");
    return QL_SUCCESS;
}
