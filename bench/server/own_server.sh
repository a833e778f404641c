# Sourced by the server benchmarks: starts APP's zelmora-server on a free
# loopback port and sets pid, log and url; the server stops when the script
# exits. Extra files to remove on exit go into cleanup.
cleanup=${cleanup:-}
log=$(mktemp)
"$app/zelmora-server" --port 0 --data "$app/serverdata" --feed demo 2>"$log" &
pid=$!
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -f "$log" $cleanup' EXIT
for _ in $(seq 100); do grep -q "listening on" "$log" && break; sleep 0.1; done
url=$(grep -o 'http://127\.0\.0\.1:[0-9]*' "$log" | head -1)
[ -n "$url" ] || { echo "$(basename "$0"): the server did not start" >&2; cat "$log" >&2; exit 1; }
