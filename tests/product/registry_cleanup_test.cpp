// Removing the product's registry branches without touching what other
// products keep, the key and value operations under the roots, the
// database agents' keys, the records of earlier products, and the
// conversion of the former maker's layout at upgrade.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <cstring>
#include <string>

#include "actions/Frame.h"
#include "brandkit.h"
#include "doubles.h"
#include "registry/HarnRegistry.h"
#include "registry/RegistryConverter.h"

namespace {

const std::string kMaker = "HKLM\\SOFTWARE\\Veltmark";
const std::string kRoot = kMaker + "\\QuillbakIT";
const std::string kBase = kRoot + "\\Base";
const std::string kOldRoot = "HKLM\\SOFTWARE\\Harnock";

class Probe : public CHarnRegistry {
public:
    Probe(CSettings &settings, int write) : CHarnRegistry(settings, write, NULL) {}
    explicit Probe(int read = 0) : CHarnRegistry(read, NULL) {}
};

winsim::Registry &Reg() { return winsim::LocalMachine().registry; }
bool Has(const std::string &key) { return Reg().Find(key) != nullptr; }
std::string Text(const std::string &key, const std::string &value) {
    std::string text;
    return Reg().GetString(key, value, text) ? text : "<none>";
}
std::string Hives() { return Reg().ExportReg("HKEY_LOCAL_MACHINE") + Reg().ExportReg("HKEY_USERS"); }

class Cleanup : public ::testing::Test {
protected:
    void SetUp() override {
        memset(&info, 0, sizeof info);
        info.lProductType = 24;
    }
    CSettings Removal(BOOL all = TRUE) {
        CSettings s(&info, 1);
        s.UninstallQuillbak(all);
        return s;
    }
    tagSETUP_INFO info;
};

// ---- recursive deletion -------------------------------------------------------------------------
TEST_F(Cleanup, DeleteSubKeysEmptiesTheKeyAndKeepsItsValues) {
    EXPECT_EQ(CHarnRegistry::DeleteSubKeys(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nowhere"), 1);
    Reg().SetString("HKLM\\SOFTWARE\\T", "keep", "1");
    Reg().SetString("HKLM\\SOFTWARE\\T\\A\\B\\C", "v", "x");
    Reg().Create("HKLM\\SOFTWARE\\T\\A\\B2");
    Reg().Create("HKLM\\SOFTWARE\\T\\D");
    EXPECT_EQ(CHarnRegistry::DeleteSubKeys(HKEY_LOCAL_MACHINE, "SOFTWARE\\T"), 1);
    winsim::RegKey *t = Reg().Find("HKLM\\SOFTWARE\\T");
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->subkeys.empty());
    EXPECT_EQ(Text("HKLM\\SOFTWARE\\T", "keep"), "1");
    // Below a key the caller opened.
    Reg().Create("HKLM\\SOFTWARE\\T\\X\\Y");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(CHarnRegistry::DeleteSubKeys(key, "T\\X"), 1);
    EXPECT_EQ(CHarnRegistry::DeleteSubKeys(key, ""), 0);
    EXPECT_EQ(CHarnRegistry::DeleteSubKeys(key, "\\T"), 0);
    RegCloseKey(key);
    EXPECT_TRUE(Has("HKLM\\SOFTWARE\\T\\X"));
    EXPECT_FALSE(Has("HKLM\\SOFTWARE\\T\\X\\Y"));
}

TEST_F(Cleanup, DeleteSubKeysStopsAtTheFirstKeyThatStays) {
    Reg().Create("HKLM\\SOFTWARE\\T\\A\\A1");
    Reg().Create("HKLM\\SOFTWARE\\T\\B");
    winsim::InjectFault("RegDeleteKeyA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(CHarnRegistry::DeleteSubKeys(HKEY_LOCAL_MACHINE, "SOFTWARE\\T"), 0);
    EXPECT_TRUE(Has("HKLM\\SOFTWARE\\T\\A"));
    EXPECT_TRUE(Has("HKLM\\SOFTWARE\\T\\B"));
    winsim::InjectFault("RegEnumKeyExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(CHarnRegistry::DeleteSubKeys(HKEY_LOCAL_MACHINE, "SOFTWARE\\T"), 0);
    EXPECT_EQ(CHarnRegistry::DeleteSubKeys(HKEY_LOCAL_MACHINE, "SOFTWARE\\T"), 1);
    EXPECT_TRUE(Reg().Find("HKLM\\SOFTWARE\\T")->subkeys.empty());
}

TEST_F(Cleanup, NoPathReachesTheTopOfAHive) {
    const std::string before = Hives();
    for (const char *path : {"", "\\", "\\SOFTWARE", "SOFTWARE", "SYSTEM", "SOFTWARE\\", "SOFTWARE\\\\Microsoft",
                             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft"})
        EXPECT_EQ(CHarnRegistry::DeleteSubKeys(HKEY_LOCAL_MACHINE, path), 0) << path;
    EXPECT_EQ(CHarnRegistry::DeleteSubKeys(HKEY_LOCAL_MACHINE, NULL), 0);
    EXPECT_EQ(CHarnRegistry::DeleteSubKeys(HKEY_CLASSES_ROOT, "CLSID"), 0);
    EXPECT_EQ(Hives(), before);
}

// An empty branded root must never turn a removal into one at the top of
// the hive: every removal is then a no-op.
TEST_F(Cleanup, AnEmptyBrandedRootMakesEveryDeletionANoOp) {
    InstallBrandKit();
    for (const char *v : {BRANDKIT_VALUE_BRAND_NAME, BRANDKIT_VALUE_REG_ROOT, BRANDKIT_VALUE_REG_BASE,
                          BRANDKIT_VALUE_PRODUCTS})
        SetBrandKitText(v, "");
    // Keys an unguarded removal would reach.
    Reg().SetString("HKLM\\QuillbakIT\\Base", "HOME", "C:\\Q");
    Reg().Create("HKLM\\Reactron\\Data");
    Reg().Create("HKLM\\ALERT\\Path");
    Reg().Create("HKLM\\OldProducts\\X");
    Reg().Create("HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Base\\Path");
    Reg().Create("HKLM\\SOFTWARE\\Veltmark\\VM-InstalledITProducts\\QuillbakIT");
    Reg().Create("HKU\\.DEFAULT\\SOFTWARE\\Other\\Key");
    Reg().Create("HKU\\.DEFAULT\\QuillbakIT\\Key");
    Reg().Create("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-1-2-3-1000");
    Reg().Create("HKU\\S-1-5-21-1-2-3-1000\\Software\\Other");
    const std::string before = Hives();

    CSettings s = Removal();
    Probe p(s, 0);
    ASSERT_STREQ(CHarnRegistry::GetQuillbakKey(), "");
    CHarnRegistry::DeleteHarnockBranch(1);
    CHarnRegistry::DeleteQuillbakBranch(1);
    p.DeleteQuillbakBaseBranch();
    CHarnRegistry::DeleteReactronBranch();
    p.DeleteAlertBranch();
    p.DeleteQuillbakUserBranches();
    p.DeleteHarnockUserBranches(1);
    CHarnRegistry::DeleteHarnockKey("");
    CHarnRegistry::DeleteHarnockKey("Base");
    CHarnRegistry::DeleteQuillbakKey("OldProducts");
    CHarnRegistry::DeleteQuillbakKey("");
    CHarnRegistry::DeleteAgentSubKeys("", 1);
    CHarnRegistry::DeleteAgentSubKeys("Base", 1);
    p.DeleteVMITProductBranch();
    EXPECT_EQ(CHarnRegistry::UnregisterProduct("Quillbak"), 1);
    EXPECT_EQ(p.DeleteDynamicKey(), 1);
    EXPECT_EQ(p.Delete(), 1);
    EXPECT_EQ(CHarnRegistry::AddQuillbakKey("X"), 0);
    EXPECT_EQ(Hives(), before);
}

// ---- branch removals ------------------------------------------------------------------------------
TEST_F(Cleanup, MakerRootGoesOnlyWhenNothingIsLeftBeneathIt) {
    Probe roots;
    Reg().Create(kMaker + "\\ALERT\\CurrentVersion");
    Reg().Create(kRoot);
    CHarnRegistry::DeleteQuillbakBranch(0);
    EXPECT_FALSE(Has(kRoot));
    CHarnRegistry::DeleteHarnockBranch(0);
    EXPECT_TRUE(Has(kMaker + "\\ALERT\\CurrentVersion"));
    Reg().Delete(kMaker + "\\ALERT");
    CHarnRegistry::DeleteHarnockBranch(0);
    EXPECT_FALSE(Has(kMaker));
    EXPECT_TRUE(Has("HKLM\\SOFTWARE"));
    // With all: everything beneath goes first.
    Reg().Create(kRoot + "\\Base\\Path");
    CHarnRegistry::DeleteQuillbakBranch(0);
    EXPECT_TRUE(Has(kRoot + "\\Base\\Path"));
    CHarnRegistry::DeleteHarnockBranch(1);
    EXPECT_FALSE(Has(kMaker));
}

TEST_F(Cleanup, BaseReactronAlertAndUserBranches) {
    Probe roots;
    Reg().SetString(kBase + "\\Path", "HOME", "C:\\Q");
    Reg().Create(kRoot + "\\Reactron\\Cache");
    Reg().Create(kRoot + "\\Products");
    Reg().Create(kMaker + "\\ALERT\\CurrentVersion\\Path");
    Reg().Create("HKCU\\SOFTWARE\\Veltmark\\QuillbakIT\\Window");
    Reg().Create("HKCU\\SOFTWARE\\Veltmark\\Other");
    // A second profile whose registry is loaded, and one whose is not.
    const std::string profiles = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
    Reg().SetString(profiles + "\\S-1-5-21-9-9-9-1001", "ProfileImagePath", "C:\\WINNT\\Profiles\\pat");
    Reg().Create(profiles + "\\S-1-5-21-9-9-9-1002");
    Reg().Create("HKU\\S-1-5-21-9-9-9-1001\\SOFTWARE\\Veltmark\\QuillbakIT\\Window");

    roots.DeleteQuillbakBaseBranch();
    EXPECT_FALSE(Has(kBase));
    CHarnRegistry::DeleteReactronBranch();
    EXPECT_FALSE(Has(kRoot + "\\Reactron"));
    EXPECT_TRUE(Has(kRoot + "\\Products"));
    roots.DeleteAlertBranch();
    EXPECT_FALSE(Has(kMaker + "\\ALERT"));
    roots.DeleteQuillbakUserBranches();
    EXPECT_FALSE(Has("HKCU\\SOFTWARE\\Veltmark\\QuillbakIT"));
    EXPECT_TRUE(Has("HKCU\\SOFTWARE\\Veltmark\\Other"));
    EXPECT_FALSE(Has("HKU\\S-1-5-21-9-9-9-1001\\SOFTWARE\\Veltmark\\QuillbakIT"));
    EXPECT_FALSE(Has("HKU\\S-1-5-21-9-9-9-1002"));  // not loaded: not created either
    roots.DeleteHarnockUserBranches(0);
    EXPECT_TRUE(Has("HKCU\\SOFTWARE\\Veltmark"));
    EXPECT_FALSE(Has("HKU\\S-1-5-21-9-9-9-1001\\SOFTWARE\\Veltmark"));
    roots.DeleteHarnockUserBranches(1);
    EXPECT_FALSE(Has("HKCU\\SOFTWARE\\Veltmark"));
    EXPECT_TRUE(Has("HKCU\\SOFTWARE"));
}

TEST_F(Cleanup, FormerMakersKeys) {
    Reg().Create(kOldRoot + "\\Quillbak\\CurrentVersion\\Path");
    CHarnRegistry::DeleteOldQuillbakKey("Quillbak");
    EXPECT_FALSE(Has(kOldRoot));
    Reg().Create(kOldRoot + "\\Quillbak\\CurrentVersion");
    Reg().Create(kOldRoot + "\\ALERT");
    CHarnRegistry::DeleteOldQuillbakKey("\\Quillbak");
    EXPECT_FALSE(Has(kOldRoot + "\\Quillbak"));
    EXPECT_TRUE(Has(kOldRoot + "\\ALERT"));
    CHarnRegistry::DeleteOldQuillbakKey("");
    EXPECT_TRUE(Has(kOldRoot + "\\ALERT"));
}

// ---- key and value operations -----------------------------------------------------------------------
TEST_F(Cleanup, KeyAndValueOperations) {
    Probe roots;
    EXPECT_EQ(CHarnRegistry::AddQuillbakKey("\\Sub"), 1);
    EXPECT_EQ(CHarnRegistry::AddQuillbakKey("Sub"), 1);
    winsim::RegKey *root = Reg().Find(kRoot);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->subkeys.size(), 1u);
    EXPECT_EQ(CHarnRegistry::AddHarnockKey("Maker\\Deep"), 1);
    EXPECT_TRUE(Has(kMaker + "\\Maker\\Deep"));

    BYTE data[4] = {1, 2, 3, 4};
    EXPECT_EQ(CHarnRegistry::SetQuillbakKeyValue("Missing", "v", REG_BINARY, data, 4), 0);  // not created
    EXPECT_FALSE(Has(kRoot + "\\Missing"));
    EXPECT_EQ(CHarnRegistry::SetQuillbakKeyValue("Sub", "v", REG_BINARY, data, 4), 1);
    EXPECT_EQ(CHarnRegistry::SetHarnockKeyValue("\\Maker", "t", REG_SZ, (BYTE *)"ab", 3), 1);
    EXPECT_EQ(Text(kMaker + "\\Maker", "t"), "ab");

    DWORD type = 0, size = 4;
    BYTE out[8] = {};
    EXPECT_EQ(CHarnRegistry::QueryQuillbakKeyValue("Sub", "v", &type, out, &size), 1);
    EXPECT_EQ(type, (DWORD)REG_BINARY);
    EXPECT_EQ(memcmp(out, data, 4), 0);
    // The maker family falls back to the former maker's root; the product family does not.
    Reg().SetString(kOldRoot + "\\OnlyOld", "x", "old");
    char text[16] = "";
    size = 2;  // too small in the branded key's value: the former root still gets the whole buffer
    Reg().SetString(kMaker + "\\OnlyOld", "x", "longer text");
    size = sizeof text;
    Reg().Delete(kMaker + "\\OnlyOld");
    EXPECT_EQ(CHarnRegistry::QueryHarnockKeyValue("OnlyOld", "x", &type, (BYTE *)text, &size), 1);
    EXPECT_STREQ(text, "old");
    Reg().SetString(kMaker + "\\OnlyOld", "x", "a text too long for it");
    size = sizeof text;
    EXPECT_EQ(CHarnRegistry::QueryHarnockKeyValue("OnlyOld", "x", &type, (BYTE *)text, &size), 1);
    EXPECT_STREQ(text, "old");
    EXPECT_EQ(CHarnRegistry::QueryQuillbakKeyValue("..\\Harnock\\OnlyOld", "x", &type, (BYTE *)text, &size), 0);
    size = sizeof text;
    EXPECT_EQ(CHarnRegistry::QueryQuillbakKeyValue("OnlyOld", "x", &type, (BYTE *)text, &size), 0);

    CHarnRegistry::DeleteQuillbakKey("Sub");
    EXPECT_FALSE(Has(kRoot + "\\Sub"));
    CHarnRegistry::DeleteHarnockKey("\\Maker");
    EXPECT_FALSE(Has(kMaker + "\\Maker"));
    EXPECT_TRUE(Has(kMaker));
}

// ---- the uninstall sweep ------------------------------------------------------------------------------
TEST_F(Cleanup, DynamicKeySweepLeavesBaseSnmpAndEnvironment) {
    const std::string agents = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\ExtensionAgents";
    const std::string env = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
    for (const char *k : {"Admin", "QlMgr", "TapeEngine", "User", "Database", "DBAdmin", "SNMP", "Log", "Task",
                          "LastFullBackup", "LastImageBackup", "ServerRecord", "SystemSetting"})
        Reg().Create(kBase + "\\" + k + "\\Inner");
    Reg().SetString(kBase + "\\Path", "HOME", "C:\\Q");
    Reg().Create(kRoot + "\\OldProducts");
    Reg().Create(kRoot + "\\VMOldProducts");
    Reg().Create(kRoot + "\\Reactron\\X");
    Reg().Create("HKCU\\Software\\Local AppWizard-Generated Applications\\QuillbakIT Central Database Configuration\\S");
    Reg().Create("HKCU\\Software\\Local AppWizard-Generated Applications\\Other");
    Reg().SetString(agents, "1", "SOFTWARE\\Veltmark\\QuillbakIT\\Base\\SNMP");
    Reg().SetString(env, "LNNAME", "QUILLBAK");

    CSettings partial = Removal(FALSE);
    Probe p(partial, 0);
    EXPECT_EQ(p.DeleteDynamicKey(), 1);
    EXPECT_TRUE(Has(kBase + "\\Admin\\Inner"));
    Probe reader(1);
    EXPECT_EQ(reader.DeleteDynamicKey(), 0);

    CSettings all = Removal();
    Probe w(all, 0);
    EXPECT_EQ(w.DeleteDynamicKey(), 1);
    winsim::RegKey *base = Reg().Find(kBase);
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base->subkeys.size(), 1u);  // Path only
    EXPECT_TRUE(Has(kBase + "\\Path"));
    EXPECT_FALSE(Has(kRoot + "\\OldProducts"));
    EXPECT_FALSE(Has(kRoot + "\\VMOldProducts"));
    EXPECT_FALSE(Has(kRoot + "\\Reactron"));
    EXPECT_FALSE(Has("HKCU\\Software\\Local AppWizard-Generated Applications\\QuillbakIT Central Database Configuration"));
    EXPECT_TRUE(Has("HKCU\\Software\\Local AppWizard-Generated Applications\\Other"));
    EXPECT_EQ(Text(agents, "1"), "SOFTWARE\\Veltmark\\QuillbakIT\\Base\\SNMP");
    EXPECT_EQ(Text(env, "LNNAME"), "QUILLBAK");
}

// ---- records of earlier products ------------------------------------------------------------------
TEST_F(Cleanup, OldProductDescriptionCopiedAndRemoved) {
    InstallDouble("HarnProd", "C:\\WINNT\\system32\\HarnProd.dll");
    info.lProductType = 36;  // "NTAgent"
    CSettings s(&info, 1);
    s.Initialize();
    ASSERT_STREQ(s.Product(), "NTAgent");
    const std::string old = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\OldDBAgents";
    BYTE record[49];
    for (int i = 0; i < 49; ++i) record[i] = (BYTE)i;
    Reg().Set("HKLM\\SOFTWARE\\Harnock\\DSAgent\\CurrentVersion\\Products", "NTAgent", REG_BINARY, record, 49);
    Probe p(s, 0);
    p.CreateOldProdDscrpt();
    winsim::RegKey *k = Reg().Find(old);
    ASSERT_NE(k, nullptr);
    ASSERT_NE(k->FindValue("NTAgent"), nullptr);
    EXPECT_EQ(k->FindValue("NTAgent")->data, std::vector<BYTE>(record, record + 49));
    Reg().SetString(old, "W95Agent", "keep");
    p.DeleteOldProdDscrpt();
    EXPECT_TRUE(Has(old));
    EXPECT_EQ(Reg().Find(old)->FindValue("NTAgent"), nullptr);
    Reg().Find(old)->DeleteValue("W95Agent");
    p.CreateOldProdDscrpt();
    p.DeleteOldProdDscrpt();
    EXPECT_FALSE(Has(old));
    EXPECT_TRUE(Has("HKLM\\SOFTWARE\\Veltmark\\QuillbakIT"));
}

// ---- database agents ------------------------------------------------------------------------------
class DBAgents : public ::testing::Test {
protected:
    void SetUp() override {
        Probe roots;
        Reg().SetString(kAgents + "\\dbxsql", "dll", "C:\\DBX\\SQL\\dbxsql.dll");
        Reg().SetString(kAgents + "\\dbxsql_2", "dll", "C:\\DBX\\SQL2\\dbxsql.dll");
        Reg().Create(kAgents + "\\dbxsql\\Config");
        Reg().SetString(kAgents + "\\dbxmail2", "dll", "C:\\DBX\\MAIL\\m.dll");
        Reg().SetString(kAgents + "\\dbxmail", "dll", "C:\\DBX\\MAIL\\old.dll");
    }
    const std::string kAgents = kRoot + "\\DBAgents";
};

TEST_F(DBAgents, HomeDirOfTheFirstMatchAndNeverMoreThanTheBuffer) {
    char buffer[32];
    memset(buffer, 'x', sizeof buffer);
    DWORD size = sizeof buffer;
    EXPECT_EQ(CHarnRegistry::GetDBAgentHomeDir("DBAgents\\dbxsql", buffer, &size, 1), 1);
    EXPECT_STREQ(buffer, "C:\\DBX\\SQL");
    size = 10;  // "C:\DBX\SQL" needs 11
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(CHarnRegistry::GetDBAgentHomeDir("DBAgents\\dbxsql", buffer, &size, 1), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'x');
    size = sizeof buffer;
    EXPECT_EQ(CHarnRegistry::GetDBAgentHomeDir("DBAgents\\dbxsql", buffer, &size, 0), 0);  // former root
    EXPECT_EQ(CHarnRegistry::GetDBAgentHomeDir("DBAgents\\", buffer, &size, 1), 0);
    EXPECT_EQ(CHarnRegistry::GetDBAgentHomeDir("DBAgents\\nothing", buffer, &size, 1), 0);
    Reg().SetString(kOldRoot + "\\DBAgents\\dbxora", "dll", "D:\\ORA\\o.dll");
    EXPECT_EQ(CHarnRegistry::GetDBAgentHomeDir("\\DBAgents\\dbxora", buffer, &size, 0), 1);
    EXPECT_STREQ(buffer, "D:\\ORA");
}

TEST_F(DBAgents, OtherAgents) {
    CString other = "unchanged";
    Reg().Delete(kAgents + "\\dbxmail");
    EXPECT_EQ(CHarnRegistry::ExistOther_DBAgents("DBAgents\\dbxsql", 1, other), 0);
    EXPECT_STREQ(other, "unchanged");
    Reg().SetString(kAgents + "\\dbxora", "dll", "C:\\DBX\\ORA\\o.dll");
    EXPECT_EQ(CHarnRegistry::ExistOther_DBAgents("DBAgents\\dbxsql", 1, other), 1);
    EXPECT_STREQ(other, "C:\\DBX\\ORA");
    EXPECT_EQ(CHarnRegistry::ExistOther_DBAgents("DBAgents\\dbxsql", 0, other), 0);
}

TEST_F(DBAgents, DeleteAgentKeys) {
    CHarnRegistry::DeleteAgentSubKeys("DBAgents\\dbxsql", 1);
    EXPECT_FALSE(Has(kAgents + "\\dbxsql"));
    EXPECT_FALSE(Has(kAgents + "\\dbxsql_2"));
    EXPECT_TRUE(Has(kAgents + "\\dbxmail2"));
    EXPECT_TRUE(Has(kAgents + "\\dbxmail"));
    CHarnRegistry::DeleteAgentSubKeys("DBAgents\\dbxmail2", 1);
    EXPECT_FALSE(Has(kAgents + "\\dbxmail2"));
    EXPECT_FALSE(Has(kAgents + "\\dbxmail"));
    EXPECT_TRUE(Has(kAgents));
}

TEST_F(DBAgents, AnEmptyLeafMatchesNothing) {
    const std::string before = Reg().ExportReg(kAgents);
    CHarnRegistry::DeleteAgentSubKeys("DBAgents\\", 1);
    CHarnRegistry::DeleteAgentSubKeys("", 1);
    EXPECT_EQ(Reg().ExportReg(kAgents), before);
    EXPECT_TRUE(Has(kRoot));
}

TEST_F(DBAgents, RpcImagePath) {
    const std::string svc = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\DbxRpcService";
    CHarnRegistry::UpdateRPCImagePath("C:\\DBX\\rpc.exe");  // no service: nothing
    EXPECT_FALSE(Has(svc));
    Reg().SetString(svc, "ImagePath", "C:\\DBX\\RPC.EXE", REG_EXPAND_SZ);
    winsim::LocalMachine().PutFile("C:\\DBX\\rpc.exe", "x");
    const std::string before = Reg().ExportReg(svc);
    CHarnRegistry::UpdateRPCImagePath("c:\\dbx\\rpc.exe");
    CHarnRegistry::UpdateRPCImagePath("C:\\MISSING\\rpc.exe");
    EXPECT_EQ(Reg().ExportReg(svc), before);
    winsim::LocalMachine().AddDrive('D');
    winsim::LocalMachine().PutFile("D:\\NEW\\rpc.exe", "x");
    CHarnRegistry::UpdateRPCImagePath("D:\\NEW\\rpc.exe");
    const winsim::RegValue *v = Reg().Find(svc)->FindValue("ImagePath");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->type, (DWORD)REG_EXPAND_SZ);
    EXPECT_EQ(std::string(v->data.begin(), v->data.end()), std::string("D:\\NEW\\rpc.exe", 15));
}

// ---- conversion at upgrade ------------------------------------------------------------------------
class Conversion : public ::testing::Test {
protected:
    void UseFormerLayout() {
        winsim::Machine &m = winsim::LoadMachineImage(std::string(QL_SOURCE_DIR) + "/examples/earlier-harnock");
        winsim::SetLocalMachine(m);
    }
    void InstallLibraries(const std::string &brand = "BRANDKIT", bool keyconv = true) {
        winsim::LocalMachine().AddDrive('D', DRIVE_CDROM);
        InstallDouble(brand, "D:\\SETUP\\BRANDKIT.DLL");
        if (keyconv) InstallDouble("KEYCONV", "C:\\WINNT\\system32\\KEYCONV.DLL");
    }
    std::string Calls() {
        winsim::RegKey *k = Reg().Find("HKLM\\SOFTWARE\\QLTest\\KeyConv");
        const winsim::RegValue *v = k ? k->FindValue("Calls") : nullptr;
        if (!v) return "";
        std::string text(v->data.begin(), v->data.end());
        for (char &c : text)
            if (!c) c = ';';
        return text;
    }
    // The machine without the doubles' own bookkeeping.
    std::string Machine() {
        std::string text = Hives();
        size_t at = text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\QLTest");
        while (at != std::string::npos) {
            size_t end = text.find("\r\n[", at + 1);
            text.erase(at, end == std::string::npos ? std::string::npos : end + 2 - at);
            at = text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\QLTest");
        }
        return text;
    }
};

TEST_F(Conversion, UpgradeCopiesTheFormerLayoutToTheBrandedRoots) {
    UseFormerLayout();
    InstallLibraries();
    const std::string tm = "HKLM\\SOFTWARE\\Testmark\\QuillbakIT";
    CRegistryConverter c("D:\\SETUP\\");
    EXPECT_EQ(c.ConvertOldProducts(HKEY_LOCAL_MACHINE, 0, 0), 1);
    EXPECT_EQ(c.ConvertQuillbakKey(HKEY_LOCAL_MACHINE, 1, 0), 1);
    EXPECT_EQ(c.ConvertQuillbakKey(HKEY_CURRENT_USER, 1, 0), 1);
    EXPECT_EQ(Calls(),
              "HKLM|SOFTWARE\\Harnock\\Products|SOFTWARE\\Testmark\\QuillbakIT\\OldProducts|0;"
              "HKLM|SOFTWARE\\Harnock\\Quillbak\\CurrentVersion|SOFTWARE\\Testmark\\QuillbakIT\\Base|1;"
              "HKCU|SOFTWARE\\Harnock\\Quillbak\\CurrentVersion|SOFTWARE\\Testmark\\QuillbakIT\\Base|1;;");
    EXPECT_EQ(Text(tm + "\\Base\\Path", "HOME"), "C:\\QUILLBAK");
    EXPECT_EQ(Text(tm + "\\Base\\User", "Name"), "Robin Vale");
    ASSERT_TRUE(Has(tm + "\\OldProducts"));
    EXPECT_NE(Reg().Find(tm + "\\OldProducts")->FindValue("Quillbak"), nullptr);
    // The former product branch went; the records other products read stay.
    EXPECT_FALSE(Has(kOldRoot + "\\Quillbak"));
    EXPECT_TRUE(Has(kOldRoot + "\\Products"));
    EXPECT_TRUE(Has(kOldRoot + "\\ALERT\\CurrentVersion"));
}

TEST_F(Conversion, ReverseCopiesBackAndRemovesTheEmptiedBrandedRoots) {
    InstallLibraries();
    const std::string tm = "HKLM\\SOFTWARE\\Testmark\\QuillbakIT";
    Reg().SetString(tm + "\\Base\\Path", "HOME", "D:\\Q");
    Reg().SetString(tm + "\\Products", "Quillbak", "r");
    CRegistryConverter c("D:\\SETUP\\");
    EXPECT_EQ(c.ConvertVMOldProducts(HKEY_LOCAL_MACHINE, 0, 0), 1);
    EXPECT_EQ(Text(tm + "\\VMOldProducts", "Quillbak"), "r");
    EXPECT_EQ(c.ConvertQuillbakKey(HKEY_LOCAL_MACHINE, 1, 1), 1);
    EXPECT_EQ(Text(kOldRoot + "\\Quillbak\\CurrentVersion\\Path", "HOME"), "D:\\Q");
    EXPECT_TRUE(Has(tm));  // still holds the products
    Reg().Delete(tm + "\\Products");
    Reg().Delete(tm + "\\VMOldProducts");
    EXPECT_EQ(c.ConvertOldProducts(HKEY_LOCAL_MACHINE, 1, 1), 1);  // nothing saved: nothing copied
    EXPECT_FALSE(Has("HKLM\\SOFTWARE\\Testmark"));
}

TEST_F(Conversion, WithoutTheConversionLibraryNothingChanges) {
    UseFormerLayout();
    InstallLibraries("BRANDKIT", false);
    const std::string before = Machine();
    CRegistryConverter c("D:\\SETUP\\");
    EXPECT_EQ(c.ConvertOldProducts(HKEY_LOCAL_MACHINE, 0, 0), 1);
    EXPECT_EQ(c.ConvertQuillbakKey(HKEY_LOCAL_MACHINE, 1, 0), 1);
    EXPECT_EQ(c.ConvertVMOldProducts(HKEY_LOCAL_MACHINE, 1, 1), 1);
    EXPECT_EQ(Machine(), before);
}

TEST_F(Conversion, WithoutTheSetupsBrandingLibraryNothingChanges) {
    UseFormerLayout();
    InstallDouble("KEYCONV", "C:\\WINNT\\system32\\KEYCONV.DLL");
    InstallBrandKit();  // the system's copy is not the setup's
    const std::string before = Machine();
    CRegistryConverter c("D:\\SETUP\\");
    EXPECT_EQ(c.ConvertQuillbakKey(HKEY_LOCAL_MACHINE, 1, 0), 1);
    EXPECT_EQ(Calls(), "");
    EXPECT_EQ(Machine(), before);
    EXPECT_EQ(GetModuleHandleA("KEYCONV.DLL"), nullptr);
}

TEST_F(Conversion, ABrandingLibraryWithoutRootsNeverCopiesTheHive) {
    UseFormerLayout();
    InstallLibraries("BRANDKIT_NO_ROOTS");
    const std::string before = Machine();
    {
        CRegistryConverter c("D:\\SETUP\\");
        EXPECT_EQ(c.ConvertOldProducts(HKEY_LOCAL_MACHINE, 1, 0), 0);
        EXPECT_EQ(c.ConvertQuillbakKey(HKEY_LOCAL_MACHINE, 1, 0), 0);
        EXPECT_EQ(c.ConvertQuillbakKey(HKEY_LOCAL_MACHINE, 1, 1), 0);
        EXPECT_EQ(c.ConvertVMOldProducts(HKEY_LOCAL_MACHINE, 1, 0), 0);
        EXPECT_EQ(c.ConvertVMOldProducts(HKEY_LOCAL_MACHINE, 1, 1), 0);
        EXPECT_NE(GetModuleHandleA("KEYCONV.DLL"), nullptr);
    }
    EXPECT_EQ(GetModuleHandleA("KEYCONV.DLL"), nullptr);  // released with the converter
    EXPECT_EQ(Calls(), "");
    EXPECT_EQ(Machine(), before);
}

TEST_F(Conversion, TheDefaultConverterUsesTheSetupsSourceFolder) {
    InstallLibraries();
    tagSETUP_INFO info;
    memset(&info, 0, sizeof info);
    strcpy(info.szSourcePath, "D:\\SETUP\\");
    g_Settings = CSettings(&info, 0);
    Reg().SetString(kOldRoot + "\\Quillbak\\CurrentVersion\\Path", "HOME", "C:\\Q");
    CRegistryConverter c;
    EXPECT_EQ(c.ConvertQuillbakKey(HKEY_LOCAL_MACHINE, 0, 0), 1);
    EXPECT_EQ(Text("HKLM\\SOFTWARE\\Testmark\\QuillbakIT\\Base\\Path", "HOME"), "C:\\Q");
    EXPECT_TRUE(Has(kOldRoot + "\\Quillbak\\CurrentVersion\\Path"));
    g_Settings = CSettings();
}

}  // namespace
