// CQLRemote: the credentials of one target machine, the connection it makes
// and cancels, the local-machine test, the target's hidden disk shares for
// the drive picker and the target's registry root.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <string>
#include <vector>

#include "afxcombo.h"
#include "system/QLRemote.h"
#include "remote_target.h"

namespace {

std::vector<winsim::NetConnectionInfo> Connections() { return winsim::NetConnections(); }

// A second machine, TARGET, with an administrator "setupadm" (password
// "Secret1") and a user "plain".
class Remote : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::Machine &t = winsim::CreateDefaultMachine("TARGET");
        AddSetupAdministrator(t);
        t.AddAccount("plain", 1).password = "Plain1";
        target = &t;
    }
    winsim::Machine *target = nullptr;
};

TEST_F(Remote, TheDefaultObjectIsThisMachineAsAdministrator) {
    CQLRemote r;
    EXPECT_STREQ(r.MachineName(), "QLSERVER");
    EXPECT_STREQ(r.UserName(), "Administrator");
    EXPECT_STREQ(r.Password(), "");
    EXPECT_FALSE(r.IsRemote());
    EXPECT_FALSE(r.IsConnected());
    EXPECT_EQ(r.ShareCount(), 0u);
    EXPECT_EQ(r.GetAllSahres(), nullptr);
    EXPECT_EQ(r.GetMachineRegKey(), HKEY_LOCAL_MACHINE);
    CQLRemote none(NULL, "u", "p");  // a null machine is this machine too
    EXPECT_STREQ(none.MachineName(), "QLSERVER");
    EXPECT_FALSE(none.IsRemote());
}

TEST_F(Remote, ThisMachineInAnyLetterCaseIsNotRemote) {
    EXPECT_TRUE(CQLRemote::IsLocalMachine("QLSERVER"));
    EXPECT_TRUE(CQLRemote::IsLocalMachine("qlServer"));
    EXPECT_FALSE(CQLRemote::IsLocalMachine("TARGET"));
    EXPECT_FALSE(CQLRemote::IsLocalMachine(""));
    {
        CQLRemote lower("qlserver", "Administrator", "");
        EXPECT_FALSE(lower.IsRemote());
        EXPECT_STREQ(lower.MachineName(), "qlserver");  // kept as given
        CQLRemote other("target", "setupadm", "Secret1");
        EXPECT_TRUE(other.IsRemote());
    }
    // Neither object connected: nothing was cancelled.
    EXPECT_EQ(winsim::CallCount("WNetCancelConnection2A"), 0u);
    winsim::InjectFault("GetComputerNameA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CQLRemote::IsLocalMachine("QLSERVER"));
}

TEST_F(Remote, ABareUserIsAnAccountOfTheTarget) {
    CQLRemote r("TARGET", "setupadm", "Secret1");
    ASSERT_EQ(r.Connect(NULL, FALSE), (DWORD)NO_ERROR);
    EXPECT_TRUE(r.IsConnected());
    auto c = Connections();
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].remote, "\\\\TARGET");  // no share: the machine's IPC share
    EXPECT_EQ(c[0].user, "TARGET\\setupadm");
}

TEST_F(Remote, ADomainUserIsUsedUnchanged) {
    CQLRemote r("TARGET", "target\\setupadm", "Secret1");
    ASSERT_EQ(r.Connect("ADMIN$", FALSE), (DWORD)NO_ERROR);
    auto c = Connections();
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].remote, "\\\\TARGET\\ADMIN$");
    EXPECT_EQ(c[0].user, "target\\setupadm");
}

TEST_F(Remote, ATestConnectLeavesNothingBehind) {
    CQLRemote good("TARGET", "setupadm", "Secret1");
    EXPECT_EQ(good.Connect("ADMIN$", TRUE), (DWORD)NO_ERROR);
    EXPECT_FALSE(good.IsConnected());
    EXPECT_TRUE(Connections().empty());
    CQLRemote bad("TARGET", "setupadm", "wrong");
    EXPECT_EQ(bad.Connect("ADMIN$", TRUE), (DWORD)ERROR_LOGON_FAILURE);
    EXPECT_FALSE(bad.IsConnected());
    EXPECT_TRUE(Connections().empty());
    CQLRemote nowhere("NOWHERE", "setupadm", "Secret1");
    EXPECT_EQ(nowhere.Connect(NULL, TRUE), (DWORD)ERROR_BAD_NETPATH);
    CQLRemote notAdmin("TARGET", "plain", "Plain1");
    EXPECT_EQ(notAdmin.Connect("ADMIN$", FALSE), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(notAdmin.IsConnected());
}

TEST_F(Remote, ASecondConnectWhileConnectedDoesNothing) {
    CQLRemote r("TARGET", "setupadm", "Secret1");
    ASSERT_EQ(r.Connect("ADMIN$", FALSE), (DWORD)NO_ERROR);
    EXPECT_EQ(r.Connect("C$", FALSE), (DWORD)NO_ERROR);
    EXPECT_EQ(winsim::CallCount("WNetAddConnection2A"), 1u);
    ASSERT_EQ(Connections().size(), 1u);
    EXPECT_EQ(Connections()[0].remote, "\\\\TARGET\\ADMIN$");
}

TEST_F(Remote, DisconnectCancelsTheConnectionItMadeAndNoOther) {
    // Somebody else's connection to the target, with the same user.
    NETRESOURCEA nr = {};
    nr.dwType = RESOURCETYPE_DISK;
    char ipc[] = "\\\\TARGET\\ipc$";
    nr.lpRemoteName = ipc;
    ASSERT_EQ(WNetAddConnection2A(&nr, "Secret1", "TARGET\\setupadm", 0), (DWORD)NO_ERROR);
    {
        CQLRemote r("TARGET", "setupadm", "Secret1");
        ASSERT_EQ(r.Connect("ADMIN$", FALSE), (DWORD)NO_ERROR);
        ASSERT_EQ(Connections().size(), 2u);
        r.Disconnect();
        EXPECT_FALSE(r.IsConnected());
        auto c = Connections();
        ASSERT_EQ(c.size(), 1u);  // its ADMIN$ connection went, the IPC one stays
        EXPECT_EQ(c[0].remote, "\\\\TARGET\\IPC$");
        r.Disconnect();  // twice is harmless
    }
    // An object whose connect met a conflict made nothing, so cancels nothing.
    {
        CQLRemote other("TARGET", "plain", "Plain1");
        EXPECT_EQ(other.Connect(NULL, FALSE), (DWORD)ERROR_SESSION_CREDENTIAL_CONFLICT);
    }
    ASSERT_EQ(Connections().size(), 1u);
    // The destructor disconnects.
    {
        CQLRemote r("TARGET", "setupadm", "Secret1");
        ASSERT_EQ(r.Connect("C$", FALSE), (DWORD)NO_ERROR);
    }
    ASSERT_EQ(Connections().size(), 1u);
    EXPECT_EQ(Connections()[0].remote, "\\\\TARGET\\IPC$");
}

TEST_F(Remote, ACopyDoesNotTakeOverTheConnection) {
    CQLRemote r("TARGET", "setupadm", "Secret1");
    ASSERT_EQ(r.Connect("ADMIN$", FALSE), (DWORD)NO_ERROR);
    HKEY key = r.GetMachineRegKey();
    ASSERT_NE(key, nullptr);
    {
        CQLRemote copy(r);
        EXPECT_STREQ(copy.MachineName(), "TARGET");
        EXPECT_STREQ(copy.UserName(), "setupadm");
        EXPECT_STREQ(copy.Password(), "Secret1");
        EXPECT_TRUE(copy.IsRemote());
        EXPECT_FALSE(copy.IsConnected());
        CQLRemote assigned;
        assigned = r;
        EXPECT_STREQ(assigned.MachineName(), "TARGET");
        EXPECT_FALSE(assigned.IsConnected());
    }
    EXPECT_EQ(Connections().size(), 1u);
    EXPECT_EQ(r.GetMachineRegKey(), key);  // still open, still the same
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "NoSuchValue", NULL, &type, NULL, NULL), (LONG)ERROR_FILE_NOT_FOUND);
}

TEST_F(Remote, TheRemoteRegistryRootIsKeptUntilDisconnect) {
    target->registry.SetString("HKLM\\SOFTWARE\\Probe", "Where", "on TARGET");
    CQLRemote r("TARGET", "setupadm", "Secret1");
    ASSERT_EQ(r.Connect(NULL, FALSE), (DWORD)NO_ERROR);
    HKEY root = r.GetMachineRegKey();
    ASSERT_NE(root, nullptr);
    EXPECT_NE(root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(r.GetMachineRegKey(), root);
    EXPECT_EQ(winsim::CallCount("RegConnectRegistryA"), 1u);
    char value[32] = "";
    DWORD size = sizeof value;
    HKEY probe;
    ASSERT_EQ(RegOpenKeyExA(root, "SOFTWARE\\Probe", 0, KEY_READ, &probe), (LONG)ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(probe, "Where", NULL, NULL, (LPBYTE)value, &size), (LONG)ERROR_SUCCESS);
    EXPECT_STREQ(value, "on TARGET");
    RegCloseKey(probe);
    r.Disconnect();
    EXPECT_EQ(RegCloseKey(root), (LONG)ERROR_INVALID_HANDLE);  // Disconnect closed it
}

TEST_F(Remote, AnUnreachableRegistryGivesNullAndTheError) {
    CQLRemote r("TARGET", "setupadm", "Secret1");
    winsim::InjectFault("RegConnectRegistryA", RPC_S_SERVER_UNAVAILABLE);
    SetLastError(0);
    EXPECT_EQ(r.GetMachineRegKey(), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)RPC_S_SERVER_UNAVAILABLE);
    CQLRemote nowhere("NOWHERE", "setupadm", "Secret1");
    EXPECT_EQ(nowhere.GetMachineRegKey(), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_NETPATH);
}

// Texts longer than their fields are refused whole, never cut into another name.
TEST_F(Remote, OverlongCredentialsAreRefused) {
    struct Case {
        const char *machine, *user, *password;
        DWORD error;
    } cases[] = {
        {"TARGETTARGET1234", "setupadm", "Secret1", ERROR_INVALID_COMPUTERNAME},    // 16 characters
        {"TARGET", "TARGET\\setupadm123456", "Secret1", ERROR_BAD_USERNAME},         // 21
        {"TARGET", "setupadm", "Secret123456789", ERROR_INVALID_PASSWORDNAME},       // 15
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.machine + std::string(" ") + c.user + " " + c.password);
        CQLRemote r(c.machine, c.user, c.password);
        EXPECT_EQ(r.CredentialError(), c.error);
        EXPECT_STREQ(r.MachineName(), "");
        EXPECT_STREQ(r.UserName(), "");
        EXPECT_STREQ(r.Password(), "");
        EXPECT_EQ(r.Connect("ADMIN$", FALSE), c.error);
        EXPECT_FALSE(r.IsConnected());
        EXPECT_EQ(r.GetMachineRegKey(), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
        HWND box = CreateWindowExA(0, "COMBOBOX", "", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
        CComboBox combo(box);
        EXPECT_FALSE(r.EnumerateShares(&combo));
        EXPECT_EQ(combo.GetCount(), 0);
    }
    EXPECT_EQ(winsim::CallCount("WNetAddConnection2A"), 0u);
    // The longest texts that fit are kept whole.
    CQLRemote fits("TARGETTARGET123", "TARGET\\setupadm12345", "Secret12345678");
    EXPECT_EQ(fits.CredentialError(), 0u);
    EXPECT_STREQ(fits.MachineName(), "TARGETTARGET123");
    EXPECT_STREQ(fits.UserName(), "TARGET\\setupadm12345");
    EXPECT_STREQ(fits.Password(), "Secret12345678");
}

class RemoteShares : public Remote {
protected:
    void SetUp() override {
        Remote::SetUp();
        target->AddDrive('D');
        target->MakeDirs("C:\\Public");
        AddShare("D$", STYPE_DISKTREE | STYPE_SPECIAL, "D:\\");
        AddShare("Public", STYPE_DISKTREE, "C:\\Public");
        box = CreateWindowExA(0, "COMBOBOX", "", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
        combo.m_hWnd = box;
    }
    void AddShare(const std::string &name, DWORD type, const std::string &path, const std::string &remark = "") {
        winsim::Share s;
        s.netname = name;
        s.type = type;
        s.path = path;
        s.remark = remark;
        target->shares[name] = s;
    }
    HWND box = NULL;
    CComboBox combo;
};

TEST_F(RemoteShares, OnlyTheHiddenDiskSharesAreListed) {
    // TARGET shares ADMIN$, C$, D$, IPC$ and Public.
    CQLRemote r("TARGET", "setupadm", "Secret1");
    ASSERT_EQ(r.Connect(NULL, FALSE), (DWORD)NO_ERROR);
    combo.AddString("first");
    ASSERT_TRUE(r.EnumerateShares(&combo));
    EXPECT_EQ(winsim::ComboBoxStrings(box), (std::vector<std::string>{"first", "C$", "D$"}));
    EXPECT_EQ(r.ShareCount(), 5u);
    EXPECT_EQ(r.GetAllSahres(), nullptr);  // the enumeration's buffers are freed
}

TEST_F(RemoteShares, ALongListIsReadPageAfterPage) {
    std::string remark(60, 'r');
    for (int i = 0; i < 300; ++i) AddShare("Share" + std::to_string(1000 + i), STYPE_DISKTREE, "C:\\Public", remark);
    AddShare("Z$", STYPE_DISKTREE | STYPE_SPECIAL, "C:\\");  // after every page break
    CQLRemote r("TARGET", "setupadm", "Secret1");
    ASSERT_EQ(r.Connect(NULL, FALSE), (DWORD)NO_ERROR);
    ASSERT_TRUE(r.EnumerateShares(&combo));
    EXPECT_GT(winsim::CallCount("NetShareEnum"), 1u);
    EXPECT_EQ(winsim::ComboBoxStrings(box), (std::vector<std::string>{"C$", "D$", "Z$"}));
    EXPECT_EQ(r.ShareCount(), 306u);
}

TEST_F(RemoteShares, AFailureLeavesTheComboBoxUnchanged) {
    std::string remark(60, 'r');
    for (int i = 0; i < 300; ++i) AddShare("Share" + std::to_string(1000 + i), STYPE_DISKTREE, "C:\\Public", remark);
    CQLRemote r("TARGET", "setupadm", "Secret1");
    ASSERT_EQ(r.Connect(NULL, FALSE), (DWORD)NO_ERROR);
    combo.AddString("kept");
    // The second page fails after the first was read.
    winsim::InjectFault("NetShareEnum", ERROR_NOT_ENOUGH_MEMORY, winsim::FaultMode::Nth, 2);
    EXPECT_FALSE(r.EnumerateShares(&combo));
    EXPECT_EQ(winsim::ComboBoxStrings(box), std::vector<std::string>{"kept"});
    winsim::InjectFault("NetShareEnum", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(r.EnumerateShares(&combo));
    EXPECT_EQ(winsim::ComboBoxStrings(box), std::vector<std::string>{"kept"});
    // No combo box, or one without a window.
    EXPECT_FALSE(r.EnumerateShares(NULL));
    CComboBox empty;
    EXPECT_FALSE(r.EnumerateShares(&empty));
    DestroyWindow(box);
    EXPECT_FALSE(r.EnumerateShares(&combo));
}

TEST_F(RemoteShares, OnlyAnAdministratorSessionSeesTheShares) {
    CQLRemote plain("TARGET", "plain", "Plain1");
    ASSERT_EQ(plain.Connect(NULL, FALSE), (DWORD)NO_ERROR);
    EXPECT_FALSE(plain.EnumerateShares(&combo));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(combo.GetCount(), 0);
}

TEST_F(RemoteShares, AMachineWithNoSharesGivesFalse) {
    target->shares.clear();
    CQLRemote r("TARGET", "setupadm", "Secret1");
    ASSERT_EQ(r.Connect(NULL, FALSE), (DWORD)NO_ERROR);
    EXPECT_FALSE(r.EnumerateShares(&combo));
    EXPECT_EQ(combo.GetCount(), 0);
}

}  // namespace
