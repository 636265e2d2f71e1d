// The runner's pictures of what a run touched give the same changes as the
// pictures of the whole machine, without the keys and files it left alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/journal.h>
#include <winsim/machine.h>

#include "qlsetrun/Snapshot.h"

#include <string>

namespace {

using qlsetrun::FilesSnapshot;
using qlsetrun::RegistrySnapshot;

void Seed(winsim::Machine &m) {
    for (int i = 0; i < 20; ++i) {
        const std::string n = std::to_string(i);
        m.registry.SetString("HKLM\\SOFTWARE\\Vendor" + n + "\\App", "Path", "C:\\Data\\" + n);
        m.PutFile("C:\\Data\\D" + n + "\\F" + n + ".DAT", std::string(10 + i, 'x'));
    }
    m.registry.SetString("HKLM\\SOFTWARE\\Quillbak\\Old\\Deep", "v", "old");
    m.registry.SetDword("HKLM\\SOFTWARE\\Quillbak\\Old", "n", 1);
    m.registry.SetString("HKLM\\SOFTWARE\\Quillbak", "Change", "before");
    m.PutFile("C:\\TEMP\\QLBSETUP.LOG", "12/01/26 08:00:00\tfirst\r\n");
    m.PutFile("C:\\WINNT\\QUILL.INI", "[Main]\r\nA=1\r\nB=2\r\n");
    m.PutFile("C:\\APP\\BIN\\A.EXE", "MZ");
    m.PutFile("C:\\OLD\\GONE.TXT", "gone");
}

void Append(const char *path, const std::string &text) {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    SetFilePointer(h, 0, NULL, FILE_END);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(h, text.data(), (DWORD)text.size(), &done, NULL));
    CloseHandle(h);
}

void Change(winsim::Machine &m) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillbak\\New\\Sub", &k), ERROR_SUCCESS);
    RegSetValueExA(k, "Added", 0, REG_SZ, (const BYTE *)"yes", 4);
    RegCloseKey(k);
    m.registry.SetString("HKLM\\SOFTWARE\\Quillbak", "Change", "after");
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillbak\\Old\\Deep"), ERROR_SUCCESS);
    m.registry.Delete("HKLM\\SOFTWARE\\Quillbak\\Old");
    m.registry.SetDword("HKU\\.DEFAULT\\Software\\Quillbak", "User", 7);
    Append("C:\\TEMP\\QLBSETUP.LOG", "12/01/26 08:00:01\tsecond\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("Main", "B", "3", "C:\\WINNT\\QUILL.INI"));
    ASSERT_TRUE(WritePrivateProfileStringA("New", "C", "4", "C:\\WINNT\\QUILL.INI"));
    ASSERT_TRUE(MoveFileA("C:\\APP", "C:\\APP.OLD"));
    ASSERT_TRUE(DeleteFileA("C:\\OLD\\GONE.TXT"));
    ASSERT_TRUE(RemoveDirectoryA("C:\\OLD"));
    ASSERT_TRUE(CreateDirectoryA("C:\\QUILLBAK", NULL));
    Append("C:\\QUILLBAK\\README.TXT", "new");
    m.PutFile("C:\\QUILLBAK\\LIB\\Q.DLL", "MZ");
}

TEST(TouchedSnapshots, GiveTheChangesOfTheWholePictures) {
    winsim::Machine &m = winsim::LocalMachine();
    Seed(m);
    const RegistrySnapshot wholeRegBefore = qlsetrun::SnapRegistry(m.registry);
    const FilesSnapshot wholeFilesBefore = qlsetrun::SnapFiles(m);
    winsim::ChangeJournal journal(m);
    Change(m);
    const RegistrySnapshot wholeRegAfter = qlsetrun::SnapRegistry(m.registry);
    const FilesSnapshot wholeFilesAfter = qlsetrun::SnapFiles(m);

    RegistrySnapshot regBefore, regAfter;
    FilesSnapshot filesBefore, filesAfter;
    qlsetrun::SnapTouchedRegistry(journal, regBefore, regAfter);
    qlsetrun::SnapTouchedFiles(journal, filesBefore, filesAfter);

    int wholeCount = 0, count = 0;
    const std::string changes = qlsetrun::RegistryChanges(regBefore, regAfter, &count);
    EXPECT_EQ(changes, qlsetrun::RegistryChanges(wholeRegBefore, wholeRegAfter, &wholeCount));
    EXPECT_EQ(count, wholeCount);
    EXPECT_NE(changes.find("[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak\\Old]"), std::string::npos) << changes;
    EXPECT_EQ(changes.find("Old\\Deep"), std::string::npos) << changes;  // the tree goes by its top key
    const std::string files = qlsetrun::FileChanges(filesBefore, filesAfter);
    EXPECT_EQ(files, qlsetrun::FileChanges(wholeFilesBefore, wholeFilesAfter));
    EXPECT_NE(files.find("+ C:\\APP.OLD\\BIN\\A.EXE (2 bytes)"), std::string::npos) << files;
    EXPECT_NE(files.find("+ C:\\QUILLBAK\\LIB\\Q.DLL (2 bytes)"), std::string::npos) << files;
    EXPECT_EQ(qlsetrun::ProfileChanges(filesBefore, filesAfter),
              qlsetrun::ProfileChanges(wholeFilesBefore, wholeFilesAfter));
    const std::string logs = qlsetrun::LogFileChanges(filesBefore, filesAfter);
    EXPECT_EQ(logs, qlsetrun::LogFileChanges(wholeFilesBefore, wholeFilesAfter));
    EXPECT_NE(logs.find("  12/01/26 08:00:01\tsecond"), std::string::npos) << logs;

    // What the run left alone is not in them.
    EXPECT_FALSE(regAfter.count("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor3\\App"));
    EXPECT_FALSE(filesAfter.count("C:\\Data\\D3\\F3.DAT"));
    EXPECT_LT(filesAfter.size(), 20u);
}

}  // namespace
