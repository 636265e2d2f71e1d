// PreUninstall: warns about options of this version, stops the services,
// removes what the installer does not own, hands the home directory to the
// installer and removes the product's registration records.
#include "Uninstall.h"

#include "Checks.h"
#include "Frame.h"
#include "PreInstall.h"
#include "dialogs/WaitWindow.h"
#include "registry/HarnRegistry.h"
#include "resources/resource.h"
#include "system/Computer.h"
#include "system/Service.h"

#include <shlobj.h>

namespace {

// Room of the wait window's text.
const int kWaitTextChars = 128;

void StopIfStarted(CService::ServiceType type) {
    CService service(type);
    if (service.IsStarted()) service.StopService(1, 0);
}

}  // namespace

extern "C" UINT WINAPI PreUninstall(MSIHANDLE hInstall) {
    LoadSettings(hInstall, 1);
    MsiSetPropertyA(hInstall, "ERRORMSG", "NONE");
    LogLine(hInstall, "PreUninstall() - %s", "Started");

    if (AnyCurrentOptionInstalled()) {
        ShowInstallerWarning(hInstall, LoadMessage(IDS_OPTIONS_WILL_BE_REMOVED));
        MsiSetPropertyA(hInstall, "DeleteOpt", "TRUE");
    }

    StopSnmpForSetup(hInstall, 1);

    HWND wait = ShowWaitWindow(g_hInstance, GetDesktopWindow(),
                               LoadMessage(IDS_PLEASE_WAIT_READING_SYSTEM).Left(kWaitTextChars - 1));

    StopIfStarted(CService::MessageEngine);
    StopIfStarted(CService::JobEngine);
    StopIfStarted(CService::TapeEngine);
    Sleep(1000);
    StopIfStarted(CService::DiscoveryService);
    Sleep(1000);

    // The type of the existing database lives in a key that the registry
    // clean-up removes, so it is read first.
    GetExistDatabaseType(hInstall);

    {
        CHarnRegistry registry(g_Settings, 0, NULL);
        registry.DeleteDynamicKey();
    }
    DeleteEventSource("Quillbak");
    DeleteEventSource("QuillbakIT");

    DeleteProductFiles();

    if (!ProductComponentStays()) {
        LogLine(hInstall, "PreUninstall() - %s", "DeleteQuillbakHomeShare");
        CComputer::DeleteQuillbakHomeShare();
    }

    CString home;
    {
        CHarnRegistry registry(1, NULL);
        home = registry.GetQuillbakHomeDir();
    }
    while (!home.IsEmpty() && home[home.GetLength() - 1] == '\\') home = home.Left(home.GetLength() - 1);
    MsiSetPropertyA(hInstall, "QUILLBAKHOME", home);
    MsiSetPropertyA(hInstall, "InstallLocation", home);

    SHChangeNotify(SHCNE_NETUNSHARE, SHCNF_PATHA | SHCNF_FLUSH, (LPCSTR)home, NULL);
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, (LPARAM) "Environment", SMTO_ABORTIFHUNG, 3000,
                        &answer);

    NotifySetupLibrary("QLBUnInstallNotify");

    CHarnRegistry::UnregisterProduct("Quillbak");
    CHarnRegistry::UnregisterProduct("CrossPlatform");

    if (wait) DestroyWindow(wait);
    return QL_SUCCESS;
}
