#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KENNEL_BUILD_DIR:-$root/build}"
bash "$root/scripts/setup-deps.sh"
bash "$root/scripts/build.sh" -DKENNEL_WERROR=ON
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 900
