// File handles: CreateFileA dispositions and errors, reading, writing,
// the file pointer, share modes and byte-range locks between two handles.
#include "files_scratch.h"
#include "support/wine.h"

#include <cstring>

namespace {

class FileHandles : public ScratchTest {
protected:
    HANDLE Open(const std::string &path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING,
                DWORD flags = FILE_ATTRIBUTE_NORMAL) {
        return CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
    }
};

// ---- dispositions ------------------------------------------------------------------------
struct DispositionCase {
    const char *label;
    bool exists;
    DWORD disposition;
    bool opens;
    DWORD error;          // on failure; on success the last error for the *_ALWAYS dispositions
    const char *content;  // afterwards; nullptr: no file
};
void PrintTo(const DispositionCase &c, std::ostream *os) { *os << c.label; }

class Dispositions : public FileHandles, public ::testing::WithParamInterface<DispositionCase> {};

TEST_P(Dispositions, OpenCreateOrFail) {
    const DispositionCase &c = GetParam();
    std::string path = P("f.txt");
    if (c.exists) { ASSERT_TRUE(WriteText(path, "old")); }
    SetLastError(0xdeadbeef);
    HANDLE h = Open(path, GENERIC_READ | GENERIC_WRITE, 0, c.disposition);
    DWORD err = GetLastError();
    if (c.opens) {
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << err;
        if (c.disposition == CREATE_ALWAYS || c.disposition == OPEN_ALWAYS) { EXPECT_EQ(err, c.error); }
        CloseHandle(h);
    } else {
        EXPECT_EQ(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(err, c.error);
    }
    if (c.content)
        EXPECT_EQ(ReadText(path), c.content);
    else
        EXPECT_FALSE(Exists(path));
}

INSTANTIATE_TEST_SUITE_P(
    CreateFileA, Dispositions,
    ::testing::Values(DispositionCase{"CreateNewMissing", false, CREATE_NEW, true, 0, ""},
                      DispositionCase{"CreateNewExisting", true, CREATE_NEW, false, ERROR_FILE_EXISTS, "old"},
                      DispositionCase{"CreateAlwaysMissing", false, CREATE_ALWAYS, true, NO_ERROR, ""},
                      DispositionCase{"CreateAlwaysExisting", true, CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},
                      DispositionCase{"OpenExistingMissing", false, OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
                      DispositionCase{"OpenExistingExisting", true, OPEN_EXISTING, true, 0, "old"},
                      DispositionCase{"OpenAlwaysMissing", false, OPEN_ALWAYS, true, NO_ERROR, ""},
                      DispositionCase{"OpenAlwaysExisting", true, OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "old"},
                      DispositionCase{"TruncateMissing", false, TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
                      DispositionCase{"TruncateExisting", true, TRUNCATE_EXISTING, true, 0, ""}),
    [](const ::testing::TestParamInfo<DispositionCase> &i) { return std::string(i.param.label); });

// ---- names that cannot be opened ----------------------------------------------------------
struct BadNameCase {
    const char *label;
    std::string (*path)(const std::string &base);
    DWORD disposition;
    DWORD error;
};
void PrintTo(const BadNameCase &c, std::ostream *os) { *os << c.label; }

class BadNames : public FileHandles, public ::testing::WithParamInterface<BadNameCase> {};

TEST_P(BadNames, FailWithTheWindowsError) {
    SKIP_CASES_ON_WINE("CreateFileA opens full paths of MAX_PATH characters, and reports a missing drive as ERROR_FILE_NOT_FOUND and a missing server as ERROR_PATH_NOT_FOUND", "FullPathOfMaxPath", "UnknownDrive", "Share");
    const BadNameCase &c = GetParam();
    ASSERT_TRUE(CreateDirectoryA(P("dir").c_str(), nullptr));
    ASSERT_TRUE(WriteText(P("file.txt"), "x"));
    SetLastError(0xdeadbeef);
    HANDLE h = Open(c.path(base_), GENERIC_READ, FILE_SHARE_READ, c.disposition);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), c.error);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

INSTANTIATE_TEST_SUITE_P(
    CreateFileA, BadNames,
    ::testing::Values(
        BadNameCase{"MissingFolder", [](const std::string &b) { return b + "\\nodir\\f.txt"; }, OPEN_EXISTING,
                    ERROR_PATH_NOT_FOUND},
        BadNameCase{"MissingFolderCreate", [](const std::string &b) { return b + "\\nodir\\f.txt"; }, CREATE_NEW,
                    ERROR_PATH_NOT_FOUND},
        BadNameCase{"MissingFile", [](const std::string &b) { return b + "\\nofile.txt"; }, OPEN_EXISTING,
                    ERROR_FILE_NOT_FOUND},
        BadNameCase{"ThroughAFile", [](const std::string &b) { return b + "\\file.txt\\x"; }, OPEN_ALWAYS,
                    ERROR_PATH_NOT_FOUND},
        BadNameCase{"Folder", [](const std::string &b) { return b + "\\dir"; }, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        BadNameCase{"FolderCreateNew", [](const std::string &b) { return b + "\\dir"; }, CREATE_NEW, ERROR_FILE_EXISTS},
        BadNameCase{"Wildcard", [](const std::string &b) { return b + "\\*.txt"; }, OPEN_ALWAYS, ERROR_INVALID_NAME},
        BadNameCase{"Pipe", [](const std::string &b) { return b + "\\a|b"; }, OPEN_ALWAYS, ERROR_INVALID_NAME},
        BadNameCase{"Empty", [](const std::string &) { return std::string(); }, OPEN_ALWAYS, ERROR_PATH_NOT_FOUND},
        BadNameCase{"NameLongerThanMaxPath", [](const std::string &b) { return b + "\\" + std::string(300, 'a'); },
                    OPEN_ALWAYS, ERROR_FILENAME_EXCED_RANGE},
        BadNameCase{"FullPathOfMaxPath",
                    [](const std::string &b) { return b + "\\" + std::string(MAX_PATH - b.size() - 1, 'a'); },
                    OPEN_ALWAYS, ERROR_PATH_NOT_FOUND},
        BadNameCase{"UnknownDrive", [](const std::string &) { return std::string("Q:\\f.txt"); }, OPEN_EXISTING,
                    ERROR_PATH_NOT_FOUND},
        BadNameCase{"Share", [](const std::string &) { return std::string("\\\\NOSUCHSERVER\\share\\f.txt"); },
                    OPEN_EXISTING, ERROR_BAD_NETPATH}),
    [](const ::testing::TestParamInfo<BadNameCase> &i) { return std::string(i.param.label); });

TEST_F(FileHandles, LongestFullPathWorks) {
    std::string path = base_ + "\\" + std::string(MAX_PATH - base_.size() - 2, 'b');
    ASSERT_EQ(path.size(), (size_t)MAX_PATH - 1);
    HANDLE h = Open(path, GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(h);
    EXPECT_TRUE(Exists(path));
}

TEST_F(FileHandles, NamesMatchWithoutCaseAndKeepTheirCase) {
    ASSERT_TRUE(WriteText(P("MixedCase.Txt"), "content"));
    EXPECT_EQ(ReadText(P("mixedcase.TXT")), "content");
    HANDLE h = Open(P("MIXEDCASE.TXT"), GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    CloseHandle(h);
    EXPECT_EQ(Find(P("*")), (std::vector<std::string>{".", "..", "MixedCase.Txt"}));
}

TEST_F(FileHandles, ForwardSlashesAndTrailingDotsNameTheSameFile) {
    ASSERT_TRUE(WriteText(P("f.txt"), "same"));
    std::string slashed = P("f.txt");
    for (char &ch : slashed)
        if (ch == '\\') ch = '/';
    EXPECT_EQ(ReadText(slashed), "same");
    EXPECT_EQ(ReadText(P("f.txt.")), "same");
    EXPECT_EQ(ReadText(P("f.txt  ")), "same");
    EXPECT_EQ(ReadText(P(".\\sub\\..\\f.txt")), "same");
}

TEST_F(FileHandles, ReadOnlyFileRefusesWritingButOpensForReading) {
    ASSERT_TRUE(WriteText(P("ro.txt"), "keep"));
    ASSERT_TRUE(SetFileAttributesA(P("ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    struct {
        DWORD access, disposition;
    } refused[] = {{GENERIC_WRITE, OPEN_EXISTING},
                   {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS},
                   {GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS},
                   {GENERIC_WRITE, TRUNCATE_EXISTING}};
    for (auto &r : refused) {
        SetLastError(0);
        EXPECT_EQ(Open(P("ro.txt"), r.access, 0, r.disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED) << r.access << " " << r.disposition;
    }
    EXPECT_EQ(ReadText(P("ro.txt")), "keep");
}

TEST_F(FileHandles, NewReadOnlyFileCanBeWrittenThroughItsCreatingHandle) {
    HANDLE h = Open(P("new.txt"), GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_READONLY);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, "abc", 3, &n, nullptr));
    EXPECT_EQ(n, 3u);
    CloseHandle(h);
    EXPECT_EQ(GetFileAttributesA(P("new.txt").c_str()), (DWORD)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(Open(P("new.txt"), GENERIC_WRITE, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
}

TEST_F(FileHandles, OverwritingAHiddenFileMustKeepItHidden) {
    SKIP_ON_WINE("CREATE_ALWAYS without FILE_ATTRIBUTE_HIDDEN overwrites a hidden file instead of failing with ERROR_ACCESS_DENIED");
    ASSERT_TRUE(WriteText(P("h.txt"), "x"));
    ASSERT_TRUE(SetFileAttributesA(P("h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(Open(P("h.txt"), GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    HANDLE h = Open(P("h.txt"), GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_EQ(GetFileAttributesA(P("h.txt").c_str()), (DWORD)(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
}

TEST_F(FileHandles, FolderOpensWithBackupSemantics) {
    ASSERT_TRUE(CreateDirectoryA(P("dir").c_str(), nullptr));
    HANDLE h = Open(P("dir"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_TRUE(CloseHandle(h));
}

// ---- reading, writing, the file pointer ------------------------------------------------
TEST_F(FileHandles, WriteThenReadBack) {
    HANDLE h = Open(P("rw.txt"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, "hello world", 11, &n, nullptr));
    EXPECT_EQ(n, 11u);
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(h, &high), 11u);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
    char buf[32] = {};
    ASSERT_TRUE(ReadFile(h, buf, 5, &n, nullptr));
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(std::string(buf, 5), "hello");
    ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), " world");
    // At the end: success with nothing read.
    n = 99;
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(n, 0u);
    // A zero-byte write changes nothing.
    EXPECT_TRUE(WriteFile(h, "", 0, &n, nullptr));
    EXPECT_EQ(GetFileSize(h, nullptr), 11u);
    EXPECT_TRUE(FlushFileBuffers(h));
    CloseHandle(h);
}

TEST_F(FileHandles, AccessRightsOfTheHandleApply) {
    SKIP_ON_WINE("a call through a handle without the access right fails with ERROR_INVALID_PARAMETER, not ERROR_ACCESS_DENIED");
    ASSERT_TRUE(WriteText(P("a.txt"), "abc"));
    HANDLE r = Open(P("a.txt"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    HANDLE w = Open(P("a.txt"), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(r, INVALID_HANDLE_VALUE);
    ASSERT_NE(w, INVALID_HANDLE_VALUE);
    char buf[4];
    DWORD n = 5;
    EXPECT_FALSE(WriteFile(r, "x", 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(ReadFile(w, buf, 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(SetEndOfFile(r));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(FlushFileBuffers(r));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CloseHandle(r);
    CloseHandle(w);
}

TEST_F(FileHandles, InvalidHandles) {
    char buf[4];
    DWORD n;
    EXPECT_FALSE(ReadFile(INVALID_HANDLE_VALUE, buf, 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_FALSE(WriteFile(nullptr, buf, 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetFileSize(INVALID_HANDLE_VALUE, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    HANDLE h = Open(P("c.txt"), GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

struct SeekCase {
    const char *label;
    LONG distance;
    bool useHigh;
    LONG high;
    DWORD method;
    DWORD result;
    LONG highAfter;
    DWORD error;  // checked when result is INVALID_SET_FILE_POINTER
    uint64_t positionAfter;
};
void PrintTo(const SeekCase &c, std::ostream *os) { *os << c.label; }

class Seeks : public FileHandles, public ::testing::WithParamInterface<SeekCase> {};

TEST_P(Seeks, MoveThePointer) {
    const SeekCase &c = GetParam();
    HANDLE h = Open(P("s.bin"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n;
    ASSERT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
    ASSERT_EQ(SetFilePointer(h, 4, nullptr, FILE_BEGIN), 4u);
    LONG high = c.high;
    SetLastError(0xdeadbeef);
    DWORD r = SetFilePointer(h, c.distance, c.useHigh ? &high : nullptr, c.method);
    EXPECT_EQ(r, c.result);
    if (r == INVALID_SET_FILE_POINTER) { EXPECT_EQ(GetLastError(), c.error); }
    if (c.useHigh) { EXPECT_EQ(high, c.highAfter); }
    LONG h2 = 0;
    DWORD low = SetFilePointer(h, 0, &h2, FILE_CURRENT);
    EXPECT_EQ(((uint64_t)(DWORD)h2 << 32) | low, c.positionAfter);
    CloseHandle(h);
}

INSTANTIATE_TEST_SUITE_P(
    SetFilePointer, Seeks,
    ::testing::Values(SeekCase{"Begin", 7, false, 0, FILE_BEGIN, 7, 0, 0, 7},
                      SeekCase{"Current", 3, false, 0, FILE_CURRENT, 7, 0, 0, 7},
                      SeekCase{"CurrentBack", -4, false, 0, FILE_CURRENT, 0, 0, 0, 0},
                      SeekCase{"End", -3, false, 0, FILE_END, 7, 0, 0, 7},
                      SeekCase{"PastTheEnd", 100, false, 0, FILE_END, 110, 0, 0, 110},
                      SeekCase{"Negative", -5, false, 0, FILE_CURRENT, INVALID_SET_FILE_POINTER, 0,
                               ERROR_NEGATIVE_SEEK, 4},
                      SeekCase{"NegativeFromBegin", -1, false, 0, FILE_BEGIN, INVALID_SET_FILE_POINTER, 0,
                               ERROR_NEGATIVE_SEEK, 4},
                      SeekCase{"HighPart", 5, true, 1, FILE_BEGIN, 5, 1, 0, 0x100000005ull},
                      SeekCase{"HighPartNegative", -2, true, -1, FILE_END, 8, 0, 0, 8},
                      SeekCase{"LowPartLooksLikeFailure", -1, true, 0, FILE_BEGIN, INVALID_SET_FILE_POINTER, 0,
                               NO_ERROR, 0xFFFFFFFFull},
                      SeekCase{"NegativeWithHighPart", -20, true, -1, FILE_END, INVALID_SET_FILE_POINTER, -1,
                               ERROR_NEGATIVE_SEEK, 4},
                      SeekCase{"BadMethod", 0, false, 0, 3, INVALID_SET_FILE_POINTER, 0, ERROR_INVALID_PARAMETER, 4}),
    [](const ::testing::TestParamInfo<SeekCase> &i) { return std::string(i.param.label); });

TEST_F(FileHandles, SetEndOfFileCutsAndExtends) {
    HANDLE h = Open(P("e.bin"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n;
    ASSERT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
    SetFilePointer(h, 4, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(GetFileSize(h, nullptr), 4u);
    SetFilePointer(h, 8, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(GetFileSize(h, nullptr), 8u);
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    char buf[8];
    ASSERT_TRUE(ReadFile(h, buf, 8, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), std::string("0123\0\0\0\0", 8));
    CloseHandle(h);
}

TEST_F(FileHandles, WritingPastTheEndFillsWithZeros) {
    HANDLE h = Open(P("z.bin"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n;
    SetFilePointer(h, 3, nullptr, FILE_BEGIN);
    ASSERT_TRUE(WriteFile(h, "x", 1, &n, nullptr));
    CloseHandle(h);
    EXPECT_EQ(ReadText(P("z.bin")), std::string("\0\0\0x", 4));
}

TEST_F(FileHandles, OverlappedOffsetPositionsASynchronousRead) {
    ASSERT_TRUE(WriteText(P("o.txt"), "0123456789"));
    HANDLE h = Open(P("o.txt"), GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    OVERLAPPED ov;
    memset(&ov, 0, sizeof ov);
    ov.Offset = 6;
    char buf[8];
    DWORD n = 0;
    ASSERT_TRUE(ReadFile(h, buf, 3, &n, &ov));
    EXPECT_EQ(std::string(buf, n), "678");
    // The handle's pointer follows the read.
    ASSERT_TRUE(ReadFile(h, buf, 1, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), "9");
    CloseHandle(h);
}

TEST_F(FileHandles, DeleteOnCloseRemovesTheFileWithTheLastHandle) {
    SKIP_ON_WINE("a FILE_FLAG_DELETE_ON_CLOSE file is still there where Windows has removed it");
    HANDLE h = Open(P("tmp.txt"), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW,
                    FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n;
    ASSERT_TRUE(WriteFile(h, "data", 4, &n, nullptr));
    HANDLE r = Open(P("tmp.txt"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_NE(r, INVALID_HANDLE_VALUE);
    // Opening without delete sharing collides with the delete-on-close handle.
    EXPECT_EQ(Open(P("tmp.txt"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    CloseHandle(h);
    // Delete pending while the other handle stays open.
    EXPECT_EQ(GetFileAttributesA(P("tmp.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CloseHandle(r);
    EXPECT_EQ(GetFileAttributesA(P("tmp.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

// ---- share modes ---------------------------------------------------------------------------
struct ShareCase {
    const char *label;
    DWORD access1, share1, access2, share2;
    bool secondOpens;
};
void PrintTo(const ShareCase &c, std::ostream *os) { *os << c.label; }

class ShareModes : public FileHandles, public ::testing::WithParamInterface<ShareCase> {};

TEST_P(ShareModes, SecondHandleOpensOrCollides) {
    const ShareCase &c = GetParam();
    ASSERT_TRUE(WriteText(P("shared.txt"), "x"));
    HANDLE h1 = Open(P("shared.txt"), c.access1, c.share1);
    ASSERT_NE(h1, INVALID_HANDLE_VALUE);
    SetLastError(0);
    HANDLE h2 = Open(P("SHARED.TXT"), c.access2, c.share2);
    if (c.secondOpens) {
        EXPECT_NE(h2, INVALID_HANDLE_VALUE) << GetLastError();
    } else {
        EXPECT_EQ(h2, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    }
    if (h2 != INVALID_HANDLE_VALUE) CloseHandle(h2);
    CloseHandle(h1);
    // With the first handle gone the second open always works.
    h2 = Open(P("shared.txt"), c.access2, c.share2);
    EXPECT_NE(h2, INVALID_HANDLE_VALUE);
    CloseHandle(h2);
}

const DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE,
            SD = FILE_SHARE_DELETE;

INSTANTIATE_TEST_SUITE_P(
    CreateFileA, ShareModes,
    ::testing::Values(ShareCase{"ReadersSharingRead", R, SR, R, SR, true},
                      ShareCase{"WriterAfterReaderNotSharingWrite", R, SR, W, SR | SW, false},
                      ShareCase{"ReaderAfterWriterSharingRead", W, SR, R, SR | SW, true},
                      ShareCase{"ReaderNotSharingWriteAfterWriter", W, SR, R, SR, false},
                      ShareCase{"BothReadWriteSharingBoth", R | W, SR | SW, R | W, SR | SW, true},
                      ShareCase{"ExclusiveFirst", R, 0, R, SR | SW | SD, false},
                      ShareCase{"WritersSharingWrite", W, SW, W, SW, true},
                      ShareCase{"ReaderAfterReaderSharingOnlyWrite", R, SW, R, SR | SW, false},
                      ShareCase{"QueryOnlyFirst", 0, 0, R | W, 0, true},
                      ShareCase{"QueryOnlySecond", R | W, 0, 0, 0, true}),
    [](const ::testing::TestParamInfo<ShareCase> &i) { return std::string(i.param.label); });

TEST_F(FileHandles, DeleteNeedsDeleteSharingFromOpenHandles) {
    SKIP_ON_WINE("a file still opens where Windows refuses it for want of delete sharing");
    ASSERT_TRUE(WriteText(P("d.txt"), "x"));
    HANDLE h = Open(P("d.txt"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileA(P("d.txt").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    CloseHandle(h);

    h = Open(P("d.txt"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(DeleteFileA(P("d.txt").c_str()));
    // Delete pending: the name stays until the last handle closes, and
    // nothing can open it meanwhile.
    EXPECT_EQ(Open(P("d.txt"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    char buf[2];
    DWORD n;
    EXPECT_TRUE(ReadFile(h, buf, 1, &n, nullptr));
    EXPECT_EQ(n, 1u);
    CloseHandle(h);
    EXPECT_FALSE(Exists(P("d.txt")));
}

// ---- byte-range locks ------------------------------------------------------------------------
class Locks : public FileHandles {
protected:
    void SetUp() override {
        FileHandles::SetUp();
        ASSERT_TRUE(WriteText(P("lock.bin"), std::string(32, 'a')));
        h1 = Open(P("lock.bin"), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
        h2 = Open(P("lock.bin"), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
        ASSERT_NE(h1, INVALID_HANDLE_VALUE);
        ASSERT_NE(h2, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        if (h1 != INVALID_HANDLE_VALUE) CloseHandle(h1);
        if (h2 != INVALID_HANDLE_VALUE) CloseHandle(h2);
        FileHandles::TearDown();
    }
    BOOL ReadAt(HANDLE h, DWORD offset, DWORD size) {
        char buf[64];
        DWORD n;
        SetFilePointer(h, (LONG)offset, nullptr, FILE_BEGIN);
        return ReadFile(h, buf, size, &n, nullptr);
    }
    BOOL WriteAt(HANDLE h, DWORD offset, DWORD size) {
        std::string data(size, 'w');
        DWORD n;
        SetFilePointer(h, (LONG)offset, nullptr, FILE_BEGIN);
        return WriteFile(h, data.data(), size, &n, nullptr);
    }
    HANDLE h1 = INVALID_HANDLE_VALUE, h2 = INVALID_HANDLE_VALUE;
};

TEST_F(Locks, LockedRangeRefusesOtherHandles) {
    SKIP_ON_WINE("byte-range locks do not stop reads, writes or copies through other handles");
    ASSERT_TRUE(LockFile(h1, 0, 0, 10, 0));
    struct {
        DWORD offset, size;
        bool blocked;
    } cases[] = {{0, 4, true}, {8, 4, true}, {9, 1, true}, {10, 5, false}, {20, 4, false}};
    for (auto &c : cases) {
        SetLastError(0);
        EXPECT_EQ(ReadAt(h2, c.offset, c.size), !c.blocked) << c.offset;
        if (c.blocked) { EXPECT_EQ(GetLastError(), (DWORD)ERROR_LOCK_VIOLATION); }
        SetLastError(0);
        EXPECT_EQ(WriteAt(h2, c.offset, c.size), !c.blocked) << c.offset;
        if (c.blocked) { EXPECT_EQ(GetLastError(), (DWORD)ERROR_LOCK_VIOLATION); }
        // The owner reads and writes its own range.
        EXPECT_TRUE(ReadAt(h1, c.offset, c.size));
        EXPECT_TRUE(WriteAt(h1, c.offset, c.size));
    }
}

TEST_F(Locks, OverlappingLocksFail) {
    ASSERT_TRUE(LockFile(h1, 10, 0, 10, 0));
    EXPECT_FALSE(LockFile(h2, 15, 0, 10, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_LOCK_VIOLATION);
    EXPECT_FALSE(LockFile(h1, 0, 0, 11, 0));  // its own lock, too
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_LOCK_VIOLATION);
    EXPECT_TRUE(LockFile(h2, 20, 0, 5, 0));
    EXPECT_TRUE(LockFile(h2, 0, 0, 10, 0));
    // Locks may lie past the end of the file.
    EXPECT_TRUE(LockFile(h1, 0, 1, 100, 0));
}

TEST_F(Locks, UnlockNeedsTheExactRangeOfTheSameHandle) {
    SKIP_ON_WINE("UnlockFile of a range not locked fails with ERROR_LOCK_VIOLATION, not ERROR_NOT_LOCKED");
    ASSERT_TRUE(LockFile(h1, 0, 0, 10, 0));
    EXPECT_FALSE(UnlockFile(h2, 0, 0, 10, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_LOCKED);
    EXPECT_FALSE(UnlockFile(h1, 0, 0, 5, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_LOCKED);
    EXPECT_FALSE(UnlockFile(h1, 20, 0, 1, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_LOCKED);
    EXPECT_TRUE(UnlockFile(h1, 0, 0, 10, 0));
    EXPECT_TRUE(ReadAt(h2, 0, 4));
    EXPECT_FALSE(UnlockFile(h1, 0, 0, 10, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_LOCKED);
}

TEST_F(Locks, LocksGoWithTheHandle) {
    SKIP_ON_WINE("byte-range locks do not stop reads, writes or copies through other handles");
    ASSERT_TRUE(LockFile(h1, 0, 0, 10, 0));
    EXPECT_FALSE(ReadAt(h2, 0, 4));
    CloseHandle(h1);
    h1 = INVALID_HANDLE_VALUE;
    EXPECT_TRUE(ReadAt(h2, 0, 4));
    EXPECT_TRUE(LockFile(h2, 0, 0, 10, 0));
}

TEST_F(Locks, LockedRangeStopsACopy) {
    SKIP_ON_WINE("byte-range locks do not stop reads, writes or copies through other handles");
    CloseHandle(h1);
    CloseHandle(h2);
    h1 = Open(P("lock.bin"), GENERIC_READ, FILE_SHARE_READ);
    h2 = INVALID_HANDLE_VALUE;
    ASSERT_NE(h1, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(LockFile(h1, 4, 0, 4, 0));
    // The copy reads through a handle of its own.
    EXPECT_FALSE(CopyFileA(P("lock.bin").c_str(), P("copy.bin").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_LOCK_VIOLATION);
    ASSERT_TRUE(UnlockFile(h1, 4, 0, 4, 0));
    EXPECT_TRUE(CopyFileA(P("lock.bin").c_str(), P("copy.bin").c_str(), FALSE));
}

}  // namespace
