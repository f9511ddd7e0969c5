#!/usr/bin/env bash
# Installs what is missing, builds the station in Release (the two programs only) in
# build-release/ and makes its Debian package with CPack. The package's path is the last line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build package
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DORDAN_BUILD_TESTS=OFF \
  -DORDAN_BUILD_BENCH=OFF >/dev/null
cmake --build build-release --parallel "$(nproc)"
rm -f build-release/ordan-klv_*.deb
(cd build-release && cpack -G DEB >/dev/null)
readlink -f build-release/ordan-klv_*.deb
