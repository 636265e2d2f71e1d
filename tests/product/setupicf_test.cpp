// The installation configuration file: where it is, the two-place look-ups,
// switch defaults, caches, writers and the generic and raw readers.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/SetupIcf.h"

namespace {

const char kIcf[] = "D:\\SETUP\\QUILLBAK.ICF";
const char kBesideProgram[] = "C:\\WINNT\\system32\\QUILLBAK.ICF";

class SetupIcfTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_ = &winsim::LocalMachine();
        m_->AddDrive('D', DRIVE_FIXED);
    }
    void Put(const char *path, const std::string &text) { m_->PutFile(path, text); }
    std::string Text(const char *path) {
        std::string t;
        m_->GetFile(path, t);
        return t;
    }
    winsim::Machine *m_ = nullptr;
};

TEST_F(SetupIcfTest, ProductPathPrefersTheOlderSection) {
    Put(kIcf, "[QuillbakInstall]\r\nInstallPath=E:\\OLD\\QB\r\n[InstallPath]\r\nQuillbakPath=E:\\NEW\\QB\r\n");
    CSetupIcf both(kIcf);
    EXPECT_STREQ(both.QuillbakPath(), "E:\\OLD\\QB");

    Put(kIcf, "[QuillbakInstall]\r\nInstallPath=\r\n[InstallPath]\r\nQuillbakPath=E:\\NEW\\QB\r\n");
    EXPECT_STREQ(both.QuillbakPath(), "E:\\NEW\\QB");  // an empty first place counts as absent

    Put(kIcf, "[InstallPath]\r\nQuillbakPath=E:\\NEW\\QB\r\n");
    CSetupIcf second(kIcf);
    EXPECT_STREQ(second.QuillbakPath(), "E:\\NEW\\QB");
}

TEST_F(SetupIcfTest, AlertPathPrefersTheOlderSection) {
    Put(kIcf, "[QuillbakInstall]\r\nAlertPath=E:\\OLD\\ALERT\r\n[InstallPath]\r\nAlertPath=E:\\NEW\\ALERT\r\n");
    CSetupIcf both(kIcf);
    EXPECT_STREQ(both.AlertPath(), "E:\\OLD\\ALERT");
    Put(kIcf, "[InstallPath]\r\nAlertPath=E:\\NEW\\ALERT\r\n");
    EXPECT_STREQ(both.AlertPath(), "E:\\NEW\\ALERT");
}

TEST_F(SetupIcfTest, AccountPrefersTheSectionWithTheSpace) {
    Put(kIcf,
        "[System Account]\r\nDefaultDomainName=OLDDOM\r\nDefaultUserName=olduser\r\nDefaultPassword=oldpw\r\n"
        "[SystemAccount]\r\nDefaultDomainName=NEWDOM\r\nDefaultUserName=newuser\r\nDefaultPassword=newpw\r\n");
    CSetupIcf icf(kIcf);
    EXPECT_STREQ(icf.SystemAccountDomain(), "OLDDOM");
    EXPECT_STREQ(icf.SystemAccountUser(), "olduser");
    EXPECT_STREQ(icf.SystemAccountPassword(), "oldpw");

    // Each key falls back on its own.
    Put(kIcf,
        "[System Account]\r\nDefaultUserName=olduser\r\n"
        "[SystemAccount]\r\nDefaultDomainName=NEWDOM\r\nDefaultUserName=newuser\r\nDefaultPassword=newpw\r\n");
    EXPECT_STREQ(icf.SystemAccountDomain(), "NEWDOM");
    EXPECT_STREQ(icf.SystemAccountUser(), "olduser");
    EXPECT_STREQ(icf.SystemAccountPassword(), "newpw");

    Put(kIcf, "[Other]\r\n");
    EXPECT_STREQ(icf.SystemAccountDomain(), "");
    EXPECT_STREQ(icf.SystemAccountUser(), "");
    EXPECT_STREQ(icf.SystemAccountPassword(), "");
}

TEST_F(SetupIcfTest, FileWithoutPathKeys) {
    Put(kIcf, "[UserInfo]\r\nFullName=Pat\r\n");
    CSetupIcf icf(kIcf);
    EXPECT_STREQ(icf.QuillbakPath(), "");
    EXPECT_STREQ(icf.AlertPath(), "C:\\ALERT");
    EXPECT_STREQ(icf.ClientAgentPath(), "");
}

TEST_F(SetupIcfTest, AgentPathDefaultDependsOnTheWindowsFamily) {
    Put(kIcf, "[UserInfo]\r\n");
    m_->platformId = VER_PLATFORM_WIN32_WINDOWS;
    m_->majorVersion = 4;
    m_->minorVersion = 0;
    CSetupIcf icf95(kIcf);
    EXPECT_STREQ(icf95.ClientAgentPath(), "C:\\W95AGENT");
    Put(kIcf, "[InstallPath]\r\nAgentPath=D:\\AGENT\r\n");
    EXPECT_STREQ(icf95.ClientAgentPath(), "D:\\AGENT");
}

TEST_F(SetupIcfTest, WrittenProductPathDoesNotHideTheOlderSection) {
    Put(kIcf, "[QuillbakInstall]\r\nInstallPath=E:\\OLD\\QB\r\n");
    CSetupIcf writer(kIcf);
    EXPECT_EQ(writer.QuillbakPath("F:\\WRITTEN"), 1);
    EXPECT_NE(Text(kIcf).find("[InstallPath]\r\nQuillbakPath=F:\\WRITTEN\r\n"), std::string::npos);
    CSetupIcf reader(kIcf);
    EXPECT_STREQ(reader.QuillbakPath(), "E:\\OLD\\QB");
}

TEST_F(SetupIcfTest, SwitchDefaultsWithoutAFile) {
    CSetupIcf icf(kIcf);
    ASSERT_EQ(icf.Exists(), 0);
    EXPECT_EQ(icf.InstallManager(), 1);
    EXPECT_EQ(icf.InstallServer(), 1);
    EXPECT_EQ(icf.InstallAdmin(), 1);
    EXPECT_EQ(icf.InstallAlert(), 1);
    EXPECT_EQ(icf.InstallHSM(), 1);
    EXPECT_EQ(icf.InstallPNR(), 0);
    EXPECT_EQ(icf.OverwriteDB(), 0);
    EXPECT_EQ(icf.OverwriteJobQueue(), 0);
    EXPECT_EQ(icf.SQLDB(), 0);
    EXPECT_EQ(icf.UninstallQuillbak(), 1);
    EXPECT_EQ(icf.UninstallAlert(), 1);
    // Texts keep their empty caches; even the alert default is not applied.
    EXPECT_STREQ(icf.FullName(), "");
    EXPECT_STREQ(icf.AlertPath(), "");
    EXPECT_STREQ(icf.SiteName(), "");
    EXPECT_EQ(winsim::CallCount("GetPrivateProfileStringA"), 0u);
    EXPECT_EQ(winsim::CallCount("GetPrivateProfileIntA"), 0u);
}

TEST_F(SetupIcfTest, SwitchDefaultsForAbsentKeys) {
    Put(kIcf, "[Install]\r\n");
    CSetupIcf icf(kIcf);
    EXPECT_EQ(icf.InstallManager(), 1);
    EXPECT_EQ(icf.InstallHSM(), 1);
    // A present file that is silent about them overwrites both.
    EXPECT_EQ(icf.OverwriteDB(), 1);
    EXPECT_EQ(icf.OverwriteJobQueue(), 1);
    EXPECT_EQ(icf.SQLDB(), 0);
    EXPECT_EQ(icf.UninstallQuillbak(), 1);
    EXPECT_EQ(icf.UninstallAlert(), 1);
}

TEST_F(SetupIcfTest, SwitchesWrittenAndReadBack) {
    Put(kIcf, "; answers\r\n");
    {
        CSetupIcf w(kIcf);
        EXPECT_EQ(w.InstallManager(0), 1);
        EXPECT_EQ(w.InstallServer(1), 1);
        EXPECT_EQ(w.InstallAdmin(0), 1);
        EXPECT_EQ(w.InstallAlert(5), 1);  // any non-zero is written as "1"
        EXPECT_EQ(w.InstallHSM(0), 1);
        EXPECT_EQ(w.OverwriteDB(1), 1);
        EXPECT_EQ(w.OverwriteJobQueue(1), 1);
        EXPECT_EQ(w.SQLDB(1), 1);
        EXPECT_EQ(w.UninstallQuillbak(0), 1);
        EXPECT_EQ(w.UninstallAlert(0), 1);
        EXPECT_EQ(w.InstallPNR(1), 0);
    }
    EXPECT_EQ(Text(kIcf),
              "; answers\r\n[Install]\r\nQLBManager=0\r\nQLBServer=1\r\nQLBServerAdmin=0\r\nAlert=1\r\n"
              "DataMigration=0\r\nOverwriteDB=1\r\nOverwriteJobQueue=1\r\n"
              "[DatabaseOption]\r\nSQL=1\r\n[Uninstall]\r\nQLBServer=0\r\nAlert=0\r\n");
    CSetupIcf r(kIcf);
    EXPECT_EQ(r.InstallManager(), 0);
    EXPECT_EQ(r.InstallServer(), 1);
    EXPECT_EQ(r.InstallAdmin(), 0);
    EXPECT_EQ(r.InstallAlert(), 1);
    EXPECT_EQ(r.InstallHSM(), 0);
    EXPECT_EQ(r.OverwriteDB(), 1);
    EXPECT_EQ(r.OverwriteJobQueue(), 1);
    EXPECT_EQ(r.SQLDB(), 1);
    EXPECT_EQ(r.UninstallQuillbak(), 0);
    EXPECT_EQ(r.UninstallAlert(), 0);
    EXPECT_EQ(r.InstallPNR(), 0);

    Put(kIcf, "[Install]\r\nQLBServer=2\r\n");
    EXPECT_EQ(r.InstallServer(), 2);
}

TEST_F(SetupIcfTest, TextsWrittenAndReadBack) {
    Put(kIcf, "");
    CSetupIcf w(kIcf);
    EXPECT_EQ(w.FullName("Pat Doe"), 1);
    EXPECT_EQ(w.CompanyName("Doe & Co"), 1);
    EXPECT_EQ(w.QuillbakPath("E:\\QB"), 1);
    EXPECT_EQ(w.AlertPath("E:\\AL"), 1);
    EXPECT_EQ(w.AgentPath("E:\\AG"), 1);
    EXPECT_EQ(w.SystemAccountDomain("DOM"), 1);
    EXPECT_EQ(w.SystemAccountUser("svc"), 1);
    EXPECT_EQ(w.SystemAccountPassword("pw"), 1);
    EXPECT_EQ(w.SiteName("SITE1"), 1);
    EXPECT_EQ(w.SystemID("SYS1"), 1);
    EXPECT_EQ(w.LocalLUAlias("LOCAL1"), 1);
    EXPECT_EQ(w.PartnerLUAlias("PARTNER1"), 1);
    CSetupIcf r(kIcf);
    EXPECT_STREQ(r.FullName(), "Pat Doe");
    EXPECT_STREQ(r.CompanyName(), "Doe & Co");
    EXPECT_STREQ(r.QuillbakPath(), "E:\\QB");
    EXPECT_STREQ(r.AlertPath(), "E:\\AL");
    EXPECT_STREQ(r.ClientAgentPath(), "E:\\AG");
    EXPECT_STREQ(r.SystemAccountDomain(), "DOM");
    EXPECT_STREQ(r.SystemAccountUser(), "svc");
    EXPECT_STREQ(r.SystemAccountPassword(), "pw");
    EXPECT_STREQ(r.SiteName(), "SITE1");
    EXPECT_STREQ(r.SystemID(), "SYS1");
    EXPECT_STREQ(r.LocalLUAlias(), "LOCAL1");
    EXPECT_STREQ(r.PartnerLUAlias(), "PARTNER1");

    // The other name of the agent writer, and a null text written as "".
    EXPECT_EQ(w.ClientAgentPath("F:\\AGENT"), 1);
    EXPECT_STREQ(r.ClientAgentPath(), "F:\\AGENT");
    EXPECT_EQ(w.FullName(NULL), 1);
    EXPECT_STREQ(r.FullName(), "");
    EXPECT_NE(Text(kIcf).find("FullName=\r\n"), std::string::npos);
}

TEST_F(SetupIcfTest, TextsAreCutToTheirCapacity) {
    const std::string longText(300, 'q');
    Put(kIcf, "[UserInfo]\r\nFullName=" + longText + "\r\n[InstallPath]\r\nQuillbakPath=" + longText +
                  "\r\n[SystemAccount]\r\nDefaultUserName=" + longText + "\r\n[MVSConfig]\r\nSITENAME=" + longText +
                  "\r\n");
    CSetupIcf icf(kIcf);
    EXPECT_EQ(std::string(icf.FullName()), std::string(255, 'q'));
    EXPECT_EQ(std::string(icf.QuillbakPath()), std::string(259, 'q'));
    EXPECT_EQ(std::string(icf.SystemAccountUser()), std::string(47, 'q'));
    EXPECT_EQ(std::string(icf.SiteName()), std::string(47, 'q'));
}

TEST_F(SetupIcfTest, DefaultPathFallbackAndALaterWriteCreatesTheFile) {
    CSetupIcf icf("D:\\NOWHERE\\QUILLBAK.ICF");
    EXPECT_EQ(icf.Exists(), 0);
    EXPECT_STREQ(icf.FileName(), kBesideProgram);
    EXPECT_FALSE(m_->Exists(kBesideProgram));

    EXPECT_EQ(icf.FullName("Pat"), 1);
    EXPECT_EQ(icf.InstallServer(0), 1);
    EXPECT_TRUE(m_->Exists(kBesideProgram));
    EXPECT_FALSE(m_->Exists("D:\\NOWHERE\\QUILLBAK.ICF"));
    // The object keeps answering from its caches: whether the file exists
    // was decided at construction.
    EXPECT_EQ(icf.Exists(), 0);
    EXPECT_STREQ(icf.FullName(), "");
    EXPECT_EQ(icf.InstallServer(), 1);
    // A new object reads it.
    CSetupIcf again(NULL);
    EXPECT_EQ(again.Exists(), 1);
    EXPECT_STREQ(again.FileName(), kBesideProgram);
    EXPECT_STREQ(again.FullName(), "Pat");
    EXPECT_EQ(again.InstallServer(), 0);
}

TEST_F(SetupIcfTest, NullEmptyAndMissingPathsSelectTheDefaultFile) {
    Put(kBesideProgram, "[UserInfo]\r\nFullName=Beside\r\n");
    for (const char *path : {(const char *)NULL, "", "D:\\MISSING.ICF"}) {
        CSetupIcf icf(path);
        EXPECT_EQ(icf.Exists(), 1) << (path ? path : "(null)");
        EXPECT_STREQ(icf.FileName(), kBesideProgram);
        EXPECT_STREQ(icf.FullName(), "Beside");
    }
    CSetupIcf defaulted;
    EXPECT_STREQ(defaulted.FileName(), kBesideProgram);

    // An existing file is used where it is, under any name.
    Put("D:\\CONFIGS\\unattended.txt", "[UserInfo]\r\nFullName=Given\r\n");
    CSetupIcf given("D:\\CONFIGS\\unattended.txt");
    EXPECT_STREQ(given.FileName(), "D:\\CONFIGS\\unattended.txt");
    EXPECT_STREQ(given.FullName(), "Given");
}

TEST_F(SetupIcfTest, WritersReportTheProfileWriteFailure) {
    Put(kIcf, "");
    CSetupIcf icf(kIcf);
    winsim::InjectFault("WritePrivateProfileStringA", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    EXPECT_EQ(icf.FullName("x"), 0);
    EXPECT_EQ(icf.InstallManager(1), 0);
    EXPECT_EQ(icf.WriteString("A", "B", "C"), 0);
    EXPECT_EQ(icf.WriteInt("A", "B", 1), 0);
    winsim::ClearFaults();
    EXPECT_EQ(icf.WriteString("A", "B", "C"), 1);
    // A read-only file cannot take the value.
    ASSERT_TRUE(SetFileAttributesA(kIcf, FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(icf.SiteName("SITE"), 0);
    EXPECT_EQ(icf.SQLDB(1), 0);
    EXPECT_EQ(Text(kIcf), "[A]\r\nB=C\r\n");
}

TEST_F(SetupIcfTest, ATextWithALineBreakIsRefused) {
    const std::string before = "[SystemAccount]\r\nDefaultUserName=old\r\n";
    Put(kIcf, before);
    CSetupIcf icf(kIcf);
    for (const char *text : {"svc\r\n[SystemAccount]\r\nDefaultPassword=x", "a\nb", "a\rb", "\n"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(icf.SystemAccountUser(text), 0);
        EXPECT_EQ(icf.QuillbakPath(text), 0);
        EXPECT_EQ(Text(kIcf), before);
    }
    EXPECT_EQ(icf.SystemAccountUser("svc"), 1);
    EXPECT_STREQ(icf.SystemAccountUser(), "svc");
}

TEST_F(SetupIcfTest, GenericWritersAndReaders) {
    Put(kIcf, "");
    CSetupIcf icf(kIcf);
    EXPECT_EQ(icf.WriteString("Extra", "Name", "value"), 1);
    EXPECT_EQ(icf.WriteInt("Extra", "Count", -42), 1);
    EXPECT_EQ(icf.WriteInt("Extra", "Zero", 0), 1);
    EXPECT_EQ(Text(kIcf), "[Extra]\r\nName=value\r\nCount=-42\r\nZero=0\r\n");

    int value = 7;
    EXPECT_EQ(icf.GetInt("Extra", "Count", &value), 1);
    EXPECT_EQ(value, -42);
    EXPECT_EQ(icf.GetInt("Extra", "Absent", &value), 1);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(icf.GetInt("Extra", "Count", NULL), 0);

    // WriteString passes a null value through: the key goes.
    EXPECT_EQ(icf.WriteString("Extra", "Name", NULL), 1);
    EXPECT_EQ(Text(kIcf), "[Extra]\r\nCount=-42\r\nZero=0\r\n");

    CSetupIcf none("D:\\MISSING\\X.ICF");
    value = 7;
    EXPECT_EQ(none.GetInt("Extra", "Count", &value), 0);
    EXPECT_EQ(value, 7);
}

TEST_F(SetupIcfTest, GetStringTakesItsRoomFromTheCallersText) {
    Put(kIcf, "[UserInfo]\r\nFullName=Alexandra Longname\r\nShort=Al\r\n");
    CSetupIcf icf(kIcf);

    // Ten characters offered: nine come back, and nothing after the
    // caller's terminator is touched.
    char buffer[16];
    memset(buffer, '#', sizeof buffer);
    memset(buffer, 'x', 10);
    buffer[10] = '\0';
    EXPECT_EQ(icf.GetString("UserInfo", "FullName", buffer), 9);
    EXPECT_STREQ(buffer, "Alexandra");
    EXPECT_EQ(buffer[10], '\0');
    for (size_t i = 11; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << i;

    memset(buffer, 'x', 10);
    buffer[10] = '\0';
    EXPECT_EQ(icf.GetString("UserInfo", "Short", buffer), 2);
    EXPECT_STREQ(buffer, "Al");

    memset(buffer, 'x', 10);
    buffer[10] = '\0';
    EXPECT_EQ(icf.GetString("UserInfo", "Absent", buffer), 0);
    EXPECT_STREQ(buffer, "");

    // No room offered: nothing is read or written.
    char empty[4] = {'\0', '#', '#', '#'};
    EXPECT_EQ(icf.GetString("UserInfo", "FullName", empty), 0);
    EXPECT_EQ(memcmp(empty, "\0###", 4), 0);
    EXPECT_EQ(icf.GetString("UserInfo", "FullName", NULL), 0);

    // One character offered: room for the terminator only.
    char one[3] = {'x', '\0', '#'};
    EXPECT_EQ(icf.GetString("UserInfo", "FullName", one), 0);
    EXPECT_EQ(one[0], '\0');
    EXPECT_EQ(one[2], '#');
}

TEST_F(SetupIcfTest, GetStringRefusesABufferWithoutATerminatorInReach) {
    Put(kIcf, "[UserInfo]\r\nFullName=Pat\r\n");
    CSetupIcf icf(kIcf);
    std::vector<char> buffer(40000, 'x');
    EXPECT_EQ(icf.GetString("UserInfo", "FullName", buffer.data()), 0);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(winsim::CallCount("GetPrivateProfileStringA"), 0u);

    // The longest text it measures is still accepted.
    buffer.assign(32768, 'x');
    buffer[32767] = '\0';
    EXPECT_EQ(icf.GetString("UserInfo", "FullName", buffer.data()), 3);
    EXPECT_STREQ(buffer.data(), "Pat");
}

TEST_F(SetupIcfTest, GetStringWithoutTheFileLeavesTheBuffer) {
    CSetupIcf icf(kIcf);
    char buffer[] = "xxxxxxxx";
    EXPECT_EQ(icf.GetString("UserInfo", "FullName", buffer), 0);
    EXPECT_STREQ(buffer, "xxxxxxxx");
}

TEST_F(SetupIcfTest, GetStringAfterAFailedReadHoldsNoFiller) {
    Put(kIcf, "[UserInfo]\r\nFullName=Pat\r\n");
    CSetupIcf icf(kIcf);
    winsim::InjectFault("GetPrivateProfileStringA", ERROR_ACCESS_DENIED);
    char buffer[] = "xxxxxxxx";
    EXPECT_EQ(icf.GetString("UserInfo", "FullName", buffer), 0);
    EXPECT_STREQ(buffer, "");
}

TEST_F(SetupIcfTest, RawSwitchesTellOneZeroAndAbsentApart) {
    Put(kIcf, "[Install]\r\nQLBManager=1\r\nQLBServer=0\r\n");
    CSetupIcf icf(kIcf);
    char value[10];
    memset(value, '#', sizeof value);
    EXPECT_EQ(icf.InstallManager(value, sizeof value), 1);
    EXPECT_STREQ(value, "1");
    EXPECT_EQ(icf.InstallServer(value, sizeof value), 1);
    EXPECT_STREQ(value, "0");
    EXPECT_EQ(icf.InstallAdmin(value, sizeof value), 0);
    EXPECT_STREQ(value, "");

    Put(kIcf, "[Install]\r\nQLBServerAdmin=yes please, all of it\r\n");
    EXPECT_EQ(icf.InstallAdmin(value, sizeof value), 1);
    EXPECT_STREQ(value, "yes pleas");

    EXPECT_EQ(icf.InstallManager(value, 0), 0);
    EXPECT_EQ(icf.InstallManager(NULL, 10), 0);
}

TEST_F(SetupIcfTest, RawSwitchesWithoutAFileGiveAnEmptyText) {
    CSetupIcf icf(kIcf);
    char value[10];
    memset(value, '#', sizeof value);
    EXPECT_EQ(icf.InstallManager(value, sizeof value), 1);
    EXPECT_STREQ(value, "");
    memset(value, '#', sizeof value);
    EXPECT_EQ(icf.InstallServer(value, 1), 1);
    EXPECT_EQ(value[0], '\0');
    EXPECT_EQ(value[1], '#');
    memset(value, '#', sizeof value);
    EXPECT_EQ(icf.InstallAdmin(value, sizeof value), 1);
    EXPECT_STREQ(value, "");
    // No room: 0, and the buffer is not touched.
    memset(value, '#', sizeof value);
    EXPECT_EQ(icf.InstallAdmin(value, 0), 0);
    EXPECT_EQ(value[0], '#');
    EXPECT_EQ(winsim::CallCount("GetPrivateProfileStringA"), 0u);
}

TEST_F(SetupIcfTest, CopiesKeepPathAndExistence) {
    Put(kIcf, "[UserInfo]\r\nFullName=Pat\r\n");
    CSetupIcf icf(kIcf);
    EXPECT_STREQ(icf.FullName(), "Pat");
    CSetupIcf copy(icf);
    CSetupIcf assigned("D:\\MISSING.ICF");
    ASSERT_EQ(assigned.Exists(), 0);
    assigned = icf;
    for (CSetupIcf *c : {&copy, &assigned}) {
        EXPECT_STREQ(c->FileName(), kIcf);
        EXPECT_EQ(c->Exists(), 1);
        EXPECT_STREQ(c->FullName(), "Pat");
    }
    // A copy of an object without its file answers from the same defaults.
    CSetupIcf none("D:\\MISSING.ICF");
    copy = none;
    EXPECT_EQ(copy.Exists(), 0);
    EXPECT_STREQ(copy.FileName(), kBesideProgram);
    EXPECT_EQ(copy.InstallServer(), 1);
    EXPECT_EQ(copy.SQLDB(), 0);
}

TEST(SetupIcfNames, StaticDefaults) {
    EXPECT_STREQ(CSetupIcf::DefaultICFFileName(), "QUILLBAK.ICF");
    EXPECT_STREQ(CSetupIcf::DefaultQuillbakPath(), "");
    EXPECT_STREQ(CSetupIcf::DefaultAlertPath(), "C:\\ALERT");
    EXPECT_STREQ(CSetupIcf::DefaultAgent95Path(), "C:\\W95AGENT");
    EXPECT_STREQ(CSetupIcf::DefaultAgentNTPath(), "");
    EXPECT_STREQ(CSetupIcf::m_sSystemAccount, "SystemAccount");
    EXPECT_STREQ(CSetupIcf::m_sQLBServerAdmin, "QLBServerAdmin");
    EXPECT_STREQ(CSetupIcf::m_sPartnerLUAlias, "PARTNERLUALIAS");
    EXPECT_STREQ(CSetupIcf::m_sDatabaseOption, "DatabaseOption");
}

}  // namespace
