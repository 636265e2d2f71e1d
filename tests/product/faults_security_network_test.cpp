// Failures of the security, LSA, network and service calls the library
// makes: the share access list, the administrator check, the trust list,
// the service account, the connection to another machine and services.
#include <gtest/gtest.h>

#include <windows.h>
#include <lm.h>
#include <ntsecapi.h>

#include <winsim/machine.h>

#include <string>
#include <vector>

#include "afxcombo.h"
#include "afxexcept.h"
#include "system/Computer.h"
#include "system/CurrentUser.h"
#include "system/QLRemote.h"
#include "system/Service.h"
#include "system/ShareSecurity.h"
#include "system/SystemAccount.h"
#include "remote_target.h"

namespace winsim {
void PrintTo(const ShareAccessEntry &e, std::ostream *os);
}  // namespace winsim

namespace {

using Entries = std::vector<winsim::ShareAccessEntry>;

winsim::Machine &M() { return winsim::LocalMachine(); }

const DWORD kStatusAccessDenied = 0xC0000022u;

// ---- the share's access list -------------------------------------------------------------------
// An entry that cannot be added leaves the list as it was and tells why.
TEST(SecurityFaults, AnEntryThatCannotBeMadeLeavesTheListAsItWas) {
    struct Case {
        const char *function;
        DWORD error;  // what LastError tells
    } const cases[] = {
        {"AddAccessDeniedAce", ERROR_NOT_ENOUGH_MEMORY},
        {"GetLengthSid", ERROR_ALLOTTED_SPACE_EXCEEDED},  // the list is made too small for the entry
        {"GetSecurityDescriptorOwner", ERROR_INVALID_SECURITY_DESCR},
        {"GetSecurityDescriptorGroup", ERROR_INVALID_SECURITY_DESCR},
        {"SetSecurityDescriptorSacl", ERROR_INVALID_SECURITY_DESCR},
        {"SetSecurityDescriptorGroup", ERROR_INVALID_SECURITY_DESCR},
    };
    M().MakeDirs("C:\\S");
    for (const Case &c : cases) {
        M().shares.erase("S");
        std::string open = winsim::DescribeOpenHandles();
        {
            CShareSecurity security;
            ASSERT_TRUE(security.AddEntry(NULL, "Administrators", GENERIC_ALL)) << c.function;
            unsigned before = winsim::CallCount(c.function);
            winsim::InjectFault(c.function, c.function == std::string("GetLengthSid") ? ERROR_INVALID_SID : c.error);
            EXPECT_FALSE(security.AddEntry(NULL, "Guest", QL_SHARE_READ, FALSE)) << c.function;
            EXPECT_GT(winsim::CallCount(c.function), before) << c.function;
            EXPECT_EQ(security.LastError(), c.error) << c.function;
            winsim::ClearFaults();
            std::vector<WCHAR> name = {'S', 0}, path = {'C', ':', '\\', 'S', 0}, remark = {0};
            ASSERT_TRUE(security.CreateShare(name.data(), path.data(), remark.data(), NULL, FALSE)) << c.function;
            EXPECT_EQ(winsim::ShareAccessList(M(), "S"),
                      (Entries{{"Everyone", true, 0}, {"BUILTIN\\Administrators", true, 0x1F01FF}}))
                << c.function;
        }
        EXPECT_EQ(winsim::DescribeOpenHandles(), open) << c.function;
    }
}

TEST(SecurityFaults, APrivateDescriptorThatCannotBeDestroyedStaysCountedAlone) {
    std::string open = winsim::DescribeOpenHandles();
    {
        CShareSecurity security;
        ASSERT_NE(security.PrivateDescriptor(), nullptr);
        winsim::InjectFault("DestroyPrivateObjectSecurity", ERROR_INVALID_SECURITY_DESCR);
    }
    EXPECT_EQ(winsim::CallCount("DestroyPrivateObjectSecurity"), 1u);
    std::string left = winsim::DescribeOpenHandles();
    EXPECT_NE(left, open);
    winsim::ForgetOpenHandles();
}

// ---- the administrator check ---------------------------------------------------------------
// Cleaning up after the check cannot change its answer; only what failed to
// be freed stays.
TEST(SecurityFaults, TheAdministratorCheckAnswersWhateverItsCleanUpDoes) {
    struct Case {
        const char *function;
        bool leaves;
    } const cases[] = {{"FreeSid", true}, {"RevertToSelf", false}, {"DestroyPrivateObjectSecurity", true}};
    for (const Case &c : cases) {
        std::string open = winsim::DescribeOpenHandles();
        winsim::InjectFault(c.function, ERROR_ACCESS_DENIED);
        EXPECT_TRUE(CCurrentUser::IsAdministrator()) << c.function;
        EXPECT_EQ(winsim::CallCount(c.function), 1u) << c.function;
        winsim::ClearFaults();
        if (!c.leaves) {
            EXPECT_EQ(winsim::DescribeOpenHandles(), open) << c.function;
        }
        RevertToSelf();
        winsim::ForgetOpenHandles();
        winsim::ResetWorld();
        winsim::CreateDefaultMachine();
    }
    // A plain user is still told apart after a failed revert.
    winsim::InjectFault("RevertToSelf", ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CCurrentUser::IsAdministrator());
    RevertToSelf();
    winsim::Account &a = M().AddAccount("bob", SidTypeUser);
    M().aliasMembers["S-1-5-32-545"].insert(a.sid);
    M().userName = "bob";
    EXPECT_FALSE(CCurrentUser::IsAdministrator());
}

// ---- the trust list ------------------------------------------------------------------------
class TrustFaults : public ::testing::Test {
protected:
    void SetUp() override {
        box.m_hWnd = CreateWindowExA(0, "COMBOBOX", "", CBS_DROPDOWNLIST, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
        M().domain = "CORP";
        M().domainSid = "S-1-5-21-7-8-9";
        M().domainControllers = {"CORPDC1"};
        M().trustedDomains = {"SALES"};
    }
    void TearDown() override { DestroyWindow(box.m_hWnd); }
    std::vector<std::string> Run(int expected = 0) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        CComputer computer;
        EXPECT_EQ(computer.DisplayTrustedDomains(NULL, &box), expected);
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
        std::vector<std::string> names = winsim::ComboBoxStrings(box.m_hWnd);
        SendMessageA(box.m_hWnd, CB_RESETCONTENT, 0, 0);
        return names;
    }
    CComboBox box;
    std::string out, err;
    const std::vector<std::string> kFull = {"QLSERVER", "CORP", "SALES"};
};

// A buffer, handle or name that cannot be given back does not change the list.
TEST_F(TrustFaults, ReleasesThatFailDoNotChangeTheList) {
    for (const char *function : {"LsaFreeMemory", "LsaClose", "HeapFree"}) {
        DWORD error = std::string(function) == "HeapFree" ? ERROR_INVALID_PARAMETER : kStatusAccessDenied;
        winsim::InjectFault(function, error, winsim::FaultMode::Always);
        EXPECT_EQ(Run(), kFull) << function;
        EXPECT_GE(winsim::CallCount(function), 2u) << function;
        EXPECT_EQ(out, "") << function;
        winsim::ClearFaults();
        winsim::ForgetOpenHandles();
    }
}

TEST_F(TrustFaults, APolicyThatCannotBeQueriedIsReportedAndClosed) {
    std::string open = winsim::DescribeOpenHandles();
    // The account domain first, then the primary domain.
    for (unsigned nth : {1u, 2u}) {
        winsim::InjectFault("LsaQueryInformationPolicy", kStatusAccessDenied, winsim::FaultMode::Nth, nth);
        EXPECT_TRUE(Run().empty()) << nth;
        EXPECT_EQ(out, "BuildTrustList error! (rc=5)\n") << nth;
        EXPECT_EQ(winsim::DescribeOpenHandles(), open) << nth;
        winsim::ClearFaults();
    }
    EXPECT_EQ(Run(), kFull);
}

TEST_F(TrustFaults, NoHeapNoList) {
    winsim::InjectFault("GetProcessHeap", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_TRUE(Run(ERROR_INVALID_DATA).empty());
    EXPECT_EQ(out, "HeapAlloc error!\n");
}

// The system's text for the failure goes to standard error; without it
// only the number is shown, and the text's buffer is freed either way.
TEST_F(TrustFaults, TheErrorsTextIsShownWhenItCanBeHad) {
    winsim::InjectFault("LsaOpenPolicy", kStatusAccessDenied);
    Run();
    EXPECT_EQ(out, "BuildTrustList error! (rc=5)\n");
    EXPECT_EQ(err, "Access is denied.\r\n");

    std::string open = winsim::DescribeOpenHandles();
    winsim::InjectFault("LsaOpenPolicy", kStatusAccessDenied);
    winsim::InjectFault("FormatMessageA", ERROR_RESOURCE_LANG_NOT_FOUND);
    EXPECT_TRUE(Run().empty());
    EXPECT_EQ(out, "BuildTrustList error! (rc=5)\n");
    EXPECT_EQ(err, "");
    EXPECT_EQ(winsim::DescribeOpenHandles(), open);

    winsim::InjectFault("LsaOpenPolicy", kStatusAccessDenied);
    winsim::InjectFault("LocalFree", ERROR_INVALID_HANDLE);
    Run();
    EXPECT_EQ(err, "Access is denied.\r\n");
    EXPECT_EQ(winsim::CallCount("LocalFree"), 2u);
    winsim::ForgetOpenHandles();
}

TEST(NetworkFaults, AServerWhoseRoleCannotBeReadIsNoController) {
    M().productType = VER_NT_DOMAIN_CONTROLLER;
    M().domain = "CORP";
    M().domainSid = "S-1-5-21-7-8-9";
    M().domainControllers = {"QLSERVER"};
    ASSERT_TRUE(CComputer::IsPrimaryDomainController(NULL));
    std::string open = winsim::DescribeOpenHandles();
    winsim::InjectFault("NetServerGetInfo", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CComputer::IsPrimaryDomainController(NULL));
    EXPECT_EQ(winsim::DescribeOpenHandles(), open);
}

// ---- the service account ------------------------------------------------------------------
const char *kBackup = "S-1-5-32-551";

TEST(AccountFaults, AnAliasThatCannotGetItsAccountObjectFailsCreation) {
    M().lsaAccounts.erase(kBackup);
    std::string open = winsim::DescribeOpenHandles();
    winsim::InjectFault("LsaCreateAccount", kStatusAccessDenied);
    CSystemAccount account("QLSERVER", "QLSERVER", "qlsvc", "Secret1");
    EXPECT_FALSE(account.Create());
    EXPECT_EQ(winsim::CallCount("LsaCreateAccount"), 1u);
    EXPECT_EQ(M().lsaAccounts.count(kBackup), 0u);
    EXPECT_EQ(winsim::DescribeOpenHandles(), open);
    // The next attempt creates it.
    EXPECT_TRUE(account.Create());
    ASSERT_EQ(M().lsaAccounts.count(kBackup), 1u);
    EXPECT_EQ(M().lsaAccounts[kBackup].systemAccess, 0x17u);
}

TEST(AccountFaults, PolicyHandlesThatCannotBeClosedDoNotFailCreation) {
    winsim::InjectFault("LsaClose", kStatusAccessDenied, winsim::FaultMode::Always);
    CSystemAccount account("QLSERVER", "QLSERVER", "qlsvc", "Secret1");
    EXPECT_TRUE(account.Create());
    EXPECT_GE(winsim::CallCount("LsaClose"), 2u);
    EXPECT_TRUE(M().lsaAccounts[kBackup].privileges.count("SeBackupPrivilege"));
    winsim::ForgetOpenHandles();
}

TEST(AccountFaults, AnAssignmentThatCannotCopyTheControllersNameLeavesTheAccountWhole) {
    winsim::Machine &dc = winsim::CreateDefaultMachine("QLDC");
    dc.productType = VER_NT_DOMAIN_CONTROLLER;
    dc.domain = "CORP";
    dc.domainSid = "S-1-5-21-11-22-33";
    dc.domainControllers = {"QLDC"};
    M().domain = "CORP";
    M().domainSid = "S-1-5-21-11-22-33";
    M().domainControllers = {"QLDC"};
    CSystemAccount domainAccount("QLSERVER", "CORP", "qlsvc", "Secret1");
    ASSERT_NE(domainAccount.AccountServer(), nullptr);
    CSystemAccount local("QLSERVER", "QLSERVER", "x", "y");
    std::string open = winsim::DescribeOpenHandles();

    winsim::InjectFault("NetApiBufferAllocate", ERROR_NOT_ENOUGH_MEMORY);
    bool thrown = false;
    try {
        local = domainAccount;
    } catch (CMemoryException *e) {
        thrown = true;
        e->Delete();
    }
    EXPECT_TRUE(thrown);
    EXPECT_STREQ(local.Domain(), "QLSERVER");
    EXPECT_STREQ(local.User(), "x");
    EXPECT_TRUE(local.IsLocalAccount());
    EXPECT_EQ(local.AccountServer(), nullptr);
    EXPECT_EQ(winsim::DescribeOpenHandles(), open);

    winsim::InjectFault("NetApiBufferAllocate", ERROR_NOT_ENOUGH_MEMORY);
    thrown = false;
    try {
        CSystemAccount copy(domainAccount);
    } catch (CMemoryException *e) {
        thrown = true;
        e->Delete();
    }
    EXPECT_TRUE(thrown);
    EXPECT_EQ(winsim::DescribeOpenHandles(), open);
}

// ---- the connection to another machine -----------------------------------------------------
class RemoteFaults : public ::testing::Test {
protected:
    void SetUp() override { AddSetupAdministrator(winsim::CreateDefaultMachine("TARGET")); }
};

TEST_F(RemoteFaults, AConnectionThatCannotBeMadeIsReportedAndNotCancelled) {
    CQLRemote r("TARGET", "setupadm", "Secret1");
    winsim::InjectFault("WNetAddConnection2A", ERROR_BAD_NETPATH);
    EXPECT_EQ(r.Connect("ADMIN$", FALSE), (DWORD)ERROR_BAD_NETPATH);
    EXPECT_FALSE(r.IsConnected());
    EXPECT_TRUE(winsim::NetConnections().empty());
    r.Disconnect();
    EXPECT_EQ(winsim::CallCount("WNetCancelConnection2A"), 0u);
    // The next attempt connects.
    EXPECT_EQ(r.Connect("ADMIN$", FALSE), (DWORD)NO_ERROR);
    EXPECT_TRUE(r.IsConnected());
}

TEST_F(RemoteFaults, AConnectionThatCannotBeCancelledIsForgottenOnce) {
    {
        CQLRemote r("TARGET", "setupadm", "Secret1");
        ASSERT_EQ(r.Connect("ADMIN$", FALSE), (DWORD)NO_ERROR);
        winsim::InjectFault("WNetCancelConnection2A", ERROR_BUSY);
        r.Disconnect();
        EXPECT_FALSE(r.IsConnected());
        EXPECT_EQ(winsim::NetConnections().size(), 1u);
        r.Disconnect();  // not cancelled a second time
    }
    EXPECT_EQ(winsim::CallCount("WNetCancelConnection2A"), 1u);
    EXPECT_EQ(WNetCancelConnection2A((LPSTR) "\\\\TARGET\\ADMIN$", 0, TRUE), (DWORD)NO_ERROR);

    // A test connection whose cancel fails still reports the test passed.
    CQLRemote t("TARGET", "setupadm", "Secret1");
    winsim::InjectFault("WNetCancelConnection2A", ERROR_BUSY);
    EXPECT_EQ(t.Connect("ADMIN$", TRUE), (DWORD)NO_ERROR);
    EXPECT_FALSE(t.IsConnected());
    EXPECT_EQ(WNetCancelConnection2A((LPSTR) "\\\\TARGET\\ADMIN$", 0, TRUE), (DWORD)NO_ERROR);
}

// ---- services ---------------------------------------------------------------------------------
TEST(ServiceFaults, AServiceHandleThatCannotBeClosedDoesNotUndoTheInstallation) {
    winsim::InjectFault("CloseServiceHandle", ERROR_INVALID_HANDLE, winsim::FaultMode::Always);
    EXPECT_TRUE(CService::InstallService("QLTest", "Quillbak Test", "C:\\QB\\qltest.exe", SERVICE_WIN32_OWN_PROCESS,
                                         SERVICE_DEMAND_START, NULL, NULL, NULL, NULL));
    EXPECT_EQ(winsim::CallCount("CloseServiceHandle"), 2u);
    winsim::ClearFaults();
    EXPECT_TRUE(CService::ServiceExists("QLTest"));
    winsim::ForgetOpenHandles();
}

}  // namespace
