#!/usr/bin/env bash
# Fails when an include goes against the architecture's arrows:
#   - every project include names its folder ("core/run.h", never "run.h");
#   - core/ includes nothing of ui/, cli/, exports/, win32/ or tests/, and no Windows header
#     outside its Windows layer (core/os/fs_win32.*);
#   - core/'s two rooms stand below the job: core/crc/ and core/os/ include nothing else of
#     core/, so no include cycle can run through them;
#   - cli/ and ui/ do not include each other; exports/ does not include ui/ or cli/;
#     win32/ (shared by ui/ and exports/) includes neither of them, nor cli/;
#   - only core/crc/ and tests/ reach the CRC kernels' internal headers.
#   scripts/check-arrows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

windows_headers='windows\.h|objbase\.h|oleauto\.h|commdlg\.h|shlobj\.h|dlgs\.h|shellapi\.h'
crc_internals='core/crc/(kernels|x86_fold|fold_loop|fold_constants)\.h'
failures=0
fail() {
  echo "arrow check: $*" >&2
  failures=$((failures + 1))
}

# "FILE:LINE:INCLUDED" for every include of the given folders' sources.
includes() {
  git ls-files --cached --others --exclude-standard -- "${@/%//*.cpp}" "${@/%//*.h}" |
    xargs -r grep -Hn '^[[:space:]]*#[[:space:]]*include' |
    sed -E 's/^([^:]+:[0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1:\2/'
}

forbid() {  # forbid FOLDER REGEX WHY; a FOLDER ending in "/." means its own files, no subfolder
  local folder=${1%/.} pattern=$2 why=$3 hit only=.
  [[ $1 == */. ]] && only="^$folder/[^/]+:"
  while IFS= read -r hit; do
    fail "$hit: $why"
  done < <(includes "$folder" | grep -E "$only" | grep -E ":[0-9]+:($pattern)$" || true)
}

while IFS= read -r hit; do
  fail "$hit: a project include must name its folder"
done < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' | xargs -r grep -Hn '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"/]*"' || true)

forbid core '(ui|cli|exports|win32|tests)/.*' "the core depends on no front end"
while IFS= read -r hit; do
  case ${hit%%:*} in
    core/os/fs_win32.cpp | core/os/fs_win32.h) ;;
    *) fail "$hit: Windows headers belong to the core's file-system layer only" ;;
  esac
done < <(includes core | grep -E ":[0-9]+:($windows_headers)$" || true)
forbid core/crc 'core/(os/|[^/]+$).*' "the CRC engine stands on nothing else of the core"
forbid core/os 'core/(crc/|[^/]+$).*' "the OS seam stands on nothing else of the core"
forbid core/. "$crc_internals" "the job reaches the CRC engine through core/crc/crc32.h"
forbid cli '(ui|exports|win32)/.*' "the command line stands beside the Windows front ends"
forbid ui '(cli|exports)/.*' "the window and the exported routines only share win32/"
forbid exports '(ui|cli)/.*' "the exported routines only share win32/ with the window"
forbid win32 '(ui|cli|exports)/.*' "win32/ is what ui/ and exports/ build on"
for folder in cli ui exports win32 bench; do
  forbid "$folder" "$crc_internals" "the CRC kernels are reached through core/crc/crc32.h"
done

if ((failures > 0)); then
  echo "arrow check: $failures include(s) against the arrows" >&2
  exit 1
fi
echo "arrow check: every include follows the arrows"
