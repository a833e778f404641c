#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless:
#   1. the normal build, all tests (window tests under Xvfb);
#   2. the toolkit-free tests under AddressSanitizer + UBSan;
#   3. the concurrency tests under ThreadSanitizer.
# Between 1 and 2: the .deb, and the Windows build with its tests under Wine.
# Any failure or sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")"

if [ "$(id -u)" -eq 0 ]; then ./scripts/setup.sh; fi
JOBS=$(nproc)
# Servers the tests start never reach the real forecast providers: they
# serve labelled demo figures unless a test names a loopback feed.
export ZEL_FEED=demo
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp"

step() { printf '\n==== %s\n' "$*"; }

step "build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$JOBS"

step "tests"
xvfb-run -a -s "-screen 0 1024x768x24" \
  ctest --test-dir build --output-on-failure -j"$JOBS" --timeout 300

step "package: .deb built, unpacked into a scratch root, the installed window run"
tests/packaging/smoke.sh build

step "Windows: cross-built programs and packages, their tests, the window and the installer under Wine"
scripts/windows/test.sh build-win build

step "AddressSanitizer + UndefinedBehaviorSanitizer (toolkit-free tests)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEL_CORE_ONLY=ON -DZEL_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$JOBS"
ctest --test-dir build-asan --output-on-failure -j"$JOBS" --timeout 600 -LE "slow"

step "ThreadSanitizer (concurrency tests)"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_CORE_ONLY=ON -DZEL_TSAN=ON >/dev/null
cmake --build build-tsan -j"$JOBS"
ctest --test-dir build-tsan --output-on-failure -j"$JOBS" --timeout 600 -L concurrency

step "all tests passed"
