// The branding library's contract as the declarations in BrandKit.h state
// it, checked against the stand-ins other tests build on: export names,
// calling shapes, the account record crossing the boundary.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <cstring>
#include <string>

#include "brandkit.h"
#include "registry/BrandKit.h"

namespace {

template <class F>
F Proc(HMODULE m, const char *name) {
    return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(m, name)));
}

class BrandLibrary : public ::testing::Test {
protected:
    void TearDown() override {
        if (lib) FreeLibrary(lib);
    }
    HMODULE Load(const char *variant) {
        InstallBrandKit(variant);
        lib = LoadLibraryA(BKT_LIBRARY_NAME);
        return lib;
    }
    HMODULE lib = nullptr;
};

TEST_F(BrandLibrary, VariantsCarryTheirExports) {
    const char *roots[] = {BKT_GET_BRAND_NAME_STRING, BKT_GET_REG_ROOT_STRING, BKT_GET_REG_BASE_STRING,
                           BKT_GET_PRODUCTS_STRING};
    const char *others[] = {BKT_GET_USER_ACCOUNT, BKT_SET_USER_ACCOUNT, BKT_IS_WINDOWS_VERSION_OK};
    struct Case {
        const char *variant;
        bool hasRoots, hasOthers;
    } cases[] = {{"BRANDKIT", true, true}, {"BRANDKIT_ROOTS_ONLY", true, false}, {"BRANDKIT_NO_ROOTS", false, true}};
    for (const Case &c : cases) {
        winsim::ResetWorld();
        winsim::CreateDefaultMachine();
        lib = nullptr;
        ASSERT_NE(Load(c.variant), nullptr) << c.variant;
        for (const char *name : roots) EXPECT_EQ(GetProcAddress(lib, name) != nullptr, c.hasRoots) << c.variant << name;
        for (const char *name : others)
            EXPECT_EQ(GetProcAddress(lib, name) != nullptr, c.hasOthers) << c.variant << name;
        FreeLibrary(lib);
        lib = nullptr;
    }
}

TEST_F(BrandLibrary, RootGettersWriteWithinTheSizeTheyAreGiven) {
    ASSERT_NE(Load("BRANDKIT"), nullptr);
    auto getBase = Proc<PFN_BKT_GET_STRING>(lib, BKT_GET_REG_BASE_STRING);
    char buffer[BKT_ROOT_BUFFER_SIZE + 8];
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(getBase(buffer, 10), 1);
    EXPECT_STREQ(buffer, "SOFTWARE\\");
    EXPECT_EQ(buffer[10], 'x');
    SetBrandKitText(BRANDKIT_VALUE_REG_BASE, BRANDKIT_GARBAGE);
    memset(buffer, 0, sizeof buffer);
    EXPECT_EQ(getBase(buffer, BKT_ROOT_BUFFER_SIZE), 0);
    EXPECT_EQ(std::string(buffer), std::string(BKT_ROOT_BUFFER_SIZE, '#'));
}

TEST_F(BrandLibrary, TheAccountRecordCrossesWhole) {
    ASSERT_NE(Load("BRANDKIT"), nullptr);
    auto set = Proc<PFN_BKT_SET_USER_ACCOUNT>(lib, BKT_SET_USER_ACCOUNT);
    auto get = Proc<PFN_BKT_GET_USER_ACCOUNT>(lib, BKT_GET_USER_ACCOUNT);

    BKT_USER_ACCOUNT out;
    SetLastError(0);
    EXPECT_EQ(get("QLSERVER", &out), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NONE_MAPPED);

    BKT_USER_ACCOUNT in;
    memset(&in, 0, sizeof in);
    strcpy(in.szDomain, "DOM");
    strcpy(in.szAccountName, "svc");
    strcpy(in.szPassword, "secret");
    EXPECT_EQ(set("QLSERVER", &in), 1);
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_ACCOUNT_SERVER), "QLSERVER");

    memset(&out, 'x', sizeof out);
    EXPECT_EQ(get("OTHER", &out), 1);
    EXPECT_STREQ(out.szDomain, "DOM");
    EXPECT_STREQ(out.szAccountName, "svc");
    EXPECT_STREQ(out.szPassword, "secret");
    EXPECT_EQ(BrandKitText(BRANDKIT_VALUE_GET_SERVER), "OTHER");

    // A result whose low 16 bits are zero, and a refusal.
    SetBrandKitNumber(BRANDKIT_VALUE_SET_RESULT, 0x10000);
    EXPECT_EQ(set("QLSERVER", &in), 0x10000);
    SetBrandKitNumber(BRANDKIT_VALUE_SET_RESULT, 0);
    SetLastError(0);
    EXPECT_EQ(set("QLSERVER", &in), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
}

TEST_F(BrandLibrary, TheVersionCheckReceivesItsThreeNumbers) {
    ASSERT_NE(Load("BRANDKIT"), nullptr);
    auto check = Proc<PFN_BKT_IS_WINDOWS_VERSION_OK>(lib, BKT_IS_WINDOWS_VERSION_OK);
    EXPECT_EQ(check(4, 0, 1381), 1);
    SetBrandKitNumber(BRANDKIT_VALUE_VERSION_OK, 0);
    EXPECT_EQ(check(5, 0, 0xFFFFFFFF), 0);
    DWORD a = 0, b = 0, c = 0;
    winsim::Registry &r = winsim::LocalMachine().registry;
    ASSERT_TRUE(r.GetDword(BRANDKIT_DOUBLE_KEY, BRANDKIT_VALUE_VERSION_ARG1, a));
    ASSERT_TRUE(r.GetDword(BRANDKIT_DOUBLE_KEY, BRANDKIT_VALUE_VERSION_ARG2, b));
    ASSERT_TRUE(r.GetDword(BRANDKIT_DOUBLE_KEY, BRANDKIT_VALUE_VERSION_ARG3, c));
    EXPECT_EQ(a, 5u);
    EXPECT_EQ(b, 0u);
    EXPECT_EQ(c, 0xFFFFFFFFu);
}

}  // namespace
