// Before-call hooks: a test runs its own code inside a simulated function,
// just before the function does its work (another writer taking a lock
// between a caller's open and its LockFile, for example).
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

class BeforeCallHooks : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::LocalMachine().PutFile("C:\\TEMP\\shared.log", "0123456789");
        mine_ = Open();
        other_ = Open();
        ASSERT_NE(mine_, INVALID_HANDLE_VALUE);
        ASSERT_NE(other_, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        CloseHandle(mine_);
        CloseHandle(other_);
    }
    static HANDLE Open() {
        return CreateFileA("C:\\TEMP\\shared.log", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    HANDLE mine_ = INVALID_HANDLE_VALUE, other_ = INVALID_HANDLE_VALUE;
};

TEST_F(BeforeCallHooks, AnotherWriterTakesTheLockFirst) {
    bool ran = false;
    winsim::SetBeforeCallHook("LockFile", [&] {
        ran = true;
        // The other writer's own LockFile counts but runs no hook.
        EXPECT_TRUE(LockFile(other_, 0, 0, 1, 0));
    });
    SetLastError(0);
    EXPECT_FALSE(LockFile(mine_, 0, 0, 1, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_LOCK_VIOLATION);
    EXPECT_TRUE(ran);
    EXPECT_EQ(winsim::CallCount("LockFile"), 2u);

    // Once: the retry after the other writer let go runs no hook.
    ran = false;
    ASSERT_TRUE(UnlockFile(other_, 0, 0, 1, 0));
    EXPECT_TRUE(LockFile(mine_, 0, 0, 1, 0));
    EXPECT_FALSE(ran);
}

TEST_F(BeforeCallHooks, NthCallOnly) {
    std::vector<unsigned> seen;
    winsim::SetBeforeCallHook(
        "LockFile", [&] { seen.push_back(winsim::CallCount("LockFile")); }, winsim::FaultMode::Nth, 3);
    for (DWORD offset = 0; offset < 5; ++offset) EXPECT_TRUE(LockFile(mine_, offset, 0, 1, 0));
    // The hook ran before the third call was counted.
    EXPECT_EQ(seen, (std::vector<unsigned>{2}));
}

TEST_F(BeforeCallHooks, AlwaysUntilRemoved) {
    int runs = 0;
    winsim::SetBeforeCallHook("LockFile", [&] { ++runs; }, winsim::FaultMode::Always);
    EXPECT_TRUE(LockFile(mine_, 0, 0, 1, 0));
    EXPECT_TRUE(LockFile(mine_, 1, 0, 1, 0));
    EXPECT_EQ(runs, 2);
    winsim::SetBeforeCallHook("LockFile", nullptr);
    EXPECT_TRUE(LockFile(mine_, 2, 0, 1, 0));
    EXPECT_EQ(runs, 2);

    winsim::SetBeforeCallHook("LockFile", [&] { ++runs; }, winsim::FaultMode::Always);
    winsim::ClearBeforeCallHooks();
    EXPECT_TRUE(LockFile(mine_, 3, 0, 1, 0));
    EXPECT_EQ(runs, 2);
}

TEST_F(BeforeCallHooks, OnlyTheNamedFunction) {
    int runs = 0;
    winsim::SetBeforeCallHook("UnlockFile", [&] { ++runs; });
    EXPECT_TRUE(LockFile(mine_, 0, 0, 1, 0));
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(UnlockFile(mine_, 0, 0, 1, 0));
    EXPECT_EQ(runs, 1);
}

TEST_F(BeforeCallHooks, AnInjectedFaultStillApplies) {
    int runs = 0;
    winsim::SetBeforeCallHook("LockFile", [&] { ++runs; });
    winsim::InjectFault("LockFile", ERROR_NOT_ENOUGH_MEMORY);
    SetLastError(0);
    EXPECT_FALSE(LockFile(mine_, 0, 0, 1, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(runs, 1);
}

TEST_F(BeforeCallHooks, AThrowingCallbackLeavesBeforeTheCallRuns) {
    winsim::SetBeforeCallHook("LockFile", [] { throw std::runtime_error("stop"); });
    EXPECT_THROW(LockFile(mine_, 0, 0, 1, 0), std::runtime_error);
    // Nothing was locked, and hooks run again afterwards.
    EXPECT_TRUE(LockFile(other_, 0, 0, 1, 0));
    int runs = 0;
    winsim::SetBeforeCallHook("LockFile", [&] { ++runs; });
    EXPECT_FALSE(LockFile(mine_, 0, 0, 1, 0));
    EXPECT_EQ(runs, 1);
}

TEST_F(BeforeCallHooks, ResetWorldRemovesThem) {
    int runs = 0;
    winsim::SetBeforeCallHook("LockFile", [&] { ++runs; }, winsim::FaultMode::Always);
    CloseHandle(mine_);
    CloseHandle(other_);
    winsim::ResetWorld();
    winsim::CreateDefaultMachine();
    winsim::LocalMachine().PutFile("C:\\TEMP\\shared.log", "x");
    mine_ = Open();
    other_ = Open();
    EXPECT_TRUE(LockFile(mine_, 0, 0, 1, 0));
    EXPECT_EQ(runs, 0);
}

}  // namespace
