#!/usr/bin/env bash
# Installs what is missing, builds, and starts the station against the simulated meter on a
# pseudo-terminal. Closing the station ends the simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build

sim_out=$(mktemp)
build/bin/meter-sim --baud 4800 "$@" >"$sim_out" &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null || true; rm -f "$sim_out"' EXIT
for _ in $(seq 50); do
  [ -s "$sim_out" ] && break
  sleep 0.1
done
device=$(head -n 1 "$sim_out")
echo "Simulated meter on $device (address 0, 4800 baud)"

if [ -x build/bin/ordan-klv ]; then
  build/bin/ordan-klv --port "$device" --baud 4800 --connect
else
  echo "Connect a terminal program or the station to $device; Ctrl+C ends the simulator."
  wait $sim_pid
fi
