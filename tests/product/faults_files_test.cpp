// Failures of the file-system calls: the setup log's append, the tree and
// drive chores of CComputer, the silent-install configuration file and the
// setup information file's numbers.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include <cstring>
#include <string>

#include "settings/Settings.h"
#include "settings/SilentConfig.h"
#include "system/Computer.h"
#include "system/Log.h"

namespace {

winsim::Machine &M() { return winsim::LocalMachine(); }

// ---- the setup log -------------------------------------------------------------------------
const char kLog[] = "C:\\TEMP\\QLBSETUP.LOG";
const char kEarlier[] = "01/05/01 09:07:02\tearlier\r\n";

class LogFaults : public ::testing::Test {
protected:
    void SetUp() override {
        SYSTEMTIME st{};
        st.wYear = 2001;
        st.wMonth = 1;
        st.wDay = 5;
        st.wHour = 9;
        st.wMinute = 7;
        st.wSecond = 3;
        winsim::SetClock(st);
        M().PutFile(kLog, kEarlier);
    }
    static std::string ReadLog() {
        std::string text;
        M().GetFile(kLog, text);
        return text;
    }
    static std::string Line(const char *message) { return std::string("01/05/01 09:07:03\t") + message + "\r\n"; }
};

// A failed move to the end is tried again with the lock; the line lands at the end.
TEST_F(LogFaults, AFailedSeekIsTriedAgainAndTheLineGoesAtTheEnd) {
    winsim::InjectFault("SetFilePointer", ERROR_INVALID_HANDLE);
    EXPECT_NE(CLog::Write(kLog, "%s", "mine"), 0);
    EXPECT_EQ(ReadLog(), kEarlier + Line("mine"));
}

// Where the end cannot be found at all, nothing is written: written at the
// start of the file, the line would overwrite the oldest ones.
TEST_F(LogFaults, AnEndThatCannotBeFoundWritesNothingAndKeepsTheLog) {
    winsim::InjectFault("SetFilePointer", ERROR_INVALID_HANDLE, winsim::FaultMode::Always);
    EXPECT_EQ(CLog::Write(kLog, "%s", "mine"), 0);
    EXPECT_EQ(ReadLog(), kEarlier);
    winsim::ClearFaults();
    EXPECT_NE(CLog::Write(kLog, "%s", "next"), 0);
    EXPECT_EQ(ReadLog(), kEarlier + Line("next"));
}

TEST_F(LogFaults, AnUnknownSizeStillAppendsUnderTheLock) {
    winsim::InjectFault("GetFileSize", ERROR_INVALID_HANDLE);
    EXPECT_NE(CLog::Write(kLog, "%s", "mine"), 0);
    EXPECT_EQ(ReadLog(), kEarlier + Line("mine"));
    EXPECT_EQ(winsim::CallCount("LockFile"), 1u);
}

// The close gives the lock back: the next writer is not kept waiting.
TEST_F(LogFaults, AFailedUnlockStillReportsTheLineAndHoldsUpNoOne) {
    winsim::InjectFault("UnlockFile", ERROR_NOT_LOCKED);
    EXPECT_NE(CLog::Write(kLog, "%s", "mine"), 0);
    EXPECT_NE(CLog::Write(kLog, "%s", "next"), 0);
    EXPECT_EQ(ReadLog(), kEarlier + Line("mine") + Line("next"));
    EXPECT_EQ(winsim::CallCount("LockFile"), 2u);
    EXPECT_EQ(winsim::CallCount("Sleep"), 0u);
}

TEST_F(LogFaults, AFailedCloseStillReportsTheWrittenLine) {
    winsim::InjectFault("CloseHandle", ERROR_INVALID_HANDLE);
    EXPECT_NE(CLog::Write(kLog, "%s", "mine"), 0);
    EXPECT_EQ(ReadLog(), kEarlier + Line("mine"));
    EXPECT_EQ(winsim::OpenHandleCount(M(), "File"), 1u);
    winsim::ForgetOpenHandles();  // the log file whose close failed
}

// ---- trees and drives ----------------------------------------------------------------------
class TreeFaults : public ::testing::Test {
protected:
    void SetUp() override {
        M().PutFile("C:\\T\\a.txt", "a");
        M().PutFile("C:\\T\\b.txt", "b");
        M().PutFile("C:\\T\\sub\\c.txt", "c");
    }
};

// A folder that cannot be listed is not removed, and says so.
TEST_F(TreeFaults, AFolderThatCannotBeListedStaysWhole) {
    winsim::InjectFault("FindFirstFileA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CComputer::DeleteTree("C:\\T"));
    EXPECT_TRUE(M().Exists("C:\\T\\a.txt"));
    EXPECT_TRUE(M().Exists("C:\\T\\sub\\c.txt"));
}

TEST_F(TreeFaults, AListingCutShortLeavesTheRestAndSaysSo) {
    winsim::InjectFault("FindNextFileA", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    EXPECT_FALSE(CComputer::DeleteTree("C:\\T"));
    EXPECT_TRUE(M().Exists("C:\\T\\a.txt"));
    EXPECT_TRUE(M().Exists("C:\\T\\b.txt"));
    EXPECT_TRUE(M().Exists("C:\\T\\sub\\c.txt"));
}

TEST_F(TreeFaults, AFolderThatWillNotGoIsReported) {
    // The last removal is the tree's own folder.
    winsim::SetBeforeCallHook("RemoveDirectoryA", [] {
        winsim::InjectFault("RemoveDirectoryA", ERROR_SHARING_VIOLATION);
    }, winsim::FaultMode::Nth, 2);
    EXPECT_FALSE(CComputer::DeleteTree("C:\\T"));
    EXPECT_TRUE(M().Exists("C:\\T"));
    EXPECT_FALSE(M().Exists("C:\\T\\a.txt"));
    EXPECT_FALSE(M().Exists("C:\\T\\sub"));
}

TEST_F(TreeFaults, AFindHandleThatWillNotCloseStillEmptiesTheTree) {
    winsim::InjectFault("FindClose", ERROR_INVALID_HANDLE);
    CComputer::DeleteTree("C:\\T");
    EXPECT_FALSE(M().Exists("C:\\T\\a.txt"));
    EXPECT_FALSE(M().Exists("C:\\T\\sub"));
    winsim::ForgetOpenHandles();  // the find handle whose close failed
}

TEST(DriveFaults, AnUnreadableDriveHasNoFreeSpace) {
    winsim::InjectFault("GetDiskFreeSpaceA", ERROR_NOT_READY);
    EXPECT_EQ(CComputer::DriveFreeSpaceBytes("C:\\WINNT"), 0u);
}

// Without the registered Program Files folder the root is the first fixed
// drive, and only a drive known to be fixed serves.
TEST(DriveFaults, ADriveOfUnknownTypeGetsNoFolders) {
    M().registry.Delete("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
    tagSETUP_INFO info;
    memset(&info, 0, sizeof info);
    info.lProductType = 24;
    winsim::InjectFault("GetDriveTypeA", ERROR_NOT_READY, winsim::FaultMode::Always);
    CSettings s(&info, 0);
    s.Initialize();
    EXPECT_STREQ(s.QuillbakPath(), "");
    EXPECT_STREQ(s.AlertPath(), "");
    winsim::ClearFaults();
    CSettings t(&info, 0);
    t.Initialize();
    EXPECT_STREQ(t.QuillbakPath(), "C:\\");
}

// ---- the silent-install configuration file -------------------------------------------------
winsim::Machine &Console() { return winsim::LocalMachine(); }

const char kTemplate[] = "[UserInfo]\r\nFullName=Template Owner\r\n[SystemAccount]\r\nDefaultDomainName=\r\n";

class SilentFaults : public ::testing::Test {
protected:
    void SetUp() override {
        Console().modulePath = "C:\\QLREMOTE\\QLREMOTE.EXE";
        Console().PutFile(Console().modulePath, "");
        Console().PutFile("C:\\QLREMOTE\\QUILLBAK.ICF", kTemplate);
        Console().PutFile("C:\\QLREMOTE\\QLBSETUP.INF", "[Setup]\r\nProdSubType=2\r\n");
        winsim::CreateDefaultMachine("TARGET");
        CreateDirectoryA("C:\\Cfg", NULL);
    }
    static std::string Key(const char *section, const char *key) {
        char value[300] = "";
        GetPrivateProfileStringA(section, key, "<none>", value, sizeof value, "C:\\Cfg\\QUILLBAK.ICF");
        return value;
    }
    // How many entries the file's access list holds (-1: none could be read).
    static int Entries(const char *file) {
        BYTE sd[1024];
        DWORD needed = 0;
        if (!GetFileSecurityA(file, DACL_SECURITY_INFORMATION, sd, sizeof sd, &needed)) return -1;
        BOOL present = FALSE, defaulted = FALSE;
        PACL acl = NULL;
        if (!GetSecurityDescriptorDacl(sd, &present, &acl, &defaulted) || !present || !acl) return -1;
        return acl->AceCount;
    }
};

TEST_F(SilentFaults, ATemplateThatCannotBeCopiedGivesNoFile) {
    winsim::InjectFault("CopyFileA", ERROR_DISK_FULL);
    EXPECT_EQ(GetSilentConfigDefaults("C:\\Cfg", "TARGET", "svc", "Secret"), 0);
    EXPECT_FALSE(Console().Exists("C:\\Cfg\\QUILLBAK.ICF"));
}

// A volume whose kind is unknown may keep access lists: the file is restricted.
TEST_F(SilentFaults, AnUnknownVolumeStillGetsARestrictedFile) {
    winsim::InjectFault("GetVolumeInformationA", ERROR_NOT_READY);
    ASSERT_EQ(GetSilentConfigDefaults("C:\\Cfg", "TARGET", "svc", "Secret"), 1);
    EXPECT_EQ(Entries("C:\\Cfg\\QUILLBAK.ICF"), 2);  // Administrators and SYSTEM
    EXPECT_EQ(Key("SystemAccount", "DefaultPassword"), "Secret");
}

TEST_F(SilentFaults, AnUnrestrictedCopyGoesEvenWhenItsAttributesCannotBeSet) {
    winsim::InjectFault("SetFileSecurityA", ERROR_ACCESS_DENIED);
    winsim::InjectFault("SetFileAttributesA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetSilentConfigDefaults("C:\\Cfg", "TARGET", "svc", "Secret"), 0);
    EXPECT_FALSE(Console().Exists("C:\\Cfg\\QUILLBAK.ICF"));
    EXPECT_EQ(winsim::CallCount("SetFileAttributesA"), 1u);
}

TEST_F(SilentFaults, AnUnreadableSubTypeNamesNoProduct) {
    tagPRODUCT_INFO info;
    memset(&info, 'x', sizeof info);
    winsim::InjectFault("GetPrivateProfileIntA", ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetProductInfo(&info), 0);
    EXPECT_EQ(GetProductInfo(&info), 1);  // read again, it names the product
}

}  // namespace
