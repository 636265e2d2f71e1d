// HKEY_CLASSES_ROOT as Windows 2000 presents it: the user's classes
// (HKCU\Software\Classes) merged over the machine's (HKLM\SOFTWARE\Classes),
// and the opening rules of the predefined keys.
#include "registry_fixture.h"

#include <algorithm>
#include <cstring>

#include "support/wine.h"

namespace {

const char kUserClasses[] = "Software\\Classes";
const char kMachineClasses[] = "SOFTWARE\\Classes";

class ClassesRootTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        for (const char *name : {".wsuser", ".wsboth", ".wsmachine", ".wsnew"}) {
            regtest::DeleteTree(HKEY_CURRENT_USER, (std::string(kUserClasses) + "\\" + name).c_str());
            regtest::DeleteTree(HKEY_LOCAL_MACHINE, (std::string(kMachineClasses) + "\\" + name).c_str());
        }
    }
    // A key with a default value in one part.
    static void Put(HKEY root, const char *classes, const char *name, const char *text) {
        HKEY k;
        std::string path = std::string(classes) + "\\" + name;
        ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(k, "", 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text) + 1), ERROR_SUCCESS);
        RegCloseKey(k);
    }
    static std::string Default(HKEY root, const char *path) {
        HKEY k;
        if (RegOpenKeyExA(root, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return "<no key>";
        char text[64];
        DWORD size = sizeof text;
        LONG e = RegQueryValueExA(k, "", nullptr, nullptr, (BYTE *)text, &size);
        RegCloseKey(k);
        return e == ERROR_SUCCESS ? std::string(text) : "<no value>";
    }
    static std::vector<std::string> ClassNames() {
        std::vector<std::string> names;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD cch = sizeof name;
            if (RegEnumKeyExA(HKEY_CLASSES_ROOT, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            names.emplace_back(name, cch);
        }
        return names;
    }
};

// Reads see the user's key first, then the machine's.
TEST_F(ClassesRootTest, UserKeysComeBeforeTheMachines) {
    SKIP_ON_WINE("HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\\Software\\Classes alone: the user's classes are not merged in, and writes always go to the machine's");
    Put(HKEY_CURRENT_USER, kUserClasses, ".wsuser", "User.Only");
    Put(HKEY_CURRENT_USER, kUserClasses, ".wsboth", "User.Doc");
    Put(HKEY_LOCAL_MACHINE, kMachineClasses, ".wsboth", "Machine.Doc");
    Put(HKEY_LOCAL_MACHINE, kMachineClasses, ".wsmachine", "Machine.Only");
    EXPECT_EQ(Default(HKEY_CLASSES_ROOT, ".wsuser"), "User.Only");
    EXPECT_EQ(Default(HKEY_CLASSES_ROOT, ".WSBOTH"), "User.Doc");
    EXPECT_EQ(Default(HKEY_CLASSES_ROOT, ".wsmachine"), "Machine.Only");

    // Enumeration shows both parts once each, in order.
    std::vector<std::string> names = ClassNames();
    for (const char *name : {".wsboth", ".wsmachine", ".wsuser"})
        EXPECT_EQ(std::count(names.begin(), names.end(), std::string(name)), 1) << name;
    auto at = [&](const char *n) { return std::find(names.begin(), names.end(), std::string(n)) - names.begin(); };
    EXPECT_LT(at(".wsboth"), at(".wsmachine"));
    EXPECT_LT(at(".wsmachine"), at(".wsuser"));
    DWORD subkeys = 0;
    ASSERT_EQ(RegQueryInfoKeyA(HKEY_CLASSES_ROOT, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, (DWORD)names.size());
}

// Subkeys of a key opened through HKEY_CLASSES_ROOT come from both parts too.
TEST_F(ClassesRootTest, SubkeysOfAnOpenedKeyAreMerged) {
    SKIP_ON_WINE("HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\\Software\\Classes alone: the user's classes are not merged in, and writes always go to the machine's");
    Put(HKEY_CURRENT_USER, kUserClasses, ".wsboth\\UserSide", "u");
    Put(HKEY_LOCAL_MACHINE, kMachineClasses, ".wsboth\\MachineSide", "m");
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, ".wsboth", 0, KEY_READ, &k), ERROR_SUCCESS);
    char name[32];
    std::vector<std::string> names;
    for (DWORD i = 0; RegEnumKeyA(k, i, name, sizeof name) == ERROR_SUCCESS; ++i) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"MachineSide", "UserSide"}));
    EXPECT_EQ(Default(k, "MachineSide"), "m");
    EXPECT_EQ(Default(k, "UserSide"), "u");
    RegCloseKey(k);
}

// New keys go to the machine's part; values written through a key that the
// user's part has land in the user's key.
TEST_F(ClassesRootTest, WritesFollowTheWindows2000Rules) {
    SKIP_ON_WINE("HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\\Software\\Classes alone: the user's classes are not merged in, and writes always go to the machine's");
    HKEY k;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, ".wsnew", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, (DWORD)REG_CREATED_NEW_KEY);
    ASSERT_EQ(RegSetValueExA(k, "", 0, REG_SZ, (const BYTE *)"New.Doc", 8), ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_EQ(Default(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.wsnew"), "New.Doc");
    EXPECT_EQ(Default(HKEY_CURRENT_USER, "Software\\Classes\\.wsnew"), "<no key>");

    Put(HKEY_CURRENT_USER, kUserClasses, ".wsuser", "User.Only");
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, ".wsuser", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, (DWORD)REG_OPENED_EXISTING_KEY);
    ASSERT_EQ(RegSetValueExA(k, "", 0, REG_SZ, (const BYTE *)"User.Changed", 13), ERROR_SUCCESS);
    // A new subkey of the user's key still goes to the machine's part.
    HKEY sub;
    ASSERT_EQ(RegCreateKeyExA(k, "shell", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_SUCCESS);
    RegCloseKey(sub);
    RegCloseKey(k);
    EXPECT_EQ(Default(HKEY_CURRENT_USER, "Software\\Classes\\.wsuser"), "User.Changed");
    EXPECT_EQ(Default(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.wsuser\\shell"), "<no value>");
    EXPECT_EQ(Default(HKEY_CLASSES_ROOT, ".wsuser\\shell"), "<no value>");

    // Deleting through the merged view takes the key callers see.
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ".wsnew"), ERROR_SUCCESS);
    EXPECT_EQ(Default(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.wsnew"), "<no key>");
}

// One leading backslash is taken below HKEY_CLASSES_ROOT (Windows 2000 and
// later); below other keys it is a bad path.
TEST_F(ClassesRootTest, LeadingBackslashBelowTheClassesRoot) {
    Put(HKEY_LOCAL_MACHINE, kMachineClasses, ".wsmachine", "Machine.Only");
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "\\.wsmachine", 0, KEY_QUERY_VALUE, &k), ERROR_SUCCESS);
    EXPECT_EQ(Default(k, nullptr), "Machine.Only");
    RegCloseKey(k);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SOFTWARE", 0, KEY_READ, &k), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "\\Software", &k), ERROR_BAD_PATHNAME);

    // A lone backslash opens the classes root as a new key.
    k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "\\", 0, KEY_QUERY_VALUE, &k), ERROR_SUCCESS);
    EXPECT_NE(k, HKEY_CLASSES_ROOT);
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
}

// A NULL or empty subkey of a predefined key gives back the predefined handle;
// of an opened key, a new handle.
TEST_F(ClassesRootTest, NoSubkeyOfAPredefinedKeyIsThatKey) {
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        HKEY k = nullptr;
        EXPECT_EQ(RegOpenKeyExA(root, nullptr, 0, KEY_QUERY_VALUE, &k), ERROR_SUCCESS);
        EXPECT_EQ(k, root);
        k = nullptr;
        EXPECT_EQ(RegOpenKeyExA(root, "", 0, KEY_QUERY_VALUE, &k), ERROR_SUCCESS);
        EXPECT_EQ(k, root);
    }
    HKEY software, again = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &software), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(software, "", 0, KEY_READ, &again), ERROR_SUCCESS);
    EXPECT_NE(again, software);
    EXPECT_EQ(RegCloseKey(again), ERROR_SUCCESS);
    again = nullptr;
    ASSERT_EQ(RegOpenKeyExA(software, nullptr, 0, KEY_READ, &again), ERROR_SUCCESS);
    EXPECT_NE(again, software);
    EXPECT_EQ(RegCloseKey(again), ERROR_SUCCESS);
    RegCloseKey(software);
}

}  // namespace
