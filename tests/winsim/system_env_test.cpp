// Environment variables: reading with buffer sizing, setting and deleting,
// names without case, and expansion of %NAME% references.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/wine.h"

#include <cstring>
#include <string>

namespace {

class EnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SetEnvironmentVariableA("QL_TEST_HOME", "C:\\Quillbak"));  // 11 characters
        ASSERT_TRUE(SetEnvironmentVariableA("QL_TEST_EMPTY", nullptr));
    }
    void TearDown() override {
        SetEnvironmentVariableA("QL_TEST_HOME", nullptr);
        SetEnvironmentVariableA("QL_TEST_OTHER", nullptr);
    }
};

TEST_F(EnvironmentTest, GetSizing) {
    const struct {
        DWORD size;
        DWORD result;
        bool written;
    } cases[] = {{0, 12, false}, {5, 12, false}, {11, 12, false}, {12, 11, true}, {64, 11, true}};
    for (const auto &c : cases) {
        char buffer[64];
        memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(GetEnvironmentVariableA("QL_TEST_HOME", buffer, c.size), c.result) << c.size;
        if (c.written)
            EXPECT_STREQ(buffer, "C:\\Quillbak") << c.size;
        else
            EXPECT_EQ(buffer[0], '#') << c.size;
    }
    EXPECT_EQ(GetEnvironmentVariableA("QL_TEST_HOME", nullptr, 0), 12u);
}

TEST_F(EnvironmentTest, NamesIgnoreCase) {
    char buffer[64];
    EXPECT_EQ(GetEnvironmentVariableA("ql_test_home", buffer, sizeof buffer), 11u);
    EXPECT_STREQ(buffer, "C:\\Quillbak");
    ASSERT_TRUE(SetEnvironmentVariableA("Ql_Test_Home", "D:\\QB"));
    EXPECT_EQ(GetEnvironmentVariableA("QL_TEST_HOME", buffer, sizeof buffer), 5u);
    EXPECT_STREQ(buffer, "D:\\QB");
}

TEST_F(EnvironmentTest, MissingAndDeleted) {
    char buffer[16];
    SetLastError(0);
    EXPECT_EQ(GetEnvironmentVariableA("QL_TEST_NOT_THERE", buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ENVVAR_NOT_FOUND);
    ASSERT_TRUE(SetEnvironmentVariableA("QL_TEST_HOME", nullptr));
    SetLastError(0);
    EXPECT_EQ(GetEnvironmentVariableA("QL_TEST_HOME", buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ENVVAR_NOT_FOUND);
}

TEST_F(EnvironmentTest, NamesWithEqualsOrEmptyAreRefused) {
    const char *names[] = {"", "A=B"};
    for (const char *name : names) {
        SetLastError(0);
        EXPECT_FALSE(SetEnvironmentVariableA(name, "x")) << name;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER) << name;
    }
}

TEST_F(EnvironmentTest, Expansion) {
    ASSERT_TRUE(SetEnvironmentVariableA("QL_TEST_OTHER", "bin"));
    const struct {
        const char *source, *expected;
    } cases[] = {
        {"%QL_TEST_HOME%\\%QL_TEST_OTHER%", "C:\\Quillbak\\bin"},
        {"%ql_test_home%", "C:\\Quillbak"},
        {"no references", "no references"},
        {"%QL_TEST_NOT_THERE%\\x", "%QL_TEST_NOT_THERE%\\x"},
        {"100%", "100%"},
        {"%%", "%%"},
        {"", ""},
    };
    for (const auto &c : cases) {
        char buffer[128];
        DWORD n = ExpandEnvironmentStringsA(c.source, buffer, sizeof buffer);
        EXPECT_STREQ(buffer, c.expected) << c.source;
        EXPECT_EQ(n, strlen(c.expected) + 1) << c.source;
    }
}

TEST_F(EnvironmentTest, ExpansionSizing) {
    SKIP_ON_WINE("ExpandEnvironmentStringsA writes the start of the text into a buffer that is too small");
    char buffer[32];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(ExpandEnvironmentStringsA("%QL_TEST_HOME%\\x", nullptr, 0), 14u);
    EXPECT_EQ(ExpandEnvironmentStringsA("%QL_TEST_HOME%\\x", buffer, 5), 14u);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(ExpandEnvironmentStringsA("%QL_TEST_HOME%\\x", buffer, 14), 14u);
    EXPECT_STREQ(buffer, "C:\\Quillbak\\x");
}

}  // namespace
