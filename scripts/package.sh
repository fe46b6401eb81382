#!/usr/bin/env bash
# Installs what is missing, builds only what the package holds (kennel and the archiver
# library) and makes the Debian package build/package/kennel_VERSION_ARCH.deb, ready for
# `sudo apt install ./build/package/kennel_*.deb`.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KENNEL_BUILD_DIR:-$root/build}"
bash "$root/scripts/setup-deps.sh"
[ -f "$build/CMakeCache.txt" ] ||
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${KENNEL_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)" --target kennel unlha32
(cd "$build" && cpack)
