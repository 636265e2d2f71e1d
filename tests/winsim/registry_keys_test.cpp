// Registry keys: opening, creating, closing and deleting them, path rules,
// access rights and handles to deleted keys.
#include "registry_fixture.h"
#include "support/wine.h"

#include <functional>

namespace {

using regtest::RegistryTest;

TEST_F(RegistryTest, CreateMakesIntermediateKeysAndReportsDisposition) {
    HKEY k = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(root_, "A\\B\\C", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, (DWORD)REG_CREATED_NEW_KEY);
    RegCloseKey(k);
    EXPECT_TRUE(Exists("A"));
    EXPECT_TRUE(Exists("A\\B"));

    disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(root_, "a\\b\\c", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, (DWORD)REG_OPENED_EXISTING_KEY);
    RegCloseKey(k);

    // Only the last key missing still counts as created.
    ASSERT_EQ(RegCreateKeyExA(root_, "A\\B\\D", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, (DWORD)REG_CREATED_NEW_KEY);
    RegCloseKey(k);
}

TEST_F(RegistryTest, NamesAreCaseInsensitiveAndKeepTheirFirstCase) {
    MakeKey("MixedCase");
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(root_, "MIXEDCASE", 0, KEY_READ, &k), ERROR_SUCCESS);
    RegCloseKey(k);
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(root_, "mixedcase", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, (DWORD)REG_OPENED_EXISTING_KEY);
    RegCloseKey(k);
    EXPECT_EQ(SubkeyNames(root_), std::vector<std::string>{"MixedCase"});
}

TEST_F(RegistryTest, OpenPathForms) {
    MakeKey("Child\\Grand");
    struct Case {
        const char *subKey;
        LONG expected;
    } cases[] = {
        {"Child", ERROR_SUCCESS},
        {"child\\GRAND", ERROR_SUCCESS},
        {"Child\\", ERROR_SUCCESS},               // trailing backslashes are ignored
        {"Child\\Grand\\\\", ERROR_SUCCESS},
        {"Child\\\\Grand", ERROR_SUCCESS},        // so are doubled ones
        {"\\Child", ERROR_BAD_PATHNAME},          // NT refuses a leading backslash
        {"Missing", ERROR_FILE_NOT_FOUND},
        {"Child\\Missing", ERROR_FILE_NOT_FOUND},
        {"Child\\Grand\\Missing", ERROR_FILE_NOT_FOUND},
    };
    for (const Case &c : cases) {
        HKEY k = (HKEY)(ULONG_PTR)0x1234;
        EXPECT_EQ(RegOpenKeyExA(root_, c.subKey, 0, KEY_READ, &k), c.expected) << c.subKey;
        if (c.expected == ERROR_SUCCESS) {
            EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS) << c.subKey;
        } else if (c.expected == ERROR_FILE_NOT_FOUND) {
            EXPECT_EQ(k, nullptr) << c.subKey;  // the result is cleared on failure
        }
    }
}

TEST_F(RegistryTest, OpenWithoutSubkeyGivesANewHandleToTheSameKey) {
    SKIP_ON_WINE("RegOpenKeyExA refuses a sub-key name of a single backslash (ERROR_BAD_PATHNAME)");
    const char *self[] = {nullptr, "", "\\"};
    SetDword(root_, "Marker", 7);
    for (const char *sub : self) {
        HKEY k = nullptr;
        ASSERT_EQ(RegOpenKeyExA(root_, sub, 0, KEY_READ, &k), ERROR_SUCCESS) << (sub ? sub : "NULL");
        EXPECT_NE(k, root_);
        DWORD v = 0, size = sizeof v;
        EXPECT_EQ(RegQueryValueExA(k, "Marker", nullptr, nullptr, (BYTE *)&v, &size), ERROR_SUCCESS);
        EXPECT_EQ(v, 7u);
        EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    }
    // The handle given in is still open.
    EXPECT_EQ(RegFlushKey(root_), ERROR_SUCCESS);
}

TEST_F(RegistryTest, CreatePathForms) {
    HKEY k = nullptr;
    EXPECT_EQ(RegCreateKeyExA(root_, "\\Lead", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_FALSE(Exists("Lead"));
    ASSERT_EQ(RegCreateKeyExA(root_, "Trail\\\\", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_EQ(SubkeyNames(root_), std::vector<std::string>{"Trail"});
}

TEST_F(RegistryTest, MissingResultPointers) {
    SKIP_ON_WINE("RegOpenKeyExA writes the key through a null result pointer (page fault)");
    EXPECT_EQ(RegOpenKeyExA(root_, "X", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyA(root_, "X", nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(root_, "X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, nullptr, nullptr), ERROR_BADKEY);
    EXPECT_EQ(RegCreateKeyA(root_, "X", nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(Exists("X"));
}

TEST_F(RegistryTest, LegacyOpenAndCreate) {
    SKIP_ON_WINE("RegCreateKeyA with no sub-key returns a new handle, not the one passed in");
    HKEY k = nullptr;
    // No subkey: the very handle passed in comes back.
    EXPECT_EQ(RegOpenKeyA(root_, nullptr, &k), ERROR_SUCCESS);
    EXPECT_EQ(k, root_);
    EXPECT_EQ(RegOpenKeyA(root_, "", &k), ERROR_SUCCESS);
    EXPECT_EQ(k, root_);
    EXPECT_EQ(RegOpenKeyA(nullptr, nullptr, &k), ERROR_SUCCESS);
    EXPECT_EQ(k, nullptr);
    EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, nullptr, &k), ERROR_SUCCESS);
    EXPECT_EQ(k, HKEY_CURRENT_USER);

    ASSERT_EQ(RegCreateKeyA(root_, "Legacy\\Sub", &k), ERROR_SUCCESS);
    SetDword(k, "v", 1);  // opened with all access
    RegCloseKey(k);
    ASSERT_EQ(RegOpenKeyA(root_, "legacy\\sub", &k), ERROR_SUCCESS);
    SetDword(k, "v", 2);
    RegCloseKey(k);
    EXPECT_EQ(RegOpenKeyA(root_, "Legacy\\Missing", &k), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, InvalidHandles) {
    HKEY closed = Create("Closed");
    ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
    for (HKEY bad : {(HKEY) nullptr, closed}) {
        HKEY k;
        DWORD size = 0;
        EXPECT_EQ(RegOpenKeyExA(bad, "X", 0, KEY_READ, &k), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegCreateKeyExA(bad, "X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegQueryValueExA(bad, "X", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegSetValueExA(bad, "X", 0, REG_BINARY, nullptr, 0), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegDeleteKeyA(bad, "X"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegQueryInfoKeyA(bad, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegFlushKey(bad), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegCloseKey(bad), ERROR_INVALID_HANDLE);
    }
}

TEST_F(RegistryTest, ClosingAPredefinedKeySucceedsAndLeavesItUsable) {
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &k), ERROR_SUCCESS);
    RegCloseKey(k);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, regtest::kTestKey, 0, KEY_READ, &k), ERROR_SUCCESS);
    RegCloseKey(k);
}

TEST_F(RegistryTest, ClassesRootIsTheClassesKeyOfTheMachine) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, ".winsimtest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    SetString(k, nullptr, "WinsimTest.Document");
    RegCloseKey(k);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.WINSIMTEST", 0, KEY_READ, &k), ERROR_SUCCESS);
    char text[64];
    DWORD size = sizeof text;
    EXPECT_EQ(RegQueryValueExA(k, "", nullptr, nullptr, (BYTE *)text, &size), ERROR_SUCCESS);
    EXPECT_STREQ(text, "WinsimTest.Document");
    RegCloseKey(k);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ".winsimtest"), ERROR_SUCCESS);
}

TEST_F(RegistryTest, NoNewKeysDirectlyUnderLocalMachineOrUsers) {
    SKIP_ON_WINE("keys can be created directly under HKEY_LOCAL_MACHINE and HKEY_USERS");
    HKEY k = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "WinsimNewHive", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyExA(HKEY_USERS, "WinsimNewHive\\Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "WinsimNewHive", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
    // Existing hives open through the same call.
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software", 0, nullptr, 0, KEY_READ, nullptr, &k, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, (DWORD)REG_OPENED_EXISTING_KEY);
    RegCloseKey(k);
}

TEST_F(RegistryTest, DeleteKeyRules) {
    MakeKey("Parent\\Child");
    EXPECT_EQ(RegDeleteKeyA(root_, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyA(root_, "Parent"), ERROR_ACCESS_DENIED);  // NT deletes leaves only
    EXPECT_TRUE(Exists("Parent\\Child"));
    EXPECT_EQ(RegDeleteKeyA(root_, "Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(root_, "\\Parent\\Child"), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegDeleteKeyA(root_, "PARENT\\child"), ERROR_SUCCESS);
    EXPECT_FALSE(Exists("Parent\\Child"));
    EXPECT_EQ(RegDeleteKeyA(root_, "Parent"), ERROR_SUCCESS);
    EXPECT_FALSE(Exists("Parent"));
    EXPECT_EQ(SubkeyNames(root_), std::vector<std::string>{});
}

TEST_F(RegistryTest, DeleteKeyWithEmptySubkeyDeletesTheKeyItself) {
    HKEY k = Create("Self");
    EXPECT_EQ(RegDeleteKeyA(k, ""), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    EXPECT_FALSE(Exists("Self"));
}

TEST_F(RegistryTest, PredefinedRootsCannotBeDeleted) {
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_USERS, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED);
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &k), ERROR_SUCCESS);
    RegCloseKey(k);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, nullptr, 0, KEY_READ, &k), ERROR_SUCCESS);
    RegCloseKey(k);
}

TEST_F(RegistryTest, DeletingNeedsNoAccessOnTheHandle) {
    MakeKey("Leaf");
    HKEY readOnly;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, regtest::kTestKey, 0, KEY_QUERY_VALUE, &readOnly), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(readOnly, "Leaf"), ERROR_SUCCESS);
    RegCloseKey(readOnly);
    EXPECT_FALSE(Exists("Leaf"));
}

TEST_F(RegistryTest, CreatingSubkeysIgnoresTheAccessOfTheParentHandle) {
    HKEY readOnly, k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, regtest::kTestKey, 0, KEY_READ, &readOnly), ERROR_SUCCESS);
    EXPECT_EQ(RegCreateKeyExA(readOnly, "Made", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr), ERROR_SUCCESS);
    RegCloseKey(k);
    RegCloseKey(readOnly);
    EXPECT_TRUE(Exists("Made"));
}

// What a handle opened with a given access lets through.
TEST_F(RegistryTest, AccessRightsOfHandles) {
    SKIP_ON_WINE("registry handles do not enforce the access they were opened with");
    HKEY setup = Create("Guarded\\Sub");
    RegCloseKey(setup);
    ASSERT_EQ(RegOpenKeyExA(root_, "Guarded", 0, KEY_ALL_ACCESS, &setup), ERROR_SUCCESS);
    SetDword(setup, "Value", 1);
    RegCloseKey(setup);

    using Op = std::function<LONG(HKEY)>;
    const struct {
        const char *name;
        Op op;
    } ops[] = {
        {"query", [](HKEY k) {
             DWORD v, size = sizeof v;
             return RegQueryValueExA(k, "Value", nullptr, nullptr, (BYTE *)&v, &size);
         }},
        {"set", [](HKEY k) {
             DWORD v = 2;
             return RegSetValueExA(k, "Value", 0, REG_DWORD, (const BYTE *)&v, sizeof v);
         }},
        {"delete value", [](HKEY k) { return RegDeleteValueA(k, "NoSuchValue"); }},
        {"enum keys", [](HKEY k) {
             char name[32];
             DWORD cch = sizeof name;
             return RegEnumKeyExA(k, 0, name, &cch, nullptr, nullptr, nullptr, nullptr);
         }},
        {"enum values", [](HKEY k) {
             char name[32];
             DWORD cch = sizeof name;
             return RegEnumValueA(k, 0, name, &cch, nullptr, nullptr, nullptr, nullptr);
         }},
        {"query info", [](HKEY k) {
             DWORD subkeys;
             return RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, nullptr);
         }},
    };
    const LONG ok = ERROR_SUCCESS, denied = ERROR_ACCESS_DENIED;
    // RegDeleteValueA of a missing value reports ERROR_FILE_NOT_FOUND once access is granted.
    const LONG gone = ERROR_FILE_NOT_FOUND;
    const struct {
        const char *name;
        REGSAM access;
        LONG expected[6];  // in the order of ops
    } cases[] = {
        {"KEY_READ", KEY_READ, {ok, denied, denied, ok, ok, ok}},
        {"KEY_WRITE", KEY_WRITE, {denied, ok, gone, denied, denied, denied}},
        {"KEY_ALL_ACCESS", KEY_ALL_ACCESS, {ok, ok, gone, ok, ok, ok}},
        {"KEY_QUERY_VALUE", KEY_QUERY_VALUE, {ok, denied, denied, denied, ok, ok}},
        {"KEY_SET_VALUE", KEY_SET_VALUE, {denied, ok, gone, denied, denied, denied}},
        {"KEY_ENUMERATE_SUB_KEYS", KEY_ENUMERATE_SUB_KEYS, {denied, denied, denied, ok, denied, denied}},
        {"GENERIC_READ", GENERIC_READ, {ok, denied, denied, ok, ok, ok}},
        {"MAXIMUM_ALLOWED", MAXIMUM_ALLOWED, {ok, ok, gone, ok, ok, ok}},
        {"no access", 0, {denied, denied, denied, denied, denied, denied}},
    };
    for (const auto &c : cases) {
        HKEY k;
        ASSERT_EQ(RegOpenKeyExA(root_, "Guarded", 0, c.access, &k), ERROR_SUCCESS) << c.name;
        for (size_t i = 0; i < 6; ++i) EXPECT_EQ(ops[i].op(k), c.expected[i]) << c.name << ": " << ops[i].name;
        RegCloseKey(k);
    }
}

TEST_F(RegistryTest, HandlesToADeletedKeyReportKeyDeleted) {
    HKEY doomed = Create("Doomed");
    SetDword(doomed, "Value", 1);
    ASSERT_EQ(RegDeleteKeyA(root_, "Doomed"), ERROR_SUCCESS);

    DWORD v = 0, size = sizeof v;
    char name[32];
    DWORD cch = sizeof name;
    HKEY k;
    EXPECT_EQ(RegQueryValueExA(doomed, "Value", nullptr, nullptr, (BYTE *)&v, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegSetValueExA(doomed, "Value", 0, REG_DWORD, (const BYTE *)&v, sizeof v), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteValueA(doomed, "Value"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegEnumKeyExA(doomed, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(RegEnumValueA(doomed, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(RegQueryInfoKeyA(doomed, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegCreateKeyExA(doomed, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_KEY_DELETED);

    // A new key of the same name is another key; the old handle stays dead.
    HKEY reborn = Create("Doomed");
    EXPECT_EQ(RegQueryValueExA(reborn, "Value", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSetValueExA(doomed, "Value", 0, REG_DWORD, (const BYTE *)&v, sizeof v), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(reborn), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(doomed), ERROR_SUCCESS);
}

TEST_F(RegistryTest, VolatileKeysOnlyHaveVolatileChildren) {
    HKEY vol, k;
    ASSERT_EQ(
        RegCreateKeyExA(root_, "Volatile", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &vol, nullptr),
        ERROR_SUCCESS);
    EXPECT_EQ(RegCreateKeyExA(vol, "Stable", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_CHILD_MUST_BE_VOLATILE);
    ASSERT_EQ(RegCreateKeyExA(vol, "Fleeting", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);
    // Opening an existing key through RegCreateKeyEx does not care.
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(vol, "Fleeting", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &k,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, (DWORD)REG_OPENED_EXISTING_KEY);
    RegCloseKey(k);
    RegCloseKey(vol);
    EXPECT_FALSE(Exists("Volatile\\Stable"));
}

TEST_F(RegistryTest, FlushKey) {
    EXPECT_EQ(RegFlushKey(root_), ERROR_SUCCESS);
    EXPECT_EQ(RegFlushKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    HKEY k = Create("Flushed");
    ASSERT_EQ(RegDeleteKeyA(root_, "Flushed"), ERROR_SUCCESS);
    EXPECT_EQ(RegFlushKey(k), ERROR_KEY_DELETED);
    RegCloseKey(k);
}

TEST_F(RegistryTest, RegistryCallsLeaveTheLastErrorAlone) {
    HKEY k;
    DWORD size = 0;
    SetLastError(0x1234);
    EXPECT_EQ(RegOpenKeyExA(root_, "Missing", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(root_, "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetLastError(), 0x1234u);
    SetDword(root_, "Present", 1);
    ASSERT_EQ(RegOpenKeyExA(root_, nullptr, 0, KEY_READ, &k), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(k, "Present", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_EQ(GetLastError(), 0x1234u);
}

TEST_F(RegistryTest, ConnectRegistryToThisMachine) {
    char computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD len = sizeof computer;
    ASSERT_TRUE(GetComputerNameA(computer, &len));
    const std::string unc = std::string("\\\\") + computer;
    for (const char *name : {(const char *)nullptr, "", (const char *)computer, unc.c_str()}) {
        HKEY remote = nullptr, k;
        ASSERT_EQ(RegConnectRegistryA(name, HKEY_LOCAL_MACHINE, &remote), ERROR_SUCCESS) << (name ? name : "NULL");
        ASSERT_EQ(RegOpenKeyExA(remote, "SOFTWARE", 0, KEY_READ, &k), ERROR_SUCCESS);
        RegCloseKey(k);
        EXPECT_EQ(RegCloseKey(remote), ERROR_SUCCESS);
    }
}

}  // namespace
