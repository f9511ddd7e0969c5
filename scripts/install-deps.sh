#!/usr/bin/env bash
# Installs the Debian packages of the named sets; safe to run again: it asks apt only for what
# is missing. Usage: scripts/install-deps.sh [SET ...], SET one of
#   build    building and running the station and the simulated meter (the default)
#   screen   a virtual screen and a screenshot, for a demo on a machine without a display
#   db       the embedded SQLite production database of the database-mode demo
#   package  making the Debian package
#   tests    the tests, checks, benchmarks and fuzz targets (with what they build, package
#            and read back: the package tools, databases, LibreOffice, Python readers, Clang)
set -euo pipefail

declare -A sets=(
  [build]="build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev unixodbc-dev
    libqt6sql6-odbc qt6-translations-l10n"
  [screen]="xvfb xauth imagemagick"
  [db]="unixodbc libsqliteodbc sqlite3"
  [package]="file dpkg-dev"
  [tests]="libgtest-dev libgmock-dev googletest libbenchmark-dev libshp-dev ccache
    libqt6sql6-sqlite libqt6sql6-psql unixodbc odbc-postgresql libsqliteodbc
    postgresql sqlite3 valgrind python3-xlrd python3-dbfread python3-dbf
    libreoffice-calc-nogui lintian file dpkg-dev
    clang libclang-rt-14-dev clang-format-14"
)

(($#)) || set -- build
packages=()
for set in "$@"; do
  [ -n "${sets[$set]:-}" ] || { echo "install-deps: no set \"$set\" (${!sets[*]})" >&2; exit 2; }
  read -ra listed -d '' <<<"${sets[$set]}" || true
  packages+=("${listed[@]}")
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
