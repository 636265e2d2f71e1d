// Deviceless network connections: WNetAddConnection2A and
// WNetCancelConnection2A on another machine's shares.
#include <gtest/gtest.h>

#include <windows.h>
#include <winnetwk.h>

#include <string>

#include "support/network.h"
#include "support/wine.h"

namespace {

DWORD Connect(const std::string &remote, LPCSTR user = NULL) {
    NETRESOURCEA nr = {};
    nr.dwScope = RESOURCE_GLOBALNET;
    nr.dwType = RESOURCETYPE_DISK;
    nr.dwUsage = RESOURCEUSAGE_CONNECTABLE;
    nr.lpRemoteName = const_cast<LPSTR>(remote.c_str());
    return WNetAddConnection2A(&nr, "", user, 0);
}

// Every test connects to a second machine on the network.
class NetworkConnections : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name;
        SEEDED_OR_SKIP(NeighbourServer(name));
        server = "\\\\" + name;
    }
    std::string server;
};

TEST_F(NetworkConnections, CancellingWhatIsNotConnectedFails) {
    const std::string ipc = server + "\\ipc$";
    EXPECT_EQ(WNetCancelConnection2A(ipc.c_str(), 0, TRUE), (DWORD)ERROR_NOT_CONNECTED);
    EXPECT_EQ(WNetCancelConnection2A("\\\\NOWHERE\\ipc$", 0, TRUE), (DWORD)ERROR_NOT_CONNECTED);
}

TEST_F(NetworkConnections, AConnectionLastsUntilItIsCancelled) {
    ASSERT_EQ(Connect(server + "\\IPC$"), (DWORD)NO_ERROR);
    // Names compare without case.
    EXPECT_EQ(WNetCancelConnection2A((server + "\\ipc$").c_str(), 0, TRUE), (DWORD)NO_ERROR);
    EXPECT_EQ(WNetCancelConnection2A((server + "\\ipc$").c_str(), 0, TRUE), (DWORD)ERROR_NOT_CONNECTED);
    ASSERT_EQ(Connect(server + "\\ADMIN$"), (DWORD)NO_ERROR);
    ASSERT_EQ(Connect(server + "\\C$"), (DWORD)NO_ERROR);
    EXPECT_EQ(WNetCancelConnection2A((server + "\\C$").c_str(), 0, FALSE), (DWORD)NO_ERROR);
    EXPECT_EQ(WNetCancelConnection2A((server + "\\ADMIN$").c_str(), 0, FALSE), (DWORD)NO_ERROR);
}

TEST_F(NetworkConnections, UnknownServersAndSharesAreRefused) {
    EXPECT_EQ(Connect("\\\\NOWHERE\\IPC$"), (DWORD)ERROR_BAD_NETPATH);
    EXPECT_EQ(Connect(server + "\\NOSHARE"), (DWORD)ERROR_BAD_NET_NAME);
    EXPECT_EQ(Connect(server + "\\Q$"), (DWORD)ERROR_BAD_NET_NAME);
    EXPECT_EQ(Connect("NOSLASHES"), (DWORD)ERROR_BAD_NET_NAME);
    EXPECT_EQ(WNetAddConnection2A(NULL, "", NULL, 0), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(NetworkConnections, OneSetOfCredentialsPerServer) {
    SEEDED_OR_SKIP(NeighbourUser(server.substr(2), "one", "", true));
    SEEDED_OR_SKIP(NeighbourUser(server.substr(2), "two", "", true));
    ASSERT_EQ(Connect(server + "\\IPC$", "NEIGHBOUR\\one"), (DWORD)NO_ERROR);
    EXPECT_EQ(Connect(server + "\\ADMIN$", "NEIGHBOUR\\two"), (DWORD)ERROR_SESSION_CREDENTIAL_CONFLICT);
    EXPECT_EQ(Connect(server + "\\ADMIN$", "NEIGHBOUR\\one"), (DWORD)NO_ERROR);
    EXPECT_EQ(WNetCancelConnection2A((server + "\\IPC$").c_str(), 0, TRUE), (DWORD)NO_ERROR);
    EXPECT_EQ(WNetCancelConnection2A((server + "\\ADMIN$").c_str(), 0, TRUE), (DWORD)NO_ERROR);
}

}  // namespace
