// Messages a custom action sends to the installer.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include "support/msi_session.h"
#include "support/wine.h"

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
    SKIP_ON_REAL_MACHINE("a session without user interface answers 0; the simulated session answers what its machine scripts (IDOK unless told)");
    MSIHANDLE session = TestInstallerSession();
    EXPECT_EQ(Send(session, INSTALLMESSAGE_WARNING, "careful"), IDOK);
    EXPECT_EQ(Send(session, INSTALLMESSAGE_ERROR, "broken"), IDOK);
    EXPECT_EQ(Send(session, (INSTALLMESSAGE)(INSTALLMESSAGE_USER | MB_YESNO), "sure?"), IDYES);
    MsiCloseHandle(session);
}

TEST(ProcessMessage, BadHandlesGiveMinusOne) {
    SKIP_ON_WINE("MsiProcessMessage with a null handle returns ERROR_INVALID_HANDLE, not -1");
    MSIHANDLE session = TestInstallerSession();
    MSIHANDLE record = MsiCreateRecord(1);
    EXPECT_EQ(MsiProcessMessage(0, INSTALLMESSAGE_INFO, record), -1);
    EXPECT_EQ(MsiProcessMessage(session, INSTALLMESSAGE_INFO, 0), -1);
    MsiCloseHandle(record);
    MsiCloseHandle(session);
}

}  // namespace
