#!/usr/bin/env bash
# Tests the exported routine library of a 32-bit Windows build under Wine:
#   1. the export table of Sumwright.dll (and of Sumwright.exe when the build has one);
#   2. the portable routines' unit tests, built for Windows;
#   3. every export called through LoadLibraryA / GetProcAddress, the file dialogs and Notepad
#      driven on a virtual display.
# Uses a throw-away Wine prefix inside the build folder. Every wait is bounded.
#   scripts/test-exports-wine.sh BUILD_DIR
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

if [[ ${1:-} == --on-display ]]; then
  # Second stage, inside xvfb-run: everything that talks to Wine.
  build=$2
  run=$build/exports-wine
  source "$root/scripts/wine-env.sh"
  trap wine_stop EXIT
  wine_prefix_init "$run/prefix"

  status=0
  echo "--- exports_tests.exe (portable routines, 32-bit)"
  (cd "$run/bin" && timeout 120 wine exports_tests.exe --gtest_brief=1) || status=1

  echo "--- exports_wine_check.exe (Sumwright.dll through its binary interface)"
  # The check program creates its files in the working folder and finds the DLL beside itself.
  # The file dialogs ask for the Z: drive's volume label, which Wine reports it cannot read.
  (cd "$run/work" && timeout 150 wine "$(wine_z_path "$run/bin/exports_wine_check.exe")") \
    2> >(grep -v 'FS volume label and serial are not available' >&2) || status=1
  exit $status
fi

if [[ $# -ne 1 ]]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
run=$build/exports-wine

dll=$build/exports/Sumwright.dll
for file in "$dll" "$build/tests/exports/exports_wine_check.exe" \
  "$build/tests/exports/exports_tests.exe"; do
  [[ -f $file ]] || { echo "missing $file: build the Windows tree first" >&2; exit 1; }
done

# Every stage runs; the script fails at the end when any of them failed.
failed=()

echo "--- export tables"
"$root/scripts/check-exports.sh" "$dll" Sumwright.dll || failed+=("Sumwright.dll export table")
exe=$(find "$build" -maxdepth 3 -name Sumwright.exe -print -quit)
if [[ -n $exe ]]; then
  "$root/scripts/check-exports.sh" "$exe" Sumwright.exe || failed+=("Sumwright.exe export table")
fi

rm -rf "$run"
mkdir -p "$run/bin" "$run/work"
cp "$dll" "$build/tests/exports/exports_wine_check.exe" "$build/tests/exports/exports_tests.exe" \
  "$run/bin/"

timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display "$build" ||
  failed+=("tests under Wine")

if ((${#failed[@]} > 0)); then
  printf 'FAILED: %s\n' "${failed[@]}" >&2
  exit 1
fi
echo "exported routine tests passed"
