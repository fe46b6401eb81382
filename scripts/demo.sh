#!/usr/bin/env bash
# Installs what is missing, builds, lays out a demo host folder (stand-in host and sample
# data) in build/demo-host on first use, and starts Kennel there. Needs a desktop (X11).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KENNEL_BUILD_DIR:-$root/build}"
bash "$root/scripts/setup-deps.sh"
bash "$root/scripts/build.sh"
demo="$build/demo-host"
if [ ! -e "$demo/Mewmail20.exe" ]; then
  bash "$root/demo/make-demo-host.sh" "$demo" "$build/bin"
fi
# Keep the program files current; the pets' data stays as the demo left it.
cp -f "$build/bin/kennel" "$demo/"
[ -e "$build/bin/libunlha32.so" ] && cp -f "$build/bin/libunlha32.so" "$demo/"
cp -f "$build/bin/Mewmail20.exe" "$demo/"
exec "$demo/kennel"
