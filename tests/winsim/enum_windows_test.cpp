// EnumWindows visits the calling process's own top-level windows as well as
// the other programs', and no child window.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <vector>

namespace {

BOOL CALLBACK Gather(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND> *>(param)->push_back(hwnd);
    return TRUE;
}

bool Has(const std::vector<HWND> &all, HWND h) { return std::find(all.begin(), all.end(), h) != all.end(); }

TEST(EnumWindowsOwn, TheProcessesOwnTopLevelWindowsAreVisitedButNotChildren) {
    HWND top = CreateWindowExA(0, "COMBOBOX", "", WS_POPUP, 0, 0, 100, 100, NULL, NULL, NULL, NULL);
    ASSERT_NE(top, (HWND)0);
    HWND child = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD, 0, 0, 50, 50, top, NULL, NULL, NULL);
    ASSERT_NE(child, (HWND)0);
    std::vector<HWND> all;
    EXPECT_TRUE(EnumWindows(Gather, (LPARAM)&all));
    EXPECT_TRUE(Has(all, top));
    EXPECT_FALSE(Has(all, child));
    DWORD pid = 0;
    EXPECT_NE(GetWindowThreadProcessId(top, &pid), 0u);
    EXPECT_EQ(pid, GetCurrentProcessId());
    DestroyWindow(child);
    DestroyWindow(top);
    all.clear();
    EXPECT_TRUE(EnumWindows(Gather, (LPARAM)&all));
    EXPECT_FALSE(Has(all, top));
}

}  // namespace
