// Version and build texts of a product library and their numbers.
#include <gtest/gtest.h>

#include <winsim/machine.h>

#include "doubles.h"
#include "system/VersionText.h"

#include <string>

namespace {

const char kLibrary[] = "C:\\QB\\QLVCTL.DLL";

class VersionText : public ::testing::Test {
protected:
    void SetUp() override { InstallDouble("QLVCTL", kLibrary); }
    void Texts(const std::string &version, const std::string &build) {
        winsim::LocalMachine().environment["QLVCTL_VERSION"] = version;
        winsim::LocalMachine().environment["QLVCTL_BUILD"] = build;
    }
};

TEST_F(VersionText, TextsAndNumbersOfTheLibrary) {
    Texts("7.0.1230", "1230");
    EXPECT_STREQ(SetupCLSGetVersionString(kLibrary), "7.0.1230");
    EXPECT_STREQ(SetupCLSGetBuildString(kLibrary), "1230");
    EXPECT_EQ(SetupCLSGetVersionNumber(kLibrary), 0x0700);
    EXPECT_EQ(SetupCLSGetBuildNumber(kLibrary), 1230);
    EXPECT_EQ(GetModuleHandleA("QLVCTL.DLL"), nullptr);  // unloaded after each call
}

TEST_F(VersionText, VersionNumbersOfThePartsOfTheText) {
    struct {
        const char *text;
        WORD number;
    } const cases[] = {
        {"7.0.1230", 0x0700}, {"6.61", 0x063D}, {"7", 0x0700},     {".5", 0x0000},
        {"300.1", 0x2C01},    {"6.300", 0x062C}, {"abc", 0x0000},  {"6.x", 0x0600},
        {" 6.5", 0x0605},     {"-1.2", 0xFF02},  {"4294967302.1", 0x0601},
    };
    for (const auto &c : cases) {
        Texts(c.text, "1");
        EXPECT_EQ(SetupCLSGetVersionNumber(kLibrary), c.number) << c.text;
    }
}

TEST_F(VersionText, VersionAndBuildInOneNumber) {
    Texts("7.0", "1230");
    EXPECT_EQ(SetupCLSGetVersionBuildNumber(kLibrary), 0x04CE0700u);
    Texts("7.0", "70000");  // kept to 16 bits
    EXPECT_EQ(SetupCLSGetBuildNumber(kLibrary), (WORD)(70000 & 0xFFFF));
    Texts("7.0", "1230 (beta)");
    EXPECT_EQ(SetupCLSGetBuildNumber(kLibrary), 1230);
    Texts("7.0", "beta");
    EXPECT_EQ(SetupCLSGetBuildNumber(kLibrary), 0);
}

TEST_F(VersionText, ATextThatFillsTheWholeBufferIsCutNotOverrun) {
    Texts("7.0.123456789012345678901234567890", "12345678901234567890123456789012345");
    CString version = SetupCLSGetVersionString(kLibrary);
    EXPECT_EQ(version.GetLength(), 31);
    EXPECT_STREQ(version, "7.0.123456789012345678901234567");
    EXPECT_EQ(SetupCLSGetVersionNumber(kLibrary), 0x0700);
    EXPECT_EQ(SetupCLSGetBuildString(kLibrary).GetLength(), 31);
}

TEST_F(VersionText, AMissingLibraryOrExportGivesEmptyTextsAndZero) {
    const char *missing = "C:\\QB\\NONE\\QLVCTL.DLL";
    EXPECT_STREQ(SetupCLSGetVersionString(missing), "");
    EXPECT_STREQ(SetupCLSGetBuildString(missing), "");
    EXPECT_EQ(SetupCLSGetVersionBuildNumber(missing), 0u);
    EXPECT_EQ(SetupCLSGetVersionBuildNumber(""), 0u);
    InstallDouble("TESTMOD", "C:\\QB\\OTHER.DLL");
    EXPECT_STREQ(SetupCLSGetVersionString("C:\\QB\\OTHER.DLL"), "");
    EXPECT_EQ(SetupCLSGetBuildNumber("C:\\QB\\OTHER.DLL"), 0);
    EXPECT_EQ(GetModuleHandleA("OTHER.DLL"), nullptr);
}

TEST_F(VersionText, LoadFailuresGiveEmptyTexts) {
    winsim::InjectFault("LoadLibraryExA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_STREQ(SetupCLSGetVersionString(kLibrary), "");
    winsim::InjectFault("LoadLibraryA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_STREQ(SetupCLSGetBuildString(kLibrary), "");
    winsim::InjectFault("GetProcAddress", ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(SetupCLSGetVersionNumber(kLibrary), 0);
    EXPECT_EQ(GetModuleHandleA("QLVCTL.DLL"), nullptr);
}

}  // namespace
