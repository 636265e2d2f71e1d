// HKEY_PERFORMANCE_DATA: the process object of the machine's running
// processes, laid out as Windows lays out a performance data block, and the
// English counter titles ("Perflib\009" "Counters") that name its indexes.
#include "sim_helpers.h"

#include <winperf.h>

#include <cstring>
#include <sstream>

namespace winsim {

namespace {

const DWORD kProcessObject = 230;
const DWORD kSystemPid = 8;

struct CounterSpec {
    DWORD index;
    DWORD type;
    DWORD size;
    DWORD offset;  // within the counter block
};

// The process object's counters, as NT names and types them.
const CounterSpec kCounters[] = {
    {6, PERF_100NSEC_TIMER, 8, 8},       // % Processor Time
    {684, PERF_ELAPSED_TIME, 8, 16},     // Elapsed Time
    {784, PERF_COUNTER_RAWCOUNT, 4, 24}, // ID Process
    {1410, PERF_COUNTER_RAWCOUNT, 4, 28},// Creating Process ID
    {680, PERF_COUNTER_RAWCOUNT, 4, 32}, // Thread Count
    {952, PERF_COUNTER_RAWCOUNT, 4, 36}, // Handle Count
};
const DWORD kCounterBlockSize = 40;

const char *const kTitles[][2] = {
    {"1", "1847"},         {"2", "System"},       {"4", "Memory"},        {"6", "% Processor Time"},
    {"230", "Process"},    {"232", "Thread"},     {"238", "Processor"},   {"680", "Thread Count"},
    {"684", "Elapsed Time"}, {"784", "ID Process"}, {"952", "Handle Count"}, {"1410", "Creating Process ID"},
};

DWORD Align8(DWORD n) { return (n + 7) & ~7u; }

void Put(std::vector<BYTE> &out, size_t at, const void *data, size_t size) {
    if (out.size() < at + size) out.resize(at + size);
    memcpy(out.data() + at, data, size);
}

std::vector<BYTE> Utf16Name(const std::string &name) {
    std::vector<BYTE> w;
    for (unsigned char c : name) {
        w.push_back(c);
        w.push_back(0);
    }
    w.push_back(0);
    w.push_back(0);
    return w;
}

// "QLSERVER" of "C:\\QB\\QLSERVER.EXE", as the process object names instances.
std::string InstanceName(const std::string &image) {
    size_t slash = image.find_last_of("\\/:");
    std::string base = slash == std::string::npos ? image : image.substr(slash + 1);
    size_t dot = base.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

struct Instance {
    std::string name;
    DWORD pid, parent;
};

void AppendProcessObject(std::vector<BYTE> &out, Machine &m, uint64_t now) {
    std::vector<Instance> instances;
    instances.push_back({"Idle", 0, 0});
    instances.push_back({"System", kSystemPid, 0});
    instances.push_back({InstanceName(m.modulePath), OwnProcessId(), 0});
    for (const ProcessImage &p : RunningProcessImages(m))
        instances.push_back({InstanceName(p.image), p.pid, p.parentPid});
    instances.push_back({"_Total", 0, 0});

    const size_t start = out.size();
    const DWORD numCounters = sizeof kCounters / sizeof kCounters[0];
    PERF_OBJECT_TYPE object;
    memset(&object, 0, sizeof object);
    object.HeaderLength = sizeof(PERF_OBJECT_TYPE);
    object.DefinitionLength = sizeof(PERF_OBJECT_TYPE) + numCounters * sizeof(PERF_COUNTER_DEFINITION);
    object.ObjectNameTitleIndex = kProcessObject;
    object.ObjectHelpTitleIndex = kProcessObject + 1;
    object.DetailLevel = PERF_DETAIL_NOVICE;
    object.NumCounters = numCounters;
    object.DefaultCounter = 0;
    object.NumInstances = (LONG)instances.size();
    object.PerfTime.QuadPart = (LONGLONG)now * 10000;
    object.PerfFreq.QuadPart = 10000000;
    Put(out, start, &object, sizeof object);
    size_t at = start + sizeof object;
    for (const CounterSpec &c : kCounters) {
        PERF_COUNTER_DEFINITION d;
        memset(&d, 0, sizeof d);
        d.ByteLength = sizeof d;
        d.CounterNameTitleIndex = c.index;
        d.CounterHelpTitleIndex = c.index + 1;
        d.DetailLevel = PERF_DETAIL_NOVICE;
        d.CounterType = c.type;
        d.CounterSize = c.size;
        d.CounterOffset = c.offset;
        Put(out, at, &d, sizeof d);
        at += sizeof d;
    }
    for (const Instance &i : instances) {
        std::vector<BYTE> name = Utf16Name(i.name);
        PERF_INSTANCE_DEFINITION def;
        memset(&def, 0, sizeof def);
        def.UniqueID = PERF_NO_UNIQUE_ID;
        def.NameOffset = sizeof def;
        def.NameLength = (DWORD)name.size();
        def.ByteLength = Align8(sizeof def + (DWORD)name.size());
        Put(out, at, &def, sizeof def);
        Put(out, at + sizeof def, name.data(), name.size());
        at += def.ByteLength;
        out.resize(at);
        BYTE block[kCounterBlockSize];
        memset(block, 0, sizeof block);
        DWORD length = kCounterBlockSize;
        memcpy(block, &length, 4);
        LONGLONG elapsed = (LONGLONG)now * 10000;
        memcpy(block + 16, &elapsed, 8);
        memcpy(block + 24, &i.pid, 4);
        memcpy(block + 28, &i.parent, 4);
        DWORD threads = 1, handles = 20;
        memcpy(block + 32, &threads, 4);
        memcpy(block + 36, &handles, 4);
        Put(out, at, block, sizeof block);
        at += sizeof block;
    }
    DWORD total = (DWORD)(at - start);
    memcpy(out.data() + start, &total, 4);  // TotalByteLength
}

// The object indexes a value name asks for: "Global" is every object.
bool WantsProcessObject(const std::string &valueName, bool &known) {
    known = true;
    if (valueName.empty() || EqualNoCase(valueName, "Global")) return true;
    std::istringstream in(valueName);
    std::string word;
    bool any = false;
    while (in >> word) {
        for (char c : word)
            if (c < '0' || c > '9') {
                known = false;
                return false;
            }
        if (word == std::to_string(kProcessObject)) any = true;
    }
    return any;
}

}  // namespace

std::vector<BYTE> BuildPerformanceData(Machine &m, const std::string &valueName) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    const uint64_t now = ClockMs();
    std::vector<BYTE> out;
    PERF_DATA_BLOCK block;
    memset(&block, 0, sizeof block);
    const WCHAR signature[4] = {'P', 'E', 'R', 'F'};
    memcpy(block.Signature, signature, sizeof signature);
    block.LittleEndian = 1;
    block.Version = PERF_DATA_VERSION;
    block.Revision = PERF_DATA_REVISION;
    block.DefaultObject = (LONG)kProcessObject;
    block.SystemTime = MsToSystemTime(now);
    block.PerfTime.QuadPart = (LONGLONG)now * 10000;
    block.PerfFreq.QuadPart = 10000000;
    block.PerfTime100nSec.QuadPart = (LONGLONG)now * 10000;
    std::vector<BYTE> name = Utf16Name(m.name);
    block.SystemNameLength = (DWORD)name.size();
    block.SystemNameOffset = sizeof block;
    block.HeaderLength = Align8(sizeof block + (DWORD)name.size());
    Put(out, 0, &block, sizeof block);
    Put(out, sizeof block, name.data(), name.size());
    out.resize(block.HeaderLength);
    bool known = true;
    if (WantsProcessObject(valueName, known)) {
        AppendProcessObject(out, m, now);
        block.NumObjectTypes = 1;
    }
    block.TotalByteLength = (DWORD)out.size();
    memcpy(out.data(), &block, sizeof block);
    return out;
}

void SetPerformanceDataOverride(Machine &m, std::shared_ptr<std::vector<BYTE>> data) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    m.performanceDataOverride = std::move(data);
}

LONG QueryPerformanceData(LPCSTR valueName, LPDWORD type, LPBYTE data, LPDWORD size) {
    std::lock_guard<std::recursive_mutex> g(WorldLock());
    if (!size) return ERROR_INVALID_PARAMETER;
    if (!HasLocalMachine()) return ERROR_INVALID_HANDLE;
    Machine &m = LocalMachine();
    std::string name = valueName ? valueName : "";
    bool known = true;
    WantsProcessObject(name, known);
    // Counter and help texts, "Costly" and foreign objects are not modelled.
    if (!known) return ERROR_CALL_NOT_IMPLEMENTED;
    std::vector<BYTE> block = m.performanceDataOverride ? *m.performanceDataOverride : BuildPerformanceData(m, name);
    if (type) *type = REG_BINARY;
    // Too small a buffer: the size the caller gets back says nothing, as on
    // Windows; callers grow the buffer and ask again.
    if (!data || *size < block.size()) return ERROR_MORE_DATA;
    if (!block.empty()) memcpy(data, block.data(), block.size());
    *size = (DWORD)block.size();
    return ERROR_SUCCESS;
}

void SeedPerformanceCounters(Machine &m) {
    std::string text;
    for (auto &t : kTitles) {
        text += t[0];
        text += '\0';
        text += t[1];
        text += '\0';
    }
    text += '\0';
    m.registry.Set("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009", "Counters", REG_MULTI_SZ,
                   text.data(), text.size());
    m.registry.SetDword("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib", "Last Counter", 1847);
}

}  // namespace winsim
