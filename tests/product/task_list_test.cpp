// The task list from the performance data, the debug privilege and the kill
// primitive.
#include <gtest/gtest.h>

#include <winsim/machine.h>

#include "system/TaskList.h"

#include <winperf.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

DWORD Start(const std::string &image, const std::vector<winsim::ProgramWindowDecl> &windows = {}) {
    winsim::RunningProgramDecl program;
    program.image = image;
    program.windows = windows;
    return winsim::StartRunningProgram(winsim::LocalMachine(), program);
}

std::vector<TASK_LIST> List(DWORD capacity, DWORD *count) {
    std::vector<TASK_LIST> tasks(capacity);
    std::memset(tasks.data(), 0x5A, tasks.size() * sizeof(TASK_LIST));
    *count = GetTaskList(tasks.data(), capacity);
    return tasks;
}

const TASK_LIST *Named(const std::vector<TASK_LIST> &tasks, DWORD count, const char *name) {
    for (DWORD i = 0; i < count; ++i)
        if (std::strcmp(tasks[i].ProcessName, name) == 0) return &tasks[i];
    return nullptr;
}

bool IsRunning(DWORD pid) {
    for (const winsim::ProcessInfo &p : winsim::SnapshotProcesses(winsim::LocalMachine()))
        if (p.pid == pid) return p.running;
    return false;
}

TEST(TaskList, ListsEveryProcessWithItsNameAndId) {
    DWORD server = Start("C:\\Program Files\\Quillbak\\QLSERVER.EXE");
    DWORD odd = Start("C:\\Tools\\My Odd.Tool.v2.exe");
    DWORD noExt = Start("C:\\Tools\\DAEMON");
    DWORD count = 0;
    std::vector<TASK_LIST> tasks = List(QL_MAX_TASKS, &count);
    // Idle, System, this program, the three, the summary instance.
    ASSERT_EQ(count, 7u);
    EXPECT_STREQ(tasks[0].ProcessName, "Idle.exe");
    EXPECT_EQ(tasks[0].dwProcessId, QL_IDLE_TASK_ID);
    EXPECT_STREQ(tasks[1].ProcessName, "System.exe");
    EXPECT_EQ(tasks[1].dwProcessId, 8u);
    EXPECT_STREQ(tasks[2].ProcessName, "msiexec.exe");
    EXPECT_EQ(tasks[2].dwProcessId, GetCurrentProcessId());
    ASSERT_NE(Named(tasks, count, "QLSERVER.exe"), nullptr);
    EXPECT_EQ(Named(tasks, count, "QLSERVER.exe")->dwProcessId, server);
    ASSERT_NE(Named(tasks, count, "My Odd.Tool.v2.exe"), nullptr);
    EXPECT_EQ(Named(tasks, count, "My Odd.Tool.v2.exe")->dwProcessId, odd);
    ASSERT_NE(Named(tasks, count, "DAEMON.exe"), nullptr);
    EXPECT_EQ(Named(tasks, count, "DAEMON.exe")->dwProcessId, noExt);
    EXPECT_STREQ(tasks[6].ProcessName, "_Total.exe");
    EXPECT_EQ(tasks[6].dwProcessId, QL_IDLE_TASK_ID);
    for (DWORD i = 0; i < count; ++i) {
        // Each record is cleared before it is filled.
        EXPECT_EQ(tasks[i].flags, 0);
        EXPECT_EQ(tasks[i].hwnd, (HWND)0);
        EXPECT_EQ(tasks[i].dwInheritedFromProcessId, 0u);
        EXPECT_EQ(tasks[i].WindowTitle[0], '\0');
    }
    // Records past the count are not touched.
    EXPECT_EQ(tasks[count].flags, 0x5A5A5A5A);
}

TEST(TaskList, AtMostOneLessThanTheCapacity) {
    for (int i = 0; i < 300; ++i) Start("C:\\Apps\\worker" + std::to_string(i) + ".exe");
    DWORD count = 0;
    std::vector<TASK_LIST> tasks = List(QL_MAX_TASKS, &count);
    EXPECT_EQ(count, 255u);
    EXPECT_STREQ(tasks[254].ProcessName, "worker251.exe");
    List(4, &count);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(GetTaskList(tasks.data(), 1), 0u);
    EXPECT_EQ(GetTaskList(tasks.data(), 0), 0u);
    EXPECT_EQ(GetTaskList(NULL, 10), 0u);
}

TEST(TaskList, PerformanceDataLargerThanTheFirstBufferIsReadWhole) {
    for (int i = 0; i < 700; ++i) Start("C:\\Apps\\a_rather_long_program_name_" + std::to_string(i) + ".exe");
    ASSERT_GT(winsim::BuildPerformanceData(winsim::LocalMachine(), "230").size(), 51200u + 25600u);
    DWORD count = 0;
    std::vector<TASK_LIST> tasks = List(1000, &count);
    EXPECT_EQ(count, 704u);
    EXPECT_STREQ(tasks[702].ProcessName, "a_rather_long_program_name_699.exe");
}

TEST(TaskList, AnInstanceNameTooLongForTheRecordIsLeftEmpty) {
    DWORD longOne = Start("C:\\Apps\\" + std::string(256, 'n') + ".exe");
    DWORD tooLong = Start("C:\\Apps\\" + std::string(257, 'x') + ".exe");
    DWORD count = 0;
    std::vector<TASK_LIST> tasks = List(QL_MAX_TASKS, &count);
    ASSERT_EQ(count, 6u);
    EXPECT_EQ(tasks[3].dwProcessId, longOne);
    EXPECT_EQ(std::string(tasks[3].ProcessName), std::string(256, 'n') + ".exe");
    EXPECT_EQ(tasks[4].dwProcessId, tooLong);
    EXPECT_STREQ(tasks[4].ProcessName, "");
}

TEST(TaskList, MissingCounterTitlesGiveNoList) {
    winsim::Registry &r = winsim::LocalMachine().registry;
    const char *key = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009";
    DWORD count = 0;
    winsim::InjectFault("RegOpenKeyExA", ERROR_ACCESS_DENIED);
    List(QL_MAX_TASKS, &count);
    EXPECT_EQ(count, 0u);
    // Titles without the process-id counter.
    const char noId[] = "1\0" "1847\0" "230\0Process\0";
    r.Set(key, "Counters", REG_MULTI_SZ, noId, sizeof noId);
    List(QL_MAX_TASKS, &count);
    EXPECT_EQ(count, 0u);
    // Titles cut after an index, without their closing NULs.
    const char cut[] = {'2', '3', '0', '\0', 'P', 'r', 'o', 'c', 'e', 's', 's', '\0', '7', '8', '4'};
    r.Set(key, "Counters", REG_MULTI_SZ, cut, sizeof cut);
    List(QL_MAX_TASKS, &count);
    EXPECT_EQ(count, 0u);
    // Names match without case.
    const char mixed[] = "230\0PROCESS\0" "784\0Id Process\0";
    r.Set(key, "Counters", REG_MULTI_SZ, mixed, sizeof mixed);
    List(QL_MAX_TASKS, &count);
    EXPECT_EQ(count, 4u);
    // The list ends at its first empty text, also where a name is due:
    // what follows is not taken as titles.
    const char ended[] = "1\0\0" "230\0Process\0" "784\0ID Process\0";
    r.Set(key, "Counters", REG_MULTI_SZ, ended, sizeof ended);
    List(QL_MAX_TASKS, &count);
    EXPECT_EQ(count, 0u);
    r.Delete(key);
    List(QL_MAX_TASKS, &count);
    EXPECT_EQ(count, 0u);
}

TEST(TaskList, AFailingPerformanceQueryGivesNoList) {
    DWORD count = 0;
    // The two reads of the titles, then the performance data.
    winsim::InjectFault("RegQueryValueExA", ERROR_ACCESS_DENIED, winsim::FaultMode::Nth, 3);
    List(QL_MAX_TASKS, &count);
    EXPECT_EQ(count, 0u);
    winsim::InjectFault("RegQueryValueExA", ERROR_NOT_ENOUGH_MEMORY, winsim::FaultMode::Nth, 1);
    List(QL_MAX_TASKS, &count);
    EXPECT_EQ(count, 0u);
    List(QL_MAX_TASKS, &count);
    EXPECT_EQ(count, 4u);
}

// ---- malformed performance data -----------------------------------------------------
class MalformedPerformanceData : public ::testing::Test {
protected:
    void SetUp() override {
        Start("C:\\Apps\\one.exe");
        data = winsim::BuildPerformanceData(winsim::LocalMachine(), "230");
        PERF_DATA_BLOCK block;
        std::memcpy(&block, data.data(), sizeof block);
        objectAt = block.HeaderLength;
        std::memcpy(&object, data.data() + objectAt, sizeof object);
    }
    DWORD ListWith(const std::vector<BYTE> &bytes) {
        winsim::SetPerformanceDataOverride(winsim::LocalMachine(), std::make_shared<std::vector<BYTE>>(bytes));
        std::vector<TASK_LIST> tasks(QL_MAX_TASKS);
        return GetTaskList(tasks.data(), QL_MAX_TASKS);
    }
    template <class T>
    void Poke(std::vector<BYTE> &bytes, size_t at, T value) {
        std::memcpy(bytes.data() + at, &value, sizeof value);
    }
    size_t FirstInstance() const { return objectAt + object.DefinitionLength; }
    std::vector<BYTE> data;
    size_t objectAt = 0;
    PERF_OBJECT_TYPE object;
};

TEST_F(MalformedPerformanceData, TheWellFormedBlockLists) { EXPECT_EQ(ListWith(data), 5u); }

TEST_F(MalformedPerformanceData, ShortOrUnsignedDataGivesNoList) {
    EXPECT_EQ(ListWith(std::vector<BYTE>(data.begin(), data.begin() + 40)), 0u);
    EXPECT_EQ(ListWith(std::vector<BYTE>(data.begin(), data.begin() + objectAt + 10)), 0u);
    std::vector<BYTE> bytes = data;
    bytes[0] = 'Q';
    EXPECT_EQ(ListWith(bytes), 0u);
    EXPECT_EQ(ListWith(std::vector<BYTE>()), 0u);
    // Cut inside the instances.
    EXPECT_EQ(ListWith(std::vector<BYTE>(data.begin(), data.begin() + FirstInstance() + 30)), 0u);
}

TEST_F(MalformedPerformanceData, OffsetsAndLengthsPastTheEndGiveNoList) {
    struct Case {
        const char *what;
        size_t at;
        DWORD value;
    } const cases[] = {
        {"data block header length", offsetof(PERF_DATA_BLOCK, HeaderLength), 0x7FFFFFF0},
        {"data block header length too small", offsetof(PERF_DATA_BLOCK, HeaderLength), 8},
        {"object length", objectAt + offsetof(PERF_OBJECT_TYPE, TotalByteLength), 0xFFFFFFF0},
        {"object definition length", objectAt + offsetof(PERF_OBJECT_TYPE, DefinitionLength), 0x00FFFFFF},
        {"object header length", objectAt + offsetof(PERF_OBJECT_TYPE, HeaderLength), 0xFFFFFF00},
        {"counter count", objectAt + offsetof(PERF_OBJECT_TYPE, NumCounters), 0x10000000},
        {"counter past its block", objectAt + object.HeaderLength + 2 * sizeof(PERF_COUNTER_DEFINITION) +
                                        offsetof(PERF_COUNTER_DEFINITION, CounterOffset), 0xFFFFFFFE},
        {"instance length", FirstInstance() + offsetof(PERF_INSTANCE_DEFINITION, ByteLength), 0xFFFFFFF8},
        {"instance length zero", FirstInstance() + offsetof(PERF_INSTANCE_DEFINITION, ByteLength), 0},
        {"name offset", FirstInstance() + offsetof(PERF_INSTANCE_DEFINITION, NameOffset), 0xFFFFFFF0},
        {"name length", FirstInstance() + offsetof(PERF_INSTANCE_DEFINITION, NameLength), 0xFFFFFFF0},
        {"instance count", objectAt + offsetof(PERF_OBJECT_TYPE, NumInstances), 100000},
    };
    for (const Case &c : cases) {
        std::vector<BYTE> bytes = data;
        Poke(bytes, c.at, c.value);
        EXPECT_EQ(ListWith(bytes), 0u) << c.what;
    }
}

TEST_F(MalformedPerformanceData, NoInstancesOrNoObjectIsAnEmptyList) {
    std::vector<BYTE> bytes = data;
    Poke(bytes, objectAt + offsetof(PERF_OBJECT_TYPE, NumInstances), (LONG)PERF_NO_INSTANCES);
    EXPECT_EQ(ListWith(bytes), 0u);
    bytes = data;
    Poke(bytes, offsetof(PERF_DATA_BLOCK, NumObjectTypes), (DWORD)0);
    EXPECT_EQ(ListWith(bytes), 0u);
    // Without the process-id counter there is no id to give.
    bytes = data;
    Poke(bytes, objectAt + object.HeaderLength + 2 * sizeof(PERF_COUNTER_DEFINITION) +
                    offsetof(PERF_COUNTER_DEFINITION, CounterNameTitleIndex),
         (DWORD)9999);
    EXPECT_EQ(ListWith(bytes), 0u);
}

// ---- privilege and kill ----------------------------------------------------------------
TEST(DebugPrivilege, EnabledWhenHeldAndEachFailureSaysWhy) {
    testing::internal::CaptureStdout();
    EXPECT_TRUE(EnableDebugPrivilege());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    winsim::LocalMachine().privileges.erase("SeDebugPrivilege");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(EnableDebugPrivilege());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "AdjustTokenPrivileges failed with 1300\n");

    winsim::InjectFault("OpenProcessToken", ERROR_ACCESS_DENIED);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(EnableDebugPrivilege());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "OpenProcessToken failed with 5\n");

    winsim::InjectFault("LookupPrivilegeValueA", ERROR_NO_SUCH_PRIVILEGE);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(EnableDebugPrivilege());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "LookupPrivilegeValue failed with 1313\n");

    winsim::InjectFault("AdjustTokenPrivileges", ERROR_INVALID_HANDLE);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(EnableDebugPrivilege());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "AdjustTokenPrivileges failed with 6\n");
}

TEST(KillProcess, WithoutForceOrWindowTheProcessIsTerminated) {
    TASK_LIST task;
    std::memset(&task, 0, sizeof task);
    task.dwProcessId = Start("C:\\Apps\\svc.exe");
    EXPECT_TRUE(KillProcess(&task, FALSE));
    EXPECT_FALSE(IsRunning(task.dwProcessId));
    auto all = winsim::SnapshotProcesses(winsim::LocalMachine());
    EXPECT_TRUE(all.back().terminated);
    EXPECT_EQ(all.back().exitCode, 1u);
    // Gone already.
    EXPECT_FALSE(KillProcess(&task, TRUE));
    task.dwProcessId = 4242;
    EXPECT_FALSE(KillProcess(&task, TRUE));
    EXPECT_FALSE(KillProcess(NULL, TRUE));
}

TEST(KillProcess, AWindowIsAskedToCloseUnlessForced) {
    winsim::ProgramWindowDecl window;
    window.className = "QLMonitor";
    window.title = "Quillbak Monitor";
    TASK_LIST task;
    std::memset(&task, 0, sizeof task);
    task.dwProcessId = Start("C:\\Apps\\mon.exe", {window});
    task.hwnd = FindWindowA("QLMonitor", NULL);
    ASSERT_NE(task.hwnd, (HWND)0);
    EXPECT_TRUE(KillProcess(&task, FALSE));
    EXPECT_FALSE(IsWindow(task.hwnd));
    EXPECT_FALSE(IsRunning(task.dwProcessId));
    EXPECT_FALSE(winsim::SnapshotProcesses(winsim::LocalMachine()).back().terminated);

    window.closes = false;
    task.dwProcessId = Start("C:\\Apps\\stubborn.exe", {window});
    task.hwnd = FindWindowA("QLMonitor", NULL);
    EXPECT_TRUE(KillProcess(&task, FALSE));  // asked, not waited for
    EXPECT_TRUE(IsRunning(task.dwProcessId));
    EXPECT_TRUE(KillProcess(&task, TRUE));
    EXPECT_FALSE(IsRunning(task.dwProcessId));
    EXPECT_FALSE(IsWindow(task.hwnd));
}

TEST(KillProcess, FallsBackToTerminateAccessOnly) {
    TASK_LIST task;
    std::memset(&task, 0, sizeof task);
    task.dwProcessId = Start("C:\\Apps\\svc.exe");
    winsim::InjectFault("OpenProcess", ERROR_ACCESS_DENIED);
    EXPECT_TRUE(KillProcess(&task, TRUE));
    EXPECT_EQ(winsim::CallCount("OpenProcess"), 2u);
    EXPECT_FALSE(IsRunning(task.dwProcessId));
    task.dwProcessId = Start("C:\\Apps\\svc.exe");
    winsim::InjectFault("OpenProcess", ERROR_ACCESS_DENIED, winsim::FaultMode::Always);
    EXPECT_FALSE(KillProcess(&task, TRUE));
    winsim::ClearFaults();
    winsim::InjectFault("TerminateProcess", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(KillProcess(&task, TRUE));
    EXPECT_TRUE(IsRunning(task.dwProcessId));
}

}  // namespace
