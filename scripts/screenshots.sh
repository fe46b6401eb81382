#!/usr/bin/env bash
# Takes PNG screenshots of the main window and each dialog into docs/screenshots/: installs
# what is missing (Xvfb, xdotool, ImageMagick's import, a Japanese font), builds, lays out the
# demo host in a temporary folder and drives Kennel there on a private Xvfb server with keys.
# Nothing is written outside the temporary folder except docs/screenshots; the host is never
# started, so the date is never moved.
#
#   ./scripts/screenshots.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KENNEL_BUILD_DIR:-$root/build}"
out="$root/docs/screenshots"

# ---- what the script needs ---------------------------------------------------------------
bash "$root/scripts/setup-deps.sh"
missing=()
for p in xvfb xdotool imagemagick; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
fc-list :lang=ja 2>/dev/null | grep -q . || missing+=(fonts-noto-cjk)
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# Only what the screenshots need: the program, the archiver library and the stand-in host.
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target kennel unlha32 Mewmail20.exe

# ---- a private session in a temporary folder ----------------------------------------------
work="$(mktemp -d "${TMPDIR:-/tmp}/kennel-screenshots.XXXXXX")"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
export XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME/fontconfig" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# Japanese glyph forms for the CJK characters, whatever the machine's locale.
cat > "$XDG_CONFIG_HOME/fontconfig/fonts.conf" <<'EOF'
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <alias><family>sans-serif</family>
    <prefer><family>Noto Sans CJK JP</family><family>IPAGothic</family><family>IPAexGothic</family></prefer>
  </alias>
</fontconfig>
EOF
export FONTCONFIG_FILE="$XDG_CONFIG_HOME/fontconfig/fonts.conf"
export QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="kennel.messages.debug=true"
unset WAYLAND_DISPLAY SESSION_MANAGER

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"

mkdir -p "$out"
# wait_window <title>: the id of the visible window with exactly this title.
wait_window() {
  local id
  id="$(timeout 30 xdotool search --sync --onlyvisible --name "^$1\$" | head -n1)" || true
  [ -n "$id" ] || { echo "no window \"$1\"" >&2; tail -n 20 "$work/kennel.log" >&2; exit 1; }
  echo "$id"
}
# keys <title> <key>...: keyboard focus to that window, then the keys.
keys() {
  local id
  id="$(wait_window "$1")"
  shift
  xdotool windowfocus --sync "$id"
  xdotool key --delay 80 "$@"
  sleep 0.3
}
# type <title> <text>: one character at a time; xdotool maps each non-ASCII character onto a
# spare key, and a busy machine drops characters sent faster.
type_text() {
  local id ch
  id="$(wait_window "$1")"
  xdotool windowfocus --sync "$id"
  while IFS= read -r ch; do
    xdotool type --delay 150 "$ch"
    sleep 0.15
  done < <(printf '%s' "$2" | LC_ALL=C.UTF-8 grep -o .)
  sleep 0.3
}
# shot <title> <name>: the window as docs/screenshots/<name>.png, in 256 colours.
shot() {
  local id
  id="$(wait_window "$1")"
  sleep 0.7  # let it paint
  import -window "$id" -depth 8 +dither -colors 256 "png8:$out/$2.png"
  echo "  $2.png  ($1)"
}
# try_shot <title> <name>: as shot when the window comes within five seconds; otherwise says
# so and closes what came instead (a message box has the focus then).
try_shot() {
  if timeout 5 xdotool search --sync --onlyvisible --name "^$1\$" >/dev/null; then
    shot "$1" "$2"
    keys "$1" Escape
  else
    echo "  $2.png  skipped: \"$1\" did not open"
    xdotool key Escape
    sleep 0.3
  fi
}
start_kennel() {  # start_kennel <host folder>
  "$1/kennel" >>"$work/kennel.log" 2>&1 &
  kennel_pid=$!
  pids+=("$kennel_pid")
}

main="Kennel 2001"
host="$work/host"
bash "$root/demo/make-demo-host.sh" "$host" "$build/bin" >/dev/null
echo "Screenshots into $out:"

# First run: the sharing settings and the registration of the host's pet.
start_kennel "$host"
shot "Kennel 2001 環境設定" 02-config-first-run
keys "Kennel 2001 環境設定" space Tab Tab Tab space Return
type_text "Kennel 2001 - 新規登録" "ミケ"
keys "Kennel 2001 - 新規登録" Tab
type_text "Kennel 2001 - 新規登録" "山田 花子"
shot "Kennel 2001 - 新規登録" 03-first-registration
keys "Kennel 2001 - 新規登録" Return

# The main window, idle with the pet chosen; the names arrived whole.
sleep 2
if ! iconv -f CP932 -t UTF-8 "$host/Kennel.ini" 2>/dev/null | grep -q "ミケ" ||
   ! iconv -f CP932 -t UTF-8 "$host/Kennel.ini" | grep -q "山田 花子"; then
  echo "the typed names did not arrive whole; Kennel.ini holds:" >&2
  iconv -f CP932 -t UTF-8 "$host/Kennel.ini" >&2 || true
  exit 1
fi
shot "$main" 01-main-window

keys "$main" ctrl+s
shot "Kennel 2001 環境設定" 04-config
keys "Kennel 2001 環境設定" Escape

keys "$main" ctrl+b
shot "Kennel 2001 - ペットのバックアップ＆リストア" 05-backup
keys "Kennel 2001 - ペットのバックアップ＆リストア" Escape
keys "$main" ctrl+r
shot "Kennel 2001 - ペットのバックアップ＆リストア" 06-restore
keys "Kennel 2001 - ペットのバックアップ＆リストア" Escape

keys "$main" ctrl+i
shot "Kennel 2001 - おやつのインポート" 07-import-snacks
keys "Kennel 2001 - おやつのインポート" Escape

keys "$main" alt+h Return
shot "Kennel 2001 - バージョン情報" 08-about
keys "Kennel 2001 - バージョン情報" Escape
keys "$main" alt+h Down Return
try_shot "Kennel 2001 - Unlha32.dll 情報" 09-archiver-library

# The delete command's question, answered Cancel.
keys "$main" ctrl+d
shot "Kennel 2001 - 削除の確認" 10-delete-question
keys "Kennel 2001 - 削除の確認" Escape

# A new pet's registration, cancelled (the host would start after it).
keys "$main" ctrl+n
shot "Kennel 2001 - 新規ペット登録" 11-new-pet
keys "Kennel 2001 - 新規ペット登録" Escape
sleep 1.5  # the gauge runs to its end before the window is idle
keys "$main" ctrl+q
for _ in $(seq 50); do kill -0 "$kennel_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$kennel_pid" 2>/dev/null; then
  echo "Kennel did not end on Ctrl+Q; ended by the script" >&2
  kill "$kennel_pid"
fi
wait "$kennel_pid" || true

# The upgrade of a version 1.0 installation: its Kennel.ini and one mailbox folder.
old="$work/old-host"
bash "$root/demo/make-demo-host.sh" "$old" "$build/bin" >/dev/null
mkdir -p "$old/ユーザー 1"
for place in おもちゃ おやつ 受信フォルダ 送信フォルダ 添付書類ﾌｫﾙﾀﾞ 宝物; do
  cp -r "$old/$place" "$old/ユーザー 1/"
done
printf '[Kennel]\r\nLastUser = 0\r\n' > "$old/Kennel.ini"
start_kennel "$old"
shot "Kennel 2001 - 設定更新" 12-upgrade
kill "$kennel_pid" 2>/dev/null || true
wait "$kennel_pid" 2>/dev/null || true

echo "done; messages shown on the way:"
grep -o 'kennel.messages.*' "$work/kennel.log" || echo "  (none)"
