#!/usr/bin/env bash
# Makes the Debian package from a build tree that is already built and checks it the way an
# operator's PC gets it: lintian without errors, the files it must hold, installed with
# apt-get, both programs answering --version and --help with no display, and the desktop
# entry's command, started offscreen in an empty home, polling meter-sim with no message box.
# Prints one summary line. Usage: scripts/package-check.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(readlink -f "${1:-build}")
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

work=$(mktemp -d)
installed_here=0
sim_pid=
station_pid=
cleanup() {
  [ -n "$station_pid" ] && kill "$station_pid" 2>/dev/null || true
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  # Leave the machine as it was: remove the package unless it was there before.
  if [ "$installed_here" = 1 ]; then
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
      apt-get remove -y -qq -o DPkg::Lock::Timeout=300 ordan-klv >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "package check: FAILED: $*"
  exit 1
}

# The package, from the install rules of the build tree.
rm -f "$build"/ordan-klv_*.deb
(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$build"/ordan-klv_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no package"
version=$(dpkg-deb -f "$deb" Version)
upstream=${version%-*}

# lintian: no error; the warnings kept are justified in packaging/lintian-overrides.
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || {
  cat "$work/lintian.log"
  fail "lintian reports errors"
}
lintian_warnings=$(grep -c '^W: ' "$work/lintian.log" || true)
grep -v "running with root privileges" "$work/lintian.log" | sed 's/^/  lintian: /' || true

# The files an installed station needs.
dpkg-deb --contents "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/contents"
expected=(
  /usr/bin/ordan-klv /usr/bin/meter-sim /usr/bin/ordan-klv-start
  /usr/share/ordan-klv/Help_ordan_klv.rtf
  /usr/share/ordan-klv/sql/mssql.sql /usr/share/ordan-klv/sql/postgresql.sql /usr/share/ordan-klv/sql/sqlite.sql
  /usr/share/applications/ordan-klv.desktop
  /usr/share/man/man1/ordan-klv.1.gz /usr/share/man/man1/meter-sim.1.gz /usr/share/man/man1/ordan-klv-start.1.gz
  /usr/share/doc/ordan-klv/copyright /usr/share/doc/ordan-klv/changelog.Debian.gz
)
for size in 16 32 48 64 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/ordan-klv.png")
done
for f in "${expected[@]}"; do
  grep -qx -- "$f" "$work/contents" || fail "the package lacks $f"
done

# Installed as an operator's PC would install it (again, if this version is there already).
dpkg-query -W -f='${Status}' ordan-klv 2>/dev/null | grep -q "install ok installed" || installed_here=1
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --reinstall --no-install-recommends -o DPkg::Lock::Timeout=300 "$deb" >"$work/apt.log" 2>&1 || {
  cat "$work/apt.log"
  fail "apt-get install $deb"
}

# No display at all: --version and --help still answer.
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
[ "$("${nodisplay[@]}" /usr/bin/ordan-klv --version)" = "ordan-klv $upstream" ] || fail "ordan-klv --version"
"${nodisplay[@]}" /usr/bin/ordan-klv --help | grep -q -- '--connect' || fail "ordan-klv --help"
"${nodisplay[@]}" /usr/bin/meter-sim --help | grep -q -- '--fault' || fail "meter-sim --help"

# The desktop entry's command in an empty home, offscreen, against the installed meter-sim:
# the folder and its settings log appear, the station stays up and polls, and no box opens
# (each box is a line of the "ordan.operator" log).
/usr/bin/meter-sim --baud 9600 >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do
  [ -s "$work/sim.out" ] && break
  sleep 0.1
done
device=$(head -n 1 "$work/sim.out")
[ -n "$device" ] || fail "meter-sim did not start"
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/ordan-klv.desktop)
read -ra command <<<"${exec_line//%[fFuUick]/}"
home="$work/home"
mkdir -p "$home"
(cd / && exec env -i PATH=/usr/bin:/bin HOME="$home" LANG=ru_RU.UTF-8 QT_QPA_PLATFORM=offscreen \
  QT_LOGGING_RULES="ordan.operator.info=true" \
  "${command[@]}" --port "$device" --baud 9600 --connect >"$work/station.log" 2>&1) &
station_pid=$!
for _ in $(seq 100); do
  [ -e "$home/Ordan-KLV/Setting.DBF" ] && break
  sleep 0.1
done
[ -e "$home/Ordan-KLV/Setting.DBF" ] || fail "no ~/Ordan-KLV/Setting.DBF after the first start"
# Time to start, connect and go round the polling cycle a few times.
sleep 8
kill -0 "$station_pid" 2>/dev/null || { cat "$work/station.log"; fail "the station ended by itself"; }
if grep -q 'message box:' "$work/station.log"; then
  grep 'message box:' "$work/station.log"
  fail "the first start showed a box"
fi
kill "$station_pid"
wait "$station_pid" 2>/dev/null || true
station_pid=
kill "$sim_pid"
wait "$sim_pid" 2>/dev/null || true
sim_pid=
requests=$(sed -n 's/^meter-sim: \([0-9]*\) requests received$/\1/p' "$work/sim.err")
[ "${requests:-0}" -ge 10 ] || { cat "$work/station.log"; fail "meter-sim saw ${requests:-no} requests"; }

echo "package check: $(basename "$deb"): lintian no errors ($lintian_warnings warnings), ${#expected[@]} files present," \
  "installed, --version/--help without a display, desktop start polled meter-sim ($requests requests) with no box: OK"
