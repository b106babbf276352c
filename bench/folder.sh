#!/usr/bin/env bash
# Folder pass benchmark: sumwright against 7-Zip, RHash and floors (a plain open/read/close loop
# with ISA-L's CRC-32 on 1, 2 and 16 threads claiming files from one list), on two corpora;
# then the cost of comparing with a 200,000-line earlier listing. Every figure is also given as
# a ratio to a contender measured in the same run.
#
#   bench/folder.sh [BUILD_DIR] [DATA_DIR]
#
# BUILD_DIR: a Release build configured with -DSUMWRIGHT_BENCH=ON (default: build-folder).
# DATA_DIR:  where the corpora live (default: $BENCH_DATA, else build-bench-data beside the
#            sources, which git ignores); they are made on first use and kept.
# COLD=1:    drop the page cache before every timed run (needs root: writes
#            /proc/sys/vm/drop_caches); without it the corpora are read from memory.
# MILLION=1: add the corpus of 1,000,000 files of 1 KiB (about 4 GiB on disk), with the peak
#            memory of every sumwright run, --no-compare and --compare.
# TREE=1:   add two trees of folders of 20 files of 4 KiB: 2,000 folders (20 of 100: fast enough
#            to run often) and 10,000 (100 of 100), with sumwright -r against rhash -r and the
#            floors over the whole tree, one of them also saving a small file in every folder
#            durably in batches as sumwright saves its listings (floor-16w). TREES names which
#            (default "tree2k tree").
# WINDOWS=DIR: also time the Windows program's folder pass from the Windows build DIR (configured
#            with -DSUMWRIGHT_BENCH=ON; its bench/windows_pass.exe) under Wine, whichever edition
#            that build is; its own timing output excludes Wine's start-up.
# BASELINE:  optional path of another sumwright binary (an earlier build) to time alongside.
# CORPORA:   which of the usual corpora to run (default "big small compare"; "" for none, to
#            time only the million files or the tree).
# ROUNDS:    repetitions (default 7; 3 for the million files). Each round runs every contender
#            once, in an order that rotates from round to round; the tables give medians.
# VERBOSE=1: also print every single time.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-folder}
data=${2:-${BENCH_DATA:-$here/../build-bench-data}}
rounds=${ROUNDS:-7}

sumwright=$build/cli/sumwright
floor=$build/bench/folder_floor
for tool in "$sumwright" "$floor"; do
  [[ -x $tool ]] || { echo "missing $tool: build with -DSUMWRIGHT_BENCH=ON" >&2; exit 2; }
done
for tool in 7z rhash bc /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done
if [[ -n ${COLD:-} ]]; then
  if ! { sync && echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null; then
    echo "COLD=1 needs root to drop the page cache (/proc/sys/vm/drop_caches): run as root," \
      "or without COLD for page-cached figures" >&2
    exit 2
  fi
fi

listing="File CRCs.TXT"
comparison="CRC Comparison.TXT"

# ---- corpora --------------------------------------------------------------------------------
make_big() {  # 1 GiB in 8 files of 128 MiB
  [[ -f $data/big/part7.bin ]] && return
  mkdir -p "$data/big"
  for i in 0 1 2 3 4 5 6 7; do head -c $((128 << 20)) /dev/urandom >"$data/big/part$i.bin"; done
}
make_files() {  # $1: folder, $2: count, $3: size in bytes
  local last
  last=$(printf '%s/file_%07d.bin' "$1" $(($2 - 1)))
  [[ -f $last ]] && return
  mkdir -p "$1"
  head -c $(($2 * $3)) /dev/urandom | (cd "$1" && split -b "$3" -a 7 -d --additional-suffix=.bin - file_)
}
make_big
make_files "$data/small" 20000 4096
make_files "$data/compare" 20000 4096
[[ -n ${MILLION:-} ]] && make_files "$data/million" 1000000 1024
make_tree() {  # $1: folder, $2: how many folders of 100 folders of 20 files of 4 KiB
  local last
  last=$(printf '%s/%03d/099/file_0000019.bin' "$1" $(($2 - 1)))
  [[ -f $last ]] && return
  local a b
  for a in $(seq -f %03g 0 $(($2 - 1))); do
    for b in $(seq -f %03g 0 99); do make_files "$1/$a/$b" 20 4096; done
  done
}
if [[ -n ${TREE:-} ]]; then
  make_tree "$data/tree2k" 20
  make_tree "$data/tree" 100
fi

# The earlier listing for the comparison: the folder's 20,000 true entries, 1,000 of them with
# a changed checksum, and 180,000 entries for files that are gone; 200,000 lines in all, and the
# closing empty line every listing ends with.
earlier=$data/earlier-200000-v2.txt
if [[ ! -f $earlier ]]; then
  rm -f "$data/compare/$listing" "$data/compare/$comparison"
  "$sumwright" --no-compare -q "$data/compare" >/dev/null
  awk 'BEGIN { ORS = "\r\n" }
       { sub(/\r$/, "") }
       NR <= 3 { print; next }
       $0 == "" { next }
       { n++; if (n % 20 == 0) { $0 = substr($0, 1, 40) "DEADBEEF" } print }
       END { for (i = 0; i < 180000; i++) printf "gone_%06d.bin%25s%X\r\n", i, "", i * 2654435761 % 4294967296
             print "" }' \
    "$data/compare/$listing" >"$earlier"
  rm -f "$data/compare/$listing"
fi
lines=$(wc -l <"$earlier")

# ---- the Windows program --------------------------------------------------------------------
windows_pass=""
if [[ -n ${WINDOWS:-} ]]; then
  source "$here/../scripts/wine-env.sh"
  windows_pass=$(cd "$WINDOWS" && pwd)/bench/windows_pass.exe
  [[ -f $windows_pass ]] || { echo "missing $windows_pass: build $WINDOWS with -DSUMWRIGHT_BENCH=ON" >&2; exit 2; }
  windows_edition=$(build_edition "$WINDOWS")
  wine_use "$windows_edition"
  export WINEPREFIX=$data/wine-$windows_edition
  [[ -d $WINEPREFIX ]] || { "$WINE" wineboot -i >/dev/null 2>&1; "$WINESERVER" -w; }
  # One server for every run, so its start-up is not timed (one left running is used as it is),
  # and none left behind.
  "$WINESERVER" -p 60 2>/dev/null || true
  trap '"$WINESERVER" -k 2>/dev/null || true' EXIT
fi

# ---- timing ---------------------------------------------------------------------------------
# Every contender is a run function with a prep function that runs first, outside the timed
# part. A run function may set `took` (seconds) to give its own timing instead of the wall clock.
declare -A times memory

clean() { rm -f "$1/$listing" "$1/$comparison"; }
# Before the clock starts: the preparation's own writes (a tree's 2,000 listings deleted) are
# flushed, or the first flush of a contender that saves durably pays for them; with COLD, the
# page cache is dropped too.
settle() {
  sync
  [[ -z ${COLD:-} ]] || echo 3 >/proc/sys/vm/drop_caches
}

run_floor1() { "$floor" "$1" 1 >/dev/null; }
run_floor2() { "$floor" "$1" 2 >/dev/null; }
run_floor16() { "$floor" "$1" 16 >/dev/null; }
# sumwright runs report their peak memory (KiB) through /usr/bin/time.
run_sumwright() { /usr/bin/time -f %M -o "$data/.rss" "$sumwright" --no-compare -q "$1" >/dev/null; }
run_baseline() { "$BASELINE" --no-compare -q "$1" >/dev/null; }
run_baseline_compare() { "$BASELINE" --compare -q "$1" >/dev/null || [[ $? == 1 ]]; }
# The folder itself rather than its names: a million names overflow the argument list.
run_7z() { (cd "$1" && 7z h -scrcCRC32 -- . >/dev/null); }
run_rhash() { rhash --crc32 -r "$1" >/dev/null; }
run_tree_floor2() { "$floor" -r "$1" 2 >/dev/null; }
run_tree_floor16() { "$floor" -r "$1" 16 >/dev/null; }
run_tree_floor16w() { "$floor" -r -w "$1" 16 >/dev/null; }
run_tree_baseline() { "$BASELINE" -r --no-compare -q "$1" >/dev/null; }
run_tree_sumwright() {
  /usr/bin/time -f %M -o "$data/.rss" "$sumwright" -r --no-compare -q "$1" >/dev/null
}
clean_tree() { find "$1" \( -name "$listing" -o -name "$comparison" \) -delete; }
run_with_compare() {
  /usr/bin/time -f %M -o "$data/.rss" "$sumwright" --compare -q "$1" >/dev/null || [[ $? == 1 ]]
}
run_windows() {
  took=$("$WINE" "$windows_pass" "$(wine_z_path "$1")" 2>/dev/null | sed -n 's/^pass \([0-9.]*\).*/\1/p')
}
prep_earlier() { clean "$1"; cp "$earlier" "$1/$listing"; }
prep_own_listing() { clean "$1"; cp "$data/.own-listing" "$1/$listing"; }

time_once() {  # key, prep, run, folder
  "$2" "$4"
  settle
  rm -f "$data/.rss"
  took=""
  local start=$EPOCHREALTIME
  "$3" "$4"
  local end=$EPOCHREALTIME
  [[ -n $took ]] || took=$(bc <<<"$end - $start")
  times[$1]+="$took "
  [[ -s $data/.rss ]] && memory[$1]+="$(<"$data/.rss") "
  return 0
}

median() { tr ' ' '\n' <<<"$1" | { grep . || true; } | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# $1: corpus name, $2: folder, then triples of label, prep function and run function.
bench() {
  local corpus=$1 folder=$2
  shift 2
  local -a labels=() preps=() runs=()
  while (($#)); do labels+=("$1"); preps+=("$2"); runs+=("$3"); shift 3; done
  local n=${#labels[@]} round i k
  for i in "${!runs[@]}"; do "${preps[$i]}" "$folder"; "${runs[$i]}" "$folder"; done  # warm up
  for ((round = 0; round < rounds; round++)); do
    for ((k = 0; k < n; k++)); do
      i=$(((round + k) % n))
      time_once "$corpus/${labels[$i]}" "${preps[$i]}" "${runs[$i]}" "$folder"
    done
  done
  clean "$folder"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
contenders=(floor-1 clean run_floor1 floor-2 clean run_floor2 floor-16 clean run_floor16
  sumwright clean run_sumwright 7z clean run_7z rhash clean run_rhash)
[[ -n ${BASELINE:-} ]] && contenders+=(baseline clean run_baseline)
[[ -n $windows_pass ]] && contenders+=(windows clean run_windows)
corpora=${CORPORA-big small compare}
has() { [[ " $corpora " == *" $1 "* ]]; }
has big && bench big "$data/big" "${contenders[@]}"
has small && bench small "$data/small" "${contenders[@]}"
compare_contenders=(plain clean run_sumwright no-compare prep_earlier run_sumwright
  compare prep_earlier run_with_compare)
[[ -n ${BASELINE:-} ]] && compare_contenders+=(baseline-compare prep_earlier run_baseline_compare)
has compare && bench compare "$data/compare" "${compare_contenders[@]}"
if [[ -n ${MILLION:-} ]]; then
  # Compared with its own earlier listing: every entry is "OK".
  clean "$data/million"
  "$sumwright" --no-compare -q "$data/million" >/dev/null
  cp "$data/million/$listing" "$data/.own-listing"
  million=(floor-2 clean run_floor2 floor-16 clean run_floor16 sumwright clean run_sumwright
    compare prep_own_listing run_with_compare 7z clean run_7z)
  [[ -n $windows_pass ]] && million+=(windows clean run_windows)
  [[ -n ${BASELINE:-} ]] && million+=(baseline clean run_baseline)
  rounds_before=$rounds
  rounds=${ROUNDS:-3}
  bench million "$data/million" "${million[@]}"
  rounds=$rounds_before
fi

if [[ -n ${TREE:-} ]]; then
  tree_contenders=(floor-2 clean_tree run_tree_floor2 floor-16 clean_tree run_tree_floor16
    floor-16w clean_tree run_tree_floor16w sumwright clean_tree run_tree_sumwright
    rhash clean_tree run_rhash)
  [[ -n ${BASELINE:-} ]] && tree_contenders+=(baseline clean_tree run_tree_baseline)
  for tree in ${TREES:-tree2k tree}; do
    bench "$tree" "$data/$tree" "${tree_contenders[@]}"
    clean_tree "$data/$tree"
  done
fi

# ---- report ---------------------------------------------------------------------------------
ratio() { bc -l <<<"scale=2; $1 / $2"; }
echo "CPU: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; $rounds rounds, medians;" \
  "$([[ -n ${COLD:-} ]] && echo "cold: page cache dropped before every run" || echo "page-cached")"
echo "load average before: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg)"
report() {  # corpus, title, labels...
  local corpus=$1 title=$2 label t
  shift 2
  [[ -n ${times[$corpus/floor-2]:-} ]] || return 0  # not run this time
  echo
  echo "$title"
  local f2 f16 z
  f2=$(median "${times[$corpus/floor-2]}")
  f16=$(median "${times[$corpus/floor-16]}")
  local peer=7z
  [[ -n ${times[$corpus/7z]:-} ]] || peer=rhash
  z=$(median "${times[$corpus/$peer]:-}")
  printf '  %-10s %9s %10s %10s %10s %12s\n' contender seconds "/ floor-2" "/ floor-16" \
    "$peer / this" "peak memory"
  for label in "$@"; do
    t=$(median "${times[$corpus/$label]:-}")
    [[ -n $t ]] || continue
    local mem=""
    [[ -n ${memory[$corpus/$label]:-} ]] && mem="$(($(median "${memory[$corpus/$label]}") / 1024)) MiB"
    printf '  %-10s %9.3f %9sx %9sx %9sx %12s\n' "$label" "$t" "$(ratio "$t" "$f2")" \
      "$(ratio "$t" "$f16")" "$([[ -n $z ]] && ratio "$z" "$t" || echo -)" "$mem"
    [[ -n ${VERBOSE:-} ]] && echo "             ${times[$corpus/$label]}"
  done
  return 0
}
labels=(floor-1 floor-2 floor-16 sumwright 7z rhash baseline windows)
has big && report big "1 GiB in 8 files ($data/big)" "${labels[@]}"
has small && report small "20,000 files of 4 KiB ($data/small)" "${labels[@]}"
if [[ -n ${MILLION:-} ]]; then
  report million "1,000,000 files of 1 KiB ($data/million), compared with their own listing" \
    floor-2 floor-16 sumwright compare 7z windows baseline
fi
if [[ -n ${TREE:-} ]]; then
  for tree in ${TREES:-tree2k tree}; do
    folders=2,000
    [[ $tree == tree ]] && folders=10,000
    report "$tree" "$folders folders of 20 files of 4 KiB ($data/$tree), sumwright -r" floor-2 \
      floor-16 floor-16w sumwright rhash baseline
  done
fi
has compare || exit 0
echo
echo "Comparison: $((lines - 3)) earlier entries against 20,000 files ($data/compare)"
p=$(median "${times[compare/plain]}")
w=$(median "${times[compare/no-compare]}")
c=$(median "${times[compare/compare]}")
printf '  %-34s %9.3f\n' "no earlier listing, --no-compare" "$p" \
  "earlier listing, --no-compare" "$w" "earlier listing, --compare" "$c"
printf '  --compare / --no-compare: %.2f; --compare / no earlier listing: %.2f\n' \
  "$(ratio "$c" "$w")" "$(ratio "$c" "$p")"
if [[ -n ${BASELINE:-} ]]; then
  b=$(median "${times[compare/baseline-compare]}")
  printf '  %-34s %9.3f (this / baseline: %.2f)\n' "baseline, earlier listing, --compare" "$b" \
    "$(ratio "$c" "$b")"
fi
