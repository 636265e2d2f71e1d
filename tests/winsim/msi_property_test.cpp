// Installer properties through the session handle of a custom action:
// buffer sizing, undefined and deleted properties, names, bad handles.
#include <gtest/gtest.h>

#include <windows.h>
#include <msiquery.h>

#include <cstring>
#include <string>

#include "support/msi_session.h"

namespace {

class MsiPropertyTest : public ::testing::Test {
protected:
    void SetUp() override {
        session_ = TestInstallerSession();
        ASSERT_NE(session_, 0u);
    }
    void TearDown() override { MsiCloseHandle(session_); }

    std::string Get(const char *name) {
        char buffer[512];
        DWORD size = sizeof buffer;
        EXPECT_EQ(MsiGetPropertyA(session_, name, buffer, &size), (UINT)ERROR_SUCCESS) << name;
        EXPECT_EQ(size, strlen(buffer)) << name;
        return buffer;
    }

    MSIHANDLE session_ = 0;
};

TEST_F(MsiPropertyTest, ShortBufferGetsTruncatedTextAndTheFullLength) {
    ASSERT_EQ(MsiSetPropertyA(session_, "QLTESTNAME", "Quillbak"), (UINT)ERROR_SUCCESS);  // 8 characters
    const struct {
        DWORD capacity;
        UINT result;
        const char *text;  // nullptr: the buffer is not touched
    } cases[] = {
        {0, ERROR_MORE_DATA, nullptr}, {1, ERROR_MORE_DATA, ""},        {5, ERROR_MORE_DATA, "Quil"},
        {8, ERROR_MORE_DATA, "Quillba"}, {9, ERROR_SUCCESS, "Quillbak"}, {32, ERROR_SUCCESS, "Quillbak"},
    };
    for (const auto &c : cases) {
        char buffer[40];
        memset(buffer, '#', sizeof buffer);
        DWORD size = c.capacity;
        EXPECT_EQ(MsiGetPropertyA(session_, "QLTESTNAME", buffer, &size), c.result) << c.capacity;
        EXPECT_EQ(size, 8u) << c.capacity;
        if (c.text) {
            EXPECT_STREQ(buffer, c.text) << c.capacity;
            EXPECT_EQ(buffer[strlen(c.text) + 1], '#') << c.capacity << ": written past the NUL";
        } else {
            EXPECT_EQ(buffer[0], '#') << c.capacity;
        }
    }
}

TEST_F(MsiPropertyTest, NullBufferAsksForTheLength) {
    ASSERT_EQ(MsiSetPropertyA(session_, "QLTESTNAME", "Quillbak"), (UINT)ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(MsiGetPropertyA(session_, "QLTESTNAME", nullptr, &size), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(MsiGetPropertyA(session_, "QLTESTNAME", nullptr, nullptr), (UINT)ERROR_SUCCESS);
    char buffer[16];
    EXPECT_EQ(MsiGetPropertyA(session_, "QLTESTNAME", buffer, nullptr), (UINT)ERROR_INVALID_PARAMETER);
}

TEST_F(MsiPropertyTest, UndefinedPropertyIsTheEmptyString) {
    char buffer[16] = "garbage";
    DWORD size = sizeof buffer;
    EXPECT_EQ(MsiGetPropertyA(session_, "QLNEVERSET", buffer, &size), (UINT)ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(size, 0u);
}

TEST_F(MsiPropertyTest, NullOrEmptyValueDeletesTheProperty) {
    const struct {
        const char *what;
        const char *value;
    } deletions[] = {{"NULL", nullptr}, {"empty", ""}};
    for (const auto &d : deletions) {
        ASSERT_EQ(MsiSetPropertyA(session_, "QLTEMP", "value"), (UINT)ERROR_SUCCESS);
        ASSERT_EQ(Get("QLTEMP"), "value");
        EXPECT_EQ(MsiSetPropertyA(session_, "QLTEMP", d.value), (UINT)ERROR_SUCCESS) << d.what;
        DWORD size = 99;
        EXPECT_EQ(MsiGetPropertyA(session_, "QLTEMP", nullptr, &size), (UINT)ERROR_SUCCESS) << d.what;
        EXPECT_EQ(size, 0u) << d.what;
    }
}

TEST_F(MsiPropertyTest, SettingReplacesAndNamesAreCaseSensitive) {
    ASSERT_EQ(MsiSetPropertyA(session_, "QLDIR", "C:\\One\\"), (UINT)ERROR_SUCCESS);
    ASSERT_EQ(MsiSetPropertyA(session_, "QLDIR", "C:\\Two\\"), (UINT)ERROR_SUCCESS);
    ASSERT_EQ(MsiSetPropertyA(session_, "QlDir", "other"), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(Get("QLDIR"), "C:\\Two\\");
    EXPECT_EQ(Get("QlDir"), "other");
    EXPECT_EQ(Get("qldir"), "");
}

TEST_F(MsiPropertyTest, NullNameIsAnInvalidParameter) {
    char buffer[8];
    DWORD size = sizeof buffer;
    EXPECT_EQ(MsiGetPropertyA(session_, nullptr, buffer, &size), (UINT)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(MsiSetPropertyA(session_, nullptr, "x"), (UINT)ERROR_INVALID_PARAMETER);
}

// An empty name cannot be set: with a value the call fails; with a NULL
// value (a removal of nothing) it succeeds. Neither creates a property.
TEST_F(MsiPropertyTest, EmptyNameTakesNoValue) {
    EXPECT_EQ(MsiSetPropertyA(session_, "", "Val"), (UINT)ERROR_FUNCTION_FAILED);
    EXPECT_EQ(MsiSetPropertyA(session_, "", nullptr), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(MsiSetPropertyA(session_, nullptr, nullptr), (UINT)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Get(""), "");
}

TEST_F(MsiPropertyTest, OnlySessionHandlesCarryProperties) {
    MSIHANDLE record = MsiCreateRecord(1);
    ASSERT_NE(record, 0u);
    MSIHANDLE closed = MsiCreateRecord(0);
    ASSERT_EQ(MsiCloseHandle(closed), (UINT)ERROR_SUCCESS);
    const MSIHANDLE bad[] = {0, record, closed, 0x7FFFFFF0};
    for (MSIHANDLE h : bad) {
        char buffer[8];
        DWORD size = sizeof buffer;
        EXPECT_EQ(MsiGetPropertyA(h, "ProductName", buffer, &size), (UINT)ERROR_INVALID_HANDLE) << h;
        EXPECT_EQ(MsiSetPropertyA(h, "QLX", "1"), (UINT)ERROR_INVALID_HANDLE) << h;
    }
    MsiCloseHandle(record);
}

TEST_F(MsiPropertyTest, InstallerSetsTheMachineProperties) {
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name;
    ASSERT_TRUE(GetComputerNameA(name, &size));
    EXPECT_EQ(Get("ComputerName"), name);
    OSVERSIONINFOA v;
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExA(&v));
    EXPECT_EQ(Get("VersionNT"), std::to_string(v.dwMajorVersion * 100 + v.dwMinorVersion));
}

}  // namespace
