#!/usr/bin/env bash
# Checks the packages scripts/package.sh made in OUT_DIR: the Debian package unpacked into a
# scratch root (as dpkg would install it) gives a working sumwright, its manual page and its
# completion; the zip holds both Windows editions, the read-me and the context-menu entry.
#   scripts/test-package.sh OUT_DIR
set -euo pipefail
out=$1
deb=$(ls "$out"/sumwright_*.deb)
zip=$(ls "$out"/Sumwright-*-windows.zip)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "test-package: $*" >&2; exit 1; }

depends=$(dpkg-deb --field "$deb" Depends)
[[ $depends == *libc6* ]] || fail "no dependencies in $deb"
dpkg -x "$deb" "$scratch/root"
sumwright=$scratch/root/usr/bin/sumwright
[[ $("$sumwright" --version) == "sumwright "* ]] || fail "the installed command does not run"
mkdir "$scratch/folder"
printf 123456789 >"$scratch/folder/check"
"$sumwright" -q "$scratch/folder" >/dev/null
grep -q $'^check  *CBF43926\r$' "$scratch/folder/File CRCs.TXT" || fail "wrong listing"
"$sumwright" --verify -q "$scratch/folder" >/dev/null || fail "verify of an unchanged folder"
printf x >>"$scratch/folder/check"
if "$sumwright" --verify -q "$scratch/folder" >/dev/null; then fail "a changed file went unseen"; fi

page=$scratch/root/usr/share/man/man1/sumwright.1.gz
warnings=$(zcat "$page" | groff -man -ww -z 2>&1) || fail "manual page: $warnings"
[[ -z $warnings ]] || fail "manual page: $warnings"
text=$(zcat "$page" | sed 's/\\-/-/g')
for option in $("$sumwright" --help | grep -o -- '--[a-z-]*' | sort -u); do
  grep -q -- "$option" <<<"$text" || fail "the manual page lacks $option"
done
completion=$scratch/root/usr/share/bash-completion/completions/sumwright
bash -c "source '$completion' && complete -p sumwright" >/dev/null || fail "completion"

listed=$(cmake -E tar tf "$zip")
for entry in README.txt context-menu-add.reg context-menu-remove.reg i686/Sumwright.exe \
  i686/Sumwright.dll x64/Sumwright.exe x64/Sumwright.dll; do
  grep -q "/$entry\$" <<<"$listed" || fail "$zip lacks $entry"
done
echo "packages: $(basename "$deb") installs and runs; $(basename "$zip") holds both editions"
