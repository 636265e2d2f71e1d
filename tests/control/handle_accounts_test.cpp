// Handle accounting: what the simulated calls hand out is counted on its
// machine until it is closed or freed, so a test can see what a caller left.
#include <gtest/gtest.h>

#include <windows.h>
#include <lm.h>
#include <msi.h>
#include <msiquery.h>
#include <ntsecapi.h>
#include <objbase.h>
#include <shlobj.h>

#include <winsim/machine.h>

#include <string>

#include "doubles.h"

namespace {

winsim::Machine &Local() { return winsim::LocalMachine(); }

TEST(HandleAccounts, EachKindCountsUntilItsCloseOrFree) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), ERROR_SUCCESS);
    HANDLE file = CreateFileA("C:\\counted.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA("C:\\*", &fd);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    ASSERT_NE(scm, nullptr);
    LSA_OBJECT_ATTRIBUTES attributes = {};
    LSA_HANDLE policy = nullptr;
    ASSERT_EQ(LsaOpenPolicy(nullptr, &attributes, POLICY_VIEW_LOCAL_INFORMATION, &policy), 0);
    LPBYTE info = nullptr;
    ASSERT_EQ(NetWkstaGetInfo(nullptr, 100, &info), (NET_API_STATUS)NERR_Success);
    HLOCAL block = LocalAlloc(LMEM_FIXED, 16);
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &sid));
    MSIHANDLE record = MsiCreateRecord(1);
    ASSERT_NE(record, 0u);

    const char *kinds[] = {"Key",       "File", "Find", "Token", "ServiceManager", "LsaPolicy",
                           "NetBuffer", "LocalMemory", "Sid", "MsiHandle"};
    for (const char *kind : kinds) EXPECT_EQ(winsim::OpenHandleCount(Local(), kind), 1u) << kind;
    EXPECT_EQ(winsim::OpenHandleCount(Local()), 10u);
    EXPECT_NE(winsim::DescribeOpenHandles().find("QLSERVER Key from RegOpenKeyExA"), std::string::npos);

    RegCloseKey(key);
    CloseHandle(file);
    FindClose(find);
    CloseHandle(token);
    CloseServiceHandle(scm);
    LsaClose(policy);
    NetApiBufferFree(info);
    LocalFree(block);
    FreeSid(sid);
    MsiCloseHandle(record);
    EXPECT_EQ(winsim::DescribeOpenHandles(), "");
}

TEST(HandleAccounts, AFailedCloseKeepsTheHandleCounted) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), ERROR_SUCCESS);
    winsim::InjectFault("RegCloseKey", ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(winsim::DescribeOpenHandles(), "QLSERVER Key from RegOpenKeyExA");
    winsim::ForgetOpenHandles();
    EXPECT_EQ(winsim::DescribeOpenHandles(), "");
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);  // forgetting closes nothing
}

TEST(HandleAccounts, ARemoteKeyCountsOnItsOwnMachine) {
    winsim::Machine &remote = winsim::CreateDefaultMachine("FARSERVER");
    HKEY root = nullptr;
    ASSERT_EQ(RegConnectRegistryA("\\\\FARSERVER", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    EXPECT_EQ(winsim::OpenHandleCount(remote, "Key"), 1u);
    EXPECT_EQ(winsim::OpenHandleCount(Local(), "Key"), 0u);
    EXPECT_EQ(winsim::DescribeOpenHandles(), "FARSERVER Key from RegConnectRegistryA");
    RegCloseKey(root);
    EXPECT_EQ(winsim::OpenHandleCount(remote), 0u);
}

TEST(HandleAccounts, AModuleLoadedTwiceIsOpenUntilFreedTwice) {
    InstallDouble("TESTMOD", "C:\\Tools\\TestMod.dll");
    HMODULE a = LoadLibraryA("C:\\Tools\\TestMod.dll");
    HMODULE b = LoadLibraryA("C:\\Tools\\TestMod.dll");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(winsim::DescribeOpenHandles(), "QLSERVER Module from LoadLibraryA (2)");
    FreeLibrary(a);
    EXPECT_EQ(winsim::OpenHandleCount(Local(), "Module"), 1u);
    FreeLibrary(b);
    EXPECT_EQ(winsim::OpenHandleCount(Local(), "Module"), 0u);
}

TEST(HandleAccounts, ProcessesItemListsAndComAreCounted) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    LPITEMIDLIST pidl = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_COMMON_PROGRAMS, &pidl), S_OK);
    EXPECT_EQ(winsim::OpenHandleCount(Local(), "Com"), 1u);
    EXPECT_EQ(winsim::OpenHandleCount(Local(), "ItemList"), 1u);
    IMalloc *malloc = nullptr;
    ASSERT_EQ(SHGetMalloc(&malloc), S_OK);
    malloc->Free(pidl);
    malloc->Release();
    CoUninitialize();
    EXPECT_EQ(winsim::DescribeOpenHandles(), "");
}

TEST(HandleAccounts, ResetWorldStartsTheCountAfresh) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), ERROR_SUCCESS);
    winsim::ResetWorld();
    winsim::CreateDefaultMachine();
    EXPECT_EQ(winsim::DescribeOpenHandles(), "");
}

}  // namespace
