// The product's service account: creation, groups and rights on this machine
// or a domain's controller, the password check, deletion and the record in
// the branding library.
#include <gtest/gtest.h>

#include <windows.h>
#include <lm.h>
#include <ntsecapi.h>

#include <winsim/machine.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../support/brandkit.h"
#include "system/SystemAccount.h"

namespace {

winsim::Machine &M() { return winsim::LocalMachine(); }

std::string Text(LPCWSTR w) {
    std::string out;
    while (w && *w) out += (char)*w++;
    return out;
}

const char *kAdmins = "S-1-5-32-544";
const char *kBackup = "S-1-5-32-551";

bool Holds(const winsim::Machine &m, const char *alias, const std::string &account) {
    std::vector<std::string> members = winsim::AliasMembers(m, alias);
    return std::find(members.begin(), members.end(), account) != members.end();
}

// What the service account needs, granted to Backup Operators.
void ExpectBackupRights(const winsim::Machine &m) {
    auto it = m.lsaAccounts.find(kBackup);
    ASSERT_NE(it, m.lsaAccounts.end());
    EXPECT_EQ(it->second.systemAccess, 0x17u);
    EXPECT_TRUE(it->second.privileges.count("SeTcbPrivilege"));
    EXPECT_TRUE(it->second.privileges.count("SeBackupPrivilege"));
}

// A domain CORP whose primary controller QLDC is a machine of its own; this
// machine is a member server of it.
winsim::Machine &JoinCorp() {
    winsim::Machine &dc = winsim::CreateDefaultMachine("QLDC");
    dc.productType = VER_NT_DOMAIN_CONTROLLER;
    dc.domain = "CORP";
    dc.domainSid = "S-1-5-21-11-22-33";
    dc.domainControllers = {"QLDC"};
    M().domain = "CORP";
    M().domainSid = "S-1-5-21-11-22-33";
    M().domainControllers = {"QLDC"};
    return dc;
}

class SystemAccount : public ::testing::Test {};

TEST_F(SystemAccount, FieldsAreUpperCasedAndALocalAccountNeedsNoController) {
    CSystemAccount account("qlserver", "QlServer", "qlsvc", "Secret1");
    EXPECT_STREQ(account.Machine(), "QLSERVER");
    EXPECT_STREQ(account.Domain(), "QLSERVER");
    EXPECT_STREQ(account.User(), "qlsvc");
    EXPECT_TRUE(account.IsLocalAccount());
    EXPECT_EQ(account.AccountServer(), nullptr);
    EXPECT_EQ(winsim::CallCount("NetGetDCName"), 0u);
}

TEST_F(SystemAccount, CreateMakesTheUserWithGroupsAndRights) {
    CSystemAccount account("QLSERVER", "QLSERVER", "qlsvc", "Secret1");
    EXPECT_FALSE(account.Exists());
    ASSERT_TRUE(account.Create());
    EXPECT_TRUE(account.Exists());
    EXPECT_TRUE(winsim::CheckPassword(M(), "qlsvc", "Secret1"));
    const winsim::Account *user = nullptr;
    for (const winsim::Account &a : M().accounts)
        if (a.name == "qlsvc") user = &a;
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(user->flags, 0x10201u);
    EXPECT_EQ(user->priv, 1u);
    EXPECT_EQ(user->fullName, "qlsvc");
    EXPECT_TRUE(Holds(M(), kAdmins, "QLSERVER\\qlsvc"));
    EXPECT_TRUE(Holds(M(), kBackup, "QLSERVER\\qlsvc"));
    ExpectBackupRights(M());
    // The rights go to the alias, not to the account.
    EXPECT_EQ(M().lsaAccounts.count(user->sid), 0u);
}

TEST_F(SystemAccount, CreatingAnExistingAccountKeepsItsPassword) {
    M().AddAccount("qlsvc", SidTypeUser).password = "Original1";
    CSystemAccount account("QLSERVER", "QLSERVER", "qlsvc", "Other2");
    EXPECT_TRUE(account.Create());
    EXPECT_TRUE(account.Create());  // memberships that exist already are no failure
    EXPECT_TRUE(winsim::CheckPassword(M(), "qlsvc", "Original1"));
    EXPECT_TRUE(Holds(M(), kBackup, "QLSERVER\\qlsvc"));
}

TEST_F(SystemAccount, TranslatedGroupNamesAreFoundByTheirIds) {
    M().builtinNames["S-1-5-32"] = "VORDEFINIERT";
    M().builtinNames[kAdmins] = "Administratoren";
    M().builtinNames[kBackup] = "Sicherungs-Operatoren";
    CSystemAccount account("QLSERVER", "QLSERVER", "qlsvc", "Secret1");
    ASSERT_TRUE(account.Create());
    EXPECT_TRUE(Holds(M(), kAdmins, "QLSERVER\\qlsvc"));
    EXPECT_TRUE(Holds(M(), kBackup, "QLSERVER\\qlsvc"));
    ExpectBackupRights(M());
}

TEST_F(SystemAccount, AnAliasWithoutAnAccountObjectGetsOne) {
    M().lsaAccounts.erase(kBackup);
    CSystemAccount account("QLSERVER", "QLSERVER", "qlsvc", "Secret1");
    ASSERT_TRUE(account.Create());
    ExpectBackupRights(M());
}

TEST_F(SystemAccount, ADomainAccountLivesOnTheController) {
    winsim::Machine &dc = JoinCorp();
    CSystemAccount account("QLSERVER", "corp", "qlsvc", "Secret1");
    EXPECT_FALSE(account.IsLocalAccount());
    ASSERT_NE(account.AccountServer(), nullptr);
    EXPECT_EQ(Text(account.AccountServer()), "\\\\QLDC");
    ASSERT_TRUE(account.Create());
    EXPECT_TRUE(winsim::CheckPassword(dc, "CORP\\qlsvc", "Secret1"));
    EXPECT_FALSE(winsim::CheckPassword(M(), "qlsvc", "Secret1"));
    EXPECT_TRUE(Holds(dc, kAdmins, "CORP\\qlsvc"));
    EXPECT_TRUE(Holds(dc, kBackup, "CORP\\qlsvc"));
    EXPECT_FALSE(Holds(M(), kBackup, "CORP\\qlsvc"));
    ExpectBackupRights(dc);
    EXPECT_TRUE(account.Exists());
    EXPECT_TRUE(account.ValidPassword());
    EXPECT_TRUE(account.Delete());
    EXPECT_FALSE(account.Exists());
}

TEST_F(SystemAccount, WithoutAControllerTheCallsStayOnThisMachine) {
    JoinCorp();
    winsim::InjectFault("NetGetDCName", NERR_DCNotFound);
    CSystemAccount account("QLSERVER", "CORP", "qlsvc", "Secret1");
    EXPECT_EQ(account.AccountServer(), nullptr);
    EXPECT_FALSE(account.IsLocalAccount());
}

TEST_F(SystemAccount, CopiesOwnTheirControllerName) {
    JoinCorp();
    CSystemAccount *original = new CSystemAccount("QLSERVER", "CORP", "qlsvc", "Secret1");
    CSystemAccount copy(*original);
    CSystemAccount assigned("QLSERVER", "QLSERVER", "x", "y");
    assigned = *original;
    EXPECT_NE(copy.AccountServer(), original->AccountServer());
    EXPECT_NE(assigned.AccountServer(), original->AccountServer());
    delete original;
    ASSERT_NE(copy.AccountServer(), nullptr);
    EXPECT_EQ(Text(copy.AccountServer()), "\\\\QLDC");
    EXPECT_TRUE(copy.Create());
    EXPECT_TRUE(assigned.Exists());
}

TEST_F(SystemAccount, PasswordCheck) {
    M().AddAccount("qlsvc", SidTypeUser).password = "Secret1";
    CSystemAccount right("QLSERVER", "QLSERVER", "qlsvc", "Secret1");
    CSystemAccount wrong("QLSERVER", "QLSERVER", "qlsvc", "secret1");
    EXPECT_TRUE(right.ValidPassword());
    EXPECT_TRUE(winsim::CheckPassword(M(), "qlsvc", "Secret1"));
    SetLastError(0);
    EXPECT_FALSE(wrong.ValidPassword());
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PASSWORD);
    // Rules that refuse the unchanged password are met only after the old one was verified.
    M().passwordHistory = 1;
    EXPECT_TRUE(right.ValidPassword());
    EXPECT_FALSE(wrong.ValidPassword());
}

TEST_F(SystemAccount, OnlyAVerifiedPasswordIsValid) {
    CSystemAccount missing("QLSERVER", "QLSERVER", "nobody", "Secret1");
    EXPECT_FALSE(missing.ValidPassword());
    EXPECT_EQ(GetLastError(), (DWORD)NERR_UserNotFound);
    M().AddAccount("qlsvc", SidTypeUser).password = "Secret1";
    CSystemAccount account("QLSERVER", "QLSERVER", "qlsvc", "Secret1");
    winsim::InjectFault("NetUserChangePassword", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(account.ValidPassword());
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
}

TEST_F(SystemAccount, DeleteSucceedsOnlyForAnAccountThatWasThere) {
    CSystemAccount account("QLSERVER", "QLSERVER", "qlsvc", "Secret1");
    EXPECT_FALSE(account.Delete());
    ASSERT_TRUE(account.Create());
    EXPECT_TRUE(account.Delete());
    EXPECT_FALSE(Holds(M(), kAdmins, "QLSERVER\\qlsvc"));
}

TEST_F(SystemAccount, ATooShortPasswordFailsCreation) {
    M().minPasswordLength = 8;
    CSystemAccount account("QLSERVER", "QLSERVER", "qlsvc", "short");
    EXPECT_FALSE(account.Create());
    EXPECT_FALSE(account.Exists());
}

// Every network and LSA call the account operations make, made to fail once.
TEST_F(SystemAccount, EachFailingCallFailsCreation) {
    const char *calls[] = {"NetUserAdd",        "LookupAccountNameA",  "LookupAccountSidA",
                           "AllocateAndInitializeSid", "NetLocalGroupAddMember", "LsaOpenPolicy",
                           "LsaOpenAccount",    "LsaSetSystemAccessAccount", "LsaAddPrivilegesToAccount",
                           "LookupPrivilegeValueA"};
    for (const char *call : calls) {
        winsim::ResetWorld();
        winsim::CreateDefaultMachine();
        DWORD error = std::string(call).rfind("Lsa", 0) == 0 ? (DWORD)STATUS_ACCESS_DENIED : (DWORD)ERROR_ACCESS_DENIED;
        winsim::InjectFault(call, error);
        CSystemAccount account("QLSERVER", "QLSERVER", "qlsvc", "Secret1");
        EXPECT_FALSE(account.Create()) << call;
        EXPECT_GE(winsim::CallCount(call), 1u) << call;
    }
}

TEST_F(SystemAccount, OnePrivilegeFailingStillTriesTheOther) {
    M().lsaAccounts[kBackup].privileges.clear();
    winsim::InjectFault("LsaAddPrivilegesToAccount", (DWORD)STATUS_ACCESS_DENIED);
    CSystemAccount account("QLSERVER", "QLSERVER", "qlsvc", "Secret1");
    EXPECT_FALSE(account.Create());
    EXPECT_EQ(M().lsaAccounts[kBackup].privileges, std::set<std::string>{"SeBackupPrivilege"});
}

TEST_F(SystemAccount, LsaWarningsCountAsSuccess) {
    winsim::InjectFault("LsaSetSystemAccessAccount", 0x80000005u);  // STATUS_BUFFER_OVERFLOW, a warning
    CSystemAccount account("QLSERVER", "QLSERVER", "qlsvc", "Secret1");
    EXPECT_TRUE(account.Create());
}

TEST_F(SystemAccount, ExistsAndDeleteReportNetworkFailures) {
    CSystemAccount account("QLSERVER", "QLSERVER", "qlsvc", "Secret1");
    ASSERT_TRUE(account.Create());
    winsim::InjectFault("NetUserGetInfo", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(account.Exists());
    winsim::InjectFault("NetUserDel", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(account.Delete());
    EXPECT_TRUE(account.Exists());
}

// ---- the record in the branding library ----------------------------------------------------
class AccountRegistration : public ::testing::Test {
protected:
    void SetUp() override {
        M().modulePath = "C:\\QBSETUP\\SETUP.EXE";
        M().PutFile(M().modulePath, "");
    }
};

TEST_F(AccountRegistration, TheLibraryBesideTheProgramGetsTheRecord) {
    InstallBrandKit("BRANDKIT", "C:\\QBSETUP\\BRANDKIT.DLL");
    CSystemAccount account("qlserver", "corp", "qlsvc", "Secret1");
    EXPECT_TRUE(account.Register());
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_SERVER), "QLSERVER");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_DOMAIN), "CORP");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_NAME), "qlsvc");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_PASSWORD), "Secret1");
    EXPECT_EQ(GetModuleHandleA("BRANDKIT.DLL"), nullptr);  // unloaded again
}

TEST_F(AccountRegistration, LongFieldsAreCutToTheRecord) {
    InstallBrandKit("BRANDKIT", "C:\\QBSETUP\\BRANDKIT.DLL");
    std::string longName(100, 'u');
    EXPECT_TRUE(CSystemAccount::Register("QLSERVER", "CORP", longName.c_str(), "pw"));
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_NAME), std::string(63, 'u'));
}

TEST_F(AccountRegistration, TheWholeResultCounts) {
    InstallBrandKit("BRANDKIT", "C:\\QBSETUP\\BRANDKIT.DLL");
    SetBrandKitNumber(BRANDKIT_VALUE_SET_RESULT, 0x10000);  // nothing in the low 16 bits
    EXPECT_TRUE(CSystemAccount::Register("QLSERVER", "CORP", "qlsvc", "pw"));
    SetBrandKitNumber(BRANDKIT_VALUE_SET_RESULT, 0);
    EXPECT_FALSE(CSystemAccount::Register("QLSERVER", "CORP", "qlsvc", "pw"));
}

TEST_F(AccountRegistration, WithoutTheLibraryOrItsExportNothingIsRecorded) {
    InstallBrandKit("BRANDKIT");  // in the system folder only: not where the program is
    EXPECT_FALSE(CSystemAccount::Register("QLSERVER", "CORP", "qlsvc", "pw"));
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_NAME), "");
    InstallBrandKit("BRANDKIT_ROOTS_ONLY", "C:\\QBSETUP\\BRANDKIT.DLL");
    EXPECT_FALSE(CSystemAccount::Register("QLSERVER", "CORP", "qlsvc", "pw"));
    EXPECT_EQ(GetModuleHandleA("BRANDKIT.DLL"), nullptr);
}

}  // namespace
