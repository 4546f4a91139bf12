#!/usr/bin/env bash
# The developers' guardrails, one at a time (make check runs them all):
#   tools/check.sh generated   generated tables match what their sources give today
#   tools/check.sh format      every C++ file is formatted by the repository's .clang-format
#   tools/check.sh python      pyflakes finds nothing in the Python tools and test scripts
# Exit status 1, with what to do, when a check fails.
set -euo pipefail
cd "$(dirname "$0")/.."

check_generated() {
    local tmp status=0
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' RETURN
    python3 tools/art2c.py --out "$tmp/assets" >/dev/null
    python3 tools/sim_tables.py --out "$tmp/src" >/dev/null
    # Every file the generators own, so that a generator that silently skips one fails too.
    for f in assets/race_art.cpp assets/scene_art.cpp assets/computer_art.cpp \
        assets/text_art.cpp assets/palette.cpp src/sim_tables.cpp; do
        if [ ! -f "$tmp/$f" ]; then
            echo "check-generated: $f was not generated (see python3 tools/art2c.py)"
            status=1
        elif ! git ls-files --error-unmatch "$f" >/dev/null 2>&1; then
            echo "check-generated: $f is not committed"
            status=1
        elif ! diff -q "$f" "$tmp/$f" >/dev/null; then
            echo "check-generated: $f differs from what its sources give:"
            diff -u "$f" "$tmp/$f" | head -20
            status=1
        fi
    done
    if [ $status -ne 0 ]; then
        echo "Regenerate with 'python3 tools/art2c.py' and 'python3 tools/sim_tables.py'" \
            "from the repository root, look at the result and commit it."
    fi
    return $status
}

check_format() {
    local files
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
    if ! clang-format --dry-run --Werror "${files[@]}"; then
        echo "check-format: run 'clang-format -i' on the files above (clang-format $(
            clang-format --version | grep -o '[0-9][0-9.]*' | head -1))."
        return 1
    fi
}

check_python() {
    local files
    mapfile -t files < <(git ls-files '*.py')
    if ! pyflakes3 "${files[@]}"; then
        echo "check-python: pyflakes found the faults above."
        return 1
    fi
}

case "${1:-}" in
generated | format | python) "check_$1" ;;
*)
    echo "usage: tools/check.sh generated|format|python" >&2
    exit 2
    ;;
esac
