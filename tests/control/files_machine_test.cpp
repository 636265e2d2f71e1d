// The machine's files through the control API (HostPath, PutFile, GetFile,
// Exists, MakeDirs), drives, folders, file times and fault injection of the
// file and profile functions.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

std::string HostRoot(char letter = 'C') { return winsim::LocalMachine().drives.at(letter).hostRoot; }

bool HostIsDir(const std::string &p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string HostRead(const std::string &p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(MachineFiles, HostPathMatchesExistingNamesWithoutCase) {
    winsim::Machine &m = winsim::LocalMachine();
    std::string host;
    ASSERT_TRUE(m.HostPath("c:\\winnt\\SYSTEM32", host));
    EXPECT_EQ(host, HostRoot() + "/WINNT/system32");
    // Names that do not exist are kept as written.
    ASSERT_TRUE(m.HostPath("C:\\WinNT\\New Folder\\File.TXT", host));
    EXPECT_EQ(host, HostRoot() + "/WINNT/New Folder/File.TXT");
    ASSERT_TRUE(m.HostPath("C:/winnt/./x/../system32/", host));
    EXPECT_EQ(host, HostRoot() + "/WINNT/system32");
    ASSERT_TRUE(m.HostPath("C:\\", host));
    EXPECT_EQ(host, HostRoot());
}

TEST(MachineFiles, HostPathFollowsTheCurrentDirectory) {
    winsim::Machine &m = winsim::LocalMachine();
    m.currentDir = "C:\\WINNT";
    std::string host;
    ASSERT_TRUE(m.HostPath("system32\\drivers", host));
    EXPECT_EQ(host, HostRoot() + "/WINNT/system32/drivers");
    ASSERT_TRUE(m.HostPath("\\TEMP", host));
    EXPECT_EQ(host, HostRoot() + "/TEMP");
}

TEST(MachineFiles, HostPathRefusesWhatNoDriveHolds) {
    winsim::Machine &m = winsim::LocalMachine();
    std::string host = "unchanged";
    DWORD error = 0;
    EXPECT_FALSE(m.HostPath("Q:\\x", host, &error));
    EXPECT_EQ(error, (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(m.HostPath("\\\\server\\share\\x", host, &error));
    EXPECT_EQ(error, (DWORD)ERROR_BAD_NETPATH);
    EXPECT_FALSE(m.HostPath("C:\\a|b", host, &error));
    EXPECT_EQ(error, (DWORD)ERROR_INVALID_NAME);
    EXPECT_FALSE(m.HostPath("", host, &error));
    EXPECT_EQ(host, "unchanged");
}

TEST(MachineFiles, PutFileMakesFoldersAndGetFileReadsBack) {
    winsim::Machine &m = winsim::LocalMachine();
    m.PutFile("C:\\Program Files\\Quillbak\\Conf\\agent.ini", std::string("a\0b", 3));
    EXPECT_TRUE(HostIsDir(HostRoot() + "/Program Files/Quillbak/Conf"));
    std::string content;
    ASSERT_TRUE(m.GetFile("c:\\PROGRAM FILES\\quillbak\\conf\\AGENT.INI", content));
    EXPECT_EQ(content, std::string("a\0b", 3));
    EXPECT_EQ(HostRead(HostRoot() + "/Program Files/Quillbak/Conf/agent.ini"), std::string("a\0b", 3));
    // Overwriting keeps the existing name.
    m.PutFile("C:\\program files\\QUILLBAK\\conf\\Agent.ini", "second");
    EXPECT_EQ(HostRead(HostRoot() + "/Program Files/Quillbak/Conf/agent.ini"), "second");
    EXPECT_TRUE(m.Exists("C:\\PROGRAM FILES\\QUILLBAK"));
    EXPECT_TRUE(m.Exists("C:\\PROGRAM FILES\\QUILLBAK\\CONF\\AGENT.INI"));
    EXPECT_FALSE(m.Exists("C:\\PROGRAM FILES\\QUILLBAK\\CONF\\none.ini"));
    EXPECT_FALSE(m.GetFile("C:\\PROGRAM FILES\\QUILLBAK", content));  // a folder
    EXPECT_FALSE(m.GetFile("C:\\none.txt", content));
}

TEST(MachineFiles, PutFileRefusesFolders) {
    winsim::Machine &m = winsim::LocalMachine();
    EXPECT_THROW(m.PutFile("C:\\WINNT", "x"), std::runtime_error);
    EXPECT_THROW(m.PutFile("Q:\\x.txt", "x"), std::runtime_error);
    m.PutFile("C:\\file.txt", "x");
    EXPECT_THROW(m.PutFile("C:\\file.txt\\inner.txt", "x"), std::runtime_error);
    EXPECT_THROW(m.MakeDirs("C:\\file.txt\\sub"), std::runtime_error);
}

TEST(MachineFiles, MakeDirsKeepsExistingCaseAndCreatesAsWritten) {
    winsim::Machine &m = winsim::LocalMachine();
    m.MakeDirs("c:\\winnt\\NewDir\\Deeper");
    EXPECT_TRUE(HostIsDir(HostRoot() + "/WINNT/NewDir/Deeper"));
    m.MakeDirs("C:\\WINNT\\newdir\\deeper");  // exists already: nothing changes
    EXPECT_TRUE(HostIsDir(HostRoot() + "/WINNT/NewDir/Deeper"));
    EXPECT_FALSE(HostIsDir(HostRoot() + "/WINNT/newdir"));
}

TEST(MachineFiles, SeededFilesAreSeenByWin32AndTheOtherWay) {
    winsim::Machine &m = winsim::LocalMachine();
    m.PutFile("C:\\Data\\Seed.txt", "seeded");
    HANDLE h = CreateFileA("c:\\data\\seed.TXT", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char buf[16];
    DWORD n = 0;
    ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), "seeded");
    CloseHandle(h);

    // A host file made outside winsim, with another case, is found too.
    std::ofstream(HostRoot() + "/Data/HOST.TXT") << "host";
    EXPECT_EQ(GetFileAttributesA("C:\\data\\host.txt"), (DWORD)FILE_ATTRIBUTE_ARCHIVE);
    ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "v", "C:\\Data\\written.ini"));
    std::string content;
    ASSERT_TRUE(m.GetFile("C:\\DATA\\WRITTEN.INI", content));
    EXPECT_EQ(content, "[s]\r\nk=v\r\n");
}

TEST(MachineFiles, DirectoriesFollowTheMachine) {
    winsim::Machine &m = winsim::LocalMachine();
    m.windowsDir = "D:\\Windows";
    m.AddDrive('D');
    m.MakeDirs(m.windowsDir);
    m.tempDir = "D:\\Tmp";
    char buf[MAX_PATH];
    EXPECT_EQ(GetWindowsDirectoryA(buf, MAX_PATH), 10u);
    EXPECT_STREQ(buf, "D:\\Windows");
    EXPECT_EQ(GetSystemDirectoryA(buf, MAX_PATH), 19u);
    EXPECT_STREQ(buf, "D:\\Windows\\system32");
    EXPECT_EQ(GetTempPathA(MAX_PATH, buf), 7u);
    EXPECT_STREQ(buf, "D:\\Tmp\\");
    // Profile files without a path follow the Windows directory.
    ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "v", "moved.ini"));
    EXPECT_TRUE(m.Exists("D:\\Windows\\moved.ini"));
}

TEST(MachineFiles, DrivesComeFromTheDriveRecords) {
    winsim::Machine &m = winsim::LocalMachine();
    winsim::Drive &d = m.AddDrive('E', DRIVE_CDROM);
    d.sectorsPerCluster = 1;
    d.bytesPerSector = 2048;
    d.freeClusters = 0;
    d.totalClusters = 300000;
    m.AddDrive('z', DRIVE_REMOTE);
    EXPECT_EQ(GetLogicalDrives(), (DWORD)((1u << 2) | (1u << 4) | (1u << 25)));
    EXPECT_EQ(GetDriveTypeA("E:\\"), (UINT)DRIVE_CDROM);
    EXPECT_EQ(GetDriveTypeA("z:\\"), (UINT)DRIVE_REMOTE);
    DWORD spc = 9, bps = 9, freeClusters = 9, total = 9;
    ASSERT_TRUE(GetDiskFreeSpaceA("E:\\", &spc, &bps, &freeClusters, &total));
    EXPECT_EQ(spc, 1u);
    EXPECT_EQ(bps, 2048u);
    EXPECT_EQ(freeClusters, 0u);
    EXPECT_EQ(total, 300000u);
    ASSERT_TRUE(GetDiskFreeSpaceA("C:\\WINNT\\", &spc, &bps, &freeClusters, &total));
    EXPECT_EQ(spc, 8u);
    EXPECT_EQ(bps, 512u);
    EXPECT_EQ(freeClusters, 2621440u);
    EXPECT_EQ(total, 5242880u);
    m.currentDir = "E:\\";
    EXPECT_EQ(GetDriveTypeA(nullptr), (UINT)DRIVE_CDROM);
}

TEST(MachineFiles, FileTimesComeFromTheMachineClock) {
    SYSTEMTIME st{};
    st.wYear = 2003;
    st.wMonth = 4;
    st.wDay = 5;
    st.wHour = 6;
    st.wMinute = 7;
    winsim::SetClock(st);
    uint64_t expected = winsim::ClockMs() * 10000ull;
    HANDLE h = CreateFileA("C:\\timed.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    winsim::AdvanceClock(60000);
    h = CreateFileA("C:\\timed.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD n;
    ASSERT_TRUE(WriteFile(h, "x", 1, &n, nullptr));
    CloseHandle(h);
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA("C:\\timed.txt", &fd);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    FindClose(f);
    uint64_t written = ((uint64_t)fd.ftLastWriteTime.dwHighDateTime << 32) | fd.ftLastWriteTime.dwLowDateTime;
    uint64_t accessed = ((uint64_t)fd.ftLastAccessTime.dwHighDateTime << 32) | fd.ftLastAccessTime.dwLowDateTime;
    EXPECT_EQ(written, expected + 60000ull * 10000ull);
    EXPECT_EQ(accessed, expected);
}

// What winsim does not model fails loudly instead of doing something else.
TEST(MachineFiles, DevicesAndAsynchronousFilesAreNotModelled) {
    for (const char *name : {"C:\\nul", "C:\\WINNT\\con.txt", "lpt1", "C:\\Com9.log"}) {
        SetLastError(0);
        EXPECT_EQ(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE)
            << name;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED) << name;
    }
    EXPECT_FALSE(winsim::LocalMachine().Exists("C:\\nul"));
    HANDLE h = CreateFileA("C:\\console.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_EQ(CreateFileA("C:\\async.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_OVERLAPPED, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_FALSE(winsim::LocalMachine().Exists("C:\\async.txt"));
}

// ---- fault injection ------------------------------------------------------------------------------
struct FaultCase {
    const char *function;
    DWORD error;
    bool (*call)();  // true when the call failed as injected
};
void PrintTo(const FaultCase &c, std::ostream *os) { *os << c.function; }

class FileFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FileFaults, InjectedErrorComesBack) {
    const FaultCase &c = GetParam();
    winsim::LocalMachine().PutFile("C:\\f.txt", "data");
    winsim::LocalMachine().PutFile("C:\\f.ini", "[s]\r\nk=5\r\n");
    unsigned before = winsim::CallCount(c.function);
    winsim::InjectFault(c.function, c.error);
    SetLastError(0);
    EXPECT_TRUE(c.call()) << c.function;
    EXPECT_EQ(GetLastError(), c.error) << c.function;
    EXPECT_EQ(winsim::CallCount(c.function), before + 1) << c.function;
}

HANDLE OpenF() { return CreateFileA("C:\\f.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr); }

INSTANTIATE_TEST_SUITE_P(
    Files, FileFaults,
    ::testing::Values(
        FaultCase{"CreateFileA", ERROR_DISK_FULL, [] { return OpenF() == INVALID_HANDLE_VALUE; }},
        FaultCase{"ReadFile", ERROR_GEN_FAILURE,
                  [] {
                      HANDLE h = OpenF();
                      char b[4];
                      DWORD n;
                      BOOL ok = ReadFile(h, b, 4, &n, nullptr);
                      CloseHandle(h);
                      return !ok;
                  }},
        FaultCase{"WriteFile", ERROR_DISK_FULL,
                  [] {
                      HANDLE h = OpenF();
                      DWORD n;
                      BOOL ok = WriteFile(h, "x", 1, &n, nullptr);
                      CloseHandle(h);
                      std::string c;
                      winsim::LocalMachine().GetFile("C:\\f.txt", c);
                      return !ok && c == "data";
                  }},
        FaultCase{"DeleteFileA", ERROR_ACCESS_DENIED,
                  [] { return !DeleteFileA("C:\\f.txt") && winsim::LocalMachine().Exists("C:\\f.txt"); }},
        FaultCase{"CopyFileA", ERROR_DISK_FULL,
                  [] { return !CopyFileA("C:\\f.txt", "C:\\g.txt", FALSE) && !winsim::LocalMachine().Exists("C:\\g.txt"); }},
        FaultCase{"MoveFileA", ERROR_SHARING_VIOLATION, [] { return !MoveFileA("C:\\f.txt", "C:\\g.txt"); }},
        FaultCase{"CreateDirectoryA", ERROR_ACCESS_DENIED, [] { return !CreateDirectoryA("C:\\newdir", nullptr); }},
        FaultCase{"GetFileAttributesA", ERROR_ACCESS_DENIED,
                  [] { return GetFileAttributesA("C:\\f.txt") == INVALID_FILE_ATTRIBUTES; }},
        FaultCase{"FindFirstFileA", ERROR_NOT_READY,
                  [] {
                      WIN32_FIND_DATAA fd;
                      return FindFirstFileA("C:\\*", &fd) == INVALID_HANDLE_VALUE;
                  }},
        FaultCase{"GetTempPathA", ERROR_ENVVAR_NOT_FOUND,
                  [] {
                      char b[MAX_PATH];
                      return GetTempPathA(MAX_PATH, b) == 0;
                  }},
        FaultCase{"GetPrivateProfileStringA", ERROR_FILE_NOT_FOUND,
                  [] {
                      char b[8];
                      return GetPrivateProfileStringA("s", "k", "d", b, sizeof b, "C:\\f.ini") == 0;
                  }},
        FaultCase{"GetPrivateProfileIntA", ERROR_FILE_NOT_FOUND,
                  [] { return GetPrivateProfileIntA("s", "k", 9, "C:\\f.ini") == 9u; }},
        FaultCase{"WritePrivateProfileStringA", ERROR_DISK_FULL,
                  [] {
                      std::string c;
                      bool failed = !WritePrivateProfileStringA("s", "k", "6", "C:\\f.ini");
                      winsim::LocalMachine().GetFile("C:\\f.ini", c);
                      return failed && c == "[s]\r\nk=5\r\n";
                  }}),
    [](const ::testing::TestParamInfo<FaultCase> &i) { return std::string(i.param.function); });

TEST(FileFaultsNth, SecondWriteFails) {
    winsim::InjectFault("WritePrivateProfileStringA", ERROR_DISK_FULL, winsim::FaultMode::Nth, 2);
    EXPECT_TRUE(WritePrivateProfileStringA("s", "a", "1", "C:\\n.ini"));
    EXPECT_FALSE(WritePrivateProfileStringA("s", "b", "2", "C:\\n.ini"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISK_FULL);
    EXPECT_TRUE(WritePrivateProfileStringA("s", "c", "3", "C:\\n.ini"));
    std::string c;
    ASSERT_TRUE(winsim::LocalMachine().GetFile("C:\\n.ini", c));
    EXPECT_EQ(c, "[s]\r\na=1\r\nc=3\r\n");
}

}  // namespace
