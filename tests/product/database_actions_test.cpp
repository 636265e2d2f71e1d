// The database feature chosen from "SELECTDBTYPE", and the removal of the
// SQL database through the product's database client library.
#include "action_fixture.h"

#include "actions/Auxiliary.h"
#include "actions/Frame.h"
#include "actions/Checks.h"
#include "brandkit.h"
#include "doubles.h"

namespace {

const char kQuestion[] = "Do you like to remove Quillbak MS SQL Database (qldb)?";

class DatabaseActions : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        M().installer.features["VLDB"];
        M().installer.features["SQL"];
    }
    int Action(const char *feature) { return M().installer.features[feature].action; }
    void DatabaseType(DWORD type) { M().registry.SetDword(std::string(kBase) + "\\Database", "DatabaseType", type); }
    // The settings of the action before, with the product in C:\QB.
    void Settings() {
        InstalledProduct("C:\\QB");
        ActionPrologue(session_, "PreUninstall", "Started", 1);
        M().installer.log.clear();
    }
};

TEST_F(DatabaseActions, AnyTypeNamingSqlSelectsTheSqlFeature) {
    struct {
        const char *value;
        int vldb, sql;
    } cases[] = {{"SQL", 2, 3}, {"MSSQL", 2, 3}, {"VLDB", 3, 2}, {"", 3, 2}, {"sql", 3, 2}};
    for (auto &c : cases) {
        Prop("SELECTDBTYPE", c.value);
        M().installer.log.clear();
        EXPECT_EQ(SetQuillbakDatabaseType(session_), 0u);
        EXPECT_EQ(Action("VLDB"), c.vldb) << c.value;
        EXPECT_EQ(Action("SQL"), c.sql) << c.value;
        EXPECT_EQ(Log(), std::vector<std::string>{std::string("SetQuillbakDatabaseType() - SELECTDBTYPE is ") + c.value});
    }
}

TEST_F(DatabaseActions, ATypeTheBufferCannotHoldChangesNothing) {
    Prop("SELECTDBTYPE", "VLDB-AND-MORE");  // ten characters or more
    EXPECT_EQ(SetQuillbakDatabaseType(session_), 0u);
    EXPECT_EQ(Action("VLDB"), -1);
    EXPECT_EQ(Action("SQL"), -1);
    EXPECT_TRUE(Log().empty());
}

TEST_F(DatabaseActions, DatabaseTypeFromTheRegistry) {
    EXPECT_EQ(GetDatabaseType(), -1);
    M().registry.Create(std::string(kBase) + "\\Database");
    EXPECT_EQ(GetDatabaseType(), 0);  // a key without a type: RAIMA
    DatabaseType(1);
    EXPECT_EQ(GetDatabaseType(), 1);
    // The former maker's key when the product's own is missing.
    M().registry.Delete(std::string(kBase) + "\\Database");
    M().registry.SetDword("HKLM\\SOFTWARE\\Harnock\\Quillbak\\CurrentVersion\\Database", "DatabaseType", 2);
    EXPECT_EQ(GetDatabaseType(), 2);
    // The branding library names the base key.
    InstallBrandKit();
    SetBrandKitText(BRANDKIT_VALUE_REG_BASE, "SOFTWARE\\Other\\Base");
    M().registry.SetDword("HKLM\\SOFTWARE\\Other\\Base\\Database", "DatabaseType", 1);
    EXPECT_EQ(GetDatabaseType(), 1);
}

TEST_F(DatabaseActions, RaimaAndVldbDatabasesAreNotAskedAbout) {
    Settings();
    for (DWORD type : {0u, 2u}) {
        DatabaseType(type);
        EXPECT_EQ(RemoveSQLDatabase(session_), 0u);
    }
    EXPECT_TRUE(M().messageBoxes.empty());
    EXPECT_TRUE(M().installer.log.empty());
}

TEST_F(DatabaseActions, YesRemovesTheSqlDatabase) {
    Settings();
    DatabaseType(1);
    InstallDouble("QLDBCLI1", "C:\\QB\\QLDBCLI1.DLL");
    M().scriptedAnswers = {IDYES};
    EXPECT_EQ(RemoveSQLDatabase(session_), 0u);
    ASSERT_EQ(M().messageBoxes.size(), 1u);
    EXPECT_EQ(M().messageBoxes[0].owner, (HWND)NULL);
    EXPECT_EQ(M().messageBoxes[0].caption, "Quillbak 2000");
    EXPECT_EQ(M().messageBoxes[0].text, kQuestion);
    EXPECT_EQ(M().messageBoxes[0].style, (UINT)(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(Env("QLDBCLI1_CALLS"), "SQLDBUninstall((null))");
    EXPECT_EQ(Log(), std::vector<std::string>{"RemoveSQLDatabase() - SUCCESS"});
    EXPECT_TRUE(Log(INSTALLMESSAGE_WARNING).empty());
    EXPECT_EQ(GetModuleHandleA("QLDBCLI1.DLL"), nullptr);  // unloaded
}

TEST_F(DatabaseActions, NoKeyAtAllIsAskedAboutToo) {
    Settings();
    InstallDouble("QLDBCLI1", "C:\\QB\\QLDBCLI1.DLL");
    M().scriptedAnswers = {IDNO};
    EXPECT_EQ(RemoveSQLDatabase(session_), 0u);
    EXPECT_EQ(M().messageBoxes.size(), 1u);
    EXPECT_EQ(Env("QLDBCLI1_CALLS"), "");
    EXPECT_TRUE(M().installer.log.empty());
}

TEST_F(DatabaseActions, ASilentRunAsksNothingAndKeepsTheDatabase) {
    Settings();
    DatabaseType(1);
    InstallDouble("QLDBCLI1", "C:\\QB\\QLDBCLI1.DLL");
    Prop("UILevel", "2");
    EXPECT_EQ(RemoveSQLDatabase(session_), 0u);
    EXPECT_TRUE(M().messageBoxes.empty());
    EXPECT_EQ(Env("QLDBCLI1_CALLS"), "");
    EXPECT_TRUE(M().installer.log.empty());
}

TEST_F(DatabaseActions, FailuresAreWarnedAndLogged) {
    Settings();
    DatabaseType(1);
    M().scriptedAnswers = {IDYES, IDYES, IDYES};
    // No library.
    EXPECT_EQ(RemoveSQLDatabase(session_), 0u);
    // A library without the export.
    InstallDouble("TESTMOD", "C:\\QB\\QLDBCLI1.DLL");
    EXPECT_EQ(RemoveSQLDatabase(session_), 0u);
    // The library's own failure.
    InstallDouble("QLDBCLI1", "C:\\QB\\QLDBCLI1.DLL");
    Env("QLDBCLI1_RESULT") = "7";
    EXPECT_EQ(RemoveSQLDatabase(session_), 0u);
    std::vector<std::string> warnings = {"Cannot load C:\\QB\\QLDBCLI1.DLL",
                                         "Cannot get \"SQLDBUninstall\" process address", "SQLDBUninstall failed [7]"};
    EXPECT_EQ(Log(INSTALLMESSAGE_WARNING), warnings);
    std::vector<std::string> lines;
    for (auto &w : warnings) lines.push_back("RemoveSQLDatabase() - " + w);
    EXPECT_EQ(Log(), lines);
}

}  // namespace
