// The user running setup: name, domain and the administrator check.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <string>

#include "system/CurrentUser.h"

namespace {

winsim::Machine &M() { return winsim::LocalMachine(); }

// A plain user runs setup: a member of Users only.
void RunAsPlainUser(const std::string &name = "bob") {
    winsim::Account &a = M().AddAccount(name, SidTypeUser);
    M().aliasMembers["S-1-5-32-545"].insert(a.sid);
    M().userName = name;
}

// After the check the thread runs as the process again.
bool Impersonating() {
    HANDLE h = NULL;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_READ, TRUE, &h)) return false;
    CloseHandle(h);
    return true;
}

TEST(CurrentUser, NameAndDomainOfTheUserRunningSetup) {
    CCurrentUser user;
    EXPECT_STREQ(user.GetUser(), "Administrator");
    EXPECT_STREQ(user.GetDomain(), "QLSERVER");
    EXPECT_EQ(winsim::OpenTokenHandles(), 0u);
}

TEST(CurrentUser, ADomainUser) {
    M().domain = "CORP";
    M().domainSid = "S-1-5-21-11-22-33";
    M().AddAccount("setupadmin", SidTypeUser, "CORP");
    M().userName = "setupadmin";
    CCurrentUser user;
    EXPECT_STREQ(user.GetUser(), "setupadmin");
    EXPECT_STREQ(user.GetDomain(), "CORP");
}

TEST(CurrentUser, WhatCannotBeReadStaysEmpty) {
    winsim::InjectFault("GetUserNameA", ERROR_ACCESS_DENIED);
    winsim::InjectFault("GetTokenInformation", ERROR_ACCESS_DENIED);
    CCurrentUser user;
    EXPECT_STREQ(user.GetUser(), "");
    EXPECT_STREQ(user.GetDomain(), "");
    EXPECT_EQ(winsim::OpenTokenHandles(), 0u);
    winsim::InjectFault("OpenProcessToken", ERROR_ACCESS_DENIED);
    char domain[48];
    DWORD n = sizeof domain;
    EXPECT_FALSE(CCurrentUser::GetDomain(domain, &n));
}

TEST(CurrentUser, ShortBuffersGetTheSizeNeeded) {
    char small[4];
    DWORD n = sizeof small;
    EXPECT_FALSE(CCurrentUser::GetUser(small, &n));
    EXPECT_EQ(n, 14u);  // "Administrator" and its NUL
    n = sizeof small;
    EXPECT_FALSE(CCurrentUser::GetDomain(small, &n));
    EXPECT_EQ(n, 9u);  // "QLSERVER" and its NUL
    EXPECT_EQ(winsim::OpenTokenHandles(), 0u);
}

TEST(IsAdministrator, AnAdministratorPassesWithoutLeavingHandles) {
    EXPECT_TRUE(CCurrentUser::IsAdministrator());
    EXPECT_EQ(winsim::OpenTokenHandles(), 0u);
    EXPECT_FALSE(Impersonating());
}

TEST(IsAdministrator, APlainUserFailsSilently) {
    RunAsPlainUser();
    EXPECT_FALSE(CCurrentUser::IsAdministrator());
    EXPECT_EQ(winsim::OpenTokenHandles(), 0u);
    EXPECT_FALSE(Impersonating());
    EXPECT_TRUE(M().messageBoxes.empty());
}

TEST(IsAdministrator, MembershipMadeByTheMachineCounts) {
    RunAsPlainUser();
    ASSERT_FALSE(CCurrentUser::IsAdministrator());
    for (const winsim::Account &a : M().accounts)
        if (a.name == "bob") M().aliasMembers["S-1-5-32-544"].insert(a.sid);
    EXPECT_TRUE(CCurrentUser::IsAdministrator());
}

TEST(IsAdministrator, ADomainAdministrator) {
    M().domain = "CORP";
    M().domainSid = "S-1-5-21-11-22-33";
    winsim::Account &a = M().AddAccount("setupadmin", SidTypeUser, "CORP");
    M().aliasMembers["S-1-5-32-544"].insert(a.sid);
    M().userName = "setupadmin";
    EXPECT_TRUE(CCurrentUser::IsAdministrator());
}

// Each step that fails makes the answer FALSE, closes what was opened and
// stops impersonating.
TEST(IsAdministrator, EveryFailingStepGivesFalseAndCleansUp) {
    const char *steps[] = {"OpenProcessToken",          "InitializeSecurityDescriptor", "InitializeAcl",
                           "AllocateAndInitializeSid",  "AddAccessAllowedAce",          "SetSecurityDescriptorDacl",
                           "CreatePrivateObjectSecurity", "ImpersonateSelf",            "OpenThreadToken",
                           "AccessCheck"};
    for (const char *step : steps) {
        winsim::ResetWorld();
        winsim::CreateDefaultMachine();
        winsim::InjectFault(step, ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_FALSE(CCurrentUser::IsAdministrator()) << step;
        EXPECT_EQ(winsim::CallCount(step), 1u) << step;
        EXPECT_EQ(winsim::OpenTokenHandles(), 0u) << step;
        EXPECT_FALSE(Impersonating()) << step;
        EXPECT_TRUE(M().messageBoxes.empty()) << step;
    }
}

}  // namespace
