// The folder of the running program, which several readers look beside.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <string>

#include "system/SetupPaths.h"

namespace {

TEST(SetupPaths, DriveAndDirectoryKeepsTheLastSeparator) {
    EXPECT_STREQ((LPCSTR)DriveAndDirectory("C:\\WINNT\\system32\\msiexec.exe"), "C:\\WINNT\\system32\\");
    EXPECT_STREQ((LPCSTR)DriveAndDirectory("C:setup.exe"), "C:");
    EXPECT_STREQ((LPCSTR)DriveAndDirectory("setup.exe"), "");
    EXPECT_STREQ((LPCSTR)DriveAndDirectory(NULL), "");
}

TEST(SetupPaths, RunningProgramFolder) {
    winsim::Machine &m = winsim::LocalMachine();
    EXPECT_STREQ((LPCSTR)RunningProgramFolder(), "C:\\WINNT\\system32\\");
    // The longest name Windows allows is taken whole.
    std::string folder = "C:\\" + std::string(240, 'F') + "\\";
    m.modulePath = folder + std::string(259 - folder.size(), 'S');
    ASSERT_EQ(m.modulePath.size(), 259u);
    EXPECT_EQ(std::string(RunningProgramFolder()), folder);
    // A longer one comes back cut and unterminated: no folder rather than a
    // wrong one.
    m.modulePath = folder + std::string(300, 'S');
    EXPECT_STREQ((LPCSTR)RunningProgramFolder(), "");
}

}  // namespace
