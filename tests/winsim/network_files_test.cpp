// Another machine's files through its shares ("\\SERVER\SHARE\..."), its
// share list and its registry, as the program's logon there allows.
#include <gtest/gtest.h>

#include <windows.h>
#include <lm.h>
#include <winnetwk.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/network.h"
#include "support/wide.h"
#include "support/wine.h"

namespace {

DWORD Connect(const std::string &remote, const std::string &user, LPCSTR password) {
    NETRESOURCEA nr = {};
    nr.dwType = RESOURCETYPE_DISK;
    nr.lpRemoteName = const_cast<LPSTR>(remote.c_str());
    return WNetAddConnection2A(&nr, password, user.c_str(), 0);
}

std::string ReadAll(const std::string &path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE) return "<" + std::to_string(GetLastError()) + ">";
    char buffer[256];
    DWORD read = 0;
    ReadFile(h, buffer, sizeof buffer, &read, NULL);
    CloseHandle(h);
    return std::string(buffer, read);
}

bool WriteAll(const std::string &path, const std::string &text) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, text.data(), (DWORD)text.size(), &written, NULL);
    CloseHandle(h);
    return ok && written == text.size();
}

class NetworkFiles : public ::testing::Test {
protected:
    void SetUp() override {
        SEEDED_OR_SKIP(NeighbourServer(name));
        SEEDED_OR_SKIP(NeighbourUser(name, "setupadm", "Secret1", true));
        SEEDED_OR_SKIP(NeighbourUser(name, "plain", "Plain1", false));
        unc = "\\\\" + name;
    }
    void TearDown() override {
        for (const char *share : {"\\IPC$", "\\ADMIN$", "\\C$"}) WNetCancelConnection2A((unc + share).c_str(), 0, TRUE);
    }
    std::string name, unc;
};

TEST_F(NetworkFiles, TheAdministrativeSharesAreTheSystemFolderAndTheDriveRoot) {
    ASSERT_EQ(Connect(unc + "\\ADMIN$", name + "\\setupadm", "Secret1"), (DWORD)NO_ERROR);
    char windir[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windir, MAX_PATH), 0u);
    // ADMIN$ is the Windows folder of the server, C$ the root of its drive C:.
    DWORD attributes = GetFileAttributesA((unc + "\\ADMIN$\\system32").c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_TRUE(WriteAll(unc + "\\ADMIN$\\qlprobe.txt", "written through ADMIN$"));
    std::string onC = unc + "\\C$" + std::string(windir).substr(2) + "\\qlprobe.txt";
    EXPECT_EQ(ReadAll(onC), "written through ADMIN$");
    EXPECT_TRUE(DeleteFileA((unc + "\\c$" + std::string(windir).substr(2) + "\\QLPROBE.TXT").c_str()));
    EXPECT_EQ(GetFileAttributesA((unc + "\\ADMIN$\\qlprobe.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST_F(NetworkFiles, FilesCopyAndProfilesWriteAcrossTheNetwork) {
    ASSERT_EQ(Connect(unc + "\\C$", name + "\\setupadm", "Secret1"), (DWORD)NO_ERROR);
    CreateDirectoryA("C:\\QLNETSRC", NULL);
    ASSERT_TRUE(WriteAll("C:\\QLNETSRC\\template.ini", "[Section]\r\nKey=local\r\n"));
    const std::string folder = unc + "\\C$\\QLNETDST";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
    const std::string copy = folder + "\\copy.ini";
    ASSERT_TRUE(CopyFileA("C:\\QLNETSRC\\template.ini", copy.c_str(), TRUE));
    EXPECT_FALSE(CopyFileA("C:\\QLNETSRC\\template.ini", copy.c_str(), TRUE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
    ASSERT_TRUE(WritePrivateProfileStringA("Section", "Key", "remote", copy.c_str()));
    char value[32] = "";
    GetPrivateProfileStringA("Section", "Key", "", value, sizeof value, copy.c_str());
    EXPECT_STREQ(value, "remote");
    // The local template is untouched.
    GetPrivateProfileStringA("Section", "Key", "", value, sizeof value, "C:\\QLNETSRC\\template.ini");
    EXPECT_STREQ(value, "local");
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
    DeleteFileA("C:\\QLNETSRC\\template.ini");
    RemoveDirectoryA("C:\\QLNETSRC");
}

TEST_F(NetworkFiles, UnknownServersAndSharesAreRefused) {
    EXPECT_EQ(GetFileAttributesA("\\\\NOSUCHBOX\\C$\\x"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_NETPATH);
    EXPECT_EQ(GetFileAttributesA((unc + "\\NOSUCHSHARE\\x").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_NET_NAME);
    EXPECT_FALSE(CopyFileA("C:\\nothing.txt", (unc + "\\NOSUCHSHARE\\x").c_str(), FALSE));
}

TEST_F(NetworkFiles, AUserWhoIsNoAdministratorIsRefusedTheAdministrativeShares) {
    ASSERT_EQ(Connect(unc + "\\IPC$", name + "\\plain", "Plain1"), (DWORD)NO_ERROR);
    EXPECT_EQ(GetFileAttributesA((unc + "\\C$\\").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateFileA((unc + "\\ADMIN$\\x.txt").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
}

TEST_F(NetworkFiles, TheShareListNeedsAnAdministratorAtLevelTwo) {
    ASSERT_EQ(Connect(unc + "\\IPC$", name + "\\plain", "Plain1"), (DWORD)NO_ERROR);
    std::vector<WCHAR> server = Wide(name);
    LPBYTE buffer = NULL;
    DWORD read = 0, total = 0;
    EXPECT_EQ(NetShareEnum(server.data(), 2, &buffer, MAX_PREFERRED_LENGTH, &read, &total, NULL),
              (NET_API_STATUS)ERROR_ACCESS_DENIED);
    ASSERT_EQ(NetShareEnum(server.data(), 1, &buffer, MAX_PREFERRED_LENGTH, &read, &total, NULL),
              (NET_API_STATUS)NERR_Success);
    EXPECT_GE(read, 3u);  // ADMIN$, C$, IPC$
    NetApiBufferFree(buffer);
    ASSERT_EQ(WNetCancelConnection2A((unc + "\\IPC$").c_str(), 0, TRUE), (DWORD)NO_ERROR);
    ASSERT_EQ(Connect(unc + "\\IPC$", name + "\\setupadm", "Secret1"), (DWORD)NO_ERROR);
    ASSERT_EQ(NetShareEnum(server.data(), 2, &buffer, MAX_PREFERRED_LENGTH, &read, &total, NULL),
              (NET_API_STATUS)NERR_Success);
    bool admin = false;
    for (DWORD i = 0; i < read; ++i)
        if (Text(((SHARE_INFO_2 *)buffer)[i].shi2_netname) == "ADMIN$") admin = true;
    EXPECT_TRUE(admin);
    NetApiBufferFree(buffer);
}

TEST_F(NetworkFiles, TheRegistryOfAnotherMachine) {
    ASSERT_EQ(Connect(unc + "\\IPC$", name + "\\setupadm", "Secret1"), (DWORD)NO_ERROR);
    HKEY root = NULL;
    ASSERT_EQ(RegConnectRegistryA(name.c_str(), HKEY_LOCAL_MACHINE, &root), (LONG)ERROR_SUCCESS);
    HKEY key = NULL;
    ASSERT_EQ(RegOpenKeyExA(root, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &key),
              (LONG)ERROR_SUCCESS);
    char value[MAX_PATH] = "";
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key, "ProgramFilesDir", NULL, NULL, (LPBYTE)value, &size), (LONG)ERROR_SUCCESS);
    EXPECT_GT(strlen(value), 3u);
    RegCloseKey(key);
    RegCloseKey(root);
    EXPECT_EQ(RegConnectRegistryA("NOSUCHBOX", HKEY_LOCAL_MACHINE, &root), (LONG)ERROR_BAD_NETPATH);
}

}  // namespace
