// The branded registry roots: how every construction of the product registry
// object takes them from the branding library, or from the built-in roots.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <cstring>
#include <string>

#include "brandkit.h"
#include "registry/HarnRegistry.h"

namespace {

const char *kLog = "C:\\TEMP\\QLBSETUP.LOG";
const std::string kLogLine = "01/05/01 09:07:03\t\tLoad BRANDKIT.DLL fail\r\n";

// Opens the class's branded roots and what an object holds to the tests.
class RegistryProbe : public CHarnRegistry {
public:
    RegistryProbe(CSettings &settings, int write, char *machine) : CHarnRegistry(settings, write, machine) {}
    explicit RegistryProbe(int read, char *machine = NULL) : CHarnRegistry(read, machine) {}

    static std::string Maker() { return (LPCSTR)m_sHarnockKey; }
    static std::string Product() { return (LPCSTR)m_sQuillbakKey; }
    static std::string Base() { return (LPCSTR)m_sQuillbakBaseKey; }
    static std::string Products() { return (LPCSTR)m_sProductsKey; }
    static std::string Agent() { return (LPCSTR)m_sAgentKey; }

    DWORD Mode() const { return m_dwMode; }
    HKEY Handle() const { return m_hRegistry; }
    std::string Machine() const { return (LPCSTR)m_strMachine; }
    char NamedSubType() const { return m_chNamedSubType; }
    const CSettings &Settings() const { return m_Settings; }
    bool NumbersAndTextsClear() const {
        static const tagProductStruct zero = {};
        return m_strOrganization.IsEmpty() && m_strOwner.IsEmpty() && m_strHomeDir.IsEmpty() &&
               m_strDBDir.IsEmpty() && m_strLogDir.IsEmpty() && m_strTempDir.IsEmpty() &&
               m_strAlertHomeDir.IsEmpty() && m_strAgentHomeDir.IsEmpty() && m_dwUserLevel == 0 &&
               m_dwProductCode == 0 && m_wVersion == 0 && m_wBuild == 0 && m_dwNamedProductCode == 0 &&
               m_wNamedVersion == 0 && m_wNamedBuild == 0 && m_wAlertBuild == 0 && m_chSubType == 0 &&
               memcmp(&m_Record, &zero, sizeof zero) == 0;
    }
};

struct Roots {
    std::string maker, product, base, products, agent;
};

Roots Current() {
    return {RegistryProbe::Maker(), RegistryProbe::Product(), RegistryProbe::Base(), RegistryProbe::Products(),
            RegistryProbe::Agent()};
}

void ExpectRoots(const Roots &want) {
    Roots got = Current();
    EXPECT_EQ(got.maker, want.maker);
    EXPECT_EQ(got.product, want.product);
    EXPECT_EQ(got.base, want.base);
    EXPECT_EQ(got.products, want.products);
    EXPECT_EQ(got.agent, want.agent);
    EXPECT_STREQ(CHarnRegistry::GetQuillbakKey(), want.product.c_str());
}

const Roots kBuiltIn = {"SOFTWARE\\Veltmark", "SOFTWARE\\Veltmark\\QuillbakIT", "SOFTWARE\\Veltmark\\QuillbakIT\\Base",
                        "SOFTWARE\\Veltmark\\QuillbakIT\\Products",
                        "SOFTWARE\\Veltmark\\QuillbakIT\\ClientAgent\\Common"};
const Roots kDouble = {"SOFTWARE\\Testmark", "SOFTWARE\\Testmark\\QuillbakIT", "SOFTWARE\\Testmark\\QuillbakIT\\Base",
                       "SOFTWARE\\Testmark\\QuillbakIT\\Products",
                       "SOFTWARE\\Testmark\\QuillbakIT\\ClientAgent\\Common"};

class BrandRoots : public ::testing::Test {
protected:
    void SetUp() override {
        SYSTEMTIME st{};
        st.wYear = 2001;
        st.wMonth = 1;
        st.wDay = 5;
        st.wHour = 9;
        st.wMinute = 7;
        st.wSecond = 3;
        winsim::SetClock(st);
        memset(&info, 0, sizeof info);
        CopyToField(info.szLogFile, kLog);
        info.lProductType = 24;
    }

    // A write object from settings whose setup log is kLog, as setup builds it.
    void BuildFromSettings() {
        CSettings settings(&info, 0);
        RegistryProbe r(settings, 0, NULL);
    }

    std::string Log() {
        std::string text;
        winsim::LocalMachine().GetFile(kLog, text);
        return text;
    }

    bool LogExists() { return winsim::LocalMachine().Exists(kLog); }

    tagSETUP_INFO info;
};

TEST_F(BrandRoots, WithoutTheLibraryTheBuiltInRootsAreUsedAndTheFailureIsLogged) {
    // Roots of an earlier construction are replaced, not kept.
    InstallBrandKit();
    BuildFromSettings();
    ExpectRoots(kDouble);
    ASSERT_TRUE(DeleteFileA(BrandKitSystemPath()));

    BuildFromSettings();
    ExpectRoots(kBuiltIn);
    EXPECT_EQ(Log(), kLogLine);
}

TEST_F(BrandRoots, AnObjectWithoutSettingsHasNoLogToWriteTo) {
    RegistryProbe r(1);
    ExpectRoots(kBuiltIn);
    EXPECT_FALSE(LogExists());
}

TEST_F(BrandRoots, ALoadFailureIsTreatedAsAMissingLibrary) {
    InstallBrandKit();
    winsim::InjectFault("LoadLibraryA", ERROR_NOT_ENOUGH_MEMORY);
    BuildFromSettings();
    ExpectRoots(kBuiltIn);
    EXPECT_EQ(Log(), kLogLine);
}

TEST_F(BrandRoots, EveryConstructionLogsItsOwnFailure) {
    BuildFromSettings();
    winsim::AdvanceClock(61 * 1000);
    BuildFromSettings();
    EXPECT_EQ(Log(), kLogLine + "01/05/01 09:08:04\t\tLoad BRANDKIT.DLL fail\r\n");
}

TEST_F(BrandRoots, TheLibraryNamesTheRootsAndIsReleasedAfterwards) {
    InstallBrandKit();
    BuildFromSettings();
    ExpectRoots(kDouble);
    EXPECT_FALSE(LogExists());
    EXPECT_EQ(GetModuleHandleA("BRANDKIT.DLL"), nullptr);
    EXPECT_EQ(winsim::CallCount("LoadLibraryA"), 1u);
    EXPECT_EQ(winsim::CallCount("FreeLibrary"), 1u);
}

TEST_F(BrandRoots, ItIsLoadedByItsPlainNameThroughTheSearchOrder) {
    // Beside the running program, not in the system folder.
    winsim::Machine &m = winsim::LocalMachine();
    m.modulePath = "C:\\SETUP\\SETUP.EXE";
    m.PutFile(m.modulePath, "");
    InstallBrandKit("BRANDKIT", "C:\\SETUP\\BRANDKIT.DLL");
    BuildFromSettings();
    ExpectRoots(kDouble);
}

TEST_F(BrandRoots, TheAgentKeyFollowsTheProductRootAndTheOtherRootsStayIndependent) {
    InstallBrandKit();
    SetBrandKitText(BRANDKIT_VALUE_REG_ROOT, "SOFTWARE\\Other\\Product");
    BuildFromSettings();
    ExpectRoots({kDouble.maker, "SOFTWARE\\Other\\Product", kDouble.base, kDouble.products,
                 "SOFTWARE\\Other\\Product\\ClientAgent\\Common"});
}

TEST_F(BrandRoots, EmptyTextsMakeEmptyRootsWithoutFallingBack) {
    InstallBrandKit();
    for (const char *value : {BRANDKIT_VALUE_BRAND_NAME, BRANDKIT_VALUE_REG_ROOT, BRANDKIT_VALUE_REG_BASE,
                              BRANDKIT_VALUE_PRODUCTS})
        SetBrandKitText(value, "");
    BuildFromSettings();
    ExpectRoots({"", "", "", "", "\\ClientAgent\\Common"});
    EXPECT_FALSE(LogExists());
    // Nothing built on them may be deleted or copied.
    EXPECT_FALSE(CHarnRegistry::IsSafeKeyPath(RegistryProbe::Agent().c_str()));
    EXPECT_FALSE(CHarnRegistry::IsSafeKeyPath((RegistryProbe::Base() + "\\Path").c_str()));
    EXPECT_FALSE(CHarnRegistry::IsSafeKeyPath(RegistryProbe::Maker().c_str()));
}

TEST_F(BrandRoots, AFailingFunctionLeavesNoEarlierTextBehind) {
    InstallBrandKit();
    // The maker root fills the buffer first; the product root's function
    // then fails without writing. The base key's function fills the whole
    // buffer without a terminator; the products key's function then fails.
    const std::string longMaker = "SOFTWARE\\" + std::string(200, 'M');
    SetBrandKitText(BRANDKIT_VALUE_BRAND_NAME, longMaker);
    SetBrandKitText(BRANDKIT_VALUE_REG_ROOT, BRANDKIT_FAIL);
    SetBrandKitText(BRANDKIT_VALUE_REG_BASE, BRANDKIT_GARBAGE);
    SetBrandKitText(BRANDKIT_VALUE_PRODUCTS, BRANDKIT_FAIL);
    BuildFromSettings();
    // A zero result still counts: the buffer's text is taken as it is.
    ExpectRoots({longMaker, "", std::string(259, '#'), "", "\\ClientAgent\\Common"});
}

TEST_F(BrandRoots, AFailureLeavesNoTextOfAnEarlierConstruction) {
    InstallBrandKit();
    BuildFromSettings();
    SetBrandKitText(BRANDKIT_VALUE_BRAND_NAME, BRANDKIT_FAIL);
    BuildFromSettings();
    EXPECT_EQ(RegistryProbe::Maker(), "");
    EXPECT_EQ(RegistryProbe::Product(), kDouble.product);
}

TEST_F(BrandRoots, TheBufferHoldsTwoHundredSixtyBytes) {
    InstallBrandKit();
    SetBrandKitText(BRANDKIT_VALUE_REG_BASE, std::string(400, 'B'));
    BuildFromSettings();
    EXPECT_EQ(RegistryProbe::Base(), std::string(259, 'B'));
}

TEST_F(BrandRoots, MissingFunctionsTakeTheirBuiltInRoots) {
    InstallBrandKit("BRANDKIT_NO_ROOTS");
    BuildFromSettings();
    ExpectRoots(kBuiltIn);
    EXPECT_FALSE(LogExists());  // the library itself was there
    EXPECT_EQ(GetModuleHandleA("BRANDKIT.DLL"), nullptr);
}

TEST_F(BrandRoots, ALookupFailureCountsAsAMissingFunction) {
    InstallBrandKit();
    SetBrandKitText(BRANDKIT_VALUE_REG_ROOT, "SOFTWARE\\Other\\Product");
    // The second lookup (the product root) fails.
    winsim::InjectFault("GetProcAddress", ERROR_PROC_NOT_FOUND, winsim::FaultMode::Nth, 2);
    BuildFromSettings();
    ExpectRoots({kDouble.maker, kBuiltIn.product, kDouble.base, kDouble.products, kBuiltIn.agent});
}

TEST_F(BrandRoots, ALibraryWithOnlyTheRootFunctionsServes) {
    InstallBrandKit("BRANDKIT_ROOTS_ONLY");
    SetBrandKitText(BRANDKIT_VALUE_PRODUCTS, "SOFTWARE\\Elsewhere\\Products");
    BuildFromSettings();
    ExpectRoots({kDouble.maker, kDouble.product, kDouble.base, "SOFTWARE\\Elsewhere\\Products", kDouble.agent});
}

TEST_F(BrandRoots, RootsAreSharedAndTheLastConstructionWins) {
    InstallBrandKit();
    CSettings settings(&info, 0);
    RegistryProbe first(settings, 0, NULL);
    EXPECT_STREQ(CHarnRegistry::GetQuillbakKey(), kDouble.product.c_str());
    SetBrandKitText(BRANDKIT_VALUE_REG_ROOT, "SOFTWARE\\Second");
    RegistryProbe second(1);
    // Read through either object, the roots are the second construction's.
    EXPECT_EQ(first.Product(), "SOFTWARE\\Second");
    EXPECT_EQ(second.Agent(), "SOFTWARE\\Second\\ClientAgent\\Common");
    // Copies take nothing from the library.
    RegistryProbe copy(first);
    EXPECT_EQ(winsim::CallCount("LoadLibraryA"), 2u);
}

// ---- what a construction leaves in the object ------------------------------------------------
TEST_F(BrandRoots, AnObjectFromSettingsIsSetToWrite) {
    InstallBrandKit();
    CSettings settings(&info, 0);
    RegistryProbe r(settings, 0, NULL);
    EXPECT_EQ(r.Mode(), (DWORD)0x20006);
    EXPECT_EQ(r.Handle(), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(r.Machine(), "");
    EXPECT_EQ(r.NamedSubType(), (char)0xFF);
    EXPECT_TRUE(r.NumbersAndTextsClear());
    EXPECT_STREQ(r.Settings().LogFile(), kLog);
    EXPECT_EQ(r.Settings().ProductType(), 24);
}

TEST_F(BrandRoots, AReadingObjectStartsClear) {
    RegistryProbe r(0);
    EXPECT_EQ(r.Mode(), 0u);
    EXPECT_EQ(r.Handle(), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(r.NamedSubType(), (char)0xFF);
    EXPECT_TRUE(r.NumbersAndTextsClear());
    EXPECT_STREQ(r.Settings().LogFile(), "");
    // Reading marks the object as read.
    RegistryProbe read(1);
    EXPECT_EQ(read.Mode(), (DWORD)KEY_READ);
}

TEST_F(BrandRoots, AnObjectOnAnotherMachineOwnsItsConnectionOnce) {
    winsim::CreateDefaultMachine("OTHER");
    char other[] = "OTHER";
    {
        RegistryProbe r(0, other);
        EXPECT_NE(r.Handle(), HKEY_LOCAL_MACHINE);
        EXPECT_NE(r.Handle(), (HKEY)NULL);
        EXPECT_EQ(r.Machine(), "OTHER");
        RegistryProbe copy(r);
        RegistryProbe assigned(0);
        assigned = r;
        EXPECT_EQ(copy.Handle(), r.Handle());
        EXPECT_EQ(assigned.Handle(), r.Handle());
        EXPECT_EQ(assigned.Machine(), "OTHER");
        EXPECT_EQ(winsim::CallCount("RegCloseKey"), 0u);
    }
    EXPECT_EQ(winsim::CallCount("RegCloseKey"), 1u);
}

TEST_F(BrandRoots, NamingThisMachineOrAnUnknownOne) {
    char self[] = "QLSERVER";
    char unknown[] = "NOWHERE";
    {
        RegistryProbe local(0, self);
        EXPECT_EQ(local.Handle(), HKEY_LOCAL_MACHINE);
        EXPECT_EQ(local.Machine(), "QLSERVER");
        RegistryProbe lost(0, unknown);
        EXPECT_EQ(lost.Handle(), (HKEY)NULL);
        EXPECT_EQ(lost.Machine(), "NOWHERE");
    }
    EXPECT_EQ(winsim::CallCount("RegCloseKey"), 0u);
}

}  // namespace
