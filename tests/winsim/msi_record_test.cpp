// Installer records: fields, strings and integers, sizing, formatting,
// handles; and product queries for products the machine does not have.
#include <gtest/gtest.h>

#include <windows.h>
#include <msiquery.h>

#include <cstring>
#include <string>

#include "support/msi_session.h"
#include "support/wine.h"

namespace {

class MsiRecordTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (MSIHANDLE h : open_) MsiCloseHandle(h);
    }
    MSIHANDLE Record(UINT fields) {
        MSIHANDLE h = MsiCreateRecord(fields);
        EXPECT_NE(h, 0u);
        open_.push_back(h);
        return h;
    }
    static std::string Field(MSIHANDLE rec, UINT field) {
        char buffer[256];
        DWORD size = sizeof buffer;
        EXPECT_EQ(MsiRecordGetStringA(rec, field, buffer, &size), (UINT)ERROR_SUCCESS) << field;
        EXPECT_EQ(size, strlen(buffer));
        return buffer;
    }
    std::vector<MSIHANDLE> open_;
};

TEST_F(MsiRecordTest, FieldCountIsWhatWasCreated) {
    const UINT counts[] = {0, 1, 4, 32};
    for (UINT n : counts) EXPECT_EQ(MsiRecordGetFieldCount(Record(n)), n);
    EXPECT_EQ(MsiRecordGetFieldCount(0), (UINT)-1);
}

TEST_F(MsiRecordTest, StringsAndIntegersReadBothWays) {
    MSIHANDLE rec = Record(5);
    ASSERT_EQ(MsiRecordSetStringA(rec, 0, "template [1]"), (UINT)ERROR_SUCCESS);
    ASSERT_EQ(MsiRecordSetStringA(rec, 1, "Quillbak"), (UINT)ERROR_SUCCESS);
    ASSERT_EQ(MsiRecordSetInteger(rec, 2, 42), (UINT)ERROR_SUCCESS);
    ASSERT_EQ(MsiRecordSetInteger(rec, 3, -7), (UINT)ERROR_SUCCESS);
    ASSERT_EQ(MsiRecordSetStringA(rec, 4, "123"), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(Field(rec, 0), "template [1]");
    EXPECT_EQ(Field(rec, 1), "Quillbak");
    EXPECT_EQ(Field(rec, 2), "42");
    EXPECT_EQ(Field(rec, 3), "-7");
    EXPECT_EQ(Field(rec, 5), "");
    EXPECT_EQ(MsiRecordGetInteger(rec, 2), 42);
    EXPECT_EQ(MsiRecordGetInteger(rec, 4), 123);
    EXPECT_EQ(MsiRecordGetInteger(rec, 1), (int)MSI_NULL_INTEGER);
    EXPECT_EQ(MsiRecordGetInteger(rec, 5), (int)MSI_NULL_INTEGER);
}

TEST_F(MsiRecordTest, NullFields) {
    MSIHANDLE rec = Record(3);
    EXPECT_TRUE(MsiRecordIsNull(rec, 1));
    ASSERT_EQ(MsiRecordSetStringA(rec, 1, "x"), (UINT)ERROR_SUCCESS);
    EXPECT_FALSE(MsiRecordIsNull(rec, 1));
    ASSERT_EQ(MsiRecordSetStringA(rec, 1, nullptr), (UINT)ERROR_SUCCESS);
    EXPECT_TRUE(MsiRecordIsNull(rec, 1));
    ASSERT_EQ(MsiRecordSetInteger(rec, 2, 5), (UINT)ERROR_SUCCESS);
    ASSERT_EQ(MsiRecordSetInteger(rec, 2, (int)MSI_NULL_INTEGER), (UINT)ERROR_SUCCESS);
    EXPECT_TRUE(MsiRecordIsNull(rec, 2));
    EXPECT_EQ(Field(rec, 2), "");
}

TEST_F(MsiRecordTest, FieldsBeyondTheCount) {
    SKIP_ON_WINE("MsiRecordSetStringA beyond the field count fails with ERROR_INVALID_FIELD, not ERROR_INVALID_PARAMETER");
    MSIHANDLE rec = Record(2);
    EXPECT_EQ(MsiRecordSetStringA(rec, 3, "x"), (UINT)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(MsiRecordSetInteger(rec, 3, 1), (UINT)ERROR_INVALID_PARAMETER);
    char buffer[8] = "garbage";
    DWORD size = sizeof buffer;
    EXPECT_EQ(MsiRecordGetStringA(rec, 3, buffer, &size), (UINT)ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(size, 0u);
}

TEST_F(MsiRecordTest, StringSizingFollowsTheInstallerRules) {
    MSIHANDLE rec = Record(1);
    ASSERT_EQ(MsiRecordSetStringA(rec, 1, "abcdef"), (UINT)ERROR_SUCCESS);
    const struct {
        DWORD capacity;
        UINT result;
        const char *text;
    } cases[] = {{0, ERROR_MORE_DATA, nullptr}, {1, ERROR_MORE_DATA, ""}, {4, ERROR_MORE_DATA, "abc"},
                 {6, ERROR_MORE_DATA, "abcde"}, {7, ERROR_SUCCESS, "abcdef"}};
    for (const auto &c : cases) {
        char buffer[16];
        memset(buffer, '#', sizeof buffer);
        DWORD size = c.capacity;
        EXPECT_EQ(MsiRecordGetStringA(rec, 1, buffer, &size), c.result) << c.capacity;
        EXPECT_EQ(size, 6u) << c.capacity;
        if (c.text)
            EXPECT_STREQ(buffer, c.text) << c.capacity;
        else
            EXPECT_EQ(buffer[0], '#');
    }
    DWORD size = 0;
    EXPECT_EQ(MsiRecordGetStringA(rec, 1, nullptr, &size), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);
}

TEST_F(MsiRecordTest, HandlesCloseOnce) {
    MSIHANDLE rec = MsiCreateRecord(1);
    ASSERT_NE(rec, 0u);
    EXPECT_EQ(MsiCloseHandle(rec), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(MsiCloseHandle(rec), (UINT)ERROR_INVALID_HANDLE);
    EXPECT_EQ(MsiCloseHandle(0), (UINT)ERROR_SUCCESS);
    EXPECT_EQ(MsiRecordSetStringA(rec, 1, "x"), (UINT)ERROR_INVALID_HANDLE);
    char buffer[4];
    DWORD size = sizeof buffer;
    EXPECT_EQ(MsiRecordGetStringA(rec, 1, buffer, &size), (UINT)ERROR_INVALID_HANDLE);
}

TEST_F(MsiRecordTest, FormatRecord) {
    MSIHANDLE session = TestInstallerSession();
    ASSERT_EQ(MsiSetPropertyA(session, "QLPRODUCT", "Quillbak"), (UINT)ERROR_SUCCESS);
    MSIHANDLE rec = Record(2);
    ASSERT_EQ(MsiRecordSetStringA(rec, 1, "Server"), (UINT)ERROR_SUCCESS);
    ASSERT_EQ(MsiRecordSetInteger(rec, 2, 3), (UINT)ERROR_SUCCESS);
    const struct {
        const char *tmpl;
        const char *expected;
    } cases[] = {
        {nullptr, "1: Server 2: 3 "},
        {"[1] has [2] parts", "Server has 3 parts"},
        {"[QLPRODUCT] [1]", "Quillbak Server"},
        {"[NOTSET]x", "x"},
        {"[\\[]1]", "[1]"},
        {"[3] beyond", " beyond"},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(MsiRecordSetStringA(rec, 0, c.tmpl), (UINT)ERROR_SUCCESS);
        char buffer[64];
        DWORD size = sizeof buffer;
        EXPECT_EQ(MsiFormatRecordA(session, rec, buffer, &size), (UINT)ERROR_SUCCESS) << (c.tmpl ? c.tmpl : "null");
        EXPECT_STREQ(buffer, c.expected) << (c.tmpl ? c.tmpl : "null");
        EXPECT_EQ(size, strlen(c.expected));
    }
    MsiCloseHandle(session);
}

// A code that no machine has: {00000000-...} with a made-up tail.
const char kUnknownProduct[] = "{0A1B2C3D-0000-4000-8000-00C0FFEE0001}";

TEST(MsiProductQuery, UnknownProduct) {
    EXPECT_EQ(MsiQueryProductStateA(kUnknownProduct), INSTALLSTATE_UNKNOWN);
    char buffer[64];
    DWORD size = sizeof buffer;
    EXPECT_EQ(MsiGetProductInfoA(kUnknownProduct, INSTALLPROPERTY_INSTALLSOURCE, buffer, &size),
              (UINT)ERROR_UNKNOWN_PRODUCT);
}

TEST(MsiProductQuery, MalformedProductCodes) {
    SKIP_ON_WINE("MsiQueryProductStateA checks only the braces and length of a product code (a non-hex digit gives INSTALLSTATE_UNKNOWN)");
    const char *codes[] = {"", "QUILLBAK", "0A1B2C3D-0000-4000-8000-00C0FFEE0001",
                           "{0A1B2C3D-0000-4000-8000-00C0FFEE000}", "{0A1B2C3D-0000-4000-8000-00C0FFEE000G}"};
    for (const char *code : codes) {
        EXPECT_EQ(MsiQueryProductStateA(code), INSTALLSTATE_INVALIDARG) << code;
        char buffer[64];
        DWORD size = sizeof buffer;
        EXPECT_EQ(MsiGetProductInfoA(code, INSTALLPROPERTY_VERSIONSTRING, buffer, &size),
                  (UINT)ERROR_INVALID_PARAMETER)
            << code;
    }
    EXPECT_EQ(MsiQueryProductStateA(nullptr), INSTALLSTATE_INVALIDARG);
}

TEST(MsiProductQuery, FeatureOfAnUnknownProductOrBadArguments) {
    EXPECT_EQ(MsiQueryFeatureStateA(kUnknownProduct, "Vaxguard"), INSTALLSTATE_UNKNOWN);
    EXPECT_EQ(MsiQueryFeatureStateA("QUILLBAK", "Vaxguard"), INSTALLSTATE_INVALIDARG);
    EXPECT_EQ(MsiQueryFeatureStateA(nullptr, "Vaxguard"), INSTALLSTATE_INVALIDARG);
    EXPECT_EQ(MsiQueryFeatureStateA(kUnknownProduct, nullptr), INSTALLSTATE_INVALIDARG);
}

}  // namespace
