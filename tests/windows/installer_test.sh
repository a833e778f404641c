#!/usr/bin/env bash
# The Windows packages under Wine, in a scratch prefix: the installer, run
# silently, puts the programs, the Start-menu entry and the uninstall entry
# in place; the installed CLI prints a month page and fills the user's
# folder, the installed server answers a mobile lookup (and the window, when
# the package has one, starts and closes); the uninstaller removes exactly
# what was installed and leaves the user's folder; the portable zip unpacks
# and its CLI prints the same page.
#   tests/windows/installer_test.sh SETUP_EXE ZIP [PRISTINE_PREFIX]
# A pristine prefix (booted, never used) is copied instead of booting one.
set -euo pipefail
setup=$(realpath "$1") zip=$(realpath "$2") pristine=${3:-}
scratch=$(mktemp -d)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all
# No prompts for engines Debian lacks; no menu entries on the host.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export ZEL_FEED=off
server=""
cleanup() {
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
fail=0
check() {  # check DESCRIPTION COMMAND...
  if ! "${@:2}"; then
    echo "FAIL: $1"
    fail=1
  fi
}
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

if [ -n "$pristine" ] && [ -f "$pristine/system.reg" ]; then
  cp -a "$pristine" "$WINEPREFIX"
else
  wineboot -i >/dev/null 2>&1
fi
user=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 ! -name Public | head -1)
inst=$user/AppData/Local/Programs/Zelmora
appdata=$user/AppData/Roaming/Zelmora
shortcut=$user/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/Zelmora天气预报.lnk
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zelmora'

check "the installer asks for no administrator rights" grep -qa 'level="asInvoker"' "$setup"
wine "$setup" /S
wineserver -w
python3 -m zipfile -e "$zip" "$scratch/portable"
portable=$(find "$scratch/portable" -mindepth 1 -maxdepth 1 -type d)

# The installed tree holds the zip's files, the programs in bin\ and the
# rest in share\zelmora\, byte for byte, and the uninstaller.
same_files() {
  python3 - "$portable" "$inst" <<'EOF'
import filecmp, os, sys
portable, inst = sys.argv[1:]
want = {"uninstall.exe"}
for folder, _, names in os.walk(portable):
    for n in names:
        rel = os.path.relpath(os.path.join(folder, n), portable)
        to = os.path.join("bin" if rel.endswith(".exe") and os.sep not in rel else "share/zelmora", rel)
        want.add(to)
        if not filecmp.cmp(os.path.join(portable, rel), os.path.join(inst, to), shallow=False):
            sys.exit(f"{to} differs from the zip's {rel}")
got = {os.path.relpath(os.path.join(f, n), inst) for f, _, ns in os.walk(inst) for n in ns}
if got != want:
    sys.exit(f"installed but not in the zip: {sorted(got - want)}; missing: {sorted(want - got)}")
EOF
}
check "the installed files are the zip's" same_files
check "the Start-menu entry exists" test -f "$shortcut"
uninstall=$(wine reg query "$key" /v QuietUninstallString 2>/dev/null | sed -n 's/.*REG_SZ[[:space:]]*//p' | tr -d '\r')
check "the uninstall entry names the uninstaller" grep -q 'uninstall.exe" /S$' <<<"$uninstall"

# The installed CLI: a month page, and the user's folder filled on first run.
args=(--offline calendar 2026 12 --today 2026-12-08)
installed_page=$(wine "$inst/bin/zelmora-cli.exe" "${args[@]}" 2>&1) || { echo "FAIL: installed CLI: $installed_page"; fail=1; }
portable_page=$(wine "$portable/zelmora-cli.exe" "${args[@]}" 2>&1) || { echo "FAIL: portable CLI: $portable_page"; fail=1; }
check "the installed CLI prints a month page, today marked" grep -qF '<font color="#FF0000">8<br>' <<<"$installed_page"
check "the portable CLI prints the installed one's page" test "$installed_page" = "$portable_page"
check "the installed CLI fills the user's folder" test -f "$appdata/Weather.ini"
check "the portable CLI keeps to its folder" test -d "$portable/Download"

# The installed server: its data from share\zelmora, its state in the user's folder.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$appdata/serverdata"
wine "$inst/bin/zelmora-server.exe" --listen 127.0.0.1 --port "$port" --state "$(winpath "$appdata/serverdata")" \
  >"$scratch/server.log" 2>&1 &
server=$!
answer=""
for _ in $(seq 60); do
  answer=$(curl -s --max-time 5 "http://127.0.0.1:$port/query/tel.asp?tel=13800138000" || true)
  [ -n "$answer" ] && break
  sleep 0.5
done
check "the installed server answers a mobile lookup" grep -q 13800138000 <<<"$answer"
kill "$server" 2>/dev/null || true
wait "$server" 2>/dev/null || true
server=""

if [ -f "$inst/bin/zelmora.exe" ]; then
  # Started, still running after a few seconds, then closed as a user
  # would (taskkill without /f asks its windows to close).
  window_runs() {
    xvfb-run -a -s "-screen 0 1024x768x24" wine "$inst/bin/zelmora.exe" >"$scratch/window.log" 2>&1 &
    local pid=$!
    sleep 8
    kill -0 "$pid" 2>/dev/null || { cat "$scratch/window.log"; return 1; }
    wine taskkill /im zelmora.exe >/dev/null 2>&1 || true
    for _ in $(seq 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
    if kill -0 "$pid" 2>/dev/null; then kill "$pid"; return 1; fi
  }
  check "the installed window starts and closes" window_runs
fi

# The uninstaller copies itself away and returns at once: wait for Wine's
# processes to end. A file the user added keeps its folder.
echo notes >"$inst/notes.txt"
wine "$(sed 's/^"\([^"]*\)".*/\1/' <<<"$uninstall")" /S
wineserver -w
left=$(cd "$inst" 2>/dev/null && find . -mindepth 1 | sort | tr '\n' ' ')
check "the uninstaller removes what it installed, nothing else (left: $left)" test "$left" = "./notes.txt "
check "the Start-menu entry is gone" test ! -e "$shortcut"
check "the uninstall entry is gone" bash -c "! wine reg query '$key' >/dev/null 2>&1"
check "the user's folder stays" test -f "$appdata/Weather.ini"

[ "$fail" -eq 0 ] && echo "installer and zip under Wine: install, run, uninstall and the portable CLI as expected"
exit "$fail"
