#!/usr/bin/env bash
# Builds the .deb from a configured and built tree, unpacks it into a
# throw-away root and runs the installed program there as a new user would:
#   tests/packaging/smoke.sh [BUILD_DIR]      (default build)
# Checks: package metadata and dependencies, no runtime state from the build
# folder in the package, the menu entry and metainfo
# validate, the window opens under its own Xvfb with a fresh HOME, the user
# folder is filled (and holds no site data of the web engine), the
# companion server it starts answers a mobile lookup, and neither closing
# (SIGTERM) nor a crash (SIGKILL) leaves a process.
# The user's Servers.ini is written beforehand with a free port, so nothing
# here touches 8090.
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=$(realpath "${1:-build}")

say() { printf 'smoke: %s\n' "$*"; }
fail() { printf 'smoke: FAIL: %s\n' "$*" >&2; exit 1; }

SCRATCH=$(mktemp -d /tmp/zelmora-smoke-XXXXXX)
xvfb_pid=""
window_pid=""
cleanup() {
  [ -n "$window_pid" ] && kill -KILL "$window_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$SCRATCH"
}
trap cleanup EXIT

# ---- the package, built beside what a server run leaves in the build folder
say "building the package"
rm -rf "$BUILD/package"
SD=$BUILD/app/serverdata
planted=()
plant() { [ -e "$SD/$1" ] || { mkdir -p "$(dirname "$SD/$1")"; echo '{}' >"$SD/$1"; planted+=("$SD/$1"); }; }
for f in feed-state.json feed.conf forecasts/54511.json mobile.tsv.tmp123-4 server.log; do plant "$f"; done
cpack --config "$BUILD/CPackConfig.cmake" -B "$BUILD/package" >"$SCRATCH/cpack.log" 2>&1 ||
  { rm -f "${planted[@]}"; cat "$SCRATCH/cpack.log" >&2; fail "cpack"; }
rm -f "${planted[@]}"
DEB=$(ls "$BUILD"/package/zelmora_*.deb)
# Only the generated tables and the publication, never runtime state.
stray=$(dpkg-deb -c "$DEB" | awk '{print $6}' | grep '^\./usr/share/zelmora/serverdata/.' |
  grep -Ev '^\./usr/share/zelmora/serverdata/([^/]+\.(tsv|db)|SOURCES\.txt|publication/.*)$' || true)
[ -z "$stray" ] || fail "the package ships runtime state: $stray"
depends=$(dpkg-deb -f "$DEB" Depends)
say "$(basename "$DEB"): Depends: $depends"
for lib in libwxgtk3.2 libwxgtk-webview3.2 libcurl4 fonts-noto-cjk wx3.2-i18n; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib"
done

ROOT=$SCRATCH/root
dpkg -x "$DEB" "$ROOT"
for f in usr/bin/zelmora usr/bin/zelmora-cli usr/libexec/zelmora/zelmora-server \
         usr/share/zelmora/Weather.ini usr/share/zelmora/serverdata/mobile.tsv \
         usr/share/applications/org.example.zelmora.desktop usr/share/metainfo/org.example.zelmora.metainfo.xml \
         usr/share/icons/hicolor/48x48/apps/org.example.zelmora.png usr/lib/systemd/user/zelmora-server.service; do
  [ -e "$ROOT/$f" ] || fail "the package lacks /$f"
done
grep -q '^ExecStart=/usr/libexec/zelmora/zelmora-server .*--data /usr/share/zelmora/serverdata' \
  "$ROOT/usr/lib/systemd/user/zelmora-server.service" || fail "the user unit does not name the packaged server"
desktop-file-validate "$ROOT/usr/share/applications/org.example.zelmora.desktop"
appstreamcli validate --no-net "$ROOT/usr/share/metainfo/org.example.zelmora.metainfo.xml" >/dev/null ||
  fail "appstreamcli validate"

share_state() { (cd "$ROOT/usr/share/zelmora" && find . -printf '%p %s %T@\n' | sort); }
share_state >"$SCRATCH/share.before"

# ---- the CLI without --app takes the user's folder, as the window does
HOME2=$SCRATCH/home2
env -i HOME="$HOME2" PATH=/usr/bin:/bin LANG=C.UTF-8 "$ROOT/usr/bin/zelmora-cli" luck 13800138000 >/dev/null ||
  fail "zelmora-cli in the installed tree"
[ -f "$HOME2/.local/share/zelmora/Weather.ini" ] || fail "zelmora-cli did not fill the user's folder"

# ---- a fresh user with the servers on a free port
HOME_DIR=$SCRATCH/home
USER_DIR=$HOME_DIR/.local/share/zelmora
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
PORT=$(free_port)
# The server's live feed stays on, pointed at a loopback port nobody serves.
DEAD_PORT=$(free_port)
mkdir -p "$USER_DIR"
printf '[servers]\r\n' >"$USER_DIR/Servers.ini"
for k in CC CN Online Lookup Update; do printf '%s=http://127.0.0.1:%s\r\n' "$k" "$PORT" >>"$USER_DIR/Servers.ini"; done
cp "$USER_DIR/Servers.ini" "$SCRATCH/servers.expected"

exec 3>"$SCRATCH/display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 >"$SCRATCH/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$SCRATCH/display" ] && break; sleep 0.1; done
DISPLAY_NAME=:$(head -n1 "$SCRATCH/display")
[ "$DISPLAY_NAME" != ":" ] || fail "Xvfb did not start"

# Every process the installed program started carries this HOME.
leftovers() { { grep -l -z "^HOME=$HOME_DIR\$" /proc/[0-9]*/environ 2>/dev/null || true; } | cut -d/ -f3 |
  while read -r p; do [ "$(cut -d' ' -f3 "/proc/$p/stat" 2>/dev/null)" = Z ] || echo "$p"; done; }
answers() { curl -s -o /dev/null --max-time 1 "http://127.0.0.1:$PORT/" ; }

# A session bus of its own, as a desktop session has, so nothing is
# autolaunched that outlives the run; it ends with the window.
start_window() {
  env -i HOME="$HOME_DIR" PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$DISPLAY_NAME" NO_AT_BRIDGE=1 \
    ZEL_SERVER_ARGS="--feed-url http://127.0.0.1:$DEAD_PORT" \
    dbus-run-session -- "$ROOT/usr/bin/zelmora" >>"$SCRATCH/window.log" 2>&1 &
  session_pid=$!
  window_pid=""
  server_pid=""
  local i
  for i in $(seq 300); do
    [ -n "$window_pid" ] || window_pid=$(child_named "$session_pid" zelmora)
    if [ -n "$window_pid" ] && xwininfo -display "$DISPLAY_NAME" -root -tree 2>/dev/null | grep -q 'Zelmora天气预报5.9'; then
      break
    fi
    kill -0 "$session_pid" 2>/dev/null || { cat "$SCRATCH/window.log" >&2; fail "the window exited at start"; }
    sleep 0.1
  done
  [ "$i" -lt 300 ] || fail "no window within 30 s"
  # window -> keeper (a copy of the window) -> server
  server_pid=$(child_named "$(ps -o pid= --ppid "$window_pid" | tr -d " " | paste -sd, -)" zelmora-server)
  [ -n "$server_pid" ] || fail "the window started no companion server"
}

child_named() { ps -o pid=,comm= --ppid "$1" | awk -v n="$2" '$2 == n {print $1}' || true; }

ended_within() {  # ended_within SECONDS PID...
  local t=$(( $1 * 10 )); shift
  for _ in $(seq "$t"); do
    local alive=0 p
    for p in "$@"; do [ -e "/proc/$p" ] && [ "$(cut -d' ' -f3 "/proc/$p/stat" 2>/dev/null)" != Z ] && alive=1; done
    [ "$alive" = 0 ] && return 0
    sleep 0.1
  done
  return 1
}

# ---- first start: the folder is filled, the lookup answers, closing is clean
say "first start (display $DISPLAY_NAME, port $PORT)"
t0=$SECONDS
start_window
for f in Weather.ini mailtel.ini Template/default Download images; do
  [ -e "$USER_DIR/$f" ] || fail "the user folder lacks $f"
done
[ ! -e "$USER_DIR/serverdata/mobile.tsv" ] || fail "the server data was copied into the user folder"
cmp -s "$USER_DIR/Servers.ini" "$SCRATCH/servers.expected" || fail "the user's Servers.ini was replaced"
answer=$(curl -s --max-time 5 "http://127.0.0.1:$PORT/query/tel.asp?tel=13800138000" | iconv -f GBK -t UTF-8)
grep -q '北京' <<<"$answer" || fail "the mobile lookup did not answer 北京: $answer"
say "window up in $((SECONDS - t0)) s; server $server_pid answers 13800138000 with 北京"
kill -TERM "$window_pid"
ended_within 15 "$window_pid" || fail "the window did not close on SIGTERM"
wait "$session_pid" || fail "the window exited with status $?"
ended_within 5 "$server_pid" || fail "the server outlived the closed window"
if answers; then fail "something still answers on $PORT"; fi
# The views show only local pages: no site data in the user's folder.
for f in hsts-storage.sqlite storage mediakeys; do
  [ ! -e "$USER_DIR/$f" ] || fail "the web engine left $f in the user's folder"
done
# Services of the session bus (accessibility) go when the bus has gone.
ended_within 10 $(leftovers) || { ps -o pid,ppid,comm -p "$(leftovers | paste -sd,)" >&2 || true; fail "processes left after closing"; }

# ---- second start: the user's files stay; a crash leaves no server
echo '[Favorite]' >"$USER_DIR/Favorite.ini"
printf 'mine' >"$USER_DIR/Hello.htm"
say "second start, then SIGKILL"
start_window
[ "$(cat "$USER_DIR/Hello.htm")" = mine ] || fail "the second start replaced the user's Hello.htm"
kill -KILL "$window_pid"
wait "$session_pid" 2>/dev/null || true
ended_within 10 "$server_pid" || fail "the server outlived the killed window"
ended_within 10 $(leftovers) || fail "processes left after the window was killed: $(leftovers)"
window_pid=""
share_state | diff "$SCRATCH/share.before" - >&2 || fail "something was written into share/zelmora"
[ -f "$USER_DIR/serverdata/feed-state.json" ] || fail "the server's state is not in the user's folder"
say "passed in $SECONDS s"
