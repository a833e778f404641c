#!/bin/bash
# First showing of the 万年历 and 邮编区号 tabs, each in a fresh window on one
# Xvfb display: medians of the milliseconds from the tab shown to its web
# view made, its page loaded, and its page's pixels on the display.
#
#   bench/first_page.sh [BUILD_DIR] [RUNS]     BUILD_DIR defaults to build
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
runs=${2:-7}
exe=$build/bench/first_page_bench
[ -x "$exe" ] || { echo "no $exe (a build with the window)" >&2; exit 1; }
export ZEL_FEED=off
out=$(mktemp)
trap 'rm -f "$out"' EXIT
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  for i in $(seq 1 '"$runs"'); do
    for tab in 1 4; do "'"$exe"'" $tab 2>/dev/null || true; done
  done' > "$out"
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
for tab in 1 4; do
  name=$([ $tab = 1 ] && echo "万年历" || echo "邮编区号")
  n=$(awk -v t=$tab '$1 == t' "$out" | wc -l)
  v=$(awk -v t=$tab '$1 == t {print $2}' "$out" | median)
  l=$(awk -v t=$tab '$1 == t {print $3}' "$out" | median)
  s=$(awk -v t=$tab '$1 == t {print $4}' "$out" | median)
  echo "$name ($n runs): view made ${v} ms, page loaded ${l} ms, pixels shown ${s} ms"
done
