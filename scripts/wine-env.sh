# Shared Wine set-up for the Windows program and its tests. Source it, then:
#   choose_windows_edition DIR      # sets SW_EDITION (i686 or x64) and SW_EDITION_WHY
#   wine_use "$SW_EDITION"          # the loader, server and prefix kind of that edition
#   wine_prefix_init "$build/wineprefix"   # a fresh prefix, its wineserver finished
#   "$WINE" program.exe ...         # every Wine call goes through $WINE, never `wine`
#   wine_z_path /tmp/x              # -> Z:\tmp\x  (computed here, no winepath)
#   wine_stop                       # ends this prefix's wineserver
#
# The i686 edition is the product and runs where the kernel runs 32-bit programs. Some kernels
# refuse them (Exec format error), and 32-bit Wine cannot start there; the x64 edition runs
# under 64-bit Wine instead. SUMWRIGHT_WINDOWS_EDITION=x64 forces the 64-bit path on any
# machine (=i686 forces the 32-bit one).
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# The Debian packages each edition needs to build and to run.
windows_packages() {
  case $1 in
    i686) echo g++-mingw-w64-i686 wine wine32:i386 ;;
    x64) echo g++-mingw-w64-x86-64 wine64 ;;
  esac
}

# The CMake toolchain file of an edition, relative to the project root.
windows_toolchain() {
  case $1 in
    i686) echo cmake/toolchain-i686-w64-mingw32.cmake ;;
    x64) echo cmake/toolchain-x86_64-w64-mingw32.cmake ;;
  esac
}

# The edition a configured build tree was made for.
build_edition() {
  case $(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$1/CMakeCache.txt" 2>/dev/null) in
    *i686-w64-mingw32-*) echo i686 ;;
    *x86_64-w64-mingw32-*) echo x64 ;;
    *) echo "not a Windows build: $1" >&2; return 1 ;;
  esac
}

# Whether this kernel runs 32-bit x86 programs: a 96-byte static i386 ELF that only exits with
# status 42 is written into DIR (which must allow running programs) and started.
runs_32bit_code() {
  local probe="$1/i386-probe"
  mkdir -p "$1"
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xbb\x2a\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
  local status=0
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [[ $status -eq 42 ]]
}

choose_windows_edition() {
  case ${SUMWRIGHT_WINDOWS_EDITION:-auto} in
    x64)
      SW_EDITION=x64
      SW_EDITION_WHY="forced by SUMWRIGHT_WINDOWS_EDITION=x64"
      ;;
    i686)
      SW_EDITION=i686
      SW_EDITION_WHY="forced by SUMWRIGHT_WINDOWS_EDITION=i686"
      ;;
    auto)
      if runs_32bit_code "$1"; then
        SW_EDITION=i686
        SW_EDITION_WHY="this machine runs 32-bit code"
      else
        SW_EDITION=x64
        SW_EDITION_WHY="this machine's kernel does not run 32-bit code (a 32-bit probe program could not start), so 32-bit Wine cannot"
      fi
      ;;
    *)
      echo "SUMWRIGHT_WINDOWS_EDITION must be auto, i686 or x64, not '$SUMWRIGHT_WINDOWS_EDITION'" >&2
      return 1
      ;;
  esac
}

wine_use() {
  case $1 in
    i686)
      export WINEARCH=win32
      WINE=/usr/lib/wine/wine
      ;;
    x64)
      export WINEARCH=win64
      # /usr/bin/wine would take the 32-bit loader whenever wine32 is installed.
      WINE=/usr/lib/wine/wine64
      ;;
    *)
      echo "unknown Windows edition '$1'" >&2
      return 1
      ;;
  esac
  export WINELOADER=$WINE
  WINESERVER=/usr/lib/wine/wineserver64
  [[ -x $WINESERVER ]] || WINESERVER=/usr/lib/wine/wineserver32
  export WINESERVER
  if [[ ! -x $WINE ]]; then
    echo "$WINE is missing: install $(windows_packages "$1")" >&2
    return 1
  fi
}

wine_prefix_init() {
  export WINEPREFIX="$1"
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  timeout 300 "$WINE" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; return 1; }
  # A wineserver started without a display keeps a desktop with no display driver for a few
  # seconds; GUI programs started meanwhile cannot create windows.
  timeout 60 "$WINESERVER" -w
}

wine_z_path() {
  printf 'Z:%s' "$(printf '%s' "$1" | sed 's#/#\\#g')"
}

wine_stop() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  timeout 30 "$WINESERVER" -w >/dev/null 2>&1 || true
}
