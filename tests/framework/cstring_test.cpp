// CString: construction, editing, searching and formatting as the product
// code relies on them (MFC semantics, including its clamping of positions).
#include <gtest/gtest.h>

#include <afxwin.h>

#include <winsim/machine.h>

#include <climits>
#include <cstdarg>
#include <cstring>
#include <string>

namespace {

std::string S(const CString &s) { return std::string((LPCTSTR)s, (size_t)s.GetLength()); }

// ---- construction and assignment ----------------------------------------------

TEST(CStringBasics, ConstructorsGiveTheExpectedText) {
    EXPECT_EQ(S(CString()), "");
    EXPECT_EQ(S(CString("Quillbak")), "Quillbak");
    EXPECT_EQ(S(CString((LPCTSTR)NULL)), "");
    EXPECT_EQ(S(CString('x', 3)), "xxx");
    EXPECT_EQ(S(CString('x')), "x");
    EXPECT_EQ(S(CString('x', 0)), "");
    EXPECT_EQ(S(CString('x', -4)), "");
    EXPECT_EQ(S(CString("abcdef", 3)), "abc");
    EXPECT_EQ(S(CString("ab", 10)), "ab");  // stops at the NUL, reads no further
    EXPECT_EQ(S(CString("abc", -1)), "");
    CString original("copy me");
    CString copy(original);
    original.SetAt(0, 'C');
    EXPECT_EQ(S(copy), "copy me");
    EXPECT_EQ(S(original), "Copy me");
}

TEST(CStringBasics, EmptyStringConvertsToAnEmptyNotANullPointer) {
    CString s;
    LPCTSTR p = s;
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, "");
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(s.GetLength(), 0);
    s = "x";
    s.Empty();
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_STREQ((LPCTSTR)s, "");
}

TEST(CStringBasics, AssignmentFromEveryKindOfSource) {
    CString s("start");
    s = CString("from CString");
    EXPECT_EQ(S(s), "from CString");
    s = "from char*";
    EXPECT_EQ(S(s), "from char*");
    s = 'c';
    EXPECT_EQ(S(s), "c");
    s = (LPCTSTR)NULL;
    EXPECT_EQ(S(s), "");
    s = "self assignment";
    CString &alias = s;
    s = alias;
    EXPECT_EQ(S(s), "self assignment");
    s = (LPCTSTR)s + 5;  // a tail of its own buffer
    EXPECT_EQ(S(s), "assignment");
}

TEST(CStringBasics, ElementAccessIgnoresPositionsOutsideTheString) {
    CString s("abc");
    EXPECT_EQ(s[0], 'a');
    EXPECT_EQ(s.GetAt(2), 'c');
    EXPECT_EQ(s.GetAt(3), '\0');
    EXPECT_EQ(s.GetAt(-1), '\0');
    EXPECT_EQ(s[100], '\0');
    s.SetAt(1, 'B');
    s.SetAt(3, 'x');
    s.SetAt(-1, 'x');
    EXPECT_EQ(S(s), "aBc");
}

// ---- concatenation and comparison ----------------------------------------------

TEST(CStringConcat, EveryOperandCombination) {
    CString a("ab"), b("cd");
    EXPECT_EQ(S(a + b), "abcd");
    EXPECT_EQ(S(a + "xy"), "abxy");
    EXPECT_EQ(S("xy" + a), "xyab");
    EXPECT_EQ(S(a + 'z'), "abz");
    EXPECT_EQ(S('z' + a), "zab");
    EXPECT_EQ(S(a + (LPCTSTR)NULL), "ab");
    EXPECT_EQ(S(CString() + CString()), "");
    CString c(a);
    c += b;
    c += "ef";
    c += 'g';
    c += (LPCTSTR)NULL;
    EXPECT_EQ(S(c), "abcdefg");
}

TEST(CStringConcat, AppendingItselfAndLongRuns) {
    CString s("ab");
    s += s;
    EXPECT_EQ(S(s), "abab");
    s += (LPCTSTR)s + 2;
    EXPECT_EQ(S(s), "ababab");

    CString run;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        char c = (char)('a' + i % 26);
        run += c;
        expected += c;
    }
    EXPECT_EQ(run.GetLength(), 5000);
    EXPECT_EQ(S(run), expected);
}

TEST(CStringCompare, OperatorsCompareBytes) {
    CString abc("abc");
    EXPECT_TRUE(abc == "abc");
    EXPECT_TRUE("abc" == abc);
    EXPECT_TRUE(abc == CString("abc"));
    EXPECT_FALSE(abc == "ABC");
    EXPECT_TRUE(abc != "abd");
    EXPECT_TRUE("abd" != abc);
    EXPECT_FALSE(abc != CString("abc"));
    EXPECT_TRUE(abc < "abd");
    EXPECT_TRUE("ab" < abc);
    EXPECT_TRUE(abc > "ab");
    EXPECT_TRUE("abd" > abc);
    EXPECT_TRUE(CString("B") < CString("a"));  // 'B' is 0x42, 'a' 0x61
    EXPECT_TRUE(CString("\xE4") > CString("z"));  // bytes are unsigned
    EXPECT_FALSE(abc < abc);
    EXPECT_FALSE(abc > abc);
}

struct CompareCase {
    const char *left;
    const char *right;
    int compare;
    int compareNoCase;
};

TEST(CStringCompare, CompareAndCompareNoCase) {
    const CompareCase cases[] = {
        {"Quillbak", "Quillbak", 0, 0},
        {"Quillbak", "QUILLBAK", 1, 0},
        {"abc", "ABD", 1, -1},
        {"abd", "ABC", 1, 1},
        {"a", "A ", 1, -1},
        {"Z", "a", -1, 1},
        {"_", "a", -1, -1},   // "_" (0x5F) sorts before "a" either way
        {"_", "A", 1, -1},    // folded to lower case first, as stricmp does
        {"\xC4", "\xE4", -1, -1},  // only ASCII letters fold
        {"", "", 0, 0},
        {"", "a", -1, -1},
        {"abc", NULL, 1, 1},
        {"", NULL, 0, 0},
    };
    for (const CompareCase &c : cases) {
        SCOPED_TRACE(std::string(c.left) + " vs " + (c.right ? c.right : "NULL"));
        CString s(c.left);
        EXPECT_EQ(s.Compare(c.right), c.compare);
        EXPECT_EQ(s.CompareNoCase(c.right), c.compareNoCase);
    }
}

// ---- formatting -------------------------------------------------------------------

void FormatThrough(CString &out, LPCTSTR format, ...) {
    va_list args;
    va_start(args, format);
    out.FormatV(format, args);
    va_end(args);
}

TEST(CStringFormat, PrintfConversions) {
    CString s;
    s.Format("%05d|%-4s|%x|%c|%.2f|%%|%lu", 42, "ab", 255, 'Q', 2.5, 4000000000UL);
    EXPECT_EQ(S(s), "00042|ab  |ff|Q|2.50|%|4000000000");
    s.Format("no arguments");
    EXPECT_EQ(S(s), "no arguments");
    s.Format("%s", "");
    EXPECT_EQ(S(s), "");
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CStringFormat, OutputOfAnyLength) {
    std::string big(1500, 'x');
    big[0] = 'A';
    big[1499] = 'Z';
    CString s;
    s.Format("%s|%d|%s", big.c_str(), 42, "end");
    EXPECT_EQ(s.GetLength(), 1507);
    EXPECT_EQ(S(s), big + "|42|end");

    s.Format("%-3000d.", 7);
    EXPECT_EQ(s.GetLength(), 3001);
    EXPECT_EQ(s[0], '7');
    EXPECT_EQ(s[2999], ' ');
    EXPECT_EQ(s[3000], '.');
}

TEST(CStringFormat, ItsOwnTextAsAnArgument) {
    CString s("inner");
    s.Format("<%s>", (LPCTSTR)s);
    EXPECT_EQ(S(s), "<inner>");
}

TEST(CStringFormat, FormatVTakesAnArgumentList) {
    CString s;
    FormatThrough(s, "%s=%d", "count", 3);
    EXPECT_EQ(S(s), "count=3");
    std::string big(2000, 'y');
    FormatThrough(s, "[%s]", big.c_str());
    EXPECT_EQ(S(s), "[" + big + "]");
    FormatThrough(s, NULL);
    EXPECT_EQ(S(s), "");
}

// ---- case and order ----------------------------------------------------------------

TEST(CStringCase, MakeUpperLowerReverse) {
    CString s("Quill-Bak 2.0 \xE4");
    EXPECT_EQ(S(s.MakeUpper()), "QUILL-BAK 2.0 \xE4");
    EXPECT_EQ(S(s.MakeLower()), "quill-bak 2.0 \xE4");
    CString r("abc!");
    EXPECT_EQ(S(r.MakeReverse()), "!cba");
    CString one("x"), none;
    EXPECT_EQ(S(one.MakeReverse()), "x");
    EXPECT_EQ(S(none.MakeReverse()), "");
    EXPECT_EQ(S(none.MakeUpper()), "");
}

// ---- extraction -------------------------------------------------------------------

struct ExtractCase {
    const char *what;
    int first;
    int count;
    const char *expected;
};

TEST(CStringExtract, LeftMidRightClampLikeMfc) {
    const CString s("Quillbak");  // 8 characters
    const ExtractCase left[] = {{"Left", 0, -1, ""},        {"Left", 0, 0, ""},         {"Left", 0, 3, "Qui"},
                                {"Left", 0, 8, "Quillbak"}, {"Left", 0, 9, "Quillbak"}, {"Left", 0, INT_MAX, "Quillbak"},
                                {"Left", 0, INT_MIN, ""}};
    for (const ExtractCase &c : left) {
        SCOPED_TRACE(c.count);
        EXPECT_EQ(S(s.Left(c.count)), c.expected);
    }
    const ExtractCase right[] = {{"Right", 0, -5, ""},         {"Right", 0, 0, ""},        {"Right", 0, 3, "bak"},
                                 {"Right", 0, 8, "Quillbak"},  {"Right", 0, 9, "Quillbak"}};
    for (const ExtractCase &c : right) {
        SCOPED_TRACE(c.count);
        EXPECT_EQ(S(s.Right(c.count)), c.expected);
    }
    const ExtractCase midFrom[] = {{"Mid", -3, 0, "Quillbak"}, {"Mid", 0, 0, "Quillbak"}, {"Mid", 5, 0, "bak"},
                                   {"Mid", 7, 0, "k"},         {"Mid", 8, 0, ""},         {"Mid", 9, 0, ""},
                                   {"Mid", INT_MAX, 0, ""},    {"Mid", INT_MIN, 0, "Quillbak"}};
    for (const ExtractCase &c : midFrom) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ(S(s.Mid(c.first)), c.expected);
    }
    const ExtractCase mid[] = {{"Mid", 2, 3, "ill"},       {"Mid", -2, 3, "Qui"},    {"Mid", 6, 10, "ak"},
                               {"Mid", 3, -1, ""},         {"Mid", 3, 0, ""},        {"Mid", 8, 1, ""},
                               {"Mid", 100, 5, ""},        {"Mid", 1, INT_MAX, "uillbak"},
                               {"Mid", 0, 8, "Quillbak"},  {"Mid", INT_MAX, INT_MAX, ""}};
    for (const ExtractCase &c : mid) {
        SCOPED_TRACE(std::to_string(c.first) + "," + std::to_string(c.count));
        EXPECT_EQ(S(s.Mid(c.first, c.count)), c.expected);
    }
    EXPECT_EQ(S(CString().Mid(0, 5)), "");
    EXPECT_EQ(S(CString().Left(5)), "");
    EXPECT_EQ(S(CString().Right(5)), "");
}

TEST(CStringExtract, SpanIncludingAndExcluding) {
    EXPECT_EQ(S(CString("12345abc").SpanIncluding("0123456789")), "12345");
    EXPECT_EQ(S(CString("abc").SpanIncluding("0123456789")), "");
    EXPECT_EQ(S(CString("112").SpanIncluding("12")), "112");
    EXPECT_EQ(S(CString("abc").SpanIncluding(NULL)), "");
    EXPECT_EQ(S(CString("key;rest,more").SpanExcluding(";,")), "key");
    EXPECT_EQ(S(CString("key").SpanExcluding(";,")), "key");
    EXPECT_EQ(S(CString(";key").SpanExcluding(";,")), "");
    EXPECT_EQ(S(CString("key").SpanExcluding("")), "key");
    EXPECT_EQ(S(CString("key").SpanExcluding(NULL)), "key");
}

// ---- searching -----------------------------------------------------------------------

TEST(CStringFind, CharactersAndSubstrings) {
    const CString s("one,two,,three");  // 14 characters
    struct CharCase {
        char ch;
        int start;
        int expected;
    };
    const CharCase chars[] = {{',', 0, 3}, {',', 4, 7},  {',', 8, 8},   {',', 9, -1}, {',', 14, -1},
                              {',', -1, -1}, {'z', 0, -1}, {'o', 0, 0}, {'e', 13, 13}, {'\0', 0, -1}};
    for (const CharCase &c : chars) {
        SCOPED_TRACE(std::string(1, c.ch) + " from " + std::to_string(c.start));
        EXPECT_EQ(s.Find(c.ch, c.start), c.expected);
        if (c.start == 0) {
            EXPECT_EQ(s.Find(c.ch), c.expected);
        }
    }
    struct SubCase {
        const char *sub;
        int start;
        int expected;
    };
    const SubCase subs[] = {{"two", 0, 4},    {"o", 1, 6},       {"three", 9, 9}, {"three", 10, -1},
                            {"e,", 0, 2},     {"onex", 0, -1},   {"", 0, 0},      {"", 14, 14},
                            {"", 15, -1},     {"three", -1, -1}, {NULL, 0, -1},   {"one,two,,three!", 0, -1},
                            {"one,two,,three", 0, 0}};
    for (const SubCase &c : subs) {
        SCOPED_TRACE(std::string(c.sub ? c.sub : "NULL") + " from " + std::to_string(c.start));
        EXPECT_EQ(s.Find(c.sub, c.start), c.expected);
        if (c.start == 0) {
            EXPECT_EQ(s.Find(c.sub), c.expected);
        }
    }
}

TEST(CStringFind, ReverseFindAndFindOneOf) {
    const CString s("one,two,,three");
    EXPECT_EQ(s.ReverseFind(','), 8);
    EXPECT_EQ(s.ReverseFind('o'), 6);
    EXPECT_EQ(s.ReverseFind('e'), 13);
    EXPECT_EQ(s.ReverseFind('q'), -1);
    EXPECT_EQ(s.ReverseFind('\0'), -1);
    EXPECT_EQ(CString().ReverseFind('a'), -1);
    EXPECT_EQ(CString("C:\\Program Files\\Quillbak").ReverseFind('\\'), 16);

    EXPECT_EQ(s.FindOneOf(",w"), 3);
    EXPECT_EQ(s.FindOneOf("rh"), 10);
    EXPECT_EQ(s.FindOneOf("xyz"), -1);
    EXPECT_EQ(s.FindOneOf(""), -1);
    EXPECT_EQ(s.FindOneOf(NULL), -1);
    EXPECT_EQ(CString().FindOneOf("a"), -1);
}

// ---- trimming -------------------------------------------------------------------------

TEST(CStringTrim, WhiteSpaceOnEitherSide) {
    struct TrimCase {
        const char *text;
        const char *left;
        const char *right;
    };
    const TrimCase cases[] = {
        {"  \t\r\nabc \t", "abc \t", "  \t\r\nabc"},
        {"\v\fa b\v\f", "a b\v\f", "\v\fa b"},
        {"   ", "", ""},
        {"", "", ""},
        {"a b", "a b", "a b"},
        {"\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0"},  // only the C locale's white space
    };
    for (const TrimCase &c : cases) {
        SCOPED_TRACE(c.text);
        CString l(c.text), r(c.text), both(c.text);
        EXPECT_EQ(S(l.TrimLeft()), c.left);
        EXPECT_EQ(S(r.TrimRight()), c.right);
        EXPECT_EQ(S(both.TrimLeft().TrimRight()), std::string(CString(c.left).TrimRight()));
    }
}

TEST(CStringTrim, ChosenCharacters) {
    CString s("xxaxbxx");
    EXPECT_EQ(S(CString(s).TrimLeft('x')), "axbxx");
    EXPECT_EQ(S(CString(s).TrimRight('x')), "xxaxb");
    EXPECT_EQ(S(CString("=-=a-=").TrimLeft("-=")), "a-=");
    EXPECT_EQ(S(CString("=-=a-=").TrimRight("-=")), "=-=a");
    EXPECT_EQ(S(CString("-=-").TrimRight("-=")), "");
    EXPECT_EQ(S(CString(" a ").TrimLeft("")), " a ");
    EXPECT_EQ(S(CString(" a ").TrimRight((LPCTSTR)NULL)), " a ");
    EXPECT_EQ(S(CString("\"quoted\"").TrimLeft('"').TrimRight('"')), "quoted");
}

// ---- editing ---------------------------------------------------------------------------

TEST(CStringEdit, ReplaceCharactersCountsReplacements) {
    struct Case {
        const char *text;
        char from, to;
        int count;
        const char *result;
    };
    const Case cases[] = {{"a.b.c", '.', '/', 2, "a/b/c"},
                          {"a.b.c", '.', '.', 0, "a.b.c"},
                          {"a.b.c", 'x', 'y', 0, "a.b.c"},
                          {"", 'a', 'b', 0, ""},
                          {"aaa", 'a', 'b', 3, "bbb"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        CString s(c.text);
        EXPECT_EQ(s.Replace(c.from, c.to), c.count);
        EXPECT_EQ(S(s), c.result);
    }
}

TEST(CStringEdit, ReplaceSubstringsCountsReplacements) {
    struct Case {
        const char *text;
        const char *from;
        const char *to;
        int count;
        const char *result;
    };
    const Case cases[] = {
        {"aaaa", "aa", "b", 2, "bb"},
        {"aaa", "aa", "b", 1, "ba"},  // left to right, no overlaps
        {"abcabc", "bc", "", 2, "aa"},
        {"abc", "b", NULL, 1, "ac"},
        {"x", "x", "xyz", 1, "xyz"},
        {"%1 and %1", "%1", "Quillbak", 2, "Quillbak and Quillbak"},
        {"abc", "abcd", "x", 0, "abc"},
        {"abc", "", "x", 0, "abc"},
        {"abc", NULL, "x", 0, "abc"},
        {"", "a", "b", 0, ""},
        {"C:\\\\dir\\\\file", "\\\\", "\\", 2, "C:\\dir\\file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        CString s(c.text);
        EXPECT_EQ(s.Replace(c.from, c.to), c.count);
        EXPECT_EQ(S(s), c.result);
    }
}

TEST(CStringEdit, ReplaceWithTextOfItsOwnBuffer) {
    CString s("ab-ab");
    CString copy(s);
    EXPECT_EQ(s.Replace("ab", (LPCTSTR)s), 2);  // the replacement is the whole old text
    EXPECT_EQ(S(s), "ab-ab-ab-ab");
    EXPECT_EQ(S(copy), "ab-ab");
}

TEST(CStringEdit, RemoveInsertDelete) {
    CString s("a b c ");
    EXPECT_EQ(s.Remove(' '), 3);
    EXPECT_EQ(S(s), "abc");
    EXPECT_EQ(s.Remove('z'), 0);
    EXPECT_EQ(S(s), "abc");

    struct InsertCase {
        int index;
        const char *text;
        int length;
        const char *result;
    };
    const InsertCase inserts[] = {{0, "x", 4, "xabc"},  {1, "yz", 5, "ayzbc"}, {3, "!", 4, "abc!"},
                                  {10, "yz", 5, "abcyz"}, {-3, "p", 4, "pabc"},  {1, NULL, 3, "abc"},
                                  {1, "", 3, "abc"}};
    for (const InsertCase &c : inserts) {
        SCOPED_TRACE(c.index);
        CString t("abc");
        EXPECT_EQ(t.Insert(c.index, c.text), c.length);
        EXPECT_EQ(S(t), c.result);
    }
    CString t("abc");
    EXPECT_EQ(t.Insert(1, '-'), 4);
    EXPECT_EQ(S(t), "a-bc");
    EXPECT_EQ(t.Insert(0, (LPCTSTR)t), 8);  // its own text
    EXPECT_EQ(S(t), "a-bca-bc");

    struct DeleteCase {
        int index;
        int count;
        int length;
        const char *result;
    };
    const DeleteCase deletes[] = {{1, 1, 2, "ac"}, {1, 100, 1, "a"}, {-1, 2, 1, "c"}, {5, 1, 3, "abc"},
                                  {0, 0, 3, "abc"}, {0, -2, 3, "abc"}, {0, 3, 0, ""}, {1, INT_MAX, 1, "a"}};
    for (const DeleteCase &c : deletes) {
        SCOPED_TRACE(std::to_string(c.index) + "," + std::to_string(c.count));
        CString d("abc");
        EXPECT_EQ(d.Delete(c.index, c.count), c.length);
        EXPECT_EQ(S(d), c.result);
    }
    CString d("abc");
    EXPECT_EQ(d.Delete(0), 2);
    EXPECT_EQ(S(d), "bc");
}

// ---- buffers ------------------------------------------------------------------------------

TEST(CStringBuffer, GetBufferHoldsTheTextAndReleaseBufferTakesTheNewLength) {
    CString s("abc");
    char *p = s.GetBuffer(10);
    EXPECT_STREQ(p, "abc");
    std::memcpy(p, "0123456789", 11);
    EXPECT_EQ(s.GetLength(), 3);  // until released
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 10);
    EXPECT_EQ(S(s), "0123456789");

    s.GetBuffer(0);
    s.ReleaseBuffer(4);
    EXPECT_EQ(S(s), "0123");
}

TEST(CStringBuffer, BufferFilledWithoutTerminatorStillEndsInside) {
    CString s;
    char *p = s.GetBuffer(4);
    ASSERT_NE(p, nullptr);
    std::memcpy(p, "abcd", 4);  // no NUL written
    s.ReleaseBuffer();
    EXPECT_EQ(S(s), "abcd");
}

TEST(CStringBuffer, EmptyStringGivesAWritableBuffer) {
    CString s;
    char *p = s.GetBuffer(0);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[0], '\0');
    s.ReleaseBuffer();
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CStringBuffer, GetBufferSetLength) {
    CString s("abcdef");
    char *p = s.GetBufferSetLength(3);
    EXPECT_EQ(s.GetLength(), 3);
    EXPECT_STREQ(p, "abc");
    p[0] = 'x';
    s.ReleaseBuffer();
    EXPECT_EQ(S(s), "xbc");

    p = s.GetBufferSetLength(6);
    std::memcpy(p, "uvwxyz", 6);
    s.ReleaseBuffer(6);
    EXPECT_EQ(S(s), "uvwxyz");
    s.GetBufferSetLength(-1);
    EXPECT_EQ(S(s), "");
}

TEST(CStringBuffer, ImpossibleSizeThrowsMemoryExceptionAndKeepsTheText) {
    CString s("kept");
    bool thrown = false;
    try {
        s.GetBuffer(INT_MAX);
    } catch (CMemoryException *e) {
        thrown = true;
        e->Delete();
    }
    EXPECT_TRUE(thrown);
    EXPECT_EQ(S(s), "kept");

    thrown = false;
    try {
        CString r('x', INT_MAX);
    } catch (CException *e) {
        thrown = e->IsKindOf(RUNTIME_CLASS(CMemoryException));
        e->Delete();
    }
    EXPECT_TRUE(thrown);
}

// ---- double-byte code pages ------------------------------------------------------------

// In code page 932, 0x83 0x5C is one character whose trail byte has the
// value of a backslash; in 1252 the same bytes are two characters.
TEST(CStringDbcs, TrailBytesAreNotCharactersOnADoubleByteCodePage) {
    const CString path("C:\\\x83\x5C\\x");  // C : \ [83 5C] \ x
    struct Expected {
        unsigned codePage;
        int reverseFind, findFrom3, findSubstring, findOneOf;
        std::string reversed, upper, trimmed;
        int charReplacements, removals, substringReplacements;
    };
    const Expected cases[] = {
        {932, 5, 5, -1, 4, "x\\\x83\x5C\\:C", "\x83\x61" "A", "\x83 ", 1, 1, 1},
        {1252, 5, 4, 4, 3, "x\\\x5C\x83\\:C", "\x83" "AA", "\x83", 2, 2, 2},
    };
    for (const Expected &c : cases) {
        SCOPED_TRACE(c.codePage);
        winsim::LocalMachine().codePage = c.codePage;
        EXPECT_EQ(path.ReverseFind('\\'), c.reverseFind);
        EXPECT_EQ(path.Find('\\', 3), c.findFrom3);
        EXPECT_EQ(path.Find("\x5C\\"), c.findSubstring);
        EXPECT_EQ(CString("ab\x83\x5C\\").FindOneOf("\\:"), c.findOneOf);

        CString reversed(path);
        EXPECT_EQ(S(reversed.MakeReverse()), c.reversed);
        CString upper("\x83\x61" "a");  // the trail byte is an 'a'
        EXPECT_EQ(S(upper.MakeUpper()), c.upper);
        CString trimmed("\x83 " " ");  // the trail byte is a space
        EXPECT_EQ(S(trimmed.TrimRight()), c.trimmed);

        CString slashes("a\x83\x5C\\");
        EXPECT_EQ(slashes.Replace('\\', '/'), c.charReplacements);
        CString removed("a\x83\x5C\\");
        EXPECT_EQ(removed.Remove('\\'), c.removals);
        CString replaced("\x5C\x83\x5C");
        EXPECT_EQ(replaced.Replace("\x5C", "/"), c.substringReplacements);

        CString loneLead("ab\x83");  // a lead byte at the very end stands alone
        EXPECT_EQ(loneLead.ReverseFind('\x83'), 2);
        EXPECT_EQ(S(loneLead.MakeReverse()), "\x83" "ba");
    }
}

}  // namespace
