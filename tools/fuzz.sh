#!/usr/bin/env bash
# Runs one libFuzzer target for SECONDS seconds.
#   tools/fuzz.sh TARGET SECONDS [extra libFuzzer flags]
# Targets: the add_fuzz_target names in tests/fuzz/CMakeLists.txt
# (tools/fuzz.sh list shows them). The corpus grows in build-fuzz/corpus/TARGET,
# seeded from tests/fuzz/corpus/TARGET; crashes land in build-fuzz/crashes/.
# A crash input worth keeping goes to tests/fuzz/regressions/TARGET/, where
# ./test.sh replays it.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "list" ] || [ $# -lt 2 ]; then
  echo "usage: tools/fuzz.sh TARGET SECONDS [libFuzzer flags]"
  echo "targets:"; sed -n 's/^add_fuzz_target(NAME \([a-z_]*\).*/  \1/p' tests/fuzz/CMakeLists.txt
  exit $([ "${1:-}" = "list" ] && echo 0 || echo 2)
fi
target=$1 seconds=$2
shift 2

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEL_CORE_ONLY=ON -DZEL_FUZZ=ON -DZEL_BENCH=OFF >/dev/null
cmake --build build-fuzz --target "fuzz_$target" -j"$(nproc)"

mkdir -p "build-fuzz/corpus/$target" build-fuzz/crashes
cp -n tests/fuzz/corpus/"$target"/* "build-fuzz/corpus/$target/" 2>/dev/null || true
# Page parsers start from the weather page fixtures.
case $target in page_*) cp -n tests/data/weather/*.htm "build-fuzz/corpus/$target/" ;; esac
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1
exec "build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix=build-fuzz/crashes/"$target"- -print_final_stats=1 "$@" "build-fuzz/corpus/$target"
