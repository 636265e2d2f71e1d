// The custom-action frame: settings from installer properties, logging,
// installer messages and the silent-run test.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <winsim/machine.h>

#include "actions/Frame.h"

extern "C" UINT WINAPI PostUninstall(MSIHANDLE hInstall);

namespace {

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_ = &winsim::LocalMachine();
        session_ = winsim::OpenInstallerSession();
    }
    void TearDown() override { MsiCloseHandle(session_); }
    void Prop(const char *name, const char *value) { m_->installer.properties[name] = value; }
    std::vector<std::string> InfoLog() {
        std::vector<std::string> lines;
        for (auto &e : m_->installer.log)
            if (e.kind == INSTALLMESSAGE_INFO) lines.push_back(e.text);
        return lines;
    }
    winsim::Machine *m_ = nullptr;
    MSIHANDLE session_ = 0;
};

TEST_F(FrameTest, SetupDirectoryFromSetupDir) {
    Prop("SETUPDIR", "D:\\Setup\\");
    m_->AddDrive('D', DRIVE_CDROM);
    m_->MakeDirs("D:\\Setup");
    tagSETUP_INFO info;
    EXPECT_EQ(SetSetupInfo(session_, &info, 0), 1);
    EXPECT_STREQ(g_Settings.SourcePath(), "D:\\Setup\\");
    EXPECT_STREQ(g_Settings.BatchFile(), "D:\\Setup\\QUILLBAK.ICF");
    EXPECT_STREQ(g_Settings.LogFile(), "C:\\TEMP\\\\QLBSETUP.LOG");
    EXPECT_EQ(g_Settings.ProductType(), 24);
    EXPECT_EQ(g_Settings.Uninstall(), 0);
    EXPECT_EQ(info.lProductType, 24);
    EXPECT_STREQ(info.szSourcePath, "D:\\Setup\\");
    EXPECT_STREQ(info.szProductName, "");
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    EXPECT_STREQ(cwd, "D:\\Setup");
    std::vector<std::string> expected = {"SetSetupInfo() ICFDIR-", "SetSetupInfo() SETUPDIR-D:\\Setup\\"};
    EXPECT_EQ(InfoLog(), expected);
}

TEST_F(FrameTest, SetupDirectoryFallbacks) {
    // SOURCEDIR, then the registered install source, then the program's folder.
    Prop("SOURCEDIR", "E:\\Src\\");
    tagSETUP_INFO info;
    SetSetupInfo(session_, &info, 0);
    EXPECT_STREQ(g_Settings.SourcePath(), "E:\\Src\\");

    m_->installer.properties.erase("SOURCEDIR");
    m_->products["{3B6F08D4-F5E2-11D3-90B2-00A0245DF264}"].info["InstallSource"] = "F:\\Registered\\";
    SetSetupInfo(session_, &info, 1);
    EXPECT_STREQ(g_Settings.SourcePath(), "F:\\Registered\\");
    EXPECT_EQ(g_Settings.Uninstall(), 1);

    m_->products.clear();
    SetSetupInfo(session_, &info, 0);
    EXPECT_STREQ(g_Settings.SourcePath(), "C:\\WINNT\\system32\\");
    EXPECT_STREQ(g_Settings.BatchFile(), "C:\\WINNT\\system32\\QUILLBAK.ICF");
}

TEST_F(FrameTest, IcfDirIsTakenVerbatim) {
    Prop("SETUPDIR", "D:\\Setup\\");
    Prop("ICFDIR", "C:\\Configs\\unattended.txt");
    tagSETUP_INFO info;
    SetSetupInfo(session_, &info, 0);
    EXPECT_STREQ(g_Settings.BatchFile(), "C:\\Configs\\unattended.txt");
    EXPECT_EQ(InfoLog()[0], "SetSetupInfo() ICFDIR-C:\\Configs\\unattended.txt");
}

TEST_F(FrameTest, OverlongPathsAreBoundedByTheRecord) {
    std::string deep = "C:\\" + std::string(250, 'T');
    m_->tempDir = deep;  // GetTempPath gives it with a backslash
    Prop("SETUPDIR", ("D:\\" + std::string(300, 'S') + "\\").c_str());
    tagSETUP_INFO info;
    SetSetupInfo(session_, &info, 0);
    EXPECT_EQ(strlen(info.szLogFile), 260u);
    EXPECT_EQ(strlen(g_Settings.LogFile()), 260u);
    EXPECT_EQ(std::string(g_Settings.LogFile()), (deep + "\\\\QLBSETUP.LOG").substr(0, 260));
    EXPECT_EQ(strlen(g_Settings.SourcePath()), 259u);  // the property read holds 259 characters
}

TEST_F(FrameTest, LogLineGoesToTheInstallerLogCutAt255) {
    EXPECT_EQ(LogLine(session_, "PreInstall() - %s", "Started"), 0);
    EXPECT_EQ(LogLine(session_, "count %ld", 42L), 0);
    std::string big(400, 'z');
    LogLine(session_, "x%s", big.c_str());
    auto log = InfoLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], "PreInstall() - Started");
    EXPECT_EQ(log[1], "count 42");
    EXPECT_EQ(log[2], "x" + std::string(254, 'z'));
}

// The installer reads brackets in a message as field and property
// references; the lines and messages keep them as written.
TEST_F(FrameTest, BracketsReachTheLogAsWritten) {
    Prop("Temp", "C:\\TEMP\\");
    LogLine(session_, "SQLDBUninstall failed [%ld]", 7L);
    LogLine(session_, " - %s", "Cannot uninstall Alert. [EC: 5] in [Temp] [1]");
    ShowInstallerWarning(session_, "failed [7]");
    ShowInstallerError(session_, "[[Temp]]");
    ASSERT_EQ(m_->installer.log.size(), 4u);
    EXPECT_EQ(m_->installer.log[0].text, "SQLDBUninstall failed [7]");
    EXPECT_EQ(m_->installer.log[1].text, " - Cannot uninstall Alert. [EC: 5] in [Temp] [1]");
    EXPECT_EQ(m_->installer.log[2].text, "failed [7]");
    EXPECT_EQ(m_->installer.log[3].text, "[[Temp]]");
}

TEST_F(FrameTest, LogLineWithoutASessionWritesTheSetupLog) {
    Prop("SETUPDIR", "C:\\");
    tagSETUP_INFO info;
    SetSetupInfo(session_, &info, 0);
    m_->installer.log.clear();
    EXPECT_EQ(LogLine(0, "InstallTest() - %s", "Started"), 0);
    EXPECT_TRUE(m_->installer.log.empty());
    std::string text;
    ASSERT_TRUE(m_->GetFile("C:\\TEMP\\QLBSETUP.LOG", text));
    EXPECT_NE(text.find("\tInstallTest() - Started\r\n"), std::string::npos);
}

TEST_F(FrameTest, WarningsAndErrorsGoToTheInstaller) {
    ShowInstallerWarning(session_, "careful");
    ShowInstallerError(session_, "broken");
    ASSERT_EQ(m_->installer.log.size(), 2u);
    EXPECT_EQ(m_->installer.log[0].kind, (DWORD)INSTALLMESSAGE_WARNING);
    EXPECT_EQ(m_->installer.log[0].text, "careful");
    EXPECT_EQ(m_->installer.log[1].kind, (DWORD)INSTALLMESSAGE_ERROR);
    EXPECT_EQ(m_->installer.log[1].text, "broken");
}

TEST_F(FrameTest, SilentInstall) {
    struct Case {
        const char *level;
        BOOL silent;
    } cases[] = {{"2", TRUE}, {"5", FALSE}, {"3", FALSE}, {"", FALSE}, {"02", TRUE}, {"2x", TRUE}};
    for (auto &c : cases) {
        Prop("UILevel", c.level);
        EXPECT_EQ(IsSilentInstall(session_), c.silent) << c.level;
    }
    m_->installer.properties.erase("UILevel");
    EXPECT_FALSE(IsSilentInstall(session_));
}

TEST_F(FrameTest, PrologueLogsSetsErrorMsgAndBuildsTheSettings) {
    Prop("SETUPDIR", "C:\\Setup\\");
    m_->MakeDirs("C:\\Setup");
    ActionPrologue(session_, "PreInstall", "Started", 0);
    EXPECT_EQ(InfoLog()[0], "PreInstall() - Started");
    EXPECT_EQ(m_->installer.properties["ERRORMSG"], "NONE");
    EXPECT_STREQ(g_Settings.SourcePath(), "C:\\Setup\\");
    EXPECT_STREQ(g_Settings.QuillbakPath(), "C:\\Program Files\\");  // initialised
}

TEST_F(FrameTest, PostUninstallOnlyLogs) {
    EXPECT_EQ(PostUninstall(session_), 0u);
    std::vector<std::string> expected = {"PostUninstall() - Started"};
    EXPECT_EQ(InfoLog(), expected);
    EXPECT_EQ(m_->installer.properties.count("ERRORMSG"), 0u);
}

TEST_F(FrameTest, ChildProgramWaitDispatchesMessagesUntilTheProgramEnds) {
    const char *exe = "C:\\Setup\\UNINST.EXE";
    m_->PutFile(exe, "");
    winsim::Program program;
    program.exitCode = 3;
    program.runMs = 5000;
    program.postsAt = {{1000, WM_USER + 1}, {2000, WM_USER + 2}};
    bool ended = false;
    program.effect = [&](winsim::Machine &, const std::string &) { ended = true; };
    m_->programs[exe] = program;

    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(NULL, (LPSTR) "C:\\Setup\\UNINST.EXE -y", NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi));
    uint64_t start = winsim::ClockMs();
    EXPECT_EQ(WaitForChildProgram(pi.hProcess), 3u);
    EXPECT_TRUE(ended);
    EXPECT_EQ(winsim::ClockMs() - start, 5000u);
    ASSERT_EQ(m_->dispatchedMessages.size(), 2u);
    EXPECT_EQ(m_->dispatchedMessages[0].message, (UINT)WM_USER + 1);
    EXPECT_EQ(m_->dispatchedMessages[1].message, (UINT)WM_USER + 2);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

TEST(FrameGlobals, NoDatabaseIsKnownAtStart) { EXPECT_EQ(ExistingDatabaseType, -1); }

TEST(FrameGlobals, MessagesLoadFromTheLibrarysStringTable) {
    EXPECT_STREQ((LPCSTR)LoadMessage(57438), "Reading Setup information, please wait...");
    EXPECT_STREQ((LPCSTR)LoadMessage(1), "");
}

}  // namespace
