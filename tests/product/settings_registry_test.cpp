// The settings steps that take what an installed product recorded in the
// registry: owner, home directories, database, alert build, sub-type and
// the upgrade flag.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <cstring>
#include <string>

#include "doubles.h"
#include "registry/HarnRegistry.h"

namespace {

const std::string kBase = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Base";
const std::string kOldBase = "HKLM\\SOFTWARE\\Harnock\\Quillbak\\CurrentVersion";
const std::string kProducts = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Products";
const std::string kOldProducts = "HKLM\\SOFTWARE\\Harnock\\Products";
const std::string kAlert = "HKLM\\SOFTWARE\\Veltmark\\ALERT\\CurrentVersion";
const std::string kNT = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

class SettingsRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        m_ = &winsim::LocalMachine();
        // The product map names the base product "Quillbak" and the NT agent "NTAgent".
        InstallDouble("HarnProd", "C:\\WINNT\\system32\\HarnProd.dll");
    }
    CSettings Run(long productType = 24, int uninstall = 0) {
        tagSETUP_INFO info;
        memset(&info, 0, sizeof info);
        info.lProductType = productType;
        CSettings s(&info, uninstall);
        s.Initialize();
        return s;
    }
    void PutRecord(const std::string &key, const std::string &name, WORD version, BYTE subType) {
        tagProductStruct r;
        memset(&r, 0, sizeof r);
        r.dwProductCode = 24;
        r.dwVersion = (1018u << 16) | version;
        r.bySubType = subType;
        m_->registry.Set(key, name, REG_BINARY, &r, sizeof r);
    }
    winsim::Machine *m_;
};

TEST_F(SettingsRegistry, OwnerAndOrganisationOfTheMachine) {
    CSettings s = Run();
    EXPECT_STREQ(s.RegisteredUser(), "Administrator");
    EXPECT_STREQ(s.RegisteredCompany(), "Example Ltd");
    m_->registry.Find(kNT)->DeleteValue("RegisteredOrganization");
    s.RegisteredCompany("Kept");
    s.Initialize();
    EXPECT_STREQ(s.RegisteredCompany(), "Kept");
}

TEST_F(SettingsRegistry, TheRegisteredHomeIsTheTargetAndTheCurrentHome) {
    CSettings none = Run();
    EXPECT_FALSE(none.QuillbakExists());
    EXPECT_STREQ(none.CurrentQuillbakPath(), "");

    // An earlier release, in the former maker's layout.
    m_->registry.SetString(kOldBase + "\\Path", "HOME", "C:\\QUILLBAK");
    CSettings s = Run();
    EXPECT_TRUE(s.QuillbakExists());
    EXPECT_STREQ(s.QuillbakPath(), "C:\\QUILLBAK\\");
    EXPECT_STREQ(s.CurrentQuillbakPath(), "C:\\QUILLBAK\\");
    EXPECT_FALSE(s.NewQuillbakInstall());
    // The branded key wins.
    m_->registry.SetString(kBase + "\\Path", "HOME", "D:\\Backup\\");
    EXPECT_STREQ(Run().CurrentQuillbakPath(), "D:\\Backup\\");
}

TEST_F(SettingsRegistry, AlertHomeAndClientAgentHome) {
    m_->registry.SetString(kAlert + "\\Path", "HOME", "C:\\ALERT");
    m_->registry.SetString("HKLM\\SOFTWARE\\Harnock\\QuillbakAgent\\CurrentVersion\\Common", "Path", "C:\\AGENT");
    CSettings s = Run();
    EXPECT_TRUE(s.AlertExists());
    EXPECT_STREQ(s.AlertPath(), "C:\\ALERT\\");
    EXPECT_STREQ(s.CurrentAlertPath(), "C:\\ALERT\\");
    EXPECT_FALSE(s.ClientAgentExists());  // only for the agents
    CSettings agent = Run(36);
    EXPECT_TRUE(agent.ClientAgentExists());
    EXPECT_STREQ(agent.ClientAgentPath(), "C:\\AGENT\\");
    EXPECT_STREQ(agent.CurrentClientAgentPath(), "C:\\AGENT\\");
    EXPECT_FALSE(agent.AlertExists());  // only for the base product
}

TEST_F(SettingsRegistry, ADatabaseExistsWhenItsFolderHoldsADatabaseFile) {
    m_->registry.SetString(kBase + "\\Path", "DATABASE", "C:\\QB\\DATABASE");
    EXPECT_FALSE(Run().DBExists());  // no folder
    m_->MakeDirs("C:\\QB\\DATABASE");
    m_->PutFile("C:\\QB\\DATABASE\\README.TXT", "");
    EXPECT_FALSE(Run().DBExists());
    m_->PutFile("C:\\QB\\DATABASE\\QLJOBS.DBD", "");
    EXPECT_TRUE(Run().DBExists());
    EXPECT_FALSE(Run(36).DBExists());
}

TEST_F(SettingsRegistry, ANewerInstalledAlertBuild) {
    InstallDouble("NOTIFVER", "C:\\WINNT\\system32\\NOTIFVER.DLL");  // carries 412
    EXPECT_FALSE(Run().NewAlertExists());                            // nothing installed
    m_->registry.SetString(kAlert, "CurrentBuildNumber", "412");
    EXPECT_FALSE(Run().NewAlertExists());
    m_->registry.SetString(kAlert, "CurrentBuildNumber", "500");
    EXPECT_TRUE(Run().NewAlertExists());
    EXPECT_FALSE(Run(24, 1).NewAlertExists());  // not asked on removal
    // Without the version library this setup carries build 0.
    DeleteFileA("C:\\WINNT\\system32\\NOTIFVER.DLL");
    m_->registry.SetString(kAlert, "CurrentBuildNumber", "1");
    EXPECT_TRUE(Run().NewAlertExists());
}

TEST_F(SettingsRegistry, RemovalTakesTheRecordedSubType) {
    EXPECT_EQ(Run(24, 1).ProductSubType(), -1);  // no record: 0xFF sign-extended
    PutRecord(kOldProducts, "Quillbak", 0x0700, 3);
    EXPECT_EQ(Run(24, 1).ProductSubType(), 3);
    EXPECT_EQ(Run(24, 0).ProductSubType(), -1);  // an install run asks the medium
}

TEST_F(SettingsRegistry, UpgradeFromVersionsBelowSixSix) {
    EXPECT_FALSE(Run().IsUpgrade());
    PutRecord(kProducts, "Quillbak", 0x0605, 1);
    EXPECT_TRUE(Run().IsUpgrade());
    PutRecord(kProducts, "Quillbak", 0x0606, 1);
    EXPECT_FALSE(Run().IsUpgrade());
    PutRecord(kProducts, "Quillbak", 0x0000, 1);
    EXPECT_FALSE(Run().IsUpgrade());
    // The flag is only ever raised.
    PutRecord(kProducts, "Quillbak", 0x0200, 1);
    CSettings s = Run();
    PutRecord(kProducts, "Quillbak", 0x0700, 1);
    s.Initialize();
    EXPECT_TRUE(s.IsUpgrade());
}

}  // namespace
