// Profile files that the IniFileMapping key maps to the registry: the
// profile functions read and write the registry instead of the file for the
// sections the mapping names, whatever folder the file name carries.
#include "files_scratch.h"

#include <cstring>

namespace {

const char kMappingKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\wsmap.ini";

LONG DeleteTree(HKEY parent, const char *name) {
    HKEY key;
    LONG e = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key);
    if (e != ERROR_SUCCESS) return e;
    char sub[256];
    while (RegEnumKeyA(key, 0, sub, sizeof sub) == ERROR_SUCCESS)
        if (DeleteTree(key, sub) != ERROR_SUCCESS) break;
    RegCloseKey(key);
    return RegDeleteKeyA(parent, name);
}

class IniMapping : public ScratchTest {
protected:
    void SetUp() override {
        ScratchTest::SetUp();
        Clean();
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMappingKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &map_,
                                  nullptr),
                  ERROR_SUCCESS);
        char windows[MAX_PATH];
        GetWindowsDirectoryA(windows, MAX_PATH);
        windowsFile_ = std::string(windows) + "\\wsmap.ini";
    }
    void TearDown() override {
        RegCloseKey(map_);
        Clean();
        DeleteFileA(windowsFile_.c_str());
        ScratchTest::TearDown();
    }
    static void Clean() {
        DeleteTree(HKEY_LOCAL_MACHINE, kMappingKey);
        DeleteTree(HKEY_CURRENT_USER, "WinsimMap");
        DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\WinsimMap");
        DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\WinsimDefault");
    }
    void Map(const char *section, const char *target) {
        ASSERT_EQ(RegSetValueExA(map_, section, 0, REG_SZ, (const BYTE *)target, (DWORD)strlen(target) + 1),
                  ERROR_SUCCESS);
    }
    static std::string Get(const char *section, const char *key, const char *file = "wsmap.ini") {
        char buf[64];
        DWORD n = GetPrivateProfileStringA(section, key, "default", buf, sizeof buf, file);
        return std::string(buf, n);
    }
    static std::string RegText(HKEY root, const char *path, const char *name) {
        HKEY k;
        if (RegOpenKeyExA(root, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return "<no key>";
        char text[64];
        DWORD size = sizeof text, type = 0;
        LONG e = RegQueryValueExA(k, name, nullptr, &type, (BYTE *)text, &size);
        RegCloseKey(k);
        if (e != ERROR_SUCCESS) return "<no value>";
        return type == REG_SZ ? std::string(text) : "<not a string>";
    }
    HKEY map_ = nullptr;
    std::string windowsFile_;
};

// "USR:path" keeps a section in a key below HKEY_CURRENT_USER.
TEST_F(IniMapping, UserSectionLivesInTheRegistry) {
    Map("section1", "USR:WinsimMap");
    EXPECT_EQ(Get("section1", "name1"), "default");
    ASSERT_TRUE(WritePrivateProfileStringA("section1", "name1", "value1", "wsmap.ini"));
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, "WinsimMap", "name1"), "value1");
    EXPECT_EQ(Get("section1", "name1"), "value1");
    EXPECT_EQ(Get("SECTION1", "NAME1", "C:\\fake\\path\\wsmap.ini"), "value1");
    EXPECT_EQ(GetFileAttributesA(windowsFile_.c_str()), INVALID_FILE_ATTRIBUTES);

    // Values written to the key read back through the profile functions;
    // only strings count.
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "WinsimMap", 0, KEY_ALL_ACCESS, &k), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, "name2", 0, REG_SZ, (const BYTE *)"42", 3), ERROR_SUCCESS);
    DWORD dword = 7;
    ASSERT_EQ(RegSetValueExA(k, "name3", 0, REG_DWORD, (const BYTE *)&dword, sizeof dword), ERROR_SUCCESS);
    EXPECT_EQ(GetPrivateProfileIntA("section1", "name2", 0, "wsmap.ini"), 42u);
    EXPECT_EQ(Get("section1", "name3"), "default");
    ASSERT_EQ(RegSetValueExA(k, "name3", 0, REG_EXPAND_SZ, (const BYTE *)"x%TEMP%", 8), ERROR_SUCCESS);
    EXPECT_EQ(Get("section1", "name3"), "default");
    RegDeleteValueA(k, "name3");

    char buf[64];
    DWORD n = GetPrivateProfileStringA("section1", nullptr, "", buf, sizeof buf, "wsmap.ini");
    EXPECT_EQ(std::string(buf, n), std::string("name1\0name2\0", 12));
    n = GetPrivateProfileSectionA("section1", buf, sizeof buf, "wsmap.ini");
    EXPECT_EQ(std::string(buf, n), std::string("name1=value1\0name2=42\0", 22));

    // A NULL string deletes the value, a NULL key the section's values.
    ASSERT_TRUE(WritePrivateProfileStringA("section1", "name2", nullptr, "wsmap.ini"));
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, "WinsimMap", "name2"), "<no value>");
    ASSERT_TRUE(WritePrivateProfileStringA("section1", nullptr, nullptr, "wsmap.ini"));
    EXPECT_EQ(Get("section1", "name1"), "default");
    RegCloseKey(k);
}

// WritePrivateProfileSection adds to a mapped section instead of replacing it.
TEST_F(IniMapping, WriteSectionAddsValues) {
    Map("section1", "USR:WinsimMap");
    ASSERT_TRUE(WritePrivateProfileStringA("section1", "name4", "value4", "wsmap.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("section1", "name5", "value5", "wsmap.ini"));
    ASSERT_TRUE(WritePrivateProfileSectionA("section1", "name4=four\0name6=six\0", "wsmap.ini"));
    EXPECT_EQ(Get("section1", "name4"), "four");
    EXPECT_EQ(Get("section1", "name5"), "value5");
    EXPECT_EQ(Get("section1", "name6"), "six");
    ASSERT_TRUE(WritePrivateProfileSectionA("section1", nullptr, "wsmap.ini"));
    EXPECT_EQ(Get("section1", "name4"), "default");
}

// "SYS:path" is below HKLM\SOFTWARE; sections the mapping does not name stay
// in the file; the mapped sections are listed first.
TEST_F(IniMapping, SystemSectionsAndFileSections) {
    Map("section2", "SYS:WinsimMap");
    ASSERT_TRUE(WritePrivateProfileStringA("section2", "name1", "value1", "wsmap.ini"));
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\WinsimMap", "name1"), "value1");
    EXPECT_EQ(GetFileAttributesA(windowsFile_.c_str()), INVALID_FILE_ATTRIBUTES);

    ASSERT_TRUE(WritePrivateProfileStringA("file_section", "name1", "in the file", "wsmap.ini"));
    EXPECT_NE(GetFileAttributesA(windowsFile_.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Get("file_section", "name1"), "in the file");
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\WinsimMap", "file_section"), "<no value>");

    char buf[64];
    DWORD n = GetPrivateProfileSectionNamesA(buf, sizeof buf, "wsmap.ini");
    EXPECT_EQ(std::string(buf, n), std::string("section2\0file_section\0", 22));
    n = GetPrivateProfileSectionNamesA(buf, 5, "wsmap.ini");
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(std::string(buf, 5), std::string("sec\0\0", 5));

    // A section written to the file before the mapping named it is no
    // longer seen.
    Map("file_section", "USR:WinsimMap");
    EXPECT_EQ(Get("file_section", "name1"), "default");
}

// The mapping's default value takes every other section, each in a subkey
// of its name; a subkey of the mapping maps single keys.
TEST_F(IniMapping, DefaultAndKeyByKeyMappings) {
    Map("", "SYS:WinsimDefault");
    ASSERT_TRUE(WritePrivateProfileStringA("section4", "name1", "value1", "wsmap.ini"));
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\WinsimDefault\\section4", "name1"), "value1");
    EXPECT_EQ(Get("section4", "name1"), "value1");

    HKEY byName;
    ASSERT_EQ(RegCreateKeyExA(map_, "section6", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &byName, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(byName, "name1", 0, REG_SZ, (const BYTE *)"USR:WinsimMap", 14), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(byName, "", 0, REG_SZ, (const BYTE *)"SYS:WinsimMap", 14), ERROR_SUCCESS);
    RegCloseKey(byName);
    ASSERT_TRUE(WritePrivateProfileStringA("section6", "name1", "mine", "wsmap.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("section6", "name2", "everyone's", "wsmap.ini"));
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, "WinsimMap", "name1"), "mine");
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\WinsimMap", "name2"), "everyone's");
    EXPECT_EQ(Get("section6", "name1"), "mine");
    EXPECT_EQ(Get("section6", "name2"), "everyone's");
    EXPECT_EQ(GetFileAttributesA(windowsFile_.c_str()), INVALID_FILE_ATTRIBUTES);
}

// A file the machine does not map stays a file, even with the same
// section names.
TEST_F(IniMapping, OtherFilesAreNotMapped) {
    Map("section1", "USR:WinsimMap");
    std::string other = P("other.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("section1", "name1", "file value", other.c_str()));
    EXPECT_EQ(Get("section1", "name1", other.c_str()), "file value");
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, "WinsimMap", "name1"), "<no key>");
}

}  // namespace
