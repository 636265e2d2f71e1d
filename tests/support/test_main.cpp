// Every test starts on a fresh world with a default machine. Where the test
// program asks for it (QL_CHECK_HANDLES), a test that leaves a handle, a
// buffer or a loaded module open fails: product code must close what it opens.
#include <gtest/gtest.h>

#include <winsim/machine.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_leaks;

class FreshWorld : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo &info) override {
        // The fault log names the test that made a call fail; programs the
        // test starts (qlsetrun) inherit the name.
        std::string name = std::string(info.test_suite_name()) + "." + info.name();
        setenv("WINSIM_FAULT_LABEL", name.c_str(), 1);
        winsim::ResetWorld();
        winsim::CreateDefaultMachine();
    }
#ifdef QL_CHECK_HANDLES
    // After the fixture's TearDown, so the session it closes is not counted.
    void OnTestEnd(const ::testing::TestInfo &info) override {
        std::string open = winsim::DescribeOpenHandles();
        if (open.empty() || info.result()->Skipped()) return;
        std::string name = std::string(info.test_suite_name()) + "." + info.name();
        fprintf(stderr, "%s left open:\n%s\n", name.c_str(), open.c_str());
        g_leaks.push_back(name);
    }
#endif
};

}  // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshWorld);
    int result = RUN_ALL_TESTS();
    if (!g_leaks.empty()) {
        fprintf(stderr, "%zu test(s) left handles open\n", g_leaks.size());
        return 1;
    }
    return result;
}
