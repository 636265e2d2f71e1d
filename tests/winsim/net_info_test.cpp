// Workstation and server information, domain controllers, the Local
// Security Authority's domain information and trusted domains.
#include <gtest/gtest.h>

#include <windows.h>
#include <lm.h>
#include <ntsecapi.h>

#include <string>
#include <vector>

#include "support/network.h"
#include "support/wide.h"
#include "support/wine.h"

// The SDK's NT statuses live in ntstatus.h, which cannot sit beside
// windows.h without WIN32_NO_STATUS; the few these tests compare with:
#ifndef STATUS_MORE_ENTRIES
#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#define STATUS_MORE_ENTRIES ((NTSTATUS)0x00000105L)
#define STATUS_NO_MORE_ENTRIES ((NTSTATUS)0x8000001AL)
#define STATUS_ACCESS_DENIED ((NTSTATUS)0xC0000022L)
#define RPC_NT_SERVER_UNAVAILABLE ((NTSTATUS)0xC0020017L)
#endif

static_assert(sizeof(void *) != 4 || sizeof(WKSTA_INFO_100) == 20, "WKSTA_INFO_100");
static_assert(sizeof(void *) != 4 || sizeof(SERVER_INFO_101) == 24, "SERVER_INFO_101");
static_assert(sizeof(void *) != 4 || (sizeof(SHARE_INFO_2) == 32 && sizeof(SHARE_INFO_502) == 40 &&
                                      sizeof(SHARE_INFO_1501) == 8),
              "SHARE_INFO records");
static_assert(sizeof(void *) != 4 || (sizeof(LSA_UNICODE_STRING) == 8 && sizeof(LSA_TRUST_INFORMATION) == 12 &&
                                      sizeof(LSA_OBJECT_ATTRIBUTES) == 24),
              "LSA records");

namespace {


std::string ComputerName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name;
    EXPECT_TRUE(GetComputerNameA(name, &size));
    return name;
}

TEST(Workstation, LanGroupIsTheWorkgroupOrTheDomain) {
    SKIP_ON_WINE("NetWkstaGetInfo names the Unix host's domain as the LAN group, not the workgroup");
    LPBYTE buffer = nullptr;
    ASSERT_EQ(NetWkstaGetInfo(nullptr, 100, &buffer), (DWORD)NERR_Success);
    WKSTA_INFO_100 *info = (WKSTA_INFO_100 *)buffer;
    EXPECT_EQ(info->wki100_platform_id, (DWORD)PLATFORM_ID_NT);
    EXPECT_EQ(Text(info->wki100_computername), ComputerName());
    EXPECT_EQ(Text(info->wki100_langroup), "WORKGROUP");
    EXPECT_EQ(NetApiBufferFree(buffer), (DWORD)NERR_Success);

    SEEDED_OR_SKIP(JoinDomain("CORP", {"CORPDC1"}, {}));
    ASSERT_EQ(NetWkstaGetInfo(nullptr, 100, &buffer), (DWORD)NERR_Success);
    EXPECT_EQ(Text(((WKSTA_INFO_100 *)buffer)->wki100_langroup), "CORP");
    NetApiBufferFree(buffer);

    EXPECT_EQ(NetWkstaGetInfo(nullptr, 101, &buffer), (DWORD)ERROR_INVALID_LEVEL);
    std::vector<WCHAR> nobody = Wide("NOSUCHHOST");
    EXPECT_EQ(NetWkstaGetInfo(nobody.data(), 100, &buffer), (DWORD)ERROR_BAD_NETPATH);
}

DWORD ServerType(const char *server) {
    std::vector<WCHAR> name = Wide(server ? server : "");
    LPBYTE buffer = nullptr;
    NET_API_STATUS st = NetServerGetInfo(server ? name.data() : nullptr, 101, &buffer);
    if (st != NERR_Success) return 0xFFFFFFFF;
    DWORD type = ((SERVER_INFO_101 *)buffer)->sv101_type;
    NetApiBufferFree(buffer);
    return type;
}

TEST(Server, TypeBitsTellTheRole) {
    SKIP_ON_WINE("NetServerGetInfo leaves SV_TYPE_SERVER_NT out of the type bits");
    DWORD type = ServerType(nullptr);
    EXPECT_TRUE(type & SV_TYPE_SERVER_NT);
    EXPECT_FALSE(type & (SV_TYPE_DOMAIN_CTRL | SV_TYPE_DOMAIN_BAKCTRL));

    // The domain's controllers answer for themselves.
    SEEDED_OR_SKIP(JoinDomain("CORP", {"CORPDC1", "CORPDC2"}, {}));
    EXPECT_TRUE(ServerType("CORPDC1") & SV_TYPE_DOMAIN_CTRL);
    EXPECT_FALSE(ServerType("CORPDC1") & SV_TYPE_DOMAIN_BAKCTRL);
    EXPECT_TRUE(ServerType("\\\\CORPDC2") & SV_TYPE_DOMAIN_BAKCTRL);
    EXPECT_EQ(ServerType("ELSEWHERE"), 0xFFFFFFFFu);
}

TEST(DomainControllers, NamedWithLeadingBackslashes) {
    LPBYTE buffer = nullptr;
    EXPECT_EQ(NetGetDCName(nullptr, nullptr, &buffer), (DWORD)NERR_DCNotFound);
    SEEDED_OR_SKIP(JoinDomain("CORP", {"CORPDC1", "CORPDC2"}, {}));
    std::vector<WCHAR> corp = Wide("CORP");
    ASSERT_EQ(NetGetDCName(nullptr, corp.data(), &buffer), (DWORD)NERR_Success);
    EXPECT_EQ(Text((WCHAR *)buffer), "\\\\CORPDC1");
    NetApiBufferFree(buffer);
    std::vector<WCHAR> other = Wide("OTHER");
    EXPECT_EQ(NetGetDCName(nullptr, other.data(), &buffer), (DWORD)NERR_DCNotFound);
}

class Lsa : public ::testing::Test {
protected:
    void TearDown() override {
        if (policy) LsaClose(policy);
    }
    NTSTATUS Open(const char *server) {
        LSA_OBJECT_ATTRIBUTES attributes = {};
        std::vector<WCHAR> name = Wide(server ? server : "");
        LSA_UNICODE_STRING system = {(USHORT)((name.size() - 1) * 2), (USHORT)(name.size() * 2), name.data()};
        return LsaOpenPolicy(server ? &system : nullptr, &attributes, POLICY_VIEW_LOCAL_INFORMATION, &policy);
    }
    std::string Query(POLICY_INFORMATION_CLASS cls, bool *hasSid) {
        PVOID buffer = nullptr;
        EXPECT_EQ(LsaQueryInformationPolicy(policy, cls, &buffer), STATUS_SUCCESS);
        if (!buffer) return "<none>";
        POLICY_PRIMARY_DOMAIN_INFO *info = (POLICY_PRIMARY_DOMAIN_INFO *)buffer;
        std::string name = Text(info->Name.Buffer);
        EXPECT_EQ(info->Name.Length, name.size() * 2);
        *hasSid = info->Sid != nullptr;
        LsaFreeMemory(buffer);
        return name;
    }
    std::vector<std::string> Trusts(ULONG preferred, std::vector<NTSTATUS> &statuses) {
        std::vector<std::string> names;
        LSA_ENUMERATION_HANDLE context = 0;
        for (int guard = 0; guard < 20; ++guard) {
            PVOID buffer = nullptr;
            ULONG count = 0;
            NTSTATUS st = LsaEnumerateTrustedDomains(policy, &context, &buffer, preferred, &count);
            statuses.push_back(st);
            for (ULONG i = 0; i < count; ++i) names.push_back(Text(((LSA_TRUST_INFORMATION *)buffer)[i].Name.Buffer));
            if (buffer) LsaFreeMemory(buffer);
            if (st != STATUS_SUCCESS && st != STATUS_MORE_ENTRIES) break;
        }
        return names;
    }
    LSA_HANDLE policy = nullptr;
};

TEST_F(Lsa, AWorkgroupMachineHasNoPrimaryDomainSid) {
    SKIP_ON_WINE("the primary domain is named \"DOMAIN\", not the workgroup, and LsaEnumerateTrustedDomains succeeds forever without STATUS_NO_MORE_ENTRIES");
    ASSERT_EQ(Open(nullptr), STATUS_SUCCESS);
    bool hasSid = true;
    EXPECT_EQ(Query(PolicyPrimaryDomainInformation, &hasSid), "WORKGROUP");
    EXPECT_FALSE(hasSid);
    EXPECT_EQ(Query(PolicyAccountDomainInformation, &hasSid), ComputerName());
    EXPECT_TRUE(hasSid);
    std::vector<NTSTATUS> statuses;
    EXPECT_TRUE(Trusts(32000, statuses).empty());
    EXPECT_EQ(statuses, std::vector<NTSTATUS>{STATUS_NO_MORE_ENTRIES});
}

TEST_F(Lsa, AMemberNamesItsDomainAndTheControllerItsTrusts) {
    SEEDED_OR_SKIP(JoinDomain("CORP", {"CORPDC1"}, {"SALES", "ENGINEERING", "HQ"}));
    ASSERT_EQ(Open(nullptr), STATUS_SUCCESS);
    bool hasSid = false;
    EXPECT_EQ(Query(PolicyPrimaryDomainInformation, &hasSid), "CORP");
    EXPECT_TRUE(hasSid);
    LsaClose(policy);
    policy = nullptr;
    ASSERT_EQ(Open("CORPDC1"), STATUS_SUCCESS);
    EXPECT_EQ(Query(PolicyAccountDomainInformation, &hasSid), "CORP");
    std::vector<NTSTATUS> statuses;
    EXPECT_EQ(Trusts(32000, statuses), (std::vector<std::string>{"SALES", "ENGINEERING", "HQ"}));
    EXPECT_EQ(statuses, (std::vector<NTSTATUS>{STATUS_SUCCESS, STATUS_NO_MORE_ENTRIES}));
    // A small preferred length pages one entry at a time.
    statuses.clear();
    EXPECT_EQ(Trusts(1, statuses).size(), 3u);
    EXPECT_EQ(statuses,
              (std::vector<NTSTATUS>{STATUS_MORE_ENTRIES, STATUS_MORE_ENTRIES, STATUS_SUCCESS, STATUS_NO_MORE_ENTRIES}));
}

TEST_F(Lsa, AnUnreachableServerAndItsWin32Error) {
    SKIP_ON_WINE("LsaOpenPolicy of an unreachable system fails with STATUS_ACCESS_VIOLATION, not RPC_NT_SERVER_UNAVAILABLE");
    NTSTATUS st = Open("NOSUCHHOST");
    EXPECT_EQ(st, RPC_NT_SERVER_UNAVAILABLE);
    EXPECT_EQ(LsaNtStatusToWinError(st), (ULONG)RPC_S_SERVER_UNAVAILABLE);
    EXPECT_EQ(LsaNtStatusToWinError(STATUS_ACCESS_DENIED), (ULONG)ERROR_ACCESS_DENIED);
    EXPECT_EQ(LsaNtStatusToWinError(STATUS_NO_MORE_ENTRIES), (ULONG)ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(LsaNtStatusToWinError(STATUS_SUCCESS), (ULONG)ERROR_SUCCESS);
}

}  // namespace
