// Machine descriptions of domain membership, accounts and shares, and how
// tests read a share's access list.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <algorithm>

#include "image_folder.h"

namespace {

using Image = DescribedImage;

const char *kMember =
    "[machine]\nname=MEMBER1\n"
    "[domain]\nname=CORP\nsid=S-1-5-21-1-2-3\ncontrollers=CORPDC1, CORPDC2\ntrusts=SALES, HQ\n"
    "[accounts]\nCORP\\svcbackup=user\nbackup=user,S-1-5-21-1004336348-1177238915-682003330-1200\n"
    "[share Data]\npath=C:\\\ntype=disk\nremark=Data files\nallow=CORP\\svcbackup, 0x1F01FF\n"
    "deny=Guest,0x1\nallow=Everyone, 0x1200A9\n";

TEST(NetworkDescription, DomainControllersTrustsAndAccounts) {
    Image image(kMember);
    winsim::Machine &m = image.Load();
    EXPECT_EQ(m.domain, "CORP");
    EXPECT_EQ(m.domainSid, "S-1-5-21-1-2-3");
    EXPECT_EQ(m.domainControllers, (std::vector<std::string>{"CORPDC1", "CORPDC2"}));
    EXPECT_EQ(m.trustedDomains, (std::vector<std::string>{"SALES", "HQ"}));
    EXPECT_EQ(winsim::AccountNameOfSid(m, "S-1-5-21-1-2-3-1000"), "CORP\\svcbackup");
    EXPECT_EQ(winsim::AccountNameOfSid(m, "S-1-5-21-1004336348-1177238915-682003330-1200"), "MEMBER1\\backup");
    EXPECT_EQ(winsim::AccountNameOfSid(m, "S-1-5-32-551"), "BUILTIN\\Backup Operators");
    EXPECT_EQ(winsim::AccountNameOfSid(m, "S-1-1-0"), "Everyone");
    EXPECT_EQ(winsim::AccountNameOfSid(m, "S-1-5-21-9-9-9-9"), "S-1-5-21-9-9-9-9");
}

TEST(NetworkDescription, ShareAccessListInOrder) {
    Image image(kMember);
    winsim::Machine &m = image.Load();
    std::vector<winsim::ShareAccessEntry> expected = {
        {"CORP\\svcbackup", true, 0x1F01FF}, {"MEMBER1\\Guest", false, 0x1}, {"Everyone", true, 0x1200A9}};
    EXPECT_EQ(winsim::ShareAccessList(m, "data"), expected);
    EXPECT_TRUE(winsim::ShareAccessList(m, "IPC$").empty());
    EXPECT_THROW(winsim::ShareAccessList(m, "Nothing"), std::out_of_range);
}

TEST(NetworkDescription, SharesRenderAsLines) {
    Image image(kMember);
    winsim::Machine &m = image.Load();
    std::vector<std::string> lines = winsim::DescribeShares(m);
    std::vector<std::string> expected = {
        "ADMIN$ C:\\WINNT \"Remote Admin\"",
        "  (no access list: everyone has full access)",
        "C$ C:\\ \"Default share\"",
        "  (no access list: everyone has full access)",
        "Data C:\\ \"Data files\"",
        "  allow CORP\\svcbackup 0x001F01FF",
        "  deny MEMBER1\\Guest 0x00000001",
        "  allow Everyone 0x001200A9",
        "IPC$ - \"Remote IPC\"",
        "  (no access list: everyone has full access)",
    };
    EXPECT_EQ(lines, expected);
}

TEST(NetworkDescription, MistakesNameTheLine) {
    struct Case {
        const char *text;
        const char *what;
    } cases[] = {
        {"[share X]\npath=C:\\\nallow=Nobody,1\n", "(3): unknown account: Nobody"},
        {"[share X]\nallow=Everyone,lots\n", "(2): malformed access mask"},
        {"[accounts]\nbob=robot\n", "(2): account kind"},
        {"[domain]\nsid=S-x\n", "(2): malformed SID"},
        {"[domain]\nforest=yes\n", "(2): unknown domain entry"},
    };
    for (const Case &c : cases) {
        Image image(c.text);
        try {
            image.Load();
            ADD_FAILURE() << c.text;
        } catch (const winsim::ImageError &e) {
            EXPECT_NE(std::string(e.what()).find(c.what), std::string::npos) << e.what();
        }
    }
}

TEST(NetworkDescription, PrivilegesOfTheSetupUser) {
    Image image("[machine]\nprivileges=SeBackupPrivilege, SeRestorePrivilege\n");
    winsim::Machine &m = image.Load();
    EXPECT_EQ(m.privileges.size(), 2u);
    EXPECT_TRUE(m.privileges.count("sebackupprivilege"));
}

TEST(NetworkDescription, TheExampleMemberServer) {
    winsim::ResetWorld();
    winsim::Machine &m = winsim::LoadMachineImage(std::string(QL_SOURCE_DIR) + "/examples/nt4-remote");
    std::vector<std::string> lines = winsim::DescribeShares(m);
    std::vector<std::string> expected = {"Quillbak$ C:\\QUILLBAK \"QuillbakIT System Directory\"",
                                         "  allow CORP\\svcquillbak 0x001F01FF",
                                         "  allow BUILTIN\\Administrators 0x001F01FF",
                                         "  allow BUILTIN\\Backup Operators 0x001301BF",
                                         "  allow Everyone 0x001200A9"};
    auto at = std::find(lines.begin(), lines.end(), expected[0]);
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(std::vector<std::string>(at, at + 5), expected);
    EXPECT_EQ(m.domainControllers.front(), "CORPDC1");
}

}  // namespace
