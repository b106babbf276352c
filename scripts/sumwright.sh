#!/usr/bin/env bash
# Builds sumwright (installing what the build needs) and runs it with the given arguments:
#   ./scripts/sumwright.sh [OPTION]... FOLDER
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
need_packages "${NATIVE_PACKAGES[@]}" >&2
build="$root/build-release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSUMWRIGHT_TESTS=OFF >/dev/null
cmake --build "$build" --target sumwright -j"$(nproc)" >/dev/null
exec "$build/cli/sumwright" "$@"
