// Profile (INI) reads on a file of 1,000 keys: every call opens, reads and
// scans the file as Windows does without its cache.
#include <benchmark/benchmark.h>

#include <windows.h>

#include <winsim/machine.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const int kSections = 10;
const int kKeysPerSection = 100;  // 1,000 keys
const char kFile[] = "C:\\bench\\settings.ini";

void FreshMachineWithIni() {
    winsim::ResetWorld();
    winsim::Machine &m = winsim::CreateDefaultMachine("BENCH");
    std::string text = "; benchmark settings\r\n";
    char line[128];
    for (int s = 0; s < kSections; ++s) {
        snprintf(line, sizeof line, "\r\n[Section%02d]\r\n", s);
        text += line;
        for (int k = 0; k < kKeysPerSection; ++k) {
            snprintf(line, sizeof line, "Key%03d = \"C:\\Program Files\\Quillbak\\%02d\\%03d\"\r\n", k, s, k);
            text += line;
        }
    }
    m.PutFile(kFile, text);
}

// Keys spread over the whole file, looked up in a fixed stride.
void BM_GetPrivateProfileString(benchmark::State &state) {
    FreshMachineWithIni();
    char section[16], key[16], value[128];
    unsigned i = 0;
    for (auto _ : state) {
        unsigned n = (i++ * 37u) % (kSections * kKeysPerSection);
        snprintf(section, sizeof section, "SECTION%02u", n / kKeysPerSection);
        snprintf(key, sizeof key, "key%03u", n % kKeysPerSection);
        DWORD len = GetPrivateProfileStringA(section, key, "", value, sizeof value, kFile);
        if (len == 0) state.SkipWithError("key not found");
        benchmark::DoNotOptimize(len);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetPrivateProfileString)->Unit(benchmark::kMicrosecond);

// The last key of the last section: the longest scan.
void BM_GetPrivateProfileStringLastKey(benchmark::State &state) {
    FreshMachineWithIni();
    char value[128];
    for (auto _ : state) {
        DWORD len = GetPrivateProfileStringA("Section09", "Key099", "", value, sizeof value, kFile);
        benchmark::DoNotOptimize(len);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetPrivateProfileStringLastKey)->Unit(benchmark::kMicrosecond);

// Listing the keys of a section.
void BM_GetPrivateProfileKeyList(benchmark::State &state) {
    FreshMachineWithIni();
    static char list[8192];
    for (auto _ : state) {
        DWORD len = GetPrivateProfileStringA("Section05", nullptr, "", list, sizeof list, kFile);
        benchmark::DoNotOptimize(len);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetPrivateProfileKeyList)->Unit(benchmark::kMicrosecond);

}  // namespace
