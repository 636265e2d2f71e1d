// Setup log, status mailslot, setup exception and the setup product code.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include "system/Log.h"
#include "system/SetupException.h"

namespace {

const char *kLog = "C:\\TEMP\\QLBSETUP.LOG";

std::string ReadLog(const char *path = kLog) {
    std::string text;
    winsim::LocalMachine().GetFile(path, text);
    return text;
}

void SetClock(int year, int month, int day, int h, int m, int s) {
    SYSTEMTIME st{};
    st.wYear = (WORD)year;
    st.wMonth = (WORD)month;
    st.wDay = (WORD)day;
    st.wHour = (WORD)h;
    st.wMinute = (WORD)m;
    st.wSecond = (WORD)s;
    winsim::SetClock(st);
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetClock(2001, 1, 5, 9, 7, 3);
        ResetSetupProductCode();
    }
};

TEST_F(LogTest, LineFormatAndAppending) {
    EXPECT_NE(CLog::Write(kLog, "%s", "Started"), 0);
    EXPECT_EQ(ReadLog(), "01/05/01 09:07:03\tStarted\r\n");
    winsim::AdvanceClock(3600 * 1000 + 1000);
    CLog log(kLog);
    EXPECT_NE(log.Write("step %d of %d", 2, 3), 0);
    EXPECT_EQ(ReadLog(), "01/05/01 09:07:03\tStarted\r\n01/05/01 10:07:04\tstep 2 of 3\r\n");
}

TEST_F(LogTest, DateFieldsArePaddedAndTheYearIsTwoDigits) {
    SetClock(2010, 12, 31, 23, 59, 9);
    CLog::Write(kLog, "x");
    EXPECT_EQ(ReadLog(), "12/31/10 23:59:09\tx\r\n");
}

TEST_F(LogTest, PercentInAFormattedMessageIsWrittenOnce) {
    CLog log(kLog);
    log.Write("disk %d%% full, name %s", 90, "a%sb%d");
    EXPECT_EQ(ReadLog(), "01/05/01 09:07:03\tdisk 90% full, name a%sb%d\r\n");
}

TEST_F(LogTest, LongMessagesAreCutAt511Characters) {
    std::string big(2000, 'x');
    CLog::Write(kLog, "%s", big.c_str());
    EXPECT_EQ(ReadLog(), "01/05/01 09:07:03\t" + std::string(511, 'x') + "\r\n");
    CLog log(kLog);
    log.Write("%d %s", 1, big.c_str());
    EXPECT_EQ(ReadLog().substr(ReadLog().find("\r\n") + 2), "01/05/01 09:07:03\t1 " + std::string(509, 'x') + "\r\n");
}

TEST_F(LogTest, MissingDirectoryGivesZeroAndCreatesNothing) {
    EXPECT_EQ(CLog::Write("C:\\NoSuchDir\\QLBSETUP.LOG", "%s", "x"), 0);
    EXPECT_FALSE(winsim::LocalMachine().Exists("C:\\NoSuchDir"));
    EXPECT_EQ(CLog::Write("", "%s", "x"), 0);
}

TEST_F(LogTest, ExistingContentIsKeptAndReadersDoNotBlock) {
    winsim::LocalMachine().PutFile(kLog, "earlier\r\n");
    HANDLE reader = CreateFileA(kLog, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_NE(CLog::Write(kLog, "%s", "later"), 0);
    CloseHandle(reader);
    EXPECT_EQ(ReadLog(), "earlier\r\n01/05/01 09:07:03\tlater\r\n");
}

TEST_F(LogTest, WaitsForAnotherWritersLockAndAppendsAtTheEnd) {
    winsim::InjectFault("LockFile", ERROR_LOCK_VIOLATION, winsim::FaultMode::Once);
    EXPECT_NE(CLog::Write(kLog, "%s", "first"), 0);
    EXPECT_EQ(winsim::CallCount("LockFile"), 2u);
    EXPECT_EQ(ReadLog(), "01/05/01 09:07:03\tfirst\r\n");
    // A lock that never goes away: the wait is bounded, then the line is written.
    winsim::InjectFault("LockFile", ERROR_LOCK_VIOLATION, winsim::FaultMode::Always);
    EXPECT_NE(CLog::Write(kLog, "%s", "second"), 0);
    EXPECT_EQ(winsim::CallCount("LockFile"), 2u + 101u);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(now.wSecond, 8);  // 100 waits of 50 ms
    EXPECT_NE(ReadLog().find("\tsecond\r\n"), std::string::npos);
}

TEST_F(LogTest, AWriterThatAppendsBetweenOurSeekAndOurLockKeepsItsLine) {
    winsim::LocalMachine().PutFile(kLog, "earlier\r\n");
    // The other writer's whole line lands after we took the end of the file
    // and before we lock it.
    winsim::SetBeforeCallHook("LockFile", [] { CLog::Write(kLog, "%s", "other"); });
    EXPECT_NE(CLog::Write(kLog, "%s", "mine"), 0);
    EXPECT_EQ(ReadLog(), "earlier\r\n01/05/01 09:07:03\tother\r\n01/05/01 09:07:03\tmine\r\n");
}

TEST_F(LogTest, AfterWaitingForALockTheLineGoesAtTheNewEnd) {
    HANDLE other = CreateFileA(kLog, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(LockFile(other, 0, 0, 1000, 0));  // the other writer holds the end
    // While we wait, it writes its line and lets go.
    winsim::SetBeforeCallHook("Sleep", [&] {
        DWORD n = 0;
        WriteFile(other, "other\r\n", 7, &n, NULL);
        UnlockFile(other, 0, 0, 1000, 0);
        CloseHandle(other);
    });
    EXPECT_NE(CLog::Write(kLog, "%s", "mine"), 0);
    EXPECT_EQ(ReadLog(), "other\r\n01/05/01 09:07:03\tmine\r\n");
    // The other writer's lock, our refused try, and our lock at the new end:
    // the line went in under a lock, not as an unlocked last resort.
    EXPECT_EQ(winsim::CallCount("LockFile"), 3u);
}

TEST_F(LogTest, FailedWriteReportsZero) {
    winsim::InjectFault("WriteFile", ERROR_DISK_FULL);
    EXPECT_EQ(CLog::Write(kLog, "%s", "x"), 0);
    winsim::InjectFault("CreateFileA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(CLog::Write(kLog, "%s", "x"), 0);
}

// ---- status mailslot ---------------------------------------------------------------
class MailslotTest : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        winsim::ResetWorld();
        console_ = &winsim::CreateDefaultMachine("CONSOLE");
        srv_ = &winsim::CreateDefaultMachine("SRV1");
        winsim::SetLocalMachine(*console_);
        slot_ = CreateMailslotA("\\\\.\\mailslot\\status", 0, 0, NULL);
        winsim::SetLocalMachine(*srv_);
    }
    void TearDown() override {
        winsim::SetLocalMachine(*console_);
        CloseHandle(slot_);
    }
    void SetGuiDll(const char *value) {
        srv_->PutFile("C:\\WINNT\\system32\\QLBSETUP.INF", std::string("[ProductInfo]\r\nGUIDLL=") + value + "\r\n");
    }
    std::vector<std::string> Received() {
        std::vector<std::string> r;
        for (auto &m : console_->mailslotLog) r.push_back(m.data);
        return r;
    }
    winsim::Machine *console_ = nullptr;
    winsim::Machine *srv_ = nullptr;
    HANDLE slot_ = INVALID_HANDLE_VALUE;
};

TEST_F(MailslotTest, ThreeNumberMessageOfTheBaseProduct) {
    ASSERT_NE(slot_, INVALID_HANDLE_VALUE);
    SetGuiDll("qlsetgui.dll");
    EXPECT_NE(CRemoteMailslot::SendStatus("CONSOLE", 1, 1), 0);
    ASSERT_EQ(Received().size(), 1u);
    EXPECT_EQ(Received()[0], "SRV1\\1\\1\\24");
    EXPECT_EQ(Received()[0].size(), 11u);

    CRemoteMailslot console("console");
    EXPECT_NE(console.SendStatus(6, 3, "PreInstall failed"), 0);
    EXPECT_EQ(Received()[1], "SRV1\\6\\3\\PreInstall failed\\24");
    EXPECT_NE(console.SendStatus(2, 1), 0);
    EXPECT_EQ(Received()[2], "SRV1\\2\\1\\24");
}

TEST_F(MailslotTest, MessageBoundariesReachTheConsole) {
    SetGuiDll("OPTSET35.DLL");
    CRemoteMailslot::SendStatus("CONSOLE", 1, 1);
    CRemoteMailslot::SendStatus("CONSOLE", 1, 3);
    winsim::SetLocalMachine(*console_);
    char buf[300];
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(slot_, buf, sizeof buf, &got, NULL));
    EXPECT_EQ(std::string(buf, got), "SRV1\\1\\1\\35");
    ASSERT_TRUE(ReadFile(slot_, buf, sizeof buf, &got, NULL));
    EXPECT_EQ(std::string(buf, got), "SRV1\\1\\3\\35");
    winsim::SetLocalMachine(*srv_);
}

TEST_F(MailslotTest, NoListenerGivesZeroAtOnce) {
    uint64_t before = winsim::ClockMs();
    EXPECT_EQ(CRemoteMailslot::SendStatus("NOBODY", 1, 1), 0);
    EXPECT_EQ(CRemoteMailslot::SendStatus("SRV1", 1, 1), 0);  // no slot on that machine
    EXPECT_EQ(CRemoteMailslot::SendStatus("", 1, 1), 0);
    EXPECT_EQ(winsim::ClockMs(), before);  // no waiting, no retry
}

TEST_F(MailslotTest, LongTextIsCutAt255Characters) {
    SetGuiDll("QLSETGUI.DLL");
    std::string text(400, 't');
    EXPECT_NE(CRemoteMailslot::SendStatus("CONSOLE", 1, 1, text.c_str()), 0);
    ASSERT_EQ(Received().size(), 1u);
    EXPECT_EQ(Received()[0].size(), 255u);
    EXPECT_EQ(Received()[0].substr(0, 12), "SRV1\\1\\1\\ttt");
}

TEST_F(MailslotTest, ProductCodeTableAndCache) {
    struct Row {
        const char *guiDll;
        int code;
    } rows[] = {{"QLSETGUI.DLL", 24}, {"optset35.dll", 35}, {"OPTSET61.DLL", 61}, {"OPTSET33.DLL", 33},
                {"OPTSET34.DLL", 34}, {"OPTSET46.DLL", 46}, {"OPTSET65.DLL", 65}, {"OPTSET27.DLL", 27},
                {"OPTSET84.DLL", 84}, {"OPTSET52.DLL", 52}, {"OPTSET96.DLL", 96}, {"OPTSET36.DLL", 36},
                {"OPTSET62.DLL", 62}, {"OPTSET40.DLL", 40}, {"OPTSET58.DLL", 58}, {"OPTSET81.DLL", 81},
                {"OPTSET41.DLL", 41}, {"OPTSET38.DLL", 38}, {"OPTSET37.DLL", 37}, {"OPTSET60.DLL", 60},
                {"OPTSET59.DLL", 59}, {"OPTSET99.DLL", 99}};
    for (auto &r : rows) {
        ResetSetupProductCode();
        SetGuiDll(r.guiDll);
        EXPECT_EQ(GetSetupProductCode(), r.code) << r.guiDll;
    }
    // Cached once known: a changed file does not change it.
    SetGuiDll("OPTSET35.DLL");
    EXPECT_EQ(GetSetupProductCode(), 99);
}

TEST_F(MailslotTest, UnknownOrMissingNameIsZeroAndAskedAgain) {
    SetGuiDll("OTHER.DLL");
    EXPECT_EQ(GetSetupProductCode(), 0);
    CRemoteMailslot::SendStatus("CONSOLE", 1, 1);
    EXPECT_EQ(Received().back(), "SRV1\\1\\1\\0");
    SetGuiDll("QLSETGUI.DLL");
    EXPECT_EQ(GetSetupProductCode(), 24);
    ResetSetupProductCode();
    srv_->PutFile("C:\\WINNT\\system32\\QLBSETUP.INF", "[Other]\r\n");
    EXPECT_EQ(GetSetupProductCode(), 0);
    // A partial name is no match.
    SetGuiDll("QLSETGUI");
    EXPECT_EQ(GetSetupProductCode(), 0);
}

// ---- setup exception -------------------------------------------------------------------
TEST(SetupException, MessageFormatAndCause) {
    CSetupException e(7, 5, "AccessCheck() failed");
    char buf[64];
    EXPECT_TRUE(e.GetErrorMessage(buf, sizeof buf));
    EXPECT_STREQ(buf, "AccessCheck() failed - [0x5]");
    EXPECT_EQ(e.m_nCause, 2);
    CSetupException big(2, 0xC0000022, "OpenProcessToken() failed");
    EXPECT_TRUE(big.GetErrorMessage(buf, sizeof buf));
    EXPECT_STREQ(buf, "OpenProcessToken() failed - [0xc0000022]");
    char small[10];
    EXPECT_TRUE(big.GetErrorMessage(small, sizeof small));
    EXPECT_STREQ(small, "OpenProce");
    EXPECT_TRUE(big.GetErrorMessage(NULL, 0));
}

TEST(SetupException, ThrownAsAFrameworkException) {
    bool caught = false;
    try {
        AfxThrowSetupException(2, ERROR_ACCESS_DENIED, "AccessCheck() failed");
    } catch (CException *e) {
        caught = true;
        EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CSetupException)));
        EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CException)));
        EXPECT_STREQ(e->GetRuntimeClass()->m_lpszClassName, "CSetupException");
        auto *se = static_cast<CSetupException *>(e);
        EXPECT_EQ(se->m_dwError, (DWORD)ERROR_ACCESS_DENIED);
        EXPECT_STREQ((LPCSTR)se->m_strText, "AccessCheck() failed");
        e->Delete();
    }
    EXPECT_TRUE(caught);
}

}  // namespace
