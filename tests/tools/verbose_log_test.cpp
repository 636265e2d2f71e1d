// The run as a Windows Installer verbose log: the actions framed by "Action
// start" and "Action ended ... Return value N.", their messages and property
// changes between, in the order they happened, and the property dumps.
#include <gtest/gtest.h>

#include <windows.h>
#include <msiquery.h>

#include <winsim/machine.h>

#include "qlsetrun/Package.h"
#include "qlsetrun/Run.h"
#include "qlsetrun/VerboseLog.h"

#include <string>

namespace {

using qlsetrun::ActionRun;


void Info(MSIHANDLE session, const char *text) {
    MSIHANDLE rec = MsiCreateRecord(1);
    MsiRecordSetStringA(rec, 0, text);
    MsiProcessMessage(session, INSTALLMESSAGE_INFO, rec);
    MsiCloseHandle(rec);
}

class VerboseLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SYSTEMTIME t{};
        t.wYear = 2026;
        t.wMonth = 12;
        t.wDay = 8;
        t.wHour = 9;
        t.wMinute = 5;
        t.wSecond = 7;
        t.wMilliseconds = 250;
        winsim::SetClock(t);
        m_ = &winsim::LocalMachine();
        m_->installer.properties = {{"REMOVE", "ALL"}, {"UILevel", "5"}};
        run_.machine = m_;
        run_.sequence = qlsetrun::FindSequence("uninstall");
        run_.propertiesBefore = m_->installer.properties;
        run_.startMs = winsim::ClockMs();
        session_ = winsim::OpenInstallerSession();
    }
    void TearDown() override { MsiCloseHandle(session_); }

    // Runs `body` as the custom action `name` that returns `result`.
    template <class Body>
    void Action(const std::string &name, UINT result, Body body) {
        ActionRun a;
        a.name = name;
        a.startMs = winsim::ClockMs();
        a.logBegin = m_->installer.log.size();
        a.eventBegin = m_->installer.propertyEvents.size();
        body();
        a.ran = true;
        a.result = result;
        a.outcome = qlsetrun::OutcomeOf(result);
        a.logEnd = m_->installer.log.size();
        a.eventEnd = m_->installer.propertyEvents.size();
        a.endMs = winsim::ClockMs();
        run_.actions.push_back(a);
    }
    std::string Log() {
        run_.endMs = winsim::ClockMs();
        run_.propertiesAfter = m_->installer.properties;
        return qlsetrun::VerboseLog(run_);
    }

    winsim::Machine *m_ = nullptr;
    qlsetrun::Run run_;
    MSIHANDLE session_ = 0;
};

TEST_F(VerboseLogTest, ASequenceOfActionsLineByLine) {
    ActionRun skipped;
    skipped.name = "AllowUninstall";
    skipped.skipped = "not in the library's export list yet";
    skipped.startMs = winsim::ClockMs();
    run_.actions.push_back(skipped);
    Action("PreUninstall", ERROR_SUCCESS, [&] {
        Info(session_, "PreUninstall() - Started");
        MsiSetPropertyA(session_, "ERRORMSG", "NONE");
        winsim::AdvanceClock(1500);
        Info(session_, "PreUninstall() - Done");
        MsiSetPropertyA(session_, "ERRORMSG", "Some text");
        MsiSetPropertyA(session_, "REMOVE", "");
    });
    Action("PostUninstall", ERROR_INSTALL_FAILURE, [&] { Info(session_, "PostUninstall() - Started"); });
    ActionRun notReached;
    notReached.name = "Later";
    notReached.reached = false;
    run_.actions.push_back(notReached);

    EXPECT_EQ(Log(),
              "=== Verbose logging started: 12/8/2026  9:05:07  Build type: SHIP ANSI  Calling process: "
              "C:\\WINNT\\system32\\msiexec.exe ===\n"
              "Property(S): REMOVE = ALL\n"
              "Property(S): UILevel = 5\n"
              "Action start 9:05:07: INSTALL.\n"
              "MSI (s) (C4:A8) [09:05:07:250]: Skipping action: AllowUninstall (not in the library's export list yet)\n"
              "MSI (s) (C4:A8) [09:05:07:250]: Doing action: PreUninstall\n"
              "Action start 9:05:07: PreUninstall.\n"
              "PreUninstall() - Started\n"
              "MSI (s) (C4:A8) [09:05:07:250]: PROPERTY CHANGE: Adding ERRORMSG property. Its value is 'NONE'.\n"
              "PreUninstall() - Done\n"
              "MSI (s) (C4:A8) [09:05:08:750]: PROPERTY CHANGE: Modifying ERRORMSG property. Its current value is "
              "'NONE'. Its new value: 'Some text'.\n"
              "MSI (s) (C4:A8) [09:05:08:750]: PROPERTY CHANGE: Deleting REMOVE property. Its current value is 'ALL'.\n"
              "Action ended 9:05:08: PreUninstall. Return value 1.\n"
              "MSI (s) (C4:A8) [09:05:08:750]: Doing action: PostUninstall\n"
              "Action start 9:05:08: PostUninstall.\n"
              "PostUninstall() - Started\n"
              "CustomAction PostUninstall returned actual error code 1603\n"
              "Action ended 9:05:08: PostUninstall. Return value 3.\n"
              "Action ended 9:05:08: INSTALL. Return value 3.\n"
              "Property(S): ERRORMSG = Some text\n"
              "Property(S): UILevel = 5\n"
              "MSI (s) (C4:A8) [09:05:08:750]: MainEngineThread is returning 1603\n"
              "=== Verbose logging stopped: 12/8/2026  9:05:08 ===\n");
}

TEST_F(VerboseLogTest, ThePasswordAndHiddenPropertiesAreMasked) {
    m_->installer.properties["SYSTEMPWD"] = "Secret1";
    m_->installer.properties["MsiHiddenProperties"] = "OTHERPWD;X";
    run_.propertiesBefore = m_->installer.properties;
    Action("GetSetupInformation", ERROR_SUCCESS, [&] {
        MsiSetPropertyA(session_, "SYSTEMPWD", "Secret2");
        MsiSetPropertyA(session_, "OTHERPWD", "Secret3");
        MsiSetPropertyA(session_, "SYSTEMACCOUNT", "qlsvc");
    });
    const std::string log = Log();
    for (const char *secret : {"Secret1", "Secret2", "Secret3"}) EXPECT_EQ(log.find(secret), std::string::npos) << secret;
    EXPECT_NE(log.find("Property(S): SYSTEMPWD = **********\n"), std::string::npos);
    EXPECT_NE(log.find("Modifying SYSTEMPWD property. Its current value is '**********'. Its new value: "
                       "'**********'."),
              std::string::npos);
    EXPECT_NE(log.find("Adding SYSTEMACCOUNT property. Its value is 'qlsvc'."), std::string::npos);
    EXPECT_EQ(qlsetrun::ShownValue("SYSTEMPWD", "", run_.propertiesAfter), "");  // empty stays empty
    EXPECT_EQ(qlsetrun::ShownValue("XY", "v", run_.propertiesAfter), "v");
}

TEST_F(VerboseLogTest, NamedActionsHaveNoInstallFrame) {
    run_.namedActions = true;
    Action("PostUninstall", ERROR_SUCCESS, [&] { Info(session_, "PostUninstall() - Started"); });
    const std::string log = Log();
    EXPECT_EQ(log.find("INSTALL."), std::string::npos) << log;
    EXPECT_EQ(log.find("MainEngineThread"), std::string::npos) << log;
    EXPECT_NE(log.find("Action start 9:05:07: PostUninstall.\nPostUninstall() - Started\n"
                       "Action ended 9:05:07: PostUninstall. Return value 1.\n"),
              std::string::npos)
        << log;
}

TEST_F(VerboseLogTest, MessagesOtherThanInformationSayTheirKind) {
    Action("PreInstall", ERROR_INSTALL_USEREXIT, [&] {
        MSIHANDLE rec = MsiCreateRecord(1);
        MsiRecordSetStringA(rec, 0, "The disk is full.");
        MsiProcessMessage(session_, INSTALLMESSAGE_ERROR, rec);
        MsiProcessMessage(session_, INSTALLMESSAGE_WARNING, rec);
        MsiCloseHandle(rec);
    });
    const std::string log = Log();
    EXPECT_NE(log.find("Action start 9:05:07: PreInstall.\nError: The disk is full.\nWarning: The disk is full.\n"
                       "CustomAction PreInstall returned actual error code 1602\n"
                       "Action ended 9:05:07: PreInstall. Return value 2.\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("MainEngineThread is returning 1602"), std::string::npos) << log;
}

TEST(ActionOutcome, WindowsInstallerReadingOfResults) {
    struct Case {
        UINT result;
        int logValue;
        bool stops;
        int exitCode;
    } cases[] = {
        {0, 1, false, 0},     {1626, 0, false, 0}, {1602, 2, true, 5}, {1603, 3, true, 1},
        {1604, 4, true, 6},   {259, 1, true, 0},   {1, 3, true, 1},    {4097, 3, true, 1},
    };
    for (auto &c : cases) {
        qlsetrun::ActionOutcome o = qlsetrun::OutcomeOf(c.result);
        EXPECT_EQ(o.logValue, c.logValue) << c.result;
        EXPECT_EQ(o.stops, c.stops) << c.result;
        EXPECT_EQ(qlsetrun::ExitCodeForLogValue(o.logValue), c.exitCode) << c.result;
    }
}

TEST(ExportList, ActionsAreTheExportsThePackageKnows) {
    const std::string def = "; comment\nLIBRARY QLSETGUI\nEXPORTS\n    PostUninstall\n    TrimTailBackSlash\n"
                            "    PreInstall @3\n    AllowInstall=AllowInstall@4 ; stdcall\n";
    EXPECT_EQ(qlsetrun::ParseExports(def),
              (std::vector<std::string>{"PostUninstall", "TrimTailBackSlash", "PreInstall", "AllowInstall"}));
    // In the package's order, not the export list's.
    EXPECT_EQ(qlsetrun::ExportedActions(def),
              (std::vector<std::string>{"AllowInstall", "PreInstall", "PostUninstall"}));
}

TEST(Answers, ByNameOrNumber) {
    EXPECT_EQ(qlsetrun::ParseAnswer("IDYES"), IDYES);
    EXPECT_EQ(qlsetrun::ParseAnswer("idno"), IDNO);
    EXPECT_EQ(qlsetrun::ParseAnswer("2"), IDCANCEL);
    EXPECT_EQ(qlsetrun::ParseAnswer("8"), 0);
    EXPECT_EQ(qlsetrun::ParseAnswer("IDMAYBE"), 0);
    EXPECT_EQ(qlsetrun::ParseAnswer(""), 0);
}

}  // namespace
