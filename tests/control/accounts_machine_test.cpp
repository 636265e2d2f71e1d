// Machine descriptions of users, passwords, alias members, rights, translated
// built-in names and password rules, and how tests read them back.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <algorithm>

#include "image_folder.h"

namespace {

using Image = DescribedImage;

bool Has(const std::vector<std::string> &list, const std::string &item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

TEST(AccountsImage, UsersMembersRightsAndRules) {
    Image image(
        "[machine]\nname=ACCT1\nuser=bob\nadministrator=no\n"
        "[accounts]\nbob=user, password=Bob1pass\nsvc=user, S-1-5-21-9-9-9-1500, password=Svc1pass\n"
        "[members]\nAdministrators = svc\nS-1-5-32-551 = svc\n"
        "[rights]\nsvc = SeServiceLogonRight, SeTcbPrivilege\n"
        "[names]\nS-1-5-32-551 = Sicherungs-Operatoren\n"
        "[passwords]\nminlength=6\nhistory=1\n");
    winsim::Machine &m = image.Load();
    EXPECT_TRUE(winsim::CheckPassword(m, "bob", "Bob1pass"));
    EXPECT_FALSE(winsim::CheckPassword(m, "bob", "bob1pass"));
    EXPECT_TRUE(winsim::CheckPassword(m, "ACCT1\\svc", "Svc1pass"));
    EXPECT_EQ(m.minPasswordLength, 6u);
    EXPECT_EQ(m.passwordHistory, 1u);
    std::vector<std::string> admins = winsim::AliasMembers(m, "Administrators");
    EXPECT_TRUE(Has(admins, "ACCT1\\svc"));
    EXPECT_TRUE(Has(admins, "ACCT1\\Administrator"));
    EXPECT_FALSE(Has(admins, "ACCT1\\bob"));  // not an administrator
    EXPECT_TRUE(Has(winsim::AliasMembers(m, "Users"), "ACCT1\\bob"));
    EXPECT_TRUE(Has(winsim::AliasMembers(m, "S-1-5-32-551"), "ACCT1\\svc"));
    EXPECT_TRUE(Has(winsim::AliasMembers(m, "Sicherungs-Operatoren"), "ACCT1\\svc"));
    EXPECT_EQ(m.lsaAccounts["S-1-5-21-9-9-9-1500"].systemAccess, 0x10u);
    std::vector<std::string> lines = winsim::DescribeAccounts(m);
    EXPECT_TRUE(Has(lines, "user ACCT1\\svc"));
    EXPECT_TRUE(Has(lines, "member BUILTIN\\Sicherungs-Operatoren: ACCT1\\svc"));
    EXPECT_TRUE(Has(lines, "rights ACCT1\\svc: SeTcbPrivilege, SeServiceLogonRight"));
    for (const std::string &line : lines) EXPECT_EQ(line.find("pass"), std::string::npos) << line;
}

TEST(AccountsImage, TheUserRunningSetupIsAnAdministratorByDefault) {
    Image image("[machine]\nname=ACCT2\nuser=CORP\\setupadmin\n[domain]\nname=CORP\n"
                "[accounts]\nCORP\\setupadmin=user\n");
    winsim::Machine &m = image.Load();
    EXPECT_TRUE(Has(winsim::AliasMembers(m, "Administrators"), "CORP\\setupadmin"));
}

TEST(AccountsImage, MistakesNameTheirLine) {
    EXPECT_NE(Image("[machine]\nadministrator=maybe\n").Error().find("administrator must be yes or no"),
              std::string::npos);
    EXPECT_NE(Image("[machine]\n[members]\nAdministrators = nobody\n").Error().find("unknown account: nobody"),
              std::string::npos);
    EXPECT_NE(Image("[machine]\n[rights]\nAdministrators = SeFlyPrivilege\n").Error().find("unknown privilege"),
              std::string::npos);
    EXPECT_NE(Image("[machine]\n[passwords]\nminlength=x\n").Error().find("expected a number"), std::string::npos);
    EXPECT_NE(Image("[machine]\n[names]\nAdmins = X\n").Error().find("malformed SID"), std::string::npos);
}

TEST(AccountsMachine, TokenHandlesAreCounted) {
    EXPECT_EQ(winsim::OpenTokenHandles(), 0u);
    HANDLE a = NULL, b = NULL;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &a));
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &b));
    EXPECT_EQ(winsim::OpenTokenHandles(), 2u);
    CloseHandle(a);
    CloseHandle(b);
    EXPECT_EQ(winsim::OpenTokenHandles(), 0u);
}

TEST(AccountsMachine, DefaultRightsOfTheBuiltinAliases) {
    winsim::Machine &m = winsim::LocalMachine();
    std::vector<std::string> lines = winsim::DescribeAccounts(m);
    EXPECT_TRUE(Has(lines, "member BUILTIN\\Administrators: QLSERVER\\Administrator"));
    EXPECT_TRUE(Has(lines, "rights BUILTIN\\Backup Operators: SeBackupPrivilege, SeRestorePrivilege, "
                           "SeShutdownPrivilege, SeInteractiveLogonRight, SeNetworkLogonRight"));
}

}  // namespace
