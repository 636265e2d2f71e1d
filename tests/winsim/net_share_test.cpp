// Network shares: creation at levels 2 and 502, information, the security
// descriptor at level 1501, deletion and paged enumeration.
#include <gtest/gtest.h>

#include <windows.h>
#include <lm.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/wine.h"

namespace {

std::string Text(const WCHAR *w) {
    std::string s;
    for (; w && *w; ++w) s += (char)*w;
    return s;
}

struct W {
    std::vector<WCHAR> v;
    explicit W(const std::string &s) : v(s.begin(), s.end()) { v.push_back(0); }
    LMSTR p() { return v.data(); }
};

class Shares : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryA("C:\\Shared", nullptr);
        CreateDirectoryA("C:\\Other", nullptr);
    }
    void TearDown() override {
        W a("TestShare$"), b("Second");
        NetShareDel(nullptr, a.p(), 0);
        NetShareDel(nullptr, b.p(), 0);
    }
    NET_API_STATUS Add(const char *name, const char *path, DWORD level = 2, PSECURITY_DESCRIPTOR sd = nullptr) {
        W n(name), p(path), r("remark");
        SHARE_INFO_502 info = {n.p(), STYPE_DISKTREE, r.p(), ACCESS_CREATE, SHI_USES_UNLIMITED, 0, p.p(), nullptr, 0, sd};
        DWORD parm = 0;
        return NetShareAdd(nullptr, level, (LPBYTE)&info, &parm);
    }
};

TEST_F(Shares, CreatedShareReadsBackAtLevelTwo) {
    SKIP_ON_WINE("NetShareAdd is a stub (ERROR_NOT_SUPPORTED) and NetShareDel reports success for a share that does not exist");
    ASSERT_EQ(Add("TestShare$", "C:\\Shared"), (DWORD)NERR_Success);
    W name("testshare$");  // names compare without case
    LPBYTE buffer = nullptr;
    ASSERT_EQ(NetShareGetInfo(nullptr, name.p(), 2, &buffer), (DWORD)NERR_Success);
    SHARE_INFO_2 *info = (SHARE_INFO_2 *)buffer;
    EXPECT_EQ(Text(info->shi2_netname), "TestShare$");
    EXPECT_EQ(Text(info->shi2_path), "C:\\Shared");
    EXPECT_EQ(Text(info->shi2_remark), "remark");
    EXPECT_EQ(info->shi2_type, (DWORD)STYPE_DISKTREE);
    EXPECT_EQ(info->shi2_max_uses, SHI_USES_UNLIMITED);
    NetApiBufferFree(buffer);

    EXPECT_EQ(Add("TestShare$", "C:\\Other"), (DWORD)NERR_DuplicateShare);
    EXPECT_EQ(Add("Second", "C:\\Missing"), (DWORD)NERR_UnknownDevDir);
}

TEST_F(Shares, MissingShareAndLevels) {
    SKIP_ON_WINE("NetShareAdd is a stub (ERROR_NOT_SUPPORTED) and NetShareDel reports success for a share that does not exist");
    W name("NoSuchShare");
    LPBYTE buffer = nullptr;
    EXPECT_EQ(NetShareGetInfo(nullptr, name.p(), 2, &buffer), (DWORD)NERR_NetNameNotFound);
    EXPECT_EQ(NetShareDel(nullptr, name.p(), 0), (DWORD)NERR_NetNameNotFound);
    EXPECT_EQ(Add("TestShare$", "C:\\Shared", 1), (DWORD)ERROR_INVALID_LEVEL);
}

// A self-relative descriptor granting Everyone `mask`.
std::vector<BYTE> EveryoneDescriptor(DWORD mask) {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID sid = nullptr;
    EXPECT_TRUE(AllocateAndInitializeSid(&world, 1, 0, 0, 0, 0, 0, 0, 0, 0, &sid));
    alignas(4) BYTE acl[32];
    EXPECT_TRUE(InitializeAcl((PACL)acl, sizeof acl, ACL_REVISION));
    EXPECT_TRUE(AddAccessAllowedAce((PACL)acl, ACL_REVISION, mask, sid));
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, (PACL)acl, FALSE);
    DWORD size = 0;
    MakeSelfRelativeSD(&sd, nullptr, &size);
    std::vector<BYTE> out(size);
    EXPECT_TRUE(MakeSelfRelativeSD(&sd, out.data(), &size));
    FreeSid(sid);
    return out;
}

DWORD EveryoneMask(LPBYTE info502) {
    PSECURITY_DESCRIPTOR sd = ((SHARE_INFO_502 *)info502)->shi502_security_descriptor;
    if (!sd) return 0xFFFFFFFF;
    BOOL present, defaulted;
    PACL acl = nullptr;
    void *ace = nullptr;
    if (!GetSecurityDescriptorDacl(sd, &present, &acl, &defaulted) || !acl || !GetAce(acl, 0, &ace)) return 0xDEAD;
    return ((ACCESS_ALLOWED_ACE *)ace)->Mask;
}

TEST_F(Shares, DescriptorIsGivenAtCreationAndReplacedAtLevel1501) {
    SKIP_ON_WINE("NetShareAdd is a stub (ERROR_NOT_SUPPORTED) and NetShareDel reports success for a share that does not exist");
    std::vector<BYTE> readOnly = EveryoneDescriptor(0x1200A9);
    ASSERT_EQ(Add("TestShare$", "C:\\Shared", 502, readOnly.data()), (DWORD)NERR_Success);
    W name("TestShare$");
    LPBYTE buffer = nullptr;
    ASSERT_EQ(NetShareGetInfo(nullptr, name.p(), 502, &buffer), (DWORD)NERR_Success);
    EXPECT_EQ(EveryoneMask(buffer), 0x1200A9u);
    EXPECT_TRUE(IsValidSecurityDescriptor(((SHARE_INFO_502 *)buffer)->shi502_security_descriptor));
    NetApiBufferFree(buffer);

    std::vector<BYTE> full = EveryoneDescriptor(0x1F01FF);
    SHARE_INFO_1501 change = {0, full.data()};
    ASSERT_EQ(NetShareSetInfo(nullptr, name.p(), 1501, (LPBYTE)&change, nullptr), (DWORD)NERR_Success);
    ASSERT_EQ(NetShareGetInfo(nullptr, name.p(), 502, &buffer), (DWORD)NERR_Success);
    EXPECT_EQ(EveryoneMask(buffer), 0x1F01FFu);
    NetApiBufferFree(buffer);

    // A share made at level 2 has no descriptor.
    ASSERT_EQ(Add("Second", "C:\\Other"), (DWORD)NERR_Success);
    W second("Second");
    ASSERT_EQ(NetShareGetInfo(nullptr, second.p(), 502, &buffer), (DWORD)NERR_Success);
    EXPECT_EQ(((SHARE_INFO_502 *)buffer)->shi502_security_descriptor, nullptr);
    NetApiBufferFree(buffer);
}

std::vector<std::string> Enumerate(DWORD preferred, std::vector<NET_API_STATUS> &statuses) {
    std::vector<std::string> names;
    DWORD resume = 0;
    for (int guard = 0; guard < 50; ++guard) {
        LPBYTE buffer = nullptr;
        DWORD read = 0, total = 0;
        NET_API_STATUS st = NetShareEnum(nullptr, 2, &buffer, preferred, &read, &total, &resume);
        statuses.push_back(st);
        if (st != NERR_Success && st != ERROR_MORE_DATA) break;
        EXPECT_GE(total, read);
        for (DWORD i = 0; i < read; ++i) names.push_back(Text(((SHARE_INFO_2 *)buffer)[i].shi2_netname));
        NetApiBufferFree(buffer);
        if (st == NERR_Success) break;
    }
    return names;
}

TEST_F(Shares, EnumerationPagesWithMoreData) {
    SKIP_ON_WINE("NetShareAdd is a stub (ERROR_NOT_SUPPORTED) and NetShareDel reports success for a share that does not exist");
    ASSERT_EQ(Add("TestShare$", "C:\\Shared"), (DWORD)NERR_Success);
    ASSERT_EQ(Add("Second", "C:\\Other"), (DWORD)NERR_Success);
    std::vector<NET_API_STATUS> statuses;
    std::vector<std::string> all = Enumerate(MAX_PREFERRED_LENGTH, statuses);
    EXPECT_EQ(statuses, std::vector<NET_API_STATUS>{NERR_Success});
    EXPECT_NE(std::find(all.begin(), all.end(), "TestShare$"), all.end());
    EXPECT_NE(std::find(all.begin(), all.end(), "Second"), all.end());

    statuses.clear();
    std::vector<std::string> paged = Enumerate(1, statuses);
    EXPECT_EQ(paged, all);
    ASSERT_EQ(statuses.size(), all.size());
    EXPECT_EQ(statuses.back(), (DWORD)NERR_Success);
    EXPECT_EQ(statuses.front(), (DWORD)ERROR_MORE_DATA);
}

}  // namespace
