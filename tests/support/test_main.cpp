// Every test starts on a fresh world with a default machine.
#include <gtest/gtest.h>

#include <winsim/machine.h>

namespace {
class FreshWorld : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo &) override {
        winsim::ResetWorld();
        winsim::CreateDefaultMachine();
    }
};
}  // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshWorld);
    return RUN_ALL_TESTS();
}
