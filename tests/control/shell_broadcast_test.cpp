// What the machine keeps of shell notifications and broadcasts, and their
// failure injection.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <winsim/machine.h>

namespace {

TEST(ShellNotifications, RecordedInOrderWithTheirItems) {
    SHChangeNotify(SHCNE_NETUNSHARE, SHCNF_PATHA | SHCNF_FLUSH, "C:\\Program Files\\Quillbak", NULL);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, NULL, NULL);
    SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_DWORD, (LPCVOID)(ULONG_PTR)0x1234, NULL);
    SHChangeNotify(SHCNE_RENAMEITEM, SHCNF_PRINTERA, "Old", "New");
    const std::vector<winsim::ShellNotification> &n = winsim::LocalMachine().shellNotifications;
    ASSERT_EQ(n.size(), 4u);
    EXPECT_EQ(n[0].eventId, 0x400);
    EXPECT_EQ(n[0].flags, 0x1001u);
    EXPECT_EQ(n[0].item1, "C:\\Program Files\\Quillbak");
    EXPECT_EQ(n[0].item2, "");
    EXPECT_EQ(n[1].eventId, SHCNE_ASSOCCHANGED);
    EXPECT_EQ(n[1].item1, "");
    EXPECT_EQ(n[2].item1, "0x00001234");
    EXPECT_EQ(n[2].item2, "0x00000000");
    EXPECT_EQ(n[3].item1, "Old");
    EXPECT_EQ(n[3].item2, "New");
}

TEST(ShellNotifications, AnInjectedFaultDropsTheNotification) {
    winsim::InjectFault("SHChangeNotify", ERROR_ACCESS_DENIED);
    SHChangeNotify(SHCNE_NETUNSHARE, SHCNF_PATHA, "C:\\Q", NULL);
    EXPECT_TRUE(winsim::LocalMachine().shellNotifications.empty());
    EXPECT_EQ(winsim::CallCount("SHChangeNotify"), 1u);
}

TEST(Broadcasts, TheSettingChangeAndItsText) {
    DWORD_PTR result = 9;
    ASSERT_NE(SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, (LPARAM) "Environment", SMTO_ABORTIFHUNG,
                                  3000, &result),
              0);
    ASSERT_NE(SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, 0, SMTO_NORMAL, 10, NULL), 0);
    const std::vector<winsim::BroadcastRecord> &b = winsim::LocalMachine().broadcasts;
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0].message, (UINT)WM_SETTINGCHANGE);
    EXPECT_EQ(b[0].wParam, 0u);
    EXPECT_TRUE(b[0].hasText);
    EXPECT_EQ(b[0].text, "Environment");
    EXPECT_EQ(b[0].flags, (UINT)SMTO_ABORTIFHUNG);
    EXPECT_EQ(b[0].timeoutMs, 3000u);
    EXPECT_FALSE(b[1].hasText);
    // A message to one window is not a broadcast.
    SendMessageTimeoutA((HWND)(ULONG_PTR)0x7FFF1234, WM_SETTINGCHANGE, 0, 0, SMTO_NORMAL, 10, NULL);
    EXPECT_EQ(b.size(), 2u);
}

TEST(Broadcasts, AnInjectedFaultFailsTheCall) {
    winsim::InjectFault("SendMessageTimeoutA", ERROR_TIMEOUT);
    SetLastError(0);
    EXPECT_EQ(SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, (LPARAM) "Environment", SMTO_ABORTIFHUNG,
                                  3000, NULL),
              0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_TIMEOUT);
    EXPECT_TRUE(winsim::LocalMachine().broadcasts.empty());
}

}  // namespace
