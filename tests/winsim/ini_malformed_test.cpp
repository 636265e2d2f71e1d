// Profile functions on files that are not proper INI text: long lines,
// binary junk, unbalanced brackets. Nothing may overrun; what can be read
// is read.
#include "files_scratch.h"
#include "support/wine.h"

#include <cstring>

namespace {

class IniMalformed : public ScratchTest {
protected:
    void SetUp() override {
        ScratchTest::SetUp();
        file_ = P("bad.ini");
    }
    std::string Get(const char *section, const char *key, DWORD size = 64) {
        std::vector<char> buf(size + 16, 'z');
        DWORD n = GetPrivateProfileStringA(section, key, "def", buf.data(), size, file_.c_str());
        EXPECT_LT(n, size);
        // Nothing beyond nSize is touched.
        for (size_t i = size; i < buf.size(); ++i) EXPECT_EQ(buf[i], 'z');
        return std::string(buf.data(), n);
    }
    std::string file_;
};

TEST_F(IniMalformed, LongValueIsCutToTheBuffer) {
    std::string value(100 * 1024, 'v');
    value[0] = 'A';
    ASSERT_TRUE(WriteText(file_, "[s]\r\nlong=" + value + "\r\nafter=ok\r\n"));
    std::string got = Get("s", "long", 64);
    EXPECT_EQ(got, value.substr(0, 63));
    EXPECT_EQ(Get("s", "after"), "ok");
}

TEST_F(IniMalformed, LongLinesWithoutStructure) {
    SKIP_ON_WINE("the profile functions are Wine's own: malformed files are parsed and rewritten differently");
    std::string text = "[s]\r\n" + std::string(70 * 1024, 'x') + "\r\n[" + std::string(70 * 1024, 'y') +
                       "\r\n[t]\r\nk=found\r\n";
    ASSERT_TRUE(WriteText(file_, text));
    EXPECT_EQ(Get("t", "k"), "found");
    EXPECT_EQ(Get("s", "k"), "def");
    std::string sections = Get(nullptr, nullptr, 32);
    EXPECT_EQ(sections.substr(0, 2), std::string("s\0", 2));
    EXPECT_EQ(sections.size(), 30u);  // cut: nSize - 2
}

TEST_F(IniMalformed, BinaryJunkAroundAValidSection) {
    SKIP_ON_WINE("the profile functions are Wine's own: malformed files are parsed and rewritten differently");
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk += (char)((i * 7919) & 0xFF);
    std::string text = junk + "\r\n[ok]\r\nkey=value\r\n" + junk;
    ASSERT_TRUE(WriteText(file_, text));
    EXPECT_EQ(Get("ok", "key"), "value");
    EXPECT_EQ(GetPrivateProfileIntA("ok", "missing", 5, file_.c_str()), 5u);
    // Enumerations over junk stay within the buffer.
    Get(nullptr, nullptr, 16);
    Get("ok", nullptr, 8);
    // A write leaves the junk as it was.
    EXPECT_TRUE(WritePrivateProfileStringA("ok", "key", "new", file_.c_str()));
    std::string after = ReadText(file_);
    EXPECT_EQ(after.substr(0, junk.size()), junk);
    EXPECT_EQ(Get("ok", "key"), "new");
}

TEST_F(IniMalformed, Brackets) {
    SKIP_ON_WINE("the profile functions are Wine's own: malformed files are parsed and rewritten differently");
    ASSERT_TRUE(WriteText(file_, "[\r\n[]]\r\n]x=1\r\n[a]]b]\r\nk=v\r\n[[c]\r\nk=w\r\n"));
    EXPECT_EQ(Get("a", "k"), "v");    // the name ends at the first ']'
    EXPECT_EQ(Get("[c", "k"), "w");   // '[' may be part of a name
    EXPECT_EQ(Get("c", "k"), "def");
}

TEST_F(IniMalformed, OnlyLineBreaksAndBlanks) {
    ASSERT_TRUE(WriteText(file_, "\r\n\n\r\r\n \t \r\n"));
    EXPECT_EQ(Get("s", "k"), "def");
    char buf[8];
    memset(buf, 'z', sizeof buf);
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "def", buf, sizeof buf, file_.c_str()), 0u);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_TRUE(WritePrivateProfileStringA("s", "k", "v", file_.c_str()));
    EXPECT_EQ(Get("s", "k"), "v");
}

TEST_F(IniMalformed, ManySectionsAndKeys) {
    std::string text;
    for (int s = 0; s < 200; ++s) {
        text += "[sec" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 20; ++k) text += "k" + std::to_string(k) + "=" + std::to_string(s * 100 + k) + "\r\n";
    }
    ASSERT_TRUE(WriteText(file_, text));
    EXPECT_EQ(GetPrivateProfileIntA("SEC199", "K19", -1, file_.c_str()), 19919u);
    std::vector<char> buf(8192);
    DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "", buf.data(), (DWORD)buf.size(), file_.c_str());
    size_t count = 0;
    for (DWORD i = 0; i < n; ++i) count += buf[i] == '\0';
    EXPECT_EQ(count, 200u);
}

}  // namespace
