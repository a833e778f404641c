#!/usr/bin/env bash
# Load benchmark of the companion server on loopback: the lookup pages at a
# fixed rate for a fixed time. Needs wrk (Debian's 4.x has no rate option,
# so the rate is held by pacing: each connection waits 20 ms before each
# request, which with the answer time gives about 42 requests/s a connection).
#
#   bench/server/load.sh [APP_DIR] [SECONDS] [RATE]
#
# Starts its own server on a free loopback port, runs, prints the figures,
# stops the server. Targets: 500 requests/s for 30 s, no errors, p99 < 20 ms.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
app=${1:-$here/../../build/app}
secs=${2:-30}
rate=${3:-500}
log=$(mktemp)
"$app/zelmora-server" --port 0 --data "$app/serverdata" 2>"$log" &
pid=$!
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -f "$log"' EXIT
for _ in $(seq 100); do grep -q "listening on" "$log" && break; sleep 0.1; done
url=$(grep -o 'http://127\.0\.0\.1:[0-9]*' "$log" | head -1)
[ -n "$url" ] || { echo "load.sh: the server did not start" >&2; cat "$log" >&2; exit 1; }

conns=$(( (rate * 24 + 999) / 1000 ))
[ "$conns" -ge 2 ] || conns=2
pace="$here/.pace.lua"
{ cat "$here/lookups.lua"; echo 'delay = function() return 20 end'; } >"$pace"
echo "zelmora-server $url: $rate requests/s target for ${secs}s over $conns connections"
wrk -t2 -c"$conns" -d"${secs}s" --latency -s "$pace" "$url" | tee "$here/.last-run.txt"
rm -f "$pace"
echo "requests served (log lines): $(grep -c ' GET /query/' "$log")"
