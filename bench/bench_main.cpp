// One main for every benchmark file of winsim_bench.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
