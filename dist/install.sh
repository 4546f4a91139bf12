#!/usr/bin/env bash
# Installs the built game under a prefix, or removes what such an install put there.
#
#   dist/install.sh install BUILD_DIR PREFIX RECORD    (DESTDIR honoured)
#   dist/install.sh uninstall RECORD
#
# RECORD keeps the list of installed files, DESTDIR included, for the uninstall: CMake's
# own install_manifest.txt is overwritten by every cmake --install of the build (the
# installation test's too). sudo is used only when not root and the destination is not writable.
set -euo pipefail
cd "$(dirname "$0")/.."

as_needed() { # DIR COMMAND...: runs the command with sudo if DIR cannot be written
    local dir="$1"
    shift
    while [ ! -e "$dir" ]; do dir=$(dirname "$dir"); done
    if [ "$(id -u)" -ne 0 ] && [ ! -w "$dir" ]; then sudo "$@"; else "$@"; fi
}

lines() { # FILE: its lines, the last one even without a newline
    while IFS= read -r line || [ -n "$line" ]; do printf '%s\n' "$line"; done <"$1"
}

case "${1:-}" in
install)
    [ $# -eq 4 ] || exec "$0" usage
    build="$2" prefix="$3" record="$4"
    as_needed "${DESTDIR:-}$prefix" cmake --install "$build" --prefix "$prefix"
    # CMake lists the files without DESTDIR; the record names where they really are.
    lines "$build/install_manifest.txt" | while IFS= read -r file; do
        [ -n "${DESTDIR:-}" ] && [[ "$file" != "$DESTDIR"/* ]] && file="$DESTDIR$file"
        printf '%s\n' "$file"
    done >"$record"
    # Written by root under sudo, it would stop the next install by the build's owner.
    rm -f "$build/install_manifest.txt"
    ;;
uninstall)
    [ $# -eq 2 ] || exec "$0" usage
    record="$2"
    [ -f "$record" ] || { echo "Nothing to uninstall: no $record" >&2; exit 1; }
    while IFS= read -r file; do
        if [ -e "$file" ] || [ -L "$file" ]; then
            echo "Removing $file"
            as_needed "$(dirname "$file")" rm -f "$file"
        fi
    done < <(lines "$record")
    # The game's own folders (share/doc/zotik and below) go too once empty; shared
    # ones such as share/applications stay.
    while IFS= read -r dir; do
        while [[ "$dir" == */zotik || "$dir" == */zotik/* ]] && [ -d "$dir" ] &&
            [ -z "$(ls -A "$dir")" ]; do
            as_needed "$(dirname "$dir")" rmdir "$dir"
            dir=$(dirname "$dir")
        done
    done < <(lines "$record" | while IFS= read -r file; do dirname "$file"; done | sort -r -u)
    rm -f "$record"
    ;;
*)
    echo "usage: $0 install BUILD_DIR PREFIX RECORD | uninstall RECORD" >&2
    exit 2
    ;;
esac
