// The product's service account: checked on the machine, given its groups,
// and recorded through the branding library of the setup directory.
#include "action_fixture.h"

#include "actions/Auxiliary.h"
#include "actions/Frame.h"
#include "brandkit.h"

namespace {

const char kBrandKit[] = "D:\\SETUP\\BRANDKIT.DLL";

class ServiceAccountAction : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        SetupMedium();
        Prop("SYSTEMSERVER", "QLSERVER");
        Prop("SYSTEMDOMAIN", "QLSERVER");
        Prop("SYSTEMACCOUNT", "qlsvc");
        Prop("SYSTEMPWD", "Secret1");
    }
    void Account(const char *password = "Secret1") { M().AddAccount("qlsvc", 1).password = password; }
    std::vector<std::string> ActionLines() {
        std::vector<std::string> lines;
        for (auto &l : Log())
            if (l.rfind("SetSetupInfo()", 0) != 0) lines.push_back(l);
        return lines;
    }
    void ExpectError(const std::string &text) {
        EXPECT_EQ(PropOf("SYSTEMSTATUS"), "ERROR");
        EXPECT_EQ(PropOf("ERRORMSG"), text);
        EXPECT_EQ(Log(INSTALLMESSAGE_WARNING), std::vector<std::string>{text});
        EXPECT_EQ(ActionLines().back(), "CreateSystemAccount() - " + text);
    }
};

TEST_F(ServiceAccountAction, AnExistingAccountIsReadiedAndRecorded) {
    Account();
    InstallBrandKit("BRANDKIT", kBrandKit);
    EXPECT_EQ(CreateSystemAccount(session_), 0u);
    EXPECT_EQ(PropOf("SYSTEMSTATUS"), "OK");
    EXPECT_EQ(PropOf("ERRORMSG"), "<unset>");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_SERVER), "QLSERVER");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_DOMAIN), "QLSERVER");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_NAME), "qlsvc");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_PASSWORD), "Secret1");
    EXPECT_STREQ(g_Settings.SystemAccountName(), "qlsvc");
    EXPECT_STREQ(g_Settings.SystemAccountDomain(), "QLSERVER");
    // The groups it needs: it is an administrator now.
    const winsim::Account *svc = nullptr;
    for (auto &a : M().accounts)
        if (a.name == "qlsvc") svc = &a;
    ASSERT_NE(svc, nullptr);
    EXPECT_EQ(M().aliasMembers["S-1-5-32-544"].count(svc->sid), 1u);
    std::vector<std::string> expected = {"CreateSystemAccount() - Started", " "};
    EXPECT_EQ(ActionLines(), expected);
    EXPECT_TRUE(Log(INSTALLMESSAGE_WARNING).empty());
}

TEST_F(ServiceAccountAction, MissingAccountOrDomainIsMessage54) {
    Account();
    Prop("SYSTEMDOMAIN", "");
    EXPECT_EQ(CreateSystemAccount(session_), 1u);
    ExpectError("Cannot get system account information.");
    M().installer.log.clear();
    Prop("SYSTEMDOMAIN", "QLSERVER");
    Prop("SYSTEMACCOUNT", "");
    EXPECT_EQ(CreateSystemAccount(session_), 1u);
    ExpectError("Cannot get system account information.");
}

TEST_F(ServiceAccountAction, AnAccountTheMachineLacksIsAnError) {
    InstallBrandKit("BRANDKIT", kBrandKit);
    EXPECT_EQ(CreateSystemAccount(session_), 1u);
    ExpectError("Failed to verify Quillbak user account.  The account does not exist on this machine.");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_NAME), "");  // nothing recorded
}

TEST_F(ServiceAccountAction, AWrongPasswordIsMessage55) {
    Account("Other2");
    InstallBrandKit("BRANDKIT", kBrandKit);
    EXPECT_EQ(CreateSystemAccount(session_), 1u);
    ExpectError("Failed to verify Quillbak user account.  The password is not valid for this account.");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_NAME), "");
}

TEST_F(ServiceAccountAction, BrandingLibraryFailures) {
    Account();
    // Missing from the setup directory.
    EXPECT_EQ(CreateSystemAccount(session_), 1u);
    ExpectError("Failed to load D:\\SETUP\\BRANDKIT.DLL to create system user account.");
    // It refuses the account.
    M().installer.log.clear();
    InstallBrandKit("BRANDKIT", kBrandKit);
    SetBrandKitNumber(BRANDKIT_VALUE_SET_RESULT, 0);
    EXPECT_EQ(CreateSystemAccount(session_), 1u);
    ExpectError("BktSetUserAccountA() Failed (Err = 5)");
    // Without the export nothing is recorded, and nothing is said.
    M().installer.log.clear();
    InstallBrandKit("BRANDKIT_ROOTS_ONLY", kBrandKit);
    EXPECT_EQ(CreateSystemAccount(session_), 0u);
    EXPECT_EQ(PropOf("SYSTEMSTATUS"), "OK");
}

TEST_F(ServiceAccountAction, SetServiceAccountSplitsADomainName) {
    InstallBrandKit("BRANDKIT", kBrandKit);
    ActionPrologue(session_, "CreateSystemAccount", "Started", 0);
    char message[256] = "x";
    g_Settings.SystemAccountName("");
    EXPECT_EQ(SetServiceAccount(message, session_), 1);
    EXPECT_STREQ(message, "");
    g_Settings.SystemAccountName("CORP\\backup");
    g_Settings.SystemAccountDomain("QLSERVER");
    g_Settings.SystemAccountPassword("pw");
    g_Settings.SystemAccountServer(std::string(40, 'S').c_str());
    EXPECT_EQ(SetServiceAccount(message, session_), 1);
    EXPECT_STREQ(message, "");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_DOMAIN), "CORP");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_NAME), "backup");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_SERVER), std::string(31, 'S'));  // a 32-character field
}

}  // namespace
