#!/usr/bin/env bash
# Checks a module's export table: the module name it records, and exactly the ten routines
# under their plain names with ordinals 1 to 10 in alphabetical order.
#   scripts/check-exports.sh build-win/exports/Sumwright.dll Sumwright.dll
#   scripts/check-exports.sh build-win/ui/Sumwright.exe Sumwright.exe
set -euo pipefail

if [[ $# -ne 2 ]]; then
  echo "usage: $0 MODULE EXPECTED_MODULE_NAME" >&2
  exit 2
fi
module=$1
expected_name=$2
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

expected=(CHOOSESTEP FILELEN GETMULTIPLEFILES HLSTORGB PADOUT SHELLTONOTEPAD SHOWOPEN SHOWSAVE
  SHOWSAVEA SHOWSAVEB)

dump=$("$objdump" -p "$module")
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

name=$(awk '$1 == "Name" && NF == 3 { print $3; exit }' <<<"$dump")
[[ $name == "$expected_name" ]] || fail "module name is '$name', expected '$expected_name'"

base=$(awk '/^Ordinal Base/ { print $3; exit }' <<<"$dump")
[[ $base == 1 ]] || fail "ordinal base is '$base', expected 1"

address_hex=$(awk '/Export Address Table[ \t]+[0-9a-f]+$/ { print $4; exit }' <<<"$dump")
address_count=$((16#${address_hex:-0}))
[[ $address_count == "${#expected[@]}" ]] ||
  fail "export address table has '$address_count' entries, expected ${#expected[@]}"

# Lines "[   i] NAME" of the name table, where i is the ordinal less the base.
mapfile -t names < <(awk '
  /^\[Ordinal\/Name Pointer\] Table/ { in_table = 1; next }
  in_table && /^$/ { exit }
  in_table { gsub(/[][]/, " "); print ($1 + 1) " " $2 }' <<<"$dump")

[[ ${#names[@]} == "${#expected[@]}" ]] ||
  fail "${#names[@]} exported names, expected ${#expected[@]}"
for i in "${!expected[@]}"; do
  want="$((i + 1)) ${expected[$i]}"
  got=${names[$i]:-missing}
  [[ $got == "$want" ]] || fail "export $((i + 1)): got '$got', expected '$want'"
done

if ((failures > 0)); then
  echo "$module: $failures export table check(s) failed" >&2
  exit 1
fi
echo "$module: export table OK (module $expected_name, ${#expected[@]} routines, ordinals 1-10)"
