#!/usr/bin/env bash
# Builds the packages: the Debian package of the command line and the zip of both Windows
# editions (each edition in a folder of its own, with a short read-me).
#   scripts/package.sh [OUT_DIR [NATIVE_BUILD I686_BUILD X64_BUILD]]
# OUT_DIR defaults to build-package/out. Without the three build folders, Release builds are
# made under build-package/; given, those builds are packaged as they are (the test command
# packages its own).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
source "$root/scripts/wine-env.sh"
need_packages "${NATIVE_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}" g++-mingw-w64-i686 \
  g++-mingw-w64-x86-64

out=$(mkdir -p "${1:-$root/build-package/out}" && cd "${1:-$root/build-package/out}" && pwd)
if (($# >= 4)); then
  native=$2 i686=$3 x64=$4
else
  native=$root/build-package/native i686=$root/build-package/windows-i686
  x64=$root/build-package/windows-x64
  cmake -S "$root" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSUMWRIGHT_TESTS=OFF >/dev/null
  for edition in i686 x64; do
    build=$root/build-package/windows-$edition
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSUMWRIGHT_TESTS=OFF \
      -DCMAKE_TOOLCHAIN_FILE="$root/$(windows_toolchain "$edition")" >/dev/null
  done
fi
for build in "$native" "$i686" "$x64"; do cmake --build "$build" -j"$(nproc)"; done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$native/CMakeCache.txt")
(cd "$native" && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
i686=$(cd "$i686" && pwd) x64=$(cd "$x64" && pwd)
(cd "$out" && cpack --config "$root/cmake/WindowsZip.cmake" -B "$out" \
  -D CPACK_PACKAGE_VERSION="$version" \
  -D CPACK_PACKAGE_FILE_NAME="Sumwright-$version-windows" \
  -D CPACK_INSTALL_CMAKE_PROJECTS="$i686;Sumwright;program;/i686;$i686;Sumwright;readme;/;$x64;Sumwright;program;/x64" \
  >/dev/null)
rm -rf "$out/_CPack_Packages"
ls -1 "$out"/*.deb "$out"/*.zip
