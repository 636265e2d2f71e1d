// Messages a custom action sends to the installer.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include "support/msi_session.h"

namespace {

int Send(MSIHANDLE session, INSTALLMESSAGE kind, const char *text) {
    MSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringA(record, 0, text);
    int result = MsiProcessMessage(session, kind, record);
    MsiCloseHandle(record);
    return result;
}

TEST(ProcessMessage, InformationIsLoggedWithoutAnAnswer) {
    MSIHANDLE session = TestInstallerSession();
    EXPECT_EQ(Send(session, INSTALLMESSAGE_INFO, "PreInstall() - Started"), 0);
    MsiCloseHandle(session);
}

TEST(ProcessMessage, WarningsAndErrorsReturnTheButtonChosen) {
    MSIHANDLE session = TestInstallerSession();
    EXPECT_EQ(Send(session, INSTALLMESSAGE_WARNING, "careful"), IDOK);
    EXPECT_EQ(Send(session, INSTALLMESSAGE_ERROR, "broken"), IDOK);
    EXPECT_EQ(Send(session, (INSTALLMESSAGE)(INSTALLMESSAGE_USER | MB_YESNO), "sure?"), IDYES);
    MsiCloseHandle(session);
}

TEST(ProcessMessage, BadHandlesGiveMinusOne) {
    MSIHANDLE session = TestInstallerSession();
    MSIHANDLE record = MsiCreateRecord(1);
    EXPECT_EQ(MsiProcessMessage(0, INSTALLMESSAGE_INFO, record), -1);
    EXPECT_EQ(MsiProcessMessage(session, INSTALLMESSAGE_INFO, 0), -1);
    MsiCloseHandle(record);
    MsiCloseHandle(session);
}

}  // namespace
