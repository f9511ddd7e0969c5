# The station for Windows: its cross-build, its tests under wine64, a serial session against
# meter-sim on a pty, and the NSIS installer. Each check adds to the summary line.
# shellcheck shell=bash
linux_build=${ORDAN_LINUX_BUILD:-$repo/build}
rig=$ORDAN_WIN_BUILD/rig
results=$rig/results
session_port=COM7
session_seconds=${ORDAN_SESSION_SECONDS:-20}
install_dir='C:\ordan-klv'
mingw_runtime=(/usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)
# Debian's wine64 loader (the `wine` wrapper would pick it too, but say which).
wine64=/usr/lib/wine/wine64
passed=0
failed=0

# A Linux path as Wine sees it (drive Z: is the root).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# A check of the summary: counts one pass or one failure and says which.
check() {
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        note "PASS $name"
        return 0
    fi
    failed=$((failed + 1))
    note "FAIL $name"
    return 1
}

setup_wine() {
    export WINEPREFIX=$cache/wine WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
    export QT_QPA_PLATFORM=offscreen
    local dirs=("$qt_prefix/bin" "${mingw_runtime[@]}") path="" d
    for d in "${dirs[@]}"; do path+="$(winpath "$d");"; done
    export WINEPATH=$path QT_PLUGIN_PATH=$(winpath "$qt_prefix/plugins")
    once wine-prefix wineboot -i
    restart_wineserver || return 1
    trap 'wineserver -k 2>/dev/null || true' EXIT
}

# A persistent server, its output kept: on a pty hang-up it dumps its state. Wine reads the COM
# port mapping when the server starts, so a new mapping needs a new server.
restart_wineserver() {
    wineserver -k 2>/dev/null || true
    timeout 30 wineserver -w || return 1
    wineserver -p >>"$logs/wineserver.log" 2>&1
}

build_station() {
    mkdir -p "$rig" "$results"
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    # As scripts/build.sh: paths hashed relative to the clone, so another clone hits too.
    export CCACHE_BASEDIR=$repo CCACHE_NOHASHDIR=true
    cmake -S "$repo" -B "$ORDAN_WIN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" -DQT_HOST_PATH=/usr \
        -DORDAN_BUILD_BENCH=OFF >"$logs/station-configure.log" 2>&1 || return 1
    cmake --build "$ORDAN_WIN_BUILD" --parallel "$ORDAN_WIN_JOBS" >"$logs/station-build.log" 2>&1
}

# meter-sim and the pty shim are Linux programs of the rig.
build_rig() {
    ORDAN_TARGETS=meter-sim "$repo/scripts/build.sh" "$linux_build" >"$logs/meter-sim-build.log" 2>&1 &&
        gcc -shared -fPIC -O2 -Wall -Wextra -o "$rig/pty_shim.so" "$repo/scripts/windows/pty_shim.c" -ldl
}

# The gtest filter leaving out the cases of `test` that start a Linux program.
linux_only_cases() {
    awk -v t="$1" '$1 == t { printf "%s%s", sep, $2; sep = ":" }' "$repo/scripts/windows/linux-only-cases.txt"
}

# Adds a test executable's cases to the summary from its XML report.
count_results() {
    local xml=$1 counts
    counts=$(/usr/bin/python3 - "$xml" <<'PY'
import sys, xml.etree.ElementTree as ET
ok = bad = 0
for case in ET.parse(sys.argv[1]).getroot().iter("testcase"):
    if case.find("failure") is not None or case.find("error") is not None:
        bad += 1
        print("  failed:", case.get("classname") + "." + case.get("name"), file=sys.stderr)
    elif case.get("result") != "skipped" and case.find("skipped") is None:
        ok += 1
print(ok, bad)
PY
    ) || return 1
    passed=$((passed + ${counts% *}))
    failed=$((failed + ${counts#* }))
    [ "${counts#* }" = 0 ]
}

# Database mode under Wine goes through the host's unixODBC, which takes its configuration from
# the Linux environment: the data source "Electrometer" on the SQLite ODBC driver, a new
# database for each test executable.
odbc_environment() {
    local dir=$rig/odbc
    mkdir -p "$dir" && rm -f "$dir/electrometer.db" && cp /etc/odbcinst.ini "$dir/odbcinst.ini" || return 1
    printf '[Electrometer]\nDriver=SQLite3\nDatabase=%s\nTimeout=5000\nFKSupport=1\n' \
        "$dir/electrometer.db" >"$dir/odbc.ini"
    odbc_env=(ORDAN_ODBC_BY_RIG=1 ODBCSYSINI="$dir" ODBCINI="$dir/odbc.ini")
}

# One test executable under wine64, bounded; a crash or a missing report is one failure.
run_windows_test() {
    local exe=$1 name xml filter odbc_env=()
    name=$(basename "$exe" .exe)
    xml=$results/$name.xml
    filter=$(linux_only_cases "$name")
    rm -f "$xml"
    if [[ $name == *_sqlite_test ]] && ! odbc_environment; then
        failed=$((failed + 1))
        note "FAIL $name: no ODBC configuration"
        return 0
    fi
    (cd "$ORDAN_WIN_BUILD/tests" && env "${odbc_env[@]}" timeout 900 "$wine64" "$exe" \
        --gtest_output="xml:$(winpath "$xml")" ${filter:+--gtest_filter="-$filter"} >"$results/$name.log" 2>&1) || true
    if [ ! -s "$xml" ]; then
        failed=$((failed + 1))
        note "FAIL $name: no report (see $results/$name.log)"
        return 0
    fi
    count_results "$xml" 2>>"$results/$name.log" && note "ran $name" || note "FAIL in $name ($results/$name.log)"
}

run_windows_tests() {
    local exe
    for exe in "$ORDAN_WIN_BUILD"/tests/*_test.exe; do
        [ "$(basename "$exe")" = app_serial_session_test.exe ] && continue
        run_windows_test "$exe"
    done
}

# Wine maps a COM port to a device only through this value; a stale one would point at a pty
# that another program has since been given.
map_com_port() { "$wine64" reg add 'HKLM\Software\Wine\Ports' /v "$1" /d "$2" /f >/dev/null 2>&1; }
unmap_com_port() { "$wine64" reg delete 'HKLM\Software\Wine\Ports' /v "$1" /f >/dev/null 2>&1; }

# meter-sim on the Linux side behind the station's COM port: sets sim_pid, or fails.
start_meter_sim() {
    local out=$rig/meter-sim.out device=""
    rm -f "$out"
    "$linux_build/bin/meter-sim" --baud 9600 >"$out" 2>"$rig/meter-sim.err" &
    sim_pid=$!
    for _ in $(seq 50); do
        device=$(head -n 1 "$out" 2>/dev/null)
        [ -n "$device" ] && break
        sleep 0.1
    done
    [ -n "$device" ] && map_com_port "$session_port" "$device" && restart_wineserver && return 0
    kill "$sim_pid" 2>/dev/null
    return 1
}

stop_meter_sim() {
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
    unmap_com_port "$session_port"
}

# The station's session test under Wine against meter-sim. The test asks for the far side to
# close by creating a file; the rig then kills meter-sim.
run_serial_session() {
    local stop=$rig/stop-meter-sim watcher rc=0
    rm -f "$stop"
    start_meter_sim || return 1
    (
        while [ ! -f "$stop" ] && kill -0 "$sim_pid" 2>/dev/null; do sleep 0.2; done
        kill "$sim_pid" 2>/dev/null
    ) &
    watcher=$!
    (cd "$ORDAN_WIN_BUILD/tests" && LD_PRELOAD=$rig/pty_shim.so ORDAN_METER_SIM_DEVICE=$session_port \
        ORDAN_METER_SIM_STOP_FILE=$(winpath "$stop") ORDAN_SESSION_SECONDS=$session_seconds \
        timeout 300 "$wine64" app_serial_session_test.exe --gtest_output="xml:$(winpath "$results/session.xml")" \
        >"$results/session.log" 2>&1) || rc=1
    touch "$stop" # the test may have ended before asking
    wait "$watcher" 2>/dev/null
    stop_meter_sim || rc=1
    grep '^session:' "$results/session.log" | sed 's/^/  /'
    return "$rc"
}

# The station's window polling meter-sim, on an X server of its own, kept as a picture.
take_screenshot() {
    local display=:97 xvfb station rc=0
    start_meter_sim || return 1
    Xvfb "$display" -screen 0 1280x900x24 >"$logs/xvfb.log" 2>&1 &
    xvfb=$!
    (cd "$ORDAN_WIN_BUILD/bin" && DISPLAY=$display QT_QPA_PLATFORM=windows LD_PRELOAD=$rig/pty_shim.so \
        timeout 40 "$wine64" ordan-klv.exe --port "$session_port" --baud 9600 --connect \
        >"$results/screenshot-station.log" 2>&1) &
    station=$!
    sleep 30
    xwd -root -display "$display" | /usr/bin/convert xwd:- "$rig/station-polling.png" || rc=1
    # A window that never painted leaves the screen one colour.
    [ "$rc" = 0 ] && [ "$(/usr/bin/convert "$rig/station-polling.png" -format %k info:)" -gt 1 ] || rc=1
    wait "$station" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    stop_meter_sim || rc=1
    [ "$rc" = 0 ] && note "  picture: $rig/station-polling.png"
    return "$rc"
}

# What the installer carries: the station, the help file, the Qt and MinGW run-time DLLs, the
# platform, SQL driver and style plugins, and Qt's Russian translations.
stage_installer() {
    local root=$rig/installer/root lib
    rm -rf "$root" && mkdir -p "$root/plugins/platforms" "$root/plugins/sqldrivers" \
        "$root/plugins/styles" "$root/translations" || return 1
    cp "$ORDAN_WIN_BUILD/bin/ordan-klv.exe" "$repo/resources/Help_ordan_klv.rtf" "$root/" || return 1
    for lib in Core Gui Widgets Sql SerialPort Charts; do cp "$qt_prefix/bin/Qt6$lib.dll" "$root/" || return 1; done
    cp /usr/lib/gcc/x86_64-w64-mingw32/12-posix/{libstdc++-6,libgcc_s_seh-1}.dll \
        /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$root/" || return 1
    cp "$qt_prefix"/plugins/platforms/{qwindows,qoffscreen}.dll "$root/plugins/platforms/" &&
        cp "$qt_prefix/plugins/sqldrivers/qsqlodbc.dll" "$root/plugins/sqldrivers/" &&
        cp "$qt_prefix/plugins/styles/qwindowsvistastyle.dll" "$root/plugins/styles/" || return 1
    cp /usr/share/qt6/translations/{qtbase,qtserialport}_ru.qm "$root/translations/" || return 1
    printf '[Paths]\nPrefix = .\nPlugins = plugins\nTranslations = translations\n' >"$root/qt.conf"
}

make_installer() {
    stage_installer || return 1
    makensis -V2 -DROOT="$rig/installer/root" -DOUTFILE="$rig/installer/ordan-klv-setup.exe" \
        -DVERSION="$(sed -n 's/^project(ordan_klv VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")" \
        "$repo/scripts/windows/installer.nsi" >"$logs/makensis.log" 2>&1
}

installed_path() { printf '%s/drive_c/ordan-klv' "$WINEPREFIX"; }

# Installed silently, started from its folder alone (no build paths), uninstalled to nothing.
install_start_uninstall() {
    local dir menu
    dir=$(installed_path)
    menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/ORDAN-KLV"
    "$wine64" "$rig/installer/ordan-klv-setup.exe" /S "/D=$install_dir" >"$results/install.log" 2>&1 || return 1
    [ -f "$dir/ordan-klv.exe" ] && [ -f "$dir/uninstall.exe" ] && [ -f "$menu/ORDAN-KLV.lnk" ] || return 1
    local rc=0
    # Still running after a few seconds: it came up (timeout ends it with 124).
    (cd "$dir" && env -u WINEPATH -u QT_PLUGIN_PATH timeout 8 "$wine64" ordan-klv.exe >"$results/installed-start.log" 2>&1) || rc=$?
    [ "$rc" = 124 ] || return 1
    "$wine64" "$install_dir\\uninstall.exe" /S >>"$results/install.log" 2>&1 || return 1
    # The uninstaller returns before the folder is gone.
    for _ in $(seq 60); do
        [ -e "$dir" ] || break
        sleep 1
    done
    [ ! -e "$dir" ] && [ ! -e "$menu" ] && ! "$wine64" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ordan-klv' >/dev/null 2>&1
}

run_all_checks() {
    local started=$SECONDS
    setup_wine || fail "Wine prefix"
    check "station cross-built" build_station || fail "station build (see $logs/station-build.log)"
    run_windows_tests
    if check "meter-sim and the pty shim built" build_rig; then
        check "serial session under Wine" run_serial_session || true
        check "picture of the station polling" take_screenshot || true
    fi
    check "NSIS installer built" make_installer && { check "installed, started, uninstalled" install_start_uninstall || true; }
    note "took $((SECONDS - started)) s; results in $results"
    echo "$passed passed, $failed failed"
    [ "$failed" = 0 ]
}
