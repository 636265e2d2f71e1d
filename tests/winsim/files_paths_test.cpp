// Path functions: GetFullPathNameA, the current directory, the temp,
// Windows and system folders, drive types and free space.
#include "files_scratch.h"
#include "support/wine.h"

#include <cctype>
#include <cstring>

namespace {

class Paths : public ScratchTest {
protected:
    void SetUp() override {
        ScratchTest::SetUp();
        ASSERT_TRUE(CreateDirectoryA(P("cur").c_str(), nullptr));
        ASSERT_TRUE(SetCurrentDirectoryA(P("cur").c_str()));
        cur_ = P("cur");
    }
    std::string cur_;
};

struct FullPathCase {
    const char *label;
    const char *input;
    // The expected result; "@" stands for the current directory.
    const char *expected;
    const char *filePart;  // nullptr: lpFilePart is NULL
};
void PrintTo(const FullPathCase &c, std::ostream *os) { *os << c.label; }

class FullPaths : public Paths, public ::testing::WithParamInterface<FullPathCase> {};

TEST_P(FullPaths, Resolve) {
    const FullPathCase &c = GetParam();
    std::string expected = c.expected;
    if (expected[0] == '@') expected = cur_ + expected.substr(1);
    char buf[MAX_PATH];
    char *part = (char *)1;
    DWORD n = GetFullPathNameA(c.input, MAX_PATH, buf, &part);
    EXPECT_EQ(n, expected.size());
    EXPECT_EQ(std::string(buf), expected);
    if (c.filePart) {
        ASSERT_TRUE(part >= buf && part < buf + MAX_PATH);
        EXPECT_STREQ(part, c.filePart);
    } else {
        EXPECT_EQ(part, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    GetFullPathNameA, FullPaths,
    ::testing::Values(FullPathCase{"Relative", "x.txt", "@\\x.txt", "x.txt"},
                      FullPathCase{"Dot", ".\\x.txt", "@\\x.txt", "x.txt"},
                      FullPathCase{"Mixed", "a\\..\\b\\.\\c", "@\\b\\c", "c"},
                      FullPathCase{"ForwardSlashes", "a/b", "@\\a\\b", "b"},
                      FullPathCase{"TrailingDots", "x.txt..", "@\\x.txt", "x.txt"},
                      FullPathCase{"TrailingSpaces", "x.txt  ", "@\\x.txt", "x.txt"},
                      FullPathCase{"InnerTrailingDot", "a.\\b", "@\\a\\b", "b"},
                      FullPathCase{"CurrentFolder", ".", "@", "cur"},
                      FullPathCase{"RootOfCurrentDrive", "\\foo", "C:\\foo", "foo"},
                      FullPathCase{"AboveTheRoot", "C:\\a\\..\\..\\b", "C:\\b", "b"},
                      FullPathCase{"TrailingBackslash", "C:\\dir\\", "C:\\dir\\", nullptr},
                      FullPathCase{"Root", "C:\\", "C:\\", nullptr},
                      FullPathCase{"DoubledBackslash", "C:\\a\\\\b", "C:\\a\\b", "b"},
                      FullPathCase{"CaseKept", "C:\\Mixed\\CASE.txt", "C:\\Mixed\\CASE.txt", "CASE.txt"},
                      FullPathCase{"DriveRelative", "C:y", "@\\y", "y"},
                      FullPathCase{"Share", "\\\\server\\share\\a\\..\\b", "\\\\server\\share\\b", "b"},
                      FullPathCase{"Wildcards", "*.txt", "@\\*.txt", "*.txt"}),
    [](const ::testing::TestParamInfo<FullPathCase> &i) { return std::string(i.param.label); });

TEST_F(Paths, FullPathParent) {
    char buf[MAX_PATH];
    ASSERT_GT(GetFullPathNameA("..\\x.txt", MAX_PATH, buf, nullptr), 0u);
    EXPECT_EQ(std::string(buf), base_ + "\\x.txt");
}

TEST_F(Paths, FullPathSizing) {
    std::string expected = cur_ + "\\name.txt";
    DWORD len = (DWORD)expected.size();
    EXPECT_EQ(GetFullPathNameA("name.txt", 0, nullptr, nullptr), len + 1);
    char buf[MAX_PATH];
    memset(buf, 'z', sizeof buf);
    EXPECT_EQ(GetFullPathNameA("name.txt", len, buf, nullptr), len + 1);
    EXPECT_EQ(buf[0], 'z');
    EXPECT_EQ(GetFullPathNameA("name.txt", len + 1, buf, nullptr), len);
    EXPECT_EQ(std::string(buf), expected);

    SetLastError(0);
    EXPECT_EQ(GetFullPathNameA(std::string(300, 'a').c_str(), MAX_PATH, buf, nullptr), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILENAME_EXCED_RANGE);
}

TEST_F(Paths, CurrentDirectory) {
    char buf[MAX_PATH];
    DWORD len = (DWORD)cur_.size();
    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), len + 1);
    memset(buf, 'z', sizeof buf);
    EXPECT_EQ(GetCurrentDirectoryA(len, buf), len + 1);
    EXPECT_EQ(buf[0], 'z');
    EXPECT_EQ(GetCurrentDirectoryA(len + 1, buf), len);
    EXPECT_EQ(std::string(buf), cur_);

    ASSERT_TRUE(CreateDirectoryA("Sub", nullptr));
    EXPECT_TRUE(SetCurrentDirectoryA("sub\\"));
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, buf), 0u);
    EXPECT_EQ(std::string(buf), cur_ + "\\sub");  // as given, without the trailing backslash
    EXPECT_TRUE(WriteText("here.txt", "here"));
    EXPECT_EQ(ReadText(cur_ + "\\Sub\\here.txt"), "here");
    EXPECT_TRUE(SetCurrentDirectoryA(".."));
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, buf), 0u);
    EXPECT_EQ(std::string(buf), cur_);
    EXPECT_TRUE(SetCurrentDirectoryA("C:\\"));
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, buf), 0u);
    EXPECT_EQ(std::string(buf), "C:\\");
}

TEST_F(Paths, SetCurrentDirectoryFailures) {
    ASSERT_TRUE(WriteText("file.txt", "x"));
    struct {
        const char *label;
        std::string path;
        DWORD error;
    } cases[] = {{"Missing", "none", ERROR_FILE_NOT_FOUND},
                 {"MissingParent", "none\\sub", ERROR_PATH_NOT_FOUND},
                 {"AFile", "file.txt", ERROR_DIRECTORY},
                 {"UnknownDrive", "Q:\\", ERROR_PATH_NOT_FOUND}};
    char before[MAX_PATH], after[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, before);
    for (auto &c : cases) {
        SetLastError(0);
        EXPECT_FALSE(SetCurrentDirectoryA(c.path.c_str())) << c.label;
        EXPECT_EQ(GetLastError(), c.error) << c.label;
    }
    GetCurrentDirectoryA(MAX_PATH, after);
    EXPECT_STREQ(before, after);
}

TEST_F(Paths, TempPath) {
    char buf[MAX_PATH];
    DWORD len = GetTempPathA(MAX_PATH, buf);
    ASSERT_GT(len, 0u);
    EXPECT_EQ(len, strlen(buf));
    EXPECT_EQ(buf[len - 1], '\\');
    EXPECT_NE(GetFileAttributesA(buf), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetTempPathA(0, nullptr), len + 1);
    char small[MAX_PATH];
    memset(small, 'z', sizeof small);
    EXPECT_EQ(GetTempPathA(len, small), len + 1);
    EXPECT_EQ(small[0], 'z');
    EXPECT_EQ(GetTempPathA(len + 1, small), len);
    EXPECT_STREQ(small, buf);
}

TEST_F(Paths, WindowsAndSystemDirectories) {
    char win[MAX_PATH], sys[MAX_PATH];
    UINT wlen = GetWindowsDirectoryA(win, MAX_PATH);
    UINT slen = GetSystemDirectoryA(sys, MAX_PATH);
    ASSERT_GT(wlen, 0u);
    ASSERT_GT(slen, 0u);
    EXPECT_EQ(wlen, strlen(win));
    EXPECT_EQ(slen, strlen(sys));
    std::string lowerWin = win, lowerSys = sys;
    for (char &ch : lowerWin) ch = (char)tolower((unsigned char)ch);
    for (char &ch : lowerSys) ch = (char)tolower((unsigned char)ch);
    EXPECT_EQ(lowerSys, lowerWin + "\\system32");
    EXPECT_TRUE(GetFileAttributesA(win) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(GetFileAttributesA(sys) & FILE_ATTRIBUTE_DIRECTORY);
    char small[4] = "zzz";
    EXPECT_EQ(GetWindowsDirectoryA(small, 3), wlen + 1);
    EXPECT_EQ(small[0], 'z');
    EXPECT_EQ(GetSystemDirectoryA(nullptr, 0), slen + 1);
    EXPECT_EQ(GetWindowsDirectoryA(win, wlen + 1), wlen);
}

TEST_F(Paths, Drives) {
    SKIP_ON_WINE("GetDriveTypeA of a path that is not a drive root gives DRIVE_FIXED, not DRIVE_NO_ROOT_DIR");
    EXPECT_EQ(GetDriveTypeA("C:\\"), (UINT)DRIVE_FIXED);
    EXPECT_EQ(GetDriveTypeA("c:\\"), (UINT)DRIVE_FIXED);
    EXPECT_EQ(GetDriveTypeA(nullptr), (UINT)DRIVE_FIXED);  // the current drive
    EXPECT_EQ(GetDriveTypeA("Q:\\"), (UINT)DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(GetDriveTypeA(cur_.c_str()), (UINT)DRIVE_NO_ROOT_DIR);  // not a root
    EXPECT_TRUE(GetLogicalDrives() & (1u << ('C' - 'A')));
    EXPECT_FALSE(GetLogicalDrives() & (1u << ('Q' - 'A')));

    DWORD spc = 0, bps = 0, freeClusters = 0, total = 0;
    ASSERT_TRUE(GetDiskFreeSpaceA("C:\\", &spc, &bps, &freeClusters, &total));
    EXPECT_GT(spc, 0u);
    EXPECT_GT(bps, 0u);
    EXPECT_GT(total, 0u);
    EXPECT_LE(freeClusters, total);
    DWORD spc2 = 0;
    ASSERT_TRUE(GetDiskFreeSpaceA(nullptr, &spc2, nullptr, nullptr, nullptr));
    EXPECT_EQ(spc2, spc);
    EXPECT_FALSE(GetDiskFreeSpaceA("Q:\\", &spc, &bps, &freeClusters, &total));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

}  // namespace
