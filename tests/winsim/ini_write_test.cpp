// WritePrivateProfileStringA: the exact file text after each kind of write,
// deletions, and the failures.
#include "files_scratch.h"
#include "support/wine.h"

namespace {

class IniWrite : public ScratchTest {
protected:
    void SetUp() override {
        ScratchTest::SetUp();
        file_ = P("w.ini");
    }
    BOOL Write(const char *section, const char *key, const char *value) {
        return WritePrivateProfileStringA(section, key, value, file_.c_str());
    }
    std::string file_;
};

TEST_F(IniWrite, NewFile) {
    SetLastError(0);
    EXPECT_TRUE(Write("App", "key", "string"));
    EXPECT_EQ(ReadText(file_), "[App]\r\nkey=string\r\n");
}

TEST_F(IniWrite, BuildUpAFile) {
    EXPECT_TRUE(Write("App1", "key1", "string1"));
    EXPECT_TRUE(Write("App1", "key2", "string2"));
    EXPECT_TRUE(Write("App1", "key3", "string3"));
    EXPECT_TRUE(Write("App2", "key4", "string4"));
    EXPECT_TRUE(Write("App3", "key5", "string5"));
    EXPECT_EQ(ReadText(file_),
              "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n"
              "[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n");

    // A NULL string deletes the key; deleting it again changes nothing.
    EXPECT_TRUE(Write("App1", "key2", nullptr));
    EXPECT_TRUE(Write("app1", "KEY2", nullptr));
    EXPECT_EQ(ReadText(file_),
              "[App1]\r\nkey1=string1\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n");

    // A NULL key deletes the section, whatever the string.
    EXPECT_TRUE(Write("App1", nullptr, "string1"));
    EXPECT_EQ(ReadText(file_), "[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n");
    EXPECT_TRUE(Write("APP2", nullptr, nullptr));
    EXPECT_EQ(ReadText(file_), "[App3]\r\nkey5=string5\r\n");

    // The last key goes, the section stays.
    EXPECT_TRUE(Write("App3", "key5", nullptr));
    EXPECT_EQ(ReadText(file_), "[App3]\r\n");
}

struct EditCase {
    const char *label;
    const char *before;
    const char *section;
    const char *key;
    const char *value;
    const char *after;
};
void PrintTo(const EditCase &c, std::ostream *os) { *os << c.label; }

class Edits : public IniWrite, public ::testing::WithParamInterface<EditCase> {};

TEST_P(Edits, ChangeOnlyWhatTheyWrite) {
    SKIP_CASES_ON_WINE("the profile functions are Wine's own: a write rewrites the whole file in Wine's own layout", "CommentKeyIsAddedAgain", "DeleteSectionKeepsComments", "NewKeyAfterTheLastEntry", "NewKeyInSectionWithoutEntries", "NewSectionAtTheEnd", "SpacesAroundNamesGo", "UnixLineBreaksStay");
    const EditCase &c = GetParam();
    ASSERT_TRUE(WriteText(file_, c.before));
    EXPECT_TRUE(Write(c.section, c.key, c.value)) << GetLastError();
    EXPECT_EQ(ReadText(file_), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    WritePrivateProfileStringA, Edits,
    ::testing::Values(
        EditCase{"ReplaceKeepsPositionAndNameCase", "[s]\r\nKey=old\r\nnext=1\r\n", "S", "KEY", "new",
                 "[s]\r\nKey=new\r\nnext=1\r\n"},
        EditCase{"ReplaceSpacedEntry", "[s]\r\n  key  =  old  \r\n", "s", "key", "new", "[s]\r\nkey=new\r\n"},
        EditCase{"NewKeyAfterTheLastEntry", "[s]\r\na=1\r\n;c\r\n\r\n[t]\r\nz=9\r\n", "s", "b", "2",
                 "[s]\r\na=1\r\nb=2\r\n;c\r\n\r\n[t]\r\nz=9\r\n"},
        EditCase{"NewKeyInSectionWithoutEntries", "[s]\r\n;only a comment\r\n[t]\r\n", "s", "k", "v",
                 "[s]\r\nk=v\r\n;only a comment\r\n[t]\r\n"},
        EditCase{"NewKeyAtEndWithoutLineBreak", "[s]\r\na=1", "s", "b", "2", "[s]\r\na=1\r\nb=2\r\n"},
        EditCase{"NewSectionAfterTextWithoutLineBreak", "x=1", "n", "k", "v", "x=1\r\n[n]\r\nk=v\r\n"},
        EditCase{"NewSectionAtTheEnd", "; header\r\n[a]\r\nk=1\r\n\r\n", "b", "k", "2",
                 "; header\r\n[a]\r\nk=1\r\n\r\n[b]\r\nk=2\r\n"},
        EditCase{"UnixLineBreaksStay", "[s]\nold=1\nkeep=2\n", "s", "old", "9", "[s]\nold=9\nkeep=2\n"},
        EditCase{"FirstOfDuplicateKeys", "[s]\r\nd=1\r\nd=2\r\n", "s", "d", "x", "[s]\r\nd=x\r\nd=2\r\n"},
        EditCase{"FirstOfDuplicateSections", "[s]\r\na=1\r\n[s]\r\na=2\r\n", "s", "a", "x",
                 "[s]\r\na=x\r\n[s]\r\na=2\r\n"},
        EditCase{"DeleteSectionKeepsComments", ";c0\r\n[a]\r\n;c1\r\nk=1\r\n[b]\r\n;c2\r\n", "a", nullptr, nullptr,
                 ";c0\r\n;c1\r\n[b]\r\n;c2\r\n"},
        EditCase{"DeleteMissingSection", "[a]\r\nk=1\r\n", "b", nullptr, nullptr, "[a]\r\nk=1\r\n"},
        EditCase{"DeleteMissingKey", "[a]\r\nk=1\r\n", "a", "x", nullptr, "[a]\r\nk=1\r\n"},
        EditCase{"CommentKeyIsAddedAgain", "[s]\r\n;k=1\r\n", "s", ";k", "1", "[s]\r\n;k=1\r\n;k=1\r\n"},
        EditCase{"SpacesAroundNamesGo", "", "  App  ", "  key ", " value ", "[App]\r\nkey= value \r\n"},
        EditCase{"EmptyValue", "", "App", "key", "", "[App]\r\nkey=\r\n"},
        EditCase{"BytesBeforeTheFirstSectionStay", "junk\x01\x02 [x\r\n[s]\r\nk=1\r\n", "s", "k", "2",
                 "junk\x01\x02 [x\r\n[s]\r\nk=2\r\n"}),
    [](const ::testing::TestParamInfo<EditCase> &i) { return std::string(i.param.label); });

TEST_F(IniWrite, ValuesReadBackAsWritten) {
    EXPECT_TRUE(Write("s", "k", "a;b=c"));
    char buf[32];
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", buf, sizeof buf, file_.c_str()), 5u);
    EXPECT_STREQ(buf, "a;b=c");
    EXPECT_TRUE(Write("s", "", "no name"));
    char empty[4] = "";
    EXPECT_EQ(GetPrivateProfileStringA("s", empty, "", buf, sizeof buf, file_.c_str()), 7u);
    EXPECT_STREQ(buf, "no name");
}

TEST_F(IniWrite, NulBytesInTheFileStay) {
    SKIP_ON_WINE("the profile functions are Wine's own: a write rewrites the whole file (NUL bytes and locks are not kept, a delete on a missing file creates none)");
    std::string before("Data \0 before \0 first \0 section\r\n[section1]\r\nkey1=string0\r\n", 59);
    ASSERT_TRUE(WriteText(file_, before));
    EXPECT_TRUE(Write("section1", "key1", "string1"));
    std::string after = before;
    after[after.size() - 3] = '1';
    EXPECT_EQ(ReadText(file_), after);
}

TEST_F(IniWrite, DeletesOnAMissingFileLeaveAnEmptyFile) {
    SKIP_ON_WINE("the profile functions are Wine's own: a write rewrites the whole file (NUL bytes and locks are not kept, a delete on a missing file creates none)");
    EXPECT_TRUE(Write("App", nullptr, "string"));
    EXPECT_EQ(ReadText(file_), "");
    ASSERT_TRUE(DeleteFileA(file_.c_str()));
    EXPECT_TRUE(Write("App", "key", nullptr));
    EXPECT_EQ(ReadText(file_), "");
}

TEST_F(IniWrite, Failures) {
    SetLastError(0);
    EXPECT_FALSE(Write(nullptr, "key", "string"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(Exists(file_));

    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("App", "key", "string", P("nodir\\w.ini").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);

    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("App", "key", "string", ""));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);

    ASSERT_TRUE(Write("App", "key", "string"));
    ASSERT_TRUE(SetFileAttributesA(file_.c_str(), FILE_ATTRIBUTE_READONLY));
    SetLastError(0);
    EXPECT_FALSE(Write("App", "key", "other"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadText(file_), "[App]\r\nkey=string\r\n");
}

TEST_F(IniWrite, FileNameWithoutAPathGoesToTheWindowsDirectory) {
    char win[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(win, MAX_PATH), 0u);
    std::string inWindows = std::string(win) + "\\wsfiles_write.ini";
    DeleteFileA(inWindows.c_str());
    ASSERT_TRUE(WritePrivateProfileStringA("App", "key", "string", "wsfiles_write.ini"));
    EXPECT_EQ(ReadText(inWindows), "[App]\r\nkey=string\r\n");
    DeleteFileA(inWindows.c_str());
}

TEST_F(IniWrite, WritingNeedsSharingFromOpenHandles) {
    struct {
        DWORD access, share;
        bool writes;
    } cases[] = {{GENERIC_READ, FILE_SHARE_READ, false},
                 {GENERIC_READ, FILE_SHARE_WRITE, false},
                 {GENERIC_WRITE, FILE_SHARE_READ, false},
                 {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
                 {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
                 {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, true}};
    for (auto &c : cases) {
        ASSERT_TRUE(WriteText(file_, ""));
        HANDLE h = CreateFileA(file_.c_str(), c.access, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        SetLastError(0);
        BOOL ok = Write("Test", "ProfileInt", "12345");
        EXPECT_EQ(ok, c.writes ? TRUE : FALSE) << c.access << " " << c.share;
        if (!c.writes) { EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION); }
        CloseHandle(h);
        EXPECT_EQ(GetPrivateProfileIntA("Test", "ProfileInt", 0, file_.c_str()), c.writes ? 12345u : 0u);
    }
}

TEST_F(IniWrite, LockedRangeStopsAWrite) {
    SKIP_ON_WINE("the profile functions are Wine's own: a write rewrites the whole file (NUL bytes and locks are not kept, a delete on a missing file creates none)");
    ASSERT_TRUE(Write("App", "key", "string"));
    HANDLE h = CreateFileA(file_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(LockFile(h, 0, 0, 4, 0));
    EXPECT_FALSE(Write("App", "key", "other"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_LOCK_VIOLATION);
    CloseHandle(h);
    EXPECT_TRUE(Write("App", "key", "other"));
}

}  // namespace
