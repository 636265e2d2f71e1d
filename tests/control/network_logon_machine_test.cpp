// Several machines on one network: the connections a test can read, and the
// credentials a program carries to another machine when it made no
// connection (its own user's, passed through).
#include <gtest/gtest.h>

#include <windows.h>
#include <winnetwk.h>

#include <winsim/machine.h>

namespace {

DWORD Connect(const char *remote, const char *user, const char *password) {
    NETRESOURCEA nr = {};
    nr.dwType = RESOURCETYPE_DISK;
    nr.lpRemoteName = const_cast<LPSTR>(remote);
    return WNetAddConnection2A(&nr, password, user, 0);
}

TEST(NetworkLogonMachines, ConnectionsAreListedInTheOrderMade) {
    winsim::CreateDefaultMachine("TARGET");
    ASSERT_EQ(Connect("\\\\target\\admin$", "TARGET\\Administrator", ""), (DWORD)NO_ERROR);
    ASSERT_EQ(Connect("\\\\TARGET\\C$", NULL, NULL), (DWORD)NO_ERROR);  // the session's user
    ASSERT_EQ(Connect("\\\\TARGET\\C$", NULL, NULL), (DWORD)NO_ERROR);
    auto c = winsim::NetConnections();
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].remote, "\\\\TARGET\\ADMIN$");
    EXPECT_EQ(c[0].user, "TARGET\\Administrator");
    EXPECT_EQ(c[0].uses, 1u);
    EXPECT_EQ(c[1].remote, "\\\\TARGET\\C$");
    EXPECT_EQ(c[1].user, "TARGET\\Administrator");
    EXPECT_EQ(c[1].uses, 2u);
    winsim::ResetWorld();
    EXPECT_TRUE(winsim::NetConnections().empty());
}

TEST(NetworkLogonMachines, WithoutAConnectionTheUsersOwnPasswordMustMatch) {
    winsim::Machine &target = winsim::CreateDefaultMachine("TARGET");
    HKEY root = NULL;
    // Both Administrators have an empty password: the target admits the user.
    ASSERT_EQ(RegConnectRegistryA("TARGET", HKEY_LOCAL_MACHINE, &root), (LONG)ERROR_SUCCESS);
    RegCloseKey(root);
    for (winsim::Account &a : target.accounts)
        if (a.name == "Administrator") a.password = "Other1";
    EXPECT_EQ(RegConnectRegistryA("TARGET", HKEY_LOCAL_MACHINE, &root), (LONG)ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetFileAttributesA("\\\\TARGET\\C$\\"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(Connect("\\\\TARGET\\ADMIN$", NULL, NULL), (DWORD)ERROR_LOGON_FAILURE);
    // The same password on this machine passes through.
    for (winsim::Account &a : winsim::LocalMachine().accounts)
        if (a.name == "Administrator") a.password = "Other1";
    ASSERT_EQ(RegConnectRegistryA("TARGET", HKEY_LOCAL_MACHINE, &root), (LONG)ERROR_SUCCESS);
    RegCloseKey(root);
    EXPECT_NE(GetFileAttributesA("\\\\TARGET\\C$\\"), INVALID_FILE_ATTRIBUTES);
    // This machine's own shares need no logon.
    EXPECT_NE(GetFileAttributesA("\\\\QLSERVER\\ADMIN$\\system32"), INVALID_FILE_ATTRIBUTES);
}

TEST(NetworkLogonMachines, ADisabledAccountCannotLogOn) {
    winsim::Machine &target = winsim::CreateDefaultMachine("TARGET");
    winsim::Account &a = target.AddAccount("off", 1);
    a.password = "x";
    a.flags |= 0x0002;  // UF_ACCOUNTDISABLE
    EXPECT_EQ(Connect("\\\\TARGET\\IPC$", "TARGET\\off", "x"), (DWORD)ERROR_ACCOUNT_DISABLED);
    EXPECT_TRUE(winsim::NetConnections().empty());
}

}  // namespace
