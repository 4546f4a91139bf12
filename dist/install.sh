#!/usr/bin/env bash
# Installs the built game under a prefix, or removes what the last install put there.
#
#   dist/install.sh install BUILD_DIR PREFIX     (DESTDIR honoured)
#   dist/install.sh uninstall BUILD_DIR
#
# Uses sudo only when not root and the destination is not writable.
set -euo pipefail
cd "$(dirname "$0")/.."
action="$1"
build="$2"

as_needed() { # DIR COMMAND...: runs the command with sudo if DIR cannot be written
    local dir="$1"
    shift
    while [ ! -e "$dir" ]; do dir=$(dirname "$dir"); done
    if [ "$(id -u)" -ne 0 ] && [ ! -w "$dir" ]; then sudo "$@"; else "$@"; fi
}

case "$action" in
install)
    prefix="$3"
    as_needed "${DESTDIR:-}$prefix" cmake --install "$build" --prefix "$prefix"
    ;;
uninstall)
    manifest="$build/install_manifest.txt"
    [ -f "$manifest" ] || { echo "Nothing to uninstall: no $manifest" >&2; exit 1; }
    while IFS= read -r file; do
        if [ -e "$file" ] || [ -L "$file" ]; then
            echo "Removing $file"
            as_needed "$(dirname "$file")" rm -f "$file"
        fi
    done <"$manifest"
    ;;
*)
    echo "usage: $0 install BUILD_DIR PREFIX | uninstall BUILD_DIR" >&2
    exit 2
    ;;
esac
