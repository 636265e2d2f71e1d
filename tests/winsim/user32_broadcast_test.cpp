// SendMessageTimeoutA: a broadcast of a setting change succeeds with a zero
// result; a message to a window that does not exist fails with
// ERROR_INVALID_WINDOW_HANDLE; one to a live window returns its answer.
// SHChangeNotify returns nothing and accepts items of every kind.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include "support/wine.h"

namespace {

TEST(SendMessageTimeout, BroadcastOfTheEnvironmentChange) {
    // What a broadcast leaves in the result is not documented (winsim leaves
    // 0, Wine 1): only success is asserted.
    DWORD_PTR result = 12345;
    EXPECT_NE(SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, (LPARAM) "Environment", SMTO_ABORTIFHUNG,
                                  3000, &result),
              0);
    // The result pointer is optional.
    EXPECT_NE(SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, 0, SMTO_NORMAL, 100, NULL), 0);
}

TEST(SendMessageTimeout, NoSuchWindow) {
    DWORD_PTR result = 7;
    SetLastError(0);
    EXPECT_EQ(SendMessageTimeoutA((HWND)(ULONG_PTR)0x7FFF1234, WM_SETTINGCHANGE, 0, 0, SMTO_NORMAL, 100, &result), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
}

TEST(SendMessageTimeout, ALiveWindowAnswers) {
    HWND box = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100, HWND_MESSAGE, nullptr,
                               nullptr, nullptr);
    if (!box && RunningOnWine()) GTEST_SKIP() << "Wine: a combo box whose parent is the message-only window is refused";
    ASSERT_NE(box, nullptr);
    SendMessageA(box, CB_ADDSTRING, 0, (LPARAM) "one");
    SendMessageA(box, CB_ADDSTRING, 0, (LPARAM) "two");
    DWORD_PTR result = 0;
    EXPECT_NE(SendMessageTimeoutA(box, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 1000, &result), 0);
    EXPECT_EQ(result, 2u);
    DestroyWindow(box);
}

TEST(ShellChangeNotify, AcceptsEveryKindOfItem) {
    SHChangeNotify(SHCNE_NETUNSHARE, SHCNF_PATHA | SHCNF_FLUSH, "C:\\Quillbak", NULL);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, NULL, NULL);
    SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_DWORD, (LPCVOID)(ULONG_PTR)5, NULL);
    SUCCEED();
}

}  // namespace
