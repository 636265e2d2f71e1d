// Writing a key's subtree as regedit text, and reading it back unchanged.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

winsim::Registry &Reg() { return winsim::LocalMachine().registry; }

const char kQ[] = "HKLM\\SOFTWARE\\Quillbak";

void SeedExample() {
    Reg().SetString(kQ, "", "default");
    Reg().SetString(kQ, "Path", "C:\\Program Files\\\"Q\"");
    Reg().SetDword(kQ, "Port", 9999);
    std::vector<BYTE> bin(40);
    for (int i = 0; i < 40; ++i) bin[i] = (BYTE)i;
    Reg().Set(kQ, "Bin", REG_BINARY, bin.data(), bin.size());
    Reg().SetString(kQ, "Exp", "%SystemRoot%\\system32", REG_EXPAND_SZ);
    Reg().Set(kQ, "Multi", REG_MULTI_SZ, "a\0bc\0\0", 6);
    Reg().Set(kQ, "Bare", REG_SZ, "ab", 2);
    Reg().Set(kQ, "Short", REG_DWORD, "\1\2", 2);
    Reg().Set(kQ, "Q", REG_QWORD, "\1\2\3\4\5\6\7\10", 8);
    Reg().Set(kQ, "None", REG_NONE, "", 0);
    Reg().Create("HKLM\\SOFTWARE\\Quillbak\\b Sub");
    Reg().SetDword("HKLM\\SOFTWARE\\Quillbak\\A Sub", "x", 1);
}

TEST(RegExport, Version5Text) {
    SeedExample();
    // Asked for in any case, written as stored; subkeys in RegEnumKeyEx order.
    EXPECT_EQ(Reg().ExportReg("hklm\\software\\QUILLBAK", true),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak]\r\n"
              "@=\"default\"\r\n"
              "\"Path\"=\"C:\\\\Program Files\\\\\\\"Q\\\"\"\r\n"
              "\"Port\"=dword:0000270f\r\n"
              "\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
              "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27\r\n"
              "\"Exp\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,\\\r\n"
              "  00,25,00,5c,00,73,00,79,00,73,00,74,00,65,00,6d,00,33,00,32,00,00,00\r\n"
              "\"Multi\"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00\r\n"
              "\"Bare\"=hex(1):61,00,62,00\r\n"
              "\"Short\"=hex(4):01,02\r\n"
              "\"Q\"=hex(b):01,02,03,04,05,06,07,08\r\n"
              "\"None\"=hex(0):\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak\\A Sub]\r\n"
              "\"x\"=dword:00000001\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak\\b Sub]\r\n"
              "\r\n");
}

TEST(RegExport, Regedit4Text) {
    SeedExample();
    EXPECT_EQ(Reg().ExportReg(kQ, false),
              "REGEDIT4\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak]\r\n"
              "@=\"default\"\r\n"
              "\"Path\"=\"C:\\\\Program Files\\\\\\\"Q\\\"\"\r\n"
              "\"Port\"=dword:0000270f\r\n"
              "\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
              "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27\r\n"
              "\"Exp\"=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,5c,73,79,73,74,65,6d,33,32,\\\r\n"
              "  00\r\n"
              "\"Multi\"=hex(7):61,00,62,63,00,00\r\n"
              "\"Bare\"=hex(1):61,62\r\n"
              "\"Short\"=hex(4):01,02\r\n"
              "\"Q\"=hex(b):01,02,03,04,05,06,07,08\r\n"
              "\"None\"=hex(0):\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak\\A Sub]\r\n"
              "\"x\"=dword:00000001\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak\\b Sub]\r\n"
              "\r\n");
}

// Everything about a subtree an export must carry: names as stored, value
// order, types and bytes.
void Describe(const winsim::RegKey &k, const std::string &path, std::ostringstream &out) {
    out << "[" << path << "]\n";
    for (const winsim::RegValue &v : k.values) {
        out << "  '" << v.name << "' " << v.type << ":";
        for (BYTE b : v.data) out << ' ' << (int)b;
        out << "\n";
    }
    for (auto &sub : k.subkeys) Describe(*sub.second, path + "\\" + sub.second->name, out);
}
std::string Describe(const char *path) {
    std::ostringstream out;
    const winsim::RegKey *k = Reg().Find(path);
    if (!k) return "<missing>";
    Describe(*k, k->name, out);
    return out.str();
}

TEST(RegExport, RoundTripKeepsEveryTypeAndByte) {
    SeedExample();
    const char *k = "HKLM\\SOFTWARE\\Quillbak\\Edge Cases";
    std::vector<BYTE> all(256);
    for (int i = 0; i < 256; ++i) all[i] = (BYTE)i;
    Reg().Set(k, "All bytes", REG_BINARY, all.data(), all.size());
    Reg().Set(k, "All bytes as text", REG_SZ, all.data(), all.size());
    Reg().Set(k, "Latin-1 \xe9 text", REG_SZ, "caf\xe9\xff", 6);
    Reg().Set(k, "Embedded nul", REG_SZ, "a\0b", 4);
    Reg().Set(k, "Two nuls", REG_SZ, "ab\0", 4);
    Reg().Set(k, "Zero bytes", REG_SZ, "", 0);
    Reg().Set(k, "Only nul", REG_SZ, "", 1);
    Reg().Set(k, "Line break", REG_SZ, "a\r\nb", 5);
    Reg().Set(k, "Odd expand", REG_EXPAND_SZ, "abc", 3);
    Reg().Set(k, "Empty multi", REG_MULTI_SZ, "", 0);
    Reg().Set(k, "Big endian", REG_DWORD_BIG_ENDIAN, "\1\2\3\4", 4);
    Reg().Set(k, "Link", REG_LINK, "\x5c\x00", 2);
    Reg().Set(k, "Long dword", REG_DWORD, "\1\2\3\4\5", 5);
    Reg().Set(k, "Huge type", 0xFFFFFFFF, "x", 1);
    Reg().SetString(k, "Quote \" and \\ in name", "v");
    Reg().Create("HKLM\\SOFTWARE\\Quillbak\\Edge Cases\\Key [with] brackets");

    const std::string before = Describe(kQ);
    for (bool version5 : {true, false}) {
        std::string text = Reg().ExportReg(kQ, version5);
        ASSERT_TRUE(Reg().Delete(kQ));
        ASSERT_EQ(Describe(kQ), "<missing>");
        Reg().ImportReg(text, version5 ? "v5.reg" : "v4.reg");
        EXPECT_EQ(Describe(kQ), before) << text;
    }
}

TEST(RegExport, CurrentUserPathsKeepTheirRootName) {
    Reg().SetString("HKCU\\Software\\Quillbak", "User", "1");
    std::string text = Reg().ExportReg("HKEY_CURRENT_USER\\software\\quillbak");
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Quillbak]\r\n"), std::string::npos) << text;
    ASSERT_TRUE(Reg().Delete("HKCU\\Software\\Quillbak"));
    Reg().currentUserKey = ".DEFAULT";  // the text follows whoever is the current user
    Reg().ImportReg(text);
    std::string v;
    EXPECT_TRUE(Reg().GetString("HKU\\.DEFAULT\\Software\\Quillbak", "User", v));
    EXPECT_EQ(v, "1");
}

TEST(RegExport, ARootExportsWhole) {
    std::string text = Reg().ExportReg("HKCC");
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_CONFIG]\r\n\r\n", 0), 0u) << text;
    Reg().ImportReg(text);  // a root key line is fine to read back
}

TEST(RegExport, UnknownKeysAreRefused) {
    EXPECT_THROW(Reg().ExportReg("HKLM\\SOFTWARE\\NoSuchKey"), std::invalid_argument);
    EXPECT_THROW(Reg().ExportReg("HKEY_NOWHERE\\X"), std::invalid_argument);
}

}  // namespace
