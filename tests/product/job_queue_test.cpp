// The job queue through the core library "QLCORE.DLL" of the product's home.
#include <gtest/gtest.h>

#include <winsim/machine.h>

#include "doubles.h"
#include "system/JobQueue.h"

#include <cstring>
#include <string>

namespace {

const char kHomeKey[] = "HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Base\\Path";

std::string &Env(const char *name) { return winsim::LocalMachine().environment[name]; }
std::string Calls() { return Env("QLCORE_CALLS"); }

class JobQueue : public ::testing::Test {
protected:
    void SetHome(const std::string &home) { winsim::LocalMachine().registry.SetString(kHomeKey, "HOME", home); }
    void InstallCore(const std::string &home = "C:\\QB") {
        SetHome(home);
        winsim::LocalMachine().MakeDirs(home);
        InstallDouble("QLCORE", home + "\\QLCORE.DLL");
    }
};

TEST_F(JobQueue, ExistsExactlyWhenTheHomeHoldsTheQueueDirectory) {
    SetHome("C:\\QB");
    winsim::LocalMachine().MakeDirs("C:\\QB");
    EXPECT_STREQ(CJobQueue::GetPath(), "C:\\QB\\00000001.QSD");
    EXPECT_FALSE(CJobQueue::QueueExists());
    EXPECT_FALSE(CJobQueue().Exists());
    winsim::LocalMachine().MakeDirs("C:\\QB\\00000001.QSD");  // empty still counts
    EXPECT_TRUE(CJobQueue::QueueExists());
    CJobQueue queue;
    EXPECT_TRUE(queue.Exists());
    CJobQueue copy(queue), assigned;
    assigned = queue;
    EXPECT_TRUE(copy.Exists());
    EXPECT_TRUE(assigned.Exists());
    // A file of that name is no queue.
    SetHome("C:\\OTHER");
    winsim::LocalMachine().PutFile("C:\\OTHER\\00000001.QSD", "x");
    EXPECT_FALSE(CJobQueue::QueueExists());
}

TEST_F(JobQueue, AHomeWithItsBackslashGivesOneBackslash) {
    SetHome("C:\\QB\\");
    EXPECT_STREQ(CJobQueue::GetPath(), "C:\\QB\\00000001.QSD");
}

TEST_F(JobQueue, WithoutARegisteredHomeThereIsNoQueueAndNothingIsDeleted) {
    winsim::LocalMachine().MakeDirs("C:\\00000001.QSD");  // must never be taken for the queue
    EXPECT_STREQ(CJobQueue::GetPath(), "");
    EXPECT_FALSE(CJobQueue::QueueExists());
    EXPECT_FALSE(CJobQueue::DeleteQueue());
    EXPECT_TRUE(winsim::LocalMachine().Exists("C:\\00000001.QSD"));
    EXPECT_EQ(CJobQueue::GetQueueJobStatus(1, 2), 2u);
}

TEST_F(JobQueue, DeleteQueueRemovesTheDirectoryTree) {
    SetHome("C:\\QB");
    winsim::LocalMachine().PutFile("C:\\QB\\00000001.QSD\\JOB1.QJB", "job");
    EXPECT_TRUE(CJobQueue::DeleteQueue());
    EXPECT_FALSE(winsim::LocalMachine().Exists("C:\\QB\\00000001.QSD"));
    EXPECT_TRUE(winsim::LocalMachine().Exists("C:\\QB"));
}

TEST_F(JobQueue, CreateQueueCallsTheLibraryInTheDirectoryGiven) {
    InstallDouble("QLCORE", "C:\\NEW\\QLCORE.DLL");
    EXPECT_TRUE(CJobQueue::CreateQueue("C:\\NEW\\"));
    EXPECT_EQ(Calls(), "QSICreateQueue(0,AQ_HARN,0,C:\\NEW\\)");
    EXPECT_TRUE(winsim::LocalMachine().Exists("C:\\NEW\\00000001.QSD"));
    EXPECT_EQ(GetModuleHandleA("QLCORE.DLL"), nullptr);  // unloaded again
    // Loaded so that its own dependencies are found beside it.
    EXPECT_EQ(winsim::CallCount("LoadLibraryExA"), 1u);
}

TEST_F(JobQueue, CreateQueueCountsZeroAndAllOnesAsSuccess) {
    InstallDouble("QLCORE", "C:\\NEW\\QLCORE.DLL");
    Env("QLCORE_CREATE") = "0xFFFFFFFF";
    EXPECT_TRUE(CJobQueue::CreateQueue("C:\\NEW\\"));
    Env("QLCORE_CREATE") = "1";
    EXPECT_FALSE(CJobQueue::CreateQueue("C:\\NEW\\"));
    Env("QLCORE_CREATE") = "0xFFFFFFFE";
    EXPECT_FALSE(CJobQueue::CreateQueue("C:\\NEW\\"));
}

TEST_F(JobQueue, CreateQueueWithoutTheLibraryOrItsExportFails) {
    EXPECT_FALSE(CJobQueue::CreateQueue("C:\\NEW\\"));
    EXPECT_FALSE(CJobQueue::CreateQueue(NULL));
    InstallDouble("TESTMOD", "C:\\NEW\\QLCORE.DLL");
    EXPECT_FALSE(CJobQueue::CreateQueue("C:\\NEW\\"));
    EXPECT_EQ(GetModuleHandleA("QLCORE.DLL"), nullptr);
    InstallDouble("QLCORE", "C:\\NEW\\QLCORE.DLL");
    winsim::InjectFault("LoadLibraryExA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(CJobQueue::CreateQueue("C:\\NEW\\"));
    winsim::InjectFault("GetProcAddress", ERROR_PROC_NOT_FOUND);
    EXPECT_FALSE(CJobQueue::CreateQueue("C:\\NEW\\"));
    EXPECT_EQ(GetModuleHandleA("QLCORE.DLL"), nullptr);
    EXPECT_EQ(Calls(), "");
}

TEST_F(JobQueue, JobCallsPassTheirArgumentsAndTranslateTheAnswer) {
    InstallCore();
    Env("QLCORE_JOBS") = "5,18,3,4;6,7,0,0";
    char name[260];
    std::memset(name, 'x', sizeof name);
    DWORD number = 0;
    ASSERT_TRUE(CJobQueue::GetDefaultQueue(name, NULL, &number));
    EXPECT_STREQ(name, "AQ_HARN");
    EXPECT_EQ(number, 1u);

    tagQJOBITEM items[3];
    tagQUEUEINFO info;
    std::memset(&info, 0, sizeof info);
    DWORD count = 0;
    ASSERT_TRUE(CJobQueue::GetQueueJobs(name, number, items, sizeof items, &count, &info));
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(items[0].dwJobNumber, 5u);
    EXPECT_EQ(items[0].dwJobType, 18u);
    EXPECT_EQ(items[0].dwStateValue1, 3u);  // offset 20
    EXPECT_EQ(items[0].dwStateValue2, 4u);  // offset 24
    EXPECT_STREQ(info.szQueueName, "AQ_HARN");

    Env("QLCORE_STATE") = "5";
    EXPECT_EQ(CJobQueue::GetQueueJobStatus(4, 3), 5u);
    EXPECT_TRUE(CJobQueue::DeleteQueueJob(name, number, 5));
    char record[292] = {0};
    DWORD id = 0;
    EXPECT_TRUE(CJobQueue::AddQueueJob(name, NULL, 0, record, sizeof record, &id));
    EXPECT_EQ(id, 77u);
    EXPECT_EQ(Calls(),
              "QLGetDefaultQueue((null)); QSIGetQJobItemList(AQ_HARN,1,132); QSIMapJobStatus(4,3); "
              "QSIDeleteJob(AQ_HARN,1,5); QLAddQueueJob(AQ_HARN,(null),0,record,292)");
    EXPECT_EQ(GetModuleHandleA("QLCORE.DLL"), nullptr);

    Env("QLCORE_RESULT") = "3";
    EXPECT_FALSE(CJobQueue::GetDefaultQueue(name, NULL, &number));
    EXPECT_FALSE(CJobQueue::GetQueueJobs(name, number, items, sizeof items, &count, &info));
    EXPECT_FALSE(CJobQueue::DeleteQueueJob(name, number, 5));
    EXPECT_FALSE(CJobQueue::AddQueueJob(name, NULL, 0, record, sizeof record, &id));
}

TEST_F(JobQueue, WithoutTheCoreLibraryEveryCallFailsAndTheStateIsUnavailable) {
    SetHome("C:\\QB");
    winsim::LocalMachine().MakeDirs("C:\\QB");
    char name[260] = "";
    DWORD number = 0, count = 0, id = 0;
    tagQJOBITEM items[1];
    tagQUEUEINFO info;
    EXPECT_EQ(CJobQueue::GetQueueJobStatus(1, 2), 2u);
    EXPECT_FALSE(CJobQueue::GetDefaultQueue(name, NULL, &number));
    EXPECT_FALSE(CJobQueue::GetQueueJobs("Q", 1, items, sizeof items, &count, &info));
    EXPECT_FALSE(CJobQueue::DeleteQueueJob("Q", 1, 1));
    EXPECT_FALSE(CJobQueue::AddQueueJob("Q", NULL, 0, name, 1, &id));
    // A library without the export.
    InstallDouble("TESTMOD", "C:\\QB\\QLCORE.DLL");
    EXPECT_EQ(CJobQueue::GetQueueJobStatus(1, 2), 2u);
    EXPECT_FALSE(CJobQueue::GetDefaultQueue(name, NULL, &number));
    EXPECT_EQ(GetModuleHandleA("QLCORE.DLL"), nullptr);
}

TEST_F(JobQueue, TheStateQueryFailsSoftlyWhenTheHomeCannotBeRead) {
    InstallCore();
    winsim::InjectFault("RegQueryValueExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    EXPECT_EQ(CJobQueue::GetQueueJobStatus(1, 2), 2u);
    EXPECT_FALSE(CJobQueue::QueueExists());
    winsim::ClearFaults();
    EXPECT_EQ(CJobQueue::GetQueueJobStatus(1, 2), 1u);
}

}  // namespace

// ---- the settings take the queue's presence for the base product -----------------
#include "settings/Settings.h"

namespace {

CSettings InitializedSettings(long productType) {
    tagSETUP_INFO info;
    std::memset(&info, 0, sizeof info);
    info.lProductType = productType;
    CSettings s(&info, 0);
    s.Initialize();
    return s;
}

TEST_F(JobQueue, SettingsRecordWhetherTheQueueExistsForTheBaseProductOnly) {
    SetHome("C:\\QB");
    winsim::LocalMachine().MakeDirs("C:\\QB");
    EXPECT_FALSE(InitializedSettings(24).QueueExists());
    winsim::LocalMachine().MakeDirs("C:\\QB\\00000001.QSD");
    EXPECT_TRUE(InitializedSettings(24).QueueExists());
    EXPECT_FALSE(InitializedSettings(36).QueueExists());
}

}  // namespace
