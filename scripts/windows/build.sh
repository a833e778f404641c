#!/usr/bin/env bash
# Cross-builds the Windows programs (the window, the CLI, the server) and
# their tests.
#   scripts/windows/build.sh [BUILD_DIR]     (default build-win)
# The third-party libraries come from scripts/windows/deps.sh (cached).
set -euo pipefail
cd "$(dirname "$0")/../.."
dir=${1:-build-win}
prefixes=$(scripts/windows/deps.sh all | tail -1)
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
  -DCMAKE_PREFIX_PATH="$prefixes" -DCMAKE_BUILD_TYPE=Release -DZEL_CORE_ONLY=OFF -DZEL_BENCH=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$dir" -j"${JOBS:-$(nproc)}"
