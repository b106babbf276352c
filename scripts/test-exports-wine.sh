#!/usr/bin/env bash
# Tests the exported routine library of a Windows build (either edition) under Wine:
#   1. the portable routines' unit tests, built for Windows;
#   2. every export of Sumwright.dll called through LoadLibraryA / GetProcAddress, the file
#      dialogs and Notepad driven on a virtual display; Sumwright.exe loaded the same way gives
#      the library's routines, and where no Sumwright.dll stands beside it, none at all.
# The export tables themselves are checked without Wine by scripts/check-modules.sh.
# Uses a throw-away Wine prefix inside the build folder. Every wait is bounded.
#   scripts/test-exports-wine.sh BUILD_DIR
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-env.sh"

if [[ ${1:-} == --on-display ]]; then
  # Second stage, inside xvfb-run: everything that talks to Wine.
  build=$2
  run=$build/exports-wine
  wine_use "$(build_edition "$build")"
  trap wine_stop EXIT
  wine_prefix_init "$run/prefix"

  status=0
  echo "--- exports_tests.exe (portable routines)"
  (cd "$run/bin" && timeout 120 "$WINE" exports_tests.exe --gtest_brief=1) || status=1

  echo "--- exports_wine_check.exe (Sumwright.dll and Sumwright.exe through their binary interface)"
  # The check program creates its files in the working folder and finds the DLL beside itself.
  # The file dialogs ask for the Z: drive's volume label, which Wine reports it cannot read.
  (cd "$run/work" && timeout 150 "$WINE" "$(wine_z_path "$run/bin/exports_wine_check.exe")" \
    --gtest_filter=-ExeWithoutLibrary.*) \
    2> >(grep -v -e 'FS volume label and serial are not available' \
      -e 'Read access denied for device' >&2) || status=1
  echo "--- exports_wine_check.exe beside Sumwright.exe without Sumwright.dll"
  (cd "$run/alone" && timeout 60 "$WINE" "$(wine_z_path "$run/alone/exports_wine_check.exe")" \
    --gtest_filter=ExeWithoutLibrary.* --gtest_brief=1) || status=1
  exit $status
fi

if [[ $# -ne 1 ]]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
run=$build/exports-wine
edition=$(build_edition "$build") || exit 2
if [[ $edition == i686 ]] && ! runs_32bit_code "$build"; then
  echo "$build is the i686 edition, and this machine does not run 32-bit code: test an x64 build" >&2
  exit 2
fi

dll=$build/exports/Sumwright.dll
exe=$build/ui/Sumwright.exe
for file in "$dll" "$exe" "$build/tests/exports/exports_wine_check.exe" \
  "$build/tests/exports/exports_tests.exe"; do
  [[ -f $file ]] || { echo "missing $file: build the Windows tree first" >&2; exit 1; }
done

rm -rf "$run"
mkdir -p "$run/bin" "$run/work" "$run/alone"
cp "$dll" "$exe" "$build/tests/exports/exports_wine_check.exe" \
  "$build/tests/exports/exports_tests.exe" "$run/bin/"
cp "$exe" "$build/tests/exports/exports_wine_check.exe" "$run/alone/"

if ! timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display "$build"; then
  echo "FAILED: exported routine tests under Wine ($edition)" >&2
  exit 1
fi
echo "exported routine tests passed ($edition)"
