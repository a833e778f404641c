#!/usr/bin/env bash
# zelmora-server.exe under Wine answers mobile lookups over loopback with the
# same pages, byte for byte, as the Linux server on the same data.
#   tests/windows/server_matches_linux.sh LINUX_SERVER WINDOWS_SERVER_EXE DATA_DIR
set -euo pipefail
linux=$1 win=$2 data=$3
export ZEL_FEED=off
state=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$state"
}
trap cleanup EXIT
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

lport=$(free_port)
"$linux" --listen 127.0.0.1 --port "$lport" --data "$data" --state "$state/linux" >"$state/linux.log" 2>&1 &
pids+=($!)
wport=$(free_port)
wine "$win" --listen 127.0.0.1 --port "$wport" --data "$data" --state "$state/win" >"$state/win.log" 2>&1 &
pids+=($!)

ask() { curl -s --max-time 10 "http://127.0.0.1:$1/query/tel.asp?tel=$2"; }
# A first start under Wine takes a few seconds.
for _ in $(seq 120); do
  ask "$wport" 13800138000 >/dev/null && ask "$lport" 13800138000 >/dev/null && break
  sleep 0.5
done
fail=0
for tel in 13800138000 1391234 17712345678 13500000000 123456 abc; do
  want=$(ask "$lport" "$tel" | od -An -tx1)
  got=$(ask "$wport" "$tel" | od -An -tx1)
  if [ -z "$got" ] || [ "$want" != "$got" ]; then
    echo "FAIL: tel=$tel: the Windows server's page differs (or is missing)"
    fail=1
  fi
done
if [ "$fail" -ne 0 ]; then
  echo "--- Windows server log"; cat "$state/win.log"
fi
[ "$fail" -eq 0 ] && echo "zelmora-server.exe under Wine answers 6 mobile lookups as the Linux server does"
exit "$fail"
