#!/usr/bin/env bash
# Cross-builds the station for 64-bit Windows on this Debian machine and checks it under Wine:
# the Windows-sensible tests, a serial session against meter-sim on a pty, and an NSIS installer.
# Ends with one line "N passed, N failed".
#
# Usage: scripts/windows-check.sh [toolchain]
#   toolchain  only prepare the cache (Debian packages, Qt and GoogleTest for Windows) and stop.
#
# Qt 6.4.2 for Windows (about 1 100 build steps) and GoogleTest are built once into
# ORDAN_WIN_CACHE (default /var/cache/ordan-klv-windows); every finished stage leaves a stamp in
# $ORDAN_WIN_CACHE/stamps, so a second run goes straight to the station. Clear it with
#   rm -rf /var/cache/ordan-klv-windows        (or one stage: rm $ORDAN_WIN_CACHE/stamps/<stage>)
# The station's Windows build tree is ORDAN_WIN_BUILD (default build-win in the clone).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
export ORDAN_WIN_CACHE=${ORDAN_WIN_CACHE:-/var/cache/ordan-klv-windows}
export ORDAN_WIN_BUILD=${ORDAN_WIN_BUILD:-$repo/build-win}
export ORDAN_WIN_JOBS=${ORDAN_WIN_JOBS:-2}
# The Qt build runs in the background at the lowest priority; this bounds how long we wait for it.
export ORDAN_WIN_QT_WAIT_S=${ORDAN_WIN_QT_WAIT_S:-14400}
# shellcheck source=windows/common.sh
source "$repo/scripts/windows/common.sh"
# shellcheck source=windows/toolchain.sh
source "$repo/scripts/windows/toolchain.sh"

mkdir -p "$stamps" "$logs"
install_debian_packages
once qtbase-source fetch_qtbase_source
write_toolchain_file
start_qt_build_in_background
once googletest-source fetch_googletest_source
once googletest build_googletest
wait_for_qt_build
[ "${1:-}" = toolchain ] && { echo "toolchain ready in $ORDAN_WIN_CACHE"; exit 0; }
# shellcheck source=windows/checks.sh
source "$repo/scripts/windows/checks.sh"
run_all_checks
