// Registry values: storing and reading data of every type, buffer sizing,
// string termination, default values and deletion.
#include "registry_fixture.h"
#include "support/wine.h"

#include <cstring>

namespace {

using regtest::Bytes;
using regtest::RegistryTest;

TEST_F(RegistryTest, ValuesKeepTypeAndBytesExactly) {
    SKIP_ON_WINE("RegQueryValueExA adds a terminator to REG_SZ data stored without one");
    const DWORD dword = 0x12345678;
    const unsigned long long qword = 0x1122334455667788ull;
    const struct {
        const char *name;
        DWORD type;
        std::vector<BYTE> data;
    } cases[] = {
        {"sz", REG_SZ, Bytes("text", 5)},
        {"sz without nul", REG_SZ, Bytes("text", 4)},
        {"empty sz", REG_SZ, Bytes("", 1)},
        {"zero-byte sz", REG_SZ, {}},
        {"expand", REG_EXPAND_SZ, Bytes("%SystemRoot%\\x", 15)},
        {"multi", REG_MULTI_SZ, Bytes("one\0two\0", 9)},
        {"binary", REG_BINARY, {0x00, 0xff, 0x10, 0x00}},
        {"empty binary", REG_BINARY, {}},
        {"dword", REG_DWORD, Bytes((const char *)&dword, 4)},
        {"short dword", REG_DWORD, {0x01, 0x02}},
        {"qword", REG_QWORD, Bytes((const char *)&qword, 8)},
        {"none", REG_NONE, {0xab}},
        {"own type", 0x1234, {1, 2, 3}},
    };
    for (const auto &c : cases) {
        // A byte other than NUL follows the counted data: RegSetValueExA
        // looks at it for strings (see SetValueTakesTheNulJustAfterAString).
        std::vector<BYTE> padded = c.data;
        padded.push_back(0xEE);
        ASSERT_EQ(RegSetValueExA(root_, c.name, 0, c.type, padded.data(), (DWORD)c.data.size()), ERROR_SUCCESS)
            << c.name;
    }
    for (const auto &c : cases) {
        DWORD type = 0xdeadbeef, size = 0xdeadbeef;
        ASSERT_EQ(RegQueryValueExA(root_, c.name, nullptr, &type, nullptr, &size), ERROR_SUCCESS) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(size, c.data.size()) << c.name;
        std::vector<BYTE> buffer(c.data.size() + 8, 0xbd);
        size = (DWORD)c.data.size();
        ASSERT_EQ(RegQueryValueExA(root_, c.name, nullptr, &type, buffer.data(), &size), ERROR_SUCCESS) << c.name;
        EXPECT_EQ(size, c.data.size()) << c.name;
        EXPECT_EQ(std::vector<BYTE>(buffer.begin(), buffer.begin() + size), c.data) << c.name;
        EXPECT_EQ(buffer[size], 0xbd) << c.name << ": written past the data";
    }
}

TEST_F(RegistryTest, QueryBufferSizing) {
    SetString(root_, "Name", "Quillbak");  // 9 bytes with the NUL
    BYTE buffer[16];
    DWORD type = 0, size;

    // No buffer: the size, and success.
    size = 0;
    EXPECT_EQ(RegQueryValueExA(root_, "Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(type, (DWORD)REG_SZ);

    // Too small: ERROR_MORE_DATA with the size needed, nothing past the buffer touched.
    for (DWORD small : {0u, 1u, 8u}) {
        memset(buffer, 0xbd, sizeof buffer);
        size = small;
        type = 0;
        EXPECT_EQ(RegQueryValueExA(root_, "Name", nullptr, &type, buffer, &size), ERROR_MORE_DATA) << small;
        EXPECT_EQ(size, 9u) << small;
        EXPECT_EQ(type, (DWORD)REG_SZ) << small;
        for (DWORD i = small; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0xbd) << small << " at " << i;
    }

    // Exactly big enough.
    memset(buffer, 0xbd, sizeof buffer);
    size = 9;
    EXPECT_EQ(RegQueryValueExA(root_, "Name", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 9u);
    EXPECT_STREQ((const char *)buffer, "Quillbak");
    EXPECT_EQ(buffer[9], 0xbd);

    // Neither buffer nor size: only whether it is there, and its type.
    type = 0;
    EXPECT_EQ(RegQueryValueExA(root_, "Name", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, (DWORD)REG_SZ);

    // A buffer without a size, or a reserved pointer, is a bad call.
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExA(root_, "Name", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(root_, "Name", &reserved, nullptr, buffer, &size), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, TypeAndSizeMayShareOneVariable) {
    const BYTE four[4] = {1, 2, 3, 4};
    ASSERT_EQ(RegSetValueExA(root_, "Bin", 0, REG_BINARY, four, 4), ERROR_SUCCESS);
    BYTE buffer[4];
    DWORD both = 4;
    EXPECT_EQ(RegQueryValueExA(root_, "Bin", nullptr, &both, buffer, &both), ERROR_SUCCESS);
    EXPECT_EQ(memcmp(buffer, four, 4), 0);
}

TEST_F(RegistryTest, MissingValue) {
    BYTE buffer[8];
    DWORD size = 0xdeadbeef;
    EXPECT_EQ(RegQueryValueExA(root_, "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(size, 0u);
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(root_, "Missing", nullptr, nullptr, buffer, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(size, sizeof buffer);
    EXPECT_EQ(RegDeleteValueA(root_, "Missing"), ERROR_FILE_NOT_FOUND);
}

// A string whose count leaves out its NUL: when the byte just after the
// counted data is a NUL, RegSetValueExA stores it too and the value reads back
// one byte longer. Other bytes, and other types, are stored as counted.
TEST_F(RegistryTest, SetValueTakesTheNulJustAfterAString) {
    const struct {
        const char *name;
        DWORD type;
        const char *data;
        DWORD count, stored;
    } cases[] = {
        {"Sz", REG_SZ, "abc", 3, 4},
        {"Expand", REG_EXPAND_SZ, "%TEMP%", 6, 7},
        {"Multi", REG_MULTI_SZ, "a\0b", 3, 4},
        {"NotNul", REG_SZ, "abcdef", 3, 3},
        {"Whole", REG_SZ, "abc", 4, 4},
        {"Binary", REG_BINARY, "abc", 3, 3},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(RegSetValueExA(root_, c.name, 0, c.type, (const BYTE *)c.data, c.count), ERROR_SUCCESS) << c.name;
        DWORD size = 0;
        ASSERT_EQ(RegQueryValueExA(root_, c.name, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS) << c.name;
        EXPECT_EQ(size, c.stored) << c.name;
    }
    char text[8];
    DWORD size = sizeof text;
    ASSERT_EQ(RegQueryValueExA(root_, "Sz", nullptr, nullptr, (BYTE *)text, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(text, size), std::string("abc", 4));
}

// The ANSI calls of NT add a NUL after a string stored without one, when the
// caller's buffer has a byte to spare, without counting it in the size.
TEST_F(RegistryTest, StringsStoredWithoutTheirNul) {
    SKIP_ON_WINE("RegQueryValueExA adds a terminator to REG_SZ data stored without one");
    ASSERT_EQ(RegSetValueExA(root_, "Bare", 0, REG_SZ, (const BYTE *)"FullString", 8), ERROR_SUCCESS);
    BYTE buffer[12];
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExA(root_, "Bare", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);

    memset(buffer, 0xbd, sizeof buffer);
    size = 8;
    ASSERT_EQ(RegQueryValueExA(root_, "Bare", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(memcmp(buffer, "FullStri", 8), 0);
    EXPECT_EQ(buffer[8], 0xbd);

    memset(buffer, 0xbd, sizeof buffer);
    size = 9;
    ASSERT_EQ(RegQueryValueExA(root_, "Bare", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);
    EXPECT_STREQ((const char *)buffer, "FullStri");

    // A multi-string gets a single NUL, however much room there is.
    ASSERT_EQ(RegSetValueExA(root_, "Multi", 0, REG_MULTI_SZ, (const BYTE *)"Aa\0BbX", 5), ERROR_SUCCESS);
    memset(buffer, 0xbd, sizeof buffer);
    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(root_, "Multi", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(buffer[5], 0);
    EXPECT_EQ(buffer[6], 0xbd);

    // Binary data gets nothing.
    ASSERT_EQ(RegSetValueExA(root_, "Bin", 0, REG_BINARY, (const BYTE *)"ab", 2), ERROR_SUCCESS);
    memset(buffer, 0xbd, sizeof buffer);
    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(root_, "Bin", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(buffer[2], 0xbd);
}

TEST_F(RegistryTest, DefaultValueHasTheEmptyName) {
    SetString(root_, nullptr, "by NULL");
    char text[16];
    DWORD size = sizeof text;
    ASSERT_EQ(RegQueryValueExA(root_, "", nullptr, nullptr, (BYTE *)text, &size), ERROR_SUCCESS);
    EXPECT_STREQ(text, "by NULL");
    SetString(root_, "", "by empty");
    size = sizeof text;
    ASSERT_EQ(RegQueryValueExA(root_, nullptr, nullptr, nullptr, (BYTE *)text, &size), ERROR_SUCCESS);
    EXPECT_STREQ(text, "by empty");
    EXPECT_EQ(RegDeleteValueA(root_, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(root_, "", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, ValueNamesIgnoreCaseAndKeepTheirFirstCase) {
    SetDword(root_, "InstallDir", 1);
    SetString(root_, "INSTALLDIR", "C:\\Quillbak");
    DWORD type = 0, size = 0, count = 0;
    ASSERT_EQ(RegQueryValueExA(root_, "installdir", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, (DWORD)REG_SZ);  // overwritten, type and all
    EXPECT_EQ(size, 12u);
    ASSERT_EQ(RegQueryInfoKeyA(root_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(count, 1u);
    char name[32];
    DWORD cch = sizeof name;
    ASSERT_EQ(RegEnumValueA(root_, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "InstallDir");
    EXPECT_EQ(RegDeleteValueA(root_, "INSTALLdir"), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(root_, "InstallDir", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, SetValueWithoutData) {
    EXPECT_EQ(RegSetValueExA(root_, "Bad", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(root_, "Bad", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSetValueExA(root_, "Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    DWORD type = 0;
    size = 0xdeadbeef;
    EXPECT_EQ(RegQueryValueExA(root_, "Empty", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, (DWORD)REG_BINARY);
    EXPECT_EQ(size, 0u);
}

TEST_F(RegistryTest, DeleteValueKeepsTheOthers) {
    SetDword(root_, "One", 1);
    SetDword(root_, "Two", 2);
    SetDword(root_, "Three", 3);
    ASSERT_EQ(RegDeleteValueA(root_, "Two"), ERROR_SUCCESS);
    DWORD v = 0, size = sizeof v;
    EXPECT_EQ(RegQueryValueExA(root_, "Two", nullptr, nullptr, (BYTE *)&v, &size), ERROR_FILE_NOT_FOUND);
    size = sizeof v;
    ASSERT_EQ(RegQueryValueExA(root_, "Three", nullptr, nullptr, (BYTE *)&v, &size), ERROR_SUCCESS);
    EXPECT_EQ(v, 3u);
    size = sizeof v;
    ASSERT_EQ(RegQueryValueExA(root_, "One", nullptr, nullptr, (BYTE *)&v, &size), ERROR_SUCCESS);
    EXPECT_EQ(v, 1u);
}

}  // namespace
