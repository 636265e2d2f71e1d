// SHGetSpecialFolderLocation names the current user's Programs folder by an
// item list that SHGetPathFromIDListA turns into an existing directory's
// path; the list is freed with the shell's task allocator (SHGetMalloc).
// A null list gives FALSE.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "support/wine.h"

namespace {

TEST(ShellFolders, TheProgramsFolderIsAnExistingDirectory) {
    LPITEMIDLIST items = NULL;
    ASSERT_EQ(SHGetSpecialFolderLocation(NULL, CSIDL_PROGRAMS, &items), S_OK);
    ASSERT_NE(items, nullptr);
    char path[MAX_PATH + 1];
    memset(path, 'x', sizeof path);
    ASSERT_TRUE(SHGetPathFromIDListA(items, path));
    std::string folder(path);
    EXPECT_FALSE(folder.empty());
    EXPECT_GE(folder.size(), 3u);
    EXPECT_EQ(folder[1], ':') << folder;
    EXPECT_NE(folder[folder.size() - 1], '\\') << folder;
    DWORD attributes = GetFileAttributesA(path);
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << folder;
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);

    IMalloc *allocator = NULL;
    ASSERT_EQ(SHGetMalloc(&allocator), S_OK);
    ASSERT_NE(allocator, nullptr);
    allocator->Free(items);
    allocator->Release();
}

TEST(ShellFolders, TwoCallsNameTheSameFolder) {
    LPITEMIDLIST first = NULL, second = NULL;
    ASSERT_EQ(SHGetSpecialFolderLocation(NULL, CSIDL_PROGRAMS, &first), S_OK);
    ASSERT_EQ(SHGetSpecialFolderLocation(NULL, CSIDL_PROGRAMS, &second), S_OK);
    char a[MAX_PATH + 1] = "", b[MAX_PATH + 1] = "";
    EXPECT_TRUE(SHGetPathFromIDListA(first, a));
    EXPECT_TRUE(SHGetPathFromIDListA(second, b));
    EXPECT_STREQ(a, b);
    IMalloc *allocator = NULL;
    ASSERT_EQ(SHGetMalloc(&allocator), S_OK);
    allocator->Free(first);
    allocator->Free(second);
    allocator->Release();
}

TEST(ShellFolders, ANullItemListNamesNoPath) {
    char path[MAX_PATH + 1];
    memset(path, 'x', sizeof path);
    EXPECT_FALSE(SHGetPathFromIDListA(NULL, path));
}

}  // namespace
