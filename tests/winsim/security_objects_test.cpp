// Private object security, generic rights, the process token and its
// privileges, account names.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/wine.h"

namespace {

GENERIC_MAPPING ShareMapping() { return GENERIC_MAPPING{0x1200A9, 0x1301BF, 0x20000, 0x1F01FF}; }

TEST(GenericRights, MapIntoTheSpecificRightsAndDropTheGenericBits) {
    GENERIC_MAPPING map = ShareMapping();
    DWORD mask = GENERIC_READ | GENERIC_EXECUTE | 0x1;
    MapGenericMask(&mask, &map);
    EXPECT_EQ(mask, 0x1200A9u | 0x20000u | 0x1u);
    mask = 0x1F01FF;
    MapGenericMask(&mask, &map);
    EXPECT_EQ(mask, 0x1F01FFu);
}

class Token : public ::testing::Test {
protected:
    void TearDown() override {
        if (token) CloseHandle(token);
    }
    HANDLE token = nullptr;
};

TEST_F(Token, EnablingAHeldPrivilegeSucceedsCleanly) {
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES tp;
    tp.PrivilegeCount = 1;
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, SE_SECURITY_NAME, &tp.Privileges[0].Luid));
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    SetLastError(12345);
    ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
}

TEST_F(Token, APrivilegeNotHeldSucceedsWithNotAllAssigned) {
    SKIP_ON_WINE("every privilege is held, so enabling SeTcbPrivilege leaves no ERROR_NOT_ALL_ASSIGNED");
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES tp;
    tp.PrivilegeCount = 1;
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, SE_TCB_NAME, &tp.Privileges[0].Luid));
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ALL_ASSIGNED);
}

TEST_F(Token, AdjustingNeedsTheAdjustRight) {
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &token));
    TOKEN_PRIVILEGES tp;
    tp.PrivilegeCount = 1;
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, SE_SECURITY_NAME, &tp.Privileges[0].Luid));
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    SetLastError(0);
    EXPECT_FALSE(AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
}

TEST(Privileges, UnknownNamesAreRefused) {
    LUID luid;
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, "SeBackupPrivilege", &luid));
    EXPECT_EQ(luid.LowPart, 17u);
    EXPECT_EQ(luid.HighPart, 0);
    SetLastError(0);
    EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &luid));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_SUCH_PRIVILEGE);
}

// A creator descriptor that grants Everyone GENERIC_ALL and names no owner.
struct Creator {
    SECURITY_DESCRIPTOR sd;
    alignas(4) BYTE acl[32];
    PSID world = nullptr;
    Creator(DWORD mask = GENERIC_ALL) {
        SID_IDENTIFIER_AUTHORITY auth = SECURITY_WORLD_SID_AUTHORITY;
        EXPECT_TRUE(AllocateAndInitializeSid(&auth, 1, 0, 0, 0, 0, 0, 0, 0, 0, &world));
        EXPECT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
        EXPECT_TRUE(InitializeAcl((PACL)acl, sizeof acl, ACL_REVISION));
        EXPECT_TRUE(AddAccessAllowedAce((PACL)acl, ACL_REVISION, mask, world));
        EXPECT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, (PACL)acl, FALSE));
    }
    ~Creator() { FreeSid(world); }
};

DWORD FirstMask(PSECURITY_DESCRIPTOR sd) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    void *ace = nullptr;
    if (!GetSecurityDescriptorDacl(sd, &present, &acl, &defaulted) || !acl || !GetAce(acl, 0, &ace)) return 0xDEAD;
    return ((ACCESS_ALLOWED_ACE *)ace)->Mask;
}

TEST(PrivateObjects, CreateMapsGenericRightsAndTakesTheOwnerFromTheToken) {
    SKIP_ON_WINE("CreatePrivateObjectSecurity does not map generic rights through the mapping, nor inherit the creator's access list as Windows does");
    HANDLE token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    Creator c;
    GENERIC_MAPPING map = ShareMapping();
    PSECURITY_DESCRIPTOR object = nullptr;
    ASSERT_TRUE(CreatePrivateObjectSecurity(nullptr, &c.sd, &object, FALSE, token, &map));
    EXPECT_EQ(FirstMask(object), 0x1F01FFu);
    PSID owner = nullptr;
    BOOL defaulted = TRUE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(object, &owner, &defaulted));
    EXPECT_NE(owner, nullptr);

    // Reading the DACL back: sized by a failing call.
    DWORD need = 0;
    SetLastError(0);
    EXPECT_FALSE(GetPrivateObjectSecurity(object, DACL_SECURITY_INFORMATION, nullptr, 0, &need));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    ASSERT_GT(need, 20u);
    std::vector<BYTE> copy(need);
    ASSERT_TRUE(GetPrivateObjectSecurity(object, DACL_SECURITY_INFORMATION, copy.data(), need, &need));
    EXPECT_EQ(FirstMask(copy.data()), 0x1F01FFu);
    ASSERT_TRUE(GetSecurityDescriptorOwner(copy.data(), &owner, &defaulted));
    EXPECT_EQ(owner, nullptr) << "only the DACL was asked for";

    // Replacing the DACL.
    Creator change(GENERIC_READ);
    ASSERT_TRUE(SetPrivateObjectSecurity(DACL_SECURITY_INFORMATION, &change.sd, &object, &map, token));
    EXPECT_EQ(FirstMask(object), 0x1200A9u);

    ASSERT_TRUE(DestroyPrivateObjectSecurity(&object));
    CloseHandle(token);
}

TEST(PrivateObjects, WithoutATokenTheOwnerCannotBeDefaulted) {
    SKIP_ON_WINE("CreatePrivateObjectSecurity without a token takes the process token instead of failing with ERROR_NO_TOKEN");
    Creator c;
    GENERIC_MAPPING map = ShareMapping();
    PSECURITY_DESCRIPTOR object = nullptr;
    SetLastError(0);
    EXPECT_FALSE(CreatePrivateObjectSecurity(nullptr, &c.sd, &object, FALSE, nullptr, &map));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_TOKEN);
}

std::string NameOf(const char *account, SID_NAME_USE *use = nullptr, std::string *sidBytes = nullptr) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    char domain[64];
    DWORD sidSize = sizeof sid, domainSize = sizeof domain;
    SID_NAME_USE u;
    if (!LookupAccountNameA(nullptr, account, sid, &sidSize, domain, &domainSize, &u)) return "<none>";
    EXPECT_EQ(domainSize, strlen(domain));
    if (use) *use = u;
    if (sidBytes) sidBytes->assign((const char *)sid, sidSize);
    return domain;
}

TEST(AccountNames, BuiltInAliasesAndWellKnownGroups) {
    SID_NAME_USE use;
    std::string sid;
    EXPECT_EQ(NameOf("Everyone", &use, &sid), "");
    EXPECT_EQ(use, SidTypeWellKnownGroup);
    EXPECT_EQ(sid, std::string("\1\1\0\0\0\0\0\1\0\0\0\0", 12));
    EXPECT_EQ(NameOf("Administrators", &use), "BUILTIN");
    EXPECT_EQ(use, SidTypeAlias);
    EXPECT_EQ(NameOf("BUILTIN\\Backup Operators", &use, &sid), "BUILTIN");
    EXPECT_EQ(sid.substr(12), std::string("\x27\2\0\0", 4));
}

TEST(AccountNames, TheMachinesOwnAccountsCarryItsName) {
    SKIP_ON_WINE("LookupAccountNameA does not find the machine's Administrator account");
    char computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof computer;
    ASSERT_TRUE(GetComputerNameA(computer, &size));
    SID_NAME_USE use;
    EXPECT_EQ(NameOf("administrator", &use), computer);
    EXPECT_EQ(use, SidTypeUser);
    EXPECT_EQ(NameOf((std::string(computer) + "\\Administrator").c_str()), computer);
    SetLastError(0);
    EXPECT_EQ(NameOf("nobody-here"), "<none>");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NONE_MAPPED);
}

TEST(AccountNames, BuffersAreSizedByAFailingCall) {
    SKIP_ON_WINE("LookupAccountSidA counts the terminating NUL in the name length it returns on success");
    DWORD sidSize = 0, domainSize = 0;
    SID_NAME_USE use;
    SetLastError(0);
    EXPECT_FALSE(LookupAccountNameA(nullptr, "Backup Operators", nullptr, &sidSize, nullptr, &domainSize, &use));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(sidSize, 16u);
    EXPECT_EQ(domainSize, 8u);  // "BUILTIN" and its NUL
    std::vector<BYTE> sid(sidSize);
    std::vector<char> domain(domainSize);
    ASSERT_TRUE(LookupAccountNameA(nullptr, "Backup Operators", sid.data(), &sidSize, domain.data(), &domainSize, &use));
    EXPECT_EQ(domainSize, 7u);

    char name[64], dom[64];
    DWORD nameSize = sizeof name, domSize = sizeof dom;
    ASSERT_TRUE(LookupAccountSidA(nullptr, sid.data(), name, &nameSize, dom, &domSize, &use));
    EXPECT_STREQ(name, "Backup Operators");
    EXPECT_STREQ(dom, "BUILTIN");
    EXPECT_EQ(nameSize, 16u);
}

TEST(AccountNames, AnUnreachableSystemIsReported) {
    DWORD sidSize = 0, domainSize = 0;
    SID_NAME_USE use;
    SetLastError(0);
    EXPECT_FALSE(LookupAccountNameA("NOSUCHHOST", "Everyone", nullptr, &sidSize, nullptr, &domainSize, &use));
    EXPECT_EQ(GetLastError(), (DWORD)RPC_S_SERVER_UNAVAILABLE);
}

}  // namespace
