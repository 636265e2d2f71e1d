// Machine facts and file-system chores of CComputer: names, domain, role,
// version, drives, directory creation, tree and file deletion, empty tests.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <cstring>
#include <string>
#include <vector>

#include "brandkit.h"
#include "settings/Settings.h"
#include "system/Computer.h"

namespace {

winsim::Machine &M() { return winsim::LocalMachine(); }

void JoinCorp(const std::vector<std::string> &trusts = {}) {
    M().domain = "CORP";
    M().domainSid = "S-1-5-21-11-22-33";
    M().domainControllers = {"CORPDC1", "CORPDC2"};
    M().trustedDomains = trusts;
}

TEST(ComputerFacts, IsLocalMachine) {
    EXPECT_TRUE(CComputer::IsLocalMachine(NULL));
    EXPECT_TRUE(CComputer::IsLocalMachine("qlServer"));
    EXPECT_FALSE(CComputer::IsLocalMachine(""));
    EXPECT_FALSE(CComputer::IsLocalMachine("\\\\QLSERVER"));  // backslashes are not stripped
    EXPECT_FALSE(CComputer::IsLocalMachine("OTHER"));
    winsim::InjectFault("GetComputerNameA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CComputer::IsLocalMachine("QLSERVER"));
}

TEST(ComputerFacts, ThisMachineInAWorkgroup) {
    CComputer c;
    EXPECT_EQ(c.Name(), "QLSERVER");
    EXPECT_EQ(c.Domain(), "WORKGROUP");
    EXPECT_TRUE(c.IsLocal());
    EXPECT_TRUE(c.Server());
    EXPECT_FALSE(c.PrimaryDomainController());
    EXPECT_FALSE(c.BackupDomainController());
    EXPECT_FALSE(c.DomainController());
    CComputer byName("qlserver");
    EXPECT_EQ(byName.Name(), "QLSERVER");  // the machine's own spelling
}

TEST(ComputerFacts, DomainControllersSeenFromAMember) {
    JoinCorp();
    CComputer member;
    EXPECT_EQ(member.Domain(), "CORP");
    CComputer pdc("CORPDC1");
    EXPECT_FALSE(pdc.IsLocal());
    EXPECT_EQ(pdc.Name(), "CORPDC1");
    EXPECT_TRUE(pdc.PrimaryDomainController());
    EXPECT_FALSE(pdc.BackupDomainController());
    EXPECT_TRUE(pdc.DomainController());
    EXPECT_TRUE(CComputer::IsBackupDomainController("CORPDC2"));
    EXPECT_FALSE(CComputer::IsPrimaryDomainController("CORPDC2"));

    // A copy carries every fact.
    CComputer copy(pdc);
    EXPECT_EQ(copy.Name(), "CORPDC1");
    EXPECT_TRUE(copy.PrimaryDomainController());
    member = pdc;
    EXPECT_EQ(member.Domain(), "CORP");
    EXPECT_FALSE(member.IsLocal());
}

TEST(ComputerFacts, UnreachableMachineIsNeitherControllerNorInADomain) {
    CComputer c("NOWHERE");
    EXPECT_EQ(c.Name(), "NOWHERE");
    EXPECT_EQ(c.Domain(), "");
    EXPECT_FALSE(c.DomainController());
    char domain[256];
    DWORD length = 99;
    winsim::InjectFault("NetWkstaGetInfo", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CComputer::GetDomain(domain, &length, NULL));
    ASSERT_TRUE(CComputer::GetDomain(domain, &length, NULL));
    EXPECT_STREQ(domain, "WORKGROUP");
    EXPECT_EQ(length, 9u);
    // A name longer than the network functions take is refused, not cut.
    EXPECT_FALSE(CComputer::GetDomain(domain, &length, std::string(40, 'Q').c_str()));
}

TEST(ComputerFacts, ServerEditionFromTheProductType) {
    const char *key = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
    EXPECT_TRUE(CComputer::IsServer(NULL));
    M().registry.SetString(key, "ProductType", "WinNT");
    EXPECT_FALSE(CComputer::IsServer(NULL));
    M().registry.SetString(key, "ProductType", "lanmannt");
    EXPECT_TRUE(CComputer::IsServer(""));
    M().registry.Delete(key);
    EXPECT_FALSE(CComputer::IsServer(NULL));

    // Another machine is asked through its remote registry; when it cannot
    // be reached, this machine's answer stands in.
    M().registry.SetString(key, "ProductType", "ServerNT");
    winsim::Machine &local = M();
    winsim::Machine &wks = winsim::CreateDefaultMachine("WKS1");
    wks.registry.SetString(key, "ProductType", "WinNT");
    winsim::SetLocalMachine(local);
    EXPECT_FALSE(CComputer::IsServer("WKS1"));
    EXPECT_TRUE(CComputer::IsServer("NOWHERE"));
}

TEST(ComputerFacts, VersionOfThisMachine) {
    EXPECT_EQ(CComputer::GetNTVersion(), 5u);
    EXPECT_TRUE(CComputer::IsNT4xOrLater("ANYONE"));
    EXPECT_FALSE(CComputer::IsWindows95());
    M().majorVersion = 3;
    EXPECT_FALSE(CComputer::IsNT4xOrLater());
}

TEST(ComputerFacts, WindowsVersionVerdictComesFromTheBrandingLibrary) {
    EXPECT_FALSE(CComputer::IsWindowsVersionOK(1, 2, 3));
    InstallBrandKit();
    EXPECT_TRUE(CComputer::IsWindowsVersionOK(1, 2, 3));
    DWORD arg2 = 0;
    M().registry.GetDword(BRANDKIT_DOUBLE_KEY, BRANDKIT_VALUE_VERSION_ARG2, arg2);
    EXPECT_EQ(arg2, 2u);
    SetBrandKitNumber(BRANDKIT_VALUE_VERSION_OK, 0);
    EXPECT_FALSE(CComputer::IsWindowsVersionOK(1, 2, 3));
    InstallBrandKit("BRANDKIT_ROOTS_ONLY");
    EXPECT_FALSE(CComputer::IsWindowsVersionOK(1, 2, 3));
}

TEST(Drives, FirstFixedDriveAfterFloppies) {
    M().AddDrive('A', DRIVE_REMOVABLE);
    M().AddDrive('B', DRIVE_REMOVABLE);
    EXPECT_EQ(CComputer::FindFirstHardDrive(), 'C');
    M().drives['C'].type = DRIVE_CDROM;
    EXPECT_EQ(CComputer::FindFirstHardDrive(), 'Z');
}

TEST(Drives, WithoutAFixedDriveNoFolderIsBuiltOnZ) {
    M().drives['C'].type = DRIVE_CDROM;
    M().registry.Delete("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
    tagSETUP_INFO info;
    memset(&info, 0, sizeof info);
    info.lProductType = 24;
    CSettings s(&info, 0);
    s.Initialize();
    EXPECT_STREQ(s.QuillbakPath(), "");
    EXPECT_STREQ(s.AlertPath(), "");
}

TEST(Drives, FreeSpaceAndTypeOfThePathsDrive) {
    winsim::Drive &c = M().drives['C'];
    EXPECT_EQ(CComputer::DriveFreeSpaceBytes("C:\\WINNT"), 0xFFFFFFFFu);  // 10 GB saturates
    c.freeClusters = 1000;
    EXPECT_EQ(CComputer::DriveFreeSpaceBytes("c:\\x\\y.txt"), 1000u * 8 * 512);
    EXPECT_EQ(CComputer::DriveFreeSpaceBytes("Q:\\"), 0u);
    EXPECT_EQ(CComputer::GetDriveTypeA("C:\\Program Files"), (UINT)DRIVE_FIXED);
    EXPECT_EQ(CComputer::GetDriveTypeA("Q:\\x"), (UINT)DRIVE_NO_ROOT_DIR);
}

TEST(Directories, CreateEveryMissingLevel) {
    ASSERT_TRUE(CComputer::CreateDirectoryA("C:\\A\\B\\C", 0));
    EXPECT_TRUE(CComputer::DirectoryExists("C:\\A\\B\\C") || CComputer::PathExists("C:\\A\\B\\C"));
    EXPECT_TRUE(CComputer::PathEmpty("C:\\A\\B\\C", NULL));
    // Every level there: nothing is created.
    unsigned before = winsim::CallCount("CreateDirectoryA");
    ASSERT_TRUE(CComputer::CreateDirectoryA("C:\\A\\B\\", 0));
    EXPECT_EQ(winsim::CallCount("CreateDirectoryA"), before);
}

TEST(Directories, AFileInTheWayFails) {
    M().PutFile("C:\\A", "file");
    EXPECT_FALSE(CComputer::CreateDirectoryA("C:\\A\\B", 0));
    EXPECT_FALSE(M().Exists("C:\\A\\B"));
    winsim::InjectFault("CreateDirectoryA", ERROR_ACCESS_DENIED, winsim::FaultMode::Nth, 2);
    EXPECT_FALSE(CComputer::CreateDirectoryA("C:\\X\\Y\\Z", 0));
    EXPECT_TRUE(M().Exists("C:\\X"));  // levels made so far stay
    EXPECT_FALSE(M().Exists("C:\\X\\Y"));
}

TEST(Directories, DoubleByteNamesWhoseTrailByteIsABackslash) {
    M().codePage = 932;
    // "\x95\x5C" is one character; its second byte is not a separator.
    const std::string dir = "C:\\Data\\Name\x95\x5C";
    unsigned before = winsim::CallCount("CreateDirectoryA");
    ASSERT_TRUE(CComputer::CreateDirectoryA(dir.c_str(), 0));
    EXPECT_TRUE(M().Exists(dir));
    EXPECT_EQ(winsim::CallCount("CreateDirectoryA"), before + 2);  // C:\Data and the new folder, once each
    EXPECT_TRUE(CComputer::PathEmpty(dir.c_str(), NULL));
}

TEST(Directories, PathEmpty) {
    M().MakeDirs("C:\\E");
    EXPECT_TRUE(CComputer::PathEmpty("C:\\E", NULL));
    EXPECT_TRUE(CComputer::PathEmpty("C:\\E\\", "*.*"));
    EXPECT_TRUE(CComputer::PathEmpty("C:\\Missing", NULL));
    M().MakeDirs("C:\\E\\Sub");
    EXPECT_FALSE(CComputer::PathEmpty("C:\\E", NULL));
    M().PutFile("C:\\F\\one.txt", "1");
    EXPECT_FALSE(CComputer::PathEmpty("C:\\F", NULL));
    EXPECT_TRUE(CComputer::PathEmpty("C:\\F", "QL*.DBD"));
    M().PutFile("C:\\F\\QLJOBS.DBD", "db");
    EXPECT_FALSE(CComputer::PathEmpty("C:\\F", "QL*.DBD"));
    EXPECT_TRUE(CComputer::PathExists("C:\\F\\one.txt"));
    EXPECT_TRUE(CComputer::PathExists("C:\\F"));
    EXPECT_FALSE(CComputer::PathExists("C:\\F\\two.txt"));
    EXPECT_FALSE(CComputer::PathExists(""));
}

TEST(Directories, ChangeAndRemove) {
    M().MakeDirs("C:\\Work\\Inner");
    EXPECT_TRUE(CComputer::ChangeDirectory("C:\\Work"));
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    EXPECT_STREQ(cwd, "C:\\Work");
    EXPECT_FALSE(CComputer::ChangeDirectory("C:\\Nowhere"));
    EXPECT_FALSE(CComputer::RemoveDirectoryA("C:\\Work"));  // not empty
    EXPECT_TRUE(CComputer::RemoveDirectoryA("C:\\Work\\Inner"));
    EXPECT_FALSE(M().Exists("C:\\Work\\Inner"));
}

TEST(Deletion, TreeGoesWhole) {
    M().PutFile("C:\\T\\a.txt", "a");
    M().PutFile("C:\\T\\sub\\b.txt", "b");
    M().MakeDirs("C:\\T\\sub\\empty");
    EXPECT_TRUE(CComputer::DeleteTree("C:\\T"));
    EXPECT_FALSE(M().Exists("C:\\T"));
    EXPECT_TRUE(M().Exists("C:\\WINNT"));
}

TEST(Deletion, TreeReportsWhatStaysBehind) {
    M().PutFile("C:\\T\\keep.txt", "k");
    M().PutFile("C:\\T\\sub\\gone.txt", "g");
    ASSERT_TRUE(SetFileAttributesA("C:\\T\\keep.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(CComputer::DeleteTree("C:\\T"));
    EXPECT_TRUE(M().Exists("C:\\T\\keep.txt"));
    EXPECT_FALSE(M().Exists("C:\\T\\sub"));
}

TEST(Deletion, NeverSweepsADriveRoot) {
    M().PutFile("C:\\precious.txt", "p");
    M().MakeDirs("C:\\WINNT\\system32");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\WINNT"));
    const char *roots[] = {"", "C:", "C:\\", "c:\\\\", "\\", "C:\\WINNT\\..", "..", "C:\\.", "C:/"};
    for (const char *root : roots) {
        EXPECT_FALSE(CComputer::DeleteTree(root)) << root;
        EXPECT_FALSE(CComputer::DeleteFiles(root, "*.*")) << root;
    }
    EXPECT_FALSE(CComputer::DeleteTree(NULL));
    EXPECT_TRUE(M().Exists("C:\\precious.txt"));
    EXPECT_TRUE(M().Exists("C:\\WINNT\\system32"));
    EXPECT_EQ(winsim::CallCount("DeleteFileA"), 0u);
    EXPECT_EQ(winsim::CallCount("RemoveDirectoryA"), 0u);
}

TEST(Deletion, FilesMatchingThePatternOnly) {
    M().PutFile("C:\\D\\a.log", "a");
    M().PutFile("C:\\D\\b.log", "b");
    M().PutFile("C:\\D\\keep.txt", "k");
    M().PutFile("C:\\D\\sub.log\\inner.log", "i");
    ASSERT_TRUE(SetFileAttributesA("C:\\D\\b.log", FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(CComputer::DeleteFiles("C:\\D", "*.log"));
    EXPECT_FALSE(M().Exists("C:\\D\\a.log"));
    EXPECT_TRUE(M().Exists("C:\\D\\b.log"));  // failures are passed over
    EXPECT_TRUE(M().Exists("C:\\D\\keep.txt"));
    EXPECT_TRUE(M().Exists("C:\\D\\sub.log\\inner.log"));
    EXPECT_TRUE(CComputer::DeleteFiles("C:\\D\\", "*.none"));
}

TEST(SettingsFromTheComputer, AccountServerAndDatabaseFiles) {
    tagSETUP_INFO info;
    memset(&info, 0, sizeof info);
    info.lProductType = 24;
    CSettings s(&info, 0);
    s.Initialize();
    EXPECT_STREQ(s.SystemAccountServer(), "QLSERVER");
    EXPECT_EQ(s.DBExists(), 0);
}

}  // namespace
