#!/usr/bin/env bash
# Installs what is missing, builds the station twice (plain and with ASan+UBSan) and runs the
# whole test suite in both builds, makes and checks the Debian package from the plain build,
# then runs each fuzz target briefly on its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build tests
scripts/build.sh build
scripts/build.sh build-asan -DORDAN_SANITIZE=ON -DORDAN_BUILD_BENCH=OFF

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/support/lsan.supp
status=0
echo "== rules: logic sources touch no file, timer, port, settings, widget or platform macro"
scripts/check-rules.sh || status=1
echo "== format: every source follows .clang-format"
scripts/check-format.sh || status=1
echo "== tests (plain build)"
ctest --test-dir build --output-on-failure --parallel 2 || status=1
echo "== Debian package (made from the plain build, installed and started)"
scripts/package-check.sh build || status=1
echo "== tests (ASan+UBSan build)"
ctest --test-dir build-asan --output-on-failure --parallel 2 || status=1
echo "== fuzz targets, 20 s each on their seed corpora (Clang, libFuzzer)"
scripts/fuzz.sh 20 || status=1
exit $status
