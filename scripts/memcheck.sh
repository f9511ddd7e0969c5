#!/usr/bin/env bash
# Runs the test executables of a build tree (default: build; all of them, or those named)
# under valgrind's memcheck. Usage: scripts/memcheck.sh [BUILD_DIR [TEST ...]] Fails
# when memcheck finds a memory error or a leak (definite or indirect) that is not one of the
# libraries' own, listed in tests/support/valgrind.supp. Cases that only fail because they run
# some fifty times slower are listed but do not fail the run. Logs go to BUILD/memcheck/.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build}
shift || true
[ -d "$build/tests" ] || { echo "no tests in $build: build it first (scripts/build.sh $build)" >&2; exit 2; }
logs=$root/$build/memcheck
rm -rf "$logs"
mkdir -p "$logs"

state=$(mktemp -d)
pg=$root/tests/records/db/pg_server.sh
"$pg" start "$state/pg" >/dev/null
trap '"$pg" stop "$state/pg"; rm -rf "$state"' EXIT
export ORDAN_PG_STATE=$state/pg
export ORDAN_SOAK_SECONDS=${ORDAN_SOAK_SECONDS:-30}
# Code that PCRE2 compiles at run time has no symbols and confuses memcheck.
export QT_ENABLE_REGEXP_JIT=0

memory_errors=()
slow_failures=()
cd "$build/tests"
selected=("$@")
((${#selected[@]})) || selected=(*_test)
for test in "${selected[@]}"; do
  [ -x "$test" ] || continue
  log=$logs/$test.log
  valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect \
    --errors-for-leak-kinds=definite,indirect --error-exitcode=99 --num-callers=40 \
    --suppressions="$root/tests/support/valgrind.supp" --gen-suppressions=all \
    --child-silent-after-fork=yes --trace-children=no \
    "./$test" >"$log" 2>&1
  rc=$?
  case $rc in
    0) echo "ok      $test" ;;
    99) echo "MEMORY  $test (see $log)"; memory_errors+=("$test") ;;
    *) echo "failed  $test under valgrind, exit $rc (see $log)"; slow_failures+=("$test") ;;
  esac
done

echo
echo "${#memory_errors[@]} with memory errors or leaks, ${#slow_failures[@]} with failing cases under valgrind"
((${#slow_failures[@]})) && echo "failing under valgrind only (check they pass in ctest): ${slow_failures[*]}"
((${#memory_errors[@]} == 0))
