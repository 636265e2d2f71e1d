// Special folders through the shell: SHGetSpecialFolderLocation hands out an
// item list that SHGetPathFromIDListA turns into the folder's path and the
// shell's allocator (SHGetMalloc) frees. CoInitialize answers S_OK on a
// thread's first call and S_FALSE on the next ones, each to be balanced by
// CoUninitialize. The user's Programs folder exists, and two calls name the
// same folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>

namespace {

std::string FolderOf(int csidl) {
    LPITEMIDLIST list = NULL;
    if (FAILED(SHGetSpecialFolderLocation(NULL, csidl, &list)) || !list) return "<none>";
    char path[MAX_PATH] = "";
    BOOL ok = SHGetPathFromIDListA(list, path);
    IMalloc *allocator = NULL;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
        allocator->Free(list);
        allocator->Release();
    }
    return ok ? std::string(path) : std::string("<no path>");
}

bool SameText(const std::string &a, const std::string &b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

bool EndsWith(const std::string &text, const std::string &tail) {
    return text.size() >= tail.size() && SameText(text.substr(text.size() - tail.size()), tail);
}

TEST(ShellFolders, TheStartMenuFoldersAreFileSystemPaths) {
    std::string programs = FolderOf(CSIDL_COMMON_PROGRAMS);
    std::string startup = FolderOf(CSIDL_COMMON_STARTUP);
    std::string mine = FolderOf(CSIDL_PROGRAMS);
    // A full path with a drive, ending in the folder's own name.
    ASSERT_GT(programs.size(), 3u) << programs;
    EXPECT_EQ(programs[1], ':');
    EXPECT_TRUE(EndsWith(programs, "\\Programs")) << programs;
    EXPECT_TRUE(EndsWith(startup, "\\Startup")) << startup;
    // The startup folder lies inside the programs folder of the same user.
    EXPECT_TRUE(SameText(startup.substr(0, programs.size()), programs)) << startup;
    EXPECT_TRUE(EndsWith(mine, "\\Programs")) << mine;
    // The user's own folder is not the all-users one.
    EXPECT_FALSE(SameText(mine, programs));
}

TEST(ShellFolders, TheAllocatorKnowsTheItemLists) {
    LPITEMIDLIST list = NULL;
    ASSERT_EQ(SHGetSpecialFolderLocation(NULL, CSIDL_COMMON_PROGRAMS, &list), S_OK);
    ASSERT_NE(list, nullptr);
    IMalloc *allocator = NULL;
    ASSERT_EQ(SHGetMalloc(&allocator), S_OK);
    ASSERT_NE(allocator, nullptr);
    EXPECT_EQ(allocator->DidAlloc(list), 1);
    allocator->Free(list);
    allocator->Release();
}

TEST(ShellFolders, TheProgramsFolderIsAnExistingDirectory) {
    LPITEMIDLIST items = NULL;
    ASSERT_EQ(SHGetSpecialFolderLocation(NULL, CSIDL_PROGRAMS, &items), S_OK);
    ASSERT_NE(items, nullptr);
    char path[MAX_PATH + 1];
    memset(path, 'x', sizeof path);
    ASSERT_TRUE(SHGetPathFromIDListA(items, path));
    std::string folder(path);
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

TEST(ShellFolders, APathOfNoItemList) {
    char path[MAX_PATH] = "unchanged";
    EXPECT_FALSE(SHGetPathFromIDListA(NULL, path));
}

TEST(ComStartup, TheFirstCallOfAThreadEntersTheLaterOnesAreCounted) {
    HRESULT first = CoInitialize(NULL);
    ASSERT_TRUE(first == S_OK || first == S_FALSE);
    EXPECT_EQ(CoInitialize(NULL), S_FALSE);
    CoUninitialize();
    CoUninitialize();
}

}  // namespace
