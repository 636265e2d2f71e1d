// What the product registers with Windows and its neighbours: product
// records, component flags, the maker-wide entry, shared-file counts, the
// Add/Remove Programs entry, the SNMP extension agent, the shell extension
// and script file type, the tuning values; and that unregistering gives
// back the registry as it was.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <cstring>
#include <string>

#include "registry/HarnRegistry.h"

namespace {

const std::string kRoot = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT";
const std::string kBase = kRoot + "\\Base";
const std::string kProducts = kRoot + "\\Products";
const std::string kOldProducts = "HKLM\\SOFTWARE\\Harnock\\Products";
const std::string kOldBase = "HKLM\\SOFTWARE\\Harnock\\Quillbak\\CurrentVersion";
const std::string kAgents = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\ExtensionAgents";
const std::string kShared = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::string kUninstall = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kVMIT = "HKLM\\SOFTWARE\\Veltmark\\VM-InstalledITProducts";
const std::string kClsid = "{e72925c0-b105-11cf-906f-0080d8001326}";

class Probe : public CHarnRegistry {
public:
    Probe(CSettings &settings, int write) : CHarnRegistry(settings, write, NULL) {}
    explicit Probe(int read = 0) : CHarnRegistry(read, NULL) {}
    using CHarnRegistry::IsQuillbakComponentInstalled;
};

winsim::Registry &Reg() { return winsim::LocalMachine().registry; }

tagProductStruct Record(BYTE major, BYTE minor, WORD build = 100, BYTE subType = 2) {
    tagProductStruct r;
    memset(&r, 0, sizeof r);
    r.dwProductCode = 24;
    r.dwComponents = 15;
    r.dwVersion = ((DWORD)build << 16) | ((DWORD)major << 8) | minor;
    r.bySubType = subType;
    r.dwUserLevel = 5;
    memcpy(r.szSerial, "00000001", 9);
    r.dwCrc = CHarnRegistry::ProductRecordCrc(&r);
    return r;
}

void PutRecord(const std::string &key, const std::string &name, const tagProductStruct &r) {
    Reg().Set(key, name, REG_BINARY, &r, sizeof r);
}

std::string Text(const std::string &key, const std::string &value) {
    std::string text;
    return Reg().GetString(key, value, text) ? text : "<none>";
}

DWORD Number(const std::string &key, const std::string &value) {
    DWORD n = 0xDEADBEEF;
    Reg().GetDword(key, value, n);
    return n;
}

const winsim::RegValue *Value(const std::string &key, const std::string &value) {
    winsim::RegKey *k = Reg().Find(key);
    return k ? k->FindValue(value) : nullptr;
}

std::string Export(const std::string &key = "HKEY_LOCAL_MACHINE") { return Reg().ExportReg(key); }

// The keys every Windows NT 4.0 or 2000 machine has, beneath which the
// product adds its shell extension.
void SeedWindowsShellKeys() {
    for (const char *k : {"HKCR\\*\\shellex\\ContextMenuHandlers", "HKCR\\CLSID",
                          "HKCR\\Directory\\shellex\\ContextMenuHandlers", "HKCR\\Drive\\shellex\\ContextMenuHandlers",
                          "HKCR\\Drive\\shellex\\PropertySheetHandlers",
                          "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"})
        Reg().Create(k);
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        memset(&info, 0, sizeof info);
        info.lProductType = 24;
        winsim::LocalMachine().AddDrive('D');
    }
    CSettings Settings() {
        CSettings s(&info, 0);
        s.QuillbakPath("D:\\Backup");
        s.InstallManager(TRUE);
        s.InstallServer(TRUE);
        s.InstallAdmin(TRUE);
        s.ProductSubType(2);
        return s;
    }
    void AddSnmp(DWORD state) {
        winsim::ServiceConfig snmp;
        snmp.name = "SNMP";
        snmp.displayName = "SNMP Service";
        snmp.imagePath = "%SystemRoot%\\System32\\snmp.exe";
        winsim::AddService(winsim::LocalMachine(), snmp, state);
        Reg().Create(kAgents);
    }
    tagSETUP_INFO info;
};

// ---- product records ------------------------------------------------------------------------------
TEST_F(Registration, RegisterAndUnregisterAProduct) {
    Probe roots;
    tagProductStruct r = Record(7, 0);
    EXPECT_EQ(CHarnRegistry::RegisterProduct("Quillbak", &r), 1);
    const winsim::RegValue *v = Value(kProducts, "Quillbak");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->type, (DWORD)REG_BINARY);
    ASSERT_EQ(v->data.size(), 49u);
    EXPECT_EQ(memcmp(v->data.data(), &r, 49), 0);
    EXPECT_EQ(CHarnRegistry::IsProductInstalled("Quillbak", (HKEY)NULL), 1);
    EXPECT_EQ(roots.IsProductInstalled("Quillbak"), 1);
    EXPECT_EQ(roots.IsProductInstalled("Quillbak", 7, 0), 1);
    EXPECT_EQ(roots.IsProductInstalled("Quillbak", 7, 1), 0);
    EXPECT_EQ(roots.IsProductInstalled("Quillbak", 6, 0), 0);

    tagProductStruct other = Record(2, 0);
    ASSERT_EQ(CHarnRegistry::RegisterProduct("NTAgent", &other), 1);
    EXPECT_EQ(CHarnRegistry::UnregisterProduct("Quillbak"), 1);
    EXPECT_EQ(Value(kProducts, "Quillbak"), nullptr);
    ASSERT_NE(Reg().Find(kProducts), nullptr);  // still holds the agent
    EXPECT_EQ(CHarnRegistry::UnregisterProduct("NTAgent"), 1);
    EXPECT_EQ(Reg().Find(kProducts), nullptr);
    EXPECT_NE(Reg().Find(kRoot), nullptr);
    // Nothing to remove is no failure.
    EXPECT_EQ(CHarnRegistry::UnregisterProduct("NTAgent"), 1);
    EXPECT_EQ(CHarnRegistry::RegisterProduct("", &r), 0);
    EXPECT_EQ(CHarnRegistry::RegisterProduct("Quillbak", NULL), 0);
}

TEST_F(Registration, AFormerMakersRecordCountsAndIsUnregisteredThere) {
    Probe roots;
    PutRecord(kOldProducts, "Quillbak", Record(6, 5));
    EXPECT_EQ(CHarnRegistry::IsProductInstalled("Quillbak", (HKEY)NULL), 1);
    EXPECT_EQ(roots.IsProductInstalled("Quillbak", 6, 5), 1);
    EXPECT_EQ(CHarnRegistry::IsProductInstalled("Other", (HKEY)NULL), 0);
    Reg().Create(kOldProducts + "\\Sub");  // a key that keeps Products alive
    EXPECT_EQ(roots.UnregisterHarnockProduct("Quillbak"), 1);
    EXPECT_NE(Reg().Find(kOldProducts), nullptr);
    Reg().Delete(kOldProducts + "\\Sub");
    PutRecord(kOldProducts, "Quillbak", Record(6, 5));
    EXPECT_EQ(roots.UnregisterHarnockProduct("Quillbak"), 1);
    EXPECT_EQ(Reg().Find(kOldProducts), nullptr);
    EXPECT_NE(Reg().Find("HKLM\\SOFTWARE\\Harnock"), nullptr);
}

TEST_F(Registration, SavePreviousRecordChoosesTheKeyByVersion) {
    struct Case {
        BYTE major, minor;
        int result;
        const char *target;
    } const cases[] = {
        {6, 5, 1, "OldProducts"}, {6, 6, 1, "VMOldProducts"}, {5, 9, 1, "OldProducts"},
        {5, 0, 1, "OldProducts"}, {7, 0, 0, nullptr},         {7, 1, 0, nullptr},
        {8, 0, 0, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
        Reg().Delete(kRoot);
        Reg().Delete("HKLM\\SOFTWARE\\Harnock");
        Probe roots;
        const tagProductStruct r = Record(c.major, c.minor);
        PutRecord(kOldProducts, "Quillbak", r);
        EXPECT_EQ(roots.SavePerviousRegisterProduct("Quillbak", 7, 0), c.result);
        if (c.target) {
            const winsim::RegValue *v = Value(kRoot + "\\" + c.target, "Quillbak");
            ASSERT_NE(v, nullptr);
            EXPECT_EQ(memcmp(v->data.data(), &r, 49), 0);
            // Moved: the former maker's emptied products key is gone.
            EXPECT_EQ(Reg().Find(kOldProducts), nullptr);
        } else {
            EXPECT_EQ(Reg().Find(kRoot + "\\OldProducts"), nullptr);
            EXPECT_EQ(Reg().Find(kRoot + "\\VMOldProducts"), nullptr);
            EXPECT_NE(Value(kOldProducts, "Quillbak"), nullptr);
        }
    }
    Probe roots;
    EXPECT_EQ(roots.SavePerviousRegisterProduct("Nothing", 7, 0), 0);
}

TEST_F(Registration, SavePreviousRecordKeepsTheOldRecordWhenTheCopyFails) {
    Probe roots;
    PutRecord(kOldProducts, "Quillbak", Record(6, 5));
    winsim::InjectFault("RegSetValueExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(roots.SavePerviousRegisterProduct("Quillbak", 7, 0), 0);
    EXPECT_NE(Value(kOldProducts, "Quillbak"), nullptr);
}

// ---- components and neighbours --------------------------------------------------------------------
TEST_F(Registration, ComponentFlagsFallBackToTheFormerKey) {
    Probe roots;
    Reg().SetDword(kOldBase + "\\Components", "SERVER", 1);
    Reg().SetDword(kOldBase + "\\Components", "ADMIN", 2);
    EXPECT_EQ(CHarnRegistry::IsQuillbakServerInstalled((HKEY)NULL), 1);
    EXPECT_EQ(CHarnRegistry::IsQuillbakAdminInstalled((HKEY)NULL), 0);  // only 1 means installed
    EXPECT_EQ(CHarnRegistry::IsQuillbakManagerInstalled((HKEY)NULL), 0);
    Reg().SetDword(kBase + "\\Components", "SERVER", 0);
    Reg().SetDword(kBase + "\\Components", "MANAGER", 1);
    EXPECT_EQ(roots.IsQuillbakServerInstalled(), 0);  // read in the branded key: no fallback
    EXPECT_EQ(roots.IsQuillbakManagerInstalled(), 1);
    Reg().SetString(kBase + "\\Components", "ADMIN", "1");
    Reg().SetDword(kOldBase + "\\Components", "ADMIN", 1);
    EXPECT_EQ(roots.IsQuillbakAdminInstalled(), 1);  // a text is no flag: the former key answers
    winsim::InjectFault("RegOpenKeyExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    EXPECT_EQ(roots.IsQuillbakManagerInstalled(), 0);
}

TEST_F(Registration, AntiVirusAlertFileOtherThanTheProductsOwn) {
    winsim::Machine &m = winsim::LocalMachine();
    EXPECT_EQ(CHarnRegistry::VaxwallExists(NULL), 0);
    m.PutFile("C:\\WINNT\\quillbak.alt", "x");
    EXPECT_EQ(CHarnRegistry::VaxwallExists(NULL), 0);
    m.MakeDirs("C:\\WINNT\\FOLDER.ALT");
    EXPECT_EQ(CHarnRegistry::VaxwallExists(NULL), 0);
    m.PutFile("C:\\WINNT\\VAXGUARD.ALT", "x");
    EXPECT_EQ(CHarnRegistry::VaxwallExists((HKEY)1), 1);
    winsim::InjectFault("GetWindowsDirectoryA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(CHarnRegistry::VaxwallExists(NULL), 0);
}

// ---- maker-wide entry ----------------------------------------------------------------------------
TEST_F(Registration, InstalledProductsEntryWithTerminatedTexts) {
    CSettings s = Settings();
    info.lProductType = 24;
    Probe r(s, 0);
    s.ProductSubType(1);
    Probe basic(s, 0);
    EXPECT_EQ(basic.SetVMITProduct(), 1);
    EXPECT_EQ(Reg().Find(kVMIT), nullptr);
    EXPECT_EQ(r.SetVMITProduct(), 1);
    EXPECT_EQ(Text(kVMIT + "\\QuillbakIT", "DisplayName"), "QuillbakIT");
    const winsim::RegValue *name = Value(kVMIT + "\\QuillbakIT", "DisplayName");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->data.size(), 11u);
    EXPECT_EQ(name->data.back(), 0);
    EXPECT_EQ(Value(kVMIT + "\\QuillbakIT", "ProductCode")->data.size(), 1u);  // empty code, ended

    Reg().SetString(kVMIT + "\\OtherIT", "DisplayName", "OtherIT");
    r.DeleteVMITProductBranch();
    EXPECT_EQ(Reg().Find(kVMIT + "\\QuillbakIT"), nullptr);
    EXPECT_NE(Reg().Find(kVMIT + "\\OtherIT"), nullptr);
    // The list stays even when empty.
    Reg().Delete(kVMIT + "\\OtherIT");
    r.DeleteVMITProductBranch();
    EXPECT_NE(Reg().Find(kVMIT), nullptr);
    // Failing writes change nothing of the result.
    winsim::InjectFault("RegSetValueExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    EXPECT_EQ(r.SetVMITProduct(), 1);
}

// ---- shared-file counts ----------------------------------------------------------------------------
TEST_F(Registration, SharedFileCounts) {
    const std::string file = "C:\\WINNT\\system32\\QLSHARE.DLL";
    EXPECT_EQ(CHarnRegistry::IncrementSharedDLLCount(file.c_str(), 0), 0);  // no key: not created
    EXPECT_EQ(Reg().Find(kShared), nullptr);
    Reg().Create(kShared);
    EXPECT_EQ(CHarnRegistry::IncrementSharedDLLCount(file.c_str(), 0), 1);
    EXPECT_EQ(CHarnRegistry::IncrementSharedDLLCount(file.c_str(), 0), 1);
    EXPECT_EQ(Number(kShared, file), 2u);
    EXPECT_EQ(Value(kShared, file)->type, (DWORD)REG_DWORD);
    Reg().SetDword(kShared, file, 5);
    EXPECT_EQ(CHarnRegistry::IncrementSharedDLLCount(file.c_str(), 1), 1);
    EXPECT_EQ(Number(kShared, file), 5u);
    Reg().SetDword(kShared, file, 2);
    EXPECT_EQ(CHarnRegistry::DecrementSharedDLLCount(file.c_str()), 1u);
    EXPECT_EQ(Number(kShared, file), 1u);
    EXPECT_EQ(CHarnRegistry::DecrementSharedDLLCount(file.c_str()), 0u);
    EXPECT_EQ(Value(kShared, file), nullptr);
    EXPECT_EQ(CHarnRegistry::DecrementSharedDLLCount(file.c_str()), 0u);
    EXPECT_EQ(CHarnRegistry::IncrementSharedDLLCount(file.c_str(), 1), 1);  // missing: 1 either way
    EXPECT_EQ(Number(kShared, file), 1u);
}

TEST_F(Registration, ACountOfZeroStaysZero) {
    const std::string file = "C:\\Q\\A.DLL";
    Reg().SetDword(kShared, file, 0);
    EXPECT_EQ(CHarnRegistry::DecrementSharedDLLCount(file.c_str()), 0u);
    EXPECT_EQ(Number(kShared, file), 0u);
    // A failed write keeps the count that is stored.
    Reg().SetDword(kShared, file, 3);
    winsim::InjectFault("RegSetValueExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(CHarnRegistry::DecrementSharedDLLCount(file.c_str()), 3u);
    EXPECT_EQ(Number(kShared, file), 3u);
}

// ---- Add/Remove Programs ---------------------------------------------------------------------------
TEST_F(Registration, UninstallEntryQuotesAProgramPathWithBlanks) {
    strcpy(info.szProductName, "QuillbakIT");
    CSettings s = Settings();
    s.QuillbakPath("C:\\Program Files\\Quillbak");
    Probe r(s, 0);
    EXPECT_EQ(r.CreateQuillbakUninstallKey(), 1);
    EXPECT_EQ(Text(kUninstall + "\\QuillbakNT", "DisplayName"), "QuillbakIT");
    EXPECT_EQ(Text(kUninstall + "\\QuillbakNT", "UninstallString"),
              "\"C:\\Program Files\\Quillbak\\UNINQL.EXE\" -U -dQLSETGUI.DLL");
    EXPECT_EQ(Value(kUninstall + "\\QuillbakNT", "DisplayName")->data.size(), 11u);
    s.QuillbakPath("D:\\Backup");
    Probe plain(s, 0);
    EXPECT_EQ(plain.CreateQuillbakUninstallKey(), 1);
    EXPECT_EQ(Text(kUninstall + "\\QuillbakNT", "UninstallString"), "D:\\Backup\\UNINQL.EXE -U -dQLSETGUI.DLL");
    EXPECT_EQ(plain.DeleteQuillbakUninstallKey(), 1);
    EXPECT_EQ(Reg().Find(kUninstall + "\\QuillbakNT"), nullptr);
    EXPECT_NE(Reg().Find(kUninstall), nullptr);
}

TEST_F(Registration, UninstallEntryEdgeCases) {
    EXPECT_EQ(CHarnRegistry::CreateUninstallKey("X", "X Product", ""), 1);
    EXPECT_EQ(Value(kUninstall + "\\X", "UninstallString")->data.size(), 1u);
    // DisplayName failing: no UninstallString.
    winsim::InjectFault("RegSetValueExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(CHarnRegistry::CreateUninstallKey("Y", "Y Product", "y.exe"), 0);
    EXPECT_EQ(Value(kUninstall + "\\Y", "UninstallString"), nullptr);
    EXPECT_EQ(CHarnRegistry::CreateUninstallKey("", "Z", "z.exe"), 0);
    EXPECT_EQ(CHarnRegistry::DeleteUninstallKey(""), 0);
    EXPECT_NE(Reg().Find(kUninstall), nullptr);
    // Older than NT 4.0: nothing, successfully.
    winsim::LocalMachine().majorVersion = 3;
    EXPECT_EQ(CHarnRegistry::CreateUninstallKey("W", "W", "w.exe"), 1);
    EXPECT_EQ(Reg().Find(kUninstall + "\\W"), nullptr);
}

// ---- SNMP ---------------------------------------------------------------------------------------------
TEST_F(Registration, SnmpNumbering) {
    Probe roots;
    EXPECT_EQ(CHarnRegistry::SetSNMPRegistry("SOFTWARE\\A\\SNMP"), 1);  // SNMP absent
    EXPECT_EQ(Reg().Find(kAgents), nullptr);
    Reg().Create(kAgents);
    EXPECT_EQ(CHarnRegistry::SetSNMPRegistry("SOFTWARE\\A\\SNMP"), 1);
    EXPECT_EQ(Text(kAgents, "1"), "SOFTWARE\\A\\SNMP");
    EXPECT_EQ(Value(kAgents, "1")->data.size(), strlen("SOFTWARE\\A\\SNMP") + 1);
    Reg().Delete(kAgents);
    Reg().SetString(kAgents, "1", "SOFTWARE\\Microsoft\\LANManagerMIB2Agent\\CurrentVersion");
    Reg().SetString(kAgents, "2", "SOFTWARE\\Microsoft\\RFC1156Agent\\CurrentVersion");
    Reg().SetString(kAgents, "7", "SOFTWARE\\Other\\Agent");
    EXPECT_EQ(CHarnRegistry::SetSNMPRegistry("SOFTWARE\\B\\SNMP"), 1);
    EXPECT_EQ(Text(kAgents, "8"), "SOFTWARE\\B\\SNMP");
    const std::string before = Export(kAgents);
    EXPECT_EQ(CHarnRegistry::SetSNMPRegistry("SOFTWARE\\B\\SNMP"), 1);
    EXPECT_EQ(Export(kAgents), before);
    // A different letter case is another path.
    EXPECT_EQ(CHarnRegistry::SetSNMPRegistry("software\\b\\snmp"), 1);
    EXPECT_EQ(Text(kAgents, "9"), "software\\b\\snmp");
}

TEST_F(Registration, SnmpNumberingSeesAValueLongerThanItsBuffer) {
    Reg().SetString(kAgents, "1", "SOFTWARE\\A");
    Reg().SetString(kAgents, "12", std::string(300, 'x'));  // another agent's long path
    Reg().SetString(kAgents, "3", "SOFTWARE\\C");
    EXPECT_EQ(CHarnRegistry::SetSNMPRegistry("SOFTWARE\\D"), 1);
    EXPECT_EQ(Text(kAgents, "13"), "SOFTWARE\\D");
    EXPECT_EQ(Text(kAgents, "12"), std::string(300, 'x'));
    // A list that cannot be read is not written blind.
    winsim::InjectFault("RegEnumValueA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(CHarnRegistry::SetSNMPRegistry("SOFTWARE\\E"), 0);
    EXPECT_EQ(Reg().Find(kAgents)->values.size(), 4u);
}

TEST_F(Registration, SnmpRemovalRestartsOnlyARunningService) {
    AddSnmp(SERVICE_RUNNING);
    Reg().SetString(kAgents, "1", "SOFTWARE\\Microsoft\\RFC1156Agent\\CurrentVersion");
    Reg().SetString(kAgents, "2", "SOFTWARE\\Q\\SNMP");
    Reg().SetString(kAgents, "5", "SOFTWARE\\Q\\SNMP");
    Reg().SetString(kAgents, "6", "SOFTWARE\\q\\snmp");
    const unsigned starts = winsim::CallCount("StartServiceA");
    EXPECT_EQ(CHarnRegistry::DeleteSNMPRegistry("SOFTWARE\\Q\\SNMP"), 1);
    EXPECT_EQ(Value(kAgents, "2"), nullptr);
    EXPECT_EQ(Value(kAgents, "5"), nullptr);
    EXPECT_NE(Value(kAgents, "1"), nullptr);
    EXPECT_NE(Value(kAgents, "6"), nullptr);
    EXPECT_EQ(winsim::CallCount("StartServiceA"), starts + 1);
    EXPECT_EQ(winsim::ServiceState(winsim::LocalMachine(), "SNMP"), (DWORD)SERVICE_RUNNING);

    // Stopped before: stays stopped.
    Reg().SetString(kAgents, "2", "SOFTWARE\\Q\\SNMP");
    winsim::SetServiceScript(winsim::LocalMachine(), "SNMP", winsim::ServiceScript());
    ASSERT_EQ(CHarnRegistry::DeleteSNMPRegistry("SOFTWARE\\other"), 1);  // nothing matches: nothing stopped
    EXPECT_EQ(winsim::ServiceState(winsim::LocalMachine(), "SNMP"), (DWORD)SERVICE_RUNNING);
}

TEST_F(Registration, SnmpRemovalLeavesAStoppedServiceStopped) {
    AddSnmp(SERVICE_STOPPED);
    Reg().SetString(kAgents, "3", "SOFTWARE\\Q\\SNMP");
    EXPECT_EQ(CHarnRegistry::DeleteSNMPRegistry("SOFTWARE\\Q\\SNMP"), 1);
    EXPECT_EQ(Value(kAgents, "3"), nullptr);
    EXPECT_EQ(winsim::CallCount("StartServiceA"), 0u);
    EXPECT_EQ(winsim::ServiceState(winsim::LocalMachine(), "SNMP"), (DWORD)SERVICE_STOPPED);
    // A deletion that fails is reported.
    Reg().SetString(kAgents, "3", "SOFTWARE\\Q\\SNMP");
    winsim::InjectFault("RegDeleteValueA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(CHarnRegistry::DeleteSNMPRegistry("SOFTWARE\\Q\\SNMP"), 0);
    EXPECT_NE(Value(kAgents, "3"), nullptr);
    // No agents key: SNMP is not installed, nothing to do.
    Reg().Delete("HKLM\\SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters");
    EXPECT_EQ(CHarnRegistry::DeleteSNMPRegistry("SOFTWARE\\Q\\SNMP"), 1);
}

TEST_F(Registration, ProductSnmpKeyBesideOtherAgents) {
    AddSnmp(SERVICE_RUNNING);
    Reg().SetString(kAgents, "1", "SOFTWARE\\Microsoft\\LANManagerMIB2Agent\\CurrentVersion");
    Reg().SetString(kAgents, "4", "SOFTWARE\\Harnock\\Quillbak\\CurrentVersion\\SNMP");  // former layout
    CSettings s = Settings();
    Probe r(s, 0);
    EXPECT_EQ(r.CreateQuillbakSNMPKey(), 1);
    EXPECT_EQ(Text(kBase + "\\SNMP", "Pathname"), "D:\\Backup\\qlsnmp");
    EXPECT_EQ(Value(kAgents, "4"), nullptr);
    EXPECT_EQ(Text(kAgents, "2"), "SOFTWARE\\Veltmark\\QuillbakIT\\Base\\SNMP");
    EXPECT_EQ(Text(kAgents, "1"), "SOFTWARE\\Microsoft\\LANManagerMIB2Agent\\CurrentVersion");
    EXPECT_EQ(r.DeleteQuillbakSNMPKey(), 1);
    EXPECT_EQ(Reg().Find(kAgents)->values.size(), 1u);
    // The path value failing skips the registration.
    winsim::InjectFault("RegSetValueExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(r.CreateQuillbakSNMPKey(), 0);
    EXPECT_EQ(Reg().Find(kAgents)->values.size(), 1u);
}

// ---- shell extension ----------------------------------------------------------------------------------
TEST_F(Registration, ShellExtensionAndScriptFileType) {
    const std::string hkcr = "HKCR\\";
    EXPECT_EQ(CHarnRegistry::SetQuillbakShellExtension("D:\\Q"), 1);
    EXPECT_EQ(Text("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved", kClsid),
              "Veltmark QuillbakIT Shell Extension");
    EXPECT_EQ(Text(hkcr + "CLSID\\" + kClsid, ""), "Veltmark QuillbakIT Shell Extension");
    EXPECT_EQ(Text(hkcr + "CLSID\\" + kClsid + "\\InProcServer32", ""), "D:\\Q\\QLSHELL.DLL");
    EXPECT_EQ(Text(hkcr + "CLSID\\" + kClsid + "\\InProcServer32", "ThreadingModel"), "Apartment");
    winsim::RegKey *may = Reg().Find(hkcr + "CLSID\\" + kClsid + "\\ShellEx\\MayChangeDefaultMenu");
    ASSERT_NE(may, nullptr);
    EXPECT_TRUE(may->values.empty());
    for (const char *k : {"Drive\\shellex\\PropertySheetHandlers\\", "Drive\\shellex\\ContextMenuHandlers\\",
                          "Directory\\shellex\\ContextMenuHandlers\\", "*\\shellex\\ContextMenuHandlers\\"}) {
        const winsim::RegValue *v = Value(hkcr + k + kClsid, "");
        ASSERT_NE(v, nullptr) << k;
        EXPECT_EQ(v->data.size(), 1u) << k;  // an empty text with its NUL
    }
    EXPECT_EQ(Text(hkcr + ".qlx", ""), "QuillbakScriptFile");
    EXPECT_EQ(Text(hkcr + "QuillbakScriptFile", ""), "QuillbakScriptFile");
    EXPECT_EQ(Text(hkcr + "QuillbakScriptFile\\DefaultIcon", ""), "");
    EXPECT_EQ(Text(hkcr + "QuillbakScriptFile\\shellex\\IconHandler", ""), kClsid);
    EXPECT_EQ(Text(hkcr + "QuillbakScriptFile\\shellex\\PropertySheetHandlers\\" + kClsid, ""), "");
    EXPECT_EQ(Text(hkcr + "QuillbakScriptFile\\shellex\\ContextMenuHandlers\\" + kClsid, ""), "");
    // A trailing backslash is not doubled.
    EXPECT_EQ(CHarnRegistry::SetQuillbakShellExtension("D:\\Q\\"), 1);
    EXPECT_EQ(Text(hkcr + "CLSID\\" + kClsid + "\\InProcServer32", ""), "D:\\Q\\QLSHELL.DLL");
}

TEST_F(Registration, ShellExtensionRemovalKeepsTheFileExtensionKeyAndOthersHandlers) {
    const std::string hkcr = "HKCR\\";
    Reg().SetString(hkcr + "Drive\\shellex\\ContextMenuHandlers\\{other}", "", "");
    Reg().SetString(hkcr + ".qlx", "Content Type", "text/plain");
    SeedWindowsShellKeys();
    const std::string before = Export();
    ASSERT_EQ(CHarnRegistry::SetQuillbakShellExtension("D:\\Q"), 1);
    EXPECT_EQ(CHarnRegistry::DeleteQuillbakShellExtension("ignored"), 1);
    // Everything else as it was; ".qlx" without its default value.
    EXPECT_EQ(Export(), before);
}

TEST_F(Registration, ShellExtensionStepsThatFailAreSkipped) {
    winsim::InjectFault("RegCreateKeyExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Nth, 3);
    EXPECT_EQ(CHarnRegistry::SetQuillbakShellExtension("D:\\Q"), 1);
    const std::string hkcr = "HKCR\\CLSID\\" + kClsid;
    EXPECT_EQ(Value(hkcr + "\\InProcServer32", "ThreadingModel"), nullptr);
    EXPECT_EQ(Text("HKCR\\.qlx", ""), "QuillbakScriptFile");
    CSettings s = Settings();
    Probe reader(1);
    EXPECT_EQ(reader.SetQuillbakShellExtension(), 0);
    EXPECT_EQ(reader.DeleteQuillbakShellExtension(), 0);
    EXPECT_NE(Reg().Find("HKCR\\.qlx"), nullptr);
}

// ---- tuning values --------------------------------------------------------------------------------
TEST_F(Registration, JobDatabaseTuning) {
    Probe roots;
    EXPECT_EQ(CHarnRegistry::SetBackupDaemonBufferSize(64), 1);
    EXPECT_EQ(CHarnRegistry::SetDatabasePruning(1), 1);
    EXPECT_EQ(CHarnRegistry::SetDelayPruning(0), 1);
    EXPECT_EQ(CHarnRegistry::SetPruningDays(30), 1);
    EXPECT_EQ(CHarnRegistry::SetPruningTime(0xFFFFFFFF), 1);
    EXPECT_EQ(Number(kBase + "\\Database", "BackupDaemonBufferSize"), 64u);
    EXPECT_EQ(Number(kBase + "\\Database", "EnableDatabasePruning"), 1u);
    EXPECT_EQ(Number(kBase + "\\Database", "EnableDelayPruning"), 0u);
    EXPECT_EQ(Number(kBase + "\\Database", "PruningDays"), 30u);
    EXPECT_EQ(Number(kBase + "\\Database", "PruningTime"), 0xFFFFFFFFu);
    winsim::InjectFault("RegCreateKeyExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(CHarnRegistry::SetPruningDays(1), 0);
    EXPECT_EQ(Number(kBase + "\\Database", "PruningDays"), 30u);
}

TEST_F(Registration, EventSourceIsPlainRegistry) {
    const std::string key = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quillbak";
    EXPECT_EQ(CHarnRegistry::SetEventLogApplication("Quillbak", "D:\\Backup\\QLMSG.DLL", 7), 1);
    EXPECT_EQ(Text(key, "EventMessageFile"), "D:\\Backup\\QLMSG.DLL");
    EXPECT_EQ(Value(key, "EventMessageFile")->data.size(), strlen("D:\\Backup\\QLMSG.DLL") + 1);
    EXPECT_EQ(Number(key, "TypesSupported"), 7u);
    winsim::InjectFault("RegSetValueExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Nth, 2);
    EXPECT_EQ(CHarnRegistry::SetEventLogApplication("Other", "x.dll", 1), 0);
}

// ---- the whole registration and its removal ---------------------------------------------------------
TEST_F(Registration, WriteThenDeleteGivesBackTheRegistry) {
    AddSnmp(SERVICE_RUNNING);
    Reg().SetString(kAgents, "1", "SOFTWARE\\Microsoft\\LANManagerMIB2Agent\\CurrentVersion");
    Reg().SetString("HKLM\\SOFTWARE\\Veltmark\\ALERT\\CurrentVersion", "CurrentBuild", "1");  // another product
    Reg().Create(kVMIT);
    SeedWindowsShellKeys();
    // The machine name is the environment's RNNAME: seeded as Write leaves it.
    Reg().SetString("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", "RNNAME", "QLSERVER");
    const std::string before = Export();
    CSettings s = Settings();
    Probe w(s, 0);
    ASSERT_EQ(w.Write(), 1);
    tagProductStruct r = Record(7, 0);
    ASSERT_EQ(CHarnRegistry::RegisterProduct("Quillbak", &r), 1);
    ASSERT_EQ(w.CreateQuillbakUninstallKey(), 1);
    EXPECT_EQ(Text(kVMIT + "\\QuillbakIT", "DisplayName"), "QuillbakIT");
    EXPECT_EQ(Text(kAgents, "2"), "SOFTWARE\\Veltmark\\QuillbakIT\\Base\\SNMP");
    EXPECT_EQ(Text("HKCR\\.qlx", ""), "QuillbakScriptFile");
    ASSERT_NE(Export(), before);

    EXPECT_EQ(CHarnRegistry::UnregisterProduct("Quillbak"), 1);
    EXPECT_EQ(w.DeleteQuillbakUninstallKey(), 1);
    EXPECT_EQ(w.Delete(), 1);
    // The ".qlx" key stays, emptied; everything else as before.
    winsim::RegKey *qlx = Reg().Find("HKCR\\.qlx");
    ASSERT_NE(qlx, nullptr);
    EXPECT_TRUE(qlx->values.empty());
    Reg().Delete("HKCR\\.qlx");
    EXPECT_EQ(Export(), before);
    EXPECT_EQ(winsim::ServiceState(winsim::LocalMachine(), "SNMP"), (DWORD)SERVICE_RUNNING);
}

}  // namespace

namespace {

// The settings learn of the anti-virus product from its alert file, and then
// keep the alert component at uninstall.
TEST(SettingsAntiVirus, FoundByInitializeAndKeepsTheAlertComponent) {
    tagSETUP_INFO info;
    memset(&info, 0, sizeof info);
    info.lProductType = 24;
    CSettings without(&info, 1);
    without.Initialize();
    EXPECT_EQ(without.VaxwallExists(), 0);
    EXPECT_TRUE(without.InstallAlert());
    winsim::LocalMachine().PutFile("C:\\WINNT\\VAXGUARD.ALT", "x");
    CSettings with(&info, 1);
    with.Initialize();
    EXPECT_EQ(with.VaxwallExists(), 1);
    EXPECT_FALSE(with.InstallAlert());
    // Only the base product asks.
    info.lProductType = 36;
    CSettings agent(&info, 1);
    agent.Initialize();
    EXPECT_EQ(agent.VaxwallExists(), 0);
}

}  // namespace
