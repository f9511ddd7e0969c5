#!/usr/bin/env bash
# Fails when a C++ source or header differs from .clang-format. Reformat with
#   scripts/check-format.sh --fix
# The version is pinned: another clang-format may lay out the same code differently.
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format-14 || true)
if [ -z "$format" ]; then
    echo "check-format: clang-format-14 not found (scripts/install-deps.sh installs it)" >&2
    exit 1
fi
mapfile -t files < <(find src tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
if [ "${1:-}" = --fix ]; then
    "$format" -i "${files[@]}"
    exit 0
fi
report=$(mktemp)
trap 'rm -f "$report"' EXIT
if ! "$format" --dry-run --Werror "${files[@]}" 2>"$report"; then
    grep -E '^[^ ].*: (error|warning):' "$report" | cut -d: -f1 | sort -u | sed 's/$/: differs from .clang-format/' >&2
    echo "check-format: reformat with scripts/check-format.sh --fix" >&2
    exit 1
fi
echo "check-format: ${#files[@]} files follow .clang-format"
