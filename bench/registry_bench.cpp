// The simulated registry at the size of a real server's: importing a
// 100,000-key .reg file, and opening and reading keys of that tree.
#include <benchmark/benchmark.h>

#include <windows.h>

#include <winsim/machine.h>

#include <cstdio>
#include <string>

namespace {

const int kGroups = 100;
const int kKeysPerGroup = 1000;  // 100,000 keys, each with a string and a dword

const std::string &BigRegText() {
    static const std::string text = [] {
        std::string t = "Windows Registry Editor Version 5.00\r\n\r\n";
        t.reserve(16u << 20);
        char line[160];
        for (int g = 0; g < kGroups; ++g) {
            for (int k = 0; k < kKeysPerGroup; ++k) {
                snprintf(line, sizeof line,
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench\\Group%03d\\Key%05d]\r\n"
                         "\"Path\"=\"C:\\\\Program Files\\\\Bench\\\\%d\\\\%d\"\r\n"
                         "\"Count\"=dword:%08x\r\n\r\n",
                         g, k, g, k, (unsigned)(g * kKeysPerGroup + k));
                t += line;
            }
        }
        return t;
    }();
    return text;
}

void FreshMachine() {
    winsim::ResetWorld();
    winsim::CreateDefaultMachine("BENCH");
}

void BM_ImportReg100kKeys(benchmark::State &state) {
    const std::string &text = BigRegText();
    for (auto _ : state) {
        state.PauseTiming();
        FreshMachine();
        state.ResumeTiming();
        winsim::LocalMachine().registry.ImportReg(text, "bench.reg");
    }
    state.counters["keys"] = benchmark::Counter((double)kGroups * kKeysPerGroup * state.iterations(),
                                                benchmark::Counter::kIsRate);
    state.SetBytesProcessed((int64_t)text.size() * state.iterations());
}
BENCHMARK(BM_ImportReg100kKeys)->Unit(benchmark::kMillisecond);

void BM_OpenAndQueryValue(benchmark::State &state) {
    FreshMachine();
    winsim::LocalMachine().registry.ImportReg(BigRegText(), "bench.reg");
    char path[96];
    unsigned i = 0;
    for (auto _ : state) {
        int g = (int)(i % kGroups), k = (int)((i * 7919u) % kKeysPerGroup);
        ++i;
        snprintf(path, sizeof path, "SOFTWARE\\Bench\\Group%03d\\Key%05d", g, k);
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            state.SkipWithError("RegOpenKeyExA failed");
            break;
        }
        char value[MAX_PATH];
        DWORD size = sizeof value, type;
        if (RegQueryValueExA(key, "Path", nullptr, &type, (BYTE *)value, &size) != ERROR_SUCCESS) {
            state.SkipWithError("RegQueryValueExA failed");
            break;
        }
        benchmark::DoNotOptimize(value);
        RegCloseKey(key);
    }
}
BENCHMARK(BM_OpenAndQueryValue);

void BM_EnumerateSubkeys(benchmark::State &state) {
    FreshMachine();
    winsim::LocalMachine().registry.ImportReg(BigRegText(), "bench.reg");
    HKEY group;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Bench\\Group050", 0, KEY_READ, &group) != ERROR_SUCCESS) {
        state.SkipWithError("RegOpenKeyExA failed");
        return;
    }
    for (auto _ : state) {
        char name[64];
        DWORD n = 0;
        for (DWORD idx = 0;; ++idx) {
            DWORD cch = sizeof name;
            if (RegEnumKeyExA(group, idx, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            ++n;
        }
        if (n != (DWORD)kKeysPerGroup) {
            state.SkipWithError("wrong subkey count");
            break;
        }
    }
    RegCloseKey(group);
    state.SetItemsProcessed((int64_t)kKeysPerGroup * state.iterations());
}
BENCHMARK(BM_EnumerateSubkeys);

// INI reads (GetPrivateProfileStringA over a large file) belong here too;
// they come with the profile functions.

}  // namespace
