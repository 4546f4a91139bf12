#!/usr/bin/env bash
# Installs the Debian packages that building, playing and testing Zotik need, when missing.
set -euo pipefail

# Usage: tools/setup.sh [build|test|check|package]. Building (and playing) needs only the
# compiler and the game's libraries; testing also needs the test frameworks and the tools
# that drive the game in a real window and check its pictures and sound; the developers'
# checks (make check) also need clang-format and pyflakes; packaging needs the validators
# of the installed files and the Debian package tools.
packages=(
    cmake g++ make pkg-config      # build
    libsdl2-dev libsamplerate0-dev # the game's libraries
)
level="${1:-build}"
if [ "$level" = "test" ] || [ "$level" = "check" ]; then
    packages+=(
        libgtest-dev libbenchmark-dev # unit tests and benchmarks
        xvfb xdotool imagemagick      # end-to-end tests in a real window
        openbox                       # a window manager, for switching to full screen
        libx11-dev python3 sox        # closing the window, checking pictures and sound
        libxdamage-dev                # recording when the window is drawn (frame times)
    )
fi
if [ "$level" = "check" ]; then
    packages+=(
        clang-format pyflakes3 git # formatting, Python lint, comparing regenerated tables
    )
fi
# Packaging: the validators of the installed files and the Debian package tools.
if [ "$level" = "package" ]; then
    packages+=(desktop-file-utils appstream man-db lintian dpkg-dev debhelper python3)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
