#include "InstalledProduct.h"

#include "Frame.h"
#include "registry/BrandKit.h"
#include "registry/HarnRegistry.h"
#include "system/Computer.h"
#include "system/VersionText.h"

DWORD GetQuillbakVersion(MSIHANDLE hInstall) {
    CString dir = GetProperty(hInstall, "SETUPDIR", 260);
    if (dir.IsEmpty()) {
        char home[MAX_PATH + 1] = "";
        DWORD size = MAX_PATH;
        if (CHarnRegistry::GetQuillbakHomeDir(home, &size)) dir = home;
    }
    if (!dir.IsEmpty() && dir[dir.GetLength() - 1] == '\\') dir = dir.Left(dir.GetLength() - 1);
    CString path = dir + "\\QLVCTL.DLL";
    if (!CComputer::PathExists(path)) path = dir + "\\QLNT\\QLVCTL.DLL";
    LogLine(hInstall, "GetQuillbakVersion() - QLVCTL.DLL Path = %s", path);
    return SetupCLSGetVersionBuildNumber(path);
}

int GetDatabaseType() {
    char base[BKT_ROOT_BUFFER_SIZE] = "";
    HMODULE brand = LoadLibraryA(BKT_LIBRARY_NAME);
    if (brand) {
        PFN_BKT_GET_STRING get = (PFN_BKT_GET_STRING)(void *)GetProcAddress(brand, BKT_GET_REG_BASE_STRING);
        if (get) get(base, sizeof base);
        base[sizeof base - 1] = '\0';
        FreeLibrary(brand);
    }
    CString key = base[0] ? CString(base) : CString("SOFTWARE\\Veltmark\\QuillbakIT\\Base");
    key += "\\Database";
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &hKey) != ERROR_SUCCESS &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Harnock\\Quillbak\\CurrentVersion\\Database", 0, KEY_READ,
                      &hKey) != ERROR_SUCCESS)
        return -1;
    DWORD type = 0, size = sizeof type, kind = 0;
    if (RegQueryValueExA(hKey, "DatabaseType", NULL, &kind, (LPBYTE)&type, &size) != ERROR_SUCCESS ||
        size != sizeof type)
        type = 0;
    RegCloseKey(hKey);
    return (int)type;
}
