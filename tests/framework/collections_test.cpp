// CStringArray and CMapStringToString as the product uses them.
#include <gtest/gtest.h>

#include <afxwin.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::string> Items(const CStringArray &a) {
    std::vector<std::string> out;
    for (int i = 0; i < a.GetSize(); ++i) out.push_back((LPCTSTR)a.GetAt(i));
    return out;
}

typedef std::vector<std::string> Strings;

CStringArray &Fill(CStringArray &a, const Strings &items) {
    a.RemoveAll();
    for (const std::string &s : items) a.Add(s.c_str());
    return a;
}

// ---- CStringArray --------------------------------------------------------------

TEST(CStringArrayTest, AddReturnsIndexesAndSizesFollow) {
    CStringArray a;
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(a.GetSize(), 0);
    EXPECT_EQ(a.GetUpperBound(), -1);
    EXPECT_EQ(a.Add("zero"), 0);
    EXPECT_EQ(a.Add(CString("one")), 1);
    EXPECT_EQ(a.Add((LPCTSTR)NULL), 2);
    EXPECT_FALSE(a.IsEmpty());
    EXPECT_EQ(a.GetSize(), 3);
    EXPECT_EQ(a.GetCount(), 3);
    EXPECT_EQ(a.GetUpperBound(), 2);
    EXPECT_EQ(Items(a), (Strings{"zero", "one", ""}));
}

TEST(CStringArrayTest, ElementAccessAndAssignment) {
    CStringArray a;
    Fill(a, {"a", "b", "c"});
    a.SetAt(1, "B");
    a[2] = "C";
    a.ElementAt(0) += "!";
    EXPECT_EQ(Items(a), (Strings{"a!", "B", "C"}));
    const CStringArray &ca = a;
    EXPECT_STREQ((LPCTSTR)ca[1], "B");
    EXPECT_STREQ((LPCTSTR)ca.GetAt(2), "C");
}

TEST(CStringArrayTest, IndexesOutsideTheArrayNeitherReadNorWriteIt) {
    CStringArray a;
    Fill(a, {"a", "b"});
    EXPECT_STREQ((LPCTSTR)a.GetAt(2), "");
    EXPECT_STREQ((LPCTSTR)a.GetAt(-1), "");
    a.SetAt(2, "x");
    a.SetAt(-1, "x");
    a[5] = "dropped";
    a.ElementAt(-3) = "dropped";
    EXPECT_STREQ((LPCTSTR)a.ElementAt(7), "");  // the scratch string starts empty again
    EXPECT_EQ(Items(a), (Strings{"a", "b"}));
}

TEST(CStringArrayTest, SetSizeGrowsWithEmptyStringsAndCuts) {
    CStringArray a;
    Fill(a, {"a", "b", "c"});
    a.SetSize(5);
    EXPECT_EQ(Items(a), (Strings{"a", "b", "c", "", ""}));
    a.SetSize(2, 16);
    EXPECT_EQ(Items(a), (Strings{"a", "b"}));
    a.SetSize(-1);
    EXPECT_TRUE(a.IsEmpty());
}

TEST(CStringArrayTest, InsertAt) {
    struct Case {
        int index;
        const char *text;
        int count;
        Strings expected;
    };
    const Case cases[] = {
        {0, "x", 1, {"x", "a", "b", "c"}},
        {1, "x", 2, {"a", "x", "x", "b", "c"}},
        {3, "x", 1, {"a", "b", "c", "x"}},
        {5, "x", 2, {"a", "b", "c", "", "", "x", "x"}},  // padded, as MFC does
        {-2, "x", 1, {"x", "a", "b", "c"}},
        {1, "x", 0, {"a", "b", "c"}},
        {1, "x", -3, {"a", "b", "c"}},
        {1, NULL, 1, {"a", "", "b", "c"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.index) + "," + std::to_string(c.count));
        CStringArray a;
        Fill(a, {"a", "b", "c"});
        a.InsertAt(c.index, c.text, c.count);
        EXPECT_EQ(Items(a), c.expected);
    }
}

TEST(CStringArrayTest, InsertAtCopiesAnElementOfTheSameArray) {
    CStringArray a;
    Fill(a, {"a", "b", "c"});
    a.InsertAt(0, a[2], 3);  // the insertion moves the element it reads
    EXPECT_EQ(Items(a), (Strings{"c", "c", "c", "a", "b", "c"}));
}

TEST(CStringArrayTest, RemoveAt) {
    struct Case {
        int index;
        int count;
        Strings expected;
    };
    const Case cases[] = {
        {0, 1, {"b", "c", "d"}},  {1, 2, {"a", "d"}},           {3, 1, {"a", "b", "c"}},
        {2, 10, {"a", "b"}},      {4, 1, {"a", "b", "c", "d"}}, {-1, 2, {"b", "c", "d"}},
        {1, 0, {"a", "b", "c", "d"}}, {1, -1, {"a", "b", "c", "d"}}, {0, INT_MAX, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.index) + "," + std::to_string(c.count));
        CStringArray a;
        Fill(a, {"a", "b", "c", "d"});
        a.RemoveAt(c.index, c.count);
        EXPECT_EQ(Items(a), c.expected);
    }
    CStringArray a;
    Fill(a, {"a", "b"});
    a.RemoveAt(0);
    EXPECT_EQ(Items(a), (Strings{"b"}));
    a.RemoveAll();
    EXPECT_TRUE(a.IsEmpty());
}

TEST(CStringArrayTest, AppendAndCopy) {
    CStringArray a, b;
    Fill(a, {"a", "b"});
    Fill(b, {"c"});
    EXPECT_EQ(a.Append(b), 2);
    EXPECT_EQ(Items(a), (Strings{"a", "b", "c"}));
    EXPECT_EQ(a.Append(a), 3);
    EXPECT_EQ(Items(a), (Strings{"a", "b", "c", "a", "b", "c"}));

    b.Copy(a);
    EXPECT_EQ(Items(b), Items(a));
    b[0] = "changed";
    EXPECT_STREQ((LPCTSTR)a[0], "a");  // a copy, not shared
    b.Copy(b);
    EXPECT_EQ(b.GetSize(), 6);
    CStringArray empty;
    b.Copy(empty);
    EXPECT_TRUE(b.IsEmpty());
}

TEST(CStringArrayTest, ImpossibleSizesThrowMemoryException) {
    CStringArray a;
    Fill(a, {"kept"});
    int thrown = 0;
    try {
        a.SetSize(INT_MAX);
    } catch (CMemoryException *e) {
        ++thrown;
        e->Delete();
    }
    try {
        a.InsertAt(0, "x", INT_MAX);
    } catch (CMemoryException *e) {
        ++thrown;
        e->Delete();
    }
    try {
        a.InsertAt(INT_MAX, "x");
    } catch (CMemoryException *e) {
        ++thrown;
        e->Delete();
    }
    EXPECT_EQ(thrown, 3);
    EXPECT_EQ(Items(a), (Strings{"kept"}));
}

// ---- CMapStringToString ----------------------------------------------------------------

typedef std::vector<std::pair<std::string, std::string>> Pairs;

Pairs Iterate(const CMapStringToString &m) {
    Pairs out;
    POSITION pos = m.GetStartPosition();
    while (pos != NULL) {
        CString key, value;
        m.GetNextAssoc(pos, key, value);
        out.emplace_back((LPCTSTR)key, (LPCTSTR)value);
    }
    return out;
}

TEST(CMapStringToStringTest, SetAtAddsOrReplaces) {
    CMapStringToString m;
    EXPECT_TRUE(m.IsEmpty());
    m.SetAt("INSTALLDIR", "C:\\Quillbak");
    m.SetAt("Mode", "Full");
    EXPECT_EQ(m.GetCount(), 2);
    m.SetAt("INSTALLDIR", "D:\\Quillbak");
    EXPECT_EQ(m.GetCount(), 2);
    EXPECT_EQ(m.GetSize(), 2);
    CString value;
    EXPECT_TRUE(m.Lookup("INSTALLDIR", value));
    EXPECT_STREQ((LPCTSTR)value, "D:\\Quillbak");
    m.SetAt("Mode", NULL);
    EXPECT_TRUE(m.Lookup("Mode", value));
    EXPECT_STREQ((LPCTSTR)value, "");
}

TEST(CMapStringToStringTest, LookupIsCaseSensitiveAndLeavesTheOutputAloneWhenAbsent) {
    CMapStringToString m;
    m.SetAt("Key", "lower");
    m.SetAt("KEY", "upper");
    EXPECT_EQ(m.GetCount(), 2);
    CString value("untouched");
    EXPECT_FALSE(m.Lookup("key", value));
    EXPECT_STREQ((LPCTSTR)value, "untouched");
    EXPECT_FALSE(m.Lookup(NULL, value));
    EXPECT_TRUE(m.Lookup("KEY", value));
    EXPECT_STREQ((LPCTSTR)value, "upper");
    EXPECT_TRUE(m.Lookup("Key", value));
    EXPECT_STREQ((LPCTSTR)value, "lower");
}

TEST(CMapStringToStringTest, SubscriptCreatesAnEmptyValue) {
    CMapStringToString m;
    EXPECT_STREQ((LPCTSTR)m["new"], "");
    EXPECT_EQ(m.GetCount(), 1);
    m["new"] += "text";
    m["other"] = "x";
    CString value;
    EXPECT_TRUE(m.Lookup("new", value));
    EXPECT_STREQ((LPCTSTR)value, "text");
    EXPECT_EQ(m.GetCount(), 2);
}

TEST(CMapStringToStringTest, RemoveKeyAndRemoveAll) {
    CMapStringToString m;
    m.SetAt("a", "1");
    m.SetAt("b", "2");
    EXPECT_TRUE(m.RemoveKey("a"));
    EXPECT_FALSE(m.RemoveKey("a"));
    EXPECT_FALSE(m.RemoveKey("B"));
    EXPECT_FALSE(m.RemoveKey(NULL));
    EXPECT_EQ(m.GetCount(), 1);
    CString value;
    EXPECT_FALSE(m.Lookup("a", value));
    m.RemoveAll();
    EXPECT_TRUE(m.IsEmpty());
    EXPECT_EQ(m.GetStartPosition(), (POSITION)NULL);
}

TEST(CMapStringToStringTest, IterationVisitsEveryPairInByteOrderOfKeys) {
    CMapStringToString m(32);
    EXPECT_EQ(m.GetBlockSize(), 32);
    EXPECT_EQ(CMapStringToString().GetBlockSize(), 10);
    EXPECT_EQ(m.GetStartPosition(), (POSITION)NULL);
    m.SetAt("b", "2");
    m.SetAt("a", "1");
    m.SetAt("B", "3");
    m.SetAt("", "empty");
    m.SetAt("ab", "4");
    m.SetAt("a", "1'");
    EXPECT_EQ(Iterate(m), (Pairs{{"", "empty"}, {"B", "3"}, {"a", "1'"}, {"ab", "4"}, {"b", "2"}}));
}

TEST(CMapStringToStringTest, TheLastAssociationSetsThePositionToNull) {
    CMapStringToString m;
    m.SetAt("only", "one");
    POSITION pos = m.GetStartPosition();
    ASSERT_NE(pos, (POSITION)NULL);
    CString key, value;
    m.GetNextAssoc(pos, key, value);
    EXPECT_EQ(pos, (POSITION)NULL);
    EXPECT_STREQ((LPCTSTR)key, "only");
    EXPECT_STREQ((LPCTSTR)value, "one");
    key = "k";
    value = "v";
    m.GetNextAssoc(pos, key, value);  // past the end: nothing, and no crash
    EXPECT_EQ(pos, (POSITION)NULL);
    EXPECT_STREQ((LPCTSTR)key, "");
    EXPECT_STREQ((LPCTSTR)value, "");
}

TEST(CMapStringToStringTest, RemovingTheReturnedKeyWhileIterating) {
    CMapStringToString m;
    for (const char *k : {"a", "b", "c", "d"}) m.SetAt(k, k);
    Pairs seen;
    POSITION pos = m.GetStartPosition();
    while (pos != NULL) {
        CString key, value;
        m.GetNextAssoc(pos, key, value);
        seen.emplace_back((LPCTSTR)key, (LPCTSTR)value);
        if (key != "c") m.RemoveKey(key);
    }
    EXPECT_EQ(seen, (Pairs{{"a", "a"}, {"b", "b"}, {"c", "c"}, {"d", "d"}}));
    EXPECT_EQ(Iterate(m), (Pairs{{"c", "c"}}));
}

TEST(CMapStringToStringTest, APositionWhoseEntryWasRemovedEndsTheIteration) {
    CMapStringToString m;
    m.SetAt("a", "1");
    m.SetAt("b", "2");
    POSITION pos = m.GetStartPosition();
    CString key, value;
    m.GetNextAssoc(pos, key, value);  // pos now names "b"
    m.RemoveKey("b");
    m.GetNextAssoc(pos, key, value);
    EXPECT_EQ(pos, (POSITION)NULL);
    EXPECT_STREQ((LPCTSTR)key, "");
    m.SetAt("b", "again");  // a new entry, not the one the old position named
    pos = m.GetStartPosition();
    m.GetNextAssoc(pos, key, value);
    m.GetNextAssoc(pos, key, value);
    EXPECT_STREQ((LPCTSTR)key, "b");
    EXPECT_STREQ((LPCTSTR)value, "again");
}

TEST(CMapStringToStringTest, SetAtWithTheTextOfTheReplacedValue) {
    CMapStringToString m;
    m.SetAt("k", "value");
    CString &ref = m["k"];
    m.SetAt("k", (LPCTSTR)ref + 2);
    CString value;
    ASSERT_TRUE(m.Lookup("k", value));
    EXPECT_STREQ((LPCTSTR)value, "lue");
}

}  // namespace
