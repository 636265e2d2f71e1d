// Machine identity and version: computer and user name sizing, version
// structures, the command line.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

namespace {

std::string Env(const char *name) {
    char buffer[256];
    DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    EXPECT_GT(n, 0u) << name;
    EXPECT_LT(n, sizeof buffer) << name;
    return buffer;
}

TEST(ComputerName, SizingCountsTheNulOnlyWhenTooSmall) {
    const std::string expected = Env("COMPUTERNAME");
    const DWORD len = (DWORD)expected.size();
    char buffer[MAX_COMPUTERNAME_LENGTH + 1];
    const DWORD tooSmall[] = {0, 1, len};
    for (DWORD size0 : tooSmall) {
        DWORD size = size0;
        SetLastError(0);
        EXPECT_FALSE(GetComputerNameA(buffer, &size)) << size0;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_BUFFER_OVERFLOW) << size0;
        EXPECT_EQ(size, len + 1) << size0;
    }
    const DWORD enough[] = {len + 1, MAX_COMPUTERNAME_LENGTH + 1};
    for (DWORD size0 : enough) {
        DWORD size = size0;
        ASSERT_TRUE(GetComputerNameA(buffer, &size)) << size0;
        EXPECT_EQ(size, len);
        EXPECT_EQ(std::string(buffer), expected);
    }
}

TEST(UserName, SizeIncludesTheNulBothWays) {
    const std::string expected = Env("USERNAME");
    const DWORD len = (DWORD)expected.size();
    char buffer[64];
    DWORD size = 0;
    SetLastError(0);
    EXPECT_FALSE(GetUserNameA(buffer, &size));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(size, len + 1);
    size = len;
    EXPECT_FALSE(GetUserNameA(buffer, &size));
    EXPECT_EQ(size, len + 1);
    size = len + 1;
    ASSERT_TRUE(GetUserNameA(buffer, &size));
    EXPECT_EQ(size, len + 1);
    EXPECT_EQ(std::string(buffer), expected);
}

TEST(Version, StructureSizeSelectsTheForm) {
    const struct {
        DWORD size;
        BOOL ok;
    } cases[] = {
        {sizeof(OSVERSIONINFOA), TRUE},      {sizeof(OSVERSIONINFOEXA), TRUE}, {0, FALSE},
        {sizeof(OSVERSIONINFOA) - 1, FALSE}, {sizeof(OSVERSIONINFOEXA) + 4, FALSE},
    };
    for (const auto &c : cases) {
        OSVERSIONINFOEXA v;
        memset(&v, 0, sizeof v);
        v.dwOSVersionInfoSize = c.size;
        SetLastError(0);
        EXPECT_EQ(GetVersionExA((LPOSVERSIONINFOA)&v), c.ok) << c.size;
        if (!c.ok) {
            EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER) << c.size;
        }
    }
    EXPECT_EQ(sizeof(OSVERSIONINFOA), 148u);
    EXPECT_EQ(sizeof(OSVERSIONINFOEXA), 156u);
}

TEST(Version, ShortFormLeavesTheExtendedFieldsAlone) {
    OSVERSIONINFOEXA v;
    memset(&v, 0xAB, sizeof v);
    v.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    ASSERT_TRUE(GetVersionExA((LPOSVERSIONINFOA)&v));
    EXPECT_EQ(v.wServicePackMajor, 0xABABu);
    EXPECT_EQ(v.wProductType, 0xABu);
}

TEST(Version, GetVersionPacksTheSameNumbers) {
    OSVERSIONINFOEXA v;
    memset(&v, 0, sizeof v);
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExA((LPOSVERSIONINFOA)&v));
    EXPECT_EQ(v.dwPlatformId, (DWORD)VER_PLATFORM_WIN32_NT);
    DWORD packed = GetVersion();
    EXPECT_EQ(LOBYTE(LOWORD(packed)), v.dwMajorVersion);
    EXPECT_EQ(HIBYTE(LOWORD(packed)), v.dwMinorVersion);
    EXPECT_EQ(HIWORD(packed), v.dwBuildNumber & 0x7FFF);
    EXPECT_LT(strlen(v.szCSDVersion), sizeof v.szCSDVersion);
}

TEST(CommandLine, PointerIsStable) {
    LPSTR first = GetCommandLineA();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetCommandLineA(), first);
}

}  // namespace
