#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The package as installed: unpacked into a root of its own and started through its
# /usr/bin/zupfomat link from another working directory on a private X server. The main window
# must show riff 1's sheet from the packaged Data, and a click on PLAY must play riff1.wma,
# which SDL's disk driver writes into a file that bench_loop --map finds in the recording.
# Before that, --help and --version must answer on the terminal without any display.
# Usage: run_installed.sh DEB-FOLDER BENCH-LOOP
set -u
timeout_s=60

if [ "${1:-}" != --inside ]; then
  self=$(readlink -f "$0") bench_loop=$(readlink -f "$2")
  shopt -s nullglob
  debs=("$1"/zupfomat_*.deb)
  [ ${#debs[@]} = 1 ] || { echo "FAIL: expected one zupfomat_*.deb in $1, found ${#debs[@]}"; exit 1; }
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  dpkg-deb -x "${debs[0]}" "$work/root" || exit 1
  version=$(dpkg-deb -f "${debs[0]}" Version) version=${version%-*}
  # No display at all: a program that made its application first would end with an error.
  answer() { env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb timeout 10 "$work/root/usr/bin/zupfomat" "$@" 2>&1; }
  help=$(answer --help) || { echo "FAIL: zupfomat --help ended with $?: $help"; exit 1; }
  for expected in "Zupfomat $version" --help --version Data; do
    grep -qF -- "$expected" <<<"$help" || { echo "FAIL: zupfomat --help does not mention $expected:"; echo "$help"; exit 1; }
  done
  version_text=$(answer --version) || { echo "FAIL: zupfomat --version ended with $?: $version_text"; exit 1; }
  head -1 <<<"$version_text" | grep -qx "Zupfomat $version" &&
    grep -qF GPL-3.0-or-later <<<"$version_text" ||
    { echo "FAIL: zupfomat --version does not say Zupfomat $version under GPL-3.0-or-later:"; echo "$version_text"; exit 1; }
  echo "--help and --version answer without a display"
  # A private X server on a display number it picks itself (-displayfd) and writes out once it
  # takes connections: xvfb-run -a can hand two servers started at once the same number.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$work/display" ] || { echo "FAIL: Xvfb did not start:"; cat "$work/xvfb.log"; exit 1; }
  mkdir "$work/elsewhere"
  cd "$work/elsewhere" || exit 1
  DISPLAY=:$(head -1 "$work/display") "$self" --inside "$work" "$bench_loop"
  exit
fi

work=$2 bench_loop=$3
root=$work/root
data=$root/usr/share/zupfomat/Data
sound=$work/sound.raw
fail() { echo "FAIL: $*"; echo "--- program output:"; cat "$work/program.log"; exit 1; }
# Runs a check every half second until it passes or the time is up.
poll() {
  local deadline=$((SECONDS + timeout_s))
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    kill -0 "$pid" 2>/dev/null || fail "the program ended"
    sleep 0.5
  done
}
loud_bytes() { [ -f "$sound" ] && tr -d '\0' <"$sound" | wc -c || echo 0; }

SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$sound QT_QPA_PLATFORM=xcb "$root/usr/bin/zupfomat" >"$work/program.log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null' EXIT

find_window() { window=$(xdotool search --onlyvisible --pid "$pid" --name Zupfomat 2>/dev/null | head -1) && [ -n "$window" ]; }
poll find_window || fail "no Zupfomat window within $timeout_s s"

# The sheet box sits at the design's Picture1 corner and shows riff1.gif pixel for pixel; the
# window is 999 px wide, so the 700 px sheet is whole. A missing Data would show a message.
sheet_geometry=$(identify -format '%wx%h' "$data/images/riff1.gif")+109+161
sheet_shown() {
  import -window "$window" "$work/window.png" 2>/dev/null &&
    convert "$work/window.png" -crop "$sheet_geometry" +repage "$work/sheet.png" &&
    [ "$(compare -metric AE "$work/sheet.png" "$data/images/riff1.gif" null: 2>&1)" = 0 ]
}
if ! poll sheet_shown; then
  cp "$work/window.png" "${TMPDIR:-/tmp}/zupfomat-package-window.png" 2>/dev/null
  fail "riff 1's sheet is not shown at +109+161 (the window: ${TMPDIR:-/tmp}/zupfomat-package-window.png)"
fi
colours=$(identify -format '%k' "$work/window.png")
[ "$colours" -gt 16 ] || fail "the window picture has only $colours colours"
echo "main window shows riff 1's sheet ($colours colours in the window)"

[ "$(loud_bytes)" = 0 ] || fail "sound before PLAY was clicked"
# Labelplay is at 257,474 and 65x17 in the design.
xdotool mousemove --window "$window" 289 482 click 1
# Two seconds of 16-bit stereo at 44.1 kHz, so the map below has a few probes.
enough_sound() { [ "$(loud_bytes)" -gt 352800 ]; }
poll enough_sound || fail "no sound within $timeout_s s of clicking PLAY ($(loud_bytes) non-zero bytes)"

# Judged from the first sound on: the recording begins anywhere in an output buffer, and a
# half-second probe that held the silence before it and its start side by side would be found
# nowhere in the recording.
first_byte=$(LC_ALL=C cmp "$sound" /dev/zero 2>/dev/null | sed -n 's/.* differ: [a-z]* \([0-9]*\),.*/\1/p')
[ -n "$first_byte" ] || fail "the capture is silent"
tail -c +$(( (first_byte - 1) / 4 * 4 + 1 )) "$sound" >"$work/heard.raw"
map=$("$bench_loop" --map "$work/heard.raw" "$data/wma/riff1.wma")
heard=$(grep -c 'recording at' <<<"$map")
echo "$map" | head -8
[ "$heard" -ge 2 ] || fail "the sound is not riff1.wma:
$map"
grep -q 'not the recording' <<<"$map" && fail "part of the sound is not riff1.wma:
$map"
echo "PLAY played riff1.wma ($heard half-second probes found in the recording)"

# One program, one process: PLAY starts nothing of its own.
children=$(ps -o pid=,args= --ppid "$pid")
[ -z "$children" ] || fail "the program started processes of its own:
$children"
echo "one process: PLAY started no other"
