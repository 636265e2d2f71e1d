// Version resources of files: GetFileVersionInfoSizeA, GetFileVersionInfoA
// and VerQueryValueA of the root block.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "support/versions.h"
#include "support/wine.h"

namespace {

TEST(VersionResources, MissingFileHasNone) {
    DWORD handle = 0x55555555;
    SetLastError(0);
    EXPECT_EQ(GetFileVersionInfoSizeA("C:\\no such folder\\none.dll", &handle), 0u);
    EXPECT_EQ(handle, 0u);  // set to zero whatever the outcome
    EXPECT_TRUE(GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND) << GetLastError();
    char block[256];
    EXPECT_FALSE(GetFileVersionInfoA("C:\\no such folder\\none.dll", 0, sizeof block, block));
}

TEST(VersionResources, FixedPartOfTheRoot) {
    char dir[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof dir, dir), 0u);
    std::string path = std::string(dir) + "qlver580.dll";
    SEEDED_OR_SKIP(PlaceVersionedFile(path.c_str(), 0x00050050, 0x0B1D0000));
    DWORD handle = 7;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(handle, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", (LPVOID *)&fixed, &length));
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, (DWORD)VS_FFI_SIGNATURE);
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), 5);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), 80);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x0B1D0000u);
    // The pointer lies inside the caller's block.
    EXPECT_GE((char *)fixed, block.data());
    EXPECT_LE((char *)fixed + length, block.data() + size);
    DeleteFileA(path.c_str());
}

}  // namespace
