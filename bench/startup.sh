#!/usr/bin/env bash
# Program start to its main window mapped on the X server, ten runs (run under xvfb-run).
set -u
program="$1"
times=()
for run in $(seq 10); do
  start=$(date +%s%N)
  "$program" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 1000); do # at most about ten seconds
    xdotool search --onlyvisible --name "Zupfomat" >/dev/null 2>&1 && break
    kill -0 "$pid" 2>/dev/null || break # the X server turned it away: not a start-up figure
    sleep 0.01
  done
  end=$(date +%s%N)
  if kill "$pid" 2>/dev/null; then
    times+=($(( (end - start) / 1000 )))
  fi
  wait "$pid" 2>/dev/null
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
n=${#sorted[@]}
[ "$n" -gt 0 ] || { echo "program start to window shown (xcb): no runs"; exit 0; }
awk -v med="${sorted[$((n / 2))]}" -v min="${sorted[0]}" -v max="${sorted[$((n - 1))]}" -v n="$n" \
  'BEGIN { printf "program start to window shown (xcb): %.1f ms (%.1f … %.1f, %d runs)\n", med / 1000, min / 1000, max / 1000, n }'
