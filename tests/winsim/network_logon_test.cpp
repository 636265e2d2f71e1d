// The credentials a deviceless connection carries: the target checks them
// against its accounts, holds one logon session per machine, and admits only
// its administrators to the administrative shares.
#include <gtest/gtest.h>

#include <windows.h>
#include <winnetwk.h>

#include <string>

#include "support/network.h"
#include "support/wine.h"

namespace {

DWORD Connect(const std::string &remote, LPCSTR user, LPCSTR password, LPCSTR local = NULL) {
    NETRESOURCEA nr = {};
    nr.dwScope = RESOURCE_GLOBALNET;
    nr.dwType = RESOURCETYPE_DISK;
    nr.dwUsage = RESOURCEUSAGE_CONNECTABLE;
    nr.lpLocalName = const_cast<LPSTR>(local);
    nr.lpRemoteName = const_cast<LPSTR>(remote.c_str());
    return WNetAddConnection2A(&nr, password, user, 0);
}

class NetworkLogon : public ::testing::Test {
protected:
    void SetUp() override {
        SEEDED_OR_SKIP(NeighbourServer(name));
        SEEDED_OR_SKIP(NeighbourUser(name, "setupadm", "Secret1", true));
        SEEDED_OR_SKIP(NeighbourUser(name, "plain", "Plain1", false));
        server = "\\\\" + name;
        admin = name + "\\setupadm";
        plain = name + "\\plain";
    }
    void TearDown() override {
        // Whatever a failed case left behind.
        for (const char *share : {"\\IPC$", "\\ADMIN$", "\\C$", ""})
            WNetCancelConnection2A((server + share).c_str(), 0, TRUE);
    }
    std::string name, server, admin, plain;
};

TEST_F(NetworkLogon, AWrongPasswordOrAnUnknownUserIsALogonFailure) {
    EXPECT_EQ(Connect(server + "\\IPC$", admin.c_str(), "wrong"), (DWORD)ERROR_LOGON_FAILURE);
    EXPECT_EQ(Connect(server + "\\IPC$", admin.c_str(), ""), (DWORD)ERROR_LOGON_FAILURE);
    EXPECT_EQ(Connect(server + "\\IPC$", (name + "\\nobody").c_str(), "Secret1"), (DWORD)ERROR_LOGON_FAILURE);
    // Passwords are case-sensitive, user names are not.
    EXPECT_EQ(Connect(server + "\\IPC$", admin.c_str(), "SECRET1"), (DWORD)ERROR_LOGON_FAILURE);
    EXPECT_EQ(Connect(server + "\\IPC$", (name + "\\SETUPADM").c_str(), "Secret1"), (DWORD)NO_ERROR);
    EXPECT_EQ(WNetCancelConnection2A((server + "\\IPC$").c_str(), 0, TRUE), (DWORD)NO_ERROR);
}

TEST_F(NetworkLogon, TheServerNameAloneConnectsToItsIpcShare) {
    ASSERT_EQ(Connect(server, admin.c_str(), "Secret1"), (DWORD)NO_ERROR);
    EXPECT_EQ(WNetCancelConnection2A(server.c_str(), 0, TRUE), (DWORD)NO_ERROR);
    EXPECT_EQ(WNetCancelConnection2A(server.c_str(), 0, TRUE), (DWORD)ERROR_NOT_CONNECTED);
}

TEST_F(NetworkLogon, TheAdministrativeSharesAdmitAdministratorsOnly) {
    EXPECT_EQ(Connect(server + "\\ADMIN$", plain.c_str(), "Plain1"), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(Connect(server + "\\C$", plain.c_str(), "Plain1"), (DWORD)ERROR_ACCESS_DENIED);
    // The same user reaches the IPC share.
    ASSERT_EQ(Connect(server + "\\IPC$", plain.c_str(), "Plain1"), (DWORD)NO_ERROR);
    EXPECT_EQ(WNetCancelConnection2A((server + "\\IPC$").c_str(), 0, TRUE), (DWORD)NO_ERROR);
    ASSERT_EQ(Connect(server + "\\ADMIN$", admin.c_str(), "Secret1"), (DWORD)NO_ERROR);
    ASSERT_EQ(Connect(server + "\\C$", admin.c_str(), "Secret1"), (DWORD)NO_ERROR);
}

TEST_F(NetworkLogon, ASecondUserOnTheSameServerConflicts) {
    ASSERT_EQ(Connect(server + "\\IPC$", plain.c_str(), "Plain1"), (DWORD)NO_ERROR);
    EXPECT_EQ(Connect(server + "\\ADMIN$", admin.c_str(), "Secret1"), (DWORD)ERROR_SESSION_CREDENTIAL_CONFLICT);
    // Once the first user's connections are gone, the second may log on.
    ASSERT_EQ(WNetCancelConnection2A((server + "\\IPC$").c_str(), 0, TRUE), (DWORD)NO_ERROR);
    EXPECT_EQ(Connect(server + "\\ADMIN$", admin.c_str(), "Secret1"), (DWORD)NO_ERROR);
}

TEST_F(NetworkLogon, ADriveLetterInUseIsAlreadyAssigned) {
    EXPECT_EQ(Connect(server + "\\C$", admin.c_str(), "Secret1", "C:"), (DWORD)ERROR_ALREADY_ASSIGNED);
}

TEST_F(NetworkLogon, AnUnknownMachineIsABadNetworkPath) {
    EXPECT_EQ(Connect("\\\\NOSUCHBOX\\ADMIN$", admin.c_str(), "Secret1"), (DWORD)ERROR_BAD_NETPATH);
    EXPECT_EQ(WNetCancelConnection2A("\\\\NOSUCHBOX\\ADMIN$", 0, TRUE), (DWORD)ERROR_NOT_CONNECTED);
}

}  // namespace
