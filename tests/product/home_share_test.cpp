// The product's hidden home share "Quillbak$" and its access list, the
// share-security class beneath it, and the trusted-domain list.
#include <gtest/gtest.h>

#include <windows.h>
#include <lm.h>

#include <winsim/machine.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "afxcombo.h"
#include "system/Computer.h"
#include "system/ShareSecurity.h"

namespace winsim {
void PrintTo(const ShareAccessEntry &e, std::ostream *os) {
    *os << (e.allow ? "allow " : "deny ") << e.account << " 0x" << std::hex << e.mask << std::dec;
}
}  // namespace winsim

namespace {

using Entries = std::vector<winsim::ShareAccessEntry>;

winsim::Machine &M() { return winsim::LocalMachine(); }

const Entries kStandardList = {{"BUILTIN\\Administrators", true, 0x1F01FF},
                               {"BUILTIN\\Backup Operators", true, 0x1301BF},
                               {"Everyone", true, 0x1200A9}};

Entries ListOfHomeShare() { return winsim::ShareAccessList(M(), "Quillbak$"); }

bool HasHomeShare() { return M().shares.count("Quillbak$") != 0; }

// No entry of the share gives Everyone any right, and the share has an
// access list at all (a share without one is open to everybody).
bool ClosedToEveryone() {
    if (!HasHomeShare()) return true;
    if (M().shares["Quillbak$"].securityDescriptor.empty()) return false;
    for (const winsim::ShareAccessEntry &e : ListOfHomeShare())
        if (e.account == "Everyone" && e.allow && e.mask != 0) return false;
    return true;
}

class HomeShare : public ::testing::Test {
protected:
    void SetUp() override {
        M().MakeDirs("C:\\Program Files\\Quillbak");
        M().MakeDirs("C:\\Other");
        M().AddAccount("svcbackup", 1);
    }
};

TEST_F(HomeShare, CreatedWithTheAccountFirstAndNoEmptyEntry) {
    ASSERT_TRUE(CComputer::CreateQuillbakHomeShare("C:\\Program Files\\Quillbak\\", NULL, "svcbackup"));
    const winsim::Share &share = M().shares["Quillbak$"];
    EXPECT_EQ(share.path, "C:\\Program Files\\Quillbak");
    EXPECT_EQ(share.remark, "QuillbakIT System Directory");
    EXPECT_EQ(share.type, (DWORD)STYPE_DISKTREE);
    EXPECT_EQ(share.maxUses, 0xFFFFFFFFu);
    Entries expected = {{"QLSERVER\\svcbackup", true, 0x1F01FF}};
    expected.insert(expected.end(), kStandardList.begin(), kStandardList.end());
    EXPECT_EQ(ListOfHomeShare(), expected);
}

TEST_F(HomeShare, WithoutAnAccountTheStandardList) {
    ASSERT_TRUE(CComputer::CreateQuillbakHomeShare("C:\\Program Files\\Quillbak", "", NULL));
    EXPECT_EQ(ListOfHomeShare(), kStandardList);
    ASSERT_TRUE(CComputer::CreateQuillbakHomeShare("C:\\Other", NULL, ""));
    EXPECT_EQ(ListOfHomeShare(), kStandardList);
}

TEST_F(HomeShare, ADomainAccountLookedUpOnTheGivenSystem) {
    M().domain = "CORP";
    M().domainSid = "S-1-5-21-7-8-9";
    M().domainControllers = {"CORPDC1"};
    M().AddAccount("svcql", 1, "CORP");
    ASSERT_TRUE(CComputer::CreateQuillbakHomeShare("C:\\Other", "CORPDC1", "CORP\\svcql"));
    EXPECT_EQ(ListOfHomeShare().front(), (winsim::ShareAccessEntry{"CORP\\svcql", true, 0x1F01FF}));
}

TEST_F(HomeShare, TheSameDirectoryIsKeptAsItIs) {
    ASSERT_TRUE(CComputer::CreateQuillbakHomeShare("C:\\Program Files\\Quillbak", NULL, NULL));
    unsigned adds = winsim::CallCount("NetShareAdd"), deletes = winsim::CallCount("NetShareDel");
    EXPECT_TRUE(CComputer::CreateQuillbakHomeShare("c:\\program files\\QUILLBAK\\", NULL, "svcbackup"));
    EXPECT_EQ(winsim::CallCount("NetShareAdd"), adds);
    EXPECT_EQ(winsim::CallCount("NetShareDel"), deletes);
    EXPECT_EQ(ListOfHomeShare(), kStandardList);  // the account was not added
}

TEST_F(HomeShare, AnotherDirectoryIsSharedAnew) {
    ASSERT_TRUE(CComputer::CreateQuillbakHomeShare("C:\\Other", NULL, NULL));
    ASSERT_TRUE(CComputer::CreateQuillbakHomeShare("C:\\Program Files\\Quillbak", NULL, "svcbackup"));
    EXPECT_EQ(M().shares["Quillbak$"].path, "C:\\Program Files\\Quillbak");
    EXPECT_EQ(ListOfHomeShare().size(), 4u);
}

TEST_F(HomeShare, AnUnknownAccountLeavesTheShareClosed) {
    EXPECT_FALSE(CComputer::CreateQuillbakHomeShare("C:\\Other", NULL, "nobody"));
    ASSERT_TRUE(HasHomeShare());
    EXPECT_EQ(ListOfHomeShare(), (Entries{{"Everyone", true, 0}}));
}

TEST_F(HomeShare, AMissingDirectoryOrAnOverlongPathFails) {
    EXPECT_FALSE(CComputer::CreateQuillbakHomeShare("C:\\Missing", NULL, NULL));
    EXPECT_FALSE(HasHomeShare());
    EXPECT_FALSE(CComputer::CreateQuillbakHomeShare(("C:\\" + std::string(600, 'x')).c_str(), NULL, NULL));
    EXPECT_FALSE(CComputer::CreateQuillbakHomeShare("", NULL, NULL));
    EXPECT_FALSE(CComputer::CreateQuillbakHomeShare(NULL, NULL, NULL));
}

TEST_F(HomeShare, DeletedByName) {
    ASSERT_TRUE(CComputer::CreateQuillbakHomeShare("C:\\Other", NULL, NULL));
    EXPECT_EQ(CComputer::DeleteQuillbakHomeShare(), (DWORD)NERR_Success);
    EXPECT_FALSE(HasHomeShare());
    EXPECT_EQ(CComputer::DeleteQuillbakHomeShare(), (DWORD)NERR_NetNameNotFound);
}

// Every network and security call the creation makes, failing at each of
// its calls in turn: the result is TRUE only with the full list in place,
// and a share that stays is never open to Everyone.
TEST_F(HomeShare, NoFailureLeavesTheShareOpen) {
    const char *functions[] = {"NetShareGetInfo",          "NetShareDel",
                               "NetShareAdd",              "NetShareSetInfo",
                               "NetApiBufferFree",         "AllocateAndInitializeSid",
                               "InitializeAcl",            "AddAccessAllowedAce",
                               "InitializeSecurityDescriptor", "SetSecurityDescriptorDacl",
                               "OpenProcessToken",         "LookupPrivilegeValueA",
                               "AdjustTokenPrivileges",    "CreatePrivateObjectSecurity",
                               "GetPrivateObjectSecurity", "MakeAbsoluteSD",
                               "SetPrivateObjectSecurity", "LookupAccountNameA",
                               "IsValidSid",               "GetSecurityDescriptorDacl",
                               "GetAclInformation",        "GetAce",
                               "IsValidAcl",               "IsValidSecurityDescriptor",
                               "SetSecurityDescriptorOwner", "GetSecurityDescriptorSacl",
                               "EqualSid",                 "MultiByteToWideChar",
                               "WideCharToMultiByte",      "LocalAlloc"};
    Entries full = {{"QLSERVER\\svcbackup", true, 0x1F01FF}};
    full.insert(full.end(), kStandardList.begin(), kStandardList.end());
    int failures = 0;
    for (const char *fn : functions) {
        for (unsigned nth = 1; nth <= 12; ++nth) {
            // An earlier share of another directory, so deletion runs too.
            M().shares.erase("Quillbak$");
            ASSERT_TRUE(CComputer::CreateQuillbakHomeShare("C:\\Other", NULL, NULL));
            unsigned before = winsim::CallCount(fn);
            std::string openBefore = winsim::DescribeOpenHandles();
            winsim::InjectFault(fn, ERROR_ACCESS_DENIED, winsim::FaultMode::Nth, nth);
            BOOL ok = CComputer::CreateQuillbakHomeShare("C:\\Program Files\\Quillbak", NULL, "svcbackup");
            bool fired = winsim::CallCount(fn) >= before + nth;
            winsim::ClearFaults();
            // A free that failed keeps its block; nothing else may stay open.
            if (std::string(fn) != "NetApiBufferFree") {
                EXPECT_EQ(winsim::DescribeOpenHandles(), openBefore) << fn << " #" << nth;
            }
            if (ok) {
                ASSERT_TRUE(HasHomeShare()) << fn << " #" << nth;
                EXPECT_EQ(ListOfHomeShare(), full) << fn << " #" << nth;
            } else {
                ++failures;
                if (HasHomeShare() && M().shares["Quillbak$"].path == "C:\\Other")
                    EXPECT_EQ(ListOfHomeShare(), kStandardList) << fn << " #" << nth;  // untouched
                else
                    EXPECT_TRUE(ClosedToEveryone()) << fn << " #" << nth;
            }
            if (!fired) break;
        }
    }
    EXPECT_GT(failures, 20);
    winsim::ForgetOpenHandles();  // the buffers whose free was made to fail
}

TEST_F(HomeShare, TheFinalListNotAppliedIsReported) {
    // The second level-1501 call applies the full list.
    winsim::InjectFault("NetShareSetInfo", ERROR_ACCESS_DENIED, winsim::FaultMode::Nth, 2);
    EXPECT_FALSE(CComputer::CreateQuillbakHomeShare("C:\\Other", NULL, "svcbackup"));
    ASSERT_TRUE(HasHomeShare());
    EXPECT_EQ(ListOfHomeShare(), (Entries{{"Everyone", true, 0}}));
}

TEST_F(HomeShare, ADescriptorThatCannotBeSetRemovesTheNewShare) {
    winsim::InjectFault("NetShareSetInfo", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CComputer::CreateQuillbakHomeShare("C:\\Other", NULL, NULL));
    EXPECT_FALSE(HasHomeShare());
}

// ---- the share-security class ----------------------------------------------------------------
TEST(ShareSecurity, StartsWithEveryoneWithoutRights) {
    M().MakeDirs("C:\\S");
    CShareSecurity security;
    EXPECT_NE(security.PrivateDescriptor(), nullptr);
    std::vector<WCHAR> name = {'S', 'e', 'c', 0}, path = {'C', ':', '\\', 'S', 0}, remark = {0};
    ASSERT_TRUE(security.CreateShare(name.data(), path.data(), remark.data(), NULL, FALSE));
    EXPECT_EQ(winsim::ShareAccessList(M(), "Sec"), (Entries{{"Everyone", true, 0}}));
    EXPECT_EQ(M().shares["Sec"].permissions, (DWORD)ACCESS_CREATE);
}

TEST(ShareSecurity, DenyEntriesGoFirstAndRemovalFindsTheSid) {
    M().MakeDirs("C:\\S");
    CShareSecurity security;
    ASSERT_TRUE(security.AddEntry(NULL, "Guest", QL_SHARE_READ, FALSE));
    ASSERT_TRUE(security.AddEntry(NULL, "Administrators", GENERIC_ALL));  // generic rights are mapped
    std::vector<WCHAR> name = {'S', 0}, path = {'C', ':', '\\', 'S', 0}, remark = {0};
    ASSERT_TRUE(security.CreateShare(name.data(), path.data(), remark.data(), NULL, FALSE));
    EXPECT_EQ(winsim::ShareAccessList(M(), "S"),
              (Entries{{"QLSERVER\\Guest", false, 0x1200A9}, {"Everyone", true, 0}, {"BUILTIN\\Administrators", true, 0x1F01FF}}));

    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID backup = NULL;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, 32, 551, 0, 0, 0, 0, 0, 0, &backup));
    EXPECT_FALSE(security.RemoveEntry(backup));
    EXPECT_EQ(security.LastError(), (DWORD)ERROR_PRIVILEGE_NOT_HELD);
    FreeSid(backup);
    EXPECT_FALSE(security.AddEntry(NULL, "nobody", QL_SHARE_READ));
    EXPECT_EQ(security.LastError(), (DWORD)ERROR_NONE_MAPPED);
}

// ---- trusted domains ---------------------------------------------------------------------------
class TrustedDomains : public ::testing::Test {
protected:
    void SetUp() override {
        box.m_hWnd = CreateWindowExA(0, "COMBOBOX", "", CBS_DROPDOWNLIST, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    }
    void TearDown() override { DestroyWindow(box.m_hWnd); }
    std::vector<std::string> Run(LPWSTR server = NULL) {
        testing::internal::CaptureStdout();
        CComputer computer;
        EXPECT_EQ(computer.DisplayTrustedDomains(server, &box), 0);
        out = testing::internal::GetCapturedStdout();
        return winsim::ComboBoxStrings(box.m_hWnd);
    }
    void Join(const std::vector<std::string> &trusts) {
        M().domain = "CORP";
        M().domainSid = "S-1-5-21-7-8-9";
        M().domainControllers = {"CORPDC1"};
        M().trustedDomains = trusts;
    }
    CComboBox box;
    std::string out;
};

TEST_F(TrustedDomains, AWorkgroupMachineListsItself) {
    EXPECT_EQ(Run(), (std::vector<std::string>{"QLSERVER"}));
    EXPECT_EQ(out, "");
}

TEST_F(TrustedDomains, AMemberListsItselfItsDomainAndItsTrusts) {
    Join({"SALES", "HQ"});
    EXPECT_EQ(Run(), (std::vector<std::string>{"QLSERVER", "CORP", "SALES", "HQ"}));
}

TEST_F(TrustedDomains, AControllerListsItsDomainAndTrusts) {
    Join({"SALES", "HQ"});
    M().productType = VER_NT_DOMAIN_CONTROLLER;
    M().domainControllers = {"QLSERVER"};
    EXPECT_EQ(Run(), (std::vector<std::string>{"CORP", "SALES", "HQ"}));
}

TEST_F(TrustedDomains, AtMostSixtyFourNames) {
    std::vector<std::string> many;
    for (int i = 0; i < 100; ++i) many.push_back("D" + std::to_string(i));
    Join(many);
    std::vector<std::string> names = Run();
    ASSERT_EQ(names.size(), 64u);
    EXPECT_EQ(names[2], "D0");
    EXPECT_EQ(names[63], "D61");
}

TEST_F(TrustedDomains, FailuresArePrintedAndTheBoxStaysEmpty) {
    winsim::InjectFault("LsaOpenPolicy", (DWORD)0xC0000022L);
    EXPECT_TRUE(Run().empty());
    EXPECT_EQ(out, "BuildTrustList error! (rc=5)\n");

    Join({"SALES"});
    M().domainControllers.clear();
    EXPECT_TRUE(Run().empty());
    EXPECT_EQ(out, "BuildTrustList error! (rc=2453)\n");

    Join({"SALES"});
    winsim::InjectFault("LsaEnumerateTrustedDomains", (DWORD)0xC0000022L);
    EXPECT_TRUE(Run().empty());
    EXPECT_EQ(out, "BuildTrustList error! (rc=5)\n");
}

TEST_F(TrustedDomains, NoTableNoList) {
    winsim::InjectFault("HeapAlloc", ERROR_NOT_ENOUGH_MEMORY);
    testing::internal::CaptureStdout();
    CComputer computer;
    EXPECT_EQ(computer.DisplayTrustedDomains(NULL, &box), 13);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "HeapAlloc error!\n");
}

TEST_F(TrustedDomains, AskingAnotherServer) {
    Join({"SALES"});
    std::vector<WCHAR> dc = {'C', 'O', 'R', 'P', 'D', 'C', '1', 0};
    EXPECT_EQ(Run(dc.data()), (std::vector<std::string>{"CORP", "SALES"}));
}

}  // namespace

namespace {

// Texts coming back from the network and security functions are bounded by
// the buffers they go into: an overlong one is refused, never cut short
// into a neighbour's memory.
TEST(BoundedTexts, OverlongNamesFromTheNetworkAreRefused) {
    M().workgroup = std::string(300, 'W');
    char domain[256 + 16];
    memset(domain, '#', sizeof domain);
    DWORD length = 0;
    EXPECT_FALSE(CComputer::GetDomain(domain, &length, NULL));
    EXPECT_EQ(domain[256], '#');
    CComputer c;
    EXPECT_EQ(c.Domain(), "");

    M().workgroup = "WORKGROUP";
    M().domain = "CORP";
    M().domainSid = "S-1-5-21-7-8-9";
    M().domainControllers = {"CORPDC1"};
    M().trustedDomains = {std::string(300, 'T'), "SALES"};
    CComboBox box(CreateWindowExA(0, "COMBOBOX", "", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL));
    testing::internal::CaptureStdout();
    EXPECT_EQ(c.DisplayTrustedDomains(NULL, &box), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(winsim::ComboBoxStrings(box.m_hWnd), (std::vector<std::string>{"QLSERVER", "CORP", "SALES"}));
    DestroyWindow(box.m_hWnd);
}

}  // namespace
