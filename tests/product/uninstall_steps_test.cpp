// The steps of the removal: the options of this version, the product's data
// (kept while a component stays, never swept at a root or a system folder)
// and the event sources.
#include "action_fixture.h"

#include "actions/Frame.h"
#include "actions/PreInstall.h"
#include "actions/Uninstall.h"
#include "registry/HarnRegistry.h"
#include "doubles.h"

#include <cstring>

namespace {

const char kHome[] = "C:\\Program Files\\Quillbak\\";
const char kEventLog[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";

void RegisterOption(const char *name, BYTE major, BYTE minor) {
    tagProductStruct r;
    memset(&r, 0, sizeof r);
    r.dwProductCode = 60;
    r.dwVersion = (500u << 16) | ((DWORD)major << 8) | minor;
    r.dwCrc = CHarnRegistry::ProductRecordCrc(&r);
    winsim::LocalMachine().registry.Set("HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Products", name, REG_BINARY, &r,
                                        sizeof r);
}

class UninstallSteps : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        g_Settings = CSettings();
        g_Settings.QuillbakPath(kHome);
    }
    // The product's data files and folders, and a file of the user's.
    void SeedData(const std::string &home) {
        for (const char *f : {"JOBS.QLX", "SETUP.LOG", "A.BAK", "Q.CFG", "Q.HLP", "Q.CNT", "Q.FTS", "Q.FTG",
                              "Q.GID", "AVENG32.DLL", "VirDefs.dat", "fixes.wri", "KEEP.TXT", "QLCORE.DLL"})
            M().PutFile(home + f, "x");
        for (const char *d : {"LOG", "TEMP", "00000001.QSD", "SIM", "DR", "DATABASE.141",
                              "DATABASE.141.CANBEDELETED", "Alert"})
            M().PutFile(home + d + "\\inside\\file.dat", "x");
        for (const char *f : {"changer.cfg", "rAAAAAAA.chg", "rAAAAAAB.chg", "rdm.bil", "rdm.chi", "rdm.chk",
                              "DBWORK.DBD", "QLJOBS.DB"})
            M().PutFile(home + "DATABASE\\" + f, "x");
    }
    void Components(bool server, bool admin, bool manager) {
        M().registry.SetDword(std::string(kBase) + "\\Components", "SERVER", server ? 1 : 0);
        M().registry.SetDword(std::string(kBase) + "\\Components", "ADMIN", admin ? 1 : 0);
        M().registry.SetDword(std::string(kBase) + "\\Components", "MANAGER", manager ? 1 : 0);
    }
    void DatabaseEngine(DWORD state) {
        winsim::ServiceConfig c;
        c.name = "QLDBEngine";
        c.imagePath = "\"C:\\Program Files\\Quillbak\\DBSRV.EXE\"";
        winsim::AddService(M(), c, state);
    }
};

TEST_F(UninstallSteps, OnlyOptionsOfVersionSevenZeroCount) {
    EXPECT_FALSE(AnyCurrentOptionInstalled());
    RegisterOption("ImageOption", 6, 5);
    RegisterOption("SomethingElse", 7, 0);
    EXPECT_FALSE(AnyCurrentOptionInstalled());
    RegisterOption("SILO_Option", 7, 0);  // the last of the list
    EXPECT_TRUE(AnyCurrentOptionInstalled());
    CHarnRegistry::UnregisterProduct("SILO_Option");
    RegisterOption("ChangerOption", 7, 1);
    EXPECT_FALSE(AnyCurrentOptionInstalled());
}

TEST_F(UninstallSteps, TheWholeProductTakesItsDataWithIt) {
    SeedData(kHome);
    Components(false, false, false);
    DatabaseEngine(SERVICE_RUNNING);
    EXPECT_EQ(DeleteProductFiles(), 1);
    const std::string home = kHome;
    for (const char *f : {"JOBS.QLX", "SETUP.LOG", "A.BAK", "Q.CFG", "Q.GID", "AVENG32.DLL", "VirDefs.dat",
                          "fixes.wri"})
        EXPECT_FALSE(M().Exists(home + f)) << f;
    for (const char *d : {"LOG", "TEMP", "00000001.QSD", "SIM", "DR", "DATABASE.141", "DATABASE.141.CANBEDELETED",
                          "Alert"})
        EXPECT_FALSE(M().Exists(home + d)) << d;
    for (const char *f : {"changer.cfg", "rAAAAAAA.chg", "rAAAAAAB.chg", "rdm.bil", "rdm.chi", "rdm.chk",
                          "DBWORK.DBD"})
        EXPECT_FALSE(M().Exists(home + "DATABASE\\" + f)) << f;
    // What the installer owns, or the user's, stays.
    EXPECT_TRUE(M().Exists(home + "KEEP.TXT"));
    EXPECT_TRUE(M().Exists(home + "QLCORE.DLL"));
    EXPECT_TRUE(M().Exists(home + "DATABASE\\QLJOBS.DB"));
    EXPECT_EQ(winsim::ServiceState(M(), "QLDBEngine"), (DWORD)SERVICE_STOPPED);
}

TEST_F(UninstallSteps, TheComponentBitsAloneAlsoTakeTheData) {
    SeedData(kHome);
    Components(true, true, true);
    g_Settings.UninstallQuillbak(1);
    DeleteProductFiles();
    EXPECT_FALSE(M().Exists(std::string(kHome) + "LOG"));
    EXPECT_FALSE(M().Exists(std::string(kHome) + "JOBS.QLX"));
}

TEST_F(UninstallSteps, DataStaysWhileAComponentRemains) {
    SeedData(kHome);
    DatabaseEngine(SERVICE_RUNNING);
    for (int which = 0; which < 3; ++which) {
        Components(which == 0, which == 1, which == 2);
        g_Settings.UninstallAlert(1);  // only the alert component goes
        EXPECT_EQ(DeleteProductFiles(), 1);
        EXPECT_TRUE(M().Exists(std::string(kHome) + "JOBS.QLX")) << which;
        EXPECT_TRUE(M().Exists(std::string(kHome) + "LOG\\inside\\file.dat")) << which;
        EXPECT_TRUE(M().Exists(std::string(kHome) + "DATABASE\\rdm.bil")) << which;
    }
    EXPECT_EQ(winsim::ServiceState(M(), "QLDBEngine"), (DWORD)SERVICE_RUNNING);
}

TEST_F(UninstallSteps, ARootOrASystemFolderAsHomeIsNeverSwept) {
    Components(false, false, false);
    DatabaseEngine(SERVICE_RUNNING);
    for (const char *home : {"C:\\", "C:\\WINNT\\", "c:\\winnt\\system32\\", "C:\\PROGRAM FILES\\"}) {
        SeedData(home);
        g_Settings.QuillbakPath(home);
        EXPECT_EQ(DeleteProductFiles(), 1);
        const std::string h = home;
        EXPECT_TRUE(M().Exists(h + "SETUP.LOG")) << home;
        EXPECT_TRUE(M().Exists(h + "LOG\\inside\\file.dat")) << home;
        EXPECT_TRUE(M().Exists(h + "TEMP\\inside\\file.dat")) << home;
        EXPECT_TRUE(M().Exists(h + "DATABASE\\rdm.chk")) << home;
    }
    g_Settings.QuillbakPath("");
    EXPECT_EQ(DeleteProductFiles(), 1);
    EXPECT_EQ(winsim::ServiceState(M(), "QLDBEngine"), (DWORD)SERVICE_RUNNING);
}

TEST_F(UninstallSteps, TheFoldersNeverSwept) {
    for (const char *path : {"", "C:", "C:\\", "C:\\\\", "\\", "\\\\QLSERVER\\C$", "C:\\WINNT", "c:\\winnt\\",
                             "C:\\WINNT\\SYSTEM32", "C:\\Program Files", "c:\\program files\\",
                             "C:\\Program Files\\Quillbak\\..", "C:\\WINNT\\.\\"})
        EXPECT_TRUE(IsProtectedFolder(path)) << path;
    EXPECT_TRUE(IsProtectedFolder(NULL));
    for (const char *path : {"C:\\Program Files\\Quillbak", "C:\\Program Files\\Quillbak\\", "C:\\WINNT\\Temp",
                             "D:\\Quillbak", "\\\\QLSERVER\\C$\\Quillbak"})
        EXPECT_FALSE(IsProtectedFolder(path)) << path;
    // The Program Files root is the one the machine names.
    M().registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", "D:\\Apps");
    EXPECT_TRUE(IsProtectedFolder("D:\\Apps\\"));
    EXPECT_FALSE(IsProtectedFolder("C:\\Program Files\\Quillbak"));
}

TEST_F(UninstallSteps, EventSourcesGoWithTheirSubKeys) {
    M().registry.SetString(std::string(kEventLog) + "\\Quillbak", "EventMessageFile", "x.dll");
    M().registry.SetString(std::string(kEventLog) + "\\Quillbak\\Deeper\\Still", "v", "x");
    M().registry.SetString(std::string(kEventLog) + "\\Other", "EventMessageFile", "o.dll");
    EXPECT_EQ(DeleteEventSource("Quillbak"), 1);
    EXPECT_EQ(M().registry.Find(std::string(kEventLog) + "\\Quillbak"), nullptr);
    EXPECT_NE(M().registry.Find(std::string(kEventLog) + "\\Other"), nullptr);
    // Gone already, or no name: nothing is deleted.
    EXPECT_EQ(DeleteEventSource("Quillbak"), 0);
    EXPECT_EQ(DeleteEventSource(""), 0);
    EXPECT_EQ(DeleteEventSource(NULL), 0);
    EXPECT_NE(M().registry.Find(kEventLog), nullptr);
    // The Application key cannot be opened.
    winsim::InjectFault("RegOpenKeyExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(DeleteEventSource("Other"), 0);
    EXPECT_NE(M().registry.Find(std::string(kEventLog) + "\\Other"), nullptr);
}

TEST_F(UninstallSteps, TheNotificationLibraryOfTheSetupDirectory) {
    tagSETUP_INFO info;
    memset(&info, 0, sizeof info);
    strcpy(info.szSourcePath, "D:\\SETUP\\");
    g_Settings = CSettings(&info, 1);
    M().AddDrive('D', DRIVE_CDROM);
    NotifySetupLibrary("QLBUnInstallNotify");  // no library: nothing happens
    InstallDouble("QLBSETUP", "D:\\SETUP\\QLBSETUP.DLL");
    NotifySetupLibrary("QLBUnInstallNotify");
    NotifySetupLibrary("QLBNoSuchExport");
    EXPECT_EQ(Env("QLBSETUP_CALLS"), "QLBUnInstallNotify(Quillbak)");
}

}  // namespace
