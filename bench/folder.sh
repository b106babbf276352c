#!/usr/bin/env bash
# Folder pass benchmark: sumwright against 7-Zip, RHash and a floor (one thread enumerating,
# opening, reading and checksumming with ISA-L), on two page-cached corpora; then the cost of
# comparing with a 200,000-line earlier listing.
#
#   bench/folder.sh [BUILD_DIR] [DATA_DIR]
#
# BUILD_DIR: a Release build configured with -DSUMWRIGHT_BENCH=ON (default: build-folder).
# DATA_DIR:  where the corpora live (default: $BENCH_DATA, else build-bench-data beside the
#            sources, which git ignores);
#            they are made on first use and kept.
# BASELINE:  optional path of another sumwright binary (an earlier build) to time alongside.
# VERBOSE=1: also print every single time.
# ROUNDS:    repetitions (default 7). Each round runs every contender once, in an order that
#            rotates from round to round; the table gives medians.
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
for tool in 7z rhash bc; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done

listing="File CRCs.TXT"
comparison="CRC Comparison.TXT"

# ---- corpora --------------------------------------------------------------------------------
make_big() {  # 1 GiB in 8 files of 128 MiB
  [[ -f $data/big/part7.bin ]] && return
  mkdir -p "$data/big"
  for i in 0 1 2 3 4 5 6 7; do head -c $((128 << 20)) /dev/urandom >"$data/big/part$i.bin"; done
}
make_small() {  # $1: folder; 20,000 files of 4 KiB
  [[ -f $1/file_19999.bin ]] && return
  mkdir -p "$1"
  head -c $((20000 * 4096)) /dev/urandom |
    (cd "$1" && split -b 4096 -a 5 -d --additional-suffix=.bin - file_)
}
make_big
make_small "$data/small"
make_small "$data/compare"

# The earlier listing for the comparison: the folder's 20,000 true entries, 1,000 of them with
# a changed checksum, and 180,000 entries for files that are gone; 200,000 lines in all.
earlier=$data/earlier-200000.txt
if [[ ! -f $earlier ]]; then
  rm -f "$data/compare/$listing" "$data/compare/$comparison"
  "$sumwright" --no-compare -q "$data/compare" >/dev/null
  awk 'BEGIN { ORS = "\r\n" }
       { sub(/\r$/, "") }
       NR <= 3 { print; next }
       $0 == "" { next }
       { n++; if (n % 20 == 0) { $0 = substr($0, 1, 40) "DEADBEEF" } print }
       END { for (i = 0; i < 180000; i++) printf "gone_%06d.bin%25s%X\r\n", i, "", i * 2654435761 % 4294967296 }' \
    "$data/compare/$listing" >"$earlier"
  rm -f "$data/compare/$listing"
fi
lines=$(wc -l <"$earlier")

# ---- timing ---------------------------------------------------------------------------------
# Every contender is a run function with a prep function that runs first, outside the timed
# part.
declare -A times

clean() { rm -f "$1/$listing" "$1/$comparison"; }

run_floor() { "$floor" "$1" >/dev/null; }
run_sumwright() { "$sumwright" --no-compare -q "$1" >/dev/null; }
run_baseline() { "$BASELINE" --no-compare -q "$1" >/dev/null; }
run_7z() { (cd "$1" && 7z h -scrcCRC32 -- * >/dev/null); }
run_rhash() { rhash --crc32 -r "$1" >/dev/null; }

run_with_compare() { "$sumwright" --compare -q "$1" >/dev/null || [[ $? == 1 ]]; }
prep_earlier() { clean "$1"; cp "$earlier" "$1/$listing"; }

time_once() {  # key, prep, run, folder
  "$2" "$4"
  local start=$EPOCHREALTIME
  "$3" "$4"
  local end=$EPOCHREALTIME
  times[$1]+="$(bc <<<"$end - $start") "
}

median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

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
contenders=(floor clean run_floor sumwright clean run_sumwright 7z clean run_7z
  rhash clean run_rhash)
[[ -n ${BASELINE:-} ]] && contenders+=(baseline clean run_baseline)
bench big "$data/big" "${contenders[@]}"
bench small "$data/small" "${contenders[@]}"
bench compare "$data/compare" plain clean run_sumwright \
  no-compare prep_earlier run_sumwright compare prep_earlier run_with_compare

# ---- report ---------------------------------------------------------------------------------
ratio() { bc -l <<<"scale=2; $1 / $2"; }
echo "CPU: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; $rounds rounds, medians"
# Other work on the machine takes the second core from the two-thread pass: show it.
echo "load average before: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg)"
for corpus in big small; do
  case $corpus in
    big) echo; echo "1 GiB in 8 files ($data/big)" ;;
    small) echo; echo "20,000 files of 4 KiB ($data/small)" ;;
  esac
  f=$(median "${times[$corpus/floor]}")
  z=$(median "${times[$corpus/7z]}")
  printf '  %-10s %9s %12s %12s\n' contender seconds "vs floor" "7z / this"
  for label in floor sumwright 7z rhash ${BASELINE:+baseline}; do
    t=$(median "${times[$corpus/$label]}")
    printf '  %-10s %9.3f %11sx %11sx\n' "$label" "$t" "$(ratio "$t" "$f")" "$(ratio "$z" "$t")"
    [[ -n ${VERBOSE:-} ]] && echo "             ${times[$corpus/$label]}"
  done
done
echo
echo "Comparison: $((lines - 3)) earlier entries against 20,000 files ($data/compare)"
p=$(median "${times[compare/plain]}")
w=$(median "${times[compare/no-compare]}")
c=$(median "${times[compare/compare]}")
printf '  %-34s %9.3f\n' "no earlier listing, --no-compare" "$p" \
  "earlier listing, --no-compare" "$w" "earlier listing, --compare" "$c"
printf '  --compare / --no-compare: %.2f; --compare / no earlier listing: %.2f\n' \
  "$(ratio "$c" "$w")" "$(ratio "$c" "$p")"
