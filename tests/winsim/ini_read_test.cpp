// GetPrivateProfileStringA and GetPrivateProfileIntA: lookup rules, lists
// of sections and keys, buffer sizing and the file name rules.
#include "files_scratch.h"
#include "support/wine.h"

#include <cstring>

namespace {

const char kContent[] =
    "; a comment before any section\r\n"
    "orphan=before any section\r\n"
    "[Section1]\r\n"
    "name1=val1\r\n"
    "  Name2  =  spaced value  \r\n"
    "tabs=\tvalue\t\r\n"
    "quoted=\"  in quotes  \"\r\n"
    "single='x'\r\n"
    "mismatch=\"abc'\r\n"
    "lonequote=\"\r\n"
    "empty=\r\n"
    ";comment=hidden\r\n"
    "   ;indented=hidden too\r\n"
    "noequals\r\n"
    "dup=first\r\n"
    "dup=second\r\n"
    "semi=a ;not a comment\r\n"
    "hash=#not a comment\r\n"
    "eq=a=b\r\n"
    "num=42\r\n"
    "\r\n"
    "[ Section2 ]\r\n"
    "key=s2\r\n"
    "[section1]\r\n"
    "name1=from the second section1\r\n"
    "extra=only in the second section1\r\n"
    "[Broken\r\n"
    "b=in broken\r\n"
    "[after]trailing=ignored\r\n"
    "lf=unix line\n"
    "last=no line break";

class IniRead : public ScratchTest {
protected:
    void SetUp() override {
        ScratchTest::SetUp();
        file_ = P("test.ini");
        ASSERT_TRUE(WriteText(file_, kContent));
    }
    std::string file_;
};

struct LookupCase {
    const char *label;
    const char *section;
    const char *key;
    const char *def;
    const char *expected;
};
void PrintTo(const LookupCase &c, std::ostream *os) { *os << c.label; }

class Lookups : public IniRead, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(Lookups, FindTheValueOrTheDefault) {
    SKIP_CASES_ON_WINE("the profile functions are Wine's own: comment and malformed-section lines are read differently", "CommentIsNoKey", "IndentedComment", "MissingClosingBracket");
    const LookupCase &c = GetParam();
    char buf[256];
    memset(buf, 'z', sizeof buf);
    DWORD n = GetPrivateProfileStringA(c.section, c.key, c.def, buf, sizeof buf, file_.c_str());
    EXPECT_EQ(std::string(buf), c.expected);
    EXPECT_EQ(n, strlen(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    GetPrivateProfileStringA, Lookups,
    ::testing::Values(
        LookupCase{"Plain", "Section1", "name1", "def", "val1"},
        LookupCase{"CaseOfNames", "SECTION1", "NAME1", "def", "val1"},
        LookupCase{"SpacesAroundParameters", "  Section1 ", " name1  ", "def", "val1"},
        LookupCase{"BlanksAroundKeyAndValue", "Section1", "name2", "def", "spaced value"},
        LookupCase{"TabsAroundValue", "Section1", "tabs", "def", "value"},
        LookupCase{"DoubleQuotes", "Section1", "quoted", "def", "  in quotes  "},
        LookupCase{"SingleQuotes", "Section1", "single", "def", "x"},
        LookupCase{"MismatchedQuotesStay", "Section1", "mismatch", "def", "\"abc'"},
        LookupCase{"LoneQuoteStays", "Section1", "lonequote", "def", "\""},
        LookupCase{"EmptyValueIsNotTheDefault", "Section1", "empty", "def", ""},
        LookupCase{"CommentIsNoKey", "Section1", ";comment", "def", "def"},
        LookupCase{"CommentNameIsNoKey", "Section1", "comment", "def", "def"},
        LookupCase{"IndentedComment", "Section1", ";indented", "def", "def"},
        LookupCase{"LineWithoutEquals", "Section1", "noequals", "def", "def"},
        LookupCase{"FirstDuplicateKeyWins", "Section1", "dup", "def", "first"},
        LookupCase{"SemicolonInValue", "Section1", "semi", "def", "a ;not a comment"},
        LookupCase{"HashInValue", "Section1", "hash", "def", "#not a comment"},
        LookupCase{"EqualsInValue", "Section1", "eq", "def", "a=b"},
        LookupCase{"SpacesInsideBrackets", "Section2", "key", "def", "s2"},
        LookupCase{"FirstDuplicateSectionWins", "section1", "extra", "def", "def"},
        LookupCase{"MissingClosingBracket", "Broken", "b", "def", "in broken"},
        LookupCase{"TextAfterClosingBracket", "after", "trailing", "def", "def"},
        LookupCase{"UnixLineBreak", "after", "lf", "def", "unix line"},
        LookupCase{"LastLineWithoutBreak", "after", "last", "def", "no line break"},
        LookupCase{"MissingSection", "nosuch", "name1", "def", "def"},
        LookupCase{"MissingKey", "Section1", "nosuch", "def", "def"},
        LookupCase{"DefaultLosesTrailingSpaces", "Section1", "nosuch", "  two words  ", "  two words"},
        LookupCase{"NullDefault", "Section1", "nosuch", nullptr, ""}),
    [](const ::testing::TestParamInfo<LookupCase> &i) { return std::string(i.param.label); });

TEST_F(IniRead, LinesBeforeTheFirstSectionBelongToNone) {
    SKIP_ON_WINE("the profile functions are Wine's own: files are parsed differently (empty names, lines before the first section, list and truncation results)");
    // Windows writes into empty strings it is given, so they must be writable.
    char emptySection[8] = "";
    char buf[64];
    EXPECT_EQ(GetPrivateProfileStringA(emptySection, "orphan", "def", buf, sizeof buf, file_.c_str()), 3u);
    EXPECT_STREQ(buf, "def");
}

TEST_F(IniRead, EmptySectionAndKeyNames) {
    SKIP_ON_WINE("the profile functions are Wine's own: files are parsed differently (empty names, lines before the first section, list and truncation results)");
    ASSERT_TRUE(WriteText(file_, "top=ignored\r\n[]\r\nkey=in empty\r\n[s]\r\n=no name\r\n"));
    char empty[8] = "";
    char buf[64];
    EXPECT_EQ(GetPrivateProfileStringA(empty, "key", "def", buf, sizeof buf, file_.c_str()), 8u);
    EXPECT_STREQ(buf, "in empty");
    EXPECT_EQ(GetPrivateProfileStringA("s", empty, "def", buf, sizeof buf, file_.c_str()), 7u);
    EXPECT_STREQ(buf, "no name");
}

std::string Joined(const char *buf, DWORD n) {
    std::string s(buf, n);
    for (char &c : s)
        if (c == '\0') c = '|';
    return s;
}

TEST_F(IniRead, ListOfSections) {
    SKIP_ON_WINE("the profile functions are Wine's own: files are parsed differently (empty names, lines before the first section, list and truncation results)");
    char buf[256];
    memset(buf, 'z', sizeof buf);
    DWORD n = GetPrivateProfileStringA(nullptr, "ignored", "def", buf, sizeof buf, file_.c_str());
    EXPECT_EQ(Joined(buf, n + 1), "Section1|Section2|section1|Broken|after||");
    EXPECT_EQ(n, 40u);
}

TEST_F(IniRead, ListOfKeys) {
    SKIP_ON_WINE("the profile functions are Wine's own: files are parsed differently (empty names, lines before the first section, list and truncation results)");
    char buf[256];
    DWORD n = GetPrivateProfileStringA("section1", nullptr, "def", buf, sizeof buf, file_.c_str());
    EXPECT_EQ(Joined(buf, n + 1), "name1|Name2|tabs|quoted|single|mismatch|lonequote|empty|dup|dup|semi|hash|eq|num||");
    n = GetPrivateProfileStringA("after", nullptr, "def", buf, sizeof buf, file_.c_str());
    EXPECT_EQ(Joined(buf, n + 1), "lf|last||");
    // No such section: an empty list.
    memset(buf, 'z', sizeof buf);
    EXPECT_EQ(GetPrivateProfileStringA("nosuch", nullptr, "def", buf, sizeof buf, file_.c_str()), 0u);
    EXPECT_EQ(buf[0], '\0');
}

struct SizeCase {
    const char *label;
    const char *section;
    const char *key;
    DWORD size;
    DWORD result;
    std::string contents;  // the start of the buffer afterwards, NULs as '|' 
};
void PrintTo(const SizeCase &c, std::ostream *os) { *os << c.label; }

class Sizing : public IniRead, public ::testing::WithParamInterface<SizeCase> {
protected:
    void SetUp() override {
        IniRead::SetUp();
        ASSERT_TRUE(WriteText(file_, "[section1]\r\nname1=val1\r\nname2=x\r\n[section2]\r\n"));
    }
};

TEST_P(Sizing, TruncateAsWindowsDoes) {
    SKIP_CASES_ON_WINE("the profile functions are Wine's own: lists of keys or sections cut differently in a small buffer", "KeysCut", "KeysInTwo", "SectionsCut", "SectionsExactlyFilled");
    const SizeCase &c = GetParam();
    char buf[64];
    memset(buf, 'z', sizeof buf);
    strcpy(buf, "kumquat");
    DWORD n = GetPrivateProfileStringA(c.section, c.key, "default", buf, c.size, file_.c_str());
    EXPECT_EQ(n, c.result);
    EXPECT_EQ(Joined(buf, (DWORD)c.contents.size()), c.contents);
}

INSTANTIATE_TEST_SUITE_P(
    GetPrivateProfileStringA, Sizing,
    ::testing::Values(SizeCase{"ValueFits", "section1", "name1", 5, 4, "val1|"},
                      SizeCase{"ValueCut", "section1", "name1", 4, 3, "val|"},
                      SizeCase{"ValueCutToNothing", "section1", "name1", 1, 0, "|"},
                      SizeCase{"ZeroSizeLeavesTheBuffer", "section1", "name1", 0, 0, "kumquat|"},
                      SizeCase{"DefaultCut", "section1", "nosuch", 4, 3, "def|"},
                      SizeCase{"SectionsFit", nullptr, "x", 21, 18, "section1|section2||"},
                      SizeCase{"SectionsCut", nullptr, "x", 16, 14, "section1|secti||"},
                      SizeCase{"SectionsExactlyFilled", nullptr, "x", 19, 17, "section1|section2||"},
                      SizeCase{"KeysFit", "section1", nullptr, 20, 12, "name1|name2||"},
                      SizeCase{"KeysCut", "section1", nullptr, 10, 8, "name1|na||"},
                      SizeCase{"KeysInTwo", "section1", nullptr, 2, 0, "||"}),
    [](const ::testing::TestParamInfo<SizeCase> &i) { return std::string(i.param.label); });

TEST_F(IniRead, TruncationReportsMoreData) {
    SKIP_ON_WINE("the profile functions are Wine's own: files are parsed differently (empty names, lines before the first section, list and truncation results)");
    char buf[4];
    SetLastError(0);
    EXPECT_EQ(GetPrivateProfileStringA("Section1", "name1", "def", buf, 3, file_.c_str()), 2u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MORE_DATA);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetPrivateProfileStringA("Section1", "name1", "def", buf, 4, file_.c_str()), 3u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MORE_DATA);
}

TEST_F(IniRead, MissingFileGivesTheDefault) {
    char buf[64];
    SetLastError(0);
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "fallback", buf, sizeof buf, P("none.ini").c_str()), 8u);
    EXPECT_STREQ(buf, "fallback");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "fallback", buf, sizeof buf, P("nodir\\none.ini").c_str()), 8u);
    EXPECT_STREQ(buf, "fallback");
}

TEST_F(IniRead, FileNamesWithoutAPathAreInTheWindowsDirectory) {
    char win[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(win, MAX_PATH), 0u);
    std::string inWindows = std::string(win) + "\\wsfiles_test.ini";
    ASSERT_TRUE(WriteText(inWindows, "[s]\r\nk=from windows\r\n"));
    ASSERT_TRUE(WriteText(P("wsfiles_test.ini"), "[s]\r\nk=from scratch\r\n"));
    ASSERT_TRUE(SetCurrentDirectoryA(base_.c_str()));
    char buf[64];
    GetPrivateProfileStringA("s", "k", "", buf, sizeof buf, "wsfiles_test.ini");
    EXPECT_STREQ(buf, "from windows");
    GetPrivateProfileStringA("s", "k", "", buf, sizeof buf, ".\\wsfiles_test.ini");
    EXPECT_STREQ(buf, "from scratch");
    DeleteFileA(inWindows.c_str());
}

TEST_F(IniRead, UnreadableNamesGiveTheDefault) {
    struct {
        const char *label;
        std::string file;
        DWORD error;
    } cases[] = {{"Folder", base_, ERROR_ACCESS_DENIED},
                 {"EmptyIsTheWindowsFolder", "", ERROR_ACCESS_DENIED},
                 {"Wildcard", "*", ERROR_INVALID_NAME}};
    for (auto &c : cases) {
        char buf[16];
        SetLastError(0);
        EXPECT_EQ(GetPrivateProfileStringA("s", "k", "def", buf, sizeof buf, c.file.c_str()), 3u) << c.label;
        EXPECT_STREQ(buf, "def") << c.label;
        EXPECT_EQ(GetLastError(), c.error) << c.label;
    }
}

struct IntCase {
    const char *label;
    const char *value;  // nullptr: no such key
    INT def;
    UINT expected;
};
void PrintTo(const IntCase &c, std::ostream *os) { *os << c.label; }

class Ints : public IniRead, public ::testing::WithParamInterface<IntCase> {};

TEST_P(Ints, ParseAsWindowsDoes) {
    SKIP_CASES_ON_WINE("the profile functions are Wine's own: GetPrivateProfileIntA reads hexadecimal numbers", "HexIsNotRead");
    const IntCase &c = GetParam();
    std::string text = "[s]\r\n";
    if (c.value) text += std::string("k=") + c.value + "\r\n";
    ASSERT_TRUE(WriteText(file_, text));
    EXPECT_EQ(GetPrivateProfileIntA("s", "k", c.def, file_.c_str()), c.expected);
    EXPECT_EQ(GetPrivateProfileIntA("S", "K", c.def, file_.c_str()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(GetPrivateProfileIntA, Ints,
                         ::testing::Values(IntCase{"Decimal", "42", 7, 42},
                                           IntCase{"Negative", "-1", 7, 4294967295u},
                                           IntCase{"Plus", "+12", 7, 12},
                                           IntCase{"TrailingText", "12abc", 7, 12},
                                           IntCase{"NoDigits", "abc", 7, 0},
                                           IntCase{"Blanks", "  9  ", 7, 9},
                                           IntCase{"Quoted", "\"5\"", 7, 5},
                                           IntCase{"HexIsNotRead", "0x10", 7, 0},
                                           IntCase{"WrapsAt32Bits", "4294967297", 7, 1},
                                           IntCase{"NegativeWraps", "-4294967297", 7, 4294967295u},
                                           IntCase{"EmptyGivesTheDefault", "", 7, 7},
                                           IntCase{"MissingGivesTheDefault", nullptr, -3, 4294967293u}),
                         [](const ::testing::TestParamInfo<IntCase> &i) { return std::string(i.param.label); });

TEST_F(IniRead, IntOfAMissingFileIsTheDefault) {
    EXPECT_EQ(GetPrivateProfileIntA("s", "k", 77, P("none.ini").c_str()), 77u);
}

// ---- sharing with open handles -------------------------------------------------------------
TEST_F(IniRead, ReadingNeedsReadSharing) {
    struct {
        DWORD access, share;
        bool reads;
    } cases[] = {{GENERIC_READ, FILE_SHARE_READ, true},
                 {GENERIC_READ, FILE_SHARE_WRITE, false},
                 {GENERIC_WRITE, FILE_SHARE_READ, true},
                 {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
                 {GENERIC_READ, 0, false}};
    for (auto &c : cases) {
        HANDLE h = CreateFileA(file_.c_str(), c.access, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        char buf[16];
        DWORD n = GetPrivateProfileStringA("Section1", "name1", nullptr, buf, sizeof buf, file_.c_str());
        EXPECT_EQ(n, c.reads ? 4u : 0u) << c.access << " " << c.share;
        CloseHandle(h);
    }
}

}  // namespace
