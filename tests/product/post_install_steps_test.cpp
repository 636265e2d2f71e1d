// The steps after the file copy: support addresses, leftovers of earlier
// versions (never at a root or a system folder), program groups through the
// shell, the Removable Storage registration and the discovery service.
#include "action_fixture.h"

#include <winsim/shell_folders.h>

#include "actions/Frame.h"
#include "actions/PostInstall.h"
#include "brandkit.h"
#include "doubles.h"

#include <shlobj.h>

namespace {

const char kHome[] = "C:\\Program Files\\Quillbak\\";
const char kPrograms[] = "C:\\Documents and Settings\\All Users\\Start Menu\\Programs";

const char kMsg77[] =
    "Quillbak has taken control of all Medium Changers and SCSI Tape Devices found on this system.  If you need to "
    "use any of the devices with some other application, please use Quillbak Device Configuration Utility, to "
    "yield control of the device.";
const char kMsg78[] =
    "\"Removable Storage\" service has to be restarted for Windows Removable Storage Manager to recognize Quillbak "
    "media.";

class PostInstallSteps : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        g_Settings = CSettings();
        g_Settings.QuillbakPath(kHome);
        M().MakeDirs(kHome);
    }
    void Discovery(DWORD state, const winsim::ServiceScript &script = winsim::ServiceScript()) {
        winsim::ServiceConfig c;
        c.name = "QLDiscoverySvc";
        c.imagePath = "\"C:\\Program Files\\Quillbak\\QLDSCSVC.EXE\"";
        winsim::AddService(M(), c, state, script);
    }
    std::vector<std::string> Warnings() { return Log(INSTALLMESSAGE_WARNING); }
};

TEST_F(PostInstallSteps, SupportAddressesUnderTheBaseKey) {
    EXPECT_EQ(WriteSupportAddresses(), 1);
    const std::string key = std::string(kBase) + "\\QLMgr";
    EXPECT_EQ(Text(key, "CertifiedDevices"), "http://www.veltmark.example/support/quillbak/devices.htm");
    EXPECT_EQ(Text(key, "ENews"), "http://www.veltmark.example/quillbak/enews.htm");
    EXPECT_EQ(Text(key, "ESupport"), "http://www.veltmark.example/support/quillbak/esupport.htm");
    EXPECT_EQ(Text(key, "OnlineHelp"), "http://www.veltmark.example/support/quillbak/help/index.htm");
    // Written with the terminating zero.
    const winsim::RegValue *v = M().registry.Find(key)->FindValue("ENews");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->data.size(), strlen("http://www.veltmark.example/quillbak/enews.htm") + 1);
}

TEST_F(PostInstallSteps, SupportAddressesFollowTheBrandedBase) {
    InstallBrandKit();
    SetBrandKitText(BRANDKIT_VALUE_REG_BASE, "SOFTWARE\\Brand\\Base");
    WriteSupportAddresses();
    EXPECT_EQ(Text("HKLM\\SOFTWARE\\Brand\\Base\\QLMgr", "ENews"), "http://www.veltmark.example/quillbak/enews.htm");
    EXPECT_EQ(M().registry.Find(std::string(kBase) + "\\QLMgr"), nullptr);
}

TEST_F(PostInstallSteps, SupportAddressesWithoutTheKeyDoNothing) {
    winsim::InjectFault("RegCreateKeyExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(WriteSupportAddresses(), 1);
    EXPECT_EQ(M().registry.Find(std::string(kBase) + "\\QLMgr"), nullptr);
}

TEST_F(PostInstallSteps, ObsoleteFilesGoTheCurrentOnesStay) {
    const std::string home = kHome;
    for (const char *f : {"QLBACKUP.EXE", "QLSCHED.EXE", "QLRUN.EXE", "QLRAID.DLL", "RAIDSVC.EXE", "MFC42.DLL",
                          "MSVCRT.DLL", "QLCORE.DLL", "JOBSRV.EXE"})
        M().PutFile(home + f, "x");
    for (const char *f : {"QLCOPY.001", "QLCOPY.DAT", "QLMEDIA.005", "DBWORK.DBA", "SYSCAT.019", "SYSCAT.022",
                          "QLJOBS.DB", "SYSCAT.023"})
        M().PutFile(home + "DATABASE\\" + f, "x");
    M().PutFile("C:\\WINNT\\QLUNINST.EXE", "x");
    g_Settings.ProductSubType(3);
    EXPECT_EQ(DeleteObsoleteFiles(), 1);
    for (const char *f : {"QLBACKUP.EXE", "QLSCHED.EXE", "QLRUN.EXE", "QLRAID.DLL", "RAIDSVC.EXE", "MFC42.DLL",
                          "MSVCRT.DLL"})
        EXPECT_FALSE(M().Exists(home + f)) << f;
    for (const char *f : {"QLCOPY.001", "QLCOPY.DAT", "QLMEDIA.005", "DBWORK.DBA", "SYSCAT.019", "SYSCAT.022"})
        EXPECT_FALSE(M().Exists(home + "DATABASE\\" + f)) << f;
    EXPECT_FALSE(M().Exists("C:\\WINNT\\QLUNINST.EXE"));
    EXPECT_TRUE(M().Exists(home + "QLCORE.DLL"));
    EXPECT_TRUE(M().Exists(home + "JOBSRV.EXE"));
    EXPECT_TRUE(M().Exists(home + "DATABASE\\QLJOBS.DB"));
    EXPECT_TRUE(M().Exists(home + "DATABASE\\SYSCAT.023"));
}

TEST_F(PostInstallSteps, EditionsWithTheRaidOptionKeepItsFiles) {
    for (int subType : {1, 2}) {
        M().PutFile(std::string(kHome) + "RAIDMGR.EXE", "x");
        M().PutFile(std::string(kHome) + "QLBACKUP.EXE", "x");
        g_Settings.ProductSubType(subType);
        DeleteObsoleteFiles();
        EXPECT_TRUE(M().Exists(std::string(kHome) + "RAIDMGR.EXE")) << subType;
        EXPECT_FALSE(M().Exists(std::string(kHome) + "QLBACKUP.EXE")) << subType;
    }
}

TEST_F(PostInstallSteps, ObsoleteFilesAreNotLookedForInASystemFolder) {
    for (const char *dir : {"C:\\WINNT\\system32\\", "C:\\WINNT\\", "C:\\"}) {
        M().PutFile(std::string(dir) + "MSVCRT.DLL", "system");
        M().PutFile(std::string(dir) + "MFC42.DLL", "system");
        g_Settings.QuillbakPath(dir);
        DeleteObsoleteFiles();
        EXPECT_TRUE(M().Exists(std::string(dir) + "MSVCRT.DLL")) << dir;
        EXPECT_TRUE(M().Exists(std::string(dir) + "MFC42.DLL")) << dir;
    }
    // The earlier versions' uninstaller in the Windows folder still goes.
    M().PutFile("C:\\WINNT\\QLUNINST.EXE", "x");
    g_Settings.QuillbakPath("");
    DeleteObsoleteFiles();
    EXPECT_FALSE(M().Exists("C:\\WINNT\\QLUNINST.EXE"));
}

TEST_F(PostInstallSteps, ProgramGroupsOfTheAllUsersStartMenu) {
    const std::string programs = kPrograms;
    M().PutFile(programs + "\\Quillbak for Windows NT\\Quillbak.lnk", "x");
    M().PutFile(programs + "\\Quillbak for Windows NT\\Tools\\Tool.lnk", "x");
    M().PutFile(programs + "\\Accessories\\Notepad.lnk", "x");
    M().MakeDirs(programs + "\\Startup");
    RemoveStartMenuGroup("Quillbak for Windows NT");
    EXPECT_FALSE(M().Exists(programs + "\\Quillbak for Windows NT"));
    EXPECT_TRUE(M().Exists(programs + "\\Accessories\\Notepad.lnk"));
    EXPECT_EQ(winsim::OutstandingItemLists(), 0u);
    EXPECT_EQ(winsim::ComInitializations(), 0);
    // Names that are no group of their own touch nothing.
    for (const char *name : {"", "..", ".", "..\\..", "Accessories\\..\\.."}) RemoveStartMenuGroup(name);
    RemoveStartMenuGroup(NULL);
    EXPECT_TRUE(M().Exists(programs + "\\Accessories\\Notepad.lnk"));
    EXPECT_TRUE(M().Exists(programs + "\\Startup"));
}

TEST_F(PostInstallSteps, ProgramGroupsFollowTheShellFolders) {
    M().registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                           "Common Programs", "C:\\Menus\\Programs");
    M().PutFile("C:\\Menus\\Programs\\QuillbakIT for Windows NT\\a.lnk", "x");
    M().PutFile(std::string(kPrograms) + "\\QuillbakIT for Windows NT\\a.lnk", "x");
    RemoveStartMenuGroup("QuillbakIT for Windows NT");
    EXPECT_FALSE(M().Exists("C:\\Menus\\Programs\\QuillbakIT for Windows NT"));
    EXPECT_TRUE(M().Exists(std::string(kPrograms) + "\\QuillbakIT for Windows NT\\a.lnk"));
}

TEST_F(PostInstallSteps, ProgramGroupsOfNtFourAndWindows95) {
    M().majorVersion = 4;
    M().PutFile("C:\\WINNT\\Profiles\\All Users\\Start Menu\\Programs\\Group\\a.lnk", "x");
    RemoveStartMenuGroup("Group");
    EXPECT_FALSE(M().Exists("C:\\WINNT\\Profiles\\All Users\\Start Menu\\Programs\\Group"));

    // Windows 95: the user's own Start menu.
    M().platformId = VER_PLATFORM_WIN32_WINDOWS;
    const std::string mine = winsim::SpecialFolderPath(CSIDL_PROGRAMS);
    ASSERT_FALSE(mine.empty());
    M().PutFile(mine + "\\Group\\a.lnk", "x");
    M().PutFile(std::string(kPrograms) + "\\Group\\a.lnk", "x");
    RemoveStartMenuGroup("Group");
    EXPECT_FALSE(M().Exists(mine + "\\Group"));
    EXPECT_TRUE(M().Exists(std::string(kPrograms) + "\\Group\\a.lnk"));

    // Windows NT 3.51 has no Start menu: nothing happens.
    M().platformId = VER_PLATFORM_WIN32_NT;
    M().majorVersion = 3;
    M().PutFile(std::string(kPrograms) + "\\Group\\a.lnk", "x");
    RemoveStartMenuGroup("Group");
    EXPECT_TRUE(M().Exists(std::string(kPrograms) + "\\Group\\a.lnk"));
    EXPECT_EQ(winsim::ComInitializations(), 0);
}

TEST_F(PostInstallSteps, ProgramGroupsNeedBothFolders) {
    M().PutFile(std::string(kPrograms) + "\\Group\\a.lnk", "x");
    winsim::InjectFault("SHGetPathFromIDListA", ERROR_ACCESS_DENIED, winsim::FaultMode::Nth, 2);
    RemoveStartMenuGroup("Group");
    EXPECT_TRUE(M().Exists(std::string(kPrograms) + "\\Group\\a.lnk"));
    EXPECT_EQ(winsim::OutstandingItemLists(), 0u);
    winsim::InjectFault("SHGetSpecialFolderLocation", ERROR_ACCESS_DENIED);
    RemoveStartMenuGroup("Group");
    EXPECT_TRUE(M().Exists(std::string(kPrograms) + "\\Group\\a.lnk"));
    EXPECT_EQ(winsim::ComInitializations(), 0);
}

TEST_F(PostInstallSteps, RemovableStorageAnswers) {
    InstallDouble("QLBNTMSD", std::string(kHome) + "QLBNTMSD.DLL");
    M().currentDir = "C:\\TEMP";
    struct Case {
        const char *rc;
        std::vector<std::string> warnings;
    } cases[] = {
        {"0", {}},
        {"1", {kMsg78}},
        {"65534", {kMsg77}},
        {"5", {"Failed to call RegisterQLBMll() from C:\\Program Files\\Quillbak\\QLBNTMSD.DLL -- RC=5"}},
        {"-1", {"Failed to call RegisterQLBMll() from C:\\Program Files\\Quillbak\\QLBNTMSD.DLL -- RC=-1"}},
    };
    for (const Case &c : cases) {
        M().installer.log.clear();
        Env("QLBNTMSD_CALLS") = "";
        Env("QLBNTMSD_RESULT") = c.rc;
        RegisterRsmLibrary(session_);
        EXPECT_EQ(Warnings(), c.warnings) << c.rc;
        // Called in the product folder; the directory is given back.
        EXPECT_EQ(Env("QLBNTMSD_CALLS"), "RegisterQLBMll in C:\\Program Files\\Quillbak") << c.rc;
        EXPECT_EQ(M().currentDir, "C:\\TEMP");
    }
}

TEST_F(PostInstallSteps, RemovableStorageLibraryMissingOrWithoutItsExport) {
    RegisterRsmLibrary(session_);
    EXPECT_TRUE(Warnings().empty());
    InstallDouble("TESTMOD", std::string(kHome) + "QLBNTMSD.DLL");
    RegisterRsmLibrary(session_);
    EXPECT_EQ(Warnings(),
              std::vector<std::string>{"Failed to call RegisterQLBMll() from C:\\Program Files\\Quillbak\\QLBNTMSD.DLL "});
}

TEST_F(PostInstallSteps, TheDiscoveryServiceIsRestarted) {
    Discovery(SERVICE_RUNNING);
    EXPECT_EQ(RefreshDiscoveryTable(session_), 0u);
    EXPECT_EQ(winsim::ServiceState(M(), "QLDiscoverySvc"), (DWORD)SERVICE_RUNNING);
    std::vector<std::string> lines = {"RefreshDiscoveryTable() - Discovery Service Status = Started.",
                                      "RefreshDiscoveryTable() - Stopping Discovery Service.",
                                      "RefreshDiscoveryTable() - Starting Discovery Service.",
                                      "RefreshDiscoveryTable() - Refresh completed successfully."};
    EXPECT_EQ(Log(), lines);
}

TEST_F(PostInstallSteps, AStoppedDiscoveryServiceStaysStopped) {
    Discovery(SERVICE_STOPPED);
    EXPECT_EQ(RefreshDiscoveryTable(session_), 0u);
    EXPECT_EQ(winsim::ServiceState(M(), "QLDiscoverySvc"), (DWORD)SERVICE_STOPPED);
    std::vector<std::string> lines = {"RefreshDiscoveryTable() - Discovery Service Status = Not Started.",
                                      "RefreshDiscoveryTable() - Refresh completed successfully."};
    EXPECT_EQ(Log(), lines);
}

TEST_F(PostInstallSteps, ADiscoveryServiceThatWillNotStartAgain) {
    Discovery(SERVICE_RUNNING);
    winsim::InjectFault("StartServiceA", ERROR_SERVICE_DISABLED);
    EXPECT_EQ(RefreshDiscoveryTable(session_), (DWORD)ERROR_SERVICE_DISABLED);
    std::vector<std::string> log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "RefreshDiscoveryTable() - ERROR Starting Discovery Service.");
}

}  // namespace
