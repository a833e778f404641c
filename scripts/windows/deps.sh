#!/usr/bin/env bash
# Installs the Windows cross toolchain and Wine, and builds the third-party
# libraries the Windows programs link (curl, googletest, wxWidgets) from
# Debian's own source packages into a cache outside the clone, one folder per
# library keyed by its source version and the compiler's, so a second run
# takes seconds.
#
#   scripts/windows/deps.sh [core|all]   core: curl + googletest; all: + wxWidgets
#
# Prints, as its last line, the CMake prefix path (;-separated) of the builds.
# Run as root on a fresh machine (it installs packages); as another user it
# needs the packages and a writable cache (ZEL_WIN_CACHE).
set -euo pipefail
what=${1:-all}
CACHE=${ZEL_WIN_CACHE:-/var/cache/zelmora-win}
HERE=$(cd "$(dirname "$0")" && pwd)
TOOLCHAIN="$HERE/../../cmake/mingw-w64.cmake"
JOBS=${JOBS:-$(nproc)}

log() { printf 'deps.sh: %s\n' "$*" >&2; }

PKGS=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
      libz-mingw-w64-dev wine wine64 nsis locales fonts-noto-cjk xvfb xauth x11-apps x11-utils curl
      wx3.2-i18n procps
      cmake ninja-build dpkg-dev python3 libboost1.81-dev nlohmann-json3-dev)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# Source packages need deb-src entries: the same URIs, suites, components and
# keyring as the binary entries already configured, only the type changed.
SRC_LIST=/etc/apt/sources.list.d/zelmora-deb-src.sources
need_src() { ! apt-cache showsrc "$1" 2>/dev/null | grep -q '^Version:'; }
if [ "${#missing[@]}" -gt 0 ] || need_src curl; then
  [ "$(id -u)" -eq 0 ] || { log "missing packages or deb-src entries (${missing[*]}); run as root"; exit 1; }
  if need_src curl && [ ! -e "$SRC_LIST" ]; then
    for f in /etc/apt/sources.list.d/*.sources; do
      [ "$f" = "$SRC_LIST" ] && continue
      awk 'BEGIN{RS=""; ORS="\n\n"} /(^|\n)Types:[^\n]*[ \t]deb([ \t]|$|\n)/ && !/deb-src/ {
             sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f"
    done > "$SRC_LIST.tmp"
    if [ -f /etc/apt/sources.list ]; then
      sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list > /etc/apt/sources.list.d/zelmora-deb-src.list
    fi
    mv "$SRC_LIST.tmp" "$SRC_LIST"
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  [ "${#missing[@]}" -eq 0 ] || apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

CC_VERSION=$(x86_64-w64-mingw32-g++-posix -dumpversion)
# The newest source version apt would fetch.
src_version() {
  local best="" v
  for v in $(apt-cache showsrc --only-source "$1" | awk '/^Version:/{print $2}'); do
    if [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
  done
  [ -n "$best" ] || { log "no source package $1"; exit 1; }
  echo "$best"
}

# build NAME SOURCE_PACKAGE CMAKE_ARGS... [-- TARGETS...]
# Leaves the prefix in $prefix.
build() {
  local name=$1 src=$2; shift 2
  local args=() targets=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=("$1"); shift; done
  [ $# -gt 0 ] && { shift; targets=("$@"); }
  local ver; ver=$(src_version "$src")
  prefix="$CACHE/$name-$ver-gcc$CC_VERSION"
  if [ -f "$prefix/.done" ]; then return; fi
  log "building $name $ver for Windows into $prefix"
  work=$(mktemp -d "$CACHE/.work-$name.XXXXXX")
  (cd "$work" && apt-get source -qq --only-source "$src=$ver" >/dev/null 2>&1 || apt-get source --only-source "$src=$ver" >&2)
  local dir; dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -1)
  local t0=$SECONDS
  cmake -S "$dir" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    "${args[@]}" >&2
  if [ "${#targets[@]}" -gt 0 ]; then
    cmake --build "$work/build" -j"$JOBS" --target "${targets[@]}" >&2
  else
    cmake --build "$work/build" -j"$JOBS" >&2
  fi
  cmake --install "$work/build" >&2
  touch "$prefix/.done"
  log "$name built in $((SECONDS - t0)) s"
  rm -rf "$work"
  work=""
}

mkdir -p "$CACHE"
work=""
# A build that fails or is stopped leaves nothing half-made behind.
trap '[ -z "$work" ] || rm -rf "$work"' EXIT
prefixes=()

build curl curl -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DHTTP_ONLY=ON -DCURL_ZLIB=ON \
  -DENABLE_UNICODE=ON -DUSE_WIN32_IDN=ON -DCURL_USE_LIBPSL=OFF -DCURL_USE_LIBSSH2=OFF \
  -DUSE_LIBIDN2=OFF -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF
prefixes+=("$prefix")
build googletest googletest -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
prefixes+=("$prefix")
build simdjson simdjson -DSIMDJSON_DEVELOPER_MODE=OFF -DSIMDJSON_ENABLE_THREADS=ON
prefixes+=("$prefix")
# Header-only libraries are the same for every target: a folder that links
# to Debian's own (the system include folder as a whole would bring Linux
# headers into the Windows build).
prefix="$CACHE/host-headers-$(dpkg-query -W -f='${Version}' libboost1.81-dev)-$(dpkg-query -W -f='${Version}' nlohmann-json3-dev)"
if [ ! -f "$prefix/.done" ]; then
  mkdir -p "$prefix/include" "$prefix/share/cmake"
  ln -sfn /usr/include/boost "$prefix/include/boost"
  ln -sfn /usr/include/nlohmann "$prefix/include/nlohmann"
  ln -sfn /usr/share/cmake/nlohmann_json "$prefix/share/cmake/nlohmann_json"
  touch "$prefix/.done"
fi
prefixes+=("$prefix")
# cpp-httplib is one header (the tests' loopback servers).
ver=$(src_version cpp-httplib)
prefix="$CACHE/cpp-httplib-$ver"
if [ ! -f "$prefix/.done" ]; then
  work=$(mktemp -d "$CACHE/.work-httplib.XXXXXX")
  (cd "$work" && apt-get source -qq --only-source "cpp-httplib=$ver" >/dev/null 2>&1)
  mkdir -p "$prefix/include"
  cp "$(find "$work" -mindepth 2 -maxdepth 2 -name httplib.h | head -1)" "$prefix/include/"
  touch "$prefix/.done"
  rm -rf "$work"
  work=""
fi
prefixes+=("$prefix")
if [ "$what" = all ]; then
  # Debian's source lacks the bundled image, expat and Edge SDK parts.
  build wxwidgets wxwidgets3.2 -DwxBUILD_SHARED=OFF -DwxBUILD_SAMPLES=OFF -DwxBUILD_TESTS=OFF \
    -DwxBUILD_DEMOS=OFF -DwxUSE_LIBPNG=OFF -DwxUSE_LIBJPEG=OFF -DwxUSE_LIBTIFF=OFF \
    -DwxUSE_EXPAT=OFF -DwxUSE_XML=OFF -DwxUSE_XRC=OFF -DwxUSE_ARTPROVIDER_TANGO=OFF -DwxUSE_SVG=OFF \
    -DwxUSE_ZLIB=sys -DwxUSE_REGEX=builtin -DwxUSE_WEBVIEW=ON -DwxUSE_WEBVIEW_IE=ON \
    -DwxUSE_WEBVIEW_EDGE=OFF -DwxUSE_LIBLZMA=OFF -DwxUSE_LIBMSPACK=OFF -DwxUSE_NANOSVG=OFF \
    -DwxUSE_DPI_AWARE_MANIFEST=per-monitor -DwxUSE_AUI=OFF -DwxUSE_PROPGRID=OFF -DwxUSE_RIBBON=OFF \
    -DwxUSE_STC=OFF -DwxUSE_RICHTEXT=OFF -DwxUSE_MEDIACTRL=OFF -DwxUSE_OPENGL=OFF -DwxUSE_DEBUGREPORT=OFF \
    -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include \
    -DwxUSE_LIBSDL=OFF -DwxUSE_GLCANVAS_EGL=OFF
  prefixes+=("$prefix")
fi
(IFS=';'; echo "${prefixes[*]}")
