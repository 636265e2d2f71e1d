// What changed on a machine: the registry as a regedit file that replays the
// changes (machine before + changes = machine after), files, profile files
// by section and key, and the lines log files gained.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include "qlsetrun/Snapshot.h"

#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

namespace {

using qlsetrun::FilesSnapshot;
using qlsetrun::RegistrySnapshot;

winsim::Registry &Reg() { return winsim::LocalMachine().registry; }

const char kQ[] = "HKLM\\SOFTWARE\\Quillbak";

void SeedBefore() {
    Reg().SetString(kQ, "", "default");
    Reg().SetString(kQ, "Keep", "same");
    Reg().SetString(kQ, "Change", "old");
    Reg().SetDword(kQ, "TypeChange", 7);
    Reg().SetString(kQ, "Gone", "bye");
    Reg().SetString("HKLM\\SOFTWARE\\Quillbak\\Old", "a", "1");
    Reg().SetDword("HKLM\\SOFTWARE\\Quillbak\\Old\\Deep\\Deeper", "b", 2);
    Reg().SetString("HKLM\\SOFTWARE\\Quillbak\\Emptied", "only", "x");
    Reg().SetString("HKU\\.DEFAULT\\Software\\Q", "v", "1");
    Reg().SetString("HKCC\\Software\\X", "w", "before");
}

void MakeChanges() {
    const std::string n = "HKLM\\SOFTWARE\\Quillbak\\New\\Sub";
    Reg().SetString(n, "Sz", "C:\\Program Files\\\"Q\"");
    Reg().SetString(n, "Expand", "%SystemRoot%\\system32", REG_EXPAND_SZ);
    Reg().Set(n, "Multi", REG_MULTI_SZ, "a\0bc\0\0", 6);
    Reg().SetDword(n, "Dword", 0xdeadbeef);
    std::vector<BYTE> bin(40);
    for (int i = 0; i < 40; ++i) bin[i] = (BYTE)(i * 7);
    Reg().Set(n, "Binary", REG_BINARY, bin.data(), bin.size());
    Reg().Set(n, "Qword", REG_QWORD, "\1\2\3\4\5\6\7\10", 8);
    Reg().Set(n, "None", REG_NONE, "", 0);
    Reg().Set(n, "EmptySz", REG_SZ, "", 0);
    Reg().Set(n, "ShortDword", REG_DWORD, "\1\2", 2);
    Reg().Set(n, "Bare", REG_SZ, "ab", 2);
    Reg().SetString(n, "", "default of a new key");
    Reg().Create("HKLM\\SOFTWARE\\Quillbak\\Empty");
    Reg().SetString(kQ, "Change", "new");
    Reg().SetString(kQ, "TypeChange", "%TEMP%", REG_EXPAND_SZ);
    Reg().Find(kQ)->DeleteValue("Gone");
    Reg().Find(kQ)->DeleteValue("");
    Reg().Delete("HKLM\\SOFTWARE\\Quillbak\\Old");
    Reg().Find("HKLM\\SOFTWARE\\Quillbak\\Emptied")->DeleteValue("only");
    Reg().SetDword("HKU\\.DEFAULT\\Software\\Q", "added", 1);
    Reg().SetString("HKCC\\Software\\X", "w", "after");
}

// A registry without the order of values: what must agree after a replay.
std::map<std::string, std::map<std::string, std::pair<DWORD, std::vector<BYTE>>>> Canon(const RegistrySnapshot &s) {
    std::map<std::string, std::map<std::string, std::pair<DWORD, std::vector<BYTE>>>> out;
    for (auto &[path, key] : s) {
        auto &values = out[winsim::Upper(key.path)];
        for (auto &v : key.values) values[winsim::Upper(v.name)] = {v.type, v.data};
    }
    return out;
}

TEST(RegistryChanges, ReplayingThemOnTheMachineBeforeGivesTheMachineAfter) {
    SeedBefore();
    const RegistrySnapshot before = qlsetrun::SnapRegistry(Reg());
    MakeChanges();
    const RegistrySnapshot after = qlsetrun::SnapRegistry(Reg());
    int count = 0;
    const std::string changes = qlsetrun::RegistryChanges(before, after, &count);
    EXPECT_GT(count, 0);

    winsim::ResetWorld();
    winsim::CreateDefaultMachine();
    SeedBefore();
    Reg().ImportReg(changes, "changes.reg");
    EXPECT_EQ(Canon(qlsetrun::SnapRegistry(Reg())), Canon(after)) << changes;

    // Replaying twice changes nothing more.
    Reg().ImportReg(changes, "changes.reg");
    EXPECT_EQ(Canon(qlsetrun::SnapRegistry(Reg())), Canon(after));
}

TEST(RegistryChanges, RegeditTextOfEachKindOfChange) {
    SeedBefore();
    const RegistrySnapshot before = qlsetrun::SnapRegistry(Reg());
    Reg().SetString(kQ, "Change", "new");
    Reg().SetString(kQ, "TypeChange", "%TEMP%", REG_EXPAND_SZ);
    Reg().Find(kQ)->DeleteValue("Gone");
    Reg().Find(kQ)->DeleteValue("");
    Reg().Delete("HKLM\\SOFTWARE\\Quillbak\\Old");
    Reg().Set("HKLM\\SOFTWARE\\Quillbak\\Multi", "m", REG_MULTI_SZ, "a\0\0", 3);
    Reg().SetString("HKCC\\Software\\X", "w", "after");
    int count = 0;
    EXPECT_EQ(qlsetrun::RegistryChanges(before, qlsetrun::SnapRegistry(Reg()), &count),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak\\Old]\r\n"
              "\r\n"
              "[HKEY_CURRENT_CONFIG\\Software\\X]\r\n"
              "\"w\"=\"after\"\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak]\r\n"
              "\"Change\"=\"new\"\r\n"
              "\"TypeChange\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n"
              "@=-\r\n"
              "\"Gone\"=-\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillbak\\Multi]\r\n"
              "\"m\"=hex(7):61,00,00,00,00,00\r\n"
              "\r\n");
    // Old, Old\Deep, Old\Deep\Deeper; four values; the new key and its value; one value.
    EXPECT_EQ(count, 3 + 4 + 2 + 1);
}

TEST(RegistryChanges, NoChangeIsTheHeaderAlone) {
    SeedBefore();
    const RegistrySnapshot s = qlsetrun::SnapRegistry(Reg());
    int count = -1;
    EXPECT_EQ(qlsetrun::RegistryChanges(s, s, &count), "Windows Registry Editor Version 5.00\r\n\r\n");
    EXPECT_EQ(count, 0);
}

TEST(RegistrySnapshot, KeysComeBeforeTheirChildren) {
    Reg().Create("HKLM\\SOFTWARE\\A B");
    Reg().Create("HKLM\\SOFTWARE\\A\\B");
    const RegistrySnapshot s = qlsetrun::SnapRegistry(Reg());
    std::vector<std::string> order;
    for (auto &[path, key] : s)
        if (path.rfind("HKEY_LOCAL_MACHINE\\SOFTWARE\\A", 0) == 0) order.push_back(path);
    EXPECT_EQ(order, (std::vector<std::string>{"HKEY_LOCAL_MACHINE\\SOFTWARE\\A", "HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B",
                                               "HKEY_LOCAL_MACHINE\\SOFTWARE\\A B"}));
}

FilesSnapshot::value_type File(const std::string &path, const std::string &content) {
    qlsetrun::FileSnapshot f;
    f.content = content;
    return {path, f};
}

TEST(FileChanges, AddedChangedDeletedAndFolders) {
    qlsetrun::FileSnapshot dir;
    dir.dir = true;
    FilesSnapshot before{File("C:\\A.TXT", "1"), File("C:\\GONE.TXT", "x"), {"C:\\OLD", dir}};
    FilesSnapshot after{File("C:\\A.TXT", "12"), File("C:\\NEW.TXT", "abc"), {"C:\\NEWDIR", dir}};
    EXPECT_EQ(qlsetrun::FileChanges(before, after),
              "- C:\\GONE.TXT\n"
              "- C:\\OLD\\\n"
              "* C:\\A.TXT (2 bytes, was 1)\n"
              "+ C:\\NEW.TXT (3 bytes)\n"
              "+ C:\\NEWDIR\\\n");
    EXPECT_EQ(qlsetrun::FileChanges(after, after), "");
}

TEST(ProfileChanges, SectionsAndKeysWithoutCase) {
    FilesSnapshot before{
        File("C:\\WINNT\\HOST.INI", "[Host]\r\nServer=CONSOLE1\r\nPort=1\r\nOld=x\r\n[Gone]\r\nk=v\r\n"),
        File("C:\\WINNT\\SAME.INI", "[A]\r\nb=c\r\n"),
        File("C:\\WINNT\\DEAD.INI", "[A]\r\n"),
        File("C:\\NOTES.TXT", "[A]\r\nb=c\r\n")};
    FilesSnapshot after{
        File("C:\\WINNT\\HOST.INI", "; edited\r\n[HOST]\r\nserver=CONSOLE1\r\nPort=2\r\nNew=y\r\n[Added]\r\nq=1\r\n"),
        File("C:\\WINNT\\SAME.INI", "[A]\r\nb=c\r\n"),
        File("C:\\QB\\SETUP.ICF", "[Setup]\r\nPath=C:\\QB\r\n"),
        File("C:\\NOTES.TXT", "[A]\r\nb=d\r\n")};
    EXPECT_EQ(qlsetrun::ProfileChanges(before, after),
              "- C:\\WINNT\\DEAD.INI\n"
              "+ C:\\QB\\SETUP.ICF\n"
              "  + [Setup]\n"
              "    + Path=C:\\QB\n"
              "* C:\\WINNT\\HOST.INI\n"
              "  - [Gone]\n"
              "  [HOST]\n"
              "    * Port=2 (was \"1\")\n"
              "    + New=y\n"
              "    - Old (was \"x\")\n"
              "  + [Added]\n"
              "    + q=1\n");
}

TEST(LogFileChanges, NewLinesOfAppendedLogsAndAllLinesOfNewOrRewrittenOnes) {
    FilesSnapshot before{File("C:\\TEMP\\QLBSETUP.LOG", "line 1\r\n"), File("C:\\TEMP\\RESET.LOG", "old\r\n"),
                         File("C:\\TEMP\\SAME.LOG", "s\r\n")};
    FilesSnapshot after{File("C:\\TEMP\\QLBSETUP.LOG", "line 1\r\nline 2\r\nline 3\r\n"),
                        File("C:\\TEMP\\RESET.LOG", "fresh\r\n"), File("C:\\TEMP\\SAME.LOG", "s\r\n"),
                        File("C:\\TEMP\\QLBSHARE.LOG", "shared\r\n"), File("C:\\TEMP\\DATA.TXT", "not a log\r\n")};
    EXPECT_EQ(qlsetrun::LogFileChanges(before, after),
              "C:\\TEMP\\QLBSETUP.LOG (8 bytes before; new lines)\n"
              "  line 2\n"
              "  line 3\n"
              "C:\\TEMP\\QLBSHARE.LOG (new)\n"
              "  shared\n"
              "C:\\TEMP\\RESET.LOG (rewritten; all its lines)\n"
              "  fresh\n");
}

TEST(FilesSnapshot, ReadsTheDrivesAndLeavesSpecialFilesUnread) {
    winsim::Machine &m = winsim::LocalMachine();
    m.PutFile("C:\\QB\\A.TXT", "hello");
    std::string host;
    ASSERT_TRUE(m.HostPath("C:\\QB", host));
    ASSERT_EQ(mkfifo((host + "/PIPE").c_str(), 0600), 0);
    const FilesSnapshot s = qlsetrun::SnapFiles(m);
    ASSERT_TRUE(s.count("C:\\QB\\A.TXT"));
    EXPECT_EQ(s.at("C:\\QB\\A.TXT").content, "hello");
    ASSERT_TRUE(s.count("C:\\QB"));
    EXPECT_TRUE(s.at("C:\\QB").dir);
    ASSERT_TRUE(s.count("C:\\QB\\PIPE"));
    EXPECT_TRUE(s.at("C:\\QB\\PIPE").special);
    EXPECT_EQ(s.at("C:\\QB\\PIPE").content, "");
}

}  // namespace
