#!/usr/bin/env bash
# The companion server under hostile clients on loopback:
#   1. 200, then 2,000 connections each sending a header line every 4 s
#      (reopened when the server cuts them) while wrk measures normal lookup
#      requests at about 500/s;
#   2. header floods: 4 connections sending header lines as fast as they go,
#      with the server's resident memory before, at its highest while the
#      flood runs (sampled every 0.1 s) and after.
#
#   bench/server/attack.sh [APP_DIR] [SECONDS] [FLOOD_MB] [SLOW_COUNTS]
#
# Targets: at least 500 requests/s, p99 of the normal requests at most
# 20 ms with no errors while 2,000 slow connections are held; resident
# memory at most 100 MB under the flood.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
app=${1:-$here/../../build/app}
secs=${2:-30}
floodmb=${3:-400}
slowcounts=${4:-200 2000}
cleanup="$here/.pace.lua"
. "$here/own_server.sh"
port=${url##*:}
rss() { awk -v k="$1:" '$1 == k { print $2 }' "/proc/$pid/status"; }
{ cat "$here/lookups.lua"; echo 'delay = function() return 20 end'; } >"$here/.pace.lua"

for n in $slowcounts; do
  echo "== $n slow connections for ${secs}s, normal requests measured meanwhile ($url)"
  python3 "$here/hostile.py" slow "$port" "$n" 4 "$((secs + 10))" &
  slowpid=$!
  sleep 5  # all open and dripping
  echo "open descriptors of the server: $(ls /proc/$pid/fd | wc -l), RSS $(rss VmRSS) kB"
  wrk -t2 -c12 -d"${secs}s" --latency -s "$here/.pace.lua" "$url" | tee "$here/.last-attack-$n.txt"
  wait "$slowpid"
done

echo "== header flood: ${floodmb} MB over 4 connections"
before=$(rss VmRSS)
peakfile=$(mktemp)
cleanup="$cleanup $peakfile"
( top=0; while kill -0 "$pid" 2>/dev/null; do
    r=$(rss VmRSS); [ "$r" -gt "$top" ] && { top=$r; echo "$top" >"$peakfile"; }; sleep 0.1; done ) &
sampler=$!
python3 "$here/hostile.py" flood "$port" 4 "$floodmb"
kill "$sampler" 2>/dev/null || true
echo "RSS before the flood $before kB, highest during it $(cat "$peakfile") kB, after $(rss VmRSS) kB" \
     "(process peak $(rss VmHWM) kB)"
echo "refusals logged: $(grep -c ' refused ' "$log" || true), log $(wc -c <"$log") bytes"
curl -s -o /dev/null -w "normal request after the attacks: %{http_code}\n" "$url/query/tel.asp?tel=13800138000"
