// Performance data of the process object through HKEY_PERFORMANCE_DATA,
// and the English counter titles that name its indexes.
#include <gtest/gtest.h>

#include <windows.h>
#include <winperf.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/running.h"
#include "support/wine.h"

namespace {

std::vector<BYTE> Query(const char *name, LONG *rc = nullptr) {
    std::vector<BYTE> buffer(4096);
    for (;;) {
        DWORD size = (DWORD)buffer.size(), type = 0;
        LONG r = RegQueryValueExA(HKEY_PERFORMANCE_DATA, name, NULL, &type, buffer.data(), &size);
        if (r == ERROR_MORE_DATA) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc) *rc = r;
        EXPECT_EQ(RegCloseKey(HKEY_PERFORMANCE_DATA), ERROR_SUCCESS);
        if (r != ERROR_SUCCESS) return {};
        EXPECT_EQ(type, (DWORD)REG_BINARY);
        buffer.resize(size);
        return buffer;
    }
}

// The title of an index in "Counters" of Perflib\009.
std::string Title(DWORD index) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    DWORD size = 0, type = 0;
    RegQueryValueExA(key, "Counters", NULL, &type, NULL, &size);
    std::vector<char> text(size + 2, 0);
    RegQueryValueExA(key, "Counters", NULL, &type, (LPBYTE)text.data(), &size);
    RegCloseKey(key);
    EXPECT_EQ(type, (DWORD)REG_MULTI_SZ);
    for (const char *p = text.data(); *p;) {
        const char *name = p + strlen(p) + 1;
        if ((DWORD)atoi(p) == index) return name;
        p = name + strlen(name) + 1;
    }
    return "";
}

struct Instance {
    std::string name;
    DWORD pid;
};

// Walks the first object as a reader of the SDK layout does.
std::vector<Instance> Instances(const std::vector<BYTE> &data, DWORD idCounter) {
    PERF_DATA_BLOCK block;
    memcpy(&block, data.data(), sizeof block);
    const BYTE *object = data.data() + block.HeaderLength;
    PERF_OBJECT_TYPE type;
    memcpy(&type, object, sizeof type);
    DWORD idOffset = 0xFFFFFFFF;
    for (DWORD i = 0; i < type.NumCounters; ++i) {
        PERF_COUNTER_DEFINITION c;
        memcpy(&c, object + type.HeaderLength + i * sizeof c, sizeof c);
        EXPECT_EQ(c.ByteLength, sizeof c);
        if (c.CounterNameTitleIndex == idCounter) idOffset = c.CounterOffset;
    }
    EXPECT_NE(idOffset, 0xFFFFFFFFu);
    std::vector<Instance> out;
    const BYTE *at = object + type.DefinitionLength;
    for (LONG i = 0; i < type.NumInstances; ++i) {
        PERF_INSTANCE_DEFINITION inst;
        memcpy(&inst, at, sizeof inst);
        EXPECT_EQ(inst.ByteLength % 8, 0u);
        Instance item;
        for (DWORD k = 0; k + 2 < inst.NameLength; k += 2) item.name += (char)at[inst.NameOffset + k];
        const BYTE *counters = at + inst.ByteLength;
        PERF_COUNTER_BLOCK cb;
        memcpy(&cb, counters, sizeof cb);
        memcpy(&item.pid, counters + idOffset, sizeof item.pid);
        out.push_back(item);
        at = counters + cb.ByteLength;
    }
    EXPECT_EQ((size_t)(at - object), (size_t)type.TotalByteLength);
    return out;
}

TEST(PerformanceData, CounterTitlesNameTheProcessObjectAndItsIdCounter) {
    SKIP_ON_WINE("the registry has no counter titles under Perflib\\009");
    EXPECT_EQ(Title(230), "Process");
    EXPECT_EQ(Title(784), "ID Process");
    EXPECT_EQ(Title(6), "% Processor Time");
}

TEST(PerformanceData, TheProcessObjectListsRunningProcessesByImageName) {
    SEEDED_OR_SKIP(runtest::ProgramsCanBeSeeded());
    DWORD pid = runtest::StartProgram("C:\\Program Files\\App\\Some.Server.exe");
    std::vector<BYTE> data = Query("230");
    ASSERT_GE(data.size(), sizeof(PERF_DATA_BLOCK));
    PERF_DATA_BLOCK block;
    memcpy(&block, data.data(), sizeof block);
    const WCHAR perf[4] = {'P', 'E', 'R', 'F'};
    EXPECT_EQ(memcmp(block.Signature, perf, sizeof perf), 0);
    EXPECT_EQ(block.LittleEndian, 1u);
    EXPECT_EQ(block.Version, (DWORD)PERF_DATA_VERSION);
    EXPECT_EQ(block.TotalByteLength, data.size());
    EXPECT_GE(block.HeaderLength, sizeof block);
    EXPECT_EQ(block.NumObjectTypes, 1u);
    PERF_OBJECT_TYPE object;
    memcpy(&object, data.data() + block.HeaderLength, sizeof object);
    EXPECT_EQ(object.ObjectNameTitleIndex, 230u);
    EXPECT_EQ(object.HeaderLength, sizeof object);
    EXPECT_EQ(object.DefinitionLength, sizeof object + object.NumCounters * sizeof(PERF_COUNTER_DEFINITION));
    EXPECT_EQ(block.HeaderLength + object.TotalByteLength, block.TotalByteLength);

    std::vector<Instance> instances = Instances(data, 784);
    ASSERT_GE(instances.size(), 4u);
    bool found = false, self = false;
    for (const Instance &i : instances) {
        found = found || (i.name == "Some.Server" && i.pid == pid);
        self = self || i.pid == GetCurrentProcessId();
    }
    EXPECT_TRUE(found);
    EXPECT_TRUE(self);
    EXPECT_EQ(instances.back().name, "_Total");
}

TEST(PerformanceData, AnEndedProcessIsNoLongerListed) {
    SEEDED_OR_SKIP(runtest::ProgramsCanBeSeeded());
    DWORD pid = runtest::StartProgram("C:\\Apps\\gone.exe");
    HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(h, (HANDLE)0);
    ASSERT_TRUE(TerminateProcess(h, 3));
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);
    CloseHandle(h);
    for (const Instance &i : Instances(Query("230"), 784)) EXPECT_NE(i.pid, pid);
}

TEST(PerformanceData, ASmallBufferAsksForMore) {
    BYTE small[64];
    DWORD size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(HKEY_PERFORMANCE_DATA, "230", NULL, NULL, small, &size), ERROR_MORE_DATA);
    RegCloseKey(HKEY_PERFORMANCE_DATA);
}

TEST(PerformanceData, GlobalHoldsTheProcessObjectAndOtherIndexesDoNot) {
    SKIP_ON_WINE("HKEY_PERFORMANCE_DATA returns a block without objects");
    std::vector<BYTE> global = Query("Global");
    PERF_DATA_BLOCK block;
    memcpy(&block, global.data(), sizeof block);
    EXPECT_GE(block.NumObjectTypes, 1u);
    std::vector<BYTE> other = Query("238");
    memcpy(&block, other.data(), sizeof block);
    EXPECT_EQ(block.NumObjectTypes, 0u);
    EXPECT_EQ(block.TotalByteLength, other.size());
}

TEST(Processes, OpenAndTerminateARunningProgram) {
    SEEDED_OR_SKIP(runtest::ProgramsCanBeSeeded());
    EXPECT_NE(GetCurrentProcessId(), 0u);
    DWORD pid = runtest::StartProgram("C:\\Apps\\svc.exe");
    HANDLE query = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    ASSERT_NE(query, (HANDLE)0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(query, &code));
    EXPECT_EQ(code, (DWORD)STILL_ACTIVE);
    EXPECT_FALSE(TerminateProcess(query, 1));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    HANDLE kill = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    ASSERT_NE(kill, (HANDLE)0);
    EXPECT_TRUE(TerminateProcess(kill, 7));
    EXPECT_TRUE(GetExitCodeProcess(query, &code));
    EXPECT_EQ(code, 7u);
    CloseHandle(kill);
    CloseHandle(query);
    EXPECT_EQ(OpenProcess(PROCESS_TERMINATE, FALSE, 0x7FFFFFF0), (HANDLE)0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

}  // namespace
