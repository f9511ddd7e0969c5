# The Windows toolchain in the cache: Debian's MinGW-w64, Qt 6.4.2 for x86_64 Windows built from
# Debian's qt6-base source plus Qt's own Serial Port and Charts sources, and GoogleTest.
# shellcheck shell=bash
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
    wine wine64 nsis dpkg-dev xz-utils unixodbc odbcinst libsqliteodbc qt6-translations-l10n xvfb x11-apps imagemagick)
third_party=${ORDAN_QT_THIRD_PARTY:-$repo/../shared/third_party}
[ -d "$repo/third_party" ] && third_party=${ORDAN_QT_THIRD_PARTY:-$repo/third_party}
apt_state=$cache/apt
qt_build_pid=$cache/qt-build.pid
qt_log=$logs/qt-build.log
qt_stages=(qtbase qtserialport qtcharts)

install_debian_packages() {
    local missing=() p
    for p in "${packages[@]}"; do
        dpkg-query -W -f '${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    note "installing from Debian: ${missing[*]}"
    # Another builder may be holding dpkg's lock; wait for it a bounded time.
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y --no-install-recommends \
        "${missing[@]}" >"$logs/apt-install.log" 2>&1 || fail "apt-get install (see $logs/apt-install.log)"
}

# apt-get with its own sources (deb-src lines) and lists in the cache; the system's apt
# configuration and lists are left as they are.
private_apt() {
    apt-get -o Dir::Etc::SourceList="$apt_state/sources.list" \
        -o Dir::Etc::SourceParts="$apt_state/sources.list.d" \
        -o Dir::State::Lists="$apt_state/lists" -o Dir::Cache="$apt_state/cache" "$@"
}

prepare_private_apt() {
    [ -f "$apt_state/updated" ] && return 0
    mkdir -p "$apt_state/sources.list.d" "$apt_state/lists/partial" "$apt_state/cache/archives/partial"
    local suite
    suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
    echo "deb-src http://deb.debian.org/debian $suite main" >"$apt_state/sources.list"
    private_apt update >"$logs/apt-source-update.log" 2>&1 || return 1
    touch "$apt_state/updated"
}

# Fetches Debian's source of the package at the version of its installed binary when that is
# served, so the Windows build matches the host tools.
fetch_debian_source() {
    local source=$1 binary=$2 version
    prepare_private_apt || return 1
    version=$(dpkg-query -W -f '${source:Version}' "$binary")
    mkdir -p "$cache/src"
    (cd "$cache/src" && private_apt source "$source=$version" >"$logs/source-$source.log" 2>&1)
}

fetch_qtbase_source() { fetch_debian_source qt6-base qt6-base-dev; }
fetch_googletest_source() { fetch_debian_source googletest googletest; }

source_dir() { find "$cache/src" -maxdepth 1 -type d -name "$1-*" | sort | tail -n 1; }

# Rewritten only when it changes: the Qt trees depend on it and would configure again.
write_toolchain_file() {
    local new=$toolchain_file.new
    cat >"$new" <<EOT
# MinGW-w64 with POSIX threads (the win32-thread flavour has no std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
list(APPEND CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 $qt_prefix $gtest_prefix)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOT
    if cmp -s "$new" "$toolchain_file"; then rm -f "$new"; else mv "$new" "$toolchain_file"; fi
}

# Debian's +dfsg tarball has no src/3rdparty/wintab, iaccessible2 nor sqlite, hence no tablet events,
# no accessibility and no SQLite driver (the station reaches databases by ODBC); it needs neither
# network, D-Bus, printing nor OpenGL.
qtbase_features=(-DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_tabletevent=OFF
    -DFEATURE_accessibility=OFF -DFEATURE_dbus=OFF -DFEATURE_network=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_sql=ON -DFEATURE_sql_odbc=ON -DFEATURE_sql_sqlite=OFF -DFEATURE_sql_psql=OFF
    -DFEATURE_sql_mysql=OFF -DFEATURE_sql_ibase=OFF -DFEATURE_sql_oci=OFF -DFEATURE_sql_db2=OFF
    -DFEATURE_sql_mimer=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF)

build_qtbase() {
    local src build=$cache/build/qtbase
    src=$(source_dir qt6-base) && [ -n "$src" ] || return 1
    if [ ! -f "$build/build.ninja" ]; then
        low cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_INSTALL_PREFIX="$qt_prefix" -DCMAKE_TOOLCHAIN_FILE="$toolchain_file" \
            -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
            -DQT_QMAKE_TARGET_MKSPEC=win32-g++ -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
            "${qtbase_features[@]}" || return 1
    fi
    low cmake --build "$build" --parallel "$ORDAN_WIN_JOBS" && low cmake --install "$build"
}

# Qt's own module sources of the same version, built against the Qt above.
build_qt_module() {
    local module=$1 archive src build=$cache/build/$1
    archive=$third_party/$module-everywhere-src-6.4.2.tar.xz
    (cd "$third_party" && sha256sum --check --ignore-missing SHA256SUMS) || return 1
    src=$cache/src/$module-everywhere-src-6.4.2
    [ -d "$src" ] || tar -xJf "$archive" -C "$cache/src" || return 1
    if [ ! -f "$build/build.ninja" ]; then
        low cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" -DQT_HOST_PATH=/usr \
            -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF || return 1
    fi
    low cmake --build "$build" --parallel "$ORDAN_WIN_JOBS" && low cmake --install "$build"
}

qt_built() {
    local s
    for s in "${qt_stages[@]}"; do [ -f "$stamps/$s" ] || return 1; done
}

qt_build_running() { [ -f "$qt_build_pid" ] && kill -0 "$(cat "$qt_build_pid")" 2>/dev/null; }

start_qt_build_in_background() {
    qt_built && return 0
    if qt_build_running; then
        note "Qt build already running (pid $(cat "$qt_build_pid")), log $qt_log"
        return 0
    fi
    note "Qt build started in the background, log $qt_log"
    (
        once qtbase build_qtbase
        once qtserialport build_qt_module qtserialport
        once qtcharts build_qt_module qtcharts
    ) >>"$qt_log" 2>&1 &
    echo $! >"$qt_build_pid"
}

wait_for_qt_build() {
    local waited=0 step=30
    while ! qt_built; do
        qt_build_running || fail "Qt build stopped (see $qt_log)"
        [ "$waited" -ge "$ORDAN_WIN_QT_WAIT_S" ] && fail "Qt build still running after ${waited}s ($qt_log)"
        [ $((waited % 600)) -eq 0 ] && note "waiting for the Qt build: $(grep -o '^\[[0-9]*/[0-9]*\]' "$qt_log" | tail -n 1)"
        sleep "$step"
        waited=$((waited + step))
    done
    rm -f "$qt_build_pid"
}

# A CMake project from Debian's source, built static with MinGW-w64 into a prefix in the cache.
build_debian_library() {
    local name=$1 prefix=$2 src build=$cache/build/$1 log=$logs/$1.log
    shift 2
    src=$(source_dir "$name") && [ -n "$src" ] || return 1
    low cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain_file" -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >"$log" 2>&1 &&
        low cmake --build "$build" --parallel "$ORDAN_WIN_JOBS" >>"$log" 2>&1 &&
        low cmake --install "$build" >>"$log" 2>&1
}

build_googletest() { build_debian_library googletest "$gtest_prefix"; }
