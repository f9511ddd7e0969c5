# Shared by the Windows check's stages: the cache layout, stamps and step reporting.
# shellcheck shell=bash
cache=$ORDAN_WIN_CACHE
stamps=$cache/stamps
logs=$cache/logs
qt_prefix=$cache/qt
gtest_prefix=$cache/googletest
toolchain_file=$cache/mingw-w64-x86_64.cmake

note() { printf '[windows-check %s] %s\n' "$(date -u +%H:%M:%S)" "$*"; }
fail() {
    note "FAILED: $*"
    exit 1
}

# Runs a stage unless its stamp says it already finished; the stamp is written only on success.
once() {
    local name=$1
    shift
    if [ -f "$stamps/$name" ]; then
        note "$name: cached"
        return 0
    fi
    note "$name: running"
    "$@" || fail "$name (see $logs)"
    date -u +%FT%TZ >"$stamps/$name"
}

# The lowest priority: the machine's cores are shared with other builders.
low() { nice -n 19 "$@"; }
