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
. "$here/own_server.sh"

conns=$(( (rate * 24 + 999) / 1000 ))
[ "$conns" -ge 2 ] || conns=2
pace="$here/.pace.lua"
{ cat "$here/lookups.lua"; echo 'delay = function() return 20 end'; } >"$pace"
echo "zelmora-server $url: $rate requests/s target for ${secs}s over $conns connections"
wrk -t2 -c"$conns" -d"${secs}s" --latency -s "$pace" "$url" | tee "$here/.last-run.txt"
rm -f "$pace"
echo "requests served (log lines): $(grep -c ' GET /query/' "$log")"
