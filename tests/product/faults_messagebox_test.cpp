// A question of an action that cannot be put to the user is not taken as a
// Yes: what it would have removed stays.
#include "action_fixture.h"

#include "actions/Auxiliary.h"
#include "actions/Frame.h"
#include "doubles.h"

namespace {

class MessageBoxFaults : public ActionTest {};

TEST_F(MessageBoxFaults, AnUnaskedRemovalQuestionKeepsTheSqlDatabase) {
    InstalledProduct("C:\\QB");
    M().registry.SetDword(std::string(kBase) + "\\Database", "DatabaseType", 1);
    ActionPrologue(session_, "PreUninstall", "Started", 1);
    M().installer.log.clear();
    InstallDouble("QLDBCLI1", "C:\\QB\\QLDBCLI1.DLL");
    M().scriptedAnswers = {IDYES};  // would be the answer, had it been asked
    winsim::InjectFault("MessageBoxA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(RemoveSQLDatabase(session_), 0u);
    EXPECT_TRUE(M().messageBoxes.empty());
    EXPECT_EQ(Env("QLDBCLI1_CALLS"), "");
    EXPECT_TRUE(M().installer.log.empty());
    EXPECT_EQ(GetModuleHandleA("QLDBCLI1.DLL"), nullptr);
}

}  // namespace
