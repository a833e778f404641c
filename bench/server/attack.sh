#!/usr/bin/env bash
# The companion server under hostile clients on loopback:
#   1. 200 connections each sending a header line every 4 s (reopened when
#      the server cuts them) while wrk measures normal lookup requests;
#   2. header floods: 4 connections sending header lines as fast as they go,
#      with the server's resident memory before, at its peak and after.
#
#   bench/server/attack.sh [APP_DIR] [SECONDS] [FLOOD_MB]
#
# Targets: p99 of the normal requests under 50 ms with no errors; memory
# bounded under the flood (peak no more than a few MB over the start).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
app=${1:-$here/../../build/app}
secs=${2:-30}
floodmb=${3:-400}
cleanup="$here/.pace.lua"
. "$here/own_server.sh"
port=${url##*:}
rss() { awk -v k="$1:" '$1 == k { print $2 " kB" }' "/proc/$pid/status"; }

echo "== 200 slow connections for ${secs}s, normal requests measured meanwhile ($url)"
python3 "$here/hostile.py" slow "$port" 200 4 "$((secs + 10))" &
slowpid=$!
sleep 5  # all 200 open and dripping
{ cat "$here/lookups.lua"; echo 'delay = function() return 20 end'; } >"$here/.pace.lua"
wrk -t2 -c12 -d"${secs}s" --latency -s "$here/.pace.lua" "$url" | tee "$here/.last-attack.txt"
wait "$slowpid"

echo "== header flood: ${floodmb} MB over 4 connections"
echo "RSS before: $(rss VmRSS)"
python3 "$here/hostile.py" flood "$port" 4 "$floodmb"
echo "RSS after:  $(rss VmRSS) (peak $(rss VmHWM))"
echo "refusals logged: $(grep -c ' refused ' "$log")"
curl -s -o /dev/null -w "normal request after the attacks: %{http_code}\n" "$url/query/tel.asp?tel=13800138000"
