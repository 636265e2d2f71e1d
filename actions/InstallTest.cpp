// InstallTest: the home-share step by itself, with its own settings and its
// lines in "QLBSHARE.LOG" of the temporary directory.
#include "Auxiliary.h"
#include "Frame.h"
#include "HomeShare.h"

#include "registry/HarnRegistry.h"
#include "system/Computer.h"
#include "system/CurrentUser.h"
#include "system/SetupPaths.h"

#include <cstring>

extern "C" UINT WINAPI InstallTest(MSIHANDLE hInstall) {
    CHarnRegistry registry(1, NULL);
    CString setupDir = RunningProgramFolder();
    SetCurrentDirectoryA(setupDir);

    char temp[MAX_PATH + 1] = "";
    GetTempPathA(MAX_PATH, temp);
    temp[MAX_PATH] = '\0';
    CString batchFile, logFile;
    batchFile.Format("%sQUILLBAK.ICF", (LPCSTR)setupDir);
    logFile.Format("%s\\QLBSHARE.LOG", temp);
    tagSETUP_INFO info;
    memset(&info, 0, sizeof info);
    info.lProductType = 24;
    CopyToField(info.szBatchFile, batchFile);
    CopyToField(info.szSourcePath, setupDir);
    CopyToField(info.szLogFile, logFile);
    g_Settings = CSettings(&info, 1);
    g_Settings.Initialize();

    CComputer computer;
    CCurrentUser user;
    // Without a session every line goes to the log file of the settings.
    CreateQuillbakHomeShare(0, registry.GetQuillbakHomeDir(), computer.Name(), user.GetUser());
    return QL_SUCCESS;
}
