#!/usr/bin/env bash
# Installs what is missing, builds, assembles the application folder,
# starts the companion server and opens the window.
set -euo pipefail
cd "$(dirname "$0")"

if [ "$(id -u)" -eq 0 ]; then ./scripts/setup.sh; fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

APP=build/app
server_pid=""
if [ -x "$APP/zelmora-server" ]; then
  # The live feed fetches real forecasts (see server/README.md); the server
  # keeps the national clock, the one the forecasts' days are counted in.
  # ZEL_FEED=demo (made-up figures, labelled) or off, other server options
  # in ZEL_SERVER_ARGS.
  # shellcheck disable=SC2086
  TZ=Asia/Shanghai "$APP/zelmora-server" --data "$APP/serverdata" --feed "${ZEL_FEED:-open-meteo}" ${ZEL_SERVER_ARGS:-} \
    >"$APP/server.log" 2>&1 &
  server_pid=$!
  trap '[ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true' EXIT
  # The window's first requests (update, lookup pages) need it listening.
  for _ in $(seq 50); do
    grep -q "listening on" "$APP/server.log" 2>/dev/null && break
    kill -0 "$server_pid" 2>/dev/null || { echo "run.sh: zelmora-server did not start; see $APP/server.log" >&2; break; }
    sleep 0.1
  done
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display; starting the window under Xvfb" >&2
  xvfb-run -a "$APP/zelmora"
else
  "$APP/zelmora"
fi
