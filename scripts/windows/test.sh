#!/usr/bin/env bash
# Builds the Windows programs and their packages (scripts/windows/package.sh)
# and runs their tests under Wine in a Wine prefix of the build folder, then
# the packages' own test in a scratch prefix.
#   scripts/windows/test.sh [WIN_BUILD_DIR [LINUX_BUILD_DIR]]
# With a Linux build folder the Windows CLI and server are also compared
# against it.
set -euo pipefail
cd "$(dirname "$0")/../.."
dir=${1:-build-win}
linux=${2:-}
t0=$SECONDS
scripts/windows/package.sh "$dir"
echo "windows build and packages: $((SECONDS - t0)) s"
# Only Windows' own DLLs: anything else (zlib1, libstdc++, winpthread) would
# be missing on a Windows where Wine's copies are not.
for exe in "$dir"/app/*.exe; do
  other=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}' |
    grep -viE '^(advapi32|bcrypt|crypt32|iphlpapi|kernel32|msvcrt|mswsock|normaliz|ole32|oleaut32|shell32|ws2_32|user32|gdi32|secur32|comctl32|comdlg32|oleacc|shlwapi|uxtheme|version|gdiplus|msimg32|winmm|rpcrt4|urlmon|imm32)\.dll$|^winspool\.drv$' || true)
  if [ -n "$other" ]; then
    echo "FAIL: $exe needs DLLs Windows does not have: $other"
    exit 1
  fi
done

export WINEPREFIX=$PWD/$dir/wine WINEDEBUG=-all
# No prompts for Wine's .NET and browser engines, which Debian does not ship.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
  wineserver -w
  # Untouched by the tests: the packages' test starts from a copy of it.
  rm -rf "$dir/wine-pristine"
  cp -a "$WINEPREFIX" "$dir/wine-pristine"
fi
t1=$SECONDS
# Not the tests labelled slow (the whole station table once more): the same
# code as on Linux, and half a minute under Wine.
ctest --test-dir "$dir" --output-on-failure -j"${JOBS:-$(nproc)}" --timeout 600 -LE slow
if [ -n "$linux" ]; then
  tests/windows/cli_matches_linux.sh "$linux/app/zelmora-cli" "$dir/app/zelmora-cli.exe"
  tests/windows/server_matches_linux.sh "$linux/app/zelmora-server" "$dir/app/zelmora-server.exe" "$dir/app/serverdata"
fi
tests/windows/window_test.sh "$dir/app" "$dir/window.png"
wineserver -w
t2=$SECONDS
tests/windows/installer_test.sh "$dir"/dist/zelmora-*-setup.exe "$dir"/dist/zelmora-*-win64.zip "$dir/wine-pristine"
echo "windows tests under Wine: $((SECONDS - t1)) s (packages: $((SECONDS - t2)) s)"
