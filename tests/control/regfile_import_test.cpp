// Reading regedit text into a machine's registry: both formats, every value
// syntax, deletion lines, file encodings, and malformed files.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <string>
#include <vector>

namespace {

winsim::Registry &Reg() { return winsim::LocalMachine().registry; }

std::vector<BYTE> B(const char *text, size_t size) {
    return std::vector<BYTE>(reinterpret_cast<const BYTE *>(text), reinterpret_cast<const BYTE *>(text) + size);
}

// The type and bytes of a value, or REG_NONE with "<missing>" data.
struct Stored {
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const Stored &o) const { return type == o.type && data == o.data; }
};
std::ostream &operator<<(std::ostream &os, const Stored &s) {
    os << "type " << s.type << " [";
    for (BYTE b : s.data) os << ' ' << (int)b;
    return os << " ]";
}
Stored Value(const std::string &key, const std::string &name) {
    winsim::RegKey *k = Reg().Find(key);
    const winsim::RegValue *v = k ? k->FindValue(name) : nullptr;
    if (!v) return Stored{REG_NONE, B("<missing>", 9)};
    return Stored{v->type, v->data};
}

const char kQ[] = "HKLM\\SOFTWARE\\Quillbak";

TEST(RegImport, Version5Syntax) {
    Reg().ImportReg("Windows Registry Editor Version 5.00\r\n"
                    "\r\n"
                    "; written by hand\r\n"
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak]\r\n"
                    "@=\"default text\"\r\n"
                    "\"Path\"=\"C:\\\\Program Files\\\\Quillbak\\\\\"\r\n"
                    "\"Quoted\"=\"say \\\"hi\\\"\"\r\n"
                    "\"Empty\"=\"\"\r\n"
                    "\"Port\"=dword:0000270f\r\n"
                    "\"Short\"=DWORD:1\r\n"
                    "\"Bin\"=hex:00,01,fe,\\\r\n"
                    "  ff\r\n"
                    "\"NoBytes\"=hex:\r\n"
                    "\"Expand\"=hex(2):25,00,53,00,25,00,00,00\r\n"
                    "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                    "\"Bare\"=hex(1):61,00,62,00\r\n"
                    "\"Q\"=hex(b):01,02,03,04,05,06,07,08\r\n"
                    "\"None\"=hex(0):\r\n"
                    "\"Odd\"=hex(4567):aa\r\n"
                    "\"Esc\\\\aped \\\"name\\\"\"=dword:00000001\r\n"
                    "\r\n"
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak\\Sub Key]\r\n",
                    "setup.reg");
    const struct {
        const char *name;
        Stored expected;
    } cases[] = {
        {"", {REG_SZ, B("default text", 13)}},
        {"Path", {REG_SZ, B("C:\\Program Files\\Quillbak\\", 27)}},
        {"Quoted", {REG_SZ, B("say \"hi\"", 9)}},
        {"Empty", {REG_SZ, B("", 1)}},
        {"Port", {REG_DWORD, {0x0f, 0x27, 0, 0}}},
        {"Short", {REG_DWORD, {1, 0, 0, 0}}},
        {"Bin", {REG_BINARY, {0x00, 0x01, 0xfe, 0xff}}},
        {"NoBytes", {REG_BINARY, {}}},
        {"Expand", {REG_EXPAND_SZ, B("%S%", 4)}},  // UTF-16 in version 5 files
        {"Multi", {REG_MULTI_SZ, B("a\0b\0", 5)}},
        {"Bare", {REG_SZ, B("ab", 2)}},
        {"Q", {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}}},
        {"None", {REG_NONE, {}}},
        {"Odd", {0x4567, {0xaa}}},
        {"Esc\\aped \"name\"", {REG_DWORD, {1, 0, 0, 0}}},
    };
    for (const auto &c : cases) EXPECT_EQ(Value(kQ, c.name), c.expected) << c.name;
    EXPECT_NE(Reg().Find("HKLM\\SOFTWARE\\Quillbak\\Sub Key"), nullptr);
    // Values come in file order.
    winsim::RegKey *k = Reg().Find(kQ);
    ASSERT_NE(k, nullptr);
    ASSERT_EQ(k->values.size(), sizeof cases / sizeof cases[0]);
    for (size_t i = 0; i < k->values.size(); ++i) EXPECT_EQ(k->values[i].name, cases[i].name);
}

TEST(RegImport, Regedit4KeepsStringBytesInHex) {
    Reg().ImportReg("REGEDIT4\n"
                    "\n"
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak]\n"
                    "\"Expand\"=hex(2):25,53,25,00\n"
                    "\"Multi\"=hex(7):61,00,62,00,00\n"
                    "\"Text\"=\"plain\"\n");
    EXPECT_EQ(Value(kQ, "Expand"), (Stored{REG_EXPAND_SZ, B("%S%", 4)}));
    EXPECT_EQ(Value(kQ, "Multi"), (Stored{REG_MULTI_SZ, B("a\0b\0", 5)}));
    EXPECT_EQ(Value(kQ, "Text"), (Stored{REG_SZ, B("plain", 6)}));
}

TEST(RegImport, BlanksAroundPartsAndMixedLineEnds) {
    Reg().ImportReg("  REGEDIT4  \r\n"
                    "   ; indented comment\n"
                    "\t[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak]   \r\n"
                    "\"A\" = dword:00000002\n"
                    "  \"B\"\t=\thex: 01 , 02 ,\\\r\n"
                    "\t\t03\n"
                    "@ = \"d\"\n");
    EXPECT_EQ(Value(kQ, "A"), (Stored{REG_DWORD, {2, 0, 0, 0}}));
    EXPECT_EQ(Value(kQ, "B"), (Stored{REG_BINARY, {1, 2, 3}}));
    EXPECT_EQ(Value(kQ, ""), (Stored{REG_SZ, B("d", 2)}));
}

TEST(RegImport, ShortRootNamesAndCurrentUser) {
    Reg().ImportReg("REGEDIT4\r\n[HKCU\\Software\\Quillbak]\r\n\"U\"=\"1\"\r\n"
                    "[HKEY_CLASSES_ROOT\\.qbk]\r\n@=\"Quillbak.Catalog\"\r\n");
    EXPECT_EQ(Value("HKU\\" + Reg().currentUserKey + "\\Software\\Quillbak", "U"), (Stored{REG_SZ, B("1", 2)}));
    EXPECT_EQ(Value("HKLM\\SOFTWARE\\Classes\\.qbk", ""), (Stored{REG_SZ, B("Quillbak.Catalog", 17)}));
}

TEST(RegImport, ImportMergesIntoExistingKeys) {
    Reg().SetString(kQ, "Kept", "old");
    Reg().SetString(kQ, "Changed", "old");
    Reg().ImportReg("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak]\r\n\"Changed\"=\"new\"\r\n");
    EXPECT_EQ(Value(kQ, "Kept"), (Stored{REG_SZ, B("old", 4)}));
    EXPECT_EQ(Value(kQ, "Changed"), (Stored{REG_SZ, B("new", 4)}));
}

TEST(RegImport, DeletionLines) {
    Reg().SetString("HKLM\\SOFTWARE\\Quillbak\\Old\\Deep\\Deeper", "x", "1");
    Reg().SetString(kQ, "Gone", "1");
    Reg().SetString(kQ, "Stays", "1");
    HKEY deep;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillbak\\Old\\Deep", 0, KEY_READ, &deep), ERROR_SUCCESS);
    Reg().ImportReg("Windows Registry Editor Version 5.00\r\n"
                    "\r\n"
                    "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak\\Old]\r\n"
                    "\"Ignored\"=\"values under a deleted key are skipped\"\r\n"
                    "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak\\NeverWas]\r\n"
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak]\r\n"
                    "\"Gone\"=-\r\n"
                    "\"NeverWas\"=-\r\n");
    EXPECT_EQ(Reg().Find("HKLM\\SOFTWARE\\Quillbak\\Old"), nullptr);
    EXPECT_EQ(Value(kQ, "Gone").data, B("<missing>", 9));
    EXPECT_EQ(Value(kQ, "Stays"), (Stored{REG_SZ, B("1", 2)}));
    // The whole tree went, handles into it included.
    DWORD size;
    EXPECT_EQ(RegQueryValueExA(deep, "x", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    RegCloseKey(deep);
}

std::string Utf16File(const std::u16string &text) {
    std::string out("\xff\xfe", 2);
    for (char16_t c : text) {
        out += (char)(c & 0xff);
        out += (char)(c >> 8);
    }
    return out;
}

TEST(RegImport, Utf16FileWithByteOrderMark) {
    // regedit 5 writes UTF-16LE; the machine's ANSI code page keeps Latin-1
    // and turns other characters into '?'.
    Reg().ImportReg(Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n"
                              u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak\\Caf\u00e9]\r\n"
                              u"\"Owner\"=\"Ren\u00e9e \u20ac \U0001F600!\"\r\n"
                              u"\"Wide\"=hex(2):e9,00,ac,20,00,00\r\n"),
                    "unicode.reg");
    EXPECT_EQ(Value("HKLM\\SOFTWARE\\Quillbak\\Caf\xe9", "Owner"), (Stored{REG_SZ, B("Ren\xe9" "e ? ?!", 11)}));
    EXPECT_EQ(Value("HKLM\\SOFTWARE\\Quillbak\\Caf\xe9", "Wide"), (Stored{REG_EXPAND_SZ, B("\xe9?", 3)}));
}

TEST(RegImport, Utf8FileWithByteOrderMark) {
    Reg().ImportReg("\xef\xbb\xbfREGEDIT4\r\n"
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak]\r\n"
                    "\"N\"=\"Caf\xc3\xa9 \xe2\x82\xac\"\r\n");
    EXPECT_EQ(Value(kQ, "N"), (Stored{REG_SZ, B("Caf\xe9 ?", 7)}));
}

// A malformed file names itself and the line, and changes nothing: the whole
// file is read before any of it applies.
TEST(RegImport, MalformedFilesLoadNothing) {
    const std::string header = "Windows Registry Editor Version 5.00\r\n";
    const std::string prefix = header +                                   // 1
                               "\r\n"                                     // 2
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Seeded]\r\n"  // 3
                               "\"Keep\"=\"changed\"\r\n"                 // 4
                               "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Doomed]\r\n"  // 5
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Partial]\r\n";  // 6
    const struct {
        const char *what;
        std::string text;
        int line;
        const char *message;
    } cases[] = {
        {"bad header", "REGEDIT5\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Partial]\r\n", 1, "not a registry file"},
        {"empty file", "", 1, "empty file"},
        {"bad hex byte", prefix + "\"B\"=hex:01,zz\r\n", 7, "bad hex data"},
        {"hex byte too long", prefix + "\"B\"=hex:01,123\r\n", 7, "bad hex data"},
        {"empty hex byte", prefix + "\"B\"=hex:01,,02\r\n", 7, "bad hex data"},
        {"bad hex continuation", prefix + "\"B\"=hex:01,\\\r\n  0g\r\n", 7, "bad hex data"},
        {"hex continued past the end", prefix + "\"B\"=hex:01,\\\r\n", 7, "continued hex value"},
        {"bad hex type", prefix + "\"B\"=hex(zz):00\r\n", 7, "bad value type"},
        {"hex without colon", prefix + "\"B\"=hex 00\r\n", 7, "expected ':'"},
        {"unterminated string", prefix + "\"S\"=\"abc\r\n", 7, "unterminated string"},
        {"unterminated name", prefix + "\"S=dword:1\r\n", 7, "unterminated string in a value name"},
        {"unknown escape", prefix + "\"P\"=\"C:\\Program Files\"\r\n", 7, "unknown escape"},
        {"text after string", prefix + "\"S\"=\"a\" b\r\n", 7, "after the closing quote"},
        {"missing equals", prefix + "\"S\" \"a\"\r\n", 7, "expected '='"},
        {"garbage line", prefix + "garbage\r\n", 7, "unrecognised line"},
        {"unknown data", prefix + "\"S\"=qword:1\r\n", 7, "unrecognised value data"},
        {"dword too long", prefix + "\"D\"=dword:123456789\r\n", 7, "bad dword"},
        {"dword not hex", prefix + "\"D\"=dword:xyz\r\n", 7, "bad dword"},
        {"value before key", header + "\"A\"=\"b\"\r\n", 2, "before any [key]"},
        {"unknown root", prefix + "[HKEY_NOWHERE\\X]\r\n", 7, "unknown root key"},
        {"unterminated key line", prefix + "[HKEY_LOCAL_MACHINE\\SOFTWARE\r\n", 7, "malformed key line"},
        {"deleting a root", prefix + "[-HKEY_LOCAL_MACHINE]\r\n", 7, "cannot be deleted"},
    };
    for (const auto &c : cases) {
        winsim::ResetWorld();
        winsim::CreateDefaultMachine();
        Reg().SetString("HKLM\\SOFTWARE\\Seeded", "Keep", "original");
        Reg().Create("HKLM\\SOFTWARE\\Doomed");
        try {
            Reg().ImportReg(c.text, "bad.reg");
            ADD_FAILURE() << c.what << ": no error";
        } catch (const winsim::ImageError &e) {
            EXPECT_EQ(e.file, "bad.reg") << c.what;
            EXPECT_EQ(e.line, c.line) << c.what;
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.what << ": " << e.what();
            EXPECT_EQ(std::string(e.what()).rfind("bad.reg(" + std::to_string(c.line) + "): ", 0), 0u) << e.what();
        }
        EXPECT_EQ(Value("HKLM\\SOFTWARE\\Seeded", "Keep"), (Stored{REG_SZ, B("original", 9)})) << c.what;
        EXPECT_NE(Reg().Find("HKLM\\SOFTWARE\\Doomed"), nullptr) << c.what;
        EXPECT_EQ(Reg().Find("HKLM\\SOFTWARE\\Partial"), nullptr) << c.what;
    }
}

}  // namespace
