// The process list from the performance data: the bytes HKEY_PERFORMANCE_DATA
// answers with, or the counter titles that name the process object and its
// id counter. The list holds exactly the processes that a walk of the block
// finds when every length and offset it follows stays inside the block (and
// nothing when one does not), each name within its record, never more
// records than the room offered or the instances the object declares, and
// nothing written past the records it may fill.
#include "fuzz_support.h"

#include <winperf.h>

#include <cstring>
#include <memory>
#include <sstream>
#include <vector>

#include "system/TaskList.h"

namespace {

const char kPerflib[] = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009";
const size_t kPadded = 60000;  // past the first 51200 bytes the list asks for

struct Expected {
    DWORD pid;
    std::string name;
};

// The walk, as the layout defines it: each part begins where the one before
// says it ends. Offsets are 64-bit so that nothing wraps.
class Walk {
public:
    Walk(const std::vector<BYTE> &block) : m_block(block) {}

    // False when a part the walk needs does not lie inside the block.
    bool Run(DWORD idCounter, size_t room, std::vector<Expected> &out) {
        out.clear();
        const uint64_t size = m_block.size();
        if (size < sizeof(PERF_DATA_BLOCK)) return false;
        static const WCHAR perf[4] = {'P', 'E', 'R', 'F'};
        if (memcmp(m_block.data(), perf, sizeof perf) != 0) return false;
        const PERF_DATA_BLOCK block = At<PERF_DATA_BLOCK>(0);
        if (!block.NumObjectTypes || block.HeaderLength < sizeof block) return false;

        const uint64_t object = block.HeaderLength;
        if (!Inside(object, sizeof(PERF_OBJECT_TYPE), size)) return false;
        const PERF_OBJECT_TYPE type = At<PERF_OBJECT_TYPE>(object);
        if (type.TotalByteLength < sizeof type || !Inside(object, type.TotalByteLength, size)) return false;
        if (type.HeaderLength < sizeof type || type.DefinitionLength < type.HeaderLength ||
            type.DefinitionLength > type.TotalByteLength)
            return false;
        const uint64_t end = object + type.TotalByteLength;
        const uint64_t definitionsEnd = object + type.DefinitionLength;

        uint64_t counter = object + type.HeaderLength;
        if (counter + (uint64_t)type.NumCounters * sizeof(PERF_COUNTER_DEFINITION) > definitionsEnd) return false;
        bool found = false;
        DWORD idAt = 0;
        for (DWORD i = 0; i < type.NumCounters && !found; ++i, counter += sizeof(PERF_COUNTER_DEFINITION)) {
            const PERF_COUNTER_DEFINITION d = At<PERF_COUNTER_DEFINITION>(counter);
            if (d.CounterNameTitleIndex == idCounter) {
                found = true;
                idAt = d.CounterOffset;
            }
        }
        if (!found || type.NumInstances <= 0) return false;

        const uint64_t count = std::min<uint64_t>(room, (uint64_t)type.NumInstances);
        uint64_t at = definitionsEnd;
        for (uint64_t i = 0; i < count; ++i) {
            if (!Inside(at, sizeof(PERF_INSTANCE_DEFINITION), end)) return false;
            const PERF_INSTANCE_DEFINITION inst = At<PERF_INSTANCE_DEFINITION>(at);
            if (inst.ByteLength < sizeof inst || !Inside(at, inst.ByteLength, end)) return false;
            if (!Inside(inst.NameOffset, inst.NameLength, inst.ByteLength)) return false;
            const uint64_t counters = at + inst.ByteLength;
            if (!Inside(counters, sizeof(PERF_COUNTER_BLOCK), end)) return false;
            const DWORD length = At<DWORD>(counters);
            if (length < sizeof(PERF_COUNTER_BLOCK) || !Inside(counters, length, end)) return false;
            if (!Inside(idAt, sizeof(DWORD), length)) return false;
            const DWORD pid = At<DWORD>(counters + idAt);
            out.push_back(Expected{pid ? pid : (DWORD)QL_IDLE_TASK_ID, Name(at + inst.NameOffset, inst.NameLength)});
            at = counters + length;
        }
        return true;
    }

private:
    static bool Inside(uint64_t offset, uint64_t length, uint64_t limit) {
        return offset <= limit && offset + length <= limit;
    }
    template <class T>
    T At(uint64_t offset) const {
        T v;
        memcpy(&v, m_block.data() + offset, sizeof v);
        return v;
    }
    // The record's name: the UTF-16 name up to its NUL in the code page,
    // "unknown" when that takes more than 259 bytes, then ".exe" when the
    // name is shorter than 257 characters (nothing otherwise).
    std::string Name(uint64_t offset, DWORD bytes) const {
        std::vector<WCHAR> wide(bytes / 2);
        if (!wide.empty()) memcpy(wide.data(), m_block.data() + offset, wide.size() * 2);
        size_t chars = 0;
        while (chars < wide.size() && wide[chars]) ++chars;
        std::string name;
        if (chars) {
            std::vector<char> narrow(chars * 4 + 4);
            int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)chars, narrow.data(), (int)narrow.size(), NULL,
                                        NULL);
            name = n > 0 && n <= MAX_PATH - 1 ? std::string(narrow.data(), n) : "unknown";
        }
        return name.size() < 257 ? name + ".exe" : std::string();
    }

    const std::vector<BYTE> &m_block;
};

// The counter titles as the list reads them: index text and name in turns,
// to the first empty text (where a name is due too); the last "process" and "id process" win.
bool Titles(const std::string &value, std::string &processIndex, DWORD &idIndex) {
    processIndex.clear();
    idIndex = 0;
    std::vector<std::string> texts;
    size_t p = 0;
    while (p < value.size() && value[p]) {
        size_t nul = value.find('\0', p);
        if (nul == std::string::npos) nul = value.size();
        texts.push_back(value.substr(p, nul - p));
        p = nul + 1;
    }
    for (size_t i = 0; i + 1 < texts.size(); i += 2) {
        if (lstrcmpiA(texts[i + 1].c_str(), "process") == 0) processIndex = texts[i].substr(0, 1023);
        else if (lstrcmpiA(texts[i + 1].c_str(), "id process") == 0) idIndex = (DWORD)atoi(texts[i].c_str());
    }
    return !processIndex.empty() && idIndex != 0;
}

// The machine answers for the process object when the value name is a
// list of title indexes that holds its index (230).
bool AnswersProcessObject(const std::string &valueName) {
    std::istringstream in(valueName);
    std::string word;
    bool process = false;
    while (in >> word) {
        if (word.find_first_not_of("0123456789") != std::string::npos) return false;
        if (word == "230") process = true;
    }
    return process;
}

const std::string &DefaultTitles() {
    static const std::string titles = [] {
        qlfuzz::Machine();
        HKEY key;
        std::vector<char> text(4096);
        DWORD size = (DWORD)text.size();
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPerflib + 5, 0, KEY_READ, &key) != ERROR_SUCCESS) abort();
        if (RegQueryValueExA(key, "Counters", NULL, NULL, (LPBYTE)text.data(), &size) != ERROR_SUCCESS) abort();
        RegCloseKey(key);
        return std::string(text.data(), size);
    }();
    return titles;
}

void SetTitles(const std::string &value) {
    qlfuzz::Machine().registry.Set(kPerflib, "Counters", REG_MULTI_SZ, value.data(), value.size());
}

}  // namespace

// The first byte picks the room for records (bits 0-4), whether the rest is
// the counter titles (bit 6) instead of the performance data, and whether
// the data is padded with zeros past the list's first buffer (bit 7).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    const uint8_t pick = data[0];
    winsim::Machine &m = qlfuzz::Machine();
    const std::string titles = (pick & 0x40) ? qlfuzz::Text(data + 1, size - 1) : DefaultTitles();
    std::vector<BYTE> block;
    if (pick & 0x40) {
        winsim::SetPerformanceDataOverride(m, nullptr);
        block = winsim::BuildPerformanceData(m, "230");
    } else {
        block.assign(data + 1, data + size);
        if (pick & 0x80) block.resize(std::max(block.size(), kPadded), 0);
        winsim::SetPerformanceDataOverride(m, std::make_shared<std::vector<BYTE>>(block));
    }
    SetTitles(titles);

    const DWORD capacity = (pick & 0x10) ? QL_MAX_TASKS + 1 : 2 + (pick & 0x0F);
    // Exactly the records offered, so that a write past them is caught.
    std::unique_ptr<TASK_LIST[]> tasks(new TASK_LIST[capacity]);
    memset(tasks.get(), 0x5A, capacity * sizeof(TASK_LIST));
    const DWORD count = GetTaskList(tasks.get(), capacity);

    std::string processIndex;
    DWORD idIndex = 0;
    std::vector<Expected> expected;
    bool listed = Titles(titles, processIndex, idIndex) && AnswersProcessObject(processIndex) &&
                  Walk(block).Run(idIndex, capacity - 1, expected);
    if (!listed) expected.clear();

    QL_FUZZ_CHECK(count <= capacity - 1, "%u records for a capacity of %u", (unsigned)count, (unsigned)capacity);
    QL_FUZZ_CHECK(count == expected.size(), "%u records, %zu expected", (unsigned)count, expected.size());
    for (DWORD i = 0; i < count; ++i) {
        const TASK_LIST &t = tasks[i];
        QL_FUZZ_CHECK(memchr(t.ProcessName, '\0', sizeof t.ProcessName) != NULL, "record %u: name not ended", i);
        QL_FUZZ_CHECK(expected[i].name == t.ProcessName, "record %u named \"%s\", \"%s\" expected", i, t.ProcessName,
                      expected[i].name.c_str());
        QL_FUZZ_CHECK(t.dwProcessId == expected[i].pid, "record %u: id %u, %u expected", i, (unsigned)t.dwProcessId,
                      (unsigned)expected[i].pid);
        QL_FUZZ_CHECK(t.flags == 0 && t.hwnd == NULL && t.dwInheritedFromProcessId == 0 && t.WindowTitle[0] == '\0',
                      "record %u: fields the list does not fill are not cleared", i);
    }
    // The last record is never written: the list fills at most capacity - 1.
    const BYTE *last = (const BYTE *)&tasks[capacity - 1];
    for (size_t b = 0; b < sizeof(TASK_LIST); ++b)
        QL_FUZZ_CHECK(last[b] == 0x5A, "the record past the list's room was written (byte %zu)", b);
    return 0;
}
