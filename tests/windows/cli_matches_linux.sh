#!/usr/bin/env bash
# The Windows CLI under Wine prints the same month pages and lunar dates,
# byte for byte, as the Linux CLI.
#   tests/windows/cli_matches_linux.sh LINUX_CLI WINDOWS_CLI_EXE
set -euo pipefail
linux=$1 win=$2
app=$(mktemp -d)
trap 'rm -rf "$app"' EXIT
cp -r "$(dirname "$0")/../../data/." "$app/"
# Month pages around the ends of the lunar tables, a leap February, a leap
# lunar month, this year's; lunar dates over new year and leap months.
runs=(
  "calendar 1901 2 --today 1901-02-19"
  "calendar 2000 2 --today 2000-02-29"
  "calendar 2020 5 --today 2020-05-23"
  "calendar 2023 3 --today 2023-03-22"
  "calendar 2026 12 --today 2026-12-08"
  "calendar 2049 12 --today 2049-12-31"
  "lunar 2023-01-20 2023-01-23"
  "lunar 2020-05-22 2020-05-24"
  "lunar 2033-12-21 2033-12-23"
  "lunar 1901-02-19"
  "cyclic 1984"
)
fail=0
for args in "${runs[@]}"; do
  # shellcheck disable=SC2086
  want=$("$linux" --app "$app" --offline $args 2>&1; echo "exit $?")
  # shellcheck disable=SC2086
  got=$(wine "$win" --app "$app" --offline $args 2>&1; echo "exit $?")
  if [ "$want" != "$got" ]; then
    echo "FAIL: zelmora-cli $args"
    diff <(echo "$want") <(echo "$got") | head -20
    fail=1
  fi
done
[ "$fail" -eq 0 ] && echo "zelmora-cli.exe under Wine matches Linux on ${#runs[@]} runs"
exit "$fail"
