// Module loading by path and by search, export look-up and unloading.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "support/libraries.h"
#include "support/wine.h"

namespace {

typedef int(WINAPI *AddFn)(int, int);
typedef int (*CountFn)();

template <class F>
F Proc(HMODULE m, const char *name) {
    return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(m, name)));
}

void SystemPath(char *out, const char *file) {
    GetSystemDirectoryA(out, MAX_PATH);
    lstrcatA(out, "\\");
    lstrcatA(out, file);
}

TEST(LoadLibraryEx, AlteredSearchPathLoadsByFullPath) {
    char path[MAX_PATH];
    SystemPath(path, "TESTMOD.DLL");
    PlaceTestLibrary(path);
    HMODULE m = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(LoadLibraryA("TESTMOD.DLL"), m);  // the same module, counted twice
    EXPECT_TRUE(FreeLibrary(m));
    EXPECT_TRUE(FreeLibrary(m));
    EXPECT_EQ(GetModuleHandleA("TESTMOD.DLL"), nullptr);
}

TEST(LoadLibraryEx, ReservedFileHandleMustBeNull) {
    SKIP_ON_WINE("LoadLibraryExA ignores a non-null reserved file handle");
    char path[MAX_PATH];
    SystemPath(path, "TESTMOD.DLL");
    PlaceTestLibrary(path);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryExA(path, (HANDLE)(LONG_PTR)4, 0), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST(ProcAddress, FindsExportsByNameOnly) {
    char path[MAX_PATH];
    SystemPath(path, "TESTMOD.DLL");
    PlaceTestLibrary(path);
    HMODULE m = LoadLibraryA(path);
    ASSERT_NE(m, nullptr);
    AddFn add = Proc<AddFn>(m, "TestModAdd");
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(40, 2), 42);
    struct Case {
        const char *name;
        DWORD error;
    } missing[] = {{"testmodadd", ERROR_PROC_NOT_FOUND}, {"", ERROR_PROC_NOT_FOUND}, {"NoSuch", ERROR_PROC_NOT_FOUND}};
    for (auto &c : missing) {
        SetLastError(0);
        EXPECT_EQ(GetProcAddress(m, c.name), nullptr) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
    }
    FreeLibrary(m);
}

TEST(ProcAddress, DllMainSeesAttachAndDetach) {
    char path[MAX_PATH];
    SystemPath(path, "TESTMOD.DLL");
    PlaceTestLibrary(path);
    HMODULE m = LoadLibraryA(path);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(Proc<CountFn>(m, "TestModAttached")(), 1);
    EXPECT_EQ(Proc<CountFn>(m, "TestModDetached")(), 0);
    FreeLibrary(m);
}

TEST(FreeLibrary, UnknownModuleFails) {
    EXPECT_FALSE(FreeLibrary((HMODULE)(ULONG_PTR)0x7F000000));
}

// A buffer too small for the program's name: NT 4.0 and Windows 2000 fill it
// with the start of the name, add no NUL, return nSize and leave the last
// error alone; Vista and later cut the name to nSize-1 characters, terminate
// it and report ERROR_INSUFFICIENT_BUFFER.
TEST(GetModuleFileName, ShortBufferFollowsTheWindowsVersion) {
    SKIP_ON_WINE("GetModuleFileNameA sets ERROR_INSUFFICIENT_BUFFER on a truncated name whatever the Windows version; Windows XP leaves the last error alone");
    char full[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, full, sizeof full);
    ASSERT_GT(n, 8u);
    OSVERSIONINFOA v;
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExA(&v));
    char small[9];
    memset(small, '#', sizeof small);
    SetLastError(1234);
    EXPECT_EQ(GetModuleFileNameA(NULL, small, 8), 8u);
    EXPECT_EQ(small[8], '#');
    if (v.dwMajorVersion >= 6) {
        EXPECT_EQ(std::string(small), std::string(full, 7));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    } else {
        EXPECT_EQ(std::string(small, 8), std::string(full, 8));
        if (v.dwMajorVersion < 5 || (v.dwMajorVersion == 5 && v.dwMinorVersion == 0))
            EXPECT_EQ(GetLastError(), 1234u);
        else
            EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    }
}

}  // namespace
