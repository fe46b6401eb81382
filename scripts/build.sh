#!/usr/bin/env bash
# Configures and builds everything into build/ (program, archiver library, stand-in host, tests).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KENNEL_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${KENNEL_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
