// The custom actions' logged form of the home-share step, and InstallTest,
// which runs it by itself with its lines in "QLBSHARE.LOG".
#include "action_fixture.h"

#include <lm.h>

#include <ostream>

#include "actions/Auxiliary.h"
#include "actions/Frame.h"
#include "actions/HomeShare.h"

// winsim::PrintTo for access entries is defined in home_share_test.cpp.
namespace winsim {
void PrintTo(const ShareAccessEntry &e, std::ostream *os);
}  // namespace winsim

namespace {

using Entries = std::vector<winsim::ShareAccessEntry>;

const Entries kStandardList = {{"BUILTIN\\Administrators", true, 0x1F01FF},
                               {"BUILTIN\\Backup Operators", true, 0x1301BF},
                               {"Everyone", true, 0x1200A9}};

class HomeShareAction : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        M().MakeDirs("C:\\Program Files\\Quillbak");
        M().MakeDirs("C:\\Other");
        M().AddAccount("svcbackup", 1);
    }
    Entries List() { return winsim::ShareAccessList(M(), "Quillbak$"); }
    bool HasShare() { return M().shares.count("Quillbak$") != 0; }
};

TEST_F(HomeShareAction, CreatedWithItsListAndEveryStepLogged) {
    CreateQuillbakHomeShare(session_, "C:\\Program Files\\Quillbak\\", "QLSERVER", "svcbackup");
    ASSERT_TRUE(HasShare());
    const winsim::Share &share = M().shares["Quillbak$"];
    EXPECT_EQ(share.path, "C:\\Program Files\\Quillbak");
    EXPECT_EQ(share.remark, "QuillbakIT System Directory");
    Entries expected = {{"QLSERVER\\svcbackup", true, 0x1F01FF}};
    expected.insert(expected.end(), kStandardList.begin(), kStandardList.end());
    EXPECT_EQ(List(), expected);
    std::vector<std::string> lines = {
        " - Start to CreateQuillbakHomeShare C:\\Program Files\\Quillbak\\(Server=QLSERVER, Account=svcbackup)",
        " - End of CreateQuillbakHomeShare()"};
    EXPECT_EQ(Log(), lines);
}

TEST_F(HomeShareAction, AShareOfTheSameDirectoryIsKept) {
    CreateQuillbakHomeShare(session_, "C:\\Program Files\\Quillbak", "", "");
    EXPECT_EQ(List(), kStandardList);
    M().installer.log.clear();
    unsigned adds = winsim::CallCount("NetShareAdd");
    CreateQuillbakHomeShare(session_, "c:\\program files\\QUILLBAK\\", "QLSERVER", "svcbackup");
    EXPECT_EQ(winsim::CallCount("NetShareAdd"), adds);
    EXPECT_EQ(List(), kStandardList);  // the account was not added
    std::vector<std::string> lines = {
        " - Start to CreateQuillbakHomeShare c:\\program files\\QUILLBAK\\(Server=QLSERVER, Account=svcbackup)",
        " - Quillbak$ has been created, Keep it there"};
    EXPECT_EQ(Log(), lines);
}

TEST_F(HomeShareAction, AShareOfAnotherDirectoryIsMadeAnew) {
    CreateQuillbakHomeShare(session_, "C:\\Other", NULL, NULL);
    M().installer.log.clear();
    CreateQuillbakHomeShare(session_, "C:\\Program Files\\Quillbak", "QLSERVER", "");
    EXPECT_EQ(M().shares["Quillbak$"].path, "C:\\Program Files\\Quillbak");
    EXPECT_EQ(List(), kStandardList);
    std::vector<std::string> lines = {
        " - Start to CreateQuillbakHomeShare C:\\Program Files\\Quillbak(Server=QLSERVER, Account=)",
        " - Quillbak$ has been created, Keep it there", " - End of CreateQuillbakHomeShare()"};
    EXPECT_EQ(Log(), lines);
}

TEST_F(HomeShareAction, AnUnknownAccountLeavesTheShareClosed) {
    CreateQuillbakHomeShare(session_, "C:\\Other", "QLSERVER", "nobody");
    ASSERT_TRUE(HasShare());
    EXPECT_EQ(List(), (Entries{{"Everyone", true, 0}}));
    EXPECT_EQ(Log()[1], "- Failed Add Rights to Server Account (nobody)");
    EXPECT_EQ(Log().back(), " - End of CreateQuillbakHomeShare()");
}

TEST_F(HomeShareAction, AShareThatCannotBeMadeIsLogged) {
    CreateQuillbakHomeShare(session_, "C:\\Missing", "QLSERVER", "svcbackup");
    EXPECT_FALSE(HasShare());
    std::vector<std::string> lines = {
        " - Start to CreateQuillbakHomeShare C:\\Missing(Server=QLSERVER, Account=svcbackup)",
        " - Failed to create Quillbak$ Share in CreateShare()"};
    EXPECT_EQ(Log(), lines);
    // A path the share functions cannot take.
    M().installer.log.clear();
    CreateQuillbakHomeShare(session_, ("C:\\" + std::string(600, 'x')).c_str(), "", "");
    EXPECT_FALSE(HasShare());
    EXPECT_EQ(Log().back(), " - Failed to create Quillbak$ Share in CreateShare()");
}

// Each built-in entry that cannot be added has its own line, and the list
// is then not applied: the share stays closed.
TEST_F(HomeShareAction, EntriesThatCannotBeAddedAreLogged) {
    struct {
        unsigned nth;
        const char *line;
    } cases[] = {{1, " - CreateBuiltinSid DOMAIN_ALIAS_RID_ADMINS) return FALSE"},
                 {2, " - CreateBuiltinSid (DOMAIN_ALIAS_RID_BACKUP_OPS) return FALSE"}};
    for (auto &c : cases) {
        M().shares.clear();
        M().installer.log.clear();
        // The share's first descriptor takes one SID, the world SID the next,
        // then the two built-in ones.
        winsim::InjectFault("AllocateAndInitializeSid", ERROR_NOT_ENOUGH_MEMORY, winsim::FaultMode::Nth, c.nth + 2);
        CreateQuillbakHomeShare(session_, "C:\\Other", "", "");
        winsim::ClearFaults();
        auto log = Log();
        ASSERT_EQ(log.size(), 3u) << c.line;
        EXPECT_EQ(log[1], c.line);
        EXPECT_EQ(List(), (Entries{{"Everyone", true, 0}})) << c.line;
    }
    M().shares.clear();
    M().installer.log.clear();
    winsim::InjectFault("AllocateAndInitializeSid", ERROR_NOT_ENOUGH_MEMORY, winsim::FaultMode::Nth, 2);
    CreateQuillbakHomeShare(session_, "C:\\Other", "", "");
    winsim::ClearFaults();
    ASSERT_EQ(Log().size(), 3u);
    EXPECT_EQ(Log()[1], " - CreateEveryoneSid() return FALSE");
    EXPECT_EQ(List(), (Entries{{"Everyone", true, 0}}));
}

TEST_F(HomeShareAction, InstallTestSharesTheRegisteredHomeAndLogsToItsFile) {
    InstalledProduct("C:\\Program Files\\Quillbak");
    EXPECT_EQ(InstallTest(session_), 0u);
    ASSERT_TRUE(HasShare());
    EXPECT_EQ(M().shares["Quillbak$"].path, "C:\\Program Files\\Quillbak");
    Entries expected = {{"QLSERVER\\Administrator", true, 0x1F01FF}};
    expected.insert(expected.end(), kStandardList.begin(), kStandardList.end());
    EXPECT_EQ(List(), expected);
    // Nothing in the installer log; every line in the share log.
    EXPECT_TRUE(M().installer.log.empty());
    std::string text;
    ASSERT_TRUE(M().GetFile("C:\\TEMP\\QLBSHARE.LOG", text));
    EXPECT_NE(text.find("\t - Start to CreateQuillbakHomeShare C:\\Program Files\\Quillbak(Server=QLSERVER, "
                        "Account=Administrator)\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\t - End of CreateQuillbakHomeShare()\r\n"), std::string::npos) << text;
    EXPECT_FALSE(M().Exists("C:\\TEMP\\QLBSETUP.LOG"));
    // Its own settings: the running program's folder, removal settings.
    EXPECT_STREQ(g_Settings.SourcePath(), "C:\\WINNT\\system32\\");
    EXPECT_STREQ(g_Settings.BatchFile(), "C:\\WINNT\\system32\\QUILLBAK.ICF");
    EXPECT_STREQ(g_Settings.LogFile(), "C:\\TEMP\\\\QLBSHARE.LOG");
    EXPECT_EQ(g_Settings.Uninstall(), 1);
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    EXPECT_STREQ(cwd, "C:\\WINNT\\system32");
}

TEST_F(HomeShareAction, InstallTestWithoutAProductSharesNothing) {
    EXPECT_EQ(InstallTest(0), 0u);
    EXPECT_FALSE(HasShare());
    std::string text;
    ASSERT_TRUE(M().GetFile("C:\\TEMP\\QLBSHARE.LOG", text));
    EXPECT_NE(text.find(" - Failed to create Quillbak$ Share in CreateShare()"), std::string::npos) << text;
}

}  // namespace
