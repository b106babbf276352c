#!/usr/bin/env bash
# Builds Sumwright.exe (installing what the build needs) and starts it under Wine on your
# display. It runs in the current folder, which is where it keeps "Checksum.def".
#   ./scripts/sumwright-wine.sh
# The Wine prefix is kept between runs in ${SUMWRIGHT_WINEPREFIX:-~/.local/share/sumwright/wine}.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
need_packages cmake ninja-build g++-mingw-w64-i686 wine wine32:i386 >&2
build="$root/build-windows-release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSUMWRIGHT_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" >/dev/null
cmake --build "$build" --target sumwright_exe -j"$(nproc)" >/dev/null

export WINEPREFIX="${SUMWRIGHT_WINEPREFIX:-$HOME/.local/share/sumwright/wine}"
export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko installer dialog when the prefix is first made.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -d $WINEPREFIX ]]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i >/dev/null 2>&1
  # The server started by wineboot has no display driver; let it end before the window opens.
  wineserver -w
fi
exec wine "$build/ui/Sumwright.exe"
