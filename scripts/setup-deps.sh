#!/usr/bin/env bash
# Installs what building, running and testing Kennel needs on Debian 12 (skips what is there).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  libx11-dev libxtst-dev
  liblhasa-dev
  xvfb x11-utils
  lhasa libarchive-tools p7zip-full jlha-utils default-jre-headless
  gzip tar xz-utils
  clang libclang-rt-14-dev
  wine wine64 libfaketime g++-mingw-w64-x86-64 trayer
  desktop-file-utils appstream
  btrfs-progs xfsprogs
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
