#!/usr/bin/env bash
# Builds the libFuzzer targets (build-fuzz, Clang) and runs each for SECONDS (default 20).
# Usage: scripts/fuzz.sh [SECONDS] [TARGET ...]
#
# New inputs go to a temporary corpus; fuzz/corpus/<target>/ is only read, so a run leaves
# the repository as it was. A crash, leak, time-out or sanitizer report fails the run; its
# input is kept in build-fuzz/findings/. One summary line per target.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(fuzz_reply_path fuzz_schedule_journals fuzz_dbf_reader)

launcher=()
command -v ccache >/dev/null &&
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# Paths inside the clone are hashed relative to it, so a clone in another folder hits too.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORDAN_FUZZ=ON \
  -DORDAN_BUILD_TESTS=OFF -DORDAN_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
ninja -C build-fuzz -j2 fuzz_targets >/dev/null

# The work folder in memory where there is some: the table target syncs every append to disk.
base=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
work=$(mktemp -d "$base/ordan-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
findings=$PWD/build-fuzz/findings
mkdir -p "$findings"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/support/lsan.supp

status=0
for t in "${targets[@]}"; do
  mkdir -p "$work/$t" "$work/tmp-$t"
  args=(-max_total_time="$seconds" -timeout=10 -max_len=4096 -print_final_stats=1
        -artifact_prefix="$findings/$t-")
  [ -f "fuzz/$t.dict" ] && args+=(-dict="fuzz/$t.dict")
  log=$work/$t.log
  rc=0
  TMPDIR=$work/tmp-$t "build-fuzz/fuzz/$t" "${args[@]}" "$work/$t" "fuzz/corpus/$t" >"$log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9a-zA-Z]*\).*/\1/p' <<<"$last")
  if ((rc == 0)); then
    echo "$t: ok, ${seconds}s, ${execs:-?} execs, cov ${cov:-?}, ft ${ft:-?}, corpus ${corp:-?}"
  else
    status=1
    cp "$log" "$findings/$t.log"
    what=$(grep -m1 -E 'ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error|deadly signal' "$log" || true)
    echo "$t: FAILED (exit $rc) ${what:-see log}; input and log in $findings/"
  fi
done
exit $status
