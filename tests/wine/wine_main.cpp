// The conformance tests on Windows or under Wine: plain GoogleTest, then a
// summary: how many passed, and each test skipped with its reason.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

class Summary : public ::testing::EmptyTestEventListener {
public:
    void OnTestEnd(const ::testing::TestInfo &info) override {
        const ::testing::TestResult *result = info.result();
        std::string name = std::string(info.test_suite_name()) + "." + info.name();
        if (result->Skipped()) {
            std::string reason;
            for (int i = 0; i < result->total_part_count(); ++i) {
                const char *message = result->GetTestPartResult(i).message();
                if (message && *message) reason = message;
            }
            skipped_.push_back(name + ": " + reason);
        } else if (result->Passed()) {
            ++passed_;
        } else {
            failed_.push_back(name);
        }
    }
    void OnTestProgramEnd(const ::testing::UnitTest &) override {
        printf("\nSummary: %d passed, %zu skipped, %zu failed\n", passed_, skipped_.size(), failed_.size());
        if (!skipped_.empty()) printf("Skipped, with the reason:\n");
        for (const std::string &s : skipped_) printf("  %s\n", s.c_str());
        if (!failed_.empty()) {
            printf("Failed:\n");
            for (const std::string &s : failed_) printf("  %s\n", s.c_str());
        }
        fflush(stdout);
    }

private:
    int passed_ = 0;
    std::vector<std::string> skipped_, failed_;
};

}  // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new Summary);
    return RUN_ALL_TESTS();
}
