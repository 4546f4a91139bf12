#!/usr/bin/env bash
# Builds the Debian package from a copy of the source tree, so that the build leaves
# nothing in the tree and the packages land in one folder of their own.
#
#   dist/make-deb.sh [OUT_DIR] [JOBS]     (default build-deb, and every core)
#
# Installs the build dependencies it lacks (apt-get build-dep, with sudo when not root).
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build-deb}"
jobs="${2:-$(nproc 2>/dev/null || echo 2)}"

version=$(sed -n '1s/^zotik (\([^)]*\)).*/\1/p' debian/changelog)
[ -n "$version" ] || { echo "make-deb: no version in debian/changelog" >&2; exit 1; }
src="$out/zotik-$version"

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
if ! command -v dpkg-buildpackage >/dev/null || ! dpkg-query -W -f='${Status}' build-essential \
        2>/dev/null | grep -q "install ok installed"; then
    echo "Installing: dpkg-dev build-essential"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        dpkg-dev build-essential
fi

# The tracked files and new ones not ignored: what a commit of the tree would hold.
rm -rf "$out"
mkdir -p "$src"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard | while IFS= read -r -d '' f; do
        [ -e "$f" ] && printf '%s\0' "$f"
    done | tar --null -T - -cf - | tar -xf - -C "$src"
else
    tar --exclude="./$out" --exclude='./build' --exclude='./build-*' -cf - . | tar -xf - -C "$src"
fi

cd "$src"
if ! dpkg-checkbuilddeps 2>/dev/null; then
    echo "Installing the build dependencies of debian/control"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get build-dep -y -qq ./
fi
dpkg-buildpackage -us -uc -b -j"$jobs"
cd - >/dev/null
ls -1 "$out"/*.deb
