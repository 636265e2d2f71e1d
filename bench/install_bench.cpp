// The whole install sequence through qlsetrun, on the built-in default
// machine and on one that also holds 100,000 registry keys and 100,000
// files the actions never touch: the ratio of the two times shows whether
// the run's cost follows what the actions touch or the machine's size (1.0:
// the size costs nothing). The runner's own main runs in-process on a
// machine made beforehand; making and filling it is not timed.
#include <benchmark/benchmark.h>

#include "host_tree.h"

#include <windows.h>

#include <winsim/machine.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

int QlsetrunMain(int argc, char **argv);  // tools/qlsetrun.cpp, renamed for the benchmarks

namespace {

const int kVendors = 50, kProducts = 20, kKeysPerProduct = 100;  // 100,000 keys
const int kDepartments = 100, kProjects = 10, kFilesPerProject = 100;  // 100,000 files

const std::string &Medium() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/qlbench-setup-XXXXXX";
        std::string d = mkdtemp(tmpl);
        std::ofstream(d + "/QUILLBAK.ICF") << "[UserInfo]\r\nFullName=Bench\r\n[InstallPath]\r\nQuillbakPath=\r\n";
        std::ofstream(d + "/QLBSETUP.INF") << "[Setup]\r\nProdSubType=2\r\n";
        return d;
    }();
    static struct Cleanup {
        ~Cleanup() {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    } cleanup;
    return dir;
}

// HKLM\SOFTWARE\VendorNN\ProductNN\KeyNN, each key with two values.
void SeedRegistry(winsim::Machine &m) {
    winsim::RegKey *software = m.registry.Find("HKLM\\SOFTWARE");
    char name[32];
    for (int v = 0; v < kVendors; ++v) {
        snprintf(name, sizeof name, "Vendor%02d", v);
        winsim::RegKey *vendor = software->CreateChild(name);
        for (int p = 0; p < kProducts; ++p) {
            snprintf(name, sizeof name, "Product%02d", p);
            winsim::RegKey *product = vendor->CreateChild(name);
            product->SetValue("Version", REG_SZ, "1.0", 4);
            for (int k = 0; k < kKeysPerProduct; ++k) {
                snprintf(name, sizeof name, "Key%02d", k);
                winsim::RegKey *key = product->CreateChild(name);
                key->SetValue("Path", REG_SZ, "C:\\Data\\x", 10);
                DWORD d = (DWORD)k;
                key->SetValue("Count", REG_DWORD, &d, sizeof d);
            }
        }
    }
}

// C:\Data\DeptNN\ProjN\fileNN.dat, written on the drive's host folder.
void SeedFiles(winsim::Machine &m) {
    MakeHostTree(m.drives.at('C').hostRoot + "/Data", {"Dept", "Proj", kDepartments, kProjects, kFilesPerProject, 120});
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// One install run of qlsetrun on a fresh machine; the report is made in full
// (it is the run's output) and then dropped. Returns the time of the run.
double InstallRun(bool big, std::string *report = nullptr) {
    winsim::ResetWorld();
    winsim::Machine &m = winsim::CreateDefaultMachine();
    if (big) {
        SeedRegistry(m);
        SeedFiles(m);
    }
    winsim::SetLocalMachine(m);
    std::string setup = Medium();
    char arg0[] = "qlsetrun", arg1[] = "--setup";
    char *argv[] = {arg0, arg1, setup.data(), nullptr};
    std::ostringstream out;
    std::streambuf *saved = std::cout.rdbuf(out.rdbuf());
    auto start = std::chrono::steady_clock::now();
    int rc = QlsetrunMain(3, argv);
    double s = Seconds(std::chrono::steady_clock::now() - start);
    std::cout.rdbuf(saved);
    if (rc != 0) {
        fprintf(stderr, "the install run failed (exit code %d):\n%s\n", rc, out.str().c_str());
        std::exit(1);
    }
    if (report) *report = out.str();
    winsim::ResetWorld();
    return s;
}

void BM_WholeInstallBigMachineVersusDefault(benchmark::State &state) {
    const int kRuns = 5;  // each; the fastest of each counts
    double small = 0, big = 0;
    std::string smallReport, bigReport;
    for (auto _ : state) {
        InstallRun(false);  // warms the library and the caches
        small = big = 1e9;
        for (int i = 0; i < kRuns; ++i) {
            small = std::min(small, InstallRun(false, &smallReport));
            big = std::min(big, InstallRun(true, &bigReport));
        }
        state.SetIterationTime(big);
    }
    // Both machines get the same changes, so the reports must match but for
    // nothing (the untouched keys and files must not show).
    if (smallReport != bigReport) fprintf(stderr, "warning: the two reports differ\n");
    state.counters["default_s"] = small;
    state.counters["big_s"] = big;
    state.counters["ratio"] = big / small;
    printf("whole install: default machine %.4f s, with 100,000 keys and 100,000 files %.4f s\n", small, big);
    printf("ratio whole-install big/default: %.2f (target <= 2.0)\n", big / small);
}
BENCHMARK(BM_WholeInstallBigMachineVersusDefault)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
