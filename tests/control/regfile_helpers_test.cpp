// The registry control API: path helpers, the key model, and how the
// predefined roots map onto a machine's tree.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <string>

namespace {

winsim::Registry &Reg() { return winsim::LocalMachine().registry; }

TEST(RegHelpers, RootNamesLongAndShort) {
    const struct {
        const char *written;
        const char *read;
        HKEY win32;
    } cases[] = {
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Q1", "hklm\\software\\q1", HKEY_LOCAL_MACHINE},
        {"HKLM\\SOFTWARE\\Q2", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Q2", HKEY_LOCAL_MACHINE},
        {"HKEY_CURRENT_USER\\Software\\Q3", "HKCU\\Software\\Q3", HKEY_CURRENT_USER},
        {"HKCR\\.q4", "HKEY_CLASSES_ROOT\\.Q4", HKEY_CLASSES_ROOT},
        {"HKU\\.DEFAULT\\Q5", "HKEY_USERS\\.default\\q5", HKEY_USERS},
        {"HKCC\\Q6", "HKEY_CURRENT_CONFIG\\Q6", HKEY_CURRENT_CONFIG},
        {"HKLM\\\\SOFTWARE\\Q7\\", "HKLM\\SOFTWARE\\Q7", HKEY_LOCAL_MACHINE},  // empty components drop out
    };
    for (const auto &c : cases) {
        Reg().SetDword(c.written, "v", 42);
        DWORD v = 0;
        EXPECT_TRUE(Reg().GetDword(c.read, "v", v)) << c.written;
        EXPECT_EQ(v, 42u) << c.written;
        // The same key through Win32.
        std::string sub(c.read);
        sub = sub.substr(sub.find('\\') + 1);
        HKEY k;
        ASSERT_EQ(RegOpenKeyExA(c.win32, sub.c_str(), 0, KEY_READ, &k), ERROR_SUCCESS) << c.written;
        DWORD size = sizeof v;
        v = 0;
        EXPECT_EQ(RegQueryValueExA(k, "v", nullptr, nullptr, (BYTE *)&v, &size), ERROR_SUCCESS);
        EXPECT_EQ(v, 42u);
        RegCloseKey(k);
    }
}

TEST(RegHelpers, UnknownRoots) {
    std::string s;
    DWORD d;
    EXPECT_EQ(Reg().Find("HKEY_NOWHERE\\X"), nullptr);
    EXPECT_EQ(Reg().Find(""), nullptr);
    EXPECT_THROW(Reg().Create("HKXX\\Software"), std::invalid_argument);
    EXPECT_THROW(Reg().SetString("Software\\X", "v", "1"), std::invalid_argument);
    EXPECT_FALSE(Reg().Delete("HKEY_NOWHERE\\X"));
    EXPECT_FALSE(Reg().GetString("NOWHERE\\X", "v", s));
    EXPECT_FALSE(Reg().GetDword("NOWHERE\\X", "v", d));
}

TEST(RegHelpers, CurrentUserAndClassesRootFollowTheMachine) {
    winsim::Registry &r = Reg();
    r.SetString("HKCU\\Software\\Quillbak", "Who", "admin");
    EXPECT_NE(r.Find("HKU\\" + r.currentUserKey + "\\Software\\Quillbak"), nullptr);
    r.SetString("HKCR\\Quillbak.Catalog", "", "Catalog");
    EXPECT_NE(r.Find("HKLM\\SOFTWARE\\Classes\\Quillbak.Catalog"), nullptr);

    // Another user: HKEY_CURRENT_USER is looked up at each call.
    r.currentUserKey = ".DEFAULT";
    EXPECT_EQ(r.Find("HKCU\\Software\\Quillbak"), nullptr);
    HKEY k;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quillbak", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Quillbak", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_NE(r.Find("HKU\\.DEFAULT\\Software\\Quillbak"), nullptr);
}

TEST(RegHelpers, StringsAndDwords) {
    winsim::Registry &r = Reg();
    const char *k = "HKLM\\SOFTWARE\\Quillbak";
    r.SetString(k, "Sz", "text");
    r.SetString(k, "Expand", "%TEMP%", REG_EXPAND_SZ);
    r.SetString(k, "Multi", std::string("a\0b\0", 4), REG_MULTI_SZ);
    r.Set(k, "Embedded", REG_SZ, "ab\0cd", 6);
    r.Set(k, "Bare", REG_SZ, "xy", 2);
    r.SetDword(k, "Dword", 0x01020304);
    r.Set(k, "BigEndian", REG_DWORD_BIG_ENDIAN, "\1\2\3\4", 4);
    r.Set(k, "ShortDword", REG_DWORD, "\1\2", 2);

    const winsim::RegValue *v = r.Find(k)->FindValue("Sz");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->type, (DWORD)REG_SZ);
    EXPECT_EQ(v->data, (std::vector<BYTE>{'t', 'e', 'x', 't', 0}));  // with its NUL
    EXPECT_EQ(r.Find(k)->FindValue("Multi")->data, (std::vector<BYTE>{'a', 0, 'b', 0, 0}));

    const struct {
        const char *name;
        bool found;
        std::string text;
    } strings[] = {
        {"Sz", true, "text"},       {"Expand", true, "%TEMP%"},  {"Multi", true, std::string("a\0b\0", 4)},
        {"Embedded", true, "ab"},   {"Bare", true, "xy"},         {"Dword", false, ""},
        {"Missing", false, ""},
    };
    for (const auto &c : strings) {
        std::string s = "unchanged";
        EXPECT_EQ(r.GetString(k, c.name, s), c.found) << c.name;
        EXPECT_EQ(s, c.found ? c.text : "unchanged") << c.name;
    }
    const struct {
        const char *name;
        bool found;
        DWORD value;
    } dwords[] = {
        {"Dword", true, 0x01020304}, {"BigEndian", true, 0x01020304}, {"ShortDword", false, 0},
        {"Sz", false, 0},            {"Missing", false, 0},
    };
    for (const auto &c : dwords) {
        DWORD d = 0xdeadbeef;
        EXPECT_EQ(r.GetDword(k, c.name, d), c.found) << c.name;
        EXPECT_EQ(d, c.found ? c.value : 0xdeadbeef) << c.name;
    }
    EXPECT_THROW(r.Set(k, "NoData", REG_BINARY, nullptr, 3), std::invalid_argument);
}

TEST(RegHelpers, DeleteTakesTheWholeTree) {
    winsim::Registry &r = Reg();
    r.SetDword("HKLM\\SOFTWARE\\Quillbak\\A\\B\\C", "v", 1);
    HKEY deep;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillbak\\A\\B\\C", 0, KEY_READ, &deep), ERROR_SUCCESS);
    EXPECT_TRUE(r.Delete("hklm\\software\\quillbak\\a"));
    EXPECT_EQ(r.Find("HKLM\\SOFTWARE\\Quillbak\\A"), nullptr);
    EXPECT_NE(r.Find("HKLM\\SOFTWARE\\Quillbak"), nullptr);
    DWORD size;
    EXPECT_EQ(RegQueryValueExA(deep, "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    RegCloseKey(deep);
    EXPECT_FALSE(r.Delete("HKLM\\SOFTWARE\\Quillbak\\A"));  // gone already
    EXPECT_FALSE(r.Delete("HKLM"));                          // roots stay
    EXPECT_FALSE(r.Delete("HKCU\\"));
    EXPECT_NE(r.Find("HKLM\\SOFTWARE"), nullptr);
}

TEST(RegHelpers, KeyModel) {
    winsim::RegKey *q = Reg().Create("HKLM\\SOFTWARE\\Quillbak");
    EXPECT_EQ(q->FullPath(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak");
    winsim::RegKey *c = q->CreateChild("Child");
    EXPECT_EQ(q->CreateChild("CHILD"), c);  // the existing one
    EXPECT_EQ(q->Child("child"), c);
    EXPECT_EQ(q->Child("Other"), nullptr);
    EXPECT_EQ(c->parent, q);
    EXPECT_EQ(c->FullPath(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak\\Child");
    EXPECT_THROW(q->CreateChild(""), std::invalid_argument);
    EXPECT_THROW(q->CreateChild("a\\b"), std::invalid_argument);

    c->SetValue("First", REG_DWORD, "\1\0\0\0", 4);
    c->SetValue("Second", REG_SZ, "x", 2);
    c->SetValue("Third", REG_BINARY, "", 0);
    EXPECT_TRUE(c->DeleteValue("FIRST"));
    EXPECT_FALSE(c->DeleteValue("First"));
    ASSERT_EQ(c->values.size(), 2u);
    EXPECT_EQ(c->FindValue("third")->name, "Third");
    EXPECT_EQ(c->FindValue("second")->data, (std::vector<BYTE>{'x', 0}));

    // After editing the value list by hand, the index is rebuilt on request.
    c->values.insert(c->values.begin(), winsim::RegValue{"Inserted", REG_DWORD, {9, 0, 0, 0}});
    c->RebuildValueIndex();
    EXPECT_EQ(c->FindValue("inserted")->data[0], 9);
    EXPECT_EQ(c->FindValue("Third")->name, "Third");
    char name[16];
    DWORD cch = sizeof name;
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillbak\\Child", 0, KEY_READ, &k), ERROR_SUCCESS);
    ASSERT_EQ(RegEnumValueA(k, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Inserted");
    RegCloseKey(k);
}

TEST(RegHelpers, FreshRegistryHasTheNtHives) {
    winsim::Registry fresh;
    for (const char *hive : {"HKLM\\HARDWARE", "HKLM\\SAM", "HKLM\\SECURITY", "HKLM\\SOFTWARE", "HKLM\\SYSTEM",
                             "HKCR", "HKU\\.DEFAULT", "HKCU"})
        EXPECT_NE(fresh.Find(hive), nullptr) << hive;
    EXPECT_EQ(fresh.Root(HKEY_CLASSES_ROOT).get(), fresh.Find("HKLM\\SOFTWARE\\Classes"));
    EXPECT_EQ(fresh.Root(HKEY_PERFORMANCE_DATA), nullptr);
}

}  // namespace
