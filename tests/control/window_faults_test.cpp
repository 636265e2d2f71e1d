// Injected failures of the window functions fail as Windows does.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

namespace {

TEST(WindowFaults, SystemMetricsFailWithZeroAndNoLastError) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    ASSERT_GT(width, 0);
    winsim::InjectFault("GetSystemMetrics", ERROR_INVALID_PARAMETER);
    SetLastError(12345);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 0);
    // Windows gives no extended error for this function.
    EXPECT_EQ(GetLastError(), 12345u);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), width);  // once only
    EXPECT_EQ(winsim::CallCount("GetSystemMetrics"), 3u);
}

}  // namespace
