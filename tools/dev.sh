#!/usr/bin/env bash
# Builds and checks QLSETGUI. Installs what a step needs with apt-get when it
# is missing (Debian 12; run as root).
#   run       build the Linux library and run qlsetrun on the default machine
#   test      build and run the whole test suite, then check the fault sweep
#   faults    the fault sweep report: each Win32 function the library calls,
#             its call sites and the tests that make it fail (build/faults-report.txt)
#   sanitize  the suite under AddressSanitizer and UndefinedBehaviorSanitizer
#   windows   cross-build QLSETGUI.dll (i686, and x86_64 for wine64) and check its exports
#   bench     build and run the benchmarks; each prints its ratio to a baseline
#             measured in the same run (a few minutes; timings are never checked)
#   wine      the x86_64 DLL under wine64: the test package through msiexec,
#             the winsim conformance tests, an option setup library
#             (`wine -- package` and so on for one of them; tools/wine.sh)
#   fuzz [S]  build the libFuzzer targets (clang) and run each for S seconds (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}

need() {  # need PACKAGE... : installs the packages that are not installed yet
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq "${missing[@]}" >/dev/null
    fi
}

linux_deps() { need cmake ninja-build g++ libgtest-dev libgmock-dev; }

configure() {  # configure DIR [cmake options...]
    local dir=$1
    shift
    # Several worktrees of one repository compile the same sources: ccache,
    # when installed, shares their objects (base_dir makes paths relative).
    local launcher=()
    if command -v ccache >/dev/null; then
        export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$PWD")} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-true}
        launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
}

case "${1:-}" in
run)
    # The report is the only thing on stdout; what the build says goes to
    # stderr, and only when it fails.
    shift
    [ "${1:-}" = "--" ] && shift
    linux_deps >&2
    buildlog=$(mktemp)
    if ! { configure build && cmake --build build -j "$JOBS" --target qlsetrun; } >"$buildlog" 2>&1; then
        cat "$buildlog" >&2
        rm -f "$buildlog"
        exit 1
    fi
    rm -f "$buildlog"
    exec ./build/qlsetrun "$@"
    ;;
test)
    linux_deps
    need python3
    configure build
    cmake --build build -j "$JOBS"
    # The run is also the fault sweep: every Win32 function the library
    # calls needs a test that makes it fail inside the library.
    rm -f build/faults.log
    WINSIM_FAULT_LOG="$PWD/build/faults.log" ctest --test-dir build --output-on-failure -j "$JOBS"
    python3 tools/faults.py build --check
    ;;
faults)
    linux_deps
    need python3
    configure build
    cmake --build build -j "$JOBS"
    rm -f build/faults.log
    WINSIM_FAULT_LOG="$PWD/build/faults.log" ctest --test-dir build -j "$JOBS" >/dev/null
    python3 tools/faults.py build
    ;;
sanitize)
    linux_deps
    configure build-asan -DQLSETGUI_SANITIZE=ON
    cmake --build build-asan -j "$JOBS"
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -j "$JOBS"
    ;;
windows)
    need cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64
    for arch in i686 x86_64; do
        configure "build-win-$arch" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake -DCMAKE_BUILD_TYPE=Release
        cmake --build "build-win-$arch" -j "$JOBS"
    done
    if command -v file >/dev/null; then file build-win-i686/QLSETGUI.dll; fi
    i686-w64-mingw32-objdump -f build-win-i686/QLSETGUI.dll | grep -q 'file format pei-i386' ||
        { echo "QLSETGUI.dll is not a PE32 i386 DLL"; exit 1; }
    echo "i686 DLL imports:"
    i686-w64-mingw32-objdump -p build-win-i686/QLSETGUI.dll | grep 'DLL Name'
    ;;
wine)
    shift
    [ "${1:-}" = "--" ] && shift
    # wine64 only: this machine runs no 32-bit programs (no wine32, no i386).
    need cmake ninja-build g++-mingw-w64-x86-64 wine wine64 msitools wixl googletest xvfb imagemagick
    bash tools/wine.sh "$@"
    ;;
bench)
    linux_deps
    need libbenchmark-dev
    configure build-bench -DCMAKE_BUILD_TYPE=Release -DQLSETGUI_TESTS=OFF -DQLSETGUI_BENCH=ON
    cmake --build build-bench -j "$JOBS"
    # The simulated machines' drives, and the trees the file benchmarks
    # build, go to memory when they can: the ratios are winsim's overhead
    # over the same system calls, which a slow disk would hide.
    if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
    ./build-bench/bench/winsim_bench
    ;;
fuzz)
    per_target=${2:-20}
    need cmake ninja-build clang libclang-rt-14-dev
    configure build-fuzz -DQLSETGUI_FUZZ=ON -DQLSETGUI_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
    cmake --build build-fuzz -j "$JOBS" --target fuzz_targets
    # The simulated machines' files go to memory when it can (the profile
    # readers go through them on every run); new inputs go to a work corpus
    # beside the build, the seeds in fuzz/corpus stay as they are.
    if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
    export ASAN_OPTIONS=detect_leaks=0:malloc_context_size=2 UBSAN_OPTIONS=print_stacktrace=1
    for target in commandline setupicf setupinf buildrange regfile machine resources tasklist service sharesecurity silentconfig; do
        mkdir -p "build-fuzz/corpus/$target"
        echo "== fuzz_$target, $per_target s"
        log="build-fuzz/fuzz_$target.log"
        if ! ./build-fuzz/fuzz/fuzz_$target -max_total_time="$per_target" -timeout=10 -print_final_stats=1 \
            -dict="fuzz/dict/$target.dict" -artifact_prefix="build-fuzz/fuzz_$target-" \
            "build-fuzz/corpus/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
            tail -n 40 "$log"
            echo "fuzz_$target found a fault (input saved as build-fuzz/fuzz_$target-*)"
            exit 1
        fi
        grep -E '^#[0-9]+[[:space:]]+DONE|^stat::number_of_executed_units' "$log"
    done
    ;;
*)
    sed -n '2,13p' "$0"
    exit 2
    ;;
esac
