// The default machine and machine images.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class ImageFolder {
public:
    ImageFolder() {
        char tmpl[] = "/tmp/qlimage-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    ~ImageFolder() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void Write(const std::string &rel, const std::string &text) {
        fs::path p = fs::path(dir_) / rel;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
    }
    const std::string &Dir() const { return dir_; }

private:
    std::string dir_;
};

TEST(DefaultMachine, IsAWindows2000ServerRunByTheAdministrator) {
    winsim::Machine &m = winsim::LocalMachine();
    EXPECT_EQ(m.name, "QLSERVER");
    EXPECT_EQ(m.workgroup, "WORKGROUP");
    std::string text;
    EXPECT_TRUE(m.registry.GetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", text));
    EXPECT_EQ(text, "C:\\Program Files");
    EXPECT_TRUE(m.registry.GetString("HKLM\\SYSTEM\\CurrentControlSet\\Control\\ProductOptions", "ProductType", text));
    EXPECT_EQ(text, "ServerNT");

    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name;
    ASSERT_TRUE(GetComputerNameA(name, &size));
    EXPECT_STREQ(name, "QLSERVER");
    char user[64];
    size = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &size));
    EXPECT_STREQ(user, "Administrator");
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof vi;
    ASSERT_TRUE(GetVersionExA(&vi));
    EXPECT_EQ(vi.dwMajorVersion, 5u);
    EXPECT_EQ(vi.dwMinorVersion, 0u);
    EXPECT_EQ(vi.dwPlatformId, (DWORD)VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(GetFileAttributesA("C:\\WINNT\\system32") & FILE_ATTRIBUTE_DIRECTORY, (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_NE(GetFileAttributesA("C:\\Program Files"), INVALID_FILE_ATTRIBUTES);
}

TEST(DefaultMachine, SecondMachineIsReachableByNameButNotLocal) {
    winsim::Machine &other = winsim::CreateDefaultMachine("SRV2");
    EXPECT_EQ(&winsim::LocalMachine(), winsim::FindMachine("qlserver"));
    EXPECT_EQ(winsim::FindMachine("\\\\srv2"), &other);
    EXPECT_EQ(winsim::FindMachine("NOBODY"), nullptr);
    EXPECT_THROW(winsim::CreateDefaultMachine("SRV2"), std::invalid_argument);
    EXPECT_THROW(winsim::CreateDefaultMachine("A-NAME-LONGER-THAN-15"), std::invalid_argument);
}

TEST(MachineImage, LoadsDescriptionRegistryAndFiles) {
    ImageFolder img;
    img.Write("machine.ini",
              "; a member server\r\n"
              "[machine]\r\nname=bkserver\r\ndomain=CORP\r\nuser=setupadmin\r\nversion=4.0.1381\r\n"
              "csd=Service Pack 6\r\nsp=6\r\nproducttype=server\r\nwindir=C:\\WINNT\r\n"
              "commandline=msiexec /i quillbak.msi -rCONSOLE1\r\n"
              "[drives]\r\nD=cdrom\r\nE=fixed,100,200\r\n"
              "[environment]\r\nQLTEST=yes\r\n"
              "[properties]\r\nUILevel=2\r\n"
              "[products]\r\n{3B6F08D4-F5E2-11D3-90B2-00A0245DF264}=5\r\n"
              "[product {3B6F08D4-F5E2-11D3-90B2-00A0245DF264}]\r\nInstallSource=D:\\SETUP\\\r\n");
    img.Write("registry/10-product.reg",
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harnock\\Quillbak]\r\n\"Home\"=\"C:\\\\QB\"\r\n");
    img.Write("files/C/QB/readme.txt", "hello");
    img.Write("files/D/SETUP/QLBSETUP.INF", "[ProductInfo]\r\n");

    winsim::ResetWorld();
    winsim::Machine &m = winsim::LoadMachineImage(img.Dir());
    EXPECT_EQ(&winsim::LocalMachine(), &m);
    EXPECT_EQ(m.name, "BKSERVER");
    EXPECT_EQ(m.domain, "CORP");
    EXPECT_EQ(m.majorVersion, 4u);
    EXPECT_EQ(m.buildNumber, 1381u);
    EXPECT_STREQ(GetCommandLineA(), "msiexec /i quillbak.msi -rCONSOLE1");
    EXPECT_EQ(GetDriveTypeA("D:\\"), (UINT)DRIVE_CDROM);
    DWORD spc, bps, freeC, total;
    ASSERT_TRUE(GetDiskFreeSpaceA("E:\\", &spc, &bps, &freeC, &total));
    EXPECT_EQ((unsigned long long)freeC * spc * bps, 100ull * 1048576ull);
    EXPECT_EQ((unsigned long long)total * spc * bps, 200ull * 1048576ull);
    EXPECT_EQ(m.environment["QLTEST"], "yes");
    EXPECT_EQ(m.installer.properties["UILevel"], "2");
    EXPECT_EQ(m.products["{3b6f08d4-f5e2-11d3-90b2-00a0245df264}"].info["InstallSource"], "D:\\SETUP\\");
    std::string text;
    EXPECT_TRUE(m.registry.GetString("HKLM\\SOFTWARE\\Harnock\\Quillbak", "Home", text));
    EXPECT_EQ(text, "C:\\QB");
    EXPECT_TRUE(m.GetFile("c:\\qb\\README.TXT", text));
    EXPECT_EQ(text, "hello");
    EXPECT_TRUE(m.Exists("D:\\Setup\\qlbsetup.inf"));
}

TEST(MachineImage, BadInputNamesFileAndLineAndLoadsNothing) {
    struct Case {
        const char *what;
        const char *ini;
        const char *reg;  // null: no registry file
        const char *expect;
    } cases[] = {
        {"unknown section", "[machine]\nname=A\n[nonsense]\nx=1\n", nullptr, "machine.ini(3): unknown section"},
        {"line without =", "[machine]\nname=A\njunk\n", nullptr, "machine.ini(3): expected name=value"},
        {"bad version", "[machine]\nversion=five\n", nullptr, "machine.ini(2): version must be"},
        {"bad drive type", "[drives]\nD=floppyish\n", nullptr, "machine.ini(2): unknown drive type"},
        {"long name", "[machine]\nname=ABCDEFGHIJKLMNOPQ\n", nullptr, "machine name must have 1 to 15"},
        {"entry outside a section", "name=A\n", nullptr, "machine.ini(1): entry outside a section"},
        // Numbers that do not fit their fields are refused, not cut.
        {"build past 32 bits", "[machine]\nname=A\nversion=5.0.4294967297\n", nullptr,
         "machine.ini(3): version must be"},
        {"service pack past 16 bits", "[machine]\nname=A\nsp=65537\n", nullptr, "machine.ini(3): sp must be"},
        {"product state past int", "[machine]\nname=A\n[products]\n{X}=99999999999\n", nullptr,
         "machine.ini(4): product state must be"},
        // Folders the description names that cannot be made.
        {"windir on no drive", "[machine]\nname=A\nwindir=Q:\\WINNT\n", nullptr,
         "machine.ini: winsim: cannot make the folder \"Q:\\WINNT\""},
        {"program is a folder", "[machine]\nname=A\nprogram=C:\\WINNT\\system32\n", nullptr,
         "machine.ini: winsim: a folder stands at \"C:\\WINNT\\system32\""},
        {"bad registry file", "[machine]\nname=A\n", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\X]\n\"v\"=dword:zz\n",
         "bad.reg(4)"},
    };
    for (auto &c : cases) {
        ImageFolder img;
        img.Write("machine.ini", c.ini);
        if (c.reg) img.Write("registry/bad.reg", c.reg);
        winsim::ResetWorld();
        try {
            winsim::LoadMachineImage(img.Dir());
            ADD_FAILURE() << c.what << ": loaded";
        } catch (const winsim::ImageError &e) {
            EXPECT_NE(std::string(e.what()).find(c.expect), std::string::npos) << c.what << ": " << e.what();
        }
        EXPECT_FALSE(winsim::HasLocalMachine()) << c.what;
        EXPECT_EQ(winsim::FindMachine("A"), nullptr) << c.what;
    }
}

// Drive sizes past what the cluster counts hold report the largest counts,
// however many megabytes the description names.
TEST(MachineImage, HugeDrivesHoldTheLargestClusterCounts) {
    ImageFolder img;
    img.Write("machine.ini", "[drives]\nE=fixed,17592186044416,18446744073709551615\nF=fixed,16777215,16777216\n");
    winsim::ResetWorld();
    winsim::Machine &m = winsim::LoadMachineImage(img.Dir());
    EXPECT_EQ(m.drives['E'].freeClusters, 0xFFFFFFFFu);
    EXPECT_EQ(m.drives['E'].totalClusters, 0xFFFFFFFFu);
    EXPECT_EQ(m.drives['F'].freeClusters, 16777215u * 256u);
    EXPECT_EQ(m.drives['F'].totalClusters, 0xFFFFFFFFu);
}

TEST(MachineImage, MissingFolderIsAnError) {
    EXPECT_THROW(winsim::LoadMachineImage("/nonexistent/qlimage"), winsim::ImageError);
}

TEST(Clock, DrivesLocalTimeAndSleep) {
    SYSTEMTIME st{};
    st.wYear = 2001;
    st.wMonth = 1;
    st.wDay = 5;
    st.wHour = 9;
    st.wMinute = 7;
    st.wSecond = 3;
    winsim::SetClock(st);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2001);
    EXPECT_EQ(now.wMonth, 1);
    EXPECT_EQ(now.wDay, 5);
    EXPECT_EQ(now.wDayOfWeek, 5);  // a Friday
    EXPECT_EQ(now.wHour, 9);
    EXPECT_EQ(now.wMinute, 7);
    EXPECT_EQ(now.wSecond, 3);
    Sleep(60 * 1000);
    GetLocalTime(&now);
    EXPECT_EQ(now.wMinute, 8);
    winsim::AdvanceClock(24ull * 3600 * 1000 * 27);  // into February
    GetLocalTime(&now);
    EXPECT_EQ(now.wMonth, 2);
    EXPECT_EQ(now.wDay, 1);
}

TEST(Faults, ModesReachTheCaller) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QLTest", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
              ERROR_SUCCESS);
    DWORD v = 1;
    winsim::InjectFault("RegSetValueExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Nth, 2);
    EXPECT_EQ(RegSetValueExA(key, "a", 0, REG_DWORD, (BYTE *)&v, 4), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "b", 0, REG_DWORD, (BYTE *)&v, 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegSetValueExA(key, "c", 0, REG_DWORD, (BYTE *)&v, 4), ERROR_SUCCESS);
    winsim::InjectFault("RegSetValueExA", ERROR_DISK_FULL, winsim::FaultMode::Always);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(RegSetValueExA(key, "d", 0, REG_DWORD, (BYTE *)&v, 4), ERROR_DISK_FULL);
    winsim::ClearFaults();
    EXPECT_EQ(RegSetValueExA(key, "d", 0, REG_DWORD, (BYTE *)&v, 4), ERROR_SUCCESS);
    EXPECT_EQ(winsim::CallCount("RegSetValueExA"), 7u);
    RegCloseKey(key);
    EXPECT_THROW(winsim::InjectFault("RegSetValueExA", 0), std::invalid_argument);
}

}  // namespace
