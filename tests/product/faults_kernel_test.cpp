// Failures of the kernel's path, directory, version and module calls the
// library makes: where the setup directory, the log and the current
// directory end up, which files are looked at, what is started or removed.
#include "action_fixture.h"

#include <windows.h>
#include <shlobj.h>

#include <winsim/machine.h>
#include <winsim/shell_folders.h>

#include <cstring>
#include <string>
#include <vector>

#include "actions/Auxiliary.h"
#include "actions/Frame.h"
#include "actions/PostInstall.h"
#include "actions/PreInstall.h"
#include "actions/Uninstall.h"
#include "doubles.h"
#include "registry/HarnRegistry.h"
#include "system/VersionText.h"

namespace {

const char kHome[] = "C:\\Program Files\\Quillbak";

class KernelFaults : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        M().AddDrive('D', DRIVE_CDROM);
        M().MakeDirs("D:\\SETUP");
        M().currentDir = "C:\\TEMP";
    }
    std::vector<std::string> Started() {
        std::vector<std::string> commands;
        for (auto &p : M().processLog) commands.push_back(p.commandLine);
        return commands;
    }
};

// ---- the setup information ------------------------------------------------------------------
TEST_F(KernelFaults, WithoutTheProgramsNameThereIsNoSetupDirectory) {
    winsim::InjectFault("GetModuleFileNameA", ERROR_NOT_ENOUGH_MEMORY);
    tagSETUP_INFO info;
    EXPECT_EQ(SetSetupInfo(session_, &info, 0), 1);
    EXPECT_EQ(winsim::CallCount("GetModuleFileNameA"), 1u);
    EXPECT_STREQ(g_Settings.SourcePath(), "");
    EXPECT_STREQ(g_Settings.BatchFile(), "QUILLBAK.ICF");
    EXPECT_EQ(M().currentDir, "C:\\TEMP");  // no directory to change to
}

TEST_F(KernelFaults, ASetupDirectoryThatCannotBeEnteredIsStillTheSource) {
    Prop("SETUPDIR", "D:\\SETUP\\");
    winsim::InjectFault("SetCurrentDirectoryA", ERROR_NOT_READY);
    tagSETUP_INFO info;
    EXPECT_EQ(SetSetupInfo(session_, &info, 0), 1);
    EXPECT_EQ(winsim::CallCount("SetCurrentDirectoryA"), 1u);
    EXPECT_EQ(M().currentDir, "C:\\TEMP");
    EXPECT_STREQ(g_Settings.SourcePath(), "D:\\SETUP\\");
    EXPECT_STREQ(g_Settings.BatchFile(), "D:\\SETUP\\QUILLBAK.ICF");
    EXPECT_STREQ(g_Settings.LogFile(), "C:\\TEMP\\\\QLBSETUP.LOG");
}

// The setup log keeps its name and goes to the current drive's root; the
// rest of the settings do not depend on it.
TEST_F(KernelFaults, WithoutTheTemporaryDirectoryTheLogIsNamedAlone) {
    Prop("SETUPDIR", "D:\\SETUP\\");
    winsim::InjectFault("GetTempPathA", ERROR_ENVVAR_NOT_FOUND);
    tagSETUP_INFO info;
    EXPECT_EQ(SetSetupInfo(session_, &info, 0), 1);
    EXPECT_EQ(winsim::CallCount("GetTempPathA"), 1u);
    EXPECT_STREQ(info.szLogFile, "\\QLBSETUP.LOG");
    EXPECT_STREQ(g_Settings.SourcePath(), "D:\\SETUP\\");
    EXPECT_STREQ(g_Settings.BatchFile(), "D:\\SETUP\\QUILLBAK.ICF");
}

// ---- the system directory -------------------------------------------------------------------
TEST_F(KernelFaults, WithoutTheSystemDirectoryNoOtherControlsAreTakenForCurrent) {
    Prop("SETUPDIR", "D:\\SETUP\\");
    Prop("UILevel", "2");
    ActionPrologue(session_, "LaunchProductSetup", "Started", 0);
    M().installer.log.clear();
    ASSERT_EQ(M().currentDir, "D:\\SETUP");
    M().registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Internet Explorer", "Version", "5.00.2919.6307");
    // Old controls in the system directory, new ones at the current drive's root.
    M().PutFile("C:\\WINNT\\system32\\ComCTL32.dll", "MZ");
    M().fileVersions["C:\\WINNT\\system32\\ComCTL32.dll"].fileMS = MAKELONG(79, 5);
    M().PutFile("D:\\ComCTL32.dll", "MZ");
    M().fileVersions["D:\\ComCTL32.dll"].fileMS = MAKELONG(0, 6);
    M().PutFile("D:\\SETUP\\50ComUpd.exe", "MZ");
    winsim::Program update;
    update.exitCode = 0;
    update.runMs = 1000;
    M().programs["D:\\SETUP\\50ComUpd.exe"] = update;

    winsim::InjectFault("GetSystemDirectoryA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(UpdateInternetExplorer(session_), 1);
    EXPECT_EQ(winsim::CallCount("GetSystemDirectoryA"), 1u);
    EXPECT_EQ(Started(), std::vector<std::string>{"D:\\SETUP\\50ComUpd.exe /Q:A /R:N"});
    EXPECT_EQ(Log(), (std::vector<std::string>{"CreateProcess - D:\\SETUP\\50ComUpd.exe /Q:A /R:N",
                                               "Launched D:\\SETUP\\50ComUpd.exe /Q:A /R:N successful"}));
}

// A folder that cannot be told apart from the system's is never swept.
TEST_F(KernelFaults, TheSystemFolderIsNotSweptWhenItCannotBeNamed) {
    const std::string home = "C:\\WINNT\\system32\\";
    M().registry.SetDword(std::string(kBase) + "\\Components", "SERVER", 0);
    M().registry.SetDword(std::string(kBase) + "\\Components", "ADMIN", 0);
    M().registry.SetDword(std::string(kBase) + "\\Components", "MANAGER", 0);
    g_Settings = CSettings();
    g_Settings.QuillbakPath(home.c_str());
    struct Case {
        const char *function;
        unsigned nth;  // GetFullPathNameA: the home's, then the guarded folders' in turn
    } const cases[] = {{"GetSystemDirectoryA", 1}, {"GetWindowsDirectoryA", 1}, {"GetFullPathNameA", 2},
                       {"GetFullPathNameA", 3}, {"GetFullPathNameA", 4}};
    for (const Case &c : cases) {
        M().PutFile(home + "SETUP.LOG", "x");
        M().PutFile(home + "LOG\\inside\\file.dat", "x");
        unsigned before = winsim::CallCount(c.function);
        winsim::InjectFault(c.function, ERROR_NOT_ENOUGH_MEMORY, winsim::FaultMode::Nth, c.nth);
        EXPECT_EQ(DeleteProductFiles(), 1);
        EXPECT_GE(winsim::CallCount(c.function), before + c.nth) << c.function << " #" << c.nth;
        winsim::ClearFaults();
        EXPECT_TRUE(M().Exists(home + "SETUP.LOG")) << c.function << " #" << c.nth;
        EXPECT_TRUE(M().Exists(home + "LOG\\inside\\file.dat")) << c.function << " #" << c.nth;
    }
    // Any folder is kept while the system's folders cannot be named.
    winsim::InjectFault("GetSystemDirectoryA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_TRUE(IsProtectedFolder("C:\\Program Files\\Quillbak"));
    EXPECT_FALSE(IsProtectedFolder("C:\\Program Files\\Quillbak"));
}

// ---- the current directory ------------------------------------------------------------------
class CurrentDirectoryFaults : public KernelFaults {
protected:
    void SetUp() override {
        KernelFaults::SetUp();
        g_Settings = CSettings();
        g_Settings.QuillbakPath("C:\\Program Files\\Quillbak\\");
        M().MakeDirs(kHome);
        InstallDouble("QLBNTMSD", std::string(kHome) + "\\QLBNTMSD.DLL");
        Env("QLBNTMSD_RESULT") = "0";
    }
};

TEST_F(CurrentDirectoryFaults, AnUnknownDirectoryIsNotGivenBack) {
    winsim::InjectFault("GetCurrentDirectoryA", ERROR_NOT_ENOUGH_MEMORY);
    RegisterRsmLibrary(session_);
    EXPECT_EQ(Env("QLBNTMSD_CALLS"), "RegisterQLBMll in C:\\Program Files\\Quillbak");
    EXPECT_TRUE(Log(INSTALLMESSAGE_WARNING).empty());
    // Only the change into the product folder: no change to an empty name.
    EXPECT_EQ(winsim::CallCount("SetCurrentDirectoryA"), 1u);
    EXPECT_EQ(M().currentDir, kHome);
}

TEST_F(CurrentDirectoryFaults, AProductFolderThatCannotBeEnteredStillRegistersTheLibrary) {
    winsim::InjectFault("SetCurrentDirectoryA", ERROR_ACCESS_DENIED);
    RegisterRsmLibrary(session_);
    EXPECT_EQ(Env("QLBNTMSD_CALLS"), "RegisterQLBMll in C:\\TEMP");
    EXPECT_TRUE(Log(INSTALLMESSAGE_WARNING).empty());
    EXPECT_EQ(M().currentDir, "C:\\TEMP");
}

// ---- the database conversion ------------------------------------------------------------------
TEST_F(KernelFaults, AConverterWithoutAFullPathIsNotStarted) {
    Prop("SETUPDIR", "D:\\SETUP\\");
    M().PutFile("D:\\SETUP\\QLBSETUP.INF", "[Setup]\r\nProdSubType=1\r\n");
    InstalledProduct(kHome);
    M().MakeDirs(std::string(kHome) + "\\Database.141");
    M().PutFile(std::string(kHome) + "\\VLDBCONV.EXE", "MZ");
    winsim::Program converter;
    converter.runMs = 500;
    M().programs[std::string(kHome) + "\\VLDBCONV.EXE"] = converter;
    tagSETUP_INFO info;
    SetSetupInfo(session_, &info, 0);
    info.bBatchOperation = TRUE;
    g_Settings = CSettings(&info, 0);
    g_Settings.Initialize();
    g_Settings.QuillbakPath("C:\\Program Files\\Quillbak\\");
    g_Settings.InstallDBType(2);
    ExistingDatabaseType = 0;

    winsim::InjectFault("GetFullPathNameA", ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(ConvertDatabase(), 0);
    EXPECT_EQ(winsim::CallCount("GetFullPathNameA"), 1u);
    EXPECT_TRUE(M().processLog.empty());
    EXPECT_EQ(M().currentDir, "D:\\SETUP");

    EXPECT_EQ(ConvertDatabase(), 1);  // the path made: the converter starts
    EXPECT_EQ(M().processLog.size(), 1u);
    ExistingDatabaseType = -1;
}

// ---- the Start menu ------------------------------------------------------------------------
TEST_F(KernelFaults, AnUnknownSystemVersionRemovesNoProgramGroup) {
    const std::string programs = winsim::SpecialFolderPath(CSIDL_COMMON_PROGRAMS);
    M().PutFile(programs + "\\Group\\a.lnk", "x");
    winsim::InjectFault("GetVersionExA", ERROR_INVALID_PARAMETER);
    RemoveStartMenuGroup("Group");
    EXPECT_EQ(winsim::CallCount("GetVersionExA"), 1u);
    EXPECT_TRUE(M().Exists(programs + "\\Group\\a.lnk"));
    EXPECT_EQ(winsim::ComInitializations(), 0);
    RemoveStartMenuGroup("Group");
    EXPECT_FALSE(M().Exists(programs + "\\Group"));
}

// ---- modules -------------------------------------------------------------------------------
TEST(ModuleFaults, ALibraryThatCannotBeUnloadedStillGivesItsText) {
    const char library[] = "C:\\QB\\QLVCTL.DLL";
    InstallDouble("QLVCTL", library);
    winsim::LocalMachine().environment["QLVCTL_VERSION"] = "7.0.1230";
    winsim::InjectFault("FreeLibrary", ERROR_INVALID_HANDLE);
    EXPECT_STREQ(SetupCLSGetVersionString(library), "7.0.1230");
    EXPECT_EQ(winsim::CallCount("FreeLibrary"), 1u);
    HMODULE loaded = GetModuleHandleA("QLVCTL.DLL");
    EXPECT_NE(loaded, nullptr);  // the failed unload keeps it
    EXPECT_TRUE(FreeLibrary(loaded));
    EXPECT_EQ(GetModuleHandleA("QLVCTL.DLL"), nullptr);
}

}  // namespace
