#!/usr/bin/env bash
# The Debian package as a player meets it: lintian finds nothing to complain about, it
# installs with apt, its menu entry starts the installed game to its title in a real
# window (under Xvfb), and removing it takes every file away again.
#
#   tests/deb_check.sh DEB_DIR XCLOSE OUT_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
debs="$1"
xclose="$2"
out="$3"

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

shopt -s nullglob
packages=("$debs"/zotik_*.deb)
changes=("$debs"/zotik_*.changes)
[ ${#packages[@]} -eq 1 ] || fail "expected one zotik_*.deb in $debs, found ${#packages[@]}"
deb="${packages[0]}"

echo "== lintian"
lintian --info --display-info --fail-on error,warning "${changes[0]:-$deb}"
echo "ok: lintian reports no error and no warning"

if dpkg-query -W -f='${Status}' zotik 2>/dev/null | grep -q "install ok installed"; then
    fail "zotik is installed already; remove it first (apt-get remove zotik)"
fi

echo "== apt-get install $deb"
$sudo apt-get install -y -qq "./$deb"
removed=0
remove() {
    [ $removed -eq 1 ] && return
    removed=1
    echo "== apt-get remove --purge zotik"
    $sudo apt-get remove -y -qq --purge zotik
}
trap remove EXIT
mapfile -t files < <(dpkg -L zotik | while IFS= read -r f; do [ -f "$f" ] && echo "$f"; done)

desktop=$(printf '%s\n' "${files[@]}" | grep '^/usr/share/applications/.*\.desktop$') ||
    fail "the package has no menu entry"
desktop-file-validate "$desktop"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16 32 48 64 128 256; do
    [ -f "/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png" ] ||
        fail "no ${size}px icon for Icon=$icon"
done
# What the menu runs: the entry's command found on Debian's default path for users.
game=$(PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games command -v "$exec_name") ||
    fail "Exec=$exec_name is not on the system path"
[ "$game" = /usr/games/zotik ] || fail "Exec=$exec_name runs $game, not the packaged game"
echo "ok: the menu entry $(basename "$desktop") runs $game and has every icon size"
man -w zotik >/dev/null || fail "man zotik finds no manual page"
echo "ok: man zotik finds the manual page"

echo "== the installed game, started as the menu entry starts it"
python3 tests/e2e/e2e.py --game "$game" --xclose "$xclose" --out "$out" title

remove
trap - EXIT
left=()
for f in "${files[@]}"; do
    [ -e "$f" ] && left+=("$f")
done
[ ${#left[@]} -eq 0 ] || fail "files left after removing the package: ${left[*]}"
if dpkg-query -W -f='${Status}' zotik 2>/dev/null | grep -q "install ok installed"; then
    fail "zotik is still installed"
fi
echo "ok: removing the package took its ${#files[@]} files away"
echo "deb check: all checks passed"
