// The setup information file: where it is looked for, what each reader
// returns and caches, the edition sub-type and the build ranges.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <climits>
#include <string>

#include "settings/SetupInf.h"

namespace {

const char kSetupInf[] = "D:\\SETUP\\QLBSETUP.INF";
const char kBesideProgram[] = "C:\\WINNT\\system32\\QLBSETUP.INF";

class SetupInfTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_ = &winsim::LocalMachine();
        m_->AddDrive('D', DRIVE_CDROM);
    }
    void Put(const char *path, const std::string &text) { m_->PutFile(path, text); }
    std::string CurrentDirectory() {
        char cwd[MAX_PATH] = "";
        GetCurrentDirectoryA(sizeof cwd, cwd);
        return cwd;
    }
    winsim::Machine *m_ = nullptr;
};

TEST_F(SetupInfTest, BuildNumberRanges) {
    struct Case {
        const char *value;  // nullptr: no key
        int minBuild, maxBuild, result;
    } cases[] = {
        {"120,130", 120, 130, 1},
        {"125", 125, 125, 1},
        {",130", 0, 130, 1},
        {"130,", 130, 0, 0},
        {"0", 0, 0, 0},
        {nullptr, 0, 0, 0},
        {"", 0, 0, 0},
        // Five-digit builds fit whole.
        {"10000,10100", 10000, 10100, 1},
        {"99999,99999", 99999, 99999, 1},
        {"12345", 12345, 12345, 1},
        // Blanks and a sign before the digits; the number ends at the first
        // non-digit.
        {" 120 , 130", 120, 130, 1},
        {"-5,10", -5, 10, 0},
        {"0,1", 0, 1, 1},
        {"abc,12x", 0, 12, 1},
        {"7,8,9", 7, 8, 1},
        // Blanks and signs around the numbers are read whole, not cut.
        {"10000, 10100", 10000, 10100, 1},
        {"+10000,+10100", 10000, 10100, 1},
        {"  10000 ,   10100  ", 10000, 10100, 1},
        {"123456,654321", 123456, 654321, 1},
        {"99999999999", INT_MAX, INT_MAX, 1},
    };
    for (auto &c : cases) {
        std::string text = "[BuildNumber]\r\nOTHER=1,2\r\n";
        if (c.value) text += std::string("QLNT=") + c.value + "\r\n";
        Put(kSetupInf, text);
        CSetupInf inf;
        inf.SetQLBsetupINFName(kSetupInf);
        int minBuild = -99, maxBuild = -99;
        EXPECT_EQ(inf.GetUpdateBuildNoRange("QLNT", &minBuild, &maxBuild), c.result) << (c.value ? c.value : "(none)");
        EXPECT_EQ(minBuild, c.minBuild) << (c.value ? c.value : "(none)");
        EXPECT_EQ(maxBuild, c.maxBuild) << (c.value ? c.value : "(none)");
    }
}

TEST_F(SetupInfTest, BuildNumberTooLongToReadWholeIsNoRange) {
    // The cut-off tail could change the maximum: no range rather than a wrong one.
    Put(kSetupInf, "[BuildNumber]\r\nQLNT=1," + std::string(1100, '0') + "9\r\n");
    CSetupInf inf;
    inf.SetQLBsetupINFName(kSetupInf);
    int minBuild = -1, maxBuild = -1;
    EXPECT_EQ(inf.GetUpdateBuildNoRange("QLNT", &minBuild, &maxBuild), 0);
    EXPECT_EQ(minBuild, 0);
    EXPECT_EQ(maxBuild, 0);
    // Just inside the room it is read whole.
    Put(kSetupInf, "[BuildNumber]\r\nQLNT=1," + std::string(1000, ' ') + "9\r\n");
    EXPECT_EQ(inf.GetUpdateBuildNoRange("QLNT", &minBuild, &maxBuild), 1);
    EXPECT_EQ(minBuild, 1);
    EXPECT_EQ(maxBuild, 9);
}

TEST_F(SetupInfTest, BuildNumberIsReadEvenWhenTheFileWasMissingAtTheSearch) {
    CSetupInf inf;
    inf.SetQLBsetupINFName(kSetupInf);
    EXPECT_EQ(inf.Exists(), 0);
    Put(kSetupInf, "[BuildNumber]\r\nQLNT=400,410\r\n");
    int minBuild = 0, maxBuild = 0;
    EXPECT_EQ(inf.GetUpdateBuildNoRange("QLNT", &minBuild, &maxBuild), 1);
    EXPECT_EQ(minBuild, 400);
    EXPECT_EQ(maxBuild, 410);
    EXPECT_EQ(inf.Exists(), 0);  // the search is not repeated
}

TEST_F(SetupInfTest, BuildNumberWithoutKeyOrOutputs) {
    Put(kSetupInf, "[BuildNumber]\r\nQLNT=120,130\r\n");
    CSetupInf inf;
    inf.SetQLBsetupINFName(kSetupInf);
    int minBuild = 5, maxBuild = 5;
    EXPECT_EQ(inf.GetUpdateBuildNoRange(NULL, &minBuild, &maxBuild), 0);
    EXPECT_EQ(minBuild, 0);
    EXPECT_EQ(maxBuild, 0);
    EXPECT_EQ(inf.GetUpdateBuildNoRange("QLNT", NULL, NULL), 1);
    EXPECT_EQ(inf.GetUpdateBuildNoRange("qlnt", &minBuild, NULL), 1);  // key names ignore case
    EXPECT_EQ(minBuild, 120);
}

TEST_F(SetupInfTest, ProductSubType) {
    struct Case {
        const char *line;
        int expected;
    } cases[] = {
        {"ProdSubType=0", 0},  {"ProdSubType=4", 4},   {"ProdSubType=2", 2}, {"ProdSubType=5", -1},
        {"ProdSubType=-3", -1}, {"ProdSubType=-1", -1}, {"Other=1", -1},      {"ProdSubType=3rd", 3},
        {"ProdSubType=x", 0},
    };
    for (auto &c : cases) {
        Put(kSetupInf, std::string("[Setup]\r\n") + c.line + "\r\n");
        CSetupInf inf;
        inf.SetQLBsetupINFName(kSetupInf);
        EXPECT_EQ(inf.GetProductSubType(), c.expected) << c.line;
    }
    CSetupInf none;
    none.SetQLBsetupINFName("D:\\NOWHERE\\QLBSETUP.INF");
    EXPECT_EQ(none.GetProductSubType(), -1);
}

TEST_F(SetupInfTest, ReadersWithTheFile) {
    Put(kSetupInf,
        "[Components]\r\nDataMigration=1\r\nPNRFrameWork=2\r\nPNRFrameWorkSetupFileName=PNR\\SETUP.EXE\r\n"
        "[Support]\r\nProductName=Vaxwall 2000\r\nSetupFileName=VAXWALL\\SETUP.EXE\r\n");
    CSetupInf inf;
    EXPECT_EQ(inf.SetQLBsetupINFName(kSetupInf), 1);
    EXPECT_EQ(inf.Exists(), 1);
    EXPECT_STREQ(inf.FileName(), kSetupInf);
    EXPECT_EQ(inf.IsHSMAvailable(), 1);
    EXPECT_EQ(inf.IsPNRFWAvailable(), 2);
    EXPECT_STREQ(inf.GetPNRFWSetupFileName(), "PNR\\SETUP.EXE");
    EXPECT_STREQ(inf.GetSetupProductName(), "Vaxwall 2000");
    EXPECT_STREQ(inf.GetSetupFileName(), "VAXWALL\\SETUP.EXE");
}

TEST_F(SetupInfTest, WithoutTheFileFlagsAreZeroAndTextsEmpty) {
    CSetupInf inf;
    EXPECT_EQ(inf.SetQLBsetupINFName(kSetupInf), 1);
    EXPECT_EQ(inf.Exists(), 0);
    EXPECT_EQ(inf.IsHSMAvailable(), 0);
    EXPECT_EQ(inf.IsPNRFWAvailable(), 0);
    EXPECT_STREQ(inf.GetPNRFWSetupFileName(), "");
    EXPECT_STREQ(inf.GetSetupProductName(), "");
    EXPECT_STREQ(inf.GetSetupFileName(), "");
    EXPECT_EQ(winsim::CallCount("GetPrivateProfileStringA"), 0u);
    EXPECT_EQ(winsim::CallCount("GetPrivateProfileIntA"), 0u);
}

TEST_F(SetupInfTest, CachedValuesSurviveASwitchToAMissingFile) {
    Put(kSetupInf,
        "[Components]\r\nDataMigration=1\r\nPNRFrameWorkSetupFileName=PNR.EXE\r\n"
        "[Support]\r\nProductName=Vaxwall\r\nSetupFileName=VAXWALL\\SETUP.EXE\r\n[Setup]\r\nProdSubType=2\r\n");
    CSetupInf inf;
    inf.SetQLBsetupINFName(kSetupInf);
    EXPECT_STREQ(inf.GetSetupFileName(), "VAXWALL\\SETUP.EXE");
    EXPECT_STREQ(inf.GetSetupProductName(), "Vaxwall");
    EXPECT_STREQ(inf.GetPNRFWSetupFileName(), "PNR.EXE");
    EXPECT_EQ(inf.IsHSMAvailable(), 1);

    EXPECT_EQ(inf.SetQLBsetupINFName("D:\\OTHER\\QLBSETUP.INF"), 1);
    EXPECT_EQ(inf.Exists(), 0);
    EXPECT_STREQ(inf.GetSetupFileName(), "VAXWALL\\SETUP.EXE");
    EXPECT_STREQ(inf.GetSetupProductName(), "Vaxwall");
    EXPECT_STREQ(inf.GetPNRFWSetupFileName(), "PNR.EXE");
    EXPECT_EQ(inf.IsHSMAvailable(), 1);
    EXPECT_EQ(inf.GetProductSubType(), -1);  // not cached
}

TEST_F(SetupInfTest, EveryCallReadsTheFileAgain) {
    Put(kSetupInf, "[Components]\r\nDataMigration=1\r\n[Support]\r\nSetupFileName=A.EXE\r\n");
    CSetupInf inf;
    inf.SetQLBsetupINFName(kSetupInf);
    EXPECT_STREQ(inf.GetSetupFileName(), "A.EXE");
    EXPECT_EQ(inf.IsHSMAvailable(), 1);

    Put(kSetupInf, "[Components]\r\nDataMigration=0\r\n[Support]\r\nSetupFileName=B.EXE\r\n");
    EXPECT_STREQ(inf.GetSetupFileName(), "B.EXE");
    EXPECT_EQ(inf.IsHSMAvailable(), 0);

    // An absent or empty key keeps the text read before; an absent flag
    // reads as 0.
    Put(kSetupInf, "[Support]\r\nSetupFileName=\r\n");
    EXPECT_STREQ(inf.GetSetupFileName(), "B.EXE");
    Put(kSetupInf, "[Other]\r\n");
    EXPECT_STREQ(inf.GetSetupFileName(), "B.EXE");
    EXPECT_EQ(inf.IsHSMAvailable(), 0);
}

TEST_F(SetupInfTest, LongTextsAreCutToTheirCapacity) {
    const std::string longText(400, 'n');
    Put(kSetupInf, "[Support]\r\nProductName=" + longText + "\r\nSetupFileName=" + longText +
                       "\r\n[Components]\r\nPNRFrameWorkSetupFileName=" + longText + "\r\n");
    CSetupInf inf;
    inf.SetQLBsetupINFName(kSetupInf);
    EXPECT_EQ(std::string(inf.GetSetupProductName()), std::string(254, 'n'));
    EXPECT_EQ(std::string(inf.GetSetupFileName()), std::string(260, 'n'));
    EXPECT_EQ(std::string(inf.GetPNRFWSetupFileName()), std::string(260, 'n'));
}

TEST_F(SetupInfTest, DefaultFileIsBesideTheRunningProgramNotInTheCurrentDirectory) {
    Put(kBesideProgram, "[Setup]\r\nProdSubType=3\r\n");
    Put("D:\\SETUP\\QLBSETUP.INF", "[Setup]\r\nProdSubType=1\r\n");
    ASSERT_TRUE(SetCurrentDirectoryA("D:\\SETUP"));
    CSetupInf inf;
    EXPECT_EQ(inf.Exists(), 1);
    EXPECT_STREQ(inf.FileName(), kBesideProgram);
    EXPECT_EQ(inf.GetProductSubType(), 3);
    EXPECT_EQ(CurrentDirectory(), "C:\\WINNT\\system32");

    // A null or empty name goes back to the default file.
    inf.SetQLBsetupINFName(kSetupInf);
    EXPECT_EQ(inf.GetProductSubType(), 1);
    inf.SetQLBsetupINFName(NULL);
    EXPECT_STREQ(inf.FileName(), kBesideProgram);
    EXPECT_EQ(inf.GetProductSubType(), 3);
    inf.SetQLBsetupINFName(kSetupInf);
    inf.SetQLBsetupINFName("");
    EXPECT_STREQ(inf.FileName(), kBesideProgram);
}

TEST_F(SetupInfTest, TheFilesFolderBecomesTheCurrentDirectory) {
    Put(kSetupInf, "[Components]\r\nVAXWALLSERVER=VAXWALL\\SERVER\r\n");
    Put("D:\\SETUP\\VAXWALL\\SERVER\\SETUP.EXE", "MZ");
    CSetupInf inf;
    inf.SetQLBsetupINFName(kSetupInf);
    EXPECT_EQ(CurrentDirectory(), "D:\\SETUP");
    // A folder named in the file resolves against the file's folder.
    char full[MAX_PATH] = "";
    GetFullPathNameA("VAXWALL\\SERVER\\SETUP.EXE", sizeof full, full, NULL);
    EXPECT_STREQ(full, "D:\\SETUP\\VAXWALL\\SERVER\\SETUP.EXE");

    // A missing file still moves to its folder when the folder exists, and
    // leaves the current directory alone when it does not.
    m_->MakeDirs("C:\\EMPTY");
    inf.SetQLBsetupINFName("C:\\EMPTY\\QLBSETUP.INF");
    EXPECT_EQ(inf.Exists(), 0);
    EXPECT_EQ(CurrentDirectory(), "C:\\EMPTY");
    inf.SetQLBsetupINFName("C:\\NO\\SUCH\\QLBSETUP.INF");
    EXPECT_EQ(CurrentDirectory(), "C:\\EMPTY");
}

TEST_F(SetupInfTest, ExistenceIsTestedWithoutReading) {
    Put(kSetupInf, "[Setup]\r\nProdSubType=1\r\n");
    CSetupInf inf;
    inf.SetQLBsetupINFName(kSetupInf);
    EXPECT_EQ(inf.Exists(), 1);
    EXPECT_EQ(winsim::CallCount("CreateFileA"), 0u);
    // A folder of that name counts as well.
    m_->MakeDirs("D:\\DIR\\QLBSETUP.INF");
    inf.SetQLBsetupINFName("D:\\DIR\\QLBSETUP.INF");
    EXPECT_EQ(inf.Exists(), 1);
    // An existence test that fails counts as no file.
    winsim::InjectFault("GetFileAttributesA", ERROR_ACCESS_DENIED);
    inf.SetQLBsetupINFName(kSetupInf);
    EXPECT_EQ(inf.Exists(), 0);
}

TEST_F(SetupInfTest, CopiesKeepPathAndCaches) {
    Put(kSetupInf, "[Support]\r\nSetupFileName=A.EXE\r\n[Components]\r\nPNRFrameWork=1\r\n");
    CSetupInf inf;
    inf.SetQLBsetupINFName(kSetupInf);
    inf.GetSetupFileName();
    inf.IsPNRFWAvailable();
    CSetupInf copy(inf);
    CSetupInf assigned;
    assigned = inf;
    for (CSetupInf *c : {&copy, &assigned}) {
        EXPECT_STREQ(c->FileName(), kSetupInf);
        EXPECT_EQ(c->Exists(), 1);
        c->SetQLBsetupINFName("D:\\MISSING.INF");
        EXPECT_STREQ(c->GetSetupFileName(), "A.EXE");
        EXPECT_EQ(c->IsPNRFWAvailable(), 1);
    }
}

TEST(SetupInfNames, StaticNames) {
    EXPECT_STREQ(CSetupInf::m_sQLBSETUP_INF, "QLBSETUP.INF");
    EXPECT_STREQ(CSetupInf::m_sComponents, "Components");
    EXPECT_STREQ(CSetupInf::m_sDataMigration, "DataMigration");
    EXPECT_STREQ(CSetupInf::m_sPNRFrameWork, "PNRFrameWork");
    EXPECT_STREQ(CSetupInf::m_sPNRFrameWorkSetupFileName, "PNRFrameWorkSetupFileName");
    EXPECT_STREQ(CSetupInf::m_sProductInfo, "ProductInfo");
    EXPECT_STREQ(CSetupInf::m_sProductName, "ProductName");
    EXPECT_STREQ(CSetupInf::m_sSetupFileName, "SetupFileName");
    EXPECT_STREQ(CSetupInf::m_sProdSubType, "ProdSubType");
    EXPECT_STREQ(CSetupInf::m_sProdBuildNoRange, "BuildNumber");
    EXPECT_STREQ(CSetupInf::m_sSetup, "Setup");
    EXPECT_STREQ(CSetupInf::m_sSupport, "Support");
}

}  // namespace
