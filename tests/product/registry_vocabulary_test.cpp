// The names of the product's registry layout: every class-wide constant of
// the product registry class with its exact text, the accessors of the
// former maker's roots, the keys the constants compose into, and the guard
// that keeps deletes and copies away from the top of a hive.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <string>
#include <vector>

#include "registry/HarnRegistry.h"

namespace {

struct Name {
    const char *member;
    const CString *value;
    const char *text;
};

#define NAME(m, t) {#m, &m, t}

// The constants are protected: a derived class reads them.
class Vocabulary : public CHarnRegistry {
public:
    Vocabulary() : CHarnRegistry(0) {}

    static std::vector<Name> Protected() {
        return {
            // Former maker's roots
            NAME(m_sOldHarnockKey, "SOFTWARE\\Harnock"),
            NAME(m_sOldQuillbakKey, "SOFTWARE\\Harnock\\Quillbak"),
            NAME(m_sOldQuillbakBaseKey, "SOFTWARE\\Harnock\\Quillbak\\CurrentVersion"),
            NAME(m_sOldProductsKey, "SOFTWARE\\Harnock\\Products"),
            NAME(m_sOldAgentKey, "SOFTWARE\\Harnock\\QuillbakAgent\\CurrentVersion\\Common"),
            // Fixed Windows and product keys
            NAME(m_sSNMPExtensionAgentsKey, "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\ExtensionAgents"),
            NAME(m_sEventLogKey, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application"),
            NAME(m_sEnvironmentKey, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"),
            NAME(m_sMicrosoftKey, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"),
            NAME(m_sProfileListKey, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList"),
            NAME(m_sSoftwareKey, "SOFTWARE"),
            NAME(m_sAlertKey, "SOFTWARE\\Veltmark\\ALERT\\CurrentVersion"),
            NAME(m_sVaxwallKey, "SYSTEM\\CurrentControlSet\\Services\\Vaxguard Server"),
            NAME(m_sShellExtApprovedKey, "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"),
            NAME(m_sUninstallKey, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"),
            NAME(m_sSharedDLLKey, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"),
            // Sub-key suffixes
            NAME(m_sPathSubKey, "\\Path"),
            NAME(m_sDomainSubKey, "\\DOMAIN"),
            NAME(m_sComponentsSubKey, "\\Components"),
            NAME(m_sUserSubKey, "\\User"),
            NAME(m_sDatabaseSubKey, "\\Database"),
            NAME(m_sSNMPSubKey, "\\SNMP"),
            // Key-name words
            NAME(m_sQuillbak, "QuillbakIT"),
            NAME(m_sHarnock, "Veltmark"),
            NAME(m_sALERT, "ALERT"),
            NAME(m_sProducts, "Products"),
            NAME(m_sOldProducts, "OldProducts"),
            NAME(m_sReactron, "Reactron"),
            NAME(m_sQuillbakUninstallKey, "QuillbakNT"),
            // Value names
            NAME(m_sHome, "HOME"),
            NAME(m_sDatabase, "DATABASE"),
            NAME(m_sLog, "LOG"),
            NAME(m_sTemp, "TEMP"),
            NAME(m_sManager, "MANAGER"),
            NAME(m_sServer, "SERVER"),
            NAME(m_sAdmin, "ADMIN"),
            NAME(m_sRegisteredName, "Name"),
            NAME(m_sRegisteredOrg, "Org"),
            NAME(m_sDatabaseType, "DatabaseType"),
            NAME(m_sPathname, "Pathname"),
            NAME(m_sRegisteredOrganization, "RegisteredOrganization"),
            NAME(m_sRegisteredOwner, "RegisteredOwner"),
            NAME(m_sProductQuillbak, "Quillbak"),
            NAME(m_sCurrentBuildNumber, "CurrentBuildNumber"),
            NAME(m_sCurrentBuild, "CurrentBuild"),
            NAME(m_sInstallDate, "InstallDate"),
            NAME(m_sControl, "CONTROL"),
            NAME(m_sEventLog, "EVENTLOG"),
            NAME(m_sRegisteredCompany, "Company"),
            NAME(m_sRegisteredLocation, "Location"),
            NAME(m_sEventMessageFile, "EventMessageFile"),
            NAME(m_sTypesSupported, "TypesSupported"),
            NAME(m_sAlert, "Alert Notification Server"),
            NAME(m_sDisplayName, "DisplayName"),
            NAME(m_sUninstallString, "UninstallString"),
            NAME(m_sProfileImagePath, "ProfileImagePath"),
            NAME(m_sPath, "Path"),
            NAME(m_sDaemonSize, "BackupDaemonBufferSize"),
            NAME(m_sPruningFlag, "EnableDatabasePruning"),
            NAME(m_sDelayFlag, "EnableDelayPruning"),
            NAME(m_sPruningDays, "PruningDays"),
            NAME(m_sPruningTime, "PruningTime"),
            NAME(m_sThreadingModel, "ThreadingModel"),
            // Shell extension and script file type
            NAME(m_sQuillbakShellExtensionCLSID, "{e72925c0-b105-11cf-906f-0080d8001326}"),
            NAME(m_sQuillbakShellExtension, "Veltmark QuillbakIT Shell Extension"),
            NAME(m_sQuillbakShellExtensionCLSIDKey, "CLSID\\{e72925c0-b105-11cf-906f-0080d8001326}"),
            NAME(m_sQuillbakShellExtensionInProcServerKey,
                 "CLSID\\{e72925c0-b105-11cf-906f-0080d8001326}\\InProcServer32"),
            NAME(m_sDrivePropertySheetHandler,
                 "Drive\\shellex\\PropertySheetHandlers\\{e72925c0-b105-11cf-906f-0080d8001326}"),
            NAME(m_sDriveMenuHandler, "Drive\\shellex\\ContextMenuHandlers\\{e72925c0-b105-11cf-906f-0080d8001326}"),
            NAME(m_sDirMenuHandler,
                 "Directory\\shellex\\ContextMenuHandlers\\{e72925c0-b105-11cf-906f-0080d8001326}"),
            NAME(m_sAllMenuHandler, "*\\shellex\\ContextMenuHandlers\\{e72925c0-b105-11cf-906f-0080d8001326}"),
            NAME(m_sQuillbakScriptExtension, ".qlx"),
            NAME(m_sQuillbakScriptFile, "QuillbakScriptFile"),
            NAME(m_sQuillbakScriptDefaultIcon, "QuillbakScriptFile\\DefaultIcon"),
            NAME(m_sQuillbakScriptFileShellExtension, "QuillbakScriptFile\\shellex"),
            NAME(m_sQuillbakScriptIconHandler, "QuillbakScriptFile\\shellex\\IconHandler"),
            NAME(m_sQuillbakScriptPropertySheetHandler, "QuillbakScriptFile\\shellex\\PropertySheetHandlers"),
            NAME(m_sQuillbakScriptMenuHandler, "QuillbakScriptFile\\shellex\\ContextMenuHandlers"),
            NAME(m_sQuillbakScriptPropertySheetHandlerCLSID,
                 "QuillbakScriptFile\\shellex\\PropertySheetHandlers\\{e72925c0-b105-11cf-906f-0080d8001326}"),
            NAME(m_sQuillbakScriptMenuHandlerCLSID,
                 "QuillbakScriptFile\\shellex\\ContextMenuHandlers\\{e72925c0-b105-11cf-906f-0080d8001326}"),
        };
    }

    static std::vector<Name> Public() {
        return {
            NAME(m_sDefaultHarnockKey, "SOFTWARE\\Veltmark"),
            NAME(m_sDefaultQuillbakKey, "SOFTWARE\\Veltmark\\QuillbakIT"),
            NAME(m_sDefaultQuillbakBaseKey, "SOFTWARE\\Veltmark\\QuillbakIT\\Base"),
            NAME(m_sDefaultProductsKey, "SOFTWARE\\Veltmark\\QuillbakIT\\Products"),
            NAME(m_sAgentSubKey, "\\ClientAgent\\Common"),
            NAME(m_sOldAlertKey, "SOFTWARE\\Harnock\\ALERT\\CurrentVersion"),
            NAME(m_sOldDSAgentProductsKey, "SOFTWARE\\Harnock\\DSAgent\\CurrentVersion\\Products"),
            NAME(m_sOldDBAgentsKey, "SOFTWARE\\Veltmark\\QuillbakIT\\OldDBAgents"),
            NAME(m_sVMOldProducts, "VMOldProducts"),
            NAME(m_sVMInstalledITProducts, "VM-InstalledITProducts"),
            NAME(m_sProductCode, "ProductCode"),
            NAME(m_sLNName, "LNNAME"),
            NAME(m_sRNName, "RNNAME"),
            NAME(m_sCatPath, "CATPATH"),
            NAME(m_sLNNameValue, "QUILLBAK"),
            NAME(m_sSNMPFolder, "qlsnmp"),
            NAME(m_sQLMgrSubKey, "\\QLMgr"),
            NAME(m_sCertifiedDevices, "CertifiedDevices"),
            NAME(m_sENews, "ENews"),
            NAME(m_sESupport, "ESupport"),
            NAME(m_sOnlineHelp, "OnlineHelp"),
            NAME(m_sProductPanorel125, "Panorel125Backup"),
            NAME(m_sBaseAdminKey, "Admin"),
            NAME(m_sBaseTapeEngineKey, "TapeEngine"),
            NAME(m_sBaseDBAdminKey, "DBAdmin"),
            NAME(m_sBaseLogKey, "Log"),
            NAME(m_sBaseTaskKey, "Task"),
            NAME(m_sBaseLastFullBackupKey, "LastFullBackup"),
            NAME(m_sBaseLastImageBackupKey, "LastImageBackup"),
            NAME(m_sBaseServerRecordKey, "ServerRecord"),
            NAME(m_sBaseSystemSettingKey, "SystemSetting"),
            NAME(m_sAppWizardKey, "Software\\Local AppWizard-Generated Applications"),
            NAME(m_sCentralDBConfigKey, "QuillbakIT Central Database Configuration"),
        };
    }

    static std::string Maker() { return (LPCSTR)m_sHarnockKey; }
    static std::string Base() { return (LPCSTR)m_sQuillbakBaseKey; }
    static std::string Products() { return (LPCSTR)m_sProductsKey; }
    static std::string Agent() { return (LPCSTR)m_sAgentKey; }

    // Keys of the product's layout, composed as the registry code composes
    // them, with the branded roots of the last construction.
    static std::vector<std::pair<std::string, std::string>> Layout() {
        return {
            {(LPCSTR)(m_sQuillbakBaseKey + m_sPathSubKey), "SOFTWARE\\Veltmark\\QuillbakIT\\Base\\Path"},
            {(LPCSTR)(m_sQuillbakBaseKey + m_sUserSubKey), "SOFTWARE\\Veltmark\\QuillbakIT\\Base\\User"},
            {(LPCSTR)(m_sQuillbakBaseKey + m_sComponentsSubKey), "SOFTWARE\\Veltmark\\QuillbakIT\\Base\\Components"},
            {(LPCSTR)(m_sQuillbakBaseKey + m_sDatabaseSubKey), "SOFTWARE\\Veltmark\\QuillbakIT\\Base\\Database"},
            {(LPCSTR)(m_sQuillbakBaseKey + m_sSNMPSubKey), "SOFTWARE\\Veltmark\\QuillbakIT\\Base\\SNMP"},
            {(LPCSTR)(m_sQuillbakBaseKey + m_sQLMgrSubKey), "SOFTWARE\\Veltmark\\QuillbakIT\\Base\\QLMgr"},
            {(LPCSTR)(m_sQuillbakKey + "\\" + m_sOldProducts), "SOFTWARE\\Veltmark\\QuillbakIT\\OldProducts"},
            {(LPCSTR)(m_sQuillbakKey + "\\" + m_sVMOldProducts), "SOFTWARE\\Veltmark\\QuillbakIT\\VMOldProducts"},
            {(LPCSTR)(m_sQuillbakKey + "\\" + m_sReactron), "SOFTWARE\\Veltmark\\QuillbakIT\\Reactron"},
            {(LPCSTR)(m_sHarnockKey + "\\" + m_sVMInstalledITProducts + "\\" + m_sQuillbak),
             "SOFTWARE\\Veltmark\\VM-InstalledITProducts\\QuillbakIT"},
            {(LPCSTR)(m_sAlertKey + m_sPathSubKey), "SOFTWARE\\Veltmark\\ALERT\\CurrentVersion\\Path"},
            {(LPCSTR)(m_sAlertKey + m_sUserSubKey), "SOFTWARE\\Veltmark\\ALERT\\CurrentVersion\\User"},
            {(LPCSTR)(m_sOldQuillbakBaseKey + m_sPathSubKey), "SOFTWARE\\Harnock\\Quillbak\\CurrentVersion\\Path"},
            {(LPCSTR)(m_sOldAlertKey + m_sPathSubKey), "SOFTWARE\\Harnock\\ALERT\\CurrentVersion\\Path"},
            {(LPCSTR)(m_sUninstallKey + "\\" + m_sQuillbakUninstallKey),
             "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuillbakNT"},
            {(LPCSTR)(m_sEventLogKey + "\\" + m_sAlert),
             "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Alert Notification Server"},
            {(LPCSTR)(m_sSoftwareKey + "\\" + m_sHarnock), "SOFTWARE\\Veltmark"},
            {(LPCSTR)(m_sAppWizardKey + "\\" + m_sCentralDBConfigKey),
             "Software\\Local AppWizard-Generated Applications\\QuillbakIT Central Database Configuration"},
        };
    }
};

#undef NAME

TEST(RegistryVocabulary, EveryConstantHasItsExactText) {
    for (const Name &n : Vocabulary::Protected()) EXPECT_STREQ((LPCSTR)*n.value, n.text) << n.member;
    for (const Name &n : Vocabulary::Public()) EXPECT_STREQ((LPCSTR)*n.value, n.text) << n.member;
}

TEST(RegistryVocabulary, AccessorsOfTheFormerRoots) {
    EXPECT_STREQ(CHarnRegistry::OldHarnockKey(), "SOFTWARE\\Harnock");
    EXPECT_STREQ(CHarnRegistry::OldQuillbakKey(), "SOFTWARE\\Harnock\\Quillbak");
    EXPECT_STREQ(CHarnRegistry::OldQuillbakBaseKey(), "SOFTWARE\\Harnock\\Quillbak\\CurrentVersion");
    EXPECT_STREQ(CHarnRegistry::OldProductsKey(), "SOFTWARE\\Harnock\\Products");
    EXPECT_STREQ(CHarnRegistry::OldAgentKey(), "SOFTWARE\\Harnock\\QuillbakAgent\\CurrentVersion\\Common");
    EXPECT_NE(CHarnRegistry::GetQuillbakKey(), nullptr);
}

TEST(RegistryVocabulary, TheLayoutComposesFromTheConstantsUnderTheBuiltInRoots) {
    Vocabulary v;  // no branding library on the machine
    EXPECT_EQ(Vocabulary::Maker(), "SOFTWARE\\Veltmark");
    EXPECT_EQ(Vocabulary::Products(), "SOFTWARE\\Veltmark\\QuillbakIT\\Products");
    EXPECT_EQ(Vocabulary::Agent(), "SOFTWARE\\Veltmark\\QuillbakIT\\ClientAgent\\Common");
    for (const auto &key : Vocabulary::Layout()) {
        EXPECT_EQ(key.first, key.second);
        EXPECT_TRUE(CHarnRegistry::IsSafeKeyPath(key.first.c_str())) << key.first;
    }
}

// ---- the guard of deletes and copies --------------------------------------------------------
TEST(RegistryKeyPathGuard, PathsThatWouldReachTheTopOfAHive) {
    const char *unsafe[] = {
        "",
        "\\",
        "\\\\\\",
        "\\Path",                  // an empty base key before its suffix
        "\\ClientAgent\\Common",   // the agent key of an empty product root
        "\\QuillbakIT",            // an empty maker root, a backslash and a word
        "SOFTWARE\\Veltmark\\",    // a root, a backslash and an empty word
        "SOFTWARE\\\\Veltmark",
        "HKEY_LOCAL_MACHINE",
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltmark",
        "hkey_classes_root\\.qlx",
        "HKLM",
        "hkcu\\Software\\Veltmark",
        "HKCR",
        "HKU\\.DEFAULT\\Software",
        "SOFTWARE",
        "software",
        "Software",
        "SYSTEM",
        "HARDWARE",
        "SAM",
        "SECURITY",
        ".DEFAULT",
        "CLSID",
        "*",
        "Drive",
        "Directory",
        "Environment",
    };
    EXPECT_FALSE(CHarnRegistry::IsSafeKeyPath(NULL));
    for (const char *path : unsafe) EXPECT_FALSE(CHarnRegistry::IsSafeKeyPath(path)) << path;
}

TEST(RegistryKeyPathGuard, PathsOfTheProductsOwnKeys) {
    const char *safe[] = {
        "SOFTWARE\\Veltmark",
        "SOFTWARE\\Veltmark\\QuillbakIT\\Base",
        "SOFTWARE\\Harnock\\Quillbak\\CurrentVersion",
        "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quillbak",
        ".qlx",
        "QuillbakScriptFile",
        "CLSID\\{e72925c0-b105-11cf-906f-0080d8001326}",
        "*\\shellex\\ContextMenuHandlers\\{e72925c0-b105-11cf-906f-0080d8001326}",
        "Software\\Local AppWizard-Generated Applications",
        "Software\\Veltmark\\QuillbakIT",
        "SOFTWARE\\Tools",  // a top-level name deeper down is only a word
        "HKEYS",
    };
    for (const char *path : safe) EXPECT_TRUE(CHarnRegistry::IsSafeKeyPath(path)) << path;
}

TEST(RegistryKeyPathGuard, ABackslashInsideADoubleByteCharacterIsNoSeparator) {
    winsim::LocalMachine().codePage = 932;
    // 0x95 0x5C is one character: the path ends in it, not in a separator.
    EXPECT_TRUE(CHarnRegistry::IsSafeKeyPath("SOFTWARE\\\x95\\"));
    EXPECT_FALSE(CHarnRegistry::IsSafeKeyPath("SOFTWARE\\\x95\\\\"));
    EXPECT_TRUE(CHarnRegistry::IsSafeKeyPath("\x95\\"));
}

}  // namespace
