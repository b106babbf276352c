#!/usr/bin/env bash
# Static checks of the two Windows modules of a build; nothing is run, so they hold on any
# machine:
#   - the file format: PE32 for i386 (i686 edition) or PE32+ for x86-64 (x64 edition);
#   - Sumwright.exe is a GUI program, Sumwright.dll a DLL;
#   - only the system's own DLLs are imported;
#   - the export table: the module's own name, ordinal base 1, and exactly the routines of
#     exports/sumwright.def under their plain names and ordinals, nothing decorated;
#   - each module holds each routine itself, nothing forwarded (a forwarder is resolved through the
#     caller's DLL search order); Sumwright.exe's routines call the library beside the program
#     without its import table, and their object asks for no symbol from outside but the
#     compiler's own stack probe.
#   scripts/check-modules.sh i686|x64 BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [[ $# -ne 2 || ! $1 =~ ^(i686|x64)$ ]]; then
  echo "usage: $0 i686|x64 BUILD_DIR" >&2
  exit 2
fi
edition=$1
build=$2
case $edition in
  i686) objdump=i686-w64-mingw32-objdump nm=i686-w64-mingw32-nm format=pei-i386 magic='010b	(PE32)' ;;
  x64) objdump=x86_64-w64-mingw32-objdump nm=x86_64-w64-mingw32-nm format=pei-x86-64 magic='020b	(PE32+)' ;;
esac
# The system DLLs the modules may import (lower case).
allowed_imports=(kernel32.dll user32.dll gdi32.dll shell32.dll ole32.dll oleaut32.dll comdlg32.dll
  msvcrt.dll)

# "NAME ORDINAL" per routine, from the one list of exports.
mapfile -t expected < <(sed -n 's/^[[:space:]]*\([A-Za-z_][A-Za-z0-9_]*\)[[:space:]]*=.*@\([0-9][0-9]*\)[[:space:]]*$/\1 \2/p' \
  "$root/exports/sumwright.def")
((${#expected[@]} > 0)) || { echo "no routines read from exports/sumwright.def" >&2; exit 1; }

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

check_module() {
  local module=$1 name=$2 kind=$3 dump header before=$failures
  [[ -f $module ]] || { fail "$module is missing"; return; }
  if ! header=$("$objdump" -f "$module" 2>&1) || ! dump=$("$objdump" -p "$module" 2>&1); then
    fail "$name: not a $format module: $(tail -n 1 <<<"$header")"
    return
  fi

  grep -q "file format $format\$" <<<"$header" || fail "$name: not $format: $(head -n 2 <<<"$header" | tail -n 1)"
  grep -q "^Magic[[:space:]]*$magic" <<<"$dump" || fail "$name: optional header is not $magic"
  if [[ $kind == exe ]]; then
    grep -q '^Subsystem.*(Windows GUI)' <<<"$dump" || fail "$name: not a Windows GUI program"
  else
    sed -n '/^Characteristics/,/^$/p' <<<"$dump" | grep -qx '[[:space:]]*DLL' || fail "$name: not a DLL"
  fi

  local dll allowed ok
  while read -r dll; do
    ok=0
    for allowed in "${allowed_imports[@]}"; do [[ ${dll,,} == "$allowed" ]] && ok=1; done
    ((ok)) || fail "$name imports $dll, which is not a system DLL"
  done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump")

  local recorded base count
  recorded=$(awk '$1 == "Name" && NF == 3 { print $3; exit }' <<<"$dump")
  [[ $recorded == "$name" ]] || fail "$name: export table names the module '$recorded'"
  base=$(awk '/^Ordinal Base/ { print $3; exit }' <<<"$dump")
  [[ $base == 1 ]] || fail "$name: ordinal base is '$base', expected 1"
  count=$(awk '/Export Address Table[ \t]+[0-9a-f]+$/ { print $4; exit }' <<<"$dump")
  ((16#${count:-0} == ${#expected[@]})) ||
    fail "$name: export address table has $((16#${count:-0})) entries, expected ${#expected[@]}"

  # Lines "[   i] NAME" of the name table, where i is the ordinal less the base.
  local got
  mapfile -t got < <(awk '
    /^\[Ordinal\/Name Pointer\] Table/ { in_table = 1; next }
    in_table && /^$/ { exit }
    in_table { gsub(/[][]/, " "); print $2 " " ($1 + 1) }' <<<"$dump")
  [[ "${got[*]}" == "${expected[*]}" ]] ||
    fail "$name: exports are '${got[*]}', expected '${expected[*]}'"
  grep -q '@\|^_' < <(printf '%s\n' "${got[@]}") && fail "$name: decorated names exported"

  # Lines "[   i] +base[ ORDINAL] RVA KIND" of the address table: "NAME ORDINAL" of the routine
  # each entry forwards to, or "- ORDINAL" for a routine of the module's own.
  local targets want=()
  mapfile -t targets < <(awk '
    /^Export Address Table -- / { in_table = 1; next }
    in_table && /^$/ { exit }
    in_table { gsub(/[][]/, " "); print (/Forwarder RVA -- Sumwright\./ ? substr($NF, 11) : "-") " " $3 }' <<<"$dump")
  local entry
  for entry in "${expected[@]}"; do want+=("- ${entry#* }"); done
  [[ "${targets[*]}" == "${want[*]}" ]] || fail "$name: exports that are not its own: '${targets[*]}'"

  ((failures == before)) && echo "  ok   $name: $format, $kind, system DLLs only, ${#expected[@]} exports, its own"
  return 0
}

# The program's routines run without its start-up code and without its imports bound: their
# object may ask for nothing from outside but the stack probe that libgcc links in.
check_program_routines() {
  local object undefined
  object=$(find "$build/exports" -name 'beside_the_program.cpp.obj' | head -n 1)
  [[ -n $object ]] || { fail "the object of exports/beside_the_program.cpp is missing"; return; }
  undefined=$("$nm" -u "$object" | awk '{ print $2 }' | grep -v '^_*chkstk_ms$' || true)
  [[ -z $undefined ]] || fail "Sumwright.exe's routines need symbols from outside: $undefined"
  [[ -z $undefined ]] && echo "  ok   Sumwright.exe's routines need nothing from outside"
  return 0
}

check_module "$build/ui/Sumwright.exe" Sumwright.exe exe
check_module "$build/exports/Sumwright.dll" Sumwright.dll dll
check_program_routines
if ((failures > 0)); then
  echo "$edition modules: $failures check(s) failed" >&2
  exit 1
fi
