#!/usr/bin/env bash
# Runs every test, installing what they need first:
#   1. native build: all unit and command-line tests (CTest);
#   2. the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. the benchmarks are built (not run: they are measurements, not tests);
#   4. the 32-bit Windows build: unit tests under Wine, the exported routines through their
#      binary interface, and the real Sumwright.exe driven end to end on a virtual display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
need_packages "${NATIVE_PACKAGES[@]}" "${BENCH_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"
jobs=$(nproc)
out="${SUMWRIGHT_TEST_BUILD:-$root/build-test}"
step() { printf '\n=== %s\n' "$*"; }

step "native build and tests"
cmake -S "$root" -B "$out/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSUMWRIGHT_BENCH=ON >/dev/null
cmake --build "$out/native" -j"$jobs"
ctest --test-dir "$out/native" --output-on-failure -j"$jobs"

step "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$out/sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DSUMWRIGHT_SANITIZE=address,undefined >/dev/null
cmake --build "$out/sanitize" -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$out/sanitize" --output-on-failure -j"$jobs"

step "32-bit Windows build"
cmake -S "$root" -B "$out/windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" >/dev/null
cmake --build "$out/windows" -j"$jobs"

for script in test-windows.sh test-exports-wine.sh; do
  if [ -f "$root/scripts/$script" ]; then
    step "$script"
    bash "$root/scripts/$script" "$out/windows"
  fi
done
step "all tests passed"
