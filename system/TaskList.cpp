#include "TaskList.h"

#include <winperf.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

const char kPerflibKey[] = "software\\microsoft\\windows nt\\currentversion\\perflib";
const DWORD kEnglish = 9;
const DWORD kInitialSize = 51200;
const DWORD kGrowBy = 25600;
// Past this the performance data is taken as broken, not as large.
const DWORD kLargestSize = 16 * 1024 * 1024;

struct CounterTitles {
    char processIndex[1024];
    DWORD idProcessIndex;
};

// Reads the English counter titles and finds the process object's index
// text and the process-id counter's index.
bool ReadCounterTitles(CounterTitles &titles) {
    char keyName[MAX_PATH];
    snprintf(keyName, sizeof keyName, "%s\\%03x", kPerflibKey, (unsigned)kEnglish);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    bool ok = false;
    if (RegQueryValueExA(key, "Counters", NULL, NULL, NULL, &size) == ERROR_SUCCESS && size) {
        // Two NULs more than the value, so that the walk ends inside the
        // buffer whatever the value holds.
        std::vector<char> text(size + 2, '\0');
        DWORD read = size;
        if (RegQueryValueExA(key, "Counters", NULL, NULL, (LPBYTE)text.data(), &read) == ERROR_SUCCESS) {
            const char *end = text.data() + (read < size ? read : size);
            titles.processIndex[0] = '\0';
            titles.idProcessIndex = 0;
            for (const char *p = text.data(); p < end && *p;) {
                const char *index = p;
                const char *name = index + strlen(index) + 1;
                // An empty text ends the multi-string, in the name's place too.
                if (name >= end || !*name) break;
                if (lstrcmpiA(name, "process") == 0) {
                    lstrcpynA(titles.processIndex, index, sizeof titles.processIndex);
                } else if (lstrcmpiA(name, "id process") == 0) {
                    titles.idProcessIndex = (DWORD)atoi(index);
                }
                p = name + strlen(name) + 1;
            }
            ok = titles.processIndex[0] != '\0' && titles.idProcessIndex != 0;
        }
    }
    RegCloseKey(key);
    return ok;
}

// The performance data of the process object, grown until it fits; the
// bytes the query returned, empty on failure.
std::vector<BYTE> QueryProcessData(const char *objectIndex) {
    std::vector<BYTE> buffer(kInitialSize, 0);
    for (;;) {
        DWORD size = (DWORD)buffer.size();
        DWORD type = 0;
        LONG rc = RegQueryValueExA(HKEY_PERFORMANCE_DATA, objectIndex, NULL, &type, buffer.data(), &size);
        if (rc == ERROR_MORE_DATA) {
            if (buffer.size() + kGrowBy > kLargestSize) break;
            buffer.assign(buffer.size() + kGrowBy, 0);
            continue;
        }
        if (rc != ERROR_SUCCESS || size == 0) break;
        buffer.resize(size < buffer.size() ? size : buffer.size());
        RegCloseKey(HKEY_PERFORMANCE_DATA);
        return buffer;
    }
    RegCloseKey(HKEY_PERFORMANCE_DATA);
    return std::vector<BYTE>();
}

// True when [offset, offset + length) lies within [0, limit).
bool Within(size_t offset, size_t length, size_t limit) { return offset <= limit && length <= limit - offset; }

template <class T>
T Read(const std::vector<BYTE> &data, size_t offset) {
    T value;
    memcpy(&value, data.data() + offset, sizeof value);
    return value;
}

// The instance name as an ANSI text of at most MAX_PATH bytes.
void InstanceName(const std::vector<BYTE> &data, size_t offset, DWORD bytes, char *out) {
    std::vector<WCHAR> name(bytes / sizeof(WCHAR) + 1, 0);
    if (bytes) memcpy(name.data(), data.data() + offset, bytes / sizeof(WCHAR) * sizeof(WCHAR));
    int chars = 0;
    while (chars < (int)name.size() - 1 && name[chars]) ++chars;
    out[0] = '\0';
    int n = chars ? WideCharToMultiByte(CP_ACP, 0, name.data(), chars, out, MAX_PATH - 1, NULL, NULL) : 0;
    if (chars && n <= 0) {
        strcpy(out, "unknown");
        return;
    }
    out[n > 0 ? n : 0] = '\0';
}

}  // namespace

DWORD GetTaskList(PTASK_LIST pTasks, DWORD dwCapacity) {
    if (!pTasks || dwCapacity < 2) return 0;
    CounterTitles titles;
    if (!ReadCounterTitles(titles)) return 0;
    std::vector<BYTE> data = QueryProcessData(titles.processIndex);
    const size_t size = data.size();
    if (size < sizeof(PERF_DATA_BLOCK)) return 0;
    const WCHAR signature[4] = {'P', 'E', 'R', 'F'};
    if (memcmp(data.data(), signature, sizeof signature) != 0) return 0;

    // Every length and offset is checked against the data before it is used.
    PERF_DATA_BLOCK block = Read<PERF_DATA_BLOCK>(data, 0);
    if (block.NumObjectTypes == 0 || block.HeaderLength < sizeof block) return 0;
    const size_t objectAt = block.HeaderLength;
    if (!Within(objectAt, sizeof(PERF_OBJECT_TYPE), size)) return 0;
    PERF_OBJECT_TYPE object = Read<PERF_OBJECT_TYPE>(data, objectAt);
    if (object.TotalByteLength < sizeof object || !Within(objectAt, object.TotalByteLength, size)) return 0;
    const size_t objectEnd = objectAt + object.TotalByteLength;
    if (object.HeaderLength < sizeof object || object.DefinitionLength < object.HeaderLength ||
        object.DefinitionLength > object.TotalByteLength)
        return 0;

    // The process-id counter's offset in each counter block.
    const size_t countersAt = objectAt + object.HeaderLength;
    const size_t countersEnd = objectAt + object.DefinitionLength;
    if (!Within(countersAt, (size_t)object.NumCounters * sizeof(PERF_COUNTER_DEFINITION), countersEnd)) return 0;
    bool found = false;
    DWORD idOffset = 0;
    for (DWORD i = 0; i < object.NumCounters; ++i) {
        size_t at = countersAt + (size_t)i * sizeof(PERF_COUNTER_DEFINITION);
        if (!Within(at, sizeof(PERF_COUNTER_DEFINITION), countersEnd)) return 0;
        PERF_COUNTER_DEFINITION counter = Read<PERF_COUNTER_DEFINITION>(data, at);
        if (counter.CounterNameTitleIndex == titles.idProcessIndex) {
            idOffset = counter.CounterOffset;
            found = true;
            break;
        }
    }
    if (!found) return 0;

    // An object without instances (PERF_NO_INSTANCES) lists nothing.
    if (object.NumInstances <= 0) return 0;
    DWORD count = dwCapacity - 1;
    if ((DWORD)object.NumInstances < count) count = (DWORD)object.NumInstances;

    size_t at = countersEnd;
    for (DWORD i = 0; i < count; ++i) {
        TASK_LIST &task = pTasks[i];
        memset(&task, 0, sizeof task);
        if (!Within(at, sizeof(PERF_INSTANCE_DEFINITION), objectEnd)) return 0;
        PERF_INSTANCE_DEFINITION instance = Read<PERF_INSTANCE_DEFINITION>(data, at);
        if (instance.ByteLength < sizeof instance || !Within(at, instance.ByteLength, objectEnd)) return 0;
        if (!Within(instance.NameOffset, instance.NameLength, instance.ByteLength)) return 0;
        char name[MAX_PATH];
        InstanceName(data, at + instance.NameOffset, instance.NameLength, name);
        size_t length = strlen(name);
        if (length < 257) {
            memcpy(task.ProcessName, name, length);
            memcpy(task.ProcessName + length, ".exe", 5);
        }
        task.flags = 0;
        // The instance's counters follow its definition.
        const size_t blockAt = at + instance.ByteLength;
        if (!Within(blockAt, sizeof(PERF_COUNTER_BLOCK), objectEnd)) return 0;
        PERF_COUNTER_BLOCK counters = Read<PERF_COUNTER_BLOCK>(data, blockAt);
        if (counters.ByteLength < sizeof counters || !Within(blockAt, counters.ByteLength, objectEnd)) return 0;
        if (!Within(idOffset, sizeof(DWORD), counters.ByteLength)) return 0;
        DWORD pid = Read<DWORD>(data, blockAt + idOffset);
        task.dwProcessId = pid ? pid : QL_IDLE_TASK_ID;
        at = blockAt + counters.ByteLength;
    }
    return count;
}

int EnableDebugPrivilege() {
    HANDLE token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        printf("OpenProcessToken failed with %d\n", (int)GetLastError());
        return FALSE;
    }
    TOKEN_PRIVILEGES privileges;
    memset(&privileges, 0, sizeof privileges);
    if (!LookupPrivilegeValueA(NULL, "SeDebugPrivilege", &privileges.Privileges[0].Luid)) {
        printf("LookupPrivilegeValue failed with %d\n", (int)GetLastError());
        CloseHandle(token);
        return FALSE;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // Success of the call alone does not mean the privilege is held.
    BOOL adjusted = AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, NULL, NULL);
    DWORD error = GetLastError();
    CloseHandle(token);
    if (!adjusted || error != ERROR_SUCCESS) {
        printf("AdjustTokenPrivileges failed with %d\n", (int)error);
        return FALSE;
    }
    return TRUE;
}

int KillProcess(PTASK_LIST pTask, BOOL bForce) {
    if (!pTask) return FALSE;
    if (!bForce && pTask->hwnd) {
        // Asked, not waited for; a request that could not be posted asked nothing.
        return PostMessageA(pTask->hwnd, WM_CLOSE, 0, 0) ? TRUE : FALSE;
    }
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pTask->dwProcessId);
    if (!process) process = OpenProcess(PROCESS_TERMINATE, FALSE, pTask->dwProcessId);
    if (!process) return FALSE;
    BOOL ended = TerminateProcess(process, 1);
    CloseHandle(process);
    return ended ? TRUE : FALSE;
}
