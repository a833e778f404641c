#!/usr/bin/env bash
# zelmora.exe under Wine, in a Chinese locale with Wine's fonts pointed at
# Noto CJK, from a copy of the program in a folder with a Chinese name: the
# window titled Zelmora天气预报 shows, its tab names are drawn in Chinese
# (no box glyphs), it starts its own server, and closing it ends that server.
#   tests/windows/window_test.sh APP_DIR [SHOT.png]
# Needs WINEPREFIX set up (scripts/windows/test.sh does it).
set -euo pipefail
app=$1 png=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
scratch=$(mktemp -d)
cleanup() {
  wine taskkill /f /im zelmora.exe >/dev/null 2>&1 || true
  wine taskkill /f /im zelmora-server.exe >/dev/null 2>&1 || true
  wineserver -w 2>/dev/null || true
  [ -z "${ZEL_KEEP:-}" ] || cp "$scratch/window.log" "$ZEL_KEEP" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# The Chinese locale, built privately when the system has none.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  export LOCPATH=$WINEPREFIX/../locale
  [ -d "$LOCPATH/zh_CN.UTF-8" ] || { mkdir -p "$LOCPATH"; localedef -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8" 2>/dev/null || true; }
fi
{ export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8; } 2>/dev/null  # for Wine; this shell keeps its own
# Wine's Chinese faces and its fallback for the dialog fonts: Noto CJK.
if [ ! -f "$WINEPREFIX/.cjk-fonts" ]; then
  noto='Noto Sans CJK SC'
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for f in SimSun NSimSun SimHei "Microsoft YaHei" "Microsoft YaHei UI" 宋体 新宋体 黑体 微软雅黑; do
      printf '"%s"="%s"\r\n' "$f" "$noto"
    done
    printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n'
    for f in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Segoe UI" Arial; do
      printf '"%s"=hex(7):%s\r\n' "$f" "$(printf 'NotoSansCJK-Regular.ttc,%s\0\0' "$noto" | iconv -t UTF-16LE | od -An -tx1 | tr -s ' \n' ',' | sed 's/^,//; s/,$//')"
    done
  } > "$scratch/fonts.utf8"
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$scratch/fonts.utf8"; } > "$scratch/fonts.reg"
  wine regedit /S "$scratch/fonts.reg" >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.cjk-fonts"
fi

# A copy of the program in a folder with a Chinese name, on a free port.
dir="$scratch/天气 测试"
cp -r "$app" "$dir"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
sed -i "s/127\.0\.0\.1:[0-9]*/127.0.0.1:$port/" "$dir/Servers.ini"

xvfb-run -a -s "-screen 0 1024x768x24" bash -s "$dir" "$port" "$here" "$png" <<'INNER'
set -euo pipefail
dir=$1 port=$2 here=$3 png=$4
# Wine's desktop process draws every window of the prefix: one started
# earlier without this display (by the tests before) would hide them all.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wine "$dir/zelmora.exe" >"$dir/../window.log" 2>&1 &
win=""
for _ in $(seq 240); do
  for id in $(xwininfo -root -children 2>/dev/null | awk '/^ +0x/ {print $1}'); do
    if xprop -id "$id" -notype _NET_WM_NAME 2>/dev/null | grep -qE '"Zelmora天气预报[0-9.]*"$'; then win=$id; break 2; fi
  done
  sleep 0.5
done
if [ -z "$win" ]; then
  echo "FAIL: no window titled Zelmora天气预报; the windows there:"
  for id in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do xprop -id "$id" -notype _NET_WM_NAME WM_CLASS 2>/dev/null | tr '\n' ' '; echo; done
  ps -eo pid,args | grep -i '[.]exe' || true
  cat "$dir/../window.log"
  exit 1
fi
echo "window $win: $(xprop -id "$win" -notype _NET_WM_NAME | cut -d= -f2)"
# Its own server answers a lookup.
ok=""
for _ in $(seq 60); do
  if curl -s --max-time 5 "http://127.0.0.1:$port/query/tel.asp?tel=13800138000" | grep -q .; then ok=1; break; fi
  sleep 0.5
done
[ -n "$ok" ] || { echo "FAIL: the window's own server does not answer on port $port"; exit 1; }
pgrep -f 'zelmora-server\.exe' >/dev/null || { echo "FAIL: no zelmora-server.exe process"; exit 1; }
echo "its own server answers on 127.0.0.1:$port"
sleep 3  # the first paint of every tab button
# Nothing but the window itself: no warning or error box at start.
for id in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do
  [ "$id" = "$win" ] && continue
  name=$(xprop -id "$id" -notype _NET_WM_NAME WM_CLASS 2>/dev/null | tr '\n' ' ')
  if grep -q 'zelmora\.exe' <<<"$name" && grep -qE '_NET_WM_NAME = "[^"]+"' <<<"$name" && ! grep -q 'Default IME' <<<"$name"; then
    echo "FAIL: another window at start: $name"
    exit 1
  fi
done
geo=$(xwininfo -id "$win")
x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$geo"); y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$geo")
w=$(awk '/Width:/ {print $2}' <<<"$geo"); h=$(awk '/Height:/ {print $2}' <<<"$geo")
xwd -root -silent > "$dir/../shot.xwd"
python3 "$here/tab_glyphs.py" "$dir/../shot.xwd" "$x" "$y" "$w" "$h" ${png:+"$png"}
# Closed the way a user closes it: the window's close message.
wine taskkill /im zelmora.exe >/dev/null 2>&1 || true
for _ in $(seq 60); do
  pgrep -f 'zelmora(-server)?\.exe' >/dev/null || break
  sleep 0.5
done
if pgrep -f 'zelmora\.exe' >/dev/null; then echo "FAIL: the window did not end on close"; exit 1; fi
if pgrep -f 'zelmora-server\.exe' >/dev/null; then echo "FAIL: its server outlived the window"; exit 1; fi
echo "closing the window ended it and its server"
INNER
