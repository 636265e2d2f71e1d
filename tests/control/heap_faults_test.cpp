// The process heap's fault gates: the heap functions' own check of the heap
// handle is no call of the program's and takes no failure meant for it.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

namespace {

TEST(HeapFaults, OnlyTheProgramsOwnCallsOfGetProcessHeapCount) {
    unsigned before = winsim::CallCount("GetProcessHeap");
    HANDLE heap = GetProcessHeap();
    ASSERT_NE(heap, nullptr);
    void *block = HeapAlloc(heap, 0, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(HeapFree(heap, 0, block));
    EXPECT_EQ(winsim::CallCount("GetProcessHeap"), before + 1);

    // A failure meant for the program's next call is not taken by HeapAlloc.
    winsim::InjectFault("GetProcessHeap", ERROR_NOT_ENOUGH_MEMORY);
    block = HeapAlloc(heap, 0, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(HeapFree(heap, 0, block));
    SetLastError(0);
    EXPECT_EQ(GetProcessHeap(), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(GetProcessHeap(), heap);
}

TEST(HeapFaults, AFailedFreeKeepsTheBlockCounted) {
    std::string open = winsim::DescribeOpenHandles();
    void *block = HeapAlloc(GetProcessHeap(), 0, 8);
    ASSERT_NE(block, nullptr);
    winsim::InjectFault("HeapFree", ERROR_INVALID_PARAMETER);
    SetLastError(0);
    EXPECT_FALSE(HeapFree(GetProcessHeap(), 0, block));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_NE(winsim::DescribeOpenHandles(), open);
    EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, block));
    EXPECT_EQ(winsim::DescribeOpenHandles(), open);
}

}  // namespace
