// The product branch report, and what the getters read from the example
// machine images of an earlier release and of the current layout.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <string>

#include "ProductReport.h"
#include "registry/HarnRegistry.h"

namespace {

void LoadImage(const char *name) {
    winsim::ResetWorld();
    winsim::LoadMachineImage(std::string(QL_SOURCE_DIR) + "/examples/" + name);
}

bool Has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

TEST(ProductReport, AnEarlierReleaseIsFoundUnderTheFormerMakersKeys) {
    LoadImage("earlier-harnock");
    CHarnRegistry r(1, NULL);
    EXPECT_STREQ(r.GetQuillbakHomeDir(), "C:\\QUILLBAK");
    EXPECT_STREQ(r.GetQuillbakDBDir(), "C:\\QUILLBAK\\DATABASE");
    EXPECT_STREQ(r.GetQuillbakUserName(), "Robin Vale");
    EXPECT_STREQ(r.GetQuillbakOrganization(), "Vale Freight");
    EXPECT_STREQ(r.GetAlertHomeDir(), "C:\\ALERT");
    EXPECT_STREQ(r.GetClientAgentHomeDir(), "C:\\AGENT");
    EXPECT_EQ(r.GetAlertBuildNumber(), 305u);
    EXPECT_EQ(r.GetQuillbakVersionNumber(), 0x0605);
    EXPECT_EQ(r.GetQuillbakBuildNumber(), 850);
    EXPECT_EQ(r.GetQuillbakSubType(), 1);
    // The agent's record of that era is shorter: the rest reads as zero.
    EXPECT_EQ(r.GetProductCode("NTAgent"), 36u);
    EXPECT_EQ(r.GetBuildNumber("NTAgent"), 238);

    const std::string report = DescribeProductBranch();
    EXPECT_TRUE(Has(report, "  home: C:\\QUILLBAK\n")) << report;
    EXPECT_TRUE(Has(report, "  alert build: 305\n")) << report;
    EXPECT_TRUE(Has(report, "  SOFTWARE\\Harnock\\Products:\n    Quillbak:\n"
                            "      product code 24, components 15, version 6.5 build 850\n"
                            "      subtype 1, user level 5, serial \"00000001\", CRC 26331FDA (matches)\n"))
        << report;
    EXPECT_TRUE(Has(report, "    NTAgent:\n      product code 36, components 5, version 2.0 build 238\n"
                            "      subtype 0, user level 5, serial \"00000001\", CRC D2346379 (matches), "
                            "33 of 49 bytes stored\n"))
        << report;
    EXPECT_TRUE(Has(report, "  SOFTWARE\\Veltmark\\QuillbakIT\\Products: (no key)\n")) << report;
}

TEST(ProductReport, TheCurrentLayoutWinsOverTheSavedRecord) {
    LoadImage("current-layout");
    CHarnRegistry r(1, NULL);
    EXPECT_STREQ(r.GetQuillbakHomeDir(), "D:\\Quillbak");
    EXPECT_STREQ(r.GetAlertHomeDir(), "D:\\ALERT");
    EXPECT_STREQ(r.GetClientAgentHomeDir(), "D:\\Agent");
    EXPECT_EQ(r.GetAlertBuildNumber(), 412u);
    EXPECT_EQ(r.GetQuillbakVersionNumber(), 0x0700);
    EXPECT_EQ(r.GetQuillbakBuildNumber(), 1018);
    EXPECT_EQ(r.GetSubType("Quillbak"), 3);

    const std::string report = DescribeProductBranch();
    EXPECT_TRUE(Has(report, "  product root: SOFTWARE\\Veltmark\\QuillbakIT\n")) << report;
    EXPECT_TRUE(Has(report, "  registered owner: Administrator\n")) << report;
    EXPECT_TRUE(Has(report, "  this product's record:\n      product code 24, components 15, version 7.0 build 1018\n"))
        << report;
    EXPECT_TRUE(Has(report, "  SOFTWARE\\Veltmark\\QuillbakIT\\OldProducts:\n    Quillbak:\n"
                            "      product code 24, components 15, version 6.5 build 850\n"))
        << report;
    EXPECT_TRUE(Has(report, "  SOFTWARE\\Harnock\\Products: (no key)\n")) << report;
}

TEST(ProductReport, AnEmptyMachineSaysWhatIsMissing) {
    const std::string report = DescribeProductBranch();
    EXPECT_EQ(report.find("Product registry\n"), 0u) << report;
    EXPECT_TRUE(Has(report, "  home: (none)\n")) << report;
    EXPECT_TRUE(Has(report, "  this product's record: (none)\n")) << report;
    EXPECT_TRUE(Has(report, "  alert build: (none)\n")) << report;
}

TEST(ProductReport, ARecordWithAWrongCrcOrTooLongIsShownAsSuch) {
    winsim::Registry &reg = winsim::LocalMachine().registry;
    tagProductStruct rec = {};
    rec.dwProductCode = 24;
    rec.dwCrc = 1;
    reg.Set("HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Products", "Quillbak", REG_BINARY, &rec, sizeof rec);
    std::string longer(60, 'x');
    reg.Set("HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Products", "Big", REG_BINARY, longer.data(), longer.size());
    const std::string report = DescribeProductBranch();
    EXPECT_TRUE(Has(report, "CRC 00000001 (computed ")) << report;
    EXPECT_TRUE(Has(report, "    Big: longer than a record\n")) << report;
}

}  // namespace
