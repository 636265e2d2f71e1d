// Stand-in for the product's core library "QLCORE.DLL". It records each
// call in QLCORE_CALLS; QLCORE_RESULT is the answer of every call (0 by
// default), QLCORE_CREATE that of the queue creation, QLCORE_STATE the job
// state, QLCORE_JOBS the queue's jobs ("number,type,value20,value24;...").
// QLAddQueueJob leaves the fields of the job it was given in QLCORE_ADDED:
// "type=T off8=N created=S start=S off64=N off66=N off88=N nonzero=K", K the
// count of nonzero bytes outside those fields.
#include "../../system/QueueRecords.h"
#include "DoubleEnv.h"

#include <cstdio>
#include <cstring>
#include <string>

#define QLCORE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
std::string Text(LPCSTR s) { return s ? std::string(s) : std::string("(null)"); }
std::string Num(unsigned long n) { return std::to_string(n); }
DWORD Result() { return (DWORD)DoubleNumber("QLCORE_RESULT", 0); }
}  // namespace

QLCORE_EXPORT DWORD __cdecl QSICreateQueue(DWORD a, LPCSTR name, DWORD b, LPCSTR dir, DWORD *queue) {
    DoubleRecord("QLCORE_CALLS", "QSICreateQueue(" + Num(a) + "," + Text(name) + "," + Num(b) + "," + Text(dir) + ")");
    DWORD result = (DWORD)DoubleNumber("QLCORE_CREATE", 0);
    if (result == 0 && dir) CreateDirectoryA((std::string(dir) + "00000001.QSD").c_str(), nullptr);
    if (queue) *queue = 1;
    return result;
}

QLCORE_EXPORT DWORD __cdecl QSIGetQJobItemList(LPCSTR name, DWORD queue, tagQJOBITEM *items, DWORD size, DWORD *count,
                                              tagQUEUEINFO *info) {
    DoubleRecord("QLCORE_CALLS", "QSIGetQJobItemList(" + Text(name) + "," + Num(queue) + "," + Num(size) + ")");
    std::string jobs = DoubleSetting("QLCORE_JOBS", "");
    DWORD n = 0, room = items ? size / sizeof(tagQJOBITEM) : 0;
    const char *p = jobs.c_str();
    while (*p && n < room) {
        unsigned long number = 0, type = 0, v20 = 0, v24 = 0;
        if (std::sscanf(p, "%lu,%lu,%lu,%lu", &number, &type, &v20, &v24) != 4) break;
        std::memset(&items[n], 0, sizeof items[n]);
        items[n].dwJobNumber = (DWORD)number;
        items[n].dwJobType = (DWORD)type;
        items[n].dwStateValue1 = (DWORD)v20;
        items[n].dwStateValue2 = (DWORD)v24;
        ++n;
        const char *semi = std::strchr(p, ';');
        if (!semi) break;
        p = semi + 1;
    }
    if (count) *count = n;
    if (info) {
        info->dwQueueNumber = queue;
        info->dwJobCount = n;
        std::snprintf(info->szQueueName, sizeof info->szQueueName, "%s", name ? name : "");
    }
    return Result();
}

QLCORE_EXPORT DWORD __cdecl QSIMapJobStatus(DWORD a, DWORD b) {
    DoubleRecord("QLCORE_CALLS", "QSIMapJobStatus(" + Num(a) + "," + Num(b) + ")");
    return (DWORD)DoubleNumber("QLCORE_STATE", 1);
}

QLCORE_EXPORT DWORD __cdecl QLAddQueueJob(LPCSTR name, LPCSTR job, WORD flags, LPCSTR record, DWORD size, DWORD *id) {
    DoubleRecord("QLCORE_CALLS", "QLAddQueueJob(" + Text(name) + "," + Text(job) + "," + Num(flags) + "," +
                                     (record ? "record" : "(null)") + "," + Num(size) + ")");
    if (record && size >= 90) {
        const BYTE *r = (const BYTE *)record;
        auto w16 = [&](size_t o) { return (unsigned long)(r[o] | (r[o + 1] << 8)); };
        auto w32 = [&](size_t o) {
            return (unsigned long)r[o] | ((unsigned long)r[o + 1] << 8) | ((unsigned long)r[o + 2] << 16) |
                   ((unsigned long)r[o + 3] << 24);
        };
        unsigned long other = 0;
        for (size_t o = 0; o < size; ++o) {
            bool field = (o >= 4 && o < 6) || (o >= 8 && o < 10) || (o >= 56 && o < 68) || (o >= 88 && o < 90);
            if (!field && r[o]) ++other;
        }
        SetEnvironmentVariableA("QLCORE_ADDED",
                                ("type=" + Num(w16(4)) + " off8=" + Num(w16(8)) + " created=" + Num(w32(56)) +
                                 " start=" + Num(w32(60)) + " off64=" + Num(w16(64)) + " off66=" + Num(w16(66)) +
                                 " off88=" + Num(w16(88)) + " nonzero=" + Num(other))
                                    .c_str());
    }
    if (id) *id = 77;
    return Result();
}

QLCORE_EXPORT DWORD __cdecl QSIDeleteJob(LPCSTR name, DWORD queue, DWORD job) {
    DoubleRecord("QLCORE_CALLS", "QSIDeleteJob(" + Text(name) + "," + Num(queue) + "," + Num(job) + ")");
    return Result();
}

QLCORE_EXPORT DWORD __cdecl QLGetDefaultQueue(LPSTR name, LPSTR second, DWORD *queue) {
    DoubleRecord("QLCORE_CALLS", std::string("QLGetDefaultQueue(") + (second ? "text" : "(null)") + ")");
    DWORD result = Result();
    if (result == 0) {
        if (name) std::strcpy(name, "AQ_HARN");
        if (queue) *queue = 1;
    }
    return result;
}
