#!/usr/bin/env bash
# Configures and builds one build tree. Usage: scripts/build.sh [BUILD_DIR] [extra cmake args]
# ORDAN_TARGETS="a b" builds only those targets (everything by default).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
targets=()
[ -n "${ORDAN_TARGETS:-}" ] && read -ra targets <<<"--target $ORDAN_TARGETS"
cmake --build "$dir" --parallel "$(nproc)" "${targets[@]}"
