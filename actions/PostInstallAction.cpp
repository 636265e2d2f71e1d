// PostInstall: what the file copy cannot do, step by step, each step
// logged; nothing here stops the installation.
#include "PostInstall.h"

#include "Checks.h"
#include "Frame.h"
#include "PreInstall.h"
#include "HomeShare.h"
#include "Uninstall.h"
#include "dialogs/WaitWindow.h"
#include "registry/HarnRegistry.h"
#include "resources/resource.h"
#include "system/Computer.h"
#include "system/CurrentUser.h"
#include "system/Service.h"

namespace {

const char kSanAgent[] = "VM SAN Agent";
// Room of a program group's name.
const int kGroupChars = 64;

}  // namespace

extern "C" UINT WINAPI PostInstall(MSIHANDLE hInstall) {
    const char step[] = "PostInstall() - %s";
    LogLine(hInstall, step, "Started");
    LoadSettings(hInstall, 0);

    CString home;
    {
        CHarnRegistry registry(1, NULL);
        home = registry.GetQuillbakHomeDir();
    }
    g_Settings.QuillbakPath(home);

    HWND wait = ShowWaitWindow(g_hInstance, GetDesktopWindow(), LoadMessage(IDS_PLEASE_WAIT_CONFIGURING));

    if (GetProperty(hInstall, "SANAGENTSTOPPED", 10) == "TRUE" && !CService::IsStarted(kSanAgent)) {
        LogLine(hInstall, step, "will start VM SAN agent.");
        CService::StartServiceA(kSanAgent, 1);
    }

    WriteSupportAddresses();

    if (!IsPatchMode(hInstall)) {
        LogLine(hInstall, step, "Not PATCH mode");
        LogLine(hInstall, step, "Before CreateQuillbakHomeShare()");
        CComputer computer;
        CCurrentUser user;
        CreateQuillbakHomeShare(hInstall, home, computer.Name(), user.GetUser());

        RemoveStartMenuGroup(LoadMessage(IDS_PROGRAM_GROUP_QUILLBAK).Left(kGroupChars - 1));
        RemoveStartMenuGroup(LoadMessage(IDS_PROGRAM_GROUP_QUILLBAKIT).Left(kGroupChars - 1));

        DeleteObsoleteFiles();
        {
            CHarnRegistry registry(1, NULL);
            registry.DeleteQuillbakUninstallKey();
        }
        RegisterRsmLibrary(hInstall);
        NotifySetupLibrary("QLBInstallNotify");
    } else {
        LogLine(hInstall, step, "PATCH mode");
    }

    CString reboot = GetProperty(hInstall, "REBOOT", 10);
    BOOL restart = FALSE;
    if (g_Settings.ProductSubType() != 0) {
        if (reboot.Find("Force") >= 0) {
            LogLine(hInstall, "PostInstall() - REBOOT flag is < %s >", reboot);
            restart = TRUE;
        } else {
            restart = MsiGetMode(hInstall, MSIRUNMODE_REBOOTNOW) || MsiGetMode(hInstall, MSIRUNMODE_REBOOTATEND);
        }
    } else {
        MsiSetMode(hInstall, MSIRUNMODE_REBOOTATEND, FALSE);
        MsiSetMode(hInstall, MSIRUNMODE_REBOOTNOW, FALSE);
    }

    if (!restart) {
        ConvertDatabase(hInstall);
        CService messageEngine(CService::MessageEngine);
        if (!messageEngine.IsStarted() && g_Settings.ProductSubType() != 0) {
            LogLine(hInstall, "PostInstall() - Started %s", "Quillbak Message Engine");
            messageEngine.StartServiceA(1);
            Sleep(2000);
        }
    }

    RefreshDiscoveryTable(hInstall);

    if (wait) DestroyWindow(wait);

    if (restart) {
        LogLine(hInstall, step, LoadMessage(IDS_RESTART_REQUIRED));
        if (IsSilentInstall(hInstall)) {
            MsiSetMode(hInstall, MSIRUNMODE_REBOOTATEND, FALSE);
            MsiSetMode(hInstall, MSIRUNMODE_REBOOTNOW, FALSE);
            MsiSetPropertyA(hInstall, "SILENTMODE", "TRUE");
        }
    }
    return QL_SUCCESS;
}
