#!/bin/sh
# Builds the archive reader fuzzer (libFuzzer, clang) and runs it for a while.
#   tests/unlha32/run-fuzzer.sh [seconds]     (default 60)
# BUILD_DIR chooses the build folder (default: a new temporary one). The seed corpus is copied
# to a temporary folder, so the run never changes the sources; crashes are saved there too.
set -eu
src=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
build=${BUILD_DIR:-$(mktemp -d "${TMPDIR:-/tmp}/kennel-fuzz-build.XXXXXX")}
cmake -S "$src" -B "$build" -DKENNEL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target fuzz_lha_reader -j2
work=$(mktemp -d "${TMPDIR:-/tmp}/kennel-fuzz-corpus.XXXXXX")
cp "$src"/tests/unlha32/corpus/*.lzh "$src"/tests/unlha32/data/*.lzh "$work"/
echo "fuzzing for ${seconds}s; corpus and any crash files in $work"
"$build"/fuzz/fuzz_lha_reader -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
    -max_len=65536 -artifact_prefix="$work/" "$work"
