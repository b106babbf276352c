# Installs the Debian packages a script needs, only when some are missing.
#   source scripts/deps.sh; need_packages cmake ninja-build ...
# Packages with an architecture suffix (wine32:i386) make sure that architecture is enabled.

need_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}" >&2
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
    dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
}

# What the native build and its tests need.
NATIVE_PACKAGES=(g++ cmake ninja-build googletest zlib1g-dev nlohmann-json3-dev)
# Packages: dpkg-shlibdeps finds the Debian package's dependencies.
PACKAGE_PACKAGES=(dpkg-dev)
# The fuzz targets: clang and its libFuzzer.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# Benchmarks: Google Benchmark and the CRC-32 peers they are measured against.
BENCH_PACKAGES=(libbenchmark-dev libdeflate-dev libisal-dev rhash p7zip-full)
# Both Windows editions are always built; the tests run under Wine on a virtual display. The
# Wine of the edition tested comes from windows_packages (scripts/wine-env.sh).
WINDOWS_PACKAGES=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 xvfb xauth imagemagick locales)
