// Profile files mapped to the registry in ways winsim does not model fail
// loudly instead of reading or writing the file behind the caller's back.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <string>

namespace {

const char kMapping[] = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\odd.ini";

TEST(ProfileMapping, UnknownTargetsFailLoudly) {
    winsim::Machine &m = winsim::LocalMachine();
    m.PutFile("C:\\WINNT\\odd.ini", "[strange]\r\nk=from the file\r\n[plain]\r\nk=file\r\n");
    m.registry.SetString(kMapping, "strange", "NET:somewhere");
    char buf[32] = "untouched";
    SetLastError(0);
    EXPECT_EQ(GetPrivateProfileStringA("strange", "k", "def", buf, sizeof buf, "odd.ini"), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_STREQ(buf, "");
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("strange", "k", "new", "odd.ini"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED);
    // Sections the mapping does not name are the file's.
    EXPECT_EQ(GetPrivateProfileStringA("plain", "k", "def", buf, sizeof buf, "odd.ini"), 4u);
    std::string text;
    ASSERT_TRUE(m.GetFile("C:\\WINNT\\odd.ini", text));
    EXPECT_EQ(text, "[strange]\r\nk=from the file\r\n[plain]\r\nk=file\r\n");
}

TEST(ProfileMapping, KeyByKeySectionsHaveNoWholeSection) {
    winsim::Machine &m = winsim::LocalMachine();
    m.registry.SetString(std::string(kMapping) + "\\bykey", "k", "USR:Odd");
    char buf[32];
    SetLastError(0);
    EXPECT_EQ(GetPrivateProfileSectionA("bykey", buf, sizeof buf, "odd.ini"), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED);
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileSectionA("bykey", "k=v\0", "odd.ini"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED);
    // Single keys work.
    EXPECT_TRUE(WritePrivateProfileStringA("bykey", "k", "v", "odd.ini"));
    std::string value;
    EXPECT_TRUE(m.registry.GetString("HKCU\\Odd", "k", value));
    EXPECT_EQ(value, "v");
    EXPECT_FALSE(m.Exists("C:\\WINNT\\odd.ini"));
}

}  // namespace
