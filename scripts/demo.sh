#!/usr/bin/env bash
# Installs what is missing, builds, and starts the station against the simulated meter on a
# pseudo-terminal. Closing the station ends the simulator. Without a display the station runs
# on a virtual X server and a screenshot is saved instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build

demo=build/demo
mkdir -p "$demo"
cp resources/Help_ordan_klv.rtf "$demo/"

sim_out=$(mktemp)
build/bin/meter-sim --baud 4800 "$@" >"$sim_out" &
sim_pid=$!
cleanup() {
  kill "$sim_pid" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$sim_out"
}
trap cleanup EXIT
for _ in $(seq 50); do
  [ -s "$sim_out" ] && break
  sleep 0.1
done
device=$(head -n 1 "$sim_out")
echo "Simulated meter on $device (address 0, 4800 baud)"

cd "$demo"
# The bench PCs run a Russian system; show dates and numbers as they would.
export LANG=${DEMO_LANG:-ru_RU.UTF-8}
[ -e Setting.DBF ] || ../bin/ordan-klv --create-setting-table Setting.DBF
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export DISPLAY=:77
  Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 &
  xvfb_pid=$!
  sleep 1
  ../bin/ordan-klv --port "$device" --baud 4800 --connect &
  station_pid=$!
  sleep 6
  import -window root screenshot.png
  echo "No display here: the station ran on a virtual screen; see $PWD/screenshot.png"
  kill "$station_pid" 2>/dev/null || true
else
  ../bin/ordan-klv --port "$device" --baud 4800 --connect
fi
