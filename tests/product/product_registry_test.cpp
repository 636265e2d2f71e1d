// The product registry object: what its getters read (and where they turn to
// the former maker's keys), the product record, and what its setters, Write
// and Delete leave in the registry.
#include <gtest/gtest.h>

#include <windows.h>
#include <winnetwk.h>

#include <winsim/machine.h>

#include <cstring>
#include <string>
#include <vector>

#include "brandkit.h"
#include "registry/HarnRegistry.h"

namespace {

const std::string kBase = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Base";
const std::string kOldBase = "HKLM\\SOFTWARE\\Harnock\\Quillbak\\CurrentVersion";
const std::string kProducts = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Products";
const std::string kOldProducts = "HKLM\\SOFTWARE\\Harnock\\Products";
const std::string kRootOldProducts = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\OldProducts";
const std::string kDSAgentProducts = "HKLM\\SOFTWARE\\Harnock\\DSAgent\\CurrentVersion\\Products";
const std::string kAlert = "HKLM\\SOFTWARE\\Veltmark\\ALERT\\CurrentVersion";
const std::string kOldAlert = "HKLM\\SOFTWARE\\Harnock\\ALERT\\CurrentVersion";
const std::string kAgent = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\ClientAgent\\Common";
const std::string kOldAgent = "HKLM\\SOFTWARE\\Harnock\\QuillbakAgent\\CurrentVersion\\Common";
const std::string kEnvironment = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const std::string kNT = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// Opens what an object holds to the tests.
class Probe : public CHarnRegistry {
public:
    Probe(CSettings &settings, int write, char *machine = NULL) : CHarnRegistry(settings, write, machine) {}
    explicit Probe(int read = 1, char *machine = NULL) : CHarnRegistry(read, machine) {}
    DWORD Mode() const { return m_dwMode; }
    HKEY Handle() const { return m_hRegistry; }
    WORD AlertBuild() const { return m_wAlertBuild; }
    const tagProductStruct &Record() const { return m_Record; }
};

tagProductStruct MakeRecord(DWORD code, DWORD build, BYTE major, BYTE minor, BYTE subType) {
    tagProductStruct r;
    memset(&r, 0, sizeof r);
    r.dwProductCode = code;
    r.dwComponents = 15;
    r.dwVersion = (build << 16) | ((DWORD)major << 8) | minor;
    r.bySubType = subType;
    r.dwUserLevel = 5;
    memcpy(r.szSerial, "00000001", 9);
    r.dwCrc = CHarnRegistry::ProductRecordCrc(&r);
    return r;
}

winsim::Registry &Reg() { return winsim::LocalMachine().registry; }

void PutRecord(const std::string &key, const std::string &name, const void *data, size_t size,
               winsim::Registry &reg = Reg()) {
    reg.Set(key, name, REG_BINARY, data, size);
}

void PutRecord(const std::string &key, const std::string &name, const tagProductStruct &r,
               winsim::Registry &reg = Reg()) {
    PutRecord(key, name, &r, sizeof r, reg);
}

std::string Text(const std::string &key, const std::string &value, winsim::Registry &reg = Reg()) {
    std::string text;
    if (!reg.GetString(key, value, text)) return "<none>";
    return text;
}

DWORD Number(const std::string &key, const std::string &value, winsim::Registry &reg = Reg()) {
    DWORD n = 0xDEADBEEF;
    reg.GetDword(key, value, n);
    return n;
}

bool HasValue(const std::string &key, const std::string &value, winsim::Registry &reg = Reg()) {
    winsim::RegKey *k = reg.Find(key);
    return k && k->FindValue(value);
}

// ---- the record -------------------------------------------------------------------------------
TEST(ProductRecord, LayoutAndCrcOfAKnownRecord) {
    // The record setup writes for an earlier product that has none.
    tagProductStruct r = MakeRecord(25, 238, 2, 0, 2);
    const unsigned char expected[49] = {
        0x19, 0, 0, 0,  0x0F, 0, 0, 0,  0x00, 0x02, 0xEE, 0x00,  0x02, 0, 0, 0,  0x05, 0, 0, 0,
        '0', '0', '0', '0', '0', '0', '0', '1', 0,  0x4D, 0xA9, 0xF8, 0x70,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(sizeof r, 49u);
    EXPECT_EQ(memcmp(&r, expected, sizeof expected), 0);
    EXPECT_EQ(CHarnRegistry::ProductRecordCrc(&r), 0x70F8A94Du);
    // Only bytes 0 to 28 count: the stored CRC and the tail do not.
    r.byReserved2[3] = 7;
    r.dwCrc = 0;
    EXPECT_EQ(CHarnRegistry::ProductRecordCrc(&r), 0x70F8A94Du);
    r.szSerial[8] = 1;
    EXPECT_NE(CHarnRegistry::ProductRecordCrc(&r), 0x70F8A94Du);
    EXPECT_EQ(CHarnRegistry::ProductRecordCrc(NULL), 0u);
}

// ---- getters and their fallbacks -----------------------------------------------------------------
class RegistryRead : public ::testing::Test {
protected:
    std::string Read(int (*getter)(char *, DWORD *, HKEY), DWORD size = 261, int *ok = NULL) {
        std::vector<char> buffer(size + 1, 'x');
        DWORD n = size;
        Probe build(0);  // roots
        int result = getter(buffer.data(), &n, NULL);
        if (ok) *ok = result;
        if (!result) {
            EXPECT_EQ(buffer[0], '\0');
            return "<failed>";
        }
        EXPECT_EQ(n, strlen(buffer.data()) + 1);
        return buffer.data();
    }
};

TEST_F(RegistryRead, ProductFoldersFallBackWhenTheKeyOrTheValueIsMissing) {
    Reg().SetString(kOldBase + "\\Path", "HOME", "C:\\QUILLBAK");
    Reg().SetString(kOldBase + "\\Path", "LOG", "C:\\QUILLBAK\\LOG");
    EXPECT_EQ(Read(CHarnRegistry::GetQuillbakHomeDir), "C:\\QUILLBAK");  // no branded key
    Reg().SetString(kBase + "\\Path", "HOME", "D:\\Backup");
    EXPECT_EQ(Read(CHarnRegistry::GetQuillbakHomeDir), "D:\\Backup");
    EXPECT_EQ(Read(CHarnRegistry::GetQuillbakLogDir), "C:\\QUILLBAK\\LOG");  // key without the value
    EXPECT_EQ(Read(CHarnRegistry::GetQuillbakDBDir), "<failed>");
    Reg().SetString(kOldBase + "\\Path", "DATABASE", "C:\\QUILLBAK\\DATABASE");
    Reg().SetString(kBase + "\\Path", "TEMP", "D:\\Backup\\TEMP");
    EXPECT_EQ(Read(CHarnRegistry::GetQuillbakDBDir), "C:\\QUILLBAK\\DATABASE");
    EXPECT_EQ(Read(CHarnRegistry::GetQuillbakTempDir), "D:\\Backup\\TEMP");
}

TEST_F(RegistryRead, AlertAndUserFallBackOnlyWhenTheKeyIsMissing) {
    Reg().SetString(kOldAlert + "\\Path", "HOME", "C:\\ALERT");
    Reg().SetString(kOldBase + "\\User", "Name", "Old Owner");
    Reg().SetString(kOldBase + "\\User", "Org", "Old Org");
    EXPECT_EQ(Read(CHarnRegistry::GetAlertHomeDir), "C:\\ALERT");
    EXPECT_EQ(Read(CHarnRegistry::GetQuillbakUserName), "Old Owner");
    EXPECT_EQ(Read(CHarnRegistry::GetQuillbakOrganization), "Old Org");
    Reg().Create(kAlert + "\\Path");
    Reg().SetString(kBase + "\\User", "Name", "New Owner");
    EXPECT_EQ(Read(CHarnRegistry::GetAlertHomeDir), "<failed>");
    EXPECT_EQ(Read(CHarnRegistry::GetQuillbakUserName), "New Owner");
    EXPECT_EQ(Read(CHarnRegistry::GetQuillbakOrganization), "<failed>");
}

TEST_F(RegistryRead, ClientAgentFallsBackOnEitherFailure) {
    Reg().SetString(kOldAgent, "Path", "C:\\AGENT");
    EXPECT_EQ(Read(CHarnRegistry::GetAgentHomeDir), "C:\\AGENT");
    Reg().Create(kAgent);
    EXPECT_EQ(Read(CHarnRegistry::GetAgentHomeDir), "C:\\AGENT");
    Reg().SetString(kAgent, "Path", "E:\\Agent");
    EXPECT_EQ(Read(CHarnRegistry::GetAgentHomeDir), "E:\\Agent");
}

TEST_F(RegistryRead, RegisteredOwnerHasNoFallback) {
    EXPECT_EQ(Read(CHarnRegistry::GetRegisteredOwner), "Administrator");
    EXPECT_EQ(Read(CHarnRegistry::GetRegisteredOrganization), "Example Ltd");
    Reg().Find(kNT)->DeleteValue("RegisteredOwner");
    EXPECT_EQ(Read(CHarnRegistry::GetRegisteredOwner), "<failed>");
}

TEST_F(RegistryRead, BuffersAreNeverOverrun) {
    Reg().SetString(kBase + "\\Path", "HOME", "D:\\Backup");  // 10 bytes with the NUL
    EXPECT_EQ(Read(CHarnRegistry::GetQuillbakHomeDir, 10), "D:\\Backup");
    EXPECT_EQ(Read(CHarnRegistry::GetQuillbakHomeDir, 9), "<failed>");
    // Stored without its terminator: ended when there is room, refused when not.
    Reg().Set(kBase + "\\Path", "LOG", REG_SZ, "D:\\L", 4);
    EXPECT_EQ(Read(CHarnRegistry::GetQuillbakLogDir, 5), "D:\\L");
    EXPECT_EQ(Read(CHarnRegistry::GetQuillbakLogDir, 4), "<failed>");
    // A number is not a folder.
    Reg().SetDword(kBase + "\\Path", "TEMP", 7);
    EXPECT_EQ(Read(CHarnRegistry::GetQuillbakTempDir), "<failed>");
    DWORD size = 0;
    char c = 'x';
    EXPECT_EQ(CHarnRegistry::GetQuillbakHomeDir(&c, &size, NULL), 0);
    EXPECT_EQ(CHarnRegistry::GetQuillbakHomeDir(NULL, &size, NULL), 0);
    EXPECT_EQ(CHarnRegistry::GetQuillbakHomeDir(&c, NULL, NULL), 0);
}

TEST_F(RegistryRead, InstanceGettersKeepTheirTextWhenAReadFails) {
    Reg().SetString(kBase + "\\Path", "HOME", "D:\\Backup");
    Probe r(0);
    EXPECT_STREQ(r.GetQuillbakHomeDir(), "D:\\Backup");
    Reg().Delete(kBase);
    EXPECT_STREQ(r.GetQuillbakHomeDir(), "D:\\Backup");
    // The owner field serves both owner getters.
    EXPECT_STREQ(r.GetRegisteredOwner(), "Administrator");
    Reg().SetString(kBase + "\\User", "Name", "Pat");
    EXPECT_STREQ(r.GetQuillbakUserName(), "Pat");
    Reg().Delete(kBase + "\\User");
    EXPECT_STREQ(r.GetQuillbakUserName(), "Pat");
}

TEST_F(RegistryRead, ReadFillsEveryFieldAndInjectedFailuresLeaveThemAlone) {
    Reg().SetString(kBase + "\\Path", "HOME", "D:\\Backup");
    Reg().SetString(kBase + "\\Path", "DATABASE", "D:\\Backup\\DATABASE");
    Reg().SetString(kBase + "\\Path", "LOG", "D:\\Backup\\LOG");
    Reg().SetString(kBase + "\\Path", "TEMP", "D:\\Backup\\TEMP");
    Reg().SetString(kAlert + "\\Path", "HOME", "D:\\ALERT");
    Reg().SetString(kAlert, "CurrentBuildNumber", "412");
    Reg().SetString(kAgent, "Path", "D:\\AGENT");
    PutRecord(kProducts, "Quillbak", MakeRecord(24, 1018, 7, 0, 3));
    Probe r(1);
    EXPECT_EQ(r.Mode(), (DWORD)KEY_READ);
    EXPECT_STREQ(r.GetQuillbakDBDir(), "D:\\Backup\\DATABASE");
    EXPECT_EQ(r.AlertBuild(), 412);
    EXPECT_EQ(r.GetQuillbakProductCode(), 24u);
    EXPECT_EQ(r.GetQuillbakBuildNumber(), 1018);
    EXPECT_EQ(r.GetQuillbakVersionNumber(), 0x0700);
    EXPECT_EQ(r.GetQuillbakUserLevel(), 5u);

    // Every open fails from now on: the fields keep what was read.
    winsim::InjectFault("RegOpenKeyExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    EXPECT_EQ(r.Read(), 1);
    EXPECT_STREQ(r.GetQuillbakHomeDir(), "D:\\Backup");
    EXPECT_STREQ(r.GetQuillbakLogDir(), "D:\\Backup\\LOG");
    EXPECT_STREQ(r.GetAlertHomeDir(), "D:\\ALERT");
    EXPECT_STREQ(r.GetClientAgentHomeDir(), "D:\\AGENT");
    EXPECT_EQ(r.GetQuillbakBuildNumber(), 1018);
    EXPECT_EQ(r.GetAlertBuildNumber(), 412u);
    winsim::ClearFaults();

    // A failing query after a good open.
    winsim::InjectFault("RegQueryValueExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    Probe fresh(1);
    EXPECT_STREQ(fresh.GetQuillbakHomeDir(), "");
    EXPECT_EQ(fresh.GetQuillbakProductCode(), 0u);
}

// ---- product records --------------------------------------------------------------------------
TEST(ProductRecords, ThisProductsRecordAndItsFallbacks) {
    Probe build(0);
    tagProductStruct r;
    EXPECT_EQ(CHarnRegistry::GetQuillbakProductInfo(&r, NULL), 0);
    Reg().Create(kOldProducts);
    PutRecord(kOldProducts, "Panorel125Backup", MakeRecord(20, 100, 1, 2, 0));
    ASSERT_EQ(CHarnRegistry::GetQuillbakProductInfo(&r, NULL), 1);
    EXPECT_EQ((DWORD)r.dwProductCode, 20u);
    PutRecord(kOldProducts, "Quillbak", MakeRecord(24, 238, 2, 0, 1));
    ASSERT_EQ(CHarnRegistry::GetQuillbakProductInfo(&r, NULL), 1);
    EXPECT_EQ(HIWORD(r.dwVersion), 238);
    PutRecord(kProducts, "Quillbak", MakeRecord(24, 1018, 7, 0, 3));
    ASSERT_EQ(CHarnRegistry::GetQuillbakProductInfo(&r, NULL), 1);
    EXPECT_EQ(HIWORD(r.dwVersion), 1018);
    EXPECT_EQ(CHarnRegistry::GetQuillbakProductInfo(NULL, NULL), 0);
}

TEST(ProductRecords, NamedRecordsFromAnyOfTheFourKeysFirstWins) {
    Probe build(0);
    tagProductStruct r;
    EXPECT_EQ(CHarnRegistry::GetProductInfo("Opt", &r, NULL), 0);
    const std::string keys[] = {kDSAgentProducts, kRootOldProducts, kOldProducts, kProducts};
    DWORD code = 100;
    for (const std::string &key : keys) {
        PutRecord(key, "Opt", MakeRecord(++code, 1, 1, 0, 0));
        ASSERT_EQ(CHarnRegistry::GetProductInfo("Opt", &r, NULL), 1) << key;
        EXPECT_EQ((DWORD)r.dwProductCode, code) << key;
    }
    EXPECT_EQ(CHarnRegistry::GetProductInfo(NULL, &r, NULL), 0);
}

TEST(ProductRecords, AShortRecordLeavesNoStaleBytesAndALongOneIsNoRecord) {
    Probe build(0);
    tagProductStruct full = MakeRecord(24, 1018, 7, 0, 3);
    // An earlier release's record: the first 16 bytes.
    PutRecord(kProducts, "Quillbak", &full, 16);
    tagProductStruct r;
    memset(&r, 0xAB, sizeof r);
    ASSERT_EQ(CHarnRegistry::GetQuillbakProductInfo(&r, NULL), 1);
    tagProductStruct expected;
    memset(&expected, 0, sizeof expected);
    memcpy(&expected, &full, 16);
    EXPECT_EQ(memcmp(&r, &expected, sizeof r), 0);
    // Its CRC is not checked on reading.
    full.dwCrc ^= 1;
    PutRecord(kProducts, "Quillbak", full);
    ASSERT_EQ(CHarnRegistry::GetQuillbakProductInfo(&r, NULL), 1);
    EXPECT_EQ((DWORD)r.dwCrc, (DWORD)full.dwCrc);

    std::vector<BYTE> longer(60, 1);
    PutRecord(kProducts, "Opt", longer.data(), longer.size());
    memset(&r, 0xAB, sizeof r);
    EXPECT_EQ(CHarnRegistry::GetProductInfo("Opt", &r, NULL), 0);
    EXPECT_EQ((DWORD)r.dwProductCode, 0xABABABABu);
}

TEST(ProductRecords, InstanceRecordGettersAndNamedOnes) {
    Probe r(0);
    EXPECT_EQ(r.GetSubType("Nothing"), (char)0xFF);
    EXPECT_EQ(r.GetBuildNumber("Nothing"), 0);
    PutRecord(kOldProducts, "HSM", MakeRecord(35, 1200, 6, 5, 4));
    EXPECT_EQ(r.GetProductCode("HSM"), 35u);
    EXPECT_EQ(r.GetBuildNumber("HSM"), 1200);
    EXPECT_EQ(r.GetVersionNumber("HSM"), 0x0605);
    EXPECT_EQ(r.GetSubType("HSM"), 4);
    // A later miss keeps the named fields.
    EXPECT_EQ(r.GetSubType("Nothing"), 4);
    EXPECT_EQ(r.GetQuillbakSubType(), 0);

    PutRecord(kProducts, "Quillbak", MakeRecord(24, 1018, 7, 1, 3));
    tagProductStruct got = r.GetQuillbakProductInfo();
    EXPECT_EQ((DWORD)got.dwVersion, (1018u << 16) | 0x0701);
    EXPECT_EQ(memcmp(&got, &r.Record(), sizeof got), 0);
    EXPECT_EQ(r.GetQuillbakSubType(), 3);
    Reg().Delete(kProducts);
    EXPECT_EQ((DWORD)r.GetQuillbakProductInfo().dwProductCode, 24u);
}

TEST(ProductRecords, AlertBuildIsTheLeadingNumberCutToSixteenBits) {
    Probe build(0);
    WORD b = 7;
    EXPECT_EQ(CHarnRegistry::GetAlertBuildNumber(&b, NULL), 0);
    EXPECT_EQ(b, 0);
    Reg().SetString(kOldAlert, "CurrentBuildNumber", "305 (old)");
    EXPECT_EQ(CHarnRegistry::GetAlertBuildNumber(&b, NULL), 1);
    EXPECT_EQ(b, 305);
    // The new key without the value: no turn to the old one.
    Reg().Create(kAlert);
    EXPECT_EQ(CHarnRegistry::GetAlertBuildNumber(&b, NULL), 0);
    Reg().SetString(kAlert, "CurrentBuildNumber", "70000");
    EXPECT_EQ(CHarnRegistry::GetAlertBuildNumber(&b, NULL), 1);
    EXPECT_EQ(b, 70000 & 0xFFFF);
    Reg().SetString(kAlert, "CurrentBuildNumber", "beta");
    EXPECT_EQ(CHarnRegistry::GetAlertBuildNumber(&b, NULL), 1);
    EXPECT_EQ(b, 0);
    Reg().SetString(kAlert, "CurrentBuildNumber", std::string(400, '9'));
    EXPECT_EQ(CHarnRegistry::GetAlertBuildNumber(&b, NULL), 0);
    EXPECT_EQ(CHarnRegistry::GetAlertBuildNumber(NULL, NULL), 0);
}

TEST(ProductRecords, AllowProductUpdateChecksTheBuildRange) {
    const char *inf = "C:\\WINNT\\system32\\QLBSETUP.INF";
    Probe r(0);
    EXPECT_EQ(r.AllowProductUpdate("Quillbak", "QLNT"), 0);  // no record
    PutRecord(kProducts, "Quillbak", MakeRecord(24, 300, 7, 0, 3));
    EXPECT_EQ(r.AllowProductUpdate("Quillbak", "QLNT"), 0);  // no file
    winsim::LocalMachine().PutFile(inf, "[BuildNumber]\r\nQLNT=300\r\nWIDE=250,300\r\n");
    EXPECT_EQ(r.AllowProductUpdate("Quillbak", "QLNT"), 1);
    EXPECT_EQ(r.AllowProductUpdate("Quillbak", "WIDE"), 1);
    EXPECT_EQ(r.AllowProductUpdate("Quillbak", "NONE"), 0);
    PutRecord(kProducts, "Quillbak", MakeRecord(24, 250, 7, 0, 3));
    EXPECT_EQ(r.AllowProductUpdate("Quillbak", "QLNT"), 0);
    EXPECT_EQ(r.AllowProductUpdate("Quillbak", "WIDE"), 1);
    PutRecord(kProducts, "Quillbak", MakeRecord(24, 301, 7, 0, 3));
    EXPECT_EQ(r.AllowProductUpdate("Quillbak", "WIDE"), 0);
    EXPECT_EQ(r.AllowProductUpdate(NULL, "WIDE"), 0);
}

// ---- setters, Write and Delete ------------------------------------------------------------------
class RegistryWrite : public ::testing::Test {
protected:
    void SetUp() override {
        memset(&info, 0, sizeof info);
        info.lProductType = 24;
        CopyToField(info.szLogFile, "C:\\TEMP\\QLBSETUP.LOG");
        winsim::LocalMachine().AddDrive('D');
    }
    CSettings Settings() {
        CSettings s(&info, 0);
        s.QuillbakPath("D:\\Backup");
        s.AlertPath("D:\\ALERT");
        s.ClientAgentPath("D:\\AGENT\\\\");
        s.RegisteredUser("Pat Doe");
        s.RegisteredCompany("Example Ltd");
        s.InstallManager(TRUE);
        s.InstallServer(TRUE);
        s.InstallDBType(2);
        s.ProductSubType(1);
        return s;
    }
    std::string Log() {
        std::string text;
        winsim::LocalMachine().GetFile("C:\\TEMP\\QLBSETUP.LOG", text);
        return text;
    }
    tagSETUP_INFO info;
};

TEST_F(RegistryWrite, WriteStoresTheSettingsInTheBrandedKeys) {
    CSettings s = Settings();
    Probe r(s, 1);
    EXPECT_EQ(Text(kBase + "\\Path", "HOME"), "D:\\Backup");
    EXPECT_EQ(Text(kBase + "\\Path", "DATABASE"), "D:\\Backup\\DATABASE");
    EXPECT_EQ(Text(kBase + "\\Path", "LOG"), "D:\\Backup\\LOG");
    EXPECT_EQ(Text(kBase + "\\Path", "TEMP"), "D:\\Backup\\TEMP");
    EXPECT_EQ(Text(kBase + "\\User", "Org"), "Example Ltd");
    // No service account: the user name is not written.
    EXPECT_EQ(Text(kBase + "\\User", "Name"), "<none>");
    EXPECT_EQ(Number(kBase + "\\Components", "MANAGER"), 1u);
    EXPECT_EQ(Number(kBase + "\\Components", "SERVER"), 1u);
    EXPECT_EQ(Number(kBase + "\\Components", "ADMIN"), 1u);
    EXPECT_EQ(Number(kBase + "\\Database", "DatabaseType"), 2u);
    EXPECT_EQ(Text(kEnvironment, "LNNAME"), "QUILLBAK");
    EXPECT_EQ(Text(kEnvironment, "RNNAME"), "QLSERVER");
    EXPECT_EQ(Text(kEnvironment, "CATPATH"), "D:\\Backup\\DATABASE");
    // Texts carry their terminator.
    EXPECT_EQ(Reg().Find(kBase + "\\Path")->FindValue("HOME")->data.size(), 10u);
    EXPECT_EQ(r.Write(), 1);
}

TEST_F(RegistryWrite, WriteWithoutTheServerStopsBeforeTheDatabase) {
    CSettings s = Settings();
    s.InstallServer(FALSE);
    s.InstallAdmin(FALSE);
    Probe r(s, 0);
    EXPECT_EQ(r.Write(), 1);
    EXPECT_EQ(Number(kBase + "\\Components", "SERVER"), 0u);
    EXPECT_EQ(Number(kBase + "\\Components", "ADMIN"), 0u);
    EXPECT_FALSE(HasValue(kBase + "\\Path", "DATABASE"));
    EXPECT_FALSE(HasValue(kBase + "\\Database", "DatabaseType"));
    EXPECT_FALSE(HasValue(kEnvironment, "CATPATH"));
}

TEST_F(RegistryWrite, CopyOnlyModeLeavesUserAndFoldersAlone) {
    info.bCopyOnlyMode = 1;
    CSettings s = Settings();
    Probe r(s, 0);
    EXPECT_EQ(r.Write(), 1);
    EXPECT_FALSE(HasValue(kBase + "\\Path", "HOME"));
    EXPECT_FALSE(HasValue(kBase + "\\User", "Org"));
    EXPECT_EQ(Number(kBase + "\\Components", "MANAGER"), 1u);
    EXPECT_EQ(Text(kBase + "\\Path", "DATABASE"), "D:\\Backup\\DATABASE");
}

TEST_F(RegistryWrite, OtherProductsAndReadingObjectsWriteNothing) {
    info.lProductType = 35;
    CSettings option = Settings();
    Probe o(option, 0);
    EXPECT_EQ(o.Write(), 1);
    EXPECT_EQ(Reg().Find(kBase), nullptr);

    Probe reader(1);
    EXPECT_EQ(reader.Write(), 0);
    EXPECT_EQ(reader.Delete(), 0);
    Probe unread(0);
    EXPECT_EQ(unread.Write(), 0);
    // A written object that has read is no longer exactly a writer.
    info.lProductType = 24;
    CSettings s = Settings();
    Probe both(s, 0);
    both.Read();
    EXPECT_EQ(both.Write(), 0);
    EXPECT_EQ(Reg().Find(kBase), nullptr);
    EXPECT_FALSE(HasValue(kEnvironment, "LNNAME"));
}

TEST_F(RegistryWrite, ASetterOfAReadingObjectWritesNothing) {
    Probe reader(1);
    ASSERT_EQ(reader.Mode(), (DWORD)KEY_READ);
    EXPECT_EQ(reader.SetQuillbakCompany(), 0);
    EXPECT_EQ(reader.SetQuillbakManager(), 0);
    EXPECT_EQ(reader.SetQuillbakEnvironmentVariables(), 0);
    EXPECT_EQ(reader.SetAlertControlDir(), 0);
    EXPECT_EQ(Reg().Find(kBase), nullptr);
    EXPECT_EQ(Reg().Find(kAlert), nullptr);
}

TEST_F(RegistryWrite, AnEmptyHomeIsNotWritten) {
    CSettings s(&info, 0);
    Probe r(s, 0);
    EXPECT_EQ(r.SetQuillbakHomeDir(), 0);
    EXPECT_EQ(r.SetAlertHomeDir(), 0);
    EXPECT_EQ(Reg().Find(kBase + "\\Path"), nullptr);
    EXPECT_EQ(Reg().Find(kAlert + "\\Path"), nullptr);
    // A root folder keeps its letter and colon.
    s.QuillbakPath("E:\\");
    Probe root(s, 0);
    EXPECT_EQ(root.SetQuillbakHomeDir(), 1);
    EXPECT_EQ(Text(kBase + "\\Path", "HOME"), "E:");
}

TEST_F(RegistryWrite, ServiceAccountGoesToTheBrandingLibrary) {
    InstallBrandKit();
    CSettings s = Settings();
    s.SystemAccountName("DOM\\svc");
    s.SystemAccountServer("QLSERVER");
    s.SystemAccountPassword("secret");
    Probe r(s, 0);
    EXPECT_EQ(r.SetQuillbakUser(), 1);
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_DOMAIN), "DOM");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_NAME), "svc");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_PASSWORD), "secret");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_SERVER), "QLSERVER");
    // The library's own brand names the base key.
    EXPECT_EQ(Text(std::string("HKLM\\") + BRANDKIT_DOUBLE_DEFAULT_REG_BASE + "\\User", "Name"), "Pat Doe");

    s.SystemAccountName("\\svc");
    s.SystemAccountDomain("CORP");
    Probe lead(s, 0);
    EXPECT_EQ(lead.SetQuillbakUser(), 1);
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_DOMAIN), "CORP");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_NAME), "\\svc");

    SetBrandKitNumber(BRANDKIT_VALUE_SET_RESULT, 0);
    Probe refused(s, 0);
    EXPECT_EQ(refused.SetQuillbakUser(), 1);
    EXPECT_NE(Log().find("\tFailed to add QuillbakIT user account\r\n"), std::string::npos) << Log();
}

TEST_F(RegistryWrite, WithoutTheBrandingLibraryTheUserIsStillRecorded) {
    CSettings s = Settings();
    s.SystemAccountName("svc");
    Probe r(s, 0);
    EXPECT_EQ(r.SetQuillbakUser(), 1);
    EXPECT_EQ(Text(kBase + "\\User", "Name"), "Pat Doe");
    EXPECT_NE(Log().find("\tFailed to load BRANDKIT.DLL to create system user account.\r\n"), std::string::npos)
        << Log();
}

TEST_F(RegistryWrite, AlertSetters) {
    CSettings s = Settings();
    Probe r(s, 0);
    EXPECT_EQ(r.SetAlertRegisteredOwner(), 1);
    EXPECT_EQ(r.SetAlertRegisteredOrganization(), 1);
    EXPECT_EQ(r.SetAlertHomeDir(), 1);
    EXPECT_EQ(r.SetAlertLogDir(), 1);
    EXPECT_EQ(r.SetAlertControlDir(), 1);
    EXPECT_EQ(r.SetAlertEventLogDir(), 1);
    EXPECT_EQ(r.SetAlertCompany(), 1);
    EXPECT_EQ(r.SetAlertLocation(), 1);
    EXPECT_EQ(r.SetAlertEventLog(), 1);
    EXPECT_EQ(r.SetClientAgentHomeDir(), 1);
    EXPECT_EQ(Text(kAlert, "RegisteredOwner"), "Pat Doe");
    EXPECT_EQ(Text(kAlert, "RegisteredOrganization"), "Example Ltd");
    EXPECT_EQ(Text(kAlert + "\\Path", "HOME"), "D:\\ALERT");
    EXPECT_EQ(Text(kAlert + "\\Path", "LOG"), "D:\\ALERT\\LOG");
    EXPECT_EQ(Text(kAlert + "\\Path", "CONTROL"), "C:\\WINNT");
    EXPECT_EQ(Text(kAlert + "\\Path", "EVENTLOG"), "D:\\ALERT\\EVENTLOG");
    EXPECT_EQ(Text(kAlert + "\\User", "Company"), "Example Ltd");
    EXPECT_EQ(Text(kAlert + "\\User", "Location"), "Example Ltd");
    const std::string source = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Alert Notification Server";
    EXPECT_EQ(Text(source, "EventMessageFile"), "D:\\ALERT\\NOTIFSRV.EXE");
    EXPECT_EQ(Number(source, "TypesSupported"), 7u);
    EXPECT_EQ(Text(kAgent, "Path"), "D:\\AGENT");
}

TEST_F(RegistryWrite, AlertBuildDateAndInstallDate) {
    SYSTEMTIME st{};
    st.wYear = 2001;
    st.wMonth = 3;
    st.wDay = 4;
    st.wHour = 5;
    st.wMinute = 6;
    st.wSecond = 7;
    winsim::SetClock(st);
    CSettings s = Settings();
    Probe r(s, 0);
    EXPECT_EQ(r.SetAlertCurrentBuild(), 0);  // no program yet
    EXPECT_FALSE(HasValue(kAlert, "CurrentBuild"));
    EXPECT_EQ(r.SetAlertInstallDate(), 1);
    EXPECT_EQ(Number(kAlert, "InstallDate"), 983682367u);  // 2001-03-04 05:06:07 UTC
    // Without the version library the number is empty.
    EXPECT_EQ(r.SetAlertCurrentBuildNumber(), 1);
    EXPECT_EQ(Text(kAlert, "CurrentBuildNumber"), "");
    InstallDouble("NOTIFVER", "D:\\ALERT\\NOTIFVER.DLL");
    EXPECT_EQ(r.SetAlertCurrentBuildNumber(), 1);
    EXPECT_EQ(Text(kAlert, "CurrentBuildNumber"), "412 (release)");
    winsim::LocalMachine().PutFile("D:\\ALERT\\NOTIFSRV.EXE", "MZ");
    EXPECT_EQ(r.SetAlertCurrentBuild(), 1);
    std::string date = Text(kAlert, "CurrentBuild");
    ASSERT_EQ(date.size(), 8u) << date;  // "MM/DD/YY"
    EXPECT_EQ(date[2], '/');
    EXPECT_EQ(date[5], '/');
}

TEST_F(RegistryWrite, AFailedStepMakesWriteFailButTheRestStillRuns) {
    CSettings s = Settings();
    Probe r(s, 0);
    // The first value written (the company) fails.
    winsim::InjectFault("RegSetValueExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(r.Write(), 0);
    EXPECT_FALSE(HasValue(kBase + "\\User", "Org"));
    EXPECT_EQ(Text(kBase + "\\Path", "HOME"), "D:\\Backup");
    EXPECT_EQ(Number(kBase + "\\Database", "DatabaseType"), 2u);

    // A key that cannot be created.
    Reg().Delete(kBase);
    winsim::InjectFault("RegCreateKeyExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Nth, 2);
    EXPECT_EQ(r.Write(), 0);
    EXPECT_FALSE(HasValue(kBase + "\\Path", "HOME"));
    EXPECT_EQ(Text(kBase + "\\Path", "LOG"), "D:\\Backup\\LOG");
    // LNNAME failing skips RNNAME.
    Reg().Find(kEnvironment)->DeleteValue("RNNAME");
    winsim::InjectFault("RegSetValueExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Nth, 5);
    EXPECT_EQ(r.Write(), 0);
    EXPECT_FALSE(HasValue(kEnvironment, "RNNAME"));
}

TEST_F(RegistryWrite, ClassWideSetters) {
    Probe build(0);
    EXPECT_EQ(CHarnRegistry::SetQuillbakManager(5), 1);
    EXPECT_EQ(Number(kBase + "\\Components", "MANAGER"), 1u);
    EXPECT_EQ(CHarnRegistry::SetQuillbakDatabase(1), 1);
    EXPECT_EQ(Number(kBase + "\\Database", "DatabaseType"), 2u);
    EXPECT_EQ(CHarnRegistry::SetQuillbakDatabase(0), 1);
    EXPECT_EQ(Number(kBase + "\\Database", "DatabaseType"), 1u);
    EXPECT_EQ(CHarnRegistry::SetQuillbakDatabase((DWORD)7), 1);
    EXPECT_EQ(Number(kBase + "\\Database", "DatabaseType"), 7u);
    EXPECT_EQ(CHarnRegistry::SetAlertInstallDate(12345), 1);
    EXPECT_EQ(Number(kAlert, "InstallDate"), 12345u);
    EXPECT_EQ(CHarnRegistry::SetQuillbakHomeDir(NULL), 0);
    EXPECT_EQ(CHarnRegistry::SetEnvironmentVariableA("X", "1"), 1);
    EXPECT_EQ(CHarnRegistry::DeleteEnvironmentVariable("X"), 1);
    EXPECT_EQ(CHarnRegistry::DeleteEnvironmentVariable("X"), 0);
}

TEST_F(RegistryWrite, DeleteRemovesTheEnvironmentOnlyForTheWholeProduct) {
    CSettings s = Settings();
    Probe w(s, 1);
    ASSERT_EQ(Text(kEnvironment, "CATPATH"), "D:\\Backup\\DATABASE");
    CSettings partial = Settings();
    partial.InstallManager(FALSE);
    Probe p(partial, 0);
    EXPECT_EQ(p.Delete(), 1);
    EXPECT_TRUE(HasValue(kEnvironment, "LNNAME"));
    Probe d(s, 0);
    EXPECT_EQ(d.Delete(), 1);
    EXPECT_FALSE(HasValue(kEnvironment, "CATPATH"));
    EXPECT_FALSE(HasValue(kEnvironment, "LNNAME"));
    EXPECT_TRUE(HasValue(kEnvironment, "RNNAME"));
}

// ---- another machine ---------------------------------------------------------------------------
class RemoteRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        other_ = &winsim::CreateDefaultMachine("OTHER");
        other_->registry.SetString(kBase + "\\Path", "HOME", "E:\\Remote");
        other_->registry.SetString(kAlert, "CurrentBuildNumber", "500");
        PutRecord(kProducts, "Quillbak", MakeRecord(24, 1018, 7, 0, 4), other_->registry);
        Reg().SetString(kBase + "\\Path", "HOME", "C:\\Local");
        Reg().SetString(kAlert, "CurrentBuildNumber", "400");
        PutRecord(kProducts, "Quillbak", MakeRecord(24, 900, 6, 5, 1));
        PutRecord(kProducts, "Opt", MakeRecord(33, 100, 1, 0, 0));
    }
    winsim::Machine *other_;
};

TEST_F(RemoteRegistry, ReadsTheOtherMachineThroughItsHandle) {
    char name[] = "OTHER";
    Probe r(1, name);
    EXPECT_STREQ(r.GetQuillbakHomeDir(), "E:\\Remote");
    EXPECT_EQ(r.AlertBuild(), 500);
    EXPECT_EQ(r.GetQuillbakBuildNumber(), 1018);
    EXPECT_EQ(r.GetQuillbakSubType(), 4);
    EXPECT_STREQ(r.GetRegisteredOwner(), "Administrator");
    // A product only this machine knows is not found there.
    EXPECT_EQ(r.GetSubType("Opt"), (char)0xFF);
    EXPECT_EQ(r.AllowProductUpdate("Opt", "QLNT"), 0);
}

TEST_F(RemoteRegistry, WritesTheOtherMachine) {
    CSettings s;
    s.QuillbakPath("E:\\New");
    s.InstallManager(TRUE);
    char name[] = "\\\\OTHER";
    Probe r(s, 0, name);
    EXPECT_EQ(r.SetQuillbakHomeDir(), 1);
    EXPECT_EQ(r.SetQuillbakManager(), 1);
    EXPECT_EQ(r.SetQuillbakEnvironmentVariables(), 1);
    EXPECT_EQ(Text(kBase + "\\Path", "HOME", other_->registry), "E:\\New");
    EXPECT_EQ(Number(kBase + "\\Components", "MANAGER", other_->registry), 1u);
    EXPECT_EQ(Text(kEnvironment, "RNNAME", other_->registry), "OTHER");
    EXPECT_EQ(Text(kBase + "\\Path", "HOME"), "C:\\Local");
    EXPECT_FALSE(HasValue(kEnvironment, "LNNAME"));
}

TEST_F(RemoteRegistry, AnUnreachableMachineIsNotReadOrWrittenAsThisOne) {
    char name[] = "NOWHERE";
    Probe r(0, name);
    EXPECT_EQ(r.Read(), 0);
    EXPECT_STREQ(r.GetQuillbakHomeDir(), "");
    EXPECT_EQ(r.GetAlertBuildNumber(), 0u);
    EXPECT_EQ(r.GetQuillbakBuildNumber(), 0);
    EXPECT_EQ(r.GetSubType("Opt"), (char)0xFF);
    CSettings s;
    s.QuillbakPath("E:\\New");
    Probe w(s, 0, name);
    EXPECT_EQ(w.SetQuillbakHomeDir(), 0);
    EXPECT_EQ(Text(kBase + "\\Path", "HOME"), "C:\\Local");

    winsim::InjectFault("RegConnectRegistryA", ERROR_ACCESS_DENIED);
    char other[] = "OTHER";
    Probe refused(1, other);
    EXPECT_EQ(refused.Handle(), (HKEY)NULL);
    EXPECT_STREQ(refused.GetQuillbakHomeDir(), "");
}

TEST_F(RemoteRegistry, CopiesShareTheHandleAndTheLastClosesIt) {
    char name[] = "OTHER";
    Probe *r = new Probe(0, name);
    Probe copy(*r);
    Probe assigned(0);
    assigned = *r;
    assigned = assigned;
    delete r;
    EXPECT_EQ(winsim::CallCount("RegCloseKey"), 0u);
    EXPECT_STREQ(copy.GetQuillbakHomeDir(), "E:\\Remote");
    EXPECT_STREQ(assigned.GetQuillbakHomeDir(), "E:\\Remote");
    const unsigned closes = winsim::CallCount("RegCloseKey");
    {
        Probe gone(copy);
    }
    EXPECT_EQ(winsim::CallCount("RegCloseKey"), closes);
    copy = Probe(0);  // the copy now holds this machine
    EXPECT_STREQ(assigned.GetQuillbakHomeDir(), "E:\\Remote");
}

TEST_F(RemoteRegistry, DestroyingTheObjectLeavesTheCallersConnectionAlone) {
    NETRESOURCEA nr = {};
    nr.dwType = RESOURCETYPE_DISK;
    char remote[] = "\\\\OTHER\\ipc$";
    nr.lpRemoteName = remote;
    ASSERT_EQ(WNetAddConnection2A(&nr, "", NULL, 0), (DWORD)NO_ERROR);
    {
        char name[] = "OTHER";
        Probe r(1, name);
        Probe copy(r);
    }
    EXPECT_EQ(WNetCancelConnection2A(remote, 0, TRUE), (DWORD)NO_ERROR);
}

}  // namespace
