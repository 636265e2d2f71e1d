// Users, local groups (aliases), LSA account objects, tokens, impersonation
// and AccessCheck, as a service account's setup and an administrator check
// use them.
#include <gtest/gtest.h>

#include <windows.h>
#include <lm.h>
#include <ntsecapi.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "support/accounts.h"
#include "support/wide.h"
#include "support/ntlsa.h"
#include "support/wine.h"

static_assert(sizeof(void *) != 4 || (sizeof(USER_INFO_1) == 32 && sizeof(USER_INFO_2) == 96 &&
                                      sizeof(LOCALGROUP_MEMBERS_INFO_0) == 4),
              "user and group records");
static_assert(sizeof(void *) != 4 || (sizeof(PRIVILEGE_SET) == 20 && sizeof(TOKEN_USER) == 8 &&
                                      sizeof(TOKEN_GROUPS) == 12),
              "token records");

namespace {


std::string SidText(PSID sid) {
    const BYTE *b = (const BYTE *)sid;
    std::string t = "S-1-" + std::to_string(b[7]);
    for (int i = 0; i < b[1]; ++i) {
        DWORD v;
        memcpy(&v, b + 8 + 4 * i, 4);
        t += "-" + std::to_string(v);
    }
    return t;
}

std::vector<BYTE> SidOf(const char *server, const std::string &account) {
    std::vector<BYTE> sid(1024);
    DWORD cb = (DWORD)sid.size();
    char domain[256];
    DWORD cch = sizeof domain;
    SID_NAME_USE use;
    if (!LookupAccountNameA(server, account.c_str(), sid.data(), &cb, domain, &cch, &use)) return {};
    sid.resize(cb);
    return sid;
}

std::vector<BYTE> BuiltinSid(DWORD rid) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID p = NULL;
    EXPECT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, rid, 0, 0, 0, 0, 0, 0, &p));
    std::vector<BYTE> sid((BYTE *)p, (BYTE *)p + GetLengthSid(p));
    FreeSid(p);
    return sid;
}

NET_API_STATUS AddUser(LPCWSTR server, const std::string &name, const std::string &password,
                       DWORD priv = USER_PRIV_USER, DWORD *parmErr = NULL) {
    std::vector<WCHAR> n = Wide(name), p = Wide(password);
    USER_INFO_2 info;
    memset(&info, 0, sizeof info);
    info.usri2_name = n.data();
    info.usri2_password = p.data();
    info.usri2_priv = priv;
    info.usri2_flags = UF_SCRIPT | UF_NORMAL_ACCOUNT | UF_DONT_EXPIRE_PASSWD;
    info.usri2_full_name = n.data();
    info.usri2_acct_expires = TIMEQ_FOREVER;
    info.usri2_max_storage = USER_MAXSTORAGE_UNLIMITED;
    DWORD ignored = 0;
    return NetUserAdd(server, 2, (LPBYTE)&info, parmErr ? parmErr : &ignored);
}

std::string ComputerName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name;
    EXPECT_TRUE(GetComputerNameA(name, &size));
    return name;
}

NET_API_STATUS ChangePassword(const std::string &where, const std::string &user, const std::string &oldPassword,
                              const std::string &newPassword) {
    return NetUserChangePassword(Wide(where).data(), Wide(user).data(), Wide(oldPassword).data(),
                                 Wide(newPassword).data());
}

std::set<std::string> Members(LPCWSTR server, const std::string &group) {
    LPBYTE buf = NULL;
    DWORD read = 0, total = 0;
    std::set<std::string> out;
    if (NetLocalGroupGetMembers(server, Wide(group).data(), 0, &buf, MAX_PREFERRED_LENGTH, &read, &total, NULL) !=
        NERR_Success)
        return out;
    for (DWORD i = 0; i < read; ++i) out.insert(SidText(((LOCALGROUP_MEMBERS_INFO_0 *)buf)[i].lgrmi0_sid));
    NetApiBufferFree(buf);
    return out;
}

// ---- users ---------------------------------------------------------------------------------
TEST(NetUsers, AddGetAndDelete) {
    SKIP_ON_WINE("NetUserAdd reports success but keeps no account: NetUserGetInfo then fails with 2140");
    ASSERT_EQ(AddUser(NULL, "qltest1", "Pass1word"), (DWORD)NERR_Success);
    EXPECT_EQ(AddUser(NULL, "QLTEST1", "Other1"), (DWORD)NERR_UserExists);  // names are compared without case
    LPBYTE buf = NULL;
    ASSERT_EQ(NetUserGetInfo(NULL, Wide("qltest1").data(), 2, &buf), (DWORD)NERR_Success);
    USER_INFO_2 *info = (USER_INFO_2 *)buf;
    EXPECT_EQ(Text(info->usri2_name), "qltest1");
    EXPECT_EQ(info->usri2_password, nullptr);  // never handed out
    EXPECT_EQ(info->usri2_priv, (DWORD)USER_PRIV_USER);
    EXPECT_TRUE(info->usri2_flags & UF_DONT_EXPIRE_PASSWD);
    EXPECT_EQ(Text(info->usri2_full_name), "qltest1");
    EXPECT_EQ(info->usri2_acct_expires, TIMEQ_FOREVER);
    NetApiBufferFree(buf);
    EXPECT_EQ(NetUserDel(NULL, Wide("qltest1").data()), (DWORD)NERR_Success);
    EXPECT_EQ(NetUserDel(NULL, Wide("qltest1").data()), (DWORD)NERR_UserNotFound);
    buf = NULL;
    EXPECT_EQ(NetUserGetInfo(NULL, Wide("qltest1").data(), 2, &buf), (DWORD)NERR_UserNotFound);
}

TEST(NetUsers, AddRefusesOtherPrivilegesAndBadNames) {
    SKIP_ON_WINE("NetUserAdd accepts every level, privilege, name and server");
    DWORD parm = 0;
    EXPECT_EQ(AddUser(NULL, "qltest2", "Pass1word", USER_PRIV_ADMIN, &parm), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(parm, (DWORD)USER_PRIV_PARMNUM);
    parm = 0;
    EXPECT_EQ(AddUser(NULL, "bad/name", "Pass1word", USER_PRIV_USER, &parm), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(parm, (DWORD)USER_NAME_PARMNUM);
    EXPECT_EQ(AddUser(Wide("\\\\NOSUCHHOST").data(), "qltest2", "Pass1word"), (DWORD)ERROR_BAD_NETPATH);
}

TEST(NetUsers, ChangePasswordVerifiesTheOldOneFirst) {
    ASSERT_EQ(AddUser(NULL, "qltest3", "Pass1word"), (DWORD)NERR_Success);
    std::string here = ComputerName();
    EXPECT_EQ(ChangePassword(here, "qltest3", "wrong", "Pass2word"), (DWORD)ERROR_INVALID_PASSWORD);
    EXPECT_EQ(ChangePassword(here, "qltest3", "Pass1word", "Pass1word"), (DWORD)NERR_Success);
    EXPECT_EQ(ChangePassword(here, "qltest3", "Pass1word", "Pass2word"), (DWORD)NERR_Success);
    EXPECT_EQ(ChangePassword(here, "qltest3", "Pass1word", "Pass3word"), (DWORD)ERROR_INVALID_PASSWORD);
    EXPECT_EQ(ChangePassword(here, "nobody", "x", "y"), (DWORD)NERR_UserNotFound);
    NetUserDel(NULL, Wide("qltest3").data());
}

TEST(NetUsers, PasswordRules) {
    SEEDED_OR_SKIP(SetPasswordRules(8, 1));
    EXPECT_EQ(AddUser(NULL, "qltest4", "short"), (DWORD)NERR_PasswordTooShort);
    ASSERT_EQ(AddUser(NULL, "qltest4", "LongEnough1"), (DWORD)NERR_Success);
    std::string here = ComputerName();
    // The old password is checked before the rules.
    EXPECT_EQ(ChangePassword(here, "qltest4", "wrong", "LongEnough1"), (DWORD)ERROR_INVALID_PASSWORD);
    EXPECT_EQ(ChangePassword(here, "qltest4", "LongEnough1", "LongEnough1"), (DWORD)NERR_PasswordTooShort);
    EXPECT_EQ(ChangePassword(here, "qltest4", "LongEnough1", "short"), (DWORD)NERR_PasswordTooShort);
    EXPECT_EQ(ChangePassword(here, "qltest4", "LongEnough1", "LongEnough2"), (DWORD)NERR_Success);
    NetUserDel(NULL, Wide("qltest4").data());
}

// ---- local groups ------------------------------------------------------------------------------
TEST(LocalGroups, AddMembersOnceAndReadThem) {
    SKIP_ON_WINE("the local-group member functions are stubs that keep no members");
    ASSERT_EQ(AddUser(NULL, "qltest5", "Pass1word"), (DWORD)NERR_Success);
    std::vector<BYTE> sid = SidOf(NULL, "qltest5");
    ASSERT_FALSE(sid.empty());
    LOCALGROUP_MEMBERS_INFO_0 one = {sid.data()};
    EXPECT_EQ(NetLocalGroupAddMembers(NULL, Wide("Backup Operators").data(), 0, (LPBYTE)&one, 1),
              (DWORD)NERR_Success);
    EXPECT_EQ(NetLocalGroupAddMembers(NULL, Wide("Backup Operators").data(), 0, (LPBYTE)&one, 1),
              (DWORD)ERROR_MEMBER_IN_ALIAS);
    EXPECT_EQ(NetLocalGroupAddMember(NULL, Wide("backup operators").data(), sid.data()),
              (DWORD)ERROR_MEMBER_IN_ALIAS);
    EXPECT_EQ(NetLocalGroupAddMember(NULL, Wide("Administrators").data(), sid.data()), (DWORD)NERR_Success);
    EXPECT_TRUE(Members(NULL, "Backup Operators").count(SidText(sid.data())));
    EXPECT_TRUE(Members(NULL, "Administrators").count(SidText(sid.data())));
    NetUserDel(NULL, Wide("qltest5").data());
    EXPECT_FALSE(Members(NULL, "Administrators").count(SidText(sid.data())));  // deleted with the user
}

TEST(LocalGroups, RefusedMembersAddNothing) {
    SKIP_ON_WINE("the local-group member functions are stubs, and this one crashes the test program");
    ASSERT_EQ(AddUser(NULL, "qltest6", "Pass1word"), (DWORD)NERR_Success);
    ASSERT_EQ(AddUser(NULL, "qltest7", "Pass1word"), (DWORD)NERR_Success);
    std::vector<BYTE> a = SidOf(NULL, "qltest6"), b = SidOf(NULL, "qltest7");
    ASSERT_EQ(NetLocalGroupAddMember(NULL, Wide("Backup Operators").data(), a.data()), (DWORD)NERR_Success);
    LOCALGROUP_MEMBERS_INFO_0 two[2] = {{b.data()}, {a.data()}};
    EXPECT_EQ(NetLocalGroupAddMembers(NULL, Wide("Backup Operators").data(), 0, (LPBYTE)two, 2),
              (DWORD)ERROR_MEMBER_IN_ALIAS);
    EXPECT_FALSE(Members(NULL, "Backup Operators").count(SidText(b.data())));
    EXPECT_EQ(NetLocalGroupAddMember(NULL, Wide("No Such Group").data(), b.data()), (DWORD)NERR_GroupNotFound);
    std::vector<BYTE> stranger = SidOf(NULL, "qltest7");
    stranger[stranger.size() - 1] ^= 0x55;  // a RID nobody has
    EXPECT_EQ(NetLocalGroupAddMember(NULL, Wide("Backup Operators").data(), stranger.data()),
              (DWORD)ERROR_NO_SUCH_MEMBER);
    NetUserDel(NULL, Wide("qltest6").data());
    NetUserDel(NULL, Wide("qltest7").data());
}

TEST(LocalGroups, BuiltinAliasesByRidInAnotherLanguage) {
    SEEDED_OR_SKIP(TranslateBuiltinNames("VORDEFINIERT", "Administratoren", "Sicherungs-Operatoren"));
    std::vector<BYTE> admins = BuiltinSid(DOMAIN_ALIAS_RID_ADMINS);
    char name[256], domain[256];
    DWORD cchName = sizeof name, cchDomain = sizeof domain;
    SID_NAME_USE use;
    ASSERT_TRUE(LookupAccountSidA(NULL, admins.data(), name, &cchName, domain, &cchDomain, &use));
    EXPECT_STREQ(name, "Administratoren");
    EXPECT_STREQ(domain, "VORDEFINIERT");
    EXPECT_EQ(use, SidTypeAlias);
    std::vector<BYTE> backup = SidOf(NULL, "VORDEFINIERT\\Sicherungs-Operatoren");
    ASSERT_FALSE(backup.empty());
    EXPECT_EQ(SidText(backup.data()), "S-1-5-32-551");
    ASSERT_EQ(AddUser(NULL, "qltest8", "Pass1word"), (DWORD)NERR_Success);
    std::vector<BYTE> user = SidOf(NULL, "qltest8");
    EXPECT_EQ(NetLocalGroupAddMember(NULL, Wide("Sicherungs-Operatoren").data(), user.data()), (DWORD)NERR_Success);
    EXPECT_TRUE(Members(NULL, "Sicherungs-Operatoren").count(SidText(user.data())));
    NetUserDel(NULL, Wide("qltest8").data());
}

TEST(LocalGroups, ADomainAccountLivesOnItsController) {
    std::string dc;
    SEEDED_OR_SKIP(DomainControllerOf("QLTESTDOM", dc));
    LPBYTE buf = NULL;
    ASSERT_EQ(NetGetDCName(NULL, Wide("QLTESTDOM").data(), &buf), (DWORD)NERR_Success);
    std::string server = Text((LPCWSTR)buf);
    NetApiBufferFree(buf);
    EXPECT_EQ(server, std::string("\\\\") + dc);
    std::vector<WCHAR> wServer = Wide(server);
    ASSERT_EQ(AddUser(wServer.data(), "qltest9", "Pass1word"), (DWORD)NERR_Success);
    buf = NULL;
    EXPECT_EQ(NetUserGetInfo(NULL, Wide("qltest9").data(), 2, &buf), (DWORD)NERR_UserNotFound);
    std::vector<BYTE> sid = SidOf(server.c_str(), "QLTESTDOM\\qltest9");
    ASSERT_FALSE(sid.empty());
    EXPECT_EQ(NetLocalGroupAddMember(wServer.data(), Wide("Administrators").data(), sid.data()), (DWORD)NERR_Success);
    EXPECT_TRUE(Members(wServer.data(), "Administrators").count(SidText(sid.data())));
    EXPECT_EQ(ChangePassword("QLTESTDOM", "qltest9", "Pass1word", "Pass1word"), (DWORD)NERR_Success);
    EXPECT_EQ(ChangePassword("QLTESTDOM", "qltest9", "nope", "Pass1word"), (DWORD)ERROR_INVALID_PASSWORD);
    LUID luid;
    ASSERT_TRUE(LookupPrivilegeValueA(server.c_str(), SE_TCB_NAME, &luid));
    EXPECT_EQ(luid.LowPart, 7u);
    EXPECT_EQ(NetUserDel(wServer.data(), Wide("qltest9").data()), (DWORD)NERR_Success);
}

// ---- LSA account objects ---------------------------------------------------------------------------
class LsaAccounts : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_ON_WINE("the LSA account-object calls crash the test program");
        LSA_OBJECT_ATTRIBUTES attributes;
        memset(&attributes, 0, sizeof attributes);
        ASSERT_EQ(LsaOpenPolicy(NULL, &attributes, POLICY_ALL_ACCESS, &policy_), STATUS_SUCCESS);
    }
    void TearDown() override {
        if (policy_) {
            EXPECT_EQ(LsaClose(policy_), STATUS_SUCCESS);
        }
    }
    std::set<std::string> Rights(PSID sid) {
        PLSA_UNICODE_STRING rights = NULL;
        ULONG count = 0;
        std::set<std::string> out;
        if (LsaEnumerateAccountRights(policy_, sid, &rights, &count) != STATUS_SUCCESS) return out;
        for (ULONG i = 0; i < count; ++i) out.insert(Text(rights[i].Buffer));
        LsaFreeMemory(rights);
        return out;
    }
    LSA_HANDLE policy_ = NULL;
};

TEST_F(LsaAccounts, SystemAccessAndPrivilegesOfAnAlias) {
    std::vector<BYTE> backup = BuiltinSid(DOMAIN_ALIAS_RID_BACKUP_OPS);
    LSA_HANDLE account = NULL;
    ASSERT_EQ(LsaOpenAccount(policy_, backup.data(), ACCOUNT_ALL_ACCESS, &account), STATUS_SUCCESS);
    ULONG previous = 0;
    ASSERT_EQ(LsaGetSystemAccessAccount(account, &previous), STATUS_SUCCESS);
    const ULONG all = POLICY_MODE_INTERACTIVE | POLICY_MODE_NETWORK | POLICY_MODE_BATCH | POLICY_MODE_SERVICE;
    EXPECT_EQ(all, 0x17u);
    ASSERT_EQ(LsaSetSystemAccessAccount(account, all), STATUS_SUCCESS);
    ULONG now = 0;
    ASSERT_EQ(LsaGetSystemAccessAccount(account, &now), STATUS_SUCCESS);
    EXPECT_EQ(now, all);
    PRIVILEGE_SET set;
    set.PrivilegeCount = 1;
    set.Control = PRIVILEGE_SET_ALL_NECESSARY;
    set.Privilege[0].Attributes = SE_PRIVILEGE_ENABLED;
    ASSERT_TRUE(LookupPrivilegeValueA(NULL, SE_TCB_NAME, &set.Privilege[0].Luid));
    ASSERT_EQ(LsaAddPrivilegesToAccount(account, &set), STATUS_SUCCESS);
    std::set<std::string> rights = Rights(backup.data());
    EXPECT_TRUE(rights.count("SeTcbPrivilege"));
    EXPECT_TRUE(rights.count("SeBackupPrivilege"));
    EXPECT_TRUE(rights.count("SeServiceLogonRight"));
    EXPECT_TRUE(rights.count("SeBatchLogonRight"));
    set.Privilege[0].Luid.LowPart = 999;  // no such privilege
    EXPECT_EQ(LsaAddPrivilegesToAccount(account, &set), STATUS_NO_SUCH_PRIVILEGE);
    ASSERT_EQ(LsaSetSystemAccessAccount(account, previous), STATUS_SUCCESS);
    EXPECT_EQ(LsaClose(account), STATUS_SUCCESS);
}

TEST_F(LsaAccounts, AnAccountObjectIsCreatedOnce) {
    ASSERT_EQ(AddUser(NULL, "qltest10", "Pass1word"), (DWORD)NERR_Success);
    std::vector<BYTE> sid = SidOf(NULL, "qltest10");
    LSA_HANDLE account = NULL;
    EXPECT_EQ(LsaOpenAccount(policy_, sid.data(), ACCOUNT_ALL_ACCESS, &account), STATUS_OBJECT_NAME_NOT_FOUND);
    ASSERT_EQ(LsaCreateAccount(policy_, sid.data(), ACCOUNT_ALL_ACCESS, &account), STATUS_SUCCESS);
    LSA_HANDLE again = NULL;
    EXPECT_EQ(LsaCreateAccount(policy_, sid.data(), ACCOUNT_ALL_ACCESS, &again), STATUS_OBJECT_NAME_COLLISION);
    EXPECT_TRUE(Rights(sid.data()).empty());  // nothing granted yet
    EXPECT_EQ(LsaSetSystemAccessAccount(account, POLICY_MODE_SERVICE), STATUS_SUCCESS);
    EXPECT_EQ(Rights(sid.data()), std::set<std::string>{"SeServiceLogonRight"});
    EXPECT_EQ(LsaClose(account), STATUS_SUCCESS);
    NetUserDel(NULL, Wide("qltest10").data());
}

TEST_F(LsaAccounts, AHandleDoesWhatItsAccessAllows) {
    std::vector<BYTE> backup = BuiltinSid(DOMAIN_ALIAS_RID_BACKUP_OPS);
    LSA_HANDLE account = NULL;
    ASSERT_EQ(LsaOpenAccount(policy_, backup.data(), ACCOUNT_VIEW, &account), STATUS_SUCCESS);
    EXPECT_EQ(LsaSetSystemAccessAccount(account, POLICY_MODE_SERVICE), STATUS_ACCESS_DENIED);
    EXPECT_EQ(LsaClose(account), STATUS_SUCCESS);
    EXPECT_EQ(LsaClose(account), STATUS_INVALID_HANDLE);
}

// ---- tokens, impersonation, AccessCheck --------------------------------------------------------------
std::vector<std::string> TokenSids(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
    DWORD needed = 0;
    EXPECT_FALSE(GetTokenInformation(token, kind, NULL, 0, &needed));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    std::vector<DWORD_PTR> buf(needed / sizeof(DWORD_PTR) + 1);
    if (!GetTokenInformation(token, kind, buf.data(), (DWORD)(buf.size() * sizeof(DWORD_PTR)), &needed)) return {};
    std::vector<std::string> out;
    if (kind == TokenUser) {
        out.push_back(SidText(((TOKEN_USER *)buf.data())->User.Sid));
    } else {
        TOKEN_GROUPS *groups = (TOKEN_GROUPS *)buf.data();
        for (DWORD i = 0; i < groups->GroupCount; ++i) out.push_back(SidText(groups->Groups[i].Sid));
    }
    return out;
}

bool Contains(const std::vector<std::string> &list, const std::string &item) {
    for (const std::string &s : list)
        if (s == item) return true;
    return false;
}

// A private object only the built-in Administrators may use, with its mapping.
struct AdminObject {
    AdminObject() {
        mapping = {0x120089, 0x120116, 0x1200A0, 0x1F03FF};
        std::vector<BYTE> admins = BuiltinSid(DOMAIN_ALIAS_RID_ADMINS);
        SECURITY_DESCRIPTOR sd;
        EXPECT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
        EXPECT_TRUE(InitializeAcl((PACL)acl, sizeof acl, ACL_REVISION));
        EXPECT_TRUE(AddAccessAllowedAce((PACL)acl, ACL_REVISION, GENERIC_ALL, admins.data()));
        EXPECT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, (PACL)acl, FALSE));
        HANDLE process = NULL;
        EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &process));
        EXPECT_TRUE(CreatePrivateObjectSecurity(NULL, &sd, &object, FALSE, process, &mapping));
        CloseHandle(process);
    }
    ~AdminObject() { DestroyPrivateObjectSecurity(&object); }
    // Runs AccessCheck for the thread impersonating the process.
    BOOL Check(DWORD desired, DWORD *granted, BOOL *status, DWORD *error) {
        ImpersonateSelf(SecurityImpersonation);
        HANDLE thread = NULL;
        EXPECT_TRUE(OpenThreadToken(GetCurrentThread(), TOKEN_READ, TRUE, &thread));
        DWORD privileges[256];
        DWORD size = sizeof privileges;
        BOOL ok = AccessCheck(object, thread, desired, &mapping, (PPRIVILEGE_SET)privileges, &size, granted, status);
        *error = GetLastError();
        CloseHandle(thread);
        RevertToSelf();
        return ok;
    }
    GENERIC_MAPPING mapping;
    DWORD acl[256];
    PSECURITY_DESCRIPTOR object = NULL;
};

TEST(Tokens, TheUserAndItsGroups) {
    HANDLE token = NULL;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &token));
    char user[64];
    DWORD n = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &n));
    std::vector<BYTE> sid = SidOf(NULL, user);
    EXPECT_EQ(TokenSids(token, TokenUser), std::vector<std::string>{SidText(sid.data())});
    std::vector<std::string> groups = TokenSids(token, TokenGroups);
    EXPECT_TRUE(Contains(groups, "S-1-1-0"));
    EXPECT_TRUE(Contains(groups, "S-1-5-32-544"));
    EXPECT_TRUE(CloseHandle(token));
    EXPECT_FALSE(GetTokenInformation(token, TokenUser, NULL, 0, &n));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST(Tokens, APlainUserIsNoAdministrator) {
    SEEDED_OR_SKIP(RunAsPlainUser("qlplain"));
    HANDLE token = NULL;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &token));
    std::vector<std::string> groups = TokenSids(token, TokenGroups);
    EXPECT_FALSE(Contains(groups, "S-1-5-32-544"));
    EXPECT_TRUE(Contains(groups, "S-1-5-32-545"));
    CloseHandle(token);
    AdminObject object;
    DWORD granted = 1, error = 0;
    BOOL status = TRUE;
    ASSERT_TRUE(object.Check(0x1F03FF, &granted, &status, &error));
    EXPECT_FALSE(status);
    EXPECT_EQ(granted, 0u);
    EXPECT_EQ(error, (DWORD)ERROR_ACCESS_DENIED);
}

TEST(Tokens, ImpersonationLastsUntilRevert) {
    HANDLE token = NULL;
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_READ, TRUE, &token));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_TOKEN);
    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    ASSERT_TRUE(OpenThreadToken(GetCurrentThread(), TOKEN_READ, TRUE, &token));
    EXPECT_TRUE(CloseHandle(token));
    EXPECT_TRUE(RevertToSelf());
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_READ, TRUE, &token));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_TOKEN);
}

TEST(Tokens, AccessCheckForAnAdministrator) {
    AdminObject object;
    DWORD granted = 0, error = 0;
    BOOL status = FALSE;
    ASSERT_TRUE(object.Check(0x1F03FF, &granted, &status, &error));
    EXPECT_TRUE(status);
    EXPECT_EQ(granted, 0x1F03FFu);
    // Generic rights must be mapped first.
    EXPECT_FALSE(object.Check(GENERIC_ALL, &granted, &status, &error));
    EXPECT_EQ(error, (DWORD)ERROR_GENERIC_NOT_MAPPED);
}

TEST(Tokens, AccessCheckWantsAnImpersonationToken) {
    AdminObject object;
    HANDLE process = NULL;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &process));
    DWORD privileges[256];
    DWORD size = sizeof privileges, granted = 0;
    BOOL status = FALSE;
    EXPECT_FALSE(AccessCheck(object.object, process, 0x1F03FF, &object.mapping, (PPRIVILEGE_SET)privileges, &size,
                             &granted, &status));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_IMPERSONATION_TOKEN);
    CloseHandle(process);
}

}  // namespace
