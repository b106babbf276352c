#!/usr/bin/env bash
# Builds Sumwright.exe (installing what the build needs) and starts it under Wine on your
# display. It runs in the current folder, which is where it keeps "Checksum.def".
#   ./scripts/sumwright-wine.sh
# The 32-bit program where this machine runs 32-bit code, else the same program for 64-bit
# Windows under 64-bit Wine (SUMWRIGHT_WINDOWS_EDITION=x64 forces that). The Wine prefix is kept
# between runs in ${SUMWRIGHT_WINEPREFIX:-~/.local/share/sumwright/wine-EDITION}.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
source "$root/scripts/wine-env.sh"
build_root="$root/build-windows-release"
choose_windows_edition "$build_root"
echo "Sumwright.exe, $SW_EDITION edition: $SW_EDITION_WHY" >&2
# shellcheck disable=SC2046  # a list of package names
need_packages cmake ninja-build $(windows_packages "$SW_EDITION") >&2

build="$build_root/$SW_EDITION"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSUMWRIGHT_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/$(windows_toolchain "$SW_EDITION")" >/dev/null
cmake --build "$build" --target sumwright_exe -j"$(nproc)" >/dev/null

wine_use "$SW_EDITION"
export WINEPREFIX="${SUMWRIGHT_WINEPREFIX:-$HOME/.local/share/sumwright/wine-$SW_EDITION}"
if [[ ! -d $WINEPREFIX ]]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  "$WINE" wineboot -i >/dev/null 2>&1
  # The server started by wineboot has no display driver; let it end before the window opens.
  "$WINESERVER" -w
fi
exec "$WINE" "$build/ui/Sumwright.exe"
