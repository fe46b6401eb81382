#!/bin/sh
# Short libFuzzer runs for the test suite (label fuzz).
#   fuzz-short.sh build SUBBUILD                         builds the fuzz targets with clang
#   fuzz-short.sh run SUBBUILD TARGET SECONDS SEEDDIR... runs one target from copies of the seeds
#                                                        (and tests/fuzz/NAME.dict for fuzz_NAME)
# Exits 77 (skipped) where clang++ cannot build a libFuzzer program; scripts/setup-deps.sh
# installs what it needs. A failing run keeps its folder with the crashing input.
set -eu
mode=$1
build=$2
shift 2
src=$(cd "$(dirname "$0")/../.." && pwd)
case $mode in
build)
    probe=$(mktemp -d "${TMPDIR:-/tmp}/kennel-fuzz-probe.XXXXXX")
    echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' >"$probe/p.cpp"
    if ! clang++ -fsanitize=fuzzer,address,undefined "$probe/p.cpp" -o "$probe/p" 2>/dev/null; then
        rm -rf "$probe"
        echo "SKIPPED: clang++ with libFuzzer missing (Debian: clang libclang-rt-14-dev)"
        exit 77
    fi
    rm -rf "$probe"
    cmake -S "$src" -B "$build" -DKENNEL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build "$build" --target fuzz_registry fuzz_backup_info fuzz_lha_reader -j"$(nproc)"
    ;;
run)
    target=$1
    seconds=$2
    shift 2
    bin=$build/fuzz/$target
    if [ ! -x "$bin" ]; then
        echo "SKIPPED: $bin not built (see the test fuzz_build)"
        exit 77
    fi
    work=$(mktemp -d "${TMPDIR:-/tmp}/kennel-$target.XXXXXX")
    mkdir "$work/corpus"
    for seeds in "$@"; do cp "$seeds"/* "$work/corpus/"; done
    dict=$src/tests/fuzz/${target#fuzz_}.dict # the keys of the file kind, where there is one
    if [ -f "$dict" ]; then set -- "-dict=$dict"; else set --; fi
    if "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/" "$@" "$work/corpus" 2>"$work/log"; then
        grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::number_of_executed_units|^stat::peak_rss' "$work/log" || true
        rm -rf "$work"
    else
        tail -n 60 "$work/log"
        echo "FAILED: input and log kept in $work"
        exit 1
    fi
    ;;
esac
