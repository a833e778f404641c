#!/bin/bash
# Start-up cost of the window against a floor: a bare wx frame with one web
# view, built here from bench/startup/floor.cpp. Alternating runs on one
# Xvfb display; for each: time from exec to the mapped top-level window, and
# the proportional set size (PSS) of the whole process tree 3 s after it was
# mapped. The window runs as a user starts it: its servers on a free
# loopback port where nothing answers, so it starts its own companion server
# (and the server's keeper), which are part of the tree measured. Prints the
# medians and the ratios (targets: time <= 1.2x, PSS <= 1.4x the floor's).
#
#   bench/startup.sh [APP_DIR] [RUNS]     APP_DIR defaults to build/app
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
app_dir=$(cd "${1:-$here/../build/app}" && pwd)
runs=${2:-5}
work=$(mktemp -d /tmp/zel-startup.XXXXXX)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

g++ -O2 -std=c++17 "$here/startup/floor.cpp" -o "$work/floor" $(wx-config --cxxflags --libs std,webview)

# The window runs from its own copy of the application folder, its server
# beside it. The server's live feed stays off: nothing leaves the machine.
cp -a "$app_dir" "$work/app"
rm -f "$work/app/Favorite.ini"
[ -x "$work/app/zelmora-server" ] || { echo "no zelmora-server in $app_dir" >&2; exit 1; }
export ZEL_FEED=off

# A loopback port nothing answers on, for each run (a server of the last run
# may still be ending).
free_port() {
  local p
  for _ in $(seq 1 200); do
    p=$((20000 + RANDOM % 20000))
    (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null || { echo "$p"; return; }
  done
  return 1
}
use_port() {
  local b="http://127.0.0.1:$1"
  printf '[servers]\r\nCC=%s\r\nCN=%s\r\nOnline=%s\r\nLookup=%s\r\nUpdate=%s\r\n' "$b" "$b" "$b" "$b" "$b" \
    > "$work/app/Servers.ini"
}

for d in $(seq 90 140); do
  [ -e "/tmp/.X$d-lock" ] && continue
  Xvfb ":$d" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  sleep 0.5
  if kill -0 "$xvfb_pid" 2>/dev/null && xwininfo -display ":$d" -root >/dev/null 2>&1; then
    export DISPLAY=":$d"
    break
  fi
  xvfb_pid=
done
[ -n "${DISPLAY:-}" ] || { echo "no free display" >&2; exit 1; }

# PSS (kB) of pid and every process below it, the number of processes, and
# the PSS of the companion servers among them.
tree_pss() {
  local all=" $1 " changed=1
  while [ $changed = 1 ]; do
    changed=0
    for stat in /proc/[0-9]*/stat; do
      local p=${stat#/proc/}; p=${p%/stat}
      [[ $all == *" $p "* ]] && continue
      local ppid
      ppid=$(awk '{sub(/.*\) /, ""); print $2}' "$stat" 2>/dev/null) || continue
      if [[ $all == *" $ppid "* ]]; then all="$all$p "; changed=1; fi
    done
  done
  local sum=0 server=0
  for p in $all; do
    local v
    v=$(awk '/^Pss:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || true)
    sum=$((sum + ${v:-0}))
    [ "$(cat "/proc/$p/comm" 2>/dev/null)" = zelmora-server ] && server=$((server + ${v:-0}))
  done
  echo "$sum $(echo $all | wc -w) $server"
}

# Milliseconds from start to a viewable top-level window of class $2.
measure() {
  local exe=$1 class=$2
  local t0 pid id=""
  t0=$(date +%s%N)
  "$exe" >/dev/null 2>&1 &
  pid=$!
  while [ -z "$id" ]; do
    id=$(xwininfo -root -children 2>/dev/null | awk -v c="\"$class\"" 'index($0, c) {print $1; exit}')
    if [ -n "$id" ] && ! xwininfo -id "$id" 2>/dev/null | grep -q IsViewable; then id=""; fi
    [ -z "$id" ] && sleep 0.005
  done
  local t1; t1=$(date +%s%N)
  sleep 3
  local pss; pss=$(tree_pss "$pid")
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  sleep 1
  echo "$(( (t1 - t0) / 1000000 )) $pss"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

: > "$work/floor.txt"; : > "$work/app.txt"
for i in $(seq 1 "$runs"); do
  measure "$work/floor" floor >> "$work/floor.txt"
  use_port "$(free_port)"
  measure "$work/app/zelmora" zelmora >> "$work/app.txt"
done

ft=$(awk '{print $1}' "$work/floor.txt" | median); fp=$(awk '{print $2}' "$work/floor.txt" | median)
at=$(awk '{print $1}' "$work/app.txt" | median); ap=$(awk '{print $2}' "$work/app.txt" | median)
fn=$(awk '{print $3}' "$work/floor.txt" | median); an=$(awk '{print $3}' "$work/app.txt" | median)
sp=$(awk '{print $4}' "$work/app.txt" | median)
echo "runs: $runs each, alternating"
echo "floor:  mapped after ${ft} ms, PSS ${fp} kB in ${fn} processes"
echo "window: mapped after ${at} ms, PSS ${ap} kB in ${an} processes (its companion server ${sp} kB)"
[ "$sp" -gt 0 ] || echo "warning: no companion server was in the window's tree" >&2
awk -v a="$at" -v f="$ft" -v ap="$ap" -v fp="$fp" \
  'BEGIN {printf "ratios: time %.2fx (target 1.20x), PSS %.2fx (target 1.40x)\n", a / f, ap / fp}'
