// Option setup libraries and their six entry points.
#include <gtest/gtest.h>

#include <winsim/machine.h>

#include "doubles.h"
#include "system/InstallationDll.h"

#include <cstring>
#include <string>

namespace {

const char kOption[] = "C:\\SETUP\\OPTSET.DLL";

std::string &Env(const char *name) { return winsim::LocalMachine().environment[name]; }

TEST(OptionLibrary, LoadCallsEachEntryPointAndUnloads) {
    InstallDouble("OPTSETUP", kOption);
    CInstallationDll dll;
    ASSERT_EQ(dll.Load(kOption), 0u);
    EXPECT_TRUE(dll.IsLoaded());
    int context = 0, flag = -1;
    Env("OPTSETUP_RESULT") = "9";
    EXPECT_EQ(dll.Install(&context), 9u);
    EXPECT_EQ(dll.UnInstall(), 9u);
    EXPECT_EQ(dll.IsInstalled(&flag), 9u);
    EXPECT_EQ(flag, TRUE);
    EXPECT_EQ(dll.IsInstalledVersionNewer(&flag), 9u);
    EXPECT_EQ(flag, FALSE);
    char text[64];
    EXPECT_EQ(dll.GetDebugErrorString(5, text, sizeof text), 9u);
    EXPECT_STREQ(text, "Option error 5");
    EXPECT_EQ(dll.GetInstallPath(text, sizeof text), 9u);
    EXPECT_STREQ(text, "C:\\Program Files\\Quillbak\\Option");
    EXPECT_EQ(Env("OPTSETUP_CALLS"),
              "Install(context); UnInstall; IsInstalled; IsInstalledVersionNewer; GetDebugErrorString(5,64); "
              "GetInstallPath(64)");
    EXPECT_NE(GetModuleHandleA("OPTSET.DLL"), nullptr);
    EXPECT_EQ(dll.Unload(), 0u);
    EXPECT_FALSE(dll.IsLoaded());
    EXPECT_EQ(GetModuleHandleA("OPTSET.DLL"), nullptr);
    EXPECT_EQ(dll.Install(&context), 0xFFFFFFFFu);
    EXPECT_EQ(dll.Unload(), 0u);  // again: nothing to free
}

TEST(OptionLibrary, ALibraryLackingOneEntryPointIsNotUsableAtAll) {
    InstallDouble("OPTSETUP_FIVE", kOption);
    CInstallationDll dll;
    EXPECT_EQ(dll.Load(kOption), (DWORD)ERROR_PROC_NOT_FOUND);
    EXPECT_FALSE(dll.IsLoaded());
    EXPECT_EQ(GetModuleHandleA("OPTSET.DLL"), nullptr);
    int flag = 7;
    char text[16] = "keep";
    EXPECT_EQ(dll.Install(NULL), 0xFFFFFFFFu);
    EXPECT_EQ(dll.UnInstall(), 0xFFFFFFFFu);
    EXPECT_EQ(dll.IsInstalled(&flag), 0xFFFFFFFFu);
    EXPECT_EQ(dll.IsInstalledVersionNewer(&flag), 0xFFFFFFFFu);
    EXPECT_EQ(dll.GetDebugErrorString(1, text, sizeof text), 0xFFFFFFFFu);
    EXPECT_EQ(dll.GetInstallPath(text, sizeof text), 0xFFFFFFFFu);
    EXPECT_EQ(flag, 7);
    EXPECT_STREQ(text, "keep");
    EXPECT_EQ(Env("OPTSETUP_CALLS"), "");  // nothing was called
}

TEST(OptionLibrary, LoadReportsWhyTheLibraryIsMissing) {
    CInstallationDll dll;
    EXPECT_EQ(dll.Load(kOption), (DWORD)ERROR_MOD_NOT_FOUND);
    InstallDouble("OPTSETUP", kOption);
    winsim::InjectFault("LoadLibraryA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(dll.Load(kOption), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    // An export lookup that fails in the middle leaves nothing loaded.
    winsim::InjectFault("GetProcAddress", ERROR_INVALID_HANDLE, winsim::FaultMode::Nth, 3);
    EXPECT_EQ(dll.Load(kOption), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_FALSE(dll.IsLoaded());
    EXPECT_EQ(GetModuleHandleA("OPTSET.DLL"), nullptr);
}

TEST(OptionLibrary, OnlyTheObjectThatLoadedTheLibraryUnloadsIt) {
    InstallDouble("OPTSETUP", kOption);
    // Another user of the library keeps it loaded: one reference of ours must
    // be released exactly once however many copies there were.
    HMODULE other = LoadLibraryA(kOption);
    ASSERT_NE(other, nullptr);
    {
        CInstallationDll dll;
        ASSERT_EQ(dll.Load(kOption), 0u);
        {
            CInstallationDll copy(dll);
            CInstallationDll assigned;
            assigned = dll;
            int flag = 0;
            EXPECT_EQ(copy.IsInstalled(&flag), 0u);
            EXPECT_EQ(assigned.IsInstalled(&flag), 0u);
            assigned = assigned;  // self-assignment keeps it
            EXPECT_TRUE(assigned.IsLoaded());
        }
        EXPECT_TRUE(dll.IsLoaded());
        int flag = 0;
        EXPECT_EQ(dll.IsInstalled(&flag), 0u);
    }
    // Our one reference is gone, the other user's stays.
    EXPECT_EQ(GetModuleHandleA("OPTSET.DLL"), other);
    EXPECT_TRUE(FreeLibrary(other));
    EXPECT_EQ(GetModuleHandleA("OPTSET.DLL"), nullptr);
}

TEST(OptionLibrary, ASecondLoadReleasesTheFirstLibrary) {
    InstallDouble("OPTSETUP", kOption);
    InstallDouble("OPTSETUP", "C:\\SETUP\\OTHEROPT.DLL");
    CInstallationDll dll;
    ASSERT_EQ(dll.Load(kOption), 0u);
    ASSERT_EQ(dll.Load("C:\\SETUP\\OTHEROPT.DLL"), 0u);
    EXPECT_EQ(GetModuleHandleA("OPTSET.DLL"), nullptr);
    EXPECT_NE(GetModuleHandleA("OTHEROPT.DLL"), nullptr);
}

TEST(OptionLibrary, TextsComeBackTerminatedWithinTheBuffer) {
    InstallDouble("OPTSETUP", kOption);
    Env("OPTSETUP_PATH") = "C:\\A\\VERY\\LONG\\INSTALLATION\\PATH";
    CInstallationDll dll;
    ASSERT_EQ(dll.Load(kOption), 0u);
    char text[12];
    std::memset(text, 'x', sizeof text);
    dll.GetInstallPath(text, 8);
    EXPECT_STREQ(text, "C:\\A\\VE");
    EXPECT_EQ(text[8], 'x');  // nothing past the size given
    EXPECT_EQ(dll.GetInstallPath(NULL, 0), 0u);
}

}  // namespace
