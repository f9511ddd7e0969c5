# Shared by the demo scripts (sourced, not run): the simulated meter on a pseudo-terminal and
# the station against it, on a virtual screen with a screenshot when there is no display.

# demo_without_display: true when the station needs a virtual screen.
demo_without_display() {
  [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]
}

# start_meter_sim [meter-sim options...]: sets $device; the simulator ends with the script.
start_meter_sim() {
  sim_out=$(mktemp)
  build/bin/meter-sim --baud 4800 "$@" >"$sim_out" &
  sim_pid=$!
  trap demo_cleanup EXIT
  for _ in $(seq 50); do
    [ -s "$sim_out" ] && break
    sleep 0.1
  done
  device=$(head -n 1 "$sim_out")
  echo "Simulated meter on $device (address 0, 4800 baud)"
}

demo_cleanup() {
  kill "${sim_pid:-}" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -f "${sim_out:-}"
}

# run_station DISPLAY_NUMBER: the station from the current directory, connected to $device.
run_station() {
  # The bench PCs run a Russian system; show dates and numbers as they would.
  export LANG=${DEMO_LANG:-ru_RU.UTF-8}
  if demo_without_display; then
    export DISPLAY=":$1"
    Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 &
    xvfb_pid=$!
    sleep 1
    ../bin/ordan-klv --port "$device" --baud 4800 --connect &
    local station_pid=$!
    sleep 6
    import -window root screenshot.png
    echo "No display here: the station ran on a virtual screen; see $PWD/screenshot.png"
    kill "$station_pid" 2>/dev/null || true
  else
    ../bin/ordan-klv --port "$device" --baud 4800 --connect
  fi
}
