// The remote-install front end over 1,000 simulated targets in one run,
// against 1,000 runs over one target each: the ratio of the two times shows
// whether the cost per target stays the same as the network grows (1.0 is
// linear; machine creation is not timed).
#include <benchmark/benchmark.h>

#include <windows.h>

#include <winsim/machine.h>

#include "qlsetrun/RemoteInstall.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const int kTargets = 1000;

// The setup medium on the host: the template and the setup information file.
const std::string &Medium() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/qlbench-medium-XXXXXX";
        std::string d = mkdtemp(tmpl);
        std::ofstream(d + "/QUILLBAK.ICF") << "[UserInfo]\r\nFullName=Bench\r\n[InstallPath]\r\nQuillbakPath=\r\n";
        std::ofstream(d + "/QLBSETUP.INF") << "[Setup]\r\nProdSubType=2\r\n";
        return d;
    }();
    return dir;
}

// A console with the medium and `count` targets; every other one has the
// product installed. The names of the targets.
std::vector<std::string> Network(int count, int first = 0) {
    winsim::ResetWorld();
    winsim::Machine &console = winsim::CreateDefaultMachine("CONSOLE");
    std::vector<std::string> warnings;
    std::string error;
    if (!qlsetrun::PrepareConsole(console, Medium(), warnings, error)) {
        fprintf(stderr, "cannot prepare the console: %s\n", error.c_str());
        std::exit(1);
    }
    std::vector<std::string> names;
    for (int i = first; i < first + count; ++i) {
        char name[16];
        snprintf(name, sizeof name, "T%05d", i);
        winsim::Machine &t = winsim::CreateDefaultMachine(name);
        if (i % 2) t.registry.SetString("HKLM\\SOFTWARE\\Veltmark\\QuillbakIT\\Base\\Path", "HOME", "D:\\Quillbak");
        names.push_back(name);
    }
    winsim::SetLocalMachine(console);
    return names;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Prepare(const std::vector<std::string> &names, qlsetrun::RemoteOptions &options) {
    auto start = std::chrono::steady_clock::now();
    std::vector<qlsetrun::RemoteResult> results = qlsetrun::PrepareTargets(names, options);
    double s = Seconds(std::chrono::steady_clock::now() - start);
    for (const qlsetrun::RemoteResult &r : results)
        if (!r.written) {
            fprintf(stderr, "target %s not prepared: %s\n", r.name.c_str(), r.error.c_str());
            std::exit(1);
        }
    return s;
}

void BM_RemoteInstallOneRunVersusOneRunPerTarget(benchmark::State &state) {
    qlsetrun::RemoteOptions options;
    options.account = "CORP\\svcbackup";
    options.password = "bench";
    double many = 0, single = 0;
    for (auto _ : state) {
        std::vector<std::string> all = Network(kTargets);
        many = Prepare(all, options);
        single = 0;
        for (int i = 0; i < kTargets; ++i) single += Prepare(Network(1, i), options);
        state.SetIterationTime(many);
    }
    state.counters["targets"] = kTargets;
    state.counters["one_run_s"] = many;
    state.counters["runs_of_one_s"] = single;
    state.counters["ratio"] = single > 0 ? many / single : 0;
    printf("remote install: %d targets in one run %.3f s, %d runs of one target %.3f s, ratio %.2f\n", kTargets,
           many, kTargets, single, single > 0 ? many / single : 0.0);
    printf("ratio remote-install one-run/runs-of-one: %.2f (target <= 1.1)\n", single > 0 ? many / single : 0.0);
    winsim::ResetWorld();
}
BENCHMARK(BM_RemoteInstallOneRunVersusOneRunPerTarget)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
