// The steps of the removal: options of this version, the event sources,
// the product's data and the setup notification library.
#include "Uninstall.h"

#include "Checks.h"
#include "Frame.h"
#include "PreInstall.h"
#include "registry/HarnRegistry.h"
#include "system/Computer.h"
#include "system/Service.h"

namespace {

// Options whose registration carries this version (7.0); the package removes
// them with the product.
const char *const kCurrentOptions[] = {"ChangerOption",       "ChangerOptical", "ImageOption", "RAIDOption",
                                       "DisasterRecovery",    "EnterpriseLibOption", "MBOption", "SILO_Option"};

const char *const kDataPatterns[] = {"*.QLX", "*.LOG", "*.BAK", "*.CFG", "*.HLP",       "*.CNT",
                                     "*.FTS", "*.FTG", "*.GID", "AVENG32.DLL", "VirDefs.dat", "fixes.wri"};
const char *const kDataTrees[] = {"LOG", "TEMP", "00000001.QSD", "SIM", "DR", "DATABASE.141",
                                  "DATABASE.141.CANBEDELETED", "Alert"};
const char *const kDatabasePatterns[] = {"changer.cfg", "rAAAAAAA.chg", "rAAAAAAB.chg", "rdm.bil",
                                         "rdm.chi",     "rdm.chk",      "DBWORK.DBD"};

const char kEventLogApplication[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";

// The notification exports of the setup notification library take the
// product name; the caller cleans up the stack.
typedef int(__cdecl *PFN_QLB_NOTIFY)(LPCSTR lpszProduct);

void StopIfStarted(CService::ServiceType type) {
    CService service(type);
    if (service.IsStarted()) service.StopService(1, 0);
}

}  // namespace

BOOL ProductComponentStays() {
    if (g_Settings.UninstallQuillbak()) return FALSE;
    // The class-wide tests find the product's keys through the roots that
    // constructing an object establishes; without them every component
    // would look gone and the data would be deleted.
    CHarnRegistry roots(0, NULL);
    return CHarnRegistry::IsQuillbakServerInstalled(NULL) || CHarnRegistry::IsQuillbakManagerInstalled(NULL) ||
           CHarnRegistry::IsQuillbakAdminInstalled(NULL);
}

// Also used after the file copy: tells the setup notification library of the
// setup directory about the product. Nothing happens without the library or
// the export.
void NotifySetupLibrary(LPCSTR lpszExport) {
    CString path;
    path.Format("%sQLBSETUP.DLL", g_Settings.SourcePath());
    HMODULE library = LoadLibraryA(path);
    if (!library) return;
    PFN_QLB_NOTIFY notify = (PFN_QLB_NOTIFY)(void *)GetProcAddress(library, lpszExport);
    if (notify) notify("Quillbak");
    FreeLibrary(library);
}

int AnyCurrentOptionInstalled() {
    CHarnRegistry registry(1, NULL);
    for (const char *name : kCurrentOptions)
        if (registry.IsProductInstalled(name, 7, 0)) return TRUE;
    return FALSE;
}

int DeleteProductFiles() {
    if (ProductComponentStays()) return 1;  // the data stays for the remaining components
    CString home = g_Settings.QuillbakPath();
    // A home that names a root or a system folder is never swept.
    if (IsProtectedFolder(home)) return 1;
    for (const char *pattern : kDataPatterns) CComputer::DeleteFiles(home, pattern);
    for (const char *tree : kDataTrees) CComputer::DeleteTree(home + tree);
    StopIfStarted(CService::DatabaseEngine);
    CString database = home + "DATABASE";
    for (const char *pattern : kDatabasePatterns) CComputer::DeleteFiles(database, pattern);
    return 1;
}

int DeleteEventSource(LPCSTR lpszName) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEventLogApplication, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
    int deleted = 0;
    if (lpszName && *lpszName) {
        CString path;
        path.Format("%s\\%s", kEventLogApplication, lpszName);
        CHarnRegistry::DeleteSubKeys(HKEY_LOCAL_MACHINE, path);
        deleted = RegDeleteKeyA(key, lpszName) == ERROR_SUCCESS ? 1 : 0;
    }
    RegCloseKey(key);
    return deleted;
}

