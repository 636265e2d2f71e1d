// GetSetupInformation and GetExistDatabaseType: what the package's dialogs
// propose (user, company, folders, database, components, service account),
// and the steps that find it.
#include "Checks.h"

#include "registry/BrandKit.h"
#include "registry/HarnRegistry.h"
#include "settings/SetupIcf.h"
#include "system/Computer.h"
#include "system/CurrentUser.h"
#include "system/InstallationDll.h"

#include <cstdio>
#include <cstring>

namespace {

// Default base key when the branding library cannot name one.
const char kDefaultBaseKey[] = "SOFTWARE\\Veltmark\\QuillbakIT\\Base";
const char kFormerDatabaseKey[] = "SOFTWARE\\Harnock\\Quillbak\\CurrentVersion\\Database";

CString DecimalText(long value) {
    CString text;
    text.Format("%ld", value);
    return text;
}

// Decides one component from the configuration file's raw switch: "1"
// selects it, "0" deselects it, anything else keeps what is installed (or
// selects it on a first installation).
BOOL ChooseComponent(LPCSTR value, BOOL bEarlierProduct, BOOL bInstalledBefore) {
    if (lstrcmpiA(value, "1") == 0) return TRUE;
    if (lstrcmpiA(value, "0") == 0) return FALSE;
    return bEarlierProduct ? bInstalledBefore : TRUE;
}

namespace {
// One component's switch from the configuration file: logged, chosen and
// handed to the package's dialogs as "TRUE" or "FALSE".
BOOL TakeComponent(MSIHANDLE hInstall, LPCSTR lpszLogFormat, LPCSTR value, LPCSTR lpszProperty, BOOL bEarlierProduct,
                   BOOL bInstalledBefore) {
    LogLine(hInstall, lpszLogFormat, value);
    BOOL chosen = ChooseComponent(value, bEarlierProduct, bInstalledBefore);
    MsiSetPropertyA(hInstall, lpszProperty, chosen ? "TRUE" : "FALSE");
    return chosen;
}
}  // namespace

// A line with a system error: the text is made here, where the error's type
// is known, and logged as it stands.
void LogError(MSIHANDLE hInstall, LPCSTR lpszFormat, DWORD dwError) {
    CString text;
    text.Format(lpszFormat, (int)dwError);
    LogLine(hInstall, "%s", text);
}

}  // namespace

int GetDatabaseType() {
    char base[BKT_ROOT_BUFFER_SIZE];
    memset(base, 0, sizeof base);
    HMODULE brandKit = LoadLibraryA(BKT_LIBRARY_NAME);
    if (brandKit) {
        PFN_BKT_GET_STRING get = reinterpret_cast<PFN_BKT_GET_STRING>(
            reinterpret_cast<void *>(GetProcAddress(brandKit, BKT_GET_REG_BASE_STRING)));
        if (get) get(base, sizeof base);
        FreeLibrary(brandKit);
    }
    base[sizeof base - 1] = '\0';
    CString key = base[0] ? CString(base) : CString(kDefaultBaseKey);
    key += "\\Database";

    HKEY hKey = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &hKey) != ERROR_SUCCESS &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFormerDatabaseKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return -1;
    DWORD type = 0, kind = 0, size = sizeof type;
    if (RegQueryValueExA(hKey, "DatabaseType", NULL, &kind, reinterpret_cast<BYTE *>(&type), &size) != ERROR_SUCCESS)
        type = 0;
    RegCloseKey(hKey);
    return (int)type;
}

extern "C" UINT WINAPI GetExistDatabaseType(MSIHANDLE hInstall) {
    int type = GetDatabaseType();
    ExistingDatabaseType = type;
    switch (type) {
    case 2: MsiSetPropertyA(hInstall, "EXISTDBTYPE", "VLDB"); break;
    case 1: MsiSetPropertyA(hInstall, "EXISTDBTYPE", "SQL"); break;
    case 0: MsiSetPropertyA(hInstall, "EXISTDBTYPE", "RAIMA"); break;
    default: break;  // no database known: the property stays as it is
    }
    return QL_SUCCESS;
}

int GetServiceAccount(LPSTR lpszMessage, DWORD nSize, MSIHANDLE hInstall) {
    if (lpszMessage && nSize) lpszMessage[0] = '\0';
    CHarnRegistry registry(1, NULL);
    if (CString(registry.GetQuillbakHomeDir()).IsEmpty()) return 1;

    CString path;
    path.Format("%sBRANDKIT.DLL", g_Settings.SourcePath());
    CString message;
    int result = 0;
    HMODULE brandKit = LoadLibraryA(path);
    if (!brandKit) {
        message.Format("Failed to load %s.", (LPCSTR)path);
    } else {
        PFN_BKT_GET_USER_ACCOUNT get = reinterpret_cast<PFN_BKT_GET_USER_ACCOUNT>(
            reinterpret_cast<void *>(GetProcAddress(brandKit, BKT_GET_USER_ACCOUNT)));
        if (get) {
            // The library reads the server from a field of its own width.
            char server[BKT_SERVER_NAME_SIZE];
            CopyToField(server, g_Settings.SystemAccountServer());
            BKT_USER_ACCOUNT account;
            memset(&account, 0, sizeof account);
            result = get(server, &account);
            if (!result) {
                message.Format("BktGetUserAccountA() in %s Failed (Err = %d)", (LPCSTR)path, (int)GetLastError());
            } else {
                account.szDomain[BKT_ACCOUNT_FIELD_SIZE - 1] = '\0';
                account.szAccountName[BKT_ACCOUNT_FIELD_SIZE - 1] = '\0';
                account.szPassword[BKT_ACCOUNT_FIELD_SIZE - 1] = '\0';
                g_Settings.SystemAccountName(account.szAccountName);
                g_Settings.SystemAccountPassword(account.szPassword);
                g_Settings.SystemAccountDomain(account.szDomain);
            }
        }
        FreeLibrary(brandKit);
    }
    if (lpszMessage && nSize) snprintf(lpszMessage, nSize, "%s", (LPCSTR)message);
    LogLine(hInstall, " %s", message);
    return result;
}

int UninstallAlert(MSIHANDLE hInstall) {
    CHarnRegistry registry(1, NULL);
    CString alert = registry.GetAlertHomeDir();
    if (alert.IsEmpty()) return 1;
    LogLine(hInstall, "UninstallAlert - %s", alert);

    if (CHarnRegistry::VaxwallExists(NULL)) {
        LogLine(hInstall, " - %s", "Alert is used by other products and cannot be removed");
        return 0;
    }

    CString library;
    library.Format("%sALERTSET.DLL", g_Settings.SourcePath());
    CInstallationDll setup;
    if (setup.Load(library) != 0) {
        LogLine(hInstall, "- Cannot load %s", library);
        return 0;
    }
    char installPath[261];
    memset(installPath, 0, sizeof installPath);
    setup.GetInstallPath(installPath, 260);
    DWORD code = setup.UnInstall();
    if (code != 0) {
        // The code goes into the text first: the log line's own format has
        // room for one argument only.
        CString text;
        text.Format("Cannot uninstall Alert. [EC: %d]", (int)code);
        LogLine(hInstall, "- %s", text);
        setup.Unload();
        return 0;
    }
    setup.Unload();

    CString text;
    text.Format("Remove Alert files from %s", (LPCSTR)alert);
    LogLine(hInstall, "- %s", text);
    // The folders below the alert home, joined by one backslash whatever the
    // registry holds: a home of "D:\ALERT" must never name "D:\ALERTLOG".
    CString home = alert;
    TrimTailBackSlash(home);
    if (home.IsEmpty()) return 1;  // a home of backslashes only names no folder
    CComputer::DeleteTree(home + "\\EVENTLOG");
    CComputer::DeleteTree(home + "\\LOG");
    CComputer::DeleteTree(home);
    return 1;
}

UINT SetupInformation(MSIHANDLE hInstall) {
    CHarnRegistry registry(1, NULL);
    LogLine(hInstall, "GetSetupInformation() from %s", g_Settings.BatchFile());
    CSetupIcf icf(g_Settings.BatchFile());

    DWORD version = GetQuillbakVersion(hInstall);

    CString home = icf.QuillbakPath();
    if (home.IsEmpty() && g_Settings.QuillbakExists()) home = registry.GetQuillbakHomeDir();
    if (!home.IsEmpty()) {
        if (home[home.GetLength() - 1] == '\\') home = home.Left(home.GetLength() - 1);
        MsiSetPropertyA(hInstall, "INSTALLDIR", home);
    }

    MsiSetPropertyA(hInstall, "BUILDNO", DecimalText((long)(version >> 16)));
    MsiSetPropertyA(hInstall, "VERSIONNO", DecimalText((long)(version & 0xFFFF)));

    CString reinstall = GetProperty(hInstall, "REINSTALL", 256);
    CString setupDir = GetProperty(hInstall, "SETUPDIR", 256);
    BOOL maintenanceWithoutSetupDir = MsiGetMode(hInstall, MSIRUNMODE_MAINTENANCE) && setupDir.IsEmpty();

    tagProductStruct record;
    memset(&record, 0, sizeof record);
    BOOL haveRecord = CHarnRegistry::GetQuillbakProductInfo(&record);
    if (!IsPatchMode(hInstall) && reinstall.IsEmpty() && !maintenanceWithoutSetupDir) {
        MsiSetPropertyA(hInstall, "PRODSUBTYPE", DecimalText(g_Settings.ProductSubType()));
    } else if (haveRecord) {
        CString subType = DecimalText((signed char)record.bySubType);
        MsiSetPropertyA(hInstall, "PRODSUBTYPE", subType);
        LogLine(hInstall, "AllowUninstall() - ProdSubType from registry key = %s", subType);
    } else {
        // Without the record the edition of the medium stands in, so the
        // property always holds a number.
        LogLine(hInstall, "AllowUninstall() - %s", "Failed to get Quillbak ProductInfo.");
        MsiSetPropertyA(hInstall, "PRODSUBTYPE", DecimalText(g_Settings.ProductSubType()));
    }

    GetExistDatabaseType(hInstall);

    BOOL earlier = g_Settings.QuillbakExists();
    BOOL sql = earlier ? ExistingDatabaseType == 1 : icf.SQLDB() != 0;
    MsiSetPropertyA(hInstall, "SELECTDBTYPE", sql ? "SQL" : "VLDB");

    CString user = icf.FullName();
    if (user.IsEmpty()) user = registry.GetQuillbakUserName();
    CString company = icf.CompanyName();
    if (company.IsEmpty()) company = registry.GetQuillbakOrganization();
    if (!user.IsEmpty()) MsiSetPropertyA(hInstall, "USERNAME", user);
    if (!company.IsEmpty()) MsiSetPropertyA(hInstall, "COMPANYNAME", company);

    char message[QL_MESSAGE_SIZE];
    GetServiceAccount(message, sizeof message, hInstall);

    CString typed = GetProperty(hInstall, "PASSWORD", 15);
    CString account = icf.SystemAccountUser();
    CString password = !typed.IsEmpty() ? typed : CString(icf.SystemAccountPassword());
    CString domain = icf.SystemAccountDomain();
    if (account.IsEmpty()) {
        char name[48] = "";
        DWORD size = sizeof name;
        if (GetUserNameA(name, &size))
            account = name;
        else
            LogError(hInstall, "GetUserName() failed (Err=%d)", GetLastError());
    }
    if (password.IsEmpty()) password = g_Settings.SystemAccountPassword();
    if (domain.IsEmpty()) {
        char name[48] = "";
        DWORD size = sizeof name;
        if (CCurrentUser::GetDomain(name, &size))
            domain = name;
        else
            LogError(hInstall, "GetDomain() failed (Err=%d)", GetLastError());
    }
    if (!account.IsEmpty()) MsiSetPropertyA(hInstall, "SYSTEMACCOUNT", account);
    if (!password.IsEmpty()) MsiSetPropertyA(hInstall, "SYSTEMPWD", password);
    if (!domain.IsEmpty()) MsiSetPropertyA(hInstall, "SYSTEMDOMAIN", domain);
    MsiSetPropertyA(hInstall, "SYSTEMSERVER", g_Settings.SystemAccountServer());

    char value[10];
    memset(value, 0, sizeof value);
    icf.InstallManager(value, sizeof value);
    BOOL manager = TakeComponent(hInstall, " - Manager = %s", value, "INSTALLMANGER", earlier,
                                 CHarnRegistry::IsQuillbakManagerInstalled(HKEY_LOCAL_MACHINE));
    g_Settings.InstallManager(manager ? 1 : 0);

    memset(value, 0, sizeof value);
    icf.InstallServer(value, sizeof value);
    BOOL server = TakeComponent(hInstall, " - Server = %s", value, "INSTALLSERVER", earlier,
                                CHarnRegistry::IsQuillbakServerInstalled(HKEY_LOCAL_MACHINE));
    g_Settings.InstallServer(server ? 1 : 0);

    memset(value, 0, sizeof value);
    icf.InstallAdmin(value, sizeof value);
    BOOL admin = TakeComponent(hInstall, " - Admin = %s", value, "INSTALLADMIN", earlier,
                               CHarnRegistry::IsQuillbakAdminInstalled(HKEY_LOCAL_MACHINE));
    g_Settings.InstallAdmin(admin ? 1 : 0);

    // An earlier product too old to say which components it had gets all.
    if (earlier && (!haveRecord || (record.dwVersion >> 16) < 600)) {
        MsiSetPropertyA(hInstall, "INSTALLMANGER", "TRUE");
        MsiSetPropertyA(hInstall, "INSTALLSERVER", "TRUE");
        MsiSetPropertyA(hInstall, "INSTALLADMIN", "TRUE");
        g_Settings.InstallServer(1);
        g_Settings.InstallAdmin(1);
        g_Settings.InstallManager(1);
    }

    if (UninstallAlert(hInstall) == 0) MsiSetPropertyA(hInstall, "INSTALLALERT", "0");
    return QL_SUCCESS;
}

extern "C" UINT WINAPI GetSetupInformation(MSIHANDLE hInstall) {
    // The prologue without "ERRORMSG": a refusal of the checks before it
    // must stay for the package to show.
    LogLine(hInstall, "GetSetupInformation() - %s", "Started");
    LoadSettings(hInstall, 0);
    return SetupInformation(hInstall);
}
