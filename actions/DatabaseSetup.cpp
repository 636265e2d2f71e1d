// The database feature to install, and the removal of the product's SQL
// database through the product's database client library.
#include "Auxiliary.h"
#include "Frame.h"
#include "InstalledProduct.h"

#include "resource.h"

#include <cstring>

namespace {

// Texts of the question are loaded into 128 characters.
const int kQuestionChars = 128;

// "SQLDBUninstall" of the database client library: the owner window for its
// own messages; 0 when the database was removed.
typedef int(WINAPI *PFN_SQLDBUNINSTALL)(HWND hParent);

CString Cut(const CString &text, int chars) { return text.GetLength() < chars ? text : text.Left(chars - 1); }

}  // namespace

extern "C" UINT WINAPI RemoveSQLDatabase(MSIHANDLE hInstall) {
    int type = GetDatabaseType();
    if (type == 0 || type == 2) return QL_SUCCESS;
    // Nobody could answer in a run without user interface: the database
    // stays, as after "No".
    if (IsSilentInstall(hInstall)) return QL_SUCCESS;
    if (MessageBoxA(NULL, Cut(LoadMessage(IDS_REMOVE_SQL_DATABASE), kQuestionChars),
                    Cut(LoadMessage(IDS_PRODUCT_NAME), kQuestionChars), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return QL_SUCCESS;

    CString path;
    path.Format("%sQLDBCLI1.DLL", g_Settings.QuillbakPath());
    CString error;
    HMODULE client = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!client) {
        error.Format("Cannot load %s", (LPCSTR)path);
    } else {
        PFN_SQLDBUNINSTALL uninstall = (PFN_SQLDBUNINSTALL)(void *)GetProcAddress(client, "SQLDBUninstall");
        if (uninstall) {
            // The library has no main window of its own.
            int rc = uninstall(NULL);
            if (rc) error.Format("SQLDBUninstall failed [%d]", rc);
        } else {
            error = "Cannot get \"SQLDBUninstall\" process address";
        }
        FreeLibrary(client);
    }
    if (error.IsEmpty()) {
        LogLine(hInstall, "RemoveSQLDatabase() - %s", "SUCCESS");
    } else {
        ShowInstallerWarning(hInstall, error);
        LogLine(hInstall, "RemoveSQLDatabase() - %s", error);
    }
    return QL_SUCCESS;
}

extern "C" UINT WINAPI SetQuillbakDatabaseType(MSIHANDLE hInstall) {
    char type[10] = "";
    DWORD size = sizeof type;
    if (MsiGetPropertyA(hInstall, "SELECTDBTYPE", type, &size) != ERROR_SUCCESS) return QL_SUCCESS;
    type[sizeof type - 1] = '\0';
    LogLine(hInstall, "SetQuillbakDatabaseType() - SELECTDBTYPE is %s", type);
    // Any value naming SQL ("MSSQL" too) selects the SQL database.
    BOOL sql = strstr(type, "SQL") != NULL;
    MsiSetFeatureStateA(hInstall, "VLDB", sql ? INSTALLSTATE_ABSENT : INSTALLSTATE_LOCAL);
    MsiSetFeatureStateA(hInstall, "SQL", sql ? INSTALLSTATE_LOCAL : INSTALLSTATE_ABSENT);
    return QL_SUCCESS;
}
