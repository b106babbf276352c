# Shared Wine set-up for the Windows tests. Source it, then call wine_prefix_init once.
#   source scripts/wine-env.sh
#   wine_prefix_init "$build/wineprefix"     # fresh 32-bit prefix, wineserver finished
#   wine_z_path /tmp/x                       # -> Z:\tmp\x  (computed here, no winepath)
#   wine_stop                                # kill this prefix's wineserver
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32

wine_prefix_init() {
  export WINEPREFIX="$1"
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  timeout 300 wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; return 1; }
  # A wineserver started without a display keeps a desktop with no display driver for a few
  # seconds; GUI programs started meanwhile cannot create windows.
  timeout 60 wineserver -w
}

wine_z_path() {
  printf 'Z:%s' "$(printf '%s' "$1" | sed 's#/#\\#g')"
}

wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  timeout 30 wineserver -w >/dev/null 2>&1 || true
}
