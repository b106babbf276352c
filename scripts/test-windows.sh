#!/usr/bin/env bash
# Tests the Windows program of a Windows build (either edition) under Wine, on a virtual
# display; the i686 build needs a machine that runs 32-bit code (scripts/wine-env.sh):
#   1. the core's, the CRC-32 kernels' and the Win32 layer's unit tests, as Windows programs
#      (the Win32 layer's once more under the double-byte code page 932);
#   2. end-to-end runs of the real Sumwright.exe, driven by sumwright_e2e_driver.exe in the
#      same Wine session (windows found by class and title, buttons pressed with WM_COMMAND,
#      label texts read with WM_GETTEXT), with the files checked byte for byte afterwards;
#   3. a screenshot of the main window after a run: BUILD_DIR/sumwright-main-window.png.
# One throw-away Wine prefix inside the build folder; every wait is bounded.
#   scripts/test-windows.sh BUILD_DIR
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

if [[ ${1:-} != --on-display ]]; then
  if [[ $# -ne 1 ]]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
  fi
  build=$(cd "$1" && pwd)
  source "$root/scripts/wine-env.sh"
  edition=$(build_edition "$build") || exit 2
  if [[ $edition == i686 ]] && ! runs_32bit_code "$build"; then
    echo "$build is the i686 edition, and this machine does not run 32-bit code: test an x64 build" >&2
    exit 2
  fi
  for file in ui/Sumwright.exe tests/core/core_tests.exe tests/crc/crc_tests.exe \
    tests/win32/win32_tests.exe tests/e2e/sumwright_e2e_driver.exe; do
    [[ -f $build/$file ]] || { echo "missing $build/$file: build the Windows tree first" >&2; exit 1; }
  done
  exec timeout 580 xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display "$build"
fi

build=$2
run=$build/windows-tests
source "$root/scripts/wine-env.sh"
wine_use "$(build_edition "$build")" || exit 1
trap wine_stop EXIT

# Wine takes its ANSI code page from the locale: en_US.UTF-8 gives 1252, ja_JP.UTF-8 the
# double-byte 932. The locales are made here (no system change), and a UTF-8 locale also lets
# Wine read the Linux file names themselves right.
export LOCPATH=$build/locales
mkdir -p "$LOCPATH"
for locale in en_US ja_JP; do
  [[ -d $LOCPATH/$locale.UTF-8 ]] || localedef -i "$locale" -f UTF-8 "$LOCPATH/$locale.UTF-8" ||
    { echo "cannot make the locale $locale.UTF-8 (package locales)" >&2; exit 1; }
done
export LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8

app=$build/ui/Sumwright.exe
driver=$build/tests/e2e/sumwright_e2e_driver.exe
failures=()

note() { printf '%s\n' "$*"; }
failed() {
  failures+=("$1")
  note "FAIL $1${2:+: $2}"
}

chattr -i "$run/drive-t/read-only" 2>/dev/null  # left immutable by a run that was cut short
rm -rf "$run"
mkdir -p "$run"
wine_prefix_init "$run/prefix" || exit 1

# Wine draws the window frames itself in a desktop of its own (there is no window manager on
# the virtual display), so the screenshot shows the caption and the close box.
"$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
"$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
wine_stop
# Drive T: holds every test folder: a short path, so the folder browser expands to the
# pre-selected folder quickly, and nothing outside it can be chosen by mistake.
drive=$run/drive-t
mkdir -p "$drive"
ln -sfn "$drive" "$WINEPREFIX/dosdevices/t:"

# ---------------------------------------------------------------- unit tests
note "--- core_tests.exe"
(cd "$run" && timeout 240 "$WINE" "$build/tests/core/core_tests.exe" --gtest_brief=1) ||
  failed core_tests
note "--- crc_tests.exe (every CRC-32 tier this CPU has)"
(cd "$run" && timeout 240 "$WINE" "$build/tests/crc/crc_tests.exe" --gtest_brief=1) ||
  failed crc_tests
note "--- win32_tests.exe (code page 1252)"
(cd "$run" && timeout 120 "$WINE" "$build/tests/win32/win32_tests.exe" --gtest_brief=1) ||
  failed win32_tests
note "--- win32_tests.exe, the file-system layer under code page 932"
(cd "$run" && LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 timeout 120 "$WINE" \
  "$build/tests/win32/win32_tests.exe" --gtest_brief=1 --gtest_filter='Win32*') ||
  failed win32_tests-932

# ---------------------------------------------------------------- end-to-end helpers
# CRC-32 text of a file (upper-case hex, no leading zeros), from gzip's trailer.
crc_of() {
  local hex
  hex=$(gzip -c <"$1" | tail -c8 | head -c4 | od -An -tx4 | tr -d ' \n' | tr a-f A-F)
  hex=$(printf '%s' "$hex" | sed 's/^0*//')
  printf '%s' "${hex:-0}"
}

# The name column: the name and blanks up to 40 bytes (one blank at least), counted in bytes.
entry() { LC_ALL=C printf '%-39s %s\r\n' "$1" "$2"; }

# Expected listing of a folder, entry lines sorted (the enumeration order is the system's).
rule=-----------------------------------------
expected_listing() {
  local folder=$1 winfolder=$2 name
  printf 'File CRCs For Folder:\r\n%s\r\n%s\r\n' "$winfolder" "$rule"
  while IFS= read -r name; do
    [[ -f $folder/$name && -s $folder/$name ]] || continue
    entry "$name" "$(crc_of "$folder/$name")"
  done < <(ls -A "$folder") | LC_ALL=C sort
  printf '\r\n'
}

# A listing file with its entry lines sorted, for comparing with expected_listing.
sorted_listing() {
  local file=$1 lines
  lines=$(wc -l <"$file")
  head -n 3 "$file"
  sed -n "4,$((lines - 1))p" "$file" | LC_ALL=C sort
  tail -n 1 "$file"
}

# Case folder T:\NAME with its start folder T:\NAME-start holding "Checksum.def".
new_case() {
  case_name=$1
  data=$drive/$case_name
  start=$drive/$case_name-start
  mkdir -p "$data" "$start"
  printf 'T:\\%s' "$case_name" >"$start/Checksum.def"
  cp "$start/Checksum.def" "$run/$case_name.def-before"
}

# Starts Sumwright.exe in the case's start folder, with the arguments given.
# (A 64-bit prefix says on every folder browse that it cannot read the Z: drive's label.)
start_app() {
  (cd "$start" && exec timeout 150 "$WINE" "$app" "$@") \
    2> >(grep -v 'Read access denied for device' >&2) &
  app_pid=$!
}

# Runs driver steps against the running program; the first step finds its window.
steps() {
  local log=$run/$case_name.log
  if (cd "$run" && timeout 140 "$WINE" "$driver" wait-main "$@") >>"$log" 2>&1; then
    return 0
  fi
  sed 's/^/    /' "$log"
  failed "$case_name" "driver: $(grep '^FAIL' "$log" | tail -n 1)"
  "$WINESERVER" -k >/dev/null 2>&1
  return 1
}

# Waits (bounded) for the program to end and checks that its exit code is 0.
finish_app() {
  local rc
  for _ in $(seq 1 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app_pid" 2>/dev/null; then
    failed "$case_name" "Sumwright.exe did not end"
    "$WINESERVER" -k >/dev/null 2>&1
    wait "$app_pid" 2>/dev/null
    return 1
  fi
  wait "$app_pid"
  rc=$?
  # Notepad outlives the program; none may be left over for the next case.
  timeout 20 "$WINE" "$driver" no-notepad=300 >/dev/null 2>&1 || true
  [[ $rc -eq 0 ]] || { failed "$case_name" "exit code $rc"; return 1; }
  return 0
}

# The common case: start, all steps, end.
drive_app() {
  start_app
  steps "$@" || { wait "$app_pid" 2>/dev/null; return 1; }
  finish_app
}

# The same with one argument on the program's command line.
drive_app_with() {
  local argument=$1
  shift
  start_app "$argument"
  steps "$@" || { wait "$app_pid" 2>/dev/null; return 1; }
  finish_app
}

check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then note "  ok   $what"; else failed "$case_name" "$what"; fi
}

same_file() { cmp -s "$1" "$2"; }
same_text() { cmp -s "$1" <(printf '%s' "$2"); }
settings_is() {  # settings_is FILE TEXT PAD: TEXT filled to 256 bytes with PAD (blank or nul)
  local expected=$run/expected.def
  printf '%s' "$2" >"$expected"
  if [[ $3 == blank ]]; then
    printf "%$((256 - ${#2}))s" '' >>"$expected"
  else
    head -c $((256 - ${#2})) /dev/zero >>"$expected"
  fi
  cmp -s "$1" "$expected"
}
listing_ok() { cmp -s <(sorted_listing "$data/File CRCs.TXT") "$run/$case_name.expected"; }
# The comparison written to the user's temporary folder, where the folder could not take it.
temporary_comparison() { find "$WINEPREFIX/drive_c/users" -name 'CRC Comparison.TXT' | head -n 1; }

Y='Existing CRC List Found, Do You Want To Compare?'
Y2='Do you want to see newly generated CRCs?'
SUB='This folder has subfolders. Do you want to checksum each subfolder as well, each with its own listing?'

# ---------------------------------------------------------------- end-to-end cases
note "--- cancel, Esc, odd notifications, then the close box while the browser is open: gone at once"
new_case cancel
printf 'hello' >"$data/a.txt"
if drive_app label=file-caption\|File label=crc-caption\|CRC label=file-label label=crc-label \
  click=select browser=cancel label=file-label label=crc-label enabled=select\|1 \
  key-escape command=cancel\|0 command=select\|5 no-browser=1500 command=exit\|2 sleep=500 alive \
  click=select wait-browser enabled=select\|0 enabled=exit\|0 \
  click=select command=exit\|0 sleep=1000 browsers=1 alive \
  close-box gone=1000; then
  check "nothing written" test ! -e "$data/File CRCs.TXT"
  check "Checksum.def unchanged by cancel and close box" same_file "$start/Checksum.def" "$run/cancel.def-before"
fi

note "--- Exit without a run rewrites Checksum.def as 256 bytes"
new_case exit
if drive_app click=exit gone=10000; then
  check "Checksum.def is the folder and 248 NULs" settings_is "$start/Checksum.def" 'T:\exit' nul
fi

note "--- first run: listing written and shown, labels Done, screenshot"
new_case first
printf 'hello' >"$data/a.txt"
printf '123456789' >"$data/b.bin"
head -c 100000 /dev/urandom >"$data/random.dat"
: >"$data/empty.txt"
printf 'x' >"$data/.hidden"  # Wine shows dot files as hidden: listed all the same
mkdir "$data/sub"
expected_listing "$data" 'T:\first\' >"$run/first.expected"
start_app
if steps click=select wait-browser enabled=select\|0 enabled=exit\|0 browser=ok\|first \
  box-default=Tallywick\|"$SUB"\|no \
  notepad=File\ CRCs.TXT no-box=Tallywick\|500 label=file-label\|Done label=crc-label\|Done \
  enabled=select\|1 enabled=exit\|1 client-size sleep=500 rect; then
  geometry=$(sed -n 's/^rect \([-0-9]*\) \([-0-9]*\) \([0-9]*\) \([0-9]*\).*/\3x\4+\1+\2/p' "$run/first.log")
  shot=$build/sumwright-main-window.png
  import -window root -crop "$geometry" +repage "$shot" && note "  screenshot $shot ($geometry)"
  # "File" and its name in pure blue, "CRC" and its checksum in pure red.
  colour_pixels() { convert "$shot" -format %c histogram:info:- | sed -n "s/^ *\([0-9]*\):.*$1.*/\1/p"; }
  check "blue labels in the screenshot" test "$(colour_pixels '#0000FF')" -gt 20
  check "red labels in the screenshot" test "$(colour_pixels '#FF0000')" -gt 20
  steps close-box gone=10000 && finish_app
else
  wait "$app_pid" 2>/dev/null
fi
check "listing as expected" listing_ok
check "no listing in the subfolder: No keeps the folder alone" test ! -e "$data/sub/File CRCs.TXT"
check "the run saved Checksum.def, the close box kept it" settings_is "$start/Checksum.def" 'T:\first' blank

# An earlier listing of a.txt (unchanged), b.txt (changed since), gone.txt (deleted) and the
# two output files; c.txt is new.
earlier_case() {
  new_case "$1"
  printf 'hello' >"$data/a.txt"
  printf 'changed' >"$data/b.txt"
  printf 'new' >"$data/c.txt"
  {
    printf 'File CRCs For Folder:\r\nT:\\%s\\\r\n%s\r\n' "$1" "$rule"
    entry a.txt "$(crc_of "$data/a.txt")"
    entry b.txt 1234ABCD
    entry gone.txt 99
    entry 'File CRCs.TXT' 5
    entry 'CRC Comparison.TXT' 6
    printf '\r\n'
  } >"$data/File CRCs.TXT"
  cp "$data/File CRCs.TXT" "$run/$1.earlier"
  expected_listing "$data" "T:\\$1\\" >"$run/$1.expected"
  {
    printf 'Comparison listing for Folder \r\nT:\\%s\\\r\n%s\r\n' "$1" "$rule"
    printf '%-70s%s\r\n' "$(entry a.txt "$(crc_of "$data/a.txt")" | tr -d '\r\n' | sed 's/ *$//')" OK
    printf '%-70s%s\r\n' "$(entry b.txt 1234ABCD | tr -d '\r\n')" 'CRC Missmatch'
    printf '%-70s%s\r\n' "$(entry gone.txt 99 | tr -d '\r\n')" 'Not Found in This Folder'
    printf '%-70s%s\r\n' "$(entry 'File CRCs.TXT' 5 | tr -d '\r\n')" Skipped
    printf '%-70s%s\r\n' "$(entry 'CRC Comparison.TXT' 6 | tr -d '\r\n')" Skipped
    printf '\r\n'
  } >"$run/$1.comparison"
}

note "--- earlier listing, Yes then Yes"
earlier_case yes-yes
if drive_app click=select browser=ok\|yes-yes box=Tallywick\|"$Y"\|yes \
  notepad=CRC\ Comparison.TXT box=Tallywick\|"$Y2"\|yes notepad=File\ CRCs.TXT \
  label=file-label\|Done click=exit gone=10000; then
  check "comparison written" same_file "$data/CRC Comparison.TXT" "$run/yes-yes.comparison"
  check "listing replaced" listing_ok
  check "Exit saved Checksum.def" settings_is "$start/Checksum.def" 'T:\yes-yes' blank
fi

note "--- earlier listing, Yes then No"
earlier_case yes-no
if drive_app click=select browser=ok\|yes-no box=Tallywick\|"$Y"\|yes \
  notepad=CRC\ Comparison.TXT box=Tallywick\|"$Y2"\|no no-notepad=2000 click=exit gone=10000; then
  check "comparison written" same_file "$data/CRC Comparison.TXT" "$run/yes-no.comparison"
  check "listing replaced" listing_ok
fi

note "--- earlier listing, No"
earlier_case no
printf 'older comparison' >"$data/CRC Comparison.TXT"
expected_listing "$data" 'T:\no\' >"$run/no.expected"
if drive_app click=select browser=ok\|no box=Tallywick\|"$Y"\|no notepad=File\ CRCs.TXT \
  no-box=Tallywick\|1000 click=exit gone=10000; then
  check "older comparison kept" same_text "$data/CRC Comparison.TXT" 'older comparison'
  check "listing replaced" listing_ok
fi

note "--- a changed file nobody modified since the earlier listing is singled out, an edit is not"
earlier_case damage
printf 'edited' >"$data/a.txt"                 # modified now, after the listing
touch -d '2020-01-01 12:00' "$data/b.txt"      # changed, its time put back before the listing
if drive_app click=select browser=ok\|damage box=Tallywick\|"$Y"\|yes \
  box=Tallywick\|"~1 file has changed although not modified since the earlier listing"\|ok \
  notepad=CRC\ Comparison.TXT box=Tallywick\|"$Y2"\|no click=exit gone=10000; then
  check "comparison still says CRC Missmatch for both" \
    test "$(grep -c 'CRC Missmatch' "$data/CRC Comparison.TXT")" -eq 2
fi

note "--- an earlier file that is not a listing"
new_case other
printf 'hello' >"$data/a.txt"
printf 'Not a listing\r\n' >"$data/File CRCs.TXT"
expected_listing "$data" 'T:\other\' >"$run/other.expected"
if drive_app click=select browser=ok\|other notepad=File\ CRCs.TXT no-box=Tallywick\|1000 \
  click=exit gone=10000; then
  check "replaced by the new listing" listing_ok
fi

note "--- listing cannot be written: box, no Notepad, file unchanged"
new_case readonly-listing
printf 'hello' >"$data/a.txt"
printf 'Kept as it is' >"$data/File CRCs.TXT"
chmod 444 "$data/File CRCs.TXT"  # Wine shows it with the read-only attribute
if drive_app click=select browser=ok\|readonly-listing \
  box=Tallywick\|"~T:\\readonly-listing\\File CRCs.TXT"\|ok no-notepad=2000 \
  label=file-label\|Done enabled=select\|1 click=exit gone=10000; then
  check "earlier file unchanged" same_text "$data/File CRCs.TXT" 'Kept as it is'
fi
chmod 644 "$data/File CRCs.TXT"

# The comparison the user asked for is still shown: from the user's temporary folder.
note "--- comparison cannot be written: box, shown from the temporary folder, listing still written"
earlier_case readonly-comparison
printf 'older comparison' >"$data/CRC Comparison.TXT"
chmod 444 "$data/CRC Comparison.TXT"
if drive_app click=select browser=ok\|readonly-comparison box=Tallywick\|"$Y"\|yes \
  box=Tallywick\|'~T:\readonly-comparison\CRC Comparison.TXT~could not be written into the folder~\Temp\CRC Comparison.TXT'\|ok \
  notepad=CRC\ Comparison.TXT box=Tallywick\|"$Y2"\|yes notepad=File\ CRCs.TXT \
  no-box=Tallywick\|1000 click=exit gone=10000; then
  check "older comparison unchanged" same_text "$data/CRC Comparison.TXT" 'older comparison'
  check "the comparison in the temporary folder" \
    same_file "$(temporary_comparison)" "$run/readonly-comparison.comparison"
  check "listing written" grep -q '^a.txt ' "$data/File CRCs.TXT"
fi
chmod 644 "$data/CRC Comparison.TXT"

note "--- 20,000 files: the window keeps answering, shows changing names and how far it has got"
new_case many
for ((i = 0; i < 20000; i++)); do printf '%d' "$i" >"$data/file$i.txt"; done
if drive_app click=select browser=ok\|many share-caption=30000\|3 answers=20\|1000 \
  names-change=30000\|5 notepad=File\ CRCs.TXT\|120000 label=file-label\|Done caption=Sumwright \
  click=exit gone=10000; then
  check "20,000 entries" test "$(grep -c '^file' "$data/File CRCs.TXT")" -eq 20000
  check "an entry is right" grep -q "^file12345.txt  *$(crc_of "$data/file12345.txt")"$'\r'"\$" "$data/File CRCs.TXT"
fi

# The bytes and the modification time of a file, to tell whether anything rewrote it.
file_state() { printf '%s ' "$(stat -c %y "$1")"; md5sum <"$1"; }

# Starts a run of the 20,000 files of "many" (from the command line, which needs no browser),
# then STOP_STEP (the close box, or Exit) while it reads: the window must be gone within a
# second, and the earlier listing and "Checksum.def" must be as they were.
stop_during_run() {
  local stop_step=$1
  new_case many
  case_name=many-stopped-by-${stop_step%%=*}  # its own log and name in the report
  cp "$data/File CRCs.TXT" "$run/many.earlier"
  start_app 'T:\many'
  if steps share-caption=20000\|2; then
    local def_before
    def_before=$(file_state "$start/Checksum.def")
    if steps share-caption=20000\|1 "$stop_step" gone=1000 threads; then
      finish_app
      # Counted as the window went: the window's thread alone, or none once the process ended.
      local threads
      threads=$(tr -d '\r' <"$run/$case_name.log" | sed -n 's/^threads //p' | tail -n 1)
      check "no thread of the run left when the window went" test "${threads:-99}" -le 1
    else
      wait "$app_pid" 2>/dev/null
    fi
    check "earlier listing byte-identical" same_file "$data/File CRCs.TXT" "$run/many.earlier"
    check "no comparison, no temporary file" test "$(ls "$data" | grep -cv '^file[0-9]*\.txt$')" -eq 1
    check "Checksum.def not rewritten after the run began" test "$(file_state "$start/Checksum.def")" = "$def_before"
    check "Checksum.def remembers the folder" settings_is "$start/Checksum.def" 'T:\many' blank
  else
    wait "$app_pid" 2>/dev/null
  fi
}

note "--- the close box during a run of 20,000 files: it stops, writes nothing and the window closes"
stop_during_run close-box
note "--- Exit during a run of 20,000 files: the same, and Checksum.def is not saved"
stop_during_run command=exit\|0

# A run with every box (the question, possible damage, the second question), stopped by STOP_STEP
# (the close box, or Exit) while the box AT is open: the window is gone within a second, no box
# or Notepad follows, and nothing is written after the stop.
#   stop_at_box NAME STOP_STEP COMPARISON_WRITTEN LISTING_WRITTEN STEPS...
stop_at_box() {
  local name=$1 stop_step=$2 comparison_written=$3 listing_written=$4
  shift 4
  earlier_case "$name"
  touch -d '2020-01-01 12:00' "$data/b.txt"  # changed, not modified since: possible damage
  start_app "T:\\$name"
  if steps "$@" "$stop_step" gone=1000; then
    finish_app
    timeout 20 "$WINE" "$driver" no-notepad=1000 no-box=Tallywick\|500 >>"$run/$name.log" 2>&1 ||
      failed "$name" "a box or Notepad after the stop"
  else
    wait "$app_pid" 2>/dev/null
  fi
  if [[ $comparison_written == yes ]]; then
    check "the comparison, written before the stop" same_file "$data/CRC Comparison.TXT" "$run/$name.comparison"
  else
    check "no comparison" test ! -e "$data/CRC Comparison.TXT"
  fi
  if [[ $listing_written == yes ]]; then
    check "the listing, written before the stop" listing_ok
  else
    check "the earlier listing as it was" same_file "$data/File CRCs.TXT" "$run/$name.earlier"
  fi
  check "no temporary file" test "$(ls "$data" | grep -c '\.tmp-')" -eq 0
  check "Checksum.def remembers the folder" settings_is "$start/Checksum.def" "T:\\$name" blank
}

note "--- the close box or Exit while a box of the run is open: gone within a second, nothing more written"
damage_box=Tallywick\|'~1 file has changed although not modified since the earlier listing'
stop_at_box stop-at-question close-box no no wait-box=Tallywick\|"$Y"
stop_at_box stop-at-damage close-box yes no box=Tallywick\|"$Y"\|yes wait-box="$damage_box"
stop_at_box exit-at-damage command=exit\|0 yes no box=Tallywick\|"$Y"\|yes wait-box="$damage_box"
stop_at_box stop-at-second-question close-box yes yes box=Tallywick\|"$Y"\|yes \
  box="$damage_box"\|ok notepad=CRC\ Comparison.TXT wait-box=Tallywick\|"$Y2"

note "--- the close box in the middle of two files of 4 GiB: gone within a second, nothing written"
new_case huge
truncate -s 4G "$data/huge1.bin" "$data/huge2.bin"  # sparse: read at the speed of memory
start_app 'T:\huge'
if steps share-caption=20000\|1 close-box gone=1000; then
  finish_app
else
  wait "$app_pid" 2>/dev/null
fi
check "nothing written" test "$(ls "$data" | wc -l)" -eq 2
rm -f "$data/huge1.bin" "$data/huge2.bin"

# ---------------------------------------------------------------- trees
# The tree summary, kept in the user's temporary folder.
tree_summary() { find "$WINEPREFIX/drive_c/users" -name 'Sumwright Tree Summary.TXT' | head -n 1; }

note "--- a tree of three levels: checksummed on Yes, then compared: one question, one box each for what could not be read and for possible damage, one summary"
new_case tree
mkdir -p "$data/l1/l2"
printf 'top' >"$data/a.txt"
printf 'one' >"$data/l1/b.txt"
printf 'deep' >"$data/l1/l2/c.txt"
printf 'held' >"$data/l1/l2/d.bin"
printf 'kept' >"$data/l1/l2/e.txt"
if drive_app click=select browser=ok\|tree box-default=Tallywick\|"$SUB"\|yes \
  notepad=Sumwright\ Tree\ Summary.TXT label=file-label\|Done click=exit gone=10000; then
  for folder in "$data" "$data/l1" "$data/l1/l2"; do
    check "a listing in ${folder#"$drive"/}" grep -qa '^File CRCs For Folder:' "$folder/File CRCs.TXT"
  done
  check "each folder lists its own files" grep -qa "^c.txt  *$(crc_of "$data/l1/l2/c.txt")" "$data/l1/l2/File CRCs.TXT"
fi
printf 'DEEP' >"$data/l1/l2/c.txt"                     # changed deep down, an edit
printf 'KEPT' >"$data/l1/l2/e.txt"                     # changed, its old time put back
touch -d '2020-01-01 12:00' "$data/l1/l2/e.txt"
if drive_app hold='T:\tree\l1\l2\d.bin' click=select browser=ok\|tree \
  box-default=Tallywick\|"$SUB"\|yes box=Tallywick\|"$Y"\|yes \
  box=Tallywick\|'~1 file of the tree could not be read~l1\l2\d.bin'\|ok \
  box=Tallywick\|'~1 file has changed although not modified~l1\l2\e.txt'\|ok \
  notepad=Sumwright\ Tree\ Summary.TXT no-box=Tallywick\|500 label=file-label\|Done \
  click=exit gone=10000; then
  summary=$(tree_summary)
  check "the summary names the change deep down by its path" grep -qa 'l1\\l2\\c.txt  *CRC Missmatch' "$summary"
  check "the summary names the held file" grep -qa 'l1\\l2\\d.bin  *Could Not Be Read' "$summary"
  check "the summary counts the tree" grep -qa '^Compared in 3 folders: ' "$summary"
  check "each folder has its comparison" grep -qa 'CRC Missmatch' "$data/l1/l2/CRC Comparison.TXT"
  check "the top's comparison is its own" grep -qa '^a.txt .*OK' "$data/CRC Comparison.TXT"
  check "no temporary file anywhere" test "$(find "$data" -name '*.tmp-*' | wc -l)" -eq 0
fi

note "--- the close box in the middle of a tree: gone within a second, what was committed whole, nothing else"
new_case bigtree
for ((f = 0; f < 40; f++)); do
  mkdir -p "$data/f$f"
  for ((i = 0; i < 500; i++)); do printf '%d' "$i" >"$data/f$f/file$i.txt"; done
done
start_app 'T:\bigtree'
if steps box-default=Tallywick\|"$SUB"\|yes share-caption=30000\|1 close-box gone=1000; then
  finish_app
else
  wait "$app_pid" 2>/dev/null
fi
whole=0
for listing in $(find "$data" -name 'File CRCs.TXT'); do
  # 500 entries (the top has none), the header and the closing empty line.
  lines=$(tr -cd '\n' <"$listing" | wc -c)
  if [[ $listing == "$data/File CRCs.TXT" ]]; then want=4; else want=504; fi
  [[ $lines -eq $want ]] && whole=$((whole + 1))
done
check "every listing written is whole ($whole of 41)" test "$whole" -eq "$(find "$data" -name 'File CRCs.TXT' | wc -l)"
check "the tree was stopped before its end" test "$whole" -lt 41
check "no temporary file anywhere" test "$(find "$data" -name '*.tmp-*' | wc -l)" -eq 0

note "--- a folder from the command line (Send To, a folder's context menu): run without the browser"
earlier_case 'from explorer'
if drive_app_with 'T:\from explorer' box=Tallywick\|"$Y"\|yes notepad=CRC\ Comparison.TXT \
  box=Tallywick\|"$Y2"\|yes notepad=File\ CRCs.TXT label=file-label\|Done caption=Sumwright \
  enabled=select\|1 click=exit gone=10000; then
  check "comparison written" same_file "$data/CRC Comparison.TXT" "$run/from explorer.comparison"
  check "listing replaced" listing_ok
  check "the folder is remembered" settings_is "$start/Checksum.def" 'T:\from explorer' blank
fi

note "--- an argument that names no folder: a box names it, nothing changes"
new_case bad-argument
printf 'hello' >"$data/a.txt"
if drive_app_with 'T:\bad-argument\a.txt' \
  box=Tallywick\|"~Sumwright was started with T:\\bad-argument\\a.txt, which names no folder"\|ok \
  label=file-label enabled=select\|1 no-notepad=500 close-box gone=10000; then
  check "nothing written" test ! -e "$data/File CRCs.TXT"
  check "Checksum.def unchanged" same_file "$start/Checksum.def" "$run/bad-argument.def-before"
fi

note "--- the zip's context-menu entry: the folder's \"Checksum with Sumwright\" runs it; the removal takes it away"
new_case context-menu
printf 'hello' >"$data/a.txt"
expected_listing "$data" 'T:\context-menu\' >"$run/context-menu.expected"
# The entry starts the program where the .reg file says: in the user's own programs folder.
local_appdata=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Local | grep -v /Public/ | head -n 1)
mkdir -p "$local_appdata/Programs/Sumwright"
cp "$app" "$build/exports/Sumwright.dll" "$local_appdata/Programs/Sumwright/"
menu_key='Software\Classes\Directory\shell\Sumwright'
if "$WINE" regedit /s "$(wine_z_path "$build/context-menu-add.reg")" &&
  (cd "$start" && timeout 140 "$WINE" "$driver" context-menu="$menu_key"\|'T:\context-menu' wait-main \
    notepad=File\ CRCs.TXT label=file-label\|Done click=exit gone=10000) >>"$run/context-menu.log" 2>&1
then
  check "listing written" listing_ok
  check "named \"Checksum with Sumwright\"" grep -q 'Checksum with Sumwright' \
    <("$WINE" reg query "HKCU\\$menu_key" /ve 2>/dev/null)
else
  sed 's/^/    /' "$run/context-menu.log"
  failed context-menu "the entry did not run the folder"
fi
"$WINE" regedit /s "$(wine_z_path "$build/context-menu-remove.reg")"
key_absent() { ! "$WINE" reg query "$1" >/dev/null 2>&1; }
check "removed again" key_absent "HKCU\\$menu_key"
timeout 20 "$WINE" "$driver" no-notepad=300 >/dev/null 2>&1 || true

note "--- names of every kind, a path past 260 characters, a file held by another program"
# Created by their UTF-8 names; Wine hands them to the program as their Unicode names. In code
# page 1252 the listing holds what the ANSI conversion gives: "?" for what 1252 lacks.
new_case names
long=$(printf 'n%.0s' {1..250}).txt
for name in plain.txt 'Café.txt' '日本語.txt' '日本国.txt' 'smile 😀.txt' "$long" locked.bin; do
  printf '123456789' >"$data/$name"
done
{
  printf 'File CRCs For Folder:\r\nT:\\names\\\r\n%s\r\n' "$rule"
  {
    entry plain.txt CBF43926
    entry $'Caf\xe9.txt' CBF43926
    entry '???.txt' CBF43926
    entry '???.txt' CBF43926
    entry 'smile ??.txt' CBF43926
    printf '%s%s\r\n' "${long:0:40}" CBF43926
    entry locked.bin 0
  } | LC_ALL=C sort
  printf '\r\n'
} >"$run/names.expected"
held='T:\names\locked.bin'
if drive_app hold="$held" click=select browser=ok\|names \
  box=Tallywick\|"~1 file could not be read~locked.bin: ~\"???.txt\" \"???.txt\""\|ok \
  notepad=File\ CRCs.TXT label=file-label\|Done click=exit gone=10000; then
  check "every name read and listed as the ANSI enumeration gives it" listing_ok
fi
# Again, the file still held: its earlier "0" is not a checksum, and nothing calls it "OK".
if drive_app hold="$held" click=select browser=ok\|names box=Tallywick\|"~locked.bin: "\|ok \
  box=Tallywick\|"$Y"\|yes notepad=CRC\ Comparison.TXT box=Tallywick\|"$Y2"\|no \
  click=exit gone=10000; then
  check "the held file could not be read" grep -qa "^locked.bin  *0  *Could Not Be Read"$'\r'"\$" \
    "$data/CRC Comparison.TXT"
  check "every other file OK" test "$(grep -ac ' OK'$'\r''$' "$data/CRC Comparison.TXT")" -eq 6
fi

note "--- a folder whose name ends in a blank beside its neighbour; names ending in a dot or a blank; hard-linked pairs"
# Each name is its own file and "tsp " its own folder: nothing is read as, or written into, its
# neighbour. "f4.txt" and "f4.txt " share their line's name column, which a box says.
new_case 'tsp '
printf 'T:\\tsp \\' >"$start/Checksum.def"  # as the program remembers such a folder
mkdir -p "$drive/tsp"
printf 'neighbour' >"$drive/tsp/in.txt"
printf 'chosen' >"$data/in.txt"
printf '123456789' >"$data/f4.txt"
printf 'abcdefghi' >"$data/f4.txt."
printf 'short' >"$data/f4.txt "
for ((i = 0; i < 10; i++)); do
  head -c $((300000 + i)) /dev/urandom >"$data/pair$i.bin"
  ln "$data/pair$i.bin" "$data/pair$i link.bin"
done
expected_listing "$data" 'T:\tsp \' >"$run/$case_name.expected"
if drive_app click=select browser=ok\|'tsp ' box=Tallywick\|'~listed under one name each~"f4.txt"'\|ok \
  notepad=File\ CRCs.TXT click=exit gone=10000; then
  check "each name with its own checksum, in the chosen folder" listing_ok
  check "the neighbour untouched" test ! -e "$drive/tsp/File CRCs.TXT"
  check "Checksum.def keeps the closing blank" settings_is "$start/Checksum.def" 'T:\tsp \' blank
fi

note "--- a folder that tells case apart (Linux under Wine): files renamed in case only, the user's look-alikes of the tool's names"
# The tool's own names are matched exactly there: the user's "CRC COMPARISON.TXT" is listed and
# compared like any file, never replaced (the comparison goes to the temporary folder, since the
# system would take that file for the tool's), and earlier lines naming look-alikes are the
# user's files. A line that names a file by its name in other case alone is compared with it.
new_case case-names
printf 'hello' >"$data/report.doc"
printf 'changed' >"$data/notes.txt"
printf 'my own notes' >"$data/CRC COMPARISON.TXT"
{
  printf 'File CRCs For Folder:\r\nT:\\case-names\\\r\n%s\r\n' "$rule"
  entry Report.DOC "$(crc_of "$data/report.doc")"
  entry NOTES.TXT 1234ABCD
  entry 'File CRCs.TXT' 5
  entry 'CRC COMPARISON.TXT' "$(crc_of "$data/CRC COMPARISON.TXT")"
  entry 'crc comparison.txt' 6
  printf '\r\n'
} >"$data/File CRCs.TXT"
{
  printf 'Comparison listing for Folder \r\nT:\\case-names\\\r\n%s\r\n' "$rule"
  printf '%-70s%s\r\n' "$(entry Report.DOC "$(crc_of "$data/report.doc")" | tr -d '\r\n' | sed 's/ *$//')" OK
  printf '%-70s%s\r\n' "$(entry NOTES.TXT 1234ABCD | tr -d '\r\n')" 'CRC Missmatch'
  printf '%-70s%s\r\n' "$(entry 'File CRCs.TXT' 5 | tr -d '\r\n')" Skipped
  printf '%-70s%s\r\n' "$(entry 'CRC COMPARISON.TXT' "$(crc_of "$data/CRC COMPARISON.TXT")" | tr -d '\r\n')" OK
  printf '%-70s%s\r\n' "$(entry 'crc comparison.txt' 6 | tr -d '\r\n')" 'CRC Missmatch'
  printf '\r\n'
} >"$run/$case_name.comparison"
find "$WINEPREFIX/drive_c/users" -name 'CRC Comparison.TXT' -delete  # an earlier case's
if drive_app click=select browser=ok\|case-names box=Tallywick\|"$Y"\|yes \
  box=Tallywick\|'~could not be written into the folder~letter case~Temp\CRC Comparison.TXT'\|ok \
  notepad=CRC\ Comparison.TXT box=Tallywick\|"$Y2"\|no click=exit gone=10000; then
  check "compared: by case alone with renamed files, exactly with the tool's names" \
    same_file "$(temporary_comparison)" "$run/$case_name.comparison"
  check "the user's look-alike kept" same_text "$data/CRC COMPARISON.TXT" 'my own notes'
  check "the user's look-alike listed" grep -qa '^CRC COMPARISON.TXT ' "$data/File CRCs.TXT"
  check "the new listing in place" grep -qa '^report.doc ' "$data/File CRCs.TXT"
fi

note "--- a damaged earlier listing of 400 MB of zero bytes"
# Not a listing: no question, no box, replaced by the new one; memory follows the folder.
new_case zeros
printf 'hello' >"$data/a.txt"
truncate -s 400M "$data/File CRCs.TXT"  # sparse: zero bytes that cost no disk
if drive_app click=select browser=ok\|zeros notepad=File\ CRCs.TXT\|60000 \
  no-box=Tallywick\|1000 label=file-label\|Done click=exit gone=10000; then
  check "replaced by the new listing" grep -qa "^a.txt  *$(crc_of "$data/a.txt")"$'\r'"\$" "$data/File CRCs.TXT"
  check "the new listing is small" test "$(stat -c %s "$data/File CRCs.TXT")" -lt 1000
fi

note "--- read-only media: the comparison shown from the temporary folder; Checksum.def read-only, said once"
new_case read-only
printf 'hello' >"$data/a.txt"
{
  printf 'File CRCs For Folder:\r\nT:\\read-only\\\r\n%s\r\n' "$rule"
  entry a.txt "$(crc_of "$data/a.txt")"
  printf '\r\n'
} >"$data/File CRCs.TXT"
{
  printf 'Comparison listing for Folder \r\nT:\\read-only\\\r\n%s\r\n' "$rule"
  printf '%-70s%s\r\n' "$(entry a.txt "$(crc_of "$data/a.txt")" | tr -d '\r\n' | sed 's/ *$//')" OK
  printf '\r\n'
} >"$run/$case_name.comparison"
find "$WINEPREFIX/drive_c/users" -name 'CRC Comparison.TXT' -delete  # an earlier case's
chmod 444 "$start/Checksum.def"  # Wine shows it with the read-only attribute
chmod 555 "$data"
# Root writes into a folder whatever its mode: then the folder is made immutable.
if ((EUID == 0)); then chattr +i "$data" 2>/dev/null; fi
if touch "$data/probe" 2>/dev/null; then
  rm -f "$data/probe"
  note "  skip read-only media: this machine cannot make a folder read-only"
elif drive_app click=select browser=ok\|read-only \
  box=Tallywick\|'~Checksum.def~could not be saved'\|ok box=Tallywick\|"$Y"\|yes \
  box=Tallywick\|'~could not be written into the folder~Temp\CRC Comparison.TXT'\|ok \
  notepad=CRC\ Comparison.TXT box=Tallywick\|'~T:\read-only\File CRCs.TXT~could not be written'\|ok \
  no-notepad=1500 click=exit gone=10000; then
  check "the comparison in the temporary folder" \
    same_file "$(temporary_comparison)" "$run/$case_name.comparison"
  check "nothing written into the folder" test ! -e "$data/CRC Comparison.TXT"
fi
chattr -i "$data" 2>/dev/null
chmod 755 "$data"
chmod 644 "$start/Checksum.def"

# ---------------------------------------------------------------- summary
if ((${#failures[@]} > 0)); then
  note "Windows tests FAILED: ${failures[*]}"
  exit 1
fi
note "Windows tests passed"
