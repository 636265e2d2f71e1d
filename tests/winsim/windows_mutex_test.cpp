// Top-level windows of running programs (finding them, their class and
// owner, close requests the program decides on) and named mutexes.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/running.h"
#include "support/wine.h"

namespace {

bool Running(DWORD pid) {
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!h) return false;
    DWORD code = 0;
    GetExitCodeProcess(h, &code);
    CloseHandle(h);
    return code == (DWORD)STILL_ACTIVE;
}

TEST(Windows, FoundByClassOrTitleWithTheirOwner) {
    SEEDED_OR_SKIP(runtest::ProgramsCanBeSeeded());
    DWORD pid = runtest::StartProgram("C:\\Apps\\mgr.exe", {{"QuillbakManager", "Quillbak Manager", true}});
    HWND byClass = FindWindowA("QuillbakManager", NULL);
    ASSERT_NE(byClass, (HWND)0);
    EXPECT_EQ(FindWindowA(NULL, "Quillbak Manager"), byClass);
    EXPECT_EQ(FindWindowA("quillbakmanager", "QUILLBAK MANAGER"), byClass);
    EXPECT_EQ(FindWindowA("QuillbakManager", "Other"), (HWND)0);
    EXPECT_EQ(FindWindowA(NULL, "Quillbak"), (HWND)0);  // the whole title, not a part
    EXPECT_TRUE(IsWindow(byClass));
    DWORD owner = 0;
    EXPECT_NE(GetWindowThreadProcessId(byClass, &owner), 0u);
    EXPECT_EQ(owner, pid);
    char name[64];
    EXPECT_EQ(GetClassNameA(byClass, name, sizeof name), 15);
    EXPECT_STREQ(name, "QuillbakManager");
    EXPECT_EQ(GetClassNameA(byClass, name, 6), 5);
    EXPECT_STREQ(name, "Quill");
    EXPECT_EQ(GetWindowTextA(byClass, name, sizeof name), 16);
    EXPECT_STREQ(name, "Quillbak Manager");
}

TEST(Windows, AClosingWindowGoesAndItsProgramEndsWithIt) {
    SEEDED_OR_SKIP(runtest::ProgramsCanBeSeeded());
    DWORD pid = runtest::StartProgram("C:\\Apps\\mon.exe", {{"QLDM32WClass", "Monitor", true}}, nullptr, 4);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    HWND w = FindWindowA("QLDM32WClass", NULL);
    ASSERT_TRUE(PostMessageA(w, WM_CLOSE, 0, 0));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(process, &code));
    EXPECT_EQ(code, 4u);
    CloseHandle(process);
    EXPECT_FALSE(PostMessageA(w, WM_CLOSE, 0, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(GetClassNameA(w, nullptr, 0), 0);
}

TEST(Windows, AProgramMayRefuseToClose) {
    SEEDED_OR_SKIP(runtest::ProgramsCanBeSeeded());
    DWORD pid = runtest::StartProgram("C:\\Apps\\busy.exe", {{"Busy", "Busy", false}});
    HWND w = FindWindowA("Busy", NULL);
    EXPECT_TRUE(PostMessageA(w, WM_CLOSE, 0, 0));
    EXPECT_EQ(SendMessageA(w, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(w));
    EXPECT_TRUE(Running(pid));
    // Another program's window is not ours to destroy.
    EXPECT_FALSE(DestroyWindow(w));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
}

TEST(Windows, AProgramEndsWithItsLastWindow) {
    SEEDED_OR_SKIP(runtest::ProgramsCanBeSeeded());
    DWORD pid = runtest::StartProgram("C:\\Apps\\two.exe", {{"First", "One", true}, {"Second", "Two", true}});
    EXPECT_EQ(SendMessageA(FindWindowA("First", NULL), WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(Running(pid));
    HWND second = FindWindowA("Second", NULL);
    ShowWindow(second, SW_HIDE);
    EXPECT_TRUE(PostMessageA(second, WM_CLOSE, 0, 0));
    EXPECT_FALSE(Running(pid));
}

TEST(Windows, TerminatingAProgramTakesItsWindows) {
    SEEDED_OR_SKIP(runtest::ProgramsCanBeSeeded());
    DWORD pid = runtest::StartProgram("C:\\Apps\\win.exe", {{"Killed", "K", false}});
    HWND w = FindWindowA("Killed", NULL);
    HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    ASSERT_TRUE(TerminateProcess(h, 1));
    CloseHandle(h);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(FindWindowA("Killed", NULL), (HWND)0);
}

BOOL CALLBACK Collect(HWND hwnd, LPARAM param) {
    char title[256];
    GetWindowTextA(hwnd, title, sizeof title);
    reinterpret_cast<std::string *>(param)->append(title).append(";");
    return TRUE;
}

TEST(Windows, EnumWindowsVisitsEveryTopLevelWindow) {
    SEEDED_OR_SKIP(runtest::ProgramsCanBeSeeded());
    runtest::StartProgram("C:\\Apps\\a.exe", {{"A", "Alpha", true}});
    runtest::StartProgram("C:\\Apps\\b.exe", {{"B", "Beta", true}});
    std::string titles;
    EXPECT_TRUE(EnumWindows(Collect, (LPARAM)&titles));
    EXPECT_NE(titles.find("Alpha;"), std::string::npos);
    EXPECT_NE(titles.find("Beta;"), std::string::npos);
}

TEST(Mutexes, CreateOpenAndTheNameThatAlreadyExists) {
    HANDLE first = CreateMutexA(NULL, FALSE, "WinsimTestMutex");
    ASSERT_NE(first, (HANDLE)0);
    EXPECT_EQ(GetLastError(), 0u);
    HANDLE second = CreateMutexA(NULL, TRUE, "WinsimTestMutex");
    ASSERT_NE(second, (HANDLE)0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    // The second creation did not take ownership.
    EXPECT_FALSE(ReleaseMutex(second));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_OWNER);
    HANDLE opened = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "WinsimTestMutex");
    ASSERT_NE(opened, (HANDLE)0);
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, "winsimtestmutex"), (HANDLE)0);  // names keep their case
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    CloseHandle(first);
    CloseHandle(second);
    CloseHandle(opened);
    // The last handle took the mutex with it.
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, "WinsimTestMutex"), (HANDLE)0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST(Mutexes, OwnershipIsRecursiveForTheOwner) {
    HANDLE m = CreateMutexA(NULL, TRUE, "WinsimOwned");
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_FALSE(ReleaseMutex(m));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_OWNER);
    CloseHandle(m);
    EXPECT_FALSE(ReleaseMutex(m));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST(Mutexes, AMutexHeldByAnotherProgramIsAbandonedWhenItEnds) {
    SEEDED_OR_SKIP(runtest::ProgramsCanBeSeeded());
    DWORD pid = runtest::StartProgram("C:\\Apps\\single.exe", {}, "SingleInstanceMutex");
    HANDLE m = CreateMutexA(NULL, TRUE, "SingleInstanceMutex");
    ASSERT_NE(m, (HANDLE)0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_EQ(WaitForSingleObject(m, 0), (DWORD)WAIT_TIMEOUT);
    HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    ASSERT_TRUE(TerminateProcess(h, 1));
    CloseHandle(h);
    EXPECT_EQ(WaitForSingleObject(m, 0), (DWORD)WAIT_ABANDONED);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_TRUE(ReleaseMutex(m));
    CloseHandle(m);
}

}  // namespace
