// The change journal: the state each key and file had before its first
// change while the journal is open, and nothing about what the run did not
// touch.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/journal.h>
#include <winsim/machine.h>

#include <string>

namespace {

std::string Text(const winsim::RegValue &v) { return std::string(v.data.begin(), v.data.end()); }

void WriteWhole(const char *path, const std::string &text, DWORD disposition = CREATE_ALWAYS) {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    DWORD done = 0;
    SetFilePointer(h, 0, NULL, FILE_END);
    ASSERT_TRUE(WriteFile(h, text.data(), (DWORD)text.size(), &done, NULL));
    CloseHandle(h);
}

TEST(ChangeJournal, AKeyKeepsTheValuesOfItsFirstChange) {
    winsim::Machine &m = winsim::LocalMachine();
    m.registry.SetString("HKLM\\SOFTWARE\\Acme\\App", "Path", "C:\\Old");
    m.registry.SetString("HKLM\\SOFTWARE\\Acme\\Other", "Path", "C:\\Other");
    winsim::ChangeJournal journal(m);
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme\\App", 0, KEY_ALL_ACCESS, &k), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, "Path", 0, REG_SZ, (const BYTE *)"C:\\New", 7), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, "Path", 0, REG_SZ, (const BYTE *)"C:\\Newer", 9), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(k, "Path"), ERROR_SUCCESS);
    RegCloseKey(k);

    ASSERT_EQ(journal.Keys().size(), 1u);  // HKLM\SOFTWARE\Acme\Other was not touched
    const auto &app = journal.Keys().at("hkey_local_machine\\software\\acme\\app");
    EXPECT_TRUE(app.existed);
    EXPECT_EQ(app.path, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\App");
    ASSERT_EQ(app.values.size(), 1u);
    EXPECT_EQ(Text(app.values[0]), std::string("C:\\Old", 7));
}

TEST(ChangeJournal, NewKeysWereAbsentAndADeletedTreeIsKeptWhole) {
    winsim::Machine &m = winsim::LocalMachine();
    m.registry.SetString("HKLM\\SOFTWARE\\Acme\\Tree\\Leaf", "Name", "leaf");
    m.registry.SetDword("HKLM\\SOFTWARE\\Acme\\Tree", "Count", 1);
    winsim::ChangeJournal journal(m);
    HKEY k;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme\\New\\Sub", &k), ERROR_SUCCESS);
    RegCloseKey(k);
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme\\Tree\\Leaf"), ERROR_SUCCESS);
    m.registry.Delete("HKLM\\SOFTWARE\\Acme\\Tree");  // the control API is seen too

    const auto &keys = journal.Keys();
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_FALSE(keys.at("HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\New").existed);
    EXPECT_FALSE(keys.at("HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\New\\Sub").existed);
    const auto &leaf = keys.at("HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\Tree\\Leaf");
    EXPECT_TRUE(leaf.existed);
    ASSERT_EQ(leaf.values.size(), 1u);
    EXPECT_EQ(leaf.values[0].name, "Name");
    const auto &tree = keys.at("HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\Tree");
    ASSERT_EQ(tree.values.size(), 1u);
    EXPECT_EQ(tree.values[0].name, "Count");
}

TEST(ChangeJournal, FilesKeepTheirContentFromBeforeTheirFirstChange) {
    winsim::Machine &m = winsim::LocalMachine();
    m.PutFile("C:\\TEMP\\SETUP.LOG", "line 1\r\n");
    m.PutFile("C:\\TEMP\\GONE.TXT", "gone");
    m.PutFile("C:\\TEMP\\KEPT.TXT", "kept");
    winsim::ChangeJournal journal(m);
    WriteWhole("c:\\temp\\setup.log", "line 2\r\n", OPEN_ALWAYS);
    WriteWhole("C:\\TEMP\\SETUP.LOG", "line 3\r\n", OPEN_ALWAYS);
    ASSERT_TRUE(DeleteFileA("C:\\TEMP\\GONE.TXT"));
    ASSERT_TRUE(CreateDirectoryA("C:\\TEMP\\NEW", NULL));
    WriteWhole("C:\\TEMP\\NEW\\A.TXT", "a");
    // Reading changes nothing.
    HANDLE h = CreateFileA("C:\\TEMP\\KEPT.TXT", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);

    const auto &files = journal.Files();
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files.at("C:\\TEMP\\SETUP.LOG").content, "line 1\r\n");
    EXPECT_EQ(files.at("C:\\TEMP\\GONE.TXT").content, "gone");
    EXPECT_TRUE(files.at("C:\\TEMP\\GONE.TXT").existed);
    EXPECT_FALSE(files.at("C:\\TEMP\\NEW").existed);
    EXPECT_FALSE(files.at("C:\\TEMP\\NEW\\A.TXT").existed);
}

TEST(ChangeJournal, AMovedFolderIsKeptWholeAndOtherMachinesAreNotNoted) {
    winsim::Machine &m = winsim::LocalMachine();
    m.PutFile("C:\\APP\\BIN\\A.EXE", "MZ");
    m.PutFile("C:\\APP\\README.TXT", "read me");
    winsim::Machine &other = winsim::CreateDefaultMachine("OTHER");
    winsim::ChangeJournal journal(m);
    other.PutFile("C:\\TEMP\\X.TXT", "x");
    ASSERT_TRUE(MoveFileA("C:\\APP", "C:\\APP.OLD"));

    const auto &files = journal.Files();
    ASSERT_EQ(files.size(), 5u);
    EXPECT_TRUE(files.at("C:\\APP").dir);
    EXPECT_TRUE(files.at("C:\\APP\\BIN").dir);
    EXPECT_EQ(files.at("C:\\APP\\BIN\\A.EXE").content, "MZ");
    EXPECT_EQ(files.at("C:\\APP\\README.TXT").content, "read me");
    EXPECT_FALSE(files.at("C:\\APP.OLD").existed);
}

TEST(ChangeJournal, NothingIsNotedOnceItIsClosed) {
    winsim::Machine &m = winsim::LocalMachine();
    {
        winsim::ChangeJournal journal(m);
        m.registry.SetDword("HKLM\\SOFTWARE\\Acme", "During", 1);
        EXPECT_EQ(journal.Keys().size(), 1u);
    }
    winsim::ChangeJournal later(m);
    EXPECT_TRUE(later.Keys().empty());
    EXPECT_TRUE(later.Files().empty());
}

}  // namespace
