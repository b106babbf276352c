#!/usr/bin/env bash
# Runs every test, installing what they need first:
#   0. the include arrows between core/, cli/, ui/, exports/ and win32/ (scripts/check-arrows.sh);
#   1. native build: all unit and command-line tests (CTest);
#   2. the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer, the tests of
#      the threaded folder pass under ThreadSanitizer, and a short run of every fuzz target
#      (scripts/fuzz.sh runs them as long as you like);
#   3. the benchmarks are built (not run: they are measurements, not tests);
#   4. both Windows editions built, and their modules checked without running them; the Debian
#      package and the Windows zip made from these builds, the package unpacked into a scratch
#      root and its command, manual page and completion tried (scripts/test-package.sh);
#   5. one edition under Wine: unit tests, the exported routines through their binary
#      interface, and the real Sumwright.exe driven end to end on a virtual display. That is
#      the i686 edition where this machine runs 32-bit code, else the x64 edition under 64-bit
#      Wine; SUMWRIGHT_WINDOWS_EDITION=x64 forces the latter.
# Every build treats a compiler warning as an error.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
source "$root/scripts/wine-env.sh"
jobs=$(nproc)
out="${SUMWRIGHT_TEST_BUILD:-$root/build-test}"
step() { printf '\n=== %s\n' "$*"; }

choose_windows_edition "$out"
# shellcheck disable=SC2046  # a list of package names
need_packages "${NATIVE_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}" "${BENCH_PACKAGES[@]}" \
  "${PACKAGE_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" \
  $(windows_packages "$SW_EDITION")

step "include arrows"
"$root/scripts/check-arrows.sh"

step "native build and tests"
cmake -S "$root" -B "$out/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSUMWRIGHT_WERROR=ON -DSUMWRIGHT_BENCH=ON >/dev/null
cmake --build "$out/native" -j"$jobs"
ctest --test-dir "$out/native" --output-on-failure -j"$jobs"

step "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$out/sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSUMWRIGHT_WERROR=ON \
  -DSUMWRIGHT_SANITIZE=address,undefined >/dev/null
cmake --build "$out/sanitize" -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$out/sanitize" --output-on-failure -j"$jobs"

step "folder pass tests under ThreadSanitizer"
cmake -S "$root" -B "$out/thread" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSUMWRIGHT_WERROR=ON \
  -DSUMWRIGHT_SANITIZE=thread >/dev/null
cmake --build "$out/thread" -j"$jobs" --target core_tests
# Without address randomisation: some kernels randomise more bits than ThreadSanitizer's
# memory layout allows.
TSAN_OPTIONS=halt_on_error=1 setarch "$(uname -m)" -R "$out/thread/tests/core/core_tests" \
  --gtest_filter='FolderPass*:FolderEnumeration*:Listing*:Run*'

step "fuzz targets, ten seconds each"
SUMWRIGHT_TEST_BUILD="$out" "$root/scripts/fuzz.sh" 10

for edition in i686 x64; do
  step "Windows build, $edition edition"
  cmake -S "$root" -B "$out/windows-$edition" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DSUMWRIGHT_WERROR=ON -DSUMWRIGHT_BENCH=ON \
    -DCMAKE_TOOLCHAIN_FILE="$root/$(windows_toolchain "$edition")" >/dev/null
  cmake --build "$out/windows-$edition" -j"$jobs"
  "$root/scripts/check-modules.sh" "$edition" "$out/windows-$edition"
done

step "packages"
"$root/scripts/package.sh" "$out/packages" "$out/native" "$out/windows-i686" "$out/windows-x64" \
  >/dev/null
"$root/scripts/test-package.sh" "$out/packages"

step "Windows tests under Wine: the $SW_EDITION edition ($SW_EDITION_WHY)"
bash "$root/scripts/test-windows.sh" "$out/windows-$SW_EDITION"
bash "$root/scripts/test-exports-wine.sh" "$out/windows-$SW_EDITION"
step "all tests passed (Windows tests on the $SW_EDITION edition: $SW_EDITION_WHY)"
