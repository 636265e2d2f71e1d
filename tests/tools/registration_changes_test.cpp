// The runner's regedit diff of a run shows what the product registers and
// removes (the shell extension under HKEY_CLASSES_ROOT, the SNMP agent, the
// maker-wide entry), and replaying it gives the machine after the run.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <cstring>
#include <string>

#include "qlsetrun/Snapshot.h"
#include "registry/HarnRegistry.h"

namespace {

winsim::Registry &Reg() { return winsim::LocalMachine().registry; }
const char kAgents[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\ExtensionAgents";

void Seed() {
    Reg().SetString(kAgents, "1", "SOFTWARE\\Microsoft\\LANManagerMIB2Agent\\CurrentVersion");
    Reg().Create("HKLM\\SOFTWARE\\Veltmark\\VM-InstalledITProducts");
}

CSettings Settings(tagSETUP_INFO &info) {
    memset(&info, 0, sizeof info);
    info.lProductType = 24;
    CSettings s(&info, 1);
    s.QuillbakPath("C:\\Quillbak");
    s.InstallManager(TRUE);
    s.InstallServer(TRUE);
    s.InstallAdmin(TRUE);
    s.UninstallQuillbak(TRUE);
    s.ProductSubType(3);
    return s;
}

std::string Canon(const qlsetrun::RegistrySnapshot &snap) {
    return qlsetrun::RegistryChanges(qlsetrun::RegistrySnapshot(), snap);
}

TEST(RegistrationChanges, WriteShowsAndReplays) {
    Seed();
    const qlsetrun::RegistrySnapshot before = qlsetrun::SnapRegistry(Reg());
    tagSETUP_INFO info;
    CSettings s = Settings(info);
    CHarnRegistry w(s, 1, NULL);
    const qlsetrun::RegistrySnapshot after = qlsetrun::SnapRegistry(Reg());
    const std::string changes = qlsetrun::RegistryChanges(before, after);
    EXPECT_NE(changes.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.qlx]\r\n@=\"QuillbakScriptFile\""),
              std::string::npos)
        << changes;
    EXPECT_NE(changes.find("\"2\"=\"SOFTWARE\\\\Veltmark\\\\QuillbakIT\\\\Base\\\\SNMP\""), std::string::npos);
    EXPECT_NE(changes.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltmark\\VM-InstalledITProducts\\QuillbakIT]\r\n"
                           "\"DisplayName\"=\"QuillbakIT\""),
              std::string::npos);
    EXPECT_EQ(changes.find("\"1\"=\"SOFTWARE\\\\Microsoft"), std::string::npos);  // untouched agent

    winsim::ResetWorld();
    winsim::CreateDefaultMachine();
    Seed();
    Reg().ImportReg(changes, "changes.reg");
    EXPECT_EQ(Canon(qlsetrun::SnapRegistry(Reg())), Canon(after));
}

TEST(RegistrationChanges, DeleteShowsTheRemovedKeys) {
    Seed();
    tagSETUP_INFO info;
    CSettings s = Settings(info);
    CHarnRegistry w(s, 1, NULL);
    const qlsetrun::RegistrySnapshot before = qlsetrun::SnapRegistry(Reg());
    ASSERT_EQ(w.Delete(), 1);
    const qlsetrun::RegistrySnapshot after = qlsetrun::SnapRegistry(Reg());
    const std::string changes = qlsetrun::RegistryChanges(before, after);
    EXPECT_NE(changes.find("[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltmark\\QuillbakIT]"), std::string::npos) << changes;
    EXPECT_NE(changes.find("[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\QuillbakScriptFile]"), std::string::npos);
    EXPECT_NE(changes.find("\"2\"=-"), std::string::npos);
    EXPECT_EQ(changes.find("[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltmark\\VM-InstalledITProducts]"), std::string::npos);
    // Undoing it restores every key and value (values may come back in
    // another order).
    Reg().ImportReg(qlsetrun::RegistryChanges(after, before), "undo.reg");
    EXPECT_EQ(qlsetrun::RegistryChanges(before, qlsetrun::SnapRegistry(Reg())),
              qlsetrun::RegistryChanges(before, before));
}

}  // namespace
