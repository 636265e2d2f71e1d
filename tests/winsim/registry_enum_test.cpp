// Enumerating subkeys and values, and RegQueryInfoKey.
#include "registry_fixture.h"
#include "support/wine.h"

#include <cstdio>
#include <cstring>

namespace {

using regtest::RegistryTest;

TEST_F(RegistryTest, SubkeysEnumerateSortedWithoutCase) {
    SKIP_ON_WINE("RegEnumKeyExA sorts sub-keys by character code ('_' first), not as Windows does");
    for (const char *name : {"beta", "Alpha", "_under", "GAMMA", "a1"}) MakeKey(name);
    EXPECT_EQ(SubkeyNames(root_), (std::vector<std::string>{"a1", "Alpha", "beta", "GAMMA", "_under"}));

    char name[16];
    DWORD cch = sizeof name;
    FILETIME written{};
    ASSERT_EQ(RegEnumKeyExA(root_, 2, name, &cch, nullptr, nullptr, nullptr, &written), ERROR_SUCCESS);
    EXPECT_STREQ(name, "beta");
    EXPECT_EQ(cch, 4u);  // characters, without the NUL
    EXPECT_TRUE(written.dwLowDateTime != 0 || written.dwHighDateTime != 0);
    cch = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(root_, 5, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    // The short form.
    ASSERT_EQ(RegEnumKeyA(root_, 4, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, "_under");
    EXPECT_EQ(RegEnumKeyA(root_, 5, name, sizeof name), ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryTest, SubkeyNameBufferTooSmall) {
    MakeKey("Eleven_Char");
    char name[32];
    for (DWORD cap : {0u, 1u, 11u}) {
        memset(name, 0x55, sizeof name);
        DWORD cch = cap;
        EXPECT_EQ(RegEnumKeyExA(root_, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA) << cap;
        for (DWORD i = cap; i < sizeof name; ++i) ASSERT_EQ(name[i], 0x55) << cap << " at " << i;
        EXPECT_EQ(RegEnumKeyA(root_, 0, name, cap), ERROR_MORE_DATA) << cap;
        for (DWORD i = cap; i < sizeof name; ++i) ASSERT_EQ(name[i], 0x55) << cap << " at " << i;
    }
    DWORD cch = 12;
    ASSERT_EQ(RegEnumKeyExA(root_, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(cch, 11u);
    EXPECT_STREQ(name, "Eleven_Char");
}

TEST_F(RegistryTest, EnumKeyBadParameters) {
    SKIP_ON_WINE("RegEnumKeyExA writes through a null name buffer or length pointer (page fault)");
    MakeKey("K");
    char name[8];
    DWORD cch = sizeof name, reserved = 0;
    EXPECT_EQ(RegEnumKeyExA(root_, 0, nullptr, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumKeyExA(root_, 0, name, nullptr, nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumKeyExA(root_, 0, name, &cch, &reserved, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, EnumKeyReportsTheClass) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(root_, "Classy", 0, (LPSTR) "subkey class", 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);
    char name[16], cls[32];
    DWORD cch = sizeof name, cchClass = sizeof cls;
    ASSERT_EQ(RegEnumKeyExA(root_, 0, name, &cch, nullptr, cls, &cchClass, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(cls, "subkey class");
    EXPECT_EQ(cchClass, 12u);
}

// Deleting while enumerating from index 0, as recursive deletes do, and a
// long enumeration, both see every key once.
TEST_F(RegistryTest, EnumerationFollowsChanges) {
    char name[32];
    for (int i = 0; i < 300; ++i) {
        snprintf(name, sizeof name, "Key%03d", i);
        MakeKey(name);
    }
    std::vector<std::string> names = SubkeyNames(root_);
    ASSERT_EQ(names.size(), 300u);
    for (int i = 0; i < 300; ++i) {
        snprintf(name, sizeof name, "Key%03d", i);
        EXPECT_EQ(names[i], name);
    }
    // Enumerate part way, add a key that sorts first, and continue.
    ASSERT_EQ(RegEnumKeyA(root_, 10, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Key010");
    MakeKey("Aaa");
    ASSERT_EQ(RegEnumKeyA(root_, 11, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Key010");

    int deleted = 0;
    while (RegEnumKeyA(root_, 0, name, sizeof name) == ERROR_SUCCESS) {
        ASSERT_EQ(RegDeleteKeyA(root_, name), ERROR_SUCCESS) << name;
        ++deleted;
    }
    EXPECT_EQ(deleted, 301);
}

TEST_F(RegistryTest, ValuesEnumerateInCreationOrder) {
    SKIP_ON_WINE("RegEnumValueA returns values sorted by name, not in creation order");
    SetDword(root_, "zeta", 1);
    SetString(root_, "Alpha", "a");
    SetDword(root_, "mid", 3);
    SetString(root_, nullptr, "default");
    auto names = [&] {
        std::vector<std::string> out;
        char name[32];
        for (DWORD i = 0;; ++i) {
            DWORD cch = sizeof name;
            LONG e = RegEnumValueA(root_, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
            if (e != ERROR_SUCCESS) {
                EXPECT_EQ(e, ERROR_NO_MORE_ITEMS);
                break;
            }
            EXPECT_EQ(cch, strlen(name));
            out.push_back(name);
        }
        return out;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"zeta", "Alpha", "mid", ""}));
    SetDword(root_, "ZETA", 9);  // rewriting keeps the place
    EXPECT_EQ(names(), (std::vector<std::string>{"zeta", "Alpha", "mid", ""}));
    ASSERT_EQ(RegDeleteValueA(root_, "alpha"), ERROR_SUCCESS);
    EXPECT_EQ(names(), (std::vector<std::string>{"zeta", "mid", ""}));
}

// Which of name, name length, type, data and data size RegEnumValueA fills
// when one of the buffers is too small.
TEST_F(RegistryTest, EnumValueBufferRules) {
    SKIP_ON_WINE("RegEnumValueA writes part of the name into a buffer that is too small");
    ASSERT_EQ(RegSetValueExA(root_, "Test", 0, REG_SZ, (const BYTE *)"foobar", 7), ERROR_SUCCESS);
    const struct {
        const char *what;
        DWORD nameCapacity, dataCapacity;
        LONG expected;
        DWORD nameCount, dataCount;
        const char *name, *data;
    } cases[] = {
        {"both fit", 20, 20, ERROR_SUCCESS, 4, 7, "Test", "foobar"},
        {"exact fit", 5, 7, ERROR_SUCCESS, 4, 7, "Test", "foobar"},
        {"name and data too small", 2, 2, ERROR_MORE_DATA, 2, 7, "xxxxxxxxxx", "xxxxxxxxxx"},
        // Windows 2000 cuts a name that does not fit to the buffer, keeps
        // its count, and still copies the data when that fits.
        {"name too small", 4, 16, ERROR_MORE_DATA, 4, 7, "Tes", "foobar"},
        {"name much too small", 3, 16, ERROR_MORE_DATA, 3, 7, "Te", "foobar"},
        {"no room for a name", 0, 16, ERROR_MORE_DATA, 0, 7, "xxxxxxxxxx", "foobar"},
        {"data too small", 20, 2, ERROR_MORE_DATA, 20, 7, "xxxxxxxxxx", "xxxxxxxxxx"},
    };
    for (const auto &c : cases) {
        char name[24], data[24];
        strcpy(name, "xxxxxxxxxx");
        strcpy(data, "xxxxxxxxxx");
        DWORD nameCount = c.nameCapacity, dataCount = c.dataCapacity, type = 1234;
        EXPECT_EQ(RegEnumValueA(root_, 0, name, &nameCount, nullptr, &type, (BYTE *)data, &dataCount), c.expected)
            << c.what;
        EXPECT_EQ(nameCount, c.nameCount) << c.what;
        EXPECT_EQ(dataCount, c.dataCount) << c.what;
        EXPECT_EQ(type, (DWORD)REG_SZ) << c.what;
        EXPECT_STREQ(name, c.name) << c.what;
        EXPECT_STREQ(data, c.data) << c.what;
    }

    // No data buffer: the size.
    char name[8];
    DWORD cch = sizeof name, size = 0;
    EXPECT_EQ(RegEnumValueA(root_, 0, name, &cch, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(RegEnumValueA(root_, 1, name, &cch, nullptr, nullptr, nullptr, &size), ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryTest, EnumValueBadParameters) {
    SetDword(root_, "V", 1);
    char name[8];
    BYTE data[8];
    DWORD cch = sizeof name, size = sizeof data, reserved = 0;
    EXPECT_EQ(RegEnumValueA(root_, 0, nullptr, &cch, nullptr, nullptr, data, &size), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumValueA(root_, 0, name, nullptr, nullptr, nullptr, data, &size), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumValueA(root_, 0, name, &cch, &reserved, nullptr, data, &size), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumValueA(root_, 0, name, &cch, nullptr, nullptr, data, nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, EnumValueTerminatesBareStringsWhenThereIsRoom) {
    ASSERT_EQ(RegSetValueExA(root_, "Bare", 0, REG_SZ, (const BYTE *)"abcdef", 3), ERROR_SUCCESS);
    char name[8];
    BYTE data[8];
    for (DWORD room : {3u, 4u}) {
        memset(data, 0xbd, sizeof data);
        DWORD cch = sizeof name, size = room;
        ASSERT_EQ(RegEnumValueA(root_, 0, name, &cch, nullptr, nullptr, data, &size), ERROR_SUCCESS);
        EXPECT_EQ(size, 3u);
        EXPECT_EQ(memcmp(data, "abc", 3), 0);
        EXPECT_EQ(data[3], room == 4 ? 0 : 0xbd) << room;
    }
}

TEST_F(RegistryTest, QueryInfoKeyCountsAndLengths) {
    SKIP_ON_WINE("RegQueryInfoKeyA accepts a non-null reserved pointer");
    HKEY k = Create("Info");
    DWORD subkeys = 99, maxSubKey = 99, maxClass = 99, values = 99, maxValueName = 99, maxValue = 99;
    FILETIME written{};
    ASSERT_EQ(RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, &subkeys, &maxSubKey, &maxClass, &values, &maxValueName,
                               &maxValue, nullptr, &written),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 0u);
    EXPECT_EQ(maxSubKey, 0u);
    EXPECT_EQ(maxClass, 0u);
    EXPECT_EQ(values, 0u);
    EXPECT_EQ(maxValueName, 0u);
    EXPECT_EQ(maxValue, 0u);
    EXPECT_TRUE(written.dwLowDateTime != 0 || written.dwHighDateTime != 0);

    HKEY sub;
    ASSERT_EQ(RegCreateKeyExA(k, "subsubkey", 0, (LPSTR) "subsubkey class", 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(sub);
    MakeKey("Info\\ab");
    SetString(k, nullptr, "data");
    SetString(k, "value one", "first value data");
    const BYTE blob[40] = {};
    ASSERT_EQ(RegSetValueExA(k, "bin", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
    ASSERT_EQ(RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, &subkeys, &maxSubKey, &maxClass, &values, &maxValueName,
                               &maxValue, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 2u);
    EXPECT_EQ(maxSubKey, 9u);  // "subsubkey", without the NUL
    EXPECT_EQ(maxClass, 15u);  // "subsubkey class"
    EXPECT_EQ(values, 3u);
    EXPECT_EQ(maxValueName, 9u);  // "value one"
    EXPECT_EQ(maxValue, 40u);

    // NT keeps strings in UTF-16: their longest data counts two bytes a character.
    ASSERT_EQ(RegDeleteValueA(k, "bin"), ERROR_SUCCESS);
    SetString(k, "value 2", "second value data");
    ASSERT_EQ(RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxValue,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(maxValue, (DWORD)sizeof("second value data") * 2);

    // Nothing asked for is fine; a class buffer without its length is not.
    char cls[8];
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegQueryInfoKeyA(k, cls, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr),
              ERROR_INVALID_PARAMETER);
    DWORD cchClass = sizeof cls;
    EXPECT_EQ(RegQueryInfoKeyA(k, cls, &cchClass, &reserved, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(k);
}

TEST_F(RegistryTest, QueryInfoKeyClassBuffer) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(root_, "Classy", 0, (LPSTR) "subkey class", 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    const size_t len = strlen("subkey class");
    char cls[32];
    DWORD cch = 0;
    // The length alone.
    ASSERT_EQ(RegQueryInfoKeyA(k, nullptr, &cch, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(cch, len);
    const struct {
        DWORD capacity;
        LONG expected;
        DWORD count;
        std::string text;  // what the buffer holds after the call, up to its first NUL
    } cases[] = {
        {(DWORD)len + 1, ERROR_SUCCESS, (DWORD)len, "subkey class"},
        {(DWORD)len, ERROR_MORE_DATA, (DWORD)len - 1, "subkey clas"},
        {1, ERROR_MORE_DATA, 0, ""},
    };
    for (const auto &c : cases) {
        memset(cls, 0x55, sizeof cls);
        cch = c.capacity;
        EXPECT_EQ(RegQueryInfoKeyA(k, cls, &cch, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr),
                  c.expected)
            << c.capacity;
        EXPECT_EQ(cch, c.count) << c.capacity;
        EXPECT_EQ(std::string(cls, strnlen(cls, c.capacity)), c.text) << c.capacity;
        EXPECT_EQ(cls[c.capacity], 0x55) << c.capacity;
    }
    RegCloseKey(k);
}

}  // namespace
