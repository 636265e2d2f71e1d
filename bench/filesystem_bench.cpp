// The product's file chores on the simulated machine against the same work
// done directly on the real disk: CComputer::DeleteTree of 100,000 files in
// nested folders against rm -rf of an identical tree, and 10,000 CLog lines
// against a loop that opens, locks, appends and closes the same file through
// the same Win32 calls. The ratios are winsim's and the product's overhead
// (1.0: none); building the trees is not timed.
#include <benchmark/benchmark.h>

#include "host_tree.h"

#include <windows.h>

#include <winsim/machine.h>

#include "system/Computer.h"
#include "system/Log.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const int kFolders = 100, kSubfolders = 10, kFilesPerFolder = 100;  // 100,000 files
const int kLogLines = 10000;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// User and system processor time of this process or of its ended children.
struct Cpu {
    double user = 0, system = 0;
};
Cpu CpuNow(int who) {
    struct rusage u;
    getrusage(who, &u);
    return {u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6, u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6};
}
Cpu CpuSince(const Cpu &start, int who) {
    Cpu now = CpuNow(who);
    return {now.user - start.user, now.system - start.system};
}

// root\DirNN\SubN\fileNN.dat on the host, 100 bytes each.
void MakeTree(const std::string &root) { MakeHostTree(root, {"Dir", "Sub", kFolders, kSubfolders, kFilesPerFolder, 100}); }

void BM_DeleteTreeVersusRmRf(benchmark::State &state) {
    const int kRounds = 3;  // the fastest of each counts; the two take turns at going first
    double sim = 1e9, host = 1e9;
    Cpu simCpu, hostCpu;  // of the fastest of each
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            winsim::ResetWorld();
            winsim::Machine &m = winsim::CreateDefaultMachine();
            winsim::SetLocalMachine(m);
            // Both trees on the same file system: the drive's folder and one beside the sandbox.
            const std::string simRoot = m.drives.at('C').hostRoot + "/Tree";
            const std::string hostRoot = m.sandboxRoot + "-rmrf-tree";
            MakeTree(simRoot);
            MakeTree(hostRoot);
            BOOL ok = TRUE;
            int rc = 0;
            auto deleteTree = [&] {
                const Cpu cpu = CpuNow(RUSAGE_SELF);
                auto start = std::chrono::steady_clock::now();
                ok = CComputer::DeleteTree("C:\\Tree");
                const double s = Seconds(std::chrono::steady_clock::now() - start);
                if (s < sim) {
                    sim = s;
                    simCpu = CpuSince(cpu, RUSAGE_SELF);
                }
            };
            auto rmrf = [&] {
                const std::string command = "rm -rf '" + hostRoot + "'";
                const Cpu cpu = CpuNow(RUSAGE_CHILDREN);
                auto start = std::chrono::steady_clock::now();
                rc = system(command.c_str());
                const double s = Seconds(std::chrono::steady_clock::now() - start);
                if (s < host) {
                    host = s;
                    hostCpu = CpuSince(cpu, RUSAGE_CHILDREN);
                }
            };
            if (round % 2) {
                rmrf();
                deleteTree();
            } else {
                deleteTree();
                rmrf();
            }
            if (!ok || rc != 0 || access(simRoot.c_str(), F_OK) == 0 || access(hostRoot.c_str(), F_OK) == 0) {
                fprintf(stderr, "a tree was not deleted (DeleteTree %d, rm -rf %d)\n", (int)ok, rc);
                std::exit(1);
            }
        }
        state.SetIterationTime(sim);
    }
    state.counters["deletetree_s"] = sim;
    state.counters["rm_rf_s"] = host;
    state.counters["ratio"] = sim / host;
    printf("delete tree of %d files: CComputer::DeleteTree %.3f s (cpu user %.3f, system %.3f), "
           "rm -rf %.3f s (cpu user %.3f, system %.3f)\n",
           kFolders * kSubfolders * kFilesPerFolder, sim, simCpu.user, simCpu.system, host, hostCpu.user,
           hostCpu.system);
    printf("ratio DeleteTree/rm-rf: %.2f (target <= 1.3)\n", sim / host);
    winsim::ResetWorld();
}
BENCHMARK(BM_DeleteTreeVersusRmRf)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// What CLog does for a line, without the formatting: open, lock the end
// (where the line goes, checking that the end did not move), append, unlock,
// close.
double RawAppends(const char *path, const std::string &line) {
    auto start = std::chrono::steady_clock::now();
    const DWORD length = (DWORD)line.size();
    for (int i = 0; i < kLogLines; ++i) {
        HANDLE f = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, NULL);
        DWORD end = SetFilePointer(f, 0, NULL, FILE_END);
        BOOL locked = LockFile(f, end, 0, length, 0) && GetFileSize(f, NULL) == end;
        DWORD written = 0;
        if (f == INVALID_HANDLE_VALUE || !WriteFile(f, line.data(), length, &written, NULL) || written != length) {
            fprintf(stderr, "raw append failed\n");
            std::exit(1);
        }
        if (locked) UnlockFile(f, end, 0, length, 0);
        CloseHandle(f);
    }
    return Seconds(std::chrono::steady_clock::now() - start);
}

double LogLines(const char *path) {
    CLog log(path);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kLogLines; ++i)
        if (!log.Write("Copying file %d of %d: %s", i + 1, kLogLines, "C:\\Quillbak\\Bin\\QLBSERV.EXE")) {
            fprintf(stderr, "CLog::Write failed\n");
            std::exit(1);
        }
    return Seconds(std::chrono::steady_clock::now() - start);
}

void BM_LogWriteVersusRawAppends(benchmark::State &state) {
    const int kRounds = 3;  // each; the fastest of each counts
    double clog = 1e9, raw = 1e9;
    for (auto _ : state) {
        for (int r = 0; r < kRounds; ++r) {
            winsim::ResetWorld();
            winsim::Machine &m = winsim::CreateDefaultMachine();
            winsim::SetLocalMachine(m);
            clog = std::min(clog, LogLines("C:\\TEMP\\QLBSETUP.LOG"));
            // The same line as CLog writes: stamp, tab, message, CR LF.
            const std::string line = "12/01/26 08:00:00\tCopying file 10000 of 10000: C:\\Quillbak\\Bin\\QLBSERV.EXE\r\n";
            raw = std::min(raw, RawAppends("C:\\TEMP\\RAW.LOG", line));
        }
        state.SetIterationTime(clog);
    }
    state.counters["clog_s"] = clog;
    state.counters["raw_s"] = raw;
    state.counters["ratio"] = clog / raw;
    printf("log: %d CLog::Write lines %.3f s, %d raw open-lock-append-close %.3f s\n", kLogLines, clog, kLogLines,
           raw);
    printf("ratio CLog/raw: %.2f (target <= 1.3)\n", clog / raw);
    winsim::ResetWorld();
}
BENCHMARK(BM_LogWriteVersusRawAppends)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
