#!/usr/bin/env bash
# Installs what is missing, builds only what the demo needs (kennel, the archiver library, the
# stand-in host; not the tests), lays out a demo host folder (stand-in host and sample data) on
# first use, and starts Kennel there. Needs an X11 display: the host's window is found and
# driven through X11.
#
#   ./scripts/demo.sh           the Qt stand-in host, in build/demo-host
#   ./scripts/demo.sh windows   the Windows stand-in host under Wine, in the Wine prefix
#                               build/demo-wine (host folder build/demo-wine/drive_c/Mewmail)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KENNEL_BUILD_DIR:-$root/build}"
bash "$root/scripts/setup-deps.sh"
[ -f "$build/CMakeCache.txt" ] ||
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${KENNEL_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
targets=(kennel unlha32 Mewmail20.exe)
if [ "${1:-}" = windows ]; then
  cmake --build "$build" --target help | grep -q mewmail_win && targets+=(mewmail_win)
fi
echo "Building only what the demo needs: ${targets[*]} (./scripts/test.sh builds the rest)"
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
if [ "${1:-}" = windows ]; then
  prefix="$build/demo-wine"
  demo="$prefix/drive_c/Mewmail"
  host="$build/win/Mewmail20.exe"
  [ -e "$host" ] || { echo "the Windows stand-in was not built (needs x86_64-w64-mingw32-g++)" >&2; exit 1; }
  if [ ! -d "$prefix/drive_c" ]; then
    echo "Making the Wine prefix $prefix (takes a quarter of a minute)"
    WINEPREFIX="$prefix" WINEDEBUG=-all wineboot -i
  fi
else
  demo="$build/demo-host"
  host="$build/bin/Mewmail20.exe"
  if command -v wine >/dev/null && command -v x86_64-w64-mingw32-g++ >/dev/null; then
    echo "Wine is installed: ./scripts/demo.sh windows runs the Windows stand-in host under Wine."
  fi
fi
if [ ! -e "$demo/Mewmail20.exe" ]; then
  bash "$root/demo/make-demo-host.sh" "$demo" "$build/bin"
fi
# Keep the program files current; the pets' data stays as the demo left it.
cp -f "$build/bin/kennel" "$demo/"
[ -e "$build/bin/libunlha32.so" ] && cp -f "$build/bin/libunlha32.so" "$demo/"
cp -f "$host" "$demo/Mewmail20.exe"
# Kennel runs a Windows host in the Wine prefix its folder lies in.
unset WINEPREFIX
exec "$demo/kennel"
