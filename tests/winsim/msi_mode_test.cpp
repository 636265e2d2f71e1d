// Run modes, the install level and feature requests of the installer session.
#include <gtest/gtest.h>

#include <windows.h>
#include <msiquery.h>

#include <string>

#include "support/msi_session.h"
#include "support/wine.h"

namespace {

class MsiModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        session_ = TestInstallerSession();
        ASSERT_NE(session_, 0u);
    }
    void TearDown() override { MsiCloseHandle(session_); }
    MSIHANDLE session_ = 0;
};

TEST_F(MsiModeTest, RunModeValuesAreTheSdkOnes) {
    EXPECT_EQ(MSIRUNMODE_ADMIN, 0);
    EXPECT_EQ(MSIRUNMODE_MAINTENANCE, 2);
    EXPECT_EQ(MSIRUNMODE_REBOOTATEND, 6);
    EXPECT_EQ(MSIRUNMODE_REBOOTNOW, 7);
    EXPECT_EQ(MSIRUNMODE_SCHEDULED, 16);
    EXPECT_EQ(MSIRUNMODE_COMMIT, 18);
}

TEST_F(MsiModeTest, OnlyTheRebootModesCanBeSet) {
    for (int mode = MSIRUNMODE_ADMIN; mode <= MSIRUNMODE_COMMIT; ++mode) {
        BOOL before = MsiGetMode(session_, (MSIRUNMODE)mode);
        UINT r = MsiSetMode(session_, (MSIRUNMODE)mode, !before);
        if (mode == MSIRUNMODE_REBOOTATEND || mode == MSIRUNMODE_REBOOTNOW) {
            EXPECT_EQ(r, (UINT)ERROR_SUCCESS) << mode;
            EXPECT_EQ(MsiGetMode(session_, (MSIRUNMODE)mode), !before) << mode;
        } else {
            EXPECT_EQ(r, (UINT)ERROR_ACCESS_DENIED) << mode;
            EXPECT_EQ(MsiGetMode(session_, (MSIRUNMODE)mode), before) << mode;
        }
    }
}

TEST_F(MsiModeTest, RebootAtEndTurnsOnAndOff) {
    ASSERT_EQ(MsiSetMode(session_, MSIRUNMODE_REBOOTATEND, TRUE), (UINT)ERROR_SUCCESS);
    EXPECT_TRUE(MsiGetMode(session_, MSIRUNMODE_REBOOTATEND));
    ASSERT_EQ(MsiSetMode(session_, MSIRUNMODE_REBOOTATEND, FALSE), (UINT)ERROR_SUCCESS);
    EXPECT_FALSE(MsiGetMode(session_, MSIRUNMODE_REBOOTATEND));
}

TEST_F(MsiModeTest, BadHandles) {
    SKIP_ON_WINE("MsiSetMode on an invalid handle returns ERROR_SUCCESS");
    MSIHANDLE record = MsiCreateRecord(0);
    const MSIHANDLE bad[] = {0, record, 0x7FFFFFF0};
    for (MSIHANDLE h : bad) {
        EXPECT_FALSE(MsiGetMode(h, MSIRUNMODE_REBOOTATEND)) << h;
        EXPECT_EQ(MsiSetMode(h, MSIRUNMODE_REBOOTATEND, TRUE), (UINT)ERROR_INVALID_HANDLE) << h;
        EXPECT_EQ(MsiSetInstallLevel(h, 3), (UINT)ERROR_INVALID_HANDLE) << h;
        INSTALLSTATE installed, action;
        EXPECT_EQ(MsiGetFeatureStateA(h, "Server", &installed, &action), (UINT)ERROR_INVALID_HANDLE) << h;
        EXPECT_EQ(MsiSetFeatureStateA(h, "Server", INSTALLSTATE_LOCAL), (UINT)ERROR_INVALID_HANDLE) << h;
    }
    MsiCloseHandle(record);
}

TEST_F(MsiModeTest, InstallLevelIsTheInstallLevelProperty) {
    const int levels[] = {1, 3, 100, 1000};
    for (int level : levels) {
        ASSERT_EQ(MsiSetInstallLevel(session_, level), (UINT)ERROR_SUCCESS) << level;
        char buffer[16];
        DWORD size = sizeof buffer;
        ASSERT_EQ(MsiGetPropertyA(session_, "INSTALLLEVEL", buffer, &size), (UINT)ERROR_SUCCESS);
        EXPECT_EQ(std::string(buffer), std::to_string(level));
    }
}

TEST_F(MsiModeTest, UnknownFeature) {
    INSTALLSTATE installed = INSTALLSTATE_DEFAULT, action = INSTALLSTATE_DEFAULT;
    EXPECT_EQ(MsiGetFeatureStateA(session_, "NoSuchFeature", &installed, &action), (UINT)ERROR_UNKNOWN_FEATURE);
    EXPECT_EQ(installed, INSTALLSTATE_DEFAULT);
    EXPECT_EQ(action, INSTALLSTATE_DEFAULT);
    EXPECT_EQ(MsiSetFeatureStateA(session_, "NoSuchFeature", INSTALLSTATE_LOCAL), (UINT)ERROR_UNKNOWN_FEATURE);
}

}  // namespace
