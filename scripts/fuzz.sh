#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer, any
# finding fatal) and runs each for SECONDS (default 60), the corpus kept between runs in the build
# folder. Fails on the first finding; the input that found it is left in the working folder.
#   scripts/fuzz.sh [SECONDS]
# Targets: the line reader (streaming against in-memory), the comparison of an in-memory folder
# (with itself, and against fuzzed earlier listings), the settings loader, every CRC-32 tier.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build="${SUMWRIGHT_TEST_BUILD:-$root/build-test}/fuzz"
targets=(fuzz_line_reader fuzz_compare fuzz_settings fuzz_crc)

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSUMWRIGHT_FUZZ=ON -DSUMWRIGHT_TESTS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}" -j"$(nproc)"

for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  mkdir -p "$corpus"
  log=$build/$target.log
  if ! "$build/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" \
    >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "fuzz: $target found a problem (log: $log)" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz: $target: ${runs:-?} inputs in ${seconds} s, no finding"
done
