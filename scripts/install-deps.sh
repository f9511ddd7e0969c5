#!/usr/bin/env bash
# Installs the Debian packages the station needs to build, run and test. Safe to run again:
# it asks apt only for what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev libqt6sql6-odbc libqt6sql6-sqlite libqt6sql6-psql
  unixodbc unixodbc-dev odbc-postgresql libsqliteodbc libshp-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  postgresql sqlite3 xvfb xauth imagemagick valgrind
  python3-xlrd python3-dbfread python3-dbf
  qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n libreoffice-calc-nogui lintian ccache
  file dpkg-dev
  clang libclang-rt-14-dev clang-format-14
)

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
