#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every window on small screens and at 150 % scaling, used as a user would on a private X server
# with a window manager: 1024x600, 1366x768, and 1920x1080 at QT_SCALE_FACTOR=1.5. Each
# window's frame must lie on the screen, and "?" on the main window and "Zurück zur Zupfomat" on
# every lesson page must be brought into view with the mouse wheel and clicked, doing what they
# do. The program runs from the build folder, with the demo content beside it.
# Usage: small_screens.sh PROGRAM
set -u
timeout_s=60
view_wait_s=3 # how long a view may take to show its picture after the wheel turned

if [ "${1:-}" != --inside ]; then
  self=$(readlink -f "$0") program=$(readlink -f "$1")
  [ -f "$(dirname "$program")/Data/.complete" ] ||
    { echo "FAIL: no demo content beside $program (make content writes it)"; exit 1; }
  for tool in xvfb-run openbox xdotool xwininfo xprop import convert; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (make test-deps installs it)"; exit 1; }
  done
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  status=0
  for screen in "1024x600 1" "1366x768 1" "1920x1080 1.5"; do
    read -r size scale <<<"$screen"
    echo "== ${size}, scale $scale"
    xvfb-run -a -s "-screen 0 ${size}x24" "$self" --inside "$work" "$program" "$size" "$scale" || status=1
  done
  exit $status
fi

work=$2 program=$3 size=$4 scale=$5
screen_w=${size%x*} screen_h=${size#*x}
log=$work/program-$size.log
shot=$work/window-$size.png
fail()
{
  echo "FAIL (${size}, scale $scale): $*"
  [ -f "$shot" ] && cp "$shot" "${TMPDIR:-/tmp}/zupfomat-small-screens-$size.png" &&
    echo "the last window picture: ${TMPDIR:-/tmp}/zupfomat-small-screens-$size.png"
  [ -f "$log" ] && { echo "--- program output:"; cat "$log"; }
  exit 1
}
# Runs a check every tenth of a second until it passes or the time is up.
poll_for()
{
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    [ -z "${pid:-}" ] || kill -0 "$pid" 2>/dev/null || fail "the program ended"
    sleep 0.1
  done
}
poll() { poll_for "$timeout_s" "$@"; }

openbox --sm-disable >"$work/openbox-$size.log" 2>&1 &
wm=$!
trap 'kill "${pid:-}" "$wm" 2>/dev/null; wait 2>/dev/null' EXIT
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
poll wm_running || fail "the window manager did not start"

env -u QT_SCREEN_SCALE_FACTORS -u QT_AUTO_SCREEN_SCALE_FACTOR -u QT_ENABLE_HIGHDPI_SCALING \
  QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$scale" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/sound-$size.raw" \
  "$program" >"$log" 2>&1 &
pid=$!

# The shown window of the program with exactly this title.
window_named()
{
  local w
  for w in $(xdotool search --onlyvisible --pid "$pid" --name . 2>/dev/null); do
    [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$1" ] && { window=$w; return 0; }
  done
  return 1
}
window_gone() { ! window_named "$1"; }
find_window() { poll window_named "$1" || fail "no window \"$1\" within $timeout_s s"; }

# The frame is the client area and the frame extents the window manager gives it.
frame_on_screen()
{
  local x y w h l r t b
  read -r x y w h < <(xwininfo -id "$1" 2>/dev/null |
    awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /^ *Width:/{w=$NF} /^ *Height:/{h=$NF} END{print x, y, w, h}')
  read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//; s/,/ /gp')
  [ -n "${h:-}" ] && [ -n "${b:-}" ] || return 1
  frame="$((w + l + r))x$((h + t + b))+$((x - l))+$((y - t))"
  [ $((x - l)) -ge 0 ] && [ $((y - t)) -ge 0 ] && [ $((x + w + r)) -le "$screen_w" ] && [ $((y + h + b)) -le "$screen_h" ]
}
check_frame()
{
  frame=unknown
  poll frame_on_screen "$2" || fail "the frame of $1 is not on the ${size} screen: $frame"
  echo "$1: frame $frame on the ${size} screen"
}

# The middle of a patch of exactly one colour in the window's picture, in the window's pixels:
# the largest patch, or the rightmost, of at least the size given: a control cut off by the
# window's edge is not yet in view.
find_patch() # window colour minimum-width minimum-height largest|rightmost
{
  import -window "$1" "$shot" 2>/dev/null || return 1
  spot=$(convert "$shot" -fill black +opaque "$2" -fill white -opaque "$2" \
           -define connected-components:verbose=true -connected-components 8 null: 2>/dev/null |
         awk -v width="$3" -v height="$4" -v choice="$5" '
           $NF ~ /255,255,255|gray\(255\)/ {
             split($2, box, /[x+]/)
             if (box[1] < width || box[2] < height) next
             key = choice == "rightmost" ? box[3] + box[1] : $(NF-1)
             if (!found || key > best) { found = 1; best = key; spot = int(box[3] + box[1] / 2) " " int(box[4] + box[2] / 2) }
           }
           END { if (found) print spot }')
  [ -n "$spot" ]
}
# Turns the mouse wheel over the window's middle: 4 up, 5 down, 6 left, 7 right.
turn_wheel() # window vertical-button horizontal-button
{
  local w h
  read -r w h < <(xwininfo -id "$1" | awk '/^ *Width:/{w=$NF} /^ *Height:/{h=$NF} END{print w, h}')
  xdotool mousemove --window "$1" $((w / 2)) $((h / 2)) click --repeat 40 --delay 5 "$2" click --repeat 40 --delay 5 "$3"
}
# Brings a control of one colour into view, in the view as the window opened or at one of the
# corners its wheel scrolls to, and clicks its middle.
click_control() # window colour minimum-size largest|rightmost name
{
  local view how
  for view in "" "5 7" "4 6" "5 6" "4 7"; do
    how="as opened"
    [ -z "$view" ] || { turn_wheel "$1" $view; how="wheel buttons $view"; }
    if poll_for "$view_wait_s" find_patch "$1" "$2" $3 "$4"; then
      xdotool mousemove --window "$1" $spot click 1
      echo "$5: clicked at $spot in the window ($how)"
      return 0
    fi
  done
  fail "$5 ($2) cannot be brought into view"
}

# A control's least size on the screen: its design size less its border and rounding, scaled.
on_screen() { awk -v w="$1" -v h="$2" -v scale="$scale" 'BEGIN { print int((w - 4) * scale), int((h - 4) * scale) }'; }
question_mark=$(on_screen 10 13) back_button=$(on_screen 102 51)
# Each page is reached from the first through the buttons that lead on: "Beispiel" and "Weiter",
# light yellow, the last "Weiter" yellow beside the light yellow "Moll".
next_colour=("" "#FFFF80" "#FFFF80" "#FFFF80" "#FFFF00")
next_button=("" "$(on_screen 51 32)" "$(on_screen 58 35)" "$(on_screen 51 32)" "$(on_screen 60 37)")
main_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$main" ]; }

find_window " Zupfomat"
main=$window
check_frame "the main window" "$main"

# "?" is the rightmost green of the main window's bottom row: the lesson link's circle is the other.
click_control "$main" "#00C000" "$question_mark" rightmost '"?"'
find_window "Zupfomat Hilfe"
help=$window
check_frame "the help window" "$help" # it stays open beside the lesson pages, as a user may leave it

for page in 1 2 3 4 5; do
  xdotool windowactivate --sync "$main" key --clearmodifiers F2
  find_window Form3
  shown=$window
  for ((on = 1; on < page; on++)); do
    click_control "$shown" "${next_colour[$on]}" "${next_button[$on]}" largest "the way on from page $on"
    poll window_gone "Form$((on + 2))" || fail "page $on stayed open"
    find_window "Form$((on + 3))"
    shown=$window
  done
  check_frame "lesson page $page" "$shown"
  click_control "$shown" "#0000FF" "$back_button" largest "\"Zurück zur Zupfomat\" on page $page"
  poll window_gone "Form$((page + 2))" || fail "page $page stayed open after \"Zurück zur Zupfomat\""
  poll main_active || fail "the main window did not come back after \"Zurück zur Zupfomat\" on page $page"
  echo "page $page: back to the main window"
done
check_frame "the main window" "$main"
