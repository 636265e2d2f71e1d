// Module loading: outside libraries are real shared objects on the machine.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <cstring>
#include <string>

#include "doubles.h"

namespace {

typedef int(WINAPI *AddFn)(int, int);
typedef int (*CountFn)();

template <class F>
F Proc(HMODULE m, const char *name) {
    return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(m, name)));
}

TEST(Modules, LoadsByFullPathCallsDllMainAndResolvesExports) {
    InstallDouble("TESTMOD", "C:\\Tools\\TestMod.dll");
    HMODULE m = LoadLibraryA("c:\\TOOLS\\testmod.DLL");
    ASSERT_NE(m, nullptr);
    auto add = Proc<AddFn>(m, "TestModAdd");
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 3), 5);
    EXPECT_EQ(Proc<CountFn>(m, "TestModAttached")(), 1);

    SetLastError(0);
    EXPECT_EQ(GetProcAddress(m, "NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);

    char path[MAX_PATH];
    // The module keeps the path as the caller spelled it.
    EXPECT_EQ(GetModuleFileNameA(m, path, sizeof path), strlen("c:\\TOOLS\\testmod.DLL"));
    EXPECT_STREQ(path, "c:\\TOOLS\\testmod.DLL");
    EXPECT_TRUE(FreeLibrary(m));
}

TEST(Modules, SecondLoadSharesTheModuleUntilTheLastFree) {
    InstallDouble("TESTMOD", "C:\\WINNT\\system32\\TESTMOD.DLL");
    HMODULE a = LoadLibraryA("TESTMOD");  // plain name: ".DLL" assumed, system folder searched
    HMODULE b = LoadLibraryA("C:\\WINNT\\SYSTEM32\\TESTMOD.DLL");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    auto attached = Proc<CountFn>(a, "TestModAttached");
    auto detached = Proc<CountFn>(a, "TestModDetached");
    EXPECT_EQ(attached(), 1);
    EXPECT_EQ(GetModuleHandleA("testmod.dll"), a);
    EXPECT_TRUE(FreeLibrary(a));
    EXPECT_EQ(detached(), 0);  // still loaded once
    EXPECT_TRUE(FreeLibrary(b));
    EXPECT_EQ(GetModuleHandleA("TESTMOD.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
}

TEST(Modules, SearchOrderPrefersTheProgramFolder) {
    winsim::Machine &m = winsim::LocalMachine();
    m.modulePath = "D:\\Setup\\SETUP.EXE";
    m.AddDrive('D', DRIVE_CDROM);
    m.PutFile(m.modulePath, "");
    InstallDouble("TESTMOD", "D:\\Setup\\TESTMOD.DLL");
    InstallDouble("TESTMOD", "C:\\WINNT\\system32\\TESTMOD.DLL");
    HMODULE h = LoadLibraryA("TestMod.dll");
    ASSERT_NE(h, nullptr);
    char path[MAX_PATH];
    GetModuleFileNameA(h, path, sizeof path);
    EXPECT_STREQ(path, "D:\\Setup\\TestMod.dll");
    FreeLibrary(h);
}

TEST(Modules, FailuresOfLoading) {
    struct Case {
        const char *what;
        const char *name;
        DWORD error;
    } cases[] = {
        {"missing plain name", "NOTHERE.DLL", ERROR_MOD_NOT_FOUND},
        {"missing full path", "C:\\WINNT\\NOTHERE.DLL", ERROR_MOD_NOT_FOUND},
        {"not a library", "C:\\WINNT\\system32\\TEXT.DLL", ERROR_BAD_EXE_FORMAT},
        {"empty name", "", ERROR_INVALID_PARAMETER},
    };
    winsim::LocalMachine().PutFile("C:\\WINNT\\system32\\TEXT.DLL", "just text");
    for (auto &c : cases) {
        SetLastError(0);
        EXPECT_EQ(LoadLibraryA(c.name), nullptr) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
}

TEST(Modules, DllMainRefusalUnloads) {
    InstallDouble("TESTMOD", "C:\\WINNT\\system32\\TESTMOD.DLL");
    winsim::LocalMachine().environment["TESTMOD_REFUSE"] = "1";
    EXPECT_EQ(LoadLibraryA("TESTMOD.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), 1114u);  // ERROR_DLL_INIT_FAILED
    EXPECT_EQ(GetModuleHandleA("TESTMOD.DLL"), nullptr);
}

TEST(Modules, InjectedFailureReachesTheCaller) {
    InstallDouble("TESTMOD", "C:\\WINNT\\system32\\TESTMOD.DLL");
    winsim::InjectFault("LoadLibraryA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(LoadLibraryA("TESTMOD.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    HMODULE h = LoadLibraryA("TESTMOD.DLL");  // once only
    EXPECT_NE(h, nullptr);
    FreeLibrary(h);
    EXPECT_EQ(winsim::CallCount("LoadLibraryA"), 2u);
}

TEST(Modules, ProgramModuleAndItsFileName) {
    EXPECT_NE(GetModuleHandleA(NULL), nullptr);
    char path[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameA(NULL, path, sizeof path), strlen("C:\\WINNT\\system32\\msiexec.exe"));
    EXPECT_STREQ(path, "C:\\WINNT\\system32\\msiexec.exe");
    // Too small on Windows 2000: cut to the buffer without a NUL, the size
    // returned, the last error untouched.
    char small[9];
    memset(small, '#', sizeof small);
    SetLastError(1234);
    EXPECT_EQ(GetModuleFileNameA(NULL, small, 8), 8u);
    EXPECT_EQ(std::string(small, 9), "C:\\WINNT#");
    EXPECT_EQ(GetLastError(), 1234u);
    // A machine of Vista's line cuts to 7, terminates, ERROR_INSUFFICIENT_BUFFER.
    winsim::LocalMachine().majorVersion = 6;
    memset(small, '#', sizeof small);
    EXPECT_EQ(GetModuleFileNameA(NULL, small, 8), 8u);
    EXPECT_EQ(std::string(small, 9), std::string("C:\\WINN\0#", 9));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
}

TEST(Modules, TheLibraryUnderTestIsABuiltInModule) {
    HMODULE self = GetModuleHandleA("QLSETGUI.DLL");
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(LoadLibraryA("qlsetgui.dll"), self);
    EXPECT_TRUE(FreeLibrary(self));
    EXPECT_EQ(GetModuleHandleA("QLSETGUI"), self);  // never unloaded under test
}

}  // namespace
