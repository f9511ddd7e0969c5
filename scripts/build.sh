#!/usr/bin/env bash
# Configures and builds one build tree. Usage: scripts/build.sh [BUILD_DIR] [extra cmake args]
# ORDAN_TARGETS="a b" builds only those targets (everything by default). Tests and benchmarks
# are configured in unless the extra arguments say otherwise, also in a tree a demo configured
# without them.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
# ccache (when present) makes a rebuild in a fresh clone on the same machine cheap.
launcher=()
command -v ccache >/dev/null &&
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# Paths inside the clone are hashed relative to it, so a clone in another folder hits too.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORDAN_BUILD_TESTS=ON -DORDAN_BUILD_BENCH=ON \
  "${launcher[@]}" "$@" >/dev/null
targets=()
[ -n "${ORDAN_TARGETS:-}" ] && read -ra targets <<<"--target $ORDAN_TARGETS"
cmake --build "$dir" --parallel "$(nproc)" "${targets[@]}"
