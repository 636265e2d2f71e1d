// Files by name: attributes, copying, moving, deleting, folders and
// FindFirstFile/FindNextFile.
#include "files_scratch.h"
#include "support/wine.h"

#include <algorithm>

namespace {

class FileNames : public ScratchTest {};

// ---- attributes ------------------------------------------------------------------------------
TEST_F(FileNames, AttributesOfNewFilesAndFolders) {
    ASSERT_TRUE(WriteText(P("f.txt"), "x"));
    ASSERT_TRUE(CreateDirectoryA(P("dir").c_str(), nullptr));
    EXPECT_EQ(GetFileAttributesA(P("f.txt").c_str()), (DWORD)FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(GetFileAttributesA(P("dir").c_str()), (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA(P("dir\\").c_str()), (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA(P("DIR").c_str()), (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(GetFileAttributesA("C:\\") & FILE_ATTRIBUTE_DIRECTORY);
}

struct AttributeCase {
    const char *label;
    bool folder;
    DWORD set;
    DWORD get;
};
void PrintTo(const AttributeCase &c, std::ostream *os) { *os << c.label; }

class Attributes : public FileNames, public ::testing::WithParamInterface<AttributeCase> {};

TEST_P(Attributes, SetThenGet) {
    SKIP_CASES_ON_WINE("every file reports FILE_ATTRIBUTE_ARCHIVE (and never FILE_ATTRIBUTE_NORMAL)", "Normal", "ReadOnly", "HiddenSystem", "NormalWithOthersIsIgnored", "DirectoryBitOnAFileIsIgnored");
    const AttributeCase &c = GetParam();
    std::string path = P("item");
    if (c.folder)
        ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    else
        ASSERT_TRUE(WriteText(path, "x"));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), c.set)) << GetLastError();
    EXPECT_EQ(GetFileAttributesA(path.c_str()), c.get);
}

INSTANTIATE_TEST_SUITE_P(
    SetFileAttributesA, Attributes,
    ::testing::Values(
        AttributeCase{"Normal", false, FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL},
        AttributeCase{"ReadOnly", false, FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY},
        AttributeCase{"HiddenSystem", false, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
                      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        AttributeCase{"ArchiveReadOnly", false, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY,
                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY},
        AttributeCase{"NormalWithOthersIsIgnored", false, FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN,
                      FILE_ATTRIBUTE_HIDDEN},
        AttributeCase{"DirectoryBitOnAFileIsIgnored", false, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY,
                      FILE_ATTRIBUTE_READONLY},
        AttributeCase{"FolderHidden", true, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY},
        AttributeCase{"FolderNormal", true, FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_DIRECTORY}),
    [](const ::testing::TestParamInfo<AttributeCase> &i) { return std::string(i.param.label); });

TEST_F(FileNames, AttributesOfMissingNames) {
    struct {
        std::string path;
        DWORD error;
    } cases[] = {{P("none.txt"), ERROR_FILE_NOT_FOUND},
                 {P("nodir\\none.txt"), ERROR_PATH_NOT_FOUND},
                 {P("*.txt"), ERROR_INVALID_NAME},
                 {"", ERROR_PATH_NOT_FOUND}};
    for (auto &c : cases) {
        SetLastError(0);
        EXPECT_EQ(GetFileAttributesA(c.path.c_str()), INVALID_FILE_ATTRIBUTES) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
        SetLastError(0);
        EXPECT_FALSE(SetFileAttributesA(c.path.c_str(), FILE_ATTRIBUTE_NORMAL)) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
}

// ---- copy ------------------------------------------------------------------------------------
TEST_F(FileNames, CopyFileCopies) {
    ASSERT_TRUE(WriteText(P("src.txt"), "source"));
    ASSERT_TRUE(WriteText(P("dst.txt"), "old"));
    EXPECT_FALSE(CopyFileA(P("src.txt").c_str(), P("dst.txt").c_str(), TRUE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
    EXPECT_EQ(ReadText(P("dst.txt")), "old");
    EXPECT_TRUE(CopyFileA(P("src.txt").c_str(), P("dst.txt").c_str(), FALSE));
    EXPECT_EQ(ReadText(P("dst.txt")), "source");
    EXPECT_TRUE(CopyFileA(P("SRC.TXT").c_str(), P("New.txt").c_str(), TRUE));
    EXPECT_EQ(ReadText(P("new.txt")), "source");
    EXPECT_EQ(Find(P("new*")), std::vector<std::string>{"New.txt"});
}

TEST_F(FileNames, CopyFileFailures) {
    ASSERT_TRUE(WriteText(P("src.txt"), "source"));
    ASSERT_TRUE(CreateDirectoryA(P("dir").c_str(), nullptr));
    struct {
        const char *label;
        std::string from, to;
        BOOL failIfExists;
        DWORD error;
    } cases[] = {
        {"MissingSource", P("none.txt"), P("x.txt"), FALSE, ERROR_FILE_NOT_FOUND},
        {"MissingSourceFolder", P("nodir\\a.txt"), P("x.txt"), FALSE, ERROR_PATH_NOT_FOUND},
        {"MissingTargetFolder", P("src.txt"), P("nodir\\x.txt"), FALSE, ERROR_PATH_NOT_FOUND},
        {"SourceIsAFolder", P("dir"), P("x.txt"), FALSE, ERROR_ACCESS_DENIED},
        {"TargetIsAFolder", P("src.txt"), P("dir"), FALSE, ERROR_ACCESS_DENIED},
        {"TargetIsAFolderFailIfExists", P("src.txt"), P("dir"), TRUE, ERROR_FILE_EXISTS},
    };
    for (auto &c : cases) {
        SetLastError(0);
        EXPECT_FALSE(CopyFileA(c.from.c_str(), c.to.c_str(), c.failIfExists)) << c.label;
        EXPECT_EQ(GetLastError(), c.error) << c.label;
    }
    EXPECT_FALSE(Exists(P("x.txt")));
}

TEST_F(FileNames, CopyKeepsReadOnlyAndRespectsAReadOnlyTarget) {
    ASSERT_TRUE(WriteText(P("ro.txt"), "ro"));
    ASSERT_TRUE(SetFileAttributesA(P("ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CopyFileA(P("ro.txt").c_str(), P("copy.txt").c_str(), TRUE));
    EXPECT_TRUE(GetFileAttributesA(P("copy.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(WriteText(P("other.txt"), "other"));
    EXPECT_FALSE(CopyFileA(P("other.txt").c_str(), P("copy.txt").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadText(P("copy.txt")), "ro");
}

TEST_F(FileNames, CopyNeedsToShareWithOpenHandles) {
    SKIP_ON_WINE("CopyFileA opens its source sharing writers and its target regardless of the share modes of open handles");
    ASSERT_TRUE(WriteText(P("src.txt"), "source"));
    HANDLE w = CreateFileA(P("src.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(w, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(CopyFileA(P("src.txt").c_str(), P("dst.txt").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    CloseHandle(w);
    ASSERT_TRUE(WriteText(P("dst.txt"), "old"));
    HANDLE r = CreateFileA(P("dst.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(r, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(CopyFileA(P("src.txt").c_str(), P("dst.txt").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    CloseHandle(r);
}

// ---- move --------------------------------------------------------------------------------------
TEST_F(FileNames, MoveFileRenamesFilesAndFolders) {
    SKIP_ON_WINE("every file reports FILE_ATTRIBUTE_ARCHIVE, so a moved file's attributes gain it");
    ASSERT_TRUE(WriteText(P("a.txt"), "a"));
    ASSERT_TRUE(CreateDirectoryA(P("dir").c_str(), nullptr));
    ASSERT_TRUE(WriteText(P("dir\\inner.txt"), "inner"));
    ASSERT_TRUE(SetFileAttributesA(P("a.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

    EXPECT_TRUE(MoveFileA(P("a.txt").c_str(), P("dir\\b.txt").c_str()));
    EXPECT_FALSE(Exists(P("a.txt")));
    EXPECT_EQ(ReadText(P("dir\\b.txt")), "a");
    EXPECT_EQ(GetFileAttributesA(P("dir\\b.txt").c_str()), (DWORD)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

    EXPECT_TRUE(MoveFileA(P("DIR").c_str(), P("moved").c_str()));
    EXPECT_EQ(ReadText(P("moved\\inner.txt")), "inner");
    EXPECT_EQ(ReadText(P("moved\\B.TXT")), "a");
    EXPECT_FALSE(Exists(P("dir")));

    // A rename that only changes case.
    EXPECT_TRUE(MoveFileA(P("moved").c_str(), P("MOVED").c_str()));
    EXPECT_EQ(Find(P("*")), (std::vector<std::string>{".", "..", "MOVED"}));
}

TEST_F(FileNames, MoveFileFailures) {
    ASSERT_TRUE(WriteText(P("a.txt"), "a"));
    ASSERT_TRUE(WriteText(P("b.txt"), "b"));
    struct {
        const char *label;
        std::string from, to;
        DWORD error;
    } cases[] = {
        {"TargetExists", P("a.txt"), P("B.txt"), ERROR_ALREADY_EXISTS},
        {"MissingSource", P("none.txt"), P("c.txt"), ERROR_FILE_NOT_FOUND},
        {"MissingSourceFolder", P("nodir\\none.txt"), P("c.txt"), ERROR_PATH_NOT_FOUND},
        {"MissingTargetFolder", P("a.txt"), P("nodir\\c.txt"), ERROR_PATH_NOT_FOUND},
        {"BadTargetName", P("a.txt"), P("c?.txt"), ERROR_INVALID_NAME},
    };
    for (auto &c : cases) {
        SetLastError(0);
        EXPECT_FALSE(MoveFileA(c.from.c_str(), c.to.c_str())) << c.label;
        EXPECT_EQ(GetLastError(), c.error) << c.label;
    }
    EXPECT_EQ(ReadText(P("a.txt")), "a");
    EXPECT_EQ(ReadText(P("b.txt")), "b");
}

TEST_F(FileNames, MoveNeedsDeleteSharing) {
    ASSERT_TRUE(WriteText(P("a.txt"), "a"));
    HANDLE h = CreateFileA(P("a.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(MoveFileA(P("a.txt").c_str(), P("b.txt").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    CloseHandle(h);

    h = CreateFileA(P("a.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                    nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(MoveFileA(P("a.txt").c_str(), P("b.txt").c_str()));
    char buf[4];
    DWORD n = 0;
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), "a");
    CloseHandle(h);
    EXPECT_EQ(ReadText(P("b.txt")), "a");
}

TEST_F(FileNames, FolderWithAnOpenFileCannotMove) {
    SKIP_ON_WINE("MoveFileA renames a folder that holds an open file, as Unix does");
    ASSERT_TRUE(CreateDirectoryA(P("dir").c_str(), nullptr));
    ASSERT_TRUE(WriteText(P("dir\\f.txt"), "f"));
    HANDLE h = CreateFileA(P("dir\\f.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(MoveFileA(P("dir").c_str(), P("dir2").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CloseHandle(h);
    EXPECT_TRUE(MoveFileA(P("dir").c_str(), P("dir2").c_str()));
}

// ---- delete ------------------------------------------------------------------------------------
TEST_F(FileNames, DeleteFileDeletes) {
    ASSERT_TRUE(WriteText(P("a.txt"), "a"));
    ASSERT_TRUE(WriteText(P("ro.txt"), "ro"));
    ASSERT_TRUE(SetFileAttributesA(P("ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CreateDirectoryA(P("dir").c_str(), nullptr));
    EXPECT_TRUE(DeleteFileA(P("A.TXT").c_str()));
    EXPECT_FALSE(Exists(P("a.txt")));
    struct {
        std::string path;
        DWORD error;
    } cases[] = {{P("a.txt"), ERROR_FILE_NOT_FOUND},
                 {P("nodir\\a.txt"), ERROR_PATH_NOT_FOUND},
                 {P("ro.txt"), ERROR_ACCESS_DENIED},
                 {P("dir"), ERROR_ACCESS_DENIED}};
    for (auto &c : cases) {
        SetLastError(0);
        EXPECT_FALSE(DeleteFileA(c.path.c_str())) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    EXPECT_TRUE(Exists(P("ro.txt")));
    ASSERT_TRUE(SetFileAttributesA(P("ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileA(P("ro.txt").c_str()));
}

// ---- folders -------------------------------------------------------------------------------------
TEST_F(FileNames, CreateAndRemoveFolders) {
    EXPECT_TRUE(CreateDirectoryA(P("New").c_str(), nullptr));
    EXPECT_TRUE(CreateDirectoryA(P("new\\Sub").c_str(), nullptr));
    EXPECT_EQ(Find(P("n*")), std::vector<std::string>{"New"});
    EXPECT_EQ(Find(P("new\\*")), (std::vector<std::string>{".", "..", "Sub"}));
    ASSERT_TRUE(WriteText(P("file.txt"), "x"));

    struct {
        const char *label;
        std::string path;
        DWORD error;
    } createFails[] = {{"Exists", P("NEW"), ERROR_ALREADY_EXISTS},
                       {"FileExists", P("file.txt"), ERROR_ALREADY_EXISTS},
                       {"MissingParent", P("no\\sub"), ERROR_PATH_NOT_FOUND},
                       {"BadName", P("a*b"), ERROR_INVALID_NAME}};
    for (auto &c : createFails) {
        SetLastError(0);
        EXPECT_FALSE(CreateDirectoryA(c.path.c_str(), nullptr)) << c.label;
        EXPECT_EQ(GetLastError(), c.error) << c.label;
    }

    struct {
        const char *label;
        std::string path;
        DWORD error;
    } removeFails[] = {{"NotEmpty", P("new"), ERROR_DIR_NOT_EMPTY},
                       {"Missing", P("none"), ERROR_FILE_NOT_FOUND},
                       {"MissingParent", P("no\\sub"), ERROR_PATH_NOT_FOUND},
                       {"AFile", P("file.txt"), ERROR_DIRECTORY}};
    for (auto &c : removeFails) {
        SetLastError(0);
        EXPECT_FALSE(RemoveDirectoryA(c.path.c_str())) << c.label;
        EXPECT_EQ(GetLastError(), c.error) << c.label;
    }
    EXPECT_TRUE(RemoveDirectoryA(P("NEW\\SUB").c_str()));
    EXPECT_TRUE(RemoveDirectoryA(P("new\\").c_str()));
    EXPECT_FALSE(Exists(P("new")));
}

TEST_F(FileNames, ReadOnlyFolderCannotBeRemoved) {
    SKIP_ON_WINE("RemoveDirectoryA removes a read-only folder: a folder's read-only attribute is not a Unix permission that stops its removal");
    ASSERT_TRUE(CreateDirectoryA(P("ro").c_str(), nullptr));
    ASSERT_TRUE(SetFileAttributesA(P("ro").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(RemoveDirectoryA(P("ro").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    // A read-only folder still takes new files.
    EXPECT_TRUE(WriteText(P("ro\\f.txt"), "f"));
}

TEST_F(FileNames, CurrentDirectoryCannotBeRemoved) {
    ASSERT_TRUE(CreateDirectoryA(P("cur").c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA(P("cur").c_str()));
    EXPECT_FALSE(RemoveDirectoryA(P("cur").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    ASSERT_TRUE(SetCurrentDirectoryA(base_.c_str()));
    EXPECT_TRUE(RemoveDirectoryA(P("cur").c_str()));
}

TEST_F(FileNames, FolderPathLengthLimit) {
    SKIP_ON_WINE("CreateDirectoryA accepts folder paths beyond 248 characters");
    // CreateDirectoryA leaves room for an 8.3 name below MAX_PATH.
    std::string longest = base_ + "\\" + std::string(MAX_PATH - 12 - base_.size() - 2, 'd');
    ASSERT_EQ(longest.size(), (size_t)MAX_PATH - 13);
    std::string tooLong = longest + "e";
    EXPECT_FALSE(CreateDirectoryA(tooLong.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILENAME_EXCED_RANGE);
    EXPECT_TRUE(CreateDirectoryA(longest.c_str(), nullptr)) << GetLastError();
}

// ---- find ----------------------------------------------------------------------------------------
class Finding : public FileNames {
protected:
    void SetUp() override {
        FileNames::SetUp();
        for (const char *f : {"a.txt", "B.TXT", "c.log", "noext", "d.txt.bak", "ab.txt"})
            ASSERT_TRUE(WriteText(P(f), f));
        ASSERT_TRUE(CreateDirectoryA(P("sub").c_str(), nullptr));
    }
};

struct FindCase {
    const char *label;
    const char *pattern;
    std::vector<std::string> names;
};
void PrintTo(const FindCase &c, std::ostream *os) { *os << c.label; }

class Patterns : public Finding, public ::testing::WithParamInterface<FindCase> {};

TEST_P(Patterns, MatchAsWindowsDoes) {
    SKIP_CASES_ON_WINE("FindFirstFileA matches '*.' and '?' with Unix rules, not the DOS ones ('*.' also matches names with an extension, '?' never matches nothing)", "NoExtension", "UpToTwoCharacters");
    const FindCase &c = GetParam();
    DWORD error = 0;
    EXPECT_EQ(Find(P(c.pattern), &error), c.names);
    EXPECT_EQ(error, c.names.empty() ? (DWORD)ERROR_FILE_NOT_FOUND : (DWORD)ERROR_NO_MORE_FILES);
}

const std::vector<std::string> kAll = {".", "..", "a.txt", "ab.txt", "B.TXT", "c.log", "d.txt.bak", "noext", "sub"};

INSTANTIATE_TEST_SUITE_P(
    FindFirstFileA, Patterns,
    ::testing::Values(FindCase{"Star", "*", kAll},
                      FindCase{"StarDotStar", "*.*", kAll},
                      FindCase{"Extension", "*.txt", {"a.txt", "ab.txt", "B.TXT"}},
                      FindCase{"ExtensionUpperCase", "*.TXT", {"a.txt", "ab.txt", "B.TXT"}},
                      FindCase{"NoExtension", "*.", {".", "..", "noext", "sub"}},
                      FindCase{"OneCharacter", "?.txt", {"a.txt", "B.TXT"}},
                      FindCase{"UpToTwoCharacters", "??.txt", {"a.txt", "ab.txt", "B.TXT"}},
                      FindCase{"Prefix", "A*", {"a.txt", "ab.txt"}},
                      FindCase{"LastExtension", "*.bak", {"d.txt.bak"}},
                      FindCase{"DotStarMatchesNoExtension", "*.txt.*", {"a.txt", "ab.txt", "B.TXT", "d.txt.bak"}},
                      FindCase{"ExactFolder", "SUB", {"sub"}},
                      FindCase{"ExactFile", "NOEXT", {"noext"}},
                      FindCase{"Nothing", "*.zip", {}},
                      FindCase{"MissingExact", "none.txt", {}},
                      FindCase{"FolderContents", "sub\\*", {".", ".."}}),
    [](const ::testing::TestParamInfo<FindCase> &i) { return std::string(i.param.label); });

TEST_F(Finding, FindData) {
    ASSERT_TRUE(WriteText(P("size.bin"), std::string(1234, 'x')));
    ASSERT_TRUE(SetFileAttributesA(P("size.bin").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(P("SIZE.BIN").c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(fd.cFileName, "size.bin");
    EXPECT_EQ(fd.nFileSizeLow, 1234u);
    EXPECT_EQ(fd.nFileSizeHigh, 0u);
    EXPECT_EQ(fd.dwFileAttributes, (DWORD)(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_FALSE(FindNextFileA(h, &fd));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(h));

    h = FindFirstFileA(P("s*").c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(fd.cFileName, "size.bin");
    ASSERT_TRUE(FindNextFileA(h, &fd));
    EXPECT_STREQ(fd.cFileName, "sub");
    EXPECT_EQ(fd.dwFileAttributes, (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(fd.nFileSizeLow, 0u);
    EXPECT_TRUE(FindClose(h));
}

TEST_F(Finding, Failures) {
    WIN32_FIND_DATAA fd;
    struct {
        const char *label;
        std::string pattern;
        DWORD error;
    } cases[] = {{"MissingFolder", P("nodir\\*"), ERROR_PATH_NOT_FOUND},
                 {"TrailingBackslash", P("sub\\"), ERROR_FILE_NOT_FOUND},
                 {"WildcardInAFolderName", P("s*\\*"), ERROR_INVALID_NAME},
                 {"Empty", "", ERROR_PATH_NOT_FOUND}};
    for (auto &c : cases) {
        SetLastError(0);
        EXPECT_EQ(FindFirstFileA(c.pattern.c_str(), &fd), INVALID_HANDLE_VALUE) << c.label;
        EXPECT_EQ(GetLastError(), c.error) << c.label;
    }
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FindNextFileA(INVALID_HANDLE_VALUE, &fd));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST_F(Finding, DriveRootHasNoDotEntries) {
    std::vector<std::string> names = Find("C:\\*");
    ASSERT_FALSE(names.empty());
    EXPECT_NE(names[0], ".");
    EXPECT_EQ(std::count(names.begin(), names.end(), ".."), 0);
}

}  // namespace
