#!/usr/bin/env bash
# Tests the exported routine library of a Windows build (either edition) under Wine:
#   1. the portable routines' unit tests, built for Windows;
#   2. every export of Sumwright.dll called through LoadLibraryA / GetProcAddress, the file
#      dialogs and Notepad driven on a virtual display; Sumwright.exe loaded the same way gives
#      the library's answers;
#   3. Sumwright.exe loaded by its full path from a caller in another folder, whose own folder
#      (and, without the library beside the program, PATH) holds a Sumwright.dll of someone
#      else's: the library beside the program answers, and where there is none, each routine
#      answers its failure value; the other library is never used.
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
    --gtest_filter=-ProgramElsewhere.*) \
    2> >(grep -v -e 'FS volume label and serial are not available' \
      -e 'Read access denied for device' >&2) || status=1
  echo "--- Sumwright.exe from a caller in another folder, a Sumwright.dll of its own beside it"
  (cd "$run/caller" && SW_PROGRAM=$(wine_z_path "$run/app/Sumwright.exe") timeout 60 "$WINE" \
    "$(wine_z_path "$run/caller/exports_wine_check.exe")" \
    --gtest_filter=ProgramElsewhere.EveryRoutine* --gtest_brief=1) || status=1
  echo "--- Sumwright.exe without Sumwright.dll beside it, a Sumwright.dll in the caller's folder and on PATH"
  (cd "$run/caller" && SW_PROGRAM=$(wine_z_path "$run/alone/Sumwright.exe") \
    WINEPATH=$(wine_z_path "$run/on-path") timeout 60 "$WINE" \
    "$(wine_z_path "$run/caller/exports_wine_check.exe")" \
    --gtest_filter=ProgramElsewhere.Without* --gtest_brief=1) || status=1
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
  "$build/tests/exports/exports_tests.exe" "$build/tests/exports/planted/Sumwright.dll"; do
  [[ -f $file ]] || { echo "missing $file: build the Windows tree first" >&2; exit 1; }
done

planted=$build/tests/exports/planted/Sumwright.dll
rm -rf "$run"
mkdir -p "$run/bin" "$run/work" "$run/app" "$run/alone" "$run/caller" "$run/on-path"
cp "$dll" "$exe" "$build/tests/exports/exports_wine_check.exe" \
  "$build/tests/exports/exports_tests.exe" "$run/bin/"
cp "$dll" "$exe" "$run/app/"
cp "$exe" "$run/alone/"
cp "$build/tests/exports/exports_wine_check.exe" "$planted" "$run/caller/"
cp "$planted" "$run/on-path/"

if ! timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display "$build"; then
  echo "FAILED: exported routine tests under Wine ($edition)" >&2
  exit 1
fi
echo "exported routine tests passed ($edition)"
