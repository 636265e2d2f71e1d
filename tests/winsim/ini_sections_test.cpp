// Whole sections and binary structures in profile files:
// GetPrivateProfileSectionA, GetPrivateProfileSectionNamesA,
// WritePrivateProfileSectionA, GetPrivateProfileStructA and
// WritePrivateProfileStructA, with their buffer rules.
#include "files_scratch.h"

#include <cstring>

#include "support/wine.h"

namespace {

class IniSections : public ScratchTest {
protected:
    void SetUp() override {
        ScratchTest::SetUp();
        file_ = P("sections.ini");
    }
    // The NUL-separated list in the first `n` bytes, NULs shown as '|'.
    static std::string Shown(const char *buf, DWORD n) {
        std::string s(buf, n);
        for (char &c : s)
            if (c == '\0') c = '|';
        return s;
    }
    std::string file_;
};

TEST_F(IniSections, SectionListsItsLines) {
    ASSERT_TRUE(WriteText(file_,
                          "[section1]\r\nname1=val1\r\n  name2  =  \r\nname3\r\n; a comment\r\n\r\nname4=\"val4\"\r\n"
                          "[section2]\r\n[section3]\r\n=val5\r\n"));
    char buf[100];
    memset(buf, 'z', sizeof buf);
    SetLastError(0xdeadbeef);
    DWORD n = GetPrivateProfileSectionA("SECTION1", buf, sizeof buf, file_.c_str());
    EXPECT_EQ(Shown(buf, n), "name1=val1|name2=|name3|name4=\"val4\"|");
    EXPECT_EQ(n, 37u);
    EXPECT_EQ(buf[n], '\0');
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);

    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetPrivateProfileSectionA("section2", buf, sizeof buf, file_.c_str()), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);

    n = GetPrivateProfileSectionA("section3", buf, sizeof buf, file_.c_str());
    EXPECT_EQ(Shown(buf, n), "=val5|");
}

// Too small: the lines that fit, the last one cut, two NULs, nSize-2 back.
TEST_F(IniSections, SectionBufferTooSmall) {
    ASSERT_TRUE(WriteText(file_, "[section1]\r\nname1=val1\r\nname2=\r\nname3\r\nname4=val4\r\n"));
    char buf[40];
    memset(buf, 'z', sizeof buf);
    DWORD n = GetPrivateProfileSectionA("section1", buf, 24, file_.c_str());
    EXPECT_EQ(n, 22u);
    EXPECT_EQ(Shown(buf, n), "name1=val1|name2=|name");
    EXPECT_EQ(buf[22], '\0');
    EXPECT_EQ(buf[23], '\0');
    EXPECT_EQ(buf[24], 'z');
    // The list and its closing NUL fill 36 bytes; Windows wants one more.
    EXPECT_EQ(GetPrivateProfileSectionA("section1", buf, 37, file_.c_str()), 35u);
    EXPECT_EQ(GetPrivateProfileSectionA("section1", buf, 36, file_.c_str()), 34u);
}

TEST_F(IniSections, SectionParameterRules) {
    ASSERT_TRUE(WriteText(file_, "[s]\r\nk=v\r\n"));
    char buf[16];
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetPrivateProfileSectionA(nullptr, buf, sizeof buf, file_.c_str()), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetPrivateProfileSectionA("s", nullptr, 0, file_.c_str()), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetPrivateProfileSectionA("s", buf, sizeof buf, P("missing.ini").c_str()), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST_F(IniSections, SectionNames) {
    SKIP_ON_WINE("GetPrivateProfileSectionNamesA writes through a null buffer (page fault)");
    ASSERT_TRUE(WriteText(file_, "[ section1 ]\r\n[section2]\r\n[section3]\r\n"));
    char buf[100];
    memset(buf, 'z', sizeof buf);
    DWORD n = GetPrivateProfileSectionNamesA(buf, 29, file_.c_str());
    EXPECT_EQ(n, 27u);
    EXPECT_EQ(Shown(buf, n + 1), "section1|section2|section3||");
    // Exactly as long as the list and its final NUL: still cut.
    EXPECT_EQ(GetPrivateProfileSectionNamesA(buf, 28, file_.c_str()), 26u);
    memset(buf, 'z', sizeof buf);
    n = GetPrivateProfileSectionNamesA(buf, 27, file_.c_str());
    EXPECT_EQ(n, 25u);
    EXPECT_EQ(buf[25], '\0');
    EXPECT_EQ(buf[26], '\0');

    memset(buf, 'z', sizeof buf);
    EXPECT_EQ(GetPrivateProfileSectionNamesA(buf, 10, P("not_here.ini").c_str()), 0u);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(GetPrivateProfileSectionNamesA(nullptr, 10, file_.c_str()), 0u);
}

TEST_F(IniSections, WriteSectionReplacesItsEntries) {
    ASSERT_TRUE(WriteText(file_, "[a]\r\nold=1\r\n; kept\r\nother=2\r\n[b]\r\nk=v\r\n"));
    ASSERT_TRUE(WritePrivateProfileSectionA("A", "new=x\0two=y\0", file_.c_str()));
    char buf[100];
    DWORD n = GetPrivateProfileSectionA("a", buf, sizeof buf, file_.c_str());
    EXPECT_EQ(Shown(buf, n), "new=x|two=y|");
    char value[16];
    EXPECT_EQ(GetPrivateProfileStringA("a", "old", "gone", value, sizeof value, file_.c_str()), 4u);
    EXPECT_STREQ(value, "gone");
    EXPECT_EQ(GetPrivateProfileStringA("b", "k", "", value, sizeof value, file_.c_str()), 1u);

    // A new section goes to the end; a NULL string deletes the section.
    ASSERT_TRUE(WritePrivateProfileSectionA("c", "only=1\0", file_.c_str()));
    EXPECT_EQ(GetPrivateProfileIntA("c", "only", 0, file_.c_str()), 1u);
    ASSERT_TRUE(WritePrivateProfileSectionA("a", nullptr, file_.c_str()));
    n = GetPrivateProfileSectionNamesA(buf, sizeof buf, file_.c_str());
    EXPECT_EQ(Shown(buf, n), "b|c|");
}

// The hex text and checksum of WritePrivateProfileStruct, and the checks of
// GetPrivateProfileStruct.
TEST_F(IniSections, Structures) {
    SKIP_ON_WINE("the profile functions are Wine's own: GetPrivateProfileStructA sets other errors for a bad length or checksum (not ERROR_BAD_LENGTH, ERROR_INVALID_DATA)");
    char buffer[20];
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetPrivateProfileStructA("s", "key", buffer, sizeof buffer, file_.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_LENGTH);

    ASSERT_TRUE(WritePrivateProfileStructA("s", "key", (void *)"abacus", sizeof "abacus", file_.c_str()));
    EXPECT_EQ(ReadText(file_), "[s]\r\nkey=616261637573006F\r\n");

    for (UINT size : {6u, 8u}) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(GetPrivateProfileStructA("s", "key", buffer, size, file_.c_str())) << size;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_LENGTH) << size;
    }
    memset(buffer, 0xcc, sizeof buffer);
    ASSERT_TRUE(GetPrivateProfileStructA("s", "key", buffer, 7, file_.c_str()));
    EXPECT_STREQ(buffer, "abacus");

    const struct {
        const char *text;
        BOOL ok;
        DWORD error;
    } cases[] = {
        {"636163747573006F", FALSE, ERROR_INVALID_DATA},  // checksum does not match
        {"6361637475730083", TRUE, 0},                    // "cactus"
        {"6361637475730083", TRUE, 0},
        {"636163747573008Q", FALSE, ERROR_INVALID_DATA},  // not a hex digit
        {"16361637475730083", FALSE, ERROR_BAD_LENGTH},
        {"6361637475730083 ", TRUE, 0},                   // trailing blanks go with the value
        {"6361637475730083"
         "00",
         FALSE, ERROR_BAD_LENGTH},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(WritePrivateProfileStringA("s", "key", c.text, file_.c_str()));
        memset(buffer, 0xcc, sizeof buffer);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(GetPrivateProfileStructA("s", "key", buffer, 7, file_.c_str()), c.ok) << c.text;
        if (c.ok)
            EXPECT_STREQ(buffer, "cactus") << c.text;
        else
            EXPECT_EQ(GetLastError(), c.error) << c.text;
    }
    // Lower-case digits read as well.
    ASSERT_TRUE(WritePrivateProfileStringA("s", "key", "616261637573006f", file_.c_str()));
    ASSERT_TRUE(GetPrivateProfileStructA("s", "key", buffer, 7, file_.c_str()));
    EXPECT_STREQ(buffer, "abacus");
    ASSERT_TRUE(WritePrivateProfileStructA("s", "tiny", (void *)"\xff\x01", 2, file_.c_str()));
    char tiny[2];
    ASSERT_TRUE(GetPrivateProfileStructA("s", "tiny", tiny, 2, file_.c_str()));
    EXPECT_EQ((unsigned char)tiny[0], 0xFFu);
    char value[16];
    GetPrivateProfileStringA("s", "tiny", "", value, sizeof value, file_.c_str());
    EXPECT_STREQ(value, "FF0100");

    // A NULL structure deletes the key.
    ASSERT_TRUE(WritePrivateProfileStructA("s", "key", nullptr, 7, file_.c_str()));
    ASSERT_TRUE(WritePrivateProfileStructA("s", "tiny", nullptr, 2, file_.c_str()));
    EXPECT_EQ(ReadText(file_), "[s]\r\n");
}

}  // namespace
